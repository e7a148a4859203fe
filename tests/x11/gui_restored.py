#!/usr/bin/env python3
"""sim73500 --gui restarted with a saved layout under a window manager (run
by x11_smoke.sh --wm, which sets DISPLAY), on a machine made slow: from the
About box's end the program runs 1 ms in every SLOWDOWN ms, as on a host
that many times slower, where bringing a layout back takes seconds. Every
window of the program it mapped shows its picture once the program is
idle: none is left black, or as a bare background. How long each stood
unpainted, in the program's own processor time, is printed but not judged:
on a loaded host the X server and the window manager fall behind the
program by as much as a whole restore, so no bound holds there. That each
window is painted before the next opens is checked headless, by the order
of the messages (DocumentWindows.EachRestoredWindowIsPaintedBeforeTheNextOpens).

  win95, windows   the saved windows come back inside the main window
  motif            they come back as windows of their own

usage: gui_restored.py SIM73500 VRTOOL CASE
Exits 0 when all holds, 77 (skipped) without xdotool, xwininfo or xwd.
"""
import io
import os
import signal
import subprocess
import sys
import time

from x11_desktop import check, geometry, poll, run, run_case, screen

SIM, VRTOOL, CASE = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
# The run is slowed to one part in SLOWDOWN; a sanitized build, itself many
# times slower, stands for the slow machine with less.
SLOWDOWN = int(os.environ.get("SLOWDOWN", "20"))
WATCHED = 15.0  # seconds watched once every window is mapped
# The program at rest: less than REST seconds of processor time in IDLE
# seconds on the wall (a caret blinking takes far less).
IDLE, REST = 2.0, 0.005

# The layout a user debugging a C program keeps (Session, Command, Assembly
# and Source), with the Register, Memory and Watch windows they opened.
SAVED = [(13, -1, 0, ""), (3, -1, 0, ""), (0, 0, 0, ""), (14, 0, 0, ""), (15, 0, 0, ""), (2, 0, 0, ""),
         (1, 0, 0, "")]
SAVED += [(11, 0, n, "PeriphNum = integer 0") for n in range(1, 9)]
SAVED += [(7, 0, n, "MemNum = integer 0") for n in range(1, 21)]
SAVED += [(16, 0, n, "") for n in range(1, 4)]


def saved_store(home):
    places = []
    for i, (kind, device, number, extra) in enumerate(SAVED):
        places.append("{ Rect = array integer [ %d %d 420 220 ] WinType = integer %d WinNum = integer %d "
                      "DevNum = integer %d %s }" % (10 + 24 * i, 10 + 18 * i, kind, number, device, extra))
    text = """ApplicationPreferences = dictionary { sim73500 = dictionary {
SavePos = integer 1
Devices = array dictionary [ { DevNum = integer 0 DevType = integer 0 } ]
MainWin = dictionary { Rect = array integer [ 100 40 1100 900 ] }
WinPos = array dictionary [
%s
]
} }
""" % "\n".join(places)
    path = os.path.join(home, "store.txt")
    with open(path, "w") as f:
        f.write(text)
    subprocess.run([VRTOOL, "build", path, os.path.join(home, "vwexusr1.vr")], check=True)


# Stops and continues the program from a process of its own, so that the
# pictures taken here never hold it stopped longer.
SLOWER = """
import os, signal, sys, time
pid, period = int(sys.argv[1]), int(sys.argv[2]) / 1000.0
signal.signal(signal.SIGTERM, lambda *_: (os.kill(pid, signal.SIGCONT), sys.exit(0)))
try:
    while True:
        os.kill(pid, signal.SIGSTOP)
        time.sleep(period - 0.001)
        os.kill(pid, signal.SIGCONT)
        time.sleep(0.001)
except ProcessLookupError:
    pass
"""


def cpu_seconds(pid):
    """The processor time all the program's threads used so far (0 once it
    is gone)."""
    total = 0
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return total / 1e9


def idle(pid, seconds=60):
    """Waits until the program is at rest: its event loop waits for input.
    Whether it got there."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        start = cpu_seconds(pid)
        time.sleep(IDLE)
        if cpu_seconds(pid) - start < REST:
            return True
    return False


def program_windows():
    """The program's mapped top-level windows with their places."""
    found = {}
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        box = geometry(w)
        if box:
            found[w] = box
    return found


def root_picture():
    from PIL import Image  # Debian's python3-pil
    xwd = subprocess.run(["xwd", "-silent", "-root"], capture_output=True).stdout
    ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True).stdout
    return Image.open(io.BytesIO(ppm)).convert("RGB")


def painted(picture, box, area):
    """Whether the window shows a picture of its own: no black block (a
    buffer never drawn) and more than a bare background."""
    from PIL import ImageFilter
    left, top = max(box.x, area.x), max(box.y, area.y)
    right, bottom = min(box.x + box.w, area.x + area.w), min(box.y + box.h, area.y + area.h)
    if right - left < 30 or bottom - top < 30:
        return True  # off the screen: nothing to see
    step = 6
    grid = picture.crop((left, top, right, bottom)).resize(((right - left) // step, (bottom - top) // step))
    black = grid.convert("L").point(lambda v: 255 if v == 0 else 0)
    # 5 x 5 points 6 pixels apart all black: no text or icon draws that.
    if black.filter(ImageFilter.MinFilter(5)).getextrema()[1] == 255:
        return False
    colours = grid.getcolors(1 << 16)
    return colours is None or len(colours) >= 3


def case(home, look):
    saved_store(home)
    env = dict(os.environ, HOME=home, LAF=look)
    proc = subprocess.Popen([SIM, "--gui"], cwd=home, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    slower = None
    try:
        # The About box, then its end: the machine slows down from there.
        about = poll(program_windows, 30)
        if not check(about, "%s: no About box" % look):
            return
        check(poll(lambda: not set(about) & set(program_windows()), 15), "%s: the About box stayed" % look)
        slower = subprocess.Popen([sys.executable, "-c", SLOWER, str(proc.pid), str(SLOWDOWN)])
        area = screen()
        # Each window's longest time unpainted in the program's time: from
        # the first picture that showed it unpainted (since its mapping or
        # since it was last seen painted) to the last one that still did.
        # Counted between pictures, it never takes in the time this script
        # itself took to look.
        mapped, unpainted, longest = {}, {}, {}
        expected = 1 if look in ("win95", "windows") else 1 + len(SAVED)
        end = None
        while end is None or time.monotonic() < end:
            seen = program_windows()
            before = cpu_seconds(proc.pid)
            picture = root_picture()
            after = cpu_seconds(proc.pid)
            now = time.monotonic()
            for w, box in seen.items():
                mapped.setdefault(w, now)
                if painted(picture, box, area):
                    unpainted[w] = None
                else:
                    if unpainted.get(w) is None:
                        unpainted[w] = after
                    longest[w] = max(longest.get(w, 0), before - unpainted[w])
            # Watched until the whole layout is surely back: on this slow
            # machine that takes seconds.
            if end is None and len(mapped) >= expected:
                end = now + WATCHED
            # Given up only once no window has come for a long while: how
            # fast they come depends on how precisely this host's sleeps
            # slice the program, slower on an idle host than a busy one.
            if end is None and mapped and now - max(mapped.values()) > 30:
                break
        check(len(mapped) >= expected, "%s: %d windows mapped of %d" % (look, len(mapped), expected))
        # Once the program waits for input, every window it mapped shows
        # its picture.
        slower.terminate()
        slower.wait()
        slower = None
        check(idle(proc.pid), "%s: the program never came to rest" % look)
        seen, picture = program_windows(), root_picture()
        for w in mapped:
            name = run("xdotool", "getwindowname", w).strip() or w
            print("%s: %s unpainted for at most %.1f ms of the program's time" % (look, name, 1000 * longest.get(w, 0)),
                  flush=True)
            check(w not in seen or painted(picture, seen[w], area), "%s: %s unpainted with the program idle" % (look, name))
    finally:
        if slower:
            slower.terminate()
            slower.wait()
        proc.kill()
        proc.wait()


sys.exit(run_case(lambda home: case(home, CASE), ("xdotool", "xwininfo", "xwd", "xwdtopnm", "xdpyinfo")))
