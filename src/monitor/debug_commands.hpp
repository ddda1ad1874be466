// The commands that debugger mode adds to the monitor.
#pragma once

#include <array>
#include <string_view>

#include "monitor/command_line.hpp"

namespace cosmac {

extern const std::array<Command, 10> kDebuggerCommands;

// One help line for each, as the monitor's help text lays out its own.
extern const std::string_view kDebuggerHelp;

}  // namespace cosmac
