// The GUI front-end on a simulated clock with device 0 made, scripted
// dialogs and no windows; pump() runs the queued run and macro steps.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/event_support.h"
#include "frontends/gui/dialogs.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

struct GuiFixture : ::testing::Test {
  SimulatedClock clock;
  void SetUp() override {
    gui::install_gui_frontend();
    gui::road_reset();
    gui::session_reset();
    gui::script_reset();
    gui::window_records_reset();
    close_all_macros();
    more_enabled = 0;
    more_count = 0;
    quitting = 0;
    quit_on_error = 0;
    exit_status = 0;
    stop_request = 0;
    free_all_devices();
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    select_device(0);
    shown_device = 0;
  }
  void TearDown() override {
    // Whatever a test left queued runs out here, not in the next test.
    quitting = 1;
    pump();
    close_all_macros();
    free_all_devices();
    quitting = 0;
  }
  // Runs queued steps until no chain is live (at most `rounds` passes);
  // the passes taken.
  static int pump(int rounds = 100000) {
    int n = 0;
    for (; n < rounds; ++n) {
      veventProcessPending(1, 0);
      if (!gui::run_chain_live() && !gui::macro_chain_live()) break;
    }
    return n;
  }
  static std::string row(int i, bool marks = false) { return gui::display_row(i, marks); }
  // The newest display row with text.
  static std::string last_row(bool marks = false) {
    for (int i = gui::screen().rows - 1; i >= 0; --i)
      if (!row(i).empty()) return row(i, marks);
    return {};
  }
  static std::string temp_file(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
  }
};
