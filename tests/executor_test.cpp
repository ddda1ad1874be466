// The processor against a scripted I/O, one instruction group at a time. Programs
// start at 0100 with P = 0 unless a case says otherwise; X = 1 and R1 = 0200 hold the
// memory operand M(R(X)).
#include "cpu/executor.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "cpu/opcode_table.hpp"
#include "scripted_io.hpp"

namespace cosmac::testing {
namespace {

constexpr uint16_t kStart = 0x0100;
constexpr uint16_t kOperand = 0x0200;

class Cpu : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = MachineState{};
        m.fill(0);
        s.R[0] = kStart;
        s.X = 1;
        s.R[1] = kOperand;
    }
    void load(uint16_t address, std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t byte : bytes)
            m[address++] = byte;
    }
    StepResult step() { return execute_instruction(s, m, io); }
    uint16_t& pc() { return s.R[s.P]; }

    MachineState s;
    std::unique_ptr<Memory> memory = std::make_unique<Memory>();
    Memory& m = *memory;
    ScriptedIo io;
};

struct ArithmeticCase {
    const char* name;
    uint8_t opcode;
    uint8_t d, df, operand;  // operand is M(R(X)), or the immediate byte of the immediate forms
    uint8_t want_d, want_df;
};

TEST_F(Cpu, LogicAndArithmetic)
{
    const ArithmeticCase cases[] = {
        {"OR keeps DF", 0xF1, 0x0F, 1, 0xF0, 0xFF, 1},
        {"ORI", 0xF9, 0x01, 0, 0x80, 0x81, 0},
        {"AND", 0xF2, 0x3C, 1, 0x0F, 0x0C, 1},
        {"ANI", 0xFA, 0xFF, 0, 0x55, 0x55, 0},
        {"XOR", 0xF3, 0xFF, 1, 0x0F, 0xF0, 1},
        {"XRI", 0xFB, 0xAA, 0, 0xAA, 0x00, 0},
        {"ADD carries", 0xF4, 0x80, 1, 0x80, 0x00, 1},
        {"ADD ignores DF", 0xF4, 0x01, 1, 0x01, 0x02, 0},
        {"ADI", 0xFC, 0xFF, 0, 0x01, 0x00, 1},
        {"ADC with carry in", 0x74, 0x80, 1, 0x80, 0x01, 1},
        {"ADC without", 0x74, 0x10, 0, 0x20, 0x30, 0},
        {"ADCI carry ripples", 0x7C, 0xFF, 1, 0x00, 0x00, 1},
        {"SD equal", 0xF5, 0x42, 0, 0x42, 0x00, 1},
        {"SD borrows", 0xF5, 0x05, 1, 0x03, 0xFE, 0},
        {"SDI", 0xFD, 0x01, 0, 0x10, 0x0F, 1},
        {"SDB with borrow", 0x75, 0x05, 0, 0x05, 0xFF, 0},
        {"SDB without borrow", 0x75, 0x05, 1, 0x05, 0x00, 1},
        {"SDBI operand 0 with borrow", 0x7D, 0x00, 0, 0x00, 0xFF, 0},
        {"SM", 0xF7, 0x05, 0, 0x03, 0x02, 1},
        {"SM borrows", 0xF7, 0x03, 1, 0x05, 0xFE, 0},
        {"SMI equal", 0xFF, 0x80, 0, 0x80, 0x00, 1},
        {"SMB 0 - 0 with borrow", 0x77, 0x00, 0, 0x00, 0xFF, 0},
        {"SMB 0 - 0 without borrow", 0x77, 0x00, 1, 0x00, 0x00, 1},
        {"SMBI", 0x7F, 0x10, 0, 0x0F, 0x00, 1},
        {"SHR", 0xF6, 0x81, 0, 0x00, 0x40, 1},
        {"SHRC takes DF into bit 7", 0x76, 0x01, 1, 0x00, 0x80, 1},
        {"SHRC", 0x76, 0x02, 0, 0x00, 0x01, 0},
        {"SHL", 0xFE, 0x81, 0, 0x00, 0x02, 1},
        {"SHLC bit 7 to DF", 0x7E, 0x80, 0, 0x00, 0x00, 1},
        {"SHLC DF into bit 0", 0x7E, 0x40, 1, 0x00, 0x81, 0},
        {"LDX", 0xF0, 0x00, 1, 0x99, 0x99, 1},
        {"LDI", 0xF8, 0x00, 0, 0x77, 0x77, 0},
    };
    for (const ArithmeticCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const bool immediate = kOpcodeTable[c.opcode].length == 2;
        load(kStart, {c.opcode, c.operand});
        m[kOperand] = immediate ? 0x00 : c.operand;
        s.D = c.d;
        s.DF = c.df;
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(s.D, c.want_d);
        EXPECT_EQ(s.DF, c.want_df);
        EXPECT_EQ(s.R[0], kStart + (immediate ? 2 : 1));
        EXPECT_EQ(s.R[1], kOperand);
    }
}

TEST_F(Cpu, RegisterTransfers)
{
    s.R[3] = 0x1234;
    s.D = 0xAB;
    load(kStart, {0xB3, 0xA3, 0x83, 0x93, 0x13, 0x23, 0x23});  // PHI R3, PLO R3, GLO R3, GHI R3, INC R3, DEC R3, DEC R3
    step();
    EXPECT_EQ(s.R[3], 0xAB34);
    s.D = 0xCD;
    step();
    EXPECT_EQ(s.R[3], 0xABCD);
    step();
    EXPECT_EQ(s.D, 0xCD);
    step();
    EXPECT_EQ(s.D, 0xAB);
    step();
    EXPECT_EQ(s.R[3], 0xABCE);
    step();
    step();
    EXPECT_EQ(s.R[3], 0xABCC);
}

TEST_F(Cpu, RegistersWrap)
{
    s.R[5] = 0xFFFF;
    s.R[6] = 0x0000;
    load(kStart, {0x15, 0x26, 0x45});  // INC R5, DEC R6, LDA R5
    m[0] = 0x5A;
    step();
    step();
    EXPECT_EQ(s.R[5], 0x0000);
    EXPECT_EQ(s.R[6], 0xFFFF);
    step();
    EXPECT_EQ(s.D, 0x5A);
    EXPECT_EQ(s.R[5], 0x0001);
}

TEST_F(Cpu, LoadsAndStores)
{
    s.R[4] = 0x0300;
    s.D = 0x11;
    m[0x0300] = 0x22;
    load(kStart, {0x04, 0x44, 0x54, 0x72, 0x73, 0x60});  // LDN 4, LDA R4, STR R4, LDXA, STXD, IRX
    step();
    EXPECT_EQ(s.D, 0x22);
    EXPECT_EQ(s.R[4], 0x0300);
    step();
    EXPECT_EQ(s.R[4], 0x0301);
    step();
    EXPECT_EQ(m[0x0301], 0x22);
    m[kOperand] = 0x33;
    step();
    EXPECT_EQ(s.D, 0x33);
    EXPECT_EQ(s.R[1], kOperand + 1);
    step();
    EXPECT_EQ(m[kOperand + 1], 0x33);
    EXPECT_EQ(s.R[1], kOperand);
    step();
    EXPECT_EQ(s.R[1], kOperand + 1);
}

TEST_F(Cpu, StoresIntoTheProtectedWindowAreDropped)
{
    struct {
        uint16_t address;
        bool stored;
    } const cases[] = {{0x3FFF, true}, {0x4000, false}, {0x6000, false}, {0x9000, false}, {0x9001, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        // STR R5 and STXD
        s.R[5] = c.address;
        s.R[1] = c.address;
        s.D = 0xEE;
        m[c.address] = 0x00;
        load(kStart, {0x55, 0x73});
        s.R[0] = kStart;
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(m[c.address], c.stored ? 0xEE : 0x00);
        m[c.address] = 0x00;
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(m[c.address], c.stored ? 0xEE : 0x00);
        EXPECT_EQ(s.R[1], static_cast<uint16_t>(c.address - 1));  // STXD decrements even when dropped

        Memory direct{};
        guarded_store(direct, c.address, 0x77);
        EXPECT_EQ(direct[c.address], c.stored ? 0x77 : 0x00);
    }
}

struct BranchCase {
    const char* name;
    uint16_t at;
    std::initializer_list<uint8_t> bytes;
    uint8_t d, df, q, ie;
    uint16_t want_pc;
};

TEST_F(Cpu, BranchesAndSkips)
{
    const BranchCase cases[] = {
        {"BR operand at xxFF stays in its page", 0x12FE, {0x30, 0x05}, 0, 0, 0, 0, 0x1205},
        {"BR at xxFF goes to the operand's page", 0x12FF, {0x30, 0x05}, 0, 0, 0, 0, 0x1305},
        {"BZ taken", 0x0100, {0x32, 0x40}, 0, 0, 0, 0, 0x0140},
        {"BZ not taken", 0x0100, {0x32, 0x40}, 1, 0, 0, 0, 0x0102},
        {"BNZ", 0x0100, {0x3A, 0x40}, 1, 0, 0, 0, 0x0140},
        {"BQ", 0x0100, {0x31, 0x40}, 0, 0, 1, 0, 0x0140},
        {"BNQ not taken", 0x0100, {0x39, 0x40}, 0, 0, 1, 0, 0x0102},
        {"BDF", 0x0100, {0x33, 0x40}, 0, 1, 0, 0, 0x0140},
        {"BNF", 0x0100, {0x3B, 0x40}, 0, 0, 0, 0, 0x0140},
        {"B1 never", 0x0100, {0x34, 0x40}, 0, 0, 0, 0, 0x0102},
        {"B2 never", 0x0100, {0x35, 0x40}, 0, 0, 0, 0, 0x0102},
        {"B3 never", 0x0100, {0x36, 0x40}, 0, 0, 0, 0, 0x0102},
        {"BN1 always", 0x0100, {0x3C, 0x40}, 0, 0, 0, 0, 0x0140},
        {"BN2 always", 0x0100, {0x3D, 0x40}, 0, 0, 0, 0, 0x0140},
        {"BN3 always", 0x0100, {0x3E, 0x40}, 0, 0, 0, 0, 0x0140},
        {"SKP", 0x0100, {0x38, 0x40}, 0, 0, 0, 0, 0x0102},
        {"LBR reads high then low", 0x0100, {0xC0, 0x12, 0xAB}, 0, 0, 0, 0, 0x12AB},
        {"LBR operand across FFFF", 0xFFFE, {0xC0, 0x12}, 0, 0, 0, 0, 0x12F8},
        {"LBZ not taken", 0x0100, {0xC2, 0x12, 0xAB}, 1, 0, 0, 0, 0x0103},
        {"LBNZ", 0x0100, {0xCA, 0x12, 0xAB}, 1, 0, 0, 0, 0x12AB},
        {"LBQ", 0x0100, {0xC1, 0x12, 0xAB}, 0, 0, 1, 0, 0x12AB},
        {"LBNQ not taken", 0x0100, {0xC9, 0x12, 0xAB}, 0, 0, 1, 0, 0x0103},
        {"LBDF", 0x0100, {0xC3, 0x12, 0xAB}, 0, 1, 0, 0, 0x12AB},
        {"LBNF not taken", 0x0100, {0xCB, 0x12, 0xAB}, 0, 1, 0, 0, 0x0103},
        {"LSZ skips", 0x0200, {0xCE}, 0, 0, 0, 0, 0x0203},
        {"LSZ falls through", 0x0200, {0xCE}, 1, 0, 0, 0, 0x0201},
        {"LSNZ", 0x0200, {0xC6}, 1, 0, 0, 0, 0x0203},
        {"LSQ", 0x0200, {0xCD}, 0, 0, 1, 0, 0x0203},
        {"LSNQ", 0x0200, {0xC5}, 0, 0, 1, 0, 0x0201},
        {"LSDF", 0x0200, {0xCF}, 0, 1, 0, 0, 0x0203},
        {"LSNF", 0x0200, {0xC7}, 0, 1, 0, 0, 0x0201},
        {"NLBR", 0x0200, {0xC8}, 0, 0, 0, 0, 0x0203},
        {"LSIE with IE 0", 0x0200, {0xCC}, 0, 0, 0, 0, 0x0201},
        {"LSIE with IE 1", 0x0200, {0xCC}, 0, 0, 0, 1, 0x0203},
        {"NOP", 0x0200, {0xC4}, 0, 0, 0, 0, 0x0201},
    };
    for (const BranchCase& c : cases) {
        SCOPED_TRACE(c.name);
        m.fill(0xF8);
        load(c.at, c.bytes);
        s.R[0] = c.at;
        s.D = c.d;
        s.DF = c.df;
        s.Q = c.q;
        s.IE = c.ie;
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(s.R[0], c.want_pc);
    }
}

TEST_F(Cpu, EveryEffectSeesTheProgramCounterAdvanced)
{
    s.P = 3;
    s.R[3] = 0x0020;
    load(0x0020, {0x13, 0x83, 0x93, 0xE3, 0xF0, 0x5A});  // INC R3, GLO R3, GHI R3, SEX 3, LDX
    step();
    EXPECT_EQ(s.R[3], 0x0022);
    s.R[3] = 0x0021;
    step();
    EXPECT_EQ(s.D, 0x22);
    step();
    EXPECT_EQ(s.D, 0x00);
    step();
    step();
    EXPECT_EQ(s.D, 0x5A);  // LDX through X = P reads the byte right after it
}

TEST_F(Cpu, ControlInstructionsThatStop)
{
    const MachineState before_ret = [&] {
        load(kStart, {0x70});
        return s;
    }();
    EXPECT_EQ(step(), StepResult::Stop);  // RET
    MachineState expected = before_ret;
    expected.R[0] = kStart + 1;
    expected.N = 0;
    expected.I = 7;
    EXPECT_EQ(s, expected);

    // DIS with X = 2, R2 = 0050, M(0050) = 35
    s.X = 2;
    s.R[2] = 0x0050;
    s.IE = 1;
    m[0x0050] = 0x35;
    load(kStart + 1, {0x71});
    EXPECT_EQ(step(), StepResult::Stop);
    EXPECT_EQ(s.X, 3);
    EXPECT_EQ(s.P, 5);
    EXPECT_EQ(s.R[2], 0x0051);
    EXPECT_EQ(s.IE, 0);
}

TEST_F(Cpu, MarkStoresXPOutsideTheWindowOnly)
{
    for (const uint16_t r2 : {uint16_t{0x00FF}, uint16_t{0x5000}}) {
        SCOPED_TRACE(r2);
        s.P = 3;
        s.X = 2;
        s.R[3] = kStart;
        s.R[2] = r2;
        m[r2] = 0;
        load(kStart, {0x79});
        EXPECT_EQ(step(), StepResult::Stop);
        EXPECT_EQ(m[r2], r2 == 0x00FF ? 0x23 : 0x00);
        EXPECT_EQ(s.T, 0x23);
        EXPECT_EQ(s.X, 3);
        EXPECT_EQ(s.R[2], r2 - 1);
    }
}

TEST_F(Cpu, SavStoresTLikeTheOtherStores)
{
    s.T = 0x23;
    load(kStart, {0x78, 0x78});
    EXPECT_EQ(step(), StepResult::Continue);
    EXPECT_EQ(m[kOperand], 0x23);
    EXPECT_EQ(s.R[1], kOperand);
    s.R[1] = 0x4000;
    step();
    EXPECT_EQ(m[0x4000], 0x00);
}

TEST_F(Cpu, NAndIHoldTheLastOpcode)
{
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        SetUp();
        load(kStart, {static_cast<uint8_t>(opcode)});
        step();
        EXPECT_EQ(s.N, opcode & 0xF) << std::hex << opcode;
        EXPECT_EQ(s.I, opcode >> 4) << std::hex << opcode;
    }
}

// The disassembler's lengths against what the executor consumes, with operands
// chosen so that a taken branch lands where a branch not taken would. Opcodes whose
// laid-out length differs from what they consume are listed with what they consume.
TEST_F(Cpu, OpcodeTableLengthsMatchTheExecutor)
{
    const std::pair<uint8_t, unsigned> consumes_otherwise[] = {
        {0x10, 2},  // INC R0 increments the program counter itself
        {0x20, 0},  // DEC R0
        {0x40, 2},  // LDA R0
        {0x38, 2},  // SKP skips a byte
        {0x68, 2},  // the console service reads its function byte
        {0xD4, 1},  // "Call" executes as SEP R4
        {0xC5, 3}, {0xC6, 3}, {0xC7, 3}, {0xC8, 3},  // long skips taken (D = 1; Q, DF and IE are 0)
    };
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        SetUp();
        s.R[2] = kOperand;
        s.D = 0x01;  // so that PLO R0 and PHI R0 leave the program counter at 0101
        const uint8_t length = kOpcodeTable[opcode].length;
        load(kStart, {static_cast<uint8_t>(opcode)});
        if (length == 2)
            load(kStart + 1, {0x02});
        if (length == 3)
            load(kStart + 1, {0x01, 0x03});
        step();
        unsigned consumed = length;
        for (const auto& [op, bytes] : consumes_otherwise) {
            if (op == opcode)
                consumed = bytes;
        }
        EXPECT_EQ(s.R[0], kStart + consumed) << std::hex << opcode;
    }
}

TEST_F(Cpu, OutputPorts)
{
    s.R[1] = 0x0010;
    m[0x0010] = 0x0A;
    load(kStart, {0x63});  // OUT 3
    EXPECT_EQ(step(), StepResult::Continue);
    EXPECT_EQ(io.log, "OUT 3 0a\n");
    EXPECT_EQ(s.D, 0x0A);
    EXPECT_EQ(s.R[1], 0x0011);
}

TEST_F(Cpu, InputPorts)
{
    io.replies = {{0xFF, false}, {std::nullopt, false}, {0x12, true}};
    s.R[1] = 0x5000;  // INP writes into the protected window
    load(kStart, {0x6D, 0x69, 0x6F});  // INP 5, INP 1, INP 7
    EXPECT_EQ(step(), StepResult::Continue);
    EXPECT_EQ(m[0x5000], 0xFF);
    EXPECT_EQ(s.D, 0xFF);
    EXPECT_EQ(s.R[1], 0x5000);
    EXPECT_EQ(step(), StepResult::Continue);  // a reply without a number stores 00
    EXPECT_EQ(m[0x5000], 0x00);
    EXPECT_EQ(s.D, 0x00);
    EXPECT_EQ(step(), StepResult::Stop);  // input ended or was interrupted: the value still lands
    EXPECT_EQ(m[0x5000], 0x12);
    EXPECT_EQ(io.log, "INP 5 ?INP 1 ?INP 7 ?");
}

TEST_F(Cpu, Ef4IsAskedForBeforeEveryTest)
{
    struct {
        std::optional<uint8_t> reply;
        uint8_t opcode;
        bool taken;
        uint8_t ef4;
    } const cases[] = {
        {std::nullopt, 0x3F, true, 0},  // EF4 starts at 0: BN4 branches
        {1, 0x37, true, 1},
        {std::nullopt, 0x37, true, 1},  // no number: EF4 kept
        {0, 0x3F, true, 0},
        {2, 0x37, false, 2},            // neither 1 nor 0: both fall through
        {2, 0x3F, false, 2},
        {0x101, 0x37, true, 1},         // low 8 bits
    };
    for (const auto& c : cases) {
        io.replies = {{c.reply, false}};
        io.log.clear();
        s.R[0] = kStart;
        load(kStart, {c.opcode, 0x40});
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(io.log, "EF4 ?");
        EXPECT_EQ(s.EF4, c.ef4);
        EXPECT_EQ(s.R[0], c.taken ? 0x0140 : 0x0102);
    }
    io.replies = {{std::nullopt, true}};
    s.R[0] = kStart;
    EXPECT_EQ(step(), StepResult::Stop);  // input ended: the test still ran
    EXPECT_EQ(s.R[0], 0x0140);
}

TEST_F(Cpu, ConsoleServiceCharacterOutAndOtherFunctions)
{
    const struct {
        uint8_t function, d;
        const char* shown;
    } cases[] = {
        {1, 0x0D, "\n"}, {1, 0x0A, ""}, {1, 0x41, "A"}, {1, 0x20, " "}, {1, 0x7E, "~"},
        {1, 0x7F, ""},   {1, 0x00, ""}, {1, 0xC1, ""},  {7, 0x41, ""},  {0, 0x41, ""},
    };
    for (const auto& [function, d, shown] : cases) {
        io.log.clear();
        s.R[0] = kStart;
        s.D = d;
        load(kStart, {0x68, function});
        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(io.log, shown) << int(d);
        EXPECT_EQ(s.R[0], kStart + 2);
        EXPECT_EQ(s.D, d);
    }
}

TEST_F(Cpu, ConsoleServiceKeyIn)
{
    struct {
        std::optional<uint8_t> key;
        uint8_t want_d;
        const char* echo;
        bool stops;
    } const cases[] = {
        {'q', 'Q', "Q", false},
        {'Z', 'Z', "Z", false},
        {'{', '{', "{", false},
        {0x01, 0x01, "\x01", false},  // control characters are echoed unchanged
        {0x0D, 0x0D, "\r", false},
        {0x03, 0x03, "", true},       // Control-C
        {std::nullopt, 0x03, "", true},  // no key any more: as Control-C
    };
    for (const auto& c : cases) {
        io.log.clear();
        io.keys = {c.key};
        s.R[0] = kStart;
        load(kStart, {0x68, 0x02});
        EXPECT_EQ(step(), c.stops ? StepResult::Stop : StepResult::Continue);
        EXPECT_EQ(s.D, c.want_d);
        EXPECT_EQ(io.log, c.echo);
        EXPECT_EQ(s.R[0], c.stops ? kStart : kStart + 2);  // Control-C leaves R(P) on the 68
    }
}

TEST_F(Cpu, RunStopsInFrontOfIdleAndCountsEveryInstruction)
{
    load(kStart, {0xF8, 0x03, 0xFF, 0x01, 0x3A, 0x02, 0x00});  // LDI 3; loop: SMI 1; BNZ loop; IDLE
    RunResult result = run(s, m, io);
    EXPECT_EQ(result.executed, 1u + 3 * 2);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(s.R[0], kStart + 6);
    EXPECT_EQ(s.N, 0xA);  // the IDLE was not executed

    load(kStart + 6, {0x7B, 0x70, 0x00});  // SEQ, RET
    result = run(s, m, io);
    EXPECT_EQ(result.executed, 2u);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(s.R[0], kStart + 8);
}

}  // namespace
}  // namespace cosmac::testing
