// The font registry: families, faces and sizes registered by font devices,
// the textual font description that finds the best registered size, and measuring
// through the installed font driver. A vfont is a size record and stays
// valid for the life of the program.
//
// Fonts (`font.h`): the registry keeps families, faces and sizes in pooled records with standard
// vectors, each with a device mask and a vector of per-device words that every `vfontAllocDevice`
// past the capacity grows; face word lists are shared per face name, size matrices interned in an
// open-addressed set. A description (`fontname.cpp`) parses into terms, filters the face list term
// by term (a term that keeps nothing is ignored, one survivor stops), then by the default
// description's terms, and registers the description's size on the first candidate; the interned
// description text caches the result for good (about 60 ns a cached look-up, `bench/draw.cpp`).
// Sizes sort by `vmatrixCompare`, which has a tolerance and so is no strict order: an insertion
// sort that stays inside the vector does it. A translated size is written as "matrix:", not
// "size:", so its description keeps the translation. Measuring (`fontmeasure.cpp`) goes through the
// seven-slot driver, zero until a font device installs one. The Windows font device (`fontmsw.h`)
// is that driver on this system. `vfontMSWStartup` (`fontmsw.cpp`) is not a hook of its own: the
// window system's start-up, which is the registry's registration hook, calls it in its font step.
// It reads `LOGPIXELSY` once, registers one family per typeface `EnumFontsA` lists (foundry "misc",
// flagged for fixed pitch), one face per font named from its weight, slant, underline, strike-out
// and family bits ("medium italic roman"), one size per raster font; a typeface without bold italic
// gets the missing styles from a table indexed by the style mask of what it has (the platform's
// regular-only "Fixedsys" gets all four faces), each made from a created font's metrics. The stock
// GUI font becomes the family "system_font". Native fonts (`fontmsw_native.cpp`) are made on a
// size's first measuring: a size without this device's bit maps to a whole, uniform size of a
// Windows face (another device's face through "device:N", a fractional size rounded down, a sheared
// one by the unit square's box, never below one point) and its values are scaled by the size's own
// matrix; "system_font" at another size than its own draws with "Arial". The record keeps the
// metrics, the width table (variable pitch), the A and A+B tables (scalable faces whose average and
// widest characters differ) and the same as the `vfontMSWMetrics` that `vfontMSWTextBox` reads, so
// measuring never touches a device context (10,000 characters in about 7 µs, `bench/text.cpp`).
// Sums saturate to 16.16 instead of wrapping. Every native font made is deleted at exit, last
// first. Measuring a new font borrows the window layer's cached display DC; `CreateFontA` goes
// through the window layer's table of creations that can fail (`vwindowMSWGdi.createFont`), three
// attempts with the recovery tag "FONT". Text styles live with the text model in `fw/text` (below);
// only texts and text items use them.
#pragma once
#include <cstdint>
#include <vector>

#include "fw/core/fixed.h"
#include "fw/core/name.h"
#include "fw/core/resource.h"
#include "fw/gui/graphics/matrix.h"
#include "fw/gui/graphics/rect.h"

struct vfontFace;
struct vfont;

using vfontDeviceWord = std::uintptr_t;

enum : std::uint16_t {
  vfontFAMILY_FACES_SORTED = 0x1,
  vfontFAMILY_FLAGGED = 0x2,      // registered with a nonzero flag (fixed pitch)
  vfontFACE_SIZES_SORTED = 0x1,
  vfontUNIFORM = 0x1,             // a plain point size: a == d, no rotation or mirror
  vfontUPRIGHT = 0x2,             // no rotation, shear or negative scale
};

inline constexpr int vfontMAX_DEVICES = 32;

struct vfontFamily {
  vname name, foundry, encoding;
  std::uint16_t flags;
  std::vector<vfontFace*> faces;
  std::uint32_t deviceMask;
  std::vector<vfontDeviceWord> deviceData;
};

struct vfontFace {
  vname name;
  vfontFamily* family;
  const std::vector<vname>* words;  // shared by every face of this name
  std::uint16_t flags;
  std::vector<vfont*> sizes;
  std::uint32_t deviceMask;
  std::vector<vfontDeviceWord> deviceData;
};

struct vfont {
  const vmatrix* matrix;  // interned
  vfontFace* face;
  vname desc;             // filled by the first vfontGetSpec
  std::uint16_t flags;
  std::uint32_t deviceMask;
  std::vector<vfontDeviceWord> deviceData;
};

// Lengths and coordinates are 16.16. Slot 0 is kept but never called.
struct vfontDriver {
  void (*reserved)(vfont* font);
  void (*charWidth)(vfont* font, vfixed* width, vfixed* second);
  void (*bounds)(vfont* font, vrectFixed* out);
  vfixed (*ascent)(vfont* font);
  vfixed (*descent)(vfont* font);
  void (*advance)(vfont* font, const char* chars, int length, vfixed* dx, vfixed* dy);
  void (*charsBounds)(vfont* font, const char* chars, int length, vrectFixed* out);
};

// Registry set-up (font devices).
int vfontAllocDevice();
int vfontCountDevices();
void vfontSetDriver(const vfontDriver* driver);
const vfontDriver* vfontGetDriver();
void vfontSetRegistrationHook(void (*hook)());
vfontFamily* vfontRegisterFamily(vname name, vname foundry, vname encoding, int flag, int device);
vfontFace* vfontRegisterFace(vfontFamily* family, vname name, int device);
vfont* vfontRegisterSize(vfontFace* face, const vmatrix* matrix, int device);
vfont* vfontRegisterFaceSize(vfontFace* face, double points);
void vfontSetFaceDeviceData(vfontFace* face, int device, vfontDeviceWord word);
void vfontSetDeviceData(vfont* font, int device, vfontDeviceWord word);
int vfontCountFamilies();
vfontFamily* vfontGetFamily(int index);  // after a count, in sorted order
int vfontCountFamilyFaces(vfontFamily* family);
int vfontCountFaceSizes(vfontFace* face);
vfont* vfontFindNearestSize(vfontFace* face, const vmatrix* matrix, int device);
void vfontSetDefaultSpec(const char* desc);
// The interned copy of a matrix, shared by every size that has it.
const vmatrix* vfontInternMatrix(const vmatrix* matrix);

// Lookup.
vfont* vfontFindScribe(vscribe* desc);
vfont* vfontFindDerivedScribe(vfont* font, vscribe* modifiers);
vname vfontGetSpec(vfont* font);
vfont* vfontLoad(vresource resource);
void vfontStore(vfont* font, vresource resource);

// Measuring. "Rounded" results are (v + 32768) >> 16.
vfixed vfontGetCharWidth(vfont* font);
void vfontGetBounds(vfont* font, vrect* out);
vfixed vfontGetHeight(vfont* font);
void vfontGetCharsAdvance(vfont* font, const char* chars, int length, int* dx, int* dy);
vfixed vfontGetCharsWidth(vfont* font, const char* chars, int length);
vfixed vfontGetScribeWidth(vfont* font, vscribe* s);
void _vfontScribeAdvance(vfont* font, vscribe* s, vfixed* dx, vfixed* dy);
void vfontGetScribeAdvance(vfont* font, vscribe* s, int* dx, int* dy);
void vfontGetCharsBounds(vfont* font, const char* chars, int length, vrect* out);

// Forgets every registration, the caches and the driver (tests, exit).
void _vfontShutdown();
