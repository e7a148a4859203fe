// The font and style choosers' probe: its output, and a picture it draws
// compared with the stored one under tests/fw/widgets/data/<name>.png.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

inline std::string fontchsrProbeOutput(const std::string& args, int* status) {
  std::string command = std::string(FONTCHSR_PROBE) + " " + args;
  FILE* p = popen(command.c_str(), "r");
  std::string out;
  char line[256];
  while (p && std::fgets(line, sizeof line, p)) out += line;
  *status = p ? pclose(p) : -1;
  return out;
}

// `args` names the picture's file last.
inline ::testing::AssertionResult fontchsrProbePictureMatches(const std::string& args, const std::string& name) {
  std::string shot = "/tmp/fontchsr_probe_" + std::to_string(getpid()) + ".png";
  int status = -1;
  std::string out = fontchsrProbeOutput(args + " " + shot, &status);
  if (status != 0) return ::testing::AssertionFailure() << "probe status " << status << ": " << out;
  win::test::Image image;
  bool read = win::test::ReadPng(shot, image);
  std::remove(shot.c_str());
  if (!read) return ::testing::AssertionFailure() << "no picture";
  return test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/" + name + ".png", 8, 40);
}
