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
  front     in every look the windows a macro opens leave the title bars
            of those opened before them in sight, the newest in front, and
            stay so once the main window is clicked and its menus used

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

from x11_desktop import Box, check, failures, frame, geometry, poll, run, screen, stacked

SIM, VRTOOL, CASE = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
LOOKS = ("motif", "openlook", "cua")
DOCUMENT_AREA_LOOKS = ("win95", "windows")


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


def covering(window):
    """The title of the window found at the top left of the window's frame, for a failure's message."""
    box = frame(window)
    if box is None:
        return "nothing: the window has no frame"
    run("xdotool", "mousemove", str(box.x + 8), str(box.y + 8))
    under = re.search(r"WINDOW=(\d+)", run("xdotool", "getmouselocation", "--shell"))
    if under is None:
        return "no window"
    top = top_level(int(under.group(1)))
    for t, w in windows().items():
        if top_level(int(w)) == top:
            return repr(t)
    return "window %d of another program" % top


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


def start(home, look, macro, *options):
    with open(os.path.join(home, "start.cmd"), "w") as f:
        f.write(macro)
    env = dict(os.environ, HOME=home, LAF=look)
    return subprocess.Popen([SIM, "--gui"] + list(options) + ["start.cmd"], cwd=home, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


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
        if not poll(lambda: seen(w), 8):
            check(False, "%s: %s at %s cannot be seen: %s covers it" % (look, t, frame(w), covering(w)))


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


def use_main_window(main, others):
    """Clicks the main window where no other window lies, then opens its File
    menu from the keyboard and closes it again."""
    own = geometry(main)
    boxes = [frame(w) for w in others]
    spot = next(((x, y) for y in range(own.y + own.h - 10, own.y + 40, -20)
                 for x in range(own.x + own.w - 10, own.x + 10, -20)
                 if not any(b and b.holds(x, y) for b in boxes)), None)
    if check(spot, "no spot of the main window %s lies clear of the others" % own):
        run("xdotool", "mousemove", str(spot[0]), str(spot[1]), "click", "1")
    run("xdotool", "windowactivate", "--sync", main)
    run("xdotool", "key", "--delay", "300", "alt+f", "Escape", "Escape")
    time.sleep(1.5)


def in_sight_and_in_front(look, found, opened, when):
    """Each window of `opened` (oldest first) is seen at its title bar, the
    newest on top of the program's windows and every one above the main window."""
    for t in opened:
        w = found.get(t)
        if not (w and poll(lambda: seen(w), 5)):
            check(False, "%s, %s: %s at %s cannot be seen: %s covers it" % (look, when, t, w and frame(w),
                                                                           w and covering(w)))
    ours = set(found.values())
    order = stacked(ours)
    check(order and order[-1] == found.get(opened[-1]),
          "%s, %s: %s is not in front: %s" % (look, when, opened[-1], order))
    main = main_of(found)
    below = [t for t in opened if found.get(t) in order and main in order and
             order.index(found[t]) < order.index(main)]
    check(not below, "%s, %s: %s under the main window" % (look, when, below))


def saved_rects(home):
    """The windows of the layout saved at quit, oldest first: (kind, own area
    counted from the document area's bottom left)."""
    text = run(VRTOOL, "dump", os.path.join(home, "vwexusr1.vr"))
    found = []
    for entry in re.findall(r"\{([^{}]*WinType[^{}]*)\}", text):
        rect = re.search(r"Rect = array integer \[ (-?\d+) (-?\d+) (\d+) (\d+) \]", entry)
        kind = re.search(r"WinType = integer (\d+)", entry)
        if rect and kind:
            x, y, w, h = (int(v) for v in rect.groups())
            found.append((int(kind.group(1)), Box(x, y, w, h)))
    return found


def case_front(home):
    macro = "wregister\nwmemory x $80\n"
    for look in LOOKS:
        h = tempfile.mkdtemp(dir=home)
        p = start(h, look, macro)
        try:
            opened = ["Dv00 Register Win1 core", "Dv00 Memory Win1 x"]
            found = settled(opened + ["Command", "Dv00 Session"])
            in_sight_and_in_front(look, found, opened, "opened")
            main = main_of(found)
            if check(main, look + ": no main window"):
                use_main_window(main, [w for t, w in found.items() if w != main])
                in_sight_and_in_front(look, found, opened, "after a use of the main window")
        finally:
            p.kill()
            p.wait()
    # Inside the document area: the layout saved at quit tells where each
    # window was (Session, Command, then those the macro opened).
    for look in DOCUMENT_AREA_LOOKS:
        h = tempfile.mkdtemp(dir=home)
        store = os.path.join(h, "store.txt")
        with open(store, "w") as f:
            f.write("ApplicationPreferences = dictionary { sim73500 = dictionary { SavePos = integer 1 } }\n")
        subprocess.run([VRTOOL, "build", store, os.path.join(h, "vwexusr1.vr")], check=True)
        transcript = os.path.join(h, "transcript")
        p = start(h, look, macro + "wasm\n", "--transcript", transcript)
        try:
            ran = poll(lambda: os.path.exists(transcript) and "wasm" in open(transcript, errors="replace").read(), 30)
            main = poll(lambda: main_of(settled(["Sim73500"], 10)), 10)
            if not check(ran and main, look + ": the macro did not run"):
                continue
            time.sleep(2)
            use_main_window(main, [])
            run("xdotool", "windowactivate", "--sync", main)
            run("xdotool", "key", "alt+F4")
            time.sleep(1.5)
            run("xdotool", "key", "Return")
            check(poll(lambda: p.poll() is not None, 15), look + ": Alt+F4 and Return did not end the program")
            rects = saved_rects(h)
            check(len(rects) == 5, "%s: the saved layout holds %s" % (look, rects))
            for j, (kind, b) in enumerate(rects):
                # The later frame, at least its own area and the border around it.
                grown = Box(b.x - 4, b.y - 4, b.w + 8, b.h + 8)
                for earlier, a in rects[:j]:
                    # The title bar's icon and the first words of its title.
                    title = Box(a.x + 4, a.y + a.h + 4, min(120, a.w - 8), 1)
                    check(not grown.meets(title),
                          "%s: window %d at %s covers the title bar of window %d at %s" % (look, kind, b, earlier, a))
        finally:
            if p.poll() is None:
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
