#include "fw/data/vresource.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/data/vrstore.h"
#include "tests/fw/data/scrap_support.h"

namespace {

vname tag(const char* s) { return vnameInternLiteral(s); }

template <class F>
std::string raised(F body) {
  std::string message = "(nothing raised)";
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    message = e->message ? e->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return message;
}

std::vector<std::pair<vresource, int>> heard;

// Every kind a copy carries, under one root.
void fill(vresource root) {
  vresourceSetInteger(root, tag("I"), -123456);
  vresourceSetFixed(root, tag("X"), 0x28000);
  vresourceSetFloat(root, tag("F"), -0.25);
  vresourceSetBoolean(root, tag("B"), 1);
  vresourceSetCharacter(root, tag("C"), 'q');
  vresourceSetTag(root, tag("T"), tag("Chosen"));
  vresourceSetStringSized(root, tag("S"), "caf\xE9", 4);
  vresourceSetOpaque(root, tag("O"), "\x01\x02\x03", 3);
  vresource d = vresourceCreate(root, tag("D"), vresDICTIONARY);
  vresourceSetInteger(d, tag("Inner"), 7);
  vresource a = vresourceCreateArray(root, tag("A"), vresINTEGER, 3);
  for (int i = 0; i < 3; ++i) vresourceSetAtInteger(a, i, 100 + i);
}

void check(vresource root) {
  EXPECT_EQ(vresourceCount(root), 10);
  EXPECT_EQ(vresourceGetInteger(root, tag("I")), -123456);
  EXPECT_EQ(vresourceGetFixed(root, tag("X")), 0x28000);
  EXPECT_EQ(vresourceGetFloat(root, tag("F")), -0.25);
  EXPECT_EQ(vresourceGetBoolean(root, tag("B")), 1);
  EXPECT_EQ(vresourceGetCharacter(root, tag("C")), 'q');
  EXPECT_EQ(vresourceGetTag(root, tag("T")), tag("Chosen"));
  EXPECT_EQ(vresourceGetStringText(root, tag("S")), "caf\xE9");
  std::size_t n = 0;
  void* bytes = vresourceGetOpaque(root, tag("O"), &n);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(std::string(static_cast<char*>(bytes), 3), "\x01\x02\x03");
  vmemFree(bytes);
  vresource d = vresourceGet(root, tag("D"));
  EXPECT_EQ(vresourceGetInteger(d, tag("Inner")), 7);
  EXPECT_EQ(vresourceGetParent(d), root);
  vresource a = vresourceGet(root, tag("A"));
  EXPECT_EQ(vresourceGetElementType(a), vresINTEGER);
  ASSERT_EQ(vresourceCount(a), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(vresourceGetAtInteger(a, i), 100 + i);
}

// The same calls land in the store that the handle's sign names, and a copy
// goes both ways between them.
TEST(Vresource, RoutesByHandleSignAndCopiesBetweenStores) {
  heard.clear();
  vresourceSetObserver([](vresource root, int closing) { heard.emplace_back(root, closing); });
  vresource vr = vresourceCreateMemoryIn(0);
  vresource chunk = vresourceCreateMemoryIn(1);
  EXPECT_GE(vr, 0);
  EXPECT_LT(chunk, 0);
  EXPECT_EQ(vresourceGetRoot(chunk), chunk);
  EXPECT_EQ(vresourceGetNumber(chunk), 1u);
  // The store itself sees the non-negative file.
  vrstoreSetInteger(vr, tag("Direct"), 5);
  EXPECT_EQ(vresourceGetInteger(vr, tag("Direct")), 5);
  vrstoreRemove(vr, tag("Direct"));

  fill(vr);
  check(vr);
  vresourceSetInteger(chunk, tag("Old"), 1);
  vresourceCopyContents(vr, chunk);
  check(chunk);  // the count shows "Old" gone
  vresource back = vresourceCreateMemoryIn(0);
  vresourceCopyContents(chunk, back);
  check(back);

  // A chunk-file handle never reaches the ".vr" store, nor the reverse.
  EXPECT_EQ(raised([&] { vrstoreGetInteger(chunk, tag("I")); }).empty(), false);
  EXPECT_EQ(raised([&] { vresourceGetInteger(newresourceHandle(5, 1), tag("I")); }), "Resource file is not open");
  EXPECT_EQ(raised([&] {
              std::intptr_t* entries = nullptr;
              std::size_t n = 0;
              vresourceGetArray(chunk, tag("A"), &entries, &n);
            }),
            "vresourceGetArray() is deprecated. Manipulate array elements individually.");

  for (vresource r : {vr, chunk, back}) vresourceCloseFile(r);
  vresourceSetObserver(nullptr);
  std::vector<std::pair<vresource, int>> expected = {{chunk, 0}, {back, 0}, {vr, 1}, {chunk, 1}, {back, 1}};
  heard.erase(heard.begin());  // the ".vr" file made first
  EXPECT_EQ(heard, expected);
}

// A new file is of the framework's default kind.
TEST(Vresource, NewFilesTakeTheDefaultKind) {
  for (bool chunk : {false, true}) {
    vresourceSetTestDefault(chunk);
    vresource root = vresourceCreateMemory();
    EXPECT_EQ(root < 0, chunk);
    vresourceCloseFile(root);
  }
}

// The chunk-file store's table: 127 files, the lowest free entry reused.
TEST(Vresource, ChunkFileTableHoldsAHundredAndTwentySeven) {
  std::vector<vresource> roots;
  for (int i = 0; i < newresourceMAX_FILES; ++i) roots.push_back(vresourceCreateMemoryIn(1));
  EXPECT_EQ(roots[0], static_cast<vresource>(0x80000001u));
  EXPECT_EQ(roots[126], static_cast<vresource>(0xFE000001u));
  EXPECT_EQ(raised([] { vresourceCreateMemoryIn(1); }), "Too many resource files open.");
  vresourceReleaseFile(roots[40]);
  vresource again = vresourceCreateMemoryIn(1);
  EXPECT_EQ(again, roots[40]);
  for (vresource r : roots) vresourceCloseFile(r);
}

// The core's interface over the routed calls serves a chunk-file too.
TEST(Vresource, CoreInterfaceStoresAPathInAChunkFile) {
  vrstoreInstallInterface();
  vresource root = vresourceCreateMemoryIn(1);
  vfsPath* path = vfsNewPathFromString("/usr/./lib/../share/file.txt");
  vfsStorePath(path, vresourceGetDict(root, tag("Path")));
  vresource flags = vresourceGet(vresourceGet(root, tag("Path")), tag("Flags"));
  EXPECT_EQ(vresourceGetElementType(flags), vresBOOLEAN);
  vfsPath* back = vfsLoadPath(vresourceGet(root, tag("Path")));
  EXPECT_EQ(vfsComparePaths(back, path, vfsCOMPARE_EXACT), 0);
  vfsFreePath(back);
  vfsFreePath(path);
  vresourceCloseFile(root);
}

// A file written as C source, compiled by the system's compiler and loaded,
// opens as an image with the same contents, in either store.
TEST(Vresource, GeneratedSourceCompilesAndReopensAsAnImage) {
  if (std::system("cc --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no C compiler";
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("vrsource." + std::to_string(getpid()));
  fs::create_directories(dir);
  for (int table : {0, 1}) {
    vresource root = vresourceCreateMemoryIn(table);
    fill(root);
    fs::path c = dir / ("t" + std::to_string(table) + ".c"), so = dir / ("t" + std::to_string(table) + ".so");
    vfsPath* p = vfsNewPathFromString(c.c_str());
    vfsStream* out = vfsOpenFile(p, vfsOPEN_WRITE);
    vresourceWriteSource(root, out, "generated");
    vfsCloseFile(out);
    vfsFreePath(p);
    vresourceCloseFile(root);
    std::ifstream in(c);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    if (table == 1) {
      // Ten values on the line of the opening brace, eleven on each after.
      std::size_t first = text.find("Data[] = {");
      std::size_t line1 = text.find('\n', first), line2 = text.find('\n', line1 + 1);
      auto commas = [&](std::size_t from, std::size_t to) {
        return std::count(text.begin() + std::ptrdiff_t(from), text.begin() + std::ptrdiff_t(to), ',');
      };
      EXPECT_EQ(text.rfind("/* THIS IS A GENERATED FILE. */\n/* DO NOT EDIT. */\n\nunsigned char generatedData[] = {", 0), 0u);
      EXPECT_EQ(commas(first, line1), 10);
      EXPECT_EQ(commas(line1, line2), 11);
      EXPECT_NE(text.find(" 0 };\n\nstruct { unsigned char *data; unsigned long size; } generated = { generatedData, "
                          "sizeof(generatedData) };\n\n"),
                std::string::npos);
    }
    std::string command = "cc -shared -fPIC -o " + so.string() + " " + c.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << text.substr(0, 200);
    void* library = dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    void* symbol = dlsym(library, "generated");
    ASSERT_NE(symbol, nullptr);
    struct Image {
      unsigned char* data;
      unsigned long size;
    };
    vresource image = table == 1 ? vresourceOpenImageIn(1, static_cast<Image*>(symbol)->data, static_cast<Image*>(symbol)->size)
                                 : vresourceOpenImageIn(0, symbol, 0);
    EXPECT_EQ(image < 0, table == 1);
    check(image);
    EXPECT_NE(raised([&] { vresourceSetInteger(image, tag("I"), 1); }), "(nothing raised)");
    vresourceCloseFile(image);
    dlclose(library);
  }
  fs::remove_all(dir);
}

// A native structure of every kind goes into a resource as a scrap and
// comes back out the same, in either store; clearing goes entry by entry.
TEST(Vresource, StructuresGoInAndOutAsScraps) {
  auto integer = [](std::int32_t v) {
    vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
    vscrapSetInteger(vscrapWalk(n), v);
    return n;
  };
  vinstance* tree = vscrapCreateNative(vscrapGetDictionaryClass());
  vinstance* list = vscrapCreateNative(vscrapGetArrayClass());
  for (std::int32_t v : {3, 1, 4}) vscrapAddCompoundElement(vscrapWalk(list), integer(v));
  vscrapSetDictionaryElement(vscrapWalk(tree), tag("list"), list);
  vscrapSetDictionaryElement(vscrapWalk(tree), tag("name"), vscrapCreateNativeString("pi"));
  vinstance* inner = vscrapCreateNative(vscrapGetDictionaryClass());
  vinstance* on = vscrapCreateNative(vscrapGetBooleanClass());
  vscrapSetBoolean(vscrapWalk(on), 1);
  vscrapSetDictionaryElement(vscrapWalk(inner), tag("on"), on);
  vinstance* ratio = vscrapCreateNative(vscrapGetFloatClass());
  vscrapSetFloat(vscrapWalk(ratio), 0.75);
  vscrapSetDictionaryElement(vscrapWalk(inner), tag("ratio"), ratio);
  vinstance* chosen = vscrapCreateNative(vscrapGetTagClass());
  vscrapSetTag(vscrapWalk(chosen), tag("Chosen"));
  vscrapSetDictionaryElement(vscrapWalk(inner), tag("pick"), chosen);
  vinstance* bytes = vscrapCreateNative(vscrapGetBlockClass());
  vscrapSetBlockSize(vscrapWalk(bytes), 3);
  vscrapWriteBlock(vscrapWalk(bytes), 0, 3, "\x07\x08\x09");
  vscrapSetDictionaryElement(vscrapWalk(inner), tag("bytes"), bytes);
  vscrapSetDictionaryElement(vscrapWalk(tree), tag("inner"), inner);
  const std::string text = dumpText(tree);

  for (int table : {0, 1}) {
    vresource root = vresourceCreateMemoryIn(table);
    vresourceSetScrap(root, tag("Tree"), vscrapWalk(tree));
    vresource t = vresourceGet(root, tag("Tree"));
    EXPECT_EQ(vresourceGetAtInteger(vresourceGet(t, tag("list")), 2), 4);
    EXPECT_EQ(vresourceGetFloat(vresourceGet(t, tag("inner")), tag("ratio")), 0.75);
    vinstance* object = vresourceGetObject(root, tag("Tree"));
    EXPECT_EQ(dumpText(object), text) << "table " << table;
    vinstance* copy = vscrapCreateNativeTypeable();
    vscrapImport(vscrapWalk(object), vscrapWalk(copy));
    EXPECT_EQ(dumpText(copy), text);
    // A block read through the scrap is range-checked.
    vinstance* b = vresourceGetObject(vresourceGet(t, tag("inner")), tag("bytes"));
    char two[2];
    vscrapReadBlock(vscrapWalk(b), 1, 2, two);
    EXPECT_EQ(std::string(two, 2), "\x08\x09");
    EXPECT_NE(raised([&] { vscrapReadBlock(vscrapWalk(b), 2, 2, two); }), "(nothing raised)");
    vscrapClearCompound(vscrapWalk(object));
    EXPECT_EQ(vresourceCount(t), 0);
    for (vinstance* o : {b, copy, object}) vinstanceDestroy(o);
    vresourceCloseFile(root);
  }
  vinstanceDestroy(tree);
}

}  // namespace

#include <sys/stat.h>

namespace {

// Whole files are written beside their place and renamed into it: a second
// link to the old file keeps the old bytes, the place keeps its mode, a new
// file takes its permission less the mask, and no temporary stays behind.
TEST(Vresource, WholeFilesReplaceTheirPlaceByRename) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("vrrename." + std::to_string(getpid()));
  fs::create_directories(dir);
  const mode_t mask = umask(022);
  for (int table : {0, 1}) {
    SCOPED_TRACE(table);
    fs::path place = dir / "file.vr", link = dir / "old.link", fresh = dir / "new.vr";
    std::ofstream(place) << "old bytes";
    fs::create_hard_link(place, link);
    ::chmod(place.c_str(), 0640);
    vfsPath* p = vfsNewPathFromString(place.c_str());
    vresource root = vresourceCreateMemoryIn(table);
    fill(root);
    vresourceCloseFile(vresourceSaveFile(root, p, 0600));
    vresourceCloseFile(root);
    std::ifstream in(link);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "old bytes");
    struct stat st;
    ASSERT_EQ(::stat(place.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    root = vresourceOpenFile(p, vfsOPEN_READ);
    check(root);
    vresourceCloseFile(root);
    vfsFreePath(p);

    struct Case {
      int permission;
      mode_t mode;
    } cases[] = {{0600, 0600}, {0660, 0640}, {0, 0644}};
    for (const Case& c : cases) {
      vfsPath* q = vfsNewPathFromString(fresh.c_str());
      vresourceCloseFile(vresourceCreateFileIn(table, q, c.permission));
      vfsFreePath(q);
      ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, c.mode) << c.permission;
      fs::remove(fresh);
    }
    std::size_t files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2u);  // the place and the old link
    fs::remove(place);
    fs::remove(link);
  }
  umask(mask);
  fs::remove_all(dir);
}

}  // namespace

namespace {

// Arrays whose elements are resources of their own come in from scraps:
// an untyped element typed as a string or dictionary stands as the new
// resource, and an element of a typed array that holds no record yet is
// made, never taken for the root.
TEST(Vresource, ArraysOfStringsAndDictionariesComeInAsScraps) {
  vinstance* words = vscrapCreateNative(vscrapGetArrayClass());
  for (const char* w : {"one", "two"}) vscrapAddCompoundElement(vscrapWalk(words), vscrapCreateNativeString(w));
  vinstance* records = vscrapCreateNative(vscrapGetArrayClass());
  for (std::int32_t v : {1, 2}) {
    vinstance* d = vscrapCreateNative(vscrapGetDictionaryClass());
    vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
    vscrapSetInteger(vscrapWalk(n), v);
    vscrapSetDictionaryElement(vscrapWalk(d), tag("n"), n);
    vscrapAddCompoundElement(vscrapWalk(records), d);
  }
  for (int table : {0, 1}) {
    SCOPED_TRACE(table);
    vresource root = vresourceCreateMemoryIn(table);
    vresourceSetScrap(root, tag("Words"), vscrapWalk(words));
    vresourceSetScrap(root, tag("Records"), vscrapWalk(records));
    vresource w = vresourceGet(root, tag("Words")), r = vresourceGet(root, tag("Records"));
    EXPECT_EQ(vresourceGetElementType(w), vresSTRING);
    EXPECT_EQ(vresourceGetAtStringText(w, 1), "two");
    EXPECT_EQ(vresourceGetElementType(r), vresDICTIONARY);
    EXPECT_EQ(vresourceGetInteger(vresourceGetAt(r, 1), tag("n")), 2);
    for (auto [name, source] : {std::pair{"Words", words}, std::pair{"Records", records}}) {
      vinstance* back = vresourceGetObject(root, tag(name));
      EXPECT_EQ(dumpText(back), dumpText(source)) << name;
      vinstanceDestroy(back);
    }
    vresource a = vresourceCreateArray(root, tag("Empty"), vresSTRING, 2);
    vinstance* text = vscrapCreateNativeString("made");
    vresourceSetAtScrap(a, 1, vscrapWalk(text));
    vinstanceDestroy(text);
    EXPECT_EQ(vresourceGetAtStringText(a, 1), "made");
    EXPECT_EQ(vresourceCount(root), 3);
    vresourceCloseFile(root);
  }
  vinstanceDestroy(words);
  vinstanceDestroy(records);
}

}  // namespace
