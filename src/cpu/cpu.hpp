// The executor's working copy of the machine and the small operations that
// instructions are made of, shared by every instruction set.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/machine_state.hpp"

namespace cosmac {

// The executor's working copy of the machine. A run keeps a local Cpu that
// nothing outside the loop can see, so the compiler holds its fields in machine
// registers instead of memory. It can do so only for fields at fixed places: the
// R registers, which instructions index by N and X, live apart in the array
// `registers`, and the program counter R(P) apart again in pc, which the fetch
// then reads without waiting on memory. r() and set_r() see pc when the index is P.
struct Cpu : MachineState {
    std::array<uint16_t, 16> registers;
    uint16_t pc;

    explicit Cpu(const MachineState& state) : MachineState(state), registers(state.R), pc(state.R[state.P]) {}

    // The machine as it stands, with the program counter back in R(P).
    MachineState machine() const
    {
        MachineState state = *this;
        state.R = registers;
        state.R[P] = pc;
        return state;
    }

    [[gnu::always_inline]] uint16_t r(unsigned n) const
    {
        if (n == P) [[unlikely]]
            return pc;
        return registers[n];
    }
    [[gnu::always_inline]] void set_r(unsigned n, uint16_t value)
    {
        if (n == P) [[unlikely]]
            pc = value;
        else
            registers[n] = value;
    }
    void set_p(unsigned n)
    {
        registers[P] = pc;
        P = static_cast<uint8_t>(n);
        pc = registers[P];
    }

private:
    using MachineState::R;  // stale while the Cpu works
};

[[gnu::always_inline]] inline void add(Cpu& s, uint8_t operand, unsigned carry_in)
{
    const unsigned sum = s.D + operand + carry_in;
    s.D = static_cast<uint8_t>(sum);
    s.DF = static_cast<uint8_t>(sum >> 8);
}

// DF = 1 means no borrow; minuend - borrow may reach -1, below any subtrahend.
[[gnu::always_inline]] inline void subtract(Cpu& s, uint8_t minuend, uint8_t subtrahend, unsigned borrow_in)
{
    const int difference = int(minuend) - int(subtrahend) - int(borrow_in);
    s.D = static_cast<uint8_t>(difference);
    s.DF = difference >= 0;
}

// A short branch stays in the page of its operand byte: only the low byte of R(P)
// is replaced, so a branch whose operand sits at xxFF lands in the next page.
template <class Bus>
[[gnu::always_inline]] inline void short_branch(Cpu& s, const Memory& m, Bus& bus, bool taken)
{
    if (taken)
        s.pc = static_cast<uint16_t>((s.pc & 0xFF00) | bus.read(m, s.pc));
    else
        ++s.pc;
}

// The long branches and skips, and NOP, take a third machine cycle, which a
// board's clock counts.
template <class Bus>
[[gnu::always_inline]] inline void third_cycle(Bus& bus)
{
    if constexpr (Bus::kBoard)
        ++bus.cycles;
}

template <class Bus>
[[gnu::always_inline]] inline void long_branch(Cpu& s, const Memory& m, Bus& bus, bool taken)
{
    third_cycle(bus);
    if (taken)
        s.pc = static_cast<uint16_t>(bus.read(m, s.pc) << 8 | bus.read(m, static_cast<uint16_t>(s.pc + 1)));
    else
        s.pc = static_cast<uint16_t>(s.pc + 2);
}

template <class Bus>
[[gnu::always_inline]] inline void long_skip(Cpu& s, Bus& bus, bool taken)
{
    third_cycle(bus);
    if (taken)
        s.pc = static_cast<uint16_t>(s.pc + 2);
}

// M(R(X)), the memory operand of most instructions.
template <class Bus>
[[gnu::always_inline]] inline uint8_t operand(const Cpu& s, const Memory& m, Bus& bus)
{
    return bus.read(m, s.r(s.X));
}

template <class Bus>
[[gnu::always_inline]] inline uint8_t immediate(Cpu& s, const Memory& m, Bus& bus)
{
    return bus.read(m, s.pc++);
}

[[gnu::always_inline]] inline void increment(Cpu& s, unsigned n) { s.set_r(n, static_cast<uint16_t>(s.r(n) + 1)); }
[[gnu::always_inline]] inline void decrement(Cpu& s, unsigned n) { s.set_r(n, static_cast<uint16_t>(s.r(n) - 1)); }

}  // namespace cosmac
