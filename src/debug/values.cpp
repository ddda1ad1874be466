#include "debug/values.hpp"

#include <algorithm>

#include "text/text.hpp"

namespace cosmac {
namespace {

// The word without a 0x or 0X before its digits.
std::string_view without_0x(std::string_view word)
{
    if (word.starts_with("0x") || word.starts_with("0X"))
        word.remove_prefix(2);
    return word;
}

}  // namespace

std::optional<uint32_t> plain_number(std::string_view word)
{
    word = without_0x(word);
    if (word.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : word) {
        const int digit = hex_digit_value(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFF)
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool all_hex(std::string_view word)
{
    word = without_0x(word);
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return hex_digit_value(c) >= 0; });
}

Reading read_value(std::string_view word, const SymbolTable& symbols, const Field& field)
{
    const auto too_large = [&] {
        return Reading{std::nullopt, "Too large for " + std::string(field.name) + ": " + std::string(word) +
                                         " (at most " + hex_text(field.largest, 1) + ")"};
    };
    std::optional<uint64_t> value;
    if (const auto symbol = symbols.find(word)) {
        value = *symbol;
    } else if (const std::size_t sign = word.find_last_of("+-"); sign != std::string_view::npos && sign > 0) {
        const auto base = symbols.find(word.substr(0, sign));
        const auto offset = plain_number(word.substr(sign + 1));
        if (base && offset) {
            if (word[sign] == '-' && *offset > *base)
                return {std::nullopt, "Below 0000: " + std::string(word)};
            value = word[sign] == '+' ? uint64_t{*base} + *offset : uint64_t{*base} - *offset;
        }
    } else if (const auto number = plain_number(word)) {
        value = *number;
    } else if (all_hex(word)) {
        return too_large();  // more digits than 32 bits hold
    }
    if (!value)
        return {std::nullopt, "Not a number or symbol: " + std::string(word)};
    if (*value > field.largest)
        return too_large();
    return {static_cast<uint32_t>(*value), {}};
}

}  // namespace cosmac
