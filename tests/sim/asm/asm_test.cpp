// The single-line assembler: words worked out by hand from the instruction
// layouts for each class, addressing mode and move form, and the message
// of each kind of bad line.
#include <string>

#include "asm_fixture.h"

namespace {

using assembler = asm_fixture;

}  // namespace

// --- The driver ------------------------------------------------------------------

TEST_F(assembler, empty_and_comment_lines_give_no_words) {
  parse_error_text = nullptr;
  EXPECT_EQ(assemble_line("", 0), 0);
  EXPECT_EQ(assemble_line("   \t ", 0), 0);
  EXPECT_EQ(assemble_line("  ; a comment", 0), 0);
  EXPECT_EQ(asm_word_count, 0);
  EXPECT_EQ(parse_error_text, nullptr);
}

TEST_F(assembler, mnemonics_are_looked_up_without_case) {
  EXPECT_EQ(words("NOP"), words_t{0x0000});
  EXPECT_EQ(words("  Illegal"), words_t{0x000F});
  EXPECT_EQ(words("ABS A"), words_t{0x4A71});
  EXPECT_EQ(refusal("bogus a"), "Unrecognized mnemonic");
  EXPECT_EQ(refusal("abcdefghijklmnopq"), "Unrecognized mnemonic");
}

TEST_F(assembler, conditional_families_and_their_aliases) {
  EXPECT_EQ(words("bhs r0"), words("bcc r0"));
  EXPECT_EQ(words("bneq r0"), words("bne r0"));
  EXPECT_EQ(words("blo r0"), words("bcs r0"));
  EXPECT_EQ(words("brkcs"), words_t{0x0118});
  EXPECT_EQ(words("debuglo"), words_t{0x0058});
  EXPECT_EQ(words("repne"), words_t{0x0152});
}

TEST_F(assembler, fields_the_instruction_does_not_take) {
  for (const char* line : {"nop x0,a", "rts x0", "add x0,a x:(r0)+,y0 x:(r3)+,x0 extra", "move a,x0 b,y0"})
    EXPECT_EQ(refusal(line), "Too many fields specified for instruction") << line;
  EXPECT_EQ(refusal("move"), "Not enough fields specified for instruction");
  EXPECT_EQ(refusal("move x:(r0)+,y0 x:(r3)+,x0 x0,a"), "Too many fields specified for instruction");
  // enddo takes no operand; one written is not silently dropped.
  EXPECT_EQ(words("enddo"), words_t{0x0009});
  EXPECT_EQ(refusal("enddo x0"), "Too many fields specified for instruction");
}

TEST_F(assembler, no_move_form_is_marked) {
  // ALU operations that may take moves get the no-move transfer code.
  EXPECT_EQ(words("clr b"), words_t{0x4A09});
  EXPECT_EQ(words("add x0,a"), words_t{0x4A04});
  // Those that take none keep their word.
  EXPECT_EQ(words("ext b"), words_t{0x155A});
}

// --- Operands ----------------------------------------------------------------------

TEST_F(assembler, operand_form_messages) {
  EXPECT_EQ(refusal("abs"), "Syntax error - missing address mode specifier");
  EXPECT_EQ(refusal("abs x0"), "Invalid register specified");
  EXPECT_EQ(refusal("abs ab"), "Only register direct addressing allowed");
  EXPECT_EQ(refusal("abs a,b"), "Address mode syntax error - extra characters");
  EXPECT_EQ(refusal("add x0 a"), "Address mode syntax error - expected comma");
  EXPECT_EQ(refusal("jmp #5"), "Immediate addressing mode not allowed");
  EXPECT_EQ(refusal("andi x0,ccr"), "Immediate operand required");
  EXPECT_EQ(refusal("lea $5,r0"), "Only register indirect addressing allowed");
}

TEST_F(assembler, indirect_form_messages) {
  EXPECT_EQ(refusal("move x:(r0,x0"), "Address mode syntax error - expected ')'");
  EXPECT_EQ(refusal("move x:(r0)x,x0"), "Address mode syntax error - expected '+' or '-'");
  EXPECT_EQ(refusal("move x:(r0)+q,x0"), "Address mode syntax error - probably missing ')'");
  EXPECT_EQ(refusal("move x:(r0)-n0,x0"), "Address mode syntax error - expected comma or end of field");
  EXPECT_EQ(refusal("move x:(r0-n0),x0"), "Address mode syntax error - expected '+'");
  EXPECT_EQ(refusal("lea -(r0),r1"), "Pre-decrement addressing mode not allowed");
  EXPECT_EQ(refusal("lea (r0+n0),r1"), "Indexed address mode not allowed");
  EXPECT_EQ(refusal("lea (r2+5),r1"), "Displacement address mode not allowed");
  EXPECT_EQ(refusal("move x:(r1+5),x0"), "Register displacement valid only with address register R2");
  EXPECT_EQ(refusal("move x:(r1)+n0,x0"), "Offset register number must be the same as address register number");
  EXPECT_EQ(refusal("move x:(r1+n0),x0"), "Offset register number must be the same as address register number");
}

TEST_F(assembler, offset_register_n_stands_for_the_matching_one) {
  // x:(r0)+n read into x0: row 7 with the read bit, MM 3.
  EXPECT_EQ(words("move x:(r0)+n,x0"), words_t{0x3C0C});
  EXPECT_EQ(words("move x:(r0)+N0,x0"), words_t{0x3C0C});
}

TEST_F(assembler, memory_space_prefixes) {
  EXPECT_EQ(refusal("move (r0),x0"), "Missing memory space specifier");
  EXPECT_EQ(refusal("do y:(r0),*+5"), "Illegal memory space");
  for (const char* line : {"move r0,p:(r1)", "do p:(r0),*+5", "move x:(r0)+,y0 p:(r3)+,x0"})
    EXPECT_EQ(refusal(line), "Illegal memory space specified - P:") << line;
  EXPECT_EQ(words("move X:(r0),x0"), words_t{0x3C00});
}

TEST_F(assembler, immediate_checks) {
  EXPECT_EQ(refusal("rep #-1"), "Negative immediate value not allowed");
  EXPECT_EQ(refusal("rep #256"), "Immediate value too large");
  EXPECT_EQ(refusal("rep #0.5"), "Floating point value not allowed");
  EXPECT_EQ(words("rep #$ff"), words_t{0x0FFF});
  // Where a long immediate is allowed, a fraction becomes its word.
  EXPECT_EQ(words("move #0.5,x0"), (words_t{0x3C1C, 0x4000}));
}

TEST_F(assembler, short_and_long_immediates) {
  EXPECT_EQ(words("move #$12,x0"), words_t{0x2012});
  EXPECT_EQ(words("move #-128,y1"), words_t{0x2380});
  EXPECT_EQ(words("move #>$12,x0"), (words_t{0x3C1C, 0x0012}));
  EXPECT_EQ(words("move #128,x0"), (words_t{0x3C1C, 0x0080}));
  // Only x0-y1 have the short form.
  EXPECT_EQ(words("move #$12,r0"), (words_t{0x3E1C, 0x0012}));
}

TEST_F(assembler, absolute_forms) {
  // Short and I/O short both allowed: $ffe5 takes the I/O form.
  EXPECT_EQ(words("bfset #1,x:$ffe5"), (words_t{0x14E5, 0x3801}));
  EXPECT_EQ(words("bfset #1,x:$1f"), (words_t{0x14DF, 0x3801}));
  EXPECT_EQ(refusal("bfset #1,x:$40"), "Absolute address must be either short or I/O short");
  EXPECT_EQ(refusal("bfset #1,x:<<$10"), "Absolute address too small to use I/O short");
  EXPECT_EQ(refusal("bfset #1,x:<$40"), "Absolute address too large to use short");
  EXPECT_EQ(refusal("bfset #1,x:>$40"), "Long absolute address cannot be used");
  EXPECT_EQ(refusal("movep x:(r0)+,x:$ff00"), "Short I/O absolute address too small");
  // Long, short and I/O short: the long form for what fits neither.
  EXPECT_EQ(words("move x0,x:<$10"), words_t{0x1810});
  EXPECT_EQ(words("move x0,x:$1234"), (words_t{0x3814, 0x1234}));
  EXPECT_EQ(words("move x0,x:>$10"), (words_t{0x3814, 0x0010}));
  EXPECT_EQ(words("move a,x:$ffe0"), words_t{0x18A0});
}

TEST_F(assembler, displacements_are_those_an_instruction_holds) {
  EXPECT_EQ(words("move x:(r2+5),x0"), (words_t{0x0505, 0x3C00}));
  EXPECT_EQ(words("move x:(r2+$7f),x0"), (words_t{0x057F, 0x3C00}));
  EXPECT_EQ(words("move x:(r2-$80),x0"), (words_t{0x0580, 0x3C00}));
  EXPECT_EQ(words("move x:(r2+$ff80),x0"), (words_t{0x0580, 0x3C00}));
  for (const char* line : {"move x:(r2+$80),x0", "move x:(r2-$81),x0", "move x:(r2+$ff7f),x0"})
    EXPECT_EQ(refusal(line), "Displacement out of range (-128 to 127)") << line;
}

// --- Branches, jumps, loops ----------------------------------------------------------

TEST_F(assembler, branch_forms_by_distance) {
  // 100 ahead: bra takes its 8-bit form, bcc (6-bit or long) the long one.
  EXPECT_EQ(words("bra *+100"), words_t{0x0B63});
  EXPECT_EQ(words("bcc *+100"), (words_t{0x0730, 0x0062}));
  // 20 ahead fits bcc's 6-bit form: the condition at bits 9-6.
  EXPECT_EQ(words("bgt *+20", 0x100), words_t{0x2DD3});
  EXPECT_EQ(words("bra *-5", 0x10), words_t{0x0BFA});
  EXPECT_EQ(words("bra >*+5"), (words_t{0x013C, 0x0003}));
  EXPECT_EQ(words("bsr $10", 0x20), (words_t{0x0138, 0xFFEE}));
  // Register forms: TT at bit 6 for the conditional ones, bit 0 else.
  EXPECT_EQ(words("bscs r3"), words_t{0x07C8});
  EXPECT_EQ(words("bsr r1"), words_t{0x0129});
  EXPECT_EQ(words("bra (r2)"), words_t{0x012E});
}

TEST_F(assembler, relative_targets_wrap_at_64k) {
  // From $0100, "*+$ff02" is $0002: the loop end behind the do.
  EXPECT_EQ(words("do #5,*+$ff02", 0x100), (words_t{0x0E05, 0xFF00}));
  EXPECT_EQ(words("bra *+4", 0xFFFF), words_t{0x0B03});
  EXPECT_EQ(refusal("bra *+$20000"), "Expression result too large");
  EXPECT_EQ(refusal("bra 1.5"), "Expression result must be integer");
}

TEST_F(assembler, jump_forms) {
  EXPECT_EQ(words("jsr $40"), words_t{0x0A40});
  EXPECT_EQ(words("jsr $1234"), (words_t{0x0130, 0x1234}));
  EXPECT_EQ(words("jsr >$40"), (words_t{0x0130, 0x0040}));
  EXPECT_EQ(words("jmp $40"), (words_t{0x0134, 0x0040}));
  EXPECT_EQ(words("jsne $100"), (words_t{0x0612, 0x0100}));
  EXPECT_EQ(words("jcc r2"), words_t{0x06A0});
  EXPECT_EQ(words("jmp (r1)"), words_t{0x0125});
}

TEST_F(assembler, loops) {
  EXPECT_EQ(words("do forever,*+$12"), (words_t{0x0002, 0x0010}));
  EXPECT_EQ(words("do #$10,*+$12"), (words_t{0x0E10, 0x0010}));
  EXPECT_EQ(words("do x0,*+3"), (words_t{0x0400, 0x0001}));
  EXPECT_EQ(words("do x:(r2),*+3"), (words_t{0x00C2, 0x0001}));
  EXPECT_EQ(refusal("do ssh,*+5"), "Illegal use of SSH as loop count operand");
  EXPECT_EQ(refusal("do #256,*+5"), "Immediate value too large");
  EXPECT_EQ(words("rep x:(r1)"), words_t{0x00E1});
  EXPECT_EQ(words("rep lc"), words_t{0x0428});
}

// --- ALU classes -----------------------------------------------------------------------

TEST_F(assembler, one_accumulator_and_carry_classes) {
  EXPECT_EQ(words("adc y,b"), words_t{0x150B});
  EXPECT_EQ(words("sbc x,a"), words_t{0x4A52});
  EXPECT_EQ(words("div y1,b"), words_t{0x150F});
  EXPECT_EQ(words("norm r3,b"), words_t{0x152B});
}

TEST_F(assembler, operations_writing_part_of_an_accumulator) {
  // lsl writes a1 only: a parallel read may load a0, not a or a1.
  EXPECT_EQ(words("lsl a x:(r0)+,a0"), words_t{0x8D33});
  EXPECT_EQ(refusal("lsl a x:(r0)+,a1"), "Duplicate destination register not allowed");
  // inc24 writes a2:a1.
  EXPECT_EQ(words("inc24 a x:(r0)+,a0"), words_t{0x8D23});
  EXPECT_EQ(refusal("inc24 a x:(r0)+,a"), "Duplicate destination register not allowed");
  // cmp writes nothing.
  EXPECT_EQ(words("cmp x0,a x:(r0)+,a"), words_t{0x8954});
}

TEST_F(assembler, add_sub_and_their_short_form) {
  EXPECT_EQ(words("sub y1,b"), words_t{0x4A4F});
  EXPECT_EQ(words("add x,b"), words_t{0x4A0A});
  EXPECT_EQ(words("subl b,a"), words_t{0x4A41});
  EXPECT_EQ(refusal("add a,a"), "Duplicate source and destination register not allowed");
  // subl exists for the other accumulator only.
  EXPECT_EQ(refusal("subl x0,a"), "Invalid register specified");
  EXPECT_EQ(words("add x0,a x:(r0)+,y0 x:(r3)+,x0"), words_t{0x6100});
  EXPECT_EQ(words("sub a,b x:(r1)+n1,x1 x:(r3)+n3,x0"), words_t{0x7A3D});
  EXPECT_EQ(words("tfr y1,b x:(r2)+,y1 x:(r3)+,x1"), words_t{0x675B});
}

TEST_F(assembler, logic_and_compare) {
  EXPECT_EQ(words("and x0,a"), words_t{0x4A64});
  EXPECT_EQ(words("eor x1,a"), words_t{0x4A36});
  EXPECT_EQ(words("cmp b,a"), words_t{0x4A50});
  EXPECT_EQ(words("cmpm y1,b"), words_t{0x4A7F});
  // An accumulator source would be another operation's code.
  EXPECT_EQ(refusal("and a,b"), "Invalid register specified");
  EXPECT_EQ(refusal("cmp #1,a"), "Immediate operand not allowed");
  EXPECT_EQ(words("or #$10,ccr"), words_t{0x1F10});
  EXPECT_EQ(words("and #$f0,mr"), words_t{0x1AF0});
  EXPECT_EQ(words("andi #5,omr"), words_t{0x1C05});
  EXPECT_EQ(refusal("or #5,ccr x:(r0)+,x0"), "Too many fields specified for instruction");
  EXPECT_EQ(words("tst b"), words_t{0x4A29});
  EXPECT_EQ(words("tst y1"), words_t{0x1517});
  EXPECT_EQ(words("tst2 x1"), words_t{0x1516});
}

TEST_F(assembler, multiplies) {
  // The long pair code does not depend on the order of the sources.
  EXPECT_EQ(words("mpy x0,x1,a"), words_t{0x4A81});
  EXPECT_EQ(words("mpy x1,x0,a"), words_t{0x4A81});
  EXPECT_EQ(words("mpy -x0,x0,b"), words_t{0x4AC8});
  EXPECT_EQ(words("macr y1,x1,b"), words_t{0x4ABF});
  EXPECT_EQ(refusal("mpy x0,a1,a"), "Invalid register combination");
  EXPECT_EQ(words("impy x1,x0,b"), words_t{0x1589});
  EXPECT_EQ(words("mpyuu x0,y1,b"), words_t{0x15CD});
  EXPECT_EQ(words("dmacss x1,y1,b"), words_t{0x159B});
  // A signed-by-unsigned product keeps its order: the signed source first.
  EXPECT_EQ(words("mpysu y0,x0,a"), words_t{0x15C0});
  EXPECT_EQ(refusal("mpysu x0,y0,a"), "Invalid register combination");
  EXPECT_EQ(words("shfl a1,y0,b"), words_t{0x15DA});
  EXPECT_EQ(refusal("shfl x1,x0,a"), "Invalid register combination");
}

TEST_F(assembler, multiply_with_two_moves) {
  // Short form: two X reads.
  EXPECT_EQ(words("mpyr x0,y0,a x:(r0)+,y1 x:(r3)+,x1"), words_t{0x6790});
  // LMS: the other accumulator stored and loaded.
  EXPECT_EQ(words("mac x0,y0,a b,x:(r1)+n1 y1,b"), words_t{0x1774});
  EXPECT_EQ(words("mpy y0,x0,b y1,a a,x:(r0)+n0"), words_t{0x161C | 0x30});
  EXPECT_EQ(refusal("mpyr x0,y0,a b,x:(r1)+n1 y1,b"), "Rounding not available with LMS move");
  EXPECT_EQ(refusal("mac x0,y0,a b,x:(r1)+ y1,b"), "Only post-increment by offset addressing allowed with LMS move");
  EXPECT_EQ(refusal("mac x0,y0,a a,x:(r1)+n1 y1,a"), "X move source accumulator same as operand destination accumulator");
  EXPECT_EQ(refusal("mac x0,y0,a x0,x:(r1)+n1 a,b"), "Invalid source register");
  EXPECT_EQ(refusal("mac x0,y0,a b,x:(r1)+n1 a,b"), "DD encoding failure");
}

TEST_F(assembler, bit_field_masks) {
  EXPECT_EQ(words("bfset #$0ff0,x:(r0)"), (words_t{0x14B0, 0x58FF}));
  EXPECT_EQ(words("bftstl #$ff00,a1"), (words_t{0x140C, 0x80FF}));
  EXPECT_EQ(words("bfclr #$3,x:<<$ffe4"), (words_t{0x14E4, 0x2403}));
  EXPECT_EQ(words("bftsth #$f0,x:$5"), (words_t{0x1445, 0x500F}));
  for (const char* line : {"bfset #$f00f,x:(r0)", "bfset #$1080,x:(r0)", "bfset #$0101,x:(r0)"})
    EXPECT_EQ(refusal(line), "Bit mask cannot span more than eight bits") << line;
}

TEST_F(assembler, lea_and_transfers) {
  EXPECT_EQ(words("lea (r0)+,r1"), words_t{0x01D4});
  EXPECT_EQ(words("lea (r2)+n2,n3"), words_t{0x01BE});
  EXPECT_EQ(words("lua (r1),r2"), words_t{0x2A32});
  EXPECT_EQ(words("tfr b,a"), words_t{0x4A10});
  EXPECT_EQ(words("tfr y,b x:(r0)+,x0"), words_t{0x811B});
  EXPECT_EQ(words("tfr2 b,y"), words_t{0x1509});
  EXPECT_EQ(words("tfr3 a,x0 x:(r0)+,y0"), words_t{0x2501});
  EXPECT_EQ(words("tfr3 b,y1 y0,x:(r2)+n2"), words_t{0x26B9});
  EXPECT_EQ(refusal("tfr3 a,x0 x:(r0)+,x0"), "Duplicate destination register not allowed");
  EXPECT_EQ(refusal("tfr a,x0"), "X data move field required with this instruction");
  EXPECT_EQ(words("tgt x0,b r0,r2"), words_t{0x11EC});
  EXPECT_EQ(words("teq r0,r3"), words_t{0x12B1});
  EXPECT_EQ(refusal("tcc r0,r0"), "Invalid register combination");
  EXPECT_EQ(refusal("tcc a,b r0,r1 x0,a"), "Too many fields specified for instruction");
}

// --- Parallel moves ----------------------------------------------------------------------

TEST_F(assembler, register_moves) {
  EXPECT_EQ(words("move a,x0"), words_t{0x2880});
  EXPECT_EQ(words("move (r0)+n0"), words_t{0x3411});
  EXPECT_EQ(refusal("move $10,x0"), "Illegal move field destination specified");
  EXPECT_EQ(refusal("move ssh,ssh"), "SSH cannot be both source and destination register");
  // Beside an ALU operation: transfer position at bits 11-8.
  EXPECT_EQ(words("add x0,a a,x0"), words_t{0x4404});
  EXPECT_EQ(words("add x0,b b,a"), words_t{0x480C});
  EXPECT_EQ(refusal("cmp x0,a x0,a"), "X move destination accumulator same as operand destination accumulator");
  EXPECT_EQ(refusal("add x0,a x0,a"), "Duplicate destination register not allowed");
  EXPECT_EQ(refusal("add x0,a a0,y0"), "Invalid register combination");
  EXPECT_EQ(refusal("add x0,a r0,x0"), "Instruction does not allow data movement specified");
  EXPECT_EQ(refusal("add x0,a #5,x0"), "Instruction does not allow data movement specified");
}

TEST_F(assembler, x_memory_moves) {
  EXPECT_EQ(words("move x:<$10,r0"), (words_t{0x3E14, 0x0010}));
  EXPECT_EQ(words("move x:$1234,a"), (words_t{0x3C94, 0x1234}));
  EXPECT_EQ(words("move x:-(r3),omr"), words_t{0x3D5B});
  EXPECT_EQ(words("move x0,x:(a1)"), words_t{0x381E});
  EXPECT_EQ(words("move r0,x:(r1)+"), words_t{0x3A05});
  EXPECT_EQ(words("add x0,a x:(r0)+n0,x0"), words_t{0xC104});
  EXPECT_EQ(words("add x0,b b,x:(a1)"), words_t{0x5A0C});
  EXPECT_EQ(refusal("add x0,a b,x:(a1)"), "X move destination accumulator same as operand destination accumulator");
  EXPECT_EQ(refusal("add x0,a x:(r0)+,r1"), "HHH encoding failure");
  EXPECT_EQ(words("add x0,a x:(r2+$10),y0"), (words_t{0x0510, 0x8304}));
}

TEST_F(assembler, dual_reads) {
  EXPECT_EQ(words("move x:(r0)+,y0 x:(r3)+,x0"), words_t{0x6117});
  EXPECT_EQ(words("move x:(r3)+,x0 x:(r0)+,y0"), words_t{0x6117});
  EXPECT_EQ(words("move x:(r1)+,a x:(r3)+n3,y0"), words_t{0x6E3F});
  EXPECT_EQ(refusal("move x:(r0)+,x0 x:(r3)+,y0"), "Invalid register combination");
  EXPECT_EQ(refusal("move x:(r1)+,y0 x:(r2)+,x0"), "Invalid source address register");
  EXPECT_EQ(refusal("move x:(r0)+,a0 x:(r3)+,x0"), "Invalid destination register");
  EXPECT_EQ(refusal("add x0,a x:(r0)+,a x:(r3)+,x0"), "Duplicate destination register not allowed");
  EXPECT_EQ(refusal("move x:(r0)+,y0 x:(r3),x0"), "MM encoding failure");
  // Only an operation with a short form takes two moves.
  EXPECT_EQ(refusal("abs a x:(r0)+,y0 x:(r3)+,x0"), "Dual X memory read not allowed with this instruction");
  EXPECT_EQ(refusal("subl b,a x:(r0)+,y0 x:(r3)+,x0"), "Dual X memory read not allowed with this instruction");
  EXPECT_EQ(refusal("movem x:(r0)+,y0 x:(r3)+,x0"), "Dual X memory read not allowed with this instruction");
  EXPECT_EQ(refusal("move a,x:(r0)+n0 x0,b"), "LMS move not allowed with this instruction");
}

TEST_F(assembler, program_memory_moves) {
  EXPECT_EQ(words("move b,p:(r1)-"), words_t{0x0255});
  EXPECT_EQ(words("move p:(r2)+n2,y1"), words_t{0x039B});
  EXPECT_EQ(words("move x0,p:(r2-1)"), (words_t{0x05FF, 0x0200}));
  EXPECT_EQ(words("move x:(r0)+,p:(r1)+n1"), words_t{0x0335});
  EXPECT_EQ(words("move p:(r2)+n2,x:(r3)+"), words_t{0x02BB});
  EXPECT_EQ(refusal("move p:(r2),x:(r3)+"), "Only postincrement or postincrement by offset addressing allowed");
  EXPECT_EQ(refusal("move x:(r0),p:(r1)+"), "Invalid source address mode");
}

TEST_F(assembler, io_moves) {
  EXPECT_EQ(words("movep x:(r0)+,x:<<$ffe5"), words_t{0x0D05});
  EXPECT_EQ(words("movep x:<<$ffe5,x:(r1)+n1"), words_t{0x0C65});
  EXPECT_EQ(refusal("movep x:(r0)-,x:<<$ffe5"), "Invalid source address mode");
  EXPECT_EQ(words("moves x:<$10,x0"), words_t{0x1910});
  EXPECT_EQ(words("movep a,x:<<$ffe1"), words_t{0x18A1});
}

// Lines whose words, as the instruction layouts would build them, read
// back as another instruction or as something else than was written.
TEST_F(assembler, lines_refused_rather_than_mis_encoded) {
  // Each move instruction takes the forms of its own kinds; the others
  // would build words that print as another move, or (movep and moves
  // keep bit 11) as a register move, jsr or bra.
  for (const char* line : {"movep #$12,x0", "moves x:(r0)+,p:(r1)+", "movep p:(r0),x0", "moves x0,p:(r2+5)",
                           "movem x0,a", "movem b,a", "movem x0,b", "moves a,x0", "movem a,b",
                           "movem x:(a1),x0", "movem x:(b1),x0", "movei x:(r0)+,x0", "movec x0,x:(r2+5)",
                           "movem (r0)+n0", "movep x0,x:$1234", "movep x:$fff1,x1"})
    EXPECT_EQ(refusal(line), "Instruction does not allow data movement specified") << line;
  // A post-decrement where only post-increments are encodable.
  EXPECT_EQ(refusal("move x:(r0)+,p:(r1)-"), "Post-decrement addressing mode not allowed");
  EXPECT_EQ(refusal("movep x:<<$ffe5,x:(r0)-"), "Post-decrement addressing mode not allowed");
  // Their own forms: the words of the same line written as move.
  for (const char* ops : {"x0,p:(r0)+", "p:(r2+3),y0"}) EXPECT_EQ(words((std::string("movem ") + ops).c_str()), words((std::string("move ") + ops).c_str()));
  EXPECT_EQ(words("movei #$12,x0"), words("move #$12,x0"));
  EXPECT_EQ(words("movec r0,x:(r1)+"), words("move r0,x:(r1)+"));
}
