#!/usr/bin/env python3
"""The menu bar of sim73500 --gui driven from the keyboard and the pointer
through the X server (run by x11_smoke.sh, with or without --wm, which sets
DISPLAY). Each case starts the real program with a HOME of its own:

  keys LOOK  (any look) with the keyboard in the Command window:
             F10 highlights the first title (Open Look drops its menu) and
             a second F10 leaves keyboard mode, and so does Alt alone twice;
             Left from the first title goes to the last and Down opens its
             menu; Escape with a menu open closes it and keeps keyboard mode
             (Open Look leaves it at once), a second Escape leaves it;
             Alt+D then Escape twice leaves it too. Out of keyboard mode
             Down opens nothing.
  leave LOOK (any look) keyboard mode left by turning to another window:
             Alt+F then Escape (the title stays highlighted), and F10, each
             followed by a click into the Command entry, `evaluate ...` typed
             there and Return: the command runs and no menu opens; then, in
             the main window, Alt+F, Escape and Alt+F4 put up the quit
             notice, and Return there ends the program.
  elsewhere LOOK (any look) keyboard mode (F10, Open Look's F10 and Escape)
             ended by a click where the keyboard is not, the click then
             doing its work: the palette's Step steps; a click into a
             Memory window's address entry takes the keyboard there (`$90`
             and Return are no command); a click into the Command entry,
             on the Command window's title bar (under a window manager or
             in a document area) and on the empty document area each let
             `evaluate ...` and Return run there, and no menu opens.
  tall       the Display menu clicked on screens of 768, 330 and 300 rows
             (servers of its own): whole where it fits the screen, with a
             lower arrow that scrolls under the pointer where it does not;
             the click never runs an item.

usage: gui_menus.py SIM73500 CASE [LOOK]
Exits 0 when all holds, 77 (skipped) without xdotool, xwininfo, xwd or xprop.
"""
import io
import os
import subprocess
import sys
import tempfile
import time

from x11_desktop import Box, check, frame, geometry, poll, run, run_case, xdotool

SIM, CASE = os.path.abspath(sys.argv[1]), sys.argv[2]
LOOK = sys.argv[3] if len(sys.argv) > 3 else "win95"


def windows(name=None):
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        if (name is None or run("xdotool", "getwindowname", w).strip() == name) and geometry(w):
            found.append(w)
    return found


def popups():
    """The program's open pop-up menus (override-redirect windows), as
    (window, box)."""
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        if "Override Redirect State: yes" in run("xwininfo", "-id", w):
            g = geometry(w)
            if g:
                found.append((w, g))
    return found


def one_popup(seconds=10):
    """The one open pop-up's box once it shows, else None."""
    p = poll(lambda: popups() if len(popups()) == 1 else None, seconds)
    return p[0][1] if p else None


def closed():
    """True once no pop-up shows; a pop-up that should not open gets the
    time to show itself first."""
    time.sleep(0.6)
    return not popups()


def pixels(window):
    from PIL import Image  # Debian's python3-pil
    xwd = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True).stdout
    png = subprocess.run(["sh", "-c", "xwdtopnm 2>/dev/null | pnmtopng"], input=xwd, capture_output=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGB").tobytes()


class Session:
    def __init__(self, home, look):
        env = dict(os.environ, HOME=home, LAF=look)
        self.transcript = os.path.join(home, "transcript")
        self.errors = os.path.join(home, "errors")
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen([SIM, "--gui", "--transcript", self.transcript], cwd=home, env=env,
                                         stdout=subprocess.DEVNULL, stderr=errors)
        # The About box shown at start closes by itself before the main
        # window shows; the keyboard is then in the Command window.
        self.main = poll(self.only_main, 40)
        time.sleep(1)

    def only_main(self):
        """The main window once it is the program's one window so titled
        (the About box shares the title)."""
        titled = windows("Sim73500")
        return titled[0] if len(titled) == 1 and (geometry(titled[0]) or Box(0, 0, 0, 0)).w >= 600 else None

    def text(self):
        return open(self.transcript, errors="replace").read() if os.path.exists(self.transcript) else ""

    def keys(self, *keys):
        for k in keys:
            xdotool("key", k)
            time.sleep(0.15)

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def case_keys(home):
    s = Session(home, LOOK)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        # Where the last title's menu opens: Alt+H, the Help menu.
        s.keys("alt+h")
        help_menu = one_popup()
        if not check(help_menu, LOOK + ": Alt+H opened no menu"):
            return
        s.keys("Escape", "Escape")
        check(closed(), LOOK + ": Escape left the Help menu open")
        for key in ("F10", "alt"):
            s.keys(key, key, "Down")
            check(closed(), "%s: %s twice did not leave keyboard mode (Down opened a menu)" % (LOOK, key))
            s.keys("Escape", "Escape")
        s.keys("F10", "Left", "Down")
        opened = one_popup()
        check(opened and opened.x == help_menu.x,
              "%s: F10 Left Down opened %s, not the last title's menu at %s" % (LOOK, opened, help_menu))
        s.keys("Escape")
        check(closed(), LOOK + ": Escape did not close the menu")
        s.keys("Down")
        if LOOK == "openlook":
            check(closed(), LOOK + ": Escape closing a menu kept keyboard mode (Down opened a menu)")
        else:
            check(one_popup(), LOOK + ": the first Escape left keyboard mode (Down opened nothing)")
            s.keys("Escape", "Escape", "Down")
            check(closed(), LOOK + ": a second Escape did not leave keyboard mode")
        s.keys("alt+d")
        check(one_popup(), LOOK + ": Alt+D opened no menu")
        s.keys("Escape", "Escape", "Down")
        check(closed(), LOOK + ": Alt+D then Escape twice did not leave keyboard mode")
        check("display" not in s.text().split("\n"), LOOK + ": a key ran a menu item:\n" + s.text())
    finally:
        s.end()


TITLE = (0, 0, 128)  # the active document window's title bar in the looks with a document area


def image(window):
    from PIL import Image  # Debian's python3-pil
    xwd = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True).stdout
    png = subprocess.run(["sh", "-c", "xwdtopnm 2>/dev/null | pnmtopng"], input=xwd, capture_output=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGB") if png else None


def command_entry(s):
    """A point on the screen inside the Command window's entry, or None:
    in the looks with a document area the Command window is the active
    document, its entry under its title bar; elsewhere it is a window of
    its own, the entry along its top."""
    if LOOK in ("win95", "windows"):
        main, im = geometry(s.main), image(s.main)
        if not main or not im:
            return None
        px = im.load()
        rows = []
        for y in range(im.height):
            xs = [x for x in range(im.width) if px[x, y] == TITLE]
            if len(xs) > 200:
                rows.append((y, min(xs), max(xs)))
        if not rows:
            return None
        y, left, right = rows[-1]
        return main.x + (left + right) // 2, main.y + y + 18
    found = windows("Command")
    box = geometry(found[0]) if found else None
    return (box.x + box.w // 2, box.y + 12) if box else None


def window_manager():
    return "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")


def case_leave(home):
    s = Session(home, LOOK)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        entry = poll(lambda: command_entry(s), 10)
        if not check(entry, LOOK + ": the Command window's entry was not found"):
            return
        f10 = ("F10", "Escape") if LOOK == "openlook" else ("F10",)  # Open Look's F10 drops a menu
        for keys, value, shown in ((("alt+f", "Escape"), 1, "Hex:002b"), (f10, 2, "Hex:002c")):
            what = "%s: %s, a click into the Command entry" % (LOOK, " ".join(keys))
            s.keys(*keys)
            check(closed(), what + ": a menu stayed open")
            xdotool("mousemove", str(entry[0]), str(entry[1]), "click", "1")
            time.sleep(0.3)
            xdotool("type", "--delay", "30", "evaluate $2a+%d" % value)
            xdotool("key", "Return")
            check(poll(lambda: shown in s.text(), 10),
                  "%s, `evaluate $2a+%d` and Return: the command did not run:\n%s" % (what, value, s.text()))
            check(closed(), what + " and Return: a menu opened")
        # Keyboard mode in the main window, then its quit notice.
        if window_manager():
            xdotool("windowactivate", "--sync", s.main)
        else:
            xdotool("windowfocus", "--sync", s.main)
        poll(lambda: run("xdotool", "getwindowfocus").strip() == s.main, 10)
        s.keys("alt+f", "Escape")
        check(closed(), LOOK + ": Escape left the File menu open")
        xdotool("key", "alt+F4")
        notice = poll(lambda: [w for w in windows("Sim73500") if w != s.main], 10)
        if not check(notice, LOOK + ": Alt+F4 showed no quit notice"):
            return
        check(poll(lambda: run("xdotool", "getwindowfocus").strip() == notice[0], 10),
              LOOK + ": the quit notice does not have the keyboard")
        xdotool("key", "Return")
        try:
            status = s.proc.wait(10)
        except subprocess.TimeoutExpired:
            status = None
        check(status == 0, "%s: Return at the quit notice after Alt+F, Escape and Alt+F4 did not end the program "
              "(status %s; a menu %s)" % (LOOK, status, "is open" if popups() else "is not open"))
    finally:
        s.end()


GO, STOP = (0, 160, 0), (208, 32, 32)  # the palette's first two icons


def palette_step(s):
    """The palette's Step button on the screen (the third, one step on
    from Stop as Stop is from Go), or None."""
    main, im = geometry(s.main), image(s.main)
    if not main or not im:
        return None
    px = im.load()
    spots = {GO: [], STOP: []}
    for y in range(min(im.height, 120)):
        for x in range(min(im.width, 400)):
            if px[x, y] in spots:
                spots[px[x, y]].append((x, y))
    if not spots[GO] or not spots[STOP]:
        return None
    centre = {c: (sum(p[0] for p in v) / len(v), sum(p[1] for p in v) / len(v)) for c, v in spots.items()}
    return (main.x + int(2 * centre[STOP][0] - centre[GO][0]), main.y + int(centre[STOP][1]))


def memory_entry(s):
    """A point inside the Memory window's address entry on the screen, or
    None: in a document area the entry is the white field of some 190
    pixels along the window's top; elsewhere the window is one of its own."""
    if LOOK not in ("win95", "windows"):
        found = [w for w in windows() if "Memory" in run("xdotool", "getwindowname", w)]
        box = geometry(found[0]) if found else None
        return (box.x + 60, box.y + 12) if box else None
    main, im = geometry(s.main), image(s.main)
    if not main or not im:
        return None
    px = im.load()
    for y in range(im.height):
        x = 0
        while x < im.width:
            if px[x, y] != (255, 255, 255):
                x += 1
                continue
            start = x
            while x < im.width and px[x, y] == (255, 255, 255):
                x += 1
            if 150 <= x - start <= 260 and y + 6 < im.height and px[start + 20, y + 6] == (255, 255, 255):
                return main.x + start + 40, main.y + y + 8
    return None


def case_elsewhere(home):
    s = Session(home, LOOK)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        entry = poll(lambda: command_entry(s), 10)
        if not check(entry, LOOK + ": the Command window's entry was not found"):
            return
        document_area = LOOK in ("win95", "windows")
        if document_area:
            title = (entry[0], entry[1] - 25)
        elif window_manager():
            box = frame(windows("Command")[0])
            title = (box.x + box.w // 3, box.y + 6) if box else None
        else:
            title = None  # no title bars without a window manager
        xdotool("type", "--delay", "30", "wmemory x $80")
        xdotool("key", "Return")
        memory = poll(lambda: memory_entry(s), 10)
        step = palette_step(s)
        if not check(memory and step, "%s: Memory entry %s, palette's Step %s" % (LOOK, memory, step)):
            return
        main = geometry(s.main)
        grey = (main.x + main.w - 20, main.y + main.h * 2 // 5) if document_area else None
        f10 = ("F10", "Escape") if LOOK == "openlook" else ("F10",)

        def click(where, point):
            s.keys(*f10)
            check(closed(), "%s: F10 and a click on %s: a menu stayed open" % (LOOK, where))
            xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")
            time.sleep(0.4)

        def evaluate(where, value):
            xdotool("type", "--delay", "30", "evaluate $2a+%d" % value)
            xdotool("key", "Return")
            shown = "Hex:%04x" % (0x2a + value)
            check(poll(lambda: shown in s.text(), 10), "%s: F10, a click on %s, `evaluate $2a+%d` and Return: the "
                  "command did not run:\n%s" % (LOOK, where, value, s.text()))
            check(closed(), "%s: F10, a click on %s and Return: a menu opened" % (LOOK, where))

        def into_memory():
            click("the Memory entry", memory)
            before = s.text()
            xdotool("type", "--delay", "30", "$90")
            xdotool("key", "Return")
            check(closed(), LOOK + ": F10, a click into the Memory entry and Return: a menu opened")
            # The Memory window's edit shows as its own `change` line; the
            # fault is `$90` run as a line of its own.
            time.sleep(1)
            check("$90" not in s.text()[len(before):].splitlines(),
                  LOOK + ": F10, a click into the Memory entry: `$90` ran as a command:\n" + s.text())

        steps = s.text().count("\nstep")
        click("the palette's Step", step)
        check(poll(lambda: s.text().count("\nstep") > steps, 10), LOOK + ": F10 and a click on Step: no step ran")
        into_memory()
        click("the Command entry", entry)
        evaluate("the Command entry", 1)
        if title:
            into_memory()
            click("the Command window's title bar", title)
            evaluate("the Command window's title bar", 2)
        if grey:
            click("the empty document area", grey)
            evaluate("the empty document area", 3)
    finally:
        s.end()


def server(rows):
    """A virtual X server of `rows` rows of its own: (process, display).
    A server that lost its display number to another one started at the
    same moment ends at once: another is started. It does not reset when
    its last client leaves (the readiness check does), so no later client
    is refused."""
    for _ in range(10):
        r, w = os.pipe()
        p = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-noreset", "-screen", "0", "800x%dx24" % rows, "-nolisten", "tcp"],
                             pass_fds=(w,), stderr=subprocess.DEVNULL)
        os.close(w)
        # The server writes the number, then a newline: closing the pipe
        # before the newline arrives kills it.
        got = b""
        while not got.endswith(b"\n"):
            part = os.read(r, 64)
            if not part:
                break
            got += part
        os.close(r)
        number = got.decode().strip()
        display = ":" + number
        time.sleep(0.3)
        if number and p.poll() is None and subprocess.run(["xdpyinfo", "-display", display],
                                                          capture_output=True).returncode == 0:
            return p, display
        p.kill()
        p.wait()
    raise RuntimeError("no X server of %d rows started" % rows)


def case_tall(home):
    outer = os.environ.get("DISPLAY")
    natural = None   # the Display menu's height where it fits
    title = None     # the Display title's centre, from the main window's corner
    # Each server lives to the end: one ended while the next starts could
    # hand its display number on while its socket is still going away.
    servers = []
    try:
        for rows in (768, 330, 300):
            x, display = server(rows)
            servers.append(x)
            os.environ["DISPLAY"] = display
            s = Session(tempfile.mkdtemp(dir=home), LOOK)
            try:
                if not check(s.main, "%d rows: no main window on %s (the program %s): %s" %
                             (rows, display, "ended" if s.proc.poll() is not None else "runs",
                              open(s.errors, errors="replace").read())):
                    continue
                main = poll(lambda: geometry(s.main), 10)
                if not check(main, "%d rows: the main window went away" % rows):
                    continue
                if title is None:
                    # Alt+D opens the menu under its title: its corner gives the title's place.
                    s.keys("alt+d")
                    m = one_popup()
                    if not check(m, "Alt+D opened no menu"):
                        return
                    natural = m.h
                    title = (m.x + 12 - main.x, m.y - 8 - main.y)
                    s.keys("Escape", "Escape")
                    closed()
                before = s.text()
                point = (main.x + title[0], main.y + title[1])
                xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")
                m = one_popup()
                if not check(m, "%d rows: the click at %s on Display (main window %s) opened no menu" % (rows, point, main)):
                    continue
                screen = Box(0, 0, 800, rows)
                check(m.inside(screen), "%d rows: the menu %s opened by a click at %s (main window %s) is not wholly on "
                      "the screen" % (rows, m, point, main))
                if natural <= rows:
                    check(m.h == natural, "%d rows: the menu is %d rows high, not its whole %d" % (rows, m.h, natural))
                else:
                    check(m.h < natural and not m.holds(*point),
                          "%d rows: the menu %s does not stay clear of its title at %s" % (rows, m, point))
                    w = popups()[0][0]
                    shown = pixels(w)
                    xdotool("mousemove", str(m.x + m.w // 2), str(m.y + m.h - 5))
                    check(poll(lambda: pixels(w) != shown, 5), "%d rows: the lower arrow did not scroll" % rows)
                xdotool("key", "Escape")
                xdotool("key", "Escape")
                closed()
                check(s.text() == before, "%d rows: the click ran an item:\n%s" % (rows, s.text()[len(before):]))
            finally:
                s.end()
    finally:
        for x in servers:
            x.kill()
            x.wait()
        if outer:
            os.environ["DISPLAY"] = outer


sys.exit(run_case(globals()["case_" + CASE], ("xdotool", "xwininfo", "xdpyinfo", "xwd", "xwdtopnm", "Xvfb", "xprop")))
