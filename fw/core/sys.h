// Start-up and exit: the process entry, the program name, the hidden task
// window, the exit-handler stack, module slots and module contexts.
//
// Time in the loop is the platform's `GetTickCount64`, the monotonic clock in milliseconds; a stamp
// is that time plus a per-post sequence in nanoseconds, which only orders events posted in the same
// millisecond (an event is due once its millisecond has come). Tests replace the clock with a
// simulated one whose waits move it instead of sleeping. Signals 2, 3 and 15 only set a flag and
// write the platform's wake pipe; the loop requests quit at its next round.
//
// Class records are C++ structs that extend their superclass's record (`vobjectClassRec :
// vinstanceClassRec : vclass`); a slot takes the base type and casts, so a spawned record can be a
// byte copy of its superclass's. Every framework module keeps its state in a module slot and builds
// its classes per module context on first use of its getter.
//
// Exceptions keep the framework's model (typed records chained on a 1152-byte exception stack, a
// handler stack, the chain dump and exit status 1 when nothing handles a raise) on C++ exceptions:
// `vexGuard` pushes a handler and runs its body in a `try`; a raise pops the newest handler and
// throws to it, so C++ destructors run and no `longjmp` crosses C++ frames. Records are laid out in
// host sizes but counted in the documented sizes (36, 40, 44 ... bytes), so the stack overflows at
// the same raise on any host.
//
// Debug output (exception chains, diagnostics) goes through the nine functions of
// `vdebugGetStdioTable`. The console records are the process's standard streams: console output and
// errors go to standard error, never mixing with a session on standard output, and everything is
// also written to the debug log ("vdebug.log", or the first free "vdebug%d.log", created
// exclusively so an old log is never overwritten).
//
// 1. `fw/core`, the spine: start-up and exit (`sys.h`: `vsysMain` hands the process's argv to the
//    application's main and its status to `vsysExit`; the program name; the hidden task window; the
//    32-entry exit-handler stack; 96 module slots bound per module context, and the start-up order
//    `vmoduleStartupAll`, one table row per module getter), memory (`mem.h`: allocation that raises
//    instead of returning null, block pools; `vmemGuard` turns a standard container's
//    `std::bad_alloc` into `Memory/Alloc` where a container is sized from input), typed exceptions
//    (`ex.h`), the debug console and log (`debug.h`), scribes and counted strings (`scribe.h`),
//    interned names (`name.h`) and growable arrays (`array.h`). On the spine, still in `fw/core`:
//    classes and objects (`class.h`: class records spawned as copies of their superclass's record and
//    given their own slots; instances from pools shared by instance size; registries by name per
//    module context and process-wide; `vobject` with a tag, stored into and loaded from resources;
//    delegation walks), dictionaries (`dict.h`), commands, key lists and command spaces (`command.h`:
//    the five command classes, the attribute-kind handlers, spaces with attached observers told when
//    dictionaries come and go), and attributed objects (`attributed.h`: named attributes, change
//    notices, selectors, the issue road from a tag to its command). Objects reach resource
//    dictionaries only through `resource.h`, an interface of a dozen calls that the resource module
//    will install; the tests install an in-memory stand-in. Events and timers (`event.h`, `timer.h`):
//    pooled event records in binary heaps (the main queue by priority then stamp, the timer queue and
//    one queue per nesting level by stamp), one loop that moves due events, pumps native messages,
//    dispatches, and sleeps in the platform's `WaitMessage` when nothing is due; timers are delayed
//    events that re-post themselves after their notify returns. Character sets (`charset.h`) and the
//    file system (`fs.h`) are described below. The file chooser's 38 resource names
//    (`filechsrnames.h`) live here as an array indexed by `vfilechsrNameId`, filled by
//    `_vfilechsrInternNames`, which the chooser module's start-up calls after its own filter names.
#pragma once
#include <cstddef>

#include "platform/win.h"

using vsysExitHandler = void (*)();
using vmoduleExitProc = void (*)();

// The process entry: starts the framework with the process's argv, calls
// appMain (argc, argv) and exits with its status.
[[noreturn]] void vsysMain(int argc, char** argv, int (*appMain)(int, char**));
void vsysMSWStartup(int argc, char** argv);
void _vsysMSWSplitCommandLine(char* text, char*** vector, int* count, int* capacity);
void _vsysMSWFreeArgs();
int vsysGetArgc();
char** vsysGetArgv();

void vsysStartup();
[[noreturn]] void vsysExit(int status);
int vsysAddExitHandler(vsysExitHandler handler);
void vsysRunExitHandlers();

void vsysSetProgramName(const char* name);
const char* vsysGetProgramName();
// The program name of an argv[0]: after the last '/' or '\', cut at the first '.'.
void _vsysProgramNameFromPath(const char* path, char* out, std::size_t size);
void vsysSetIcon(win::HICON icon);
void vsysShowTaskWindow();
void vsysHideTaskWindow();
win::HWND vsysGetTaskWindow();
win::DWORD vsysGetVersion();
int vsysIsNT();

int vsysMSWFindRegistryValue(win::HKEY root, const char* subkey, const char* name, char* data, std::size_t size);

// The framework's modules are finer-grained than those the original 96
// cells were counted for: with the image editor's classes at start-up a
// full program needs more than 96.
inline constexpr int vmoduleSLOTS = 128;
struct vmoduleContext {
  vmoduleExitProc* exitBegin;
  vmoduleExitProc* exitEnd;
  vmoduleExitProc* exitCap;
  void** data;  // one word per slot
};

void** vmoduleAllocSlot();
// A module getter's slot, allocated on its first use.
inline void** vmoduleSlot(void**& slot) {
  if (!slot) slot = vmoduleAllocSlot();
  return slot;
}
// The state a getter bound in its slot for the current context, or null
// before the getter first runs there.
template <class T>
T* vmoduleState(void**& slot) {
  return static_cast<T*>(*vmoduleSlot(slot));
}
void* vmoduleBindSlot(void** slot, std::size_t size);
void vmoduleAddContextExitProc(vmoduleExitProc proc);
// A context's word for a slot (the cell itself holds the current one's).
void* vmoduleGetContextData(vmoduleContext* context, void** slot);
void vmoduleAddExitProc(vmoduleExitProc proc);
vmoduleContext* vmoduleGetDefaultContext();
vmoduleContext* vmoduleGetCurrentContext();
vmoduleContext* vmoduleCreateContext();
void vmoduleInitContext(vmoduleContext* context);
void vmoduleSetContext(vmoduleContext* context);
void vmoduleCloseContext(vmoduleContext* context);
void vmoduleDestroyContext(vmoduleContext* context);
void vmoduleSetExitAtShutdown(int flag);
void vmoduleStartupAll(int argc, char** argv);

// One row of the start-up order; fn is null until its module is built.
struct vmoduleStartupRow {
  const char* name;
  void (*fn)();
};
const vmoduleStartupRow* vmoduleGetStartupTable(int* count);
// A library above the core fills its row before vmoduleStartupAll runs.
void vmoduleInstallStartup(const char* name, void (*fn)());
// The first row's hand-off of the program's arguments (the preferences).
void vmoduleInstallArgumentsStartup(void (*fn)(int argc, char** argv));
