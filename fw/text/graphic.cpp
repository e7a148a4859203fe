#include "fw/text/graphic.h"

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"

namespace {

vtextGraphic* asGraphic(vinstance* o) { return static_cast<vtextGraphic*>(o); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }
vname key(const char* name) { return vnameInternLiteral(name); }

void graphicInit(vinstance* self) {
  super()->init(self);
  vtextGraphic* g = asGraphic(self);
  g->callback = nullptr;
  g->data = 0;
  g->style = nullptr;
  g->text = nullptr;
  g->descent = 0;
  g->flags = 0;
  g->width = g->height = 50;
}

void graphicCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vtextGraphic *from = asGraphic(source), *to = asGraphic(destination);
  to->callback = from->callback;
  to->data = from->data;
  to->width = from->width;
  to->height = from->height;
  to->descent = from->descent;
  to->flags = std::uint16_t((to->flags & ~vtextGraphicSTYLE_OWNS) | (from->flags & vtextGraphicSTYLE_OWNS));
}

void graphicCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void graphicLoadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  graphicInit(self);
  vtextGraphic* g = asGraphic(self);
  std::int32_t v = 0;
  if (vresourceTestGetInteger(resource, key("Width"), &v)) g->width = v;
  if (vresourceTestGetInteger(resource, key("Height"), &v)) g->height = v;
  if (vresourceTestGetInteger(resource, key("Descent"), &v)) g->descent = std::int16_t(v);
}

void graphicStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vtextGraphic* g = asGraphic(self);
  vresourceSetInteger(resource, key("Width"), g->width);
  vresourceSetInteger(resource, key("Height"), g->height);
  vresourceSetInteger(resource, key("Descent"), g->descent);
}

void graphicDraw(vtextGraphic* g) {
  if (g->callback) {
    auto* text = g->style ? reinterpret_cast<vtext*>(vtextRulerFindAttr(&g->style->attributes, key("Data"))) : g->text;
    g->callback(text, g->data, 0, vtextGRAPHIC_DRAW);
    return;
  }
  double x = 0, y = 0;
  vdrawGetCurrentPoint(&x, &y);
  vrectFloat box{float(x), float(y), float(g->width), float(g->height)};
  vdrawFrameRectsF(&box, 1);
}

void putStyle(vtextStyle* style, const char* name, const void* object, std::intptr_t integer) {
  vtextRulerPutAttr(vclassRec<vtextStyleClassRec>(style)->definitions, &style->attributes, key(name), object, integer);
}

}  // namespace

vtextGraphicClassRec* vtextGetGraphicClass() {
  vtextModule* m = _vtextModule();
  if (!m->graphicClass) {
    auto* c = vclassSpawnOf<vtextGraphicClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vtextGraphic"));
    c->instanceSize = sizeof(vtextGraphic);
    c->init = graphicInit;
    c->copy = graphicCopy;
    c->copyInit = graphicCopyInit;
    c->loadInit = graphicLoadInit;
    c->store = graphicStore;
    c->draw = graphicDraw;
    m->graphicClass = c;
  }
  return static_cast<vtextGraphicClassRec*>(m->graphicClass);
}

vtextGraphic* vtextGraphicCreate() { return asGraphic(vinstanceCreate(vtextGetGraphicClass())); }

std::int32_t vtextGraphicWidthOf(const vobject* object) {
  vclass* c = _vtextModule()->graphicClass;
  if (!object || !c || !vclassIsSubclass(object->cls, c)) return 0;
  return static_cast<const vtextGraphic*>(object)->width;
}

void vtextGraphicSetMetrics(vtextGraphic* g, std::int32_t width, std::int32_t height, std::int32_t descent) {
  if (width != -1) g->width = width;
  if (height != -1) g->height = height;
  if (descent != -1) g->descent = std::int16_t(descent);
  vtextStyle* style = g->style;
  if (!style) return;
  if (descent != -1) vtextStyleSetAttribute(style, key("Descent"), nullptr, descent);
  if (height != -1) {
    std::int32_t below = vtextRulerGetAttr(style, key("Descent"));
    vtextStyleSetAttribute(style, key("Ascent"), nullptr, height - (below == -1 ? 0 : below));
  }
}

void vtextInsertGraphic(vtext* text, vtextSelection* selection, vtextGraphic* graphic) {
  const vtextSpan range = _vtextClampedRange(text, selection);
  if (range.end > range.start) vtextDeleteSelection(text, selection);
  vtextStyle* style = vtextStyleCreate();
  putStyle(style, "Graphic", graphic, 0);
  putStyle(style, "Data", text, 0);
  putStyle(style, "Descent", nullptr, graphic->descent);
  putStyle(style, "Ascent", nullptr, graphic->height - graphic->descent);
  if (graphic->flags & vtextGraphicSTYLE_OWNS) style->flags |= vtextStyleOWNS_GRAPHIC;
  style->flags |= vtextStyleGRAPHIC | vtextStyleOWNED;
  vtextAddStyle(text, style);
  graphic->style = style;
  graphic->text = text;
  const std::int32_t at = _vtextClampedRange(text, selection).start;
  vtextInsertText(text, selection, "_", 1);
  vtextSetSelectionRange(text, selection, at, at + 1);
  vtextApplyStyle(text, at, at + 1, style);
  vtextModule* m = _vtextModule();
  m->words[0] |= vtextCHANGE_GRAPHIC;
  m->words[1] |= vtextCHANGE_GRAPHIC;
}

vtextGraphic* vtextInsertGraphicByCallback(vtext* text, vtextSelection* selection, vtextGraphicCallback callback,
                                           std::uintptr_t data) {
  vtextGraphic* g = vtextGraphicCreate();
  g->flags |= vtextGraphicSTYLE_OWNS;  // made here, so nobody else would free it
  g->callback = callback;
  g->data = data;
  vtextGraphicSetMetrics(g, callback(text, data, 0, vtextGRAPHIC_WIDTH), callback(text, data, 0, vtextGRAPHIC_HEIGHT),
                         callback(text, data, 0, vtextGRAPHIC_DESCENT));
  vtextInsertGraphic(text, selection, g);
  return g;
}

std::uintptr_t vtextGetStyleChangeWord(int which) { return _vtextModule()->words[which & 1]; }
