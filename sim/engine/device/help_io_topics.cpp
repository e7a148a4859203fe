// The I/O file format topics of the peripherals that streams can feed or
// record: what an input file for the peripheral holds and what an output
// stream of it writes.
#include "sim/engine/device/help_topics.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// Help lines as an array, and arrays of lines joined into one.
template <class... T>
constexpr std::array<const char*, sizeof...(T)> lines(T... text) {
  return {text...};
}
template <std::size_t... N>
constexpr std::array<const char*, (N + ...)> join(const std::array<const char*, N>&... parts) {
  std::array<const char*, (N + ...)> out{};
  std::size_t at = 0;
  ((std::copy(parts.begin(), parts.end(), out.begin() + at), at += N), ...);
  return out;
}

// The ssi and rssi topics differ in a few lines: each is built from the
// shared parts and its own.
constexpr std::array serial_part1 = {
    "supplies the words that the port receives on its srd pin.",
    "One value is taken each time the port completes a received",
    "word and finds RDF clear; the value becomes the rx register.",
    "",
    "The port asks for its words itself, so an untimed file is",
    "read one value per received word, however many cycles lie",
    "between the words.  A timed file gives each word the cycle",
    "count from which it may be received; relative times (+n)",
    "count received words, not cycles.",
    "",
    "Values are hexadecimal unless the input command names another",
    "radix (-rb, -rd, -rf, -rh, -ru).  A single value may override",
    "the radix with a prefix: $ hexadecimal, % binary, ` decimal.",
    "A float value (one with a decimal point) is converted to the",
    "fractional format of the word.",
    "",
    "The word idle stands for an idle time slot: nothing is",
};
constexpr std::array serial_part2 = {
    "",
    "Values may be repeated: 5 # 3 gives the value 5 three times.",
    "A group in brackets is repeated as a whole: ( 1 2 ) # 4 gives",
    "the sequence 1 2 four times; a group closed by ) without a",
    "count repeats for ever.  Groups may be nested.  A semicolon",
    "starts a comment that runs to the end of the line.",
    "",
    "When the file ends, the last value is received again at every",
    "later word and the eof register reads 1.",
    "",
};
constexpr std::array serial_part3 = {
    "word that the port transmits on its std pin, one per line,",
    "in the radix of the output command (hexadecimal by default).",
    "",
    "A slot in which nothing was transmitted is written as IDLE.",
    "Untimed output lines may carry a gap mark #n: the number of",
    "cycles from this word to the next.  Timed output lines start",
    "with the cycle count at which the word was sent.",
    "",
    "EXAMPLES",
    "",
};
constexpr std::array serial_part4 = {
    "",
    "    ; two samples, then an idle slot",
    "    $1234 $5678",
    "    idle",
    "    ( 0 $7fff ) # 8   ; eight pairs",
    "",
    "A timed input file; the first word may be received from",
    "cycle 100 on, the next two 40 words later each:",
    "",
    "    100 $0400",
    "    +40 -0.5",
    "    +40 $fc00",
    "",
    "A file of fractional values for a port read with -rf:",
    "",
    "    0.25 0.5 -0.25 -0.5",
    "",
    "The commands that assign them:",
    "",
};

constexpr auto ssi_lines =
    join(lines("When assigned to an SSI peripheral, the input file"), serial_part1,
         lines("received in that slot and rx reads 0 for it.  Idle slots",
               "matter in network mode, where each frame holds DC+1 slots."),
         serial_part2, lines("An output stream assigned to an SSI peripheral records every"), serial_part3,
         lines("An untimed input file for ssi0, one word per received slot:"), serial_part4,
         lines("    input ssi0 words.io", "    input t ssi0 words.tio", "    output ssi0 sent.io -rh -o"));

constexpr auto rssi_lines =
    join(lines("When assigned to an RSSI peripheral, the input file"), serial_part1,
         lines("received in that slot and rx reads 0 for it.  The RSSI has",
               "no companding and no IF bits; SHFD reverses the bit order."),
         serial_part2, lines("An output stream assigned to an RSSI peripheral records every"), serial_part3,
         lines("An untimed input file for rssi0, one word per received slot:"), serial_part4,
         lines("    input rssi0 words.io", "    input t rssi1 words.tio", "    output rssi0 sent.io -rh -o"));

constexpr const char* codec_lines[] = {
    "The codec accepts and produces only floating point i/o",
    "values: voltages.  An input value is the analog voltage on",
    "both the mic and the aux input; the converter multiplies the",
    "selected input by the gain chosen in MGS1-MGS0 and limits the",
    "product to -1.0 .. +1.0.",
    "",
    "One input value is taken at every converter step while COE",
    "is set, from an untimed file first, else from a timed file",
    "when a value falls due.  Relative times (+n) in a timed file",
    "count converter steps, not device cycles.",
    "Values are read as floating point numbers whatever the radix",
    "of the input command.  Analog pin streams on mic and aux",
    "(input mic volts.io -rf) set those pins directly instead.",
    "",
    "Values may be repeated: 0.5 # 100 gives the value 0.5 a",
    "hundred times.  A group in brackets is repeated as a whole:",
    "( 0.5 -0.5 ) # 10; a group closed by ) without a count",
    "repeats for ever.  A semicolon starts a comment.",
    "When the file ends, the last voltage is taken again at every",
    "later step and the eof register of the count peripheral",
    "reads 1.",
    "",
    "An output stream assigned to the codec records the speaker",
    "voltage once every four converter steps: 2.0 plus twice the",
    "output level, between 0.0 and 4.0, printed as %13f.  While",
    "MUT is clear the output is muted and every line reads",
    "2.000000.  Untimed output lines hold one voltage each;",
    "timed lines start with the cycle count at which it was",
    "written.",
    "",
    "EXAMPLES",
    "",
    "An untimed input file: a square wave of amplitude 0.5,",
    "eight steps high and eight steps low, for ever:",
    "",
    "    ( 0.5 # 8 -0.5 # 8 )",
    "",
    "A timed input file: silence, then a step at cycle 5000:",
    "",
    "    0 0.0",
    "    5000 0.75",
    "",
    "The commands that assign them:",
    "",
    "    input codec wave.io",
    "    output codec speaker.io -o",
};

constexpr const char* host_io_lines[] = {
    "Input data words assigned to the host peripheral contain a host",
    "bus pin word: the levels of the fifteen port B pins that the",
    "host interface uses, relative to pb0.  One word is taken every",
    "cycle while the interface is enabled (bit 0 of pbc set).",
    "Bits above bit 14 of an input word are ignored.",
    "",
    "The bits of a pin word:",
    "    bit 14      HACK  host acknowledge (active low)",
    "    bit 13      HREQ  host request, driven by the DSP",
    "    bit 12      HEN   host enable (active low)",
    "    bit 11      HRW   host read (1) or write (0)",
    "    bits 10-8   HA2-HA0  host register address 0-7",
    "    bits 7-0    H7-H0 data byte",
    "",
    "The host register addresses are: 0 icr, 1 cvr, 2 isr,",
    "3 ivr, 4 and 5 unused, 6 rxh/txh, 7 rxl/txl.",
    "",
    "A host bus cycle takes two input words: the first with HEN",
    "low, carrying HRW and the address; the second with HEN high",
    "again.  For a write the data byte is taken from H7-H0 when",
    "HEN rises, so the second word carries the data as well.",
    "For a read the register appears on H7-H0 while HEN is low;",
    "the output stream shows it.",
    "",
    "Write a word to the DSP with two writes: txh (address 6),",
    "then txl (address 7).  Read a word with two reads: rxh",
    "(address 6), then rxl (address 7), which clears RXDF.",
    "Writing cvr with HC set sends a host command.",
    "In DMA mode (DMA set in isr) the host moves the bytes with",
    "HACK instead of HEN, in the direction that icr selects.",
    "HEN and HACK both high leave the host bus idle.",
    "",
    "Values are hexadecimal unless the input command names another",
    "radix; a value may carry the prefix $, % or ` as well.",
    "Values may be repeated with #n, and groups in brackets are",
    "repeated as a whole; a semicolon starts a comment.  Repeating",
    "a word holds the pins for that many cycles.",
    "",
    "When the file ends, the last pin word stays on the pins and",
    "the eof register of the count peripheral reads 1.",
    "",
    "An output stream assigned to the host peripheral records the",
    "pin word that the interface drives whenever it changes: HREQ",
    "and, during a host read, the data byte.  Each untimed line",
    "carries a gap mark #n, the cycles since the previous line.",
    "Timed output lines start with the cycle count instead.",
    "",
    "EXAMPLES",
    "",
    "Write the word $1234 to the DSP (HACK high, HEN pulsed low):",
    "    ; address 6 (txh): HEN low, then high with the data",
    "    $4612 $5612",
    "    ; address 7 (txl)",
    "    $4734 $5734",
    "    ; bus idle: HEN high for 20 cycles",
    "    $5000 # 20",
    "",
    "Read the word from rxh and rxl (HRW high):",
    "    $4e00 $5e00   ; rxh",
    "    $4f00 $5f00   ; rxl",
    "    $5800 # 10",
    "",
    "Send host command vector $12 through cvr (address 1):",
    "    $4192 $5192",
    "",
    "Poll isr (address 2) until TXDE, a group repeated for ever:",
    "    ( $4a00 $5a00 $5800 # 5 )",
    "",
    "A timed file: a write of txh at cycle 100 and of txl at 110:",
    "    100 $4612",
    "    +1 $5612",
    "    110 $4734",
    "    +1 $5734",
    "",
    "The commands that assign them:",
    "    input host hostin.io",
    "    input t host hostin.tio",
    "    output host hostout.io -o",
    "    output t host hostout.tio -a",
    "",
    "The pin word in the output shows HREQ in bit 13 and the",
    "data byte of a read in bits 7-0.",
};

constexpr const char* port_io_lines[] = {
    "The port data value may be represented in hexadecimal,",
    "binary, decimal or unsigned form, chosen with the radix",
    "option of the input command (-rh, -rb, -rd, -ru); without",
    "one it is hexadecimal.  A single value may override the",
    "radix with a prefix: $ hexadecimal, % binary, ` decimal.",
    "",
    "Each bit of a value gives the level of one pin of the port,",
    "bit 0 for pb0 or pc0: portb has fifteen pins (pb0-pb14),",
    "portc twelve (pc0-pc11).  Only general-purpose input pins",
    "(control bit 0, data direction bit 0) are read by the",
    "program; pins handed to a peripheral take their levels from",
    "that peripheral's own streams.",
    "",
    "An untimed stream on portb is advanced every cycle and drives",
    "the pins with its value.  An untimed stream on portc is",
    "advanced only when the program reads pcd; reading pbd",
    "advances a portb stream as well.  A timed stream drives the",
    "pins with its current value every cycle from the cycle at",
    "which the value falls due.",
    "",
    "Values may be repeated: $ff # 10 holds the value for ten",
    "values.  A group in brackets is repeated as a whole:",
    "( 1 2 ) # 4; a group closed by ) without a count repeats for",
    "ever.  A semicolon starts a comment.",
    "",
    "When the file ends, the last value stays on the pins and the",
    "eof register of the count peripheral reads 1.",
    "",
    "Single pins and groups of pins take pin data instead: one",
    "character per pin, 0 or l low, 1 or h high, x undefined;",
    "p and n set a pin low or high after the opposite level.",
    "",
    "An output stream assigned to a port records the levels of",
    "its general-purpose output pins (data register AND data",
    "direction register) at every write of the data register,",
    "one value per line in the radix of the output command.",
    "Timed output lines start with the cycle count.  Untimed",
    "output starts a new line before each value, so such a file",
    "starts with an empty line.",
    "",
    "EXAMPLES",
    "",
    "An untimed file for portc, read by the program:",
    "    ; three readings, then a pattern for ever",
    "    $001 $002 $004",
    "    ( $800 $400 )",
    "",
    "A timed file for portb: pb0 high at cycle 50, low at 80:",
    "    50 $0001",
    "    80 $0000",
    "",
    "A binary file read with -rb:",
    "    %101 %010 101 010",
    "",
    "The commands that assign them:",
    "",
    "    input portc readings.io",
    "    input t portb levels.tio",
    "    output portc written.io -o",
};

constexpr help_topic ssi_topic[] = {
    {"ssi", ssi_lines, "I/O file format for ssi peripheral", nullptr, nullptr}};
constexpr help_topic rssi_topic[] = {
    {"rssi", rssi_lines, "I/O file format for rssi peripheral", nullptr, nullptr}};
constexpr help_topic codec_topic[] = {
    {"codec", codec_lines, "I/O file format for codec", nullptr, nullptr}};
constexpr help_topic host_topic[] = {
    {"hostio", host_io_lines, "I/O file format for host port", nullptr, nullptr}};
constexpr help_topic port_topic[] = {
    {"portio", port_io_lines, "I/O file format for portb or portc", nullptr, nullptr}};

}  // namespace

const help_table ssi_help_table{ssi_topic};
const help_table rssi_help_table{rssi_topic};
const help_table codec_help_table{codec_topic};
const help_table host_help_table{host_topic};
const help_table port_help_table{port_topic};
