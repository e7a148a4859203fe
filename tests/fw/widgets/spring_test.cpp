#include "fw/widgets/lists/spring.h"

#include <gtest/gtest.h>

#include <vector>

#include "fw/data/vrstore.h"
#include "widgets_support.h"

namespace {

// Items of a test container: what the arranger answers and what it is told.
struct Box {
  vrect rect{0, 0, 0, 0};
  std::int32_t minW = 0, minH = 0, natW = 0, natH = 0;
  int applied = 0;
  int naturalAsked = 0;
};
struct Scene {
  std::vector<Box> boxes;
  std::int32_t spacing = 7;
  std::vector<int> spacingSides;
};

vspringArrangerClassRec* testArranger() {
  static vspringArrangerClassRec* a = [] {
    auto* r = vclassSpawnOf<vspringArrangerClassRec>(vspringGetArrangerClass());
    r->itemObject = [](void* c, int i) -> void* {
      auto* s = static_cast<Scene*>(c);
      return i < static_cast<int>(s->boxes.size()) ? &s->boxes[static_cast<std::size_t>(i)] : nullptr;
    };
    r->applyRect = [](void*, void* o, const vrect* rect) {
      static_cast<Box*>(o)->rect = *rect;
      ++static_cast<Box*>(o)->applied;
    };
    r->rect = [](void*, void* o, vrect* out) { *out = static_cast<Box*>(o)->rect; };
    r->minimumSize = [](void*, void* o, std::int32_t* w, std::int32_t* h) {
      *w = static_cast<Box*>(o)->minW, *h = static_cast<Box*>(o)->minH;
    };
    r->naturalSize = [](void*, void* o, std::int32_t* w, std::int32_t* h) {
      auto* b = static_cast<Box*>(o);
      ++b->naturalAsked;
      *w = b->natW, *h = b->natH;
    };
    r->spacing = [](void* c, void*, void*, int sides) {
      static_cast<Scene*>(c)->spacingSides.push_back(sides);
      return static_cast<Scene*>(c)->spacing;
    };
    return r;
  }();
  return a;
}

struct Step {
  int flags, length, index;
};
vspringSolution* solutionOf(std::initializer_list<Step> steps) {
  vspringSolution* s = vspringSolutionCreate();
  for (const Step& st : steps) vspringSolutionAppendStep(s, st.flags, st.length, st.index);
  return s;
}

constexpr int SP = vspringSPRING, FAR = vspringFAR_EDGE, END = vspringEND_CHAIN, CMP = vspringCOMPUTED,
              VERT = vspringVERTICAL, REV = vspringREVERSE;

// Two 10-wide items between three springs along x.
vspringSolution* threeSprings() {
  return solutionOf({{SP, 0, -1}, {0, 10, 0}, {FAR | SP, 0, 0}, {0, 10, 1}, {FAR | SP, 0, 1}, {FAR | END, 0, -1}});
}

TEST(SpringSolver, SpringsShareTheFreeSpaceWithTheRestToTheLast) {
  struct Case {
    std::int16_t width;
    std::int16_t x0, x1;  // the items' positions; the last gap is what remains
  } cases[] = {{30, 3, 16}, {10, -3, 4}, {20, 0, 10}, {31, 3, 17}};
  for (const Case& c : cases) {
    Scene scene;
    scene.boxes.resize(2);
    vspringSolution* s = threeSprings();
    vrect container{0, 0, c.width, 50};
    vspringSolutionArrange(testArranger(), &scene, s, &container);
    EXPECT_EQ(scene.boxes[0].rect.x, c.x0) << c.width;
    EXPECT_EQ(scene.boxes[1].rect.x, c.x1) << c.width;
    EXPECT_EQ(scene.boxes[0].rect.width, 10);
    EXPECT_EQ(scene.boxes[1].applied, 1);
    EXPECT_EQ(s->chain, nullptr);  // not kept
    vinstanceDestroy(s);
  }
  // 10 over 3: 3, 3, 4; -10: -3, -3, -4.
  EXPECT_EQ(cases[0].x1 - (cases[0].x0 + 10), 3);
  EXPECT_EQ(30 - (cases[0].x1 + 10), 4);
  EXPECT_EQ(10 - (cases[1].x1 + 10), -4);
}

TEST(SpringSolver, EmptySolutionsMinimumsAndStretchableItems) {
  Scene scene;
  vspringSolution* none = vspringSolutionCreate();
  vrect container{0, 0, 100, 100};
  vspringSolutionArrange(testArranger(), &scene, none, &container);
  std::int32_t w = -1, h = -1;
  vspringSolutionDetermineMinSize(testArranger(), &scene, none, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  vinstanceDestroy(none);

  // A fixed 10 between the edges of an item whose minimum is 30 widens it.
  scene.boxes.resize(1);
  scene.boxes[0].minW = 30;
  vspringSolution* fixed = solutionOf({{0, 5, -1}, {0, 10, 0}, {FAR, 5, 0}, {FAR | END, 0, -1}});
  vspringSolutionArrange(testArranger(), &scene, fixed, &container);
  EXPECT_EQ(scene.boxes[0].rect.x, 5);
  EXPECT_EQ(scene.boxes[0].rect.width, 30);
  vspringSolutionDetermineMinSize(testArranger(), &scene, fixed, &w, &h);
  EXPECT_EQ(w, 0);  // without springs a chain asks nothing of the container
  vinstanceDestroy(fixed);

  // With springs around it the container must hold 5 + 30 + 5.
  vspringSolution* sprung = solutionOf({{SP, 5, -1}, {0, 10, 0}, {FAR | SP, 5, 0}, {FAR | END, 0, -1}});
  vspringSolutionDetermineMinSize(testArranger(), &scene, sprung, &w, &h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 0);
  vinstanceDestroy(sprung);

  // A stretchable item (a spring between its own edges) of minimum 30 and
  // length 10 needs a share of 20 over three springs: 20 + 3 x 20.
  vspringSolution* stretch = solutionOf({{SP, 5, -1}, {SP, 10, 0}, {FAR | SP, 5, 0}, {FAR | END, 0, -1}});
  vspringSolutionDetermineMinSize(testArranger(), &scene, stretch, &w, &h);
  EXPECT_EQ(w, 80);
  struct Arranged {
    std::int16_t width, x, itemWidth;
  } arranged[] = {{80, 25, 30}, {50, 10, 30}, {110, 35, 40}};
  for (const Arranged& a : arranged) {
    vrect box{0, 0, a.width, 20};
    vspringSolutionArrange(testArranger(), &scene, stretch, &box);
    EXPECT_EQ(scene.boxes[0].rect.x, a.x) << a.width;
    EXPECT_EQ(scene.boxes[0].rect.width, a.itemWidth) << a.width;
  }
  vinstanceDestroy(stretch);
}

TEST(SpringSolver, ComputedLengthsFromSpacingsAndNaturalSizes) {
  Scene scene;
  scene.boxes.resize(2);
  scene.boxes[0].natW = 24;
  scene.boxes[1].natH = 12;
  scene.boxes[1].minH = 15;
  vspringSolution* s = solutionOf({
      {CMP, 0, -1},                // container near to item 0: spacing as is
      {CMP, 0, 0},                 // item 0 across: its natural width
      {FAR | CMP, 0, 0},           // item 0 far to item 1: spacing as is
      {CMP, 0, 1},                 // item 1 near to item 1 far: natural width 0
      {FAR | CMP | REV, 0, 1},     // far, reversed: negated
      {CMP, 0, 0},                 // item 0 near to the container: negated
      {FAR | END, 3, -1},          // a chain's last step keeps its length
      {VERT | FAR | CMP, 0, -1},   // container far: negated
      {VERT | CMP, 0, 1},          // vertical natural height, raised to the minimum
      {VERT | FAR | END, 0, 1},
  });
  vspringSolutionKeepCompiled(s, 1);
  vrect container{0, 0, 200, 100};
  vspringSolutionArrange(testArranger(), &scene, s, &container);
  ASSERT_NE(s->chain, nullptr);
  const int lengths[] = {7, 24, 7, 0, -7, -7, 3, -7, 15, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s->chain[i].length, lengths[i]) << "step " << i;
  EXPECT_EQ(scene.spacingSides, (std::vector<int>{0, 2, 2, 1, 6}));
  EXPECT_EQ(scene.boxes[0].naturalAsked, 1);  // once, not per step

  // A kept form answers again without asking; a kept solution cleared and
  // refilled with more steps and items is compiled afresh.
  scene.spacingSides.clear();
  vspringSolutionArrange(testArranger(), &scene, s, &container);
  EXPECT_TRUE(scene.spacingSides.empty());
  vspringSolutionClear(s);
  EXPECT_EQ(vspringSolutionGetStepCount(s), 0);
  scene.boxes.resize(4);
  for (int i = 0; i < 4; ++i) {
    vspringSolutionAppendStep(s, i == 0 ? SP : 0, 10, i - 1);
    vspringSolutionAppendStep(s, FAR | SP, 0, i);
  }
  vspringSolutionAppendStep(s, FAR | END, 0, -1);
  EXPECT_EQ(vspringSolutionGetItemCount(s), 4);
  vspringSolutionArrange(testArranger(), &scene, s, &container);
  EXPECT_EQ(s->compiledSteps, 9);
  EXPECT_EQ(scene.boxes[3].applied, 1);
  vspringSolutionKeepCompiled(s, 0);
  EXPECT_EQ(s->chain, nullptr);
  vinstanceDestroy(s);
}

TEST(SpringSolver, AccessorsCopiesAndRefusedArguments) {
  vspringSolution* s = threeSprings();
  EXPECT_EQ(vspringSolutionGetStepCount(s), 6);
  EXPECT_EQ(vspringSolutionGetItemCount(s), 2);
  EXPECT_EQ(vspringSolutionGetStepFlags(s, 2), FAR | SP);
  EXPECT_EQ(vspringSolutionGetStepLength(s, 1), 10);
  EXPECT_EQ(vspringSolutionGetStepIndex(s, 5), -1);
  EXPECT_EQ(raisedClass([&] { vspringSolutionGetStepIndex(s, 6); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([&] { vspringSolutionGetStepFlags(s, -1); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([] { vspringSolutionGetStepCount(nullptr); }), &vexArgNullClass);
  EXPECT_EQ(raisedClass([] { vspringSolutionGetStepLength(nullptr, 0); }), &vexArgNullClass);
  EXPECT_EQ(raisedClass([&] { vspringSolutionAppendStep(s, 0, 0, -2); }), &vexArgRangeClass);
  for (int i = 0; i < 5; ++i) vspringSolutionAppendStep(s, 0, i, 0);
  EXPECT_EQ(s->capacity, 16);

  vspringSolutionKeepCompiled(s, 1);
  Scene scene;
  scene.boxes.resize(2);
  vrect container{0, 0, 30, 30};
  vspringSolutionArrange(testArranger(), &scene, s, &container);
  auto* copy = static_cast<vspringSolution*>(vobjectClone(s));
  EXPECT_EQ(copy->stepCount, 11);
  EXPECT_EQ(copy->chain, nullptr);
  EXPECT_NE(copy->indices, s->indices);
  EXPECT_EQ(copy->lengths[10], 4);
  vinstanceDestroy(copy);
  vinstanceDestroy(s);
}

TEST(SpringSolver, ResourceFormsOldAndNewAndRefusals) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vspringSolution* s = threeSprings();
  vresource r = vrstoreCreate(root, vnameInternLiteral("Solution"), vresDICTIONARY);
  vrstoreCreateArray(r, vname_Steps, vresDICTIONARY, 0);
  vspringSolutionGetDefaultClass()->store(s, r);
  EXPECT_EQ(vrstoreGetInteger(r, vnameInternLiteral("Version")), 65792);
  vresource gone;
  EXPECT_FALSE(vrstoreTestGet(r, vname_Steps, &gone));
  vspringSolution* back = vspringSolutionLoad(r);
  EXPECT_EQ(back->cls, vspringSolutionGetDefaultClass());
  ASSERT_EQ(back->stepCount, 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(back->indices[i], s->indices[i]);
    EXPECT_EQ(back->lengths[i], s->lengths[i]);
    EXPECT_EQ(back->stepFlags[i], s->stepFlags[i]);
  }
  vinstanceDestroy(back);

  // The older form wins over the arrays; an element without "Index" takes
  // it from the low byte of "Flags", with flags 0.
  vresource steps = vrstoreCreateArray(r, vname_Steps, vresDICTIONARY, 0);
  vresource first = vrstoreInsertAt(steps, 0, vresDICTIONARY);
  vrstoreSetInteger(first, vname_Index, 3);
  vrstoreSetInteger(first, vname_Flags, SP);
  vrstoreSetInteger(first, vname_Length, 9);
  vresource second = vrstoreInsertAt(steps, 1, vresDICTIONARY);
  vrstoreSetInteger(second, vname_Flags, 0x1ff);
  vrstoreSetInteger(second, vname_Length, -4);
  vrstoreRemove(r, vname_Class);
  back = vspringSolutionLoad(r);
  ASSERT_EQ(back->stepCount, 2);
  EXPECT_EQ(back->indices[0], 3);
  EXPECT_EQ(back->stepFlags[0], SP);
  EXPECT_EQ(back->indices[1], -1);
  EXPECT_EQ(back->stepFlags[1], 0);
  EXPECT_EQ(back->lengths[1], -4);
  EXPECT_EQ(back->itemCount, 4);
  vinstanceDestroy(back);
  vrstoreRemove(r, vname_Steps);

  // Refused: an index beyond 32766, arrays of different lengths.
  vrstoreSetAtInteger(vrstoreGet(r, vname_Index), 1, 40000);
  EXPECT_EQ(raisedClass([&] { vspringSolutionLoad(r); }), &vexArgClass);
  vrstoreSetAtInteger(vrstoreGet(r, vname_Index), 1, -2);
  EXPECT_EQ(raisedClass([&] { vspringSolutionLoad(r); }), &vexArgClass);
  vrstoreSetAtInteger(vrstoreGet(r, vname_Index), 1, 7);
  vrstoreSetCount(vrstoreGet(r, vname_Length), 5);
  EXPECT_EQ(raisedClass([&] { vspringSolutionLoad(r); }), &vexArgClass);
  vrstoreSetCount(vrstoreGet(r, vname_Length), 6);
  // "ItemCount" rises to the highest index + 1.
  back = vspringSolutionLoad(r);
  EXPECT_EQ(back->itemCount, 8);
  vinstanceDestroy(back);
  vinstanceDestroy(s);
  vrstoreCloseFile(root);
}

}  // namespace
