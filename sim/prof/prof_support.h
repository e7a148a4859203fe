// The profiler's support routines: the block pool of its tables, messages
// with their levels and the recovery point, checked allocation, files
// along the search path, block reads of big-endian files, word tokens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// Message levels: fatal, abandon the current profiler operation, warning
// to the session, note into the report.
enum prof_level : int { PROF_FATAL = 0, PROF_ABANDON = 1, PROF_WARNING = 2, PROF_NOTE = 3 };

// Thrown by a level-1 message and by a failed checked allocation; every
// profiler entry point catches it (its recovery point) and returns its
// failure value.
struct prof_abandon {};

// Where level-3 notes go: the report writer sets it while a report is
// open; the note is dropped when it is null.
extern void (*prof_note_sink)(const char* text);
// The error flag of the current tables (bit 16), set by a failed checked
// allocation; null when no tables are current.
extern uint32_t* prof_error_flags;
constexpr uint32_t PROF_FLAG_COFF_UNREADABLE = 1;
constexpr uint32_t PROF_FLAG_NO_OUTPUT = 16;
// A word of program memory the family could not decode ran.
constexpr uint32_t PROF_FLAG_UNDECODED = 8;

// "Error: " (level 0) or "Warning: " and the formatted text. Level 0 ends
// the program; level 1 throws prof_abandon; levels 2 and 3 return.
void prof_message(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The text prof_message would show, for the tests.
std::string prof_message_text(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// A zeroed block from the simulator's allocator; on failure sets the error
// flag and throws prof_abandon.
void* prof_alloc(std::size_t size);
void prof_free(void* block);

// Blocks that hold the tables' names and nodes for their lifetime, all
// released together.
class prof_pool {
 public:
  explicit prof_pool(std::size_t block_size);
  ~prof_pool();
  prof_pool(const prof_pool&) = delete;
  prof_pool& operator=(const prof_pool&) = delete;
  // Zeroed room for size bytes, 8-byte aligned.
  void* allocate(std::size_t size);
  template <class T>
  T* make() {
    static_assert(alignof(T) <= 8);
    return new (allocate(sizeof(T))) T();
  }
  // A pooled copy; null for null.
  const char* copy_string(const char* text);
  std::size_t block_count() const { return count_; }
  void release();

 private:
  struct block {
    block* next;
    std::size_t size;
    std::size_t fill;
  };
  block* add_block(std::size_t size);
  std::size_t block_size_;
  std::size_t count_ = 0;
  block* first_ = nullptr;
  block* current_ = nullptr;
};

// The name with its extension replaced: the text from its last "." is
// dropped (unless a "/" or "\\" follows it) and `extension` appended.
std::string prof_replace_extension(const std::string& name, const char* extension);

// Opens a file: "rb"/"r" read along the search path, "r+" updates (at the
// end), anything else writes. Failure: "Failed to open file %s" at the
// given level and null. Reading records the modification time.
std::FILE* prof_open_file(const char* name, const char* mode, const char* extension, int level,
                          std::time_t* modified = nullptr);

// Reads count items; a short read is the level-1 "Failed to read from
// file %s". With swap, each 4-byte group is reversed.
void prof_read_block(void* buffer, std::size_t item_size, std::size_t count, std::FILE* file,
                     const char* name, bool swap);
void swap_words32(void* buffer, std::size_t length);

// 1 and the cursor past the word when the text at the cursor, after
// blanks and tabs, starts with the word (letters without regard to case).
int prof_word_test(const char** cursor, const char* word);
