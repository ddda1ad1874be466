#include <cctype>
#include <string>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

std::optional<Evaluated> cosmac_number(std::string_view word)
{
    if (word.size() > 1 && word.back() == '.') {
        int64_t value = 0;
        for (char c : word.substr(0, word.size() - 1)) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return Evaluated{{}, "bad decimal number '" + std::string(word) + "'"};
            value = value * 10 + (c - '0');
            if (value > 0xFFFFFFFF)
                return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
        }
        return Evaluated{value, {}};
    }
    std::string_view digits = word;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    if (!all_hex_digits(digits))
        return std::nullopt;
    if (digits.size() > 8)
        return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
    return digits_in_base(digits, 16, word);
}

constexpr Operator kCosmacOperators[] = {
    {"+", Fix::Infix, kLeftToRight, plus},        {"-", Fix::Infix, kLeftToRight, minus},
    {"+", Fix::Prefix, kOneTerm, same},           {"-", Fix::Prefix, kOneTerm, negated},
    {"LOW", Fix::Prefix, kOneTerm, low, true},    {"HIGH", Fix::Prefix, kOneTerm, high, true},
};


constexpr DirectiveName kCosmacDirectives[] = {
    {"ORG", Directive::Org}, {"EQU", Directive::Equ}, {"DB", Directive::Bytes}, {"DW", Directive::Words},
    {".CPU", Directive::Cpu}};


}  // namespace

const Notation kCosmacNotation{
    .name = "cosmac",
    .comment = ";",
    .number = cosmac_number,
    .number_prefixes = "",
    .is_name_char = is_name_char,
    .operators = kCosmacOperators,
    .value_bits = 32,
    .location_counters = "$",
    .register_name = no_register_names,
    .low_byte_branch_literals = true,
    .directives = kCosmacDirectives,
    .extended_switch = "add .cpu 1805 or assemble with --cpu 1805",
};

}  // namespace cosmac::assembler
