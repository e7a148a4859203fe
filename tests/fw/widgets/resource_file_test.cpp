// A layout and a list loaded from a ".vr" file that vrtool built.
#include <gtest/gtest.h>

#include "fw/data/btree.h"
#include "fw/data/vrstore.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/spring.h"

namespace {

// Buttons with a natural size of 60 x 20, 8 apart.
struct Buttons {
  vrect rects[2]{};
};
vspringArrangerClassRec* buttonArranger() {
  static vspringArrangerClassRec* a = [] {
    auto* r = vclassSpawnOf<vspringArrangerClassRec>(vspringGetArrangerClass());
    r->itemObject = [](void* c, int i) -> void* { return &static_cast<Buttons*>(c)->rects[i]; };
    r->rect = [](void*, void* o, vrect* out) { *out = *static_cast<vrect*>(o); };
    r->applyRect = [](void*, void* o, const vrect* in) { *static_cast<vrect*>(o) = *in; };
    r->naturalSize = [](void*, void*, std::int32_t* w, std::int32_t* h) { *w = 60, *h = 20; };
    r->spacing = [](void*, void*, void*, int) { return 8; };
    return r;
  }();
  return a;
}

TEST(ListsResourceFile, ArrangesALoadedLayoutAndLoadsAList) {
  vrstoreInstallInterface();
  vfsPath* path = vfsNewPathFromString(WIDGETS_LISTS_VR);
  vresource root = vrstoreOpenFile(path, vbtreeREAD);
  vfsFreePath(path);
  vlistGetDefaultClass();
  vspringSolution* layout = vspringSolutionLoad(vrstoreGet(root, vnameInternLiteral("Layout")));
  EXPECT_EQ(vspringSolutionGetStepCount(layout), 14);
  EXPECT_EQ(vspringSolutionGetItemCount(layout), 2);

  // 200 x 100: the spring at the left takes 200 - (10 + 60 + 8 + 60 + 10).
  struct Case {
    std::int16_t width, height;
    vrect first, second;
  } cases[] = {{200, 100, {62, 10, 60, 20}, {130, 10, 60, 20}}, {300, 50, {162, 10, 60, 20}, {230, 10, 60, 20}}};
  for (const Case& c : cases) {
    Buttons buttons;
    vrect container{0, 0, c.width, c.height};
    vspringSolutionArrange(buttonArranger(), &buttons, layout, &container);
    for (int i = 0; i < 2; ++i) {
      const vrect& want = i ? c.second : c.first;
      const vrect& got = buttons.rects[i];
      EXPECT_EQ(got.x, want.x) << c.width << " item " << i;
      EXPECT_EQ(got.y, want.y) << c.width << " item " << i;
      EXPECT_EQ(got.width, want.width) << c.width << " item " << i;
      EXPECT_EQ(got.height, want.height) << c.width << " item " << i;
    }
  }
  Buttons buttons;
  std::int32_t w = 0, h = 0;
  vspringSolutionDetermineMinSize(buttonArranger(), &buttons, layout, &w, &h);
  EXPECT_EQ(w, 148);
  EXPECT_EQ(h, 30);
  vinstanceDestroy(layout);

  auto* table = static_cast<vlist*>(vobjectLoad(vrstoreGet(root, vnameInternLiteral("Table"))));
  EXPECT_EQ(vlistGetRowCount(table), 4);
  EXPECT_EQ(vlistGetColumnCount(table), 2);
  EXPECT_EQ(table->cells.flags, vlistROW_MAJOR);
  vinstanceDestroy(table);
  vrstoreCloseFile(root);
}

}  // namespace
