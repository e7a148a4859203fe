// The window records: numbers, the passes over all windows and a file
// loaded into a text in blocks.
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui_support.h"

namespace {

using Records = GuiFixture;

std::vector<std::string> calls;

// Stands for a framework window: only compared, never called.
vwindow* fake_window(int i) {
  static char windows[16];
  return reinterpret_cast<vwindow*>(&windows[i]);
}

std::string name_of(const gui::sim_window* r) {
  return std::to_string(r->kind) + "/" + std::to_string(r->device) + "/" + std::to_string(r->number);
}

gui::sim_window* make(int kind, int device, int number) {
  static int next = 0;
  gui::sim_window* r = gui::window_record_new(kind, device, number, fake_window(next++ % 16));
  r->refresh = [](gui::sim_window* w, int busy) { calls.push_back("refresh " + name_of(w) + " " + std::to_string(busy)); };
  r->update = [](gui::sim_window* w) { calls.push_back("update " + name_of(w)); };
  r->close = [](gui::sim_window* w) {
    calls.push_back("close " + name_of(w));
    gui::window_record_free(w);
  };
  return r;
}

TEST_F(Records, NumbersAreReusedPerKindAndDevice) {
  for (int i = 0; i < 2; ++i) make(gui::SIMWIN_MEMORY, 0, gui::window_number_free(0, gui::SIMWIN_MEMORY));
  EXPECT_EQ(gui::window_number_free(0, gui::SIMWIN_MEMORY), 3);
  EXPECT_EQ(gui::window_number_free(1, gui::SIMWIN_MEMORY), 1) << "another device";
  EXPECT_EQ(gui::window_number_free(-2, gui::SIMWIN_MEMORY), 3) << "any device";
  gui::window_find(gui::SIMWIN_MEMORY, 0, 1)->close(gui::window_find(gui::SIMWIN_MEMORY, 0, 1));
  EXPECT_EQ(gui::window_number_free(0, gui::SIMWIN_MEMORY), 1);
  EXPECT_EQ(gui::window_title(gui::SIMWIN_MEMORY, 3, 2, "x:$0010"), "Dv03 Memory Win2 x:$0010");
  EXPECT_EQ(gui::window_title(gui::SIMWIN_SESSION, 0, 0), "Dv00 Session");
  EXPECT_EQ(gui::window_title(gui::SIMWIN_LIST, -1, 4, "a.lst"), "List Win4 a.lst");
}

TEST_F(Records, UpdateTakesTheUnboundWindowsRefreshDoesNot) {
  calls.clear();
  make(gui::SIMWIN_COMMAND, -1, 0);
  make(gui::SIMWIN_REGISTER, 3, 1);
  make(gui::SIMWIN_REGISTER, 2, 1);
  gui::window_update_all(3);
  EXPECT_EQ(calls, (std::vector<std::string>{"update 11/3/1", "update 3/-1/0"}));
  calls.clear();
  gui::window_refresh_all(1, 3);
  EXPECT_EQ(calls, (std::vector<std::string>{"refresh 11/3/1 1"}));
  calls.clear();
  gui::window_refresh_all(0, -2);
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(Records, AnUpdateThatReportsAnErrorEndsThePass) {
  calls.clear();
  make(gui::SIMWIN_WATCH, 0, 1)->update = [](gui::sim_window*) {
    calls.push_back("failing");
    error_report("Invalid parameter");
  };
  make(gui::SIMWIN_WATCH, 0, 2)->update = [](gui::sim_window*) {
    calls.push_back("failing");
    error_report("Invalid parameter");
  };
  gui::script_answer(gui::ANSWER_OK);
  gui::window_update_all(-2);
  EXPECT_EQ(calls, std::vector<std::string>{"failing"});
}

TEST_F(Records, CloseAllClosesTheMainWindowLast) {
  calls.clear();
  make(gui::SIMWIN_MAIN, -1, -1);
  make(gui::SIMWIN_SESSION, -1, 0);
  make(gui::SIMWIN_SOURCE, 0, 0);
  make(gui::SIMWIN_SOURCE, 1, 0);
  gui::window_close_all(1);
  EXPECT_EQ(calls, std::vector<std::string>{"close 14/1/0"});
  calls.clear();
  gui::window_close_all(-2);
  EXPECT_EQ(calls, (std::vector<std::string>{"close 14/0/0", "close 13/-1/0", "close 6/-1/-1"}));
  EXPECT_TRUE(gui::window_records().empty());
}

// The snapshot runs newest first; closing the newest also closes the one
// opened before it, whose cell must then be skipped.
TEST_F(Records, ASnapshotCellWhoseWindowWasClosedIsSkipped) {
  calls.clear();
  static gui::sim_window* older;
  older = make(gui::SIMWIN_INPUT, 0, 0);
  make(gui::SIMWIN_OUTPUT, 0, 0)->close = [](gui::sim_window* w) {
    calls.push_back("close " + name_of(w));
    older->close(older);
    gui::window_record_free(w);
  };
  gui::window_close_all(-2);
  EXPECT_EQ(calls, (std::vector<std::string>{"close 9/0/0", "close 4/0/0"}));
  EXPECT_TRUE(gui::window_records().empty());
}

TEST_F(Records, PlacementFollowsTheGreatestNumberOfTheKind) {
  make(gui::SIMWIN_WATCH, 0, 2);
  gui::sim_window* three = make(gui::SIMWIN_WATCH, 0, 3);
  make(gui::SIMWIN_WATCH, 0, 1);
  gui::sim_window* fresh = make(gui::SIMWIN_WATCH, 0, 4);
  EXPECT_EQ(gui::window_place_reference(fresh), three);
  make(gui::SIMWIN_STACK, 0, 0);
  gui::sim_window* dv2 = make(gui::SIMWIN_STACK, 2, 0);
  make(gui::SIMWIN_STACK, 1, 0);
  EXPECT_EQ(gui::window_place_reference(make(gui::SIMWIN_STACK, 3, 0)), dv2);
  EXPECT_EQ(gui::window_place_reference(make(gui::SIMWIN_CALLS, 0, 0)), nullptr);
}

TEST_F(Records, TextFilesLoadInBlocksCutAfterTheLastLineEnd) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::size_t> blocks;
  };
  const std::string line(99, 'a');  // 100 bytes with its line end
  std::string exact;
  for (int i = 0; i < 77; ++i) exact += line + "\n";  // 7700 bytes
  std::string fits;
  for (int i = 0; i < 76; ++i) fits += line + "\n";  // 7600 bytes
  const std::string longest(10000, 'z');
  const Case cases[] = {
      {"short", "one\ntwo", {7}},
      {"over_a_block", exact, {7600, 100}},
      {"one_block", fits, {7600}},
      {"long_line", longest + "\nend\n", {7681, 2320 + 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = temp_file(std::string("load_") + c.name, c.text);
    struct sink {
      std::vector<std::size_t> sizes;
      std::string text;
    } got;
    ASSERT_TRUE(gui::text_file_load(path.c_str(), [](void* item, const char* bytes, std::size_t n) {
      auto* s = static_cast<sink*>(item);
      s->sizes.push_back(n);
      s->text.append(bytes, n);
    }, &got));
    EXPECT_EQ(got.sizes, c.blocks);
    for (std::size_t n : got.sizes) EXPECT_LE(n, gui::TEXT_LOAD_BLOCK + 1);
    if (c.text.size() < 10000) EXPECT_EQ(got.text, c.text);
    else EXPECT_EQ(got.text, longest.substr(0, 7680) + "\n" + longest.substr(7680) + "\nend\n");
  }
  EXPECT_FALSE(gui::text_file_load("/nonexistent/file", [](void*, const char*, std::size_t) {}, nullptr));

  // A raise out of the append (a text past its size) closes the file.
  const std::string path = temp_file("load_raises", "line\n");
  const auto open_files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
  };
  const auto before = open_files();
  for (int i = 0; i < 3; ++i)
    EXPECT_THROW(gui::text_file_load(path.c_str(), [](void*, const char*, std::size_t) { throw std::length_error("full"); },
                                     nullptr),
                 std::length_error);
  EXPECT_EQ(open_files(), before);
}

}  // namespace
