// The far end of the two-process tests, in one of two modes:
// - "dde-echo SERVICE" serves plain DDE: it accepts conversations and
//   answers every poke with an advise of "echo:" and the poked text;
// - "channel-echo TRANSPORT PORT [round]" listens on a channel and sends
//   back every byte that arrives on its one connection ("round" sets the
//   DDE size rounding); it prints "ready PORT" with the port it got.
// It prints "ready" once it can be reached and ends (status 0) when its
// conversation ends, or after 20 s (status 1).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/vcomm.h"
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

int status = 1;

void echoNotify(vcommChannel* c, int event) {
  if (event == vcommEVENT_DATA) {
    char buffer[65536];
    long n;
    while ((n = vcommAvailable(c)) > 0) {
      n = vcommRead(c, buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer));
      if (n > 0) vcommWrite(c, buffer, static_cast<std::size_t>(n));
    }
  } else if (event == vcommEVENT_CLOSED) {
    status = 0;
    // The loop looks at a stop between its events.
    veventPost(veventCreateClient([](vevent*) {
      veventStopProcessing();
      return 1;
    }, nullptr));
  }
}

int serveChannel(const char* transport, const char* port, bool round) {
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
  DdeSetSizeRounding(round);
  vcommAddress a;
  vcommAddressInit(&a);
  vcommAddressSetTransport(&a, vnameInternLiteral(transport));
  if (*port) vcommAddressSetPort(&a, vscribeCString(port));
  if (std::strcmp(transport, "dde") != 0) vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
  vcommChannel* listener = vcommListen(&a, [](vcommChannel* c, int event) {
    if (event == vcommEVENT_OPENED) c->notify = echoNotify;
  });
  std::printf("ready %s\n", listener->local.port ? listener->local.port : "");
  std::fflush(stdout);
  vevent* limit = veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr);
  veventPostDelayed(limit, 20, 0);
  veventProcess();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "dde-echo") == 0) return serveDde(argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "channel-echo") == 0)
    return serveChannel(argv[2], argv[3], argc >= 5 && std::strcmp(argv[4], "round") == 0);
  std::fprintf(stderr, "usage: services_peer dde-echo SERVICE | channel-echo TRANSPORT PORT [round]\n");
  return 64;
}
