#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/image.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/recording_driver.h"

namespace {

using Log = std::vector<std::string>;

int window = 0;
constexpr vfixed F = vfixedONE;

class Primitives : public ::testing::Test {
 public:
  void SetUp() override {
    _vdrawShutdown();
    RecordingDriver& d = recordingDriver();
    d.reset();
    bind(nullptr);
    vdrawRegisterImageDriver(&d.record, 0);
  }
  void TearDown() override { _vdrawShutdown(); }
  static void bind(const vdrawPrimitiveTable* table) {
    _vdrawBindDevice(vdrawBIND_WINDOW, &window, table, &vdrawDefaultDeviceTable, &recordingDriver().record);
    vdrawSyncState(0xFFFF);
    recordingDriver().take();
  }
  static Log take() {
    Log out;
    for (const std::string& s : recordingDriver().take())
      if (s.rfind("sync", 0) != 0) out.push_back(s);
    return out;
  }
  static std::string arc(const char* op, const char* box, int start, int sweep) {
    return std::string(op) + "#1 " + box + " " + std::to_string(start * F) + " " + std::to_string(sweep * F);
  }
};

TEST_F(Primitives, RectanglesReachTheDriverConvertedByKind) {
  struct Case {
    const char* what;
    vmatrix m;
    vrect in;
    const char* fill;   // what fillRects receives, or the first line of the path route
    const char* frame;
  };
  const Case cases[] = {
      {"identity", {1, 0, 0, 1, 0, 0}, {10, 10, 20, 5}, "fillRects#1 (10,10,20,5)", "frameRects#1 (10,10,20,5)"},
      {"translation", {1, 0, 0, 1, 5, 6}, {10, 10, 20, 5}, "fillRects#1 (15,16,20,5)", "frameRects#1 (15,16,20,5)"},
      {"y mirrored", {1, 0, 0, -1, 3, 100}, {10, 10, 20, 5}, "fillRects#1 (13,85,20,5)", "frameRects#1 (13,85,20,5)"},
      {"scale 1.5: origin and size rounded apart", {1.5f, 0, 0, 1.5f, 0, 0}, {1, 1, 1, 1},
       "fillRects#1 (2,2,2,2)", "frameRects#1 (2,2,2,2)"},
      {"x mirrored by scale", {-1, 0, 0, 2, 100, 0}, {10, 10, 20, 5}, "fillRects#1 (70,20,20,10)",
       "frameRects#1 (70,20,20,10)"},
      {"rotation: as a path", {0, 1, -1, 0, 50, 0}, {10, 10, 20, 5}, "fillPolygon#1 4", "strokePolyline#1 5"},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawFillRects(&c.in, 1);
    EXPECT_EQ(take(), Log{c.fill}) << c.what;
    vdrawFrameRects(&c.in, 1);
    EXPECT_EQ(take(), Log{c.frame}) << c.what;
    vrectFloat f;
    vrectShortToFloat(&c.in, &f);
    vdrawFillRectsF(&f, 1);
    EXPECT_EQ(take(), Log{c.fill}) << c.what << " (float)";
  }
  vmatrix flip = {1, 0, 0, -1, 0, 100};
  vdrawSetMatrix(&flip);
  vrectFloat half = {0.5f, 0.5f, 1.5f, 1.5f};
  vdrawFillRectsF(&half, 1);
  EXPECT_EQ(take(), Log{"fillRects#1 (1,99,2,1)"}) << "through the matrix, origin and size each rounded";
}

TEST_F(Primitives, ArcsRunFromTheFirstAngleToTheSecond) {
  struct Case {
    const char* what;
    vmatrix m;
    int a1, a2;
    int start, sweep;
  };
  const Case cases[] = {
      {"equal angles: the whole ellipse", {1, 0, 0, 1, 0, 0}, 0, 0, 0, 360},
      {"90 to 180", {1, 0, 0, 1, 0, 0}, 90, 180, 90, 90},
      {"across zero", {1, 0, 0, 1, 0, 0}, 270, 90, 270, 180},
      {"negative first angle", {1, 0, 0, 1, 0, 0}, -90, 0, 270, 90},
      {"y mirrored", {1, 0, 0, -1, 0, 100}, 90, 180, 270, -90},
      {"x mirrored", {-1, 0, 0, 1, 100, 0}, 90, 180, 90, -90},
      {"x mirrored beyond 180", {-1, 0, 0, 1, 100, 0}, 200, 250, 340, -50},
  };
  vrect r = {40, 40, 20, 10};
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawFillChords(&r, 1, c.a1, c.a2);
    Log chords = take();
    ASSERT_EQ(chords.size(), 1u) << c.what;
    EXPECT_EQ(chords[0].substr(chords[0].rfind(')') + 2),
              std::to_string(c.start * F) + " " + std::to_string(c.sweep * F))
        << c.what;
    vdrawFillPies(&r, 1, c.a1, c.a2);
    vdrawFrameArcs(&r, 1, c.a1, c.a2);
    Log both = take();
    ASSERT_EQ(both.size(), 2u) << c.what;
    EXPECT_EQ(both[0].rfind("fillPies#1", 0), 0u) << c.what;
    EXPECT_EQ(both[1].rfind("frameArcs#1", 0), 0u) << c.what;
  }
  vmatrix rotation = {0, 1, -1, 0, 50, 0};
  vdrawSetMatrix(&rotation);
  vdrawFillChords(&r, 1, 0, 90);
  Log general = take();
  ASSERT_EQ(general.size(), 1u);
  EXPECT_EQ(general[0].rfind("fillPolygon#1", 0), 0u) << "the general kind fills the arc path";
  EXPECT_EQ(vdrawGetState()->flags & vdrawARC_MASK, 64) << "its arc mode restored";
}

TEST_F(Primitives, TablesWithoutShapesBuildArcPaths) {
  vdrawPrimitiveTable plain = *vdrawGetBuiltinPrimitives(0, 1);
  plain.flags = 0;
  bind(&plain);
  vrect square = {40, 40, 20, 20}, wide = {40, 40, 20, 10};
  vdrawFillPies(&square, 1, 90, 180);
  EXPECT_EQ(take(), Log{arc("fillPies", "(40,40,20,20)", 90, 90)}) << "the second angle, not a sweep";
  vdrawFillPies(&square, 1, 0, 360);
  EXPECT_EQ(take(), Log{arc("fillPies", "(40,40,20,20)", 0, 360)});
  vdrawSetLineWidth(1);
  vdrawFrameArcs(&square, 1, 0, 90);
  EXPECT_EQ(take(), Log{arc("frameArcs", "(40,40,20,20)", 0, 90)});
  vrect empty = {40, 40, 0, 20};
  vdrawFillChords(&empty, 1, 0, 90);
  EXPECT_EQ(take(), Log{}) << "empty rectangles are skipped";
  // Rounded rectangles: plain rectangles below radius 1, else four corner arcs.
  vdrawFillRoundRects(&square, 1, 0);
  EXPECT_EQ(take(), Log{"fillRects#1 (40,40,20,20)"});
  vdrawFrameRoundRects(&square, 1, 4);
  Log round = take();
  ASSERT_EQ(round.size(), 9u) << "four lines between four arcs, then the last line";
  EXPECT_EQ(round[1], arc("frameArcs", "(52,40,8,8)", 270, 90));
  _vdrawRoundRectPath(&square, 1, 0);
  EXPECT_EQ(vdrawGetState()->path->used, 5) << "radius 0: a plain rectangle sub-path";
  vdrawNewPath();
  // An ellipse is a circle's arc under a scale, undone afterwards.
  bind(nullptr);
  _vdrawArcPath(&wide, 1, 0, 360, 0);
  EXPECT_EQ(vdrawGetState()->matrix->matrix.d, 1.0f) << "the scale undone";
  vdrawFill(0);
  EXPECT_EQ(take(), Log{arc("fillChords", "(40,40,20,10)", 0, 360)});
}

TEST_F(Primitives, RoundedRectanglesPassTheirCornerByKind) {
  vrect r = {10, 10, 20, 20};
  vdrawFillRoundRects(&r, 1, 3);
  EXPECT_EQ(take(), Log{"fillRoundRects#1 (10,10,20,20) 3,3"});
  vmatrix scale = {1.5f, 0, 0, -2, 0, 100};
  vdrawSetMatrix(&scale);
  vdrawFrameRoundRects(&r, 1, 3);
  EXPECT_EQ(take(), Log{"frameRoundRects#1 (15,40,30,40) 5,6"});
}

TEST_F(Primitives, ClipRectanglesMeetTheClip) {
  vrect window = {0, 0, 100, 100};
  vdrawClipRects(&window, 1);
  vdrawState* s = vdrawGetState();
  EXPECT_EQ(s->clip->used, 1);
  vrect a = {10, 10, 50, 50};
  vdrawPathMoveTo(1, 1);
  vdrawClipRects(&a, 1);
  EXPECT_EQ(s->clip->bounds.width, 50);
  EXPECT_EQ(s->path->used, 0) << "a new path follows";
  EXPECT_TRUE(s->dirty & vdrawDIRTY_CLIP);
  vrect two[] = {{0, 0, 20, 20}, {40, 40, 30, 30}};
  vdrawClipRects(two, 2);
  ASSERT_EQ(s->clip->used, 2);
  EXPECT_EQ(s->clip->bounds.x, 10);
  EXPECT_EQ(s->clip->bounds.width, 50);
  vdrawClipRects(two, 1);
  EXPECT_EQ(s->clip->bounds.x, 10);
  EXPECT_EQ(s->clip->bounds.width, 10);
  vrect far[] = {{200, 200, 5, 5}, {300, 300, 5, 5}};
  vdrawClipRects(far, 2);
  EXPECT_EQ(s->clip->used, 1) << "nothing left: one empty rectangle";
  EXPECT_TRUE(vrectIsEmpty(&s->clip->bounds));
  // A mask clip is met through a path.
  vdrawInitClip();
  take();
  vdrawPathMoveTo(20, 20);
  vdrawLineTo(30, 20);
  vdrawLineTo(30, 30);
  vdrawClip(0);
  vrect corner = {25, 20, 50, 50};
  vdrawClipRects(&corner, 1);
  EXPECT_EQ(vdrawGetState()->clip->flags & vdrawPathKIND, vdrawPathMASK);
  EXPECT_EQ(vdrawGetState()->clip->bounds.x, 25);
  EXPECT_EQ(vdrawGetState()->clip->bounds.width, 5);
  // The device clip region from translated rectangles.
  vdrawInitClip();
  vdrawTranslate(5, 5);
  vdrawSetDeviceClipRects(&a, 1);
  EXPECT_EQ(vdrawGetDeviceClip()->bounds.x, 15);
}

}  // namespace

namespace {

// Each character advances 6 units; 'v' also 1 down.
const vfontDriver advancing = {
    nullptr,
    [](vfont*, vfixed* w, vfixed* s) { *w = 6 * 65536, *s = 0; },
    [](vfont*, vrectFixed* r) { *r = {0, -2 * 65536, 6 * 65536, 10 * 65536}; },
    [](vfont*) -> vfixed { return 8 * 65536; },
    [](vfont*) -> vfixed { return 2 * 65536; },
    [](vfont*, const char* chars, int n, vfixed* dx, vfixed* dy) {
      *dx = n * 6 * 65536;
      *dy = 0;
      for (int i = 0; i < n; ++i)
        if (chars[i] == 'v') *dy += 65536;
    },
    [](vfont*, const char*, int n, vrectFixed* r) { *r = {0, -2 * 65536, n * 6 * 65536, 10 * 65536}; },
};

class Text : public Primitives {
 public:
  vfont font{};
  void SetUp() override {
    Primitives::SetUp();
    font.matrix = &vmatrixIdentity;
    vfontSetDriver(&advancing);
    vdrawSetFont(&font);
  }
  static vfixed pointX() { return vdrawGetState()->path->x; }
  static vfixed pointY() { return vdrawGetState()->path->y; }
};

TEST_F(Text, ShowPlacesTextAtTheCurrentPointAndAdvances) {
  struct Case {
    const char* what;
    vmatrix m;
    const char* shown;  // the driver's line
    vfixed x, y;        // the device point after "ab" then "v"
  };
  const Case cases[] = {
      {"identity", {1, 0, 0, 1, 0, 0}, "showChars#1 ab at 10,20", 28 * F, 21 * F},
      {"translation", {1, 0, 0, 1, 5, 5}, "showChars#1 ab at 15,25", 33 * F, 26 * F},
      {"y mirrored: right, and y by the negated advance", {1, 0, 0, -1, 0, 100}, "showChars#1 ab at 10,80", 28 * F,
       79 * F},
      {"scaled: through the matrix", {2, 0, 0, 2, 0, 0}, "showChars#1 ab at 20,40", 56 * F, 42 * F},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawNewPath();
    vdrawPathMoveTo(10, 20);
    vdrawGetPrimitives()->Show("ab", 2);
    vdrawGetPrimitives()->Show("v", 1);
    Log log = take();
    ASSERT_EQ(log.size(), 2u) << c.what;
    EXPECT_EQ(log[0], c.shown) << c.what;
    EXPECT_EQ(pointX(), c.x) << c.what;
    EXPECT_EQ(pointY(), c.y) << c.what;
  }
  vdrawNewPath();
  EXPECT_EQ(raised([] { vdrawGetPrimitives()->Show("a", 1); }), &vdrawNoCurrentPointClass);
}

TEST_F(Text, PerCharacterShowsAddOffsetsAndWidths) {
  vdrawPathMoveTo(10, 20);
  const float offsets[] = {3, 1, 4, 0};
  vdrawGetPrimitives()->XYShow("ab", 2, offsets, 3);
  EXPECT_EQ(take(), (Log{"showChars#1 a at 10,20", "showChars#1 b at 13,21"}));
  EXPECT_EQ(pointX(), 17 * F);
  EXPECT_EQ(pointY(), 21 * F);
  vdrawPathMoveTo(0, 0);
  vdrawGetPrimitives()->AWidthShow(10, 0, ' ', 1, 0, "a b", 3);
  EXPECT_EQ(take(), (Log{"showChars#1 a at 0,0", "showChars#1   at 7,0", "showChars#1 b at 24,0"}));
  EXPECT_EQ(pointX(), 31 * F);
}

TEST_F(Text, ImagesAndMasksAtTheCurrentPoint) {
  vimage* image = vimageCreateSized(4, 3, 16);
  vimage* mask = vimageCreateSized(4, 3, 2);
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->Image(image);
  EXPECT_EQ(take(), Log{"drawImage#1 " + std::to_string(-10 * F) + "," + std::to_string(-20 * F)});
  EXPECT_TRUE(raisesArg([&] { vdrawGetPrimitives()->ImageMask(image); })) << "masks are one bit deep";
  vmatrix flip = {1, 0, 0, -1, 0, 100};
  vdrawSetMatrix(&flip);
  vdrawNewPath();
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->ImageMask(mask);
  EXPECT_EQ(take(), Log{"drawMask#1 " + std::to_string(-10 * F) + "," + std::to_string(80 * F)});
  vmatrix scale = {2, 0, 0, 2, 0, 0};
  vdrawSetMatrix(&scale);
  vdrawNewPath();
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->Image(image);
  EXPECT_EQ(take(), Log{"drawImage#1 " + std::to_string(-10 * F) + "," + std::to_string(-20 * F)})
      << "device to image: halve, then back to the current point";
  // A mask as the current path: borrowed when the mirroring agrees.
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vdrawNewPath();
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->ImageMaskPath(mask);
  vdrawPath* p = vdrawGetState()->path;
  EXPECT_EQ(p->flags & (vdrawPathKIND | vdrawPathBORROWED), vdrawPathMASK | vdrawPathBORROWED);
  EXPECT_EQ(p->bounds.x, 10);
  EXPECT_EQ(p->bounds.width, 4);
  vdrawNewPath();
  vdrawSetMatrix(&flip);
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->ImageMaskPath(mask);
  p = vdrawGetState()->path;
  EXPECT_EQ(p->flags & (vdrawPathKIND | vdrawPathBORROWED), vdrawPathMASK) << "drawn into a mask of its own";
  EXPECT_EQ(p->bounds.y, 77);
  EXPECT_EQ(p->bounds.height, 3);
  vdrawNewPath();
  take();
  vdrawSetMatrix(&identity);
  vdrawPathMoveTo(10, 20);
  vdrawGetPrimitives()->CharPath("ab", 2);
  p = vdrawGetState()->path;
  EXPECT_EQ(p->flags & vdrawPathKIND, vdrawPathMASK);
  EXPECT_EQ(p->bounds.x, 10);
  EXPECT_EQ(p->bounds.y, 18);
  EXPECT_EQ(p->bounds.width, 12);
  Log log = take();
  EXPECT_NE(std::find(log.begin(), log.end(), "showChars#3 ab at 0,2"), log.end()) << "shown into the mask";
  vdrawNewPath();
  vimageDestroy(image);
  vimageDestroy(mask);
}

}  // namespace
