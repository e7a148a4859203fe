// A resource copied with everything under it into another, kind by kind,
// through the routed resource operations, so either store may be source
// or destination.
#include "fw/core/mem.h"
#include "fw/core/ex.h"
#include "fw/data/vresource.h"

namespace {

// True when r is s or lies under it.
bool under(vresource r, vresource s) {
  if (vresourceGetRoot(r) != vresourceGetRoot(s)) return false;
  std::uint32_t steps = vresourceDepthLimit(r) + 1;
  for (;;) {
    if (r == s) return true;
    if (vresourceGetParent(r) == 0 || steps-- == 0) return false;
    r = vresourceGetParent(r);
  }
}

void copyElement(vresource s, vresource d, int kind, std::int32_t i, std::uint32_t depth);

void copy(vresource src, vname stag, vresource dst, vname dtag, std::uint32_t depth) {
  if (depth > vresourceDepthLimit(src)) vscrapRaiseTooDeep();
  int kind = vresourceGetType(src, stag);
  switch (kind) {
    case vresDICTIONARY: {
      vresource s = vresourceGet(src, stag);
      vresource d;
      if (!dtag && vresourceGetType(dst, nullptr) == vresDICTIONARY) {
        d = dst;
        while (vresourceCount(d) > 0) vresourceRemove(d, vresourceGetTagAtOnly(d, 0));
      } else {
        d = vresourceCreate(dst, dtag, vresDICTIONARY);
      }
      for (std::int32_t i = 0, n = vresourceCount(s); i < n; ++i) {
        vname tag = vresourceGetTagAtOnly(s, i);
        copy(s, tag, d, tag, depth + 1);
      }
      break;
    }
    case vresARRAY: {
      vresource s = vresourceGet(src, stag);
      int ek = vresourceGetElementType(s);
      std::int32_t n = vresourceCount(s);
      vresource d = vresourceCreateArray(dst, dtag, ek, n);
      for (std::int32_t i = 0; i < n; ++i) copyElement(s, d, ek, i, depth + 1);
      break;
    }
    case vresTAG: vresourceSetTag(dst, dtag, vresourceGetTag(src, stag)); break;
    case vresINTEGER: vresourceSetInteger(dst, dtag, vresourceGetInteger(src, stag)); break;
    case vresFIXED: vresourceSetFixed(dst, dtag, vresourceGetFixed(src, stag)); break;
    case vresFLOAT: vresourceSetFloat(dst, dtag, vresourceGetFloat(src, stag)); break;
    case vresCHARACTER: vresourceSetCharacter(dst, dtag, vresourceGetCharacter(src, stag)); break;
    case vresBOOLEAN: vresourceSetBoolean(dst, dtag, vresourceGetBoolean(src, stag)); break;
    case vresSTRING: {
      std::string text = vresourceGetStringText(src, stag);
      vresourceSetStringSized(dst, dtag, text.data(), text.size());
      break;
    }
    case vresOPAQUE: {
      std::size_t n;
      void* bytes = vresourceGetOpaque(src, stag, &n);
      vexGuard([&] { vresourceSetOpaque(dst, dtag, bytes, n); },
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
      vresource from = vresourceGetAt(s, i);
      if (vresourceGetNumber(from) == 0) return;  // holds no record
      if (kind == vresSTRING) {
        std::string text = vresourceGetAtStringText(s, i);
        return vresourceSetAtStringSized(d, i, text.data(), text.size());
      }
      // An element made first, so the copy never lands on the root.
      vresource to = vresourceCreateAt(d, i, kind == vresARRAY ? vresUNTYPED : kind);
      return copy(from, nullptr, to, nullptr, depth);
    }
    case vresTAG: return vresourceSetAtTag(d, i, vresourceGetAtTag(s, i));
    case vresINTEGER: return vresourceSetAtInteger(d, i, vresourceGetAtInteger(s, i));
    case vresFIXED: return vresourceSetAtFixed(d, i, vresourceGetAtFixed(s, i));
    case vresFLOAT: return vresourceSetAtFloat(d, i, vresourceGetAtFloat(s, i));
    case vresBOOLEAN: return vresourceSetAtBoolean(d, i, vresourceGetAtBoolean(s, i));
    case vresCHARACTER: return vresourceSetAtCharacter(d, i, vresourceGetAtCharacter(s, i));
    default: return;
  }
}

}  // namespace

void vresourceCopyContents(vresource source, vresource destination) {
  if (under(destination, source)) vexGenerateMessage(&vexArgClass, "Cannot copy a resource into itself");
  copy(source, nullptr, destination, nullptr, 0);
}
