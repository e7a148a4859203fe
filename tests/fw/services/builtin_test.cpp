#include "fw/services/builtin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(BuiltinServices, SignaturesAreBuiltOnceWithTheirDatatags) {
  vsignature* shutdown = vdasGetShutdownSignature();
  vsignature* issue = vdasGetIssueCommandSignature();
  EXPECT_EQ(vdasGetShutdownSignature(), shutdown);
  EXPECT_EQ(vdasGetIssueCommandSignature(), issue);
  struct Case {
    vsignature* s;
    const char* name;
    vdatatag* result;
    std::int32_t arguments;
  };
  const Case cases[] = {
      {vdasGetPingSignature(), "vdasPingService", nullptr, 0},
      {shutdown, "vdasShutdownService", nullptr, 0},
      {issue, "vdasIssueCommand", vdatatagGetPredefined(vdatatagBOOLEAN), 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.s->cls, vsignatureGetDefaultClass());
    EXPECT_STREQ(c.s->tag, c.name);
    EXPECT_EQ(c.s->tag, vnameInternLiteral(c.name)) << "named with the interned name";
    EXPECT_EQ(c.s->returnValue, c.result);
    EXPECT_EQ(_vdatatagListCount(&c.s->arguments), c.arguments) << c.name;
  }
  EXPECT_EQ(_vdatatagListGet(&issue->arguments, 0), vdatatagGetPredefined(vdatatagSTRING));
  EXPECT_EQ(_vdatatagListGet(&issue->arguments, 1), vdatatagGetPredefined(vdatatagTAG));
  EXPECT_EQ(_vdatatagListGet(&issue->arguments, 2), vdatatagGetPredefined(vdatatagSCRAP));
}

bool reverseOrder(const void* parent, const void* item) {
  return std::strcmp(static_cast<const char*>(item), static_cast<const char*>(parent)) > 0;
}

TEST(BuiltinServices, OrderedWalkVisitsEachKeyOnceInOrder) {
  vdict d;
  vdictInit(&d, vdictHashName);
  vdasOrderedWalk walk{};
  vdasOrderedWalkStart(&walk, &d, reverseOrder);
  EXPECT_EQ(vdasOrderedWalkNext(&walk), 0) << "an empty dictionary ends at once";
  vdasOrderedWalkFinish(&walk);

  vdictStoreInteger(&d, vnameInternLiteral("beta"), 2);
  vdictStoreInteger(&d, vnameInternLiteral("alpha"), 1);
  vdictStoreInteger(&d, vnameInternLiteral("gamma"), 3);
  vdasOrderedWalkStart(&walk, &d, reverseOrder);
  std::string seen;
  while (vdasOrderedWalkNext(&walk)) seen += std::string(walk.key) + "=" + std::to_string(walk.integer) + " ";
  EXPECT_EQ(seen, "gamma=3 beta=2 alpha=1 ");
  EXPECT_EQ(walk.key, nullptr);
  EXPECT_EQ(walk.value, nullptr);
  EXPECT_EQ(walk.integer, 0);
  EXPECT_EQ(vdasOrderedWalkNext(&walk), 0);
  vdasOrderedWalkFinish(&walk);
  vdictFinish(&d);
}

}  // namespace
