// Pixmaps in resources: raw rows under "Bits" or run-length packets under
// "RLE_CompressImage", whichever is smaller by the format's rule.
#include <algorithm>
#include <memory>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/pixmap_internal.h"

using namespace vpixmapint;

namespace {

vname rleKey() { return vnameInternLiteral("RLE_CompressImage"); }

constexpr std::size_t kMaxPacket = 127;

// Pixels read ahead of the packet being built, in cursor order.
class Lookahead {
 public:
  Lookahead(vpixmapCursor* c, std::size_t total) : c_(c), left_(total) {}
  std::uint32_t at(std::size_t i) {
    while (buffer_.size() - head_ <= i) buffer_.push_back(vpixmapCursorGetNext(c_));
    return buffer_[head_ + i];
  }
  void drop(std::size_t n) {
    head_ += n;
    left_ -= n;
    if (head_ > 4096) {
      buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(head_));
      head_ = 0;
    }
  }
  std::size_t left() const { return left_; }

 private:
  vpixmapCursor* c_;
  std::vector<std::uint32_t> buffer_;
  std::size_t head_ = 0;
  std::size_t left_;
};

bool putValue(std::vector<std::uint8_t>* out, std::uint32_t v, bool wide) {
  if (!wide) {
    out->push_back(std::uint8_t(v));
    return true;
  }
  // Only 24 bits travel: a wider value would come back changed.
  if (v > 0xFFFFFF) return false;
  out->push_back(std::uint8_t(v >> 16));
  out->push_back(std::uint8_t(v >> 8));
  out->push_back(std::uint8_t(v));
  return true;
}

std::size_t rawBits(const vpixmap* p) {
  return std::size_t(p->width) * std::size_t(p->height) * std::size_t(p->depth);
}

// The store of a load under way: freed unless the load completes.
struct PendingPixels {
  vpixmap* p;
  bool kept = false;
  ~PendingPixels() {
    if (!kept) releaseStore(p);
  }
};

[[noreturn]] void refuse() { _vexGenerate(&vexArgRangeClass, vexSetMessage, "damaged pixmap resource", vexEnd); }

}  // namespace

bool _vpixmapEncodeRLE(vpixmap* p, std::vector<std::uint8_t>* out, std::size_t limit) {
  out->clear();
  bool wide = p->depth > 8;
  std::size_t total = std::size_t(p->width) * std::size_t(p->height);
  std::size_t room = total * (wide ? 3 : 1);
  HeldCursor c(p);
  Lookahead px(&c.c, total);
  while (px.left() > 0) {
    std::size_t k = std::min(px.left(), kMaxPacket), n;
    bool repeat = false;
    auto triple = [&](std::size_t i) { return i + 2 < px.left() && px.at(i) == px.at(i + 1) && px.at(i + 1) == px.at(i + 2); };
    if (k < 3) {
      n = k;
    } else if (triple(0)) {
      repeat = true;
      for (n = 3; n < k && px.at(n) == px.at(0);) ++n;
    } else {
      // A literal run ends before three equal pixels, which start the next packet.
      for (n = 1; n < k && !triple(n);) ++n;
    }
    std::size_t free = room - out->size();
    if (repeat ? free < 5 : free < 1 + n * 3 + 2) return false;
    out->push_back(std::uint8_t(repeat ? -int(n) : int(n)));
    for (std::size_t i = 0; i < (repeat ? 1 : n); ++i)
      if (!putValue(out, px.at(i), wide)) return false;
    px.drop(n);
    if (out->size() > limit) return false;
  }
  return true;
}

bool _vpixmapDecodeRLE(vpixmap* p, const std::uint8_t* data, std::size_t size) {
  bool wide = p->depth > 8;
  std::size_t width = wide ? 3 : 1;
  std::size_t total = std::size_t(p->width) * std::size_t(p->height), done = 0;
  // No packet stands for more than 127 pixels: refused before any pixels are made.
  if (total / kMaxPacket > size / (1 + width) + 1) return false;
  HeldCursor c(p);
  auto value = [&](std::size_t at) {
    return wide ? std::uint32_t(data[at]) << 16 | std::uint32_t(data[at + 1]) << 8 | data[at + 2] : data[at];
  };
  for (std::size_t i = 0; i < size;) {
    int count = static_cast<std::int8_t>(data[i++]);
    if (count == 0) continue;
    std::size_t n = std::size_t(count < 0 ? -count : count);
    if (n > total - done) return false;
    std::size_t bytes = count > 0 ? n * width : width;
    if (size - i < bytes) return false;
    if (count > 0) {
      for (std::size_t k = 0; k < n; ++k, i += width) vpixmapCursorSetNext(&c.c, value(i));
    } else {
      std::uint32_t v = value(i);
      for (std::size_t k = 0; k < n; ++k) vpixmapCursorSetNext(&c.c, v);
      i += width;
    }
    done += n;
  }
  return done == total;
}

namespace vpixmapint {

void store(vobject* self, vresource resource) {
  vobjectGetDefaultClass()->store(self, resource);
  auto* p = static_cast<vpixmap*>(self);
  vresourceSetTag(resource, vname_Type, vnameInternLiteral("vpixmap"));
  vresourceSetInteger(resource, vname_Width, p->width);
  vresourceSetInteger(resource, vname_Height, p->height);
  vresourceSetInteger(resource, vname_Depth, p->depth);
  vresourceSetInteger(resource, vname_Flags, p->layout & vpixmapLAYOUT_BITS);
  if (!p->store) {
    vresourceRemoveIfPresent(resource, vname_Bits);
    vresourceRemoveIfPresent(resource, rleKey());
    return;
  }
  std::vector<std::uint8_t> packets;
  // Past three quarters of the raw size the raw bytes are stored anyway.
  if (_vpixmapEncodeRLE(p, &packets, rawBits(p) * 3 / 32) && packets.size() * 32 <= rawBits(p) * 3) {
    vresourceSetOpaque(resource, rleKey(), packets.data(), packets.size());
    vresourceRemoveIfPresent(resource, vname_Bits);
  } else {
    std::size_t n = vpixmapGetRowBytes(p) * std::size_t(p->height);
    vresourceSetOpaque(resource, vname_Bits, vpixmapLockPixels(p), n);
    vresourceRemoveIfPresent(resource, rleKey());
  }
}

void loadInit(vobject* self, vresource resource) {
  auto* p = static_cast<vpixmap*>(self);
  p->store = nullptr;
  vobjectGetDefaultClass()->loadInit(self, resource);
  std::int32_t width = vresourceGetInteger(resource, vname_Width);
  std::int32_t height = vresourceGetInteger(resource, vname_Height);
  std::int32_t depth = vresourceGetInteger(resource, vname_Depth);
  checkSize(width, height);
  if (depth < 1 || depth > 32) refuse();
  std::int32_t flags = vpixmapGetDefaultLayout() | vpixmapDEFAULT_LAYOUT;
  vresourceTestGetInteger(resource, vname_Flags, &flags);
  p->width = std::int16_t(width);
  p->height = std::int16_t(height);
  p->depth = std::int16_t(roundDepth(depth));
  p->layout = std::uint16_t(flags & vpixmapLAYOUT_BITS);

  PendingPixels pending{p};
  void* data = nullptr;
  std::size_t size = 0;
  if (vresourceTestGetOpaque(resource, vname_Bits, &data, &size)) {
    std::unique_ptr<void, void (*)(void*)> owned(data, vmemFree);
    if (!data || size != vpixmapGetRowBytes(p) * std::size_t(height)) refuse();
    vsyncRingEntry* e = vpixmapGetRepresentation(p, &vpixmapPixelKind);
    e->value = reinterpret_cast<std::intptr_t>(owned.release());
    vsyncRingSetCurrent(e);
  } else if (vresourceTestGetOpaque(resource, rleKey(), &data, &size)) {
    std::unique_ptr<void, void (*)(void*)> owned(data, vmemFree);
    if (!data || !_vpixmapDecodeRLE(p, static_cast<const std::uint8_t*>(data), size)) refuse();
  }
  if (p->layout & vpixmapDEFAULT_LAYOUT) changeLayout(p, 0x0F, unsigned(vpixmapGetDefaultLayout()));
  pending.kept = true;
}

}  // namespace vpixmapint
