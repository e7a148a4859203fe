#include "fw/imaging/codecs/vimportwin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

using Bytes = std::vector<std::uint8_t>;

class BmpWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("bmpwriter-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Writes the image to name; the result, and the bytes in the file.
  int write(vimage* image, const char* name = "out.bmp") {
    vfsPath* path = vfsNewPathFromString((dir / name).c_str());
    int result = vimportwinWriteBMP(path, image);
    vfsFreePath(path);
    return result;
  }
  Bytes read(const char* name = "out.bmp") {
    std::ifstream in(dir / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::size_t filesIn() {
    return std::size_t(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
  }
  static std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
  }
  static std::uint16_t u16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

  std::filesystem::path dir;
  Images keep;
};

TEST_F(BmpWriter, TwentyFourBitsByteForByte) {
  // Row 0 is the bottom: it comes first in the file.
  vimage* image = keep(make(3, 2, 24, {0x0000FF, 0x00FF00, 0xFF0000, 0xABCDEF, 0x123456, 0xFFFFFF}));
  ASSERT_EQ(write(image), 1);
  const Bytes expected = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                        // information header
      0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0,                           // bottom row, padded
      0xEF, 0xCD, 0xAB, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0, 0, 0,         // top row
  };
  EXPECT_EQ(read(), expected);
  EXPECT_EQ(vpixmapGetRowAlignment(image), 32);
  // The same picture stored top row first and the other byte order.
  vimage* other = keep(make(3, 2, 24, {0x0000FF, 0x00FF00, 0xFF0000, 0xABCDEF, 0x123456, 0xFFFFFF}));
  vpixmapSetBottomUp(other, 1);
  vpixmapSetByteOrder(other, 1);
  ASSERT_EQ(write(other, "other.bmp"), 1);
  EXPECT_EQ(read("other.bmp"), expected);
}

TEST_F(BmpWriter, HeadersAndTablesOfEachKind) {
  struct Case {
    const char* what;
    int width, depth;
    int entries;  // palette entries, -1 without a palette
    std::uint16_t bits;
    std::uint32_t offset, colorsUsed, rowBytes;
  } cases[] = {
      {"1-bit without palette", 8, 1, -1, 1, 62, 0, 4},
      {"1-bit width 33", 33, 1, 2, 1, 62, 0, 8},
      {"8-bit of 256", 5, 8, 256, 8, 1078, 0, 8},
      {"8-bit of 20", 5, 8, 20, 8, 134, 20, 8},
      {"2-bit as 4", 9, 2, 4, 4, 70, 4, 8},
      {"8-bit without palette: grey ramp", 2, 8, -1, 8, 1078, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vimage* image = keep(make(c.width, 2, c.depth));
    if (c.entries < 0)
      vimageSetNoPalette(image, 1);
    else
      vimageSetColorCount(image, std::uint32_t(c.entries));
    ASSERT_EQ(write(image), 1);
    Bytes b = read();
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(u32(b, 2), b.size());
    EXPECT_EQ(u32(b, 10), c.offset);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), std::uint32_t(c.width));
    EXPECT_EQ(u32(b, 22), 2u);
    EXPECT_EQ(u16(b, 26), 1);
    EXPECT_EQ(u16(b, 28), c.bits);
    EXPECT_EQ(u32(b, 46), c.colorsUsed);
    EXPECT_EQ(b.size(), c.offset + 2 * c.rowBytes);
  }
  // Without palette: black then white; the ramp runs from black to white.
  vimage* mono = keep(make(8, 1, 1));
  vimageSetNoPalette(mono, 1);
  write(mono);
  Bytes b = read();
  EXPECT_EQ(Bytes(b.begin() + 54, b.begin() + 62), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
  vimage* grey = keep(make(2, 1, 8));
  vimageSetNoPalette(grey, 1);
  write(grey);
  b = read();
  EXPECT_EQ(Bytes(b.begin() + 54 + 4 * 128, b.begin() + 54 + 4 * 129), (Bytes{128, 128, 128, 0}));
  EXPECT_EQ(Bytes(b.begin() + 54 + 4 * 255, b.begin() + 54 + 4 * 256), (Bytes{255, 255, 255, 0}));
}

TEST_F(BmpWriter, ComponentsRoundDownAndSubBytePixelsPack) {
  vimage* image = keep(make(9, 1, 2, {0, 1, 2, 3, 3, 2, 1, 0, 3}));
  vcolorList* p = vimageGetPalette(image);
  vcolorSetSpecRGB(&p->entries[0], 65534, 65535, 257);
  vcolorSetSpecRGB(&p->entries[1], 256, 0, 32768);
  ASSERT_EQ(write(image), 1);
  Bytes b = read();
  // Blue, green, red, 0.
  EXPECT_EQ(Bytes(b.begin() + 54, b.begin() + 62), (Bytes{1, 255, 254, 0, 127, 0, 0, 0}));
  // Each 2-bit index in a nibble, the first pixel in the high one.
  EXPECT_EQ(Bytes(b.begin() + 70, b.end()), (Bytes{0x01, 0x23, 0x32, 0x10, 0x30, 0, 0, 0}));

  vimage* bits = keep(make(10, 1, 1, {1, 0, 1, 1, 0, 0, 0, 1, 1, 1}));
  ASSERT_EQ(write(bits), 1);
  b = read();
  EXPECT_EQ(Bytes(b.begin() + 62, b.end()), (Bytes{0xB1, 0xC0, 0, 0}));
}

TEST_F(BmpWriter, RefusedAndFailedWritesKeepTheOldFile) {
  vimage* good = keep(make(3, 2, 24));
  ASSERT_EQ(write(good), 1);
  Bytes old = read();
  vimage* deep = keep(make(3, 2, 16));
  EXPECT_EQ(write(deep), 0);
  EXPECT_EQ(read(), old);
  EXPECT_EQ(filesIn(), 1u);
  // A folder where the file should be: opening fails; nothing is left.
  std::filesystem::create_directories(dir / "sub");
  vfsPath* path = vfsNewPathFromString((dir / "missing" / "x.bmp").c_str());
  bool raised = false;
  vexGuard([&] { vimportwinWriteBMP(path, good); },
           [&](vexHandler& h) {
             raised = true;
             vexSetCurrentException(h.savedChain);
           });
  vfsFreePath(path);
  EXPECT_TRUE(raised);
  EXPECT_TRUE(raisesArg([&] { vimportwinWriteBMP(nullptr, good); }));
  EXPECT_EQ(filesIn(), 2u);  // out.bmp and sub
  struct stat st;
  ASSERT_EQ(stat((dir / "out.bmp").c_str(), &st), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);  // the usual mode, not the private one
}

// An image written to a link, a FIFO no one reads, a device and under the
// longest name a folder takes: written where the name leads (the link kept),
// or refused at once.
TEST_F(BmpWriter, WritesGoWhereTheNameLeads) {
  vimage* good = keep(make(3, 2, 24));
  ASSERT_EQ(write(good), 1);
  const Bytes bytes = read();
  std::filesystem::create_symlink("out.bmp", dir / "link.bmp");
  std::filesystem::remove(dir / "out.bmp");
  EXPECT_EQ(write(good, "link.bmp"), 1);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bmp"));
  EXPECT_EQ(read(), bytes);
  std::filesystem::create_symlink("/dev/null", dir / "null.bmp");
  EXPECT_EQ(write(good, "null.bmp"), 1);
  const std::string long_name(255, 'b');
  EXPECT_EQ(write(good, long_name.c_str()), 1);
  EXPECT_EQ(read(long_name.c_str()), bytes);
  ASSERT_EQ(mkfifo((dir / "fifo.bmp").c_str(), 0600), 0);
  int errnum = 0;
  vexGuard([&] { write(good, "fifo.bmp"); },
           [&](vexHandler& h) {
             errnum = vexGetCurrentException()->errnum;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(errnum, ENXIO);
  EXPECT_EQ(filesIn(), 5u);  // out.bmp, link.bmp, null.bmp, the long one and fifo.bmp: no temporary left
}

}  // namespace
