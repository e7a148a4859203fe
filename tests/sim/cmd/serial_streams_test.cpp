// A serial port whose own data streams are open takes and gives its stream
// words in steps of their own, at their cycles, and takes the bit steps
// between them at catch-ups. Against the same port with every toggle of its
// clock an event of its own (the reference): the same stream files (timed
// lines carry the cycle of each word), the same input words taken, the port's
// words and pins, the program's registers and the end-of-input flag, after
// slices that end inside words; against the cycle engine with the same
// events, the whole state at every instruction end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/statefile.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"
#include "support/serial_port_state.h"

namespace {

using namespace engine_pair;
constexpr int FAST = 0, CYCLE = 1, REFERENCE = 2;

std::vector<uint64_t> ends[2];
void record(int device) {
  if (device != FAST && device != CYCLE) return;
  catch_up_peripherals();
  ends[device].push_back(device_state_digest(device));
}

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "$%x", v);
  return text;
}

// The program's side of the port at X I/O `base`: it polls ssr, reads rx
// (which clears RDF, so the next received word takes an input word) and
// sends back what it read plus one; or it leaves the port alone.
void place_program(int d, uint32_t base, bool polls, int delay) {
  if (!polls) {
    assemble(d, {{0x100, "rep #7"}, {0x101, "nop"}, {0x102, "jmp >$100"}});
    return;
  }
  const std::string lines[] = {"move x:" + hex(base + 0x20) + ",a", "move x:" + hex(base + 0x21) + ",b", "inc b",
                               "move b1,x:" + hex(base + 0x21), "rep #" + std::to_string(delay), "nop",
                               "jmp >$100"};
  const uint32_t at[] = {0x100, 0x102, 0x104, 0x105, 0x107, 0x108, 0x109};
  for (int k = 0; k < 7; ++k) assemble(d, at[k], lines[k].c_str());
}

// How the fast device's port steps, and whether instructions run straight
// between its events.
enum port_steps : uint8_t {
  WORD_EVENTS,          // bit steps at catch-ups, stream words at events
  EVERY_TOGGLE,         // something sees the port, or it waits for a frame sync: every toggle an event
  EVERY_CYCLE,          // a stream sets its pins (every cycle an event) or samples them (the cycle engine)
  WORDS_ON_THE_CYCLES,  // word events, but a stream needs every cycle's services
};
struct serial_case {
  const char* what;
  const char* type;
  std::vector<std::string> lines;  // "@" stands for the device's name
  port_steps steps = WORD_EVENTS;
  bool polls = true;  // the program reads rx (and writes tx)
  int min_lines = 4;  // in the fast device's files
  const char* port = "ssi0";
  int delay = 23;  // the program's nops between two polls
};

class serial_streams : public cmd_fixture {
 protected:
  std::filesystem::path scratch;

  void SetUp() override {
    cmd_fixture::SetUp();
    free_all_devices();
    std::string pattern = (std::filesystem::temp_directory_path() / "simserialXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
    const std::pair<const char*, const char*> files[] = {
        {"rx.io", "( $1234 $5678 # 2 idle $9abc ) # 30 $4321\n"},
        {"short.io", "$1111 $2222 $3333\n"},
        {"trx.tio", "100 $1111 +3 $2222 900 $3333 ( +2 $4444 ) # 40 5000 $5555\n"},
        {"clock.io", "( 0 # 6 1 # 6 ) # 400 0 # 9 ( 1 # 3 0 # 5 )\n"},
        {"fsync.io", "( 1 # 3 0 # 93 )\n"},
        {"words.tio", "( +100 $1234 )\n"},
    };
    for (auto [name, text] : files) std::ofstream(scratch / name) << text;
    // A word due every 197 cycles, against one received every 128 or less: a
    // word asked for a step early or late finds another due or none.
    std::ofstream due(scratch / "due.tio");
    for (int t = 40; t < 20000; t += 197) due << t << " $" << std::hex << t << std::dec << "\n";
  }
  void TearDown() override {
    instruction_end_observer = nullptr;
    free_all_devices();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    cmd_fixture::TearDown();
  }

  static int port_row(int d, const char* name) {
    make_device_current(d);
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::strcmp(cur_type->periphs[p].name, name) == 0) return p;
    return 0;
  }
  void make_one(int d, const serial_case& c) {
    make(d, c.type, d != FAST);
    device_states[d]->serial_unseen_off = d == REFERENCE ? 1 : 0;
    device_insts[d]->work_dir = scratch.string() + "/";
    const int port = port_row(d, c.port);
    ASSERT_NE(port, 0);
    place_program(d, cur_type->periphs[port].base, c.polls, c.delay);
    for (std::string line : c.lines) {
      for (std::size_t at; (at = line.find('@')) != std::string::npos;)
        line.replace(at, 1, "dev" + std::to_string(d));
      execute_command_line(d, line.c_str());
    }
    set(d, "pc", 0x100);
    arm(d);
  }
  // What the reference must agree on: the serial ports, the program's
  // registers, the count and the end-of-input flag.
  static std::vector<uint32_t> seen(int d) {
    make_device_current(d);
    std::vector<uint32_t> s;
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (cur_type->periphs[p].cls->input_word == serial_input_word) {
        const std::vector<uint32_t> port = serial_port_state(p);
        s.insert(s.end(), port.begin(), port.end());
      }
    for (int reg : {CORE_A0, CORE_A1, CORE_B0, CORE_B1, CORE_PC}) s.push_back(cur_inst->periph_state[0][reg]);
    s.push_back(cur_inst->cycles);
    s.push_back(cur_state->eof_flag);
    return s;
  }
  // The stream files of the three devices compared by name; how many
  // lines the fast device's hold.
  int compare_files() {
    int lines = 0;
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(scratch))
      files.push_back(e.path());
    for (const std::filesystem::path& file : files) {
      const std::string name = file.filename().string();
      const std::size_t mark = name.find("dev0");
      if (mark == std::string::npos) continue;
      const std::string mine = slurp(file);
      lines += static_cast<int>(std::count(mine.begin(), mine.end(), '\n'));
      for (const char other : {'1', '2'}) {
        std::string twin = name;
        twin[mark + 3] = other;
        EXPECT_EQ(mine, slurp(scratch / twin)) << name << " against " << twin;
        std::filesystem::remove(scratch / twin);
      }
      std::filesystem::remove(file);
    }
    return lines;
  }
  // The three devices saved to a state file and loaded again (which makes
  // them anew: what is not state comes back as a new device has it).
  void save_and_load() {
    const std::string file = (scratch / "all.sim").string();
    ASSERT_EQ(save_state_file(file.c_str(), 0, REFERENCE), 0);
    ASSERT_EQ(load_state_file(file.c_str()), 0);
    for (int d : {FAST, CYCLE, REFERENCE}) {
      ASSERT_NE(device_states[d], nullptr);
      device_states[d]->cycle_engine_only = d != FAST ? 1 : 0;
      device_states[d]->serial_unseen_off = d == REFERENCE ? 1 : 0;
    }
    std::filesystem::remove(file);
  }
  // Slices of odd lengths, so that they end inside words and
  // instructions; with `reload`, a state file saved and loaded halfway.
  void run_case(const serial_case& c, int slices, int slice, bool reload = false) {
    SCOPED_TRACE(std::string(c.type) + " " + c.port + ": " + c.what);
    ends[0].clear();
    ends[1].clear();
    instruction_end_observer = record;
    for (int d : {FAST, CYCLE, REFERENCE}) make_one(d, c);
    for (int s = 0; s < slices; ++s) {
      const int n = slice + 13 * (s % 7);
      for (int d : {FAST, CYCLE, REFERENCE}) ASSERT_EQ(run_device_cycles(d, n), n);
      // Each looked at alike: a look catches a port up, which sets the
      // pins' previous words at a different count than its steps would.
      seen(CYCLE);
      ASSERT_EQ(seen(FAST), seen(REFERENCE)) << "slice " << s;
      if (reload && s == slices / 2) save_and_load();
    }
    EXPECT_EQ(ends[FAST].size(), ends[CYCLE].size());
    EXPECT_TRUE(ends[FAST] == ends[CYCLE]);
    for (int d : {FAST, CYCLE}) {
      make_device_current(d);
      catch_up_peripherals();
    }
    EXPECT_EQ(device_state_difference(FAST, CYCLE), "");
    EXPECT_GE(compare_files(), c.min_lines);
    EXPECT_EQ(device_states[FAST]->straight_instructions > 0, c.steps == WORD_EVENTS || c.steps == EVERY_TOGGLE);
    EXPECT_EQ(device_states[REFERENCE]->serial_unseen_steps, 0u);
    EXPECT_EQ(device_states[FAST]->serial_unseen_steps > 0, c.steps == WORD_EVENTS || c.steps == WORDS_ON_THE_CYCLES);
    for (int d : {FAST, CYCLE, REFERENCE}) {
      make_device_current(d);
      for (io_stream*& list : cur_state->streams) free_streams(&list, "", 1);
    }
    free_all_devices();
  }
};

TEST_F(serial_streams, WordsAtTheirOwnStepsAsSteppingEveryToggle) {
  // ssi0 of "73521": pcc hands ports C's pins to both ports; ipr stays 0,
  // so no request is seen.
  const std::string in = "input ssi0 rx", out = "output ssi0 sent@ -o", tout = "output t ssi0 tsent@ -o";
  const serial_case cases[] = {
      {"normal, 16-bit, PM 1", "73521", {"change cra0 $6001 crb0 $3030 pcc $3ff", in, tout}},
      {"normal, 16-bit, PM 7, not polled", "73521", {"change cra0 $6007 crb0 $3030 pcc $3ff", in, out, tout},
       WORD_EVENTS, false},
      {"network, 8-bit, four slots, tml 5", "73521",
       {"change cra0 $0301 crb0 $3830 tml0 $5 pcc $3ff", in, out, tout}},
      {"network, 8-bit, four slots, rml 9, output only", "73521",
       {"change cra0 $0300 crb0 $3830 rml0 $9 pcc $3ff", tout}},
      {"12-bit, PSR, LSB first, word-long frame sync", "73521", {"change cra0 $c000 crb0 $31b0 pcc $3ff", in, tout}},
      {"companded 8-bit, mu-law", "73521", {"change cra0 $2002 crb0 $3038 pcc $3ff", in, tout}},
      {"companded 8-bit, A-law, input only", "73521", {"change cra0 $2002 crb0 $3030 pcc $3ff", in}, WORD_EVENTS,
       true, 0},
      {"on demand: network, one slot", "73521", {"change cra0 $6000 crb0 $3830 pcc $3ff", in, tout}},
      {"synchronous: the receiver on the transmitter's frame sync", "73521",
       {"change cra0 $6001 crb0 $3430 pcc $3ff", in, tout}},
      {"a stream that ends", "73521", {"change cra0 $6001 crb0 $3030 pcc $3ff", "input ssi0 short", tout}},
      {"ssi1 in network mode, ssi0 unseen beside it", "73521",
       {"change cra0 $6003 crb0 $3030 cra1 $0301 crb1 $3830 pcc $3ff", "input ssi1 rx", "output t ssi1 tsent@ -o"},
       WORD_EVENTS, true, 4, "ssi1"},
      {"the timer, both ports and memory streams", "73521",
       {"change tpr 99 tcr $8200 cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff", in, out, tout,
        "input t x:$50 words", "output x:$83 out@ -o"}},
      {"synchronous, output flags", "73547", {"change cra0 $4001 crb0 $3436 pcc $3ff", in, tout}},
      {"rssi0 normal, 16-bit", "73583", {"change cra0 $6001 crb0 $3430 pcc $3ff", "input rssi0 rx",
                                          "output t rssi0 tsent@ -o"}, WORD_EVENTS, true, 4, "rssi0"},
      {"rssi0 network, 12-bit, gated clock, early frame sync", "73583",
       {"change cra0 $4300 crb0 $3c3c pcc $3ff", "input rssi0 rx", "output t rssi0 tsent@ -o"}, WORD_EVENTS, true, 4,
       "rssi0"},
      {"rssi1 gated clock, normal", "73583",
       {"change cra1 $6101 crb1 $3438 pcc $3ff", "input rssi1 rx", "output t rssi1 tsent@ -o"}, WORD_EVENTS, true, 4,
       "rssi1"},
      // Nothing drives the frame-sync input: the port waits for it.
      {"external frame sync, nothing driving it", "73521", {"change cra0 $6007 crb0 $3020 pcc $3ff", in, tout},
       EVERY_TOGGLE, true, 0},
      {"external frame sync fed by a pin stream", "73521",
       {"change cra0 $6007 crb0 $3020 pcc $3ff", "input pc4 fsync", in, tout}, EVERY_CYCLE},
      {"external clock fed by a pin stream", "73521",
       {"change cra0 $6000 crb0 $3010 pcc $3ff", "input pc2 clock", in, tout}, EVERY_CYCLE},
      {"the port's pins watched", "73521",
       {"change cra0 $6001 crb0 $3030 pcc $3ff", in, tout, "output pc0..pc4 pins@ -o"}, EVERY_CYCLE},
      {"timed input words", "73521", {"change cra0 $6001 crb0 $3030 pcc $3ff", "input t ssi0 trx", tout},
       WORDS_ON_THE_CYCLES},
      {"timed input words every 197 cycles, input only", "73521",
       {"change cra0 $6001 crb0 $3030 pcc $3ff", "input t ssi0 due"}, WORDS_ON_THE_CYCLES, true, 0, "ssi0", 90},
      {"timed input words every 197 cycles, network", "73521",
       {"change cra0 $0302 crb0 $3830 tml0 $5 pcc $3ff", "input t ssi0 due", tout}, WORDS_ON_THE_CYCLES},
      {"rssi0 timed input words every 197 cycles", "73583",
       {"change cra0 $4301 crb0 $3c3c pcc $3ff", "input t rssi0 due", "output t rssi0 tsent@ -o"},
       WORDS_ON_THE_CYCLES, true, 4, "rssi0"},
  };
  for (const serial_case& c : cases) run_case(c, 40, 397);
}

// A state saved in the middle of words and loaded again: the port's next
// word steps are worked out anew from its words, the streams go on from
// where they stood.
TEST_F(serial_streams, WordsGoOnAfterAStateIsLoadedMidWord) {
  const serial_case cases[] = {
      {"normal, 16-bit, PM 1", "73521",
       {"change cra0 $6001 crb0 $3030 pcc $3ff", "input ssi0 rx", "output t ssi0 tsent@ -o"}},
      {"network, 8-bit, timed input words", "73521",
       {"change cra0 $0302 crb0 $3830 tml0 $5 pcc $3ff", "input t ssi0 due", "output t ssi0 tsent@ -o"},
       WORDS_ON_THE_CYCLES},
      {"rssi1 gated clock, normal", "73583",
       {"change cra1 $6101 crb1 $3438 pcc $3ff", "input rssi1 rx", "output t rssi1 tsent@ -o"}, WORD_EVENTS, true, 4,
       "rssi1"},
  };
  for (const serial_case& c : cases) run_case(c, 30, 211, true);
}

}  // namespace
