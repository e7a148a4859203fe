// Pixel buffers (device-independent bitmap rows, padded to 4 bytes, bottom
// row first) and native bitmaps made from them or read into them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/gui/graphics/image.h"
#include "fw/gui/window/window.h"
#include "platform/win.h"

struct vwindowMSWBits {
  std::uint8_t* data;     // none when the width or height is 0
  std::int32_t owner;     // the data goes with the buffer
  std::int32_t width, height;
  std::uint16_t depth;    // 1, 4, 8 or 24
  win::BITMAPINFO* info;  // its own description, or none (the shared template describes it)
  std::size_t rowBytes;
  std::size_t size;       // rowBytes x height
};

// Bytes of one row: whole bytes of pixels, rounded up to a multiple of 4.
// A negative width or a size that does not fit raises Arg/Range.
std::size_t vwindowMSWBitsRowBytes(int width, int depth);

// A buffer of the display's image depth (unless depth is 1), over data
// (not owned) or over rows of its own.
vwindowMSWBits* vwindowMSWCreateBits(int depth, int width, int height, void* data);
void vwindowMSWDestroyBits(vwindowMSWBits* bits);
// One pixel value of a buffer (a palette index, or 0x00RRGGBB at 24 bits),
// rows from the bottom.
std::uint32_t vwindowMSWBitsGet(const vwindowMSWBits* bits, int x, int y);
void vwindowMSWBitsSet(vwindowMSWBits* bits, int x, int y, std::uint32_t value);
// A buffer that carries its own description: 1, 4, 8 or 24 bits, the
// smallest that holds the image's depth, with a colour table of 2, 16 or
// 256 entries from the image's palette (none without one).
vwindowMSWBits* vwindowMSWCreateBitmapInfo(vimage* image, int width, int height, void* data);
// The description of a buffer: its own, or the shared template's filled in
// for it; given back with vwindowMSWReleaseBitsInfo.
win::BITMAPINFO* vwindowMSWGetBitsInfo(vwindowMSWBits* bits);
void vwindowMSWReleaseBitsInfo(win::BITMAPINFO* info);
// An entry of the shared template's colour table.
void vwindowMSWSetTemplateColor(int index, win::RGBQUAD color);

// A native bitmap of the buffer's pixels, made in hdc (null: a cached
// display context), with the display palette selected when asked.
win::HBITMAP vwindowMSWCreateBitmapFromBits(vwindowMSWBits* bits, win::HDC hdc, int palette);
win::HBITMAP vwindowMSWCreateCompatibleBitmap(win::HDC hdc, int width, int height);
// A new buffer of the smallest of 1, 4, 8 and 24 bits that holds depth,
// read from the bitmap, or (null bitmap) from hdc's area at (x, y).
vwindowMSWBits* vwindowGetMSWBitmap(win::HDC hdc, win::HBITMAP bitmap, int depth, int x, int y, int width,
                                    int height);
// The whole bitmap at its own depth.
vwindowMSWBits* vwindowMSWBitsFromBitmap(win::HBITMAP bitmap);

// Images. The native bitmap of an image, made on demand and kept with it.
win::HBITMAP vwindowMSWGetImageBitmap(vimage* image);
// An image of the bitmap's size and depth that keeps the bitmap; none for
// an empty bitmap.
vimage* vwindowMSWImageFromBitmap(win::HBITMAP bitmap);
// A bitmap resource as an image (module 0: the system's bitmaps), or null.
vimage* vwindowMSWLoadBitmapImage(win::HINSTANCE module, int id);
vimage* vwindowCreateDisplayImage(int width, int height);
// An image of an open window's size whose native side is the window, for
// copying from the screen.
vimage* vwindowMSWCreateWindowImage(vwindow* w);
// The native window of such an image, else null.
win::HWND vwindowMSWGetImageWindow(vimage* image);

// The shared template goes at the window system's shutdown.
void _vwindowMSWFreeBits();
