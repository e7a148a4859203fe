// The decode-table handlers, one per instruction class: each reads the
// bit fields of its class and appends tokens.
#pragma once

#include <cstdint>

#include "sim/asm/disasm_internal.h"

void dis_alu_xmove(uint16_t w, dis_state& st, token_list& out);
void dis_alu_dual_read(uint16_t w, dis_state& st, token_list& out);
void dis_alu_acc_move(uint16_t w, dis_state& st, token_list& out);
void dis_alu_transfer(uint16_t w, dis_state& st, token_list& out);
void dis_move_acc_addr(uint16_t w, dis_state& st, token_list& out);
void dis_move_long(uint16_t w, dis_state& st, token_list& out);
void dis_move_indexed(uint16_t w, dis_state& st, token_list& out);
void dis_move_indirect(uint16_t w, dis_state& st, token_list& out);
void dis_alu_update(uint16_t w, dis_state& st, token_list& out);
void dis_branch_short_cc(uint16_t w, dis_state& st, token_list& out);
void dis_move_reg(uint16_t w, dis_state& st, token_list& out);
void dis_tfr3(uint16_t w, dis_state& st, token_list& out);
void dis_move_imm8(uint16_t w, dis_state& st, token_list& out);
void dis_logic_imm(uint16_t w, dis_state& st, token_list& out);
void dis_logic_imm_mr(uint16_t w, dis_state& st, token_list& out);
void dis_move_short(uint16_t w, dis_state& st, token_list& out);
void dis_mul_move(uint16_t w, dis_state& st, token_list& out);
void dis_group15(uint16_t w, dis_state& st, token_list& out);
void dis_norm(uint16_t w, dis_state& st, token_list& out);
void dis_shift_pair(uint16_t w, dis_state& st, token_list& out);
void dis_bitfield_short(uint16_t w, dis_state& st, token_list& out);
void dis_bitfield_indirect(uint16_t w, dis_state& st, token_list& out);
void dis_bitfield_reg(uint16_t w, dis_state& st, token_list& out);
void dis_tcc(uint16_t w, dis_state& st, token_list& out);
void dis_rep_imm(uint16_t w, dis_state& st, token_list& out);
void dis_do_imm(uint16_t w, dis_state& st, token_list& out);
void dis_movep_io(uint16_t w, dis_state& st, token_list& out);
void dis_bra_short(uint16_t w, dis_state& st, token_list& out);
void dis_jsr_short(uint16_t w, dis_state& st, token_list& out);
void dis_branch_long_cc(uint16_t w, dis_state& st, token_list& out);
void dis_branch_reg_cc(uint16_t w, dis_state& st, token_list& out);
void dis_jump_long_cc(uint16_t w, dis_state& st, token_list& out);
void dis_prefix_r2(uint16_t w, dis_state& st, token_list& out);
void dis_rep_reg(uint16_t w, dis_state& st, token_list& out);
void dis_do_reg(uint16_t w, dis_state& st, token_list& out);
void dis_move_xp(uint16_t w, dis_state& st, token_list& out);
void dis_move_p(uint16_t w, dis_state& st, token_list& out);
void dis_lea(uint16_t w, dis_state& st, token_list& out);
void dis_debug_rep_cc(uint16_t w, dis_state& st, token_list& out);
void dis_branch_long(uint16_t w, dis_state& st, token_list& out);
void dis_jump_long(uint16_t w, dis_state& st, token_list& out);
void dis_branch_reg(uint16_t w, dis_state& st, token_list& out);
void dis_brk_cc(uint16_t w, dis_state& st, token_list& out);
void dis_rep_indirect(uint16_t w, dis_state& st, token_list& out);
void dis_do_indirect(uint16_t w, dis_state& st, token_list& out);
void dis_misc(uint16_t w, dis_state& st, token_list& out);
void dis_invalid(uint16_t w, dis_state& st, token_list& out);
