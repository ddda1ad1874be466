// Values typed to the debugger, in whatever front end: hexadecimal numbers and
// symbols, read strictly, refusing rather than guessing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "debug/symbols.hpp"

namespace cosmac {

// What a value typed for a debugger command fills, and the largest it takes.
struct Field {
    std::string_view name;  // "an address", "a byte", "DF"
    uint32_t largest;
};
inline constexpr Field kAddressField{"an address", 0xFFFF};
inline constexpr Field kByteField{"a byte", 0xFF};
inline constexpr Field kCountField{"a count", 0xFFFFFFFF};

// A value, or the message that refuses the word.
struct Reading {
    std::optional<uint32_t> value;
    std::string error;
};

// A hexadecimal number (digits only, 0x before them allowed), a symbol, or a
// symbol plus or minus a hexadecimal offset; a symbol's name wins over the same
// letters read as a number, so 0cafe is the number where cafe is a symbol.
Reading read_value(std::string_view word, const SymbolTable& symbols, const Field& field);

// Hex digits only, with 0x before them allowed; empty when the word is not that
// or its value needs more than 32 bits.
std::optional<uint32_t> plain_number(std::string_view word);

// Hex digits only, with 0x before them allowed, however many.
bool all_hex(std::string_view word);

}  // namespace cosmac
