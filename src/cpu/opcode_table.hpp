// Mnemonic and length of every opcode: the one table behind the disassembler and
// the assembler. Lengths are as laid out in memory: a long skip is one byte although
// it skips two when taken, and 68 is one byte although the console service reads the
// function byte after it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cosmac {

struct OpInfo {
    std::string_view mnemonic;
    uint8_t length;
};

extern const std::array<OpInfo, 256> kOpcodeTable;

}  // namespace cosmac
