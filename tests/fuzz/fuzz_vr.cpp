// The ".vr" resource-file reader: the input is a whole file. Opening it
// either refuses it or gives a file whose every resource can be walked,
// read, changed and removed without reading outside a buffer or looping.
// Every top-level dictionary is also loaded as an object of the class it
// names (dates, date and number formats, patterns, datatags) and as a
// datatag, as an image, a colour list and a colour description, and the file is
// read through a preference dictionary: each refuses with an exception or
// gives an object that is then freed. Loaded pixmaps and images are
// stored again into memory, which runs the run-length encoder on them, and
// so are loaded dialog items and item lists (seeds/vr_items.txt).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/date.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/regexp.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/graphics/image.h"
#include "fw/widgets/dialog/itemlist.h"

namespace {

template <class F>
void guarded(F body) {
  vexGuard(body, [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
}

const std::string& scratchFile() {
  static const std::string name = "/tmp/fuzz_vr." + std::to_string(getpid());
  return name;
}

// Reads everything under h, by kind, at most `budget` resources.
void walk(vresource h, int depth, int* budget) {
  if (depth > 64 || --*budget < 0) return;
  int kind = vrstoreGetType(h, nullptr);
  if (kind == vresDICTIONARY) {
    for (std::int32_t i = 0; i < vrstoreCount(h) && *budget > 0; ++i) {
      vname tag;
      vresource c = vrstoreGetTagAt(h, i, &tag);
      guarded([&] { walk(c, depth + 1, budget); });
    }
  } else if (kind == vresARRAY) {
    int ek = vrstoreGetElementType(h);
    for (std::int32_t i = 0; i < vrstoreCount(h) && i < 256; ++i) guarded([&] {
        if (ek == vresDICTIONARY || ek == vresARRAY) walk(vrstoreGetAt(h, i), depth + 1, budget);
        else if (ek == vresSTRING) vrstoreGetAtStringText(h, i);
        else if (ek == vresINTEGER) vrstoreGetAtInteger(h, i);
        else vrstoreGetAt(h, i);
      });
  } else if (kind == vresSTRING) {
    char buffer[16];
    vrstoreGetStringRange(h, nullptr, 2, buffer, sizeof buffer);
  } else if (kind == vresOPAQUE) {
    vrstoreGetSize(h);
  }
}

// Every entry of a preference dictionary, its sub-dictionaries too.
void readPrefs(vprefDict* dict, int depth, int* budget) {
  vprefDictIterator it;
  vprefDictInitIterator(&it, dict);
  // A walk that raises still finishes its iterator.
  guarded([&] {
    while (vprefDictNextIterator(&it) && --*budget > 0) {
      guarded([&] {
        vpref* entry = vprefDictGet(dict, vprefDictIteratorKey(&it));
        if (entry == nullptr) return;
        if (depth < 8 && vclassIsSubclass(entry->cls, vprefGetDictClass()))
          readPrefs(static_cast<vprefDict*>(entry), depth + 1, budget);
        vprefRelease(entry);
      });
    }
  });
  vprefDictFinishIterator(&it);
}

void loadObjects(vresource root) {
  static const bool classes = [] {
    // The item classes make the application and start the window system,
    // whose files and windows the exit handlers close: the module shutdown
    // is asked for first, so that it runs last, and the handlers are run
    // before the platform's own statics go.
    vmoduleSetExitAtShutdown(1);
    vrstoreInstallInterface();
    vdateGetDefaultClass();
    vdateFormatGetDefaultClass();
    vnumFormatGetDefaultClass();
    vregexpGetDefaultClass();
    vdatatagGetDefaultClass();
    vsignatureGetDefaultClass();
    vprefBuildClasses();
    vpixmapGetDefaultClass();
    vimageGetDefaultClass();
    vdialogItemListGetDefaultClass();  // the item classes with it
    std::atexit(vsysRunExitHandlers);
    return true;
  }();
  (void)classes;
  std::int32_t count = 0;
  guarded([&] { count = vrstoreCount(root); });
  for (std::int32_t i = 0; i < count && i < 32; ++i) {
    guarded([&] {
      vresource c = vrstoreGetTagAt(root, i, nullptr);
      if (vrstoreGetType(c, nullptr) != vresDICTIONARY) return;
      guarded([&] {
        vobject* o = vobjectLoad(c);
        guarded([&] {
          if (!vclassIsSubclass(o->cls, vpixmapGetDefaultClass()) &&
              !vclassIsSubclass(o->cls, vdialogItemGetDefaultClass()) &&
              !vclassIsSubclass(o->cls, vdialogItemListGetDefaultClass()))
            return;
          vresource scratch = vrstoreCreateMemory();
          guarded([&] { vclassRec<vobjectClassRec>(o)->store(o, scratch); });
          vrstoreCloseFile(scratch);
        });
        vinstanceDestroy(o);
      });
      guarded([&] { vimageDestroy(vimageLoad(c)); });
      guarded([&] { vcolorListDestroy(vcolorListLoad(c)); });
      guarded([&] { vcolorDestroySpec(vcolorLoadSpec(c)); });
      guarded([&] { vdatatagDestroy(vdatatagLoad(c)); });
    });
  }
  vprefDict* prefs = vprefCreateDict();
  guarded([&] {
    vprefDictPushResource(prefs, root);
    int budget = 500;
    readPrefs(prefs, 0, &budget);
  });
  vprefRelease(prefs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  vfsPath* path = vfsNewPathFromString(scratchFile().c_str());
  vresource root = -1;
  guarded([&] { root = vrstoreOpenFile(path, 2); });
  if (root >= 0) {
    int budget = 2000;
    guarded([&] { walk(root, 0, &budget); });
    loadObjects(root);
    guarded([&] {
      if (vrstoreCount(root) > 0) vrstoreRemove(root, vrstoreGetTagAtOnly(root, 0));
    });
    guarded([&] { vrstoreSetStringSized(root, vnameInternLiteral("fuzz"), "value", 5); });
    guarded([&] { vrstoreCreateArray(root, vnameInternLiteral("array"), vresINTEGER, 40); });
    guarded([&] { vrstoreCloseFile(root); });
  }
  vfsFreePath(path);
  std::remove(scratchFile().c_str());
  return 0;
}
