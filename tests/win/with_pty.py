#!/usr/bin/env python3
"""Runs a Windows test under Wine with pseudo-terminals standing in for serial devices.

    with_pty.py --ports 5,12 -- COMMAND [ARGS...]

For each port number N it makes a pseudo-terminal pair, makes the slave raw (no output
processing, or a line feed would reach the other end as CR LF) and links
$WINEPREFIX/dosdevices/comN to the slave, so that "\\\\.\\ComN" opens it under Wine. Then it runs
COMMAND (normally tools/wine-exec and the test's .exe), reads everything that arrives on the master
sides, and removes the links when COMMAND ends. Its exit status is COMMAND's.

The test talks to it through a control directory whose Windows path it finds in PANEL_PTY_DIR
(PANEL_PTY_PORTS lists the port numbers):

    lineN.bytes      every byte read from port N's master side, appended as it arrives
    lineN.REQUEST    created by the test; the wrapper carries the request out, deletes this file
                     and creates lineN.REQUEST.done (whose content, if any, is the answer)

(Not "comN.*": Windows takes any name that starts "COMn." for the device COMn itself, so the
test would open the serial port instead of the file.)

Requests:
    drain    read until the line has been quiet for a moment, so comN.bytes is complete
    hangup   close the master side: the device's other end goes away
    replug   a new pseudo-terminal pair behind the same comN link
    termios  answer with the slave's line settings: "speed=19200 data=8 parity=none stop=1
             crtscts=off"
    unlink   hang up and remove the comN link: the device is not there at all (replug brings
             it back)
    stall    stop reading the master side and fill the terminal's buffer from the slave side,
             so that nothing more can be written (answer: how many filler bytes it took)
    resume   read again; the filler is dropped, what came after it is appended as usual

Wine may point com1 to com4 at the machine's /dev/ttyS*; a link that was there is put back
when the wrapper ends.
"""

import argparse
import errno
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty

QUIET_SECONDS = 0.1  # how long a drain waits for the line to stay silent
POLL_SECONDS = 0.01

SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}


def windows_path(unix_path):
    """Wine shows the Unix root as drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def default_prefix():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    build = os.environ.get("PANEL_BUILD", os.path.join(root, "build"))
    return os.path.join(build, "wineprefix")


class Port:
    """One COM port: a pseudo-terminal pair behind $WINEPREFIX/dosdevices/comN."""

    def __init__(self, number, dosdevices, control):
        self.number = number
        self.link = os.path.join(dosdevices, "com%d" % number)
        self.bytes_path = os.path.join(control, "line%d.bytes" % number)
        self.master = None
        self.slave = None
        self.holder = None
        self.stalled = False
        self.filler = 0  # filler bytes still to be dropped from what the master side reads
        self.previous = os.readlink(self.link) if os.path.islink(self.link) else None
        open(self.bytes_path, "wb").close()
        self.plug()

    def plug(self):
        master, slave = os.openpty()
        # Raw first, then a line format unlike the panel's, so that a test of the settings
        # the element applies cannot pass on the terminal's defaults. (A Linux pty keeps 8 data
        # bits and no parity whatever it is told, so only these three can differ.)
        tty.setraw(slave)
        attrs = termios.tcgetattr(slave)
        attrs[2] |= termios.CSTOPB | termios.CRTSCTS
        attrs[4] = attrs[5] = termios.B9600
        termios.tcsetattr(slave, termios.TCSANOW, attrs)
        os.set_blocking(master, False)
        # The wrapper keeps the slave open too: the terminal, and its settings, then outlive the
        # test's handles, and reading the master never fails for want of a slave.
        self.master, self.slave = master, slave
        self.hold_terminal()
        if os.path.lexists(self.link) and not os.path.islink(self.link):
            raise SystemExit("%s exists and is not a link" % self.link)
        temp = self.link + ".new"
        if os.path.lexists(temp):
            os.unlink(temp)
        os.symlink(os.ttyname(slave), temp)
        os.replace(temp, self.link)

    def hold_terminal(self):
        """Makes the slave the controlling terminal of a session of its own.

        The wineserver opens devices for its clients, and a session leader without a terminal
        that opens one takes it as its controlling terminal; the hangup of the master would then
        send it SIGHUP (a debug build of it answers with a dump of every object). A terminal
        that already controls another session is not taken, so a small holder process in a new
        session takes it first; the hangup ends that holder instead.
        """
        self.holder = subprocess.Popen(
            [sys.executable, "-c",
             "import os, signal, sys\n"
             "os.open(sys.argv[1], os.O_RDWR)\n"
             "print(flush=True)\n"
             "signal.pause()\n", os.ttyname(self.slave)],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, start_new_session=True)
        self.holder.stdout.readline()  # it has the terminal now
        self.holder.stdout.close()

    def hangup(self):
        self.read_available()
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)
        self.master = self.slave = None
        if self.holder is not None:
            if self.holder.poll() is None:
                self.holder.kill()
            self.holder.wait()
            self.holder = None

    def replug(self):
        self.hangup()
        self.plug()

    def unlink(self):
        self.hangup()
        if os.path.islink(self.link):
            os.unlink(self.link)

    def stall(self):
        """Stops reading and fills the buffer; returns how many bytes filled it."""
        self.read_available()
        self.stalled = True
        os.set_blocking(self.slave, False)
        filled = 0
        try:
            # The terminal moves what it holds on to the master's read buffer behind the
            # writer's back, which makes room again; fill until a pause makes none.
            while True:
                before = filled
                while True:
                    try:
                        filled += os.write(self.slave, b"\xff" * 4096)
                    except BlockingIOError:
                        break
                if filled == before:
                    break
                time.sleep(0.05)
        finally:
            os.set_blocking(self.slave, True)
        self.filler += filled
        return filled

    def resume(self):
        self.stalled = False
        self.read_available()

    def read_available(self):
        """Appends what the master side has now; returns whether anything came."""
        if self.master is None or self.stalled:
            return False
        got = False
        while True:
            try:
                data = os.read(self.master, 4096)
            except BlockingIOError:
                return got
            except OSError as e:
                if e.errno == errno.EIO:  # no slave open at the moment
                    return got
                raise
            if not data:
                return got
            dropped = min(self.filler, len(data))
            self.filler -= dropped
            data = data[dropped:]
            with open(self.bytes_path, "ab") as f:
                f.write(data)
            got = True

    def drain(self):
        quiet_since = time.monotonic()
        while time.monotonic() - quiet_since < QUIET_SECONDS:
            if self.read_available():
                quiet_since = time.monotonic()
            time.sleep(POLL_SECONDS)

    def line_settings(self):
        if self.slave is None:
            return "hung up"
        attrs = termios.tcgetattr(self.slave)
        cflag = attrs[2]
        data = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[
            cflag & termios.CSIZE]
        if not cflag & termios.PARENB:
            parity = "none"
        else:
            parity = "odd" if cflag & termios.PARODD else "even"
            if cflag & getattr(termios, "CMSPAR", 0):
                parity = "mark" if cflag & termios.PARODD else "space"
        return "speed=%s data=%d parity=%s stop=%d crtscts=%s" % (
            SPEEDS.get(attrs[5], attrs[5]), data, parity, 2 if cflag & termios.CSTOPB else 1,
            "on" if cflag & termios.CRTSCTS else "off")

    def close(self):
        self.unlink()
        if self.previous is not None:
            os.symlink(self.previous, self.link)


def serve_requests(ports, control):
    for name in os.listdir(control):
        stem, _, request = name.partition(".")
        if stem not in ports or request not in ("drain", "hangup", "replug", "termios", "unlink",
                                                "stall", "resume"):
            continue
        port = ports[stem]
        answer = ""
        if request == "drain":
            port.drain()
        elif request == "hangup":
            port.hangup()
        elif request == "replug":
            port.replug()
        elif request == "termios":
            answer = port.line_settings()
        elif request == "unlink":
            port.unlink()
        elif request == "stall":
            answer = str(port.stall())
        elif request == "resume":
            port.resume()
        os.unlink(os.path.join(control, name))
        done = os.path.join(control, name + ".done")
        # Written aside and renamed, so the test never reads half an answer.
        with open(done + ".tmp", "w") as f:
            f.write(answer)
        os.replace(done + ".tmp", done)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ports", required=True, help="COM port numbers, e.g. 5,12")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    numbers = [int(n) for n in args.ports.split(",")]
    if not command or any(n < 1 for n in numbers):
        parser.error("give port numbers from 1 up and a command after --")

    prefix = os.environ.setdefault("WINEPREFIX", default_prefix())
    dosdevices = os.path.join(prefix, "dosdevices")
    if not os.path.isdir(dosdevices):
        raise SystemExit("no Wine prefix at %s (tools/test makes it)" % prefix)

    control = tempfile.mkdtemp(prefix="panel-pty-")
    ports = {}
    child = None

    def stop(signum, _frame):
        if child and child.poll() is None:
            child.send_signal(signum)
        raise SystemExit(128 + signum)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        for n in numbers:
            ports["line%d" % n] = Port(n, dosdevices, control)
        env = dict(os.environ, PANEL_PTY_DIR=windows_path(control),
                   PANEL_PTY_PORTS=",".join(str(n) for n in numbers))
        child = subprocess.Popen(command, env=env)
        while child.poll() is None:
            masters = [p.master for p in ports.values()
                       if p.master is not None and not p.stalled]
            select.select(masters, [], [], POLL_SECONDS)
            for port in ports.values():
                port.read_available()
            serve_requests(ports, control)
        return child.returncode
    finally:
        for port in ports.values():
            port.close()
        shutil.rmtree(control, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
