#include <cfloat>
#include <cstddef>
#include <cstring>
#include <string>

#include "fw/data/datatag.h"
#include "scrap_support.h"

namespace {

vdatatag* P(int kind) { return vdatatagGetPredefined(kind); }

struct Held {
  vinstance* s;
  explicit Held(vinstance* scrap) : s(scrap) {}
  ~Held() {
    if (s) vinstanceDestroy(s);
  }
  vscrap w() const { return vscrapWalk(s); }
};

vdatatag* compoundOf(std::initializer_list<vdatatag*> members) {
  vdatatag* d = vdatatagCreate(vdatatagCOMPOUND);
  for (vdatatag* m : members) _vdatatagListAppend(vdatatagGetCompoundMembers(d), m);
  return d;
}

// A record with a member of every kind that has a layout of its own.
struct Inner {
  char c;
  double d;
};
struct Record {
  std::int32_t boolean;
  char character;
  std::int8_t byte;
  std::uint8_t ubyte;
  std::int16_t shrt;
  std::uint16_t ushrt;
  std::int32_t integer;
  std::uint32_t uinteger;
  std::int64_t ll;
  std::uint64_t ull;
  std::int32_t fixed;
  float single;
  double dbl;
  char* string;
  vname tag;
  vdatatag* datatag;
  vinstance* scrap;
  Inner* pointer;
  std::int16_t sized[3];
  unsigned char opaque[5];
  vdict dict;
  Inner inner;
};

TEST(DatatagScrap, RecordWithEveryMemberKind) {
  vdatatag* inner = compoundOf({P(vdatatagCHARACTER), P(vdatatagDOUBLE_FLOAT)});
  vdatatag* pointer = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(pointer, inner);
  vdatatag* sized = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, P(vdatatagSHORT));
  vdatatagSetSizedArrayCount(sized, 3);
  vdatatag* opaque = vdatatagCreate(vdatatagSIZED_OPAQUE);
  vdatatagSetSizedOpaqueSize(opaque, 5);
  vdatatag* dict = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(dict, N("n"), P(vdatatagINTEGER));
  vdatatag* record = compoundOf({P(0), P(1), P(2), P(3), P(4), P(5), P(6), P(7), P(8), P(9), P(10), P(11), P(12),
                                 P(13), P(14), P(16), P(18), pointer, sized, opaque, dict, inner});
  EXPECT_EQ(vdatatagSizeOf(record), sizeof(Record));
  EXPECT_EQ(vdatatagAlignOf(record), alignof(Record));
  EXPECT_EQ(vdatatagSizeOf(inner), sizeof(Inner));

  Record r;
  std::memset(&r, 0, sizeof r);
  Held scrap(vdatatagCreateScrapFromArgs(record, &r));
  EXPECT_EQ(r.dict.keys, nullptr);  // refer leaves the record as it is
  Inner pointed{'p', 0.25};
  vdatatag* self = P(vdatatagDATATAG);
  {
    // Written member by member through the compound's elements.
    vscrapIterator* it = vscrapCreateCompoundIterator(scrap.w());
    auto next = [&] {
      EXPECT_TRUE(vscrapIteratorNext(it));
      return Held(vscrapIteratorCurrentElement(it));
    };
    vscrapSetBoolean(next().w(), 1);
    vscrapSetCharacter(next().w(), 'x');
    vscrapSetInteger(next().w(), -100);
    vscrapSetInteger(next().w(), 200);
    vscrapSetInteger(next().w(), -30000);
    vscrapSetInteger(next().w(), 60000);
    vscrapSetInteger(next().w(), INT32_MIN);
    vscrapSetInteger(next().w(), -1);
    {
      Held e = next();
      Held v(vdatatagCreateScrapWithValue(P(vdatatagLONGLONG), INT64_C(-5000000000)));
      vscrapImport(v.w(), e.w());
    }
    {
      Held e = next();
      Held v(vdatatagCreateScrapWithValue(P(vdatatagUNSIGNED_LONGLONG), UINT64_MAX));
      vscrapImport(v.w(), e.w());
    }
    vscrapSetFixed(next().w(), 0x18000);
    vscrapSetFloat(next().w(), 1.5);
    vscrapSetFloat(next().w(), 1.0 / 3);
    vscrapSetString(next().w(), vscribeLiteral("text"));
    vscrapSetTag(next().w(), N("Tagged"));
    {
      Held e = next();
      Held v(vdatatagCreateScrapWithValue(P(vdatatagDATATAG), self));
      vscrapImport(v.w(), e.w());
    }
    {
      Held e = next();  // refer made a typeable there; import a 7 into it
      Held v(integerScrap(7));
      Held holder(vdatatagCreateScrapWithValue(P(vdatatagSCRAP), v.s));
      vscrapImport(holder.w(), e.w());
    }
    {
      Held e = next();  // a null pointer: the target is allocated
      Held p(vdatatagCreateScrapWithValue(pointer, &pointed));
      vscrapImport(p.w(), e.w());
    }
    {
      Held e = next();
      for (std::int32_t i = 0; i < 3; ++i) vscrapSetArrayElement(e.w(), i, integerScrap(-i - 1));
      EXPECT_EQ(raised([&] { vscrapSetArrayElement(e.w(), 3, integerScrap(0)); }).cls, &vexArgRangeClass);
      EXPECT_EQ(raised([&] { vscrapSetArrayCount(e.w(), 4); }).cls, &vexArgRangeClass);
    }
    {
      Held e = next();
      vscrapWriteBlock(e.w(), 0, 5, "abcde");
      EXPECT_EQ(vscrapGetBlockSize(e.w()), 5u);
      EXPECT_EQ(raised([&] { vscrapWriteBlock(e.w(), 3, 3, "xyz"); }).cls, &vexArgRangeClass);
    }
    {
      Held e = next();
      vdictInit(&r.dict, vdictHashName);
      vscrapSetDictionaryElement(e.w(), N("n"), integerScrap(42));
    }
    {
      Held e = next();
      Held v(vdatatagCreateScrapWithValue(inner, &pointed));
      vscrapImport(v.w(), e.w());
    }
    EXPECT_FALSE(vscrapIteratorNext(it));
    vscrapIteratorDestroy(it);
  }
  EXPECT_EQ(r.boolean, 1);
  EXPECT_EQ(r.character, 'x');
  EXPECT_EQ(r.byte, -100);
  EXPECT_EQ(r.ubyte, 200);
  EXPECT_EQ(r.shrt, -30000);
  EXPECT_EQ(r.ushrt, 60000);
  EXPECT_EQ(r.integer, INT32_MIN);
  EXPECT_EQ(r.uinteger, UINT32_MAX);
  EXPECT_EQ(r.ll, INT64_C(-5000000000));
  EXPECT_EQ(r.ull, UINT64_MAX);
  EXPECT_EQ(r.fixed, 0x18000);
  EXPECT_EQ(r.single, 1.5f);
  EXPECT_EQ(r.dbl, 1.0 / 3);
  ASSERT_NE(r.string, nullptr);
  EXPECT_STREQ(r.string, "text");
  EXPECT_EQ(r.tag, N("Tagged"));
  EXPECT_EQ(r.datatag, self);
  ASSERT_NE(r.scrap, nullptr);
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(r.scrap)), 7);
  ASSERT_NE(r.pointer, nullptr);
  EXPECT_EQ(r.pointer->c, 'p');
  EXPECT_EQ(r.pointer->d, 0.25);
  EXPECT_EQ(r.sized[0], -1);
  EXPECT_EQ(r.sized[2], -3);
  EXPECT_EQ(std::memcmp(r.opaque, "abcde", 5), 0);
  EXPECT_EQ(vdictGetInteger(&r.dict, N("n")), 42);
  EXPECT_EQ(r.inner.c, 'p');
  EXPECT_EQ(r.inner.d, 0.25);

  // Read back as a copy, then copied whole into a second record.
  Held copy(vdatatagScrapFromMemory(record, &r));
  std::string text = dumpText(copy.s);
  EXPECT_EQ(text.rfind("{ TRUE x -100 200 -30000 60000 -2147483648 -1 -5000000000 18446744073709551615 1.5 1.5 0.333333 "
                       "text Tagged ",
                       0),
            0u)
      << text;
  Record r2;
  std::memset(&r2, 0, sizeof r2);
  vdictInit(&r2.dict, vdictHashName);
  Held target(vdatatagCreateScrapFromArgs(record, &r2));
  vscrapImport(copy.w(), target.w());
  EXPECT_EQ(std::memcmp(&r2, &r, offsetof(Record, string)), 0);
  EXPECT_STREQ(r2.string, "text");
  EXPECT_NE(r2.string, r.string);
  EXPECT_EQ(r2.pointer->d, 0.25);
  EXPECT_EQ(vdictGetInteger(&r2.dict, N("n")), 42);
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(r2.scrap)), 7);
  EXPECT_EQ(r2.inner.d, 0.25);

  for (Record* x : {&r, &r2}) {
    vstrDestroy(x->string);
    vmemFree(x->pointer);
    vinstanceDestroy(x->scrap);
    vdictFinish(&x->dict);
  }
  for (vdatatag* d : {record, inner, pointer, sized, opaque, dict}) vdatatagDestroy(d);
}

TEST(DatatagScrap, ScalarRangesAndLayouts) {
  std::uint8_t byte = 0;
  Held b(vdatatagCreateScrapFromArgs(P(vdatatagBYTE), &byte));
  EXPECT_EQ(raised([&] { vscrapSetInteger(b.w(), 128); }).cls, &vexArgRangeClass);
  vscrapSetInteger(b.w(), 127);
  EXPECT_EQ(byte, 0x7F);
  EXPECT_EQ(vscrapGetInteger(b.w()), 127);
  std::uint8_t ff = 0xFF;
  Held u(vdatatagScrapFromMemory(P(vdatatagUNSIGNED_BYTE), &ff));
  EXPECT_EQ(vscrapGetInteger(u.w()), 255);
  struct Range {
    int kind;
    std::int32_t low, high;
  } ranges[] = {{vdatatagBYTE, -128, 127}, {vdatatagUNSIGNED_BYTE, 0, 255}, {vdatatagSHORT, -32768, 32767},
                {vdatatagUNSIGNED_SHORT, 0, 65535}};
  for (const Range& r : ranges) {
    Held s(vdatatagCreateScrapWithValue(P(r.kind), 0));
    vscrapSetInteger(s.w(), r.low);
    EXPECT_EQ(vscrapGetInteger(s.w()), r.low);
    vscrapSetInteger(s.w(), r.high);
    EXPECT_EQ(vscrapGetInteger(s.w()), r.high);
    EXPECT_EQ(raised([&] { vscrapSetInteger(s.w(), r.low - 1); }).cls, &vexArgRangeClass) << r.kind;
    EXPECT_EQ(raised([&] { vscrapSetInteger(s.w(), r.high + 1); }).cls, &vexArgRangeClass) << r.kind;
  }
  Held boolean(vdatatagCreateScrapWithValue(P(vdatatagBOOLEAN), 0));
  EXPECT_EQ(raised([&] { vscrapSetBoolean(boolean.w(), 2); }).cls, &vexArgRangeClass);
  float f = 1.5f;
  Held single(vdatatagScrapFromMemory(P(vdatatagSINGLE_FLOAT), &f));
  EXPECT_EQ(vscrapGetFloat(single.w()), 1.5);
  EXPECT_EQ(raised([&] { vscrapSetFloat(single.w(), 3.5e38); }).cls, &vexArgRangeClass);
  vscrapSetFloat(single.w(), -3.4028234663852886e+38);
  EXPECT_EQ(vscrapGetFloat(single.w()), -FLT_MAX);
  // An empty scrap has no value to read.
  Held empty(vdatatagCreateScrap(P(vdatatagINTEGER)));
  EXPECT_EQ(raised([&] { vscrapGetInteger(empty.w()); }).cls, &vexArgNullClass);

  struct A {
    char c;
    double d;
    short s;
  };
  struct B {
    char c;
    std::int64_t l;
  };
  vdatatag* a = compoundOf({P(vdatatagCHARACTER), P(vdatatagDOUBLE_FLOAT), P(vdatatagSHORT)});
  vdatatag* bb = compoundOf({P(vdatatagCHARACTER), P(vdatatagLONGLONG)});
  vdatatag* none = compoundOf({});
  EXPECT_EQ(vdatatagSizeOf(a), sizeof(A));
  EXPECT_EQ(vdatatagSizeOf(bb), sizeof(B));
  EXPECT_EQ(vdatatagSizeOf(none), 0u);
  EXPECT_EQ(vdatatagAlignOf(none), 1u);
  A value{'q', 2.5, -7};
  Held sa(vdatatagScrapFromMemory(a, &value));
  EXPECT_EQ(dumpText(sa.s), "{ q 2.5 -7 }\n");
  Held refer(vdatatagCreateScrapFromArgs(a, &value));
  vscrapIterator* it = vscrapCreateCompoundIterator(refer.w());
  for (std::size_t offset : {offsetof(A, c), offsetof(A, d), offsetof(A, s)}) {
    ASSERT_TRUE(vscrapIteratorNext(it));
    Held e(vscrapIteratorCurrentElement(it));
    EXPECT_EQ(static_cast<char*>(static_cast<vdatatagScrap*>(e.s)->value) - reinterpret_cast<char*>(&value),
              static_cast<std::ptrdiff_t>(offset));
  }
  vscrapIteratorDestroy(it);
  // Kinds without a layout of their own cannot be members.
  vdatatag* withArray = compoundOf({P(vdatatagOPAQUE)});
  EXPECT_EQ(raised([&] { vdatatagSizeOf(withArray); }).cls, &vexScrapUnimplementedClass);
  for (vdatatag* d : {a, bb, none, withArray}) vdatatagDestroy(d);
}

TEST(DatatagScrap, CountedArraysAndBlocks) {
  vdatatag* array = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(array, P(vdatatagINTEGER));
  std::int32_t count = 99;
  void* data = &count;
  Held s(vdatatagCreateScrapFromArgs(array, &count, &data));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(data, nullptr);
  vscrapSetArrayCount(s.w(), 3);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(count, 3);
  for (std::int32_t i = 0; i < 3; ++i) vscrapSetArrayElement(s.w(), i, integerScrap(10 * i));
  EXPECT_EQ(static_cast<std::int32_t*>(data)[2], 20);
  EXPECT_EQ(raised([&] { vscrapGetArrayElement(s.w(), 3); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vscrapSetArrayCount(s.w(), -1); }).cls, &vexArgRangeClass);
  EXPECT_EQ(dumpText(s.s), "[ 0 10 20 ]\n");
  vinstance* native = vscrapCreateNative(vscrapGetArrayClass());
  vscrapImport(s.w(), vscrapWalk(native));
  EXPECT_EQ(vscrapGetArrayCount(vscrapWalk(native)), 3);
  vscrapSetArrayCount(s.w(), 0);
  EXPECT_EQ(data, nullptr);
  vscrapImport(vscrapWalk(native), s.w());
  EXPECT_EQ(count, 3);
  EXPECT_EQ(static_cast<std::int32_t*>(data)[1], 10);
  vinstanceDestroy(native);
  vscrapSetArrayCount(s.w(), 0);

  std::int32_t bytes = 0;
  void* block = nullptr;
  Held o(vdatatagCreateScrapFromArgs(P(vdatatagOPAQUE), &bytes, &block));
  vscrapSetBlockSize(o.w(), 4);
  vscrapWriteBlock(o.w(), 0, 4, "wxyz");
  EXPECT_EQ(bytes, 4);
  EXPECT_EQ(std::memcmp(block, "wxyz", 4), 0);
  char out[4];
  for (auto [offset, n] : {std::pair<std::size_t, std::size_t>{0, 5}, {4, 1}, {SIZE_MAX, 2}})
    EXPECT_EQ(raised([&] { vscrapReadBlock(o.w(), offset, n, out); }).cls, &vexArgRangeClass);
  vscrapSetBlockSize(o.w(), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(raised([&] { vdatatagScrapAllocate(static_cast<vdatatagScrap*>(o.s)); }).cls, &vexScrapUnimplementedClass);
  vdatatagDestroy(array);
}

TEST(DatatagScrap, DictionaryEntriesAndMarkers) {
  vdatatag* d = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(d, N("i"), P(vdatatagINTEGER));
  vdatatagSetDictEntry(d, N("f"), P(vdatatagDOUBLE_FLOAT));
  vdatatagSetDictEntry(d, N("s"), P(vdatatagSTRING));
  vdatatagSetDictEntry(d, N("t"), P(vdatatagTAG));
  Held s(vdatatagCreateScrap(d));
  auto* dict = static_cast<vdict*>(vdatatagScrapAllocate(static_cast<vdatatagScrap*>(s.s)));
  vdictStoreInteger(dict, N("i"), INT32_MIN);
  EXPECT_EQ(vscrapGetDictionaryElement(s.w(), N("i")), nullptr);
  EXPECT_EQ(vscrapGetDictionaryElement(s.w(), N("absent")), nullptr);
  EXPECT_EQ(raised([&] { vscrapSetDictionaryElement(s.w(), N("i"), integerScrap(INT32_MIN)); }).cls,
            &vexArgRangeClass);
  vscrapSetDictionaryElement(s.w(), N("i"), integerScrap(5));
  {
    Held e(vscrapGetDictionaryElement(s.w(), N("i")));
    EXPECT_EQ(vscrapGetInteger(e.w()), 5);
  }
  vscrapSetDictionaryElement(s.w(), N("f"), vscrapMakeTypeable(vdatatagCreateScrapWithValue(P(vdatatagDOUBLE_FLOAT), 1.0 / 3)));
  {
    Held e(vscrapGetDictionaryElement(s.w(), N("f")));
    EXPECT_EQ(vscrapGetFloat(e.w()), 1.0 / 3);  // all 64 bits kept
  }
  EXPECT_EQ(raised([&] {
              vscrapSetDictionaryElement(s.w(), N("f"),
                                         vdatatagCreateScrapWithValue(P(vdatatagDOUBLE_FLOAT), 1.1754943508222875e-38));
            }).cls,
            &vexArgRangeClass);
  vscrapSetDictionaryElement(s.w(), N("t"), vdatatagCreateScrapWithValue(P(vdatatagTAG), N("Blue")));
  vscrapSetDictionaryElement(s.w(), N("s"), vdatatagCreateScrapWithValue(P(vdatatagSTRING), "str"));
  EXPECT_EQ(dumpText(s.s), "<\nf:\t0.333333\ni:\t5\ns:\tstr\nt:\tBlue\n>\n");
  Raised r = raised([&] { vscrapSetDictionaryElement(s.w(), N("undescribed"), integerScrap(1)); });
  EXPECT_EQ(r.message, "Dictionary key has no datatag");
  // Copied into a native dictionary and back into a fresh one.
  vinstance* native = vscrapCreateNative(vscrapGetDictionaryClass());
  vscrapImport(s.w(), vscrapWalk(native));
  Held back(vdatatagCreateScrap(d));
  auto* dict2 = static_cast<vdict*>(vdatatagScrapAllocate(static_cast<vdatatagScrap*>(back.s)));
  vscrapImport(vscrapWalk(native), back.w());
  EXPECT_EQ(vdictGetInteger(dict2, N("i")), 5);
  EXPECT_EQ(vdictGet(dict2, N("t")), N("Blue"));
  vscrapSetDictionaryElement(s.w(), N("i"), nullptr);
  EXPECT_EQ(vscrapGetDictionaryElement(s.w(), N("i")), nullptr);
  vinstanceDestroy(native);
  vstrDestroy(static_cast<char*>(vdictGet(dict, N("s"))));
  vstrDestroy(static_cast<char*>(vdictGet(dict2, N("s"))));
  vdatatagDestroy(d);
}

TEST(DatatagScrap, UnionsListsAndPointerCycles) {
  vdatatag* u = vdatatagCreate(vdatatagUNION);
  vdatatagAddUnionMember(u, 5, P(vdatatagINTEGER));
  vdatatagAddUnionMember(u, 9, P(vdatatagDOUBLE_FLOAT));
  std::int32_t selector = 7;
  union {
    std::int32_t i;
    double d;
  } value{};
  Held s(vdatatagCreateScrapFromArgs(u, &selector, &value));
  EXPECT_EQ(dumpText(s.s), "");  // no member answers 7
  selector = 9;
  value.d = 2.5;
  EXPECT_EQ(dumpText(s.s), "2.5");
  std::int32_t otherSelector = 0;
  double other = 0;
  Held t(vdatatagCreateScrapFromArgs(u, &otherSelector, &other));
  vscrapImport(s.w(), t.w());
  EXPECT_EQ(otherSelector, 9);
  EXPECT_EQ(other, 2.5);

  vdatatagList types;
  _vdatatagListInit(&types);
  _vdatatagListAppend(&types, P(vdatatagINTEGER));
  _vdatatagListAppend(&types, P(vdatatagDOUBLE_FLOAT));
  _vdatatagListAppend(&types, P(vdatatagSTRING));
  Held list(vdatatagCreateListScrapWithValue(&types, 3, 0.5, "three"));
  EXPECT_EQ(dumpText(list.s), "{ 3 0.5 three }\n");
  std::int32_t i = 0;
  double dd = 0;
  const char* str = nullptr;
  Held out(vdatatagCreateListScrapFromArgs(&types, &i, &dd, &str));
  vscrapImport(list.w(), out.w());
  EXPECT_EQ(i, 3);
  EXPECT_EQ(dd, 0.5);
  EXPECT_STREQ(str, "three");
  vstrDestroy(const_cast<char*>(str));
  _vdatatagListFinish(&types);

  // A node that points at itself: walks raise instead of running on.
  struct Node {
    Node* next;
    std::int32_t v;
  };
  vdatatag* node = vdatatagCreate(vdatatagCOMPOUND);
  vdatatag* link = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(link, node);
  vdatatagAddCompoundMembers(node, link, P(vdatatagINTEGER), nullptr);
  EXPECT_EQ(vdatatagSizeOf(node), sizeof(Node));
  Node b{nullptr, 2};
  Node a{&b, 1};
  Held chain(vdatatagScrapFromMemory(node, &a));
  EXPECT_EQ(dumpText(chain.s), "{ { NULL 2 }\n 1 }\n");
  b.next = &a;
  EXPECT_EQ(raised([&] { dumpText(chain.s); }).cls, &vexArgRangeClass);
  Node c{nullptr, 0};
  Held copy(vdatatagCreateScrapFromArgs(node, &c));
  EXPECT_EQ(raised([&] { vscrapImport(chain.w(), copy.w()); }).cls, &vexScrapCannotConvertClass);
  for (Node* n = c.next; n && n != &c;) {  // free what the partial copy allocated
    Node* next = n->next;
    vmemFree(n);
    n = next;
  }
  vdatatag* loop = vdatatagCreate(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(loop, loop);
  vdatatagSetSizedArrayCount(loop, 1);
  EXPECT_EQ(raised([&] { vdatatagSizeOf(loop); }).cls, &vexArgRangeClass);
  for (vdatatag* d : {u, node, link, loop}) vdatatagDestroy(d);
}

TEST(DatatagScrap, DatatagsInferredFromScraps) {
  vinstance* dict = vscrapCreateNative(vscrapGetDictionaryClass());
  vscrapSetDictionaryElement(vscrapWalk(dict), N("n"), integerScrap(1));
  vscrapSetDictionaryElement(vscrapWalk(dict), N("s"), vscrapCreateNativeString("x"));
  vdatatag* d = vdatatagFromScrap(vscrapWalk(dict));
  EXPECT_EQ(vdatatagGetKind(d), vdatatagDICTIONARY);
  EXPECT_EQ(vdatatagGetDictEntry(d, N("n")), P(vdatatagINTEGER));
  EXPECT_EQ(vdatatagGetDictEntry(d, N("s")), P(vdatatagSTRING));

  vinstance* ints = vscrapCreateNative(vscrapGetArrayClass());
  vscrapSetArrayCount(vscrapWalk(ints), 2);
  vscrapSetArrayElement(vscrapWalk(ints), 0, integerScrap(4));
  vscrapSetArrayElement(vscrapWalk(ints), 1, integerScrap(5));
  vdatatag* a = vdatatagFromScrap(vscrapWalk(ints));
  EXPECT_EQ(vdatatagGetKind(a), vdatatagSIZED_ARRAY);
  EXPECT_EQ(vdatatagGetSizedArrayCount(a), 2);
  EXPECT_EQ(vdatatagGetSizedArrayElement(a), P(vdatatagINTEGER));

  vinstance* dicts = vscrapCreateNative(vscrapGetArrayClass());
  vscrapSetArrayCount(vscrapWalk(dicts), 1);
  vscrapSetArrayElement(vscrapWalk(dicts), 0, dict);
  vdatatag* c = vdatatagFromScrap(vscrapWalk(dicts));
  EXPECT_EQ(vdatatagGetKind(c), vdatatagCOMPOUND);
  EXPECT_STREQ(c->scrapClass->name, "vdatatagMyScrap");
  ASSERT_EQ(_vdatatagListCount(vdatatagGetCompoundMembers(c)), 1);
  // That scrap keeps one dictionary record per member and reads as an array.
  Held my(vdatatagCreateScrap(c));
  vdatatagScrapAllocate(static_cast<vdatatagScrap*>(my.s));
  vscrapImport(vscrapWalk(dicts), my.w());
  EXPECT_EQ(vscrapGetArrayCount(my.w()), 1);
  EXPECT_EQ(raised([&] { vscrapSetArrayCount(my.w(), 2); }).cls, &vexArgRangeClass);

  vinstance* block = vscrapCreateNative(vscrapGetBlockClass());
  vscrapSetBlockSize(vscrapWalk(block), 6);
  vdatatag* o = vdatatagFromScrap(vscrapWalk(block));
  EXPECT_EQ(vdatatagGetSizedOpaqueSize(o), 6);
  EXPECT_EQ(vdatatagFromScrap(vscrapWalk(integerScrap(0))), P(vdatatagINTEGER));
  vinstance* empty = vscrapCreateNative(vscrapGetArrayClass());
  vdatatag* e = vdatatagFromScrap(vscrapWalk(empty));
  EXPECT_EQ(vdatatagGetSizedArrayCount(e), 0);
  for (vinstance* x : {ints, dicts, block, empty}) vinstanceDestroy(x);
}

}  // namespace
