#include "fw/core/attributed.h"
#include "fw/core/class.h"
#include "fw/gui/window/classops.h"

int vcomboCompareEntries(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
    if (*x == 0) return 0;
  }
}

void vcomboSortEntries(vobject* combo) {
  const vwindowHooks& h = vwindowGetHooks();
  if (!h.comboHasEntries(combo)) return;
  vobject* current = h.comboGetValue(combo);
  // A combo with no value has nothing to show again after the sort.
  vobject* copy = current != nullptr ? vobjectClone(current) : nullptr;
  h.comboSelect(combo, -1);
  h.comboSortEntries(combo, 1, 0, vcomboCompareEntries);
  if (copy != nullptr) {
    h.comboSetValue(combo, copy);
    vinstanceDestroy(copy);
  }
  vobjectSendOperand(combo, vnameInternLiteral("Content"));
}

std::intptr_t vcomboForwardOperation(vinstance* combo) { return vwindowGetHooks().comboVariantOperation(combo); }
