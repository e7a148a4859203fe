// Source lines as arguments, and what the stepping takes an instruction
// for (call, return, other).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "coff_writer.h"
#include "sim/asm/asm.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/source.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

namespace fs = std::filesystem;

// a.asm (8 lines) holds p:$40-$43 with lines 2, 3 and 6; b.asm (3 lines)
// holds p:$60-$61 with lines 1 and 2.
test_coff two_files() {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {}},
                {".dat", 0, 1, 0x40, {}},
                {".txt", 0x40, 0, 0x20, {0, 0, 0, 0}, 0, 3},
                {".txt", 0x60, 0, 0x20, {0, 0}, 0, 2}};
  c.lines = {{0x40, 0, 2}, {0x41, 0, 3}, {0x43, 0, 6}, {0x60, 0, 1}, {0x61, 0, 2}};
  c.symbol(".file", 3, 0, -2, 0, 103, 1);
  c.file_aux("a.asm", 1);
  c.symbol("start", 0x40, 0, 3, 0, 211);
  c.symbol(".file", 6, 0, -2, 0, 103, 1);
  c.file_aux("b.asm", 1);
  c.symbol("other", 0x60, 0, 4, 0, 211);
  return c;
}

class Source : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    make_device_current(0);
    dir = fs::temp_directory_path() / ("source_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.asm") << "1\n2\n3\n4\n5\n6\n7\n8\n";
    std::ofstream(dir / "b.asm") << "1\n2\n3\n";
    saved_path = search_path;
    search_path = dir.string();
  }
  void TearDown() override {
    search_path = saved_path;
    free_device(0);
    fs::remove_all(dir);
  }
  void load() {
    const std::string file = (dir / "prog.cld").string();
    two_files().write(file);
    ASSERT_EQ(read_coff_file(0, file.c_str()), 0) << coff_error_text();
    make_device_current(0);
    cur_inst->pc = 0x40;
  }
  fs::path dir;
  std::string saved_path;
};

TEST_F(Source, LinesAsLocationsTakeTheFirstRecordOfTheLineOrTheNextOne) {
  load();
  struct row {
    const char* text;
    int result;
    uint32_t address;
  };
  const row rows[] = {
      {"2", 1, 0x40},       {"1", 1, 0x40},       {"4", 1, 0x43},   {"6", 1, 0x43}, {"9", -1, 0},
      {"b.asm@2", 1, 0x61}, {"zz.c@3", 1, 0x41},  {"b.asm@x", 0, 0}, {"abc", 0, 0},  {"", 0, 0},
  };
  for (const row& r : rows) {
    uint32_t address = 0;
    int space = -1;
    EXPECT_EQ(source_line_location(r.text, &address, &space), r.result) << r.text;
    if (r.result == 1) {
      EXPECT_EQ(address, r.address) << r.text;
      EXPECT_EQ(space, 0) << r.text;
    }
  }
  // The view's file is the current one once it shows one.
  cur_state->view_file = 3;
  uint32_t address = 0;
  int space = 0;
  EXPECT_EQ(source_line_location("1", &address, &space), 1);
  EXPECT_EQ(address, 0x60u);
}

TEST_F(Source, ListLinesAreCutToTheFileAndNeedLineInformation) {
  load();
  struct row {
    const char* text;
    int result;
    int file;
    uint32_t line;
  };
  const row rows[] = {
      {"0", 1, 0, 1}, {"99999", 1, 0, 8}, {"@5", 1, 0, 5}, {"b.asm", 1, 3, 1}, {"b.asm@99", 1, 3, 3},
      {"zz@4", 1, 0, 4}, {"p:$10", 0, 0, 0}, {"main", 0, 0, 0},
  };
  for (const row& r : rows) {
    int file = -1;
    uint32_t line = 0;
    EXPECT_EQ(list_line_argument(r.text, &file, &line), r.result) << r.text;
    if (r.result == 1) {
      EXPECT_EQ(file, r.file) << r.text;
      EXPECT_EQ(line, r.line) << r.text;
    }
  }
  coff_free_debug_info();
  int file = -1;
  uint32_t line = 0;
  EXPECT_EQ(list_line_argument("5", &file, &line), -1);
  uint32_t address = 0;
  int space = 0;
  EXPECT_EQ(source_line_location("5", &address, &space), 0);
}

TEST_F(Source, CallsAndReturnsChooseTheFinishModes) {
  struct row {
    const char* text;
    int call;
    uint32_t length;
    int finish_mode;  // from a finish; a target call's modes are 5 above
  };
  const row rows[] = {
      {"jsr $1234", 1, 2, 11}, {"jsr $45", 1, 1, 11}, {"bsr $1234", 1, 2, 11}, {"jseq $1234", 1, 2, 11},
      {"jmp $1234", 0, 2, 10}, {"nop", 0, 1, 10},      {"rts", 0, 1, 12},      {"rti", 0, 1, 10},
  };
  for (const row& r : rows) {
    ASSERT_GT(assemble_line(r.text, 0x100), 0) << r.text;
    for (int k = 0; k < 3; ++k) {
      const uint32_t w = k < 2 ? asm_words[static_cast<std::size_t>(k)] : 0;
      cur_type->mem->write_word(SPACE_P, 0x100 + static_cast<uint32_t>(k), &w);
    }
    uint32_t length = 0;
    EXPECT_EQ(pc_at_subroutine_call(0x100, &length), r.call) << r.text;
    EXPECT_EQ(length, r.length) << r.text;
    for (const int base : {10, 15}) {
      cur_state->run_mode = base;
      cur_state->stop_address = 0;
      EXPECT_EQ(finish_classify(0x100), r.finish_mode + base - 10) << r.text;
      EXPECT_EQ(cur_state->stop_address, r.call != 0 ? 0x100 + r.length : 0u) << r.text;
    }
  }
}

}  // namespace
