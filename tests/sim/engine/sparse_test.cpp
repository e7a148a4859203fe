// Sparse external spaces: page splitting, paging to the device's file under
// an allocation cap, paging-file failures, the allocator, and the page
// lists of the state file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_fixture.h"
#include "sim/frontend/frontend.h"

namespace {

using SparsePages = device_fixture;
using SparsePaging = device_fixture;
using SparseAlloc = device_fixture;
using SparseStateText = device_fixture;

using words = std::vector<uint32_t>;

struct page_view {
  uint32_t start;
  int kind;
  bool operator==(const page_view&) const = default;
};

std::vector<page_view> ring(const region_pages& rec) {
  const mem_page* first = rec.cursor;
  while (first->start != 0) first = first->next;
  std::vector<page_view> out;
  const mem_page* p = first;
  do {
    out.push_back({p->start, p->kind});
    p = p->next;
  } while (p != first && out.size() <= 256);
  return out;
}

mem_page* page_at(region_pages& rec, uint32_t start) {
  mem_page* p = rec.cursor;
  for (int i = 0; i <= 256; ++i, p = p->next)
    if (p->start == start) return p;
  return nullptr;
}

long bytes_on_disk(const std::filesystem::path& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(size);
}

std::string text_of(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

std::FILE* file_with(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  return f;
}

TEST_F(SparsePages, SplitOnFirstDifferentValue) {
  make("73521");
  region_pages& xe = pages(SPACE_XE);
  write(SPACE_XE, 0x1234, 0);
  EXPECT_EQ(sparse_page_count(xe), 1);

  write(SPACE_XE, 0x1234, 5);
  EXPECT_EQ(ring(xe), (std::vector<page_view>{
                          {0, PAGE_UNIFORM}, {0x1200, PAGE_DATA}, {0x1300, PAGE_UNIFORM}}));
  EXPECT_EQ(reads(SPACE_XE, {0x1234, 0x1233, 0x12FF, 0x5000}), (words{5, 0, 0, 0}));

  // The neighbour page splits without a page between them.
  write(SPACE_XE, 0x1300, 9);
  EXPECT_EQ(ring(xe), (std::vector<page_view>{{0, PAGE_UNIFORM},
                                              {0x1200, PAGE_DATA},
                                              {0x1300, PAGE_DATA},
                                              {0x1400, PAGE_UNIFORM}}));
  // The other sparse space is untouched.
  EXPECT_EQ(sparse_page_count(pages(SPACE_PE)), 1);
}

TEST_F(SparsePages, SplitsAtBothEndsOfTheSpace) {
  make("73521");
  write(SPACE_PE, 0x0003, 1);
  EXPECT_EQ(ring(pages(SPACE_PE)),
            (std::vector<page_view>{{0, PAGE_DATA}, {0x100, PAGE_UNIFORM}}));
  // No page may start beyond the last address.
  write(SPACE_XE, 0xFF05, 2);
  EXPECT_EQ(ring(pages(SPACE_XE)),
            (std::vector<page_view>{{0, PAGE_UNIFORM}, {0xFF00, PAGE_DATA}}));
  EXPECT_EQ(reads(SPACE_XE, {0xFF05, 0xFFFF, 0}), (words{2, 0, 0}));
}

TEST_F(SparsePages, UniformPageKeepsItsOldValueAroundTheSplit) {
  make("73521");
  // A whole-space uniform value of 7, then one word changed.
  region_pages& pe = pages(SPACE_PE);
  pe.cursor->value = 7;
  write(SPACE_PE, 0x4410, 8);
  EXPECT_EQ(reads(SPACE_PE, {0x4410, 0x4411, 0x4500, 0}), (words{8, 7, 7, 7}));
  // Writing the value a uniform page already holds changes nothing.
  write(SPACE_PE, 0x9000, 7);
  EXPECT_EQ(sparse_page_count(pe), 3);
}

TEST_F(SparsePages, FindFromAnyCursor) {
  make("73521");
  for (uint32_t a : {0x1234u, 0x5000u, 0x5180u}) write(SPACE_XE, a, 1);
  region_pages& xe = pages(SPACE_XE);
  xe.cursor = page_at(xe, 0x5100);
  const auto starts = [&](std::initializer_list<uint32_t> addresses) {
    words out;
    for (uint32_t a : addresses) out.push_back(find_mem_page(xe, a)->start);
    return out;
  };
  EXPECT_EQ(starts({0x1250, 0x12FF, 0x0010}), (words{0x1200, 0x1200, 0}));
  xe.cursor = page_at(xe, 0);
  EXPECT_EQ(starts({0xFFFF, 0x5000}), (words{0x5200, 0x5000}));
}

TEST_F(SparsePages, ReadsAndWritesMoveTheCursors) {
  make("73521");
  write(SPACE_XE, 0x1234, 1);
  write(SPACE_XE, 0x5000, 2);
  region_pages& xe = pages(SPACE_XE);
  EXPECT_EQ(xe.cursor->start, 0x5000u);
  EXPECT_EQ(xe.prev_cursor->start, 0x1200u);
  read(SPACE_XE, 0x0000);  // a uniform page does not take the cursor
  EXPECT_EQ(xe.cursor->start, 0x5000u);
  read(SPACE_XE, 0x1200);
  EXPECT_EQ(xe.cursor->start, 0x1200u);
  EXPECT_EQ(xe.prev_cursor->start, 0x5000u);
}

TEST_F(SparsePages, ResetAndRelease) {
  make("73521");
  write(SPACE_PE, 0x1234, 5);
  reset_sparse_space(pages(SPACE_PE));
  EXPECT_EQ(sparse_page_count(pages(SPACE_PE)), 1);
  EXPECT_EQ(read(SPACE_PE, 0x1234), 0u);

  write(SPACE_XE, 0x2000, 3);
  ASSERT_EQ(m_pdisk(cur_inst, page_at(pages(SPACE_XE), 0x2000)), 1);
  const auto file = scratch / "DSPMEM0.MEM";
  release_paging(cur_inst);
  EXPECT_EQ(cur_inst->page_file.file, nullptr);
  EXPECT_TRUE(cur_inst->page_file.free_slots.empty());
  EXPECT_EQ(bytes_on_disk(file), -1);  // it held this run's pages only
  EXPECT_EQ(sparse_page_count(pages(SPACE_XE)), 1);
  EXPECT_EQ(read(SPACE_XE, 0x2000), 0u);
  write(SPACE_XE, 0x2000, 4);
  EXPECT_EQ(read(SPACE_XE, 0x2000), 4u);
}

TEST_F(SparsePaging, FileNameFromWorkDirTypeAndNumber) {
  make("73547", 7);
  cur_inst->work_dir = "dir\\sub";
  EXPECT_EQ(paging_file_path(cur_inst), "dir/sub/DSPMEM7.MEM");
  cur_inst->work_dir = "./";
  EXPECT_EQ(paging_file_path(cur_inst), "./DSPMEM7.MEM");
  cur_inst->work_dir.clear();
  EXPECT_EQ(paging_file_path(cur_inst), "DSPMEM7.MEM");
}

TEST_F(SparsePaging, SlotsOfPagesReadBackAreReused) {
  make("73521");
  for (uint32_t k = 0; k < 3; ++k) write(SPACE_XE, 0x1000 * (k + 1), 0x10 + k);
  region_pages& xe = pages(SPACE_XE);
  mem_page *a = page_at(xe, 0x1000), *b = page_at(xe, 0x2000), *c = page_at(xe, 0x3000);
  ASSERT_EQ(m_pdisk(cur_inst, a), 1);
  ASSERT_EQ(m_pdisk(cur_inst, b), 1);
  EXPECT_EQ(a->kind, PAGE_ON_DISK);
  EXPECT_EQ(a->file_offset, 0);
  EXPECT_EQ(b->file_offset, 1024);
  const auto file = scratch / "DSPMEM0.MEM";
  EXPECT_EQ(bytes_on_disk(file), 2048);

  EXPECT_EQ(read(SPACE_XE, 0x1000), 0x10u);  // a comes back; its slot is free
  EXPECT_EQ(a->kind, PAGE_DATA);
  EXPECT_EQ(cur_inst->page_file.free_slots, std::vector<long>{0});
  ASSERT_EQ(m_pdisk(cur_inst, c), 1);
  EXPECT_EQ(c->file_offset, 0);
  EXPECT_TRUE(cur_inst->page_file.free_slots.empty());
  EXPECT_EQ(bytes_on_disk(file), 2048);

  // A write into a page on disk brings it back first.
  write(SPACE_XE, 0x3001, 0x99);
  EXPECT_EQ(reads(SPACE_XE, {0x3000, 0x3001, 0x2000}), (words{0x12, 0x99, 0x11}));
}

TEST_F(SparsePaging, DataSurvivesUnderTheAllocationCap) {
  make("73521");
  const std::size_t limit = dsp_alloc_in_use() + 4 * (PAGE_BYTES + 16) + 2000;
  dsp_alloc_set_limit(limit);
  constexpr uint32_t N = 8;
  for (uint32_t k = 0; k < N; ++k) {
    write(SPACE_PE, 0x1000 * k + 5, 0x100 + k);
    write(SPACE_PE, 0x1000 * k + 6, 0x200 + k);
    EXPECT_LE(dsp_alloc_in_use(), limit);
  }
  int on_disk = 0;
  for (const page_view& p : ring(pages(SPACE_PE))) on_disk += p.kind == PAGE_ON_DISK;
  EXPECT_GE(on_disk, 3);
  const auto file = scratch / "DSPMEM0.MEM";
  EXPECT_GT(bytes_on_disk(file), 0);
  EXPECT_EQ(bytes_on_disk(file) % 1024, 0);

  for (int pass = 0; pass < 3; ++pass) {
    for (uint32_t i = 0; i < N; ++i) {
      const uint32_t k = pass == 1 ? N - 1 - i : i;
      const uint32_t a = 0x1000 * k;
      EXPECT_EQ(reads(SPACE_PE, {a + 5, a + 6, a + 7}), (words{0x100 + k, 0x200 + k, 0})) << k;
      EXPECT_LE(dsp_alloc_in_use(), limit);
    }
  }
  // Slots are reused: never more blocks in the file than pages.
  EXPECT_LE(bytes_on_disk(file), static_cast<long>(N) * 1024);
  EXPECT_EQ(cur_inst->flags & DEV_STOP, 0u);
}

TEST_F(SparsePaging, PagesOfOtherDevicesGoOutToo) {
  make("73521", 1);
  for (uint32_t k = 0; k < 4; ++k) write(SPACE_XE, 0x1000 * k, 0x40 + k);
  make("73521", 0);
  dsp_alloc_set_limit(dsp_alloc_in_use());
  write(SPACE_XE, 0x10, 1);  // needs a block: device 1 gives one up
  EXPECT_EQ(read(SPACE_XE, 0x10), 1u);
  EXPECT_GT(bytes_on_disk(scratch / "DSPMEM1.MEM"), 0);
  dsp_alloc_set_limit(0);
  uint32_t out = 0;
  for (uint32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(read_device_memory(1, SPACE_XE, 0x1000 * k, &out), 1);
    EXPECT_EQ(out, 0x40 + k);
  }
}

TEST_F(SparsePaging, UnopenableFileLeavesPagesInMemory) {
  make("73521");
  cur_inst->work_dir = (scratch / "missing").string() + "/";
  write(SPACE_XE, 0x1000, 0x11);
  mem_page* page = page_at(pages(SPACE_XE), 0x1000);
  EXPECT_EQ(m_pdisk(cur_inst, page), 0);
  EXPECT_STREQ(last_error_text(), "Error opening in m_pdisk");
  EXPECT_EQ(page->kind, PAGE_DATA);
  EXPECT_NE(cur_inst->flags & DEV_STOP, 0u);
  EXPECT_EQ(read(SPACE_XE, 0x1000), 0x11u);

  // Under the cap the allocation then fails and the write is dropped.
  cur_inst->flags = 0;
  restart_memory_failures();
  dsp_alloc_set_limit(dsp_alloc_in_use());
  write(SPACE_XE, 0x2000, 0x22);
  EXPECT_STREQ(last_error_text(), "Error opening in m_pdisk");  // the first cause
  EXPECT_EQ(read(SPACE_XE, 0x2000), 0u);
  EXPECT_EQ(read(SPACE_XE, 0x1000), 0x11u);
  EXPECT_EQ(sparse_page_count(pages(SPACE_XE)), 3);
}

// Two simulators in one folder: the second takes another name instead of
// overwriting the first one's pages, and each file goes when it closes.
// A file nobody holds (left by a simulator that ended) is taken over.
TEST_F(SparsePaging, AFileInUseByAnotherSimulatorIsLeftAlone) {
  make("73521");
  const auto held = scratch / "DSPMEM0.MEM";
  const int other = open(held.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  ASSERT_EQ(::write(other, "theirs", 6), 6);

  dsp_alloc_set_limit(dsp_alloc_in_use() + 2 * (PAGE_BYTES + 16) + 1000);
  for (uint32_t k = 0; k < 16; ++k) write(SPACE_PE, 0x1000 * k, 0x100 + k);
  EXPECT_EQ(bytes_on_disk(held), 6);
  const auto second = scratch / "DSPMEM0-1.MEM";
  EXPECT_GT(bytes_on_disk(second), 0);
  for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(read(SPACE_PE, 0x1000 * k), 0x100 + k) << k;
  release_paging(cur_inst);
  EXPECT_EQ(bytes_on_disk(second), -1);
  EXPECT_EQ(bytes_on_disk(held), 6);

  close(other);  // that simulator ended and left its file behind
  for (uint32_t k = 0; k < 16; ++k) write(SPACE_PE, 0x1000 * k, 0x200 + k);
  EXPECT_EQ(bytes_on_disk(second), -1);
  EXPECT_EQ(bytes_on_disk(held) % 1024, 0);
  for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(read(SPACE_PE, 0x1000 * k), 0x200 + k) << k;
  free_all_devices();
  EXPECT_EQ(bytes_on_disk(held), -1);
}

// A link planted at the paging file's name, or a second name of another
// file, is passed over: the file it leads to is never emptied.
TEST_F(SparsePaging, AFileALinkLeadsToIsLeftAlone) {
  make("73521");
  const auto victim = scratch / "victim";
  const auto other = scratch / "other";
  for (const auto& file : {victim, other}) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "theirs", 6), 6);
    close(fd);
  }
  std::filesystem::create_symlink(victim, scratch / "DSPMEM0.MEM");
  std::filesystem::create_hard_link(other, scratch / "DSPMEM0-1.MEM");
  write(SPACE_XE, 0x1000, 0x11);
  ASSERT_EQ(m_pdisk(cur_inst, page_at(pages(SPACE_XE), 0x1000)), 1);
  EXPECT_EQ(bytes_on_disk(victim), 6);
  EXPECT_EQ(bytes_on_disk(other), 6);
  EXPECT_GT(bytes_on_disk(scratch / "DSPMEM0-2.MEM"), 0);
  EXPECT_EQ(read(SPACE_XE, 0x1000), 0x11u);
}

TEST_F(SparsePaging, FailedWriteKeepsThePage) {
  make("73521");
  std::error_code ec;
  std::filesystem::create_symlink("/dev/full", scratch / "DSPMEM0.MEM", ec);
  if (ec) GTEST_SKIP() << "no /dev/full";
  write(SPACE_XE, 0x1000, 0x11);
  mem_page* page = page_at(pages(SPACE_XE), 0x1000);
  EXPECT_EQ(m_pdisk(cur_inst, page), 0);
  EXPECT_STREQ(last_error_text(), "Error writing block in m_pdisk.");
  EXPECT_EQ(page->kind, PAGE_DATA);
  EXPECT_NE(cur_inst->flags & DEV_STOP, 0u);
  EXPECT_EQ(read(SPACE_XE, 0x1000), 0x11u);
}

TEST_F(SparsePaging, FailedReadBackReadsZeroAndStaysOut) {
  make("73521");
  write(SPACE_XE, 0x1000, 0x11);
  mem_page* page = page_at(pages(SPACE_XE), 0x1000);
  ASSERT_EQ(m_pdisk(cur_inst, page), 1);
  ASSERT_EQ(ftruncate(fileno(cur_inst->page_file.file), 0), 0);
  int result = -1;
  EXPECT_EQ(read(SPACE_XE, 0x1000, &result), 0u);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(last_error_text(), "Error reading in m_gdisk.");
  EXPECT_EQ(page->kind, PAGE_ON_DISK);
  EXPECT_NE(cur_inst->flags & DEV_STOP, 0u);
  EXPECT_TRUE(cur_inst->page_file.free_slots.empty());
  write(SPACE_XE, 0x1001, 0x22);  // a write into it is dropped as well
  EXPECT_EQ(page->kind, PAGE_ON_DISK);
}

TEST_F(SparseAlloc, CountsBytesAndHonoursTheCap) {
  make("73521");
  const std::size_t base = dsp_alloc_in_use();
  auto* block = static_cast<uint8_t*>(dsp_alloc(100, 1));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(dsp_alloc_in_use(), base + 100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[i], 0) << i;
  std::memset(block, 0xA5, 100);

  block = static_cast<uint8_t*>(dsp_realloc(block, 300));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(dsp_alloc_in_use(), base + 300);
  EXPECT_EQ(block[99], 0xA5);

  dsp_alloc_set_limit(base + 300);  // nothing to page out: both fail
  EXPECT_EQ(dsp_alloc(1, 0), nullptr);
  EXPECT_STREQ(last_error_text(), "Insufficient memory: dsp_alloc");
  restart_memory_failures();  // as a new command does
  EXPECT_EQ(dsp_realloc(block, 301), nullptr);
  EXPECT_STREQ(last_error_text(), "Insufficient memory: dsp_realloc");
  EXPECT_EQ(memory_failure_count(), 1u);
  EXPECT_EQ(block[0], 0xA5);  // the old block stays
  void* smaller = dsp_realloc(block, 10);
  ASSERT_NE(smaller, nullptr);
  EXPECT_EQ(dsp_alloc_in_use(), base + 10);
  dsp_free(smaller);
  dsp_free(nullptr);
  EXPECT_EQ(dsp_alloc_in_use(), base);
}

TEST_F(SparseStateText, RoundTripIncludingAPageOnDisk) {
  make("73521");
  write(SPACE_PE, 0x1234, 5);
  write(SPACE_XE, 0x0020, 0xBEEF);
  write(SPACE_XE, 0x8000, 0x1);
  page_at(pages(SPACE_XE), 0x8100)->value = 0x1;  // 1 from 0x8100 to the top
  ASSERT_EQ(m_pdisk(cur_inst, page_at(pages(SPACE_PE), 0x1200)), 1);

  std::FILE* f = std::tmpfile();
  ASSERT_EQ(save_sparse_memory(cur_inst, f), 1);
  const std::string text = text_of(f);
  const std::string head = "\n3\n0\n2\n0 \n1200\n4\n0 0 0 0 0 0 0 0 \n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find("\n0 0 0 0 5 0 0 0 \n"), std::string::npos);  // words 48-55
  EXPECT_NE(text.find("\n1300\n2\n0 \n"), std::string::npos);

  free_device(0);
  make("73521");
  std::rewind(f);
  ASSERT_EQ(load_sparse_memory(cur_inst, f), 1);
  std::fclose(f);
  EXPECT_EQ(ring(pages(SPACE_PE)), (std::vector<page_view>{
                                       {0, PAGE_UNIFORM}, {0x1200, PAGE_DATA}, {0x1300, PAGE_UNIFORM}}));
  EXPECT_EQ(reads(SPACE_PE, {0x1234, 0x1235}), (words{5, 0}));
  EXPECT_EQ(reads(SPACE_XE, {0x20, 0x21, 0x8000, 0x8001, 0x8100, 0xFFFF}), (words{0xBEEF, 0, 1, 0, 1, 1}));
  EXPECT_EQ(sparse_page_count(pages(SPACE_XE)), 4);
}

TEST_F(SparseStateText, CorruptPageListsAreRefused) {
  const char* const bad[] = {
      "\n0\n",                          // no pages
      "\n-5\n",                         // negative count
      "\n300\n0\n2\n0 ",                // more pages than the space holds
      "\n1\n100\n2\n0 ",                // first page not at 0
      "\n2\n0\n2\n0 \n0\n2\n1 ",        // starts not rising
      "\n2\n0\n2\n0 \n150\n2\n1 ",      // start inside a page
      "\n2\n0\n2\n0 \n10000\n2\n1 ",    // start beyond the space
      "\n1\n0\n1\n0 ",                  // kind "on disk"
      "\n1\n0\n3\n0 ",                  // no such kind
      "\n1\n0\n2\n10000 ",              // value wider than a word
      "\n1\n0\n2\n-1 ",                 // negative value
      "\n1\n0\n4\n1 2 3 ",              // block cut short
      "\n1\n0\n2\nzz ",                 // not hexadecimal
      "\n2\n0\n2\n0 ",                  // second page missing
      "",                               // nothing at all
  };
  make("73521");
  for (const char* text : bad) {
    write(SPACE_PE, 0x1234, 5);
    std::FILE* f = file_with(text);
    EXPECT_EQ(load_sparse_memory(cur_inst, f), 0) << text;
    std::fclose(f);
    EXPECT_EQ(sparse_page_count(pages(SPACE_PE)), 1) << text;
    EXPECT_EQ(read(SPACE_PE, 0x1234), 0u) << text;
    write(SPACE_PE, 0x10, 3);  // the row still works
    EXPECT_EQ(read(SPACE_PE, 0x10), 3u) << text;
  }
}

TEST_F(SparseStateText, ValidHandWrittenList) {
  make("73521");
  std::string block;
  for (int i = 0; i < 256; ++i) block += (i == 255 ? "abcd " : "1 ");
  const std::string text = "\n2\n0\n2\n7 \nff00\n4\n" + block + "\n\n1\n0\n2\n0 \n";
  std::FILE* f = file_with(text);
  ASSERT_EQ(load_sparse_memory(cur_inst, f), 1);
  std::fclose(f);
  EXPECT_EQ(reads(SPACE_PE, {0, 0xFEFF, 0xFF00, 0xFFFF}), (words{7, 7, 1, 0xABCD}));
  EXPECT_EQ(sparse_page_count(pages(SPACE_XE)), 1);
}

}  // namespace
