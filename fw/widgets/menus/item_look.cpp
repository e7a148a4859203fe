#include "fw/widgets/menus/item_look.h"

#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/scheme.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/itemlist.h"
#include "fw/widgets/menus/menu.h"

namespace {

int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

struct FontSizes {
  int ascent = 0, descent = 0, height = 0;
};
FontSizes sizesOf(vmenuItem* item) {
  FontSizes f;
  if (vfont* font = vmenuItemGetFont(item)) {
    f.ascent = rounded(vfontGetDriver()->ascent(font));
    f.descent = rounded(vfontGetDriver()->descent(font));
    f.height = rounded(vfontGetHeight(font));
  }
  return f;
}

struct ImageSize {
  int width = 0, height = 0;
};
ImageSize imageSize(int index) {
  vimage* image = vlafGetImage(index);
  return image ? ImageSize{image->width, image->height} : ImageSize{};
}

vcolor* schemeColor(vmenuItem* item, int index) {
  vcolorScheme s{};
  vmenuItemClassOf(item)->getColors(item, vcolorSchemeBit(index), &s);
  return (s.mask & vcolorSchemeBit(index)) ? s.entries[index] : nullptr;
}
bool sameColor(vcolor* a, vcolor* b) { return a && b && (a == b || vcolorSpecsEqual(&a->desc, &b->desc)); }
void setColor(vcolor* c) {
  if (c) vdrawSetColor(c);
}

bool mirrored(vmenuItem* item) { return vmenuIsMirrored(vmenuItemGetMenu(item)); }
bool isDefault(vmenuItem* item) { return item->owner && vmenuItemListGetDefault(item->owner) == item; }

// ---- Measuring.
void measureWithMark(vmenuItem* item, vmenuItemMeasure* m, int image, int indentRound, int indentAdd, int slack) {
  ImageSize mark = imageSize(image);
  FontSizes f = sizesOf(item);
  m->indent = std::int16_t(m->indent + ((mark.width + indentRound) / 8) * 8 + indentAdd);
  if (f.ascent + f.descent + slack < mark.height) m->ascent = std::int16_t(mark.height - f.descent);
}
void measureWindows(vmenuItem* item, vmenuItemMeasure* m) {
  measureWithMark(item, m, 32, 1, 7, 2);
  int w = imageSize(32).width;
  if (!mirrored(item)) m->rightWidth = std::int16_t(m->rightWidth + w);
}
void measureWin95(vmenuItem* item, vmenuItemMeasure* m) {
  measureWithMark(item, m, 118, 3, 5, 4);
  int w = imageSize(118).width;
  if (mirrored(item)) {
    m->rightWidth = std::int16_t(m->rightWidth + 1 - w);
  } else {
    bool positive = m->rightWidth > 0;
    m->rightWidth = std::int16_t(m->rightWidth + ((w + 1) / 2) * 3 - (positive ? 2 : 0));
  }
}
void measureWindowsSeparator(vmenuItem* item, vmenuItemMeasure* m) {
  FontSizes f = sizesOf(item);
  m->ascent = std::int16_t(std::max(0, f.height / 2 - 1 - f.descent - 2));
}
void measureWin95Separator(vmenuItem* item, vmenuItemMeasure* m) {
  FontSizes f = sizesOf(item);
  m->ascent = std::int16_t(std::max(0, (f.height + 5) / 2 - f.descent - 4));
}
void measureWindowsSubMenu(vmenuItem* item, vmenuItemMeasure* m) {
  measureWindows(item, m);
  if (!mirrored(item)) m->rightWidth = std::int16_t(m->rightWidth + imageSize(31).width);
}
const std::int16_t* metrics() { return vmenuItemGetLook()->metrics; }
void measureIndent(vmenuItem*, vmenuItemMeasure* m) { m->indent = std::int16_t(m->indent + metrics()[0]); }
void measureCuaSeparator(vmenuItem* item, vmenuItemMeasure* m) {
  m->ascent = std::int16_t(sizesOf(item).height + metrics()[1]);
  m->titleWidth = 0;
  m->rightWidth = 0;
}
void measureMotifSeparator(vmenuItem*, vmenuItemMeasure* m) {
  m->ascent = metrics()[1];
  m->titleWidth = 0;
}
// Room on the left for a drawn toggle mark or pin (markBox's side and a gap).
void measureMarked(vmenuItem* item, vmenuItemMeasure* m) {
  measureIndent(item, m);
  m->indent = std::int16_t(m->indent + 14);
}
void measureLineSeparator(vmenuItem*, vmenuItemMeasure* m) {
  m->ascent = 2;
  m->titleWidth = 0;
}
void measureSubMenuMetric(vmenuItem* item, vmenuItemMeasure* m) {
  measureIndent(item, m);
  if (!mirrored(item)) m->rightWidth = std::int16_t(m->rightWidth + metrics()[2]);
}

int selectableNotSeparator(vmenuItem* item) { return !vmenuItemIsSeparator(item); }
int selectableEnabled(vmenuItem* item) { return vmenuItemIsEnabled(item); }

// ---- Drawing.
void show(const char* text) { vdrawGetPrimitives()->Show(text, int(std::strlen(text))); }

// The title with its mnemonic mark and accelerator, from the text position.
void drawLabel(vmenuItem* item, const vmenuTextPosition* text, int dx, int dy) {
  int x = text->x + dx, y = text->y + dy;
  vdrawPathMoveTo(x, y);
  show(item->title);
  if (item->mnemonic) {
    vdrawPathMoveTo(x, y);
    vlafDrawMnemonic(item->title, item->mnemonic);
  }
  if (item->accelerator) {
    vdrawPathMoveTo(x + text->acceleratorOffset, y);
    vdrawKey(int(item->accelerator));
  }
}

void windowsBody(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (!vmenuItemIsEnabled(item)) {
    vcolor* disabled = schemeColor(item, vcolorFOREGROUND + 1);
    if (sameColor(disabled, vcolorGetBlack())) {
      vlafDrawPatternRect(rect);
    } else if (sameColor(disabled, schemeColor(item, vcolorBACKGROUND))) {
      vlafDrawPatternRect(rect);
      vdrawSetColor(vcolorGetBlack());
    }
  }
  drawLabel(item, text, 0, 0);
}

void win95Body(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  vfont* previous = nullptr;
  if (isDefault(item)) {
    previous = vdrawGetState()->matrix->font;
    if (vfont* font = vmenuItemGetFont(item))
      vdrawSetFont(vfontFindDerivedScribe(font, vscribeLiteral("face:bold-face:~oblique-face:~italic")));
  }
  vcolor* background = schemeColor(item, vcolorBACKGROUND);
  if (!vmenuItemIsEnabled(item) && sameColor(schemeColor(item, vcolorFOREGROUND + 1), background)) {
    // Nothing would show: the pattern alone, in black.
    vdrawSetColor(vcolorGetBlack());
    vlafDrawPatternRect(rect);
  } else if (!vmenuItemIsEnabled(item) && sameColor(schemeColor(item, vcolorSHADOW_TOP_DARK), background)) {
    setColor(schemeColor(item, vcolorSHADOW_TOP));
    drawLabel(item, text, 1, -1);
    setColor(schemeColor(item, vcolorSHADOW_BOTTOM));
    drawLabel(item, text, 0, 0);
  } else {
    drawLabel(item, text, 0, 0);
  }
  if (previous) vdrawSetFont(previous);
}

int leftIndent(const vrect* rect, const vmenuTextPosition* text) { return text->x - rect->x; }

void drawImageCentred(int index, int x, int width, const vrect* rect) {
  ImageSize size = imageSize(index);
  vdrawPathMoveTo(x + (width - size.width) / 2, rect->y + (rect->height - size.height) / 2);
  vlafDrawImage(index);
}
void windowsToggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (vmenuItemIsToggleOn(item)) drawImageCentred(32, rect->x, leftIndent(rect, text), rect);
}
void win95Toggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  if (vmenuItemIsToggleOn(item))
    drawImageCentred((item->flags & vmenuItemEXCLUSIVE) ? 119 : 118, rect->x, leftIndent(rect, text), rect);
}
void arrowImage(int index, const vrect* rect) {
  ImageSize size = imageSize(index);
  vdrawPathMoveTo(rect->x + rect->width - size.width, rect->y + (rect->height - size.height) / 2);
  vlafDrawImage(index);
}
void windowsArrow(vmenuItem*, const vrect* rect, const vmenuTextPosition*) { arrowImage(31, rect); }
void win95Arrow(vmenuItem*, const vrect* rect, const vmenuTextPosition*) { arrowImage(117, rect); }
void windowsSeparator(vmenuItem* item, const vrect* rect, const vmenuTextPosition*) {
  setColor(schemeColor(item, vcolorCOLOR_BORDER));
  vdrawRectFill(rect->x, rect->y + rect->height / 2 + 1, rect->width, 1);
}

void fillBehind(const vrect* rect) {
  vdrawState* s = vdrawGetState();
  vcolor* first = s->color;
  if (s->secondColor) {
    vdrawSetColor(s->secondColor);
    vdrawRectFill(rect->x, rect->y, rect->width, rect->height);
  }
  setColor(first);
}
void windowsNormal(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  fillBehind(rect);
  vmenuItemClassOf(item)->draw(item, rect, text);
}
void windowsHighlighted(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  setColor(schemeColor(item, vcolorBACKGROUND_HILITE));
  vdrawRectFill(rect->x, rect->y, rect->width, rect->height);
  setColor(schemeColor(item, vcolorFOREGROUND_HILITE));
  if (!vmenuItemIsEnabled(item)) vlafDrawPatternRect(rect);
  vdrawPathMoveTo(text->x, text->y);
  vmenuItemClassOf(item)->draw(item, rect, text);
}

// Motif, CUA and Open Look: the marks in 3-D or from the glyph font.
vrect markBox(const vrect* rect, const vmenuTextPosition* text) {
  int side = std::min(10, int(rect->height) - 4);
  int indent = leftIndent(rect, text);
  return {std::int16_t(rect->x + std::max(2, (indent - side) / 2)), std::int16_t(rect->y + (rect->height - side) / 2),
          std::int16_t(side), std::int16_t(side)};
}
void motifToggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  vrect box = markBox(rect, text);
  bool on = vmenuItemIsToggleOn(item);
  vcolor* top = schemeColor(item, vcolorSHADOW_TOP);
  vcolor* bottom = schemeColor(item, vcolorSHADOW_BOTTOM);
  vcolor* fill = on ? schemeColor(item, vcolorBACKGROUND_DEBOSS) : nullptr;
  if (item->flags & vmenuItemEXCLUSIVE) vlafDrawDiamond(&box, fill, on ? bottom : top, on ? top : bottom);
  else vlafDrawCheckFrame(&box, fill, on ? bottom : top, on ? top : bottom);
}
// A right-pointing arrow as the scroll bar's: the tip at the right edge,
// the base and half base running back (both negative), light and dark
// edges exchanged as for every arrow pointing right, lines two wide.
void motifArrow(vmenuItem* item, const vrect* rect, const vmenuTextPosition*) {
  const int half = std::max(1, std::min(5, rect->height / 2 - 1));
  vdrawGSave();
  vdrawSetLineWidth(std::max(2, int(vlafGetCurrent()->lineWidth)));
  vlafDrawHorizArrow(rect->x + rect->width - 2, rect->y + rect->height / 2, -2 * half, -half, nullptr,
                     schemeColor(item, vcolorSHADOW_BOTTOM), schemeColor(item, vcolorSHADOW_TOP));
  vdrawGRestore();
}
// Motif's pin is the tear-off line: dashes across the item.
void motifTearOff(vmenuItem* item, const vrect* rect, const vmenuTextPosition*) {
  setColor(schemeColor(item, vcolorSHADOW_BOTTOM));
  int y = rect->y + rect->height / 2;
  for (int x = rect->x + 2; x + 4 <= rect->x + rect->width - 2; x += 8) vdrawRectFill(x, y, 4, 1);
}
void motifHighlighted(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  windowsNormal(item, rect, text);
  vdrawRectsFrameShaded(rect, 1, nullptr, schemeColor(item, vcolorSHADOW_TOP), schemeColor(item, vcolorSHADOW_BOTTOM));
}
void plainBody(vmenuItem* item, const vrect*, const vmenuTextPosition* text) { drawLabel(item, text, 0, 0); }
void plainSeparator(vmenuItem* item, const vrect* rect, const vmenuTextPosition*) {
  vcolor* top = schemeColor(item, vcolorSHADOW_TOP);
  vcolor* bottom = schemeColor(item, vcolorSHADOW_BOTTOM);
  int y = rect->y + rect->height / 2;
  setColor(bottom);
  vdrawRectFill(rect->x, y, rect->width, 1);
  setColor(top);
  vdrawRectFill(rect->x, y - 1, rect->width, 1);
}
void glyphAt(int character, int x, const vrect* rect) {
  int h = std::min(int(rect->height), 12);
  vdrawPathMoveTo(x, rect->y + (rect->height - h) / 2);
  vlafDrawGlyph(character, h);
}
void cuaToggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition*) {
  if (vmenuItemIsToggleOn(item)) glyphAt(100, rect->x + 1, rect);
}
void cuaArrow(vmenuItem*, const vrect* rect, const vmenuTextPosition*) {
  glyphAt(99, rect->x + rect->width - metrics()[2], rect);
}
void openLookFrame(vmenuItem* item, const vrect* rect) {
  if (vlafGetCurrent()->flags & vlaf3D)
    vdrawRectsFrameShaded(rect, 1, nullptr, schemeColor(item, vcolorSHADOW_BOTTOM), schemeColor(item, vcolorSHADOW_TOP));
  else
    vdrawRectFrame(rect->x, rect->y, rect->width, rect->height);
}
void openLookToggle(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  vrect box = markBox(rect, text);
  vdrawRectFrame(box.x, box.y, box.width, box.height);
  if (vmenuItemIsToggleOn(item)) vdrawRectFill(box.x + 2, box.y + 2, box.width - 4, box.height - 4);
  plainBody(item, rect, text);
}
// The pin stands in its hole when the pin item is on, lies beside it when off.
void openLookPin(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  vrect box = markBox(rect, text);
  if (vmenuItemIsToggleOn(item)) {
    vdrawRectFrame(box.x, box.y, box.width, box.height);
    vdrawRectFill(box.x + box.width / 2 - 1, box.y + 1, 2, box.height - 2);
  } else {
    vdrawRectFill(box.x, box.y + box.height / 2 - 1, box.width, 2);
    vdrawRectFill(box.x + box.width - 3, box.y + 1, 3, box.height - 2);
  }
}
// The default item wears a ring just inside its rectangle.
void openLookDefaultRing(vmenuItem* item, const vrect* rect) {
  if (isDefault(item) && rect->width > 4 && rect->height > 4)
    vdrawRectFrame(rect->x + 1, rect->y + 1, rect->width - 2, rect->height - 2);
}
void openLookNormal(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  windowsNormal(item, rect, text);
  openLookDefaultRing(item, rect);
}
void openLookHighlighted(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
  windowsNormal(item, rect, text);
  openLookFrame(item, rect);
}

const vmenuItemLook kDefault = {};
const vmenuItemLook kWindows = {
    {15, 1, 14, 8, 0},
    {measureWindows, measureWindowsSeparator, measureWindows, measureWindows, measureWindowsSubMenu},
    selectableNotSeparator, windowsBody, windowsSeparator, windowsToggle, nullptr, windowsArrow,
    windowsHighlighted, windowsNormal};
const vmenuItemLook kWin95 = {
    {21, 4, 13, 6, 0},
    {measureWin95, measureWin95Separator, measureWin95, measureWin95, measureWin95},
    selectableNotSeparator, win95Body, windowsSeparator, win95Toggle, nullptr, win95Arrow,
    windowsHighlighted, windowsNormal};
const vmenuItemLook kMotif = {
    {0, 0, 10, 0, 0},
    {measureIndent, measureMotifSeparator, measureMarked, measureIndent, measureSubMenuMetric},
    selectableEnabled, plainBody, plainSeparator, motifToggle, motifTearOff, motifArrow, motifHighlighted,
    windowsNormal};
const vmenuItemLook kCua = {
    {13, 0, 13, 0, 0},
    {measureIndent, measureCuaSeparator, measureIndent, measureIndent, measureSubMenuMetric},
    selectableNotSeparator, plainBody, plainSeparator, cuaToggle, nullptr, cuaArrow, windowsHighlighted,
    windowsNormal};
const vmenuItemLook kOpenLook = {
    {0, 0, 0, 0, 0},
    {nullptr, measureLineSeparator, measureMarked, measureMarked, nullptr},
    selectableEnabled, plainBody, plainSeparator, openLookToggle, openLookPin, nullptr, openLookHighlighted,
    openLookNormal};

}  // namespace

const vmenuItemLook* vmenuItemLookFor(int lookId) {
  switch (lookId) {
    case vlafWINDOWS: return &kWindows;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafCUA: return &kCua;
    case vlafOPEN_LOOK: return &kOpenLook;
    default: return &kDefault;
  }
}

// Open Look's push-pin item fills itself and draws its pin in both states.
void vmenuItemLookOverride(vmenuItemClassRec* const* classes) {
  if (vlafGetCurrent()->id != vlafOPEN_LOOK) return;
  vmenuItemClassRec* pin = classes[3];
  pin->drawNormal = [](vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
    vdrawGSave();
    vmenuItemClassOf(item)->setColors(item);
    fillBehind(rect);
    openLookPin(item, rect, text);
    vdrawGRestore();
  };
  pin->drawHighlighted = [](vmenuItem* item, const vrect* rect, const vmenuTextPosition* text) {
    vdrawGSave();
    vmenuItemClassOf(item)->setColors(item);
    fillBehind(rect);
    openLookPin(item, rect, text);
    openLookFrame(item, rect);
    vdrawGRestore();
  };
}

void vmenuItemLookSetDisabledColors(vmenuItem* item) { setColor(schemeColor(item, vcolorFOREGROUND + 1)); }
