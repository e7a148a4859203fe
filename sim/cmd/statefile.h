// The simulator state file (".sim"): every device's records as text
// sections, written by `save s` and read back by `load s`.
#pragma once

// 0 on success, 1 on failure.
int save_state_file(const char* path, int first, int last);
// A file refused anywhere leaves every device as it was.
int load_state_file(const char* path);
