// Argument readers: each takes a token index of the lexer, and either
// accepts the token (writes its kind and its value into the lexer and
// returns non-zero) or rejects it (sets parse_error_text and error_pos,
// marks the token 'u' and returns 0). A parser tries alternatives in order;
// a later success simply stands over an earlier failure's message.
//
// Token kinds and what the value slot holds:
//   'K' present                 'N' name (read back as typed)
//   'j' the one keyword         'e' end of the arguments
//   keyword lists: the list's kind, lo = index in the list
//   'I' integer expression      'F' floating expression
//   'i' count (value_combined)  'p' memory location: the expression value,
//                                   lo = hi = address, device
//   'X' addr#count, 'P' addr..end: lo = start, hi = end, region, space, device
//   'g' register: item = register, region = peripheral row, device
//   'G' register block: item/region the first register, lo/hi the last
//       register and its row, device
//   'n' device number (lo)      't' device type (lo = type index), or a
//                                   peripheral (region = row, device)
//   '|' memory-map row (region) 'w' #n (lo), 1-255
//   '#' break number: lo = first, hi = last of a range (= lo for one)
//   'f' frame #n: lo = hi = n   ':' colon count (lo)
//   'W' window number (lo)      'C' braced text, kept as typed
//   'Y' register condition: item, op, region = row, device, value in lo/hi
//   'E' program-memory location as a pc condition (as 'p')
#pragma once

#include <cstdint>

// Messages of the parse-error table.
enum : int {
  ERR_NEED_MORE = 0,
  ERR_INVALID = 1,
  ERR_TOO_MANY = 2,
  ERR_BREAK_RANGE = 3,
};
extern const char* const parse_error_messages[4];

// Keyword lists (null-terminated; matched against the folded token).
extern const char* const break_action_words[];    // 'A'
extern const char* const memory_access_words[];   // 'M'
extern const char* const data_access_words[];     // 'N'
extern const char* const display_switch_words[];  // 'd'
extern const char* const radix_letter_words[];    // 'r' or 'R'
extern const char* const display_mode_words[];    // 'm'
extern const char* const input_radix_words[];     // 'r'
extern const char* const output_radix_words[];    // 'r'
extern const char* const file_option_words[];     // 'o'
extern const char* const target_stream_words[];   // 'h'
extern const char* const history_words[];         // 'H'

// Sets the message and the position of a failed check (token i's start, or
// the end of the line past the last token) and marks the token 'u'.
int reader_fail(int i, const char* message);
int reader_fail_at(int i, const char* message, int pos);

// --- Base readers ---------------------------------------------------------------
int need_arg(int i);
int parse_name_arg(int i);
int check_no_more_args(int i);
int match_keyword(int i, const char* word);
// The index in the list, or -1.
int match_keyword_list(int i, const char* const* list, char kind, int count);
int list_length(const char* const* list);
int parse_number_arg(int i, uint32_t limit);
int parse_value_arg(int i);
int parse_fraction_arg(int i);
int parse_address_arg(int i);
int parse_float_or_int_arg(int i);
int parse_count_arg(int i);
// A count above 0 (step, trace, next): kind 'i', else "Invalid parameter".
int parse_positive_count(int i);

// --- Named items ----------------------------------------------------------------
int parse_device_number(int i);
int parse_device_type_name(int i);
int parse_register_arg(int i);
int parse_register_block(int i);
// A peripheral row of the current type; with stream_only only those whose
// class word has bit 2.
int parse_periph_name(int i, bool stream_only = false);
int parse_region_name(int i);
// A port-table name, optional "port:" prefix: kind 'U', lo = the port
// index (an alias gives its port's first name).
int parse_port_arg(int i);
// A pin or pin..pin of the device's type (a "dv<n>:" prefix names another
// device), optional "pin:" prefix: kind 'S', lo = first and hi = last pin
// index, op = 1 for a group, device.
int parse_pin_arg(int i, int device);
int parse_memory_location(int i, int device);
int parse_device_location(int i);
int parse_memory_block(int i);
int parse_break_condition(int i);
// The names the window front-end knows these checks by.
inline int parse_peripheral_arg(int i) { return parse_periph_name(i); }
inline int parse_file_name_arg(int i) { return parse_name_arg(i); }

// --- Numbers with marks ---------------------------------------------------------
int parse_hash_number(int i);
int parse_break_number(int i);
// #n, #n,m,... or #n..m: the numbers go into the slots from i on, the slot
// after the last becomes 'e'. Run it after the tokens behind it were read.
int parse_hash_list(int i);
int parse_frame_number(int i);
int parse_colon_number(int i);
int parse_win_number(int i);
int parse_braced_arg(int i);

// --- Assembler lines ------------------------------------------------------------
// The text from token i to the end of the line (at most 255 characters)
// assembled at the address of the asm command's item token (token 2, or 3
// after the byte-wide keyword "b"), which also becomes asm_address. Kind
// 'm' when it assembles (its words wait in the assembler's result); else
// the assembler's message at the token.
int parse_asm_line(int i);

// --- Text routines --------------------------------------------------------------
// Removes trailing blanks; 1 when text remains.
int trim_trailing_blanks(char* text);
int find_char(const char* text, char c);
// The first occurrence of word not inside a longer identifier; ".." is
// found anywhere. -1 when none.
int find_whole_word(const char* text, const char* word);

// --- Register walking -----------------------------------------------------------
// The next or previous register of the current type, wrapping over the
// peripheral rows and skipping rows without registers.
void next_register(int& reg, int& row);
void prev_register(int& reg, int& row);
