// Named palettes: the built-in ones of the application's resources, the
// ones the user saved under "palettes" of the user's resources, the
// Palettes menu that lists both, and saving under a confirmed name.
#include <string>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/imaging/vpaled_internal.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

using namespace paled;

namespace {

vresource userRoot() { return vapplicationGetResources(vapplicationGetCurrent()); }

vresource savedPalettes(bool make) { return _vapplicationPreferenceDict(userRoot(), L("palettes"), make); }

vresource builtInPalettes() {
  vresource dict = dictionary(), d = 0;
  return dict && vresourceTestGet(dict, L("Palettes"), &d) ? d : 0;
}

// Component i of a dictionary when it is a stored palette.
bool paletteAt(vresource dict, int i, vname* tag, vresource* out) {
  *out = vresourceGetTagAt(dict, i, tag);
  if (vresourceGetType(dict, *tag) != vresDICTIONARY) return false;
  vname kind = nullptr;
  if (!vresourceTestGetTag(*out, vname_Type, &kind) && !vresourceTestGetTag(*out, vname_Class, &kind)) return false;
  return kind == L("vcolorPalette");
}

bool findPalette(vresource dict, const char* name, vresource* out) {
  for (int i = 0; dict && i < vresourceCount(dict); ++i) {
    vname tag = nullptr;
    if (paletteAt(dict, i, &tag, out) && std::string(tag) == name) return true;
  }
  return false;
}

vmenu* deleteMenu(vpaled* p) {
  if (!p->palettesMenu) return nullptr;
  for (int i = 0; i < vmenuItemListCount(&p->palettesMenu->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&p->palettesMenu->items, i);
    if (item->tag == L("DeletePalette")) return vmenuGetItemSubMenu(item);
  }
  return nullptr;
}

void chosen(vmenuItem* item, vevent*) {
  if (auto* p = reinterpret_cast<vpaled*>(item->data)) vpaledLoadPalette(p, item->title);
}
void deleteChosen(vmenuItem* item, vevent*) {
  if (auto* p = reinterpret_cast<vpaled*>(item->data)) vpaledDeletePalette(p, item->title);
}

void append(vmenu* menu, vpaled* p, const char* title, vmenuItemNotifyFunc notify) {
  vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
  vmenuItemSetTitle(item, vscribeCString(title));
  item->notifyFunc = notify;
  item->data = reinterpret_cast<std::intptr_t>(p);
  vmenuAppendItem(menu, item);
}

// Every palette of a dictionary, in order, as items of the menu.
int appendPalettes(vmenu* menu, vpaled* p, vresource dict, vmenuItemNotifyFunc notify) {
  int listed = 0;
  for (int i = 0; dict && i < vresourceCount(dict); ++i) {
    vname tag = nullptr;
    vresource r = 0;
    if (!paletteAt(dict, i, &tag, &r)) continue;
    append(menu, p, tag, notify);
    ++listed;
  }
  return listed;
}

void appendAll(vpaled* p, vmenu* deleting) {
  vmenu* menu = p->palettesMenu;
  vresource builtIn = builtInPalettes();
  appendPalettes(menu, p, builtIn, chosen);
  if (builtIn && vresourceCount(builtIn) > 0) vmenuAppendItem(menu, vmenuItemCreate(vmenuGetDefaultSeparatorItemClass()));
  vresource saved = savedPalettes(false);
  appendPalettes(menu, p, saved, chosen);
  if (deleting) appendPalettes(deleting, p, saved, deleteChosen);
}

void removeFrom(vmenu* menu, int keep) {
  while (menu && vmenuItemListCount(&menu->items) > keep) {
    vmenuItem* item = vmenuItemListAt(&menu->items, vmenuItemListCount(&menu->items) - 1);
    vmenuRemoveItem(menu, item);
    vinstanceDestroy(item);
  }
}

// ---- The name confirmation.
void showNotice(vpaled* p, const std::string& text) {
  vnotice* n = vnoticeCreate();
  vexGuard(
      [&] {
        vnoticeSetTextScribed(n, vscribeCString(text.c_str()));
        vdialogPlaceRelative(n, p, 6, 6);
        vconfirmProcess(n);
      },
      [&](vexHandler&) {
        vinstanceDestroy(n);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(n);
}

vdialogItem* nameText(vconfirm* c) { return _vdialogFindItemOfClass(c, L("NameText"), vtextitemGetDefaultClass()); }

// Refused (the dialog stays) for an empty name, a name in use, or a store
// that cannot be written: a flush failure is shown, not raised on.
int nameConfirmed(vconfirm* c, vevent*) {
  auto* p = static_cast<vpaled*>(c->data);
  vdialogItem* text = nameText(c);
  vresource saved = savedPalettes(true);
  if (!p || !text || !saved) return 1;
  char* chars = vtextitemGetString(static_cast<vtextitem*>(text));
  std::string name(chars ? chars : "");
  vmemFree(chars);
  if (name.size() > 255) name.resize(255);
  vresource existing = 0;
  if (name.empty() || vresourceTestGet(saved, vnameIntern(vscribeCString(name.c_str())), &existing)) return 0;
  vname tag = vnameIntern(vscribeCString(name.c_str()));
  std::string failure;
  vexGuard(
      [&] {
        vcolorListStore(p->working, vresourceMake(saved, tag));
        vresourceFlushFile(vresourceGetRoot(saved));
      },
      [&](vexHandler& h) {
        vexException* e = vexGetCurrentException();
        failure = e && e->message ? e->message : "The palette could not be saved";
        vexSetCurrentException(h.savedChain);
      });
  if (failure.empty()) return 1;
  vexTry([&] { vresourceRemove(saved, tag); });
  showNotice(p, failure);
  return 0;
}

vconfirm* nameConfirm() {
  ModuleState* st = state();
  if (st->nameConfirm) return st->nameConfirm;
  vresource dict = dictionary(), r = 0;
  if (!dict || !vresourceTestGet(dict, L("PaletteNameConfirm"), &r)) return nullptr;
  st->nameConfirm = static_cast<vconfirm*>(_vobjectLoadOfClass(r, vconfirmGetDefaultClass()));
  vconfirmSetApply(st->nameConfirm, nameConfirmed);
  return st->nameConfirm;
}

bool savedTaken(const char* name, void* data) {
  vresource r = 0;
  return vresourceTestGet(*static_cast<vresource*>(data), vnameIntern(vscribeCString(name)), &r) != 0;
}

}  // namespace

void _vpaledInstallPalettesMenu(vpaled* p) {
  vmenu* menu = p->palettesMenu;
  if (!menu) return;
  for (int i = 0; i < vmenuItemListCount(&menu->items); ++i) {
    vmenuItem* old = vmenuItemListAt(&menu->items, i);
    if (old->tag != L("DeletePalette")) continue;
    vmenuItem* cascade = vmenuItemCreate(vmenuGetDefaultSubMenuItemClass());
    vclassRec<vobjectClassRec>(cascade)->setTag(cascade, old->tag);
    vmenuItemSetTitle(cascade, vscribeCString(old->title));
    vmenuItemSetSubMenu(cascade, vmenuCreate());
    vmenuRemoveItem(menu, old);
    vinstanceDestroy(old);
    vmenuInsertItem(menu, cascade, i);
    break;
  }
  appendAll(p, nullptr);
}

void vpaledRebuildMenus(vpaled* p) {
  if (!p->palettesMenu) return;
  vmenu* deleting = deleteMenu(p);
  removeFrom(deleting, 0);
  removeFrom(p->palettesMenu, 2);
  appendAll(p, deleting);
  // Paste only while the clipboard holds colours.
  vmenubar* menus = reinterpret_cast<vmenubar*>(p->menubar);
  for (int i = 0; menus && i < vmenubarCount(menus); ++i) {
    vmenu* m = vmenubarAt(menus, i);
    for (int j = 0; j < vmenuItemListCount(&m->items); ++j) {
      vmenuItem* item = vmenuItemListAt(&m->items, j);
      if (item->tag != L("Paste")) continue;
      if (state()->clipboard) vmenuItemEnable(item);
      else vmenuItemDisable(item);
    }
  }
}

bool vpaledLoadPalette(vpaled* p, const char* name) {
  vresource r = 0;
  if (!findPalette(builtInPalettes(), name, &r) && !findPalette(savedPalettes(false), name, &r)) return false;
  _vpaledLoadColors(p, r);
  return true;
}

void vpaledDeletePalette(vpaled*, const char* name) {
  vresource saved = savedPalettes(false), r = 0;
  if (saved && findPalette(saved, name, &r)) vresourceRemove(saved, vnameIntern(vscribeCString(name)));
}

vconfirm* vpaledGetNameConfirm() { return state()->nameConfirm; }

void _vpaledSave(vpaled* p) {
  vresource saved = savedPalettes(true);
  if (!saved) return;
  vconfirm* c = nameConfirm();
  if (!c) return;
  vwindowClassOf(c)->setData(c, p);
  std::string name = vpaledOps::freeName(savedTaken, &saved);
  if (vdialogItem* text = nameText(c)) vtextitemSetTextChars(static_cast<vtextitem*>(text), name.c_str());
  vdialogPlaceRelative(c, p, 6, 6);
  if (!(c->flags & vwindowMODAL)) return vwindowOpen(c);
  // A modal run answers the button; a refused name runs it again.
  while (vconfirmProcess(c) == vnameInternLiteral("Ok") && !nameConfirmed(c, nullptr)) {
  }
}
