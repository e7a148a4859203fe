// Pixel cursors: seventeen tables of eleven operations, one per depth and
// layout variant, chosen once per cursor so that a walk makes no per-pixel
// tests of depth or layout.
#include <array>

#include "fw/core/ex.h"
#include "fw/gui/graphics/pixmap.h"

namespace {

using Cursor = vpixmapCursor;

// ---- Pixels of B whole bytes, least or most significant byte first.

template <int B, bool Big>
inline std::uint32_t load(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < B; ++i) v |= std::uint32_t(p[Big ? B - 1 - i : i]) << (8 * i);
  return v;
}
template <int B, bool Big>
inline void save(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < B; ++i) p[Big ? B - 1 - i : i] = std::uint8_t(v >> (8 * i));
}

// Rows follow one another with no padding: every step is an address step.
template <int B, bool Big>
struct Contiguous {
  static void moveTo(Cursor* c, int x, int y) { c->at = c->row0 + std::ptrdiff_t(y) * c->stride + std::ptrdiff_t(x) * B; }
  static void next(Cursor* c) { c->at += B; }
  static void previous(Cursor* c) { c->at -= B; }
  static void nextRow(Cursor* c) { c->at += c->stride; }
  static void previousRow(Cursor* c) { c->at -= c->stride; }
  static std::uint32_t get(Cursor* c) { return load<B, Big>(c->bytes + c->at); }
  static std::uint32_t getNext(Cursor* c) {
    std::uint32_t v = load<B, Big>(c->bytes + c->at);
    c->at += B;
    return v;
  }
  static std::uint32_t getAt(Cursor* c, int x, int y) {
    moveTo(c, x, y);
    return get(c);
  }
  static void set(Cursor* c, std::uint32_t v) { save<B, Big>(c->bytes + c->at, v); }
  static void setNext(Cursor* c, std::uint32_t v) {
    save<B, Big>(c->bytes + c->at, v);
    c->at += B;
  }
  static void setAt(Cursor* c, int x, int y, std::uint32_t v) {
    moveTo(c, x, y);
    set(c, v);
  }
};

// Rows with padding, or in reverse order: stepping past a row's end goes
// to the next row's start.
template <int B, bool Big>
struct Padded {
  static void moveTo(Cursor* c, int x, int y) {
    c->rowStart = c->row0 + std::ptrdiff_t(y) * c->stride;
    c->rowEnd = c->rowStart + std::ptrdiff_t(c->width) * B;
    c->at = c->rowStart + std::ptrdiff_t(x) * B;
  }
  static void next(Cursor* c) {
    c->at += B;
    if (c->at == c->rowEnd) {
      c->rowStart += c->stride;
      c->rowEnd += c->stride;
      c->at = c->rowStart;
    }
  }
  static void previous(Cursor* c) {
    if (c->at == c->rowStart) {
      c->rowStart -= c->stride;
      c->rowEnd -= c->stride;
      c->at = c->rowEnd - B;
    } else {
      c->at -= B;
    }
  }
  static void nextRow(Cursor* c) {
    c->at += c->stride;
    c->rowStart += c->stride;
    c->rowEnd += c->stride;
  }
  static void previousRow(Cursor* c) {
    c->at -= c->stride;
    c->rowStart -= c->stride;
    c->rowEnd -= c->stride;
  }
  static std::uint32_t get(Cursor* c) { return load<B, Big>(c->bytes + c->at); }
  static std::uint32_t getNext(Cursor* c) {
    std::uint32_t v = load<B, Big>(c->bytes + c->at);
    next(c);
    return v;
  }
  static std::uint32_t getAt(Cursor* c, int x, int y) {
    moveTo(c, x, y);
    return get(c);
  }
  static void set(Cursor* c, std::uint32_t v) { save<B, Big>(c->bytes + c->at, v); }
  static void setNext(Cursor* c, std::uint32_t v) {
    save<B, Big>(c->bytes + c->at, v);
    next(c);
  }
  static void setAt(Cursor* c, int x, int y, std::uint32_t v) {
    moveTo(c, x, y);
    set(c, v);
  }
};

// ---- Several pixels a byte, the first in the most significant bits.

template <int D>
struct SubByte {
  static constexpr std::uint32_t kMask = (1u << D) - 1;
  static constexpr int kTop = 8 - D;
  static void place(Cursor* c, int x) {
    c->x = x;
    int bit = x * D;
    c->at = c->rowStart + bit / 8;
    c->shift = kTop - bit % 8;
  }
  static void moveTo(Cursor* c, int x, int y) {
    c->rowStart = c->row0 + std::ptrdiff_t(y) * c->stride;
    place(c, x);
  }
  static void next(Cursor* c) {
    if (++c->x == c->width) {
      c->rowStart += c->stride;
      c->x = 0;
      c->at = c->rowStart;
      c->shift = kTop;
    } else if ((c->shift -= D) < 0) {
      c->shift = kTop;
      ++c->at;
    }
  }
  static void previous(Cursor* c) {
    if (c->x == 0) {
      c->rowStart -= c->stride;
      place(c, c->width - 1);
    } else if (--c->x, (c->shift += D) > kTop) {
      c->shift = 0;
      --c->at;
    }
  }
  static void nextRow(Cursor* c) {
    c->rowStart += c->stride;
    c->at += c->stride;
  }
  static void previousRow(Cursor* c) {
    c->rowStart -= c->stride;
    c->at -= c->stride;
  }
  static std::uint32_t get(Cursor* c) { return (c->bytes[c->at] >> c->shift) & kMask; }
  static std::uint32_t getNext(Cursor* c) {
    std::uint32_t v = get(c);
    next(c);
    return v;
  }
  static std::uint32_t getAt(Cursor* c, int x, int y) {
    moveTo(c, x, y);
    return get(c);
  }
  static void set(Cursor* c, std::uint32_t v) {
    std::uint8_t& b = c->bytes[c->at];
    b = std::uint8_t((b & ~(kMask << c->shift)) | ((v & kMask) << c->shift));
  }
  static void setNext(Cursor* c, std::uint32_t v) {
    set(c, v);
    next(c);
  }
  static void setAt(Cursor* c, int x, int y, std::uint32_t v) {
    moveTo(c, x, y);
    set(c, v);
  }
};

template <class T>
constexpr vpixmapCursorTable tableOf() {
  return {T::moveTo, T::next, T::previous, T::nextRow, T::previousRow, T::get,
          T::getNext, T::getAt, T::set, T::setNext, T::setAt};
}

constexpr std::array<vpixmapCursorTable, 17> kTables = {
    tableOf<SubByte<1>>(),           tableOf<SubByte<2>>(),           tableOf<SubByte<4>>(),
    tableOf<Contiguous<1, false>>(), tableOf<Padded<1, false>>(),
    tableOf<Contiguous<2, false>>(), tableOf<Contiguous<2, true>>(),  tableOf<Padded<2, false>>(),
    tableOf<Padded<2, true>>(),      tableOf<Contiguous<3, false>>(), tableOf<Contiguous<3, true>>(),
    tableOf<Padded<3, false>>(),     tableOf<Padded<3, true>>(),      tableOf<Contiguous<4, false>>(),
    tableOf<Contiguous<4, true>>(),  tableOf<Padded<4, false>>(),     tableOf<Padded<4, true>>(),
};

// The first write through a cursor makes the pixel bytes the current
// representation, then puts the real write operations in place.
void begin(Cursor* c) {
  vsyncRingSetCurrent(c->store);
  c->ops.set = c->table->set;
  c->ops.setNext = c->table->setNext;
  c->ops.setAt = c->table->setAt;
}
void lazySet(Cursor* c, std::uint32_t v) {
  begin(c);
  c->ops.set(c, v);
}
void lazySetNext(Cursor* c, std::uint32_t v) {
  begin(c);
  c->ops.setNext(c, v);
}
void lazySetAt(Cursor* c, int x, int y, std::uint32_t v) {
  begin(c);
  c->ops.setAt(c, x, y, v);
}

}  // namespace

int _vpixmapCursorTableIndex(const vpixmap* p) {
  int code = p->layout & vpixmapALIGN_MASK;
  bool big = (p->layout & vpixmapBYTE_ORDER) != 0;
  bool contiguous = !(p->layout & vpixmapBOTTOM_UP) &&
                    vpixmapRowBytes(p->width, p->depth, code) * 8 == std::size_t(p->width) * std::size_t(p->depth);
  switch (p->depth) {
    case 1:
    case 2:
    case 4:
      if (code == 0)
        _vexGenerate(&vexModuleUnimplementedClass, vexSetMessage, "unable to pad less than one byte", vexEnd);
      return p->depth == 1 ? 0 : p->depth == 2 ? 1 : 2;
    case 8:
      return contiguous ? 3 : 4;
    case 16:
      return 5 + (contiguous ? 0 : 2) + (big ? 1 : 0);
    case 24:
      return 9 + (contiguous ? 0 : 2) + (big ? 1 : 0);
    case 32:
      return 13 + (contiguous ? 0 : 2) + (big ? 1 : 0);
    default:
      _vexGenerate(&vexValueClass, vexEnd);
  }
}

void vpixmapInitCursor(vpixmapCursor* c, vpixmap* pixmap) {
  const vpixmapCursorTable* table = &kTables[std::size_t(_vpixmapCursorTableIndex(pixmap))];
  std::uint8_t* bytes = vpixmapLockPixels(pixmap);
  vsyncRingEntry* store = vpixmapGetRepresentation(pixmap, &vpixmapPixelKind);
  vsyncRingRetain(store);
  c->ops = *table;
  c->ops.set = lazySet;
  c->ops.setNext = lazySetNext;
  c->ops.setAt = lazySetAt;
  c->table = table;
  c->pixmap = pixmap;
  c->store = store;
  c->bytes = bytes;
  std::ptrdiff_t rowBytes = std::ptrdiff_t(vpixmapGetRowBytes(pixmap));
  bool bottomUp = (pixmap->layout & vpixmapBOTTOM_UP) != 0;
  c->row0 = bottomUp ? rowBytes * (pixmap->height - 1) : 0;
  c->stride = bottomUp ? -rowBytes : rowBytes;
  c->width = pixmap->width;
  c->at = c->rowStart = c->rowEnd = 0;
  c->shift = c->x = 0;
  c->ops.moveTo(c, 0, 0);
}

void vpixmapFinishCursor(vpixmapCursor* c) {
  if (c->store) vsyncRingRelease(c->store);
  c->store = nullptr;
}
