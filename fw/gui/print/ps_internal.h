// What the PostScript files share: the module's document state, the
// writers of numbers and text, and the tables the classes bind with.
#pragma once
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/gui/print/ps.h"

namespace vprintps {

struct Module {
  bool documentOpen = false;
  std::uint32_t pages = 0;
  std::vector<vname> documentFonts, pageFonts;  // in the order first used
  bool quiet = false;  // the framework's own resets write nothing
  vprefDict* fontDict = nullptr;  // "printfontdict", read when the classes are built
};
extern Module m;
extern const char kHex[17];  // upper case

// The job the current state is bound to, when it is a PostScript job writing.
vprint* target();
void put(vprint* job, const char* text);
void put(vprint* job, const char* bytes, std::size_t n);
void putInt(vprint* job, std::int32_t v);
void putReal(vprint* job, double v);
void putMatrix(vprint* job, const vmatrix* matrix);

const vdrawDeviceTable* deviceTable();
const vdrawPrimitiveTable* greyTable();
const vdrawPrimitiveTable* colorTable();
const vdrawDriverRecord* driverRecord();

// Runs the framework's own operation without writing (what it calls back
// through the tables is part of it), then answers the job to write to.
template <class F>
vprint* after(F body) {
  bool was = m.quiet;
  m.quiet = true;
  vexGuard(body, [&](vexHandler&) {
    m.quiet = was;
    _vexGenerate(nullptr, vexEnd);
  });
  m.quiet = was;
  return target();
}
inline const vdrawPrimitiveTable& builtin() { return *vdrawGetSelectedPrimitives(); }

// Text (pstext.cpp).
void putString(vprint* job, const char* chars, int length);
void putFontSetting(vprint* job, vfont* font);
void show(const char* chars, int length);
void aWidthShow(double cx, double cy, int c, double ax, double ay, const char* chars, int length);
void xyShow(const char* chars, int length, const float* offsets, int flags);
void charPath(const char* chars, int length);
void setFont(vfont* font);

// Images (psimage.cpp).
void greyImageMatrix(vimage* image, const vmatrix* matrix);
void colorImageMatrix(vimage* image, const vmatrix* matrix);
void greyImage(vimage* image);
void colorImage(vimage* image);
void imageMaskMatrix(vimage* image, const vmatrix* matrix);
void imageMask(vimage* image);
void imageMaskPathMatrix(vimage* image, const vmatrix* matrix);
void imageMaskPath(vimage* image);

}  // namespace vprintps
