// A device of a chosen type made current, with its paging file kept in a
// scratch folder of its own so tests may run side by side.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"

class device_fixture : public ::testing::Test {
 protected:
  std::filesystem::path scratch;

  void SetUp() override {
    index_memory_regions();
    restart_memory_failures();
    std::string pattern = (std::filesystem::temp_directory_path() / "simmemXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
  }

  void TearDown() override {
    dsp_alloc_set_limit(0);
    free_all_devices();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
  }

  // Creates device `number` of `type`, current, paging into the scratch folder.
  void make(const char* type, int number = 0) {
    ASSERT_EQ(create_device(number, type), 1);
    ASSERT_TRUE(make_device_current(number));
    cur_inst->work_dir = scratch.string() + "/";
  }

  void set_mode(uint32_t omr) { cur_inst->periph_state[0][CORE_OMR] = omr; }

  uint32_t read(int space, uint32_t address, int* result = nullptr) {
    uint32_t word = 0xDEAD;
    int r = mem_read_word(space, address, &word);
    if (result) *result = r;
    return word;
  }

  // The words at each of the addresses.
  std::vector<uint32_t> reads(int space, std::initializer_list<uint32_t> addresses) {
    std::vector<uint32_t> out;
    for (uint32_t a : addresses) out.push_back(read(space, a));
    return out;
  }

  void write(int space, uint32_t address, uint32_t value) { mem_write_word(space, address, &value); }

  // The memory-map row found for the address in the current type.
  int row_of(int space, uint32_t address) { return find_memory_region(space, address); }

  region_pages& pages(int space) { return cur_inst->regions[row_of(space, 0)].pages; }
};
