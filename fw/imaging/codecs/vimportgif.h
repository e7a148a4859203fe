// GIF files (the first image read; version 87a written) and the
// variable-length LZW coder with GIF's conventions.
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
