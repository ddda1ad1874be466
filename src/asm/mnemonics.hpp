// The instruction names the assembler knows, derived from the disassembler's
// opcode tables, the 1802's and the extended set's, so that the two cannot
// disagree.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cosmac::assembler {

// ImmediateWord is RLDI's: a 16-bit value, where Word is an address.
enum class OperandKind { None, Byte, ShortBranch, Word, ImmediateWord };

// An instruction with one opcode: its operand, if any, follows it. An extended
// one is the 1804/1805/1806's: 68 comes before the opcode.
struct Fixed {
    uint8_t opcode;
    OperandKind operand;
    bool extended = false;
};

// A family takes a register (R0-RF, or a digit) or, for OUT and INP, a port 1-7;
// opcodes holds none where the family has no member. DBNZ, SCAL and RLDI take an
// operand after the register.
struct Family {
    std::array<std::optional<uint8_t>, 16> opcodes;
    bool port = false;
    OperandKind operand = OperandKind::None;
    bool extended = false;
};

// The table's own spelling is matched first, so that "Ret" (D5) and "RET" (70)
// stay apart; any other spelling means the upper-case mnemonic.
const Fixed* find_fixed(std::string_view name);
const Family* find_family(std::string_view name);

// The console service's two functions, PUTC and GETC, as one statement each,
// where the source is assembled for the 1802 or for the extended set.
std::optional<std::array<uint8_t, 2>> find_console_helper(std::string_view name, bool extended_set);

}  // namespace cosmac::assembler
