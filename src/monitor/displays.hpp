// The monitor's fixed screens. Their layout, down to tabs and blank lines, is part
// of the user interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cpu/machine_state.hpp"

namespace cosmac {

// with_flags adds debugger mode's line of T, IE and EF1-EF4, which the display
// otherwise keeps to itself; with_counter the 1805's counter line,
// " CNTR = 05, CH = 09, CIL = 0, CIE = 1, XIE = 1, ETQ = 0, timer".
std::string register_display(const MachineState& state, bool with_flags = false, bool with_counter = false);

// The registers on one line, as debugger mode's "set registers line" shows them
// at each stop: "D=41 DF=0 X=2 P=3 R0=0000 ... RF=0000 Q=0 IE=1 T=00", and with
// the counter " CNTR=05 CH=09 CIL=0 CIE=1 XIE=1 ETQ=0 timer".
std::string register_line(const MachineState& state, bool with_counter = false);

// 256 bytes from start, sixteen to a line; addresses past FFFF wrap to 0000.
std::string memory_dump(const Memory& memory, uint16_t start);

}  // namespace cosmac
