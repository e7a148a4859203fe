// Primitives: the operations a service offers, each named by its signature.
#include "fw/core/sys.h"
#include "fw/services/service.h"

namespace {

void** primitiveSlot = nullptr;

void standardInvoker(_vservicePrimitiveContext* context);

void primitiveInit(vinstance* self) {
  auto* p = static_cast<vservicePrimitive*>(self);
  p->signature = nullptr;
  p->client = nullptr;
  p->handler = nullptr;
  p->invoke = standardInvoker;
}

void primitiveDestroy(vinstance* self) { vclassFreeInstance(self->cls, self); }

// The handler's result becomes the reply.
void standardInvoker(_vservicePrimitiveContext* context) {
  vservicePrimitive* p = context->primitive;
  if (!p || !p->handler) vexGenerateMessage(&vexArgClass, "No primitive handler set");
  context->result = p->handler(p, context->session, context->arguments);
  vservicePrimitiveReply(context);
}

vservicePrimitiveClassRec* classes() {
  if (auto* bound = vmoduleState<vservicePrimitiveClassRec*>(primitiveSlot)) return *bound;
  auto* slot = static_cast<vservicePrimitiveClassRec**>(vmoduleBindSlot(primitiveSlot, sizeof(void*)));
  auto* c = vclassSpawnOf<vservicePrimitiveClassRec>(vinstanceGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vservicePrimitive"));
  c->instanceSize = sizeof(vservicePrimitive);
  c->init = primitiveInit;
  c->destroy = primitiveDestroy;
  *slot = c;
  return c;
}

}  // namespace

vservicePrimitiveClassRec* vservicePrimitiveGetClass() { return classes(); }
vservicePrimitive* vservicePrimitiveCreate() { return static_cast<vservicePrimitive*>(vinstanceCreate(classes())); }
void vservicePrimitiveInit(vservicePrimitive* memory) { vinstanceInit(memory, classes()); }
void vservicePrimitiveDestroy(vservicePrimitive* p) { vinstanceDestroy(p); }

void vservicePrimitiveGetArgs(vservicePrimitive* p, vinstance* arguments, ...) {
  if (!p->signature || !arguments) vexGenerateMessage(&vexArgClass, "no arguments");
  va_list ap;
  va_start(ap, arguments);
  vdatatagScrap* target = nullptr;
  vexGuard(
      [&] {
        target = vdatatagCreateListScrapFromArgsV(&p->signature->arguments, ap);
        vscrap from, to;
        vdelegatorInitIterator(&from, arguments);
        vdelegatorInitIterator(&to, target);
        vscrapImport(from, to);
      },
      [&](vexHandler&) {
        va_end(ap);
        if (target) vinstanceDestroy(target);
        _vexGenerate(nullptr, vexEnd);
      });
  va_end(ap);
  vinstanceDestroy(target);
}
