// The colour chooser's models: the full refresh that brings sliders,
// fields, labels, ramps, wheel and swatch in line with the working colour,
// the sliders' and fields' handlers per model, the ramps' palettes, the
// wheel's 72 colours and image, the plane's palette and pixels, and the
// pointer in the wheel item.
//
// - `colorchsr_model.cpp`: the full refresh, slider and field handlers by model (one handler
//   dispatching on the model rather than one per model), ramps (30-entry palettes over fixed
//   pixels), the 72 wheel colours and the wheel image (pies counted from +x toward +y, y upward, as
//   the pointer mapping), the plane (256-entry palette over fixed pixels; image rows count up). The
//   numbers are `colorchsr_scale.h`'s. The graphics layer's RGB-HLS conversion folds three deltas
//   into one distance, so the chooser puts the colour's deltas back after each conversion of its
//   own.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/colorchsr_scale.h"

namespace S = vcolorchsrScale;

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
bool isPlaneModel(const vcolorchsr* c) { return c->model == vcolorchsrRGB || c->model == vcolorchsrCMY; }
const vcolorModel* specModel(int model) {
  return model == vcolorchsrHLS ? &vcolorHLSModel : model == vcolorchsrCMY ? &vcolorCMYModel : &vcolorRGBModel;
}
void setInModel(vcolorSpec* s, const vcolorModel* m, const unsigned v[3]) {
  if (m == &vcolorHLSModel) vcolorSetSpecHLS(s, v[0], v[1], v[2]);
  else if (m == &vcolorCMYModel) vcolorSetSpecCMY(s, v[0], v[1], v[2]);
  else vcolorSetSpecRGB(s, v[0], v[1], v[2]);
}
void getInModel(const vcolorSpec* s, const vcolorModel* m, unsigned v[3]) {
  if (m == &vcolorHLSModel) vcolorGetSpecHLS(s, &v[0], &v[1], &v[2]);
  else if (m == &vcolorCMYModel) vcolorGetSpecCMY(s, &v[0], &v[1], &v[2]);
  else vcolorGetSpecRGB(s, &v[0], &v[1], &v[2]);
}

// The graphics layer's RGB-HLS conversion folds three deltas into one
// distance; switching the chooser's model must not change the colour's
// tolerance, so the deltas come back in the new model as they were.
void convertWorking(vcolorchsr* c, const vcolorModel* m) {
  vcolorSpec* s = &c->working;
  if (vcolorGetSpecModel(s) == m) return;
  vcolorSpecRecord before = *s->record;
  vcolorSetSpecModel(s, m);
  bool single = (before.kind & vcolorSINGLE_DELTA) != 0;
  if (m == &vcolorHLSModel) {
    if (single) vcolorSetSpecHLSSingleDelta(s, before.delta[0]);
    else vcolorSetSpecHLSDelta(s, before.delta[0], before.delta[1], before.delta[2]);
  } else if (m == &vcolorCMYModel) {
    if (single) vcolorSetSpecCMYSingleDelta(s, before.delta[0]);
    else vcolorSetSpecCMYDelta(s, before.delta[0], before.delta[1], before.delta[2]);
  } else {
    if (single) vcolorSetSpecRGBSingleDelta(s, before.delta[0]);
    else vcolorSetSpecRGBDelta(s, before.delta[0], before.delta[1], before.delta[2]);
  }
}

void setSlider(vcolorchsr* c, int i, int position) {
  if (c->sliders[i]) vcontrolSetValue(c->sliders[i], position);
}
void setField(vcolorchsr* c, int i, const std::string& text) {
  if (c->fields[i]) vtextitemSetTextChars(c->fields[i], text.c_str());
}
void enable(vdialogItem* item, bool on) {
  if (!item || ((item->flags & vdialogItemENABLED) != 0) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}

// HLS sliders and fields run lightness, hue, saturation; the colour's
// components hue, lightness, saturation.
constexpr int kHlsComponent[3] = {1, 0, 2};

std::string fieldText(vcolorchsr* c, int i) {
  unsigned v[3];
  _vcolorchsrComponents(c, v);
  switch (c->model) {
    case vcolorchsrHLS: return i == 1 ? S::degreesText(std::uint16_t(v[0])) : S::percentText(std::uint16_t(v[kHlsComponent[i]]));
    case vcolorchsrGRAY: return i == 0 ? S::percentText(std::uint16_t(v[0])) : std::string();
    default: return S::percentText(std::uint16_t(v[i]));
  }
}

// What follows a change of slider or field i once the colour is set.
void followUp(vcolorchsr* c, int i) {
  if (c->model == vcolorchsrHLS) {
    if (c->reformImages) _vcolorchsrRedrawRamps(c, i);
    _vcolorchsrBuildWheelColors(c);
    _vcolorchsrRedraw(c->swatch);
    _vcolorchsrRedraw(c->wheel);
  } else if (c->model == vcolorchsrGRAY) {
    _vcolorchsrRedraw(c->swatch);
  } else {
    if (c->reformImages) _vcolorchsrRedrawRamps(c, i);
    _vcolorchsrRedraw(c->swatch);
    int ax = 0, ay = 0, third = 0;
    _vcolorchsrPlaneAxes(c->plane, &ax, &ay, &third);
    if (third == i) _vcolorchsrBuildPlanePalette(c);
    _vcolorchsrRedraw(c->wheel);
  }
  setField(c, i, fieldText(c, i));
}

void setComponent(vcolorchsr* c, int i, std::uint16_t value) {
  unsigned v[3];
  _vcolorchsrComponents(c, v);
  if (c->model == vcolorchsrGRAY) v[0] = v[1] = v[2] = value;
  else v[c->model == vcolorchsrHLS ? kHlsComponent[i] : i] = value;
  _vcolorchsrSetComponents(c, v);
}

void writePalette(vimage* image, const vcolorModel* model, int count, unsigned (*entry)(int k, unsigned v[3], void* data),
                  void* data) {
  if (!image) return;
  vcolorList* palette = vimageGetPalette(image);
  if (!palette || int(palette->count) < count) vcolorListSetCount(palette, std::uint32_t(count));
  for (int k = 0; k < count; ++k) {
    unsigned v[3];
    entry(k, v, data);
    vcolorSpec* s = &palette->entries[k];
    vcolorSetSpecModel(s, model);
    setInModel(s, model, v);
    vcolorSetSpecModel(s, &vcolorRGBModel);
  }
  vcolorListChanged(palette);
  vpixmapMarkChanged(image);
}

struct RampData {
  vcolorchsr* c;
  int ramp;
  unsigned working[3];
};
unsigned rampEntry(int k, unsigned v[3], void* data) {
  auto* d = static_cast<RampData*>(data);
  vcolorchsr* c = d->c;
  bool reform = c->reformImages != 0;
  switch (c->model) {
    case vcolorchsrHLS: {
      int comp = kHlsComponent[d->ramp];
      if (reform) std::copy(d->working, d->working + 3, v);
      else if (d->ramp == 0) v[0] = 0, v[2] = 0;
      else if (d->ramp == 1) v[1] = 32767, v[2] = 65535;
      else v[0] = 0, v[1] = 32767;  // no meaningful lightness without reform: the middle one
      v[comp] = S::rampValue(k, d->ramp == 0);
      break;
    }
    case vcolorchsrGRAY: v[0] = v[1] = v[2] = S::rampValue(k, false); break;
    default:
      if (reform) std::copy(d->working, d->working + 3, v);
      else v[0] = v[1] = v[2] = 0;
      v[d->ramp] = S::rampValue(k, false);
  }
  return 0;
}

}  // namespace

void _vcolorchsrComponents(vcolorchsr* c, unsigned out[3]) {
  getInModel(&c->working, specModel(c->model == vcolorchsrGRAY ? vcolorchsrRGB : c->model), out);
}
void _vcolorchsrSetComponents(vcolorchsr* c, const unsigned in[3]) {
  const vcolorModel* m = specModel(c->model == vcolorchsrGRAY ? vcolorchsrRGB : c->model);
  convertWorking(c, m);
  setInModel(&c->working, m, in);
}

void _vcolorchsrPlaneAxes(int plane, int* x, int* y, int* third) {
  switch (plane) {
    case vcolorchsrRG_PLANE: *x = 0, *y = 1, *third = 2; break;
    case vcolorchsrRB_PLANE: *x = 0, *y = 2, *third = 1; break;
    default: *x = 2, *y = 1, *third = 0; break;
  }
}

void _vcolorchsrRefresh(vcolorchsr* c) {
  _vcolorchsrModelLabel(0);
  unsigned v[3];
  int positions[3];
  const vcolorModel* m = specModel(c->model == vcolorchsrGRAY ? vcolorchsrRGB : c->model);
  convertWorking(c, m);
  getInModel(&c->working, m, v);
  if (c->model == vcolorchsrGRAY) {
    std::uint16_t g = S::grayLevel(std::uint16_t(v[0]), std::uint16_t(v[1]), std::uint16_t(v[2]));
    v[0] = v[1] = v[2] = g;
    vcolorSetSpecRGB(&c->working, g, g, g);
    enable(c->wheel, false);
    for (int& p : positions) p = S::componentToSlider(g);
  } else {
    enable(c->wheel, true);
    if (isPlaneModel(c)) _vcolorchsrBuildPlanePalette(c);
    for (int i = 0; i < 3; ++i)
      positions[i] = S::componentToSlider(std::uint16_t(v[c->model == vcolorchsrHLS ? kHlsComponent[i] : i]));
  }
  for (int i = 0; i < 3; ++i) setSlider(c, i, positions[i]);
  _vcolorchsrRedrawRamps(c, -1);
  _vcolorchsrBuildWheelColors(c);
  for (int i = 0; i < 3; ++i)
    if (c->modelLabels[i])
      vdialogSetItemTitle(c->modelLabels[i], vscribeCString(_vcolorchsrModelLabel(3 * (c->model - 1) + i).c_str()));
  _vcolorchsrRefreshTolerance(c);
  vobjectAttributedOf(c)->refresh(c);
  bool gray = c->model == vcolorchsrGRAY;
  for (int i = 1; i < 3; ++i) {
    enable(c->sliders[i], !gray);
    enable(c->fields[i], !gray);
  }
  for (int i = 0; i < 3; ++i) _vcolorchsrRedraw(c->sliders[i]);
  _vcolorchsrRedraw(c->swatch);
  _vcolorchsrRedraw(c->wheel);
  _vcolorchsrWriteFields(c);
  _vcolorchsrRefreshMenus(c);
}

void _vcolorchsrWriteFields(vcolorchsr* c) {
  for (int i = 0; i < 3; ++i) setField(c, i, fieldText(c, i));
}

void _vcolorchsrSliderMoved(vcolorchsr* c, int i) {
  if (!c->sliders[i]) return;
  setComponent(c, i, S::sliderToComponent(c->sliders[i]->value));
  followUp(c, i);
}

void _vcolorchsrFieldCommitted(vcolorchsr* c, int i) {
  if (!c->fields[i]) return;
  double value = 0;
  vexTry([&] {
    char* text = vtextitemGetString(c->fields[i]);
    value = S::fieldNumber(text);
    vmemFree(text);
  });
  S::Field kind = c->model == vcolorchsrHLS ? (i == 1 ? S::Field::hue : S::Field::hlsPercent) : S::Field::percent;
  S::FieldValue fv = S::fromField(kind, value);
  setSlider(c, i, fv.position);
  _vcolorchsrRedraw(c->sliders[i]);
  setComponent(c, i, fv.component);
  followUp(c, i);
}

void _vcolorchsrRedrawRamps(vcolorchsr* c, int except) {
  int count = c->model == vcolorchsrGRAY ? 1 : 3;
  RampData d{c, 0, {}};
  _vcolorchsrComponents(c, d.working);
  const vcolorModel* m = specModel(c->model == vcolorchsrGRAY ? vcolorchsrRGB : c->model);
  for (int i = 0; i < count; ++i) {
    if (i == except) continue;
    d.ramp = i;
    writePalette(c->rampImages[i], m, 30, rampEntry, &d);
    _vcolorchsrRedraw(c->sliders[i]);
  }
}

void _vcolorchsrBuildRampPixels(vimage* image) {
  vpixmapCursor cur;
  vpixmapInitCursor(&cur, image);
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) vpixmapCursorSetAt(&cur, x, y, std::uint32_t(S::rampPixel(x, image->width)));
  vpixmapFinishCursor(&cur);
  vpixmapMarkChanged(image);
}

void _vcolorchsrBuildWheelColors(vcolorchsr* c) {
  if (!c->wheelColors) return;
  unsigned lightness = vcolorGetSpecLightness(&c->working);
  for (int ring = 0; ring < 4; ++ring)
    for (int k = 0; k < 18; ++k)
      vcolorSetSpecHLS(&c->wheelColors[ring * 18 + k], S::wheelHue(k), lightness, S::wheelSaturation(ring));
  _vcolorchsrDrawWheelImage(c);
}

void _vcolorchsrDrawWheelImage(vcolorchsr* c) {
  vimage* image = c->wheelImage;
  if (!image || !c->wheel) return;
  int s = image->width;
  vdrawGSave();
  vdrawBindImage(image, 0);
  // Without a background of its own the wheel lies on the dialog's: a
  // plain item's default would frame it in a square of another colour.
  bool own = c->wheel->attributes && c->wheel->attributes->background;
  vdrawSetColor(own ? vdialogGetItemColor(c->wheel, 2) : _vcolorchsrBackground(c));
  vdrawRectFill(0, 0, s, s);
  vdrawSetLineWidth(1.0);
  vrect outer{0, 0, s16(s), s16(s)}, r;
  vrectInset(&outer, 3, 3, &r);
  outer = r;
  int q = r.width / 2 / 4;
  if (vdialogItemIsEnabled(c->wheel)) {
    for (int ring = 0; ring < 4 && r.width > 0; ++ring) {
      for (int k = 0; k < 18; ++k) {
        vcolor* color = vcolorInternSpec(&c->wheelColors[ring * 18 + k]);
        vdrawSetColor(color);
        vdrawFillPies(&r, 1, 20 * k - 10, 20 * k + 10);
        vcolorRelease(color);
      }
      vrectInset(&r, q, q, &r);
    }
  } else {
    vdrawSetColor(vdialogGetItemColor(c->wheel, 0));
    double cx = r.x + r.width / 2.0, cy = r.y + r.height / 2.0, len = r.width / 2.0;
    for (int k = 0; k < 18; ++k) {
      double a = (10 + 20 * k) * 0.017453292519943295;
      vdrawPathMoveToF(cx, cy);
      vdrawLineToF(cx + len * std::cos(a), cy + len * std::sin(a));
      vdrawStroke();
    }
    for (int ring = 0; ring < 4 && r.width > 0; ++ring) {
      vdrawFrameArcs(&r, 1, 0, 360);
      vrectInset(&r, q, q, &r);
    }
  }
  vdrawSetColor(vdialogGetItemColor(c->wheel, 0));
  if (outer.width > 0) vdrawFrameArcs(&outer, 1, 0, 360);
  vdrawGRestore();
}

void _vcolorchsrBuildPlanePalette(vcolorchsr* c) {
  if (!isPlaneModel(c) || !c->planeImage) return;
  struct Data {
    int ax, ay, third;
    unsigned working[3];
  } d{};
  _vcolorchsrPlaneAxes(c->plane, &d.ax, &d.ay, &d.third);
  _vcolorchsrComponents(c, d.working);
  writePalette(c->planeImage, specModel(c->model), 256,
               [](int i, unsigned v[3], void* data) -> unsigned {
                 auto* p = static_cast<Data*>(data);
                 std::copy(p->working, p->working + 3, v);
                 v[p->ax] = S::planeStep(i & 15);
                 v[p->ay] = S::planeStep(i >> 4);
                 return 0;
               },
               &d);
  _vcolorchsrRedraw(c->wheel);
}

// Image rows count up the square, as the plane's Y does.
void _vcolorchsrBuildPlanePixels(vcolorchsr* c) {
  vimage* image = c->planeImage;
  if (!image) return;
  int s = image->width;
  vpixmapCursor cur;
  vpixmapInitCursor(&cur, image);
  for (int y = 0; y < s; ++y)
    for (int x = 0; x < s; ++x) {
      int p = S::planePixel(x, y, s);
      if (p >= 0) vpixmapCursorSetAt(&cur, x, y, std::uint32_t(p));
    }
  vpixmapFinishCursor(&cur);
  vpixmapMarkChanged(image);
  _vcolorchsrBuildPlanePalette(c);
}

int _vcolorchsrWheelPointer(vcolorchsr* c, int x, int y, int type) {
  if (!c->wheel || c->model == vcolorchsrGRAY) return 0;
  vrect sq = _vcolorchsrWheelSquare(c->wheel);
  bool press = type == veventBUTTON_DOWN;
  if (c->model == vcolorchsrHLS) {
    vrect r;
    vrectInset(&sq, 3, 3, &r);
    int rho = r.width / 2;
    int cx = r.x + rho, cy = r.y + r.height / 2;
    S::WheelPick pick = S::wheelAt(x - cx, y - cy, rho, press);
    if (!pick.taken) return 0;
    unsigned v[3];
    _vcolorchsrComponents(c, v);
    v[0] = pick.hue, v[2] = pick.saturation;
    _vcolorchsrSetComponents(c, v);
    if (c->reformImages) _vcolorchsrRedrawRamps(c, -1);
    setSlider(c, 1, S::componentToSlider(pick.hue));
    setSlider(c, 2, S::componentToSlider(pick.saturation));
  } else {
    if (sq.width <= 0) return 0;
    int ax = 0, ay = 0, third = 0;
    _vcolorchsrPlaneAxes(c->plane, &ax, &ay, &third);
    unsigned v[3];
    _vcolorchsrComponents(c, v);
    v[ax] = S::planeValue(x - sq.x, sq.width);
    v[ay] = S::planeValue(y - sq.y, sq.width);
    for (int i = 0; i < 3; ++i) setSlider(c, i, S::componentToSlider(std::uint16_t(v[i])));
    _vcolorchsrSetComponents(c, v);
    if (c->reformImages) _vcolorchsrRedrawRamps(c, -1);
  }
  _vcolorchsrRedraw(c->swatch);
  _vcolorchsrRedraw(c->wheel);
  if (type == veventBUTTON_UP) _vcolorchsrWriteFields(c);
  return 1;
}
