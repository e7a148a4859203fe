// Hand-over point of ".lod" loading to the object-file loader, which sits
// above the engine and installs itself at start-up.
#include "sim/engine/device/regaccess.h"

namespace {
coff_loader installed_loader = nullptr;
}

void set_coff_loader(coff_loader loader) { installed_loader = loader; }

int coff_try_load(int device, const char* path) {
  return installed_loader != nullptr ? installed_loader(device, path) : -1;
}
