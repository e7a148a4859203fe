// Device contexts of windows and drawable bindings.
#include "fw/gui/window/mswdc.h"

#include "fw/core/ex.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswgdi.h"

namespace {

constexpr int SLOTS = 4;
constexpr const char* outOfDCs =
    "Out of Windows device contexts (DCs).This is probably caused by an unbalanced GSave/GRestore.";

// Selected in a cached context that gives up its bitmap to a binding.
win::HBITMAP placeholder = nullptr;

[[noreturn]] void raise(const vexClass* cls, const char* message, const char* procedure) {
  _vexGenerate(cls, vexSetMessage, message, vexSetProcedure, procedure, vexEnd);
}

vwindowMSWNative* nativeOf(vwindow* w, const char* procedure) {
  if (!w || !w->native) _vexGenerate(&vexArgClass, vexSetProcedure, procedure, vexEnd);
  return w->native;
}

bool isRoot(vwindow* w) { return w == vwindowGetRoot(); }

// Every hand-out for a real window starts from the same state.
win::HDC prepare(win::HDC hdc) {
  if (win::HPALETTE palette = _vwindowMSWGetGdiSetup()->palette) {
    win::SelectPalette(hdc, palette, 0);
    win::RealizePalette(hdc);
  }
  win::SetBkMode(hdc, win::TRANSPARENT);
  win::SetStretchBltMode(hdc, win::COLORONCOLOR);
  win::SelectClipRgn(hdc, nullptr);
  return hdc;
}

void clearMarks(void* owner, std::uint32_t bits) {
  if (owner) *static_cast<std::uint32_t*>(owner) &= ~bits;
}

void releaseExtra(vwindow* w, vwindowMSWNative* n, int i) {
  win::HDC hdc = n->dcs[i];
  n->dcs[i] = nullptr;
  n->dcOwners[i] = nullptr;
  if (isRoot(w)) {
    vwindowMSWReleaseCachedDC(hdc);
  } else if (!win::ReleaseDC(n->hwnd, hdc)) {
    raise(&vexReturnNullClass, "ReleaseDC failed", "vwindowReleaseMSWDC");
  }
}

}  // namespace

win::HDC vwindowGetMSWDC(vwindow* w, void* owner) {
  vwindowMSWNative* n = nativeOf(w, "vwindowGetMSWDC");
  bool root = isRoot(w);
  if (!root && !(n->flags & (vwindowMSW_PRIMARY_DC_USED | vwindowMSW_WINDOW_DC))) {
    if (!n->dcs[0]) {
      n->dcs[0] = vwindowMSWGdi.getDC(n->hwnd);
      if (!n->dcs[0]) raise(&vexReturnNullClass, "GetDC failed", "vwindowGetMSWDC");
    }
    n->flags |= vwindowMSW_PRIMARY_DC_USED;
    n->dcOwners[0] = owner;
    return prepare(n->dcs[0]);
  }
  for (int i = 1; i < SLOTS; ++i) {
    if (n->dcs[i]) continue;
    win::HDC hdc;
    if (root) {
      hdc = vwindowMSWAcquireCachedDC(0);
    } else {
      win::DWORD flags = win::DCX_CACHE | win::DCX_CLIPCHILDREN | win::DCX_CLIPSIBLINGS;
      if (n->flags & vwindowMSW_WINDOW_DC) flags |= win::DCX_WINDOW;
      hdc = vwindowMSWGdi.getDCEx(n->hwnd, nullptr, flags);
      if (!hdc) raise(&vexReturnNullClass, "GetDCEx failed", "vwindowGetMSWDC");
      prepare(hdc);
    }
    n->dcs[i] = hdc;
    n->dcOwners[i] = owner;
    return hdc;
  }
  raise(&vexModuleStateClass, outOfDCs, "vwindowGetMSWDC");
}

void vwindowReleaseMSWDC(vwindow* w, win::HDC hdc) {
  vwindowMSWNative* n = nativeOf(w, "vwindowReleaseMSWDC");
  if (hdc && hdc == n->dcs[0] && (n->flags & vwindowMSW_PRIMARY_DC_USED)) {
    // The context stays; its owner is forgotten so that a later release of
    // everything never marks a record that has gone.
    n->flags &= ~vwindowMSW_PRIMARY_DC_USED;
    n->dcOwners[0] = nullptr;
    return;
  }
  for (int i = 1; i < SLOTS; ++i)
    if (hdc && n->dcs[i] == hdc) return releaseExtra(w, n, i);
  raise(&vexModuleStateClass, "device context was not handed out by this window", "vwindowReleaseMSWDC");
}

void vwindowMSWReleaseAllDCs(vwindow* w, int both) {
  vwindowMSWNative* n = nativeOf(w, "vwindowMSWReleaseAllDCs");
  n->flags &= ~vwindowMSW_PRIMARY_DC_USED;
  clearMarks(n->dcOwners[0], both ? 3u : 1u);
  n->dcOwners[0] = nullptr;
  for (int i = 1; i < SLOTS; ++i) {
    if (!n->dcs[i]) continue;
    clearMarks(n->dcOwners[i], ~0u);
    releaseExtra(w, n, i);
  }
}

void vwindowMSWForgetDCOwner(vwindow* w, void* owner) {
  if (!w || !w->native) return;
  for (void*& o : w->native->dcOwners)
    if (o == owner) o = nullptr;
}

// ---- Drawable bindings.

void vwindowMSWInitDrawableDC(vwindowMSWDrawable* d) { *d = {}; }

void vwindowMSWSetDrawableBitmap(vwindowMSWDrawable* d, win::HBITMAP bitmap) {
  d->bitmap = bitmap;
  d->window = nullptr;
}

void vwindowMSWSetDrawableWindow(vwindowMSWDrawable* d, vwindow* w) {
  d->window = w;
  d->bitmap = nullptr;
}

void vwindowMSWSetDrawableDC(vwindowMSWDrawable* d, win::HDC preferred) { d->preferred = preferred; }

win::HDC vwindowMSWGetDrawableDC(vwindowMSWDrawable* d) {
  if (d->window) {
    nativeOf(d->window, "vwindowMSWGetDrawableDC");
    d->dc = vwindowGetMSWDC(d->window, nullptr);  // a binding has no mark word
    d->state = vwindowMSW_DRAWABLE_WINDOW;
    return d->dc;
  }
  if (!d->bitmap) _vexGenerate(&vexArgNullClass, vexSetProcedure, "vwindowMSWGetDrawableDC", vexEnd);
  if (d->preferred && win::GetCurrentObject(d->preferred, win::OBJ_BITMAP) == d->bitmap) {
    d->dc = d->preferred;
    d->state = vwindowMSW_DRAWABLE_PREFERRED;
    return d->dc;
  }
  // A bitmap can be selected into one context only: the cached context that
  // holds it gives it up for a placeholder.
  d->holder = _vwindowMSWFindCachedDCObject(d->bitmap);
  d->state = vwindowMSW_DRAWABLE_FRESH;
  if (d->holder) {
    if (!placeholder) placeholder = win::CreateBitmap(1, 1, 1, 1, nullptr);
    win::SelectObject(d->holder, placeholder);
    _vwindowMSWSetCachedDCObject(d->holder, nullptr);
    d->state = vwindowMSW_DRAWABLE_TAKEN;
  }
  d->dc = vwindowMSWAcquireCachedDC(1);
  d->previous = win::SelectObject(d->dc, d->bitmap);
  _vwindowMSWSetCachedDCObject(d->dc, d->bitmap);
  return d->dc;
}

void vwindowMSWReleaseDrawableDC(vwindowMSWDrawable* d) {
  if (!d->dc) return;
  win::HDC hdc = d->dc;
  d->dc = nullptr;
  switch (d->state) {
    case vwindowMSW_DRAWABLE_WINDOW:
      vwindowReleaseMSWDC(d->window, hdc);
      return;
    case vwindowMSW_DRAWABLE_PREFERRED:
      return;
    default:
      win::SelectObject(hdc, d->previous);
      vwindowMSWReleaseCachedDC(hdc);
      if (d->state == vwindowMSW_DRAWABLE_TAKEN) {
        win::SelectObject(d->holder, d->bitmap);
        _vwindowMSWSetCachedDCObject(d->holder, d->bitmap);
      }
      d->previous = nullptr;
      d->holder = nullptr;
  }
}

void _vwindowMSWFreeDrawables() {
  if (placeholder) win::DeleteObject(placeholder);
  placeholder = nullptr;
}
