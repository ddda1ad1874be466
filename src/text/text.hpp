// Small text helpers that the file formats, the monitor and the assembler share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

constexpr bool is_hex_digit(char c) { return hex_digit_value(c) >= 0; }

// What separates the fields of a source line or a symbol file's line.
constexpr bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

// The value in lower-case hexadecimal, at least width digits.
std::string hex_text(uint64_t value, int width);

// printf's formatting, into a string of the length that it takes.
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The names of programs' labels and constants: a letter or _, then letters,
// digits, _ and . (SB's local labels are GLOBAL.LOCAL).
bool is_name_start(char c);
bool is_name_char(char c);

// The lines of a text without their line ends, LF or CR LF; a last line needs no
// line end.
std::vector<std::string_view> text_lines(std::string_view text);

bool equal_ignoring_case(std::string_view a, std::string_view b);

std::string upper(std::string_view text);

// The text without the white space around it.
std::string_view trim(std::string_view text);

}  // namespace cosmac
