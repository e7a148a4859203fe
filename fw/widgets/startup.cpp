#include "fw/widgets/startup.h"

#include "fw/core/sys.h"
#include "fw/widgets/domains/domain.h"
#include "fw/widgets/domains/springdom.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/lists/spring.h"
#include "fw/widgets/menus/drag.h"
#include "fw/widgets/menus/menu.h"

void vwidgetsInstallStartup() {
  vmoduleInstallStartup("vdomainGetDefaultClass", [] {
    vdomainGetDefaultClass();
    vdomainUndoObserverClass();
  });
  vmoduleInstallStartup("vspringdomGetDefaultClass", [] {
    vspringdomGetDefaultClass();
    vspringdomGetUndoObserverClass();
  });
  vmoduleInstallStartup("vlistGetDefaultClass", [] {
    vlistGetDefaultClass();
    vlistObserverGetDefaultClass();
  });
  vmoduleInstallStartup("vlistsizeGetDefaultClass", [] { vlistsizeGetDefaultClass(); });
  vmoduleInstallStartup("vmenuGetDefaultClass", vmenuStartup);
  vmoduleInstallStartup("vdragGetDefaultClass", [] { vdragGetDefaultClass(); });
  vmoduleInstallStartup("vspringGetDefaultClass", [] {
    vspringSolutionGetDefaultClass();
    vspringGetArrangerClass();
  });
}
