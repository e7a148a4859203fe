// The host file service: the request state machine over the words the
// target sends, and the file operations behind it on host descriptors.
#include "sim/engine/periph/hostio.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

enum : int { REQ_OPEN, REQ_CLOSE, REQ_READ, REQ_WRITE, REQ_SEEK, REQ_REMOVE, REQ_RENAME, REQ_ACCESS };

// Host errors in the target's numbering; no error is 0.
int target_error(int host) {
  switch (host) {
    case 0: return 0;
    case EDOM: return 1;
    case ERANGE: return 2;
    case ENOMEM: return 3;
    case ENOENT: return 6;
    case EACCES: return 7;
    case EBADF: return 8;
    case EINVAL: return 9;
    case ESPIPE: return 10;
    default: return -1;
  }
}

int host_open_flags(uint32_t target) {
  int flags = (target & 2) != 0 ? O_RDWR : (target & 1) != 0 ? O_WRONLY : O_RDONLY;
  if ((target & 4) != 0) flags |= O_APPEND;
  if ((target & 8) != 0) flags |= O_CREAT;
  if ((target & 16) != 0) flags |= O_TRUNC;
  return flags;
}

int host_access_mode(uint32_t target) {
  if ((target & 8) != 0) return R_OK;
  if ((target & 4) != 0) return W_OK;
  if ((target & 2) != 0) return R_OK | W_OK;
  return F_OK;
}

int32_t signed16(uint32_t w) { return static_cast<int16_t>(static_cast<uint16_t>(w)); }

host_io_state& hio() { return cur_state->hio; }

hio_file* file_at(int number) {
  std::vector<hio_file>& files = hio().files;
  if (number < 0 || static_cast<std::size_t>(number) >= files.size()) return nullptr;
  return &files[static_cast<std::size_t>(number)];
}

// The target's names, relative ones in the device's working directory.
std::string host_path(const std::string& name) {
  std::string path;
  if (!make_file_path(cur_inst->work_dir.c_str(), name.c_str(), nullptr, path)) return name;
  return path;
}

std::string name_of(const std::vector<uint32_t>& words) {
  std::string name;
  for (uint32_t w : words) {
    const char c = static_cast<char>(w & 0xFF);
    if (c == '\0') break;
    name += c;
  }
  return name;
}

void reply(std::initializer_list<int32_t> words) {
  hio_buffer& r = hio().reply;
  r.words.clear();
  for (int32_t w : words) r.words.push_back(static_cast<uint32_t>(w));
  r.ready = 1;
}

// Target output with no redirection goes to the device's session, line by
// line, so nothing is reported written that nobody sees.
void to_session(const uint8_t* bytes, long n) {
  std::string line;
  for (long i = 0; i < n; ++i) {
    const char c = static_cast<char>(bytes[i]);
    if (c == '\n') {
      session_echo(line.c_str(), 1);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) session_echo(line.c_str(), 1);
}

// How long a wait on another program polls before it asks the stop
// check again when the front-end gives no pace of its own: its Ctrl-C
// interrupts the poll, and this covers one that comes just before it.
constexpr int PEER_SLICE_MS = 100;

// Whether calls on `fd` can wait on another program: a FIFO, a terminal
// or a socket, then made non-blocking so that the wait is the service's
// own. A regular file (or a device that never waits) is left as it is.
bool waits_on_peer(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode)))
    return false;
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && ((flags & O_NONBLOCK) != 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0);
}

bool waits(int fd, int& known) {
  if (known < 0) known = waits_on_peer(fd) ? 1 : 0;
  return known != 0;
}

// Until `fd` may take the call again or a stop is asked for: false, errno
// EINTR, on the stop.
bool wait_for_peer(int fd, short events) {
  const int slice = stop_poll_ms() > 0 ? stop_poll_ms() : PEER_SLICE_MS;
  for (;;) {
    if (stop_pending()) {
      errno = EINTR;
      return false;
    }
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, slice);
    // Ready, hung up or failed: the call itself says which.
    if (n > 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return true;
  }
}

bool would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// What the peer has, as a blocking read gives it.
long read_waiting(int fd, uint8_t* buffer, long bytes) {
  for (;;) {
    const ssize_t n = read(fd, buffer, static_cast<std::size_t>(bytes));
    if (n >= 0 || !would_block(errno)) return static_cast<long>(n);
    if (!wait_for_peer(fd, POLLIN)) return -1;
  }
}

// The whole count, as fread gives it, unless the end or a stop comes.
long read_all_waiting(int fd, uint8_t* buffer, long bytes) {
  long got = 0;
  while (got < bytes) {
    const long n = read_waiting(fd, buffer + got, bytes - got);
    if (n < 0) return got > 0 ? got : -1;
    if (n == 0) break;
    got += n;
  }
  return got;
}

// The whole count, as a blocking write moves it; what went before a stop
// or a failure.
long write_waiting(int fd, const uint8_t* buffer, long bytes) {
  long sent = 0;
  while (sent < bytes) {
    const ssize_t n = write(fd, buffer + sent, static_cast<std::size_t>(bytes - sent));
    if (n > 0) {
      sent += n;
      continue;
    }
    if ((n < 0 && !would_block(errno)) || !wait_for_peer(fd, POLLOUT)) return sent > 0 ? sent : -1;
  }
  return sent;
}

// A host error for a failed step, or 0.
int error_after(long result) { return result < 0 ? target_error(errno) : 0; }

void serve_read(int number, uint32_t count) {
  host_io_state& h = hio();
  const bool text = h.hio_text_mode[static_cast<std::size_t>(number)] != 0;
  h.reply.words.clear();
  h.reply.ready = 1;
  h.hio_state = HIO_READ_PENDING;
  if (count > HIO_MAX_WORDS) {
    h.hio_saved[0] = -1;
    h.hio_saved[1] = target_error(ENOMEM);
    return;
  }
  const long bytes = static_cast<long>(count) * (text ? 1 : h.hio_word_bytes);
  std::vector<uint8_t> data(static_cast<std::size_t>(bytes));
  errno = 0;
  long got = hio_read(number, data.data(), bytes);
  h.hio_saved[1] = error_after(got);
  if (got < 0) {
    h.hio_saved[0] = -1;
    return;
  }
  if (text) {
    for (long i = 0; i < got; ++i) h.reply.words.push_back(data[static_cast<std::size_t>(i)]);
  } else {
    got /= h.hio_word_bytes;
    for (long i = 0; i < got; ++i) {
      uint32_t w = 0;
      for (int b = 0; b < h.hio_word_bytes; ++b) w = (w << 8) | data[static_cast<std::size_t>(i * h.hio_word_bytes + b)];
      h.reply.words.push_back(w);
    }
  }
  h.hio_saved[0] = static_cast<int32_t>(got);
}

void serve_write(const std::vector<uint32_t>& words) {
  host_io_state& h = hio();
  const int number = h.hio_saved[0];
  const bool text = number >= 0 && number < HIO_FILE_NUMBERS && h.hio_text_mode[static_cast<std::size_t>(number)] != 0;
  const int per_word = text ? 1 : h.hio_word_bytes;
  std::vector<uint8_t> data;
  data.reserve(words.size() * static_cast<std::size_t>(per_word));
  for (uint32_t w : words)
    for (int b = per_word - 1; b >= 0; --b) data.push_back(static_cast<uint8_t>(w >> (8 * b)));
  errno = 0;
  long n = hio_write(number, data.data(), static_cast<long>(data.size()));
  const int error = error_after(n);
  if (n > 0) n /= per_word;
  reply({static_cast<int32_t>(n), error});
}

void serve_seek(int number, uint32_t offset_word, uint32_t whence_word) {
  host_io_state& h = hio();
  const bool text = h.hio_text_mode[static_cast<std::size_t>(number)] != 0;
  long offset = signed16(offset_word);
  if (!text) offset *= h.hio_word_bytes;
  const int whence = (whence_word & 1) != 0 ? SEEK_CUR : (whence_word & 2) != 0 ? SEEK_END : SEEK_SET;
  errno = 0;
  long at = hio_seek(number, offset, whence);
  const int error = error_after(at);
  if (at > 0 && !text) at /= h.hio_word_bytes;
  reply({static_cast<int32_t>(at), error});
}

// A request whose header asked for a name or data: the words that follow.
void serve_follow_up(const std::vector<uint32_t>& words) {
  host_io_state& h = hio();
  errno = 0;
  int result = 0;
  switch (h.hio_state) {
    case HIO_OPEN_NAME: {
      const uint32_t target_flags = static_cast<uint32_t>(h.hio_saved[0]);
      result = hio_open(host_path(name_of(words)), host_open_flags(target_flags), 0666);
      if (result >= 0 && result < HIO_FILE_NUMBERS)
        h.hio_text_mode[static_cast<std::size_t>(result)] = (target_flags & 32) != 0 ? 0 : 1;
      break;
    }
    case HIO_WRITE_DATA: serve_write(words); h.hio_state = HIO_IDLE; return;
    case HIO_REMOVE_NAME: result = std::remove(host_path(name_of(words)).c_str()); break;
    case HIO_RENAME_OLD:
      h.first_name = name_of(words);
      h.hio_state = HIO_RENAME_NEW;
      return;
    case HIO_RENAME_NEW:
      result = std::rename(host_path(h.first_name).c_str(), host_path(name_of(words)).c_str());
      h.first_name.clear();
      break;
    case HIO_ACCESS_NAME:
      result = access(host_path(name_of(words)).c_str(), host_access_mode(static_cast<uint32_t>(h.hio_saved[0])));
      break;
    default: return;
  }
  reply({result, error_after(result)});
  h.hio_state = HIO_IDLE;
}

void serve_header(const std::vector<uint32_t>& w) {
  host_io_state& h = hio();
  auto word = [&](std::size_t i) { return i < w.size() ? w[i] : 0u; };
  const uint32_t code = word(0);
  switch (code) {
    case REQ_OPEN:
      h.hio_saved[0] = static_cast<int32_t>(word(1));
      h.hio_state = HIO_OPEN_NAME;
      break;
    case REQ_CLOSE: {
      errno = 0;
      const int result = hio_close(static_cast<int>(word(1)));
      reply({result, error_after(result)});
      break;
    }
    case REQ_READ:
      if (word(1) < HIO_FILE_NUMBERS) serve_read(static_cast<int>(word(1)), word(2));
      break;
    case REQ_WRITE:
      h.hio_saved[0] = static_cast<int32_t>(word(1));
      h.hio_saved[1] = static_cast<int32_t>(word(2));
      h.hio_state = HIO_WRITE_DATA;
      break;
    case REQ_SEEK:
      if (word(1) < HIO_FILE_NUMBERS) serve_seek(static_cast<int>(word(1)), word(2), word(3));
      break;
    case REQ_REMOVE: h.hio_state = HIO_REMOVE_NAME; break;
    case REQ_RENAME: h.hio_state = HIO_RENAME_OLD; break;
    case REQ_ACCESS:
      h.hio_saved[0] = static_cast<int32_t>(word(1));
      h.hio_state = HIO_ACCESS_NAME;
      break;
    default: break;  // codes 8 and above are not requests
  }
}

// Moves the request on after a __send (a ready request) or a __receive
// (the reply taken).
void hio_request() {
  host_io_state& h = hio();
  if (h.hio_state == HIO_READ_PENDING) {
    if (h.reply.ready == 0) {
      reply({h.hio_saved[0], h.hio_saved[1]});
      h.hio_state = HIO_IDLE;
    }
    return;
  }
  if (h.request.ready == 0) return;
  h.request.ready = 0;
  if (h.request.oversized != 0) {
    h.request.oversized = 0;
    h.first_name.clear();
    reply({-1, target_error(ENOMEM)});
    h.hio_state = HIO_IDLE;
    return;
  }
  if (h.hio_state == HIO_IDLE) {
    serve_header(h.request.words);
  } else {
    serve_follow_up(h.request.words);
  }
}

// The routines' two arguments below the C stack pointer r2.
bool argument(uint32_t depth, uint32_t& out) {
  int row = 0, reg = 0;
  uint32_t r2 = 0;
  if (lookup_register(cur_device, "r2", &row, &reg) == 0 || read_register(cur_device, row, reg, &r2) == 0) {
    error_report("Error reading register");
    return false;
  }
  if (mem_read_word(hio().data_space, (r2 - depth) & 0xFFFF, &out) == 0) {
    error_report("Error reading memory");
    return false;
  }
  return true;
}

int serve_send() {
  host_io_state& h = hio();
  uint32_t address = 0, count = 0;
  if (!argument(1, address) || !argument(2, count)) return -1;
  // A request that runs past the end of the target's memory is none.
  if (count > HIO_MAX_WORDS || (address & 0xFFFF) + count > HIO_MAX_WORDS) {
    h.request.words.clear();
    h.request.oversized = 1;
  } else {
    std::vector<uint32_t> words(count);
    for (uint32_t i = 0; i < count; ++i)
      if (mem_read_word(h.data_space, (address + i) & 0xFFFF, &words[i]) == 0) {
        error_report("Error reading memory");
        return -1;
      }
    h.request.words = std::move(words);
  }
  h.request.ready = 1;
  hio_request();
  return 1;
}

int serve_receive() {
  host_io_state& h = hio();
  uint32_t address = 0;
  if (!argument(1, address)) return -1;
  for (std::size_t i = 0; i < h.reply.words.size(); ++i)
    if (mem_write_word(h.data_space, (address + static_cast<uint32_t>(i)) & 0xFFFF, &h.reply.words[i]) == 0) {
      error_report("Error reading memory");
      return -1;
    }
  h.reply.ready = 0;
  hio_request();
  return 1;
}

}  // namespace

void host_io_state::close_all() {
  for (hio_file& f : files)
    if (f.handle > 2) close(f.handle);
  files.clear();
  for (hio_redirection& r : redirect) {
    if (r.file != nullptr) std::fclose(r.file);
    r = {};
  }
}

void host_io_state::reset() {
  close_all();
  files.resize(3);
  for (int i = 0; i < 3; ++i) files[static_cast<std::size_t>(i)].handle = i;
  hint = 3;
  hio_text_mode.fill(0);
  hio_text_mode[0] = hio_text_mode[1] = hio_text_mode[2] = 1;
  hio_state = HIO_IDLE;
  hio_saved[0] = hio_saved[1] = 0;
  first_name.clear();
  request = {};
  reply = {};
}

void hio_arm(device_state& st) {
  host_io_state& h = st.hio;
  const bool on = st.streams_enabled != 0;
  h.watch[0] = on && h.send_address != 0 ? h.send_address : HIO_NO_WATCH;
  h.watch[1] = on && h.receive_address != 0 ? h.receive_address : HIO_NO_WATCH;
}

void hio_set_routines(device_state& st, uint32_t send, uint32_t receive, int data_space) {
  st.hio.send_address = send;
  st.hio.receive_address = receive;
  st.hio.data_space = data_space;
  if (send == 0 || receive == 0) st.streams_enabled = 0;
  hio_arm(st);
}

int hio_service() {
  const uint32_t pc = cur_inst->pc;
  const host_io_state& h = hio();
  if (h.send_address != 0 && pc == h.send_address) return serve_send();
  if (h.receive_address != 0 && pc == h.receive_address) return serve_receive();
  return 0;
}

int hio_open(const std::string& name, int host_flags, int mode) {
  host_io_state& h = hio();
  std::size_t slot = static_cast<std::size_t>(h.hint);
  while (slot < h.files.size() && h.files[slot].handle >= 0) ++slot;
  // Text flags exist for the first 20 numbers only: no file beyond them.
  if (slot >= HIO_FILE_NUMBERS) {
    errno = ENOMEM;
    return -1;
  }
  // A FIFO with no peer would hold the whole simulator in the kernel past
  // any Ctrl-C: the target is refused it as a missing file is.
  const int fd = open_fd_nonblocking(name.c_str(), host_flags, mode, true);
  if (fd < 0) return -1;
  if (slot >= h.files.size()) h.files.resize(slot + 1);
  h.files[slot] = {fd, name, host_flags, mode};
  h.hint = static_cast<int>(slot) + 1;
  return static_cast<int>(slot);
}

int hio_close(int number) {
  host_io_state& h = hio();
  hio_file* f = number >= 3 ? file_at(number) : nullptr;
  if (f == nullptr || f->handle < 0) {
    errno = EBADF;
    return -1;
  }
  const int fd = f->handle;
  *f = {};
  if (number < h.hint) h.hint = number;
  return close(fd) == 0 ? 0 : -1;
}

long hio_read(int number, uint8_t* buffer, long bytes) {
  hio_file* f = file_at(number);
  if (f == nullptr || f->handle < 0) {
    errno = EBADF;
    return -1;
  }
  if (f->handle == 0) {
    // Nothing typed reaches the target: without a redirection its
    // standard input is at its end.
    hio_redirection& r = hio().redirect[0];
    if (r.file == nullptr) return 0;
    // Never read through the stream's buffer, so that it stays empty.
    if (waits(fileno(r.file), r.waits)) return read_all_waiting(fileno(r.file), buffer, bytes);
    return static_cast<long>(std::fread(buffer, 1, static_cast<std::size_t>(bytes), r.file));
  }
  if (f->handle <= 2) {
    errno = EBADF;
    return -1;
  }
  if (waits(f->handle, f->waits)) return read_waiting(f->handle, buffer, bytes);
  return static_cast<long>(read(f->handle, buffer, static_cast<std::size_t>(bytes)));
}

long hio_write(int number, const uint8_t* buffer, long bytes) {
  hio_file* f = file_at(number);
  if (f == nullptr || f->handle < 0 || f->handle == 0) {
    errno = EBADF;
    return -1;
  }
  if (f->handle <= 2) {
    hio_redirection& r = hio().redirect[static_cast<std::size_t>(f->handle)];
    std::FILE* out = r.file;
    if (out == nullptr) {
      to_session(buffer, bytes);
      return bytes;
    }
    // Every write below is flushed: the stream's buffer is empty.
    if (waits(fileno(out), r.waits)) return write_waiting(fileno(out), buffer, bytes);
    const std::size_t n = std::fwrite(buffer, 1, static_cast<std::size_t>(bytes), out);
    if (std::fflush(out) != 0 || n == 0) return bytes == 0 ? 0 : -1;
    return static_cast<long>(n);
  }
  if (waits(f->handle, f->waits)) return write_waiting(f->handle, buffer, bytes);
  return static_cast<long>(write(f->handle, buffer, static_cast<std::size_t>(bytes)));
}

long hio_seek(int number, long offset, int whence) {
  const hio_file* f = file_at(number);
  if (f == nullptr || f->handle < 0) {
    errno = EBADF;
    return -1;
  }
  if (f->handle <= 2) {
    // The standard streams move only within a redirection's file.
    std::FILE* file = hio().redirect[static_cast<std::size_t>(f->handle)].file;
    if (file == nullptr) {
      errno = ESPIPE;
      return -1;
    }
    if (std::fseek(file, offset, whence) != 0) return -1;
    return std::ftell(file);
  }
  return static_cast<long>(lseek(f->handle, offset, whence));
}

long hio_file_offset(const hio_file& f) {
  return f.handle > 2 ? static_cast<long>(lseek(f.handle, 0, SEEK_CUR)) : 0;
}
