// Services: what this application offers to others. A service has its
// own session, named primitives (operations peers may invoke), attributes
// ("Name", "Title", "Platform"), a begetter that waits for peers and makes
// one session per peer, and the sessions so made.
#pragma once
#include <cstdint>

#include "fw/services/session.h"

struct vcommChannel;
struct vservicePrimitive;
struct vserviceBegetterRoot;

struct vserviceRecord {
  vserviceBegetterRoot* begetter;
  int sessionCount;
  vsession** sessions;  // in order of creation; a removal moves the last in
  vdict* dictionary;    // optional
  vattrlist attributes;
};

struct vservice : vinstance {
  vsession* session;  // the service's own
  vdict primitives;   // name -> primitive
  vserviceRecord* record;
};
using vserviceClassRec = vinstanceClassRec;

vserviceClassRec* vserviceGetDefaultClass();
vservice* vserviceCreate();
void vserviceDestroy(vservice* service);
// A primitive already stored under the same name is destroyed first.
void vserviceAddPrimitive(vservice* service, vservicePrimitive* primitive);
vservicePrimitive* vserviceFindPrimitive(vservice* service, vname name);
void vserviceSetAttribute(vservice* service, vname key, vdatatag* datatag, ...);
// The begetter's attributes answer first.
vscribe* vserviceGetAttributeScribe(vservice* service, vname key);
vname vserviceGetAttributeTag(vservice* service, vname key);
// Links the begetter to the service (destroying one there before) and
// starts it; null removes the begetter.
void vserviceSetBegetter(vservice* service, vserviceBegetterRoot* begetter);
void vserviceStopBegetter(vservice* service);
void _vserviceAddSession(vservice* service, vsession* session);
void _vserviceRemoveSession(vservice* service, vsession* session);

// Begetters.
struct vserviceBegetterRoot : vinstance {
  vattrlist attributes;
  std::uint32_t flags;  // vserviceBegetterRUNNING
  vservice* service;
  void* client;
};
enum : std::uint32_t { vserviceBegetterRUNNING = 0x1000000 };
struct vserviceBegetterRootClassRec : vinstanceClassRec {
  void (*copyInit)(vserviceBegetterRoot* source, vserviceBegetterRoot* target);
  void (*start)(vserviceBegetterRoot* self);
  void (*stop)(vserviceBegetterRoot* self);
  int (*isRunning)(vserviceBegetterRoot* self);
  void (*reserved)(vserviceBegetterRoot* self);
};
struct vserviceBegetterChannel : vserviceBegetterRoot {
  vcommChannel* channel;  // listening
};
using vserviceBegetterChannelClassRec = vserviceBegetterRootClassRec;
vserviceBegetterRootClassRec* vserviceGetBegetterRootClass();
vserviceBegetterChannelClassRec* vserviceGetBegetterChannelClass();
inline vserviceBegetterRootClassRec* vserviceBegetterClassOf(vserviceBegetterRoot* b) {
  return static_cast<vserviceBegetterRootClassRec*>(b->cls);
}
void vserviceBegetterSetAttribute(vserviceBegetterRoot* begetter, vname key, vdatatag* datatag, ...);
vscribe* vserviceBegetterGetAttributeScribe(vserviceBegetterRoot* begetter, vname key);
vname vserviceBegetterGetAttributeTag(vserviceBegetterRoot* begetter, vname key);
// The start-up row "vserviceGetDefaultClass".
void vserviceInstallStartup();

extern const vexClass vexServiceClass, vexServiceCannotEnableClass;
struct vserviceException : vexException {
  vservice* service;
};

// Primitives: an operation of a service, named by its signature.
struct _vservicePrimitiveContext;
using vservicePrimitiveHandler = vinstance* (*)(vservicePrimitive* primitive, vsession* session, vinstance* arguments);
using vservicePrimitiveInvoker = void (*)(_vservicePrimitiveContext* context);
struct vservicePrimitive : vinstance {
  vsignature* signature;
  void* client;
  vservicePrimitiveHandler handler;
  vservicePrimitiveInvoker invoke;
};
using vservicePrimitiveClassRec = vinstanceClassRec;
vservicePrimitiveClassRec* vservicePrimitiveGetClass();
vservicePrimitive* vservicePrimitiveCreate();
void vservicePrimitiveInit(vservicePrimitive* memory);
void vservicePrimitiveDestroy(vservicePrimitive* primitive);
vname vservicePrimitiveGetName(vservicePrimitive* primitive);
// The arguments into C variables as the signature describes them.
void vservicePrimitiveGetArgs(vservicePrimitive* primitive, vinstance* arguments, ...);

// One call being served. The protocol's subclass sends the replies.
struct _vservicePrimitiveContext : vinstance {
  vservicePrimitive* primitive;
  vsession* session;  // while attached
  vinstance* arguments;
  vinstance* result;
  void* client;
};
struct _vservicePrimitiveContextClassRec : vinstanceClassRec {
  void (*sendError)(_vservicePrimitiveContext* self);
  void (*sendResult)(_vservicePrimitiveContext* self);
};
_vservicePrimitiveContextClassRec* vservicePrimitiveContextGetClass();
void vservicePrimitiveContextSetSession(_vservicePrimitiveContext* context, vsession* session);
void vservicePrimitiveInvoke(_vservicePrimitiveContext* context);
void vservicePrimitiveReply(_vservicePrimitiveContext* context);
void vservicePrimitiveFail(_vservicePrimitiveContext* context);
