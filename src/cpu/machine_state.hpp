// The simulated RCA CDP1802 and its 64 KB memory.
//
//   R0-RF  sixteen 16-bit registers; P selects the program counter, X the data pointer
//   D      8-bit accumulator          DF  carry / no-borrow flag (0 or 1)
//   B      auxiliary register, shown by the register display, never changed
//   N, I   low and high nibble of the last fetched opcode
//   T      X and P packed by MARK (X in the high nibble)
//   IE     interrupt enable (0 or 1); only a board has an interrupt line
//   Q      the Q output flip-flop (0 or 1)
//   EF1-4  external flag inputs: the console machine asks the user for EF4 and
//          keeps EF1-EF3 as they are set; a board's devices drive all four
//
// Flag tests compare against exactly 1 or exactly 0, so an EF4 of, say, 2 satisfies
// neither B4 nor BN4.
//
// The 1804, 1805 and 1806 add a counter/timer and two interrupt enables (counter).
// The 1802 has none of it: its runs never touch it, and its displays never show it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cosmac {

// Every machine cycle of the 1802 is eight periods of its clock.
inline constexpr unsigned kClocksPerMachineCycle = 8;

// What the counter counts once started; Stopped until then.
enum class CounterMode : uint8_t { Stopped, Timer, Event1, Event2, Pulse1, Pulse2 };

// What the counter is counting: "stopped", "timer", "events on EF1", "pulse on EF2".
constexpr std::string_view counter_mode_name(CounterMode mode)
{
    constexpr std::string_view kNames[] = {"stopped",       "timer",        "events on EF1",
                                           "events on EF2", "pulse on EF1", "pulse on EF2"};
    return kNames[static_cast<std::size_t>(mode)];
}

struct CounterTimer {
    uint8_t CNTR = 0;       // the down counter
    uint8_t CH = 0;         // the holding register it reloads from as it passes 01
    uint8_t prescaler = 0;  // machine cycles toward the timer's next count, 0-31
    CounterMode mode = CounterMode::Stopped;
    uint8_t CIL = 0;        // the counter's interrupt request, latched
    uint8_t CIE = 0;        // counter interrupt enable
    uint8_t XIE = 0;        // external interrupt enable
    uint8_t ETQ = 0;        // each underflow toggles Q
    uint8_t ef_seen = 0;    // an event mode's flag as last seen, for its edges

    bool operator==(const CounterTimer&) const = default;
};

struct MachineState {
    std::array<uint16_t, 16> R{};
    uint8_t D = 0;
    uint8_t DF = 0;
    uint8_t B = 0;
    uint8_t P = 0;
    uint8_t X = 0;
    uint8_t N = 0;
    uint8_t I = 0;
    uint8_t T = 0;
    uint8_t IE = 0;
    uint8_t Q = 0;
    uint8_t EF1 = 0;
    uint8_t EF2 = 0;
    uint8_t EF3 = 0;
    uint8_t EF4 = 0;
    CounterTimer counter;

    bool operator==(const MachineState&) const = default;
};

// The 8-bit registers and flags by name, with the largest value each holds: the
// one list that the register display, the debugger's x and its trace read.
struct StateField {
    std::string_view name;
    uint8_t MachineState::*member;
    uint8_t largest;  // FF, F or 1; shown with as many hex digits as it has

    constexpr int digits() const { return largest > 0xF ? 2 : 1; }
};

inline constexpr StateField kStateFields[] = {
    {"D", &MachineState::D, 0xFF},     {"DF", &MachineState::DF, 1},      {"B", &MachineState::B, 0xFF},
    {"P", &MachineState::P, 0xF},      {"X", &MachineState::X, 0xF},      {"N", &MachineState::N, 0xF},
    {"I", &MachineState::I, 0xF},      {"T", &MachineState::T, 0xFF},     {"IE", &MachineState::IE, 1},
    {"Q", &MachineState::Q, 1},        {"EF1", &MachineState::EF1, 0xFF}, {"EF2", &MachineState::EF2, 0xFF},
    {"EF3", &MachineState::EF3, 0xFF}, {"EF4", &MachineState::EF4, 0xFF},
};

// The field of that name, in upper case, among the fields, or null.
template <class Field, std::size_t kCount>
constexpr const Field* field_named(const Field (&fields)[kCount], std::string_view name)
{
    for (const Field& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

constexpr const StateField* state_field(std::string_view name) { return field_named(kStateFields, name); }

// The counter's registers and flags that the register display shows and x sets.
struct CounterField {
    std::string_view name;
    uint8_t CounterTimer::*member;
    uint8_t largest;

    constexpr int digits() const { return largest > 0xF ? 2 : 1; }
};

inline constexpr CounterField kCounterFields[] = {
    {"CNTR", &CounterTimer::CNTR, 0xFF}, {"CH", &CounterTimer::CH, 0xFF}, {"CIL", &CounterTimer::CIL, 1},
    {"CIE", &CounterTimer::CIE, 1},      {"XIE", &CounterTimer::XIE, 1},  {"ETQ", &CounterTimer::ETQ, 1},
};

constexpr const CounterField* counter_field(std::string_view name) { return field_named(kCounterFields, name); }

// The 1805's reset: both interrupts enabled, no request, the counter stopped
// with its prescaler cleared and Q left alone by underflows. CNTR and CH keep
// what they held.
inline void reset_counter(CounterTimer& counter)
{
    counter.CIE = counter.XIE = 1;
    counter.CIL = counter.ETQ = 0;
    counter.prescaler = 0;
    counter.mode = CounterMode::Stopped;
}

// Every address from 0000 to ffff.
constexpr uint32_t kMemorySize = 0x10000;

// Indexed by uint16_t, so no address can fall outside it.
using Memory = std::array<uint8_t, kMemorySize>;

// The two halves of a 16-bit register, which GLO, GHI, PLO and PHI move to and from D.
inline uint8_t low_byte(uint16_t r) { return static_cast<uint8_t>(r); }
inline uint8_t high_byte(uint16_t r) { return static_cast<uint8_t>(r >> 8); }
inline uint16_t with_low_byte(uint16_t r, uint8_t value) { return static_cast<uint16_t>((r & 0xFF00) | value); }
inline uint16_t with_high_byte(uint16_t r, uint8_t value) { return static_cast<uint16_t>((r & 0x00FF) | value << 8); }

// Stores made by STR, STXD, MARK and SAV (and the 1805's SCAL, RSXD and DSAV)
// into the protected window are silently dropped: this machine's "ROM", 4000-9000 (both ends included) unless the user
// moves or removes it. INP, the monitor and the loader write there freely.
struct ProtectedWindow {
    uint16_t first = 0x4000;
    uint16_t last = 0x9000;

    constexpr bool contains(uint16_t address) const { return address >= first && address <= last; }
};

// A window that contains no address.
inline constexpr ProtectedWindow kNoProtectedWindow{1, 0};

}  // namespace cosmac
