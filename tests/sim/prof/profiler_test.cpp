// Profiling through the command language: the counts of the FIR filter,
// stall cycles from wait states, program-memory references, run-time code
// nodes, undefined writes, the run plan, state save and restore; and the
// family's decode of single instructions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/asm/asm.h"
#include "sim/asm/prof_decode.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"
#include "sim/prof/profiler.h"

namespace {

class profiling : public cmd_files {
 protected:
  void TearDown() override {
    run("log off p");
    cmd_files::TearDown();
  }
  void program(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) run(("asm " + line).c_str());
  }
  // Runs device 0 until it stops.
  static void go() {
    run("go");
    for (int guard = 0; device_states[0]->running != 0 && guard < 1000; ++guard)
      run_device_slice(RUN_SLICE_ROUNDS);
  }
  static profile_tables& tables() { return *profiler_tables(0); }
  static int nodes_at(uint32_t address) {
    int n = 0;
    auto it = tables().code->begin();
    while (auto* node = static_cast<code_node*>(it.next())) n += node->decoded.address == address ? 1 : 0;
    return n;
  }
};

const std::vector<std::string> fir = {
    "p:$100 move #$0,r1",  "p:$102 move #$80,r2", "p:$104 do #8,$110",
    "p:$106 move r1,r0",   "p:$107 move #$40,r3", "p:$109 clr a x:(r0)+,y0",
    "p:$10a move x:(r3)+,x0", "p:$10b rep #3",    "p:$10c mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0",
    "p:$10d macr y0,x0,a", "p:$10e move a,x:(r2)+", "p:$10f lea (r1)+,r1",
    "p:$110 debug"};

TEST_F(profiling, TheFilterCountsWhatTheDeviceCounts) {
  program(fir);
  run("break pc==$110");
  run("change pc $100");
  run("log p fir");
  ASSERT_EQ(device_states[0]->profile.on, 1);
  go();
  const profile_tables& t = tables();
  EXPECT_EQ(t.state, TABLES_RUNNING);
  EXPECT_EQ(t.instructions, device_insts[0]->instructions);
  EXPECT_EQ(t.last_cycle, device_insts[0]->cycles);
  EXPECT_EQ(t.stall_cycles, 0u);
  // Per output: clr, move and three macs read 1 + 1 + 6 words, move writes 1.
  EXPECT_EQ(t.reads[PROF_INTERNAL], 8u * 8u);
  EXPECT_EQ(t.writes[PROF_INTERNAL], 8u);
  EXPECT_EQ(t.reads[PROF_EXTERNAL] + t.writes[PROF_EXTERNAL] + t.reads[PROF_INTERNAL_ROM], 0u);
  // Outputs at x:$80-$87 are written once each, none defined beforehand.
  EXPECT_EQ(t.undefined_writes[0], 8u);
  // Twelve instructions ran (debug did not), the mac as a dual move.
  EXPECT_EQ(t.static_instructions, 12u);
  const int mac = dsp73500_profile_ops.classify([] {
    profile_record r;
    dsp73500_profile_ops.decode(0, DECODE_P, 0x10c, 0x10c, r);
    return r.decoded;
  }());
  EXPECT_STREQ(dsp73500_profile_ops.class_name(mac), "mac");
  EXPECT_EQ(t.dynamic_occurrences[static_cast<std::size_t>(mac)], 24u);
  EXPECT_EQ(t.family.class_double[static_cast<std::size_t>(mac)], 24u);
  EXPECT_EQ(t.family.moves[1][1], 24u);  // paired double moves

  run("log off p");
  EXPECT_EQ(tables().state, TABLES_OFF);
  EXPECT_EQ(tables().code, nullptr);
  const std::string report = read_file("fir.log");
  EXPECT_NE(report.find("Instructions             :       " + std::to_string(device_insts[0]->instructions)),
            std::string::npos);
  EXPECT_NE(report.find("Internal               64         8"), std::string::npos);
  EXPECT_EQ(read_file("fir.ps").rfind("%!PS-Adobe-1.0", 0), 0u);
  for (const char* title : {"Instruction Occurrence Breakdown (sorted by percentage)", "Instruction moves breakdown",
                            "Dynamic addressing mode breakdown", "Code Coverage Report"})
    EXPECT_NE(report.find(title), std::string::npos) << title;
  if (std::system("command -v gs >/dev/null 2>&1") == 0) {
    const std::string command =
        "gs -dSAFER -dBATCH -dNOPAUSE -q -sDEVICE=nullpage '" + path("fir.ps") + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

TEST_F(profiling, WaitStatesAreStallCycles) {
  // One external read at x:$2000, with and without data wait states.
  program({"p:$100 move x:$2000,a", "p:$102 nop", "p:$103 debug"});
  run("break pc==$103");
  uint32_t cycles[2] = {0, 0}, stalls[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    run(k == 0 ? "change bcr $0000" : "change bcr $0060");
    run("change pc $100");
    run("log p ws -o");
    go();
    stalls[k] = tables().stall_cycles;
    EXPECT_EQ(tables().reads[PROF_EXTERNAL], 1u);
    cycles[k] = 0;
    for (auto it = tables().code->begin(); auto* n = static_cast<code_node*>(it.next());) cycles[k] += n->cycles;
    run("log off p");
  }
  // Three data wait states (the bus is already owned); the cycles grow
  // by the stalls.
  EXPECT_EQ(stalls[1], 3u);
  EXPECT_EQ(cycles[1] - cycles[0], stalls[1] - stalls[0]);
}

TEST_F(profiling, FetchesAreNoDataReferencesButProgramOperandsAre) {
  program({"p:$100 move #$200,r0", "p:$102 move p:(r0)+,x0", "p:$103 nop", "p:$104 debug"});
  run("break pc==$104");
  run("change pc $100");
  run("log p pm");
  go();
  // Only the move, which addresses program memory, keeps its program
  // references: its operand and the fetch made during it.
  EXPECT_EQ(tables().reads[PROF_INTERNAL], 2u);
  data_node key;
  key.space = PROF_SPACE_P;
  key.address = 0x200;
  const auto* node = static_cast<data_node*>(tables().data->find(&key, FIND_EQUAL));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->reads, 1u);
}

TEST_F(profiling, NewCodeAtAnAddressIsANewNodeAndUndefinedWritesCountOnce) {
  program({"p:$100 move a,x:$20", "p:$101 move a,x:$20", "p:$102 nop", "p:$103 debug"});
  run("break pc==$103");
  run("change pc $100");
  run("log p smc");
  go();
  EXPECT_EQ(tables().undefined_writes[0], 1u);
  EXPECT_EQ(nodes_at(0x102), 1);
  run("asm p:$102 clr a");
  run("change pc $100");
  go();
  EXPECT_EQ(nodes_at(0x102), 2);
  EXPECT_EQ(tables().undefined_writes[0], 1u);
  EXPECT_EQ(tables().static_instructions, 4u);
}

// The counts the engine makes without the hook take pages only where the
// program runs and its data lie, whatever the addresses span; the filter's
// plain instructions are counted there, and folded when the tables are read.
TEST_F(profiling, CountsTakePagesOnlyWhereTheProgramRunsAndItsDataLie) {
  program(fir);
  run("break p:$110");
  run("change pc $100");
  run("log p pages");
  go();
  const profile_counts* counts = device_states[0]->profile.counts;
  ASSERT_NE(counts, nullptr);
  std::vector<std::size_t> code_pages, data_pages;
  for (std::size_t p = 0; p < counts->code.size(); ++p)
    if (counts->code[p]) code_pages.push_back(p);
  for (const auto& by_class : counts->x_data)
    for (std::size_t p = 0; p < by_class.size(); ++p)
      if (by_class[p]) data_pages.push_back(p);
  EXPECT_EQ(code_pages, std::vector<std::size_t>{1});
  EXPECT_EQ(data_pages, std::vector<std::size_t>{0});
  const profile_code_slot* mac = counts->slot_at(0x10c);
  ASSERT_NE(mac, nullptr);
  EXPECT_GT(mac->executions, 0u);
  EXPECT_EQ(counts->slot_at(0x110), nullptr);  // debug: never repeated
  // The device's own count of instructions (the break's end is the 91st).
  EXPECT_EQ(tables().instructions, 91u);
  EXPECT_EQ(mac->executions, 0u);
}

// The code at an address changing between runs, and back: each variant's
// executions and data references go to its own node, however often the
// address ran before; a program word and a data word of one address are
// two nodes.
TEST_F(profiling, CodeChangingBackAndForthCountsOnEachVariantsNode) {
  program({"p:$100 do #5,$104", "p:$102 move a,x:(r1)", "p:$103 nop", "p:$104 debug"});
  run("break pc==$104");
  run("log p flip");
  // A store to x:$20, a load from x:$21, and at last a load from program
  // word $20, beside data word $20.
  const char* variants[] = {"p:$102 move a,x:(r1)", "p:$102 move x:(r2),b", "p:$102 move a,x:(r1)",
                            "p:$102 move x:(r2),b", "p:$102 move a,x:(r1)", "p:$102 move p:(r0),b"};
  for (const char* variant : variants) {
    run((std::string("asm ") + variant).c_str());
    for (const char* line : {"change r0 $20", "change r1 $20", "change r2 $21", "change pc $100"}) run(line);
    go();
  }
  ASSERT_EQ(nodes_at(0x102), 3);
  // The store's node was made first, then the load's.
  std::vector<std::pair<uint32_t, uint32_t>> nodes;
  for (auto it = tables().code->begin(); auto* n = static_cast<code_node*>(it.next());)
    if (n->decoded.address == 0x102) nodes.emplace_back(n->sequence, n->executions);
  std::sort(nodes.begin(), nodes.end());
  ASSERT_EQ(nodes.size(), 3u);
  const uint32_t executions[3] = {nodes[0].second, nodes[1].second, nodes[2].second};
  uint32_t reads = 0, writes = 0, x_reads = 0, program_reads = 0;
  for (auto it = tables().data->begin(); auto* n = static_cast<data_node*>(it.next());) {
    if (n->space == PROF_SPACE_X && n->address == 0x20) {
      writes = n->writes;
      x_reads = n->reads;
    }
    if (n->space == PROF_SPACE_X && n->address == 0x21) reads = n->reads;
    if (n->space == PROF_SPACE_P && n->address == 0x20) program_reads = n->reads;
  }
  EXPECT_EQ(executions[0], 15u);
  EXPECT_EQ(executions[1], 10u);
  EXPECT_EQ(executions[2], 5u);
  EXPECT_EQ(writes, 15u);
  EXPECT_EQ(reads, 10u);
  EXPECT_EQ(x_reads, 0u);
  EXPECT_EQ(program_reads, 5u);
}

TEST_F(profiling, ADeletedDeviceWritesItsProfile) {
  run("device dv1 73521");
  device_insts[1]->work_dir = dir();
  execute_command_line(1, "log p second");
  ASSERT_EQ(device_states[1]->profile.on, 1);
  run("device dv1 x");
  EXPECT_EQ(device_insts[1], nullptr);
  EXPECT_NE(read_file("second.log").find("No instructions executed - Static report only"), std::string::npos);
}

TEST_F(profiling, StateSaveAndRestoreKeepTheProfilingDevices) {
  run("change pc $123");
  run("log p saved");
  const std::string file = path("state.prf");
  ASSERT_EQ(profiler->save_state(file.c_str(), 0, 0), 1);
  ASSERT_EQ(profiler->save_state(nullptr, 0, 1), 1);
  device_states[0]->profile = {};
  ASSERT_EQ(profiler->restore_state(file.c_str(), 0, 0), 1);
  const profiler_block& b = device_states[0]->profile;
  EXPECT_EQ(b.on, 1);
  EXPECT_EQ(std::string(b.file_name), path("saved.log"));
  EXPECT_EQ(b.previous_pc, 0x123u);
  EXPECT_EQ(tables().state, TABLES_STARTED);
  EXPECT_EQ(profiler->restore_state(file.c_str(), 5, 0), 0);
}

// The companion file goes beside its state file, wherever the process
// runs, and a state file saved over another lets the old one go.
TEST_F(profiling, StateFilesKeepOneCompanionBesideThem) {
  write_file("sub/keep", "");
  run("log p beside");
  for (int n = 0; n < 3; ++n) run("save s sub/st -o");
  int companions = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch / "sub"))
    companions += entry.path().filename().string().rfind("pf", 0) == 0 ? 1 : 0;
  EXPECT_EQ(companions, 1);
  const std::string text = read_file("sub/st.sim");
  EXPECT_NE(text.find("\n[profiler]\npf"), std::string::npos);
  run("log off p");
  ASSERT_EQ(device_states[0]->profile.on, 0);
  run(("load s " + path("sub/st")).c_str());
  EXPECT_EQ(device_states[0]->profile.on, 1);
}

// The straight-line executor does not note a profiled device's fetches:
// the profiler keeps program references only of instructions that
// address program memory, and no word the executor runs straight does
// (with any second word).
TEST_F(profiling, NoStraightInstructionAddressesProgramMemory) {
  int straight = 0;
  for (uint32_t word = 0; word <= 0xFFFF; ++word) {
    if (decoded_word_of(static_cast<uint16_t>(word)).fast == nullptr) continue;
    ++straight;
    for (const uint32_t second : {0x0000u, 0x8123u}) {
      write_device_memory(0, SPACE_P, 0x300, &word);
      write_device_memory(0, SPACE_P, 0x301, &second);
      profile_record r;
      dsp73500_profile_ops.decode(0, DECODE_P, 0x300, 0x300, r);
      bool program = false;
      for (const auto& op : r.decoded.operands) program = program || op.space == PROF_SPACE_P;
      for (const auto& op : r.decoded.move_operands) program = program || op.space == PROF_SPACE_P;
      ASSERT_FALSE(program) << std::hex << word << " " << second;
    }
  }
  EXPECT_GT(straight, 20000);
}

// One instruction through the family's decode.
struct decode_row {
  const char* text;
  const char* class_name;
  uint32_t moves, paired, conditional, call, branch, ret, two_words;
};

TEST_F(profiling, TheFamilyDecodesInstructions) {
  const decode_row rows[] = {
      {"mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0", "mac", 2, 1, 0, 0, 0, 0, 0},
      {"move x:(r3)+,x0", "move", 0, 0, 0, 0, 0, 0, 0},
      {"add x0,a x:(r0)+,x0", "add", 1, 1, 0, 0, 0, 0, 0},
      {"clr a x:(r0)+,y0", "clr", 1, 1, 0, 0, 0, 0, 0},
      {"jsr $200", "jsr", 0, 0, 0, 1, 1, 0, 1},
      {"jcs $200", "jcc", 0, 0, 1, 0, 1, 0, 1},
      {"jmp >$1234", "jmp", 0, 0, 0, 0, 1, 0, 1},
      {"rts", "rts", 0, 0, 0, 0, 0, 1, 0},
      {"move #$80,r2", "move", 0, 0, 0, 0, 0, 0, 1},
  };
  for (const decode_row& r : rows) {
    run((std::string("asm p:$100 ") + r.text).c_str());
    profile_record rec;
    dsp73500_profile_ops.decode(0, DECODE_P, 0x100, 0x100, rec);
    const decoded_instruction& d = rec.decoded;
    ASSERT_GE(d.kind, 0) << r.text;
    EXPECT_STREQ(dsp73500_profile_ops.class_name(dsp73500_profile_ops.classify(d)), r.class_name) << r.text;
    EXPECT_EQ(d.moves, r.moves) << r.text;
    EXPECT_EQ(d.paired, r.paired) << r.text;
    EXPECT_EQ(static_cast<uint32_t>(dsp73500_profile_ops.conditional(rec)), r.conditional) << r.text;
    EXPECT_EQ(static_cast<uint32_t>(dsp73500_profile_ops.call_test(d)), r.call) << r.text;
    EXPECT_EQ(static_cast<uint32_t>(dsp73500_profile_ops.branch_test(d)), r.branch) << r.text;
    EXPECT_EQ(static_cast<uint32_t>(dsp73500_profile_ops.return_test(d)), r.ret) << r.text;
    EXPECT_EQ((d.flags & INSTR_TWO_WORD) != 0 ? 1u : 0u, r.two_words) << r.text;
    char text[100];
    dsp73500_profile_ops.disassemble(d, text, sizeof text);
    EXPECT_EQ(std::string(text + 2).substr(0, 3), std::string(r.text).substr(0, 3)) << r.text;
  }
  // A data word is no instruction.
  run("change p:$100 $ffff");
  profile_record rec;
  dsp73500_profile_ops.decode(0, DECODE_P, 0x100, 0x100, rec);
  EXPECT_LT(rec.decoded.kind, 0);
}

}  // namespace
