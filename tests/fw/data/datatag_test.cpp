#include "fw/data/datatag.h"

#include <cstring>
#include <string>

#include "fw/core/debug.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "scrap_support.h"

namespace {

std::string dumpOf(vdatatag* d) {
  return captured([&](std::FILE* f) { vdatatagDump(d, f); });
}
std::string hex(const void* p) {
  char buf[24];
  return vdebugPointerText(buf, p);
}

TEST(Datatag, PredefinedKindsAndConstructedClasses) {
  for (int kind = 0; kind < vdatatagSCALAR_COUNT; ++kind) {
    vdatatag* d = vdatatagGetPredefined(kind);
    EXPECT_EQ(vdatatagGetKind(d), kind);
    EXPECT_EQ(d->group, vdatatagGetPredefinedGroup());
    EXPECT_STREQ(d->name, vdatatagKindName(kind));
    EXPECT_EQ(d->scrapClass, vdatatagGetKindScrapClass(kind));
    EXPECT_EQ(vdatatagCreate(kind), nullptr);
  }
  EXPECT_STREQ(vdatatagGetPredefined(18)->name, "Scrap");
  EXPECT_EQ(raised([] { vdatatagGetPredefined(19); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([] { vdatatagGetPredefined(-1); }).cls, &vexArgRangeClass);
  EXPECT_EQ(vdatatagGroupFind(N("vdatatag")), vdatatagGetPredefinedGroup());
  // Predefined datatags keep their scrap class.
  vdatatag* b = vdatatagGetPredefined(vdatatagBOOLEAN);
  vdatatagSetScrapClass(b, nullptr);
  EXPECT_EQ(b->scrapClass, vdatatagGetKindScrapClass(vdatatagBOOLEAN));
  vdatatagDestroy(b);  // nothing happens
  vdatatagGroup* other = vdatatagGroupCreate();
  EXPECT_EQ(raised([&] { vdatatagGroupAddDatatag(other, N("Flag"), b); }).message,
            "Predefined datatags stay in their group");
  vdatatagGroupDestroy(other);
  EXPECT_EQ(vdatatagGroupFindDatatag(vdatatagGetPredefinedGroup(), N("Boolean")), b);

  const char* classNames[] = {"vdatatagPointerClass",     "vdatatagArrayClass", "vdatatagSizedArrayClass",
                              "vdatatagSizedOpaqueClass", "_vdatatagDictClass", "_vdatatagCompoundClass",
                              "_vdatatagUnionClass"};
  for (int kind = vdatatagPOINTER; kind < vdatatagKIND_COUNT; ++kind) {
    vdatatag* d = vdatatagCreate(kind);
    EXPECT_EQ(vdatatagGetKind(d), kind);
    EXPECT_STREQ(d->cls->name, classNames[kind - vdatatagPOINTER]);
    EXPECT_EQ(d->scrapClass, vdatatagGetKindScrapClass(kind));
    vdatatagSetScrapClass(d, nullptr);
    EXPECT_EQ(d->scrapClass, nullptr);
    vdatatagDestroy(d);
  }
  EXPECT_EQ(vdatatagCreate(26), nullptr);
}

TEST(Datatag, AccessorsCheckTheKind) {
  vdatatag* integer = vdatatagGetPredefined(vdatatagINTEGER);
  struct Case {
    void (*call)(vdatatag*);
    const char* message;
  } cases[] = {
      {[](vdatatag* d) { vdatatagGetPointerTarget(d); }, "Pointer function called on non-Pointer datatag"},
      {[](vdatatag* d) { vdatatagSetArrayElement(d, nullptr); }, "Array function called on non-Array datatag"},
      {[](vdatatag* d) { vdatatagGetSizedArrayCount(d); }, "Sized array function called on non-Sized array datatag"},
      {[](vdatatag* d) { vdatatagSetSizedOpaqueSize(d, 1); },
       "Sized opaque function called on non-Sized opaque datatag"},
      {[](vdatatag* d) { vdatatagGetDictEntry(d, vname_Key); }, "Dict function called on non-Dict datatag"},
      {[](vdatatag* d) { vdatatagAddCompoundMembers(d, nullptr); },
       "Compound function called on non-Compound datatag"},
      {[](vdatatag* d) { vdatatagGetUnionMember(d, 0); }, "Union function called on non-Union datatag"},
  };
  for (const Case& c : cases) {
    Raised r = raised([&] { c.call(integer); });
    EXPECT_EQ(r.cls, &vexDatatagMismatchedClass);
    EXPECT_EQ(r.message, c.message);
    EXPECT_NE(r.text.find("Arg/Mismatched Datatag/"), std::string::npos);
    EXPECT_NE(r.text.find("   type: Integer\n"), std::string::npos) << r.text;
  }
}

TEST(Datatag, UnionMembersChildrenAndDump) {
  vdatatag* u = vdatatagCreate(vdatatagUNION);
  vdatatag* a = vdatatagGetPredefined(vdatatagINTEGER);
  vdatatag* b = vdatatagGetPredefined(vdatatagSTRING);
  vdatatagAddUnionMember(u, 5, a);
  vdatatagAddUnionMember(u, 9, b);
  vdatatagAddUnionMember(u, 9, a);  // a duplicate selector: the first wins
  for (int i = 0; i < 3; ++i) vdatatagAddUnionMember(u, 100 + i, a);  // past the first room of 4
  EXPECT_EQ(vdatatagGetUnionMember(u, 9), b);
  EXPECT_EQ(vdatatagGetUnionMember(u, 5), a);
  EXPECT_EQ(vdatatagGetUnionMember(u, 7), nullptr);
  EXPECT_EQ(vdatatagGetUnionMember(u, 102), a);

  vdatatagChildIterator it;
  vdatatagInitChildIterator(&it, u);
  int n = 0;
  while (vdatatagNextChild(&it)) ++n;
  EXPECT_EQ(n, 6);
  vdatatag* p = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(p, u);
  vdatatagInitChildIterator(&it, p);
  ASSERT_EQ(vdatatagNextChild(&it), 1);
  EXPECT_EQ(vdatatagGetChild(&it), u);
  EXPECT_EQ(vdatatagNextChild(&it), 0);
  vdatatagResetChildIterator(&it);
  EXPECT_EQ(vdatatagNextChild(&it), 1);
  vdatatagInitChildIterator(&it, vdatatagGetPredefined(vdatatagBOOLEAN));
  EXPECT_EQ(vdatatagNextChild(&it), 0);
  EXPECT_EQ(vdatatagGetChild(&it), nullptr);

  vdatatag* sized = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, p);
  vdatatagSetSizedArrayCount(sized, 3);
  std::string scrapClass = std::to_string(reinterpret_cast<std::uintptr_t>(sized->scrapClass));
  EXPECT_EQ(dumpOf(sized), "vdatatag(" + hex(sized) + ") -- \n   type: SizedArray\n   scrap class: (" + scrapClass +
                               ", vdatatagSizedArrayScrap)\n   group: (NULL)\n   name: (NULL)\n   count: 3\n"
                               "   element: " + hex(p) + "\n");
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupAddDatatag(g, N("u"), u);
  std::string group = std::to_string(reinterpret_cast<std::uintptr_t>(g));
  std::string text = dumpOf(u);
  EXPECT_NE(text.find("   group: (" + group + ", NULL)\n   name: u\n   (5, " + hex(a) + ")\n   (9, " + hex(b) + ")\n"),
            std::string::npos)
      << text;
  vdatatagGroupDestroy(g);  // destroys u with it
  vdatatagDestroy(p);
  vdatatagDestroy(sized);
}

TEST(Datatag, GroupsNamesAndMembership) {
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroup* h = vdatatagGroupCreate();
  vdatatagGroupSetName(g, N("shapes"));
  vdatatagGroupSetName(g, N("shapes"));  // its own name: nothing happens
  EXPECT_EQ(vdatatagGroupFind(N("shapes")), g);
  Raised r = raised([&] { vdatatagGroupSetName(h, N("shapes")); });
  EXPECT_EQ(r.cls, &vexArgClass);
  EXPECT_EQ(r.message, "Datatag group name already in use");
  vdatatagGroupSetName(g, N("forms"));
  EXPECT_EQ(vdatatagGroupFind(N("shapes")), nullptr);
  vdatatagGroupSetName(h, N("shapes"));

  vdatatag* d = vdatatagCreate(vdatatagCOMPOUND);
  vdatatag* e = vdatatagCreate(vdatatagCOMPOUND);
  vdatatagGroupAddDatatag(g, N("Point"), d);
  vdatatagGroupAddDatatag(g, N("Point"), d);  // again: nothing happens
  r = raised([&] { vdatatagGroupAddDatatag(g, N("Point"), e); });
  EXPECT_EQ(r.message, "Datatag name already in use in group");
  vdatatagGroupAddDatatag(h, N("Spot"), d);  // moves it
  EXPECT_EQ(vdatatagGroupFindDatatag(g, N("Point")), nullptr);
  EXPECT_EQ(vdatatagGroupFindDatatag(h, N("Spot")), d);
  EXPECT_EQ(d->group, h);
  EXPECT_EQ(vdatatagGroupRemoveDatatag(h, N("Spot")), d);
  EXPECT_EQ(d->group, nullptr);
  EXPECT_EQ(vdatatagGroupRemoveDatatag(h, N("Spot")), nullptr);
  vdatatagGroupAddDatatag(g, N("Point"), e);
  vdatatagDestroy(e);  // a destroyed datatag leaves its group
  EXPECT_EQ(vdatatagGroupFindDatatag(g, N("Point")), nullptr);
  vdatatagDestroy(d);
  vdatatagGroupDestroy(g);
  vdatatagGroupDestroy(h);
  EXPECT_EQ(vdatatagGroupFind(N("shapes")), nullptr);
}

// A group of constructed datatags written to a resource file, taken down,
// and read back by name.
struct Stored {
  vresource root;
  Stored() {
    vrstoreInstallInterface();
    root = vrstoreCreateMemory();
  }
  ~Stored() { vrstoreCloseFile(root); }
  vresource dict(const char* name) { return vresourceCreate(root, N(name), vresDICTIONARY); }
};

TEST(Datatag, GroupStoredToResourcesAndLoadedBack) {
  vdatatag* shrt = vdatatagGetPredefined(vdatatagSHORT);
  vdatatag* str = vdatatagGetPredefined(vdatatagSTRING);
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupSetName(g, N("geom"));
  vdatatag* point = vdatatagCreate(vdatatagCOMPOUND);
  vdatatagAddCompoundMembers(point, shrt, shrt, nullptr);
  vdatatagGroupAddDatatag(g, N("Point"), point);
  vdatatag* path = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(path, point);
  vdatatag* corners = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(corners, point);
  vdatatagSetSizedArrayCount(corners, 4);
  vdatatag* blob = vdatatagCreate(vdatatagSIZED_OPAQUE);
  vdatatagSetSizedOpaqueSize(blob, 12);
  vdatatag* named = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(named, N("Title"), str);
  vdatatagSetDictEntry(named, N("Where"), point);
  vdatatag* either = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(either, 5, point);
  vdatatagAddUnionMember(either, 9, str);
  vdatatag* ref = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(ref, either);
  vdatatag* empty = vdatatagCreate(vdatatagPOINTER);
  struct Row {
    const char* name;
    vdatatag* d;
  } rows[] = {{"Path", path}, {"Corners", corners}, {"Blob", blob}, {"Named", named},
              {"Either", either}, {"Ref", ref}, {"Empty", empty}};
  for (const Row& row : rows) vdatatagGroupAddDatatag(g, N(row.name), row.d);

  Stored file;
  vdatatagStore(point, file.dict("Point"));
  for (const Row& row : rows) vdatatagStore(row.d, file.dict(row.name));
  vresource e;
  EXPECT_FALSE(vresourceTestGet(vresourceGet(file.root, N("Empty")), N("Element"), &e));
  vdatatagGroupDestroy(g);

  // Unknown group, then unknown datatag.
  Raised r = raised([&] { vdatatagLoad(vresourceGet(file.root, N("Path"))); });
  EXPECT_EQ(r.cls, &vexDatatagUnknownClass);
  EXPECT_EQ(r.message, "Datatag group not found");
  EXPECT_NE(r.text.find("\tName: geom\n"), std::string::npos) << r.text;
  vdatatagGroup* back = vdatatagGroupCreate();
  vdatatagGroupSetName(back, N("geom"));
  r = raised([&] { vdatatagLoad(vresourceGet(file.root, N("Path"))); });
  EXPECT_EQ(r.message, "Datatag not found in group");
  EXPECT_NE(r.text.find("\tName: Point\n"), std::string::npos) << r.text;

  vdatatag* p2 = vdatatagLoad(vresourceGet(file.root, N("Point")));
  vdatatagGroupAddDatatag(back, N("Point"), p2);
  ASSERT_EQ(_vdatatagListCount(vdatatagGetCompoundMembers(p2)), 2);
  EXPECT_EQ(_vdatatagListGet(vdatatagGetCompoundMembers(p2), 1), shrt);
  EXPECT_EQ(vdatatagGetKind(p2), vdatatagCOMPOUND);
  vdatatag* loaded[7];
  int i = 0;
  for (const Row& row : rows) {  // in order: "Ref" names "Either"
    loaded[i] = vdatatagLoad(vresourceGet(file.root, N(row.name)));
    vdatatagGroupAddDatatag(back, N(row.name), loaded[i]);
    ++i;
  }
  EXPECT_EQ(vdatatagGetArrayElement(loaded[0]), p2);
  EXPECT_EQ(vdatatagGetSizedArrayElement(loaded[1]), p2);
  EXPECT_EQ(vdatatagGetSizedArrayCount(loaded[1]), 4);
  EXPECT_EQ(vdatatagGetSizedOpaqueSize(loaded[2]), 12);
  EXPECT_EQ(vdatatagGetDictEntry(loaded[3], N("Title")), str);
  EXPECT_EQ(vdatatagGetDictEntry(loaded[3], N("Where")), p2);
  EXPECT_EQ(vdatatagGetUnionMember(loaded[4], 9), str);
  EXPECT_EQ(vdatatagGetUnionMember(loaded[4], 5), p2);
  EXPECT_EQ(vdatatagGetPointerTarget(loaded[5]), loaded[4]);
  EXPECT_EQ(vdatatagGetPointerTarget(loaded[6]), nullptr);
  for (vdatatag* d : loaded) EXPECT_EQ(d->scrapClass, vdatatagGetKindScrapClass(vdatatagGetKind(d)));

  // Storing needs a grouped datatag in a named group.
  vdatatag* loose = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(loose, vdatatagCreate(vdatatagCOMPOUND));
  r = raised([&] { vdatatagStore(loose, file.dict("Loose")); });
  EXPECT_EQ(r.cls, &vexDatatagIncompleteClass);
  EXPECT_EQ(r.message, "Datatags must be grouped before they are stored");
  vdatatagGroup* unnamed = vdatatagGroupCreate();
  vdatatagGroupAddDatatag(unnamed, N("Inner"), vdatatagGetPointerTarget(loose));
  r = raised([&] { vdatatagStore(loose, file.dict("Loose")); });
  EXPECT_EQ(r.message, "Group must be named before datatags are stored");
  EXPECT_NE(r.text.find("   type: Compound\n   scrap class:"), std::string::npos) << r.text;
  vdatatagDestroy(loose);
  vdatatagGroupDestroy(unnamed);
  vdatatagGroupDestroy(back);
}

TEST(Datatag, DamagedResourceFormsAreRefused) {
  Stored file;
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupSetName(g, N("parts"));
  vdatatag* u = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(u, 1, vdatatagGetPredefined(vdatatagINTEGER));
  vdatatagAddUnionMember(u, 2, vdatatagGetPredefined(vdatatagTAG));
  vdatatagGroupAddDatatag(g, N("U"), u);
  vresource r = file.dict("U");
  vdatatagStore(u, r);
  vrstoreSetCount(vresourceGet(r, N("Selectors")), 1);
  EXPECT_EQ(raised([&] { vdatatagLoad(r); }).message, "Union selectors and elements differ in count");
  // A kind that is not the class's own.
  vdatatagStore(u, r);
  vresourceSetInteger(r, N("Flags"), vdatatagCOMPOUND);
  EXPECT_EQ(raised([&] { vdatatagLoad(r); }).message, "Datatag kind does not match its class");
  vresourceSetTag(r, vname_Class, N("vdatatagDefaultClass"));
  EXPECT_EQ(raised([&] { vdatatagLoad(r); }).message, "Datatag kind does not match its class");
  vresourceSetTag(r, vname_Class, N("vsignature"));
  EXPECT_EQ(raised([&] { vdatatagLoad(r); }).cls, &vexArgUndefinedClassClass);
  // Nor is a datatag's class an object class to load by.
  vdatatagStore(u, r);
  EXPECT_EQ(raised([&] { vobjectLoad(r); }).message, "resource object's class is not defined");
  vdatatagGroupDestroy(g);
}

TEST(Datatag, SignatureStoredAndLoaded) {
  vobjectClassRec* cls = vsignatureGetDefaultClass();
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupSetName(g, N("calls"));
  vdatatag* list = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(list, vdatatagGetPredefined(vdatatagSTRING));
  vdatatagGroupAddDatatag(g, N("Names"), list);
  auto* s = static_cast<vsignature*>(vinstanceCreate(cls));
  s->returnValue = vdatatagGetPredefined(vdatatagBOOLEAN);
  vsignatureAddDatatags(s, list, vdatatagGetPredefined(vdatatagINTEGER), nullptr);
  Stored file;
  vresource r = file.dict("Sig");
  cls->store(s, r);
  auto* back = static_cast<vsignature*>(vobjectLoad(r));
  EXPECT_EQ(back->cls, cls);
  EXPECT_EQ(back->returnValue, vdatatagGetPredefined(vdatatagBOOLEAN));
  ASSERT_EQ(_vdatatagListCount(&back->arguments), 2);
  EXPECT_EQ(_vdatatagListGet(&back->arguments, 0), list);
  EXPECT_EQ(_vdatatagListGet(&back->arguments, 1), vdatatagGetPredefined(vdatatagINTEGER));
  auto* copy = static_cast<vsignature*>(vobjectClone(back));
  EXPECT_EQ(_vdatatagListCount(&copy->arguments), 2);
  // Without a return value or arguments the entries go.
  s->returnValue = nullptr;
  s->arguments.end = s->arguments.begin;
  cls->store(s, r);
  vresource found;
  EXPECT_FALSE(vresourceTestGet(r, N("ReturnValue"), &found));
  EXPECT_FALSE(vresourceTestGet(r, N("Arguments"), &found));
  for (vsignature* x : {s, back, copy}) vinstanceDestroy(x);
  vdatatagGroupDestroy(g);
}

TEST(Datatag, ListsAndStartupRows) {
  vdatatagList l;
  _vdatatagListInit(&l);
  int values[9];
  for (int& v : values) _vdatatagListAppend(&l, &v);
  EXPECT_EQ(_vdatatagListCount(&l), 9);
  EXPECT_EQ(_vdatatagListGet(&l, 8), &values[8]);
  EXPECT_EQ(raised([&] { _vdatatagListGet(&l, 9); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([&] { _vdatatagListGet(&l, -1); }).cls, &vexArgRangeClass);
  _vdatatagListSetCapacity(&l, 3);
  EXPECT_EQ(_vdatatagListCount(&l), 3);
  vdatatagList c;
  _vdatatagListInit(&c);
  _vdatatagListCopy(&l, &c);
  EXPECT_EQ(_vdatatagListCount(&c), 3);
  EXPECT_EQ(_vdatatagListGet(&c, 2), &values[2]);
  _vdatatagListFinish(&l);
  _vdatatagListFinish(&c);

  vdatatagInstallStartup();
  vsignatureInstallStartup();
  int n = 0, ran = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  for (int i = 0; i < n; ++i)
    if ((!std::strcmp(rows[i].name, "vdatatagGetDefaultClass") || !std::strcmp(rows[i].name, "vsignatureGetDefaultClass")) &&
        rows[i].fn) {
      rows[i].fn();
      ++ran;
    }
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vsignature")), vsignatureGetDefaultClass());
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vdatatagDefaultClass")), vdatatagGetDefaultClass());
}

}  // namespace

namespace {

// A module context builds its own classes and groups; its exit destroys
// every group with its datatags, and the default context is untouched.
TEST(Datatag, ContextExitDestroysItsGroups) {
  vdatatag* outer = vdatatagGetPredefined(vdatatagINTEGER);
  vmoduleContext* context = vmoduleCreateContext();
  vdatatag* inner = vdatatagGetPredefined(vdatatagINTEGER);
  EXPECT_NE(inner, outer);
  vdatatagGroup* g = vdatatagGroupCreate();
  vdatatagGroupSetName(g, vnameInternLiteral("kept"));
  vdatatag* d = vdatatagCreate(vdatatagCOMPOUND);
  vdatatagAddCompoundMembers(d, inner, inner, nullptr);
  vdatatagGroupAddDatatag(g, vnameInternLiteral("Pair"), d);
  std::int32_t pair[2] = {3, 4};
  vinstance* s = vdatatagScrapFromMemory(d, pair);
  EXPECT_EQ(dumpText(s), "{ 3 4 }\n");
  vinstanceDestroy(s);
  vmoduleDestroyContext(context);
  vmoduleSetContext(vmoduleGetDefaultContext());
  EXPECT_EQ(vdatatagGetPredefined(vdatatagINTEGER), outer);
  EXPECT_EQ(vdatatagGroupFind(vnameInternLiteral("kept")), nullptr);
}

}  // namespace
