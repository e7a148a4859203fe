// Compares an image with a stored PNG: each channel within a tolerance,
// at most a budget of differing pixels. With UPDATE_PNG=1 the reference
// is written from the image first.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/win/test.h"

namespace test_support {

inline ::testing::AssertionResult MatchesPng(const win::test::Image& image, const std::string& path, int tolerance = 0,
                                             int budget = 0) {
  if (const char* u = std::getenv("UPDATE_PNG"); u && std::string(u) == "1" && !win::test::WritePng(path, image))
    return ::testing::AssertionFailure() << "cannot write " << path;
  win::test::Image want;
  if (!win::test::ReadPng(path, want)) return ::testing::AssertionFailure() << "cannot read " << path;
  if (want.width != image.width || want.height != image.height)
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height << ", stored " << want.width
                                         << "x" << want.height;
  int differing = 0;
  std::ostringstream first;
  for (std::size_t i = 0; i < image.px.size(); ++i) {
    bool differs = false;
    for (int shift : {0, 8, 16}) {
      int a = int(image.px[i] >> shift & 0xFF), b = int(want.px[i] >> shift & 0xFF);
      differs = differs || std::abs(a - b) > tolerance;
    }
    if (differs && differing++ == 0)
      first << " first at (" << i % std::size_t(image.width) << ", " << i / std::size_t(image.width) << "): " << std::hex
            << image.px[i] << " stored " << want.px[i];
  }
  if (differing > budget) return ::testing::AssertionFailure() << differing << " pixels differ;" << first.str();
  return ::testing::AssertionSuccess();
}

}  // namespace test_support
