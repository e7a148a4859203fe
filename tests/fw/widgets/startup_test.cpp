#include "fw/widgets/startup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fw/core/class.h"
#include "fw/core/sys.h"

namespace {

TEST(WidgetsStartup, FillsItsRowsOfTheStartupOrder) {
  vwidgetsInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int filled = 0;
  for (int i = 0; i < n; ++i) {
    std::string name = rows[i].name;
    if (name == "vlistGetDefaultClass" || name == "vlistsizeGetDefaultClass" || name == "vspringGetDefaultClass" ||
        name == "vdomainGetDefaultClass" || name == "vspringdomGetDefaultClass" || name == "vmenuGetDefaultClass" ||
        name == "vdragGetDefaultClass" || name == "vliststrGetDefaultClass" || name == "vcontrolGetDefaultClass" ||
        name == "vsliderGetDefaultClass" || name == "vrulerGetDefaultClass" || name == "vkeyitemGetDefaultClass" ||
        name == "vbuttonGetDefaultClass" || name == "vlistviewGetDefaultClass" ||
        name == "vdomainviewGetDefaultClass" || name == "vdomainitemGetDefaultClass" ||
        name == "vlistitemGetDefaultClass" || name == "vpaletteGetDefaultClass" ||
        name == "viconviewGetDefaultClass" || name == "vmainviewGetDefaultClass") {
      ASSERT_NE(rows[i].fn, nullptr) << name;
      rows[i].fn();
      rows[i].fn();  // a second start makes nothing twice
      ++filled;
    }
  }
  EXPECT_EQ(filled, 20);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vlistObserver")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vlistsize")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vspringSolution")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vdomainLong")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vdomainUndoObserver")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vspringdomUndoObserver")), nullptr);
  for (const char* menus : {"vmenu", "vmenuItem", "vmenuSeparatorItem", "vmenuToggleItem", "vmenuPushPinItem",
                            "vmenuSubMenuItem", "vmenuItemList", "vdrag", "vliststr", "vcontrol", "vslider",
                            "vsliderScrollBar", "vbutton", "vruler", "vrulerItem", "vkeyitem", "vlistview",
                            "vlistviewObserver", "vdomainview", "vdomainviewEvent", "vdomainviewObserver",
                            "vdomainitem", "vdomainitemDomain", "vlistitem", "vlistitemList", "vpalette",
                            "vpaletteItem", "viconview", "viconviewDomain", "viconviewView", "viconviewIcon",
                            "vmainview"})
    EXPECT_NE(vclassFindByName(vscribeLiteral(menus)), nullptr) << menus;
}

}  // namespace
