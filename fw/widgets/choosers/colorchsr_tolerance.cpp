// The colour chooser's tolerance panel: per-component deltas or one
// distance for the working colour, the dither menu, the paired toggles
// that switch between deltas and distance, and the six presets.
//
// - `colorchsr_tolerance.cpp` (deltas, distance, dither menu, presets 13-18), `colorchsr_names.cpp`
//   (the "namedcolordict" table read once per context from the user's store or the preferences, the
//   list's cell drawer, sorts), `colorchsr_native.cpp` (the system dialog under the Windows looks:
//   the platform's scripted `ChooseColorA` stand-in, `win::test::QueueColorAnswer`, whose answer may
//   wait on the platform clock; the hook passes every message to the framework's modal timer first,
//   so timers keep running).
#include <algorithm>
#include <cstdio>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/colorchsr_scale.h"
#include "fw/widgets/dialog/container.h"

namespace S = vcolorchsrScale;

namespace {

const char* const kTags[vcolorchsrT_COUNT] = {"Edit1",   "Edit2",     "Edit3",       "Stat1",    "Stat2",
                                              "Stat3",   "Slider1",   "Slider2",     "Slider3",  "DeltaBtn",
                                              "DistanceBtn", "DistEdit", "DistSlider", "DistLabel", "OptionMenu"};

vcontrol* control(vcolorchsr* c, int which) { return static_cast<vcontrol*>(c->tolerance[which]); }
vtextitem* field(vcolorchsr* c, int which) { return static_cast<vtextitem*>(c->tolerance[which]); }

bool single(const vcolorSpec* s) { return (s->record->kind & vcolorSINGLE_DELTA) != 0; }
int modelCode(const vcolorSpec* s) { return vcolorGetSpecModel(s)->code; }

void setDeltas(vcolorSpec* s, const unsigned d[3]) {
  switch (modelCode(s)) {
    case vcolorHLS_CODE: vcolorSetSpecHLSDelta(s, d[0], d[1], d[2]); break;
    case vcolorCMY_CODE: vcolorSetSpecCMYDelta(s, d[0], d[1], d[2]); break;
    default: vcolorSetSpecRGBDelta(s, d[0], d[1], d[2]);
  }
}
void setDistance(vcolorSpec* s, unsigned d) {
  switch (modelCode(s)) {
    case vcolorHLS_CODE: vcolorSetSpecHLSSingleDelta(s, d); break;
    case vcolorCMY_CODE: vcolorSetSpecCMYSingleDelta(s, d); break;
    default: vcolorSetSpecRGBSingleDelta(s, d);
  }
}
void readDeltas(const vcolorSpec* s, unsigned d[3]) {
  for (int i = 0; i < 3; ++i) d[i] = s->record->delta[i];
}

void setValue(vcolorchsr* c, int which, int value) {
  if (vcontrol* k = control(c, which)) vcontrolSetValue(k, value);
}
void setText(vcolorchsr* c, int which, const std::string& text) {
  if (vtextitem* f = field(c, which)) vtextitemSetTextChars(f, text.c_str());
}
void setEnabled(vcolorchsr* c, int which, bool on) {
  vdialogItem* item = c->tolerance[which];
  if (!item || ((item->flags & vdialogItemENABLED) != 0) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}
// The chosen toggle is held on, the other let off.
void hold(vcolorchsr* c, int on, int off) {
  if (vcontrol* k = control(c, on)) vcontrolSetMin(k, 1), vcontrolSetValue(k, 1);
  if (vcontrol* k = control(c, off)) vcontrolSetMin(k, 0), vcontrolSetValue(k, 0);
}
std::string percent(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

void toggled(vdialogItem* item, vevent*) {
  vcolorchsr* c = _vcolorchsrOf(item);
  auto* k = static_cast<vcontrol*>(item);
  if (!c || k->value != 1) return;
  vcolorSpec* s = &c->working;
  if (item == c->tolerance[vcolorchsrT_DELTA_BTN]) {
    hold(c, vcolorchsrT_DELTA_BTN, vcolorchsrT_DISTANCE_BTN);
    if (single(s)) {
      unsigned d = S::distanceToDelta(s->record->delta[0]);
      const unsigned three[3] = {d, d, d};
      setDeltas(s, three);
    }
  } else {
    hold(c, vcolorchsrT_DISTANCE_BTN, vcolorchsrT_DELTA_BTN);
    if (!single(s)) {
      unsigned d[3];
      readDeltas(s, d);
      setDistance(s, S::deltasToDistance(std::uint16_t(d[0]), std::uint16_t(d[1]), std::uint16_t(d[2])));
    }
  }
  _vcolorchsrRefreshTolerance(c);
}

void slid(vdialogItem* item, vevent*) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return;
  std::uint16_t value = S::sliderToComponent(static_cast<vcontrol*>(item)->value);
  if (item == c->tolerance[vcolorchsrT_DIST_SLIDER]) {
    setDistance(&c->working, value);
    setText(c, vcolorchsrT_DIST_EDIT, S::percentText(value));
  } else {
    int k = item == c->tolerance[vcolorchsrT_SLIDER1] ? 0 : item == c->tolerance[vcolorchsrT_SLIDER2] ? 1 : 2;
    unsigned d[3];
    readDeltas(&c->working, d);
    d[k] = value;
    setDeltas(&c->working, d);
    setText(c, vcolorchsrT_EDIT1 + k, S::percentText(value));
  }
  _vcolorchsrRedraw(c->swatch);
}

void ditherChosen(vdialogItem* item, vevent*) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return;
  vcolorSetSpecMaxDotDither(&c->working, unsigned(S::ditherOfEntry(static_cast<vcontrol*>(item)->value)));
  _vcolorchsrRedraw(c->swatch);
}

}  // namespace

void _vcolorchsrWireTolerance(vcolorchsr* c) {
  auto* panel = static_cast<vcontainer*>(c->tolerancePanel);
  vdialogItemList* list = panel->items;
  for (int i = 0; i < vcolorchsrT_COUNT; ++i) {
    bool numeric = i <= vcolorchsrT_EDIT3 || i == vcolorchsrT_DIST_EDIT;
    bool label = (i >= vcolorchsrT_STAT1 && i <= vcolorchsrT_STAT3) || i == vcolorchsrT_DIST_LABEL;
    // Used as its class from here on: another is a damaged template.
    const vclass* used = numeric ? static_cast<const vclass*>(vtextitemGetDefaultClass())
                         : label ? static_cast<const vclass*>(vdialogItemGetDefaultClass())
                                 : static_cast<const vclass*>(vcontrolGetDefaultClass());
    _vobjectListFindByTagOfClass(list, vnameInternLiteral(kTags[i]), used);
    int index = vobjectListIndexOfTag(list, vnameInternLiteral(kTags[i]));
    if (index < 0) continue;
    vdialogItem* item = vdialogItemListAt(list, index);
    if (numeric) {
      vtextitemClassRec* cls = _vcolorchsrFieldClass();
      auto* copy = static_cast<vdialogItem*>(vclassAllocInstance(cls));
      copy->cls = cls;
      cls->copyInit(item, copy);
      vobjectListSetAt(list, index, copy);
      vinstanceDestroy(item);
      item = copy;
    }
    vdialogSetItemData(item, reinterpret_cast<std::intptr_t>(c));
    c->tolerance[i] = item;
    if (i == vcolorchsrT_DELTA_BTN || i == vcolorchsrT_DISTANCE_BTN) vdialogSetItemNotify(item, toggled);
    else if (i == vcolorchsrT_DITHER_MENU) vdialogSetItemNotify(item, ditherChosen);
    else if ((i >= vcolorchsrT_SLIDER1 && i <= vcolorchsrT_SLIDER3) || i == vcolorchsrT_DIST_SLIDER)
      vdialogSetItemNotify(item, slid);
  }
}

void _vcolorchsrRefreshTolerance(vcolorchsr* c) {
  if (!c->tolerancePanel) return;
  const vcolorSpec* s = &c->working;
  int entry = S::ditherEntry(s->record->maxDotDither);
  if (entry >= 0) setValue(c, vcolorchsrT_DITHER_MENU, entry);
  static const char* const kLabels[3][3] = {{"R:", "G:", "B:"}, {"H:", "L:", "S:"}, {"C:", "M:", "Y:"}};
  int code = std::clamp(modelCode(s), 0, 2);
  for (int i = 0; i < 3; ++i)
    if (vdialogItem* stat = c->tolerance[vcolorchsrT_STAT1 + i]) vdialogSetItemTitle(stat, vscribeCString(kLabels[code][i]));
  bool distance = single(s);
  if (distance) {
    std::uint16_t d = s->record->delta[0];
    setValue(c, vcolorchsrT_DIST_SLIDER, S::componentToSlider(d));
    setText(c, vcolorchsrT_DIST_EDIT, S::percentText(d));
    hold(c, vcolorchsrT_DISTANCE_BTN, vcolorchsrT_DELTA_BTN);
  } else {
    unsigned d[3];
    readDeltas(s, d);
    for (int i = 0; i < 3; ++i) {
      setValue(c, vcolorchsrT_SLIDER1 + i, S::componentToSlider(std::uint16_t(d[i])));
      setText(c, vcolorchsrT_EDIT1 + i, S::percentText(std::uint16_t(d[i])));
    }
    hold(c, vcolorchsrT_DELTA_BTN, vcolorchsrT_DISTANCE_BTN);
  }
  for (int i = 0; i < 3; ++i)
    for (int which : {vcolorchsrT_EDIT1 + i, vcolorchsrT_STAT1 + i, vcolorchsrT_SLIDER1 + i}) setEnabled(c, which, !distance);
  for (int which : {vcolorchsrT_DIST_LABEL, vcolorchsrT_DIST_EDIT, vcolorchsrT_DIST_SLIDER}) setEnabled(c, which, distance);
}

void _vcolorchsrToleranceCommitted(vcolorchsr* c, vtextview* view) {
  int which = -1;
  for (int i : {vcolorchsrT_EDIT1, vcolorchsrT_EDIT2, vcolorchsrT_EDIT3, vcolorchsrT_DIST_EDIT})
    if (c->tolerance[i] == view) which = i;
  if (which < 0) return;
  double value = 0;
  vexTry([&] {
    char* text = vtextitemGetString(field(c, which));
    value = S::fieldNumber(text);
    vmemFree(text);
  });
  S::FieldValue fv = S::fromField(S::Field::percent, value);
  if (which == vcolorchsrT_DIST_EDIT) {
    setValue(c, vcolorchsrT_DIST_SLIDER, fv.position);
    setDistance(&c->working, fv.component);
  } else {
    int k = which - vcolorchsrT_EDIT1;
    unsigned d[3];
    readDeltas(&c->working, d);
    d[k] = fv.component;
    setDeltas(&c->working, d);
    setValue(c, vcolorchsrT_SLIDER1 + k, fv.position);
  }
  _vcolorchsrRedraw(c->swatch);
  setText(c, which, percent(fv.clamped));
}

void _vcolorchsrPreset(vcolorchsr* c, int command) {
  const S::Preset* p = S::presetFor(command);
  if (!p) return;
  vcolorSetSpecMaxDotDither(&c->working, unsigned(p->maxDotDither));
  const unsigned d[3] = {p->delta, p->delta, p->delta};
  setDeltas(&c->working, d);
  _vcolorchsrRefreshTolerance(c);
  _vcolorchsrRedraw(c->swatch);
}
