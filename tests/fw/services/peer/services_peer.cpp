// The far end of the two-process tests. "dde-echo SERVICE" serves DDE:
// it accepts conversations, and answers every poke with an advise of
// "echo:" and the poked text. It prints "ready" once it can be reached and
// ends when its conversation ends (or after 20 s).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/net/dde.h"
#include "platform/win.h"

namespace {

using namespace win;

DWORD instance = 0;
std::string echo = "hello";

HDDEDATA echoCallback(UINT type, UINT, HCONV, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(1);
    case XTYP_ADVSTART:
      return reinterpret_cast<HDDEDATA>(1);
    case XTYP_POKE: {
      std::string text(DdeGetData(data, nullptr, 0, 0), '\0');
      DdeGetData(data, reinterpret_cast<BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0);
      echo = "echo:" + text;
      DdePostAdvise(instance, topic, item);
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    case XTYP_ADVREQ:
      return DdeCreateDataHandle(instance, reinterpret_cast<const BYTE*>(echo.data()),
                                 static_cast<DWORD>(echo.size()), 0, item, CF_TEXT, 0);
    case XTYP_DISCONNECT:
      PostQuitMessage(0);
      return nullptr;
    default:
      return nullptr;
  }
}

int serveDde(const char* service) {
  if (DdeInitializeA(&instance, echoCallback, APPCMD_FILTERINITS, 0) != DMLERR_NO_ERROR) return 2;
  HSZ name = DdeCreateStringHandleA(instance, service, CP_WINANSI);
  if (!DdeNameService(instance, name, nullptr, DNS_REGISTER)) return 3;
  std::printf("ready\n");
  std::fflush(stdout);
  SetTimer(nullptr, 0, 20000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  DdeUninitialize(instance);
  return static_cast<int>(m.wParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "dde-echo") == 0) return serveDde(argv[2]);
  std::fprintf(stderr, "usage: services_peer dde-echo SERVICE\n");
  return 64;
}
