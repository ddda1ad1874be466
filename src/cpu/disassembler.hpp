#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "cpu/machine_state.hpp"

namespace cosmac {

struct Disassembly {
    std::string line;  // "0010 BR 05\n": address, mnemonic, operand bytes
    uint8_t length;    // bytes to advance to the next instruction
    std::optional<uint16_t> target;  // where a branch or a Call goes
};

// An instruction from its opcode and the two bytes that follow it, as it stands
// (or stood) at the address.
Disassembly disassemble(const std::array<uint8_t, 3>& bytes, uint16_t address);

// Operand bytes past FFFF are read from 0000 on.
Disassembly disassemble(const Memory& memory, uint16_t address);

}  // namespace cosmac
