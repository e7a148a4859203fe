// The far end of the session tests: a framework application offering a
// service on a channel begetter ("vdas_peer tcp" listens on 127.0.0.1 and
// a port of the system's choosing, "vdas_peer dde NAME" on a DDE service
// name). It prints "ready ADDRESS" with the port or name it got, then
// serves until "shutdown" is called (status 0), a quit (a terminate signal)
// ends its loop (status 1), or its time passes (status 2): 30 s, or
// VDAS_PEER_SECONDS.
// Primitives: "ping" () -> Integer 1; "echo" (String) -> String;
// "echoInteger" (Integer) -> Integer; "issueCommand" (String) -> Integer,
// the command's length; "shutdown" () -> Integer 0, then the loop ends;
// "echoKindN" (a value of datatag kind N) -> the same value, for the
// kinds of scalars; and, standing in for a service broker, "vdasservMatch" (a scrap) -> an
// "arrayScraps" of two service names.
// "vdas_peer call PORT" is a client instead: it prints "ready calling",
// opens a session to 127.0.0.1:PORT, prints "open", and calls "ping" until
// a call is left without a reply for 45 s; then it runs its loop, which a quit ends
// (status 1) or its time (status 2).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/service.h"
#include "fw/services/session.h"
#include "fw/services/vdasserv.h"

namespace {

int status = 1;

vinstance* integerResult(std::int32_t v) { return vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagINTEGER), v); }

vinstance* ping(vservicePrimitive*, vsession*, vinstance*) { return integerResult(1); }
vinstance* echo(vservicePrimitive* p, vsession*, vinstance* args) {
  char* text = nullptr;
  vservicePrimitiveGetArgs(p, args, &text);
  // A typeable copy, so that the text read can go.
  vinstance* result =
      vscrapMakeTypeable(vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagSTRING), text ? text : ""));
  if (text) vstrDestroy(text);
  return result;
}
vinstance* echoInteger(vservicePrimitive* p, vsession*, vinstance* args) {
  std::int32_t v = 0;
  vservicePrimitiveGetArgs(p, args, &v);
  return integerResult(v);
}
vinstance* issueCommand(vservicePrimitive* p, vsession*, vinstance* args) {
  char* text = nullptr;
  vservicePrimitiveGetArgs(p, args, &text);
  std::int32_t n = text ? static_cast<std::int32_t>(std::strlen(text)) : 0;
  if (text) vstrDestroy(text);
  return integerResult(n);
}
vinstance* shutdown(vservicePrimitive*, vsession*, vinstance*) {
  status = 0;
  // Once this reply has gone out (a DDE reply leaves from a later event).
  veventPostDelayed(veventCreateClient([](vevent*) {
    veventStopProcessing();
    return 1;
  }, nullptr), 0, 200000000);
  return integerResult(0);
}
vinstance* match(vservicePrimitive*, vsession*, vinstance*) {
  vdatatag* string = vdatatagGetPredefined(vdatatagSTRING);
  static vinstance* names[2];
  names[0] = vscrapMakeTypeable(vdatatagCreateScrapWithValue(string, "peer service one"));
  names[1] = vscrapMakeTypeable(vdatatagCreateScrapWithValue(string, "peer service two"));
  vinstance* result = vscrapMakeTypeable(
      vdatatagCreateScrapWithValue(vdasservGetOperation("vdasservMatch")->returnValue, 2, names));
  for (vinstance* n : names) vinstanceDestroy(n);
  return result;
}

// Any scalar: read into memory as the datatag lays it out, and back.
vinstance* echoValue(vservicePrimitive* p, vsession*, vinstance* args) {
  alignas(8) unsigned char value[16] = {};
  vservicePrimitiveGetArgs(p, args, value);
  return vscrapMakeTypeable(vdatatagScrapFromMemory(p->signature->returnValue, value));
}
const int scalarKinds[] = {vdatatagBOOLEAN, vdatatagCHARACTER, vdatatagBYTE,          vdatatagUNSIGNED_SHORT,
                           vdatatagINTEGER, vdatatagLONGLONG,  vdatatagUNSIGNED_LONGLONG, vdatatagFIXED,
                           vdatatagSINGLE_FLOAT, vdatatagDOUBLE_FLOAT, vdatatagTAG};

struct Row {
  const char* name;
  vservicePrimitiveHandler handler;
  int argument;  // datatag kind, or -1
  int result;
};
const Row rows[] = {
    {"ping", ping, -1, vdatatagINTEGER},
    {"echo", echo, vdatatagSTRING, vdatatagSTRING},
    {"echoInteger", echoInteger, vdatatagINTEGER, vdatatagINTEGER},
    {"issueCommand", issueCommand, vdatatagSTRING, vdatatagINTEGER},
    {"shutdown", shutdown, -1, vdatatagINTEGER},
};

int stopAfter(int seconds) {
  veventPostDelayed(veventCreateClient([](vevent*) {
    status = 2;
    veventStopProcessing();
    return 1;
  }, nullptr), seconds, 0);
  veventProcess();
  return status;
}

int call(const char* port) {
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
  veventStartup();  // a signal from now on asks to quit
  std::printf("ready calling\n");
  std::fflush(stdout);
  vsession* s = vsessionCreate();
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), port);
  vsessionOpen(s);
  if (s->flags & vsessionOPEN) {
    std::printf("open\n");
    std::fflush(stdout);
    auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    sig->tag = vnameInternLiteral("ping");
    sig->returnValue = vdatatagGetPredefined(vdatatagINTEGER);
    for (int answered = 1; answered;) {
      vsessionStatement* st = vsessionStatementCreate();
      vsessionStatementSetSession(st, s);
      vsessionStatementSetOperation(st, sig);
      vsessionStatementSend(st);
      vsysTime slice{45, 0};
      answered = vsessionStatementWait(st, &slice);
      vsessionStatementDestroy(st);
    }
  }
  return stopAfter(30);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "call") == 0) return call(argv[2]);
  if (argc < 2 || (std::strcmp(argv[1], "tcp") != 0 && (std::strcmp(argv[1], "dde") != 0 || argc < 3))) {
    std::fprintf(stderr, "usage: vdas_peer tcp | vdas_peer dde NAME\n");
    return 64;
  }
  bool tcp = std::strcmp(argv[1], "tcp") == 0;
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
  vservice* service = vserviceCreate();
  for (const Row& row : rows) {
    auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    sig->tag = vnameInternLiteral(row.name);
    if (row.argument >= 0) vsignatureAddDatatags(sig, vdatatagGetPredefined(row.argument), nullptr);
    sig->returnValue = vdatatagGetPredefined(row.result);
    vservicePrimitive* p = vservicePrimitiveCreate();
    p->signature = sig;
    p->handler = row.handler;
    vserviceAddPrimitive(service, p);
  }
  for (int kind : scalarKinds) {
    auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    sig->tag = vnameIntern(vscribeCString(("echoKind" + std::to_string(kind)).c_str()));
    vsignatureAddDatatags(sig, vdatatagGetPredefined(kind), nullptr);
    sig->returnValue = vdatatagGetPredefined(kind);
    vservicePrimitive* p = vservicePrimitiveCreate();
    p->signature = sig;
    p->handler = echoValue;
    vserviceAddPrimitive(service, p);
  }
  vservicePrimitive* broker = vservicePrimitiveCreate();
  broker->signature = vdasservGetOperation("vdasservMatch");
  broker->handler = match;
  vserviceAddPrimitive(service, broker);
  auto key = vsessionGetAttributeKey;
  vserviceSetAttribute(service, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral(argv[1]));
  vserviceSetAttribute(service, key(vsessionPORT), vsessionStringDatatag(), tcp ? "0" : argv[2]);
  if (tcp) vserviceSetAttribute(service, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vserviceSetBegetter(service, static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass())));
  char port[64] = {};
  if (vscribe* s = vserviceGetAttributeScribe(service, key(vsessionPORT))) vscribeGetStringBounded(s, port, sizeof port);
  std::printf("ready %s\n", port);
  std::fflush(stdout);
  const char* seconds = std::getenv("VDAS_PEER_SECONDS");
  return stopAfter(seconds ? std::atoi(seconds) : 30);
}
