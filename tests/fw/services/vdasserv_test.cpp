#include "fw/services/vdasserv.h"

#include <gtest/gtest.h>

#include <string>

#include "fw/data/pref.h"
#include "services_support.h"

namespace {

std::string element(vinstance* address, const char* key) {
  vinstance* e = vscrapGetDictionaryElement(vscrapWalk(address), vnameInternLiteral(key));
  if (!e) return "<absent>";
  std::string text;
  if (vdelegatorIsKindOf(e, vscrapGetTagClass())) {
    text = std::string("tag ") + vscrapGetTag(vscrapWalk(e));
  } else {
    char buffer[256];
    vscribeGetStringBounded(vscrapGetString(vscrapWalk(e)), buffer, sizeof buffer);
    text = buffer;
  }
  vinstanceDestroy(e);
  return text;
}

struct Broker : ServicesTest {};

// Where the broker is: defaults, an integer port, the marker giving way to
// the sub-dictionary, and a location only when one is set.
TEST_F(Broker, AddressFromThePreferences) {
  struct Row {
    const char* name;
    void (*prefs)();
    const char* location;
    const char* port;
  } rows[] = {
      {"defaults", [] {}, "<absent>", "1928"},
      {"integer port",
       [] {
         vprefSetScrap(vprefGetDefaultDict(), vscribeLiteral("vdasservPort"),
                       vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagINTEGER), 2000), 0);
       },
       "<absent>", "2000"},
      {"marker then sub-dictionary",
       [] {
         setPref("vdasservPort", "vdasservUNDEFINED");
         setPref("vdasservLocation", "vdasservUNDEFINED");
         vprefDict* sub = vprefCreateDict();
         vprefSetString(sub, vscribeLiteral("vdasservPort"), "3000");
         vprefSetString(sub, vscribeLiteral("vdasservLocation"), "brokerhost");
         vprefDictSet(vprefGetDefaultDict(), vnameInternLiteral("vdasserv"), sub);
       },
       "brokerhost", "3000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    row.prefs();
    vinstance* address = vdasservGetBrokerAddress();
    EXPECT_EQ(element(address, "Title"), "tag Service Broker");
    EXPECT_EQ(element(address, "Location"), row.location);
    EXPECT_EQ(element(address, "Port"), row.port);
    EXPECT_EQ(element(address, "Transport"), "tag tcp");
    vinstance* another = vdasservCreateServiceScrap();
    EXPECT_NE(another, address);  // a new scrap per call
    vinstanceDestroy(another);
    vinstanceDestroy(address);
  }
  vdatatag* d = vdasservGetAddressDatatag();
  EXPECT_EQ(vdatatagGetKind(d), vdatatagDICTIONARY);
}

// The operations, the match statement (unsent, its criteria consumed) and
// the session classes' start-up.
TEST_F(Broker, OperationsMatchStatementAndStartup) {
  vsignature* match = vdasservGetOperation("vdasservMatch");
  ASSERT_NE(match, nullptr);
  EXPECT_NE(vdasservGetOperation("vdasservRegister"), nullptr);
  EXPECT_NE(vdasservGetOperation("vdasservUnregister"), nullptr);
  EXPECT_EQ(vdatatagGroupFindDatatag(vdasservGetGroup(), vnameInternLiteral("arrayScraps")), match->returnValue);

  vsession* s = vsessionCreate();
  vinstance* criteria = vdasservGetBrokerAddress();
  vsessionStatement* st = vdasservCreateMatchStatement(s, criteria);
  EXPECT_EQ(st->operation, match);
  EXPECT_EQ(st->session, s);
  EXPECT_NE(st->arguments, nullptr);
  EXPECT_EQ(vsessionStatementGetState(st), vsessionStatementNEW);
  vsessionStatementDestroy(st);
  vsessionDestroy(s);

  vsessionSyntheticEngineClassRec* first = vsessionStartup();
  EXPECT_EQ(vsessionStartup(), first);
  EXPECT_STREQ(first->name, "vsessionDefaultEngine");
}

}  // namespace
