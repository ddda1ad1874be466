// The instruction set and the run loop, as templates over a run policy, so that
// a plain run and a debugger's run share every instruction and a plain run pays
// nothing for what only the debugger needs. A policy has three hooks:
//
//   bool before(const Cpu&, uint8_t opcode, uint64_t executed)
//                                             true stops the run in front of the instruction;
//                                             executed counts the run's instructions so far
//   void store(Memory&, uint16_t address, uint8_t value, bool guarded)
//                                             every store of an instruction goes through here;
//                                             guarded ones are subject to the protected window
//   bool after(const Cpu&, uint64_t executed) true stops the run after the instruction
//
// PlainRun is the policy of the monitor's own s and g.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/executor.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// How many instructions a run executes between two looks at interrupt_requested().
// A key press is thousands of times slower than this many instructions.
constexpr unsigned kInterruptPollInterval = 4096;

constexpr uint8_t kControlC = 0x03;

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

    uint16_t r(unsigned n) const
    {
        if (n == P) [[unlikely]]
            return pc;
        return registers[n];
    }
    void set_r(unsigned n, uint16_t value)
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
[[gnu::always_inline]] inline void short_branch(Cpu& s, const Memory& m, bool taken)
{
    if (taken)
        s.pc = static_cast<uint16_t>((s.pc & 0xFF00) | m[s.pc]);
    else
        ++s.pc;
}

[[gnu::always_inline]] inline void long_branch(Cpu& s, const Memory& m, bool taken)
{
    if (taken)
        s.pc = static_cast<uint16_t>(m[s.pc] << 8 | m[static_cast<uint16_t>(s.pc + 1)]);
    else
        s.pc = static_cast<uint16_t>(s.pc + 2);
}

[[gnu::always_inline]] inline void long_skip(Cpu& s, bool taken)
{
    if (taken)
        s.pc = static_cast<uint16_t>(s.pc + 2);
}

// M(R(X)), the memory operand of most instructions.
[[gnu::always_inline]] inline uint8_t operand(const Cpu& s, const Memory& m) { return m[s.r(s.X)]; }

[[gnu::always_inline]] inline uint8_t immediate(Cpu& s, const Memory& m) { return m[s.pc++]; }

[[gnu::always_inline]] inline void increment(Cpu& s, unsigned n) { s.set_r(n, static_cast<uint16_t>(s.r(n) + 1)); }
[[gnu::always_inline]] inline void decrement(Cpu& s, unsigned n) { s.set_r(n, static_cast<uint16_t>(s.r(n) - 1)); }

[[gnu::always_inline]] inline StepResult query_ef4_then_branch(Cpu& s, const Memory& m, HostIo& io, uint8_t wanted)
{
    const Reply reply = io.query_ef4();
    if (reply.interrupted) {
        --s.pc;
        return StepResult::Stop;
    }
    if (reply.value)
        s.EF4 = *reply.value;
    short_branch(s, m, s.EF4 == wanted);
    return reply.stop ? StepResult::Stop : StepResult::Continue;
}

template <class Policy>
[[gnu::always_inline]] inline StepResult input(Cpu& s, Memory& m, HostIo& io, Policy& policy)
{
    const Reply reply = io.input_port(s.N & 7);
    if (reply.interrupted) {
        --s.pc;
        return StepResult::Stop;
    }
    const uint8_t value = reply.value.value_or(0);
    policy.store(m, s.r(s.X), value, /*guarded=*/false);  // INP is not subject to the protected window
    s.D = value;
    return reply.stop ? StepResult::Stop : StepResult::Continue;
}

// Opcode 68, which the 1802 leaves undefined, is this machine's console service:
// the byte after it selects the function.
[[gnu::always_inline]] inline StepResult console_service(Cpu& s, const Memory& m, HostIo& io)
{
    switch (m[s.pc]) {
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
            --s.pc;  // back on the 68, so running again repeats the key request
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

// Dispatches on the whole opcode: one jump per instruction, with the rows of the
// datasheet's table as case ranges. The opcodes that reach the console or stop a
// run are marked unlikely, which keeps their calls and spills out of the way of
// the register and memory instructions that a run spends its time in.
template <class Policy>
[[gnu::always_inline]] inline StepResult execute(Cpu& s, Memory& m, HostIo& io, uint8_t opcode, Policy& policy)
{
    s.N = opcode & 0xF;
    s.I = opcode >> 4;
    ++s.pc;
    const unsigned n = opcode & 0xF;

    switch (opcode) {
    // 0x: IDLE, LDN
    case 0x00: break;                                           // IDLE
    case 0x01 ... 0x0F: s.D = m[s.r(n)]; break;                 // LDN
    // 1x, 2x: INC, DEC
    case 0x10 ... 0x1F: increment(s, n); break;                 // INC
    case 0x20 ... 0x2F: decrement(s, n); break;                 // DEC
    // 3x: short branches
    case 0x30: short_branch(s, m, true); break;                 // BR
    case 0x31: short_branch(s, m, s.Q == 1); break;             // BQ
    case 0x32: short_branch(s, m, s.D == 0); break;             // BZ
    case 0x33: short_branch(s, m, s.DF == 1); break;            // BDF
    case 0x34: short_branch(s, m, s.EF1 == 1); break;           // B1
    case 0x35: short_branch(s, m, s.EF2 == 1); break;           // B2
    case 0x36: short_branch(s, m, s.EF3 == 1); break;           // B3
    [[unlikely]] case 0x37: return query_ef4_then_branch(s, m, io, 1);       // B4
    case 0x38: ++s.pc; break;                                   // SKP
    case 0x39: short_branch(s, m, s.Q == 0); break;             // BNQ
    case 0x3A: short_branch(s, m, s.D != 0); break;             // BNZ
    case 0x3B: short_branch(s, m, s.DF == 0); break;            // BNF
    case 0x3C: short_branch(s, m, s.EF1 == 0); break;           // BN1
    case 0x3D: short_branch(s, m, s.EF2 == 0); break;           // BN2
    case 0x3E: short_branch(s, m, s.EF3 == 0); break;           // BN3
    [[unlikely]] case 0x3F: return query_ef4_then_branch(s, m, io, 0);       // BN4
    // 4x, 5x: LDA, STR
    case 0x40 ... 0x4F: s.D = m[s.r(n)]; increment(s, n); break;  // LDA
    case 0x50 ... 0x5F: policy.store(m, s.r(n), s.D, true); break;  // STR
    // 6x: IRX, OUT, console service, INP
    case 0x60: increment(s, s.X); break;                        // IRX
    [[unlikely]] case 0x61 ... 0x67:                                         // OUT
        s.D = operand(s, m);
        io.output_port(n, s.D);
        increment(s, s.X);
        break;
    [[unlikely]] case 0x68: return console_service(s, m, io);
    [[unlikely]] case 0x69 ... 0x6F: return input(s, m, io, policy);                 // INP
    // 7x: control and arithmetic with carry
    [[unlikely]] case 0x70: return StepResult::Stop;                         // RET: stops a run, changes nothing
    [[unlikely]] case 0x71: {                                                // DIS
        const uint8_t value = operand(s, m);
        increment(s, s.X);
        s.X = value >> 4;
        s.set_p(value & 0xF);
        s.IE = 0;
        return StepResult::Stop;
    }
    case 0x72: s.D = operand(s, m); increment(s, s.X); break;   // LDXA
    case 0x73: policy.store(m, s.r(s.X), s.D, true); decrement(s, s.X); break;  // STXD
    case 0x74: add(s, operand(s, m), s.DF); break;              // ADC
    case 0x75: subtract(s, operand(s, m), s.D, 1 - s.DF); break;  // SDB
    case 0x76: {                                                // SHRC
        const uint8_t carry_out = s.D & 1;
        s.D = static_cast<uint8_t>(s.D >> 1 | s.DF << 7);
        s.DF = carry_out;
        break;
    }
    case 0x77: subtract(s, s.D, operand(s, m), 1 - s.DF); break;  // SMB
    case 0x78: policy.store(m, s.r(s.X), s.T, true); break;  // SAV
    [[unlikely]] case 0x79:                                                  // MARK
        s.T = static_cast<uint8_t>(s.X << 4 | s.P);
        policy.store(m, s.r(2), s.T, true);
        s.X = s.P;
        decrement(s, 2);
        return StepResult::Stop;
    [[unlikely]] case 0x7A: s.Q = 0; io.reset_q(); break;                    // REQ
    [[unlikely]] case 0x7B: s.Q = 1; io.set_q(); break;                      // SEQ
    case 0x7C: add(s, immediate(s, m), s.DF); break;            // ADCI
    case 0x7D: subtract(s, immediate(s, m), s.D, 1 - s.DF); break;  // SDBI
    case 0x7E: {                                                // SHLC
        const uint8_t carry_out = s.D >> 7;
        s.D = static_cast<uint8_t>(s.D << 1 | s.DF);
        s.DF = carry_out;
        break;
    }
    case 0x7F: subtract(s, s.D, immediate(s, m), 1 - s.DF); break;  // SMBI
    // 8x-Bx: register bytes to and from D
    case 0x80 ... 0x8F: s.D = low_byte(s.r(n)); break;          // GLO
    case 0x90 ... 0x9F: s.D = high_byte(s.r(n)); break;         // GHI
    case 0xA0 ... 0xAF: s.set_r(n, with_low_byte(s.r(n), s.D)); break;   // PLO
    case 0xB0 ... 0xBF: s.set_r(n, with_high_byte(s.r(n), s.D)); break;  // PHI
    // Cx: long branches and long skips
    case 0xC0: long_branch(s, m, true); break;                  // LBR
    case 0xC1: long_branch(s, m, s.Q == 1); break;              // LBQ
    case 0xC2: long_branch(s, m, s.D == 0); break;              // LBZ
    case 0xC3: long_branch(s, m, s.DF == 1); break;             // LBDF
    case 0xC4: break;                                           // NOP
    case 0xC5: long_skip(s, s.Q == 0); break;                   // LSNQ
    case 0xC6: long_skip(s, s.D != 0); break;                   // LSNZ
    case 0xC7: long_skip(s, s.DF == 0); break;                  // LSNF
    case 0xC8: long_skip(s, true); break;                       // NLBR
    case 0xC9: long_branch(s, m, s.Q == 0); break;              // LBNQ
    case 0xCA: long_branch(s, m, s.D != 0); break;              // LBNZ
    case 0xCB: long_branch(s, m, s.DF == 0); break;             // LBNF
    case 0xCC: long_skip(s, s.IE == 1); break;                  // LSIE
    case 0xCD: long_skip(s, s.Q == 1); break;                   // LSQ
    case 0xCE: long_skip(s, s.D == 0); break;                   // LSZ
    case 0xCF: long_skip(s, s.DF == 1); break;                  // LSDF
    // Dx, Ex: SEP, SEX
    case 0xD0 ... 0xDF: s.set_p(n); break;                      // SEP
    case 0xE0 ... 0xEF: s.X = static_cast<uint8_t>(n); break;   // SEX
    // Fx: logic and arithmetic on M(R(X)), and immediate
    case 0xF0: s.D = operand(s, m); break;                      // LDX
    case 0xF1: s.D |= operand(s, m); break;                     // OR
    case 0xF2: s.D &= operand(s, m); break;                     // AND
    case 0xF3: s.D ^= operand(s, m); break;                     // XOR
    case 0xF4: add(s, operand(s, m), 0); break;                 // ADD
    case 0xF5: subtract(s, operand(s, m), s.D, 0); break;       // SD
    case 0xF6: s.DF = s.D & 1; s.D >>= 1; break;                // SHR
    case 0xF7: subtract(s, s.D, operand(s, m), 0); break;       // SM
    case 0xF8: s.D = immediate(s, m); break;                    // LDI
    case 0xF9: s.D |= immediate(s, m); break;                   // ORI
    case 0xFA: s.D &= immediate(s, m); break;                   // ANI
    case 0xFB: s.D ^= immediate(s, m); break;                   // XRI
    case 0xFC: add(s, immediate(s, m), 0); break;               // ADI
    case 0xFD: subtract(s, immediate(s, m), s.D, 0); break;     // SDI
    case 0xFE: s.DF = s.D >> 7; s.D = static_cast<uint8_t>(s.D << 1); break;  // SHL
    case 0xFF: subtract(s, s.D, immediate(s, m), 0); break;     // SMI
    }
    return StepResult::Continue;
}

struct PlainRun {
    ProtectedWindow window;

    static constexpr bool before(const Cpu&, uint8_t, uint64_t) { return false; }
    void store(Memory& m, uint16_t address, uint8_t value, bool guarded) const
    {
        if (guarded)
            guarded_store(m, window, address, value);
        else
            m[address] = value;
    }
    static constexpr bool after(const Cpu&, uint64_t) { return false; }
};

// One instruction, whatever it is: the policy sees it, but cannot stop it.
template <class Policy>
StepResult step_with(MachineState& state, Memory& memory, HostIo& io, Policy& policy)
{
    Cpu cpu(state);
    const uint8_t opcode = memory[cpu.pc];
    policy.before(cpu, opcode, 0);
    const StepResult result = execute(cpu, memory, io, opcode, policy);
    policy.after(cpu, 1);
    state = cpu.machine();
    return result;
}

// Instructions until the one at R(P) is IDLE (00), which is left unexecuted, an
// instruction returns stop, the io asks to interrupt, or the policy stops the run.
template <class Policy>
RunResult run_with(MachineState& state, Memory& memory, HostIo& io, Policy& caller_policy)
{
    Policy policy = caller_policy;  // a local, which the compiler can keep in machine registers
    Cpu cpu(state);
    RunResult result;
    for (;;) {
        for (const uint64_t poll_at = result.executed + kInterruptPollInterval; result.executed != poll_at;) {
            const uint8_t opcode = memory[cpu.pc];
            if (opcode == 0x00)
                goto done;
            if (policy.before(cpu, opcode, result.executed)) [[unlikely]]
                goto done;
            ++result.executed;
            const StepResult step = execute(cpu, memory, io, opcode, policy);
            const bool policy_stops = policy.after(cpu, result.executed);
            if (step == StepResult::Stop) [[unlikely]] {
                result.stopped = true;
                goto done;
            }
            if (policy_stops) [[unlikely]]
                goto done;
        }
        if (io.interrupt_requested()) {
            result.stopped = true;
            break;
        }
    }
done:
    state = cpu.machine();
    caller_policy = policy;
    return result;
}

}  // namespace cosmac
