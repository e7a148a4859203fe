// X bitmap files: monochrome pictures as C source text, the bits of a row
// packed into bytes with the leftmost pixel in the least significant bit.
#pragma once

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

// A two-colour image (entry 0 white, 1 black), or none: no size lines, no
// bits array after them, a size outside 1-32767, or numbers cut short.
vimage* vimportXBM(const vfsPath* path);
// Images deeper than one bit are dithered first; 1 is written black.
void vimportWriteXBM(const vfsPath* path, vimage* image);
