// The label, line and box items: their sizes. They draw through the looks'
// label and frame operations.
#include <algorithm>
#include <cstring>

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
  vdialogItemClassRec* line = out[1] = spawn(item, "vdialogLineItem", 2);
  line->naturalSize = line->minSize = lineSize;
  vdialogItemClassRec* box = out[2] = spawn(item, "vdialogBoxItem", 3);
  box->naturalSize = boxNaturalSize;
  box->minSize = boxMinSize;
}
