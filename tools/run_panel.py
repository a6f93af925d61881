#!/usr/bin/env python3
"""tools/run on Linux: the panel under Wine with a virtual chassis on COM 3.

    tools/run [--demo] [--com N=DEVICE]... [panel arguments]

With a display, the panel opens there and you drive it; the chassis prints each command it
receives in this terminal. Without one (or with --demo) the panel runs on a virtual display in a
Wine virtual desktop and plays a short demo: it chooses the chassis' port in the list, presses
and releases every button with the mouse, prints the chassis log, and leaves a screenshot under
build/. `--com N=DEVICE` attaches a real serial device as COM N (1 to 20) instead of the chassis.
"""

import argparse
import os
import shlex
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import chassis  # noqa: E402
import wine_session as ws  # noqa: E402

DEMO_BUTTONS = [  # (element, caption, left, top, width, height in the client area)
    ("ForwardButton", "ВПЕРЁД", 125, 210, 75, 65),
    ("BackButton", "НАЗАД", 125, 360, 75, 65),
    ("RightButton", "ВПРАВО", 210, 285, 75, 65),
    ("LeftButton", "ВЛЕВО", 40, 285, 75, 65),
    ("SpeedButton", "СКОРОСТЬ", 40, 150, 245, 50),
]


def say(text):
    # One write per line: the chassis log prints from a thread of its own.
    sys.stdout.write(f"run: {text}\n")
    sys.stdout.flush()


def parse(argv):
    parser = argparse.ArgumentParser(prog="tools/run", description=__doc__.split("\n\n")[0])
    parser.add_argument("--com", action="append", default=[], metavar="N=DEVICE",
                        help="attach DEVICE (e.g. /dev/ttyUSB0) as COM N instead of the chassis")
    parser.add_argument("--demo", action="store_true",
                        help="play the demo on a virtual display even when a display is there")
    args, panel_args = parser.parse_known_args(argv)
    devices = {}
    for item in args.com:
        number, sep, device = item.partition("=")
        if not sep or not number.isdigit() or not 1 <= int(number) <= 20 or not device:
            parser.error(f"--com {item}: expected N=DEVICE with N from 1 to 20")
        devices[int(number)] = device
    if panel_args[:1] == ["--"]:
        panel_args = panel_args[1:]
    return args, devices, panel_args


def check_device(device):
    """None when Wine can use the device, else what is wrong with it."""
    if not os.path.exists(device):
        return f"{device} does not exist"
    if not os.access(device, os.R_OK | os.W_OK):
        user = os.environ.get("USER") or "you"
        return (f"{device} cannot be opened for reading and writing: add {user} to its group "
                f"(usually dialout: sudo usermod -aG dialout {user}, then log in again)")
    return None


def windows_command_line(exe, panel_args):
    line = f"\"{ws.win_path(exe)}\""
    for arg in panel_args:
        line += " " + (f"\"{arg}\"" if any(c in arg for c in " \t") else arg)
    return line


def demo(wine, helper, exe, panel_args, com, log, build):
    """Plays the demo in a virtual desktop; returns the panel's exit code."""
    desktop = ws.Desktop(wine, helper, name="panel",
                         workdir=os.path.join(build, "run-work"))
    os.makedirs(desktop.workdir, exist_ok=True)
    op = ws.Operator(wine.env)
    launch = desktop.launch(exe, command_line=windows_command_line(exe, panel_args))
    try:
        launch.windows_pid(90)
        if not op.find_window(ws.PANEL_TITLE, 90):
            say(f"no window titled \"{ws.PANEL_TITLE}\" appeared")
            shot(wine, build)
            return 1
        def main_window():
            # The largest visible window with the title: the one that owns the taskbar entry
            # may carry it too.
            found = [w for w in desktop.windows() if w.get("parent") == 0
                     and w.get("visible") and w.get("text") == ws.PANEL_TITLE]
            return max(found, key=lambda w: w["client_size"][0] * w["client_size"][1],
                       default=None)
        main = ws.wait_until(main_window, 30, step=0.5)
        if main is None:
            say("the panel's window cannot be read back")
            return 1
        ox, oy = main["client_origin"]
        heard = lambda: len(log.lines) if log else 0  # noqa: E731

        def settle(before):
            # Waits for the chassis to hear the command; a device of the operator's tells us
            # nothing, so then a short pause does.
            if log:
                ws.wait_until(lambda: heard() > before, 2.0, step=0.05)
            else:
                time.sleep(0.3)

        say(f"demo: choosing \"COM {com}\" in the list (Down ×{com}; the list has the focus)")
        op.key(*["Down"] * com)
        time.sleep(0.5)
        for _, caption, left, top, width, height in DEMO_BUTTONS:
            x, y = ox + left + width // 2, oy + top + height // 2
            say(f"demo: press and release {caption}")
            before = heard()
            op.down(x, y)
            settle(before)
            time.sleep(0.3)  # held for a moment, as an operator would
            before = heard()
            op.up(x, y)
            settle(before)
        shot(wine, build)
        say("demo: closing the panel (Alt+F4)")
        op.key("Right")  # off the list: under Wine the list swallows Alt+F4
        op.key("alt+F4")
        code = launch.exit_code(40)
        if code is None:
            say("the panel did not close; ending it")
        else:
            say(f"the panel ended with exit code {code}")
        return 1 if code is None else code
    finally:
        launch.kill()


def shot(wine, build):
    path = os.path.join(build, "run-demo.png")
    if ws.screenshot(wine.env, path, ws.DESKTOP_SIZE):
        say(f"screenshot: {path}")


def interrupted(signum, frame):
    """SIGTERM ends the run as Ctrl+C does: the panel, the wineserver and the display go."""
    raise KeyboardInterrupt


def main(argv=None):
    signal.signal(signal.SIGTERM, interrupted)
    args, devices, panel_args = parse(sys.argv[1:] if argv is None else argv)
    root = os.path.dirname(HERE)
    build = os.path.abspath(os.environ.get("PANEL_BUILD") or os.path.join(root, "build"))
    exe = os.path.join(build, "win64", "panel.exe")
    helper = os.path.join(build, "win64", "tests", "e2e", "e2e_helper.exe")
    for n, device in devices.items():
        problem = check_device(device)
        if problem:
            say(f"COM {n}: {problem}")
            return 2

    display = ws.Display(reuse=not args.demo)
    interactive = display.name is not None
    if not interactive and not os.path.exists(helper):
        say(f"{helper} is missing: the demo needs it (build with the tests, tools/build)")
        return 2
    display.start()
    wine = ws.Wine(os.path.join(build, "run-prefix"), display.name)
    ports, log = {}, None
    try:
        wine.ensure_prefix()
        wine.start_server()
        for n, device in devices.items():
            wine.attach_port(n, device)
            say(f"COM {n} is {device}")
        if not devices:
            ports = {3: chassis.PtyPort()}
            wine.attach_port(3, ports[3].slave_name)
            say(f"virtual chassis on COM 3 ({ports[3].slave_name}); it prints every command "
                "it receives: 1 forward, 2 back, 3 right, 4 left, 6 speed, 5 stop")
            log = chassis.ChassisLog(ports).start()
        if interactive:
            say(f"the panel opens on {display.name}: choose \"COM {min(devices or [3])}\" in "
                "its list, then press and hold the buttons; close the panel to end")
            code = subprocess.run([ws.WINE64, exe, *panel_args], env=wine.env,
                                  stdin=subprocess.DEVNULL).returncode
        else:
            say(f"no display: a virtual one ({display.name}) and a short demo "
                f"({' '.join(shlex.quote(a) for a in panel_args) or 'no arguments'})")
            code = demo(wine, helper, exe, panel_args, min(devices or [3]), log, build)
    except KeyboardInterrupt:
        code = 130
    finally:
        if log:
            log.stop()
            heard = [meaning for _, _, meaning in log.lines]
            if heard:
                say(f"chassis log: {len(heard)} command(s): {', '.join(heard)}")
            else:
                say("chassis log: nothing arrived on COM 3")
        for n in list(ports) + list(devices):
            wine.detach_port(n)
        for port in ports.values():
            port.close()
        wine.stop_server()
        display.stop()
    return code


if __name__ == "__main__":
    sys.exit(main())
