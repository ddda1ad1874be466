#include <cctype>
#include <cstdlib>
#include <string>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

bool is_asm02_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '!'; }

// r0-r15 and ra-rf in any case.
std::optional<int64_t> asm02_register_names(std::string_view word)
{
    if (word.size() < 2 || (word[0] != 'R' && word[0] != 'r'))
        return std::nullopt;
    const std::string_view rest = word.substr(1);
    if (rest.size() == 1 && std::isalpha(static_cast<unsigned char>(rest[0])))
        return is_hex_digit(rest[0]) ? std::optional<int64_t>(hex_digit_value(rest[0])) : std::nullopt;
    const auto number = digits_in_base(rest, 10, word);
    return number->value && *number->value <= 15 ? number->value : std::nullopt;
}

// Decimal; hex with an H after a digit first (0FFH) or after $; binary after %,
// with _ between digits ignored.
std::optional<Evaluated> asm02_number(std::string_view word)
{
    if (word.size() > 1 && word[0] == '$')
        return digits_in_base(word.substr(1), 16, word);
    if (word.size() > 1 && word[0] == '%') {
        std::string digits(word.substr(1));
        std::erase(digits, '_');
        return digits_in_base(digits, 2, word);
    }
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0])))
        return std::nullopt;
    if (word.back() == 'h' || word.back() == 'H')
        return digits_in_base(word.substr(0, word.size() - 1), 16, word);
    return digits_in_base(word, 10, word);
}

OperatorResult odd_high_even_low(int64_t a, int64_t b) { return b % 2 != 0 ? high(a, {}) : low(a, {}); }
OperatorResult absolute(int64_t a, int64_t) { return std::abs(a); }  // values stay far inside int64_t
OperatorResult sign(int64_t a, int64_t) { return (a > 0) - (a < 0); }

// Highest first: high low abs() sgn() and signs; the binary . (e.1 high, e.0
// low); * / %; + -; << >>; & | ^; relations; && || (bitwise, as Asm/02 has them).
constexpr Operator kAsm02Operators[] = {
    {"&&", Fix::Infix, 1, bit_and},   {"||", Fix::Infix, 1, bit_or},      {"==", Fix::Infix, 2, equal},
    {"=", Fix::Infix, 2, equal},      {"!=", Fix::Infix, 2, not_equal},   {"<", Fix::Infix, 2, less},
    {">", Fix::Infix, 2, greater},    {"<=", Fix::Infix, 2, less_or_equal}, {">=", Fix::Infix, 2, greater_or_equal},
    {"&", Fix::Infix, 3, bit_and},    {"|", Fix::Infix, 3, bit_or},       {"^", Fix::Infix, 3, bit_xor},
    {"<<", Fix::Infix, 4, shifted_left}, {">>", Fix::Infix, 4, shifted_right}, {"+", Fix::Infix, 5, plus},
    {"-", Fix::Infix, 5, minus},      {"*", Fix::Infix, 6, times},        {"/", Fix::Infix, 6, divided},
    {"%", Fix::Infix, 6, modulo},     {".", Fix::Infix, 7, odd_high_even_low},
    {"HIGH", Fix::Prefix, kOneTerm, high},           {"LOW", Fix::Prefix, kOneTerm, low},
    {"ABS", Fix::Prefix, kOneTerm, absolute, true},  {"SGN", Fix::Prefix, kOneTerm, sign, true},
    {"+", Fix::Prefix, kOneTerm, same},              {"-", Fix::Prefix, kOneTerm, negated},
};

constexpr DirectiveName kAsm02Directives[] = {
    {"ORG", Directive::Org},          {"EQU", Directive::Equ},         {"DB", Directive::Bytes},
    {"DW", Directive::Words},         {"DS", Directive::Reserve},      {"END", Directive::Ignored},
    {".ALIGN", Directive::Align},     {".OP", Directive::UserOp},      {".LIST", Directive::Ignored},
    {".SYM", Directive::Ignored},     {".INTEL", Directive::Ignored},  {".BINARY", Directive::Ignored},
    {"VER", Directive::Version},      {"EVER", Directive::Version},    {"EEVER", Directive::Version},
    {".SUPPRESS", Directive::Suppress}, {".RCS", Directive::Ignored},     {".LINK", Directive::Ignored},   {".ARCH", Directive::Ignored},
    {".1805", Directive::Cpu1805},
};

// NBR and NLBR take no operand here, and SKP and LSKP are their other names.
constexpr Alias kAsm02Aliases[] = {
    {"IDL", 0x00, 0},  {"BPZ", 0x33, 1},  {"BGE", 0x33, 1}, {"BM", 0x3B, 1},   {"BL", 0x3B, 1},  {"RSHR", 0x76, 0},
    {"RSHL", 0x7E, 0}, {"NBR", 0x38, 0},  {"LSKP", 0xC8, 0}, {"NLBR", 0xC8, 0}, {"RET", 0x70, 0},
};

// The usual pseudo-instructions of Elf/OS sources, as Asm/02's documentation
// defines them; a source's own .op lines replace them.
constexpr std::string_view kAsm02Ops[] = {
    R"("PUSH","N","9$1 73 8$1 73")",    R"("POP","N","60 72 A$1 F0 B$1")",      R"("MOV","NR","9$2 B$1 8$2 A$1")",
    R"("MOV","NW","F8 H2 B$1 F8 L2 A$1")", R"("CALL","W","D4 H1 L1")", R"("RTN","","D5")",
};

// What Asm/02 takes and cosmac-asm does not, and why.
constexpr Unsupported kAsm02Unsupported[] = {
    {"PROC", "relocatable modules need a linker"},
    {"ENDP", "relocatable modules need a linker"},
    {"PUBLIC", "relocatable modules need a linker"},
    {"EXTRN", "relocatable modules need a linker"},
    {"DD", "values are 16 bits here"},
    {"DF", "values are 16 bits here"},
};

}  // namespace

const Notation kAsm02Notation{
    .name = "asm02",
    .comment = ";",
    .number = asm02_number,
    .number_prefixes = "$%",
    .is_name_char = is_asm02_name_char,
    .operators = kAsm02Operators,
    .value_bits = 16,
    .location_counters = "$",
    .strings_are_values = true,
    .register_name = asm02_register_names,
    .column_one_labels = true,
    .registers_are_expressions = true,
    .symbols_ignore_case = true,
    .org_label_before = true,
    .c_preprocessor = true,
    .directives = kAsm02Directives,
    .aliases = kAsm02Aliases,
    .predefined_ops = kAsm02Ops,
    .labels_want_colons = true,
    .bytes_keep_low_byte = true,
    .strings_run_into_numbers = true,
    .stamp_variables = true,
    .unsupported = kAsm02Unsupported,
    .extended_switch = "add .1805 or assemble with -1805",
};

}  // namespace cosmac::assembler
