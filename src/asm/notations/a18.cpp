#include <cctype>
#include <string>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

std::optional<Evaluated> a18_number(std::string_view word) { return intel_number(word, false); }

// A18 names go on with $ after their first character: s$intr, b$sub.
bool is_a18_name_char(char c) { return is_word_char(c) || c == '$'; }

// Lowest first: HIGH LOW .1 .0; OR XOR; AND; NOT; relations; + -; * / MOD SHL
// SHR; unary + -. NOT shares the relations' level, so that it applies to them.
constexpr Operator kA18Operators[] = {
    {"HIGH", Fix::Prefix, kWholeOperand, high}, {"LOW", Fix::Prefix, kWholeOperand, low},
    {".1", Fix::Postfix, kWholeOperand, high},  {".0", Fix::Postfix, kWholeOperand, low},
    {"OR", Fix::Infix, 1, bit_or},    {"XOR", Fix::Infix, 1, bit_xor},
    {"AND", Fix::Infix, 2, bit_and},  {"NOT", Fix::Prefix, 3, complemented},
    {"LT", Fix::Infix, 3, less},      {"<", Fix::Infix, 3, less},         {"LE", Fix::Infix, 3, less_or_equal},
    {"<=", Fix::Infix, 3, less_or_equal}, {"=<", Fix::Infix, 3, less_or_equal}, {"EQ", Fix::Infix, 3, equal},
    {"=", Fix::Infix, 3, equal},      {"GE", Fix::Infix, 3, greater_or_equal}, {">=", Fix::Infix, 3, greater_or_equal},
    {"=>", Fix::Infix, 3, greater_or_equal}, {"GT", Fix::Infix, 3, greater}, {">", Fix::Infix, 3, greater},
    {"NE", Fix::Infix, 3, not_equal}, {"<>", Fix::Infix, 3, not_equal},  {"><", Fix::Infix, 3, not_equal},
    {"+", Fix::Infix, 4, plus},       {"-", Fix::Infix, 4, minus},        {"*", Fix::Infix, 5, times},
    {"/", Fix::Infix, 5, divided},    {"MOD", Fix::Infix, 5, modulo},     {"SHL", Fix::Infix, 5, shifted_left},
    {"SHR", Fix::Infix, 5, shifted_right}, {"+", Fix::Prefix, kOneTerm, same},
    {"-", Fix::Prefix, kOneTerm, negated},
};

constexpr DirectiveName kA18Directives[] = {
    {"ORG", Directive::Org},      {"EQU", Directive::Equ},        {"SET", Directive::Set},
    {"BYTE", Directive::Bytes},   {"DB", Directive::Bytes},       {"WORD", Directive::Words},
    {"DW", Directive::Words},     {"TEXT", Directive::Text},      {"BLK", Directive::Reserve},
    {"DS", Directive::Reserve},   {"FILL", Directive::Fill},      {"PAGE", Directive::Page},
    {"END", Directive::End},      {"IF", Directive::If},          {"ELSE", Directive::Else},
    {"ENDI", Directive::EndIf},   {"INCL", Directive::Include},   {"INCLUDE", Directive::Include},
    {"CPU", Directive::Cpu},      {"TITL", Directive::Ignored},   {"EJCT", Directive::Ignored},
    {"LOAD", Directive::Load},    {"CALL", Directive::Call},      {"RETN", Directive::Return},
};

}  // namespace

const Notation kA18Notation{
    .name = "a18",
    .comment = ";",
    .number = a18_number,
    .number_prefixes = "$%@",
    .is_name_char = is_a18_name_char,
    .operators = kA18Operators,
    .value_bits = 16,
    .location_counters = "$",
    .strings_are_values = true,
    .register_name = weak_register_names,
    .column_one_labels = true,
    .registers_are_expressions = true,
    .directives = kA18Directives,
    .aliases = kForeignAliases,
    .end_only_in_source = true,
    .extended_switch = "add CPU 1805 or assemble with --cpu 1805",
};

}  // namespace cosmac::assembler
