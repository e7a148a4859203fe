// The font chooser's lists: the family, face and size fills under the
// process-wide guard, the update step that enables or disables them, the
// size entry, the lists' and the entry's reactions to the user, the cells
// and the sample area.
//
// - `fontchsr_lists.cpp`: the fills run under a process-wide guard so that the lists' notifications
//   (code 3, only while open) ignore the fills' own selection changes. A fill that has to take row 0
//   (the current family or face is not listed) also takes the face's nearest size, so the record and
//   the lists always agree; the size fill lists an excluded current font and then replaces it with
//   the nearest acceptable row (below first) and drops its row. The update step enables or disables
//   the lists, the entry and the accept hook (cleared: OK and Apply disabled,
//   `vconfirmDISABLE_ON_CLEAR`).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/ex.h"
#include "fw/data/num.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/choosers/fontchsr.h"

int _vfontchsrFilling = 0;

namespace {

struct Guard {
  Guard() { ++_vfontchsrFilling; }
  ~Guard() { --_vfontchsrFilling; }
};

bool isOpen(const vfontchsr* c) { return vwindowIsOpen(c); }
vfontchsrClassRec* rec(const vfontchsr* c) { return vfontchsrClassOf(c); }
vlist* model(vlistitem* l) { return l->list; }
std::int32_t rowCount(vlistitem* l) { return vlistGetRowCount(model(l)); }

void appendRow(vlistitem* l, const void* value) {
  std::int32_t row = rowCount(l);
  vlistSetRowCount(model(l), row + 1);
  vlistSetCell(model(l), row, 0, reinterpret_cast<vlistCell>(value));
}
void emptyList(vlistitem* l) {
  if (vlistGetColumnCount(model(l)) != 1) vlistSetColumnCount(model(l), 1);
  vlistSetRowCount(model(l), 0);
}
void enable(vdialogItem* item, bool on) {
  if (!item || vdialogItemIsEnabled(item) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}
void scrollToSelection(vfontchsr* c, vlistitem* l) {
  if (isOpen(c) && l) vlistviewScrollToSelection(l);
}

bool sameMatrix(const vmatrix* a, const vmatrix* b) {
  return a == b || (a->a == b->a && a->b == b->b && a->c == b->c && a->d == b->d && a->tx == b->tx && a->ty == b->ty);
}

// The face's size nearest to the current size's plain scale; a face
// without sizes gets 12 points first.
void takeNearestSize(vfontchsr* c, vfontFace* face) {
  if (vfontCountFaceSizes(face) == 0) vfontRegisterFaceSize(face, 12.0);
  float s = float(c->size);
  vmatrix m{s, 0, 0, s, 0, 0};
  vfont* font = vfontFindNearestSize(face, &m, -1);
  if (!font) return;
  c->font = font;
  c->face = font->face;
  c->family = font->face->family;
  c->size = font->matrix->d;
}

vfontchsr* chooserOf(const void* item) {
  auto* i = static_cast<const vdialogItem*>(item);
  if (!i || !i->data) return nullptr;
  auto* o = reinterpret_cast<vinstance*>(i->data);
  return vclassIsSubclass(o->cls, vfontchsrGetDefaultClass()) ? static_cast<vfontchsr*>(o) : nullptr;
}

// ---- Reactions.
std::int32_t changedRow(vinstance* view, int code, vfontchsr** out) {
  if (code != 3 || _vfontchsrFilling) return -1;
  auto* l = static_cast<vlistitem*>(view);
  *out = chooserOf(l);
  return *out ? vlistitemGetSelectedRow(l) : -1;
}

void familyChosen(vinstance* view, int code) {
  vfontchsr* c = nullptr;
  std::int32_t row = changedRow(view, code, &c);
  if (row < 0 || row == c->familyRow) return;
  auto* family = static_cast<vfontFamily*>(_vfontchsrRowValue(c->familyList, row));
  if (!family || vfontCountFamilyFaces(family) == 0) return;
  c->familyRow = row;
  c->family = family;
  vfontFace* face = family->faces.front();
  for (vfontFace* f : family->faces)
    if (c->face && std::strcmp(f->name, c->face->name) == 0) {
      face = f;
      break;
    }
  c->face = face;
  takeNearestSize(c, face);
  _vfontchsrFillFaces(c);
  _vfontchsrFillSizes(c);
  _vfontchsrUpdateEntry(c);
  _vfontchsrRedrawSample(c);
}

void faceChosen(vinstance* view, int code) {
  vfontchsr* c = nullptr;
  std::int32_t row = changedRow(view, code, &c);
  if (row < 0 || row == c->faceRow) return;
  auto* face = static_cast<vfontFace*>(_vfontchsrRowValue(c->faceList, row));
  if (!face) return;
  c->faceRow = row;
  c->face = face;
  takeNearestSize(c, face);
  _vfontchsrFillSizes(c);
  _vfontchsrUpdateEntry(c);
  _vfontchsrRedrawSample(c);
}

void sizeChosen(vinstance* view, int code) {
  vfontchsr* c = nullptr;
  std::int32_t row = changedRow(view, code, &c);
  if (row < 0 || row == c->sizeRow) return;
  auto* font = static_cast<vfont*>(_vfontchsrRowValue(c->sizeList, row));
  if (!font) return;
  c->sizeRow = row;
  c->font = font;
  c->size = font->matrix->d;
  _vfontchsrUpdateEntry(c);
  _vfontchsrRedrawSample(c);
}

void entryNotify(vtextview* view, vevent*, int reason) {
  if (reason != 3) return;
  if (vfontchsr* c = chooserOf(view)) _vfontchsrCommitEntry(c);
}

// ---- Cells.
const char* familyName(const vfontFamily* f) { return f->name && *f->name ? f->name : f->foundry ? f->foundry : ""; }
const char* familyText(vlist* list, std::int32_t row, std::int32_t column) {
  static char buffer[64];
  auto* f = reinterpret_cast<const vfontFamily*>(vlistGetCell(list, row, column));
  if (!f) return "";
  std::snprintf(buffer, sizeof buffer, "%s %s", familyName(f), f->encoding ? f->encoding : "");
  return buffer;
}
const char* faceText(vlist* list, std::int32_t row, std::int32_t column) {
  auto* f = reinterpret_cast<const vfontFace*>(vlistGetCell(list, row, column));
  return f && f->name ? f->name : "";
}
const char* sizeText(vlist* list, std::int32_t row, std::int32_t column) {
  static char buffer[64];
  auto* f = reinterpret_cast<const vfont*>(vlistGetCell(list, row, column));
  if (!f) return "";
  std::snprintf(buffer, sizeof buffer, "%s", _vfontchsrSizeText(f->matrix->d).c_str());
  return buffer;
}

int widthOf(vfont* font, const char* s) {
  return font ? int((std::int64_t(vfontGetCharsWidth(font, s, int(std::strlen(s)))) + 0x8000) >> 16) : 0;
}
// Text 5 in from the cell's left, centred vertically; the x after it.
int drawAt(const char* s, const vrect* cell, int x, vfont* font) {
  vrect r{std::int16_t(x), cell->y, std::int16_t(std::max(0, cell->x + cell->width - x)), cell->height};
  if (font) vdrawSetFont(font);
  vdrawCharsAt(s, int(std::strlen(s)), &r, 2);
  return x + widthOf(font, s);
}

void drawFamily(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  auto* f = reinterpret_cast<vfontFamily*>(vlistGetCell(view->list, row, column));
  if (!f) return;
  vdrawGSave();
  vfont* font = vdialogDetermineItemFont(view);
  int x = drawAt(familyName(f), content, content->x + 5, font);
  if (f->encoding && *f->encoding) {
    vfont* italic = font ? vfontFindDerivedScribe(
                               font, vscribeLiteral("face:oblique-face:italic-~face:bold oblique-~face:bold italic"))
                         : nullptr;
    drawAt(f->encoding, content, x + 10, italic ? italic : font);
  }
  vdrawGRestore();
}
void drawFace(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  const char* s = faceText(view->list, row, column);
  vdrawGSave();
  drawAt(s, content, content->x + 5, vdialogDetermineItemFont(view));
  vdrawGRestore();
}
void drawSize(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  auto* f = reinterpret_cast<const vfont*>(vlistGetCell(view->list, row, column));
  if (!f) return;
  std::string s = _vfontchsrSizeText(f->matrix->d);
  vdrawGSave();
  drawAt(s.c_str(), content, content->x + 5, vdialogDetermineItemFont(view));
  vdrawGRestore();
}

void wire(vlistitem* l, vlistviewNotifyFunction notify, vlistviewCellDrawer draw, vlistTextGetterFunc text) {
  if (!l) return;
  vlistitemSetAutoWidth(l, 0);  // the cells hold records, not strings
  emptyList(l);
  vlistviewSetNotify(l, notify);
  vlistSetSelectionMode(model(l), l->selection, vlistONE_ONLY_SELECTION);
  vlistSetSelectionAtLeastOne(model(l), l->selection, 1);
  vlistviewSetCellDrawer(l, draw);
  model(l)->textGetter = text;
}

}  // namespace

void* _vfontchsrRowValue(vlistitem* list, std::int32_t row) {
  if (!list || row < 0 || row >= rowCount(list)) return nullptr;
  return reinterpret_cast<void*>(vlistGetCell(model(list), row, 0));
}

void _vfontchsrSelectRow(vlistitem* list, std::int32_t row, int on) {
  if (!list || row < 0 || row >= rowCount(list)) return;
  if (on) vlistSelectRange(model(list), list->selection, row, 0, 1, 1);
  else vlistUnselectRange(model(list), list->selection, row, 0, 1, 1);
}

std::string _vfontchsrSizeText(double points) {
  char buffer[64];
  vscribeGetCStringBounded(vnumScribeFloat(points, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 1, 6),
                           buffer, sizeof buffer);
  return buffer;
}

void _vfontchsrWireLists(vfontchsr* c) {
  wire(c->familyList, familyChosen, drawFamily, familyText);
  wire(c->faceList, faceChosen, drawFace, faceText);
  wire(c->sizeList, sizeChosen, drawSize, sizeText);
  if (c->sizeEntry) c->sizeEntry->notify = entryNotify;
}

void _vfontchsrFillFamilies(vfontchsr* c, int force) {
  if (!force && !(c->options & vfontchsrFILTER_FAMILY)) return _vfontchsrUpdate(c, 0);
  vlistitem* l = c->familyList;
  vfontFamily* before = c->family;
  {
    Guard guard;
    int n = vfontCountFamilies();
    emptyList(l);
    c->familyRow = -1;
    for (int i = 0; i < n; ++i) {
      vfontFamily* f = vfontGetFamily(i);
      if ((c->options & vfontchsrFILTER_FAMILY) && !rec(c)->filterFamily(c, f)) continue;
      appendRow(l, f);
      std::int32_t row = rowCount(l) - 1;
      bool current = f == c->family && c->familyRow < 0;
      _vfontchsrSelectRow(l, row, current);
      if (current) c->familyRow = row;
    }
    if (c->familyRow < 0 && rowCount(l) > 0) {
      c->familyRow = 0;
      c->family = static_cast<vfontFamily*>(_vfontchsrRowValue(l, 0));
      _vfontchsrSelectRow(l, 0, 1);
    }
  }
  // A family taken over from the list needs its faces and sizes shown.
  _vfontchsrUpdate(c, force || c->family != before);
}

void _vfontchsrUpdate(vfontchsr* c, int force) {
  vdialogItem* lists[] = {c->familyList, c->faceList, c->sizeList, c->sizeEntry};
  if (rowCount(c->familyList) == 0 || c->familyRow < 0) {
    for (vdialogItem* i : lists) enable(i, false);
    vconfirmSetApply(c, nullptr);
    _vfontchsrRedrawSample(c);
    return;
  }
  bool wasEnabled = vdialogItemIsEnabled(c->familyList);
  if (!wasEnabled)
    for (vdialogItem* i : lists) enable(i, true);
  if (!wasEnabled || force) {
    _vfontchsrFillFaces(c);
    _vfontchsrFillSizes(c);
    _vfontchsrUpdateEntry(c);
  }
  if (!wasEnabled) {
    if (c->apply) vconfirmSetApply(c, _vfontchsrAccept);
    _vfontchsrRedrawSample(c);
  }
}

void _vfontchsrFillFaces(vfontchsr* c) {
  vlistitem* l = c->faceList;
  {
    Guard guard;
    emptyList(l);
    c->faceRow = -1;
    if (c->family) {
      vfontCountFamilyFaces(c->family);
      for (vfontFace* f : c->family->faces) {
        if ((c->options & vfontchsrFILTER_FACE) && !rec(c)->filterFace(c, f)) continue;
        appendRow(l, f);
        std::int32_t row = rowCount(l) - 1;
        bool current = f == c->face && c->faceRow < 0;
        _vfontchsrSelectRow(l, row, current);
        if (current) c->faceRow = row;
      }
    }
    if (c->faceRow < 0 && rowCount(l) > 0) {
      c->faceRow = 0;
      c->face = static_cast<vfontFace*>(_vfontchsrRowValue(l, 0));
      _vfontchsrSelectRow(l, 0, 1);
    }
    // A face taken over from the list needs a size of its own.
    if (c->face && c->font && c->font->face != c->face) takeNearestSize(c, c->face);
    enable(l, c->faceRow >= 0);
  }
  scrollToSelection(c, l);
}

bool _vfontchsrSizeAcceptable(vfontchsr* c, vfont* size) {
  if ((c->plainSizesOnly & 1) && !(size->flags & vfontUNIFORM)) return false;
  return !(c->options & vfontchsrFILTER_SIZE) || rec(c)->filterSize(c, size);
}

std::int32_t _vfontchsrNearestAcceptableRow(vfontchsr* c, std::int32_t from) {
  std::int32_t n = rowCount(c->sizeList);
  auto ok = [&](std::int32_t r) {
    auto* f = static_cast<vfont*>(_vfontchsrRowValue(c->sizeList, r));
    return f && _vfontchsrSizeAcceptable(c, f);
  };
  for (std::int32_t r = from + 1; r < n; ++r)
    if (ok(r)) return r;
  for (std::int32_t r = from - 1; r >= 0; --r)
    if (ok(r)) return r;
  return -1;
}

void _vfontchsrFillSizes(vfontchsr* c) {
  vlistitem* l = c->sizeList;
  {
    Guard guard;
    emptyList(l);
    c->sizeRow = -1;
    bool excluded = false;
    if (c->face) {
      vfontCountFaceSizes(c->face);
      for (vfont* f : c->face->sizes) {
        bool ok = _vfontchsrSizeAcceptable(c, f);
        if (!ok && f != c->font) continue;
        if (!ok) excluded = true;
        if (!(f->matrix->d > 0)) continue;
        appendRow(l, f);
        std::int32_t row = rowCount(l) - 1;
        bool current = c->sizeRow < 0 && float(f->matrix->d) == float(c->size) && c->font &&
                       sameMatrix(f->matrix, c->font->matrix);
        _vfontchsrSelectRow(l, row, current);
        if (current) c->sizeRow = row;
      }
    }
    if (excluded && rowCount(l) > 1) {
      std::int32_t found = _vfontchsrNearestAcceptableRow(c, c->sizeRow);
      auto* font = static_cast<vfont*>(_vfontchsrRowValue(l, found));
      if (font && font != c->font) {
        if (c->sizeRow >= 0) {
          _vfontchsrSelectRow(l, c->sizeRow, 0);
          vlistClassOf(model(l))->deleteOne(model(l), c->sizeRow, vlistROWS);
          if (found > c->sizeRow) --found;
        }
        c->font = font;
        c->size = font->matrix->d;
        c->sizeRow = found;
        _vfontchsrSelectRow(l, found, 1);
        _vfontchsrRedrawSample(c);
      }
    }
    enable(l, rowCount(l) > 0);
  }
  scrollToSelection(c, l);
}

void _vfontchsrUpdateEntry(vfontchsr* c) {
  vtextitem* e = c->sizeEntry;
  if (!e) return;
  if (!(c->options & vfontchsrSIZE_ENTRY)) {
    vtextitemSetTextChars(e, "");
    enable(e, false);
    return;
  }
  vtextitemSetTextChars(e, _vfontchsrSizeText(c->size).c_str());
  enable(e, true);
}

void _vfontchsrCommitEntry(vfontchsr* c) {
  if (!c->sizeEntry || !c->face) return;
  double value = 0;
  if (!vexTry([&] { value = vtextitemGetFloat(c->sizeEntry); }) || !(value > 0) || value == c->size) return;
  vfont* font = vfontRegisterFaceSize(c->face, value);
  if (!font || ((c->options & vfontchsrFILTER_SIZE) && !rec(c)->filterSize(c, font))) return;
  c->font = font;
  c->size = font->matrix->d;
  _vfontchsrFillSizes(c);
  _vfontchsrUpdateEntry(c);
  _vfontchsrRedrawSample(c);
}

void _vfontchsrRedrawSample(vfontchsr* c) {
  if (c->display && (c->display->flags & vdialogItemOPEN)) vdialogInvalItem(c->display, 0);
}

// ---- The sample area.
namespace {
void displayDraw(vdialogItem* item) {
  vdrawGSave();
  vdrawSetLineWidth(1.0);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  vdrawRectsFrame(&item->rect, 1);
  vfontchsr* c = chooserOf(item);
  if (c && c->font && c->familyList && c->sizeList && vdialogItemIsEnabled(c->familyList) &&
      vdialogItemIsEnabled(c->sizeList)) {
    vdrawSetFont(c->font);
    vrect r;
    vrectInset(&item->rect, 5, 5, &r);
    vdrawClipRects(&r, 1);
    vrect box{};
    vfontGetBounds(c->font, &box);
    int h = box.height, top = r.y + r.height;
    int baseline = std::min(r.y + r.height / 2 + h / 2, top - 10);
    for (int i = 0; i < 3; ++i) {
      const std::string& line = _vfontchsrSampleLine(i);
      int advance = widthOf(c->font, line.c_str());
      vdrawPathMoveTo(r.x + r.width / 2 - advance / 2, baseline - i * h);
      vdrawGetPrimitives()->Show(line.c_str(), int(line.size()));
    }
  }
  vdrawGRestore();
}
}  // namespace

vdialogItemClassRec* _vfontchsrBuildDisplayClass() {
  auto* cls = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  cls->draw = displayDraw;
  vclassSetName(cls, vscribeLiteral("vfontchsrDisplayItem"));
  return cls;
}
