// Domain views: the arranging and editing selectors, scrolling and its
// limits, the transform, the observer's reactions, domain items owning
// their domain, the stored form, and the drawing of a view in a window.
#include "fw/widgets/domains/domainview.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/itemlist.h"
#include "platform/win/test.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/domain_window_support.h"
#include "tests/support/png_compare.h"

namespace {

std::vector<vdomainObject*> painted;
void recordPaint(vdomainview*, vdomainObject* o) { painted.push_back(o); }

vdict* option(const char* value) {
  vdict* d = vdictCreate(vdictHashName);
  vdictStore(d, vnameInternLiteral("Option"), vnameInternLiteral(value));
  return d;
}

int issue(vdomainview* v, int selector, vdict* context = nullptr) {
  int r = vobjectAttributedOf(v)->issueSelector(v, selector, context);
  if (context) vdictDestroy(context);
  return r;
}

struct DomainViews : ::testing::Test {
  vdomainview* view = nullptr;
  vdomain* d = nullptr;
  std::vector<vdomainObject*> objects;

  void SetUp() override {
    startDialogItemTests();
    view = vdomainitemCreate();
    d = view->domain;
    vrect b{0, 0, 1000, 500};
    vdomainSetBounds(d, &b);
    vrect r{10, 10, 200, 100};
    vdialogSetItemRect(view, &r);
    vdialogSetItemBorder(view, 0);
  }
  void TearDown() override { vinstanceDestroy(view); }

  vdomainObject* add(std::int16_t x, std::int16_t y, std::int16_t w = 30, std::int16_t h = 20) {
    vdomainObject* o = vdomainNewObject(d);
    vdomainSet* s = vdomainCreateSetOf(&o, 1);
    vrect r{x, y, w, h};
    vdomainClassOf(d)->setRects(d, s, &r);
    vdomainClassOf(d)->showObjects(d, s);
    vdomainDestroySet(s);
    objects.push_back(o);
    return o;
  }
  void select(std::initializer_list<vdomainObject*> list) {
    std::vector<vdomainObject*> v(list);
    vdomainSet* s = vdomainCreateSetOf(v.data(), static_cast<std::int32_t>(v.size()));
    vdomainClassOf(d)->selectObjects(d, view->slot, s);
    vdomainDestroySet(s);
  }
  std::vector<vdomainObject*> selected() {
    vdomainSet* s = vdomainviewSelectedSet(view);
    std::vector<vdomainObject*> out(s->objects, s->objects + s->count);
    vdomainDestroySet(s);
    return out;
  }
};

TEST_F(DomainViews, AnItemOwnsItsDomainWithASlotOfItsOwn) {
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(vclassRec<vobjectClassRec>(d), reinterpret_cast<vobjectClassRec*>(vdomainitemDomainGetDefaultClass()));
  EXPECT_GE(view->slot, 0);
  EXPECT_EQ(d->owner, view);
  EXPECT_EQ(view->viewAttributes, 9u);
  EXPECT_EQ(view->trackMode, 3);
  EXPECT_EQ(view->increment, 10);
  // The visible area follows the item rectangle.
  EXPECT_EQ(view->visible.width, 200);
  EXPECT_EQ(view->visible.height, 100);
  vdialogSetItemBorder(view, 1);  // the frame's line comes off every side
  EXPECT_EQ(view->visible.width, 198);
  EXPECT_EQ(view->area.x, 11);
}

TEST_F(DomainViews, MoveToFrontDrawsTheSelectedOnTop) {
  vdomainObject* a = add(10, 10);
  vdomainObject* b = add(20, 15);
  vdomainObject* c = add(30, 20);  // the newest is first in the order
  select({a});
  EXPECT_EQ(issue(view, 33, option("Front")), 1);
  EXPECT_EQ(d->first, a);
  view->objectPainter = recordPaint;
  painted.clear();
  vdomainviewClassOf(view)->drawObjects(view);
  ASSERT_EQ(painted.size(), 3u);
  EXPECT_EQ(painted.back(), a) << "the first object is drawn last, on top";
  // Back puts it last, so it is drawn first.
  EXPECT_EQ(issue(view, 33, option("Back")), 1);
  painted.clear();
  vdomainviewClassOf(view)->drawObjects(view);
  EXPECT_EQ(painted.front(), a);
  // An option the selector does not know does nothing and counts as handled.
  vdomainObject* before = d->first;
  EXPECT_EQ(issue(view, 33, option("Sideways")), 1);
  EXPECT_EQ(d->first, before);
  (void)b, (void)c;
}

TEST_F(DomainViews, DuplicatePlacesCopiesFurtherOnAndSelectsOnlyThem) {
  vdomainObject* a = add(10, 10);
  vdomainObject* edge = add(960, 470, 30, 20);  // +20 would leave the bounds
  vdomainObject* other = add(300, 300);
  select({a, edge});
  EXPECT_EQ(issue(view, 30), 1);
  EXPECT_EQ(d->count, 5);
  std::vector<vdomainObject*> now = selected();
  ASSERT_EQ(now.size(), 2u);
  std::vector<std::pair<int, int>> at;
  for (vdomainObject* o : now) {
    EXPECT_NE(o, a);
    EXPECT_NE(o, edge);
    EXPECT_FALSE(o->flags & vdomainHIDDEN);
    at.emplace_back(o->rect.x, o->rect.y);
  }
  std::sort(at.begin(), at.end());
  EXPECT_EQ(at[0], std::make_pair(30, 30));
  EXPECT_EQ(at[1], std::make_pair(970, 480)) << "moved back inside the bounds, size kept";
  EXPECT_FALSE(vdomainIsSelected(a, view->slot));
  EXPECT_FALSE(vdomainIsSelected(other, view->slot));
}

TEST_F(DomainViews, CutCopyPasteAndClearThroughTheClipboard) {
  vdomainObject* a = add(10, 10);
  add(100, 10);
  select({a});
  EXPECT_EQ(issue(view, 22), 0) << "copy is left for others too";
  EXPECT_EQ(vdomainviewClipboardCount(), 1);
  EXPECT_EQ(d->count, 2);
  EXPECT_EQ(issue(view, 21), 1);
  EXPECT_EQ(d->count, 1);
  EXPECT_EQ(issue(view, 23), 1);
  ASSERT_EQ(d->count, 2);
  std::vector<vdomainObject*> now = selected();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_EQ(now[0]->rect.x, 10) << "pasted where it was cut";
  EXPECT_EQ(issue(view, 24), 1);
  EXPECT_EQ(d->count, 1);
  // Select all, then the single-selection view refuses it.
  EXPECT_EQ(issue(view, 29), 1);
  EXPECT_EQ(selected().size(), 1u);
  view->viewAttributes |= vdomainviewSINGLE_SELECTION;
  EXPECT_EQ(issue(view, 29), 0);
  EXPECT_EQ(issue(view, 32, option("Bottom")), 0);
  EXPECT_EQ(issue(view, 32, option("Top")), 1);
}

TEST_F(DomainViews, PasteInALongDomainRaisesTheTypeException) {
  vdomainObject* a = add(10, 10);
  select({a});
  issue(view, 22);
  vdomain* wide = vdomainCreateLong();
  vdomainviewSetDomain(view, wide);  // the item owns and frees its old one
  d = wide;
  EXPECT_EQ(vdomainviewClipboardCount(), 0) << "a new domain empties the clipboard";
  vdomainNewObject(wide);
  select({wide->first});
  issue(view, 22);
  EXPECT_EQ(raised([&] { issue(view, 23); }), &vexDomainWrongTypeClass);
  EXPECT_EQ(raised([&] { issue(view, 30); }), &vexDomainWrongTypeClass);
  EXPECT_GE(view->slot, 0) << "the item took a slot in its new domain";
}

TEST_F(DomainViews, ScrollingStopsAtBothEnds) {
  vdomainviewScroll(view, 5000, 5000, vdomainviewABSOLUTE);
  EXPECT_EQ(view->offset.x, 800);
  EXPECT_EQ(view->offset.y, 400);
  EXPECT_EQ(d->view.x, 800) << "the domain's virtual view follows";
  vdomainviewScroll(view, -3000, -10, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
  EXPECT_EQ(view->offset.x, 0);
  EXPECT_EQ(view->offset.y, 390);
  // Page selectors, then a frozen axis.
  issue(view, 15);
  EXPECT_EQ(view->offset.x, 200);
  issue(view, 16);  // page up: y grows upward here
  EXPECT_EQ(view->offset.y, 400);
  view->viewAttributes |= vdomainviewFREEZE_X;
  vdomainviewScroll(view, 0, 0, vdomainviewABSOLUTE);
  EXPECT_EQ(view->offset.x, 200);
  EXPECT_EQ(view->offset.y, 0);
  // A domain smaller than the view cannot scroll.
  vrect small{0, 0, 50, 50};
  vdomainSetBounds(d, &small);
  view->viewAttributes &= ~vdomainviewFREEZE_X;
  vdomainviewScroll(view, 30, 30, vdomainviewABSOLUTE);
  EXPECT_EQ(view->offset.x, 0);
  EXPECT_EQ(view->offset.y, 0);
}

TEST_F(DomainViews, TheTransformFlipsYInOrientationOneAndRoundsHalfUp) {
  std::int32_t x, y;
  vdomainviewDomainToView(view, 0, 0, &x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 10);
  vdomainviewScroll(view, 100, 50, vdomainviewABSOLUTE);
  vdomainviewDomainToView(view, 130, 60, &x, &y);
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 20);
  d->flags |= 1u << 8;  // orientation 1: domain y grows downward
  view->dirty = 1;
  vdomainviewDomainToView(view, 130, 60, &x, &y);
  EXPECT_EQ(y, 100) << "top of the area (110) less 10";
  std::int32_t dx, dy;
  vdomainviewViewToDomain(view, 40, 100, &dx, &dy);
  EXPECT_EQ(dx, 130);
  EXPECT_EQ(dy, 60);
  // Page up in a y-down domain moves the offset back.
  issue(view, 16);
  EXPECT_EQ(view->offset.y, 0);
  issue(view, 17);
  EXPECT_EQ(view->offset.y, 100);
}

// Spans past 65,535 pixels map to rectangles that cover what shows of
// them (the area is 10, 10, 200 x 100), in both orientations, and keep an
// edge that shows where it is.
TEST_F(DomainViews, SpansPast16BitsMapOverTheAreaTheyCover) {
  struct Case {
    vrectLong in;
    bool coversX, coversY;
    int right;  // the mapped right edge, when it shows; else 0
  } cases[] = {
      {{-35000, -35000, 70000, 70000}, true, true, 0},
      {{0, -35000, 100, 70000}, false, true, 110},
      {{-69990, 0, 70000, 50}, false, false, 20},
  };
  const vrect& a = view->area;
  for (int orientation : {0, 1}) {
    d->flags = orientation ? d->flags | 1u << 8 : d->flags & ~(1u << 8);
    view->dirty = 1;
    for (const Case& c : cases) {
      vrect r;
      vdomainviewDomainRectToView(view, &c.in, &r);
      std::string what = std::to_string(c.in.x) + "," + std::to_string(c.in.y) + " in orientation " +
                         std::to_string(orientation) + ": " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
                         std::to_string(r.width) + "x" + std::to_string(r.height);
      if (c.coversX) {
        EXPECT_LE(r.x, a.x) << what;
        EXPECT_GE(r.x + r.width, a.x + a.width) << what;
      }
      if (c.coversY) {
        EXPECT_LE(r.y, a.y) << what;
        EXPECT_GE(r.y + r.height, a.y + a.height) << what;
      }
      if (c.right) {
        EXPECT_EQ(r.x + r.width, c.right) << what;
      }
    }
  }
}

std::vector<vrect> bands;
std::int16_t s16(int v) { return std::int16_t(v); }

TEST_F(DomainViews, OutlinesThroughAUserMatrixMoveInByThePenWhenTheStateStrokesInside) {
  auto* cls = vclassSpawnOf<vdomainitemClassRec>(vdomainitemGetDefaultClass());
  vclassSetName(cls, vscribeLiteral("testOutlinedDomainitem"));
  cls->drawBand = [](vdomainview*, const vrect* r) { bands.push_back(*r); };
  auto* v = static_cast<vdomainview*>(vinstanceCreate(cls));
  vrect b{0, 0, 1000, 500}, r{10, 10, 200, 100};
  vdomainSetBounds(v->domain, &b);
  vdialogSetItemRect(v, &r);
  vdialogSetItemBorder(v, 0);
  float doubled[6] = {2, 0, 0, 2, 0, 0};
  const vrectLong outline{5, 5, 10, 10};
  auto drawn = [&](double penX, double penY, bool strokeAdjust) {
    v->pen[0] = penX, v->pen[1] = penY;
    bands.clear();
    vdrawGSave();
    vdrawSetStrokeAdjust(strokeAdjust ? 32 : 0);
    cls->drawOutlinesLong(v, &outline, 1, vpointLong{1, 2});
    vdrawGRestore();
    return bands.size() == 1 ? bands[0] : vrect{};
  };
  auto same = [](vrect a, vrect c) { return a.x == c.x && a.y == c.y && a.width == c.width && a.height == c.height; };
  // Without a user matrix the pen never counts.
  vrect plain = drawn(1, 1, true);
  vrectLong moved{6, 7, 10, 10};
  vrect mapped{};
  vdomainviewDomainRectToView(v, &moved, &mapped);
  EXPECT_TRUE(same(plain, mapped));
  EXPECT_EQ(plain.width, 10);
  v->userMatrix = doubled;
  v->dirty = 1;
  vdomainviewDomainRectToView(v, &moved, &mapped);
  ASSERT_EQ(mapped.width, 20) << "through the matrix";
  EXPECT_TRUE(same(drawn(1, 1, false), mapped)) << "the state strokes centred";
  vrect in = drawn(1, 1, true);
  EXPECT_TRUE(same(in, vrect{s16(mapped.x + 1), s16(mapped.y + 1), 19, s16(mapped.height - 1)}));
  vrect wide = drawn(2, 0, true);
  EXPECT_TRUE(same(wide, vrect{s16(mapped.x + 2), mapped.y, 18, mapped.height}));
  v->userMatrix = nullptr;
  vinstanceDestroy(v);
}

TEST_F(DomainViews, TheVisibleSetFollowsTheDomain) {
  vdomainObject* a = add(10, 10);
  vdomainObject* far = add(600, 300);
  vdomainviewScroll(view, 0, 0, vdomainviewABSOLUTE);
  ASSERT_EQ(view->visibleSet->count, 1);
  EXPECT_EQ(view->visibleSet->objects[0], a);
  // Moving the far object into view makes it visible; removing one drops it.
  vdomainSet* s = vdomainCreateSetOf(&far, 1);
  vdomainMoveObjects(d, s, -550, -250, vdomainMOVE_OFFSET);
  vdomainDestroySet(s);
  EXPECT_EQ(view->visibleSet->count, 2);
  s = vdomainCreateSetOf(&a, 1);
  vdomainClassOf(d)->hideObjects(d, s);
  EXPECT_EQ(view->visibleSet->count, 1);
  vdomainRemoveObjects(d, s);
  vdomainDestroySet(s);
  EXPECT_EQ(view->visibleSet->count, 1);
  EXPECT_EQ(view->visibleSet->objects[0], far);
}

TEST(DomainViewsPlain, AViewWithoutASlotSelectsNothingAndLetsItsDomainGo) {
  startDialogItemTests();
  vdomainview* view = vdomainviewCreate();
  vdomain* d = vdomainCreate();
  vdomainObject* o = vdomainNewObject(d);
  vdomainviewSetDomain(view, d);
  EXPECT_EQ(view->slot, -1);
  EXPECT_EQ(vobjectAttributedOf(view)->issueSelector(view, 29, nullptr), 1);
  EXPECT_EQ(o->selection, 0u) << "no slot: select all does nothing";
  EXPECT_EQ(vobjectAttributedOf(view)->issueSelector(view, 22, nullptr), 0);
  EXPECT_EQ(vdomainviewClipboardCount(), 0);
  // The domain going first leaves the view without one.
  vdomainDestroy(d);
  EXPECT_EQ(view->domain, nullptr);
  vinstanceDestroy(view);
}

TEST(DomainViewsPlain, TheStoredFormKeepsTheSevenKeysAndTheMarginRule) {
  startDialogItemTests();
  vdomainview* view = vdomainviewCreate();
  view->viewAttributes = 0x2009;
  view->threshold = 3;
  view->barMargin = 7;
  view->dragMethod = 2;
  vresource root = vresourceCreateMemoryIn(0);
  vresource res = vresourceCreate(root, vnameInternLiteral("V"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(view)->store(view, res);
  vinstanceDestroy(view);
  auto* back = static_cast<vdomainview*>(vobjectLoad(res));
  EXPECT_EQ(back->viewAttributes, 0x2009u);
  EXPECT_EQ(back->threshold, 3);
  EXPECT_EQ(back->dragMethod, 2);
  EXPECT_EQ(back->barMargin, 2) << "without bit 16 the margin is 2";
  vinstanceDestroy(back);
  vresourceSetInteger(res, vnameInternLiteral("Attributes"), 0x10000);
  back = static_cast<vdomainview*>(vobjectLoad(res));
  EXPECT_EQ(back->barMargin, 7);
  vinstanceDestroy(back);
  vresourceCloseFile(root);
}

}  // namespace

namespace {

struct DomainViewWindow : DomainWindowFixture {
  vdomainview* view = nullptr;
  vdomain* d = nullptr;
  std::vector<vdomainObject*> made;

  void SetUp() override {
    DomainWindowFixture::SetUp();
    w->rect = {30, 30, 240, 140};
    view = vdomainitemCreate();
    d = view->domain;
    vrect bounds{0, 0, 400, 300}, r{10, 10, 220, 120};
    vdomainSetBounds(d, &bounds);
    vdialogSetItemRect(view, &r);
    const vrect places[] = {{20, 20, 60, 40}, {50, 40, 60, 40}, {130, 30, 50, 70}, {300, 200, 40, 40}};
    for (const vrect& p : places) {
      vdomainObject* o = vdomainNewObject(d);
      vdomainSet* s = vdomainCreateSetOf(&o, 1);
      vdomainClassOf(d)->setRects(d, s, &p);
      vdomainClassOf(d)->showObjects(d, s);
      vdomainDestroySet(s);
      made.push_back(o);
    }
    vdomainviewScroll(view, 10, 10, vdomainviewABSOLUTE);
    show(view);
  }
  void select(vdomainObject* o) {
    vdomainSet* s = vdomainCreateSetOf(&o, 1);
    vdomainClassOf(d)->selectObjects(d, view->slot, s);
    vdomainDestroySet(s);
  }
  void pointer(int (*m)(vdialogItem*, vevent*), vevent* e, const char* binding = nullptr) {
    if (binding) veventSetBinding(e, vnameInternLiteral(binding));
    m(view, e);
    veventDestroy(e);
  }
  int key(int character, std::uint32_t modifiers) {
    vevent* e = veventCreateKeyDown(w, 0, 0, 0, modifiers, std::uint32_t(character), character);
    int r = vdialogItemClassOf(view)->keyDown(view, e);
    veventDestroy(e);
    return r;
  }
};

TEST_F(DomainViewWindow, OverlappingObjectsInStackingOrderWithTheSelectionFramed) {
  select(made[2]);
  redraw();
  EXPECT_TRUE(matches("view"));
}

TEST_F(DomainViewWindow, ABandAndDragOutlinesOverTheObjects) {
  auto* c = vdialogItemClassOf(view);
  redraw();
  pointer(c->buttonDown, veventCreateButtonDown(w, 200, 120, 0, 1, 1, 1), "Select");
  pointer(c->drag, veventCreateMotion(w, 90, 40, 0, 1, 1));
  settle();  // the live selection's highlights
  EXPECT_TRUE(matches("band"));
  // Redrawn meanwhile, the band stays; released, it selects what it met.
  redraw();
  EXPECT_TRUE(matches("band"));
  pointer(c->buttonUp, veventCreateButtonUp(w, 90, 40, 0, 0, 1, 1));
  EXPECT_TRUE(vdomainIsSelected(made[2], view->slot));
  EXPECT_TRUE(vdomainIsSelected(made[1], view->slot));
  EXPECT_FALSE(vdomainIsSelected(made[0], view->slot));
  // Dragging the two selected shows one outline each, moved with the pointer.
  redraw();
  pointer(c->buttonDown, veventCreateButtonDown(w, 140, 60, 0, 1, 1, 1), "Select");
  pointer(c->drag, veventCreateMotion(w, 165, 45, 0, 1, 1));
  settle();
  EXPECT_TRUE(matches("outlines"));
  pointer(c->buttonUp, veventCreateButtonUp(w, 165, 45, 0, 0, 1, 1));
  EXPECT_EQ(made[2]->rect.x, 155);
  EXPECT_EQ(made[2]->rect.y, 15);
}

TEST_F(DomainViewWindow, ScrollBarsTakeTheirRoomFollowTheOffsetAndScrollTheView) {
  view->viewAttributes |= vdomainviewHORIZONTAL_BAR | vdomainviewVERTICAL_BAR;
  vdialogSetItemRect(view, &view->rect);
  ASSERT_NE(view->hbar, nullptr);
  ASSERT_NE(view->vbar, nullptr);
  // Each bar plus the margin (2) comes off the area, inside the border.
  EXPECT_EQ(view->area.width, 220 - 2 - view->vbar->rect.width - 2);
  EXPECT_EQ(view->area.height, 120 - 2 - view->hbar->rect.height - 2);
  EXPECT_EQ(view->vbar->rect.x + view->vbar->rect.width, 230) << "on the right edge";
  EXPECT_EQ(view->hbar->rect.y, 10) << "along the bottom: y grows upward";
  vdomainviewScroll(view, 50, 70, vdomainviewABSOLUTE);
  EXPECT_EQ(view->hbar->value, 50);
  EXPECT_EQ(view->vbar->value, 70);
  EXPECT_EQ(view->hbar->max, 400);
  EXPECT_EQ(view->vbar->view, view->area.height);
  // Moving a bar scrolls the view on its own axis only (as the user's
  // moves announce it).
  auto moved = [&](vslider* bar, int value) {
    vcontrolSetValue(bar, value);
    vevent* e = veventCreateButtonUp(w, 0, 0, 0, 0, 1, 1);
    vdialogNotifyItem(bar, e);
    veventDestroy(e);
  };
  moved(view->hbar, 120);
  EXPECT_EQ(view->offset.x, 120);
  EXPECT_EQ(view->offset.y, 70);
  moved(view->vbar, 5);
  EXPECT_EQ(view->offset.y, 5);
  // A y-down domain counts the vertical bar from its far end.
  d->flags |= 1u << 8;
  vdomainviewScroll(view, 0, 0, vdomainviewX_RELATIVE | vdomainviewY_RELATIVE);
  EXPECT_EQ(view->vbar->value, 300 - view->area.height - 5);
  d->flags &= ~(1u << 8);
  vdomainviewScroll(view, 0, 0, vdomainviewABSOLUTE);
  settle();  // the relaid view repainted, its margins erased
  EXPECT_TRUE(matches("bars"));
  // Dropping the bits drops the bars.
  view->viewAttributes &= ~(vdomainviewHORIZONTAL_BAR | vdomainviewVERTICAL_BAR);
  vdialogSetItemRect(view, &view->rect);
  EXPECT_EQ(view->hbar, nullptr);
  EXPECT_EQ(view->area.width, 218);
}

TEST_F(DomainViewWindow, KeysAndCommandNamesReachTheSelectors) {
  EXPECT_EQ(vdomainviewClassOf(view)->scroll, vdomainviewGetDefaultClass()->scroll);
  EXPECT_EQ(key('a', veventMOD_CONTROL), 1) << "Ctrl+A: Select All";
  EXPECT_EQ(vdomainSelectedCount(d, view->slot), 4);
  vdomainSet* none = vdomainFilterSet(d, view->slot, vdomainFILTER_ALL, nullptr, nullptr);
  vdomainClassOf(d)->deselectObjects(d, view->slot, none);
  vdomainDestroySet(none);
  select(made[0]);
  EXPECT_EQ(key('d', veventMOD_CONTROL), 1) << "Ctrl+D: Duplicate";
  EXPECT_EQ(d->count, 5);
  EXPECT_EQ(d->first->rect.x, 40);
  // A synthetic command issues its selector with its option.
  vdomainClassOf(d)->selectAll(d, view->slot, 0);
  select(made[3]);
  vdict context;
  vdictInit(&context, vdictHashName);
  vobjectAttributedOf(view)->addContext(view, &context);
  EXPECT_EQ(vobjectIssueCommand(view, vnameInternLiteral("Move To Back"), &context), 1);
  vdictFinish(&context);
  EXPECT_EQ(vdomainLastObject(d), made[3]);
}

}  // namespace

namespace {

vdict* contextWith(vname key, std::intptr_t value) {
  vdict* c = vdictCreate(vdictHashName);
  vdictStore(c, key, reinterpret_cast<void*>(value));
  return c;
}

TEST_F(DomainViewWindow, TheFocusGoesRoundTheBarsAndAFocusedBarTakesTheSelectorsFirst) {
  auto issueWith = [&](int selector, vdict* context) {
    int r = vobjectAttributedOf(view)->issueSelector(view, selector, context);
    if (context) vdictDestroy(context);
    return r;
  };
  vevent* e = veventCreateKeyDown(w, 0, 0, 0, 0, 0, 0);
  // Without bars the view keeps the focus, and arrows do nothing.
  EXPECT_EQ(issueWith(4, contextWith(vname_Direction, 1)), 1);
  EXPECT_EQ(view->focus, view);
  EXPECT_EQ(issueWith(11, contextWith(vname_Event, reinterpret_cast<std::intptr_t>(e))), 1);
  EXPECT_EQ(view->offset.y, 10);

  view->viewAttributes |= vdomainviewHORIZONTAL_BAR | vdomainviewVERTICAL_BAR;
  vdialogSetItemRect(view, &view->rect);
  vdialogItem* order[] = {view->vbar, view->hbar, view};
  for (vdialogItem* next : order) {
    issueWith(4, contextWith(vname_Direction, 1));
    EXPECT_EQ(view->focus, next);
    EXPECT_EQ((view->vbar->flags & vdialogItemFOCUSED) != 0, next == view->vbar);
  }
  issueWith(4, contextWith(vname_Direction, -1));
  EXPECT_EQ(view->focus, view->hbar);
  issueWith(4, contextWith(vname_Direction, -1));
  EXPECT_EQ(view->focus, view->vbar);

  // The focused vertical bar steps by the increment and the view follows;
  // a selector the bar leaves still reaches the view.
  int y = view->offset.y;
  EXPECT_EQ(issueWith(11, contextWith(vname_Event, reinterpret_cast<std::intptr_t>(e))), 1);
  EXPECT_EQ(view->offset.y, y + view->increment);
  EXPECT_NE(issueWith(29, nullptr), 0);
  EXPECT_EQ(vdomainSelectedCount(d, view->slot), 4);
  veventDestroy(e);
}

TEST_F(DomainViewWindow, OffscreenDrawingGivesTheSamePicture) {
  select(made[2]);
  redraw();
  win::test::Image direct = win::test::WindowImage(w->native->hwnd);
  EXPECT_EQ(view->offscreen, nullptr);
  view->viewAttributes |= vdomainviewOFFSCREEN;
  vdomainviewScroll(view, 0, 0, vdomainviewABSOLUTE);  // and back, so the window really changes
  redraw();
  vdomainviewScroll(view, 10, 10, vdomainviewABSOLUTE);
  redraw();
  ASSERT_NE(view->offscreen, nullptr);
  EXPECT_EQ(view->offscreen->width, view->area.width);
  EXPECT_EQ(view->offscreen->height, view->area.height);
  win::test::Image buffered = win::test::WindowImage(w->native->hwnd);
  ASSERT_EQ(buffered.px.size(), direct.px.size());
  std::size_t differ = 0;
  for (std::size_t i = 0; i < direct.px.size(); ++i) differ += direct.px[i] != buffered.px[i];
  EXPECT_EQ(differ, 0u);
  // A smaller view makes a new image of its new size.
  vrect smaller{10, 10, 150, 90};
  vdialogSetItemRect(view, &smaller);
  redraw();
  EXPECT_EQ(view->offscreen->width, view->area.width);
}

}  // namespace

namespace {

vdomainviewTrackRecord lastMoved;
int recordMoved(vdomainview*, void* record) {
  auto* r = static_cast<vdomainviewTrackRecord*>(record);
  if (r->phase == 2) lastMoved = *r;
  return 1;
}

TEST_F(DomainViewWindow, DragMethodTwoDrawsItsOutlinesOnTheScreenAndNamesTheTarget) {
  auto* c = vdialogItemClassOf(view);
  view->dragMethod = 2;
  auto* events = vclassSpawnOf<vdomainviewEventClassRec>(vdomainviewEventGetDefaultClass());
  events->tracking = recordMoved;
  view->events = events;
  redraw();
  settle();
  win::test::Image before = win::test::ScreenImage();
  lastMoved = {};
  pointer(c->buttonDown, veventCreateButtonDown(w, 140, 60, 0, 1, 1, 1), "Select");
  pointer(c->drag, veventCreateMotion(w, 165, 45, 0, 1, 1));
  win::test::Image during = win::test::ScreenImage();
  std::size_t changed = 0;
  for (std::size_t i = 0; i < before.px.size(); ++i) changed += before.px[i] != during.px[i];
  EXPECT_GT(changed, 0u);
  // Outside the view's window too: the outlines are not clipped to the view.
  ASSERT_NE(lastMoved.dragged, nullptr);
  pointer(c->drag, veventCreateMotion(w, 165, 200, 0, 1, 1));
  pointer(c->buttonUp, veventCreateButtonUp(w, 165, 200, 0, 0, 1, 1));
  win::test::Image after = win::test::ScreenImage();
  std::size_t left = 0;
  for (std::size_t i = 0; i < before.px.size(); ++i) left += before.px[i] != after.px[i];
  EXPECT_EQ(left, 0u) << "drawn twice, the outlines are gone";
  // The move went through, by the pointer's travel.
  EXPECT_EQ(made[2]->rect.x, 130 + 25);
  EXPECT_EQ(made[2]->rect.y, 30 + 140);
}

}  // namespace
