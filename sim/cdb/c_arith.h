// The C debugger's number rules per family: integers of one or two target
// words, IEEE floats and the 24-bit families' two-word target floats, and
// the conversions between types. Used by the evaluator only.
#pragma once

#include <cstdint>

#include "sim/cdb/c_value.h"

// Type classes of a type word.
inline uint32_t c_base(uint32_t type) { return type & 0xF; }
inline uint32_t c_level(uint32_t type) { return (type >> 4) & 3; }
inline bool c_is_pointer(uint32_t type) { return c_level(type) == 1; }
inline bool c_is_function(uint32_t type) { return c_level(type) == 2; }
inline bool c_is_array(uint32_t type) { return c_level(type) == 3; }
bool c_is_integral(uint32_t type);
bool c_is_float_type(uint32_t type);
inline bool c_is_arith(uint32_t type) { return c_is_integral(type) || c_is_float_type(type); }
inline bool c_is_scalar(uint32_t type) { return c_is_arith(type) || c_is_pointer(type); }
bool c_is_unsigned(uint32_t type);
bool c_is_signed_integral(uint32_t type);
// A long kept in two target words (16- and 24-bit families).
bool c_two_word(uint32_t type);
// Bits of an integral or pointer value of the type.
int c_int_bits(uint32_t type);

// Integral values as host numbers: the raw bits, or sign-extended.
uint64_t c_int_raw(const c_value& v);
int64_t c_int_signed(const c_value& v);
void c_int_put(c_value& v, uint64_t raw);

// IEEE values (16- and 32-bit families) as host doubles; a double of the
// 32-bit family keeps only its top 31 fraction bits when put.
double c_ieee_get(const c_value& v);
void c_ieee_put(c_value& v, double d);

// The 24-bit families' target float: m times 2 to the power (e - 8214).
struct c_tfloat {
  uint32_t e = 0;
  uint32_t m = 0;
};
c_tfloat c_tf_negate(c_tfloat a);
c_tfloat c_tf_mul(c_tfloat a, c_tfloat b);
c_tfloat c_tf_add(c_tfloat a, c_tfloat b);
double c_tf_to_double(c_tfloat a);
c_tfloat c_tf_from_double(double q);
// -1, 0 or 1.
int c_tf_compare(c_tfloat a, c_tfloat b);

// The value as a host double, whatever its arithmetic type.
double c_float_value(const c_value& v);

int c_is_zero(c_value& v);
void c_negate(const c_value& v, c_value& out);
// Words 0-4 of src converted to the type into out (run-time errors with
// c_error); 0 after an error.
int c_convert(const c_value& src, uint32_t type, c_value& out);
// The constant one of a scalar type (one element for pointers: the
// caller scales).
void c_one(uint32_t type, c_value& out);
