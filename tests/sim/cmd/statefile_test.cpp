// State files: a busy state of several devices reloads to the same file,
// and a file refused anywhere leaves every device as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/sim/cmd/cmd_fixture.h"
#include <fcntl.h>

#include "sim/cmd/breakpoints.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/statefile.h"
#include "sim/cmd/watch.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"

namespace {

class state_file : public cmd_files {
 protected:
  // Writes the whole simulator to NAME and gives the text.
  std::string saved(const std::string& name) {
    EXPECT_EQ(save_state_file(path(name).c_str(), 0, DEVICE_MAX - 1), 0);
    return read_file(name);
  }
  void busy() {
    search_path.clear();  // kept by the process across tests
    run("path + /tmp");
    run("path + /usr");
    run("device dv3 73583");
    run("device dv5 73547");
    // Every space of device 0, breakpoints of several kinds, display tags.
    for (const char* space : {"p", "x", "pe", "pi", "pr", "xe", "xi"})
      run((std::string("change ") + space + ":$30 $1" + space).c_str());
    run("change xe:$12345 $77 pe:$20100 $66 x0 $12 r1 $34 pc $20");
    run("break p:$20");
    run("break dr x:$10");
    run("break #9 cyc>=1000");
    run("break #3 p:$1 x evaluate d a0");
    run("break r1==$34");
    run("asm p:0 move #1,x0");
    run("radix h");
    execute_command_line(3, "change x:$5 $55 p:$7 $99 xe:$400 $3");
    execute_command_line(3, "break p:$7");
    make_device_current(0);
    // Logs, memory display radixes, the target's files and redirections.
    run("log s sess -o");
    run("log v");
    run("radix d x:$0..$10");
    run("redirect stdout out -o");
    write_file("in.cio", "abcdef");
    run("redirect stdin in");
    std::fgetc(redirect_file(0, REDIRECT_STDIN));
    const int file = hio_open(path("t.dat"), O_RDWR | O_CREAT | O_TRUNC, 0640);
    ASSERT_EQ(file, 3);
    cur_state->hio.hio_text_mode[3] = 0;
    const uint8_t bytes[] = {1, 2, 3};
    ASSERT_EQ(hio_write(file, bytes, 3), 3);
    cur_state->hio.hio_state = HIO_WRITE_DATA;
    cur_state->hio.hio_saved[0] = 3;
    cur_state->hio.reply.words = {7, 0};
    // Streams part way through their files, and watches of every kind.
    write_file("groups.io", "( 1 2 3 ) # 3 9\n");
    run("input x:$11 groups");
    run("output x:$200 outv -o");
    run("output x:$201 term");
    run("asm p:$40 move x:(r2),y0");
    run("asm p:$41 move y0,x:(r3)+");
    run("asm p:$42 jmp $40");
    run("change pc $40 r2 $11 r3 $200");
    steps(4);
    for (const char* w : {"watch r0", "watch h x:0", "watch #4 d 1+2", "watch f 0.25", "watch {5}", "break {0}"})
      run(w);
  }
  // Runs the current device that many instructions.
  static void steps(int n) {
    run(("step " + std::to_string(n)).c_str());
    for (int guard = 0; device_states[0]->running != 0 && guard < 100; ++guard) run_device_slice(1);
    make_device_current(0);
  }
  static std::vector<uint32_t> words(uint32_t from, int n) {
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) {
      uint32_t w = 0;
      read_device_memory(0, SPACE_X, from + static_cast<uint32_t>(i), &w);
      out.push_back(w);
    }
    return out;
  }
};

TEST_F(state_file, ABusyStateReloadsToTheSameFile) {
  busy();
  const std::string first = saved("a.sim");
  ASSERT_EQ(first.substr(0, 4), "711\n");
  for (const char* part : {"^/tmp,/usr\n", "\n^r1==$34\n^\n", "\n^cyc>=1000\n", "evaluate d a0\n", "\n3 4\n",
                           "\n2300\n4\n",
                           "[afi ufi]\n\n4 4\n", "\n1 0 10\n", "groups.io\n^x:$11\n", "\n5\n^{5}\n0 -1 0 0\n0\n"})
    EXPECT_NE(first.find(part), std::string::npos) << part;
  ASSERT_EQ(load_state_file(path("a.sim").c_str()), 0);
  const std::string second = saved("b.sim");
  std::size_t at = 0;
  while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
  EXPECT_EQ(second.size(), first.size());
  EXPECT_EQ(at, first.size()) << first.substr(at > 300 ? at - 300 : 0, 400) << "\n----\n"
                              << second.substr(at > 300 ? at - 300 : 0, 400);
  // The state itself came back, not only its text.
  uint32_t word = 0;
  ASSERT_EQ(read_device_memory(0, SPACE_XE, 0x12345, &word), 1);
  EXPECT_EQ(word, 0x77u);
  ASSERT_EQ(read_device_memory(3, SPACE_X, 5, &word), 1);
  EXPECT_EQ(word, 0x55u);
  EXPECT_EQ(device_insts[5]->type, find_type_index("73547"));
  EXPECT_EQ(device_insts[1], nullptr);
  // The files are open again where they were, the logs going on.
  make_device_current(0);
  const uint8_t more[] = {4};
  EXPECT_EQ(hio_write(3, more, 1), 1);
  EXPECT_EQ(read_file("t.dat"), "\x01\x02\x03\x04");
  EXPECT_EQ(std::fgetc(redirect_file(0, REDIRECT_STDIN)), 'b');
  EXPECT_EQ(redirect_name(0, REDIRECT_STDOUT), path("out.cio"));
  EXPECT_EQ(session_log_path(0), path("sess.log"));
  EXPECT_EQ(status_line_logging(0), 1);
}

// A run from the loaded state goes on as the saved one went on: the
// input stream where it was in its repeat group, the output file written
// from where it stood.
TEST_F(state_file, StreamsGoOnAfterALoadAsBefore) {
  busy();
  saved("a.sim");
  steps(20);
  const std::vector<uint32_t> went_on = words(0x200, 12);
  const std::string written = read_file("outv.io");
  ASSERT_EQ(load_state_file(path("a.sim").c_str()), 0);
  EXPECT_EQ(device_watches(0)->entries.size(), 5u);
  const break_rec* c_break = device_states[0]->breakpoints;
  while (c_break != nullptr && c_break->kind != BK_C_EXPRESSION) c_break = c_break->next;
  ASSERT_NE(c_break, nullptr);
  EXPECT_NE(c_break->c_expr, nullptr);  // compiled again: it can hit
  steps(20);
  EXPECT_EQ(words(0x200, 12), went_on);
  EXPECT_EQ(went_on[9], 9u);  // past the group's three passes
  run("output off");  // flushes the file
  EXPECT_EQ(read_file("outv.io"), written);
}

// An output file that cannot be opened again leaves its stream writing to
// the session, and listed so.
TEST_F(state_file, AnOutputFileGoneAtALoadIsListedAsTheSession) {
  busy();
  saved("a.sim");
  run("output off");
  std::filesystem::remove(scratch / "outv.io");
  recorded().clear();
  ASSERT_EQ(load_state_file(path("a.sim").c_str()), 0);
  run("output");
  EXPECT_EQ(output(), "{Error opening:" + path("outv.io") + "}\noutput\n1. Untimed writes of x:$200 to   term\n" +
                          "2. Untimed writes of x:$201 to   term\n");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The text with the token `index` (from 0) after the first `header` put as `to`.
std::string field_replaced(std::string text, const std::string& header, int index, const std::string& to) {
  std::size_t at = text.find(header);
  EXPECT_NE(at, std::string::npos) << header;
  if (at == std::string::npos) return text;
  at += header.size();
  for (int i = 0; i <= index; ++i) {
    at = text.find_first_not_of(" \n", at);
    const std::size_t end = text.find_first_of(" \n", at);
    if (i == index) return text.replace(at, end - at, to);
    at = end;
  }
  return text;
}

// A page of one repeated value covers every word up to the next page, and
// stays one page.
TEST_F(state_file, AUniformPageFillsItsWholeRun) {
  run("change xe:$2345 $77");
  write_file("u.sim", replaced(saved("a.sim"), "\n2400\n2\n0 ", "\n2400\n2\n7 "));
  ASSERT_EQ(load_state_file(path("u.sim").c_str()), 0);
  for (uint32_t address : {0x2400u, 0x8000u, 0xffffu}) {
    uint32_t word = 0;
    ASSERT_EQ(read_device_memory(0, SPACE_XE, address, &word), 1);
    EXPECT_EQ(word, 7u) << address;
  }
  EXPECT_NE(saved("b.sim").find("\n2400\n2\n7 "), std::string::npos);
}

TEST_F(state_file, RefusedFilesChangeNothing) {
  busy();
  const std::string good = saved("good.sim");
  run("change x:$10 $4321");
  const std::string before = saved("before.sim");
  const std::size_t viewdev = good.rfind("[viewdev]");
  const std::size_t second = good.find("[devindex devtype]\n1 ");
  const struct {
    const char* what;
    std::string text;
  } refused[] = {
      {"cut short while written", "708" + good.substr(3)},
      {"cut in the middle", good.substr(0, good.size() / 2)},
      {"cut in the last device", good.substr(0, viewdev)},
      {"an unknown type", good.substr(0, second) + "[devindex devtype]\n1 9\n"},
      {"a device number out of range", good.substr(0, second) + "[devindex devtype]\n40 -1\n"},
      {"the current device is an empty slot", good.substr(0, viewdev) + "[viewdev]\n 1\n"},
      {"a word too wide", replaced(good, "[regattr]\n\n", "[regattr]\n\n1ffffffff")},
      {"a stream in a space that does not exist", replaced(good, "^x:$11\n0 1 11", "^x:$11\n0 99 11")},
      {"a watch of a register that does not exist", replaced(good, "\n1\n^r0\n1 -1 0", "\n1\n^r0\n1 -1 99")},
      {"a target file slot beyond the table", replaced(good, "[afi ufi]\n\n4 4", "[afi ufi]\n\n21 4")},
      {"a sparse word wider than 16 bits", replaced(good, "\n2400\n2\n0 ", "\n2400\n2\n10000 ")},
      {"sparse pages out of order", replaced(good, "\n2400\n2\n0 ", "\n2200\n2\n0 ")},
      {"a default radix with no letter", field_replaced(good, "[sv_var.stat]", 7, "5")},
      {"a breakpoint kind that does not exist", field_replaced(good, "[breakpoint info]", 1, "99")},
      {"a breakpoint action that does not exist", field_replaced(good, "[breakpoint info]", 3, "77")},
      {"a core state the core never enters", field_replaced(good, "[global signals]", 4, "100")},
      {"no core state at all", field_replaced(good, "[global signals]", 4, "ffffffff")},
  };
  for (const auto& r : refused) {
    write_file("bad.sim", r.text);
    EXPECT_EQ(load_state_file(path("bad.sim").c_str()), 1) << r.what;
    EXPECT_EQ(saved("after.sim"), before) << r.what;
  }
}

TEST_F(state_file, EmptySlotsAndAnEmptyActionSurvive) {
  run("break p:$10");
  const std::string first = saved("a.sim");
  EXPECT_NE(first.find("[devindex devtype]\n7 -1\n"), std::string::npos);
  EXPECT_NE(first.find("\n^\n^\n"), std::string::npos);  // no session log, no action text
  run("device dv7 73521");
  ASSERT_EQ(load_state_file(path("a.sim").c_str()), 0);
  EXPECT_EQ(device_insts[7], nullptr);
  EXPECT_EQ(saved("b.sim"), first);
}

}  // namespace

// A core in a state that ends no instruction (loaded from an older file, or
// set by hand) still stops at a stop request, on either engine, and runs on
// from there once its state is whole again.
TEST_F(state_file, AStopEndsARunThatEndsNoInstruction) {
  for (const bool cycle_engine : {true, false}) {
    SCOPED_TRACE(cycle_engine ? "cycle engine" : "fast engine");
    recorded().clear();
    run("reset");
    cur_state->cycle_engine_only = cycle_engine ? 1 : 0;
    cur_inst->device_words[DW_CORE_STATE_CODE] = 0x100;
    run("step 3");
    for (int slice = 0; slice < 20; ++slice) run_device_slice(RUN_SLICE_ROUNDS);
    make_device_current(0);
    ASSERT_EQ(cur_state->running, 1);
    const uint32_t instructions = cur_inst->instructions;
    stop_request = 1;
    for (int slice = 0; slice < 5 && device_states[0]->running != 0; ++slice) run_device_slice(RUN_SLICE_ROUNDS);
    make_device_current(0);
    EXPECT_EQ(cur_state->running, 0);
    EXPECT_EQ(stop_request, 0);
    EXPECT_NE(output().find("{SIMULATION ABORTED}"), std::string::npos) << output();
    EXPECT_EQ(cur_inst->instructions, instructions);
    // A later stop request is honoured as promptly.
    run("go");
    stop_request = 1;
    for (int slice = 0; slice < 5 && device_states[0]->running != 0; ++slice) run_device_slice(RUN_SLICE_ROUNDS);
    make_device_current(0);
    EXPECT_EQ(cur_state->running, 0);
  }
}

// The device's own time goes into the file: a device whose count was
// written (set back, then forward) runs on after a load with its timer and
// its ports as it ran on before; a file of the older form, without that
// time, still loads, with the count as the device's time.
TEST_F(state_file, TheDevicesOwnTimeComesBackWithTheCount) {
  for (const char* line : {"change pc $100 tpr $400 tctr $400 cra0 $6007 crb0 $3030 pcc $3ff", "change tcr $8001",
                           "step 101 cy", "change cyc 3", "step 33 cy", "change cyc 70001"}) {
    run(line);
    for (int guard = 0; device_states[0]->running != 0 && guard < 100; ++guard) run_device_slice(1);
    make_device_current(0);
  }
  const std::string text = saved("a.sim");
  auto went_on = [&] {
    run("step 250 cy");
    for (int guard = 0; device_states[0]->running != 0 && guard < 100; ++guard) run_device_slice(1);
    make_device_current(0);
    std::vector<uint32_t> seen;
    for (const char* name : {"tctr", "tcr", "ssr0", "cyc"}) {
      int row = 0, reg = 0;
      uint32_t value[3] = {0, 0, 0};
      EXPECT_NE(lookup_register(0, name, &row, &reg), 0) << name;
      read_register(0, row, reg, value);
      seen.push_back(value[0]);
    }
    return seen;
  };
  const std::vector<uint32_t> before = went_on();
  EXPECT_NE(before[0], 0x400u);
  ASSERT_EQ(load_state_file(path("a.sim").c_str()), 0);
  EXPECT_EQ(went_on(), before);
  // The older form: the line of pc, count and flags ends at the abort word.
  const std::size_t header = text.find("[reg_exec,reg_cycl,reg_icnt,flg_stat]");
  ASSERT_NE(header, std::string::npos);
  const std::size_t line = text.find_first_not_of('\n', text.find('\n', header));
  const std::size_t end = text.find('\n', line);
  std::string fields = text.substr(line, end - line);
  ASSERT_EQ(std::count(fields.begin(), fields.end(), ' '), 6) << fields;
  fields.erase(fields.rfind(' ', fields.rfind(' ') - 1));
  write_file("old.sim", text.substr(0, line) + fields + text.substr(end));
  ASSERT_EQ(load_state_file(path("old.sim").c_str()), 0);
  EXPECT_EQ(device_insts[0]->cycles, 70001u);
  EXPECT_EQ(device_time(*device_insts[0]), 70001u);
}
