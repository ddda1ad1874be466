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
#include "debug/symbols.hpp"
#include "debug/values.hpp"

namespace cosmac {

// The words after the command letter.
std::vector<std::string_view> argument_words(std::string_view line);

// A standard command line in debugger mode: read as the plain monitor reads it,
// except that a symbol stands for its address where the command takes one. The
// lines that come back say where the reading differs from what was typed:
// "note: 3g read as 0003", "note: 123 stored as 23", "note: zz ignored".
std::vector<std::string> parse_standard_command(std::string_view line, const SymbolTable& symbols,
                                                CommandLine& command);

}  // namespace cosmac
