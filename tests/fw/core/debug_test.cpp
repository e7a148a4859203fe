#include "fw/core/debug.h"

#include <gtest/gtest.h>

#include <string>

#include "fw/core/sys.h"
#include "fw_support.h"

namespace {

TEST(DebugLog, NumberedLogAfterExistingOnes) {
  std::string logName, numbered;
  ChildRun r = runInChild(
      [] {
        vdebugPrintf("hello %d\n", 5);
        std::fprintf(stderr, "[%s]\n", vdebugGetLogName());
        vsysExit(0);
      },
      [](const std::filesystem::path& dir) {
        std::ofstream(dir / "vdebug.log") << "old\n";
        std::ofstream(dir / "vdebug0.log") << "old0\n";
      });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "hello 5\n[vdebug1.log]\n");
  EXPECT_EQ(r.log, "old\n");  // the existing log is not overwritten
}

TEST(DebugLog, EveryConsoleWriteReachesLogAndStandardError) {
  ChildRun r = runInChild([] {
    std::FILE* out = vdebugGetConsoleOutput();
    const vdebugStdioTable* t = vdebugGetStdioTable();
    t->fprintf(out, "%s=%d;", "a", 1);
    t->fputs("b;", out);
    t->fputs("", out);
    t->fputc('c', out);
    t->puts("");
    t->putchar('d');
    t->fflush(out);
    EXPECT_EQ(t->fprintf(nullptr, "x"), 0);
  });
  EXPECT_EQ(r.err, "a=1;b;c\nd");
  EXPECT_EQ(r.log, "a=1;b;c\nd");
}

TEST(DebugLog, OverlongWriteGoesWholeToLogAndNoteToConsole) {
  ChildRun r = runInChild([] {
    std::string big(30000, 'x');
    vdebugFprintf(vdebugGetConsoleError(), "%s", big.c_str());
    vsysExit(0);
  });
  EXPECT_EQ(r.log, std::string(30000, 'x'));
  EXPECT_NE(r.err.find("NOTE: a write of 30000 bytes was just made to the console"), std::string::npos);
  EXPECT_LT(r.err.size(), 1000u);
}

TEST(DebugLog, NothingDroppedWithoutALog) {
  ChildRun r = runInChild(
      [] {
        std::string big(30000, 'y');
        vdebugFprintf(vdebugGetConsoleError(), "%s|", big.c_str());
        vdebugFprintf(vdebugGetConsoleError(), "short\n");
        std::fprintf(stderr, "[%s]\n", vdebugGetLogName());
      },
      [](const std::filesystem::path& dir) {
        std::ofstream(dir / "vdebug.log") << "keep";
        for (int i = 0; i < 100; ++i) std::ofstream(dir / ("vdebug" + std::to_string(i) + ".log")) << "keep";
      });
  EXPECT_EQ(r.err, std::string(30000, 'y') + "|short\n[]\n");
  EXPECT_EQ(r.log, "keep");
}

TEST(DebugLog, PointerTextIsDigitsOnly) {
  char buf[24];
  EXPECT_STREQ(vdebugPointerText(buf, nullptr), "0000000000000000");
  EXPECT_STREQ(vdebugPointerText(buf, reinterpret_cast<void*>(0xABCDEF12)), "00000000ABCDEF12");
}

}  // namespace
