// Text styles: an object with a set of text attributes ("Font", "Color",
// "Bold", "Size" ...) that derives the font they name. The attribute set is
// kept here until the text module brings its own.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/gui/graphics/font.h"

struct vtextStyle : vobject {
  vdict* attributes;  // interned name -> pointer-sized value
  std::uint32_t flags;
  void* owner;        // the text told of every change, or null
  std::int32_t index;
};

enum : std::uint32_t {
  vtextStyleKEPT = 0x4,         // copied from the source on copy
  vtextStyleOWNS_GRAPHIC = 0x8,
};

// Attribute kinds of the class's table.
enum : int {
  vtextStyleFONT = 1, vtextStyleCOLOR = 2, vtextStyleINTEGER = 3, vtextStyleSWITCH = 4,
  vtextStyleGRAPHIC = 7, vtextStyleDATA = 8,
};

struct vtextStyleClassRec : vobjectClassRec {
  void (*load)(vtextStyle* self, vresource resource);
  void (*putAttribute)(vtextStyle* self, vname key, std::uintptr_t value);
  vfont* (*determineFont)(vtextStyle* self);
  void (*reserved)(vtextStyle* self);
};

vtextStyleClassRec* vtextStyleGetDefaultClass();
vtextStyle* vtextStyleCreate();
vtextStyle* vtextStyleClone(vtextStyle* style);
void vtextStyleDestroy(vtextStyle* style);
// The kind of an attribute name, 0 for a name the table does not list.
int vtextStyleAttributeKind(vname key);

// The attribute set's calls (the text module's names).
std::uintptr_t vtextRulerFindAttr(vdict* set, vname key);          // 0 when absent
std::uintptr_t _vtextRulerLookupAttr(vdict* set, vname key);       // 0x80000000 when absent
// Stores value (default when value is 0) under key; a key the class's
// table does not list raises Arg.
void vtextRulerPutAttr(int (*kindOf)(vname), vdict* set, vname key, std::uintptr_t value, std::uintptr_t dflt);

// How a style tells its owner text of a change; the text module installs it.
void vtextStyleSetNotifier(void (*notify)(void* text, vtextStyle* style));
