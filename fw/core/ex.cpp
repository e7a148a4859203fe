#include "fw/core/ex.h"

#include <cstring>
#include <new>

#include "fw/core/debug.h"
#include "fw/core/sys.h"

#define VEX_CLASS(var, super, name, size, printer, type) \
  const vexClass var{super, name, size, printer, sizeof(type)};

VEX_CLASS(vexRootClass, nullptr, "", 36, vexPrintBase, vexException)
VEX_CLASS(vexAbandonClass, &vexRootClass, "Abandon", 36, nullptr, vexException)
VEX_CLASS(vexAppClass, &vexRootClass, "App", 36, nullptr, vexException)
VEX_CLASS(vexArgClass, &vexRootClass, "Arg", 40, vexArgPrint, vexArgException)
VEX_CLASS(vexArgNullClass, &vexArgClass, "Null", 40, nullptr, vexArgException)
VEX_CLASS(vexArgRangeClass, &vexArgClass, "Range", 40, nullptr, vexArgException)
VEX_CLASS(vexArgNotOpenClass, &vexArgClass, "Not Open", 40, nullptr, vexArgException)
VEX_CLASS(vexArgGrabClass, &vexArgClass, "Grab", 40, nullptr, vexArgException)
VEX_CLASS(vexMathClass, &vexRootClass, "Math", 36, nullptr, vexException)
VEX_CLASS(vexMathDivByZeroClass, &vexMathClass, "DivByZero", 36, nullptr, vexException)
VEX_CLASS(vexMathDomainClass, &vexMathClass, "Domain", 36, nullptr, vexException)
VEX_CLASS(vexMathRangeClass, &vexMathClass, "Range", 36, nullptr, vexException)
VEX_CLASS(vexModuleClass, &vexRootClass, "Module", 36, nullptr, vexException)
VEX_CLASS(vexModuleLimitClass, &vexModuleClass, "Limit", 36, nullptr, vexException)
VEX_CLASS(vexModuleStartupClass, &vexModuleClass, "Startup", 36, nullptr, vexException)
VEX_CLASS(vexModuleStateClass, &vexModuleClass, "State", 36, nullptr, vexException)
VEX_CLASS(vexModuleUnimplementedClass, &vexModuleClass, "Unimplemented", 36, nullptr, vexException)
VEX_CLASS(vexReturnClass, &vexRootClass, "Return", 36, nullptr, vexException)
VEX_CLASS(vexReturnNullClass, &vexReturnClass, "Null", 36, nullptr, vexException)
VEX_CLASS(vexReturnRangeClass, &vexReturnClass, "Range", 36, nullptr, vexException)
VEX_CLASS(vexValueClass, &vexRootClass, "Value", 36, nullptr, vexException)
VEX_CLASS(vexValueNullClass, &vexValueClass, "Null", 36, nullptr, vexException)
VEX_CLASS(vexValueRangeClass, &vexValueClass, "Range", 36, nullptr, vexException)
VEX_CLASS(vexMemoryClass, &vexRootClass, "Memory", 36, nullptr, vexException)

namespace {

void printName(vexException* e, std::FILE* stream, const char* label) {
  const char* name = static_cast<vexNamedException*>(e)->name;
  vdebugFprintf(stream, "\t%s: %s\n", label, name ? name : "");
}
void printSelector(vexException* e, std::FILE* stream) { printName(e, stream, "selector"); }
void printClassName(vexException* e, std::FILE* stream) { printName(e, stream, "class name"); }

}  // namespace

VEX_CLASS(vexArgNotUnderstoodClass, &vexArgClass, "Not Understood", 44, printSelector, vexNamedException)
VEX_CLASS(vexArgUndefinedClassClass, &vexArgClass, "Undefined Class", 44, printClassName, vexNamedException)
VEX_CLASS(vexArgUnnamedClassClass, &vexArgClass, "Unnamed Class", 40, nullptr, vexArgException)

namespace {

// The records are laid out in this process's sizes; their room is counted
// in the sizes the classes give, so a chain overflows at the same raise
// whatever the host layout. Host records are at most twice as large.
alignas(std::max_align_t) unsigned char hostStack[vexSTACK_SIZE * 2 + 256];
vexException* chain = nullptr;
vexHandler sentinel{nullptr, nullptr};
vexHandler* handlerTop = &sentinel;

constexpr std::size_t alignUp(std::size_t n) {
  return (n + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
}

[[noreturn]] void fatal(const char* message) {
  std::FILE* err = vdebugGetConsoleError();
  if (message) {
    vdebugFputs(message, err);
    vdebugFflush(err);
  }
  vdebugConsoleExit();
  vsysExit(1);
}

void printUnhandled() {
  vdebugFputs("An error has occurred.  The following chain of information is available:\n",
              vdebugGetConsoleError());
  vexPrintChain(nullptr);
}

}  // namespace

void _vexGenerate(const vexClass* cls, ...) {
  if (cls) {
    std::size_t stackStart = chain ? chain->stackEnd : 0;
    std::size_t hostStart = chain ? chain->hostEnd : 0;
    std::size_t hostSize = alignUp(cls->hostSize);
    if (stackStart + static_cast<std::size_t>(cls->size) > vexSTACK_SIZE ||
        hostStart + hostSize > sizeof hostStack) {
      vexPrintChain(nullptr);
      fatal("_vexGenerate: Exception stack overflow: Terminated.\n");
    }
    auto* e = static_cast<vexException*>(static_cast<void*>(hostStack + hostStart));
    std::memset(static_cast<void*>(e), 0, cls->hostSize);
    // errno is recorded only by a raise that follows the failing call
    // (vexSetErrno): what the C library holds now may belong to any older
    // failure already handled.
    e->cls = cls;
    e->stackEnd = static_cast<std::uint16_t>(stackStart + cls->size);
    e->hostEnd = static_cast<std::uint16_t>(hostStart + hostSize);
    va_list ap;
    va_start(ap, cls);
    while (vexSetter setter = va_arg(ap, vexSetter)) setter(e, &ap);
    va_end(ap);
    e->link = chain;
    chain = e;
  }
  if (handlerTop == &sentinel) {
    printUnhandled();
    fatal(nullptr);
  }
  vexHandler* h = handlerTop;
  handlerTop = h->link;
  throw vexUnwind{h};
}

void vexGenerateMessage(const vexClass* cls, const char* message) {
  _vexGenerate(cls, vexSetMessage, message, vexEnd);
}

void vexSetMessage(vexException* e, va_list* ap) { e->message = va_arg(*ap, const char*); }
void vexSetModule(vexException* e, va_list* ap) { e->module = va_arg(*ap, const char*); }
void vexSetProcedure(vexException* e, va_list* ap) { e->procedure = va_arg(*ap, const char*); }
void vexSetErrno(vexException* e, va_list* ap) { e->errnum = va_arg(*ap, int); }
void vexArgSetPosition(vexException* e, va_list* ap) { static_cast<vexArgException*>(e)->position = va_arg(*ap, int); }
void vexSetName(vexException* e, va_list* ap) { static_cast<vexNamedException*>(e)->name = va_arg(*ap, const char*); }

void vexPushHandler(vexHandler* h, const char*, const char*, int) { vexPushHandlerBare(h); }

void vexPushHandlerBare(vexHandler* h) {
  h->savedChain = chain;
  h->link = handlerTop;
  handlerTop = h;
}

vexHandler* _vexPopHandler(vexHandler* h, const char* module, const char* file, int line) {
  const char* what = nullptr;
  if (handlerTop == &sentinel)
    what = "attempted to pop off empty handler stack";
  else if (handlerTop != h)
    what = "attempted to pop non-topmost handler";
  if (what) {
    vdebugFprintf(vdebugGetConsoleError(), "_vexPopHandler: corrupt stack:\n\t\tcall from %s: %s, %d %s: Terminated.\n",
                  module ? module : "", file ? file : "", line, what);
    fatal(nullptr);
  }
  handlerTop = h->link;
  return h;
}

vexException* vexGetCurrentException() { return chain; }

vexException* vexSetCurrentException(vexException* e) {
  chain = e;
  return e;
}

bool vexClassDerives(const vexClass* cls, const vexClass* base) {
  for (; cls; cls = cls->superclass)
    if (cls == base) return true;
  return false;
}

vexException* vexFindException(const vexClass* cls) {
  for (vexException* e = chain; e; e = e->link)
    if (vexClassDerives(e->cls, cls)) return e;
  return nullptr;
}

namespace {

void printPath(const vexClass* cls, std::FILE* stream) {
  if (!cls) return;
  printPath(cls->superclass, stream);
  vdebugFprintf(stream, "%s/", cls->name);
}

void runPrinters(const vexClass* cls, vexException* e, std::FILE* stream) {
  if (!cls) return;
  runPrinters(cls->superclass, e, stream);
  if (cls->printer) cls->printer(e, stream);
}

}  // namespace

void vexPrintChain(std::FILE* stream) {
  if (!stream) stream = vdebugGetConsoleError();
  int n = 1;
  for (vexException* e = chain; e; e = e->link, ++n) {
    vdebugFprintf(stream, "    error %d: ", n);
    printPath(e->cls, stream);
    vdebugFputs("\n", stream);
    runPrinters(e->cls, e, stream);
  }
  vdebugFflush(stream);
}

void vexPrintBase(vexException* e, std::FILE* stream) {
  if (e->message) vdebugFprintf(stream, "\tmessage: %s\n", e->message);
  if (e->module) vdebugFprintf(stream, "\tmodule: %s\n", e->module);
  if (e->file) vdebugFprintf(stream, "\tfile: %s\n", e->file);
  if (e->procedure) vdebugFprintf(stream, "\tprocedure name: %s\n", e->procedure);
  if (e->line) vdebugFprintf(stream, "\tline: %d\n", e->line);
  if (e->errnum) {
    // strerror of glibc answers "Unknown error N" for numbers it lacks.
    char unknown[32];
    std::snprintf(unknown, sizeof unknown, "Unknown error %d", e->errnum);
    const char* text = e->errnum > 0 && e->errnum < 256 ? std::strerror(e->errnum) : nullptr;
    if (text && std::strcmp(text, unknown) != 0)
      vdebugFprintf(stream, "\terrno: %d: %s\n", e->errnum, text);
    else
      vdebugFprintf(stream, "\terrno: %d\n", e->errnum);
  }
  vdebugFflush(stream);
}

void vexArgPrint(vexException* e, std::FILE* stream) {
  int position = static_cast<vexArgException*>(e)->position;
  if (position) vdebugFprintf(stream, "\targument position: %d\n", position);
  vdebugFflush(stream);
}
