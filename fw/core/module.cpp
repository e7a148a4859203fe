// Module slots and module contexts, the exit lists, and the start-up order.
#include <cstring>
#include <iterator>

#include "fw/core/attributed.h"
#include "fw/core/charset.h"
#include "fw/core/ex.h"
#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"

namespace {

struct ExitList {
  vmoduleExitProc* begin = nullptr;
  vmoduleExitProc* end = nullptr;
  vmoduleExitProc* cap = nullptr;
};

void** slotTable = nullptr;  // vmoduleSLOTS cells
int slotsUsed = 0;
vmoduleContext* defaultContext = nullptr;
vmoduleContext* currentContext = nullptr;
ExitList processExits;
bool exitAtShutdown = false;

void initExitList(vmoduleExitProc*& begin, vmoduleExitProc*& end, vmoduleExitProc*& cap) {
  begin = static_cast<vmoduleExitProc*>(vmemAlloc(sizeof(vmoduleExitProc) * vmoduleSLOTS));
  end = begin;
  cap = begin + vmoduleSLOTS;
}

void appendExit(vmoduleExitProc*& begin, vmoduleExitProc*& end, vmoduleExitProc*& cap, vmoduleExitProc proc) {
  if (!begin) initExitList(begin, end, cap);
  if (end == cap) {
    std::size_t n = static_cast<std::size_t>(cap - begin);
    begin = static_cast<vmoduleExitProc*>(vmemRealloc(begin, vmemArraySize(2 * n, sizeof(vmoduleExitProc))));
    end = begin + n;
    cap = begin + 2 * n;
  }
  *end++ = proc;
}

// Runs newest first; a procedure may append further ones, which run too.
void runExits(vmoduleExitProc*& begin, vmoduleExitProc*& end) {
  while (begin && end != begin) {
    vmoduleExitProc proc = *--end;
    proc();
  }
}

void _vmoduleShutdown();

void createTable() {
  if (slotTable) return;
  slotTable = static_cast<void**>(vmemAllocClear(sizeof(void*) * vmoduleSLOTS));
  defaultContext = vmoduleCreateContext();
  vsysAddExitHandler(_vmoduleShutdown);
}

void _vmoduleShutdown() {
  if (defaultContext) {
    vmoduleDestroyContext(defaultContext);
    defaultContext = nullptr;
    currentContext = nullptr;
    runExits(processExits.begin, processExits.end);
  }
}

int slotIndex(void** slot) { return static_cast<int>(slot - slotTable); }

}  // namespace

void** vmoduleAllocSlot() {
  createTable();
  if (slotsUsed >= vmoduleSLOTS) vexGenerateMessage(&vexModuleLimitClass, "module limit exceeded");
  return &slotTable[slotsUsed++];
}

void* vmoduleBindSlot(void** slot, std::size_t size) {
  if (*slot) vexGenerateMessage(&vexModuleStartupClass, "module is already allocated");
  void* block = vmemAlloc(size);
  vmoduleGetCurrentContext()->data[slotIndex(slot)] = block;
  *slot = block;
  return block;
}

void* vmoduleGetContextData(vmoduleContext* context, void** slot) {
  return context == currentContext ? *slot : context->data[slotIndex(slot)];
}

void vmoduleAddContextExitProc(vmoduleExitProc proc) {
  vmoduleContext* c = vmoduleGetCurrentContext();
  appendExit(c->exitBegin, c->exitEnd, c->exitCap, proc);
}

void vmoduleAddExitProc(vmoduleExitProc proc) {
  appendExit(processExits.begin, processExits.end, processExits.cap, proc);
}

vmoduleContext* vmoduleGetDefaultContext() {
  createTable();
  return defaultContext;
}

vmoduleContext* vmoduleGetCurrentContext() {
  createTable();
  return currentContext;
}

vmoduleContext* vmoduleCreateContext() {
  auto* c = static_cast<vmoduleContext*>(vmemAlloc(sizeof(vmoduleContext)));
  vmoduleInitContext(c);
  return c;
}

void vmoduleInitContext(vmoduleContext* c) {
  createTable();
  initExitList(c->exitBegin, c->exitEnd, c->exitCap);
  c->data = static_cast<void**>(vmemAllocClear(sizeof(void*) * vmoduleSLOTS));
  // The first context of the table becomes current without a copy: the
  // table is still empty.
  if (!currentContext)
    currentContext = c;
  else
    vmoduleSetContext(c);
}

void vmoduleSetContext(vmoduleContext* c) {
  if (c == currentContext) return;
  std::memcpy(slotTable, c->data, sizeof(void*) * static_cast<std::size_t>(slotsUsed));
  currentContext = c;
}

void vmoduleCloseContext(vmoduleContext* c) {
  if (!c->data) return;
  vmoduleSetContext(c);
  runExits(c->exitBegin, c->exitEnd);
  // Cells are cleared with their blocks, so no cell points at freed memory.
  for (int i = 0; i < slotsUsed; ++i) {
    vmemFree(slotTable[i]);
    slotTable[i] = nullptr;
    c->data[i] = nullptr;
  }
  if (defaultContext && c != defaultContext) vmoduleSetContext(defaultContext);
  vmemFree(c->data);
  vmemFree(c->exitBegin);
  c->data = nullptr;
  c->exitBegin = c->exitEnd = c->exitCap = nullptr;
}

void vmoduleDestroyContext(vmoduleContext* c) {
  vmoduleCloseContext(c);
  if (c == currentContext) currentContext = defaultContext != c ? defaultContext : nullptr;
  vmemFree(c);
}

void vmoduleSetExitAtShutdown(int flag) {
  if (flag && !exitAtShutdown) vsysAddExitHandler(_vmoduleShutdown);
  exitAtShutdown = flag != 0;
}

namespace {

// The framework's classes are built in this order; each later module fills
// its own row (modules above this library install theirs). The preferences
// hand-off comes first.
vmoduleStartupRow startupOrder[] = {
    {"vprefStartup", nullptr},
    {"vapplicationGetDefaultClass", nullptr},
    {"_vsyncRingInitPool", nullptr},
    {"vbuttonGetDefaultClass", nullptr},
    {"vclipboardGetDefaultClass", nullptr},
    {"vcolorchsrGetDefaultClass", nullptr},
    {"vcomboGetDefaultClass", nullptr},
    {"vcomboboxGetDefaultClass", nullptr},
    {"vcommGetDefaultClass", nullptr},
    {"vcommandGetDefaultClass", vcommandGetDefaultClass},
    {"vconfirmGetDefaultClass", nullptr},
    {"vcontainerGetDefaultClass", nullptr},
    {"vcontrolGetDefaultClass", nullptr},
    {"vcursorGetClass", nullptr},
    {"vdasservGetDefaultClass", nullptr},
    {"vdatatagGetDefaultClass", nullptr},
    {"vdateGetDefaultClass", nullptr},
    {"vdelegatorGetDefaultClass", [] { vdelegatorGetDefaultClass(); }},
    {"vdialogGetDefaultClass", nullptr},
    {"vdomainGetDefaultClass", nullptr},
    {"vdomainitemGetDefaultClass", nullptr},
    {"vdomainviewGetDefaultClass", nullptr},
    {"vdragGetDefaultClass", nullptr},
    {"vfilechsrGetDefaultClass", nullptr},
    {"vfontchsrGetDefaultClass", nullptr},
    {"vfsStartup", vfsStartup},
    {"vhelpGetDefaultClass", nullptr},
    {"viconviewGetDefaultClass", nullptr},
    {"vimageGetDefaultClass", nullptr},
    {"vimageedtrGetDefaultClass", nullptr},
    {"vkeyitemGetDefaultClass", nullptr},
    {"vlistGetDefaultClass", nullptr},
    {"vlistitemGetDefaultClass", nullptr},
    {"vlistsizeGetDefaultClass", nullptr},
    {"vliststrGetDefaultClass", nullptr},
    {"vlistviewGetDefaultClass", nullptr},
    {"vmainviewGetDefaultClass", nullptr},
    {"vmenuGetDefaultClass", nullptr},
    {"vmenubarGetDefaultClass", nullptr},
    {"vnotebookGetDefaultClass", nullptr},
    {"vnoticeGetDefaultClass", nullptr},
    {"vnumGetDefaultClass", nullptr},
    {"vobjectGetDefaultClass", [] { vobjectGetDefaultClass(), vobjectGetAttributedClass(), vobjectGetCommandClass(); }},
    {"vpaletteGetDefaultClass", nullptr},
    {"vpixmapGetDefaultClass", nullptr},
    {"vpoolStartup", vpoolStartup},
    {"vprefBuildClasses", nullptr},
    {"vprintGetDefaultClass", nullptr},
    {"vrectStartup", nullptr},
    {"vregexpGetDefaultClass", nullptr},
    {"vresourceStartup", nullptr},
    {"vrulerGetDefaultClass", nullptr},
    {"vscrapGetDefaultClass", nullptr},
    {"vserviceGetDefaultClass", nullptr},
    {"vsessionStartup", nullptr},
    {"vsignatureGetDefaultClass", nullptr},
    {"vsliderGetDefaultClass", nullptr},
    {"vspinnerGetDefaultClass", nullptr},
    {"vspringdomGetDefaultClass", nullptr},
    {"vspringGetDefaultClass", nullptr},
    {"vstylechsrGetDefaultClass", nullptr},
    {"vservicechsrGetDefaultClass", nullptr},
    {"vtextGetDefaultClass", nullptr},
    {"vtextitemGetDefaultClass", nullptr},
    {"vtextrulerGetDefaultClass", nullptr},
    {"vtextviewGetDefaultClass", nullptr},
    {"vundoGetActionListClass", nullptr},
    {"vwindowGetDefaultClass", nullptr},
};
static_assert(std::size(startupOrder) == 68, "the preferences hand-off and 67 getters");

}  // namespace

const vmoduleStartupRow* vmoduleGetStartupTable(int* count) {
  *count = static_cast<int>(std::size(startupOrder));
  return startupOrder;
}

void vmoduleInstallStartup(const char* name, void (*fn)()) {
  for (auto& row : startupOrder)
    if (std::strcmp(row.name, name) == 0) {
      row.fn = fn;
      return;
    }
  vexGenerateMessage(&vexArgClass, "no start-up row of that name");
}

namespace {
void (*argumentsStartup)(int, char**) = nullptr;
}

void vmoduleInstallArgumentsStartup(void (*fn)(int, char**)) { argumentsStartup = fn; }

void vmoduleStartupAll(int argc, char** argv) {
  // Without the preferences module the hand-off only asks for the module
  // shutdown at exit, as the preferences start-up does too.
  vcharsetStartup();
  if (argumentsStartup)
    argumentsStartup(argc, argv);
  else
    vmoduleSetExitAtShutdown(1);
  for (const auto& row : startupOrder)
    if (row.fn) row.fn();
}
