// The dialog table: the parts each file of dialogs brings, in one array so
// that every dialog has one state for the program's life.
#include <vector>

#include "frontends/gui/dialogs/command_dialog.h"

namespace gui {

namespace {

const std::vector<dialog_entry>& table() {
  static const std::vector<dialog_entry> all = [] {
    std::vector<dialog_entry> t;
    for (std::span<const dialog_entry> part : {break_exec_dialogs(), device_mem_dialogs(), stream_log_dialogs()})
      t.insert(t.end(), part.begin(), part.end());
    return t;
  }();
  return all;
}

}  // namespace

const dialog_entry* dialog_table() { return table().data(); }
int dialog_count() { return static_cast<int>(table().size()); }

}  // namespace gui
