// Icons and cursors: an AND mask and a colour image (or, for monochrome
// ones, a mask of twice the height whose lower half is the XOR image),
// the built-in arrow, hourglass and application icon, and the current
// cursor.
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

struct Icon {
  bool icon = false;
  POINT hot{};
  int width = 0, height = 0;
  HBITMAP mask = nullptr;   // 1 bit a pixel: 1 keeps what is under it
  HBITMAP color = nullptr;  // null: the mask's lower half, 1 bit
  bool shared = false;      // built in: never destroyed
};

HandleTable<Icon>& icons() {
  static HandleTable<Icon> table(HandleKind::cursor);
  return table;
}

Icon* iconOf(HICON h) { return icons().get(handleValue(h)); }

HCURSOR current = nullptr;

// Copies `source` (rows `y`..`y + height`) into the DC at (x, dy).
void blit(HDC dest, int x, int dy, int width, int height, HBITMAP source, int y, DWORD rop) {
  HDC m = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(m, source);
  BitBlt(dest, x, dy, width, height, m, 0, y, rop);
  SelectObject(m, old);
  DeleteDC(m);
}

HBITMAP copyBitmap(HBITMAP source) {
  BITMAP bm{};
  if (!source || !GetObjectA(source, sizeof bm, &bm)) return nullptr;
  HBITMAP copy = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, bm.bmBitsPixel == 1 ? 1 : 32, nullptr);
  if (!copy) return nullptr;
  HDC d = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(d, copy);
  blit(d, 0, 0, bm.bmWidth, bm.bmHeight, source, 0, SRCCOPY);
  SelectObject(d, old);
  DeleteDC(d);
  return copy;
}

HICON addIcon(std::unique_ptr<Icon> icon) {
  HICON h = asHandle<HICON>(icons().add(std::move(icon)));
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

void release(Icon& icon) {
  if (icon.mask) DeleteObject(icon.mask);
  if (icon.color) DeleteObject(icon.color);
}

// Monochrome pictures: 'X' black, '.' white, ' ' (and beyond the row's
// end) transparent; the hot spot is given.
struct Picture {
  std::uintptr_t id;
  POINT hot;
  std::vector<const char*> rows;
};

const Picture kArrow{32512, {0, 0}, {"X",          "XX",         "X.X",       "X..X",       "X...X",
                                     "X....X",     "X.....X",    "X......X",  "X.......X",  "X........X",
                                     "X.....XXXXX", "X..X..X",   "X.X X..X",  "XX  X..X",   "X    X..X",
                                     "     X..X",  "      X..X", "      X..X", "       XX"}};
const Picture kHourglass{32514, {5, 7}, {"XXXXXXXXXXX", "X.........X", " X.......X", " X.XXXXX.X", "  X.XXX.X",
                                         "   X.X.X", "    X.X", "    X.X", "   X...X", "  X..X..X", " X..XXX..X",
                                         " X.XXXXX.X", "X.........X", "XXXXXXXXXXX"}};

// A monochrome cursor of the system's cursor size from a picture.
HCURSOR cursorFrom(const Picture& p) {
  int w = GetSystemMetrics(SM_CXCURSOR), h = GetSystemMetrics(SM_CYCURSOR);
  int stride = (w + 15) / 16 * 2;
  std::vector<BYTE> andBits(static_cast<std::size_t>(stride * h), 0xFF), xorBits(andBits.size(), 0);
  for (std::size_t y = 0; y < p.rows.size() && static_cast<int>(y) < h; ++y)
    for (int x = 0; p.rows[y][x] && x < w; ++x) {
      char c = p.rows[y][x];
      if (c == ' ') continue;
      std::size_t at = y * static_cast<std::size_t>(stride) + static_cast<std::size_t>(x / 8);
      auto bit = static_cast<BYTE>(0x80 >> (x % 8));
      andBits[at] &= static_cast<BYTE>(~bit);
      if (c == '.') xorBits[at] |= bit;
    }
  return CreateCursor(nullptr, static_cast<int>(p.hot.x), static_cast<int>(p.hot.y), w, h, andBits.data(),
                      xorBits.data());
}

// The application icon: a small window, its frame black, its title bar
// navy, its client area white.
HICON applicationIcon() {
  int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
  std::vector<BYTE> andBits(static_cast<std::size_t>((w + 15) / 16 * 2 * h), 0xFF);
  std::vector<std::uint32_t> colour(static_cast<std::size_t>(w * h), 0);
  int stride = (w + 15) / 16 * 2;
  RECT frame{2, 4, w - 2, h - 4};
  for (int y = frame.top; y < frame.bottom; ++y)
    for (int x = frame.left; x < frame.right; ++x) {
      andBits[static_cast<std::size_t>(y * stride + x / 8)] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
      bool edge = x == frame.left || y == frame.top || x == frame.right - 1 || y == frame.bottom - 1;
      colour[static_cast<std::size_t>(y * w + x)] = edge ? 0 : y < frame.top + 6 ? 0x000080 : 0xFFFFFF;
    }
  return CreateIcon(nullptr, w, h, 1, 32, andBits.data(), reinterpret_cast<const BYTE*>(colour.data()));
}

HICON shared(HICON h) {
  if (Icon* i = iconOf(h)) i->shared = true;
  return h;
}

}  // namespace

bool iconPixels(HICON handle, IconPixels& out) {
  Icon* icon = iconOf(handle);
  if (!icon) return false;
  out.width = icon->width;
  out.height = icon->height;
  out.hot = icon->hot;
  out.mask.assign(static_cast<std::size_t>(icon->width * icon->height), 0);
  out.color.assign(out.mask.size(), 0);
  HDC m = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(m, icon->mask);
  for (int y = 0; y < icon->height; ++y)
    for (int x = 0; x < icon->width; ++x) {
      std::size_t at = static_cast<std::size_t>(y * icon->width + x);
      out.mask[at] = GetPixel(m, x, y) ? 1 : 0;
      if (!icon->color) out.color[at] = GetPixel(m, x, y + icon->height) ? 0xFFFFFF : 0;
    }
  if (icon->color) {
    SelectObject(m, icon->color);
    for (int y = 0; y < icon->height; ++y)
      for (int x = 0; x < icon->width; ++x) {
        COLORREF c = GetPixel(m, x, y);
        out.color[static_cast<std::size_t>(y * icon->width + x)] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
      }
  }
  SelectObject(m, old);
  DeleteDC(m);
  return true;
}

}  // namespace internal

using internal::Icon;
using internal::iconOf;

HICON CreateIconIndirect(const ICONINFO* info) {
  BITMAP mask{}, colour{};
  if (!info || !GetObjectA(info->hbmMask, sizeof mask, &mask) || mask.bmBitsPixel != 1 ||
      (info->hbmColor && !GetObjectA(info->hbmColor, sizeof colour, &colour))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto icon = std::make_unique<Icon>();
  icon->icon = info->fIcon != 0;
  icon->width = mask.bmWidth;
  icon->height = info->hbmColor ? colour.bmHeight : mask.bmHeight / 2;
  // An icon's hot spot is its centre; a cursor's is kept inside it.
  icon->hot = icon->icon ? POINT{icon->width / 2, icon->height / 2}
                         : POINT{std::clamp<LONG>(static_cast<LONG>(info->xHotspot), 0, std::max(icon->width - 1, 0)),
                                 std::clamp<LONG>(static_cast<LONG>(info->yHotspot), 0, std::max(icon->height - 1, 0))};
  icon->mask = internal::copyBitmap(info->hbmMask);
  icon->color = info->hbmColor ? internal::copyBitmap(info->hbmColor) : nullptr;
  if (!icon->mask || (info->hbmColor && !icon->color) || icon->height <= 0) {
    internal::release(*icon);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return internal::addIcon(std::move(icon));
}

HICON CreateIcon(HINSTANCE, int width, int height, BYTE planes, BYTE bitsPixel, const BYTE* andBits,
                 const BYTE* xorBits) {
  if (width <= 0 || height <= 0 || !andBits || !xorBits) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool mono = planes == 1 && bitsPixel == 1;
  HBITMAP mask = nullptr, colour = nullptr;
  if (mono) {
    // The two halves of one bitmap, as CreateCursor makes them.
    std::size_t half = static_cast<std::size_t>((width + 15) / 16 * 2 * height);
    std::vector<BYTE> both(andBits, andBits + half);
    both.insert(both.end(), xorBits, xorBits + half);
    mask = CreateBitmap(width, height * 2, 1, 1, both.data());
  } else {
    mask = CreateBitmap(width, height, 1, 1, andBits);
    colour = CreateBitmap(width, height, planes, bitsPixel, xorBits);
  }
  HICON icon = nullptr;
  if (mask && (mono || colour)) {
    ICONINFO info{1, 0, 0, mask, colour};
    icon = CreateIconIndirect(&info);
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
  }
  if (mask) DeleteObject(mask);
  if (colour) DeleteObject(colour);
  return icon;
}

HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height, const void* andBits,
                     const void* xorBits) {
  HICON h = CreateIcon(instance, width, height, 1, 1, static_cast<const BYTE*>(andBits),
                       static_cast<const BYTE*>(xorBits));
  if (Icon* c = iconOf(h)) {
    c->icon = false;
    c->hot = {std::clamp(hotX, 0, width - 1), std::clamp(hotY, 0, height - 1)};
  }
  return h;
}

BOOL DestroyIcon(HICON icon) {
  Icon* i = iconOf(icon);
  if (!i) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (i->shared) return 1;
  // The cursor in use goes from the screen first.
  if (icon == internal::current) SetCursor(nullptr);
  internal::release(*i);
  internal::icons().remove(internal::handleValue(icon));
  return 1;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  Icon* i = iconOf(icon);
  if (!i || !info) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // The caller owns the copies.
  *info = {i->icon ? 1 : 0, static_cast<DWORD>(i->hot.x), static_cast<DWORD>(i->hot.y),
           internal::copyBitmap(i->mask), i->color ? internal::copyBitmap(i->color) : nullptr};
  return 1;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) {
  Icon* i = iconOf(icon);
  if (!i) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // One-bit sources expand to black for 0 and white for 1, whatever the
  // DC's colours.
  COLORREF text = SetTextColor(hdc, 0), back = SetBkColor(hdc, 0xFFFFFF);
  internal::blit(hdc, x, y, i->width, i->height, i->mask, 0, SRCAND);
  internal::blit(hdc, x, y, i->width, i->height, i->color ? i->color : i->mask, i->color ? 0 : i->height, SRCINVERT);
  SetTextColor(hdc, text);
  SetBkColor(hdc, back);
  return 1;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  static HCURSOR arrow = nullptr, wait = nullptr;
  if (instance) return nullptr;
  for (auto [picture, made] : {std::pair{&internal::kArrow, &arrow}, std::pair{&internal::kHourglass, &wait}})
    if (reinterpret_cast<std::uintptr_t>(name) == picture->id) {
      if (!iconOf(*made)) *made = internal::shared(internal::cursorFrom(*picture));
      return *made;
    }
  return nullptr;
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
  static HICON application = nullptr;
  if (instance || name != IDI_APPLICATION) return nullptr;
  if (!iconOf(application)) application = internal::shared(internal::applicationIcon());
  return application;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = internal::current;
  if (cursor && !iconOf(cursor)) cursor = nullptr;
  internal::current = cursor;
  if (cursor != old) backend::Current().SetCursor(cursor);
  return old;
}

HCURSOR GetCursor() { return internal::current; }

}  // namespace win
