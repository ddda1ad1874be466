#pragma once

#include <cstdint>
#include <string>

#include "cpu/machine_state.hpp"

namespace cosmac {

struct Disassembly {
    std::string line;  // "0010 BR 05\n": address, mnemonic, operand bytes
    uint8_t length;    // bytes to advance to the next instruction
};

// Operand bytes past FFFF are read from 0000 on.
Disassembly disassemble(const Memory& memory, uint16_t address);

}  // namespace cosmac
