#include "asm/text.hpp"

#include <cctype>
#include <cstdio>

namespace cosmac::assembler {

bool is_word_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool all_hex_digits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!is_hex_digit(c))
            return false;
    }
    return true;
}

std::size_t word_length(std::string_view text)
{
    std::size_t end = 0;
    while (end < text.size() && is_name_char(text[end]))
        ++end;
    return end;
}

std::vector<std::string_view> split_operands(std::string_view text)
{
    std::vector<std::string_view> operands;
    if (trim(text).empty())
        return operands;
    int depth = 0;
    std::size_t start = 0;
    find_unquoted(text, [&](std::size_t i) {
        if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')') {
            --depth;
        } else if (text[i] == ',' && depth == 0) {
            operands.push_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
        return false;
    });
    operands.push_back(trim(text.substr(start)));
    return operands;
}

std::optional<uint8_t> quoted_char(std::string_view text, std::size_t& i)
{
    if (text[i] != '\\')
        return static_cast<uint8_t>(text[i++]);
    if (i + 1 >= text.size())
        return std::nullopt;
    const char c = text[i + 1];
    i += 2;
    switch (c) {
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    case '0': return 0x00;
    case '\\': return '\\';
    case '\'': return '\'';
    case '"': return '"';
    default: return std::nullopt;
    }
}

StringLiteral string_literal(std::string_view item)
{
    StringLiteral literal;
    const char quote = item[0];
    std::size_t i = 1;
    while (i < item.size() && item[i] != quote) {
        const auto c = quoted_char(item, i);
        if (!c)
            return {{}, "unknown escape in string"};
        literal.bytes.push_back(*c);
    }
    if (i + 1 != item.size())
        return {{}, "unterminated string"};
    return literal;
}

}  // namespace cosmac::assembler
