#include "fw/core/fixed.h"

#include <cmath>

vfixed vfixedFromDouble(double value) {
  if (std::isnan(value) || value < -32768.0) return INT32_MIN;
  if (value > 32767.99998474121) return INT32_MAX;
  return static_cast<vfixed>(value * 65536.0);
}

vfixed vfixedAbs(vfixed value) {
  std::uint32_t u = static_cast<std::uint32_t>(value);
  return static_cast<vfixed>(value < 0 ? 0u - u : u);
}

vfixed vfixedMultiply(vfixed a, vfixed b) {
  bool negative = (a < 0) != (b < 0);
  std::uint32_t ma = static_cast<std::uint32_t>(vfixedAbs(a)), mb = static_cast<std::uint32_t>(vfixedAbs(b));
  std::uint32_t ah = ma >> 16, al = ma & 0xFFFFu, bh = mb >> 16, bl = mb & 0xFFFFu;
  std::uint32_t m = ah * mb + al * bh + ((al * bl) >> 16);
  return static_cast<vfixed>(negative ? 0u - m : m);
}

void vpointSubtract(const vpoint* a, const vpoint* b, vpoint* out) {
  out->x = static_cast<std::int16_t>(a->x - b->x);
  out->y = static_cast<std::int16_t>(a->y - b->y);
}

namespace {
std::int16_t pin(int v, int origin, int extent) {
  if (v < origin) return static_cast<std::int16_t>(origin);
  if (v >= origin + extent) return static_cast<std::int16_t>(origin + extent - 1);
  return static_cast<std::int16_t>(v);
}
}  // namespace

void vpointPinToRect(const vpoint* point, const vrect* rect, vpoint* out) {
  std::int16_t x = pin(point->x, rect->x, rect->width), y = pin(point->y, rect->y, rect->height);
  out->x = x;
  out->y = y;
}
