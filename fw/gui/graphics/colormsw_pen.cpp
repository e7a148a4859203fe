// Pens and brushes of colours, and the exclusive-or forms of colour pairs.
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/colormsw_internal.h"
#include "fw/gui/window/mswgdi.h"

vcolorXorAllocator _vcolorMSWGetXorAllocator();

namespace {

constexpr win::DWORD END_CAP_AND_JOIN = 0xFF00;

win::HPEN plainPen(win::DWORD style, win::DWORD width, win::COLORREF color) {
  return vwindowMSWCreateWithRecovery("PEN", 3,
                                      [&] { return win::CreatePen(static_cast<int>(style), static_cast<int>(width), color); });
}

// Private copies of colours that stand more than once in an exclusive-or
// table, kept until exit.
std::vector<vcolor*>& privateCopies() {
  static std::vector<vcolor*> copies;
  static bool registered = false;
  if (!registered) {
    registered = true;
    vmoduleAddExitProc([] {
      for (vcolor* c : privateCopies()) vcolorRelease(c);
      privateCopies().clear();
      privateCopies().shrink_to_fit();
    });
  }
  return copies;
}

// Paints an 8 x 8 bitmap with a colour's pattern or solid brush.
void paint(win::HDC memory, vcolor* color, win::DWORD blitRop, win::DWORD patRop) {
  vcolorMSWDeviceForm form = vcolorMSWGetDeviceForm(color);
  if (form.pattern) {
    win::HDC source = vwindowMSWAcquireCachedDC(1);
    win::HGDIOBJ old = win::SelectObject(source, form.pattern);
    win::BitBlt(memory, 0, 0, 8, 8, source, 0, 0, blitRop);
    win::SelectObject(source, old);
    vwindowMSWReleaseCachedDC(source);
    return;
  }
  win::HGDIOBJ old = win::SelectObject(memory, vcolorMSWGetBrush(color));
  win::PatBlt(memory, 0, 0, 8, 8, patRop);
  win::SelectObject(memory, old);
}

}  // namespace

win::HPEN _vcolorMSWCreatePen(win::COLORREF color, win::DWORD style, win::DWORD fallbackStyle, win::DWORD width,
                              win::DWORD dashCount, const win::DWORD* dashes, win::HBITMAP pattern, int allowFallback) {
  win::LOGBRUSH brush{win::BS_SOLID, color, 0};
  bool geometric = pattern || width >= 2 || (dashCount && dashes);
  if (pattern) brush = {win::BS_PATTERN, 0, reinterpret_cast<win::ULONG_PTR>(pattern)};
  if (geometric) {
    style |= win::PS_GEOMETRIC;
  } else {
    style &= ~END_CAP_AND_JOIN;
    width = 1;
  }
  bool plain = !geometric && (style & win::PS_STYLE_MASK) < win::PS_USERSTYLE;
  win::DWORD fallback = (style & win::PS_STYLE_MASK) < win::PS_USERSTYLE ? style & win::PS_STYLE_MASK : fallbackStyle;
  if (plain) return plainPen(fallback, width, color);
  auto extended = [&] { return win::ExtCreatePen(style, width, &brush, dashCount, dashCount ? dashes : nullptr); };
  if (!allowFallback) return vwindowMSWCreateWithRecovery("PEN", 3, extended);
  if (win::HPEN pen = extended()) return pen;
  return plainPen(fallback, width, color);
}

win::HBRUSH _vcolorMSWCreateBrush(win::HBITMAP pattern, win::COLORREF color) {
  return vwindowMSWCreateWithRecovery("BRUSH", 3, [&] {
    return pattern ? win::CreatePatternBrush(pattern) : win::CreateSolidBrush(color);
  });
}

win::HBRUSH vcolorMSWGetBrush(vcolor* color) {
  vsyncRingEntry* e = vcolorGetRepresentation(color, &vcolorMSWBrushKind);
  if (!vcolormsw::isCurrent(e) || !e->value) {
    vcolorMSWDeviceForm form = vcolorMSWGetDeviceForm(color);
    if (e->value) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
    e->value = 0;
    e->value = reinterpret_cast<std::intptr_t>(_vcolorMSWCreateBrush(form.pattern, form.pixel));
    vcolormsw::markCurrent(e);
  }
  return reinterpret_cast<win::HBRUSH>(e->value);
}

win::HPEN vcolorMSWGetPen(vcolor* color) {
  vsyncRingEntry* e = vcolorGetRepresentation(color, &vcolorMSWPenKind);
  if (!vcolormsw::isCurrent(e) || !e->value) {
    vcolorMSWDeviceForm form = vcolorMSWGetDeviceForm(color);
    if (e->value) win::DeleteObject(reinterpret_cast<win::HGDIOBJ>(e->value));
    e->value = 0;
    e->value = reinterpret_cast<std::intptr_t>(
        _vcolorMSWCreatePen(form.pixel, win::PS_SOLID, win::PS_SOLID, 1, 0, nullptr, form.pattern, 1));
    vcolormsw::markCurrent(e);
  }
  return reinterpret_cast<win::HPEN>(e->value);
}

vcolorMSWXor vcolorMSWXorPattern(vcolor* first, vcolor* second) {
  vcolorMSWDeviceForm a = vcolorMSWGetDeviceForm(first), b = vcolorMSWGetDeviceForm(second);
  if (!a.pattern && !b.pattern) {
    constexpr win::COLORREF RELATIVE = 0x01000000;
    if ((a.pixel & RELATIVE) && (b.pixel & RELATIVE)) return {((a.pixel ^ b.pixel) & 0xFFFF) | RELATIVE, nullptr};
    return {a.pixel ^ b.pixel, nullptr};
  }
  win::HDC screen = vwindowMSWAcquireCachedDC(0);
  win::HBITMAP bitmap = nullptr;
  vexGuard([&] { bitmap = vwindowMSWCreateWithRecovery("BITMAP", 3, [&] { return win::CreateCompatibleBitmap(screen, 8, 8); }); },
           [&](vexHandler&) {
             vwindowMSWReleaseCachedDC(screen);
             _vexGenerate(nullptr, vexEnd);
           });
  vwindowMSWReleaseCachedDC(screen);
  win::HDC memory = vwindowMSWAcquireCachedDC(1);
  win::HGDIOBJ old = win::SelectObject(memory, bitmap);
  paint(memory, first, win::SRCCOPY, win::PATCOPY);
  paint(memory, second, win::SRCINVERT, win::PATINVERT);
  win::SelectObject(memory, old);
  vwindowMSWReleaseCachedDC(memory);
  return {0, bitmap};
}

int vcolorCheckXorTable(vcolor** table, int rows, int columns) {
  if (rows < 1 || columns < 2) return 1;
  bool same = true, allPlain = true;
  std::vector<win::COLORREF> pixels(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    vcolorMSWDeviceForm f = vcolorMSWGetDeviceForm(table[i]);
    if (f.pattern) allPlain = false;
    pixels[i] = f.pixel;
  }
  if (!allPlain) same = false;
  for (int c = 0; same && c + 1 < columns; ++c) {
    win::COLORREF first = pixels[c] ^ pixels[c + 1];
    for (int r = 1; same && r < rows; ++r) {
      std::size_t at = static_cast<std::size_t>(r) * columns + c;
      if ((pixels[at] ^ pixels[at + 1]) != first) same = false;
    }
  }
  if (same) return 1;
  vcolorXorAllocator allocate = _vcolorMSWGetXorAllocator();
  if (!allocate) return 0;
  // The driver gives each place its own colour: repeated ones are copied.
  std::size_t n = pixels.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (table[j] == table[i]) {
        vcolor* copy = vcolorCreate();
        vcolorCopySpec(&table[i]->desc, &copy->desc);
        privateCopies().push_back(copy);
        table[i] = copy;
        break;
      }
  return allocate(table, rows, columns);
}
