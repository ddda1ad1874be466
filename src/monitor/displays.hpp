// The monitor's fixed screens. Their layout, down to tabs and blank lines, is part
// of the user interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cpu/machine_state.hpp"

namespace cosmac {

// with_flags adds debugger mode's line of T, IE and EF1-EF4, which the display
// otherwise keeps to itself.
std::string register_display(const MachineState& state, bool with_flags = false);

// 256 bytes from start, sixteen to a line; addresses past FFFF wrap to 0000.
std::string memory_dump(const Memory& memory, uint16_t start);

}  // namespace cosmac
