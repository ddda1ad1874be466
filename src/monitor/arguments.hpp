// The arguments of command lines in debugger mode. The debugger's own commands
// read theirs strictly, refusing rather than guessing; the monitor's standard
// commands keep their own reading and, in debugger mode, say where it was not
// what was typed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/command_line.hpp"
#include "monitor/symbols.hpp"

namespace cosmac {

// The words after the command letter.
std::vector<std::string_view> argument_words(std::string_view line);

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

// A standard command line in debugger mode: read as the plain monitor reads it,
// except that a symbol stands for its address where the command takes one. The
// lines that come back say where the reading differs from what was typed:
// "note: 3g read as 0003", "note: 123 stored as 23", "note: zz ignored".
std::vector<std::string> parse_standard_command(std::string_view line, const SymbolTable& symbols,
                                                CommandLine& command);

}  // namespace cosmac
