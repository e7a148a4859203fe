// What the routing tables need of the two stores.
#pragma once
#include <string>

#include "fw/data/vresource.h"

void _newresourceFill(vresourceSlotFn* table);
std::string _newresourceStringText(vresource h, vname tag);
std::string _newresourceAtStringText(vresource h, std::int32_t index);
