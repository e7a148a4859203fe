// Bitmaps: device-dependent ones (1-bit or colour), device-independent
// pixels in and out, and the bit layouts of Get/SetBitmapBits.
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdi/blit.h"

namespace win {
namespace internal {
namespace {

constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

// A checked size: negative sizes and overflowing counts fail, an empty
// one becomes 1 x 1 monochrome.
bool checkSize(int& w, int& h, bool& mono) {
  if (w < 0 || h < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (w == 0 || h == 0) {
    w = h = 1;
    mono = true;
  }
  if (static_cast<std::int64_t>(w) * h > kMaxPixels) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return true;
}

HBITMAP newBitmap(int w, int h, bool mono) {
  if (!checkSize(w, h, mono)) return nullptr;
  // Asked of the allocator first, whose refusal is an answer: a checked
  // build ends the program on a container's refused request instead.
  if (void* room = std::malloc(std::size_t(w) * std::size_t(h) * sizeof(std::uint32_t))) {
    std::free(room);
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    auto o = std::make_unique<GdiObject>(OBJ_BITMAP);
    o->bitmap.reset(w, h, mono, 0);
    return addGdiObject<HBITMAP>(std::move(o));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

Surface* bitmapOf(HBITMAP h) {
  GdiObject* o = gdiObject(h, OBJ_BITMAP);
  return o ? &o->bitmap : nullptr;
}

// Bytes of one row of Get/SetBitmapBits: word-aligned.
std::size_t ddbStride(const Surface& s, int bpp) { return static_cast<std::size_t>((s.width * bpp + 15) / 16 * 2); }

struct DibFormat {
  int width = 0, height = 0, bpp = 0;
  bool topDown = false;
  std::size_t stride = 0;
  std::vector<std::uint32_t> table;  // XRGB
};

bool parseDib(const BITMAPINFO* info, DibFormat& f, bool readTable = true) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int bpp = h.biBitCount;
  if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB ||
      !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32) ||
      (bpp <= 8 && h.biClrUsed > (1u << bpp)) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
    return false;
  f.width = h.biWidth;
  f.height = std::abs(h.biHeight);
  f.topDown = h.biHeight < 0;
  f.bpp = bpp;
  if (static_cast<std::int64_t>(f.width) * f.height > kMaxPixels) return false;
  f.stride = static_cast<std::size_t>((static_cast<std::int64_t>(f.width) * bpp + 31) / 32 * 4);
  if (bpp <= 8 && readTable) {
    std::size_t n = h.biClrUsed ? h.biClrUsed : (1u << bpp);
    for (std::size_t i = 0; i < n; ++i) {
      const RGBQUAD& q = info->bmiColors[i];
      f.table.push_back(static_cast<std::uint32_t>(q.rgbRed) << 16 | static_cast<std::uint32_t>(q.rgbGreen) << 8 |
                        q.rgbBlue);
    }
  }
  return true;
}

void readDibRow(const DibFormat& f, const std::uint8_t* in, std::uint32_t* out, int n) {
  for (int x = 0; x < n; ++x) {
    std::uint32_t index = 0;
    switch (f.bpp) {
      case 1: index = in[x >> 3] >> (7 - (x & 7)) & 1; break;
      case 4: index = in[x >> 1] >> ((x & 1) ? 0 : 4) & 15; break;
      case 8: index = in[x]; break;
      case 24: out[x] = static_cast<std::uint32_t>(in[3 * x + 2]) << 16 | in[3 * x + 1] << 8 | in[3 * x]; continue;
      default: out[x] = static_cast<std::uint32_t>(in[4 * x + 2]) << 16 | in[4 * x + 1] << 8 | in[4 * x]; continue;
    }
    out[x] = index < f.table.size() ? f.table[index] : 0;
  }
}

std::uint32_t nearestIndex(const std::vector<std::uint32_t>& table, std::uint32_t p) {
  std::uint32_t best = 0, bestDistance = ~0u;
  for (std::uint32_t i = 0; i < table.size(); ++i) {
    auto d = [&](int shift) {
      int a = static_cast<int>(p >> shift & 0xFF) - static_cast<int>(table[i] >> shift & 0xFF);
      return static_cast<std::uint32_t>(a * a);
    };
    std::uint32_t dist = d(16) + d(8) + d(0);
    if (dist < bestDistance) best = i, bestDistance = dist;
  }
  return best;
}

void writeDibRow(const DibFormat& f, const std::uint32_t* in, std::uint8_t* out, int n, bool monoBits) {
  std::memset(out, 0, f.stride);
  std::uint32_t lastColor = ~0u, lastIndex = 0;
  for (int x = 0; x < n; ++x) {
    std::uint32_t p = in[x];
    if (f.bpp >= 24) {
      std::uint8_t* q = out + x * (f.bpp / 8);
      q[0] = static_cast<std::uint8_t>(p), q[1] = static_cast<std::uint8_t>(p >> 8), q[2] = static_cast<std::uint8_t>(p >> 16);
      continue;
    }
    std::uint32_t index;
    if (monoBits) {
      index = p ? 1 : 0;
    } else {
      if (p != lastColor) lastColor = p, lastIndex = nearestIndex(f.table, p);
      index = lastIndex;
    }
    switch (f.bpp) {
      case 1: out[x >> 3] |= static_cast<std::uint8_t>(index << (7 - (x & 7))); break;
      case 4: out[x >> 1] |= static_cast<std::uint8_t>(index << ((x & 1) ? 0 : 4)); break;
      default: out[x] = static_cast<std::uint8_t>(index); break;
    }
  }
}

// The surface row that DIB scan line `line` (counted from the bottom of
// a bottom-up image) stands for.
int rowOfLine(const DibFormat& f, int line) { return f.topDown ? line : f.height - 1 - line; }

bool monoOfDc(HDC hdc) {
  Dc* dc = dcOf(hdc);
  if (!dc || dc->kind != DcKind::memory) return false;
  GdiObject* b = gdiObject(dc->bitmap, OBJ_BITMAP);
  return b && b->bitmap.mono;
}

}  // namespace

bool dibToSurface(const BITMAPINFO* info, const void* bits, Surface& out) {
  DibFormat f;
  if (!bits || !parseDib(info, f)) return false;
  out.reset(f.width, f.height, false, 0);
  auto* in = static_cast<const std::uint8_t*>(bits);
  for (int line = 0; line < f.height; ++line)
    readDibRow(f, in + static_cast<std::size_t>(line) * f.stride, out.row(rowOfLine(f, line)), f.width);
  return true;
}

}  // namespace internal

using internal::Surface;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
  if (planes != 1 || !(bpp == 1 || bpp == 24 || bpp == 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP h = internal::newBitmap(width, height, bpp == 1);
  if (h && bits && width > 0 && height > 0) {
    Surface* s = internal::bitmapOf(h);
    std::size_t stride = static_cast<std::size_t>((width * static_cast<int>(bpp) + 15) / 16 * 2);
    auto* in = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < s->height; ++y) {
      const std::uint8_t* r = in + static_cast<std::size_t>(y) * stride;
      std::uint32_t* out = s->row(y);
      for (int x = 0; x < s->width; ++x) {
        if (bpp == 1) {
          out[x] = (r[x >> 3] >> (7 - (x & 7)) & 1) ? internal::kMonoWhite : 0;
        } else {
          const std::uint8_t* q = r + x * static_cast<int>(bpp / 8);
          out[x] = static_cast<std::uint32_t>(q[2]) << 16 | q[1] << 8 | q[0];
        }
      }
    }
  }
  return h;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  if (!internal::dcOf(hdc)) return nullptr;
  return internal::newBitmap(width, height, internal::monoOfDc(hdc));
}

HBITMAP LoadBitmapA(HINSTANCE, const char*) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  Surface* s = internal::bitmapOf(bitmap);
  internal::DibFormat f;
  if (!s || !bits || usage != DIB_RGB_COLORS || !internal::parseDib(info, f)) return 0;
  auto* in = static_cast<const std::uint8_t*>(bits);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(f.width));
  int done = 0;
  for (UINT i = 0; i < lines && start + i < static_cast<UINT>(f.height); ++i) {
    int y = internal::rowOfLine(f, static_cast<int>(start + i));
    internal::readDibRow(f, in + static_cast<std::size_t>(i) * f.stride, row.data(), f.width);
    if (y < s->height) {
      std::uint32_t* out = s->row(y);
      for (int x = 0; x < std::min(f.width, s->width); ++x) out[x] = s->mono ? internal::monoOf(row[static_cast<std::size_t>(x)]) : row[static_cast<std::size_t>(x)];
    }
    ++done;
  }
  return done;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  Surface* s = internal::bitmapOf(bitmap);
  if (!s || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize != sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits) {
    // The header is filled: the bitmap's own format unless one is asked.
    if (h.biBitCount == 0) {
      h.biBitCount = s->mono ? 1 : 24;
      h.biClrUsed = 0;
    }
    h.biWidth = s->width;
    if (h.biHeight >= 0) h.biHeight = s->height;
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    internal::DibFormat f;  // a query: the caller's table may be absent
    if (!internal::parseDib(info, f, false)) return 0;
    h.biSizeImage = static_cast<DWORD>(f.stride * static_cast<std::size_t>(f.height));
    return s->height;
  }
  internal::DibFormat f;
  bool monoBits = s->mono && info->bmiHeader.biBitCount == 1;
  if (!internal::parseDib(info, f, !monoBits)) return 0;
  if (monoBits) {
    info->bmiColors[0] = {0, 0, 0, 0};
    (&info->bmiColors[0])[1] = {255, 255, 255, 0};
  }
  auto* out = static_cast<std::uint8_t*>(bits);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(f.width), 0);
  int done = 0;
  for (UINT i = 0; i < lines && start + i < static_cast<UINT>(f.height); ++i) {
    int y = internal::rowOfLine(f, static_cast<int>(start + i));
    std::fill(row.begin(), row.end(), 0);
    if (y < s->height) std::copy_n(s->row(y), std::min(f.width, s->width), row.begin());
    internal::writeDibRow(f, row.data(), out + static_cast<std::size_t>(i) * f.stride, f.width, monoBits);
    ++done;
  }
  return done;
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage) {
  if (!header || header->biSize != sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool mono = !hdc || internal::monoOfDc(hdc);
  if (hdc && !internal::dcOf(hdc)) return nullptr;
  HBITMAP h = internal::newBitmap(header->biWidth, header->biHeight == INT32_MIN ? -1 : std::abs(header->biHeight), mono);
  if (h && (init & CBM_INIT) && SetDIBits(hdc, h, 0, static_cast<UINT>(std::abs(header->biHeight)), bits, info, usage) == 0) {
    DeleteObject(h);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return h;
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
  Surface* s = internal::bitmapOf(bitmap);
  if (!s) return 0;
  int bpp = s->mono ? 1 : 24;
  std::size_t stride = internal::ddbStride(*s, bpp), total = stride * static_cast<std::size_t>(s->height);
  if (!bits) return static_cast<LONG>(total);
  std::size_t n = std::min(total, static_cast<std::size_t>(std::max(size, 0)));
  std::vector<std::uint8_t> all(total, 0);
  for (int y = 0; y < s->height; ++y) {
    std::uint8_t* r = all.data() + static_cast<std::size_t>(y) * stride;
    const std::uint32_t* in = s->row(y);
    for (int x = 0; x < s->width; ++x) {
      if (s->mono) {
        if (in[x]) r[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      } else {
        r[3 * x] = static_cast<std::uint8_t>(in[x]), r[3 * x + 1] = static_cast<std::uint8_t>(in[x] >> 8),
        r[3 * x + 2] = static_cast<std::uint8_t>(in[x] >> 16);
      }
    }
  }
  std::memcpy(bits, all.data(), n);
  return static_cast<LONG>(n);
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD size, const void* bits) {
  Surface* s = internal::bitmapOf(bitmap);
  if (!s || !bits) return 0;
  int bpp = s->mono ? 1 : 24;
  std::size_t stride = internal::ddbStride(*s, bpp);
  std::size_t rowsGiven = std::min(static_cast<std::size_t>(s->height), size / stride);
  auto* in = static_cast<const std::uint8_t*>(bits);
  for (std::size_t y = 0; y < rowsGiven; ++y) {
    const std::uint8_t* r = in + y * stride;
    std::uint32_t* out = s->row(static_cast<int>(y));
    for (int x = 0; x < s->width; ++x)
      out[x] = s->mono ? ((r[x >> 3] >> (7 - (x & 7)) & 1) ? internal::kMonoWhite : 0)
                       : static_cast<std::uint32_t>(r[3 * x + 2]) << 16 | r[3 * x + 1] << 8 | r[3 * x];
  }
  return static_cast<LONG>(rowsGiven * stride);
}

}  // namespace win
