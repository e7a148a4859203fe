// Register display layouts: per peripheral row of a device type, the
// slots of the register display in lines. The support record of each type
// (family_desc::display_layouts) points at one layout set.
#pragma once

#include <cstdint>

// A slot holds a register number of its peripheral, an empty cell or the
// end of a line.
constexpr int16_t SLOT_BLANK = -1;
constexpr int16_t SLOT_LINE_END = -2;

struct display_slot {
  int16_t reg;
  uint8_t column;      // width of the cell; the value ends at it
  uint8_t name_width;  // the name is right-aligned in this many columns
};

struct display_layout {
  int count;
  const display_slot* slots;
};

// One layout per peripheral row, in row order.
struct display_layout_set {
  int periph_count;
  const display_layout* periphs;
};

extern const display_layout_set display_layouts_521;
extern const display_layout_set display_layouts_547;
extern const display_layout_set display_layouts_583;
