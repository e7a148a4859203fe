// The GDI half of the window layer: the shared cache of display and memory
// device contexts, least-recently-used caches of GDI objects with locking,
// recovery when the system runs out of GDI resources, and regions.
//
// - **The GDI half** (`mswgdi.h`: `mswcache.cpp`, `mswdccache.cpp`; `mswdc.h`/`mswdc.cpp`;
//   `mswbits.h`/`mswbits.cpp`). Every native creation that can fail for lack of resources goes
//   through the table `vwindowMSWGdi` (tests swap an entry to make it fail) and
//   `vwindowMSWCreateWithRecovery` (name, attempts, make): after each failure
//   `vwindowMSWRecoverResources` runs attempt 0 (flush this process's object caches), 1 (broadcast
//   "_vwindowMSWDestroyCachedObjects" with the root's native window as lParam) and, after the last,
//   2 (Return/Null "No Windows resources (" name ")"). Object caches are rings of entries by index
//   (head = most recently used, head's next = least), evicting from the least recently used toward
//   newer past locked objects. The DC cache has 13 slots probed from (handle / 4) mod 13, at most 12
//   cached, 5 kept idle; the reference display context is the first made, and memory contexts are
//   compatible with it. Window contexts: slot 0 (`GetDC`, kept while the native window lives, a kept
//   pop-up's with it), slots 1-3 (`GetDCEx`; the root's from the DC cache); every hand-out for a
//   real window is reset (palette, transparent, `COLORONCOLOR`, no clip); closing a native side
//   releases them all. An owner's first 32 bits are its mark word, and releasing the primary context
//   forgets its owner so that nothing marks a record that has gone. Drawable bindings record their
//   state (0 fresh memory context, 1 taken from the cached context that held the bitmap, 2 the
//   preferred context, 3 a window). Pixel buffers (`vwindowMSWBits`, pooled records) have rows of
//   ((width x depth + 7) / 8) rounded up to 4 bytes, sizes in `size_t`, a negative size raising
//   Arg/Range and an empty one holding no data; a buffer either carries its own `BITMAPINFO` (tables
//   of 2, 16 or 256 entries) or is described by the shared one-pixel template. Under the bitmap
//   workaround, 64 KB or more of pixels go into a compatible bitmap by `SetDIBits` bands of whole
//   rows of at most 64 KB. Images keep their native bitmap on their representation ring
//   (`vwindowMSWGetImageBitmap`, `vwindowMSWImageFromBitmap`); the description's image-to-bitmap
//   call has that name because `vwindowGetMSWBitmap` is the drivers' (context, bitmap, depth,
//   rectangle) -> buffer read.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win.h"

// What the window system's start-up tells this half of the layer.
struct vwindowMSWGdiSetup {
  win::HWND rootWindow;      // the root's native window: the broadcast names it
  win::HPALETTE palette;     // the display palette, or none
  int imageDepth;            // the display's image depth class
  int oldSystem;             // before version 4 and not NT
  int bitmapWorkaround;      // large device-independent bitmaps go in bands
  win::HMODULE auxLibrary;   // "vwex_aux" when it was loaded
};
vwindowMSWGdiSetup* _vwindowMSWGetGdiSetup();

// The native creations that can fail for lack of resources, called through
// this table so that a test can make one fail.
struct vwindowMSWGdiCalls {
  win::HDC (*createDC)(const char* driver, const char* device, const char* output, const void* mode);
  win::HDC (*createCompatibleDC)(win::HDC hdc);
  win::HRGN (*createRectRgn)(int left, int top, int right, int bottom);
  win::HBITMAP (*createCompatibleBitmap)(win::HDC hdc, int width, int height);
  win::HBITMAP (*createDIBitmap)(win::HDC hdc, const win::BITMAPINFOHEADER* header, win::DWORD init,
                                 const void* bits, const win::BITMAPINFO* info, win::UINT usage);
  int (*getDIBits)(win::HDC hdc, win::HBITMAP bitmap, win::UINT start, win::UINT lines, void* bits,
                   win::BITMAPINFO* info, win::UINT usage);
  win::HDC (*getDC)(win::HWND hwnd);
  win::HDC (*getDCEx)(win::HWND hwnd, win::HRGN clip, win::DWORD flags);
  win::DWORD (*getRegionData)(win::HRGN region, win::DWORD size, win::RGNDATA* data);
  win::BOOL (*deleteDC)(win::HDC hdc);
  win::HFONT (*createFont)(int height, int width, int escapement, int orientation, int weight, win::DWORD italic,
                           win::DWORD underline, win::DWORD strikeOut, win::DWORD charSet, win::DWORD outPrecision,
                           win::DWORD clipPrecision, win::DWORD quality, win::DWORD pitchAndFamily, const char* face);
  int (*setDIBits)(win::HDC hdc, win::HBITMAP bitmap, win::UINT start, win::UINT lines, const void* bits,
                   const win::BITMAPINFO* info, win::UINT usage);
};
extern vwindowMSWGdiCalls vwindowMSWGdi;
// The table as the platform gives it.
void _vwindowMSWResetGdiCalls();

// ---- Resource recovery.

// After a failed creation: attempt 0 flushes this process's object caches,
// 1 asks every framework process to flush theirs, 2 raises Return/Null with
// "No Windows resources (" name ")".
void vwindowMSWRecoverResources(int attempt, const char* name);
// The registered message of the broadcast.
win::UINT vwindowMSWDestroyCachedObjectsMessage();

// Calls make until it gives a handle, recovering between tries; the last
// failure of `attempts` raises.
template <class Make>
auto vwindowMSWCreateWithRecovery(const char* name, int attempts, Make make) {
  for (int attempt = 0;; ++attempt) {
    if (auto made = make()) return made;
    vwindowMSWRecoverResources(attempt + 1 >= attempts ? 2 : attempt, name);
  }
}

// ---- GDI object caches.

enum : std::uint16_t {
  vwindowMSW_OBJECT_NATIVE = 1,  // the native object exists
  vwindowMSW_OBJECT_CACHED = 8,
};

struct vwindowMSWCacheEntry;
// The head of a graphics object that a cache can hold.
struct vwindowMSWCachedObject {
  std::uint16_t flags;
  std::uint16_t locks;  // a locked object is never evicted
  vwindowMSWCacheEntry* entry;
};
// Deletes the object's native object.
using vwindowMSWDeleteProc = void (*)(vwindowMSWCachedObject* object);

struct vwindowMSWCacheEntry {
  vwindowMSWCachedObject* object;
  std::intptr_t value;
  vwindowMSWDeleteProc deleteProc;
  int previous, next;  // toward older entries, toward newer ones
};

// The most recently used entry is the head; the one after it is the least
// recently used.
struct vwindowMSWObjectCache {
  vwindowMSWCacheEntry* entries;
  vwindowMSWDeleteProc defaultDelete;
  int head;      // -1 when empty
  int freeHead;  // -1 when none is free
  int capacity;
  int used;
};

vwindowMSWObjectCache* vwindowMSWCreateObjectCache(int capacity, vwindowMSWDeleteProc deleteProc);
// Makes the object the most recently used, taking an entry (evicting the
// least recently used unlocked object) when it has none. Unless keep is
// set the entry's value becomes first (selector set) or second.
void vwindowMSWUseCachedObject(vwindowMSWObjectCache* cache, vwindowMSWCachedObject* object,
                               vwindowMSWDeleteProc deleteProc, std::intptr_t first, std::intptr_t second,
                               int selector, int cacheFlag, int keep);
void vwindowMSWFreeCachedObject(vwindowMSWObjectCache* cache, vwindowMSWCachedObject* object,
                                vwindowMSWDeleteProc deleteProc);
// Frees every cached object, newest first; with free the cache goes too.
void vwindowMSWFlushObjectCache(vwindowMSWObjectCache* cache, int free);
void vwindowMSWDestroyCachedObjects(int free);

// ---- The DC cache.

// A display context (memory 0) or a memory context compatible with the
// display, set to black text on white, transparent, COLORONCOLOR, no clip.
win::HDC vwindowMSWAcquireCachedDC(int memory);
void vwindowMSWReleaseCachedDC(win::HDC hdc);
// The object selected into a cached context, and the cached context that
// holds an object (null when none does).
void _vwindowMSWSetCachedDCObject(win::HDC hdc, win::HGDIOBJ object);
win::HDC _vwindowMSWFindCachedDCObject(win::HGDIOBJ object);
// Deletes every cached context (at shutdown).
void _vwindowMSWDestroyDCRegistry();

struct vwindowMSWDCCacheInfo {
  int cached;     // contexts in the cache
  int handedOut;  // of them, in use
  win::HDC reference;
};
vwindowMSWDCCacheInfo _vwindowMSWGetDCCacheInfo();
// The slot a context starts its probe at.
inline int _vwindowMSWDCSlot(win::HDC hdc) { return static_cast<int>((reinterpret_cast<std::uintptr_t>(hdc) / 4) % 13); }

// ---- Regions.

win::HRGN vwindowMSWCreateRectRgn(int left, int top, int right, int bottom);
// The region's data in the layer's scratch buffer (kept until the next
// call), or null when it cannot be read.
win::RGNDATA* vwindowMSWGetRegionData(win::HRGN region, win::DWORD* size);
