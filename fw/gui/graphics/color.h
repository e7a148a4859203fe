// Colour descriptions in the RGB, HLS and CMY models, their interned
// records of tolerances, and the shared, counted colour objects that
// devices hang their representations on. Components are 0-65535, full
// scale 65535.
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
