// The 2-D affine matrix (a point (x, y) maps to (a x + c y + tx,
// b x + d y + ty)) and the 16.16 form the drawing state keeps beside it,
// with the class bits and the five matrix kinds.
//
// Matrices (`matrix.h`): six floats; the 16.16 form carries class bits computed from the fixed
// values, and a 128-entry table built at compile time maps them to the five kinds the drawing state
// picks its primitives by. `vmatrixCompare` walks a table of {field, result, tolerance kind}; print
// and parse use the host's "%g" in a 47-character field.
#pragma once
#include <cstdint>

#include "fw/core/fixed.h"
#include "fw/core/rect.h"

struct vmatrix {
  float a, b, c, d, tx, ty;
};

enum : std::uint32_t {
  vmatrixTX = 0x1,         // tx != 0
  vmatrixTY = 0x2,         // ty != 0
  vmatrixNEGATIVE_A = 0x4,
  vmatrixNEGATIVE_D = 0x8,
  vmatrixSCALE_A = 0x10,   // a neither +1 nor -1
  vmatrixSCALE_D = 0x20,
  vmatrixSKEW = 0x40,      // b or c non-zero
};
enum vmatrixKind : std::uint8_t {
  vmatrixIDENTITY = 0,
  vmatrixTRANSLATION = 1,
  vmatrixFLIP = 2,   // unit scales, d = -1
  vmatrixSCALE = 3,  // axis-aligned
  vmatrixGENERAL = 4,
};

struct vmatrixFixed {
  std::uint32_t classBits;  // low 16 bits used
  vfixed a, b, c, d, tx, ty;
};

inline constexpr vmatrix vmatrixIdentity = {1, 0, 0, 1, 0, 0};

void vmatrixConcat(const vmatrix* m, const vmatrix* n, vmatrix* out);  // m followed by n
void vmatrixRotate(const vmatrix* m, double degrees, vmatrix* out);
void vmatrixScale(const vmatrix* m, double sx, double sy, vmatrix* out);
void vmatrixTranslate(const vmatrix* m, double dx, double dy, vmatrix* out);
void vmatrixInvert(const vmatrix* m, vmatrix* out);
void vmatrixTransformVector(const vmatrix* m, double x, double y, double* ox, double* oy);
void vmatrixTransformPoint(const vmatrix* m, double x, double y, double* ox, double* oy);
void vmatrixTransformRect(const vmatrix* m, const vrectFloat* r, vrectFloat* out);
// An order with tolerance: d, a, b, c, ty, tx decide (results +-6 to +-1).
int vmatrixCompare(const vmatrix* m, const vmatrix* n, double* difference);
// "[a b c d tx ty ]"; answers the end of the text.
char* vmatrixPrint(const vmatrix* m, char* buffer);
const char* vmatrixParse(const char* text, vmatrix* out);

void vmatrixToFixed(const vmatrix* m, vmatrixFixed* out);
void vmatrixFromFixed(const vmatrixFixed* fixed, vmatrix* out);
void vmatrixFixedSigns(const vmatrixFixed* fixed, vmatrixFixed* out);
vmatrixKind vmatrixGetKind(std::uint32_t classBits);
