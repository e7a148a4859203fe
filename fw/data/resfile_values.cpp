// The kind-independent operations on resource values: entyping, tags,
// strings and opaque data.
#include "fw/data/resfile.h"

namespace {
vresFile* fileOf(vres* o) { return reinterpret_cast<vresFile*>(o->store); }
[[noreturn]] void damaged() { vexGenerateMessage(&vexArgClass, "Resource file is damaged"); }
}  // namespace

int vresEntype(vres* o, int kind) {
  int current = vresGetType(o);
  if (kind == vresUNTYPED || kind == current) return 0;
  if (current != vresUNTYPED) vexGenerateMessage(&vexArgClass, "Only untyped resources can be entyped.");
  vresSetKind(o, kind);
  return 1;
}

void vresSetKind(vres* o, int kind) {
  auto* rec = vclassRec<vresClassRec>(o);
  if (rec->getKind(o) == vresREFERENCE) {
    vresFile* f = fileOf(o);
    _vresFileSetRowKind(f, rec->getValue(o), kind);
  } else {
    rec->setKind(o, kind);
  }
}

vname vresGetTagValue(vres* o) {
  vresCheckKind(o, vresTAG);
  vname tag = vndxTagOf(fileOf(o)->tags, static_cast<std::int32_t>(vresGetValueWord(o)));
  if (!tag) damaged();
  return tag;
}
void vresSetTagValue(vres* o, vname tag) {
  vresCheckKind(o, vresTAG);
  vresCheckWritable(o);
  vresSetValueWord(o, static_cast<std::uint32_t>(vndxTagNumber(fileOf(o)->tags, tag)));
}

vscribe* vresGetString(vres* o) {
  vresCheckKind(o, vresSTRING);
  return vresStringChunkScribe(fileOf(o)->chunks, vresGetValueWord(o));
}
void vresSetString(vres* o, vscribe* text) {
  vexGuard(
      [&] {
        vresCheckKind(o, vresSTRING);
        vresCheckWritable(o);
      },
      [&](vexHandler&) {
        vscribeRelease(text);
        _vexGenerate(nullptr);
      });
  vresSetValueWord(o, vresStringChunkSet(fileOf(o)->chunks, vresGetValueWord(o), text));
}
std::size_t vresGetStringLength(vres* o) {
  vresCheckKind(o, vresSTRING);
  return vresStringChunkLength(fileOf(o)->chunks, vresGetValueWord(o));
}
void vresReadString(vres* o, std::size_t offset, std::size_t count, char* buffer) {
  vresCheckKind(o, vresSTRING);
  vresStringChunkRead(fileOf(o)->chunks, vresGetValueWord(o), offset, count, buffer);
}
std::uint32_t vresGetOpaqueSize(vres* o) {
  vresCheckKind(o, vresOPAQUE);
  std::uint32_t a = vresGetValueWord(o);
  return a ? vchunkGetSize(fileOf(o)->chunks, a) : 0;
}
void vresSetOpaqueSize(vres* o, std::uint32_t size) {
  vresCheckKind(o, vresOPAQUE);
  vresCheckWritable(o);
  vresSetValueWord(o, vresOpaqueChunkSetSize(fileOf(o)->chunks, vresGetValueWord(o), size));
}

std::uint8_t* vresGetOpaqueData(vres* o) {
  vresCheckKind(o, vresOPAQUE);
  std::uint32_t a = vresGetValueWord(o);
  return a ? vchunkGetData(fileOf(o)->chunks, a) : nullptr;
}
void vresReleaseOpaqueData(vres* o, int modified) {
  vresCheckKind(o, vresOPAQUE);
  if (std::uint32_t a = vresGetValueWord(o)) {
    // Unpinned either way; a write into a read-only file is then refused.
    bool refused = modified && fileOf(o)->store.readOnly;
    if (modified && !refused)
      vchunkReleaseDirty(fileOf(o)->chunks, a);
    else
      vchunkRelease(fileOf(o)->chunks, a);
    if (refused) vresCheckWritable(o);
  }
}
