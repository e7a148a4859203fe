// Native cursors and icons of images: two representation kinds that share
// each other's handle (flag bit 1: borrowed, never destroyed here), made
// from the image's device bitmap and its mask.
#pragma once
#include "fw/gui/graphics/image.h"
#include "platform/win.h"

extern const vsyncRingKind vimageMSWCursorKind, vimageMSWIconKind;

// A cursor or icon of width x height from the image (resized copies
// anchored at the bottom left when the size differs), hot spot (x, y) with
// y counted from the bottom, clamped into the cursor; the caller owns it.
win::HICON _vimageMSWMakeCursorOrIcon(vimage* image, int width, int height, int hotX, int hotY, bool cursor);
// The image's cursor (system cursor size) and icon (system icon size),
// kept in its ring; one made before serves the other.
win::HCURSOR vimageMSWGetCursor(vimage* image, int hotX, int hotY);
win::HICON vimageMSWGetIcon(vimage* image);
// Forgets the image's kept cursor (and an icon that shares its handle), so
// that the next use makes one with the hot spot then given.
void vimageMSWDropCursor(vimage* image);
