// Sessions: one conversation with another application. A session carries
// typed attributes (where the peer is, which transport and protocol), an
// engine that does the talking, the statements waiting for an answer and
// the primitive contexts being served. Engines compose a protocol and a
// transport (layer.h); statements are calls of remote operations.
//
// Sessions and services (`session.h`, `service.h`): `vsession` (session.cpp) keeps its variable
// state in a pooled record (engine, contexts being served, pending statements keyed by their 24-bit
// number, the attribute list); the eight attribute keys are interned once per module context in
// their fixed order. Busy and destroy-requested defer a destroy asked for while an operation runs
// (`vsessionBeginBusy` / `vsessionEndBusy`). Engines (engine.cpp): the root engine tells the
// session opened and closed; the synthetic engine holds the layers' engine record (`link`), through
// which the components reach it; the default engine is a synthetic engine whose components are the
// classes set with `vsessionSetDefaultComponentClasses` (by default `vsessionDefaultProtocol` and
// `vsessionChannelTransport`); the root engine's scraps are engine scraps typed by the result
// datatag or the argument list, and the synthetic engine closes through its protocol so that the
// peer hears of it. Statements (stament.cpp) make their arguments through the session's engine,
// send (a raise fails the statement), wait against a deadline and complete by reply kind; a destroy
// asked for while the statement's completion (bit 31) or a wait (bit 29) runs only marks it, and
// the statement goes when they return.
#pragma once
#include <cstdarg>
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/event.h"
#include "fw/data/attrlist.h"
#include "fw/services/layer.h"

struct vsession;
struct vservice;
struct vsessionEngineRoot;
struct vsessionStatement;
struct _vservicePrimitiveContext;

// The attribute keys, in their fixed order.
enum : int {
  vsessionLOCATION = 0,
  vsessionPLATFORM,
  vsessionPORT,
  vsessionTRANSPORT,
  vsessionBEGETTER_CLASS,
  vsessionENGINE_CLASS,
  vsessionPROTOCOL_CLASS,
  vsessionTRANSPORT_CLASS,
  vsessionATTRIBUTE_KEYS,
};
vname vsessionGetAttributeKey(int index);
// The datatags attribute values are stored under.
vdatatag* vsessionStringDatatag();  // 13
vdatatag* vsessionTagDatatag();     // 14
vdatatag* vsessionDoubleDatatag();  // 11

// Notify codes.
enum : std::int32_t { vsessionOPENED = 0, vsessionOPEN_FAILED = 1, vsessionCLOSED = 2 };
using vsessionNotify = void (*)(vsession* session, std::int32_t* code);

enum : std::uint32_t {
  vsessionCLOSED_FLAG = 0x1,
  vsessionOPENING = 0x2,
  vsessionOPEN = 0x4,
  vsessionCLOSING = 0x8,
  vsessionHELD = 0x80,
  vsessionBUSY = 0x100,
  vsessionDESTROY_REQUESTED = 0x200,
  vsessionSERVICE_SESSION = 0x400,
};

struct vsessionRecord {
  vsessionEngineRoot* engine;
  vdict* contexts;    // primitive context -> itself
  vdict* pending;     // statement number -> statement, made on first use
  vdict* dictionary;  // optional, name-keyed
  vattrlist attributes;
};

struct vsession : vinstance {
  vsessionNotify notify;
  std::uint32_t flags;
  vservice* service;
  vsessionRecord* record;
  void* client;
};

struct vsessionClassRec : vinstanceClassRec {
  void (*copyInit)(vsession* source, vsession* target);
  void (*reserved)(vsession* self);
  void (*open)(vsession* self);
  void (*close)(vsession* self);
  void (*opened)(vsession* self);
  void (*closed)(vsession* self);
  void (*send)(vsession* self, vsessionStatement* statement);
  int (*poll)(vsession* self, const vsysTime* timeout);
};

vsessionClassRec* vsessionGetDefaultClass();
vsession* vsessionCreate();
void vsessionDestroy(vsession* session);
vsession* vsessionClone(vsession* session);
inline vsessionClassRec* vsessionClassOf(vsession* s) { return static_cast<vsessionClassRec*>(s->cls); }
inline void vsessionOpen(vsession* s) { vsessionClassOf(s)->open(s); }
inline void vsessionClose(vsession* s) { vsessionClassOf(s)->close(s); }
inline int vsessionPoll(vsession* s, const vsysTime* timeout) { return vsessionClassOf(s)->poll(s, timeout); }
inline void vsessionSend(vsession* s, vsessionStatement* st) { vsessionClassOf(s)->send(s, st); }

void vsessionSetAttribute(vsession* session, vname key, vdatatag* datatag, ...);
// Every entry of a dictionary scrap, with the entry's datatag (floating
// values as doubles under datatag 11).
void vsessionSetAttributesFromDict(vsession* session, vdatatagScrap* dictionary);
// One value as the datatag's C argument (a null datatag removes the key).
void vsessionSetAttributeV(vattrlist* list, vname key, vdatatag* datatag, va_list* ap);
// A va_list ended however its scope is left (a raise unwinds).
struct vsessionArgs {
  va_list ap;
  ~vsessionArgs() { va_end(ap); }
};
vscribe* vsessionGetAttributeScribe(vsession* session, vname key);
vname vsessionGetAttributeTag(vsession* session, vname key);
void vsessionSetService(vsession* session, vservice* service);
void vsessionSetEngine(vsession* session, vsessionEngineRoot* engine);
// Busy periods: begin answers whether this call set busy; end with that
// answer carries out a destroy requested meanwhile.
int vsessionBeginBusy(vsession* session);
void vsessionEndBusy(vsession* session, int setHere);

void _vsessionAddStatement(vsession* session, vsessionStatement* statement, std::uint32_t number);
void _vsessionRemoveStatement(vsession* session, vsessionStatement* statement);
vsessionStatement* _vsessionFindStatement(vsession* session, std::uint32_t number);  // none when not pending
void _vsessionAddContext(vsession* session, _vservicePrimitiveContext* context);
void _vsessionRemoveContext(vsession* session, _vservicePrimitiveContext* context);

// Engines.
struct vsessionEngineRoot : vinstance {
  std::uint32_t flags;  // vsessionEngineROOT_OPEN
  vsession* session;
  void* client;
};
enum : std::uint32_t { vsessionEngineROOT_OPEN = 1u << 24 };
struct vsessionEngineRootClassRec : vinstanceClassRec {
  void (*copyInit)(vsessionEngineRoot* source, vsessionEngineRoot* target);
  vinstance* (*makeResultScrap)(vsessionEngineRoot* self, vdatatag* datatag);
  vinstance* (*makeArgumentScrap)(vsessionEngineRoot* self, vdatatagList* datatags);
  int (*poll)(vsessionEngineRoot* self, const vsysTime* timeout);
  void (*open)(vsessionEngineRoot* self);
  void (*close)(vsessionEngineRoot* self);
  int (*isOpen)(vsessionEngineRoot* self);
  void (*send)(vsessionEngineRoot* self, vsessionStatement* statement);
  void (*reserved)(vsessionEngineRoot* self);
};
// A protocol and a transport; the layers reach the engine through link.
struct vsessionSyntheticEngine : vsessionEngineRoot {
  vsessionEngine link;
};
using vsessionSyntheticEngineClassRec = vsessionEngineRootClassRec;

vsessionEngineRootClassRec* vsessionEngineRootGetClass();
vsessionSyntheticEngineClassRec* vsessionSyntheticEngineGetClass();
// Its components are the default protocol and the channel transport,
// which the wire protocol provides; until then it is a synthetic engine
// whose open chooses from the session's attributes.
vsessionSyntheticEngineClassRec* vsessionDefaultEngineGetClass();
inline vsessionEngineRootClassRec* vsessionEngineClassOf(vsessionEngineRoot* e) {
  return static_cast<vsessionEngineRootClassRec*>(e->cls);
}
// key "ProtocolClass" or "TransportClass"; a null class clears the field.
void vsessionEngineSetComponent(vsessionEngineRoot* engine, vname key, vclass* cls);
// The default component classes; the wire protocol installs its own.
void vsessionSetDefaultComponentClasses(vclass* protocol, vclass* transport);

// Statements: one call of a remote operation and its reply. A destroy asked
// for while its completion or a wait on it runs is carried out when that
// returns.
struct vsessionReply {
  std::int32_t kind;  // vsessionREPLY_*; bit 15: more replies follow
};
enum : std::int32_t {
  vsessionREPLY_RESULT = 0,
  vsessionREPLY_FAILED = 1,
  vsessionREPLY_CANCELLED = 2,
  vsessionREPLY_ERROR = 3,
  vsessionREPLY_MORE = 0x8000,
};
using vsessionCompletion = void (*)(vsessionStatement* statement, vsessionReply* reply);
struct vsessionStatement : vinstance {
  vsession* session;
  vsignature* operation;
  vinstance* arguments;
  vinstance* result;
  std::uint32_t state;  // bits 0-23 number, 24-27 state, 28 destroy when done, 29 waiting, 30 typeable
  vsessionCompletion completion;
  void* client;
};
enum : std::uint32_t {
  vsessionStatementNEW = 0,
  vsessionStatementFAILED = 1,
  vsessionStatementPENDING = 2,
  vsessionStatementCANCELLED = 3,
  vsessionStatementERROR = 4,
  vsessionStatementDONE = 5,
  vsessionStatementNUMBER_MASK = 0xFFFFFF,
  vsessionStatementDESTROY_WHEN_DONE = 1u << 28,
  vsessionStatementWAITING = 1u << 29,
  vsessionStatementTYPEABLE = 1u << 30,  // the result has been made typeable
  vsessionStatementIN_REPLY = 1u << 31,  // its completion is running
};
inline std::uint32_t vsessionStatementGetState(const vsessionStatement* s) { return s->state >> 24 & 0xF; }
vinstanceClassRec* vsessionStatementGetClass();
vsessionStatement* vsessionStatementCreate();
// Makes a statement in memory the caller owns; destroying it releases what it holds, not the memory.
void vsessionStatementInit(vsessionStatement* memory);
void vsessionStatementDestroy(vsessionStatement* statement);
void vsessionStatementSetSession(vsessionStatement* statement, vsession* session);
void vsessionStatementComplete(vsessionStatement* statement, vsessionReply* reply);
void vsessionStatementSetOperation(vsessionStatement* statement, vsignature* operation);
// The arguments as C values of the operation's argument datatags.
void vsessionStatementSetArgs(vsessionStatement* statement, ...);
void vsessionStatementSend(vsessionStatement* statement);
// 1 once the statement has left the pending state; a null time-out waits
// as long as the session's poll finds something to do.
int vsessionStatementWait(vsessionStatement* statement, const vsysTime* timeout);
// The result into C out-pointers of the operation's return datatag.
void vsessionStatementGetResult(vsessionStatement* statement, ...);
