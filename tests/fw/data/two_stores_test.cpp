// The resource interface against both stores: every family of operations
// gives the same answers and raises the same classes in a memory resource
// and a file of each store.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/scrap.h"
#include "tests/fw/data/two_stores_support.h"

namespace {

using namespace twostores;
using std::to_string;

class TwoStores : public testing::TestWithParam<Store> {};
INSTANTIATE_TEST_SUITE_P(Stores, TwoStores, testing::ValuesIn(stores), storeName);

std::string text(vscribe* s) {
  char* c = vscribeCreateString(s);
  std::string out = c;
  vscribeFreeString(c);
  return out;
}
std::string opaque(void* block, std::size_t n) {
  std::string out(static_cast<const char*>(block), n);
  if (block) vmemFree(block);
  return out;
}

TEST_P(TwoStores, MakingAndRemoving) {
  std::string t = sameAsReference(GetParam(), [](Root& r, Transcript& log) {
    const bool vr = r.vr();
    vresource root = r.root;
    vresource m = vresourceMake(root, N("Made"));
    log("made is untyped", [&] { return to_string(vresourceGetType(root, N("Made")) == vresUNTYPED); });
    log("make again is the same", [&] { return to_string(vresourceMake(root, N("Made")) == m); });
    vresourceCreate(root, N("Dict"), vresDICTIONARY);
    vresourceCreate(root, N("Str"), vresSTRING);
    vresourceCreate(root, N("Int"), vresINTEGER);
    vresourceCreate(root, N("Gone"), vresINTEGER);
    vresource self = vresourceCreate(root, N("Self"), vresDICTIONARY);
    vresourceSetInteger(self, N("In"), 1);
    r.reopen();
    root = r.root;
    for (const char* k : {"Dict", "Str", "Int"})
      log(std::string("type ") + k, [&] { return to_string(vresourceGetType(root, N(k))); });
    log("new string", [&] { return vresourceGetStringText(root, N("Str")); });
    log("new integer", [&] { return to_string(vresourceGetInteger(root, N("Int"))); });
    vresourceRemove(root, N("Gone"));
    log("removed", [&] { return to_string(vresourceCount(root)); });
    log("remove absent", [&] { return vresourceRemove(root, N("Gone")), std::string("nothing"); });
    // With no tag a resource removes itself from its dictionary.
    vresource self2 = vresourceGet(root, N("Self"));
    vresourceRemove(self2, nullptr);
    log("removed itself", [&] {
      vresource c;
      return to_string(vresourceTestGet(root, N("Self"), &c));
    });
    log("count after", [&] { return to_string(vresourceCount(root)); });
    // Removing the root: the ".vr" store does nothing, the chunk-file store
    // refuses, each as its own store's rule has it.
    std::string rootRemoval;
    vexGuard([&] { vresourceRemove(root, nullptr), rootRemoval = "nothing"; },
             [&](vexHandler& h) {
               vexException* e = vexGetCurrentException();
               rootRemoval = className(e->cls) + " " + (e->message ? e->message : "");
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(rootRemoval, vr ? "nothing" : "Arg Cannot delete root resource.");
    log("root kept", [&] { return to_string(vresourceCount(root)); });
    // New values of their own kind: each store's rule gives a new tag and a
    // new character their own default.
    vresourceCreate(root, N("NewTag"), vresTAG);
    vresourceCreate(root, N("NewChar"), vresCHARACTER);
    EXPECT_STREQ(vresourceGetTag(root, N("NewTag")), vr ? "<none>" : "Tag");
    EXPECT_EQ(vresourceGetCharacter(root, N("NewChar")), vr ? '\0' : 'A');
  });
  EXPECT_TRUE(has(t, "removed itself = 0")) << t;
  EXPECT_TRUE(has(t, "count after = 4")) << t;
}

TEST_P(TwoStores, TypedGetAndSet) {
  std::string t = sameAsReference(GetParam(), [](Root& r, Transcript& log) {
    const bool vr = r.vr();
    vresource root = r.root;
    vresourceSetInteger(root, N("I"), -123456);
    vresourceSetInteger(root, N("Big"), 0x1000000);
    vresourceSetFixed(root, N("X"), 0x28000);
    vresourceSetFloat(root, N("F"), -0.25);
    vresourceSetBoolean(root, N("B"), 1);
    vresourceSetCharacter(root, N("C"), '\xE9');
    vresourceSetTag(root, N("T"), N("Chosen"));
    vresourceSetString(root, N("S"), vscribeLiteral("caf\xE9"));
    vresourceSetStringSized(root, N("Z"), "abcdef", 3);
    vresourceSetOpaque(root, N("O"), "\x01\x00\x03", 3);
    vresourceSetOpaque(root, N("Empty"), "", 0);
    r.reopen();
    root = r.root;
    log("I", [&] { return to_string(vresourceGetInteger(root, N("I"))); });
    log("Big", [&] { return to_string(vresourceGetInteger(root, N("Big"))); });
    log("X", [&] { return to_string(vresourceGetFixed(root, N("X"))); });
    log("F", [&] { return to_string(vresourceGetFloat(root, N("F"))); });
    log("B", [&] { return to_string(vresourceGetBoolean(root, N("B"))); });
    log("C", [&] { return to_string(static_cast<unsigned char>(vresourceGetCharacter(root, N("C")))); });
    log("T", [&] { return std::string(vresourceGetTag(root, N("T"))); });
    log("S", [&] { return text(vresourceGetString(root, N("S"))); });
    log("S length", [&] { return to_string(vresourceGetStringLength(vresourceGet(root, N("S")))); });
    log("Z", [&] { return vresourceGetStringText(root, N("Z")); });
    log("O", [&] {
      std::size_t n = 0;
      void* b = vresourceGetOpaque(root, N("O"), &n);
      return opaque(b, n);
    });
    log("O size", [&] { return to_string(vresourceGetSize(vresourceGet(root, N("O")))); });
    log("Empty size", [&] { return to_string(vresourceGetSize(vresourceGet(root, N("Empty")))); });
    // Wrong kinds and absent children are refused by the getters alike.
    log("integer as string", [&] { return text(vresourceGetString(root, N("I"))); });
    log("string as integer", [&] { return to_string(vresourceGetInteger(root, N("S"))); });
    // An absent child: the chunk-file store's rule names the finer class Arg/Tag.
    log.base("absent", [&] { return to_string(vresourceGetInteger(root, N("Absent"))); });
    log("size of integer", [&] { return to_string(vresourceGetSize(vresourceGet(root, N("I")))); });
    // Test-gets: 0 and the out argument untouched when absent.
    std::int32_t kept = 77;
    log("test absent", [&] { return to_string(vresourceTestGetInteger(root, N("Absent"), &kept)) + " " + to_string(kept); });
    log("test present", [&] { return to_string(vresourceTestGetInteger(root, N("I"), &kept)) + " " + to_string(kept); });
    double f = 0;
    log("test float", [&] { return to_string(vresourceTestGetFloat(root, N("F"), &f)) + " " + to_string(f); });
    vstr* copy = nullptr;
    log("test string copy", [&] {
      int found = vresourceTestGetStringCopy(root, N("S"), &copy);
      std::string s = copy;
      vstrDestroy(copy);
      return to_string(found) + " " + s;
    });
    // A test-get given no place for its answer is refused, found or not.
    log("null out present", [&] { return to_string(vresourceTestGet(root, N("I"), nullptr)); });
    log("null out absent", [&] { return to_string(vresourceTestGet(root, N("Absent"), nullptr)); });
    log("null integer out", [&] { return to_string(vresourceTestGetInteger(root, N("I"), nullptr)); });
    log("null tag out", [&] { return to_string(vresourceTestGetTag(root, N("T"), nullptr)); });
    // A typed test-get of a child of another kind: the ".vr" store answers 0,
    // as for an absent child; the chunk-file store's test-get answers only
    // for absence and then reads as the getter does, which refuses.
    std::string other;
    vexGuard([&] { other = to_string(vresourceTestGetBoolean(root, N("I"), &kept)); },
             [&](vexHandler& h) {
               other = "raises " + className(vexGetCurrentException()->cls);
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(other, vr ? "0" : "raises Arg");
  });
  EXPECT_TRUE(has(t, "I = -123456")) << t;
  EXPECT_TRUE(has(t, "C = 233")) << t;
  EXPECT_TRUE(has(t, "O = " + std::string("\x01\x00\x03", 3))) << t;
  EXPECT_TRUE(has(t, "null out present = raises Arg")) << t;
  EXPECT_TRUE(has(t, "null out absent = raises Arg")) << t;
  EXPECT_TRUE(has(t, "test absent = 0 77")) << t;
}

// Every element kind, filled by insertion and read back; an array of
// dictionaries gets a dictionary of its own for each element.
TEST_P(TwoStores, ArraysOfEveryElementKind) {
  std::string t = sameAsReference(GetParam(), [](Root& r, Transcript& log) {
    vresource root = r.root;
    vresource a;
    a = vresourceCreateArray(root, N("Int"), vresINTEGER, 0);
    for (int i = 0; i < 3; ++i) vresourceInsertAtInteger(a, i, 100 + i);
    vresourceInsertAtInteger(a, 0, -5);
    vresourceSetAtInteger(a, 3, 0x7FFFFFFF);
    a = vresourceCreateArray(root, N("Fix"), vresFIXED, 2);
    vresourceSetAtFixed(a, 1, 0x18000);
    a = vresourceCreateArray(root, N("Flo"), vresFLOAT, 0);
    vresourceInsertAtFloat(a, 0, 2.5);
    vresourceInsertAtFloat(a, 1, -1.0);
    a = vresourceCreateArray(root, N("Boo"), vresBOOLEAN, 0);
    for (int i = 0; i < 5; ++i) vresourceInsertAtBoolean(a, i, i % 2);
    a = vresourceCreateArray(root, N("Chr"), vresCHARACTER, 0);
    for (char c : {'x', 'y'}) vresourceInsertAtCharacter(a, vresourceCount(a), c);
    a = vresourceCreateArray(root, N("Tag"), vresTAG, 0);
    vresourceInsertAtTag(a, 0, N("First"));
    vresourceInsertAtTag(a, 1, N("Second"));
    a = vresourceCreateArray(root, N("Str"), vresSTRING, 2);
    vresourceSetAtString(a, 0, vscribeLiteral("zero"));
    vresourceSetAtStringSized(a, 1, "onexx", 3);
    a = vresourceCreateArray(root, N("Opq"), vresOPAQUE, 1);
    vresourceSetAtOpaque(a, 0, "\x05\x06", 2);
    a = vresourceCreateArray(root, N("Dic"), vresDICTIONARY, 0);
    vresourceSetInteger(vresourceInsertAt(a, 0, vresDICTIONARY), N("L"), 10);
    vresourceSetInteger(vresourceInsertAt(a, 1, vresDICTIONARY), N("L"), 11);
    vresourceSetInteger(vresourceInsertAt(a, 0, vresDICTIONARY), N("L"), 9);
    // An element of a new array of dictionaries: the chunk-file store makes
    // it a dictionary of its own when asked for it; in the ".vr" store it
    // holds no resource and its handle is the file's root, so a caller must
    // make each element (insert or create at) before filling it.
    {
      vresource plain = vresourceCreateArray(root, N("Plain"), vresDICTIONARY, 2);
      EXPECT_EQ(vresourceGetAt(plain, 1) == root, r.vr());
      vresourceRemove(root, N("Plain"));
    }
    // Made in place: an array of n elements, each made a dictionary.
    a = vresourceCreateArray(root, N("Made"), vresDICTIONARY, 2);
    for (int i = 0; i < 2; ++i) vresourceSetInteger(vresourceCreateAt(a, i, vresDICTIONARY), N("L"), 20 + i);
    r.reopen();
    root = r.root;
    auto each = [&](const char* k, auto read) {
      log(std::string(k) + " kind", [&] { return to_string(vresourceGetElementType(vresourceGet(root, N(k)))); });
      log(k, [&] {
        vresource arr = vresourceGet(root, N(k));
        std::string s;
        for (std::int32_t i = 0, n = vresourceCount(arr); i < n; ++i) s += read(arr, i) + ",";
        return s;
      });
    };
    each("Int", [](vresource x, int i) { return to_string(vresourceGetAtInteger(x, i)); });
    each("Fix", [](vresource x, int i) { return to_string(vresourceGetAtFixed(x, i)); });
    each("Flo", [](vresource x, int i) { return to_string(vresourceGetAtFloat(x, i)); });
    each("Boo", [](vresource x, int i) { return to_string(vresourceGetAtBoolean(x, i)); });
    each("Chr", [](vresource x, int i) { return std::string(1, vresourceGetAtCharacter(x, i)); });
    each("Tag", [](vresource x, int i) { return std::string(vresourceGetAtTag(x, i)); });
    each("Str", [](vresource x, int i) { return vresourceGetAtStringText(x, i); });
    each("Opq", [](vresource x, int i) {
      std::size_t n = 0;
      void* b = vresourceGetAtOpaque(x, i, 0, 100, &n);
      std::string s = to_string(n) + ":" + to_string(static_cast<const unsigned char*>(b)[1]);
      vmemFree(b);
      return s;
    });
    each("Dic", [](vresource x, int i) { return to_string(vresourceGetInteger(vresourceGetAt(x, i), N("L"))); });
    each("Made", [](vresource x, int i) { return to_string(vresourceGetInteger(vresourceGetAt(x, i), N("L"))); });
    vresource ints = vresourceGet(root, N("Int"));
    vresourceRemoveAt(ints, 1);
    log("after remove at", [&] { return to_string(vresourceCount(ints)) + " " + to_string(vresourceGetAtInteger(ints, 1)); });
    // An index past the end: the chunk-file store's rule names Arg/Range,
    // the ".vr" store's plain Arg.
    log.base("past the end", [&] { return to_string(vresourceGetAtInteger(ints, 3)); });
    log.base("insert past the end", [&] { return vresourceInsertAtInteger(ints, 5, 1), std::string("inserted"); });
    log("wrong element kind", [&] { return std::string(vresourceGetAtTag(ints, 0)); });
    vresource dicts = vresourceGet(root, N("Dic"));
    vresourceRemoveAt(dicts, 0);
    log("dictionaries after remove at", [&] {
      return to_string(vresourceCount(dicts)) + " " + to_string(vresourceGetInteger(vresourceGetAt(dicts, 0), N("L")));
    });
  });
  EXPECT_TRUE(has(t, "Int = -5,100,101,2147483647,")) << t;
  EXPECT_TRUE(has(t, "Dic = 9,10,11,")) << t;
  EXPECT_TRUE(has(t, "Made = 20,21,")) << t;
  EXPECT_TRUE(has(t, "Boo = 0,1,0,1,0,")) << t;
  EXPECT_TRUE(has(t, "Str = zero,one,")) << t;
}

TEST_P(TwoStores, DictionariesTagsCountsAndRenames) {
  std::string t = sameAsReference(GetParam(), [](Root& r, Transcript& log) {
    vresource root = r.root;
    vresource d = vresourceCreate(root, N("D"), vresDICTIONARY);
    for (const char* k : {"b", "c", "a"}) vresourceSetInteger(d, N(k), k[0]);
    vresource inner = vresourceCreate(d, N("Inner"), vresDICTIONARY);
    vresourceSetTag(inner, N("Which"), N("Left"));
    vresource a = vresourceCreateArray(root, N("A"), vresINTEGER, 3);
    vresourceSetCount(a, 5);
    vresourceSetAtInteger(a, 4, 44);
    r.reopen();
    root = r.root;
    d = vresourceGet(root, N("D"));
    a = vresourceGet(root, N("A"));
    log("count", [&] { return to_string(vresourceCount(d)); });
    // Entries come in an order each store sets for itself (tag text or
    // first use of the tag in the file): only the set is compared.
    log("entries", [&] {
      std::set<std::string> seen;
      for (std::int32_t i = 0; i < vresourceCount(d); ++i) {
        vname k = nullptr;
        vresource c = vresourceGetTagAt(d, i, &k);
        seen.insert(std::string(k) + ":" + to_string(vresourceGetType(c, nullptr)));
      }
      std::string s;
      for (const std::string& e : seen) s += e + ",";
      return s;
    });
    log("entry past the end", [&] { return std::string(vresourceGetTagAtOnly(d, 4)); });
    log("inner tag", [&] { return std::string(vresourceGetTag(vresourceGet(d, N("Inner")), N("Which"))); });
    log("parent", [&] { return to_string(vresourceGetParent(vresourceGet(d, N("Inner"))) == d); });
    log("root", [&] { return to_string(vresourceGetRoot(vresourceGet(d, N("Inner"))) == root); });
    log("root's parent", [&] { return to_string(vresourceGetParent(root)); });
    log("array count", [&] { return to_string(vresourceCount(a)) + " " + to_string(vresourceGetAtInteger(a, 4)); });
    vresourceSetCount(a, 2);
    log("shrunk", [&] { return to_string(vresourceCount(a)); });
    log("count of an integer", [&] { return to_string(vresourceCount(vresourceGet(d, N("a")))); });
    vresourceRenameTag(d, N("a"), N("z"));
    log("renamed", [&] { return to_string(vresourceGetInteger(d, N("z"))) + " " + to_string(vresourceCount(d)); });
    log("old name gone", [&] {
      vresource c;
      return to_string(vresourceTestGet(d, N("a"), &c));
    });
    vresourceRenameTag(d, N("z"), N("z"));
    log("rename onto itself", [&] { return to_string(vresourceGetInteger(d, N("z"))); });
    log("rename absent", [&] { return vresourceRenameTag(d, N("none"), N("other")), std::string("renamed"); });
    vresourceRenameTag(d, N("Inner"), N("Moved"));
    log("renamed dictionary", [&] { return std::string(vresourceGetTag(vresourceGet(d, N("Moved")), N("Which"))); });
  });
  EXPECT_TRUE(has(t, "entries = Inner:1,a:4,b:4,c:4,")) << t;
  EXPECT_TRUE(has(t, "renamed = 97 4")) << t;
  EXPECT_TRUE(has(t, "array count = 5 44")) << t;
}

// Resources as scraps: an untyped resource takes the kind imported into it,
// an element scrap serves one element, a resource scrap leads back to its handle.
TEST_P(TwoStores, Scraps) {
  std::string t = sameAsReference(GetParam(), [](Root& r, Transcript& log) {
    vresource root = r.root;
    vresource u = vresourceMake(root, N("U"));
    vinstance* seven = vscrapCreateNative(vscrapGetIntegerClass());
    vscrapSetInteger(vscrapWalk(seven), 7);
    vresourceSetScrap(u, nullptr, vscrapWalk(seven));
    vresourceSetScrap(root, N("ByTag"), vscrapWalk(seven));
    vinstanceDestroy(seven);
    vresource a = vresourceCreateArray(root, N("A"), vresINTEGER, 5);
    vinstance* e = vresourceGetAtObject(a, 3);
    vscrapSetInteger(vscrapWalk(e), 33);
    log("element scrap reads", [&] { return to_string(vscrapGetInteger(vscrapWalk(e))); });
    log("element scrap's place", [&] {
      return to_string(vresourceFromObject(e) == a) + " " + to_string(vresourceGetObjectIndex(e));
    });
    vinstanceDestroy(e);
    vresource d = vresourceCreate(root, N("D"), vresDICTIONARY);
    vresourceSetString(d, N("S"), vscribeLiteral("text"));
    vinstance* ds = vresourceGetObject(root, N("D"));
    log("resource scrap's handle", [&] { return to_string(vresourceFromScrap(vscrapWalk(ds)) == d); });
    vinstanceDestroy(ds);
    r.reopen();
    root = r.root;
    log("imported kind", [&] { return to_string(vresourceGetType(root, N("U"))); });
    log("imported value", [&] { return to_string(vresourceGetInteger(root, N("U"))); });
    log("imported by tag", [&] { return to_string(vresourceGetInteger(root, N("ByTag"))); });
    a = vresourceGet(root, N("A"));
    log("elements", [&] {
      std::string s;
      for (int i = 0; i < 5; ++i) s += to_string(vresourceGetAtInteger(a, i)) + ",";
      return s;
    });
  });
  EXPECT_TRUE(has(t, "elements = 0,0,0,33,0,")) << t;
  EXPECT_TRUE(has(t, "imported value = 7")) << t;
}

}  // namespace

namespace {

using namespace twostores;

class TwoStoreSaves : public testing::TestWithParam<Store> {};
// A save starts from a memory resource of either store.
INSTANTIATE_TEST_SUITE_P(Stores, TwoStoreSaves, testing::Values(stores[0], stores[2]), storeName);

struct stat statOf(const std::string& p, bool follow = true) {
  struct stat st {};
  EXPECT_EQ(follow ? ::stat(p.c_str(), &st) : ::lstat(p.c_str(), &st), 0) << p;
  return st;
}
// Saves root at path: the class and errno of a refusal, or "saved" with
// the value read back from the store the save returns.
std::string save(vresource root, const std::string& path) {
  std::string said;
  vfsPath* p = vfsNewPathFromString(path.c_str());
  vexGuard(
      [&] {
        vresource copy = vresourceSaveFile(root, p, 0);
        said = "saved " + std::to_string(vresourceGetInteger(copy, N("V")));
        vresourceCloseFile(copy);
      },
      [&](vexHandler& h) {
        vexException* e = vexGetCurrentException();
        said = "raises " + className(e->cls) + " " + std::strerror(e->errnum);
        vexSetCurrentException(h.savedChain);
      });
  vfsFreePath(p);
  return said;
}
std::string readBack(const std::string& path) {
  std::string said;
  vfsPath* p = vfsNewPathFromString(path.c_str());
  vexGuard(
      [&] {
        vresource r = vresourceOpenFile(p, vfsOPEN_READ);
        said = std::to_string(vresourceGetInteger(r, N("V")));
        vresourceCloseFile(r);
      },
      [&](vexHandler& h) {
        said = "unreadable";
        vexSetCurrentException(h.savedChain);
      });
  vfsFreePath(p);
  return said;
}
std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) out.insert(e.path().filename().string());
  return out;
}

// A save lands where it was named: a link's target is replaced and the link
// kept, a device is written in place and its refusal reported, a replaced
// file keeps its mode and a new one gets 0666 less the mask; no temporary
// file is left behind.
TEST_P(TwoStoreSaves, LandWhereNamed) {
  Folder f;
  const std::string dir = f.path;
  vresource root = vresourceCreateMemoryIn(GetParam().table);
  vresourceSetInteger(root, N("V"), 41);
  // A failed save: the ".vr" store's rule reports it as Return/Null, the
  // chunk-file store passes the file layer's write exception on; both
  // carry the system's reason.
  const std::string refused =
      std::string("raises ") + (GetParam().table == 0 ? "Return/Null " : "File System/I/O Error/I/O Write ");

  mode_t old = ::umask(027);
  EXPECT_EQ(save(root, dir + "/new"), "saved 41");
  ::umask(old);
  EXPECT_EQ(statOf(dir + "/new").st_mode & 07777, 0640u);

  ::chmod((dir + "/new").c_str(), 0604);
  vresourceSetInteger(root, N("V"), 42);
  EXPECT_EQ(save(root, dir + "/new"), "saved 42");
  EXPECT_EQ(statOf(dir + "/new").st_mode & 07777, 0604u);
  EXPECT_EQ(readBack(dir + "/new"), "42");

  // A link, relative, through a second link: the final target takes the file.
  ASSERT_EQ(::symlink("new", (dir + "/link1").c_str()), 0);
  ASSERT_EQ(::symlink("link1", (dir + "/link2").c_str()), 0);
  vresourceSetInteger(root, N("V"), 43);
  EXPECT_EQ(save(root, dir + "/link2"), "saved 43");
  EXPECT_TRUE(S_ISLNK(statOf(dir + "/link2", false).st_mode));
  EXPECT_TRUE(S_ISLNK(statOf(dir + "/link1", false).st_mode));
  EXPECT_EQ(readBack(dir + "/new"), "43");
  EXPECT_EQ(statOf(dir + "/new").st_mode & 07777, 0604u);
  // A dangling link makes its target.
  ASSERT_EQ(::symlink("made", (dir + "/dangling").c_str()), 0);
  EXPECT_EQ(save(root, dir + "/dangling"), "saved 43");
  EXPECT_TRUE(S_ISLNK(statOf(dir + "/dangling", false).st_mode));
  EXPECT_EQ(readBack(dir + "/made"), "43");

  // A full device, through a link and (where the system lets us) as a node
  // of our own: written in place, refused with the device's reason.
  ASSERT_EQ(::symlink("/dev/full", (dir + "/full").c_str()), 0);
  EXPECT_EQ(save(root, dir + "/full"), refused + "No space left on device");
  EXPECT_TRUE(S_ISLNK(statOf(dir + "/full", false).st_mode));
  if (::mknod((dir + "/node").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
    EXPECT_EQ(save(root, dir + "/node"), refused + "No space left on device");
    EXPECT_TRUE(S_ISCHR(statOf(dir + "/node", false).st_mode));
  }
  // A device that takes the bytes: the save succeeds, the store goes on.
  ASSERT_EQ(::symlink("/dev/null", (dir + "/null").c_str()), 0);
  EXPECT_EQ(save(root, dir + "/null"), "saved 43");

  EXPECT_EQ(save(root, dir + "/missing/x"), refused + "No such file or directory");

  std::set<std::string> expected = {"new", "link1", "link2", "dangling", "made", "full", "null"};
  std::set<std::string> seen = namesIn(dir);
  seen.erase("node");
  EXPECT_EQ(seen, expected);
  vresourceCloseFile(root);
}

}  // namespace
