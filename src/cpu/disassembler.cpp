#include "cpu/disassembler.hpp"

#include "cpu/opcode_table.hpp"
#include "text/text.hpp"

namespace cosmac {

Disassembly disassemble(const std::array<uint8_t, 3>& bytes, uint16_t address)
{
    const OpInfo& op = kOpcodeTable[bytes[0]];
    const int mnemonic_length = static_cast<int>(op.mnemonic.size());
    const uint8_t a1 = bytes[1];
    const uint8_t a2 = bytes[2];

    Disassembly result{{}, op.length, std::nullopt};
    switch (op.length) {
    case 1:
        result.line = formatted("%04x %.*s\n", address, mnemonic_length, op.mnemonic.data());
        break;
    case 2:
        result.line = formatted("%04x %.*s %02x\n", address, mnemonic_length, op.mnemonic.data(), a1);
        // Two-byte instructions of row 3 are the short branches, which stay in
        // the page of their operand byte.
        if (bytes[0] >> 4 == 0x3)
            result.target = static_cast<uint16_t>((static_cast<uint16_t>(address + 1) & 0xFF00) | a1);
        break;
    default:  // the long branches and Call, the only three-byte instructions
        result.line = formatted("%04x %.*s %02x%02x\n", address, mnemonic_length, op.mnemonic.data(), a1, a2);
        result.target = static_cast<uint16_t>(a1 << 8 | a2);
        break;
    }
    return result;
}

Disassembly disassemble(const Memory& memory, uint16_t address)
{
    const std::array<uint8_t, 3> bytes = {memory[address], memory[static_cast<uint16_t>(address + 1)],
                                          memory[static_cast<uint16_t>(address + 2)]};
    return disassemble(bytes, address);
}

}  // namespace cosmac
