#!/usr/bin/env python3
"""sim73500 and the files of other programs, on a pseudo-terminal and from a
script: Ctrl-C ends a save's wait for a lock another program holds (text and
COFF append; the file stays as it was), and a session log to a FIFO whose
reader went away is reported and closed while the session goes on.

usage: side_files_session.py SIM73500"""
import fcntl
import os
import re
import signal
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import terminal_session as ts  # noqa: E402

PROMPT = ts.PROMPT
# The program starts as from a shell, SIGPIPE at its default (Python
# ignores it, and pty.fork hands that on).
signal.signal(signal.SIGPIPE, signal.SIG_DFL)


def plain(text):
    return ts.session_text(text).decode(errors="replace")


def waiting_for_lock(pid):
    """Whether pid waits for a flock (a blocked entry of /proc/locks)."""
    with open("/proc/locks") as locks:
        return any(re.search(r"-> FLOCK\s+\S+\s+WRITE %d " % pid, line) for line in locks)


def locked_append(s, name, make, append, refusal):
    path = os.path.join(s.home, name)
    s.command(make)
    with open(path, "rb") as f:
        before = f.read()
    holder = os.open(path, os.O_RDONLY)
    fcntl.flock(holder, fcntl.LOCK_EX)
    s.type(append + "\r")
    deadline = time.monotonic() + 30
    while not waiting_for_lock(s.pid):
        if time.monotonic() > deadline:
            ts.fail("%s: the save never waited for the lock" % append)
        s.read_some(0.05)
    s.type("\x03")
    said = plain(s.until(PROMPT, what="the prompt after Ctrl-C in " + append))
    os.close(holder)
    if refusal not in said:
        ts.fail("%s: no %r after Ctrl-C: %r" % (append, refusal, said))
    with open(path, "rb") as f:
        if f.read() != before:
            ts.fail("%s: the file changed" % append)
    # Without the other program the append goes through.
    said = plain(s.command(append))
    with open(path, "rb") as f:
        if "Error" in said or f.read() == before:
            ts.fail("%s after the lock: %r" % (append, said))


def terminal_cases():
    s = ts.Session()
    s.until(PROMPT, what="the first prompt")
    locked_append(s, "f.lod", "save p:0 f -o", "save p:1 f -a",
                  "Error opening file. (Interrupted system call)")
    locked_append(s, "f.cld", "save p:0 f.cld -o", "save p:1 f.cld -a",
                  "Error saving file. (Interrupted system call)")

    # A log to a FIFO whose reader stops.
    fifo = os.path.join(s.home, "pipe.log")
    os.mkfifo(fifo)
    reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    s.command("log s pipe.log -a")
    s.command("evaluate 1")
    os.close(reader)
    said = plain(s.command("evaluate 2"))
    if "Error writing file:%s (Broken pipe)" % fifo not in said:
        ts.fail("log to a FIFO without its reader: %r" % said)
    said = plain(s.command("evaluate 3"))
    if "Hex:0003" not in said or "Error" in said:
        ts.fail("the session after the failed log: %r" % said)
    s.type("quit\r")
    _, status = s.to_end()
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        ts.fail("terminal session: status %r" % status)


def script_case():
    """The same log from a script: the session goes on and ends well."""
    home = os.path.realpath(ts.tempfile.mkdtemp(prefix="side_files_"))
    fifo = os.path.join(home, "pipe.log")
    os.mkfifo(fifo)
    reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    env = dict(os.environ, HOME=home)
    sim = subprocess.Popen([ts.SIM], cwd=home, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
    sim.stdin.write(b"log s pipe.log -a\nevaluate 7\n")
    sim.stdin.flush()
    # The log has the line once the reader sees it: then the reader goes.
    got = b""
    deadline = time.monotonic() + 30
    fcntl.fcntl(reader, fcntl.F_SETFL, 0)
    while b"Hex:0007" not in got:
        if time.monotonic() > deadline:
            ts.fail("script: the log never had its line: %r" % got)
        got += os.read(reader, 4096)
    os.close(reader)
    out, _ = sim.communicate(b"evaluate 8\nevaluate 9\nquit\n", timeout=60)
    text = out.decode(errors="replace")
    if sim.returncode != 0:
        ts.fail("script: status %d: %r" % (sim.returncode, text[-400:]))
    if "{Error writing file:%s (Broken pipe)}" % fifo not in text or "Hex:0009" not in text:
        ts.fail("script: %r" % text[-400:])
    if not stat.S_ISFIFO(os.stat(fifo).st_mode):
        ts.fail("script: the FIFO was replaced")


terminal_cases()
script_case()
print("ok")
