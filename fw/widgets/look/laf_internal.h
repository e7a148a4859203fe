// What the look's files share: the record under construction, the process
// start-up, the dictionary lookup, the system-colour binding and the
// pattern image.
#pragma once
#include "fw/widgets/look/laf.h"

namespace vlafint {

vlaf* current();
// Once per process: the dictionary's image arrays and the glyph hook.
void startProcess();
bool dictionary(vresource* out);
void bindSysColors(const vlaf* look);
// Image 58 made at least width x height, tiled from its first copy.
void enlargePattern(int width, int height);
// The pattern's first width x height pixels as an image of that size
// (kept until the look's images are dropped).
vimage* patternPiece(int width, int height);
void shutdownDrawing();
void shutdownColors();

}  // namespace vlafint
