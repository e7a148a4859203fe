// Every command dialog as it opens at the look's default font: each item
// lies inside its dialog or in what its group shows (under the title), no two items of one list overlap or run
// into each other side by side, and every titled toggle and label is as
// wide as its text needs.
#include <string>
#include <vector>

#include "dialog_form_support.h"
#include "fw/data/pref.h"
#include "fw/widgets/dialog/item.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/choosers/confirm.h"
#include "frontends/gui/fw_dialogs.h"

namespace {

// Side by side, items keep this many pixels between them.
constexpr int kSpacing = 2;

std::string text(const vrect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" + std::to_string(r.height);
}

bool overlaps(const vrect& a, const vrect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}
bool sharesRows(const vrect& a, const vrect& b) { return a.y < b.y + b.height && b.y < a.y + a.height; }

void checkList(vdialogItemList* list, const vrect& within, const std::string& where, std::vector<std::string>& faults) {
  const int n = vdialogItemListCount(list);
  for (int i = 0; i < n; ++i) {
    vdialogItem* a = vdialogItemListAt(list, i);
    if (!vdialogItemIsShown(a)) continue;
    const std::string name = where + "/" + (a->tag != nullptr ? a->tag : "?");
    const vrect& r = a->rect;
    if (r.x < within.x || r.y < within.y || r.x + r.width > within.x + within.width ||
        r.y + r.height > within.y + within.height)
      faults.push_back(name + " lies outside its place: " + text(r) + " in " + text(within));
    const bool titled = vclassIsSubclass(a->cls, vcontrolToggleGetDefaultClass()) ||
                        vclassIsSubclass(a->cls, vdialogLabelItemGetDefaultClass());
    if (titled) {
      int w = 0, h = 0;
      vdialogGetItemNaturalSize(a, &w, &h);
      if (r.width < w) faults.push_back(name + " is narrower than its text");
    }
    // OK, Apply and Cancel at least as large as a titled button at its smallest.
    if (vclassIsSubclass(a->cls, vconfirmButtonGetDefaultClass())) {
      int w = 0, h = 0;
      vdialogGetItemMinSize(a, &w, &h);
      if (r.width < w || r.height < h)
        faults.push_back(name + " is " + text(r) + ", under a button's least " + std::to_string(w) + "x" +
                         std::to_string(h));
    }
    for (int k = i + 1; k < n; ++k) {
      vdialogItem* b = vdialogItemListAt(list, k);
      if (!vdialogItemIsShown(b)) continue;
      const std::string other = where + "/" + (b->tag != nullptr ? b->tag : "?");
      if (overlaps(a->rect, b->rect)) faults.push_back(name + " overlaps " + other);
      else if (sharesRows(a->rect, b->rect) &&
               (a->rect.x + a->rect.width > b->rect.x - kSpacing && b->rect.x + b->rect.width > a->rect.x - kSpacing))
        faults.push_back(name + " runs into " + other);
    }
    if (vcontainerIsContainer(a) && !vclassIsSubclass(a->cls, vcomboboxGetDefaultClass())) {
      auto* c = static_cast<vcontainer*>(a);
      // What the group shows: its content, in the coordinates of its items.
      vrect inside{static_cast<std::int16_t>(c->content.x - c->bounds.x),
                   static_cast<std::int16_t>(c->content.y - c->bounds.y), c->content.width,
                   c->content.height};
      checkList(vcontainerGetItemList(c), inside, name, faults);
    }
  }
}

TEST_F(DialogFormTest, EveryDialogShowsItsItemsWholeAndApart) {
  gui::install_button_size_hook();  // as the program's start-up does
  std::vector<gui::dialog_entry> entries;
  for (auto part : {gui::break_exec_dialogs(), gui::device_mem_dialogs(), gui::stream_log_dialogs()})
    entries.insert(entries.end(), part.begin(), part.end());
  const char* was = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("laf"));
  const std::string usual = was != nullptr ? was : "";
  // The Win95 look's groups keep a wider margin inside their frame.
  for (const char* laf : {"windows", "win95"}) {
    SCOPED_TRACE(laf);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
    int opened = 0;
    for (const gui::dialog_entry& e : entries) {
      vconfirm* d = open_afresh(e.menu_command, e.resource);
      if (d == nullptr) continue;
      ++opened;
      std::vector<std::string> faults;
      const vrect whole{0, 0, d->rect.width, d->rect.height};
      checkList(vdialogGetItemList(d), whole, e.resource, faults);
      for (const std::string& f : faults) ADD_FAILURE() << f;
    }
    EXPECT_GE(opened, 40);
    gui::command_dialogs_close_all();
    settle();
  }
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), usual.c_str());
  _vlafRebuildCurrent();
}

// Every titled group's title strip shows the face under the group, nested
// groups too: a group that leaves its background to what is under it
// passes the question on to the one under it.
void checkStrips(vdialogItemList* list, int dx, int dy, const win::test::Image& image, int height,
                 const std::string& where, std::vector<std::string>& faults) {
  auto at = [&](int x, int y) { return image.px[std::size_t(y * image.width + x)] & 0xFFFFFF; };
  for (int i = 0; i < vdialogItemListCount(list); ++i) {
    vdialogItem* a = vdialogItemListAt(list, i);
    if (!vdialogItemIsShown(a) || !vcontainerIsContainer(a) || vclassIsSubclass(a->cls, vcomboboxGetDefaultClass()))
      continue;
    auto* c = static_cast<vcontainer*>(a);
    const std::string name = where + "/" + (a->tag != nullptr ? a->tag : "?");
    if (*c->title) {
      const int x = a->rect.x + dx + int(vdialogGetItemLineWidth(a)) + 8;
      const int row = height - (a->rect.y + dy + a->rect.height) + 1;  // the strip's second row
      if (x - 3 >= 0 && x + 1 < image.width && row >= 0 && row < image.height && at(x + 1, row) != at(x - 3, row))
        faults.push_back(name + "'s title strip is not the face under it");
    }
    checkStrips(vcontainerGetItemList(c), dx + c->bounds.x, dy + c->bounds.y, image, height, name, faults);
  }
}

TEST_F(DialogFormTest, EveryGroupTitleStandsOnTheFaceUnderItNestedOnesToo) {
  std::vector<gui::dialog_entry> entries;
  for (auto part : {gui::break_exec_dialogs(), gui::device_mem_dialogs(), gui::stream_log_dialogs()})
    entries.insert(entries.end(), part.begin(), part.end());
  const char* was = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("laf"));
  const std::string usual = was != nullptr ? was : "";
  for (const char* laf : {"windows", "win95"}) {
    SCOPED_TRACE(laf);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
    int nested = 0;
    for (const gui::dialog_entry& e : entries) {
      vconfirm* d = open_afresh(e.menu_command, e.resource);
      if (d == nullptr) continue;
      settle();
      win::test::Image image = win::test::WindowImage(d->native->hwnd);
      std::vector<std::string> faults;
      checkStrips(vdialogGetItemList(d), 0, 0, image, d->rect.height, e.resource, faults);
      for (const std::string& f : faults) ADD_FAILURE() << f;
      nested += std::string(e.resource) == "Go";
    }
    EXPECT_GE(nested, 1) << "the Go dialog, with its group in a group, was looked at";
    gui::command_dialogs_close_all();
    settle();
  }
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), usual.c_str());
  _vlafRebuildCurrent();
}

}  // namespace

