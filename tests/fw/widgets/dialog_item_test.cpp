// Dialog items: how flags travel through creation, resources and copies,
// the stored form, the announcement trace of the setters, colours by
// precedence, the redraw rectangle, notify order, and the sizes of the
// label, line and box items.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/item.h"
#include "fw/widgets/look/laf.h"
#include "fw/core/fw_support.h"
#include "fw/widgets/dialog_support.h"

namespace {

// Announcements as "Name old>new" for the values that are names or rects.
std::vector<std::string> trace;
std::string describe(vname name, const void* v) {
  if (!v) return "-";
  if (name == vname_Rect) {
    auto* r = static_cast<const vrect*>(v);
    return std::to_string(r->x) + "," + std::to_string(r->y) + "," + std::to_string(r->width) + "," +
           std::to_string(r->height);
  }
  if (name == vname_Title) return static_cast<const char*>(v);
  if (name == vname_Mnemonic) return std::string(1, char(*static_cast<const std::uint16_t*>(v)));
  if (name == vname_Data || name == vname_Font || name == vname_Foreground || name == vname_Image) return "*";
  return static_cast<vname>(v);
}
vdialogItemClassRec* recordingClass() {
  static vdialogItemClassRec* c = [] {
    auto* r = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testDialogItem"));
    r->send = [](vobject* self, vname name, vdict* args) {
      if (name != vname_MinSize)
        trace.push_back(std::string(name) + " " + describe(name, vdictGet(args, vname_OldValue)) + ">" +
                        describe(name, vdictGet(args, vname_Value)));
      vdialogItemGetDefaultClass()->send(self, name, args);
    };
    return r;
  }();
  return c;
}

struct DialogItems : ::testing::Test {
  void SetUp() override {
    startDialogItemTests();
    vrstoreInstallInterface();
    root = vrstoreCreateMemory();
    trace.clear();
  }
  void TearDown() override { vrstoreCloseFile(root); }
  vresource parse(const std::string& text) {
    vresource d = vrstoreCreate(root, N("Item"), vresDICTIONARY);
    std::string error;
    EXPECT_TRUE(vrtextParse(text, d, &error)) << error;
    return d;
  }
  static void store(vdialogItem* item, vresource r) { vobjectAttributedOf(item)->store(item, r); }
  vresource root = 0;
};

TEST_F(DialogItems, NewItemsAndTheirClasses) {
  struct Row {
    vdialogItemClassRec* cls;
    const char* name;
    std::int16_t size;
  } rows[] = {{vdialogItemGetDefaultClass(), "vdialogItem", 100},
              {vdialogLabelItemGetDefaultClass(), "vdialogLabelItem", 12},
              {vdialogLineItemGetDefaultClass(), "vdialogLineItem", 100},
              {vdialogBoxItemGetDefaultClass(), "vdialogBoxItem", 100}};
  for (const Row& r : rows) {
    EXPECT_STREQ(r.cls->name, r.name);
    vdialogItem* item = vdialogItemCreate(r.cls);
    EXPECT_EQ(item->flags, 0x0083) << r.name;
    EXPECT_EQ(item->rect.x, 0);
    EXPECT_EQ(item->rect.width, r.size) << r.name;
    EXPECT_EQ(item->rect.height, r.size) << r.name;
    EXPECT_STREQ(item->title, "");
    EXPECT_EQ(item->attributes, nullptr);
    vinstanceDestroy(item);
  }
  // The attribute vocabulary: the even scheme names share one index but
  // the four colours the item keeps itself.
  vdict* names = vdialogItemGetDefaultClass()->attributes;
  EXPECT_EQ(vdictGetInteger(names, vname_MinSize), 19);
  EXPECT_EQ(vdictGetInteger(names, vname_Rect), 17);
  const int own[24] = {5, 0, 7, 0, 9, 0, 9, 0, 6, 0, 8};
  for (int i = 0; i < 24; i += 2) EXPECT_EQ(vdictGetInteger(names, vcolorGetSchemeTag(i)), own[i] ? own[i] : 9) << i;
  // The item commands come with the class's space.
  EXPECT_NE(vcommandSpaceGetAttribute(vdialogItemGetDefaultClass()->space, vname_Command, N("Mnemonic")), nullptr);
  EXPECT_NE(vcommandSpaceGetAttribute(vdialogItemGetDefaultClass()->space, vname_Command, N("PageDown")), nullptr);
}

TEST_F(DialogItems, ResourcesKeepTheStoredFlagsAndEveryKey) {
  struct Row {
    std::int32_t stored;
    std::uint16_t loaded;
  } rows[] = {{0xFFFF, 0x038F}, {0x0083, 0x0083}, {0x0470, 0x0000}, {0x7C00, 0x0000}, {0x020C, 0x020C}};
  for (const Row& r : rows) {
    vresource d = parse("Class = tag vdialogItem\nFlags = integer " + std::to_string(r.stored) +
                        "\nTitle = string \"Name\"\nMnemonic = character 78\n"
                        "Rect = array integer [ 3 -4 50 20 ]\n");
    auto* item = static_cast<vdialogItem*>(vobjectLoad(d));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->flags & ~vdialogItemTITLE_OWNED, r.loaded) << std::hex << r.stored;
    EXPECT_TRUE(item->flags & vdialogItemTITLE_OWNED);
    EXPECT_STREQ(item->title, "Name");
    EXPECT_EQ(item->mnemonic, 'N');
    EXPECT_EQ(item->rect.y, -4);
    EXPECT_EQ(item->rect.width, 50);
    // Stored again with flags that must not travel.
    item->flags |= vdialogItemFOCUSED | vdialogItemOPEN | vdialogItemDEFAULT | vdialogItemMARKED;
    store(item, d);
    EXPECT_EQ(vresourceGetInteger(d, vname_Flags), r.loaded);
    item->flags &= std::uint16_t(~vdialogItemOPEN);
    vinstanceDestroy(item);
  }
}

TEST_F(DialogItems, StoreWritesSharedValuesAndRemovesWhatIsGone) {
  vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
  vimage* image = vimageCreateSized(4, 3, 2);
  vobject* cursor = vobjectClone(image);  // any shared object stands for a cursor
  vdialogSetItemImage(item, image);
  vdialogSetItemCursor(item, cursor);
  vdialogSetItemFont(item, vapplicationGetFont(vapplicationGetCurrent()));
  vdialogSetItemForeground(item, vcolorGetBlack());
  vdialogSetItemBackground(item, vcolorGetWhite());
  vresource d = parse("Class = tag vdialogItem\nCursor = dictionary { }\nImage = dictionary { }\nSpace = dictionary { }\nMenu = dictionary { }\n");
  store(item, d);
  std::string text = vrtextDump(d);
  for (const char* key : {"Cursor", "Image", "Space", "Menu", "Title", "Mnemonic"})
    EXPECT_EQ(text.find(std::string(key) + " ="), std::string::npos) << key << "\n" << text;
  // Written in the documented order.
  std::size_t at = 0;
  for (const char* key : {"Flags", "Rect", "Font", "Foreground", "Background"}) {
    std::size_t found = text.find(std::string(key) + " =");
    ASSERT_NE(found, std::string::npos) << key << "\n" << text;
    EXPECT_GT(found + 1, at) << key;
    at = found;
  }

  // Owned image and space travel and come back owned.
  vdialogSetItemImageOwned(item, vimageCreateSized(5, 2, 2));
  vdialogSetItemSpaceOwned(item, vcommandSpaceCreate());
  vdialogSetItemCursor(item, nullptr);
  store(item, d);
  auto* loaded = static_cast<vdialogItem*>(vobjectLoad(d));
  ASSERT_NE(vdialogGetItemImage(loaded), nullptr);
  EXPECT_EQ(vdialogGetItemImage(loaded)->width, 5);
  EXPECT_TRUE(loaded->flags & vdialogItemIMAGE_OWNED);
  EXPECT_TRUE(loaded->flags & vdialogItemSPACE_OWNED);
  EXPECT_NE(loaded->attributes->space, nullptr);
  EXPECT_NE(vdialogGetItemFont(loaded), nullptr);
  EXPECT_NE(vdialogGetItemForeground(loaded), nullptr);
  EXPECT_EQ(loaded->attributes->cursor, nullptr);
  vinstanceDestroy(loaded);
  vinstanceDestroy(item);
  vinstanceDestroy(image);
  vinstanceDestroy(cursor);
}

TEST_F(DialogItems, CopiesTakeAndKeepTheirMasks) {
  struct Row {
    std::uint16_t source, destination, copied;
  } rows[] = {{0xFFFF & ~0x3870, 0x0000, 0x038F}, {0x0000, 0xFFFF & ~0x3870, 0xC400},
              {0x0383, 0x4420, 0x47A3}, {0x8403, 0x0003, 0x0003}};
  for (const Row& r : rows) {
    vdialogItem* from = vdialogItemCreate(vdialogItemGetDefaultClass());
    vdialogItem* to = vdialogItemCreate(vdialogItemGetDefaultClass());
    from->flags = r.source;
    to->flags = r.destination;
    vdialogSetItemTitle(from, vscribeCString("Copied"));
    vclassRec<vobjectClassRec>(from)->copy(from, to);
    EXPECT_EQ(to->flags & ~vdialogItemTITLE_OWNED, r.copied) << std::hex << r.source << " " << r.destination;
    EXPECT_STREQ(to->title, "Copied");
    EXPECT_NE(to->title, from->title) << "an owned title is copied";
    auto* fresh = static_cast<vdialogItem*>(vobjectClone(from));
    EXPECT_EQ(fresh->flags & ~vdialogItemTITLE_OWNED, r.source & 0x3BCF & ~vdialogItemTITLE_OWNED);
    for (vdialogItem* i : {from, to, fresh}) {
      i->flags &= std::uint16_t(~vdialogItemOPEN);
      vinstanceDestroy(i);
    }
  }
  // Onto itself nothing is released.
  vdialogItem* self = vdialogItemCreate(vdialogItemGetDefaultClass());
  vdialogSetItemTitle(self, vscribeCString("Kept"));
  vdialogSetItemImageOwned(self, vimageCreateSized(2, 2, 2));
  vclassRec<vobjectClassRec>(self)->copy(self, self);
  EXPECT_STREQ(self->title, "Kept");
  EXPECT_EQ(vdialogGetItemImage(self)->width, 2);
  vinstanceDestroy(self);
}

TEST_F(DialogItems, SettersAnnounceOnlyChanges) {
  vdialogItem* item = vdialogItemCreate(recordingClass());
  auto* setter = vobjectAttributedOf(item);
  vdialogShowItem(item);
  vdialogHideItem(item);
  vdialogHideItem(item);
  setter->setAttribute(item, vname_Shown, vname_True);
  setter->setAttribute(item, vname_State, N("Sideways"));
  setter->setAttribute(item, vname_State, vname_Disabled);
  vdialogDisableItem(item);
  vdialogSetItemTitle(item, vscribeLiteral("Go"));
  vdialogSetItemTitle(item, vscribeCString("Go"));
  vdialogSetItemMnemonic(item, 'G');
  vdialogSetItemMnemonic(item, 'G');
  vdialogSetItemBorder(item, 1);
  vdialogSetItemBorder(item, 0);
  vrect r{1, 2, 30, 40};
  vdialogSetItemRect(item, &r);
  vdialogSetItemRect(item, &r);
  vdialogSetItemFont(item, nullptr);
  std::vector<std::string> expected = {"Shown True>False", "Shown False>True", "State Enabled>Disabled",
                                       "Title >Go",        "Mnemonic \0>G",     "Border True>False",
                                       "Rect 0,0,100,100>1,2,30,40"};
  expected[4] = std::string("Mnemonic ") + '\0' + ">G";
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(setter->getAttribute(item, vname_State), vname_Disabled);
  EXPECT_EQ(setter->getAttribute(item, vname_Border), vname_False);
  EXPECT_EQ(static_cast<const vrect*>(setter->getAttribute(item, vname_Rect))->height, 40);
  vinstanceDestroy(item);
}

TEST_F(DialogItems, ColoursComeFromItemClassThenApplication) {
  vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
  vcolorScheme app{};
  vapplicationDetermineColorMask(vapplicationGetCurrent(), 0x5, &app);
  vcolor* classForeground = vdialogItemGetDefaultClass()->foreground;
  EXPECT_EQ(vdialogGetItemColor(item, vcolorFOREGROUND),
            classForeground ? classForeground : app.entries[vcolorFOREGROUND]);
  vcolor* own = vcolorCreate();
  vdialogSetItemForeground(item, own);
  EXPECT_EQ(vdialogGetItemColor(item, vcolorFOREGROUND), own);
  vcolor* classBackground = vdialogItemGetDefaultClass()->background;
  EXPECT_EQ(vdialogGetItemColor(item, vcolorBACKGROUND),
            classBackground ? classBackground : app.entries[vcolorBACKGROUND]);
  // A disabled item reads its disabled foreground on the usual index.
  vdialogDisableItem(item);
  vcolorScheme disabled{}, promoted{};
  vapplicationDetermineColorMask(vapplicationGetCurrent(), 0x3, &disabled);
  vdialogSetItemForeground(item, nullptr);
  vdialogDetermineItemColors(item, 0x1, &promoted);
  ASSERT_TRUE(promoted.mask & 1);
  EXPECT_EQ(promoted.entries[0], disabled.entries[1]);
  // Indexes beyond the scheme raise instead of shifting past the word.
  for (int bad : {-1, 24, 40}) EXPECT_EQ(raisedClass([&] { vdialogGetItemColor(item, bad); }), &vexArgRangeClass);
  vinstanceDestroy(item);
  vcolorRelease(own);
}

TEST_F(DialogItems, ClassDefaultsFromThePreferences) {
  // A "Classes" entry for a class of the family is read when it is named.
  vwindowMSWRegisterClassSysColor(N("testPrefItem"), vcolorFOREGROUND, 5);
  auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogLabelItemGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testPrefItem"));
  ASSERT_NE(c->foreground, nullptr);
  vdialogItem* item = vdialogItemCreate(c);
  EXPECT_EQ(vdialogGetItemColor(item, vcolorFOREGROUND), c->foreground);
  EXPECT_EQ(item->rect.width, 12) << "the label's size is inherited";
  vinstanceDestroy(item);
}

TEST_F(DialogItems, RedrawRectangleAndNotifyOrder) {
  vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
  auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testInsetItem"));
  c->focusInset = 2;
  c->defaultInset = 3;
  vdialogItem* inset = vdialogItemCreate(c);
  vrect r{10, 20, 30, 40};
  vdialogSetItemRect(inset, &r);
  struct Row {
    std::uint16_t flags;
    vrect expected;
  } rows[] = {{0, {10, 20, 30, 40}}, {vdialogItemFOCUSED, {8, 18, 34, 44}}, {vdialogItemDEFAULT, {7, 17, 36, 46}},
              {vdialogItemFOCUSED | vdialogItemDEFAULT, {5, 15, 40, 50}}};
  for (const Row& row : rows) {
    inset->flags = std::uint16_t((inset->flags & ~(vdialogItemFOCUSED | vdialogItemDEFAULT)) | row.flags);
    vrect got = vdialogGetItemRedrawRect(inset);
    EXPECT_EQ(got.x, row.expected.x);
    EXPECT_EQ(got.width, row.expected.width);
    EXPECT_EQ(got.height, row.expected.height);
  }

  static std::vector<std::string> order;
  order.clear();
  vdialogSetItemGlobalNotify([](vdialogItem*, vevent*) { order.push_back("hook"); });
  vdialogSetItemNotify(item, [](vdialogItem*, vevent*) { order.push_back("item"); });
  vdialogNotifyItem(item, nullptr);
  vdialogSetItemGlobalNotify(nullptr);
  EXPECT_EQ(order, (std::vector<std::string>{"hook", "item"}));

  // Key dictionaries exist only while open.
  EXPECT_EQ(raisedClass([&] { vdialogGetItemKeyMap(item); }), &vexArgNotOpenClass);
  vdialogOpenItem(item);
  vdialogOpenItem(item);
  EXPECT_NE(vdialogGetItemKeyMap(item), nullptr);
  EXPECT_NE(vdialogGetItemMnemonicMap(item), nullptr);
  vdialogCloseItem(item);
  EXPECT_EQ(item->attributes->keyMap, nullptr);
  EXPECT_FALSE(item->flags & vdialogItemOPEN);
  vinstanceDestroy(item);
  vinstanceDestroy(inset);
}

TEST_F(DialogItems, StaticItemSizes) {
  vfont* font = vapplicationGetFont(vapplicationGetCurrent());
  auto px = [](vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); };
  int height = px(vfontGetDriver()->ascent(font) + vfontGetDriver()->descent(font));
  int title = px(vfontGetCharsWidth(font, "Group", 5));
  ASSERT_GT(title, 0);
  int lineWidth = int(vapplicationGetLineWidth(vapplicationGetCurrent()));
  bool threeD = (vlafGetCurrent()->flags & vlaf3D) != 0;
  int b = threeD ? std::max(lineWidth, 2) : lineWidth;

  vdialogItem* label = vdialogItemCreate(vdialogLabelItemGetDefaultClass());
  vdialogItem* line = vdialogItemCreate(vdialogLineItemGetDefaultClass());
  vdialogItem* box = vdialogItemCreate(vdialogBoxItemGetDefaultClass());
  struct Row {
    vdialogItem* item;
    const char* title;
    bool natural;
    int width, height;
  } rows[] = {
      {label, "", false, 0, height},
      {label, "Group", false, title, height},
      {label, "Group", true, 0, 0},
      {line, "", true, lineWidth, lineWidth},
      {line, "", false, lineWidth, lineWidth},
      {box, "", true, 2 * b, 2 * b},
      {box, "Group", true, 2 * b + title + 24, 2 * b + height},
      {box, "Group", false, 2 * b + title + 24, 2 * b + height},
  };
  for (const Row& r : rows) {
    vdialogSetItemTitle(r.item, vscribeLiteral(r.title));
    int w = -1, h = -1;
    if (r.natural) vdialogGetItemNaturalSize(r.item, &w, &h);
    else vdialogGetItemMinSize(r.item, &w, &h);
    EXPECT_EQ(w, r.width) << r.item->cls->name << " '" << r.title << "' " << r.natural;
    EXPECT_EQ(h, r.height) << r.item->cls->name << " '" << r.title << "' " << r.natural;
  }
  // Without a border the box has no frame; an image widens its minimum.
  vdialogSetItemBorder(box, 0);
  vdialogSetItemImageOwned(box, vimageCreateSized(title + 40, 7, 2));
  int w = 0, h = 0;
  vdialogGetItemMinSize(box, &w, &h);
  EXPECT_EQ(w, title + 40);
  EXPECT_EQ(h, height + 7);
  // Spacing: 5 unless the look draws bordered items.
  EXPECT_EQ(vdialogGetItemSpacing(label, nullptr, 1),
            (vlafGetCurrent()->flags & vlafBORDERED_ITEMS) ? (threeD ? 0 : -vlafGetCurrent()->lineWidth) : 5);
  for (vdialogItem* i : {label, line, box}) vinstanceDestroy(i);
}

}  // namespace

namespace {

// A stored cursor or menu of a class that cannot serve is left out (storing
// it again would call a slot its class does not have); an entry that fails
// after others loaded raises and frees what came before.
TEST_F(DialogItems, StoredObjectsOfTheWrongClassOrBadEntries) {
  vresource d = parse("Class = tag vdialogItem\n"
                      "Cursor = dictionary { Class = tag vdialogItem }\n"
                      "Menu = dictionary { Class = tag vdialogLabelItem }\n"
                      "Title = string \"T\"\n");
  auto* item = static_cast<vdialogItem*>(vobjectLoad(d));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->attributes, nullptr);
  EXPECT_FALSE(item->flags & vdialogItemCURSOR_OWNED);
  store(item, d);
  vresource cursor;
  EXPECT_FALSE(vresourceTestGet(d, vname_Cursor, &cursor));
  vinstanceDestroy(item);
  vresource bad = parse("Class = tag vdialogItem\n"
                        "Cursor = cursor 2 2 0 0 [ \"#o\" \"o#\" ]\n"
                        "Font = integer 7\n");
  EXPECT_NE(raisedClass([&] { vinstanceDestroy(vobjectLoad(bad)); }), nullptr);
}

}  // namespace
