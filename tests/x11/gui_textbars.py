#!/usr/bin/env python3
"""A List window's scroll bar follows its text, as a user sees it under X11
(run by x11_smoke.sh --wm, which sets DISPLAY). sim73500 --gui opens a
300-line file with `wlist`; the List window's vertical thumb is found in the
pixels of the main window (the Win95 look: a solid thumb in a checkered
trough, under the active window's title bar) and must move

  - after five Page Downs, down by more than a quarter of the trough;
  - after a click in the trough below it, down again;

each time without anything else drawing the window again.

usage: gui_textbars.py SIM73500
Exits 0 when all holds, 77 (skipped) without xdotool, xwininfo or xwd.
"""
import io
import os
import subprocess
import sys
import time

from x11_desktop import check, geometry, poll, run, run_case, xdotool

SIM = os.path.abspath(sys.argv[1])
TITLE = (0, 0, 128)  # the active document window's title bar
GREY = (192, 192, 192)


def image(window):
    from PIL import Image  # Debian's python3-pil
    xwd = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True).stdout
    png = subprocess.run(["sh", "-c", "xwdtopnm 2>/dev/null | pnmtopng"], input=xwd, capture_output=True).stdout
    if not png:
        return None
    return Image.open(io.BytesIO(png)).convert("RGB")


def settled(window, seconds=20.0):
    """The window's picture once two shots 0.3 s apart agree."""
    last = [None]

    def same():
        time.sleep(0.3)
        now = image(window)
        agreed = now is not None and last[0] is not None and now.tobytes() == last[0].tobytes()
        last[0] = now
        return agreed
    poll(same, seconds)
    return last[0]


def list_window(im):
    """The active document window's left, right and first row below its title bar."""
    px = im.load()
    rows = []
    for y in range(im.height):
        xs = [x for x in range(im.width) if px[x, y] == TITLE]
        if len(xs) > 200:
            rows.append((y, min(xs), max(xs)))
    if not rows:
        return None
    return rows[0][1], rows[0][2], rows[-1][0] + 1


def checkered(px, x, y):
    return px[x, y] != px[x + 1, y] and px[x, y] == px[x + 2, y] and px[x, y] != px[x, y + 1]


def vertical_bar(im, frame):
    """The column through the middle of the vertical bar and its rows: the
    checkered trough found along a row under the title, from the right."""
    left, right, top = frame
    px = im.load()
    y = top + 200
    x = right
    while x > left and not checkered(px, x, y):
        x -= 1
    end = x
    while x > left and checkered(px, x - 1, y):
        x -= 1
    if end - x < 6:
        return None
    column = (x + end + 1) // 2
    bottom = y
    while bottom < im.height - 2 and px[column, bottom + 1] != (0, 0, 0) and px[column, bottom + 1] != TITLE:
        bottom += 1
    return column, top, bottom


def thumb(im, bar):
    """The first and last row of the longest solid grey run in the bar's
    column (the thumb; the arrows' boxes are broken by their glyphs)."""
    column, top, bottom = bar
    px = im.load()
    best, start = (0, 0), None
    for y in range(top, bottom + 1):
        solid = px[column, y] == GREY and px[column, y + 1] == GREY
        if solid and start is None:
            start = y
        if not solid and start is not None:
            if y - start > best[1] - best[0]:
                best = (start, y)
            start = None
    return best if best[1] - best[0] >= 8 else None


def main_window():
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        g = geometry(w)
        if g and g.w >= 600 and run("xdotool", "getwindowname", w).strip() == "Sim73500":
            return w
    return None


def case(home):
    listing = os.path.join(home, "list.txt")
    with open(listing, "w") as f:
        f.writelines("line %03d of the listing text\n" % n for n in range(1, 301))
    macro = os.path.join(home, "open.cmd")
    with open(macro, "w") as f:
        f.write("wlist %s\n" % listing)
    transcript = os.path.join(home, "transcript")
    proc = subprocess.Popen([SIM, "--gui", "--transcript", transcript, macro], cwd=home,
                            env=dict(os.environ, HOME=home), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        main = poll(main_window, 30)
        if not check(main, "no main window"):
            return
        # The macro's wlist runs once the About box shown at start has
        # closed; the List window then has the keyboard.
        def listed():
            return os.path.exists(transcript) and "wlist" in open(transcript, errors="replace").read()
        check(poll(listed, 30), "the wlist of the macro did not run")
        start = settled(main)
        frame = list_window(start)
        if not check(frame, "no List window"):
            return
        bar = vertical_bar(start, frame)
        if not check(bar, "no vertical bar in the List window"):
            return
        before = thumb(start, bar)
        if not check(before, "no thumb in the List window's vertical bar"):
            return
        trough = bar[2] - bar[1]
        xdotool("key", "--delay", "100", "Next", "Next", "Next", "Next", "Next")
        paged = thumb(settled(main), bar)
        check(paged and paged[0] - before[0] > trough // 4,
              "five Page Downs left the thumb at %s (it was at %s)" % (paged, before))
        if not paged:
            return
        g = geometry(main)
        xdotool("mousemove", str(g.x + bar[0]), str(g.y + paged[1] + 20))
        xdotool("click", "1")
        clicked = thumb(settled(main), bar)
        print("thumb rows: at start %s, after five Page Downs %s, after a click in the trough %s" %
              (before, paged, clicked))
        check(clicked and clicked[0] > paged[0],
              "a click in the trough left the thumb at %s (it was at %s)" % (clicked, paged))
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


sys.exit(run_case(case, ("xdotool", "xwininfo", "xwd", "xwdtopnm")))
