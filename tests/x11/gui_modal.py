#!/usr/bin/env python3
"""The modal windows of sim73500 --gui in one look, through the X server (run
by x11_smoke.sh, with or without --wm, which sets DISPLAY), the program
started with a HOME of its own:

  - `load s MISSING` and `log s EXISTING` typed in the Command window each
    raise a notice that is a dialog transient for the program (xprop), has
    the keyboard once shown, and goes at once at Return (the error) or
    Escape (the overwrite question);
  - the Execute Macro, Load State and Save State choosers are dialogs
    transient for the program; a click on the main window while Execute
    Macro is open leaves the chooser above it;
  - with a chooser open, the main window's close request puts up the quit
    notice with the keyboard on it; Return answers it, and the program ends
    once the chooser is closed.

With CASE `blocked`, the windows a modal window blocks, clicked and typed
into as a user would (under a window manager the click activates them):

  - with File > Load > State's chooser up, a click on the palette's Go
    button and into the Command entry, a command typed there and a click on
    the main window's File title do nothing: Escape (in Open Look, the window
    manager's close) then closes the chooser, and the File title and a
    command typed into the Command entry work once it has gone (no menu was open, no run was started,
    nothing typed reached the entry);
  - with the quit notice up, a command typed into the Command entry does
    not run, and Return answers the notice: the program ends.

usage: gui_modal.py SIM73500 LOOK [blocked]
Exits 0 when all holds, 77 (skipped) without xdotool, xprop, xwininfo or xwd.
"""
import ctypes
import io
import ctypes.util
import os
import re
import subprocess
import sys
import time

from x11_desktop import Box, check, frame, geometry, poll, run, run_case, stacked, xdotool

SIM, LOOK = os.path.abspath(sys.argv[1]), sys.argv[2]
CASE = sys.argv[3] if len(sys.argv) > 3 else "all"


def managed():
    return "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")


def windows():
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        if run("xdotool", "getwindowname", w).strip() and geometry(w):
            found.append(w)
    return found


def titled(name):
    return [w for w in windows() if run("xdotool", "getwindowname", w).strip() == name]


def focus():
    return run("xdotool", "getwindowfocus").strip()


def dialog_hints(window):
    text = run("xprop", "-id", window, "_NET_WM_WINDOW_TYPE", "WM_TRANSIENT_FOR")
    kind = re.search(r"_NET_WM_WINDOW_TYPE\(ATOM\) = (\S+)", text)
    owner = re.search(r"WM_TRANSIENT_FOR\(WINDOW\): window id # (0x[0-9a-f]+)", text)
    return kind.group(1) if kind else None, owner.group(1) if owner else None


def check_dialog(what, window):
    kind, owner = dialog_hints(window)
    check(kind == "_NET_WM_WINDOW_TYPE_DIALOG" and owner,
          "%s: %s is of type %s, transient for %s" % (LOOK, what, kind, owner))


def above(upper, lower):
    """Whether `upper` is stacked above `lower`: as the window manager
    tells, else as the server stacks the root's children."""
    if managed():
        order = stacked({upper, lower})
    else:
        ids = [str(int(v, 16)) for v in re.findall(r"^\s+(0x[0-9a-f]+)", run("xwininfo", "-root", "-children"), re.M)]
        # xwininfo lists the top first.
        order = [w for w in reversed(ids) if w in (upper, lower)]
    return len(order) == 2 and order[-1] == upper


class XLib:
    """A close request (WM_DELETE_WINDOW) sent as a window manager sends it."""

    def __init__(self):
        self.x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = (ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int)
        self.x.XSendEvent.argtypes = (ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p)
        self.x.XFlush.argtypes = (ctypes.c_void_p,)
        self.x.XCloseDisplay.argtypes = (ctypes.c_void_p,)

    def close_request(self, window):
        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("l", ctypes.c_long * 5), ("pad", ctypes.c_long * 24)]
        d = self.x.XOpenDisplay(None)
        e = ClientMessage()
        e.type = 33  # ClientMessage
        e.window = int(window)
        e.message_type = self.x.XInternAtom(d, b"WM_PROTOCOLS", 0)
        e.format = 32
        e.l[0] = self.x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(d, int(window), 0, 0, ctypes.byref(e))
        self.x.XFlush(d)
        self.x.XCloseDisplay(d)


class Session:
    def __init__(self, home):
        self.home = home
        env = dict(os.environ, HOME=home, LAF=LOOK)
        self.transcript = os.path.join(home, "transcript")
        self.errors = os.path.join(home, "errors")
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen([SIM, "--gui", "--transcript", self.transcript], cwd=home, env=env,
                                         stdout=subprocess.DEVNULL, stderr=errors)
        self.main = poll(self.only_main, 40)
        # The keyboard is in the Command window once it shows (a document
        # of the main window in the looks with a document area).
        # In the other looks it is a window of its own, which may show after
        # the main window.
        if LOOK in ("win95", "windows"):
            self.command = self.main
        else:
            self.command = poll(lambda: (titled("Command") or [None])[0], 40)
        poll(lambda: focus() == self.command, 20)

    def only_main(self):
        t = titled("Sim73500")
        return t[0] if len(t) == 1 and (geometry(t[0]) or Box(0, 0, 0, 0)).w >= 600 else None

    def text(self):
        return open(self.transcript, errors="replace").read() if os.path.exists(self.transcript) else ""

    def new_window(self, before, title=None):
        """The one window shown since `before` (of that title), once it shows."""
        def fresh():
            w = [v for v in windows() if v not in before and
                 (title is None or run("xdotool", "getwindowname", v).strip() == title)]
            return w[0] if len(w) == 1 else None
        return poll(fresh, 15)

    def wait(self, seconds):
        try:
            return self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def notices(s):
    open(os.path.join(s.home, "EXISTING"), "w").close()
    open(os.path.join(s.home, "EXISTING.log"), "w").close()
    # Open Look's notices have no Cancel for Escape: its Return appends.
    for line, key, told in (("load s MISSING", "Return", "Error reading file"),
                            ("log s EXISTING", "Return" if LOOK == "openlook" else "Escape", None)):
        check(poll(lambda: focus() == s.command, 10),
              "%s: the Command window %s does not have the keyboard (%s has)" % (LOOK, s.command, focus()))
        before = windows()
        xdotool("type", "--delay", "30", line)
        xdotool("key", "Return")
        notice = s.new_window(before)
        if not check(notice, "%s: `%s` raised no notice" % (LOOK, line)):
            continue
        check_dialog("the notice of `%s`" % line, notice)
        check(poll(lambda: focus() == notice, 10),
              "%s: the notice of `%s` does not have the keyboard (%s has)" % (LOOK, line, focus()))
        xdotool("key", key)
        if not check(poll(lambda: notice not in windows(), 5),
                     "%s: %s did not answer the notice of `%s`" % (LOOK, key, line)):
            # Closed as the window manager would, so the cases after it still run.
            XLib().close_request(notice)
            poll(lambda: notice not in windows(), 5)
        if told:
            check(told in s.text(), "%s: `%s` did not fail as it should:\n%s" % (LOOK, line, s.text()))


def open_chooser(s, keys, title):
    """The chooser the File menu's keys open, once it shows."""
    for _ in range(3):
        before = windows()
        xdotool("windowactivate", "--sync", s.main) if managed() else None
        time.sleep(0.3)
        xdotool("key", "alt+f")
        time.sleep(1)
        for k in keys:
            xdotool("key", k)
            time.sleep(0.5)
        c = s.new_window(before, title)
        if c:
            return c
        xdotool("key", "Escape", "Escape", "Escape")
    return None


def choosers(s, x):
    c = open_chooser(s, ("m",), "Execute Macro File")
    if not check(c, LOOK + ": File > Execute Macro opened no chooser"):
        return
    check_dialog("the Execute Macro chooser", c)
    # A click on the main window where the chooser is not.
    main, box = geometry(s.main), frame(c) or geometry(c)
    spot = next(((px, py) for px in (main.x + main.w - 20, main.x + 20) for py in (main.y + main.h - 20, main.y + 80)
                 if not box.holds(px, py)), None)
    if check(spot, "%s: the chooser %s covers the main window %s" % (LOOK, box, main)):
        xdotool("mousemove", str(spot[0]), str(spot[1]), "click", "1")
        time.sleep(1)
        check(poll(lambda: above(c, s.main), 5), "%s: a click on the main window at %s put it over the chooser" %
              (LOOK, spot))
    x.close_request(c)
    check(poll(lambda: c not in windows(), 10), LOOK + ": the Execute Macro chooser did not close")
    for keys, title in ((("l", "s"), "Load State"), (("s", "s"), "Save State")):
        c = open_chooser(s, keys, title)
        if not check(c, "%s: File %s opened no %s chooser" % (LOOK, " ".join(keys), title)):
            return
        check_dialog("the %s chooser" % title, c)
        x.close_request(c)
        check(poll(lambda: c not in windows(), 10), "%s: the %s chooser did not close" % (LOOK, title))
    c = open_chooser(s, ("m",), "Execute Macro File")
    if not check(c, LOOK + ": File > Execute Macro opened no chooser the second time"):
        return
    # The quit question asked with a chooser open takes the keyboard; the
    # program ends once the chooser is closed too.
    before = windows()
    x.close_request(s.main)
    notice = s.new_window(before, "Sim73500")
    if not check(notice, LOOK + ": the main window's close request showed no notice over the chooser"):
        return
    check_dialog("the quit notice", notice)
    check(poll(lambda: focus() == notice, 10),
          "%s: the quit notice over the chooser does not have the keyboard (%s has)" % (LOOK, focus()))
    xdotool("key", "Return")
    check(poll(lambda: notice not in windows(), 5), LOOK + ": Return did not answer the quit notice over the chooser")
    x.close_request(c)
    check(s.wait(10) == 0, LOOK + ": the program did not end once the chooser under its quit notice closed")


def image(window):
    from PIL import Image  # Debian's python3-pil
    xwd = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True).stdout
    png = subprocess.run(["sh", "-c", "xwdtopnm 2>/dev/null | pnmtopng"], input=xwd, capture_output=True).stdout
    return Image.open(io.BytesIO(png)).convert("RGB") if png else None


def colored(window, color, rows=None):
    """The points of the window's own area (window coordinates) in the colour."""
    im = image(window)
    if not im:
        return []
    px = im.load()
    return [(x, y) for y in (rows or range(im.height)) for x in range(im.width) if px[x, y] == color]


def command_entry(s):
    """A point on the screen inside the Command window's entry, or None: in
    the looks with a document area the Command window is the active
    document, its entry under its title bar; elsewhere a window of its own,
    the entry along its top."""
    if LOOK in ("win95", "windows"):
        main = geometry(s.main)
        title = colored(s.main, (0, 0, 128))  # the active document's title bar
        rows = sorted({y for _, y in title if sum(1 for _, v in title if v == y) > 200})
        if not main or not rows:
            return None
        xs = [x for x, y in title if y == rows[-1]]
        return main.x + (min(xs) + max(xs)) // 2, main.y + rows[-1] + 18
    found = titled("Command")
    box = geometry(found[0]) if found else None
    return (box.x + box.w // 2, box.y + 12) if box else None


def go_button(s):
    """The palette's Go button on the screen: the leftmost of the palette's
    green icons, near the top of the main window."""
    main = geometry(s.main)
    green = colored(s.main, (0, 160, 0), range(0, 120)) if main else []
    if not green:
        return None
    left = min(x for x, _ in green)
    first = [(x, y) for x, y in green if x < left + 12]
    return (main.x + sum(x for x, _ in first) // len(first), main.y + sum(y for _, y in first) // len(first))


def popup_open():
    """Whether one of the program's pop-up menus (untitled override-redirect windows) shows."""
    return any("Override Redirect State: yes" in info and "IsViewable" in info
               for info in (run("xwininfo", "-id", w)
                            for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split()))


def click(point):
    xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")


def blocked(s, x):
    entry, go = poll(lambda: command_entry(s), 10), poll(lambda: go_button(s), 10)
    main = geometry(s.main)
    file_title = (main.x + 16, main.y + 10)
    if not check(entry and go, "%s: the Command entry (%s) or the palette's Go (%s) was not found" % (LOOK, entry, go)):
        return
    base = windows()
    c = open_chooser(s, ("l", "s"), "Load State")
    if not check(c, LOOK + ": File > Load > State opened no chooser"):
        return
    before = s.text()
    # Each in an order where none hides the next: a menu the File title
    # opened would take the clicks after it.
    click(go)
    click(entry)
    xdotool("type", "--delay", "30", "evaluate $2a+5")
    click(file_title)
    # The chooser still has the keyboard; what the clicks or keys would
    # have done happened before it goes.
    if LOOK == "openlook":
        x.close_request(c)
    else:
        xdotool("key", "Escape")
    if not check(poll(lambda: c not in windows(), 10),
                 "%s: %s did not close the chooser after clicks on the main window" %
                 (LOOK, "the close request" if LOOK == "openlook" else "Escape")):
        x.close_request(c)
        poll(lambda: c not in windows(), 5)
    check(not popup_open(), LOOK + ": a click on the File title under the chooser opened its menu")
    check(set(windows()) <= set(base), LOOK + ": a window opened under the chooser")
    # The same clicks, the chooser gone: each does its work.
    click(entry)
    xdotool("key", "Return")
    xdotool("type", "--delay", "30", "evaluate $2a+6")
    xdotool("key", "Return")
    check(poll(lambda: "Hex:0030" in s.text(), 10), LOOK + ": a command typed after the chooser went did not run:\n" +
          s.text())
    check(s.text().startswith(before) and "Hex:002f" not in s.text() and "go" not in s.text()[len(before):].split(),
          "%s: the clicks and keys under the chooser ran something:\n%s" % (LOOK, s.text()[len(before):]))
    # (Open Look's click runs the menu's default item, which opens a chooser.)
    click(file_title)
    opened = poll(lambda: popup_open() or [w for w in windows() if w not in base], 10)
    check(opened, LOOK + ": the File title at %s opened nothing once the chooser went" % (file_title,))
    if opened is True:
        xdotool("key", "Escape", "Escape")
        poll(lambda: not popup_open(), 5)
    for w in opened if isinstance(opened, list) else ():
        x.close_request(w)
        poll(lambda: w not in windows(), 10)
    # The quit notice blocks the Command window too; Return answers it.
    before = windows()
    x.close_request(s.main)
    notice = s.new_window(before, "Sim73500")
    if not check(notice, LOOK + ": the main window's close request showed no notice"):
        return
    click(entry)
    xdotool("type", "--delay", "30", "evaluate $2a+7")
    xdotool("key", "Return")
    check(s.wait(10) == 0, LOOK + ": Return typed after a click on the Command window did not answer the quit notice")
    check("Hex:0031" not in s.text(), LOOK + ": a command typed under the quit notice ran:\n" + s.text())


def case(home):
    s = Session(home)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        if CASE == "blocked":
            blocked(s, XLib())
            return
        notices(s)
        choosers(s, XLib())
    finally:
        s.end()


sys.exit(run_case(case, ("xdotool", "xprop", "xwininfo", "xdpyinfo") + (("xwd",) if CASE == "blocked" else ())))
