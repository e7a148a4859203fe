// The main view: the dialog item that holds an application's document
// windows inside its main window. In MDI mode (the look's "mdi" flag, fixed
// per process) it makes a native "MDICLIENT" over its own rectangle and
// lets the client tile, cascade, arrange and activate; in framework mode
// it is an icon view with one icon per window and does all of that itself.
//
// - `domains/mainview.h`: `vmainview`, the icon view that holds the document windows
//   (`mainview.cpp`). MDI mode (the look's "mdi" flag, read when the class is built) makes a
//   subclassed "MDICLIENT" over the view's rectangle in the owner when the item opens after its
//   window, attaches each child with `vwindowSetMSWMDIClient` + `vwindowSetStateFlag` and lets the
//   client tile, cascade, arrange and activate; the client procedure forces WM_WINDOWPOSCHANGING
//   back to the view's rectangle. Framework mode keeps one icon per window and cascades by itself.
//   `tests/fw/widgets/probe/ mainview_probe.cpp` shows the frame with three documents (headless PNG,
//   or `-live` on an X display with WEXLIN_BACKEND=x11).
#pragma once
#include <cstdint>

#include "fw/gui/window/window.h"
#include "fw/widgets/domains/iconview.h"

struct vmainviewMDI {
  win::HWND client;
  std::intptr_t word;
};

struct vmainviewChild {
  vwindow* window;
  char* title;
  std::uint32_t flags;  // bit 0: the title is owned
  win::HWND* handle;    // a pooled cell
};

enum : std::uint16_t { vmainviewMDI_MODE = 1 };

struct vmainview : viconview {
  std::int32_t viewKind;  // 0 icon view, 1 name view
  vmainviewMDI* mdi;
  std::uint16_t mainFlags;
};

struct vmainviewClassRec : viconviewClassRec {
  void (*addWindow)(vmainview* view, vwindow* window);
  void (*removeWindow)(vmainview* view, vwindow* window);
  void (*setWindowTitle)(vmainview* view, vwindow* window, vscribe* title);
  void (*setWindowTitleC)(vmainview* view, vwindow* window, const char* title);
  void (*setView)(vmainview* view, int type);
  void (*tile)(vmainview* view);
  void (*cascade)(vmainview* view);
  vwindow* (*getActiveWindow)(vmainview* view);
  int (*activateWindow)(vmainview* view, vwindow* window);
};

inline vmainviewClassRec* vmainviewClassOf(const vmainview* v) { return vclassRec<vmainviewClassRec>(v); }
vmainviewClassRec* vmainviewGetDefaultClass();
vmainview* vmainviewCreate();

inline void vmainviewAddWindow(vmainview* v, vwindow* w) { vmainviewClassOf(v)->addWindow(v, w); }
inline void vmainviewRemoveWindow(vmainview* v, vwindow* w) { vmainviewClassOf(v)->removeWindow(v, w); }
inline void vmainviewSetWindowTitle(vmainview* v, vwindow* w, vscribe* t) { vmainviewClassOf(v)->setWindowTitle(v, w, t); }
inline void vmainviewSetWindowTitleC(vmainview* v, vwindow* w, const char* t) {
  vmainviewClassOf(v)->setWindowTitleC(v, w, t);
}
inline void vmainviewSetView(vmainview* v, int type) { vmainviewClassOf(v)->setView(v, type); }
inline void vmainviewTile(vmainview* v) { vmainviewClassOf(v)->tile(v); }
inline void vmainviewCascade(vmainview* v) { vmainviewClassOf(v)->cascade(v); }
inline void vmainviewArrangeIcons(vmainview* v) { viconviewArrange(v); }
inline vwindow* vmainviewGetActiveWindow(vmainview* v) { return vmainviewClassOf(v)->getActiveWindow(v); }
inline int vmainviewActivateWindow(vmainview* v, vwindow* w) { return vmainviewClassOf(v)->activateWindow(v, w); }

// Whether the process works in MDI mode (from the look, at class build).
int vmainviewIsMDI();
// The window holding the view that holds document, when the view keeps its
// documents apart (no MDI client); else null.
vwindow* _vmainviewDocumentOwner(vwindow* document);
// The child record of a window of the view, or null.
vmainviewChild* vmainviewFindChild(vmainview* view, vwindow* window);
std::int32_t vmainviewCountWindows(vmainview* view);
// The documents the clients have made and not yet destroyed.
int vmainviewMDINesting();
// For tests: the mode of views built from now on.
void _vmainviewSetMDI(int on);
