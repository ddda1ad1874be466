// The debugger's history against every opcode: stepping back must undo exactly.
#include "debug/debugger.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "board/board.hpp"
#include "cpu/execution.hpp"
#include "machine_text.hpp"
#include "test_device.hpp"
#include "monitor/debug_text.hpp"
#include "debug/call_stack.hpp"
#include "debug/source_lines.hpp"
#include "debug/stepping.hpp"
#include "debug/symbols.hpp"
#include "scripted_io.hpp"

namespace cosmac::testing {
namespace {

// On a board too, where an interrupt may follow any instruction, DMA cycles
// too, the branches read the board's EF lines, and stores into ROM are ignored;
// and on the extended set, every 68 xx as well, from counters in any mode.
TEST(Debugger, SteppingBackUndoesEveryOpcodeExactly)
{
    std::mt19937 random(1802);
    const auto memory = std::make_unique<Memory>();
    const auto original = std::make_unique<Memory>();
    for (uint8_t& byte : *memory)
        byte = static_cast<uint8_t>(random());
    BoardDescription description = *board_named("mcard");
    description.devices.push_back({.name = "test device", .make = make_test_device});
    for (const auto& [on_board, extended] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        Debugger debugger{ProtectedWindow{}, extended};
        Board board(description);
        TestDevice& device = *board.device<TestDevice>();
        BoardBus bus{.devices = &board, .map = &board.map()};
        // 0-ff, then on the extended set 68 00-68 ff
        for (unsigned code = 0; code < (extended ? 512u : 256u); ++code) {
            const unsigned opcode = code < 256 ? code : kExtendedPrefix;
            for (int trial = 0; trial < 8; ++trial) {
                MachineState state;
                for (uint16_t& r : state.R)
                    r = static_cast<uint16_t>(random());
                state.D = static_cast<uint8_t>(random());
                state.T = static_cast<uint8_t>(random());
                state.EF4 = static_cast<uint8_t>(random() % 3);
                for (uint8_t* ef : {&state.EF1, &state.EF2, &state.EF3})  // a board's lines are 0 or 1
                    *ef = static_cast<uint8_t>(random() % (on_board ? 2 : 256));
                state.P = random() & 0xF, state.X = random() & 0xF, state.N = random() & 0xF, state.I = random() & 0xF;
                state.DF = random() & 1, state.IE = random() & 1, state.Q = random() & 1;
                if (trial % 4 == 3)  // DMA's R0 as the program counter, the data pointer, or both
                    state.P = state.X = 0;
                if (extended) {
                    state.counter = {.CNTR = static_cast<uint8_t>(random() % 3),  // 00-02: near an underflow
                                     .CH = static_cast<uint8_t>(random()),
                                     .prescaler = static_cast<uint8_t>(random() % 32),
                                     .mode = static_cast<CounterMode>(random() % 6),
                                     .CIL = static_cast<uint8_t>(random() & 1),
                                     .CIE = static_cast<uint8_t>(random() & 1),
                                     .XIE = static_cast<uint8_t>(random() & 1),
                                     .ETQ = static_cast<uint8_t>(random() & 1),
                                     .ef_seen = static_cast<uint8_t>(random() & 1)};
                }
                (*memory)[state.R[state.P]] = static_cast<uint8_t>(opcode);
                if (code >= 256)
                    (*memory)[static_cast<uint16_t>(state.R[state.P] + 1)] = static_cast<uint8_t>(code);
                *original = *memory;
                const MachineState before = state;
                std::size_t records = 1;
                if (on_board) {
                    board.hold_interrupt(trial % 2);
                    for (unsigned line = 1; line <= 4; ++line)
                        board.hold_ef(line, random() & 1);
                    if (trial >= 4) {  // DMA after the instruction
                        records += 1 + trial % 2;
                        device.dma_at(bus.cycles, static_cast<unsigned>(records - 1), random() & 1);
                    }
                    debugger.step(state, *memory, bus);
                } else {
                    ScriptedIo io;
                    io.replies = {{static_cast<uint8_t>(random()), false}};
                    io.keys = {trial % 2 ? 0x03 : 'a'};
                    debugger.step(state, *memory, io);
                }
                const std::vector<HistoryStep> steps = debugger.recent(records, state);
                ASSERT_EQ(steps.size(), records);
                EXPECT_EQ(steps.front().before, before) << std::hex << code << " " << on_board << extended;
                EXPECT_EQ(steps.back().after, state) << std::hex << code << " " << on_board << extended;
                EXPECT_TRUE(steps.front().record->is_instruction());
                EXPECT_EQ(debugger.step_back(state, *memory, 1), 1u);
                EXPECT_EQ(state, before) << std::hex << code << " " << on_board << extended;
                EXPECT_TRUE(*memory == *original) << std::hex << code << " " << on_board << extended;
            }
        }
    }
}

TEST(Debugger, SteppingBackStopsAtItsCountOrAtTheFirstStep)
{
    Debugger debugger{ProtectedWindow{}};
    const auto memory = std::make_unique<Memory>();
    std::fill(memory->begin(), memory->begin() + 3, uint8_t{0x11});  // INC R1 three times
    MachineState state;
    ScriptedIo io;
    debugger.run(state, *memory, io, RunGoal::Count, 3);
    ASSERT_EQ(state.R[1], 3);
    EXPECT_EQ(debugger.step_back(state, *memory, 2), 2u);
    EXPECT_EQ(state.R[1], 1);
    const MachineState stepped_back = state;
    state.R[5] = 0x55;  // changed by hand after the step back
    EXPECT_EQ(debugger.recent(1, state).at(0).after, stepped_back);  // the one left ends where the step back left it
    state.R[5] = 0;
    EXPECT_EQ(debugger.step_back(state, *memory, 5), 1u);
    EXPECT_EQ(state, MachineState{});
    EXPECT_EQ(debugger.step_back(state, *memory, 1), 0u);
}

// An INP whose reply is cut off, by Control-C or by the end of input, did not
// happen: no history record, not counted, and the machine as it was.
TEST(Debugger, ACancelledInputLeavesNoRecord)
{
    for (const Reply cut_off : {Reply{std::nullopt, true, true}, Reply{std::nullopt, true, false}}) {
        Debugger debugger{ProtectedWindow{}};
        const auto memory = std::make_unique<Memory>();
        load_bytes(*memory, 0, "11 6A");  // INC R1; INP 2
        MachineState state;
        ScriptedIo io;
        io.replies = {cut_off};
        const DebugOutcome outcome = debugger.run(state, *memory, io, RunGoal::Go);
        EXPECT_EQ(outcome.result.executed, 1u);
        EXPECT_TRUE(outcome.result.stopped);
        EXPECT_EQ(state.R[0], 1);
        EXPECT_EQ(state.N, 1);  // INC R1's
        EXPECT_EQ(state.I, 1);
        EXPECT_EQ(debugger.recent(5, state).size(), 1u);
        io.replies = {cut_off};
        const MachineState before = state;
        EXPECT_EQ(debugger.step(state, *memory, io), StepResult::Cancel);
        EXPECT_EQ(state, before);
        EXPECT_EQ(debugger.recent(5, state).size(), 1u);
        EXPECT_EQ((*memory)[0], 0x11);  // M(R(X)) = M(0000) took nothing
    }
}

// A firmware's bit routine (P = E), called by a plain SEP from the main
// program's P (3, or 0 as at reset), calls its delay routine (P = D) the same
// way; each routine's exit SEP sits before its entry, so that the called
// register is left at the entry. A SEP back to the P that called the running
// code is a return, however the registers lie: o in the bit routine runs
// through the delay routine to the SEP back to the main program.
TEST(Debugger, PlainSepCallsAndReturns)
{
    for (const uint8_t main_p : {3, 0}) {
        Debugger debugger{ProtectedWindow{}};
        const auto memory = std::make_unique<Memory>();
        load_bytes(*memory, 0x0100, "DE 7B 00");  // SEP RE; SEQ; IDL
        load_bytes(*memory, 0x0200, "11 DD 11 D0 30 00");  // INC R1; SEP RD; INC R1; SEP R(main_p); BR 00
        (*memory)[0x0203] = static_cast<uint8_t>(0xD0 | main_p);
        load_bytes(*memory, 0x0300, "12 DE 30 00");  // INC R2; SEP RE; BR 00
        MachineState state;
        state.P = main_p;
        state.R[main_p] = 0x0100;
        state.R[0xE] = 0x0200;
        state.R[0xD] = 0x0300;
        ScriptedIo io;
        const struct {
            uint16_t at;
            uint8_t p;
            std::optional<uint8_t> calling_p;
        } steps[] = {{0x0100, main_p, std::nullopt}, {0x0200, 0xE, main_p}, {0x0201, 0xE, main_p},
                     {0x0300, 0xD, 0xE},             {0x0301, 0xD, 0xE},    {0x0202, 0xE, main_p},
                     {0x0203, 0xE, main_p},          {0x0101, main_p, std::nullopt}};
        for (const auto& expected : steps) {
            EXPECT_EQ(state.R[state.P], expected.at);
            EXPECT_EQ(state.P, expected.p) << std::hex << expected.at;
            EXPECT_EQ(debugger.calling_p(), expected.calling_p) << std::hex << expected.at;
            debugger.step(state, *memory, io);
        }
        debugger.step_back(state, *memory, 6);
        ASSERT_EQ(state.R[0xE], 0x0201);
        const DebugOutcome outcome = debugger.run(state, *memory, io, RunGoal::StepOut);
        EXPECT_EQ(outcome.stop, StopKind::Goal);
        EXPECT_EQ(outcome.result.executed, 5u) << int{main_p};
        EXPECT_EQ(state.P, main_p);
        EXPECT_EQ(state.R[main_p], 0x0101);
    }
}

// A condition's words, read against one machine state: R7 = 0010, D = 41,
// DF = 1, R2 = 0200 with M(0200) = 0d, the symbol buffer = 0200; on the 1805
// CNTR = 05, CH = 09 and CIL = 1, where the 1802 has a symbol CH = 0300.
TEST(Debugger, BreakpointConditions)
{
    MachineState state;
    state.R[7] = 0x0010;
    state.D = 0x41;
    state.DF = 1;
    state.R[2] = 0x0200;
    state.counter.CNTR = 0x05;
    state.counter.CH = 0x09;
    state.counter.CIL = 1;
    const auto memory = std::make_unique<Memory>();
    (*memory)[0x0200] = 0x0D;
    SymbolTable symbols;
    symbols.add({{0x0200, "buffer"}, {0x0010, "mark"}, {0x0300, "CH"}});
    const struct {
        const char* text;
        bool holds;
        const char* error;  // where the text is no condition
        bool extended = false;
    } cases[] = {
        {"R7 = 10", true, ""},
        {"r7=10", true, ""},
        {"R7 == 11", false, ""},
        {"D > 40", true, ""},
        {"D >= 42", false, ""},
        {"D >= 41", true, ""},
        {"D < 41", false, ""},
        {"D <= 41", true, ""},
        {"D <> 41", false, ""},
        {"D != 40", true, ""},
        {"df = 1", true, ""},
        {"M(R2) = 0d", true, ""},
        {"M(buffer) = 0d", true, ""},
        {"M(buffer+1) = 0d", false, ""},
        {"buffer = R2", true, ""},
        {"R7 = mark", true, ""},  // a symbol that starts with m
        {"R0 = mark-10", true, ""},  // down to 0000 exactly
        {"R7 = 0 and D = 41 or DF = 1", true, ""},    // and binds tighter
        {"DF = 1 and R7 = 0 or D = 40", false, ""},
        {"R7 = 10 AND M(0200) < 0e", true, ""},
        {"R7 = 10 and", false, "A condition compares two values: R7 = 0, D > 40, M(R2) <> 0d"},
        {"R7", false, "A condition compares two values: R7 = 0, D > 40, M(R2) <> 0d"},
        {"R7 ~ 0", false, "Not a comparison: ~ (=, <>, <, >, <= or >=)"},
        {"R7 =< 0", false, "Not a comparison: =< (=, <>, <, >, <= or >=)"},
        {"R7 = 0 xor D = 1", false, "Not and or or: xor"},
        {"R7 = nowhere", false, "Not a number or symbol: nowhere"},
        {"M(R2 = 0", false, "A condition compares two values: R7 = 0, D > 40, M(R2) <> 0d"},  // M( to the end
        {"M(zz) = 0", false, "Not a number or symbol: zz"},
        {"M(10000) = 0", false, "Too large for an address: 10000 (at most ffff)"},
        {"CNTR = 5 and cil = 1", true, "", true},
        {"CNTR = 5", false, "Not a number or symbol: CNTR"},
        {"CH = 300", true, ""},
        {"CH = 300", false, "", true},
        {"R7 > ch", true, "", true},
        {"ETQ = 0 and CIE = 0 and XIE = 0", true, "", true},
        {"CH = 300 or ETQ = 1", false, "Not a number or symbol: ETQ"},
    };
    for (const auto& c : cases) {
        const ConditionReading reading = parse_condition(c.text, symbols, c.extended);
        EXPECT_EQ(reading.error, c.error) << c.text;
        EXPECT_EQ(reading.condition && holds(*reading.condition, state, *memory), c.holds) << c.text;
    }
    EXPECT_EQ(parse_condition("r7=10  and m(r2)<>0", symbols, false).condition->text, "r7 = 10 and m(r2) <> 0");
}

// FILE:LINE finds a file by its path or the end of it after a /; a line without
// code is taken as the next one with code, with a note.
TEST(Debugger, SourcePlaces)
{
    SourceLines lines;
    lines.add({{"src/main.asm", "lib/io.asm", "other/io.asm"},
               {{0x0100, 2, 0, 3}, {0x0102, 1, 0, 5}, {0x0200, 3, 1, 7}, {0x0300, 1, 2, 7}}});
    const struct {
        const char* typed;
        int address;  // -1: none
        const char* error_or_note;
    } cases[] = {
        {"src/main.asm:3", 0x0100, ""},
        {"main.asm:5", 0x0102, ""},
        {"main.asm:4", 0x0102, "note: main.asm:4 has no code; main.asm:5 is the next line that has"},
        {"ain.asm:3", -1, "No source file ain.asm"},
        {"main.asm:6", -1, "No code at or after main.asm:6"},
        {"io.asm:7", -1, "io.asm names more than one source file"},
        {"lib/io.asm:7", 0x0200, ""},
        {"main.asm:0", -1, "Not a line number: 0"},
        {"main.asm:4294967296", -1, "Not a line number: 4294967296"},
    };
    for (const auto& c : cases) {
        const PlaceReading reading = lines.find(c.typed);
        EXPECT_EQ(reading.place ? int{reading.place->address} : -1, c.address) << c.typed;
        EXPECT_EQ(reading.place ? reading.note : reading.error, c.error_or_note) << c.typed;
    }
    for (const auto& [word, place] : std::initializer_list<std::pair<const char*, bool>>{
             {"a.asm:5", true}, {"a.asm:x5", false}, {":5", false}, {"a.asm:", false}, {"a:b.asm:12", true}})
        EXPECT_EQ(SourceLines::looks_like_place(word), place) << word;
    EXPECT_EQ(lines.at(0x0101)->line, 3u);
    EXPECT_FALSE(lines.at(0x0103));  // past the line's bytes
    EXPECT_EQ(lines.name(*lines.at(0x0300)), "io.asm:7");
}

// What n and step do from each kind of instruction, the program at P = 3 unless
// said; 0100-0102 is one source line of two instructions.
TEST(Debugger, StepPlans)
{
    SourceLines lines;
    lines.add({{"a.asm"}, {{0x0100, 3, 0, 1}}});
    const struct {
        const char* topic;
        uint16_t at;
        uint8_t p;
        uint8_t opcode;
        RunGoal over;
        std::optional<RunGoal> into;
        uint8_t second = 0x11;
        bool extended = false;
    } cases[] = {
        {"a standard call", 0, 3, 0xD4, RunGoal::StepOver, RunGoal::StepIn},
        {"a standard return", 0, 3, 0xD5, RunGoal::StepOut, RunGoal::StepIn},
        {"SEP R4 in the call routine itself", 0, 4, 0xD4, RunGoal::Count, std::nullopt},
        {"a plain SEP call", 0, 3, 0xD6, RunGoal::StepOver, std::nullopt},
        {"a SEP to its own P", 0, 3, 0xD3, RunGoal::Count, std::nullopt},
        {"anything else", 0, 3, 0x11, RunGoal::Count, std::nullopt},
        {"a line of several instructions", 0x0100, 3, 0x11, RunGoal::StepLine, std::nullopt},
        {"inside such a line", 0x0101, 3, 0x11, RunGoal::Count, std::nullopt},
        {"SCAL", 0, 3, 0x68, RunGoal::StepOver, std::nullopt, 0x86, true},
        {"SRET is one step", 0, 3, 0x68, RunGoal::Count, std::nullopt, 0x96, true},
        {"68 86 on an 1802", 0, 3, 0x68, RunGoal::Count, std::nullopt, 0x86, false},
    };
    for (const auto& c : cases) {
        Debugger debugger{ProtectedWindow{}, c.extended};
        const auto memory = std::make_unique<Memory>();
        (*memory)[c.at] = c.opcode;
        (*memory)[c.at + 1] = c.second;
        MachineState state;
        state.P = c.p;
        state.R[c.p] = c.at;
        const StepPlan over = plan_step_over(state, *memory, debugger, lines);
        EXPECT_EQ(over.goal, c.over) << c.topic;
        EXPECT_EQ(over.goal == RunGoal::Count ? over.count : 1u, 1u) << c.topic;
        const auto into = plan_step_into(state, *memory);
        EXPECT_EQ(into ? std::optional<RunGoal>(into->goal) : std::nullopt, c.into) << c.topic;
    }
}

// The call stack read from R6 and the R2 stack. Calls at 0100 (D4 02 00, back
// at 0103) and 0180 (back at 0183); a routine's own byte may lie above a saved R6.
TEST(Debugger, StandardCallReturnsFromTheStack)
{
    struct Case {
        const char* what;
        uint16_t r6, r2;
        std::vector<std::pair<uint16_t, uint8_t>> stack;  // bytes above R2
        CallStackLimits limits;
        std::vector<uint16_t> returns;
        bool extended = false;
    };
    const std::vector<Case> cases = {
        {"R6 not after a Call: no calls", 0x0102, 0x00F0, {{0x00F1, 0x83}, {0x00F2, 0x01}}, {}, {}},
        {"R6 only: the saved R6 points after no Call", 0x0103, 0x00F0, {{0x00F1, 0x00}, {0x00F2, 0x10}}, {}, {0x0103}},
        {"the saved R6 right above R2", 0x0103, 0x00F0, {{0x00F1, 0x83}, {0x00F2, 0x01}}, {}, {0x0103, 0x0183}},
        {"past a pushed byte, then a third", 0x0183, 0x00F0,
         {{0x00F1, 0x55}, {0x00F2, 0x03}, {0x00F3, 0x01}, {0x00F4, 0x83}, {0x00F5, 0x01}}, {}, {0x0183, 0x0103, 0x0183}},
        {"a saved R6 past the gap is not seen", 0x0103, 0x00F0, {{0x00F3, 0x83}, {0x00F4, 0x01}}, {.frames = 16, .gap = 2}, {0x0103}},
        {"at the gap's end it is", 0x0103, 0x00F0, {{0x00F2, 0x83}, {0x00F3, 0x01}}, {.frames = 16, .gap = 2}, {0x0103, 0x0183}},
        {"at most the frames asked for", 0x0103, 0x00F0, {{0x00F1, 0x83}, {0x00F2, 0x01}}, {.frames = 1, .gap = 32}, {0x0103}},
        {"the stack wraps past ffff", 0x0103, 0xFFFF, {{0x0000, 0x83}, {0x0001, 0x01}}, {}, {0x0103, 0x0183}},
        // SCAL R6 at 0200 (back at 0204), which saves R6 high byte first in memory
        {"R6 after a SCAL, which saved it", 0x0204, 0x00F0, {{0x00F1, 0x01}, {0x00F2, 0x83}}, {}, {0x0204, 0x0183}, true},
        {"the call routine saved a SCAL's R6", 0x0103, 0x00F0, {{0x00F1, 0x04}, {0x00F2, 0x02}}, {}, {0x0103, 0x0204},
         true},
        {"SCALs in a row", 0x0204, 0x00F0, {{0x00F1, 0x02}, {0x00F2, 0x04}, {0x00F3, 0x01}, {0x00F4, 0x03}}, {},
         {0x0204, 0x0204, 0x0103}, true},
        {"no SCAL on the 1802", 0x0204, 0x00F0, {}, {}, {}},
    };
    for (const Case& c : cases) {
        Memory memory{};
        for (const uint16_t call : {0x0100, 0x0180})
            memory[call] = kCall;
        memory[0x0200] = 0x68;
        memory[0x0201] = 0x86;
        for (const auto& [address, byte] : c.stack)
            memory[address] = byte;
        MachineState state;
        state.R[6] = c.r6;
        state.R[2] = c.r2;
        const std::vector<uint16_t> returns = standard_call_returns(state, memory, c.limits, c.extended);
        EXPECT_EQ(returns, c.returns) << c.what;
        if (!returns.empty()) {  // where the innermost call stands
            EXPECT_EQ(call_site(memory, returns[0], c.extended), c.r6 == 0x0204 ? 0x0200 : c.r6 - 3) << c.what;
        }
    }
}

// A breakpoint's hits count where its condition holds; after N stops from the
// Nth on, and once clears the breakpoint when it stops a run. The loop at 0000
// counts R1 up from 0 and stops at 0003 on each turn.
TEST(Debugger, BreakpointHitsAfterAndOnce)
{
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0, "11 30 00");  // INC R1; BR 00
    SymbolTable symbols;
    const struct {
        const char* condition;
        uint64_t after;
        bool once;
        uint16_t r1_at_stop;
        uint64_t hits;
        bool kept;
    } cases[] = {
        {"", 1, false, 1, 1, true},       {"", 3, false, 3, 3, true},       {"", 1, true, 1, 1, false},
        {"R1 = 5", 1, false, 5, 1, true}, {"R1 > 2", 2, true, 4, 2, false},
    };
    for (const auto& c : cases) {
        Debugger debugger{ProtectedWindow{}};
        Breakpoint breakpoint{.address = 0x0001, .after = c.after, .once = c.once};
        if (*c.condition)
            breakpoint.condition = parse_condition(c.condition, symbols, false).condition;
        debugger.set_breakpoint(breakpoint);
        MachineState state;
        ScriptedIo io;
        const DebugOutcome outcome = debugger.run(state, *memory, io, RunGoal::Go);
        EXPECT_EQ(outcome.stop, StopKind::Breakpoint) << c.condition;
        EXPECT_EQ(state.R[1], c.r1_at_stop) << c.condition;
        EXPECT_EQ(debugger.breakpoints().contains(1), c.kept) << c.condition;
        if (c.kept) {
            EXPECT_EQ(debugger.breakpoints().at(1).hits, c.hits) << c.condition;
        }
    }
}

// A watched byte's rule: its condition is checked after the storing
// instruction, and hits count where it holds. The program stores 1, 2 and 3 at
// 0100 (R2), each after its LDI, then IDLEs at 0009.
TEST(Debugger, WatchRulesConditionsAndHits)
{
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0, "f8 01 52 f8 02 52 f8 03 52 00");
    SymbolTable symbols;
    const struct {
        const char* condition;
        uint64_t after;
        StopKind stop;
        uint8_t stored;  // the byte at 0100 where the run stops
    } cases[] = {
        {"", 1, StopKind::Watchpoint, 1},       {"", 2, StopKind::Watchpoint, 2},
        {"D = 3", 1, StopKind::Watchpoint, 3},  {"M(R2) > 1", 2, StopKind::Watchpoint, 3},
        {"D = 2", 2, StopKind::None, 3},
    };
    for (const auto& c : cases) {
        Debugger debugger{ProtectedWindow{}};
        std::pair<uint16_t, uint32_t> range;
        ASSERT_TRUE(debugger.toggle_watchpoint(0x0100, 1, range));
        WatchRule rule{.after = c.after};
        if (*c.condition)
            rule.condition = parse_condition(c.condition, symbols, false).condition;
        debugger.set_watch_rule(0x0100, rule);
        MachineState state;
        state.R[2] = 0x0100;
        ScriptedIo io;
        EXPECT_EQ(debugger.run(state, *memory, io, RunGoal::Go).stop, c.stop) << c.condition << " " << c.after;
        EXPECT_EQ((*memory)[0x0100], c.stored) << c.condition << " " << c.after;
        (*memory)[0x0100] = 0;
    }
    // Each range keeps to its own rule: one at 00ff that never holds does not
    // hold back a store into 0100, whose rule is the default one.
    Debugger debugger{ProtectedWindow{}};
    std::pair<uint16_t, uint32_t> range;
    ASSERT_TRUE(debugger.toggle_watchpoint(0x00FF, 1, range));
    ASSERT_TRUE(debugger.toggle_watchpoint(0x0100, 1, range));
    debugger.set_watch_rule(0x00FF, {.condition = parse_condition("D = 99", symbols, false).condition});
    debugger.set_watch_rule(0x0100, {});
    MachineState state;
    state.R[2] = 0x0100;
    ScriptedIo io;
    EXPECT_EQ(debugger.run(state, *memory, io, RunGoal::Go).stop, StopKind::Watchpoint);
    EXPECT_EQ((*memory)[0x0100], 1);
}

// Running back from the IDLE: a watched store stops where its condition held
// after it, with the store undone; a log point stops nothing.
TEST(Debugger, RunningBackKeepsToConditionsAndPassesLogPoints)
{
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0, "f8 01 52 f8 02 52 f8 03 52 00");
    SymbolTable symbols;
    Debugger debugger{ProtectedWindow{}};
    MachineState state;
    state.R[2] = 0x0100;
    ScriptedIo io;
    ASSERT_EQ(debugger.run(state, *memory, io, RunGoal::Go).stop, StopKind::None);
    debugger.set_breakpoint({.address = 0x0003, .log = "a log point"});
    std::pair<uint16_t, uint32_t> range;
    ASSERT_TRUE(debugger.toggle_watchpoint(0x0100, 1, range));
    debugger.set_watch_rule(0x0100, {.condition = parse_condition("M(R2) = 2", symbols, false).condition});
    EXPECT_EQ(debugger.run_back(state, *memory, io).stop, StopKind::Watchpoint);
    EXPECT_EQ(state.R[0], 0x0005);  // the second STR, undone
    EXPECT_EQ((*memory)[0x0100], 1);
    debugger.clear_watchpoints();
    EXPECT_EQ(debugger.run_back(state, *memory, io).stop, StopKind::OldestReached);
}

// With nothing to stop at, running back is interrupted at its first poll.
TEST(Debugger, RunningBackPollsForAnInterrupt)
{
    Debugger debugger{ProtectedWindow{}};
    const auto memory = std::make_unique<Memory>();
    std::fill(memory->begin(), memory->begin() + 5000, uint8_t{0x11});  // INC R1 ...
    MachineState state;
    ScriptedIo io;
    debugger.run(state, *memory, io, RunGoal::Count, 5000);
    io.interrupt = true;
    EXPECT_EQ(debugger.run_back(state, *memory, io).stop, StopKind::Interrupted);
    EXPECT_EQ(state.R[1], 5000 - kInterruptPollInterval);
}

// A run on a board goes on in slices of the board's time: each pauses at the
// first instruction boundary 600 cycles after the last, so that a slice of
// NOPs (3 cycles) holds fewer instructions than one of INCs (2). Counts,
// breakpoints and goals carry across them.
TEST(Debugger, BoardRunsCarryAcrossSlices)
{
    const auto memory = std::make_unique<Memory>();
    std::fill(memory->begin(), memory->begin() + 0x12C, uint8_t{0xC4});  // NOP ...
    std::fill(memory->begin() + 0x12C, memory->begin() + 0x500, uint8_t{0x1A});  // INC RA ...
    (*memory)[0x500] = 0xD0;                                                   // SEP R0
    Board board(*board_named("elf"));
    BoardBus bus{.devices = &board, .map = &board.map()};
    unsigned slices = 0;
    const BoardLink link{bus, [&] {
                             ++slices;
                             bus.pause_at = bus.cycles + 600;
                             return false;
                         }};
    const struct {
        const char* topic;
        RunGoal goal;
        uint64_t count;
        uint16_t breakpoint;
        StopKind stop;
        uint64_t executed;
        uint64_t cycles;
        unsigned slices;
    } cases[] = {
        {"a count of 600, paused at 600 and 1200", RunGoal::Count, 600, 0xFFFF, StopKind::None, 600,
         300 * 3 + 300 * 2, 2},
        {"a breakpoint in the third slice", RunGoal::Go, 0, 0x200, StopKind::Breakpoint, 512, 300 * 3 + 212 * 2, 2},
        {"n over a subroutine longer than a slice", RunGoal::StepOver, 0, 0xFFFF, StopKind::Goal, 0x501,
         2 + 299 * 3 + 980 * 2 + 2, 4},
        {"o at depth 0 ends with a plain SEP that hands the program counter on", RunGoal::StepOut, 0, 0x200,
         StopKind::Goal, 1, 2, 0},
    };
    for (const auto& c : cases) {
        Debugger debugger{ProtectedWindow{}};
        debugger.toggle_breakpoint(c.breakpoint);
        MachineState state;
        if (c.goal == RunGoal::StepOver || c.goal == RunGoal::StepOut) {
            (*memory)[0] = 0xD3;  // SEP R3, to the NOPs from 0001
            state.R[3] = 1;
        }
        slices = 0;
        const uint64_t cycles = bus.cycles;
        bus.pause_at = bus.cycles + 600;
        const DebugOutcome outcome = debugger.run(state, *memory, link, c.goal, c.count);
        EXPECT_EQ(outcome.stop, c.stop) << c.topic;
        EXPECT_EQ(outcome.result.executed, c.executed) << c.topic;
        EXPECT_EQ(outcome.cycles, c.cycles) << c.topic;
        EXPECT_EQ(bus.cycles - cycles, c.cycles) << c.topic;
        EXPECT_EQ(slices, c.slices) << c.topic;
    }
}

// DMA cycles on their own lines: what they moved and R0; a store by DMA stops
// at a watchpoint as an instruction's does.
TEST(Debugger, DmaCyclesInTheHistoryAndAtWatchpoints)
{
    Board board({.name = "timed",
                 .ram = {{0x0000, 0xFFFF}},
                 .rom = {},
                 .clock_hz = 1000000,
                 .reset = ResetKind::AtZero,
                 .devices = {{.name = "test device", .make = make_test_device}}});
    TestDevice& device = *board.device<TestDevice>();
    BoardBus bus{.devices = &board, .map = &board.map()};
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0x0100, "15 15 15 15 15 15");  // INC R5 ...
    (*memory)[0x0200] = 0x11;
    MachineState state;
    state.P = 3;
    state.R[3] = 0x0100;
    state.R[0] = 0x0200;
    Debugger debugger{ProtectedWindow{}};
    const BoardLink link{bus, [] { return true; }};
    device.dma_at(2, 1, /*in=*/false);
    const SymbolTable symbols;
    struct Lines : TraceSink {
        const SymbolTable& symbols;
        std::string text;
        explicit Lines(const SymbolTable& table) : symbols(table) {}
        void traced(const HistoryStep& step) override { text += trace_line(step, symbols); }
    } traced(symbols);
    debugger.run(state, *memory, link, RunGoal::Count, 2, &traced);
    const std::string expected =
        "0100 INC R5         R5=0001\nDMA out             R0=0201 out 11\n0101 INC R5         R5=0002\n";
    EXPECT_EQ(traced.text, expected);  // as the run traced them: the DMA cycle and the INC after it together
    std::string lines;
    for (const HistoryStep& step : debugger.recent(3, state))
        lines += trace_line(step, symbols);
    EXPECT_EQ(lines, expected);  // as y shows them afterwards

    std::pair<uint16_t, uint32_t> watched;
    debugger.toggle_watchpoint(0x0201, 1, watched);
    device.dma_at(bus.cycles + 1, 2, /*in=*/true);
    const DebugOutcome outcome = debugger.run(state, *memory, link, RunGoal::Go);
    EXPECT_EQ(outcome.stop, StopKind::Watchpoint);
    EXPECT_EQ(stop_reason(outcome, symbols, {}), "Watchpoint: 0201 written by DMA in, 00 -> a2");
    EXPECT_EQ(state.R[0], 0x0203);  // the look between instructions ends before the run does
    EXPECT_EQ(debugger.step_back(state, *memory, 1), 1u);  // the INC and both DMA cycles
    EXPECT_EQ(state.R[0], 0x0201);
    EXPECT_EQ((*memory)[0x0201], 0x00);
}

// The console service traces as what it did, with the character where it prints
// (20 to 7e); a GETC's line is wider in bytes than on the screen, and its
// changes still start in their column.
TEST(Debugger, ConsoleServiceTraceLines)
{
    const struct {
        const char* bytes;
        uint8_t d;
        const char* line;
        bool extended = false;
    } cases[] = {
        {"68 01", 0x20, "0000 PUTC 20 ' '\n"},  {"68 01", 0x7E, "0000 PUTC 7e '~'\n"},
        {"68 01", 0x7F, "0000 PUTC 7f\n"},      {"68 01", 0x1F, "0000 PUTC 1f\n"},
        {"68 02", 0x00, "0000 GETC \u2192 41 'A'  D=41\n"},  {"68 07", 0x00, "0000 INVALID\n"},
        // the extended set's service, and what its 68 01 is instead
        {"68 D1", 0x41, "0000 PUTC 41 'A'\n", true},
        {"68 D2", 0x00, "0000 GETC \u2192 41 'A'  D=41\n", true},
        {"68 01", 0x00, "0000 DTC            CNTR=ff\n", true},
    };
    for (const auto& c : cases) {
        Debugger debugger{ProtectedWindow{}, c.extended};
        const auto memory = std::make_unique<Memory>();
        load_bytes(*memory, 0, c.bytes);
        MachineState state;
        state.D = c.d;
        ScriptedIo io;
        io.keys = {'a'};
        debugger.step(state, *memory, io);
        EXPECT_EQ(trace_line(debugger.recent(1, state).at(0), SymbolTable{}), c.line);
    }
}

// On the extended set SCAL and SRET are a call and its return at one P: n over
// the SCAL at 0100 comes back at 0104, after the routine at 0200 pushed and
// popped R7; o from inside it does the same; stepping back undoes it all.
TEST(Debugger, ScalAndSretAreCallsAndReturns)
{
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0x0100, "68 86 02 00 C4");  // SCAL R6,0200; NOP
    load_bytes(*memory, 0x0200, "15 68 A7 68 67 68 96");  // INC R5; RSXD R7; RLXA R7; SRET R6
    MachineState start;
    start.P = 3;
    start.R[3] = 0x0100;
    start.X = 2;
    start.R[2] = 0x01F0;
    start.R[6] = 0xABCD;
    start.R[7] = 0x1234;
    const auto original = std::make_unique<Memory>(*memory);
    ScriptedIo io;

    Debugger debugger{ProtectedWindow{}, true};
    MachineState state = start;
    const StepPlan over = plan_step_over(state, *memory, debugger, SourceLines{});
    ASSERT_EQ(over.goal, RunGoal::StepOver);
    const DebugOutcome outcome = debugger.run(state, *memory, io, over.goal);
    EXPECT_EQ(outcome.stop, StopKind::Goal);
    EXPECT_EQ(outcome.result.executed, 5u);
    EXPECT_EQ(outcome.cycles, 10u + 2 + 5 + 5 + 8);
    EXPECT_EQ(state.R[3], 0x0104);
    EXPECT_EQ(state.R[6], 0xABCD);
    EXPECT_EQ(state.R[2], 0x01F0);
    EXPECT_EQ(state.R[5], 1);
    // The SCAL pushed R6 (cd at 01f0, ab at 01ef), and RSXD R7 below it.
    EXPECT_EQ(trace_line(debugger.recent(5, state).at(0), SymbolTable{}),
              "0100 SCAL R6 0200   R2=01ee R6=0104 M(01f0)=cd M(01ef)=ab\n");
    EXPECT_EQ((*memory)[0x01EE], 0x34);
    EXPECT_EQ((*memory)[0x01ED], 0x12);
    EXPECT_EQ(debugger.step_back(state, *memory, 5), 5u);
    EXPECT_EQ(state, start);
    EXPECT_TRUE(*memory == *original);

    debugger.step(state, *memory, io);  // into the routine
    EXPECT_EQ(state.R[3], 0x0200);
    EXPECT_EQ(debugger.run(state, *memory, io, RunGoal::StepOut).stop, StopKind::Goal);
    EXPECT_EQ(state.R[3], 0x0104);

    // A watched range stops at SCAL's second store, and at DSAV's third.
    EXPECT_EQ(debugger.step_back(state, *memory, 5), 5u);
    std::pair<uint16_t, uint32_t> range;
    debugger.toggle_watchpoint(0x01EF, 1, range);
    DebugOutcome watched = debugger.run(state, *memory, io, RunGoal::Go);
    EXPECT_EQ(stop_reason(watched, SymbolTable{}, {}), "Watchpoint: 01ef written by 0100, 00 -> ab");
    EXPECT_EQ(debugger.step_back(state, *memory, 1), 1u);
    EXPECT_EQ(state, start);
    load_bytes(*memory, 0x0100, "68 76");  // DSAV: T at 01ef, D at 01ee, D shifted at 01ed
    debugger.toggle_watchpoint(0x01EF, 1, range);
    debugger.toggle_watchpoint(0x01ED, 1, range);
    state.D = 0x44;
    watched = debugger.run(state, *memory, io, RunGoal::Go);
    EXPECT_EQ(stop_reason(watched, SymbolTable{}, {}), "Watchpoint: 01ed written by 0100, 00 -> 22");
    EXPECT_EQ(debugger.run_back(state, *memory, io).stop, StopKind::Watchpoint);
    EXPECT_EQ((*memory)[0x01ED], 0x00);
}

// A run stops in front of a 68 xx that the 1805 leaves unused, and the next run
// passes it, as at a breakpoint; on the console machine 68 D1 is its console
// service, and on a board it is unused too.
TEST(Debugger, StopsInFrontOfAnUnusedOpcode)
{
    for (const bool on_board : {false, true}) {
        const auto memory = std::make_unique<Memory>();
        load_bytes(*memory, 0, "C4 68 D1 68 0E 00");  // NOP; 68 D1; 68 0E; IDLE
        Board board(*board_named("elf"));
        BoardBus bus{.devices = &board, .map = &board.map()};
        const BoardLink link{bus, [] { return true; }};
        Debugger debugger{ProtectedWindow{}, true};
        MachineState state;
        ScriptedIo io;
        const auto go = [&] {
            return on_board ? debugger.run(state, *memory, link, RunGoal::Go) : debugger.run(state, *memory, io, RunGoal::Go);
        };
        std::string stops;
        for (DebugOutcome outcome = go(); outcome.stop == StopKind::Unused && stops.size() < 100; outcome = go())
            stops += stop_reason(outcome, SymbolTable{}, {}) + "\n";
        EXPECT_EQ(stops, on_board ? "Unused 1805 opcode at 0001\nUnused 1805 opcode at 0003\n"
                                  : "Unused 1805 opcode at 0003\n");
        EXPECT_EQ(state.R[0], 0x0005) << on_board;
    }
}

// A traced instruction longer than the changes' column keeps all of its text.
TEST(Debugger, TraceLinesKeepLongInstructions)
{
    Debugger debugger{ProtectedWindow{}};
    const auto memory = std::make_unique<Memory>();
    load_bytes(*memory, 0, "D4 12 34");  // CALL 1234
    MachineState state;
    ScriptedIo io;
    debugger.step(state, *memory, io);
    SymbolTable symbols;
    symbols.add({{0x1234, "a_rather_long_name"}});
    EXPECT_EQ(trace_line(debugger.recent(1, state).at(0), symbols), "0000 Call 1234 a_rather_long_name P=4\n");
}

// Ten seconds or less are shown in milliseconds, more in seconds.
TEST(Debugger, CycleLineUnitAtTenSeconds)
{
    EXPECT_EQ(cycles_line(1250000, 1.0), "1250000 machine cycles, 10000.000 ms at 1 MHz\n");
    EXPECT_EQ(cycles_line(1250001, 1.0), "1250001 machine cycles, 10.000 s at 1 MHz\n");
}

}  // namespace
}  // namespace cosmac::testing
