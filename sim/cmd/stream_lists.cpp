// The stream records of each device and the four lists that link them.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "sim/expr/rangemap.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"

namespace {

// Records of one device slot. A reset or released device drops its list
// heads; records no list reaches are let go at the next list operation.
struct slot_pool {
  std::vector<std::unique_ptr<io_stream>> records;
};
std::array<slot_pool, DEVICE_MAX> pools;
std::array<uint32_t, DEVICE_MAX> serials{};

bool listed(const io_stream* s) {
  for (io_stream* head : cur_state->streams)
    for (const io_stream* r = head; r != nullptr; r = r->next)
      if (r == s) return true;
  return false;
}

void close_file(io_stream& s) {
  if (s.file != nullptr) std::fclose(s.file);
  s.file = nullptr;
}

void sweep() {
  auto& records = pools[static_cast<std::size_t>(cur_device)].records;
  std::erase_if(records, [](std::unique_ptr<io_stream>& r) {
    if (listed(r.get())) return false;
    close_file(*r);
    return true;
  });
}

// The watches a stream set up on its item go with it.
void drop_watches(const io_stream& s) {
  if (s.kind == SK_MEMORY || s.kind == SK_MEMORY_LINK) clear_stream_tag(s.serial, s.key2);
  if (s.kind == SK_REGISTER && s.key1 < static_cast<uint32_t>(cur_type->periph_count) &&
      static_cast<int>(s.key2) < cur_type->periphs[s.key1].cls->reg_count)
    periph_attrs(static_cast<int>(s.key1))[s.key2] &= ~s.key3;
}

}  // namespace

io_stream* new_stream() {
  sweep();
  auto& records = pools[static_cast<std::size_t>(cur_device)].records;
  records.push_back(std::make_unique<io_stream>());
  uint32_t& serial = serials[static_cast<std::size_t>(cur_device)];
  if (++serial == 0) ++serial;  // 0 means "no stream" in the memory tags
  records.back()->serial = serial;
  return records.back().get();
}

io_stream* restore_stream(uint32_t serial) {
  io_stream* s = new_stream();
  s->serial = serial;
  // Streams made later must not take a serial the restored tags name.
  uint32_t& counter = serials[static_cast<std::size_t>(cur_device)];
  if (serial > counter) counter = serial;
  return s;
}

void link_stream(int which, io_stream* s) {
  // Steps a peripheral left for later are taken with the streams they saw.
  catch_up_peripherals();
  s->next = cur_state->streams[which];
  cur_state->streams[which] = s;
  cur_state->run_plan_stale = 1;  // the stream's kind decides which engine may run
  peripherals_changed();           // a watched counter, a fed peripheral: their events change
}

io_stream* find_stream(io_stream* list, int kind, uint32_t key1, uint32_t key2) {
  for (io_stream* s = list; s != nullptr; s = s->next)
    if (s->kind == kind && s->key1 == key1 && s->key2 == key2) return s;
  return nullptr;
}

namespace {

// A memory output stream whose address lost its tag with a removed stream
// of the other list tags it again.
void retag_memory_outputs() {
  for (int l : {SL_OUT_UNTIMED, SL_OUT_TIMED})
    for (const io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) {
      if (s->kind != SK_MEMORY) continue;
      int row = find_memory_region(static_cast<int>(s->key1), s->key2);
      if (row < 0) continue;
      if (cur_type->mem->resolve_space != nullptr) {
        const int concrete =
            find_memory_region(cur_type->mem->resolve_space(static_cast<int>(s->key1), s->key2), s->key2);
        if (concrete >= 0) row = concrete;
      }
      const range_map& tags = cur_state->region_logs[static_cast<std::size_t>(row)].maps[MAP_OUT_STREAM];
      if (range_map_get(tags, s->key2 & cur_type->regions[row].addr_mask) == 0)
        tag_region_address(0, row, s->key2, s->serial);
    }
}

}  // namespace

void free_streams(io_stream** list, const char* name, int mode) {
  for (io_stream** at = list; *at != nullptr;) {
    io_stream* s = *at;
    const bool hit = mode == 1 || (mode == 0 && s->item == name) || (mode >= 2 && s->number == mode - 2);
    if (!hit) {
      at = &s->next;
      continue;
    }
    catch_up_peripherals();
    *at = s->next;
    cur_state->run_plan_stale = 1;
    peripherals_changed();
    drop_watches(*s);
    close_file(*s);
  }
  sweep();
  if (list == &cur_state->streams[SL_OUT_UNTIMED] || list == &cur_state->streams[SL_OUT_TIMED]) retag_memory_outputs();
}

int free_stream_number(int first_list) {
  for (int n = 1;; ++n) {
    bool used = false;
    for (int l = first_list; l < first_list + 2; ++l)
      for (const io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next)
        used = used || s->number == n;
    if (!used) return n;
  }
}

void install_streams() {
  install_stream_hooks({streams_service_input, streams_service_output, streams_read_untimed, streams_read_timed,
                        streams_read_port, streams_read_register, streams_read_memory, streams_write_memory,
                        streams_write_register, streams_write_peripheral, streams_write_port,
                        streams_write_output_note, streams_plan, streams_input_due, streams_skip_input,
                        streams_deliver_input, streams_periph_view});
}
