// The session protocol's receive path: after a valid opening, the input is
// what the peer sends. The session serves one primitive and waits for one
// reply, so calls and replies both reach their handlers. Whatever arrives
// must end in replies or a close, never a crash or a leak.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "fw/data/pref.h"
#include "fw/services/prodef.h"

namespace {

vservice* service = nullptr;
vsignature* echo = nullptr;

void setUp() {
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
  echo = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  echo->tag = vnameInternLiteral("echo");
  vsignatureAddDatatags(echo, vdatatagGetPredefined(vdatatagSTRING), nullptr);
  echo->returnValue = vdatatagGetPredefined(vdatatagSTRING);
  service = vserviceCreate();
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = echo;
  p->handler = [](vservicePrimitive* self, vsession*, vinstance* args) -> vinstance* {
    char* text = nullptr;
    vservicePrimitiveGetArgs(self, args, &text);
    vinstance* result =
        vscrapMakeTypeable(vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagSTRING), text ? text : ""));
    if (text) vstrDestroy(text);
    return result;
  };
  vserviceAddPrimitive(service, p);
}

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "fuzz_vdas: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!service) setUp();
  vsession* s = vsessionCreate();
  s->notify = [](vsession*, std::int32_t*) {};
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(s, key(vsessionTRANSPORT_CLASS), vsessionTagDatatag(), vnameInternLiteral("vsessionRootTransport"));
  vsessionSetService(s, service);
  vsessionOpen(s);
  auto* engine = static_cast<vsessionSyntheticEngine*>(s->record->engine);
  auto* protocol = engine->link.protocol;
  auto* receive = vsessionRec<vsessionRootProtocolClassRec>(protocol)->receive;
  vsessionBlock opening{};
  vsessionBlockAppendBytes(&opening, const_cast<std::uint8_t*>(_vdasprodefOpening), sizeof _vdasprodefOpening, 0);
  receive(protocol, &opening);
  vsessionBlockRelease(&opening);
  if (!(s->flags & vsessionOPEN)) finding("a valid opening did not open the session");

  vsessionStatement* st = vsessionStatementCreate();
  vsessionStatementSetSession(st, s);
  vsessionStatementSetOperation(st, echo);
  vsessionStatementSetArgs(st, "x");
  vsessionStatementSend(st);

  // The input in two pieces, as two reads would bring it.
  std::size_t half = size / 2;
  for (std::size_t at : {std::size_t{0}, half}) {
    std::size_t n = at == 0 ? half : size - half;
    if (!n || !(s->flags & vsessionOPEN)) continue;
    vsessionBlock b{};
    vsessionBlockAppendBytes(&b, const_cast<std::uint8_t*>(data + at), static_cast<std::uint32_t>(n), 0);
    int busy = vsessionBeginBusy(s);
    receive(protocol, &b);
    vsessionEndBusy(s, busy);
    vsessionBlockRelease(&b);
  }
  vsessionStatementDestroy(st);
  vsessionSetService(s, nullptr);
  vsessionDestroy(s);
  return 0;
}
