// Icon views: the grid order of new icons, the two geometries, a new font
// laying the icons out again, the missing geometry and orphan errors, the
// refused selectors, resizing, the stored form, and both view types drawn.
#include "fw/widgets/domains/iconview.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/itemlist.h"
#include "platform/win/test.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/domain_window_support.h"
#include "tests/support/png_compare.h"

namespace {

struct IconViews : ::testing::Test {
  viconview* view = nullptr;
  void SetUp() override {
    startDialogItemTests();
    view = viconviewCreate();
    vrect r{0, 0, 260, 200};
    vdialogSetItemBorder(view, 0);
    vdialogSetItemRect(view, &r);
  }
  void TearDown() override { vinstanceDestroy(view); }
  viconviewIcon* add(const char* name) {
    viconviewIcon* icon = viconviewCreateIcon(view);
    if (name) viconviewSetIconNameC(icon, name);
    viconviewAddIcon(view, icon);
    return icon;
  }
  static vrect nameRect(viconviewIcon* icon) {
    vrect image, name;
    viconviewGetIconRects(icon, &image, &name);
    return name;
  }
};

TEST_F(IconViews, NewIconsFillARowLeftToRightThenTheNextRowBelow) {
  viconviewView* type = view->viewType;
  ASSERT_EQ(type, viconviewGetIconView());
  ASSERT_NE(type->image, nullptr);  // from the framework's resources
  std::vector<vpoint> at;
  for (const char* n : {"one", "two", "three", "four", "five"}) at.push_back(viconviewGetIconPosition(add(n)));
  EXPECT_EQ(view->iconCount, 5);
  // Three fit across 260 pixels at the resource's step; the fourth starts the row below.
  for (int i : {1, 2}) {
    EXPECT_EQ(at[i].y, at[0].y);
    EXPECT_EQ(at[i].x, at[i - 1].x + type->grid[0]);
  }
  EXPECT_EQ(at[3].x, at[0].x);
  EXPECT_EQ(at[3].y, at[0].y - type->grid[1]);
  EXPECT_EQ(at[4].x, at[1].x);
  // Nothing overlaps, names included.
  vdomainSet* all = vdomainFilterSet(view->domain, 0, vdomainFILTER_ALL, nullptr, nullptr);
  for (std::int32_t i = 0; i < all->count; ++i)
    for (std::int32_t j = i + 1; j < all->count; ++j)
      EXPECT_FALSE(vrectLongIntersects(&all->objects[i]->rect, &all->objects[j]->rect)) << i << " " << j;
  vdomainDestroySet(all);

  // Removing one frees its room for the next icon.
  viconviewIcon* second = viconviewIconOf(vdomainLastObject(view->domain)->prev->prev);
  ASSERT_NE(second, nullptr);
  vpoint freed = viconviewGetIconPosition(second);
  viconviewDestroyIcon(second);
  EXPECT_EQ(view->iconCount, 4);
  vpoint again = viconviewGetIconPosition(add("six"));
  EXPECT_EQ(again.x, freed.x);
  EXPECT_EQ(again.y, freed.y);
}

// The columns follow the first icon alone: a long name added later moves
// no column, so every icon stands on the grid and the names beside the
// long one keep clear of it.
TEST_F(IconViews, ColumnsStayPutWhenALongNameArrives) {
  vrect r{0, 0, 340, 300};
  vdialogSetItemRect(view, &r);
  viconviewView* type = view->viewType;
  std::vector<viconviewIcon*> icons;
  for (const char* n : {"Session", "Registers", "Memory", "Disassembly", "Watch", "Stack", "Trace", "Files"}) icons.push_back(add(n));
  const int x0 = viconviewGetIconPosition(icons[0]).x, step = type->grid[0];
  std::vector<int> xs;
  for (viconviewIcon* icon : icons) xs.push_back(viconviewGetIconPosition(icon).x);
  EXPECT_EQ(xs, (std::vector<int>{x0, x0 + step, x0 + 2 * step, x0 + 3 * step, x0, x0 + step, x0 + 2 * step,
                                  x0 + 3 * step}));
  for (std::size_t i = 0; i < icons.size(); ++i)
    for (std::size_t j = i + 1; j < icons.size(); ++j) {
      vrect a = nameRect(icons[i]), b = nameRect(icons[j]);
      EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
          << "names " << i << " and " << j << " overlap";
    }
  // Laid out again, the icons keep the same places.
  viconviewArrange(view);
  for (std::size_t i = 0; i < icons.size(); ++i) EXPECT_EQ(viconviewGetIconPosition(icons[i]).x, xs[i]) << i;
}

TEST_F(IconViews, TheTwoGeometriesANamelessIconAndANewFont) {
  viconviewIcon* named = add("a longer name");
  viconviewIcon* nameless = add(nullptr);
  vrect image, name;
  viconviewGetIconRects(nameless, &image, &name);
  EXPECT_EQ(name.width, 2);
  EXPECT_EQ(image.width, viconviewGetIconView()->image->width + 6);
  // Centred under the image.
  EXPECT_EQ(name.x, image.x + image.width / 2 - 1);
  EXPECT_EQ(name.y + name.height, image.y);

  viconviewSetView(view, viconviewGetNameView());
  viconviewGetIconRects(named, &image, &name);
  EXPECT_EQ(image.width, viconviewGetNameView()->image->width + 6);
  EXPECT_EQ(name.x, image.x + image.width + 5);
  EXPECT_EQ(name.y, image.y + image.height / 2 - name.height / 2);
  // The domain objects carry the new rectangles, at the same positions.
  EXPECT_EQ(named->object->connection->rect.x, name.x);
  EXPECT_EQ(view->domain->grid[0], viconviewGetNameView()->grid[0]);

  vpoint before = viconviewGetIconPosition(named);
  int width = nameRect(named).width, height = nameRect(named).height;
  vdialogSetItemFont(view, vfontFindScribe(vscribeLiteral("Times-regular-24")));
  EXPECT_GT(nameRect(named).width, width);
  EXPECT_GT(nameRect(named).height, height);
  EXPECT_EQ(named->object->connection->rect.width, nameRect(named).width);
  EXPECT_EQ(viconviewGetIconPosition(named).x, before.x);
  EXPECT_EQ(viconviewGetIconPosition(named).y, before.y);
  EXPECT_EQ(nameRect(nameless).width, 2);
}

TEST_F(IconViews, AFontTakenFromTheOwnerLaysTheIconsOutAgain) {
  vcontainer* box = vcontainerCreate(vcontainerGetDefaultClass());
  vcontainerAppendItem(box, view);
  viconviewIcon* named = add("a longer name");
  vpoint before = viconviewGetIconPosition(named);
  vrect small = nameRect(named);
  vdialogSetItemFont(box, vfontFindScribe(vscribeLiteral("Times-regular-24")));
  vdialogItemListPassInherited(box->items, vnameInternLiteral("Font"), nullptr);
  EXPECT_GT(nameRect(named).width, small.width);
  EXPECT_GT(nameRect(named).height, small.height);
  EXPECT_EQ(named->object->connection->rect.width, nameRect(named).width) << "the domain object follows";
  EXPECT_EQ(viconviewGetIconPosition(named).x, before.x);
  EXPECT_EQ(viconviewGetIconPosition(named).y, before.y);
  vcontainerRemoveItem(box, view);
  vinstanceDestroy(box);
}

TEST_F(IconViews, AViewTypeWithoutGeometryAndAnIconOutsideAView) {
  add("kept");
  auto* bare = static_cast<viconviewView*>(vinstanceCreate(viconviewViewGetDefaultClass()));
  std::string message;
  EXPECT_EQ(raised([&] { viconviewSetView(view, bare); }, &message), &viconviewNoGeometryProcClass);
  EXPECT_EQ(message, "_viconviewSetView -- viconviewView has no GeometryProc");
  EXPECT_EQ(view->viewType, viconviewGetIconView());

  // A type that loses its procedure while shown takes no icon and cannot arrange.
  bare->geometry = viconviewIconGeometry;
  viconviewSetView(view, bare);
  bare->geometry = nullptr;
  viconviewIcon* icon = viconviewCreateIcon(view);
  EXPECT_EQ(raised([&] { viconviewAddIcon(view, icon); }, &message), &viconviewNoGeometryProcClass);
  EXPECT_EQ(message, "_viconviewAddIcon -- viconviewView has no GeometryProc");
  EXPECT_EQ(raised([&] { viconviewArrange(view); }, &message), &viconviewNoGeometryProcClass);
  EXPECT_EQ(message, "viconviewInitGridIterator -- viconviewView has no GeometryProc");
  EXPECT_TRUE(vexClassDerives(&viconviewNoGeometryProcClass, &vexArgClass));

  EXPECT_EQ(raised([&] { viconviewGetIconPosition(icon); }, &message), &viconviewOrphanIconClass);
  EXPECT_EQ(message, "viconviewGetIconPosition -- icon isn't in a viconview");
  EXPECT_EQ(raised([&] { viconviewSetIconPosition(icon, vpoint{1, 1}); }, &message), &viconviewOrphanIconClass);
  EXPECT_EQ(message, "viconviewSetIconPosition -- icon isn't in a viconview");
  EXPECT_TRUE(vexClassDerives(&viconviewOrphanIconClass, &vexArgClass));
  viconviewDestroyIcon(icon);
  viconviewSetView(view, viconviewGetIconView());
  vinstanceDestroy(bare);
}

TEST_F(IconViews, AGridStepOfZeroStillFindsRoom) {
  auto* flat = static_cast<viconviewView*>(vinstanceCreate(viconviewViewGetDefaultClass()));
  flat->geometry = viconviewIconGeometry;  // grid 0 x 0, no image
  viconviewSetView(view, flat);
  std::vector<viconviewIcon*> icons;
  for (const char* n : {"a", "b", "c"}) icons.push_back(add(n));
  EXPECT_EQ(view->iconCount, 3);
  for (std::size_t i = 1; i < icons.size(); ++i) {
    vpoint p = viconviewGetIconPosition(icons[i]), q = viconviewGetIconPosition(icons[i - 1]);
    EXPECT_FALSE(p.x == q.x && p.y == q.y);
  }
  viconviewSetView(view, viconviewGetIconView());
  vinstanceDestroy(flat);
}

TEST_F(IconViews, RefusedSelectorsSizesAndTheTopEdgeKeptOnResize) {
  add("x");
  for (int selector : {21, 22, 23, 24, 30})
    EXPECT_EQ(vobjectAttributedOf(view)->issueSelector(view, selector, nullptr), 0) << selector;
  EXPECT_NE(vobjectAttributedOf(view)->issueSelector(view, 29, nullptr), 0);  // select all goes on
  EXPECT_EQ(vdomainSelectedCount(view->domain, view->slot), 2);
  int w = 0, h = 0;
  vdialogGetItemMinSize(view, &w, &h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 40);
  vdialogGetItemNaturalSize(view, &w, &h);
  EXPECT_EQ(w, view->domain->bounds.width);

  // The top icon keeps its distance from the item's top edge.
  viconviewIcon* top = viconviewIconOf(view->domain->first);
  auto fromTop = [&] {
    vrect r;
    vdomainviewDomainRectToView(view, &top->object->rect, &r);
    return view->rect.y + view->rect.height - (r.y + r.height);
  };
  int before = fromTop();
  for (vrect r : {vrect{0, 0, 260, 120}, vrect{0, 0, 260, 320}, vrect{0, 40, 200, 150}}) {
    vdialogSetItemRect(view, &r);
    EXPECT_EQ(fromTop(), before) << r.height;
  }
}

TEST_F(IconViews, TheStoredFormKeepsTheViewTypeAndTheIcons) {
  add("alpha");
  add("beta");
  viconviewSetView(view, viconviewGetNameView());
  vresource file = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(file, vnameInternLiteral("View"), vresDICTIONARY);
  vobjectAttributedOf(view)->store(view, r);
  EXPECT_EQ(vresourceGetInteger(r, vnameInternLiteral("ViewType")), 2);

  auto* loaded = static_cast<viconview*>(vobjectLoad(r));
  ASSERT_EQ(vclassRec<vclass>(loaded), static_cast<vclass*>(viconviewGetDefaultClass()));
  EXPECT_EQ(loaded->viewType, viconviewGetNameView());
  EXPECT_EQ(loaded->iconCount, 2);
  std::vector<std::string> names;
  for (vdomainObject* o = loaded->domain->first; o; o = o->next)
    if (viconviewIcon* icon = viconviewIconOf(o)) {
      EXPECT_EQ(icon->owner, loaded);
      if (o->type == viconviewIMAGE_OBJECT) names.push_back(icon->name);
    }
  EXPECT_EQ(names, (std::vector<std::string>{"beta", "alpha"}));
  vinstanceDestroy(loaded);

  // Any value but 1 loads as the name view.
  for (int stored : {1, 7}) {
    vresourceSetInteger(r, vnameInternLiteral("ViewType"), stored);
    auto* again = static_cast<viconview*>(vobjectLoad(r));
    EXPECT_EQ(again->viewType, stored == 1 ? viconviewGetIconView() : viconviewGetNameView());
    vinstanceDestroy(again);
  }
  vresourceCloseFile(file);
}

struct IconViewWindow : DomainWindowFixture {
  void SetUp() override {
    DomainWindowFixture::SetUp();
    auto* v = viconviewCreate();
    vrect r{10, 10, 280, 160};
    vdialogSetItemRect(v, &r);
    for (const char* n : {"Session", "Registers", "Memory", "Disassembly", ""}) {
      viconviewIcon* icon = viconviewCreateIcon(v);
      if (*n) viconviewSetIconNameC(icon, n);
      viconviewAddIcon(v, icon);
    }
    vdomainSet* s = vdomainCreateSetOf(&v->domain->first, 1);  // the last one added
    vdomainClassOf(v->domain)->selectObjects(v->domain, v->slot, s);
    vdomainDestroySet(s);
    show(v);
  }
};

TEST_F(IconViewWindow, BothViewTypesDrawn) {
  auto* v = static_cast<viconview*>(item);
  redraw();
  EXPECT_TRUE(matches("icons"));
  viconviewSetView(v, viconviewGetNameView());
  viconviewArrange(v);
  redraw();
  EXPECT_TRUE(matches("names"));
}

// Eight icons, the fourth with a long name: two rows on the same columns,
// no name drawn over another.
struct LongNameWindow : DomainWindowFixture {
  void SetUp() override {
    DomainWindowFixture::SetUp();
    w->rect = {30, 30, 360, 200};
    auto* v = viconviewCreate();
    vrect r{10, 10, 340, 180};
    vdialogSetItemRect(v, &r);
    for (const char* n : {"Session", "Registers", "Memory", "Disassembly", "Watch", "Stack", "Trace", "Files"}) {
      viconviewIcon* icon = viconviewCreateIcon(v);
      viconviewSetIconNameC(icon, n);
      viconviewAddIcon(v, icon);
    }
    show(v);
  }
};

TEST_F(LongNameWindow, TheColumnsHoldUnderALongName) {
  redraw();
  EXPECT_TRUE(matches("long_name"));
}

}  // namespace
