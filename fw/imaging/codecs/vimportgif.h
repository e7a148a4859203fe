// GIF files (the first image read; version 87a written) and the
// variable-length LZW coder with GIF's conventions.
//
// - `codecs/vimportgif.h`, `codecs/lzw.cpp`: GIF files and the LZW coder. The coder keeps its tables
//   in the call (so it is re-entrant); the decoder is given the length of what was gathered and
//   stops at its end, at a first code after a clear that is no root, and at an undefined string;
//   with a full table it goes on without adding entries. The reader takes the whole file, refuses
//   minimum code sizes outside 2-8, merges equal table colours through the index map, ends the block
//   loop at the end of the file, and places rows in interlace order. The writer writes a one-bit
//   image's own two entries (black, white without palette), refuses depths above 8 and palettes
//   larger than 2^depth before writing, and takes the logical screen from the platform's screen size
//   until the window layer's root window exists. `fuzz_gif` checks reading and writing back;
//   `bench/gif_codec.cpp` (release, file included, 1024 x 768 8-bit): gradient with noise written in
//   about 11 ms and read in about 8 ms, pure noise 28 ms and 9 ms.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

// Decodes the buffer (the minimum code size, then the data bytes) into at
// most count pixel values handed to pixel(context, value); stops at the
// end code, at the buffer's end, at a code whose string is undefined and
// at a first code after a clear that is not a root code. The last code
// read, or -1 when the buffer ended.
int vlzwDecode(const std::uint8_t* buffer, std::size_t length, std::int64_t count, void* context,
               void (*pixel)(void* context, std::uint32_t value));
// Encodes count pixels from getPixel(source) (their low bits) into bytes
// for putByte(stream, byte), the code size first. Code sizes outside 1-12
// or a missing callback emit nothing.
void vlzwEncode(void* source, void* stream, int codeSize, std::int64_t count, std::uint32_t (*getPixel)(void* source),
                void (*putByte)(void* stream, std::uint32_t byte));

// The first image with its palette (equal table colours merged), or none.
vimage* vimportGIF(const vfsPath* path);
// Images of depth 1 to 8 with a palette of at most 2^depth entries (or a
// one-bit image without palette); other images raise Arg before a byte is
// written. The logical screen is the display's size.
void vimportWriteGIF(const vfsPath* path, vimage* image);
