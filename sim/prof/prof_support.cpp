#include "sim/prof/prof_support.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

void (*prof_note_sink)(const char* text) = nullptr;
uint32_t* prof_error_flags = nullptr;

namespace {

// The message grows with its text: long file names are never cut.
std::string vformat(int level, const char* format, std::va_list args) {
  std::string text = level == PROF_FATAL ? "Error: " : "Warning: ";
  std::va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n > 0) {
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data() + start, static_cast<std::size_t>(n) + 1, format, args);
    text.resize(start + static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace

std::string prof_message_text(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = vformat(level, format, args);
  va_end(args);
  return text;
}

void prof_message(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = vformat(level, format, args);
  va_end(args);
  if (level == PROF_NOTE) {
    if (prof_note_sink != nullptr) prof_note_sink((text + "\r\n").c_str());
    return;
  }
  session_print(text.c_str(), 1);
  screen_flush();
  if (level == PROF_FATAL) {
    session_print("*** MAJOR PROFILING ERROR - SIMULATOR ABORTED ***", 1);
    screen_flush();
    std::exit(-1);
  }
  if (level == PROF_ABANDON) throw prof_abandon{};
}

void* prof_alloc(std::size_t size) {
  void* block = dsp_alloc(size == 0 ? 1 : size, 1);
  if (block == nullptr) {
    if (prof_error_flags != nullptr) *prof_error_flags |= PROF_FLAG_NO_OUTPUT;
    prof_message(PROF_ABANDON, "Insufficient memory");
  }
  return block;
}

void prof_free(void* block) {
  if (block != nullptr) dsp_free(block);
}

// --- Pool ---------------------------------------------------------------------

prof_pool::prof_pool(std::size_t block_size) : block_size_(block_size) {
  add_block(block_size_);
  current_ = first_;
  add_block(block_size_);
}

prof_pool::~prof_pool() { release(); }

prof_pool::block* prof_pool::add_block(std::size_t size) {
  auto* b = static_cast<block*>(prof_alloc(sizeof(block) + size));
  b->next = nullptr;
  b->size = size;
  b->fill = 0;
  if (first_ == nullptr) {
    first_ = b;
  } else {
    block* last = first_;
    while (last->next != nullptr) last = last->next;
    last->next = b;
  }
  ++count_;
  return b;
}

void* prof_pool::allocate(std::size_t size) {
  size = (size + 7) & ~static_cast<std::size_t>(7);
  while (current_ != nullptr && current_->size - current_->fill < size) current_ = current_->next;
  if (current_ == nullptr) current_ = add_block(size > block_size_ ? size : block_size_);
  char* start = reinterpret_cast<char*>(current_ + 1) + current_->fill;
  current_->fill += size;
  std::memset(start, 0, size);
  return start;
}

const char* prof_pool::copy_string(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(allocate(n));
  std::memcpy(copy, text, n);
  return copy;
}

void prof_pool::release() {
  for (block* b = first_; b != nullptr;) {
    block* next = b->next;
    prof_free(b);
    b = next;
  }
  first_ = current_ = nullptr;
  count_ = 0;
}

// --- Files ----------------------------------------------------------------------

std::string prof_replace_extension(const std::string& name, const char* extension) {
  const std::size_t dot = name.rfind('.');
  std::string base = name;
  if (dot != std::string::npos && name.find_first_of("/\\", dot) == std::string::npos)
    base.resize(dot);
  return base + extension;
}

std::FILE* prof_open_file(const char* name, const char* mode, const char* extension, int level,
                          std::time_t* modified) {
  if (name == nullptr || *name == '\0') {
    prof_message(level, "Null file name");
    return nullptr;
  }
  if (std::strlen(name) > PATH_MAX_CHARS) {
    prof_message(level, "Name %s exceeds length limit (%d)", name, static_cast<int>(PATH_MAX_CHARS));
    return nullptr;
  }
  const std::string wanted = extension != nullptr ? prof_replace_extension(name, extension) : name;
  const bool reading = std::strcmp(mode, "rb") == 0 || std::strcmp(mode, "r") == 0;
  const bool updating = std::strncmp(mode, "r+", 2) == 0;
  std::string path = wanted;
  if (reading || updating) {
    std::string found;
    if (find_file_on_path(wanted.c_str(), "", found) != 0) path = found;
  }
  std::FILE* file = open_file_nonblocking(path.c_str(), mode, false);
  if (file == nullptr) {
    prof_message(level, "Failed to open file %s", wanted.c_str());
    return nullptr;
  }
  if (updating && std::fseek(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    prof_message(PROF_ABANDON, "Failed to open file %s", wanted.c_str());
  }
  if (reading && modified != nullptr) {
    struct stat info {};
    *modified = fstat(fileno(file), &info) == 0 ? info.st_mtime : 0;
  }
  return file;
}

void swap_words32(void* buffer, std::size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::size_t i = 0; i + 4 <= length; i += 4) {
    std::swap(bytes[i], bytes[i + 3]);
    std::swap(bytes[i + 1], bytes[i + 2]);
  }
}

void prof_read_block(void* buffer, std::size_t item_size, std::size_t count, std::FILE* file,
                     const char* name, bool swap) {
  if (std::fread(buffer, item_size, count, file) != count)
    prof_message(PROF_ABANDON, "Failed to read from file %s", name);
  if (swap) swap_words32(buffer, item_size * count);
}

int prof_word_test(const char** cursor, const char* word) {
  const char* p = *cursor;
  while (*p == ' ' || *p == '\t') ++p;
  const std::size_t n = std::strlen(word);
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '\0') return 0;
    if (std::tolower(static_cast<unsigned char>(p[i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return 0;
  }
  *cursor = p + n;
  return 1;
}
