// The menu items' look table: five metrics and thirteen operations, one
// table per look, chosen when the item classes are built.
#pragma once
#include <cstdint>

#include "fw/widgets/menus/menuitem.h"

using vmenuItemLookMeasure = void (*)(vmenuItem* item, vmenuItemMeasure* out);
using vmenuItemLookDraw = void (*)(vmenuItem* item, const vrect* rect, const vmenuTextPosition* text);

struct vmenuItemLook {
  std::int16_t metrics[5];
  vmenuItemLookMeasure measure[5];  // item, separator, toggle, push-pin, sub-menu
  int (*isSelectable)(vmenuItem* item);
  vmenuItemLookDraw drawBody;
  vmenuItemLookDraw drawSeparator;
  vmenuItemLookDraw drawToggleMark;
  vmenuItemLookDraw drawPushPin;
  vmenuItemLookDraw drawArrow;
  vmenuItemLookDraw drawHighlighted;
  vmenuItemLookDraw drawNormal;
};

const vmenuItemLook* vmenuItemLookFor(int lookId);
const vmenuItemLook* vmenuItemGetLook();
// Look-specific slots of the five classes (Open Look's own drawing).
void vmenuItemLookOverride(vmenuItemClassRec* const* classes);
// A disabled item takes its menu's disabled colours.
void vmenuItemLookSetDisabledColors(vmenuItem* item);
// Takes the current look's table again (tests switching looks).
void _vmenuItemChooseLook();
