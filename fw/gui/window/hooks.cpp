#include "fw/gui/window/hooks.h"

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/gui/window/application.h"

namespace {

void noName(vname) {}
void noRoot(vresource) {}
vinstance* noHelpWindow() {
  vexGenerateMessage(&vexModuleStateClass, "attempt to get the default global window when the default class wasn't set");
}

void noHelpShow(vinstance*, const vname*, int, const vrect*) {}

vobject* noButton(vinstance*, vname) { return nullptr; }
void noPresent(vinstance*, vname, int) {}
void noItemChange(vinstance*) {}
void noTitle(vinstance*, vscribe* title) { vscribeRelease(title); }
std::uint32_t noWord(vinstance*) { return 0; }
vlistviewNotifyFunc noNotify(vinstance*) { return nullptr; }
int noEntries(vinstance*) { return 0; }
vobject* noValue(vinstance*) { return nullptr; }
void noSelect(vinstance*, int) {}
void noSort(vinstance*, int, int, vcomboEntryCompare) {}
void noSetValue(vinstance*, vobject*) {}
std::intptr_t noVariant(vinstance*) { return 0; }
long noLength(vinstance*) { return 0; }
vtextBlock* noBlock(vinstance*) { return nullptr; }
long noBlockValue(vtextBlock*) { return 0; }
const char* noChars(vtextBlock*) { return ""; }
vtextBlock* noLink(vtextBlock*) { return nullptr; }
void noStyle(vinstance*, const void*, long, long) {}
int noFocusMode() { return 0; }
vcolor* applicationColor(int index) { return vapplicationDetermineColor(vapplicationGetCurrent(), index); }

constexpr vwindowHooks kDefaults{noName,      noRoot,       noHelpWindow, noHelpShow, noButton, noPresent, noItemChange,
                                 noItemChange, noTitle,     noWord,       noWord,   noNotify,  noEntries,
                                 noValue,     noSelect,     noSort,       noSetValue, noVariant, noLength,  noBlock,
                                 noBlockValue, noBlockValue, noChars,     noLink,   noLink,    noStyle,
                                 applicationColor, noFocusMode};

constinit vwindowHooks installed = kDefaults;

bool complete(const vwindowHooks& h) {
  return h.helpSetApplicationName && h.helpSetResourceRoot && h.helpGetGlobalWindow && h.helpShowKeys && h.noticeFindButton &&
         h.noticeMakeButtonPresent && h.dialogItemDisable && h.dialogItemHide && h.confirmButtonSetTitleScribe &&
         h.listviewItemFlags && h.listviewOptions && h.listviewNotifyFunction && h.comboHasEntries &&
         h.comboGetValue && h.comboSelect && h.comboSortEntries && h.comboSetValue && h.comboVariantOperation && h.textLength && h.textFirstBlock &&
         h.textBlockCount && h.textBlockStart && h.textBlockChars && h.textBlockNext && h.textBlockPrevious &&
         h.textApplyStyle && h.lookColor && h.lookInFocusMode;
}
bool fixed = false;

}  // namespace

vwindowHooks vwindowDefaultHooks() { return kDefaults; }

void vwindowInstallHooks(const vwindowHooks* hooks) {
  if (fixed) vexGenerateMessage(&vexModuleStateClass, "window hooks installed after the first class was built");
  if (!hooks || !complete(*hooks))
    vexGenerateMessage(&vexArgNullClass, "Null");
  installed = *hooks;
}

const vwindowHooks& vwindowGetHooks() {
  fixed = true;
  return installed;
}
