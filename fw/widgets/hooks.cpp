#include "fw/widgets/hooks.h"

#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/help.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/look/laf.h"

namespace {

// The scheme colour as the look's bindings resolve it: the look first.
vcolor* lookColor(int index) {
  vlafGetCurrent();
  return vapplicationDetermineColor(vapplicationGetCurrent(), index);
}

vlistview* asView(vinstance* v) { return static_cast<vlistview*>(v); }
vconfirm* asConfirm(vinstance* v) { return static_cast<vconfirm*>(v); }
vdialogItem* asItem(vinstance* v) { return static_cast<vdialogItem*>(v); }
vcomboStandard* asCombo(vinstance* v) { return static_cast<vcomboStandard*>(v); }

// The entry order a combo's sort asks for, read by the list's comparison.
vcomboEntryCompare sortOrder = nullptr;
int compareTexts(const void* a, const void* b) {
  return sortOrder(a ? static_cast<const char*>(a) : "", b ? static_cast<const char*>(b) : "");
}

// An object's help: its tags, nearest first, as nested contexts.
void showKeys(vinstance* window, const vname* keys, int count, const vrect* rect) {
  if (window && count > 0) vhelpSwitchNestedContexts(static_cast<vhelpRoot*>(window), keys, count, rect);
}

}  // namespace

void vwidgetsFillWindowHooks(vwindowHooks* hooks) {
  hooks->helpSetApplicationName = [](vname name) { vhelpSetHelpName(name); };
  hooks->helpSetResourceRoot = [](vresource root) { vhelpSetApplicationWord(std::intptr_t(root)); };
  hooks->helpGetGlobalWindow = []() -> vinstance* { return vhelpGetGlobalWindow(); };
  hooks->helpShowKeys = showKeys;
  hooks->lookColor = lookColor;
  hooks->lookInFocusMode = vlafInFocusMode;
  hooks->noticeFindButton = [](vinstance* n, vname tag) -> vobject* { return vconfirmFindButton(asConfirm(n), tag); };
  hooks->noticeMakeButtonPresent = [](vinstance* n, vname tag, int on) { vconfirmShowButton(asConfirm(n), tag, on); };
  hooks->dialogItemDisable = [](vinstance* i) { vdialogItemClassOf(asItem(i))->disable(asItem(i)); };
  hooks->dialogItemHide = [](vinstance* i) { vdialogItemClassOf(asItem(i))->hide(asItem(i)); };
  hooks->confirmButtonSetTitleScribe = [](vinstance* b, vscribe* title) { vdialogSetItemTitle(asItem(b), title); };
  hooks->listviewItemFlags = [](vinstance* v) -> std::uint32_t { return asView(v)->flags; };
  hooks->listviewOptions = [](vinstance* v) -> std::uint32_t { return asView(v)->state; };
  hooks->listviewNotifyFunction = [](vinstance* v) { return asView(v)->notify; };
  hooks->comboHasEntries = [](vinstance* c) { return int(vcomboboxCount(asCombo(c)) > 0); };
  hooks->comboGetValue = [](vinstance* c) -> vobject* { return vcomboboxGetValue(asCombo(c)); };
  hooks->comboSelect = [](vinstance* c, int index) { vcomboboxSelectIndex(asCombo(c), index); };
  hooks->comboSortEntries = [](vinstance* c, int axis, int key, vcomboEntryCompare compare) {
    vlist* l = vcomboGetList(asCombo(c));
    vcomboEntryCompare was = sortOrder;
    sortOrder = compare;
    vlistClassOf(l)->sortByTexts(l, axis, key, compareTexts);
    sortOrder = was;
  };
  hooks->comboSetValue = [](vinstance* c, vobject* v) {
    vcomboboxSetValue(asCombo(c), static_cast<vcomboboxValue*>(v));
  };
}
