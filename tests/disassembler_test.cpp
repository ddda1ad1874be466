#include "cpu/disassembler.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "cpu/opcode_table.hpp"

namespace cosmac {
namespace {

TEST(OpcodeTable, FamiliesNameTheirRegisterOrPort)
{
    struct Family {
        uint8_t first, last;
        const char* format;  // applied to opcode AND mask
        unsigned mask;
    } const families[] = {
        {0x01, 0x0F, "LDN %X", 0xF},  {0x10, 0x1F, "INC R%X", 0xF}, {0x20, 0x2F, "DEC R%X", 0xF},
        {0x40, 0x4F, "LDA R%X", 0xF}, {0x50, 0x5F, "STR R%X", 0xF}, {0x61, 0x67, "OUT %X", 7},
        {0x69, 0x6F, "INP %X", 7},    {0x80, 0x8F, "GLO R%X", 0xF}, {0x90, 0x9F, "GHI R%X", 0xF},
        {0xA0, 0xAF, "PLO R%X", 0xF}, {0xB0, 0xBF, "PHI R%X", 0xF}, {0xD0, 0xD3, "SEP %X", 0xF},
        {0xD6, 0xDF, "SEP %X", 0xF},  {0xE0, 0xEF, "SEX %X", 0xF},
    };
    for (const Family& family : families) {
        for (unsigned op = family.first; op <= family.last; ++op) {
            char want[16];
            std::snprintf(want, sizeof want, family.format, op & family.mask);
            EXPECT_EQ(kOpcodeTable[op].mnemonic, want) << std::hex << op;
            EXPECT_EQ(kOpcodeTable[op].length, 1) << std::hex << op;
        }
    }
}

TEST(OpcodeTable, NamedEntries)
{
    struct Entry {
        uint8_t op;
        const char* text;
        uint8_t length;
    } const entries[] = {
        {0x00, "IDLE", 1}, {0x30, "BR", 2},    {0x31, "BQ", 2},    {0x32, "BZ", 2},    {0x33, "BDF", 2},
        {0x34, "B1", 2},   {0x35, "B2", 2},    {0x36, "B3", 2},    {0x37, "B4", 2},    {0x38, "SKP", 1},
        {0x39, "BNQ", 2},  {0x3A, "BNZ", 2},   {0x3B, "BNF", 2},   {0x3C, "BN1", 2},   {0x3D, "BN2", 2},
        {0x3E, "BN3", 2},  {0x3F, "BN4", 2},   {0x60, "IRX", 1},   {0x68, "INVALID", 1}, {0x70, "RET", 1},
        {0x71, "DIS", 1},  {0x72, "LDXA", 1},  {0x73, "STXD", 1},  {0x74, "ADC", 1},   {0x75, "SDC", 1},
        {0x76, "SHRC", 1}, {0x77, "SMB", 1},   {0x78, "SAV", 1},   {0x79, "MARK", 1},  {0x7A, "REQ", 1},
        {0x7B, "SEQ", 1},  {0x7C, "ADCI", 2},  {0x7D, "SDBI", 2},  {0x7E, "SHLC", 1},  {0x7F, "SMBI", 2},
        {0xC0, "LBR", 3},  {0xC1, "LBQ", 3},   {0xC2, "LBZ", 3},   {0xC3, "LBDF", 3},  {0xC4, "NOP", 1},
        {0xC5, "LSNQ", 1}, {0xC6, "LSNZ", 1},  {0xC7, "LSNF", 1},  {0xC8, "NLBR", 1},  {0xC9, "LBNQ", 3},
        {0xCA, "LBNZ", 3}, {0xCB, "LBNF", 3},  {0xCC, "LSIE", 1},  {0xCD, "LSQ", 1},   {0xCE, "LSZ", 1},
        {0xCF, "LSDF", 1}, {0xD4, "Call", 3},  {0xD5, "Ret", 1},   {0xF0, "LDX", 1},   {0xF1, "OR", 1},
        {0xF2, "AND", 1},  {0xF3, "XOR", 1},   {0xF4, "ADD", 1},   {0xF5, "SD", 1},    {0xF6, "SHR", 1},
        {0xF7, "SM", 1},   {0xF8, "LDI", 2},   {0xF9, "ORI", 2},   {0xFA, "ANI", 2},   {0xFB, "XRI", 2},
        {0xFC, "ADI", 2},  {0xFD, "SDI", 2},   {0xFE, "SHL", 1},   {0xFF, "SMI", 2},
    };
    for (const Entry& e : entries) {
        EXPECT_EQ(kOpcodeTable[e.op].mnemonic, e.text) << std::hex << int(e.op);
        EXPECT_EQ(kOpcodeTable[e.op].length, e.length) << std::hex << int(e.op);
    }
}

class Disassembler : public ::testing::Test {
protected:
    std::unique_ptr<Memory> memory = std::make_unique<Memory>();
    Memory& m = *memory;
};

TEST_F(Disassembler, ThreeLineFormats)
{
    const struct {
        uint16_t address;
        uint8_t bytes[3];
        const char* line;
        uint8_t length;
    } cases[] = {
        {0xFFFF, {0xC0}, "ffff LBR 1234\n", 3},  // operand bytes from 0000 and 0001
        {0xFFFE, {0xF8, 0xC0}, "fffe LDI c0\n", 2},
        {0x0200, {0x00}, "0200 IDLE\n", 1},
        {0x0abc, {0x13}, "0abc INC R3\n", 1},
        {0x0010, {0x30, 0x05}, "0010 BR 05\n", 2},
        {0x0020, {0xC0, 0x12, 0xAB}, "0020 LBR 12ab\n", 3},
        {0x0030, {0xD4, 0x12, 0x34}, "0030 Call 1234\n", 3},
        {0x0040, {0xD5}, "0040 Ret\n", 1},
        {0x0050, {0xC5, 0x12, 0x34}, "0050 LSNQ\n", 1},
        {0x0060, {0x68, 0x01}, "0060 INVALID\n", 1},
        {0x0061, {0x01}, "0061 LDN 1\n", 1},
    };
    m[0x0000] = 0x12;
    m[0x0001] = 0x34;
    for (const auto& c : cases) {
        for (unsigned i = 0; i < kOpcodeTable[c.bytes[0]].length && c.address + i <= 0xFFFF; ++i)
            m[c.address + i] = c.bytes[i];
        const Disassembly d = disassemble(m, c.address);
        EXPECT_EQ(d.line, c.line);
        EXPECT_EQ(d.length, c.length);
    }
}

}  // namespace
}  // namespace cosmac
