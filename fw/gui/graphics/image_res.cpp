// Images in resources: the object form (the pixmap under "Map", the colour
// count, flags, an owned palette and mask) and the older raw form of one
// byte a pixel with its colours as integers.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/image_internal.h"
#include "fw/gui/graphics/pixmap_internal.h"

using namespace vimageint;

namespace {

enum RawKey { kWidth, kHeight, kNumColors, kMap, kColors, kTransparency };
constexpr const char* kRawKeys[] = {
    "vresourceTAG_IMAGE_WIDTH", "vresourceTAG_IMAGE_HEIGHT", "vresourceTAG_IMAGE_NUMCOLORS",
    "vresourceTAG_IMAGE_MAP",   "vresourceTAG_IMAGE_COLORS", "vresourceTAG_IMAGE_TRANSPARENCY",
};
vname raw(RawKey k) { return vnameInternLiteral(kRawKeys[k]); }
vname numColorsKey() { return vnameInternLiteral("NumColors"); }

[[noreturn]] void refuse(const char* why) { _vexGenerate(&vexArgRangeClass, vexSetMessage, why, vexEnd); }

// The resources of the images being loaded: a mask that leads back to one
// of them would be loaded without end.
std::vector<vresource> loading;
struct Loading {
  explicit Loading(vresource r) {
    if (std::find(loading.begin(), loading.end(), r) != loading.end())
      _vexGenerate(&vexArgClass, vexSetMessage, "image mask leads back to the image", vexEnd);
    loading.push_back(r);
  }
  ~Loading() { loading.pop_back(); }
};

// A mask entry is the mask's dictionary, or names a resource beside the image.
vresource maskResource(vresource image, vresource entry) {
  int type = vresourceGetType(entry, nullptr);
  if (type == vresDICTIONARY) return entry;
  vname name = nullptr;
  if (type == vresTAG) name = vresourceGetTag(entry, nullptr);
  if (type == vresSTRING) name = vnameInternLiteral(vresourceGetStringText(entry, nullptr).c_str());
  vresource found;
  if (!name || !vresourceTestGet(vresourceGetParent(image), name, &found)) refuse("image mask not found");
  return found;
}

std::string mapBytes(vresource resource, vresource entry) {
  int type = vresourceGetType(entry, nullptr);
  if (type == vresSTRING) return vresourceGetStringText(entry, nullptr);
  if (type != vresOPAQUE) refuse("image map is not a byte string");
  std::size_t size = 0;
  void* data = vresourceGetOpaque(resource, raw(kMap), &size);
  std::unique_ptr<void, void (*)(void*)> owned(data, vmemFree);
  return data ? std::string(static_cast<const char*>(data), size) : std::string();
}

// Set mask refuses a mask of other than two colours; a refused one goes again.
void takeMask(vimage* image, vresource mask) {
  vimage* loaded = vimageLoad(mask);
  vexGuard([&] { vimageSetMaskOwned(image, loaded); },
           [&](vexHandler&) {
             vimageDestroy(loaded);
             _vexGenerate(nullptr, vexEnd);
           });
}

vimage* loadRaw(vresource resource) {
  std::int32_t colors = vresourceGetInteger(resource, raw(kNumColors));
  std::int32_t height = vresourceGetInteger(resource, raw(kHeight));
  std::int32_t width = vresourceGetInteger(resource, raw(kWidth));
  vpixmapint::checkSize(width, height);
  if (colors < 1 || colors > 65536) refuse("image colour count out of range");
  vresource entry;
  std::string map;
  bool hasMap = vresourceTestGet(resource, raw(kMap), &entry);
  if (hasMap) {
    map = mapBytes(resource, entry);
    if (map.size() != std::size_t(width) * std::size_t(height)) refuse("image map of the wrong length");
  }
  vimage* image = vimageCreateSized(width, height, std::uint32_t(colors));
  vexGuard(
      [&] {
        if (hasMap) {
          vpixmapint::HeldCursor c(image);
          for (std::size_t i = map.size(); i-- > 0;) vpixmapCursorSetNext(&c.c, std::uint8_t(map[i]));
        }
        vresource rgb;
        if (vresourceTestGet(resource, raw(kColors), &rgb)) {
          vcolorList* palette = vimageGetPalette(image);
          std::int32_t n = vresourceCount(rgb);
          for (std::int32_t i = 0; i < colors; ++i) {
            unsigned c[3] = {0, 0, 0};
            for (std::int32_t j = 0; j < 3 && 3 * i + j < n; ++j)
              c[j] = std::uint16_t(vresourceGetAtInteger(rgb, 3 * i + j));
            vcolorSetSpecRGB(&palette->entries[i], c[0], c[1], c[2]);
          }
          vcolorListChanged(palette);
        }
        if (vresourceTestGet(resource, raw(kTransparency), &entry)) takeMask(image, maskResource(resource, entry));
      },
      [&](vexHandler&) {
        vimageDestroy(image);
        _vexGenerate(nullptr, vexEnd);
      });
  return image;
}

}  // namespace

namespace vimageint {

void store(vobject* self, vresource resource) {
  auto* image = static_cast<vimage*>(self);
  vresource map = vresourceGetDict(resource, vname_Map);
  vpixmapint::store(self, map);
  vresourceRemoveIfPresent(map, vname_Class);
  vobjectGetDefaultClass()->store(self, resource);
  vresourceSetTag(resource, vname_Type, vnameInternLiteral("vimage"));
  vresource ignored;
  if (vresourceTestGet(resource, raw(kNumColors), &ignored))
    for (const char* key : kRawKeys) vresourceRemoveIfPresent(resource, vnameInternLiteral(key));
  vresourceSetInteger(resource, numColorsKey(), std::int32_t(image->numColors));
  vresourceSetInteger(resource, vname_Flags, image->flags & 3);
  if (image->palette && (image->flags & vimageOWNS_PALETTE))
    vcolorListStore(image->palette, vresourceCreate(resource, vname_Palette, vresDICTIONARY));
  else
    vresourceRemoveIfPresent(resource, vname_Palette);
  if (image->mask && (image->flags & vimageOWNS_MASK)) {
    vresource child = vresourceCreate(resource, vname_Transparency, vresDICTIONARY);
    vclassRec<vobjectClassRec>(image->mask)->store(image->mask, child);
  } else {
    vresourceRemoveIfPresent(resource, vname_Transparency);
  }
}

void loadInit(vobject* self, vresource resource) {
  Loading guard(resource);
  auto* image = static_cast<vimage*>(self);
  image->palette = nullptr;
  image->mask = nullptr;
  image->flags = 0;
  vresource map;
  vpixmapint::loadInit(self, vresourceTestGet(resource, vname_Map, &map) ? map : resource);
  vexGuard(
      [&] {
        std::int32_t n;
        bool counted = vresourceTestGetInteger(resource, numColorsKey(), &n);
        // The count sizes tables made from it: the raw form's bounds hold here too.
        if (counted && (n < 1 || n > 65536)) refuse("image colour count out of range");
        image->numColors = counted ? std::uint32_t(n) : colorsOfDepth(image->depth);
        std::int32_t flags = 0;
        if (!vresourceTestGetInteger(resource, vnameInternLiteral("vimageFlags"), &flags))
          vresourceTestGetInteger(resource, vname_Flags, &flags);
        image->flags = std::uint16_t(flags & 3);
        if (image->flags & vimageNO_PALETTE) image->numColors = colorsOfDepth(image->depth);
        vresource child;
        if (vresourceTestGet(resource, vname_Palette, &child)) {
          image->palette = vcolorListLoad(child);
          image->flags |= vimageOWNS_PALETTE;
          if (image->palette->count < image->numColors) refuse("image palette shorter than its colour count");
        }
        if (vresourceTestGet(resource, vname_Transparency, &child)) takeMask(image, child);
      },
      [&](vexHandler&) {
        releaseParts(image);
        vpixmapint::releaseStore(image);
        _vexGenerate(nullptr, vexEnd);
      });
}

}  // namespace vimageint

vimage* vimageLoad(vresource resource) {
  vname cls;
  if (vresourceTestGetTag(resource, vname_Class, &cls)) {
    vobject* object = vobjectLoad(resource);
    if (!vclassIsSubclass(object->cls, vimageGetDefaultClass())) {
      vinstanceDestroy(object);
      _vexGenerate(&vexArgClass, vexSetMessage, "resource object is not an image", vexEnd);
    }
    return static_cast<vimage*>(object);
  }
  vresource ignored;
  if (!vresourceTestGet(resource, numColorsKey(), &ignored)) {
    Loading guard(resource);
    return loadRaw(resource);
  }
  vclass* c = vimageGetDefaultClass();
  auto* image = static_cast<vimage*>(vclassAllocInstance(c));
  image->cls = c;
  vexGuard([&] { vimageint::loadInit(image, resource); },
           [&](vexHandler&) {
             vclassFreeInstance(c, image);
             _vexGenerate(nullptr, vexEnd);
           });
  return image;
}
