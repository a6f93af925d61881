#!/usr/bin/env python3
"""The virtual chassis: a pseudo-terminal that stands in for the robot on a COM port.

The panel writes two-byte commands ("1\\n" forward, "2\\n" back, "3\\n" right, "4\\n" left,
"6\\n" speed, "5\\n" stop). The chassis is the other end of a pseudo-terminal pair whose slave
Wine opens as the COM port: it reads every byte that arrives and tells, with a time stamp, which
command it was. Anything that is not one of the six commands is shown as its raw bytes, so a
stray carriage return or a doubled byte is seen at once.

Used on its own it attaches itself to a Wine prefix and prints its log until interrupted:

    tools/chassis.py --prefix build/run-prefix --com 3

The end-to-end tests and tools/run import it for the same pseudo-terminals.
"""

import argparse
import datetime
import os
import pty
import select
import signal
import sys
import termios
import threading
import time
import tty

COMMANDS = {
    b"1\n": "forward",
    b"2\n": "back",
    b"3\n": "right",
    b"4\n": "left",
    b"6\n": "speed",
    b"5\n": "stop",
}

# A partial command that sits this long without its line feed is shown as raw bytes.
PARTIAL_FLUSH_SECONDS = 0.3


def show_bytes(data):
    """Raw bytes as the log shows them: hex, and the printable text beside it."""
    hexes = " ".join(f"{b:02x}" for b in data)
    return f"raw {hexes}  {data!r}"


def decode(data):
    """Splits a byte stream into (bytes, meaning) items: commands by name, the rest raw.

    A trailing piece without a line feed is returned as the second value, still undecided."""
    items = []
    rest = bytes(data)
    while b"\n" in rest:
        line, rest = rest.split(b"\n", 1)
        line += b"\n"
        items.append((line, COMMANDS.get(line) or show_bytes(line)))
    return items, rest


class PtyPort:
    """One pseudo-terminal pair. Wine opens `slave_name`; everything written there is kept.

    The slave is raw (no output processing, no echo): with the default line discipline a line
    feed would come out as CR LF and the panel's own bytes could not be checked. The slave stays
    open here too, so that the master keeps working when the panel closes and reopens the port.
    """

    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        attrs = termios.tcgetattr(self.slave)
        attrs[1] &= ~termios.OPOST  # oflag
        attrs[3] &= ~(termios.ECHO | termios.ECHONL | termios.ICANON)  # lflag
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)
        os.set_blocking(self.master, False)
        self.slave_name = os.ttyname(self.slave)
        self.received = bytearray()
        self._lock = threading.Lock()

    def poll(self, timeout=0.0):
        """Takes what has arrived, waiting at most `timeout` seconds for the first byte."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return b""
        chunks = []
        while True:
            try:
                chunk = os.read(self.master, 4096)
            except BlockingIOError:
                break
            except OSError:  # EIO: no slave open at the moment
                break
            if not chunk:
                break
            chunks.append(chunk)
        data = b"".join(chunks)
        with self._lock:
            self.received += data
        return data

    def wait_for_length(self, length, timeout):
        """Reads until at least `length` bytes have arrived in all, or `timeout` runs out."""
        deadline = time.monotonic() + timeout
        while len(self.received) < length:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            self.poll(min(left, 0.2))
        return bytes(self.received)

    def drain(self):
        """Everything that has arrived so far, after a last look at the master."""
        self.poll(0.0)
        return bytes(self.received)

    def close(self):
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


def stamp():
    return datetime.datetime.now().strftime("%H:%M:%S.%f")[:-3]


class ChassisLog:
    """Prints each command as it arrives on any of the given ports, from a thread of its own."""

    def __init__(self, ports, out=sys.stdout):
        self.ports = ports  # {com number: PtyPort}
        self.out = out
        self.lines = []  # (com, bytes, meaning)
        self._pending = {n: b"" for n in ports}
        self._since = {n: 0.0 for n in ports}
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=5)
        self._once(0.0)
        for n in self.ports:
            if self._pending[n]:
                self._emit(n, self._pending[n], show_bytes(self._pending[n]))
                self._pending[n] = b""

    def _emit(self, com, data, meaning):
        self.lines.append((com, data, meaning))
        # One write per line, so that lines of other threads never cut into it.
        self.out.write(f"{stamp()}  chassis  COM {com}  {meaning:<8} {data!r}\n")
        self.out.flush()

    def _once(self, timeout):
        fds = {p.master: n for n, p in self.ports.items()}
        ready, _, _ = select.select(list(fds), [], [], timeout)
        now = time.monotonic()
        for fd in ready:
            n = fds[fd]
            data = self.ports[n].poll(0.0)
            if not data:
                continue
            items, rest = decode(self._pending[n] + data)
            for raw, meaning in items:
                self._emit(n, raw, meaning)
            if rest and rest != self._pending[n]:
                self._since[n] = now
            self._pending[n] = rest
        for n in self.ports:
            if self._pending[n] and now - self._since[n] > PARTIAL_FLUSH_SECONDS:
                self._emit(n, self._pending[n], show_bytes(self._pending[n]))
                self._pending[n] = b""

    def _run(self):
        while not self._stop.is_set():
            self._once(0.1)


def main(argv=None):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import wine_session  # noqa: E402  (beside this file)

    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--prefix", required=True, help="the Wine prefix to attach to")
    parser.add_argument("--com", type=int, action="append", default=[],
                        help="COM port number (1 to 20) to stand on; may be repeated")
    args = parser.parse_args(argv)
    coms = args.com or [3]
    for n in coms:
        if not 1 <= n <= 20:
            parser.error(f"COM {n}: the panel offers COM 1 to COM 20")
    wine = wine_session.Wine(os.path.abspath(args.prefix))
    ports = {n: PtyPort() for n in coms}
    for n, port in ports.items():
        wine.attach_port(n, port.slave_name)
        print(f"chassis on COM {n}: {port.slave_name}", flush=True)
    log = ChassisLog(ports).start()
    stop = threading.Event()
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    stop.wait()
    log.stop()
    for n, port in ports.items():
        wine.detach_port(n)
        port.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
