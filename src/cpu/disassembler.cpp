#include "cpu/disassembler.hpp"

#include <cstdio>

#include "cpu/opcode_table.hpp"

namespace cosmac {

Disassembly disassemble(const Memory& memory, uint16_t address)
{
    const OpInfo& op = kOpcodeTable[memory[address]];
    const int mnemonic_length = static_cast<int>(op.mnemonic.size());
    const uint8_t a1 = memory[static_cast<uint16_t>(address + 1)];
    const uint8_t a2 = memory[static_cast<uint16_t>(address + 2)];

    char text[32];
    switch (op.length) {
    case 1:
        std::snprintf(text, sizeof text, "%04x %.*s\n", address, mnemonic_length, op.mnemonic.data());
        break;
    case 2:
        std::snprintf(text, sizeof text, "%04x %.*s %02x\n", address, mnemonic_length, op.mnemonic.data(), a1);
        break;
    default:
        std::snprintf(text, sizeof text, "%04x %.*s %02x%02x\n", address, mnemonic_length, op.mnemonic.data(), a1,
                      a2);
        break;
    }
    return {text, op.length};
}

}  // namespace cosmac
