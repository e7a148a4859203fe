// Drawing the view: the frame, the visible lines with their styles and the
// selection highlight, the caret; scrolling and the observer of the text.
#include <algorithm>
#include <string>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/text/graphic.h"
#include "fw/text/txtruler.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/textview/textview_internal.h"
#include "fw/widgets/textview/viewinput.h"

namespace {

vtextview* asView(vinstance* o) { return static_cast<vtextview*>(o); }
vtextviewClassRec* cls(vtextview* v) { return vtextviewClassOf(v); }
int lookId() { return vlafGetCurrent()->id; }

// The text area with the column left of it, where an edge caret is drawn.
void invalTextArea(vtextview* v) {
  vrect a = *vtextviewGetTextArea(v);
  a.x = std::int16_t(a.x - 1);
  a.width = std::int16_t(a.width + 1);
  vdialogItemClassOf(v)->invalRect(v, &a, 0);
}

std::uint32_t phaseBits(int phase) { return std::uint32_t(phase & 0xFF) << 16; }

// The rectangle of the rows from the first visible line: its top edge is
// the text area's top, each row as high as its line. Rows know their
// block: the text's own look-ups walk the blocks from the first each time.
struct Row {
  std::int32_t line;
  int bottom, height, descent;
  vtextBlock* block;
  std::int32_t index;  // of the line in its block
};

template <class F>
void forEachRow(vtextview* v, F f) {
  if (!v->text) return;
  const vrect a = *vtextviewGetTextArea(v);
  int top = a.y + a.height;
  std::int32_t line = v->scrollY;
  vtextBlock* b = v->text->first;
  while (b && !(line >= b->firstLine && line < b->firstLine + b->lineCount)) b = b->next;
  std::int32_t k = b ? line - b->firstLine : 0;
  for (; b && line <= v->text->lineCount && top > a.y; ++line) {
    const vtextLine& e = b->lines[k];
    int height = e.ascent + e.descent, bottom = top - height;
    if (!f(Row{line, bottom, height, int(e.descent), b, k})) return;
    top = bottom;
    if (++k >= b->lineCount) b = b->next, k = 0;
  }
}

// Measures a row's line into the module's buffer, as _vtextviewMeasureLine.
vtextColumn* measureRow(vtextview* v, const Row& row, std::int32_t* count, std::int32_t* start) {
  vtextBlock* b = row.block;
  const vtextLine& e = b->lines[row.index];
  *start = b->start + std::int32_t(e.start);
  *count = std::int32_t(b->lines[row.index + 1].start - e.start);
  vtextColumn* columns =
      vtextClassOf(v->text)->layoutLine(v->text, nullptr, b->chars + e.start, count, *start, e.start != 0);
  return _vtextviewCopyMeasure(v, columns, *count);
}

vcolor* itemColor(vtextview* v, int index) { return vdialogGetItemColor(v, index); }

// The caret's colour 5, or the foreground where colour 5 is the background
// itself (the Motif scheme): the inverted caret would not show.
vcolor* caretColor(vtextview* v) {
  vcolor* caret = itemColor(v, 5);
  vcolor* background = itemColor(v, 2);
  unsigned r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
  vcolorGetSpecRGB(&caret->desc, &r1, &g1, &b1);
  vcolorGetSpecRGB(&background->desc, &r2, &g2, &b2);
  return r1 == r2 && g1 == g2 && b1 == b2 ? itemColor(v, 0) : caret;
}

// The highlight kind in force: the view's own, else the module's.
int highlightKind(vtextview* v) {
  int kind = v->focused ? int((v->viewFlags >> 13) & 7) : int((v->viewFlags >> 10) & 7);
  if (kind == 0) kind = 1;
  return kind;
}

void drawHighlight(vtextview* v, const vrect& r, int kind) {
  if (r.width <= 0 || r.height <= 0) return;
  vdrawGSave();
  vdrawSetDrawMode(16);
  vdrawSetColor(itemColor(v, 2));
  switch (kind) {
    case 1: vdrawRectFill(r.x, r.y, r.width, r.height); break;
    case 2: vdrawRectFill(r.x, r.y, r.width, 1); break;
    case 3: vdrawSetLineWidth(1), vdrawFrameRects(&r, 1); break;
    case 5:
      for (int x = r.x + (r.x & 1); x < r.x + r.width; x += 2) vdrawRectFill(x, r.y, 1, 1);
      break;
    default: break;
  }
  vdrawGRestore();
}

void setRunAttributes(vtextview* v, vtextStyle* style) {
  vfont* font = style ? vtextStyleGetFont(style) : nullptr;
  if (!font) font = vdialogDetermineItemFont(v);
  vdrawSetFont(font);
  std::uintptr_t color = style ? vtextRulerFindAttr(&style->attributes, vnameInternLiteral("Color")) : 0;
  // A disabled view's plain text takes the look's disabled foreground.
  vdrawSetColor(color ? reinterpret_cast<vcolor*>(color) : itemColor(v, vdialogItemIsEnabled(v) ? 0 : 1));
}

// Set as a boolean or as the integer 1.
bool attrOn(vtextStyle* s, const char* name) {
  if (!s) return false;
  vname key = vnameInternLiteral(name);
  return vtextRulerGetBooleanAttr(s, key) == 1 || vtextRulerGetAttr(s, key) == 1;
}
bool hidden(vtextStyle* s) { return attrOn(s, "Hidden"); }

vfont* fontOf(vtextview* v, vtextStyle* style) {
  vfont* f = style ? vtextStyleGetFont(style) : nullptr;
  return f ? f : vdialogDetermineItemFont(v);
}

// A measure of the style's own attribute, else the font's.
int metric(vtextview* v, vtextStyle* style, const char* name, vfixed (*fromFont)(vfont*)) {
  if (style) {
    std::intptr_t own = vtextRulerGetAttr(style, vnameInternLiteral(name));
    if (own > 0) return int(own);
  }
  return int((fromFont(fontOf(v, style)) + 0x8000) >> 16);
}

// One run from x0 to x1 on the baseline: a graphic, or the characters in
// the style's font; then its decorations.
void drawRun(vtextview* v, const char* chars, int n, vtextStyle* style, int x0, int x1, int baseline) {
  if (n <= 0) return;
  bool isHidden = hidden(style);
  if (isHidden && !(v->text->mode & vtextMODE_SHOW_HIDDEN)) return;
  vdrawPathMoveTo(x0, baseline);
  auto graphic = style ? reinterpret_cast<vobject*>(vtextRulerFindAttr(&style->attributes, vnameInternLiteral("Graphic")))
                       : nullptr;
  if (graphic && vclassIsSubclass(graphic->cls, vtextGetGraphicClass()))
    vtextGraphicDraw(static_cast<vtextGraphic*>(graphic));
  else
    vdrawGetPrimitives()->Show(chars, n);
  if (isHidden || attrOn(style, "Underline")) {
    if (isHidden) {
      for (int x = x0; x < x1; x += 2) vdrawRectFill(x, baseline - 1, 1, 1);
    } else {
      vdrawRectFill(x0, baseline - 1, x1 - x0, 1);
    }
  }
  auto ascent = [](vfont* f) { return vfontGetDriver()->ascent(f); };
  auto descent = [](vfont* f) { return vfontGetDriver()->descent(f); };
  if (attrOn(style, "Strikethru")) vdrawRectFill(x0, baseline + metric(v, style, "Ascent", ascent) / 2 - 2, x1 - x0, 1);
  if (style && vtextRulerGetBooleanAttr(style, vnameInternLiteral("Invert")) == 1) {
    int below = metric(v, style, "Descent", descent), above = metric(v, style, "Ascent", ascent);
    vdrawGSave();
    vdrawSetDrawMode(16);
    vdrawSetColor(vdialogGetItemColor(v, 2));
    vdrawRectFill(x0, baseline - below, x1 - x0, below + above);
    vdrawGRestore();
  }
}

// Key codes: two upper-case hexadecimal digits and a blank a character.
void drawHexRun(vtextview* v, const char* chars, int n, vtextStyle* style, int x0, int x1, int baseline) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex(std::size_t(n) * 3, ' ');
  for (int i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(chars[i]);
    hex[std::size_t(i) * 3] = kDigits[c >> 4];
    hex[std::size_t(i) * 3 + 1] = kDigits[c & 15];
  }
  drawRun(v, hex.data(), int(hex.size()), style, x0, x1, baseline);
}

// An invisible character's mark in the "Invisibles" colour: a blank as a
// 2 x 2 dot, the others as the text's images for them.
bool hasMark(vtextview* v, char c, vtextStyle* style) {
  return c == ' ' || vtextInvisibleGlyphForFont(static_cast<unsigned char>(c), fontOf(v, style)) != nullptr;
}
void drawMark(vtextview* v, char c, vtextStyle* style, int x, int baseline, const Row& row) {
  vdrawGSave();
  vcolor* color = _vtextviewInvisiblesColor();
  vdrawSetColor(color ? color : vdialogGetItemColor(v, 0));
  if (c == ' ') {
    vdrawRectFill(x + 2, baseline + 2, 2, 2);
  } else if (vimage* glyph = vtextInvisibleGlyphForFont(static_cast<unsigned char>(c), fontOf(v, style))) {
    vdrawPathMoveTo(x, row.bottom + std::max(0, (row.height - glyph->height) / 2));
    if (glyph->depth == 1)
      vdrawGetPrimitives()->ImageMask(glyph);
    else
      vdrawGetPrimitives()->Image(glyph);
  }
  vdrawGRestore();
}

// The highlight of the selected part of a row: a selected line end reaches
// the text area's edge, or only past the line end's own width with
// HiliteTo 1. False when the row holds none of the selection.
// The highlight of the range from..to on a row.
bool rangeHighlight(vtextview* v, const Row& row, const vtextColumn* e, std::int32_t start, std::int32_t count,
                    const char* chars, std::int32_t from, std::int32_t to, vrect* out) {
  if (from >= to) return false;
  std::int32_t selA = std::clamp(from - start, 0, count), selB = std::clamp(to - start, 0, count);
  if (selA >= selB) return false;
  bool newline = count && chars[count - 1] == '\n';
  // A text that is nothing but its line end (an empty entry keeps one for
  // its height) has nothing to show selected: no block where no text is.
  if (newline && count == 1 && v->text && v->text->length == 1) return false;
  int x0 = int(e[selA].x >> 16) + 1, x1 = int(e[selB].x >> 16) + 1;
  if (newline && to > start + count - 1 && ((v->viewFlags >> 8) & 3) != 1) {
    const vrect* a = vtextviewGetTextArea(v);
    x1 = a->x + a->width;
  }
  *out = {std::int16_t(x0), std::int16_t(row.bottom), std::int16_t(x1 - x0), std::int16_t(row.height)};
  return true;
}

bool rowHighlight(vtextview* v, const Row& row, const vtextColumn* e, std::int32_t start, std::int32_t count,
                  const char* chars, vrect* out) {
  vtextSelection* s = v->selection;
  return s && s->length > 0 && rangeHighlight(v, row, e, start, count, chars, s->start, s->end, out);
}

// One line at its row: the runs between style changes and selection
// boundaries, split at tabs and, with invisibles shown, at the characters
// that have marks; key codes instead of characters in the key-code view;
// the highlight over the selected part.
void drawLine(vtextview* v, const Row& row) {
  std::int32_t count = 0, start = 0;
  vtextColumn* e = measureRow(v, row, &count, &start);
  if (!e) return;
  const char* chars = row.block->chars + row.block->lines[row.index].start;
  int baseline = row.bottom + row.descent;
  const bool hex = v->text->view == vtextVIEW_HEX, invisibles = v->text->view == vtextVIEW_INVISIBLES;
  const bool showHidden = (v->text->mode & vtextMODE_SHOW_HIDDEN) != 0;
  // A closing line end is shown as a blank (its decorations drawn under it).
  const bool closing = count > 0 && chars[count - 1] == '\n';
  std::int32_t selA = 0, selB = 0;
  if (v->selection) {
    selA = std::clamp(v->selection->start - start, 0, count);
    selB = std::clamp(v->selection->end - start, 0, count);
  }
  vtextStyle* style = nullptr;
  std::int32_t runStart = 0;
  auto px = [&](std::int32_t i) { return int(e[i].x >> 16); };
  // A piece is drawn from the first character near the text area to the
  // last: a long line's far-off characters would start the run at an x
  // beyond what the drawing takes exactly.
  const vrect& area = *vtextviewGetTextArea(v);
  const int left = area.x - 64, right = area.x + area.width + 64;
  auto piece = [&](std::int32_t from, std::int32_t to) {
    while (from < to && px(from + 1) < left) ++from;
    while (to > from && px(to - 1) > right) --to;
    if (to <= from) return;
    if (closing && to == count) {
      std::string copy(chars + from, std::size_t(to - from));
      copy.back() = ' ';
      drawRun(v, copy.data(), int(copy.size()), style, px(from) + 1, px(to) + 1, baseline);
    } else {
      drawRun(v, chars + from, to - from, style, px(from) + 1, px(to) + 1, baseline);
    }
  };
  auto flush = [&](std::int32_t end) {
    if (end > runStart) {
      if (hex) {
        drawHexRun(v, chars + runStart, end - runStart, style, px(runStart) + 1, px(end) + 1, baseline);
      } else {
        std::int32_t from = runStart;
        for (std::int32_t i = runStart; i < end; ++i) {
          bool mark = invisibles && hasMark(v, chars[i], style);
          if (chars[i] != '\t' && !mark) continue;
          piece(from, i);
          if (mark && (showHidden || !hidden(style))) drawMark(v, chars[i], style, px(i) + 1, baseline, row);
          from = i + 1;
        }
        piece(from, end);
      }
    }
    runStart = end;
  };
  cls(v)->setRunAttributes(v, nullptr);
  for (std::int32_t i = 0; i < count; ++i) {
    if (e[i].style || i == selA || i == selB) {
      flush(i);
      if (e[i].style) {
        style = e[i].style;
        cls(v)->setRunAttributes(v, style);
      }
    }
  }
  flush(count);
  vrect h;
  if (rowHighlight(v, row, e, start, count, chars, &h)) drawHighlight(v, h, highlightKind(v));
  // The insertion bar of a dragged selection.
  std::int32_t drop = 0;
  if (_vtextviewDropFeedback(v, &drop) && drop >= start && (drop < start + count || (drop == start + count && !closing))) {
    vdrawGSave();
    vdrawSetColor(caretColor(v));
    vdrawRectFill(px(drop - start) + 1, row.bottom, 1, row.height);
    vdrawGRestore();
  }
}

void drawCaretShape([[maybe_unused]] vtextview* v, const vrect* r) {
  if (lookId() == vlafOPEN_LOOK) {
    vdrawRectFill(r->x - 1, r->y, 1, r->height);
    return;
  }
  vdrawRectFill(r->x, r->y, r->width, r->height);
}

void clipToTextArea(vtextview* v) {
  vrect a = *vtextviewGetTextArea(v);
  a.x = std::int16_t(a.x - 1);
  a.width = std::int16_t(a.width + 1);
  vdrawClipRects(&a, 1);
}

void drawBorder(vtextview* v, const vrect& frame) {
  static const int kEnabled[] = {0, 2, 4, 6, 18, 14, 10, 8, 10, 20, 22};
  static const int kDisabled[] = {1, 3, 5, 7, 19, 15, 11, 9, 11, 21, 23};
  bool enabled = vdialogItemIsEnabled(v);
  vdrawGSave();
  vdrawSetLineWidth(1);
  if (!(vlafGetCurrent()->flags & vlaf3D)) {
    vdrawSetColor(itemColor(v, enabled ? 16 : 17));
    vdrawFrameRects(&frame, 1);
  } else {
    const int* t = enabled ? kEnabled : kDisabled;
    vcolor* light = itemColor(v, t[9]);
    vcolor* dark = itemColor(v, t[4]);
    vdrawRectsFrameShaded(&frame, 1, nullptr, light, dark);
    if (lookId() == vlafWIN95) {
      vrect inner{std::int16_t(frame.x + 1), std::int16_t(frame.y + 1), std::int16_t(frame.width - 2),
                  std::int16_t(frame.height - 2)};
      vdrawRectsFrameShaded(&inner, 1, nullptr, itemColor(v, t[10]), itemColor(v, t[5]));
    }
  }
  vdrawGRestore();
}

bool rowDirty(const Row& row, const vrect* rects, int n, const vrect& area) {
  for (int i = 0; i < n; ++i) {
    int lo = std::max<int>(rects[i].y, area.y), hi = std::min<int>(rects[i].y + rects[i].height, area.y + area.height);
    if (hi <= lo) continue;
    if (row.bottom < hi && row.bottom + row.height > lo) return true;
  }
  return false;
}

// Every row into the view's image of the text area, then the image to the
// screen at once.
void drawOffscreen(vtextview* v, const vrect& area) {
  if (area.width <= 0 || area.height <= 0) return;
  vimage*& image = v->offscreen;
  if (image && (image->width != area.width || image->height != area.height)) {
    vimageDestroy(image);
    image = nullptr;
  }
  if (!image) {
    image = vimageCreateSized(area.width, area.height, 2);
    vimageSetNoPalette(image, 1);
    vpixmapSetDepth(image, 24);
  }
  vdrawGSave();
  vdrawBindImage(image, 0);
  vdrawTranslate(-area.x, -area.y);
  vdrawSetColor(itemColor(v, 2));
  vdrawRectFill(area.x, area.y, area.width, area.height);
  vdrawRectClip(area.x, area.y, area.width, area.height);
  forEachRow(v, [&](const Row& row) {
    drawLine(v, row);
    return true;
  });
  vdrawGRestore();
  vdrawGSave();
  vdrawRectClip(area.x, area.y, area.width, area.height);
  vdrawPathMoveTo(area.x, area.y);
  vdrawImage(image);
  vdrawGRestore();
}

void draw(vdialogItem* item) {
  vtextview* v = asView(item);
  _vtextviewEnsurePointer(v);
  vdrawGSave();
  vrect* clip = nullptr;
  int nclip = 0;
  vdrawGetClipRects(&clip, &nclip);
  std::vector<vrect> damage(clip, clip + nclip);
  int b = (v->flags & vdialogItemBORDER) && lookId() != vlafWIN95 ? cls(v)->borderWidth : 0;
  vrect frame{std::int16_t(v->content.x - b), std::int16_t(v->content.y - b), std::int16_t(v->content.width + 2 * b),
              std::int16_t(v->content.height + 2 * b)};
  if (lookId() == vlafWIN95 && (v->flags & vdialogItemBORDER)) {
    int w = cls(v)->borderWidth;
    frame = {std::int16_t(v->content.x - w), std::int16_t(v->content.y - w), std::int16_t(v->content.width + 2 * w),
             std::int16_t(v->content.height + 2 * w)};
  }
  cls(v)->drawBackground(v, &frame);
  if (v->flags & vdialogItemBORDER) cls(v)->drawBorder(v, &frame);
  // A bar is drawn only where the update reaches it: an update's damage
  // lives in the device clip, the item's own clip spans the window.
  auto meets = [&](const vrect& r) {
    if (!vdrawRectIsVisible(&r)) return false;
    if (damage.empty()) return true;
    for (const vrect& d : damage)
      if (d.x < r.x + r.width && r.x < d.x + d.width && d.y < r.y + r.height && r.y < d.y + d.height) return true;
    return false;
  };
  for (vslider* bar : {v->horzBar, v->vertBar})
    if (bar && meets(bar->rect)) vdialogDrawItem(bar);
  const vrect area = *vtextviewGetTextArea(v);
  if (v->textViewFlags & vtextviewOFFSCREEN) {
    drawOffscreen(v, area);
  } else {
    vdrawGSave();
    clipToTextArea(v);
    forEachRow(v, [&](const Row& row) {
      if (damage.empty() || rowDirty(row, damage.data(), int(damage.size()), area)) drawLine(v, row);
      return true;
    });
    vdrawGRestore();
  }
  if (v->text && v->selection && v->selection->length == 0 && _vtextviewCaretPhase(v) && vdialogItemIsEnabled(v) &&
      v->caret.height > 0) {
    vrect c = v->caret;
    // The clip reaches one pixel left of the text area: a caret at its
    // edge stays visible.
    if (c.x <= area.x) c.x = std::int16_t(c.x - 1), c.width = std::int16_t(c.width + 1);
    vdrawGSave();
    clipToTextArea(v);
    vdrawSetDrawMode(17);
    vdrawSetColor(caretColor(v));
    cls(v)->drawCaretShape(v, &c);
    vdrawGRestore();
  }
  vdrawGRestore();
}

// Drawing outside an update: only while shown in a window.
bool beginDrawing(vtextview* v) {
  if (!(v->flags & vdialogItemOPEN)) return false;
  vdrawGSave();
  if (!_vcontrolBeginItemDrawing(v)) {
    vdrawGRestore();
    return false;
  }
  return true;
}

bool canShowCaret(vtextview* v) {
  return v->focused && vdialogItemIsShown(v) && vdialogItemIsEnabled(v);
}

void drawCaret(vtextview* v, int phase) {
  if (!canShowCaret(v)) return;
  int current = _vtextviewCaretPhase(v);
  if (phase == 2) {
    if (current != 1) return;
  } else {
    if (phase == current) return;
    v->viewFlags = (v->viewFlags & ~phaseBits(0xFF)) | phaseBits(phase);
  }
  if (v->caret.height <= 0 || !beginDrawing(v)) return;
  vrect c = v->caret;
  const vrect* a = vtextviewGetTextArea(v);
  if (c.x <= a->x) c.x = std::int16_t(c.x - 1), c.width = std::int16_t(c.width + 1);
  clipToTextArea(v);
  vdrawSetDrawMode(17);
  vdrawSetColor(caretColor(v));
  cls(v)->drawCaretShape(v, &c);
  vdrawGRestore();
}

// Toggles the highlights of the ranges from..to and a..b on the visible
// rows where the two differ: each highlight is its own inverse, so this
// moves one to the other (an empty range has none).
void toggleRows(vtextview* v, std::int32_t from, std::int32_t to, std::int32_t a, std::int32_t b) {
  if (!beginDrawing(v)) return;
  clipToTextArea(v);
  std::int32_t low = from < to ? (a < b ? std::min(from, a) : from) : a;
  std::int32_t high = from < to ? (a < b ? std::max(to, b) : to) : b;
  std::int32_t first = vtextGetLineOfPosition(v->text, low), last = vtextGetLineOfPosition(v->text, high);
  int kind = highlightKind(v);
  forEachRow(v, [&](const Row& row) {
    if (row.line < first) return true;
    if (row.line > last) return false;
    std::int32_t count = 0, start = 0;
    vtextColumn* e = measureRow(v, row, &count, &start);
    if (!e) return true;
    const char* chars = row.block->chars + row.block->lines[row.index].start;
    vrect was{}, now{};
    bool had = rangeHighlight(v, row, e, start, count, chars, from, to, &was);
    bool has = rangeHighlight(v, row, e, start, count, chars, a, b, &now);
    if (had == has && (!had || std::memcmp(&was, &now, sizeof was) == 0)) return true;
    if (had) drawHighlight(v, was, kind);
    if (has) drawHighlight(v, now, kind);
    ++_vtextviewModule()->toggledRows;
    return true;
  });
  vdrawGRestore();
}

// Inverts the selection's highlight on the visible rows where it is drawn
// now; false for an empty selection, which shows a caret instead.
bool toggleHighlight(vtextview* v) {
  vtextSelection* s = v->selection;
  if (!v->text || !s || s->length <= 0) return false;
  toggleRows(v, s->start, s->end, 0, 0);
  return true;
}

// Moves the highlight from the range from..to to the selection.
void toggleChangedRows(vtextview* v, std::int32_t from, std::int32_t to) {
  vtextSelection* s = v->selection;
  std::int32_t a = s->length > 0 ? s->start : 0, b = s->length > 0 ? s->end : 0;
  if (a != from || b != to) toggleRows(v, from, to, a, b);
}

// Flags 1 before a change, 2 after it, 4 leaves highlight and caret alone.
void changeHighlight(vtextview* v, int flags) {
  if (flags & 2) {
    if (v->hiddenCount && --v->hiddenCount == 0 && !(flags & 4))
      if (!toggleHighlight(v)) cls(v)->drawCaret(v, 1);
  } else if (flags & 1) {
    if (v->hiddenCount == 0 && !(flags & 4))
      if (!toggleHighlight(v)) cls(v)->drawCaret(v, 0);
    ++v->hiddenCount;
  }
}

void parkCaret(vtextview* v) {
  cls(v)->drawCaret(v, 0);
  v->caret.y = -100;
  v->caret.height = 0;
}

void placeCaret(vtextview* v) {
  if (!v->text || !v->selection || !(v->flags & vdialogItemOPEN) || (v->textViewFlags & vtextviewTRACKING)) return;
  std::int32_t line = vtextGetLineOfPosition(v->text, v->selection->start);
  bool found = false;
  vrect r{};
  forEachRow(v, [&](const Row& row) {
    if (row.line != line) return true;
    std::int32_t count = 0, start = 0;
    vtextColumn* e = measureRow(v, row, &count, &start);
    std::int32_t col = std::clamp(v->selection->start - start, 0, count);
    r = {std::int16_t(e ? (e[col].x >> 16) + 1 : vtextviewGetTextArea(v)->x), std::int16_t(row.bottom), 1,
         std::int16_t(row.height)};
    found = true;
    return false;
  });
  if (!found) {
    parkCaret(v);
    return;
  }
  if (std::memcmp(&r, &v->caret, sizeof r) == 0) return;
  cls(v)->drawCaret(v, 0);
  v->caret = r;
  if (v->selection->length == 0 && v->hiddenCount == 0) cls(v)->drawCaret(v, 1);
}

// The height of lines [from, to).
std::int32_t heightOfLines(vtextview* v, std::int32_t from, std::int32_t to) {
  std::int32_t h = 0;
  for (std::int32_t line = from; line < to; ++line) {
    vtextLineInfo info{};
    vtextGetLineInfo(v->text, line, &info);
    h += info.height;
  }
  return h;
}

}  // namespace

std::int32_t _vtextviewMaxScrollX(vtextview* v) {
  // The classic bound, raised as far as the widest line's end needs.
  std::int64_t widest = 0;
  if (v->text)
    for (const vtextBlock* b = v->text->first; b; b = b->next)
      for (std::int32_t k = 0; k < b->lineCount; ++k) widest = std::max<std::int64_t>(widest, b->lines[k].endX);
  std::int64_t needed = ((widest + 0xFFFF) >> 16) - vtextviewGetTextArea(v)->width + 2;
  return std::int32_t(std::clamp<std::int64_t>(needed, 20479, INT32_MAX / 2));
}

namespace {

void scrollTo(vtextview* v, std::int32_t first, std::int32_t x) {
  std::int32_t lines = v->text ? std::max<std::int32_t>(v->text->lineCount, 1) : 1;
  const vrect area = *vtextviewGetTextArea(v);
  std::int32_t visible =
      v->text ? std::max<std::int32_t>(vtextCountLinesInHeight(v->text, area.height, v->scrollY), 1) : 1;
  first = std::clamp(first, 1, std::max<std::int32_t>(1, lines - visible + 1));
  x = std::clamp(x, 0, _vtextviewMaxScrollX(v));
  if (!_vtextviewModule()->scrollLockOverride) {
    if (v->textViewFlags & vtextviewNO_HORZ_SCROLL) x = v->scrollX;
    if (v->textViewFlags & vtextviewNO_VERT_SCROLL) first = v->scrollY;
  }
  if (first == v->scrollY && x == v->scrollX) return;
  cls(v)->drawCaret(v, 0);
  const std::int32_t oldFirst = v->scrollY, oldX = v->scrollX;
  v->scrollY = first;
  v->scrollX = x;
  _vtextviewUpdateBars(v);
  if (v->flags & vdialogItemOPEN) {
    // A short move keeps the rows still shown: their pixels move and only
    // the uncovered strip is drawn.
    if (v->text && std::abs(first - oldFirst) < visible - 2) {
      std::int32_t dy = first > oldFirst ? heightOfLines(v, oldFirst, first) : -heightOfLines(v, first, oldFirst);
      vrect moved = area;  // with the edge caret's column, which rows draw into
      moved.x = std::int16_t(moved.x - 1);
      moved.width = std::int16_t(moved.width + 1);
      vdialogItemClassOf(v)->scrollRect(v, &moved, oldX - x, dy, 0);
    } else {
      invalTextArea(v);
    }
  }
  v->caret = {0, -100, 0, 0};
  cls(v)->placeCaret(v);
}

}  // namespace

void _vtextviewScrollPastLocks(vtextview* v, std::int32_t first, std::int32_t x) {
  vtextviewModule* m = _vtextviewModule();
  bool was = m->scrollLockOverride;
  m->scrollLockOverride = true;
  cls(v)->scrollTo(v, first, x);
  m->scrollLockOverride = was;
}

namespace {

bool lineVisibleWhole(vtextview* v, std::int32_t line, bool* partly) {
  bool seen = false;
  *partly = false;
  const vrect a = *vtextviewGetTextArea(v);
  forEachRow(v, [&](const Row& row) {
    if (row.line == line) {
      seen = true;
      *partly = row.bottom < a.y;
      return false;
    }
    return true;
  });
  return seen;
}

void showSelection(vtextview* v, int flags) {
  if (!v->text || !v->selection) return;
  const vrect a = *vtextviewGetTextArea(v);
  if ((flags & 16) && !(v->textViewFlags & vtextviewNO_VERT_SCROLL)) {
    std::int32_t n = vtextGetLineOfPosition(v->text, v->selection->start);
    bool partly = false;
    bool seen = lineVisibleWhole(v, n, &partly);
    if (!seen || partly || (flags & 2)) {
      std::int32_t first = n;
      int to = int(v->viewFlags & 3);
      if (to == 0 || to == 2) {
        int height = to == 0 ? a.height / 2 : a.height;
        std::int32_t k = 0, used = 0;
        for (std::int32_t line = n; line >= 1; --line) {
          vtextLineInfo info{};
          vtextGetLineInfo(v->text, line, &info);
          if (used + info.height > height) break;
          used += info.height;
          ++k;
        }
        first = n - std::max<std::int32_t>(k, 1) + 1;
      }
      first = std::clamp(first, 1, std::max<std::int32_t>(v->text->lineCount, 1));
      if (first != v->scrollY) {
        if (flags & 1) {
          v->scrollY = first;
          cls(v)->notifyClient(v, nullptr, vtextviewNOTIFY_VERT);
        } else {
          cls(v)->scrollTo(v, first, v->scrollX);
          cls(v)->placeCaret(v);
        }
      }
    }
  }
  if ((flags & 8) && !(v->textViewFlags & vtextviewNO_HORZ_SCROLL)) {
    cls(v)->placeCaret(v);
    std::int32_t A = a.x, W = a.width, X = v->scrollX;
    std::int32_t s = vtextGetSelectionStartX(v->text, v->selection);
    std::int32_t e = vtextGetSelectionEndX(v->text, v->selection);
    // Where the caret would be unscrolled: the start column's x.
    std::int32_t C = A + s - X;
    vtextRuler* ruler = v->text->defaultRuler ? v->text->defaultRuler : vtextGetDefaultRuler();
    bool wraps = vtextRulerGetFlagAttr(ruler, vnameInternLiteral("Wrap")) == 1;
    if (A + 2 <= C && C <= A + W - 2 && (wraps || X == 0) && !(flags & 2)) return;
    std::int32_t nx;
    if (e < s) {
      nx = (X - A - W) + C + 2;
      if (W - s + e - 4 > 0) nx += W - s + e - 4;
    } else {
      nx = (X - A) + C - 2;
      if (W - e + s - 4 > 0) nx -= W - e + s - 4;
    }
    nx = std::clamp(nx, 0, _vtextviewMaxScrollX(v));
    if (nx == X) return;
    if (flags & 1) {
      v->scrollX = nx;
      cls(v)->notifyClient(v, nullptr, vtextviewNOTIFY_HORZ);
    } else {
      cls(v)->scrollTo(v, v->scrollY, nx);
      cls(v)->placeCaret(v);
    }
  }
}

// ---- the observer: what a change touched is drawn again.
vtextview* viewOf(vinstance* target) {
  auto* o = static_cast<vtextObserver*>(target);
  // With pass-client set the hooks receive the view itself.
  if (vclassIsSubclass(target->cls, vtextviewGetDefaultClass())) return asView(target);
  return asView(o->client);
}

void refresh(vtextview* v) {
  if (v->scrollY > std::max<std::int32_t>(v->text->lineCount, 1)) cls(v)->showSelection(v, 24);
  if (v->flags & vdialogItemOPEN) invalTextArea(v);
  cls(v)->placeCaret(v);
  _vtextviewUpdateBars(v);
}

// What a change's line looked like before it: pushed before the change,
// popped after it (changes nest).
struct ChangeRecord {
  std::int32_t line, lineStart, span, lineCount;
  std::int32_t nextStart;  // start of the line after the span, -1 at the text's end
  std::uint16_t height, descent, previousHeight, previousDescent;
};
std::vector<ChangeRecord> changeStack;

void metrics(vtext* t, std::int32_t line, std::uint16_t* height, std::uint16_t* descent) {
  *height = *descent = 0;
  if (line < 1 || line > t->lineCount) return;
  vtextLineInfo info{};
  vtextGetLineInfo(t, line, &info);
  *height = info.height;
  *descent = info.descent;
}

ChangeRecord describe(vtext* t, std::int32_t line, std::int32_t span) {
  ChangeRecord r{};
  r.line = line;
  r.lineStart = vtextGetLineStart(t, line);
  r.span = span;
  r.lineCount = t->lineCount;
  r.nextStart = line + span <= t->lineCount ? vtextGetLineStart(t, line + span) : -1;
  metrics(t, line, &r.height, &r.descent);
  metrics(t, line - 1, &r.previousHeight, &r.previousDescent);
  return r;
}

// Before: an insertion at position, or a deletion ending there.
void changing(vinstance* target, std::int32_t position, std::int32_t change) {
  if (!change) return;
  vtextview* v = viewOf(target);
  vtextviewInputBeforeChange(v, position, change);
  std::int32_t first = change < 0 ? position + change : position;
  std::int32_t line = vtextGetLineOfPosition(v->text, first);
  std::int32_t span = change < 0 ? vtextGetLineOfPosition(v->text, position) - line + 1 : 1;
  changeStack.push_back(describe(v->text, line, span));
}

// The rows from a line's to the text area's bottom, or the whole area when
// the line lies above it.
void invalFromLine(vtextview* v, std::int32_t line, int flags) {
  vrect a = *vtextviewGetTextArea(v);
  a.x = std::int16_t(a.x - 1);
  a.width = std::int16_t(a.width + 1);
  if (line > v->scrollY) {
    bool seen = false;
    forEachRow(v, [&](const Row& row) {
      if (row.line != line) return true;
      seen = true;
      a.height = std::int16_t(std::max(0, row.bottom + row.height - a.y));
      return false;
    });
    if (!seen) return;
  }
  vdialogItemClassOf(v)->invalRect(v, &a, flags);
}

// After: when the line kept its start, its neighbours' breaks, its metrics
// and the line count, only its row from the change on is drawn again.
void changedText(vinstance* target, std::int32_t position, std::int32_t change) {
  if (!change || changeStack.empty()) return;
  ChangeRecord before = changeStack.back();
  changeStack.pop_back();
  vtextview* v = viewOf(target);
  vtext* t = v->text;
  if (!t) return;
  std::int32_t first = change < 0 ? position + change : position;
  std::int32_t line = vtextGetLineOfPosition(t, first);
  int flags = change == 1 || change == -1 ? 5 : 3;
  if ((v->flags & vdialogItemOPEN) && vdialogItemIsShown(v)) {
    ChangeRecord after = describe(t, line, 1);
    bool oneLine = before.span == 1 && line == before.line && after.lineStart == before.lineStart &&
                   after.lineCount == before.lineCount && after.height == before.height &&
                   after.descent == before.descent && after.previousHeight == before.previousHeight &&
                   after.previousDescent == before.previousDescent &&
                   (before.nextStart < 0 ? line == t->lineCount : after.nextStart == before.nextStart + change);
    if (!oneLine) {
      invalFromLine(v, std::min(line, before.line), flags);
    } else {
      forEachRow(v, [&](const Row& row) {
        if (row.line != line) return true;
        std::int32_t count = 0, start = 0;
        vtextColumn* e = measureRow(v, row, &count, &start);
        const vrect a = *vtextviewGetTextArea(v);
        // One column left of the change: a caret drawn at its edge.
        int x = e ? std::max<int>(a.x - 1, int(e[std::clamp(first - start, 0, count)].x >> 16)) : a.x - 1;
        vrect r{std::int16_t(x), std::int16_t(row.bottom), std::int16_t(a.x + a.width - x), std::int16_t(row.height)};
        vdialogItemClassOf(v)->invalRect(v, &r, flags);
        return false;
      });
    }
  }
  cls(v)->placeCaret(v);
  v->caretXAtUpdate = v->caret.x;
  // The bars stay when both line counts fit, or one line changed short of the last.
  std::int32_t shown = _vtextviewVisibleLines(v);
  bool fits = before.lineCount <= shown && t->lineCount <= shown;
  bool inside = before.span == 1 && before.lineCount == t->lineCount && line < t->lineCount;
  if (!fits && !inside) _vtextviewUpdateBars(v);
}

// A style change: the rows from its first line to its last.
void styleChanged(vinstance* target, vtextStyle*, std::int32_t start, std::int32_t end) {
  vtextview* v = viewOf(target);
  if (!v->text) return;
  if (v->flags & vdialogItemOPEN) {
    std::int32_t first = vtextGetLineOfPosition(v->text, std::min(start, end));
    std::int32_t last = vtextGetLineOfPosition(v->text, std::max(start, end));
    vrect a = *vtextviewGetTextArea(v);
    int top = a.y + a.height, bottom = a.y;
    bool any = false;
    forEachRow(v, [&](const Row& row) {
      if (row.line > last) return false;
      if (row.line >= first) {
        if (!any) top = row.bottom + row.height;
        bottom = row.bottom;
        any = true;
      }
      return true;
    });
    if (any) {
      vrect r{std::int16_t(a.x - 1), std::int16_t(std::max<int>(bottom, a.y)), std::int16_t(a.width + 1),
              std::int16_t(std::min<int>(top, a.y + a.height) - std::max<int>(bottom, a.y))};
      if (r.height > 0) vdialogItemClassOf(v)->invalRect(v, &r, 3);
    }
  }
  cls(v)->placeCaret(v);
  _vtextviewUpdateBars(v);
}

}  // namespace

vtextColumn* _vtextviewMeasureLine(vtextview* v, std::int32_t line, std::int32_t* count, std::int32_t* start) {
  vtextColumn* e = _vtextLayLine(v->text, line, count, start);
  if (!e) return nullptr;
  return _vtextviewCopyMeasure(v, e, *count);
}

vtextColumn* _vtextviewCopyMeasure(vtextview* v, const vtextColumn* e, std::int32_t count) {
  vtextviewModule* m = _vtextviewModule();
  // The buffer grows to the line: a caret past column 1024 reads its own entry.
  if (count + 2 > m->measureCapacity) {
    m->measureCapacity = count + 2;
    m->measure = static_cast<vtextColumn*>(vmemRealloc(m->measure, sizeof(vtextColumn) * std::size_t(m->measureCapacity)));
  }
  vtextX shift = vtextX(std::int32_t(vtextviewGetTextArea(v)->x) - v->scrollX - 1) << 16;
  for (std::int32_t i = 0; i <= count; ++i) m->measure[i] = {e[i].x + shift, e[i].style};
  return m->measure;
}

std::int32_t _vtextviewHit(vtextview* v, int x, int y) {
  if (!v->text) return 0;
  // Above the first row: the first visible line; below the last: the last.
  std::int32_t line = std::min(v->scrollY, std::max<std::int32_t>(v->text->lineCount, 1));
  bool found = false;
  forEachRow(v, [&](const Row& row) {
    line = row.line;
    if (y >= row.bottom) found = true;
    return !found;
  });
  std::int32_t count = 0, start = 0;
  vtextColumn* e = _vtextviewMeasureLine(v, line, &count, &start);
  if (!e) return start;
  // The gap nearest x: a character's right half belongs to the next gap.
  std::int32_t k = 0;
  while (k < count && (((std::int64_t(e[k].x) + e[k + 1].x) / 2) >> 16) + 1 < x) ++k;
  const char* chars = vtextGetCharPointer(v->text, start);
  if (k == count && count > 0 && line < v->text->lineCount) --k;
  else if (k == count && count > 0 && chars[count - 1] == '\n') --k;
  return start + k;
}

void _vtextviewFillDrawing(vtextviewClassRec* c) {
  c->draw = draw;
  c->drawBorder = [](vtextview* v, const vrect* r) { drawBorder(v, *r); };
  c->inputRect = [](vtextview* v, vrect* out) { *out = *vtextviewGetTextArea(v); };
  c->drawBackground = [](vtextview* v, const vrect* r) {
    vdrawGSave();
    vdrawSetColor(itemColor(v, 2));
    vdrawRectFill(r->x, r->y, r->width, r->height);
    vdrawGRestore();
  };
  c->drawCaretShape = drawCaretShape;
  c->setRunAttributes = setRunAttributes;
  c->changeHighlight = changeHighlight;
  c->drawCaret = drawCaret;
  c->placeCaret = placeCaret;
  c->scrollTo = scrollTo;
  c->showSelection = showSelection;
}

vtextObserverClassRec* _vtextviewMakeObserverClass() {
  auto* c = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  c->inserted = changedText;
  c->deleted = changedText;
  c->inserting = changing;
  c->deleting = changing;
  c->rulerChanged = [](vinstance* t, vtextRuler*, std::int32_t, std::int32_t) { refresh(viewOf(t)); };
  c->styleChanged = styleChanged;
  c->recalculated = [](vinstance* t, vtext*) { refresh(viewOf(t)); };
  c->selectionMode = [](vinstance* t, vtextSelection* s, int phase) {
    vtextview* v = viewOf(t);
    if (s == v->selection) cls(v)->changeHighlight(v, phase == 1 ? 1 : 2);
  };
  c->selectionChanged = [](vinstance* t, vtextSelection* s, int phase) {
    vtextview* v = viewOf(t);
    if (s != v->selection) return;
    if (phase == 1 && v->scrollY > std::max<std::int32_t>(v->text->lineCount, 1)) cls(v)->showSelection(v, 24);
    if (!vdialogItemIsShown(v)) return;
    vtextviewModule* m = _vtextviewModule();
    vevent* event = m->currentEvent;
    m->currentEvent = nullptr;
    if (v->hiddenCount == 0) {
      if (v->flags & vdialogItemOPEN) {
        if (phase == 0) {
          cls(v)->drawCaret(v, 0);
          if (v->textViewFlags & vtextviewTRACKING) {
            m->trackedHighlight = true;
            m->trackedFrom = s->length > 0 ? s->start : 0;
            m->trackedTo = s->length > 0 ? s->end : 0;
          } else {
            toggleHighlight(v);
          }
        } else {
          if (m->trackedHighlight) toggleChangedRows(v, m->trackedFrom, m->trackedTo);
          else toggleHighlight(v);
          m->trackedHighlight = false;
          cls(v)->placeCaret(v);
        }
      } else if (phase == 1) {
        cls(v)->placeCaret(v);
      }
    }
    if (phase == 1) cls(v)->notifyClient(v, event, vtextviewNOTIFY_SELECTION);
    m->currentEvent = event;
  };
  c->destroyed = [](vinstance* t, vtext*) {
    vtextview* v = viewOf(t);
    // The text frees this observer as it goes.
    v->observer = nullptr;
    v->text = nullptr;
    v->selection = nullptr;
  };
  vclassSetName(c, vscribeLiteral("vtextviewObserver"));
  return c;
}
