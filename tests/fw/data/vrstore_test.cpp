#include "fw/data/vrstore.h"
#include "fw/data/vresource.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/inst.h"
#include "fw/data/vrstore_internal.h"

namespace fs = std::filesystem;

namespace {

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
void writeBytes(const fs::path& p, const std::string& b) { std::ofstream(p, std::ios::binary) << b; }

struct Path {
  vfsPath* p;
  explicit Path(const fs::path& text) : p(vfsNewPathFromString(text.c_str())) {}
  ~Path() { vfsFreePath(p); }
};

template <class F>
std::string raised(F body, const vexClass** cls = nullptr) {
  std::string message = "(nothing raised)";
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    message = e->message ? e->message : "";
    if (cls) *cls = e->cls;
    vexSetCurrentException(h.savedChain);
  });
  return message;
}

vname tag(const char* s) { return vnameInternLiteral(s); }

// The size of resource n's record as stored.
std::size_t recordSize(vresource h) {
  vrs::Bytes r;
  EXPECT_TRUE(vrs::readRecord(vrs::entryOf(h), vrs::numberOf(h), r));
  return r.size();
}

class VrStore : public ::testing::Test {

 public:
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vrstore." + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path file(const char* name) { return dir / name; }
};

// The whole new file, byte for byte: page 0 holds the 44-byte tree header
// around the store's client header, page 1 the root leaf with the
// parameter record and the root's record, packed down from the page's end
// in the order they were written. Words are in the writer's order.
TEST_F(VrStore, NewFileMatchesItsLayoutExactly) {
  Path p(file("new.vr"));
  vresource root = vrstoreCreateFile(p.p, 0);
  EXPECT_EQ(root & 0x00FFFFFF, 0);
  EXPECT_GE(root, 0x01000000);
  vrstoreCloseFile(root);

  std::string want(2 * 4096, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(want.data() + at, &v, 4); };
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(want.data() + at, &v, 2); };
  want.replace(0, 10, std::string("QRN\n\x09\0\0\0\x02\x20", 10));
  put32(24, 4096);                                          // page size
  put32(28, 0);                                             // no free pages
  put32(32, vbtreeOPENED | vbtreeUNSIGNED_KEYS);            // closed cleanly
  put32(36, 4321);                                          // byte-order mark
  put32(40, 1);                                             // format level
  const std::size_t page = 4096;
  put32(page + 0, 1);                                       // page number
  put32(page + 12, 1);                                      // leaf
  put32(page + 16, 24 + 2 * 4);                             // two slots
  put32(page + 20, 4096 - 2 * 16);                          // two 16-byte records
  put32(page + 24, 4096 - 16);                              // key 00: written first
  put32(page + 28, 4096 - 32);                              // key 00 00 00 00
  // Short leaf records: 0x80, key length, u16 value length, key, value;
  // the store's words are most significant byte first.
  auto record = [&](std::size_t at, const std::string& key, const std::string& value) {
    want[page + at] = char(0x80);
    want[page + at + 1] = char(key.size());
    put16(page + at + 2, std::uint16_t(value.size()));
    want.replace(page + at + 4, key.size() + value.size(), key + value);
  };
  record(4096 - 16, std::string(1, '\0'), std::string("\0\0\0\1\0\0\0\1", 8));  // next tag, next number
  record(4096 - 32, std::string(4, '\0'), std::string("\0\0\0\x11\0\0\0\0", 8));  // empty short dictionary
  const std::string got = readBytes(file("new.vr"));
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(int(got[i] & 0xFF), int(want[i] & 0xFF)) << "byte " << i;
}

TEST_F(VrStore, ClientHeaderChecks) {
  Path p(file("h.vr"));
  vrstoreCloseFile(vrstoreCreateFile(p.p, 0));
  const std::string good = readBytes(file("h.vr"));
  struct Case {
    std::size_t at;
    char value;
    const char* expect;  // null: opens
  } cases[] = {
      {4, 8, nullptr},
      {4, 7, "File is not a resource file"},
      {5, 1, "File is not a resource file"},
      {0, 'X', "File is not a resource file"},
      {8, 3, "Unknown resource file version"},
      {9, 0x7F, nullptr},
      {23, 0x55, nullptr},
  };
  for (const Case& c : cases) {
    std::string b = good;
    b[c.at] = c.value;
    writeBytes(file("h.vr"), b);
    vresource root = 0;
    std::string m = raised([&] { root = vrstoreOpenFile(p.p, vbtreeREAD); });
    if (c.expect) {
      EXPECT_EQ(m, c.expect) << c.at;
    } else {
      EXPECT_EQ(m, "(nothing raised)") << c.at;
      vrstoreCloseFile(root);
    }
  }
}

TEST_F(VrStore, EveryKindRoundTripsThroughAFile) {
  Path p(file("all.vr"));
  vresource root = vrstoreCreateFile(p.p, 0);
  vresource d = vrstoreCreate(root, tag("Dict"), vresDICTIONARY);
  vrstoreSetInteger(d, tag("Int"), -5);
  vrstoreSetInteger(d, tag("Big"), 0x7FFFFFFF);
  vrstoreSetFixed(d, tag("Fixed"), 0x18000);
  vrstoreSetFloat(d, tag("Float"), 2.5);
  vrstoreSetBoolean(d, tag("Bool"), 1);
  vrstoreSetCharacter(d, tag("Char"), '\xE9');
  vrstoreSetTag(d, tag("Tag"), tag("SomeTag"));
  vrstoreSetStringSized(d, tag("Str"), "h\xE9llo", 5);
  vrstoreSetOpaque(d, tag("Bytes"), "\0\1\2\3\4", 5);
  vrstoreSetStringSized(d, tag("Empty"), "", 0);
  vrstoreSetOpaque(d, tag("NoBytes"), "", 0);
  vresource a = vrstoreCreateArray(root, tag("Ints"), vresINTEGER, 3);
  vrstoreSetAtInteger(a, 1, -7);
  vresource s = vrstoreCreateArray(root, tag("Strs"), vresSTRING, 2);
  vrstoreSetAtStringSized(s, 1, "two", 3);
  vresource ds = vrstoreCreateArray(root, tag("Dicts"), vresDICTIONARY, 0);
  vrstoreSetInteger(vrstoreInsertAt(ds, 0, vresDICTIONARY), tag("Int"), 9);
  vresource aa = vrstoreCreateArray(root, tag("Arrays"), vresARRAY, 1);
  vrstoreCreateArray(vrstoreCreateAt(aa, 0, vresUNTYPED), nullptr, vresBOOLEAN, 4);
  vrstoreSetAtBoolean(vrstoreGetAt(aa, 0), 2, 1);
  vrstoreCloseFile(root);

  root = vrstoreOpenFile(p.p, vbtreeREAD);
  d = vrstoreGet(root, tag("Dict"));
  EXPECT_EQ(vrstoreGetInteger(d, tag("Int")), -5);
  EXPECT_EQ(vrstoreGetInteger(d, tag("Big")), 0x7FFFFFFF);
  EXPECT_EQ(vrstoreGetFixed(d, tag("Fixed")), 0x18000);
  EXPECT_EQ(vrstoreGetFloat(d, tag("Float")), 2.5);
  EXPECT_EQ(vrstoreGetBoolean(d, tag("Bool")), 1);
  EXPECT_EQ(vrstoreGetCharacter(d, tag("Char")), '\xE9');
  EXPECT_EQ(vrstoreGetTag(d, tag("Tag")), tag("SomeTag"));
  EXPECT_EQ(vrstoreGetStringText(d, tag("Str")), "h\xE9llo");
  EXPECT_EQ(vrstoreGetType(d, tag("Str")), vresSTRING);
  std::size_t n;
  void* bytes = vrstoreGetOpaque(d, tag("Bytes"), &n);
  ASSERT_EQ(n, 5u);
  EXPECT_EQ(std::memcmp(bytes, "\0\1\2\3\4", 5), 0);
  vmemFree(bytes);
  EXPECT_EQ(vrstoreGetSize(vrstoreGet(d, tag("Empty"))), 0u);
  EXPECT_EQ(vrstoreGetOpaque(d, tag("NoBytes"), &n), nullptr);
  EXPECT_EQ(n, 0u);
  a = vrstoreGet(root, tag("Ints"));
  EXPECT_EQ(vrstoreCount(a), 3);
  EXPECT_EQ(vrstoreGetAtInteger(a, 1), -7);
  EXPECT_EQ(vrstoreGetAtStringText(vrstoreGet(root, tag("Strs")), 1), "two");
  EXPECT_EQ(vrstoreGetInteger(vrstoreGetAt(vrstoreGet(root, tag("Dicts")), 0), tag("Int")), 9);
  vresource inner = vrstoreGetAt(vrstoreGet(root, tag("Arrays")), 0);
  EXPECT_EQ(vrstoreGetElementType(inner), vresBOOLEAN);
  EXPECT_EQ(vrstoreGetAtBoolean(inner, 2), 1);
  EXPECT_EQ(vrstoreGetAtBoolean(inner, 3), 0);
  // A read-only file only reports absence of a tag it never saw.
  std::uint32_t tags = vrs::entryOf(root).nextTag;
  vresource out;
  EXPECT_EQ(vrstoreTestGet(root, tag("NeverSeen"), &out), 0);
  EXPECT_EQ(vrs::entryOf(root).nextTag, tags);
  EXPECT_EQ(raised([&] { vrstoreSetInteger(root, tag("X"), 1); }), "Resource file is not writable");
  vrstoreCloseFile(root);
}

TEST_F(VrStore, ScalarFormsAndRanges) {
  vresource root = vrstoreCreateMemory();
  struct Case {
    std::int32_t value;
    std::size_t size;
  } cases[] = {{0, 8}, {0xFFFFFF, 8}, {0x1000000, 16}, {-1, 16}};
  for (const Case& c : cases) {
    vrstoreSetInteger(root, tag("I"), c.value);
    EXPECT_EQ(recordSize(vrstoreGet(root, tag("I"))), c.size) << c.value;
    EXPECT_EQ(vrstoreGetInteger(root, tag("I")), c.value);
  }
  const vexClass* cls = nullptr;
  raised([&] { vrstoreSetFloat(root, tag("F"), 1e39); }, &cls);
  EXPECT_EQ(cls, &vexArgRangeClass);
  vrstoreSetFloat(root, tag("F"), INFINITY);
  EXPECT_TRUE(std::isinf(vrstoreGetFloat(root, tag("F"))));
  // Looking up an unseen tag in a writable file interns it.
  std::uint32_t tags = vrs::entryOf(root).nextTag;
  vresource out;
  EXPECT_EQ(vrstoreTestGet(root, tag("Unseen"), &out), 0);
  EXPECT_EQ(vrs::entryOf(root).nextTag, tags + 1);
  EXPECT_EQ(raised([&] { vrstoreGetInteger(root, tag("Unseen")); }), "Non-existent resource");
  EXPECT_EQ(raised([&] { vrstoreGetInteger(root, tag("F")); }), "Non-existent resource");

  vrstoreSetStringSized(root, tag("S"), "abcdef", 6);
  char buf[8] = "xxxxxxx";
  struct Range {
    std::size_t offset, maximum, count;
    const char* text;
  } ranges[] = {{0, 8, 6, "abcdef"}, {2, 3, 2, "cd"}, {6, 8, 0, ""}, {9, 8, 0, ""}, {0, 1, 0, ""}};
  for (const Range& r : ranges) {
    EXPECT_EQ(vrstoreGetStringRange(root, tag("S"), r.offset, buf, r.maximum), r.count);
    EXPECT_STREQ(buf, r.text);
  }
  EXPECT_EQ(vrstoreGetStringRange(root, tag("S"), 0, buf, 0), 0u);
  vrstoreCloseFile(root);
}

TEST_F(VrStore, ArraysRepackAndResize) {
  vresource root = vrstoreCreateMemory();
  vresource a = vrstoreCreateArray(root, tag("A"), vresINTEGER, 10);
  EXPECT_EQ(recordSize(a), 14u);
  vrstoreSetAtInteger(a, 3, 5);
  EXPECT_EQ(recordSize(a), 17u);
  vrstoreSetAtInteger(a, 3, 0);
  EXPECT_EQ(recordSize(a), 17u);
  vrstoreSetAtInteger(a, 9, 70000);
  vrstoreSetAtInteger(a, 0, -1);
  EXPECT_EQ(vrstoreGetAtInteger(a, 9), 70000);
  EXPECT_EQ(vrstoreGetAtInteger(a, 0), -1);
  EXPECT_EQ(vrstoreGetAtInteger(a, 8), 0);
  vrstoreInsertAtInteger(a, 10, 42);
  EXPECT_EQ(vrstoreCount(a), 11);
  EXPECT_EQ(vrstoreGetAtInteger(a, 10), 42);
  EXPECT_EQ(raised([&] { vrstoreInsertAtInteger(a, 12, 1); }), "Illegal array index");
  vrstoreInsertAtInteger(a, 0, 7);
  EXPECT_EQ(vrstoreGetAtInteger(a, 0), 7);
  EXPECT_EQ(vrstoreGetAtInteger(a, 1), -1);
  vrstoreSetCount(a, 3);
  EXPECT_EQ(vrstoreCount(a), 3);
  EXPECT_EQ(vrstoreGetAtInteger(a, 2), 0);
  vrstoreSetCount(a, 5);
  EXPECT_EQ(vrstoreGetAtInteger(a, 4), 0);
  EXPECT_EQ(raised([&] { vrstoreSetCount(a, 0); }), "Illegal array size");
  EXPECT_EQ(raised([&] { vrstoreGetAtFixed(a, 0); }), "Fell off end of world");
  EXPECT_EQ(raised([&] { vrstoreGetAtInteger(a, 5); }), "Illegal array index");
  const vexClass* cls = nullptr;
  raised([&] { vrstoreCreateArray(root, tag("Huge"), vresBOOLEAN, 0x1000000); }, &cls);
  EXPECT_EQ(cls, &vexModuleLimitClass);
  vrstoreCloseFile(root);
}

// What the B-tree itself holds for element i of array a, past the record
// that element sets change in place.
std::uint32_t stored(vresource a, std::uint32_t i) {
  std::uint32_t n = vrs::numberOf(a);
  const std::uint8_t key[4] = {0, std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)};
  const void* v;
  std::size_t vl;
  if (!vbtreeFind(vrs::entryOf(a).tree, key, 4, &v, &vl)) return 0xFFFFFFFFu;
  vrs::Bytes r(static_cast<const std::uint8_t*>(v), static_cast<const std::uint8_t*>(v) + vl);
  return vrs::elementAt(r, vrs::arrayView(r), i);
}

// Elements set in place reach the B-tree whenever another array is read,
// the array is changed otherwise, and the file is flushed, saved, copied
// or closed.
TEST_F(VrStore, ElementsSetInPlaceReachTheFileAtEveryExit) {
  Path p(file("inplace.vr")), q(file("saved.vr"));
  vresource root = vrstoreCreateFile(p.p, 0);
  vresource a = vrstoreCreateArray(root, tag("A"), vresINTEGER, 4);
  vresource b = vrstoreCreateArray(root, tag("B"), vresINTEGER, 4);
  vrstoreSetAtInteger(a, 1, 1);
  vrstoreSetAtInteger(b, 2, 1);
  EXPECT_EQ(stored(a, 1), 1u);
  vrstoreFlushFile(root);
  EXPECT_EQ(stored(b, 2), 1u);
  vrstoreSetAtInteger(a, 0, 1);
  vrstoreRemoveAt(a, 3);
  EXPECT_EQ(stored(a, 0), 1u);
  EXPECT_EQ(vrstoreCount(a), 3);
  vrstoreSetAtInteger(b, 0, 1);
  vresource saved = vrstoreSaveFile(root, q.p, 0);
  EXPECT_EQ(vrstoreGetAtInteger(vrstoreGet(saved, tag("B")), 0), 1);
  vrstoreCloseFile(saved);
  vrstoreSetAtInteger(b, 1, 1);
  vresource copy = vrstoreCreateMemory();
  vrstoreCopyFile(root, copy);
  EXPECT_EQ(vrstoreGetAtInteger(vrstoreGet(copy, tag("B")), 1), 1);
  vrstoreCloseFile(copy);
  vrstoreSetAtInteger(a, 2, 1);
  vrstoreCloseFile(root);
  root = vrstoreOpenFile(p.p, vbtreeREAD);
  a = vrstoreGet(root, tag("A"));
  for (std::int32_t i = 0; i < 3; ++i) EXPECT_EQ(vrstoreGetAtInteger(a, i), 1) << i;
  vrstoreCloseFile(root);
}

// A dictionary whose count no longer fits the short form's 24 bits takes
// the long form instead of wrapping into the kind bits. The count is
// forged: sixteen million entries would take too long to make.
TEST_F(VrStore, DictionaryCountsPastTwentyFourBitsTakeTheLongForm) {
  vresource root = vrstoreCreateMemory();
  vresource d = vrstoreCreate(root, tag("D"), vresDICTIONARY);
  vrs::Entry& e = vrs::entryOf(root);
  vrs::Bytes r;
  ASSERT_TRUE(vrs::readRecord(e, vrstoreGetNumber(d), r));
  ASSERT_EQ(r.size(), 8u);
  vrs::putWord(r.data(), 0xFFFFFF11u);  // short dictionary of 0xFFFFFF entries
  vrs::writeRecord(e, vrstoreGetNumber(d), r);
  vrstoreSetInteger(d, tag("One"), 1);
  EXPECT_EQ(std::uint32_t(vrstoreCount(d)), 0x1000000u);
  EXPECT_EQ(recordSize(d), 16u);
  EXPECT_EQ(vrstoreGetType(d, nullptr), vresDICTIONARY);
  EXPECT_EQ(vrstoreGetInteger(d, tag("One")), 1);
  vrstoreCloseFile(root);
}

TEST_F(VrStore, EntriesComeInTagNumberOrder) {
  vresource root = vrstoreCreateMemory();
  vresource absent = 0;  // a look-up needs a place for its answer even when it finds nothing
  for (const char* t : {"zeta", "alpha", "mid"}) EXPECT_EQ(vrstoreTestGet(root, tag(t), &absent), 0);
  vresource d = vrstoreCreate(root, tag("D"), vresDICTIONARY);
  for (const char* t : {"mid", "alpha", "zeta"}) vrstoreSetInteger(d, tag(t), 1);
  ASSERT_EQ(vrstoreCount(d), 3);
  EXPECT_STREQ(vrstoreGetTagAtOnly(d, 0), "zeta");
  EXPECT_STREQ(vrstoreGetTagAtOnly(d, 1), "alpha");
  EXPECT_STREQ(vrstoreGetTagAtOnly(d, 2), "mid");
  EXPECT_EQ(raised([&] { vrstoreGetTagAtOnly(d, 3); }), "Illegal array index");
  vrstoreRenameTag(d, tag("zeta"), tag("omega"));
  EXPECT_STREQ(vrstoreGetTagAtOnly(d, 2), "omega");
  EXPECT_EQ(raised([&] { vrstoreRenameTag(d, tag("mid"), tag("alpha")); }), "New tag already exists");
  EXPECT_EQ(raised([&] { vrstoreRenameTag(d, tag("gone"), tag("x")); }), "Old tag does not exist");
  vrstoreCloseFile(root);
}

TEST_F(VrStore, RemovalTakesEverythingUnderIt) {
  vresource root = vrstoreCreateMemory();
  vresource d = vrstoreCreate(root, tag("D"), vresDICTIONARY);
  std::uint32_t dn = vrstoreGetNumber(d);
  vresource inner = vrstoreCreate(d, tag("Inner"), vresDICTIONARY);
  vrstoreSetStringSized(inner, tag("S"), "x", 1);
  vresource aa = vrstoreCreateArray(d, tag("AA"), vresARRAY, 2);
  vresource sub = vrstoreCreateArray(vrstoreCreateAt(aa, 1, vresUNTYPED), nullptr, vresSTRING, 1);
  vrstoreSetAtStringSized(sub, 0, "deep", 4);
  std::uint32_t before = vrs::entryOf(root).nextNumber;
  EXPECT_GT(before, 6u);
  vrstoreRemove(root, tag("D"));
  EXPECT_EQ(vrstoreCount(root), 0);
  for (std::uint32_t n = 1; n < before; ++n) EXPECT_EQ(vrstoreFromNumber(root, n), 0) << n;
  // The smallest freed number comes back first.
  EXPECT_EQ(vrstoreGetNumber(vrstoreCreate(root, tag("New"), vresDICTIONARY)), dn);

  // A string set over a dictionary keeps its number and drops the rest.
  vresource c = vrstoreCreate(root, tag("C"), vresDICTIONARY);
  vresource grand = vrstoreCreate(c, tag("G"), vresDICTIONARY);
  vrstoreSetStringSized(root, tag("C"), "now a string", 12);
  EXPECT_EQ(vrstoreGet(root, tag("C")), c);
  EXPECT_EQ(vrstoreFromNumber(root, vrstoreGetNumber(grand)), 0);
  EXPECT_EQ(vrstoreGetStringText(root, tag("C")), "now a string");

  // Removing an element of an array of dictionaries removes its entries.
  vresource ds = vrstoreCreateArray(root, tag("Ds"), vresDICTIONARY, 0);
  vresource e0 = vrstoreInsertAt(ds, 0, vresDICTIONARY);
  vresource leaf = vrstoreCreate(e0, tag("L"), vresDICTIONARY);
  vrstoreRemoveAt(ds, 0);
  EXPECT_EQ(vrstoreFromNumber(root, vrstoreGetNumber(leaf)), 0);
  EXPECT_EQ(vrstoreCount(ds), 0);
  vrstoreCloseFile(root);
}

TEST_F(VrStore, OpenFileLimitAndNumberLimit) {
  // The framework's own file stays open once a number or date was
  // formatted; this test needs every slot.
  _vinstReset();
  std::vector<vresource> roots;
  for (int i = 0; i < vrstoreMAX_FILES; ++i) roots.push_back(vrstoreCreateMemory());
  EXPECT_EQ(roots[0], 0x01000000);
  EXPECT_EQ(raised([] { vrstoreCreateMemory(); }), "Maximum resource files open");
  vrstoreCloseFile(roots[5]);
  EXPECT_EQ(vrstoreCreateMemory(), roots[5]);
  for (vresource r : roots) vrstoreCloseFile(r);
  EXPECT_EQ(raised([&] { vrstoreCount(roots[0]); }), "Unknown type");

  vresource root = vrstoreCreateMemory();
  vrs::Entry& e = vrs::entryOf(root);
  e.hint = e.nextNumber = vrs::NUMBER_MASK + 1;
  const vexClass* cls = nullptr;
  raised([&] { vrstoreCreate(root, tag("One"), vresDICTIONARY); }, &cls);
  EXPECT_EQ(cls, &vexModuleLimitClass);
  vrstoreCloseFile(root);
}

// A file with one bad record written behind the store's back.
std::string damagedFile(VrStore& t, const std::string& key, const std::string& value) {
  vresource root = vrstoreCreateMemory();
  vresource d = vrstoreCreate(root, tag("D"), vresDICTIONARY);
  vrstoreSetInteger(d, tag("I"), 1);
  vresource a = vrstoreCreateArray(root, tag("A"), vresSTRING, 1);
  vrstoreSetAtStringSized(a, 0, "s", 1);
  vbtreePut(vrs::entryOf(root).tree, key.data(), key.size(), value.data(), value.size());
  Path p(t.file("bad.vr"));
  vrstoreCloseFile(vrstoreSaveFile(root, p.p, 0));
  vrstoreCloseFile(root);
  return readBytes(t.file("bad.vr"));
}

TEST_F(VrStore, DamagedFilesAreRefusedAndLeftAlone) {
  using std::string;
  struct Case {
    const char* what;
    string key, value;
  } cases[] = {
      {"record shorter than its header", string("\0\0\0\1", 4), string("\0\0\0\x01\0\0\0", 7)},
      {"element kind above 14", string("\0\0\0\1", 4), string("\0\0\x01\x12\0\0\0\0\0\0\0\xFF", 12) + "\0"},
      {"array shorter than its elements", string("\0\0\0\1", 4), string("\0\0\x40\x12\0\0\0\0\0\0\0\x84", 12)},
      {"unknown tag in an entry", string("\0\0\0\0\0\0\0\x77", 8), string("\0\0\0\1", 4)},
      {"child filed twice", string("\0\0\0\0\0\0\0\x01", 8), string("\0\0\0\2", 4)},
      {"parent word of another", string("\0\0\0\2", 4), string("\0\0\x01\x14\0\0\0\3", 8)},
      {"record numbered past the count", string("\0\0\x10\0", 4), string("\0\0\0\x11\0\0\0\0", 8)},
      {"unknown key shape", string("\x05\x05", 2), string("x", 1)},
  };
  for (const Case& c : cases) {
    std::string bytes = damagedFile(*this, c.key, c.value);
    Path p(file("bad.vr"));
    const vexClass* cls = nullptr;
    std::string m = raised([&] { vrstoreOpenFile(p.p, vbtreeWRITE); }, &cls);
    EXPECT_TRUE(m == "Resource file is damaged" || m == "Bad tag initialization") << c.what << ": " << m;
    EXPECT_TRUE(readBytes(file("bad.vr")) == bytes) << c.what;
  }
}

// A cut file has lost records, so it is refused; a flipped bit may land
// where nothing is checked (a value, the free space), but whatever opens
// reads without a crash, and flips in the checked header bytes refuse it.
TEST_F(VrStore, TruncatedAndFlippedFilesAreRefusedWithoutACrash) {
  Path p(file("f.vr"));
  vresource root = vrstoreCreateFile(p.p, 0);
  for (int i = 0; i < 40; ++i) {
    vresource d = vrstoreCreate(root, tag(("D" + std::to_string(i)).c_str()), vresDICTIONARY);
    vrstoreSetStringSized(d, tag("S"), "text", 4);
    vresource a = vrstoreCreateArray(d, tag("A"), vresINTEGER, 3);
    vrstoreSetAtInteger(a, 2, i * 1000);
  }
  vrstoreCloseFile(root);
  const std::string good = readBytes(file("f.vr"));
  ASSERT_GT(good.size(), 2u * 4096);
  auto opens = [&](const std::string& b) {
    writeBytes(file("f.vr"), b);
    vresource r = -1;
    raised([&] { r = vrstoreOpenFile(p.p, vbtreeREAD); });
    if (r < 0) return false;
    raised([&] {
      for (std::int32_t i = 0; i < vrstoreCount(r); ++i) {
        vresource d = vrstoreGetTagAt(r, i, nullptr);
        vrstoreGetStringText(d, tag("S"));
        vrstoreGetAtInteger(vrstoreGet(d, tag("A")), 2);
      }
    });
    vrstoreCloseFile(r);
    return true;
  };
  std::mt19937 rng(7);
  std::vector<std::size_t> cuts = {0, 10, 43, 44, 4095, 4096, 4097, 8191, 8192, good.size() - 1};
  for (int i = 0; i < 40; ++i) cuts.push_back(rng() % good.size());
  for (std::size_t cut : cuts) EXPECT_FALSE(opens(good.substr(0, cut))) << "cut at " << cut;
  for (std::size_t at : {0, 1, 2, 3, 4, 5, 8, 36, 37, 38, 39})
    for (int bit = 0; bit < 8; ++bit) {
      std::string b = good;
      b[at] ^= char(1 << bit);
      // Format 8 and versions up to 2 are still accepted.
      bool stillValid = (at == 4 && b[4] == 8) || (at == 8 && static_cast<unsigned char>(b[8]) <= 2);
      EXPECT_EQ(opens(b), stillValid) << "byte " << at << " bit " << bit;
    }
  for (int trial = 0; trial < 200; ++trial) {
    std::string b = good;
    for (int k = 0; k < 1 + trial % 5; ++k) b[rng() % b.size()] ^= char(1 << (rng() % 8));
    opens(b);
  }
}

}  // namespace

#include "fw/core/command.h"

namespace {

// Paths and key lists stored through the core's interface into a real
// file, read back after a reopen.
TEST_F(VrStore, CoreInterfaceStoresPathsAndKeyListsInAFile) {
  vrstoreInstallInterface();
  Path p(file("core.vr"));
  vresource root = vrstoreCreateFile(p.p, 0);
  vfsPath* path = vfsNewPathFromString("/usr/./lib/../share/file.txt");
  vfsStorePath(path, vresourceGetDict(root, tag("Path")));
  vcommandKeyList* keys = vcommandCreateKeyList();
  const std::uint32_t codes[] = {0x41, 0x1234, 0x80000001u};
  vcommandAppendKeys(keys, codes, 3);
  vcommandStoreKeyList(keys, vrstoreMake(root, tag("Keys")));
  vcommandDestroyKeyList(keys);
  vrstoreCloseFile(root);

  root = vrstoreOpenFile(p.p, vbtreeREAD);
  vresource flags = vrstoreGet(vrstoreGet(root, tag("Path")), tag("Flags"));
  EXPECT_EQ(vrstoreGetElementType(flags), vresBOOLEAN);
  EXPECT_EQ(vrstoreGetAtBoolean(flags, 1), 1);
  vfsPath* back = vfsLoadPath(vrstoreGet(root, tag("Path")));
  EXPECT_EQ(vfsComparePaths(back, path, vfsCOMPARE_EXACT), 0);
  vcommandKeyList* again = vcommandLoadKeyList(vrstoreGet(root, tag("Keys")));
  ASSERT_EQ(again->count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(again->keys[i], codes[i]);
  vcommandDestroyKeyList(again);
  vfsFreePath(back);
  vfsFreePath(path);
  vrstoreCloseFile(root);
}

// A command space loads, in either store, both from a dictionary naming
// its class and from the bare array of its entries.
TEST_F(VrStore, CommandSpacesLoadFromADictionaryAndFromABareArray) {
  vrstoreInstallInterface();
  for (int table : {0, 1}) {
    vresource root = vresourceCreateMemoryIn(table);
    vcommandSpace* s = vcommandSpaceCreate();
    vdict* states = vdictCreate(vdictHashName);
    vdictStore(states, vname_Open, vname_Disabled);
    vcommandSpaceAddDict(s, vname_State, states);
    vresource stored = vresourceMake(root, tag("Space"));
    vclassRec<vcommandSpaceClassRec>(s)->store(s, stored);
    vinstanceDestroy(s);
    const vresource forms[] = {stored, vresourceGet(stored, vname_Dictionary)};
    for (vresource form : forms) {
      vcommandSpace* back = nullptr;
      EXPECT_EQ(raised([&] { back = vcommandSpaceLoad(form); }), "(nothing raised)") << table;
      if (!back) continue;
      EXPECT_EQ(back->cls, vcommandSpaceGetDefaultClass());
      EXPECT_EQ(vcommandSpaceGetAttribute(back, vname_State, vname_Open), vname_Disabled);
      vinstanceDestroy(back);
    }
    vresourceCloseFile(root);
  }
}

}  // namespace

namespace {

TEST_F(VrStore, CopyContentsReplacesTheRootsEntries) {
  vresource src = vrstoreCreateMemory();
  vresource ds = vrstoreCreateArray(src, tag("Ds"), vresDICTIONARY, 0);
  for (int i = 0; i < 3; ++i) vrstoreSetInteger(vrstoreInsertAt(ds, i, vresDICTIONARY), tag("N"), i * 10);
  vresource aa = vrstoreCreateArray(src, tag("AA"), vresARRAY, 1);
  vrstoreSetAtFixed(vrstoreCreateArray(vrstoreCreateAt(aa, 0, vresUNTYPED), nullptr, vresFIXED, 2), 1, 77);
  vrstoreSetOpaque(src, tag("Empty"), "", 0);
  vresource ss = vrstoreCreateArray(src, tag("Ss"), vresSTRING, 2);
  vrstoreSetAtStringSized(ss, 0, "first", 5);
  vrstoreSetFloat(src, tag("F"), -0.5);

  Path p(file("copy.vr"));
  vresource dst = vrstoreCreateFile(p.p, 0);
  vrstoreSetInteger(dst, tag("Old"), 1);
  vresourceCopyContents(src, dst);
  vrstoreCloseFile(dst);
  dst = vrstoreOpenFile(p.p, vbtreeREAD);
  vresource out;
  EXPECT_EQ(vrstoreTestGet(dst, tag("Old"), &out), 0);
  EXPECT_EQ(vrstoreCount(dst), 5);
  vresource dd = vrstoreGet(dst, tag("Ds"));
  ASSERT_EQ(vrstoreCount(dd), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(vrstoreGetInteger(vrstoreGetAt(dd, i), tag("N")), i * 10);
  EXPECT_EQ(vrstoreGetAtFixed(vrstoreGetAt(vrstoreGet(dst, tag("AA")), 0), 1), 77);
  EXPECT_EQ(vrstoreGetSize(vrstoreGet(dst, tag("Empty"))), 0u);
  EXPECT_EQ(vrstoreGetAtStringText(vrstoreGet(dst, tag("Ss")), 0), "first");
  EXPECT_EQ(vrstoreGetNumber(vrstoreGetAt(vrstoreGet(dst, tag("Ss")), 1)), 0u);
  EXPECT_EQ(vrstoreGetFloat(dst, tag("F")), -0.5);
  vrstoreCloseFile(dst);

  EXPECT_EQ(raised([&] { vresourceCopyContents(src, vrstoreGetAt(ds, 1)); }), "Cannot copy a resource into itself");
  EXPECT_EQ(raised([&] { vresourceCopyContents(src, src); }), "Cannot copy a resource into itself");
  vrstoreCloseFile(src);
}

}  // namespace

#include "fw/core/sys.h"

namespace {

TEST_F(VrStore, FindGivesWhereAResourceIsHeld) {
  vresource root = vrstoreCreateMemory();
  vresource d = vrstoreCreate(root, tag("D"), vresDICTIONARY);
  vresource ds = vrstoreCreateArray(d, tag("List"), vresDICTIONARY, 0);
  vrstoreInsertAt(ds, 0, vresDICTIONARY);
  vresource second = vrstoreInsertAt(ds, 1, vresDICTIONARY);
  vresource parent;
  vname under;
  std::int32_t index;
  vrstoreFind(ds, &parent, &under);
  EXPECT_EQ(parent, d);
  EXPECT_EQ(under, tag("List"));
  vrstoreFindAt(second, &parent, &under, &index);
  EXPECT_EQ(parent, d);
  EXPECT_EQ(under, tag("List"));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(raised([&] { vrstoreFind(root, &parent, &under); }), "Cannot vresourceFind on root resource.");
  EXPECT_EQ(raised([&] { vrstoreFind(second, &parent, &under); }), "Missing parent");
  EXPECT_EQ(raised([&] { vrstoreFindAt(ds, &parent, &under, &index); }), "Missing parent");
  vrstoreCloseFile(root);
}

TEST(VrStoreStartup, TheResourceRowInstallsTheInterface) {
  vresourceInstallStartup();
  int n;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  const vmoduleStartupRow* row = nullptr;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vresourceStartup") row = &rows[i];
  ASSERT_TRUE(row && row->fn);
  vresourceSetInterface(nullptr);
  row->fn();
  vresource root = vrstoreCreateMemory();
  vresourceSetIntegerAt(root, tag("I"), 5);
  std::int32_t v = 0;
  EXPECT_EQ(vresourceTestGetInteger(root, tag("I"), &v), 1);
  EXPECT_EQ(v, 5);
  vrstoreCloseFile(root);
}

}  // namespace
