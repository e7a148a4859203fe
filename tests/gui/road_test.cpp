// The command road through the GUI front-end: what each command leaves
// queued, runs sliced into events, macros stepped, waits, stops and
// modal dialogs that pause and resume exactly one chain.
#include <algorithm>
#include <string>
#include <vector>

#include "gui_support.h"

namespace {

using Road = GuiFixture;

bool session_shows(const std::string& text) {
  for (int i = 0; i < gui::screen().rows; ++i)
    if (gui::display_row(i).find(text) != std::string::npos) return true;
  return false;
}

std::string macro(const std::string& name, const std::string& lines) {
  return GuiFixture::temp_file(name, lines);
}

TEST_F(Road, EachStateQueuesItsOwnStep) {
  gui::status_bar bar;
  gui::main_status_bar = &bar;
  // Idle: nothing queued, the prompt shown.
  gui::command_submit("evaluate 1");
  EXPECT_FALSE(gui::run_chain_live());
  EXPECT_FALSE(gui::macro_chain_live());
  EXPECT_EQ(gui::prompt_text(), "0>");

  // A run: one run step queued; it shows progress and clears it at the end.
  gui::command_submit("break cyc>=5000");
  gui::command_submit("go");
  EXPECT_TRUE(gui::run_chain_live());
  EXPECT_FALSE(gui::macro_chain_live());
  EXPECT_EQ(device_states[0]->running, 1);
  GuiFixture::pump();
  EXPECT_EQ(device_states[0]->running, 0);
  EXPECT_GE(device_insts[0]->cycles, 5000u);
  EXPECT_GE(bar.invalidations, 5) << "a status every thousand cycles, one clear";
  EXPECT_TRUE(bar.text.empty());

  // A macro: one macro step queued per line.
  const std::string path = macro("road_steps.cmd", "evaluate 21\nevaluate 22\n");
  gui::command_submit(path.c_str());
  EXPECT_TRUE(gui::macro_chain_live());
  EXPECT_FALSE(gui::run_chain_live());
  const int passes = GuiFixture::pump();
  EXPECT_GE(passes, 2) << "a line per event";
  EXPECT_EQ(macro_running, 0);
  EXPECT_TRUE(session_shows("evaluate 22"));
}

// The bar's text follows every thousand cycles, but reaches the screen
// at most once a tenth of a second, and once more, cleared, at the end.
std::vector<std::string> bar_shown;
TEST_F(Road, ProgressReachesTheScreenAtMostEveryTenthOfASecond) {
  gui::status_bar bar;
  bar.show = [](const char* text) { bar_shown.emplace_back(text); };
  gui::main_status_bar = &bar;
  bar_shown.clear();
  gui::command_submit("break cyc>=30000");
  gui::command_submit("go");
  int slices = 0;
  for (; gui::run_chain_live() && slices < 1000; ++slices) {
    veventProcessPending(1, 0);
    if (slices % 10 == 9) SimulatedClock::advance(gui::status_bar::SHOW_INTERVAL_MS / 2);
  }
  ASSERT_FALSE(gui::run_chain_live());
  EXPECT_GE(bar.invalidations, 30);
  ASSERT_GE(bar_shown.size(), 3u);
  EXPECT_LE(bar_shown.size(), 3u + static_cast<std::size_t>(slices / 20));
  EXPECT_EQ(bar_shown.front().rfind("dev:0 pc:$", 0), 0u) << bar_shown.front();
  EXPECT_EQ(bar_shown.back(), "") << "cleared at the end";
  EXPECT_TRUE(bar.text.empty());
}

TEST_F(Road, ADeviceThatStopsEndsTheRunForAllAndBecomesCurrent) {
  gui::command_submit("device dv1 73521");
  gui::command_submit("device dv1");
  gui::command_submit("break cyc>=1500");
  gui::command_submit("device dv0");
  ASSERT_EQ(shown_device, 0);
  gui::command_submit("go");
  GuiFixture::pump();
  EXPECT_FALSE(gui::run_chain_live()) << "the run ended for both";
  EXPECT_EQ(device_states[1]->running, 0);
  EXPECT_EQ(device_insts[0]->cycles, device_insts[1]->cycles) << "device 0 ran no round after";
  EXPECT_EQ(shown_device, 1);
  EXPECT_EQ(cur_device, 1);
  EXPECT_GE(device_insts[1]->cycles, 1500u);
  EXPECT_LT(device_insts[1]->cycles, 2600u) << "no further slice after the stop";
}

TEST_F(Road, TraceByInstructionRunsOneCyclePerEvent) {
  gui::command_submit("trace 3");
  ASSERT_EQ(device_states[0]->run_mode, 1);
  const uint32_t before = device_insts[0]->cycles;
  veventProcessPending(1, 0);
  EXPECT_EQ(device_insts[0]->cycles, before + 1);
  GuiFixture::pump();
  EXPECT_EQ(device_states[0]->running, 0);
}

TEST_F(Road, AStopEndsAFreeRun) {
  gui::command_submit("go");
  GuiFixture::pump(3);
  ASSERT_TRUE(gui::run_chain_live());
  stop_request = 1;
  GuiFixture::pump();
  EXPECT_FALSE(gui::run_chain_live());
  EXPECT_EQ(device_states[0]->running, 0);
}

TEST_F(Road, AStopWhileAMacroWaitsAbortsIt) {
  const std::string path = macro("road_abort.cmd", "wait\nevaluate 99\n");
  gui::command_submit(path.c_str());
  GuiFixture::pump(20);
  ASSERT_EQ(gui::wait_pending, 1);
  EXPECT_EQ(gui::scripted_open_notices(), 1);
  stop_request = 1;
  GuiFixture::pump();
  EXPECT_STREQ(gui::last_error_text(), "MACRO_ABORTED");
  EXPECT_EQ(macro_running, 0);
  EXPECT_EQ(gui::wait_pending, 0);
  EXPECT_EQ(gui::scripted_open_notices(), 0);
  EXPECT_FALSE(session_shows("evaluate 99"));
}

TEST_F(Road, WaitCancelThenTheOldTimeoutLeavesTheNextWaitAlone) {
  const std::string path = macro("road_wait.cmd", "wait 2\nwait\nevaluate 77\n");
  gui::command_submit(path.c_str());
  GuiFixture::pump(20);
  ASSERT_EQ(gui::wait_pending, 1);
  const auto& shown = gui::scripted_shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().kind, "wait");
  EXPECT_EQ(shown.back().text, "Wait command: Press Cancel to continue");
  EXPECT_EQ(shown.back().buttons, std::vector<std::string>{"Cancel"});
  gui::scripted_press_open_notice();  // Cancel
  EXPECT_EQ(gui::wait_pending, 0);
  GuiFixture::pump(20);
  ASSERT_EQ(gui::wait_pending, 1) << "the untimed wait is up";
  // The first wait's time-out comes now: the second wait stays.
  SimulatedClock::advance(3000);
  GuiFixture::pump(20);
  EXPECT_EQ(gui::wait_pending, 1);
  EXPECT_FALSE(session_shows("evaluate 77"));
  gui::scripted_press_open_notice();
  GuiFixture::pump();
  EXPECT_EQ(macro_running, 0);
  EXPECT_TRUE(session_shows("evaluate 77"));
}

TEST_F(Road, ATimedWaitEndsByItself) {
  gui::command_submit("wait 1");
  EXPECT_EQ(gui::wait_pending, 1);
  SimulatedClock::advance(1500);
  veventProcessPending(1, 0);
  EXPECT_EQ(gui::wait_pending, 0);
  EXPECT_EQ(gui::scripted_open_notices(), 0);
}

// A notice while a run is armed pauses it and resumes one chain: the
// queued step, and no second one beside it.
TEST_F(Road, ANoticeDuringARunResumesExactlyOneChain) {
  gui::command_submit("go");
  GuiFixture::pump(2);
  ASSERT_TRUE(gui::run_chain_live());
  static int running_while_up;
  running_while_up = -1;
  gui::script_answer(gui::ANSWER_OK, "", [] { running_while_up = device_states[0]->running; });
  gui::error_report("something failed");
  EXPECT_EQ(running_while_up, 0) << "paused while the notice is up";
  EXPECT_EQ(device_states[0]->running, 1);
  // A run command meanwhile starts no second chain either.
  gui::command_submit("go");
  const uint32_t before = device_insts[0]->cycles;
  veventProcessPending(1, 0);
  EXPECT_LE(device_insts[0]->cycles - before, 1000u) << "one slice per pass: one chain";
  stop_request = 1;
  GuiFixture::pump();
  EXPECT_EQ(device_states[0]->running, 0);
}

TEST_F(Road, ErrorsShowANoticeOutsideMacrosAndEndTheProgramUnderQuitOnError) {
  gui::command_submit("wsession off");
  ASSERT_FALSE(gui::scripted_shown().empty());
  EXPECT_EQ(gui::scripted_shown().back().kind, "notice");
  EXPECT_EQ(gui::scripted_shown().back().text, "Window not found");
  EXPECT_EQ(GuiFixture::last_row(true), "{Window not found}");

  gui::script_reset();
  const std::string path = macro("road_quit.cmd", "quit e\nwsession off\nevaluate 5\n");
  gui::command_submit(path.c_str());
  GuiFixture::pump();
  EXPECT_EQ(exit_status, 1);
  EXPECT_EQ(quitting, 1);
  EXPECT_TRUE(gui::scripted_shown().empty()) << "no notice inside a macro";
  EXPECT_FALSE(session_shows("evaluate 5"));
}

TEST_F(Road, ChoosersAndQuestionsMapTheirAnswers) {
  static std::string got;
  got.clear();
  gui::script_answer(gui::ANSWER_OK, "/tmp/state.sim");
  EXPECT_EQ(gui::file_chooser_run([](const std::string& p) { return got = p, 1; }, 0, 0), 1);
  EXPECT_EQ(got, "/tmp/state.sim");
  const gui::chooser_request& r = gui::scripted_shown().back().chooser;
  EXPECT_EQ(r.title, "Save State");
  EXPECT_EQ(r.options, 0x18u);
  EXPECT_EQ(r.filters, (std::vector<std::string>{"Default", "SimState"}));
  EXPECT_EQ(r.current_filter, 1);
  EXPECT_EQ(r.start_dir, device_insts[0]->work_dir);

  gui::script_answer(gui::ANSWER_OK, "/x");
  gui::file_chooser_run([](const std::string&) { return 1; }, 7, 1);
  EXPECT_EQ(gui::scripted_shown().back().chooser.filters, std::vector<std::string>{"Default"});
  gui::script_answer(gui::ANSWER_OK, "/x");
  gui::file_chooser_run([](const std::string&) { return 1; }, 9, 1);
  EXPECT_EQ(gui::scripted_shown().back().chooser.options, 0x38u);
  EXPECT_TRUE(gui::scripted_shown().back().chooser.filters.empty());
  EXPECT_STREQ(gui::chooser_title(4, 1), "Execute Macro File");

  // A path that a cut would turn into another file's name is refused.
  gui::script_answer(gui::ANSWER_OK, "/" + std::string(300, 'p'));
  got.clear();
  EXPECT_EQ(gui::file_chooser_run([](const std::string& p) { return got = p, 1; }, 2, 1), 0);
  EXPECT_TRUE(got.empty());
  EXPECT_STREQ(gui::last_error_text(), "File name too long");

  for (auto [answer, key] : {std::pair{gui::ANSWER_OK, 'a'}, {gui::ANSWER_NO, 'o'}, {gui::ANSWER_CANCEL, 'c'}}) {
    gui::script_answer(answer);
    EXPECT_EQ(gui::overwrite_confirm(), key);
  }
  EXPECT_EQ(gui::scripted_shown().back().buttons, (std::vector<std::string>{"Append", "Overwrite", "Cancel"}));

  char line[256] = "change x:$10=1234";
  gui::script_answer(gui::ANSWER_APPLY, "55");
  EXPECT_EQ(gui::interact_input(line, 13, sizeof line), 13);
  EXPECT_STREQ(line, "change x:$10= 55");
  EXPECT_EQ(gui::scripted_shown().back().text, "change x:$10=");
  gui::script_answer(gui::ANSWER_CANCEL);
  EXPECT_EQ(gui::interact_input(line, 13, sizeof line), 27);
  EXPECT_STREQ(line, "change x:$10= 55");
}

TEST_F(Road, TheKeyListsOfTheInteractiveFormsStayOffTheStatusLine) {
  gui::script_answer(gui::ANSWER_CANCEL);
  gui::command_submit("change x:$10");
  EXPECT_EQ(gui::status_text().find("ESC"), std::string::npos);
  EXPECT_TRUE(gui::scripted_shown().empty() || gui::scripted_shown().back().kind == "line");
}

}  // namespace
