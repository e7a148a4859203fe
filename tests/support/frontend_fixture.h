// Device 0 shown on the recording test front-end, with the simulator's
// state as a fresh start leaves it: the command language's tests that do
// not test a terminal run on it, linking no front-end.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"
#include "support/test_frontend.h"

class frontend_fixture : public ::testing::Test {
 protected:
  void SetUp() override {
    recorded().clear();
    more_enabled = more_count = 0;
    macro_running = quit_on_error = exit_status = 0;
    quitting = error_reported = 0;
    stop_request = 0;
    command_log = nullptr;
    for (std::FILE*& log : session_logs) log = nullptr;
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    select_device(0);
  }

  void TearDown() override {
    free_all_devices();
    command_log = nullptr;
    for (std::FILE*& log : session_logs) log = nullptr;
    quitting = 0;
    macro_running = quit_on_error = exit_status = 0;
    recorded().clear();
  }

  // The answers to the next prompts, one a line, as a script holds them.
  static void feed(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) recorded().answers.push_back(line);
  }

  static std::string contents(std::FILE* f) {
    std::fflush(f);
    std::string text;
    std::rewind(f);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fseek(f, 0, SEEK_END);
    return text;
  }

  // The session so far, a line each.
  static std::string output() {
    std::string text;
    for (const std::string& line : recorded().lines) text += line + "\n";
    return text;
  }
};
