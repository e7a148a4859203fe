// The spring layout solver. A solution is a list of steps; each step is an
// edge of an item (or of the container, item -1) and the length to the next
// edge of its chain, fixed, computed from the item's natural size or the
// arranger's spacing, or a spring that shares the free space. The solver
// reaches the items only through an arranger class and its context.
//
// - `lists/spring.h`: the spring layout solver. `spring.cpp` holds the solution class (steps grown
//   by 8, accessors, copies, the resource form and its older "Steps" form, checked before anything
//   is changed) and the arranger class, a table of seven named operations spawned from the root
//   class that subclasses (the dialog arranger) override by meaning; `spring_solve.cpp` compiles
//   steps into chains, arranges them and finds the minimum container with linear expressions {c, k,
//   d} in its length. Compiled blocks are rebuilt whenever the step or item count differs from the
//   one they were built for. A chain's last step keeps its length: the step after it belongs to
//   another chain.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/rect.h"

// Step flags.
enum : std::uint8_t {
  vspringREVERSE = 2,    // a computed spacing changes sign
  vspringEND_CHAIN = 8,  // the chain's last edge
  vspringCOMPUTED = 16,  // the length comes from a natural size or a spacing
  vspringSPRING = 32,    // the gap after the edge stretches
  vspringFAR_EDGE = 64,  // right, or top (y grows upward)
  vspringVERTICAL = 128,
};
// Side flags of the spacing operation.
enum : int { vspringSIDE_OTHER_FAR = 1, vspringSIDE_FIRST_FAR = 2, vspringSIDE_VERTICAL = 4 };
// Solution flags.
enum : std::uint16_t {
  vspringKEEP = 0x1,
  vspringNEED_OBJECTS = 0x2,
  vspringNEED_RECTS = 0x4,
  vspringNEED_MIN_SIZES = 0x8,
  vspringNEED_NATURAL_SIZES = 0x10,
  vspringREBUILD = 0x20,
  vspringNEEDS = 0x3e,
};
inline constexpr std::int32_t vspringVERSION = 0x10100;

// (c + k * S) / d, S the container length being found.
struct vspringLinear {
  std::int32_t c, k, d;
};
vspringLinear vspringLinearAdd(vspringLinear a, vspringLinear b);
vspringLinear vspringLinearSubtract(vspringLinear a, vspringLinear b);
vspringLinear vspringLinearDivide(vspringLinear a, std::int32_t n);
vspringLinear vspringLinearAddWhole(vspringLinear a, std::int32_t n);
std::int32_t vspringLinearSolve(vspringLinear a, std::int32_t value);  // the S giving value; 0 when k is 0

struct vspringItem {
  void* object;
  vrect rect;
  std::int32_t lengthX, lengthY;
  std::int32_t minWidth, minHeight;
  std::int32_t naturalWidth, naturalHeight;  // -1 until asked
  vspringLinear x, y, width, height;
};
struct vspringChainEntry {
  std::uint8_t flags;
  std::int16_t length;
  vspringItem* item;
};

struct vspringSolution : vobject {
  std::uint16_t flags;
  std::int16_t itemCount;
  std::int32_t stepCount;
  std::int32_t capacity;
  std::int16_t* indices;
  std::int16_t* lengths;
  std::uint8_t* stepFlags;
  vspringItem* items;  // itemCount + 1, the container last
  vspringChainEntry* chain;
  // The counts the compiled blocks were built for.
  std::int32_t compiledSteps;
  std::int32_t compiledItems;
};

using vspringSolutionClassRec = vobjectClassRec;

// The seven operations the solver asks of whoever owns the items.
struct vspringArrangerClassRec : vclass {
  void* (*itemObject)(void* context, int index);
  void (*applyRect)(void* context, void* object, const vrect* rect);
  void (*rect)(void* context, void* object, vrect* out);
  void (*minimumSize)(void* context, void* object, std::int32_t* width, std::int32_t* height);
  void (*naturalSize)(void* context, void* object, std::int32_t* width, std::int32_t* height);
  void (*constrainSize)(void* context, void* object, std::int32_t* width, std::int32_t* height);
  std::int32_t (*spacing)(void* context, void* object, void* other, int sides);
};

vspringSolutionClassRec* vspringSolutionGetDefaultClass();
vspringArrangerClassRec* vspringGetArrangerClass();

vspringSolution* vspringSolutionCreate();
// Raises Arg with a message for a malformed resource; nothing is made then.
vspringSolution* vspringSolutionLoad(vresource resource);
void vspringSolutionClear(vspringSolution* solution);
void vspringSolutionAppendStep(vspringSolution* solution, int flags, int length, int index);
std::int32_t vspringSolutionGetStepCount(const vspringSolution* solution);
std::int32_t vspringSolutionGetItemCount(const vspringSolution* solution);
int vspringSolutionGetStepFlags(const vspringSolution* solution, std::int32_t step);
int vspringSolutionGetStepLength(const vspringSolution* solution, std::int32_t step);
int vspringSolutionGetStepIndex(const vspringSolution* solution, std::int32_t step);
void vspringSolutionKeepCompiled(vspringSolution* solution, int keep);
void vspringSolutionArrange(const vspringArrangerClassRec* arranger, void* context, vspringSolution* solution,
                            const vrect* container);
void vspringSolutionDetermineMinSize(const vspringArrangerClassRec* arranger, void* context,
                                     vspringSolution* solution, std::int32_t* width, std::int32_t* height);
