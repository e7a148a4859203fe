#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fw/core/charset.h"
#include "fw/core/fs.h"
#include "fw/core/scribe.h"
#include "fw_support.h"

namespace fs = std::filesystem;

namespace {

// What a print wrote to a fresh stream.
template <class F>
std::string printed(F print) {
  std::FILE* f = std::tmpfile();
  print(f);
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += char(c);
  std::fclose(f);
  return out;
}

TEST(ScribePrint, HeldAndComputedTextsPrintTheSame) {
  // Computed scribes either side of the operation's own buffer, and every
  // way a scribe can hold its text.
  for (std::size_t n : {0u, 1u, 255u, 256u, 5000u}) {
    std::string want(n, 'x');
    EXPECT_EQ(printed([&](std::FILE* f) { vscribePrint(vscribeRepeatChar('x', n), f); }), want) << n;
    EXPECT_EQ(printed([&](std::FILE* f) { vscribePrint(vscribeCStringSized(want.c_str(), n), f); }), want);
    EXPECT_EQ(printed([&](std::FILE* f) { vscribePrint(vstrScribe(vstrClone(want.c_str())), f); }), want);
  }
  EXPECT_EQ(printed([](std::FILE* f) {
              vscribePrint(vscribeConcat(vscribeLiteral("ab"), vscribeRepeatChar('-', 300), vscribeCString("cd"), nullptr), f);
            }),
            "ab" + std::string(300, '-') + "cd");
  // Internal text written as it is in the internal set.
  EXPECT_EQ(printed([](std::FILE* f) { vscribePrint(vscribeCString("caf\xE9"), f); }), "caf\xE9");
}

TEST(ScribePrint, WideCharactersRaiseArgAndPrintNothing) {
  const char* text = "wide";
  std::string out = printed([&](std::FILE* f) {
    EXPECT_EQ(raisedClass([&] { vscribePrint(vcharsetCreateWideScribe(text, 4), f); }), &vexArgClass);
  });
  EXPECT_EQ(out, "");
}

struct LinkScratch {
  fs::path root = makeScratchDir();
  ~LinkScratch() { fs::remove_all(root); }
};

std::string readLink(const fs::path& p) {
  vfsPath* path = vfsNewPathFromString(p.c_str());
  vfsPath* target = nullptr;
  const vexClass* raised = raisedClass([&] { target = vfsReadLink(path); });
  vfsFreePath(path);
  if (raised) return std::string("raised ") + raised->name;
  vstr* s = vfsPathToString(target);
  std::string out = s;
  vstrDestroy(s);
  vfsFreePath(target);
  return out;
}

TEST(ReadLink, TargetsAndFailures) {
  LinkScratch s;
  std::ofstream(s.root / "file") << "x";
  fs::create_symlink(s.root / "file", s.root / "absolute");
  fs::create_symlink("sub/../file", s.root / "relative");
  fs::create_symlink(s.root / "gone", s.root / "dangling");
  std::string deep;  // longer than a 256-byte buffer would hold
  for (int i = 0; i < 400; ++i) deep += "dir/";
  deep += "end";
  fs::create_symlink(deep, s.root / "long");
  EXPECT_EQ(readLink(s.root / "absolute"), (s.root / "file").string());
  EXPECT_EQ(readLink(s.root / "relative"), "sub/../file");  // as written, not resolved
  EXPECT_EQ(readLink(s.root / "dangling"), (s.root / "gone").string());
  EXPECT_EQ(readLink(s.root / "long"), deep);
  EXPECT_EQ(readLink(s.root / "file"), "raised User Request");  // not a link
  EXPECT_EQ(readLink(s.root / "missing"), "raised Name");
  EXPECT_EQ(readLink(s.root / "file" / "below"), "raised File System");  // ENOTDIR: no row of its own
}

}  // namespace
