// Tiny images for the imaging tests: pixels given row 0 (the bottom) first.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"
#include "tests/fw/gui/raises.h"

namespace testimg {

using Pixels = std::vector<std::uint32_t>;

// An indexed image of the depth (up to 16) with 2^depth entries, or a deep
// image (24, 32) without palette.
inline vimage* make(int width, int height, int depth, const Pixels& pixels = {}) {
  vimage* image;
  if (depth <= 16) {
    image = vimageCreateSized(width, height, std::uint32_t(1) << depth);
  } else {
    image = vimageCreateSized(width, height, 2);
    vimageSetNoPalette(image, 1);
    vpixmapSetDepth(image, depth);
  }
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i)
    vpixmapCursorSetNext(&c, i < pixels.size() ? pixels[i] : 0);
  vpixmapFinishCursor(&c);
  return image;
}

inline Pixels pixelsOf(vimage* image) {
  Pixels out(std::size_t(image->width) * std::size_t(image->height));
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (auto& v : out) v = vpixmapCursorGetNext(&c);
  vpixmapFinishCursor(&c);
  return out;
}

inline void setPalette(vimage* image, const std::vector<std::uint32_t>& rgb) {
  vcolorList* p = vimageGetPalette(image);
  for (std::size_t i = 0; i < rgb.size() && i < p->count; ++i)
    vcolorSetSpecRGB(&p->entries[i], (rgb[i] >> 16 & 0xFF) * 257, (rgb[i] >> 8 & 0xFF) * 257, (rgb[i] & 0xFF) * 257);
  vcolorListChanged(p);
}

// Each 16-bit component's high byte, packed as 0xRRGGBB.
inline std::uint32_t packed(const vcolorSpec& s) {
  unsigned r, g, b;
  vcolorGetSpecRGB(&s, &r, &g, &b);
  return (r >> 8) << 16 | (g >> 8) << 8 | (b >> 8);
}

// Destroys its images at the end of a test.
struct Images {
  std::vector<vimage*> held;
  vimage* operator()(vimage* i) {
    held.push_back(i);
    return i;
  }
  ~Images() {
    for (vimage* i : held) vimageDestroy(i);
  }
};

// A test with a scratch folder of its own and a file "f" in it.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("imaging-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    path = vfsNewPathFromString((dir / "f").c_str());
  }
  void TearDown() override {
    vfsFreePath(path);
    std::filesystem::remove_all(dir);
  }
  void putFile(const std::string& bytes) {
    std::ofstream(dir / "f", std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string fileText() {
    std::ifstream in(dir / "f", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::path dir;
  vfsPath* path = nullptr;
  Images keep;
};

}  // namespace testimg
