// The text of long traces through the console into a file, on both
// engines: the filter with memory shown beside the registers, and the
// 73583 with every peripheral running and every register shown. Each text
// must equal the other engine's and the text the trace printed when it
// still ran one cycle per slice and read each register by name (its
// length and FNV-1a digest, kept below).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/fir_program.h"
#include "console/console_fixture.h"
#include "sim/engine/core/runloop.h"

namespace {

uint64_t fnv1a(const std::string& text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
  return text;
}

struct trace_case {
  const char* what;
  const char* type;
  const char* setup[4];  // commands after the program is placed
  const char* trace;
  std::size_t length;
  uint64_t digest;
};

class trace_text : public console_fixture {
 protected:
  std::string trace(const trace_case& c, bool cycle_engine) {
    free_all_devices();
    EXPECT_EQ(create_device(0, c.type), 1);
    select_device(0);
    device_states[0]->cycle_engine_only = cycle_engine ? 1 : 0;
    for (const fir_line& line : fir_program)
      execute_command_line(0, ("asm p:$" + hex(line.address) + " " + line.text).c_str());
    for (const auto& [address, value] : fir_data)
      execute_command_line(0, ("change x:$" + hex(address) + " $" + hex(value)).c_str());
    for (const char* command : c.setup)
      if (command != nullptr) execute_command_line(0, command);
    execute_command_line(0, "change pc $100");
    const std::size_t start = output().size();
    execute_command_line(0, c.trace);
    for (int k = 0; k < 10000000 && console_run_slice(); ++k) {
    }
    EXPECT_EQ(device_states[0]->running, 0);
    return output().substr(start);
  }
};

}  // namespace

TEST_F(trace_text, LongTracesPrintWhatTheyAlwaysPrinted) {
  const trace_case cases[] = {
      {"the filter, memory shown in fractions",
       "73521",
       {"radix f x:$00..$0a x:$40..$43 x:$80..$87", "display x:$40..$43 x:$00..$0a", "radix d r0 x0",
        nullptr},
       "trace 2500",
       1599091,
       4101024713391129512ull},
      {"every peripheral of the 73583, every register shown",
       "73583",
       {"change tpr 99 tcr $8200 pbc 1 ccr1 $c000", "change cra0 $0207 crb0 $3c30 cra1 $6107 crb1 $3438 pcc $3ff",
        "display on", "radix u tcr"},
       "trace 1500",
       2162228,
       15161090903943574704ull},
  };
  for (const trace_case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string fast = trace(c, false);
    const std::string cycle = trace(c, true);
    EXPECT_EQ(fast, cycle);
    EXPECT_EQ(fast.size(), c.length);
    EXPECT_EQ(fnv1a(fast), c.digest) << fast.substr(0, 3000);
  }
}
