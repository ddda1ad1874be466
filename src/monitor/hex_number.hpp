#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cosmac {

// Reads a hexadecimal number at text[position] the way scanf's "%x" does: white
// space, an optional sign (minus negates in 32-bit two's complement), an optional
// 0x or 0X, then digits in either case. The value keeps 32 bits; further digits
// shift the earlier ones out. On success position moves past the number; without
// a number the result is empty and position is unspecified.
std::optional<uint32_t> parse_hex(std::string_view text, std::size_t& position);

// The same, at the start of text.
std::optional<uint32_t> parse_hex(std::string_view text);

// The white space of the C locale, which scanf skips.
constexpr bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace cosmac
