#!/usr/bin/env python3
"""Where sim73500 --gui puts its windows in the looks whose simulator windows
are windows of their own on the screen (Motif, Open Look, CUA), under a
window manager (run by x11_smoke.sh --wm, which sets DISPLAY):

  opened    the windows a macro's window commands open one after another:
            each frame wholly on the screen, none hiding the one opened
            before it, none behind the main window
  restored  a layout saved in the Win95 look (places inside its document
            area) brought back: every window can be seen
  tiled     Window > Tile (Motif) moves the open windows apart, onto the
            screen and into sight

usage: gui_placement.py SIM73500 VRTOOL CASE
Exits 0 when all holds, 77 (skipped) without xdotool or xwininfo.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from x11_desktop import check, failures, frame, poll, run, screen

SIM, VRTOOL, CASE = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
LOOKS = ("motif", "openlook", "cua")


def windows():
    """The program's mapped top-level windows by title."""
    found = {}
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        title = run("xdotool", "getwindowname", w).strip()
        if title and frame(w):
            found.setdefault(title, w)
    return found


def seen(window):
    """Whether the pointer put just inside the top left of the window's frame (its title bar) finds that window."""
    box = frame(window)
    if box is None:
        return False
    run("xdotool", "mousemove", str(box.x + 8), str(box.y + 8))
    under = re.search(r"WINDOW=(\d+)", run("xdotool", "getmouselocation", "--shell"))
    # The pointer finds some part of the frame the window manager put around the window.
    return under is not None and top_level(int(under.group(1))) == top_level(int(window))


def top_level(w):
    """The child of the root window that holds window `w`."""
    for _ in range(10):
        tree = run("xwininfo", "-tree", "-id", str(w))
        root = re.search(r"Root window id: (0x[0-9a-f]+)", tree)
        parent = re.search(r"Parent window id: (0x[0-9a-f]+)", tree)
        if not root or not parent or parent.group(1) == root.group(1):
            return w
        w = int(parent.group(1), 16)
    return w


def start(home, look, macro):
    with open(os.path.join(home, "start.cmd"), "w") as f:
        f.write(macro)
    env = dict(os.environ, HOME=home, LAF=look)
    return subprocess.Popen([SIM, "--gui", "start.cmd"], cwd=home, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def settled(titles, seconds=40):
    """The program's windows once every title is mapped and nothing moved for a second."""
    last = None
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        now = windows()
        places = {t: repr(frame(w)) for t, w in now.items()}
        if all(t in now for t in titles) and places == last:
            return now
        last = places
        time.sleep(0.5)
    return windows()


def main_of(found):
    """The main window: titled "Sim73500", the widest of that title."""
    return found.get("Sim73500")


def on_screen_and_seen(look, found, titles):
    area = screen()
    for t in titles:
        w = found.get(t)
        if not check(w, "%s: no %s window among %s" % (look, t, sorted(found))):
            continue
        f = frame(w)
        check(f and f.inside(area), "%s: %s's frame %s is not wholly on the screen %s" % (look, t, f, area))
        check(poll(lambda: seen(w), 8), "%s: %s at %s cannot be seen" % (look, t, frame(w)))


OPENED = ["Dv00 Register Win1 core", "Dv00 Memory Win1 x", "Dv00 Assembly", "Dv00 Stack", "Dv00 Calls",
          "Dv00 Breakpoints"]


def case_opened(home):
    for look in LOOKS:
        h = tempfile.mkdtemp(dir=home)
        p = start(h, look, "wregister\nwmemory x $80\nwasm\nwstack\nwcalls\nwbreakpoint\n")
        try:
            found = settled(OPENED + ["Command", "Dv00 Session"])
            on_screen_and_seen(look, found, OPENED + ["Command", "Dv00 Session"])
            # Each window leaves the top left of the one opened before it
            # (its title bar's start) uncovered.
            for before, after in zip(OPENED, OPENED[1:]):
                a, b = found.get(before), found.get(after)
                if a and b:
                    fa, fb = frame(a), frame(b)
                    check(not fb.holds(fa.x + 4, fa.y + 4),
                          "%s: %s at %s covers the corner of %s at %s" % (look, after, fb, before, fa))
        finally:
            p.kill()
            p.wait()


def saved_store(home):
    """A user store as the Win95 look saves it: places counted in its
    document area, which in the other looks lie under the main window."""
    text = """ApplicationPreferences = dictionary { sim73500 = dictionary {
SavePos = integer 1
MainWin = dictionary { Rect = array integer [ 140 60 1000 900 ] }
WinPos = array dictionary [
  { Rect = array integer [ 200 100 600 200 ] WinType = integer 3 WinNum = integer 0 DevNum = integer -1 }
  { Rect = array integer [ 200 350 600 300 ] WinType = integer 13 WinNum = integer 0 DevNum = integer 0 }
  { Rect = array integer [ 500 300 300 300 ] WinType = integer 11 WinNum = integer 1 DevNum = integer 0
    PeriphNum = integer 0 }
]
} }
"""
    path = os.path.join(home, "store.txt")
    with open(path, "w") as f:
        f.write(text)
    subprocess.run([VRTOOL, "build", path, os.path.join(home, "vwexusr1.vr")], check=True)


def case_restored(home):
    for look in LOOKS:
        h = tempfile.mkdtemp(dir=home)
        saved_store(h)
        p = start(h, look, "")
        try:
            titles = ["Command", "Dv00 Session", "Dv00 Register Win1 core"]
            on_screen_and_seen(look, settled(titles), titles)
        finally:
            p.kill()
            p.wait()


def case_tiled(home):
    h = tempfile.mkdtemp(dir=home)
    p = start(h, "motif", "wregister\nwmemory x $80\nwasm\n")
    try:
        titles = ["Command", "Dv00 Session", "Dv00 Register Win1 core", "Dv00 Memory Win1 x", "Dv00 Assembly"]
        found = settled(titles)
        before = {t: repr(frame(w)) for t, w in found.items()}
        main = main_of(found)
        if not check(main, "no main window"):
            return
        run("xdotool", "windowactivate", "--sync", main)
        run("xdotool", "key", "--delay", "300", "alt+w", "t")
        found = settled(titles, 10)
        after = {t: repr(frame(w)) for t, w in found.items()}
        check(before != after, "Window > Tile moved nothing: %s" % after)
        on_screen_and_seen("motif", found, titles)
        boxes = [frame(found[t]) for t in titles if t in found]
        for i, a in enumerate(boxes):
            for b in boxes[i + 1:]:
                check(not b.holds(a.x + 4, a.y + 4) and not a.holds(b.x + 4, b.y + 4),
                      "tiled windows %s and %s overlap" % (a, b))
    finally:
        p.kill()
        p.wait()


def main():
    for tool in ("xdotool", "xwininfo", "xprop", "xdpyinfo"):
        if not shutil.which(tool):
            print("skipped:", tool, "is not installed")
            return 77
    home = tempfile.mkdtemp()
    try:
        globals()["case_" + CASE](home)
    finally:
        shutil.rmtree(home, ignore_errors=True)
    return 1 if failures else 0


sys.exit(main())
