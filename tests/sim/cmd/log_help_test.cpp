// The log, more, help and history commands: logs written to their file line
// by line, profiling through a stand-in profiler, the
// accepted forms, and the peripherals' I/O topics.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/cdb/coff_writer.h"
#include "sim/cmd/logs.h"
#include "sim/engine/device/help_topics.h"
#include "sim/engine/device/profiler_iface.h"
#include "sim/engine/core/runloop.h"
#include "sim/prof/profiler.h"

namespace {

class log_cmd : public cmd_files {
 protected:
  void TearDown() override {
    close_all_logs();
    install_profiler();
    cmd_files::TearDown();
  }
  std::vector<std::string> folder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(log_cmd, ALogWritesItsFileAsItGoes) {
  write_file("s.log", "older\n");
  run("log s s -o");
  run("; first line");
  EXPECT_EQ(read_file("s.log"), "; first line\n");
  EXPECT_EQ(folder(), std::vector<std::string>{"s.log"});  // nothing written beside it
  EXPECT_EQ(session_log_path(0), path("s.log"));
  run("log off s");
  EXPECT_EQ(read_file("s.log"), "; first line\nlog off s\n");
  EXPECT_EQ(folder(), std::vector<std::string>{"s.log"});
  EXPECT_EQ(session_logs[0], nullptr);
}

TEST_F(log_cmd, AppendingStartsFromTheOlderLines) {
  write_file("m.cmd", "change r0 1\n");
  run("log c m -a");
  run("change r1 2");
  close_all_logs();
  EXPECT_EQ(read_file("m.cmd"), "change r0 1\nchange r1 2\n");
}

TEST_F(log_cmd, CancelledOrFailedOpensLeaveTheLogClosed) {
  write_file("c.log", "kept\n");
  run("log s c -c");
  EXPECT_EQ(session_logs[0], nullptr);
  EXPECT_EQ(read_file("c.log"), "kept\n");

  device_insts[0]->work_dir = path("missing") + "/";
  run("log c nowhere");
  EXPECT_EQ(command_log, nullptr);
  EXPECT_NE(output().find("{Error opening file.}"), std::string::npos);
}

TEST_F(log_cmd, ClosingByNameNeedsTheSameName) {
  run("log c one");
  run("log off c other");
  EXPECT_NE(command_log, nullptr);
  run("log off c one");
  EXPECT_EQ(command_log, nullptr);
  EXPECT_EQ(read_file("one.cmd"), "log off c other\nlog off c one\n");
}

TEST_F(log_cmd, ReleasingADevicePutsItsSessionLogInPlace) {
  run("device dv1");
  device_insts[1]->work_dir = dir();
  execute_command_line(1, "log s dv1");
  execute_command_line(1, "; on device one");
  execute_command_line(1, "device dv1 x");
  EXPECT_EQ(session_logs[1], nullptr);
  EXPECT_EQ(read_file("dv1.log"), "; on device one\ndevice dv1 x\n");
}

// A stand-in for the profiler module: the calls it receives.
struct profile_calls {
  std::vector<std::string> starts;
  int reports = 0;
};
profile_calls calls;

TEST_F(log_cmd, ProfilingGoesThroughTheProfilerInterface) {
  profiler = nullptr;
  run("log p out");
  EXPECT_NE(output().find("{Profiler not available in this simulator}"), std::string::npos);

  calls = {};
  profiler_iface stand_in{};
  stand_in.start = [](const char*, const char* file, const char* mode) {
    calls.starts.push_back(std::string(file) + " " + mode);
    return 1;
  };
  stand_in.report = [](uint32_t) { return ++calls.reports; };
  profiler = &stand_in;
  run("change pc $40");
  run("log p prof");
  ASSERT_EQ(calls.starts, std::vector<std::string>{path("prof.log") + " w"});
  EXPECT_EQ(device_profiler_block(0).on, 1);
  EXPECT_EQ(device_profiler_block(0).previous_pc, 0x40u);
  run("log off v");
  EXPECT_EQ(calls.reports, 0);
  run("log");
  run("log off");
  EXPECT_EQ(calls.reports, 1);
  EXPECT_EQ(device_profiler_block(0).on, 0);
  const std::string text = output();
  for (const char* line : {"Output profile:", "Initializing profiler. Please wait...", "Done.",
                           "Profiling to:{", "Generating profile. Please wait..."})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(log_cmd, MoreSwitchesPaging) {
  run("more");
  EXPECT_EQ(more_enabled, 1);
  run("more off");
  EXPECT_EQ(more_enabled, 0);
}

// A cancelled page (the stop request it leaves) ends a listing at once.
TEST_F(log_cmd, ACancelledPageStopsTheSummary) {
  stop_request = 1;
  run("help");
  const std::string text = output();
  EXPECT_NE(text.find("DSP SIMULATOR COMMANDS"), std::string::npos);
  EXPECT_EQ(text.find("{A}SM"), std::string::npos);
}

struct form {
  const char* line;
  const char* refusal;  // "" when accepted
};
class command_forms : public cmd_fixture, public ::testing::WithParamInterface<form> {};

// "help sym": the external and label symbols of the loaded program by
// name, their section or "global"; other classes and auxiliary entries
// are not listed, and a long name is cut at 20 characters.
TEST_F(log_cmd, HelpSymListsTheProgramsLabelsByName) {
  test_coff c;
  c.sections = {{".txt", 0x10, 0, 0x20, {0, 0, 0, 0}}, {".dat", 0, 1, 0x40, {0x33}}};
  c.symbol("Fmain", 0x10, 0, 1, 0x20, 2, 1);
  c.aux({0, 4, 0, 0, 0, 0, 0, 0});
  c.symbol("start", 0x10, 0, 1, 0, 211);
  c.symbol("loop", 0x12, 0, 1, 0, 213);
  c.symbol("a_label_longer_than_twenty", 0x13, 0, 1, 0, 210);
  c.symbol("u", 0x11, 0, 1, 0, 214);
  c.symbol("absx", 5, 1, -1, 0, 3);
  c.symbol("xdata", 0, 1, 2, 0, 215);
  c.symbol("glob", 7, 1, -1, 0, 2);  // an absolute number: space n
  c.write(path("prog.cld"));
  const char* title = "help sym\n{     -------------- Symbol Table Dump --------------}\n";
  std::size_t before = output().size();
  run("help sym");
  EXPECT_EQ(output().substr(before), title);  // no program: the title only
  run(("load " + path("prog.cld")).c_str());
  before = output().size();
  run("help sym");
  EXPECT_EQ(output().substr(before),
            std::string(title) +
            " Fmain                   p:$10       section:.txt\n"
            " a_label_longer_than_    p:$13       section:.txt\n"
            " glob                    n:$7        section:global\n"
            " loop                    p:$12       section:.txt\n"
            " start                   p:$10       section:.txt\n"
            "_u                       p:$11       section:.txt\n"
            "_xdata                   x:$0        section:.dat\n");
}

TEST_P(command_forms, AreCheckedBeforeAnythingRuns) {
  EXPECT_EQ(refusal(GetParam().line), GetParam().refusal) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    log_more_help_history, command_forms,
    ::testing::Values(form{"log", ""}, form{"log c", ""}, form{"log s", ""}, form{"log v", ""},
                      form{"log p", "Need more parameters"}, form{"log c f -a", ""}, form{"log s f -o", ""},
                      form{"log off", ""}, form{"log off s f", ""}, form{"log off p", ""},
                      form{"log x", "Invalid parameter"}, form{"log c f -z", "Invalid parameter"},
                      form{"log c f -a x", "Too many parameters"},
                      form{"log off p f", "Too many parameters"},
                      form{"log v x", "Too many parameters"}, form{"more", ""},
                      form{"more off", ""}, form{"more on", "Invalid parameter"},
                      form{"help", ""}, form{"help sym", ""},
                      form{"help a b", "Too many parameters"}, form{"history", ""},
                      form{"history 1", "Too many parameters"}));

// The I/O file format topics: the number of lines and empty lines each
// explains its peripheral's streams in, and how each begins.
struct io_topic {
  const help_table* table;
  const char* name;
  std::size_t lines;
  std::size_t empty;
  const char* first;
};
class io_topics : public ::testing::TestWithParam<io_topic> {};

TEST_P(io_topics, HaveTheirShape) {
  const io_topic& want = GetParam();
  ASSERT_EQ(want.table->topics.size(), 1u);
  const help_topic& topic = want.table->topics[0];
  EXPECT_STREQ(topic.name, want.name);
  EXPECT_EQ(topic.lines.size(), want.lines);
  EXPECT_EQ(std::count_if(topic.lines.begin(), topic.lines.end(),
                          [](const char* l) { return *l == '\0'; }),
            static_cast<std::ptrdiff_t>(want.empty));
  EXPECT_STREQ(topic.lines[0], want.first);
  EXPECT_TRUE(std::any_of(topic.lines.begin(), topic.lines.end(),
                          [](const char* l) { return std::string(l) == "EXAMPLES"; }));
}

INSTANTIATE_TEST_SUITE_P(
    peripherals, io_topics,
    ::testing::Values(
        io_topic{&ssi_help_table, "ssi", 64, 16, "When assigned to an SSI peripheral, the input file"},
        io_topic{&rssi_help_table, "rssi", 64, 16,
                 "When assigned to an RSSI peripheral, the input file"},
        io_topic{&codec_help_table, "codec", 46, 10,
                 "The codec accepts and produces only floating point i/o"},
        io_topic{&host_help_table, "hostio", 82, 15,
                 "Input data words assigned to the host peripheral contain a host"},
        io_topic{&port_help_table, "portio", 59, 12,
                 "The port data value may be represented in hexadecimal,"}));

}  // namespace
