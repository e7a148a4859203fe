// Damage, erase and update, read back from the window's pixels and the
// native update area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw_internal.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"

// Found by argument lookup: vrect lives in the global namespace.
static bool operator==(const vrect& a, const vrect& b) { return vrectEqual(&a, &b); }
static std::ostream& operator<<(std::ostream& os, const vrect& r) {
  return os << "(" << r.x << "," << r.y << "," << r.width << "," << r.height << ")";
}

namespace {

bool drawContent = true;

// The content: the whole window in the current colour (black).
void fillWhole(vwindow* w) {
  vrect all{0, 0, w->rect.width, w->rect.height};
  if (drawContent) vdrawFillRects(&all, 1);
}

constexpr win::COLORREF kMarker = 0xFF0000, kWhitePixel = 0xFFFFFF, kBlackPixel = 0;

struct Damage : MSWFixture {
  vwindow* top = nullptr;
  void (*savedDraw)(vwindow*) = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    top = open(vwindowDECO_TOP_LEVEL | 0x3F, {100, 100, 200, 100});
    savedDraw = vwindowClassOf(top)->draw;
    vwindowClassOf(top)->draw = fillWhole;
    settle();
  }
  void TearDown() override {
    vwindowClassOf(top)->draw = savedDraw;
    close(top);
    vwindowDestroy(top);
  }
  // Paints what is pending natively, then empties the lists and covers
  // the window with a marker colour that only later drawing changes.
  void settle() {
    win::UpdateWindow(top->native->hwnd);
    update();
    win::HDC hdc = win::GetDC(top->native->hwnd);
    win::HBRUSH b = win::CreateSolidBrush(kMarker);
    win::RECT all{0, 0, 200, 100};
    win::FillRect(hdc, &all, b);
    win::DeleteObject(b);
    win::ReleaseDC(top->native->hwnd, hdc);
  }
  // A pixel by framework position (from the bottom left).
  win::COLORREF at(int x, int y) { return win::test::Pixel(top->native->hwnd, x, 100 - 1 - y); }
  void inval(vrect r, int flags) { vwindowClassOf(top)->inval(top, &r, flags); }
  void update() { vwindowClassOf(top)->handleUpdate(top, nullptr); }
  static std::vector<vrect> rects(const vwindowMSWRectList& l) { return {l.rects, l.rects + l.count}; }
  win::RECT nativeUpdate() {
    win::RECT r{};
    win::GetUpdateRect(top->native->hwnd, &r, 0);
    return r;
  }
};


constexpr vrect kArea{10, 20, 30, 40};

TEST_F(Damage, InvalFlagsDecideWhatIsRecordedAndInvalidated) {
  struct Case {
    int flags;
    bool damage, erase, native;
  };
  const Case cases[] = {
      {0, true, true, true}, {1, true, false, true}, {8, false, false, false}, {16, true, true, false},
      {16 | 1, true, false, false},
  };
  for (const Case& c : cases) {
    inval(kArea, c.flags);
    EXPECT_EQ(top->native->damage.count, c.damage ? 1 : 0) << c.flags;
    EXPECT_EQ(top->native->erase.count, c.erase ? 1 : 0) << c.flags;
    win::RECT u = nativeUpdate();
    if (c.native) {
      // Native top = window height - y - height.
      EXPECT_EQ(u.left, 10) << c.flags;
      EXPECT_EQ(u.top, 100 - 20 - 40) << c.flags;
      EXPECT_EQ(u.bottom, 100 - 20) << c.flags;
    } else {
      EXPECT_EQ(u.right - u.left, 0) << c.flags;
    }
    settle();
  }
  // The shared empty list adds nothing.
  vwindowClassOf(top)->inval(top, vrectCreateList(0), 0);
  EXPECT_EQ(top->native->damage.count, 0);
}

TEST_F(Damage, UpdateClipsToTheDamageAndErasesWithTheBackground) {
  vwindow* popup = open(0, {20, 20, 50, 50}, top);
  // The erase alone: the background inside the damage, nothing outside.
  drawContent = false;
  inval(kArea, 0);
  update();
  EXPECT_EQ(at(10, 20), kWhitePixel);
  EXPECT_EQ(at(39, 59), kWhitePixel);
  EXPECT_EQ(at(9, 20), kMarker);
  EXPECT_EQ(at(40, 59), kMarker);
  EXPECT_EQ(at(10, 60), kMarker);
  // The erase covered the native update area: nothing is left to paint.
  EXPECT_EQ(nativeUpdate().right, 0);
  EXPECT_EQ(top->native->damage.count, 0);
  EXPECT_EQ(top->native->erase.count, 0);
  EXPECT_TRUE(top->native->flags & vwindowMSW_NATIVE_ERASE);
  // The content of the whole window lands inside the damage only.
  drawContent = true;
  settle();
  inval(kArea, 0);
  update();
  EXPECT_EQ(at(10, 20), kBlackPixel);
  EXPECT_EQ(at(39, 59), kBlackPixel);
  EXPECT_EQ(at(9, 20), kMarker);
  EXPECT_EQ(at(10, 19), kMarker);

  // Overlapping damage: erased where asked, drawn over the union.
  settle();
  drawContent = false;
  inval({0, 0, 20, 20}, 0);
  inval({10, 10, 20, 20}, 1);
  update();
  EXPECT_EQ(at(5, 5), kWhitePixel);
  EXPECT_EQ(at(25, 25), kMarker);  // damaged without an erase
  drawContent = true;
  settle();
  inval({0, 0, 20, 20}, 0);
  inval({10, 10, 20, 20}, 1);
  update();
  for (auto [x, y] : {std::pair{5, 5}, {25, 25}, {15, 15}, {29, 29}}) EXPECT_EQ(at(x, y), kBlackPixel) << x << "," << y;
  for (auto [x, y] : {std::pair{25, 5}, {5, 25}, {30, 30}}) EXPECT_EQ(at(x, y), kMarker) << x << "," << y;
  close(popup);
  vwindowDestroy(popup);
}

TEST_F(Damage, UpdatesWithoutEraseOrWithoutDamage) {
  update();
  EXPECT_EQ(at(0, 0), kMarker);
  top->decoration &= ~vwindowDECO_ERASE;
  drawContent = false;
  inval(kArea, 0);
  update();
  EXPECT_EQ(at(10, 20), kMarker);  // no erase
  drawContent = true;
  inval(kArea, 0);
  update();
  EXPECT_EQ(at(10, 20), kBlackPixel);
  EXPECT_EQ(at(9, 20), kMarker);
  top->decoration |= vwindowDECO_ERASE;
  settle();
  // A closed window drops its lists and draws nothing.
  inval(kArea, 16);
  top->flags |= vwindowICONIFIED;
  update();
  top->flags &= ~vwindowICONIFIED;
  EXPECT_EQ(at(10, 20), kMarker);
  EXPECT_EQ(top->native->damage.count, 0);
}

// Binding the window again: outside an update the whole window is drawable
// (the last update's damage no longer hides shaded frames); inside its own
// update the drawing stays within the damage.
TEST_F(Damage, BindingAgainDrawsTheWholeWindowOutsideAnUpdateAndTheDamageInside) {
  inval(kArea, 0);
  update();
  settle();
  vdrawGSave();
  vwindowClassOf(top)->bindDraw(top, 0);
  vrect frame{100, 10, 40, 30};
  vdrawRectsFrameShaded(&frame, 1, nullptr, vcolorGetBlack(), vcolorGetBlack());
  vdrawRectFill(150, 60, 10, 10);
  vdrawGRestore();
  for (auto [x, y] : {std::pair{100, 10}, {139, 39}, {100, 39}, {139, 10}, {150, 60}, {159, 69}})
    EXPECT_EQ(at(x, y), kBlackPixel) << x << "," << y;
  EXPECT_EQ(at(120, 25), kMarker) << "inside the frame";
  EXPECT_EQ(at(99, 10), kMarker);

  settle();
  vwindowClassOf(top)->draw = [](vwindow* w) {
    vdrawGSave();
    vwindowClassOf(w)->bindDraw(w, 0);  // as an item list's drawing state does
    fillWhole(w);
    vdrawGRestore();
  };
  inval(kArea, 1);
  update();
  vwindowClassOf(top)->draw = fillWhole;
  EXPECT_EQ(at(10, 20), kBlackPixel);
  EXPECT_EQ(at(39, 59), kBlackPixel);
  for (auto [x, y] : {std::pair{9, 20}, {40, 59}, {10, 60}, {10, 19}, {120, 25}})
    EXPECT_EQ(at(x, y), kMarker) << x << "," << y;
  EXPECT_FALSE(top->native->flags & vwindowMSW_UPDATING);
}

TEST_F(Damage, ScrollingInvalidatesTheStripsAndMovesTheDamage) {
  const vrect area{0, 0, 100, 50};
  struct Case {
    int dx, dy;
    vrect strip;
  };
  const Case cases[] = {{10, 0, {0, 0, 10, 50}}, {-10, 0, {90, 0, 10, 50}}, {0, -10, {0, 40, 100, 10}},
                        {0, 10, {0, 0, 100, 10}}};
  for (const Case& c : cases) {
    inval({20, 20, 10, 10}, 16);
    inval({150, 60, 10, 10}, 16);  // outside the area: stays
    vwindowClassOf(top)->scroll(top, &area, c.dx, c.dy, 0);
    std::vector<vrect> damage = rects(top->native->damage);
    ASSERT_EQ(damage.size(), 3u) << c.dx << "," << c.dy;
    EXPECT_EQ(damage[0], (vrect{150, 60, 10, 10}));
    EXPECT_EQ(damage[1], (vrect{static_cast<std::int16_t>(20 + c.dx), static_cast<std::int16_t>(20 + c.dy), 10, 10}));
    EXPECT_EQ(damage[2], c.strip) << c.dx << "," << c.dy;
    settle();
  }
  // Flag 8 leaves the strips alone; nothing moves by (0, 0).
  vwindowClassOf(top)->scroll(top, &area, 10, 0, 8);
  EXPECT_EQ(top->native->damage.count, 0);
  inval({20, 20, 10, 10}, 16);
  vwindowClassOf(top)->scroll(top, &area, 0, 0, 0);
  EXPECT_EQ(rects(top->native->damage), (std::vector<vrect>{{20, 20, 10, 10}}));
  settle();
}

// A source the window cannot show (here under a child window) cannot be
// copied: that part of the destination is invalidated without erase.
TEST_F(Damage, ScrollInvalidatesDestinationsOfHiddenSources) {
  win::HWND h = top->native->hwnd;
  // Over framework (0, 0, 30, 30) of the 200 x 100 window.
  win::HWND child = win::CreateWindowExA(0, _vwindowMSW().classNames[0].c_str(), "", win::WS_CHILD | win::WS_VISIBLE,
                                         0, 70, 30, 30, h, nullptr, win::GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  settle();
  const vrect area{0, 0, 200, 100};
  vwindowClassOf(top)->scroll(top, &area, 40, 0, 0);
  EXPECT_EQ(rects(top->native->damage), (std::vector<vrect>{{0, 0, 40, 100}, {40, 0, 30, 30}}));
  EXPECT_EQ(rects(top->native->erase), (std::vector<vrect>{{0, 0, 40, 100}}));
  win::DestroyWindow(child);
  settle();
}

TEST_F(Damage, PaletteRepaintInvalidatesTheWindowAndItsOwnedChildren) {
  vwindow* child = open(0x3F, {0, 0, 40, 30}, top);
  vwindowExtension* x = vwindowGetExtension(top);
  x->childBegin = static_cast<vwindow**>(vmemAlloc(sizeof(vwindow*) * 4));
  x->childBegin[0] = child;
  x->childEnd = x->childBegin + 1;
  x->childCap = x->childBegin + 4;
  vwindowMSWPaletteRepaint(top, nullptr, 16 | 1);
  EXPECT_EQ(rects(top->native->damage), (std::vector<vrect>{{0, 0, 200, 100}}));
  EXPECT_EQ(child->native->damage.count, 1);
  EXPECT_EQ(child->native->erase.count, 0);
  x->childEnd = x->childBegin;
  close(child);
  vwindowDestroy(child);
  settle();
}

}  // namespace
