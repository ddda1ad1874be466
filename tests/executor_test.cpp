// The processor against a scripted I/O. A case loads its program at R(P) and
// executes one instruction. States are written "D=41 DF=1 R3=1234 M(0200)=80":
// the case starts from P = 0, R0 = 0100, X = 1 and R1 = 0200 (so M(R(X)) is
// M(0200)) changed as it says, and afterwards the whole machine state and all of
// memory must equal that start changed as it expects, with N and I from the opcode.
#include "cpu/executor.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "cpu/opcode_table.hpp"
#include "cpu_fixture.hpp"
#include "machine_text.hpp"
#include "scripted_io.hpp"

namespace cosmac::testing {
namespace {

class Cpu : public CpuFixture {
protected:
    void load(uint16_t address, const std::string& hex_bytes) { load_bytes(m, address, hex_bytes); }
};

constexpr StepResult kGo = StepResult::Continue;
constexpr StepResult kStop = StepResult::Stop;

struct Case {
    const char* name;
    const char* program;
    const char* before;
    const char* after;
    StepResult result = kGo;
    const char* shown = "";                // what the instruction asked the I/O to show
    Reply reply = {};                      // to INP or EF4
    std::optional<uint8_t> key = 0x03;     // for the console service; empty when none can be had
};

TEST_F(Cpu, InstructionsChangeExactlyWhatTheyShould)
{
    const Case cases[] = {
        // logic and arithmetic on M(R(X)) and immediate
        {"OR keeps DF", "F1", "D=0F DF=1 M(0200)=F0", "D=FF R0=0101"},
        {"ORI", "F9 80", "D=01", "D=81 R0=0102"},
        {"AND", "F2", "D=3C DF=1 M(0200)=0F", "D=0C R0=0101"},
        {"ANI", "FA 55", "D=FF", "D=55 R0=0102"},
        {"XOR", "F3", "D=FF M(0200)=0F", "D=F0 R0=0101"},
        {"XRI", "FB AA", "D=AA", "D=00 R0=0102"},
        {"ADD carries", "F4", "D=80 M(0200)=80", "D=00 DF=1 R0=0101"},
        {"ADD to exactly FF does not carry", "F4", "D=80 DF=1 M(0200)=7F", "D=FF DF=0 R0=0101"},
        {"ADD ignores DF", "F4", "D=01 DF=1 M(0200)=01", "D=02 DF=0 R0=0101"},
        {"ADI", "FC 01", "D=FF", "D=00 DF=1 R0=0102"},
        {"ADC with carry in", "74", "D=80 DF=1 M(0200)=80", "D=01 DF=1 R0=0101"},
        {"ADC to exactly FF", "74", "D=7F DF=1 M(0200)=7F", "D=FF DF=0 R0=0101"},
        {"ADCI carry ripples", "7C 00", "D=FF DF=1", "D=00 DF=1 R0=0102"},
        {"SD equal", "F5", "D=42 M(0200)=42", "D=00 DF=1 R0=0101"},
        {"SD borrows", "F5", "D=05 DF=1 M(0200)=03", "D=FE DF=0 R0=0101"},
        {"SDI", "FD 10", "D=01", "D=0F DF=1 R0=0102"},
        {"SDB with borrow", "75", "D=05 M(0200)=05", "D=FF DF=0 R0=0101"},
        {"SDB without borrow", "75", "D=05 DF=1 M(0200)=05", "D=00 DF=1 R0=0101"},
        {"SDBI 0 - 0 with borrow", "7D 00", "", "D=FF DF=0 R0=0102"},
        {"SM", "F7", "D=05 M(0200)=03", "D=02 DF=1 R0=0101"},
        {"SM borrows", "F7", "D=03 DF=1 M(0200)=05", "D=FE DF=0 R0=0101"},
        {"SMI equal", "FF 80", "D=80", "D=00 DF=1 R0=0102"},
        {"SMB 0 - 0 with borrow", "77", "", "D=FF DF=0 R0=0101"},
        {"SMB 0 - 0 without borrow", "77", "DF=1", "D=00 DF=1 R0=0101"},
        {"SMBI", "7F 0F", "D=10", "D=00 DF=1 R0=0102"},
        {"SHR", "F6", "D=81", "D=40 DF=1 R0=0101"},
        {"SHRC takes DF into bit 7", "76", "D=01 DF=1", "D=80 DF=1 R0=0101"},
        {"SHRC", "76", "D=02", "D=01 DF=0 R0=0101"},
        {"SHL", "FE", "D=81", "D=02 DF=1 R0=0101"},
        {"SHLC bit 7 to DF", "7E", "D=80", "D=00 DF=1 R0=0101"},
        {"SHLC DF into bit 0", "7E", "D=40 DF=1", "D=81 DF=0 R0=0101"},
        {"SHR ignores DF", "F6", "D=02 DF=1", "D=01 DF=0 R0=0101"},
        {"SHL ignores DF", "FE", "D=01 DF=1", "D=02 DF=0 R0=0101"},
        {"ADI ignores DF", "FC 01", "D=01 DF=1", "D=02 DF=0 R0=0102"},
        {"ADCI carry in, none out", "7C 01", "D=01 DF=1", "D=03 DF=0 R0=0102"},
        {"SDI borrows at 00", "FD 00", "D=01", "D=FF DF=0 R0=0102"},
        {"SMI FF from 00", "FF FF", "", "D=01 DF=0 R0=0102"},
        {"SDBI FF - 00 without borrow", "7D FF", "DF=1", "D=FF DF=1 R0=0102"},
        {"SMBI FF - FF without borrow", "7F FF", "D=FF DF=1", "D=00 DF=1 R0=0102"},
        {"LDX", "F0", "DF=1 M(0200)=99", "D=99 R0=0101"},
        {"LDI", "F8 77", "", "D=77 R0=0102"},
        // registers, loads and stores
        {"PHI", "B3", "R3=1234 D=AB", "R3=AB34 R0=0101"},
        {"PLO", "A3", "R3=1234 D=CD", "R3=12CD R0=0101"},
        {"GLO", "83", "R3=12CD", "D=CD R0=0101"},
        {"GHI", "93", "R3=AB34", "D=AB R0=0101"},
        {"GLO R0, the program counter", "80", "", "D=01 R0=0101"},
        {"GHI R0", "90", "R0=12FF", "D=13 R0=1300"},
        {"PHI RF", "BF", "D=AB", "RF=AB00 R0=0101"},
        {"PLO RF", "AF", "D=CD", "RF=00CD R0=0101"},
        {"INC wraps", "15", "R5=FFFF", "R5=0000 R0=0101"},
        {"DEC wraps", "26", "", "R6=FFFF R0=0101"},
        {"LDA across FFFF", "45", "R5=FFFF M(FFFF)=5A", "D=5A R5=0000 R0=0101"},
        {"LDN", "04", "R4=0300 M(0300)=22", "D=22 R0=0101"},
        {"STR", "54", "R4=0301 D=22", "M(0301)=22 R0=0101"},
        {"LDXA", "72", "M(0200)=33", "D=33 R1=0201 R0=0101"},
        {"STXD", "73", "D=33", "M(0200)=33 R1=01FF R0=0101"},
        {"IRX", "60", "", "R1=0201 R0=0101"},
        {"SEP", "D3", "R3=0500", "P=3 R0=0101"},
        {"SEX", "E5", "", "X=5 R0=0101"},
        {"SEX R0", "E0", "", "X=0 R0=0101"},
        {"SAV stores T", "78", "T=23", "M(0200)=23 R0=0101"},
        // the protected window, 4000-9000
        {"STR to 3FFF", "55", "R5=3FFF D=EE", "M(3FFF)=EE R0=0101"},
        {"STR to 4000 dropped", "55", "R5=4000 D=EE", "R0=0101"},
        {"STR to 6000 dropped", "55", "R5=6000 D=EE", "R0=0101"},
        {"STR to 9000 dropped", "55", "R5=9000 D=EE", "R0=0101"},
        {"STR to 9001", "55", "R5=9001 D=EE", "M(9001)=EE R0=0101"},
        {"STXD dropped still decrements", "73", "R1=9000 D=EE", "R1=8FFF R0=0101"},
        {"SAV dropped", "78", "T=23 R1=4000", "R0=0101"},
        // every effect sees R(P) already advanced
        {"INC R(P)", "13", "P=3 R3=0020", "R3=0022"},
        {"GLO R(P)", "83", "P=3 R3=0021", "D=22 R3=0022"},
        {"LDX with X = P reads the byte after it", "F0 5A", "P=3 X=3 R3=0020", "D=5A R3=0021"},
        {"LDA R(P) reads the byte after it", "43 5A", "P=3 R3=0020", "D=5A R3=0022"},
        {"STR R(P) stores at the byte after it", "53 00", "P=3 R3=0020 D=77", "M(0021)=77 R3=0021"},
        {"STXD with X = P", "73 00", "P=3 X=3 R3=0020 D=99", "M(0021)=99 R3=0020"},
        {"DEC R(P)", "23", "P=3 R3=0020", "R3=0020"},
        {"PLO R(P)", "A3", "P=3 R3=0020 D=40", "R3=0040"},
        {"PLO R0, the program counter", "A0", "D=12", "R0=0112"},
        {"PHI R0, the program counter", "B0", "D=12", "R0=1201"},
        {"SEP to R(P) itself", "D3", "P=3 R3=0020", "R3=0021"},
        {"OUT with X = P", "64 AB", "P=3 X=3 R3=0020", "D=AB R3=0022", kGo, "OUT 4 ab\n"},
        // instructions that stop a run
        {"RET changes nothing", "70", "", "R0=0101", kStop},
        {"DIS", "71", "X=2 R2=0050 IE=1 M(0050)=35", "X=3 P=5 R2=0051 IE=0 R0=0101", kStop},
        {"MARK", "79", "P=3 X=2 R3=0100 R2=00FF", "M(00FF)=23 T=23 X=3 R2=00FE R3=0101", kStop},
        {"MARK stores at R(2) whatever X", "79", "P=3 R3=0100 R2=00FF", "M(00FF)=13 T=13 X=3 R2=00FE R3=0101", kStop},
        {"MARK into the window dropped", "79", "P=3 X=2 R3=0100 R2=5000", "T=23 X=3 R2=4FFF R3=0101", kStop},
        // short branches stay in the page of their operand byte
        {"BR operand at xxFF", "30 05", "R0=12FE", "R0=1205"},   {"BR at xxFF", "30 05", "R0=12FF", "R0=1305"},
        {"BZ taken", "32 40", "", "R0=0140"},                    {"BZ not taken", "32 40", "D=01", "R0=0102"},
        {"BNZ", "3A 40", "D=01", "R0=0140"},                     {"BQ", "31 40", "Q=1", "R0=0140"},
        {"BNQ not taken", "39 40", "Q=1", "R0=0102"},            {"BDF", "33 40", "DF=1", "R0=0140"},
        {"BNF", "3B 40", "", "R0=0140"},                         {"B1 never", "34 40", "", "R0=0102"},
        {"B2 never", "35 40", "", "R0=0102"},                    {"B3 never", "36 40", "", "R0=0102"},
        {"BN1 always", "3C 40", "", "R0=0140"},                  {"BN2 always", "3D 40", "", "R0=0140"},
        {"BN3 always", "3E 40", "", "R0=0140"},                  {"SKP", "38 40", "", "R0=0102"},
        // long branches and skips
        {"LBR reads high then low", "C0 12 AB", "", "R0=12AB"},
        {"LBR operand across FFFF", "C0 12", "R0=FFFE M(0000)=F8", "R0=12F8"},
        {"LBR operand across a page", "C0 34 56", "R0=12FE", "R0=3456"},
        {"NLBR wraps past FFFF", "C8", "R0=FFFE", "R0=0001"},
        {"LBZ not taken", "C2 12 AB", "D=01", "R0=0103"},        {"LBNZ", "CA 12 AB", "D=01", "R0=12AB"},
        {"LBQ", "C1 12 AB", "Q=1", "R0=12AB"},                   {"LBNQ not taken", "C9 12 AB", "Q=1", "R0=0103"},
        {"LBDF", "C3 12 AB", "DF=1", "R0=12AB"},                 {"LBNF not taken", "CB 12 AB", "DF=1", "R0=0103"},
        {"LSZ skips", "CE", "", "R0=0103"},                      {"LSZ falls through", "CE", "D=01", "R0=0101"},
        {"LSNZ", "C6", "D=01", "R0=0103"},                       {"LSQ", "CD", "Q=1", "R0=0103"},
        {"LSNQ", "C5", "Q=1", "R0=0101"},                        {"LSDF", "CF", "DF=1", "R0=0103"},
        {"LSNF", "C7", "DF=1", "R0=0101"},                       {"NLBR", "C8", "", "R0=0103"},
        {"LSIE with IE 0", "CC", "", "R0=0101"},                 {"LSIE with IE 1", "CC", "IE=1", "R0=0103"},
        {"NOP", "C4", "", "R0=0101"},
        // the console's side of the machine
        {"OUT also loads D", "63", "R1=0010 M(0010)=0A", "D=0A R1=0011 R0=0101", kGo, "OUT 3 0a\n"},
        {"SEQ", "7B", "", "Q=1 R0=0101", kGo, "Q1\n"},
        {"REQ", "7A", "Q=1", "Q=0 R0=0101", kGo, "Q0\n"},
        {"INP writes even into the window", "6D", "R1=5000", "M(5000)=FF D=FF R0=0101", kGo, "INP 5 ?", {0xFF}},
        {"INP without a number stores 00", "69", "D=77 M(0200)=77", "D=00 M(0200)=00 R0=0101", kGo, "INP 1 ?"},
        {"INP as input ends still stores", "6F", "", "D=12 M(0200)=12 R0=0101", kStop, "INP 7 ?", {0x12, true}},
        {"BN4 with EF4 as it starts", "3F 40", "", "R0=0140", kGo, "EF4 ?"},
        {"B4 with EF4 1", "37 40", "", "EF4=1 R0=0140", kGo, "EF4 ?", {1}},
        {"B4 without a number keeps EF4", "37 40", "EF4=1", "R0=0140", kGo, "EF4 ?"},
        {"BN4 with EF4 0", "3F 40", "EF4=1", "EF4=0 R0=0140", kGo, "EF4 ?", {0}},
        {"B4 with EF4 2 falls through", "37 40", "", "EF4=2 R0=0102", kGo, "EF4 ?", {2}},
        {"BN4 with EF4 2 falls through", "3F 40", "", "EF4=2 R0=0102", kGo, "EF4 ?", {2}},
        {"B4 as input ends still tests", "37 40", "EF4=1", "R0=0140", kStop, "EF4 ?", {{}, true}},
        {"PUTC CR as a new line", "68 01", "D=0D", "R0=0102", kGo, "\n"},
        {"PUTC LF not shown", "68 01", "D=0A", "R0=0102"},
        {"PUTC A", "68 01", "D=41", "R0=0102", kGo, "A"},        {"PUTC space", "68 01", "D=20", "R0=0102", kGo, " "},
        {"PUTC ~", "68 01", "D=7E", "R0=0102", kGo, "~"},        {"PUTC DEL not shown", "68 01", "D=7F", "R0=0102"},
        {"PUTC NUL not shown", "68 01", "", "R0=0102"},          {"PUTC C1 not shown", "68 01", "D=C1", "R0=0102"},
        {"function 7 does nothing", "68 07", "D=41", "R0=0102"},
        {"GETC upper-cases and echoes", "68 02", "", "D=41 R0=0102", kGo, "A", {}, 'a'},
        {"GETC z", "68 02", "", "D=5A R0=0102", kGo, "Z", {}, 'z'},
        {"GETC {", "68 02", "", "D=7B R0=0102", kGo, "{", {}, '{'},
        {"GETC echoes CR as it is", "68 02", "", "D=0D R0=0102", kGo, "\r", {}, 0x0D},
        {"GETC Control-C stays on the 68", "68 02", "", "D=03", kStop},
        {"GETC without keys as Control-C", "68 02", "", "D=03", kStop, "", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        io.replies = {c.reply};
        io.keys = {c.key};
        apply(c.before, s, m);
        load(s.R[s.P], c.program);
        MachineState want = s;
        auto want_memory = std::make_unique<Memory>(m);
        apply(c.after, want, *want_memory);

        want.N = m[s.R[s.P]] & 0xF;  // the opcode about to be fetched
        want.I = m[s.R[s.P]] >> 4;
        EXPECT_EQ(step(), c.result);
        EXPECT_EQ(s, want);
        const auto differs = std::mismatch(m.begin(), m.end(), want_memory->begin());
        EXPECT_EQ(differs.first, m.end()) << "memory differs at " << std::hex << (differs.first - m.begin());
        EXPECT_EQ(io.log, c.shown);
    }
}

// The disassembler's lengths against what the executor consumes, with operands
// chosen so that a taken branch lands where a branch not taken would. Opcodes whose
// laid-out length differs from what they consume are listed with what they consume.
TEST_F(Cpu, OpcodeTableLengthsMatchTheExecutor)
{
    const struct {
        uint8_t opcode;
        unsigned length;
        unsigned consumed;
    } consumes_otherwise[] = {
        {0x10, 1, 2},  // INC R0 increments the program counter itself
        {0x20, 1, 0},  // DEC R0
        {0x40, 1, 2},  // LDA R0
        {0x38, 1, 2},  // SKP skips a byte
        {0x68, 1, 2},  // the console service reads its function byte
        {0xD4, 3, 1},  // "Call" executes as SEP R4
        {0xC5, 1, 3}, {0xC6, 1, 3}, {0xC7, 1, 3}, {0xC8, 1, 3},  // long skips taken (D = 1; Q, DF and IE are 0)
    };
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        SetUp();
        s.R[2] = 0x0200;
        s.D = 0x01;  // so that PLO R0 and PHI R0 leave the program counter at 0101
        const uint8_t length = kOpcodeTable[opcode].length;
        m[kStart] = static_cast<uint8_t>(opcode);
        load(kStart + 1, length == 2 ? "02" : length == 3 ? "01 03" : "");
        step();
        unsigned consumed = length;
        for (const auto& other : consumes_otherwise) {
            if (other.opcode == opcode) {
                EXPECT_EQ(length, other.length) << std::hex << opcode;
                consumed = other.consumed;
            }
        }
        EXPECT_EQ(s.R[0], kStart + consumed) << std::hex << opcode;
    }
}

TEST_F(Cpu, RunStopsInFrontOfIdleAndCountsEveryInstruction)
{
    load(kStart, "F8 03 FF 01 3A 02 00");  // LDI 3; loop: SMI 1; BNZ loop; IDLE
    RunResult result = run(s, m, io);
    EXPECT_EQ(result.executed, 1u + 3 * 2);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(s.R[0], kStart + 6);
    EXPECT_EQ(s.N, 0xA);  // the IDLE was not executed

    load(kStart + 6, "7B 70 00");  // SEQ, RET
    result = run(s, m, io);
    EXPECT_EQ(result.executed, 2u);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(s.R[0], kStart + 8);
}

}  // namespace
}  // namespace cosmac::testing
