#include "asm/notation.hpp"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "asm/notations/shared.hpp"
#include "asm/text.hpp"

namespace cosmac::assembler {

OperatorResult plus(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) + uint64_t(b)); }
OperatorResult minus(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) - uint64_t(b)); }
OperatorResult times(int64_t a, int64_t b) { return static_cast<int64_t>(uint64_t(a) * uint64_t(b)); }
OperatorResult divided(int64_t a, int64_t b) { return b == 0 ? OperatorResult() : a / b; }
OperatorResult modulo(int64_t a, int64_t b) { return b == 0 ? OperatorResult() : a % b; }
OperatorResult shifted_left(int64_t a, int64_t b) { return (a << (b & 15)) & 0xFFFF; }
OperatorResult shifted_right(int64_t a, int64_t b) { return (a & 0xFFFF) >> (b & 15); }
OperatorResult bit_and(int64_t a, int64_t b) { return a & b & 0xFFFF; }
OperatorResult bit_or(int64_t a, int64_t b) { return (a | b) & 0xFFFF; }
OperatorResult bit_xor(int64_t a, int64_t b) { return (a ^ b) & 0xFFFF; }
OperatorResult less(int64_t a, int64_t b) { return (a & 0xFFFF) < (b & 0xFFFF); }
OperatorResult less_or_equal(int64_t a, int64_t b) { return (a & 0xFFFF) <= (b & 0xFFFF); }
OperatorResult equal(int64_t a, int64_t b) { return (a & 0xFFFF) == (b & 0xFFFF); }
OperatorResult not_equal(int64_t a, int64_t b) { return (a & 0xFFFF) != (b & 0xFFFF); }
OperatorResult greater(int64_t a, int64_t b) { return (a & 0xFFFF) > (b & 0xFFFF); }
OperatorResult greater_or_equal(int64_t a, int64_t b) { return (a & 0xFFFF) >= (b & 0xFFFF); }
OperatorResult negated(int64_t a, int64_t) { return static_cast<int64_t>(0 - uint64_t(a)); }
OperatorResult same(int64_t a, int64_t) { return a; }
OperatorResult complemented(int64_t a, int64_t) { return ~a & 0xFFFF; }
OperatorResult low(int64_t a, int64_t) { return a & 0xFF; }
OperatorResult high(int64_t a, int64_t) { return (a & 0xFFFF) >> 8; }

std::optional<int64_t> no_register_names(std::string_view) { return std::nullopt; }

// R0-RF and r0-rf, which some A18 builds predefine.
std::optional<int64_t> weak_register_names(std::string_view word)
{
    if (word.size() != 2 || (word[0] != 'R' && word[0] != 'r') || !is_hex_digit(word[1]))
        return std::nullopt;
    return hex_digit_value(word[1]);
}

std::optional<Evaluated> digits_in_base(std::string_view digits, int base, std::string_view word)
{
    uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hex_digit_value(c);  // no base is above 16
        if (digit < 0 || digit >= base)
            return Evaluated{{}, "bad number '" + std::string(word) + "'"};
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFF)
            return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
    }
    if (digits.empty())
        return Evaluated{{}, "bad number '" + std::string(word) + "'"};
    return Evaluated{static_cast<int64_t>(value), {}};
}

std::optional<Evaluated> intel_number(std::string_view word, bool dots_ignored)
{
    if (!word.empty() && (word[0] == '$' || word[0] == '%' || word[0] == '@')) {
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
    if (notation.sb_layout && folded.starts_with('.'))
        return folded.substr(0, 3);  // only the dot and two letters count: .ORG is .OR
    return folded;
}

}  // namespace

bool makes_bytes(Directive directive)
{
    switch (directive) {
    case Directive::None:
    case Directive::Bytes:
    case Directive::Words:
    case Directive::Text:
    case Directive::Fill:
    case Directive::Load:
    case Directive::Call:
    case Directive::Return:
    case Directive::DataList:
    case Directive::Text7:
    case Directive::HexString:
    case Directive::Addresses:
    case Directive::Reversed:
    case Directive::Longs:
    case Directive::Version:
    case Directive::Block:  // with a fill value; without one it makes no bytes
    case Directive::NewOrigin:
        return true;
    default:
        return false;
    }
}

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
    const auto magnitude = static_cast<unsigned long long>(std::llabs(value));  // values hold 32 bits at most
    return formatted(decimal ? "%s%llu" : "%s%llx", value < 0 ? "-" : "", magnitude);
}

std::string wrapped_notice(const Notation& notation)
{
    return "arithmetic wrapped to " + std::to_string(notation.value_bits) + " bits";
}






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
    for (const Unsupported& u : notation.unsupported) {
        if (u.word == folded) {
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

std::string column_one_hint(const Notation& notation)
{
    if (notation.column_one_labels)
        return {};
    std::vector<std::string_view> names;
    for (const Notation* other : kNotations) {
        if (other->column_one_labels)
            names.push_back(other->name);
    }
    std::string others;
    for (std::size_t i = 1; i < names.size(); ++i)
        others += (others.empty() ? "" : ", ") + std::string(names[i]);
    return "; try --syntax " + std::string(names[0]) + (others.empty() ? "" : " (or " + others + ")") +
           ", where a word in column 1 is a label";
}

const Notation* notation_named(std::string_view name)
{
    for (const Notation* notation : kNotations) {
        if (notation->name == name)
            return notation;
    }
    return nullptr;
}

}  // namespace cosmac::assembler
