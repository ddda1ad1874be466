// The data directives' bytes: values, words, strings and text in each
// notation's forms, fills, RCA's data lists and Asm/02's build stamps.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "asm/statement_encoder.hpp"

namespace cosmac::assembler {

using Items = std::vector<std::string_view>;

void encode_bytes(Encoder& e, const Items& items);
void encode_words(Encoder& e, const Items& items);
// TEXT: quoted strings, separated by blanks or commas, copied as written.
void encode_text(Encoder& e, std::string_view text);
void encode_fill(Encoder& e, const Items& operands, uint32_t count);
// RCA's data list: T'..' gives its characters, A(e) two bytes, A.0(e), A.1(e) and
// B'..' one, a constant above 255 two (high first), any other value its low byte.
void encode_data_list(Encoder& e, const Items& items);
// SB's .AS, .AT, .AZ: delimited text (\ escapes the next character) and #expr
// bytes, separated by commas; a leading - sets bit 7 of every byte.
void encode_text7(Encoder& e, std::string_view text);
// SB's .HS: pairs of hex digits; dots between them are ignored.
void encode_hex_string(Encoder& e, std::string_view text);
// SB's .DA: a word each, or one byte where the item starts with a selector.
void encode_addresses(Encoder& e, const Items& items);
// SB's .DR (low byte first) and .DL (32 bits, high byte first).
void encode_wide(Encoder& e, const Items& items, bool reversed);
// VER: month, day, year (two bytes). EVER: the month + 80, and the build number
// after the year. EEVER: the month + c0, and the time between year and build.
void encode_version(Encoder& e, const BuildStamp& stamp);

}  // namespace cosmac::assembler
