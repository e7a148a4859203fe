// The host file service's sections of the state file: the request and
// reply, the routines, the target's open files with their offsets, the
// redirections with their positions and the request state.
//
// - Host I/O (`statefile_hostio.cpp`): the request and reply words, the routines (their flag words
//   carry the data space and the bytes per binary word), the target's files with their offsets
//   (reopened without truncation), the redirections with their positions, the text flags under
//   "[FOPEN_MAX]", and under "[state]" the request state followed by the two kept words and a
//   rename's old name. A file that cannot be opened again is reported ("{Error opening:NAME}") and
//   left closed.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "sim/cmd/statefile_internal.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

void report_reopen_failure(const std::string& name) {
  error_report(("{Error opening:" + name + "}").c_str());
}

}  // namespace

void write_host_io(text_out& out, const device_state& st) {
  const host_io_state& h = st.hio;
  out.header("hio enabled");
  out.put("\n%d", st.streams_enabled);
  const hio_buffer* buffers[2] = {&h.request, &h.reply};
  for (int b = 0; b < 2; ++b) {
    out.header(b == 0 ? "send buffer" : "recv buffer");
    out.put("\n%d %lu %lu", buffers[b]->ready, static_cast<unsigned long>(buffers[b]->oversized),
            static_cast<unsigned long>(buffers[b]->words.size()));
    for (uint32_t w : buffers[b]->words) out.put("\n%ld", static_cast<long>(static_cast<int32_t>(w)));
  }
  // The flag words carry the data space and the bytes per binary word.
  out.header("send address recv address");
  out.put("\n%d %lu\n%d %lu", h.data_space, static_cast<unsigned long>(h.send_address), h.hio_word_bytes,
          static_cast<unsigned long>(h.receive_address));
  out.header("afi ufi");
  out.put("\n%d %d", static_cast<int>(h.files.size()), h.hint);
  for (const hio_file& f : h.files) {
    out.put("\n%d %d\n", f.flags, f.mode);
    out.line(f.name);
    out.put("%ld", f.name.empty() ? 0L : hio_file_offset(f));
  }
  out.header("redirect flag, filename, fileposition");
  for (const hio_redirection& r : h.redirect) {
    out.put("\n%d\n", r.file != nullptr ? 1 : 0);
    out.line(r.name);
    out.put("%ld", r.file != nullptr ? std::ftell(r.file) : 0L);
  }
  out.header("FOPEN_MAX");
  out.put("\n%d", HIO_FILE_NUMBERS);
  for (uint8_t t : h.hio_text_mode) out.put("\n%d", static_cast<int>(t));
  // The request state, then the words and the old name a request keeps.
  out.header("state");
  out.put("\n%d %ld %ld\n", h.hio_state, static_cast<long>(h.hio_saved[0]), static_cast<long>(h.hio_saved[1]));
  out.line(h.first_name);
}

void parse_host_io(text_in& in, parsed_host_io& h) {
  in.header();
  h.streams_enabled = in.dec(0, 1);
  for (int b = 0; b < 2; ++b) {
    in.header();
    h.ready[b] = in.dec(0, 1);
    h.oversized[b] = in.dec(0, 1);
    const int n = in.count();
    if (static_cast<uint32_t>(n) > HIO_MAX_WORDS) in.fail();
    for (int i = 0; i < n && in.ok; ++i) h.buffers[b].push_back(static_cast<uint32_t>(in.integer(INT32_MIN, UINT32_MAX)));
  }
  in.header();
  h.data_space = in.dec(0, SPACE_CODE_COUNT - 1);
  h.send_address = static_cast<uint32_t>(in.integer(0, UINT32_MAX));
  h.word_bytes = in.dec(1, 4);
  h.receive_address = static_cast<uint32_t>(in.integer(0, UINT32_MAX));
  in.header();
  const int slots = in.dec(0, HIO_FILE_NUMBERS);
  h.hint = in.dec(0, HIO_FILE_NUMBERS);
  for (int i = 0; i < slots && in.ok; ++i) {
    parsed_hio_file& f = h.files.emplace_back();
    f.flags = in.dec();
    f.mode = in.dec(0, 07777);
    f.name = in.line();
    f.offset = in.integer(0);
  }
  in.header();
  for (int s = 0; s < 3; ++s) {
    const int flag = in.dec(0, 1);
    h.redirect_name[s] = in.line();
    h.redirect_at[s] = in.integer(0);
    if (flag == 0) h.redirect_name[s].clear();
  }
  in.header();
  const int numbers = in.dec(0, HIO_FILE_NUMBERS);
  for (int i = 0; i < numbers && in.ok; ++i) h.text_mode.push_back(static_cast<uint8_t>(in.dec(0, 1)));
  in.header();
  h.state = in.dec(HIO_IDLE, HIO_ACCESS_NAME);
  h.saved[0] = in.integer(INT32_MIN, INT32_MAX);
  h.saved[1] = in.integer(INT32_MIN, INT32_MAX);
  h.first_name = in.line();
}

void apply_host_io(const parsed_host_io& p, device_state& st) {
  host_io_state& h = st.hio;
  h.reset();
  st.streams_enabled = p.streams_enabled;
  hio_buffer* buffers[2] = {&h.request, &h.reply};
  for (int b = 0; b < 2; ++b) {
    buffers[b]->ready = p.ready[b];
    buffers[b]->oversized = p.oversized[b];
    buffers[b]->words = p.buffers[b];
  }
  h.send_address = p.send_address;
  h.receive_address = p.receive_address;
  h.data_space = p.data_space;
  h.hio_word_bytes = p.word_bytes;
  h.files.assign(p.files.size(), hio_file{});
  for (std::size_t i = 0; i < p.files.size(); ++i) {
    const parsed_hio_file& f = p.files[i];
    hio_file& to = h.files[i];
    to.flags = f.flags;
    to.mode = f.mode;
    to.name = f.name;
    if (f.name.empty()) {
      to.handle = i < 3 ? static_cast<int>(i) : -1;
      continue;
    }
    // Truncating again would lose what the target wrote; a FIFO put at the
    // name since would hold the load.
    to.handle = open(f.name.c_str(), (f.flags & ~(O_TRUNC | O_EXCL)) | O_CLOEXEC | O_NONBLOCK, f.mode);
    if (to.handle >= 0 && (f.flags & O_NONBLOCK) == 0 &&
        fcntl(to.handle, F_SETFL, fcntl(to.handle, F_GETFL) & ~O_NONBLOCK) != 0) {
      close(to.handle);
      to.handle = -1;
    }
    if (to.handle >= 0 && lseek(to.handle, f.offset, SEEK_SET) < 0) {
      close(to.handle);
      to.handle = -1;
    }
    if (to.handle < 0) report_reopen_failure(f.name);
  }
  h.hint = p.hint;
  for (int s = 0; s < 3; ++s) {
    const std::string& name = p.redirect_name[s];
    if (name.empty()) continue;
    // A FIFO put at the name since would hold the load.
    std::FILE* file = open_file_nonblocking(name.c_str(), s == 0 ? "r" : "a", true);
    if (file == nullptr) {
      report_reopen_failure(name);
      continue;
    }
    if (s == 0) std::fseek(file, p.redirect_at[s], SEEK_SET);
    h.redirect[static_cast<std::size_t>(s)] = {name, file};
  }
  for (std::size_t i = 0; i < p.text_mode.size() && i < h.hio_text_mode.size(); ++i) h.hio_text_mode[i] = p.text_mode[i];
  h.hio_state = p.state;
  h.hio_saved[0] = static_cast<int32_t>(p.saved[0]);
  h.hio_saved[1] = static_cast<int32_t>(p.saved[1]);
  h.first_name = p.first_name;
  hio_arm(st);
}
