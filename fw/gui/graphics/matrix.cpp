#include "fw/gui/graphics/matrix.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fw/core/ex.h"

namespace {

// The kind of each class value (bits 0-6).
constexpr std::array<std::uint8_t, 128> kindTable = [] {
  std::array<std::uint8_t, 128> t{};
  for (unsigned v = 0; v < 128; ++v) {
    if (v & vmatrixSKEW)
      t[v] = vmatrixGENERAL;
    else if (v & (vmatrixNEGATIVE_A | vmatrixSCALE_A | vmatrixSCALE_D))
      t[v] = vmatrixSCALE;
    else if (v & vmatrixNEGATIVE_D)
      t[v] = vmatrixFLIP;
    else
      t[v] = v ? vmatrixTRANSLATION : vmatrixIDENTITY;
  }
  return t;
}();

std::uint32_t classOf(const vmatrixFixed& f) {
  std::uint32_t bits = 0;
  if (f.tx) bits |= vmatrixTX;
  if (f.ty) bits |= vmatrixTY;
  if (f.a < 0) bits |= vmatrixNEGATIVE_A;
  if (f.d < 0) bits |= vmatrixNEGATIVE_D;
  if (f.a != vfixedONE && f.a != -vfixedONE) bits |= vmatrixSCALE_A;
  if (f.d != vfixedONE && f.d != -vfixedONE) bits |= vmatrixSCALE_D;
  if (f.b || f.c) bits |= vmatrixSKEW;
  return bits;
}

vfixed signOf(vfixed v) { return v > 0 ? vfixedONE : v < 0 ? -vfixedONE : 0; }

constexpr int kField = 47;  // the scratch field of one number

}  // namespace

void vmatrixConcat(const vmatrix* m, const vmatrix* n, vmatrix* out) {
  const vmatrix p = *m, q = *n;
  *out = {q.a * p.a + q.c * p.b,           q.b * p.a + q.d * p.b,           q.a * p.c + q.c * p.d,
          q.b * p.c + q.d * p.d,           q.a * p.tx + q.c * p.ty + q.tx, q.b * p.tx + q.d * p.ty + q.ty};
}

void vmatrixRotate(const vmatrix* m, double degrees, vmatrix* out) {
  double r = degrees * 0.017453292519943295;
  double s = static_cast<float>(std::sin(r)), k = std::cos(r);
  const vmatrix p = *m;
  *out = {float(s * p.c + k * p.a), float(s * p.d + k * p.b), float(k * p.c - s * p.a), float(k * p.d - s * p.b),
          p.tx, p.ty};
}

void vmatrixScale(const vmatrix* m, double sx, double sy, vmatrix* out) {
  const vmatrix p = *m;
  *out = {float(p.a * sx), float(p.b * sx), float(p.c * sy), float(p.d * sy), p.tx, p.ty};
}

void vmatrixTranslate(const vmatrix* m, double dx, double dy, vmatrix* out) {
  const vmatrix p = *m;
  *out = {p.a, p.b, p.c, p.d, float(p.a * dx + p.c * dy + p.tx), float(p.b * dx + p.d * dy + p.ty)};
}

void vmatrixInvert(const vmatrix* m, vmatrix* out) {
  const vmatrix p = *m;
  float det = p.a * p.d - p.c * p.b;
  if (det == 0.0f)
    _vexGenerate(&vexArgClass, vexSetMessage, "matrix inverse requires non-zero determinant", vexEnd);
  float q = 1.0f / det;
  *out = {p.d * q, -p.b * q, -p.c * q, p.a * q, (p.c * p.ty - p.d * p.tx) * q, (p.b * p.tx - p.a * p.ty) * q};
}

void vmatrixTransformVector(const vmatrix* m, double x, double y, double* ox, double* oy) {
  double rx = m->c * y + m->a * x, ry = m->b * x + m->d * y;
  *ox = rx;
  *oy = ry;
}

void vmatrixTransformPoint(const vmatrix* m, double x, double y, double* ox, double* oy) {
  double rx, ry;
  vmatrixTransformVector(m, x, y, &rx, &ry);
  *ox = rx + m->tx;
  *oy = ry + m->ty;
}

void vmatrixTransformRect(const vmatrix* m, const vrectFloat* r, vrectFloat* out) {
  const double xs[2] = {r->x, double(r->x) + r->width}, ys[2] = {r->y, double(r->y) + r->height};
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (double y : ys)
    for (double x : xs) {
      double px, py;
      vmatrixTransformPoint(m, x, y, &px, &py);
      minX = std::min(minX, px), maxX = std::max(maxX, px);
      minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
  *out = {float(minX), float(minY), float(maxX - minX), float(maxY - minY)};
}

int vmatrixCompare(const vmatrix* m, const vmatrix* n, double* difference) {
  double eps = (std::fabs(m->a) + std::fabs(n->a) + std::fabs(m->b) + std::fabs(n->b) + std::fabs(m->d) +
                std::fabs(n->d) + std::fabs(m->c) + std::fabs(n->c)) *
               0.0001;
  struct Row {
    float vmatrix::*field;
    int result;
    bool scaled;  // against eps, else the fixed 0.0001
  };
  static constexpr Row order[] = {{&vmatrix::d, 6, true},   {&vmatrix::a, 5, true},  {&vmatrix::b, 4, true},
                                  {&vmatrix::c, 3, true},   {&vmatrix::ty, 2, false}, {&vmatrix::tx, 1, false}};
  double diff = 0.0;
  for (const Row& row : order) {
    diff = double(m->*row.field) - double(n->*row.field);
    double tolerance = row.scaled ? eps : 0.0001;
    if (diff > tolerance || diff < -tolerance) {
      *difference = diff;
      return diff > 0 ? row.result : -row.result;
    }
  }
  *difference = diff;
  return 0;
}

char* vmatrixPrint(const vmatrix* m, char* buffer) {
  const float values[6] = {m->a, m->b, m->c, m->d, m->tx, m->ty};
  char* p = buffer;
  *p++ = '[';
  for (float v : values) {
    char field[kField + 1];
    int n = std::snprintf(field, sizeof field, "%g ", double(v));
    if (n < 0 || n > kField) _vexGenerate(&vexModuleStateClass, vexEnd);
    std::memcpy(p, field, std::size_t(n));
    p += n;
  }
  *p++ = ']';
  *p = '\0';
  return p;
}

const char* vmatrixParse(const char* text, vmatrix* out) {
  vmatrix m = vmatrixIdentity;
  float* fields[6] = {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty};
  const char* p = text;
  auto space = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v'; };
  if (*p == '[') ++p;
  for (float* f : fields) {
    if (!*p) break;
    const char* start = p;
    while (*p && !space(*p) && *p != ']') ++p;
    std::size_t length = std::min<std::size_t>(std::size_t(p - start), kField);
    if (length) {
      char field[kField + 1];
      std::memcpy(field, start, length);
      field[length] = '\0';
      float v;
      if (std::sscanf(field, "%g", &v) == 1) *f = v;
    }
    while (space(*p)) ++p;
  }
  if (*p == ']') {
    ++p;
    while (space(*p)) ++p;
  }
  *out = m;
  return p;
}

void vmatrixToFixed(const vmatrix* m, vmatrixFixed* out) {
  vmatrixFixed f{0, vfixedFromDouble(m->a), vfixedFromDouble(m->b), vfixedFromDouble(m->c), vfixedFromDouble(m->d),
                 vfixedFromDouble(m->tx), vfixedFromDouble(m->ty)};
  f.classBits = classOf(f);
  *out = f;
}

void vmatrixFromFixed(const vmatrixFixed* fixed, vmatrix* out) {
  constexpr double k = 1.52587890625e-05;
  const vmatrixFixed f = *fixed;
  *out = {float(f.a * k), float(f.b * k), float(f.c * k), float(f.d * k), float(f.tx * k), float(f.ty * k)};
}

void vmatrixFixedSigns(const vmatrixFixed* fixed, vmatrixFixed* out) {
  vmatrixFixed f = *fixed;
  if (f.a) f.classBits &= ~vmatrixSCALE_A;
  if (f.d) f.classBits &= ~vmatrixSCALE_D;
  f.a = signOf(f.a);
  f.b = signOf(f.b);
  f.c = signOf(f.c);
  f.d = signOf(f.d);
  *out = f;
}

vmatrixKind vmatrixGetKind(std::uint32_t classBits) { return vmatrixKind(kindTable[classBits & 0x7F]); }
