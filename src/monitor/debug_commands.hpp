// The commands that debugger mode adds to the monitor.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "monitor/command_line.hpp"

namespace cosmac {

// In the order of their lines in the help text, after the monitor's own.
extern const std::span<const Command> kDebuggerCommands;

// The line with a word people type from gdb ("break", "continue", "info
// registers") in the place of the command's letter, or of its own name where
// it has no letter; other lines as they are.
std::string expand_long_name(std::string_view line);

// The help text's lines of gdb's words for commands whose rows have another
// name: " Also: continue = g, stepi = s, ...".
std::string long_names_help();

// "info breakpoints": the words of gdb's that also reach the row's command,
// besides the name its help line gives.
std::string other_names(const Command& row);

// The command that has no letter and whose name starts the line, if any.
const Command* named_command(std::string_view line);

}  // namespace cosmac
