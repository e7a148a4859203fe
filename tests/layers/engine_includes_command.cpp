// Compiled with the engine's include folders only (CTest layers.probe):
// the engine's own header is found, and the command language's, a layer
// above, must not be.
#include "sim/engine/device/current_device.h"
#include "sim/cmd/dispatch.h"
