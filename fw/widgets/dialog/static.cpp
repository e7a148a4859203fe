// The label, line and box items: their sizes and their drawing, through the
// looks' label and frame operations.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

int titleWidth(vdialogItem* item) {
  return rounded(vfontGetCharsWidth(vdialogDetermineItemFont(item), item->title, int(std::strlen(item->title))));
}
int fontHeight(vdialogItem* item) {
  vfont* font = vdialogDetermineItemFont(item);
  return rounded(vfontGetDriver()->ascent(font) + vfontGetDriver()->descent(font));
}

void labelMinSize(vdialogItem* item, int* w, int* h) {
  *w = titleWidth(item);
  *h = fontHeight(item);
}

void lineSize(vdialogItem* item, int* w, int* h) { *w = *h = int(vdialogGetItemLineWidth(item)); }

// The frame: the line width when bordered, at least 2 in a 3-D look.
int frameWidth(vdialogItem* item) {
  if (!(item->flags & vdialogItemBORDER)) return 0;
  int b = int(vdialogGetItemLineWidth(item));
  return (vlafGetCurrent()->flags & vlaf3D) ? std::max(b, 2) : b;
}

void boxNaturalSize(vdialogItem* item, int* w, int* h) {
  int b = frameWidth(item);
  *w = *h = 2 * b;
  if (*item->title) {
    *w += titleWidth(item) + 24;
    *h += fontHeight(item);
  }
}

void boxMinSize(vdialogItem* item, int* w, int* h) {
  boxNaturalSize(item, w, h);
  vimage* image = vdialogGetItemImage(item);
  if (!image) image = vdialogItemClassOf(item)->image;
  if (!image) return;
  *w = std::max(*w, int(image->width) + 2 * frameWidth(item));
  *h += image->height;
}

std::int16_t s16(int v) { return std::int16_t(v); }

// A title as the label draws it: the Windows looks underline an enabled
// label's mnemonic and draw a disabled one in their inactive style; the
// others underline only where the look draws mnemonics.
void drawTitle(vdialogItem* item, const vrect& r) {
  const vlaf* look = vlafGetCurrent();
  int mnemonic = item->mnemonic & 0xFF;
  bool windowsLook = look->id == vlafWINDOWS || look->id == vlafWIN95;
  if (windowsLook && !vdialogItemIsEnabled(item)) {
    vcolorScheme colors{};
    vdialogDetermineItemScheme(item, look->id == vlafWINDOWS ? 6 : 80, &colors);
    vlafDrawInactiveLabel(item->title, mnemonic, &r, 2, &colors);
  } else if (windowsLook || (look->flags & vlafMNEMONICS)) {
    vlafDrawLabelText(item->title, mnemonic, &r, 2);
  } else {
    vdrawCharsAt(item->title, int(std::strlen(item->title)), &r, 2);
  }
}

void labelDraw(vdialogItem* item) { drawTitle(item, item->rect); }

// The etched groove of the 3-D looks, ShadowBottom outside at the left
// and top edges, ShadowTop at the others.
void groove(vdialogItem* item, const vrect& r) {
  vcolorScheme s{};
  vdialogDetermineItemScheme(item, 80, &s);
  vdrawRectsFrameShadedWide(&r, 1, s.entries[6], s.entries[4]);
}

// Along the longer side, centred across it; an etched line is two lines wide.
void lineDraw(vdialogItem* item) {
  const vrect& r = item->rect;
  bool etched = (vlafGetCurrent()->flags & vlaf3D) != 0;
  int lw = std::max(1, int(vdialogGetItemLineWidth(item)));
  int t = etched ? 2 * lw : lw;
  vrect line = r.height <= r.width ? vrect{r.x, s16(r.y + (r.height - t) / 2), r.width, s16(t)}
                                   : vrect{s16(r.x + (r.width - t) / 2), r.y, s16(t), r.height};
  if (etched) groove(item, line);
  else vdrawRectsFrame(&line, 1);
}

void boxDraw(vdialogItem* item) {
  const vrect& r = item->rect;
  bool threeD = (vlafGetCurrent()->flags & vlaf3D) != 0;
  vcolorScheme s{};
  vdialogDetermineItemScheme(item, threeD ? 86 : 0x10006, &s);
  vimage* image = vdialogGetItemImage(item);
  if (!image) image = vdialogItemClassOf(item)->image;
  bool titled = *item->title != 0;
  int b = frameWidth(item), fh = titled ? fontHeight(item) : 0;
  vcolor* entry = vdrawGetState()->color;
  if ((titled || !image) && (s.mask & 4)) {
    vdrawSetColor(s.entries[2]);
    vdrawRectFill(r.x, r.y, r.width, r.height);
  }
  if (b > 0) {
    vrect frame{r.x, r.y, r.width, s16(r.height - fh / 2)};
    if (threeD) {
      groove(item, frame);
    } else {
      if (s.mask & vcolorSchemeBit(16)) vdrawSetColor(s.entries[16]);
      vdrawRectsFrame(&frame, 1);
    }
  }
  if (titled) {
    int x = r.x + b + 8, w = std::min(titleWidth(item) + 8, r.x + r.width - x);
    if (w > 0) {
      if (s.mask & 4) vdrawSetColor(s.entries[2]);
      vdrawRectFill(x, r.y + r.height - fh, w, fh);
      vdrawSetColor(entry);
      drawTitle(item, vrect{s16(x + 4), s16(r.y + r.height - fh), s16(w - 8), s16(fh)});
    }
  }
  vdrawSetColor(entry);
  if (!image) return;
  int w = r.width - 2 * b, h = r.height - 2 * b - fh;
  if (w < 1 || h < 1 || image->width < 1 || image->height < 1) return;
  vdrawGSave();
  vdrawTranslate(r.x + b, r.y + b);
  vdrawScale(double(w) / image->width, double(h) / image->height);
  vdrawPathMoveTo(0, 0);
  if (item->flags & vdialogItemIMAGE_MASK) vdrawGetPrimitives()->ImageMask(image);
  else vdrawImage(image);
  vdrawGRestore();
}

vdialogItemClassRec* spawn(vdialogItemClassRec* from, const char* name, int kind) {
  auto* c = vclassSpawnOf<vdialogItemClassRec>(from);
  vclassSetName(c, vscribeLiteral(name));
  _vdialogItemBindLookColors(c, kind);
  _vdialogItemRunNamingHook(c);
  return c;
}

}  // namespace

void _vdialogStaticItemsBuild(vdialogItemClassRec* item, vdialogItemClassRec** out) {
  vdialogItemClassRec* label = out[0] = spawn(item, "vdialogLabelItem", 1);
  label->defaultWidth = label->defaultHeight = 12;
  label->minSize = labelMinSize;
  label->draw = labelDraw;
  vdialogItemClassRec* line = out[1] = spawn(item, "vdialogLineItem", 2);
  line->naturalSize = line->minSize = lineSize;
  line->draw = lineDraw;
  vdialogItemClassRec* box = out[2] = spawn(item, "vdialogBoxItem", 3);
  box->naturalSize = boxNaturalSize;
  box->minSize = boxMinSize;
  box->draw = boxDraw;
}
