#include <cctype>
#include <string>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

bool is_rca_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Decimal, or hex after #.
std::optional<Evaluated> rca_number(std::string_view word)
{
    if (word.starts_with('#'))
        return digits_in_base(word.substr(1), 16, word);
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0])))
        return std::nullopt;
    return digits_in_base(word, 10, word);
}

// R0-RF; and a word of hex digits that starts with A-F and names no symbol is hex
// (A is 10, so INC A is INC 10).
std::optional<int64_t> rca_register_names(std::string_view word)
{
    if (const auto r = weak_register_names(word))
        return r;
    if (!all_hex_digits(word) || std::isdigit(static_cast<unsigned char>(word[0])))
        return std::nullopt;
    return digits_in_base(word, 16, word)->value;
}

constexpr Operator kRcaOperators[] = {
    {"+", Fix::Infix, kLeftToRight, plus},       {"-", Fix::Infix, kLeftToRight, minus},
    {"+", Fix::Prefix, kOneTerm, same},          {"-", Fix::Prefix, kOneTerm, negated},
    {"A", Fix::Prefix, kOneTerm, same, true},    {"A.0", Fix::Prefix, kOneTerm, low, true},
    {"A.1", Fix::Prefix, kOneTerm, high, true},
};

constexpr DirectiveName kRcaDirectives[] = {
    {"ORG", Directive::Org}, {"DC", Directive::DataList}, {"PAGE", Directive::Page}, {"END", Directive::End}};

}  // namespace

const Notation kRcaNotation{
    .name = "rca",
    .comment = "..",
    .number = rca_number,
    .number_prefixes = "#",
    .is_name_char = is_rca_name_char,
    .operators = kRcaOperators,
    .value_bits = 16,
    .location_counters = "*",
    .register_name = rca_register_names,
    .registers_are_expressions = true,
    .symbols_ignore_case = true,
    .directives = kRcaDirectives,
    .aliases = kForeignAliases,
    .rca_free_form = true,
    .immediates_take_low_byte = true,
};

}  // namespace cosmac::assembler
