// Calls into the target from C expressions: installs the function that
// sets a call up on the device through the program's "dummy_call".
#pragma once

void install_target_calls();
