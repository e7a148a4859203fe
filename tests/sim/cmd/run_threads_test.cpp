// Many devices on worker threads: every slice leaves each device where one
// thread leaves it (whole state, rounds and running flags after every
// slice) and the session holds the same text, whatever the thread count;
// devices that stop (illegal words, the shown device among them) end the
// devices after them at the same round.
#include <gtest/gtest.h>

#include <sched.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/fast/run_lanes.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"

namespace {

using namespace engine_pair;

constexpr int DEVICES = 12;
constexpr int SLICES = 30;

// The parts (run_lane_kind, one bit each) the threads played at each
// device's instruction ends in a slice: alone, or in a threaded slice as
// its caller or a worker. Which threads ran the devices is the host's
// choice (on a busy host one thread may take them all); that the slice was
// handed to the workers is the program's. Each device's entry is written
// only by the thread running it.
std::array<unsigned, DEVICE_MAX> end_lanes;
void note_lane(int device) { end_lanes[static_cast<std::size_t>(device)] |= 1u << run_lane; }
constexpr unsigned ON_THREADS = 1u << LANE_MAIN | 1u << LANE_WORKER;

// Over a run: the slices whose devices ran on the threads, and the devices
// that ran alone in a slice and did not stop (the end that stops a device
// is finished by the caller alone after the slice).
struct lanes_seen {
  int threaded_slices = 0;
  int ran_alone = 0;
};

uint32_t illegal_word() {
  for (uint32_t word = 0;; ++word)
    if (instr_flags_lookup(static_cast<uint16_t>(word), false) & IFLAG_ILLEGAL) return word;
}

class run_threads : public cmd_fixture {
 protected:
  void TearDown() override {
    instruction_end_observer = nullptr;
    unsetenv("DSP_RUN_THREADS");
    cmd_fixture::TearDown();
  }

  struct slice_seen {
    int rounds = 0;
    std::vector<uint64_t> digests;
    std::vector<int> running;
    bool operator==(const slice_seen&) const = default;
  };

  static void use_threads(int threads) {
    if (threads > 0)
      setenv("DSP_RUN_THREADS", std::to_string(threads).c_str(), 1);
    else
      unsetenv("DSP_RUN_THREADS");
  }

  // Runs SLICES slices of the devices made, each starting at starts[d]:
  // when a device stops, each device that stopped starts its program
  // again and every device is armed again, as a new go does. Before each
  // slice, `before(slice)`.
  template <class Before>
  static std::vector<slice_seen> run_slices(const std::vector<uint32_t>& starts, lanes_seen* lanes,
                                            Before before) {
    const int count = static_cast<int>(starts.size());
    for (int d = 0; d < count; ++d) arm(d);
    end_lanes.fill(0);
    instruction_end_observer = note_lane;
    std::vector<slice_seen> seen;
    for (int s = 0; s < SLICES; ++s) {
      before(s);
      slice_seen now;
      now.rounds = run_device_slice(RUN_SLICE_ROUNDS);
      bool stopped = false;
      for (int d = 0; d < count; ++d) {
        make_device_current(d);
        catch_up_peripherals();
        now.digests.push_back(device_state_digest(d));
        now.running.push_back(device_states[d]->running);
        stopped = stopped || device_states[d]->running == 0;
      }
      if (lanes != nullptr) {
        unsigned all = 0;
        for (int d = 0; d < count; ++d) {
          const unsigned mask = end_lanes[static_cast<std::size_t>(d)];
          all |= mask;
          if ((mask & 1u << LANE_ALONE) != 0 && device_states[d]->running != 0) ++lanes->ran_alone;
        }
        lanes->threaded_slices += (all & ON_THREADS) != 0 ? 1 : 0;
        end_lanes.fill(0);
      }
      seen.push_back(now);
      if (!stopped) continue;
      for (int d = 0; d < count; ++d) {
        if (device_states[d]->running == 0) set(d, "pc", starts[static_cast<std::size_t>(d)]);
        arm(d);
      }
    }
    instruction_end_observer = nullptr;
    return seen;
  }

  // Nops under a DO loop and a repeat, running into an illegal word after
  // a different count of passes on each device (from `least` on).
  static void place_illegal_end(int d, int least = 20) {
    const int passes = least + (d * 53) % (5 * least);
    assemble(d, 0x10, ("do #" + std::to_string(passes) + ",$14").c_str());
    assemble(d, {{0x12, "rep #20"}, {0x13, "nop"}, {0x14, "nop"}});
    put(d, SPACE_P, 0x15, illegal_word());
  }

  // Twelve devices of every type: the filter, random programs, interrupts
  // pulled inside loops, and nops running into an illegal word at a
  // different count on each (device 3, shown, among them).
  // threads 0: the host's count, the governor choosing.
  static std::vector<slice_seen> run_all(int threads, lanes_seen* lanes) {
    use_threads(threads);
    free_all_devices();
    std::mt19937 rng(39);
    std::vector<uint32_t> starts(DEVICES);
    for (int d = 0; d < DEVICES; ++d) {
      make(d, type_names[d % 5], false);
      switch (d % 4) {
        case 0:
          place_fir(d);
          starts[d] = 0x100;
          break;
        case 1: {
          const std::vector<uint32_t> program = random_program(rng, 200);
          for (uint32_t a = 0; a < program.size(); ++a) put(d, SPACE_P, a, program[a]);
          for (uint32_t a = 0; a < 200; ++a) put(d, SPACE_X, a, rng() & 0xFFFF);
          starts[d] = 0;
          break;
        }
        case 2:
          assemble(d, irq_program);
          set(d, "ipr", 3);
          starts[d] = 0x40;
          break;
        default:
          place_illegal_end(d);
          starts[d] = 0x10;
      }
      set(d, "pc", starts[d]);
    }
    select_device(3);
    return run_slices(starts, lanes, [](int s) {
      for (int d = 2; d < DEVICES; d += 4) pull_irqa(d, s % 3 == 0);
    });
  }

  // Sixteen devices of every type, each with its timer's overflow taken as
  // an interrupt (a handler at $90 counting in b, which no program uses; a period of its own on
  // each device, 80 to 300 cycles) and its serial ports sending and
  // receiving on their own clocks; on the "73583" types also the host
  // interface and the codec converting. Under them the filter, the IRQA
  // program with its own interrupts, and nops running into an illegal word
  // (device 3, shown, among them).
  static constexpr int PERIPHERAL_DEVICES = 16;
  static std::vector<slice_seen> run_with_peripherals(int threads, lanes_seen* lanes) {
    use_threads(threads);
    free_all_devices();
    std::vector<uint32_t> starts(PERIPHERAL_DEVICES);
    for (int d = 0; d < PERIPHERAL_DEVICES; ++d) {
      const char* type = type_names[d % 5];
      make(d, type, false);
      uint32_t ipr = 0x4000;  // the timer at level 1
      switch (d % 3) {
        case 0:
          place_fir(d);
          starts[d] = 0x100;
          break;
        case 1:
          assemble(d, irq_program);
          ipr |= 3;
          starts[d] = 0x40;
          break;
        default:
          place_illegal_end(d, 40);
          starts[d] = 0x10;
      }
      assemble(d, {{0x20, "jsr >$90"}, {0x90, "inc b"}, {0x91, "rti"}});
      execute_command_line(d, ("change tpr " + std::to_string(39 + d * 7) + " tcr $8200").c_str());
      if (type[3] == '8') {
        execute_command_line(d, "change pbc 1 ccr1 $c000 cra0 $0207 crb0 $3c30 cra1 $6107 crb1 $3438 pcc $3ff");
      } else {
        execute_command_line(d, "change cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff");
      }
      set(d, "ipr", ipr);
      set(d, "sr", 0);  // no interrupt masked
      set(d, "pc", starts[d]);
    }
    select_device(3);
    return run_slices(starts, lanes, [](int s) {
      for (int d = 1; d < PERIPHERAL_DEVICES; d += 3) pull_irqa(d, s % 3 == 0);
    });
  }

  // Every instruction end ran inside a slice handed to the worker threads
  // (on whichever threads the host ran).
  static void expect_threaded(const lanes_seen& lanes) {
    EXPECT_EQ(lanes.threaded_slices, SLICES) << "slices ran without the workers";
    EXPECT_EQ(lanes.ran_alone, 0) << "devices ran alone inside slices";
  }

  // Every slice of `many` as in `one`: rounds, running flags and every
  // device's whole state.
  static void expect_same_slices(const std::vector<slice_seen>& many, const std::vector<slice_seen>& one) {
    ASSERT_EQ(many.size(), one.size());
    for (std::size_t s = 0; s < one.size(); ++s) {
      EXPECT_EQ(many[s].rounds, one[s].rounds) << "slice " << s;
      EXPECT_TRUE(many[s].running == one[s].running) << "slice " << s;
      for (std::size_t d = 0; d < one[s].digests.size(); ++d)
        if (many[s].digests[d] != one[s].digests[d]) ADD_FAILURE() << "slice " << s << ", device " << d;
      if (::testing::Test::HasFailure()) return;
    }
  }
};

TEST_F(run_threads, SlicesLeaveEveryDeviceWhereOneThreadLeavesIt) {
  const std::vector<slice_seen> one = run_all(1, nullptr);
  const std::string one_text = output();
  int stops = 0;
  for (const slice_seen& s : one)
    stops += s.rounds < RUN_SLICE_ROUNDS ? 1 : 0;
  EXPECT_GE(stops, 5) << "the illegal words stop some slices";
  for (int threads : {4, 3, 8, 0}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    unsetenv("DSP_RUN_THREADS");
    if (threads == 0 && run_thread_count() == 1) continue;
    recorded().clear();
    lanes_seen lanes;
    const std::vector<slice_seen> many = run_all(threads, &lanes);
    expect_same_slices(many, one);
    if (HasFailure()) return;
    EXPECT_EQ(output(), one_text);
    // The governor may keep the host's count on this thread.
    if (threads != 0) expect_threaded(lanes);
  }
}

// Every device's timer interrupting, its serial ports (and on the "73583"
// types the host interface and codec) running: the events that end the
// straight runs and the interrupts taken fall at chunk ends too, and each
// device still ends every slice where one thread ends it.
TEST_F(run_threads, TimersInterruptingEveryDeviceLeaveItWhereOneThreadLeavesIt) {
  const std::vector<slice_seen> one = run_with_peripherals(1, nullptr);
  const std::string one_text = output();
  int stops = 0;
  for (const slice_seen& s : one) stops += s.rounds < RUN_SLICE_ROUNDS ? 1 : 0;
  EXPECT_GE(stops, 5) << "the illegal words stop some slices";
  EXPECT_GE(SLICES - stops, 5) << "and some run whole";
  // Each handler ran about once per period: at least a third of that.
  for (int d = 0; d < PERIPHERAL_DEVICES; ++d) {
    int row = 0, reg = 0;
    uint32_t b0[3] = {0, 0, 0};
    ASSERT_NE(lookup_register(d, "b0", &row, &reg), 0);
    read_register(d, row, reg, b0);
    EXPECT_GE(b0[0], static_cast<uint32_t>(SLICES * RUN_SLICE_ROUNDS / (2 * (40 + d * 7)) / 3)) << "device " << d;
  }
  for (int threads : {2, 4, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    recorded().clear();
    lanes_seen lanes;
    const std::vector<slice_seen> many = run_with_peripherals(threads, &lanes);
    expect_same_slices(many, one);
    if (HasFailure()) return;
    EXPECT_EQ(output(), one_text);
    expect_threaded(lanes);
  }
}

// Breakpoints that halt or count on three of eight devices (addresses,
// count conditions and register conditions mixed, one list on a device
// of its own): the devices with them run first and the others after them
// up to the round where one stopped, on one thread or on workers; every
// slice leaves each device, the rounds and the session text where the
// cycle engine's round-by-round run of every device leaves them.
TEST_F(run_threads, DevicesWithBreakpointsRunFirstAndBoundTheOthers) {
  constexpr int COUNT = 8;
  const std::vector<std::vector<const char*>> lists = {
      {},
      {"break p:$10d i1", "break cyc==2500", "break x0==$800 i2", "break p:$201", "break cyc==7100"},
      {},
      {},
      {"break r2==$85&&cyc>22000", "break p:$10e i3"},
      {},
      {"break p:$110 i4", "break cyc==15000"},
      {}};
  struct run_seen {
    std::vector<slice_seen> slices;
    std::string text;
  };
  const auto run = [&](bool cycle_engine, int threads) {
    setenv("DSP_RUN_THREADS", std::to_string(threads).c_str(), 1);
    free_all_devices();
    recorded().clear();
    for (int d = 0; d < COUNT; ++d) {
      make(d, type_names[d % 5], cycle_engine);
      if (d == 3) {
        assemble(d, irq_program);
        set(d, "ipr", 3);
        set(d, "pc", 0x40);
      } else {
        place_fir(d);
        set(d, "pc", 0x100);
      }
      for (const char* line : lists[static_cast<std::size_t>(d)]) execute_command_line(d, line);
    }
    for (int d = 0; d < COUNT; ++d) arm(d);
    run_seen seen;
    for (int s = 0; s < SLICES * 2; ++s) {
      pull_irqa(3, s % 3 == 0);
      slice_seen now;
      now.rounds = run_device_slice(RUN_SLICE_ROUNDS);
      bool stopped = false;
      for (int d = 0; d < COUNT; ++d) {
        make_device_current(d);
        catch_up_peripherals();
        now.digests.push_back(device_state_digest(d));
        now.running.push_back(device_states[d]->running);
        stopped = stopped || device_states[d]->running == 0;
      }
      seen.slices.push_back(now);
      if (stopped)
        for (int d = 0; d < COUNT; ++d) arm(d);
    }
    seen.text = output();
    return seen;
  };
  const run_seen reference = run(true, 1);
  int stops = 0, full = 0;
  for (const slice_seen& s : reference.slices) {
    stops += s.rounds < RUN_SLICE_ROUNDS ? 1 : 0;
    full += s.rounds == RUN_SLICE_ROUNDS ? 1 : 0;
  }
  EXPECT_GE(stops, 20) << "the breakpoints stop many slices";
  EXPECT_GE(full, 3) << "and some run whole";
  EXPECT_NE(reference.text.find("Break #"), std::string::npos);
  for (int threads : {1, 4}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const run_seen fast = run(false, threads);
    ASSERT_EQ(fast.slices.size(), reference.slices.size());
    for (std::size_t s = 0; s < reference.slices.size(); ++s) {
      EXPECT_EQ(fast.slices[s].rounds, reference.slices[s].rounds) << "slice " << s;
      EXPECT_TRUE(fast.slices[s].running == reference.slices[s].running) << "slice " << s;
      for (int d = 0; d < COUNT; ++d)
        if (fast.slices[s].digests[d] != reference.slices[s].digests[d]) ADD_FAILURE() << "slice " << s << ", device " << d;
      if (HasFailure()) return;
    }
    EXPECT_EQ(fast.text, reference.text);
  }
}

// Slices of a few rounds, one after another, on more threads than the
// host has cores: workers come late to slices or not at all, and some
// still look at a slice's lanes while the next ones run (on the other set
// of lanes, then on theirs again). Every device ends each slice where one
// thread ends it.
TEST_F(run_threads, ShortSlicesWithWorkersComingLateLeaveDevicesWhereOneThreadLeavesThem) {
  constexpr int COUNT = 12;
  constexpr int SHORT_SLICES = 1500;
  const auto run = [](int threads) {
    use_threads(threads);
    free_all_devices();
    for (int d = 0; d < COUNT; ++d) {
      make(d, type_names[d % 5], false);
      place_fir(d);
      if (d % 3 == 1) {
        // The timer interrupting every 60 cycles.
        assemble(d, {{0x20, "jsr >$90"}, {0x90, "inc b"}, {0x91, "rti"}});
        execute_command_line(d, "change tpr 29 tcr $8200");
        set(d, "ipr", 0x4000);
        set(d, "sr", 0);
      }
      set(d, "pc", 0x100);
      arm(d);
    }
    std::vector<uint64_t> digests;
    for (int s = 0; s < SHORT_SLICES; ++s) {
      EXPECT_EQ(run_device_slice(1 + s % 7), 1 + s % 7);
      if (s % 100 != 99) continue;
      for (int d = 0; d < COUNT; ++d) {
        make_device_current(d);
        catch_up_peripherals();
        digests.push_back(device_state_digest(d));
      }
    }
    return digests;
  };
  const std::vector<uint64_t> one = run(1);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  for (int threads : {COUNT, static_cast<int>(std::min<unsigned>(cores + 2, COUNT))}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    EXPECT_TRUE(run(threads) == one);
  }
}

// A failure inside a device's run on a worker (here the per-end observer
// throwing for one device) reaches the slice's caller as on one thread,
// and the slices after it run as usual.
TEST_F(run_threads, AFailureOnAWorkerReachesTheSlicesCaller) {
  constexpr int COUNT = 8;
  constexpr int FAILING = 5;
  for (int threads : {1, 4}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    use_threads(threads);
    free_all_devices();
    for (int d = 0; d < COUNT; ++d) {
      make(d, type_names[d % 5], false);
      place_fir(d);
      set(d, "pc", 0x100);
      arm(d);
    }
    instruction_end_observer = [](int device) {
      if (device == FAILING && device_insts[device]->cycles > 2500) throw std::runtime_error("observer");
    };
    int slices = 0;
    try {
      for (; slices < 10; ++slices) run_device_slice(RUN_SLICE_ROUNDS);
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "observer");
    }
    EXPECT_EQ(slices, 2) << "the failure comes in the third slice";
    instruction_end_observer = nullptr;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(run_device_slice(RUN_SLICE_ROUNDS), RUN_SLICE_ROUNDS);
    for (int d = 0; d < COUNT; ++d) EXPECT_EQ(device_states[d]->running, 1) << "device " << d;
  }
}

// A run that may end early ends at its first instruction end from `soft`
// on (the fast engine; the cycle engine runs `soft` cycles exactly), never
// past `max`, and leaves the device as a run of that many cycles does:
// the filter, random programs and the timer's interrupts, in many slices
// of random bounds.
TEST_F(run_threads, RunsEndingAtAnInstructionEndLeaveTheStateOfAsManyCycles) {
  std::mt19937 rng(134);
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE("program " + std::to_string(kind));
    free_all_devices();
    // 0 ends early, 1 runs the same counts exactly, 2 on the cycle engine.
    for (int d = 0; d < 3; ++d) {
      make(d, type_names[kind], d == 2);
      if (kind == 1) {
        std::mt19937 same(7);
        const std::vector<uint32_t> program = random_program(same, 150);
        for (uint32_t a = 0; a < program.size(); ++a) put(d, SPACE_P, a, program[a]);
        set(d, "pc", 0);
      } else {
        place_fir(d);
        if (kind == 2) {
          assemble(d, {{0x20, "jsr >$90"}, {0x90, "inc b"}, {0x91, "rti"}});
          execute_command_line(d, "change tpr 37 tcr $8200");
          set(d, "ipr", 0x4000);
          set(d, "sr", 0);
        }
        set(d, "pc", 0x100);
      }
      arm(d);
    }
    int early = 0;
    for (int k = 0; k < 300 && device_states[0]->running != 0; ++k) {
      const int soft = static_cast<int>(rng() % 60);
      const int max = soft + static_cast<int>(rng() % 30);
      const int ran = run_device_cycles_soft(0, soft, max);
      ASSERT_GE(ran, device_states[0]->running != 0 ? soft : 0);
      ASSERT_LE(ran, max);
      if (kind == 0 && ran < max) {
        EXPECT_TRUE(core_at_boundary(*device_insts[0])) << "slice " << k;
        EXPECT_LE(ran, soft + SOFT_END_SLACK) << "slice " << k;
      }
      early += ran < max ? 1 : 0;
      EXPECT_EQ(run_device_cycles(1, ran), ran);
      EXPECT_EQ(run_device_cycles_soft(2, ran, ran + 20), ran) << "slice " << k;
      for (int d = 1; d < 3; ++d) {
        ASSERT_EQ(device_state_difference(0, d), "") << "slice " << k << ", device " << d;
        ASSERT_EQ(device_states[d]->running, device_states[0]->running);
      }
    }
    EXPECT_GE(early, 30) << "runs ended before their most";
  }
}

// The threads' chunks end at instruction ends, so a threaded slice cuts no
// more instructions than one thread's: every device runs as many of them
// whole on the executor as on one thread (each cut instruction goes cycle
// by cycle), on any count of threads.
TEST_F(run_threads, ChunksEndAtInstructionEnds) {
  constexpr int COUNT = 24;
  const auto whole = [](int threads) {
    use_threads(threads);
    free_all_devices();
    for (int d = 0; d < COUNT; ++d) {
      make(d, "73521", false);
      place_fir(d);
      set(d, "pc", 0x100);
      arm(d);
    }
    for (int s = 0; s < 10; ++s) EXPECT_EQ(run_device_slice(RUN_SLICE_ROUNDS), RUN_SLICE_ROUNDS);
    std::vector<uint32_t> counts;
    for (int d = 0; d < COUNT; ++d) counts.push_back(device_states[d]->exec_instructions);
    return counts;
  };
  const std::vector<uint32_t> one = whole(1);
  for (int threads : {2, 8}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    EXPECT_EQ(whole(threads), one);
  }
}

TEST_F(run_threads, ThreadCountComesFromTheEnvironmentOrTheHost) {
  unsetenv("DSP_RUN_THREADS");
  bool from_host = false;
  const int host = run_thread_count(&from_host);
  EXPECT_TRUE(from_host);
  EXPECT_GE(host, 1);
  EXPECT_LE(host, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  const struct {
    const char* value;
    int expected;
  } cases[] = {{"1", 1}, {"4", 4}, {"1000", DEVICE_MAX}, {"0", host}, {"", host}, {"two", host}, {"3x", host}};
  for (const auto& c : cases) {
    setenv("DSP_RUN_THREADS", c.value, 1);
    EXPECT_EQ(run_thread_count(&from_host), c.expected) << '"' << c.value << '"';
    EXPECT_EQ(from_host, c.expected == host && c.value != std::string("1") && c.value != std::string("4"))
        << '"' << c.value << '"';
  }
  unsetenv("DSP_RUN_THREADS");

  // Held to fewer cores (taskset), the host's count is those cores; a
  // number set in the environment still holds (the tests' threads).
  cpu_set_t all;
  CPU_ZERO(&all);
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  std::vector<int> cores;
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &all)) cores.push_back(c);
  for (std::size_t keep : {std::size_t{1}, std::size_t{2}}) {
    if (keep > cores.size()) break;
    cpu_set_t few;
    CPU_ZERO(&few);
    for (std::size_t k = 0; k < keep; ++k) CPU_SET(cores[k], &few);
    ASSERT_EQ(sched_setaffinity(0, sizeof few, &few), 0);
    EXPECT_EQ(run_thread_count(), static_cast<int>(keep));
    setenv("DSP_RUN_THREADS", "4", 1);
    EXPECT_EQ(run_thread_count(), 4);
    unsetenv("DSP_RUN_THREADS");
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(run_thread_count(), host);
}

// The governor's choices over a run whose host gets busy and then quiet
// again: each step gives the choice expected for the next slice and the
// time that slice then takes per device-round (threads or alone, as
// chosen).
TEST(slice_governor_choice, FollowsTheFasterAndTriesTheOtherNowAndThen) {
  struct step {
    bool threads;  // the expected choice
    double took;
  };
  std::vector<step> steps = {{true, 1.0}, {false, 3.0}};  // each measured once, threads first
  // Quiet: the threads, with the alone figure tried every PROBE_EVERY.
  for (int k = 0; k < slice_governor::PROBE_EVERY; ++k) steps.push_back({true, 1.0});
  steps.push_back({false, 3.0});
  // One disturbed slice is smoothed over; the host stays busy, and within
  // a few slices the smoothed time passes the alone figure.
  steps.push_back({true, 5.0});  // 2.0
  steps.push_back({true, 5.0});  // 2.75
  steps.push_back({true, 5.0});  // 3.31: alone is faster now
  for (int k = 0; k < slice_governor::PROBE_EVERY; ++k) steps.push_back({false, 3.0});
  steps.push_back({true, 6.0});  // tried again: still slower
  for (int k = 0; k < slice_governor::PROBE_EVERY; ++k) steps.push_back({false, 3.0});
  steps.push_back({true, 1.0});  // quiet again: the threads win at once
  steps.push_back({true, 1.0});
  slice_governor g;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    ASSERT_EQ(g.threads_next(), steps[i].threads) << "slice " << i;
    g.record(steps[i].threads, steps[i].took);
  }
  // A slice that took no measurable time changes nothing.
  const bool before = g.threads_next();
  g.record(!before, 0);
  EXPECT_EQ(g.threads_next(), before);
}

}  // namespace
