#!/usr/bin/env python3
"""sim73500 --gui restarted with a saved layout under a window manager (run
by x11_smoke.sh --wm, which sets DISPLAY), on a machine made slow: from the
About box's end the program runs 1 ms in every SLOWDOWN ms, as on a host
that many times slower, where bringing a layout back takes seconds. Every
window of the program is painted within a second of its mapping: none
stands on the screen black, or as a bare background, while the rest of the
layout comes back.

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
LIMIT = 1.0  # seconds from a window's mapping to its painting
WATCHED = 15.0  # seconds watched once every window is mapped

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
        # Each window's longest time unpainted, counted from its mapping
        # or from the last picture that showed it painted.
        mapped, unpainted, longest = {}, {}, {}
        expected = 1 if look in ("win95", "windows") else 1 + len(SAVED)
        end = None
        while end is None or time.monotonic() < end:
            seen = program_windows()
            now = time.monotonic()
            picture = root_picture()
            for w, box in seen.items():
                if w not in mapped:
                    mapped[w] = unpainted[w] = now
                if painted(picture, box, area):
                    unpainted[w] = None
                else:
                    unpainted[w] = unpainted[w] or now
                    longest[w] = max(longest.get(w, 0), now - unpainted[w])
            # Watched until the whole layout is surely back: on this slow
            # machine that takes seconds.
            if end is None and len(mapped) >= expected:
                end = now + WATCHED
            if end is None and mapped and now - min(mapped.values()) > 60:
                break
        check(len(mapped) >= expected, "%s: %d windows mapped of %d" % (look, len(mapped), expected))
        for w in mapped:
            name = run("xdotool", "getwindowname", w).strip() or w
            print("%s: %s unpainted at most %.2f s" % (look, name, longest.get(w, 0)), flush=True)
            check(unpainted[w] is None, "%s: %s unpainted at the end" % (look, name))
            check(longest.get(w, 0) <= LIMIT,
                  "%s: %s unpainted for %.1f s after its mapping" % (look, name, longest.get(w, 0)))
    finally:
        if slower:
            slower.terminate()
            slower.wait()
        proc.kill()
        proc.wait()


sys.exit(run_case(lambda home: case(home, CASE), ("xdotool", "xwininfo", "xwd", "xwdtopnm", "xdpyinfo")))
