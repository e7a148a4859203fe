// Portable bitmap, graymap and pixmap files, plain (P1, P2, P3) and raw
// (P4, P5, P6).
#pragma once

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

// P1/P4: two colours, 0 white, 1 black. P2/P5: 256 greys, entries in the
// order met. P3/P6: 24 bits without palette, samples as stored. None for
// a wrong magic, a size outside 1-32767, a maximum of 0 or above 255, a
// sample above the maximum, or a header number too large.
vimage* vimportPBM(const vfsPath* path);
// kind 0 P1, 1 P4, 2 P2, 3 P5, 4 P3, 5 P6.
void vimportWritePNM(const vfsPath* path, vimage* image, int kind);
