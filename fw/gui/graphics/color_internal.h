// The colour module's state, shared by its description and colour files.
#pragma once
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/color.h"

namespace vcolorint {

struct State {
  bool started = false;
  vpool* descs = nullptr;
  vpool* colors = nullptr;
  vpool* records = nullptr;
  std::vector<vcolorSpecRecord*> recordTable;  // the three default records first
  vcolorSpecRecord* scratchRecord = nullptr;   // always one spare record
  vcolorSpec scratch[3] = {};                  // one per model, by code
  vcolor* black = nullptr;
  vcolor* white = nullptr;
  std::vector<vcolor*> table;  // sorted by red, green, blue, record
};
extern State state;

inline void ensure() {
  if (!state.started) vcolorStartup();
}
// The model of a code 0-2, or null.
const vcolorModel* modelOf(int code);
// Raises Arg when model is not one of the three.
void requireModel(const vcolorModel* model);
vcolorSpecRecord* defaultRecord(const vcolorModel* model);
// The interned record equal to candidate.
vcolorSpecRecord* internRecord(const vcolorSpecRecord& candidate);
void startDescriptions();   // pools, records, scratch descriptions
void finishDescriptions();  // the reverse

}  // namespace vcolorint
