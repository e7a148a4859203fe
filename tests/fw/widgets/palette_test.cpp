// Palettes: items laid out row-major, chosen by pointer and by focus with
// their actions and tags, disabled and empty cells that never stay
// selected, columns that follow the width, the item vector's edits and
// misuse, copies and the resource form.
#include "fw/widgets/lists/palette.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_event.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/widgets_support.h"
#include "tests/support/png_compare.h"

namespace {

std::vector<std::string> trace;
void act(vpalette*, vpaletteItem* i) { trace.push_back(std::string("action ") + i->tag); }
int issued(vcommand*, vdict* context) {
  trace.push_back(std::string("command ") + static_cast<vname>(vdictGet(context, vname_Tag)));
  return 1;
}

// Items whose destruction is recorded, loadable by class name.
vpaletteItemClassRec* countedItemClass() {
  static vpaletteItemClassRec* c = [] {
    auto* r = vclassSpawnOf<vpaletteItemClassRec>(vpaletteItemGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testPaletteItem"));
    r->destroy = [](vinstance* self) {
      trace.push_back(std::string("destroyed ") + static_cast<vobject*>(self)->tag);
      vpaletteItemGetDefaultClass()->destroy(self);
    };
    return r;
  }();
  return c;
}

vpaletteItem* item(const char* tag, bool counted = false) {
  auto* i = static_cast<vpaletteItem*>(vinstanceCreate(counted ? countedItemClass() : vpaletteItemGetDefaultClass()));
  vpaletteItemSetTag(i, N(tag));
  vpaletteItemSetAction(i, act);
  return i;
}

// A palette of 200 x 100 at (0, 0), open, whose tags reach a command space
// of its own. The Windows cell border is 4: cells of 20 are 28 apart.
struct Fixture {
  vpalette* palette;
  explicit Fixture(std::initializer_list<const char*> tags, int columns = 1, bool counted = false) {
    startDialogItemTests();
    trace.clear();
    palette = vpaletteCreate();
    vdict* commands = vdictCreate(vdictHashName);
    for (const char* tag : tags) {
      auto* command = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
      command->issue = issued;
      vdictStore(commands, N(tag), command);
    }
    vcommandSpace* space = vcommandSpaceCreate();
    vcommandSpaceAddDict(space, vname_Command, commands);
    vdialogSetItemSpaceOwned(palette, space);
    for (const char* tag : tags) vpaletteAppendItem(palette, item(tag, counted));
    vpaletteSetColumns(palette, columns);
    vrect r{0, 0, 200, 100};
    vdialogSetItemRect(palette, &r);
    vdialogOpenItem(palette);
  }
  ~Fixture() { vinstanceDestroy(palette); }
  void click(int row, int column) const {
    int x = 28 * column + 14, y = 86 - 28 * row;
    auto* c = vlistviewClassOf(palette);
    vevent* e = veventCreateButtonDown(nullptr, x, y, 0, 1, 1, 1);
    veventSetBinding(e, vname_Select);
    c->buttonDown(palette, e);
    veventDestroy(e);
    e = veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 1);
    veventSetBinding(e, vname_Select);
    c->buttonUp(palette, e);
    veventDestroy(e);
  }
  std::string selected() const {
    std::string out;
    for (std::int32_t r = 0; r < vlistGetRowCount(palette->list); ++r)
      for (std::int32_t c = 0; c < vlistGetColumnCount(palette->list); ++c)
        if (vlistIsCellSelected(palette->list, palette->selection, r, c)) out += std::to_string(r) + std::to_string(c) + " ";
    return out;
  }
  std::string order() const {
    std::string out;
    for (std::int32_t k = 0; k < vpaletteGetItemCount(palette); ++k) out += std::string(vpaletteGetItemAt(palette, k)->tag) + " ";
    return out;
  }
  // The tags of the cells row by row, "-" for an empty one.
  std::string grid() const {
    std::string out;
    for (std::int32_t r = 0; r < vlistGetRowCount(palette->list); ++r) {
      for (std::int32_t c = 0; c < vlistGetColumnCount(palette->list); ++c) {
        auto* i = reinterpret_cast<vpaletteItem*>(vlistGetCell(palette->list, r, c));
        out += i ? i->tag : "-";
      }
      out += "/";
    }
    return out;
  }
};

TEST(Palette, FiveItemsInTwoColumnsFillThreeRowsAndTheEmptyCellNeverStaysSelected) {
  Fixture f({"a", "b", "c", "d", "e"}, 2);
  EXPECT_EQ(f.grid(), "ab/cd/e-/");
  vrect cell;
  vlistviewGetCellRect(f.palette, 2, 1, &cell);
  EXPECT_EQ(cell.x, 28);
  EXPECT_EQ(cell.width, 28);
  EXPECT_EQ(cell.height, 28);

  f.click(2, 1);
  EXPECT_EQ(f.selected(), "");
  EXPECT_TRUE(trace.empty());
  f.click(1, 1);
  EXPECT_EQ(f.selected(), "11 ");
  EXPECT_EQ(trace, (std::vector<std::string>{"action d", "command d"}));
  EXPECT_EQ(vpaletteGetSelectedItem(f.palette)->tag, N("d"));

  // The focus moving onto the empty cell selects nothing and chooses nothing.
  trace.clear();
  vlistviewSetFocusCell(f.palette, 2, 1);
  EXPECT_EQ(f.selected(), "");
  EXPECT_TRUE(trace.empty());

  vpaletteSetColumns(f.palette, 3);
  EXPECT_EQ(f.grid(), "abc/de-/");
  vpaletteSetColumns(f.palette, 5);
  EXPECT_EQ(f.grid(), "abcde/");
}

TEST(Palette, WhileTheDeviceRunsOnlyTheStopItemCanBeChosen) {
  Fixture f({"Palette_Go", "Palette_Step", "Palette_Stop", "Palette_Reset"}, 2);
  for (std::int32_t k = 0; k < vpaletteGetItemCount(f.palette); ++k) vpaletteItemSetDisabled(vpaletteGetItemAt(f.palette, k), 1);
  vpaletteItemSetDisabled(vpaletteFindItem(f.palette, N("Palette_Stop")), 0);
  for (int cell = 0; cell < 4; ++cell) f.click(cell / 2, cell % 2);
  EXPECT_EQ(trace, (std::vector<std::string>{"action Palette_Stop", "command Palette_Stop"}));
  EXPECT_EQ(f.selected(), "");  // the last click, on a disabled item

  // Selected from the program, a disabled item is let go at once.
  vpaletteSelectItem(f.palette, vpaletteFindItem(f.palette, N("Palette_Step")));
  EXPECT_EQ(f.selected(), "");
  vpaletteSelectItem(f.palette, vpaletteFindItem(f.palette, N("Palette_Stop")));
  EXPECT_EQ(f.selected(), "10 ");
  // Chosen again (Return) after it was disabled while selected: refused.
  trace.clear();
  vpaletteItemSetDisabled(vpaletteFindItem(f.palette, N("Palette_Stop")), 1);
  vlistviewNotify(f.palette, 3);
  EXPECT_TRUE(trace.empty());
  vpaletteSelectItem(f.palette, nullptr);
  EXPECT_EQ(f.selected(), "");

  trace.clear();
  for (std::int32_t k = 0; k < vpaletteGetItemCount(f.palette); ++k) vpaletteItemSetDisabled(vpaletteGetItemAt(f.palette, k), 0);
  f.click(0, 0);
  f.click(1, 1);
  EXPECT_EQ(trace, (std::vector<std::string>{"action Palette_Go", "command Palette_Go", "action Palette_Reset",
                                             "command Palette_Reset"}));
}

// The cells a change of state repaints.
std::vector<std::string> invalidated;
vpaletteClassRec* recordingClass() {
  static vpaletteClassRec* c = [] {
    auto* r = vclassSpawnOf<vpaletteClassRec>(vpaletteGetDefaultClass());
    r->invalRect = [](vdialogItem*, const vrect* rect, int) {
      invalidated.push_back(std::to_string(rect->x) + "," + std::to_string(rect->y));
    };
    return r;
  }();
  return c;
}

TEST(Palette, DisablingAnItemRepaintsItsCellOnlyWhenTheStateChanges) {
  startDialogItemTests();
  auto* p = static_cast<vpalette*>(vinstanceCreate(recordingClass()));
  vpaletteItem* a = item("a");
  vpaletteItem* b = item("b");
  vpaletteItem* loose = item("loose");
  vpaletteAppendItem(p, a);
  vpaletteAppendItem(p, b);
  vpaletteSetColumns(p, 2);
  vrect r{0, 0, 200, 100};
  vdialogSetItemRect(p, &r);
  vdialogOpenItem(p);
  invalidated.clear();
  vpaletteItemSetDisabled(b, 1);
  EXPECT_EQ(invalidated, (std::vector<std::string>{"28,72"}));
  vpaletteItemSetDisabled(b, 1);
  vpaletteItemSetDisabled(loose, 1);  // in no palette: nothing to repaint
  EXPECT_EQ(invalidated.size(), 1u);
  EXPECT_TRUE(vpaletteItemIsDisabled(loose));
  vinstanceDestroy(loose);
  vinstanceDestroy(p);
}

TEST(Palette, ColumnsFollowTheWidthOnlyWithTheFlagAndNeverDropBelowOne) {
  Fixture f({"a", "b", "c", "d", "e"});
  ASSERT_EQ(vpaletteClassOf(f.palette)->cellBorder, vlistviewGetDefaultClass()->cellBorder + 3);
  ASSERT_EQ(vpaletteClassOf(f.palette)->cellBorder, 4);
  vrect r{0, 0, 100, 100};
  vdialogSetItemRect(f.palette, &r);
  EXPECT_EQ(f.palette->columns, 1);
  vpaletteSetFlags(f.palette, vpaletteCOLUMNS_FOLLOW_WIDTH);
  EXPECT_EQ(f.palette->columns, 3);
  EXPECT_EQ(f.grid(), "abc/de-/");
  struct Case {
    std::int16_t width;
    std::int32_t columns;
  };
  for (Case c : {Case{140, 5}, Case{55, 1}, Case{27, 1}, Case{56, 2}}) {
    r.width = c.width;
    vdialogSetItemRect(f.palette, &r);
    EXPECT_EQ(f.palette->columns, c.columns) << c.width;
  }
}

TEST(Palette, ForeignItemsAreNotFoundIndexedOrMovedAndMisuseIsRefused) {
  Fixture f({"a", "b", "c", "d"}, 2, true);
  vpaletteItem* foreign = item("x");
  EXPECT_EQ(vpaletteFindItem(f.palette, N("x")), nullptr);
  EXPECT_EQ(vpaletteIndexOfItem(f.palette, foreign), -1);
  vpaletteMoveItem(f.palette, foreign, 0);
  EXPECT_EQ(f.order(), "a b c d ");
  vpaletteRemoveItem(f.palette, foreign);
  EXPECT_EQ(vpaletteGetItemCount(f.palette), 4);

  vpaletteMoveItem(f.palette, vpaletteGetItemAt(f.palette, 0), 3);
  EXPECT_EQ(f.order(), "b c d a ");
  EXPECT_EQ(f.grid(), "bc/da/");
  vpaletteMoveItem(f.palette, vpaletteFindItem(f.palette, N("d")), 0);
  EXPECT_EQ(f.order(), "d b c a ");

  vpaletteItem* second = vpaletteGetItemAt(f.palette, 1);
  for (const auto& [what, call] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"move to -1", [&] { vpaletteMoveItem(f.palette, second, -1); }},
           {"move to the count", [&] { vpaletteMoveItem(f.palette, second, 4); }},
           {"no columns", [&] { vpaletteSetColumns(f.palette, 0); }},
           {"negative columns", [&] { vpaletteSetColumns(f.palette, -2); }},
           {"delete past the end", [&] { vpaletteDeleteItemAt(f.palette, 4); }},
           {"delete at -1", [&] { vpaletteDeleteItemAt(f.palette, -1); }},
           {"insert past the end", [&] { vpaletteInsertItemAt(f.palette, 5, foreign); }}})
    EXPECT_EQ(raisedClass(call), &vexArgRangeClass) << what;
  EXPECT_EQ(raisedClass([&] { vpaletteMoveItem(nullptr, second, 0); }), &vexArgNullClass);
  EXPECT_EQ(f.order(), "d b c a ");
  EXPECT_EQ(f.palette->columns, 2);
  vinstanceDestroy(foreign);

  // Removing destroys; the grid closes up.
  trace.clear();
  vpaletteRemoveItem(f.palette, second);
  EXPECT_EQ(trace, (std::vector<std::string>{"destroyed b"}));
  EXPECT_EQ(f.grid(), "dc/a-/");
  vpaletteDeleteItemAt(f.palette, 0);
  EXPECT_EQ(f.grid(), "ca/");
  vpaletteInsertItemAt(f.palette, 1, item("n"));
  EXPECT_EQ(f.grid(), "cn/a-/");
  trace.clear();
}

TEST(Palette, ACopyClonesTheItemsAndSharedImagesStayWithTheirOwner) {
  Fixture f({"a", "b", "c"}, 3, true);
  vimage* shared = vimageCreateSized(8, 8, 2);
  vpaletteItemSetImage(vpaletteGetItemAt(f.palette, 0), shared, 1);
  vpaletteItemSetImage(vpaletteGetItemAt(f.palette, 1), vimageCreateSized(4, 4, 2), 0);
  vpaletteItemSetDisabled(vpaletteGetItemAt(f.palette, 2), 1);
  auto* copy = static_cast<vpalette*>(vobjectClone(f.palette));
  ASSERT_EQ(vpaletteGetItemCount(copy), 3);
  EXPECT_EQ(copy->columns, 3);
  for (std::int32_t k = 0; k < 3; ++k) {
    vpaletteItem *from = vpaletteGetItemAt(f.palette, k), *to = vpaletteGetItemAt(copy, k);
    EXPECT_NE(from, to);
    EXPECT_EQ(to->palette, copy);
    EXPECT_EQ(to->tag, from->tag);
    EXPECT_EQ(to->flags, from->flags);
    EXPECT_EQ(to->action, from->action);
    EXPECT_EQ(reinterpret_cast<vpaletteItem*>(vlistGetCell(copy->list, 0, k)), to);
  }
  EXPECT_EQ(vpaletteGetItemAt(copy, 0)->image, shared);
  EXPECT_NE(vpaletteGetItemAt(copy, 1)->image, vpaletteGetItemAt(f.palette, 1)->image);
  ASSERT_NE(vpaletteGetItemAt(copy, 1)->image, nullptr);
  EXPECT_EQ(vpaletteGetItemAt(copy, 1)->image->width, 4);
  vinstanceDestroy(copy);  // the clones and their own images go; the shared image stays
  EXPECT_EQ(shared->width, 8);
  trace.clear();
  vinstanceDestroy(shared);
}

TEST(Palette, CopiesKeepAListOfTheirOwn) {
  Fixture f({"a", "b", "c"}, 2);
  auto* copy = static_cast<vpalette*>(vobjectClone(f.palette));
  EXPECT_NE(copy->list, f.palette->list);
  vpaletteDeleteItemAt(copy, 0);
  EXPECT_EQ(f.grid(), "ab/c-/");
  vinstanceDestroy(copy);
  EXPECT_EQ(f.grid(), "ab/c-/");
}

TEST(Palette, TheResourceFormKeepsItemsTheirClassesFlagsAndIcons) {
  Fixture f({"a", "b", "c"}, 2, true);
  vpaletteItemSetDisabled(vpaletteGetItemAt(f.palette, 1), 1);
  vimage* shared = vimageCreateSized(6, 5, 2);
  vpaletteItemSetImage(vpaletteGetItemAt(f.palette, 2), shared, 1);
  f.palette->cellWidth = 24;
  vresource root = vresourceCreateMemoryIn(0);
  vresource d = vresourceCreate(root, N("Palette"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(f.palette)->store(f.palette, d);
  std::int32_t v = 0;
  ASSERT_TRUE(vresourceTestGetInteger(d, N("MaxColumn"), &v));
  EXPECT_EQ(v, 2);
  vresource items = vresourceGet(d, vname_Items);
  ASSERT_EQ(vresourceCount(items), 3);
  vresourceRemove(vresourceGetAt(items, 1), vname_Class);  // loaded as a plain item

  auto* back = static_cast<vpalette*>(vobjectLoad(d));
  ASSERT_EQ(vpaletteGetItemCount(back), 3);
  EXPECT_EQ(back->columns, 2);
  EXPECT_EQ(back->cellWidth, 24);
  EXPECT_EQ(back->selection->mode, vlistONE_ONLY_SELECTION);
  vpaletteItem* loaded[3] = {vpaletteGetItemAt(back, 0), vpaletteGetItemAt(back, 1), vpaletteGetItemAt(back, 2)};
  EXPECT_EQ(loaded[0]->cls, countedItemClass());
  EXPECT_EQ(loaded[1]->cls, vpaletteItemGetDefaultClass());
  EXPECT_EQ(loaded[1]->tag, N("b"));
  EXPECT_TRUE(vpaletteItemIsDisabled(loaded[1]));
  ASSERT_NE(loaded[2]->image, nullptr);
  EXPECT_NE(loaded[2]->image, shared);
  EXPECT_EQ(loaded[2]->image->width, 6);
  EXPECT_EQ(loaded[2]->flags & vpaletteItemSHARED_IMAGE, 0u);  // its own: destroyed with it
  EXPECT_EQ(loaded[2]->palette, back);
  EXPECT_EQ(reinterpret_cast<vpaletteItem*>(vlistGetCell(back->list, 1, 0)), loaded[2]);
  vinstanceDestroy(back);

  // A stored column count below one still lays the items out.
  vresourceSetIntegerAt(d, N("MaxColumn"), 0);
  back = static_cast<vpalette*>(vobjectLoad(d));
  EXPECT_EQ(back->columns, 1);
  EXPECT_EQ(vlistGetRowCount(back->list), 3);
  vinstanceDestroy(back);
  vresourceCloseFile(root);
  trace.clear();
  vinstanceDestroy(shared);
}

// The class in each look: the cell border and the two scheme colours
// bound to system colours where the look takes native colours.
std::vector<std::string> bound;
TEST(Palette, TheClassWidensTheCellBorderAndBindsTwoSchemeColoursByLook) {
  StandInServices stand;
  stand.services.setClassSchemeSysColor = [](const char* cls, int i, int) {
    if (std::string(cls) == "vpalette") bound.push_back(std::to_string(i));
  };
  struct Case {
    const char* laf;
    int border;
    std::vector<std::string> bindings;
  };
  for (const Case& c : {Case{"windows", 4, {"0", "2"}}, Case{"win95", 4, {"0", "2"}}, Case{"cua", 5, {"0", "2"}},
                        Case{"motif", 4, {}}, Case{"openlook", 4, {}}}) {
    bound.clear();
    FreshContext context({{"laf", c.laf}});
    vlafGetCurrent();
    EXPECT_EQ(vpaletteGetDefaultClass()->cellBorder, c.border) << c.laf;
    EXPECT_EQ(vpaletteGetDefaultClass()->cellBorder, vlistviewGetDefaultClass()->cellBorder + 3) << c.laf;
    EXPECT_EQ(bound, c.bindings) << c.laf;
  }
}

// ---- A dialog holding a palette and a list item, each look in a process
// of its own.
std::string probe(const std::string& arguments) {
  std::string out;
  if (FILE* p = popen((std::string(PALETTE_PROBE) + " " + arguments + " 2>&1").c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    if (pclose(p) != 0) out += "probe failed\n";
  }
  return out;
}

TEST(PaletteDialog, PointerAndKeysChooseItemsAndRowsWithTheirNotifications) {
  EXPECT_EQ(probe("-laf windows input"),
            "-- go\n"
            "palette 1\naction Palette_Go\ncommand Palette_Go\npalette 3\n"
            "-- the device runs: all but stop disabled, step and stop clicked\n"
            "palette 1\npalette 3\nchosen none\n"
            "palette 1\naction Palette_Stop\ncommand Palette_Stop\npalette 3\n"
            "-- stopped: all enabled, reset clicked\n"
            "palette 1\naction Palette_Reset\ncommand Palette_Reset\npalette 3\n"
            "-- list: the fourth row clicked, then keys typed\n"
            "list 1 row -1\nlist 3 row 3\n"
            "g: row 2\na: row 2\npause: row 2\nz: row 5\ne: row 5\n"
            "-- palette: Return pressed\n"
            "palette 1\naction Palette_Reset\ncommand Palette_Reset\npalette 3\n");
}

::testing::AssertionResult pictureMatches(const std::string& laf) {
  std::string png =
      (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_palette_" + laf + ".png")).string();
  std::string out = probe("-laf " + laf + " shots " + png);
  if (!out.empty()) return ::testing::AssertionFailure() << out;
  win::test::Image image;
  if (!win::test::ReadPng(png, image)) return ::testing::AssertionFailure() << "no picture";
  std::filesystem::remove(png);
  return test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/palette/" + laf + ".png", 8);
}
class PalettePictures : public ::testing::TestWithParam<const char*> {};
TEST_P(PalettePictures, ChosenDisabledAndOversizedItemsBesideAListItemDrawAsStored) {
  EXPECT_TRUE(pictureMatches(GetParam()));
}
INSTANTIATE_TEST_SUITE_P(EveryLook, PalettePictures,
                         ::testing::Values("windows", "win95", "motif", "cua", "windows2d"));

}  // namespace
