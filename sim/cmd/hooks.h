// Start-up of the simulator's upward calls: puts the command language's
// breakpoint tests, displays and views into the engine's run hooks and the
// assembler and disassembler into every family record, and the object-file
// loader into the ".lod" reader. The front-end calls
// it once before the first command.
#pragma once

void install_simulator_hooks();

// Labels of the loaded program in expressions (part of the above).
void install_symbol_lookups();
