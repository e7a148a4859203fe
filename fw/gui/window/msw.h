// The window-system layer: the native side behind every open window, the
// display facts, start-up on first use, the registry of windows by native
// handle, the modal stack and grabs, the pointer, damage and update, and
// the look-and-feel's registrations of system colours and fonts.
//
// - **Units**: windows and images count one unit a pixel (a = 1, d = -1, y translated by the height:
//   matrix kind 2); printers and given DCs one unit a point (LOGPIXELSX/Y / 72, 150 / 72 on the
//   pseudo printer). Fonts keep the screen's 96 dpi; a font's pixels count as units, so a printer
//   (or a given DC) gets the native font made LOGPIXELSY / 72 times larger and printed text keeps
//   the width the framework measured.
//
// - **Text on the baseline**: `TA_BASELINE` is set on every DC the driver draws text into (the
//   window, memory and printer DCs at open, the off-screen bitmaps' cached DCs); the current point
//   is the baseline.
//
// - **Off-screen compositing**: what GDI cannot combine itself (text in a draw mode other than copy,
//   since `TextOutA` ignores the ROP2, and every operation while a clip mask is active, since GDI
//   has no mask clip) is drawn white on a black one-bit bitmap of the box and painted through it
//   with the ternary operation (S & f(P, D)) | (~S & D) of the ROP2 f. Mode 5 draws no text. Rotated
//   or sheared text in the copy mode goes through the device's world transform (`TextOutA` of the
//   native font, the text transform less the font's size); in other modes, or when the device
//   refuses it, the same mask route through `drawMask`.
//
// - **Raster operations** are computed from the ROP2's truth table (the platform evaluates a ternary
//   operation from its index byte; the documented low words are kept for the pattern operations and
//   the usual mask operations).
//
// - **One-bit sources** are blitted with text colour black and background white around the call, so
//   the masked-blit emulation keeps its masks whatever the current colour (the documented rule reset
//   the text colour only when it was out of date, which inked the masked-out pixels).
//
// - **Arcs**: the primitives hand device angles (y down); the driver negates them, exchanges the two
//   radial points (radius 200) for a negative extent and draws last to first.
//
// - **Images drawn into** become current on their ring after every operation: the bitmap kind's
//   update writes the bitmap's pixels back (one-bit bits as they are, colours to the nearest palette
//   entry or 0x00RRGGBB) on the next lock.
//
// - **Focus frames**: the look's `vlafInFocusMode` reaches the driver through the window hooks'
//   `lookInFocusMode`; frames are then `DrawFocusRect`s (not on printers).
//
// - **Window contents on printers** are read back from the window's context at the printer's depth
//   (1, 4, 8 or 24 bits) and drawn from that buffer.
//
// - **Printers**: the pseudo printer `CreateDCA ("WINSPOOL", "PNG Printer")` is a white 1275 x 1650
//   sheet with device (0, 0) at (25, 25) and the printable 1225 x 1600 clipped; `Escape` answers
//   GETPHYSPAGESIZE, GETPRINTINGOFFSET and QUERYESCSUPPORT (8, 12, 13). Images go through
//   `StretchDIBits` in bands (halved on a refusal), limited by a region of the rows the masks admit
//   (rows that agree form one rectangle); a rotation's coverage buffer keeps unreached pixels
//   unprinted.
//
// The window layer sits beside the graphics in `fw_gui` and may call the preferences and resources
// of `fw_data`, which `fw_core` may not.
//
// - **Window-system layer** (`msw.h`, `msw_*.cpp`, one process-wide state record in
//   `msw_internal.h`). Start-up (`msw_startup.cpp`) runs once on first use, setting its flag first
//   since its steps call back into the layer; a start-up that raises undoes what it made and leaves
//   the flag clear. It reads the display facts (24 bits, 2^24 colours, image depth class 24 here),
//   finds `EndMenu` through "USER32" (or the "vwex_aux" exports before version 4 on systems that are
//   not NT; a test can set the version the layer assumes), builds the registry (17 slots) and modal
//   stack (4), and the root: a hidden window of the class "_vwindowClassRoot.%x" covering the
//   screen. Shutdown (an exit handler) closes every open window, the kept pop-up and the root,
//   unregisters the classes and frees the libraries; a later use starts the system again. Opening
//   (`msw_open.cpp`, `vwindowMSWRegisterClass`) chooses the native kind, style, parent (top-level
//   windows hide the task window while any is open), class "_vwindowClass%x.%x" by index (save-bits,
//   plain kind), the outer frame by `AdjustWindowRectEx` (with `WS_CHILD` and `WS_EX_MDICHILD` for a
//   document window, which always has the document frame) with native top = area height - y -
//   height, and makes the window: `CreateWindowExA`, `WM_MDICREATE` to the frame's client for a
//   document window, or the kept save-bits pop-up again. "The window being created" is set for
//   exactly the time of the creation call (a scope object: a raise or a failure clears it too).
//   Every class of the layer has the window procedure (below). The registry (`msw_registry.cpp`) is
//   open addressing over a prime size from the interned-name table's prime function, start slot
//   (handle / 4) mod size, look-ups probing past holes back to the start, rebuilt at the next prime
//   at least twice the size when full. Grabs, the pointer, cursor areas, key dictionaries, placement
//   (`vrectAlign` codes) and the small entries are in `msw_modal.cpp`; the native operations of the
//   window class's slots (show, hide, iconify, raise, move and size, attribute changes, focus,
//   minimum and maximum sizes) in `msw_nativeops.cpp`. Damage (`msw_damage.cpp`): two 16-bit
//   rectangle lists per native side (four inside, then doubled); the update binds the window with
//   flag 0x8000 and makes the damage the device clip, fills the erase list with the second colour,
//   draws, and binds back to the path recorder; a scroll moves both lists with the contents,
//   invalidates the strips and, with flag 1, destinations whose sources the window could not show.
//
// | called there | built here | |---|---| | `vwindowMSWSetSysColorTable` |
// `vwindowMSWSetColorTable` (also built under the other name) | | `vwindowMSWAddNativeColorClass` |
// `vwindowMSWRegisterRefreshClass` | | `vwindowMSWSetSchemeSysColor` | `vwindowMSWRegisterSysColor`
// | | `vwindowMSWSetClassSchemeSysColor` | `vwindowMSWRegisterClassSysColor` | |
// `vwindowMSWSetClassFont` | `vwindowMSWRegisterClassSysFont` |
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fw/gui/window/window.h"

// State flags of a native side (32 bits).
enum : std::uint32_t {
  vwindowMSW_MODAL = 0x2,            // on the modal stack
  vwindowMSW_GRAB = 0x4,             // grabbing
  vwindowMSW_NO_OWNER = 0x8,         // created without a native owner or parent
  vwindowMSW_WHOLE_AREA = 0x10,      // the next paint delivers the whole client area
  vwindowMSW_WINDOW_DC = 0x20,       // draws with whole-window contexts
  vwindowMSW_UPDATE_PENDING = 0x40,  // an erase was drawn, the update has not run
  vwindowMSW_BUTTON_GRAB = 0x80,     // grab taken by a button press
  vwindowMSW_PRIMARY_DC_USED = 0x100,
  vwindowMSW_PALETTE_REALIZED = 0x200,
  vwindowMSW_NATIVE_ERASE = 0x400,   // WM_ERASEBKGND fills the background
  vwindowMSW_FOCUSED = 0x800,
  vwindowMSW_ZOOMED = 0x1000,         // the native window is maximized
  vwindowMSW_UPDATING = 0x2000,       // its Draw slot runs inside an update
  vwindowMSW_NEW = vwindowMSW_NO_OWNER | vwindowMSW_PALETTE_REALIZED | vwindowMSW_NATIVE_ERASE,
};

// Native kinds and default-procedure kinds.
enum : std::uint8_t { vwindowMSW_KIND_TOP = 0, vwindowMSW_KIND_DOCUMENT = 1, vwindowMSW_KIND_PLAIN = 2 };
enum : std::uint8_t { vwindowMSW_PROC_PLAIN = 0, vwindowMSW_PROC_MDI_CHILD = 1, vwindowMSW_PROC_MDI_FRAME = 2 };

// Framework rectangles (16-bit), room for 4 inside, then doubled on the heap.
struct vwindowMSWRectList {
  vrect* rects;  // inlineRects or a heap block
  std::int32_t count;
  std::int32_t capacity;
  vrect inlineRects[4];
};

struct vwindowMSWCursorArea {
  vobject* cursor;
  vrect rect;
  win::HCURSOR native;
};

using vwindowMSWMenuProc = win::LRESULT (*)(vwindow* window, win::HWND hwnd, win::UINT message, win::WPARAM wParam,
                                           win::LPARAM lParam);

// The native side of an open window; from a pool, linked from the window.
struct vwindowMSWNative {
  std::uint32_t flags;
  vwindowMSWRectList damage;
  vwindowMSWRectList erase;
  vwindowMSWCursorArea* cursorAreas;  // grows by doubling from 4
  std::int32_t cursorAreaCount;
  std::int32_t cursorAreaCapacity;
  // Graphics objects held for the window, released with the native side.
  void* held[2];
  // Device contexts: slot 0 the primary one (kept while the native window
  // lives), 1-3 extra ones; each with the owner it was handed to.
  void* dcOwners[4];
  win::HDC dcs[4];
  vwindowMSWMenuProc menuProc;  // given every message first
  vobject* menuBar;             // of a top-level window
  vobject* childMenuBar;        // of a window inside a multiple-document frame
  win::HWND hwnd;
  win::HWND parent;
  win::HWND savedParent;  // of a reused frame
  win::DWORD style;
  win::DWORD exStyle;
  win::HMENU systemMenu;
  win::HICON bigIcon;
  win::HCURSOR cursor;
  std::uint8_t procKind;    // vwindowMSW_PROC_*
  std::uint8_t nativeKind;  // vwindowMSW_KIND_*
  std::uint32_t savedFlags;  // before a button grab
  void* inputContext;        // none in this system
  vdict* keyDict;            // the window's own key bindings, made on first request
  vdict* overrideKeyDict;    // its second key dictionary
  // The native outer frame less the framework rectangle.
  std::int16_t insetLeft, insetTop, insetRight, insetBottom;
};

// Display facts, read once at start-up.
struct vwindowMSWDisplay {
  std::int32_t rasterCaps;  // RC_PALETTE 0x100: a palette device
  std::int32_t depth;       // planes x bits per pixel
  std::int32_t rowAlign;    // bytes a pixel row is padded to
  std::int32_t paletteSize;
  std::int32_t reserved;  // reserved palette entries
  std::int32_t colors;
  std::int32_t imageDepth;  // 1, 4, 8 or 24
  std::int32_t screenWidth, screenHeight;
  double pixelsPerInchX, pixelsPerInchY;
  win::HWND mainWindow;  // the root's native window
  std::int32_t majorVersion;
};

// ---- Start-up and small entries.
// Starts the window system once (vwindowMSWStartup); every entry of the
// layer calls it first.
void vwindowEnsureStartup();
void vwindowEnsureStartupAlt();
void vwindowMSWStartup();
int vwindowMSWIsStarted();
// Bumped by every start-up of the window system.
int vwindowMSWGetStartupCount();
const vwindowMSWDisplay* vwindowMSWGetDisplay();
int vwindowIsMonochrome();
void vwindowBeep();

// ---- The native side and the registry.
// Opens the native side of a window: native class on demand, the native
// window made (or a kept pop-up reused) and entered in the registry.
void vwindowMSWRegisterClass(vwindow* w);
void vwindowMSWCloseNative(vwindow* w);
// The window whose native window is being made, else null.
vwindow* vwindowMSWGetCreatingWindow();
win::HWND vwindowGetMSWWindow(vwindow* w);
int vwindowGetMSWKind(vwindow* w);  // 2 without a native side
// Null also while the window system is not started.
vwindow* vwindowFindFromMSWWindow(win::HWND hwnd);
// Takes the window out of the registry; one not in it raises Value
// ("unregisterWindow: vwindow is not a valid reference").
void unregisterWindow(vwindow* w);
std::size_t vwindowMSWGetRegistrySize();
// Walks the registry's open windows.
struct vwindowMSWRegistryIterator {
  std::size_t index;
  vwindow* window;
};
void vwindowMSWInitRegistryIterator(vwindowMSWRegistryIterator* it);
int vwindowMSWNextRegistryIterator(vwindowMSWRegistryIterator* it);

// ---- Damage and update.
// Binds the current drawing state to the window, with the window driver.
void vwindowBindDrawTarget(vwindow* w);
// Invalidates the rectangle (the whole window for none) with the flags, and
// for a top-level window each open child with a native owner, last first.
void vwindowMSWPaletteRepaint(vwindow* w, const vrect* r, int flags);

// ---- Graphics.
struct vdrawDriverRecord;
// The GDI drawing driver, through which windows bind.
const vdrawDriverRecord* vwindowMSWGetDriver();
// For tests: the driver's calls since the last take (the first take starts
// the recording), one line each ("fill (0,0,10,10)", "image").
std::vector<std::string> vwindowMSWTakeDriverLog();
// 1 when a change of the display palette cannot alter the colour.
int vwindowMSWIsPaletteStable(vcolor* color);
// A solid brush of the colour, kept until the next colour asked for.
win::HBRUSH vwindowMSWGetBackgroundBrush(vcolor* color);

// ---- The modal stack and grabs. Each needs an open window ("Not Open").
void vwindowMSWBeginModal(vwindow* w);
void vwindowMSWEndModal(vwindow* w);
void vwindowGrab(vwindow* w);    // "already grabbing"
void vwindowUngrab(vwindow* w);  // "not grabbing"; capture passes down the stack
void vwindowBlockGrabs();
void vwindowUnblockGrabs();  // "not grabbing" below 0
vwindow* vwindowMSWGetTopGrab();
vwindow* vwindowMSWGetCurrentModal();
// The modal window that blocks the others' input: the top of the stack
// below any grabs (a press's or a menu's); null when none.
vwindow* vwindowMSWGetBlockingModal();
// The one check every press, activation and close request meets before it
// reaches a window: the modal window that keeps it from input, else null.
// A window inside a modal window or a grab above the blocking one, and a
// modal window on its way onto the stack, are free; the root on the stack
// blocks every window.
vwindow* vwindowMSWBlockedBy(vwindow* w);
// A grab for the length of a button press, and its end.
void vwindowMSWButtonGrab(vwindow* w);
void vwindowMSWButtonRelease(vwindow* w);

// ---- The pointer, cursor areas and keys. Positions count from the bottom left.
void vwindowGetPointer(vwindow* w, int* x, int* y);
void vwindowWarpPointer(vwindow* w, int x, int y);  // null: by (x, y) from where it is
vwindow* vwindowGetPointerWindow();
void vwindowAddCursorRect(vwindow* w, vobject* cursor, const vrect* r);
void vwindowRemoveCursorRect(vwindow* w, vobject* cursor, const vrect* r);  // none: Arg
void vwindowMoveCursorRect(vwindow* w, vobject* cursor, const vrect* from, const vrect* to);
win::HCURSOR vwindowMSWCursorAt(vwindow* w, int x, int y);
void vwindowMSWSetCursorAt(vwindow* w, int x, int y);
vdict* vwindowMSWGetKeyDict(vwindow* w);
vdict* vwindowMSWGetOverrideKeyDict(vwindow* w);
// key + 1 in the window's key dictionary, then its class's; 0 when unbound.
void* vwindowLookupKeyBinding(vwindow* w, std::uint32_t key);
void* vwindowLookupKeyOverride(vwindow* w, std::uint32_t key);

// ---- Placement and the small entries.
// Codes 0-14 except 7 of vrectAlign, relative to base (null: the screen).
void vwindowPlace(vwindow* w, vwindow* base, int horizontal, int vertical);
win::HWND vwindowGetMSWMDIClient(vwindow* w);
void vwindowSetMSWMDIClient(vwindow* w, win::HWND client, std::intptr_t value);
void vwindowSetMSWMenuProc(vwindow* w, vwindowMSWMenuProc proc);
void vwindowSetMSWMenuBar(vwindow* w, vobject* bar);
vobject* vwindowGetMSWMenuBar(vwindow* w);
void vwindowSetMSWChildMenuBar(vwindow* w, vobject* bar);
vobject* vwindowGetMSWChildMenuBar(vwindow* w);
vwindow* vwindowMSWGetFocus();
void vwindowMSWGetResolution(double* x, double* y);
void vwindowMSWMoveBy(vwindow* w, int dx, int dy);

// ---- Native operations of the window class's slots.
void vwindowMSWShow(vwindow* w);
// While on (a count: calls nest), windows shown leave the active one
// active, with the keyboard, except a modal window or one framed as a
// dialog (a notice), which takes it; returns the count after the call (-1
// only asks).
int vwindowMSWShowInactive(int on);
void vwindowMSWHide(vwindow* w);
void vwindowMSWIconify(vwindow* w);
void vwindowMSWDeiconify(vwindow* w);
void vwindowMSWMaximize(vwindow* w);
void vwindowMSWRestore(vwindow* w);
void vwindowMSWRaise(vwindow* w);
void vwindowMSWLower(vwindow* w);
void vwindowMSWMoveResize(vwindow* w);
// Kinds: 1 title, 2 cursor, 4 icon, 8 colours.
void vwindowMSWAttributeChanged(vwindow* w, int kind);
void vwindowMSWSetFocus(vwindow* w, int on);
void vwindowMSWGetMinMax(vwindow* w, win::MINMAXINFO* info);

// ---- Registrations of the look-and-feel. Each row registration replaces a
// row of the same key and is applied at once: the current application
// reloads its preferences from level 6, then every refresh class and its
// subclasses get their class-name hook called.
// Scheme index -> system colour index, under "Colors".
void vwindowMSWRegisterSysColor(int scheme, int sysColor);
// Per class, under "Classes" / class; a negative index writes the colour
// store's placeholder.
void vwindowMSWRegisterClassSysColor(vname cls, int scheme, int sysColor);
// Per class "Font": 0 icon title, 1 menu, 2 message, 3 status; negative: the
// font store's placeholder.
void vwindowMSWRegisterClassSysFont(vname cls, int font);
void vwindowMSWRegisterRefreshClass(vclass* cls);
// Fixed colours (16-bit red, green, blue triples) in place of the system
// colours of the same index; system colours are no longer tracked.
void vwindowMSWSetColorTable(const std::uint16_t* rgb, int count);
// The graphics' name for the same call.
void vwindowMSWSetSysColorTable(const std::uint16_t* rgb, int count);
// After the system's colours or fonts changed: applies the registrations
// again when a kept value differs; answers whether one did.
int vwindowMSWSysColorsChanged();
int vwindowMSWSystemFontsChanged();
// Whether the font is the kept system font of the index (0-3).
int vwindowMSWIsSystemFont(vfont* font, int index);
// The font store: "Array" of the four system fonts' descriptions, "Tag" 0.
vresource vwindowMSWGetFontStore();
// The point size of the system font ("system_font").
int vwindowMSWSystemFontPointSize();
