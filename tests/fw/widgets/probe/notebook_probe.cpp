// A notebook in a dialog, in a program of its own per look (the classes
// take the look they are built in), drawn active in the headless window
// system:
//   notebook_probe [-laf LOOK] sections OUT   two sections, major and minor tabs, footer
//   notebook_probe [-laf LOOK] turned OUT     side tabs with turned labels
//   notebook_probe [-laf LOOK] overflow OUT   more tabs than fit, with scroll buttons
//   OUT -live keeps the notebook on the display until the program is ended
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/notebook/notebook.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

template <typename T>
T* placed(T* item, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdialogSetItemRect(item, &r);
  return item;
}

vnotebookPage* page(const char* title, bool withItems) {
  vnotebookPage* p = vnotebookPageCreate();
  vdialogSetItemTitle(p, vscribeLiteral(title));
  if (withItems) {
    vdialogItem* label = placed(vdialogItemCreate(vdialogLabelItemGetDefaultClass()), 12, 60, 120, 18);
    vdialogSetItemTitle(label, vscribeLiteral(title));
    vcontainerAppendItem(p, label);
    vbutton* b = placed(vbuttonCreate(), 12, 20, 70, 24);
    vdialogSetItemTitle(b, vscribeLiteral("Apply"));
    vcontainerAppendItem(p, b);
  }
  return p;
}

vnotebookSection* section(const char* title, std::initializer_list<const char*> pages) {
  vnotebookSection* s = vnotebookSectionCreate();
  vdialogSetItemTitle(s, vscribeLiteral(title));
  for (const char* t : pages) vcontainerAppendItem(s, page(t, true));
  return s;
}

void style(vnotebook* n, std::initializer_list<std::pair<std::uint32_t, int>> props) {
  vnotebookStyle* st = vnotebookStyleCreate();
  for (auto [key, value] : props) vnotebookStyleSet(st, key, value);
  vnotebookSetStyleObject(n, st);
  vinstanceDestroy(st);
}

int picture(const std::string& variant, const char* out) {
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 360, 260};
  vwindowSetTitleScribe(d, vscribeLiteral("Notebook"));
  vnotebook* n = placed(vnotebookCreate(), 10, 10, 340, 240);
  vdialogAppendItem(d, n);
  if (variant == "sections") {
    style(n, {{vnotebookTAB_MODE, 3}, {vnotebookPAGE_NUMBER, 1}, {vnotebookBUTTONS, 1}});
    vcontainerAppendItem(n, section("General", {"Names", "Colours", "Sizes"}));
    vcontainerAppendItem(n, section("Advanced", {"Memory", "Timing"}));
    vnotebookPageSelect(vdialogItemListAt(static_cast<vnotebookSection*>(vdialogItemListAt(n->items, 0))->items, 1));
  } else if (variant == "turned") {
    style(n, {{vnotebookTAB_MODE, 2}, {vnotebookMAJOR_SIDE, 0}, {vnotebookTURNED_LABELS, 1}, {vnotebookPAGE_NUMBER, 1}});
    for (const char* t : {"First", "Second", "Third"}) vcontainerAppendItem(n, page(t, true));
    vnotebookPageSelect(vdialogItemListAt(n->items, 1));
  } else if (variant == "overflow") {
    style(n, {{vnotebookTAB_MODE, 2}, {vnotebookPAGE_NUMBER, 1}, {vnotebookBUTTONS, 1}});
    const char* titles[] = {"January", "February", "March", "April", "May", "June",
                            "July", "August", "September", "October", "November", "December"};
    for (const char* t : titles) vcontainerAppendItem(n, page(t, true));
    vnotebookPageSelect(vdialogItemListAt(n->items, 2));
  } else {
    std::fprintf(stderr, "unknown picture %s\n", variant.c_str());
    vinstanceDestroy(d);
    return 2;
  }
  vwindowOpen(d);
  if (std::string(out) == "-live") {
    veventProcess();
    return 0;
  }
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  vwindowInvalAll(d, 0);
  settle();
  int status = win::test::WindowPng(d->native->hwnd, out) ? 0 : 1;
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
  return status;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  win::UseVirtualClock(count <= 2 || std::string(args[2]) != "-live");
  int status = 2;
  if (count > 2) status = picture(args[1], args[2]);
  else std::fprintf(stderr, "usage: notebook_probe [-laf LOOK] sections|turned|overflow OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
