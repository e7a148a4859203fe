// Colour specifications in the RGB, HLS and CMY models, their interned
// records of tolerances, and the shared, counted colour objects that
// devices hang their representations on. Components are 0-65535, full
// scale 65535.
#pragma once
#include <cstdint>

#include "fw/core/resource.h"
#include "fw/gui/graphics/syncring.h"

struct vcolorModel;

// Shared by many specs: interned, one record per distinct content.
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

// The colour object: its spec (always RGB when interned) comes first, so
// every reading spec operation takes a colour too.
struct vcolor {
  vcolorSpec spec;
  vsyncRingEntry* representations;
  std::uint32_t unlisted;  // 1 while not in the shared table
  std::uint16_t count;     // vcolorPERMANENT and above never change
};

void vcolorStartup();
void _vcolorShutdown();

void vcolorInitSpec(vcolorSpec* spec);
void vcolorInitSpecInModel(vcolorSpec* spec, const vcolorModel* model);
vcolorSpec* vcolorCreateSpec();
vcolorSpec* vcolorCreateSpecInModel(const vcolorModel* model);
void vcolorDestroySpec(vcolorSpec* spec);
void vcolorCopySpec(const vcolorSpec* source, vcolorSpec* destination);
void vcolorCopyInitSpec(const vcolorSpec* source, vcolorSpec* destination);
vcolorSpec* vcolorCloneSpec(const vcolorSpec* spec);
void _vcolorSetSpecDefaultRecord(vcolorSpec* spec, const vcolorModel* model);
void vcolorConvertSpec(const vcolorSpec* spec, vcolorSpec* destination, const vcolorModel* model);
void vcolorSetSpecModel(vcolorSpec* spec, const vcolorModel* model);
inline const vcolorModel* vcolorGetSpecModel(const vcolorSpec* spec) { return spec->record->model; }

void vcolorSetSpecRGB(vcolorSpec* spec, unsigned red, unsigned green, unsigned blue);
void vcolorSetSpecHLS(vcolorSpec* spec, unsigned hue, unsigned lightness, unsigned saturation);
void vcolorSetSpecCMY(vcolorSpec* spec, unsigned cyan, unsigned magenta, unsigned yellow);
void vcolorGetSpecRGB(const vcolorSpec* spec, unsigned* red, unsigned* green, unsigned* blue);
void vcolorGetSpecHLS(const vcolorSpec* spec, unsigned* hue, unsigned* lightness, unsigned* saturation);
void vcolorGetSpecCMY(const vcolorSpec* spec, unsigned* cyan, unsigned* magenta, unsigned* yellow);
unsigned vcolorGetSpecRed(const vcolorSpec* spec);
unsigned vcolorGetSpecGreen(const vcolorSpec* spec);
unsigned vcolorGetSpecBlue(const vcolorSpec* spec);
unsigned vcolorGetSpecHue(const vcolorSpec* spec);
unsigned vcolorGetSpecLightness(const vcolorSpec* spec);
unsigned vcolorGetSpecSaturation(const vcolorSpec* spec);
unsigned vcolorGetSpecCyan(const vcolorSpec* spec);
unsigned vcolorGetSpecMagenta(const vcolorSpec* spec);
unsigned vcolorGetSpecYellow(const vcolorSpec* spec);
void vcolorGetSpecRGBFloat(const vcolorSpec* spec, double* red, double* green, double* blue);
void vcolorGetSpecHLSFloat(const vcolorSpec* spec, double* hue, double* lightness, double* saturation);
int vcolorSpecsEqual(const vcolorSpec* a, const vcolorSpec* b);  // by RGB value only

void vcolorSetSpecRGBDelta(vcolorSpec* spec, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecRGBSingleDelta(vcolorSpec* spec, unsigned d);
void vcolorSetSpecHLSDelta(vcolorSpec* spec, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecHLSSingleDelta(vcolorSpec* spec, unsigned d);
void vcolorSetSpecCMYDelta(vcolorSpec* spec, unsigned d1, unsigned d2, unsigned d3);
void vcolorSetSpecCMYSingleDelta(vcolorSpec* spec, unsigned d);
void vcolorSetSpecMaxDotDither(vcolorSpec* spec, unsigned n);

void vcolorLoadInitSpec(vcolorSpec* spec, vresource resource);
vcolorSpec* vcolorLoadSpec(vresource resource);
void vcolorStoreSpec(const vcolorSpec* spec, vresource resource);

vcolor* vcolorCreate();
vcolor* vcolorCreateInModel(const vcolorModel* model);
vcolor* vcolorInternSpec(const vcolorSpec* spec);
vcolor* vcolorLoad(vresource resource);
void vcolorRetain(vcolor* color);
void vcolorRelease(vcolor* color);
vcolor* vcolorGetBlack();
vcolor* vcolorGetWhite();
vsyncRingEntry* vcolorGetRepresentation(vcolor* color, const vsyncRingKind* kind);
// How many colours the shared table holds (black and white included).
int _vcolorCountShared();
