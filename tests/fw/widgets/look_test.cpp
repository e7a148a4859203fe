#include "fw/widgets/look/laf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/dict.h"
#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/hooks.h"
#include "fw/widgets/hooks.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/widgets_support.h"

namespace {

struct RunExitHandlersAtEnd : ::testing::Environment {
  void SetUp() override { vrstoreInstallInterface(); }
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd =
    ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

vname name(const char* text) { return vnameInternLiteral(text); }

// The application's pointer bindings, emptied before a look fills them.
void clearPointerBindings() {
  vapplication* app = vapplicationGetCurrent();
  vdictDestroy(app->pointerBindings);
  app->pointerBindings = vdictCreate(vdictHashPointer);
}
vname bindingOf(std::uint32_t code) {
  return static_cast<vname>(vdictGet(vapplicationGetCurrent()->pointerBindings, reinterpret_cast<void*>(code + 1)));
}

// ---- The record per context.
TEST(Look, PreferencesChooseTheRecord) {
  struct Case {
    std::initializer_list<std::pair<const char*, const char*>> prefs;
    const char* name;
    int id;
    std::uint32_t flags;
    int lineWidth, corner;
  };
  const Case cases[] = {
      {{}, "Win95", vlafWIN95, 0x3f8807, 1, 0},
      {{{"laf", "Windows"}}, "Win95", vlafWIN95, 0x3f8807, 1, 0},  // matched exactly
      {{{"laf", "win95"}}, "Win95", vlafWIN95, 0x3f8807, 1, 0},
      // Windows loses the native menu bar on this platform (version 4), and with it the global one.
      {{{"laf", "windows"}}, "Windows", vlafWINDOWS, 0x270807, 1, 2},
      {{{"laf", "windows"}, {"monochrome", "1"}}, "Windows", vlafWINDOWS, 0x270806, 1, 2},
      {{{"laf", "windows2d"}}, "Windows", vlafWINDOWS, 0x270806, 1, 2},
      {{{"laf", "windows3d"}}, "Windows", vlafWINDOWS, 0x270807, 1, 2},
      {{{"laf", "motif"}}, "Motif", vlafMOTIF, 0x20817, 2, 4},
      {{{"laf", "openlook"}}, "Open Look", vlafOPEN_LOOK, 0x7f9, 1, 8},
      {{{"laf", "openlook"}, {"monochrome", "1"}}, "Open Look", vlafOPEN_LOOK, 0xff8, 1, 8},
      {{{"laf", "openlook2d"}}, "Open Look", vlafOPEN_LOOK, 0xff8, 1, 8},
      {{{"laf", "openlook3d"}, {"keynav", "1"}, {"leftscrollbar", "x"}}, "Open Look", vlafOPEN_LOOK, 0x17fb, 1, 8},
      {{{"laf", "cua"}}, "CUA", vlafCUA, 0x60807, 1, 2},
      // Flag preferences, then the native-menu and MDI rules.
      {{{"laf", "motif"}, {"nativemenubar", "1"}}, "Motif", vlafMOTIF, 0x20817, 2, 4},
      {{{"nonativemenubar", "1"}}, "Win95", vlafWIN95, 0x2f0807, 1, 0},
      {{{"mdi", "1"}, {"nonativemenubar", "1"}, {"globalmenubar", "1"}}, "Win95", vlafWIN95, 0x2f0807, 1, 0},
      {{{"laf", "windows"}, {"nomdi", "1"}}, "Windows", vlafWINDOWS, 0x268807, 1, 2},
      {{{"laf", "cua"}, {"mdi", "1"}}, "CUA", vlafCUA, 0x70807, 1, 2},
      {{{"laf", "cua"}, {"mdi", "1"}, {"nativemenubar", "1"}, {"globalmenubar", "1"}}, "CUA", vlafCUA, 0x70807, 1, 2},
      {{{"noglobalmenubar", "1"}}, "Win95", vlafWIN95, 0x3f8807, 1, 0},  // MDI with the native bar sets it again
      {{{"nonativemenubar", ""}}, "Win95", vlafWIN95, 0x3f8807, 1, 0},   // empty counts as unset
  };
  static bool monochrome = false;
  StandInServices stand;
  stand.services.isMonochrome = [] { return int(monochrome); };
  for (const Case& c : cases) {
    monochrome = false;
    for (auto [pref, value] : c.prefs) monochrome = monochrome || std::string(pref) == "monochrome";
    FreshContext context(c.prefs);
    const vlaf* look = vlafGetCurrent();
    std::string what = std::string(c.name) + " flags " + std::to_string(c.flags);
    EXPECT_STREQ(look->name, c.name) << what;
    EXPECT_EQ(look->tag, name(c.name)) << what;
    EXPECT_EQ(look->id, c.id) << what;
    EXPECT_EQ(look->flags, c.flags) << what;
    EXPECT_EQ(look->lineWidth, c.lineWidth) << what;
    EXPECT_EQ(look->cornerRadius, c.corner) << what;
    EXPECT_EQ(look->mnemonicModifiers, 1) << what;
    EXPECT_EQ(vlafGetCurrent(), look) << "built once per context";
    EXPECT_EQ(vapplicationGetLineWidth(vapplicationGetCurrent()), c.lineWidth) << what;
  }
  FreshContext keys({{"mnemonickey", "control:shift"}});
  EXPECT_EQ(vlafGetCurrent()->mnemonicModifiers, 6);
}

TEST(Look, PointerBindingsAndSchemeClosurePerLook) {
  struct Case {
    const char* laf;
    const char* commandKey;
    std::vector<std::pair<std::uint32_t, const char*>> bindings;  // code as stored, name
    std::uint32_t closureOfBackground;  // what the look's hook makes of the mask of index 2
  };
  const std::uint32_t background = vcolorSchemeBit(vcolorBACKGROUND);
  const Case cases[] = {
      {"win95", nullptr, {{0x10, "Select"}, {0x12, "Adjust"}, {0x50, "Drag"}, {0x16, "Menu"}}, background | 8},
      {"windows", "control", {{0x18, "Adjust"}, {0x28, "Grab"}, {0x30, "Menu"}}, background | 8},
      {"openlook", nullptr, {{0x20, "Adjust"}, {0x12, "Drag"}, {0x11, "Menu"}}, 0},
      {"openlook", "control", {{0x18, "Drag"}, {0x28, "Grab"}}, 0},
      {"cua", nullptr, {{0x30, "Drag"}, {0x42, "Grab"}}, background},
  };
  for (const Case& c : cases) {
    clearPointerBindings();
    vapplication* app = vapplicationGetCurrent();
    vapplicationClassOf(app)->setSchemeClosure(app, vapplicationDefaultClosure);
    FreshContext context({{"laf", c.laf}, {"commandkey", c.commandKey}});
    vlafGetCurrent();
    for (auto [code, binding] : c.bindings) EXPECT_EQ(bindingOf(code), name(binding)) << c.laf << " " << code;
    if (c.commandKey) {
      EXPECT_EQ(bindingOf(0x12), nullptr) << "the command key's bits become Cmd";
    }
    if (c.closureOfBackground) {
      EXPECT_EQ(app->closure(background), c.closureOfBackground) << c.laf;
    } else {
      EXPECT_NE(vapplicationGetBlockCursor(app), nullptr) << "the other looks set the block cursor";
    }
  }
}


// ---- System colours: the fixed tables and global bindings per look, and
// the per-class calls that only the matching look passes on.
std::vector<std::string> registered;
void note(std::string text) { registered.push_back(std::move(text)); }

TEST(Look, SystemColoursAndClassBindings) {
  StandInServices stand;
  stand.services.setSysColorTable = [](const std::uint16_t (*rgb)[3], int n) {
    note("table " + std::to_string(n) + " last " + std::to_string(rgb[n - 1][2]));
  };
  stand.services.setSchemeSysColor = [](int i, int c) { note(std::to_string(i) + "->" + std::to_string(c)); };
  stand.services.setClassSchemeSysColor = [](const char* cls, int i, int c) {
    note(std::string(cls) + " " + std::to_string(i) + "->" + std::to_string(c));
  };
  stand.services.addNativeColorClass = [](vclass* cls) { note(std::string("native ") + cls->name); };
  stand.services.setClassFont = [](const char* cls, int kind) { note(std::string(cls) + " font " + std::to_string(kind)); };
  stand.services.getSysColor = [](int index, unsigned* r, unsigned* g, unsigned* b) {
    *r = *g = *b = index == 15 ? 0xC0 : 0;
  };
  struct Case {
    const char* laf;
    std::size_t calls;
    std::vector<std::string> some;
  } cases[] = {
      {"windows", 1 + 14, {"table 26 last 0", "0->18", "2->15", "8->14", "17->6"}},  // fixed table: version 4
      {"windows2d", 1 + 14, {"0->8", "2->5"}},
      {"cua", 1 + 20, {"table 41 last 32896", "2->16", "18->12"}},
      {"win95", 18, {"0->18", "20->22", "23->21"}},
      {"motif", 0, {}},
  };
  for (const Case& c : cases) {
    registered.clear();
    FreshContext context({{"laf", c.laf}});
    vlafGetCurrent();
    EXPECT_EQ(registered.size(), c.calls) << c.laf;
    for (const std::string& call : c.some)
      EXPECT_NE(std::find(registered.begin(), registered.end(), call), registered.end()) << c.laf << " " << call;
  }
  {
    FreshContext context({{"laf", "win95"}});
    vlafGetCurrent();
    registered.clear();
    vclass* cls = vimageGetDefaultClass();
    vlafSetClassMSWSysColor(vlafWIN95, -1, cls, 4, 3);
    vlafSetClassMSWSysColor(vlafWIN95, 1, cls, 5, -1);  // not a system colour
    vlafSetClassMSWSysColor(vlafWIN95, 0, cls, 6, 3);   // the 2D variant only
    vlafSetClassMSWSysColor(vlafWINDOWS, -1, cls, 7, 3);
    vlafSetClassMSWColors(vlafWIN95, cls);
    vlafSetClassMSWColors(vlafCUA, cls);
    vlafSetClassMSWFont(vlafWIN95, cls, 1);
    EXPECT_EQ(registered, (std::vector<std::string>{"vimage 4->16", "vimage 5->-1", "native vimage", "vimage font 1"}));
    EXPECT_EQ(vlafGetSysColorIndex(0), 15);
    vcolorSpec grey;
    vcolorInitSpec(&grey);
    vcolorSetSpecRGB(&grey, 0xC0C0, 0xC0C0, 0xC0C0);
    vcolor* face = vcolorInternSpec(&grey);
    EXPECT_TRUE(vlafMatchesMSWSysColor(face, 0)) << "role 0 is system colour 15";
    EXPECT_FALSE(vlafMatchesMSWSysColor(face, 1));
    vcolorRelease(face);
    vcolorDestroySpec(&grey);
  }
  FreshContext windows({{"laf", "windows"}});
  vlafGetCurrent();
  registered.clear();
  vlafSetClassMSWFont(vlafWINDOWS, vimageGetDefaultClass(), 0);
  EXPECT_TRUE(registered.empty()) << "native fonts only in Win95";
}

// ---- Images, glyphs, cursors and notice icons.
TEST(Look, OutOfRangeIndexesRaise) {
  FreshContext context;
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"image -1", [] { vlafGetImage(-1); }},          {"image 148", [] { vlafGetImage(148); }},
      {"glyph 256", [] { vlafDrawGlyph(256, 7); }},    {"glyph mask -1", [] { vlafGetGlyphMask(-1); }},
      {"cursor 17", [] { vlafGetCursor(17); }},        {"notice 4", [] { vlafGetNoticeImage(4); }},
      {"notice -1", [] { vlafGetNoticeImage(-1); }},
  };
  for (const auto& [what, call] : cases) EXPECT_EQ(raisedClass(call), &vexArgRangeClass) << what;
  std::string message;
  vexGuard([] { vlafGetNoticeImage(4); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "laf image out of bounds");
  EXPECT_NE(vlafGetImage(147), nullptr);
  EXPECT_NE(vlafGetCursor(16), nullptr);
  // Cursors are cursor objects: the block cursor keeps its authored hot spot.
  vcursor* block = vlafGetCursor(0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(vcursorGetHotX(block), 5);
  EXPECT_EQ(vcursorGetHotY(block), 6);
  EXPECT_NE(vcursorGetMSWCursor(block), nullptr);
  EXPECT_NE(vlafGetNoticeImage(3), nullptr);
}

// A test dictionary as the application's own: element k of group g is a
// mask (k + 1) wide and (g + 1) high, so each index tells where it came from.
class LookFile : public ::testing::Test {
 public:
  vresource root = 0;
  vapplicationResourceFile file{};
  vapplicationResourceFile* savedFile = nullptr;
  void SetUp() override {
    _vlafShutdown();
    root = vrstoreCreateMemory();
    std::string text = "vlaf = dictionary {\n";
    const std::pair<const char*, int> groups[] = {{"ISO", 17}, {"Windows", 64}, {"Open Look", 8}, {"CUA", 28}, {"Win95", 31}};
    int g = 0;
    for (auto [group, count] : groups) {
      text += std::string("  \"") + group + "\" = dictionary { Masks = array dictionary [\n";
      for (int k = 0; k < count; ++k) {
        text += "    mask " + std::to_string(k + 1) + " " + std::to_string(g + 1) + " [";
        for (int row = 0; row <= g; ++row) text += " \"" + std::string(std::size_t(k + 1), '#') + "\"";
        text += " ]\n";
      }
      text += "  ] }\n";
      ++g;
    }
    text += "}\n";
    std::string error;
    ASSERT_TRUE(vrtextParse(text, root, &error)) << error;
    vapplication* app = vapplicationGetCurrent();
    savedFile = app->file;
    file = {1, 0, root};
    app->file = &file;
  }
  void TearDown() override {
    _vlafShutdown();
    vapplicationGetCurrent()->file = savedFile;
    vrstoreCloseFile(root);
  }
};

TEST_F(LookFile, IndexesMapToTheirGroups) {
  FreshContext context({{"laf", "motif"}});
  struct Group {
    int first, last, height;
  } groups[] = {{0, 16, 1}, {17, 80, 2}, {81, 88, 3}, {89, 116, 4}, {117, 147, 5}};
  for (const Group& g : groups)
    for (int i = g.first; i <= g.last; ++i) {
      vimage* image = vlafGetImage(i);
      ASSERT_NE(image, nullptr) << i;
      EXPECT_EQ(image->width, i - g.first + 1) << i;
      EXPECT_EQ(image->height, g.height) << i;
      EXPECT_EQ(vlafGetImage(i), image) << "cached";
    }
  EXPECT_EQ(vlafGetGlyphMask(24), nullptr) << "no glyph array: nothing to draw";
  EXPECT_EQ(vlafGetCursor(0), nullptr) << "no Motif entry";
  EXPECT_EQ(vlafGetNoticeImage(0), nullptr);
}

// The Win95 look on version 4 asks the bitmap loader first: three images
// inverted, the check-box cells from a 4 x 3 sheet, and the bitmap images
// dropped once per start-up of the window system.
TEST_F(LookFile, Win95AsksThePredefinedBitmapsFirst) {
  static int startups = 1;
  static std::vector<int> asked;
  StandInServices stand;
  stand.services.majorVersion = [] { return 4; };
  stand.services.startupCount = [] { return startups; };
  stand.services.loadBitmapImage = [](int id) -> vimage* {
    asked.push_back(id);
    if (id == vlafOBM_CHECKBOXES) {
      // 4 x 3 cells of 2 x 2; cell (column c, row r from the bottom) holds value 4r + c.
      vimage* sheet = vimageCreateSized(8, 6, 16);
      vpixmapint::HeldCursor cur(sheet);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) vpixmapCursorSetAt(&cur.c, x, y, std::uint32_t(4 * (y / 2) + x / 2));
      return sheet;
    }
    if (id == vlafOBM_BTNCORNERS) return vimageCreateSized(2, 2, 2);
    if (id == vlafOBM_UPARROWD) return nullptr;  // one the platform cannot load
    vimage* image = vimageCreateSized(3, 1, 2);
    vpixmapint::HeldCursor cur(image);
    vpixmapCursorSetAt(&cur.c, 0, 0, 1);
    return image;
  };
  stand.services.createDisplayImage = [](int w, int h) { return vimageCreateSized(w, h, 16); };
  FreshContext context({{"laf", "win95"}});
  auto pixel = [](vimage* image, int x, int y) {
    vpixmapint::HeldCursor cur(image);
    return vpixmapCursorGetAt(&cur.c, x, y);
  };
  vimage* arrow = vlafGetImage(117);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(arrow->width, 3);
  EXPECT_EQ(pixel(arrow, 0, 0), 0u) << "inverted";
  EXPECT_EQ(pixel(arrow, 1, 0), 1u);
  const std::pair<int, int> sources[] = {{118, vlafOBM_CHECK},    {135, vlafOBM_DNARROW},  {137, vlafOBM_DNARROWI},
                                         {138, vlafOBM_LFARROW},  {141, vlafOBM_RGARROW},  {144, vlafOBM_UPARROW},
                                         {146, vlafOBM_UPARROWI}, {147, vlafOBM_COMBO}};
  for (auto [index, id] : sources) {
    asked.clear();
    vlafGetImage(index);
    EXPECT_EQ(asked, std::vector<int>{id}) << index;
  }
  EXPECT_EQ(pixel(vlafGetImage(135), 0, 0), 1u) << "arrows are not inverted";
  EXPECT_EQ(pixel(vlafGetImage(147), 0, 0), 0u) << "the combo arrow is";
  EXPECT_EQ(vlafGetImage(145)->width, 145 - 117 + 1) << "a bitmap the platform lacks: the resource element";
  struct Cell {
    int index, column, row;
  } cells[] = {{120, 0, 2}, {123, 3, 2}, {124, 2, 0}, {125, 3, 0}, {126, 0, 1}, {129, 3, 1}, {130, 0, 0}};
  for (const Cell& c : cells) {
    vimage* cell = vlafGetImage(c.index);
    ASSERT_EQ(cell->width, 2) << c.index;
    EXPECT_EQ(pixel(cell, 1, 1), std::uint32_t(4 * c.row + c.column)) << c.index;
    EXPECT_EQ(cell->mask != nullptr, c.index >= 126) << c.index;
  }
  vimage* plain = vlafGetImage(119);
  EXPECT_EQ(plain->width, 119 - 117 + 1) << "no bitmap for 119";
  vimage* kept = vlafGetImage(0);
  asked.clear();
  EXPECT_EQ(vlafGetImage(117), arrow) << "the same start-up keeps the cache";
  EXPECT_TRUE(asked.empty());
  ++startups;
  vimage* again = vlafGetImage(118);
  EXPECT_FALSE(asked.empty()) << "a new start-up drops the bitmap images";
  EXPECT_EQ(vlafGetImage(0), kept) << "others stay";
  EXPECT_EQ(vlafGetImage(119), plain);
  EXPECT_EQ(vlafGetImage(118), again);
}

TEST_F(LookFile, OldWindowsAsksForTheWindowsGroupInstead) {
  static std::vector<int> asked;
  asked.clear();
  StandInServices stand;
  stand.services.majorVersion = [] { return 3; };
  stand.services.loadBitmapImage = [](int id) -> vimage* {
    asked.push_back(id);
    return nullptr;
  };
  FreshContext context({{"laf", "win95"}});
  vlafGetImage(118);
  EXPECT_TRUE(asked.empty()) << "Win95 images come from the resources before version 4";
  vlafGetImage(32);
  EXPECT_EQ(asked, std::vector<int>{vlafOBM_CHECK});
}

// ---- The framework's own look data.
TEST(LookData, TheBuiltFileHoldsEveryImageGlyphCursorAndIcon) {
  _vlafShutdown();
  vresource vlafDict = vresourceGet(vinstGetSystemResource(), name("vlaf"));
  struct Array {
    const char* look;
    const char* array;
    int count;
  } arrays[] = {{"ISO", "Masks", 17},       {"Windows", "Masks", 64}, {"Open Look", "Masks", 8},
                {"Open Look", "Glyph Masks", 256}, {"CUA", "Masks", 28}, {"Win95", "Masks", 31}};
  for (const Array& a : arrays) {
    vresource r = vresourceGet(vresourceGet(vlafDict, name(a.look)), name(a.array));
    ASSERT_EQ(vresourceCount(r), a.count) << a.look << " " << a.array;
    for (int i = 0; i < a.count; ++i) {
      vimage* image = vimageLoad(vresourceGetAt(r, i));
      // Masks, but for the Win95 slider thumbs (132, 134): four colours
      // that the slider recolours, with a transparency mask; and the 3-D
      // check boxes and radio buttons (Windows 59-62 and 64-67, Win95
      // 120-125 and 126-130): five colours, the round ones masked.
      bool win95 = std::string(a.look) == "Win95", windows = std::string(a.look) == "Windows";
      int index = i + (win95 ? 117 : windows ? 17 : 0);
      bool thumb = win95 && (index == 132 || index == 134);
      bool box = (windows && index >= 59 && index <= 67 && index != 63) || (win95 && index >= 120 && index <= 130);
      bool round = (windows && index >= 64) || (win95 && index >= 126);
      EXPECT_EQ(image->numColors, thumb ? 4u : box ? 5u : 2u) << a.look << " " << index;
      if (thumb || (box && round)) {
        EXPECT_NE(image->mask, nullptr) << index;
      }
      vimageDestroy(image);
    }
  }
  FreshContext context({{"laf", "openlook"}});
  const int glyphs[] = {22, 23, 24, 25, 26, 27, 28, 29, 33, 34, 35, 36, 45, 46, 47, 0x33, 0x34, 0x35, 0x3c, 0x3d,
                        0x3e, 0x3f, 0x40, 0x41, 0x42, 0x4d, 0x4f, 0x50, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 99, 100,
                        106, 107, 109, 116, 139, 140, 146, 147, 0xac, 0xad, 0xae, 0xb4, 0xb5, 0xb6, 0xca, 0xcb,
                        0xcc, 0xe8, 0xe9, 0xea};
  for (int g : glyphs) {
    vimage* mask = vlafGetGlyphMask(g);
    ASSERT_NE(mask, nullptr) << g;
    EXPECT_GT(int(mask->width) * mask->height, 1) << "glyph " << g << " has a shape";
  }
  struct Size {
    int glyph, width, height;
  } sizes[] = {{24, 9, 20}, {26, 9, 20}, {27, 9, 20}, {28, 9, 18}, {29, 9, 20}, {139, 9, 20},
               {140, 10, 20}, {146, 9, 17}, {147, 10, 20}};
  for (const Size& s : sizes) {
    EXPECT_EQ(vlafGetGlyphMask(s.glyph)->width, s.width) << s.glyph;
    EXPECT_EQ(vlafGetGlyphMask(s.glyph)->height, s.height) << s.glyph;
  }
  struct ImageSize {
    int index, width, height;
  } images[] = {{56, 9, 8}, {57, 9, 8}, {58, 100, 40} /* enlarged by the Windows looks only */, {102, 9, 11},
                {103, 9, 11}, {135, 16, 16}, {146, 16, 16}};
  for (const ImageSize& s : images) {
    vimage* image = vlafGetImage(s.index);
    EXPECT_EQ(image->height, s.index == 58 ? 8 : s.height) << s.index << ": Open Look leaves the pattern";
    EXPECT_EQ(image->width, s.index == 58 ? 8 : s.width) << s.index;
  }
  for (const char* look : {"Windows", "Motif", "Open Look", "CUA", "Win95"}) {
    vresource entry = vresourceGet(vlafDict, name(look));
    for (const char* cursor :
         {"BlockCursor", "IBeamCursor", "HelpCursor", "HorizontalResizeCursor", "VerticalResizeCursor",
          "NWSEResizeCursor", "NESWResizeCursor", "ColumnResizeCursor", "RowResizeCursor", "OmniResizeCursor",
          "HorizontalSplitCursor", "VerticalSplitCursor", "SelectCursor", "GrabCursor", "MoveCursor",
          "GoodDropCursor", "BadDropCursor"}) {
      vresource r = vresourceGet(entry, name(cursor));
      vimage* image = vimageLoad(r);
      std::int32_t x = vresourceGetInteger(r, name("HotX")), y = vresourceGetInteger(r, name("HotY"));
      EXPECT_TRUE(x >= 0 && x < image->width && y >= 0 && y < image->height) << look << " " << cursor;
      EXPECT_NE(image->mask, nullptr) << cursor;
      vimageDestroy(image);
    }
    for (const char* icon : {"WarningIcon", "CautionIcon", "InformationIcon", "ActionIcon"}) {
      vimage* image = vimageLoad(vresourceGet(entry, name(icon)));
      EXPECT_EQ(image->width, 32) << icon;
      vimageDestroy(image);
    }
  }
  vresource prefs = vresourceGet(vinstGetSystemResource(), name("Preferences"));
  EXPECT_EQ(vresourceGetStringText(prefs, name("nonativemenubar")), "");
}

TEST(LookData, AnAsymmetricMaskLoadsTopRowFirst) {
  vresource root = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse("M = mask 3 2 [ \"#..\" \"##.\" ]", root, &error)) << error;
  vimage* image = vimageLoad(vresourceGet(root, name("M")));
  {
    vpixmapint::HeldCursor cur(image);
    // Row 0 is the bottom: "##." there, "#.." above it.
    const std::uint32_t expected[2][3] = {{1, 1, 0}, {1, 0, 0}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(vpixmapCursorGetAt(&cur.c, x, y), expected[y][x]) << x << "," << y;
  }
  vimageDestroy(image);
  vrstoreCloseFile(root);
}

// A glyph's ink as it shows, rows counted from the top.
struct GlyphInk {
  std::vector<std::vector<bool>> rows;
  explicit GlyphInk(int code) {
    vimage* mask = vlafGetGlyphMask(code);
    vpixmapint::HeldCursor cur(mask);
    for (int y = mask->height - 1; y >= 0; --y) {
      rows.emplace_back();
      for (int x = 0; x < mask->width; ++x) rows.back().push_back(vpixmapCursorGetAt(&cur.c, x, y) != 0);
    }
  }
  int row(int y, int x0, int x1) const {
    int n = 0;
    for (int x = x0; x <= x1; ++x) n += rows[std::size_t(y)][std::size_t(x)];
    return n;
  }
  int column(int x) const {
    int n = 0;
    for (const auto& r : rows) n += r[std::size_t(x)];
    return n;
  }
};

TEST(LookData, MarkGlyphsShowTheirShapes) {
  FreshContext context({{"laf", "openlook"}});
  // CUA's sub-menu arrow (99) points right: its first inked column is its base.
  GlyphInk arrow(99);
  int first = 0, last = int(arrow.rows[0].size()) - 1;
  while (arrow.column(first) == 0) ++first;
  while (arrow.column(last) == 0) --last;
  EXPECT_GT(arrow.column(first), arrow.column(last) + 2) << "sub-menu arrow: a tall base, a narrow tip";
  // CUA's toggle mark (100) is a check, not an empty box: no row fully inked,
  // and its short stroke's foot lies left of its long stroke's top.
  GlyphInk check(100);
  int width = int(check.rows[0].size()), top = -1, bottom = -1;
  for (int y = 0; y < int(check.rows.size()); ++y) {
    EXPECT_LT(check.row(y, 0, width - 1), width / 2) << "check row " << y;
    if (check.row(y, 0, width - 1) > 0) {
      if (top < 0) top = y;
      bottom = y;
    }
  }
  ASSERT_GE(top, 0) << "check has ink";
  auto leftmost = [&](int y) {
    const auto& r = check.rows[std::size_t(y)];
    return int(std::find(r.begin(), r.end(), true) - r.begin());
  };
  EXPECT_GT(leftmost(top), width / 2) << "the long stroke rises on the right";
  EXPECT_LT(leftmost(bottom), width / 2) << "the foot sits left";
  // Open Look 2-D combo button: a framed square holding a down arrow (22),
  // and held down (23) the arrow cut out of a filled square.
  for (int code : {22, 23}) {
    GlyphInk box(code);
    int n = int(box.rows.size()), upper = -1, lower = -1, widest = 0;
    for (int y = 2; y < n - 2; ++y) {
      int inside = box.row(y, 2, n - 3);
      int ink = code == 22 ? inside : (n - 4) - inside;
      if (ink > 0 && ink < n - 4) {
        if (upper < 0) upper = y;
        lower = y;
        widest = std::max(widest, ink);
      }
    }
    ASSERT_GE(upper, 0) << "glyph " << code << " shows an arrow in its square";
    auto ink = [&](int y) { return code == 22 ? box.row(y, 2, n - 3) : (n - 4) - box.row(y, 2, n - 3); };
    EXPECT_GT(ink(upper), ink(lower)) << "glyph " << code << " points down";
    EXPECT_GE(lower - upper, 2) << code;
  }
}

TEST(Look, FillsTheWindowLayersLookColour) {
  vwindowHooks hooks = vwindowDefaultHooks();
  vcolor* (*stand)(int) = hooks.lookColor;
  vwidgetsFillWindowHooks(&hooks);
  EXPECT_NE(hooks.lookColor, stand);
  FreshContext context({{"laf", "motif"}});
  EXPECT_EQ(hooks.lookColor(10), vapplicationDetermineColor(vapplicationGetCurrent(), 10));
}

}  // namespace
