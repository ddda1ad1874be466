#include <cctype>
#include <string>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

// Decimal; $1F, %0101.1010 (dots ignored), @17; 1FH, 17Q, 101B, 31D with a digit
// first; 0x1F and 0b101.
std::optional<Evaluated> sb_number(std::string_view word)
{
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        return digits_in_base(word.substr(2), 16, word);
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'b' || word[1] == 'B') && word.back() != 'b' &&
        word.back() != 'B')
        return digits_in_base(word.substr(2), 2, word);
    return intel_number(word, true);
}

OperatorResult sb_equal(int64_t a, int64_t b) { return a == b ? -1 : 0; }
OperatorResult sb_not_equal(int64_t a, int64_t b) { return a != b ? -1 : 0; }
OperatorResult sb_less(int64_t a, int64_t b) { return a < b ? -1 : 0; }
OperatorResult sb_greater(int64_t a, int64_t b) { return a > b ? -1 : 0; }
OperatorResult sb_less_or_equal(int64_t a, int64_t b) { return a <= b ? -1 : 0; }
OperatorResult sb_greater_or_equal(int64_t a, int64_t b) { return a >= b ? -1 : 0; }
OperatorResult wide_and(int64_t a, int64_t b) { return a & b; }
OperatorResult wide_or(int64_t a, int64_t b) { return a | b; }
OperatorResult wide_xor(int64_t a, int64_t b) { return a ^ b; }
OperatorResult wide_left(int64_t a, int64_t b) { return (a << (b & 31)) & 0xFFFFFFFF; }
OperatorResult wide_right(int64_t a, int64_t b) { return (a & 0xFFFFFFFF) >> (b & 31); }
OperatorResult wide_complement(int64_t a, int64_t) { return ~a & 0xFFFFFFFF; }
OperatorResult bits_0_7(int64_t a, int64_t) { return a & 0xFF; }
OperatorResult bits_8_15(int64_t a, int64_t) { return a >> 8 & 0xFF; }
OperatorResult bits_16_23(int64_t a, int64_t) { return a >> 16 & 0xFF; }
OperatorResult bits_24_31(int64_t a, int64_t) { return a >> 24 & 0xFF; }

// Strictly left to right, no precedence; - and + before one term; ~ and the
// byte selectors # / = \ at the start of an operand apply to all of it.
constexpr Operator kSbOperators[] = {
    {"~", Fix::Prefix, kWholeOperand, wide_complement},     {"#", Fix::Prefix, kWholeOperand, bits_0_7},
    {"/", Fix::Prefix, kWholeOperand, bits_8_15},           {"=", Fix::Prefix, kWholeOperand, bits_16_23},
    {"\\", Fix::Prefix, kWholeOperand, bits_24_31},         {"+", Fix::Infix, kLeftToRight, plus},
    {"-", Fix::Infix, kLeftToRight, minus},                 {"*", Fix::Infix, kLeftToRight, times},
    {"/", Fix::Infix, kLeftToRight, divided},               {"\\", Fix::Infix, kLeftToRight, modulo},
    {"&", Fix::Infix, kLeftToRight, wide_and},              {"|", Fix::Infix, kLeftToRight, wide_or},
    {"^", Fix::Infix, kLeftToRight, wide_or},               {"!", Fix::Infix, kLeftToRight, wide_xor},
    {"<<", Fix::Infix, kLeftToRight, wide_left},            {">>", Fix::Infix, kLeftToRight, wide_right},
    {"=", Fix::Infix, kLeftToRight, sb_equal},              {"<>", Fix::Infix, kLeftToRight, sb_not_equal},
    {"!=", Fix::Infix, kLeftToRight, sb_not_equal},         {"<", Fix::Infix, kLeftToRight, sb_less},
    {">", Fix::Infix, kLeftToRight, sb_greater},            {"<=", Fix::Infix, kLeftToRight, sb_less_or_equal},
    {">=", Fix::Infix, kLeftToRight, sb_greater_or_equal},  {"-", Fix::Prefix, kOneTerm, negated},
    {"+", Fix::Prefix, kOneTerm, same},
};

constexpr DirectiveName kSbDirectives[] = {
    {".OR", Directive::Org},     {".EQ", Directive::Equ},       {"=", Directive::Equ},        {".SE", Directive::Set},
    {".DB", Directive::Bytes},   {".DW", Directive::Words},     {".DA", Directive::Addresses}, {".DR", Directive::Reversed},
    {".DL", Directive::Longs},   {".AS", Directive::Text7},     {".AT", Directive::Text7},    {".AZ", Directive::Text7},
    {".HS", Directive::HexString}, {".BS", Directive::Block},   {".DO", Directive::If},       {".EL", Directive::Else},
    {".FI", Directive::EndIf},   {".IN", Directive::Include},   {".EN", Directive::End},      {".CR", Directive::CpuFamily},
    {".ER", Directive::UserError}, {".TF", Directive::Ignored}, {".LF", Directive::Ignored},  {".LI", Directive::Ignored},
    {".SF", Directive::Ignored}, {".EF", Directive::Ignored},    {".EB", Directive::Ignored},  {".RU", Directive::Ignored},
    {".TW", Directive::Ignored}, {".NO", Directive::NewOrigin},
};

// What SB-Assembler takes and cosmac-asm does not, and why.
constexpr Unsupported kSbUnsupported[] = {
    {".MA", "cosmac-asm has no macros"},
    {".EM", "cosmac-asm has no macros"},
    {".PH", "code is assembled only for the address it loads at"},
    {".EP", "code is assembled only for the address it loads at"},
    {".DU", "cosmac-asm has no dummy sections"},
    {".ED", "cosmac-asm has no dummy sections"},
    {".CH", "write .IN and .EN"},
    {".RF", "its bytes are random or the build time"},
    {".TS", "its bytes are random or the build time"},
    {".SM", "it is rare in 1802 sources"},
    {".BI", "it is rare in 1802 sources"},
    {".TA", "it is rare in 1802 sources"},
};

}  // namespace

const Notation kSbNotation{
    .name = "sb",
    .comment = ";",
    .number = sb_number,
    .number_prefixes = "$%@",
    .is_name_char = is_name_char,
    .operators = kSbOperators,
    .value_bits = 32,
    .location_counters = "*$",
    .register_name = no_register_names,
    .column_one_labels = true,
    .registers_are_expressions = true,
    .symbols_ignore_case = true,
    .directives = kSbDirectives,
    .aliases = kForeignAliases,
    .immediates_take_low_byte = true,
    .sb_layout = true,
    .unsupported = kSbUnsupported,
};

}  // namespace cosmac::assembler
