// The channel begetter: listens on a channel made from the service's
// "Transport", "Port" and "Location", and makes a clone of the service
// session for each peer that connects, talking over the new channel.
#include "fw/core/sys.h"
#include "fw/services/service.h"
#include "fw/services/vcomm.h"

void _vserviceSetException(vexException* e, va_list* ap);

namespace {

vname key(int index) { return vsessionGetAttributeKey(index); }


// Stands in for the application's callback on a peer's session, so that
// its open runs in the background: a synchronous open waits for that
// peer's first words, and a peer that says nothing would keep every other
// peer from being opened meanwhile. A failed open ends the session.
void peerSessionNotify(vsession* session, std::int32_t* code) {
  if (*code != vsessionOPEN_FAILED) return;
  session->flags &= ~vsessionHELD;
  vsessionDestroy(session);  // the open holds it busy: this comes afterwards
}

// Opens the peer's session from the loop; a failed open ends it.
int openLater(vevent* e) {
  auto* session = static_cast<vsession*>(e->data);
  bool ok = vexTry([session] { vsessionOpen(session); });
  if (!ok) {
    session->flags &= ~vsessionHELD;
    vexTry([session] { vsessionClose(session); });
    session->flags |= vsessionDESTROY_REQUESTED;
  }
  vsessionEndBusy(session, 1);
  return 1;
}

void peerArrived(vserviceBegetterChannel* b, vcommChannel* channel) {
  vservice* service = b->service;
  vsession* clone = vsessionClone(service->session);
  clone->flags &= ~vsessionSERVICE_SESSION;
  vsessionSetService(clone, service);
  channel->client = nullptr;
  channel->notify = nullptr;
  auto* engine = static_cast<vsessionEngineRoot*>(vinstanceCreate(vsessionDefaultEngineGetClass()));
  auto* link = &static_cast<vsessionSyntheticEngine*>(engine)->link;
  auto* t = static_cast<vsessionChannelTransport*>(link->transport);
  bool handed = t && vclassIsSubclass(t->cls, vsessionChannelTransportGetDefaultClass());
  if (handed) {
    t->channel = channel;
    t->serving = true;
  }
  vsessionSetEngine(clone, engine);
  const vcommAddress& peer = channel->peer;
  vsessionSetAttribute(clone, key(vsessionLOCATION), vsessionStringDatatag(), peer.location ? peer.location : "");
  vsessionSetAttribute(clone, key(vsessionPORT), vsessionStringDatatag(), peer.port ? peer.port : "");
  vsessionSetAttribute(clone, key(vsessionTRANSPORT), vsessionTagDatatag(), peer.transport);
  if (!handed) vcommChannelDestroy(channel);  // no transport to hand it to, once its address is read
  if (!clone->notify) clone->notify = peerSessionNotify;
  vsessionBeginBusy(clone);
  veventPost(veventCreateClient(openLater, clone));
}

void channelNotify(vcommChannel* channel, int event) {
  auto* b = static_cast<vserviceBegetterChannel*>(channel->client);
  if (!b) return;
  if (event == vcommEVENT_OPENED && channel != b->channel) {
    peerArrived(b, channel);
  } else if (event == vcommEVENT_CLOSED && channel == b->channel && b->service) {
    vserviceStopBegetter(b->service);
  }
}

}  // namespace

void _vserviceBegetterChannelInit(vinstance* self) {
  vserviceGetBegetterRootClass()->init(self);
  static_cast<vserviceBegetterChannel*>(self)->channel = nullptr;
}

void _vserviceBegetterChannelStart(vserviceBegetterRoot* self) {
  auto* b = static_cast<vserviceBegetterChannel*>(self);
  if (b->flags & vserviceBegetterRUNNING) return;
  vservice* service = b->service;
  vcommAddress a;
  vcommAddressInit(&a);
  vname transport = vserviceGetAttributeTag(service, key(vsessionTRANSPORT));
  vcommAddressSetTransport(&a, transport ? transport : vnameInternLiteral(""));
  if (vscribe* port = vserviceGetAttributeScribe(service, key(vsessionPORT))) vcommAddressSetPort(&a, port);
  if (vscribe* host = vserviceGetAttributeScribe(service, key(vsessionLOCATION))) vcommAddressSetLocation(&a, host);
  vcommChannel* channel = nullptr;
  vexGuard(
      [&] {
        channel = vcommListen(&a, channelNotify);
        channel->client = b;
        b->channel = channel;
      },
      [&](vexHandler& h) {
        if (vexException* e = vexFindException(&vexCommunicationAddressClass))
          static_cast<vcommAddressException*>(e)->address = nullptr;  // ours goes now
        vexSetCurrentException(h.savedChain);
      });
  vcommAddressClear(&a);
  if (!channel) _vexGenerate(&vexServiceCannotEnableClass, _vserviceSetException, service, vexEnd);
  const vcommAddress& local = channel->local;
  vserviceBegetterSetAttribute(b, key(vsessionLOCATION), vsessionStringDatatag(), local.location ? local.location : "");
  vserviceBegetterSetAttribute(b, key(vsessionPORT), vsessionStringDatatag(), local.port ? local.port : "");
  vserviceBegetterSetAttribute(b, key(vsessionTRANSPORT), vsessionTagDatatag(), local.transport);
  b->flags |= vserviceBegetterRUNNING;
}

void _vserviceBegetterChannelStop(vserviceBegetterRoot* self) {
  auto* b = static_cast<vserviceBegetterChannel*>(self);
  if (vcommChannel* c = b->channel) {
    b->channel = nullptr;
    c->client = nullptr;
    vcommChannelDestroy(c);
  }
  vserviceBegetterSetAttribute(b, key(vsessionLOCATION), nullptr);
  vserviceBegetterSetAttribute(b, key(vsessionPORT), nullptr);
  vserviceBegetterSetAttribute(b, key(vsessionTRANSPORT), nullptr);
  b->flags &= ~vserviceBegetterRUNNING;
}
