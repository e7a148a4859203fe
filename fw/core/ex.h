// Typed exceptions: records on a small exception stack form a chain; a raise
// goes to the newest handler, or prints the chain and ends the process.
// Handlers are C++ try blocks (vexGuard) so C++ frames unwind properly.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct vexException;
using vexPrinter = void (*)(vexException*, std::FILE*);
using vexSetter = void (*)(vexException*, va_list*);

struct vexClass {
  const vexClass* superclass;
  const char* name;
  int size;                // bytes the record takes on the exception stack
  vexPrinter printer;
  std::size_t hostSize;    // the record's size in this process
};

struct vexException {
  vexException* link;
  const vexClass* cls;
  const char* message;
  const char* module;
  const char* file;
  const char* procedure;
  int line;
  int errnum;
  std::intptr_t spare;
  std::uint16_t stackEnd;  // accounted end on the exception stack
  std::uint16_t hostEnd;
};

struct vexArgException : vexException {
  int position;
};
struct vexNamedException : vexArgException {
  const char* name;  // selector name (Not Understood), class name (Undefined Class)
};

inline constexpr vexSetter vexEnd = nullptr;
inline constexpr std::size_t vexSTACK_SIZE = 1152;

// The classes, named by their path.
extern const vexClass vexRootClass;
extern const vexClass vexAbandonClass, vexAppClass;
extern const vexClass vexArgClass, vexArgNullClass, vexArgRangeClass, vexArgNotOpenClass, vexArgGrabClass,
    vexArgNotUnderstoodClass, vexArgUndefinedClassClass, vexArgUnnamedClassClass;
extern const vexClass vexMathClass, vexMathDivByZeroClass, vexMathDomainClass, vexMathRangeClass;
extern const vexClass vexModuleClass, vexModuleLimitClass, vexModuleStartupClass, vexModuleStateClass,
    vexModuleUnimplementedClass;
extern const vexClass vexReturnClass, vexReturnNullClass, vexReturnRangeClass;
extern const vexClass vexValueClass, vexValueNullClass, vexValueRangeClass;
extern const vexClass vexMemoryClass;

// Raises: the class, then (setter, its arguments) pairs, then vexEnd.
// A null class raises the current chain again. Never returns.
[[noreturn]] void _vexGenerate(const vexClass* cls, ...);

void vexSetMessage(vexException* e, va_list* ap);    // const char*
void vexSetModule(vexException* e, va_list* ap);     // const char*
void vexSetProcedure(vexException* e, va_list* ap);  // const char*
void vexSetErrno(vexException* e, va_list* ap);      // int
void vexArgSetPosition(vexException* e, va_list* ap);  // int
void vexSetName(vexException* e, va_list* ap);       // const char*: selector or class name

[[noreturn]] void vexGenerateMessage(const vexClass* cls, const char* message);

struct vexHandler {
  vexException* savedChain;
  vexHandler* link;
};

void vexPushHandler(vexHandler* h, const char* module, const char* file, int line);
void vexPushHandlerBare(vexHandler* h);
vexHandler* _vexPopHandler(vexHandler* h, const char* module, const char* file, int line);

vexException* vexGetCurrentException();
vexException* vexSetCurrentException(vexException* e);
vexException* vexFindException(const vexClass* cls);
bool vexClassDerives(const vexClass* cls, const vexClass* base);
void vexPrintChain(std::FILE* stream);
void vexPrintBase(vexException* e, std::FILE* stream);
void vexArgPrint(vexException* e, std::FILE* stream);

// Thrown by a raise to the try block of the handler it popped.
struct vexUnwind {
  vexHandler* handler;
};

// The guarded block: body runs under a handler; when a raise reaches it,
// the handler is already popped and onRaise(handler) runs, which either
// restores the chain (vexSetCurrentException(h.savedChain)) or raises again.
template <class Body, class OnRaise>
void vexGuard(Body&& body, OnRaise&& onRaise) {
  vexHandler h;
  vexPushHandlerBare(&h);
  try {
    body();
  } catch (const vexUnwind& u) {
    if (u.handler != &h) throw;
    onRaise(h);
    return;
  } catch (...) {
    vexHandler* top = _vexPopHandler(&h, "undefined_tag", __FILE__, __LINE__);
    (void)top;
    throw;
  }
  _vexPopHandler(&h, "undefined_tag", __FILE__, __LINE__);
}

// Runs body under a handler that drops a raise, leaving the chain as it was;
// answers whether body ran to its end.
template <class Body>
bool vexTry(Body&& body) {
  bool ok = true;
  vexGuard(body, [&](vexHandler& h) {
    ok = false;
    vexSetCurrentException(h.savedChain);
  });
  return ok;
}
