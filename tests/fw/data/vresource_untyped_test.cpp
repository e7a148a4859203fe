// A resource made with vresourceMake has no kind until something is
// written into it; both stores must then give it the kind written, whether
// the value reaches it through its own handle or by tag through its parent.
#include <gtest/gtest.h>

#include <string>

#include "fw/core/class.h"
#include "fw/core/mem.h"
#include "fw/data/pref.h"
#include "fw/data/resrect.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"

namespace {

vname t(const char* s) { return vnameInternLiteral(s); }
using std::to_string;

template <class F>
std::string raised(F body) {
  std::string message = "none";
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    message = e->message ? e->message : "raised";
    vexSetCurrentException(h.savedChain);
  });
  return message;
}

// Each write goes into m, made under k of r (the value either through m
// itself or by tag k through r); the read-back looks at r's entry k.
struct Kind {
  const char* name;
  void (*write)(vresource r, vname k, vresource m, bool byTag);
  std::string (*read)(vresource r, vname k);
  const char* expected;
};
vname own(vname k, bool byTag) { return byTag ? k : nullptr; }
vresource into(vresource r, vresource m, bool byTag) { return byTag ? r : m; }

// clang-format off
const Kind kinds[] = {
  {"string", [](vresource r, vname k, vresource m, bool b) { vresourceSetString(into(r, m, b), own(k, b), vscribeCString("text")); },
   [](vresource r, vname k) { return vresourceGetStringText(r, k); }, "text"},
  {"sized", [](vresource r, vname k, vresource m, bool b) { vresourceSetStringSized(into(r, m, b), own(k, b), "abcdef", 3); },
   [](vresource r, vname k) { return vresourceGetStringText(r, k); }, "abc"},
  {"integer", [](vresource r, vname k, vresource m, bool b) { vresourceSetInteger(into(r, m, b), own(k, b), -12); },
   [](vresource r, vname k) { return to_string(vresourceGetInteger(r, k)); }, "-12"},
  {"fixed", [](vresource r, vname k, vresource m, bool b) { vresourceSetFixed(into(r, m, b), own(k, b), 0x18000); },
   [](vresource r, vname k) { return to_string(vresourceGetFixed(r, k)); }, "98304"},
  {"float", [](vresource r, vname k, vresource m, bool b) { vresourceSetFloat(into(r, m, b), own(k, b), 2.5); },
   [](vresource r, vname k) { return to_string(vresourceGetFloat(r, k)); }, "2.500000"},
  {"boolean", [](vresource r, vname k, vresource m, bool b) { vresourceSetBoolean(into(r, m, b), own(k, b), 1); },
   [](vresource r, vname k) { return to_string(vresourceGetBoolean(r, k)); }, "1"},
  {"character", [](vresource r, vname k, vresource m, bool b) { vresourceSetCharacter(into(r, m, b), own(k, b), 'q'); },
   [](vresource r, vname k) { return std::string(1, vresourceGetCharacter(r, k)); }, "q"},
  {"tag", [](vresource r, vname k, vresource m, bool b) { vresourceSetTag(into(r, m, b), own(k, b), t("Chosen")); },
   [](vresource r, vname k) { return std::string(vresourceGetTag(r, k)); }, "Chosen"},
  {"opaque", [](vresource r, vname k, vresource m, bool b) { vresourceSetOpaque(into(r, m, b), own(k, b), "\1\2", 2); },
   [](vresource r, vname k) {
     std::size_t n = 0;
     void* p = vresourceGetOpaque(r, k, &n);
     std::string out = to_string(n) + ":" + to_string(static_cast<char*>(p)[1]);
     vmemFree(p);
     return out; }, "2:2"},
  {"scrap", [](vresource r, vname k, vresource m, bool b) {
     vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
     vscrapSetInteger(vscrapWalk(n), 77);
     vresourceSetScrap(into(r, m, b), own(k, b), vscrapWalk(n));
     vinstanceDestroy(n); },
   [](vresource r, vname k) { return to_string(vresourceGetInteger(r, k)); }, "77"},
  // An entry filed under it makes it a dictionary; a lookup first finds none.
  {"dictionary", [](vresource, vname, vresource m, bool) {
     vresource out;
     if (vresourceTestGet(m, t("Inner"), &out) || vresourceCount(m) != 0) return;
     vresourceRemoveIfPresent(m, t("Gone"));
     vresourceSetInteger(m, t("Inner"), 5);
     vresourceSetString(vresourceMake(m, t("Deeper")), t("Leaf"), vscribeCString("x")); },
   [](vresource r, vname k) {
     vresource d = vresourceGet(r, k);
     return to_string(vresourceCount(d)) + " " + to_string(vresourceGetInteger(d, t("Inner"))) + " " +
            vresourceGetStringText(vresourceGet(d, t("Deeper")), t("Leaf")); }, "2 5 x"},
  {"child", [](vresource, vname, vresource m, bool) {
     vresourceSetInteger(vresourceCreate(m, t("Sub"), vresDICTIONARY), t("V"), 3); },
   [](vresource r, vname k) { return to_string(vresourceGetInteger(vresourceGet(vresourceGet(r, k), t("Sub")), t("V"))); },
   "3"},
  {"array", [](vresource r, vname k, vresource m, bool b) {
     vresource a = vresourceMakeArray(into(r, m, b), own(k, b), vresINTEGER, 2);
     vresourceSetAtInteger(a, 1, 9); },
   [](vresource r, vname k) {
     vresource a = vresourceGet(r, k);
     return to_string(vresourceCount(a)) + " " + to_string(vresourceGetAtInteger(a, 1)); }, "2 9"},
  {"array under it", [](vresource, vname, vresource m, bool) {
     vresourceSetAtStringSized(vresourceMakeArray(m, t("L"), vresSTRING, 1), 0, "s", 1); },
   [](vresource r, vname k) { return vresourceGetAtStringText(vresourceGet(vresourceGet(r, k), t("L")), 0); }, "s"},
};
// clang-format on

TEST(UntypedResource, TakesTheKindOfTheFirstValueInBothStores) {
  for (int table : {0, 1}) {
    vresource r = vresourceCreateMemoryIn(table);
    for (bool byTag : {false, true})
      for (const Kind& k : kinds) {
        std::string key = std::string(k.name) + (byTag ? " by tag" : "");
        vname tag = vnameIntern(vscribeCString(key.c_str()));
        std::string got;
        std::string error = raised([&] {
          vresource m = vresourceMake(r, tag);
          EXPECT_EQ(vresourceGetType(r, tag), vresUNTYPED);
          k.write(r, tag, m, byTag);
          got = k.read(r, tag);
        });
        EXPECT_EQ(error, "none") << key << " table " << table;
        EXPECT_EQ(got, k.expected) << key << " table " << table;
      }
    // Only an untyped resource takes a kind: the chunk store keeps one
    // once given, where the ".vr" store rewrites the record.
    vresource s = vresourceMake(r, t("Typed"));
    vresourceSetInteger(s, nullptr, 1);
    EXPECT_EQ(raised([&] { vresourceSetTag(s, nullptr, t("No")); }),
              table ? "Resource is not of type vresTAG" : "none");
    vresourceCloseFile(r);
  }
}

// Saving one preference makes its resource and then writes its value in.
TEST(UntypedResource, APreferenceKeySavesIntoEitherStore) {
  vprefBuildClasses();
  for (int table : {0, 1}) {
    vmoduleContext* context = vmoduleCreateContext();
    vresource out = vresourceCreateMemoryIn(table);
    vprefDict* root = vprefGetDefaultDict();
    vprefSetString(root, vscribeLiteral("fresh"), "value");
    vprefSetRootResource(out);
    EXPECT_EQ(raised([&] { vprefDictSaveKey(root, t("fresh")); }), "none") << table;
    EXPECT_EQ(raised([&] { EXPECT_EQ(vresourceGetStringText(out, t("fresh")), "value") << table; }), "none");
    vmoduleDestroyContext(context);
    vresourceCloseFile(out);
  }
}

}  // namespace
