#include "fw/gui/graphics/startup.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fw/core/class.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"

namespace {

TEST(GraphicsStartup, FillsItsRowsOfTheStartupOrder) {
  vgraphicsInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int filled = 0;
  for (int i = 0; i < n; ++i) {
    bool ours = false;
    for (const char* name : {"_vsyncRingInitPool", "vrectStartup", "vpixmapGetDefaultClass", "vimageGetDefaultClass",
                             "vprintGetDefaultClass"})
      ours = ours || std::strcmp(rows[i].name, name) == 0;
    if (ours) {
      EXPECT_NE(rows[i].fn, nullptr) << rows[i].name;
      rows[i].fn();
      rows[i].fn();  // a second start makes nothing twice
      ++filled;
    }
  }
  EXPECT_EQ(filled, 5);
  // The printing row builds every print class, so "printclass" finds them by name.
  for (const char* cls : {"vprint", "vprintStream", "vprintPS", "vprintColorPS", "vprintsysNative"})
    EXPECT_NE(vclassFindByName(vscribeCString(cls)), nullptr) << cls;
}

}  // namespace
