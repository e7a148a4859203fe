// The image editor dialog loaded from the framework's resources: its items,
// the application's image and the saved copy, apply and revert with a mask,
// the size dialog, palettes that shrink, the location read-out, the
// selectors' states, the "Set Image" step, the preferences and its picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/imaging/vimged_color.h"
#include "fw/imaging/vpaled.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"
#include "tests/fw/imaging/images.h"
#include "tests/support/png_compare.h"

namespace {

vname N(const char* s) { return vnameInternLiteral(s); }

struct CloseCall {
  int calls = 0;
  vimage* saved = nullptr;
} closeCall;
void closed(vimageedtr*, vimage* saved) { ++closeCall.calls, closeCall.saved = saved; }

struct ImageEditor : ::testing::Test {
  vimageedtr* e = nullptr;
  testimg::Images keep;
  vresource savedUser = 0, user = 0;
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    vdialogStartup();
    if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
    win::UseVirtualClock(true);
    win::test::ResetInput();
    closeCall = {};
    // Preferences go to a store of the test's own.
    vapplication* app = vapplicationGetCurrent();
    savedUser = vapplicationGetResources(app);
    user = vresourceCreateMemory();
    app->resources = user;
    vimageedtrReadPrefs();
    e = vimageedtrCreate();
    vimageedtrSetCloseCallback(e, closed);
  }
  void TearDown() override {
    if (e) {
      vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
      if (vwindowIsOpen(e)) vwindowClose(e);
      vinstanceDestroy(e);
    }
    vapplicationGetCurrent()->resources = savedUser;
    vresourceCloseFile(user);
    vimageedtrReadPrefs();
    win::test::ResetInput();
    settle();
    win::UseVirtualClock(false);
  }
  void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  // A 16-colour image with a ramp of values, given to the editor.
  vimage* give(int width = 8, int height = 6, int depth = 4) {
    testimg::Pixels px;
    for (int i = 0; i < width * height; ++i) px.push_back(std::uint32_t(i % (1 << depth)));
    vimage* image = keep(testimg::make(width, height, depth, px));
    vimageedtrSetImage(e, image);
    return image;
  }
  vimage* maskOf(int width, int height, const testimg::Pixels& px) {
    vimage* m = testimg::make(width, height, 1, px);
    return m;
  }
  vimged* model() { return vimageedtrGetImageModel(e); }
  void paint(vimged* m, std::uint32_t value, int x, int y) { vimgedSetPixel(m, value, 1, x, y); }
  void select(vimged* m, int x, int y, int w, int h) {
    vrect r{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
    vimgedLiftSelection(m, m->working, 0, 0, &r);
  }
  std::string title(vdialogItem* item) { return item && item->title ? item->title : "(none)"; }
  int depth(vimged* m) {
    const vundoList* l = m->undo->list;
    return l->size ? (l->current - l->oldest + l->size) % l->size : 0;
  }
};

TEST_F(ImageEditor, EveryResourceTheEditorLoadsIsThere) {
  vresource dict = 0, r = 0;
  ASSERT_TRUE(vapplicationFindNamedResource(N("vimageedtr"), &dict));
  for (const char* name :
       {"vimageedtr", "ImageMonoPalette", "ImageColorPalette", "ImageWidthPalette", "vimgedVirtualDialog", "ImageSizeConfirm"})
    EXPECT_TRUE(vresourceTestGet(dict, N(name), &r)) << name;
  for (const char* tag : {"Menu Bar", "toolPalette", "lineWtPalette", "xStatic", "yStatic", "dxStatic", "dyStatic",
                          "lenStatic", "angStatic", "xValue", "yValue", "dxValue", "dyValue", "lenValue", "angValue"})
    EXPECT_NE(vdialogFindItem(e, N(tag)), nullptr) << tag;
  // The three user items are replaced by the editor's own.
  for (const char* tag : {"fgBgUserItem", "mruUserItem", "imageUserItem"}) {
    vdialogItem* item = vdialogFindItem(e, N(tag));
    ASSERT_NE(item, nullptr) << tag;
    EXPECT_NE(item->cls, vdialogItemGetDefaultClass()) << tag;
  }
  EXPECT_EQ(vdialogFindItem(e, N("imageUserItem")), vimageedtrGetImageView(e));
  EXPECT_EQ(vdialogItemClassOf(e->fgBgItem), vimgedutilsGetFgBgItemClass());
  EXPECT_EQ(vdialogItemClassOf(e->mruItem), vimgedutilsGetMRUItemClass());
  // Every tool and width has its entry, the first width chosen.
  for (const char* tool : {"Hand", "Line", "Pencil", "Circle", "Rect", "Paint", "SelectRect", "Eraser", "Lasso",
                           "Dropper", "FilledRect", "FilledCircle", "Text", "Spray"})
    EXPECT_NE(vpaletteFindItem(e->toolPalette, N(tool)), nullptr) << tool;
  for (const char* w : {"LineWidth1", "LineWidth2", "LineWidth3", "LineWidth4"})
    EXPECT_NE(vpaletteFindItem(e->lineWidthPalette, N(w)), nullptr) << w;
  EXPECT_EQ(vpaletteGetSelectedItem(e->lineWidthPalette), vpaletteFindItem(e->lineWidthPalette, N("LineWidth1")));
  // The menus name every command of the class.
  std::vector<std::string> tags;
  auto* bar = static_cast<vmenubar*>(vdialogFindItem(e, N("Menu Bar")));
  for (int i = 0; i < vmenubarCount(bar); ++i)
    for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
      if (vname t = vmenuItemListAt(&vmenubarAt(bar, i)->items, k)->tag) tags.push_back(t);
  for (const char* cmd : {"CloseEditor", "ApplyEditor", "SaveEditor", "Import", "Export", "SetSize", "Revert", "Undo",
                          "Redo", "Cut", "Copy", "Paste", "Clear", "Rotate", "FlipHor", "FlipVer", "MaskSelection",
                          "CropSelection", "FatBits", "DrawCenter", "ShowGrid", "ShowPosition", "Preview", "ZoomIn",
                          "ZoomOut", "SetFont", "EditPalette", "CreateTransparency", "DeleteTransparency"}) {
    EXPECT_NE(std::find(tags.begin(), tags.end(), std::string(cmd)), tags.end()) << cmd;
    EXPECT_NE(vdictGet(vimageedtrGetDefaultClass()->commands, N(cmd)), nullptr) << cmd;
  }
  // The size dialog has its two fields.
  vconfirm* size = vimageedtrGetSizeDialog();
  ASSERT_NE(size, nullptr);
  EXPECT_NE(vdialogFindItem(size, vname_Width), nullptr);
  EXPECT_NE(vdialogFindItem(size, vname_Height), nullptr);
}

TEST_F(ImageEditor, ToolAndWidthEntriesReachBothViews) {
  give();
  vpaletteItem* line = vpaletteFindItem(e->toolPalette, N("Line"));
  ASSERT_NE(line, nullptr);
  line->action(e->toolPalette, line);
  EXPECT_EQ(e->imageView->tool, vimgedviewLINE);
  EXPECT_EQ(e->maskView->tool, vimgedviewLINE);
  vpaletteItem* w3 = vpaletteFindItem(e->lineWidthPalette, N("LineWidth3"));
  w3->action(e->lineWidthPalette, w3);
  EXPECT_EQ(e->imageView->pen, 3);
  EXPECT_EQ(e->maskView->pen, 3);
  // A tool set on the view shows in the palette.
  vimgedviewSetTool(e->imageView, vimgedviewSPRAY);
  EXPECT_EQ(vpaletteGetSelectedItem(e->toolPalette), vpaletteFindItem(e->toolPalette, N("Spray")));
}

}  // namespace
