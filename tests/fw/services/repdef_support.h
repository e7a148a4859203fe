// Helpers for the marshalling tests: bytes written for a value, values
// read from bytes, and datatags built in a line.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fw/data/scrap_support.h"
#include "fw/services/natscrap.h"
#include "fw/services/repdef.h"

using Bytes = std::vector<std::uint8_t>;

struct Owned {
  vinstance* o;
  explicit Owned(vinstance* object) : o(object) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (o) vinstanceDestroy(o);
  }
};

struct TestBlock {
  vsessionBlock b;
  TestBlock() { vsessionBlockInitProportional(&b, 2.0f); }
  explicit TestBlock(const Bytes& bytes) : TestBlock() {
    if (!bytes.empty())
      std::memcpy(vsessionBlockAppendSpace(&b, static_cast<std::uint32_t>(bytes.size())), bytes.data(), bytes.size());
  }
  ~TestBlock() { vsessionBlockRelease(&b); }
  Bytes bytes() const {
    auto* p = reinterpret_cast<const std::uint8_t*>(vsessionBlockBytes(&b));
    return Bytes(p, p + vsessionBlockLength(&b));
  }
};

inline Bytes written(vdatatag* d, vinstance* value) {
  TestBlock block;
  Owned writer{_vrepdefCreateScrap(&block.b, d)};
  _vrepdefWrite(static_cast<_vrepdefScrap*>(writer.o), value);
  return block.bytes();
}

// The value the bytes hold, read as d into a native scrap (null on a raise,
// with raised filled in).
inline vinstance* readNative(vdatatag* d, const Bytes& bytes, Raised* raisedBy = nullptr, std::uint32_t* left = nullptr) {
  TestBlock block(bytes);
  Owned reader{_vrepdefCreateScrap(&block.b, d)};
  vinstance* value = nullptr;
  Raised r = raised([&] { value = _vrepdefReadNative(static_cast<_vrepdefScrap*>(reader.o)); });
  if (raisedBy) *raisedBy = r;
  if (left) *left = vsessionBlockLength(&block.b);
  return value;
}

inline std::string hex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }
// An encoded string as this system writes it (character set 3).
inline Bytes encoded(const char* s) {
  auto n = static_cast<std::uint8_t>(std::strlen(s));
  return Bytes{0x44, 0x03, n} + text(s);
}

inline vdatatag* predefined(int kind) { return vdatatagGetPredefined(kind); }
inline vdatatag* pointerTo(vdatatag* target) {
  vdatatag* d = vdatatagCreate(vdatatagPOINTER);
  vdatatagSetPointerTarget(d, target);
  return d;
}
inline vdatatag* arrayOf(vdatatag* element) {
  vdatatag* d = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(d, element);
  return d;
}
inline vdatatag* compoundOf(std::initializer_list<vdatatag*> members) {
  vdatatag* d = vdatatagCreate(vdatatagCOMPOUND);
  for (vdatatag* m : members) _vdatatagListAppend(vdatatagGetCompoundMembers(d), m);
  return d;
}

template <class... Args>
vinstance* valueOf(vdatatag* d, Args... args) {
  return vdatatagCreateScrapWithValue(d, args...);
}
// A native scrap of a class, or of the native class registered for it.
inline vinstance* native(vclass* cls) {
  vnatscrapGetDefaultClass();
  vclass* n = vscrapGetNativeClass(cls);
  return vinstanceCreate(n ? n : cls);
}
inline vinstance* nativeString(const char* s) { return vscrapCreateNativeString(s); }
