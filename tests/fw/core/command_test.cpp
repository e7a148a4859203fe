#include "fw/core/command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw_support.h"
#include "memory_resources.h"

namespace {

// An attributed object whose commands live in its own class space; it
// records the tags its "Record" command was issued with.
std::vector<std::string> issued;
template <int N>
int record(vcommand*, vdict*) {
  static const char* names[] = {"", "Yes", "No", "Ok"};
  issued.push_back(names[N]);
  return N == 1;
}
vobjectAttributedClassRec* targetClass() {
  static vobjectAttributedClassRec* c = [] {
    auto* r = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetAttributedClass());
    r->space = vcommandSpaceCreate();
    vdict* commands = vdictCreate(vdictHashName);
    const vcommandTableRow rows[] = {{"Yes", reinterpret_cast<std::intptr_t>(&record<1>)},
                                     {"No", reinterpret_cast<std::intptr_t>(&record<2>)},
                                     {"Ok", reinterpret_cast<std::intptr_t>(&record<3>)}};
    vcommandAddTableToDict(commands, vcommandGetDefaultFunctionClass(), rows, 3);
    vcommandSpaceAddDict(r->space, vname_Command, commands);
    return r;
  }();
  return c;
}

vcommandSynthetic* synthetic(std::initializer_list<vname> tags) {
  auto* c = static_cast<vcommandSynthetic*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
  for (vname t : tags) vcommandAppendSyntheticEntry(c, t);
  return c;
}

TEST(Commands, FunctionAndSelectorCommands) {
  auto* f = static_cast<vcommand*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
  EXPECT_EQ(vcommandIssue(f, nullptr), 0);  // no function: not handled
  vcommandGetDefaultFunctionClass()->setValue(f, reinterpret_cast<std::intptr_t>(+[](vcommand*, vdict*) { return 7; }));
  EXPECT_EQ(vcommandIssue(f, nullptr), 7);
  EXPECT_EQ(vcommandQuery(f, nullptr), 0);
  auto* base = static_cast<vcommand*>(vinstanceCreate(vcommandGetClass()));
  EXPECT_EQ(vcommandIssue(base, nullptr), 1);

  const vcommandTableRow rows[] = {{"Open", 3}, {"Open", 4}, {"Close", 5}};
  vdict* d = vcommandCreateDictFromTable(vcommandGetDefaultSelectorClass(), rows, 3);
  EXPECT_EQ(vdictCount(d), 2u);
  EXPECT_EQ(static_cast<vcommandSelector*>(vdictGet(d, vname_Open))->selector, 4);
  vcommandDestroyDict(d);
  vinstanceDestroy(f);
  vinstanceDestroy(base);
}

TEST(Commands, SyntheticIssueRoad) {
  auto* target = static_cast<vobject*>(vinstanceCreate(targetClass()));
  vdict context;
  vdictInit(&context, vdictHashName);
  vcommandSynthetic* none = synthetic({});
  vcommandAppendSyntheticPair(none, vname_Value, vname_True);
  EXPECT_EQ(vcommandIssue(none, &context), 0);  // no "Operator"
  vdictStore(&context, vname_Operator, target);
  issued.clear();
  EXPECT_EQ(vcommandIssue(none, &context), 1);
  EXPECT_TRUE(issued.empty());
  EXPECT_EQ(vdictGet(&context, vname_Value), vname_True);  // pairs written all the same

  vcommandSynthetic* three = synthetic({vname_No, vname_Yes, vname_Ok});
  EXPECT_EQ(vcommandIssue(three, &context), 1);
  EXPECT_EQ(issued, (std::vector<std::string>{"No", "Yes", "Ok"}));
  vcommandSynthetic* one = synthetic({vname_No});
  EXPECT_EQ(vcommandIssue(one, &context), 0);
  EXPECT_EQ(vobjectIssueTag(target, vname_Cancel, nullptr), 0);  // no space reaches it
  vdictFinish(&context);
  for (vcommand* c : {static_cast<vcommand*>(none), static_cast<vcommand*>(three), static_cast<vcommand*>(one)})
    vinstanceDestroy(c);
  vinstanceDestroy(target);
}

TEST(Commands, TagsMoveBetweenInlineAndArray) {
  vcommandSynthetic* c = synthetic({vname_Yes});
  EXPECT_EQ(c->tag, vname_Yes);
  vcommandAppendSyntheticEntry(c, vname_No);
  ASSERT_EQ(c->tagCount, 2);
  EXPECT_EQ(c->tags[0], vname_Yes);
  EXPECT_EQ(c->tags[1], vname_No);
  vname drop = vname_Yes;
  vcommandGetDefaultSyntheticClass()->removeTags(c, &drop, 1);
  ASSERT_EQ(c->tagCount, 1);
  EXPECT_EQ(c->tag, vname_No);
  vcommandGetDefaultSyntheticClass()->removeTags(c, &drop, 1);  // absent: unchanged
  EXPECT_EQ(c->tagCount, 1);
  vcommand* copy = vcommandCopy(c);
  EXPECT_EQ(static_cast<vcommandSynthetic*>(copy)->tag, vname_No);
  vinstanceDestroy(copy);
  vinstanceDestroy(c);
}

TEST(Commands, StoreAndLoadRoundTrips) {
  MemoryResources res;
  auto* s = static_cast<vcommandSelector*>(vinstanceCreate(vcommandGetDefaultSelectorClass()));
  s->selector = 42;
  vresource r = res.newDict();
  vcommandStore(s, r);
  auto* back = static_cast<vcommandSelector*>(vcommandLoad(r));
  EXPECT_EQ(back->cls, s->cls);
  EXPECT_EQ(back->selector, 42);

  auto* n = static_cast<vcommandSynthetic*>(vinstanceCreate(vcommandGetDefaultSyntheticNameClass()));
  vcommandAppendSyntheticEntry(n, vname_Open);
  vcommandAppendSyntheticEntry(n, vname_Close);
  vcommandAppendSyntheticPair(n, vname_Title, vname_Help);
  vresource rn = res.newDict();
  vcommandStore(n, rn);
  auto* nb = static_cast<vcommandSynthetic*>(vcommandLoad(rn));
  ASSERT_EQ(nb->tagCount, 2);
  EXPECT_EQ(nb->tags[1], vname_Close);
  ASSERT_EQ(nb->pairCount, 1);
  EXPECT_EQ(nb->pair.key, vname_Title);
  EXPECT_EQ(nb->pair.value, vname_Help);

  auto* f = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
  f->issue = [](vcommand*, vdict*) { return 1; };
  vresource rf = res.newDict();
  vcommandStore(f, rf);
  auto* fb = static_cast<vcommandFunction*>(vcommandLoad(rf));
  EXPECT_EQ(fb->issue, nullptr);  // functions are not stored

  vresource bad = res.newDict();
  EXPECT_EQ(raisedClass([&] { vcommandLoad(bad); }), &vexArgUndefinedClassClass);
  vresourceSetTagAt(bad, vname_Class, vnameInternLiteral("vcommandSyntheticClass"));
  vresourceSetIntegerAt(bad, vname_Tags, 5);
  EXPECT_EQ(raisedClass([&] { vcommandLoad(bad); }), &vexArgClass);
  for (vcommand* c : std::initializer_list<vcommand*>{s, back, n, nb, f, fb}) vinstanceDestroy(c);
}

TEST(KeyLists, ResourceFormsAndBindings) {
  MemoryResources res;
  struct Case {
    std::vector<std::uint32_t> keys;
    int type;
  } cases[] = {{{}, vresTAG}, {{65}, vresINTEGER}, {{0, 65, 7}, vresARRAY}};
  for (const auto& c : cases) {
    vcommandKeyList* list = vcommandCreateKeyList();
    vcommandAppendKeys(list, c.keys.data(), static_cast<int>(c.keys.size()));
    vresource parent = res.newDict();
    vcommandGetAttributeHandler(vname_Key)->store(list, parent, vnameInternLiteral("Copy"));
    vresource stored;
    ASSERT_TRUE(vresourceGetInterface()->find(parent, vnameInternLiteral("Copy"), &stored));
    EXPECT_EQ(vresourceType(stored), c.type);
    vcommandKeyList* back = vcommandLoadKeyList(stored);
    vcommandKeyIterator it;
    vcommandInitKeyIterator(&it, back);
    EXPECT_EQ(std::vector<std::uint32_t>(it.current, it.end), c.keys);
    vcommandDestroyKeyList(back);
    vcommandDestroyKeyList(list);
  }
  vresource wrong = res.newDict();
  EXPECT_EQ(raisedClass([&] { vcommandLoadKeyList(wrong); }), &vexArgClass);

  // Key codes 0 and 65 under "Copy" bind 1 and 66; an empty list binds none.
  vdict* keys = vdictCreate(vdictHashName);
  vcommandKeyList* copyKeys = vcommandCreateKeyList();
  const std::uint32_t codes[] = {0, 65};
  vcommandAppendKeys(copyKeys, codes, 2);
  vdictStore(keys, vnameInternLiteral("Copy"), copyKeys);
  vdictStore(keys, vnameInternLiteral("Paste"), vcommandCreateKeyList());
  vdict* bindings = vdictCreate(vdictHashPointer);
  _vcommandSpaceVisitDict(keys, bindings);
  EXPECT_EQ(vdictCount(bindings), 2u);
  EXPECT_EQ(vdictGet(bindings, reinterpret_cast<const void*>(1)), vnameInternLiteral("Copy"));
  EXPECT_EQ(vdictGet(bindings, reinterpret_cast<const void*>(66)), vnameInternLiteral("Copy"));
  vcommandDestroyKeyDict(keys);
  vdictDestroy(bindings);
}

}  // namespace
