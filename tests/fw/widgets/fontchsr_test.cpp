// The font chooser loaded from the framework's resources, over the
// platform's families and two families registered here: the starting font,
// the filters, faces without sizes, typed sizes, switching families, the
// size entry option, unlisted families, plain sizes only, the accept step
// and the picture in the Win95 look.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/fontchsr_support.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// Two families of this test's own, registered once: "Chooser Test A" with
// the faces bold (10, 14), oblique (10, a sheared 12, 14) and regular (9,
// 18); "Chooser Test
// B" with bold (20) and wide (no size).
struct TestFonts {
  int device;
  vfontFamily *a, *b;
  vfontFace *aBold, *aOblique, *aRegular, *bBold, *bWide;
  vfont *a10, *a14, *o10, *o12sheared, *o14, *a9, *a18, *b20;
};
const TestFonts& fonts() {
  static TestFonts t = [] {
    TestFonts f{};
    f.device = vfontAllocDevice();
    f.a = vfontRegisterFamily(N("Chooser Test A"), N("test"), N("latin"), 0, f.device);
    f.b = vfontRegisterFamily(N("Chooser Test B"), N("test"), N("latin"), 0, f.device);
    f.aBold = vfontRegisterFace(f.a, N("bold"), f.device);
    f.aOblique = vfontRegisterFace(f.a, N("oblique"), f.device);
    f.aRegular = vfontRegisterFace(f.a, N("regular"), f.device);
    f.bBold = vfontRegisterFace(f.b, N("bold"), f.device);
    f.bWide = vfontRegisterFace(f.b, N("wide"), f.device);
    f.a10 = vfontRegisterFaceSize(f.aBold, 10);
    f.a14 = vfontRegisterFaceSize(f.aBold, 14);
    f.o10 = vfontRegisterFaceSize(f.aOblique, 10);
    vmatrix sheared{12, 0, 3, 12, 0, 0};
    f.o12sheared = vfontRegisterSize(f.aOblique, &sheared, f.device);
    f.o14 = vfontRegisterFaceSize(f.aOblique, 14);
    f.a9 = vfontRegisterFaceSize(f.aRegular, 9);
    f.a18 = vfontRegisterFaceSize(f.aRegular, 18);
    f.b20 = vfontRegisterFaceSize(f.bBold, 20);
    return f;
  }();
  return t;
}

struct Applied {
  int calls = 0;
  vfont* font = nullptr;
} applied;
int recordApply(vfontchsr*, vfont* font) {
  ++applied.calls;
  applied.font = font;
  return 1;
}

// A subclass whose family filter keeps only the family named here (none: every family refused).
const char* keptFamily = nullptr;
vfontchsrClassRec* filteringClass() {
  static vfontchsrClassRec* cls = [] {
    auto* c = vclassSpawnOf<vfontchsrClassRec>(vfontchsrGetDefaultClass());
    c->filterFamily = [](vfontchsr*, vfontFamily* f) { return keptFamily && std::strcmp(f->name, keptFamily) == 0 ? 1 : 0; };
    vclassSetName(c, vscribeLiteral("testFilteringFontChooser"));
    return c;
  }();
  return cls;
}

struct FontChooser : ::testing::Test {
  vfontchsr* c = nullptr;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    fonts();
    applied = {};
    keptFamily = nullptr;
    c = vfontchsrCreate();
  }
  void TearDown() override {
    if (c) vinstanceDestroy(c);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  void open() {
    vwindowOpen(c);
    win::SetActiveWindow(c->native->hwnd);
    settle();
  }
  // A click, through the platform's input, on a row of a list.
  void clickRow(vlistitem* l, int row) {
    vrect r{};
    vlistviewGetCellRect(l, row, 0, &r);
    vdialogItemListTransformRect(l->owner, &r);
    win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(c->native->hwnd, &p);
    win::test::Click(p);
    settle();
  }
  std::int32_t rowOf(vlistitem* l, const void* value) {
    for (std::int32_t r = 0; r < vlistGetRowCount(l->list); ++r)
      if (_vfontchsrRowValue(l, r) == value) return r;
    return -1;
  }
  std::string entry() {
    char* s = vtextitemGetString(c->sizeEntry);
    std::string out = s;
    vmemFree(s);
    return out;
  }
  void commit(const char* text) {
    vtextitemSetTextChars(c->sizeEntry, text);
    vtextviewClassOf(c->sizeEntry)->notifyClient(c->sizeEntry, nullptr, 3);
  }
  std::string cellText(vlistitem* l, std::int32_t row) { return vlistClassOf(l->list)->cellText(l->list, row, 0); }
  bool buttonEnabled(const char* tag) { return vdialogItemIsEnabled(vconfirmFindButton(c, N(tag))); }
  // The chooser's record agrees with what its lists show.
  void expectConsistent() {
    EXPECT_EQ(c->face, c->font->face);
    EXPECT_EQ(c->family, c->face->family);
    EXPECT_EQ(c->size, double(c->font->matrix->d));
    EXPECT_EQ(vlistitemGetSelectedRow(c->familyList), c->familyRow);
    EXPECT_EQ(vlistitemGetSelectedRow(c->faceList), c->faceRow);
    EXPECT_EQ(vlistitemGetSelectedRow(c->sizeList), c->sizeRow);
    EXPECT_EQ(_vfontchsrRowValue(c->familyList, c->familyRow), c->family);
    EXPECT_EQ(_vfontchsrRowValue(c->faceList, c->faceRow), c->face);
    EXPECT_EQ(_vfontchsrRowValue(c->sizeList, c->sizeRow), c->font);
  }
};

TEST_F(FontChooser, StartsOnTheRegistrysHelveticaWithEveryFamilyInRegistryOrder) {
  vfont* start = vfontFindScribe(vscribeLiteral("family:helvetica-size:12"));
  EXPECT_EQ(c->font, start);
  EXPECT_EQ(c->options, 0x1cu);
  EXPECT_EQ(c->plainSizesOnly, 1u);
  EXPECT_EQ(c->apply, nullptr);
  EXPECT_TRUE(c->confirmFlags & vconfirmDISABLE_ON_CLEAR);
  EXPECT_STREQ(c->display->cls->name, "vfontchsrDisplayItem");
  int n = vfontCountFamilies();
  ASSERT_EQ(vlistGetRowCount(c->familyList->list), n);
  for (int i = 0; i < n; ++i) EXPECT_EQ(_vfontchsrRowValue(c->familyList, i), vfontGetFamily(i)) << i;
  expectConsistent();
  EXPECT_EQ(entry(), "12");
  EXPECT_EQ(c->familyList->selection->mode, vlistONE_ONLY_SELECTION);
  EXPECT_TRUE(c->sizeList->selection->flags & vlistAT_LEAST_ONE);
  // The hook is there without an apply function: OK accepts and closes.
  EXPECT_NE(c->applyHook, nullptr);
  EXPECT_EQ(_vfontchsrSampleLine(0), "ABCDEFGHIJKLM abcdefghijklm");
  EXPECT_EQ(_vfontchsrSampleLine(2), "0123456789 &$%?!");
}

TEST_F(FontChooser, CellTextsNameTheFamilyWithItsEncodingAndWriteSizesAsTheEntry) {
  vfontchsrSetFont(c, fonts().a14);
  EXPECT_EQ(cellText(c->familyList, c->familyRow), "Chooser Test A latin");
  EXPECT_EQ(cellText(c->faceList, c->faceRow), "bold");
  EXPECT_EQ(cellText(c->sizeList, c->sizeRow), "14");
  // Long names are cut at 63 characters.
  std::string longName(80, 'x');
  vfontFamily* wide = vfontRegisterFamily(vnameIntern(vscribeCString(longName.c_str())), N("test"), N("latin"), 0,
                                          fonts().device);
  vfontRegisterFaceSize(vfontRegisterFace(wide, N("medium"), fonts().device), 11);
  keptFamily = wide->name;
  vinstanceDestroy(c);
  c = static_cast<vfontchsr*>(vinstanceCreate(filteringClass()));
  vfontchsrSetOptions(c, 0x1d);
  open();
  ASSERT_EQ(vlistGetRowCount(c->familyList->list), 1);
  EXPECT_EQ(cellText(c->familyList, 0), longName.substr(0, 63));
  EXPECT_EQ(c->family, wide) << "row 0 is taken when the current family is not listed";
  EXPECT_EQ(c->font->face->family, wide);
  expectConsistent();
}

TEST_F(FontChooser, AFamilyFilterRefusingEveryFamilyDisablesListsEntryAndButtons) {
  vinstanceDestroy(c);
  c = static_cast<vfontchsr*>(vinstanceCreate(filteringClass()));
  vfontchsrSetApply(c, recordApply);
  vfontchsrSetOptions(c, c->options | vfontchsrFILTER_FAMILY);
  open();
  EXPECT_EQ(vlistGetRowCount(c->familyList->list), 0);
  EXPECT_EQ(c->familyRow, -1);
  for (vdialogItem* i : {static_cast<vdialogItem*>(c->familyList), static_cast<vdialogItem*>(c->faceList),
                         static_cast<vdialogItem*>(c->sizeList), static_cast<vdialogItem*>(c->sizeEntry)})
    EXPECT_FALSE(vdialogItemIsEnabled(i));
  EXPECT_EQ(c->applyHook, nullptr);
  EXPECT_FALSE(buttonEnabled("Ok"));
  EXPECT_FALSE(buttonEnabled("Apply"));
  // Keeping one family again enables everything, with the hook back.
  keptFamily = "Chooser Test B";
  vfontchsrRefresh(c);
  ASSERT_EQ(vlistGetRowCount(c->familyList->list), 1);
  EXPECT_TRUE(vdialogItemIsEnabled(c->familyList));
  EXPECT_TRUE(vdialogItemIsEnabled(c->sizeEntry));
  EXPECT_TRUE(buttonEnabled("Ok"));
  EXPECT_EQ(c->family, fonts().b);
  // An apply function set while nothing is chosen leaves the hook cleared.
  keptFamily = nullptr;
  vfontchsrRefresh(c);
  vfontchsrSetApply(c, recordApply);
  EXPECT_EQ(c->applyHook, nullptr);
}

TEST_F(FontChooser, AFaceWithoutSizesGetsTwelvePointsTheMomentItIsChosen) {
  // A face of its own each run: the registry outlives the test.
  static int runs = 0;
  std::string name = "wide " + std::to_string(++runs);
  vfontFace* wide = vfontRegisterFace(fonts().b, vnameIntern(vscribeCString(name.c_str())), fonts().device);
  vfontchsrSetFont(c, fonts().b20);
  open();
  ASSERT_EQ(vfontCountFaceSizes(wide), 0);
  clickRow(c->faceList, rowOf(c->faceList, wide));
  ASSERT_EQ(vfontCountFaceSizes(wide), 1);
  EXPECT_EQ(c->font, wide->sizes[0]);
  EXPECT_EQ(c->font->matrix->d, 12.0f);
  EXPECT_EQ(entry(), "12");
  expectConsistent();
}

TEST_F(FontChooser, TypedSizesBelowOneOrNotNumbersKeepTheSize) {
  vfontchsrSetFont(c, fonts().a14);
  for (const char* refused : {"0", "-3", "abc", ""}) {
    SCOPED_TRACE(refused);
    commit(refused);
    EXPECT_EQ(c->font, fonts().a14);
    EXPECT_EQ(c->size, 14.0);
  }
  int before = vfontCountFaceSizes(fonts().aBold);
  bool known = false;
  for (vfont* f : fonts().aBold->sizes) known = known || f->matrix->d == 13.5f;
  commit("13.5");
  EXPECT_EQ(vfontCountFaceSizes(fonts().aBold), before + (known ? 0 : 1));
  EXPECT_EQ(c->font->matrix->d, 13.5f);
  EXPECT_EQ(c->font->face, fonts().aBold);
  EXPECT_EQ(entry(), "13.5");
  EXPECT_EQ(cellText(c->sizeList, c->sizeRow), "13.5");
  expectConsistent();
  // A size the size filter refuses changes nothing.
  static vfontchsrClassRec* refusing = [] {
    auto* k = vclassSpawnOf<vfontchsrClassRec>(vfontchsrGetDefaultClass());
    k->filterSize = [](vfontchsr*, vfont* f) { return f->matrix->d < 30 ? 1 : 0; };
    vclassSetName(k, vscribeLiteral("testSizeFilteringFontChooser"));
    return k;
  }();
  vinstanceDestroy(c);
  c = static_cast<vfontchsr*>(vinstanceCreate(refusing));
  vfontchsrSetFont(c, fonts().a14);
  commit("40");
  EXPECT_EQ(c->font, fonts().a14);
  commit("16");
  EXPECT_EQ(c->font->matrix->d, 16.0f);
}

TEST_F(FontChooser, SwitchingFamilyKeepsTheFaceNameElseTakesTheFirstFace) {
  vfontchsrSetFont(c, fonts().a14);
  open();
  clickRow(c->familyList, rowOf(c->familyList, fonts().b));
  EXPECT_EQ(c->face, fonts().bBold) << "bold in both families";
  EXPECT_EQ(c->font, fonts().b20) << "the nearest of B's bold sizes";
  expectConsistent();
  vfontchsrSetFont(c, fonts().a18);
  EXPECT_EQ(c->face, fonts().aRegular);
  clickRow(c->familyList, rowOf(c->familyList, fonts().b));
  EXPECT_EQ(c->face, fonts().bBold) << "B has no regular face: its first, by name";
  expectConsistent();
}

TEST_F(FontChooser, WithoutTheSizeEntryOptionTheEntryIsEmptyAndDisabled) {
  open();
  vfontchsrSetOptions(c, c->options & ~vfontchsrSIZE_ENTRY);
  EXPECT_EQ(entry(), "");
  EXPECT_FALSE(vdialogItemIsEnabled(c->sizeEntry));
  vfontchsrSetOptions(c, c->options | vfontchsrSIZE_ENTRY);
  EXPECT_EQ(entry(), "12");
  EXPECT_TRUE(vdialogItemIsEnabled(c->sizeEntry));
}

TEST_F(FontChooser, AnUnlistedFamilyIsAppendedWithTheAddOptionAndRefusedWithoutIt) {
  vinstanceDestroy(c);
  c = static_cast<vfontchsr*>(vinstanceCreate(filteringClass()));
  keptFamily = "Chooser Test A";
  vfontchsrSetOptions(c, 0x1d);
  vfontchsrSetFont(c, fonts().a10);
  open();
  ASSERT_EQ(vlistGetRowCount(c->familyList->list), 1);
  vfontchsrSetOptions(c, 0x0d);
  vfontchsrSetFont(c, fonts().b20);
  EXPECT_EQ(c->font, fonts().a10) << "refused without a message";
  EXPECT_EQ(c->familyRow, 0);
  EXPECT_EQ(vlistGetRowCount(c->familyList->list), 1);
  expectConsistent();
  vfontchsrSetOptions(c, 0x1d);
  vfontchsrSetFont(c, fonts().b20);
  ASSERT_EQ(vlistGetRowCount(c->familyList->list), 2);
  EXPECT_EQ(_vfontchsrRowValue(c->familyList, 1), fonts().b);
  EXPECT_EQ(c->familyRow, 1);
  EXPECT_EQ(c->font, fonts().b20);
  expectConsistent();
}

TEST_F(FontChooser, PlainSizesOnlyReplacesAShearedFontWithTheNearestPlainSizeBelowFirst) {
  vfontchsrSetPlainSizesOnly(c, 0);
  vfontchsrSetFont(c, fonts().o12sheared);
  ASSERT_EQ(c->font, fonts().o12sheared);
  EXPECT_EQ(vlistGetRowCount(c->sizeList->list), vfontCountFaceSizes(fonts().aOblique));
  expectConsistent();
  vfontchsrSetPlainSizesOnly(c, 1);
  EXPECT_EQ(c->font, fonts().o14) << "sorted by matrix: 10, sheared 12, 14; the row below first";
  expectConsistent();
  // Set while only plain sizes are listed, the sheared font is listed,
  // then replaced, and its row goes.
  open();
  vfontchsrSetFont(c, fonts().o12sheared);
  EXPECT_EQ(c->font, fonts().o14);
  EXPECT_EQ(rowOf(c->sizeList, fonts().o12sheared), -1);
  EXPECT_EQ(vlistGetRowCount(c->sizeList->list), vfontCountFaceSizes(fonts().aOblique) - 1);
  for (std::int32_t r = 0; r < vlistGetRowCount(c->sizeList->list); ++r)
    EXPECT_TRUE(static_cast<vfont*>(_vfontchsrRowValue(c->sizeList, r))->flags & vfontUNIFORM) << r;
  expectConsistent();
}

TEST_F(FontChooser, SetFontRefusesNoFontAndNegativeSizesLeavingTheChooserAsItWas) {
  vfontchsrSetFont(c, fonts().a10);
  vmatrix negative{-5, 0, 0, -5, 0, 0};
  vfont* mirrored = vfontRegisterSize(fonts().aRegular, &negative, fonts().device);
  struct Case {
    vfont* font;
    const vexClass* cls;
    const char* message;
  } const cases[] = {{nullptr, &vexArgNullClass, "Setting Null Font"},
                     {mirrored, &vexArgRangeClass, "Font size smaller than 0.0"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    std::string raised;
    const vexClass* cls = nullptr;
    vexGuard([&] { vfontchsrSetFont(c, k.font); },
             [&](vexHandler& h) {
               raised = vexGetCurrentException()->message;
               cls = vexGetCurrentException()->cls;
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(raised, k.message);
    EXPECT_EQ(cls, k.cls);
    EXPECT_EQ(c->font, fonts().a10);
    expectConsistent();
  }
  vfontchsrSetFont(c, fonts().a10);  // the same font: nothing to do
  expectConsistent();
}

// OK commits what was typed into the entry before the apply function runs.
TEST_F(FontChooser, OkHandsTheApplyFunctionTheTypedSize) {
  vfontchsrSetFont(c, fonts().a14);
  vfontchsrSetApply(c, recordApply);
  open();
  vtextitemSetTextChars(c->sizeEntry, "15");
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  ASSERT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.font->face, fonts().aBold);
  EXPECT_EQ(applied.font->matrix->d, 15.0f);
  EXPECT_FALSE(vwindowIsOpen(c));
}

// A modal run: OK ends it, and the typed size still reaches the apply function.
vconfirm* runChooser = nullptr;
void clickOkDuringRun() {
  if (runChooser) clickConfirmButton(std::exchange(runChooser, nullptr), "Ok");
}
TEST_F(FontChooser, AModalRunEndedByOkAppliesTheTypedSize) {
  vfontchsrSetFont(c, fonts().a10);
  vfontchsrSetApply(c, recordApply);
  vtextitemSetTextChars(c->sizeEntry, "11");
  runChooser = c;
  veventIdleHook previous = veventSetIdleHook(clickOkDuringRun);
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Ok");
  veventSetIdleHook(previous);
  ASSERT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.font->matrix->d, 11.0f);
  EXPECT_EQ(applied.font->face, fonts().aBold);
}

TEST(FontChooserLook, DrawsAsStoredInWin95WithTheSample) {
  EXPECT_TRUE(fontchsrProbePictureMatches("-laf win95", "fontchsr/win95"));
}

}  // namespace
