// The 1804/1805/1806's instructions and counter on the console machine, against
// a scripted I/O. A case starts from P = 0, R0 = 0100, X = 1, R1 = 0200 (so
// M(R(X)) is M(0200)) changed as it says, executes one instruction, and then the
// whole machine and all of memory must equal that start changed as it expects.
// Every expected state and cycle count was worked out by hand from the chip's
// register-transfer descriptions, not taken from the executor.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "cpu/executor.hpp"
#include "cpu/opcode_table.hpp"
#include "cpu_fixture.hpp"
#include "machine_text.hpp"
#include "scripted_io.hpp"

namespace cosmac::testing {
namespace {

struct Case {
    const char* name;
    const char* program;
    const char* before;
    const char* after;
    unsigned cycles;        // machine cycles, fetches included; 0 where the instruction sets the counter's mode
    const char* shown = "";  // what it asked the I/O to show
    std::optional<uint8_t> key = {};
};

class ExtendedSet : public CpuFixture {
protected:
    void SetUp() override
    {
        CpuFixture::SetUp();
        window = kNoProtectedWindow;
        extended = true;
    }
};

TEST_F(ExtendedSet, InstructionsChangeExactlyWhatTheyShouldInTheirCycles)
{
    const Case cases[] = {
        // the counter and the interrupt enables
        {"STPC keeps the count and clears the prescaler", "68 00", "MODE=1 PRE=1F CNTR=05", "MODE=0 PRE=00 R0=0102", 0},
        {"DTC", "68 01", "CNTR=05", "CNTR=04 R0=0102", 3},
        {"DTC from 00", "68 01", "", "CNTR=FF R0=0102", 3},
        {"DTC past 01 reloads, requests and toggles Q", "68 01", "CNTR=01 CH=09 ETQ=1",
         "CNTR=09 CIL=1 Q=1 R0=0102", 3, "Q1\n"},
        {"DTC past 01 without ETQ leaves Q", "68 01", "CNTR=01 CH=09", "CNTR=09 CIL=1 R0=0102", 3},
        {"SPM2", "68 02", "", "MODE=5 R0=0102", 0},
        {"SCM2 takes EF2 as it stands", "68 03", "EF2=1", "MODE=3 SEEN=1 R0=0102", 0},
        {"SPM1", "68 04", "EF1=1", "MODE=4 R0=0102", 0},
        {"SCM1", "68 05", "MODE=1 PRE=07", "MODE=2 PRE=00 R0=0102", 0},
        {"LDC while stopped loads both and clears the request", "68 06", "D=07 CIL=1",
         "CH=07 CNTR=07 CIL=0 R0=0102", 3},
        {"LDC while running waits for the reload", "68 06", "D=07 MODE=1 CNTR=03 CIL=1",
         "CH=07 PRE=03 R0=0102", 3},
        {"STM restarts the prescaler", "68 07", "PRE=11", "MODE=1 PRE=00 R0=0102", 0},
        {"GEC", "68 08", "CNTR=5A", "D=5A R0=0102", 3},
        {"ETQ", "68 09", "", "ETQ=1 R0=0102", 3},
        {"XIE", "68 0A", "", "XIE=1 R0=0102", 3},
        {"XID", "68 0B", "XIE=1", "XIE=0 R0=0102", 3},
        {"CIE", "68 0C", "", "CIE=1 R0=0102", 3},
        {"CID", "68 0D", "CIE=1", "CIE=0 R0=0102", 3},
        // branches
        {"DBNZ taken", "68 25 12 34", "R5=0002", "R5=0001 R0=1234", 5},
        {"DBNZ at 1 falls through", "68 25 12 34", "R5=0001", "R5=0000 R0=0104", 5},
        {"DBNZ at 0 wraps and branches", "68 25 12 34", "", "R5=FFFF R0=1234", 5},
        {"DBNZ on the data pointer", "68 21 12 34", "", "R1=01FF R0=1234", 5},
        {"BCI taken clears the request", "68 3E 40", "CIL=1", "CIL=0 R0=0140", 3},
        {"BCI not taken", "68 3E 40", "CIE=1", "R0=0103", 3},
        {"BXI: the console machine has no interrupt line", "68 3F 40", "XIE=1", "R0=0103", 3},
        // registers, the stack, calls and returns
        {"RLXA", "68 65", "M(0200)=12 M(0201)=34", "R5=1234 R1=0202 R0=0102", 5},
        {"RLXA wraps past FFFF", "68 65", "R1=FFFF M(FFFF)=12 M(0000)=34", "R5=1234 R1=0001 R0=0102", 5},
        {"SCAL pushes low then high and jumps", "68 86 12 34", "R6=ABCD",
         "M(0200)=CD M(01FF)=AB R1=01FE R6=0104 R0=1234", 10},
        {"SRET", "68 96", "R6=0456 R1=01FE M(01FF)=AB M(0200)=CD", "R0=0456 R6=ABCD R1=0200", 8},
        {"RSXD", "68 A5", "R5=1234", "M(0200)=34 M(01FF)=12 R1=01FE R0=0102", 5},
        {"RNX", "68 B5", "R5=1234", "R1=1234 R0=0102", 4},
        {"RLDI", "68 C5 12 34", "", "R5=1234 R0=0104", 5},
        {"RLDI into the data pointer", "68 C1 00 FF", "", "R1=00FF R0=0104", 5},
        // decimal arithmetic, and DSAV
        {"DADC with carry in", "68 74", "D=38 DF=1 M(0200)=45", "D=84 DF=0 R0=0102", 4},
        {"DADC 99 + 99 + 1", "68 74", "D=99 DF=1 M(0200)=99", "D=99 DF=1 R0=0102", 4},
        {"DSAV stores T, D and D shifted right with DF", "68 76", "D=81 T=5A",
         "M(01FF)=5A M(01FE)=81 M(01FD)=40 R1=01FD D=40 DF=1 R0=0102", 6},
        {"DSAV shifts DF into bit 7", "68 76", "D=02 DF=1", "M(01FF)=00 M(01FE)=02 M(01FD)=81 R1=01FD D=81 DF=0 R0=0102",
         6},
        {"DSMB borrows with DF 0", "68 77", "D=45 M(0200)=38", "D=06 DF=1 R0=0102", 4},
        {"DSMB without borrow", "68 77", "D=45 DF=1 M(0200)=38", "D=07 DF=1 R0=0102", 4},
        {"DACI 99 + 01 + 1", "68 7C 01", "D=99 DF=1", "D=01 DF=1 R0=0103", 4},
        {"DSBI 00 - 01 - borrow", "68 7F 01", "", "D=98 DF=0 R0=0103", 4},
        {"DADD", "68 F4", "D=38 M(0200)=45", "D=83 R0=0102", 4},
        {"DADD 99 + 01 carries, DF ignored", "68 F4", "D=99 DF=1 M(0200)=01", "D=00 DF=1 R0=0102", 4},
        {"DADD 09 + 01 carries a digit", "68 F4", "D=09 M(0200)=01", "D=10 R0=0102", 4},
        {"DSM", "68 F7", "D=45 M(0200)=38", "D=07 DF=1 R0=0102", 4},
        {"DSM borrows", "68 F7", "D=38 M(0200)=45", "D=93 DF=0 R0=0102", 4},
        {"DSM equal", "68 F7", "D=45 M(0200)=45", "D=00 DF=1 R0=0102", 4},
        {"DADI 99 + 01", "68 FC 01", "D=99", "D=00 DF=1 R0=0103", 4},
        {"DADI 50 + 49", "68 FC 49", "D=50 DF=1", "D=99 DF=0 R0=0103", 4},
        {"DSMI 00 - 01", "68 FF 01", "DF=1", "D=99 DF=0 R0=0103", 4},
        {"DSMI 10 - 01", "68 FF 01", "D=10", "D=09 DF=1 R0=0103", 4},
        // the console service's new place, and the unused second bytes
        {"68 D1 writes D", "68 D1", "D=41", "R0=0102", 3, "A"},
        {"68 D2 reads a key", "68 D2", "", "D=41 R0=0102", 3, "A", 'a'},
        {"68 01 is DTC, not the console service", "68 01", "D=41 CNTR=03", "CNTR=02 R0=0102", 3},
        {"an unused second byte passes", "68 0E", "D=41", "R0=0102", 3},
        {"68 D0 passes", "68 D0", "D=41", "R0=0102", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        io.keys = {c.key};
        apply(c.before, s, m);
        load_bytes(m, kStart, c.program);
        MachineState want = s;
        auto want_memory = std::make_unique<Memory>(m);
        apply(c.after, want, *want_memory);
        want.N = m[kStart] & 0xF;  // the executed opcode, 68 for the whole extended set
        want.I = m[kStart] >> 4;

        EXPECT_EQ(step(), StepResult::Continue);
        EXPECT_EQ(s, want);
        const auto differs = std::mismatch(m.begin(), m.end(), want_memory->begin());
        EXPECT_EQ(differs.first, m.end()) << "memory differs at " << std::hex << (differs.first - m.begin());
        EXPECT_EQ(io.log, c.shown);

        if (c.cycles == 0)
            continue;
        // Again, with the timer counting: its prescaler gathers the cycles.
        SetUp();
        io.keys = {c.key};
        apply(c.before, s, m);
        load_bytes(m, kStart, c.program);
        s.counter.mode = CounterMode::Timer;
        s.counter.prescaler = 0;
        step();
        EXPECT_EQ(s.counter.prescaler, c.cycles);
    }
}

// SCAL, RSXD and DSAV store as STXD does: not into the protected window.
TEST_F(ExtendedSet, StoresMeetTheProtectedWindow)
{
    for (const char* program : {"68 86 12 34", "68 A6", "68 76"}) {
        SetUp();
        s.R[1] = 0x5000;
        s.R[6] = 0xABCD;
        s.D = 0x77;
        load_bytes(m, kStart, program);
        window = ProtectedWindow{};
        step();
        EXPECT_TRUE(std::all_of(m.begin() + 0x4FF0, m.begin() + 0x5010, [](uint8_t byte) { return byte == 0; }))
            << program;
        EXPECT_LT(s.R[1], 0x5000) << program;
    }
}

// The 1802's instructions keep their cycles on the 1805: three for the long
// branches, skips and NOP (C0-CF), two for the rest.
TEST_F(ExtendedSet, The1802sInstructionsKeepTheirCycles)
{
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        if (opcode == kExtendedPrefix)
            continue;
        SetUp();
        m[kStart] = static_cast<uint8_t>(opcode);
        s.counter.mode = CounterMode::Timer;
        step();
        EXPECT_EQ(s.counter.prescaler, opcode >> 4 == 0xC ? 3 : 2) << std::hex << opcode;
    }
}

// Every second byte: the table's length is what the executor consumes, where a
// branch not taken goes on past the operands (DBNZ's register is 1, so it falls
// through), and SCAL leaves its return address in R(N). SRET always goes
// elsewhere, as DBNZ, RLXA, RLDI and SCAL do on R0, the program counter, and
// 68 D2 waits for a key; those are left out. The cycles, counted by the timer,
// are the chip's by the groups of its instruction set, not the table's.
TEST_F(ExtendedSet, TableLengthsAndCyclesMatchTheExecutor)
{
    const auto cycles_of = [](unsigned code) {
        const unsigned row = code >> 4;
        if (row == 0x2 || row == 0x6 || row == 0xA || row == 0xC)
            return 5;  // DBNZ, RLXA, RSXD, RLDI
        if (row == 0x8)
            return 10;  // SCAL
        if (row == 0x9)
            return 8;  // SRET
        if (row == 0xB)
            return 4;  // RNX
        if (code == 0x76)
            return 6;  // DSAV
        if ((code & 0x7F) == 0x74 || (code & 0x7F) == 0x77 || (code & 0x7F) == 0x7C || (code & 0x7F) == 0x7F)
            return 4;  // the decimal instructions
        return 3;      // the counter's, BCI, BXI, and those the chip leaves unused
    };
    for (unsigned code = 0; code < 256; ++code) {
        const bool moves_the_program_counter =
            (code & 0xF) == 0 && (code >> 4 == 0x2 || code >> 4 == 0x6 || code >> 4 == 0x8 || code >> 4 == 0xC);
        if (code >> 4 == 0x9 || code == 0xD2 || moves_the_program_counter)
            continue;
        SCOPED_TRACE(code);
        SetUp();
        for (unsigned r = 1; r < 16; ++r)
            s.R[r] = 1;
        m[kStart] = 0x68;
        m[kStart + 1] = static_cast<uint8_t>(code);
        const bool sets_mode = code <= 0x07 && code != 0x01 && code != 0x06;
        s.counter.mode = sets_mode ? CounterMode::Stopped : CounterMode::Timer;
        step();
        const unsigned length = kExtendedOpcodeTable[code].length;
        EXPECT_EQ(code >> 4 == 0x8 ? s.R[code & 0xF] : s.R[0], kStart + length);
        if (!sets_mode) {
            EXPECT_EQ(s.counter.prescaler, cycles_of(code));
        }
    }
    for (unsigned n = 1; n < 16; ++n) {  // SRET's length, from where the disassembler goes on
        EXPECT_EQ(kExtendedOpcodeTable[0x90 | n].length, 2u);
        EXPECT_EQ(kExtendedOpcodeTable[0x90 | n].cycles, 8u);
    }
}

// Timer mode from an STM with CH = CNTR = 02: the request comes as the 64th
// machine cycle after the STM ends, the end of the 32nd INC, and with CIE and
// IE the interrupt is taken right after that instruction.
TEST_F(ExtendedSet, TimerInterruptsAfterExactlySixtyFourCycles)
{
    SetUp();
    s.IE = 1;
    s.counter.CIE = 1;
    s.R[1] = 0x0300;  // the interrupt routine
    load_bytes(m, kStart, "F8 02 68 06 68 07");  // LDI 02; LDC; STM
    for (int i = 0; i < 3; ++i)
        step();
    std::fill_n(m.begin() + kStart + 6, 40, uint8_t{0x15});  // INC R5, two cycles each
    for (int i = 0; i < 31; ++i)
        step();
    EXPECT_EQ(s.P, 0);
    EXPECT_EQ(s.counter.CNTR, 1);
    EXPECT_EQ(s.counter.prescaler, 30);
    EXPECT_EQ(s.counter.CIL, 0);
    step();
    EXPECT_EQ(s.R[5], 32);
    EXPECT_EQ(s.counter.CIL, 1);
    EXPECT_EQ(s.counter.CNTR, 2);  // reloaded from CH
    EXPECT_EQ(s.P, 1);
    EXPECT_EQ(s.X, 2);
    EXPECT_EQ(s.T, 0x10);  // X = 1, P = 0 as it was taken
    EXPECT_EQ(s.IE, 0);
    EXPECT_EQ(s.R[0], kStart + 6 + 32);
    EXPECT_EQ(s.counter.prescaler, 1);  // the interrupt's own cycle
}

// The request waits for both enables; GEC reads the count as it runs; ETQ
// toggles Q at each underflow.
TEST_F(ExtendedSet, TheCounterRunsUnderItsEnables)
{
    const struct {
        const char* name;
        uint8_t ie, cie;
        bool taken;
    } gates[] = {{"IE and CIE", 1, 1, true}, {"IE only", 1, 0, false}, {"CIE only", 0, 1, false}};
    for (const auto& gate : gates) {
        SCOPED_TRACE(gate.name);
        SetUp();
        s.IE = gate.ie;
        s.counter.CIE = gate.cie;
        s.counter.CNTR = 1;
        s.counter.mode = CounterMode::Timer;
        s.counter.prescaler = 30;
        load_bytes(m, kStart, "15");
        step();
        EXPECT_EQ(s.counter.CIL, 1);
        EXPECT_EQ(s.P, gate.taken ? 1 : 0);
    }

    SetUp();
    s.counter.CNTR = 2;
    s.counter.CH = 3;
    s.counter.ETQ = 1;
    load_bytes(m, kStart, "68 07");  // STM, then GEC after 32 cycles of SEX 1 (two each) and after 32 more
    std::fill_n(m.begin() + kStart + 2, 16, uint8_t{0xE1});
    load_bytes(m, kStart + 18, "68 08");
    std::fill_n(m.begin() + kStart + 20, 16, uint8_t{0xE1});
    load_bytes(m, kStart + 36, "68 08");
    for (int i = 0; i < 18; ++i)
        step();
    EXPECT_EQ(s.D, 1);
    for (int i = 0; i < 17; ++i)
        step();
    EXPECT_EQ(s.D, 3);  // it passed 01 and reloaded from CH, during the first GEC's 3 cycles and the 16 SEXs
    EXPECT_EQ(s.Q, 1);
    EXPECT_EQ(io.log, "Q1\n");
}

// On the console machine an event mode sees EF1 or EF2 as the user sets it:
// each change to 1 counts once; a pulse-width mode counts every cycle the flag
// is 1, and as it returns to 0 stops and requests.
TEST_F(ExtendedSet, EventAndPulseModesFollowTheFlags)
{
    SetUp();
    s.counter.CNTR = 0x10;
    load_bytes(m, kStart, "68 05");  // SCM1
    std::fill_n(m.begin() + kStart + 2, 10, uint8_t{0xE1});
    step();
    const uint8_t levels[] = {1, 1, 0, 1, 0, 0, 1};
    for (const uint8_t level : levels) {
        s.EF1 = level;
        step();
    }
    EXPECT_EQ(s.counter.CNTR, 0x10 - 3);

    SetUp();
    s.counter.CNTR = 0x10;
    s.EF2 = 1;
    load_bytes(m, kStart, "68 02");  // SPM2, then SEX 1, two cycles each
    std::fill_n(m.begin() + kStart + 2, 10, uint8_t{0xE1});
    step();
    step();
    step();
    EXPECT_EQ(s.counter.CNTR, 0x10 - 4);
    EXPECT_EQ(s.counter.CIL, 0);
    s.EF2 = 0;
    step();
    EXPECT_EQ(s.counter.CNTR, 0x10 - 4);
    EXPECT_EQ(s.counter.CIL, 1);
    EXPECT_EQ(s.counter.mode, CounterMode::Stopped);
}

}  // namespace
}  // namespace cosmac::testing
