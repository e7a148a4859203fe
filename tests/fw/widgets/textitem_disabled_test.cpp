// A disabled entry field reads as disabled in every look: its text leaves
// the enabled foreground for the look's disabled one.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look/laf.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

TEST(DisabledTextItems, TextTakesTheDisabledForegroundInEveryLook) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    startDialogItemTests();
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
    _vlafRebuildCurrent();
    vdialog* d = vdialogCreate();
    d->rect = {100, 100, 200, 80};
    vtextitem* item = vtextitemCreate();
    vrect r{20, 20, 150, 30};
    vdialogSetItemRect(item, &r);
    vtextitemSetOneLine(item, 1);
    vtextitemSetModifiable(item, 1);
    vdialogSetItemBorder(item, 1);
    vtextitemSetTextChars(item, "8888");
    vdialogAppendItem(d, item);
    vwindowOpen(d);
    settle();
    ASSERT_NE(vdialogGetItemColor(item, 0), vdialogGetItemColor(item, 1)) << laf;
    win::test::Image on = win::test::WindowImage(d->native->hwnd);
    vdialogDisableItem(item);
    vwindowInvalAll(d, 0);
    settle();
    win::test::Image off = win::test::WindowImage(d->native->hwnd);
    // The text's ink: the commonest colour of the field's middle band other
    // than its commonest (the field's own).
    int top = d->rect.height - 1 - (r.y + r.height) + 6, bottom = d->rect.height - 1 - r.y - 6;
    auto at = [&](const win::test::Image& i, int x, int y) {
      return i.px[std::size_t(y) * std::size_t(i.width) + std::size_t(x)] & 0xFFFFFF;
    };
    std::map<std::uint32_t, int> counts;
    for (int y = top; y <= bottom; ++y)
      for (int x = r.x + 6; x < r.x + r.width - 6; ++x) ++counts[at(on, x, y)];
    std::uint32_t field = 0, ink = 0;
    int most = 0, second = 0;
    for (auto [c, n] : counts)
      if (n > most) second = most, ink = field, most = n, field = c;
      else if (n > second) second = n, ink = c;
    ASSERT_GT(second, 10) << laf << ": the text shows";
    int kept = 0, inked = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = r.x + 6; x < r.x + r.width - 6; ++x)
        if (at(on, x, y) == ink) ++inked, kept += at(off, x, y) == ink;
    EXPECT_LT(kept, inked / 10) << laf << ": disabled text still in the enabled foreground";
    vwindowClose(d);
    vinstanceDestroy(d);
    settle();
  }
  startDialogItemTests();
}

}  // namespace
