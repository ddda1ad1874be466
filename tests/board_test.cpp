// Board mode: the datasheet's instruction set on a board's bus, the boards'
// resets and memory maps, and the bit-banged serial line at its timing edges.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.hpp"
#include "board/serial_line.hpp"
#include "cpu/execution.hpp"
#include "machine_text.hpp"

namespace cosmac::testing {
namespace {

// Devices that log what the processor asks of them, with the machine cycle.
// EF2 and EF3 are set; the switches on port 4 read 3C; no other port has a device.
class ScriptedDevices : public BoardDevices {
public:
    void output_port(unsigned port, uint8_t value, uint64_t cycle) override
    {
        note("OUT ", port, cycle, value);
    }
    std::optional<uint8_t> input_port(unsigned port, uint64_t cycle) override
    {
        note("INP ", port, cycle);
        return port == 4 ? std::optional<uint8_t>(0x3C) : std::nullopt;
    }
    bool ef(unsigned line, uint64_t cycle) override
    {
        note("EF", line, cycle);
        return line == 2 || line == 3;
    }
    void q_changed(bool q, uint64_t cycle) override { note("Q", q, cycle); }
    bool poll(uint64_t) override { return false; }

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
};

WritableMap lower_half_writable()
{
    WritableMap writable{};
    std::fill(writable.begin(), writable.begin() + 0x8000, true);
    return writable;
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
    const WritableMap writable = lower_half_writable();
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

        ScriptedDevices devices;
        BoardBus bus{&devices, 10};
        bus.interrupt_line = c.interrupt;
        BoardRun policy{&writable};
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
        Board board(*board_named(c.board), [](uint8_t) {}, 0);
        MachineState state;
        state.D = 0x12;
        state.R[1] = 0x3456;
        state.P = state.X = state.N = state.I = 5;
        state.Q = 1;
        BoardBus bus{&board};
        board.reset(state, bus);
        MachineState want;
        want.D = 0x12;
        want.R[1] = 0x3456;
        want.R[0] = c.r0;
        want.IE = 1;
        EXPECT_EQ(state, want) << c.board;
        EXPECT_EQ(bus.cycles, c.cycles) << c.board;
        EXPECT_EQ(bus.jump_on_reset, c.jump_on_reset) << c.board;
    }

    // Jump-on-reset reads the ROM at 8000 + (address & 7fff) until an access with A15 set.
    Board board(*board_named("elf2k"), [](uint8_t) {}, 0);
    auto m = std::make_unique<Memory>();
    (*m)[0x8001] = 0xAB;
    (*m)[0x0001] = 0xCD;
    BoardBus bus{&board};
    bus.jump_on_reset = true;
    EXPECT_EQ(bus.read(*m, 0x0001), 0xAB);
    EXPECT_EQ(bus.read(*m, 0x8001), 0xAB);
    EXPECT_EQ(bus.read(*m, 0x0001), 0xCD);
    bus.jump_on_reset = true;
    bus.touch(0x7FFF);
    EXPECT_TRUE(bus.jump_on_reset);
    bus.touch(0x8000);
    EXPECT_FALSE(bus.jump_on_reset);
}

TEST(BoardChip, ARamProbeFindsTheMembershipCardsRam)
{
    // R1 = ffff; at each page's last byte, store ff and 00 and read them back;
    // the first page that keeps both is RAM.
    const char* probe = "F8 FF B1 A1 F8 FF 51 01 FB FF 3A 12 F8 00 51 01 32 18 91 FF 01 B1 30 04 00";
    Board board(*board_named("mcard"), [](uint8_t) {}, 0);
    auto m = std::make_unique<Memory>();
    load_bytes(*m, 0, probe);
    std::fill(m->begin() + 0x8000, m->end(), uint8_t{0xFF});  // a blank ROM
    MachineState state;
    BoardBus bus{&board};
    BoardRun policy{&board.writable(), 100000};
    run_on(state, *m, bus, policy);
    EXPECT_TRUE(bus.idle);
    EXPECT_EQ(state.R[0], 0x0018);
    EXPECT_EQ(state.R[1], 0x7FFF);
}

TEST(Boards, FrontPanelSwitchesCopiedToTheLeds)
{
    // SEX 2; loop: INP 4; OUT 4; DEC 2; B4 in; BR loop; in: IDLE
    Board board(*board_named("mcard"), [](uint8_t) {}, 0);
    auto m = std::make_unique<Memory>();
    load_bytes(*m, 0, "E2 6C 64 22 37 08 30 01 00");
    MachineState state;
    state.R[2] = 0x0100;
    board.switches = 0x5A;
    BoardBus bus{&board};
    BoardRun policy{&board.writable(), 5};
    run_on(state, *m, bus, policy);
    EXPECT_EQ(board.leds, 0x5A);
    EXPECT_EQ((*m)[0x0100], 0x5A);
    EXPECT_EQ(state.R[0], 0x0006);  // IN is up: B4 fell through
    board.in_button = true;
    policy.limit = 100;
    run_on(state, *m, bus, policy);
    EXPECT_TRUE(bus.idle);
    EXPECT_EQ(state.R[0], 0x0008);
    EXPECT_EQ(board.input_port(5, 0), std::nullopt);
    EXPECT_FALSE(board.ef(1, 0));
    board.in_button = false;
    board.press_in(1000);  // for 100 ms: 22375 machine cycles at 1.79 MHz
    EXPECT_TRUE(board.ef(4, 1000 + 22374));
    EXPECT_FALSE(board.ef(4, 1000 + 22375));
}

TEST(Boards, MapsAndUnmappedAddresses)
{
    BoardModel model = *board_named("elf");
    model.ram = {{0x0000, 0x0FFF}};
    model.rom = {{0xF000, 0xFFFF}};
    Board board(model, [](uint8_t) {}, 0);
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
    EXPECT_TRUE(board.writable()[0x0FFF]);
    EXPECT_FALSE(board.writable()[0x1000]);
    EXPECT_FALSE(board.writable()[0xF000]);
    EXPECT_TRUE(board.in_rom(0xF000));
    EXPECT_FALSE(board.in_rom(0xEFFF));

    // Memory's first and last addresses outside the map.
    model.ram = {{0x0001, 0xFFFE}};
    model.rom = {};
    Board edges(model, [](uint8_t) {}, 0);
    (*m)[0x0000] = 5;
    (*m)[0xFFFF] = 6;
    EXPECT_EQ(edges.clear_unmapped(*m), 0x0000);
    EXPECT_EQ((*m)[0x0000], 0xFF);
    EXPECT_EQ((*m)[0xFFFF], 0xFF);
    EXPECT_FALSE(edges.writable()[0x0000]);
    EXPECT_TRUE(edges.writable()[0x0001]);
    EXPECT_TRUE(edges.writable()[0xFFFE]);
    EXPECT_FALSE(edges.writable()[0xFFFF]);
    for (const char* name : {"mcard", "elf2k", "picoelf"}) {  // RAM to 7fff, ROM from 8000 to ffff
        const Board half(*board_named(name), [](uint8_t) {}, 0);
        EXPECT_TRUE(half.writable()[0x0000] && half.writable()[0x7FFF]) << name;
        EXPECT_FALSE(half.writable()[0x8000] || half.writable()[0xFFFF]) << name;
        EXPECT_TRUE(half.in_rom(0x8000) && half.in_rom(0xFFFF) && !half.in_rom(0x7FFF)) << name;
    }
    const Board elf(*board_named("elf"), [](uint8_t) {}, 0);  // RAM everywhere
    EXPECT_TRUE(elf.writable()[0x0000] && elf.writable()[0xFFFF]);
    EXPECT_EQ(board_names(), "mcard, elf2k, picoelf, elf");
    EXPECT_EQ(board_named("kim"), std::nullopt);
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

TEST(SerialLine, ListensOnceQHasRestedAtMarkAndTakesCharactersBackToBack)
{
    std::string received;
    SerialLine line(kSerial, [&received](uint8_t byte) { received += static_cast<char>(byte); });
    line.reset(0, false);                  // Q at space after a reset
    line.q_changed(true, 100);
    send(line, 'x', 100 + 11 * kBit - 1);  // a cycle short of a character time at mark: not heard
    line.advance(40 * kBit);
    EXPECT_EQ(received, "");
    send(line, 'O', 40 * kBit);             // heard: the line is at mark by then
    send(line, 'K', 50 * kBit);             // one stop bit only, then the next start
    line.advance(70 * kBit);
    EXPECT_EQ(received, "OK");
    EXPECT_EQ(line.framing_errors(), 0u);

    const SerialSettings inverted{3, false, true, 1000, 1600000};  // Q = 0 is mark
    SerialLine inverted_line(inverted, [&received](uint8_t byte) { received += static_cast<char>(byte); });
    inverted_line.reset(0, false);
    inverted_line.q_changed(true, 11 * kBit);  // the start bit
    for (unsigned bit = 0; bit < 8; ++bit)
        inverted_line.q_changed(!(('!' >> bit) & 1), (12 + bit) * kBit);
    inverted_line.q_changed(false, 20 * kBit);
    inverted_line.advance(30 * kBit);
    EXPECT_EQ(received, "OK!");
}

TEST(SerialLine, KeysWaitUntilTheProgramIsReady)
{
    SerialLine line(kSerial, [](uint8_t) {});
    line.reset(0, true);
    line.queue_key('A');  // 0x41: 1 0 0 0 0 0 1 0 after the start bit
    EXPECT_FALSE(line.ef(19999));  // mark: not 100 ms yet
    EXPECT_TRUE(line.ef(20000));   // the start bit begins at this test
    EXPECT_TRUE(line.ef(20000 + kBit - 1));
    EXPECT_FALSE(line.ef(20000 + kBit));       // bit 0: 1, mark
    EXPECT_TRUE(line.ef(20000 + 2 * kBit));    // bit 1: 0, space
    EXPECT_FALSE(line.ef(20000 + 7 * kBit));   // bit 6: 1
    EXPECT_TRUE(line.ef(20000 + 9 * kBit - 1));  // bit 7: 0
    EXPECT_FALSE(line.ef(20000 + 9 * kBit));   // stop bits
    EXPECT_FALSE(line.keys_waiting());

    // The next key waits for two character times of mark after this one, and
    // after the program's last change of Q.
    line.queue_key(0x00);
    const uint64_t ended = 20000 + 11 * kBit;
    EXPECT_FALSE(line.ef(ended + 2 * 11 * kBit - 1));
    line.q_changed(false, ended + 2 * 11 * kBit - 1);
    EXPECT_FALSE(line.ef(ended + 4 * 11 * kBit - 2));
    EXPECT_TRUE(line.ef(ended + 4 * 11 * kBit - 1));

    // A reset cuts a key short, which goes again; one that has just ended does not.
    SerialLine cut(kSerial, [](uint8_t) {});
    cut.reset(0, true);
    cut.queue_key('A');
    EXPECT_TRUE(cut.ef(20000));
    cut.reset(20000 + 11 * kBit - 1, true);
    EXPECT_TRUE(cut.keys_waiting());
    EXPECT_TRUE(cut.ef(100000));
    cut.reset(100000 + 11 * kBit, true);
    EXPECT_FALSE(cut.keys_waiting());

    SerialLine breaking(SerialSettings{3, true, false, 1000, 1600000}, [](uint8_t) {});  // flag 1 at mark
    breaking.reset(0, true);
    breaking.queue_break();
    EXPECT_TRUE(breaking.ef(19999));
    EXPECT_FALSE(breaking.ef(20000));
    EXPECT_FALSE(breaking.ef(20000 + 22 * kBit - 1));
    EXPECT_TRUE(breaking.ef(20000 + 22 * kBit));
    EXPECT_FALSE(breaking.quiet(20000 + 22 * kBit + 99, 100));
    EXPECT_TRUE(breaking.quiet(20000 + 22 * kBit + 100, 100));
}

}  // namespace
}  // namespace cosmac::testing
