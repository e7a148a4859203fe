// The debug information of a device: read from a file into a record of its
// own, which replaces the device's only when the read succeeded.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "sim/cdb/coff.h"
#include "sim/cdb/coff_bytes.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sysio/open_nonblocking.h"

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Byte offsets of the line starts of a source file found along the path.
void index_source_file(const std::string& name, std::vector<uint32_t>& starts) {
  std::string path;
  if (name.empty() || !find_file_on_path(name.c_str(), "", path)) return;
  coff_bytes text;
  if (!text.load(path.c_str())) return;
  const auto count = static_cast<std::size_t>(1 + std::count(text.data.begin(), text.data.end(), '\n'));
  starts.assign(count, 0);
  std::size_t k = 2;
  for (std::size_t b = 0; b < text.data.size() && k < count; ++b) {
    if (text.data[b] == '\n') starts[k++] = static_cast<uint32_t>(b + 1);
  }
}

}  // namespace

// Never waits on a FIFO or a device: only regular files are read.
bool coff_bytes::load(const char* path) {
  data.clear();
  const std::unique_ptr<std::FILE, file_closer> file(open_file_nonblocking(path, "rb", false));
  if (!file) return false;
  uint8_t buffer[8192];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    data.insert(data.end(), buffer, buffer + n);
    if (n < sizeof buffer) return std::ferror(file.get()) == 0;
  }
}

int read_coff_debug_info(const char* path, int family_code, coff_debug_info& out) {
  out = coff_debug_info{};
  coff_bytes f;
  if (path == nullptr || !f.load(path)) {
    set_coff_error(std::string("cannot open input file : ") + (path != nullptr ? path : ""));
    return -1;
  }
  out.coff_path = path;
  if (parse_coff_debug_info(f, family_code, out, index_source_file) != 0) {
    out = coff_debug_info{};
    return -1;
  }
  return 0;
}
int read_coff_file(int device, const char* path) {
  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr) {
    set_coff_error("no such device");
    return -1;
  }
  const int type = device_insts[device]->type;
  auto info = std::make_shared<coff_debug_info>();
  if (read_coff_debug_info(path, device_types[type]->family_code, *info) != 0) return -1;
  install_debug_info(device, std::move(info));
  return 0;
}

void install_debug_info(int device, std::shared_ptr<coff_debug_info> info) {
  if (device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return;
  // The host file service's routines, when the program has symbols; the
  // memory model says which space holds the C data.
  if (info != nullptr && info->has_symbols())
    hio_set_routines(*device_states[device], info->send_address, info->receive_address,
                     info->memory_model == 1 ? SPACE_X : 2);
  device_states[device]->debug = std::move(info);
  const device_inst* inst = device_insts[device];
  const family_desc* family = device == cur_device ? cur_family : inst != nullptr ? family_descs[inst->type] : nullptr;
  const auto* hooks = family != nullptr ? static_cast<const frame_hook_table*>(family->frame_hooks) : nullptr;
  if (hooks != nullptr && hooks->after_read != nullptr) hooks->after_read();
}

coff_debug_info* current_debug_info() {
  if (cur_state == nullptr || !cur_state->debug || cur_state->debug->section_count == 0) return nullptr;
  return cur_state->debug.get();
}

void coff_free_debug_info() {
  if (cur_state != nullptr) cur_state->debug.reset();
}

int memory_model() {
  const coff_debug_info* info = current_debug_info();
  if (info != nullptr) return info->memory_model;
  return cur_type != nullptr ? model_for_code(0, cur_type->family_code) : 1;
}

