#include "fw/widgets/menus/mswmenu.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "fw/core/cp1252.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menubar.h"

namespace {

struct Module {
  bool started = false;
  vpool* bars = nullptr;
  vpool* mirrors = nullptr;
  int columnLimit = 0;
  bool framework = false;  // "wexlindrawmenubar"
  bool native = false;     // "nativedrawmenubar"
  win::HMENU placeholder = nullptr;
  win::HMENU shown = nullptr;  // the pop-up last reported opening
  std::intptr_t partner = 0;
};
Module mod;

bool prefSet(const char* name) {
  const char* v = vprefGetString(vprefGetDefaultDict(), vscribeCString(name));
  return v && *v;
}

void forget(vdict* d, const void* key) {
  if (key && vdictHas(d, key)) vdictRemove(d, key);
}
// Identifiers run in order: spread them over the table.
std::uint32_t hashId(const void* key) {
  return std::uint32_t(reinterpret_cast<std::uintptr_t>(key)) * 2654435761u;
}
const void* idKey(std::uint32_t id) { return reinterpret_cast<const void*>(std::uintptr_t(id)); }
vmenuItem* itemOfId(vmswmenuBar* b, std::uint32_t id) {
  if (id < vmswmenuFIRST_ID || id >= vmswmenuEND_ID) return nullptr;
  return static_cast<vmenuItem*>(vdictGet(b->ids, idKey(id)));
}

int indexOf(vmenu* menu, vmenuItem* item) { return vobjectListIndexOf(&menu->items, item); }

// Identifiers in increasing order, then the smallest free one.
std::uint32_t allocateId(vmswmenuBar* b) {
  if (b->next < vmswmenuEND_ID) return b->next++;
  for (std::uint32_t id = vmswmenuFIRST_ID; id < vmswmenuEND_ID; ++id)
    if (!itemOfId(b, id)) return id;
  return vmswmenuEND_ID;
}

void releaseId(vmswmenuBar* b, std::uint32_t id) {
  forget(b->ids, idKey(id));
  forget(b->keys, idKey(id));
}

// Where the bar's native entries start: a maximized document window's
// system menu takes position 0 of its frame's bar.
int barShift(vmswmenuBar* b) {
  if (!b->frame || win::GetMenu(b->frame) != b->bar) return 0;
  win::HWND client = reinterpret_cast<win::HWND>(win::GetWindowLongPtrA(b->frame, 0));
  if (!client || win::GetClassLongPtrA(b->frame, win::GCL_CBWNDEXTRA) != 8) return 0;
  win::BOOL maximized = 0;
  win::SendMessageA(client, win::WM_MDIGETACTIVE, 0, reinterpret_cast<win::LPARAM>(&maximized));
  return maximized ? 1 : 0;
}

bool isWin95() { return vlafGetCurrent()->id == vlafWIN95; }
bool menuGrayed(vmenu* menu, vmenuItem* item) { return !vmenuItemIsEnabled(item) || !vmenuIsEnabled(menu); }

void radioCheck(vmswmenuMirror* mirror, int position) {
  win::UINT p = win::UINT(position);
  if (!win::CheckMenuRadioItem(mirror->popup, p, p, p, win::MF_BYPOSITION))
    win::CheckMenuItem(mirror->popup, p, win::MF_BYPOSITION | win::MF_CHECKED);
}

void destroyMirrorRecord(vmenu* menu) {
  if (auto* mirror = vmswmenuMirrorOf(menu)) vpoolFree(mod.mirrors, mirror);
  menu->mirror = nullptr;
}

}  // namespace

void vmswmenuStartup() {
  if (mod.started) return;
  mod.started = true;
  mod.bars = vpoolCreate(sizeof(vmswmenuBar));
  mod.mirrors = vpoolCreate(sizeof(vmswmenuMirror));
  mod.columnLimit = vwindowGetRoot()->rect.height / 10 * 9;
  mod.framework = prefSet("wexlindrawmenubar");
  mod.native = prefSet("nativedrawmenubar");
  if (mod.native) mod.framework = false;
  vmoduleAddExitProc([] {
    if (mod.placeholder) win::DestroyMenu(mod.placeholder);
    vpoolDestroy(mod.bars);
    vpoolDestroy(mod.mirrors);
    mod = Module{};
  });
}
bool vmswmenuDrawsNative() { return mod.native; }
bool vmswmenuDrawsFramework() { return mod.framework; }
int vmswmenuColumnLimit() { return mod.columnLimit; }

void vmswmenuEntryText(vmenuItem* item, char* out, std::size_t size) {
  std::string text = item->title;
  if (item->mnemonic) {
    auto fold = [](char c) { return cp1252::lower[std::uint8_t(c)]; };
    auto at = std::find_if(text.begin(), text.end(), [&](char c) { return fold(c) == fold(item->mnemonic); });
    if (at != text.end()) text.insert(at, '&');
  }
  if (item->accelerator) {
    vstr* name = vlafKeyName(item->accelerator);
    text += '\t';
    text += name;
    vstrDestroy(name);
  }
  std::snprintf(out, size, "%s", text.c_str());
}

// ---- Items.
void vmswmenuInsertMenuItem(vmenu* menu, vmenuItem* item, int position) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror || !mirror->bar) return;
  vmswmenuBar* b = mirror->bar;
  bool modify = position == -2;
  int own = modify ? indexOf(menu, item) : -1;
  win::UINT where = win::UINT(modify ? own : position);
  win::UINT flags = win::MF_BYPOSITION;
  win::UINT_PTR id = 0;
  vmenu* sub = vmenuGetItemSubMenu(item);
  win::HMENU previous = modify ? win::GetSubMenu(mirror->popup, own) : nullptr;
  if (sub) {
    flags |= win::MF_POPUP;
    win::HMENU handle = previous;
    if (handle && vdictGet(b->popups, handle) != sub) {
      forget(b->popups, handle);
      win::DestroyMenu(handle);
      handle = nullptr;
    }
    if (!handle) {
      handle = vmswmenuCreateMenuMirror(sub, b, nullptr);
      vmenuClassOf(sub)->setPopupParent(sub, item);
      vdictStore(b->popups, handle, sub);
    }
    id = reinterpret_cast<win::UINT_PTR>(handle);
  } else if (previous) {
    if (vmenu* old = static_cast<vmenu*>(vdictGet(b->popups, previous))) vmswmenuDestroyMenuMirror(old, 1);
    forget(b->popups, previous);
  }
  item->flags |= vmenuItemNATIVE_TEXT;
  bool separator = false;
  if (!vmenuItemClassOf(item)->canBeNative(item)) {
    item->flags &= ~vmenuItemNATIVE_TEXT;
    flags |= win::MF_OWNERDRAW;
  } else if (vmenuItemIsSeparator(item)) {
    separator = true;
    flags |= win::MF_SEPARATOR;
  }
  if (vmenuItemIsToggleOn(item)) flags |= win::MF_CHECKED;
  if (item->flags & vmenuItemCOLUMN_BREAK) {
    flags |= win::MF_MENUBREAK;
    mirror->flags |= 1;
  }
  if (menuGrayed(menu, item)) flags |= win::MF_GRAYED;
  if (!sub && !separator) {
    std::uint32_t number;
    if (modify) {
      number = win::GetMenuItemID(mirror->popup, own);
    } else {
      number = allocateId(b);
      if (number >= vmswmenuEND_ID)
        _vexGenerate(&vexModuleLimitClass, vexSetMessage, "Too many menu items, no more IDs", vexSetProcedure,
                     "vmswmenuInsertMenuItem", vexEnd);
    }
    vdictStore(b->ids, idKey(number), item);
    if (item->accelerator) vdictStore(b->keys, idKey(number), reinterpret_cast<const void*>(std::uintptr_t(item->accelerator)));
    else forget(b->keys, idKey(number));
    id = number;
  }
  char text[512] = "";
  const char* entry = text;
  if (flags & win::MF_OWNERDRAW) entry = reinterpret_cast<const char*>(item);
  else if (separator) entry = nullptr;
  else vmswmenuEntryText(item, text, sizeof text);
  if (modify) win::ModifyMenuA(mirror->popup, where, flags, id, entry);
  else win::InsertMenuA(mirror->popup, where, flags, id, entry);
  if (isWin95() && (item->flags & vmenuItemEXCLUSIVE) && vmenuItemIsToggleOn(item))
    radioCheck(mirror, modify ? own : (position < 0 ? win::GetMenuItemCount(mirror->popup) - 1 : position));
}

void vmswmenuDeleteItem(vmenu* menu, vmenuItem* item) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror) return;
  int position = indexOf(menu, item);
  if (mirror->bar) {
    if (vmenu* sub = vmenuGetItemSubMenu(item)) {
      if (vmswmenuMirror* subMirror = vmswmenuMirrorOf(sub)) forget(mirror->bar->popups, subMirror->popup);
      vmswmenuDestroyMenuMirror(sub, 1);
    } else if (position >= 0) {
      std::uint32_t id = win::GetMenuItemID(mirror->popup, position);
      if (id && id != std::uint32_t(-1) && itemOfId(mirror->bar, id) == item) releaseId(mirror->bar, id);
    }
  }
  if (position >= 0) win::DeleteMenu(mirror->popup, win::UINT(position), win::MF_BYPOSITION);
}

void vmswmenuMoveItem(vmenu* menu, int from, int to) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror) return;
  bool popup = win::GetSubMenu(mirror->popup, from) != nullptr;
  win::HMENU sub = win::GetSubMenu(mirror->popup, from);
  win::UINT_PTR id = popup ? reinterpret_cast<win::UINT_PTR>(sub) : win::GetMenuItemID(mirror->popup, from);
  win::RemoveMenu(mirror->popup, win::UINT(from), win::MF_BYPOSITION);
  bool last = to >= vmenuItemListCount(&menu->items) - 1;
  win::UINT flags = win::MF_BYPOSITION | (popup ? win::MF_POPUP : 0);
  win::InsertMenuA(mirror->popup, last ? win::UINT(-1) : win::UINT(to), flags, id, "modify me");
  vmswmenuInsertMenuItem(menu, vmenuItemListAt(&menu->items, to), -2);
  vmswmenuSetDefaultItem(menu, vmenuItemListGetDefault(&menu->items));
  if (mirror->flags & 1) vmenuUpdateGeometry(menu);
}

void vmswmenuItemAttributeChanged(vmenu* menu, vmenuItem* item, int index) {
  if (!vmswmenuMirrorOf(menu)) return;
  if ((index >= 1 && index <= 6) || index == 8 || (index == 9 && (item->flags & vmenuItemNATIVE_TEXT)))
    vmswmenuInsertMenuItem(menu, item, -2);
}

void vmswmenuSetItemEnabled(vmenuItem* item, int on) {
  vmenu* menu = vmenuItemGetMenu(item);
  vmswmenuMirror* mirror = menu ? vmswmenuMirrorOf(menu) : nullptr;
  if (!mirror) return;
  bool enabled = on && vmenuIsEnabled(menu);
  win::EnableMenuItem(mirror->popup, win::UINT(indexOf(menu, item)),
                      win::MF_BYPOSITION | (enabled ? win::MF_ENABLED : win::MF_GRAYED));
}

void vmswmenuSetItemToggle(vmenuItem* item, int on) {
  vmenu* menu = vmenuItemGetMenu(item);
  vmswmenuMirror* mirror = menu ? vmswmenuMirrorOf(menu) : nullptr;
  if (!mirror) return;
  int position = indexOf(menu, item);
  if (on && isWin95() && (item->flags & vmenuItemEXCLUSIVE) &&
      win::CheckMenuRadioItem(mirror->popup, win::UINT(position), win::UINT(position), win::UINT(position),
                              win::MF_BYPOSITION))
    return;
  win::CheckMenuItem(mirror->popup, win::UINT(position), win::MF_BYPOSITION | (on ? win::MF_CHECKED : win::MF_UNCHECKED));
}

void vmswmenuSetDefaultItem(vmenu* menu, vmenuItem* item) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror) return;
  win::SetMenuDefaultItem(mirror->popup, item ? win::UINT(indexOf(menu, item)) : win::UINT(-1), 1);
}

void vmswmenuMenuAttributeChanged(vmenu* menu, vname name) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror || !mirror->bar) return;
  vmenubar* bar = mirror->bar->owner;
  bool onBar = bar && vobjectListIndexOf(&bar->menus, menu) >= 0;
  if (name == vname_State) {
    for (int i = 0; i < vmenuItemListCount(&menu->items); ++i) {
      vmenuItem* item = vmenuItemListAt(&menu->items, i);
      vmswmenuSetItemEnabled(item, vmenuItemIsEnabled(item));
    }
    if (onBar) vmswmenuEnableBarMenu(bar, menu);
  } else if (onBar && (name == vname_Title || name == vname_Mnemonic)) {
    vmswmenuInsertBarMenu(bar, menu, -2);
  }
}

// ---- Menu mirrors.
win::HMENU vmswmenuCreateMenuMirror(vmenu* menu, vmswmenuBar* bar, win::HMENU reuse) {
  if (vmswmenuMirror* existing = vmswmenuMirrorOf(menu)) return existing->popup;
  win::HMENU popup = reuse;
  if (popup) {
    while (win::GetMenuItemCount(popup) > 0) win::DeleteMenu(popup, 0, win::MF_BYPOSITION);
  } else {
    popup = win::CreatePopupMenu();
    if (!popup) return nullptr;  // left unmirrored
  }
  auto* mirror = vpoolAllocOf<vmswmenuMirror>(mod.mirrors);
  *mirror = vmswmenuMirror{popup, 0, bar};
  menu->mirror = mirror;
  for (int i = 0; i < vmenuItemListCount(&menu->items); ++i)
    vmswmenuInsertMenuItem(menu, vmenuItemListAt(&menu->items, i), -1);
  vmswmenuSetDefaultItem(menu, vmenuItemListGetDefault(&menu->items));
  return popup;
}

void vmswmenuDestroyMenuMirror(vmenu* menu, int remove) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!mirror) return;
  for (int i = vmenuItemListCount(&menu->items); i-- > 0;) {
    vmenuItem* item = vmenuItemListAt(&menu->items, i);
    if (remove) {
      vmswmenuDeleteItem(menu, item);
    } else if (vmenu* sub = vmenuGetItemSubMenu(item)) {
      if (mirror->bar && vmswmenuMirrorOf(sub)) forget(mirror->bar->popups, vmswmenuMirrorOf(sub)->popup);
      vmswmenuDestroyMenuMirror(sub, 0);
    } else if (mirror->bar) {
      std::uint32_t id = win::GetMenuItemID(mirror->popup, i);
      if (id != std::uint32_t(-1) && itemOfId(mirror->bar, id) == item) releaseId(mirror->bar, id);
    }
  }
  if (menu->popup) menu->popup->parent = nullptr;
  if (mod.shown == mirror->popup) mod.shown = nullptr;
  destroyMirrorRecord(menu);
}

void vmswmenuSaveMirror(vmenu* menu, vmswmenuSaved* saved) {
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  *saved = {};
  if (!mirror) return;
  saved->popup = mirror->popup;
  saved->bar = mirror->bar;
  saved->parent = vmenuGetOpenState(menu);
}

void vmswmenuRestoreMirror(vmenu* menu, const vmswmenuSaved* saved) {
  if (!saved->popup) return;
  auto* bar = static_cast<vmswmenuBar*>(saved->bar);
  vmswmenuCreateMenuMirror(menu, bar, static_cast<win::HMENU>(saved->popup));
  vmenuClassOf(menu)->setPopupParent(menu, static_cast<vmenuItem*>(saved->parent));
  if (bar && bar->owner) vmswmenuRebuildAccelerators(bar->owner);
}

// ---- Bars.
namespace {

vmswmenuBar* barOf(vmenubar* bar) { return bar ? bar->native : nullptr; }

win::UINT barEntryFlags(vmenubar* bar, vmenu* menu) {
  win::UINT flags = win::MF_BYPOSITION | win::MF_POPUP;
  if (!vmenuIsEnabled(menu) || !vmenubarIsEnabled(bar)) flags |= win::MF_GRAYED;
  if (!(bar->barFlags & vmenubarNATIVE_TEXT)) flags |= win::MF_OWNERDRAW;
  return flags;
}

std::string barEntryText(vmenu* menu) {
  std::string text = menu->title ? menu->title : "";
  if (menu->mnemonic) {
    auto fold = [](char c) { return cp1252::lower[std::uint8_t(c)]; };
    auto at = std::find_if(text.begin(), text.end(), [&](char c) { return fold(c) == fold(menu->mnemonic); });
    if (at != text.end()) text.insert(at, '&');
  }
  return text;
}

bool sameColor(vcolor* a, int role) { return a && vlafMatchesMSWSysColor(a, role); }

// The framework's own message numbers.
constexpr win::UINT kInstallChildBar = win::WM_USER + 4;
constexpr win::UINT kRedrawBar = win::WM_USER + 6;

// Document windows share the frames' classes: a frame also holds its client.
bool isMDIFrame(win::HWND hwnd) {
  return hwnd && win::GetClassLongPtrA(hwnd, win::GCL_CBWNDEXTRA) == 8 && win::GetWindowLongPtrA(hwnd, 0) != 0;
}
win::HWND mdiClientOf(win::HWND frame) { return reinterpret_cast<win::HWND>(win::GetWindowLongPtrA(frame, 0)); }

win::HMENU placeholder() {
  if (!mod.placeholder) {
    mod.placeholder = win::CreateMenu();
    win::InsertMenuA(mod.placeholder, win::UINT(-1), win::MF_BYPOSITION | win::MF_GRAYED, 0, "");
  }
  return mod.placeholder;
}

// Keeps the client area where it was on the screen when the menu line
// grows or shrinks, never moving the frame above the screen's top. A
// window already gone (closed before its bar), or one whose height was
// not known before (-1), is left alone.
void keepClientPlace(win::HWND hwnd, int clientHeightBefore) {
  win::RECT client{}, outer{};
  if (clientHeightBefore < 0 || !win::GetClientRect(hwnd, &client) || !win::GetWindowRect(hwnd, &outer)) return;
  int change = clientHeightBefore - (client.bottom - client.top);
  if (!change) return;
  int top = std::max(0, int(outer.top) - change);
  win::MoveWindow(hwnd, outer.left, top, outer.right - outer.left, outer.bottom - outer.top + change, 1);
}

int clientHeight(win::HWND hwnd) {
  win::RECT r{};
  return win::GetClientRect(hwnd, &r) ? r.bottom - r.top : -1;
}

}  // namespace

int vmswmenuBarCanBeNative(vmenubar* bar) {
  if (mod.native) return 1;
  if (mod.framework) return 0;
  vcolorScheme none{}, s{};
  std::uint32_t mask = vcolorSchemeBit(vcolorFOREGROUND) | vcolorSchemeBit(vcolorBACKGROUND) |
                       vcolorSchemeBit(vcolorFOREGROUND_HILITE) | vcolorSchemeBit(vcolorBACKGROUND_HILITE);
  vdialogItemClassOf(bar)->determineSchemeColors(bar, &none, mask, &s);
  if (!sameColor(s.entries[vcolorFOREGROUND], 15) || !sameColor(s.entries[vcolorBACKGROUND], 14) ||
      !sameColor(s.entries[vcolorFOREGROUND_HILITE], 18) || !sameColor(s.entries[vcolorBACKGROUND_HILITE], 17))
    return 0;
  vfont* font = bar->attributes && bar->attributes->font ? bar->attributes->font : vdialogItemClassOf(bar)->font;
  return vwindowMSWIsSystemFont(font, 1) ? 1 : 0;
}

vmswmenuBar* vmswmenuCreateBar(vmenubar* bar) {
  vmswmenuStartup();
  if (bar->native) return bar->native;
  auto* b = vpoolAllocOf<vmswmenuBar>(mod.bars);
  *b = vmswmenuBar{};
  b->bar = win::CreateMenu();
  b->ids = vdictCreate(hashId);
  b->popups = vdictCreate(vdictHashPointer);
  b->keys = vdictCreate(hashId);
  b->next = vmswmenuFIRST_ID;
  b->owner = bar;
  bar->native = b;
  vmenubarSetNativeText(bar, vmenubarClassOf(bar)->canBeNative(bar));
  for (int i = 0; i < vmenubarCount(bar); ++i) vmswmenuInsertBarMenu(bar, vmenubarAt(bar, i), -1);
  vmswmenuRebuildAccelerators(bar);
  return b;
}

void vmswmenuDestroyBar(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  if (!b) return;
  for (int i = 0; i < vmenubarCount(bar); ++i) {
    vmenu* menu = vmenubarAt(bar, i);
    vmswmenuDestroyMenuMirror(menu, 0);
    if (menu->popup && menu->popup->parent == reinterpret_cast<vmenuItem*>(bar)) menu->popup->parent = nullptr;
  }
  win::HWND frame;
  if (veventMSWGetActiveAccelerators(&frame) == b->accel.handle && b->accel.handle)
    veventMSWSetActiveAccelerators(nullptr, nullptr);
  vmswaccelDestroy(&b->accel);
  vdictDestroy(b->ids);
  vdictDestroy(b->popups);
  vdictDestroy(b->keys);
  if (b->frame && win::GetMenu(b->frame) == b->bar) win::SetMenu(b->frame, nullptr);
  win::DestroyMenu(b->bar);  // with every pop-up in it
  vpoolFree(mod.bars, b);
  bar->native = nullptr;
}

void vmswmenuInsertBarMenu(vmenubar* bar, vmenu* menu, int position) {
  vmswmenuBar* b = barOf(bar);
  if (!b) return;
  int index = vobjectListIndexOf(&bar->menus, menu);
  int shift = barShift(b);
  win::UINT flags = barEntryFlags(bar, menu);
  win::HMENU popup;
  if (position == -2) {
    popup = vmswmenuMirrorOf(menu) ? vmswmenuMirrorOf(menu)->popup : nullptr;
    if (!popup) return;
  } else {
    popup = vmswmenuCreateMenuMirror(menu, b, nullptr);
    if (!popup) return;
    vdictStore(b->popups, popup, menu);
    vmenuClassOf(menu)->setPopupParent(menu, reinterpret_cast<vmenuItem*>(bar));
  }
  std::string text = barEntryText(menu);
  const char* entry = (flags & win::MF_OWNERDRAW) ? reinterpret_cast<const char*>(menu) : text.c_str();
  if (position == -2) {
    win::ModifyMenuA(b->bar, win::UINT(index + shift), flags, reinterpret_cast<win::UINT_PTR>(popup), entry);
  } else {
    int at = position >= 0 ? position + shift : vmenubarCount(bar) - 1 + shift;
    if (at > win::GetMenuItemCount(b->bar)) at = -1;
    win::InsertMenuA(b->bar, win::UINT(at), flags, reinterpret_cast<win::UINT_PTR>(popup), entry);
  }
  vmswmenuRedrawBar(bar, 0);
}

void vmswmenuRemoveBarMenu(vmenubar* bar, vmenu* menu) {
  vmswmenuBar* b = barOf(bar);
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  if (!b || !mirror) return;
  win::HMENU popup = mirror->popup;
  int index = vobjectListIndexOf(&bar->menus, menu);
  if (index >= 0) win::RemoveMenu(b->bar, win::UINT(index + barShift(b)), win::MF_BYPOSITION);
  forget(b->popups, popup);
  vmswmenuDestroyMenuMirror(menu, 0);
  win::DestroyMenu(popup);
  vmswmenuRebuildAccelerators(bar);
  vmswmenuRedrawBar(bar, 0);
}

void vmswmenuMoveBarMenu(vmenubar* bar, vmenu* menu, int index) {
  vmswmenuBar* b = barOf(bar);
  vmswmenuMirror* mirror = vmswmenuMirrorOf(menu);
  int from = vobjectListIndexOf(&bar->menus, menu);
  if (!b || !mirror || from < 0) return;
  int shift = barShift(b);
  win::RemoveMenu(b->bar, win::UINT(from + shift), win::MF_BYPOSITION);
  std::string text = barEntryText(menu);
  win::UINT flags = barEntryFlags(bar, menu);
  const char* entry = (flags & win::MF_OWNERDRAW) ? reinterpret_cast<const char*>(menu) : text.c_str();
  win::InsertMenuA(b->bar, win::UINT(index + shift), flags, reinterpret_cast<win::UINT_PTR>(mirror->popup), entry);
  vmswmenuRedrawBar(bar, 0);
}

void vmswmenuEnableBarMenu(vmenubar* bar, vmenu* menu) {
  vmswmenuBar* b = barOf(bar);
  int index = vobjectListIndexOf(&bar->menus, menu);
  if (!b || index < 0) return;
  bool on = vmenuIsEnabled(menu) && vmenubarIsEnabled(bar);
  win::EnableMenuItem(b->bar, win::UINT(index + barShift(b)), win::MF_BYPOSITION | (on ? win::MF_ENABLED : win::MF_GRAYED));
  for (int i = 0; i < vmenuItemListCount(&menu->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&menu->items, i);
    vmswmenuSetItemEnabled(item, vmenuItemIsEnabled(item));
  }
  vmswmenuRedrawBar(bar, 0);
}

void vmswmenuEnableBar(vmenubar* bar) {
  for (int i = 0; i < vmenubarCount(bar); ++i) vmswmenuEnableBarMenu(bar, vmenubarAt(bar, i));
}

void vmswmenuAttachBar(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  vwindow* w = vmenubarGetWindow(bar);
  if (!b || !w) return;
  win::HWND hwnd = vwindowGetMSWWindow(w);
  if (!hwnd) return;
  b->frame = hwnd;
  vwindowSetMSWMenuProc(w, vmswmenuHandleMessage);
  vwindowSetMSWMenuBar(w, bar);
  int before = clientHeight(hwnd);
  if (isMDIFrame(hwnd)) {
    win::SendMessageA(mdiClientOf(hwnd), win::WM_MDISETMENU, reinterpret_cast<win::WPARAM>(b->bar), 0);
    vmswmenuRedrawBar(bar, 1);
  } else if (vwindowGetMSWKind(w) == 1 && w->parent) {
    // A document window: its bar shows on the frame while the frame has none.
    vwindowSetMSWChildMenuBar(w, bar);
    vwindow* frame = w->parent;
    while (frame && !isMDIFrame(vwindowGetMSWWindow(frame))) frame = frame->parent;
    if (frame && !vwindowGetMSWMenuBar(frame)) {
      win::HWND frameHwnd = vwindowGetMSWWindow(frame);
      b->frame = frameHwnd;
      int frameBefore = clientHeight(frameHwnd);
      win::SendMessageA(mdiClientOf(frameHwnd), win::WM_MDISETMENU, reinterpret_cast<win::WPARAM>(b->bar), 0);
      vwindowSetMSWMenuProc(frame, vmswmenuHandleMessage);
      vwindowSetMSWMenuBar(frame, bar);
      vmswmenuRedrawBar(bar, 1);
      keepClientPlace(frameHwnd, frameBefore);
    }
    bar->barFlags |= vmenubarNATIVE_INSTALLED;
    return;
  } else {
    win::SetMenu(hwnd, b->bar);
  }
  bar->barFlags |= vmenubarNATIVE_INSTALLED;
  keepClientPlace(hwnd, before);
}

void vmswmenuDetachBar(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  if (!b || !b->frame) return;
  win::HWND hwnd = b->frame;
  int before = clientHeight(hwnd);
  vmswmenuDeactivateBar(bar);
  if (isMDIFrame(hwnd)) {
    win::SendMessageA(mdiClientOf(hwnd), win::WM_MDISETMENU, reinterpret_cast<win::WPARAM>(placeholder()), 0);
    win::DrawMenuBar(hwnd);
  } else if (win::GetMenu(hwnd) == b->bar) {
    win::SetMenu(hwnd, nullptr);
  }
  if (vwindow* w = vwindowFindFromMSWWindow(hwnd)) {
    if (vwindowGetMSWMenuBar(w) == bar) vwindowSetMSWMenuBar(w, nullptr);
  }
  if (vwindow* own = vmenubarGetWindow(bar); own && vwindowGetMSWChildMenuBar(own) == bar)
    vwindowSetMSWChildMenuBar(own, nullptr);
  bar->barFlags &= ~vmenubarNATIVE_INSTALLED;
  b->frame = nullptr;
  keepClientPlace(hwnd, before);
}

void vmswmenuActivateBar(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  if (!b || !b->frame) return;
  veventMSWSetActiveAccelerators(b->frame, b->accel.entries ? nullptr : static_cast<win::HACCEL>(b->accel.handle));
}

void vmswmenuDeactivateBar(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  if (!b) return;
  win::HWND frame;
  win::HACCEL active = veventMSWGetActiveAccelerators(&frame);
  if (active && active == b->accel.handle) veventMSWSetActiveAccelerators(nullptr, nullptr);
}

void vmswmenuRedrawBar(vmenubar* bar, int immediate) {
  vmswmenuBar* b = barOf(bar);
  if (!b || !b->frame) return;
  if (immediate) {
    win::DrawMenuBar(b->frame);
    return;
  }
  if (b->flags & 4) return;
  b->flags |= 4;
  win::PostMessageA(b->frame, kRedrawBar, 0, 0);
}

void vmswmenuRebuildAccelerators(vmenubar* bar) {
  vmswmenuBar* b = barOf(bar);
  if (!b) return;
  win::HWND frame;
  bool wasActive = b->accel.handle && veventMSWGetActiveAccelerators(&frame) == b->accel.handle;
  vmswaccelDestroy(&b->accel);
  b->accel = CreateMSWAccelTable(b->keys);
  if (wasActive || (b->frame && win::GetMenu(b->frame) == b->bar)) vmswmenuActivateBar(bar);
}

// ---- The menu messages.
namespace {

vmenubar* barOfWindow(vwindow* w) {
  vobject* bar = w ? vwindowGetMSWMenuBar(w) : nullptr;
  return bar ? static_cast<vmenubar*>(bar) : nullptr;
}

// The message position in the window, y counted from the bottom.
void messagePoint(win::HWND hwnd, int* x, int* y) {
  win::DWORD pos = win::GetMessagePos();
  win::POINT p{std::int16_t(win::LOWORD(pos)), std::int16_t(win::HIWORD(pos))};
  win::ScreenToClient(hwnd, &p);
  *x = p.x;
  *y = clientHeight(hwnd) - p.y - 1;
}
std::uint32_t keyboardModifiers() {
  std::uint32_t m = 0;
  if (win::GetKeyState(win::VK_SHIFT) < 0) m |= 4;
  if (win::GetKeyState(win::VK_MENU) < 0) m |= 1;
  if (win::GetKeyState(win::VK_CONTROL) < 0) m |= 2;
  return m;
}

win::LRESULT command(vwindow* w, win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam) {
  std::uint32_t id = win::LOWORD(wParam);
  if (lParam || id >= vmswmenuEND_ID) return 0;
  vmenubar* bar = barOfWindow(w);
  vmswmenuBar* b = barOf(bar);
  vmenuItem* item = b ? itemOfId(b, id) : nullptr;
  vmenu* menu = item ? vmenuItemGetMenu(item) : nullptr;
  if (!menu) return 0;
  bool accelerator = win::HIWORD(wParam) == 1;
  if (accelerator && vmswaccelOldMode()) {
    if (!vmenuItemIsEnabled(item)) return 1;
    win::SendMessageA(hwnd, win::WM_INITMENU, reinterpret_cast<win::WPARAM>(b->bar), 0);
    if (vmswmenuMirror* mirror = vmswmenuMirrorOf(menu))
      win::SendMessageA(hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(mirror->popup), 0);
  }
  int x, y;
  messagePoint(hwnd, &x, &y);
  vevent* event;
  if (accelerator) {
    std::uint32_t code = item->accelerator >> 16;
    event = veventCreateKeyDown(w, x, y, 0, item->accelerator & 0xFFFF, code, code < 0x100 ? int(code) : 0);
  } else {
    event = veventCreateButtonUp(w, x, y, keyboardModifiers(), 0, 1, 0);
  }
  if (item->flags & vmenuItemTOGGLE)
    vmenuItemSetToggle(item, (item->flags & vmenuItemEXCLUSIVE) || !vmenuItemIsToggleOn(item));
  if (vmswmenuMirror* mirror = vmswmenuMirrorOf(menu); mirror && mirror->popup == mod.shown) {
    vwindowClassOf(menu)->close(menu);
    mod.shown = nullptr;
  }
  vmenuClassOf(menu)->setSelection(menu, item);
  vmenuItemSelect(item, event);
  veventDestroy(event);
  return 1;
}

vmenu* menuOfPopup(vmenubar* bar, win::HMENU handle) {
  vmswmenuBar* b = barOf(bar);
  return b && handle ? static_cast<vmenu*>(vdictGet(b->popups, handle)) : nullptr;
}

win::LRESULT menuSelect(vwindow* w, win::WPARAM wParam, win::LPARAM lParam) {
  vmenubar* bar = barOfWindow(w);
  vmswmenuBar* b = barOf(bar);
  if (!b) return 0;
  auto handle = reinterpret_cast<win::HMENU>(lParam);
  win::UINT flags = win::HIWORD(wParam);
  int position = win::LOWORD(wParam);
  if (mod.shown && handle != mod.shown) {
    if (vmenu* shown = menuOfPopup(bar, mod.shown)) {
      vwindowClassOf(shown)->close(shown);
      vmenuClassOf(shown)->setSelection(shown, nullptr);
    }
    mod.shown = nullptr;
  }
  if (!handle && flags == 0xFFFF) {
    vmenubarDeactivate(bar);
    return 0;
  }
  if (handle == b->bar && (flags & win::MF_HILITE)) {
    bar->current = std::int16_t(position - barShift(b));
    vmenubarActivate(bar);
    return 0;
  }
  if ((flags & win::MF_HILITE) && !(flags & (win::MF_POPUP | win::MF_SYSMENU)))
    if (vmenuItem* item = itemOfId(b, std::uint32_t(position)); item && (item->flags & vmenuItemNATIVE_TEXT)) {
      vrect empty{};
      vmenuTextPosition none{};
      vmenuItemClassOf(item)->drawHighlighted(item, &empty, &none);
    }
  return 0;
}

win::LRESULT menuChar(vwindow* w, win::WPARAM wParam, win::LPARAM lParam) {
  vmenubar* bar = barOfWindow(w);
  vmswmenuBar* b = barOf(bar);
  win::UINT flags = win::HIWORD(wParam);
  int character = win::LOWORD(wParam) & 0xFF;
  if (!b || (flags & win::MF_SYSMENU) || character == 160) return 0;
  auto handle = reinterpret_cast<win::HMENU>(lParam);
  int position = -1;
  int handled = 0;
  vevent* event = veventCreateKeyDown(w, 0, 0, 0, 0, std::uint32_t(cp1252::lower[std::size_t(character)]) << 16, character);
  if (vmenu* menu = menuOfPopup(bar, handle)) {
    if (vmenuItem* item = vmenuFindItemByMnemonic(menu, character)) position = indexOf(menu, item);
    handled = vwindowClassOf(menu)->handleKeyDown(menu, event);
  } else if (handle == b->bar && !(bar->barFlags & vmenubarNATIVE_TEXT)) {
    auto fold = [](int c) { return cp1252::lower[std::size_t(c & 0xFF)]; };
    for (int i = 0; i < vmenubarCount(bar) && position < 0; ++i)
      if (vmenubarAt(bar, i)->mnemonic && fold(vmenubarAt(bar, i)->mnemonic) == fold(character))
        position = i + barShift(b);
    handled = vdialogItemClassOf(bar)->keyDown(bar, event);
  }
  veventDestroy(event);
  if (handled) return 1;
  return position >= 0 ? (0x20000 | position) : 0;
}

bool isMenu(const void* data) {
  auto* o = static_cast<const vobject*>(data);
  return o && vclassIsSubclass(o->cls, vmenuGetDefaultClass());
}

int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

// Presses and releases over the native menu line reach the bar as button
// events (in window coordinates, above the client area); the platform's
// own tracking of the line goes on after them.
win::LRESULT menuLineButton(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  struct Row {
    win::UINT message;
    bool down;
    int button;
  };
  static constexpr Row rows[] = {{win::WM_NCLBUTTONDOWN, true, 0}, {win::WM_NCLBUTTONUP, false, 0},
                                 {win::WM_NCMBUTTONDOWN, true, 1}, {win::WM_NCMBUTTONUP, false, 1},
                                 {win::WM_NCRBUTTONDOWN, true, 2}, {win::WM_NCRBUTTONUP, false, 2}};
  vmenubar* bar = barOfWindow(w);
  if (wParam != static_cast<win::WPARAM>(win::HTMENU) || !bar || !vmenubarIsNative(bar)) return 0;
  for (const Row& row : rows) {
    if (row.message != message) continue;
    win::POINT p{static_cast<short>(win::LOWORD(lParam)), static_cast<short>(win::HIWORD(lParam))};
    win::ScreenToClient(hwnd, &p);
    int x = p.x, y = w->rect.height - 1 - p.y;
    vevent* e = row.down ? veventCreateButtonDown(w, x, y, 0, 1 << row.button, 1, row.button)
                         : veventCreateButtonUp(w, x, y, 0, 0, 1, row.button);
    if (bar->owner) vdialogItemListTransformEvent(bar->owner, e);
    if (row.down) vdialogItemClassOf(bar)->buttonDown(bar, e);
    else vdialogItemClassOf(bar)->buttonUp(bar, e);
    veventDestroy(e);
  }
  return 0;
}

win::LRESULT measure(vwindow* w, win::LPARAM lParam) {
  auto* mis = reinterpret_cast<win::MEASUREITEMSTRUCT*>(lParam);
  if (!mis || mis->CtlType != win::ODT_MENU || !mis->itemData) return 0;
  void* data = reinterpret_cast<void*>(mis->itemData);
  if (isMenu(data)) {
    auto* menu = static_cast<vmenu*>(data);
    vmenubar* bar = barOfWindow(w);
    vfont* font = bar && bar->attributes && bar->attributes->font ? bar->attributes->font
                  : bar ? vdialogItemClassOf(bar)->font : nullptr;
    if (!font) font = vapplicationGetFont(vapplicationGetCurrent());
    int fontHeight = font ? rounded(vfontGetHeight(font)) : 0;
    int height = win::GetSystemMetrics(win::SM_CYMENUSIZE);
    if (!height) height = 15;
    mis->itemHeight = win::UINT(std::max(height, fontHeight + 2));
    int title = font ? rounded(vfontGetCharsWidth(font, menu->title, int(std::strlen(menu->title)))) : 0;
    int check = win::GetSystemMetrics(71) + (vmswaccelOldMode() ? 2 : 0);
    mis->itemWidth = win::UINT(std::max(0, title + fontHeight - 2 * (check / 2)));
    return 1;
  }
  auto* item = static_cast<vmenuItem*>(data);
  vmenu* menu = vmenuItemGetMenu(item);
  if (!menu) return 0;
  if (!vmenuItemListGetGeometry(&menu->items)) vmenuUpdateGeometry(menu);
  vrect r;
  vmenuItemListItemRect(&menu->items, indexOf(menu, item), &r, nullptr);
  mis->itemHeight = win::UINT(r.height);
  mis->itemWidth = win::UINT(menu->rect.width);
  return 1;
}

}  // namespace

win::LRESULT vmswmenuHandleMessage(vwindow* w, win::HWND hwnd, win::UINT message, win::WPARAM wParam,
                                   win::LPARAM lParam) {
  switch (message) {
    case win::WM_COMMAND: return command(w, hwnd, wParam, lParam);
    case win::WM_INITMENU:
    case win::WM_CLOSE:
      mod.shown = nullptr;
      mod.partner = 0;
      return 0;
    case win::WM_INITMENUPOPUP:
      if (win::HIWORD(lParam)) return 0;
      if (vmenu* menu = menuOfPopup(barOfWindow(w), reinterpret_cast<win::HMENU>(wParam))) {
        vwindowClassOf(menu)->open(menu);
        mod.shown = reinterpret_cast<win::HMENU>(wParam);
      }
      return 0;
    case win::WM_MENUSELECT: return menuSelect(w, wParam, lParam);
    case win::WM_MENUCHAR: return menuChar(w, wParam, lParam);
    case win::WM_MEASUREITEM: return measure(w, lParam);
    case win::WM_NCLBUTTONDOWN:
    case win::WM_NCLBUTTONUP:
    case win::WM_NCMBUTTONDOWN:
    case win::WM_NCMBUTTONUP:
    case win::WM_NCRBUTTONDOWN:
    case win::WM_NCRBUTTONUP: return menuLineButton(w, hwnd, message, wParam, lParam);
    case win::WM_DRAWITEM: return vmswmenuDrawEntry(barOfWindow(w), lParam);
    case win::WM_ACTIVATE: {
      // The window becoming active takes its bar's accelerators (and its
      // menu line back, when it shows another one); leaving, it gives them up.
      vmenubar* bar = barOfWindow(w);
      vmswmenuBar* b = barOf(bar);
      if (!b || !b->frame || b->frame != hwnd || !vmenubarIsNative(bar)) return 0;
      if ((wParam & 0xFFFF) == 0) {
        vmswmenuDeactivateBar(bar);
      } else {
        if (!isMDIFrame(hwnd) && win::GetMenu(hwnd) != b->bar) vmswmenuAttachBar(bar);
        vmswmenuActivateBar(bar);
      }
      return 0;
    }
    case win::WM_MDIACTIVATE: {
      vmenubar* bar = barOfWindow(w);
      if (reinterpret_cast<win::HWND>(lParam) != hwnd || vwindowGetMSWKind(w) != 1) return 0;
      if (bar && win::IsIconic(hwnd) && vmenubarIsNative(bar)) vmenubarActivate(bar);
      return 1;
    }
    case kInstallChildBar: {
      auto* bar = static_cast<vmenubar*>(vwindowGetMSWChildMenuBar(w));
      vmswmenuBar* b = barOf(bar);
      if (!b) return 0;
      vwindow* frame = w->parent;
      while (frame && !isMDIFrame(vwindowGetMSWWindow(frame))) frame = frame->parent;
      if (!frame) return 0;
      win::HWND frameHwnd = vwindowGetMSWWindow(frame);
      if (win::GetMenu(frameHwnd) == b->bar) return 1;
      if (vwindowGetMSWMenuBar(frame) && vwindowGetMSWMenuBar(frame) != bar) {
        vmenubarActivate(bar);
        return 1;
      }
      b->frame = frameHwnd;
      win::SendMessageA(mdiClientOf(frameHwnd), win::WM_MDISETMENU, reinterpret_cast<win::WPARAM>(b->bar), 0);
      vwindowSetMSWMenuProc(frame, vmswmenuHandleMessage);
      vwindowSetMSWMenuBar(frame, bar);
      vmswmenuRedrawBar(bar, 1);
      return 1;
    }
    case kRedrawBar: {
      vmswmenuBar* b = barOf(barOfWindow(w));
      if (!b) return 0;
      b->flags &= ~4;
      if (b->owner && vmenubarIsNative(b->owner) && b->frame) win::DrawMenuBar(b->frame);
      return 1;
    }
    default: return 0;
  }
}
