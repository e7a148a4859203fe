// The preferences dialog and the About box of the Help menu.
#include "frontends/gui/dpref.h"

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/startup.h"

namespace gui {

namespace {

constexpr int PLACE_CENTRE = 6;

void about_close_pressed(vdialogItem* item, vevent*) {
  vwindow* box = vdialogGetItemWindow(item);
  if (box == nullptr) return;
  if (vwindowIsOpen(box)) vwindowClose(box);
  vinstanceDestroyLater(box);
}

int about_close_hook(vdialog* box, vevent*) {
  vinstanceDestroyLater(box);
  return 0;
}

}  // namespace

void save_pos_prefs_fill(dialog_state& d) {
  const int saved = save_pos_value();
  d.form->set_value("Save_Pos", "", saved < 0 ? 1 : saved);
}

int save_pos_prefs_apply(dialog_state& d) {
  const int on = d.form->value("Save_Pos", "") != 0 ? 1 : 0;
  vexTry([on] {
    vresource store = layout_resources();
    if (store == vresource{}) return;
    // An older layout may hold the key as an integer; a value of another
    // kind cannot be written over.
    vresource old;
    if (vresourceTestGet(store, N("SavePos"), &old)) vresourceRemove(store, N("SavePos"));
    vresourceSetBoolean(store, N("SavePos"), on);
  });
  return 1;
}

void* about_box_open() {
  vdialogItem* close = nullptr;
  auto* box = load_window("About", vdialogGetDefaultClass(), {need("Close", vbuttonGetDefaultClass(), &close)});
  if (box == nullptr) return nullptr;
  vdialogSetItemNotify(close, about_close_pressed);
  vdialogSetCloseHook(box, about_close_hook);
  vwindowSetTitleScribe(box, vscribeCString(("About " + family_title()).c_str()));
  dialog_frame(box);
  vdialogPlace(box, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  vwindowOpen(box);
  return box;
}

}  // namespace gui
