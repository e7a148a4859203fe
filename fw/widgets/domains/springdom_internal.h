// What the spring domain's files share.
#pragma once
#include "fw/widgets/domains/springdom.h"

vname _vspringdomConnectionsTag();
void _vspringdomInstallResource(vspringdomClassRec* c);
void _vspringdomMoveContainer(vspringdom* d, std::int32_t dx, std::int32_t dy, std::int32_t dw, std::int32_t dh);
