#include "fw/widgets/hooks.h"

#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/confirm.h"
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

}  // namespace

void vwidgetsFillWindowHooks(vwindowHooks* hooks) {
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
}
