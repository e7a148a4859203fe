// The on-chip peripherals as registers: the bus broadcast and who answers
// it, reset values, the count peripheral, the general-purpose ports and the
// run marks cleared before a run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"

namespace {

using words = std::vector<uint32_t>;

class Periph : public device_fixture {
 protected:
  int row(const char* name) {
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::strcmp(cur_type->periphs[p].name, name) == 0) return p;
    ADD_FAILURE() << "no peripheral " << name;
    return 0;
  }
  const periph_class& cls(int p) { return *cur_type->periphs[p].cls; }
  uint32_t get(int p, int reg) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(cls(p).get(p, reg, &v), 1);
    return v;
  }
  // The values of several registers of one row.
  words gets(int p, std::initializer_list<int> regs) {
    words out;
    for (int reg : regs) out.push_back(get(p, reg));
    return out;
  }
  void set(int p, int reg, uint32_t v) {
    uint32_t pair[2] = {v & 0xFFFF, v >> 16};
    EXPECT_EQ(cls(p).set(p, reg, pair), 1);
  }
  uint32_t bus_read(uint32_t address) {
    uint32_t v = 0xDEADBEEF;
    read_peripheral_bus(address, &v, 1);
    return v;
  }
  void bus_write(uint32_t address, uint32_t value) { write_peripheral_bus(address, value, 1); }
  uint32_t attr(int p, int reg) { return periph_attrs(p)[reg]; }
  uint32_t* pins(int group) { return periph_pin_block(group); }

  // Every peripheral's state and attribute words, the core's excepted.
  struct snapshot {
    std::vector<std::vector<uint32_t>> words, attrs;
  };
  snapshot take() {
    snapshot s;
    for (int p = 1; p < cur_type->periph_count; ++p) {
      const periph_class& c = cls(p);
      s.words.emplace_back(periph_words(p), periph_words(p) + c.state_word_count);
      s.attrs.emplace_back(periph_attrs(p), periph_attrs(p) + c.reg_count);
    }
    return s;
  }
  // The rows whose words or attributes differ between two snapshots.
  std::vector<std::string> changed(const snapshot& a, const snapshot& b) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < a.words.size(); ++i)
      if (a.words[i] != b.words[i] || a.attrs[i] != b.attrs[i])
        names.push_back(cur_type->periphs[i + 1].name);
    return names;
  }
};

// ---------------------------------------------------------------------------
// The broadcast: every peripheral sees every access; only the owner acts.

TEST_F(Periph, BusWriteReachesOnlyItsOwner) {
  make("73521");
  const int timer = row("timer");
  const snapshot before = take();
  bus_write(0xFFED, 0x1234);  // tctr: base 0xFFEC + 1
  EXPECT_EQ(changed(before, take()), std::vector<std::string>{"timer"});
  EXPECT_EQ(get(timer, TIMER_TCTR), 0x1234u);
  EXPECT_EQ(bus_read(0xFFED), 0x1234u);
  EXPECT_EQ(attr(timer, TIMER_TCTR) & (ATTR_WRITTEN | ATTR_CHANGED), ATTR_WRITTEN | ATTR_CHANGED);
  // tpr sits at +3 and tcpr at +2, against their order in the table.
  bus_write(0xFFEE, 0x22);
  bus_write(0xFFEF, 0x33);
  EXPECT_EQ(gets(timer, {TIMER_TCPR, TIMER_TPR}), (words{0x22, 0x33}));
}

TEST_F(Periph, AddressesNobodyOwnsAreNotTaken) {
  make("73521");
  const snapshot before = take();
  bus_write(0xFFDC, 0xFFFF);  // plcr of the larger cores; no register here
  bus_write(0xFFC8, 0xFFFF);  // the codec's base on "73547"
  bus_write(0xFFE9, 0xFFFF);
  EXPECT_TRUE(changed(before, take()).empty());
  EXPECT_EQ(bus_read(0xFFC8), 0u);  // the read starts from 0 and nobody answers
}

TEST_F(Periph, BusMappedWriteIsNotedInTheIoLog) {
  make("73521");
  reset_run_flags();
  const int io = row_of(SPACE_XI, 0xFFEC);
  const access_log& log = cur_state->region_logs[io].writes;
  bus_write(0xFFEC, 5);
  EXPECT_EQ(log.run_count, 1u);
  EXPECT_EQ(log.address[log.ring_index], 0xFFECu);
}

TEST_F(Periph, SerialPortsShareAddressesByDirection) {
  make("73521");
  const int ssi1 = row("ssi1");
  // Offsets 0x20 and 0x21 read ssr and rx, but write tsr and tx.
  bus_write(0xFFD8 + 0x21, 0xBEEF);
  EXPECT_EQ(gets(ssi1, {SSI_TX, SSI_RX}), (words{0xBEEF, 0}));
  EXPECT_EQ(bus_read(0xFFD8 + 0x20), 0x40u);  // ssr after reset: TDE
  bus_write(0xFFD8 + 0x25, 0x0005);
  EXPECT_EQ(get(ssi1, SSI_TMH), 5u);
  EXPECT_EQ(get(row("ssi0"), SSI_TMH), 0xFFFFu);  // ssi0's copy untouched
}

TEST_F(Periph, HostAndCodecRegistersByAddress) {
  make("73547");
  const int host = row("host");
  const int codec = row("codec");
  bus_write(0xFFE5, 0x4321);
  EXPECT_EQ(gets(host, {HOST_HTX, HOST_HRX}), (words{0x4321, 0}));
  bus_write(0xFFC4, 0xFF);
  EXPECT_EQ(get(host, HOST_HCR), 0x1Fu);  // only HF3, HF2 and the enables exist
  bus_write(0xFFC8, 0xFFFF);
  EXPECT_EQ(get(codec, CODEC_CONTROL), 0xFF3Fu);
  bus_write(0xFFE9, 0x7777);
  EXPECT_EQ(gets(codec, {CODEC_CTX, CODEC_CRX}), (words{0x7777, 0}));
  EXPECT_EQ(bus_read(0xFFE8), 0u);  // cosr: the ctx write cleared CTDE

  make("73583");
  const int codec583 = row("codec");
  bus_write(0xFFC7, 0xFFFF);
  bus_write(0xFFC8, 0xFFFF);
  EXPECT_EQ(gets(codec583, {CODEC_CCR0, CODEC_CONTROL}), (words{0xFF3F, 0xFD8F}));
  EXPECT_EQ(bus_read(0xFFE8), 0x4u);
}

TEST_F(Periph, RssiBitsThatDoNotExistStayClear) {
  make("73583");
  const int rssi0 = row("rssi0");
  bus_write(0xFFD0, 0xFFFF);
  bus_write(0xFFD1, 0xFFFF);
  EXPECT_EQ(gets(rssi0, {RSSI_CRA, RSSI_CRB}), (words{0xE7FF, 0xFFFC}));
}

// ---------------------------------------------------------------------------
// Resets.

TEST_F(Periph, DeviceResetGivesTheDocumentedValues) {
  make("73521");
  const int host = row("host"), ssi0 = row("ssi0"), timer = row("timer");
  const int portc = row("portc");
  for (uint32_t a : {0xFFC4u, 0xFFD0u, 0xFFD1u, 0xFFD0u + 0x22, 0xFFECu, 0xFFEDu, 0xFFC3u})
    bus_write(a, 0x5A5A);
  set(host, HOST_CVR, 0x81);
  set(host, HOST_ISR, 0);
  set(ssi0, SSI_SSR, 0x80);
  reset_device(0, 2);

  // cvr: host command vector 2 x 0x16 = 0x2C.
  EXPECT_EQ(gets(host, {HOST_HSR, HOST_CVR, HOST_ISR, HOST_IVR, HOST_ICR, HOST_HCR}),
            (words{0x02, 0x16, 0x06, 0x0F, 0, 0}));
  EXPECT_EQ(gets(ssi0, {SSI_CRA, SSI_CRB, SSI_SSR, SSI_RML, SSI_RMH, SSI_TML, SSI_TMH}),
            (words{0, 0, 0x40, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(gets(timer, {TIMER_TCR, TIMER_TCTR, TIMER_TPR, TIMER_TCPR}), words(4, 0));
  EXPECT_EQ(get(portc, PORT_DIRECTION), 0u);
  // Every register starts shown in hexadecimal, with no run marks.
  EXPECT_EQ(attr(host, HOST_CVR), 0x4000u);
}

TEST_F(Periph, CodecResetOnBothVariants) {
  make("73547");
  const int codec = row("codec");
  bus_write(0xFFC8, 0x4000);
  set(codec, CODEC_COSR, 0);
  cur_state->periph_entries[codec].class_word = 0x27;
  cls(codec).reset(codec, 0, -1);  // STOP: the converter only
  EXPECT_EQ(get(codec, CODEC_COSR), 0x4u);
  EXPECT_EQ(cur_state->periph_entries[codec].class_word, 0x26u);
  EXPECT_EQ(get(codec, CODEC_CONTROL), 0x4000u);
  cls(codec).reset(codec, 1, 2);
  EXPECT_EQ(get(codec, CODEC_CONTROL), 0u);

  make("73583");
  const int codec583 = row("codec");
  bus_write(0xFFC7, 0x1234);
  bus_write(0xFFC8, 0x4000);
  cls(codec583).reset(codec583, 0, -1);
  EXPECT_EQ(gets(codec583, {CODEC_CCR0, CODEC_CONTROL}), (words{0x1234 & 0xFF3F, 0x4000}));
  cls(codec583).reset(codec583, 1, 2);
  EXPECT_EQ(gets(codec583, {CODEC_CCR0, CODEC_CONTROL}), (words{0, 0}));
}

TEST_F(Periph, RssiResetClearsControlAndSetsTde) {
  make("73583");
  const int rssi1 = row("rssi1");
  bus_write(0xFFD8, 0x1234);
  set(rssi1, RSSI_SSR, 0xF8);
  reset_device(0, 2);
  EXPECT_EQ(gets(rssi1, {RSSI_CRA, RSSI_SSR}), (words{0, 0x40}));
}

TEST_F(Periph, StopResetKeepsRegisters) {
  make("73521");
  const int timer = row("timer"), portb = row("portb"), host = row("host");
  bus_write(0xFFEC, 0x8003);
  bus_write(0xFFC2, 0x00FF);
  bus_write(0xFFC4, 0x18);
  for (int p = 1; p < cur_type->periph_count; ++p) cls(p).reset(p, 0, -1);
  EXPECT_EQ(get(timer, TIMER_TCR), 0x8003u);
  EXPECT_EQ(get(portb, PORT_DIRECTION), 0x00FFu);
  EXPECT_EQ(get(host, HOST_HCR), 0x18u);
}

// ---------------------------------------------------------------------------
// Interrupt requests (timer: state words 11 overflow, 12 compare, 13 its
// priority bits).

TEST_F(Periph, TimerRequestsNeedPriorityBits) {
  make("73521");
  const int timer = row("timer");
  uint32_t* w = periph_words(timer);
  w[11] = 1;
  w[12] = 1;
  EXPECT_EQ(cls(timer).pending(timer), -1);
  EXPECT_EQ(w[11], 0u);  // requests without priority bits are dropped
  EXPECT_EQ(w[12], 0u);

  bus_write(0xFFDF, 0xFFFF);
  EXPECT_EQ(w[13], 0xC000u);
  w[11] = 1;
  w[12] = 1;
  // Overflow first; each acknowledged in turn.
  for (int vector : {0x20, 0x22}) {
    EXPECT_EQ(cls(timer).pending(timer), vector);
    cls(timer).acknowledge(timer, vector);
  }
  EXPECT_EQ(cls(timer).pending(timer), -1);

  w[11] = 1;
  cls(timer).reset(timer, 0, -1);  // STOP drops the requests too
  EXPECT_EQ(cls(timer).pending(timer), -1);
}

TEST_F(Periph, SerialRequestsInVectorOrder) {
  make("73547");
  const int ssi0 = row("ssi0"), ssi1 = row("ssi1");
  uint32_t* w0 = periph_words(ssi0);
  uint32_t* w1 = periph_words(ssi1);
  bus_write(0xFFDF, 0x0C00);  // priority bits for ssi0 only
  w0[SW_REQ_TX] = 1;
  w1[SW_REQ_TX] = 1;
  EXPECT_EQ(cls(ssi0).pending(ssi0), 0x16);
  EXPECT_EQ(cls(ssi1).pending(ssi1), -1);
  w0[SW_REQ_RX] = 1;
  for (int vector : {0x12, 0x16}) {
    EXPECT_EQ(cls(ssi0).pending(ssi0), vector);
    cls(ssi0).acknowledge(ssi0, vector);
  }
  EXPECT_EQ(cls(ssi0).pending(ssi0), -1);
  bus_write(0xFFDF, 0x3000);
  EXPECT_EQ(cls(ssi1).pending(ssi1), 0x1E);
}

// ---------------------------------------------------------------------------
// count.

TEST_F(Periph, CountCountersAreTheLiveWords) {
  make("73521");
  const int count = row("count");
  cur_inst->cycles = 500;
  EXPECT_EQ(get(count, COUNT_CYC), 500u);
  set(count, COUNT_CYC, 0);
  EXPECT_EQ(cur_inst->cycles, 0u);  // the count restarts from 0
  EXPECT_EQ(get(count, COUNT_CYC), 0u);
  set(count, COUNT_ICTR, 0);
  EXPECT_EQ(cur_inst->instructions, 0u);

  set(count, COUNT_CNT3, 0x12345);  // two halves, low first
  EXPECT_EQ(cur_state->cnt[2], 0x12345u);
  EXPECT_EQ(attr(count, COUNT_CNT3) & 0xA0000, 0xA0000u);

  uint32_t untouched = 0x77;
  EXPECT_EQ(cls(count).get(count, 9, &untouched), 1);
  EXPECT_EQ(untouched, 0x77u);
}

TEST_F(Periph, CountFlagsAreReadOnlyInEffect) {
  make("73521");
  const int count = row("count");
  cur_state->eof_flag = 1;
  set(count, COUNT_EOF, 0);
  EXPECT_EQ(get(count, COUNT_EOF), 1u);
  EXPECT_EQ(cur_state->eof_flag, 1u);
  cur_inst->device_words[DW_STOP_LATCH] = 1;
  set(count, COUNT_STOP, 0);
  EXPECT_EQ(get(count, COUNT_STOP), 1u);
  cur_state->jump_flag = 1;
  EXPECT_EQ(get(count, COUNT_JUMP), 1u);
  set(count, COUNT_JUMP, 0x12345);  // the shadow keeps only the valid 16 bits
  EXPECT_EQ(periph_words(count)[COUNT_JUMP], 0x2345u);
}

// The count peripheral is event-driven: it catches up from the cycles
// elapsed when it is observed, as its clock would have marked them.
TEST_F(Periph, CountCatchesUpWhatChanged) {
  make("73521");
  const int count = row("count");
  const uint32_t phase = cur_inst->device_words[DW_CYCLE_PHASE];
  EXPECT_EQ(cls(count).next_event(count), NO_EVENT);  // nothing watches it
  reset_run_flags();
  cur_inst->cycles += 3;
  catch_up_peripherals();
  EXPECT_EQ(cur_inst->device_words[DW_CYCLE_PHASE], phase ^ 1);  // odd elapsed count
  EXPECT_TRUE(attr(count, COUNT_CYC) & ATTR_WRITTEN);
  EXPECT_FALSE(attr(count, COUNT_ICTR) & ATTR_WRITTEN);
  EXPECT_FALSE(attr(count, COUNT_CNT1) & ATTR_WRITTEN);

  cur_inst->instructions = 5;
  cur_state->cnt[1] = 9;
  reset_run_flags();  // no cycle since the last update: seen at the next
  EXPECT_FALSE(attr(count, COUNT_ICTR) & ATTR_CHANGED);
  cur_inst->cycles += 2;
  catch_up_peripherals();
  EXPECT_EQ(cur_inst->device_words[DW_CYCLE_PHASE], phase ^ 1);
  EXPECT_TRUE(attr(count, COUNT_CYC) & ATTR_CHANGED);
  EXPECT_TRUE(attr(count, COUNT_ICTR) & ATTR_CHANGED);
  EXPECT_TRUE(attr(count, COUNT_CNT2) & ATTR_CHANGED);
  EXPECT_FALSE(attr(count, COUNT_CNT1) & ATTR_CHANGED);
  EXPECT_EQ(periph_words(count)[COUNT_ICTR], 5u);

  cur_inst->instructions = 6;
  cur_state->eof_flag = 1;  // flags are never compared
  reset_run_flags();
  catch_up_peripherals();  // no cycle elapsed: no marks
  EXPECT_FALSE(attr(count, COUNT_CYC) & ATTR_CHANGED);
  EXPECT_FALSE(attr(count, COUNT_EOF) & ATTR_CHANGED);
  cur_inst->cycles += 1;
  catch_up_peripherals();
  EXPECT_TRUE(attr(count, COUNT_ICTR) & ATTR_CHANGED);
  EXPECT_FALSE(attr(count, COUNT_CNT2) & ATTR_CHANGED);
}

// A stream on a counter makes it clock every cycle, with the same marks.
TEST_F(Periph, CountWatchedByAStreamClocksEveryCycle) {
  make("73521");
  const int count = row("count");
  periph_attrs(count)[COUNT_ICTR] |= ATTR_OUT_UNTIMED;
  EXPECT_EQ(cls(count).next_event(count), 0u);
  const uint32_t phase = cur_inst->device_words[DW_CYCLE_PHASE];
  reset_run_flags();
  cls(count).clock(count);
  cur_inst->cycles += 1;
  catch_up_peripherals();  // the clock did this cycle already
  EXPECT_EQ(cur_inst->device_words[DW_CYCLE_PHASE], phase ^ 1);
  EXPECT_TRUE(attr(count, COUNT_CYC) & ATTR_WRITTEN);
}

// ---------------------------------------------------------------------------
// Ports.

TEST_F(Periph, PortRegistersLieAtTheirAddresses) {
  make("73521");
  const int portb = row("portb"), portc = row("portc");
  const struct {
    int port, reg;
    uint32_t address, value;
  } regs[] = {{portb, PORT_DIRECTION, 0xFFC2, 0x0F0F}, {portb, PORT_DATA, 0xFFE2, 0x00F0},
              {portc, PORT_DIRECTION, 0xFFC3, 0x0A0A}, {portc, PORT_DATA, 0xFFE3, 0x0505}};
  for (const auto& r : regs) bus_write(r.address, r.value);
  for (const auto& r : regs) EXPECT_EQ(periph_words(r.port)[r.reg], r.value) << std::hex << r.address;
  EXPECT_EQ(bus_read(0xFFC2), 0x0F0Fu);
  EXPECT_EQ(bus_read(0xFFC3), 0x0A0Au);
  bus_write(0xFFC1, 0x0C00);
  bus_write(0xFFC0, 0);
  EXPECT_EQ(get(portc, PORT_CONTROL), 0x0C00u);
  EXPECT_EQ(bus_read(0xFFC1), 0x0C00u);
  EXPECT_EQ(get(portb, PORT_CONTROL), 0u);
}

TEST_F(Periph, PortKeepsOnlyBitsOfOwnedPins) {
  make("73521");
  const int portb = row("portb"), portc = row("portc");
  bus_write(0xFFC3, 0xFFFF);
  EXPECT_EQ(periph_words(portc)[PORT_DIRECTION], 0x0FFFu);  // pc0-pc11
  bus_write(0xFFC2, 0xFFFF);
  EXPECT_EQ(periph_words(portb)[PORT_DIRECTION], 0x7FFFu);  // pb0-pb14
}

TEST_F(Periph, PortControlHandsPinsToTheirPeripherals) {
  make("73521");
  const int ssi0 = row("ssi0"), ssi1 = row("ssi1"), timer = row("timer");
  bus_write(0xFFC1, 0x0C1F);  // ssi0's five pins and the timer's two
  EXPECT_EQ(bus_read(0xFFC1), 0x0C1Fu);
  // Each owner keeps its share; ssi1 has none and is reset to a frame start.
  for (const auto& [owner, expected] : {std::pair{ssi0, 0x1Fu}, {ssi1, 0u}, {timer, 0x0C00u}}) {
    uint32_t share = 0;
    cls(owner).bus_read(owner, 0xFFC1, &share, 0);
    EXPECT_EQ(share, expected) << cur_type->periphs[owner].name;
  }
}

TEST_F(Periph, HostTakesAllOfPortBWithOneBit) {
  make("73521");
  const int portb = row("portb");
  uint32_t* block = pins(2);
  bus_write(0xFFC0, 1);
  EXPECT_EQ(bus_read(0xFFC0), 1u);
  EXPECT_EQ(get(portb, PORT_CONTROL), 1u);
  EXPECT_EQ(periph_words(portb)[PORT_CONTROL], 0x7FFFu);
  // No general-purpose pins remain: a data write drives nothing.
  const uint32_t driven = block[PIN_DRIVEN];
  bus_write(0xFFC2, 0x7FFF);
  bus_write(0xFFE2, 0x7FFF);
  EXPECT_EQ(block[PIN_DRIVEN], driven);
}

TEST_F(Periph, PortDataDrivesOutputPins) {
  make("73521");
  uint32_t* block = pins(3);
  bus_write(0xFFC1, 0);
  bus_write(0xFFC3, 0x0F);
  bus_write(0xFFE3, 0xFF);
  EXPECT_EQ(block[PIN_DRIVEN] & 0x0FFF, 0x00Fu);  // pc0-pc3 driven, pc4-pc11 not
  EXPECT_EQ(block[PIN_DRIVEN_LEVEL] & 0x0FFF, 0x00Fu);
  bus_write(0xFFE3, 0x05);
  EXPECT_EQ(block[PIN_DRIVEN_LEVEL] & 0x0FFF, 0x005u);
  bus_write(0xFFC3, 0x03);  // pc2, pc3 become inputs and are released
  EXPECT_EQ(block[PIN_DRIVEN] & 0x0FFF, 0x003u);
  EXPECT_EQ(block[PIN_DRIVEN_LEVEL] & 0x0FFF, 0x001u);
}

TEST_F(Periph, PortDataReadsInputsFromThePins) {
  make("73521");
  const int portc = row("portc");
  uint32_t* block = pins(3);
  bus_write(0xFFC1, 0);
  bus_write(0xFFC3, 0x0F);
  bus_write(0xFFE3, 0x05);
  set_pin_word(block, PIN_LEVEL, 0x0FF0);
  EXPECT_EQ(bus_read(0xFFE3), 0x0FF5u);  // outputs from pcd, inputs from the pins
  EXPECT_EQ(get(portc, PORT_DATA), 0x0FF5u);
  // Every pin handed over or an output: pcd as it stands.
  bus_write(0xFFC1, 0x0FF0);
  EXPECT_EQ(bus_read(0xFFE3), 0x0005u);
}

TEST_F(Periph, PortSetMarksAndResetClears) {
  make("73521");
  const int portc = row("portc");
  reset_run_flags();
  uint32_t value = 0x0123;
  EXPECT_EQ(cls(portc).set(portc, PORT_DIRECTION, &value), 1);
  EXPECT_EQ(get(portc, PORT_DIRECTION), 0x0123u);
  EXPECT_EQ(attr(portc, PORT_DIRECTION) & 0xA0000, 0xA0000u);
  cls(portc).reset(portc, 2, -1);
  EXPECT_EQ(periph_words(portc)[PORT_DIRECTION], 0u);
}

// ---------------------------------------------------------------------------
// Run marks.

TEST_F(Periph, ResetRunFlagsClearsTheMarks) {
  make("73547");
  const int timer = row("timer"), codec = row("codec");
  bus_write(0xFFEC, 1);
  bus_write(0xFFC8, 1);
  periph_attrs(codec)[CODEC_COSR] |= ATTR_READ | ATTR_READ_SINCE;
  periph_attrs(timer)[TIMER_TPR] |= ATTR_OUT_UNTIMED;
  cur_inst->flags = DEV_STOP | DEV_PC_WRITTEN;
  cur_state->run_word = 7;
  const int io = row_of(SPACE_XI, 0xFFEC);
  ASSERT_GT(cur_state->region_logs[io].writes.run_count, 0u);
  cur_state->region_logs[io].reads.run_count = 3;

  reset_run_flags();
  for (int p = 0; p < cur_type->periph_count; ++p)
    for (int r = 0; r < cls(p).reg_count; ++r)
      EXPECT_EQ(attr(p, r) & ATTR_RUN_MARKS, 0u) << cur_type->periphs[p].name << " " << r;
  EXPECT_EQ(attr(timer, TIMER_TCR), 0x4000u);  // display bits stay
  EXPECT_EQ(attr(timer, TIMER_TPR), 0x4000u | ATTR_OUT_UNTIMED);
  EXPECT_EQ(cur_inst->flags, 0u);
  EXPECT_EQ(cur_state->run_word, 0u);
  EXPECT_EQ(cur_state->region_logs[io].writes.run_count, 0u);
  EXPECT_EQ(cur_state->region_logs[io].reads.run_count, 0u);
}

}  // namespace
