// The 1804/1805/1806's additions to the 1802: the instructions after the 68
// prefix and the counter/timer, on whichever bus runs them. Only a bus made
// Extended<> reaches any of this, so an 1802's run compiles none of it in.
#pragma once

#include <cstdint>

#include "cpu/bus_operations.hpp"
#include "cpu/cpu.hpp"
#include "cpu/machine_state.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac {

// Timer mode counts once every 32 machine cycles.
inline constexpr unsigned kTimerPrescale = 32;


// The flag that an event or pulse-width mode watches, 1 while asserted: a
// board's line from its devices, or the console machine's EF1 and EF2 as the
// user set them.
template <class Bus>
inline uint8_t watched_flag(Cpu& s, Bus& bus)
{
    const bool first = s.counter.mode == CounterMode::Event1 || s.counter.mode == CounterMode::Pulse1;
    if constexpr (Bus::kBoard)
        return bus.ef(first ? 1 : 2) ? 1 : 0;
    else
        return (first ? s.EF1 : s.EF2) == 1;
}

// One count: down by one, or, as the counter passes 01, the reload from CH, the
// interrupt request and, with ETQ, Q toggled. The counter never rests at 00, so
// a count of 00 is 256.
template <class Bus>
inline void count_down(Cpu& s, Bus& bus)
{
    CounterTimer& c = s.counter;
    if (c.CNTR != 1) {
        --c.CNTR;
        return;
    }
    c.CNTR = c.CH;
    c.CIL = 1;
    if (c.ETQ)
        set_q(s, bus, s.Q ^ 1);
    if constexpr (Bus::kBoard)
        bus.attend();  // a request the look between instructions must see
}

// The counter through machine cycles, in its mode. An event mode counts the
// edge where its flag becomes asserted, seen once for the cycles; a pulse-width
// mode counts every cycle while its flag is asserted, and as the pulse ends it
// stops and requests an interrupt.
template <class Bus>
[[gnu::noinline]] void count_cycles(Cpu& s, Bus& bus, unsigned cycles)
{
    CounterTimer& c = s.counter;
    switch (c.mode) {
    case CounterMode::Stopped:
        break;
    case CounterMode::Timer: {
        const unsigned elapsed = c.prescaler + cycles;
        c.prescaler = static_cast<uint8_t>(elapsed % kTimerPrescale);
        for (unsigned count = 0; count < elapsed / kTimerPrescale; ++count)
            count_down(s, bus);
        break;
    }
    case CounterMode::Event1:
    case CounterMode::Event2: {
        const uint8_t level = watched_flag(s, bus);
        if (level && !c.ef_seen)
            count_down(s, bus);
        c.ef_seen = level;
        break;
    }
    case CounterMode::Pulse1:
    case CounterMode::Pulse2:
        if (watched_flag(s, bus)) {
            c.ef_seen = 1;
            for (unsigned cycle = 0; cycle < cycles; ++cycle)
                count_down(s, bus);
        } else if (c.ef_seen) {
            c.mode = CounterMode::Stopped;
            c.CIL = 1;
            if constexpr (Bus::kBoard)
                bus.attend();
        }
        break;
    }
}

// The counter through machine cycles: an instruction's, an interrupt's, a DMA
// cycle's, an IDLE's wait. Nothing on an 1802.
template <class Bus>
[[gnu::always_inline]] inline void counter_runs(Cpu& s, Bus& bus, uint64_t cycles)
{
    if constexpr (Bus::kExtended) {
        CounterTimer& c = s.counter;
        if (c.mode == CounterMode::Timer && c.prescaler + cycles < kTimerPrescale)
            c.prescaler = static_cast<uint8_t>(c.prescaler + cycles);  // most instructions: no count yet
        else if (c.mode != CounterMode::Stopped)
            count_cycles(s, bus, static_cast<unsigned>(cycles));
    }
}

// The machine cycles until the counter next passes 01 by itself, which an IDLE
// waits for when its interrupt is enabled; kNever where that depends on a
// flag's edge, or it is stopped.
// A pulse is taken to last, since its end comes with a device's event.
inline uint64_t cycles_to_underflow(const CounterTimer& c)
{
    const unsigned counts = c.CNTR == 0 ? 256 : c.CNTR;
    if (c.mode == CounterMode::Timer)
        return counts * kTimerPrescale - c.prescaler;
    if ((c.mode == CounterMode::Pulse1 || c.mode == CounterMode::Pulse2) && c.ef_seen)
        return counts;
    return kNever;
}

// Whether the processor takes an interrupt between instructions: IE, and on
// the extended set XIE over the external line and CIE over the counter's.
template <class Bus>
[[gnu::always_inline]] inline bool interrupt_taken(const Cpu& s, bool external)
{
    if constexpr (Bus::kExtended)
        return s.IE && ((external && s.counter.XIE) || (s.counter.CIL && s.counter.CIE));
    else
        return s.IE && external;
}

// Starts the counter in a mode. The timer's prescaler starts afresh, so that
// its first count comes 32 cycles after the STM; an event mode takes the flag
// as it stands, so that only a later edge counts, and a pulse-width mode waits
// for its pulse.
template <class Bus>
inline void start_counter(Cpu& s, Bus& bus, CounterMode mode)
{
    CounterTimer& c = s.counter;
    c.mode = mode;
    c.prescaler = 0;
    c.ef_seen = mode == CounterMode::Event1 || mode == CounterMode::Event2 ? watched_flag(s, bus) : 0;
}

// Decimal addition: the binary sum, then each digit over 9 (or carried out of)
// adjusted by 6. DF is the decimal carry.
inline void decimal_add(Cpu& s, uint8_t operand, unsigned carry_in)
{
    unsigned sum = s.D + operand + carry_in;
    if ((sum & 0xF) > 9 || (s.D & 0xF) + (operand & 0xF) + carry_in > 0xF)
        sum += 0x06;
    if (sum > 0x9F)
        sum += 0x60;
    s.D = static_cast<uint8_t>(sum);
    s.DF = sum > 0xFF;
}

// Decimal subtraction, D - operand - borrow: each digit that borrowed adjusted
// by 6. DF = 1 means no borrow, as SM's.
inline void decimal_subtract(Cpu& s, uint8_t subtrahend, unsigned borrow_in)
{
    const int difference = int(s.D) - int(subtrahend) - int(borrow_in);
    int adjusted = difference;
    if (int(s.D & 0xF) - int(subtrahend & 0xF) - int(borrow_in) < 0)
        adjusted -= 0x06;
    if (difference < 0)
        adjusted -= 0x60;
    s.D = static_cast<uint8_t>(adjusted);
    s.DF = difference >= 0;
}

// Two bytes pushed as STXD pushes them, low byte first: the word reads high
// then low in ascending memory, and R(X) is left below it.
template <class Bus, class Policy>
inline void push_word(Cpu& s, Memory& m, Bus& bus, Policy& policy, uint16_t word)
{
    store(bus, policy, m, s.r(s.X), low_byte(word));
    decrement(s, s.X);
    store(bus, policy, m, s.r(s.X), high_byte(word));
    decrement(s, s.X);
}

template <class Bus>
inline uint16_t word_at(const Memory& m, Bus& bus, uint16_t address)
{
    return static_cast<uint16_t>(bus.read(m, address) << 8 | bus.read(m, static_cast<uint16_t>(address + 1)));
}

// The instruction after a 68 prefix, which has been fetched; R(P) is at its
// second byte. A second byte the chip leaves unused passes as a two-byte no-op,
// except on the console machine, where 68 D1 and 68 D2 are its console service.
template <class Bus, class Policy>
[[gnu::noinline]] StepResult perform_extended(Cpu& s, Memory& m, Bus& bus, Policy& policy)
{
    const uint8_t code = immediate(s, m, bus);
    const unsigned n = code & 0xF;
    CounterTimer& c = s.counter;
    if constexpr (Bus::kBoard)
        bus.cycles += kExtendedOpcodeTable[code].cycles - kOpcodeTable[kExtendedPrefix].cycles;

    switch (code) {
    // 68 0x: the counter and the interrupt enables
    case 0x00: c.mode = CounterMode::Stopped; c.prescaler = 0; break;    // STPC
    case 0x01: count_down(s, bus); break;                                // DTC
    case 0x02: start_counter(s, bus, CounterMode::Pulse2); break;        // SPM2
    case 0x03: start_counter(s, bus, CounterMode::Event2); break;        // SCM2
    case 0x04: start_counter(s, bus, CounterMode::Pulse1); break;        // SPM1
    case 0x05: start_counter(s, bus, CounterMode::Event1); break;        // SCM1
    case 0x06:                                                           // LDC
        // While the counter runs, the new value waits in CH for the next reload.
        c.CH = s.D;
        if (c.mode == CounterMode::Stopped) {
            c.CNTR = s.D;
            c.CIL = 0;
        }
        break;
    case 0x07: start_counter(s, bus, CounterMode::Timer); break;         // STM
    case 0x08: s.D = c.CNTR; break;                                      // GEC
    case 0x09: c.ETQ = 1; break;                                         // ETQ
    case 0x0A: c.XIE = 1; break;                                         // XIE
    case 0x0B: c.XIE = 0; break;                                         // XID
    case 0x0C: c.CIE = 1; break;                                         // CIE
    case 0x0D: c.CIE = 0; break;                                         // CID
    // 68 2x, 3E, 3F: the branches. DBNZ's is long; BCI and BXI's are short.
    case 0x20 ... 0x2F:                                                  // DBNZ
        decrement(s, n);
        if (s.r(n) != 0)
            s.pc = word_at(m, bus, s.pc);
        else
            s.pc = static_cast<uint16_t>(s.pc + 2);
        break;
    case 0x3E: {                                                         // BCI
        const bool requested = c.CIL;
        short_branch(s, m, bus, requested);
        if (requested)
            c.CIL = 0;
        break;
    }
    case 0x3F:                                                           // BXI
        if constexpr (Bus::kBoard)
            short_branch(s, m, bus, bus.devices->lines().interrupt);
        else
            short_branch(s, m, bus, false);  // the console machine has no interrupt line
        break;
    // 68 6x-Cx: registers to and from the stack, calls and returns
    case 0x60 ... 0x6F: {                                                // RLXA
        const uint16_t address = s.r(s.X);
        s.set_r(n, word_at(m, bus, address));
        s.set_r(s.X, static_cast<uint16_t>(s.r(s.X) + 2));
        break;
    }
    case 0x80 ... 0x8F: {                                                // SCAL
        push_word(s, m, bus, policy, s.r(n));
        s.set_r(n, s.pc);
        s.pc = word_at(m, bus, s.r(n));
        s.set_r(n, static_cast<uint16_t>(s.r(n) + 2));
        break;
    }
    case 0x90 ... 0x9F: {                                                // SRET
        s.pc = s.r(n);
        const uint16_t address = s.r(s.X);
        s.set_r(n, word_at(m, bus, static_cast<uint16_t>(address + 1)));
        s.set_r(s.X, static_cast<uint16_t>(s.r(s.X) + 2));
        break;
    }
    case 0xA0 ... 0xAF: push_word(s, m, bus, policy, s.r(n)); break;     // RSXD
    case 0xB0 ... 0xBF: s.set_r(s.X, s.r(n)); break;                     // RNX
    case 0xC0 ... 0xCF:                                                  // RLDI
        s.set_r(n, word_at(m, bus, s.pc));
        s.pc = static_cast<uint16_t>(s.pc + 2);
        break;
    // 68 7x, Fx: decimal arithmetic on the binary ALU's opcodes, and DSAV
    case 0x74: decimal_add(s, operand(s, m, bus), s.DF); break;          // DADC
    case 0x76: {                                                         // DSAV
        decrement(s, s.X);
        store(bus, policy, m, s.r(s.X), s.T);
        decrement(s, s.X);
        store(bus, policy, m, s.r(s.X), s.D);
        decrement(s, s.X);
        const uint8_t carry_out = s.D & 1;  // SHRC
        s.D = static_cast<uint8_t>(s.D >> 1 | s.DF << 7);
        s.DF = carry_out;
        store(bus, policy, m, s.r(s.X), s.D);
        break;
    }
    case 0x77: decimal_subtract(s, operand(s, m, bus), 1 - s.DF); break;    // DSMB
    case 0x7C: decimal_add(s, immediate(s, m, bus), s.DF); break;           // DACI
    case 0x7F: decimal_subtract(s, immediate(s, m, bus), 1 - s.DF); break;  // DSBI
    case 0xF4: decimal_add(s, operand(s, m, bus), 0); break;                // DADD
    case 0xF7: decimal_subtract(s, operand(s, m, bus), 0); break;           // DSM
    case 0xFC: decimal_add(s, immediate(s, m, bus), 0); break;              // DADI
    case 0xFF: decimal_subtract(s, immediate(s, m, bus), 0); break;         // DSMI
    case kConsoleWrite:
    case kConsoleKey:
        if constexpr (!Bus::kBoard) {
            --s.pc;
            return console_service(s, *bus.io, static_cast<uint8_t>(n));
        }
        break;
    default:
        break;
    }
    return StepResult::Continue;
}

// STPC and the instructions that start the counter, which counts from their
// end, not through their own cycles.
constexpr bool sets_counter_mode(uint8_t opcode, uint8_t second)
{
    return opcode == kExtendedPrefix && (second == 0x00 || (second >= 0x02 && second <= 0x05) || second == 0x07);
}

}  // namespace cosmac
