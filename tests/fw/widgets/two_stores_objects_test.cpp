// The framework objects that keep themselves in resources, in a memory
// resource and a file of each store: stored, read back, loaded and stored
// again, every store keeps the same form, and loading it gives an object
// that stores that same form once more.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "fw/core/attributed.h"
#include "fw/data/datatag.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/domains/domain.h"
#include "fw/widgets/domains/iconview.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/lists/spring.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"
#include "tests/fw/data/two_stores_support.h"
#include "tests/fw/widgets/dialog_support.h"

namespace {

using namespace twostores;
using std::to_string;

class TwoStoreObjects : public testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    startDialogItemTests();
    vrstoreInstallInterface();
  }
};
INSTANTIATE_TEST_SUITE_P(Stores, TwoStoreObjects, testing::ValuesIn(stores), storeName);

// A resource as text, a dictionary's entries sorted by tag (each store
// sets its own order of entries).
std::string dump(vresource r) {
  switch (vresourceGetType(r, nullptr)) {
    case vresDICTIONARY: {
      std::map<std::string, std::string> entries;
      for (std::int32_t i = 0; i < vresourceCount(r); ++i) {
        vname tag = nullptr;
        vresource c = vresourceGetTagAt(r, i, &tag);
        entries[tag] = dump(c);
      }
      std::string out = "{";
      for (const auto& [k, v] : entries) out += k + "=" + v + " ";
      return out + "}";
    }
    case vresARRAY: {
      std::string out = "[";
      int kind = vresourceGetElementType(r);
      for (std::int32_t i = 0; i < vresourceCount(r); ++i) {
        switch (kind) {
          case vresINTEGER: out += to_string(vresourceGetAtInteger(r, i)); break;
          case vresFIXED: out += to_string(vresourceGetAtFixed(r, i)); break;
          case vresFLOAT: out += to_string(vresourceGetAtFloat(r, i)); break;
          case vresBOOLEAN: out += to_string(vresourceGetAtBoolean(r, i)); break;
          case vresCHARACTER: out += to_string(int(vresourceGetAtCharacter(r, i))); break;
          case vresTAG: out += vresourceGetAtTag(r, i); break;
          case vresSTRING: out += "\"" + vresourceGetAtStringText(r, i) + "\""; break;
          default: out += dump(vresourceGetAt(r, i));
        }
        out += " ";
      }
      return out + "]";
    }
    case vresTAG: return vresourceGetTag(r, nullptr);
    case vresINTEGER: return to_string(vresourceGetInteger(r, nullptr));
    case vresFIXED: return "fixed " + to_string(vresourceGetFixed(r, nullptr));
    case vresFLOAT: return "float " + to_string(vresourceGetFloat(r, nullptr));
    case vresBOOLEAN: return "boolean " + to_string(vresourceGetBoolean(r, nullptr));
    case vresCHARACTER: return "character " + to_string(int(vresourceGetCharacter(r, nullptr)));
    case vresSTRING: return "\"" + vresourceGetStringText(r, nullptr) + "\"";
    case vresOPAQUE: return "opaque " + to_string(vresourceGetSize(r));
    default: return "untyped";
  }
}

// o stored in a store of the kind given, read back (a file closed and
// opened again), loaded and stored again: the stored form, which the
// second store must repeat.
std::string roundTrip(const Store& s, vobject* o) {
  Root root(s);
  vresource d = vresourceCreate(root.root, N("Object"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(o)->store(o, d);
  root.reopen();
  d = vresourceGet(root.root, N("Object"));
  std::string first = dump(d);
  vobject* back = vobjectLoad(d);
  vresource again = vresourceCreate(root.root, N("Again"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(back)->store(back, again);
  EXPECT_EQ(dump(again), first) << s.name << ": loaded and stored again";
  vinstanceDestroy(back);
  return first;
}
std::string sameForm(const Store& s, vobject* o) {
  std::string form = roundTrip(s, o);
  EXPECT_EQ(form, roundTrip(stores[0], o)) << s.name;
  return form;
}
bool holds(const std::string& form, const std::string& part) { return form.find(part) != std::string::npos; }

TEST_P(TwoStoreObjects, Lists) {
  // A list loaded from a resource of the store: the old key "MaxRow" gives
  // way to "RowCount".
  Root root(GetParam());
  vlistGetDefaultClass();
  vresource r = vresourceCreate(root.root, N("List"), vresDICTIONARY);
  vresourceSetTag(r, vname_Class, N("vlist"));
  vresourceSetInteger(r, vname_MaxRow, 5);
  vresourceSetInteger(r, vname_MaxColumn, 2);
  vresourceSetInteger(r, N("RowCount"), 7);
  vresourceSetTag(r, N("Orientation"), N("ColumnMajor"));
  root.reopen();
  auto* l = static_cast<vlist*>(vobjectLoad(vresourceGet(root.root, N("List"))));
  EXPECT_EQ(vlistGetRowCount(l), 7);
  EXPECT_EQ(vlistGetColumnCount(l), 2);
  EXPECT_EQ(l->cells.flags, vlistCOLUMN_MAJOR);
  std::string form = sameForm(GetParam(), l);
  EXPECT_TRUE(holds(form, "RowCount=7 ")) << form;
  vinstanceDestroy(l);

  vlistsize* s = vlistsizeCreate();
  vlistsizeClassRec* c = vlistsizeClassOf(s);
  c->setColumnWidth(s, 0, 40);
  c->setRowHeight(s, 0, 16);
  c->setRowHeight(s, 2, 20);
  form = sameForm(GetParam(), s);
  EXPECT_TRUE(holds(form, "HeightTable=[16 16 20 ]")) << form;
  vinstanceDestroy(s);
}

TEST_P(TwoStoreObjects, SpringsAndDomains) {
  vspringSolution* sol = vspringSolutionCreate();
  vspringSolutionAppendStep(sol, 32, 10, -1);
  vspringSolutionAppendStep(sol, 16, 0, 0);
  vspringSolutionAppendStep(sol, 80, 4, 1);
  std::string form = sameForm(GetParam(), sol);
  EXPECT_TRUE(holds(form, "Length=[10 0 4 ]")) << form;
  EXPECT_TRUE(holds(form, "Index=[-1 0 1 ]")) << form;
  vinstanceDestroy(sol);

  vdomain* d = vdomainCreate();
  vdomainObject* o[3];
  for (int i = 0; i < 3; ++i) {
    o[i] = vdomainNewObject(d);
    o[i]->rect = {static_cast<std::int16_t>(i * 10), 0, 5, 5};
    o[i]->type = static_cast<std::uint16_t>(i + 1);
  }
  vdomainClassOf(d)->connectObjects(d, o[2], o[0]);
  form = sameForm(GetParam(), d);
  EXPECT_TRUE(holds(form, "Connected=")) << form;
  EXPECT_TRUE(holds(form, "Type=3 ")) << form;
  vdomainDestroy(d);

  viconview* v = viconviewCreate();
  vrect r{0, 0, 260, 200};
  vdialogSetItemRect(v, &r);
  for (const char* name : {"alpha", "beta"}) {
    viconviewIcon* icon = viconviewCreateIcon(v);
    viconviewSetIconNameC(icon, name);
    viconviewAddIcon(v, icon);
  }
  viconviewSetView(v, viconviewGetNameView());
  form = sameForm(GetParam(), v);
  EXPECT_TRUE(holds(form, "\"beta\"")) << form;
  EXPECT_TRUE(holds(form, "ViewType=2 ")) << form;
  vinstanceDestroy(v);
}

TEST_P(TwoStoreObjects, DialogsPalettesMenusAndTexts) {
  vdialog* dialog = vdialogCreate();
  vbutton* b = vbuttonCreate();
  vdialogSetItemTitle(b, vscribeLiteral("Press"));
  vdialogAppendItem(dialog, b);
  std::string form = sameForm(GetParam(), dialog);
  EXPECT_TRUE(holds(form, "\"Press\"")) << form;
  vinstanceDestroy(dialog);

  vpalette* p = vpaletteCreate();
  for (const char* tag : {"one", "two", "three"}) {
    auto* i = static_cast<vpaletteItem*>(vinstanceCreate(vpaletteItemGetDefaultClass()));
    vpaletteItemSetTag(i, N(tag));
    vpaletteAppendItem(p, i);
  }
  vpaletteSetColumns(p, 2);
  form = sameForm(GetParam(), p);
  EXPECT_TRUE(holds(form, "MaxColumn=2 ")) << form;
  vinstanceDestroy(p);

  vmenu* m = vmenuCreate();
  vmenuItem* open = vmenuItemCreate(vmenuGetDefaultItemClass());
  vmenuItemSetTitle(open, vscribeLiteral("Open"));
  vmenuItemSetAccelerator(open, 0x00410002);
  vmenuAppendItem(m, open);
  vmenuAppendItem(m, vmenuItemCreate(vmenuGetDefaultSeparatorItemClass()));
  vmenuItem* toggle = vmenuItemCreate(vmenuGetDefaultToggleItemClass());
  vmenuItemSetTitle(toggle, vscribeLiteral("Near"));
  vmenuAppendItem(m, toggle);
  form = sameForm(GetParam(), m);
  EXPECT_TRUE(holds(form, "\"Near\"")) << form;
  EXPECT_TRUE(holds(form, "Accelerator=4259842 ")) << form;
  vinstanceDestroy(m);

  vtext* t = vtextCreate();
  vtextSelection* sel = vtextCreateSelection(t);
  vtextInsertText(t, sel, "two stores\none text", 19);
  vtextDestroySelection(t, sel);
  form = sameForm(GetParam(), t);
  vinstanceDestroy(t);
}

// Datatags keep their members in arrays of dictionaries that refer to each other.
TEST_P(TwoStoreObjects, Datatags) {
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupSetName(g, N("twostores"));
  vdatatag* point = vdatatagCreate(vdatatagCOMPOUND);
  vdatatag* shrt = vdatatagGetPredefined(vdatatagSHORT);
  vdatatagAddCompoundMembers(point, shrt, shrt, static_cast<vdatatag*>(nullptr));
  vdatatagGroupAddDatatag(g, N("Point"), point);
  vdatatag* either = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(either, 5, point);
  vdatatagAddUnionMember(either, 9, vdatatagGetPredefined(vdatatagSTRING));
  vdatatagGroupAddDatatag(g, N("Either"), either);
  std::string forms[2];
  for (const Store* st : {&GetParam(), &stores[0]}) {
    Root root(*st);
    vresource r = vresourceCreate(root.root, N("Tag"), vresDICTIONARY);
    vdatatagStore(either, r);
    root.reopen();
    r = vresourceGet(root.root, N("Tag"));
    forms[st == &stores[0]] = dump(r);
    vdatatag* back = vdatatagLoad(r);
    EXPECT_EQ(vdatatagGetKind(back), vdatatagUNION);
    EXPECT_EQ(vdatatagGetKind(vdatatagGetUnionMember(back, 5)), vdatatagCOMPOUND);
    EXPECT_EQ(vdatatagGetUnionMember(back, 9), vdatatagGetPredefined(vdatatagSTRING));
  }
  EXPECT_EQ(forms[0], forms[1]);
  vdatatagDestroy(either);
  vdatatagDestroy(point);
  vdatatagGroupDestroy(g);
}

}  // namespace
