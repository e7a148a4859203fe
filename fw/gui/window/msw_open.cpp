// The native side of a window: its native class, opening (the native
// window made or reused and entered in the registry) and closing.
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/inputmethod.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/msw_proc.h"
#include "fw/gui/window/mswdc.h"

namespace {

vwindowMSWState& S() { return _vwindowMSW(); }

[[noreturn]] void raise(const vexClass* cls, const char* message) {
  _vexGenerate(cls, vexSetMessage, message, vexEnd);
}

bool isBarePopup(win::DWORD style) { return style == win::WS_POPUP; }

// ---- Native classes ---------------------------------------------------------------

const char* classFor(int index) {
  vwindowMSWState& s = S();
  std::string& name = s.classNames[index];
  if (!name.empty()) return name.c_str();
  char text[64];
  std::snprintf(text, sizeof text, "_vwindowClass%x.%x", static_cast<unsigned>(index),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(s.instance)));
  win::WNDCLASSA wc{};
  wc.style = win::CS_OWNDC | (index & 2 ? win::CS_SAVEBITS : 0u);
  if (index & 4) wc.style |= win::CS_DROPSHADOW;
  if (_vwindowMSWOldSystem()) wc.style |= win::CS_HREDRAW | win::CS_VREDRAW;
  wc.cbWndExtra = index % 2 == 0 ? 8 : 0;  // a frame's multiple-document client in the first word
  wc.lpfnWndProc = vwindowMSWWindowProc;
  wc.hInstance = s.instance;
  wc.lpszClassName = text;
  if (!win::RegisterClassA(&wc)) raise(&vexReturnClass, "can't register a window class");
  name = text;
  return name.c_str();
}

// ---- Opening ------------------------------------------------------------------------

// Pop-ups that save the bits under them would save stale pixels: windows
// whose erase was drawn but not their update are brought up to date first.
void flushPendingUpdates(vwindow* opening) {
  vwindowMSWState& s = S();
  if (s.pendingUpdates <= 0 || !(opening->flags & vwindowSAVE_BITS)) return;
  for (std::size_t i = 0; i < s.size; ++i) {
    vwindow* w = s.slots[i];
    if (!w || w == opening || !w->native) continue;
    if ((w->flags & (vwindowOPEN | vwindowICONIFIED)) != vwindowOPEN || w->native->damage.count) continue;
    win::RECT r;
    win::HWND hwnd = w->native->hwnd;
    if (!win::GetUpdateRect(hwnd, &r, 0) || r.right <= r.left || r.bottom <= r.top) continue;
    int height = r.bottom - r.top;
    vrect damage{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(w->rect.height - r.top - height),
                 static_cast<std::int16_t>(r.right - r.left), static_cast<std::int16_t>(height)};
    vwindowClassOf(w)->inval(w, &damage, 4);
    win::ValidateRect(hwnd, &r);
    win::UpdateWindow(hwnd);
  }
  s.pendingUpdates = 0;
}

vwindow* ownerOf(vwindow* w) {
  if (w->decoration & vwindowDECO_DOCUMENT)
    for (vwindow* a = w->parent; a; a = a->parent)
      if (a->decoration & vwindowDECO_TOP_LEVEL) return a;
  return w->parent;
}

win::HWND mdiClientOf(vwindow* w) { return w && w->extension ? w->extension->mdiClient : nullptr; }

int nativeKind(vwindow* w, vwindow* owner) {
  if (w->decoration & vwindowDECO_TOP_LEVEL) return vwindowMSW_KIND_TOP;
  if (owner && vwindowIsOpen(owner) && (owner->decoration & vwindowDECO_TOP_LEVEL) && mdiClientOf(owner) &&
      (w->decoration & vwindowDECO_DOCUMENT))
    return vwindowMSW_KIND_DOCUMENT;
  return vwindowMSW_KIND_PLAIN;
}

void chooseStyle(vwindow* w, vwindowMSWNative* n) {
  std::uint16_t d = w->decoration;
  win::DWORD style = (d & vwindowDECO_CAPTION_MASK)
                         ? win::WS_CLIPCHILDREN | win::WS_BORDER | win::WS_DLGFRAME | win::WS_SYSMENU
                         : win::WS_POPUP;
  if (d & vwindowDECO_MINIMIZE) style |= win::WS_MINIMIZEBOX;
  if (d & vwindowDECO_MAXIMIZE) style |= win::WS_MAXIMIZEBOX;
  if (d & vwindowDECO_RESIZABLE) style |= win::WS_THICKFRAME;
  win::DWORD ex = 0;
  // Every modal window with a caption is marked a dialog, a sizable one
  // (a file chooser) too, and so is a sizable window framed as a dialog
  // run modeless: the window manager would otherwise take it for a main
  // window of its own, and a click on the window it blocks would bury it.
  bool sizableDialog = (d & vwindowDECO_MODAL_FRAME) && (d & vwindowDECO_RESIZABLE);
  if ((d & vwindowDECO_CAPTION_MASK) && ((w->flags & vwindowMODAL) || sizableDialog)) ex |= win::WS_EX_DLGMODALFRAME;
  if (d & vwindowDECO_TOOL) ex |= win::WS_EX_TOOLWINDOW;
  n->style = style;
  n->exStyle = ex;
}

void chooseParent(vwindow* w, vwindow* owner, vwindowMSWNative* n) {
  vwindowMSWState& s = S();
  win::HWND root = vwindowGetRoot()->native->hwnd;
  bool document = (w->decoration & vwindowDECO_DOCUMENT) != 0;
  if (n->nativeKind == vwindowMSW_KIND_TOP) {
    n->parent = nullptr;
    if (s.topLevelCount++ == 0) vsysHideTaskWindow();
  } else if (!w->parent) {
    n->parent = vsysGetTaskWindow();
  } else if (owner && owner->native &&
             (n->nativeKind == vwindowMSW_KIND_DOCUMENT || (!document && !isBarePopup(n->style)))) {
    n->parent = owner->native->hwnd;
    if (!(n->style & win::WS_CHILD) && n->nativeKind != vwindowMSW_KIND_DOCUMENT) n->style |= win::WS_POPUP;
    n->flags &= ~vwindowMSW_NO_OWNER;
  } else if (owner && owner->native && isBarePopup(n->style)) {
    n->parent = owner->native->hwnd;
    n->savedParent = root;
    n->flags &= ~vwindowMSW_NO_OWNER;
  } else {
    n->parent = root;
  }
}

// Title: the window's, else the application's title or name cut at its first ".".
}  // namespace

std::string _vwindowMSWTitle(vwindow* w) {
  if (w->title && *w->title) return w->title;
  vapplication* app = w->application ? w->application : vapplicationGetCurrent();
  std::string t = app->title && *app->title ? app->title : (app->name ? app->name : "");
  if (std::size_t dot = t.find('.'); dot != std::string::npos) t.resize(dot);
  return t;
}

namespace {

struct Placement {
  int x, y, width, height;  // the native outer rectangle
};

// Framework coordinates count from the bottom left of the screen, or of
// the multiple-document client for a document window.
Placement placeOf(vwindow* w, vwindowMSWNative* n, bool withMenu) {
  int areaHeight = S().display.screenHeight;
  int areaLeft = 0;
  if (n->nativeKind == vwindowMSW_KIND_DOCUMENT) {
    win::RECT c{};
    win::GetClientRect(mdiClientOf(ownerOf(w)), &c);
    areaHeight = c.top + (c.bottom - c.top);
    areaLeft = c.left;
  }
  const vrect& r = w->rect;
  win::RECT frame{r.x - areaLeft, areaHeight - r.y - r.height, 0, 0};
  frame.right = frame.left + r.width;
  frame.bottom = frame.top + r.height;
  win::RECT client = frame;
  // A document gets the document frame whatever its style: asked as one.
  bool document = n->nativeKind == vwindowMSW_KIND_DOCUMENT;
  win::DWORD style = n->style | (document ? win::WS_CHILD : 0u);
  win::AdjustWindowRectEx(&frame, style, withMenu, n->exStyle | (document ? win::WS_EX_MDICHILD : 0u));
  n->insetLeft = static_cast<std::int16_t>(client.left - frame.left);
  n->insetTop = static_cast<std::int16_t>(client.top - frame.top);
  n->insetRight = static_cast<std::int16_t>(frame.right - client.right);
  n->insetBottom = static_cast<std::int16_t>(frame.bottom - client.bottom);
  return {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top};
}

// The window's own icon object and cursor objects come with their native
// images; until then the program's icon by name and the layer's cursors.
}  // namespace

void _vwindowMSWChooseIconAndCursor(vwindow* w) {
  vwindowMSWNative* n = w->native;
  vwindowMSWState& s = S();
  vapplication* app = w->application ? w->application : vapplicationGetCurrent();
  std::string iconName = std::string(app->name ? app->name : "") + "Icon";
  n->bigIcon = win::LoadIconA(s.instance, iconName.c_str());
  bool busy = w->flags & vwindowBUSY;
  win::HCURSOR own = vcursorGetMSWCursor(busy ? vwindowGetBlockCursor(w) : vwindowGetCursor(w));
  n->cursor = own ? own : busy ? s.wait : s.arrow;
}

namespace {

// The window being created is the target of unregistered messages; it is
// forgotten however the creation ends.
struct CreatingScope {
  vwindow* saved;
  explicit CreatingScope(vwindow* w) : saved(_vwindowMSW().creating) { _vwindowMSW().creating = w; }
  ~CreatingScope() { _vwindowMSW().creating = saved; }
};

win::HWND createNative(vwindow* w, vwindowMSWNative* n, const char* cls, const std::string& title,
                       const Placement& p) {
  vwindowMSWState& s = S();
  CreatingScope scope(w);
  if (n->nativeKind == vwindowMSW_KIND_TOP) {
    win::HMENU bar = win::CreateMenu();
    n->procKind = vwindowMSW_PROC_MDI_FRAME;
    win::HWND h = win::CreateWindowExA(n->exStyle, cls, title.c_str(), n->style, p.x, p.y, p.width, p.height, nullptr,
                                       bar, s.instance, nullptr);
    if (!h && bar) win::DestroyMenu(bar);
    return h;
  }
  if (n->nativeKind == vwindowMSW_KIND_DOCUMENT) {
    n->procKind = vwindowMSW_PROC_MDI_CHILD;
    win::MDICREATESTRUCTA mc{};
    mc.szClass = cls;
    mc.szTitle = title.c_str();
    mc.hOwner = s.instance;
    mc.x = p.x;
    mc.y = p.y;
    mc.cx = p.width;
    mc.cy = p.height - ((w->flags & vwindowMAXIMIZED) ? 1 : 0);
    // A style with the sign bit set is widened to all bits.
    mc.style = (n->style & 0x80000000u) ? 0xFFFFFFFFu : n->style;
    win::HWND client = mdiClientOf(ownerOf(w));
    auto active = reinterpret_cast<win::HWND>(win::SendMessageA(client, win::WM_MDIGETACTIVE, 0, 0));
    auto h = reinterpret_cast<win::HWND>(
        win::SendMessageA(client, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&mc)));
    // A document made while windows show without activation leaves the
    // active one active (the client activates what it makes).
    if (h && active && active != h && vwindowMSWShowInactive(-1) > 0)
      win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(active), 0);
    return h;
  }
  n->procKind = vwindowMSW_PROC_PLAIN;
  // A kept window that went with its owner is no longer there to reuse.
  if (s.kept.hwnd && !win::IsWindow(s.kept.hwnd)) s.kept = {};
  // A bare pop-up owned by a window (its saved parent is the root).
  if (s.kept.hwnd && isBarePopup(n->style) && n->savedParent) {
    win::HWND h = s.kept.hwnd;
    n->dcs[0] = s.kept.dc;
    s.kept = {};
    win::SetWindowLongPtrA(h, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(n->parent));
    win::MoveWindow(h, p.x, p.y, p.width, p.height, 1);
    return h;
  }
  return win::CreateWindowExA(n->exStyle, cls, title.c_str(), n->style, p.x, p.y, p.width, p.height, n->parent,
                              nullptr, s.instance, nullptr);
}

void releaseExtras(vwindowMSWNative* n) {
  for (void*& held : n->held) {
    if (held) vinstanceDestroy(static_cast<vinstance*>(held));
    held = nullptr;
  }
  vmemFree(n->cursorAreas);
  n->cursorAreas = nullptr;
  n->cursorAreaCount = n->cursorAreaCapacity = 0;
  for (vdict** d : {&n->keyDict, &n->overrideKeyDict}) {
    if (*d) vdictDestroy(*d);
    *d = nullptr;
  }
}

// Undoes what the opening had done when a later step raises.
void abandonOpening(vwindow* w, vwindowMSWNative* n) {
  if (n->nativeKind == vwindowMSW_KIND_TOP && --S().topLevelCount == 0) vsysShowTaskWindow();
  _vwindowMSWFreeNative(n);
  w->native = nullptr;
}

void openNative(vwindow* w) {
  flushPendingUpdates(w);
  vwindowMSWNative* n = _vwindowMSWNewNative();
  vwindow* owner = ownerOf(w);
  n->nativeKind = static_cast<std::uint8_t>(nativeKind(w, owner));
  chooseStyle(w, n);
  chooseParent(w, owner, n);
  w->native = n;
  vexGuard(
      [&] {
        int index = ((w->flags & vwindowSAVE_BITS) ? 2 : 0) | (n->nativeKind == vwindowMSW_KIND_PLAIN ? 1 : 0) |
                    ((w->decoration & vwindowDECO_SHADOW) ? 4 : 0);
        const char* cls = classFor(index);
        std::string title = _vwindowMSWTitle(w);
        Placement p = placeOf(w, n, false);
        _vwindowMSWChooseIconAndCursor(w);
        n->hwnd = createNative(w, n, cls, title, p);
        if (!n->hwnd) raise(&vexReturnNullClass, "can't create a window");
      },
      [&](vexHandler&) {
        abandonOpening(w, n);
        _vexGenerate(nullptr, vexEnd);
      });
  n->systemMenu = win::GetSystemMenu(n->hwnd, 0);
  n->inputContext = vinputMSWCreateContext(w);
  if (n->bigIcon) win::SendMessageA(n->hwnd, win::WM_SETICON, 1, reinterpret_cast<win::LPARAM>(n->bigIcon));
  _vwindowMSWRegister(w);
}

}  // namespace

vwindowMSWNative* _vwindowMSWNewNative() {
  vwindowMSWState& s = S();
  if (!s.natives) s.natives = vpoolCreate(sizeof(vwindowMSWNative));
  auto* n = static_cast<vwindowMSWNative*>(vpoolAlloc(s.natives));
  *n = vwindowMSWNative{};
  n->flags = vwindowMSW_NEW;
  _vwindowMSWInitList(&n->damage);
  _vwindowMSWInitList(&n->erase);
  n->nativeKind = vwindowMSW_KIND_PLAIN;
  return n;
}

void _vwindowMSWFreeNative(vwindowMSWNative* n) {
  _vwindowMSWClearList(&n->damage);
  _vwindowMSWClearList(&n->erase);
  releaseExtras(n);
  vpoolFree(S().natives, n);
}

void vwindowMSWRegisterClass(vwindow* w) {
  vwindowEnsureStartup();
  if (w->native) return;  // already open natively
  openNative(w);
}

void _vwindowMSWCloseNative(vwindow* w) {
  vwindowMSWState& s = S();
  vwindowMSWNative* n = w->native;
  if (!n) return;
  unregisterWindow(w);
  vwindowMSWReleaseAllDCs(w, 1);
  releaseExtras(n);
  if (n->flags & vwindowMSW_UPDATE_PENDING) --s.pendingUpdates;
  if (n->nativeKind == vwindowMSW_KIND_TOP && --s.topLevelCount == 0) vsysShowTaskWindow();
  win::HWND hwnd = n->hwnd;
  // The procedure may not see the native window go.
  vwindowMSWForgetWindow(hwnd);
  // A pop-up whose owner went first went with it: nothing is left to keep.
  bool gone = !win::IsWindow(hwnd);
  bool keep = !gone && n->nativeKind == vwindowMSW_KIND_PLAIN && isBarePopup(n->style) && n->savedParent &&
              (w->flags & vwindowSAVE_BITS) && (!s.kept.hwnd || s.kept.hwnd == hwnd);
  w->native = nullptr;
  if (keep) {
    win::SetWindowLongPtrA(hwnd, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(n->savedParent));
    // The primary context goes with the kept window; the extra contexts
    // are released with the rest of the window's contexts.
    s.kept = {hwnd, n->dcs[0]};
    win::SendMessageA(hwnd, win::WM_USER + 2, 0, 0);
  } else if (gone) {
    if (s.kept.hwnd == hwnd) s.kept = {};
  } else if (n->nativeKind == vwindowMSW_KIND_DOCUMENT) {
    win::SendMessageA(win::GetParent(hwnd), win::WM_MDIDESTROY, reinterpret_cast<win::WPARAM>(hwnd), 0);
  } else {
    if (win::HMENU bar = win::GetMenu(hwnd)) {
      win::SetMenu(hwnd, nullptr);
      win::DestroyMenu(bar);
    }
    if (!win::DestroyWindow(hwnd)) {
      _vwindowMSWFreeNative(n);
      raise(&vexReturnNullClass, "can't destroy a window");
    }
  }
  if (n->inputContext) vinputMSWReleaseContext(n->inputContext);
  n->inputContext = nullptr;
  _vwindowMSWFreeNative(n);
}

void vwindowMSWCloseNative(vwindow* w) { _vwindowMSWCloseNative(w); }

void _vwindowMSWDestroyKeptPopup() {
  vwindowMSWState& s = S();
  if (!s.kept.hwnd) return;
  win::HWND h = s.kept.hwnd;
  s.kept = {};
  // Gone already with the window it was last bound to.
  if (!win::IsWindow(h)) return;
  if (!win::DestroyWindow(h)) raise(&vexReturnNullClass, "can't destroy the kept pop-up window");
}

void _vwindowMSWUnregisterClasses() {
  vwindowMSWState& s = S();
  bool failed = false;
  for (std::string& name : s.classNames) {
    if (name.empty()) continue;
    if (!win::UnregisterClassA(name.c_str(), s.instance)) failed = true;
    name.clear();
  }
  if (failed) raise(&vexModuleStateClass, "can't unregister a window class");
}

vwindow* vwindowMSWGetCreatingWindow() { return S().creating; }

void _vwindowMSWOuterRect(vwindow* w, int* x, int* y, int* width, int* height) {
  Placement p = placeOf(w, w->native, w->native->menuBar != nullptr);
  *x = p.x;
  *y = p.y;
  *width = p.width;
  *height = p.height;
}
