// Combo-box values: the entries of a combo box's list, each a string with a
// data word, drawn in a list cell and measured in the owner's font; every
// change is announced to the owner as "ChangeValues" with a clone of the
// value as it was.
//
// - `controls/combobox_value.h`: `vcomboboxValue`, a combo box's entry: an owned string and a data
//   word, drawn 5 pixels into a cell and measured in the owner's font (16 x 16 without one); text
//   and data changes reach the owner's send slot as "ChangeValues" with a clone taken before the
//   change.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/rect.h"
#include "fw/core/scribe.h"

enum : std::uint32_t { vcomboboxValueTEXT_OWNED = 0x1 };

struct vcomboboxValue : vobject {
  std::uint32_t flags;
  vobject* owner;  // the combo box, or null
  char* text;      // "" by default; owned with TEXT_OWNED
  std::intptr_t data;
};

struct vcomboboxValueClassRec : vobjectAttributedClassRec {
  void (*draw)(vcomboboxValue* self, const vrect* cell);
  void (*naturalSize)(vcomboboxValue* self, int* width, int* height);
  void (*setOwner)(vcomboboxValue* self, vobject* owner);
  void (*setData)(vcomboboxValue* self, std::intptr_t data);
  void (*setText)(vcomboboxValue* self, vscribe* text);  // consumed
};

inline vcomboboxValueClassRec* vcomboboxValueClassOf(const vcomboboxValue* v) {
  return vclassRec<vcomboboxValueClassRec>(v);
}
vcomboboxValueClassRec* vcomboboxValueGetDefaultClass();
vcomboboxValue* vcomboboxValueCreate();
inline void vcomboboxValueSetText(vcomboboxValue* v, vscribe* s) { vcomboboxValueClassOf(v)->setText(v, s); }
inline void vcomboboxValueSetData(vcomboboxValue* v, std::intptr_t d) { vcomboboxValueClassOf(v)->setData(v, d); }
inline void vcomboboxValueSetOwner(vcomboboxValue* v, vobject* o) { vcomboboxValueClassOf(v)->setOwner(v, o); }
inline const char* vcomboboxValueGetText(const vcomboboxValue* v) { return v->text; }
