// The demo's FIR filter (demo/fir.cmd) with a jump back to its start in
// place of the final debug, so that it runs for as long as wanted: moves,
// a DO loop, a repeat, mac and stores. The benchmark and the engine
// comparison both run it.
#pragma once

#include <cstdint>
#include <utility>

struct fir_line {
  uint32_t address;
  const char* text;
};
constexpr fir_line fir_program[] = {
    {0x100, "move #$0,r1"},
    {0x102, "move #$80,r2"},
    {0x104, "do #8,$110"},
    {0x106, "move r1,r0"},
    {0x107, "move #$40,r3"},
    {0x109, "clr a x:(r0)+,y0"},
    {0x10a, "move x:(r3)+,x0"},
    {0x10b, "rep #3"},
    {0x10c, "mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0"},
    {0x10d, "macr y0,x0,a"},
    {0x10e, "move a,x:(r2)+"},
    {0x10f, "lea (r1)+,r1"},
    {0x110, "jmp >$100"},
};
// Coefficients 0.5, 0.25, 0.125, 0.0625 and a pulse of 0.5 at s[3]: the
// fourth output, x:$83, is c0 * 0.5 = 0.25 ($2000).
constexpr std::pair<uint32_t, uint32_t> fir_data[] = {
    {0x40, 0x4000}, {0x41, 0x2000}, {0x42, 0x1000}, {0x43, 0x0800}, {0x03, 0x4000}};
