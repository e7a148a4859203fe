// Measuring through the font driver.
#include "fw/core/scribe.h"
#include "fw/gui/graphics/font_internal.h"

using namespace vfontint;

namespace {

int rounded(vfixed v) { return std::int16_t((v + 32768) >> 16); }


}  // namespace

vfixed vfontGetCharWidth(vfont* font) {
  ensure();
  vfixed width, second;
  state.driver.charWidth(font, &width, &second);
  return width;
}

void vfontGetBounds(vfont* font, vrect* out) {
  ensure();
  vrectFixed r;
  state.driver.bounds(font, &r);
  vrectFixedToShort(&r, out);
}

vfixed vfontGetHeight(vfont* font) {
  ensure();
  return state.driver.ascent(font) + state.driver.descent(font);
}

void vfontGetCharsAdvance(vfont* font, const char* chars, int length, int* dx, int* dy) {
  ensure();
  vfixed x, y;
  state.driver.advance(font, chars, length, &x, &y);
  *dx = rounded(x);
  *dy = rounded(y);
}

vfixed vfontGetCharsWidth(vfont* font, const char* chars, int length) {
  ensure();
  vfixed x, y;
  state.driver.advance(font, chars, length, &x, &y);
  return x;
}

void _vfontScribeAdvance(vfont* font, vscribe* s, vfixed* dx, vfixed* dy) {
  ensure();
  withText(s, [&](const char* chars, int n) { state.driver.advance(font, chars, n, dx, dy); });
}

vfixed vfontGetScribeWidth(vfont* font, vscribe* s) {
  vfixed x, y;
  _vfontScribeAdvance(font, s, &x, &y);
  return x;
}

void vfontGetScribeAdvance(vfont* font, vscribe* s, int* dx, int* dy) {
  vfixed x, y;
  _vfontScribeAdvance(font, s, &x, &y);
  *dx = rounded(x);
  *dy = rounded(y);
}

void vfontGetCharsBounds(vfont* font, const char* chars, int length, vrect* out) {
  ensure();
  vrectFixed r;
  state.driver.charsBounds(font, chars, length, &r);
  vrectFixedToShort(&r, out);
}
