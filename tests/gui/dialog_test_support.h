// The command dialogs over a form kept in maps: the fields set as a user
// would set them, the lines the road ran read back from the command
// history, refusals from the notices shown.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "frontends/gui/dialogs/command_dialog.h"
#include "gui_support.h"

struct map_form : gui::dialog_form {
  std::map<std::string, std::string> texts;
  std::map<std::string, int> values, groups;
  std::map<std::string, bool> states;
  std::map<std::string, std::vector<std::string>> lists;
  std::map<std::string, std::vector<int>> selections;
  static std::string key(const char* item, const char* container) { return std::string(container) + "|" + item; }
  std::string text(const char* i, const char* c) override { return texts[key(i, c)]; }
  int value(const char* i, const char* c) override { return values[key(i, c)]; }
  void set_value(const char* i, const char* c, int v) override { values[key(i, c)] = v; }
  void set_text(const char* i, const char* c, const std::string& t) override { texts[key(i, c)] = t; }
  int chosen(const char* g, const char* c) override {
    auto it = groups.find(key(g, c));
    return it == groups.end() ? -1 : it->second;
  }
  void choose(const char* g, const char* c, int index) override { groups[key(g, c)] = index; }
  bool enabled(const char* i, const char* c) override {
    auto it = states.find(key(i, c));
    return it == states.end() || it->second;
  }
  void set_enabled(const char* i, const char* c, bool on) override { states[key(i, c)] = on; }
  void set_rows(const char* i, const char* c, const std::vector<std::string>& rows) override {
    lists[key(i, c)] = rows;
    // A combo's entry 0 becomes its text, as combo_prepare does.
    if (!rows.empty()) texts[key(i, c)] = rows[0];
  }
  std::vector<int> selected(const char* i, const char* c) override { return selections[key(i, c)]; }
};

// The lines the road ran, oldest first, and the notices shown.
struct dialog_lines {
  static std::vector<std::string> history() {
    std::vector<std::string> lines;
    for (int i = command_history_count() - 1; i >= 0; --i) lines.emplace_back(command_history_line(i));
    return lines;
  }
  static int notices() {
    int n = 0;
    for (const auto& s : gui::scripted_shown()) n += s.kind == "notice";
    return n;
  }
};

struct DialogsTest : GuiFixture, dialog_lines {
  map_form form;
  void SetUp() override {
    GuiFixture::SetUp();
    gui::dialogs_reset();
    clear_command_history();
  }
  void TearDown() override {
    gui::dialogs_reset();
    GuiFixture::TearDown();
  }
  gui::dialog_state& open(const char* command) {
    gui::dialog_state* d = gui::dialog_by_command(command);
    EXPECT_NE(d, nullptr) << command;
    gui::dialog_open_with(*d, &form);
    return *d;
  }
  static void run(const char* line) {
    gui::command_submit(line);
    pump();
    clear_command_history();
  }
};
