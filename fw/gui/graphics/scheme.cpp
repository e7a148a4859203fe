#include "fw/gui/graphics/scheme.h"

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"

namespace {

constexpr const char* kNames[vcolorSCHEME_SIZE / 2] = {
    "Foreground",       "Background",       "ShadowTop",   "ShadowBottom", "ForegroundHilite", "BackgroundHilite",
    "BackgroundEmboss", "BackgroundDeboss", "ColorBorder", "ColorFocus",   "ShadowTopDark",    "ShadowBottomDark"};

vname disableKey() {
  static vname key = vnameInternLiteral("Disable");
  return key;
}

// The entries of mask, five bits a step.
void copyMasked(vcolor* const* from, std::uint32_t mask, vcolor** to) {
  mask &= vcolorSCHEME_ALL;
  for (int i = 0; mask >> i; i += 5) {
    std::uint32_t bits = (mask >> i) & 0x1F;
    for (int j = 0; bits; ++j, bits >>= 1)
      if (bits & 1) to[i + j] = from[i + j];
  }
}

vcolor* loadFromPreference(vpref* entry) {
  vresource r = 0;
  if (vclassIsSubclass(entry->cls, vprefGetValueClass())) {
    auto* v = static_cast<vprefValue*>(entry);
    if (v->hasResource && vresourceGetType(v->resource, v->resourceTag) == vresDICTIONARY)
      r = v->resourceTag ? vresourceGet(v->resource, v->resourceTag) : v->resource;
  } else if (vclassIsSubclass(entry->cls, vprefGetDictClass())) {
    auto* d = static_cast<vprefDict*>(entry);
    if (d->stackCount > 0) r = d->stack[d->stackCount - 1];
  }
  return r ? vcolorLoad(r) : nullptr;
}

}  // namespace

vname vcolorGetSchemeTag(int index) {
  static vname names[vcolorSCHEME_SIZE / 2];
  if (index < 0 || index >= vcolorSCHEME_SIZE) _vexGenerate(&vexArgRangeClass, vexEnd);
  vname& n = names[index >> 1];
  if (!n) n = vnameInternLiteral(kNames[index >> 1]);
  return n;
}

std::uint32_t vcolorMakeSchemeMask(const int* indexes, int count) {
  std::uint32_t mask = 0;
  for (int k = 0; k < count; ++k) mask |= vcolorSchemeBit(indexes[k]);
  return mask;
}

int vcolorGetSchemeIndexes(std::uint32_t mask, int* indexes) {
  int n = 0;
  for (int i = 0; i < 32; ++i)
    if (mask & (1u << i)) indexes[n++] = i;
  return n;
}

void vcolorSetSchemeColors(vcolorScheme* scheme, std::uint32_t mask, vcolor* const* colors) {
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
    if (!(mask & vcolorSchemeBit(i))) continue;
    if (colors[i]) {
      scheme->entries[i] = colors[i];
      scheme->mask |= vcolorSchemeBit(i);
    } else {
      scheme->mask &= ~vcolorSchemeBit(i);
    }
  }
}

void vcolorSetSchemeColorsIndexed(vcolorScheme* scheme, const int* indexes, int count, vcolor* const* colors) {
  for (int k = 0; k < count; ++k) {
    int i = indexes[k];
    if (i < 0 || i >= vcolorSCHEME_SIZE) _vexGenerate(&vexArgRangeClass, vexEnd);
    if (colors[k]) {
      scheme->entries[i] = colors[k];
      scheme->mask |= vcolorSchemeBit(i);
    } else {
      scheme->mask &= ~vcolorSchemeBit(i);
    }
  }
}

void vcolorCopySchemeColors(const vcolorScheme* scheme, std::uint32_t mask, vcolor** colors) {
  mask &= vcolorSCHEME_ALL;
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i)
    if ((mask & ~scheme->mask) & vcolorSchemeBit(i)) colors[i] = nullptr;
  copyMasked(scheme->entries, mask & scheme->mask, colors);
}

void vcolorGetSchemeColors(const vcolorScheme* scheme, const int* indexes, int count, vcolor** colors) {
  for (int k = 0; k < count; ++k) {
    int i = indexes[k];
    bool present = i >= 0 && i < vcolorSCHEME_SIZE && (scheme->mask & vcolorSchemeBit(i));
    colors[k] = present ? scheme->entries[i] : nullptr;
  }
}

void vcolorMergeScheme(const vcolorScheme* source, std::uint32_t mask, vcolorScheme* destination) {
  destination->mask |= mask;
  copyMasked(source->entries, mask, destination->entries);
}

void vcolorAssignScheme(const vcolorScheme* source, std::uint32_t mask, vcolorScheme* destination) {
  destination->mask = mask;
  copyMasked(source->entries, mask, destination->entries);
}

void vcolorPromoteScheme(vcolorScheme* scheme) {
  for (int i = 1; i < vcolorSCHEME_SIZE; i += 2) {
    if (!(scheme->mask & vcolorSchemeBit(i))) continue;
    scheme->entries[i - 1] = scheme->entries[i];
    scheme->mask |= vcolorSchemeBit(i - 1);
  }
}

void vcolorLoadScheme(vprefDict* dict, std::uint32_t mask, vcolorScheme* scheme) {
  vprefDict* disable = vprefGetDict(dict, vscribeLiteral("Disable"));
  vexGuard(
      [&] {
        for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
          if (!(mask & vcolorSchemeBit(i))) continue;
          vprefDict* from = i & 1 ? disable : dict;
          if (!from) continue;
          vpref* entry = vprefDictGet(from, vcolorGetSchemeTag(i));
          if (!entry) continue;
          vcolor* color = nullptr;
          vexGuard([&] { color = loadFromPreference(entry); },
                   [&](vexHandler&) {
                     vprefRelease(entry);
                     _vexGenerate(nullptr, vexEnd);
                   });
          vprefRelease(entry);
          scheme->mask |= vcolorSchemeBit(i);
          scheme->entries[i] = color;
        }
      },
      [&](vexHandler&) {
        if (disable) vprefRelease(disable);
        _vexGenerate(nullptr, vexEnd);
      });
  if (disable) vprefRelease(disable);
}

void vcolorLoadSchemeResource(vcolorScheme* scheme, vresource resource) {
  std::uint32_t found = 0;
  auto readFrom = [&](vresource from, int first) {
    for (int i = first; i < vcolorSCHEME_SIZE; i += 2) {
      vresource child;
      if (!vresourceTestGet(from, vcolorGetSchemeTag(i), &child)) continue;
      scheme->entries[i] = vcolorLoad(vresourceGet(from, vcolorGetSchemeTag(i)));
      found |= vcolorSchemeBit(i);
    }
  };
  readFrom(resource, 0);
  vresource disable;
  if (vresourceTestGet(resource, disableKey(), &disable)) readFrom(vresourceGet(resource, disableKey()), 1);
  scheme->mask = found;
}

// Every index is visited, so that a child of an absent entry never
// survives a store, whichever entries are present.
void vcolorStoreScheme(const vcolorScheme* scheme, vresource resource) {
  vresourceRemoveIfPresent(resource, disableKey());
  vresource disable = vresourceCreate(resource, disableKey(), vresDICTIONARY);
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
    vresource target = i & 1 ? disable : resource;
    vname name = vcolorGetSchemeTag(i);
    if ((scheme->mask & vcolorSchemeBit(i)) && scheme->entries[i])
      vcolorStoreSpec(&scheme->entries[i]->desc, vresourceMake(target, name));
    else
      vresourceRemoveIfPresent(target, name);
  }
}
