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
  - with a chooser open, the main window's close request is refused (no
    quit notice, the chooser keeps the keyboard); once the chooser is
    closed it puts up the quit notice with the keyboard on it, and Return
    there ends the program.

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

With CASE `matrix`, modal windows x inputs in one program start (see
matrix() below). With CASE `imgedit`, the program is vimgedit and the same
inputs go to its editor with File > Import's chooser up: a click in the
image, the title bar, an activation request, the close button, typed tool
keys, the Image menu's keys, a click on the File title and a press there
ending the chooser's History menu. After each the program runs, nothing
opened, the editor shows as it did beside the chooser, and the chooser is
above it with the keyboard. Once the chooser is answered the editor has the
keyboard back, its File title opens the menu and a click draws.

usage: gui_modal.py PROGRAM LOOK [blocked|matrix|imgedit]
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
# The program's windows carry its name as their class.
PROGRAM = os.path.basename(SIM)


def managed():
    return "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")


def windows():
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", PROGRAM).split():
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
    # The main window's close request with a chooser open is refused: no
    # quit question opens over it, and the chooser keeps the keyboard.
    before = windows()
    x.close_request(s.main)
    check(poll(lambda: focus() == c, 10),
          "%s: the chooser lost the keyboard to the main window's close request (%s has it)" % (LOOK, focus()))
    # (A quit notice it had opened would block the chooser's own close.)
    x.close_request(c)
    check(poll(lambda: c not in windows(), 10), LOOK + ": the Execute Macro chooser did not close the second time")
    check(not [w for w in windows() if w not in before],
          LOOK + ": the main window's close request under the chooser opened a window")
    # Once it has gone the quit question comes and takes the keyboard.
    before = windows()
    x.close_request(s.main)
    notice = s.new_window(before, "Sim73500")
    if not check(notice, LOOK + ": the main window's close request showed no notice"):
        return
    check_dialog("the quit notice", notice)
    check(poll(lambda: focus() == notice, 10),
          "%s: the quit notice does not have the keyboard (%s has)" % (LOOK, focus()))
    xdotool("key", "Return")
    check(s.wait(10) == 0, LOOK + ": Return at the quit notice did not end the program")


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
                            for w in run("xdotool", "search", "--onlyvisible", "--class", PROGRAM).split()))


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


# ---- The matrix: modal windows x inputs, in one program start -----------------------------

# What each input does to the windows a modal window blocks. Each takes the
# session, the points it needs and the modal window; none may reach them.
def input_client(s, at, modal):
    click(at["entry"])


def input_title(s, at, modal):
    click(at["title"])


def input_activate(s, at, modal):
    # _NET_ACTIVE_WINDOW for the main window, as a task bar sends it.
    xdotool("windowactivate", s.main)


def input_close(s, at, modal):
    XLib().close_request(s.main)


def input_menu(s, at, modal):
    """The chooser's History menu, then a press on the palette's Go: the
    press that ends the menu."""
    xdotool("key", "alt+h")
    if check(poll(popup_open, 10), LOOK + ": Alt+H opened no History menu in the chooser"):
        click(at["go"])
        poll(lambda: not popup_open(), 10)


def input_menu_title(s, at, modal):
    """The chooser's History menu, then a press on the main window's File
    title: the press that ends the menu opens no menu behind the chooser."""
    xdotool("key", "alt+h")
    if check(poll(popup_open, 10), LOOK + ": Alt+H opened no History menu in the chooser"):
        click(at["file"])
        if not check(poll(lambda: not popup_open(), 10), LOOK + ": a menu is open after the press on the File title"):
            xdotool("key", "Escape")


def input_keys(s, at, modal):
    xdotool("type", "--delay", "30", "evaluate $2a+5")


def close_menus():
    """Closes the menus keys opened, one Escape each: more would cancel the
    modal window."""
    for _ in range(3):
        if not poll(popup_open, 1):
            break
        xdotool("key", "Escape")
        poll(lambda: not popup_open(), 10)


def input_accelerator(s, at, modal):
    """The main window's Execute > Reset > Device keys (no modal window
    here binds Alt+X; the Device dialog they would open is modeless). A menu of the modal window's own they opened is
    closed again."""
    xdotool("key", "alt+x", "r", "d")
    close_menus()


def input_palette(s, at, modal):
    click(at["go"])


INPUTS = {"client": input_client, "title": input_title, "activate": input_activate, "close": input_close,
          "menu": input_menu, "menutitle": input_menu_title, "keys": input_keys, "accelerator": input_accelerator,
          "palette": input_palette}


def matrix_rows():
    """The inputs of this look with or without a window manager: all of them
    in Motif and Win95 with one, the frame's and the chooser menu's in the
    other looks; without one the rows that need none."""
    full = LOOK in ("motif", "win95")
    rows = list(INPUTS) if full else ["title", "activate", "close", "menu", "menutitle"]
    return [r for r in rows if managed() or r not in ("title", "activate")]


def from_menu(s, keys, title=None):
    """The window the main window's menu keys open, once it shows."""
    for _ in range(3):
        poll(lambda: focus() == s.command or focus() == s.main, 5)
        before = windows()
        xdotool("key", *keys)
        w = s.new_window(before, title)
        if w:
            return w
        xdotool("key", "Escape", "Escape", "Escape")
    return None


def typed_notice(s):
    poll(lambda: focus() == s.command, 10)
    before = windows()
    xdotool("type", "--delay", "30", "load s MISSING")
    xdotool("key", "Return")
    return s.new_window(before)


def quit_notice(s):
    before = windows()
    XLib().close_request(s.main)
    return s.new_window(before, "Sim73500")


def settled_on(window):
    """Whether the keyboard comes to the window and stays there: two
    readings 0.3 s apart agree."""
    def twice():
        if focus() != window:
            return False
        time.sleep(0.3)
        return focus() == window
    return poll(twice, 10)


def matrix(s):
    entry, go = poll(lambda: command_entry(s), 10), poll(lambda: go_button(s), 10)
    main, outer = geometry(s.main), frame(s.main)
    if not check(entry and go and main, "%s: the Command entry (%s) or the palette's Go (%s) was not found" %
                 (LOOK, entry, go)):
        return
    # The title bar, left of its middle and clear of the frame's buttons.
    # The File title: the first of the menu bar along the client's top.
    at = {"entry": entry, "go": go, "title": (main.x + main.w // 3, (outer.y + main.y) // 2),
          "file": (main.x + 14, main.y + 9)}
    rows = matrix_rows()
    base = set(windows())
    transcript = s.text()
    # (name, opener, the key that answers it, whether the chooser's menu applies)
    modals = [("the Load State chooser", lambda: from_menu(s, ("alt+f", "l", "s"), "Load State"),
               "Escape", True),
              ("the error notice", lambda: typed_notice(s), "Return", False),
              ("the quit question", lambda: quit_notice(s), "Return", False)]
    for name, opener, answer, has_menu in modals:
        if name == "the quit question":
            # What ran behind the others shows before the program ends:
            # a command typed into the Command entry runs at once.
            click(entry)
            xdotool("type", "--delay", "30", "evaluate $2a+6")
            xdotool("key", "Return")
            check(poll(lambda: "Hex:0030" in s.text(), 10),
                  LOOK + ": a command typed after the modal windows went did not run:\n" + s.text())
            ran = s.text()[len(transcript):]
            check("Hex:002f" not in ran and "go" not in ran.split(),
                  "%s: the inputs under the modal windows ran something:\n%s" % (LOOK, ran))
        modal = opener()
        if not check(modal, "%s: %s did not open" % (LOOK, name)):
            continue
        check(settled_on(modal), "%s: %s does not have the keyboard once shown (%s has)" % (LOOK, name, focus()))
        # What the command that raised it writes has come by now.
        transcript = s.text()
        for row in rows:
            if row in ("menu", "menutitle") and not has_menu:
                continue
            INPUTS[row](s, at, modal)
            if os.environ.get("MATRIX_TRACE"):
                print("%.1f %s under %s: focus %s, modal %s" % (time.monotonic(), row, name, focus(), modal), flush=True)
            check(settled_on(modal), "%s: after %s under %s, the keyboard is not back in it (%s has it)" %
                  (LOOK, row, name, focus()))
            extra = [w for w in windows() if w not in base and w != modal]
            check(not extra, "%s: %s under %s opened a window" % (LOOK, row, name))
            for w in extra:
                XLib().close_request(w)
                poll(lambda: w not in windows(), 10)
            check(modal in windows(), "%s: %s under %s closed it" % (LOOK, row, name))
            check(s.text() == transcript, "%s: %s under %s ran something:\n%s" % (LOOK, row, name,
                                                                              s.text()[len(transcript):]))
            transcript = s.text()
            if modal not in windows():
                break
        if modal not in windows():
            modal = opener()
            if not modal:
                continue
        if LOOK == "openlook" and has_menu:
            XLib().close_request(modal)  # Open Look's chooser has no Cancel for Escape
        else:
            xdotool("key", answer)
        if name == "the quit question":
            check(s.wait(15) == 0, "%s: %s at the quit question did not end the program" % (LOOK, answer))
            return
        if not check(poll(lambda: modal not in windows(), 10), "%s: %s did not answer %s" % (LOOK, answer, name)):
            XLib().close_request(modal)
            poll(lambda: modal not in windows(), 10)
        check(set(windows()) <= base, "%s: a window stayed open after %s went" % (LOOK, name))


# ---- The image editor's Import chooser: the same inputs on vimgedit -----------------------

class Editor(Session):
    """vimgedit on a new image, its editor up with the keyboard."""

    def __init__(self, home):
        self.home = home
        self.errors = os.path.join(home, "errors")
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen([SIM], cwd=home, env=dict(os.environ, HOME=home, LAF=LOOK),
                                         stdout=subprocess.DEVNULL, stderr=errors)
        self.main = poll(lambda: (titled("Image Editor") or [None])[0], 40)
        self.command = self.main
        poll(lambda: focus() == self.main, 20)


def outside(window, cover):
    """The window's own pixels with the box `cover` (on the screen) blanked:
    what shows of it beside the modal window."""
    from PIL import ImageDraw
    im, box = image(window), geometry(window)
    if not im or not box:
        return None
    ImageDraw.Draw(im).rectangle((cover.x - box.x, cover.y - box.y, cover.x - box.x + cover.w - 1,
                                  cover.y - box.y + cover.h - 1), fill=(0, 0, 0))
    return im


def image_spot(s, cover):
    """A point on the screen inside the editor's new (white) image that the
    chooser leaves free, right of the tool palette (whose white swatches
    end 80 pixels in)."""
    box = geometry(s.main)
    if not box:
        return None
    free = [(x, y) for x, y in colored(s.main, (255, 255, 255))
            if x >= 88 and not cover.holds(box.x + x, box.y + y)]
    if not free:
        return None
    left, top = min(x for x, _ in free), min(y for _, y in free)
    run_down = sum(1 for x, y in free if x == left + 10)
    return box.x + left + 10, box.y + top + min(10, run_down // 2)


def edit_input_accelerator(s, at, modal):
    """The editor's Image > Size keys (the chooser binds no Alt+I; the Size
    dialog they would open is a window of its own). A menu they opened is
    closed again, one Escape each."""
    xdotool("key", "alt+i", "s")
    close_menus()


def edit_input_menu(s, at, modal):
    """The chooser's History menu, then a press on the editor's File title:
    the press that ends the menu."""
    xdotool("key", "alt+h")
    if check(poll(popup_open, 10), LOOK + ": Alt+H opened no History menu in the chooser"):
        click(at["file"])
        poll(lambda: not popup_open(), 10)


# Typed keys: in the image view these choose the hand, line and select tools.
EDIT_INPUTS = {"client": lambda s, at, modal: click(at["image"]),
               "title": input_title, "activate": input_activate, "close": input_close,
               "keys": lambda s, at, modal: xdotool("type", "--delay", "30", "hls"),
               "accelerator": edit_input_accelerator,
               "file": lambda s, at, modal: click(at["file"]),
               "menu": edit_input_menu}


def imgedit_rows():
    """All the inputs in Motif and Win95, the frame's in the other looks;
    without a window manager those that need none."""
    rows = list(EDIT_INPUTS) if LOOK in ("motif", "win95") else ["title", "activate", "close"]
    return [r for r in rows if managed() or r not in ("title", "activate")]


def shows_as(s, before, cover, same=True):
    """Whether what shows of the editor beside the chooser is (or, with
    `same` false, is no longer) as it was, waiting for a repaint under way."""
    def now():
        im = outside(s.main, cover)
        return im is not None and (im.tobytes() == before.tobytes()) == same
    return poll(now, 5 if same else 10)


def imgedit(s):
    main, outer = geometry(s.main), frame(s.main)
    # The File title at the left of the editor's menu bar, in every look.
    at = {"file": (main.x + 14, main.y + 12), "title": (main.x + main.w // 3, (outer.y + main.y) // 2)}
    base = set(windows())
    chooser = from_menu(s, ("alt+f", "i"), "Open File")
    if not check(chooser, LOOK + ": File > Import opened no chooser"):
        return
    check_dialog("the Import chooser", chooser)
    check(settled_on(chooser), "%s: the Import chooser does not have the keyboard once shown (%s has)" %
          (LOOK, focus()))
    cover = frame(chooser)
    at["image"] = poll(lambda: image_spot(s, cover), 10)
    if not check(at["image"], "%s: the chooser %s leaves none of the editor's image free" % (LOOK, cover)):
        return
    before = poll(lambda: outside(s.main, cover), 10)
    for row in imgedit_rows():
        EDIT_INPUTS[row](s, at, chooser)
        if os.environ.get("MATRIX_TRACE"):
            print("%.1f %s: focus %s, chooser %s" % (time.monotonic(), row, focus(), chooser), flush=True)
        check(settled_on(chooser), "%s: after %s under the chooser, the keyboard is not back in it (%s has it)" %
              (LOOK, row, focus()))
        check(s.proc.poll() is None, "%s: %s under the chooser ended the program" % (LOOK, row))
        check(chooser in windows(), "%s: %s under the chooser closed it" % (LOOK, row))
        check(poll(lambda: above(chooser, s.main), 5), "%s: %s put the editor over the chooser" % (LOOK, row))
        check(not popup_open(), "%s: %s under the chooser left a menu open" % (LOOK, row))
        extra = [w for w in windows() if w not in base and w != chooser]
        check(not extra, "%s: %s under the chooser opened a window" % (LOOK, row))
        for w in extra:
            XLib().close_request(w)
            poll(lambda: w not in windows(), 10)
        if not check(shows_as(s, before, cover), "%s: %s under the chooser changed the editor" % (LOOK, row)):
            before = outside(s.main, cover) or before
        if chooser not in windows() or s.proc.poll() is not None:
            return
    # Open Look's chooser has no Cancel for Escape.
    if LOOK == "openlook":
        XLib().close_request(chooser)
    else:
        xdotool("key", "Escape")
    if not check(poll(lambda: chooser not in windows(), 10),
                 "%s: %s did not close the chooser" % (LOOK, "its close" if LOOK == "openlook" else "Escape")):
        return
    check(set(windows()) <= base, LOOK + ": a window stayed open after the chooser went")
    check(settled_on(s.main), "%s: the editor does not have the keyboard back once the chooser went (%s has it)" %
          (LOOK, focus()))
    # The editor works again: its File title opens the menu (in Open Look a
    # click runs the menu's default item, Import, whose chooser comes back).
    click(at["file"])
    opened = poll(lambda: popup_open() or [w for w in windows() if w not in base], 10)
    check(opened, "%s: the File title at %s opened nothing once the chooser went" % (LOOK, at["file"]))
    # One Escape a menu: one more could close the editor.
    for _ in range(3 if opened is True else 0):
        xdotool("key", "Escape")
        if poll(lambda: not popup_open(), 5):
            break
    for w in opened if isinstance(opened, list) else ():
        XLib().close_request(w)
        poll(lambda: w not in windows(), 10)
    # A click in the image draws, so one that had reached it behind the chooser would show.
    if "client" in imgedit_rows():
        poll(lambda: focus() == s.main, 10)
        click(at["image"])
        check(shows_as(s, before, cover, same=False),
              "%s: a click in the image at %s drew nothing once the chooser went" % (LOOK, at["image"]))


def case(home):
    s = (Editor if CASE == "imgedit" else Session)(home)
    try:
        if not check(s.main, "%s: no main window (the program %s): %s" %
                     (LOOK, "ended" if s.proc.poll() is not None else "runs",
                      open(s.errors, errors="replace").read())):
            return
        if CASE == "blocked":
            blocked(s, XLib())
            return
        if CASE == "matrix":
            matrix(s)
            return
        if CASE == "imgedit":
            imgedit(s)
            return
        notices(s)
        choosers(s, XLib())
    finally:
        s.end()


if __name__ == "__main__":
    sys.exit(run_case(case, ("xdotool", "xprop", "xwininfo", "xdpyinfo") + (("xwd",) if CASE != "all" else ())))
