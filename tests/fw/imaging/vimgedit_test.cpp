// vimgedit end to end on the headless back-end: a GIF made by Pillow is
// opened as the program opens it, a pencil stroke is drawn through the
// platform's input, the image is exported as a portable pixmap through the
// export chooser answered by the platform's dialog script, and Pillow reads
// the pixels back. Also: a new image without a file, a file that is no
// image, and closing, which writes nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "app/vimgedit/vimgedit_app.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/imaging/vimageedtr_io.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/test.h"
#include "tests/fw/imaging/images.h"

namespace {

namespace fs = std::filesystem;

// Runs Pillow's python with a script; its standard output, or nothing
// (and *ok false) when it failed or Pillow is missing.
std::string python(const std::string& script, bool* ok) {
  fs::path file = fs::temp_directory_path() / ("vimgedit-" + std::to_string(getpid()) + ".py");
  std::ofstream(file) << script;
  std::string command = std::string(SYSTEM_PYTHON3) + " " + file.string() + " 2>/dev/null";
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
  }
  int status = p ? pclose(p) : -1;
  fs::remove(file);
  *ok = status == 0;
  return out;
}

bool havePillow() {
  bool ok = false;
  python("import PIL.Image\n", &ok);
  return ok;
}

class Vimgedit : public ::testing::Test {
 protected:
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
    win::UseVirtualClock(true);
    win::test::ResetInput();
    win::test::ClearFileAnswers();
    // The choosers take the system's dialog, which the platform's script answers.
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "");
    dir = fs::temp_directory_path() / ("vimgedit-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    vimgeditDestroy(session);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "On");
    win::test::ClearFileAnswers();
    win::test::ResetInput();
    settle();
    win::UseVirtualClock(false);
    fs::remove_all(dir);
  }
  void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  vimageedtr* editor() { return session->editor; }
  win::POINT cell(int ix, int iy) {
    vimgedview* v = vimageedtrGetImageView(editor());
    vrect c = vimgedviewCellRect(v, ix, iy);
    vrect r{std::int16_t(c.x + c.width / 2), std::int16_t(c.y + c.height / 2), 0, 0};
    vdialogItemListTransformRect(v->owner, &r);
    win::POINT p{r.x, editor()->rect.height - 1 - r.y};
    win::ClientToScreen(editor()->native->hwnd, &p);
    return p;
  }
  void stroke(const std::vector<std::pair<int, int>>& cells) {
    win::SetActiveWindow(editor()->native->hwnd);
    win::test::MouseMove(cell(cells.front().first, cells.front().second));
    settle();
    win::test::MouseDown(cell(cells.front().first, cells.front().second));
    settle();
    for (auto& c : cells) {
      win::test::MouseMove(cell(c.first, c.second));
      settle();
    }
    win::test::MouseUp(cell(cells.back().first, cells.back().second));
    settle();
  }
  void answer(const fs::path& file) {
    win::test::FileAnswer a;
    a.paths.push_back(file.string());
    win::test::QueueFileAnswer(a);
  }
  void chooseType(vfilechsr* c, const char* type) {
    for (int i = 0; c->fileTypes && i < c->fileTypes->count; ++i)
      if (c->fileTypes->types[i].name == vnameInternLiteral(type)) _vfilechsrSelectFileType(c, &c->fileTypes->types[i]);
  }
  vimgedit* session = nullptr;
  fs::path dir;
};

TEST_F(Vimgedit, AGifFromPillowPaintedAndExportedAsAPixmapReadsBackInPillow) {
  if (!havePillow()) GTEST_SKIP() << "no Pillow";
  // 6 x 4, four colours, top row first as Pillow counts.
  fs::path gif = dir / "picture.gif";
  bool ok = false;
  python("import PIL.Image\n"
         "im = PIL.Image.new('P', (6, 4))\n"
         "im.putpalette([255,255,255, 0,0,0, 255,0,0, 0,0,255])\n"
         "im.putdata([0,1,2,3,0,1, 1,1,1,1,1,1, 2,2,2,2,2,2, 3,3,0,0,3,3])\n"
         "im.save('" + gif.string() + "')\n",
         &ok);
  ASSERT_TRUE(ok) << "Pillow wrote no GIF";
  const char* error = nullptr;
  session = vimgeditOpen(gif.c_str(), false, &error);
  ASSERT_NE(session, nullptr) << (error ? error : "");
  settle();
  ASSERT_TRUE(vwindowIsOpen(editor()));
  vimged* model = vimageedtrGetImageModel(editor());
  ASSERT_EQ(model->working->width, 6);
  ASSERT_EQ(model->working->height, 4);

  // Red as the foreground, then a stroke along Pillow's second row (image
  // row 2 from the bottom), columns 1 to 4.
  vcolorList* palette = vimageGetPalette(model->working);
  std::uint32_t red = palette->count;
  for (std::uint32_t i = 0; i < palette->count; ++i)
    if (testimg::packed(palette->entries[i]) == 0xFF0000) red = i;
  ASSERT_LT(red, palette->count);
  vimgedview* view = vimageedtrGetImageView(editor());
  vimgedviewSetTool(view, vimgedviewPENCIL);
  vimgedviewSetForeground(view, red);
  stroke({{1, 2}, {2, 2}, {3, 2}, {4, 2}});
  for (int x = 1; x <= 4; ++x) EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(model), x, 2), red) << x;

  // Export through the chooser, "PPM" chosen, to a name ending in .txt.
  vfilechsr* chooser = vimageedtrGetExportChooser(editor());
  chooser->state |= vfilechsrNATIVE_ALLOWED;
  chooseType(chooser, "PPM");
  answer(dir / "painted.txt");
  vimageedtrIssueSelector(editor(), vimageedtrEXPORT, nullptr);
  settle();
  fs::path ppm = dir / "painted.ppm";
  ASSERT_TRUE(fs::exists(ppm));
  EXPECT_FALSE(fs::exists(dir / "painted.txt"));
  std::string pixels = python("import PIL.Image\n"
                              "im = PIL.Image.open('" + ppm.string() + "')\n"
                              "print(im.format, im.mode, im.size[0], im.size[1])\n"
                              "for y in range(im.size[1]):\n"
                              "  print(' '.join('%02x%02x%02x' % im.getpixel((x, y)) for x in range(im.size[0])))\n",
                              &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(pixels,
            "PPM RGB 6 4\n"
            "ffffff 000000 ff0000 0000ff ffffff 000000\n"
            "000000 ff0000 ff0000 ff0000 ff0000 000000\n"
            "ff0000 ff0000 ff0000 ff0000 ff0000 ff0000\n"
            "0000ff 0000ff ffffff ffffff 0000ff 0000ff\n");
  // The picture file itself is never written by the editor.
  bool same = false;
  std::string again = python("import PIL.Image\n"
                             "im = PIL.Image.open('" + gif.string() + "').convert('RGB')\n"
                             "print(im.getpixel((1, 1)))\n",
                             &same);
  EXPECT_EQ(again, "(0, 0, 0)\n");
}

// Without a file: a white 32 x 32 image of 16 colours; closing calls back
// once and writes no file anywhere.
TEST_F(Vimgedit, WithoutAFileANewImageAndClosingWritesNothing) {
  session = vimgeditOpen(nullptr, false, nullptr);
  ASSERT_NE(session, nullptr);
  settle();
  vimage* image = vimageedtrGetImageModel(editor())->working;
  EXPECT_EQ(image->width, vimgeditNEW_SIZE);
  EXPECT_EQ(image->height, vimgeditNEW_SIZE);
  EXPECT_EQ(image->numColors, std::uint32_t(vimgeditNEW_COLORS));
  vcolorList* palette = vimageGetPalette(image);
  EXPECT_EQ(testimg::packed(palette->entries[0]), 0xFFFFFFu);
  EXPECT_EQ(testimg::packed(palette->entries[1]), 0x000000u);
  for (std::uint32_t p : testimg::pixelsOf(image)) ASSERT_EQ(p, 0u);
  auto before = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
  vimageedtrIssueSelector(editor(), vimageedtrCLOSE, nullptr);
  settle();
  EXPECT_FALSE(vwindowIsOpen(editor()));
  EXPECT_EQ(session->closes, 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), before);
}

TEST_F(Vimgedit, AFileThatIsNoImageOpensNothing) {
  std::ofstream(dir / "notes.gif") << "not a picture";
  const char* error = nullptr;
  EXPECT_EQ(vimgeditOpen((dir / "notes.gif").c_str(), false, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(vimgeditOpen((dir / "missing.ppm").c_str(), false, &error), nullptr);
}

}  // namespace
