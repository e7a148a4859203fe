#include "fw/gui/graphics/startup.h"

#include "fw/core/sys.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/graphics/syncring.h"
#include "fw/gui/print/print.h"

void vgraphicsInstallStartup() {
  vmoduleInstallStartup("_vsyncRingInitPool", _vsyncRingInitPool);
  vmoduleInstallStartup("vrectStartup", vrectStartup);
  vmoduleInstallStartup("vpixmapGetDefaultClass", [] { vpixmapGetDefaultClass(); });
  vmoduleInstallStartup("vimageGetDefaultClass", [] { vimageGetDefaultClass(); });
  vprintInstallStartup();
}
