// The simulator's windows and menus as each look draws them, measured in
// the pixels of the real windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "fw/core/name.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/itemlist.h"
#include "fw/widgets/menus/menuitem.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

// The look in force for one test, the one before it back at its end.
struct InLook {
  std::string kept;
  explicit InLook(const char* laf) {
    const char* was = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("laf"));
    kept = was != nullptr ? was : "";
    choose(laf);
  }
  ~InLook() { choose(kept.c_str()); }
  static void choose(const char* laf) {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
    _vmenuChooseLook();
  }
};

std::uint32_t at(const win::test::Image& image, int x, int y) {
  return image.px[static_cast<std::size_t>(y * image.width + x)] & 0xFFFFFF;
}

// The Motif sub-menu arrow of File > Load is a triangle pointing right, as
// the scroll bar's arrows are: row by row its right edge moves out by at
// most two pixels to the middle and back, never in jumps.
TEST(LookDrawing, MotifSubMenuArrowIsATrianglePointingRight) {
  InLook look("motif");
  start({});
  run_until(6100);
  ASSERT_NE(gui::main_window(), nullptr);
  auto* bar = reinterpret_cast<vmenubar*>(
      vdialogFindItem(reinterpret_cast<vdialog*>(gui::main_window()), N("Main_Menu_Bar")));
  ASSERT_NE(bar, nullptr);
  vmenu* file = vmenubarAt(bar, 0);
  vmenuPopupAt(file, vwindowGetRoot(), 200, 600);
  run_until(elapsed() + 200);
  ASSERT_TRUE(vwindowIsOpen(file));
  const win::test::Image image = win::test::WindowImage(file->native->hwnd);
  vrect r;
  vmenuItemListItemRect(&file->items, 1, &r, nullptr);  // "Load", a sub-menu
  ASSERT_NE(vmenuGetItemSubMenu(vmenuItemListAt(&file->items, 1)), nullptr);
  const int top = image.height - r.y - r.height, left = r.x + r.width - 16;
  const std::uint32_t background = at(image, r.x + r.width / 2, top + 1);
  std::vector<int> edges;  // the arrow's rightmost pixel, row by row
  for (int y = top; y < top + r.height; ++y) {
    int edge = -1;
    for (int x = left; x < r.x + r.width - 1; ++x)
      if (at(image, x, y) != background) edge = x;
    if (edge >= 0) edges.push_back(edge - left);
  }
  vmenuEnd(file, 0, nullptr);
  ASSERT_GE(edges.size(), 7u) << "an arrow several rows high";
  std::string profile;
  for (int e : edges) profile += std::to_string(e) + " ";
  const auto tip = std::max_element(edges.begin(), edges.end()) - edges.begin();
  for (std::size_t i = 1; i < edges.size(); ++i) {
    EXPECT_LE(std::abs(edges[i] - edges[i - 1]), 2) << "row " << i << " of " << profile;
    if (static_cast<std::ptrdiff_t>(i) <= tip) EXPECT_GE(edges[i], edges[i - 1]) << "out to the tip: " << profile;
    else EXPECT_LE(edges[i], edges[i - 1]) << "back from the tip: " << profile;
  }
  const auto rows = static_cast<std::ptrdiff_t>(edges.size());
  EXPECT_TRUE(tip >= rows / 3 && tip <= rows - 1 - rows / 3) << "the tip in the middle: " << profile;
}

// Open Look: the scroll bars of the Memory and Assembly windows are wide
// enough for the cable anchors (11 across, 4 in from each side), so that
// the anchors and the elevator show whole, as the Register window's do.
// The scroll bar class takes the look once per process: run with LAF=openlook.
TEST(LookDrawing, OpenLookScrollBarsHoldTheirAnchorsWhole) {
  ASSERT_EQ(vlafGetCurrent()->id, vlafOPEN_LOOK) << "run with LAF=openlook, as its CTest entry does";
  use_real_windows();
  start({});
  run_until(6100);
  for (const auto& [line, kind, tag] : {std::tuple{"wmemory x $80", gui::SIMWIN_MEMORY, "Mem_Scroll"},
                                        std::tuple{"wasm", gui::SIMWIN_ASSEMBLY, "Asm_Scroll"}}) {
    SCOPED_TRACE(line);
    gui::command_submit(line);
    run_until(elapsed() + 300);
    gui::sim_window* record = gui::window_find(kind, -2);
    ASSERT_NE(record, nullptr);
    auto* d = static_cast<vdialog*>(record->window);
    vdialogItem* bar = vdialogFindItem(d, vnameInternLiteral(tag));
    ASSERT_NE(bar, nullptr);
    EXPECT_GE(bar->rect.width, 4 + 11 + 4);
    EXPECT_EQ(bar->rect.x + bar->rect.width, d->rect.width) << "down the right edge";
    vwindowInvalAll(d, 0);
    run_until(elapsed() + 100);
    // Across the bar's top anchor: a frame edge at each side of it, and
    // the window's own background between the far edge and the window's.
    const win::test::Image image = win::test::WindowImage(d->native->hwnd);
    vrect r = bar->rect;
    vdialogItemListTransformRect(bar->owner, &r);
    const int y = image.height - r.y - r.height + 3;
    const std::uint32_t outside = at(image, r.x + 1, y);
    int first = -1, last = -1;
    for (int x = r.x; x < r.x + r.width && x < image.width; ++x)
      if (at(image, x, y) != outside) {
        if (first < 0) first = x;
        last = x;
      }
    EXPECT_EQ(first, r.x + 4) << "the anchor starts 4 in";
    EXPECT_EQ(last, r.x + 4 + 10) << "and is 11 across, ending inside the bar";
    EXPECT_LE(last + 4, image.width - 1) << "4 in from the far side too";
  }
  start({});
  use_stand_ins();
}

}  // namespace
