"""Another program on the X display, for the GUI tests (through libX11 with
ctypes):

  ClickCounter()   a window of its own, titled "other client", that counts
                   the pointer presses it receives;
  FrozenOwner()    owns the CLIPBOARD selection and never answers a request
                   for it, as a frozen program would.

Each keeps its own connection until close()."""
import ctypes
import ctypes.util

_x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
_p, _ul, _i, _ui = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint
for name, result, args in (
        ("XOpenDisplay", _p, (ctypes.c_char_p,)),
        ("XCloseDisplay", _i, (_p,)),
        ("XDefaultRootWindow", _ul, (_p,)),
        ("XCreateSimpleWindow", _ul, (_p, _ul, _i, _i, _ui, _ui, _ui, _ul, _ul)),
        ("XSelectInput", _i, (_p, _ul, ctypes.c_long)),
        ("XStoreName", _i, (_p, _ul, ctypes.c_char_p)),
        ("XMapRaised", _i, (_p, _ul)),
        ("XInternAtom", _ul, (_p, ctypes.c_char_p, _i)),
        ("XSetSelectionOwner", _i, (_p, _ul, _ul, _ul)),
        ("XGetSelectionOwner", _ul, (_p, _ul)),
        ("XPending", _i, (_p,)),
        ("XNextEvent", _i, (_p, _p)),
        ("XSync", _i, (_p, _i))):
    getattr(_x, name).restype = result
    getattr(_x, name).argtypes = args

BUTTON_PRESS = 4
BUTTON_PRESS_MASK = 1 << 2


class _Client:
    def __init__(self):
        self.d = _x.XOpenDisplay(None)
        if not self.d:
            raise RuntimeError("cannot open the display")
        self.window = _x.XCreateSimpleWindow(self.d, _x.XDefaultRootWindow(self.d), 10, 10, 160, 120, 0, 0,
                                             0xFFFFFF)

    def close(self):
        if self.d:
            _x.XCloseDisplay(self.d)
            self.d = None


class ClickCounter(_Client):
    def __init__(self):
        super().__init__()
        _x.XSelectInput(self.d, self.window, BUTTON_PRESS_MASK)
        _x.XStoreName(self.d, self.window, b"other client")
        _x.XMapRaised(self.d, self.window)
        _x.XSync(self.d, 0)
        self.presses = 0

    def count(self):
        """The presses received so far."""
        event = ctypes.create_string_buffer(192)  # an XEvent
        while _x.XPending(self.d):
            _x.XNextEvent(self.d, event)
            if ctypes.c_int.from_buffer(event).value == BUTTON_PRESS:
                self.presses += 1
        return self.presses


class FrozenOwner(_Client):
    def __init__(self):
        super().__init__()
        clipboard = _x.XInternAtom(self.d, b"CLIPBOARD", 0)
        _x.XSetSelectionOwner(self.d, clipboard, self.window, 0)
        _x.XSync(self.d, 0)
        if _x.XGetSelectionOwner(self.d, clipboard) != self.window:
            raise RuntimeError("could not take the clipboard")
