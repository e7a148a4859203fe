#include "fw/widgets/startup.h"

#include "fw/core/sys.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/lists/spring.h"

void vwidgetsInstallStartup() {
  vmoduleInstallStartup("vlistsizeGetDefaultClass", [] { vlistsizeGetDefaultClass(); });
  vmoduleInstallStartup("vspringGetDefaultClass", [] {
    vspringSolutionGetDefaultClass();
    vspringGetArrangerClass();
  });
}
