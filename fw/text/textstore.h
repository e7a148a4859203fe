// The text class's store and load-init: modes, characters, styles, style
// runs and the current style under the stored text's keys.
//
// - Stored texts (`textstore.h`): modes, characters ("Text" up to 256, else an opaque "TextData"
//   element a block), "Styles", "Style Tags" in serial order and "DefaultStyle"; loading also reads
//   the dictionary tag form and "StyleChanges" pairs, skips indexes out of range and empty elements
//   and clamps positions. Rulers likewise ("Rulers", "Ruler Tags", "DefaultRuler", the older
//   "RulerChanges" line pairs). An element of "TextData" ending inside a line joins the block
//   before, since a display line never crosses blocks. Copy clones the styles and rulers and
//   re-applies the runs in serial order. The `textload` fuzz target loads resource text as a text,
//   stores and loads it again and compares.
#pragma once
#include "fw/text/text.h"

void _vtextStore(vobject* self, vresource resource);
void _vtextLoadInit(vobject* self, vresource resource);
// The styles, current style and runs of from, as owned copies in to
// (whose characters are from's already).
void _vtextCopyStyles(vtext* from, vtext* to);
