// The assembler against the disassembler's table, its error messages, and its
// output formats.
#include "asm/assembler.hpp"

#include <gtest/gtest.h>

#include <random>

#include "cpu/disassembler.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac {
namespace {

std::vector<uint8_t> bytes_at(const Memory& memory, uint16_t address, std::size_t count)
{
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(memory[static_cast<uint16_t>(address + i)]);
    return bytes;
}

TEST(Assembler, DisassemblyOfEveryOpcodeAssemblesBackToItsBytes)
{
    std::mt19937 random(1802);
    auto memory = std::make_unique<Memory>();
    for (unsigned op = 0; op < 256; ++op) {
        for (int trial = 0; trial < 4; ++trial) {
            const uint16_t address = 0x1230;
            (*memory)[address] = static_cast<uint8_t>(op);
            (*memory)[address + 1] = static_cast<uint8_t>(random());
            (*memory)[address + 2] = static_cast<uint8_t>(random());
            const Disassembly d = disassemble(*memory, address);
            const std::string text = d.line.substr(5);  // "1230 LBR 12ab\n" without the address
            const Assembly assembly = assemble("ORG 1230\n" + text);
            ASSERT_TRUE(assembly.errors.empty()) << text << assembly.errors[0].message;
            EXPECT_EQ(bytes_at(assembly.memory, address, d.length), bytes_at(*memory, address, d.length)) << text;
            EXPECT_EQ(assembly.highest() - assembly.lowest() + 1, d.length) << text;
        }
    }
}

TEST(Assembler, PublishedNamesAndSpellings)
{
    const struct {
        const char* source;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"SDB", {0x75}},          {"LDN R1", {0x01}},       {"ldn rf", {0x0F}},       {"SEP R4", {0xD4}},
        {"SEP 5", {0xD5}},        {"SEX R2", {0xE2}},       {"Ret", {0xD5}},          {"RET", {0x70}},
        {"ret", {0x70}},          {"call 1234", {0xD4, 0x12, 0x34}}, {"PUTC", {0x68, 0x01}}, {"getc", {0x68, 0x02}},
        {"INVALID", {0x68}},      {"OUT 7", {0x67}},        {"inp 1", {0x69}},        {"LDI 'A'", {0xF8, 0x41}},
        {"LDI 65.", {0xF8, 0x41}}, {"LDI 0x41", {0xF8, 0x41}}, {"LDI -1", {0xF8, 0xFF}}, {"LDI '\\r'", {0xF8, 0x0D}},
        {"DB \"a\\\"b\", 1, 'c'", {0x61, 0x22, 0x62, 0x01, 0x63}}, {"DW 1234, 5", {0x12, 0x34, 0x00, 0x05}},
        {"DW $ + 2", {0x00, 0x02}}, {"x: DB LOW(x + 1ff), HIGH(x + 1ff)", {0xFF, 0x01}},
        {"LBR later\nlater: IDLE", {0xC0, 0x00, 0x03, 0x00}}, {"v EQU 5\nv2: EQU v + 2\nLDI v2", {0xF8, 0x07}},
        // a short branch reaches the page of its operand byte; two digits are the low byte itself
        {"here EQU 12f0\nORG 12fe\nBR here", {0x30, 0xF0}}, {"ORG 12ff\nBZ 05", {0x32, 0x05}},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source);
        ASSERT_TRUE(assembly.errors.empty()) << c.source << ": " << assembly.errors[0].message;
        EXPECT_EQ(bytes_at(assembly.memory, assembly.lowest(), c.bytes.size()), c.bytes) << c.source;
        EXPECT_EQ(assembly.highest() - assembly.lowest() + 1u, c.bytes.size()) << c.source;
    }
}

TEST(Assembler, ReportsEveryErrorWithItsLine)
{
    const struct {
        const char* source;
        int line;
        const char* message;
    } cases[] = {
        {"NOP\nFOO 1", 2, "unknown mnemonic 'FOO'"},             {"INC RG", 1, "bad register 'RG' for INC"},
        {"LDN 0", 1, "bad register '0' for LDN"},                {"OUT 8", 1, "bad port '8' for OUT (1-7)"},
        {"LBR nowhere", 1, "undefined label 'nowhere'"},
        {"x: NOP\nx: NOP", 2, "duplicate label 'x' (first defined on line 1)"},
        {"add: NOP", 1, "label 'add' reads as a hexadecimal number; choose another name"},
        {"face EQU 1", 1, "label 'face' reads as a hexadecimal number; choose another name"},
        {"r3: NOP", 1, "label 'r3' reads as a register"},        {"LDI 100", 1, "value 100 does not fit in a byte"},
        {"LDI -81", 1, "value -81 does not fit in a byte"},
        {"LBR 10000", 1, "value 10000 does not fit in an address"},
        {"NOP\nNOP\nORG 1\nNOP", 4, "address 0001 is assembled twice (ORG overlap)"},
        {"LDI", 1, "missing operand for LDI"},                   {"INC", 1, "missing operand for INC"},
        {"NOP 1", 1, "NOP takes no operand"},                    {"LDI 1, 2", 1, "LDI takes one operand"},
        {"DB \"abc", 1, "unterminated string"},                  {"DB \"a\\\"", 1, "unterminated string"},
        {"DB \"a\\q\"", 1, "unknown escape in string"},          {"LDI 'a", 1, "expected '''"},
        {"DB", 1, "DB needs at least one value"},                {"LDI 1 +", 1, "missing operand"},
        {"LDI (1", 1, "expected ')'"},                           {"ORG 10000", 1, "ORG 10000 is outside memory"},
        {"ORG ffff\nLBR 0", 2, "code runs past ffff"},           {"ORG ffff\nLDI 0", 2, "code runs past ffff"},
        {"here EQU 12f0\nORG 12ff\nBR here", 3,
         "branch target 12f0 is outside the page of the branch's operand byte at 1300 (1300-13ff)"},
        {"EQU 5", 1, "EQU needs a name"},
    };
    for (const auto& c : cases) {
        const Assembly assembly = assemble(c.source);
        ASSERT_FALSE(assembly.errors.empty()) << c.source;
        EXPECT_EQ(assembly.errors[0].line, c.line) << c.source;
        EXPECT_EQ(assembly.errors[0].message, c.message) << c.source;
    }
}

}  // namespace
}  // namespace cosmac
