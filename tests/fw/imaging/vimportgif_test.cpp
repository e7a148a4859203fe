#include "fw/imaging/codecs/vimportgif.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The code bytes of the pixels, the code size first.
Bytes encode(const Pixels& px, int codeSize) {
  struct Src {
    const Pixels* px;
    std::size_t at = 0;
  } src{&px};
  Bytes out;
  vlzwEncode(
      &src, &out, codeSize, std::int64_t(px.size()),
      [](void* s) {
        auto* p = static_cast<Src*>(s);
        return (*p->px)[p->at++];
      },
      [](void* o, std::uint32_t b) { static_cast<Bytes*>(o)->push_back(std::uint8_t(b)); });
  return out;
}

Pixels decode(const Bytes& codes, std::int64_t count) {
  Pixels out;
  vlzwDecode(codes.data(), codes.size(), count, &out,
             [](void* o, std::uint32_t v) { static_cast<Pixels*>(o)->push_back(v); });
  return out;
}

// An image block of w x h from the pixels in file order, as sub-blocks.
Bytes imageBlock(int w, int h, const Pixels& px, int codeSize, int flags = 0) {
  Bytes b{0x2C, 0, 0, 0, 0, std::uint8_t(w), 0, std::uint8_t(h), 0, std::uint8_t(flags)};
  Bytes codes = encode(px, codeSize);
  b.push_back(codes[0]);
  b.push_back(std::uint8_t(codes.size() - 1));
  b.insert(b.end(), codes.begin() + 1, codes.end());
  b.push_back(0);
  return b;
}

class Gif : public FileTest {
 protected:
  vimage* read(const Bytes& b) {
    putFile(std::string(b.begin(), b.end()));
    return vimportGIF(path);
  }
  Bytes file() {
    std::string t = fileText();
    return Bytes(t.begin(), t.end());
  }
};

TEST(Lzw, RoundTripsThroughEveryCodeSizeAndAFullTable) {
  std::mt19937 rng(102);
  for (int size : {1, 2, 4, 8}) {
    SCOPED_TRACE(size);
    Pixels px;
    std::uint32_t mask = size == 1 ? 3 : (1u << size) - 1;
    // Noise enough to fill the table several times, then long runs.
    for (int i = 0; i < 30000; ++i) px.push_back(i < 20000 ? rng() & mask : (i / 700) & mask);
    Bytes codes = encode(px, size);
    EXPECT_EQ(codes[0], size == 1 ? 2 : size);
    EXPECT_EQ(decode(codes, std::int64_t(px.size())), px);
    EXPECT_EQ(decode(codes, 17), Pixels(px.begin(), px.begin() + 17));
  }
  EXPECT_TRUE(encode({1, 2}, 13).empty());
  // A code past the table, and a first code that is no root: stop.
  EXPECT_EQ(decode({2, 0x04 | 0x07 << 3}, 10), Pixels{});
  Bytes cut = encode(Pixels(50, 1), 2);
  cut.resize(3);
  EXPECT_LE(decode(cut, 50).size(), 50u);
}

TEST_F(Gif, WrittenFilesReadBack) {
  vimage* flat = keep(make(100, 100, 8, Pixels(10000, 3)));
  std::vector<std::uint32_t> ramp;
  for (std::uint32_t i = 0; i < 256; ++i) ramp.push_back(i * 0x010101u);
  setPalette(flat, ramp);  // distinct colours: equal ones would be merged
  vimportWriteGIF(path, flat);
  Bytes b = file();
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 13), (Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 4, 0, 3, 0x97, 0, 0}));
  std::size_t data = 13 + 3 * 256 + 10;
  EXPECT_EQ(b[data], 8);  // the code size, then the first sub-block
  EXPECT_LE(b[data + 1], 252);
  EXPECT_EQ(b.back(), 0x3B);
  vimage* back = keep(vimportGIF(path));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(pixelsOf(back), pixelsOf(flat));

  std::mt19937 rng(87);
  for (int depth : {1, 4, 8}) {
    SCOPED_TRACE(depth);
    Pixels px;
    for (int i = 0; i < 37 * 23; ++i) px.push_back(rng() & ((1u << depth) - 1));
    vimage* image = keep(make(37, 23, depth, px));
    std::vector<std::uint32_t> colors;
    for (std::uint32_t i = 0; i < (1u << depth); ++i) colors.push_back(i * 0x010305u + (depth == 1 ? 0x404040 : 0));
    setPalette(image, colors);
    vimportWriteGIF(path, image);
    b = file();
    if (depth == 1) {
      // The image's own entries, white 65535 as 255; code size 2.
      EXPECT_EQ(Bytes(b.begin() + 13, b.begin() + 19), (Bytes{0x40, 0x40, 0x40, 0x41, 0x43, 0x45}));
      EXPECT_EQ(b[19 + 10], 2);
    }
    vimage* read = keep(vimportGIF(path));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(pixelsOf(read), px);
  }
  vimage* white = keep(make(1, 1, 1));
  setPalette(white, {0xFFFFFF, 0});
  vimportWriteGIF(path, white);
  EXPECT_EQ(file()[13], 255);
  EXPECT_TRUE(raisesArg([&] { vimportWriteGIF(path, keep(make(2, 2, 16))); }));
  vimage* direct = keep(make(2, 2, 8));
  vimageSetNoPalette(direct, 1);
  EXPECT_TRUE(raisesArg([&] { vimportWriteGIF(path, direct); }));
}

TEST_F(Gif, ExtensionsMergedColoursInterlaceAndRefusals) {
  // A table of four colours, the first twice; a graphic control and a
  // comment extension; two images.
  Bytes head{'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0, 255, 0, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255};
  Bytes ext{0x21, 0xF9, 4, 1, 0, 0, 0, 0, 0x21, 0xFE, 3, 'a', 'b', 'c', 0};
  Bytes file = head;
  file.insert(file.end(), ext.begin(), ext.end());
  Bytes first = imageBlock(2, 2, {0, 1, 2, 3}, 2), second = imageBlock(2, 2, {3, 3, 3, 3}, 2);
  file.insert(file.end(), first.begin(), first.end());
  file.insert(file.end(), second.begin(), second.end());
  file.push_back(0x3B);
  vimage* image = keep(read(file));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(pixelsOf(image), (Pixels{0, 2, 0, 1}));  // the bottom row first
  const vcolorList* p = vimageGetPalette(image);
  EXPECT_EQ(packed(p->entries[0]), 0xFF0000u);
  EXPECT_EQ(packed(p->entries[1]), 0x00FF00u);
  EXPECT_EQ(packed(p->entries[2]), 0x0000FFu);

  // Interlaced: file rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9 in stream order.
  Bytes inter{'G', 'I', 'F', '8', '7', 'a', 1, 0, 10, 0, 0x83, 0, 0};
  for (int i = 0; i < 16; ++i) inter.insert(inter.end(), {std::uint8_t(i), 0, 0});
  Pixels order{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  Bytes block = imageBlock(1, 10, order, 4, 0x40);
  inter.insert(inter.end(), block.begin(), block.end());
  vimage* interlaced = keep(read(inter));
  ASSERT_NE(interlaced, nullptr);
  const int fileRow[] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  Pixels got = pixelsOf(interlaced);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(got[std::size_t(9 - fileRow[i])], std::uint32_t(i)) << i;

  struct Damage {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } damages[] = {{"signature", 2, 'X'}, {"aspect", 12, 1}, {"no table", 10, 0x01}, {"code size", 25 + 15 + 10, 9}};
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    Bytes b = file;
    b[d.at] = d.value;
    EXPECT_EQ(read(b), nullptr);
  }
  Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(head.size() + ext.size() + first.size() - 3));
  EXPECT_EQ(read(cut), nullptr);
  Bytes onlyExtensions = head;
  onlyExtensions.insert(onlyExtensions.end(), ext.begin(), ext.end() - 3);
  EXPECT_EQ(read(onlyExtensions), nullptr);
}

}  // namespace
