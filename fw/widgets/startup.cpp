#include "fw/widgets/startup.h"

#include <cstdio>
#include <cstdlib>

#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/date.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/regexp.h"
#include "fw/data/scrap.h"
#include "fw/data/undo.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/startup.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/clipboard.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/window.h"
#include "fw/services/service.h"
#include "fw/services/vcomm.h"
#include "fw/services/vdasserv.h"
#include "fw/text/text.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/choosers/stylechsr.h"
#include "fw/widgets/choosers/help.h"
#include "fw/widgets/choosers/servicechsr.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/keyitem.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/domains/domain.h"
#include "fw/widgets/domains/domainview.h"
#include "fw/widgets/domains/iconview.h"
#include "fw/widgets/domains/mainview.h"
#include "fw/widgets/domains/springdom.h"
#include "fw/widgets/hooks.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/textview/rulerview.h"
#include "fw/widgets/textview/textview.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/lists/spring.h"
#include "fw/widgets/menus/drag.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/notebook/notebook.h"

void vwidgetsInstallStartup() {
  vmoduleInstallStartup("vdomainGetDefaultClass", [] {
    vdomainGetDefaultClass();
    vdomainUndoObserverClass();
  });
  vmoduleInstallStartup("vdomainviewGetDefaultClass", [] { vdomainviewGetDefaultClass(); });
  vmoduleInstallStartup("vdomainitemGetDefaultClass", [] { vdomainitemGetDefaultClass(); });
  vmoduleInstallStartup("viconviewGetDefaultClass", [] { viconviewGetDefaultClass(); });
  vmoduleInstallStartup("vmainviewGetDefaultClass", [] { vmainviewGetDefaultClass(); });
  vmoduleInstallStartup("vspringdomGetDefaultClass", [] {
    vspringdomGetDefaultClass();
    vspringdomGetUndoObserverClass();
  });
  vmoduleInstallStartup("vlistGetDefaultClass", [] {
    vlistGetDefaultClass();
    vlistObserverGetDefaultClass();
  });
  vmoduleInstallStartup("vliststrGetDefaultClass", [] { _vliststrStartupClass(); });
  vmoduleInstallStartup("vlistviewGetDefaultClass", _vlistviewStartupClasses);
  vmoduleInstallStartup("vlistitemGetDefaultClass", [] {
    vlistitemGetDefaultClass();
    vlistitemGetListClass();
  });
  vmoduleInstallStartup("vpaletteGetDefaultClass", [] {
    vpaletteGetDefaultClass();
    vpaletteItemGetDefaultClass();
  });
  vmoduleInstallStartup("vcontrolGetDefaultClass", _vcontrolStartupClasses);
  vmoduleInstallStartup("vsliderGetDefaultClass", _vsliderStartupClasses);
  vmoduleInstallStartup("vbuttonGetDefaultClass", [] { vbuttonGetDefaultClass(); });
  vmoduleInstallStartup("vconfirmGetDefaultClass", [] { vconfirmGetDefaultClass(); });
  vmoduleInstallStartup("vhelpGetDefaultClass", vhelpStartup);
  vmoduleInstallStartup("vservicechsrGetDefaultClass", vservicechsrStartup);
  vmoduleInstallStartup("vnoticeGetDefaultClass", [] { vnoticeGetDefaultClass(); });
  vmoduleInstallStartup("vfilechsrGetDefaultClass", [] { vfilechsrGetDefaultClass(); });
  vmoduleInstallStartup("vcolorchsrGetDefaultClass", [] { vcolorchsrGetDefaultClass(); });
  vmoduleInstallStartup("vfontchsrGetDefaultClass", [] { vfontchsrGetDefaultClass(); });
  vmoduleInstallStartup("vstylechsrGetDefaultClass", [] { vstylechsrGetDefaultClass(); });
  vmoduleInstallStartup("vrulerGetDefaultClass", [] { _vrulerStartup(); });
  vmoduleInstallStartup("vkeyitemGetDefaultClass", [] { vkeyitemGetDefaultClass(); });
  vmoduleInstallStartup("vlistsizeGetDefaultClass", [] { vlistsizeGetDefaultClass(); });
  vmoduleInstallStartup("vmenuGetDefaultClass", vmenuStartup);
  vmoduleInstallStartup("vcontainerGetDefaultClass", vcontainerStartup);
  vmoduleInstallStartup("vdialogGetDefaultClass", vdialogStartup);
  vmoduleInstallStartup("vmenubarGetDefaultClass", vmenubarStartup);
  vmoduleInstallStartup("vnotebookGetDefaultClass", vnotebookStartup);
  vmoduleInstallStartup("vtextviewGetDefaultClass", _vtextviewStartupClasses);
  vmoduleInstallStartup("vtextrulerGetDefaultClass", _vtextrulerStartupClasses);
  vmoduleInstallStartup("vtextitemGetDefaultClass", vtextitemStartup);
  vmoduleInstallStartup("vcomboboxGetDefaultClass", vcomboboxStartup);
  vmoduleInstallStartup("vcomboGetDefaultClass", vcomboStartup);
  vmoduleInstallStartup("vspinnerGetDefaultClass", vspinnerStartup);
  vmoduleInstallStartup("vdragGetDefaultClass", [] { vdragGetDefaultClass(); });
  vmoduleInstallStartup("vspringGetDefaultClass", [] {
    vspringSolutionGetDefaultClass();
    vspringGetArrangerClass();
  });
}

vwindowHooks vwidgetsMakeWindowHooks() {
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  vwidgetsFillWindowHooks(&hooks);
  return hooks;
}

bool vwidgetsDisplayChosen(const char* program) {
  const char* chosen = std::getenv("WEXLIN_BACKEND");
  if (chosen && *chosen) return true;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr, "%s: no X display: DISPLAY is not set\n", program);
    return false;
  }
  setenv("WEXLIN_BACKEND", "x11", 1);
  return true;
}

void vwidgetsStartup(int argc, char** argv) {
  vsysStartup();  // done already under vsysMain
  // The record goes in before any class of the window layer reads it.
  vwindowHooks hooks = vwidgetsMakeWindowHooks();
  vwindowInstallHooks(&hooks);
  for (void (*install)() :
       {vresourceInstallStartup, vscrapInstallStartup, vnumInstallStartup, vprefInstallStartup, vregexpInstallStartup,
        vdatatagInstallStartup, vsignatureInstallStartup, vdateInstallStartup, vundoInstallStartup,
        vgraphicsInstallStartup, vapplicationInstallStartup, vwindowInstallStartup, vcursorInstallStartup,
        vclipboardInstallStartup, vtextInstallStartup, vcommInstallStartup, vserviceInstallStartup,
        vdasservInstallStartup, vwidgetsInstallStartup})
    install();
  // Rows ahead of "vresourceStartup" (the menus build the look, which
  // loads its images) read resources already.
  vrstoreInstallInterface();
  vmoduleStartupAll(argc, argv);
}
