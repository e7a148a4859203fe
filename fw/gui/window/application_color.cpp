// The default scheme closure and derive function of the application.
#include <algorithm>

#include "fw/gui/window/application.h"

#include "fw/core/sys.h"

namespace {

struct Rgb {
  unsigned r, g, b;
};

Rgb rgbOf(vcolor* c) {
  Rgb v{};
  vcolorGetSpecRGB(&c->desc, &v.r, &v.g, &v.b);
  return v;
}
unsigned scaled(unsigned c, unsigned f) { return std::min(c * f / 32767u, 65535u); }
Rgb scale(Rgb c, unsigned f) { return {scaled(c.r, f), scaled(c.g, f), scaled(c.b, f)}; }
Rgb blend(Rgb p, Rgb b) { return {(2 * b.r + p.r) / 3, (2 * b.g + p.g) / 3, (2 * b.b + p.b) / 3}; }

// A scheme holds no references, so the colours handed out stay held here:
// one reference per distinct colour, however often it is derived.
vdict* held = nullptr;
void releaseHeld() {
  vdictIterator it;
  vdictInitIterator(&it, held);
  while (vdictNextIterator(&it)) vcolorRelease(static_cast<vcolor*>(const_cast<void*>(vdictIteratorKey(&it))));
  vdictDestroy(held);
  held = nullptr;
}
vcolor* keep(vcolor* c) {
  if (!held) {
    held = vdictCreate(vdictHashPointer);
    vmoduleAddExitProc(releaseHeld);
  }
  if (vdictHas(held, c))
    vcolorRelease(c);
  else
    vdictStore(held, c, c);
  return c;
}

vcolor* make(Rgb c) {
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  vcolorSetSpecRGB(&desc, c.r, c.g, c.b);
  vcolorSetSpecRGBDelta(&desc, 0x7FF, 0x7FF, 0x7FF);
  vcolorSetSpecMaxDotDither(&desc, 16);
  vcolor* shared = vcolorInternSpec(&desc);
  vcolorDestroySpec(&desc);
  return keep(shared);
}

// How an entry is made: from fg or bg, scaled bg, or from a neighbour.
enum Rule : std::uint8_t {
  kNever,       // 0 and 2
  kBlendFg,     // blend(fg, bg)
  kBg,          // bg
  kFg,          // fg
  kScale,       // scale(bg, factor)
  kEntryOr,     // entry `from` when present, else scale(bg, factor)
  kBlendPrevOr, // blend(entry i-1, bg) when present, else scale(bg, factor)
  kBlendPrev,   // blend(entry i-1 or its derived colour, bg)
};
struct Row {
  Rule rule;
  std::uint8_t from;
  std::uint16_t factor;
};
constexpr Row rows[vcolorSCHEME_SIZE] = {
    {kNever, 0, 0},           {kBlendFg, 0, 0},          {kNever, 0, 0},           {kBg, 0, 0},
    {kScale, 0, 0x9FFE},      {kBlendPrevOr, 0, 0x8CCB}, {kScale, 0, 0x3FFF},      {kBlendPrevOr, 0, 0x6AA9},
    {kBg, 0, 0},              {kBlendPrev, 0, 0},        {kFg, 0, 0},              {kBlendPrev, 0, 0},
    {kScale, 0, 0x8CCB},      {kBlendPrevOr, 0, 0x8CCB}, {kScale, 0, 0x7332},      {kBlendPrevOr, 0, 0x7332},
    {kFg, 0, 0},              {kBlendPrev, 0, 0},        {kFg, 0, 0},              {kBlendPrev, 0, 0},
    {kEntryOr, 4, 0x9FFE},    {kBlendPrevOr, 0, 0x8CCB}, {kEntryOr, 6, 0x3FFF},    {kBlendPrevOr, 0, 0x6AA9},
};

[[noreturn]] void missing() { vexGenerateMessage(&vexArgClass, "Arg"); }

vcolor* entry(const vcolorScheme* s, int i) { return (s->mask & vcolorSchemeBit(i)) ? s->entries[i] : nullptr; }
Rgb required(const vcolorScheme* s, int i) {
  vcolor* c = entry(s, i);
  if (!c) missing();
  return rgbOf(c);
}

Rgb derived(const vcolorScheme* s, int i) {
  if (i < 0 || i >= vcolorSCHEME_SIZE) missing();
  const Row& row = rows[i];
  switch (row.rule) {
    case kNever:
      missing();
    case kBlendFg:
      return blend(required(s, vcolorFOREGROUND), required(s, vcolorBACKGROUND));
    case kBg:
      return required(s, vcolorBACKGROUND);
    case kFg:
      return required(s, vcolorFOREGROUND);
    case kScale:
      return scale(required(s, vcolorBACKGROUND), row.factor);
    case kEntryOr:
      if (vcolor* c = entry(s, row.from)) return rgbOf(c);
      return scale(required(s, vcolorBACKGROUND), row.factor);
    case kBlendPrevOr:
      if (vcolor* c = entry(s, i - 1)) return blend(rgbOf(c), required(s, vcolorBACKGROUND));
      return scale(required(s, vcolorBACKGROUND), row.factor);
    case kBlendPrev: {
      vcolor* c = entry(s, i - 1);
      return blend(c ? rgbOf(c) : derived(s, i - 1), required(s, vcolorBACKGROUND));
    }
  }
  missing();
}

}  // namespace

std::uint32_t vapplicationDefaultClosure(std::uint32_t m) {
  std::uint32_t c = m | ((m & 0x555555) << 1);
  if (m & 1) c |= 0xF0C00;
  if (c & 4) c |= 0xAAFBFA;
  return c;
}

vcolor* vapplicationDefaultDerive(const vcolorScheme* scheme, int index) { return make(derived(scheme, index)); }
