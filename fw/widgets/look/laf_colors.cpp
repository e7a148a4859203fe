// The looks that imitate the platform (Windows, CUA, Win95) take their
// scheme colours and class fonts from the platform's system colours and
// fonts: roles map to system colour indexes per look, fixed tables stand in
// where the look does not match the running system, and scheme indexes are
// bound to roles globally and per class.
//
// - **System colours** (`laf_colors.cpp`): the 43-role tables, the fixed tables and the global
//   bindings per look, all data; bound once per process for the Windows, CUA and Win95 looks.
#include "fw/core/class.h"
#include "fw/widgets/look/laf_internal.h"

namespace {

using Roles = std::int8_t[vlafSYS_COLOR_ROLES];
constexpr Roles kWindowsRoles = {15, 18, 17, 16, 20, 16, 20, 5,  8,  13, 14, 17, 6, 18, 4,  7,  17, 13, 14, 6,  25, 15,
                                 18, 13, 0,  15, 15, 8,  18, 5,  8,  15, 18, 12, 1, 10, 2,  2,  9,  11, 3,  3,  19};
constexpr Roles kWin95Roles = {15, 18, 17, 16, 20, 21, 22, 5,  8,  13, 14, 17, 6, 18, 4,  7,  17, 13, 14, 6,  6,  24,
                               23, 13, 0,  15, 15, 8,  18, 5,  8,  5,  8,  12, 1, 10, 2,  2,  9,  11, 3,  3,  19};
constexpr Roles kCUARoles = {10, 32, 4,  11, 9,  11, 9,  3,  33, 18, 17, 4,  31, 24, 29, 32, 4,  6,  5,  31, 14, 38,
                             39, 40, 25, 10, 7,  15, 12, 30, 33, 16, 33, 37, 26, 35, 27, 20, 22, 36, 28, 19, 21};

constexpr std::uint32_t kWindowsFixed[] = {
    0xc0c0c0, 0x008080, 0x000080, 0xc0c0c0, 0xffffff, 0xffffff, 0x000000, 0x000000, 0x000000,
    0xffffff, 0xc0c0c0, 0xc0c0c0, 0xffffff, 0x000080, 0xffffff, 0xc0c0c0, 0x808080, 0x808080,
    0x000000, 0x000000, 0xffffff, 0x808080, 0xffffff, 0x000000, 0xffffcc, 0x000000,
};
constexpr std::uint32_t kWin95Fixed[] = {
    0xc0c0c0, 0x008080, 0x000080, 0x808080, 0xc0c0c0, 0xffffff, 0x000000, 0x000000, 0x000000,
    0xffffff, 0xc0c0c0, 0xc0c0c0, 0x808080, 0x000080, 0xffffff, 0xc0c0c0, 0x808080, 0x808080,
    0x000000, 0xc0c0c0, 0xffffff, 0x000000, 0xdfdfdf, 0x000000, 0xffffff, 0x000000,
};
constexpr std::uint32_t kCUAFixed[] = {
    0x808080, 0xffffff, 0x808080, 0xffffcc, 0x808080, 0x000000, 0xcccccc, 0xffffff, 0xcccccc, 0xffffff, 0xcccccc,
    0x808080, 0x000000, 0x808080, 0x808080, 0x000000, 0xcccccc, 0xffffff, 0x808080, 0xcccccc, 0x408080, 0x808080,
    0xffffff, 0x000000, 0x000080, 0xc0c0c0, 0xcccccc, 0x408080, 0xcccccc, 0xcccccc, 0xffffff, 0x808080, 0x000000,
    0x000000, 0xffffff, 0xffff80, 0xcccccc, 0xffffe0, 0xffffff, 0x000080, 0x008080,
};

// Global bindings: scheme index -> role, for both variants (-1) or one.
struct Binding {
  std::int8_t flag3D, index, role;
};
constexpr Binding kWindowsBindings[] = {
    {-1, 8, 10}, {-1, 10, 9}, {-1, 4, 4}, {-1, 6, 3}, {-1, 16, 12}, {-1, 1, 2}, {-1, 3, 0}, {-1, 9, 10},
    {-1, 11, 9}, {-1, 5, 4},  {-1, 7, 3}, {-1, 17, 12}, {1, 0, 1},  {1, 2, 0},  {0, 0, 8},  {0, 2, 7},
};
constexpr Binding kCUABindings[] = {
    {-1, 0, 1},  {-1, 2, 31}, {-1, 4, 4},  {-1, 6, 3},  {-1, 8, 10}, {-1, 10, 9}, {-1, 12, 25},
    {-1, 14, 9}, {-1, 16, 12}, {-1, 18, 28}, {-1, 1, 16}, {-1, 3, 31}, {-1, 5, 4},  {-1, 7, 3},
    {-1, 9, 10}, {-1, 11, 9}, {-1, 13, 0},  {-1, 15, 9}, {-1, 17, 12}, {-1, 19, 28},
};
constexpr Binding kWin95Bindings[] = {
    {-1, 8, 10}, {-1, 10, 9}, {-1, 4, 4}, {-1, 6, 3},  {-1, 16, 12}, {-1, 1, 2},  {-1, 3, 0},  {-1, 9, 10}, {-1, 11, 9},
    {-1, 5, 4},  {-1, 7, 3},  {-1, 17, 12}, {-1, 0, 1}, {-1, 2, 0},  {-1, 20, 6}, {-1, 22, 5}, {-1, 21, 6}, {-1, 23, 5},
};

struct LookColors {
  std::int16_t id;
  const Roles* roles;
  const std::uint32_t* fixed;
  int fixedCount;
  int fixedWhen;  // 1 on version 4 or later, 0 before it, -1 always
  const Binding* bindings;
  int bindingCount;
};
constexpr LookColors kLooks[] = {
    {vlafWINDOWS, &kWindowsRoles, kWindowsFixed, 26, 1, kWindowsBindings, 16},
    {vlafCUA, &kCUARoles, kCUAFixed, 41, -1, kCUABindings, 20},
    {vlafWIN95, &kWin95Roles, kWin95Fixed, 26, 0, kWin95Bindings, 18},
};

const LookColors* colorsOf(int id) {
  for (const LookColors& l : kLooks)
    if (l.id == id) return &l;
  return nullptr;
}

bool bound = false;

bool matches(int lookId, int flag3D) {
  const vlaf* look = vlafGetCurrent();
  return look->id == lookId && (flag3D == -1 || flag3D == int(look->flags & vlaf3D));
}

int systemIndex(int lookId, int role) {
  const LookColors* l = colorsOf(lookId);
  if (role < 0 || !l) return role;
  return role < vlafSYS_COLOR_ROLES ? (*l->roles)[role] : -1;
}

}  // namespace

void vlafint::bindSysColors(const vlaf* look) {
  const LookColors* l = colorsOf(look->id);
  if (bound || !l) return;
  bound = true;
  const vlafWindowServices& s = vlafGetWindowServices();
  int modern = s.majorVersion() >= 4;
  if (l->fixedWhen == -1 || l->fixedWhen == modern) {
    std::uint16_t rgb[41][3];
    for (int i = 0; i < l->fixedCount; ++i)
      for (int c = 0; c < 3; ++c) rgb[i][c] = std::uint16_t(((l->fixed[i] >> (16 - 8 * c)) & 0xFF) * 257);
    s.setSysColorTable(rgb, l->fixedCount);
  }
  if (look->flags & vlafNATIVE_COLORS)
    for (int i = 0; i < l->bindingCount; ++i)
      vlafSetMSWSysColor(look->id, l->bindings[i].flag3D, l->bindings[i].index, l->bindings[i].role);
}

void vlafint::shutdownColors() { bound = false; }

int vlafGetSysColorIndex(int role) { return systemIndex(vlafGetCurrent()->id, role); }

void vlafSetMSWSysColor(int lookId, int flag3D, int index, int role) {
  if (matches(lookId, flag3D)) vlafGetWindowServices().setSchemeSysColor(index, systemIndex(lookId, role));
}

void vlafSetClassMSWSysColor(int lookId, int flag3D, vclass* cls, int index, int role) {
  if (matches(lookId, flag3D) && (vlafGetCurrent()->flags & vlafNATIVE_COLORS))
    vlafGetWindowServices().setClassSchemeSysColor(cls->name, index, systemIndex(lookId, role));
}

void vlafSetClassMSWColors(int lookId, vclass* cls) {
  if (matches(lookId, -1) && (vlafGetCurrent()->flags & vlafNATIVE_COLORS))
    vlafGetWindowServices().addNativeColorClass(cls);
}

void vlafSetClassMSWFont(int lookId, vclass* cls, int kind) {
  if (matches(lookId, -1) && (vlafGetCurrent()->flags & vlafNATIVE_FONTS))
    vlafGetWindowServices().setClassFont(cls->name, kind);
}

int vlafMatchesMSWSysColor(vcolor* color, int role) {
  int index = vlafGetSysColorIndex(role);
  if (!color || index < 0) return 0;
  unsigned r, g, b, sr, sg, sb;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  vlafGetWindowServices().getSysColor(index, &sr, &sg, &sb);
  return r == sr * 257 && g == sg * 257 && b == sb * 257;
}
