// X bitmap files: monochrome pictures as C source text, the bits of a row
// packed into bytes with the leftmost pixel in the least significant bit.
//
// - `codecs/vimportxbm.h`: X bitmaps. The reader takes the whole file as text (at most
//   `winfile::kWholeFileLimit`, 256 MiB; no line or name
//   buffer to overflow), matches the define and array lines by their words, reads the numbers from
//   just after the array's name (so numbers on the array's own line count) and keeps no more of them
//   than the text can hold; a file without an array after its size lines gives no image. The writer
//   dithers deeper images first and writes a set bit for black: a one-bit image whose entry 1 is the
//   lighter (or without palette, 0 black) is written inverted. Numbers go through "NormalFormat",
//   "DecimalDigits" and "HexDigits"; the text is built whole and written through
//   `_vimportwinWriteReplacing`. `fuzz_xbm` checks reading and writing back.
#pragma once

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

// A two-colour image (entry 0 white, 1 black), or none: no size lines, no
// bits array after them, a size outside 1-32767, or numbers cut short.
vimage* vimportXBM(const vfsPath* path);
// Images deeper than one bit are dithered first; 1 is written black.
void vimportWriteXBM(const vfsPath* path, vimage* image);
