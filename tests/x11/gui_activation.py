#!/usr/bin/env python3
"""The activation of sim73500 --gui's windows as the window manager and other
programs hand it about, through the X server (run by x11_smoke.sh, with or
without --wm, which sets DISPLAY), the program started with a HOME of its own:

  modal LOOK  (under a window manager) File > Load > State's chooser, then
              the error notice of `load s MISSING`: each is told to the
              window manager as modal (_NET_WM_STATE_MODAL, transient for
              the program); a click on the main window's title bar, an
              activation request for the main window and one for the
              Command window (as a task bar sends) each leave the modal
              window active in the manager's eyes with the keyboard in it,
              and Escape (the notice: Return) then closes it;
  menu LOOK   (under a window manager) with the File menu open from Alt+F,
              an activation request for another program's window ends the
              menu, and that program receives the first click made on it;
  paste LOOK  with another program holding the clipboard and never
              answering, Ctrl+V in the Command entry, Escape and
              `evaluate $17+1` typed at once, then Return: the whole command
              runs.

usage: gui_activation.py SIM73500 CASE LOOK
Exits 0 when all holds, 77 (skipped) without xdotool, xprop or xwininfo.
"""
import os
import re
import subprocess
import sys
import time

from x11_desktop import Box, check, geometry, poll, run, run_case, xdotool
from x11_other_client import ClickCounter, FrozenOwner

SIM, CASE, LOOK = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]


def windows(name=None):
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        if (name is None or run("xdotool", "getwindowname", w).strip() == name) and geometry(w):
            found.append(w)
    return found


def popup_open():
    """Whether one of the program's pop-up menus (override-redirect windows) shows."""
    return any("Override Redirect State: yes" in run("xwininfo", "-id", w) for w in windows())


def focus():
    return run("xdotool", "getwindowfocus").strip()


def active():
    """The window the window manager holds active."""
    m = re.search(r"window id # (0x[0-9a-f]+)", run("xprop", "-root", "_NET_ACTIVE_WINDOW"))
    return str(int(m.group(1), 16)) if m else None


class Session:
    def __init__(self, home):
        env = dict(os.environ, HOME=home, LAF=LOOK)
        self.transcript = os.path.join(home, "transcript")
        self.errors = os.path.join(home, "errors")
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen([SIM, "--gui", "--transcript", self.transcript], cwd=home, env=env,
                                         stdout=subprocess.DEVNULL, stderr=errors)
        self.main = poll(self.only_main, 40)
        # The keyboard is in the Command window once it shows: a document of
        # the main window in the looks with a document area, else a window of
        # its own, which may show after the main window.
        self.command = self.main if LOOK in ("win95", "windows") else poll(lambda: (windows("Command") or [None])[0], 40)
        poll(lambda: focus() == self.command, 20)

    def only_main(self):
        t = windows("Sim73500")
        return t[0] if len(t) == 1 and (geometry(t[0]) or Box(0, 0, 0, 0)).w >= 600 else None

    def text(self):
        return open(self.transcript, errors="replace").read() if os.path.exists(self.transcript) else ""

    def new_window(self, before, title):
        def fresh():
            w = [v for v in windows(title) if v not in before]
            return w[0] if len(w) == 1 else None
        return poll(fresh, 15)

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def load_state_chooser(s):
    before = windows()
    xdotool("windowactivate", "--sync", s.main)
    poll(lambda: focus() == s.main, 10)
    for k in ("alt+f", "l", "s"):
        xdotool("key", k)
        time.sleep(0.4)
    return s.new_window(before, "Load State")


def error_notice(s):
    before = windows()
    xdotool("windowactivate", "--sync", s.command)
    poll(lambda: focus() == s.command, 10)
    xdotool("type", "--delay", "30", "load s MISSING")
    xdotool("key", "Return")
    return s.new_window(before, "Sim73500")


def case_modal(s):
    main = geometry(s.main)
    title_bar = (main.x + main.w // 2, main.y - 8)
    inputs = (("a click on the main window's title bar", lambda: xdotool("mousemove", *map(str, title_bar), "click", "1")),
              ("an activation request for the main window", lambda: xdotool("windowactivate", s.main)),
              ("an activation request for the Command window", lambda: xdotool("windowactivate", s.command)))
    for what, opened, closing in (("File > Load > State's chooser", load_state_chooser, "Escape"),
                                  ("the notice of `load s MISSING`", error_notice, "Return")):
        modal = opened(s)
        if not check(modal, "%s: %s did not show" % (LOOK, what)):
            continue
        hints = run("xprop", "-id", modal, "_NET_WM_STATE", "WM_TRANSIENT_FOR")
        check("_NET_WM_STATE_MODAL" in hints and "window id" in hints,
              "%s: %s is not told to the window manager as modal and transient: %s" % (LOOK, what, hints))
        for how, act in inputs:
            act()
            check(poll(lambda: focus() == modal and active() == modal, 10),
                  "%s: after %s, %s is not active (the window manager holds %s active, the keyboard is in %s)" %
                  (LOOK, how, what, active(), focus()))
        xdotool("key", closing)
        check(poll(lambda: modal not in windows(), 10), "%s: %s at %s did not close it" % (LOOK, closing, what))


def case_menu(s):
    other = ClickCounter()
    try:
        xdotool("windowactivate", "--sync", s.main)
        poll(lambda: focus() == s.main, 10)
        xdotool("key", "alt+f")
        if not check(poll(popup_open, 10), LOOK + ": Alt+F opened no menu"):
            return
        xdotool("windowactivate", "--sync", str(other.window))
        check(poll(lambda: not popup_open(), 10), LOOK + ": the File menu stayed open with another program active")
        box = geometry(str(other.window))
        xdotool("mousemove", str(box.x + box.w // 2), str(box.y + box.h // 2), "click", "1")
        check(poll(lambda: other.count() >= 1, 10),
              LOOK + ": the other program's first click after the menu went did not reach it")
    finally:
        other.close()


def case_paste(s):
    owner = FrozenOwner()
    try:
        xdotool("windowactivate", "--sync", s.command) if "window id" in run("xprop", "-root",
                                                                            "_NET_SUPPORTING_WM_CHECK") else None
        check(poll(lambda: focus() == s.command, 10), LOOK + ": the Command window does not have the keyboard")
        xdotool("key", "ctrl+v", "Escape")
        xdotool("type", "evaluate $17+1")
        xdotool("key", "Return")
        check(poll(lambda: "Hex:0018" in s.text(), 15),
              "%s: `evaluate $17+1` typed during a paste from an unanswering owner did not run whole:\n%s" %
              (LOOK, s.text()))
    finally:
        owner.close()


def case(home):
    s = Session(home)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        {"modal": case_modal, "menu": case_menu, "paste": case_paste}[CASE](s)
    finally:
        s.end()


sys.exit(run_case(case, ("xdotool", "xprop", "xwininfo", "xdpyinfo")))
