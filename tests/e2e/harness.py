"""The end-to-end harness: the real panel.exe in a Wine virtual desktop, real input, real bytes.

Every case starts the program afresh in a new desktop, with a pseudo-terminal on each of the
COM ports it may touch, drives it with the mouse and the keyboard through xdotool, and checks
the exact bytes that every pseudo-terminal received, from the start of the program to its end.
The bytes are checked at every step (a press must have arrived before the release is made) and
once more in full after the program has ended, so a stray or doubled command is caught wherever
it comes from, also one written before a port was chosen.

A failing case leaves under build/e2e-failures/<case>/ a screenshot, the bytes each port
received (raw and readable), what was expected, and the window report.
"""

import contextlib
import json
import os
import shutil
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import chassis  # noqa: E402
import wine_session as ws  # noqa: E402

PANEL_TITLE = ws.PANEL_TITLE
INFO_TITLE = "Pultix Info"
INFO_TEXT = "Сделано в Pultix."

# Where the controls are, in the main window's client area: left, top, width, height.
LAYOUT = {
    "PortList": (35, 20, 255, 21),
    "CommandEcho": (155, 75, 30, 40),
    "SpeedButton": (40, 150, 245, 50),
    "ForwardButton": (125, 210, 75, 65),
    "LeftButton": (40, 285, 75, 65),
    "RightButton": (210, 285, 75, 65),
    "BackButton": (125, 360, 75, 65),
}
OUTER_RECT = [0, 0, 344, 702]

PRESS = {
    "ForwardButton": b"1\n",
    "BackButton": b"2\n",
    "RightButton": b"3\n",
    "LeftButton": b"4\n",
    "SpeedButton": b"6\n",
}
STOP = b"5\n"
PORT_ITEMS = ["ПОРТ НЕ ОПРЕДЕЛЁН"] + [f"COM {n}" for n in range(1, 21)]

# Two presses of the same mouse button on the same window count as a double-click when they
# come within the double-click time (500 ms in Wine) and within a few pixels of each other.
# Successive presses on one button are therefore made at points this far apart, which rules the
# double-click out whatever the timing, without waiting.
PRESS_OFFSETS = [(0, 0), (10, 0), (-10, 0), (0, 10), (0, -10), (10, 10), (-10, -10)]

# Waits for something that must happen; generous, since two cores are shared. They bound a
# failing case, they never decide a passing one.
START_TIMEOUT = 60
BYTES_TIMEOUT = 20
EXIT_TIMEOUT = 40


class Suite:
    """What all cases of one run share: the display, the prefix and its wineserver."""

    current = None

    def __init__(self, win64):
        self.win64 = os.path.abspath(win64)
        self.build = os.path.dirname(self.win64)
        self.exe = os.environ.get("PANEL_E2E_EXE") or os.path.join(self.win64, "panel.exe")
        self.helper = os.path.join(self.win64, "tests", "e2e", "e2e_helper.exe")
        self.failures = os.path.join(self.build, "e2e-failures")
        self.workdir = os.path.join(self.build, "e2e-work")
        self.display = None
        self.wine = None
        self.desktops = 0

    def start(self):
        for path in (self.exe, self.helper):
            if not os.path.exists(path):
                raise RuntimeError(f"{path} is missing: build first (tools/build)")
        shutil.rmtree(self.workdir, ignore_errors=True)
        os.makedirs(self.workdir)
        # A display of our own: the cases move the pointer and send keys, which must reach
        # nobody else's windows.
        self.display = ws.Display(reuse=False).start()
        self.wine = ws.Wine(os.path.join(self.build, "e2e-prefix"), self.display.name)
        self.wine.ensure_prefix()
        # The prefix is the suite's alone: a server still there is left from a run that was
        # killed, and goes.
        self.wine.kill_server()
        self.wine.start_server()
        Suite.current = self
        return self

    def stop(self):
        if self.wine:
            self.wine.stop_server()
        if self.display:
            self.display.stop()
        Suite.current = None

    def new_desktop(self):
        self.desktops += 1
        workdir = os.path.join(self.workdir, f"desktop-{self.desktops:03d}")
        os.makedirs(workdir)
        return ws.Desktop(self.wine, self.helper, name=f"e2e{self.desktops}", workdir=workdir)


class PanelRun:
    """One start of the program: its desktop, its ports, the operator, the bytes expected."""

    def __init__(self, suite, coms, arguments=None, command_line=None):
        self.suite = suite
        self.desktop = suite.new_desktop()
        self.op = ws.Operator(suite.wine.env)
        self.ports = {n: chassis.PtyPort() for n in coms}
        self.expected = {n: b"" for n in coms}
        self.arguments, self.command_line = arguments, command_line
        self.launch = None
        self.main = None  # the main window as the helper reported it
        self.presses = {}  # element -> presses made, to pick the next press point
        self.held = {}  # element -> the point where a held button was pressed
        self.exit = None
        self.diagnosed = False
        self.broken = False  # an expectation of this run has failed
        self.failing = lambda: None  # called when a check fails, while the windows are there

    def start(self):
        # The links are written again before every start: Wine may have rewritten them.
        for n, port in self.ports.items():
            self.suite.wine.attach_port(n, port.slave_name)
        for n, port in self.ports.items():
            if self.suite.wine.port_device(n) != os.path.realpath(port.slave_name):
                raise RuntimeError(f"COM {n} does not lead to {port.slave_name}")
        self.launch = self.desktop.launch(self.suite.exe, self.arguments, self.command_line)
        if self.launch.windows_pid(START_TIMEOUT) is None:
            raise AssertionError("the program did not start")
        return self

    # --- windows -----------------------------------------------------------------------------

    def windows(self):
        return self.desktop.windows()

    def own_windows(self):
        return [w for w in self.windows() if w.get("pid") == self.launch.pid]

    def wait_main_window(self):
        """Finds the panel by its title and reads its rectangles back; fails if it never shows."""
        found = self.op.find_window(PANEL_TITLE, START_TIMEOUT)
        if not found:
            raise AssertionError(f"no window titled {PANEL_TITLE!r} appeared")
        self.main = self.top_level(PANEL_TITLE, START_TIMEOUT)
        if self.main is None:
            raise AssertionError(f"the helper does not see the window {PANEL_TITLE!r}")
        return self.main

    def top_level(self, title, timeout):
        """The visible top-level window of the program titled `title`, waiting for it. Where
        several carry the title (the window that owns the taskbar entry may share it), the
        largest one."""
        def look():
            found = [w for w in self.own_windows()
                     if w.get("parent") == 0 and w.get("visible") and w.get("text") == title]
            return max(found, key=lambda w: (w["rect"][2] - w["rect"][0])
                       * (w["rect"][3] - w["rect"][1]), default=None)
        return ws.wait_until(look, timeout, step=0.5)

    def children(self, top):
        return [w for w in self.windows() if w.get("parent") == top["hwnd"]]

    # --- geometry ----------------------------------------------------------------------------

    def client_point(self, x, y):
        """A point of the main window's client area in desktop screen coordinates."""
        origin = self.main["client_origin"]
        return origin[0] + x, origin[1] + y

    def element_point(self, element, k=0):
        left, top, width, height = LAYOUT[element]
        dx, dy = PRESS_OFFSETS[k % len(PRESS_OFFSETS)]
        return self.client_point(left + width // 2 + dx, top + height // 2 + dy)

    def outside_point(self):
        """A point on the desktop beside the panel, over no window of the program."""
        rect = self.main["rect"]
        return rect[2] + 200, rect[1] + 300

    # --- the operator ------------------------------------------------------------------------

    def press(self, element, button="left"):
        k = self.presses.get(element, 0)
        self.presses[element] = k + 1
        point = self.element_point(element, k)
        self.op.down(*point, button=button)
        self.held[element] = point
        return point

    def release(self, element, button="left", at=None):
        point = at or self.held.pop(element)
        self.op.up(*point, button=button)

    def press_and_release(self, element, button, com):
        """A press and its release on `element`, each checked on COM `com` as it arrives."""
        self.press(element, button)
        self.expect(com, PRESS[element])
        self.release(element, button)
        self.expect(com, STOP)

    def choose_port_by_keyboard(self, n):
        """From the start (the list has the focus, "ПОРТ НЕ ОПРЕДЕЛЁН" selected): Down n times."""
        self.op.key(*["Down"] * n)

    def open_port_list(self):
        """Clicks the list open and returns its drop-down part as the helper sees it."""
        self.op.click(*self.element_point("PortList"))

        def dropped():
            for w in self.own_windows():
                if w.get("class", "").lower() == "combolbox" and w.get("visible"):
                    return w
            return None
        lbox = ws.wait_until(dropped, BYTES_TIMEOUT, step=0.5)
        if lbox is None:
            raise AssertionError("the port list did not drop down")
        return lbox

    def choose_port_by_mouse(self, index):
        """Opens the list with the mouse and clicks entry `index` (0 "ПОРТ НЕ ОПРЕДЕЛЁН",
        1 to 20 "COM 1" to "COM 20"), scrolling the list with the wheel when it is not shown."""
        lbox = self.open_port_list()
        height = lbox["item_height"]
        visible = max(1, lbox["client_size"][1] // height)
        top = lbox["top_index"]
        while not top <= index < top + visible:
            self.op.move(lbox["client_origin"][0] + 20, lbox["client_origin"][1] + 5)
            xbutton = "4" if index < top else "5"  # wheel up, wheel down
            ws.xdo(self.op.env, "click", xbutton, check=True)
            lbox = ws.wait_until(
                lambda: next((w for w in self.own_windows()
                              if w.get("class", "").lower() == "combolbox"
                              and w.get("top_index") != top), None), BYTES_TIMEOUT, step=0.5)
            if lbox is None:
                raise AssertionError(f"the port list does not scroll to entry {index}")
            top = lbox["top_index"]
        x = lbox["client_origin"][0] + lbox["client_size"][0] // 3
        y = lbox["client_origin"][1] + (index - top) * height + height // 2
        self.op.click(x, y)

    def close_with_alt_f4(self):
        self.op.key("alt+F4")

    def leave_the_list(self):
        """Moves the focus off the port list with Right (to ВПЕРЁД; elsewhere it stays on a
        button or moves the caret). Under Wine a drop-down list hands Alt+F4 and Alt+Space to its
        own list part, which ignores them, so they close nothing while the list has the focus."""
        self.op.key("Right")

    # --- bytes -------------------------------------------------------------------------------

    def expect(self, com, data, timeout=BYTES_TIMEOUT):
        """`data` is the next thing COM `com` receives; waits for it and checks every byte."""
        if self.broken:
            # The bytes expected from here on would count on a step that has failed already.
            raise AssertionError(f"COM {com}: {data!r} not checked, an earlier step failed")
        self.expected[com] += data
        want = self.expected[com]
        got = self.ports[com].wait_for_length(len(want), timeout)
        if got != want:
            self.broken = True
            self.failing()
            raise AssertionError(f"COM {com} received {got!r}, expected {want!r}")

    def received(self, com):
        return self.ports[com].drain()

    def check_all_ports(self):
        """Every port holds exactly what was expected of it, nothing more."""
        got = {n: self.received(n) for n in self.ports}
        wrong = {n: (got[n], self.expected[n]) for n in self.ports if got[n] != self.expected[n]}
        if wrong:
            self.failing()
            lines = [f"COM {n} received {g!r}, expected {e!r}" for n, (g, e) in wrong.items()]
            raise AssertionError("; ".join(lines))

    # --- the end -----------------------------------------------------------------------------

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        self.exit = self.launch.exit_code(timeout)
        if self.exit is None:
            self.failing()
            raise AssertionError(f"the program is still running {timeout} s later")
        self.launch.wait_desktop(EXIT_TIMEOUT)
        return self.exit

    def finish(self, testcase):
        """Closes the panel with Alt+F4 (nothing held), expects exit code 0, then checks every
        port in full: the end of the program is the one point after which nothing can come."""
        self.leave_the_list()
        self.close_with_alt_f4()
        testcase.assertEqual(self.wait_exit(), 0, "exit code after a normal close")
        self.check_all_ports()

    def running(self):
        return (self.launch is not None and self.launch.pid is not None
                and ws._read(self.launch.report) is None)

    def save_diagnostics(self, directory):
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        if ws.screenshot(self.suite.wine.env, os.path.join(directory, "screen.png")):
            print(f"  screenshot: {os.path.join(directory, 'screen.png')}", file=sys.stderr)
        with open(os.path.join(directory, "bytes.txt"), "w", encoding="utf-8") as f:
            for n, port in self.ports.items():
                data = port.drain()
                with open(os.path.join(directory, f"com{n}.bin"), "wb") as raw:
                    raw.write(data)
                f.write(f"COM {n}: received {data!r}\n       expected {self.expected[n]!r}\n")
            f.write(f"exit code: {self.exit}\n")
        if self.running():
            try:
                with open(os.path.join(directory, "windows.json"), "w", encoding="utf-8") as f:
                    for w in self.windows():
                        f.write(json.dumps(w, ensure_ascii=False) + "\n")
            except RuntimeError:
                pass

    def close(self):
        """Ends whatever is left: buttons still held, the program, the desktop, the ports."""
        for element in list(self.held):
            for button in ws.Operator.BUTTONS:
                ws.xdo(self.op.env, "mouseup", ws.Operator.BUTTONS[button])
        self.held.clear()
        if self.launch:
            self.launch.kill()
        for n, port in self.ports.items():
            self.suite.wine.detach_port(n)
            port.close()


class PanelCase(unittest.TestCase):
    """A case that starts the panel; leaves diagnostics when it fails."""

    GROUP = None  # the ctest group the class belongs to (tests/CMakeLists.txt)
    COMS = (1, 2, 3, 4)  # the ports that get a pseudo-terminal

    def start_panel(self, coms=None, arguments=None, command_line=None, wait_window=True):
        suite = Suite.current
        if suite is None:
            raise unittest.SkipTest("the e2e suite was not started (run tests/e2e/run.py)")
        run = PanelRun(suite, coms or self.COMS, arguments, command_line)
        run.in_case = getattr(self, "_in_case", False)
        self._runs = getattr(self, "_runs", [])
        self._runs.append(run)
        label = f"run{len(self._runs)}"
        run.failing = lambda: self._diagnose(run, label)
        self.addCleanup(self._end_run, run)
        run.start()
        if wait_window:
            run.wait_main_window()
        return run

    @contextlib.contextmanager
    def case(self, **params):
        """A subtest: when it fails, the runs it started leave their diagnostics at once, while
        their windows are still there to be seen."""
        first = len(getattr(self, "_runs", []))
        with self.subTest(**params):
            self._in_case = True
            try:
                yield
            except Exception:
                label = "-".join(f"{k}={v}" for k, v in params.items())
                for run in self._runs[first:]:
                    self._diagnose(run, label)
                raise
            finally:
                self._in_case = False

    def _diagnose(self, run, label):
        if run.diagnosed:
            return
        run.diagnosed = True
        name = self.id().split(".", 1)[-1]
        safe = "".join(c if c.isalnum() or c in "-_=." else "_" for c in label)
        run.save_diagnostics(os.path.join(run.suite.failures, name, safe or "run"))

    def _end_run(self, run):
        # The result holds this case, or one of its subtests, once it has failed.
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = result is not None and any(
            test is self or getattr(test, "test_case", None) is self
            for test, _ in result.failures + result.errors)
        if failed and not run.in_case:
            self._diagnose(run, f"run{self._runs.index(run) + 1}")
        run.close()


def pause():
    """Lets a held button stay held for a moment (holding, not timing, is what is tested)."""
    time.sleep(0.7)
