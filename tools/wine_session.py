"""Running the Windows program under Wine and driving it like an operator.

Shared by tools/run and the end-to-end tests:
- `Display`: a virtual X display (Xvfb) of our own, or the one that is given;
- `Wine`: a prefix of our own, its long-lived wineserver, and COM ports pointed at devices;
- `Desktop`: a Wine virtual desktop (frames and title bars without a window manager) in which
  programs are started through e2e_helper.exe, so that the exact command line reaches the
  program and its exit code comes back;
- mouse and keyboard through xdotool, screenshots through ImageMagick.

What Wine does that shapes this code:
- Whenever its device manager starts (the first Wine process of a wineserver session) Wine
  points dosdevices/com1, com2, ... at the /dev/ttyS* devices it finds, replacing what is
  there. A prefix of ours therefore names every COM port in HKLM\\Software\\Wine\\Ports, each
  pointing at a link of ours (PREFIX/panel-ports/comN), and we point those links at the device;
  the dosdevices links are written again before every start as well.
- `explorer /desktop=NAME,WxH program` starts the program in that desktop and returns 0 (not
  the program's exit code); a second such call with the same name starts another program in
  the running desktop. The desktop ends when its last program ends.
- Inside a virtual desktop every top-level window is an X child window of the desktop's X
  window, as large as the window's outer rectangle; the desktop sits at the root's origin.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

WINE64 = os.environ.get("WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver")
if not os.access(WINESERVER, os.X_OK):
    WINESERVER = shutil.which("wineserver") or WINESERVER

PANEL_TITLE = "ПУЛЬТ УПРАВЛЕНИЯ ШАССИ"
DESKTOP_SIZE = (1024, 768)
PORT_COUNT = 20


def win_path(path):
    """A Unix path as Wine's Z: drive sees it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(predicate, timeout, step=0.1):
    """Polls `predicate` until it returns something true or `timeout` seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return value
        time.sleep(step)


def _die_with_parent():
    """In the child before exec: end when the process that started it ends, however it ends."""
    try:
        import ctypes
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def quiet():
    return {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL,
            "stderr": subprocess.DEVNULL}


class Display:
    """An X display: the one in $DISPLAY when it answers and `reuse` is set, else an Xvfb."""

    def __init__(self, reuse=False):
        self.process = None
        self.name = None
        if reuse and os.environ.get("DISPLAY") and self._answers(os.environ["DISPLAY"]):
            self.name = os.environ["DISPLAY"]

    @staticmethod
    def _answers(name):
        return subprocess.run(["xdpyinfo"], env=dict(os.environ, DISPLAY=name),
                              **quiet()).returncode == 0

    def start(self):
        if self.name:
            return self
        for n in range(90, 141):
            if os.path.exists(f"/tmp/.X{n}-lock"):
                continue
            process = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24",
                                        "-nolisten", "tcp"], preexec_fn=_die_with_parent,
                                       **quiet())
            if wait_until(lambda: process.poll() is not None or self._answers(f":{n}"), 10) \
                    and process.poll() is None:
                self.process, self.name = process, f":{n}"
                return self
            process.kill()
            process.wait()
        raise RuntimeError("cannot start a virtual X display (Xvfb)")

    def stop(self):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None


class Wine:
    """A Wine prefix of ours: made once, then reused."""

    def __init__(self, prefix, display=None):
        self.prefix = prefix
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": prefix,
            "WINEARCH": "win64",
            # Wine never stops to offer its Mono or Gecko installers, and keeps its logs quiet.
            "WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml="),
            "WINEDEBUG": os.environ.get("WINEDEBUG", "-all"),
            # Cyrillic window titles read back correctly through xdotool only in UTF-8.
            "LC_ALL": "C.UTF-8",
        })
        if display:
            self.env["DISPLAY"] = display
        self.owns_server = False

    @property
    def ports_dir(self):
        return os.path.join(self.prefix, "panel-ports")

    def run(self, *args, timeout=120):
        return subprocess.run([WINE64, *args], env=self.env, timeout=timeout, **quiet())

    def ensure_prefix(self):
        """The same prefix as tools/lib.sh makes (its marker included), with our COM ports."""
        os.makedirs(self.prefix, exist_ok=True)
        if not os.path.exists(os.path.join(self.prefix, ".panel-ready")):
            self.run("wineboot", "-i", timeout=600)
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=600, **quiet())
            open(os.path.join(self.prefix, ".panel-ready"), "w").close()
        marker = os.path.join(self.prefix, ".panel-ports")
        if not os.path.exists(marker):
            os.makedirs(self.ports_dir, exist_ok=True)
            with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                             encoding="utf-16") as reg:
                reg.write("Windows Registry Editor Version 5.00\r\n\r\n")
                reg.write("[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n")
                for n in range(1, PORT_COUNT + 1):
                    target = os.path.join(self.ports_dir, f"com{n}").replace("\\", "\\\\")
                    reg.write(f"\"COM{n}\"=\"{target}\"\r\n")
            try:
                self.run("regedit", "/S", win_path(reg.name))
                subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120, **quiet())
            finally:
                os.unlink(reg.name)
            open(marker, "w").close()
        return self

    def start_server(self):
        """A long-lived wineserver, with its services up, started away from our own pipes.

        Wine's background processes inherit the standard streams of the process that starts
        them; started here they hold none of ours (nor ctest's). `wineserver -p` answers 2
        when a server of this prefix runs already: then it is not ours to stop."""
        rc = subprocess.run([WINESERVER, "-p"], env=self.env, timeout=60, **quiet()).returncode
        self.owns_server = rc == 0
        # Boots the services now, so that the device manager has done its COM links before we
        # write ours.
        self.run("wineboot", timeout=300)
        return self

    def kill_server(self):
        """Ends a wineserver of this prefix and all its programs, whoever started it."""
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60, **quiet())
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=60, **quiet())

    def stop_server(self):
        if self.owns_server:
            subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60, **quiet())
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=60, **quiet())
            self.owns_server = False

    def attach_port(self, n, device):
        """COM n is `device` from now on: PREFIX/panel-ports/comN and dosdevices/comN."""
        os.makedirs(self.ports_dir, exist_ok=True)
        link = os.path.join(self.ports_dir, f"com{n}")
        self._relink(link, device)
        # Wine opens "\\.\ComN" as dosdevices/comN, in lower case.
        self._relink(os.path.join(self.prefix, "dosdevices", f"com{n}"), link)

    def detach_port(self, n):
        """COM n leads nowhere again; dosdevices/comN stays as Wine keeps it, on our link."""
        link = os.path.join(self.ports_dir, f"com{n}")
        if os.path.islink(link):
            os.unlink(link)

    def port_device(self, n):
        """Where COM n leads now, following our links to the end."""
        return os.path.realpath(os.path.join(self.prefix, "dosdevices", f"com{n}"))

    @staticmethod
    def _relink(path, target):
        tmp = f"{path}.new"
        if os.path.lexists(tmp):
            os.unlink(tmp)
        os.symlink(target, tmp)
        os.replace(tmp, path)


class Launch:
    """One program started in a desktop through e2e_helper.exe launch."""

    def __init__(self, desktop, report, process):
        self.desktop = desktop
        self.report = report
        self.process = process  # our `wine64 explorer` child: ends with the desktop
        self.pid = None

    def windows_pid(self, timeout=60):
        text = wait_until(lambda: _read(self.report + ".started") or _read(self.report), timeout)
        if text and text.startswith("pid "):
            self.pid = int(text.split()[1])
        elif text and text.startswith("error"):
            raise RuntimeError(f"the program could not be started: {text.strip()}")
        return self.pid

    def exit_code(self, timeout):
        """The program's exit code, or None if it is still running after `timeout` seconds."""
        text = wait_until(lambda: _read(self.report), timeout)
        if text and text.startswith("exit "):
            return int(text.split()[1])
        if text:
            raise RuntimeError(f"the program could not be started: {text.strip()}")
        return None

    def kill(self):
        """Ends the program (exit code 99) if it still runs, and waits for the desktop."""
        if self.pid and not _read(self.report):
            self.desktop.helper("kill", str(self.pid))
            wait_until(lambda: _read(self.report), 20)
        self.wait_desktop(30)

    def wait_desktop(self, timeout):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def _read(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except FileNotFoundError:
        return None


class Desktop:
    """A Wine virtual desktop and the programs started in it."""

    def __init__(self, wine, helper_exe, name="panel", size=DESKTOP_SIZE, workdir=None):
        self.wine = wine
        self.helper_exe = helper_exe
        self.name = name
        self.size = size
        self.workdir = workdir or tempfile.mkdtemp(prefix="panel-desktop-")
        self._serial = 0

    def _explorer(self, *program):
        size = f"{self.size[0]}x{self.size[1]}"
        return subprocess.Popen([WINE64, "explorer", f"/desktop={self.name},{size}", *program],
                                env=self.wine.env, start_new_session=True, **quiet())

    def _report_path(self, what):
        self._serial += 1
        return os.path.join(self.workdir, f"{self._serial:03d}-{what}")

    def helper(self, *args, report=None, timeout=30):
        """Runs the helper inside the desktop and returns its report (None if it has none)."""
        process = self._explorer(win_path(self.helper_exe), *args)
        try:
            if report is None:
                process.wait(timeout=timeout)
                return None
            return wait_until(lambda: _read(report), timeout)
        finally:
            if process.poll() is None and report is None:
                process.kill()
            process_wait_quietly(process)

    def launch(self, exe, arguments=None, command_line=None):
        """Starts `exe` with the exact command line `command_line`; or, with `arguments`, the
        quoted Windows path of the program, a blank and `arguments` verbatim."""
        if command_line is None:
            command_line = f"\"{win_path(exe)}\""
            if arguments:
                command_line += " " + arguments
        report = self._report_path("launch")
        hexline = command_line.encode("utf-8").hex()
        process = self._explorer(win_path(self.helper_exe), "launch", win_path(report),
                                 win_path(exe), hexline)
        return Launch(self, report, process)

    def windows(self, timeout=30):
        """Every top-level window of the desktop with its children, as the helper saw them."""
        report = self._report_path("windows")
        text = self.helper("windows", win_path(report), report=report, timeout=timeout)
        if not text:
            raise RuntimeError("the window report did not come")
        return [json.loads(line) for line in text.splitlines() if line.strip()]

    def popup(self, x, y, timeout=30):
        """A window of the helper's, made the foreground window; closed by close_popup."""
        report = self._report_path("popup")
        process = self._explorer(win_path(self.helper_exe), "popup", win_path(report),
                                 str(x), str(y))
        ok = wait_until(lambda: _read(report), timeout)
        process_wait_quietly(process)
        return bool(ok)

    def close_window(self, title):
        self.helper("close", title)

    def x_window(self):
        """The desktop's X window id, or None."""
        found = xdo(self.wine.env, "search", "--name", f"^{self.name} - Wine desktop$")
        ids = found.split()
        return ids[0] if ids else None


def process_wait_quietly(process, timeout=30):
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        pass


def xdo(env, *args, check=False):
    """xdotool in a UTF-8 locale, its output as text."""
    result = subprocess.run(["xdotool", *args], env=dict(env, LC_ALL="C.UTF-8"),
                            stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=60)
    if check and result.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


class Operator:
    """The operator's mouse and keyboard, in the desktop's screen coordinates."""

    BUTTONS = {"left": "1", "middle": "2", "right": "3"}

    def __init__(self, env, origin=(0, 0)):
        self.env = env
        self.origin = origin  # where the desktop's (0, 0) is on the X screen

    def _xy(self, x, y):
        return str(self.origin[0] + int(x)), str(self.origin[1] + int(y))

    # Moving and pressing go in one xdotool call: its events reach the X server in order, so
    # the press lands where the pointer went. (`mousemove --sync` would wait for ever when the
    # pointer is already there.)
    def move(self, x, y):
        xdo(self.env, "mousemove", *self._xy(x, y), check=True)

    def down(self, x, y, button="left"):
        xdo(self.env, "mousemove", *self._xy(x, y), "mousedown", self.BUTTONS[button], check=True)

    def up(self, x, y, button="left"):
        xdo(self.env, "mousemove", *self._xy(x, y), "mouseup", self.BUTTONS[button], check=True)

    def click(self, x, y, button="left"):
        xdo(self.env, "mousemove", *self._xy(x, y), "click", self.BUTTONS[button], check=True)

    def double_click(self, x, y, button="left"):
        xdo(self.env, "mousemove", *self._xy(x, y), "click", "--repeat", "2", "--delay", "40",
            self.BUTTONS[button], check=True)

    def key(self, *keys):
        xdo(self.env, "key", "--delay", "60", *keys, check=True)

    def find_window(self, title, timeout):
        """The X window ids whose name is exactly `title`, waiting up to `timeout` seconds."""
        pattern = "^" + "".join("\\" + c if c in ".^$*+?()[]{}|\\" else c for c in title) + "$"
        found = wait_until(lambda: xdo(self.env, "search", "--name", pattern).split(), timeout,
                           step=0.2)
        return found or []

    def window_names(self):
        ids = xdo(self.env, "search", "--name", ".").split()
        return {i: xdo(self.env, "getwindowname", i).strip() for i in ids}


def screenshot(env, path, size=None):
    """The X screen as a PNG, or its top left `size` (the desktop); True when it was written."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    crop = ["-crop", f"{size[0]}x{size[1]}+0+0", "+repage"] if size else []
    result = subprocess.run(["import", "-window", "root", *crop, path], env=env, timeout=60,
                            **quiet())
    return result.returncode == 0 and os.path.exists(path)
