// Blits: every ternary raster operation from its index byte over
// pattern, source and destination, with nearest-neighbour stretching,
// masks, the mono and colour conversions, and scrolling.
#include <algorithm>
#include <cstring>

#include "platform/gdi/blit.h"
#include "platform/gdi/world.h"
#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

int rowCap = 0;  // rows StretchDIBits takes per call (0: any, negative: none)

}  // namespace

// The mux form of a ROP3: bit (p << 2 | s << 1 | d) of the code is the
// result for those input bits, applied to all 24 bits at once.
void ropRow(std::uint8_t rop, const std::uint32_t* P, const std::uint32_t* S, std::uint32_t* D, int n) {
  switch (rop) {
    case 0xAA: return;
    case 0xCC: std::memcpy(D, S, static_cast<std::size_t>(n) * 4); return;
    case 0xF0: std::memcpy(D, P, static_cast<std::size_t>(n) * 4); return;
    case 0x5A:
      for (int i = 0; i < n; ++i) D[i] = (D[i] ^ P[i]) & 0xFFFFFF;
      return;
    case 0xE2:  // the source picks the pattern, else keeps the destination: painting through a mask
      for (int i = 0; i < n; ++i) D[i] = ((S[i] & P[i]) | (~S[i] & D[i])) & 0xFFFFFF;
      return;
    case 0x00:
    case 0xFF: std::fill_n(D, n, rop ? 0xFFFFFFu : 0u); return;
    default: break;
  }
  std::uint32_t m[8];
  for (int i = 0; i < 8; ++i) m[i] = (rop >> i & 1) ? 0xFFFFFFu : 0u;
  for (int i = 0; i < n; ++i) {
    std::uint32_t p = P[i], s = S[i], d = D[i];
    std::uint32_t h00 = (d & m[1]) | (~d & m[0]), h01 = (d & m[3]) | (~d & m[2]);
    std::uint32_t h10 = (d & m[5]) | (~d & m[4]), h11 = (d & m[7]) | (~d & m[6]);
    std::uint32_t g0 = (s & h01) | (~s & h00), g1 = (s & h11) | (~s & h10);
    D[i] = ((p & g1) | (~p & g0)) & 0xFFFFFF;
  }
}

std::uint8_t rop3OfRop2(int rop2) {
  // Bit (p << 1 | d) of rop2 - 1 is the result for pen bit p over d.
  unsigned code = static_cast<unsigned>(rop2 - 1) & 15;
  std::uint8_t out = 0;
  for (int i = 0; i < 8; ++i) out |= static_cast<std::uint8_t>((code >> ((i >> 2 & 1) << 1 | (i & 1)) & 1) << i);
  return out;
}

namespace {

bool usesSource(std::uint8_t rop) { return ((rop >> 2) ^ rop) & 0x33; }
bool usesPattern(std::uint8_t rop) { return ((rop >> 4) ^ rop) & 0x0F; }

// One row of the nearest-neighbour map: dest index i of n to source index
// of m, mirrored when asked.
int mapIndex(int i, int n, int m, bool mirror) {
  int j = static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * m / (2 * static_cast<std::int64_t>(n)));
  return mirror ? m - 1 - j : j;
}

struct Rows {
  std::vector<std::uint32_t> p, s, d;
  std::vector<std::uint8_t> valid, maskBits;
  void size(std::size_t n) {
    if (p.size() < n) p.resize(n), s.resize(n), d.resize(n), valid.resize(n), maskBits.resize(n);
  }
};
Rows& rows() {
  static Rows r;
  return r;
}

}  // namespace

Pattern patternOfBrush(const Dc& dc, const Brush& brush, bool monoDest) {
  Pattern pt;
  pt.origin = dc.brushOrg;
  if (brush.style == BS_NULL) {
    pt.none = true;
  } else if (brush.style == BS_SOLID) {
    pt.solid = true;
    pt.color = resolveColor(dc, brush.color);
  } else {
    std::uint32_t text = resolveColor(dc, dc.text), bk = resolveColor(dc, dc.bk);
    for (std::size_t i = 0; i < 64; ++i) {
      std::uint32_t c = brush.pattern[i];
      pt.cells[i] = brush.mono ? (c ? bk : text) : c;
    }
  }
  if (monoDest) {
    pt.color = monoOf(pt.color);
    for (auto& c : pt.cells) c = monoOf(c);
  }
  return pt;
}

Pattern patternOf(const Dc& dc, HGDIOBJ brush, bool monoDest) {
  Pattern pt;
  std::uintptr_t v = reinterpret_cast<std::uintptr_t>(brush);
  if (v > 0 && v <= 31) {  // COLOR_x + 1 stands for that system colour
    Brush b;
    b.color = GetSysColor(static_cast<int>(v - 1));
    return patternOfBrush(dc, b, monoDest);
  }
  if (GdiObject* o = gdiObject(brush, OBJ_BRUSH)) return patternOfBrush(dc, o->brush, monoDest);
  pt.none = true;
  if (monoDest) {
    pt.color = monoOf(pt.color);
    for (auto& c : pt.cells) c = monoOf(c);
  }
  return pt;
}

void Pattern::fillRow(std::uint32_t* out, int deviceX, int deviceY, int n) const {
  if (solid || none) {
    std::fill_n(out, n, color);
    return;
  }
  const std::uint32_t* row = &cells[static_cast<std::size_t>(((deviceY - origin.y) & 7) * 8)];
  int phase = (deviceX - origin.x) & 7;
  for (int i = 0; i < n; ++i) out[i] = row[(phase + i) & 7];
}

bool blit(const BlitRequest& q) {
  if (World w; worldOf(*q.dst, w)) return worldBlit(q, w);
  Dc& dst = *q.dst;
  std::uint8_t fore = static_cast<std::uint8_t>(q.rop >> 16), back = q.mask ? q.backRop : fore;
  bool needSource = usesSource(fore) || usesSource(back), needPattern = usesPattern(fore) || usesPattern(back);
  if (needSource && !q.src) return false;
  Target t;
  if (!targetOf(dst, t)) return false;
  bool monoDest = t.surface->mono;
  Pattern pat = patternOf(dst, q.brush ? q.brush : dst.brush, monoDest);
  if (needPattern && pat.none) return true;

  // Destination and source rectangles, normalized; a sign difference
  // between them mirrors.
  int x = q.x + dst.viewportOrg.x, y = q.y + dst.viewportOrg.y;
  RECT dr{std::min(x, x + q.w), std::min(y, y + q.h), std::max(x, x + q.w), std::max(y, y + q.h)};
  if (emptyRect(dr)) return true;
  int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
  int sw = std::abs(q.sw), sh = std::abs(q.sh);
  int sx = std::min(q.sx, q.sx + q.sw) + q.srcOrigin.x, sy = std::min(q.sy, q.sy + q.sh) + q.srcOrigin.y;
  bool mirrorX = (q.w < 0) != (q.sw < 0), mirrorY = (q.h < 0) != (q.sh < 0);
  bool identity = needSource && sw == dw && sh == dh && !mirrorX && !mirrorY;
  if (needSource && (sw == 0 || sh == 0)) return true;

  const Surface* src = needSource ? q.src : nullptr;
  std::uint32_t srcText = 0, srcBk = 0;
  bool monoToColor = src && src->mono && !monoDest, colorToMono = src && !src->mono && monoDest;
  if (monoToColor) srcText = resolveColor(dst, dst.text), srcBk = resolveColor(dst, dst.bk);
  // Overlapping copies within one surface go from the far end.
  bool backwards = src == t.surface && (sy < dr.top + t.origin.y || (sy == dr.top + t.origin.y && sx < dr.left + t.origin.x));
  std::vector<RECT> pieces;
  for (const RECT& c : t.clip->rects())
    if (RECT r = intersectRect(c, dr); !emptyRect(r)) pieces.push_back(r);
  if (backwards) std::reverse(pieces.begin(), pieces.end());
  Rows& b = rows();
  b.size(static_cast<std::size_t>(dw));
  // A plain colour's row is the same on every row.
  const bool plainPattern = needPattern && (pat.solid || pat.none);
  if (plainPattern) pat.fillRow(b.p.data(), 0, 0, dw);
  for (const RECT& r : pieces) {
    int n = r.right - r.left;
    for (int k = 0; k < r.bottom - r.top; ++k) {
      int row = backwards ? r.bottom - 1 - k : r.top + k;
      std::uint32_t* D = t.surface->row(row + t.origin.y) + r.left + t.origin.x;
      const std::uint32_t* S = b.s.data();
      bool partial = false;
      if (src) {
        int syRow = sy + (identity ? row - dr.top : mapIndex(row - dr.top, dh, sh, mirrorY));
        if (syRow < 0 || syRow >= src->height) continue;  // source outside its surface
        const std::uint32_t* srow = src->row(syRow);
        int first = sx + (identity ? r.left - dr.left : 0);
        if (identity && first >= 0 && first + n <= src->width && !monoToColor && !colorToMono) {
          S = srow + first;
          if (src == t.surface) {  // the same row may be read and written
            std::memcpy(b.s.data(), S, static_cast<std::size_t>(n) * 4);
            S = b.s.data();
          }
        } else if (identity && first >= 0 && first + n <= src->width && monoToColor) {
          if (fore == 0xE2 && plainPattern && !q.mask) {
            // One colour painted through a mask (a look's pattern, a
            // glyph): each pixel keeps its bits or takes the colour's as
            // the source's colour for its bit says.
            const std::uint32_t p = b.p[0];
            const std::uint32_t keep1 = ~srcBk & 0xFFFFFF, put1 = p & srcBk & 0xFFFFFF;
            const std::uint32_t keep0 = ~srcText & 0xFFFFFF, put0 = p & srcText & 0xFFFFFF;
            for (int i = 0; i < n; ++i) D[i] = srow[first + i] ? (D[i] & keep1) | put1 : (D[i] & keep0) | put0;
            continue;
          }
          for (int i = 0; i < n; ++i) b.s[static_cast<std::size_t>(i)] = srow[first + i] ? srcBk : srcText;
        } else {
          for (int i = 0; i < n; ++i) {
            int sxCol = sx + (identity ? r.left - dr.left + i : mapIndex(r.left - dr.left + i, dw, sw, mirrorX));
            bool in = sxCol >= 0 && sxCol < src->width;
            b.valid[static_cast<std::size_t>(i)] = in;
            partial = partial || !in;
            std::uint32_t v = in ? srow[sxCol] : 0;
            if (monoToColor) v = v ? srcBk : srcText;
            if (colorToMono) v = q.nearestMono ? monoOf(v) : (v == q.srcBk ? kMonoWhite : 0);
            b.s[static_cast<std::size_t>(i)] = v;
          }
        }
      }
      if (needPattern && !plainPattern) pat.fillRow(b.p.data(), r.left, row, n);
      if (!q.mask && !partial) {
        ropRow(fore, b.p.data(), S, D, n);
        continue;
      }
      // Masked or partly outside the source: evaluate aside, keep only
      // the pixels that count.
      std::copy_n(D, n, b.d.data());
      std::vector<std::uint32_t> other;
      if (q.mask) {
        other.assign(D, D + n);
        ropRow(back, b.p.data(), S, other.data(), n);
      }
      ropRow(fore, b.p.data(), S, b.d.data(), n);
      for (int i = 0; i < n; ++i) {
        if (partial && !b.valid[static_cast<std::size_t>(i)]) continue;
        bool front = true;
        if (q.mask) {
          int mx = q.maskX + (r.left - dr.left) + i, my = q.maskY + (row - dr.top);
          front = mx >= 0 && my >= 0 && mx < q.mask->width && my < q.mask->height && q.mask->row(my)[mx] != 0;
        }
        D[i] = front ? b.d[static_cast<std::size_t>(i)] : other[static_cast<std::size_t>(i)];
      }
    }
  }
  finishTarget(t, dr);
  return true;
}

void setStretchRowCap(int rows) { rowCap = std::max(rows, -1); }
int stretchRowCap() { return rowCap; }

}  // namespace internal

using internal::BlitRequest;
using internal::Dc;
using internal::dcOf;

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  BlitRequest q;
  q.dst = dc;
  q.x = x, q.y = y, q.w = width, q.h = height, q.rop = rop;
  if (internal::usesSource(static_cast<std::uint8_t>(rop >> 16))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return internal::blit(q);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Dc* dc = dcOf(hdc);
  if (!dc || !rect || !brush) return 0;
  BlitRequest q;
  q.dst = dc;
  q.x = rect->left, q.y = rect->top, q.w = rect->right - rect->left, q.h = rect->bottom - rect->top;
  q.rop = PATCOPY;
  q.brush = brush;
  if (q.w <= 0 || q.h <= 0) return 1;
  return internal::blit(q);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC srcDc, int sx, int sy, int sw, int sh, DWORD rop) {
  Dc* dc = dcOf(dest);
  if (!dc) return 0;
  BlitRequest q;
  q.dst = dc;
  q.x = x, q.y = y, q.w = width, q.h = height, q.rop = rop;
  q.sx = sx, q.sy = sy, q.sw = sw, q.sh = sh;
  internal::Surface scratch;
  if (internal::usesSource(static_cast<std::uint8_t>(rop >> 16))) {
    Dc* s = dcOf(srcDc);
    if (!s) return 0;
    q.src = internal::sourceOf(*s, q.srcOrigin, scratch);
    if (!q.src) return 0;
    q.srcBk = internal::resolveColor(*s, s->bk);
    q.sx += s->viewportOrg.x, q.sy += s->viewportOrg.y;
  }
  return internal::blit(q);
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
  return StretchBlt(dest, x, y, width, height, src, sx, sy, width, height, rop);
}

BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC srcDc, int sx, int sy, HBITMAP mask, int mx, int my,
             DWORD rop) {
  if (!mask) return StretchBlt(dest, x, y, width, height, srcDc, sx, sy, width, height, rop & 0x00FFFFFFu);
  internal::GdiObject* m = internal::gdiObject(mask, OBJ_BITMAP);
  Dc* dc = dcOf(dest);
  Dc* s = dcOf(srcDc);
  if (!m || !dc || !s || !m->bitmap.mono) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BlitRequest q;
  q.dst = dc;
  q.x = x, q.y = y, q.w = width, q.h = height;
  q.rop = rop & 0x00FF0000u;
  q.backRop = static_cast<std::uint8_t>(rop >> 24);
  q.sx = sx + s->viewportOrg.x, q.sy = sy + s->viewportOrg.y, q.sw = width, q.sh = height;
  internal::Surface scratch;
  q.src = internal::sourceOf(*s, q.srcOrigin, scratch);
  if (!q.src) return 0;
  q.srcBk = internal::resolveColor(*s, s->bk);
  q.mask = &m->bitmap;
  q.maskX = mx, q.maskY = my;
  return internal::blit(q);
}

int StretchDIBits(HDC dest, int x, int y, int width, int height, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  Dc* dc = dcOf(dest);
  internal::Surface image;
  if (!dc || !bits || usage != DIB_RGB_COLORS || !internal::dibToSurface(info, bits, image)) return 0;
  if (internal::rowCap < 0 || (internal::rowCap > 0 && std::abs(height) > internal::rowCap)) return 0;
  BlitRequest q;
  q.dst = dc;
  q.x = x, q.y = y, q.w = width, q.h = height, q.rop = rop;
  // Source rows count from the bottom of a bottom-up image.
  int top = info->bmiHeader.biHeight > 0 ? image.height - sy - sh : sy;
  q.sx = sx, q.sy = top, q.sw = sw, q.sh = sh;
  q.src = &image;
  q.nearestMono = true;
  return internal::blit(q) ? std::abs(sh) : 0;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0xFFFFFFFFu;
  x += dc->viewportOrg.x, y += dc->viewportOrg.y;
  internal::Surface scratch;
  POINT origin{};
  const internal::Surface* s = internal::sourceOf(*dc, origin, scratch);
  if (!s || !internal::effectiveClip(*dc).contains(x, y)) return 0xFFFFFFFFu;
  return internal::toColorref(s->row(y + origin.y)[x + origin.x]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0xFFFFFFFFu;
  HBRUSH brush = CreateSolidBrush(color);
  BlitRequest q;
  q.dst = dc;
  q.x = x, q.y = y, q.w = 1, q.h = 1, q.rop = PATCOPY, q.brush = brush;
  internal::blit(q);
  DeleteObject(brush);
  return GetPixel(hdc, x, y);
}

BOOL ScrollDC(HDC hdc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect) {
  Dc* dc = dcOf(hdc);
  if (!dc) return 0;
  using internal::Region;
  POINT vp = dc->viewportOrg;
  const Region& visible = internal::effectiveClip(*dc);
  RECT s0 = scroll ? internal::offsetRect(*scroll, vp.x, vp.y) : visible.box();
  RECT c = clip ? internal::offsetRect(*clip, vp.x, vp.y) : s0;
  Region cv = Region(c) & visible;  // where pixels may change
  Region moved = Region(internal::intersectRect(s0, c)) & visible;
  moved.offset(dx, dy);
  moved &= cv;
  Region uncovered = cv;
  uncovered -= moved;
  internal::Target t;
  if (!moved.empty() && internal::targetOf(*dc, t)) {
    // Read every source pixel before any is written.
    RECT box = moved.box();
    std::vector<std::uint32_t> copy;
    int bw = box.right - box.left;
    copy.reserve(static_cast<std::size_t>(bw) * static_cast<std::size_t>(box.bottom - box.top));
    for (int yy = box.top; yy < box.bottom; ++yy) {
      const std::uint32_t* srow = t.surface->row(yy - dy + t.origin.y) + box.left - dx + t.origin.x;
      copy.insert(copy.end(), srow, srow + bw);
    }
    for (const RECT& r : moved.rects())
      for (int yy = r.top; yy < r.bottom; ++yy)
        std::copy_n(&copy[static_cast<std::size_t>(yy - box.top) * static_cast<std::size_t>(bw) +
                          static_cast<std::size_t>(r.left - box.left)],
                    r.right - r.left, t.surface->row(yy + t.origin.y) + r.left + t.origin.x);
    internal::finishTarget(t, box);
  }
  uncovered.offset(-vp.x, -vp.y);
  if (Region* u = internal::regionOf(update)) *u = uncovered;
  if (updateRect) *updateRect = uncovered.box();
  return 1;
}

}  // namespace win
