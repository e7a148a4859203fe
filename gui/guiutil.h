// Small services of the front-end for dialogs and windows.
#pragma once

#include <cstddef>

struct device_inst;

namespace gui {

int gui_allocator_active();
void* gui_dsp_alloc(std::size_t size, int clear);
void* gui_dsp_realloc(void* block, std::size_t size);
void gui_dsp_free(void* block);
// The index of the register of peripheral row `row` whose name follows
// the name at `index` alphabetically (the first when index < 0), or -1.
int register_name_next(int row, int index);
// The number a new breakpoint gets.
int breakpoint_number_free();
void gui_work_dir(device_inst* inst);

}  // namespace gui
