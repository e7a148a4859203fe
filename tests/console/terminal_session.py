#!/usr/bin/env python3
"""sim73500 on a pseudo-terminal as a person uses it. Output is written in
blocks, so this checks what must still reach the screen in time: the prompt
and a question before the program waits for a key, a trace while it runs,
every record of a trace stopped by Ctrl-C, and the last lines of one ended
by SIGTERM, whole and none twice.

usage: terminal_session.py SIM73500"""
import fcntl
import os
import pty
import re
import select
import signal
import struct
import sys
import tempfile
import termios
import time

SIM = os.path.abspath(sys.argv[1])
# The prompt row drawn empty, the cursor after "0>" (a typed key redraws
# it with the line).
PROMPT = b"\r0>\x1b[K\r\x1b[2C"
QUESTION = b"A file with the same name currently exists"
ANSI = re.compile(rb"\x1b\[[0-9;]*[A-Za-z]|\x1b[78]")
# The status rows, drawn between a saved and a restored cursor.
STATUS_ROWS = re.compile(rb"\x1b7.*?\x1b8", re.S)


def session_text(text):
    return ANSI.sub(b"", STATUS_ROWS.sub(b"", text))


class Session:
    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="terminal_session_")
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
            os.chdir(self.home)
            os.environ["HOME"] = self.home
            try:
                os.execv(SIM, [SIM])
            finally:
                os._exit(127)
        self.seen = b""
        self.pos = 0
        self.ended = False

    def read_some(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return
        try:
            data = os.read(self.fd, 65536)
        except OSError:
            data = b""
        if not data:
            self.ended = True
        self.seen += data

    def until(self, pattern, timeout=30, what=None):
        """The text from the last match on, up to the end of the next match
        of pattern; fails when it does not come in time."""
        deadline = time.monotonic() + timeout
        while True:
            at = self.seen.find(pattern, self.pos)
            if at >= 0:
                text = self.seen[self.pos:at + len(pattern)]
                self.pos = at + len(pattern)
                return text
            if self.ended or time.monotonic() > deadline:
                fail("no %r within %d s%s; last output %r" %
                     (what or pattern, timeout, " (ended)" if self.ended else "", self.seen[-300:]))
            self.read_some(0.05)

    def type(self, text):
        os.write(self.fd, text.encode())

    def command(self, line):
        self.type(line + "\r")
        return self.until(PROMPT, what="the prompt after " + line)

    def to_end(self, timeout=30):
        deadline = time.monotonic() + timeout
        while not self.ended and time.monotonic() < deadline:
            self.read_some(0.05)
        _, status = os.waitpid(self.pid, 0)
        return self.seen[self.pos:], status


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check_records(text, what, first=None):
    """Trace records in order, each whole; the ictr counts they carry."""
    plain = session_text(text)
    counts = [int(c) for c in re.findall(rb"ictr=(\d+)", plain)]
    if not counts:
        fail("%s: no trace record in %r" % (what, plain[-300:]))
    expected = list(range(counts[0], counts[0] + len(counts)))
    if counts != expected:
        fail("%s: records out of order or twice: %s" % (what, counts[:40]))
    if first is not None and counts[0] != first:
        fail("%s: first record %d, not %d" % (what, counts[0], first))
    return counts


def main():
    s = Session()
    # Before the program waits for the first command, its prompt shows.
    s.until(PROMPT, what="the first prompt")
    for line in ("asm p:$100 move #$0,r1", "asm p:$102 lea (r1)+,r1", "asm p:$103 jmp $102",
                 "change pc $100"):
        s.command(line)

    # A short trace: all of it before the next prompt.
    counts = check_records(s.command("trace 50"), "trace 50", first=1)
    if len(counts) != 50:
        fail("trace 50 showed %d records" % len(counts))

    # The file question shows before the program waits for its key.
    open(os.path.join(s.home, "exists.txt"), "w").close()
    s.type("log s exists.txt\r")
    s.until(QUESTION, what="the file question")
    s.type("c")
    s.until(PROMPT, what="the prompt after the file question")

    # A long trace shows while it runs; Ctrl-C stops it with every record
    # written out before the prompt comes back.
    s.type("trace 1000000\r")
    s.until(b"ictr=", what="the trace while it runs")
    time.sleep(0.3)
    s.type("\x03")
    text = s.until(PROMPT, what="the prompt after Ctrl-C")
    # The terminal itself drops what it still held when Ctrl-C came (it
    # echoes "^C" there); what the program writes after it comes whole.
    text = text[text.rfind(b"^C") + 2:]
    counts = check_records(text, "trace stopped by Ctrl-C")
    if not re.search(rb"\r\np:\$[^\r\n]*\r\n$", session_text(text[:-len(PROMPT)])):
        fail("Ctrl-C: the last record ends mid-line: %r" % text[-200:])

    # SIGTERM in the middle of a long trace: the held lines come out whole,
    # none twice, then the terminal is given back.
    s.type("trace 1000000\r")
    start = len(s.seen)
    deadline = time.monotonic() + 30
    while len(s.seen) - start < 256 * 1024:
        if s.ended or time.monotonic() > deadline:
            fail("the trace before SIGTERM stalled")
        s.read_some(0.05)
    os.kill(s.pid, signal.SIGTERM)
    rest, status = s.to_end()
    if not os.WIFSIGNALED(status) or os.WTERMSIG(status) != signal.SIGTERM:
        fail("SIGTERM: status %r" % status)
    text = s.seen[start:]
    release = text.rfind(b"\x1b[r")
    if release < 0:
        fail("SIGTERM: the terminal's scroll region was not given back")
    before = text[:text.rfind(b"\x1b7", 0, release)]
    check_records(before, "trace ended by SIGTERM")
    if not before.endswith(b"\r\n"):
        fail("SIGTERM: the output stops mid-line: %r" % before[-200:])
    print("ok")


if __name__ == "__main__":
    main()
