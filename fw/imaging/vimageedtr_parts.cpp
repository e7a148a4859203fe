// The image editor's parts: its view classes (shared zoom and scrolling, the
// current view), its model class (colour indices, the mask and preview
// follow the image), the layout item, the location read-out and the
// actual-size preview window.
#include <algorithm>
#include <cmath>

#include "fw/core/ex.h"
#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vimged_color.h"
#include "fw/imaging/vimageedtr_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/lists/palette.h"

using namespace imgedtr;

namespace {

std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }

// ---- Views.
vimgedviewClassRec* viewSuper() { return vimgedviewGetDefaultClass(); }
vimgedview* asView(vdialogItem* i) { return static_cast<vimgedview*>(i); }
vimageedtr* editorOf(vimgedview* v) { return editorOfItem(v); }

// The other view follows without passing it back.
int following = 0;
struct Following {
  Following() { ++following; }
  ~Following() { --following; }
};

void setZoom(vimgedview* v, int zoom) {
  viewSuper()->setZoom(v, zoom);
  if (following) return;
  if (vimgedview* other = otherView(editorOf(v), v)) {
    Following guard;
    if (other->zoom != v->zoom) vimgedviewClassOf(other)->setZoom(other, v->zoom);
  }
}

void setOrigin(vimgedview* v, const vrect* origin) {
  viewSuper()->setOrigin(v, origin);
  if (following) return;
  if (vimgedview* other = otherView(editorOf(v), v)) {
    Following guard;
    vimgedviewClassOf(other)->setOrigin(other, &v->origin);
  }
}

// The same part of the other view is drawn again: both show one place.
void invalRect(vdialogItem* item, const vrect* rect, int flags) {
  viewSuper()->invalRect(item, rect, flags);
  if (following || !rect) return;
  vimgedview* v = asView(item);
  vimgedview* other = otherView(editorOf(v), v);
  if (!other || !(other->flags & vdialogItemOPEN)) return;
  Following guard;
  vrect moved = *rect;
  moved.x = s16(moved.x + other->rect.x - v->rect.x);
  moved.y = s16(moved.y + other->rect.y - v->rect.y);
  vdialogItemClassOf(other)->invalRect(other, &moved, flags);
}

// The press that starts work in the other view puts the current view's
// selection down first.
int buttonDown(vdialogItem* item, vevent* e) {
  vimgedview* v = asView(item);
  vimageedtr* ed = editorOf(v);
  if (ed && ed->currentView != v && vrectContainsPoint(&v->area, veventGetX(e), veventGetY(e))) {
    if (ed->currentView && ed->currentView->editor) vimgedCommitSelection(ed->currentView->editor);
    ed->currentView = v;
  }
  int taken = viewSuper()->buttonDown(item, e);
  if (ed) vimageedtrRefreshSelectors(ed);
  return taken;
}

int buttonUp(vdialogItem* item, vevent* e) {
  int taken = viewSuper()->buttonUp(item, e);
  if (vimageedtr* ed = editorOf(asView(item))) {
    vimageedtrRefreshSelectors(ed);
    invalPreview(ed);
  }
  return taken;
}

// The palette shows the tool the view took.
void imageSetTool(vimgedview* v, int tool) {
  vimageedtr* ed = editorOf(v);
  if (!ed || !ed->toolPalette) return;
  static const char* const kNames[] = {"Hand",  "Line",   "Pencil", "Circle",     "Rect",         "Paint", "SelectRect",
                                       "Eraser", "Lasso", "Dropper", "FilledRect", "FilledCircle", "Text",  "Spray"};
  if (tool < 0 || tool >= int(std::size(kNames))) return;
  vpaletteItem* entry = vpaletteFindItem(ed->toolPalette, L(kNames[tool]));
  if (entry && vpaletteGetSelectedItem(ed->toolPalette) != entry) vpaletteSelectItem(ed->toolPalette, entry);
}

void colorChanged(vimgedview* v, std::uint32_t value) {
  vimageedtr* ed = editorOf(v);
  if (!ed) return;
  if (ed->fgBgItem && (ed->fgBgItem->flags & vdialogItemOPEN)) vdialogInvalItem(ed->fgBgItem, 0);
  if (ed->mruItem) vimgedutilsAddMRUColor(ed->mruItem, value);
}
void imageSetForeground(vimgedview* v, std::uint32_t value) {
  bool changed = v->foreground != value;
  viewSuper()->setForeground(v, value);
  if (changed) colorChanged(v, value);
}
void imageSetBackground(vimgedview* v, std::uint32_t value) {
  bool changed = v->background != value;
  viewSuper()->setBackground(v, value);
  if (changed) colorChanged(v, value);
}

vimgedviewClassRec* baseViewClass() {
  ModuleState* st = state();
  if (st->baseView) return st->baseView;
  auto* c = vclassSpawnOf<vimgedviewClassRec>(viewSuper());
  vclassSetName(c, vscribeLiteral("vimageedtrView"));
  c->setZoom = setZoom;
  c->setOrigin = setOrigin;
  c->invalRect = invalRect;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  return st->baseView = c;
}

// ---- The image model.
vimgedClassRec* modelSuper() { return vimgedGetDefaultClass(); }
vimageedtr* ownerOf(vimged* m) { return static_cast<Model*>(m)->owner; }

// The swatches show values through the palette: a new palette or image
// recolours them even where the values stay.
void resetColors(vimageedtr* e) {
  if (e->mruItem) vimgedutilsResetMRUItem(e->mruItem);
  checkColorIndices(e);
  if (e->fgBgItem && (e->fgBgItem->flags & vdialogItemOPEN)) vdialogInvalItem(e->fgBgItem, 0);
}

void modelSetPalette(vimged* m, const vcolorList* palette, int remap) {
  modelSuper()->setPalette(m, palette, remap);
  if (vimageedtr* e = ownerOf(m)) resetColors(e);
}

void modelSetImage(vimged* m, vimage* image) {
  modelSuper()->setImage(m, image);
  vimageedtr* e = ownerOf(m);
  if (!e || !e->imageView) return;
  vimage* mask = e->hasMask && e->maskModel ? e->maskModel->source : nullptr;
  if (mask && image && (mask->width != image->width || mask->height != image->height)) {
    vimgedCommitSelection(e->maskModel);
    vpixmapSetSize(mask, image->width, image->height, 21, 0);
    vimgedSetImage(e->maskModel, mask);
  }
  if (e->previewMask && image &&
      (e->previewMask->width != image->width || e->previewMask->height != image->height)) {
    vimageDestroy(e->previewMask);
    e->previewMask = nullptr;
  }
  resetColors(e);
  sizePreview(e);
}

void modelSetSelection(vimged* m, vimage* image, vimage* mask, std::uint32_t hole, int x, int y) {
  modelSuper()->setSelection(m, image, mask, hole, x, y);
  if (vimageedtr* e = ownerOf(m)) vimageedtrRefreshSelectors(e);
}
void modelCommitSelection(vimged* m) {
  modelSuper()->commitSelection(m);
  if (vimageedtr* e = ownerOf(m)) vimageedtrRefreshSelectors(e);
}

void modelChanged(vimged* m, int, int) {
  if (vimageedtr* e = ownerOf(m)) invalPreview(e);
}

void modelInit(vinstance* self) {
  modelSuper()->init(self);
  auto* m = static_cast<Model*>(self);
  m->owner = nullptr;
  m->changed = modelChanged;
}

// ---- The layout item: the image view, or both views side by side.
vdialogItemClassRec* itemSuper() { return vdialogItemGetDefaultClass(); }

void layoutSetRect(vdialogItem* item, const vrect* rect) {
  itemSuper()->setRect(item, rect);
  vimageedtr* e = editorOfItem(item);
  if (!e || !e->imageView) return;
  vrect r = *rect;
  if (!e->hasMask || !e->maskView) {
    vdialogSetItemRect(e->imageView, &r);
    return;
  }
  int half = std::max(r.width / 2 - 5, 0);
  vrect left{r.x, r.y, s16(half), r.height};
  vrect right{s16(r.x + r.width - half), r.y, s16(half), r.height};
  vdialogSetItemRect(e->imageView, &left);
  vdialogSetItemRect(e->maskView, &right);
}

// ---- The preview item.
void previewDraw(vdialogItem* item) {
  auto* e = reinterpret_cast<vimageedtr*>(item->data);
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(item, 2));
  vdrawRectFill(item->rect.x, item->rect.y, item->rect.width, item->rect.height);
  vimage* shown = e && e->imageModel && e->imageModel->working ? vimgedGetDisplayImage(e->imageModel) : nullptr;
  if (shown) {
    vimage* mask = nullptr;
    if (e->hasMask && e->maskModel->working) {
      vimage* w = e->maskModel->working;
      if (!e->previewMask) e->previewMask = vimageCreateSized(w->width, w->height, 2);
      if (e->previewMask->width == w->width && e->previewMask->height == w->height) {
        vpixmapCopyPixels(w, e->previewMask);
        mask = e->previewMask;
      }
    }
    vimage* oldMask = shown->mask;
    std::uint16_t owns = shown->flags & vimageOWNS_MASK;
    if (mask) {
      shown->flags &= std::uint16_t(~vimageOWNS_MASK);
      shown->mask = mask;
    }
    vexGuard(
        [&] {
          // A one-bit image paints its zeros in the current colour: black,
          // as the editor shows them, not the ground just filled.
          vdrawSetColor(vcolorGetBlack());
          vdrawPathMoveTo(item->rect.x, item->rect.y + item->rect.height - shown->height);
          vdrawImage(shown);
        },
        [&](vexHandler&) {
          shown->mask = oldMask;
          shown->flags |= owns;
          vdrawGRestore();
          _vexGenerate(nullptr, vexEnd);
        });
    shown->mask = oldMask;
    shown->flags |= owns;
    if (e->pointerShown) {
      vdrawSetColor(vcolorGetBlack());
      vdrawSetDrawMode(10);
      vdrawRectsFrame(&e->frame, 1);
    }
  }
  vdrawGRestore();
}

// The frame is the part of the image the image view shows, centred on
// the pointer and kept inside the image.
void moveFrame(vdialogItem* item, vevent* ev) {
  auto* e = reinterpret_cast<vimageedtr*>(item->data);
  if (!e || !e->imageView) return;
  const vrect& o = e->imageView->origin;
  vrect image{item->rect.x, s16(item->rect.y + item->rect.height - e->imageModel->bounds.height),
              e->imageModel->bounds.width, e->imageModel->bounds.height};
  vrect f{s16(veventGetX(ev) - o.width / 2), s16(veventGetY(ev) - o.height / 2), o.width, o.height};
  vrect kept;
  vrectConstrain(&f, &image, &kept);
  e->frame = kept;
  e->pointerShown = 1;
  vdialogInvalItem(item, 0);
}

int previewDown(vdialogItem* item, vevent* ev) {
  moveFrame(item, ev);
  return 1;
}
int previewDrag(vdialogItem* item, vevent* ev) {
  moveFrame(item, ev);
  return 1;
}
int previewUp(vdialogItem* item, vevent* ev) {
  auto* e = reinterpret_cast<vimageedtr*>(item->data);
  if (!e || !e->pointerShown) return 1;
  moveFrame(item, ev);
  e->pointerShown = 0;
  // The frame's corner, in image pixels, is the views' new origin.
  int top = item->rect.y + item->rect.height - e->imageModel->bounds.height;
  vrect origin = e->imageView->origin;
  origin.x = s16(e->frame.x - item->rect.x);
  origin.y = s16(e->frame.y - top);
  vimgedviewSetOrigin(e->imageView, &origin);
  if (e->hasMask) vimgedviewSetOrigin(e->maskView, &origin);
  vdialogInvalItem(item, 0);
  return 1;
}

// The window closed by the user stops the models' reporting.
int previewClosing(vdialog* d, vevent*) {
  if (auto* e = reinterpret_cast<vimageedtr*>(d->data)) {
    for (vimged* m : {e->imageModel, e->maskModel})
      if (m) vimgedSetNotify(m, 0);
  }
  return 0;
}

// Keys typed in the preview are the editor's: its command keys work there.
int previewKeyDown(vwindow* w, vevent* ev) {
  auto* e = reinterpret_cast<vimageedtr*>(w->data);
  if (e && vwindowIsOpen(e)) return vwindowClassOf(e)->handleKeyDown(e, ev);
  return vdialogGetDefaultClass()->handleKeyDown(w, ev);
}

vdialogClassRec* previewDialogClass() {
  ModuleState* st = state();
  if (st->previewDialog) return st->previewDialog;
  auto* c = vclassSpawnOf<vdialogClassRec>(vdialogGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vimageedtrPreviewDialog"));
  c->handleKeyDown = previewKeyDown;
  return st->previewDialog = c;
}

vdialog* loadPreview(vimageedtr* e) {
  vresource dict = dictionary(), r = 0;
  if (!dict || !vresourceTestGet(dict, L("vimgedVirtualDialog"), &r)) return nullptr;
  auto* d = static_cast<vdialog*>(vinstanceCreate(previewDialogClass()));
  vdialogGetDefaultClass()->loadInit(d, r);
  vdialogItemList* list = d->items;
  int index = vobjectListIndexOfTag(list, L("UserItem"));
  vdialogItem* item = vdialogItemCreate(previewClass());
  if (index >= 0) {
    vdialogItem* loaded = vdialogItemListAt(list, index);
    item->tag = loaded->tag;
    vdialogSetItemRect(item, &loaded->rect);
    vobjectListSetAt(list, index, item);
    vinstanceDestroy(loaded);
  } else {
    vdialogAppendItem(d, item);
  }
  item->data = reinterpret_cast<std::intptr_t>(e);
  d->data = e;
  vdialogSetCloseHook(d, previewClosing);
  d->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  e->preview = d;
  e->previewItem = item;
  return d;
}

}  // namespace

namespace imgedtr {

vimgedviewClassRec* imageViewClass() {
  ModuleState* st = state();
  if (st->imageView) return st->imageView;
  auto* c = vclassSpawnOf<vimgedviewClassRec>(baseViewClass());
  vclassSetName(c, vscribeLiteral("vimageedtrImageView"));
  c->setTool = [](vimgedview* v, int tool) {
    baseViewClass()->setTool(v, tool);
    imageSetTool(v, tool);
  };
  c->setForeground = imageSetForeground;
  c->setBackground = imageSetBackground;
  return st->imageView = c;
}

vimgedviewClassRec* maskViewClass() {
  ModuleState* st = state();
  if (st->maskView) return st->maskView;
  auto* c = vclassSpawnOf<vimgedviewClassRec>(baseViewClass());
  vclassSetName(c, vscribeLiteral("vimageedtrMaskView"));
  return st->maskView = c;
}

vimgedClassRec* modelClass() {
  ModuleState* st = state();
  if (st->model) return st->model;
  auto* c = vclassSpawnOf<vimgedClassRec>(modelSuper());
  vclassSetName(c, vscribeLiteral("vimageedtrModel"));
  vclassSetInstanceSize(c, sizeof(Model));
  c->init = modelInit;
  c->setPalette = modelSetPalette;
  c->setImage = modelSetImage;
  c->setSelection = modelSetSelection;
  c->commitSelection = modelCommitSelection;
  return st->model = c;
}

vdialogItemClassRec* layoutClass() {
  ModuleState* st = state();
  if (st->layout) return st->layout;
  auto* c = vclassSpawnOf<vdialogItemClassRec>(itemSuper());
  vclassSetName(c, vscribeLiteral("vimageedtrLayout"));
  c->setRect = layoutSetRect;
  return st->layout = c;
}

vdialogItemClassRec* previewClass() {
  ModuleState* st = state();
  if (st->preview) return st->preview;
  auto* c = vclassSpawnOf<vdialogItemClassRec>(itemSuper());
  vclassSetName(c, vscribeLiteral("vimageedtrPreview"));
  c->draw = previewDraw;
  c->buttonDown = previewDown;
  c->drag = previewDrag;
  c->buttonUp = previewUp;
  return st->preview = c;
}

// ---- The location read-out.
void showLocation(vimageedtr* e, bool on) {
  for (int i = 0; i < vimageedtrLOC_COUNT; ++i)
    for (vdialogItem* item : {e->locLabels[i], e->locValues[i]}) {
      if (!item || ((item->flags & vdialogItemSHOWN) != 0) == on) continue;
      if (on) vdialogShowItem(item);
      else vdialogHideItem(item);
    }
}

void reportLocation(vimgedview* v, vpoint image, vpoint) {
  vimageedtr* e = editorOfItem(v);
  if (!e) return;
  // While a button is held the read-out measures from the press.
  vpoint p = (v->viewFlags & vimgedviewHELD) ? v->press : image;
  vimageedtrLocation l = vimageedtrComputeLocation(p, image);
  double values[] = {l.x, l.y, l.dx, l.dy, l.length, l.angle};
  for (int i = 0; i < vimageedtrLOC_COUNT; ++i) {
    if (!e->locValues[i]) continue;
    double rounded = std::round(values[i] * 100.0) / 100.0;
    vscribe* s = rounded == std::floor(rounded)
                     ? vnumScribeInteger(std::int32_t(rounded), vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 1, -1)
                     : vnumScribeFloat(rounded, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 1, 6);
    vdialogSetItemTitle(e->locValues[i], s);
  }
}

// ---- The preview window.
void togglePreview(vimageedtr* e) {
  if (e->preview && vwindowIsOpen(e->preview)) {
    closePreview(e);
    return;
  }
  if (!e->preview && !loadPreview(e)) return;
  vimgedSetNotify(e->imageModel, 1);
  sizePreview(e);
  placeBeside(e->preview, e);
  vwindowOpen(e->preview);
}

void closePreview(vimageedtr* e) {
  if (!e->preview || !vwindowIsOpen(e->preview)) return;
  vwindowClose(e->preview);
  for (vimged* m : {e->imageModel, e->maskModel})
    if (m) vimgedSetNotify(m, 0);
}

void sizePreview(vimageedtr* e) {
  if (!e->preview || !e->previewItem || !e->imageModel) return;
  int w = std::max<int>(e->imageModel->bounds.width, 16), h = std::max<int>(e->imageModel->bounds.height, 16);
  vrect r{0, 0, s16(w), s16(h)};
  vdialogSetItemRect(e->previewItem, &r);
  vwindowResize(e->preview, w, h);
  invalPreview(e);
}

void invalPreview(vimageedtr* e) {
  if (e->preview && e->previewItem && vwindowIsOpen(e->preview)) vdialogInvalItem(e->previewItem, 0);
}

void destroyPreview(vimageedtr* e) {
  if (!e->preview) return;
  if (vwindowIsOpen(e->preview)) vwindowClose(e->preview);
  e->preview->data = nullptr;
  vinstanceDestroy(e->preview);
  e->preview = nullptr;
  e->previewItem = nullptr;
}

}  // namespace imgedtr

vimageedtrLocation vimageedtrComputeLocation(vpoint p, vpoint q) {
  vimageedtrLocation l{};
  l.x = p.x + 1;
  l.y = p.y + 1;
  l.dx = q.x - p.x;
  l.dy = q.y - p.y;
  l.length = std::sqrt(l.dx * l.dx + l.dy * l.dy);
  if (l.dx != 0 || l.dy != 0) {
    l.angle = std::atan2(l.dy, l.dx) * 57.29577951308232;
    if (l.angle < 0) l.angle += 360;
  }
  return l;
}
