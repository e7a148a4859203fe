#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw_support.h"
#include "memory_resources.h"

namespace {

// An attributed item with one attribute, "State", announcing its changes.
struct Item : vobject {
  vname state;
};
struct Change {
  vobject* item;
  vname oldValue, newValue;
};
std::vector<Change> changes;
vcommandSpace* detachDuringNotify = nullptr;

vobjectAttributedClassRec* itemClass() {
  static vobjectAttributedClassRec* c = [] {
    auto* r = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetAttributedClass());
    vclassSetName(r, vscribeLiteral("testItem"));
    r->instanceSize = sizeof(Item);
    r->attributes = vdictCopy(r->attributes);
    vdictStoreInteger(r->attributes, vname_State, 0);
    r->setAttributeByIndex = [](vobject* self, int, const void* value) {
      auto* item = static_cast<Item*>(self);
      vname old = item->state;
      item->state = static_cast<vname>(value);
      vobjectSendValueChange(self, vname_State, old, value);
    };
    r->getAttributeByIndex = [](vobject* self, int) -> const void* { return static_cast<Item*>(self)->state; };
    r->send = [](vobject*, vname selector, vdict* args) {
      if (selector != vname_State) return;
      changes.push_back({static_cast<vobject*>(vdictGet(args, vname_Operand)), static_cast<vname>(vdictGet(args, vname_OldValue)),
                         static_cast<vname>(vdictGet(args, vname_Value))});
      if (detachDuringNotify) vcommandSpaceDetach(detachDuringNotify, static_cast<vobject*>(vdictGet(args, vname_Operand)));
    };
    return r;
  }();
  return c;
}

Item* item(vname tag) {
  auto* i = static_cast<Item*>(vinstanceCreate(itemClass()));
  i->tag = tag;
  i->state = nullptr;
  return i;
}

vdict* dictOf(std::initializer_list<std::pair<vname, vname>> entries) {
  vdict* d = vdictCreate(vdictHashName);
  for (auto& [k, v] : entries) vdictStore(d, k, v);
  return d;
}

TEST(AttributedObjects, AttributesByNameAndIssueSelectors) {
  Item* a = item(vname_Open);
  auto* rec = vobjectAttributedOf(a);
  changes.clear();
  rec->setAttribute(a, vname_State, vname_Disabled);
  rec->setAttribute(a, vname_Title, vname_Yes);  // no such attribute: ignored
  EXPECT_EQ(a->state, vname_Disabled);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].oldValue, nullptr);
  EXPECT_EQ(changes[0].newValue, vname_Disabled);
  EXPECT_EQ(rec->getAttribute(a, vname_State), vname_Disabled);
  vdict* all = vdictCreate(vdictHashName);
  rec->getAttributes(a, all);
  EXPECT_EQ(vdictGet(all, vname_State), vname_Disabled);
  vdictDestroy(all);
  // "Help" and "Dump" come with every attributed class.
  EXPECT_EQ(vobjectIssueTag(a, vname_Help, nullptr), 1);
  EXPECT_EQ(vobjectIssueTag(a, vnameInternLiteral("Dump"), nullptr), 1);
  EXPECT_EQ(vobjectIssueTag(a, vname_Quit, nullptr), 0);
  EXPECT_EQ(vobjectQueryTag(a, vname_Help, vname_Operand), a);
  int count = 0;
  vname* tags = rec->collectTags(a, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(tags[0], vname_Open);
  vmemFree(tags);
  vinstanceDestroy(a);
}

// A command without a context to run in is the caller's fault, raised
// whether or not the tag names a command.
TEST(AttributedObjects, IssueAndQueryRefuseANullContext) {
  Item* a = item(vname_Open);
  for (auto run : {vobjectIssueCommand, vobjectQueryCommand}) {
    for (vname tag : {vname_Help, vname_Quit}) {
      bool argNull = false;
      vexGuard([&] { run(a, tag, nullptr); },
               [&](vexHandler& h) {
                 argNull = vexGetCurrentException()->cls == &vexArgNullClass;
                 vexSetCurrentException(h.savedChain);
               });
      EXPECT_TRUE(argNull) << tag;
    }
  }
  vinstanceDestroy(a);
}

TEST(CommandSpaces, ObserversTakeTheirTagsValue) {
  vcommandSpace* s = vcommandSpaceCreate();
  Item* open = item(vname_Open);
  Item* close = item(vname_Close);
  vcommandSpaceAttach(s, open);
  vcommandSpaceAttach(s, close);
  vcommandSpaceAttach(s, item(vname_Print));  // a third grows the vector
  changes.clear();
  vdict* states = dictOf({{vname_Open, vname_Disabled}});
  vcommandSpaceAddDict(s, vname_State, states);
  EXPECT_EQ(open->state, vname_Disabled);
  EXPECT_EQ(close->state, nullptr);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].item, open);
  // Leaving: each observer re-resolves through its own search, which finds
  // nothing, so it keeps its state.
  vclassRec<vcommandSpaceClassRec>(s)->removeDict(s, vname_State, states);
  EXPECT_EQ(open->state, vname_Disabled);
  EXPECT_EQ(raisedClass([&] { vclassRec<vcommandSpaceClassRec>(s)->removeDict(s, vname_State, states); }),
            &vexArgClass);
  EXPECT_EQ(raisedClass([&] { vcommandSpaceDetach(s, s); }), &vexArgClass);
  vinstanceDestroy(s);
}

TEST(CommandSpaces, ObserverDetachingItselfDuringANotice) {
  vcommandSpace* s = vcommandSpaceCreate();
  Item* a = item(vname_Open);
  Item* b = item(vname_Open);
  vcommandSpaceAttach(s, a);
  vcommandSpaceAttach(s, b);
  changes.clear();
  detachDuringNotify = s;
  vclassRec<vcommandSpaceClassRec>(s)->addDict(s, vname_State, dictOf({{vname_Open, vname_Enabled}}));
  detachDuringNotify = nullptr;
  EXPECT_EQ(changes.size(), 2u);
  EXPECT_EQ(s->observersEnd - s->observersBegin, 0);
  vinstanceDestroy(s);
}

TEST(CommandSpaces, FirstEntryWinsAndGatherKeepsTheLast) {
  vcommandSpace* s = vcommandSpaceCreate();
  vcommandSpaceAddDict(s, vname_State, dictOf({{vname_Open, vname_Enabled}}));
  vcommandSpaceAddDict(s, vname_Name, dictOf({{vname_Open, vname_Yes}}));
  vcommandSpaceAddDict(s, vname_State, dictOf({{vname_Open, vname_Disabled}, {vname_Close, vname_Disabled}}));
  EXPECT_EQ(vcommandSpaceGetAttribute(s, vname_State, vname_Open), vname_Enabled);
  EXPECT_EQ(vcommandSpaceGetAttribute(s, vname_State, vname_Close), vname_Disabled);
  EXPECT_EQ(vcommandSpaceGetAttribute(s, vname_Toggle, vname_Open), nullptr);
  vdict* got = vdictCreate(vdictHashName);
  vcommandSpaceGetAttributes(s, vname_Open, got);
  EXPECT_EQ(vdictGet(got, vname_State), vname_Disabled);
  EXPECT_EQ(vdictGet(got, vname_Name), vname_Yes);
  vdictDestroy(got);

  vcommandSpaceIterator it;
  vcommandSpaceInitEntryIterator(&it, s);
  std::vector<vname> kinds;
  while (vcommandSpaceEntry* e = vcommandSpaceNextEntry(&it)) kinds.push_back(e->kind);
  EXPECT_EQ(kinds, (std::vector<vname>{vname_State, vname_Name, vname_State}));

  // Removing what the space defines: the same dictionary when nothing
  // matches; one surviving copy when two entries remove keys.
  vdict* unrelated = dictOf({{vname_Print, vname_Yes}});
  EXPECT_EQ(vcommandSpaceRemoveDefined(s, vname_State, unrelated), unrelated);
  vdict* both = dictOf({{vname_Open, vname_Yes}, {vname_Close, vname_Yes}, {vname_Print, vname_Yes}});
  vdict* left = vcommandSpaceRemoveDefined(s, vname_State, both);
  EXPECT_NE(left, both);
  EXPECT_EQ(vdictCount(left), 1u);
  EXPECT_EQ(vdictCount(both), 3u);
  vdictDestroy(left);
  vdictDestroy(both);
  vdictDestroy(unrelated);
  vinstanceDestroy(s);
}

TEST(CommandSpaces, ReplaceAndCopy) {
  vcommandSpace* s = vcommandSpaceCreate();
  Item* open = item(vname_Open);
  vcommandSpaceAttach(s, open);
  vdict* first = dictOf({{vname_Open, vname_Disabled}});
  vcommandSpaceAddDict(s, vname_State, first);
  changes.clear();
  auto* rec = vclassRec<vcommandSpaceClassRec>(s);
  rec->replaceDict(s, vname_State, first, first);  // only drops ownership
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(s->entriesBegin[0].flags & vcommandSpaceOWNED, 0);
  vdict* second = dictOf({{vname_Open, vname_Enabled}});
  rec->replaceDict(s, vname_State, first, second);
  EXPECT_EQ(open->state, vname_Enabled);
  vdictDestroy(first);

  // Copy-init from a subclass instance gives a plain space; owned
  // dictionaries are duplicated, foreign ones shared.
  auto* sub = vclassSpawnOf<vcommandSpaceClassRec>(vcommandSpaceGetDefaultClass());
  auto* special = static_cast<vcommandSpace*>(vinstanceCreate(sub));
  vcommandSpaceAddDict(special, vname_Name, dictOf({{vname_Open, vname_Yes}}));
  vclassRec<vcommandSpaceClassRec>(special)->addDict(special, vname_State, second);
  vcommandSpace plain;
  vcommandSpaceCopyInit(special, &plain);
  EXPECT_EQ(plain.cls, vcommandSpaceGetDefaultClass());
  ASSERT_EQ(plain.entriesEnd - plain.entriesBegin, 2);
  EXPECT_NE(plain.entriesBegin[0].dict, special->entriesBegin[0].dict);
  EXPECT_EQ(plain.entriesBegin[1].dict, second);
  EXPECT_EQ(plain.observersEnd, plain.observersBegin);
  vcommandSpaceGetDefaultClass()->destroy(&plain);
  // A space copied into itself keeps its dictionaries.
  vdict* named = special->entriesBegin[0].dict;
  vclassRec<vcommandSpaceClassRec>(special)->copy(special, special);
  ASSERT_EQ(special->entriesEnd - special->entriesBegin, 2);
  EXPECT_EQ(special->entriesBegin[0].dict, named);
  EXPECT_EQ(vdictGet(named, vname_Open), vname_Yes);
  vinstanceDestroy(special);
  vinstanceDestroy(s);
  vdictDestroy(second);
}

TEST(CommandSpaces, StoreAndLoadRoundTrip) {
  MemoryResources res;
  vcommandSpace* s = vcommandSpaceCreate();
  s->tag = vname_Menu;
  vcommandSpaceAddDict(s, vname_State, dictOf({{vname_Open, vname_Disabled}}));
  vdict* titles = vdictCreate(vdictHashName);
  vdictStore(titles, vname_Open, vstrClone("Open..."));
  vcommandSpaceAddDict(s, vname_Title, titles);
  vdict* commands = vdictCreate(vdictHashName);
  auto* sel = static_cast<vcommandSelector*>(vinstanceCreate(vcommandGetDefaultSelectorClass()));
  sel->selector = 9;
  vdictStore(commands, vname_Open, sel);
  vcommandSpaceAddDict(s, vname_Command, commands);
  vclassRec<vcommandSpaceClassRec>(s)->addDict(s, vname_Toggle, dictOf({{vname_Open, vname_On}}));  // not owned: not stored
  vresource r = res.newDict();
  vclassRec<vcommandSpaceClassRec>(s)->store(s, r);

  // The stored form names its class: loaded as that class.
  vcommandSpace* back = vcommandSpaceLoad(r);
  EXPECT_EQ(back->cls, vcommandSpaceGetDefaultClass());
  EXPECT_EQ(back->tag, vname_Menu);
  ASSERT_EQ(back->entriesEnd - back->entriesBegin, 3);
  EXPECT_EQ(vcommandSpaceGetAttribute(back, vname_State, vname_Open), vname_Disabled);
  EXPECT_STREQ(static_cast<const char*>(vcommandSpaceGetAttribute(back, vname_Title, vname_Open)), "Open...");
  auto* c = static_cast<const vcommandSelector*>(vcommandSpaceGetAttribute(back, vname_Command, vname_Open));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->selector, 9);
  EXPECT_EQ(vcommandSpaceGetAttribute(back, vname_Toggle, vname_Open), nullptr);

  // Without "Class": a plain space from the bare entries.
  vresource bare = res.newDict();
  vresource list = res.newArray();
  vresource element = vresourceGetInterface()->append(list, vresDICTIONARY);
  vresourceSetTagAt(element, vname_Attribute, vname_Name);
  vresourceSetTagAt(vresourceGetDict(element, vname_Dictionary), vname_Open, vname_Yes);
  vcommandSpace* plain = vcommandSpaceLoad(list);
  EXPECT_EQ(vcommandSpaceGetAttribute(plain, vname_Name, vname_Open), vname_Yes);
  EXPECT_EQ(plain->entriesBegin[0].flags, vcommandSpaceOWNED);
  vresourceSetTagAt(bare, vname_Class, vnameInternLiteral("noSuchSpace"));
  EXPECT_EQ(raisedClass([&] { vcommandSpaceLoad(bare); }), &vexArgUndefinedClassClass);
  for (vcommandSpace* x : {s, back, plain}) vinstanceDestroy(x);
}

}  // namespace
