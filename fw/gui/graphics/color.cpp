// Shared colours: the table sorted by value and record, reference counts,
// representations, the module's start and end, and descriptions in resources.
#include <algorithm>
#include <functional>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/sys.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/color_internal.h"

using namespace vcolorint;

namespace {

// The table's order: red, green, blue, then the record's identity.
int compare(const vcolorSpec& a, const vcolorSpec& b) {
  for (int i = 0; i < 3; ++i)
    if (a.component[i] != b.component[i]) return a.component[i] < b.component[i] ? -1 : 1;
  if (a.record == b.record) return 0;
  return std::less<const vcolorSpecRecord*>()(a.record, b.record) ? -1 : 1;
}

// Bisection: the index of the key, or where it belongs (found false).
std::size_t search(const vcolorSpec& key, bool* found) {
  std::size_t lo = 0, hi = state.table.size();
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    int c = compare(state.table[mid]->desc, key);
    if (c < 0) {
      lo = mid + 1;
    } else if (c > 0) {
      hi = mid;
    } else {
      *found = true;
      return mid;
    }
  }
  *found = false;
  return lo;
}

vcolor* makeColor(const vcolorModel* model) {
  auto* c = static_cast<vcolor*>(vpoolAlloc(state.colors));
  *c = {{defaultRecord(model), {0, 0, 0}}, nullptr, 1, 1};
  return c;
}

vcolor* permanent(unsigned level) {
  vcolor* c = makeColor(&vcolorRGBModel);
  c->desc.component[0] = c->desc.component[1] = c->desc.component[2] = std::uint16_t(level);
  c->count = vcolorPERMANENT;
  c->unlisted = 0;
  state.table.push_back(c);
  return c;
}

// ---- Resource keys.
enum Key {
  kType, kClass, kComponent1, kComponent2, kComponent3, kDeltaType, kDelta1, kDelta2, kDelta3, kMaxDotDither,
  kRGBDelta, kScrollX, kScrollY, kSelect, kKeys
};
constexpr const char* keyText[kKeys] = {
    "Type", "vcolorClass", "vcolorComponent1", "vcolorComponent2", "vcolorComponent3", "vcolorDeltaType",
    "vcolorDelta1", "vcolorDelta2", "vcolorDelta3", "vcolorMaxDotDither", "vcolorRGBDelta", "ScrollX",
    "ScrollY", "Select"};
vname keys[kKeys];
vname descTypeName;

// The store's find-integer operation: absence reads as 0.
bool find(vresource r, Key k, std::int32_t* out) {
  *out = 0;
  return vresourceRoute<vresourceSlotTestGetInteger, int>(r, keys[k], out) != 0;
}
std::int32_t read(vresource r, Key k) {
  std::int32_t v;
  find(r, k, &v);
  return v;
}

// The tolerance setters by delta type: 0-2 three deltas, 16-18 one.
using DeltaSetter = void (*)(vcolorSpec*, unsigned, unsigned, unsigned);
constexpr DeltaSetter deltaSetters[3][2] = {
    {vcolorSetSpecRGBDelta, [](vcolorSpec* s, unsigned d, unsigned, unsigned) { vcolorSetSpecRGBSingleDelta(s, d); }},
    {vcolorSetSpecHLSDelta, [](vcolorSpec* s, unsigned d, unsigned, unsigned) { vcolorSetSpecHLSSingleDelta(s, d); }},
    {vcolorSetSpecCMYDelta, [](vcolorSpec* s, unsigned d, unsigned, unsigned) { vcolorSetSpecCMYSingleDelta(s, d); }},
};
using ComponentSetter = void (*)(vcolorSpec*, unsigned, unsigned, unsigned);
constexpr ComponentSetter componentSetters[3] = {vcolorSetSpecRGB, vcolorSetSpecHLS, vcolorSetSpecCMY};

}  // namespace

void vcolorStartup() {
  if (state.started) return;
  state.started = true;
  for (int k = 0; k < kKeys; ++k) keys[k] = vnameInternLiteral(keyText[k]);
  descTypeName = vnameInternLiteral("vcolorSpec");
  _vsyncRingInitPool();
  startDescriptions();
  state.table.reserve(10);
  state.black = permanent(0);
  state.white = permanent(65535);
  vmoduleAddExitProc(_vcolorShutdown);
}

void _vcolorShutdown() {
  if (!state.started) return;
  while (!state.table.empty()) {
    vcolor* c = state.table.back();
    state.table.pop_back();
    c->count = 1;
    c->unlisted = 1;
    vcolorRelease(c);
  }
  state.table.shrink_to_fit();
  state.black = state.white = nullptr;
  finishDescriptions();
  state.started = false;
}

vcolor* vcolorCreate() { return vcolorCreateInModel(&vcolorRGBModel); }
vcolor* vcolorCreateInModel(const vcolorModel* model) {
  ensure();
  requireModel(model);
  return makeColor(model);
}

vcolor* vcolorInternSpec(const vcolorSpec* desc) {
  ensure();
  vcolorSpec* rgb = &state.scratch[vcolorRGB_CODE];
  vcolorConvertSpec(desc, rgb, &vcolorRGBModel);
  bool found;
  std::size_t at = search(*rgb, &found);
  if (found) {
    vcolorRetain(state.table[at]);
    return state.table[at];
  }
  vcolor* c = makeColor(&vcolorRGBModel);
  vcolorCopySpec(rgb, &c->desc);
  state.table.insert(state.table.begin() + std::ptrdiff_t(at), c);
  c->unlisted = 0;
  return c;
}

vcolor* vcolorLoad(vresource resource) {
  ensure();
  vcolorSpec desc;
  vcolorLoadInitSpec(&desc, resource);
  return vcolorInternSpec(&desc);
}

void vcolorRetain(vcolor* color) {
  ensure();
  if (color->count < vcolorPERMANENT) ++color->count;
}

void vcolorRelease(vcolor* color) {
  ensure();
  if (color->count < vcolorPERMANENT && --color->count == 0 && color->representations) {
    vsyncRingFree(color->representations);
    color->representations = nullptr;
  }
  if (color->count > 0) return;
  if (!color->unlisted) std::erase(state.table, color);
  if (vpoolContains(state.colors, color)) vpoolFree(state.colors, color);
}

vcolor* vcolorGetBlack() {
  ensure();
  return state.black;
}
vcolor* vcolorGetWhite() {
  ensure();
  return state.white;
}

vsyncRingEntry* vcolorGetRepresentation(vcolor* color, const vsyncRingKind* kind) {
  ensure();
  vsyncRingEntry* e = vsyncRingFind(color->representations, kind);
  if (e) return e;
  e = vsyncRingAdd(color->representations, kind, color);
  if (!color->representations) color->representations = e;
  return e;
}

int _vcolorCountShared() {
  ensure();
  return int(state.table.size());
}

// ---- Resources.

void vcolorStoreSpec(const vcolorSpec* desc, vresource resource) {
  ensure();
  const vcolorSpecRecord& r = *desc->record;
  requireModel(r.model);
  int type = r.kind & vcolorDELTA_TYPE_MASK;
  bool single = (type & vcolorSINGLE_DELTA) != 0;
  if ((type & 0xF) > vcolorCMY_CODE || (type & ~0x1F)) _vexGenerate(&vexArgClass, vexEnd);
  vresourceSetTag(resource, keys[kType], descTypeName);
  vresourceSetInteger(resource, keys[kClass], r.model->code);
  for (int i = 0; i < 3; ++i) vresourceSetInteger(resource, keys[kComponent1 + i], desc->component[i]);
  bool allDefault = r.delta[0] == vcolorDEFAULT_DELTA &&
                    (single || (r.delta[1] == vcolorDEFAULT_DELTA && r.delta[2] == vcolorDEFAULT_DELTA));
  // A store over an older description leaves none of its keys behind.
  if (allDefault) {
    vresourceRemoveIfPresent(resource, keys[kDeltaType]);
    for (int i = 0; i < 3; ++i) vresourceRemoveIfPresent(resource, keys[kDelta1 + i]);
  } else {
    vresourceSetInteger(resource, keys[kDeltaType], type);
    for (int i = 0; i < 3; ++i) {
      if (i == 0 || !single)
        vresourceSetInteger(resource, keys[kDelta1 + i], r.delta[i]);
      else
        vresourceRemoveIfPresent(resource, keys[kDelta1 + i]);
    }
  }
  if (r.maxDotDither != vcolorDEFAULT_MAX_DOT_DITHER)
    vresourceSetInteger(resource, keys[kMaxDotDither], r.maxDotDither);
  else
    vresourceRemoveIfPresent(resource, keys[kMaxDotDither]);
}

void vcolorLoadInitSpec(vcolorSpec* desc, vresource resource) {
  ensure();
  std::int32_t v;
  if (find(resource, kClass, &v)) {
    unsigned c[3];
    for (int i = 0; i < 3; ++i) c[i] = std::uint16_t(read(resource, Key(kComponent1 + i)));
    const vcolorModel* model = modelOf(v);
    if (!model) _vexGenerate(&vexArgClass, vexEnd);
    vcolorInitSpecInModel(desc, model);
    componentSetters[model->code](desc, c[0], c[1], c[2]);
    std::int32_t type;
    if (find(resource, kDeltaType, &type)) {
      unsigned d[3];
      for (int i = 0; i < 3; ++i) d[i] = std::uint16_t(read(resource, Key(kDelta1 + i)));
      int code = type & 0xF, single = (type & ~0xF) == vcolorSINGLE_DELTA;
      if (code > vcolorCMY_CODE || (type & ~0x1F) || (!single && type != code)) _vexGenerate(&vexArgClass, vexEnd);
      deltaSetters[code][single](desc, d[0], d[1], d[2]);
    }
  } else if (find(resource, kComponent1, &v)) {
    unsigned c1 = std::uint16_t(v), c2 = std::uint16_t(read(resource, kComponent2)),
             c3 = std::uint16_t(read(resource, kComponent3));
    vcolorInitSpec(desc);
    vcolorSetSpecRGB(desc, c1, c2, c3);
    if (find(resource, kRGBDelta, &v)) vcolorSetSpecRGBSingleDelta(desc, std::uint16_t(v));
  } else {
    vcolorInitSpec(desc);
    unsigned c[3];
    for (int i = 0; i < 3; ++i) c[i] = std::uint16_t(vresourceGetInteger(resource, keys[kScrollX + i]));
    vcolorSetSpecRGB(desc, c[0], c[1], c[2]);
    return;
  }
  if (find(resource, kMaxDotDither, &v)) vcolorSetSpecMaxDotDither(desc, std::uint16_t(v));
}

vcolorSpec* vcolorLoadSpec(vresource resource) {
  vcolorSpec* desc = vcolorCreateSpec();
  vexGuard([&] { vcolorLoadInitSpec(desc, resource); },
           [&](vexHandler&) {
             vcolorDestroySpec(desc);
             _vexGenerate(nullptr, vexEnd);
           });
  return desc;
}
