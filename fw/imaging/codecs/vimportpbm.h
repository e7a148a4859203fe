// Portable bitmap, graymap and pixmap files, plain (P1, P2, P3) and raw
// (P4, P5, P6).
//
// - `codecs/vimportpbm.h`: portable maps P1-P6. The reader takes the whole file, so bytes missing at
//   the end of a raw file read as 0; a maximum of 0 or above 255, a sample above the maximum and a
//   header number beyond 31 bits give no image, so a graymap never needs more than its 256 entries.
//   The writer builds the text whole: samples of the plain variants are three zero-filled digits and
//   a blank ("007 "), a value past the palette is black, and one-bit output writes 1 for black
//   (`imgops::oneIsLight`, as the X bitmap writer). `fuzz_pnm` checks reading and writing back.
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
