#include "cpu/disassembler.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "cpu/opcode_table.hpp"

namespace cosmac {
namespace {

TEST(Disassembler, LineFormatsAndLengths)
{
    constexpr int kNone = -1;
    const struct {
        uint16_t address;
        uint8_t bytes[4];
        const char* line;
        uint8_t length;
        int target;  // of a branch or Call
        bool extended = false;
    } cases[] = {
        {0xFFFF, {0xC0}, "ffff LBR 1234\n", 3, 0x1234},  // operand bytes from 0000 and 0001
        {0xFFFE, {0xF8, 0xC0}, "fffe LDI c0\n", 2, kNone},
        {0x0200, {0x00}, "0200 IDLE\n", 1, kNone},               {0x0abc, {0x13}, "0abc INC R3\n", 1, kNone},
        {0x0010, {0x30, 0x04}, "0010 BR 04\n", 2, 0x0004},  // an even target from an odd operand address
        {0x10FF, {0x3A, 0x05}, "10ff BNZ 05\n", 2, 0x1105},      // in the page of the operand byte
        {0x0020, {0xC0, 0x02, 0x0B}, "0020 LBR 020b\n", 3, 0x020B},
        {0x0030, {0xD4, 0x12, 0x34}, "0030 Call 1234\n", 3, 0x1234},
        {0x0040, {0xD5}, "0040 Ret\n", 1, kNone},                {0x0050, {0xC5, 0x12, 0x34}, "0050 LSNQ\n", 1, kNone},
        {0x0060, {0x68, 0x01}, "0060 INVALID\n", 1, kNone},      {0x0061, {0x01}, "0061 LDN 1\n", 1, kNone},
        {0x0062, {0x75}, "0062 SDC\n", 1, kNone},                {0x0063, {0x6C}, "0063 INP 4\n", 1, kNone},
        {0x0064, {0x38, 0x12}, "0064 SKP\n", 1, kNone},
        // the 1805's, after its 68 prefix
        {0x0100, {0x68, 0xC5, 0x12, 0x34}, "0100 RLDI R5 1234\n", 4, kNone, true},
        {0x0104, {0x68, 0x86, 0x12, 0x34}, "0104 SCAL R6 1234\n", 4, 0x1234, true},
        {0x0108, {0x68, 0x2F, 0x01, 0x08}, "0108 DBNZ RF 0108\n", 4, 0x0108, true},
        {0x01FE, {0x68, 0x3E, 0x40}, "01fe BCI 40\n", 3, 0x0240, true},  // in the page of its operand byte
        {0x0110, {0x68, 0x96}, "0110 SRET R6\n", 2, kNone, true},
        {0x0112, {0x68, 0x7C, 0x99}, "0112 DACI 99\n", 3, kNone, true},
        {0x0115, {0x68, 0x07}, "0115 STM\n", 2, kNone, true},
        {0x0117, {0x68, 0xD1}, "0117 INVALID\n", 2, kNone, true},
        {0x0119, {0x68, 0x74}, "0119 DADC\n", 2, kNone, true},
        {0xFFFE, {0x68, 0xC1}, "fffe RLDI R1 1234\n", 4, kNone, true},
        {0x0120, {0x61}, "0120 OUT 1\n", 1, kNone, true},
    };
    const auto memory = std::make_unique<Memory>();
    Memory& m = *memory;
    m[0x0000] = 0x12;
    m[0x0001] = 0x34;
    for (const auto& c : cases) {
        for (unsigned i = 0; i < instruction_info(c.bytes[0], c.bytes[1], c.extended).length && c.address + i <= 0xFFFF;
             ++i)
            m[c.address + i] = c.bytes[i];
        const Disassembly d = disassemble(m, c.address, c.extended);
        EXPECT_EQ(d.line, c.line);
        EXPECT_EQ(d.length, c.length);
        EXPECT_EQ(d.target ? int{*d.target} : kNone, c.target) << c.line;
    }
}

}  // namespace
}  // namespace cosmac
