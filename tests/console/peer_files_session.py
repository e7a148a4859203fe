#!/usr/bin/env python3
"""sim73500 on a pseudo-terminal while its target waits on another program
through the host file service: a read of a FIFO whose writer says nothing,
of a terminal nobody types on and of standard input redirected from such a
FIFO, a write to a full FIFO whose reader has paused and of standard output
redirected to one. Ctrl-C (and SIGINT sent by kill) ends the wait, the
target is answered -1 and the run stops, in the fast engine and the cycle
engine alike; the session then answers the next command.

usage: peer_files_session.py SIM73500 MAKE_TEST_CLD"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import terminal_session as ts  # noqa: E402

MAKE_TEST_CLD = os.path.abspath(sys.argv[2])
PROMPT = ts.PROMPT
# Fixed addresses: the two routines, then the loop the program ends in.
SEND, RECEIVE, DONE = 0x40, 0x41, 0x42
# Where the program keeps its requests and the replies.
MARK, OPEN, NAME, OPERATION, DATA = 0x20, 0x10, 0x13, 0x30, 0x34
OPENED, DONE_WORDS, REPLY = 0x40, 0x50, 0x48
READ, WRITE = 2, 3


def words(text):
    return " ".join("%x" % ord(c) for c in text)


def program(path, operation, name=None, open_flags=0, number=None, count=4):
    """A target that says "ready" on standard error, opens `name` (or takes
    file `number`), reads or writes `count` words of it and keeps the
    count and the error at x:REPLY before it ends in the loop at DONE."""
    calls = []

    def send(buffer, n):
        calls.extend(["move #>$%x,x0" % buffer, "move x0,x:$7f", "move #>$%x,x0" % n, "move x0,x:$7e",
                      "jsr send"])

    def receive(buffer):
        calls.extend(["move #>$%x,x0" % buffer, "move x0,x:$7f", "move #>$0,x0", "move x0,x:$7e",
                      "jsr receive"])

    data = ["; data $%x 3 2 6 %s" % (MARK, words("ready\n"))]
    send(MARK, 3)
    send(MARK + 3, 6)
    receive(REPLY)
    if name is not None:
        data.append("; data $%x 0 %x %x" % (OPEN, open_flags, len(name)))
        data.append("; data $%x %s" % (NAME, words(name)))
        send(OPEN, 3)
        send(NAME, len(name))
        receive(OPENED)
        calls.extend(["move x:$%x,x0" % OPENED, "move x0,x:$%x" % (OPERATION + 1)])
    data.append("; data $%x %x %x %x" % (OPERATION, operation, number or 0, count))
    data.append("; data $%x %s" % (DATA, words("abcd"[:count])))
    send(OPERATION, 3)
    if operation == WRITE:
        send(DATA, count)
    else:
        receive(DONE_WORDS)
    receive(REPLY)
    lines = ["; sym __send %d 0 3 0 2" % SEND, "; sym __receive %d 0 3 0 2" % RECEIVE] + data
    lines += ["send:    rts", "receive: rts", "done:    jmp done", "main:    move #>$80,r2"]
    lines += ["         " + c for c in calls] + ["         jmp done"]
    source = path + ".asm"
    with open(source, "w") as f:
        f.write("\n".join(lines) + "\n")
    made = subprocess.run([MAKE_TEST_CLD, source, path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if made.returncode != 0:
        ts.fail("make_test_cld: %s" % made.stdout.decode(errors="replace"))


def state(pid):
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()[0]


def full_fifo(path):
    """A FIFO with a paused reader and no room left: the reader's end."""
    os.mkfifo(path)
    reader = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    filler = os.open(path, os.O_WRONLY | os.O_NONBLOCK)
    try:
        while True:
            os.write(filler, b"x" * 4096)
    except BlockingIOError:
        pass
    try:
        while True:
            os.write(filler, b"x")
    except BlockingIOError:
        pass
    os.close(filler)
    return reader


def silent_fifo(path):
    """A FIFO whose writer is there and says nothing: both its ends."""
    os.mkfifo(path)
    return os.open(path, os.O_RDWR | os.O_NONBLOCK)


def wait_case(s, what, setup, prog, stop, fast):
    """Runs `prog` until it waits on its peer (it said "ready" and sleeps),
    stops it with `stop`, and checks the prompt, the -1 answer and the
    next command."""
    s.type("load %s\r" % prog)
    s.until(PROMPT, what=what + ": the prompt after the load")
    s.command("break off")
    if not fast:
        # A breakpoint keeps the run on the cycle engine.
        s.command("break pc==$%x" % DONE)
    for line in setup:
        s.command(line)
    s.type("go\r")
    s.until(b"ready", what=what + ": the target's first line")
    deadline = time.monotonic() + 60
    while state(s.pid) != "S":
        if time.monotonic() > deadline:
            ts.fail("%s: the simulator never waited" % what)
        s.read_some(0.01)
    stop(s)
    said = ts.session_text(s.until(PROMPT, what=what + ": the prompt after the stop"))
    if b"SIMULATION ABORTED" not in said:
        ts.fail("%s: the run did not stop: %r" % (what, said))
    if fast:
        s.command("break pc==$%x" % DONE)
    # The target takes its answer and goes on to its end.
    s.command("go")
    said = ts.session_text(s.command("evaluate x:$%x" % REPLY))
    if b"hex:ffff" not in said.lower():
        ts.fail("%s: the target was not answered -1: %r" % (what, said))
    said = ts.session_text(s.command("evaluate 5"))
    if b"Hex:0005" not in said:
        ts.fail("%s: the session after the stop: %r" % (what, said))
    s.command("redirect off")


def ctrl_c(s):
    s.type("\x03")


def interrupt(s):
    os.kill(s.pid, signal.SIGINT)


def main():
    s = ts.Session()
    s.until(PROMPT, what="the first prompt")
    home = s.home
    peers = []
    number = [0]

    def fresh(stem):
        number[0] += 1
        return os.path.join(home, "%s%d" % (stem, number[0]))

    for fast in (True, False):
        engine = "fast" if fast else "cycle"
        for stop, how in ((ctrl_c, "Ctrl-C"), (interrupt, "kill -INT")):
            fifo = fresh("silent.fifo")
            peers.append(silent_fifo(fifo))
            prog = fresh("read") + ".cld"
            program(prog, READ, name=os.path.basename(fifo))
            wait_case(s, "%s: read of a silent FIFO, %s" % (engine, how), [], prog, stop, fast)

        fifo = fresh("full.fifo")
        peers.append(full_fifo(fifo))
        prog = fresh("write") + ".cld"
        program(prog, WRITE, name=os.path.basename(fifo), open_flags=1)
        wait_case(s, engine + ": write to a full FIFO", [], prog, ctrl_c, fast)

        master, slave = os.openpty()
        peers += [master, slave]
        prog = fresh("tty") + ".cld"
        program(prog, READ, name=os.ttyname(slave))
        wait_case(s, engine + ": read of a silent terminal", [], prog, ctrl_c, fast)

        fifo = fresh("in.fifo")
        peers.append(silent_fifo(fifo))
        prog = fresh("stdin") + ".cld"
        program(prog, READ, number=0)
        wait_case(s, engine + ": read of standard input from a silent FIFO",
                  ["redirect stdin " + os.path.basename(fifo)], prog, ctrl_c, fast)

        fifo = fresh("out.fifo")
        peers.append(full_fifo(fifo))
        prog = fresh("stdout") + ".cld"
        program(prog, WRITE, number=1)
        wait_case(s, engine + ": write of standard output to a full FIFO",
                  ["redirect stdout %s -a" % os.path.basename(fifo)], prog, ctrl_c, fast)

    s.type("quit\r")
    _, status = s.to_end()
    for fd in peers:
        os.close(fd)
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        ts.fail("status %r" % status)
    print("ok")


main()
