// The solution class: steps, accessors, copies and the resource forms; the
// arranger class with its default operations.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/widgets/lists/spring.h"

namespace {

struct SpringClasses {
  vspringSolutionClassRec* solution;
  vspringArrangerClassRec* arranger;
};
void** classSlot = nullptr;

vspringSolution* asSolution(vinstance* o) { return static_cast<vspringSolution*>(o); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }

template <class T>
T* growArray(T* array, std::int32_t capacity) {
  return static_cast<T*>(vmemRealloc(array, vmemArraySize(static_cast<std::size_t>(capacity), sizeof(T))));
}

void reserveSteps(vspringSolution* s, std::int32_t capacity) {
  s->indices = growArray(s->indices, capacity);
  s->lengths = growArray(s->lengths, capacity);
  s->stepFlags = growArray(s->stepFlags, capacity);
  s->capacity = capacity;
}

void dropCompiled(vspringSolution* s) {
  vmemFree(s->items);
  vmemFree(s->chain);
  s->items = nullptr;
  s->chain = nullptr;
  s->compiledSteps = s->compiledItems = 0;
}

void solutionInit(vinstance* self) {
  super()->init(self);
  vspringSolution* s = asSolution(self);
  s->flags = 0;
  s->itemCount = 0;
  s->stepCount = 0;
  s->capacity = 0;
  s->indices = s->lengths = nullptr;
  s->stepFlags = nullptr;
  s->items = nullptr;
  s->chain = nullptr;
  s->compiledSteps = s->compiledItems = 0;
  reserveSteps(s, 8);
}

void freeSteps(vspringSolution* s) {
  vmemFree(s->indices);
  vmemFree(s->lengths);
  vmemFree(s->stepFlags);
  s->indices = s->lengths = nullptr;
  s->stepFlags = nullptr;
  s->capacity = s->stepCount = 0;
}

void solutionDestroy(vinstance* self) {
  vspringSolution* s = asSolution(self);
  dropCompiled(s);
  freeSteps(s);
  super()->destroy(self);
}

void copySteps(const vspringSolution* from, vspringSolution* to) {
  reserveSteps(to, std::max(from->stepCount, 8));
  auto n = static_cast<std::size_t>(from->stepCount);
  if (n) {
    std::memcpy(to->indices, from->indices, n * sizeof(std::int16_t));
    std::memcpy(to->lengths, from->lengths, n * sizeof(std::int16_t));
    std::memcpy(to->stepFlags, from->stepFlags, n);
  }
  to->stepCount = from->stepCount;
  to->itemCount = from->itemCount;
  to->flags = from->flags;
}

void solutionCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vspringSolution* to = asSolution(destination);
  dropCompiled(to);
  copySteps(asSolution(source), to);
}

void solutionCopyInit(vobject* source, vobject* destination) {
  solutionInit(destination);
  solutionCopy(source, destination);
}

// A resource read into plain arrays, checked before anything is changed.
struct Parsed {
  std::int32_t itemCount = 0;
  std::vector<std::int16_t> indices, lengths;
  std::vector<std::uint8_t> flags;
};

[[noreturn]] void refuse(const char* message) { vexGenerateMessage(&vexArgClass, message); }

void addStep(Parsed& p, std::int32_t index, std::int32_t flags, std::int32_t length) {
  if (index < -1 || index > 32766) refuse("Spring solution step index out of range.");
  if (flags < 0 || flags > 255) refuse("Spring solution step flags out of range.");
  if (length < -32768 || length > 32767) refuse("Spring solution step length out of range.");
  p.indices.push_back(static_cast<std::int16_t>(index));
  p.flags.push_back(static_cast<std::uint8_t>(flags));
  p.lengths.push_back(static_cast<std::int16_t>(length));
  p.itemCount = std::max(p.itemCount, index + 1);
}

Parsed parse(vresource resource) {
  Parsed p;
  std::int32_t items = 0;
  if (vresourceTestGetInteger(resource, vname_ItemCount, &items)) {
    if (items < 0 || items > 32767) refuse("Spring solution item count out of range.");
    p.itemCount = items;
  }
  vresource steps;
  if (vresourceTestGet(resource, vname_Steps, &steps)) {
    // The older form: one dictionary per step.
    if (vresourceGetType(steps, nullptr) != vresARRAY) refuse("Spring solution steps are not an array.");
    for (std::int32_t i = 0, n = vresourceCount(steps); i < n; ++i) {
      vresource step = vresourceGetAt(steps, i);
      if (vresourceGetType(step, nullptr) != vresDICTIONARY) refuse("Spring solution step is not a dictionary.");
      std::int32_t index = 0, flags = 0, length = 0;
      vresourceTestGetInteger(step, vname_Flags, &flags);
      vresourceTestGetInteger(step, vname_Length, &length);
      if (!vresourceTestGetInteger(step, vname_Index, &index)) {
        index = static_cast<std::int8_t>(flags & 0xff);
        flags = 0;
      }
      addStep(p, index, flags, length);
    }
    return p;
  }
  vresource arrays[3];
  const vname names[3] = {vname_Index, vname_Flags, vname_Length};
  int present = 0;
  for (int i = 0; i < 3; ++i) {
    if (!vresourceTestGet(resource, names[i], &arrays[i])) continue;
    if (vresourceGetType(arrays[i], nullptr) != vresARRAY) refuse("Spring solution steps are not an array.");
    ++present;
  }
  if (present == 0) return p;
  if (present != 3) refuse("Spring solution step arrays are missing.");
  for (vresource a : arrays)
    if (vresourceGetElementType(a) != vresINTEGER) refuse("Spring solution steps are not integers.");
  std::int32_t n = vresourceCount(arrays[0]);
  if (vresourceCount(arrays[1]) != n || vresourceCount(arrays[2]) != n) refuse("Spring solution step arrays differ in length.");
  for (std::int32_t i = 0; i < n; ++i) addStep(p, vresourceGetAtInteger(arrays[0], i), vresourceGetAtInteger(arrays[1], i), vresourceGetAtInteger(arrays[2], i));
  return p;
}

void assign(vspringSolution* s, const Parsed& p) {
  dropCompiled(s);
  auto n = static_cast<std::int32_t>(p.indices.size());
  reserveSteps(s, std::max(n, 8));
  if (n) {
    std::memcpy(s->indices, p.indices.data(), p.indices.size() * sizeof(std::int16_t));
    std::memcpy(s->lengths, p.lengths.data(), p.lengths.size() * sizeof(std::int16_t));
    std::memcpy(s->stepFlags, p.flags.data(), p.flags.size());
  }
  s->stepCount = n;
  s->itemCount = static_cast<std::int16_t>(p.itemCount);
  s->flags |= vspringREBUILD;
}

void solutionLoadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vname tag = self->tag;
  solutionInit(self);
  self->tag = tag;
  assign(asSolution(self), parse(resource));
}

void solutionStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vspringSolution* s = asSolution(self);
  vresource old;
  if (vresourceTestGet(resource, vname_Steps, &old)) vresourceRemove(resource, vname_Steps);
  vresourceSetInteger(resource, N("Version"), vspringVERSION);
  vresourceSetInteger(resource, vname_ItemCount, s->itemCount);
  vresource index = vresourceCreateArray(resource, vname_Index, vresINTEGER, s->stepCount);
  vresource flags = vresourceCreateArray(resource, vname_Flags, vresINTEGER, s->stepCount);
  vresource length = vresourceCreateArray(resource, vname_Length, vresINTEGER, s->stepCount);
  for (std::int32_t i = 0; i < s->stepCount; ++i) {
    vresourceSetAtInteger(index, i, s->indices[i]);
    vresourceSetAtInteger(flags, i, s->stepFlags[i]);
    vresourceSetAtInteger(length, i, s->lengths[i]);
  }
}

// The arranger's defaults.
void* noObject(void*, int) { return nullptr; }
void applyNothing(void*, void*, const vrect*) {}
void emptyRect(void*, void*, vrect* out) { *out = vrect{0, 0, 0, 0}; }
void zeroSize(void*, void*, std::int32_t* width, std::int32_t* height) { *width = *height = 0; }
void keepSize(void*, void*, std::int32_t*, std::int32_t*) {}
std::int32_t noSpacing(void*, void*, void*, int) { return 0; }

SpringClasses& classes() {
  if (!*vmoduleSlot(classSlot)) {
    auto* c = vclassSpawnOf<vspringSolutionClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vspringSolution"));
    c->instanceSize = sizeof(vspringSolution);
    c->init = solutionInit;
    c->destroy = solutionDestroy;
    c->copy = solutionCopy;
    c->copyInit = solutionCopyInit;
    c->loadInit = solutionLoadInit;
    c->store = solutionStore;
    auto* a = vclassSpawnOf<vspringArrangerClassRec>(vclassGetRoot());
    vclassSetName(a, vscribeLiteral("vspringArranger"));
    a->itemObject = noObject;
    a->applyRect = applyNothing;
    a->rect = emptyRect;
    a->minimumSize = zeroSize;
    a->naturalSize = zeroSize;
    a->constrainSize = keepSize;
    a->spacing = noSpacing;
    *static_cast<SpringClasses*>(vmoduleBindSlot(classSlot, sizeof(SpringClasses))) = {c, a};
  }
  return *static_cast<SpringClasses*>(*classSlot);
}

const vspringSolution* checked(const vspringSolution* s, std::int32_t step) {
  if (!s) _vexGenerate(&vexArgNullClass, vexEnd);
  if (step < 0 || step >= s->stepCount) _vexGenerate(&vexArgRangeClass, vexEnd);
  return s;
}
const vspringSolution* checked(const vspringSolution* s) {
  if (!s) _vexGenerate(&vexArgNullClass, vexEnd);
  return s;
}

}  // namespace

vspringSolutionClassRec* vspringSolutionGetDefaultClass() { return classes().solution; }
vspringArrangerClassRec* vspringGetArrangerClass() { return classes().arranger; }

vspringSolution* vspringSolutionCreate() { return asSolution(vinstanceCreate(vspringSolutionGetDefaultClass())); }

vspringSolution* vspringSolutionLoad(vresource resource) {
  classes();  // a resource naming the class finds it
  vname named;
  if (vresourceTestGetTag(resource, vname_Class, &named)) return static_cast<vspringSolution*>(_vobjectLoadOfClass(resource, vspringSolutionGetDefaultClass()));
  Parsed p = parse(resource);
  vspringSolution* s = vspringSolutionCreate();
  assign(s, p);
  return s;
}

void vspringSolutionClear(vspringSolution* solution) {
  checked(solution);
  solution->flags |= vspringREBUILD;
  solution->itemCount = 0;
  solution->stepCount = 0;
}

void vspringSolutionAppendStep(vspringSolution* solution, int flags, int length, int index) {
  checked(solution);
  if (index < -1 || index > 32766) _vexGenerate(&vexArgRangeClass, vexEnd);
  if (solution->stepCount == solution->capacity) reserveSteps(solution, solution->capacity + 8);
  std::int32_t i = solution->stepCount++;
  solution->indices[i] = static_cast<std::int16_t>(index);
  solution->lengths[i] = static_cast<std::int16_t>(length);
  solution->stepFlags[i] = static_cast<std::uint8_t>(flags);
  if (index + 1 > solution->itemCount) solution->itemCount = static_cast<std::int16_t>(index + 1);
  solution->flags |= vspringREBUILD;
}

std::int32_t vspringSolutionGetStepCount(const vspringSolution* solution) { return checked(solution)->stepCount; }
std::int32_t vspringSolutionGetItemCount(const vspringSolution* solution) { return checked(solution)->itemCount; }
int vspringSolutionGetStepFlags(const vspringSolution* solution, std::int32_t step) {
  return checked(solution, step)->stepFlags[step];
}
int vspringSolutionGetStepLength(const vspringSolution* solution, std::int32_t step) {
  return checked(solution, step)->lengths[step];
}
int vspringSolutionGetStepIndex(const vspringSolution* solution, std::int32_t step) {
  return checked(solution, step)->indices[step];
}

void vspringSolutionKeepCompiled(vspringSolution* solution, int keep) {
  checked(solution);
  if (keep) {
    solution->flags |= vspringKEEP;
  } else {
    solution->flags &= static_cast<std::uint16_t>(~vspringKEEP);
    dropCompiled(solution);
  }
}
