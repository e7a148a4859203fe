// Sparse external spaces: a ring of 256-word pages per row, each one
// repeated value, a block of words, or a block written out to the device's
// paging file when the allocator runs short.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstring>
#include <memory>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr uint32_t PAGE_MASK = ~(PAGE_WORDS - 1);
constexpr uint32_t LAST_PAGE_START = 0x10000 - PAGE_WORDS;
constexpr uint32_t WORD_MASK = 0xFFFF;
constexpr long MAX_PAGES = 0x10000 / PAGE_WORDS;

const device_type* type_of(const device_inst* inst) { return device_types[inst->type]; }

bool is_sparse_row(const device_inst* inst, int row) {
  const device_type* type = type_of(inst);
  return row >= 0 && row < type->region_count && (type->regions[row].flags & REGION_SPARSE) &&
         static_cast<std::size_t>(row) < inst->regions.size();
}

mem_page* new_page(uint32_t start, uint32_t value) {
  void* raw = dsp_alloc(sizeof(mem_page), 1);
  if (!raw) return nullptr;
  mem_page* page = std::construct_at(static_cast<mem_page*>(raw));
  page->next = page->prev = page;
  page->start = start;
  page->kind = PAGE_UNIFORM;
  page->value = value;
  return page;
}

uint32_t* new_block(uint32_t fill) {
  auto* block = static_cast<uint32_t*>(dsp_alloc(PAGE_BYTES, 0));
  if (block) std::fill_n(block, PAGE_WORDS, fill);
  return block;
}

void insert_after(mem_page* at, mem_page* page) {
  page->prev = at;
  page->next = at->next;
  at->next->prev = page;
  at->next = page;
}

// Drops what the page holds: its block, or its slot in the paging file.
void empty_page(mem_page* page, paging_file* paging) {
  if (page->kind == PAGE_DATA) dsp_free(page->block);
  if (page->kind == PAGE_ON_DISK && paging && paging->file) paging->free_slots.push_back(page->file_offset);
  page->block = nullptr;
  page->kind = PAGE_UNIFORM;
  page->value = 0;
}

void reset_row(region_pages& rec, paging_file* paging) {
  mem_page* keep = rec.cursor;
  if (!keep) return;
  for (mem_page* p = keep->next; p != keep;) {
    mem_page* next = p->next;
    empty_page(p, paging);
    dsp_free(p);
    p = next;
  }
  empty_page(keep, paging);
  keep->start = 0;
  keep->next = keep->prev = keep;
  rec.cursor = rec.prev_cursor = keep;
}

void free_row(region_pages& rec) {
  reset_row(rec, nullptr);
  if (rec.cursor) dsp_free(rec.cursor);
  rec.cursor = rec.prev_cursor = nullptr;
}

// The file only ever holds this run's pages: it goes when it closes.
void close_paging(paging_file& paging) {
  if (paging.file) {
    std::fclose(paging.file);
    if (!paging.path.empty()) unlink(paging.path.c_str());
  }
  paging.file = nullptr;
  paging.path.clear();
  paging.free_slots.clear();
}

// The device's paging file under the first name no other simulator holds
// (a lock marks it in use; a file left behind by one that ended is taken
// over). Opened without waiting: a FIFO of that name is passed over.
std::FILE* open_paging_file(const device_inst* inst, std::string& taken) {
  constexpr int NAMES_TRIED = 100;
  std::string base = paging_file_path(inst);
  base.resize(base.size() - std::strlen(".MEM"));
  for (int k = 0; k < NAMES_TRIED; ++k) {
    const std::string path = k == 0 ? base + ".MEM" : base + "-" + std::to_string(k) + ".MEM";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat info {}, named {};
    const bool opened = fstat(fd, &info) == 0;
    // A regular file is emptied: only one that is this name's alone, not a
    // file a planted link or a second name leads to.
    const bool own_file = opened && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
                          lstat(path.c_str(), &named) == 0 && named.st_ino == info.st_ino &&
                          named.st_dev == info.st_dev;
    const bool usable = opened && (S_ISCHR(info.st_mode) || own_file);
    if (!usable || flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      continue;
    }
    std::FILE* file = S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0 ? nullptr : fdopen(fd, "w+b");
    if (!file) {
      close(fd);
      return nullptr;
    }
    taken = path;
    return file;
  }
  return nullptr;
}

void move_cursor(region_pages& rec, mem_page* page) {
  if (page == rec.cursor) return;
  rec.prev_cursor = rec.cursor;
  rec.cursor = page;
}

// A paging-file failure: the run of the devices involved stops at the end
// of the instruction; the page stays as it was.
void paging_failed(device_inst* inst, const char* message) {
  report_memory_failure(message);
  inst->flags |= DEV_STOP;
  if (cur_inst) cur_inst->flags |= DEV_STOP;
}

bool read_block_at(device_inst* inst, long offset, uint32_t* block) {
  std::FILE* f = inst->page_file.file;
  if (!f || std::fseek(f, offset, SEEK_SET) != 0) {
    paging_failed(inst, "Error seeking in m_gdisk");
    return false;
  }
  if (std::fread(block, sizeof(uint32_t), PAGE_WORDS, f) != PAGE_WORDS) {
    std::clearerr(f);
    paging_failed(inst, "Error reading in m_gdisk.");
    return false;
  }
  return true;
}

bool page_in(device_inst* inst, mem_page* page) {
  return page->kind != PAGE_ON_DISK || m_gdisk(inst, page) != nullptr;
}

bool page_out_busy = false;

// The row record of every sparse row of every device, in slot and row
// order, handed to `visit` until it returns true.
template <typename Visit>
bool each_sparse_row(Visit visit) {
  for (device_inst* inst : device_insts) {
    if (!inst) continue;
    const device_type* type = type_of(inst);
    for (int r = 0; r < type->region_count; ++r) {
      if (!is_sparse_row(inst, r) || !inst->regions[r].pages.cursor) continue;
      if (visit(inst, inst->regions[r].pages)) return true;
    }
  }
  return false;
}

bool write_page_text(device_inst* inst, const mem_page* page, std::FILE* f) {
  std::fprintf(f, "\n%" PRIx32, page->start);
  if (page->kind == PAGE_UNIFORM) {
    std::fprintf(f, "\n%d\n%" PRIx32 " ", static_cast<int>(PAGE_UNIFORM), page->value);
    return true;
  }
  std::array<uint32_t, PAGE_WORDS> disk_copy;
  const uint32_t* block = page->block;
  if (page->kind == PAGE_ON_DISK) {
    if (!read_block_at(inst, page->file_offset, disk_copy.data())) return false;
    block = disk_copy.data();
  }
  std::fprintf(f, "\n%d\n", static_cast<int>(PAGE_DATA));
  for (uint32_t i = 0; i < PAGE_WORDS; ++i) {
    if (i > 0 && i % 8 == 0) std::fputc('\n', f);
    std::fprintf(f, "%" PRIx32 " ", block[i]);
  }
  return true;
}

bool read_word_text(std::FILE* f, uint32_t* word) {
  unsigned long value = 0;
  if (std::fscanf(f, "%lx ", &value) != 1 || value > WORD_MASK) return false;
  *word = static_cast<uint32_t>(value);
  return true;
}

// One row's page list; every count, start, kind and word is checked before
// the ring changes, so a fault leaves a consistent ring behind.
bool load_row(region_pages& rec, std::FILE* f) {
  long count = 0;
  if (std::fscanf(f, "%ld ", &count) != 1 || count < 1 || count > MAX_PAGES) return false;
  mem_page* last = nullptr;
  std::array<uint32_t, PAGE_WORDS> words;
  for (long i = 0; i < count; ++i) {
    unsigned long start = 0;
    int kind = 0;
    if (std::fscanf(f, "%lx %d ", &start, &kind) != 2) return false;
    if (last ? (start <= last->start || start > LAST_PAGE_START || (start & ~PAGE_MASK))
             : start != 0)
      return false;
    uint32_t value = 0;
    if (kind == PAGE_UNIFORM) {
      if (!read_word_text(f, &value)) return false;
    } else if (kind == PAGE_DATA) {
      for (uint32_t& w : words)
        if (!read_word_text(f, &w)) return false;
    } else {
      return false;
    }
    mem_page* page = last ? new_page(static_cast<uint32_t>(start), value) : rec.cursor;
    if (!page) return false;
    if (kind == PAGE_DATA) {
      uint32_t* block = new_block(0);
      if (!block) {
        if (last) dsp_free(page);
        return false;
      }
      std::copy(words.begin(), words.end(), block);
      page->kind = PAGE_DATA;
      page->block = block;
    } else {
      page->value = value;
    }
    if (last) insert_after(last, page);
    last = page;
  }
  return true;
}

}  // namespace

mem_page* find_mem_page(region_pages& rec, uint32_t address) {
  mem_page* page = rec.cursor;
  while (page->start > address) page = page->prev;
  while (page->next->start != 0 && page->next->start <= address) page = page->next;
  return page;
}

int sparse_read_row(device_inst* inst, int row, uint32_t address, uint32_t* out) {
  *out = 0;
  if (!is_sparse_row(inst, row)) return 0;
  region_pages& rec = inst->regions[row].pages;
  if (!rec.cursor) return 0;
  mem_page* page = find_mem_page(rec, address & 0xFFFF);
  if (page->kind == PAGE_UNIFORM) {
    *out = page->value;
    return 1;
  }
  if (!page_in(inst, page)) return 0;
  *out = page->block[address & (PAGE_WORDS - 1)];
  move_cursor(rec, page);
  return 1;
}

void sparse_write_row(device_inst* inst, int row, uint32_t address, uint32_t value) {
  if (!is_sparse_row(inst, row)) return;
  region_pages& rec = inst->regions[row].pages;
  if (!rec.cursor) return;
  address &= 0xFFFF;
  value &= WORD_MASK;
  mem_page* page = find_mem_page(rec, address);
  if (page->kind == PAGE_UNIFORM) {
    if (page->value == value) return;
    const uint32_t old = page->value;
    const uint32_t base = address & PAGE_MASK;
    // The page after the written one only exists inside the space.
    const bool need_after = base < LAST_PAGE_START && page->next->start != base + PAGE_WORDS;
    const bool need_split = page->start != base;
    // Everything is obtained before the ring changes: a failure leaves the
    // page as it was.
    uint32_t* block = new_block(old);
    if (!block) return;
    mem_page* after = need_after ? new_page(base + PAGE_WORDS, old) : nullptr;
    mem_page* split = need_split ? new_page(base, old) : nullptr;
    if ((need_after && !after) || (need_split && !split)) {
      dsp_free(block);
      dsp_free(after);
      dsp_free(split);
      return;
    }
    if (after) insert_after(page, after);
    if (split) {
      insert_after(page, split);
      page = split;
    }
    page->kind = PAGE_DATA;
    page->block = block;
  } else if (!page_in(inst, page)) {
    return;
  }
  page->block[address & (PAGE_WORDS - 1)] = value;
  move_cursor(rec, page);
}

int sparse_mem_read(int device, int space, uint32_t address, uint32_t* out) {
  *out = 0;
  if ((device != cur_device || !cur_inst) && !make_device_current(device)) return 0;
  return sparse_read_row(cur_inst, find_memory_region(space, address & 0xFFFF), address, out);
}

void sparse_mem_write(int device, int space, uint32_t address, uint32_t value) {
  if ((device != cur_device || !cur_inst) && !make_device_current(device)) return;
  sparse_write_row(cur_inst, find_memory_region(space, address & 0xFFFF), address, value);
}

int init_sparse_spaces() {
  device_inst* inst = cur_inst;
  if (!inst) return 0;
  const device_type* type = type_of(inst);
  for (int r = 0; r < type->region_count; ++r) {
    if (!is_sparse_row(inst, r)) continue;
    region_pages& rec = inst->regions[r].pages;
    if (rec.cursor) {
      reset_row(rec, &inst->page_file);
      continue;
    }
    mem_page* page = new_page(0, 0);
    if (!page) return 0;
    rec.cursor = rec.prev_cursor = page;
  }
  return 1;
}

void free_sparse_spaces(device_inst* inst) {
  if (!inst) return;
  for (region_mem& region : inst->regions) free_row(region.pages);
  close_paging(inst->page_file);
}

void reset_sparse_space(region_pages& rec) { reset_row(rec, nullptr); }

void release_paging(device_inst* inst) {
  if (!inst) return;
  for (region_mem& region : inst->regions) reset_row(region.pages, nullptr);
  close_paging(inst->page_file);
}

int page_out_memory() {
  if (page_out_busy || run_threads_active()) return 0;
  page_out_busy = true;
  int written = 0;
  // Pages not used most recently first, walking back from the cursor.
  bool found = each_sparse_row([&](device_inst* inst, region_pages& rec) {
    for (mem_page* p = rec.cursor->prev; p != rec.cursor; p = p->prev) {
      if (p->kind == PAGE_DATA && p != rec.prev_cursor) {
        written = m_pdisk(inst, p);
        return true;
      }
    }
    return false;
  });
  if (!found) {
    each_sparse_row([&](device_inst* inst, region_pages& rec) {
      mem_page* p = rec.prev_cursor && rec.prev_cursor->kind == PAGE_DATA ? rec.prev_cursor
                    : rec.cursor->kind == PAGE_DATA                     ? rec.cursor
                                                                        : nullptr;
      if (!p) return false;
      written = m_pdisk(inst, p);
      return true;
    });
  }
  page_out_busy = false;
  return written;
}

std::string paging_file_path(const device_inst* inst) {
  std::string path = inst->work_dir;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path.back() != '/') path += '/';
  path += type_of(inst)->page_file_base;
  path += std::to_string(inst->number);
  path += ".MEM";
  return path;
}

int m_pdisk(device_inst* inst, mem_page* page) {
  paging_file& paging = inst->page_file;
  const bool reuse = !paging.free_slots.empty();
  if (!paging.file) {
    paging.file = open_paging_file(inst, paging.path);
    if (!paging.file) {
      paging_failed(inst, "Error opening in m_pdisk");
      return 0;
    }
  }
  std::FILE* f = paging.file;
  long offset = reuse ? paging.free_slots.front() : 0;
  if (reuse ? std::fseek(f, offset, SEEK_SET) != 0 : std::fseek(f, 0, SEEK_END) != 0) {
    paging_failed(inst, "Error seeking in m_pdisk");
    return 0;
  }
  if (!reuse) offset = std::ftell(f);
  if (offset < 0) {
    paging_failed(inst, "Error seeking in m_pdisk");
    return 0;
  }
  if (std::fwrite(page->block, sizeof(uint32_t), PAGE_WORDS, f) != PAGE_WORDS ||
      std::fflush(f) != 0) {
    std::clearerr(f);
    paging_failed(inst, "Error writing block in m_pdisk.");
    return 0;
  }
  dsp_free(page->block);
  page->block = nullptr;
  page->kind = PAGE_ON_DISK;
  page->file_offset = offset;
  if (reuse) paging.free_slots.erase(paging.free_slots.begin());
  return 1;
}

uint32_t* m_gdisk(device_inst* inst, mem_page* page) {
  auto* block = static_cast<uint32_t*>(dsp_alloc(PAGE_BYTES, 0));
  if (!block) return nullptr;
  if (!read_block_at(inst, page->file_offset, block)) {
    dsp_free(block);
    return nullptr;
  }
  inst->page_file.free_slots.push_back(page->file_offset);
  page->kind = PAGE_DATA;
  page->block = block;
  return block;
}

int save_sparse_memory(device_inst* inst, std::FILE* file) {
  const device_type* type = type_of(inst);
  for (int r = 0; r < type->region_count; ++r) {
    if (!is_sparse_row(inst, r)) continue;
    const region_pages& rec = inst->regions[r].pages;
    if (!rec.cursor) {
      // A row never given its page reads as 0 everywhere.
      std::fprintf(file, "\n1\n0\n%d\n0 \n", static_cast<int>(PAGE_UNIFORM));
      continue;
    }
    const int count = sparse_page_count(rec);
    mem_page* first = rec.cursor;
    for (int i = 0; i < count && first->start != 0; ++i) first = first->next;
    std::fprintf(file, "\n%ld", static_cast<long>(count));
    mem_page* p = first;
    do {
      if (!write_page_text(inst, p, file)) return 0;
      p = p->next;
    } while (p != first);
    std::fputc('\n', file);
  }
  return std::ferror(file) ? 0 : 1;
}

int load_sparse_memory(device_inst* inst, std::FILE* file) {
  const device_type* type = type_of(inst);
  for (int r = 0; r < type->region_count; ++r) {
    if (!is_sparse_row(inst, r)) continue;
    region_pages& rec = inst->regions[r].pages;
    if (!rec.cursor) {
      mem_page* page = new_page(0, 0);
      if (!page) return 0;
      rec.cursor = rec.prev_cursor = page;
    }
    reset_row(rec, &inst->page_file);
    if (!load_row(rec, file)) {
      reset_row(rec, &inst->page_file);
      return 0;
    }
  }
  return 1;
}

int sparse_page_count(const region_pages& rec) {
  if (!rec.cursor) return 0;
  int count = 1;
  for (const mem_page* p = rec.cursor->next; p != rec.cursor; p = p->next) ++count;
  return count;
}
