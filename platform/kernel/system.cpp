// Version, errors, the machine and the process.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win.h"
#include "platform/win/test.h"

namespace win {
namespace {

thread_local DWORD lastError = 0;
UINT errorMode = 0;
int startupShow = SW_SHOWNORMAL;

}  // namespace

DWORD GetVersion() { return 0x00000004u; }
DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

UINT SetErrorMode(UINT mode) {
  UINT previous = errorMode;
  errorMode = mode;
  return previous;
}

// The host name as a NetBIOS name: its first label, upper case, at most
// 15 characters.
BOOL GetComputerNameA(char* buffer, DWORD* size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  char host[256] = "LOCALHOST";
  if (gethostname(host, sizeof host) != 0) std::strcpy(host, "LOCALHOST");
  host[sizeof host - 1] = '\0';
  std::string name(host, std::strcspn(host, "."));
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!buffer || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return 1;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void OutputDebugStringA(const char* text) {
  if (text && std::getenv("WEXLIN_DEBUG")) std::fputs(text, stderr);
}

int GetStartupShowCommand() { return startupShow; }
void test::SetStartupShowCommand(int command) { startupShow = command; }

}  // namespace win
