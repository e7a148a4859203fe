// Runs the slider probe (each look in a process of its own) and compares
// the pictures it writes with the stored ones.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

// A probe program's standard output and error, with its status when not 0.
inline std::string probeOutput(const std::string& program, const std::string& args) {
  std::string out;
  FILE* p = popen((program + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}
inline std::string sliderProbe(const std::string& args) { return probeOutput(SLIDER_PROBE, args); }

// The probe's picture of `mode` in a look against slider/<mode>_<laf>.png.
inline ::testing::AssertionResult sliderPictureMatches(const std::string& mode, const std::string& laf) {
  // Per process: test runs of other builds share the temporary folder.
  std::string png =
      (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_" + mode + "_" + laf + ".png")).string();
  std::string out = sliderProbe("-laf " + laf + " " + mode + " " + png);
  if (!out.empty()) return ::testing::AssertionFailure() << out;
  win::test::Image image;
  if (!win::test::ReadPng(png, image)) return ::testing::AssertionFailure() << "no picture";
  std::filesystem::remove(png);
  return test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/slider/" + mode + "_" + laf + ".png");
}
