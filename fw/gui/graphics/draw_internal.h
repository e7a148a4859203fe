// The drawing module's globals, shared by the state, binding, primitive and
// path files.
#pragma once
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/draw.h"

namespace vdrawint {

struct Module {
  bool started = false;
  vpool* states = nullptr;
  vpool* transforms = nullptr;
  vpool* bindings = nullptr;
  vpool* paths = nullptr;
  vdrawState* current = nullptr;
  std::vector<vdrawState*> stack;
  const vdrawDeviceTable* table = nullptr;
  const vdrawDriverRecord* driver = nullptr;
  void* data = nullptr;
  const vdrawPrimitiveTable* primitives = nullptr;
  const vdrawPrimitiveTable* selected = nullptr;
  vdrawPath* deviceClip = nullptr;
  vimage* maskImage = nullptr;
  const vdrawDriverRecord* imageDriver = nullptr;
  int imageFlags = 0;
  bool restoring = false;    // a table's own restore is running
  bool maskRestore = false;  // a mask is being drawn
};
extern Module m;

void ensure();
// The current state, copied first when it is shared.
vdrawState* privateState();
// The current state's matrix record, copied first when it is shared.
vdrawTransform* privateMatrix();
// The device globals and the primitive tables from the current state.
void loadDevice();
void joinBinding(vdrawBinding* b, vdrawState* s);
void leaveBinding(vdrawState* s);  // closes and frees a binding left unused
vdrawBinding* defaultBinding();
void releaseTransform(vdrawTransform* t);
void releaseDash(vdrawDash* d);

// Path construction on the current state (16.16 device values).
void pathMoveTo(vfixed x, vfixed y);
void pathLineTo(vfixed x, vfixed y);
void pathRLineTo(vfixed dx, vfixed dy);
void pathRMoveTo(vfixed dx, vfixed dy);
void pathClose();
void pathNew();
void pathStartup();

}  // namespace vdrawint
