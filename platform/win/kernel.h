// Kernel calls: version, errors, the clock, profile strings, libraries,
// memory, file search, programs, and the read-only registry.
//
// Kernel: profile strings from `WEXLIN_PROFILE` or `$HOME/.wexlin/win.ini`; pseudo modules "USER32"
// and "wsock32.dll" for `LoadLibraryA`/`GetProcAddress` (a table of name and look-up function; the
// Winsock shim answers for its module through `WinsockProcAddress`); global blocks (always
// zero-filled) and the process heap; file search; `WinExec` along `PATH`, then the program's
// folder. The registry is read-only: the key `HKEY_CURRENT_USER\Environment` is the process
// environment, and any key can be given in the registry file (`WEXLIN_REGISTRY`, else
// `$HOME/.wexlin/registry`: `[ROOT\sub\key]` section lines with `name=value` lines).
#pragma once
#include "platform/win/constants.h"
#include "platform/win/types.h"

namespace win {

// An NT-class version 4.0: bit 31 clear, major 4 in the low byte.
DWORD GetVersion();
DWORD GetLastError();  // per thread
void SetLastError(DWORD code);
UINT SetErrorMode(UINT mode);  // answers the previous mode
BOOL GetComputerNameA(char* buffer, DWORD* size);
DWORD GetCurrentProcessId();
// Written to standard error when WEXLIN_DEBUG is set.
void OutputDebugStringA(const char* text);
// The show command that WinMain would get (SW_SHOWNORMAL unless set).
int GetStartupShowCommand();

// One clock in milliseconds, the monotonic one or a virtual one.
ULONGLONG GetTickCount64();
DWORD GetTickCount();  // the low 32 bits
// The virtual clock starts at the real clock's time and moves only when a
// wait moves it to its deadline (or a test advances it): runs that wait on
// timers take no real time. Used by tests and by the headless GUI.
void UseVirtualClock(bool on);
// Replaces the clock (null restores the monotonic one). With advanceTo
// set, a wait for a timer moves the clock to its due time instead of
// sleeping.
void SetTickSource(ULONGLONG (*now)(), void (*advanceTo)(ULONGLONG when));

// Profile strings of WEXLIN_PROFILE, else $HOME/.wexlin/win.ini. A null
// key lists the section's keys, each ended by a NUL and the list by a
// second one (a null section lists the sections).
DWORD GetProfileStringA(const char* section, const char* key, const char* fallback, char* buffer, DWORD size);

// Libraries: the pseudo modules "USER32" and "wsock32.dll" (names without
// case, ".dll" optional).
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
HINSTANCE GetModuleHandleA(const char* name);  // null: the program

// Memory. Global blocks are zero-filled.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T size);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);  // null on success
SIZE_T GlobalSize(HGLOBAL block);
HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);

// File search with "*" and "?" ("*.*" matches every name), "." and ".."
// included.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

// Starts a program found along PATH, then in the program's own folder:
// 33 when started, 2 when not found.
UINT WinExec(const char* commandLine, UINT show);

// Registry (read-only). HKEY_CURRENT_USER\Environment is the process
// environment; every key also reads the registry file: the file named by
// WEXLIN_REGISTRY, else $HOME/.wexlin/registry, holding "[ROOT\sub\key]"
// section lines and "name=value" lines below them. Values are REG_SZ.
HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
HKEY const HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD REG_SZ = 1;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, DWORD access, HKEY* result);
// nameSize and dataSize are in/out as on Windows. A name that does not fit
// answers ERROR_MORE_DATA with *nameSize the length needed; a name that fits
// with data that does not answers ERROR_MORE_DATA with the name copied.
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize);
LONG RegCloseKey(HKEY key);

}  // namespace win
