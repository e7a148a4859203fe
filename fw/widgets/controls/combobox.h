// Combo boxes: an entry field and a list of values in one container that
// share a current value. Choosing a row fills the entry; typing or
// committing in the entry finds, selects or adds a value by the box's
// modes; the arrow and paging keys move through the list. Every change of
// the values is announced, and the announcement keeps the measured value
// size and the sort order current.
//
// - `controls/combobox.h`: `vcomboboxStandard`, a container holding an entry (`vcomboboxEntrybox`, a
//   one-line text item) and a choice list (`vcomboboxChoicebox`, a list item whose cells hold the
//   value objects themselves, not strings) over one owning value list. Commit, position and typing
//   modes (7: by look) decide what typing and Return select or add; every change of the values is
//   announced ("AppendValues", "ChangeValues", "DeleteValues") and the box's own send slot keeps the
//   measured value size and, under `AutoSort`, the order (an in-place merge sort through the move
//   slot, so the list's rows follow). The stored form needs all four of its keys; the children,
//   private values and value list exist before the first read, so a failed load destroys cleanly.
//   Copies re-own the values (owner word and row). The entry's own set-text selects the whole new
//   text and keeps a read-only empty entry a line high with a line feed. A subclass may keep a child
//   outside the box: storing and copying put back only what was in it.
#pragma once
#include <cstdint>

#include "fw/widgets/controls/combobox_value.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/objlist.h"

struct vcomboboxStandard;
using vcomboboxNotifyFunc = void (*)(vcomboboxStandard* combo, vevent* event, int code);

enum : std::uint32_t {
  vcomboboxMODIFYABLE = 0x0001,
  vcomboboxUPDATING = 0x0002,
  vcomboboxCYCLIC = 0x0004,
  vcomboboxAUTO_SORT = 0x0008,
  vcomboboxNEW_FLAGS = 0x77701,
};
// Modes of committing, positioning the list and typing; 7 lets the look choose.
enum : int { vcomboboxMODE_BY_LOOK = 7 };
// Notification codes: a change shown, a commit about to be shown, the selected row changed.
enum : int { vcomboboxSHOWN = 1, vcomboboxCOMMITTING = 2, vcomboboxSELECTION = 3 };

struct vcomboboxEntrybox : vtextitem {};
struct vcomboboxChoicebox : vlistitem {};

struct vcomboboxStandard : vcontainer {
  std::uint32_t comboFlags;
  vobjectList* values;
  vcomboboxNotifyFunc notify;
  std::int32_t visibleValues;
  vcomboboxValue* committed;  // private copies
  vcomboboxValue* current;
  vcomboboxEntrybox* entry;
  vcomboboxChoicebox* choice;
  std::int32_t valueWidth, valueHeight;
};

struct vcomboboxStandardClassRec : vcontainerClassRec {
  void (*commit)(vcomboboxStandard* c, vcomboboxValue* value);
  void (*appendValue)(vcomboboxStandard* c, vcomboboxValue* value);
  int (*compareValues)(vcomboboxStandard* c, vcomboboxValue* a, vcomboboxValue* b);
  vcomboboxChoicebox* (*createChoicebox)(vcomboboxStandard* c);
  vcomboboxEntrybox* (*createEntrybox)(vcomboboxStandard* c);
  vcomboboxValue* (*createValue)(vcomboboxStandard* c);
  void (*deleteValue)(vcomboboxStandard* c, int index);
  void (*findNeighbours)(vcomboboxStandard* c, vcomboboxValue* value, int* above, int* below);
  int (*findValue)(vcomboboxStandard* c, vcomboboxValue* value);
  int (*findPrefix)(vcomboboxStandard* c, vcomboboxValue* value);
  int (*lookGap)(vcomboboxStandard* c);
  int (*getSelectedIndex)(vcomboboxStandard* c);
  vcomboboxValue* (*getValue)(vcomboboxStandard* c);
  void (*measureValues)(vcomboboxStandard* c, int* width, int* height);
  int (*prefixTest)(vcomboboxStandard* c, vcomboboxValue* a, vcomboboxValue* b);
  void (*moveValue)(vcomboboxStandard* c, int from, int to);
  void (*notifyCombo)(vcomboboxStandard* c, vevent* event, int code);
  void (*showIndex)(vcomboboxStandard* c, int index);
  void (*showValue)(vcomboboxStandard* c, vcomboboxValue* value);
  void (*typed)(vcomboboxStandard* c, vcomboboxValue* value);
  void (*selectIndex)(vcomboboxStandard* c, int index);
  void (*setAutoSort)(vcomboboxStandard* c, int on);
  void (*setModifiable)(vcomboboxStandard* c, int on);
  void (*setCyclic)(vcomboboxStandard* c, int on);
  void (*setValue)(vcomboboxStandard* c, vcomboboxValue* value);
  void (*replaceValue)(vcomboboxStandard* c, vcomboboxValue* value, int index);
  void (*setVisibleValues)(vcomboboxStandard* c, std::int32_t n);
  void (*sort)(vcomboboxStandard* c);
  // The choice list's row shows the value (a new last row at the count).
  void (*choiceSetRow)(vcomboboxStandard* c, vcomboboxValue* value, int row);
};

inline vcomboboxStandardClassRec* vcomboboxClassOf(const vcomboboxStandard* c) {
  return vclassRec<vcomboboxStandardClassRec>(c);
}
vcomboboxStandardClassRec* vcomboboxGetDefaultClass();
vtextitemClassRec* vcomboboxGetEntryboxClass();
vlistitemClassRec* vcomboboxGetChoiceboxClass();
vcomboboxStandard* vcomboboxCreate();
// The start-up row: the combo-box classes, the value class and the pop-down classes.
void vcomboboxStartup();
// The combo box that owns an item: its parent, or the data word of a dialog parent; else null.
vcomboboxStandard* _vcomboboxFindStandard(vdialogItem* item);
// A choice list's settings from the box: its visible rows, wrapping, the
// scroll bar shown when needed (in the Windows look sharing the frame by
// the margin given), neither focusable nor focused by a click.
void _vcomboboxPrepareChoiceList(vcomboboxStandard* c, vlistitem* list, int windowsMargin);
// 5 in the Windows look for a modifiable box, else 0.
int _vcomboboxGetLookOffset(vcomboboxStandard* c);

inline int vcomboboxCount(const vcomboboxStandard* c) { return vobjectListCount(c->values); }
inline vcomboboxValue* vcomboboxAt(const vcomboboxStandard* c, int i) {
  return static_cast<vcomboboxValue*>(vobjectListAt(c->values, i));
}
inline void vcomboboxCommit(vcomboboxStandard* c, vcomboboxValue* v) { vcomboboxClassOf(c)->commit(c, v); }
inline void vcomboboxAppendValue(vcomboboxStandard* c, vcomboboxValue* v) { vcomboboxClassOf(c)->appendValue(c, v); }
inline void vcomboboxDeleteValue(vcomboboxStandard* c, int i) { vcomboboxClassOf(c)->deleteValue(c, i); }
inline void vcomboboxReplaceValue(vcomboboxStandard* c, vcomboboxValue* v, int i) {
  vcomboboxClassOf(c)->replaceValue(c, v, i);
}
inline void vcomboboxMoveValue(vcomboboxStandard* c, int from, int to) { vcomboboxClassOf(c)->moveValue(c, from, to); }
inline int vcomboboxFindValue(vcomboboxStandard* c, vcomboboxValue* v) { return vcomboboxClassOf(c)->findValue(c, v); }
inline int vcomboboxFindPrefix(vcomboboxStandard* c, vcomboboxValue* v) { return vcomboboxClassOf(c)->findPrefix(c, v); }
inline int vcomboboxGetSelectedIndex(vcomboboxStandard* c) { return vcomboboxClassOf(c)->getSelectedIndex(c); }
inline vcomboboxValue* vcomboboxGetValue(vcomboboxStandard* c) { return vcomboboxClassOf(c)->getValue(c); }
inline void vcomboboxSelectIndex(vcomboboxStandard* c, int i) { vcomboboxClassOf(c)->selectIndex(c, i); }
inline void vcomboboxSetValue(vcomboboxStandard* c, vcomboboxValue* v) { vcomboboxClassOf(c)->setValue(c, v); }
inline void vcomboboxTyped(vcomboboxStandard* c, vcomboboxValue* v) { vcomboboxClassOf(c)->typed(c, v); }
inline void vcomboboxShowValue(vcomboboxStandard* c, vcomboboxValue* v) { vcomboboxClassOf(c)->showValue(c, v); }
inline void vcomboboxShowIndex(vcomboboxStandard* c, int i) { vcomboboxClassOf(c)->showIndex(c, i); }
inline void vcomboboxSort(vcomboboxStandard* c) { vcomboboxClassOf(c)->sort(c); }
inline void vcomboboxSetAutoSort(vcomboboxStandard* c, int on) { vcomboboxClassOf(c)->setAutoSort(c, on); }
inline void vcomboboxSetModifiable(vcomboboxStandard* c, int on) { vcomboboxClassOf(c)->setModifiable(c, on); }
inline void vcomboboxSetCyclic(vcomboboxStandard* c, int on) { vcomboboxClassOf(c)->setCyclic(c, on); }
inline void vcomboboxSetVisibleValues(vcomboboxStandard* c, std::int32_t n) {
  vcomboboxClassOf(c)->setVisibleValues(c, n);
}
inline void vcomboboxSetNotify(vcomboboxStandard* c, vcomboboxNotifyFunc f) { c->notify = f; }
inline void vcomboboxSetCommitMode(vcomboboxStandard* c, int m) {
  c->comboFlags = (c->comboFlags & ~0x0F00u) | (std::uint32_t(m & 0xF) << 8);
}
inline void vcomboboxSetPositionMode(vcomboboxStandard* c, int m) {
  c->comboFlags = (c->comboFlags & ~0xF000u) | (std::uint32_t(m & 0xF) << 12);
}
inline void vcomboboxSetTypingMode(vcomboboxStandard* c, int m) {
  c->comboFlags = (c->comboFlags & ~0xF0000u) | (std::uint32_t(m & 0xF) << 16);
}
