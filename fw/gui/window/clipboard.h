// Clipboards: objects that hold one scrap and hand it, on request, to a
// notify function. The base class works in memory; the Windows module's
// selection and global classes bridge to the Windows clipboard as text,
// with delayed rendering through a hidden window.
//
// - **Clipboards** (`clipboard.h`, `clipboard.cpp`, `clipboard_msw.cpp`): `vclipboardClass` holds
//   one owned scrap and hands a reference scrap to its notify function, which owns what it is
//   handed. The window-system start-up starts the Windows module: the system object (CF_TEXT, system
//   owned) behind the default global class, a memory-only object behind the default selection class
//   (it never touches the Windows clipboard), and the hidden window "_vclpbdsysWin" of the
//   framework's window procedure, which passes `WM_RENDERFORMAT`, `WM_RENDERALLFORMATS` and
//   `WM_DESTROYCLIPBOARD` to `vclipboardMSWRenderFormat`, `...RenderAllFormats` and
//   `...DestroyContents` (installed with `vwindowMSWSetClipboardCalls`). Setting the global contents
//   offers CF_TEXT for delayed rendering; requests are served from memory while the offer stands,
//   else from the Windows text with CR LF made LF. Rendering makes every bare LF CR LF into
//   `GlobalAlloc` memory (a failed allocation raises; for another program's request the window
//   procedure drops it and hands over nothing, as it drops any exception of a clipboard or DDE
//   request). Requests made while one is delivered queue behind it and are delivered in order, each
//   once; a busy clipboard drops every waiting request. The module's per-context exit destroys the
//   hidden window (which renders what is still promised), unregisters its class and destroys both
//   objects.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "platform/win.h"

struct vclipboard;
// The receiver owns the scrap it is handed.
using vclipboardNotify = void (*)(vclipboard* clipboard, vinstance* scrap);

struct vclipboard : vinstance {
  vclipboardNotify notify;
  vinstance* contents;  // owned
  void* spare;          // the requester's word (a text view waiting to paste)
};

struct vclipboardClassRec : vinstanceClassRec {
  void (*setNotify)(vclipboard* self, vclipboardNotify notify);
  void (*setContents)(vclipboard* self, vinstance* scrap);  // takes the scrap
  void (*clear)(vclipboard* self);
  void (*request)(vclipboard* self);
  int (*hasContents)(vclipboard* self);
};

// Each raises Arg/Null for a null clipboard; SetContents for a null scrap too.
vclipboardClassRec* vclipboardGetDefaultClass();
vclipboard* vclipboardCreate(vclipboardClassRec* cls);
void vclipboardDestroy(vclipboard* clipboard);
void vclipboardSetNotify(vclipboard* clipboard, vclipboardNotify notify);
void vclipboardSetContents(vclipboard* clipboard, vinstance* scrap);
void vclipboardClear(vclipboard* clipboard);
void vclipboardRequest(vclipboard* clipboard);  // Arg without a notify function
int vclipboardHasContents(vclipboard* clipboard);

// The system-dependent classes; Module/Startup until the Windows module
// has set them.
vclipboardClassRec* vclipboardGetDefaultSelectionClass();
vclipboardClassRec* vclipboardGetDefaultGlobalClass();
void vclipboardSetDefaultSelectionClass(vclipboardClassRec* cls);
void vclipboardSetDefaultGlobalClass(vclipboardClassRec* cls);
// Fills the start-up row "vclipboardGetDefaultClass".
void vclipboardInstallStartup();

// ---- The Windows module.
// State flags of the system object (32 bits).
enum : std::uint32_t {
  vclpbdsysOFFERED = 0x2,       // our contents offered to Windows and not rendered yet
  vclpbdsysSYSTEM_OWNED = 0x4,  // cannot be destroyed
};

struct vclpbdsysRequest;
struct vclpbdsys;
using vclpbdsysRender = void (*)(vclpbdsys* self, unsigned format);

struct vclpbdsys : vclipboard {
  std::uint16_t format;  // CF_TEXT after start-up
  vclpbdsysRender render;
  void* word;
  vclpbdsysRequest* pending;  // requests waiting to be delivered, oldest first
  std::uint32_t flags;
};

struct vclpbdsysInterfaceClassRec : vclipboardClassRec {
  vclpbdsys* backing;
};

// The window-system start-up starts the clipboard: classes, the system
// and selection objects, the defaults and the hidden window.
void vclipboardMSWStartup();
win::HWND vclipboardMSWGetWindow();
vclpbdsys* vclipboardMSWGetSystemObject();
// What the window procedure hands the system clipboard from its window.
void vclipboardMSWRenderFormat(unsigned format);
void vclipboardMSWRenderAllFormats();
void vclipboardMSWDestroyContents();
