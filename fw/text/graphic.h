// Graphics in a text: small objects that flow with the characters, each
// carried by one placeholder character whose style names it. A graphic
// draws itself through its owner's callback or, without one, as the
// outline of its box.
//
// - Graphics (`graphic.h`): a `vtextGraphic` (50 x 50, stored "Width", "Height", "Descent") is
//   inserted as one "_" whose listed style carries it ("Graphic", "Data", "Ascent", "Descent"); the
//   layout gives that character the graphic's width; drawing without a callback outlines its box at
//   the current point. A callback-made graphic belongs to its style; a copied text owns copies of
//   the graphics its source's styles owned.
#pragma once
#include <cstdint>

#include "fw/text/text.h"

struct vtextSelection;

// Codes of the callback: 0 draw at the current point; 1 width, 2 height,
// 3 descent in pixels. The text is the carrying style's "Data".
enum : int { vtextGRAPHIC_DRAW = 0, vtextGRAPHIC_WIDTH = 1, vtextGRAPHIC_HEIGHT = 2, vtextGRAPHIC_DESCENT = 3 };
using vtextGraphicCallback = std::int32_t (*)(vtext* text, std::uintptr_t data, std::intptr_t reserved, int code);

enum : std::uint16_t { vtextGraphicSTYLE_OWNS = 1 };  // the carrying style destroys it

struct vtextGraphic : vobject {
  vtextGraphicCallback callback;
  std::uintptr_t data;
  std::int32_t width, height;
  std::int16_t descent;
  std::uint16_t flags;
  vtextStyle* style;  // the style that carries it, once inserted
  vtext* text;
};

struct vtextGraphicClassRec : vobjectClassRec {
  void (*draw)(vtextGraphic* self);
};

vtextGraphicClassRec* vtextGetGraphicClass();
vtextGraphic* vtextGraphicCreate();
// -1 leaves a metric as it is; a carrying style follows the height and descent.
void vtextGraphicSetMetrics(vtextGraphic* graphic, std::int32_t width, std::int32_t height, std::int32_t descent);
inline void vtextGraphicDraw(vtextGraphic* graphic) { vclassRec<vtextGraphicClassRec>(graphic)->draw(graphic); }
// The width of a style's "Graphic" object: a graphic's, 0 for anything else.
std::int32_t vtextGraphicWidthOf(const vobject* object);

// Replaces the selection by one placeholder carrying the graphic.
void vtextInsertGraphic(vtext* text, vtextSelection* selection, vtextGraphic* graphic);
// A new graphic measured by its callback, inserted so.
vtextGraphic* vtextInsertGraphicByCallback(vtext* text, vtextSelection* selection, vtextGraphicCallback callback,
                                           std::uintptr_t data);
// The change mark an insertion leaves in the style module's change record.
inline constexpr std::uintptr_t vtextCHANGE_GRAPHIC = 0x40000000;
std::uintptr_t vtextGetStyleChangeWord(int which);
