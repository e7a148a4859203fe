// Start-up and exit: the process entry, the program name, the hidden task
// window, the exit-handler stack, module slots and module contexts.
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
