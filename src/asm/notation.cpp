#include "asm/notation.hpp"

#include <cctype>
#include <cstdio>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

using Result = std::optional<int64_t>;

// Sums, differences and products wrap rather than overflow; the expression then
// keeps the notation's width of the result.
Result plus(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) + uint64_t(b)); }
Result minus(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) - uint64_t(b)); }
Result times(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) * uint64_t(b)); }
Result divided(int64_t a, int64_t b) { return b == 0 ? Result() : a / b; }
Result modulo(int64_t a, int64_t b) { return b == 0 ? Result() : a % b; }
Result shifted_left(int64_t a, int64_t b) { return (a << (b & 15)) & 0xFFFF; }
Result shifted_right(int64_t a, int64_t b) { return (a & 0xFFFF) >> (b & 15); }
Result bit_and(int64_t a, int64_t b) { return a & b & 0xFFFF; }
Result bit_or(int64_t a, int64_t b) { return (a | b) & 0xFFFF; }
Result bit_xor(int64_t a, int64_t b) { return (a ^ b) & 0xFFFF; }
Result less(int64_t a, int64_t b) { return (a & 0xFFFF) < (b & 0xFFFF); }
Result less_or_equal(int64_t a, int64_t b) { return (a & 0xFFFF) <= (b & 0xFFFF); }
Result equal(int64_t a, int64_t b) { return (a & 0xFFFF) == (b & 0xFFFF); }
Result not_equal(int64_t a, int64_t b) { return (a & 0xFFFF) != (b & 0xFFFF); }
Result greater(int64_t a, int64_t b) { return (a & 0xFFFF) > (b & 0xFFFF); }
Result greater_or_equal(int64_t a, int64_t b) { return (a & 0xFFFF) >= (b & 0xFFFF); }
Result negated(int64_t a, int64_t) { return static_cast<int64_t>(0 - uint64_t(a)); }
Result same(int64_t a, int64_t) { return a; }
Result complemented(int64_t a, int64_t) { return ~a & 0xFFFF; }
Result low(int64_t a, int64_t) { return a & 0xFF; }
Result high(int64_t a, int64_t) { return (a & 0xFFFF) >> 8; }

std::optional<int64_t> no_register_names(std::string_view) { return std::nullopt; }

// R0-RF and r0-rf, which some A18 builds predefine.
std::optional<int64_t> weak_register_names(std::string_view word)
{
    if (word.size() != 2 || (word[0] != 'R' && word[0] != 'r') || !is_hex_digit(word[1]))
        return std::nullopt;
    return std::isdigit(static_cast<unsigned char>(word[1])) ? word[1] - '0' : (word[1] | 0x20) - 'a' + 10;
}

// The digits in the base, or an error naming the word; a number is at most 32 bits.
std::optional<Evaluated> digits_in_base(std::string_view digits, int base, std::string_view word)
{
    uint64_t value = 0;
    for (const char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : std::isalpha(static_cast<unsigned char>(c)) ? (c | 0x20) - 'a' + 10
                                                                        : 99;
        if (digit >= base)
            return Evaluated{{}, "bad number '" + std::string(word) + "'"};
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFF)
            return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
    }
    if (digits.empty())
        return Evaluated{{}, "bad number '" + std::string(word) + "'"};
    return Evaluated{static_cast<int64_t>(value), {}};
}

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

// Intel numbers, a digit first and the base last (0FFH, 255, 255D, 377O, 377Q,
// 1010B), and $FF, %1010, @377; dots in SB's are ignored.
std::optional<Evaluated> intel_number(std::string_view word, bool dots_ignored)
{
    if (word.size() > 1 && (word[0] == '$' || word[0] == '%' || word[0] == '@')) {
        std::string digits(word.substr(1));
        if (dots_ignored)
            std::erase(digits, '.');
        return digits_in_base(digits, word[0] == '$' ? 16 : word[0] == '%' ? 2 : 8, word);
    }
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0])))
        return std::nullopt;
    const std::string_view digits = word.substr(0, word.size() - 1);
    switch (std::toupper(static_cast<unsigned char>(word.back()))) {
    case 'H': return digits_in_base(digits, 16, word);
    case 'D': return digits_in_base(digits, 10, word);
    case 'O':
    case 'Q': return digits_in_base(digits, 8, word);
    case 'B': return digits_in_base(digits, 2, word);
    default: return digits_in_base(word, 10, word);
    }
}

std::optional<Evaluated> a18_number(std::string_view word) { return intel_number(word, false); }

constexpr Operator kCosmacOperators[] = {
    {"+", Fix::Infix, 1, plus},          {"-", Fix::Infix, 1, minus},
    {"+", Fix::Prefix, 2, same},         {"-", Fix::Prefix, 2, negated},
    {"LOW", Fix::Prefix, 2, low, true},  {"HIGH", Fix::Prefix, 2, high, true},
};

// Lowest first: HIGH LOW .1 .0; OR XOR; AND; NOT; relations; + -; * / MOD SHL
// SHR; unary + -.
constexpr Operator kA18Operators[] = {
    {"HIGH", Fix::Prefix, 0, high},   {"LOW", Fix::Prefix, 0, low},       {".1", Fix::Postfix, 0, high},
    {".0", Fix::Postfix, 0, low},     {"OR", Fix::Infix, 1, bit_or},      {"XOR", Fix::Infix, 1, bit_xor},
    {"AND", Fix::Infix, 2, bit_and},  {"NOT", Fix::Prefix, 3, complemented},
    {"LT", Fix::Infix, 4, less},      {"<", Fix::Infix, 4, less},         {"LE", Fix::Infix, 4, less_or_equal},
    {"<=", Fix::Infix, 4, less_or_equal}, {"=<", Fix::Infix, 4, less_or_equal}, {"EQ", Fix::Infix, 4, equal},
    {"=", Fix::Infix, 4, equal},      {"GE", Fix::Infix, 4, greater_or_equal}, {">=", Fix::Infix, 4, greater_or_equal},
    {"=>", Fix::Infix, 4, greater_or_equal}, {"GT", Fix::Infix, 4, greater}, {">", Fix::Infix, 4, greater},
    {"NE", Fix::Infix, 4, not_equal}, {"<>", Fix::Infix, 4, not_equal},  {"><", Fix::Infix, 4, not_equal},
    {"+", Fix::Infix, 5, plus},       {"-", Fix::Infix, 5, minus},        {"*", Fix::Infix, 6, times},
    {"/", Fix::Infix, 6, divided},    {"MOD", Fix::Infix, 6, modulo},     {"SHL", Fix::Infix, 6, shifted_left},
    {"SHR", Fix::Infix, 6, shifted_right}, {"+", Fix::Prefix, 7, same},   {"-", Fix::Prefix, 7, negated},
};

constexpr DirectiveName kCosmacDirectives[] = {
    {"ORG", Directive::Org}, {"EQU", Directive::Equ}, {"DB", Directive::Bytes}, {"DW", Directive::Words}};

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

// The aliases every foreign notation shares; RET stays 70 there.
constexpr Alias kForeignAliases[] = {
    {"IDL", 0x00, 0},  {"BPZ", 0x33, 1}, {"BGE", 0x33, 1},  {"BM", 0x3B, 1},  {"BL", 0x3B, 1},
    {"RSHR", 0x76, 0}, {"RSHL", 0x7E, 0}, {"NBR", 0x38, 1}, {"LSKP", 0xC8, 0}, {"NLBR", 0xC8, 2},
    {"RET", 0x70, 0},
};

bool is_asm02_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '!'; }

// r0-r15 and ra-rf in any case.
std::optional<int64_t> asm02_register_names(std::string_view word)
{
    if (word.size() < 2 || (word[0] != 'R' && word[0] != 'r'))
        return std::nullopt;
    const std::string_view rest = word.substr(1);
    if (rest.size() == 1 && std::isalpha(static_cast<unsigned char>(rest[0])))
        return is_hex_digit(rest[0]) ? std::optional<int64_t>((rest[0] | 0x20) - 'a' + 10) : std::nullopt;
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

Result odd_high_even_low(int64_t a, int64_t b) { return b % 2 != 0 ? high(a, 0) : low(a, 0); }
Result absolute(int64_t a, int64_t) { return a < 0 ? negated(a, 0) : a; }
Result sign(int64_t a, int64_t) { return (a > 0) - (a < 0); }

// Highest first: high low abs() sgn() and signs; the binary . (e.1 high, e.0
// low); * / %; + -; << >>; & | ^; relations; && || (bitwise, as Asm/02 has them).
constexpr Operator kAsm02Operators[] = {
    {"&&", Fix::Infix, 1, bit_and},   {"||", Fix::Infix, 1, bit_or},      {"==", Fix::Infix, 2, equal},
    {"=", Fix::Infix, 2, equal},      {"!=", Fix::Infix, 2, not_equal},   {"<", Fix::Infix, 2, less},
    {">", Fix::Infix, 2, greater},    {"<=", Fix::Infix, 2, less_or_equal}, {">=", Fix::Infix, 2, greater_or_equal},
    {"&", Fix::Infix, 3, bit_and},    {"|", Fix::Infix, 3, bit_or},       {"^", Fix::Infix, 3, bit_xor},
    {"<<", Fix::Infix, 4, shifted_left}, {">>", Fix::Infix, 4, shifted_right}, {"+", Fix::Infix, 5, plus},
    {"-", Fix::Infix, 5, minus},      {"*", Fix::Infix, 6, times},        {"/", Fix::Infix, 6, divided},
    {"%", Fix::Infix, 6, modulo},     {".", Fix::Infix, 7, odd_high_even_low}, {"HIGH", Fix::Prefix, 8, high},
    {"LOW", Fix::Prefix, 8, low},     {"ABS", Fix::Prefix, 8, absolute, true}, {"SGN", Fix::Prefix, 8, sign, true},
    {"+", Fix::Prefix, 8, same},      {"-", Fix::Prefix, 8, negated},
};

constexpr DirectiveName kAsm02Directives[] = {
    {"ORG", Directive::Org},          {"EQU", Directive::Equ},         {"DB", Directive::Bytes},
    {"DW", Directive::Words},         {"DS", Directive::Reserve},      {"END", Directive::Ignored},
    {".ALIGN", Directive::Align},     {".OP", Directive::UserOp},      {".LIST", Directive::Ignored},
    {".SYM", Directive::Ignored},     {".INTEL", Directive::Ignored},  {".BINARY", Directive::Ignored},
    {".RCS", Directive::Ignored},     {".LINK", Directive::Ignored},   {".ARCH", Directive::Ignored},
};

// NBR and NLBR take no operand here, and SKP and LSKP are their other names.
constexpr Alias kAsm02Aliases[] = {
    {"IDL", 0x00, 0},  {"BPZ", 0x33, 1},  {"BGE", 0x33, 1}, {"BM", 0x3B, 1},   {"BL", 0x3B, 1},  {"RSHR", 0x76, 0},
    {"RSHL", 0x7E, 0}, {"NBR", 0x38, 0},  {"LSKP", 0xC8, 0}, {"NLBR", 0xC8, 0}, {"RET", 0x70, 0},
};

bool is_rca_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Decimal, or hex after #.
std::optional<Evaluated> rca_number(std::string_view word)
{
    if (word.size() > 1 && word[0] == '#')
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
    {"+", Fix::Infix, 1, plus},          {"-", Fix::Infix, 1, minus},         {"+", Fix::Prefix, 2, same},
    {"-", Fix::Prefix, 2, negated},      {"A", Fix::Prefix, 2, same, true},   {"A.0", Fix::Prefix, 2, low, true},
    {"A.1", Fix::Prefix, 2, high, true},
};

constexpr DirectiveName kRcaDirectives[] = {
    {"ORG", Directive::Org}, {"DC", Directive::DataList}, {"PAGE", Directive::Page}, {"END", Directive::End}};

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

Result sb_equal(int64_t a, int64_t b) { return a == b ? -1 : 0; }
Result sb_not_equal(int64_t a, int64_t b) { return a != b ? -1 : 0; }
Result sb_less(int64_t a, int64_t b) { return a < b ? -1 : 0; }
Result sb_greater(int64_t a, int64_t b) { return a > b ? -1 : 0; }
Result sb_less_or_equal(int64_t a, int64_t b) { return a <= b ? -1 : 0; }
Result sb_greater_or_equal(int64_t a, int64_t b) { return a >= b ? -1 : 0; }
Result wide_and(int64_t a, int64_t b) { return a & b; }
Result wide_or(int64_t a, int64_t b) { return a | b; }
Result wide_xor(int64_t a, int64_t b) { return a ^ b; }
Result wide_left(int64_t a, int64_t b) { return (a << (b & 31)) & 0xFFFFFFFF; }
Result wide_right(int64_t a, int64_t b) { return (a & 0xFFFFFFFF) >> (b & 31); }
Result wide_complement(int64_t a, int64_t) { return ~a & 0xFFFFFFFF; }
Result bits_0_7(int64_t a, int64_t) { return a & 0xFF; }
Result bits_8_15(int64_t a, int64_t) { return a >> 8 & 0xFF; }
Result bits_16_23(int64_t a, int64_t) { return a >> 16 & 0xFF; }
Result bits_24_31(int64_t a, int64_t) { return a >> 24 & 0xFF; }

// Strictly left to right, no precedence; - and + before one term; ~ and the
// byte selectors # / = \ at the start of an operand apply to all of it.
constexpr Operator kSbOperators[] = {
    {"~", Fix::Prefix, 0, wide_complement}, {"#", Fix::Prefix, 0, bits_0_7},  {"/", Fix::Prefix, 0, bits_8_15},
    {"=", Fix::Prefix, 0, bits_16_23},  {"\\", Fix::Prefix, 0, bits_24_31},  {"+", Fix::Infix, 1, plus},
    {"-", Fix::Infix, 1, minus},        {"*", Fix::Infix, 1, times},          {"/", Fix::Infix, 1, divided},
    {"\\", Fix::Infix, 1, modulo},      {"&", Fix::Infix, 1, wide_and},       {"|", Fix::Infix, 1, wide_or},
    {"^", Fix::Infix, 1, wide_or},      {"!", Fix::Infix, 1, wide_xor},       {"<<", Fix::Infix, 1, wide_left},
    {">>", Fix::Infix, 1, wide_right},  {"=", Fix::Infix, 1, sb_equal},       {"<>", Fix::Infix, 1, sb_not_equal},
    {"!=", Fix::Infix, 1, sb_not_equal}, {"<", Fix::Infix, 1, sb_less},       {">", Fix::Infix, 1, sb_greater},
    {"<=", Fix::Infix, 1, sb_less_or_equal}, {">=", Fix::Infix, 1, sb_greater_or_equal},
    {"-", Fix::Prefix, 2, negated},     {"+", Fix::Prefix, 2, same},
};

constexpr DirectiveName kSbDirectives[] = {
    {".OR", Directive::Org},     {".EQ", Directive::Equ},       {"=", Directive::Equ},        {".SE", Directive::Set},
    {".DB", Directive::Bytes},   {".DW", Directive::Words},     {".DA", Directive::Addresses}, {".DR", Directive::Reversed},
    {".DL", Directive::Longs},   {".AS", Directive::Text7},     {".AT", Directive::Text7},    {".AZ", Directive::Text7},
    {".HS", Directive::HexString}, {".BS", Directive::Block},   {".DO", Directive::If},       {".EL", Directive::Else},
    {".FI", Directive::EndIf},   {".IN", Directive::Include},   {".EN", Directive::End},      {".CR", Directive::Cpu},
    {".ER", Directive::UserError}, {".TF", Directive::Ignored}, {".LF", Directive::Ignored},  {".LI", Directive::Ignored},
    {".SF", Directive::Ignored}, {".EF", Directive::Ignored},    {".EB", Directive::Ignored},  {".RU", Directive::Ignored},
    {".TW", Directive::Ignored},
};

// The usual pseudo-instructions of Elf/OS sources, as Asm/02's documentation
// defines them; a source's own .op lines replace them.
constexpr std::string_view kAsm02Ops[] = {
    R"("PUSH","N","9$1 73 8$1 73")",    R"("POP","N","60 72 A$1 F0 B$1")",      R"("MOV","NR","9$2 B$1 8$2 A$1")",
    R"("MOV","NW","F8 H2 B$1 F8 L2 A$1")", R"("CALL","W","D4 H1 L1")", R"("RTN","","D5")",
};

}  // namespace

std::optional<Evaluated> quoted_constant(char kind, std::string_view body)
{
    switch (std::toupper(static_cast<unsigned char>(kind))) {
    case 'X': return digits_in_base(body, 16, body);
    case 'D': return digits_in_base(body, 10, body);
    case 'B': {
        auto value = digits_in_base(body, 2, body);
        if (value->value)
            *value->value &= 0xFF;
        return value;
    }
    case 'T': {
        int64_t value = 0;
        for (const char c : body)
            value = (value << 8 | static_cast<unsigned char>(c)) & 0xFFFF;
        return Evaluated{value, {}};
    }
    default: return std::nullopt;
    }
}

namespace {

std::string folded_directive(const Notation& notation, std::string_view name)
{
    std::string folded = upper(name);
    if (notation.sb_layout && folded.size() > 3 && folded[0] == '.')
        folded.resize(3);  // only the dot and two letters count: .ORG is .OR
    return folded;
}

// What the notations' own assemblers take and cosmac-asm does not, and why.
struct Unsupported {
    std::string_view notation;
    std::string_view word;
    std::string_view why;
};

constexpr Unsupported kUnsupported[] = {
    {"asm02", "PROC", "relocatable modules need a linker"},
    {"asm02", "ENDP", "relocatable modules need a linker"},
    {"asm02", "PUBLIC", "relocatable modules need a linker"},
    {"asm02", "EXTRN", "relocatable modules need a linker"},
    {"asm02", "VER", "its bytes are the build date, which no two builds share"},
    {"asm02", "EVER", "its bytes are the build date, which no two builds share"},
    {"asm02", "EEVER", "its bytes are the build date, which no two builds share"},
    {"asm02", "DD", "values are 16 bits here"},
    {"asm02", "DF", "values are 16 bits here"},
    {"asm02", ".1805", "only the 1802's opcodes are assembled"},
    {"asm02", ".SUPPRESS", "every assembled byte is written"},
    {"sb", ".MA", "cosmac-asm has no macros"},
    {"sb", ".EM", "cosmac-asm has no macros"},
    {"sb", ".PH", "code is assembled only for the address it loads at"},
    {"sb", ".EP", "code is assembled only for the address it loads at"},
    {"sb", ".DU", "cosmac-asm has no dummy sections"},
    {"sb", ".ED", "cosmac-asm has no dummy sections"},
    {"sb", ".NO", "write .BS with the count of bytes"},
    {"sb", ".CH", "write .IN and .EN"},
    {"sb", ".RF", "its bytes are random or the build time"},
    {"sb", ".TS", "its bytes are random or the build time"},
    {"sb", ".SM", "it is rare in 1802 sources"},
    {"sb", ".BI", "it is rare in 1802 sources"},
    {"sb", ".TA", "it is rare in 1802 sources"},
};

}  // namespace

Directive directive_named(const Notation& notation, std::string_view name)
{
    const std::string folded = folded_directive(notation, name);
    for (const DirectiveName& directive : notation.directives) {
        if (directive.name == folded)
            return directive.directive;
    }
    return Directive::None;
}

std::string value_text(const Notation& notation, int64_t value)
{
    const bool decimal = notation.number("10")->value == 10;
    const uint64_t magnitude = value < 0 ? 0 - uint64_t(value) : uint64_t(value);
    char text[24];
    std::snprintf(text, sizeof text, decimal ? "%s%llu" : "%s%llx", value < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude));
    return text;
}

const Notation kCosmacNotation{
    .name = "cosmac",
    .comment = ";",
    .number = cosmac_number,
    .number_prefixes = "",
    .is_name_char = is_identifier_char,
    .operators = kCosmacOperators,
    .value_bits = 32,
    .location_counters = "$",
    .register_name = no_register_names,
    .low_byte_branch_literals = true,
    .directives = kCosmacDirectives,
};

const Notation kA18Notation{
    .name = "a18",
    .comment = ";",
    .number = a18_number,
    .number_prefixes = "$%@",
    .is_name_char = is_word_char,
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
};

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
};

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

const Notation kSbNotation{
    .name = "sb",
    .comment = ";",
    .number = sb_number,
    .number_prefixes = "$%@",
    .is_name_char = is_identifier_char,
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
};

namespace {

constexpr const Notation* kNotations[] = {&kCosmacNotation, &kRcaNotation, &kA18Notation, &kAsm02Notation, &kSbNotation};

std::string hint(const Notation& notation, std::string_view word, const char* what,
                 bool (*known)(const Notation&, std::string_view))
{
    std::string names;
    for (const Notation* other : kNotations) {
        if (other == &notation || !known(*other, word))
            continue;
        if (!names.empty())
            names.push_back('/');
        names.append(other->name);
    }
    if (names.empty())
        return {};
    std::string text = "; `";
    text.append(word).append("` is ").append(what).append(" in --syntax ").append(names);
    return text;
}

}  // namespace

std::string number_hint(const Notation& notation, std::string_view word)
{
    return hint(notation, word, "a number", [](const Notation& n, std::string_view w) {
        const auto number = n.number(w);
        return number && number->value;
    });
}

std::string operation_hint(const Notation& notation, std::string_view word)
{
    const std::string folded = folded_directive(notation, word);
    for (const Unsupported& u : kUnsupported) {
        if (u.notation == notation.name && u.word == folded) {
            std::string text = "; `";
            text.append(word).append("` is not supported: ").append(u.why);
            return text;
        }
    }
    return hint(notation, word, "a directive", [](const Notation& n, std::string_view w) {
        return directive_named(n, w) != Directive::None;
    });
}

std::span<const Notation* const> notations() { return kNotations; }

const Notation* notation_named(std::string_view name)
{
    for (const Notation* notation : kNotations) {
        if (notation->name == name)
            return notation;
    }
    return nullptr;
}

}  // namespace cosmac::assembler
