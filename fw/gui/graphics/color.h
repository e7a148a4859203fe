// Colour descriptions in the RGB, HLS and CMY models, their interned
// records of tolerances, and the shared, counted colour objects that
// devices hang their representations on. Components are 0-65535, full
// scale 65535.
//
// Colours (`color.h`): a `vcolorSpec` is an interned record pointer and three 16-bit components;
// records (model, kind, maximum dot dither, deltas) live in a small table searched linearly, built
// from a scratch record that is always the one spare, and are never changed in place. The three
// models are constant descriptors whose to- and from-lists hold the six conversions
// (`color_model.cpp`), written with the fractions c x k (k the double nearest 1/65535) and
// truncation back, exactly as the round trips need; HLS conversions fold the tolerances into one
// delta. Setters and getters in another model go through one scratch description per model. Shared
// colours (`color.cpp`) are in one array sorted by (red, green, blue, record) and found by
// bisection, so looking up an existing colour neither allocates nor searches linearly; black and
// white are permanent (count 64000), counts saturate there, and the last release frees the colour's
// representation ring, takes it out of the table and returns it to the pool. The module starts on
// the first call of any operation and registers its shutdown as an exit procedure, after which the
// next call starts it again. Descriptions are kept in resources under the "vcolor..." keys (older
// forms read too); a store removes the tolerance and dither keys it does not write, so a re-store
// leaves nothing stale.
#pragma once
#include <cstdint>

#include "fw/core/resource.h"
#include "fw/gui/graphics/syncring.h"

struct vcolorModel;

// Shared by many descriptions: interned, one record per distinct content.
struct vcolorSpecRecord {
  const vcolorModel* model;
  std::uint16_t kind;          // bits 0-3 the model code; bit 4 one delta (only delta 1 counts)
  std::uint16_t maxDotDither;  // 1, 4, 16 or 64 dots a cell; 0 never dithered
  std::uint16_t delta[3];
};

enum : std::uint16_t {
  vcolorRGB_CODE = 0,
  vcolorHLS_CODE = 1,
  vcolorCMY_CODE = 2,
  vcolorSINGLE_DELTA = 0x10,
  vcolorDELTA_TYPE_MASK = 0x1F,
  vcolorDEFAULT_DELTA = 16383,
  vcolorDEFAULT_MAX_DOT_DITHER = 4,
  vcolorPERMANENT = 64000,
};

struct vcolorSpec {
  vcolorSpecRecord* record;
  std::uint16_t component[3];  // RGB red, green, blue; HLS hue, lightness, saturation; CMY
};

using vcolorConversion = void (*)(const vcolorSpec* source, vcolorSpec* destination);
struct vcolorModelLink {
  const vcolorModel* model;
  vcolorConversion convert;
};
struct vcolorModel {
  std::uint16_t code;
  vcolorModelLink to[2];    // this model to the other two
  vcolorModelLink from[2];  // the other two to this one
  // Mixes b into a in this model: t = 0 leaves a, t = 1 gives b's colour.
  void (*blend)(vcolorSpec* a, double t, const vcolorSpec* b);
};
extern const vcolorModel vcolorRGBModel, vcolorHLSModel, vcolorCMYModel;

// The colour object: its description (always RGB when interned) comes first, so
// every reading description operation takes a colour too.
struct vcolor {
  vcolorSpec desc;
  vsyncRingEntry* representations;
  std::uint32_t unlisted;  // 1 while not in the shared table
  std::uint16_t count;     // vcolorPERMANENT and above never change
};

void vcolorStartup();
void _vcolorShutdown();

void vcolorInitSpec(vcolorSpec* desc);
void vcolorInitSpecInModel(vcolorSpec* desc, const vcolorModel* model);
vcolorSpec* vcolorCreateSpec();
vcolorSpec* vcolorCreateSpecInModel(const vcolorModel* model);
void vcolorDestroySpec(vcolorSpec* desc);
void vcolorCopySpec(const vcolorSpec* source, vcolorSpec* destination);
void vcolorCopyInitSpec(const vcolorSpec* source, vcolorSpec* destination);
vcolorSpec* vcolorCloneSpec(const vcolorSpec* desc);
void _vcolorSetSpecDefaultRecord(vcolorSpec* desc, const vcolorModel* model);
void vcolorConvertSpec(const vcolorSpec* desc, vcolorSpec* destination, const vcolorModel* model);
void vcolorSetSpecModel(vcolorSpec* desc, const vcolorModel* model);
inline const vcolorModel* vcolorGetSpecModel(const vcolorSpec* desc) { return desc->record->model; }

void vcolorSetSpecRGB(vcolorSpec* desc, unsigned red, unsigned green, unsigned blue);
void vcolorSetSpecHLS(vcolorSpec* desc, unsigned hue, unsigned lightness, unsigned saturation);
void vcolorSetSpecCMY(vcolorSpec* desc, unsigned cyan, unsigned magenta, unsigned yellow);
void vcolorGetSpecRGB(const vcolorSpec* desc, unsigned* red, unsigned* green, unsigned* blue);
void vcolorGetSpecHLS(const vcolorSpec* desc, unsigned* hue, unsigned* lightness, unsigned* saturation);
void vcolorGetSpecCMY(const vcolorSpec* desc, unsigned* cyan, unsigned* magenta, unsigned* yellow);
unsigned vcolorGetSpecRed(const vcolorSpec* desc);
unsigned vcolorGetSpecGreen(const vcolorSpec* desc);
unsigned vcolorGetSpecBlue(const vcolorSpec* desc);
unsigned vcolorGetSpecHue(const vcolorSpec* desc);
unsigned vcolorGetSpecLightness(const vcolorSpec* desc);
unsigned vcolorGetSpecSaturation(const vcolorSpec* desc);
unsigned vcolorGetSpecCyan(const vcolorSpec* desc);
unsigned vcolorGetSpecMagenta(const vcolorSpec* desc);
unsigned vcolorGetSpecYellow(const vcolorSpec* desc);
void vcolorGetSpecRGBFloat(const vcolorSpec* desc, double* red, double* green, double* blue);
void vcolorGetSpecHLSFloat(const vcolorSpec* desc, double* hue, double* lightness, double* saturation);
int vcolorSpecsEqual(const vcolorSpec* a, const vcolorSpec* b);  // by RGB value only

void vcolorSetSpecRGBDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecRGBSingleDelta(vcolorSpec* desc, unsigned d);
void vcolorSetSpecHLSDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecHLSSingleDelta(vcolorSpec* desc, unsigned d);
void vcolorSetSpecCMYDelta(vcolorSpec* desc, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecCMYSingleDelta(vcolorSpec* desc, unsigned d);
void vcolorSetSpecMaxDotDither(vcolorSpec* desc, unsigned n);

void vcolorLoadInitSpec(vcolorSpec* desc, vresource resource);
vcolorSpec* vcolorLoadSpec(vresource resource);
void vcolorStoreSpec(const vcolorSpec* desc, vresource resource);

vcolor* vcolorCreate();
vcolor* vcolorCreateInModel(const vcolorModel* model);
vcolor* vcolorInternSpec(const vcolorSpec* desc);
vcolor* vcolorLoad(vresource resource);
void vcolorRetain(vcolor* color);
void vcolorRelease(vcolor* color);
vcolor* vcolorGetBlack();
vcolor* vcolorGetWhite();
vsyncRingEntry* vcolorGetRepresentation(vcolor* color, const vsyncRingKind* kind);
// How many colours the shared table holds (black and white included).
int _vcolorCountShared();
