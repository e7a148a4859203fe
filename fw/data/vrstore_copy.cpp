// A resource copied with everything under it into another, kind by kind,
// through the resource operations only.
#include "fw/core/mem.h"
#include "fw/data/vrstore_internal.h"

using namespace vrs;

namespace {

// True when r is s or lies under it.
bool under(vresource r, vresource s) {
  if (vrstoreGetRoot(r) != vrstoreGetRoot(s)) return false;
  std::uint32_t steps = entryOf(r).nextNumber + 1;
  for (;;) {
    if (r == s) return true;
    if (numberOf(r) == 0 || steps-- == 0) return false;
    r = vrstoreGetParent(r);
  }
}

void copyElement(vresource s, vresource d, int kind, std::int32_t i, std::uint32_t depth);

void copy(vresource src, vname stag, vresource dst, vname dtag, std::uint32_t depth) {
  if (depth > entryOf(src).nextNumber) damaged();
  int kind = vrstoreGetType(src, stag);
  switch (kind) {
    case vresDICTIONARY: {
      vresource s = vrstoreGet(src, stag);
      vresource d;
      if (!dtag && vrstoreGetType(dst, nullptr) == vresDICTIONARY) {
        d = dst;
        while (vrstoreCount(d) > 0) vrstoreRemove(d, vrstoreGetTagAtOnly(d, 0));
      } else {
        d = vrstoreCreate(dst, dtag, vresDICTIONARY);
      }
      for (std::int32_t i = 0, n = vrstoreCount(s); i < n; ++i) {
        vname tag = vrstoreGetTagAtOnly(s, i);
        copy(s, tag, d, tag, depth + 1);
      }
      break;
    }
    case vresARRAY: {
      vresource s = vrstoreGet(src, stag);
      int ek = vrstoreGetElementType(s);
      std::int32_t n = vrstoreCount(s);
      vresource d = vrstoreCreateArray(dst, dtag, ek, n);
      for (std::int32_t i = 0; i < n; ++i) copyElement(s, d, ek, i, depth + 1);
      break;
    }
    case vresTAG: vrstoreSetTag(dst, dtag, vrstoreGetTag(src, stag)); break;
    case vresINTEGER: vrstoreSetInteger(dst, dtag, vrstoreGetInteger(src, stag)); break;
    case vresFIXED: vrstoreSetFixed(dst, dtag, vrstoreGetFixed(src, stag)); break;
    case vresFLOAT: vrstoreSetFloat(dst, dtag, vrstoreGetFloat(src, stag)); break;
    case vresCHARACTER: vrstoreSetCharacter(dst, dtag, vrstoreGetCharacter(src, stag)); break;
    case vresBOOLEAN: vrstoreSetBoolean(dst, dtag, vrstoreGetBoolean(src, stag)); break;
    case vresSTRING: {
      std::string text = vrstoreGetStringText(src, stag);
      vrstoreSetStringSized(dst, dtag, text.data(), text.size());
      break;
    }
    case vresOPAQUE: {
      std::size_t n;
      void* bytes = vrstoreGetOpaque(src, stag, &n);
      vexGuard([&] { vrstoreSetOpaque(dst, dtag, bytes, n); },
               [&](vexHandler&) {
                 vmemFree(bytes);
                 _vexGenerate(nullptr, vexEnd);
               });
      vmemFree(bytes);
      break;
    }
    default: break;
  }
}

// Element i of array s into the same place of d, which has it as zero.
void copyElement(vresource s, vresource d, int kind, std::int32_t i, std::uint32_t depth) {
  switch (kind) {
    case vresDICTIONARY: case vresARRAY: case vresOPAQUE: case vresSTRING: {
      vresource from = vrstoreGetAt(s, i);
      if (vrstoreGetNumber(from) == 0) return;  // holds no record
      if (kind == vresSTRING) {
        std::string text = vrstoreGetAtStringText(s, i);
        return vrstoreSetAtStringSized(d, i, text.data(), text.size());
      }
      // An element made first, so the copy never lands on the root.
      vresource to = vrstoreCreateAt(d, i, kind == vresARRAY ? vresUNTYPED : kind);
      return copy(from, nullptr, to, nullptr, depth);
    }
    case vresTAG: return vrstoreSetAtTag(d, i, vrstoreGetAtTag(s, i));
    case vresINTEGER: return vrstoreSetAtInteger(d, i, vrstoreGetAtInteger(s, i));
    case vresFIXED: return vrstoreSetAtFixed(d, i, vrstoreGetAtFixed(s, i));
    case vresFLOAT: return vrstoreSetAtFloat(d, i, vrstoreGetAtFloat(s, i));
    case vresBOOLEAN: return vrstoreSetAtBoolean(d, i, vrstoreGetAtBoolean(s, i));
    case vresCHARACTER: return vrstoreSetAtCharacter(d, i, vrstoreGetAtCharacter(s, i));
    default: return;
  }
}

}  // namespace

void vresourceCopyContents(vresource source, vresource destination) {
  if (under(destination, source)) vexGenerateMessage(&vexArgClass, "Cannot copy a resource into itself");
  copy(source, nullptr, destination, nullptr, 0);
}
