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
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"
#include "tests/fw/imaging/dialogs.h"
#include "tests/fw/imaging/images.h"
#include "tests/support/png_compare.h"

namespace {

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
  // One pixel as a tool paints it: an undo step of its own.
  void paint(vimged* m, std::uint32_t value, int x, int y) {
    vimgedTakeSnapshot(m);
    vimgedSetPixel(m, value, 1, x, y);
    vimgedRecordDraw(m);
  }
  static bool shown(vdialogItem* item) { return item && (item->flags & vdialogItemSHOWN); }
  void select(vimged* m, int x, int y, int w, int h) {
    vrect r{std::int16_t(x), std::int16_t(y), std::int16_t(w), std::int16_t(h)};
    vimgedLiftSelection(m, m->working, 0, 0, &r);
  }
  std::string title(vdialogItem* item) { return item && item->title ? item->title : "(none)"; }
  // The palette editor's OK after complementing entry 1.
  bool complementEntryOne() {
    vimageedtrIssueSelector(e, vimageedtrEDIT_PALETTE, nullptr);
    settle();
    vpaled* p = vimageedtrGetPaletteEditor();
    if (!p) return false;
    vpaledSelect(p, 1, 1);
    vpaledDo(p, "ContrastBtn");
    vpaledDo(p, "OKBtn");
    settle();
    return true;
  }
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

vpoint cellCentre(vimgedview* v, int ix, int iy) {
  vrect c = vimgedviewCellRect(v, ix, iy);
  return {std::int16_t(c.x + c.width / 2), std::int16_t(c.y + c.height / 2)};
}

// ---- The size dialog: fields filled, the OK button pressed.
struct SizeCase {
  int width, height;
  bool accepted;
};

TEST_F(ImageEditor, TheSizeDialogTakesFourToFifteenHundredAndBeepsOtherwise) {
  const SizeCase cases[] = {{3, 6, false}, {8, 1501, false}, {0, 6, false}, {4, 6, true}, {1500, 1500, true}};
  for (const SizeCase& c : cases) {
    vimage* image = give(8, 6);
    vwindowOpen(e);
    settle();
    ASSERT_EQ(vimageedtrIssueSelector(e, vimageedtrSET_SIZE, nullptr), 1);
    vconfirm* d = vimageedtrGetSizeDialog();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(vwindowIsOpen(d));
    EXPECT_TRUE(testimg::showsItsItemsOver(d, e));
    auto* w = reinterpret_cast<vtextitem*>(vdialogFindItem(d, vname_Width));
    auto* h = reinterpret_cast<vtextitem*>(vdialogFindItem(d, vname_Height));
    EXPECT_EQ(vtextitemGetInteger(w), 8) << "filled with the current size";
    EXPECT_EQ(vtextitemGetInteger(h), 6);
    // Typing goes to the width at once.
    win::test::Type("7");
    settle();
    char typed[16] = {};
    vtextitemCopyText(w, typed, sizeof typed);
    EXPECT_NE(std::string(typed).find('7'), std::string::npos) << typed;
    vtextitemSetTextChars(w, c.width ? std::to_string(c.width).c_str() : "many");
    vtextitemSetTextChars(h, std::to_string(c.height).c_str());
    int beeps = win::test::BeepCount();
    ASSERT_TRUE(clickConfirmButton(d, "Ok"));
    settle();
    if (c.accepted) {
      EXPECT_EQ(win::test::BeepCount(), beeps) << c.width << "x" << c.height;
      EXPECT_FALSE(vwindowIsOpen(d));
      EXPECT_EQ(model()->working->width, c.width);
      EXPECT_EQ(model()->working->height, c.height);
      EXPECT_EQ(image->width, c.width) << "the application's image takes the size";
      // The pixels that still fit stay where they were.
      EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(model()), 3, 2), std::uint32_t((2 * 8 + 3) % 16));
      EXPECT_EQ(std::string(vundoGetUndoLabel(model()->undo)), "Undo Set Image");
    } else {
      EXPECT_EQ(win::test::BeepCount(), beeps + 1) << c.width << "x" << c.height;
      EXPECT_TRUE(vwindowIsOpen(d)) << "stays open";
      EXPECT_EQ(model()->working->width, 8);
      EXPECT_EQ(vtextitemGetInteger(w), c.width >= 4 && c.width <= 1500 ? c.width : 8) << "restored";
      EXPECT_EQ(vtextitemGetInteger(h), c.height >= 4 && c.height <= 1500 ? c.height : 6);
      vwindowClose(d);
    }
    vwindowClose(e);
  }
}

// ---- Apply, revert and the mask.
TEST_F(ImageEditor, ApplyHandsBackTheWorkAndACopyOfTheMask) {
  vimage* image = give(8, 6);
  paint(model(), 15, 1, 1);
  EXPECT_EQ(testimg::pixelsOf(image)[8 + 1], 9u) << "the application's image waits for apply";
  ASSERT_EQ(vimageedtrIssueSelector(e, vimageedtrAPPLY, nullptr), 1);
  EXPECT_EQ(testimg::pixelsOf(image)[8 + 1], 15u);
  EXPECT_EQ(image->mask, nullptr) << "without a mask the image has none";
  EXPECT_EQ(closeCall.calls, 1);
  EXPECT_EQ(closeCall.saved, vimageedtrGetSavedImage(e));
  EXPECT_EQ(testimg::pixelsOf(closeCall.saved), testimg::pixelsOf(image)) << "the saved copy follows the apply";
  // With a mask the image gets a copy of it, owned.
  ASSERT_EQ(vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr), 1);
  ASSERT_TRUE(vimageedtrHasMask(e));
  vimged* mask = vimageedtrGetMaskModel(e);
  paint(mask, 1, 2, 3);
  vimageedtrApply(e);
  ASSERT_NE(image->mask, nullptr);
  EXPECT_NE(image->mask, mask->working);
  EXPECT_NE(image->mask, mask->source);
  EXPECT_TRUE(image->flags & vimageOWNS_MASK);
  EXPECT_EQ(testimg::pixelsOf(image->mask), testimg::pixelsOf(mask->working));
  EXPECT_EQ(testimg::pixelsOf(image->mask)[3 * 8 + 2], 1u);
  ASSERT_NE(vimageedtrGetSavedImage(e)->mask, nullptr) << "the saved copy carries it too";
  // Revert brings the mask back to the mask view, off the image.
  paint(mask, 1, 0, 0);
  vimageedtrRevert(e);
  EXPECT_TRUE(vimageedtrHasMask(e));
  EXPECT_EQ(image->mask, nullptr);
  EXPECT_EQ(testimg::pixelsOf(mask->working)[0], 0u);
  EXPECT_EQ(testimg::pixelsOf(mask->working)[3 * 8 + 2], 1u);
  EXPECT_TRUE(shown(e->maskView));
}

TEST_F(ImageEditor, AnImageWithAMaskOpensWithTheMaskViewBesideIt) {
  vimage* image = testimg::make(8, 6, 4);
  vimage* m = testimg::make(8, 6, 1, {1, 1, 0, 1});
  vimageSetMaskOwned(image, m);
  keep(image);
  vimageedtrSetImage(e, image);
  EXPECT_TRUE(vimageedtrHasMask(e));
  EXPECT_EQ(image->mask, nullptr) << "edited apart from the image";
  EXPECT_EQ(testimg::pixelsOf(vimageedtrGetMaskModel(e)->working)[3], 1u);
  // Side by side: half the layout's width less five each, at its two edges.
  vrect area = e->layoutItem->rect;
  EXPECT_EQ(e->imageView->rect.x, area.x);
  EXPECT_EQ(e->imageView->rect.width, area.width / 2 - 5);
  EXPECT_EQ(e->maskView->rect.width, area.width / 2 - 5);
  EXPECT_EQ(e->maskView->rect.x + e->maskView->rect.width, area.x + area.width);
  // Dropping it gives the image view the whole area again.
  vimageedtrIssueSelector(e, vimageedtrDELETE_TRANSPARENCY, nullptr);
  EXPECT_FALSE(vimageedtrHasMask(e));
  EXPECT_FALSE(shown(e->maskView));
  EXPECT_EQ(e->imageView->rect.width, area.width);
  vimageedtrApply(e);
  EXPECT_EQ(image->mask, nullptr);
}

TEST_F(ImageEditor, RevertEmptiesTheUndoHistory) {
  vimage* image = give(8, 6);
  std::uint32_t before = testimg::pixelsOf(image)[0];
  paint(model(), 15, 0, 0);
  paint(model(), 14, 1, 0);
  EXPECT_EQ(depth(model()), 2);
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrUNDO));
  vimageedtrIssueSelector(e, vimageedtrREVERT, nullptr);
  EXPECT_EQ(depth(model()), 0);
  EXPECT_FALSE(vimageedtrSelectorEnabled(e, vimageedtrUNDO));
  EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(model()), 0, 0), before);
  EXPECT_FALSE(vimageedtrSelectorEnabled(e, vimageedtrSAVE));
}

TEST_F(ImageEditor, SetImageUndoneRestoresImageAndMask) {
  give(8, 6);
  vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
  vimged* mask = vimageedtrGetMaskModel(e);
  paint(mask, 1, 7, 5);
  paint(model(), 3, 7, 5);
  testimg::Pixels image0 = testimg::pixelsOf(model()->working), mask0 = testimg::pixelsOf(mask->working);
  ASSERT_TRUE(vimageedtrSetSize(e, 5, 4));
  EXPECT_EQ(mask->working->width, 5) << "the mask follows the image's size";
  EXPECT_EQ(mask->working->height, 4);
  EXPECT_FALSE(vimageedtrSetSize(e, 3, 4));
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_EQ(model()->working->width, 8);
  EXPECT_EQ(testimg::pixelsOf(model()->working), image0);
  EXPECT_EQ(testimg::pixelsOf(mask->working), mask0);
  // And redone.
  ASSERT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrREDO));
  vimageedtrIssueSelector(e, vimageedtrREDO, nullptr);
  EXPECT_EQ(model()->working->width, 5);
  EXPECT_EQ(mask->working->width, 5);
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_EQ(testimg::pixelsOf(mask->working), mask0) << "twice over";
}

TEST_F(ImageEditor, CropKeepsTheSelectionAsTheImage) {
  give(8, 6);
  select(model(), 2, 1, 3, 2);
  ASSERT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrCROP_SELECTION));
  vimageedtrIssueSelector(e, vimageedtrCROP_SELECTION, nullptr);
  ASSERT_EQ(model()->working->width, 3);
  EXPECT_EQ(model()->working->height, 2);
  EXPECT_EQ(testimg::pixelsOf(model()->working), (testimg::Pixels{10, 11, 12, 2, 3, 4}));
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_EQ(model()->working->width, 8);
  // With a mask, the mask's part under the selection goes along.
  vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
  vimged* mask = vimageedtrGetMaskModel(e);
  paint(mask, 1, 3, 2);
  select(model(), 2, 1, 3, 2);
  vimageedtrIssueSelector(e, vimageedtrCROP_SELECTION, nullptr);
  ASSERT_EQ(mask->working->width, 3);
  EXPECT_EQ(testimg::pixelsOf(mask->working), (testimg::Pixels{0, 0, 0, 0, 1, 0}));
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_EQ(mask->working->width, 8);
  EXPECT_EQ(testimg::pixelsOf(mask->working)[2 * 8 + 3], 1u);
}

// ---- Colours.
TEST_F(ImageEditor, ColoursOutsideAShorterPaletteGoBackToOneAndZero) {
  give(8, 6, 4);
  vimgedviewSetForeground(e->imageView, 7);
  vimgedviewSetBackground(e->imageView, 9);
  vcolorList* four = vcolorListCreate();
  vcolorListSetCount(four, 4);
  vimgedSetPalette(model(), four, 0);
  EXPECT_EQ(e->imageView->foreground, 1u);
  EXPECT_EQ(e->imageView->background, 0u);
  // Those that still fit stay.
  vimgedviewSetForeground(e->imageView, 2);
  vimgedviewSetBackground(e->imageView, 3);
  vimgedSetPalette(model(), four, 0);
  EXPECT_EQ(e->imageView->foreground, 2u);
  EXPECT_EQ(e->imageView->background, 3u);
  vcolorListDestroy(four);
  // A picked colour is recent.
  give(8, 6, 8);
  auto* mru = static_cast<vimgedutilsMRUItem*>(e->mruItem);
  vimgedutilsResetMRUItem(e->mruItem);
  std::uint32_t fresh = 0;
  while (std::find(std::begin(mru->values), std::end(mru->values), fresh) != std::end(mru->values)) ++fresh;
  ASSERT_LT(fresh, 256u);
  vimgedviewSetBackground(e->imageView, fresh);
  EXPECT_EQ(mru->values[vimgedutilsMRU_COUNT - 1], fresh);
}

TEST_F(ImageEditor, ThePaletteEditorsOkRecordsSetImageAndSetsThePalette) {
  vimage* image = give(8, 6, 4);
  vimageedtrIssueSelector(e, vimageedtrEDIT_PALETTE, nullptr);
  settle();
  vpaled* p = vimageedtrGetPaletteEditor();
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(vwindowIsOpen(p));
  EXPECT_EQ(p->working->count, 16u) << "on the image's palette";
  vpaledSelect(p, 0, 0);
  vpaledDo(p, "DeleteBtn");
  vpaledDo(p, "OKBtn");
  EXPECT_EQ(std::string(vundoGetUndoLabel(model()->undo)), "Undo Set Image");
  // The menus follow at once, without a selector of the editor's.
  auto* bar = static_cast<vmenubar*>(vdialogFindItem(e, N("Menu Bar")));
  ASSERT_NE(bar, nullptr);
  for (const char* tag : {"Undo", "SaveEditor"})
    for (int i = 0; i < vmenubarCount(bar); ++i)
      for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
        if (vmenuItem* m = vmenuItemListAt(&vmenubarAt(bar, i)->items, k); m->tag == N(tag)) {
          EXPECT_TRUE(vmenuItemIsEnabled(m)) << tag;
        }
  EXPECT_EQ(vimageGetPalette(model()->working)->count, 15u);
  EXPECT_EQ(vimageGetPalette(image)->count, 16u) << "the application's image waits for apply";
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_EQ(vimageGetPalette(model()->working)->count, 16u);
}

// The swatches and the recent colours show pixel values through the
// palette: after the palette editor's OK, and after its undo, they show the
// colours as they now are, not as they were when last drawn.
TEST_F(ImageEditor, TheSwatchesFollowThePaletteEditorsOkAndItsUndo) {
  vimage* image = keep(testimg::make(8, 6, 4));
  std::vector<std::uint32_t> rgb(16, 0x808080);
  rgb[0] = 0xFFFFFF, rgb[1] = 0xFF0000;
  testimg::setPalette(image, rgb);
  vimageedtrSetImage(e, image);
  vwindowOpen(e);
  settle();
  auto* fgBg = static_cast<vimgedutilsFgBgItem*>(e->fgBgItem);
  auto* mru = static_cast<vimgedutilsMRUItem*>(e->mruItem);
  ASSERT_EQ(e->imageView->foreground, 1u);
  ASSERT_EQ(mru->values[1], 1u);
  // 0xRRGGBB at a dialog point (y from the bottom).
  auto at = [&](int x, int y) {
    win::COLORREF c = win::test::Pixel(e->native->hwnd, x, e->rect.height - 1 - y);
    return std::uint32_t(win::GetRValue(c)) << 16 | std::uint32_t(win::GetGValue(c)) << 8 | win::GetBValue(c);
  };
  const vrect& f = fgBg->foreground;
  vrect in;
  vrectInset(&mru->grid, 1, 1, &in);
  // Cell 1: the top row's right half.
  auto swatch = [&] { return at(f.x + f.width / 2, f.y + f.height / 2); };
  auto recent = [&] { return at(in.x + in.width * 3 / 4, in.y + in.height - mru->cellHeight / 2); };
  ASSERT_EQ(swatch(), 0xFF0000u);
  ASSERT_EQ(recent(), 0xFF0000u);
  ASSERT_TRUE(complementEntryOne());
  EXPECT_EQ(e->imageView->foreground, 1u) << "the same value, another colour";
  EXPECT_EQ(swatch(), 0x00FFFFu);
  EXPECT_EQ(recent(), 0x00FFFFu);
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  settle();
  EXPECT_EQ(swatch(), 0xFF0000u);
  EXPECT_EQ(recent(), 0xFF0000u);
}

// A repaint of part of the window after a palette change draws what a
// whole repaint draws: the tool icons cut by the damage are not mirrored.
TEST_F(ImageEditor, APartialRepaintAfterAPaletteChangeMatchesAWholeOne) {
  give(8, 6, 4);
  vwindowOpen(e);
  settle();
  ASSERT_TRUE(complementEntryOne());
  vwindowInvalAll(e, 0);
  settle();
  const win::test::Image whole = win::test::WindowImage(e->native->hwnd);
  // Through the middle of both tool columns and the swatches below them.
  const vrect& tools = e->toolPalette->rect;
  vrect part{std::int16_t(tools.x + tools.width / 4), 0, std::int16_t(tools.width / 2), e->rect.height};
  vwindowClassOf(e)->inval(e, &part, 0);
  settle();
  EXPECT_TRUE(win::test::WindowImage(e->native->hwnd).px == whole.px);
}

// Beside an editor at the screen's right edge there is no room: the
// palette editor and the preview come back onto the screen.
TEST_F(ImageEditor, WindowsBesideTheEditorStayOnTheScreen) {
  give(8, 6, 4);
  const vrect& screen = vwindowGetRoot()->rect;
  vrect r = e->rect;
  r.x = std::int16_t(screen.width - r.width);
  vwindowSetRect(e, &r);
  vwindowOpen(e);
  settle();
  vimageedtrIssueSelector(e, vimageedtrEDIT_PALETTE, nullptr);
  vimageedtrIssueSelector(e, vimageedtrPREVIEW, nullptr);
  settle();
  ASSERT_NE(vimageedtrGetPaletteEditor(), nullptr);
  ASSERT_NE(e->preview, nullptr);
  for (vwindow* w : {static_cast<vwindow*>(vimageedtrGetPaletteEditor()), static_cast<vwindow*>(e->preview)}) {
    EXPECT_TRUE(vwindowIsOpen(w));
    EXPECT_TRUE(w->rect.x >= 0 && w->rect.x + w->rect.width <= screen.width && w->rect.y >= 0 &&
                w->rect.y + w->rect.height <= screen.height)
        << w->rect.x << "," << w->rect.y << " " << w->rect.width << "x" << w->rect.height;
  }
  vimageedtrIssueSelector(e, vimageedtrPREVIEW, nullptr);
}

TEST_F(ImageEditor, ADirectColourImagePicksItsColourAndTheFontChooserSetsTheViewsFont) {
  vimage* image = keep(testimg::make(6, 4, 24));
  vimageedtrSetImage(e, image);
  vcolorchsr* colors = vcolorchsrCreate();
  vfontchsr* fonts = vfontchsrCreate();
  vimageedtrSetColorChooser(e, colors);
  vimageedtrSetFontChooser(e, fonts);
  vimageedtrIssueSelector(e, vimageedtrEDIT_PALETTE, nullptr);
  EXPECT_TRUE(vwindowIsOpen(colors)) << "no palette to edit: the colour chooser";
  EXPECT_EQ(vimageedtrGetPaletteEditor(), nullptr);
  ASSERT_NE(colors->apply, nullptr);
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 0x1212, 0x3434, 0x5656);
  vcolor* c = vcolorInternSpec(&spec);
  vcolorDestroySpec(&spec);
  colors->apply(colors, c);
  vcolorRelease(c);
  EXPECT_EQ(e->imageView->foreground, 0x123456u);
  vwindowClose(colors);
  ASSERT_EQ(vimageedtrGetPrefs()->font, nullptr);
  vimageedtrIssueSelector(e, vimageedtrSET_FONT, nullptr);
  EXPECT_TRUE(vwindowIsOpen(fonts));
  ASSERT_NE(fonts->apply, nullptr);
  vfont* font = e->imageView->font;
  fonts->apply(fonts, font);
  EXPECT_EQ(e->maskView->font, font);
  EXPECT_EQ(vimageedtrGetPrefs()->font, font) << "kept for the next editor";
  vwindowClose(fonts);
  vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
  vinstanceDestroy(e);
  e = nullptr;
  vinstanceDestroy(colors);
  vinstanceDestroy(fonts);
}

// ---- The location read-out.
TEST_F(ImageEditor, TheReadOutCountsFromOneAtTheBottomLeftAndUpIsNinety) {
  struct Row {
    vpoint p, q;
    double x, y, dx, dy, length, angle;
  } rows[] = {
      {{0, 0}, {0, 0}, 1, 1, 0, 0, 0, 0},      {{0, 0}, {0, 3}, 1, 1, 0, 3, 3, 90},
      {{2, 2}, {5, 2}, 3, 3, 3, 0, 3, 0},      {{2, 2}, {-1, 2}, 3, 3, -3, 0, 3, 180},
      {{0, 4}, {0, 0}, 1, 5, 0, -4, 4, 270},   {{1, 1}, {4, 5}, 2, 2, 3, 4, 5, 53.13010235415598},
  };
  for (const Row& r : rows) {
    vimageedtrLocation l = vimageedtrComputeLocation(r.p, r.q);
    EXPECT_EQ(l.x, r.x);
    EXPECT_EQ(l.y, r.y);
    EXPECT_EQ(l.dx, r.dx);
    EXPECT_EQ(l.dy, r.dy);
    EXPECT_DOUBLE_EQ(l.length, r.length);
    EXPECT_NEAR(l.angle, r.angle, 1e-9) << r.q.x << "," << r.q.y;
  }
}

TEST_F(ImageEditor, TheReadOutFollowsAStrokeInTheView) {
  give(8, 6);
  for (int i = 0; i < vimageedtrLOC_COUNT; ++i) EXPECT_FALSE(shown(e->locValues[i])) << "off at first";
  vimageedtrIssueSelector(e, vimageedtrSHOW_POSITION, nullptr);
  EXPECT_TRUE(vimageedtrSelectorMarked(e, vimageedtrSHOW_POSITION));
  for (int i = 0; i < vimageedtrLOC_COUNT; ++i) EXPECT_TRUE(shown(e->locValues[i]));
  vwindowOpen(e);
  win::SetActiveWindow(e->native->hwnd);
  settle();
  auto screen = [&](vpoint p) {
    win::POINT s{p.x, e->rect.height - 1 - p.y};
    win::ClientToScreen(e->native->hwnd, &s);
    return s;
  };
  win::test::MouseDown(screen(cellCentre(e->imageView, 0, 0)));
  settle();
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_X]), "1");
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_Y]), "1");
  win::test::MouseMove(screen(cellCentre(e->imageView, 0, 3)));
  settle();
  win::test::MouseUp(screen(cellCentre(e->imageView, 0, 3)));
  settle();
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_DY]), "3");
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_LEN]), "3");
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_ANG]), "90");
  // Without a button the read-out follows the pointer over the image.
  win::test::MouseMove(screen(cellCentre(e->imageView, 5, 2)));
  settle();
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_X]), "6");
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_Y]), "3");
  EXPECT_EQ(title(e->locValues[vimageedtrLOC_DY]), "0");
}

// ---- Views and the preview window.
TEST_F(ImageEditor, WorkInTheOtherViewPutsTheSelectionDownFirst) {
  give(8, 6);
  vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
  vwindowOpen(e);
  win::SetActiveWindow(e->native->hwnd);
  settle();
  select(model(), 1, 1, 2, 2);
  ASSERT_TRUE(vimgedHasSelection(model()));
  EXPECT_EQ(vimageedtrGetCurrentView(e), e->imageView);
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrCOPY));
  vpoint p = cellCentre(e->maskView, 4, 4);
  win::POINT s{p.x, e->rect.height - 1 - p.y};
  win::ClientToScreen(e->native->hwnd, &s);
  win::test::Click(s);
  settle();
  EXPECT_EQ(vimageedtrGetCurrentView(e), e->maskView);
  EXPECT_FALSE(vimgedHasSelection(model())) << "committed";
  EXPECT_FALSE(vimageedtrSelectorEnabled(e, vimageedtrCOPY)) << "the mask model has none";
  EXPECT_EQ(testimg::pixelsOf(vimageedtrGetMaskModel(e)->working)[4 * 8 + 4], 1u) << "the pencil painted the mask";
}

TEST_F(ImageEditor, ThePreviewShowsTheImageAndItsFrameScrollsTheView) {
  vimage* image = keep(testimg::make(200, 150, 4));
  vimageedtrSetImage(e, image);
  vwindowOpen(e);
  settle();
  ASSERT_LT(e->imageView->origin.width, 200) << "the view shows a part";
  vimageedtrIssueSelector(e, vimageedtrPREVIEW, nullptr);
  settle();
  ASSERT_NE(e->preview, nullptr);
  EXPECT_TRUE(vwindowIsOpen(e->preview));
  EXPECT_TRUE(vimageedtrSelectorMarked(e, vimageedtrPREVIEW));
  EXPECT_TRUE(model()->flags & vimgedREPORT) << "the model reports its changes";
  EXPECT_EQ(e->previewItem->rect.width, 200);
  EXPECT_EQ(e->previewItem->rect.height, 150);
  EXPECT_EQ(e->preview->rect.x, e->rect.x + e->rect.width + 25) << "beside the editor";
  // A press, a drag and the release over the preview: the view follows.
  auto at = [&](int x, int y) {
    vrect r{std::int16_t(x), std::int16_t(y), 0, 0};
    vdialogItemListTransformRect(e->previewItem->owner, &r);
    win::POINT s{r.x, e->preview->rect.height - 1 - r.y};
    win::ClientToScreen(e->preview->native->hwnd, &s);
    return s;
  };
  win::SetActiveWindow(e->preview->native->hwnd);
  win::test::MouseDown(at(20, 20));
  settle();
  EXPECT_TRUE(e->pointerShown);
  win::test::MouseMove(at(150, 100));
  settle();
  win::test::MouseUp(at(150, 100));
  settle();
  EXPECT_FALSE(e->pointerShown);
  const vrect& o = e->imageView->origin;
  EXPECT_EQ(o.x, std::min(150 - o.width / 2, 200 - o.width));
  EXPECT_EQ(o.y, std::min(100 - o.height / 2, 150 - o.height));
  // Closing it stops the reports.
  vimageedtrIssueSelector(e, vimageedtrPREVIEW, nullptr);
  EXPECT_FALSE(vwindowIsOpen(e->preview));
  EXPECT_FALSE(model()->flags & vimgedREPORT);
  EXPECT_FALSE(vimageedtrSelectorMarked(e, vimageedtrPREVIEW));
}

// The preview shows each kind of image in its pixels' colours: a one-bit
// image without palette white for 1 and black for 0, whatever colour the
// preview's ground was filled with.
TEST_F(ImageEditor, ThePreviewShowsEachKindOfImageInItsColours) {
  struct Kind {
    const char* what;
    int depth;
    std::uint32_t values[2], colours[2];  // pixel values and how they show
  };
  const Kind kinds[] = {
      {"one bit, no palette", 1, {0, 1}, {0x000000, 0xFFFFFF}},
      {"palette", 4, {2, 5}, {0x20C040, 0x8020A0}},
      {"direct colour", 24, {0x123456, 0xF0E0D0}, {0x123456, 0xF0E0D0}},
  };
  for (const Kind& k : kinds) {
    testimg::Pixels px;
    for (int i = 0; i < 6 * 4; ++i) px.push_back(k.values[(i % 6 + i / 6) % 2]);
    vimage* image = keep(testimg::make(6, 4, k.depth, px));
    if (k.depth == 1) vimageSetNoPalette(image, 1);
    if (k.depth == 4) {
      std::vector<std::uint32_t> rgb(16, 0x808080);
      rgb[2] = k.colours[0], rgb[5] = k.colours[1];
      testimg::setPalette(image, rgb);
    }
    vimageedtrSetImage(e, image);
    vwindowOpen(e);
    if (!e->preview || !vwindowIsOpen(e->preview)) vimageedtrIssueSelector(e, vimageedtrPREVIEW, nullptr);
    settle();
    ASSERT_TRUE(e->preview && vwindowIsOpen(e->preview)) << k.what;
    vrect r = e->previewItem->rect;
    vdialogItemListTransformRect(e->previewItem->owner, &r);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        // Image rows count from the bottom; the image sits at the item's top left.
        int wy = r.y + r.height - 4 + y;
        win::COLORREF c = win::test::Pixel(e->preview->native->hwnd, r.x + x, e->preview->rect.height - 1 - wy);
        std::uint32_t got = std::uint32_t(win::GetRValue(c)) << 16 | std::uint32_t(win::GetGValue(c)) << 8 | win::GetBValue(c);
        ASSERT_EQ(got, k.colours[(x + y) % 2]) << k.what << " at " << x << "," << y;
      }
  }
}

// ---- The selectors' states.
struct StateCase {
  const char* name;
  bool selection, mask, step;
  std::vector<int> disabled;
};

TEST_F(ImageEditor, EachSelectorIsEnabledAsTheStateAllows) {
  const std::vector<int> bySelection = {vimageedtrCUT,      vimageedtrCOPY,    vimageedtrCLEAR,
                                        vimageedtrROTATE,   vimageedtrFLIP_HOR, vimageedtrFLIP_VER,
                                        vimageedtrCROP_SELECTION};
  auto plus = [](std::vector<int> a, std::initializer_list<int> b) {
    a.insert(a.end(), b);
    return a;
  };
  const StateCase cases[] = {
      {"plain", false, false, false,
       plus(bySelection, {vimageedtrSAVE, vimageedtrUNDO, vimageedtrREDO, vimageedtrMASK_SELECTION,
                          vimageedtrDELETE_TRANSPARENCY})},
      {"selection", true, false, false,
       {vimageedtrSAVE, vimageedtrUNDO, vimageedtrREDO, vimageedtrMASK_SELECTION, vimageedtrDELETE_TRANSPARENCY}},
      {"mask", false, true, false,
       plus(bySelection, {vimageedtrSAVE, vimageedtrUNDO, vimageedtrREDO, vimageedtrMASK_SELECTION,
                          vimageedtrCREATE_TRANSPARENCY})},
      {"mask and selection", true, true, false,
       {vimageedtrSAVE, vimageedtrUNDO, vimageedtrREDO, vimageedtrCREATE_TRANSPARENCY}},
      {"a step", false, false, true,
       plus(bySelection, {vimageedtrREDO, vimageedtrMASK_SELECTION, vimageedtrDELETE_TRANSPARENCY})},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
    vinstanceDestroy(e);
    e = vimageedtrCreate();
    give(8, 6);
    vimgedClearSelection(model());
    if (c.mask) vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
    if (c.step) paint(model(), 15, 0, 0);
    if (c.selection) {
      select(model(), 1, 1, 2, 2);
      vundoListClear(model()->undo->list);
    }
    for (int s = vimageedtrCLOSE; s <= vimageedtrDELETE_TRANSPARENCY; ++s) {
      if (s == vimageedtrIMPORT || s == vimageedtrEXPORT || s == vimageedtrPASTE) continue;
      bool want = std::find(c.disabled.begin(), c.disabled.end(), s) == c.disabled.end();
      EXPECT_EQ(vimageedtrSelectorEnabled(e, s), want) << "selector " << s;
      vdict answers;
      vdictInit(&answers, vdictHashName);
      EXPECT_EQ(vimageedtrQuerySelector(e, s, &answers), 1);
      EXPECT_EQ(vdictGet(&answers, vname_State), want ? vname_Enabled : vname_Disabled) << "selector " << s;
      vdictFinish(&answers);
    }
  }
  // Undo names its step; redo follows an undo; paste follows a copy.
  paint(model(), 15, 0, 1);
  vdict answers;
  vdictInit(&answers, vdictHashName);
  vimageedtrQuerySelector(e, vimageedtrUNDO, &answers);
  const char* label = nullptr;
  vimgedCanUndo(model(), &label);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(vdictGet(&answers, vname_Title), vnameIntern(vscribeCString(label)));
  vdictFinish(&answers);
  vimageedtrIssueSelector(e, vimageedtrUNDO, nullptr);
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrREDO));
  select(model(), 0, 0, 2, 2);
  vimageedtrIssueSelector(e, vimageedtrCOPY, nullptr);
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrPASTE));
  // Zoom out stops at one.
  vimgedviewSetZoom(e->imageView, 1);
  EXPECT_FALSE(vimageedtrSelectorEnabled(e, vimageedtrZOOM_OUT));
  vimageedtrIssueSelector(e, vimageedtrZOOM_IN, nullptr);
  EXPECT_EQ(e->imageView->zoom, 2);
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrZOOM_OUT));
}

TEST_F(ImageEditor, TogglesAreMarkedAndReachTheViews) {
  give(8, 6);
  vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
  for (int s : {vimageedtrSHOW_GRID, vimageedtrDRAW_CENTER}) {
    EXPECT_FALSE(vimageedtrSelectorMarked(e, s)) << s;
    vimageedtrIssueSelector(e, s, nullptr);
    EXPECT_TRUE(vimageedtrSelectorMarked(e, s)) << s;
    vdict answers;
    vdictInit(&answers, vdictHashName);
    vimageedtrQuerySelector(e, s, &answers);
    EXPECT_EQ(vdictGet(&answers, vname_Toggle), vname_On) << s;
    vdictFinish(&answers);
  }
  EXPECT_TRUE(e->maskView->viewFlags & vimgedviewGRID_WANTED);
  EXPECT_TRUE(e->maskView->viewFlags & vimgedviewCENTRE);
  // The mask view takes the image view's zoom while it shows.
  vimgedviewSetZoom(e->imageView, 3);
  EXPECT_EQ(e->maskView->zoom, 3);
  vimageedtrIssueSelector(e, vimageedtrFAT_BITS, nullptr);
  EXPECT_EQ(e->imageView->zoom, 1);
  EXPECT_EQ(e->maskView->zoom, 1);
  vimageedtrIssueSelector(e, vimageedtrFAT_BITS, nullptr);
  EXPECT_EQ(e->imageView->zoom, 5) << "the preferred bit size";
}

TEST_F(ImageEditor, MaskSelectionMovesTheShapeToTheMask) {
  give(8, 6);
  vimageedtrIssueSelector(e, vimageedtrCREATE_TRANSPARENCY, nullptr);
  vimgedviewSetBackground(e->imageView, 0);
  select(model(), 0, 0, 4, 1);  // values 0 1 2 3
  EXPECT_TRUE(vimageedtrSelectorEnabled(e, vimageedtrMASK_SELECTION));
  vimageedtrIssueSelector(e, vimageedtrMASK_SELECTION, nullptr);
  EXPECT_EQ(vimageedtrGetCurrentView(e), e->maskView);
  EXPECT_FALSE(vimgedHasSelection(model())) << "put down";
  vimged* mask = vimageedtrGetMaskModel(e);
  ASSERT_TRUE(vimgedHasSelection(mask));
  vimgedCommitSelection(mask);
  testimg::Pixels px = testimg::pixelsOf(mask->working);
  EXPECT_EQ((testimg::Pixels{px[0], px[1], px[2], px[3], px[4]}), (testimg::Pixels{0, 1, 1, 1, 0}));
}

// The menus reach the editor through their items' commands and show the
// selectors' states.
TEST_F(ImageEditor, MenuItemsIssueTheCommandsAndFollowTheStates) {
  give(8, 6);
  vwindowOpen(e);
  settle();
  auto* bar = static_cast<vmenubar*>(vdialogFindItem(e, N("Menu Bar")));
  ASSERT_NE(bar, nullptr);
  auto item = [&](const char* tag) -> vmenuItem* {
    for (int i = 0; i < vmenubarCount(bar); ++i)
      for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
        if (vmenuItem* m = vmenuItemListAt(&vmenubarAt(bar, i)->items, k); m->tag == N(tag)) return m;
    return nullptr;
  };
  vmenuItem* grid = item("ShowGrid");
  vmenuItem* create = item("CreateTransparency");
  vmenuItem* drop = item("DeleteTransparency");
  vmenuItem* undo = item("Undo");
  ASSERT_TRUE(grid && create && drop && undo);
  EXPECT_TRUE(vmenuItemIsEnabled(create));
  EXPECT_FALSE(vmenuItemIsEnabled(drop));
  EXPECT_FALSE(vmenuItemIsEnabled(undo));
  EXPECT_EQ(vobjectIssueTag(grid, grid->tag, nullptr), 1);
  EXPECT_TRUE(vimageedtrSelectorMarked(e, vimageedtrSHOW_GRID));
  vobjectIssueTag(create, create->tag, nullptr);
  EXPECT_TRUE(vimageedtrHasMask(e));
  EXPECT_FALSE(vmenuItemIsEnabled(create));
  EXPECT_TRUE(vmenuItemIsEnabled(drop));
  paint(model(), 15, 0, 0);
  vimageedtrRefreshSelectors(e);
  EXPECT_TRUE(vmenuItemIsEnabled(undo));
  vobjectIssueTag(undo, undo->tag, nullptr);
  EXPECT_EQ(vpixmapCursorGetAt(vimgedGetPixelCursor(model()), 0, 0), 0u);
  EXPECT_FALSE(vmenuItemIsEnabled(undo));
}

// ---- Preferences.
TEST_F(ImageEditor, ClosingWritesThePreferencesTheNextEditorReads) {
  give(8, 6);
  vwindowOpen(e);
  settle();
  vimageedtrIssueSelector(e, vimageedtrSHOW_GRID, nullptr);
  vimageedtrIssueSelector(e, vimageedtrSHOW_POSITION, nullptr);
  vimgedviewSetZoom(e->imageView, 7);
  vimageedtrIssueSelector(e, vimageedtrCLOSE, nullptr);
  EXPECT_FALSE(vwindowIsOpen(e));
  EXPECT_EQ(closeCall.calls, 1) << "closing applies";
  vresource d = 0;
  ASSERT_TRUE(vresourceTestGet(user, N("vimageedPrefs"), &d));
  std::int32_t v = 0;
  EXPECT_TRUE(vresourceTestGetInteger(d, N("BitSize"), &v) && v == 7);
  EXPECT_TRUE(vresourceTestGetInteger(d, N("Grid"), &v) && v == 1);
  EXPECT_TRUE(vresourceTestGetInteger(d, N("ShowLocation"), &v) && v == 1);
  EXPECT_TRUE(vresourceTestGetInteger(d, N("DrawCenter"), &v) && v == 0);
  EXPECT_TRUE(vresourceTestGetInteger(d, N("Preview"), &v) && v == 0);
  vimageedtrReadPrefs();
  vimageedtr* next = vimageedtrCreate();
  EXPECT_TRUE(next->imageView->viewFlags & vimgedviewGRID_WANTED);
  EXPECT_TRUE(next->imageView->viewFlags & vimgedviewREPORT);
  EXPECT_TRUE(shown(next->locValues[vimageedtrLOC_X]));
  EXPECT_EQ(vimageedtrGetPrefs()->bitSize, 7);
  vimageedtrSetFlags(next, vimageedtrNO_APPLY_ON_CLOSE);
  vinstanceDestroy(next);
  // Closing with bit 0 set neither applies nor calls back.
  closeCall = {};
  vimageedtrSetFlags(e, vimageedtrNO_APPLY_ON_CLOSE);
  vwindowOpen(e);
  vimageedtrIssueSelector(e, vimageedtrCLOSE, nullptr);
  EXPECT_EQ(closeCall.calls, 0);
}

TEST_F(ImageEditor, TheOlderPreferenceNameIsReadWhenTheNewOneIsMissing) {
  struct Row {
    int olderBits, newerBits;  // 0: the dictionary is missing
    int want;
  } rows[] = {{3, 0, 3}, {-2, 0, 5}, {0, 0, 5}, {3, 9, 9}, {0, 2, 2}};
  for (const Row& r : rows) {
    for (const char* n : {"vimageedtrPrefs", "vimageedPrefs"}) {
      vresource d = 0;
      if (vresourceTestGet(user, N(n), &d)) vresourceRemove(user, N(n));
    }
    if (r.olderBits) vresourceSetInteger(vresourceMake(user, N("vimageedtrPrefs")), N("BitSize"), r.olderBits);
    if (r.newerBits) vresourceSetInteger(vresourceMake(user, N("vimageedPrefs")), N("BitSize"), r.newerBits);
    vimageedtrReadPrefs();
    EXPECT_EQ(vimageedtrGetPrefs()->bitSize, r.want) << r.olderBits << " " << r.newerBits;
  }
}

// ---- The framework's start-up.
TEST_F(ImageEditor, TheStartUpRowBuildsTheEditorClasses) {
  vimageedtrInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  const vmoduleStartupRow* row = nullptr;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vimageedtrGetDefaultClass") row = &rows[i];
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->fn, nullptr);
  row->fn();
  EXPECT_STREQ(vimageedtrGetDefaultClass()->name, "vimageedtr");
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vimageedtr")), static_cast<vclass*>(vimageedtrGetDefaultClass()));
}

// ---- The picture.
TEST_F(ImageEditor, LooksAsStored) {
  testimg::Pixels px;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) px.push_back(std::uint32_t((x / 4 + y / 3 * 4) % 16));
  vimage* image = keep(testimg::make(16, 12, 4, px));
  std::vector<std::uint32_t> rgb;
  for (int i = 0; i < 16; ++i) rgb.push_back(std::uint32_t(i * 16) << 16 | std::uint32_t(255 - i * 12) << 8 | 0x40);
  testimg::setPalette(image, rgb);
  vimageedtrSetImage(e, image);
  vimgedviewSetZoom(e->imageView, 12);
  vimageedtrIssueSelector(e, vimageedtrSHOW_GRID, nullptr);
  vimageedtrIssueSelector(e, vimageedtrSHOW_POSITION, nullptr);
  vwindowOpen(e);
  settle();
  win::test::Image shot = win::test::WindowImage(e->native->hwnd);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(std::getenv("SIM_TEST_DATA")) + "/imaging/imageedtr.png", 8, 80));
}

}  // namespace
