// The help topics of the family and the I/O file format topics of the
// peripherals that streams can feed or record.
#include "sim/engine/device/help_topics.h"

#include <array>

namespace {

// --- Family topics -------------------------------------------------------------
constexpr const char* int_lines[] = {
    "     Interrupt Start Addresses and Interrupt Source",
    "$e000  Hardware Reset                 $001A  SSI1 Receive Data",
    "$0000  Hardware Reset                 $001C  SSI1 Transmit with Exception",
    "$0002  Illegal Instruction            $001E  SSI1 Transmit Data",
    "$0004  Stack Error                    $0020  Timer Overflow",
    "$0006  Reserved                       $0022  Timer Compare",
    "$0008  SWI                            $0024  Host DMA Receive Data",
    "$000A  IRQA                           $0026  Host DMA Transmit Data",
    "$000C  IRQB                           $0028  Host Receive Data",
    "$000E  IRQC (73583 only)              $002A  Host Transmit Data",
    "$0010  SSI0 Receive with Exception    $002C  Host Command (default)",
    "$0012  SSI0 Receive Data              $002E  Codec Rec/Xmit (73547/83 only)",
    "$0014  SSI0 Transmit with Exception   $0030  Pagu PAC0 (73583 only)",
    "$0016  SSI0 Transmit Data             $0032  Pagu PAC1 (73583 only)",
    "$0018  SSI1 Receive with Exception    $0034  Pagu PAC2 (73583 only)",
};
constexpr const char* mod_lines[] = {
    "  MMMM   Address Calculation Arithmetic",
    "+------+-------------------------------------+",
    "  0000   Reverse Carry (Bit Reversed Update)",
    "  0001   Modulo      2  ",
    "  0002   Modulo      3  ",
    "     .         .         .",
    "  FFFE   Modulo   65,535 ((2**16)-1)",
    "  FFFF   Linear   (Modulo 2**16)",
};
constexpr const char* mode_lines[] = {
    "  Mode   MB MA     DSP73521 Initial Chip Operating Mode",
    "+------+--------+-----------------------------------------------+",
    "   0      0  0     Special Bootstrap Mode 1",
    "   1      0  1     Special Bootstrap Mode 2",
    "   2      1  0     Normal Expanded",
    "   3      1  1     Development Expanded",
};
constexpr const char* port_lines[] = {
    "addr or abus or porta :Port A address",
    "data or dbus or portd :Port A data",
    "imc                   :Interrupt and Mode Control Pins",
    "ctrl                  :Bus Control Signals",
};
constexpr const char* host_lines[] = {
    "    HOST INTERFACE 73509 ADDRESS MAP",
    "+-------------+------------+------------+",
    "  ADDR  (HEX)   73509 READ  73509 WRITE",
    "+-------------+------------+------------+",
    "  X:$FFC4          HCR         HCR",
    "  X:$FFE4          HSR         ----",
    "  X:$FFE5          HRX         HTX",
    "+-------------+------------+------------+",
};

constexpr help_topic family_topics[] = {
    {"int", int_lines, "list of interrupt vector addresses", nullptr, nullptr},
    {"mod", mod_lines, "summary of address alu modifier modes", nullptr, nullptr},
    {"mode", mode_lines, "initial chip operating mode summary", nullptr, nullptr},
    {"port", port_lines, "list of port names with index and mask", nullptr, nullptr},
    {"host", host_lines, "host port register and address info", nullptr, nullptr},
};

}  // namespace

const help_table family_help_table{family_topics};
