// What the notations share: the arithmetic of their operators, the pieces of
// their number readers, and the aliases of the foreign notations. Each notation's
// own file holds its readers and tables and its Notation.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "asm/notation.hpp"

namespace cosmac::assembler {

using OperatorResult = std::optional<int64_t>;

// Sums, differences and products wrap rather than overflow; the expression then
// keeps the notation's width of the result. The bitwise operators, shifts and
// relations work on 16 bits.
OperatorResult plus(int64_t a, int64_t b);
OperatorResult minus(int64_t a, int64_t b);
OperatorResult times(int64_t a, int64_t b);
OperatorResult divided(int64_t a, int64_t b);
OperatorResult modulo(int64_t a, int64_t b);
OperatorResult shifted_left(int64_t a, int64_t b);
OperatorResult shifted_right(int64_t a, int64_t b);
OperatorResult bit_and(int64_t a, int64_t b);
OperatorResult bit_or(int64_t a, int64_t b);
OperatorResult bit_xor(int64_t a, int64_t b);
OperatorResult less(int64_t a, int64_t b);
OperatorResult less_or_equal(int64_t a, int64_t b);
OperatorResult equal(int64_t a, int64_t b);
OperatorResult not_equal(int64_t a, int64_t b);
OperatorResult greater(int64_t a, int64_t b);
OperatorResult greater_or_equal(int64_t a, int64_t b);
OperatorResult negated(int64_t a, int64_t b);
OperatorResult same(int64_t a, int64_t b);
OperatorResult complemented(int64_t a, int64_t b);
OperatorResult low(int64_t a, int64_t b);
OperatorResult high(int64_t a, int64_t b);

// The digits in the base, or an error naming the word; a number is at most 32 bits.
std::optional<Evaluated> digits_in_base(std::string_view digits, int base, std::string_view word);

// Intel numbers, a digit first and the base last (0FFH, 255, 255D, 377O, 377Q,
// 1010B), and $FF, %1010, @377; dots in SB's are ignored.
std::optional<Evaluated> intel_number(std::string_view word, bool dots_ignored);

std::optional<int64_t> no_register_names(std::string_view word);
// R0-RF and r0-rf, which some A18 builds predefine.
std::optional<int64_t> weak_register_names(std::string_view word);

// The aliases every foreign notation shares; RET stays 70 there.
inline constexpr Alias kForeignAliases[] = {
    {"IDL", 0x00, 0},  {"BPZ", 0x33, 1}, {"BGE", 0x33, 1},  {"BM", 0x3B, 1},  {"BL", 0x3B, 1},
    {"RSHR", 0x76, 0}, {"RSHL", 0x7E, 0}, {"NBR", 0x38, 1}, {"LSKP", 0xC8, 0}, {"NLBR", 0xC8, 2},
    {"RET", 0x70, 0},
};

}  // namespace cosmac::assembler
