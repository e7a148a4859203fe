#include "fw/core/sys.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"

namespace {

// Start-up state.
bool started = false;
char programName[128] = "Wexlin";
char taskClassName[128];
int taskClassCounter = 0;
win::HWND taskWindow = nullptr;
win::HICON taskIcon = nullptr;
bool taskVisible = true;
win::DWORD version = 0;
int isNT = 0;

char* commandLineCopy = nullptr;
void* scratchBlock = nullptr;
char** argVector = nullptr;
int argCount = 0;
int argCapacity = 0;

// Exit-handler stack.
constexpr int kExitHandlers = 32;
vsysExitHandler exitHandlers[kExitHandlers];
int exitTop = 0;

void copyBounded(char* dst, std::size_t size, const char* src) {
  std::snprintf(dst, size, "%s", src);
}

win::LRESULT taskWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  switch (message) {
    case win::WM_MOUSEACTIVATE:
      return win::MA_NOACTIVATEANDEAT;
    case win::WM_QUERYDRAGICON:
      return reinterpret_cast<win::LRESULT>(taskIcon);
    case win::WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<win::WINDOWPOS*>(lParam);
      pos->x = pos->y = -2;
      pos->cx = pos->cy = 1;
      break;
    }
    default:
      break;
  }
  return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

void createTaskWindow() {
  win::HINSTANCE instance = win::GetModuleHandleA(nullptr);
  std::snprintf(taskClassName, sizeof taskClassName, "_vsysMSWTask%d.%d", taskClassCounter++,
                static_cast<int>(reinterpret_cast<std::intptr_t>(instance)));
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = taskWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = taskClassName;
  if (!win::RegisterClassA(&wc)) std::abort();
  taskWindow = win::CreateWindowExA(0, taskClassName, programName, win::WS_POPUP, -2, -2, 1, 1, nullptr, nullptr,
                                    instance, nullptr);
  if (!taskWindow) std::abort();
  win::ShowWindow(taskWindow, taskVisible ? win::SW_SHOWNOACTIVATE : win::SW_HIDE);
}

void vsysShutdown() {
  if (!taskWindow) return;
  win::SetWindowLongPtrA(taskWindow, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&win::DefWindowProcA));
  win::DestroyWindow(taskWindow);
  win::UnregisterClassA(taskClassName, win::GetModuleHandleA(nullptr));
  taskWindow = nullptr;
}

}  // namespace

void vsysStartup() {
  if (started) return;
  started = true;
  copyBounded(programName, sizeof programName, "Wexlin");
  createTaskWindow();
  version = win::GetVersion();
  isNT = (version & 0x80000000u) == 0;
  vsysAddExitHandler(vsysShutdown);
}

void _vsysMSWSplitCommandLine(char* text, char*** vector, int* count, int* capacity) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  char* p = text;
  while (blank(*p)) ++p;
  while (*p) {
    char* token;
    char* end;
    if (*p == '"') {
      token = p + 1;
      end = std::strchr(token, '"');
      if (!end) end = token + std::strlen(token);
    } else {
      token = p;
      end = p;
      while (*end && !blank(*end)) ++end;
    }
    if (*end) {
      *end = '\0';
      p = end + 1;
      while (blank(*p)) ++p;
    } else {
      p = end;
    }
    (*vector)[(*count)++] = token;
    if (*count >= *capacity) {
      *capacity *= 2;
      *vector = static_cast<char**>(vmemRealloc(*vector, vmemArraySize(static_cast<std::size_t>(*capacity), sizeof(char*))));
    }
  }
  (*vector)[*count] = nullptr;
}

void _vsysProgramNameFromPath(const char* path, char* out, std::size_t size) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  std::size_t n = std::strcspn(base, ".");
  if (n >= size) n = size - 1;
  std::memcpy(out, base, n);
  out[n] = '\0';
}

// On Linux the arguments are the process's own: they are copied into one
// block, NUL-separated, as the split command line would be.
void vsysMSWStartup(int argc, char** argv) {
  vsysStartup();
  scratchBlock = vmemAlloc(256);
  argCapacity = 8;
  argCount = 0;
  argVector = static_cast<char**>(vmemAlloc(sizeof(char*) * static_cast<std::size_t>(argCapacity)));
  std::size_t total = 1;
  for (int i = 0; i < argc; ++i) total += std::strlen(argv[i]) + 1;
  commandLineCopy = static_cast<char*>(vmemAlloc(total));
  char* p = commandLineCopy;
  for (int i = 0; i < argc; ++i) {
    std::size_t n = std::strlen(argv[i]) + 1;
    std::memcpy(p, argv[i], n);
    argVector[argCount++] = p;
    p += n;
    if (argCount >= argCapacity) {
      argCapacity *= 2;
      argVector = static_cast<char**>(vmemRealloc(argVector, sizeof(char*) * static_cast<std::size_t>(argCapacity)));
    }
  }
  if (argCount == 0) std::abort();
  argVector[argCount] = nullptr;
  char name[128];
  _vsysProgramNameFromPath(argVector[0], name, sizeof name);
  vsysSetProgramName(name);
}

void _vsysMSWFreeArgs() {
  vmemFree(commandLineCopy);
  vmemFree(scratchBlock);
  vmemFree(argVector);
  commandLineCopy = nullptr;
  scratchBlock = nullptr;
  argVector = nullptr;
  argCount = argCapacity = 0;
}

int vsysGetArgc() { return argCount; }
char** vsysGetArgv() { return argVector; }

void vsysMain(int argc, char** argv, int (*appMain)(int, char**)) {
  vsysMSWStartup(argc, argv);
  int status = appMain(argCount, argVector);
  _vsysMSWFreeArgs();
  vsysExit(status);
}

void vsysExit(int status) {
  vsysRunExitHandlers();
  std::exit(status);
}

int vsysAddExitHandler(vsysExitHandler handler) {
  if (exitTop >= kExitHandlers) return -1;
  exitHandlers[exitTop++] = handler;
  return 0;
}

void vsysRunExitHandlers() {
  while (exitTop > 0) exitHandlers[--exitTop]();
}

void vsysSetProgramName(const char* name) {
  copyBounded(programName, sizeof programName, name);
  if (taskWindow) win::SetWindowTextA(taskWindow, programName);
}

const char* vsysGetProgramName() { return programName; }

void vsysSetIcon(win::HICON icon) {
  if (icon == taskIcon) return;
  taskIcon = icon;
  if (taskWindow) win::SendMessageA(taskWindow, win::WM_SETICON, win::ICON_BIG, reinterpret_cast<win::LPARAM>(icon));
}

void vsysShowTaskWindow() {
  if (taskVisible) return;
  taskVisible = true;
  if (taskWindow) win::ShowWindow(taskWindow, win::SW_SHOWNOACTIVATE);
}

void vsysHideTaskWindow() {
  if (!taskVisible) return;
  taskVisible = false;
  if (taskWindow) win::ShowWindow(taskWindow, win::SW_HIDE);
}

win::HWND vsysGetTaskWindow() { return taskWindow; }
win::DWORD vsysGetVersion() { return version; }
int vsysIsNT() { return isNT; }

int vsysMSWFindRegistryValue(win::HKEY root, const char* subkey, const char* name, char* data, std::size_t size) {
  win::HKEY key;
  if (win::RegOpenKeyExA(root, subkey, 0, win::KEY_READ, &key) != win::ERROR_SUCCESS) return 0;
  std::size_t nameLen = std::strlen(name);
  char* found = static_cast<char*>(vmemAlloc(nameLen + 1));
  int result = 0;
  for (win::DWORD i = 0;; ++i) {
    auto nameSize = static_cast<win::DWORD>(nameLen + 1);
    auto dataSize = static_cast<win::DWORD>(size);
    found[0] = '\0';
    win::LONG rc = win::RegEnumValueA(key, i, found, &nameSize, nullptr, nullptr,
                                      reinterpret_cast<win::BYTE*>(data), &dataSize);
    if (rc == win::ERROR_NO_MORE_ITEMS) break;
    bool nameMatches = nameSize == nameLen && std::memcmp(found, name, nameLen) == 0;
    if (rc == win::ERROR_SUCCESS && nameMatches) {
      result = 1;
      break;
    }
    // A value too long for the caller's buffer is refused, not cut.
    if (rc == win::ERROR_MORE_DATA && nameMatches) break;
  }
  vmemFree(found);
  win::RegCloseKey(key);
  return result;
}
