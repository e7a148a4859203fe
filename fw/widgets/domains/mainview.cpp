// The main view: its pools and mode, the child records behind its icons,
// the native client of MDI mode with the procedure that keeps it over the
// view, and the window operations of both modes.
#include "fw/widgets/domains/mainview.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {

constexpr win::UINT kRefreshChild = win::WM_USER + 1;  // the window layer re-reads its geometry
constexpr win::UINT kClientGone = win::WM_USER + 2;
constexpr win::UINT kHScroll = 0x0114, kVScroll = 0x0115;
constexpr win::WPARAM kThumbPosition = 4, kEndScroll = 8;
constexpr win::DWORD kClientStyle = 0x52300001;

struct Module {
  vmainviewClassRec* cls;
  vpool* mdiPool;
  vpool* childPool;
  vpool* handlePool;
  bool mdi;
};
void** moduleSlot = nullptr;

void freeModule() {
  auto* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  for (vpool** p : {&m->mdiPool, &m->childPool, &m->handlePool})
    if (*p) vpoolDestroy(*p), *p = nullptr;
}

Module* module() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
    *m = Module{};
    vmoduleAddContextExitProc(freeModule);
  }
  return static_cast<Module*>(*moduleSlot);
}

// What the client procedure needs, for the whole process.
struct Clients {
  int nesting;
  win::HWND moving;  // the client the view moves itself
  win::WNDPROC classProc;
  std::vector<vmainview*> open;  // views with a client
  std::vector<vmainview*> views;  // every live view
};
Clients state;

vmainview* asView(vinstance* o) { return static_cast<vmainview*>(o); }
viconviewClassRec* super() { return viconviewGetDefaultClass(); }
bool mdiMode(const vmainview* v) { return v->mainFlags & vmainviewMDI_MODE; }

vmainviewChild* childOf(viconviewIcon* icon) { return reinterpret_cast<vmainviewChild*>(icon->data); }

// The icons in the order they were added (new objects go in at the head).
template <class F>
void eachChild(vmainview* v, F f) {
  if (!v->domain) return;
  for (vdomainObject* o = vdomainLastObject(v->domain); o;) {
    vdomainObject* prev = o->prev;
    if (o->type == viconviewIMAGE_OBJECT)
      if (viconviewIcon* icon = viconviewIconOf(o); icon && childOf(icon)) f(icon, childOf(icon));
    o = prev;
  }
}

viconviewIcon* iconOf(vmainview* v, vwindow* w) {
  viconviewIcon* found = nullptr;
  eachChild(v, [&](viconviewIcon* icon, vmainviewChild* c) {
    if (!found && c->window == w) found = icon;
  });
  return found;
}

vwindow* ownerOf(vmainview* v) { return vdialogGetItemWindow(v); }
win::HWND clientOf(vmainview* v) { return v->mdi ? v->mdi->client : nullptr; }

// The client's place in the owner: y counts from the owner's top.
win::RECT clientRect(vmainview* v, vwindow* owner) {
  int top = owner->rect.height - v->rect.y - v->rect.height;
  return {v->rect.x, top, v->rect.x + v->rect.width, top + v->rect.height};
}

void refreshChildren(vmainview* v) {
  eachChild(v, [](viconviewIcon*, vmainviewChild* c) {
    *c->handle = vwindowGetMSWWindow(c->window);
    std::uint16_t f = c->window->flags;
    if (*c->handle && (f & vwindowOPEN) && !(f & (vwindowICONIFIED | vwindowMAXIMIZED)))
      win::SendMessageA(*c->handle, kRefreshChild, 0, 0);
  });
}

void replaceClient(vmainview* v) {
  win::HWND client = clientOf(v);
  vwindow* owner = ownerOf(v);
  if (!client || !owner || !owner->native) return;
  win::RECT want = clientRect(v, owner), now{};
  win::GetWindowRect(client, &now);
  win::POINT origin{now.left, now.top};
  win::ScreenToClient(owner->native->hwnd, &origin);
  int width = now.right - now.left, height = now.bottom - now.top;
  if (origin.x == want.left && origin.y == want.top && width == want.right - want.left &&
      height == want.bottom - want.top)
    return;
  state.moving = client;
  win::HWND active = reinterpret_cast<win::HWND>(win::SendMessageA(client, win::WM_MDIGETACTIVE, 0, 0));
  win::MoveWindow(client, want.left, want.top, want.right - want.left, want.bottom - want.top,
                  !(active && win::IsZoomed(active)));
  if (width != want.right - want.left || height != want.bottom - want.top) refreshChildren(v);
  state.moving = nullptr;
}

vmainview* viewOfClient(win::HWND client) {
  for (vmainview* v : state.open)
    if (clientOf(v) == client) return v;
  return nullptr;
}

win::LRESULT clientProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == win::WM_MDICREATE) ++state.nesting;
  if (message == win::WM_MDIDESTROY) --state.nesting;
  bool scrolled = (message == kHScroll || message == kVScroll) &&
                  (win::LOWORD(wParam) == kThumbPosition || win::LOWORD(wParam) == kEndScroll);
  if ((message == win::WM_WINDOWPOSCHANGING || scrolled) && hwnd != state.moving)
    if (vmainview* v = viewOfClient(hwnd)) {
      if (message == win::WM_WINDOWPOSCHANGING) {
        auto* pos = reinterpret_cast<win::WINDOWPOS*>(lParam);
        win::RECT r = clientRect(v, ownerOf(v));
        pos->x = r.left;
        pos->y = r.top;
        pos->cx = r.right - r.left;
        pos->cy = r.bottom - r.top;
      } else {
        refreshChildren(v);
      }
    }
  return win::CallWindowProcA(state.classProc, hwnd, message, wParam, lParam);
}

void attach(vmainview* v, vwindow* w) {
  vwindowSetMSWMDIClient(w, clientOf(v), 0);
  vwindowSetStateFlag(w, ownerOf(v));
}

void detach(vwindow* w) {
  if (!vwindowGetMSWMDIClient(w) && !(w->decoration & vwindowDECO_DOCUMENT)) return;
  vwindowSetMSWMDIClient(w, nullptr, 0);
  vwindowSetStateFlag(w, nullptr);
}

// ---- Life cycle -------------------------------------------------------------------------------------

void onIcon(viconview* iv, viconviewIcon* icon, std::intptr_t record, std::intptr_t) {
  auto* v = static_cast<vmainview*>(iv);
  auto* press = reinterpret_cast<vdomainviewPressRecord*>(record);
  vmainviewChild* c = childOf(icon);
  if (mdiMode(v) || !c || !press || !press->event || veventGetClickCount(press->event) <= 1) return;
  if (c->window->flags & vwindowICONIFIED) vwindowClassOf(c->window)->deiconify(c->window);
  vwindowClassOf(c->window)->raise(c->window);
}

void setUp(vmainview* v) {
  *v->mdi = {};
  v->mainFlags = module()->mdi ? vmainviewMDI_MODE : 0;
  v->viewKind = v->viewType == viconviewGetNameView() ? 1 : 0;
  v->callback = onIcon;
}

void init(vinstance* self) {
  super()->init(self);
  vmainview* v = asView(self);
  v->mdi = vpoolAllocOf<vmainviewMDI>(module()->mdiPool);
  setUp(v);
  state.views.push_back(v);
}

void freeChild(vmainviewChild* c) {
  if ((c->flags & 1) && c->title) vstrDestroy(c->title);
  vpoolFree(module()->handlePool, c->handle);
  vpoolFree(module()->childPool, c);
}

void destroy(vinstance* self) {
  vmainview* v = asView(self);
  std::vector<vmainviewChild*> children;
  eachChild(v, [&](viconviewIcon*, vmainviewChild* c) { children.push_back(c); });
  vpoolFree(module()->mdiPool, v->mdi);
  v->mdi = nullptr;
  std::erase(state.views, v);
  super()->destroy(self);
  for (vmainviewChild* c : children) freeChild(c);
}

vmainviewChild* newChild(vwindow* w, const char* title, bool owned, win::HWND handle) {
  auto* c = vpoolAllocOf<vmainviewChild>(module()->childPool);
  c->window = w;
  c->title = owned && title ? vstrClone(title) : const_cast<char*>(title);
  c->flags = owned ? 1 : 0;
  c->handle = vpoolAllocOf<win::HWND>(module()->handlePool);
  *c->handle = handle;
  return c;
}

void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vmainview *s = asView(source), *t = asView(destination);
  t->mainFlags = s->mainFlags;
  t->viewKind = s->viewKind;
  // The copied icons still share the source's child records.
  eachChild(t, [](viconviewIcon* icon, vmainviewChild* c) {
    icon->data = reinterpret_cast<std::intptr_t>(newChild(c->window, c->title, c->flags & 1, *c->handle));
  });
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void loadInit(vobject* self, vresource r) {
  super()->loadInit(self, r);
  vmainview* v = asView(self);
  v->mdi = vpoolAllocOf<vmainviewMDI>(module()->mdiPool);
  setUp(v);
  state.views.push_back(v);
}

void open(vdialogItem* item) {
  super()->open(item);
  vmainview* v = asView(item);
  if (!mdiMode(v) || clientOf(v)) return;
  vwindow* owner = ownerOf(v);
  if (!owner) return;
  // Setting the decoration re-creates an open window: only when it changes.
  // The remade window's focus-in opens the view again, which makes the
  // client there; this outer open then has nothing left to do.
  if (!(owner->decoration & 0x8000) && !(owner->decoration & vwindowDECO_TOP_LEVEL)) {
    vwindowSetFlags(owner, vwindowDECO_TOP_LEVEL);
    if (clientOf(v) || !(item->flags & vdialogItemOPEN)) return;
  }
  if (!owner->native || !owner->native->hwnd) return;
  win::HINSTANCE instance = win::GetModuleHandleA(nullptr);
  win::CLIENTCREATESTRUCT ccs{nullptr, 0};
  win::RECT r = clientRect(v, owner);
  win::HWND client = win::CreateWindowExA(0, "MDICLIENT", nullptr, kClientStyle, r.left, r.top, r.right - r.left,
                                          r.bottom - r.top, owner->native->hwnd, nullptr, instance, &ccs);
  if (!client) return;
  win::WNDCLASSA wc{};
  if (!win::GetClassInfoA(nullptr, "MDICLIENT", &wc) || !wc.lpfnWndProc) {
    win::DestroyWindow(client);
    vexGenerateMessage(&vexModuleStateClass, "State");
  }
  state.classProc = wc.lpfnWndProc;
  win::SetWindowLongPtrA(client, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(clientProc));
  v->mdi->client = client;
  state.open.push_back(v);
  vwindowSetMSWMDIClient(owner, client, reinterpret_cast<std::intptr_t>(&v->rect));
  eachChild(v, [&](viconviewIcon*, vmainviewChild* c) { attach(v, c->window); });
  refreshChildren(v);
}

void close(vdialogItem* item) {
  vmainview* v = asView(item);
  if (win::HWND client = clientOf(v)) {
    eachChild(v, [](viconviewIcon*, vmainviewChild* c) { detach(c->window); });
    std::erase(state.open, v);
    v->mdi->client = nullptr;
    win::DestroyWindow(client);
    if (vwindow* owner = ownerOf(v)) {
      if (owner->native) win::SendMessageA(owner->native->hwnd, kClientGone, 0, 0);
      vwindowSetMSWMDIClient(owner, nullptr, 0);
    }
  }
  super()->close(item);
}

int spacing(vdialogItem* item, vdialogItem* next, int side) {
  if (vlafGetCurrent()->flags & vlafMDI) return 0;
  return super()->spacing(item, next, side);
}

void draw(vdialogItem* item) {
  vmainview* v = asView(item);
  if (!mdiMode(v)) return super()->draw(item);
  vwindow* owner = ownerOf(v);
  if (owner && owner != vwindowMSWGetCreatingWindow() && clientOf(v)) replaceClient(v);
}

int keyDown(vdialogItem* item, vevent*) {
  vmainview* v = asView(item);
  if (mdiMode(v) || !v->domain) return 1;
  vdomainSet* s = vdomainviewSelectedSet(v);
  for (std::int32_t i = 0; i < s->count; ++i)
    if (s->objects[i]->type == viconviewIMAGE_OBJECT)
      if (viconviewIcon* icon = viconviewIconOf(s->objects[i]); icon && childOf(icon)) {
        vwindow* w = childOf(icon)->window;
        if (w->flags & vwindowICONIFIED) vwindowClassOf(w)->deiconify(w);
        vwindowClassOf(w)->raise(w);
        break;
      }
  vdomainDestroySet(s);
  return 1;
}

void setRect(vdialogItem* item, const vrect* r) {
  super()->setRect(item, r);
  if (clientOf(asView(item))) replaceClient(asView(item));
}

void arrangeIcons(viconview* iv) {
  auto* v = static_cast<vmainview*>(iv);
  if (mdiMode(v)) {
    if (clientOf(v)) win::SendMessageA(clientOf(v), win::WM_MDIICONARRANGE, 0, 0);
    return;
  }
  viconviewView* t = v->viewType;
  std::int32_t saved[2] = {t->grid[0], t->grid[1]};
  int w = 0, h = 0;
  eachChild(v, [&](viconviewIcon* icon, vmainviewChild*) {
    vrect image, name, both;
    viconviewGetIconRects(icon, &image, &name);
    vrectUnion(&image, &name, &both);
    w = std::max<int>(w, both.width);
    h = std::max<int>(h, both.height);
  });
  t->grid[0] = w + 5;
  t->grid[1] = h + 5;
  vexGuard([&] { super()->arrange(v); },
           [&](vexHandler&) {
             t->grid[0] = saved[0], t->grid[1] = saved[1];
             _vexGenerate(nullptr, vexEnd);
           });
  t->grid[0] = saved[0];
  t->grid[1] = saved[1];
}

// ---- The window operations ----------------------------------------------------------------------------

void addWindow(vmainview* v, vwindow* w) {
  if (!w || iconOf(v, w)) return;
  vwindowSetFlags(w, vwindowDECO_DOCUMENT);
  if (mdiMode(v) && clientOf(v)) attach(v, w);
  viconviewIcon* icon = viconviewCreateIcon(v);
  const char* title = w->title ? w->title : "";
  icon->data = reinterpret_cast<std::intptr_t>(newChild(w, title, true, vwindowGetMSWWindow(w)));
  if (!mdiMode(v)) {
    viconviewSetIconName(icon, vscribeLiteral(childOf(icon)->title));
    vobject* own = vwindowGetOwnIcon(w);
    if (own && vclassIsSubclass(own->cls, vimageGetDefaultClass()))  // the window keeps it
      for (viconviewView* type : {viconviewGetIconView(), viconviewGetNameView()})
        viconviewSetIconImage(icon, type, static_cast<vimage*>(own), 0);
  }
  viconviewAddIcon(v, icon);
}

void removeWindow(vmainview* v, vwindow* w) {
  if (mdiMode(v)) detach(w);
  viconviewIcon* icon = iconOf(v, w);
  if (!icon) vexGenerateMessage(&vexModuleStateClass, "vmainviewRemoveWindow -- window is not a child of the view");
  vmainviewChild* c = childOf(icon);
  viconviewRemoveIcon(v, icon);
  icon->data = 0;
  vinstanceDestroy(icon);
  freeChild(c);
  if (v->iconCount == 0)
    if (vwindow* owner = ownerOf(v)) vwindowMSWSetFocus(owner, 1);
}

void retitle(vmainview* v, vwindow* w, char* text, bool owned) {
  viconviewIcon* icon = iconOf(v, w);
  if (!icon) {
    if (owned) vstrDestroy(text);
    vexGenerateMessage(&vexModuleStateClass, "vmainviewSetWindowTitle -- window is not a child of the view");
  }
  vmainviewChild* c = childOf(icon);
  if ((c->flags & 1) && c->title) vstrDestroy(c->title);
  c->title = text;
  c->flags = owned ? 1 : 0;
  viconviewSetIconName(icon, vscribeLiteral(c->title));
}

void setWindowTitle(vmainview* v, vwindow* w, vscribe* s) {
  if (s->flags & (vscribeLITERAL | vscribeNAME)) {
    auto* text = static_cast<char*>(const_cast<void*>(s->data));
    vscribeRelease(s);
    return retitle(v, w, text, false);
  }
  retitle(v, w, vstrCloneScribed(s, nullptr), true);
}

void setWindowTitleC(vmainview* v, vwindow* w, const char* text) { retitle(v, w, vstrClone(text ? text : ""), true); }

void setView(vmainview* v, int type) {
  if (mdiMode(v)) return;
  if (type != 0 && type != 1)
    _vexGenerate(&vexArgClass, vexSetMessage, "unknown view type", vexSetProcedure, "vmainviewSetView", vexEnd);
  v->viewKind = type;
  viconviewSetView(v, type == 0 ? viconviewGetIconView() : viconviewGetNameView());
}

void tile(vmainview* v) {
  if (mdiMode(v) && clientOf(v)) win::SendMessageA(clientOf(v), win::WM_MDITILE, 0, 0);
}

void cascade(vmainview* v) {
  if (mdiMode(v)) {
    if (clientOf(v)) win::SendMessageA(clientOf(v), win::WM_MDICASCADE, 0, 0);
    return;
  }
  int x = v->rect.x, y = v->rect.y + v->rect.height;
  if (vwindow* owner = ownerOf(v)) vwindowTranslatePoint(owner, nullptr, x, y, &x, &y);
  eachChild(v, [&](viconviewIcon*, vmainviewChild* c) {
    vwindow* w = c->window;
    if (!(w->flags & vwindowOPEN)) return;
    if (w->flags & vwindowMAXIMIZED) vwindowClassOf(w)->restore(w);
    if (w->flags & vwindowICONIFIED) return;
    int px = x, py = y - w->rect.height;
    if (w->parent && w->parent != vwindowGetRoot()) vwindowTranslatePoint(nullptr, w->parent, px, py, &px, &py);
    vwindowMove(w, px, py);
    x += 20;
    y -= 20;
  });
}

vwindow* getActiveWindow(vmainview* v) {
  if (mdiMode(v)) {
    if (!clientOf(v)) return nullptr;
    auto h = reinterpret_cast<win::HWND>(win::SendMessageA(clientOf(v), win::WM_MDIGETACTIVE, 0, 0));
    vwindow* w = h ? vwindowFindFromMSWWindow(h) : nullptr;
    return w && iconOf(v, w) ? w : nullptr;
  }
  vwindow* w = vwindowMSWGetFocus();
  return w && iconOf(v, w) ? w : nullptr;
}

int activateWindow(vmainview* v, vwindow* w) {
  if (!w || !iconOf(v, w)) return 0;
  if (mdiMode(v)) {
    if (win::HWND h = vwindowGetMSWWindow(w); h && clientOf(v))
      win::SendMessageA(clientOf(v), win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(h), 0);
    return 1;
  }
  vwindowClassOf(w)->raise(w);
  vwindowMSWSetFocus(w, 1);
  return 1;
}

}  // namespace

vmainviewClassRec* vmainviewGetDefaultClass() {
  Module* m = module();
  if (m->cls) return m->cls;
  m->mdiPool = vpoolCreate(sizeof(vmainviewMDI));
  m->childPool = vpoolCreate(sizeof(vmainviewChild));
  m->handlePool = vpoolCreate(sizeof(win::HWND));
  m->mdi = (vlafGetCurrent()->flags & vlafMDI) != 0;
  auto* c = vclassSpawnOf<vmainviewClassRec>(super());
  c->instanceSize = sizeof(vmainview);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->open = open;
  c->close = close;
  c->spacing = spacing;
  c->draw = draw;
  c->keyDown = keyDown;
  c->setRect = setRect;
  c->arrange = arrangeIcons;
  c->addWindow = addWindow;
  c->removeWindow = removeWindow;
  c->setWindowTitle = setWindowTitle;
  c->setWindowTitleC = setWindowTitleC;
  c->setView = setView;
  c->tile = tile;
  c->cascade = cascade;
  c->getActiveWindow = getActiveWindow;
  c->activateWindow = activateWindow;
  vclassSetName(c, vscribeLiteral("vmainview"));
  m->cls = c;
  return c;
}

vmainview* vmainviewCreate() { return asView(vinstanceCreate(vmainviewGetDefaultClass())); }

int vmainviewIsMDI() {
  vmainviewGetDefaultClass();
  return module()->mdi;
}

vmainviewChild* vmainviewFindChild(vmainview* v, vwindow* w) {
  viconviewIcon* icon = iconOf(v, w);
  return icon ? childOf(icon) : nullptr;
}

std::int32_t vmainviewCountWindows(vmainview* v) {
  std::int32_t n = 0;
  eachChild(v, [&](viconviewIcon*, vmainviewChild*) { ++n; });
  return n;
}

int vmainviewMDINesting() { return state.nesting; }

void _vmainviewSetMDI(int on) {
  vmainviewGetDefaultClass();
  module()->mdi = on != 0;
}

vwindow* _vmainviewDocumentOwner(vwindow* document) {
  for (vmainview* v : state.views)
    if (!mdiMode(v) && iconOf(v, document)) return ownerOf(v);
  return nullptr;
}
