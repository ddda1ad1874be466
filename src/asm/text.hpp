// Scanning assembler source: words, quotes, comments and operand lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.hpp"

namespace cosmac::assembler {


bool is_word_char(char c);  // a letter, digit or _: what whole-word matches stop at
bool all_hex_digits(std::string_view text);

// The length of the word of identifier characters at the start of text.
std::size_t word_length(std::string_view text);

// The index of the first character outside quotes for which found(i) holds, or
// text.size(). A backslash inside quotes escapes the next character.
template <class Predicate>
std::size_t find_unquoted(std::string_view text, Predicate found)
{
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (found(i)) {
            return i;
        }
    }
    return text.size();
}

// Operands split at commas outside quotes and parentheses, each trimmed.
std::vector<std::string_view> split_operands(std::string_view text);

// One character of a quoted literal at text[i], with the escapes \n \r \t \0 \\ \'
// \"; advances i. Empty at a bad escape.
std::optional<uint8_t> quoted_char(std::string_view text, std::size_t& i);

// The bytes of a "..." (or '...') literal, or an error with no bytes.
struct StringLiteral {
    std::vector<uint8_t> bytes;
    const char* error = nullptr;
};
StringLiteral string_literal(std::string_view item);

}  // namespace cosmac::assembler
