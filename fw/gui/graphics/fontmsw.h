// The Windows font device: fills the font registry with the typefaces the
// platform enumerates (one family per typeface, one face per style, one
// size per size a raster face has), makes a native font for a size when it
// is first measured or drawn, and is the font driver all measuring goes
// through.
#pragma once
#include <cstdint>

#include "fw/gui/graphics/font.h"
#include "fw/gui/window/fontsize.h"
#include "platform/win.h"

// A face's word for this device: the first font enumerated for it and the
// (point size, cell height) of every font enumerated, newest first.
struct vfontMSWFaceRecord {
  win::TEXTMETRICA metrics;
  win::LOGFONTA logFont;
  std::uint16_t fontType;
  std::uint16_t scalable;
  vfontMSWSizeOverride* sizes;
};

// A size's word for this device: its native font and what measuring needs
// of it. The width table exists for variable pitch only; the A and A+B
// tables only for a scalable face whose average and widest characters
// differ. Tables run from tmFirstChar to tmLastChar.
struct vfontMSWFontRecord {
  win::HFONT font;
  win::TEXTMETRICA metrics;
  std::int16_t* widths;
  std::int16_t* a;
  std::int16_t* ab;
  vfontMSWMetrics box;  // the same, as the text box reads it
};

// The registration hook's work; does nothing once started.
void vfontMSWStartup();
// The native font of a size, made on first use. *used receives the size
// that carries it: the font itself, or the registered size it maps to.
vfontMSWFontRecord* vfontMSWGetFontRecord(vfont* font, vfont** used);
void vfontMSWGetLogFont(vfont* font, win::LOGFONTA* out);
const win::TEXTMETRICA* vfontMSWGetTextMetrics(vfont* font);
// The registered font for a native description, or null.
vfont* vfontMSWFindLogFont(const win::LOGFONTA* logFont);
bool vfontMSWLogFontMatches(const win::LOGFONTA* a, const win::LOGFONTA* b);
bool vfontMSWLogFontEquals(const win::LOGFONTA* a, const win::LOGFONTA* b);

// This device's index in the registry, -1 before start-up.
int vfontMSWGetDevice();
// The device's face record of a face, or null.
vfontMSWFaceRecord* vfontMSWGetFaceRecord(const vfontFace* face);

// The exit work: every native font deleted, last first, with its tables;
// the device forgotten (tests then forget the registry too).
void _vfontMSWShutdown();
