// The text fuzz targets' font: one face of fixed advances (8.0 a
// character, 4.0 a blank; ascent 10.0, descent 3.0), registered once, with
// ink above 9.0 only for '^'.
#pragma once
#include "fw/gui/graphics/font.h"

namespace fuzztext {

inline vfixed advanceOf(char c) { return c == ' ' ? 4 << 16 : 8 << 16; }

inline const vfontDriver kFixed{
    [](vfont*) {},
    [](vfont*, vfixed* w, vfixed* second) { *w = 8 << 16, *second = 0; },
    [](vfont*, vrectFixed* out) { *out = {0, -(5 << 16), 8 << 16, 19 << 16}; },
    [](vfont*) { return vfixed(10 << 16); },
    [](vfont*) { return vfixed(3 << 16); },
    [](vfont*, const char* chars, int length, vfixed* dx, vfixed* dy) {
      *dx = 0, *dy = 0;
      for (int i = 0; i < length; ++i) *dx += advanceOf(chars[i]);
    },
    [](vfont*, const char* chars, int length, vrectFixed* out) {
      vfixed top = 9 << 16;
      for (int i = 0; i < length; ++i)
        if (chars[i] == '^') top = 14 << 16;
      *out = {0, -(2 << 16), (8 << 16) * length, top + (2 << 16)};
    },
};

inline void registerFixedFont() {
  static bool started = false;
  if (started) return;
  started = true;
  int d = vfontAllocDevice();
  vfontFamily* f = vfontRegisterFamily(vnameInternLiteral("Fixed"), vnameInternLiteral("F"), vnameInternLiteral("ansi"), 1, d);
  vfontRegisterFaceSize(vfontRegisterFace(f, vnameInternLiteral("regular"), d), 10);
  vfontSetDefaultSpec("face:regular");
  vfontSetDriver(&kFixed);
}

}  // namespace fuzztext
