#include "fw/gui/window/namedres.h"

#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"

int vapplicationFindNamedResource(vname name, vresource* out) {
  vapplication* app = vapplicationGetCurrent();
  if (app && app->file && vresourceTestGet(app->file->root, name, out)) return 1;
  return vresourceTestGet(vinstGetSystemResource(), name, out);
}
