#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fw/core/mem.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fw/imaging/images.h"

using namespace testimg;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void put32(Bytes& b, std::uint32_t v) {
  b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
}

// A 2 x 2 24-bit bitmap: file header, information header, two rows.
Bytes bitmap24() {
  Bytes b{'B', 'M'};
  put32(b, 70);
  put32(b, 0);
  put32(b, 54);
  for (std::uint32_t v : {40u, 2u, 2u}) put32(b, v);
  put16(b, 1);
  put16(b, 24);
  for (int i = 0; i < 6; ++i) put32(b, 0);
  b.insert(b.end(), {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
  return b;
}

class WinFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("winfiles-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    path = vfsNewPathFromString((dir / "f").c_str());
  }
  void TearDown() override {
    vfsFreePath(path);
    std::filesystem::remove_all(dir);
  }
  void put(const Bytes& b) {
    std::ofstream out(dir / "f", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  Bytes get() {
    std::ifstream in(dir / "f", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  vimage* readBMP(const Bytes& b) {
    put(b);
    return vimportBMP(path);
  }
  static std::vector<std::uint32_t> colorsOf(vimage* image) {
    std::vector<std::uint32_t> out;
    const vcolorList* p = vimageGetPalette(image);
    for (std::uint32_t i = 0; i < p->count; ++i) out.push_back(packed(p->entries[i]));
    return out;
  }

  std::filesystem::path dir;
  vfsPath* path = nullptr;
  Images keep;
};

TEST_F(WinFiles, BitmapsComeBackAsWritten) {
  struct Case {
    int depth, entries;
  } cases[] = {{1, 2}, {4, 16}, {8, 20}, {8, 256}, {24, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth * 1000 + c.entries);
    Pixels px;
    for (std::uint32_t i = 0; i < 35; ++i) px.push_back(c.depth == 24 ? i * 0x10203u : i % std::uint32_t(c.entries));
    vimage* image = keep(make(7, 5, c.depth, px));
    std::vector<std::uint32_t> colors;
    for (int i = 0; i < c.entries; ++i) colors.push_back(std::uint32_t(i) * 0x0A0B0Cu & 0xFFFFFF);
    if (c.entries) {
      vimageSetColorCount(image, std::uint32_t(c.entries));
      setPalette(image, colors);
    }
    ASSERT_EQ(vimportwinWriteBMP(path, image), 1);
    Bytes first = get();
    vimage* back = keep(vimportBMP(path));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->depth, c.depth);
    EXPECT_EQ(pixelsOf(back), px);
    if (c.entries)
      EXPECT_EQ(colorsOf(back), colors);
    else
      EXPECT_TRUE(back->flags & vimageNO_PALETTE);
    ASSERT_EQ(vimportwinWriteBMP(path, back), 1);
    EXPECT_EQ(get(), first);
  }
}

TEST_F(WinFiles, CoreHeadersAndRefusedBitmaps) {
  // 12-byte core header, 1 bit: a table of two 3-byte entries.
  Bytes core{'B', 'M'};
  put32(core, 14 + 12 + 6 + 4);
  put32(core, 0);
  put32(core, 32);
  put32(core, 12);
  for (unsigned v : {3u, 1u, 1u, 1u}) put16(core, v);
  core.insert(core.end(), {0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xA0, 0, 0, 0});
  vimage* image = keep(readBMP(core));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(colorsOf(image), (std::vector<std::uint32_t>{0x0000FF, 0xFF0000}));
  EXPECT_EQ(pixelsOf(image), (Pixels{1, 0, 1}));

  vimage* deep = keep(readBMP(bitmap24()));
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(pixelsOf(deep), (Pixels{0x030201, 0x060504, 0x090807, 0x0C0B0A}));

  struct Damage {
    const char* what;
    std::size_t at;
    Bytes with;
  } damages[] = {
      {"type", 1, {'X'}},          {"header size", 14, {20}},       {"compression", 30, {1}},
      {"16 bits", 28, {16}},       {"width 0", 18, {0}},            {"height negative", 22, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"offset past", 10, {60}},   {"8 bits, 300 colours", 28, {8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 1}},
      {"width huge", 20, {1}},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    Bytes b = bitmap24();
    std::copy(d.with.begin(), d.with.end(), b.begin() + std::ptrdiff_t(d.at));
    EXPECT_EQ(readBMP(b), nullptr);
  }
  Bytes cut = bitmap24();
  cut.pop_back();
  EXPECT_EQ(readBMP(cut), nullptr);
  EXPECT_EQ(readBMP(Bytes{'B', 'M', 1}), nullptr);
}

TEST_F(WinFiles, IconsWrittenAndReadBack) {
  Pixels px, opaque;
  for (std::uint32_t i = 0; i < 32 * 32; ++i) {
    px.push_back(i * 7 % 16);
    opaque.push_back(i % 3 == 0);
  }
  vimage* icon = keep(make(32, 32, 4, px));
  std::vector<std::uint32_t> colors;
  for (std::uint32_t i = 0; i < 16; ++i) colors.push_back(i * 0x0F0F0Fu);
  setPalette(icon, colors);
  vimage* mask = keep(make(32, 32, 1, opaque));
  vimageSetMask(icon, mask);
  vimage* mono = keep(make(16, 16, 1, Pixels(256, 1)));
  vimageSetColorCount(mono, 2);
  setPalette(mono, {0x000000, 0xFFFFFF});
  vimageSetMask(mono, mask);  // a larger mask: its lower left part
  vimage* odd = keep(make(20, 20, 4));
  vimage* list[] = {icon, mono, odd, icon, nullptr};
  ASSERT_EQ(vimportWriteICO(path, list), 1);
  Bytes b = get();
  ASSERT_EQ(b.size(), 6u + 16 * 2 + 744 + 176);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), (Bytes{0, 0, 1, 0, 2, 0}));  // the images written
  EXPECT_EQ(Bytes(b.begin() + 6, b.begin() + 38),
            (Bytes{32, 32, 16, 0, 0, 0, 0, 0, 0xE8, 2, 0, 0, 38, 0, 0, 0,  //
                   16, 16, 2, 0, 0, 0, 0, 0, 176, 0, 0, 0, 0x0E, 3, 0, 0}));
  // The mono table, then its rows: all white, opaque where the mask's
  // lower left 16 x 16 is set.
  EXPECT_EQ(Bytes(b.begin() + 782 + 40, b.begin() + 782 + 48), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
  EXPECT_EQ(Bytes(b.begin() + 782 + 48, b.begin() + 782 + 52), (Bytes{0xFF, 0xFF, 0, 0}));
  EXPECT_EQ(b[782 + 48 + 64], std::uint8_t(~0x92));

  vimage* one[] = {icon, nullptr};
  ASSERT_EQ(vimportWriteICO(path, one), 1);
  b = get();
  ASSERT_EQ(b.size(), 766u);
  EXPECT_EQ(b[6 + 8], 0xE8);  // data size 744
  EXPECT_EQ(b[6 + 12], 22);   // offset 22
  vimage** read = vimportICO(path);
  ASSERT_NE(read, nullptr);
  ASSERT_NE(read[0], nullptr);
  EXPECT_EQ(read[1], nullptr);
  vimage* back = keep(read[0]);
  vmemFree(read);
  ASSERT_NE(back->mask, nullptr);
  keep(back->mask);
  EXPECT_EQ(back->depth, 4);
  EXPECT_EQ(colorsOf(back), colors);
  EXPECT_EQ(pixelsOf(back), px);
  EXPECT_EQ(pixelsOf(back->mask), opaque);
  EXPECT_EQ(packed(vimageGetPalette(back->mask)->entries[0]), 0xFFFFFFu);

  // Two colours of four bits: the table padded to the 16 the entry counts.
  vimage* few = keep(make(16, 16, 4));
  vimageSetMask(few, mask);
  vcolorListSetCount(vimageGetPalette(few), 2);
  vimage* fewList[] = {few, nullptr};
  // A 16 x 16 image with a 32 x 32 mask: the mask's own rows would not fit.
  vimage* small = keep(make(16, 16, 1, Pixels(256, 1)));
  vimageSetMask(few, small);
  ASSERT_EQ(vimportWriteICO(path, fewList), 1);
  b = get();
  EXPECT_EQ(b[6 + 2], 16);
  EXPECT_EQ(b.size(), 6u + 16 + 40 + 64 + 128 + 64);
  // A mask made deeper after it was attached: nothing written, the old
  // file kept.
  vpixmapSetDepth(small, 8);
  EXPECT_EQ(vimportWriteICO(path, fewList), 0);
  EXPECT_EQ(get(), b);
}

TEST_F(WinFiles, DamagedIconsGiveNothing) {
  put(Bytes{0, 0, 2, 0, 1, 0});
  bool module = false;
  vexGuard([&] { vimportICO(path); },
           [&](vexHandler& h) {
             module = vexClassDerives(vexGetCurrentException()->cls, &vexModuleUnimplementedClass);
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_TRUE(module);

  vimage* icon = keep(make(16, 16, 1));
  vimageSetColorCount(icon, 2);
  vimageSetMask(icon, keep(make(16, 16, 1)));
  vimage* list[] = {icon, nullptr};
  ASSERT_EQ(vimportWriteICO(path, list), 1);
  Bytes good = get();
  struct Damage {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } damages[] = {{"more entries than the file", 4, 9}, {"8-bit header", 22 + 14, 8}, {"header size", 22, 12},
                 {"data past the end", 18, 0xFF},       {"width 0", 6, 0}};
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    Bytes b = good;
    b[d.at] = d.value;
    put(b);
    EXPECT_EQ(vimportICO(path), nullptr);
  }
  Bytes cut = good;
  cut.resize(cut.size() - 1);
  put(cut);
  EXPECT_EQ(vimportICO(path), nullptr);
}

}  // namespace
