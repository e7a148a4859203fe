// List items: the automatic width following the widest string through
// replacements, new rows and the switch, the visible rows in the sizes
// and their "MinSize", the owned list replaced, the selected row, and the
// resource form with its selection methods.
#include "fw/widgets/lists/listitem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/widgets_support.h"

namespace {

// The selectors an item sends itself, by name.
std::vector<std::string> sent;
vlistitemClassRec* recordingClass() {
  static vlistitemClassRec* c = [] {
    auto* r = vclassSpawnOf<vlistitemClassRec>(vlistitemGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testListBox"));
    r->send = [](vobject* self, vname name, vdict* args) {
      sent.push_back(name);
      vlistitemGetDefaultClass()->send(self, name, args);
    };
    return r;
  }();
  return c;
}

// A list item of 80 x 100 over the strings given, with characters six
// pixels wide; the cell border is 1 and the step 5 in the Windows look.
struct Fixture {
  vlistitem* item;
  explicit Fixture(std::initializer_list<const char*> strings, bool open = true) {
    startDialogItemTests();
    vfontSetDriver(&kSixWide);
    item = static_cast<vlistitem*>(vinstanceCreate(recordingClass()));
    vrect r{0, 0, 80, 100};
    vdialogSetItemRect(item, &r);
    vliststr* l = vlistitemGetList(item);
    vlistSetColumnCount(l, 1);
    std::int32_t row = 0;
    for (const char* s : strings) vliststrSetCellScribed(l, row++, 0, vscribeLiteral(s));
    if (open) vdialogOpenItem(item);
    sent.clear();
  }
  ~Fixture() { vinstanceDestroy(item); }
  void set(std::int32_t row, const char* s) const { vliststrSetCellScribed(vlistitemGetList(item), row, 0, vscribeCString(s)); }
  // The column's inner width, and what a string of n characters asks for.
  std::int32_t column() const { return vlistviewGetCellInnerSize(item, 0); }
  std::int32_t area() const {
    vrect r;
    _vlistviewGetContentRect(item, &r);
    return r.width - 2;
  }
  static std::int32_t fits(int characters) { return 6 * characters + 10; }
};

TEST(ListItem, TheColumnFollowsTheWidestStringThroughReplacementsAndNewRows) {
  Fixture f({"ab", "abcdefghijklmnop", "abcdefghij"});
  ASSERT_GT(f.area(), 0);
  ASSERT_LT(f.area(), Fixture::fits(10));
  EXPECT_EQ(f.item->widest, 96);
  EXPECT_EQ(f.column(), Fixture::fits(16));

  f.set(1, "xy");  // the widest replaced: the next widest
  EXPECT_EQ(f.item->widest, 60);
  EXPECT_EQ(f.column(), Fixture::fits(10));
  f.set(2, "a");  // nothing wider than the cell area remains
  EXPECT_EQ(f.item->widest, 12);
  EXPECT_EQ(f.column(), f.area());

  f.set(0, "abcdefghijkl");  // a shorter string replaced by one wider than all
  EXPECT_EQ(f.item->widest, 72);
  EXPECT_EQ(f.column(), Fixture::fits(12));
  f.set(3, "abcdefghijklmn");  // a new row
  EXPECT_EQ(vlistGetRowCount(f.item->list), 4);
  EXPECT_EQ(f.item->widest, 84);
  EXPECT_EQ(f.column(), Fixture::fits(14));
  f.set(2, "abc");  // neither widest nor wider
  EXPECT_EQ(f.item->widest, 84);
}

TEST(ListItem, TurningTheAutomaticWidthOffKeepsTheColumnUntilItComesBack) {
  Fixture f({"abcdefghijklmnop"});
  std::int32_t wide = f.column();
  vlistitemSetAutoWidth(f.item, 0);
  EXPECT_EQ(f.item->widest, -1);
  EXPECT_FALSE(vlistitemHasAutoWidth(f.item));
  f.set(0, "a");
  f.set(1, "abcdefghijklmnopqrst");
  EXPECT_EQ(f.column(), wide);
  EXPECT_EQ(f.item->widest, -1);
  vlistitemSetAutoWidth(f.item, 1);
  EXPECT_EQ(f.item->widest, 120);
  EXPECT_EQ(f.column(), Fixture::fits(20));
}

// Characters eight pixels wide in one font, six in the others.
vfont* wideFont = nullptr;
int perCharacter(vfont* f) { return f == wideFont ? 8 : 6; }
const vfontDriver kByFont = {
    nullptr,
    [](vfont* f, vfixed* w, vfixed* s) { *w = perCharacter(f) * 65536, *s = 0; },
    [](vfont* f, vrectFixed* r) { *r = {0, -2 * 65536, perCharacter(f) * 65536, 10 * 65536}; },
    [](vfont*) -> vfixed { return 8 * 65536; },
    [](vfont*) -> vfixed { return 2 * 65536; },
    [](vfont* f, const char*, int n, vfixed* dx, vfixed* dy) { *dx = n * perCharacter(f) * 65536, *dy = 0; },
    [](vfont* f, const char*, int n, vrectFixed* r) { *r = {0, -2 * 65536, n * perCharacter(f) * 65536, 10 * 65536}; },
};

TEST(ListItem, ANewFontIsMeasuredWithItselfNotWithTheOldOne) {
  Fixture f({"abcdefghijklmnop", "ab"});
  ASSERT_EQ(f.item->widest, 96);
  wideFont = vfontFindScribe(vscribeLiteral("Times-regular-10"));
  ASSERT_NE(wideFont, nullptr);
  ASSERT_NE(wideFont, vdialogDetermineItemFont(f.item));
  vfontSetDriver(&kByFont);
  vdialogSetItemFont(f.item, wideFont);
  EXPECT_EQ(f.item->widest, 128);
  EXPECT_EQ(f.column(), 128 + 10);
  vfontSetDriver(&kSixWide);
}

TEST(ListItem, VisibleRowsSizeTheItemAndTheSameCountSendsMinSizeOnce) {
  Fixture f({"abcd", "ab"}, false);
  auto* c = vlistviewClassOf(f.item);
  f.item->size->defaultHeight = -1;
  int l, r, b, t, w = 0, h = 0;
  c->getInsets(f.item, &l, &r, &b, &t);
  vlistitemSetVisibleRows(f.item, 5);
  vlistitemSetVisibleRows(f.item, 5);
  EXPECT_EQ(sent, (std::vector<std::string>{"MinSize"}));
  vdialogGetItemNaturalSize(f.item, &w, &h);
  // Rows seeded from the font: ascent 8 and descent 2, and the cell border twice.
  EXPECT_EQ(vlistsizeGetDefaultHeight(f.item->size), 12);
  EXPECT_EQ(h, 5 * 12 + t + b);
  EXPECT_EQ(w, 2 * (1 + 5) + 24 + l + r);
  vlistitemSetVisibleRows(f.item, 0);
  EXPECT_EQ(sent.size(), 2u);
  vdialogGetItemNaturalSize(f.item, &w, &h);
  EXPECT_EQ(h, 2 * 12 + t + b);  // the rows themselves
}

TEST(ListItem, ItsListIsItsOwnAndOnlyAListItemListTakesItsPlace) {
  Fixture f({"one", "two", "three"});
  EXPECT_NE(f.item->vbar, nullptr);
  EXPECT_EQ(f.item->selection->mode, vlistONE_ONLY_SELECTION);
  EXPECT_EQ(vlistitemGetList(f.item)->owner, f.item);
  EXPECT_EQ(vlistitemGetSelectedRow(f.item), -1);
  vlistSelectRange(f.item->list, f.item->selection, 2, 0, 1, 1);
  EXPECT_EQ(vlistitemGetSelectedRow(f.item), 2);

  vliststr* plain = vliststrCreate();
  EXPECT_EQ(raisedClass([&] { vlistviewSetList(f.item, plain); }), &vexArgClass);
  EXPECT_EQ(vlistGetRowCount(f.item->list), 3);
  vinstanceDestroy(plain);
  vlistviewSetList(f.item, f.item->list);  // set again: kept, not destroyed
  EXPECT_EQ(vlistGetRowCount(f.item->list), 3);

  vlistitemList* next = vlistitemListCreate();
  EXPECT_EQ(next->owner, nullptr);
  vlistviewSetList(f.item, next);  // the old one is destroyed (LeakSanitizer)
  EXPECT_EQ(next->owner, f.item);
  EXPECT_EQ(vlistitemGetSelectedRow(f.item), -1);
}

TEST(ListItem, TheResourceFormWritesTheMethodAndOptionalAttributesOnlyWhenSet) {
  startDialogItemTests();
  vresource root = vresourceCreateMemoryIn(0);
  struct Case {
    int mode;
    bool atLeastOne;
    std::int32_t rows;
    const char* method;  // null: not written
  };
  for (Case c : {Case{vlistFREE_SELECTION, true, 4, "Free Selection"}, Case{vlistONE_ONLY_SELECTION, false, 0, "One Only Selection"},
                 Case{vlistRECTANGULAR_SELECTION, false, 1, "Rectangular Selection"}, Case{vlistNO_SELECTION, false, 0, "No Selection"},
                 Case{7, false, 0, nullptr}}) {
    vlistitem* i = vlistitemCreate();
    vlistitemSetVisibleRows(i, c.rows);
    if (c.mode <= vlistNO_SELECTION) vlistSetSelectionMode(i->list, i->selection, c.mode);
    else i->selection->mode = std::int16_t(c.mode);  // a mode no method names
    if (c.atLeastOne) vlistSetSelectionAtLeastOne(i->list, i->selection, 1);
    if (c.mode == vlistRECTANGULAR_SELECTION) vlistitemSetAutoWidth(i, 0);
    vresource d = vresourceCreate(root, N("Item"), vresDICTIONARY);
    vclassRec<vobjectClassRec>(i)->store(i, d);
    vname method = nullptr;
    EXPECT_EQ(vresourceTestGetTag(d, N("SelectMethod"), &method) != 0, c.method != nullptr) << c.mode;
    if (c.method) {
      EXPECT_EQ(method, N(c.method));
    }
    std::int32_t v = -5;
    EXPECT_EQ(vresourceTestGetInteger(d, N("VisibleRows"), &v) != 0, c.rows > 0) << c.mode;
    if (c.rows > 0) {
      EXPECT_EQ(v, c.rows);
    }
    EXPECT_EQ(vresourceTestGetInteger(d, N("AtLeastOneSelection"), &v) != 0, c.atLeastOne) << c.mode;
    ASSERT_TRUE(vresourceTestGetInteger(d, N("Autowidth"), &v));
    EXPECT_EQ(v, c.mode == vlistRECTANGULAR_SELECTION ? 0 : 1);
    vresource list;
    EXPECT_TRUE(vresourceTestGet(d, N("List"), &list));
    vinstanceDestroy(i);
  }
  vresourceCloseFile(root);
}

TEST(ListItem, LoadedItemsTakeTheirListMethodAndWidthOrAnEmptyListOfTheirOwn) {
  Fixture f({"abc", "abcdefgh"});
  vlistitemSetVisibleRows(f.item, 3);
  vresource root = vresourceCreateMemoryIn(0);
  vresource d = vresourceCreate(root, N("Item"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(f.item)->store(f.item, d);
  struct Case {
    const char* method;  // null: none stored
    bool keepList;
    int mode;
  };
  for (Case c : {Case{"Free Selection", true, vlistFREE_SELECTION}, Case{"Whatever", true, vlistONE_ONLY_SELECTION},
                 Case{nullptr, false, vlistONE_ONLY_SELECTION}}) {
    if (c.method) vresourceSetTagAt(d, N("SelectMethod"), N(c.method));
    else vresourceRemove(d, N("SelectMethod"));
    if (!c.keepList) vresourceRemove(d, N("List"));
    auto* back = static_cast<vlistitem*>(vobjectLoad(d));
    ASSERT_NE(back->list, nullptr);
    EXPECT_TRUE(vclassIsSubclass(back->list->cls, vlistitemGetListClass()));
    EXPECT_EQ(vlistitemGetList(back)->owner, back);
    EXPECT_EQ(back->selection->mode, c.mode) << (c.method ? c.method : "none");
    EXPECT_TRUE(vlistitemHasAutoWidth(back));
    EXPECT_EQ(back->visibleRows, 3);
    EXPECT_NE(back->vbar, nullptr);
    EXPECT_EQ(vlistGetRowCount(back->list), c.keepList ? 2 : 0);
    EXPECT_EQ(back->widest, c.keepList ? 48 : 0);
    vinstanceDestroy(back);
  }
  vresourceCloseFile(root);
}

TEST(ListItem, ACopyOwnsAListOfItsOwnWithTheSelectionAndWidth) {
  Fixture f({"abc", "abcdefgh", "ab"});
  vlistSelectRange(f.item->list, f.item->selection, 1, 0, 1, 1);
  vlistitemSetVisibleRows(f.item, 2);
  auto* copy = static_cast<vlistitem*>(vobjectClone(f.item));
  EXPECT_NE(copy->list, f.item->list);
  EXPECT_EQ(vlistitemGetList(copy)->owner, copy);
  EXPECT_EQ(vlistitemGetList(f.item)->owner, f.item);
  EXPECT_EQ(vlistitemGetSelectedRow(copy), 1);
  EXPECT_EQ(copy->visibleRows, 2);
  EXPECT_EQ(copy->widest, 48);
  EXPECT_STREQ(vliststrGetCell(vlistitemGetList(copy), 1, 0), "abcdefgh");
  vinstanceDestroy(copy);
  EXPECT_EQ(vlistGetRowCount(f.item->list), 3);
  f.set(1, "a");  // the original still measures its own strings
  EXPECT_EQ(f.item->widest, 18);
}

}  // namespace
