// Menu bars (`menubar.cpp`, `vmenubar`, a dialog item holding menus in an object list) take the
// native road by default: opening the item mirrors the bar into native menus (`mswmenu.cpp`:
// command identifiers 1024-61439 with reuse after the counter runs out, pop-up and accelerator
// dictionaries, the entry texts with their "&" marks and key names) and attaches it to its window
// with the window layer's menu slots, whose menu procedure sees every message first (`WM_COMMAND`
// becomes the item's select with a button-up or key-down event). `accel.cpp` turns the bar's
// accelerators into one native table; the bar hands it with its frame window to the message loop
// through `veventMSWSetActiveAccelerators` (`fw/core/event.h`), which translates through it before
// anything else. A document window's bar is recorded as its child bar and shown on the frame's menu
// line while the frame has none (`WM_USER`+4 asks again); a document window shares the frames'
// native classes, so a frame is a window whose class has the extra bytes and whose first word holds
// a client. Presses and releases over the native menu line (the non-client button messages with the
// menu hit code) reach the bar's button slots as button events in window coordinates, unconsumed,
// so the platform still tracks the line. Owner-drawn entries (`mswmenu_draw.cpp`,
// "wexlindrawmenubar" or a bar in other colours or fonts than the system's menus) are painted by
// the framework into an image the entry's size, copied onto the platform's context; the platform
// adds the sub-menu arrow of an owner-drawn entry after its owner has painted it, as Windows does.

#include "fw/widgets/menus/menubar.h"

#include <algorithm>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar_internal.h"
#include "fw/widgets/menus/mswmenu.h"

namespace {

struct BarState {
  vmenubarClassRec* cls;
  vname flagsKey, ggKey, ggdKey;
  int buttonWidth, buttonHeight, menuLineHeight;  // system metrics 30, 31, 15
};
void** stateSlot = nullptr;
BarState* state();

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vmenubar* asBar(vinstance* o) { return static_cast<vmenubar*>(o); }
vmenubarClassRec* rec(vmenubar* b) { return vmenubarClassOf(b); }
int look() { return vlafGetCurrent()->id; }
bool windowsLook() { return look() == vlafWINDOWS || look() == vlafWIN95; }
bool nativeLook() { return (vlafGetCurrent()->flags & vlafNATIVE_MENU_BAR) != 0; }
bool isOpen(vmenubar* b) { return (b->flags & vdialogItemOPEN) != 0; }
bool mdiLook() { return (vlafGetCurrent()->flags & vlafMDI) != 0; }
bool isFrame(vwindow* w) { return w && vwindowGetMSWMDIClient(w); }
bool isDocumentOfFrame(vwindow* w) {
  return w && (w->decoration & vwindowDECO_DOCUMENT) && isFrame(w->parent);
}
// The first bar among a dialog window's items.
vmenubar* firstBar(vwindow* w) {
  if (!w || !vclassIsSubclass(w->cls, vdialogGetDefaultClass())) return nullptr;
  vdialogItemList* l = static_cast<vdialog*>(w)->items;
  for (int i = 0; l && i < vdialogItemListCount(l); ++i)
    if (vclassIsSubclass(vdialogItemListAt(l, i)->cls, state()->cls)) return static_cast<vmenubar*>(vdialogItemListAt(l, i));
  return nullptr;
}

int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }
vfont* fontOf(vmenubar* b) {
  if (b->attributes && b->attributes->font) return b->attributes->font;
  if (vfont* f = vdialogItemClassOf(b)->font) return f;
  if (b->owner && b->owner->effective.font) return b->owner->effective.font(b->owner->owner);
  return vapplicationGetFont(vapplicationGetCurrent());
}
int textWidth(vmenubar* b, vmenu* m) {
  vfont* f = fontOf(b);
  return f && m->title ? rounded(vfontGetCharsWidth(f, m->title, int(std::strlen(m->title)))) : 0;
}
int inset(vmenubar* b) { return int(vdialogItemClassOf(b)->focusInset); }

void initFields(vmenubar* b) {
  b->edges = b->edgesEnd = b->edgesCapacity = nullptr;
  b->barFlags = vmenubarNATIVE_ALLOWED | vmenubarLAYOUT_STALE;
  b->leftSpacing = b->rightSpacing = b->baseline = b->topSpacing = b->titleHeight = 0;
  b->current = std::int16_t(look() == vlafOPEN_LOOK ? -1 : 0);
  b->leftMargin = 0;
  b->rightMargin = std::int16_t(windowsLook() ? 12 : 0);
  b->currentRect = {};
  b->native = nullptr;
}

void giveWindow(vmenubar* b, vmenu* m) {
  vwindowClassOf(m)->setParent(m, vmenubarGetWindow(b));
}

// ---- Slots.
void init(vinstance* self) {
  super()->init(self);
  vmenubar* b = asBar(self);
  vinstanceInit(&b->menus, vobjectListGetDefaultClass());
  initFields(b);
}

void closeBar(vdialogItem* item);

void destroy(vinstance* self) {
  vmenubar* b = asBar(self);
  if (isOpen(b)) closeBar(b);
  _vmenubarForget(b);
  vmswmenuDestroyBar(b);
  vinstanceDestroy(&b->menus);
  if (b->edges) vmemFree(b->edges);
  b->edges = nullptr;
  super()->destroy(self);
}

void copyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  vmenubar* to = asBar(destination);
  vmenubar* from = asBar(source);
  // The base copy runs no init: the list is made here, from the source's.
  vobjectListCopyInit(&from->menus, &to->menus);
  initFields(to);
  to->barFlags = std::uint16_t(to->barFlags | (from->barFlags & (vmenubarLAST_RIGHT | vmenubarFLAG2 | vmenubarGG | vmenubarGGD)));
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vmenubar* to = asBar(destination);
  vmenubar* from = asBar(source);
  vobjectListClassOf(&to->menus)->copy(&from->menus, &to->menus);
  to->barFlags = std::uint16_t((to->barFlags & ~(vmenubarLAST_RIGHT | vmenubarFLAG2 | vmenubarGG | vmenubarGGD)) |
                               (from->barFlags & (vmenubarLAST_RIGHT | vmenubarFLAG2 | vmenubarGG | vmenubarGGD)) |
                               vmenubarLAYOUT_STALE);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vmenubar* b = asBar(self);
  BarState* s = state();
  initFields(b);
  std::int32_t stored = vresourceGetInteger(resource, s->flagsKey);  // "Non-existent resource" when absent
  std::uint16_t flags = std::uint16_t(stored & 3);
  if (stored & 0x20) flags |= vmenubarLAST_RIGHT;
  if (stored & 0x80) flags |= vmenubarFLAG2;
  int on = 0;
  if (vresourceTestGetBoolean(resource, s->ggKey, &on) && on) flags |= vmenubarGG;
  on = 0;
  if (vresourceTestGetBoolean(resource, s->ggdKey, &on) && on) flags |= vmenubarGGD;
  b->barFlags |= flags;
  vresource menus = vresourceGet(resource, vname_MenuList);
  _vobjectListCheckObjects(menus, vmenuGetDefaultClass());
  vobjectListLoadInit(&b->menus, menus);
  for (int i = 0; i < vmenubarCount(b); ++i) giveWindow(b, vmenubarAt(b, i));
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vmenubar* b = asBar(self);
  BarState* s = state();
  vresourceSetIntegerAt(resource, s->flagsKey, b->barFlags & 3);
  vresourceSetBoolean(resource, s->ggKey, (b->barFlags & vmenubarGG) != 0);
  vresourceSetBoolean(resource, s->ggdKey, (b->barFlags & vmenubarGGD) != 0);
  vresource list;
  if (!vresourceTestGet(resource, vname_MenuList, &list)) list = vresourceCreate(resource, vname_MenuList, vresDICTIONARY);
  vclassRec<vobjectClassRec>(&b->menus)->store(&b->menus, list);
}

void send(vobject* self, vname name, vdict* arguments) {
  super()->send(self, name, arguments);
  vmenubar* b = asBar(self);
  if (name == vname_Font) rec(b)->invalLayout(b);
  if (!vmenubarIsNative(b)) return;
  if (name == vname_State) vmswmenuEnableBar(b);
  else if (name == vname_Font || name == vname_Foreground || name == vname_Background) {
    int native = rec(b)->canBeNative(b);
    if (native != ((b->barFlags & vmenubarNATIVE_TEXT) != 0)) {
      vmenubarSetNativeText(b, native);
      for (int i = 0; i < vmenubarCount(b); ++i) vmswmenuInsertBarMenu(b, vmenubarAt(b, i), -2);
    }
  }
}

// The native road: the bar becomes the window's native menu line.
void openBar(vdialogItem* item) {
  vmenubar* b = asBar(item);
  if (isOpen(b)) return;
  super()->open(item);
  for (int i = 0; i < vmenubarCount(b); ++i) giveWindow(b, vmenubarAt(b, i));
  if (nativeLook() && (b->barFlags & vmenubarNATIVE_ALLOWED) && vmenubarGetWindow(b)) {
    vmswmenuCreateBar(b);
    vmswmenuAttachBar(b);
    vmswmenuActivateBar(b);
  } else {
    _vmenubarBindKeys(b, true);
    _vmenubarWatchWindow(b, true);
    // Win95 titles follow the pointer while tracking: the window reports motion.
    if (vwindow* w = vmenubarGetWindow(b); w && look() == vlafWIN95) vwindowClassOf(w)->setWantsMotion(w, 1);
  }
}

void closeBar(vdialogItem* item) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) {
    vmswmenuDetachBar(b);
  } else {
    vmenubarPopdownMenu(b);
    vmenubarEnd(b);
    _vmenubarBindKeys(b, false);
    _vmenubarWatchWindow(b, false);
  }
  vmswmenuDestroyBar(b);
  b->barFlags &= ~(vmenubarACTIVE | vmenubarPOPPED);
  super()->close(item);
}

// ---- Layout and sizes.
void growEdges(vmenubar* b, std::size_t count) {
  std::size_t have = std::size_t(b->edgesCapacity - b->edges);
  if (have < count) {
    auto* grown = static_cast<std::int16_t*>(vmemAlloc(sizeof(std::int16_t) * count));
    if (b->edges) vmemFree(b->edges);
    b->edges = grown;
    b->edgesCapacity = grown + count;
  }
  b->edgesEnd = b->edges + count;
}

void calcLayout(vmenubar* b) {
  vfont* f = fontOf(b);
  int ascent = f ? rounded(vfontGetDriver()->ascent(f)) : 0;
  int descent = f ? rounded(vfontGetDriver()->descent(f)) : 0;
  int height = ascent + descent;
  int n = vmenubarCount(b);
  bool pushed = (b->barFlags & vmenubarLAST_RIGHT) && (look() == vlafMOTIF || look() == vlafCUA) && n > 0;
  growEdges(b, std::size_t(n + (pushed ? 1 : 0)));
  if (windowsLook()) {
    b->leftMargin = 0;
    b->rightMargin = 12;
    int minimum = 0;
    bool modern = (vsysGetVersion() & 0xFF) >= 4;
    if (look() == vlafWINDOWS && !modern) minimum = state()->menuLineHeight;
    if (look() == vlafWIN95 && modern) minimum = state()->menuLineHeight - 1;
    b->titleHeight = std::int16_t(std::max(height + 2, minimum));
    b->baseline = std::int16_t((b->titleHeight - height - 2) / 2 + descent + 2);
    b->topSpacing = std::int16_t(b->titleHeight - ascent - b->baseline);
    b->leftSpacing = b->rightSpacing = std::int16_t(height / 2);
    int x = _vmenubarStrip(b)->rect.x + b->leftMargin;
    for (int i = 0; i < n; ++i) {
      x += textWidth(b, vmenubarAt(b, i)) + 2 * b->leftSpacing;
      b->edges[i] = std::int16_t(x);
    }
  } else {
    vmenuFrameMargins fm{};
    if (n > 0) vmenuClassOf(vmenubarAt(b, 0))->measureFrame(vmenubarAt(b, 0), &fm);
    int reduce = look() == vlafCUA ? 0 : 3;
    b->leftSpacing = std::int16_t(n ? std::max(0, fm.left - reduce) : 0);
    b->rightSpacing = std::int16_t(n ? std::max(0, fm.right - reduce) : 0);
    b->baseline = std::int16_t(n ? fm.bottom : 0);
    b->topSpacing = std::int16_t(n ? fm.top : 0);
    b->leftMargin = b->rightMargin = 0;
    if (n && look() == vlafCUA) {
      // The frame margins alone run the titles together and put the
      // descenders and mnemonic lines on the bar's edge: half the text
      // height beside each title, the descent and two pixels under the
      // baseline, three over the letters.
      b->leftSpacing = std::int16_t(std::max<int>(b->leftSpacing, height / 2));
      b->rightSpacing = std::int16_t(std::max<int>(b->rightSpacing, height / 2));
      b->baseline = std::int16_t(std::max<int>(b->baseline, fm.baseline + 2));
      b->topSpacing = std::int16_t(std::max<int>(b->topSpacing, 3));
    } else if (n && look() == vlafOPEN_LOOK) {
      // Each oblong is as wide as its slot: a gap after it and a margin
      // before the first keep the rounded ends apart and off the edge.
      b->leftSpacing = std::int16_t(std::max<int>(b->leftSpacing, 2));
      b->rightSpacing = std::int16_t(std::max<int>(b->rightSpacing, 2));
      b->leftMargin = b->rightMargin = 4;
    }
    b->titleHeight = std::int16_t(ascent + b->baseline + b->topSpacing);
    int extra = look() == vlafOPEN_LOOK ? 32 : 0;
    int x = b->rect.x + inset(b) + b->leftMargin;
    for (int i = 0; i < n; ++i) {
      x += textWidth(b, vmenubarAt(b, i)) + b->leftSpacing + b->rightSpacing + extra;
      b->edges[i] = std::int16_t(x);
    }
    if (pushed) {
      int end = b->rect.x + b->rect.width - b->rightMargin - inset(b);
      b->edges[n] = std::int16_t(end);
      int own = textWidth(b, vmenubarAt(b, n - 1)) + b->leftSpacing + b->rightSpacing;
      if (n > 1) b->edges[n - 1] = std::int16_t(std::max(int(b->edges[n - 2]), end - own));
    }
  }
  b->barFlags &= ~vmenubarLAYOUT_STALE;
}

void pendingLayout(vmenubar* b) {
  if (b->barFlags & vmenubarLAYOUT_STALE) rec(b)->calcLayout(b);
}

int titlesWidth(vmenubar* b, int extra) {
  int sum = 0;
  for (int i = 0; i < vmenubarCount(b); ++i) sum += textWidth(b, vmenubarAt(b, i)) + b->leftSpacing + b->rightSpacing + extra;
  return sum;
}

// Under the global bar: a document's bar takes no room, and a frame's bar
// none in height while its active document is maximized (its titles then
// go into the frame's native menu line).
bool globalSize(vmenubar* b, int* width, int* height) {
  if (!(vlafGetCurrent()->flags & vlafGLOBAL_MENU_BAR)) return false;
  if (vmenubarIsChildOfGlobal(b)) {
    *width = *height = 0;
    return true;
  }
  return false;
}
bool activeMaximized(vmenubar* b) {
  vwindow* doc = vmenubarGetActiveChild(vmenubarGetWindow(b));
  return doc && (doc->flags & vwindowMAXIMIZED) && !(doc->flags & vwindowICONIFIED);
}

void titlesSize(vmenubar* b, int* width, int* height);

void naturalSize(vdialogItem* item, int* width, int* height) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) {
    *width = *height = 0;
    return;
  }
  if (globalSize(b, width, height)) return;
  titlesSize(b, width, height);
  if ((vlafGetCurrent()->flags & vlafGLOBAL_MENU_BAR) && activeMaximized(b)) *height = 0;
}

void titlesSize(vmenubar* b, int* width, int* height) {
  pendingLayout(b);
  if (look() == vlafOPEN_LOOK) {
    *width = b->leftMargin + b->rightMargin + titlesWidth(b, 32);
    *height = 23;
    return;
  }
  *width = b->leftMargin + b->rightMargin + titlesWidth(b, 0);
  *height = b->titleHeight;
  if (windowsLook()) {
    *height += inset(b);
  } else {
    *width += 2 * inset(b);
    *height += 2 * inset(b);
  }
}

void minSize(vdialogItem* item, int* width, int* height) {
  vmenubar* b = asBar(item);
  if (vmenubarIsNative(b)) {
    *width = *height = 0;
    return;
  }
  if (vlafGetCurrent()->flags & vlafGLOBAL_MENU_BAR) {
    naturalSize(item, width, height);
    return;
  }
  pendingLayout(b);
  int first = vmenubarCount(b) ? textWidth(b, vmenubarAt(b, 0)) : 0;
  int spacings = b->leftSpacing + b->rightSpacing + b->leftMargin + b->rightMargin;
  if (look() == vlafOPEN_LOOK) {
    vfont* f = fontOf(b);
    *width = spacings + first;
    *height = std::max(f ? rounded(vfontGetHeight(f)) + 4 : 0, 20) + 3;
    return;
  }
  *width = spacings + 2 * inset(b) + first;
  *height = b->titleHeight + 2 * inset(b);
}

// Beside its neighbours a bar keeps no spacing, but outside multiple
// documents and native bars it keeps the item's usual one below and above.
int spacing(vdialogItem* item, vdialogItem* neighbour, int side) {
  if ((vlafGetCurrent()->flags & (vlafMDI | vlafNATIVE_MENU_BAR)) == 0 && (side == 4 || side == 5))
    return super()->spacing(item, neighbour, side);
  return 0;
}

void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  vmenubar* b = asBar(item);
  for (int i = 0; i < vmenubarCount(b); ++i) giveWindow(b, vmenubarAt(b, i));
}

// Over a maximized document the frame's bar draws into the frame's native
// menu line, right of the document's system box: the whole-window context
// for the binding, the origin moved from the client area to the line.
void setDrawingState(vdialogItem* item) {
  vmenubar* b = asBar(item);
  vwindow* w = vmenubarGetWindow(b);
  if (!_vmenubarOverMaximized(b)) {
    super()->setDrawingState(item);
    return;
  }
  std::uint32_t had = w->native->flags & vwindowMSW_WINDOW_DC;
  w->native->flags |= vwindowMSW_WINDOW_DC;
  vexGuard([&] { super()->setDrawingState(item); },
           [&](vexHandler&) {
             w->native->flags = (w->native->flags & ~vwindowMSW_WINDOW_DC) | had;
             _vexGenerate(nullptr, vexEnd);
           });
  w->native->flags = (w->native->flags & ~vwindowMSW_WINDOW_DC) | had;
  win::RECT outer{};
  win::GetWindowRect(w->native->hwnd, &outer);
  win::POINT client{0, 0};
  win::ClientToScreen(w->native->hwnd, &client);
  const BarState* s = state();
  vdrawTranslate(s->buttonWidth + 1 + client.x - outer.left, s->menuLineHeight + 1 + outer.top - client.y);
  if (vcolor* c = vdialogGetItemColor(b, vcolorFOREGROUND)) vdrawSetColor(c);
  if (vfont* f = vdialogDetermineItemFont(b)) vdrawSetFont(f);
  vdrawSetLineWidth(double(inset(b)));
}

// A font or colour changed above the bar: titles are measured again, and
// owner-drawn native entries mirrored again in place.
void inheritedChanged(vobject* self, vname name, vdict* arguments) {
  super()->reserved8(self, name, arguments);
  vmenubar* b = asBar(self);
  rec(b)->invalLayout(b);
  if (vmenubarIsNative(b) && !(b->barFlags & vmenubarNATIVE_TEXT))
    for (int i = 0; i < vmenubarCount(b); ++i) vmswmenuInsertBarMenu(b, vmenubarAt(b, i), -2);
}

void setRect(vdialogItem* item, const vrect* r) {
  vmenubar* b = asBar(item);
  if (vrectEqual(&b->rect, r)) return;
  super()->setRect(item, r);
  rec(b)->invalLayout(b);
}
void setFont(vdialogItem* item, vfont* font) {
  super()->setFont(item, font);
  rec(asBar(item))->invalLayout(asBar(item));
}

// ---- Own slots.
void invalLayout(vmenubar* b) {
  b->barFlags |= vmenubarLAYOUT_STALE;
  _vmenubarRedrawStrip(b);
  if (!vmenubarGlobalLook()) return;
  vmenubar* partner = vmenubarIsChildOfGlobal(b) ? vmenubarGetFrameBar(b) : vmenubarGetChildBar(b);
  if (partner == b) return;
  partner->barFlags |= vmenubarLAYOUT_STALE;
  _vmenubarRedrawStrip(partner);
}

void appendMenu(vmenubar* b, vmenu* m) {
  vobjectListAppend(&b->menus, m);
  giveWindow(b, m);
  rec(b)->invalLayout(b);
  if (vmenubarIsNative(b)) {
    vmswmenuInsertBarMenu(b, m, -1);
    vmswmenuRebuildAccelerators(b);
  } else {
    _vmenubarBindMenuKeys(b, m, true);
  }
}

void removeMenu(vmenubar* b, vmenu* m) {
  if (vmenubarIsNative(b)) vmswmenuRemoveBarMenu(b, m);
  else _vmenubarBindMenuKeys(b, m, false);
  vobjectListRemove(&b->menus, m);
  vwindowClassOf(m)->setParent(m, nullptr);
  rec(b)->invalLayout(b);
}

void moveMenu(vmenubar* b, vmenu* m, int index) {
  if (vmenubarIsNative(b)) vmswmenuMoveBarMenu(b, m, index);
  vobjectListMoveTo(&b->menus, m, index);
  rec(b)->invalLayout(b);
}

void setLastMenuRight(vmenubar* b, int on) {
  b->barFlags = std::uint16_t(on ? b->barFlags | vmenubarLAST_RIGHT : b->barFlags & ~vmenubarLAST_RIGHT);
  rec(b)->invalLayout(b);
}
void setFlag2(vmenubar* b, int on) {
  b->barFlags = std::uint16_t(on ? b->barFlags | vmenubarFLAG2 : b->barFlags & ~vmenubarFLAG2);
}
int canBeNative(vmenubar* b) { return vmswmenuBarCanBeNative(b); }

struct DefaultSize {
  std::int16_t look, width, height;
};
constexpr DefaultSize kDefaultSizes[] = {
    {vlafWINDOWS, 19, 19}, {vlafMOTIF, 26, 26}, {vlafOPEN_LOOK, 23, 23}, {vlafCUA, 22, 22}, {vlafWIN95, 19, 19}};

BarState* state() {
  if (auto* bound = vmoduleState<BarState>(stateSlot)) return bound;
  auto* s = static_cast<BarState*>(vmoduleBindSlot(stateSlot, sizeof(BarState)));
  *s = BarState{};
  s->flagsKey = vnameInternLiteral("vmenubarFlags");
  s->ggKey = vnameInternLiteral("vmenubarGGFlag");
  s->ggdKey = vnameInternLiteral("vmenubarGGDFlag");
  s->buttonWidth = win::GetSystemMetrics(30);
  s->buttonHeight = win::GetSystemMetrics(31);
  s->menuLineHeight = win::GetSystemMetrics(win::SM_CYMENU);
  if (nativeLook()) vmswmenuStartup();
  vmenuGetDefaultClass();
  auto* c = vclassSpawnOf<vmenubarClassRec>(super());
  vclassSetName(c, vscribeLiteral("vmenubar"));
  c->instanceSize = sizeof(vmenubar);
  for (const DefaultSize& d : kDefaultSizes)
    if (d.look == look()) c->defaultWidth = d.width, c->defaultHeight = d.height;
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->send = send;
  c->reserved8 = inheritedChanged;
  c->open = openBar;
  c->close = closeBar;
  c->naturalSize = naturalSize;
  c->minSize = minSize;
  c->setRect = setRect;
  c->spacing = spacing;
  c->setOwner = setOwner;
  c->setDrawingState = setDrawingState;
  c->setFont = setFont;
  c->invalLayout = invalLayout;
  c->appendMenu = appendMenu;
  c->removeMenu = removeMenu;
  c->moveMenu = moveMenu;
  c->calcLayout = calcLayout;
  c->setLastMenuRight = setLastMenuRight;
  c->setFlag2 = setFlag2;
  c->canBeNative = canBeNative;
  _vmenubarFillTracking(c);
  // Titles in the native menu colours: text, menu, highlighted text, highlight.
  const int bound[4][2] = {{vcolorFOREGROUND, 15}, {vcolorBACKGROUND, 14}, {vcolorFOREGROUND_HILITE, 18},
                           {vcolorBACKGROUND_HILITE, 17}};
  for (std::int16_t id : {vlafWINDOWS, vlafCUA, vlafWIN95})
    for (const auto& b : bound) vlafSetClassMSWSysColor(id, -1, c, b[0], b[1]);
  vlafSetClassMSWColors(look(), c);
  if (look() == vlafWIN95) vlafSetClassMSWFont(vlafWIN95, c, 1);
  s->cls = c;
  return s;
}

}  // namespace

bool _vmenubarOverMaximized(vmenubar* bar) {
  vwindow* w = vmenubarGetWindow(bar);
  return vmenubarGlobalLook() && w && w->native && !vmenubarIsChildOfGlobal(bar) && activeMaximized(bar);
}

vrect _vmenubarStripRect(vmenubar* strip) {
  vrect r = strip->rect;
  if (!vmenubarGlobalLook()) return r;
  int width = 0, height = 0;
  titlesSize(vmenubarGetChildBar(strip), &width, &height);
  if (_vmenubarOverMaximized(strip))
    r.width = std::int16_t(std::max(0, vmenubarGetWindow(strip)->rect.width - 2 * (state()->buttonWidth + 1)));
  r.y = std::int16_t(r.y + r.height - height);
  r.height = std::int16_t(height);
  return r;
}

void _vmenubarRedrawStrip(vmenubar* bar) {
  if (!isOpen(bar)) return;
  vdialogItemClassOf(bar)->invalRect(bar, &bar->rect, 0);
  // The titles in a frame's menu line are drawn again as its client area
  // updates (the platform may have painted the line anew meanwhile).
  vwindow* w = vmenubarGetWindow(bar);
  if (vmenubarGlobalLook() && isFrame(w) && w->native) {
    win::RECT top{0, 0, w->rect.width, 1};
    win::InvalidateRect(w->native->hwnd, &top, 0);
  }
}

int _vmenubarLook() { return look(); }
bool _vmenubarWindowsLook() { return windowsLook(); }
void _vmenubarPendingLayout(vmenubar* bar) { pendingLayout(bar); }
int _vmenubarTextWidth(vmenubar* bar, vmenu* menu) { return textWidth(bar, menu); }
vfont* _vmenubarFont(vmenubar* bar) { return fontOf(bar); }
int _vmenubarButtonWidth() { return state()->buttonWidth; }
int _vmenubarMenuLineHeight() { return state()->menuLineHeight; }

vmenubarClassRec* vmenubarGetDefaultClass() { return state()->cls; }
vmenubar* vmenubarCreate() { return asBar(vinstanceCreate(vmenubarGetDefaultClass())); }

void vmenubarSetNativeText(vmenubar* bar, int on) {
  bar->barFlags = std::uint16_t(on ? bar->barFlags | vmenubarNATIVE_TEXT : bar->barFlags & ~vmenubarNATIVE_TEXT);
}

vwindow* vmenubarGetWindow(vmenubar* bar) {
  vdialogItemList* l = bar->owner;
  if (!l || !l->effective.window) return nullptr;
  return l->effective.window(l->owner);
}

void vmenubarStartup() { vmenubarGetDefaultClass(); }

vmenubar* _vmenubarFirstBar(vwindow* w) { return firstBar(w); }

bool vmenubarGlobalLook() {
  const vlaf* l = vlafGetCurrent();
  std::uint32_t both = vlafMDI | vlafGLOBAL_MENU_BAR;
  return (l->id == vlafWINDOWS || l->id == vlafWIN95) && (l->flags & both) == both;
}

vwindow* vmenubarGetActiveChild(vwindow* window) {
  if (!mdiLook() || !window || !isFrame(window)) return nullptr;
  auto active = win::HWND(win::SendMessageA(vwindowGetMSWMDIClient(window), win::WM_MDIGETACTIVE, 0, 0));
  vwindow* doc = active ? vwindowFindFromMSWWindow(active) : nullptr;
  return doc && vclassIsSubclass(doc->cls, vdialogGetDefaultClass()) ? doc : nullptr;
}

vmenubar* vmenubarGetChildBar(vmenubar* bar) {
  if (!mdiLook() || !isFrame(vmenubarGetWindow(bar))) return bar;
  vmenubar* child = firstBar(vmenubarGetActiveChild(vmenubarGetWindow(bar)));
  return child ? child : bar;
}

int vmenubarIsChildOfGlobal(vmenubar* bar) {
  const vlaf* l = vlafGetCurrent();
  std::uint32_t both = vlafMDI | vlafGLOBAL_MENU_BAR;
  return (l->flags & both) == both && isDocumentOfFrame(vmenubarGetWindow(bar));
}

vmenubar* vmenubarGetFrameBar(vmenubar* bar) {
  if (!vmenubarIsChildOfGlobal(bar)) return bar;
  vmenubar* frame = firstBar(vmenubarGetWindow(bar)->parent);
  return frame ? frame : bar;
}

void vmenubarRefreshFromQueries(vmenubar* bar) {
  if (!bar) return;
  for (int i = 0; i < vmenubarCount(bar); ++i) {
    vmenu* menu = vmenubarAt(bar, i);
    for (int k = 0; k < vmenuItemListCount(&menu->items); ++k) {
      vmenuItem* item = vmenuItemListAt(&menu->items, k);
      if (!item->tag) continue;
      vdict answers;
      vdictInit(&answers, vdictHashName);
      vobjectAttributedOf(item)->addContext(item, &answers);
      if (vexTry([&] { vobjectQueryCommand(item, item->tag, &answers); }))
        for (vname key : {vname_Title, vname_State, vname_Toggle})
          if (const void* value = vdictGet(&answers, key)) vobjectAttributedOf(item)->setAttribute(item, key, value);
      vdictFinish(&answers);
    }
  }
}
