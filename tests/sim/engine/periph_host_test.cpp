// The host interface's engine: words moving both ways, host reads and
// writes through the port B pins, DMA strobes, and what disabling does.
// Host words are put on the pins directly, one engine step per word.
#include <gtest/gtest.h>

#include <cstring>

#include "memory_fixture.h"
#include "sim/engine/core/clock_device.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/periph.h"

namespace {

class Host : public device_fixture {
 protected:
  int host = 0;
  void SetUp() override {
    make("73521");
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::strcmp(cur_type->periphs[p].name, "host") == 0) host = p;
    bus_write(IO_PBC, 1);
  }
  uint32_t reg(int r) { return periph_words(host)[r]; }
  void bus_write(uint32_t address, uint32_t value) { write_peripheral_bus(address, value, 1); }
  uint32_t bus_read(uint32_t address) {
    uint32_t v = 0;
    read_peripheral_bus(address, &v, 1);
    return v;
  }
  // One engine step with the host's word on the pins.
  void step(uint32_t word) {
    uint32_t* pins = periph_pin_block(2);
    set_pin_word(pins, PIN_LEVEL, word);
    set_pin_word(pins, PIN_DEFINED, 0x7FFF);
    cur_type->periphs[host].cls->clock(host);
    save_previous_blocks(*cur_inst, cur_type->block_count);
    cur_inst->cycles += 1;
  }
  void steps(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) step(w);
  }
  uint32_t driven_data() { return periph_pin_block(2)[PIN_DRIVEN_LEVEL] & 0xFF; }
};

constexpr uint32_t IDLE = 0x5000;

TEST_F(Host, DspWordWaitsInHtxUntilTheHostHasReadRxl) {
  step(IDLE);
  bus_write(0xFFE5, 0x1234);
  step(IDLE);
  EXPECT_EQ(reg(HOST_RXH), 0x12u);
  EXPECT_EQ(reg(HOST_RXL), 0x34u);
  EXPECT_EQ(reg(HOST_ISR) & 1, 1u);    // RXDF
  EXPECT_EQ(reg(HOST_HSR) & 2, 2u);    // HTDE
  bus_write(0xFFE5, 0x5678);
  steps({IDLE, IDLE});
  EXPECT_EQ(reg(HOST_RXH), 0x12u);     // still the first word
  EXPECT_EQ(reg(HOST_HSR) & 2, 0u);
  step(0x4F00);                         // host reads rxl: RXDF clears at once
  EXPECT_EQ(driven_data(), 0x34u);
  EXPECT_EQ(periph_pin_block(2)[PIN_DRIVEN] & 0xFF, 0xFFu);
  EXPECT_EQ(reg(HOST_RXH), 0x12u);     // no move while HEN is low
  step(0x5F00);
  EXPECT_EQ(periph_pin_block(2)[PIN_DRIVEN] & 0xFF, 0u);
  EXPECT_EQ(reg(HOST_RXH), 0x56u);
  EXPECT_EQ(reg(HOST_RXL), 0x78u);
}

TEST_F(Host, ReadingHrxLetsTheNextHostWordIn) {
  steps({IDLE, 0x4611, 0x5611, 0x4722, 0x5722, IDLE});
  EXPECT_EQ(reg(HOST_HRX), 0x1122u);
  steps({0x4633, 0x5633, 0x4744, 0x5744, IDLE});
  EXPECT_EQ(reg(HOST_HRX), 0x1122u);   // HRDF still set
  EXPECT_EQ(bus_read(0xFFE5), 0x1122u);
  EXPECT_EQ(reg(HOST_HSR) & 1, 0u);
  step(IDLE);
  EXPECT_EQ(reg(HOST_HRX), 0x3344u);
  EXPECT_EQ(reg(HOST_HSR) & 1, 1u);
}

TEST_F(Host, DmaHostToDspInLowByteModeCompletesAWordPerStrobe) {
  steps({IDLE, 0x40E2, 0x50E2, IDLE});  // icr: INIT, HM = 3, TREQ
  EXPECT_EQ(reg(HOST_ISR) & 0x40, 0x40u);
  const uint32_t bytes[] = {0xA1, 0xB2};
  for (uint32_t b : bytes) {
    steps({0x1000 | b, 0x5000 | b, IDLE});
    EXPECT_EQ(reg(HOST_TXL), b);
    EXPECT_EQ(reg(HOST_HRX), b);
    EXPECT_EQ(bus_read(0xFFE5), b);     // read: the next byte may come
  }
}

TEST_F(Host, DisablingGivesThePinsBackWithAStopReset) {
  bus_write(0xFFC4, 0x18);              // hcr: HF3, HF2
  steps({IDLE, 0x4119, 0x5119, IDLE});  // cvr: vector 0x19
  EXPECT_EQ(reg(HOST_CVR), 0x19u);
  EXPECT_NE(periph_pin_block(2)[PIN_DRIVEN] & 0x2000, 0u);  // HREQ driven
  bus_write(IO_PBC, 0);
  step(IDLE);
  EXPECT_EQ(reg(HOST_CVR), 0x16u);
  EXPECT_EQ(reg(HOST_ISR), 0x06u);
  EXPECT_EQ(reg(HOST_HCR), 0x18u);      // kept by a reset of kind 0
  step(0x4119);
  step(0x5119);
  EXPECT_EQ(reg(HOST_CVR), 0x16u);      // no host words while disabled
}

TEST_F(Host, ADeviceResetLetsGoOfThePins) {
  step(IDLE);
  EXPECT_EQ(periph_pin_block(2)[PIN_DRIVEN] & 0x7FFF, 0x2000u);
  reset_peripherals(1, 0);
  EXPECT_EQ(periph_pin_block(2)[PIN_DRIVEN] & 0x7FFF, 0u);
  step(IDLE);
  EXPECT_EQ(periph_pin_block(2)[PIN_DRIVEN] & 0x7FFF, 0u);
}

}  // namespace
