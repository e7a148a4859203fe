// A program with line numbers for the windows that show source and C
// values: the assembler text is written to a folder of the test's own and
// assembled there by make_test_cld; the folder goes at the end.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

struct cld_program {
  std::string folder;
  // "prog.asm" and "prog.cld" in a new folder; false when it failed.
  bool build(const std::string& name, const std::string& text) {
    folder = ::testing::TempDir() + name + "_" + std::to_string(::getpid());
    if (std::system(("rm -rf " + folder + " && mkdir -p " + folder).c_str()) != 0) return false;
    std::FILE* f = std::fopen((folder + "/prog.asm").c_str(), "wb");
    if (f == nullptr) return false;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return std::system(("cd " + folder + " && " + MAKE_TEST_CLD + " prog.asm prog.cld").c_str()) == 0;
  }
  ~cld_program() {
    if (!folder.empty()) [[maybe_unused]] const int rc = std::system(("rm -rf " + folder).c_str());
  }
};
