// Descriptions, their records and the three colour models.
#include <cmath>

#include "fw/core/ex.h"
#include "fw/gui/graphics/color_internal.h"

namespace vcolorint {
State state;
}  // namespace vcolorint

using namespace vcolorint;

namespace {

// The double nearest 1/65535: component to fraction.
constexpr double kUnit = 1.5259021896696422e-05;

std::uint16_t toComponent(double fraction) { return static_cast<std::uint16_t>(std::trunc(fraction * 65535.0)); }

bool sameRecord(const vcolorSpecRecord& a, const vcolorSpecRecord& b) {
  if (a.model != b.model || a.kind != b.kind || a.maxDotDither != b.maxDotDither || a.delta[0] != b.delta[0])
    return false;
  return (a.kind & vcolorSINGLE_DELTA) || (a.delta[1] == b.delta[1] && a.delta[2] == b.delta[2]);
}

vcolorSpecRecord* spareRecord() { return static_cast<vcolorSpecRecord*>(vpoolAlloc(state.records)); }

// The record of a conversion into model: one delta, the source's single
// delta or the mean of its three.
vcolorSpecRecord singleDeltaRecord(const vcolorSpecRecord& source, const vcolorModel* model) {
  vcolorSpecRecord r = source;
  double v = (source.kind & vcolorDELTA_TYPE_MASK) == (vcolorSINGLE_DELTA | source.model->code)
                 ? source.delta[0] * kUnit
                 : (source.delta[0] * kUnit + source.delta[1] * kUnit + source.delta[2] * kUnit) * (1.0 / 3.0);
  r.model = model;
  r.kind = static_cast<std::uint16_t>((source.kind & ~vcolorDELTA_TYPE_MASK) | vcolorSINGLE_DELTA | model->code);
  r.delta[0] = toComponent(v);
  return r;
}
// The record of an RGB-CMY conversion: the same tolerances in the other model.
vcolorSpecRecord sameDeltaRecord(const vcolorSpecRecord& source, const vcolorModel* model) {
  vcolorSpecRecord r = source;
  r.model = model;
  r.kind = static_cast<std::uint16_t>((source.kind & ~0xFu) | model->code);
  return r;
}

void setComponents(vcolorSpec* desc, std::uint16_t c1, std::uint16_t c2, std::uint16_t c3) {
  desc->component[0] = c1;
  desc->component[1] = c2;
  desc->component[2] = c3;
}

void rgbToCmy(const vcolorSpec* s, vcolorSpec* d) {
  vcolorSpecRecord* r = internRecord(sameDeltaRecord(*s->record, &vcolorCMYModel));
  setComponents(d, std::uint16_t(65535 - s->component[0]), std::uint16_t(65535 - s->component[1]),
                std::uint16_t(65535 - s->component[2]));
  d->record = r;
}
void cmyToRgb(const vcolorSpec* s, vcolorSpec* d) {
  vcolorSpecRecord* r = internRecord(sameDeltaRecord(*s->record, &vcolorRGBModel));
  setComponents(d, std::uint16_t(65535 - s->component[0]), std::uint16_t(65535 - s->component[1]),
                std::uint16_t(65535 - s->component[2]));
  d->record = r;
}

void rgbToHls(const vcolorSpec* s, vcolorSpec* d) {
  double r = s->component[0] * kUnit, g = s->component[1] * kUnit, b = s->component[2] * kUnit;
  double max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b));
  double l = (max + min) * 0.5, h = 0.0, sat = 0.0;
  if (max != min) {
    double delta = max - min;
    sat = l <= 0.5 ? delta / (max + min) : delta / (2.0 - max - min);
    double rc = (max - r) / delta, gc = (max - g) / delta, bc = (max - b) / delta;
    h = rc == 0.0 ? bc - gc : gc == 0.0 ? 2.0 + rc - bc : bc == 0.0 ? 4.0 + gc - rc : 0.0;
    h = h * (1.0 / 6.0);
    if (h < 0.0) h = h + 1.0;
  }
  vcolorSpecRecord* rec = internRecord(singleDeltaRecord(*s->record, &vcolorHLSModel));
  setComponents(d, toComponent(h), toComponent(l), toComponent(sat));
  d->record = rec;
}

void hlsToRgb(const vcolorSpec* s, vcolorSpec* d) {
  double h = s->component[0] * kUnit, l = s->component[1] * kUnit, sat = s->component[2] * kUnit;
  double c = l <= 0.5 ? 2.0 * sat * l : 2.0 * sat * (1.0 - l);
  double m = l - 0.5 * c, r = m, g = m, b = m;
  if (c != 0.0) {
    double p = h * 6.0;
    if (p <= 1.0) {
      r = c + m, g = c * p + m;
    } else if (p <= 2.0) {
      r = (2.0 - p) * c + m, g = c + m;
    } else if (p <= 3.0) {
      g = c + m, b = (p - 2.0) * c + m;
    } else if (p <= 4.0) {
      g = (4.0 - p) * c + m, b = c + m;
    } else if (p <= 5.0) {
      r = (p - 4.0) * c + m, b = c + m;
    } else {
      r = c + m, b = (6.0 - p) * c + m;
    }
  }
  vcolorSpecRecord* rec = internRecord(singleDeltaRecord(*s->record, &vcolorRGBModel));
  setComponents(d, toComponent(r), toComponent(g), toComponent(b));
  d->record = rec;
}

void hlsToCmy(const vcolorSpec* s, vcolorSpec* d) {
  hlsToRgb(s, d);
  rgbToCmy(d, d);
}
void cmyToHls(const vcolorSpec* s, vcolorSpec* d) {
  cmyToRgb(s, d);
  rgbToHls(d, d);
}

// Components of description in model, by the model's scratch description when converting.
void componentsIn(const vcolorSpec* desc, const vcolorModel* model, unsigned* c) {
  const vcolorSpec* from = desc;
  if (desc->record->model != model) {
    vcolorSpec* scratch = &state.scratch[model->code];
    vcolorConvertSpec(desc, scratch, model);
    from = scratch;
  }
  for (int i = 0; i < 3; ++i) c[i] = from->component[i];
}

// Stores components given in model into description, which keeps its own model
// and record.
void setIn(vcolorSpec* desc, const vcolorModel* model, unsigned c1, unsigned c2, unsigned c3) {
  ensure();
  if (desc->record->model == model) {
    setComponents(desc, std::uint16_t(c1), std::uint16_t(c2), std::uint16_t(c3));
    return;
  }
  vcolorSpec* given = &state.scratch[model->code];
  setComponents(given, std::uint16_t(c1), std::uint16_t(c2), std::uint16_t(c3));
  vcolorSpec* own = &state.scratch[desc->record->model->code];
  vcolorConvertSpec(given, own, desc->record->model);
  setComponents(desc, own->component[0], own->component[1], own->component[2]);
}

template <const vcolorModel* M>
void blendIn(vcolorSpec* a, double t, const vcolorSpec* b) {
  unsigned ca[3], cb[3], out[3];
  componentsIn(a, M, ca);
  componentsIn(b, M, cb);
  for (int i = 0; i < 3; ++i) out[i] = static_cast<unsigned>(std::trunc(cb[i] * t + ca[i] * (1.0 - t)));
  setIn(a, M, out[0], out[1], out[2]);
}

void setDeltas(vcolorSpec* desc, const vcolorModel* model, int count, unsigned d1, unsigned d2, unsigned d3) {
  ensure();
  vcolorSetSpecModel(desc, model);
  vcolorSpecRecord r = *desc->record;
  r.kind = static_cast<std::uint16_t>((r.kind & ~vcolorDELTA_TYPE_MASK) | model->code |
                                      (count == 1 ? vcolorSINGLE_DELTA : 0));
  r.delta[0] = std::uint16_t(d1);
  if (count == 3) {
    r.delta[1] = std::uint16_t(d2);
    r.delta[2] = std::uint16_t(d3);
  }
  desc->record = internRecord(r);
}

}  // namespace

const vcolorModel vcolorRGBModel = {vcolorRGB_CODE,
                                    {{&vcolorHLSModel, rgbToHls}, {&vcolorCMYModel, rgbToCmy}},
                                    {{&vcolorHLSModel, hlsToRgb}, {&vcolorCMYModel, cmyToRgb}},
                                    blendIn<&vcolorRGBModel>};
const vcolorModel vcolorHLSModel = {vcolorHLS_CODE,
                                    {{&vcolorRGBModel, hlsToRgb}, {&vcolorCMYModel, hlsToCmy}},
                                    {{&vcolorRGBModel, rgbToHls}, {&vcolorCMYModel, cmyToHls}},
                                    blendIn<&vcolorHLSModel>};
const vcolorModel vcolorCMYModel = {vcolorCMY_CODE,
                                    {{&vcolorRGBModel, cmyToRgb}, {&vcolorHLSModel, cmyToHls}},
                                    {{&vcolorRGBModel, rgbToCmy}, {&vcolorHLSModel, hlsToCmy}},
                                    blendIn<&vcolorCMYModel>};

namespace vcolorint {

const vcolorModel* modelOf(int code) {
  static const vcolorModel* const models[3] = {&vcolorRGBModel, &vcolorHLSModel, &vcolorCMYModel};
  return code >= 0 && code < 3 ? models[code] : nullptr;
}

void requireModel(const vcolorModel* model) {
  if (!model || modelOf(model->code) != model) _vexGenerate(&vexArgClass, vexEnd);
}

vcolorSpecRecord* defaultRecord(const vcolorModel* model) {
  requireModel(model);
  return state.recordTable[model->code];
}

vcolorSpecRecord* internRecord(const vcolorSpecRecord& candidate) {
  *state.scratchRecord = candidate;
  for (vcolorSpecRecord* r : state.recordTable)
    if (sameRecord(*r, *state.scratchRecord)) return r;
  vcolorSpecRecord* made = state.scratchRecord;
  state.recordTable.push_back(made);
  state.scratchRecord = spareRecord();
  return made;
}

void startDescriptions() {
  state.descs = vpoolCreate(sizeof(vcolorSpec));
  state.colors = vpoolCreate(sizeof(vcolor));
  state.records = vpoolCreate(sizeof(vcolorSpecRecord));
  state.recordTable.reserve(10);
  for (int code = 0; code < 3; ++code) {
    vcolorSpecRecord* r = spareRecord();
    *r = {modelOf(code), std::uint16_t(vcolorSINGLE_DELTA | code), vcolorDEFAULT_MAX_DOT_DITHER,
          {vcolorDEFAULT_DELTA, vcolorDEFAULT_DELTA, vcolorDEFAULT_DELTA}};
    state.recordTable.push_back(r);
  }
  state.scratchRecord = spareRecord();
  for (int code = 0; code < 3; ++code) state.scratch[code] = {state.recordTable[std::size_t(code)], {0, 0, 0}};
}

void finishDescriptions() {
  for (vcolorSpec& s : state.scratch) s = {};
  state.recordTable.clear();
  state.recordTable.shrink_to_fit();
  state.scratchRecord = nullptr;
  vpoolDestroy(state.descs);
  vpoolDestroy(state.colors);
  vpoolDestroy(state.records);
  state.descs = state.colors = state.records = nullptr;
}

}  // namespace vcolorint

void vcolorInitSpec(vcolorSpec* desc) {
  ensure();
  *desc = {defaultRecord(&vcolorRGBModel), {0, 0, 0}};
}
void vcolorInitSpecInModel(vcolorSpec* desc, const vcolorModel* model) {
  vcolorInitSpec(desc);
  _vcolorSetSpecDefaultRecord(desc, model);
}
vcolorSpec* vcolorCreateSpec() {
  ensure();
  auto* s = static_cast<vcolorSpec*>(vpoolAlloc(state.descs));
  vcolorInitSpec(s);
  return s;
}
vcolorSpec* vcolorCreateSpecInModel(const vcolorModel* model) {
  vcolorSpec* s = vcolorCreateSpec();
  _vcolorSetSpecDefaultRecord(s, model);
  return s;
}
void vcolorDestroySpec(vcolorSpec* desc) {
  ensure();
  if (vpoolContains(state.descs, desc)) vpoolFree(state.descs, desc);
}
void vcolorCopySpec(const vcolorSpec* source, vcolorSpec* destination) {
  ensure();
  destination->record = source->record;
  setComponents(destination, source->component[0], source->component[1], source->component[2]);
}
void vcolorCopyInitSpec(const vcolorSpec* source, vcolorSpec* destination) {
  vcolorInitSpec(destination);
  vcolorCopySpec(source, destination);
}
vcolorSpec* vcolorCloneSpec(const vcolorSpec* desc) {
  vcolorSpec* s = vcolorCreateSpec();
  vcolorCopySpec(desc, s);
  return s;
}
void _vcolorSetSpecDefaultRecord(vcolorSpec* desc, const vcolorModel* model) {
  ensure();
  requireModel(model);
  if (desc->record->model != model) desc->record = defaultRecord(model);
}
void vcolorConvertSpec(const vcolorSpec* desc, vcolorSpec* destination, const vcolorModel* model) {
  ensure();
  requireModel(model);
  const vcolorModel* own = desc->record->model;
  if (own == model) {
    if (desc != destination) vcolorCopySpec(desc, destination);
    return;
  }
  for (const vcolorModelLink& link : own->to)
    if (link.model == model) return link.convert(desc, destination);
  _vexGenerate(&vexArgClass, vexEnd);
}
void vcolorSetSpecModel(vcolorSpec* desc, const vcolorModel* model) { vcolorConvertSpec(desc, desc, model); }

void vcolorSetSpecRGB(vcolorSpec* desc, unsigned red, unsigned green, unsigned blue) {
  setIn(desc, &vcolorRGBModel, red, green, blue);
}
void vcolorSetSpecHLS(vcolorSpec* desc, unsigned hue, unsigned lightness, unsigned saturation) {
  setIn(desc, &vcolorHLSModel, hue, lightness, saturation);
}
void vcolorSetSpecCMY(vcolorSpec* desc, unsigned cyan, unsigned magenta, unsigned yellow) {
  setIn(desc, &vcolorCMYModel, cyan, magenta, yellow);
}

namespace {
void getIn(const vcolorSpec* desc, const vcolorModel* model, unsigned* c1, unsigned* c2, unsigned* c3) {
  ensure();
  unsigned c[3];
  componentsIn(desc, model, c);
  *c1 = c[0];
  *c2 = c[1];
  *c3 = c[2];
}
unsigned oneIn(const vcolorSpec* desc, const vcolorModel* model, int i) {
  unsigned c[3];
  getIn(desc, model, &c[0], &c[1], &c[2]);
  return c[i];
}
}  // namespace

void vcolorGetSpecRGB(const vcolorSpec* desc, unsigned* red, unsigned* green, unsigned* blue) {
  getIn(desc, &vcolorRGBModel, red, green, blue);
}
void vcolorGetSpecHLS(const vcolorSpec* desc, unsigned* hue, unsigned* lightness, unsigned* saturation) {
  getIn(desc, &vcolorHLSModel, hue, lightness, saturation);
}
void vcolorGetSpecCMY(const vcolorSpec* desc, unsigned* cyan, unsigned* magenta, unsigned* yellow) {
  getIn(desc, &vcolorCMYModel, cyan, magenta, yellow);
}
unsigned vcolorGetSpecRed(const vcolorSpec* desc) { return oneIn(desc, &vcolorRGBModel, 0); }
unsigned vcolorGetSpecGreen(const vcolorSpec* desc) { return oneIn(desc, &vcolorRGBModel, 1); }
unsigned vcolorGetSpecBlue(const vcolorSpec* desc) { return oneIn(desc, &vcolorRGBModel, 2); }
unsigned vcolorGetSpecHue(const vcolorSpec* desc) { return oneIn(desc, &vcolorHLSModel, 0); }
unsigned vcolorGetSpecLightness(const vcolorSpec* desc) { return oneIn(desc, &vcolorHLSModel, 1); }
unsigned vcolorGetSpecSaturation(const vcolorSpec* desc) { return oneIn(desc, &vcolorHLSModel, 2); }
unsigned vcolorGetSpecCyan(const vcolorSpec* desc) { return oneIn(desc, &vcolorCMYModel, 0); }
unsigned vcolorGetSpecMagenta(const vcolorSpec* desc) { return oneIn(desc, &vcolorCMYModel, 1); }
unsigned vcolorGetSpecYellow(const vcolorSpec* desc) { return oneIn(desc, &vcolorCMYModel, 2); }

void vcolorGetSpecRGBFloat(const vcolorSpec* desc, double* red, double* green, double* blue) {
  unsigned c[3];
  getIn(desc, &vcolorRGBModel, &c[0], &c[1], &c[2]);
  *red = c[0] * kUnit;
  *green = c[1] * kUnit;
  *blue = c[2] * kUnit;
}
void vcolorGetSpecHLSFloat(const vcolorSpec* desc, double* hue, double* lightness, double* saturation) {
  unsigned c[3];
  getIn(desc, &vcolorHLSModel, &c[0], &c[1], &c[2]);
  *hue = c[0] * kUnit;
  *lightness = c[1] * kUnit;
  *saturation = c[2] * kUnit;
}
int vcolorSpecsEqual(const vcolorSpec* a, const vcolorSpec* b) {
  unsigned ca[3], cb[3];
  getIn(a, &vcolorRGBModel, &ca[0], &ca[1], &ca[2]);
  getIn(b, &vcolorRGBModel, &cb[0], &cb[1], &cb[2]);
  return ca[0] == cb[0] && ca[1] == cb[1] && ca[2] == cb[2];
}

void vcolorSetSpecRGBDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3) {
  setDeltas(desc, &vcolorRGBModel, 3, d1, d2, d3);
}
void vcolorSetSpecRGBSingleDelta(vcolorSpec* desc, unsigned d) { setDeltas(desc, &vcolorRGBModel, 1, d, 0, 0); }
void vcolorSetSpecHLSDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3) {
  setDeltas(desc, &vcolorHLSModel, 3, d1, d2, d3);
}
void vcolorSetSpecHLSSingleDelta(vcolorSpec* desc, unsigned d) { setDeltas(desc, &vcolorHLSModel, 1, d, 0, 0); }
void vcolorSetSpecCMYDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3) {
  setDeltas(desc, &vcolorCMYModel, 3, d1, d2, d3);
}
void vcolorSetSpecCMYSingleDelta(vcolorSpec* desc, unsigned d) { setDeltas(desc, &vcolorCMYModel, 1, d, 0, 0); }
void vcolorSetSpecMaxDotDither(vcolorSpec* desc, unsigned n) {
  ensure();
  if (desc->record->maxDotDither == n) return;
  vcolorSpecRecord r = *desc->record;
  r.maxDotDither = std::uint16_t(n);
  desc->record = internRecord(r);
}
