// Device contexts of windows, and drawable bindings: a context from which
// either a window or a bitmap can be drawn or read.
#pragma once
#include <cstdint>

#include "fw/gui/window/window.h"
#include "platform/win.h"

// A context of the window for the owner (the drawing state that holds it):
// the primary one kept while the native window lives, else one of three
// extra ones. The root's come from the DC cache.
win::HDC vwindowGetMSWDC(vwindow* w, void* owner);
void vwindowReleaseMSWDC(vwindow* w, win::HDC hdc);
// Gives back every context of the window: the primary one is marked free
// and its owner's mark word loses bit 0 (and bit 1 with both); the extra
// ones are released and their owners' mark words cleared. An owner's first
// 32 bits are its mark word.
void vwindowMSWReleaseAllDCs(vwindow* w, int both);
// The owner no longer holds any of the window's contexts.
void vwindowMSWForgetDCOwner(vwindow* w, void* owner);

// How a binding got its context.
enum : std::int32_t {
  vwindowMSW_DRAWABLE_FRESH = 0,     // the bitmap in a memory context from the cache
  vwindowMSW_DRAWABLE_TAKEN = 1,     // ... taken from the cached context that held it
  vwindowMSW_DRAWABLE_PREFERRED = 2, // the bitmap was already in the preferred context
  vwindowMSW_DRAWABLE_WINDOW = 3,
};

struct vwindowMSWDrawable {
  vwindow* window;        // either a window
  win::HBITMAP bitmap;    // or a bitmap
  win::HDC preferred;
  win::HDC dc;            // while got
  win::HGDIOBJ previous;  // what the bitmap replaced in a cached context
  win::HDC holder;        // the cached context the bitmap was taken from
  std::int32_t state;
};

void vwindowMSWInitDrawableDC(vwindowMSWDrawable* d);
void vwindowMSWSetDrawableBitmap(vwindowMSWDrawable* d, win::HBITMAP bitmap);
void vwindowMSWSetDrawableWindow(vwindowMSWDrawable* d, vwindow* w);
void vwindowMSWSetDrawableDC(vwindowMSWDrawable* d, win::HDC preferred);
win::HDC vwindowMSWGetDrawableDC(vwindowMSWDrawable* d);
// Undoes exactly what the get did.
void vwindowMSWReleaseDrawableDC(vwindowMSWDrawable* d);

// The bitmaps the bindings keep go at the window system's shutdown.
void _vwindowMSWFreeDrawables();
