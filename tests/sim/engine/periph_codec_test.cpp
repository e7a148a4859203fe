// The codec's converter: samples of a clipped input, and the status flags a
// late program sees.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/periph.h"

namespace {

class Codec : public device_fixture {
 protected:
  int codec = 0;
  void start(int number, float mic) {
    make("73547", number);
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::strcmp(cur_type->periphs[p].name, "codec") == 0) codec = p;
    set_pin_word(periph_pin_block(0), 5 + 16, std::bit_cast<uint32_t>(mic));
    bus_write(0xFFC8, 0x5900);  // COE, MGS = 3 (gain 7.079), CRS = 1: 128 steps a sample
  }
  void bus_write(uint32_t address, uint32_t value) { write_peripheral_bus(address, value, 1); }
  uint32_t bus_read(uint32_t address) {
    uint32_t v = 0;
    read_peripheral_bus(address, &v, 1);
    return v;
  }
  // n converter steps, one per cycle (the PLL passes the clock through).
  void run(uint32_t n) {
    cur_inst->cycles += n;
    catch_up_peripherals();
  }
  std::vector<uint32_t> samples(int count) {
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i) {
      run(128);
      out.push_back(periph_words(codec)[CODEC_CRX]);
    }
    return out;
  }
};

TEST_F(Codec, AnInputBeyondFullScaleIsTakenAsFullScale) {
  start(0, 0.9f);
  const std::vector<uint32_t> clipped = samples(4);
  start(1, 1.0f / 7.079f + 0.01f);
  EXPECT_EQ(samples(4), clipped);
  start(2, 0.05f);
  EXPECT_NE(samples(4), clipped);
}

TEST_F(Codec, OverrunStaysUntilCosrIsReadBeforeCrx) {
  start(0, 0.0f);
  run(256);
  EXPECT_EQ(bus_read(0xFFE8) & 0xA, 0xAu);  // CRDF and CROE
  bus_read(0xFFE9);                          // crx after cosr: both clear
  EXPECT_EQ(bus_read(0xFFE8) & 0xA, 0u);
  run(256);
  bus_read(0xFFE9);                          // crx without a cosr read before it
  EXPECT_EQ(periph_words(codec)[CODEC_COSR] & 0xA, 0x2u);
}

}  // namespace
