#include "fw/imaging/codecs/vimportpbm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

class PortableMaps : public FileTest {
 protected:
  vimage* read(const std::string& text) {
    putFile(text);
    return vimportPBM(path);
  }
  std::string write(vimage* image, int kind) {
    vimportWritePNM(path, image, kind);
    return fileText();
  }
};

TEST_F(PortableMaps, ReadingEachVariant) {
  vimage* p1 = keep(read("P1\n# a comment\n3 2\n1 0 1 0 1 0"));
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(pixelsOf(p1), (Pixels{0, 1, 0, 1, 0, 1}));  // the bottom row first
  EXPECT_EQ(packed(vimageGetPalette(p1)->entries[0]), 0xFFFFFFu);

  vimage* p4 = keep(read(std::string("P4 10 1\n\x80\x7F", 11)));
  ASSERT_NE(p4, nullptr);
  EXPECT_EQ(pixelsOf(p4), (Pixels{1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));

  vimage* p5 = keep(read(std::string("P5 3 1 15\n\x0F\x00\x0F", 13)));
  ASSERT_NE(p5, nullptr);
  EXPECT_EQ(p5->depth, 8);
  EXPECT_EQ(pixelsOf(p5), (Pixels{0, 1, 0}));
  EXPECT_EQ(packed(vimageGetPalette(p5)->entries[0]), 0xFFFFFFu);
  EXPECT_EQ(packed(vimageGetPalette(p5)->entries[1]), 0x000000u);

  vimage* p6 = keep(read(std::string("P6 2 1 15\n\x0F\x00\x00\x01\x02", 15)));  // one byte short
  ASSERT_NE(p6, nullptr);
  EXPECT_TRUE(p6->flags & vimageNO_PALETTE);
  EXPECT_EQ(pixelsOf(p6), (Pixels{15u << 16, 0x010200}));

  vimage* p3 = keep(read("P3 1 1 255 1 2 3"));
  ASSERT_NE(p3, nullptr);
  EXPECT_EQ(pixelsOf(p3), (Pixels{0x010203}));

  const char* refused[] = {"P7 1 1 1", "Q1 1 1", "P2 1 1 0 0", "P2 1 1 300 3", "P2 2 1 9 3 10",
                           "P3 1 1 9 1 2 99", "P1 0 1", "P1 99999999999 1 1", "P2 1 1 255 99999999999"};
  for (const char* text : refused) EXPECT_EQ(read(text), nullptr) << text;
}

TEST_F(PortableMaps, WritingEachKind) {
  vimage* colours = keep(make(7, 1, 8, {0, 1, 2, 0, 1, 2, 0}));
  setPalette(colours, {0x070809, 0xFFFFFF, 0x102030});
  std::string p3 = write(colours, 4);
  EXPECT_EQ(p3,
            "P3\n7 1\n255\n007 008 009 255 255 255 016 032 048 007 008 009 255 255 255 016 032 048 \n"
            "007 008 009 ");
  EXPECT_EQ(write(colours, 5).substr(11, 6), std::string("\x07\x08\x09\xFF\xFF\xFF", 6));
  std::string p5 = write(colours, 3);
  EXPECT_EQ(p5.substr(0, 11), "P5\n7 1\n255\n");
  EXPECT_EQ(std::uint8_t(p5[12]), 255);
  EXPECT_EQ(std::uint8_t(p5[11]), unsigned(0.299 * 0x0707 + 0.587 * 0x0808 + 0.114 * 0x0909) >> 8);

  vimage* deep = keep(make(19, 1, 24, Pixels(19, 0x0000FF)));
  std::string p2 = write(deep, 2);
  EXPECT_EQ(p2.substr(12, 8), "031 031 ");  // (32 x 255) / 256
  EXPECT_EQ(p2.find('\n', 12), 12u + 18 * 4);

  // Bits: 1 black. A black-first image is inverted, a deep one dithered.
  vimage* bw = keep(make(10, 1, 1, {1, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
  setPalette(bw, {0x000000, 0xFFFFFF});
  EXPECT_EQ(write(bw, 1), std::string("P4\n10 1\n\x3F\x80", 10));
  EXPECT_EQ(write(bw, 0), "P1\n10 1\n0 0 1 1 1 1 1 1 1 0 ");
  EXPECT_EQ(write(deep, 1), std::string("P4\n19 1\n\xFF\xFF\xE0", 11));  // dark blue: black

  EXPECT_TRUE(raisesArg([&] { vimportWritePNM(path, bw, 6); }));
  EXPECT_TRUE(raisesArg([&] { vimportWritePNM(path, nullptr, 1); }));
  // What is written reads back.
  for (int kind : {0, 1, 4, 5}) {
    write(colours, kind);
    vimage* back = keep(vimportPBM(path));
    ASSERT_NE(back, nullptr) << kind;
    EXPECT_EQ(back->width, 7);
  }
}

}  // namespace
