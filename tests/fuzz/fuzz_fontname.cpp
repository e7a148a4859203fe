// Font descriptions: after the first byte, the input is a description looked up in a small
// registry on two devices (even first byte) or a matrix text (odd). A lookup
// gives a registered face, or Arg/Range for a device term, and the same text
// gives the same font again; a matrix text parses without reading past it.
// (A description text need not find its font again: the printed matrix keeps six
// digits and sizes match within a tolerance.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/font.h"

namespace {

void build() {
  const char* families[] = {"Helvetica", "Courier", "Times New Roman"};
  const char* faces[] = {"medium", "bold", "bold italic", "Italic"};
  const float sizes[] = {8, 10, 12, 14.5f, 24};
  int devices[] = {vfontAllocDevice(), vfontAllocDevice()};
  for (int f = 0; f < 3; ++f)
    for (int d = 0; d < 2; ++d) {
      vfontFamily* family = vfontRegisterFamily(vnameInternLiteral(families[f]), vnameInternLiteral("Adobe"),
                                                vnameInternLiteral(f ? "ansi" : "symbol"), f == 1, devices[d]);
      for (int g = f; g < 4; ++g) {
        vfontFace* face = vfontRegisterFace(family, vnameInternLiteral(faces[g]), devices[d]);
        for (int s = d; s < 5; s += 2) {
          vmatrix m{sizes[s], 0, 0, sizes[s], 0, 0};
          vfontRegisterSize(face, &m, devices[d]);
        }
      }
    }
  vfontSetDefaultSpec("family:Courier-face:medium");
}

bool registered(const vfontFace* face) {
  for (int i = 0, n = vfontCountFamilies(); i < n; ++i) {
    vfontFamily* family = vfontGetFamily(i);
    if (std::find(family->faces.begin(), family->faces.end(), face) != family->faces.end()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static bool built = (build(), true);
  (void)built;
  if (size < 1) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  text = text.c_str();  // up to the first NUL
  if (data[0] & 1) {
    vmatrix m;
    const char* end = vmatrixParse(text.c_str(), &m);
    if (end < text.c_str() || end > text.c_str() + text.size()) std::abort();
    return 0;
  }
  vfont* font = nullptr;
  vexGuard([&] { font = vfontFindScribe(vscribeCString(text.c_str())); },
           [&](vexHandler& h) {
             if (vexGetCurrentException()->cls != &vexArgRangeClass) std::abort();
             vexSetCurrentException(h.savedChain);
           });
  if (!font) return 0;
  if (!registered(font->face) || vfontFindScribe(vscribeCString(text.c_str())) != font) std::abort();
  // Every size has a description text.
  if (!vfontGetSpec(font)) std::abort();
  return 0;
}
