// Helpers that check a line and read back what the lexer and the readers
// left, on a fixture that shows device 0: the recording test front-end's
// (cmd/cmd_fixture.h) or the console's (console/console_cmd_fixture.h).
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/device_inst.h"

template <class Base>
class cmd_fixture_on : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    clear_command_history();
    close_all_macros();
  }
  void TearDown() override {
    close_all_macros();
    Base::TearDown();
  }

  // Checks a line; the message of its failure, "" when it was accepted.
  std::string refusal(const char* line) {
    parse_error_text = nullptr;
    const action_record* r = parse_command_line(line);
    if (r != nullptr) return "";
    return parse_error_text != nullptr ? parse_error_text : "(no message)";
  }
  bool accepted(const char* line) { return refusal(line).empty(); }

  // Tokenises a line without looking the command up.
  static const command_lexer& split(const char* line) {
    split_command_line(line);
    return *cur_lexer;
  }
  static std::string word(int i) { return cur_lexer->word(i); }
  static std::string typed(int i) { return cur_lexer->typed(i); }
  static char kind(int i) { return cur_lexer->kind[i]; }
  static const arg_value& value(int i) { return cur_lexer->value[i]; }
  static int error_pos() { return cur_lexer->error_pos; }
  static std::string error_text() { return parse_error_text != nullptr ? parse_error_text : ""; }
};

// The same with a scratch folder of its own as device 0's working
// directory, removed afterwards.
template <class Base>
class cmd_files_on : public cmd_fixture_on<Base> {
 protected:
  std::filesystem::path scratch;

  void SetUp() override {
    cmd_fixture_on<Base>::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "simcmdXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
    device_insts[0]->work_dir = dir();
  }
  void TearDown() override {
    cmd_fixture_on<Base>::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
  }

  std::string dir() const { return scratch.string() + "/"; }
  std::string path(const std::string& name) const { return (scratch / name).string(); }
  void write_file(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories((scratch / name).parent_path());
    std::ofstream(scratch / name, std::ios::binary) << text;
  }
  std::string read_file(const std::string& name) const {
    std::ifstream in(scratch / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Runs a line as the console does, on device 0.
  static void run(const char* line) { execute_command_line(0, line); }
};
