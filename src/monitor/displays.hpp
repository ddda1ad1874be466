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

// The registers on one line, as debugger mode's "set registers line" shows them
// at each stop: "D=41 DF=0 X=2 P=3 R0=0000 ... RF=0000 Q=0 IE=1 T=00".
std::string register_line(const MachineState& state);

// 256 bytes from start, sixteen to a line; addresses past FFFF wrap to 0000.
std::string memory_dump(const Memory& memory, uint16_t start);

}  // namespace cosmac
