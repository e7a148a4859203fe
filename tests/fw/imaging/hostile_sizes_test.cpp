// Files that claim far more pixels than their bytes hold are refused
// before anything is allocated, even where memory is short; a merely cut
// file still reads.
#include <gtest/gtest.h>

#include <string>

#include "fw/core/mem.h"
#include "fw/imaging/codecs/vimportgif.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportxbm.h"
#include "tests/fw/imaging/images.h"
#include "tests/support/address_limit.h"

using namespace testimg;

namespace {

constexpr std::size_t kRoom = std::size_t(256) << 20;

std::string le16(int v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }

// A GIF of two colours whose image claims width x height and holds a few
// bytes of codes.
std::string gif(int width, int height, const std::string& codes) {
  std::string g = "GIF87a" + le16(16) + le16(16) + std::string("\x80\x00\x00", 3) +
                  std::string("\x00\x00\x00\xFF\xFF\xFF", 6) + "," + le16(0) + le16(0) + le16(width) +
                  le16(height) + std::string(1, '\0') + "\x02" + char(codes.size()) + codes;
  return g + std::string(1, '\0') + ";";
}

class HostileSizes : public FileTest {};

TEST_F(HostileSizes, ClaimsFarBeyondTheFileAreRefusedUnderALimitedAddressSpace) {
  struct Case {
    const char* what;
    std::string bytes;
    vimage* (*read)(const vfsPath*);
  } cases[] = {
      {"P6", "P6\n32767 32767\n255\n", vimportPBM},
      {"P5", "P5 32767 32767 255\n" + std::string(100, 'x'), vimportPBM},
      {"P4", "P4 32767 32767\n" + std::string(1000, '\xFF'), vimportPBM},
      {"P3", "P3 30000 30000 255 1 2 3", vimportPBM},
      {"P2", "P2 30000 30000 255 1 2 3", vimportPBM},
      {"P1", "P1 32767 32767 1 0 1", vimportPBM},
      {"GIF", gif(30000, 30000, std::string("\x84\x1D\x81\x7A\x50", 5)), vimportGIF},
      {"GIF wide", gif(32767, 2000, std::string(200, '\0')), vimportGIF},
      {"XBM", "#define i_width 32767\n#define i_height 32767\nstatic char i_bits[] = {0x00, 0xFF};", vimportXBM},
  };
  for (const Case& c : cases) {
    putFile(c.bytes);
    int answer = addrlimit::inChild(kRoom, [&] {
      vimage* image = nullptr;
      const vexClass* cls = raised([&] { image = c.read(path); });
      return cls ? 2 : image ? 1 : 0;
    });
    EXPECT_EQ(answer, 0) << c.what << " (1: an image, 2: an exception, -1: a signal)";
  }
}

TEST_F(HostileSizes, CutFilesWithinReachStillRead) {
  struct Case {
    const char* what;
    std::string bytes;
    vimage* (*read)(const vfsPath*);
    int width;
  } cases[] = {
      {"P6 header only", "P6\n10 10\n255\n", vimportPBM, 10},
      {"P6 cut", "P6 100 100 255\n" + std::string(3000, '\x01'), vimportPBM, 100},
      {"P1 without bits", "P1 200 200", vimportPBM, 200},
      {"GIF with few codes", gif(200, 200, std::string("\x84\x1D\x81\x7A\x50", 5)), vimportGIF, 200},
  };
  for (const Case& c : cases) {
    putFile(c.bytes);
    vimage* image = keep(c.read(path));
    ASSERT_NE(image, nullptr) << c.what;
    EXPECT_EQ(image->width, c.width) << c.what;
  }
}

// The image layer refuses a pixel store past its cap with the memory
// exception, before allocating; one within it is made.
TEST(ImageStoreCap, SizesAndDepthsPastTheCapRaiseMemory) {
  struct Case {
    int width, height, depth;
    bool refused;
  } cases[] = {
      {32767, 32767, 8, true},  {32767, 32767, 24, true}, {8192, 8192, 32, false},
      {16384, 16384, 8, false}, {16385, 16384, 8, true},  {32767, 32767, 1, false},
  };
  for (const Case& c : cases) {
    int answer = addrlimit::inChild(std::size_t(768) << 20, [&] {
      vimage* image = nullptr;
      const vexClass* cls = raised([&] { image = make(1, 1, 1); });
      if (cls) return 3;
      // Growing the size, then the depth: either step may pass the cap.
      cls = raised([&] {
        vpixmapSetSize(image, c.width, c.height, 0, 0);
        vimageSetNoPalette(image, 1);
        vpixmapSetDepth(image, c.depth);
      });
      bool wellSized = image->width == 1 || std::size_t(vpixmapGetRowBytes(image)) * std::size_t(image->height) <=
                                                vpixmapMAX_STORE_BYTES;
      vimageDestroy(image);
      if (!wellSized) return 4;
      return !cls ? 0 : vexClassDerives(cls, &vexMemoryClass) ? 1 : 2;
    });
    EXPECT_EQ(answer, c.refused ? 1 : 0) << c.width << "x" << c.height << "x" << c.depth;
  }
  vimage* tooBig = nullptr;
  EXPECT_TRUE(vexClassDerives(raised([&] { tooBig = vimageCreateSized(32767, 32767, 256); }), &vexMemoryClass));
  EXPECT_EQ(tooBig, nullptr);
}

}  // namespace
