// The PostScript print classes: grey (vprintPS) and colour (vprintColorPS)
// documents written through a byte-stream job.
#pragma once
#include "fw/gui/print/print.h"

vprintClassRec* vprintPSGetDefaultClass();
vprintClassRec* vprintColorPSGetDefaultClass();
