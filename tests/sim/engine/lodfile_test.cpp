// ".lod" memory files: records, case, the documented normal ends, and
// all-or-nothing refusal of damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

namespace fs = std::filesystem;

// Devices 0 and 1, files in the scratch folder.
class LodFile : public device_fixture {
 protected:
  void SetUp() override {
    device_fixture::SetUp();
    make("73521", 1);
    make("73521", 0);
  }

  std::string file(const std::string& name, const std::string& text) {
    const fs::path p = scratch / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  static uint32_t x(int device, uint32_t address) { return word(device, SPACE_X, address); }
  static uint32_t p(int device, uint32_t address) { return word(device, SPACE_P, address); }
  static uint32_t word(int device, int space, uint32_t address) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(read_device_memory(device, space, address, &v), 1);
    return v;
  }
  static uint32_t pc(int device) {
    int row = -1, reg = -1;
    uint32_t v = 0xDEAD;
    EXPECT_EQ(lookup_register(device, "pc", &row, &reg), 1);
    EXPECT_EQ(read_register(device, row, reg, &v), 1);
    return v;
  }
  static void set_pc(int device, uint32_t value) {
    int row = -1, reg = -1;
    ASSERT_EQ(lookup_register(device, "pc", &row, &reg), 1);
    ASSERT_EQ(write_register(device, row, reg, &value), 1);
  }
};

TEST_F(LodFile, AcceptedFilesFillTheirWordsAndEndSetsPc) {
  // Each file is read into a fresh device 1 whose pc was 0x77; x:start on
  // holds `words`.
  const struct {
    const char* what;
    std::string text;
    uint32_t start;
    std::vector<uint32_t> words;
    uint32_t pc;
  } cases[] = {
      {"data fills consecutive addresses, end sets pc", "_DATA X 100 1 2 3\n_END 10\n", 0x100, {1, 2, 3, 0}, 0x10},
      // As the save command writes it, keywords and space names in other cases.
      {"saved format in any case with CR LF", "\r\n_data x 200\r\n a b c d e f 10 11\r\n FFFF\r\n_End 20 \r\n",
       0x200, {0xA, 0xB, 0xC, 0xD, 0xE, 0xF, 0x10, 0x11, 0xFFFF}, 0x20},
      {"end without an address leaves pc", "\n_DATA x 10\n 5\n_END \n", 0x10, {5}, 0x77},
      {"skipped records, and an unknown keyword ends reading",
       "_START prog 0000 0000 0000 zz\n_COMMENT built by hand -- not hex\n_DATA X 300 7\n"
       "_SYMBOL P\nfoo I 0010\n_DATA X 301 8\n_UNKNOWN\n_DATA X 302 zz\n",
       0x300, {7, 8, 0}, 0x77},
      {"ninety-character words", "_COMMENT " + std::string(90, 'c') + "\n_DATA X 100 " + std::string(89, '0') + "1\n",
       0x100, {1}, 0x77},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    free_device(1);
    ASSERT_EQ(create_device(1, "73521"), 1);
    set_pc(1, 0x77);
    const std::string path = file("a.lod", c.text);
    EXPECT_NE(read_lod_file(1, path.c_str()), 0);
    for (std::size_t i = 0; i < c.words.size(); ++i) EXPECT_EQ(x(1, c.start + static_cast<uint32_t>(i)), c.words[i]) << i;
    EXPECT_EQ(pc(1), c.pc);
    EXPECT_TRUE(last_lod_fault().reason.empty());
    EXPECT_EQ(x(0, c.start), 0u);  // only the named device is loaded
  }
}

TEST_F(LodFile, BlockdataFillsCountWords) {
  for (uint32_t a = 0; a <= 0x10; ++a) {
    const uint32_t v = 0x1234;
    ASSERT_EQ(write_device_memory(0, SPACE_P, a, &v), 1);
  }
  const std::string path = file("b.lod", "_BLOCKDATA P 0 10 0\n");
  EXPECT_NE(read_lod_file(0, path.c_str()), 0);
  for (uint32_t a = 0; a < 0x10; ++a) EXPECT_EQ(p(0, a), 0u) << a;
  EXPECT_EQ(p(0, 0x10), 0x1234u);
}

TEST_F(LodFile, FileThatDoesNotStartWithARecordLoadsNothing) {
  for (const char* text : {"DATA X 100 1\n", "_FOO\n_DATA X 100 1\n", "", "  \n\n"}) {
    const std::string path = file("f.lod", text);
    EXPECT_EQ(read_lod_file(0, path.c_str()), 0) << text;
    EXPECT_EQ(x(0, 0x100), 0u) << text;
    EXPECT_EQ(last_lod_fault().file, path);
  }
}

TEST_F(LodFile, NinetyCharacterWordsAreRead) {
  const std::string long_comment(90, 'c');
  const std::string long_one = std::string(89, '0') + "1";
  const std::string path =
      file("g.lod", "_COMMENT " + long_comment + "\n_DATA X 100 " + long_one + "\n");
  EXPECT_NE(read_lod_file(0, path.c_str()), 0);
  EXPECT_EQ(x(0, 0x100), 1u);
}

TEST_F(LodFile, RefusedFileChangesNeitherMemoryNorPc) {
  // Each file writes x:200 and pc before its fault; `line` is where the fault is.
  struct refused {
    const char* what;
    std::string text;
    int line;
  };
  const std::string head = "_DATA X 200 1 2\n_END 40\n";
  std::string longer_than_x;
  for (int i = 0; i <= 0x10000; ++i) longer_than_x += i % 16 == 15 ? "1\n" : "1 ";
  const refused cases[] = {
      {"word not hexadecimal", head + "_DATA X 300 5 zz 6\n", 3},
      {"prefixed number", head + "_DATA X 300\n 0x10\n", 4},
      {"number wider than 32 bits", head + "_DATA X 300 123456789\n", 3},
      {"unknown space", head + "\n_DATA Q 300 5\n", 4},
      {"blockdata cut short by the end", head + "_BLOCKDATA X 300 4\n", 3},
      {"data cut short by a keyword", head + "_DATA X\n_END 50\n", 3},
      {"end address not hexadecimal", head + "_END 4g\n", 3},
      {"over-long word in a comment", head + "_COMMENT " + std::string(91, 'a') + "\n", 3},
      {"over-long number", head + "_DATA X 300\n\n" + std::string(91, '0') + "\n", 5},
      {"fill beyond the address space", head + "_BLOCKDATA X 0 10001 5\n", 3},
      {"word after a complete record", head + "_BLOCKDATA X 0 1 5 6\n", 3},
      {"data longer than its memory space", head + "_DATA X 0\n" + longer_than_x, 4 + 0x10000 / 16},
      {"data starting past the last address", head + "_DATA X 10000 1\n", 3},
  };
  for (const refused& c : cases) {
    set_pc(0, 0x77);
    const std::string path = file("r.lod", c.text);
    EXPECT_EQ(read_lod_file(0, path.c_str()), 0) << c.what;
    EXPECT_EQ(x(0, 0x200), 0u) << c.what;
    EXPECT_EQ(x(0, 0x201), 0u) << c.what;
    EXPECT_EQ(x(0, 0x300), 0u) << c.what;
    EXPECT_EQ(x(0, 0), 0u) << c.what;
    EXPECT_EQ(pc(0), 0x77u) << c.what;
    const lod_fault& fault = last_lod_fault();
    EXPECT_EQ(fault.file, path) << c.what;
    EXPECT_EQ(fault.line, c.line) << c.what;
    EXPECT_FALSE(fault.reason.empty()) << c.what;
  }
}

// Blocks that save writes across the top of a space go on at its start.
TEST_F(LodFile, BlocksAcrossTheTopOfASpaceGoOnAtItsStart) {
  EXPECT_NE(read_lod_file(0, file("w.lod", "_DATA P FFFE 1 2\n 3 4\n").c_str()), 0);
  EXPECT_EQ(p(0, 0xFFFE), 1u);
  EXPECT_EQ(p(0, 0xFFFF), 2u);
  EXPECT_EQ(p(0, 0), 3u);
  EXPECT_EQ(p(0, 1), 4u);
  EXPECT_NE(read_lod_file(0, file("f.lod", "_BLOCKDATA P FFF0 11 5\n").c_str()), 0);
  EXPECT_EQ(p(0, 0xFFF0), 5u);
  EXPECT_EQ(p(0, 0xFFFF), 5u);
  EXPECT_EQ(p(0, 0), 5u);
  EXPECT_EQ(p(0, 1), 4u);
}

TEST_F(LodFile, MissingFileOrDeviceLoadsNothing) {
  EXPECT_EQ(read_lod_file(0, (scratch / "absent.lod").string().c_str()), 0);
  const std::string path = file("h.lod", "_DATA X 100 1\n");
  free_device(1);
  EXPECT_EQ(read_lod_file(1, path.c_str()), 0);
  EXPECT_EQ(read_lod_file(-1, path.c_str()), 0);
  EXPECT_EQ(read_lod_file(DEVICE_MAX, path.c_str()), 0);
  EXPECT_EQ(x(0, 0x100), 0u);
}

}  // namespace
