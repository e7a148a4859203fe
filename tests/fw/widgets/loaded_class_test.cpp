// Objects loaded from a resource and then used as a given class: a resource
// naming another class is refused as damage before it is used, wherever
// the framework loads one; the right class still loads.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/data/num.h"
#include "fw/data/regexp.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/raises.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/domains/domainview.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/objlist.h"
#include "fw/widgets/lists/spring.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/dialog_support.h"

namespace {

vresource parsed(const std::string& text) {
  vresource file = vrstoreCreateMemory();
  std::string error;
  EXPECT_TRUE(vrtextParse("X = dictionary {\n" + text + "\n}\n", file, &error)) << error;
  return vresourceGet(file, N("X"));
}

// Replaces every "@" of a template by a class name.
#define TEXT_VIEW_KEYS \
  "TextViewFlags = integer 1 ScrollX = integer 0 ScrollY = integer 1 LeftMargin = integer 2 RightMargin = integer 0 " \
  "ScrollTo = integer 0 UnfocusHilite = integer 0 FocusHilite = integer 0 HiliteTo = integer 0 ScrollBarMargin = integer 0 "
#define DOMAIN_VIEW_KEYS \
  "Attributes = integer 0 DragOutline = integer 0 DragMethod = integer 0 DragThreshold = integer 0 " \
  "ScrollIncrement = integer 0 ScrollBarMargin = integer 0 TrackMode = integer 0 "

std::string naming(std::string text, const std::string& cls) {
  for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, cls);
  return text;
}

struct Case {
  const char* what;
  const char* text;   // "@" where the class under test goes
  const char* right;  // a class the place holds (its load tried too), or null
  std::function<void(vresource)> load;
};

void loadAndDestroy(vresource r) { vinstanceDestroy(vobjectLoad(r)); }

TEST(LoadedClasses, AnObjectOfAnotherClassIsDamageWhereverOneIsLoaded) {
  startDialogItemTests();
  vmenuGetDefaultClass();
  vmenubarGetDefaultClass();
  vtextitemGetDefaultClass();
  vlistitemGetDefaultClass();
  vdomainitemGetDefaultClass();
  vconfirmGetDefaultClass();
  vnoticeGetDefaultClass();
  vspringSolutionGetDefaultClass();
  vregexpGetDefaultClass();
  vnumFormatGetDefaultClass();
  vcommandStartup();
  const Case cases[] = {
      {"a dialog item's Space", "Class = tag vdialogItem Space = dictionary { Class = tag @ }", "vcommandSpace",
       loadAndDestroy},
      {"a menu item's SubMenu", "Class = tag vmenuSubMenuItem Title = string \"P\" SubMenu = dictionary { Class = tag @ }",
       "vmenu", loadAndDestroy},
      {"a menu's item list", "Class = tag vmenu ItemList = dictionary { Class = tag @ }", "vmenuItemList", loadAndDestroy},
      {"an item of a menu", "Class = tag vmenu ItemList = dictionary { Objects = array dictionary [ { Class = tag @ } ] }",
       "vmenuItem", loadAndDestroy},
      {"a menu of a menu bar",
       "Class = tag vmenubar vmenubarFlags = integer 0 MenuList = dictionary { Objects = array dictionary [ { Class = tag @ } ] }", "vmenu",
       loadAndDestroy},
      {"an item of a dialog item list", "Objects = array dictionary [ { Class = tag @ } ]", "vdialogItem",
       [](vresource r) { vinstanceDestroy(vdialogItemListLoad(r)); }},
      {"a text item's Text", "Class = tag vtextitem " TEXT_VIEW_KEYS "Text = dictionary { Class = tag @ }", nullptr, loadAndDestroy},
      {"a text item's DefaultRuler", "Class = tag vtextitem " TEXT_VIEW_KEYS "DefaultRuler = dictionary { Class = tag @ }",
       "vtextRuler",
       loadAndDestroy},
      {"a list item's List", "Class = tag vlistitem FocusRow = integer 0 FocusColumn = integer 0 Attributes = integer 0 "
       "ScrollBarMargin = integer 0 List = dictionary { Class = tag @ }",
       "vlistitemList", loadAndDestroy},
      {"a domain item's Domain", "Class = tag vdomainitem " DOMAIN_VIEW_KEYS "Domain = dictionary { Class = tag @ }", nullptr,
       loadAndDestroy},
      {"a space", "Class = tag @", "vcommandSpace", [](vresource r) { vinstanceDestroy(vcommandSpaceLoad(r)); }},
      {"a space loaded into storage", "Class = tag @", "vcommandSpace",
       [](vresource r) {
         vcommandSpace s;
         vcommandSpaceLoadInit(&s, r);
         vinstanceDestroy(&s);
       }},
      {"an object list loaded into storage", "Class = tag @", "vobjectList",
       [](vresource r) {
         vobjectList l;
         vobjectListLoadInit(&l, r);
         vinstanceDestroy(&l);
       }},
      {"a spring solution", "Class = tag @", "vspringSolution",
       [](vresource r) { vinstanceDestroy(vspringSolutionLoad(r)); }},
      {"a regular expression", "Class = tag @", "vregexp", [](vresource r) { vinstanceDestroy(vregexpLoad(r)); }},
      {"a number format", "Class = tag @", "vnumFormat", [](vresource r) { vinstanceDestroy(vnumFormatLoad(r)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* wrong : {"vdialogItem", "vmenuItem"}) {
      if (c.right && std::string(wrong) == c.right) continue;
      std::string message;
      EXPECT_EQ(raised([&] { c.load(parsed(naming(c.text, wrong))); }, &message), &vexArgClass) << wrong;
      EXPECT_EQ(message, "Resource file is damaged") << wrong;
    }
    std::string message;
    if (c.right) {
      EXPECT_EQ(raised([&] { c.load(parsed(naming(c.text, c.right))); }, &message), nullptr) << c.right << message;
    }
  }
}

}  // namespace
