// Stored texts: round trips of characters, styles, runs and the current
// style; the two character forms; the older forms and damaged input.
#include "fw/text/textstore.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fw/core/resource.h"
#include "fw/data/vresource.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"
#include "tests/fw/gui/raises.h"

namespace {

using texttest::checkText;
using texttest::N;
using texttest::textChars;

// (start, end, list index or -1, serial order) of every run.
std::vector<std::vector<std::int32_t>> runs(vtext* t) {
  std::vector<std::pair<std::uint32_t, std::vector<std::int32_t>>> found;
  vtextTagIterator it;
  vtextInitTagIterator(&it, t, vname_Style, 0);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    vtextStyle* s = vtextRunStyle(t, tag);
    found.push_back({tag->serial, {vtextGetTagStart(tag), vtextGetTagEnd(tag), s && s->owner == t ? s->index : -1}});
  }
  std::sort(found.begin(), found.end());
  std::vector<std::vector<std::int32_t>> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

bool has(vresource r, vname key) {
  vresource entry;
  return vresourceTestGet(r, key, &entry) != 0;
}

struct Store : ::testing::Test {
  vresource root = 0;
  void SetUp() override {
    vtextGetDefaultClass();  // the class a stored "Class" names
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource dict(const char* name) { return vresourceCreate(root, N(name), vresDICTIONARY); }
  vtext* load(vresource r) { return static_cast<vtext*>(vobjectLoad(r)); }
};

vtextStyle* listed(vtext* t, const char* key) {
  vtextStyle* s = vtextStyleCreate();
  vtextRulerSetBooleanAttr(s, N(key), 1);
  s->flags |= vtextStyleOWNED;
  vtextAddStyle(t, s);
  return s;
}

TEST_F(Store, AStyledTextSurvivesStoreAndLoad) {
  for (std::size_t length : {40u, 256u, 257u, 20000u}) {
    std::string chars;
    for (std::size_t i = 0; i < length; ++i) chars += i % 37 == 36 ? '\n' : char('a' + i % 26);
    vtext* text = texttest::textFromChars(chars, 4096);
    vtextStyle* bold = listed(text, "Bold");
    vtextStyle* italic = listed(text, "Italic");
    auto n = std::int32_t(length);
    _vtextAddStyleRun(text, 0, n / 2, bold);
    _vtextAddStyleRun(text, n / 4, n, italic);
    _vtextAddStyleRun(text, n / 3, n / 3, bold);  // empty
    vtextStyle* loose = vtextStyleCreate();
    vtextRulerSetBooleanAttr(loose, N("Underline"), 1);
    loose->flags |= vtextStyleOWNED;
    vtextSetCurrentStyle(text, loose);
    _vtextAddStyleRun(text, 1, 3, loose);
    _vtextRemoveStyleRuns(text, n / 8, n / 8 + 2, bold);  // a split: two runs share a serial

    vresource r = dict("Text");
    _vtextStore(text, r);
    EXPECT_EQ(has(r, vname_Text), length <= 256) << length;
    EXPECT_EQ(has(r, N("TextData")), length > 256) << length;
    vtext* back = load(r);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(textChars(back), chars);
    EXPECT_EQ(checkText(back, chars), "");
    EXPECT_EQ(back->lineCount, text->lineCount);
    EXPECT_EQ(runs(back), runs(text)) << length;
    ASSERT_NE(back->currentStyle, nullptr);
    EXPECT_TRUE(vtextStyleEqual(back->currentStyle, loose));
    ASSERT_EQ(back->attachments->styleCount, 2);
    EXPECT_TRUE(vtextStyleEqual(back->attachments->styles[0], bold));
    EXPECT_TRUE(vtextStyleEqual(back->attachments->styles[1], italic));
    // A copy has the same runs over owned copies of the styles.
    auto* copy = static_cast<vtext*>(vobjectClone(text));
    EXPECT_EQ(textChars(copy), chars);
    EXPECT_EQ(runs(copy), runs(text)) << length;
    ASSERT_EQ(copy->attachments->styleCount, 2);
    EXPECT_NE(copy->attachments->styles[0], bold);
    EXPECT_TRUE(vtextStyleEqual(copy->attachments->styles[0], bold));
    EXPECT_NE(copy->currentStyle, loose);
    EXPECT_TRUE(vtextStyleEqual(copy->currentStyle, loose));
    EXPECT_EQ(checkText(copy, chars), "");
    vtextDestroy(copy);
    // Stored again shorter, only one character form is left.
    vtextSelection* sel = vtextCreateSelection(back);
    vtextSetSelectionRange(back, sel, 10, back->length);
    vtextDeleteSelection(back, sel);
    _vtextStore(back, r);
    EXPECT_TRUE(has(r, vname_Text));
    EXPECT_FALSE(has(r, N("TextData")));
    vresourceRemove(root, N("Text"));
    vtextDestroy(back);
    vtextDestroy(text);
  }
}

TEST_F(Store, OlderFormsAndDamagedInput) {
  vresource r = dict("Old");
  vresourceSetTag(r, vname_Class, N("vtext"));
  vresourceSetStringSized(r, vname_Text, "abcdefghij", 10);
  vresource styles = vresourceCreateArray(r, N("Styles"), vresDICTIONARY, 1);
  vresourceSetBoolean(vresourceCreate(vresourceCreateAt(styles, 0, vresDICTIONARY), N("Attributes"), vresDICTIONARY), N("Bold"), 1);
  vresource changes = vresourceCreateArray(r, N("StyleChanges"), vresDICTIONARY, 5);
  const std::int32_t pairs[][2] = {{0, 2}, {0, 4}, {7, 1}, {0, 30}, {0, 3}};  // index/position
  for (std::int32_t i = 0; i < 5; ++i) {
    vresource e = vresourceCreateAt(changes, i, vresDICTIONARY);
    vresourceSetInteger(e, N("StyleIndex"), pairs[i][0]);
    vresourceSetInteger(e, N("StylePosition"), pairs[i][1]);
  }
  vresourceSetInteger(r, N("DefaultStyle"), 9);  // out of the list: none
  vtext* t = load(r);
  // [2, 4) applied; index 7 skipped; the odd last element dropped.
  EXPECT_EQ(runs(t), (std::vector<std::vector<std::int32_t>>{{2, 4, 0}}));
  EXPECT_EQ(t->currentStyle, nullptr);
  vtextDestroy(t);

  // The dictionary tag form, positions clamped; neither character key: one empty block.
  vresource d = dict("Tags");
  vresourceSetTag(d, vname_Class, N("vtext"));
  vresource tags = vresourceCreateArray(d, N("Style Tags"), vresDICTIONARY, 2);
  vresource t0 = vresourceCreateAt(tags, 0, vresDICTIONARY);
  vresourceSetInteger(t0, N("StyleIndex"), -1);
  vresourceSetInteger(t0, N("Start"), -5);
  vresourceSetInteger(t0, N("End"), 50);
  vresourceSetInteger(vresourceCreateAt(tags, 1, vresDICTIONARY), N("StyleIndex"), -2);
  vresource empty = vresourceCreateArray(d, N("TextData"), vresOPAQUE, 1);
  (void)empty;
  vtext* e = load(d);
  EXPECT_EQ(e->length, 0);
  ASSERT_NE(e->first, nullptr);
  EXPECT_EQ(e->first->next, nullptr);
  EXPECT_EQ(runs(e), (std::vector<std::vector<std::int32_t>>{{0, 0, -1}}));
  EXPECT_EQ(checkText(e, ""), "");
  vtextDestroy(e);

  // Elements that end inside a line join the block before: no line is cut in two.
  vresource split = dict("Split");
  vresourceSetTag(split, vname_Class, N("vtext"));
  vresource data = vresourceCreateArray(split, N("TextData"), vresOPAQUE, 3);
  vresourceSetAtOpaque(data, 0, "ab\ncd", 5);
  vresourceSetAtOpaque(data, 1, "ef\n", 3);
  vresourceSetAtOpaque(data, 2, "gh", 2);
  vtext* joined = load(split);
  EXPECT_EQ(textChars(joined), "ab\ncdef\ngh");
  EXPECT_EQ(joined->lineCount, 3);
  ASSERT_NE(joined->first->next, nullptr);
  EXPECT_EQ(joined->first->used, 8);
  EXPECT_EQ(checkText(joined, "ab\ncdef\ngh"), "");
  vtextDestroy(joined);
}

// A styled text stored in a file of either store reads back from it opened
// read-only, and opened read-write for reads alone it keeps every byte.
TEST(StoredFile, ReadsNeedNoWriteAccessAndChangeNoByte) {
  vtextGetDefaultClass();
  std::string chars = "plain bold\nitalic tail\n";
  vtext* text = texttest::textFromChars(chars, 4096);
  vtextStyle* bold = listed(text, "Bold");
  vtextStyle* italic = listed(text, "Italic");
  _vtextAddStyleRun(text, 6, 10, bold);
  _vtextAddStyleRun(text, 11, 17, italic);
  std::string dir = ::testing::TempDir() + "stored-" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  auto bytes = [](const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  for (int table : {0, 1}) {
    SCOPED_TRACE(table ? "chunk store" : ".vr store");
    std::string file = dir + (table ? "/t.res" : "/t.vr");
    vfsPath* path = vfsNewPathFromString(file.c_str());
    vresource root = vresourceCreateFileIn(table, path, 0644);
    _vtextStore(text, vresourceCreate(root, N("Text"), vresDICTIONARY));
    vresourceCloseFile(root);
    const std::string stored = bytes(file);
    ASSERT_FALSE(stored.empty());
    for (int mode : {vfsOPEN_READ, vfsOPEN_READ_WRITE}) {
      SCOPED_TRACE(mode == vfsOPEN_READ ? "read-only" : "read-write");
      vresource opened = 0;
      vtext* back = nullptr;
      std::string message;
      const vexClass* cls = raised([&] {
        opened = vresourceOpenFile(path, mode);
        back = static_cast<vtext*>(vobjectLoad(vresourceGet(opened, N("Text"))));
      }, &message);
      EXPECT_EQ(cls, nullptr) << message;
      if (back) {
        EXPECT_EQ(textChars(back), chars);
        EXPECT_EQ(runs(back), runs(text));
        vtextDestroy(back);
      }
      if (opened) vresourceCloseFile(opened);
      std::string now = bytes(file);
      std::size_t at = 0;
      while (at < now.size() && at < stored.size() && now[at] == stored[at]) ++at;
      EXPECT_TRUE(now == stored) << "the file's bytes changed from offset " << at;
    }
    vfsFreePath(path);
  }
  vtextDestroy(text);
  std::filesystem::remove_all(dir);
}

}  // namespace
