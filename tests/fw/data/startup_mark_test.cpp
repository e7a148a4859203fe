#include <gtest/gtest.h>

#include <cstdlib>

#include "fw/core/fw_support.h"
#include "fw/data/vrstore.h"

namespace {

// The mark is process-wide, so each way of setting it runs in a fresh child.
TEST(StartupMark, SetByStartupAndByTheFirstRegistration) {
  if (_vtextviewInputGetFlag() != 0) GTEST_SKIP() << "an earlier test of this process set the mark";
  struct {
    const char* what;
    void (*set)();
  } ways[] = {
      {"start-up", [] { vresourceStartup(); }},
      {"registration", [] { vrstoreCloseFile(vrstoreCreateMemory()); }},
      {"twice", [] { _vtextviewInputSetFlag(), _vtextviewInputSetFlag(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    ChildRun r = runInChild([&] {
      way.set();
      std::exit(_vtextviewInputGetFlag() == 1 ? 0 : 3);
    });
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

}  // namespace
