// Session layering: the transport moves bytes, the protocol turns
// statements into messages and messages into calls, and a receive filter
// inside the protocol cuts the byte stream into messages. Opening travels
// up from the transport to the engine, closing down from the protocol to
// the transport and back up again.
//
// The layers (`layer.h`): `vsessionSyntheticComponent` (open bit 1 << 24, owning engine) with the
// root transport and root protocol, the channel transport's class (its operations come with the
// wire protocol), and the filters. Opening goes up (transport opened -> protocol open -> protocol
// opened -> engine open flag and the session's notice), closing down (protocol close -> transport
// close) and closed up again. The engine record here holds only what the layers use; the engines
// extend it. The message filter wants 4 bytes, then the big-endian length L; bytes are gathered in
// its pending block only when a read ends inside a length or a body, else the body is handed on in
// place (a block over the input, no copy). A zero length sets no length: it is no message.
// `vsessionProtocolFeedFilter` feeds until the input is empty (or a filter takes nothing) and
// resets the input.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/services/block.h"

struct vsessionEngine;
struct vsessionRootTransport;
struct vsessionRootProtocol;
struct vcommChannel;

// What the layers need of the engine that owns them; the engine grows
// with the sessions.
struct vsessionEngine {
  vsessionRootTransport* transport;
  vsessionRootProtocol* protocol;
  void* session;
  std::uint32_t flags;  // vsessionEngineOPEN
  void (*sessionOpened)(vsessionEngine* engine);
  void (*sessionClosed)(vsessionEngine* engine);
};
enum : std::uint32_t { vsessionEngineOPEN = 1 };

struct vsessionSyntheticComponent : vinstance {
  std::uint32_t flags;  // vsessionComponentOPEN
  vsessionEngine* engine;
};
enum : std::uint32_t { vsessionComponentOPEN = 1u << 24 };

struct vsessionSyntheticComponentClassRec : vinstanceClassRec {
  void (*copy)(vsessionSyntheticComponent* source, vsessionSyntheticComponent* target);
  void (*reserved)(vsessionSyntheticComponent* self);
  void (*open)(vsessionSyntheticComponent* self);
  void (*opened)(vsessionSyntheticComponent* self);
  void (*close)(vsessionSyntheticComponent* self);
  void (*closed)(vsessionSyntheticComponent* self);
};

struct vsessionRootTransport : vsessionSyntheticComponent {};
struct vsessionChannelTransport : vsessionRootTransport {
  vcommChannel* channel;
  std::int64_t pollSeconds;  // the time-out a poll without one waits
  std::int64_t pollNanoseconds;
  struct vevent* resume;  // posted to go on reading what a turn left
  bool held;              // not read while its replies wait unsent
  bool serving;           // a service's end of a session, handed by its begetter
};
struct vsessionRootTransportClassRec : vsessionSyntheticComponentClassRec {
  void (*send)(vsessionRootTransport* self, vsessionBlock* block);
  int (*poll)(vsessionRootTransport* self, std::int64_t seconds, std::int64_t nanoseconds);
};
struct vsessionChannelTransportClassRec : vsessionRootTransportClassRec {};
// Fills in the channel transport's operations (trachan).
void _vsessionChannelTransportSetup(vsessionChannelTransportClassRec* cls);
// The channel notification handler of the channel transport.
void vsessionChannelTransportNotify(vcommChannel* channel, int event);

struct vsessionRootProtocol : vsessionSyntheticComponent {};
struct vsessionRootProtocolClassRec : vsessionSyntheticComponentClassRec {
  vinstance* (*makeResultScrap)(vsessionRootProtocol* self, void* datatag);
  vinstance* (*makeArgumentScrap)(vsessionRootProtocol* self, void* datatagList);
  void (*receive)(vsessionRootProtocol* self, vsessionBlock* block);
  void (*send)(vsessionRootProtocol* self, void* statement);
};

struct vsessionRootFilter : vinstance {
  vsessionBlock pending;
};
struct vsessionMessageFilter : vsessionRootFilter {
  int lengthKnown;
  std::uint32_t length;
};
struct vsessionRootFilterClassRec : vinstanceClassRec {
  void (*feed)(vsessionRootFilter* self, vsessionBlock* input);
  void (*process)(vsessionRootFilter* self, vsessionBlock* bytes);
  int (*setLength)(vsessionRootFilter* self, std::uint32_t length);
  std::uint32_t (*bytesNeeded)(vsessionRootFilter* self);
  void (*message)(vsessionRootFilter* self, vsessionBlock* body);
};
using vsessionMessageFilterClassRec = vsessionRootFilterClassRec;

// Each class is built once per module context, on first use.
vsessionSyntheticComponentClassRec* vsessionSyntheticComponentGetDefaultClass();
vsessionRootTransportClassRec* vsessionRootTransportGetDefaultClass();
vsessionChannelTransportClassRec* vsessionChannelTransportGetDefaultClass();
vsessionRootProtocolClassRec* vsessionRootProtocolGetDefaultClass();
vsessionRootFilterClassRec* vsessionRootFilterGetDefaultClass();
vsessionMessageFilterClassRec* vsessionMessageFilterGetDefaultClass();

// Calls through the class records.
template <class Rec>
Rec* vsessionRec(const vinstance* self) {
  return static_cast<Rec*>(self->cls);
}
inline void vsessionComponentOpen(vsessionSyntheticComponent* c) {
  vsessionRec<vsessionSyntheticComponentClassRec>(c)->open(c);
}
inline void vsessionComponentClose(vsessionSyntheticComponent* c) {
  vsessionRec<vsessionSyntheticComponentClassRec>(c)->close(c);
}
inline void vsessionFilterFeed(vsessionRootFilter* f, vsessionBlock* input) {
  vsessionRec<vsessionRootFilterClassRec>(f)->feed(f, input);
}

// A protocol's receive: feeds the filter until the input is empty, then
// resets the input.
void vsessionProtocolFeedFilter(vsessionRootFilter* filter, vsessionBlock* input);
