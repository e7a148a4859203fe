// What the text benchmarks share: the screen font of the Windows font
// device as the default style's font, and texts loaded as the front-end
// loads its listings.
#pragma once
#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/hooks.h"
#include "fw/text/text.h"

namespace textbench {

// DejaVu Sans Mono at 10 points.
inline vfont* start() {
  static vfont* font = nullptr;
  if (font) return font;
  vrstoreInstallInterface();
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  vwindowInstallHooks(&hooks);
  vfontMSWStartup();
  font = vfontFindScribe(vscribeCString("family:DejaVu Sans Mono-size:10"));
  vtextStyle* style = vtextStyleGetDefault();
  vtextRulerPutAttr(vtextStyleGetDefaultClass()->definitions, &style->attributes, vname_Font, font, 0);
  return font;
}

// 80-column numbered lines up to the size.
inline std::string lines(std::size_t bytes) {
  std::string chars;
  for (int i = 0; chars.size() < bytes; ++i) {
    std::string line = std::to_string(i) + ":";
    while (line.size() < 79) line += char('a' + (line.size() * 7 + std::size_t(i)) % 26);
    chars += line + "\n";
  }
  return chars;
}

// 8192-byte runs cut after their last line end, then one recalculation.
inline vtext* load(const std::string& chars) {
  vtext* text = vtextCreate();
  for (std::size_t at = 0; at < chars.size();) {
    std::size_t n = std::min<std::size_t>(8192, chars.size() - at);
    if (at + n < chars.size()) {
      std::size_t cut = chars.rfind('\n', at + n - 1);
      if (cut != std::string::npos && cut >= at) n = cut + 1 - at;
    }
    auto* buffer = static_cast<char*>(vmemAlloc(8192));
    std::memcpy(buffer, chars.data() + at, n);
    _vtextAppendRun(text, buffer, std::int32_t(n), 8192);
    at += n;
  }
  vtextRecalculate(text);
  return text;
}

}  // namespace textbench
