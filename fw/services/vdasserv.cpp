// The service broker client. The preferences are read once per module
// context, when the module starts.
#include "fw/services/vdasserv.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/prodef.h"
#include "fw/services/vcomm.h"

namespace {

constexpr const char* kMarker = "vdasservUNDEFINED";
constexpr const char* kOperations[3] = {"vdasservRegister", "vdasservUnregister", "vdasservMatch"};

struct BrokerState {
  vdatatag* address;
  vdatatagGroup* group;
  vdatatag* arrayScraps;
  vsignature* operations[3];
  char location[256];
  bool hasLocation;
  char port[64];
  vname transport;
};
void** brokerSlot = nullptr;

// The text of one preference of d: a string, a name or an integer.
bool prefText(vprefDict* d, const char* key, std::string* out) {
  vpref* e = vprefDictGet(d, vnameInternLiteral(key));
  if (!e) return false;
  bool found = false;
  if (vclassIsSubclass(e->cls, vprefGetValueClass())) {
    auto* v = static_cast<vprefValue*>(e);
    if (v->scrap && vdelegatorIsKindOf(v->scrap, vscrapGetIntegerClass())) {
      *out = std::to_string(vscrapGetInteger(vscrapWalk(v->scrap)));
      found = true;
    } else if (v->scrap && vdelegatorIsKindOf(v->scrap, vscrapGetTagClass())) {
      vname tag = vscrapGetTag(vscrapWalk(v->scrap));
      *out = tag ? tag : "";
      found = true;
    }
  }
  vprefRelease(e);
  if (!found) {
    const char* text = vprefGetStringValue(d, vscribeCString(key));
    if (text) {
      *out = text;
      found = true;
    }
  }
  return found && *out != kMarker;
}

// The root dictionary first, then its "vdasserv" sub-dictionary.
bool resolve(const char* key, std::string* out) {
  vprefDict* root = vprefGetDefaultDict();
  if (prefText(root, key, out)) return true;
  vprefDict* sub = vprefGetDict(root, vscribeLiteral("vdasserv"));
  if (!sub) return false;
  bool found = prefText(sub, key, out);
  vprefRelease(sub);
  return found;
}

void moduleExit() {
  auto* s = static_cast<BrokerState*>(*brokerSlot);
  if (!s) return;
  for (vsignature* sig : s->operations) vinstanceDestroy(sig);
}

BrokerState* state() {
  if (auto* bound = vmoduleState<BrokerState>(brokerSlot)) return bound;
  vsessionStatementGetClass();
  auto* s = static_cast<BrokerState*>(vmoduleBindSlot(brokerSlot, sizeof(BrokerState)));
  *s = BrokerState{};
  std::string text;
  if (resolve("vdasservLocation", &text)) {
    s->hasLocation = true;
    std::snprintf(s->location, sizeof s->location, "%s", text.c_str());
  }
  std::snprintf(s->port, sizeof s->port, "%s", resolve("vdasservPort", &text) ? text.c_str() : "1928");
  vcommStartup();
  const char* fallback = vcommFindDriver(vnameInternLiteral("tcp")) ? "tcp" : "dde";
  s->transport = vnameIntern(vscribeCString(resolve("vdasservTransport", &text) ? text.c_str() : fallback));

  vdatatag* tag = vdatatagGetPredefined(vdatatagTAG);
  vdatatag* string = vdatatagGetPredefined(vdatatagSTRING);
  s->address = vdatatagCreate(vdatatagDICTIONARY);
  vdatatagSetDictEntry(s->address, vnameInternLiteral("Title"), tag);
  vdatatagSetDictEntry(s->address, vnameInternLiteral("Location"), string);
  vdatatagSetDictEntry(s->address, vnameInternLiteral("Port"), string);
  vdatatagSetDictEntry(s->address, vnameInternLiteral("Transport"), tag);

  s->group = vdatatagGroupCreate();
  vdatatagGroupSetName(s->group, vnameInternLiteral("vdasserv"));
  s->arrayScraps = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(s->arrayScraps, vdatatagGetPredefined(vdatatagSCRAP));
  vdatatagGroupAddDatatag(s->group, vnameInternLiteral("arrayScraps"), s->arrayScraps);
  for (int i = 0; i < 3; ++i) {
    auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    sig->tag = vnameInternLiteral(kOperations[i]);
    vsignatureAddDatatags(sig, vdatatagGetPredefined(vdatatagSCRAP), nullptr);
    if (i == 2) sig->returnValue = s->arrayScraps;
    s->operations[i] = sig;
  }
  vmoduleAddContextExitProc(moduleExit);
  return s;
}

vinstance* typed(vdatatag* d, ...) {
  va_list ap;
  va_start(ap, d);
  vinstance* made = vdatatagCreateScrapWithValueV(d, ap);
  va_end(ap);
  return vscrapMakeTypeable(made);
}

}  // namespace

void vdasservStartup() { state(); }
void vdasservInstallStartup() {
  vmoduleInstallStartup("vsessionStartup", [] { vsessionStartup(); });
  vmoduleInstallStartup("vdasservGetDefaultClass", vdasservStartup);
}

vdatatag* vdasservGetAddressDatatag() { return state()->address; }
vdatatagGroup* vdasservGetGroup() { return state()->group; }
vsignature* vdasservGetOperation(const char* name) {
  BrokerState* s = state();
  for (int i = 0; i < 3; ++i)
    if (std::string(kOperations[i]) == name) return s->operations[i];
  return nullptr;
}

vinstance* vdasservGetBrokerAddress() {
  BrokerState* s = state();
  vdatatag* tag = vdatatagGetPredefined(vdatatagTAG);
  vdatatag* string = vdatatagGetPredefined(vdatatagSTRING);
  vdatatagScrap* scrap = vdatatagCreateScrap(s->address);
  vdatatagScrapAllocate(scrap);
  vscrap w = vscrapWalk(scrap);
  vscrapSetDictionaryElement(w, vnameInternLiteral("Title"), typed(tag, vnameInternLiteral("Service Broker")));
  if (s->hasLocation) vscrapSetDictionaryElement(w, vnameInternLiteral("Location"), typed(string, s->location));
  vscrapSetDictionaryElement(w, vnameInternLiteral("Port"), typed(string, s->port));
  vscrapSetDictionaryElement(w, vnameInternLiteral("Transport"), typed(tag, s->transport));
  return scrap;
}
vinstance* vdasservCreateServiceScrap() { return vdasservGetBrokerAddress(); }
vinstance* vdasservGetAddress() { return vdasservGetBrokerAddress(); }

vsessionStatement* vdasservCreateMatch(vsession* session, vinstance* criteria) {
  vsessionStatement* st = vsessionStatementCreate();
  vexGuard(
      [&] {
        vsessionStatementSetSession(st, session);
        vsessionStatementSetOperation(st, vdasservGetOperation("vdasservMatch"));
        vsessionStatementSetArgs(st, criteria);
      },
      [&](vexHandler&) {
        vsessionStatementDestroy(st);
        if (criteria) vinstanceDestroy(criteria);
        _vexGenerate(nullptr, vexEnd);
      });
  if (criteria) vinstanceDestroy(criteria);
  return st;
}
vsessionStatement* vdasservCreateMatchStatement(vsession* session, vinstance* criteria) {
  return vdasservCreateMatch(session, criteria);
}

vsessionSyntheticEngineClassRec* vsessionStartup() {
  vsessionGetDefaultClass();
  vsessionSyntheticEngineGetClass();
  vsessionEngineRootGetClass();
  vsessionDefaultProtocolGetClass();
  vsessionChannelTransportGetDefaultClass();
  return vsessionDefaultEngineGetClass();
}
