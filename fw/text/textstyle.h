// Text styles: an object with a set of character attributes ("Font",
// "Color", "Bold", "Size" ...) that derives the font they name and tells
// its owner text of every change.
#pragma once
#include <cstdint>

#include "fw/gui/graphics/font.h"
#include "fw/text/txtruler.h"

struct vtext;

enum : std::uint32_t {
  vtextStyleOWNED = 0x1,        // in its text's style list, destroyed with it
  vtextStyleAPPLIED = 0x2,      // applied to a range at least once
  vtextStyleKEPT = 0x4,         // changes are not announced; copied on copy
  vtextStyleOWNS_GRAPHIC = 0x8,
  vtextStyleGRAPHIC = 0x10,     // kept out of a removal of all styles
};

struct vtextStyle : vtextAttributed {
  std::uint32_t flags;
  std::int32_t index;  // in the owner's style list, -1 when in none
  vtext* owner;        // told of every change, or null
};

struct vtextStyleClassRec : vtextAttributedClassRec {
  void (*load)(vtextStyle* self, vresource resource);
  vfont* (*determineFont)(vtextStyle* self);
  void (*prepare)(vtextStyle* self);
};

vtextStyleClassRec* vtextStyleGetDefaultClass();
vtextStyle* vtextStyleCreate();
vtextStyle* vtextStyleClone(vtextStyle* style);
void vtextStyleDestroy(vtextStyle* style);
// A style of the class the resource names, else a vtextStyle read by the
// style loader (which also reads the older flat form).
vtextStyle* vtextStyleCreateFromResource(vresource resource);
inline vfont* vtextStyleGetFont(vtextStyle* style) {
  return vclassRec<vtextStyleClassRec>(style)->determineFont(style);
}
// Puts an attribute through the style's class (object, else the integer).
inline void vtextStyleSetAttribute(vtextStyle* style, vname key, vobject* object, std::intptr_t integer) {
  vclassRec<vtextStyleClassRec>(style)->setAttribute(style, key, object, integer);
}
