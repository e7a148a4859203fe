// The console with device 0 shown, its output captured in a file and its
// input read from a file, as in a batch run.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frontends/console/console.h"
#include "frontends/console/input.h"
#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

// The console back on the process's own streams, no terminal.
inline void restore_standard_streams() {
  console_streams& io = console_io();
  io.out = stdout;
  io.in_fd = 0;
  io.in_tty = io.out_tty = false;
  io.prompt = nullptr;
  io.batched = false;
  input_reset();
}

class console_fixture : public ::testing::Test {
 protected:
  std::FILE* out = nullptr;
  std::FILE* in = nullptr;
  std::FILE* prompt = nullptr;

  void SetUp() override {
    install_console_frontend();
    out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    console_streams& io = console_io();
    io.out = out;
    io.out_tty = false;
    io.in_tty = false;
    io.prompt = nullptr;
    feed("");
    more_enabled = more_count = 0;
    macro_running = quit_on_error = exit_status = 0;
    quitting = error_reported = 0;
    stop_request = 0;
    command_log = nullptr;
    for (std::FILE*& log : session_logs) log = nullptr;
    gui_status_text(nullptr);
    gui_help_text(nullptr);
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    select_device(0);
  }

  void TearDown() override {
    free_all_devices();
    restore_standard_streams();
    for (std::FILE* f : {out, in, prompt})
      if (f != nullptr) std::fclose(f);
    command_log = nullptr;
    for (std::FILE*& log : session_logs) log = nullptr;
    quitting = 0;
    macro_running = quit_on_error = exit_status = 0;
  }

  // What the user will type (or the script holds) from now on.
  void feed(const std::string& text) {
    if (in != nullptr) std::fclose(in);
    in = std::tmpfile();
    ASSERT_NE(in, nullptr);
    std::fwrite(text.data(), 1, text.size(), in);
    std::fflush(in);
    std::rewind(in);
    console_io().in_fd = fileno(in);
    input_reset();
  }

  // As feed, with a person at a terminal: keys are read one by one and
  // the prompt row is drawn into a file of its own.
  void feed_keys(const std::string& keys) {
    feed(keys);
    if (prompt == nullptr) prompt = std::tmpfile();
    console_io().in_tty = true;
    console_io().prompt = prompt;
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

  std::string output() { return contents(out); }

  // The next line still waiting on the input.
  static std::string next_input_line() {
    std::string line;
    return input_read_line(line) == input_result::line ? line : "<end>";
  }

  static std::string ring_line(int device, int index) {
    return device_states[device]->session.lines[static_cast<std::size_t>(index)].data();
  }
  static std::string newest_line(int device) {
    return ring_line(device, device_states[device]->session.newest);
  }
};
