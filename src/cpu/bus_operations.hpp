// The buses an instruction runs on, and the parts of instructions that reach
// them: ports, flags, Q, stores, and the console machine's console service.
#pragma once

#include <cstdint>

#include "cpu/board_bus.hpp"
#include "cpu/cpu.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// How many instructions a run on the console machine executes between two looks
// at interrupt_requested(). A key press is thousands of times slower than this
// many instructions.
constexpr unsigned kInterruptPollInterval = 4096;

constexpr uint8_t kControlC = 0x03;

// The console machine: memory is read as it is, stores of programs meet the
// protected window, and the user serves the rest.
struct ConsoleBus {
    static constexpr bool kBoard = false;
    static constexpr bool kExtended = false;
    HostIo* io;
    ProtectedWindow window;

    [[gnu::always_inline]] static uint8_t read(const Memory& m, uint16_t address) { return m[address]; }
    static uint8_t peek(const Memory& m, uint16_t address) { return m[address]; }
    // Guarded stores (STR, STXD, SAV, MARK, and the 1805's SCAL, RSXD and DSAV)
    // into the protected window are dropped.
    [[gnu::always_inline]] bool lands(uint16_t address, bool guarded) const
    {
        return !guarded || !window.contains(address);
    }
    bool poll() { return io->interrupt_requested(); }
};

[[gnu::always_inline]] inline StepResult query_ef4_then_branch(Cpu& s, const Memory& m, ConsoleBus& bus, uint8_t wanted)
{
    const Reply reply = bus.io->query_ef4();
    if (reply.interrupted) {
        --s.pc;
        return StepResult::Cancel;
    }
    if (reply.value)
        s.EF4 = *reply.value;
    short_branch(s, m, bus, s.EF4 == wanted);
    return reply.stop ? StepResult::Stop : StepResult::Continue;
}

// A program's store, through the bus, which says whether it lands, to the
// policy, which makes it.
template <class Bus, class Policy>
[[gnu::always_inline]] inline void store(Bus& bus, Policy& policy, Memory& m, uint16_t address, uint8_t value,
                                         bool guarded = true)
{
    policy.store(m, address, value, bus.lands(address, guarded));
}

// INP on the console machine asks the user. A reply cut off by Control-C or by
// the end of input cancels the instruction: nothing is stored, and it runs again
// next time.
template <class Policy>
[[gnu::always_inline]] inline StepResult input(Cpu& s, Memory& m, ConsoleBus& bus, Policy& policy, unsigned port)
{
    const Reply reply = bus.io->input_port(port);
    if (reply.interrupted || (reply.stop && !reply.value)) {
        --s.pc;
        return StepResult::Cancel;
    }
    const uint8_t value = reply.value.value_or(0);
    store(bus, policy, m, s.r(s.X), value, /*guarded=*/false);  // INP is not subject to the protected window
    s.D = value;
    return reply.stop ? StepResult::Stop : StepResult::Continue;
}

// Opcode 68, which the 1802 leaves undefined, is this machine's console service:
// the byte after it, at R(P), selects the function. The 1805's 68 is a prefix,
// so there the service is 68 D1 and 68 D2, and function is that byte's low digit.
[[gnu::always_inline]] inline StepResult console_service(Cpu& s, HostIo& io, uint8_t function)
{
    switch (function) {
    case 1:  // character out
        if (s.D == 0x0D)
            io.console_write('\n');
        else if (s.D >= 0x20 && s.D <= 0x7E)
            io.console_write(s.D);
        break;
    case 2: {  // key in
        uint8_t key = io.console_read_key().value_or(kControlC);
        if (key >= 'a' && key <= 'z')
            key = static_cast<uint8_t>(key - 'a' + 'A');
        s.D = key;
        if (key == kControlC) {
            --s.pc;  // back on the opcode, so running again repeats the key request
            return StepResult::Stop;
        }
        io.console_write(key);
        break;
    }
    default:
        break;
    }
    ++s.pc;
    return StepResult::Continue;
}

// B1-B4 and BN1-BN4: the console machine's EF1-EF3 hold what the user set, and
// its EF4 is asked for; a board's lines are read from its devices.
template <unsigned kLine, class Bus>
[[gnu::always_inline]] inline StepResult flag_branch(Cpu& s, const Memory& m, Bus& bus, uint8_t wanted)
{
    uint8_t& flag = kLine == 1 ? s.EF1 : kLine == 2 ? s.EF2 : kLine == 3 ? s.EF3 : s.EF4;
    if constexpr (Bus::kBoard)
        flag = bus.ef(kLine);
    else if constexpr (kLine == 4)
        return query_ef4_then_branch(s, m, bus, wanted);
    short_branch(s, m, bus, flag == wanted);
    return StepResult::Continue;
}

template <class Bus>
[[gnu::always_inline]] inline void set_q(Cpu& s, Bus& bus, uint8_t q)
{
    s.Q = q;
    if constexpr (Bus::kBoard)
        bus.q_changed(q);
    else if (q)
        bus.io->set_q();
    else
        bus.io->reset_q();
}

// The 1804/1805/1806's instruction set on a bus: the 68 prefix and its
// instructions, and the counter/timer, which plain 1802 runs never pay for.
template <class Base>
struct Extended : Base {
    static constexpr bool kExtended = true;
};

// The processor's response to an interrupt: X and P saved in T, X = 2, P = 1,
// IE = 0.
inline void enter_interrupt(Cpu& cpu)
{
    cpu.T = static_cast<uint8_t>(cpu.X << 4 | cpu.P);
    cpu.X = 2;
    cpu.set_p(1);
    cpu.IE = 0;
}

// INP on a board: D and M(R(X)) from the port, ff where no device answers.
template <class Policy>
[[gnu::always_inline]] inline StepResult board_input(Cpu& s, Memory& m, BoardBus& bus, Policy& policy, unsigned port)
{
    s.D = bus.input_port(port);
    store(bus, policy, m, s.r(s.X), s.D);
    return StepResult::Continue;
}

// RET and DIS on a board: X and P from M(R(X)), R(X) + 1, IE as given. An
// interrupt held off by IE = 0 may be taken after a RET.
template <class Bus>
[[gnu::always_inline]] inline void return_from_interrupt(Cpu& s, const Memory& m, Bus& bus, uint8_t ie)
{
    const uint8_t value = operand(s, m, bus);
    increment(s, s.X);
    s.X = value >> 4;
    s.set_p(value & 0xF);
    s.IE = ie;
    if constexpr (Bus::kBoard)
        bus.attend();
}

}  // namespace cosmac
