// The dialogs of the command road on the framework: notices for errors,
// questions, More and Wait, and the line dialog "Interact_Input" from the
// application's resource file. Each is placed 6, 6 over the root window.
#include "frontends/gui/fw_dialogs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/namedres.h"
#include "fw/core/fs.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/combobox_popdown.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/controls/textitem.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/startup.h"

namespace gui {

namespace {

constexpr int PLACE_CENTRE = 6;
constexpr std::size_t FIELD_MAX = 99;

dialog_answer answer_of(vname tag) {
  if (tag == N("Ok")) return ANSWER_OK;
  if (tag == N("Apply")) return ANSWER_APPLY;
  if (tag == N("No")) return ANSWER_NO;
  if (tag == N("Cancel")) return ANSWER_CANCEL;
  return ANSWER_CLOSE;
}

vnotice* make_notice(const char* text, const char* confirm, const char* second, bool cancel) {
  auto* n = static_cast<vnotice*>(framework_window("notice", [] { return static_cast<vobject*>(vnoticeCreate()); }));
  vnoticeSetTextScribed(n, vscribeCString(text != nullptr ? text : ""));
  if (second != nullptr) {
    vnoticeSetQuestion(n, 1);
    if (vdialogItem* no = vconfirmFindButton(n, N("No"))) vdialogSetItemTitle(no, vscribeCString(second));
  }
  if (confirm != nullptr) vconfirmSetOkTitle(n, vscribeCString(confirm));
  if (cancel) vnoticeSetCancel(n, 1);
  // The program's notices carry its family title (the quit question's own).
  vwindowSetTitleScribe(n, vscribeCString(family_title().c_str()));
  dialog_frame(n);
  vdialogPlace(n, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  return n;
}

// The modal notices up now, innermost last.
std::vector<vnotice*> modal_notices;

dialog_answer notice_run(const char* text, const char* confirm, const char* second, bool cancel) {
  vnotice* n = make_notice(text, confirm, second, cancel);
  modal_notices.push_back(n);
  const dialog_answer a = answer_of(vconfirmProcess(n));
  modal_notices.pop_back();
  vinstanceDestroyLater(n);
  return a;
}

// The Wait notice's one button; its press is the user's Cancel.
void (*wait_pressed)() = nullptr;

void* notice_open(const char* text, const char* button, void (*pressed)()) {
  vnotice* n = make_notice(text, button, nullptr, false);
  wait_pressed = pressed;
  vconfirmSetApply(n, [](vconfirm*, vevent*) {
    if (wait_pressed != nullptr) wait_pressed();
    return 0;
  });
  vwindowOpen(n);
  return n;
}

void notice_close_later(void* notice) {
  if (notice == nullptr) return;
  auto* n = static_cast<vnotice*>(notice);
  if (vwindowIsOpen(n)) vwindowClose(n);
  vinstanceDestroyLater(n);
}

std::string item_text(vtextitem* item) {
  if (item == nullptr) return {};
  char buffer[FIELD_MAX + 1] = {};
  vtextitemCopyText(item, buffer, sizeof buffer);
  return buffer;
}

dialog_answer line_run(const std::string& prompt, std::string& input) {
  vtextitem* prompt_item = nullptr;
  vtextitem* input_item = nullptr;
  auto* d = static_cast<vconfirm*>(load_window("Interact_Input", vconfirmGetDefaultClass(),
                                               {need("Prompt", vtextitemGetDefaultClass(), &prompt_item),
                                                need("Input", vtextitemGetDefaultClass(), &input_item)}));
  if (d == nullptr) return ANSWER_CLOSE;
  // The resource's size stands: its items carry no spring solution, and
  // sizing to them would leave only the buttons.
  d->dialogFlags &= static_cast<std::uint16_t>(~vdialogSIZE_PENDING);
  vtextitemSetTextChars(prompt_item, prompt.c_str());
  vtextitemSetTextChars(input_item, input.c_str());
  dialog_frame(d);
  vdialogPlace(d, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  const dialog_answer a = answer_of(vconfirmProcess(d));
  if (a == ANSWER_OK || a == ANSWER_APPLY) input = item_text(input_item);
  vinstanceDestroyLater(d);
  return a;
}

// The path the chooser's selection hands over, and the request's test of
// it: a refused path keeps the chooser open.
std::string* chosen = nullptr;
const chooser_request* asking = nullptr;

int take_path(vfilechsr*, vfsPath* path) {
  vstr* text = vfsPathToString(path);
  const std::string taken = text;
  vstrDestroy(text);
  if (asking != nullptr && asking->accept && !asking->accept(taken)) return 0;
  if (chosen != nullptr) *chosen = taken;
  return 1;
}

}  // namespace

void chooser_add_filters(vfilechsr* chooser, const chooser_request& request, vresource types) {
  for (std::size_t i = 0; i < request.filters.size(); ++i) {
    const vname name = vnameIntern(vscribeCString(request.filters[i].c_str()));
    vfilechsrAddFileTypes(chooser, types, name, static_cast<int>(i) == request.current_filter ? name : nullptr);
  }
}

vfilechsr* chooser_make(const chooser_request& r) {
  auto* c = static_cast<vfilechsr*>(framework_window("file chooser", [] { return static_cast<vobject*>(vfilechsrCreate()); }));
  // A file to write is named in the entry, which then has the focus; a
  // file to read is picked from the columns.
  vfilechsrSetKind(c, r.open != 0 ? vfilechsrOPEN : vfilechsrSAVE);
  vfilechsrSetOptions(c, r.options);
  vresource types;
  if (!r.filters.empty() && vapplicationFindNamedResource(N("Filter Types"), &types)) chooser_add_filters(c, r, types);
  vwindowSetTitleScribe(c, vscribeCString(r.title.c_str()));
  if (!r.start_dir.empty()) {
    vfsPath* start = vfsNewPathFromString(r.start_dir.c_str());
    vfilechsrSetDirectory(c, start);
    vfsFreePath(start);
  }
  return c;
}

namespace {

dialog_answer chooser_run(const chooser_request& r, std::string& path) {
  vfilechsr* c = chooser_make(r);
  std::string taken;
  chosen = &taken;
  asking = &r;
  vfilechsrSetApply(c, take_path);
  vfilechsrPlace(c, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  const vname answer = vfilechsrProcess(c);
  chosen = nullptr;
  asking = nullptr;
  vinstanceDestroyLater(c);
  if (answer != N("Ok") || taken.empty()) return ANSWER_CLOSE;
  path = taken;
  return ANSWER_OK;
}

constexpr dialog_services framework = {notice_run, notice_open, notice_close_later, line_run, chooser_run};

}  // namespace

const dialog_services& framework_dialogs() { return framework; }

bool close_modal_notice() {
  if (modal_notices.empty()) return false;
  // As the window's close box would: the answer is Close.
  vnotice* n = modal_notices.back();
  if (n->closeHook == nullptr) return false;
  n->closeHook(n, nullptr);
  return true;
}

namespace {

using natural_size_op = void (*)(vdialogItem*, int*, int*);
natural_size_op combo_natural_size = nullptr;

void combo_size_hook(vdialogItem* item, int* width, int* height) {
  combo_natural_size(item, width, height);
  auto* box = static_cast<vcomboboxStandard*>(item);
  int text_width = 0, list_width = 0, button_width = 0, ignored = 0;
  if (box->entry != nullptr) vdialogGetItemNaturalSize(box->entry, &text_width, &ignored);
  if (box->choice != nullptr) vdialogGetItemNaturalSize(box->choice, &list_width, &ignored);
  if (vclassIsSubclass(item->cls, vcomboboxPopdownGetDefaultClass())) {
    auto* popdown = static_cast<vcomboboxPopdown*>(box);
    if (popdown->button != nullptr) vcomboboxPopdownClassOf(popdown)->buttonSize(popdown, &button_width, &ignored);
  }
  const int border = (item->flags & vdialogItemBORDER) != 0 ? int(vdialogGetItemLineWidth(item)) : 0;
  *width = std::max(text_width + button_width + 40, list_width + 2 * border);
  if (vlafGetCurrent()->id == vlafMOTIF) *height = *height * 3 / 2;
}

natural_size_op button_natural_size = nullptr;
bool measuring_button_minimum = false;

// The buttons of the confirmation dialogs are laid out at their natural
// size, which is only their title's width: raised to the size of a titled
// button at its smallest (whose measure starts from the natural size).
void button_size_hook(vdialogItem* item, int* width, int* height) {
  button_natural_size(item, width, height);
  if (measuring_button_minimum) return;
  measuring_button_minimum = true;
  int w = 0, h = 0;
  vdialogGetItemMinSize(item, &w, &h);
  measuring_button_minimum = false;
  *width = std::max(*width, w);
  *height = std::max(*height, h);
}

}  // namespace

void install_button_size_hook() {
  vbuttonClassRec* cls = vconfirmButtonGetDefaultClass();
  if (cls->naturalSize == button_size_hook) return;
  button_natural_size = cls->naturalSize;
  cls->naturalSize = button_size_hook;
}

void install_combo_size_hook() {
  vcomboboxStandardClassRec* cls = vcomboboxGetDefaultClass();
  if (cls->naturalSize == combo_size_hook) return;
  combo_natural_size = cls->naturalSize;
  cls->naturalSize = combo_size_hook;
}

}  // namespace gui
