#include "fw/gui/window/namedres.h"

#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/application_internal.h"

int vapplicationFindNamedResource(vname name, vresource* out) {
  // A program that has made no application yet has only the framework's file.
  vapplication* app = _vapplicationClassIfBuilt() ? vapplicationGetCurrent() : nullptr;
  if (app && app->file && vresourceTestGet(app->file->root, name, out)) return 1;
  return vresourceTestGet(vinstGetSystemResource(), name, out);
}
