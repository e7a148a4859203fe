#include "fw/widgets/startup.h"

#include "fw/core/sys.h"
#include "fw/widgets/domains/domain.h"
#include "fw/widgets/domains/springdom.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/lists/spring.h"

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
  vmoduleInstallStartup("vspringGetDefaultClass", [] {
    vspringSolutionGetDefaultClass();
    vspringGetArrangerClass();
  });
}
