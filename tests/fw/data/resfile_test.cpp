#include "fw/data/resfile.h"

#include <cstring>
#include <vector>

#include "fw/core/charset.h"
#include "scrap_support.h"

namespace {

using Image = std::vector<std::uint8_t>;

vresFile* createIn(Image& image) {
  return vresFileCreate(vchunkCreate(vchunkMemoryDataCreate(image.data(), image.size(), false, true)));
}
vresFile* openIn(Image& image, bool writable = true) {
  return vresFileOpen(vchunkOpen(vchunkMemoryDataCreate(image.data(), image.size(), false, writable)));
}
vname T(const char* text) { return vnameInternLiteral(text); }

// An entry of the root, made with its kind when absent.
vres* entry(vresFile* f, const char* tag, int kind = vresUNTYPED) {
  vresIndex* root = vresMakeIndex(f, 1);
  if (kind) vresDictMakeEntry(root, T(tag), kind);
  vinstanceDestroy(root);
  return vresMakeDictElement(f, 1, T(tag));
}
template <class F>
void with(vres* o, F body) {
  body(o);
  vinstanceDestroy(o);
}
std::uint32_t idOf(vres* o) { return vclassRec<vresClassRec>(o)->getId(o); }

TEST(TypedResources, NewFileHasTheRootAndWritesThreeTables) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  EXPECT_EQ(vndxNextRow(f->rows, 0), 1);
  EXPECT_EQ(vndxNextRow(f->rows, 1), 0);
  EXPECT_EQ(vresFileTypeWord(f, 1), static_cast<std::uint32_t>(vresDICTIONARY));
  EXPECT_EQ(vresFileParent(f, 1), 0u);
  vresFileWrite(f);
  std::uint32_t root = vchunkGetRoot(f->chunks);
  const std::uint8_t* p = vchunkGetData(f->chunks, root);
  const std::uint8_t* end = p + vchunkGetSize(f->chunks, root);
  std::int32_t v[5];
  for (std::int32_t& x : v) p += vchunkDecodeInt(p, end, &x);
  vchunkRelease(f->chunks, root);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(static_cast<std::uint32_t>(v[2]), f->tagChunk);
  EXPECT_EQ(static_cast<std::uint32_t>(v[3]), f->shapeChunk);
  EXPECT_EQ(static_cast<std::uint32_t>(v[4]), f->rowChunk);
  EXPECT_NE(f->tagChunk * f->shapeChunk * f->rowChunk, 0u);
  vresFileDestroy(f);
}

// Every kind written, the file closed, reopened and read back.
TEST(TypedResources, EveryKindSurvivesReopening) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  with(entry(f, "b", vresBOOLEAN), [](vres* o) {
    vresSetBoolean(o, 2);
    EXPECT_EQ(vresGetBoolean(o), 0);
    vresSetBoolean(o, 1);
  });
  with(entry(f, "c", vresCHARACTER), [](vres* o) {
    EXPECT_EQ(vresGetCharacter(o), 'A');
    vresSetCharacter(o, '\xE9');
    EXPECT_EQ(vresGetValueWord(o), 0xE9u);
  });
  with(entry(f, "i", vresINTEGER), [](vres* o) { vscrapSetInteger(vscrapWalk(o), -123456); });
  with(entry(f, "x", vresFIXED), [](vres* o) { vresSetFixed(o, 0x28000); });
  with(entry(f, "fl", vresFLOAT), [](vres* o) { vresSetFloat(o, -0.25); });
  with(entry(f, "s", vresSTRING), [](vres* o) { vresSetString(o, vscribeCString("caf\xE9")); });
  with(entry(f, "t", vresTAG), [](vres* o) {
    EXPECT_EQ(vresGetTagValue(o), vname_Tag);
    vresSetTagValue(o, T("Chosen"));
  });
  with(entry(f, "o", vresOPAQUE), [](vres* o) { vresSetOpaqueSize(o, 1500); });
  with(entry(f, "a", vresARRAY), [](vres* o) {
    vresArraySetElementKind(o, vresINTEGER);
    vresArraySetCount(o, 3);
    EXPECT_EQ(vresArrayElementKind(o), vresINTEGER);
  });
  with(entry(f, "d", vresDICTIONARY), [](vres* o) { vresDictMakeEntry(o, T("inner"), vresSTRING); });
  std::uint32_t array, inner;
  with(entry(f, "a"), [&](vres* o) { array = idOf(o); });
  for (std::int32_t i = 0; i < 3; ++i) with(vresMakeArrayElement(f, array, i), [&](vres* e) { vresSetInteger(e, 10 * i); });
  with(entry(f, "d"), [&](vres* o) { inner = idOf(o); });
  with(vresMakeDictElement(f, inner, T("inner")), [](vres* e) { vresSetString(e, vscribeLiteral("deep")); });
  vresFileDestroy(f);

  f = openIn(image);
  with(entry(f, "b"), [](vres* o) { EXPECT_EQ(vresGetBoolean(o), 1); });
  with(entry(f, "c"), [](vres* o) { EXPECT_EQ(vresGetCharacter(o), '\xE9'); });
  with(entry(f, "i"), [](vres* o) { EXPECT_EQ(vresGetInteger(o), -123456); });
  with(entry(f, "x"), [](vres* o) { EXPECT_EQ(vscrapGetFixed(vscrapWalk(o)), 0x28000); });
  with(entry(f, "fl"), [](vres* o) { EXPECT_EQ(vresGetFloat(o), -0.25); });
  with(entry(f, "s"), [](vres* o) { EXPECT_EQ(dumpText(o), "caf\xE9"); });
  with(entry(f, "t"), [](vres* o) { EXPECT_EQ(vresGetTagValue(o), T("Chosen")); });
  with(entry(f, "o"), [](vres* o) { EXPECT_EQ(vresGetOpaqueSize(o), 1500u); });
  with(entry(f, "a"), [](vres* o) { EXPECT_EQ(vresArrayCount(o), 3); });
  with(vresMakeArrayElement(f, array, 2), [](vres* e) { EXPECT_EQ(vresGetInteger(e), 20); });
  with(vresMakeDictElement(f, inner, T("inner")), [](vres* e) { EXPECT_EQ(dumpText(e), "deep"); });
  vresIndex* root = vresMakeIndex(f, 1);
  std::vector<std::string> tags;
  for (std::int32_t i = 0; i < vresDictCount(root); ++i) tags.push_back(vresDictTagAt(root, i));
  EXPECT_EQ(tags, (std::vector<std::string>{"a", "b", "c", "d", "fl", "i", "o", "s", "t", "x"}));
  EXPECT_EQ(raised([&] { vresDictTagAt(root, 10); }).message, "Dictionary index out of range");
  vinstanceDestroy(root);
  vresFileDestroy(f);
}

TEST(TypedResources, ReferencesFromEntriesAndElements) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  vresIndex* root = vresMakeIndex(f, 1);
  with(entry(f, "i", vresINTEGER), [](vres* o) { vresSetInteger(o, 77); });
  std::int32_t count = vresDictCount(root);
  std::uint32_t n = 0;
  with(entry(f, "i"), [&](vres* o) {
    n = idOf(o);
    EXPECT_EQ(vclassRec<vresClassRec>(o)->getKind(o), vresREFERENCE);
    EXPECT_EQ(vresGetInteger(o), 77);
  });
  EXPECT_EQ(vresDictCount(root), count);
  EXPECT_EQ(vresFileTypeWord(f, n), static_cast<std::uint32_t>(vresINTEGER));
  EXPECT_EQ(vresDictTagOf(root, n), T("i"));

  std::uint32_t array = 0;
  with(entry(f, "a", vresARRAY), [&](vres* o) {
    vresArraySetElementKind(o, vresINTEGER);
    vresArraySetCount(o, 4);
    array = idOf(o);
  });
  with(vresMakeArrayElement(f, array, 1), [](vres* e) { vresSetInteger(e, 5); });
  std::uint32_t second = 0;
  with(vresMakeArrayElement(f, array, 2), [&](vres* e) { second = idOf(e); });
  EXPECT_EQ(vresFileTypeWord(f, array), 0x0B02u);
  with(entry(f, "a"), [](vres* o) { EXPECT_EQ(vresArrayElementKind(o), vresINTEGER); });
  with(vresMakeArrayElement(f, array, 1), [](vres* e) { EXPECT_EQ(vresGetInteger(e), 5); });
  with(vresMakeArrayElement(f, array, 2), [&](vres* e) { EXPECT_EQ(vclassRec<vresClassRec>(e)->getValue(e), second); });

  // Removing element 2's resource resets the element: a new integer resource.
  with(vresMakeIndex(f, second), [](vres* o) { vresSetInteger(o, 9); });
  vresIndex* gone = vresMakeIndex(f, second);
  vclassRec<vresClassRec>(gone)->remove(gone);
  with(entry(f, "a"), [](vres* o) { EXPECT_EQ(vresArrayCount(o), 4); });
  with(vresMakeArrayElement(f, array, 2), [](vres* e) {
    EXPECT_EQ(vresGetType(e), vresINTEGER);
    EXPECT_EQ(vresGetInteger(e), 0);
  });
  // Removing the entry's resource removes the entry.
  vresIndex* ref = vresMakeIndex(f, n);
  vclassRec<vresClassRec>(ref)->remove(ref);
  EXPECT_FALSE(vresDictHas(root, T("i")));
  EXPECT_EQ(raised([&] { vclassRec<vresClassRec>(root)->remove(root); }).message, "Cannot delete root resource.");
  EXPECT_EQ(raised([&] { vresMakeIndex(f, n); }).message, "Improper resource ID.");
  EXPECT_EQ(raised([&] { vresMakeIndex(f, 0); }).cls, &vexModuleStateClass);
  Raised absent = raised([&] { vresMakeDictElement(f, 1, T("nowhere")); });
  EXPECT_EQ(absent.cls, &vexArgTagClass);
  EXPECT_EQ(absent.message, "Tag not found in dictionary.");
  EXPECT_EQ(raised([&] { vresMakeArrayElement(f, array, 4); }).message, "Array index out of bounds.");
  EXPECT_EQ(raised([&] { vresMakeArrayElement(f, 1, 0); }).message, "Not an array resource.");
  vinstanceDestroy(root);
  vresFileDestroy(f);
}

TEST(TypedResources, EntypeRenameAndReadOnly) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  vresIndex* root = vresMakeIndex(f, 1);
  vresDictMakeEntry(root, T("b"), vresUNTYPED);
  vresDictMakeEntry(root, T("a"), vresUNTYPED);
  EXPECT_EQ(vresDictTagAt(root, 0), T("a"));
  with(entry(f, "a"), [](vres* o) {
    EXPECT_EQ(vresEntype(o, vresINTEGER), 1);
    EXPECT_EQ(vresGetInteger(o), 0);
    EXPECT_EQ(vresEntype(o, vresINTEGER), 0);
    EXPECT_EQ(raised([&] { vresEntype(o, vresSTRING); }).message, "Only untyped resources can be entyped.");
    Raised wrong = raised([&] { vresGetString(o); });
    EXPECT_EQ(wrong.message, "Resource is not of type vresSTRING");
  });
  vresDictRename(root, T("a"), T("z"));
  EXPECT_EQ(vresDictTagAt(root, 1), T("z"));
  with(entry(f, "z"), [](vres* o) { EXPECT_EQ(vresGetType(o), vresINTEGER); });
  EXPECT_EQ(raised([&] { vresDictRename(root, T("a"), T("y")); }).message, "Attempt to rename non-existent tag");
  EXPECT_EQ(raised([&] { vresDictRename(root, T("b"), T("z")); }).message, "Duplicate tag in dictionary");
  vresFileWrite(f);
  vresFileDestroy(f);

  f = openIn(image, false);
  f->store.readOnly = 1;
  with(entry(f, "z"), [](vres* o) {
    EXPECT_EQ(vresGetInteger(o), 0);
    EXPECT_EQ(raised([&] { vresSetInteger(o, 1); }).message, "Resource file is read only");
    EXPECT_EQ(raised([&] { vresSetString(o, vscribeLiteral("x")); }).message, "Resource is not of type vresSTRING");
  });
  vresIndex* r = vresMakeIndex(f, 1);
  EXPECT_EQ(raised([&] { vresDictMakeEntry(r, T("new"), vresINTEGER); }).message, "Resource file is read only");
  EXPECT_EQ(raised([&] { vresDictClear(r); }).message, "Resource file is read only");
  vinstanceDestroy(r);
  vinstanceDestroy(root);
  vresFileDestroy(f);
}

TEST(TypedResources, StringsOpaqueDataAndObjectsInPlace) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  with(entry(f, "s", vresSTRING), [](vres* o) {
    vresSetString(o, vscribeLiteral("abc"));
    EXPECT_EQ(vresGetStringLength(o), 3u);
    vresSetString(o, vscribeLiteral(""));
    EXPECT_EQ(vresGetValueWord(o), 0u);  // the chunk is freed
    EXPECT_EQ(dumpText(o), "");
    char out[2];
    vresReadString(o, 0, 0, out);
    EXPECT_EQ(raised([&] { vresReadString(o, 0, 1, out); }).message, "String contents out of range.");
  });
  with(entry(f, "o", vresOPAQUE), [](vres* o) {
    EXPECT_EQ(vresGetOpaqueData(o), nullptr);
    vresSetOpaqueSize(o, 4);
    std::memcpy(vresGetOpaqueData(o), "\x01\x02\x03\x04", 4);
    vresReleaseOpaqueData(o, 1);
    EXPECT_EQ(dumpText(o), "1234");
  });
  vresDictElement local;
  vresInitDictElement(&local, f, 1, T("o"));
  EXPECT_EQ(vresGetOpaqueSize(&local), 4u);
  vresArrayElement none;
  EXPECT_EQ(raised([&] { vresInitArrayElement(&none, f, 1, 0); }).message, "Not an array resource.");
  vresIndex root;
  vresInitIndex(&root, f, 1);
  EXPECT_EQ(vresDictCount(&root), 2);
  vresFileWrite(f);
  f->store.readOnly = 1;
  vresGetOpaqueData(&local);
  EXPECT_EQ(raised([&] { vresReleaseOpaqueData(&local, 1); }).message, "Resource file is read only");
  vresFileDestroy(f);  // no data left pinned
}

// A native structure imported into an entry, written, reopened and
// exported back as scraps.
TEST(TypedResources, CompoundsImportAndExportAsScraps) {
  vinstance* dict = vscrapCreateNative(vscrapGetDictionaryClass());
  vinstance* list = vscrapCreateNative(vscrapGetArrayClass());
  for (std::int32_t v : {3, 1, 4}) vscrapAddCompoundElement(vscrapWalk(list), integerScrap(v));
  vscrapSetDictionaryElement(vscrapWalk(dict), T("list"), list);
  vscrapSetDictionaryElement(vscrapWalk(dict), T("name"), vscrapCreateNativeString("pi"));
  vinstance* inner = vscrapCreateNative(vscrapGetDictionaryClass());
  vscrapSetDictionaryElement(vscrapWalk(inner), T("on"), vscrapCreateNative(vscrapGetBooleanClass()));
  vscrapSetDictionaryElement(vscrapWalk(dict), T("flags"), inner);
  const std::string text = dumpText(dict);

  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  with(vresMakeIndex(f, 1), [](vres* root) { EXPECT_EQ(vresDictMakeEntry(root, T("value"), vresUNTYPED), 1); });
  with(entry(f, "value"), [&](vres* o) { vscrapImport(vscrapWalk(dict), vscrapWalk(o)); });
  vresFileDestroy(f);
  f = openIn(image);
  with(entry(f, "value"), [&](vres* o) {
    EXPECT_EQ(vresGetType(o), vresDICTIONARY);
    EXPECT_EQ(dumpText(o), text);
    vinstance* copy = vscrapCreateNativeTypeable();
    vscrapImport(vscrapWalk(o), vscrapWalk(copy));
    EXPECT_EQ(dumpText(copy), text);
    vinstanceDestroy(copy);
    // Removing through the scrap protocol removes the entry.
    vscrapRemoveDictionaryElement(vscrapWalk(o), T("name"));
    EXPECT_EQ(vscrapGetDictionaryElement(vscrapWalk(o), T("name")), nullptr);
    vinstance* l = vscrapGetDictionaryElement(vscrapWalk(o), T("list"));
    EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(l)), 3);
    vinstance* second = vscrapGetArrayElement(vscrapWalk(l), 1);
    EXPECT_EQ(vscrapGetInteger(vscrapWalk(second)), 1);
    vinstanceDestroy(second);
    vinstanceDestroy(l);
  });
  vresFileDestroy(f);
  vinstanceDestroy(dict);
}

TEST(TypedResources, ArrayEditsAndCycles) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  std::uint32_t array = 0;
  with(entry(f, "a", vresARRAY), [&](vres* o) {
    array = idOf(o);
    vresArraySetCount(o, 2);
    EXPECT_EQ(vresArrayEntypeElements(o, vresSTRING), 1);
    EXPECT_EQ(raised([&] { vresArrayEntypeElements(o, vresTAG); }).message, "Only untyped array resources can be entyped.");
  });
  for (std::int32_t i = 0; i < 2; ++i)
    with(vresMakeArrayElement(f, array, i), [&](vres* e) { vresSetString(e, vscribeLiteral(i ? "one" : "zero")); });
  with(entry(f, "a"), [&](vres* o) {
    vresArrayInsert(o, 1);
    EXPECT_EQ(vresArrayCount(o), 3);
    vresArrayDelete(o, 0);
    EXPECT_EQ(raised([&] { vresArrayDelete(o, 2); }).cls, &vexArgRangeClass);
  });
  std::vector<std::string> texts;
  for (std::int32_t i = 0; i < 2; ++i) with(vresMakeArrayElement(f, array, i), [&](vres* e) { texts.push_back(dumpText(e)); });
  EXPECT_EQ(texts, (std::vector<std::string>{"", "one"}));
  // A reference array shrunk to nothing keeps the kind of its resources.
  with(vresMakeArrayElement(f, array, 0), [&](vres* e) { idOf(e); });
  EXPECT_EQ(vresFileTypeWord(f, array), 0x0B02u);
  with(entry(f, "a"), [&](vres* o) {
    vresArraySetCount(o, 0);
    EXPECT_EQ(vresFileTypeWord(f, array), 0x0702u);
    vresArraySetCount(o, 1);
  });

  // Two dictionaries that name each other as parent: a walk stops as damage.
  std::uint32_t b = 0, c = 0;
  with(entry(f, "d", vresDICTIONARY), [&](vres* o) {
    b = idOf(o);
    vresDictMakeEntry(o, T("e"), vresDICTIONARY);
  });
  with(vresMakeDictElement(f, b, T("e")), [&](vres* e) { c = idOf(e); });
  with(vresMakeIndex(f, c), [&](vres* o) { vresDictMakeEntry(o, T("back"), vresINTEGER); });
  // C's entry names B, and B is filed under C.
  with(vresMakeDictElement(f, c, T("back")), [&](vres* e) {
    idOf(e);
    vclassRec<vresClassRec>(e)->setValue(e, b);
  });
  vndxSetCell(f->rows, static_cast<int>(b), 1, c);
  with(vresMakeIndex(f, b), [&](vres* o) { EXPECT_EQ(raised([&] { dumpText(o); }).message, "Resource file is damaged"); });
  vndxSetCell(f->rows, static_cast<int>(b), 1, 1);
  f->store.readOnly = 1;  // the damaged rows are not written back
  vresFileDestroy(f);
}

// A removal that meets damage anywhere under the entry is refused before
// anything goes: the entries beside the damage, earlier in the walk, stay.
TEST(TypedResources, RefusedRemovalChangesNothing) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  std::uint32_t g = 0, m = 0, deep = 0;
  with(entry(f, "g", vresDICTIONARY), [&](vres* o) {
    g = idOf(o);
    vresDictMakeEntry(o, T("a"), vresSTRING);
    vresDictMakeEntry(o, T("m"), vresDICTIONARY);
    vresDictMakeEntry(o, T("z"), vresDICTIONARY);
  });
  with(vresMakeDictElement(f, g, T("a")), [](vres* e) { vresSetString(e, vscribeLiteral("alpha")); });
  with(vresMakeDictElement(f, g, T("m")), [&](vres* e) { m = idOf(e); });
  with(vresMakeIndex(f, m), [](vres* o) { vresDictMakeEntry(o, T("n"), vresINTEGER); });
  std::uint32_t z = 0;
  with(vresMakeDictElement(f, g, T("z")), [&](vres* e) { z = idOf(e); });
  with(vresMakeIndex(f, z), [](vres* o) { vresDictMakeEntry(o, T("deeper"), vresDICTIONARY); });
  with(vresMakeDictElement(f, z, T("deeper")), [&](vres* e) { deep = idOf(e); });
  std::uint32_t type = vresFileTypeWord(f, deep);
  vndxSetCell(f->rows, static_cast<int>(deep), 0, 15);
  with(entry(f, "g"), [&](vres* o) {
    EXPECT_EQ(raised([&] { vclassRec<vresClassRec>(o)->remove(o); }).message, "Resource file is damaged");
  });
  vndxSetCell(f->rows, static_cast<int>(deep), 0, type);
  with(vresMakeIndex(f, g), [](vres* o) { EXPECT_EQ(vresDictCount(o), 3); });
  with(vresMakeDictElement(f, g, T("a")), [](vres* e) { EXPECT_EQ(dumpText(e), "alpha"); });
  with(vresMakeIndex(f, m), [](vres* o) { EXPECT_EQ(vresDictCount(o), 1); });
  vres* gone = entry(f, "g");
  vclassRec<vresClassRec>(gone)->remove(gone);  // destroys it
  with(vresMakeIndex(f, 1), [](vres* o) { EXPECT_EQ(vresDictCount(o), 0); });
  EXPECT_EQ(vndxNextRow(f->rows, 1), 0);  // only the root is left
  vresFileDestroy(f);
}

// Truncated or bit-flipped files are refused or read without a crash.
TEST(TypedResources, DamagedFilesAreRefused) {
  Image image(64 * vchunkBLOCK);
  vresFile* f = createIn(image);
  with(entry(f, "s", vresSTRING), [](vres* o) { vresSetString(o, vscribeLiteral("text")); });
  with(entry(f, "a", vresARRAY), [&](vres* o) {
    vresArraySetElementKind(o, vresSTRING);
    vresArraySetCount(o, 3);
    vresArraySetElementKind(o, vresINTEGER);
  });
  with(entry(f, "d", vresDICTIONARY), [](vres* o) { vresDictMakeEntry(o, T("k"), vresTAG); });
  vresFileWrite(f);
  std::size_t used = std::min<std::size_t>(image.size(), (vchunkGetLastBlock(f->chunks) + 2) * vchunkBLOCK);
  vresFileDestroy(f);
  auto readAll = [](Image& copy) {
    vchunkFile* c = nullptr;
    vchunkData* source = vchunkMemoryDataCreate(copy.data(), copy.size(), false, false);
    raised([&] { c = vchunkOpen(source); });  // a refused source stays the caller's
    if (!c) {
      vchunkDataDestroy(source);
      return;
    }
    vresFile* g = nullptr;
    raised([&] { g = vresFileOpen(c); });
    if (!g) {
      vchunkClose(c);
      return;
    }
    g->store.readOnly = 1;
    raised([&] {
      vresIndex* root = vresMakeIndex(g, 1);
      for (std::int32_t i = 0; i < vresDictCount(root); ++i) {
        vres* e = vresMakeDictElement(g, 1, vresDictTagAt(root, i));
        raised([&] { dumpText(e); });
        vinstanceDestroy(e);
      }
      vinstanceDestroy(root);
    });
    vresFileDestroy(g);
  };
  for (std::size_t cut : {std::size_t{0}, std::size_t{22}, std::size_t{vchunkBLOCK / 2}, used - 1}) {
    Image copy(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
    copy.resize(cut + 1);
    readAll(copy);
  }
  for (std::size_t at = 0; at < used; at += 7) {
    Image copy = image;
    copy[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
    readAll(copy);
  }
}

}  // namespace
