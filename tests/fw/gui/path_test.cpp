#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/draw_internal.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/recording_driver.h"

namespace {

using Log = std::vector<std::string>;
using vdrawint::FixedPoint;

int window = 0;
constexpr vfixed F = vfixedONE;

class Paths : public ::testing::Test {
 public:
  void SetUp() override {
    _vdrawShutdown();
    RecordingDriver& d = recordingDriver();
    d.reset();
    d.name(&window, "W");
    _vdrawBindDevice(vdrawBIND_WINDOW, &window, nullptr, &vdrawDefaultDeviceTable, &d.record);
    vdrawSyncState(0xFFFF);
    d.take();
  }
  void TearDown() override { _vdrawShutdown(); }
  static Log take() {
    Log all = recordingDriver().take(), out;
    for (std::string s : all) {
      if (s.rfind("sync", 0) == 0) continue;  // what reaches the driver apart from syncing
      // Mask images are new each time: their addresses name nothing.
      if (s.rfind("open", 0) == 0) s = s.substr(0, s.find(" target=")) + s.substr(s.find(" flags="));
      out.push_back(s);
    }
    return out;
  }
  static vdrawPath* path() { return vdrawGetState()->path; }
  // The path's elements as "kind x y" in whole device units where exact.
  static std::vector<vdrawElement> elements() {
    vdrawPath* p = path();
    return {vdrawPathElements(p), vdrawPathElements(p) + p->used};
  }
};

double bezier(double a, double b, double c, double d, double t) {
  double u = 1 - t;
  return u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d;
}

// The distance from (x, y) to a densely sampled cubic, in device units.
double distanceToCurve(const FixedPoint* p, vfixed x, vfixed y) {
  double best = 1e300;
  for (int i = 0; i <= 2000; ++i) {
    double t = i / 2000.0;
    double cx = bezier(p[0].x, p[1].x, p[2].x, p[3].x, t), cy = bezier(p[0].y, p[1].y, p[2].y, p[3].y, t);
    best = std::min(best, std::hypot(cx - x, cy - y));
  }
  return best / 65536;
}

TEST(PathFlattening, PointsStayNearTheCurveAndEndOnIt) {
  struct Case {
    const char* what;
    FixedPoint p[4];
    vfixed tolerance;
  };
  const Case cases[] = {
      {"s-curve", {{0, 0}, {40 * F, 0}, {-20 * F, 60 * F}, {30 * F, 60 * F}}, F / 2},
      {"loop", {{0, 0}, {100 * F, 100 * F}, {100 * F, -100 * F}, {0, 0}}, F / 4},
      {"tight tolerance", {{5 * F, 5 * F}, {5 * F, 80 * F}, {80 * F, 80 * F}, {80 * F, 5 * F}}, F / 16},
      // 32-bit midpoints of these values would overflow.
      {"far out", {{20000 * F, 20000 * F}, {20100 * F, 20000 * F}, {20100 * F, 20100 * F}, {20000 * F, 20100 * F}}, F},
      {"far negative", {{-20000 * F, -20000 * F}, {-20100 * F, -20000 * F}, {-20000 * F, -20100 * F}, {-20050 * F, -20050 * F}}, F},
      {"straight", {{0, 0}, {F, F}, {2 * F, 2 * F}, {3 * F, 3 * F}}, F},
  };
  for (const Case& c : cases) {
    std::vector<FixedPoint> out;
    vdrawint::flattenCurve(c.p[0], c.p[1], c.p[2], c.p[3], c.tolerance, &out);
    ASSERT_EQ(out.size() % 3, 0u) << c.what << ": each flat piece adds its two control points and its end";
    ASSERT_FALSE(out.empty()) << c.what;
    EXPECT_EQ(out.back().x, c.p[3].x) << c.what;
    EXPECT_EQ(out.back().y, c.p[3].y) << c.what;
    double worst = 0;
    for (FixedPoint q : out) worst = std::max(worst, distanceToCurve(c.p, q.x, q.y));
    EXPECT_LT(worst, 3 * c.tolerance / 65536.0) << c.what;
  }
  std::vector<FixedPoint> straight;
  vdrawint::flattenCurve({0, 0}, {F, F}, {2 * F, 2 * F}, {3 * F, 3 * F}, F, &straight);
  EXPECT_EQ(straight.size(), 3u) << "a flat curve is one piece: its control points and its end";
  std::vector<FixedPoint> zero;
  vdrawint::flattenCurve({0, 0}, {0, 40 * F}, {40 * F, 40 * F}, {40 * F, 0}, 0, &zero);
  EXPECT_EQ(zero.back().x, 40 * F) << "a tolerance of 0 still ends";
}

TEST_F(Paths, ArcsAreEncodedWithMirroredAnglesAndExactPoints) {
  struct Case {
    const char* what;
    vmatrix m;
    double a1, a2;
    int direction;
    vfixed start, sweep;  // degrees, 16.16
    vfixed rx, ry;
  };
  const Case cases[] = {
      {"quarter", {1, 0, 0, 1, 0, 0}, 90, 180, 1, 90 * F, 90 * F, 10 * F, 10 * F},
      {"clockwise", {1, 0, 0, 1, 0, 0}, 90, 180, 0, 90 * F, -270 * F, 10 * F, 10 * F},
      {"equal angles: whole circle", {1, 0, 0, 1, 0, 0}, 0, 360, 1, 0, 360 * F, 10 * F, 10 * F},
      {"negative first angle", {1, 0, 0, 1, 0, 0}, -90, 0, 1, 270 * F, 90 * F, 10 * F, 10 * F},
      {"y mirrored", {1, 0, 0, -1, 0, 100}, 90, 180, 1, 270 * F, -90 * F, 10 * F, 10 * F},
      {"x mirrored", {-1, 0, 0, 1, 100, 0}, 90, 180, 1, 90 * F, -90 * F, 10 * F, 10 * F},
      {"x mirrored beyond 180", {-1, 0, 0, 1, 100, 0}, 200, 250, 1, 340 * F, -50 * F, 10 * F, 10 * F},
      {"scaled", {2, 0, 0, 3, 0, 0}, 0, 90, 1, 0, 90 * F, 20 * F, 30 * F},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawNewPath();
    vdrawArc(50, 50, 10, c.a1, c.a2, c.direction);
    std::vector<vdrawElement> e = elements();
    ASSERT_EQ(e.size(), 5u) << c.what;
    EXPECT_EQ(e[0].kind, vdrawMOVETO) << c.what;
    for (int i = 1; i < 5; ++i) EXPECT_EQ(e[std::size_t(i)].kind, vdrawARC) << c.what;
    EXPECT_EQ(e[2].x, c.rx) << c.what;
    EXPECT_EQ(e[2].y, c.ry) << c.what;
    EXPECT_EQ(e[3].x, c.start) << c.what;
    EXPECT_EQ(e[3].y, c.sweep) << c.what;
    EXPECT_TRUE(path()->flags & vdrawPathARCS) << c.what;
  }
  // At 45 degrees the points are exact; the moved current point is the arc's end.
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vdrawNewPath();
  vdrawArc(0, 0, 100, 45, 135, 1);
  std::vector<vdrawElement> e = elements();
  vfixed h = vfixedFromDouble(100 * std::sqrt(0.5));
  EXPECT_EQ(e[0].x, h);
  EXPECT_EQ(e[4].y, 0) << "sin 45 and sin 135 agree exactly";
  EXPECT_NEAR(path()->x, -h, 1);
  // A start point within half a unit of the current point adds no lineto.
  vdrawNewPath();
  vdrawPathMoveToF(110.3, 50);
  vdrawArc(100, 50, 10, 0, 90, 1);
  EXPECT_EQ(elements()[1].kind, vdrawARC);
  vdrawNewPath();
  vdrawPathMoveToF(111, 50);
  vdrawArc(100, 50, 10, 0, 90, 1);
  EXPECT_EQ(elements()[1].kind, vdrawLINETO);
  vdrawNewPath();
  vdrawArc(100, 50, 0, 0, 90, 1);
  EXPECT_EQ(path()->used, 1) << "radius 0: only the moveto";
  EXPECT_EQ(raised([] { vdrawArc(0, 0, -1, 0, 90, 1); }), &vexArgRangeClass);
  // Under a rotation the arc becomes curves: two quarter turns, then the rest.
  vdrawRotate(30);
  vdrawNewPath();
  vdrawArc(0, 0, 10, 0, 200, 1);
  e = elements();
  ASSERT_EQ(e.size(), 1u + 9u);
  for (std::size_t i = 1; i < e.size(); ++i) EXPECT_EQ(e[i].kind, vdrawCURVETO);
  double x, y;
  vdrawGetCurrentPoint(&x, &y);
  EXPECT_NEAR(x, 10 * std::cos(200 * M_PI / 180), 1e-3);
  EXPECT_NEAR(y, 10 * std::sin(200 * M_PI / 180), 1e-3);
}

TEST_F(Paths, PointsBeyondTheDeviceRangeKeepTheirCourse) {
  constexpr vfixed kEdge = 16000 * vfixedONE;  // where device values are pulled in to
  // Far points are pulled in, never wrapped round to the other side.
  for (double far : {40000.0, 70000.0, 1e9}) {
    vdrawNewPath();
    vdrawPathMoveTo(10, 10);
    vdrawLineToF(far, 10);
    EXPECT_EQ(path()->x, kEdge) << far;
    EXPECT_EQ(path()->y, 10 * vfixedONE) << far;
    for (const vdrawElement& e : elements()) EXPECT_GE(e.x, 0) << far;
  }
  // A slanting line is cut where it leaves the range: the part inside is exact.
  vdrawNewPath();
  vdrawPathMoveTo(0, 0);
  vdrawLineTo(64000, 6400);
  std::vector<vdrawElement> e = elements();
  ASSERT_GE(e.size(), 2u);
  EXPECT_EQ(e[1].kind, vdrawLINETO);
  EXPECT_EQ(e[1].x, kEdge);
  EXPECT_EQ(e[1].y, 1600 * vfixedONE);
  // Where the point truly is stays known: a relative line back comes home,
  // and the current point reads where it was put.
  vdrawRLineTo(-64000, -6400);
  EXPECT_EQ(path()->x, 0);
  EXPECT_EQ(path()->y, 0);
  vdrawNewPath();
  vdrawTranslate(40000, 0);
  vdrawPathMoveTo(5, 5);
  double x, y;
  vdrawGetCurrentPoint(&x, &y);
  EXPECT_DOUBLE_EQ(x, 5);
  EXPECT_DOUBLE_EQ(y, 5);
  vdrawRLineTo(-40000, 0);
  EXPECT_EQ(path()->x, 5 * vfixedONE);
  // Rectangles are cut at the range too.
  vdrawTranslate(-40000, 0);
  take();
  vrect far{10, 10, 30000, 5};
  vdrawTranslate(10000, 0);
  vdrawFillRects(&far, 1);
  Log log = take();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "fillRects#1 (10010,10,5990,5)");
}

TEST_F(Paths, ArcToMeetsBothLegs) {
  double t[4];
  vdrawPathMoveTo(0, 0);
  vdrawArcTo(10, 0, 10, 10, 2, &t[0], &t[1], &t[2], &t[3]);
  EXPECT_NEAR(t[0], 8, 1e-9);
  EXPECT_NEAR(t[1], 0, 1e-9);
  EXPECT_NEAR(t[2], 10, 1e-9);
  EXPECT_NEAR(t[3], 2, 1e-9);
  std::vector<vdrawElement> e = elements();
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[1].kind, vdrawLINETO);
  EXPECT_EQ(e[1].x, 8 * F);
  const vfixed arc[4][3] = {{vdrawTANGENT_ARC, 0, 2 * F}, {vdrawTANGENT_ARC, 2 * F, 2 * F},
                            {vdrawTANGENT_ARC, 2 * F, 0}, {vdrawTANGENT_ARC, 0, 2 * F}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(e[std::size_t(2 + i)].kind, arc[i][0]);
    EXPECT_EQ(e[std::size_t(2 + i)].x, arc[i][1]) << i;
    EXPECT_EQ(e[std::size_t(2 + i)].y, arc[i][2]) << i;
  }
  EXPECT_EQ(path()->x, 10 * F);
  EXPECT_EQ(path()->y, 2 * F);
  // Turning the other way puts the centre on the other side.
  vdrawNewPath();
  vdrawPathMoveTo(0, 0);
  vdrawArcTo(10, 0, 10, -10, 2);
  EXPECT_EQ(elements()[2].y, -2 * F);
  // A zero-length leg: no arc, only the lineto to the corner.
  vdrawNewPath();
  vdrawPathMoveTo(0, 0);
  vdrawArcTo(0, 0, 10, 10, 2, &t[0], &t[1]);
  EXPECT_EQ(path()->used, 2);
  EXPECT_EQ(t[0], 0);
  // Under a rotation one curve.
  vdrawRotate(90);
  vdrawNewPath();
  vdrawPathMoveTo(0, 0);
  vdrawArcTo(10, 0, 10, 10, 2);
  e = elements();
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[2].kind, vdrawCURVETO);
  vdrawNewPath();
  EXPECT_EQ(raised([] { vdrawArcTo(1, 1, 2, 2, 1); }), &vdrawNoCurrentPointClass);
  vdrawPathMoveTo(0, 0);
  EXPECT_EQ(raised([] { vdrawArcTo(1, 1, 2, 2, -1); }), &vexArgRangeClass);
}

TEST_F(Paths, StrokingSendsThinArcsNativelyAndFlattensTheRest) {
  vdrawSetLineWidth(2);
  vdrawArc(50, 50, 10, 0, 360, 1);
  vdrawStroke();
  EXPECT_EQ(take(), (Log{"frameArcs#1 (40,40,20,20) 0 23592960"})) << "a full circle as one arc";
  EXPECT_EQ(path()->used, 0) << "stroking ends the path";
  vdrawPathMoveTo(0, 0);
  vdrawLineTo(10, 0);
  vdrawArc(10, 10, 10, 270, 0, 1);
  vdrawLineTo(20, 30);
  vdrawStroke();
  EXPECT_EQ(take(), (Log{"strokePolyline#1 2", "frameArcs#1 (0,0,20,20) 17694720 5898240", "strokePolyline#1 2"}));
  EXPECT_EQ(recordingDriver().points.back().y, 30);
  vdrawSetLineWidth(8);
  vdrawArc(50, 50, 10, 0, 90, 1);
  vdrawStroke();
  Log wide = take();
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_EQ(wide[0].rfind("strokePolyline#1", 0), 0u) << "a wide line flattens its arcs";
  vpoint last = recordingDriver().points.back();
  EXPECT_EQ(last.x, 50);
  EXPECT_EQ(last.y, 60);
  for (vpoint p : recordingDriver().points)
    EXPECT_NEAR(std::hypot(p.x - 50, p.y - 50), 10, 1.0) << p.x << "," << p.y;
  vdrawPathMoveTo(0, 0);
  vdrawCurveTo(0, 40, 40, 40, 40, 0);
  vdrawClosePath();
  vdrawStroke();
  EXPECT_EQ(take().size(), 1u);
  EXPECT_EQ(recordingDriver().points.back().x, 0) << "the close returns to the start";
  vrect two[] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  vdrawPath* rects = vdrawPathNewRects(two, 2);
  vdrawPathRelease(vdrawGetState()->path);
  vdrawGetState()->path = rects;
  _vdrawSelectPrimitives();
  vdrawStroke();
  EXPECT_EQ(take(), (Log{"frameRects#1 (1,2,3,4) (5,6,7,8)"}));
}

TEST_F(Paths, FillingSendsPolygonsChordsAndPies) {
  vdrawArc(50, 50, 10, 0, 0, 1);
  vdrawFill(0);
  EXPECT_EQ(take(), (Log{"fillChords#1 (40,40,20,20) 0 23592960"}));
  // A wedge: a lineto of at most one unit, then the arc.
  vdrawPathMoveToF(50, 50);
  vdrawRLineToF(0.5, 0);
  vdrawArc(50, 50, 0.5, 0, 90, 1);
  vdrawFill(0);
  EXPECT_EQ(take(), (Log{"fillPies#1 (50,50,1,1) 0 5898240"}));
  // In a longer sub-path an arc is flattened, or a chord under arc mode 192.
  vdrawPathMoveTo(0, 0);
  vdrawLineTo(20, 0);
  vdrawArc(20, 10, 10, 270, 90, 1);
  vdrawClosePath();
  vdrawFill(0);
  Log flat = take();
  ASSERT_EQ(flat.size(), 1u);
  EXPECT_EQ(flat[0].rfind("fillPolygon#1", 0), 0u);
  EXPECT_GT(recordingDriver().points.size(), 4u);
  vdrawSetArcMode(192);
  vdrawPathMoveTo(0, 0);
  vdrawLineTo(20, 0);
  vdrawArc(20, 10, 10, 270, 90, 1);
  vdrawClosePath();
  vdrawFill(4096);
  EXPECT_EQ(take(), (Log{"fillChords#1 (10,0,20,20) 17694720 11796480", "fillPolygon#1 3"}));
  EXPECT_TRUE(vdrawGetState()->flags & vdrawEVEN_ODD) << "the rule is kept";
  // Two sub-paths apart are filled directly in any mode; overlapping ones only where overlaps do not matter.
  auto twoSquares = [](int second) {
    vdrawPathMoveTo(0, 0);
    vdrawLineTo(10, 0);
    vdrawLineTo(10, 10);
    vdrawClosePath();
    vdrawPathMoveTo(second, 0);
    vdrawLineTo(second + 10, 0);
    vdrawLineTo(second + 10, 10);
    vdrawClosePath();
  };
  twoSquares(20);
  vdrawFill(0);
  EXPECT_EQ(take(), (Log{"fillPolygon#1 3", "fillPolygon#1 3"}));
  vdrawSetDrawMode(10);
  twoSquares(5);
  vdrawFill(0);
  EXPECT_EQ(take(), (Log{"fillPolygon#1 3", "fillPolygon#1 3"})) << "exclusive-or fills directly";
}

TEST_F(Paths, FlatteningTheCurrentPathKeepsItsShape) {
  vdrawPathMoveTo(10, 10);
  vdrawLineTo(30, 10);
  vdrawArc(30, 30, 20, 270, 90, 1);
  vdrawRCurveTo(-5, 0, -10, -5, -10, -10);
  vdrawClosePath();
  vdrawPath* before = path();
  vfixed x = before->x, y = before->y;
  vdrawFlattenPath();
  vdrawPath* p = path();
  EXPECT_NE(p, before);
  EXPECT_EQ(p->flags, vdrawPathELEMENTS | vdrawPathCURRENT_POINT | vdrawPathCLOSED);
  EXPECT_EQ(p->x, x);
  EXPECT_EQ(p->y, y);
  // Walking the linetos: the arc ends exactly on its end point, (30, 50).
  std::vector<vdrawElement> e = elements();
  vfixed px = e[0].x, py = e[0].y;
  bool reachedEnd = false;
  for (std::size_t i = 1; i < e.size(); ++i) {
    ASSERT_TRUE(e[i].kind == vdrawLINETO || e[i].kind == vdrawCLOSEPATH) << i;
    px += e[i].x, py += e[i].y;
    if (px == 30 * F && py == 50 * F) reachedEnd = true;
  }
  EXPECT_TRUE(reachedEnd);
  EXPECT_EQ(px, 10 * F) << "closed back at the start";
  EXPECT_EQ(py, 10 * F);
  vdrawFlattenPath();
  EXPECT_EQ(path(), p) << "nothing left to flatten";
}

TEST_F(Paths, SubPathBoundsCountControlPointsAndArcExtremes) {
  vrect* r;
  int n;
  vdrawPathRects(path(), &r, &n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(r[0].width, 0) << "no sub-path: one empty rectangle";
  vdrawPathMoveToF(0.5, 0.5);
  vdrawCurveTo(0.5, 20, 10, 20.25, 10, 0.5);
  vdrawArc(50, 50, 10, 0, 100, 1);  // reaches 90 degrees, not 180
  vdrawPathMoveTo(70, 70);
  vdrawLineTo(80, 75);
  vdrawPathRects(path(), &r, &n);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(r[0].x, 0) << "origin by floor";
  EXPECT_EQ(r[0].y, 0);
  EXPECT_EQ(r[0].width, 60) << "to the arc's start at x 60";
  EXPECT_EQ(r[0].height, 60) << "to the arc's top at 90 degrees";
  EXPECT_EQ(r[1].x, 70);
  EXPECT_EQ(r[1].width, 10);
  EXPECT_EQ(r[1].height, 5);
}

}  // namespace

namespace {

class PathClips : public Paths {
 public:
  void SetUp() override {
    Paths::SetUp();
    vdrawRegisterImageDriver(&recordingDriver().record, 0);
  }
  static void triangle(int x, int y) {
    vdrawPathMoveTo(x, y);
    vdrawLineTo(x + 10, y);
    vdrawLineTo(x + 10, y + 10);
    vdrawClosePath();
  }
};

TEST_F(PathClips, ClipsFromRectanglesNeedNoMaskAndOthersArePaintedIntoOne) {
  vrect window = {0, 0, 100, 100}, inside = {10, 10, 5, 5};
  vdrawState* s = vdrawGetState();
  vdrawPathRelease(s->clip);
  s->clip = vdrawPathNewRects(&window, 1);
  vdrawPath* rects = vdrawPathNewRects(&inside, 1);
  vdrawPathRelease(s->path);
  s->path = rects;
  ++rects->refs;
  _vdrawSelectPrimitives();
  vdrawClip(0);
  EXPECT_EQ(vdrawGetState()->clip, rects) << "the path itself";
  EXPECT_EQ(take(), Log{}) << "no mask image";
  EXPECT_EQ(path()->used, 0) << "a new path follows";
  vdrawPathRelease(rects);
  // A triangle: cleared, inverted, the old clip shifted, the path shifted and filled.
  triangle(12, 12);
  vdrawClip(4096);
  EXPECT_EQ(take(), (Log{"end#1", "open#2 flags=8192", "begin#2", "setClipRects#2 (0,0,100,100)",
                         "fillRects#2 (0,0,3,3)", "setClipRects#2 (-2,-2,5,5)", "fillPolygon#2 3", "end#2",
                         "close#2", "begin#1"}));
  vdrawPath* clip = vdrawGetState()->clip;
  EXPECT_EQ(clip->flags & vdrawPathKIND, vdrawPathMASK);
  EXPECT_EQ(clip->bounds.x, 12);
  EXPECT_EQ(clip->bounds.width, 3) << "(12,12,10,10) within the old clip (10,10,5,5)";
  EXPECT_TRUE(vdrawGetState()->flags & vdrawEVEN_ODD);
}

TEST_F(PathClips, TheMaskIsClearedThenInvertedUnderTheOldClip) {
  vrect old = {0, 0, 50, 50};
  vdrawClipRects(&old, 1);
  triangle(20, 30);
  vdrawClip(4096);
  Log raw;
  for (std::string line : recordingDriver().take())
    if (line.rfind("sync#1", 0) != 0 && line.rfind("open", 0) != 0) raw.push_back(line);
  // The new target takes every attribute (the even-odd rule among them) with mode 0 for the clear; then
  // mode 10 and the old clip for the fill.
  EXPECT_EQ(raw, (Log{"end#1", "begin#2", "sync#2 0x9025", "setClipRects#2 (0,0,100,100)", "fillRects#2 (0,0,10,10)",
                      "sync#2 0x8020", "setClipRects#2 (-20,-30,50,50)", "fillPolygon#2 3", "end#2", "close#2",
                      "begin#1"}));
  EXPECT_TRUE(vdrawGetState()->flags & vdrawEVEN_ODD);
}

TEST_F(PathClips, MaskClipsAndEmptyIntersections) {
  triangle(20, 30);
  vdrawClip(0);
  vdrawPath* clip = vdrawGetState()->clip;
  ASSERT_EQ(clip->flags & vdrawPathKIND, vdrawPathMASK);
  EXPECT_EQ(clip->bounds.x, 20);
  EXPECT_EQ(clip->bounds.y, 30);
  EXPECT_EQ(clip->bounds.width, 10);
  take();
  triangle(60, 60);
  vdrawClip(0);
  EXPECT_EQ(take(), Log{"setClipRects#1 (0,0,0,0)"}) << "apart from the clip: no mask, the old one let go";
  clip = vdrawGetState()->clip;
  EXPECT_EQ(clip->flags & vdrawPathKIND, vdrawPathRECTS);
  EXPECT_EQ(clip->bounds.width, 0);
  // The device clip region is made the same way, without the state's clip.
  triangle(5, 5);
  vdrawSetDeviceClipToPath(0);
  EXPECT_EQ(vdrawGetDeviceClip()->flags & vdrawPathKIND, vdrawPathMASK);
  EXPECT_EQ(vdrawGetDeviceClip()->bounds.x, 5);
}

TEST_F(PathClips, OverlappingSubPathsAreFilledOnceThroughAMask) {
  // Under the winding rule the two go to the mask as one polygon (each
  // closed, the second joined to the first's start and back), so that
  // their windings add up; even-odd inverts each on its own.
  triangle(0, 0);
  triangle(5, 0);
  vdrawFill(0);
  EXPECT_EQ(take(), (Log{"end#1", "open#2 flags=8192", "begin#2", "setClipRects#2 (0,0,100,100)",
                         "fillRects#2 (0,0,15,10)", "fillPolygon#2 9", "end#2", "close#2",
                         "begin#1", "setClipRects#1 (0,0,100,100)", "drawMask#1 0,0"}));
  triangle(0, 0);
  triangle(5, 0);
  vdrawFill(0x1000);
  EXPECT_EQ(take(), (Log{"end#1", "open#3 flags=8192", "begin#3", "setClipRects#3 (0,0,100,100)",
                         "fillRects#3 (0,0,15,10)", "fillPolygon#3 3", "fillPolygon#3 3", "end#3", "close#3",
                         "begin#1", "setClipRects#1 (0,0,100,100)", "drawMask#1 0,0"}));
  triangle(40, 20);
  triangle(45, 20);
  vdrawFill(0);
  Log log = take();
  EXPECT_EQ(log.back(), "drawMask#1 " + std::to_string(-40 * F) + "," + std::to_string(-20 * F));
}

TEST_F(PathClips, OffsettingMovesOnlyWhatIsAbsolute) {
  triangle(1, 2);
  vdrawCurveTo(0, 0, 5, 5, 6, 6);
  vdrawPath* p = vdrawPathClone(path(), 0);
  vdrawPathOffset(p, 10, 20);
  std::vector<vdrawElement> before = elements();
  for (int i = 0; i < p->used; ++i) {
    const vdrawElement& e = vdrawPathElements(p)[i];
    bool absolute = i == 0;
    EXPECT_EQ(e.x, before[std::size_t(i)].x + (absolute ? 10 * F : 0)) << i;
    EXPECT_EQ(e.y, before[std::size_t(i)].y + (absolute ? 20 * F : 0)) << i;
  }
  EXPECT_EQ(p->x, path()->x + 10 * F);
  vdrawPathRelease(p);
  vdrawPath* points = vdrawPathNewElements(2);
  const vfixed xy[] = {3 * F, 4 * F, 5 * F, 1 * F};
  vdrawint::pathAppendPoints(points, F, F, xy, 2);
  ASSERT_EQ(points->used, 2);
  EXPECT_EQ(vdrawPathElements(points)[0].x, 2 * F) << "linetos relative to the point before";
  EXPECT_EQ(vdrawPathElements(points)[1].y, -3 * F);
  vdrawPathRelease(points);
  vrect r[] = {{1, 1, 2, 2}};
  vdrawPath* list = vdrawPathNewRects(r, 1);
  vdrawPathOffset(list, -1, 3);
  EXPECT_EQ(vdrawPathRectangles(list)[0].x, 0);
  EXPECT_EQ(vdrawPathRectangles(list)[0].y, 4);
  EXPECT_EQ(list->bounds.y, 4);
  vdrawPathRelease(list);
}

}  // namespace

namespace {

struct Delivered {
  int kind;
  double x, y, x1, y1, x2, y2;
};

std::vector<Delivered> iterate() {
  std::vector<Delivered> out;
  vdrawPathIter it;
  vdrawPathIterBegin(&it);
  while (vdrawPathIterNext(&it)) out.push_back({it.kind, it.x, it.y, it.x1, it.y1, it.x2, it.y2});
  vdrawPathIterEnd(&it);
  return out;
}

TEST_F(Paths, IterationGivesBackTheUserCoordinates) {
  const vmatrix matrices[] = {
      {1, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 7, 9}, {1, 0, 0, -1, 0, 100}, {2, 0, 0, -3, 10, 200}, {0, 1, -1, 0, 50, 0}};
  for (const vmatrix& mx : matrices) {
    vdrawSetMatrix(&mx);
    vdrawNewPath();
    vdrawPathMoveToF(10, 20);
    vdrawLineToF(30, 40);
    vdrawCurveTo(35, 45, 40, 50, 45, 40);
    vdrawClosePath();
    std::vector<Delivered> got = iterate();
    const Delivered want[] = {{vdrawMOVETO, 10, 20, 0, 0, 0, 0},
                              {vdrawLINETO, 30, 40, 0, 0, 0, 0},
                              {vdrawCURVETO, 45, 40, 35, 45, 40, 50},
                              {vdrawCLOSEPATH, 10, 20, 0, 0, 0, 0}};
    ASSERT_EQ(got.size(), 4u) << mx.a << "," << mx.d;
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(got[i].kind, want[i].kind) << i;
      EXPECT_NEAR(got[i].x, want[i].x, 1e-3) << i << " under " << mx.a << "," << mx.b << "," << mx.d;
      EXPECT_NEAR(got[i].y, want[i].y, 1e-3) << i << " under " << mx.a << "," << mx.b << "," << mx.d;
      if (want[i].kind == vdrawCURVETO) {
        EXPECT_NEAR(got[i].x1, want[i].x1, 1e-3);
        EXPECT_NEAR(got[i].y2, want[i].y2, 1e-3);
      }
    }
  }
  // An arc comes as curves of at most 90 degrees, a tangent arc as one.
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vdrawNewPath();
  vdrawArc(0, 0, 10, 0, 180, 1);
  vdrawArcTo(-10, 20, 0, 20, 2);
  std::vector<Delivered> arc = iterate();
  ASSERT_EQ(arc.size(), 5u) << "moveto, two quarter curves, lineto, the tangent curve";
  const double k = 10 * 4 * (std::sqrt(2.0) - 1) / 3;
  EXPECT_EQ(arc[1].kind, vdrawCURVETO);
  EXPECT_NEAR(arc[1].x, 0, 1e-4);
  EXPECT_NEAR(arc[1].y, 10, 1e-4);
  EXPECT_NEAR(arc[1].x1, 10, 1e-4);
  EXPECT_NEAR(arc[1].y1, k, 1e-3);
  EXPECT_NEAR(arc[2].x, -10, 1e-4);
  EXPECT_EQ(arc[3].kind, vdrawLINETO);
  EXPECT_EQ(arc[4].kind, vdrawCURVETO);
  EXPECT_NEAR(arc[4].x, -8, 1e-3);
  EXPECT_NEAR(arc[4].y, 20, 1e-3);
  vrect r = {0, 0, 5, 5};
  vdrawPath* rects = vdrawPathNewRects(&r, 1);
  vdrawPathRelease(vdrawGetState()->path);
  vdrawGetState()->path = rects;
  std::string message;
  EXPECT_EQ(raised([] { iterate(); }, &message), &vexModuleUnimplementedClass);
  EXPECT_EQ(message, "unable to iterate non-element paths");
}

TEST_F(Paths, SavedPathsAreRealizedUnderTheCurrentMatrix) {
  vdrawPathMoveTo(10, 10);
  vdrawLineTo(20, 10);
  vdrawLineTo(20, 20);
  vdrawClosePath();
  vdrawSavedPath* saved = vdrawSavePath();
  vdrawPath* original = path();
  vdrawNewPath();
  vdrawFillSavedPath(saved, 0);
  EXPECT_EQ(take(), Log{"fillPolygon#1 3"});
  EXPECT_EQ(recordingDriver().points[0].x, 10);
  EXPECT_EQ(path()->used, 0) << "the current path is left as it was";
  vdrawTranslate(5, 7);
  vdrawAppendPath(saved);
  std::vector<vdrawElement> e = elements();
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].x, 15 * F) << "only the movetos move";
  EXPECT_EQ(e[0].y, 17 * F);
  EXPECT_EQ(e[1].x, 10 * F);
  EXPECT_EQ(path()->x, 15 * F);
  vdrawNewPath();
  vdrawScale(2, -1);
  vdrawAppendPath(saved);
  e = elements();
  EXPECT_EQ(e[0].x, 2 * 10 * F + 5 * F);
  EXPECT_EQ(e[0].y, 7 * F - 10 * F);
  EXPECT_EQ(e[1].x, 20 * F) << "distances through the change of matrix";
  EXPECT_EQ(e[2].y, -10 * F);
  vdrawNewPath();
  vdrawStrokeSavedPath(saved);
  EXPECT_EQ(take(), Log{"strokePolyline#1 4"});
  EXPECT_EQ(recordingDriver().points[0].x, 25);
  EXPECT_EQ(original->refs, 1) << "only the saved path holds it";
  vdrawFreePath(saved);
}

TEST_F(Paths, GettersGiveUserRectangles) {
  vrect device = {10, 10, 20, 6};
  vdrawPath* clip = vdrawPathNewRects(&device, 1);
  vdrawPathRelease(vdrawGetState()->clip);
  vdrawGetState()->clip = clip;
  struct Case {
    const char* what;
    vmatrix m;
    vrect user;
    vrectFloat userF;
  };
  const Case cases[] = {
      {"identity", {1, 0, 0, 1, 0, 0}, {10, 10, 20, 6}, {10, 10, 20, 6}},
      {"translation", {1, 0, 0, 1, 3, 4}, {7, 6, 20, 6}, {7, 6, 20, 6}},
      {"y mirrored", {1, 0, 0, -1, 0, 100}, {10, 84, 20, 6}, {10, 84, 20, 6}},
      {"scale", {2, 0, 0, 2, 0, 0}, {5, 5, 10, 3}, {5, 5, 10, 3}},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vrect* r;
    vrectFloat* f;
    int n;
    vdrawGetClipRects(&r, &n);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(r[0].x, c.user.x) << c.what;
    EXPECT_EQ(r[0].y, c.user.y) << c.what;
    EXPECT_EQ(r[0].width, c.user.width) << c.what;
    EXPECT_EQ(r[0].height, c.user.height) << c.what;
    vdrawGetClipRectsFloat(&f, &n);
    EXPECT_FLOAT_EQ(f[0].x, c.userF.x) << c.what;
    EXPECT_FLOAT_EQ(f[0].y, c.userF.y) << c.what;
    EXPECT_FLOAT_EQ(f[0].height, c.userF.height) << c.what;
  }
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vdrawPathMoveTo(1, 2);
  vdrawLineTo(5, 9);
  vrect* r;
  int n;
  vdrawGetPathRects(&r, &n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(r[0].width, 4);
  EXPECT_EQ(r[0].height, 7);
  vdrawGetDeviceClipRects(&r, &n);
  EXPECT_EQ(n, 1);
}

}  // namespace
