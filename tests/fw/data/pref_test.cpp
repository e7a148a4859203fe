#include "fw/data/pref.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/core/fs.h"
#include "fw/data/inst.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"

namespace {

std::vector<vresource> opened;  // closed once the test's root is gone

vresource memoryFile() {
  vrstoreInstallInterface();
  opened.push_back(vrstoreCreateMemory());
  return opened.back();
}

vresource parsed(const char* text) {
  vresource root = memoryFile();
  std::string error;
  EXPECT_TRUE(vrtextParse(text, root, &error)) << error;
  return root;
}

std::string str(vprefDict* d, const char* name) {
  const char* v = vprefGetStringValue(d, vscribeCString(name));
  return v ? v : "(none)";
}

// Each test gets its own module context, so its own root dictionary; the
// context's exit destroys the root with its children.
struct PrefTest : ::testing::Test {
  vmoduleContext* context = nullptr;
  void SetUp() override {
    vprefBuildClasses();
    context = vmoduleCreateContext();
  }
  void TearDown() override {
    vmoduleDestroyContext(context);
    for (vresource r : opened) vresourceCloseFile(r);
    opened.clear();
  }
};

TEST_F(PrefTest, CommandLineBeatsEnvironmentBeatsResource) {
  char* argv[] = {const_cast<char*>("prog"), const_cast<char*>("-color"), const_cast<char*>("green"),
                  const_cast<char*>("+verbose"), const_cast<char*>("-nosuch"), const_cast<char*>("-level"),
                  const_cast<char*>("file"), const_cast<char*>("-tabs"), const_cast<char*>("a"),
                  const_cast<char*>("b"), const_cast<char*>("-quiet")};
  vprefStartup(11, argv);  // before the resources: nothing is an option yet
  int count;
  char** left;
  vprefGetArgs(&count, &left);
  EXPECT_EQ(count, 11);
  vprefDict* root = vprefGetDefaultDict();
  vprefDictPushResource(root, vresourceGet(vinstGetSystemResource(), vname_Preferences));
  vprefDictPushResource(root, parsed(R"(
    color = string "red"
    size = integer 10
    font = string "Courier"
    verbose = boolean 1
    quiet = boolean 0
    level = integer 1
    user = string "resource user"
    scale = fixed 98304
    tabs = array string [ "x" "y" ]
  )"));
  setenv("color", "blue", 1);
  setenv("SIZE", "12", 1);  // found by the upper-case form of "size"
  setenv("FONT", "bad\x01text", 1);  // not usable text: ignored
  setenv("USER", "someone", 1);      // named like a Unix variable: mapped away
  vprefApplyEnvironment();
  EXPECT_EQ(str(root, "color"), "blue");
  EXPECT_EQ(str(root, "size"), "12");
  EXPECT_EQ(str(root, "font"), "Courier");
  EXPECT_EQ(str(root, "user"), "resource user");
  EXPECT_EQ(str(root, "scale"), "1.5");
  EXPECT_EQ(vprefGetString(root, vscribeLiteral("quiet")), nullptr);  // a false boolean reads as absent
  vprefProcessArgs();
  EXPECT_EQ(str(root, "color"), "green");
  EXPECT_EQ(str(root, "verbose"), "");  // "+" turns a switch off
  EXPECT_EQ(str(root, "quiet"), "On");  // "-" turns it on
  EXPECT_EQ(str(root, "level"), "file");  // a value option takes the next word
  vprefGetArgs(&count, &left);
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(left[0], "prog");
  EXPECT_STREQ(left[1], "-nosuch");
  for (const char* v : {"color", "SIZE", "FONT", "USER"}) unsetenv(v);
}

TEST_F(PrefTest, ValueOptionsTakeTheNextWordAndArraysTheirCount) {
  char* argv[] = {const_cast<char*>("prog"), const_cast<char*>("-level"), const_cast<char*>("7"),
                  const_cast<char*>("-tabs"), const_cast<char*>("a"), const_cast<char*>("-name"),
                  const_cast<char*>("-level")};
  vprefDict* root = vprefGetDefaultDict();
  vprefDictPushResource(root, parsed(R"(
    level = integer 1
    name = string "x"
    tabs = array string [ "x" "y" "z" ]
  )"));
  vprefStartup(7, argv);
  // "-tabs" takes three words ("a", "-name", "-level"): arrays take their count whatever follows.
  EXPECT_EQ(str(root, "level"), "7");
  EXPECT_EQ(str(root, "name"), "x");
  vresource out = memoryFile();
  vprefSetRootResource(out);
  vprefDictSaveKey(root, vnameInternLiteral("tabs"));
  vresource tabs = vresourceGet(out, vnameInternLiteral("tabs"));
  ASSERT_EQ(vresourceCount(tabs), 3);
  EXPECT_EQ(vresourceGetAtStringText(tabs, 0), "a");
  EXPECT_EQ(vresourceGetAtStringText(tabs, 2), "-level");
  int count;
  char** left;
  vprefGetArgs(&count, &left);
  EXPECT_EQ(count, 1);
}

TEST_F(PrefTest, APushedResourceOverridesExplicitlySetValues) {
  vprefDict* root = vprefGetDefaultDict();
  vprefDictPushResource(root, parsed(R"(
    color = string "red"
    Window = dictionary { width = integer 100 height = integer 50 }
  )"));
  vprefSetString(root, vscribeLiteral("color"), "set");
  vprefDict* window = vprefGetDict(root, vscribeLiteral("Window"));
  ASSERT_NE(window, nullptr);
  vprefSetString(window, vscribeLiteral("width"), "640");
  vprefRelease(window);
  EXPECT_EQ(str(root, "color"), "set");
  vprefDictPushResource(root, parsed(R"(
    color = string "pushed"
    Window = dictionary { width = integer 800 }
  )"));
  EXPECT_EQ(str(root, "color"), "pushed");
  window = vprefGetDict(root, vscribeLiteral("Window"));
  EXPECT_EQ(str(window, "width"), "800");
  EXPECT_EQ(str(window, "height"), "50");  // the older level still answers below
  vprefRelease(window);
  // Writing the set values back: the modified sub-dictionary and its keys.
  vprefSetString(root, vscribeLiteral("extra"), "1");
  vresource out = memoryFile();
  vprefDictStore(root, out);
  EXPECT_EQ(vresourceGetStringText(out, vnameInternLiteral("extra")), "1");
  bool caught = false;
  vexGuard([&] { vprefDictSaveKey(root, vnameInternLiteral("absent")); },
           [&](vexHandler& h) {
             caught = std::string(vexGetCurrentException()->cls->name) == "Arg";
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_TRUE(caught);  // "pref not found."
}

TEST_F(PrefTest, ReferenceCountsReturnToZero) {
  vprefDict* d = vprefCreateDict();
  vprefDictPushResource(d, parsed(R"(
    a = integer 1
    Sub = dictionary { b = string "x" Deeper = dictionary { c = tag Hello } }
  )"));
  vname a = vnameInternLiteral("a");
  vpref* first = vprefDictGet(d, a);
  vpref* again = vprefDictGet(d, a);
  EXPECT_EQ(first, again);  // cached
  EXPECT_EQ(first->refCount, 2);
  vpool* entries = vprefGetDictClass()->pool;
  std::size_t dictsBefore = vpoolGetUsed(entries);
  vprefRelease(first);
  vprefRelease(again);
  EXPECT_FALSE(vdictHas(d->cache, a));  // the last release took it out of the cache
  vprefDict* sub = vprefGetDict(d, vscribeLiteral("Sub"));
  vprefDict* deeper = vprefGetDict(sub, vscribeLiteral("Deeper"));
  EXPECT_EQ(str(deeper, "c"), "Hello");
  vprefSetString(deeper, vscribeLiteral("c"), "changed");  // registers both up to d
  EXPECT_EQ(sub->refCount, 2);
  EXPECT_EQ(deeper->refCount, 2);
  EXPECT_EQ(vpoolGetUsed(entries), dictsBefore + 2);
  vprefRelease(deeper);
  vprefRelease(sub);
  EXPECT_EQ(vpoolGetUsed(entries), dictsBefore + 2);  // held by their parents
  sub = vprefGetDict(d, vscribeLiteral("Sub"));
  deeper = vprefGetDict(sub, vscribeLiteral("Deeper"));
  EXPECT_EQ(str(deeper, "c"), "changed");
  vprefRelease(deeper);
  vprefRelease(sub);
  vprefRelease(d);
  EXPECT_EQ(vpoolGetUsed(entries), dictsBefore - 1);
}

TEST_F(PrefTest, WalkModifiersKeysAndPrintClass) {
  vprefDict* root = vprefGetDefaultDict();
  vprefDictPushResource(root, parsed("one = integer 1 two = integer 2"));
  vprefDictPushResource(root, parsed("two = integer 3 Keys = dictionary { Copy = array integer [ 67 ] }"));
  vprefSetString(root, vscribeLiteral("three"), "3");
  vprefDictIterator it;
  vprefDictInitIterator(&it, root);
  std::string keys;
  while (vprefDictNextIterator(&it)) keys += std::string(vprefDictIteratorKey(&it)) + " ";
  EXPECT_EQ(keys, "three Keys two one ");
  bool ended = !vexTry([&] { vprefDictIteratorKey(&it); });
  EXPECT_TRUE(ended);  // "Iteration complete."
  vprefDictFinishIterator(&it);

  struct Case {
    const char* text;
    std::uint32_t bits;
  } cases[] = {{"shift", 4},   {"control:alt", 3}, {"Meta", 0},      {"command:shift:bogus", 12}, {"", 0},
               {"shiftx", 0},  {"shift:control", 6}, {"control", 2}, {"meta:command", 8},
               {"Shift", 0},   {"shift::alt", 5},  {":", 0},         {nullptr, 0}};
  for (const auto& c : cases) EXPECT_EQ(vkeyParseModifiers(c.text), c.bits) << (c.text ? c.text : "(null)");
  EXPECT_EQ(vprefGetCommandKey(), 8u);
  vprefSetString(root, vscribeLiteral("commandkey"), "alt:control");
  EXPECT_EQ(vprefGetCommandKey(), 3u);

  vprefDict* keyPrefs = vprefGetDict(root, vscribeLiteral("Keys"));
  vdict* keyDict = vprefLoadKeyDict(keyPrefs);
  auto* copy = static_cast<vcommandKeyList*>(vdictGet(keyDict, vnameInternLiteral("Copy")));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->count, 1);
  EXPECT_EQ(copy->key, 67u);
  vcommandDestroyKeyDict(keyDict);
  vprefRelease(keyPrefs);

  // The start-up order hands the arguments over first.
  vprefInstallStartup();
  char* argv[] = {const_cast<char*>("prog"), const_cast<char*>("-three"), const_cast<char*>("4")};
  vmoduleStartupAll(3, argv);
  int count;
  char** all;
  vprefGetAllArgs(&count, &all);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(all[2], "4");
  EXPECT_EQ(str(root, "three"), "4");

  vclass* print = vprefGetPrintClass();
  EXPECT_STREQ(print->name, "vprint");
  vprefSetString(root, vscribeLiteral("printclass"), "vprefDict");
  EXPECT_EQ(vprefGetPrintClass(), vprefGetDictClass());
}

// The dictionary scrap keeps its own changes and reads the rest through.
TEST_F(PrefTest, DictionaryScrapLaysLocalChangesOverThePreferences) {
  vprefDict* d = vprefCreateDict();
  vprefDictPushResource(d, parsed(R"(
    a = integer 7
    s = string "text"
    Sub = dictionary { inner = boolean 1 }
  )"));
  vprefSetString(d, vscribeLiteral("b"), "set");
  vinstance* scrap = vprefDictGetScrap(d);
  EXPECT_EQ(d->refCount, 2);
  vscrap w = vscrapWalk(scrap);
  auto element = [&](vscrap of, const char* key) { return vscrapGetDictionaryElement(of, vnameInternLiteral(key)); };
  vinstance* a = element(w, "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(vscrapGetInteger(vscrapWalk(a)), 7);
  vinstanceDestroy(a);
  vinstance* sub = element(w, "Sub");
  ASSERT_NE(sub, nullptr);
  // An untouched sub-dictionary reads as its resource (its first
  // delegate); a local change ends that.
  auto delegates = [&] {
    vscrap walk = vscrapWalk(sub);
    return vdelegatorNextIterator(&walk, 0) && vdelegatorTop(&walk) != sub;
  };
  EXPECT_TRUE(delegates());
  vinstance* inner = element(vscrapWalk(sub), "inner");
  EXPECT_EQ(vscrapGetBoolean(vscrapWalk(inner)), 1);
  vinstanceDestroy(inner);
  vscrapSetDictionaryElement(vscrapWalk(sub), vnameInternLiteral("x"), vscrapCreateNativeString("1"));
  EXPECT_FALSE(delegates());
  vinstanceDestroy(sub);
  vscrapSetDictionaryElement(w, vnameInternLiteral("c"), vscrapCreateNativeString("local"));
  vscrapRemoveDictionaryElement(w, vnameInternLiteral("a"));
  EXPECT_EQ(element(w, "a"), nullptr);
  EXPECT_EQ(str(d, "a"), "7");  // the preferences themselves are untouched
  vscrapIterator* it = vscrapCreateCompoundIterator(w);
  std::string keys;
  while (vscrapIteratorNext(it)) {
    keys += std::string(vclassRec<vscrapDictionaryIteratorClassRec>(it)->currentKey(it)) + " ";
    vinstanceDestroy(vscrapIteratorCurrentElement(it));
  }
  vscrapIteratorDestroy(it);
  EXPECT_EQ(keys, "c b Sub s ");
  vinstanceDestroy(scrap);
  EXPECT_EQ(d->refCount, 1);
  vprefRelease(d);
}

}  // namespace

// A chunk-format file opened for reading (as the framework's own file is)
// serves every read of its preferences; nothing is written to it.
TEST_F(PrefTest, AReadOnlyChunkFileServesItsPreferences) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / ("prefro." + std::to_string(getpid()) + ".vr");
  vfsPath* path = vfsNewPathFromString(file.c_str());
  auto tag = [](const char* name) { return vnameInternLiteral(name); };
  vresource made = vresourceCreateFileIn(1, path, 0644);
  vresource prefs = vresourceCreate(made, vname_Preferences, vresDICTIONARY);
  vresourceSetString(prefs, tag("color"), vscribeLiteral("red"));
  vresourceSetInteger(prefs, tag("size"), 10);
  vresourceSetBoolean(prefs, tag("verbose"), 1);
  vresourceSetString(vresourceCreate(prefs, tag("window"), vresDICTIONARY), tag("title"), vscribeLiteral("main"));
  vresource tabs = vresourceCreateArray(prefs, tag("tabs"), vresSTRING, 2);
  vresourceSetAtString(tabs, 0, vscribeLiteral("x"));
  vresourceSetAtString(tabs, 1, vscribeLiteral("y"));
  vresourceCloseFile(made);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  auto bytes = [&] {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();

  vresource root = vresourceOpenFile(path, vfsOPEN_READ);
  ASSERT_LT(root, 0);  // the chunk store's
  vprefDict* d = vprefCreateDict();
  vprefDictPushResource(d, vresourceGet(root, vname_Preferences));
  EXPECT_EQ(str(d, "color"), "red");
  EXPECT_EQ(str(d, "size"), "10");
  EXPECT_EQ(str(d, "verbose"), "On");
  vprefDict* window = vprefGetDict(d, vscribeLiteral("window"));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(str(window, "title"), "main");
  vprefRelease(window);
  vresource array = vprefGetValue(d, vscribeLiteral("tabs"));
  EXPECT_EQ(vresourceCount(array), 2);
  std::string keys;
  vprefDictIterator it;
  vprefDictInitIterator(&it, d);
  while (vprefDictNextIterator(&it)) keys += std::string(vprefDictIteratorKey(&it)) + " ";
  vprefDictFinishIterator(&it);
  EXPECT_EQ(keys, "window verbose tabs size color ");
  vprefRelease(d);
  vresourceCloseFile(root);
  EXPECT_EQ(bytes(), before);
  vfsFreePath(path);
  fs::remove(file);
}
