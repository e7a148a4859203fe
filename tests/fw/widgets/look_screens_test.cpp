// The looks on the screen: each look in a process of its own, started the
// way a program starts the framework, draws its operations and the static
// dialog items in a headless window, compared with the stored pictures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::string run(const std::string& args, const std::string& environment = "") {
  std::string out;
  FILE* p = popen((environment + " " + std::string(LOOK_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  int status = pclose(p);
  if (status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

std::string stored(const std::string& name) { return std::string(std::getenv("SIM_TEST_DATA")) + "/look/" + name; }

// Draws in a fresh process and compares the picture.
::testing::AssertionResult drawsAsStored(const std::string& laf, const std::string& mode) {
  std::string png = (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_look_" + mode + "_" + laf + ".png")).string();
  std::string out = run("-laf " + laf + " " + mode + " " + png);
  if (!out.empty()) return ::testing::AssertionFailure() << out;
  win::test::Image image;
  if (!win::test::ReadPng(png, image)) return ::testing::AssertionFailure() << "no picture from " << laf;
  std::filesystem::remove(png);
  return test_support::MatchesPng(image, stored(mode + "_" + laf + ".png"));
}

TEST(LookStartup, TheProgramStartUpInstallsEveryLibrarysHooksAndRows) {
  std::string out = run("hooks");
  // The window layer calls the look and the text model, not the stand-ins.
  EXPECT_NE(out.find("look widgets\n"), std::string::npos) << out;
  EXPECT_NE(out.find("text text\n"), std::string::npos) << out;
  for (const char* built : {"vcursor built", "vtext built", "vservice built", "vmenu built", "vwindow built"})
    EXPECT_NE(out.find(std::string(built) + "\n"), std::string::npos) << built << "\n" << out;
  // The platform reports 4.0 from the start: the default look is Win95.
  EXPECT_NE(out.find("laf Win95 (win95)\n"), std::string::npos) << out;
  EXPECT_NE(run("-laf openlook hooks").find("laf Open Look (openlook)\n"), std::string::npos);
  // The environment names the look too.
  std::string fromEnvironment = run("hooks", "laf=cua");
  EXPECT_NE(fromEnvironment.find("laf CUA (cua)\n"), std::string::npos) << fromEnvironment;
}

// The drawing driver frames a focus rectangle with the platform's dotted
// one in the Windows looks, through the hook record the start-up installs;
// a second one takes it away. Other looks frame it plainly.
TEST(LookStartup, TheDriverAsksTheLookForFocusRectangles) {
  for (const char* laf : {"windows", "win95"}) {
    std::string out = run(std::string("-laf ") + laf + " focus");
    EXPECT_EQ(out, "edge 10 of 20\nfocus mode after the call: 0\ntwice is none: yes\n") << laf;
  }
  std::string motif = run("-laf motif focus");
  EXPECT_NE(motif.find("edge 20 of 20\n"), std::string::npos) << motif;
}

class LookSampler : public ::testing::TestWithParam<const char*> {};
TEST_P(LookSampler, DrawsAsStored) { EXPECT_TRUE(drawsAsStored(GetParam(), "sampler")); }
INSTANTIATE_TEST_SUITE_P(EveryVariant, LookSampler,
                         ::testing::Values("windows2d", "windows3d", "motif", "openlook2d", "openlook3d", "cua",
                                           "win95"));

// Every look image and glyph as the driver draws their masks; image 58
// grows to 100 x 40 only in the Windows looks.
class LookImages : public ::testing::TestWithParam<const char*> {};
TEST_P(LookImages, DrawAsStored) { EXPECT_TRUE(drawsAsStored(GetParam(), "images")); }
INSTANTIATE_TEST_SUITE_P(TwoLooks, LookImages, ::testing::Values("win95", "openlook"));

class StaticItems : public ::testing::TestWithParam<const char*> {};
TEST_P(StaticItems, DrawAsStored) { EXPECT_TRUE(drawsAsStored(GetParam(), "items")); }
INSTANTIATE_TEST_SUITE_P(EveryLook, StaticItems, ::testing::Values("windows", "motif", "openlook", "cua", "win95"));

}  // namespace
