#!/usr/bin/env python3
"""The headless GUI and a reader that goes away: a session log to such a
FIFO is reported and closed while the session goes on; the transcript to
one is said on standard error and the program ends non-zero, whether it
started with SIGPIPE at its default (as from a shell) or ignored.

usage: side_files_gui.py SIM73500"""
import os
import subprocess
import sys
import tempfile
import time

SIM = sys.argv[1]
# Far more than a pipe holds: the writer meets the reader's leaving.
BIG = "display p:0..$ffff\n"


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def run(home, args, macro, fifo, pipe_default=True):
    """Runs the GUI headless on a macro while a reader of fifo takes one
    byte and leaves; (status, stderr). Python ignores SIGPIPE, and without
    restore_signals the program inherits that."""
    with open(os.path.join(home, "m.cmd"), "w") as f:
        f.write(macro)
    reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    sim = subprocess.Popen([SIM, "--gui=headless"] + args + ["m.cmd"], cwd=home, env=dict(os.environ, HOME=home),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           restore_signals=pipe_default)
    deadline = time.monotonic() + 60
    while True:
        try:
            if os.read(reader, 1):
                break
        except BlockingIOError:
            pass
        if time.monotonic() > deadline or sim.poll() is not None:
            sim.kill()
            fail("%s: the reader never had a byte" % args)
        time.sleep(0.01)
    os.close(reader)
    _, err = sim.communicate(timeout=120)
    return sim.returncode, err.decode(errors="replace")


home = os.path.realpath(tempfile.mkdtemp(prefix="side_files_gui_"))
fifo = os.path.join(home, "pipe.log")
os.mkfifo(fifo)

status, err = run(home, ["--transcript", "t.txt"], "log s pipe.log -a\n" + BIG + "evaluate 3\nquit\n", fifo)
with open(os.path.join(home, "t.txt")) as f:
    text = f.read()
if status != 0:
    fail("log: status %d: %s" % (status, err))
said = text.find("{Error writing file:%s (Broken pipe)}" % fifo)
if said < 0 or text.find("Hex:0003", said) < 0:
    fail("log: %r" % text[-400:])

for pipe_default in (True, False):
    status, err = run(home, ["--transcript", fifo], BIG + "evaluate 3\nquit\n", fifo, pipe_default)
    if status == 0 or "sim73500: cannot write the transcript %s: Broken pipe" % fifo not in err:
        fail("transcript (SIGPIPE %s): status %d: %r" % ("default" if pipe_default else "ignored", status, err))
print("ok")
