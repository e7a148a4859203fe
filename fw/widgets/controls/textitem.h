// Text items: the dialog's text field, a text view that owns its text and
// adds three modes (modifiable, selectable, one-line), keeps the text's
// right indent and font in step with the item, refuses editing commands by
// mode, turns Return into a notification in one-line fields and reads its
// text as a string, an integer or a number.
//
// - `controls/textitem.h`: `vtextitem`, the dialog's text field: a text view that owns its text (the
//   text's owner word points back to the item) and adds the modifiable, selectable and one-line
//   words ("Modifyable", "Selectable", "OneLine" in the resource form). Its text class
//   `vtextitemText` refuses insertions and deletions while the item is read only (the item's own
//   setters switch it on for the replacement) and, when the text prepares its default ruler or
//   current style before a layout, puts the derived "RightIndent" (the item's width less the insets)
//   and "Font" (the item's font) into those marked `vtextitemMANAGED` (0x100: the text's own ruler
//   flag 0x4 already means "changed"); store drops both. Selectors are refused by mode, Tab is left
//   to the dialog, Return in a one-line modifiable field notifies 3 and a paste into a one-line
//   field leaves out one line end (LF or CR LF) that ends the pasted text; a read-only item without a
//   border or bars draws no background (the text view's background and border are class slots), an
//   unselectable one no caret and no input-method room (the text view's input rectangle slot); Open
//   Look frames one-line items with a line along the lower edge; in the Windows look a read-only
//   item without a border draws with its class's default colours put aside.
#pragma once
#include <cstdint>

#include "fw/widgets/textview/textview.h"

struct vtextitem : vtextview {
  std::int32_t modifiable;  // "Modifyable"
  std::int32_t selectable;  // "Selectable"
  std::int32_t oneLine;     // "OneLine"
};

struct vtextitemClassRec : vtextviewClassRec {
  void (*setTextChars)(vtextitem* item, const char* chars);  // null: empty
  void (*setTextScribe)(vtextitem* item, vscribe* scribe);   // consumed
  vtext* (*createText)(vtextitem* item);
};

// The ruler or style whose derived attributes ("RightIndent", "Font") the
// item keeps and drops before storing.
inline constexpr std::uint32_t vtextitemMANAGED = 0x100;

inline vtextitemClassRec* vtextitemClassOf(const vtextitem* i) { return vclassRec<vtextitemClassRec>(i); }
vtextitemClassRec* vtextitemGetDefaultClass();
vtextClassRec* vtextitemGetTextClass();
vtextitem* vtextitemCreate();
void vtextitemStartup();

inline void vtextitemSetTextChars(vtextitem* i, const char* chars) { vtextitemClassOf(i)->setTextChars(i, chars); }
inline void vtextitemSetTextScribe(vtextitem* i, vscribe* s) { vtextitemClassOf(i)->setTextScribe(i, s); }
void vtextitemSetModifiable(vtextitem* item, int on);
void vtextitemSetSelectable(vtextitem* item, int on);
void vtextitemSetOneLine(vtextitem* item, int on);
// No border, vertical inset 3, option bit 0x0002, neither selectable nor modifiable.
void vtextitemMakeStatic(vtextitem* item);
void vtextitemSetWrap(vtextitem* item, int on);
int vtextitemGetWrap(vtextitem* item);
void vtextitemSetJustification(vtextitem* item, int justification);
int vtextitemGetJustification(vtextitem* item);

// At most size - 1 characters from the start, NUL-terminated; the count.
std::int32_t vtextitemCopyText(vtextitem* item, char* buffer, std::int32_t size);
// The whole text, NUL-terminated, allocated (vmemFree).
char* vtextitemGetString(vtextitem* item);
vscribe* vtextitemGetTextScribe(vtextitem* item);
// "Num/Syntax" "Extra text after integer." / "... float." for anything but
// white space after the number.
std::int32_t vtextitemGetInteger(vtextitem* item);
double vtextitemGetFloat(vtextitem* item);
