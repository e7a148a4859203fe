// String combos: combo boxes whose choices are plain strings held in a
// string list. A list observer keeps the combo box's values in step with
// the list's rows (each value shows its row's string), so the combo box's
// selecting, typing and committing work unchanged; strings order by their
// bytes, and an optional check decides whether typed text that matches no
// choice may stand. The standard combo behaves as a standard combo box,
// the pop-down combo as a pop-down one.
#pragma once
#include <cstdint>

#include "fw/widgets/controls/combobox_popdown.h"

struct vcomboStandard;
// Nonzero accepts a typed string that matches no choice.
using vcomboValidateFunc = int (*)(vcomboStandard* combo, const char* text);

struct vcomboListObserver : vlistObserver {};  // its client word is the combo
struct vcomboListitem : vlistitem {};

struct vcomboStandard : vcomboboxPopdown {
  vcomboValidateFunc validate;
  vcomboListObserver* observer;
};

struct vcomboStandardClassRec : vcomboboxPopdownClassRec {
  void (*appendString)(vcomboStandard* combo, vscribe* text);  // consumed
  int (*compareStrings)(const char* a, const char* b);
  vlistitem* (*createListBox)(vcomboStandard* combo);
  void (*deleteIndex)(vcomboStandard* combo, int index);
  void (*deleteString)(vcomboStandard* combo, vscribe* text);
  int (*findString)(vcomboStandard* combo, vscribe* text);
  std::int16_t defaultRows;  // stored "vcomboListBoxRows" is left out at this count
  void (*showString)(vcomboStandard* combo, vscribe* text);
  void (*commitString)(vcomboStandard* combo, vscribe* text);
  void (*setList)(vcomboStandard* combo, vlist* list);  // null: a new one
  void (*setString)(vcomboStandard* combo, vscribe* text, int index);
  void (*sortStrings)(vcomboStandard* combo);
};

inline vcomboStandardClassRec* vcomboClassOf(const vcomboStandard* c) { return vclassRec<vcomboStandardClassRec>(c); }
vcomboStandardClassRec* vcomboGetDefaultClass();
vcomboStandardClassRec* vcomboPopdownGetDefaultClass();
vcomboStandard* vcomboCreate();
vcomboStandard* vcomboPopdownCreate();
// The start-up row: the combos with the combo-box classes they build on.
void vcomboStartup();

inline vlist* vcomboGetList(const vcomboStandard* c) { return c->choice->list; }
inline void vcomboAppendString(vcomboStandard* c, vscribe* s) { vcomboClassOf(c)->appendString(c, s); }
inline void vcomboDeleteIndex(vcomboStandard* c, int i) { vcomboClassOf(c)->deleteIndex(c, i); }
inline void vcomboDeleteString(vcomboStandard* c, vscribe* s) { vcomboClassOf(c)->deleteString(c, s); }
inline int vcomboFindString(vcomboStandard* c, vscribe* s) { return vcomboClassOf(c)->findString(c, s); }
inline void vcomboShowString(vcomboStandard* c, vscribe* s) { vcomboClassOf(c)->showString(c, s); }
inline void vcomboSelectIndex(vcomboStandard* c, int i) { vcomboboxSelectIndex(c, i); }
inline void vcomboCommitString(vcomboStandard* c, vscribe* s) { vcomboClassOf(c)->commitString(c, s); }
inline void vcomboSetAutoSort(vcomboStandard* c, int on) { vcomboboxSetAutoSort(c, on); }
inline void vcomboSetValidate(vcomboStandard* c, vcomboValidateFunc f) { c->validate = f; }
inline void vcomboSetList(vcomboStandard* c, vlist* l) { vcomboClassOf(c)->setList(c, l); }
inline void vcomboSetModifiable(vcomboStandard* c, int on) { vcomboboxSetModifiable(c, on); }
inline void vcomboSetString(vcomboStandard* c, vscribe* s, int i) { vcomboClassOf(c)->setString(c, s, i); }
inline void vcomboSetVisibleValues(vcomboStandard* c, std::int32_t n) { vcomboboxSetVisibleValues(c, n); }
