// The point and rectangle values shared by the core, the resources and
// the graphics. Rectangles are half-open: x <= px < x + width.
#pragma once
#include <cstdint>

struct vpoint {
  std::int16_t x, y;
};

struct vrect {
  std::int16_t x, y, width, height;
};

// User-space rectangles of the float drawing operations.
struct vrectFloat {
  float x, y, width, height;
};
