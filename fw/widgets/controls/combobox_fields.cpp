// The combo box's two children: the entry box that shows and takes the
// value, and the choice box that lists the values.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/controls/combobox_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

vcomboboxStandardClassRec* rec(vcomboboxStandard* c) { return vcomboboxClassOf(c); }
int lookId() { return vlafGetCurrent()->id; }
bool has(const vcomboboxStandard* c, std::uint32_t bit) { return (c->comboFlags & bit) != 0; }
void notifyCombo(vcomboboxStandard* c, vevent* e, int code) { rec(c)->notifyCombo(c, e, code); }

// ---- The entry box.

vtextitemClassRec* entrySuper() { return vtextitemGetDefaultClass(); }

// The value size inside the insets and the frame; the measured value
// height already keeps an empty entry a line high.
void entryMinSize(vdialogItem* self, int* w, int* h) {
  vcomboboxStandard* c = _vcomboboxFindStandard(self);
  if (!c) return entrySuper()->minSize(self, w, h);
  vtextviewGetDefaultClass()->minSize(self, w, h);
  auto* e = static_cast<vtextview*>(self);
  *w += e->leftMargin + c->valueWidth;
  *h += e->rightMargin + c->valueHeight;
  if (lookId() == vlafWIN95) *h = std::max(*h, (c->valueHeight * 12 + 7) / 8);
}

void entryNotify(vtextview* view, vevent* e, int reason) {
  vcomboboxStandard* c = _vcomboboxFindStandard(view);
  if (c && has(c, vcomboboxMODIFYABLE)) {
    vcomboboxValueSetText(c->current, vtextitemGetTextScribe(static_cast<vtextitem*>(view)));
    bool focused = c->owner && c->owner->focus >= 0 && vdialogItemListAt(c->owner, c->owner->focus) == c;
    if (reason == 3 && !focused) {
      rec(c)->commit(c, c->current);
      notifyCombo(c, e, vcomboboxCOMMITTING);
      rec(c)->showValue(c, c->current);
      notifyCombo(c, e, vcomboboxSHOWN);
    } else if (reason == 5 && e) {
      int before = rec(c)->getSelectedIndex(c);
      _vcomboboxTypedUpdating(c, c->current);
      if (rec(c)->getSelectedIndex(c) != before) notifyCombo(c, e, vcomboboxSELECTION);
      rec(c)->showValue(c, c->current);
      notifyCombo(c, e, vcomboboxSHOWN);
    }
  }
  entrySuper()->notifyClient(view, e, reason);
}

void entryDrawCaret(vtextview* view, int phase) {
  if (static_cast<vtextitem*>(view)->modifiable) entrySuper()->drawCaret(view, phase);
}

// The whole new text selected; a read-only entry keeps its line height
// with a line feed in place of nothing.
void entrySetTextChars(vtextitem* item, const char* chars) {
  vtext* t = item->text;
  if (!t) return;
  if (!chars) chars = "";
  if (!*chars && !item->modifiable) chars = "\n";
  vtextviewClassOf(item)->changeHighlight(item, 1);
  vtextSelection* work = vtextCreateSelection(t);
  std::int32_t wasModifiable = item->modifiable;
  item->modifiable = 1;  // the text's own guard would refuse a read-only entry
  auto restore = [&] {
    item->modifiable = wasModifiable;
    vtextDestroySelection(t, work);
  };
  vexGuard(
      [&] {
        if (item->selection) vtextSetSelectionRange(t, item->selection, 0, 0);
        vtextSetSelectionRange(t, work, 0, t->length);
        vtextInsertText(t, work, chars, std::int32_t(std::strlen(chars)));
      },
      [&](vexHandler&) {
        restore();
        vtextviewClassOf(item)->changeHighlight(item, 2);
        _vexGenerate(nullptr, vexEnd);
      });
  restore();
  if (item->selection) vtextSetSelectionRange(t, item->selection, 0, t->length);
  if (!item->modifiable && !(item->flags & vdialogItemBORDER)) vdialogInvalItem(item, 0);
  vtextviewClassOf(item)->changeHighlight(item, 2);
}

void frameInColour(vdialogItem* item, const vrect* r, int index) {
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(item, index));
  vdrawRectsFrame(r, 1);
  vdrawGRestore();
}

// Windows: a line in the border colour; CUA: a doubly sunken frame.
void entryDrawBorder(vtextview* view, const vrect* r) {
  int look = lookId();
  if (look == vlafWINDOWS) return frameInColour(view, r, 16);
  if (look != vlafCUA) return entrySuper()->drawBorder(view, r);
  vcolor* dark = vdialogGetItemColor(view, 4);
  vcolor* light = vdialogGetItemColor(view, 6);
  vdrawRectsFrameShaded(r, 1, nullptr, light, dark);
  vrect inner{std::int16_t(r->x + 1), std::int16_t(r->y + 1), std::int16_t(r->width - 2), std::int16_t(r->height - 2)};
  vdrawRectsFrameShaded(&inner, 1, nullptr, dark, light);
}

// ---- The choice box.

vlistitemClassRec* choiceSuper() { return vlistitemGetDefaultClass(); }

vcomboboxValue* cellValue(vlistview* v, std::int32_t row, std::int32_t column) {
  return reinterpret_cast<vcomboboxValue*>(vlistGetCell(v->list, row, column));
}

void choiceDrawCell(vlistview* v, std::int32_t row, std::int32_t column, int, vrect* content) {
  if (vcomboboxValue* value = cellValue(v, row, column)) vcomboboxValueClassOf(value)->draw(value, content);
}

void choiceNaturalSize(vdialogItem* self, int* w, int* h) {
  vcomboboxStandard* c = _vcomboboxFindStandard(self);
  auto* cls = vlistviewClassOf(static_cast<vlistview*>(self));
  int valueCell = c ? 2 * (cls->cellBorder + cls->step) + c->valueWidth : 0;
  // Not yet laid out, the column takes the width of the values.
  vlistsize* size = static_cast<vlistview*>(self)->size;
  if (c && size && size->defaultWidth < 0 && size->constantWidth < 0)
    vlistsizeClassOf(size)->setDefaultWidth(size, valueCell);
  choiceSuper()->naturalSize(self, w, h);
  if (c) {
    *w = valueCell;
    if (lookId() != vlafWINDOWS && static_cast<vlistview*>(self)->vbar) *w -= vlafGetCurrent()->metric;
  }
}

void choiceDrawFrame(vlistview* v, const vrect* r) {
  if (lookId() == vlafWINDOWS) return frameInColour(v, r, 16);
  choiceSuper()->drawFrame(v, r);
}

void choiceNotify(vlistview* v, int code) {
  choiceSuper()->notifyView(v, code);
  vcomboboxStandard* c = _vcomboboxFindStandard(v);
  // The box's own selecting has told its client already.
  if (!c || code != 3 || has(c, vcomboboxUPDATING)) return;
  std::int32_t row = vlistitemGetSelectedRow(static_cast<vlistitem*>(v));
  if (row < 0 || rec(c)->findValue(c, c->current) == row) return;
  rec(c)->selectIndex(c, row);
  notifyCombo(c, nullptr, vcomboboxSELECTION);
}

}  // namespace

vtextitemClassRec* _vcomboboxMakeEntryClass() {
  auto* e = vclassSpawnOf<vtextitemClassRec>(vtextitemGetDefaultClass());
  vclassSetName(e, vscribeLiteral("vcomboboxEntrybox"));
  e->instanceSize = sizeof(vcomboboxEntrybox);
  e->minSize = entryMinSize;
  e->notifyClient = entryNotify;
  e->drawCaret = entryDrawCaret;
  e->unfocus = [](vdialogItem* self) { vtextviewGetDefaultClass()->unfocus(self); };
  e->setTextChars = entrySetTextChars;
  e->drawBorder = entryDrawBorder;
  return e;
}

vlistitemClassRec* _vcomboboxMakeChoiceClass() {
  auto* b = vclassSpawnOf<vlistitemClassRec>(vlistitemGetDefaultClass());
  vclassSetName(b, vscribeLiteral("vcomboboxChoicebox"));
  b->instanceSize = sizeof(vcomboboxChoicebox);
  b->drawCell = choiceDrawCell;
  b->naturalSize = choiceNaturalSize;
  b->drawFrame = choiceDrawFrame;
  b->cellBorder = 0;
  b->step = 3;
  b->notifyView = choiceNotify;
  return b;
}
