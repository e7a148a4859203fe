// One sheet of figures drawn to a window, to the pseudo printer and to
// PostScript rendered by Ghostscript: each figure must come out the same on
// all three (fill rules, whole ellipses, two-colour images, far lines).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/print/ps.h"
#include "platform/win/test.h"
#include "tests/fw/gui/draw_shapes.h"
#include "tests/fw/gui/msw_fixture.h"

namespace {

constexpr int W = 420, H = 500;  // the window; sheet units are its pixels and the page's points
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

vcolor* rgb(std::uint32_t c) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, (c >> 16 & 0xFF) * 257u, (c >> 8 & 0xFF) * 257u, (c & 0xFF) * 257u);
  return vcolorInternSpec(&s);
}

// Two listed colours, red left and blue right, from an image of `bits` bits.
vimage* twoColours(int bits) {
  return draw_shapes::twoColourImage(bits, 20, 20, win::RGB(255, 0, 0), win::RGB(0, 0, 255));
}

using draw_shapes::star;

void squares(int x, int y) { draw_shapes::nestedSquares(x, y, 80, 40); }

const vrect kChords{20, 300, 60, 40}, kPies{100, 300, 60, 40}, kFrames{180, 300, 60, 40};
constexpr double kArcX = 290, kArcY = 320, kArcR = 20;

void drawSheet() {
  vdrawSetColor(rgb(kBlack));
  // Stars and nested squares under the winding rule, then even-odd.
  star(60, 440, 40);
  vdrawFill(0);
  star(160, 440, 40);
  vdrawFill(0x1000);
  squares(220, 400);
  vdrawFill(0);
  squares(320, 400);
  vdrawFill(0x1000);
  // Whole ellipses: equal angles.
  vdrawFillChords(&kChords, 1, 0, 0);
  vdrawFillPies(&kPies, 1, 30, 30);
  vdrawSetLineWidth(4);
  vdrawFrameArcs(&kFrames, 1, 0, 0);
  vdrawNewPath();
  vdrawArc(kArcX, kArcY, kArcR, 90, 90, 1);
  vdrawStroke();
  // Images of two listed colours, drawn while the colour is green.
  vdrawSetColor(rgb(kGreen));
  for (int i = 0; i < 3; ++i) {
    vimage* image = twoColours(i == 0 ? 1 : i == 1 ? 4 : 8);
    vdrawPathMoveTo(20 + 40 * i, 200);
    vdrawImage(image);
    vimageDestroy(image);
  }
  // A line and a polygon reaching far past the page.
  vdrawSetColor(rgb(kBlack));
  vdrawSetLineWidth(3);
  vdrawPathMoveTo(10, 150);
  vdrawLineTo(40000, 150);
  vdrawStroke();
  vdrawPathMoveTo(10, 100);
  vdrawLineTo(50000, 100);
  vdrawLineTo(50000, 120);
  vdrawLineTo(10, 120);
  vdrawClosePath();
  vdrawFill(0);
}

struct Probe {
  std::string what;
  double x, y;  // sheet units
  std::uint32_t rgb;
};

// What each figure must show, `edge` being the last column the device shows.
std::vector<Probe> probes(double edge) {
  std::vector<Probe> p = {
      {"star middle, winding", 60, 440, kBlack},   {"star point, winding", 60, 470, kBlack},
      {"star middle, even-odd", 160, 440, kWhite}, {"star point, even-odd", 160, 470, kBlack},
      {"inner square, winding", 260, 440, kBlack}, {"ring, winding", 225, 440, kBlack},
      {"inner square, even-odd", 360, 440, kWhite}, {"ring, even-odd", 325, 440, kBlack},
      {"between the figures", 110, 440, kWhite},
  };
  // Each filled ellipse whole: its middle and a point in every quarter.
  for (const vrect* r : {&kChords, &kPies}) {
    double cx = r->x + r->width / 2.0, cy = r->y + r->height / 2.0;
    std::string name = r == &kChords ? "chord" : "pie";
    p.push_back({name + " middle", cx, cy, kBlack});
    for (int q = 0; q < 4; ++q) {
      double a = (45 + 90 * q) * M_PI / 180;
      p.push_back({name + " quarter " + std::to_string(q), cx + 0.6 * r->width / 2 * std::cos(a),
                   cy + 0.6 * r->height / 2 * std::sin(a), kBlack});
    }
  }
  // Each framed ellipse and the arc whole: its outline at four places.
  double fx = kFrames.x + kFrames.width / 2.0, fy = kFrames.y + kFrames.height / 2.0;
  double rx = kFrames.width / 2.0 - 0.5, ry = kFrames.height / 2.0 - 0.5;
  for (auto [dx, dy] : {std::pair{1, 0}, {0, 1}, {-1, 0}, {0, -1}}) {
    p.push_back({"frame " + std::to_string(dx) + "," + std::to_string(dy), fx + dx * rx, fy + dy * ry, kBlack});
    p.push_back({"arc " + std::to_string(dx) + "," + std::to_string(dy), kArcX + dx * (kArcR - 0.5),
                 kArcY + dy * (kArcR - 0.5), kBlack});
  }
  p.push_back({"frame inside", fx, fy, kWhite});
  p.push_back({"arc inside", kArcX, kArcY, kWhite});
  for (int i = 0; i < 3; ++i) {
    p.push_back({"image " + std::to_string(i) + " left", 25.0 + 40 * i, 210, kRed});
    p.push_back({"image " + std::to_string(i) + " right", 35.0 + 40 * i, 210, kBlue});
  }
  for (double x : {100.0, 300.0, edge}) {
    p.push_back({"long line at " + std::to_string(int(x)), x, 150, kBlack});
    p.push_back({"far polygon at " + std::to_string(int(x)), x, 110, kBlack});
  }
  p.push_back({"below the line", 300, 140, kWhite});
  return p;
}

bool near(std::uint32_t a, std::uint32_t b) {
  for (int s : {0, 8, 16})
    if (std::abs(int(a >> s & 0xFF) - int(b >> s & 0xFF)) > 40) return false;
  return true;
}

std::string hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%06X", v);
  return b;
}

// Every probe that a device shows otherwise, by name.
std::vector<std::string> misses(const std::vector<Probe>& want, const std::function<std::uint32_t(double, double)>& at) {
  std::vector<std::string> out;
  for (const Probe& p : want) {
    std::uint32_t got = at(p.x, p.y);
    if (!near(got, p.rgb)) out.push_back(p.what + ": " + hex(got) + " for " + hex(p.rgb));
  }
  return out;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Sheet : MSWFixture {};

TEST_F(Sheet, WindowPrinterAndPostScriptShowEveryFigureAlike) {
  // The window: one unit a pixel, rows from the top.
  vwindow* w = open(vwindowDECO_TOP_LEVEL, {0, 0, W, H});
  win::UpdateWindow(w->native->hwnd);
  vdrawGSave();
  vwindowBindDrawTarget(w);
  vdrawSetColor(rgb(kWhite));
  vdrawRectFill(0, 0, W, H);
  drawSheet();
  vdrawGRestore();
  win::test::Image screen = win::test::WindowImage(w->native->hwnd);
  auto onScreen = [&](double x, double y) {
    int col = int(x), row = int(H - y);
    return screen.px[std::size_t(row * screen.width + col)] & 0xFFFFFF;
  };
  EXPECT_EQ(misses(probes(W - 2), onScreen), std::vector<std::string>{}) << "window";
  close(w);
  vwindowDestroy(w);

  // The pseudo printer: 150 pixels an inch, the printable area 25 pixels in.
  win::HDC printer = win::CreateDCA("WINSPOOL", "PNG Printer", nullptr, nullptr);
  ASSERT_NE(printer, nullptr);
  vdrawGSave();
  _vdrawBindDevice(vdrawBIND_PRINTER, printer, nullptr, &vdrawDefaultDeviceTable, &vdrawMSWDriver);
  drawSheet();
  vdrawGRestore();
  win::test::Image page = win::test::PrinterImage(printer);
  win::test::PrinterPng(printer, testing::TempDir() + "sheet-printer.png");
  auto onPaper = [&](double x, double y) {
    int col = int(x * 150 / 72) + 25, row = int(1650 - y * 150 / 72) + 25;
    return page.px[std::size_t(row * page.width + col)] & 0xFFFFFF;
  };
  EXPECT_EQ(misses(probes(580), onPaper), std::vector<std::string>{}) << "printer";
  win::DeleteDC(printer);

  // PostScript, rendered by Ghostscript at one pixel a point.
  if (std::system("gs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no Ghostscript";
  std::string dir = testing::TempDir(), ps = dir + "sheet.ps", pnm = dir + "sheet.pnm", err = dir + "sheet.err";
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("printfile"), ps.c_str());
  auto* job = static_cast<vprint*>(vinstanceCreate(vprintColorPSGetDefaultClass()));
  vprintClassOf(job)->setSpool(job, 1);
  vprintClassOf(job)->setMode(job, 6);
  vprintOpen(job);
  vprintBeginPage(job);
  drawSheet();
  vprintEndPage(job);
  vprintClose(job);
  vinstanceDestroy(job);
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("printfile"), "");
  std::string gs = "gs -dSAFER -dBATCH -dNOPAUSE -q -r72 -sPAPERSIZE=letter -sDEVICE=ppmraw -sOutputFile=" + pnm + " " +
                   ps + " >" + err + " 2>&1";
  ASSERT_EQ(std::system(gs.c_str()), 0) << slurp(err);
  std::ifstream in(pnm, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, max = 0;
  in >> magic;
  while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');  // comments
  in >> width >> height >> max;
  in.get();
  ASSERT_EQ(magic, "P6");
  ASSERT_EQ(width, 612);
  ASSERT_EQ(height, 792);
  std::vector<unsigned char> raster(std::size_t(width) * height * 3);
  in.read(reinterpret_cast<char*>(raster.data()), std::streamsize(raster.size()));
  auto onPostScript = [&](double x, double y) {
    const unsigned char* p = &raster[(std::size_t(height - 1 - int(y)) * width + int(x)) * 3];
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
  };
  EXPECT_EQ(misses(probes(580), onPostScript), std::vector<std::string>{}) << "PostScript";
}

}  // namespace
