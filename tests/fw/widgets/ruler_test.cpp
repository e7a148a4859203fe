// Rulers and key capture items: placing, moving, resizing and removing
// ruler items with every notification traced as (code, item); drags of
// bodies, edges and shared boundaries and drags off the ruler; the stored
// form with hidden items; the key item's captured key and stored form.
#include "fw/widgets/controls/ruler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/keyitem.h"
#include "tests/fw/gui/raises.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/support/png_compare.h"

namespace {

using Trace = std::vector<std::pair<int, vrulerItem*>>;

void storeInto(vobject* o, vresource d) { vclassRec<vobjectClassRec>(o)->store(o, d); }
Trace trace;
// Where each item stood in the shown chain when it was told of a move.
std::vector<std::int32_t> indexAtWillMove;

vevent* press(int x, int y, int clicks = 1) { return veventCreateButtonDown(nullptr, x, y, 0, 1, clicks, 1); }

struct Rulers : ::testing::Test {
  vruler* r = nullptr;
  void SetUp() override {
    startDialogItemTests();
    r = vrulerCreate();
    vrect rect{0, 0, 400, 24};
    vdialogSetItemRect(r, &rect);
    r->spacing = 5;
    vrulerSetNotify(r, [](vruler*, vevent*, vrulerItem* i, int code) {
      trace.push_back({code, i});
      if (code == vrulerWILL_MOVE && i && i->ruler) indexAtWillMove.push_back(vrulerGetItemIndex(i));
    });
    trace.clear();
    indexAtWillMove.clear();
  }
  void TearDown() override { vinstanceDestroy(r); }
  // Items of the given widths laid out from the spacing on.
  std::vector<vrulerItem*> row(std::initializer_list<int> widths) {
    std::vector<vrulerItem*> out;
    for (int w : widths) {
      vrulerItem* i = vrulerAddItem(r);
      vrulerItemSetWidth(i, w);
      out.push_back(i);
    }
    vrulerPackItems(r);
    trace.clear();
    return out;
  }
  std::vector<int> xs() {
    std::vector<int> out;
    for (vrulerItem* i = r->shown; i; i = i->next) out.push_back(i->rect.x);
    return out;
  }
};

TEST_F(Rulers, AppendingPlacesAfterTheLastOrInAGap) {
  vrulerItem* first = vrulerAddItem(r);
  EXPECT_EQ(first->rect.x, 5) << "the spacing alone on an empty ruler";
  EXPECT_EQ(trace, (Trace{{vrulerAPPENDED, first}}));
  EXPECT_EQ(first->rect.height, 24 - 2 - 4) << "the ruler's height less margins and the border inset";
  vinstanceDestroy(r);
  r = vrulerCreate();
  r->spacing = 5;
  std::vector<vrulerItem*> items = row({60, 60, 65});
  EXPECT_EQ(xs(), (std::vector<int>{5, 70, 135}));
  EXPECT_EQ(vrulerAddItem(r)->rect.x, 205) << "after the last end, 200, and the spacing";

  // A new item wholly inside the gap left by a removed one keeps its x.
  vrulerRemoveItem(r, items[1]);
  vrulerItem* inGap = vrulerItemCreate();
  inGap->rect.x = 72;
  vrulerItemSetWidth(inGap, 40);
  vrulerAppendItem(r, inGap);
  EXPECT_EQ(xs(), (std::vector<int>{5, 72, 135, 205}));
  EXPECT_EQ(vrulerGetItemAt(r, 1), inGap);
  EXPECT_EQ(r->count, 4);

  // Only the gap before the first item is wide enough: it goes to the front.
  vinstanceDestroy(r);
  r = vrulerCreate();
  r->spacing = 5;
  vrulerItem* far = vrulerItemCreate();
  far->rect.x = 100;
  vrulerAppendItem(r, far);
  vrulerItem* late = vrulerItemCreate();
  late->rect.x = 150;  // overlaps far, so it does not keep its x
  vrulerItemSetWidth(late, 50);
  vrulerAppendItem(r, late);
  EXPECT_EQ(late->rect.x, 5);
  EXPECT_EQ(r->shown, late) << "the chain stays ordered by x";
  EXPECT_EQ(xs(), (std::vector<int>{5, 100}));
}

TEST_F(Rulers, WidthsPushFollowersAndPositionsFindTheirPlace) {
  std::vector<vrulerItem*> items = row({60, 60, 60});  // 5, 70, 135
  vrulerItemSetWidth(items[0], 10);
  EXPECT_TRUE(trace.empty()) << "below the minimum of 20: ignored";
  EXPECT_EQ(items[0]->rect.width, 60);

  vrulerItemSetWidth(items[0], 80);  // reaches 85 + 5 = 90: both followers move by 20
  EXPECT_EQ(trace, (Trace{{8, items[0]}, {9, items[0]}, {6, items[1]}, {7, items[1]}, {6, items[2]}, {7, items[2]}}));
  EXPECT_EQ(xs(), (std::vector<int>{5, 90, 155}));
  trace.clear();
  vrulerItemSetWidth(items[0], 30);
  EXPECT_EQ(trace, (Trace{{8, items[0]}, {9, items[0]}}));
  EXPECT_EQ(xs(), (std::vector<int>{5, 90, 155})) << "a narrower item never pulls them back";

  // A position inside another item goes after its end and the spacing; the
  // client sees the chain intact when told of the move.
  trace.clear();
  indexAtWillMove.clear();
  EXPECT_EQ(vrulerItemSetPosition(items[0], 100), 1);
  EXPECT_EQ(items[0]->rect.x, 155);
  EXPECT_EQ(indexAtWillMove.front(), 0);
  EXPECT_EQ(vrulerGetItemIndex(items[0]), 1);
  // It now reaches into the third item: that one is pushed right by the overlap.
  EXPECT_EQ(xs(), (std::vector<int>{90, 155, 190}));
  EXPECT_EQ(vrulerItemSetPosition(items[2], 190), 1) << "unchanged";

  // Refusals: a reorder on a ruler that is not arrangable, x <= 0 before the first.
  r->arrangable = 0;
  trace.clear();
  EXPECT_EQ(vrulerItemSetPosition(items[2], 40), 0);
  EXPECT_EQ(vrulerItemSetPosition(items[2], -5), 0);
  EXPECT_TRUE(trace.empty());
  r->arrangable = 1;
  EXPECT_EQ(vrulerItemSetPosition(items[2], 40), 1) << "a positive x before the first: the front";
  EXPECT_EQ(r->shown, items[2]);

  // A lay-out in place says nothing; a changed one tells each mover.
  vrulerPackItems(r);
  trace.clear();
  vrulerPackItems(r);
  EXPECT_TRUE(trace.empty());
  // Two lay-outs asked for during a drag run once at its end.
  r->packState = 1;
  vrulerItemSetWidth(items[1], 100);
  trace.clear();
  vrulerPackItems(r);
  vrulerPackItems(r);
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(r->packState, 2);
}

// Widths and positions beyond the 16-bit fields saturate at their ends
// instead of wrapping: on a ruler, off one, and when loaded.
TEST_F(Rulers, OutOfRangeWidthsAndPositionsSaturate) {
  struct Case {
    std::int32_t value;
    std::int16_t width, x;
  } const cases[] = {
      {INT32_MAX, INT16_MAX, INT16_MAX},
      {40000, INT16_MAX, INT16_MAX},
      {INT16_MAX + 1, INT16_MAX, INT16_MAX},
      {INT16_MAX, INT16_MAX, INT16_MAX},
      {300, 300, 300},
  };
  for (const Case& c : cases) {
    vrulerItem* loose = vrulerItemCreate();
    vrulerItemSetWidth(loose, c.value);
    EXPECT_EQ(loose->rect.width, c.width) << c.value;
    EXPECT_EQ(vrulerItemSetPosition(loose, c.value), 1);
    EXPECT_EQ(loose->rect.x, c.x) << c.value;
    EXPECT_EQ(vrulerItemSetPosition(loose, -c.value - 1), 1);
    EXPECT_LT(loose->rect.x, 0) << "a far-left position stays left: " << c.value;
    vinstanceDestroy(loose);
  }
  std::vector<vrulerItem*> items = row({60, 60});  // 5, 70
  vrulerItemSetWidth(items[0], INT32_MAX);
  EXPECT_EQ(items[0]->rect.width, INT16_MAX);
  EXPECT_EQ(xs(), (std::vector<int>{5, INT16_MAX})) << "the pushed follower saturates too";
  trace.clear();
  vrulerItemSetWidth(items[0], 1 << 20);
  EXPECT_TRUE(trace.empty()) << "the same saturated width is no change";
  EXPECT_EQ(vrulerItemSetPosition(items[1], INT32_MAX), 1);
  EXPECT_EQ(items[1]->rect.x, INT16_MAX);

  vresource root = vresourceCreateMemoryIn(0);
  vresource d = vresourceCreate(root, vnameInternLiteral("I"), vresDICTIONARY);
  vrulerItem* source = vrulerItemCreate();
  vclassRec<vobjectClassRec>(source)->store(source, d);
  vresource metrics = vresourceGet(d, vnameInternLiteral("Metrics"));
  vresourceSetAtInteger(metrics, 0, -100000);
  vresourceSetAtInteger(metrics, 1, 70000);
  auto* loaded = static_cast<vrulerItem*>(vobjectLoad(d));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->rect.x, INT16_MIN);
  EXPECT_EQ(loaded->rect.width, INT16_MAX);
  vinstanceDestroy(loaded);
  vinstanceDestroy(source);
  vresourceCloseFile(root);
}

TEST_F(Rulers, RemovingHidingHilitingAndFinding) {
  std::vector<vrulerItem*> items = row({40, 40, 40, 40});
  items[0]->tag = vnameInternLiteral("first");
  items[3]->tag = vnameInternLiteral("last");
  vrulerSetItemHilite(items[1], 1);
  vrulerSetItemHilite(items[2], 1);
  EXPECT_FALSE(items[1]->flags & vrulerItemHILITED) << "one hilite at a time";
  EXPECT_EQ(r->hilite, items[2]);

  // The hilited item leaves: the ruler forgets it, the item keeps its flag.
  vrulerItem* kept = items[2];
  kept->flags &= ~vrulerItemOWNED;
  vrulerRemoveItem(r, kept);
  EXPECT_EQ(trace, (Trace{{4, kept}, {5, kept}}));
  EXPECT_EQ(r->hilite, nullptr);
  EXPECT_TRUE(kept->flags & vrulerItemHILITED);
  EXPECT_EQ(kept->ruler, nullptr);
  EXPECT_EQ(r->count, 3);
  EXPECT_TRUE(raised([&] { vrulerGetItemIndex(kept); }) == &vrulerItemNotOwnedClass);
  EXPECT_TRUE(raisesArg([&] { vrulerSetItemHilite(kept, 1); }));
  vinstanceDestroy(kept);

  // A fixed item stays, and is not hidden either.
  items[0]->flags &= ~vrulerItemMOVABLE;
  trace.clear();
  vrulerRemoveItem(r, items[0]);
  vrulerHideItem(items[0]);
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(r->count, 3);

  // Hiding: told once, no removal notices, kept in the hidden chain and found there.
  vrulerHideItem(items[3]);
  EXPECT_EQ(trace, (Trace{{vrulerWILL_HIDE, items[3]}}));
  EXPECT_EQ(r->hidden, items[3]);
  EXPECT_TRUE(items[3]->flags & vrulerItemHIDDEN);
  EXPECT_EQ(items[3]->ruler, r);
  EXPECT_EQ(r->count, 2);
  EXPECT_EQ(vrulerFindItem(r, vnameInternLiteral("last")), items[3]);
  EXPECT_EQ(vrulerFindItem(r, vnameInternLiteral("first")), items[0]);
  EXPECT_EQ(vrulerGetItemIndex(items[3]), -1);
  EXPECT_EQ(vrulerGetItemAt(r, 1), items[1]);
  EXPECT_EQ(vrulerGetItemAt(r, 2), nullptr);
  // A hidden item takes widths and positions quietly.
  trace.clear();
  vrulerItemSetWidth(items[3], 70);
  EXPECT_EQ(vrulerItemSetPosition(items[3], 300), 1);
  EXPECT_TRUE(trace.empty());

  // Scrolling is announced before and after.
  vrulerSetScroll(r, 30);
  EXPECT_EQ(trace, (Trace{{10, nullptr}, {11, nullptr}}));
  EXPECT_EQ(r->scroll, 30);
}

TEST_F(Rulers, DraggingMovesResizesTradesAndDropsOff) {
  std::vector<vrulerItem*> items = row({60, 60, 60});  // 5, 70, 135; y 1..21
  for (vrulerItem* i : items) i->flags |= vrulerItemRESIZABLE;
  auto dragTo = [&](vevent* down, int x, int y) {
    int took = vdialogItemClassOf(r)->buttonDown(r, down);
    veventDestroy(down);
    vevent* m = veventCreateMotion(nullptr, x, y, 0, 1, 1);
    vdialogItemClassOf(r)->motion(r, m);
    veventDestroy(m);
    vevent* up = veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 1);
    vdialogItemClassOf(r)->buttonUp(r, up);
    veventDestroy(up);
    return took;
  };
  // Within 4 pixels of the right edge of a resizable item: a resize.
  EXPECT_EQ(dragTo(press(63, 10), 73, 10), 1);
  EXPECT_EQ(items[0]->rect.width, 70);
  EXPECT_EQ(xs(), (std::vector<int>{5, 80, 145})) << "the followers pushed";
  // The left edge: the position and the width together.
  dragTo(press(82, 10), 92, 10);
  EXPECT_EQ(items[1]->rect.x, 90);
  EXPECT_EQ(items[1]->rect.width, 50);
  // A press on the body is announced and moves the item.
  trace.clear();
  dragTo(press(170, 10), 190, 10);
  EXPECT_EQ(trace.front(), (std::pair<int, vrulerItem*>{vrulerPRESS, items[2]}));
  EXPECT_EQ(items[2]->rect.x, 165);
  // The same edge press on an item that is not resizable moves it instead.
  items[2]->flags &= ~vrulerItemRESIZABLE;
  dragTo(press(223, 10), 233, 10);
  EXPECT_EQ(items[2]->rect.width, 60);
  EXPECT_EQ(items[2]->rect.x, 175);

  // A sticky boundary trades width between two neighbours.
  r->sticky = 1;
  items[2]->flags |= vrulerItemRESIZABLE;
  vrulerPackItems(r);  // 5(70), 80(50), 135(60)
  const int sum = items[1]->rect.width + items[2]->rect.width;
  dragTo(press(132, 10), 142, 10);
  EXPECT_EQ(items[1]->rect.width, 60);
  EXPECT_EQ(items[2]->rect.x, 145);
  EXPECT_EQ(items[1]->rect.width + items[2]->rect.width, sum);
  // Past a limit the outline stays where it last fitted.
  items[2]->minWidth = 45;
  dragTo(press(142, 10), 162, 10);
  EXPECT_EQ(items[2]->rect.width, 50);
  EXPECT_EQ(items[1]->rect.width + items[2]->rect.width, sum);

  // Off the ruler: removed (destroyed, as the ruler owns it), or hidden.
  r->sticky = 0;
  trace.clear();
  dragTo(press(30, 10), 30, 60);
  EXPECT_EQ(trace.back().first, vrulerREMOVED);
  EXPECT_EQ(r->count, 2);
  r->dragOff = 1;
  vrulerItem* second = r->shown;
  dragTo(press(second->rect.x + 20, 10), 30, 60);
  EXPECT_EQ(r->hidden, second);
  vrulerItem* fixed = r->shown;
  fixed->flags &= ~vrulerItemMOVABLE;
  dragTo(press(fixed->rect.x + 20, 10), 30, 60);
  EXPECT_EQ(r->shown, fixed) << "a fixed item stays";

  // A double click on empty space packs; on an item it hilites it.
  fixed->rect.x = 50;
  trace.clear();
  EXPECT_EQ(dragTo(press(390, 10, 2), 390, 10), 0);
  EXPECT_EQ(fixed->rect.x, 5);
  EXPECT_EQ(dragTo(press(20, 10, 2), 20, 10), 1);
  EXPECT_EQ(r->hilite, fixed);
  EXPECT_NE(std::find(trace.begin(), trace.end(), std::pair<int, vrulerItem*>{vrulerDOUBLE_CLICK, fixed}), trace.end());
}

TEST_F(Rulers, SizesAndADragWhoseItemGoes) {
  vruler* fresh = vrulerCreate();
  EXPECT_EQ(fresh->rect.width, 300);
  EXPECT_EQ(fresh->rect.height, 20);
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(fresh, &w, &h);
  vfont* font = vdialogDetermineItemFont(fresh);
  const int fontHeight = int((vfontGetDriver()->ascent(font) + vfontGetDriver()->descent(font) + 0x8000) >> 16);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, fontHeight + 2 * 2 + 7) << "the border inset counts with Border";
  vdialogSetItemBorder(fresh, 0);
  vdialogGetItemNaturalSize(fresh, &w, &h);
  EXPECT_EQ(h, fontHeight + 7);
  vinstanceDestroy(fresh);
  std::vector<vrulerItem*> items = row({60, 80});
  vdialogGetItemMinSize(r, &w, &h);
  EXPECT_EQ(w, 150 + 6) << "the largest right edge and 6";

  // The dragged item removed meanwhile: the release finds no drag left.
  vevent* down = press(90, 10);
  EXPECT_EQ(vdialogItemClassOf(r)->buttonDown(r, down), 1);
  veventDestroy(down);
  vrulerRemoveItem(r, items[1]);
  vevent* up = veventCreateButtonUp(nullptr, 120, 10, 0, 0, 1, 1);
  EXPECT_EQ(vdialogItemClassOf(r)->buttonUp(r, up), 0) << "no drag of this ruler any more";
  veventDestroy(up);
  EXPECT_EQ(xs(), (std::vector<int>{5}));
}

struct Stored : Rulers {
  vresource root = 0;
  void SetUp() override {
    Rulers::SetUp();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override {
    vresourceCloseFile(root);
    Rulers::TearDown();
  }
};

TEST_F(Stored, RoundTripWithHiddenItemsAndFailedLoads) {
  std::vector<vrulerItem*> items = row({40, 50, 60});
  vrulerSetItemTitle(items[0], vscribeLiteral("Name"));
  vrulerSetItemTitle(items[1], vscribeCString("Size"));
  items[1]->minWidth = 30;
  items[1]->maxWidth = 90;
  vrulerSetItemHilite(items[1], 1);
  vrulerHideItem(items[2]);
  r->sticky = 1;
  r->dragOff = 1;
  vresource d = vresourceCreate(root, vnameInternLiteral("R"), vresDICTIONARY);
  storeInto(r, d);
  EXPECT_EQ(vresourceGetInteger(d, vnameInternLiteral("ItemCount")), 3);
  auto* back = static_cast<vruler*>(vobjectLoad(d));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->count, 2);
  EXPECT_EQ(back->sticky, 1);
  EXPECT_EQ(back->dragOff, 1);
  ASSERT_NE(back->hidden, nullptr);
  EXPECT_EQ(back->hidden->rect.width, 60);
  EXPECT_EQ(back->hidden->ruler, back);
  vrulerItem* size = vrulerGetItemAt(back, 1);
  EXPECT_STREQ(size->title, "Size");
  EXPECT_EQ(size->minWidth, 30);
  EXPECT_EQ(size->maxWidth, 90);
  EXPECT_EQ(back->hilite, size);
  EXPECT_TRUE(size->flags & vrulerItemOWNED);
  EXPECT_EQ(size->rect.x, items[1]->rect.x);
  // A copy of the loaded ruler: clones, hidden ones too; copying onto itself changes nothing.
  vruler* copy = static_cast<vruler*>(vobjectClone(back));
  EXPECT_EQ(copy->count, 2);
  EXPECT_NE(copy->hidden, back->hidden);
  EXPECT_EQ(copy->hidden->ruler, copy);
  EXPECT_EQ(copy->hilite, vrulerGetItemAt(copy, 1));
  vclassRec<vobjectClassRec>(copy)->copy(copy, copy);
  EXPECT_EQ(copy->count, 2);
  EXPECT_TRUE(raisesArg([&] { vclassRec<vobjectClassRec>(copy)->copy(copy, nullptr); }));
  vinstanceDestroy(copy);
  vinstanceDestroy(back);

  // No items: "ItemCount" 0 and no "Items".
  vruler* empty = vrulerCreate();
  storeInto(empty, d);
  vresource entry;
  EXPECT_EQ(vresourceGetInteger(d, vnameInternLiteral("ItemCount")), 0);
  EXPECT_FALSE(vresourceTestGet(d, vnameInternLiteral("Items"), &entry));
  vinstanceDestroy(empty);

  // An "Items" array shorter than "ItemCount" raises Arg and leaks nothing.
  storeInto(r, d);
  vresourceSetInteger(d, vnameInternLiteral("ItemCount"), 5);
  vruler* target = vrulerCreate();
  EXPECT_TRUE(raisesArg([&] { vclassRec<vobjectClassRec>(target)->loadInit(target, d); }));
  EXPECT_EQ(target->shown, nullptr);
  EXPECT_EQ(target->hidden, nullptr);
  vinstanceDestroy(target);
}

TEST(KeyItems, CaptureTheKeyPressedAndStoreIt) {
  startDialogItemTests();
  vkeyitem* k = vkeyitemCreate();
  EXPECT_EQ(k->key, 0u);
  EXPECT_TRUE(k->flags & vdialogItemFOCUSABLE);
  EXPECT_TRUE(k->flags & vdialogItemCLICK_FOCUS);
  static vevent* seen = nullptr;
  vdialogSetItemNotify(k, [](vdialogItem*, vevent* e) { seen = e; });
  // Ctrl+S: the symbol in the high half, modifier 2 in the low.
  vevent* e = veventCreateKeyDown(nullptr, 0, 0, 'S', veventMOD_CONTROL, 's', 0x13);
  EXPECT_EQ(vdialogItemClassOf(k)->keyDown(k, e), 1);
  EXPECT_EQ(k->key, veventGetKeyValue(e));
  EXPECT_EQ(k->key & 0xFFFF, veventMOD_CONTROL);
  EXPECT_EQ(k->key >> 16, std::uint32_t('s'));
  EXPECT_EQ(seen, e);
  veventDestroy(e);
  int w = 0, h = 0, mw = 0, mh = 0;
  vdialogGetItemNaturalSize(k, &w, &h);
  vdialogGetItemMinSize(k, &mw, &mh);
  vfont* font = vdialogDetermineItemFont(k);
  EXPECT_EQ(w, 6 * int((vfontGetCharWidth(font) + 0x8000) >> 16));
  EXPECT_EQ(h, int((vfontGetHeight(font) + 0x8000) >> 16) + 8);
  EXPECT_EQ(mw, w);
  EXPECT_EQ(mh, h);

  vresource root = vresourceCreateMemoryIn(0);
  vresource d = vresourceCreate(root, vnameInternLiteral("K"), vresDICTIONARY);
  storeInto(k, d);
  auto* back = static_cast<vkeyitem*>(vobjectLoad(d));
  EXPECT_EQ(back->key, k->key);
  vkeyitem* copy = static_cast<vkeyitem*>(vobjectClone(back));
  EXPECT_EQ(copy->key, k->key);
  EXPECT_TRUE(raisesArg([&] { vclassRec<vobjectClassRec>(copy)->copy(copy, nullptr); }));
  vinstanceDestroy(copy);
  vinstanceDestroy(back);
  vresourceCloseFile(root);
  vinstanceDestroy(k);
}

// ---- Each look in its own process, through the headless back-end.

std::string probe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(RULER_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

class RulerLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(RulerLooks, DrawAsStored) {
  std::string laf = GetParam();
  std::string png = (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_rulers_" + laf + ".png")).string();
  ASSERT_EQ(probe("-laf " + laf + " shots " + png), "");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/ruler/rulers_" + laf + ".png"));
}
INSTANTIATE_TEST_SUITE_P(EveryLook, RulerLooks, ::testing::Values("windows", "motif", "openlook", "cua", "win95"));

TEST(RulerInput, InjectedDragsAndKeysThroughTheWindowProcedure) {
  EXPECT_EQ(probe("-laf motif input"),
            "laid out: A@5+60 B@70+60 C@135+60 (0 hidden)\n"
            "B widened: A@5+60 B@70+80 C@155+60 (0 hidden)\n"
            "A moved after B: B@70+80 A@155+60 C@220+60 (0 hidden)\n"
            "C dragged off: B@70+80 A@155+60 (0 hidden)\n"
            "scrolled 25: ink 81 to 56, 2 notices\n"
            "key item: symbol 115 modifiers 2 notified yes with 7536642\n");
}

}  // namespace
