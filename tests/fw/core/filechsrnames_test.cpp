#include "fw/core/filechsrnames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(FilechsrNames, InternedInTableOrderAndStable) {
  _vfilechsrInternNames();
  EXPECT_STREQ(_vfilechsrNames[0], "vfilechsr");
  EXPECT_STREQ(vfilechsrName(vfilechsrNameId::Files), " Files");
  EXPECT_EQ(vfilechsrNameCount, 38);
  EXPECT_EQ(_vfilechsrNames[37], vfilechsrName(vfilechsrNameId::Files));
  struct Case {
    vfilechsrNameId id;
    const char* text;
  } cases[] = {{vfilechsrNameId::LocalMenuBar, "Local Menu Bar"},
               {vfilechsrNameId::TitleTemplates, "Title Templates"},
               {vfilechsrNameId::VolumesMenu, "VolumesMenu"},
               {vfilechsrNameId::List1, "List1"},
               {vfilechsrNameId::Title5, "Title5"}};
  for (const Case& c : cases) EXPECT_EQ(vfilechsrName(c.id), vnameInternLiteral(c.text)) << c.text;

  // Every slot distinct and interned; a second start-up gives the same names.
  std::set<vname> seen;
  vname before[vfilechsrNameCount];
  for (int i = 0; i < vfilechsrNameCount; ++i) {
    before[i] = _vfilechsrNames[i];
    ASSERT_NE(before[i], nullptr) << i;
    EXPECT_EQ(vnameInternLiteral(std::string(before[i]).c_str()), before[i]) << i;
    seen.insert(before[i]);
  }
  EXPECT_EQ(seen.size(), 38u);
  _vfilechsrInternNames();
  for (int i = 0; i < vfilechsrNameCount; ++i) EXPECT_EQ(_vfilechsrNames[i], before[i]) << i;
}

}  // namespace
