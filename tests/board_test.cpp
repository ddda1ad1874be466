// Board mode: the datasheet's instruction set on a board's bus, the boards'
// resets and memory maps, and the bit-banged serial line at its timing edges.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.hpp"
#include "board/board_options.hpp"
#include "board/front_panel.hpp"
#include "board/serial_line.hpp"
#include "cpu/execution.hpp"
#include "machine_text.hpp"
#include "debug/debugger.hpp"
#include "test_device.hpp"

namespace cosmac::testing {
namespace {

// Devices that log what the processor asks of them, with the machine cycle.
// EF2 and EF3 are set; the switches on port 4 read 3C; no other port has a
// device. The interrupt line is as the case sets it.
class ScriptedDevices : public BoardDevices {
public:
    explicit ScriptedDevices(bool interrupt) : interrupt_(interrupt) { attention_ = interrupt ? 0 : kNever; }

    void output_port(unsigned port, uint8_t value, uint64_t cycle) override { note("OUT ", port, cycle, value); }
    uint8_t input_port(unsigned port, uint64_t cycle) override
    {
        note("INP ", port, cycle);
        return port == 4 ? 0x3C : 0xFF;
    }
    bool ef(unsigned line, uint64_t cycle) override
    {
        note("EF", line, cycle);
        return line == 2 || line == 3;
    }
    void q_changed(bool q, uint64_t cycle) override { note("Q", q, cycle); }
    void run_due(uint64_t) override {}
    BoardLines lines() const override { return {.interrupt = interrupt_}; }
    uint8_t dma_in(uint64_t) override { return 0xFF; }
    void dma_out(uint8_t, uint64_t) override {}

    std::string log;

private:
    void note(const char* what, unsigned number, uint64_t cycle, std::optional<unsigned> value = {})
    {
        std::ostringstream entry;
        entry << what << number;
        if (value)
            entry << ' ' << *value;
        entry << " @" << cycle << "\n";
        log += entry.str();
    }

    bool interrupt_;
};

MemoryMap lower_half_ram()
{
    MemoryMap map{};
    std::fill(map.begin(), map.begin() + 0x8000, Storage::Ram);
    std::fill(map.begin() + 0x8000, map.end(), Storage::Rom);
    return map;
}

struct BoardCase {
    const char* name;
    const char* program;
    const char* before;
    const char* after;
    const char* log = "";
    uint64_t cycles = 2;  // taken by the instruction (and an interrupt)
    bool interrupt = false;
};

// Each case starts from P = 0, R0 = 0100, X = 1, R1 = 0200, at machine cycle 10,
// with RAM at 0000-7fff and ROM above.
TEST(BoardChip, InstructionsAsTheDatasheetHasThem)
{
    const BoardCase cases[] = {
        {"RET goes on with X and P from M(R(X)) and sets IE", "70", "M(0200)=35", "X=3 P=5 R1=0201 IE=1 R0=0101"},
        {"DIS clears IE", "71", "IE=1 M(0200)=35", "X=3 P=5 R1=0201 IE=0 R0=0101"},
        {"MARK goes on", "79", "P=3 X=2 R3=0100 R2=00FF", "M(00FF)=23 T=23 X=3 R2=00FE R3=0101"},
        {"SAV", "78", "T=23", "M(0200)=23 R0=0101"},
        {"OUT leaves D alone", "64", "D=11 M(0200)=5A", "R1=0201 R0=0101", "OUT 4 90 @11\n"},
        {"INP from the switches", "6C", "", "D=3C M(0200)=3C R0=0101", "INP 4 @11\n"},
        {"INP without a device reads FF", "6D", "", "D=FF M(0200)=FF R0=0101", "INP 5 @11\n"},
        {"68 reads as port 0 without a device", "68", "", "D=FF M(0200)=FF R0=0101", "INP 0 @11\n"},
        {"INP into ROM sets D only", "6C", "R1=8000", "D=3C R0=0101", "INP 4 @11\n"},
        {"STR to the last byte of RAM", "51", "R1=7FFF D=EE", "M(7FFF)=EE R0=0101"},
        {"STR to ROM is ignored", "51", "R1=8000 D=EE", "R0=0101"},
        {"SEQ at the execute cycle", "7B", "", "Q=1 R0=0101", "Q1 @11\n"},
        {"REQ", "7A", "Q=1", "Q=0 R0=0101", "Q0 @11\n"},
        {"B1 not taken", "34 40", "EF1=1", "EF1=0 R0=0102", "EF1 @11\n"},
        {"B2 taken", "35 40", "", "EF2=1 R0=0140", "EF2 @11\n"},
        {"B3 taken", "36 40", "", "EF3=1 R0=0140", "EF3 @11\n"},
        {"B4 reads the line, asks no one", "37 40", "EF4=1", "EF4=0 R0=0102", "EF4 @11\n"},
        {"BN1 taken", "3C 40", "", "R0=0140", "EF1 @11\n"},
        {"BN2 not taken", "3D 40", "", "EF2=1 R0=0102", "EF2 @11\n"},
        {"BN3 not taken", "3E 40", "", "EF3=1 R0=0102", "EF3 @11\n"},
        {"BN4 taken", "3F 40", "", "R0=0140", "EF4 @11\n"},
        {"LBR takes 3 cycles", "C0 12 34", "", "R0=1234", "", 3},
        {"NOP takes 3 cycles", "C4", "", "R0=0101", "", 3},
        {"LSKP takes 3 cycles", "C8", "", "R0=0103", "", 3},
        {"SEP takes 2", "D3", "", "P=3 R0=0101"},
        {"an interrupt after the instruction", "C4", "IE=1 X=5", "T=50 X=2 P=1 IE=0 R0=0101", "", 4, true},
        {"IE 0 holds an interrupt off", "C4", "", "R0=0101", "", 3, true},
        {"an IDLE that nothing can wake stays on it", "00", "IE=1", ""},
        {"an interrupt wakes an IDLE, which returns after it", "00", "IE=1", "T=10 X=2 P=1 IE=0 R0=0101", "", 3, true},
    };
    const MemoryMap map = lower_half_ram();
    for (const BoardCase& c : cases) {
        SCOPED_TRACE(c.name);
        MachineState s;
        auto m = std::make_unique<Memory>();
        s.R[0] = 0x0100;
        s.X = 1;
        s.R[1] = 0x0200;
        apply(c.before, s, *m);
        load_bytes(*m, s.R[s.P], c.program);
        MachineState want = s;
        auto want_memory = std::make_unique<Memory>(*m);
        apply(c.after, want, *want_memory);
        want.N = (*m)[s.R[s.P]] & 0xF;
        want.I = (*m)[s.R[s.P]] >> 4;

        ScriptedDevices devices(c.interrupt);
        BoardBus bus{.devices = &devices, .map = &map, .cycles = 10};
        PlainRun policy;
        step_on(s, *m, bus, policy);
        EXPECT_EQ(s, want);
        EXPECT_TRUE(*m == *want_memory);
        EXPECT_EQ(devices.log, c.log);
        EXPECT_EQ(bus.cycles, 10 + c.cycles);
    }
}

TEST(BoardChip, ResetsAsEachBoardDoes)
{
    const struct {
        const char* board;
        uint16_t r0;
        uint64_t cycles;
        bool jump_on_reset;
    } cases[] = {
        {"mcard", 0x8000, 3, false},
        {"elf2k", 0x0000, 0, true},
        {"picoelf", 0x0000, 0, true},
        {"elf", 0x0000, 0, false},
    };
    for (const auto& c : cases) {
        Board board(*board_named(c.board));
        MachineState state;
        state.D = 0x12;
        state.R[1] = 0x3456;
        state.P = state.X = state.N = state.I = 5;
        state.Q = 1;
        state.counter = {.CNTR = 7, .CH = 8, .prescaler = 9, .mode = CounterMode::Timer, .CIL = 1, .ETQ = 1};
        BoardBus bus{.devices = &board, .map = &board.map(), .idle = true};
        board.reset(state, bus);
        MachineState want;
        want.D = 0x12;
        want.R[1] = 0x3456;
        want.R[0] = c.r0;
        want.IE = 1;
        want.counter = {.CNTR = 7, .CH = 8, .CIE = 1, .XIE = 1};  // the 1805's: the counter stopped, both enabled
        EXPECT_EQ(state, want) << c.board;
        EXPECT_EQ(bus.cycles, c.cycles) << c.board;
        EXPECT_EQ(bus.jump_on_reset, c.jump_on_reset) << c.board;
        EXPECT_FALSE(bus.idle) << c.board;
    }

    // Jump-on-reset reads the ROM at 8000 + (address & 7fff) until an access
    // with A15 set; a peek sees the same and ends nothing.
    Board board(*board_named("elf2k"));
    auto m = std::make_unique<Memory>();
    (*m)[0x8001] = 0xAB;
    (*m)[0x0001] = 0xCD;
    BoardBus bus{.devices = &board, .map = &board.map(), .jump_on_reset = true};
    EXPECT_EQ(bus.peek(*m, 0x0001), 0xAB);
    EXPECT_EQ(bus.peek(*m, 0x8001), 0xAB);
    EXPECT_TRUE(bus.jump_on_reset);
    EXPECT_EQ(bus.read(*m, 0x0001), 0xAB);
    EXPECT_EQ(bus.read(*m, 0x8001), 0xAB);
    EXPECT_EQ(bus.read(*m, 0x0001), 0xCD);
    EXPECT_EQ(bus.peek(*m, 0x0001), 0xCD);
    bus.jump_on_reset = true;
    EXPECT_TRUE(bus.lands(0x7FFF, true));  // RAM, and the mirror stays on
    EXPECT_TRUE(bus.jump_on_reset);
    EXPECT_FALSE(bus.lands(0x8000, true));  // ROM, which ends the mirror
    EXPECT_FALSE(bus.jump_on_reset);
}

// The reproducer of a ROM whose first bytes jump on: through the mirror the
// processor fetches C0 80 10 at 0000, and the debugger's history keeps those
// bytes, not what RAM holds there.
TEST(BoardChip, JumpOnResetIsWhatTheDebuggerSeesToo)
{
    Board board(*board_named("elf2k"));
    auto m = std::make_unique<Memory>();
    load_bytes(*m, 0x8000, "C0 80 10");
    MachineState state;
    BoardBus bus{.devices = &board, .map = &board.map()};
    board.reset(state, bus);
    Debugger debugger{ProtectedWindow{}};
    debugger.step(state, *m, bus);
    EXPECT_EQ(state.R[0], 0x8010);
    const std::vector<HistoryStep> steps = debugger.recent(1, state);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].record->bytes(), (InstructionBytes{0xC0, 0x80, 0x10, 0x00}));
}

TEST(BoardChip, ARamProbeFindsTheMembershipCardsRam)
{
    // R1 = ffff; at each page's last byte, store ff and 00 and read them back;
    // the first page that keeps both is RAM.
    const char* probe = "F8 FF B1 A1 F8 FF 51 01 FB FF 3A 12 F8 00 51 01 32 18 91 FF 01 B1 30 04 00";
    Board board(*board_named("mcard"));
    auto m = std::make_unique<Memory>();
    load_bytes(*m, 0, probe);
    std::fill(m->begin() + 0x8000, m->end(), uint8_t{0xFF});  // a blank ROM
    MachineState state;
    BoardBus bus{.devices = &board, .map = &board.map()};
    PlainRun policy;
    run_on(state, *m, bus, policy, 100000);
    EXPECT_TRUE(bus.idle);
    EXPECT_EQ(state.R[0], 0x0018);
    EXPECT_EQ(state.R[1], 0x7FFF);
}

TEST(Boards, FrontPanelSwitchesCopiedToTheLeds)
{
    // SEX 2; loop: INP 4; OUT 4; DEC 2; B4 in; BR loop; in: IDLE
    Board board(*board_named("mcard"));
    FrontPanel& panel = *board.device<FrontPanel>();
    auto m = std::make_unique<Memory>();
    load_bytes(*m, 0, "E2 6C 64 22 37 08 30 01 00");
    MachineState state;
    state.R[2] = 0x0100;
    panel.switches = 0x5A;
    BoardBus bus{.devices = &board, .map = &board.map()};
    PlainRun policy;
    run_on(state, *m, bus, policy, 1);
    EXPECT_EQ(state.I << 4 | state.N, 0xE2);  // a run of one instruction latches it too
    run_on(state, *m, bus, policy, 0);
    EXPECT_EQ(state.I << 4 | state.N, 0xE2);  // a run of none changes neither
    run_on(state, *m, bus, policy, 4);
    EXPECT_EQ(panel.leds, 0x5A);
    EXPECT_EQ((*m)[0x0100], 0x5A);
    EXPECT_EQ(state.R[0], 0x0006);  // IN is up: B4 fell through
    panel.in_button = true;
    run_on(state, *m, bus, policy, 100);
    EXPECT_TRUE(bus.idle);
    EXPECT_EQ(state.R[0], 0x0008);
    EXPECT_EQ(board.input_port(5, 0), 0xFF);
    EXPECT_FALSE(board.ef(1, 0));
    panel.in_button = false;
    panel.press_in(1000);  // for 100 ms: 22375 machine cycles at 1.79 MHz
    EXPECT_TRUE(board.ef(4, 1000 + 22374));
    EXPECT_FALSE(board.ef(4, 1000 + 22375));
}

// The disk card answers its ports and nothing else: a serial line moved to any
// EF line of a board with a disk is still what that line reads.
TEST(Boards, TheDiskCardLeavesTheEfLinesToOthers)
{
    for (const char* name : {"picoelf", "elf2k"}) {
        BoardDescription description = *board_named(name);
        const unsigned own_line = description.device("serial line")->ef_line;
        const bool idle = Board(description).ef(own_line, 0);
        for (unsigned line = 1; line <= 3; ++line) {
            description.device("serial line")->ef_line = line;
            EXPECT_EQ(Board(description).ef(line, 0), idle) << name << " EF" << line;
        }
    }
}

TEST(Boards, MapsAndUnmappedAddresses)
{
    BoardDescription description = *board_named("elf");
    description.ram = {{0x0000, 0x0FFF}};
    description.rom = {{0xF000, 0xFFFF}};
    const Board board(description);
    auto m = std::make_unique<Memory>();
    (*m)[0x0FFF] = 1;
    (*m)[0xF000] = 2;
    EXPECT_EQ(board.clear_unmapped(*m), 0x1000);
    EXPECT_EQ((*m)[0x1000], 0xFF);
    EXPECT_EQ((*m)[0xEFFF], 0xFF);
    EXPECT_EQ((*m)[0x0FFF], 1);
    EXPECT_EQ((*m)[0xF000], 2);
    EXPECT_EQ(board.clear_unmapped(*m), std::nullopt);
    (*m)[0x2000] = 7;  // as a load leaves it
    EXPECT_EQ(board.clear_unmapped(*m), 0x2000);
    EXPECT_EQ(board.storage(0x0FFF), Storage::Ram);
    EXPECT_EQ(board.storage(0x1000), Storage::None);
    EXPECT_EQ(board.storage(0xEFFF), Storage::None);
    EXPECT_EQ(board.storage(0xF000), Storage::Rom);

    // Memory's first and last addresses outside the map.
    description.ram = {{0x0001, 0xFFFE}};
    description.rom = {};
    const Board edges(description);
    (*m)[0x0000] = 5;
    (*m)[0xFFFF] = 6;
    EXPECT_EQ(edges.clear_unmapped(*m), 0x0000);
    EXPECT_EQ((*m)[0x0000], 0xFF);
    EXPECT_EQ((*m)[0xFFFF], 0xFF);
    EXPECT_EQ(edges.storage(0x0000), Storage::None);
    EXPECT_EQ(edges.storage(0x0001), Storage::Ram);
    EXPECT_EQ(edges.storage(0xFFFE), Storage::Ram);
    EXPECT_EQ(edges.storage(0xFFFF), Storage::None);
    for (const char* name : {"mcard", "elf2k", "picoelf"}) {  // RAM to 7fff, ROM from 8000 to ffff
        const Board half(*board_named(name));
        EXPECT_EQ(half.storage(0x0000), Storage::Ram) << name;
        EXPECT_EQ(half.storage(0x7FFF), Storage::Ram) << name;
        EXPECT_EQ(half.storage(0x8000), Storage::Rom) << name;
        EXPECT_EQ(half.storage(0xFFFF), Storage::Rom) << name;
    }
    description.ram = {{0x0000, 0x7FFF}};
    description.rom = {{0x4000, 0xFFFF}};  // overlapping the RAM, which wins
    const Board overlapping(description);
    EXPECT_EQ(overlapping.storage(0x7FFF), Storage::Ram);
    EXPECT_EQ(overlapping.storage(0x8000), Storage::Rom);
    const Board elf(*board_named("elf"));  // RAM everywhere
    EXPECT_EQ(elf.storage(0x0000), Storage::Ram);
    EXPECT_EQ(elf.storage(0xFFFF), Storage::Ram);
    EXPECT_EQ(board_names(), "mcard, elf2k, picoelf, elf");
    EXPECT_EQ(board_named("kim"), std::nullopt);
}

// A board of the test device alone, RAM everywhere, with a program at 0100 run
// by P = 3 so that R0 is free for DMA, which points it at 0200.
struct TimedBoard {
    explicit TimedBoard(const char* program)
        : board({.name = "timed",
                 .ram = {{0x0000, 0xFFFF}},
                 .rom = {},
                 .clock_hz = 1000000,
                 .reset = ResetKind::AtZero,
                 .devices = {{.name = "test device", .make = make_test_device}}}),
          device(*board.device<TestDevice>()),
          bus{.devices = &board, .map = &board.map()}
    {
        load_bytes(*memory, 0x0100, program);
        load_bytes(*memory, 0x0200, "11 22 33 44");
        state.P = 3;
        state.R[3] = 0x0100;
        state.R[0] = 0x0200;
        state.R[1] = 0x0300;  // the interrupt's program: IDLE
        state.IE = 1;
    }

    RunResult run(uint64_t limit, bool extended = false)
    {
        PlainRun policy;
        return on_instruction_set(bus, extended, [&](auto& on) { return run_on(state, *memory, on, policy, limit); });
    }

    Board board;
    TestDevice& device;
    BoardBus bus;
    std::unique_ptr<Memory> memory = std::make_unique<Memory>();
    MachineState state;
};

// The scheduler cycle by cycle: an interrupt raised at a cycle is taken at the
// first instruction boundary from that cycle on, its own cycle taking one more.
TEST(BoardClock, AnInterruptIsTakenAtTheBoundaryOfItsCycle)
{
    const struct {
        const char* program;
        uint64_t raised_at;
        uint16_t r5;    // instructions before it
        uint64_t taken_at;
    } cases[] = {
        {"15 15 15 15 15 15 15 15", 10, 5, 10},  // INC R5, 2 cycles each: 10 is a boundary
        {"15 15 15 15 15 15 15 15", 11, 6, 12},
        {"15 15 15 15 15 15 15 15", 0, 1, 2},  // raised before the first instruction ends
        {"C4 C4 C4 C4 C4 C4", 10, 4, 12},       // NOP, 3 cycles each
        {"C4 C4 C4 C4 C4 C4", 9, 3, 9},
    };
    for (const auto& c : cases) {
        TimedBoard timed(c.program);
        const bool nops = c.program[0] == 'C';
        timed.device.interrupt_at(c.raised_at);
        timed.run(8);
        EXPECT_EQ(timed.state.R[3], 0x0100 + c.r5) << c.program << " " << c.raised_at;
        EXPECT_EQ(timed.state.P, 1) << c.raised_at;
        EXPECT_EQ(timed.state.T, 0x03) << c.raised_at;
        EXPECT_EQ(timed.state.IE, 0) << c.raised_at;
        // The interrupt's cycle, then the IDLE at 0300, where the processor sleeps.
        EXPECT_EQ(timed.bus.cycles, c.taken_at + 1 + 2) << c.raised_at;
        EXPECT_TRUE(timed.bus.idle);
        EXPECT_EQ(timed.state.R[5], nops ? 0 : c.r5);
        EXPECT_EQ(timed.device.log, "INT @" + std::to_string(c.taken_at) + "\n") << c.raised_at;
    }
    // A run that pauses at that boundary takes the interrupt first.
    TimedBoard paused("15 15 15 15 15 15 15 15");
    paused.device.interrupt_at(10);
    paused.bus.pause_at = 10;
    EXPECT_TRUE(paused.run(8).stopped);
    EXPECT_EQ(paused.state.P, 1);
    EXPECT_EQ(paused.state.R[5], 5);
    EXPECT_EQ(paused.bus.cycles, 11u);
}

// DMA takes one machine cycle a byte between two instructions, from M(R0) up,
// and a timed loop runs that much later.
TEST(BoardClock, DmaStealsCyclesFromATimedLoop)
{
    TimedBoard out("15 15 15 15 15 15 15 15 15 15 00");
    out.device.dma_at(10, 3, /*in=*/false);
    const RunResult result = out.run(10);
    EXPECT_EQ(result.executed, 10u);
    EXPECT_EQ(out.bus.cycles, 10 * 2 + 3);
    EXPECT_EQ(out.state.R[0], 0x0203);
    EXPECT_EQ(out.device.log, "DMA out requested @10\nDMA out 17 @10\nDMA out 34 @11\nDMA out 51 @12\n");

    TimedBoard in("15 15 15 15 00");
    in.device.dma_at(3, 2, /*in=*/true);  // mid-instruction: the cycles come at 4
    in.run(4);
    EXPECT_EQ(in.bus.cycles, 4 * 2 + 2);
    EXPECT_EQ((*in.memory)[0x0200], 0xA2);
    EXPECT_EQ((*in.memory)[0x0201], 0xA1);
    EXPECT_EQ((*in.memory)[0x0202], 0x33);
    EXPECT_EQ(in.device.log, "DMA in requested @4\nDMA in 162 @4\nDMA in 161 @5\n");
}

// In an IDLE the clock skips to the next event: DMA there ends the IDLE, and
// the program goes on after it; with nothing to come the processor sleeps.
TEST(BoardClock, DmaWakesAnIdle)
{
    TimedBoard timed("00 15 00");  // IDLE; INC R5; IDLE
    timed.device.dma_at(1000, 1, /*in=*/true);
    const RunResult result = timed.run(kNoLimit);
    EXPECT_EQ(result.executed, 3u);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(timed.state.R[5], 1);
    EXPECT_EQ((*timed.memory)[0x0200], 0xA1);
    EXPECT_EQ(timed.bus.cycles, 1000 + 1 + 2 + 2);
    EXPECT_TRUE(timed.bus.idle);
    EXPECT_EQ(timed.state.R[3], 0x0102);  // back on the IDLE that sleeps

    // A pause in an IDLE leaves it there; the next run waits on without fetching it again.
    TimedBoard paused("00 15 00");
    paused.device.interrupt_at(500);
    paused.bus.pause_at = 100;
    const RunResult first = paused.run(kNoLimit);
    EXPECT_TRUE(first.stopped);
    EXPECT_EQ(first.executed, 1u);
    EXPECT_EQ(paused.bus.cycles, 100);
    EXPECT_EQ(paused.state.R[3], 0x0100);
    paused.bus.pause_at = kNever;
    const RunResult second = paused.run(kNoLimit);
    EXPECT_EQ(second.executed, 1u);  // the IDLE at 0300
    EXPECT_EQ(paused.state.P, 1);
    EXPECT_EQ(paused.state.R[3], 0x0101);  // the interrupt returns after the first IDLE
    EXPECT_EQ(paused.bus.cycles, 500 + 1 + 2);
}

std::string repeated(const std::string& bytes, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += bytes;
    return all;
}

// The 1805 on a board's clock: its instructions' cycles, and the counter
// counting them from the end of the STM; CH = CNTR = 02 passes 01 at the 64th
// cycle after it, 8 + 64 = 72, where the interrupt is taken (at the end of the
// 32nd INC, or waking the IDLE), then the IDLE at 0300 sleeps, IE being 0.
TEST(BoardClock1805, TheTimerInterruptsAtItsCycle)
{
    const struct {
        const char* name;
        std::string program;
        uint16_t r5;
        uint16_t r3;  // where the interrupted program goes on
        uint64_t executed;
    } cases[] = {
        {"in a loop", "F8 02 68 06 68 07" + repeated(" 15", 40), 32, 0x0106 + 32, 3 + 32 + 1},
        {"in an IDLE", "F8 02 68 06 68 07 00", 0, 0x0107, 3 + 1 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TimedBoard timed(c.program.c_str());
        timed.state.counter.CIE = 1;
        const RunResult result = timed.run(kNoLimit, /*extended=*/true);
        EXPECT_EQ(result.executed, c.executed);
        EXPECT_EQ(timed.state.R[5], c.r5);
        EXPECT_EQ(timed.state.R[3], c.r3);
        EXPECT_EQ(timed.state.P, 1);
        EXPECT_EQ(timed.state.T, 0x03);
        EXPECT_EQ(timed.state.counter.CIL, 1);
        EXPECT_EQ(timed.bus.cycles, 72 + 1 + 2);
        EXPECT_TRUE(timed.bus.idle);
    }

    const struct {
        const char* program;
        uint64_t cycles;
    } cycles[] = {
        {"68 25 01 10", 5}, {"68 86 01 10", 10}, {"68 96", 8}, {"68 76", 6}, {"68 F4", 4},
        {"68 FC 01", 4},    {"68 00", 3},        {"68 3E 10", 3}, {"68 B5", 4}, {"C4", 3}, {"15", 2},
        {"68 02", 3},       {"68 03", 3},        {"68 04", 3},    {"68 05", 3}, {"68 07", 3},
    };
    for (const auto& c : cycles) {
        TimedBoard timed(c.program);
        timed.run(1, /*extended=*/true);
        EXPECT_EQ(timed.bus.cycles, c.cycles) << c.program;
    }
}

// A pulse-width count that an IDLE waits on: EF1 is asserted from cycle 0 to
// 100; SPM1 starts at 3, the IDLE's two cycles count 10 to 0e, and fourteen
// more pass 01 at cycle 19, where the interrupt wakes the IDLE.
TEST(BoardClock1805, AnIdleWaitsOnAPulseWidthCount)
{
    TimedBoard timed("68 04 00");
    timed.state.counter.CNTR = 0x10;
    timed.state.counter.CIE = 1;
    timed.device.pulses(0, 100, 1000);
    timed.run(kNoLimit, /*extended=*/true);
    EXPECT_EQ(timed.state.P, 1);
    EXPECT_EQ(timed.state.counter.CIL, 1);
    EXPECT_EQ(timed.bus.cycles, 19 + 1 + 2);
}

// An IDLE with the counter stopped sleeps, though its interrupt is enabled; with
// the timer running and its interrupt held off, the clock goes on underflow by
// underflow (every 256 counts) to the device's interrupt far ahead.
TEST(BoardClock1805, AnIdleTheCounterCannotWake)
{
    TimedBoard stopped("00");
    stopped.state.counter.CIE = 1;
    EXPECT_EQ(stopped.run(kNoLimit, /*extended=*/true).executed, 1u);
    EXPECT_TRUE(stopped.bus.idle);
    EXPECT_EQ(stopped.bus.cycles, 2u);

    TimedBoard held_off("68 07 00");  // STM; IDLE
    held_off.state.counter.XIE = 1;
    held_off.device.interrupt_at(1000005);
    held_off.run(kNoLimit, /*extended=*/true);
    EXPECT_EQ(held_off.state.P, 1);
    EXPECT_EQ(held_off.bus.cycles, 1000005 + 1 + 2);
    // 1000002 cycles from the STM: 31250 counts and 2 cycles, from 00 down
    EXPECT_EQ(held_off.state.counter.CNTR, static_cast<uint8_t>(0x100 - 31250 % 256));
    EXPECT_EQ(held_off.state.counter.prescaler, 2 + 3);  // and the interrupt's and the IDLE's at 0300
}

// XIE gates the external interrupt, which BXI tests whatever the enables say;
// the counter counts EF1's pulses from the test device.
TEST(BoardClock1805, TheLinesUnderTheExtendedSet)
{
    for (const uint8_t xie : {0, 1}) {
        TimedBoard timed("15 15 15 15 15 15 15 15");
        timed.state.counter.XIE = xie;
        timed.device.interrupt_at(4);
        timed.run(8, /*extended=*/true);
        EXPECT_EQ(timed.state.R[5], xie ? 2 : 8);
        EXPECT_EQ(timed.state.P, xie ? 1 : 3);
    }
    for (const bool raised : {false, true}) {
        TimedBoard timed("15 68 3F 10 00");  // the line is raised as the INC ends
        load_bytes(*timed.memory, 0x0110, "00");
        timed.state.IE = 0;
        if (raised)
            timed.device.interrupt_at(0);
        timed.run(kNoLimit, /*extended=*/true);
        EXPECT_EQ(timed.state.R[3], raised ? 0x0110 : 0x0104);
    }

    // SCM1, then 30 INCs: 62 cycles with pulses at 10, 20, ... 60
    TimedBoard timed(("68 05" + repeated(" 15", 30)).c_str());
    timed.state.counter.CNTR = 0x10;
    timed.device.pulses(10, 3, 10);
    timed.run(31, /*extended=*/true);
    EXPECT_EQ(timed.state.counter.CNTR, 0x10 - 6);
}

// 68 C0 01 10 on an 1802 board is INP 0, which stores ff at M(R(X)), then
// LBR 0110; on an 1805, RLDI R0,0110, and the program goes on.
TEST(BoardClock1805, TheCpuProbeTellsTheChips)
{
    for (const bool extended : {false, true}) {
        TimedBoard timed("68 C0 01 10 00");
        timed.run(kNoLimit, extended);
        EXPECT_EQ(timed.state.R[3], extended ? 0x0104 : 0x0110);
        EXPECT_EQ((*timed.memory)[0x0200], extended ? 0x11 : 0xFF);
        EXPECT_EQ(timed.state.R[0], extended ? 0x0110 : 0x0200);
    }
}

// 1.6 MHz at 1000 baud: a bit is 200 machine cycles, a character 2200, and
// 100 ms 20000.
constexpr SerialSettings kSerial{3, false, false, 1000, 1600000};
constexpr uint64_t kBit = 200;

// The program sends a byte from start: start bit, 8 data bits, the stop bits;
// late_bit's edge (8 for the stop bit's) comes late_by cycles late.
void send(SerialLine& line, uint8_t byte, uint64_t start, int late_bit = -1, uint64_t late_by = 0)
{
    line.q_changed(false, start);
    for (unsigned bit = 0; bit < 8; ++bit)
        line.q_changed((byte >> bit) & 1, start + (bit + 1) * kBit + (int(bit) == late_bit ? late_by : 0));
    line.q_changed(true, start + 9 * kBit + (late_bit == 8 ? late_by : 0));
}

TEST(SerialLine, DecodesWhatTheProgramSendsAtItsTimingEdges)
{
    const struct {
        const char* name;
        uint8_t byte;
        int late_bit;      // whose edge comes late_by cycles late; 8 is the stop bit
        uint64_t late_by;
        std::string received;
        unsigned framing_errors;
    } cases[] = {
        {"on time", 0x41, -1, 0, "A", 0},
        {"an edge exactly at the sample, 1.5 bits in, is seen", 0x01, 0, 100, "\x01", 0},
        {"an edge a cycle after it is not", 0x01, 0, 101, std::string(1, '\0'), 0},
        {"the last data bit's edge at its sample", 0x80, 7, 100, "\x80", 0},
        {"a stop bit that comes at its sample", 0x41, 8, 100, "A", 0},
        {"a stop bit a cycle late is missing", 0x41, 8, 101, "A", 1},
    };
    for (const auto& c : cases) {
        std::string received;
        SerialLine line(kSerial, [&received](uint8_t byte) { received += static_cast<char>(byte); });
        line.reset(0, true);
        send(line, c.byte, 11 * kBit, c.late_bit, c.late_by);
        line.advance(30 * kBit);
        EXPECT_EQ(received, c.received) << c.name;
        EXPECT_EQ(line.framing_errors(), c.framing_errors) << c.name;
    }
    // Advancing to a cycle takes the sample due at it: the stop bit's, 9.5 bits in.
    std::string received;
    SerialLine line(kSerial, [&received](uint8_t byte) { received += static_cast<char>(byte); });
    line.reset(0, true);
    send(line, 'A', 11 * kBit);
    line.advance(11 * kBit + 19 * kBit / 2 - 1);
    EXPECT_EQ(received, "");
    line.advance(11 * kBit + 19 * kBit / 2);
    EXPECT_EQ(received, "A");
}

// As a terminal's UART: the first edge from mark to space starts a character,
// however soon it follows a reset or the line's return to mark.
TEST(SerialLine, AnEdgeFromMarkStartsACharacter)
{
    std::string received;
    const auto receive = [&received](uint8_t byte) { received += static_cast<char>(byte); };
    SerialLine at_once(kSerial, receive);
    at_once.reset(0, true);  // Q at mark from the reset on
    send(at_once, 'H', 5);   // sent at once, as a monitor does right after it times the baud
    send(at_once, 'i', 5 + 10 * kBit);  // one stop bit only, then the next start
    at_once.advance(40 * kBit);
    EXPECT_EQ(received, "Hi");
    EXPECT_EQ(at_once.framing_errors(), 0u);

    received.clear();
    SerialLine resting(kSerial, receive);
    resting.reset(0, false);        // Q at space after a reset prints nothing
    resting.advance(40 * kBit);
    resting.q_changed(true, 40 * kBit);
    send(resting, 'O', 40 * kBit + 1);  // a cycle after Q comes to mark
    resting.advance(60 * kBit);
    EXPECT_EQ(received, "O");

    // A stop bit found at space is a framing error; the next character needs
    // Q back at mark, so that a line held at space sends nothing more.
    received.clear();
    SerialLine broken(kSerial, receive);
    broken.reset(0, true);
    broken.q_changed(false, 10 * kBit);  // start, then space for good: 00 with no stop bit
    broken.advance(40 * kBit);
    EXPECT_EQ(received, std::string(1, '\0'));
    EXPECT_EQ(broken.framing_errors(), 1u);
    broken.q_changed(true, 40 * kBit);
    send(broken, 'K', 41 * kBit);
    broken.advance(60 * kBit);
    EXPECT_EQ(received, std::string(1, '\0') + "K");
    EXPECT_EQ(broken.framing_errors(), 1u);

    const SerialSettings inverted{3, false, true, 1000, 1600000};  // Q = 0 is mark
    received.clear();
    SerialLine inverted_line(inverted, receive);
    inverted_line.reset(0, false);
    inverted_line.q_changed(true, 11 * kBit);  // the start bit
    for (unsigned bit = 0; bit < 8; ++bit)
        inverted_line.q_changed(!(('!' >> bit) & 1), (12 + bit) * kBit);
    inverted_line.q_changed(false, 20 * kBit);
    inverted_line.advance(30 * kBit);
    EXPECT_EQ(received, "!");
}

// The line is quiet a given time after the last character ended: a key's end
// on the receive line, or the stop bit of what the program sent, sampled 9.5
// bits after its start.
TEST(SerialLine, QuietFromTheEndOfTheLastCharacter)
{
    SerialLine line(kSerial, [](uint8_t) {});
    line.reset(0, true);
    EXPECT_EQ(line.quiet_from(1000), 1000u);
    line.q_changed(false, 5000);  // a start bit: its stop bit is sampled at 5000 + 1900
    EXPECT_EQ(line.quiet_from(1000), 5000 + 1900 + 1000u);
    line.advance(6000);
    EXPECT_EQ(line.quiet_from(1000), 5000 + 1900 + 1000u);
    line.queue_key('A');
    EXPECT_EQ(line.quiet_from(1000), kNever);
    EXPECT_TRUE(line.ef(3, 30000));  // the key starts: 2200 cycles to its stop bits' end
    EXPECT_EQ(line.quiet_from(1000), 30000 + 2200 + 1000u);
    EXPECT_EQ(line.last_tested(), 30000u);
    EXPECT_EQ(line.take_unsent_keys().size(), 0u);
    line.queue_key('B');
    line.queue_break();
    const auto unsent = line.take_unsent_keys();
    ASSERT_EQ(unsent.size(), 2u);
    EXPECT_EQ(unsent[0], 'B');
    EXPECT_EQ(unsent[1], std::nullopt);
    EXPECT_EQ(line.keys_waiting(), 0u);
}

TEST(SerialLine, KeysWaitUntilTheProgramIsReady)
{
    SerialLine line(kSerial, [](uint8_t) {});
    line.reset(0, true);
    line.queue_key('A');  // 0x41: 1 0 0 0 0 0 1 0 after the start bit
    EXPECT_FALSE(line.ef(3, 19999));  // mark: not 100 ms yet
    EXPECT_TRUE(line.ef(3, 20000));   // the start bit begins at this test
    EXPECT_TRUE(line.ef(3, 20000 + kBit - 1));
    EXPECT_FALSE(line.ef(3, 20000 + kBit));       // bit 0: 1, mark
    EXPECT_TRUE(line.ef(3, 20000 + 2 * kBit));    // bit 1: 0, space
    EXPECT_FALSE(line.ef(3, 20000 + 7 * kBit));   // bit 6: 1
    EXPECT_TRUE(line.ef(3, 20000 + 9 * kBit - 1));  // bit 7: 0
    EXPECT_FALSE(line.ef(3, 20000 + 9 * kBit));   // stop bits
    EXPECT_FALSE(line.keys_waiting());

    // The next key waits for two character times of mark after this one, and
    // after the program's last change of Q.
    line.queue_key(0x00);
    const uint64_t ended = 20000 + 11 * kBit;
    EXPECT_FALSE(line.ef(3, ended + 2 * 11 * kBit - 1));
    line.q_changed(false, ended + 2 * 11 * kBit - 1);
    EXPECT_FALSE(line.ef(3, ended + 4 * 11 * kBit - 2));
    EXPECT_TRUE(line.ef(3, ended + 4 * 11 * kBit - 1));

    // A reset cuts a key short, which goes again; one that has just ended does not.
    SerialLine cut(kSerial, [](uint8_t) {});
    cut.reset(0, true);
    cut.queue_key('A');
    EXPECT_TRUE(cut.ef(3, 20000));
    cut.reset(20000 + 11 * kBit - 1, true);
    EXPECT_TRUE(cut.keys_waiting());
    EXPECT_TRUE(cut.ef(3, 100000));
    cut.reset(100000 + 11 * kBit, true);
    EXPECT_FALSE(cut.keys_waiting());

    SerialLine breaking(SerialSettings{3, true, false, 1000, 1600000}, [](uint8_t) {});  // flag 1 at mark
    breaking.reset(0, true);
    breaking.queue_break();
    EXPECT_TRUE(breaking.ef(3, 19999));
    EXPECT_FALSE(breaking.ef(3, 20000));
    EXPECT_FALSE(breaking.ef(3, 20000 + 22 * kBit - 1));
    EXPECT_TRUE(breaking.ef(3, 20000 + 22 * kBit));
    EXPECT_EQ(breaking.quiet_from(100), 20000 + 22 * kBit + 100);
}

// A board's time against the wall's: a machine cycle is 8 clocks, so at 1.79
// MHz 10 ms is 2237.5 cycles (2237), and 223750 cycles are a second at --speed
// 1, half a second at 2.
TEST(Boards, TimeOnTheBoardsClock)
{
    BoardOptions options{*board_named("mcard")};
    ASSERT_EQ(options.board.clock_hz, 1790000u);
    EXPECT_EQ(cycles_in(options, 0.01), 2237u);
    EXPECT_DOUBLE_EQ(wall_time(options, 223750, 1).count(), 1.0);
    EXPECT_DOUBLE_EQ(wall_time(options, 223750, 2).count(), 0.5);
}

}  // namespace
}  // namespace cosmac::testing
