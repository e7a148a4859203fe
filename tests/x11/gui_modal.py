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

usage: gui_modal.py SIM73500 LOOK
Exits 0 when all holds, 77 (skipped) without xdotool, xprop or xwininfo.
"""
import ctypes
import ctypes.util
import os
import re
import subprocess
import sys
import time

from x11_desktop import Box, check, frame, geometry, poll, run, run_case, stacked, xdotool

SIM, LOOK = os.path.abspath(sys.argv[1]), sys.argv[2]


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
        self.command = poll(lambda: (titled("Command") or [self.main])[0] if self.main else None, 20)
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
        check(poll(lambda: focus() == s.command, 10), "%s: the Command window does not have the keyboard" % LOOK)
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


def case(home):
    s = Session(home)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        notices(s)
        choosers(s, XLib())
    finally:
        s.end()


sys.exit(run_case(case, ("xdotool", "xprop", "xwininfo", "xdpyinfo")))
