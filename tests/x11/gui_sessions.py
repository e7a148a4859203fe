#!/usr/bin/env python3
"""sim73500 --gui restarted under a window manager, as a user meets it over
several sessions (run by x11_smoke.sh --wm, which sets DISPLAY). Each case
starts the real program with a HOME of its own and drives it with xdotool:

  layout    a session that resizes, maximizes and tiles is saved; the next
            start shows the main window wholly on the screen with its menu
            bar and palette where a first start shows them
  keep      the main window's place and size come back after a restart, and
            so does a window maximized by the window manager
  commands  `wasm` then `evaluate 5` typed in the Command window both run
  quit      one Alt+F after start opens File; Return at the notice of its
            Exit ends the program, at once
  about     Escape closes the About box
  altf4     Alt+F4 puts up the quit notice with the keyboard on it: Escape
            keeps the program, Return ends it; Alt alone between them still
            reaches the menu bar
  prefs     Preferences clicked after a sub-menu was closed by Escape: Return
            confirms it and the setting is stored
  killed    sessions ended by SIGTERM (as when the X server goes away) and
            by SIGKILL after "Save window positions" is on: every later
            start still opens the Command window: a typed command runs
  looks     every top-level window wholly on the screen in Motif, Open Look
            and CUA, and the Session window's frame clear of the main one's
  dialogs   in every look File > Preferences is a dialog to the window
            manager (type and owner read back with xprop) whose frame
            offers neither maximizing nor resizing, while the main and
            Session windows keep theirs, and closes from the keyboard or
            by the window manager's close
  notice    in every look the quit notice (Alt+F4 at the main window) is a
            dialog to the window manager with a frame of fixed size and no
            boxes asked, comes up over every window of the program (the
            Register and Memory windows a macro opened among them) with the
            keyboard on it, and Return there ends the program
  macro     started with the FIR demo macro (its Register and Memory
            windows), Session and Command stay wholly on the screen in
            Motif, Open Look and CUA
  letgo     the frame extents taken away from the program's windows (as a
            window manager may for a window it lets go), Window > Tile keeps
            Session and Command wholly on the screen in Motif, Open Look and
            CUA

usage: gui_sessions.py SIM73500 CASE
Exits 0 when all holds, 77 (skipped) without xdotool or xwininfo.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from x11_desktop import Box, check, failures, frame, geometry, poll, run, screen, stacked, xdotool

SIM, CASE = os.path.abspath(sys.argv[1]), sys.argv[2]


def settled(value, seconds=20.0):
    """The value once two readings 0.2 s apart agree, or the last one."""
    last = [None]

    def same():
        time.sleep(0.2)
        now = value()
        agreed = now is not None and now == last[0]
        last[0] = now
        return agreed
    poll(same, seconds)
    return last[0]


def windows(name=None):
    """The program's mapped top-level windows (of that title)."""
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        title = run("xdotool", "getwindowname", w).strip()
        if (name is None or title == name) and geometry(w):
            found.append(w)
    return found


def main_window():
    """The main window: the widest window titled "Sim73500" (the About box
    and notices share the title)."""
    for w in windows("Sim73500"):
        g = geometry(w)
        if g and g.w >= 600:
            return w
    return None


def focus():
    return run("xdotool", "getwindowfocus").strip()


def popups():
    """The program's open pop-up menus (untitled windows the window manager
    does not frame), as boxes."""
    found = []
    for w in run("xdotool", "search", "--onlyvisible", "--class", "sim73500").split():
        if not run("xdotool", "getwindowname", w).strip() and "Override Redirect State: yes" in run("xwininfo", "-id", w):
            g = geometry(w)
            if g:
                found.append(g)
    return found


def others(main):
    """The program's titled windows other than the main one (notices, the
    About box, dialogs)."""
    return [w for w in windows() if w != main and run("xdotool", "getwindowname", w).strip()]


class Session:
    def __init__(self, home, look=None, macro=None):
        self.home = home
        env = dict(os.environ, HOME=home)
        if look:
            env["LAF"] = look
        self.transcript = os.path.join(home, "transcript")
        first = []
        if macro:
            with open(os.path.join(home, "start.cmd"), "w") as f:
                f.write(macro)
            first = ["start.cmd"]
        self.proc = subprocess.Popen([SIM, "--gui", "--transcript", self.transcript] + first, cwd=home, env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.main = poll(main_window, 30)
        # The About box shown at start closes by itself.
        poll(lambda: self.main and not [w for w in windows("Sim73500") if w != self.main], 15)

    def menu(self, *keys):
        """Alt+F, once, opens File; then each key once the menus show."""
        poll(self.focused, 10)
        xdotool("key", "alt+f")
        if not check(poll(popups, 10), "one Alt+F did not open the File menu"):
            return False
        for key in keys:
            xdotool("key", key)
        return True

    def choose(self, title_key, item_key, done):
        """A menu item chosen from the main window's keyboard (in the Motif
        look the menus are no bare pop-ups, so the keys go blind), tried up
        to three times: what done() gives once it is true, else None."""
        for _ in range(3):
            xdotool("windowactivate", "--sync", self.main)
            poll(self.focused, 10)
            xdotool("key", title_key)
            time.sleep(1)
            xdotool("key", item_key)
            result = poll(done, 5)
            if result:
                return result
            xdotool("key", "Escape", "Escape")
        return None

    def save_layout(self):
        """Turns "Save window positions" on: the Preferences dialog
        (File > Preferences) shows it on, and Return confirms it."""
        if not self.menu("e"):
            return
        dialog = poll(lambda: windows("Preferences"), 10)
        if not check(dialog, "no Preferences dialog"):
            return
        poll(lambda: focus() == dialog[0], 10)
        xdotool("key", "Return")
        check(poll(lambda: not windows("Preferences"), 10), "Return did not close the Preferences dialog")
        poll(self.focused, 10)

    def type_line(self, line):
        xdotool("type", "--delay", "30", line)
        xdotool("key", "Return")

    def quit(self):
        """Quits through the Command window and waits for the end."""
        self.type_line("quit")
        return self.wait()

    def wait(self, seconds=15):
        try:
            return self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def focused(self):
        return run("xdotool", "getwindowfocus").strip() == self.main


def shot(window, box):
    """The pixels of `box` (window coordinates) of the window, as bytes."""
    from PIL import Image  # Debian's python3-pil
    import io
    xwd = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True).stdout
    png = subprocess.run(["sh", "-c", "xwdtopnm 2>/dev/null | pnmtopng"], input=xwd, capture_output=True).stdout
    image = Image.open(io.BytesIO(png)).convert("RGB")
    if os.environ.get("SHOTS"):
        image.save(os.path.join(os.environ["SHOTS"], "%s-%d.png" % (window, time.monotonic_ns())))
    return image.crop((box.x, box.y, box.x + box.w, box.y + box.h)).tobytes()


def case_layout(home):
    # The menu bar and palette of a first start, to compare with later.
    first = Session(home)
    if not check(first.main, "no main window"):
        return
    top = Box(0, 0, 300, 54)
    poll(first.focused, 10)
    fresh = settled(lambda: shot(first.main, top))
    first.save_layout()
    # Larger than the screen and low, then maximized by the window manager,
    # the windows tiled, the main window restored and quit.
    before = geometry(first.main)
    xdotool("windowsize", first.main, "1280", "1005")
    xdotool("windowmove", first.main, "0", "59")
    check(poll(lambda: geometry(first.main) not in (None, before), 10), "the main window was not resized")
    xdotool("windowsize", first.main, "100%", "100%")
    poll(lambda: (lambda g: g and g.w >= 1200)(geometry(first.main)), 10)
    poll(first.focused, 10)
    xdotool("key", "alt+w")
    if check(poll(popups, 10), "Alt+W did not open the Window menu"):
        xdotool("key", "t")
        poll(lambda: not popups(), 10)
    check(first.quit() == 0, "the first session did not quit")
    for n in (2, 3):
        s = Session(home)
        try:
            if not check(s.main, "session %d: no main window" % n):
                return
            # A frame whose extents the window manager tells late is placed
            # again: where it settles is what the user meets.
            poll(lambda: (lambda f: f and f.inside(screen()))(frame(s.main)), 10)
            f = frame(s.main)
            check(f and f.inside(screen()), "session %d: the main window's frame %s is not on the screen" % (n, f))
            poll(s.focused, 10)
            same = poll(lambda: shot(s.main, top) == fresh, 10)
            check(same, "session %d: the menu bar and palette are not where a first start shows them" % n)
            check(s.quit() == 0, "session %d did not quit" % n)
        finally:
            s.end()


def case_keep(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        s.save_layout()
        xdotool("windowmove", s.main, "0", "0")
        xdotool("windowsize", s.main, "900", "600")
        placed = poll(lambda: (lambda g: g if g and g.w == 900 and g.h == 600 else None)(geometry(s.main)))
        check(placed, "the window manager did not resize the main window")
        before = geometry(s.main)
        check(s.quit() == 0, "the first session did not quit")
    finally:
        s.end()
    s = Session(home)
    try:
        after = poll(lambda: (lambda g: g if g and (g.w, g.h) == (before.w, before.h) else None)(geometry(s.main)), 5)
        after = after or geometry(s.main)
        check(after and (after.x, after.y, after.w, after.h) == (before.x, before.y, before.w, before.h),
              "the main window came back at %s, not at %s" % (after, before))
        # Maximized by the window manager, it comes back maximized.
        # Maximized by the window manager (a double click on its title bar),
        # it comes back as large.
        f = frame(s.main)
        xdotool("mousemove", str(f.x + f.w // 2), str(f.y + 8), "click", "--repeat", "2", "--delay", "80", "1")
        grown = poll(lambda: (lambda g: g if g and g.w > 900 else None)(geometry(s.main)))
        if check(grown, "the window manager did not maximize the main window"):
            big = geometry(s.main)
            check(s.quit() == 0, "the second session did not quit")
            s.end()
            s = Session(home)
            again = poll(lambda: (lambda g: g if g and (g.w, g.h) == (big.w, big.h) else None)(geometry(s.main)), 5)
            # Restored as a normal window, its frame fills the screen.
            again = again or geometry(s.main)
            near = again and abs(again.w - big.w) <= 30 and abs(again.h - big.h) <= 30
            check(near, "the maximized main window came back at %s, not %s" % (again, big))
        check(s.quit() == 0, "the last session did not quit")
    finally:
        s.end()


def case_commands(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        # A new main window takes the keyboard: nothing is clicked first.
        check(poll(s.focused, 10), "the main window does not have the keyboard")
        s.type_line("wasm")
        s.type_line("evaluate 5")
        check(s.quit() == 0, "the quit typed after them did not end the program")
    finally:
        s.end()
    text = open(s.transcript, errors="replace").read()
    check("wasm" in text, "wasm is not in the session")
    check("Hex:0005" in text, "evaluate 5 did not run:\n" + text)


def case_quit(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        check(poll(s.focused, 10), "the main window does not have the keyboard")
        if not s.menu("x"):
            return
        notice = poll(lambda: others(s.main), 10)
        if not check(notice, "File > Exit showed no notice"):
            return
        poll(lambda: focus() == notice[0], 10)
        start = time.monotonic()
        xdotool("key", "Return")
        status = s.wait(10)
        took = time.monotonic() - start
        check(status == 0, "Return at the notice did not end the program (status %s)" % status)
        check(took < 5, "the program took %.1f s to end" % took)
    finally:
        s.end()


def case_about(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        check(poll(s.focused, 10), "the main window does not have the keyboard")
        if s.menu("b"):
            close_about(s)
        check(s.quit() == 0, "the program did not quit")
    finally:
        s.end()


def close_about(s):
    about = poll(lambda: windows("About Sim73500"), 10)
    if not check(about, "no About box"):
        return
    poll(lambda: focus() == about[0], 10)
    xdotool("key", "Escape")
    check(poll(lambda: not geometry(about[0]), 10), "Escape did not close the About box")
    check(poll(s.focused, 10), "the keyboard did not come back to the main window")


def case_altf4(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        for key, ends in (("Escape", False), ("Return", True)):
            check(poll(s.focused, 10), "the main window does not have the keyboard")
            xdotool("key", "alt+F4")
            notice = poll(lambda: others(s.main), 10)
            if not check(notice, "Alt+F4 showed no notice"):
                return
            check(poll(lambda: focus() == notice[0], 10), "the notice does not have the keyboard")
            xdotool("key", key)
            if ends:
                status = s.wait(10)
                check(status == 0, "Return at the notice after Alt+F4 did not end the program (status %s)" % status)
                break
            check(poll(lambda: not geometry(notice[0]), 10), "Escape at the notice after Alt+F4 did not close it")
            check(s.proc.poll() is None, "Escape at the notice ended the program")
            # Alt pressed and released alone still takes the keyboard to
            # the menu bar: F then B open File > About.
            poll(s.focused, 10)
            xdotool("key", "alt")
            xdotool("key", "f")
            if check(poll(popups, 10), "Alt alone then F did not open the File menu"):
                xdotool("key", "b")
                close_about(s)
    finally:
        s.end()


def case_prefs(home):
    s = Session(home)
    try:
        if not check(s.main, "no main window"):
            return
        # The Path sub-menu opened by its letter and closed by Escape leaves
        # File open; Preferences is then clicked: its row lies above the
        # separator over Exit, at the pop-up's foot.
        if not s.menu("p"):
            return
        check(poll(lambda: len(popups()) == 2, 10), "P did not open the Path sub-menu")
        xdotool("key", "Escape")
        menus = poll(lambda: (lambda p: p if len(p) == 1 else None)(popups()), 10)
        if not check(menus, "Escape did not close the Path sub-menu alone"):
            return
        m = menus[0]
        xdotool("mousemove", str(m.x + 30), str(m.y + m.h - 36), "click", "1")
        dialog = poll(lambda: windows("Preferences"), 10)
        if not check(dialog, "the click showed no Preferences dialog"):
            return
        check(poll(lambda: focus() == dialog[0], 10), "the Preferences dialog does not have the keyboard")
        xdotool("key", "Return")
        check(poll(lambda: not windows("Preferences"), 10), "Return did not close the Preferences dialog")
        check(s.quit() == 0, "the program did not quit")
    finally:
        s.end()
    store = os.path.join(home, "vwexusr1.vr")
    check(os.path.exists(store) and b"SavePos" in open(store, "rb").read(),
          "the Preferences confirmed by Return did not store \"Save window positions\"")


def case_killed(home):
    # SIGTERM writes the user's store at exit without a layout, as a lost X
    # server does; SIGKILL writes nothing.
    for n, sig in ((1, signal.SIGTERM), (2, signal.SIGKILL), (3, None)):
        s = Session(home)
        try:
            if not check(s.main, "session %d: no main window" % n):
                return
            check(poll(s.focused, 10), "session %d: the main window does not have the keyboard" % n)
            # The Command window is inside the main window in this look:
            # a line typed there runs only when it is open.
            s.type_line("evaluate %d" % (n + 4))
            ran = poll(lambda: "Hex:%04d" % (n + 4) in open(s.transcript, errors="replace").read(), 10)
            check(ran, "session %d: evaluate %d typed at start did not run" % (n, n + 4))
            if sig is None:
                check(s.quit() == 0, "the last session did not quit")
                break
            s.save_layout()
            s.proc.send_signal(sig)
            check(s.wait() is not None, "session %d did not end on signal %d" % (n, sig))
        finally:
            s.end()


def started(s, look):
    """Whether the session's main window came; then waits for its Session
    and Command windows and for their frames to settle."""
    if not check(s.main, look + ": no main window"):
        return False
    for name in ("Command", "Dv00 Session"):
        check(poll(lambda: windows(name), 10), "%s: no %s window" % (look, name))
    settled(lambda: [frame(w) for w in windows()])
    return True


def case_looks(home):
    for look in ("motif", "openlook", "cua"):
        h = tempfile.mkdtemp(dir=home)
        s = Session(h, look)
        try:
            if not started(s, look):
                continue
            area = screen()
            boxes = {}
            for w in windows():
                name = run("xdotool", "getwindowname", w).strip()
                f = poll(lambda: frame(w), 5)
                boxes[name] = f
                check(f and f.inside(area), "%s: %s's frame %s is not wholly on the screen %s" % (look, name, f, area))
            main, session = frame(s.main), boxes.get("Dv00 Session")
            check(main and session and not main.meets(session),
                  "%s: the Session window's frame %s meets the main window's %s" % (look, session, main))
            s.type_line("quit")
            check(s.wait() == 0, look + ": the program did not quit")
        finally:
            s.end()


def fir_macro():
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "fir_gui.cmd")) as f:
        return f.read()


def case_macro(home):
    """Windows a start-up macro opens (the FIR demo's Register and Memory)
    leave Session and Command wholly on the screen, in the looks whose
    windows are the window manager's."""
    for look in ("motif", "openlook", "cua"):
        s = Session(tempfile.mkdtemp(dir=home), look, fir_macro())
        try:
            if not check(s.main, look + ": no main window"):
                continue
            for name in ("Command", "Dv00 Session", "Dv00 Register Win1 core", "Dv00 Memory Win1 x"):
                check(poll(lambda: windows(name), 15), "%s: no %s window" % (look, name))
            settled(lambda: [frame(w) for w in windows()])
            area = screen()
            for name in ("Command", "Dv00 Session"):
                for w in windows(name):
                    f = frame(w)
                    check(f and f.inside(area),
                          "%s: %s's frame %s is not wholly on the screen %s" % (look, name, f, area))
        finally:
            s.end()


def extents(window):
    m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", run("xprop", "-id", window, "_NET_FRAME_EXTENTS"))
    return tuple(int(v) for v in m.groups()) if m else None


def case_letgo(home):
    for look in ("motif", "openlook", "cua"):
        s = Session(tempfile.mkdtemp(dir=home), look)
        try:
            if not started(s, look):
                continue
            ours = {name: windows(name)[0] for name in ("Command", "Dv00 Session") if windows(name)}
            told = {w: extents(w) for w in windows()}
            if not check(len(ours) == 2 and all(told.values()), "%s: frame extents not told: %s" % (look, told)):
                continue
            # Taken away, as a manager may for a window it lets go: the frames stay.
            for w in told:
                run("xprop", "-id", w, "-remove", "_NET_FRAME_EXTENTS")
            before = geometry(ours["Dv00 Session"])
            tiled = s.choose("alt+w", "t", lambda: geometry(ours["Dv00 Session"]) not in (None, before))
            if not check(tiled, look + ": Window > Tile did not move the Session window"):
                continue
            settled(lambda: [geometry(w) for w in ours.values()])
            area = screen()
            for name, w in ours.items():
                own, (left, right, top, bottom) = geometry(w), told[w]
                f = own and Box(own.x - left, own.y - top, own.w + left + right, own.h + top + bottom)
                check(f and f.inside(area), "%s: tiled, %s's frame %s is not wholly on the screen %s" % (look, name, f, area))
        finally:
            s.end()


def dialog_hints(window):
    """The window's type and the window it is transient for, as xprop tells them."""
    text = run("xprop", "-id", window, "_NET_WM_WINDOW_TYPE", "WM_TRANSIENT_FOR")
    kind = re.search(r"_NET_WM_WINDOW_TYPE\(ATOM\) = (\S+)", text)
    owner = re.search(r"WM_TRANSIENT_FOR\(WINDOW\): window id # (0x[0-9a-f]+)", text)
    return kind.group(1) if kind else None, owner.group(1) if owner else None


# The Motif hints' bits for resizing, minimizing and maximizing: functions, then decorations.
MWM_SIZING_FUNCTIONS, MWM_SIZING_DECORATIONS = 2 | 8 | 16, 4 | 32 | 64


def frame_offers(window):
    """What the window manager's frame offers the window (its allowed
    actions), the Motif hints' flags, functions and decorations (None
    without them), and the minimum and maximum sizes the size hints give."""
    text = run("xprop", "-id", window, "_NET_WM_ALLOWED_ACTIONS", "_MOTIF_WM_HINTS", "WM_NORMAL_HINTS")
    actions = set(re.findall(r"_NET_WM_ACTION_(\w+)", text))
    m = re.search(r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (\w+), (\w+), (\w+)", text)
    motif = tuple(int(v, 0) for v in m.groups()) if m else None
    sizes = [re.search(r"%s size: (\d+) by (\d+)" % which, text) for which in ("minimum", "maximum")]
    return actions, motif, [(int(z.group(1)), int(z.group(2))) if z else None for z in sizes]


def check_dialog_frame(look, name, window):
    """A dialog or notice: no maximizing and no resizing offered, the Motif
    hints asking for no box and no sizing, its size its own."""
    actions = poll(lambda: frame_offers(window)[0], 5)
    _, motif, (smallest, largest) = frame_offers(window)
    g = geometry(window)
    check(not actions & {"MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE"},
          "%s: %s's frame offers %s" % (look, name, sorted(actions)))
    check(motif and motif[0] & 3 == 3 and not motif[1] & MWM_SIZING_FUNCTIONS and not motif[2] & MWM_SIZING_DECORATIONS,
          "%s: %s's Motif hints (flags, functions, decorations) are %s" % (look, name, motif))
    check(g and smallest == largest == (g.w, g.h),
          "%s: %s (%s) may be sized from %s to %s" % (look, name, g, smallest, largest))


def check_document_frame(look, name, window):
    """A window the user sizes keeps its boxes and its resizing."""
    actions = poll(lambda: frame_offers(window)[0], 5)
    motif = frame_offers(window)[1]
    check({"MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE"} <= actions,
          "%s: %s's frame offers only %s" % (look, name, sorted(actions)))
    check(motif is None or (motif[1] & MWM_SIZING_FUNCTIONS == MWM_SIZING_FUNCTIONS),
          "%s: %s's Motif hints (flags, functions, decorations) are %s" % (look, name, motif))


LOOKS = tuple(os.environ.get("ONLY_LOOKS", "win95 windows motif openlook cua").split())


def case_dialogs(home):
    for look in LOOKS:
        s = Session(tempfile.mkdtemp(dir=home), look)
        try:
            if not check(s.main, look + ": no main window"):
                continue
            settled(lambda: [frame(w) for w in windows()])
            dialog = s.choose("alt+f", "e", lambda: windows("Preferences"))
            if not check(dialog, look + ": no Preferences dialog"):
                continue
            kind, owner = dialog_hints(dialog[0])
            check(kind == "_NET_WM_WINDOW_TYPE_DIALOG" and owner,
                  "%s: Preferences is of type %s, transient for %s" % (look, kind, owner))
            check_dialog_frame(look, "Preferences", dialog[0])
            check_document_frame(look, "the main window", s.main)
            for w in windows("Dv00 Session"):
                check_document_frame(look, "the Session window", w)
            # Escape where the dialog has an abandon key, else the window manager's close (Alt+F4).
            poll(lambda: focus() == dialog[0], 10)
            xdotool("key", "Escape")
            if not poll(lambda: not windows("Preferences"), 3):
                xdotool("key", "alt+F4")
            check(poll(lambda: not windows("Preferences"), 10),
                  "%s: neither Escape nor the window manager's close closed Preferences" % look)
            check(s.proc.poll() is None, look + ": closing Preferences ended the program")
        finally:
            s.end()


def case_notice(home):
    for look in LOOKS:
        s = Session(tempfile.mkdtemp(dir=home), look, "wregister\nwmemory x $80\n")
        try:
            if not check(s.main, look + ": no main window"):
                continue
            ran = poll(lambda: "wmemory" in open(s.transcript, errors="replace").read(), 30)
            if look in ("motif", "openlook", "cua"):
                ran = poll(lambda: windows("Dv00 Register Win1 core") and windows("Dv00 Memory Win1 x"), 20)
            check(ran, "%s: the macro's windows did not open" % look)
            settled(lambda: [frame(w) for w in windows()])
            # The window manager's close of the main window asks the quit question.
            xdotool("windowactivate", "--sync", s.main)
            xdotool("key", "alt+F4")
            # The notice carries the program's title, as the main window does.
            notice = poll(lambda: [w for w in windows("Sim73500") if w != s.main], 10)
            if not check(notice, look + ": Alt+F4 showed no notice"):
                continue
            kind, owner = dialog_hints(notice[0])
            check(kind == "_NET_WM_WINDOW_TYPE_DIALOG" and owner,
                  "%s: the quit notice is of type %s, transient for %s" % (look, kind, owner))
            check_dialog_frame(look, "the quit notice", notice[0])
            ours = set(windows())
            top = poll(lambda: (lambda order: order and order[-1] == notice[0])(stacked(ours)), 5)
            check(top, "%s: the quit notice is not above the program's other windows: %s" % (look, stacked(ours)))
            check(poll(lambda: focus() == notice[0], 10), look + ": the quit notice does not have the keyboard")
            xdotool("key", "Return")
            check(s.wait(10) == 0, look + ": Return at the quit notice did not end the program")
        finally:
            s.end()


def main():
    for tool in ("xdotool", "xwininfo", "xprop", "xdpyinfo", "xwd"):
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
