#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fw/core/charset.h"
#include "fw/core/fs.h"
#include "fw_support.h"
#include "memory_resources.h"

namespace {

// Runs the test body under one set of path rules.
struct RulesScope {
  explicit RulesScope(const vfsPathRules* r) { vfsSetPathRules(r); }
  ~RulesScope() { vfsSetPathRules(&vfsLinuxPathRules); }
};

std::string render(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

std::vector<std::string> elements(const vfsPath* p) {
  std::vector<std::string> out;
  for (int i = 0; i < vfsCountPathElements(p); ++i) out.emplace_back(vfsGetPathElement(p, i));
  return out;
}

// The class path of what body raised ("" when nothing), the chain restored.
template <class F>
std::string raisedPath(F body) {
  std::string path;
  vexGuard(body, [&](vexHandler& h) {
    for (const vexClass* c = vexGetCurrentException()->cls; c; c = c->superclass) path = std::string(c->name) + "/" + path;
    vexSetCurrentException(h.savedChain);
  });
  return path;
}

struct ParseCase {
  const char* text;
  const char* volume;  // null: none
  int drive;
  unsigned kind;
  std::vector<std::string> elems;  // roots included
  const char* rendered;
};

void checkParses(const std::vector<ParseCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    vfsPath* p = vfsNewPathFromString(c.text);
    EXPECT_EQ(vfsGetPathVolume(p) ? std::string(vfsGetPathVolume(p)) : "<none>", c.volume ? c.volume : "<none>");
    EXPECT_EQ(vfsGetPathDrive(p), c.drive);
    EXPECT_EQ(p->kind, c.kind);
    EXPECT_EQ(vfsClassifyPath(c.text), c.kind);
    EXPECT_EQ(elements(p), c.elems);
    std::string text = render(p);
    EXPECT_EQ(text, c.rendered);
    vfsPath* again = vfsNewPathFromString(text.c_str());
    EXPECT_EQ(vfsComparePaths(p, again, vfsCOMPARE_EXACT), 0);
    vfsFreePath(again);
    vfsFreePath(p);
  }
}

TEST(Paths, WindowsRulesParseAndRender) {
  RulesScope windows(&vfsWindowsPathRules);
  checkParses({
      {"C:\\a\\b", "C", 3, 2, {"\\", "a", "b"}, "C:\\a\\b"},
      {"c:", "C", 3, 1, {"."}, "C:."},
      {"c:x", "C", 3, 1, {"x"}, "C:x"},
      {"1:\\a", "1", -1, 2, {"\\", "a"}, "1:\\a"},
      {"\\\\srv\\share\\dir", "\\\\srv\\share", -1, 2, {"\\", "dir"}, "\\\\srv\\share\\dir"},
      {"\\\\srv\\share", "\\\\srv\\share", -1, 2, {"\\"}, "\\\\srv\\share\\"},
      {"a\\\\b", nullptr, -1, 4, {"a", "b"}, "a\\b"},
      {"..\\x", nullptr, -1, 4, {"..", "x"}, "..\\x"},
      {".\\x", nullptr, -1, 4, {".", "x"}, ".\\x"},
      {"\\", nullptr, -1, 2, {"\\"}, "\\"},
      {"x", nullptr, -1, 1, {"x"}, "x"},
      {"a/b", nullptr, -1, 1, {"a/b"}, "a/b"},
  });
}

TEST(Paths, LinuxRulesParseAndRender) {
  checkParses({
      {"/usr/lib", nullptr, -1, 2, {"/", "usr", "lib"}, "/usr/lib"},
      {"/", nullptr, -1, 2, {"/"}, "/"},
      {"a//b/", nullptr, -1, 4, {"a", "b"}, "a/b"},
      {"//srv/share", nullptr, -1, 2, {"/", "srv", "share"}, "/srv/share"},
      {"C:\\x", nullptr, -1, 1, {"C:\\x"}, "C:\\x"},
      {"c:/x", nullptr, -1, 4, {"c:", "x"}, "c:/x"},
      {"./x", nullptr, -1, 4, {".", "x"}, "./x"},
      {"../..", nullptr, -1, 4, {"..", ".."}, "../.."},
      {"x", nullptr, -1, 1, {"x"}, "x"},
  });
  EXPECT_STREQ(vfsMSWGetSeparator(), "/");
  EXPECT_STREQ(vfsMSWGetRootString(), "/");
  EXPECT_STREQ(vfsMSWGetVolumeSeparator(), "");
}

TEST(Paths, LimitsRaiseInsteadOfCutting) {
  std::string element(vfsMAX_ELEMENT, 'e');
  vfsPath* p = vfsNewPathFromString(("/" + element).c_str());
  EXPECT_EQ(elements(p).back(), element);
  vfsFreePath(p);
  struct Case {
    std::string text;
    const char* raised;
  } cases[] = {
      {"/" + element + "x", "/Arg/Range/"},
      {std::string(vfsMAX_PATH + 1, 'a'), "/Arg/Range/"},
      {"", "/Arg/Range/"},
  };
  for (const auto& c : cases) EXPECT_EQ(raisedPath([&] { vfsNewPathFromString(c.text.c_str()); }), c.raised);
  EXPECT_EQ(raisedPath([] { vfsNewPathFromString(nullptr); }), "/Arg/Null/");
  EXPECT_EQ(raisedPath([] { vfsNewPathFromScribe(nullptr); }), "/Arg/Null/");
  EXPECT_EQ(raisedPath([] { vfsNewPathFromScribe(vscribeRepeatChar('a', vfsMAX_PATH + 1)); }), "/Arg/Range/");
  EXPECT_EQ(raisedPath([] { vfsNewPathFromScribe(vcharsetCreateWideScribe("a", 1)); }), "/Arg/");
  // Every name fits, the whole does not: the system's refusal, which a
  // file-system handler catches; a name too long stays the caller's error.
  std::string deep;
  while (deep.size() < 4200) deep += "/" + std::string(200, 'd');
  EXPECT_EQ(raisedPath([&] { vfsNewPathFromString(deep.c_str()); }),
            "/File System/System/System Maximum/Maximimum Path Length/");
  EXPECT_EQ(raisedPath([&] { vfsNewPathFromScribe(vscribeCString(deep.c_str())); }),
            "/File System/System/System Maximum/Maximimum Path Length/");
  EXPECT_EQ(raisedPath([&] { vfsNewPathFromString((deep + "/" + element + "x").c_str()); }), "/Arg/Range/");
  EXPECT_EQ(raisedPath([&] { vfsNewPathFromScribe(vscribeCString((deep + "/" + element + "x").c_str())); }),
            "/Arg/Range/");
  p = vfsNewPathFromScribe(vscribeCString("a/b"));
  EXPECT_EQ(render(p), "a/b");
  EXPECT_EQ(raisedPath([&] { vfsAppendPathElements(p, element.c_str(), (element + "y").c_str(), nullptr); }),
            "/Arg/Range/");
  EXPECT_EQ(render(p), "a/b");  // unchanged by the failed call
  vfsFreePath(p);
}

TEST(Paths, Resolve) {
  struct Case {
    const vfsPathRules* rules;
    const char *base, *relative, *result;
  } cases[] = {
      {&vfsWindowsPathRules, "C:\\a\\b", "..\\x", "C:\\a\\x"},
      {&vfsWindowsPathRules, "C:\\a", "D:\\y", "D:\\y"},
      {&vfsLinuxPathRules, "/a/b", "../x/./y", "/a/x/y"},
      {&vfsLinuxPathRules, "/a", "../../..", "/"},
      {&vfsLinuxPathRules, "a", "..", "."},
      {&vfsLinuxPathRules, "a", "b", "a/b"},
      {&vfsLinuxPathRules, "/a", "/etc", "/etc"},
  };
  for (const auto& c : cases) {
    RulesScope scope(c.rules);
    vfsPath* base = vfsNewPathFromString(c.base);
    vfsPath* rel = vfsNewPathFromString(c.relative);
    vfsPath* r = vfsPathResolve(base, rel);
    EXPECT_EQ(render(r), c.result) << c.base << " + " << c.relative;
    vfsFreePath(base), vfsFreePath(rel), vfsFreePath(r);
  }
}

TEST(Paths, Expansion) {
  ChildRun r = runInChild([] {
    struct Case {
      const vfsPathRules* rules;
      const char* home;
      const char *text, *result;
      int drive;
    } cases[] = {
        {&vfsWindowsPathRules, "D:\\users\\u", "~\\f", "D:\\users\\u\\f", 4},
        {&vfsLinuxPathRules, "/home/u", "~/f", "/home/u/f", -1},
        {&vfsLinuxPathRules, "/home/u", "~$SUB/f", "/home/usub/f", -1},
        {&vfsLinuxPathRules, "/home/u", "$TWO/x", "a/b/x", -1},
        {&vfsLinuxPathRules, "/home/u", "$A$B", "AB", -1},
        {&vfsLinuxPathRules, "/home/u", "$$x/a$", "$x/a$", -1},
        {&vfsLinuxPathRules, "/home/u", "~~x/~y", "~x/~y", -1},
        {&vfsLinuxPathRules, "/home/u", "$UNSET/x", "x", -1},
        {&vfsLinuxPathRules, "/home/u", "/$UNSET", "/", -1},
        {&vfsLinuxPathRules, "/home/u", "$ROOTED/y", "/r/y", -1},
        {&vfsLinuxPathRules, "", "~/f", "f", -1},
    };
    setenv("SUB", "sub", 1), setenv("TWO", "a/b", 1), setenv("A", "A", 1), setenv("B", "B", 1);
    setenv("ROOTED", "/r", 1), unsetenv("UNSET");
    for (const auto& c : cases) {
      RulesScope scope(c.rules);
      setenv("HOME", c.home, 1);
      vfsPath* p = vfsNewPathFromString(c.text);
      vfsPathExpand(p);
      std::string got = render(p);
      if (got != c.result || vfsGetPathDrive(p) != c.drive)
        std::fprintf(stderr, "%s: %s drive %d\n", c.text, got.c_str(), vfsGetPathDrive(p));
      vfsFreePath(p);
    }
    vfsPath* p = vfsNewPathFromString("$UNSET");
    std::fprintf(stderr, "%s\n", raisedPath([&] { vfsPathExpand(p); }).c_str());
    setenv("HOME", std::string(vfsMAX_PATH + 1, 'h').c_str(), 1);
    vfsFreePath(p);
    p = vfsNewPathFromString("~/x");
    std::fprintf(stderr, "%s %s\n", raisedPath([&] { vfsPathExpand(p); }).c_str(), render(p).c_str());
    vfsFreePath(p);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "/File System/User Request/\n/Arg/Range/ ~/x\n");
}

TEST(Paths, CompareExtensionAndRemove) {
  RulesScope windows(&vfsWindowsPathRules);
  struct Case {
    const char *a, *b;
    int exact, noCase;
  } cases[] = {
      {"C:\\a\\b", "C:\\a\\b", 0, 0},  {"C:\\a\\b", "c:\\A\\B", 1, 0}, {"\\a", "C:\\a", -3, -3},
      {"D:\\a", "C:\\a", 3, 3},        {"C:\\a\\b", "C:\\a", 2, 2},     {"a", "a\\b", -2, -2},
      {"C:\\a\\c", "C:\\a\\b", 1, 1},  {"\\\\s\\x\\a", "\\\\S\\X\\a", 3, 0},
  };
  for (const auto& c : cases) {
    vfsPath* a = vfsNewPathFromString(c.a);
    vfsPath* b = vfsNewPathFromString(c.b);
    EXPECT_EQ(vfsComparePaths(a, b, vfsCOMPARE_EXACT), c.exact) << c.a << " " << c.b;
    EXPECT_EQ(vfsComparePaths(a, b, vfsCOMPARE_NO_CASE), c.noCase) << c.a << " " << c.b;
    vfsFreePath(a), vfsFreePath(b);
  }

  struct Ext {
    const char *text, *result;
  } exts[] = {{"d\\b.txt", "d\\b.vr"}, {"a", "a.vr"}, {"a.b.c", "a.b.vr"}, {"C:\\x.", "C:\\x.vr"},
              {".", nullptr},          {"..", nullptr}, {"C:\\", nullptr}};
  for (const auto& e : exts) {
    vfsPath* p = vfsNewPathFromString(e.text);
    if (e.result) {
      vfsSetPathExtension(p, "vr");
      EXPECT_EQ(render(p), e.result);
    } else {
      EXPECT_EQ(raisedPath([&] { vfsSetPathExtension(p, "vr"); }), "/File System/Name/") << e.text;
    }
    vfsFreePath(p);
  }

  vfsPath* p = vfsNewPathFromString("C:\\a\\b\\c");
  vfsPathRemoveLast(p, 2);
  EXPECT_EQ(render(p), "C:\\a");
  EXPECT_EQ(raisedPath([&] { vfsPathRemoveLast(p, 3); }), "/Arg/Range/");
  EXPECT_EQ(raisedPath([&] { vfsPathRemoveLast(p, 2); }), "/File System/User Request/");
  EXPECT_EQ(raisedPath([&] { vfsGetPathElement(p, 2); }), "/Arg/Range/");
  vfsPathRemoveLast(p, 1);
  EXPECT_EQ(render(p), "C:\\");
  vfsAppendPathElementsScribed(p, vscribeCString("x"), vscribeCString("y.z"), nullptr);
  vfsReplaceLastPathElement(p, "w");
  EXPECT_EQ(render(p), "C:\\x\\w");
  vfsPath* copy = vfsCopyPath(p);
  vfsFreePath(p);
  EXPECT_EQ(render(copy), "C:\\x\\w");
  vfsFreePath(copy);
}

}  // namespace

namespace {

TEST(Paths, StoreAndLoadThroughResources) {
  MemoryResources resources;
  const vresourceInterface* io = vresourceGetInterface();
  struct Case {
    const vfsPathRules* rules;
    const char* text;
    std::vector<std::string> stored;  // "Elems" as stored
  } cases[] = {
      {&vfsWindowsPathRules, "C:\\a\\..\\.\\b", {"a", "  ", " ", "b"}},
      {&vfsWindowsPathRules, "\\\\srv\\share\\dir", {"dir"}},
      {&vfsLinuxPathRules, "/", {}},
      {&vfsLinuxPathRules, "../x", {"  ", "x"}},
      {&vfsLinuxPathRules, "name", {"name"}},
  };
  for (const auto& c : cases) {
    RulesScope scope(c.rules);
    vfsPath* p = vfsNewPathFromString(c.text);
    vresource r = resources.newDict();
    vresourceSetIntegerAt(r, vnameInternLiteral("VolRef"), 7);
    vfsStorePath(p, r);
    vresource found;
    EXPECT_FALSE(io->find(r, vnameInternLiteral("VolRef"), &found));
    std::vector<std::string> stored;
    if (io->find(r, vnameInternLiteral("Elems"), &found))
      for (int i = 0; i < io->count(found); ++i) stored.emplace_back(io->getString(io->element(found, i)));
    EXPECT_EQ(stored, c.stored) << c.text;
    vfsPath* back = vfsLoadPath(r);
    EXPECT_EQ(render(back), render(p));
    EXPECT_EQ(vfsComparePaths(back, p, vfsCOMPARE_EXACT), 0);
    EXPECT_EQ(back->kind, p->kind);
    vfsFreePath(p), vfsFreePath(back);
  }

  // Resources that are not paths.
  vfsPath* p = vfsNewPathFromString("a/b");
  auto broken = [&](const std::function<void(vresource)>& spoil) {
    vresource r = resources.newDict();
    vfsStorePath(p, r);
    spoil(r);
    std::string message;
    vexGuard([&] { vfsFreePath(vfsLoadPath(r)); },
             [&](vexHandler& h) {
               message = vexGetCurrentException()->message;
               vexSetCurrentException(h.savedChain);
             });
    return message;
  };
  const std::string notAPath = "load path: resource not a legal vfsPath";
  EXPECT_EQ(broken([](vresource r) { vresourceSetTagAt(r, vname_Tag, vnameInternLiteral("vobject")); }), notAPath);
  EXPECT_EQ(broken([](vresource r) { vresourceSetIntegerAt(r, vnameInternLiteral("Version"), 2); }), notAPath);
  EXPECT_EQ(broken([](vresource r) { vresourceSetIntegerAt(r, vnameInternLiteral("PathType"), 3); }), notAPath);
  EXPECT_EQ(broken([&](vresource r) { io->append(io->make(r, vname_Flags, vresARRAY), vresBOOLEAN); }), notAPath);
  EXPECT_EQ(broken([&](vresource r) {
              vresource elems;
              io->find(r, vnameInternLiteral("Elems"), &elems);
              io->setString(io->element(elems, 0), "x/y");
            }),
            notAPath);
  EXPECT_EQ(broken([](vresource) {}), "");
  vfsFreePath(p);
}

}  // namespace
