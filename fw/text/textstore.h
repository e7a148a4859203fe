// The text class's store and load-init: modes, characters, styles, style
// runs and the current style under the stored text's keys.
#pragma once
#include "fw/text/text.h"

void _vtextStore(vobject* self, vresource resource);
void _vtextLoadInit(vobject* self, vresource resource);
// The styles, current style and runs of from, as owned copies in to
// (whose characters are from's already).
void _vtextCopyStyles(vtext* from, vtext* to);
