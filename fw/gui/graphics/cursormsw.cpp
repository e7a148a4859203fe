// Native cursors and icons of images.
#include "fw/gui/graphics/cursormsw.h"

#include <algorithm>
#include <vector>

#include "fw/core/ex.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswgdi.h"

namespace {

enum : std::uint16_t { BORROWED = 2 };

void freeCursor(vsyncRingEntry* e) {
  if (e->value && !(e->flags & BORROWED)) win::DestroyCursor(reinterpret_cast<win::HCURSOR>(e->value));
  e->value = 0;
}
void freeIcon(vsyncRingEntry* e) {
  if (e->value && !(e->flags & BORROWED)) win::DestroyIcon(reinterpret_cast<win::HICON>(e->value));
  e->value = 0;
}

// A pixmap of w x h: the image itself, or a copy resized from the bottom left.
vimage* sized(vimage* image, int w, int h, std::vector<vimage*>& temporaries) {
  if (!image || (image->width == w && image->height == h)) return image;
  auto* copy = static_cast<vimage*>(vobjectClone(image));
  temporaries.push_back(copy);
  vpixmapSetSize(copy, w, h, 21, 0);
  vpixmapMarkChanged(copy);
  return copy;
}

// A w x h bitmap of the display with a copy of source.
win::HBITMAP copyOf(win::HBITMAP source, int w, int h, bool mono) {
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  win::HBITMAP made = mono ? win::CreateBitmap(w, h, 1, 1, nullptr) : vwindowMSWCreateCompatibleBitmap(screen, w, h);
  vwindowMSWReleaseCachedDC(screen);
  win::HDC from = vwindowMSWAcquireCachedDC(1), to = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ oldTo = win::SelectObject(to, made);
  if (source) {
    win::HGDIOBJ oldFrom = win::SelectObject(from, source);
    win::BitBlt(to, 0, 0, w, h, from, 0, 0, win::SRCCOPY);
    win::SelectObject(from, oldFrom);
  } else {
    win::PatBlt(to, 0, 0, w, h, win::WHITENESS);
  }
  win::SelectObject(to, oldTo);
  vwindowMSWReleaseCachedDC(to);
  vwindowMSWReleaseCachedDC(from);
  return made;
}

void blit(win::HBITMAP target, int w, int h, win::HBITMAP source, win::DWORD rop) {
  win::HDC to = vwindowMSWAcquireCachedDC(1), from = source ? vwindowMSWAcquireCachedDC(1) : nullptr;
  win::HGDIOBJ oldTo = win::SelectObject(to, target);
  win::HGDIOBJ oldFrom = from ? win::SelectObject(from, source) : nullptr;
  win::BitBlt(to, 0, 0, w, h, from, 0, 0, rop);
  if (from) {
    win::SelectObject(from, oldFrom);
    vwindowMSWReleaseCachedDC(from);
  }
  win::SelectObject(to, oldTo);
  vwindowMSWReleaseCachedDC(to);
}

// The bit-array form when CreateIconIndirect cannot make it: AND mask and
// XOR image from the bitmaps' bits.
win::HICON fromBits(win::HBITMAP mask, win::HBITMAP color, int w, int h, int hotX, int hotY, bool cursor, bool hadMask) {
  win::BITMAP cb{}, mb{};
  win::GetObjectA(color, sizeof cb, &cb);
  win::GetObjectA(mask, sizeof mb, &mb);
  std::vector<win::BYTE> xorBits(static_cast<std::size_t>(cb.bmWidthBytes) * h), andBits;
  win::GetBitmapBits(color, static_cast<win::LONG>(xorBits.size()), xorBits.data());
  std::size_t maskRow = static_cast<std::size_t>(((w + 7) / 8 + 1) / 2 * 2);
  andBits.assign(maskRow * h, 0);
  if (hadMask) {
    std::vector<win::BYTE> m(static_cast<std::size_t>(mb.bmWidthBytes) * h);
    win::GetBitmapBits(mask, static_cast<win::LONG>(m.size()), m.data());
    for (std::size_t i = 0; i < andBits.size() && i < m.size(); ++i) andBits[i] = static_cast<win::BYTE>(~m[i]);
    if (cb.bmBitsPixel == 1)
      for (std::size_t i = 0; i < xorBits.size() && i < m.size(); ++i)
        xorBits[i] = static_cast<win::BYTE>(~xorBits[i] & m[i]);
  } else if (cb.bmBitsPixel == 1) {
    for (win::BYTE& b : xorBits) b = static_cast<win::BYTE>(~b);
  }
  win::HINSTANCE instance = win::GetModuleHandleA(nullptr);
  if (cursor) return win::CreateCursor(instance, hotX, hotY, w, h, andBits.data(), xorBits.data());
  return win::CreateIcon(instance, w, h, static_cast<win::BYTE>(cb.bmPlanes), static_cast<win::BYTE>(cb.bmBitsPixel),
                         andBits.data(), xorBits.data());
}

}  // namespace

const vsyncRingKind vimageMSWCursorKind{nullptr, freeCursor, nullptr, nullptr};
const vsyncRingKind vimageMSWIconKind{nullptr, freeIcon, nullptr, nullptr};

win::HICON _vimageMSWMakeCursorOrIcon(vimage* image, int w, int h, int hotX, int hotY, bool cursor) {
  std::vector<vimage*> temporaries;
  std::vector<win::HBITMAP> bitmaps;
  win::HICON made = nullptr;
  vexGuard(
      [&] {
        vimage* source = sized(image, w, h, temporaries);
        vimage* mask = sized(image->mask, w, h, temporaries);
        // The colour bitmap is a copy: the image's own stays as it is.
        win::HBITMAP color = copyOf(vcolorMSWGetPixmapBitmap(source), w, h, false);
        bitmaps.push_back(color);
        // The mask by its pixel values (1 opaque), whatever colours it lists.
        win::HBITMAP maskBits = mask ? _vdrawMSWMaskBitmap(mask) : nullptr;
        if (maskBits) bitmaps.push_back(maskBits);
        win::HBITMAP maskBitmap = copyOf(maskBits, w, h, true);
        bitmaps.push_back(maskBitmap);
        if (mask) blit(color, w, h, maskBitmap, win::SRCAND);  // transparent pixels become 0
        // The hot spot inside the cursor, y from the bottom of the resized
        // picture (the image's own rows sit at its bottom).
        int x = std::clamp(hotX, 0, w - 1);
        int y = std::clamp(source->height - hotY - 1, 0, h - 1);
        blit(maskBitmap, w, h, nullptr, win::DSTINVERT);  // 0 marks opaque pixels
        win::ICONINFO info{cursor ? 0 : 1, static_cast<win::DWORD>(x), static_cast<win::DWORD>(y), maskBitmap, color};
        made = win::CreateIconIndirect(&info);
        if (!made) made = fromBits(maskBitmap, color, w, h, x, y, cursor, mask != nullptr);
        blit(maskBitmap, w, h, nullptr, win::DSTINVERT);
      },
      [&](vexHandler&) {
        for (win::HBITMAP b : bitmaps) win::DeleteObject(b);
        for (vimage* t : temporaries) vimageDestroy(t);
        _vexGenerate(nullptr, vexEnd);
      });
  for (win::HBITMAP b : bitmaps) win::DeleteObject(b);
  for (vimage* t : temporaries) vimageDestroy(t);
  return made;
}

namespace {

win::HICON kept(vimage* image, const vsyncRingKind* kind, const vsyncRingKind* other, int w, int h, int hotX,
                int hotY, bool cursor) {
  vpixmapLockPixels(image);
  vsyncRingEntry* e = vsyncRingFind(image->store, kind);
  if (e && vsyncRingIsCurrent(e) && e->value) return reinterpret_cast<win::HICON>(e->value);
  if (!e) e = vsyncRingAdd(image->store, kind, image);
  kind->free(e);
  e->flags &= static_cast<std::uint16_t>(~BORROWED);
  // The other kind's handle serves as it is.
  vsyncRingEntry* o = vsyncRingFind(image->store, other);
  if (o && vsyncRingIsCurrent(o) && o->value) {
    e->value = o->value;
    e->flags |= BORROWED;
  } else {
    e->value = reinterpret_cast<std::intptr_t>(_vimageMSWMakeCursorOrIcon(image, w, h, hotX, hotY, cursor));
  }
  e->flags |= vsyncRingUP_TO_DATE;
  return reinterpret_cast<win::HICON>(e->value);
}

}  // namespace

win::HCURSOR vimageMSWGetCursor(vimage* image, int hotX, int hotY) {
  return kept(image, &vimageMSWCursorKind, &vimageMSWIconKind, win::GetSystemMetrics(win::SM_CXCURSOR),
              win::GetSystemMetrics(win::SM_CYCURSOR), hotX, hotY, true);
}

win::HICON vimageMSWGetIcon(vimage* image) {
  return kept(image, &vimageMSWIconKind, &vimageMSWCursorKind, win::GetSystemMetrics(win::SM_CXICON),
              win::GetSystemMetrics(win::SM_CYICON), 0, win::GetSystemMetrics(win::SM_CYICON) - 1, false);
}

void vimageMSWDropCursor(vimage* image) {
  if (!image->store) return;
  vsyncRingEntry* e = vsyncRingFind(image->store, &vimageMSWCursorKind);
  if (!e) return;
  vsyncRingEntry* icon = vsyncRingFind(image->store, &vimageMSWIconKind);
  if (icon && e->value && icon->value == e->value && (icon->flags & BORROWED)) {
    icon->value = 0;
    icon->flags &= static_cast<std::uint16_t>(~(unsigned(BORROWED) | unsigned(vsyncRingUP_TO_DATE)));
  }
  freeCursor(e);
  e->flags &= static_cast<std::uint16_t>(~(unsigned(BORROWED) | unsigned(vsyncRingUP_TO_DATE)));
}
