// Pieces several dialogs are built from.
#include "frontends/gui/dialogs/dialog_parts.h"

#include <algorithm>

#include "frontends/gui/dialogs/dialog_text.h"
#include "frontends/gui/road.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"

namespace gui {

namespace {

// Where the file chooser's path goes: its callback has no context.
struct chooser_target {
  dialog_state* dialog = nullptr;
  const char* item = nullptr;
  const char* container = nullptr;
};
chooser_target target;

int chosen_path(const std::string& path) {
  dialog_state* d = target.dialog;
  if (d == nullptr || d->open == 0 || d->form == nullptr) return 0;
  // The field holds what a name field may hold; a cut path names another file.
  if (path.size() > PATH_MAX_CHARS - 1) {
    error_report("File name too long");
    return 0;
  }
  d->form->set_text(target.item, target.container, path);
  return 0;
}

}  // namespace

int walk_selected(dialog_state& d, const char* list, const char* container, std::size_t limit,
                  const std::function<std::string(const std::string&)>& line) {
  const std::vector<int> rows = d.form->selected(list, container);
  bool ran = false;
  for (int r : rows) {
    if (r < 0 || r >= static_cast<int>(d.rows.size())) continue;
    std::string text = d.rows[static_cast<std::size_t>(r)];
    if (text.size() > limit) text.resize(limit);
    if (dialog_run_line(d, line(text)) == 0) return 0;
    ran = true;
  }
  return ran ? 1 : 0;
}

bool file_name_field(dialog_form& form, const char* item, const char* container, std::size_t limit,
                     std::string& out) {
  out = form.text(item, container);
  if (out.size() <= limit) return true;
  error_report("File name too long");
  return false;
}

void choose_file_into(dialog_state& d, const char* item, const char* container, int kind, int open) {
  const chooser_target previous = target;
  target = {&d, item, container};
  file_chooser_run(chosen_path, kind, open);
  target = previous;
}

void radix_by_family(dialog_form& form) {
  static constexpr const char* FLOATING[] = {"Floating_Point"};
  enable_by_family(form, "Radix", FLOATING, 1, nullptr);
  form.set_enabled("Fractional", "Radix", dialog_family_code() != 710);
}

std::vector<std::string> device_names(bool existing_only) {
  std::vector<std::string> out;
  for (int n = 0; n < DEVICE_MAX; ++n)
    if (!existing_only || device_insts[n] != nullptr) out.push_back(format("Dv%d", n));
  return out;
}

std::vector<std::string> pin_names() {
  std::vector<std::string> out;
  if (cur_type == nullptr) return out;
  const auto add = [&out](const char* name) {
    if (name != nullptr && std::find(out.begin(), out.end(), name) == out.end()) out.emplace_back(name);
  };
  for (int i = 0; i < cur_type->pin_count; ++i) {
    add(cur_type->pins[i].name);
    add(cur_type->pins[i].alt_name);
  }
  return out;
}

}  // namespace gui
