// The instruction names the assembler knows, derived from the disassembler's
// opcode table so that the two cannot disagree.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cosmac::assembler {

enum class OperandKind { None, Byte, ShortBranch, Word };

// An instruction with one opcode: its operand, if any, follows it.
struct Fixed {
    uint8_t opcode;
    OperandKind operand;
};

// A family takes a register (R0-RF, or a digit) or, for OUT and INP, a port 1-7;
// opcodes holds none where the family has no member.
struct Family {
    std::array<std::optional<uint8_t>, 16> opcodes;
    bool port;
};

// The table's own spelling is matched first, so that "Ret" (D5) and "RET" (70)
// stay apart; any other spelling means the upper-case mnemonic.
const Fixed* find_fixed(std::string_view name);
const Family* find_family(std::string_view name);

// The console service's two functions, PUTC and GETC, as one statement each.
std::optional<std::array<uint8_t, 2>> find_console_helper(std::string_view name);

}  // namespace cosmac::assembler
