// The stream services the core, the peripherals and the run loop call:
// each costs a list-head test while the device has no streams of its
// direction, and goes to the streams' installed functions otherwise.
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"

namespace {

stream_hooks hooks{};
bool installed = false;

// device_state::streams: untimed and timed inputs, then outputs.
bool any_input() {
  return installed && (cur_state->streams[0] != nullptr || cur_state->streams[1] != nullptr);
}
bool any_output() {
  return installed && (cur_state->streams[2] != nullptr || cur_state->streams[3] != nullptr);
}

}  // namespace

void install_stream_hooks(const stream_hooks& h) {
  hooks = h;
  installed = true;
}

void service_input_streams() {
  if (any_input()) hooks.service_input();
}
void service_output_streams() {
  if (any_output()) hooks.service_output();
}
int plan_streams() {
  return any_input() || any_output() ? hooks.plan() : 0;
}
uint32_t input_service_due() { return any_input() ? hooks.input_due() : NO_EVENT; }
uint32_t deliver_input_services(uint32_t skip) { return any_input() ? hooks.deliver_input(skip) : NO_EVENT; }
void skip_input_services(uint32_t n) {
  if (n != 0 && any_input()) hooks.skip_input(n);
}
int periph_stream_view(int periph) {
  return any_input() || any_output() ? hooks.periph_view(periph) : 0;
}
int read_untimed_input(int periph, stream_value* out) {
  return any_input() ? hooks.read_untimed(periph, out) : 0;
}
int read_timed_input(int periph, stream_value* out) {
  return any_input() ? hooks.read_timed(periph, out) : 0;
}
int read_port_input(int port, uint32_t* out) { return any_input() ? hooks.read_port(port, out) : 0; }
int read_register_input(int periph, int reg, uint32_t* out) {
  return any_input() ? hooks.read_register(periph, reg, out) : 0;
}
int read_memory_input(int space, uint32_t address, uint32_t* out) {
  return any_input() ? hooks.read_memory(space, address, out) : 0;
}
void write_memory_output(int space, uint32_t address, uint32_t flags) {
  if (any_output()) hooks.write_memory(space, address, flags);
}
void write_register_output(int periph, int reg) {
  if (any_output()) hooks.write_register(periph, reg);
}
void write_peripheral_output(int periph, const stream_value& value, int gap) {
  if (any_output()) hooks.write_peripheral(periph, value, gap);
}
void write_stream_value(int port, int32_t value, int gap) {
  if (any_output()) hooks.write_port(port, value, gap);
}
int write_output_note(const char* text) { return any_output() ? hooks.write_output_note(text) : 0; }
