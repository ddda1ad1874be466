#include "cpu/disassembler.hpp"

#include "cpu/opcode_table.hpp"
#include "text/text.hpp"

namespace cosmac {

Disassembly disassemble(const InstructionBytes& bytes, uint16_t address, bool extended)
{
    const bool prefixed = extended && bytes[0] == kExtendedPrefix;
    const OpInfo& op = instruction_info(bytes[0], bytes[1], extended);
    const int mnemonic_length = static_cast<int>(op.mnemonic.size());
    // The operands follow the opcode, or the 1805's second byte.
    const unsigned operands = op.length - (prefixed ? 2u : 1u);
    const uint8_t a1 = bytes[prefixed ? 2 : 1];
    const uint8_t a2 = bytes[prefixed ? 3 : 2];
    const uint8_t row = prefixed ? bytes[1] >> 4 : bytes[0] >> 4;

    Disassembly result{{}, op.length, std::nullopt};
    switch (operands) {
    case 0:
        result.line = formatted("%04x %.*s\n", address, mnemonic_length, op.mnemonic.data());
        break;
    case 1:
        result.line = formatted("%04x %.*s %02x\n", address, mnemonic_length, op.mnemonic.data(), a1);
        // One-operand instructions of row 3 are the short branches (and the
        // 1805's BCI and BXI), which stay in the page of their operand byte.
        if (row == 0x3) {
            const auto operand_address = static_cast<uint16_t>(address + op.length - 1);
            result.target = static_cast<uint16_t>((operand_address & 0xFF00) | a1);
        }
        break;
    default:  // the long branches and Call, and the 1805's DBNZ, SCAL and RLDI
        result.line = formatted("%04x %.*s %02x%02x\n", address, mnemonic_length, op.mnemonic.data(), a1, a2);
        if (!prefixed || row != 0xC)  // RLDI loads a value, which goes nowhere
            result.target = static_cast<uint16_t>(a1 << 8 | a2);
        break;
    }
    return result;
}

Disassembly disassemble(const Memory& memory, uint16_t address, bool extended)
{
    InstructionBytes bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = memory[static_cast<uint16_t>(address + i)];
    return disassemble(bytes, address, extended);
}

}  // namespace cosmac
