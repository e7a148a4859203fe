#include "fw/imaging/codecs/vimportxbm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

class XBitmaps : public FileTest {
 protected:
  vimage* read(const std::string& text) {
    putFile(text);
    return vimportXBM(path);
  }
  std::string written() { return fileText(); }
};

TEST_F(XBitmaps, ReadingTheNamedLinesOnly) {
  const std::string file =
      "#define pic_width 10\n#define pic_height 2\n#define pic_x_hot 3\n"
      "static unsigned char pic_bits[] = {\n   0x01, 0x02, 0xff, 0x03};\n";
  vimage* image = keep(read(file));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 10);
  // Row 0 is the bottom: the second row of the file, all black.
  EXPECT_EQ(pixelsOf(image), (Pixels{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(packed(vimageGetPalette(image)->entries[0]), 0xFFFFFFu);
  // Numbers on the array's own line, "short" arrays, no "0x", CRLF lines.
  vimage* one = keep(read("#define a_width 3\r\n#define a_height 1\r\nstatic short a_bits[] = { 5 };"));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(pixelsOf(one), (Pixels{1, 0, 1}));

  const char* refused[] = {
      "static char p_bits[] = {0x01};\n#define p_width 1\n#define p_height 1\n",     // array before the sizes
      "#define p_width 8\n#define p_height 2\nstatic char p_bits[] = {0x01, 0x02",  // the file ends inside
      "#define p_width 8\n#define p_height 1\n",                                      // no bits array
      "#define p_width 40000\n#define p_height 1\nstatic char p_bits[] = {0x01};",   // too wide
      "#define p_width -8\n#define p_height 1\nstatic char p_bits[] = {0x01};",
  };
  for (const char* text : refused) EXPECT_EQ(read(text), nullptr) << text;
  // A bits array under another name is not the picture.
  EXPECT_EQ(read("#define p_width 8\n#define p_height 1\nstatic char p_data[] = {0x01};"), nullptr);
}

TEST_F(XBitmaps, WrittenEndingsAndRoundTrips) {
  vimage* full = keep(make(16, 6, 1));
  vimageSetNoPalette(full, 1);  // 0 black: written as set bits
  vimportWriteXBM(path, full);
  std::string text = written();
  const std::string head = "#define image_width 16\n#define image_height 6\nstatic char image_bits[] = {\n  0xff,0xff,";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.size(), head.size() - 10 + 12 * 5 + 1 + 2);  // twelve numbers, "\n", "};"
  EXPECT_EQ(text.substr(text.size() - 8), "0xff,\n};");

  vimage* one = keep(make(8, 1, 1, {0, 0, 0, 1, 0, 0, 0, 0}));
  setPalette(one, {0xFFFFFF, 0x000000});
  vimportWriteXBM(path, one);
  EXPECT_EQ(written(), "#define image_width 8\n#define image_height 1\nstatic char image_bits[] = {\n  0x08};");

  std::mt19937 rng(66);
  for (int depth : {1, 8}) {
    Pixels px;
    for (int i = 0; i < 13 * 7; ++i) px.push_back(depth == 1 ? rng() & 1 : (rng() & 1) * 255);
    vimage* image = keep(make(13, 7, depth, px));
    std::vector<std::uint32_t> ramp(256);
    for (std::uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
    setPalette(image, depth == 1 ? std::vector<std::uint32_t>{0x000000, 0xFFFFFF} : ramp);
    vimportWriteXBM(path, image);
    vimage* back = keep(vimportXBM(path));
    ASSERT_NE(back, nullptr);
    // Black-first and grey images come back white-first: 1 where black.
    Pixels expected;
    for (std::uint32_t v : px) expected.push_back(v == 0 ? 1 : 0);
    EXPECT_EQ(pixelsOf(back), expected) << depth;
  }
  EXPECT_TRUE(raisesArg([&] { vimportWriteXBM(path, nullptr); }));
}

}  // namespace
