#include "monitor/hex_number.hpp"

#include "text/text.hpp"

namespace cosmac {
std::optional<uint32_t> parse_hex(std::string_view text, std::size_t& position)
{
    std::size_t i = position;
    while (i < text.size() && is_blank(text[i]))
        ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    // "0x" counts as a number on its own (zero), as it does for scanf.
    bool have_digits = false;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        have_digits = true;
    }

    uint32_t value = 0;
    for (int digit; i < text.size() && (digit = hex_digit_value(text[i])) >= 0; ++i) {
        value = value << 4 | static_cast<uint32_t>(digit);
        have_digits = true;
    }
    if (!have_digits)
        return std::nullopt;

    position = i;
    return negative ? 0u - value : value;
}

std::optional<uint32_t> parse_hex(std::string_view text)
{
    std::size_t position = 0;
    return parse_hex(text, position);
}

}  // namespace cosmac
