#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fw/data/inst.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/print/ps.h"
#include "fw/gui/window/msw.h"
#include "tests/fw/gui/raises.h"

namespace {

void setPref(const char* name, const char* value) { vprefSetString(vprefGetDefaultDict(), vscribeCString(name), value); }

std::string out;  // what the capturing jobs were sent

// A PostScript class whose bytes land in `out`, connected to nothing.
vprintClassRec* capturing(bool color) {
  const char* name = color ? "testColorPSCapture" : "testPSCapture";
  vprintClassRec* base = color ? vprintColorPSGetDefaultClass() : vprintPSGetDefaultClass();
  if (vclass* c = vclassFindByName(vscribeCString(name)))
    if (c->superclass == base) return static_cast<vprintClassRec*>(c);
  auto* c = vclassSpawnOf<vprintClassRec>(base);
  vclassSetName(c, vscribeCString(name));
  c->connect = vprintGetDefaultClass()->connect;
  c->disconnect = vprintGetDefaultClass()->disconnect;
  c->write = [](vprint*, const void* bytes, std::size_t count, std::size_t size) {
    out.append(static_cast<const char*>(bytes), count * size);
  };
  return c;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

vfont* helveticaBold12() {
  static int device = vfontAllocDevice();
  vfontFace* face = vfontRegisterFace(vfontRegisterFamily(N("helvetica"), N("Adobe"), N("ansi"), 0, device), N("bold"),
                                      device);
  vmatrix m{12, 0, 0, 12, 0, 0};
  return vfontRegisterSize(face, &m, device);
}

class PostScript : public ::testing::Test {
 public:
  void SetUp() override {
    out.clear();
    vdrawBindPathDevice();
    vdrawSetFont(helveticaBold12());
  }
  void TearDown() override {
    if (job && (job->flags & vprintIN_PAGE)) vprintEndPage(job);
    if (job && (job->flags & vprintOPEN)) vprintClose(job);
    for (vprint* j : jobs) vinstanceDestroy(j);
    vdrawBindPathDevice();
    setPref("printpaper", "");
  }
  vprint* make(bool color = false, std::uint32_t mode = 6) {
    if (job && (job->flags & vprintOPEN)) vprintClose(job);
    job = static_cast<vprint*>(vinstanceCreate(capturing(color)));
    vprintClassOf(job)->setMode(job, mode);
    jobs.push_back(job);
    return job;
  }
  // What body writes inside a page of an open document.
  template <class F>
  std::string inPage(F body, bool color = false) {
    if (!job) make(color);
    if (!(job->flags & vprintOPEN)) vprintOpen(job);
    vprintBeginPage(job);
    out.clear();
    body();
    std::string text = out;
    vprintEndPage(job);
    return text;
  }
  vprint* job = nullptr;
  std::vector<vprint*> jobs;
};

TEST_F(PostScript, DocumentFrameOfALetterJob) {
  make();
  vprintOpen(job);
  for (int i = 0; i < 3; ++i) {
    vprintBeginPage(job);
    vprintEndPage(job);
  }
  vprintClose(job);
  std::string prologue = slurp(std::string(std::getenv("SIM_TEST_DATA")) + "/print/prologue.ps");
  ASSERT_FALSE(prologue.empty());
  std::string expected =
      "%!PS-Adobe-3.0\n%%BoundingBox: 18 7 594 785 \n%%Orientation: Portrait\n%%Pages: (atend)\n"
      "%%PageOrder: Ascend\n%%DocumentFonts: (atend)\n%%DocumentNeededFonts: (atend)\n"
      "%%DocumentData: Clean7Bit\n%%EndComments\n%%BeginDefaults\n%%PageBoundingBox: 18 7 594 785 \n"
      "%%PageOrientation: Portrait\n%%EndDefaults\n%%BeginProlog\n" +
      prologue +
      "%%EndProlog\n%%BeginSetup\n\n%%IncludeFont: Helvetica-Bold\n/Helvetica-Bold 12.0000 ssf\n%%EndSetup\n";
  for (int page = 0; page < 3; ++page)
    expected += "%%Page: " + std::to_string(page) + " " + std::to_string(page + 1) +
                " \n%%PageFonts: (atend)\nsave\nrestore\nshowpage\n%%PageTrailer\n%%PageFonts: \n";
  expected +=
      "%%Trailer\nend\n%%Pages: 3 \n%%DocumentFonts: Helvetica-Bold \n%%DocumentNeededFonts: Helvetica-Bold \n"
      "%%EOF\n";
  EXPECT_EQ(out, expected);
}

TEST_F(PostScript, ModesOrientationColourAndPaperFeature) {
  make(false, 2);  // encapsulated
  vprintOpen(job);
  vprintBeginPage(job);
  vprintEndPage(job);
  vprintClose(job);
  EXPECT_EQ(out.rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 18 7 594 785 \n%%Orientation: Portrait\n%%Pages: 0\n"
                      "%%DocumentFonts:", 0), 0u);
  for (const char* absent : {"%%BeginDefaults", "%%Page:", "showpage", "%%Pages: 1"})
    EXPECT_FALSE(contains(out, absent)) << absent;
  EXPECT_TRUE(contains(out, "save\nrestore\n%%Trailer\nend\n%%DocumentFonts: Helvetica-Bold \n"));

  out.clear();
  make(true, 6);
  vrectFloat square{0, 0, 500, 500};
  vprintClassOf(job)->setPaperRect(job, &square);
  setPref("printpaper", "letter");
  vprintOpen(job);
  EXPECT_EQ(out.rfind("%!PS-Adobe-3.0\n%%Extensions: CMYK\n%%BoundingBox: ", 0), 0u);
  EXPECT_TRUE(contains(out, "%%Orientation: Landscape\n"));
  EXPECT_TRUE(contains(out, "%%PageOrientation: Landscape\n"));
  EXPECT_TRUE(contains(out, "%%BeginFeature: *PageSize Letter\n/letter where {pop letter} if\n%%EndFeature\n"
                            "%%EndSetup\n"));
  vprintClose(job);

  out.clear();
  make(false, 0);  // the prologue and the drawing alone
  vprintOpen(job);
  EXPECT_EQ(out.rfind("50 dict begin\n", 0), 0u);
  vprintClose(job);
  EXPECT_EQ(out.substr(out.size() - 4), "end\n");
}

TEST_F(PostScript, OneDocumentAtATimeAndAFailedOpenGivesItBack) {
  make();
  vprint* first = job;
  vprintOpen(first);
  vprint* second = static_cast<vprint*>(vinstanceCreate(vprintPSGetDefaultClass()));
  jobs.push_back(second);
  std::string message;
  EXPECT_EQ(raised([&] { vprintOpen(second); }, &message), &vexModuleLimitClass);
  EXPECT_EQ(message, "unable to open simultaneous PostScript documents");
  vprintClose(first);

  // A spool job without "printfile" fails to connect; the next document opens.
  setPref("printfile", "");
  vprintClassOf(second)->setSpool(second, 1);
  EXPECT_EQ(raised([&] { vprintOpen(second); }, &message), &vexModuleStateClass);
  EXPECT_EQ(second->flags, vprintSPOOL);
  vprintOpen(first);
  vprintClose(first);
}

// A write that fails inside a page leaves a job that can be neither ended
// nor closed; destroying it gives the document back, so the next job prints.
TEST_F(PostScript, AJobDestroyedInsideAFailedPageLetsTheNextOnePrint) {
  static bool failing = false;
  auto* cls = vclassSpawnOf<vprintClassRec>(capturing(false));
  vclassSetName(cls, vscribeLiteral("testPSFailingWrite"));
  cls->write = [](vprint*, const void*, std::size_t, std::size_t) {
    if (failing) vexGenerateMessage(&vexReturnClass, "unable to write to printer driver");
  };
  auto* broken = static_cast<vprint*>(vinstanceCreate(cls));
  vprintOpen(broken);
  vprintBeginPage(broken);
  failing = true;
  EXPECT_EQ(raised([] { vdrawSetLineWidth(2); }), &vexReturnClass);
  EXPECT_EQ(raised([&] { vprintEndPage(broken); }), &vexReturnClass);
  EXPECT_TRUE(raisesArg([&] { vprintClose(broken); }));
  failing = false;
  EXPECT_EQ(raised([&] { vinstanceDestroy(broken); }), nullptr);
  make();
  vprintOpen(job);
  vprintBeginPage(job);
  vdrawSetLineWidth(3);
  vprintEndPage(job);
  vprintClose(job);
  EXPECT_TRUE(contains(out, "%%EOF\n"));
}

vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r, g, b);
  return vcolorInternSpec(&s);
}

TEST_F(PostScript, StateAndPathOperators) {
  struct Case {
    const char* name;
    void (*draw)();
    const char* text;
  } cases[] = {
      {"reals", [] { vdrawSetLineWidth(612.5), vdrawSetLineWidth(12), vdrawSetMiterLimit(999999.7); },
       "612.500 sw\n12.0000 sw\n1000000 setmiterlimit\n"},
      {"negative", [] { vdrawTranslate(-3.25, 1); }, "-3.25000 1.00000 tm\n"},
      {"rects", [] {
         vrect r[] = {{0, 0, 10, 10}, {20, 20, 5, 5}};
         vdrawFillRects(r, 2);
       }, "20 20 5 5 0 0 10 10 2 rf\n"},
      {"caps", [] { vdrawSetLineCap(1024), vdrawSetLineCap(2048), vdrawSetLineCap(3072); },
       "2 setlinecap\n1 setlinecap\n0 setlinecap\n"},
      {"joins", [] { vdrawSetLineJoin(256), vdrawSetLineJoin(512); }, "2 setlinejoin\n1 setlinejoin\n"},
      {"path", [] {
         vdrawPathMoveTo(1, 2);
         vdrawLineToF(3.5, 4);
         vdrawArc(10, 10, 5, 0, 90, 0);
         vdrawClosePath();
         vdrawFill(0x1000);
         vdrawNewPath();
         vdrawArc(10, 10, 5, 0, 90, 1);
         vdrawStroke();
       }, "1 2 m 3.50000 4.00000 l 10.0000 10.0000 5.00000 0.00000 90.0000 arcn z pF\n"
          "a 10.0000 10.0000 5.00000 0.00000 90.0000 arc ps\n"},
      // Equal angles, or angles whole turns apart, are a whole circle: the
      // interpreter needs the second written a turn on (back for arcn).
      {"whole turns", [] {
         vdrawArc(10, 10, 5, 90, 90, 1);
         vdrawArc(10, 10, 5, 0, 360, 1);
         vdrawArc(10, 10, 5, 360, 0, 1);
         vdrawArc(10, 10, 5, 30, 30, 0);
         vdrawArc(10, 10, 5, 45, 90, 1);
         vdrawNewPath();
       }, "10.0000 10.0000 5.00000 90.0000 450.000 arc 10.0000 10.0000 5.00000 0.00000 360.000 arc "
          "10.0000 10.0000 5.00000 360.000 720.000 arc 10.0000 10.0000 5.00000 30.0000 -330.000 arcn "
          "10.0000 10.0000 5.00000 45.0000 90.0000 arc a "},
      {"colour", [] { vdrawSetColor(rgb(65535, 0, 32768)); }, "1.00000 0.00000 0.500008 sc\n"},
      {"dash", [] {
         float d[] = {3, 1.5f};
         vdrawSetDash(2, d, 0.5);
       }, "[3.00000 1.50000 ] 0.500000 setdash\n"},
      {"save", [] { vdrawGSave(), vdrawScale(2, 2), vdrawGRestore(); }, "gs\n2.00000 2.00000 sm\ngr\n"},
  };
  make();
  for (const auto& c : cases) EXPECT_EQ(inPage(c.draw), c.text) << c.name;
  // A restore that leaves the job's binding writes nothing.
  std::string text = inPage([this] {
    vdrawBindPathDevice();
    vdrawGSave();
    vprintClassRec* c = vprintClassOf(job);
    _vdrawBindDevice(0, job, c->primitives, c->deviceTable, c->driver);
    out.clear();
    vdrawGRestore();
  });
  EXPECT_EQ(text, "");
}

TEST_F(PostScript, TheRegistrysFontsPrintUnderTheStandardNames) {
  // The framework's own preferences map each family and face the font
  // device registers to a font every PostScript printer has.
  vresource prefs = 0;
  ASSERT_TRUE(vresourceTestGet(vinstGetSystemResource(), N("Preferences"), &prefs));
  vprefDictPushResource(vprefGetDefaultDict(), prefs);
  vwindowEnsureStartup();
  struct Case {
    const char* spec;
    const char* name;
  } cases[] = {
      {"family:Times-size:12", "Times-Roman"},
      {"family:Times-face:bold-size:12", "Times-Bold"},
      {"family:Times-face:italic-size:12", "Times-Italic"},
      {"family:Times-face:bold italic-size:12", "Times-BoldItalic"},
      {"family:Arial-size:10", "Helvetica"},
      {"family:Helvetica-face:bold italic-size:10", "Helvetica-BoldOblique"},
      {"family:Courier-face:bold-size:10", "Courier-Bold"},
      {"family:Courier-face:italic-size:10", "Courier-Oblique"},
      {"family:DejaVu Sans-face:bold-size:10", "Helvetica-Bold"},
      {"family:DejaVu Serif-size:10", "Times-Roman"},
      {"family:DejaVu Sans Mono-size:10", "Courier"},
  };
  std::string text = inPage([&] {
    for (const Case& c : cases) vdrawSetFont(vfontFindScribe(vscribeCString(c.spec)));
  });
  for (const Case& c : cases) EXPECT_TRUE(contains(text, std::string("/") + c.name + " ")) << c.spec << "\n" << text;
  EXPECT_FALSE(contains(text, "Medium")) << text;
}

TEST_F(PostScript, StringsAndFonts) {
  make();
  std::string text = inPage([] {
    const char s[] = "a(b)c\\\t\x01\xE9\x81";
    vdrawPathMoveTo(0, 0);
    vdrawGetPrimitives()->Show(s, int(sizeof s - 1));
    vdrawSetFont(helveticaBold12());
    vdrawSetFont(helveticaBold12());
  });
  EXPECT_EQ(text,
            "0 0 m (a\\(b\\)c\\\\\\t\\351) s\n"
            "\n%%IncludeFont: Helvetica-Bold\n/Helvetica-Bold 12.0000 ssf\n/Helvetica-Bold 12.0000 ssf\n");
  EXPECT_TRUE(contains(out, "%%PageFonts: Helvetica-Bold \n"));

  float offsets[] = {1, 2, 3, 4};
  for (auto [flags, tail] : {std::pair{1, "[1.00000 2.00000 ]xshow\n"}, std::pair{3, "[1.00000 2.00000 3.00000 4.00000 ]xyshow\n"},
                             std::pair{2, "[1.00000 2.00000 ]yshow\n"}})
    EXPECT_EQ(inPage([&] {
                vdrawPathMoveTo(0, 0);
                out.clear();
                vdrawGetPrimitives()->XYShow("ab", 2, offsets, flags);
              }),
              std::string("(ab) ") + tail);
}

// A 2 x 2 image of four palette colours, row 0 at the bottom.
vimage* fourColours() {
  vimage* image = vimageCreateSized(2, 2, 4);
  vcolorList* p = vimageGetPalette(image);
  unsigned colours[4][3] = {{65535, 0, 0}, {0, 65535, 0}, {0, 0, 65535}, {65535, 65535, 0}};
  for (int i = 0; i < 4; ++i) vcolorSetSpecRGB(&p->entries[i], colours[i][0], colours[i][1], colours[i][2]);
  vcolorListChanged(p);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int i = 0; i < 4; ++i) vpixmapCursorSetAt(&c, i % 2, i / 2, std::uint32_t(i));
  vpixmapFinishCursor(&c);
  return image;
}

// A one-bit mask without palette with the given pixels set.
vimage* maskOf(int w, int h, std::initializer_list<std::pair<int, int>> set) {
  vimage* mask = vimageCreateSized(w, h, 2);
  vimageSetNoPalette(mask, 1);
  vpixmapFill(mask, 0);
  vpixmapCursor c;
  vpixmapInitCursor(&c, mask);
  for (auto [x, y] : set) vpixmapCursorSetAt(&c, x, y, 1);
  vpixmapFinishCursor(&c);
  return mask;
}

// The four-colour image over 100 x 100 points at (100, 100).
void drawFourColours() {
  vimage* image = fourColours();
  vmatrix m{100, 0, 0, 100, 100, 100};
  vdrawConcat(&m);
  vmatrix unit{2, 0, 0, 2, 0, 0};
  vdrawGetPrimitives()->ImageMatrix(image, &unit);
  vimageDestroy(image);
}

TEST_F(PostScript, ImagesAndMasks) {
  vimage* image = fourColours();
  vmatrix scale{50, 0, 0, 50, 0, 0};
  make(false);
  EXPECT_EQ(inPage([&] { vdrawGetPrimitives()->ImageMatrix(image, &scale); }),
            "\n%%BeginData: 3 Hex Lines\n2 2 8 [50 0 0 50 0 0 ] i\n4C96\n1DE2\n%%EndData\n");
  make(true);
  EXPECT_EQ(inPage([&] {
              vdrawPathMoveTo(0, 0);
              out.clear();
              vdrawGetPrimitives()->Image(image);
            }, true),
            "\n%%BeginData: 3 Hex Lines\n2 2 8 cii\nFF000000FF00\n0000FFFFFF00\n%%EndData\n");

  // A 24-bit grey pixel and a mask row of 1 1 0.
  vimage* deep = vimageCreateSized(1, 1, 0);
  vpixmapSetDepth(deep, 24);
  vimageSetNoPalette(deep, 1);
  vpixmapFill(deep, 0x808080);
  vimage* mask = maskOf(3, 1, {{0, 0}, {1, 0}});
  vmatrix one{1, 0, 0, 1, 0, 0};
  make(false);
  EXPECT_EQ(inPage([&] { vdrawGetPrimitives()->ImageMatrix(deep, &one); }),
            "\n%%BeginData: 2 Hex Lines\n1 1 8 [1 0 0 1 0 0 ] i\n80\n%%EndData\n");
  EXPECT_EQ(inPage([&] { vdrawGetPrimitives()->ImageMaskMatrix(mask, &one); }),
            "\n%%BeginData: 2 Hex Lines\n3 1 true [1 0 0 1 0 0 ] im\nC0\n%%EndData\n");
  EXPECT_EQ(inPage([&] { vdrawGetPrimitives()->ImageMaskPathMatrix(mask, &one); }),
            "[1 0 0 1 0 0 ] dup matrix invertmatrix concat\n0 0 2 1 1 rp\nconcat\n");
  EXPECT_EQ(inPage([&] {
              vdrawPathMoveTo(5, 6);
              out.clear();
              vdrawGetPrimitives()->ImageMaskPath(mask);
            }),
            "5.00000 6.00000 tm\n0 0 2 1 1 rp\n-5.00000 -6.00000 tm\n");
  vimageDestroy(mask);
  vimageDestroy(deep);
  vimageDestroy(image);
}

// ---- Ghostscript renders the documents; the pixels are compared.

struct Raster {
  int width = 0, height = 0, channels = 0;
  std::vector<unsigned char> data;
  // (x, y) with y from the bottom, as PostScript counts.
  const unsigned char* at(int x, int y) const { return &data[(std::size_t(height - 1 - y) * width + x) * channels]; }
};

Raster readPnm(const std::string& path) {
  Raster r;
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic;
  while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');  // comments
  in >> r.width >> r.height >> max;
  in.get();
  r.channels = magic == "P6" ? 3 : 1;
  r.data.resize(std::size_t(r.width) * r.height * r.channels);
  in.read(reinterpret_cast<char*>(r.data.data()), std::streamsize(r.data.size()));
  return r;
}

// Renders the file through Ghostscript at 72 dpi as PNG pages (to look at)
// and as raw pages (to compare); answers the first raw page.
Raster render(const std::string& ps, const std::string& stem, bool grey, bool eps, int* pages = nullptr) {
  std::string dir = testing::TempDir();
  std::string common = "gs -dSAFER -dBATCH -dNOPAUSE -q -r72 " + std::string(eps ? "-dEPSCrop " : "-sPAPERSIZE=letter ");
  std::string err = dir + stem + ".err";
  std::string png = common + "-sDEVICE=" + (grey ? "pnggray" : "png16m") + " -sOutputFile=" + dir + stem +
                    "-%d.png " + ps + " >" + err + " 2>&1";
  EXPECT_EQ(std::system(png.c_str()), 0) << slurp(err);
  EXPECT_EQ(slurp(err), "");
  std::string raw = common + "-sDEVICE=" + (grey ? "pgmraw" : "ppmraw") + " -sOutputFile=" + dir + stem +
                    "-%d.pnm " + ps + " >" + err + " 2>&1";
  EXPECT_EQ(std::system(raw.c_str()), 0) << slurp(err);
  if (pages) {
    *pages = 0;
    while (std::ifstream(dir + stem + "-" + std::to_string(*pages + 1) + ".png")) ++*pages;
  }
  return readPnm(dir + stem + "-1.pnm");
}

// A job spooling to a file in the test folder.
vprint* spoolJob(vprintClassRec* cls, const std::string& path, std::uint32_t mode) {
  setPref("printfile", path.c_str());
  auto* j = static_cast<vprint*>(vinstanceCreate(cls));
  vprintClassOf(j)->setSpool(j, 1);
  vprintClassOf(j)->setMode(j, mode);
  return j;
}

void document(vprintClassRec* cls, const std::string& path, std::uint32_t mode, int pages, void (*draw)()) {
  vprint* j = spoolJob(cls, path, mode);
  vprintOpen(j);
  for (int p = 0; p < pages; ++p) {
    vprintBeginPage(j);
    draw();
    vprintEndPage(j);
  }
  vprintClose(j);
  vinstanceDestroy(j);
  setPref("printfile", "");
}

bool near(const unsigned char* px, const std::vector<int>& want, int channels) {
  int i = 0;
  for (int w : want) {
    if (i >= channels) break;
    if (std::abs(px[i++] - w) > 8) return false;
  }
  return true;
}

TEST_F(PostScript, GhostscriptRendersTheDocuments) {
  if (std::system("gs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no Ghostscript";
  std::string dir = testing::TempDir();
  struct Probe {
    int x, y;
    std::vector<int> rgb;
  };
  struct Case {
    const char* stem;
    bool color;
    void (*draw)();
    std::vector<Probe> probes;
  } cases[] = {
      {"fill", true, [] {
         vdrawSetColor(rgb(65535, 0, 0));
         vdrawRectFill(100, 100, 200, 50);
       }, {{150, 120, {255, 0, 0}}, {90, 120, {255, 255, 255}}, {150, 160, {255, 255, 255}}}},
      {"arc", true, [] {
         vdrawSetLineWidth(10);
         vdrawNewPath();
         vdrawArc(300, 400, 100, 0, 180, 1);
         vdrawStroke();
       }, {{300, 500, {0, 0, 0}}, {300, 300, {255, 255, 255}}, {300, 400, {255, 255, 255}}}},
      {"text", true, [] {
         vrect clip{100, 100, 30, 100};
         vdrawClipRects(&clip, 1);
         vdrawPathMoveTo(100, 110);
         vdrawGetPrimitives()->Show("MMMMMMMMMM", 10);
       }, {{140, 115, {255, 255, 255}}}},
      {"image", true, drawFourColours, {{125, 125, {255, 0, 0}}, {175, 125, {0, 255, 0}}, {125, 175, {0, 0, 255}}, {175, 175, {255, 255, 0}}}},
      {"greyimage", false, drawFourColours, {{125, 125, {76}}, {175, 125, {150}}, {125, 175, {29}}, {175, 175, {226}}}},
      {"maskclip", true, [] {
         vimage* mask = maskOf(2, 2, {{0, 0}, {1, 1}});
         vmatrix m{0.02f, 0, 0, 0.02f, -2, -2};  // user space to the mask's
         vdrawNewPath();
         vdrawGetPrimitives()->ImageMaskPathMatrix(mask, &m);
         vdrawClip(0);
         vdrawSetColor(rgb(0, 0, 65535));
         vdrawRectFill(0, 0, 400, 400);
         vimageDestroy(mask);
       }, {{125, 125, {0, 0, 255}}, {175, 175, {0, 0, 255}}, {175, 125, {255, 255, 255}}, {125, 175, {255, 255, 255}}}},
      {"wideline", true, [] {
         vdrawSetLineWidth(40);
         vdrawSetLineCap(2048);
         vdrawSetLineJoin(256);
         vdrawPathMoveTo(100, 100);
         vdrawLineTo(300, 100);
         vdrawLineTo(300, 300);
         vdrawStroke();
       }, {{85, 100, {0, 0, 0}}, {82, 118, {255, 255, 255}}, {318, 82, {255, 255, 255}}, {300, 315, {0, 0, 0}}}},
  };
  for (const auto& c : cases) {
    std::string ps = dir + c.stem + ".ps";
    document(c.color ? vprintColorPSGetDefaultClass() : vprintPSGetDefaultClass(), ps, 6, 1, c.draw);
    Raster r = render(ps, c.stem, !c.color, false);
    ASSERT_EQ(r.width, 612) << c.stem;
    ASSERT_EQ(r.height, 792) << c.stem;
    for (const auto& p : c.probes) {
      const unsigned char* px = r.at(p.x, p.y);
      EXPECT_TRUE(near(px, p.rgb, r.channels))
          << c.stem << " at " << p.x << "," << p.y << ": " << int(px[0]) << " " << int(px[r.channels > 1 ? 1 : 0])
          << " " << int(px[r.channels > 2 ? 2 : 0]);
    }
  }
  // Text somewhere inside its clip.
  Raster text = render(dir + "text.ps", "text", false, false);
  int dark = 0;
  for (int y = 100; y < 130; ++y)
    for (int x = 100; x < 130; ++x) dark += text.at(x, y)[0] < 128;
  EXPECT_GT(dark, 20);

  // An encapsulated file crops to its box; three pages give three PNGs.
  document(vprintColorPSGetDefaultClass(), dir + "eps.ps", 2, 1, [] { vdrawRectFill(100, 100, 10, 10); });
  Raster eps = render(dir + "eps.ps", "eps", false, true);
  EXPECT_EQ(eps.width, 576);
  int pages = 0;
  document(vprintPSGetDefaultClass(), dir + "three.ps", 6, 3, [] { vdrawRectFill(100, 100, 10, 10); });
  render(dir + "three.ps", "three", true, false, &pages);
  EXPECT_EQ(pages, 3);
}

}  // namespace
