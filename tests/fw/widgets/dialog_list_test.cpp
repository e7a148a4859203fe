// Dialog item lists: focus moves, the four indexes through removals, moves
// and replacements, the current confirm item and default emphasis, the
// mark, pointer routing, spacing, the stored form and the arranger.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/core/fw_support.h"
#include "fw/widgets/dialog_support.h"

namespace {

// Items that record presses, answer as told, and may take confirm.
std::vector<std::string> presses;
vdialogItemClassRec* testClass(bool takesConfirm) {
  static vdialogItemClassRec* classes[2] = {};
  vdialogItemClassRec*& c = classes[takesConfirm];
  if (c) return c;
  c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  vclassSetName(c, vscribeLiteral(takesConfirm ? "testConfirmItem" : "testListItem"));
  c->buttonDown = [](vdialogItem* item, vevent*) {
    presses.push_back(item->title);
    return int(item->data);
  };
  if (takesConfirm) c->takesConfirm = [](vdialogItem*) { return 1; };
  return c;
}

// The list's announcements by name.
std::vector<std::string> heard;
vdialogItemListClassRec* recordingListClass() {
  static vdialogItemListClassRec* c = [] {
    auto* r = vclassSpawnOf<vdialogItemListClassRec>(vdialogItemListGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testItemList"));
    r->send = [](vobject* self, vname name, vdict* args) {
      heard.push_back(name);
      vdialogItemListGetDefaultClass()->send(self, name, args);
    };
    return r;
  }();
  return c;
}

struct ItemLists : ::testing::Test {
  void SetUp() override {
    startDialogItemTests();
    presses.clear();
    heard.clear();
  }
  // Items from a pattern: 'f' focusable, 't' focusable and text, 'd'
  // focusable but disabled, '.' neither; 'c' a focusable item taking confirm.
  static vdialogItemList* make(const char* pattern) {
    auto* l = static_cast<vdialogItemList*>(vinstanceCreate(recordingListClass()));
    for (const char* p = pattern; *p; ++p) {
      vdialogItem* item = vdialogItemCreate(testClass(*p == 'c'));
      vdialogSetItemTitle(item, vscribeCString(std::string(1, char('A' + (p - pattern))).c_str()));
      item->flags = std::uint16_t(item->flags | (*p == '.' ? 0 : vdialogItemFOCUSABLE) |
                                  (*p == 't' ? vdialogItemTEXT_FOCUS : 0));
      if (*p == 'd') vdialogDisableItem(item);
      vdialogItemListAppend(l, item);
    }
    heard.clear();
    return l;
  }
};

TEST_F(ItemLists, FocusMoves) {
  struct Row {
    const char* pattern;
    int focus, count;
    bool textOnly;
    int expected;
    bool wrapped;
  } rows[] = {
      {"fff", 2, 1, false, 0, true},     // forward from the last wraps to the first
      {"fff", 0, -1, false, 2, true},    // backward from the first wraps to the last
      {"fff", 1, 3, false, 1, true},     // a whole turn stays
      {"fff", -1, 3, false, 2, false},   // without a focus only the last is tried
      {"ff.", -1, 3, false, -1, true},   // ... and it cannot take it
      {"fff", -1, 1, false, 0, false},   // the first
      {"fff", -1, -1, false, 2, false},  // the last
      {"fff", -1, 0, false, 0, true},    // no count: forward by one
      {"fdf", 0, 1, false, 2, false},    // a disabled item is skipped
      {"f.f", 2, -1, false, 0, false},   // so is one that takes no focus
      {"ftf", 2, 1, true, 1, true},      // text-only moves find text items only
      {"fff", 0, 4, false, 1, true},     // the remainder of a long count
      {"f", 0, 1, false, 0, true},       // alone: the focus stays
      {"", -1, 1, false, -1, true},      // nothing to move to
      {"...", -1, 1, false, -1, true},   // nothing takes it
      {"d.d", 1, 1, false, 1, true},     // every other refuses: it stays
  };
  for (const Row& r : rows) {
    vdialogItemList* l = make(r.pattern);
    if (r.focus >= 0) vdialogItemListSetFocusIndex(l, r.focus);
    vdialogItemListMoveFocus(l, r.count, r.textOnly);
    std::string label = std::string(r.pattern) + " from " + std::to_string(r.focus) + " by " + std::to_string(r.count);
    EXPECT_EQ(l->focus, r.expected) << label;
    EXPECT_EQ((l->flags & vdialogItemListWRAPPED) != 0, r.wrapped) << label;
    EXPECT_EQ(l->flags & 3, r.count > 0 ? 1 : 2) << label;
    EXPECT_EQ((l->flags & vdialogItemListTEXT_ONLY) != 0, r.textOnly) << label;
    vinstanceDestroy(l);
  }
}

TEST_F(ItemLists, IndexesFollowRemovalsMovesAndReplacements) {
  // Each row: what happens to a list of five with focus 1, confirm 2,
  // abandon 3 and default focus 4; then the four indexes.
  struct Row {
    const char* what;
    void (*run)(vdialogItemList*);
    int focus, confirm, abandon, defaultFocus;
  } rows[] = {
      {"remove 0", [](vdialogItemList* l) { vobjectListRemoveAt(l, 0); }, 0, 1, 2, 3},
      {"remove the focus", [](vdialogItemList* l) { vobjectListRemoveAt(l, 1); }, -1, 1, 2, 3},
      {"remove the last", [](vdialogItemList* l) { vobjectListRemoveAt(l, 4); }, 1, 2, 3, -1},
      {"move 1 to 4", [](vdialogItemList* l) { vobjectListMove(l, 1, 4); }, 4, 1, 2, 3},
      {"move 4 to 0", [](vdialogItemList* l) { vobjectListMove(l, 4, 0); }, 2, 3, 4, 0},
      {"move 2 to 3", [](vdialogItemList* l) { vobjectListMove(l, 2, 3); }, 1, 3, 2, 4},
      {"replace the focus",
       [](vdialogItemList* l) {
         vdialogItem* old = vdialogItemListAt(l, 1);
         vobjectListSetAt(l, 1, vdialogItemCreate(vdialogItemGetDefaultClass()));
         vinstanceDestroy(old);
       },
       -1, 2, 3, 4},
      {"destroy a listed item", [](vdialogItemList* l) { vinstanceDestroy(vdialogItemListAt(l, 0)); }, 0, 1, 2, 3},
  };
  for (const Row& r : rows) {
    vdialogItemList* l = make("fffff");
    vdialogItem* items[5];
    for (int i = 0; i < 5; ++i) items[i] = vdialogItemListAt(l, i);
    vdialogItemListSetFocusIndex(l, 1);
    vdialogItemListSetConfirmItem(l, items[2]);
    vdialogItemListSetAbandonItem(l, items[3]);
    vdialogItemListSetDefaultFocusItem(l, items[4]);
    vspringSolution* s = vspringSolutionCreate();
    vspringSolutionAppendStep(s, 0, 0, 4);
    l->solution = s;
    int before = vdialogItemListCount(l);
    std::string what = r.what;
    int gone = what == "remove 0" ? 0 : what == "remove the focus" ? 1 : what == "remove the last" ? 4 : -1;
    vdialogItem* removed = gone >= 0 ? items[gone] : nullptr;
    r.run(l);
    EXPECT_EQ(l->focus, r.focus) << r.what;
    EXPECT_EQ(l->confirm, r.confirm) << r.what;
    EXPECT_EQ(l->abandon, r.abandon) << r.what;
    EXPECT_EQ(l->defaultFocus, r.defaultFocus) << r.what;
    if (vdialogItemListCount(l) != before || what.rfind("move", 0) == 0) {
      EXPECT_EQ(l->solution, nullptr) << r.what << ": a solution over the changed items goes";
    }
    if (removed) {
      EXPECT_EQ(removed->owner, nullptr) << r.what;
      vinstanceDestroy(removed);
    }
    vinstanceDestroy(l);
  }
}

TEST_F(ItemLists, CurrentConfirmDefaultEmphasisAndForeignItems) {
  vdialogItemList* l = make("fcf");
  vdialogItem* plain = vdialogItemListAt(l, 0);
  vdialogItem* taker = vdialogItemListAt(l, 1);
  vdialogItem* confirm = vdialogItemListAt(l, 2);
  vdialogItemListSetConfirmItem(l, confirm);
  vdialogItemListClassOf(l)->showDefault(l);
  EXPECT_TRUE(confirm->flags & vdialogItemDEFAULT);
  vdialogItemListClassOf(l)->activateFocus(l);
  heard.clear();
  vdialogItemListSetFocusItem(l, taker);
  EXPECT_EQ(heard, (std::vector<std::string>{"Focus", "CurrentConfirm"}));
  EXPECT_EQ(vdialogItemListGetCurrentConfirmItem(l), taker);
  EXPECT_TRUE(taker->flags & vdialogItemDEFAULT);
  EXPECT_FALSE(confirm->flags & vdialogItemDEFAULT);
  EXPECT_TRUE(taker->flags & vdialogItemFOCUSED);
  heard.clear();
  vdialogItemListSetFocusItem(l, plain);
  EXPECT_EQ(heard, (std::vector<std::string>{"Focus", "CurrentConfirm"}));
  EXPECT_TRUE(confirm->flags & vdialogItemDEFAULT);
  EXPECT_FALSE(taker->flags & vdialogItemFOCUSED);
  heard.clear();
  vdialogItemListSetFocusItem(l, plain);
  EXPECT_TRUE(heard.empty()) << "the same focus is silent";

  vdialogItem* stranger = vdialogItemCreate(vdialogItemGetDefaultClass());
  for (auto set : {vdialogItemListSetFocusItem, vdialogItemListSetConfirmItem, vdialogItemListSetAbandonItem,
                   vdialogItemListSetDefaultFocusItem})
    EXPECT_EQ(raisedClass([&] { set(l, stranger); }), &vexArgClass);
  EXPECT_EQ(raisedClass([&] { vobjectListAppend(l, vobjectListCreate()); }), &vexArgClass);
  vinstanceDestroy(stranger);
  vinstanceDestroy(l);
}

TEST_F(ItemLists, TheMarkReachesAppendedItemsAndLeavesRemovedOnes) {
  vdialogItemList* l = make("ff");
  vdialogItemListClassOf(l)->setMark(l);
  EXPECT_TRUE(vdialogItemListAt(l, 0)->flags & vdialogItemMARKED);
  vdialogItem* late = vdialogItemCreate(vdialogItemGetDefaultClass());
  vdialogItemListAppend(l, late);
  EXPECT_TRUE(late->flags & vdialogItemMARKED);
  EXPECT_EQ(late->owner, l);
  vobjectListRemove(l, late);
  EXPECT_FALSE(late->flags & vdialogItemMARKED);
  vdialogItemListClassOf(l)->clearMark(l);
  EXPECT_FALSE(vdialogItemListAt(l, 1)->flags & vdialogItemMARKED);
  // Opening opens the items and takes the default focus.
  vdialogItemListSetDefaultFocusItem(l, vdialogItemListAt(l, 1));
  vdialogItemListClassOf(l)->open(l);
  EXPECT_EQ(l->focus, 1);
  EXPECT_TRUE(vdialogItemListAt(l, 0)->flags & vdialogItemOPEN);
  vdialogItemListAppend(l, late);
  EXPECT_TRUE(late->flags & vdialogItemOPEN);
  vdialogItemListClassOf(l)->close(l);
  EXPECT_FALSE(late->flags & vdialogItemOPEN);
  EXPECT_FALSE(l->flags & (vdialogItemListOPEN | vdialogItemListCLOSING));
  vinstanceDestroy(l);
}

TEST_F(ItemLists, PressesGoToTheFirstEnabledItemUnderThePointer) {
  vdialogItemList* l = make("ffff");
  const vrect rects[] = {{0, 0, 10, 10}, {10, 0, 10, 10}, {0, 0, 40, 40}, {0, 0, 40, 40}};
  for (int i = 0; i < 4; ++i) vdialogSetItemRect(vdialogItemListAt(l, i), &rects[i]);
  vdialogItemListAt(l, 1)->flags |= vdialogItemCLICK_FOCUS;
  vdialogItemListAt(l, 2)->data = 1;  // handles it
  vdialogItemListAt(l, 3)->data = 1;
  struct Row {
    int x, y;
    const char* pressed;
    int answer;
    int focus;
  } rows[] = {
      {9, 5, "AC", 1, -1},    // the first declines, the big one takes it
      {10, 5, "BC", 1, 1},    // the right edge is outside the first; click focus moves first
      {39, 39, "C", 1, 1},
      {40, 39, "", 0, 1},     // outside everything
  };
  for (const Row& r : rows) {
    presses.clear();
    vevent e{};
    veventSetPosition(&e, r.x, r.y);
    int answer = vdialogItemListClassOf(l)->buttonDown(l, &e);
    std::string got;
    for (const std::string& p : presses) got += p;
    EXPECT_EQ(got, r.pressed) << r.x << "," << r.y;
    EXPECT_EQ(answer, r.answer) << r.x << "," << r.y;
    EXPECT_EQ(l->focus, r.focus) << r.x << "," << r.y;
    EXPECT_EQ(l->pressed, r.answer ? vdialogItemListAt(l, 2) : nullptr);
  }
  vinstanceDestroy(l);
}

TEST_F(ItemLists, SpacingTakesTheLargerWishOnMirroredSides) {
  static std::vector<int> sides;
  auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testSpacingItem"));
  c->spacing = [](vdialogItem* item, vdialogItem*, int side) {
    sides.push_back(side);
    return int(item->data);
  };
  vdialogItem* a = vdialogItemCreate(c);
  vdialogItem* b = vdialogItemCreate(c);
  a->data = 3;
  b->data = 8;
  const int mirror[7] = {0, 2, 1, 3, 4, 6, 5};
  for (int side = 0; side < 7; ++side) {
    sides.clear();
    EXPECT_EQ(vdialogItemListSpacing(a, b, side), 8);
    EXPECT_EQ(sides, (std::vector<int>{side, mirror[side]}));
  }
  EXPECT_EQ(vdialogItemListSpacing(a, nullptr, 1), 3);
  EXPECT_EQ(vdialogItemListSpacing(nullptr, b, 1), 8);
  EXPECT_EQ(vdialogItemListSpacing(nullptr, nullptr, 1), INT_MIN);
  vinstanceDestroy(a);
  vinstanceDestroy(b);
}

TEST_F(ItemLists, StoredIndexesAndTheArranger) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vresource d = vrstoreCreate(root, N("List"), vresDICTIONARY);
  std::string error;
  ASSERT_TRUE(vrtextParse("Class = tag vdialogItemList\n"
                          "Objects = array dictionary [ { Class = tag vdialogItem } { Class = tag vdialogLabelItem } ]\n"
                          "Confirm = integer 1\nAbandon = integer 2\nDefaultFocus = integer -7\n",
                          d, &error))
      << error;
  auto* l = static_cast<vdialogItemList*>(vobjectLoad(d));
  ASSERT_NE(l, nullptr);
  ASSERT_EQ(vdialogItemListCount(l), 2);
  EXPECT_EQ(l->confirm, 1);
  EXPECT_EQ(l->abandon, -1) << "an index past the items reads as none";
  EXPECT_EQ(l->defaultFocus, -1);
  EXPECT_EQ(vdialogItemListAt(l, 1)->owner, l);
  vobjectAttributedOf(l)->store(l, d);
  std::string text = vrtextDump(d);
  EXPECT_NE(text.find("Confirm = integer 1"), std::string::npos) << text;
  EXPECT_EQ(text.find("Abandon"), std::string::npos) << text;

  // Two 10-wide items between three springs along x share the free 10.
  vspringSolution* s = vspringSolutionCreate();
  const int steps[][3] = {{vspringSPRING, 0, -1}, {0, 10, 0}, {vspringFAR_EDGE | vspringSPRING, 0, 0},
                          {0, 10, 1},             {vspringFAR_EDGE | vspringSPRING, 0, 1},
                          {vspringFAR_EDGE | vspringEND_CHAIN, 0, -1}};
  for (const auto& st : steps) vspringSolutionAppendStep(s, st[0], st[1], st[2]);
  heard.clear();
  vdialogItemListClassOf(l)->setSolution(l, s);
  vrect container{0, 0, 30, 50};
  vdialogItemListClassOf(l)->arrange(l, &container);
  const vrect& r0 = vdialogItemListAt(l, 0)->rect;
  const vrect& r1 = vdialogItemListAt(l, 1)->rect;
  EXPECT_EQ(r0.x, 3);
  EXPECT_EQ(r1.x, 16);
  EXPECT_EQ(r1.width, 10);
  // A change of an item's minimum size marks the solution stale.
  s->flags = 0;
  vdialogSetItemTitle(vdialogItemListAt(l, 1), vscribeLiteral("Wider"));
  EXPECT_EQ(s->flags & 0x18, 0x18);
  // The arranger answers no item past the count.
  EXPECT_EQ(vdialogItemListArrangerClass()->itemObject(l, 2), nullptr);
  vinstanceDestroy(l);
  vrstoreCloseFile(root);
}

}  // namespace

namespace {

// An owner whose key and mnemonic maps the test can read.
vdict* ownerKeys = nullptr;
vdict* ownerMnemonics = nullptr;
const vdialogItemOwnerRecord* mapsOwner() {
  static vdialogItemOwnerRecord r = [] {
    vdialogItemOwnerRecord x = vdialogItemListDefaultOwner;
    x.keyMap = [](void*) { return ownerKeys; };
    x.mnemonicMap = [](void*) { return ownerMnemonics; };
    return x;
  }();
  return &r;
}

// Items that record the selectors issued on them; data 1 answers the
// query with "State" "Disabled".
std::vector<std::string> road;
vdialogItemClassRec* roadClass() {
  static vdialogItemClassRec* c = [] {
    auto* r = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testRoadItem"));
    r->issueSelector = [](vobject* self, int selector, vdict* context) -> int {
      road.push_back("issue " + std::to_string(selector));
      return vdialogItemGetDefaultClass()->issueSelector(self, selector, context) || selector == 3;
    };
    r->querySelector = [](vobject* self, int selector, vdict* context) {
      int answer = vdialogItemGetDefaultClass()->querySelector(self, selector, context);
      if (static_cast<vdialogItem*>(self)->data == 1) vdictStore(context, vname_State, vname_Disabled);
      return answer;
    };
    return r;
  }();
  return c;
}

struct Registration : ItemLists {
  void SetUp() override {
    ItemLists::SetUp();
    ownerKeys = vdictCreate(vdictHashPointer);
    ownerMnemonics = vdictCreate(vdictHashPointer);
    road.clear();
  }
  void TearDown() override {
    vdictDestroy(ownerKeys);
    vdictDestroy(ownerMnemonics);
    startDialogItemTests();  // the Windows look again
  }
  static const void* keyOf(std::uintptr_t code) { return reinterpret_cast<const void*>(code); }
};

TEST_F(Registration, MnemonicsEnterTheOwnersMapsWhileOpen) {
  vdialogItemList* l = vdialogItemListCreate();
  static vobject ownerObject{};
  vdialogItemListSetOwner(l, &ownerObject, mapsOwner());
  vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
  vdialogItemListAppend(l, item);
  vdialogSetItemMnemonic(item, 'G');
  const vlaf* look = vlafGetCurrent();
  ASSERT_TRUE(look->flags & vlafMNEMONICS);
  std::uintptr_t g = ((std::uintptr_t('g') << 16) | look->mnemonicModifiers) + 1;
  std::uintptr_t k = ((std::uintptr_t('k') << 16) | look->mnemonicModifiers) + 1;
  EXPECT_EQ(vdictGet(ownerKeys, keyOf(g)), nullptr) << "nothing while closed";
  vdialogItemListClassOf(l)->open(l);
  EXPECT_EQ(vdictGet(ownerKeys, keyOf(g)), vname_Mnemonic);
  EXPECT_EQ(vdictGet(ownerMnemonics, keyOf(g)), item);
  EXPECT_EQ(vdialogGetItemMnemonicItem(item, std::uint32_t(g - 1)), nullptr) << "the item's own map is apart";
  vdialogSetItemMnemonic(item, 'K');
  EXPECT_EQ(vdictGet(ownerKeys, keyOf(g)), nullptr);
  EXPECT_EQ(vdictGet(ownerMnemonics, keyOf(k)), item);
  vdialogItemListClassOf(l)->close(l);
  EXPECT_EQ(vdictGet(ownerKeys, keyOf(k)), nullptr);
  EXPECT_EQ(vdictGet(ownerMnemonics, keyOf(k)), nullptr);

  // A look that draws no mnemonics registers none.
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "openlook");
  _vlafRebuildCurrent();
  ASSERT_FALSE(vlafGetCurrent()->flags & vlafMNEMONICS);
  vdialogItemListClassOf(l)->open(l);
  EXPECT_EQ(vdictGet(ownerMnemonics, keyOf(k)), nullptr);
  vinstanceDestroy(l);
}

TEST_F(Registration, KeysIssueOnlyAllowedCommandsAndNotifyIssuesTheTag) {
  vdialogItemList* l = vdialogItemListCreate();
  vdialogItem* item = vdialogItemCreate(roadClass());
  vdialogItemListAppend(l, item);
  vdialogItemListClassOf(l)->open(l);
  vevent e{};
  veventSetKeyFields(&e, 0x41, 0x41, 'a');
  std::uint32_t key = veventGetKeyValue(&e);
  EXPECT_EQ(vdialogItemClassOf(item)->keyDown(item, &e), 0) << "an unbound key is not handled";
  vdictStore(vdialogGetItemKeyMap(item), keyOf(std::uintptr_t(key) + 1), N("Select"));
  EXPECT_EQ(vdialogItemClassOf(item)->keyDown(item, &e), 1);
  EXPECT_EQ(road, (std::vector<std::string>{"issue 3"}));
  road.clear();
  item->data = 1;
  EXPECT_EQ(vdialogItemClassOf(item)->keyDown(item, &e), 0);
  EXPECT_TRUE(road.empty()) << "a disabled answer stops the key";
  item->data = 0;

  // A key bound to a synthetic command reaches the selector it names: its
  // query asks the operator, so the query must carry one.
  vcommandSynthetic* nudge = static_cast<vcommandSynthetic*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
  vcommandAppendSyntheticEntry(nudge, N("Select"));
  vdict* commands = vdictCreate(vdictHashName);
  vdictStore(commands, N("Nudge"), nudge);
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Command, commands);
  vdialogSetItemSpaceOwned(item, space);
  vdictStore(vdialogGetItemKeyMap(item), keyOf(std::uintptr_t(key) + 1), N("Nudge"));
  EXPECT_EQ(vdialogItemClassOf(item)->keyDown(item, &e), 1);
  EXPECT_EQ(road, (std::vector<std::string>{"issue 3"}));
  road.clear();
  item->data = 1;
  EXPECT_EQ(vdialogItemClassOf(item)->keyDown(item, &e), 0);
  EXPECT_TRUE(road.empty()) << "the synthetic command's query asks the item and hears Disabled";
  item->data = 0;
  vdictStore(vdialogGetItemKeyMap(item), keyOf(std::uintptr_t(key) + 1), N("Select"));

  // The mnemonic selector focuses the item, then selects it.
  vdialogItem* other = vdialogItemCreate(roadClass());
  vdialogItemListAppend(l, other);
  vdict context;
  vdictInit(&context, vdictHashName);
  vdictStore(&context, vname_Event, &e);
  vobjectAttributedOf(other)->issueSelector(other, 27, &context);
  vdictFinish(&context);
  EXPECT_EQ(road, (std::vector<std::string>{"issue 27", "issue 3"}));
  ASSERT_TRUE(vlafGetCurrent()->flags & vlafMNEMONIC_MOVES_FOCUS);
  EXPECT_EQ(vdialogItemListGetFocusItem(l), other);

  // Notify: the global hook, the item's function, then its tag.
  road.clear();
  vdialogSetItemGlobalNotify([](vdialogItem*, vevent*) { road.push_back("hook"); });
  vdialogSetItemNotify(item, [](vdialogItem*, vevent*) { road.push_back("notify"); });
  item->tag = N("Select");
  vdialogNotifyItem(item, &e);
  vdialogSetItemGlobalNotify(nullptr);
  EXPECT_EQ(road, (std::vector<std::string>{"hook", "notify", "issue 3"}));
  vinstanceDestroy(l);
}

}  // namespace
