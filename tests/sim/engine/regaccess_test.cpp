// Registers by name, the case-insensitive helpers, file paths and the
// search along the working directory and the search path.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "memory_fixture.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"

namespace {

namespace fs = std::filesystem;

TEST(TextHelpers, CompareFoldingCase) {
  EXPECT_EQ(str_icmp("PC", "pc"), 0);
  EXPECT_LT(str_icmp("abc", "ABD"), 0);
  EXPECT_GT(str_icmp("B", "a"), 0);
  EXPECT_LT(str_icmp("ab", "abc"), 0);
  EXPECT_EQ(str_nicmp("CRA0", "cra", 3), 0);
  EXPECT_EQ(str_nicmp("cra", "CRB", 2), 0);
  EXPECT_NE(str_nicmp("cra", "crb", 3), 0);
  EXPECT_NE(str_nicmp("cr", "cra", 3), 0);
  EXPECT_EQ(str_nicmp("anything", "else", 0), 0);

  char text[] = "Tx1_Data";
  EXPECT_EQ(str_lower(text), 1);
  EXPECT_STREQ(text, "tx1_data");
}

TEST(TextHelpers, FindKeyword) {
  const char* const list[] = {"blockdata", "comment", "data", "end"};
  EXPECT_EQ(find_keyword("END", list, 4), 3);
  EXPECT_EQ(find_keyword("Data", list, 4), 2);
  EXPECT_EQ(find_keyword("en", list, 4), -1);
  EXPECT_EQ(find_keyword("end", list, 3), -1);  // the count bounds the list
}

class Registers : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
  }
  void TearDown() override {
    free_device(0);
    free_device(1);
  }
  // "row number, row name, register name" of what a name finds; "" for nothing.
  static std::string found(int device, const char* name) {
    int row = -1, reg = -1;
    if (lookup_register(device, name, &row, &reg) != 1) return "";
    return std::to_string(row) + " " + cur_type->periphs[row].name + " " + cur_type->periphs[row].cls->regs[reg].name;
  }
};

TEST_F(Registers, LookupByNameInAnyCaseWithTheSerialSuffix) {
  int row = -1, reg = -1;
  ASSERT_EQ(lookup_register(0, "PC", &row, &reg), 1);
  EXPECT_EQ(std::make_pair(row, reg), std::make_pair(0, static_cast<int>(CORE_PC)));
  ASSERT_EQ(lookup_register(0, "x0", &row, &reg), 1);
  EXPECT_EQ(std::make_pair(row, reg), std::make_pair(0, static_cast<int>(CORE_X0)));
  const std::pair<const char*, const char*> cases[] = {
      {"Tpr", "4 timer tpr"},
      // Serial registers need their suffix.
      {"cra", ""}, {"cra0", "2 ssi0 cra"}, {"tx1", "3 ssi1 tx"}, {"CRA1", "3 ssi1 cra"}, {"cra2", ""},
      {"", ""}, {"0", ""}, {"nosuch", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(found(0, name), expected) << name;
}

TEST_F(Registers, NoDeviceNoRegister) {
  int row = -1, reg = -1;
  EXPECT_EQ(lookup_register(1, "pc", &row, &reg), 0);  // empty slot
  EXPECT_EQ(lookup_register(-1, "pc", &row, &reg), 0);
  EXPECT_EQ(lookup_register(DEVICE_MAX, "pc", &row, &reg), 0);
  uint32_t v = 0;
  EXPECT_EQ(read_register(0, 99, 0, &v), 0);
  EXPECT_EQ(read_register(0, 0, 99, &v), 0);
  EXPECT_EQ(write_register(0, 0, -1, &v), 0);
}

TEST_F(Registers, WritesGoToTheNamedDevice) {
  ASSERT_EQ(create_device(1, "73521"), 1);
  int row = -1, reg = -1;
  ASSERT_EQ(lookup_register(0, "pc", &row, &reg), 1);
  const uint32_t first = 0x1234, second = 0x0042;
  ASSERT_EQ(write_register(0, row, reg, &first), 1);
  ASSERT_EQ(write_register(1, row, reg, &second), 1);
  uint32_t v = 0;
  ASSERT_EQ(read_register(0, row, reg, &v), 1);
  EXPECT_EQ(v, 0x1234u);
  ASSERT_EQ(read_register(1, row, reg, &v), 1);
  EXPECT_EQ(v, 0x0042u);
  EXPECT_EQ(cur_device, 1);
}

TEST_F(Registers, BusMappedRegisterLandsAtBasePlusOffset) {
  // tcpr is register 3 at offset 2, tpr register 2 at offset 3.
  int row = -1, tpr = -1, tcpr = -1;
  ASSERT_EQ(lookup_register(0, "tpr", &row, &tpr), 1);
  ASSERT_EQ(lookup_register(0, "tcpr", &row, &tcpr), 1);
  ASSERT_NE(cur_type->periphs[row].cls->regs[tpr].access & REG_BUS_MAPPED, 0u);
  const uint32_t a = 0x1234, b = 0x0567;
  ASSERT_EQ(write_register(0, row, tpr, &a), 1);
  ASSERT_EQ(write_register(0, row, tcpr, &b), 1);
  uint32_t v = 0;
  ASSERT_EQ(read_device_memory(0, SPACE_X, 0xFFEF, &v), 1);
  EXPECT_EQ(v, 0x1234u);
  ASSERT_EQ(read_device_memory(0, SPACE_X, 0xFFEE, &v), 1);
  EXPECT_EQ(v, 0x0567u);
  ASSERT_EQ(read_register(0, row, tpr, &v), 1);
  EXPECT_EQ(v, 0x1234u);
}

TEST_F(Registers, ReadOnlyRegisterSharingAnAddressIsSetInPlace) {
  // rx and tx of a serial port answer the same bus address; changing rx0
  // must not transmit through tx0.
  int row = -1, rx = -1, tx = -1;
  ASSERT_EQ(lookup_register(0, "rx0", &row, &rx), 1);
  ASSERT_EQ(lookup_register(0, "tx0", &row, &tx), 1);
  const uint32_t value = 0x1234;
  ASSERT_EQ(write_register(0, row, rx, &value), 1);
  uint32_t v = 0;
  ASSERT_EQ(read_register(0, row, rx, &v), 1);
  EXPECT_EQ(v, 0x1234u);
  ASSERT_EQ(read_register(0, row, tx, &v), 1);
  EXPECT_EQ(v, 0u);
}

TEST(FilePath, JoinsDirectoryNameAndExtension) {
  const struct {
    const char *dir, *name, *ext, *path;
  } cases[] = {
      {"dir", "a", ".cmd", "dir/a.cmd"}, {"dir/", "a", ".cmd", "dir/a.cmd"}, {"", "a", ".cmd", "a.cmd"},
      {nullptr, "a", nullptr, "a"},
      {"c:", "a", ".cmd", "c:/a.cmd"},  // ':' is an ordinary character
      {"dir", "b.txt", ".cmd", "dir/b.txt"},
      // Absolute names and backslashes.
      {"dir", "/x.cmd", ".lod", "/x.cmd"}, {"dir", "\\x.cmd", ".lod", "/x.cmd"},
      {"C:\\work\\", "sub\\prog", ".lod", "C:/work/sub/prog.lod"},
      // Only a '.' after the name's last separator is an extension.
      {"d.x", "sub.d\\name", ".io", "d.x/sub.d/name.io"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(make_file_path(c.dir, c.name, c.ext, out)) << c.path;
    EXPECT_EQ(out, c.path);
  }
}

TEST(FilePath, LongestPathIs256Characters) {
  std::string out = "old";
  const std::string dir(250, 'd');
  ASSERT_TRUE(make_file_path(dir.c_str(), "abc", ".c", out));  // 250 + 1 + 3 + 2
  EXPECT_EQ(out.size(), 256u);
  EXPECT_FALSE(make_file_path(dir.c_str(), "abc", ".cm", out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(make_file_path("", ("/" + std::string(256, 'n')).c_str(), "", out));
}

// The working directory "work", and "prog.lod" in "two" only: in "one"
// the name is a directory, which is no file.
class SearchPath : public device_fixture {
 protected:
  void SetUp() override {
    device_fixture::SetUp();
    fs::create_directories(scratch / "work");
    fs::create_directories(scratch / "one/prog.lod");
    fs::create_directories(scratch / "two");
    std::ofstream(scratch / "two/prog.lod") << "_END\n";
    make("73521");
    cur_inst->work_dir = dir("work");
    saved_path_ = search_path;
  }
  void TearDown() override {
    search_path = saved_path_;
    device_fixture::TearDown();
  }
  std::string dir(const char* name) const { return (scratch / name).string(); }

  std::string saved_path_;
};

TEST_F(SearchPath, FindsFileInTheSecondDirectory) {
  search_path = dir("one") + "," + dir("two");
  std::string out;
  EXPECT_EQ(find_file_on_path("prog", ".lod", out), 1);
  EXPECT_EQ(out, dir("two") + "/prog.lod");
  // The working directory comes first.
  std::ofstream(scratch / "work/prog.lod") << "_END\n";
  EXPECT_EQ(find_file_on_path("prog", ".lod", out), 1);
  EXPECT_EQ(out, dir("work") + "/prog.lod");
}

TEST_F(SearchPath, SkipsEmptyAndOverlongEntriesAndReportsLastTry) {
  search_path = "," + std::string(256, 'z') + "," + dir("two");
  std::string out;
  EXPECT_EQ(find_file_on_path("prog", ".lod", out), 1);
  EXPECT_EQ(out, dir("two") + "/prog.lod");

  search_path = dir("one") + "," + dir("two");
  EXPECT_EQ(find_file_on_path("absent", ".lod", out), 0);
  EXPECT_EQ(out, dir("two") + "/absent.lod");
  search_path.clear();
  EXPECT_EQ(find_file_on_path("prog", ".lod", out), 0);
  EXPECT_EQ(out, dir("work") + "/prog.lod");
}

TEST_F(SearchPath, NameMayBeTheOutputString) {
  search_path = dir("two");
  std::string name = "prog";
  EXPECT_EQ(find_file_on_path(name.c_str(), ".lod", name), 1);
  EXPECT_EQ(name, dir("two") + "/prog.lod");
}

}  // namespace
