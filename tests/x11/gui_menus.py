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
  tall       the Display menu clicked on screens of 768, 330 and 300 rows
             (servers of its own): whole where it fits the screen, with a
             lower arrow that scrolls under the pointer where it does not;
             the click never runs an item.

usage: gui_menus.py SIM73500 CASE [LOOK]
Exits 0 when all holds, 77 (skipped) without xdotool, xwininfo or xwd.
"""
import io
import os
import subprocess
import sys
import tempfile
import time

from x11_desktop import Box, check, geometry, poll, run, run_case, xdotool

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


def server(rows):
    """A virtual X server of `rows` rows of its own: (process, display).
    A server that lost its display number to another one started at the
    same moment ends at once: another is started."""
    for _ in range(10):
        r, w = os.pipe()
        p = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "800x%dx24" % rows, "-nolisten", "tcp"],
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


sys.exit(run_case(globals()["case_" + CASE], ("xdotool", "xwininfo", "xdpyinfo", "xwd", "xwdtopnm", "Xvfb")))
