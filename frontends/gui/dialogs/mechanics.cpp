// The mechanics every command dialog shares, and the shared fills.
#include <cstdio>
#include <cstring>
#include <string>

#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/road.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/expr/expr.h"

namespace gui {

namespace {

std::vector<dialog_state>& states() {
  static std::vector<dialog_state> all = [] {
    std::vector<dialog_state> s(static_cast<std::size_t>(dialog_count()));
    for (int i = 0; i < dialog_count(); ++i) s[static_cast<std::size_t>(i)].entry = &dialog_table()[i];
    return s;
  }();
  return all;
}

int family_override = 0;

// The rows a multi-selection dialog has selected, one line per row; the
// first refused line ends the walk.
int walk_rows(dialog_state& d) {
  const dialog_entry& e = *d.entry;
  const std::vector<int> rows = d.form->selected(e.list, "");
  if (rows.empty()) return 0;
  int result = 1;
  for (int r : rows) {
    if (r < 0 || r >= static_cast<int>(d.rows.size())) continue;
    std::string line = e.row_format;
    line.replace(line.find("%s"), 2, d.rows[static_cast<std::size_t>(r)]);
    if (dialog_run_line(d, line) == 0) {
      result = 0;
      break;
    }
  }
  if (e.refill_after_walk && d.open != 0 && e.fill != nullptr) e.fill(d);
  return result;
}

}  // namespace

dialog_state* dialog_by_resource(const char* resource) {
  for (dialog_state& d : states())
    if (std::strcmp(d.entry->resource, resource) == 0) return &d;
  return nullptr;
}

dialog_state* dialog_by_command(const char* command) {
  const auto is = [command](const char* name) { return name != nullptr && std::strcmp(name, command) == 0; };
  for (dialog_state& d : states()) {
    const dialog_entry& e = *d.entry;
    if (!is(e.menu_command) && !is(e.palette_command) && !is(e.second_command)) continue;
    if (d.open == 0) d.command = is(e.second_command) ? e.second_command : e.menu_command;
    return &d;
  }
  return nullptr;
}

void dialog_open_with(dialog_state& d, dialog_form* form, bool fill) {
  if (d.open != 0) return;
  d.open = 1;
  d.busy = 0;
  d.form = form;
  d.handlers_on = d.entry->handler_count > 0;
  if (fill && d.entry->fill != nullptr) d.entry->fill(d);
}

int dialog_run_line(dialog_state& d, const std::string& line) {
  d.busy = 1;
  make_device_current(shown_device);
  // The parser refuses a line over its limit with its own message; the
  // line is never cut here.
  if (parse_command_line(line.c_str()) == nullptr) {
    const std::string message = parse_error_text != nullptr ? parse_error_text : "Invalid parameter";
    error_report(message.c_str());
    d.busy = 0;
    return 0;
  }
  command_submit(line.c_str());
  d.busy = 0;
  return 1;
}

int dialog_apply(dialog_state& d) {
  if (d.open == 0 || d.form == nullptr) return 0;
  if (d.entry->apply != nullptr) return d.entry->apply(d);
  if (d.entry->list != nullptr) return walk_rows(d);
  return dialog_run_line(d, d.entry->build(d));
}

int dialog_close(dialog_state& d) {
  if (d.busy != 0) return 1;
  if (d.open == 0) return 0;
  d.open = 0;
  d.rows.clear();
  d.rows.shrink_to_fit();
  d.form = nullptr;
  d.window = nullptr;
  d.handlers_on = false;
  return 0;
}

void dialog_item_command(dialog_state& d, const char* item, bool on) {
  if (d.open == 0 || !d.handlers_on) return;
  for (int i = 0; i < d.entry->handler_count; ++i)
    if (std::strcmp(d.entry->handlers[i].item, item) == 0) {
      d.entry->handlers[i].act(d, on);
      return;
    }
}

void dialogs_reset() {
  for (dialog_state& d : states()) {
    const dialog_entry* e = d.entry;
    d = dialog_state{};
    d.entry = e;
  }
  family_override = 0;
}

std::string field_text(dialog_form& form, const char* item, const char* container, std::size_t limit) {
  std::string t = form.text(item, container);
  if (t.size() > limit) t.resize(limit);
  return t;
}

std::vector<std::string> region_names() {
  std::vector<std::string> out;
  if (cur_type == nullptr) return out;
  for (int i = 0; i < cur_type->region_count; ++i) out.emplace_back(cur_type->regions[i].name);
  return out;
}

std::vector<std::string> register_names(unsigned must_have) {
  std::vector<std::string> out;
  if (cur_type == nullptr) return out;
  for (int row = 0; row < cur_type->periph_count; ++row) {
    const periph_row& p = cur_type->periphs[row];
    for (int r = register_name_next(row, -1); r >= 0; r = register_name_next(row, r)) {
      const unsigned access = p.cls->regs[r].access;
      if ((access & 0x10u) != 0 || (access & must_have) != must_have) continue;
      out.push_back(std::string(p.cls->regs[r].name) + (p.suffix != nullptr ? p.suffix : ""));
    }
  }
  return out;
}

std::vector<std::string> break_numbers(int which) {
  std::vector<std::string> out;
  if (cur_state == nullptr) return out;
  for (const break_rec* b = cur_state->breakpoints; b != nullptr; b = b->next)
    if (which < 0 || (b->enabled != 0) == (which == 1)) out.push_back("#" + std::to_string(b->number));
  return out;
}

int dialog_family_code() {
  if (family_override != 0) return family_override;
  return cur_type != nullptr ? cur_type->family_code : 0;
}

void dialog_family_code_set(int code) { family_override = code; }

void enable_by_family(dialog_form& form, const char* container, const char* const* float_items, int float_count,
                      const char* fractional) {
  const bool floating = dialog_family_code() == 710;
  for (int i = 0; i < float_count; ++i) form.set_enabled(float_items[i], container, floating);
  if (fractional != nullptr) form.set_enabled(fractional, "", !floating);
}

}  // namespace gui
