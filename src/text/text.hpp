// Small text helpers that the file formats, the monitor and the assembler share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cosmac {

// 0-15 for a hexadecimal digit in either case, -1 for any other character.
constexpr int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value in lower-case hexadecimal, at least width digits.
std::string hex_text(uint64_t value, int width);

bool equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace cosmac
