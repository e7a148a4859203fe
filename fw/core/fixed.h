// 16.16 fixed-point values and the arithmetic on 16-bit points.
#pragma once
#include <cstdint>

#include "fw/core/rect.h"

using vfixed = std::int32_t;

inline constexpr vfixed vfixedONE = 0x10000;

// Saturating: below -32768.0 (or not a number) the most negative value,
// above the largest representable value the largest; else truncated.
vfixed vfixedFromDouble(double value);
// The most negative value stays itself.
vfixed vfixedAbs(vfixed value);
// The product with the fraction dropped; it wraps when it does not fit.
vfixed vfixedMultiply(vfixed a, vfixed b);

void vpointSubtract(const vpoint* a, const vpoint* b, vpoint* out);
// Clamped into the rectangle's cells; an empty extent pins to origin - 1.
void vpointPinToRect(const vpoint* point, const vrect* rect, vpoint* out);
