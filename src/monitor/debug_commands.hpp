// The commands that debugger mode adds to the monitor.
#pragma once

#include <array>
#include <string_view>

#include "monitor/command_line.hpp"

namespace cosmac {

// In the order of their lines in the help text, after the monitor's own.
extern const std::array<Command, 10> kDebuggerCommands;

}  // namespace cosmac
