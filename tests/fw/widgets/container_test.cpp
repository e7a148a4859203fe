// Containers, groups and exclusive groups: the stored flags, scroll
// clamping, the grid layout with and without spread, exclusive selection
// and its announcements, the focus entering a container by each rule, and
// arrow keys in a group of a live dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look/laf.h"
#include "platform/win/test.h"

namespace {

void useLook(const char* laf) {
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
  _vlafRebuildCurrent();
}

// Items and controls whose minimum size is their rectangle's.
void rectSize(vdialogItem* i, int* w, int* h) {
  *w = i->rect.width;
  *h = i->rect.height;
}
vdialogItemClassRec* sizedItemClass() {
  static vdialogItemClassRec* c = [] {
    auto* k = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    k->minSize = k->naturalSize = rectSize;
    vclassSetName(k, vscribeLiteral("testSizedItem"));
    return k;
  }();
  return c;
}
vcontrolClassRec* sizedControlClass() {
  static vcontrolClassRec* c = [] {
    auto* k = vclassSpawnOf<vcontrolClassRec>(vcontrolGetDefaultClass());
    k->minSize = k->naturalSize = rectSize;
    vclassSetName(k, vscribeLiteral("testSizedControl"));
    return k;
  }();
  return c;
}

// An exclusive group that writes down its own announcements.
std::vector<std::string> heard;
vcontainerClassRec* listeningExclusiveClass() {
  static vcontainerClassRec* c = [] {
    auto* k = vclassSpawnOf<vcontainerClassRec>(vcontainerExclusiveGroupGetDefaultClass());
    k->send = [](vobject* o, vname name, vdict* args) {
      if (name == vname_Selection) {
        auto tagOf = [&](vname key) {
          auto* i = static_cast<vobject*>(vdictGet(args, key));
          return std::string(i && i->tag ? i->tag : "none");
        };
        heard.push_back("Selection " + tagOf(vname_OldValue) + " -> " + tagOf(vname_Value));
      }
      vcontainerExclusiveGroupGetDefaultClass()->send(o, name, args);
    };
    vclassSetName(k, vscribeLiteral("testListeningExclusive"));
    return k;
  }();
  return c;
}

struct Containers : ::testing::Test {
  std::vector<vinstance*> made;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    heard.clear();
  }
  void TearDown() override {
    for (vinstance* o : made) vinstanceDestroy(o);
    useLook("windows");
  }
  vcontainer* make(vcontainerClassRec* cls, vrect content) {
    vcontainer* c = vcontainerCreate(cls);
    made.push_back(c);
    vdialogSetItemBorder(c, 0);  // the content is then the whole rectangle
    vdialogSetItemRect(c, &content);
    return c;
  }
  template <typename Item>
  Item* child(vcontainer* c, const char* tag, vclass* cls, int w = 40, int h = 20) {
    auto* i = static_cast<Item*>(vinstanceCreate(cls));
    i->tag = N(tag);
    vrect r{0, 0, std::int16_t(w), std::int16_t(h)};
    vdialogSetItemRect(i, &r);
    vcontainerAppendItem(c, i);
    return i;
  }
  static std::vector<vrect> rects(vcontainer* c) {
    std::vector<vrect> out;
    for (int i = 0; i < vdialogItemListCount(c->items); ++i) out.push_back(vdialogItemListAt(c->items, i)->rect);
    return out;
  }
};

std::string str(const std::vector<vrect>& rs) {
  std::string s;
  for (const vrect& r : rs)
    s += "(" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height) + ")";
  return s;
}

TEST_F(Containers, StoredFlagsAndTheScrollPositionKeptInsideTheContent) {
  vresource file = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    All = dictionary { Class = tag vcontainer Flags = integer 3 Rect = array integer [ 0 0 200 100 ]
                       vcontainerFlags = integer 0xFFFF }
    Narrow = dictionary { Class = tag vcontainer Flags = integer 3 Rect = array integer [ 10 10 200 100 ]
                          vcontainerFlags = integer 4 Bounds = array integer [ -50 0 120 40 ] }
  )", file, &error)) << error;
  auto* all = static_cast<vcontainer*>(vobjectLoad(vresourceGet(file, N("All"))));
  made.push_back(all);
  EXPECT_EQ(all->containerFlags, 0x003D);
  vresource out = vresourceCreate(file, N("Again"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(all)->store(all, out);
  EXPECT_EQ(vresourceGetInteger(out, N("vcontainerFlags")), 0x000D) << "only Flat, ScrollX and ScrollY are stored";

  // Narrower contents than the view sit at the content's x; the height
  // follows the content without ScrollY.
  auto* narrow = static_cast<vcontainer*>(vobjectLoad(vresourceGet(file, N("Narrow"))));
  made.push_back(narrow);
  EXPECT_EQ(narrow->bounds.x, narrow->content.x);
  EXPECT_EQ(narrow->bounds.width, 120);
  EXPECT_EQ(narrow->bounds.y, narrow->content.y);
  EXPECT_EQ(narrow->bounds.height, narrow->content.height);

  // Wider contents: the origin stays between the two ends.
  struct Case {
    int x, expected;  // expected relative to the content's x
  } cases[] = {{+30, 0}, {-100, -100}, {-500, narrow->content.width - 400}};
  for (const Case& k : cases) {
    vrect b{std::int16_t(narrow->content.x + k.x), 0, 400, 40};
    vcontainerSetBounds(narrow, &b);
    EXPECT_EQ(narrow->bounds.x - narrow->content.x, k.expected) << k.x;
  }
  vresourceCloseFile(file);

  vcontainer* self = make(vcontainerGetDefaultClass(), {0, 0, 50, 50});
  vclassRec<vobjectClassRec>(self)->copy(self, self);  // onto itself: nothing
  EXPECT_EQ(self->rect.width, 50);
}

TEST_F(Containers, GridsSpreadInGroupsAndPackInOpenLookExclusiveGroups) {
  vcontainer* group = make(vcontainerGroupGetDefaultClass(), {0, 0, 150, 70});
  for (const char* t : {"1", "2", "3", "4", "5"}) child<vdialogItem>(group, t, sizedItemClass());
  vrect all{0, 0, 150, 70};
  vcontainerArrange(group, &all);
  // Three columns of 40 in 150: gaps of 7; two rows of 20 in 70: gaps of 10.
  EXPECT_EQ(str(rects(group)), "(7,40,40,20)(54,40,40,20)(101,40,40,20)(7,10,40,20)(54,10,40,20)");
  int w = 0, h = 0;
  vcontainerClassOf(group)->naturalSizeOfItems(group, &w, &h);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 30);

  useLook("openlook");
  vcontainer* exclusive = make(vcontainerExclusiveGroupGetDefaultClass(), {0, 0, 150, 70});
  for (const char* t : {"1", "2", "3", "4", "5"}) child<vcontrol>(exclusive, t, sizedControlClass());
  vcontainerArrange(exclusive, &all);
  // Packed and centred: 120 x 40 in 150 x 70.
  EXPECT_EQ(str(rects(exclusive)), "(15,35,40,20)(55,35,40,20)(95,35,40,20)(15,15,40,20)(55,15,40,20)");
  useLook("windows");
  vcontainerArrange(exclusive, &all);
  EXPECT_EQ(str(rects(exclusive)), str(rects(group))) << "spread again outside Open Look";
}

// Columns that would fill the group edge to edge are one too many: a spread
// grid keeps its outer cells a gap away from the group's sides, as the
// Windows look's radio groups need (their circles would sit on the frame).
TEST_F(Containers, ASpreadGridKeepsItsCellsOffTheGroupsSides) {
  for (int width : {128, 130, 150}) {
    vcontainer* group = make(vcontainerGroupGetDefaultClass(), {0, 0, std::int16_t(width), 70});
    for (const char* t : {"1", "2", "3", "4", "5"}) child<vdialogItem>(group, t, sizedItemClass());
    vrect all{0, 0, std::int16_t(width), 70};
    vcontainerArrange(group, &all);
    for (const vrect& r : rects(group)) {
      EXPECT_GE(r.x, 4) << width << ": " << str(rects(group));
      EXPECT_LE(r.x + r.width, width - 4) << width << ": " << str(rects(group));
    }
  }
}

TEST_F(Containers, ExclusiveGroupsHoldControlsWithOneSwitchedOn) {
  vcontainer* g = make(listeningExclusiveClass(), {0, 0, 200, 40});
  auto* a = child<vcontrol>(g, "a", sizedControlClass());
  vcontrol* b = vcontrolCreate(sizedControlClass());
  b->tag = N("b");
  vcontrolSetMax(b, 5);
  vcontrolSetValue(b, 1);
  vcontainerAppendItem(g, b);
  EXPECT_EQ(b->value, 0) << "appended controls are switched off";
  vcontainerSetSelection(g, a);
  vcontainerSetSelection(g, b);
  EXPECT_EQ(a->value, 0);
  EXPECT_EQ(b->value, 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"Selection none -> a", "Selection a -> b"}));

  // A child's notification selects it and speaks for the group.
  static int groupNotified = 0;
  vdialogSetItemNotify(g, [](vdialogItem*, vevent*) { ++groupNotified; });
  vdialogNotifyItem(a, nullptr);
  EXPECT_EQ(g->selection, a);
  EXPECT_EQ(a->value, 1);
  EXPECT_EQ(b->value, 0);
  EXPECT_EQ(groupNotified, 1);

  // Anything but a control is refused, with the message.
  vdialogItem* label = vdialogItemCreate(vdialogLabelItemGetDefaultClass());
  std::string message;
  vexGuard([&] { vcontainerAppendItem(g, label); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "must add controls to exclusive groups");
  EXPECT_EQ(vdialogItemListCount(g->items), 2);
  vinstanceDestroy(label);

  // Loaded: the last control that is on is the selection, whatever else
  // the resource holds.
  vresource file = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    G = dictionary { Class = tag vcontainerExclusiveGroup Flags = integer 3
      ItemList = dictionary { Class = tag vdialogItemList Objects = array dictionary [
        { Class = tag vcontrol Tag = tag x Flags = integer 3 Values = array integer [ 1 0 1 0 1 1 ] }
        { Class = tag vdialogLabelItem Flags = integer 3 }
        { Class = tag vcontrol Tag = tag y Flags = integer 3 Values = array integer [ 1 0 1 0 1 1 ] }
        { Class = tag vcontrol Tag = tag z Flags = integer 3 }
      ] } }
  )", file, &error)) << error;
  auto* loaded = static_cast<vcontainer*>(vobjectLoad(vresourceGet(file, N("G"))));
  made.push_back(loaded);
  ASSERT_NE(loaded->selection, nullptr);
  EXPECT_STREQ(loaded->selection->tag, "y");
  vresourceCloseFile(file);
}

TEST_F(Containers, TheFocusEntersByTheRuleOfItsKind) {
  // An outer list that moves its focus through three containers of three.
  vdialogItemList* outer = vdialogItemListCreate();
  made.push_back(outer);
  auto fill = [&](vcontainerClassRec* cls, const char* prefix, bool controls) {
    vcontainer* c = vcontainerCreate(cls);
    for (int i = 0; i < 3; ++i) {
      std::string tag = std::string(prefix) + std::to_string(i);
      vdialogItem* item = controls ? static_cast<vdialogItem*>(vcontrolCreate(sizedControlClass()))
                                   : vdialogItemCreate(sizedItemClass());
      item->tag = vnameIntern(vscribeCString(tag.c_str()));
      item->flags |= vdialogItemFOCUSABLE;
      vcontainerAppendItem(c, item);
    }
    vdialogItemListAppend(outer, c);
    return c;
  };
  vcontainer* plain = fill(vcontainerGetDefaultClass(), "p", false);
  vcontainer* flat = fill(vcontainerGetDefaultClass(), "f", false);
  vcontainerSetFlat(flat, 1);
  vcontainer* radio = fill(vcontainerExclusiveGroupGetDefaultClass(), "r", true);
  vdialogItemListClassOf(outer)->activateFocus(outer);
  auto innerFocus = [](vcontainer* c) {
    vdialogItem* f = vdialogItemListGetFocusItem(c->items);
    return std::string(f ? f->tag : "none");
  };

  // Forward into the plain container: its first item; back out and in
  // again from behind: where it was (p - n from the end).
  vdialogItemListMoveFocus(outer, 1, 0);
  EXPECT_EQ(innerFocus(plain), "p0");
  vcontainerSetFocusItem(plain, vdialogItemListAt(plain->items, 1));
  vdialogItemListMoveFocus(outer, 1, 0);
  EXPECT_EQ(innerFocus(flat), "f0") << "a flat container steps +1 from nothing";
  vdialogItemListMoveFocus(outer, -1, 0);
  EXPECT_EQ(innerFocus(plain), "p1") << "the plain one comes back where it was";
  vdialogItemListMoveFocus(outer, 1, 0);
  vdialogItemListMoveFocus(outer, 1, 0);
  EXPECT_EQ(innerFocus(radio), "r0");
  vdialogItemListMoveFocus(outer, -1, 0);
  EXPECT_EQ(innerFocus(flat), "f2") << "entered from behind: -1 from nothing";

  // In Win95 an exclusive group's selection takes the focus.
  useLook("win95");
  vcontainerSetSelection(radio, vdialogItemListAt(radio->items, 2));
  vdialogItemListMoveFocus(outer, 1, 0);
  EXPECT_EQ(innerFocus(radio), "r2");
  EXPECT_TRUE(radio->items->flags & vdialogItemListFOCUS_ACTIVE);
  EXPECT_FALSE(flat->items->flags & vdialogItemListFOCUS_ACTIVE) << "the container left behind lets go";
}

TEST_F(Containers, ArrowKeysInAGroupMoveAndSelect) {
  win::UseVirtualClock(true);
  vdialog* d = vdialogCreate();
  made.push_back(d);
  d->rect = {100, 100, 300, 200};
  vcontainer* g = vcontainerCreate(vcontainerGroupGetDefaultClass());
  vrect r{10, 10, 200, 100};
  vdialogSetItemRect(g, &r);
  for (const char* t : {"a", "b", "c"}) {
    vdialogItem* item = vdialogItemCreate(sizedItemClass());
    item->tag = N(t);
    item->flags |= vdialogItemFOCUSABLE;
    vrect size{0, 0, 40, 20};
    vdialogSetItemRect(item, &size);
    vcontainerAppendItem(g, item);
  }
  vdialogAppendItem(d, g);
  vdialogSetDefaultFocusItem(d, g);
  vcontainerClassOf(g)->setDefaultFocusItem(g, vdialogItemListAt(g->items, 0));
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  auto settle = [] {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  };
  auto press = [&](win::UINT vk) {
    win::test::KeyDown(vk, true);
    win::test::KeyUp(vk, true);
    settle();
  };
  settle();
  ASSERT_NE(vdialogItemListGetFocusItem(g->items), nullptr);
  EXPECT_STREQ(vdialogItemListGetFocusItem(g->items)->tag, "a");
  press(win::VK_RIGHT);
  EXPECT_STREQ(vdialogItemListGetFocusItem(g->items)->tag, "b");
  ASSERT_NE(g->selection, nullptr);
  EXPECT_STREQ(g->selection->tag, "b");
  press(win::VK_LEFT);
  press(win::VK_LEFT);
  EXPECT_STREQ(vdialogItemListGetFocusItem(g->items)->tag, "c") << "wrapped";
  EXPECT_STREQ(g->selection->tag, "c");
  // The children sit on the group's grid, inside its content.
  vdialogItem* a = vdialogItemListAt(g->items, 0);
  EXPECT_GE(a->rect.x, 0);
  EXPECT_LE(a->rect.x + a->rect.width, g->content.width);
  vwindowClose(d);
  win::test::ResetInput();
  win::UseVirtualClock(false);
}

// A click on a radio button of a group that does not have the focus: the
// press gives the group the focus, and the button clicked, not the one
// that was on before, keeps it, so a key pressed next acts from there.
TEST_F(Containers, AClickedButtonOfAGroupHoldsItsFocus) {
  win::UseVirtualClock(true);
  useLook("win95");
  vdialog* d = vdialogCreate();
  made.push_back(d);
  d->rect = {100, 100, 300, 200};
  vdialogItem* field = vdialogItemCreate(sizedItemClass());
  field->tag = N("field");
  field->flags |= vdialogItemFOCUSABLE;
  vrect fieldRect{10, 160, 80, 20};
  vdialogSetItemRect(field, &fieldRect);
  vdialogAppendItem(d, field);
  static vcontrolClassRec* sizedToggle = [] {
    auto* k = vclassSpawnOf<vcontrolClassRec>(vcontrolToggleGetDefaultClass());
    k->minSize = k->naturalSize = rectSize;
    vclassSetName(k, vscribeLiteral("testSizedToggle"));
    return k;
  }();
  vcontainer* g = vcontainerCreate(vcontainerExclusiveGroupGetDefaultClass());
  vrect r{10, 10, 200, 120};
  vdialogSetItemRect(g, &r);
  g->flags |= vdialogItemFOCUSABLE | vdialogItemCLICK_FOCUS;
  for (const char* t : {"a", "b", "c"}) {
    vcontrol* item = vcontrolCreate(sizedToggle);
    item->tag = N(t);
    item->flags |= vdialogItemFOCUSABLE;
    vrect size{0, 0, 60, 20};
    vdialogSetItemRect(item, &size);
    vcontainerAppendItem(g, item);
  }
  vdialogAppendItem(d, g);
  vcontainerSetSelection(g, vdialogItemListAt(g->items, 0));
  vdialogSetDefaultFocusItem(d, field);
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  auto settle = [] {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  };
  settle();
  ASSERT_EQ(vdialogGetFocusItem(d), field);
  vdialogItem* c = vdialogItemListAt(g->items, 2);
  vrect at = c->rect;
  vdialogItemListTransformRect(c->owner, &at);
  win::POINT p{at.x + at.width / 2, d->rect.height - 1 - (at.y + at.height / 2)};
  win::ClientToScreen(d->native->hwnd, &p);
  win::test::Click(p);
  settle();
  ASSERT_NE(g->selection, nullptr);
  EXPECT_STREQ(g->selection->tag, "c");
  EXPECT_EQ(vdialogGetFocusItem(d), static_cast<vdialogItem*>(g));
  ASSERT_NE(vdialogItemListGetFocusItem(g->items), nullptr);
  EXPECT_STREQ(vdialogItemListGetFocusItem(g->items)->tag, "c");
  vwindowClose(d);
  win::test::ResetInput();
  win::UseVirtualClock(false);
}

}  // namespace

namespace {

// A scrolled container in a live dialog: its bar takes the bounds as its
// range and the content as its view; a press in the bar's trough pages
// the contents, which the window scrolls.
TEST_F(Containers, AScrollBarPagesTheContents) {
  win::UseVirtualClock(true);
  vdialog* d = vdialogCreate();
  made.push_back(d);
  d->rect = {100, 100, 240, 160};
  vcontainer* c = vcontainerCreate(vcontainerGetDefaultClass());
  vrect r{20, 20, 160, 120};
  vdialogSetItemRect(c, &r);
  vcontainerSetScrollY(c, 1);
  ASSERT_NE(c->scrollY, nullptr);
  for (int i = 0; i < 6; ++i) {
    vdialogItem* box = vdialogItemCreate(vdialogBoxItemGetDefaultClass());
    vrect at{10, std::int16_t(10 + 45 * i), 100, 35};
    vdialogSetItemRect(box, &at);
    vcontainerAppendItem(c, box);
  }
  vdialogAppendItem(d, c);
  vwindowOpen(d);
  // The contents: 280 high, their top at the content's top.
  vrect contents{c->content.x, std::int16_t(c->content.y + c->content.height - 280), c->content.width, 280};
  vcontainerSetBounds(c, &contents);
  auto* bar = static_cast<vcontrol*>(static_cast<vdialogItem*>(c->scrollY));
  EXPECT_EQ(bar->max, 280);
  EXPECT_EQ(bar->view, c->content.height);
  EXPECT_EQ(bar->value, c->content.y - c->bounds.y);
  EXPECT_EQ(bar->page, 25);
  EXPECT_EQ(bar->increment, 5);
  // The bar stands at the content's right, as high as the content area.
  const vrect& b = c->scrollY->rect;
  EXPECT_EQ(b.x + b.width, c->rect.x + c->rect.width);
  EXPECT_LE(c->content.x + c->content.width, b.x);

  auto settle = [] {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  };
  settle();
  win::test::Image before = win::test::WindowImage(d->native->hwnd);
  // A press in the trough below the thumb, in screen pixels (rows top first).
  const vrect& thumb = static_cast<vcontrol*>(bar)->indicator;
  int x = b.x + b.width / 2;
  int y = thumb.y - 4;
  ASSERT_GT(y, b.y + b.width) << "room below the thumb";
  win::POINT p{x, d->rect.height - 1 - y};
  win::ClientToScreen(d->native->hwnd, &p);
  std::int16_t startY = c->bounds.y;
  win::test::MouseDown(p);
  win::test::MouseUp(p);
  settle();
  EXPECT_EQ(std::abs(c->bounds.y - startY), 25) << "one page";
  EXPECT_EQ(bar->value, c->content.y - c->bounds.y);
  win::test::Image after = win::test::WindowImage(d->native->hwnd);
  if (const char* out = std::getenv("DIALOG_PNG")) {
    win::test::WritePng(std::string(out) + "scroll_before.png", before);
    win::test::WritePng(std::string(out) + "scroll_after.png", after);
  }
  // The boxes moved by the page inside the content; the frame stayed.
  int moved = 0;
  for (std::size_t i = 0; i < before.px.size(); ++i) moved += before.px[i] != after.px[i];
  EXPECT_GT(moved, 0);
  vwindowClose(d);
  win::test::ResetInput();
  win::UseVirtualClock(false);
}

}  // namespace
