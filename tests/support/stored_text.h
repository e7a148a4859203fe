// A text a test produced against the one stored beside its data;
// UPDATE_TRACE=1 writes the produced text there first.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace test_support {

inline void ExpectStoredText(const std::string& got, const std::string& path) {
  if (const char* u = std::getenv("UPDATE_TRACE"); u != nullptr && std::string(u) == "1") {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fputs(got.c_str(), f);
    std::fclose(f);
  }
  std::FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr) << path;
  std::string want;
  for (int c; (c = std::fgetc(f)) != EOF;) want += static_cast<char>(c);
  std::fclose(f);
  EXPECT_EQ(got, want);
}

}  // namespace test_support
