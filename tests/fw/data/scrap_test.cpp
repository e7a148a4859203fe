#include <cstring>
#include <vector>

#include "fw/core/debug.h"
#include "fw/core/sys.h"
#include "scrap_support.h"

namespace {

struct KindCase {
  const char* name;
  vclass* (*kind)();
  void (*set)(vinstance* s);
  std::string dump;
};

const KindCase kindCases[] = {
    {"boolean", [] { return static_cast<vclass*>(vscrapGetBooleanClass()); },
     [](vinstance* s) { vscrapSetBoolean(vscrapWalk(s), 1); }, "TRUE"},
    {"character", [] { return static_cast<vclass*>(vscrapGetCharacterClass()); },
     [](vinstance* s) { vscrapSetCharacter(vscrapWalk(s), 'q'); }, "q"},
    {"integer", [] { return static_cast<vclass*>(vscrapGetIntegerClass()); },
     [](vinstance* s) { vscrapSetInteger(vscrapWalk(s), -70000); }, "-70000"},
    {"fixed", [] { return static_cast<vclass*>(vscrapGetFixedClass()); },
     [](vinstance* s) { vscrapSetFixed(vscrapWalk(s), 0x18000); }, "1.5"},
    {"float", [] { return static_cast<vclass*>(vscrapGetFloatClass()); },
     [](vinstance* s) { vscrapSetFloat(vscrapWalk(s), 2.5e-7); }, "2.5e-07"},
    {"string", [] { return static_cast<vclass*>(vscrapGetStringClass()); },
     [](vinstance* s) { vscrapSetString(vscrapWalk(s), vscribeCString("some text")); }, "some text"},
    {"tag", [] { return static_cast<vclass*>(vscrapGetTagClass()); },
     [](vinstance* s) { vscrapSetTag(vscrapWalk(s), vnameInternLiteral("Width")); }, "Width"},
    {"block", [] { return static_cast<vclass*>(vscrapGetBlockClass()); },
     [](vinstance* s) {
       vscrapSetBlockSize(vscrapWalk(s), 3);
       const unsigned char bytes[] = {0x0a, 0xff, 0x10};
       vscrapWriteBlock(vscrapWalk(s), 0, 3, bytes);
     },
     "aff10"},
    {"array", [] { return static_cast<vclass*>(vscrapGetArrayClass()); },
     [](vinstance* s) {
       vscrapAddCompoundElement(vscrapWalk(s), integerScrap(1));
       vscrapAddCompoundElement(vscrapWalk(s), vscrapCreateNativeString("two"));
     },
     "[ 1 two ]\n"},
    {"dictionary", [] { return static_cast<vclass*>(vscrapGetDictionaryClass()); },
     [](vinstance* s) {
       // Stored in an order the hash will not keep; dumped in key order.
       for (const char* k : {"zeta", "Beta", "alpha", "b"})
         vscrapSetDictionaryElement(vscrapWalk(s), vnameInternLiteral(k), vscrapCreateNativeString(k));
     },
     "<\nBeta:\tBeta\nalpha:\talpha\nb:\tb\nzeta:\tzeta\n>\n"},
};

// Every kind imports into a native scrap of its own kind and into a fresh
// typeable, which takes on that kind; the dump shows the copied value.
TEST(Scraps, ImportWithinEachKindAndIntoTypeables) {
  for (const KindCase& c : kindCases) {
    SCOPED_TRACE(c.name);
    vinstance* source = nativeOf(c.kind());
    c.set(source);
    EXPECT_EQ(dumpText(source), c.dump);
    vinstance* same = nativeOf(c.kind());
    vscrapImport(vscrapWalk(source), vscrapWalk(same));
    EXPECT_EQ(dumpText(same), c.dump);
    vinstance* typed = vscrapCreateNativeTypeable();
    vscrapImport(vscrapWalk(source), vscrapWalk(typed));
    EXPECT_TRUE(vdelegatorIsKindOf(typed, c.kind()));
    EXPECT_EQ(dumpText(typed), c.dump);
    for (vinstance* s : {source, same, typed}) vinstanceDestroy(s);
  }
}

TEST(Scraps, AcrossKindsCannotConvert) {
  vinstance* integer = integerScrap(5);
  vinstance* string = vscrapCreateNativeString("x");
  Raised r = raised([&] { vscrapImport(vscrapWalk(integer), vscrapWalk(string)); });
  EXPECT_EQ(r.cls, &vexScrapCannotConvertClass);
  char p[24];
  EXPECT_NE(r.text.find("/Scrap/CannotConvert/\n"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(std::string("\tfrom:stack ")), std::string::npos) << r.text;
  EXPECT_NE(r.text.find(std::string(" ") + vdebugPointerText(p, integer) + " ]"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("\"vscrapNativeInteger)\n\tto:stack "), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("\"vscrapNativeString)\n"), std::string::npos) << r.text;
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(integer)), 5);

  // A value without a kind class has nothing to offer.
  vinstance* untyped = vscrapCreateNativeTypeable();
  EXPECT_EQ(raised([&] { vscrapImport(vscrapWalk(untyped), vscrapWalk(integer)); }).cls, &vexScrapCannotConvertClass);

  // A typeable that already took a kind cannot take another.
  vinstance* typed = vscrapCreateNativeTypeable();
  vscrapImport(vscrapWalk(integer), vscrapWalk(typed));
  Raised again = raised([&] { vscrapImport(vscrapWalk(string), vscrapWalk(typed)); });
  EXPECT_EQ(again.cls, &vexScrapCannotConvertClass);
  for (vinstance* s : {integer, string, untyped, typed}) vinstanceDestroy(s);
}

TEST(Scraps, TypeableImportFailureAndAbstractSlots) {
  vinstance* typed = vscrapCreateNativeTypeable();
  vinstance* integer = integerScrap(3);
  vinstance* string = vscrapCreateNativeString("s");
  vscrapImport(vscrapWalk(integer), vscrapWalk(typed));
  vscrap t = vscrapWalk(typed), src = vscrapWalk(string);
  Raised r = raised([&] { vclassRec<vscrapTypeableClassRec>(typed)->import(&t, &src); });
  EXPECT_EQ(r.cls, &vexRootClass);
  EXPECT_EQ(r.message, "Entype failed in Import operation");

  vinstance* longlong = vinstanceCreate(vabstractGetLonglongClass());
  Raised u = raised([&] { vscrap w = vscrapWalk(longlong); vabstractGetLonglongClass()->get(&w); });
  EXPECT_EQ(u.cls, &vexScrapUnimplementedClass);
  char p[24];
  EXPECT_NE(u.text.find(std::string("\tstack:stack ")), std::string::npos) << u.text;
  EXPECT_NE(u.text.find(std::string("(top class ") + vdebugPointerText(p, longlong->cls) + " \"vabstractLonglong)\n"),
            std::string::npos)
      << u.text;
  vinstance* onion = vinstanceCreate(vabstractGetUnionClass());
  EXPECT_EQ(raised([&] { vscrap w = vscrapWalk(onion); vabstractGetUnionClass()->getMember(&w); }).cls,
            &vexScrapUnimplementedClass);
  vinstance* block = vinstanceCreate(vscrapGetBlockClass());
  EXPECT_EQ(vscrapGetBlockSize(vscrapWalk(block)), 0u);
  EXPECT_EQ(raised([&] { vscrapSetBlockSize(vscrapWalk(block), 1); }).cls, &vexScrapUnimplementedClass);
  EXPECT_EQ(raised([&] { vscrapGetInteger(vscrapWalk(string)); }).cls, &vexDelegatorClassNotFoundClass);
  for (vinstance* s : {typed, integer, string, longlong, onion, block}) vinstanceDestroy(s);
}

// A compound of a fixed number of native elements that cannot be cleared:
// imports into it go element by element.
struct Record : vinstance {
  vinstance* fields[3];
  std::int32_t count;
};
struct RecordIterator : vscrapIterator {
  std::int32_t index;
};

vscrapCompoundClassRec* recordClass() {
  static vscrapCompoundClassRec* cls = [] {
    auto* it = vclassSpawnOf<vscrapCompoundIteratorClassRec>(vscrapGetCompoundIteratorClass());
    it->instanceSize = sizeof(RecordIterator);
    it->start = [](vscrapIterator* i, vscrap* w) {
      vscrapGetIteratorClass()->start(i, w);
      static_cast<RecordIterator*>(i)->index = -1;
    };
    it->next = [](vscrapIterator* i) {
      auto* r = static_cast<Record*>(i->walk.stack[i->walk.depth]);
      return ++static_cast<RecordIterator*>(i)->index < r->count ? 1 : 0;
    };
    it->currentElement = [](vscrapIterator* i) -> vinstance* {
      auto* r = static_cast<Record*>(i->walk.stack[i->walk.depth]);
      return vscrapCreateReference(r->fields[static_cast<RecordIterator*>(i)->index]);
    };
    auto* c = vclassSpawnOf<vscrapCompoundClassRec>(vscrapGetCompoundClass());
    vclassSetName(c, vscribeLiteral("testRecord"));
    c->instanceSize = sizeof(Record);
    c->iteratorClass = it;
    c->destroy = [](vinstance* o) {
      auto* r = static_cast<Record*>(o);
      for (std::int32_t i = 0; i < r->count; ++i) vinstanceDestroy(r->fields[i]);
      vinstanceGetDefaultClass()->destroy(o);
    };
    return c;
  }();
  return cls;
}

Record* makeRecord(std::initializer_list<std::int32_t> values) {
  auto* r = static_cast<Record*>(vinstanceCreate(recordClass()));
  r->count = 0;
  for (std::int32_t v : values) r->fields[r->count++] = integerScrap(v);
  return r;
}

TEST(Scraps, CompoundExportClearsOrGoesPairwise) {
  // Clear mode: a native array is cleared and receives every element.
  Record* three = makeRecord({7, 8, 9});
  EXPECT_EQ(dumpText(three), "{ 7 8 9 }\n");
  vinstance* array = nativeOf(vscrapGetArrayClass());
  vscrapAddCompoundElement(vscrapWalk(array), integerScrap(100));
  vscrapImport(vscrapWalk(three), vscrapWalk(array));
  EXPECT_EQ(dumpText(array), "[ 7 8 9 ]\n");

  // Pairwise: the common elements are imported, the target's extra kept.
  Record* two = makeRecord({1, 2});
  vscrapImport(vscrapWalk(two), vscrapWalk(three));
  EXPECT_EQ(dumpText(three), "{ 1 2 9 }\n");
  Record* four = makeRecord({4, 5, 6});
  Raised r = raised([&] { vscrapImport(vscrapWalk(four), vscrapWalk(two)); });
  EXPECT_EQ(r.cls, &vexScrapCannotConvertClass);
  EXPECT_EQ(dumpText(two), "{ 4 5 }\n");
  for (vinstance* s : std::initializer_list<vinstance*>{three, array, two, four}) vinstanceDestroy(s);
}

// Reads are logged to see the pieces a block export copies.
std::vector<std::pair<std::size_t, std::size_t>> reads;
void (*nativeRead)(vscrap*, std::size_t, std::size_t, void*);

TEST(Scraps, BlockExportPieces) {
  auto* native = static_cast<vscrapBlockClassRec*>(vscrapGetNativeClass(vscrapGetBlockClass()));
  auto* logging = vclassSpawnOf<vscrapBlockClassRec>(native);
  nativeRead = native->read;
  logging->read = [](vscrap* w, std::size_t offset, std::size_t count, void* buffer) {
    reads.emplace_back(offset, count);
    nativeRead(w, offset, count, buffer);
  };
  using Pieces = std::vector<std::pair<std::size_t, std::size_t>>;
  const std::pair<std::size_t, Pieces> cases[] = {
      {0, {}},
      {32767, {{0, 32767}}},
      {32768, {{0, 32768}}},
      {32769, {{0, 32768}, {32768, 1}}},
      {65537, {{0, 32768}, {32768, 32768}, {65536, 1}}},
  };
  for (const auto& [size, pieces] : cases) {
    SCOPED_TRACE(size);
    vinstance* source = vinstanceCreate(logging);
    vscrapSetBlockSize(vscrapWalk(source), size);
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    if (size) vscrapWriteBlock(vscrapWalk(source), 0, size, bytes.data());
    vinstance* target = nativeOf(vscrapGetBlockClass());
    vscrapSetBlockSize(vscrapWalk(target), 5);
    reads.clear();
    vscrapImport(vscrapWalk(source), vscrapWalk(target));
    EXPECT_EQ(reads, pieces);
    auto* t = static_cast<vscrapNativeBlock*>(target);
    ASSERT_EQ(t->size, size);
    EXPECT_TRUE(size == 0 || std::memcmp(t->data, bytes.data(), size) == 0);
    vinstanceDestroy(source);
    vinstanceDestroy(target);
  }
}

// Arrays of dictionaries of arrays: element objects are references that
// reach the stored values, and dumps nest.
TEST(Scraps, WalksOverNestedNativeCompounds) {
  vinstance* outer = nativeOf(vscrapGetArrayClass());
  for (int i = 0; i < 2; ++i) {
    vinstance* dict = nativeOf(vscrapGetDictionaryClass());
    vinstance* inner = nativeOf(vscrapGetArrayClass());
    vscrapSetArrayCount(vscrapWalk(inner), 2);
    for (int j = 0; j < 2; ++j) vscrapSetArrayElement(vscrapWalk(inner), j, integerScrap(i * 10 + j));
    vscrapSetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("list"), inner);
    vscrapSetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("name"), vscrapCreateNativeString(i ? "B" : "A"));
    vscrapAddCompoundElement(vscrapWalk(outer), dict);
  }
  EXPECT_EQ(dumpText(outer), "[ <\nlist:\t[ 0 1 ]\n\nname:\tA\n>\n <\nlist:\t[ 10 11 ]\n\nname:\tB\n>\n ]\n");
  std::int32_t sum = 0;
  std::vector<std::int32_t> keys;
  vscrapIterator* it = vscrapCreateCompoundIterator(vscrapWalk(outer));
  while (vscrapIteratorNext(it)) {
    keys.push_back(vclassRec<vscrapArrayIteratorClassRec>(it)->currentKey(it));
    vinstance* dict = vscrapIteratorCurrentElement(it);
    vinstance* list = vscrapGetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("list"));
    vscrapIterator* inner = vscrapCreateCompoundIterator(vscrapWalk(list));
    while (vscrapIteratorNext(inner)) {
      vinstance* e = vscrapIteratorCurrentElement(inner);
      sum += vscrapGetInteger(vscrapWalk(e));
      vinstanceDestroy(e);
    }
    vscrapIteratorDestroy(inner);
    EXPECT_EQ(vscrapGetDictionaryElement(vscrapWalk(dict), vnameInternLiteral("absent")), nullptr);
    vinstanceDestroy(list);
    vinstanceDestroy(dict);
  }
  vscrapIteratorDestroy(it);
  EXPECT_EQ(sum, 22);
  EXPECT_EQ(keys, (std::vector<std::int32_t>{0, 1}));

  // A whole copy through a typeable, then the original changed alone.
  vinstance* copy = vscrapCreateNativeTypeable();
  vscrapImport(vscrapWalk(outer), vscrapWalk(copy));
  vscrapSetArrayCount(vscrapWalk(outer), 1);
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(copy)), 2);
  EXPECT_EQ(dumpText(copy), "[ <\nlist:\t[ 0 1 ]\n\nname:\tA\n>\n <\nlist:\t[ 10 11 ]\n\nname:\tB\n>\n ]\n");
  vinstanceDestroy(outer);
  vinstanceDestroy(copy);
}

TEST(Scraps, DictionaryAddRemoveAndClear) {
  vinstance* dict = nativeOf(vscrapGetDictionaryClass());
  for (int i = 0; i < 3; ++i) vscrapAddCompoundElement(vscrapWalk(dict), integerScrap(i));
  vname k = vnameInternLiteral("kept");
  vscrapSetDictionaryElement(vscrapWalk(dict), k, integerScrap(1));
  vscrapSetDictionaryElement(vscrapWalk(dict), k, integerScrap(2));  // the first is destroyed
  vinstance* got = vscrapGetDictionaryElement(vscrapWalk(dict), k);
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(got)), 2);
  vinstanceDestroy(got);
  std::string all = dumpText(dict);
  EXPECT_TRUE(all.ends_with("\nkept:\t2\n>\n")) << all;
  std::size_t anonymous = 0;
  for (std::size_t at = 0; (at = all.find("\nAnonymous", at)) != std::string::npos; ++at) ++anonymous;
  EXPECT_EQ(anonymous, 3u);

  // A removed key keeps no element: it is skipped by dumps and copies.
  vscrapRemoveDictionaryElement(vscrapWalk(dict), k);
  EXPECT_EQ(vscrapGetDictionaryElement(vscrapWalk(dict), k), nullptr);
  EXPECT_EQ(dumpText(dict).find("kept"), std::string::npos);
  vinstance* copy = nativeOf(vscrapGetDictionaryClass());
  vscrapImport(vscrapWalk(dict), vscrapWalk(copy));
  EXPECT_EQ(dumpText(copy), dumpText(dict));
  vscrapClearCompound(vscrapWalk(dict));
  EXPECT_EQ(dumpText(dict), "<\n>\n");
  vinstanceDestroy(dict);
  vinstanceDestroy(copy);
}

// Every anonymous key taken: the add gives up rather than replace one.
TEST(Scraps, DictionaryAddGivesUpWhenEveryKeyIsTaken) {
  auto* native = static_cast<vscrapDictionaryClassRec*>(vscrapGetNativeClass(vscrapGetDictionaryClass()));
  auto* full = vclassSpawnOf<vscrapDictionaryClassRec>(native);
  full->get = [](vscrap*, vname) { return integerScrap(0); };
  vinstance* dict = vinstanceCreate(full);
  Raised r = raised([&] { vscrapAddCompoundElement(vscrapWalk(dict), integerScrap(5)); });
  EXPECT_EQ(r.cls, &vexModuleLimitClass);
  EXPECT_EQ(vdictCount(&static_cast<vscrapNativeDictionary*>(dict)->dict), 0u);
  vinstanceDestroy(dict);
}

TEST(Scraps, StartupRowBuildsTheClasses) {
  vscrapInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int found = 0;
  for (int i = 0; i < n; ++i)
    if (std::strcmp(rows[i].name, "vscrapGetDefaultClass") == 0 && rows[i].fn == vscrapGetDefaultClass) {
      rows[i].fn();
      ++found;
    }
  EXPECT_EQ(found, 1);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vscrapNativeTypeable")), nullptr);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vabstractArglist")), nullptr);
}

}  // namespace
