// The image editor's file dispatch: the reader a name leads to, reading
// real files through it (masks handed over, raises dropped), the icon
// picked from several and what happens to the others, the writer and
// extension of each export type, and failed or refused writes that leave
// the old file alone and say so in a notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/imaging/codecs/vimportgif.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportxbm.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/imaging/vimageedtr_io.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/menus/menubar.h"
#include "platform/win/test.h"
#include "tests/fw/imaging/images.h"

namespace {

namespace fs = std::filesystem;
using testimg::Pixels;

// ---- Images whose births and deaths are counted, clones included.
int born = 0, died = 0;
vimageClassRec* countedClass() {
  static vimageClassRec* cls = [] {
    auto* c = vclassSpawnOf<vimageClassRec>(vimageGetDefaultClass());
    static auto superInit = c->init;
    static auto superCopyInit = c->copyInit;
    static auto superDestroy = c->destroy;
    c->init = [](vinstance* self) { ++born, superInit(self); };
    c->copyInit = [](vobject* from, vobject* to) { ++born, superCopyInit(from, to); };
    c->destroy = [](vinstance* self) { ++died, superDestroy(self); };
    return c;
  }();
  return cls;
}
vimage* counted(int width, int height, std::uint32_t colors) {
  auto* i = static_cast<vimage*>(vinstanceCreate(countedClass()));
  vimageInitSized(i, width, height, colors);
  return i;
}
// An icon image as the reader makes one: its mask attached, not owned.
vimage* icon(int width, int height, std::uint32_t colors) {
  vimage* i = counted(width, height, colors);
  vimageSetMask(i, counted(width, height, 2));
  return i;
}
vimage** arrayOf(std::vector<vimage*> images) {
  auto** a = static_cast<vimage**>(vmemAlloc(sizeof(vimage*) * (images.size() + 1)));
  for (std::size_t i = 0; i < images.size(); ++i) a[i] = images[i];
  a[images.size()] = nullptr;
  return a;
}

TEST(ImageFiles, TheReaderFollowsTheTextAfterTheLastFullStop) {
  struct Row {
    const char* name;
    int reader;
  } rows[] = {
      {"picture.gif", vimageedtrREAD_GIF}, {"picture.GIF", vimageedtrREAD_GIF}, {"picture.Gif", vimageedtrREAD_GIF},
      {"picture.jpeg", vimageedtrREAD_XBM}, {"picture", vimageedtrREAD_XBM},    {"picture.", vimageedtrREAD_XBM},
      {"a.b.ppm", vimageedtrREAD_PNM},     {"a.ppm.b", vimageedtrREAD_XBM},     {"x.PBM", vimageedtrREAD_PNM},
      {"x.pgm", vimageedtrREAD_PNM},       {"x.Bmp", vimageedtrREAD_BMP},       {"x.DIB", vimageedtrREAD_BMP},
      {"x.ico", vimageedtrREAD_ICO},       {"x.icon", vimageedtrREAD_XBM},      {".gif", vimageedtrREAD_GIF},
      {"", vimageedtrREAD_XBM},
  };
  for (const Row& r : rows) EXPECT_EQ(vimageedtrReaderFor(r.name), r.reader) << r.name;
  EXPECT_EQ(vimageedtrReaderFor(nullptr), vimageedtrREAD_XBM);
}

TEST(ImageFiles, ExportTypesGiveTheirFormatAndExtensionAndAnythingElseGif) {
  struct Row {
    const char* type;
    int format;
    const char* extension;
  } rows[] = {
      {"GIF", vimageedtrGIF, "gif"}, {"XBM", vimageedtrXBM, nullptr}, {"PBM", vimageedtrPBM, "pbm"},
      {"PGM", vimageedtrPGM, "pgm"}, {"PPM", vimageedtrPPM, "ppm"},   {"BMP", vimageedtrBMP, "bmp"},
      {"ICO", vimageedtrICO, "ico"}, {"DIB", vimageedtrGIF, "gif"},   {"Default", vimageedtrGIF, "gif"},
      {"Text", vimageedtrGIF, "gif"},
  };
  for (const Row& r : rows) {
    int format = vimageedtrFormatOfType(N(r.type));
    EXPECT_EQ(format, r.format) << r.type;
    const char* extension = vimageedtrFormatExtension(format);
    EXPECT_EQ(extension ? std::string(extension) : "-", r.extension ? r.extension : "-") << r.type;
  }
  EXPECT_EQ(vimageedtrFormatOfType(nullptr), vimageedtrGIF);
  EXPECT_EQ(vimageedtrGetExportFormat(nullptr), vimageedtrGIF);
}

// ---- Picking an icon: what is kept, and nothing left behind.
TEST(ImageFiles, PickIconKeepsTheMostColoursThenTheLargerAndDestroysTheRestWithTheirMasks) {
  struct Row {
    const char* what;
    std::vector<std::array<int, 3>> icons;  // width, height, colours
    int chosen;
  } rows[] = {
      {"16 colours over 2", {{32, 32, 16}, {64, 64, 2}}, 0},
      {"2 colours under 16", {{64, 64, 2}, {32, 32, 16}}, 1},
      {"equal colours, larger", {{16, 16, 16}, {32, 32, 16}}, 1},
      {"equal colours, larger first", {{32, 32, 16}, {16, 16, 16}}, 0},
      {"taller only", {{32, 16, 16}, {32, 32, 16}}, 1},
      {"one", {{16, 16, 2}}, 0},
  };
  for (const Row& r : rows) {
    born = died = 0;
    std::vector<vimage*> made;
    for (auto& d : r.icons) made.push_back(icon(d[0], d[1], std::uint32_t(d[2])));
    vimage* kept = made[std::size_t(r.chosen)];
    vimage* keptMask = kept->mask;
    EXPECT_EQ(vimportPickIcon(arrayOf(made)), kept) << r.what;
    EXPECT_EQ(kept->mask, keptMask) << r.what;
    EXPECT_EQ(born - died, 2) << r.what << ": only the kept image and its mask live";
    vimageSetMask(kept, nullptr);
    vimageDestroy(keptMask);
    vimageDestroy(kept);
  }
  EXPECT_EQ(vimportPickIcon(arrayOf({})), nullptr);
  EXPECT_EQ(vimportPickIcon(nullptr), nullptr);
}

// Images of the default class alive in the process.
std::size_t liveImages() { return vpoolGetUsed(vimageGetDefaultClass()->pool); }

// ---- Reading and writing files, with a notice answered as a user would.
std::vector<std::string> notices;
// Read and clicked away; one the click cannot reach (the platform's file
// dialog holds the input while its hook runs) is answered through its button.
void answerNotice() {
  vwindow* top = vwindowMSWGetCurrentModal();
  if (!top || !vclassIsSubclass(top->cls, vnoticeGetDefaultClass())) return;
  auto* n = static_cast<vnotice*>(top);
  vdialogItem* ok = vconfirmFindButton(n, N("Ok"));
  if (n->data == &notices) {
    if (ok && ok->notifyFunc) ok->notifyFunc(ok, nullptr);
    return;
  }
  char* s = vtextitemGetString(n->text);
  notices.push_back(s ? s : "");
  vmemFree(s);
  n->data = &notices;
  clickConfirmButton(n, "Ok");
}

class Files : public testimg::FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
    win::UseVirtualClock(true);
    notices.clear();
    previousIdle = veventSetIdleHook(answerNotice);
  }
  void TearDown() override {
    veventSetIdleHook(previousIdle);
    win::UseVirtualClock(false);
    FileTest::TearDown();
  }
  vfsPath* at(const std::string& name) {
    paths.push_back(vfsNewPathFromString((dir / name).c_str()));
    return paths.back();
  }
  std::string bytes(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  ~Files() override {
    for (vfsPath* p : paths) vfsFreePath(p);
  }
  std::vector<vfsPath*> paths;
  veventIdleHook previousIdle = nullptr;
};

// A 4 x 2 two-colour picture written in each format under its own name,
// then read back by name only.
TEST_F(Files, EachNameReachesItsReader) {
  vimage* picture = keep(testimg::make(4, 2, 1, {1, 0, 0, 1, 0, 1, 1, 0}));
  vimportWriteGIF(at("picture.GIF"), picture);
  vimportWriteGIF(at("picture.gif"), picture);
  vimportWriteXBM(at("picture.jpeg"), picture);
  vimportWriteXBM(at("picture"), picture);
  vimportWritePNM(at("a.b.ppm"), picture, 5);
  vimportwinWriteBMP(at("p.Dib"), picture);
  fs::copy_file(dir / "picture.gif", dir / "gif.jpeg");  // a GIF under a name that is not one
  struct Row {
    const char* name;
    bool read;
    int depth;
  } rows[] = {
      {"picture.GIF", true, 1}, {"picture.gif", true, 1}, {"picture.jpeg", true, 1}, {"picture", true, 1},
      {"a.b.ppm", true, 24},    {"p.Dib", true, 1},       {"gif.jpeg", false, 0},    {"missing.gif", false, 0},
  };
  for (const Row& r : rows) {
    vimage* mask = reinterpret_cast<vimage*>(1);
    vimage* image = vimageedtrReadImage(at(r.name), &mask);
    EXPECT_EQ(mask, nullptr) << r.name;
    ASSERT_EQ(image != nullptr, r.read) << r.name;
    if (!image) continue;
    keep(image);
    EXPECT_EQ(image->depth, r.depth) << r.name;
    EXPECT_EQ(image->width, 4) << r.name;
    EXPECT_EQ(image->height, 2) << r.name;
  }
  EXPECT_EQ(vexGetCurrentException(), nullptr);
}

// An icon's mask comes back detached and the caller's; a file that is no
// icon raises inside the reader, which the dispatch drops.
TEST_F(Files, AnIconComesBackWithItsMaskDetachedAndARaiseIsDropped) {
  vimage* image = keep(testimg::make(16, 16, 4));
  vimage* mask = keep(testimg::make(16, 16, 1));
  vpixmapFill(mask, 1);
  ASSERT_EQ(vimageedtrWriteImage(at("i.ico"), image, mask, vimageedtrICO, nullptr), 1);
  vimage* readMask = nullptr;
  std::size_t liveBefore = liveImages();
  vimage* read = keep(vimageedtrReadImage(at("i.ico"), &readMask));
  ASSERT_NE(read, nullptr);
  ASSERT_NE(readMask, nullptr);
  keep(readMask);
  EXPECT_EQ(liveImages(), liveBefore + 2) << "the image and the mask handed back, no other";
  EXPECT_EQ(read->mask, nullptr);
  EXPECT_EQ(readMask->width, 16);
  EXPECT_EQ(testimg::pixelsOf(readMask), testimg::pixelsOf(mask));

  std::ofstream(dir / "not.ico", std::ios::binary) << std::string("\x00\x00\x09\x00", 4);
  vexException* before = vexGetCurrentException();
  vimage* none = reinterpret_cast<vimage*>(1);
  EXPECT_EQ(vimageedtrReadImage(at("not.ico"), &none), nullptr);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(vexGetCurrentException(), before);
  EXPECT_TRUE(notices.empty());
}

TEST_F(Files, EachFormatForcesItsExtensionExceptXbm) {
  vimage* picture = keep(testimg::make(8, 8, 4, {1, 2, 3, 4, 5, 6, 7, 8}));
  struct Row {
    int format;
    const char* written;
    const char* magic;
  } rows[] = {
      {vimageedtrPPM, "out.ppm", "P6"}, {vimageedtrPGM, "out.pgm", "P5"},     {vimageedtrPBM, "out.pbm", "P4"},
      {vimageedtrBMP, "out.bmp", "BM"}, {vimageedtrGIF, "out.gif", "GIF87a"}, {vimageedtrXBM, "out.txt", "#define"},
  };
  for (const Row& r : rows) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_EQ(vimageedtrWriteImage(at("out.txt"), picture, nullptr, r.format, nullptr), 1) << r.written;
    EXPECT_EQ(names(), std::vector<std::string>{r.written});
    EXPECT_EQ(bytes(r.written).rfind(r.magic, 0), 0u) << r.written;
  }
  // Without an extension one is added.
  ASSERT_EQ(vimageedtrWriteImage(at("plain"), picture, nullptr, vimageedtrPPM, nullptr), 1);
  EXPECT_TRUE(fs::exists(dir / "plain.ppm"));
  EXPECT_TRUE(notices.empty());
}

// A direct-colour image cannot be a GIF: the file already there keeps its
// bytes, nothing else is left in the folder, and the notice names the file.
TEST_F(Files, AFailedWriteLeavesTheOldFileAndNamesItInANotice) {
  vimage* direct = keep(testimg::make(3, 3, 24, {0xFF0000, 0x00FF00}));
  std::ofstream(dir / "old.gif", std::ios::binary) << "the old picture";
  EXPECT_EQ(vimageedtrWriteImage(at("old.gif"), direct, nullptr, vimageedtrGIF, nullptr), 0);
  EXPECT_EQ(bytes("old.gif"), "the old picture");
  EXPECT_EQ(vimageedtrWriteImage(at("new.txt"), direct, nullptr, vimageedtrGIF, nullptr), 0);
  EXPECT_EQ(names(), std::vector<std::string>{"old.gif"});
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_NE(notices[0].find("\"" + (dir / "old.gif").string() + "\""), std::string::npos) << notices[0];
  EXPECT_NE(notices[1].find("\"" + (dir / "new.gif").string() + "\""), std::string::npos) << notices[1];
  EXPECT_NE(notices[1].find("256 colours"), std::string::npos) << notices[1];
  EXPECT_EQ(vexGetCurrentException(), nullptr);
}

// An icon is written only for a mask, sides of 16, 32 or 64, depth 1 or 4
// and 2, 8 or 16 colours; otherwise nothing is written and a notice says why.
TEST_F(Files, AnIconThatDoesNotQualifyWritesNothingAndSaysSo) {
  vimage* mask16 = keep(testimg::make(16, 16, 1));
  vimage* mask20 = keep(testimg::make(20, 20, 1));
  auto image = [&](int w, int h, std::uint32_t colors) { return keep(vimageCreateSized(w, h, colors)); };
  struct Row {
    const char* what;
    vimage* image;
    vimage* mask;
    bool written;
  } rows[] = {
      {"16 colours, 16 x 16", image(16, 16, 16), mask16, true},
      {"8 colours", image(16, 16, 8), mask16, true},
      {"2 colours", image(16, 16, 2), mask16, true},
      {"64 x 32", image(64, 32, 16), mask16, true},
      {"no mask", image(16, 16, 16), nullptr, false},
      {"20 x 20", image(20, 20, 16), mask20, false},
      {"16 x 20", image(16, 20, 16), mask20, false},
      {"4 colours", image(16, 16, 4), mask16, false},
      {"256 colours", image(16, 16, 256), mask16, false},
  };
  for (const Row& r : rows) {
    fs::remove(dir / "i.ico");
    notices.clear();
    EXPECT_EQ(vimageedtrWriteImage(at("i"), r.image, r.mask, vimageedtrICO, nullptr), r.written ? 1 : 0) << r.what;
    EXPECT_EQ(fs::exists(dir / "i.ico"), r.written) << r.what;
    EXPECT_EQ(notices.size(), r.written ? 0u : 1u) << r.what;
    if (!r.written && !notices.empty()) {
      EXPECT_NE(notices[0].find("icon"), std::string::npos) << notices[0];
      EXPECT_NE(notices[0].find((dir / "i.ico").string()), std::string::npos) << notices[0];
    }
    EXPECT_EQ(r.image->mask, nullptr) << r.what << ": the mask is detached after the write";
  }
}

// ---- The shared choosers.
std::vector<vname> typeNames(vfilechsr* c) {
  std::vector<vname> out;
  for (int i = 0; c->fileTypes && i < c->fileTypes->count; ++i) out.push_back(c->fileTypes->types[i].name);
  return out;
}
int noApply(vfilechsr*, vfsPath*) { return 1; }

TEST_F(Files, TheSharedChoosersListTheirTypesInOrderAndAreMadeOnce) {
  vfilechsr* in = _vimageedtrSharedChooser(vfilechsrOPEN, noApply);
  vfilechsr* out = _vimageedtrSharedChooser(vfilechsrSAVE, noApply);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_NE(in, out);
  EXPECT_EQ(_vimageedtrSharedChooser(vfilechsrOPEN, noApply), in);
  EXPECT_EQ(_vimageedtrSharedChooser(vfilechsrSAVE, noApply), out);
  std::vector<vname> wantIn, wantOut;
  for (const char* n : {"Default", "BMP", "DIB", "GIF", "ICO", "PBM", "PGM", "PPM", "XBM"}) wantIn.push_back(N(n));
  for (const char* n : {"XBM", "BMP", "GIF", "ICO", "PBM", "PGM", "PPM"}) wantOut.push_back(N(n));
  EXPECT_EQ(typeNames(in), wantIn);
  EXPECT_EQ(typeNames(out), wantOut);
  for (int i = 0; i < vimageedtrImportTypeCount(); ++i) EXPECT_EQ(vimageedtrImportType(i), wantIn[std::size_t(i)]);
  for (int i = 0; i < vimageedtrExportTypeCount(); ++i) EXPECT_EQ(vimageedtrExportType(i), wantOut[std::size_t(i)]);
  EXPECT_EQ(in->kind, vfilechsrOPEN);
  EXPECT_EQ(out->kind, vfilechsrSAVE);
  EXPECT_EQ(in->selectionMode, 1);
  EXPECT_EQ(out->selectionMode, 1);
  EXPECT_EQ(in->apply, noApply);
  ASSERT_NE(in->fileType, nullptr);
  EXPECT_EQ(in->fileType->name, N("Default"));
  EXPECT_EQ(vimageedtrGetExportFormat(out), vimageedtrGIF) << "GIF is chosen at first";
  for (int i = 0; i < out->fileTypes->count; ++i) {
    _vfilechsrSelectFileType(out, &out->fileTypes->types[i]);
    EXPECT_EQ(vimageedtrGetExportFormat(out), vimageedtrFormatOfType(out->fileTypes->types[i].name));
  }
  _vfilechsrSelectFileType(out, nullptr);
  EXPECT_EQ(vimageedtrGetExportFormat(out), vimageedtrGIF) << "no type chosen";
  _vfilechsrSelectFileType(out, &out->fileTypes->types[2]);
}

// The groups' patterns pick the image files, whatever their case.
TEST_F(Files, TheImportTypesFilterTheirFiles) {
  vfilechsr* in = _vimageedtrSharedChooser(vfilechsrOPEN, noApply);
  struct Row {
    const char* type;
    const char* name;
    int shown;
  } rows[] = {
      {"GIF", "a.gif", 1}, {"GIF", "A.GIF", 1},   {"GIF", "a.gif.txt", 0}, {"PPM", "b.ppm", 1},
      {"PPM", "b.pgm", 0}, {"XBM", "c.xbm", 1},   {"ICO", "d.ICO", 1},     {"DIB", "e.dib", 1},
      {"BMP", "e.dib", 0}, {"Default", "z", 1},
  };
  vfilechsrFileType* before = in->fileType;
  for (const Row& r : rows) {
    vfilechsrFileType* type = nullptr;
    for (int i = 0; i < in->fileTypes->count; ++i)
      if (in->fileTypes->types[i].name == N(r.type)) type = &in->fileTypes->types[i];
    ASSERT_NE(type, nullptr) << r.type;
    _vfilechsrSelectFileType(in, type);
    vfilechsrEntry entry{};
    entry.name = vstrClone(r.name);
    entry.info.flags = vfsINFO_FILE;
    EXPECT_EQ(_vfilechsrMatchFileType(in, nullptr, &entry, nullptr), r.shown) << r.type << " " << r.name;
    vstrDestroy(entry.name);
  }
  _vfilechsrSelectFileType(in, before);
}

}  // namespace

// ---- The editor's import and export, its choosers answered by the
// platform's dialog script.
namespace {

class EditorFiles : public Files {
 protected:
  void SetUp() override {
    Files::SetUp();
    win::test::ResetInput();
    win::test::ClearFileAnswers();
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "");
    vapplication* app = vapplicationGetCurrent();
    savedUser = vapplicationGetResources(app);
    user = vresourceCreateMemory();
    app->resources = user;
    e = vimageedtrCreate();
  }
  void TearDown() override {
    vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
    if (vwindowIsOpen(e)) vwindowClose(e);
    vinstanceDestroy(e);
    vapplicationGetCurrent()->resources = savedUser;
    vresourceCloseFile(user);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "On");
    win::test::ClearFileAnswers();
    settle();
    Files::TearDown();
  }
  void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  vimage* give(vimage* image) {
    keep(image);
    vimageedtrSetImage(e, image);
    return image;
  }
  // Runs the chooser of the selector on the queued answer.
  void choose(int selector, const std::string& name, const char* type = nullptr) {
    vfilechsr* c = selector == vimageedtrIMPORT ? vimageedtrGetImportChooser(e) : vimageedtrGetExportChooser(e);
    c->state |= vfilechsrNATIVE_ALLOWED;
    if (type)
      for (int i = 0; i < c->fileTypes->count; ++i)
        if (c->fileTypes->types[i].name == N(type)) _vfilechsrSelectFileType(c, &c->fileTypes->types[i]);
    win::test::FileAnswer a;
    a.paths.push_back((dir / name).string());
    win::test::QueueFileAnswer(a);
    vimageedtrIssueSelector(e, selector, nullptr);
    settle();
  }
  vimged* model() { return vimageedtrGetImageModel(e); }
  std::string undoLabel() {
    const char* label = nullptr;
    vimgedCanUndo(model(), &label);
    return label ? label : "(none)";
  }
  vimageedtr* e = nullptr;
  vresource savedUser = 0, user = 0;
};

TEST_F(EditorFiles, ImportReplacesTheImageAsOneUndoStep) {
  Pixels before{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  give(testimg::make(4, 3, 4, before));
  vimportWriteGIF(at("new.GIF"), keep(testimg::make(5, 2, 1, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0})));
  choose(vimageedtrIMPORT, "new.GIF");
  vimage* working = model()->working;
  ASSERT_EQ(working->width, 5);
  ASSERT_EQ(working->height, 2);
  EXPECT_EQ(vimageedtrHasMask(e), 0);
  EXPECT_EQ(undoLabel(), "Undo Set Image");
  vimgedUndo(model());
  settle();
  EXPECT_EQ(model()->working->width, 4);
  EXPECT_EQ(testimg::pixelsOf(model()->working), before);
  // The chooser went to the editor, the first type current.
  vfilechsr* c = vimageedtrGetImportChooser(e);
  EXPECT_EQ(c->data, e);
  EXPECT_EQ(c->kind, vfilechsrOPEN);
  EXPECT_FALSE(win::test::LastFileDialog().save);
  EXPECT_EQ(win::test::LastFileDialog().filters.size(), 9u) << "every import type";
}

TEST_F(EditorFiles, AnImportedIconBringsItsMaskIntoTheMaskView) {
  give(testimg::make(4, 3, 4));
  Pixels maskPixels(16 * 16, 1);
  for (int i = 0; i < 16; ++i) maskPixels[std::size_t(i * 17)] = 0;
  vimage* icon = keep(testimg::make(16, 16, 4, Pixels(256, 5)));
  vimage* mask = keep(testimg::make(16, 16, 1, maskPixels));
  ASSERT_EQ(vimageedtrWriteImage(at("i.ico"), icon, mask, vimageedtrICO, nullptr), 1);
  choose(vimageedtrIMPORT, "i.ico");
  ASSERT_EQ(vimageedtrHasMask(e), 1);
  EXPECT_EQ(testimg::pixelsOf(vimageedtrGetMaskModel(e)->working), maskPixels);
  EXPECT_EQ(testimg::pixelsOf(model()->working), Pixels(256, 5));
  EXPECT_TRUE(vimageedtrGetMaskView(e)->flags & vdialogItemSHOWN);
  EXPECT_EQ(model()->source->mask, nullptr) << "the mask lives in the mask model only";
}

// A file no reader can read changes nothing and says so, naming the file.
TEST_F(EditorFiles, AFileThatGivesNoImageChangesNothing) {
  Pixels before{1, 2, 3, 4};
  give(testimg::make(2, 2, 4, before));
  std::ofstream(dir / "broken.gif", std::ios::binary) << "GIF89a but nothing more";
  choose(vimageedtrIMPORT, "broken.gif");
  EXPECT_EQ(testimg::pixelsOf(model()->working), before);
  EXPECT_EQ(undoLabel(), "(none)");
  ASSERT_EQ(notices.size(), 1u) << "the user hears that nothing was read";
  EXPECT_NE(notices[0].find("\"" + (dir / "broken.gif").string() + "\""), std::string::npos) << notices[0];
}

// The export commits the model; an icon takes the mask model's image and
// the edited image keeps no mask afterwards.
TEST_F(EditorFiles, ExportWritesTheCommittedImageAndTheMaskForAnIcon) {
  vimage* image = give(testimg::make(16, 16, 4, Pixels(256, 2)));
  Pixels maskPixels(256, 1);
  maskPixels[0] = 0;
  vimageedtrSetMask(e, testimg::make(16, 16, 1, maskPixels));
  vimgedSetPixel(model(), 9, 1, 3, 3);
  choose(vimageedtrEXPORT, "out", "ICO");
  EXPECT_EQ(image->mask, nullptr);
  vimage* readMask = nullptr;
  vimage* read = keep(vimageedtrReadImage(at("out.ico"), &readMask));
  ASSERT_NE(read, nullptr);
  ASSERT_NE(readMask, nullptr);
  keep(readMask);
  EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(model()), 3, 3), 9u);
  EXPECT_EQ(testimg::pixelsOf(read), testimg::pixelsOf(model()->working));
  EXPECT_EQ(testimg::pixelsOf(readMask), maskPixels);
  // Without a mask the icon is refused with a notice.
  vimageedtrSetMask(e, nullptr);
  choose(vimageedtrEXPORT, "bare", "ICO");
  EXPECT_FALSE(fs::exists(dir / "bare.ico"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("bare.ico"), std::string::npos) << notices[0];
}

// A pixmap imported from P6 is direct colour: as GIF it cannot be written,
// the file already there stays and the notice names it.
TEST_F(EditorFiles, ADirectColourImageExportedAsGifLeavesTheOldFile) {
  give(testimg::make(2, 2, 4));
  vimportWritePNM(at("deep.ppm"), keep(testimg::make(3, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF})), 5);
  choose(vimageedtrIMPORT, "deep.ppm");
  ASSERT_EQ(model()->working->depth, 24);
  std::ofstream(dir / "old.gif", std::ios::binary) << "the old picture";
  choose(vimageedtrEXPORT, "old.gif", "GIF");
  EXPECT_EQ(bytes("old.gif"), "the old picture");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("\"" + (dir / "old.gif").string() + "\""), std::string::npos) << notices[0];
  EXPECT_EQ(names(), (std::vector<std::string>{"deep.ppm", "old.gif"}));
}

// With no type selected the export is a GIF, whatever the name's extension.
TEST_F(EditorFiles, NoTypeSelectedExportsAGif) {
  vimage* image = testimg::make(3, 2, 4, {1, 2, 3, 4, 5, 6});
  std::vector<std::uint32_t> ramp;
  for (std::uint32_t i = 0; i < 16; ++i) ramp.push_back(i * 0x101010);  // distinct, so none merge
  testimg::setPalette(image, ramp);
  give(image);
  vfilechsr* c = vimageedtrGetExportChooser(e);
  _vfilechsrSelectFileType(c, nullptr);
  choose(vimageedtrEXPORT, "shot.bmp");
  EXPECT_EQ(names(), std::vector<std::string>{"shot.gif"});
  vimage* read = keep(vimageedtrReadImage(at("shot.gif"), nullptr));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(testimg::pixelsOf(read), testimg::pixelsOf(model()->working));
}

// ---- The choosers run modally over the editor, as the program's others.
// While one is up (seen from the run's idle turns): the chooser is the
// modal window, a click on the editor's File title beeps, opens no menu
// and does not raise the editor over it, nor does the press there that
// ends the chooser's own menu; then Escape answers it, and the editor has
// the activation back. The command returns only after that.
struct WhileUp {
  vimageedtr* editor = nullptr;
  vfilechsr* chooser = nullptr;
  bool inCommand = false;
  int step = 0;
  bool seenInCommand = false, modal = false, beeped = false, menuUp = false, chooserOnTop = false;
  bool historyUp = false, menuUpAfterHistory = false, editorMenuWasUp = false;
  int beeps = 0;
} whileUp;

bool above(win::HWND upper, win::HWND lower) {
  const std::vector<win::HWND>& stack = win::test::Headless().stack;
  auto u = std::find(stack.begin(), stack.end(), upper), l = std::find(stack.begin(), stack.end(), lower);
  return u != stack.end() && l != stack.end() && u < l;
}

win::POINT fileTitle(vimageedtr* editor, vmenubar* bar) {
  vrect r = bar->rect;
  vdialogItemListTransformRect(bar->owner, &r);
  win::POINT file{r.x + 12, editor->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(editor->native->hwnd, &file);
  return file;
}

void driveChooser() {
  WhileUp& w = whileUp;
  if (!w.chooser || !vwindowIsOpen(w.chooser)) return;
  auto* bar = static_cast<vmenubar*>(vdialogFindItem(w.editor, vnameInternLiteral("Menu Bar")));
  if (w.step == 0) {
    w.step = 1;
    w.seenInCommand = w.inCommand;
    w.modal = vwindowMSWGetCurrentModal() == w.chooser;
    w.beeps = win::test::BeepCount();
    win::test::Click(fileTitle(w.editor, bar));
  } else if (w.step == 1) {
    w.step = 2;
    w.beeped = win::test::BeepCount() > w.beeps;
    w.menuUp = (bar->barFlags & (vmenubarACTIVE | vmenubarPOPPED)) != 0;
    w.chooserOnTop = above(w.chooser->native->hwnd, w.editor->native->hwnd);
    // The chooser's History menu, ended by a press on the same File title.
    win::test::KeyDown(win::VK_MENU);
    win::test::KeyDown('H');
    win::test::KeyUp('H');
    win::test::KeyUp(win::VK_MENU);
  } else if (w.step == 2) {
    w.step = 3;
    auto* own = static_cast<vmenubar*>(vdialogFindItem(w.chooser, vnameInternLiteral("Local Menu Bar")));
    w.historyUp = own && (own->barFlags & vmenubarPOPPED);
    win::test::Click(fileTitle(w.editor, bar));
  } else {
    // Escape answers the chooser; a menu of the editor's that opened takes
    // Escapes first, one more than it stays up.
    bool editorMenu = (bar->barFlags & (vmenubarACTIVE | vmenubarPOPPED)) != 0;
    if (w.step == 3) w.menuUpAfterHistory = editorMenu;
    if (w.step == 3 || editorMenu || w.editorMenuWasUp) {
      win::test::KeyDown(win::VK_ESCAPE);
      win::test::KeyUp(win::VK_ESCAPE);
    }
    w.editorMenuWasUp = editorMenu;
    ++w.step;
  }
}

TEST_F(EditorFiles, TheChoosersRunModallyOverTheEditor) {
  give(testimg::make(3, 2, 4, {1, 2, 3, 4, 5, 6}));
  for (int selector : {vimageedtrIMPORT, vimageedtrEXPORT}) {
    SCOPED_TRACE(selector == vimageedtrIMPORT ? "Import" : "Export");
    vwindowOpen(e);
    win::SetActiveWindow(e->native->hwnd);
    settle();
    vfilechsr* c = selector == vimageedtrIMPORT ? vimageedtrGetImportChooser(e) : vimageedtrGetExportChooser(e);
    c->state &= ~vfilechsrNATIVE_ALLOWED;  // the framework's own dialog
    whileUp = WhileUp{e, c};
    veventIdleHook previous = veventSetIdleHook(driveChooser);
    whileUp.inCommand = true;
    vimageedtrIssueSelector(e, selector, nullptr);
    whileUp.inCommand = false;
    settle();
    veventSetIdleHook(previous);
    // A chooser left up without a run is tried the same way.
    for (int turn = 0; turn < 2 && vwindowIsOpen(c); ++turn) {
      driveChooser();
      settle();
    }
    EXPECT_TRUE(whileUp.seenInCommand) << "the command waits for the chooser";
    EXPECT_TRUE(whileUp.modal);
    EXPECT_TRUE(whileUp.beeped) << "a click on the blocked editor beeps";
    EXPECT_FALSE(whileUp.menuUp) << "the editor's menu stays shut";
    EXPECT_TRUE(whileUp.chooserOnTop) << "the editor is not raised over the chooser";
    EXPECT_TRUE(whileUp.historyUp) << "Alt+H drops the chooser's History menu";
    EXPECT_FALSE(whileUp.menuUpAfterHistory) << "the press that ends it opens no menu of the editor's";
    EXPECT_GE(whileUp.step, 4);
    EXPECT_FALSE(vwindowIsOpen(c)) << "Escape answered the chooser";
    EXPECT_TRUE(vwindowIsOpen(e));
    EXPECT_EQ(win::GetActiveWindow(), e->native->hwnd) << "the editor has the activation back";
    EXPECT_EQ(vwindowMSWGetCurrentModal(), nullptr);
    whileUp = WhileUp{};
    // Left open when it did not run modally.
    if (vwindowIsOpen(c)) vwindowClose(c);
    if (vwindowIsOpen(e)) vwindowClose(e);
    settle();
  }
}

// An editor's own chooser is used (and given the handler when it has
// none); the shared one forgets an editor that goes.
TEST_F(EditorFiles, AnEditorsOwnChooserOrTheSharedOneThatForgetsIt) {
  vfilechsr* own = vfilechsrCreate();
  vimageedtrSetExportChooser(e, own);
  EXPECT_EQ(vimageedtrGetExportChooser(e), own);
  EXPECT_EQ(own->apply, vimageedtrExportApply);
  EXPECT_EQ(own->data, e);
  vimageedtrSetExportChooser(e, nullptr);
  vinstanceDestroy(own);
  vimageedtr* other = vimageedtrCreate();
  vfilechsr* shared = vimageedtrGetExportChooser(other);
  EXPECT_EQ(shared->data, other);
  vimageedtrSetFlags(other, vimageedtrNO_APPLY_ON_CLOSE);
  vinstanceDestroy(other);
  EXPECT_EQ(shared->data, nullptr);
  EXPECT_EQ(vimageedtrGetExportChooser(e), shared);
  EXPECT_EQ(shared->data, e);
}

}  // namespace
