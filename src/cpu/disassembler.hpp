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
    std::optional<uint16_t> target;  // where a branch or a call goes
};

// The most bytes an instruction has: the 1805's 68 8N hh ll.
inline constexpr std::size_t kLongestInstruction = 4;
using InstructionBytes = std::array<uint8_t, kLongestInstruction>;

// An instruction from its opcode and the bytes that follow it, as it stands (or
// stood) at the address; extended reads 68 as the 1804/1805/1806's prefix.
Disassembly disassemble(const InstructionBytes& bytes, uint16_t address, bool extended = false);

// Operand bytes past FFFF are read from 0000 on.
Disassembly disassemble(const Memory& memory, uint16_t address, bool extended = false);

}  // namespace cosmac
