// The window class: its class record and instance in their field order,
// the decoration and flag words every part of the window layer reads, the
// extension record, the root window (the screen) and the class's colour
// store. The native side of an open window is in msw.h.
//
// - **Window records** (`window.h`, `window_class.cpp`): the class "vwindow" (attributed object,
//   30-slot attribute dictionary, "Close" 3 and "Print" 4 in its command space, a key-binding
//   dictionary filled from the space's "Key" entries, seven empty class defaults, then slots 1-52 in
//   their order) and the instance in its field order (decoration flags new 0x3F, flag word new 8,
//   rectangle and restore rectangle (100, 100, 100, 100), sizes 0..32767, parent, application,
//   native side). The window layer fills the slots it owns (invalidate 13, scroll 14, draw 16, draw
//   binding 17, update 20); the class's own files fill the rest. The root window is a static
//   instance (decoration 1, flag word 0); the extension record comes from a pool on first need. The
//   colour store is an in-memory resource file ("Array" of colour descriptions, "Tag" 0) whose root
//   is the placeholder for "no colour"; `vwindowAddColorSpec` appends to it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/core/rect.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/scheme.h"
#include "platform/win.h"

struct vapplication;
struct vcommandSpace;
struct vscribe;
struct vwindow;
struct vwindowMSWNative;

using vwindowNotifyFunc = void (*)(vwindow* window, vevent* event);

// Decoration flags (16 bits).
enum : std::uint16_t {
  vwindowDECO_ERASE = 0x1,        // an update fills the erase area with the background first
  vwindowDECO_TITLE = 0x2,        // a caption frame, no further meaning
  vwindowDECO_MOVABLE = 0x4,
  vwindowDECO_RESIZABLE = 0x8,
  vwindowDECO_MINIMIZE = 0x10,
  vwindowDECO_MAXIMIZE = 0x20,
  vwindowDECO_TOP_LEVEL = 0x80,   // no native owner, own menu bar
  vwindowDECO_DOCUMENT = 0x100,   // inside a multiple-document frame
  vwindowDECO_MODAL_FRAME = 0x200,
  vwindowDECO_NOT_CLOSABLE = 0x400,
  vwindowDECO_TOOL = 0x800,
  vwindowDECO_SHADOW = 0x1000,    // a pop-up casting a drop shadow
  vwindowDECO_CAPTION_MASK = 0x23E,  // any of these gives a caption and a system menu
  vwindowDECO_NEW = 0x3F,
  vwindowDECO_ROOT = 0x1,
};

// The flag word (16 bits).
enum : std::uint16_t {
  vwindowKEPT = 0x1,
  vwindowSAVE_BITS = 0x2,
  vwindowMODAL = 0x4,
  vwindowACCEPTS_FOCUS = 0x8,
  vwindowOPEN = 0x10,
  vwindowICONIFIED = 0x20,
  vwindowMAXIMIZED = 0x40,
  vwindowBUSY = 0x80,
  vwindowMARK = 0x100,
  vwindowWANTS_MOTION = 0x200,
  vwindowTITLE_OWNED = 0x400,
  vwindowCURSOR_OWNED = 0x800,
  vwindowICON_OWNED = 0x1000,
  vwindowSPACE_OWNED = 0x2000,
  vwindowSUBCLASS_1 = 0x4000,
  vwindowSUBCLASS_2 = 0x8000,
  vwindowFLAGS_NEW = vwindowACCEPTS_FOCUS,
  vwindowFLAGS_ROOT = 0,
};

// Made on first need, from a pool.
struct vwindowExtension {
  vobject* cursor;
  vobject* icon;
  vfont* font;
  vcolor* foreground;
  vcolor* background;
  vcommandSpace* space;
  vwindow** childBegin;  // capacity 4 at first, doubled
  vwindow** childEnd;
  vwindow** childCap;
  win::HWND mdiClient;     // a frame's multiple-document client
  std::intptr_t mdiValue;  // its companion value
};

struct vwindow : vobject {
  vwindowNotifyFunc notifyFunc;
  void* data;
  const char* title;  // a counted string when vwindowTITLE_OWNED, else literal or interned; "" for none
  vwindowExtension* extension;
  std::uint16_t decoration;
  std::uint16_t flags;
  vrect rect;         // origin at the bottom left
  vrect restoreRect;  // before maximizing
  std::int16_t minWidth, minHeight;
  std::int16_t maxWidth, maxHeight;
  vwindow* parent;
  vapplication* application;
  vwindowMSWNative* native;  // null without a native side
};

struct vwindowClassRec : vobjectAttributedClassRec {
  vdict* keyBindings;
  // The seven class defaults.
  vobject* cursor;
  vobject* icon;
  vfont* font;
  vcolor* foreground;
  vcolor* foregroundHilite;
  vcolor* background;
  vcolor* backgroundHilite;
  // Own slots 1-52, in order.
  void (*open)(vwindow* w);
  void (*close)(vwindow* w);
  void (*iconify)(vwindow* w);
  void (*deiconify)(vwindow* w);
  void (*maximize)(vwindow* w);
  void (*restore)(vwindow* w);
  void (*setBusy)(vwindow* w);
  void (*clearBusy)(vwindow* w);
  void (*setMark)(vwindow* w);
  void (*clearMark)(vwindow* w);
  void (*lower)(vwindow* w);
  void (*raise)(vwindow* w);
  void (*inval)(vwindow* w, const vrect* r, int flags);
  void (*scroll)(vwindow* w, const vrect* r, int dx, int dy, int flags);
  void (*notify)(vwindow* w, vevent* event);
  void (*draw)(vwindow* w);
  void (*bindDraw)(vwindow* w, int flags);
  int (*handleArea)(vwindow* w, vevent* event);
  int (*handleState)(vwindow* w, vevent* event);
  int (*handleUpdate)(vwindow* w, vevent* event);
  int (*handleEnter)(vwindow* w, vevent* event);
  int (*handleLeave)(vwindow* w, vevent* event);
  int (*handleButtonDown)(vwindow* w, vevent* event);
  int (*handleButtonUp)(vwindow* w, vevent* event);
  int (*handleDrag)(vwindow* w, vevent* event);
  int (*handleDragPending)(vwindow* w, vevent* event);
  int (*handlePlainMotion)(vwindow* w, vevent* event);
  int (*handleFocusIn)(vwindow* w, vevent* event);
  int (*handleFocusOut)(vwindow* w, vevent* event);
  int (*handleKeyDown)(vwindow* w, vevent* event);
  int (*handleKeyUp)(vwindow* w, vevent* event);
  void (*setNotify)(vwindow* w, vwindowNotifyFunc fn);
  void (*setData)(vwindow* w, void* data);
  void (*setTitle)(vwindow* w, vscribe* title);
  void (*setCursor)(vwindow* w, vobject* cursor);
  void (*setIcon)(vwindow* w, vobject* icon);
  void (*setFont)(vwindow* w, vfont* font);
  void (*setForeground)(vwindow* w, vcolor* color);
  void (*setBackground)(vwindow* w, vcolor* color);
  void (*setSpace)(vwindow* w, vcommandSpace* space);
  void (*setDecoration)(vwindow* w, std::uint16_t bits);
  void (*setKeptFlag)(vwindow* w, int on);
  void (*setSaveBits)(vwindow* w, int on);
  void (*setModal)(vwindow* w, int on);
  void (*setAcceptsFocus)(vwindow* w, int on);
  void (*setWantsMotion)(vwindow* w, int on);
  void (*setRect)(vwindow* w, const vrect* r);
  void (*setMinSize)(vwindow* w, int width, int height);
  void (*setMaxSize)(vwindow* w, int width, int height);
  void (*setParent)(vwindow* w, vwindow* parent);
  void (*setApplication)(vwindow* w, vapplication* app);
  void (*determineColors)(vwindow* w, vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result);
};

inline vwindowClassRec* vwindowClassOf(const vwindow* w) { return vclassRec<vwindowClassRec>(w); }

// Built on first use. The window layer fills the slots it owns (invalidate,
// scroll, draw, draw binding, update); the others stay null until the
// window class's own behaviour is built.
vwindowClassRec* vwindowGetDefaultClass();
// Installs the key bindings the preferences hold under "Keys" / className
// into the space under "Key", when there are any.
void _vwindowInstallPreferenceKeys(vcommandSpace* space, const char* className);
// The static window that stands for the screen.
vwindow* vwindowGetRoot();
vwindow* vwindowCreate();
void vwindowDestroy(vwindow* w);
// The extension record, made when missing.
vwindowExtension* vwindowGetExtension(vwindow* w);

inline bool vwindowIsOpen(const vwindow* w) { return (w->flags & vwindowOPEN) != 0; }
inline bool vwindowIsIconified(const vwindow* w) { return (w->flags & vwindowICONIFIED) != 0; }

// The colour store: an in-memory resource file holding the array "Array"
// and the integer "Tag". Its root is what a class colour registration
// writes for "no colour".
vresource vwindowGetColorStore();
// Appends a colour description element (16-bit components, maximum dot
// dither) and answers it.
vresource vwindowAddColorSpec(unsigned red, unsigned green, unsigned blue, unsigned dither);
// The number of elements of the colour store.
int vwindowColorStoreCount();

// ---- The class's behaviour (window_slots.cpp and beside it).
// The same class as vwindowGetDefaultClass.
vwindowClassRec* vwindowGetClass();
// Fills the framework start-up's row of the window class.
void vwindowInstallStartup();

// Lookups with fallback: own, class default, the parent's, the application's.
vobject* vwindowGetCursor(vwindow* w);
vobject* vwindowGetIcon(vwindow* w);
vfont* vwindowGetFont(vwindow* w);
vobject* vwindowGetBlockCursor(vwindow* w);  // the application's
std::intptr_t vwindowGetLineWidth(vwindow* w);
vobject* vwindowGetOwnIcon(vwindow* w);
vcommandSpace* vwindowGetSpace(vwindow* w);

// Colours through DetermineColors with an empty override scheme.
vcolor* vwindowDetermineColor(vwindow* w, int index);
void vwindowDetermineColors(vwindow* w, std::uint32_t mask, vcolorScheme* result);
// One DetermineColors for the whole list; result[k] is the colour of
// indexes[k], null when the result lacks it. Null overrides: none.
void vwindowDetermineColorList(vwindow* w, std::uint32_t overrideMask, vcolor* const* overrides, const int* indexes,
                               int count, vcolor** result);
// table[row][column]; 1 when one exclusive-or drawing turns every row's
// colour j - 1 into its colour j (a display driver may give repeated
// colours private copies, which replace them in the table).
int vwindowTestXorColors(vcolor** const* table, int rows, int columns);

// Conveniences over the slots.
void vwindowInvalAll(vwindow* w, int flags);
void vwindowMove(vwindow* w, int x, int y);
void vwindowResize(vwindow* w, int width, int height);
void vwindowSetFlags(vwindow* w, std::uint16_t bits);
// Paints now the window and the windows inside it where they wait for
// painting, and shows again what the screen lost of them (a window just
// mapped), running nothing else.
void vwindowPaintPending(vwindow* w);
// Makes the window a document window of parent (none: a plain one) and
// reopens it when it was open.
void vwindowSetStateFlag(vwindow* w, vwindow* parent);
void vwindowSetSpaceOwned(vwindow* w, vcommandSpace* space);

struct vwindowChildIterator {
  vwindow** current;
  vwindow** end;
  vwindow* child;
};
void vwindowInitChildIterator(vwindowChildIterator* it, vwindow* w);
int vwindowNextChildIterator(vwindowChildIterator* it);

// Coordinates between windows (from/to null: the screen).
void vwindowTranslatePoint(vwindow* from, vwindow* to, int x, int y, int* outX, int* outY);
void vwindowTranslateRect(vwindow* from, vwindow* to, const vrect* r, vrect* out);
void vwindowTranslateEvent(vwindow* from, vwindow* to, vevent* event);

// The slots, called through the window's class.
inline void vwindowOpen(vwindow* w) { vwindowClassOf(w)->open(w); }
inline void vwindowClose(vwindow* w) { vwindowClassOf(w)->close(w); }
inline void vwindowSetRect(vwindow* w, const vrect* r) { vwindowClassOf(w)->setRect(w, r); }
inline void vwindowSetParent(vwindow* w, vwindow* parent) { vwindowClassOf(w)->setParent(w, parent); }
inline void vwindowSetTitleScribe(vwindow* w, vscribe* title) { vwindowClassOf(w)->setTitle(w, title); }

// The print job protocol the window's "Print" command drives: a job is
// given a page procedure and data, and runs; the page procedure opens the
// job, begins and ends pages and closes it. The printer classes spawn
// from this class; it keeps only the state bits.
struct vprintJob;
using vprintPageProc = void (*)(vprintJob* job, void* data);
enum : std::uint32_t { vprintJobOPEN = 2, vprintJobIN_PAGE = 4 };
struct vprintJob : vobject {
  std::uint32_t state;
  vprintPageProc pageProc;
  void* data;
  vrect printable;  // in points, origin at the bottom left
  vrect area;       // the printed area announced by the page procedure
};
struct vprintJobClassRec : vobjectClassRec {
  void (*setPageProc)(vprintJob* job, vprintPageProc proc);
  void (*setData)(vprintJob* job, void* data);
  void (*run)(vprintJob* job);
  void (*open)(vprintJob* job);
  void (*beginPage)(vprintJob* job);
  void (*endPage)(vprintJob* job);
  void (*close)(vprintJob* job);
  void (*setArea)(vprintJob* job, const vrect* area);
};
vprintJobClassRec* vprintJobGetDefaultClass();
// The window print procedure (data: the window).
void vwindowPrintPage(vprintJob* job, void* window);

// ---- The application's windows: the open windows it owns, never the root.
struct vapplicationWindowIterator {
  std::size_t index;
  vapplication* app;
  vwindow* window;  // the current one
};
void vapplicationInitWindowIterator(vapplicationWindowIterator* it, vapplication* app);
int vapplicationNextWindow(vapplicationWindowIterator* it);

// ---- The record through which a dialog's items ask their owner window.
struct vdialogOwnerRecord {
  std::uint32_t flags;  // 3: points are converted by adding the content origin
  vwindow* (*window)(vwindow* owner);
  vobject* (*cursor)(vwindow* owner);
  vfont* (*font)(vwindow* owner);
  void (*colorList)(vwindow* owner, std::uint32_t overrideMask, vcolor* const* overrides, const int* indexes,
                    int count, vcolor** result);
  std::intptr_t (*lineWidth)(vwindow* owner);
  void (*contentRect)(vwindow* owner, vrect* out);
  void (*contentRectAgain)(vwindow* owner, vrect* out);  // the same operation
  vdict* (*keyDict)(vwindow* owner);                    // "Not Open" for a closed window
  vdict* (*secondKeyDict)(vwindow* owner);
  int (*isOpen)(vwindow* owner);     // always 1
  int (*isEnabled)(vwindow* owner);  // always 1
  void (*determineColors)(vwindow* owner, vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result);
  void (*bindDraw)(vwindow* owner);
};
extern const vdialogOwnerRecord vdialogOwnerInterface;
