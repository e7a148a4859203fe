// Small services of the front-end for dialogs and windows: the allocator
// behind dsp_alloc, register names in alphabetical order, the next free
// breakpoint number and a device's working directory.
#include "frontends/gui/guiutil.h"

#include <cstdlib>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/window.h"
#include "frontends/gui/road.h"
#include "sim/cmd/breakpoints.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace gui {

int gui_allocator_active() { return 1; }

// The framework's allocator raises on exhaustion; the simulator's callers
// expect none and a message.
void* gui_dsp_alloc(std::size_t size, int clear) {
  void* block = nullptr;
  if (!vexTry([&] { block = clear != 0 ? vmemAllocClear(size != 0 ? size : 1) : vmemAlloc(size != 0 ? size : 1); }))
    block = nullptr;
  if (block == nullptr) error_report("Insufficient memory: dsp_alloc");
  return block;
}

void* gui_dsp_realloc(void* block, std::size_t size) {
  void* grown = nullptr;
  if (!vexTry([&] { grown = vmemRealloc(block, size != 0 ? size : 1); })) grown = nullptr;
  if (grown == nullptr) error_report("Error allocating memory");
  return grown;
}

void gui_dsp_free(void* block) {
  if (block != nullptr) vmemFree(block);
}

int register_name_next(int row, int index) {
  if (cur_type == nullptr || row < 0 || row >= cur_type->periph_count) return -1;
  const periph_class* cls = cur_type->periphs[row].cls;
  const char* after = index >= 0 && index < cls->reg_count ? cls->regs[index].name : nullptr;
  int best = -1;
  for (int i = 0; i < cls->reg_count; ++i) {
    const char* name = cls->regs[i].name;
    if (after != nullptr && std::strcmp(name, after) <= 0) continue;
    if (best < 0 || std::strcmp(name, cls->regs[best].name) < 0) best = i;
  }
  return best;
}

int breakpoint_number_free() {
  if (cur_state == nullptr) return 1;
  int candidate = cur_state->last_break_number + 1;
  for (const break_rec* b = cur_state->breakpoints; b != nullptr; b = b->next)
    if (candidate >= b->number) candidate = b->number + 1;
  return candidate;
}

void gui_work_dir(device_inst* inst) {
  if (inst != nullptr) inst->work_dir = working_dir_text(WORK_DIR_MAX - 1);
}

void dialog_frame(vwindow* dialog) {
  constexpr std::uint16_t sizing = vwindowDECO_RESIZABLE | vwindowDECO_MINIMIZE | vwindowDECO_MAXIMIZE;
  const auto decoration = static_cast<std::uint16_t>((dialog->decoration | vwindowDECO_MODAL_FRAME) & ~sizing);
  if (decoration != dialog->decoration) vwindowClassOf(dialog)->setDecoration(dialog, decoration);
}

}  // namespace gui
