// The framework's resources read by name: the application's resource file
// first, then the framework's own file.
#pragma once
#include "fw/core/name.h"
#include "fw/core/resource.h"

// 1 with the resource in *out when either holds the name, else 0.
int vapplicationFindNamedResource(vname name, vresource* out);
