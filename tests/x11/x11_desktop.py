"""What the GUI tests under a window manager ask of the X server: the
windows' places with and without the manager's frames, the screen, and
checks that collect their failures instead of stopping at the first."""
import re
import shutil
import subprocess
import tempfile
import time

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, flush=True)
    return ok


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout


def xdotool(*args):
    subprocess.run(("xdotool",) + args, capture_output=True)


def poll(condition, seconds=20.0):
    """The condition's first true value, or its last value after `seconds`."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.05)


class Box:
    def __init__(self, x, y, w, h):
        self.x, self.y, self.w, self.h = x, y, w, h

    def __repr__(self):
        return "%d,%d %dx%d" % (self.x, self.y, self.w, self.h)

    def __eq__(self, other):
        return isinstance(other, Box) and repr(self) == repr(other)

    def inside(self, other):
        return (self.x >= other.x and self.y >= other.y and self.x + self.w <= other.x + other.w and
                self.y + self.h <= other.y + other.h)

    def meets(self, other):
        return (self.x < other.x + other.w and other.x < self.x + self.w and self.y < other.y + other.h and
                other.y < self.y + self.h)

    def holds(self, x, y):
        return self.x <= x < self.x + self.w and self.y <= y < self.y + self.h


def geometry(window):
    """The window's own area on the screen, or None once it is gone."""
    info = run("xwininfo", "-id", window)
    fields = dict(re.findall(r"^\s*(Absolute upper-left [XY]|Width|Height|Map State):\s*(\S+)", info, re.M))
    if len(fields) < 5 or fields["Map State"] != "IsViewable":
        return None
    return Box(int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]), int(fields["Width"]),
               int(fields["Height"]))


def frame(window):
    """The window with the frame the window manager drew around it, or None once it is gone."""
    own = geometry(window)
    m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", run("xprop", "-id", window, "_NET_FRAME_EXTENTS"))
    if not own or not m:
        return own
    left, right, top, bottom = (int(v) for v in m.groups())
    return Box(own.x - left, own.y - top, own.w + left + right, own.h + top + bottom)


def stacked(ours):
    """Those of the windows `ours` the window manager stacks, in its stacking order, the top last."""
    order = run("xprop", "-root", "_NET_CLIENT_LIST_STACKING").split("#")[-1].replace(",", " ").split()
    return [w for w in (str(int(v, 16)) for v in order if v.startswith("0x")) if w in ours]


def screen():
    w, h = re.search(r"dimensions:\s+(\d+)x(\d+)", run("xdpyinfo")).groups()
    return Box(0, 0, int(w), int(h))


def run_case(case, tools):
    """Runs case(home) with a HOME of its own once every tool is there: the
    exit status, 77 (skipped) for a missing tool."""
    for tool in tools:
        if not shutil.which(tool):
            print("skipped:", tool, "is not installed")
            return 77
    home = tempfile.mkdtemp()
    try:
        case(home)
    finally:
        shutil.rmtree(home, ignore_errors=True)
    return 1 if failures else 0
