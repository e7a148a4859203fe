// Pixmaps and the window system's pixel buffers and native bitmaps: the
// pixels as a buffer (borrowed when the layouts agree) and back, and a
// native bitmap's pixels read back into its pixmap.
#pragma once
#include "fw/gui/graphics/pixmap.h"
#include "platform/win.h"

struct vwindowMSWBits;

// The Windows depth of a pixmap depth: 1, 4 (2-4), 8 (5-8) or 24.
int vpixmapMSWDepth(int depth);
// A buffer of the pixmap's pixels at its Windows depth, with its own
// colour table (an image's colour list, else a grey ramp); over the
// pixmap's own bytes when depth, row order, byte order and 4-byte row size
// agree.
vwindowMSWBits* vpixmapMSWToBits(vpixmap* pixmap);
// The buffer's pixels into the pixmap (of the same size).
void vpixmapMSWFromBits(vpixmap* pixmap, const vwindowMSWBits* bits);
// After drawing into the pixmap's native bitmap: the bitmap is the current
// form, read back into the pixels on their next lock.
void vpixmapMSWBitmapChanged(vpixmap* pixmap);
// The ring operation that reads a native bitmap entry into the pixels.
int _vpixmapMSWBitmapToPixels(vsyncRingEntry* bitmapEntry, vsyncRingEntry* pixelEntry);
