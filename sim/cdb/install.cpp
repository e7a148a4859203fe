#include "sim/cdb/coff.h"
#include "sim/engine/device/regaccess.h"

void install_object_file_hooks() { set_coff_loader(coff_load_memory); }
