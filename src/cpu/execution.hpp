// The instruction set and the run loop, as templates over a run policy, so that
// a plain run and a debugger's run share every instruction and a plain run pays
// nothing for what only the debugger needs. A policy has these hooks:
//
//   bool before(const Cpu&, uint8_t opcode, uint64_t executed, const Bus&)
//                                             true stops the run in front of the instruction;
//                                             executed counts the run's instructions so far,
//                                             and the bus peeks at the bytes after the opcode
//   void store(Memory&, uint16_t address, uint8_t value, bool lands)
//                                             every store goes through here; lands is false
//                                             where the protected window or a board's map drops it
//   bool after(const Cpu&, uint64_t executed) true stops the run after the instruction
//   void cancel()                             the instruction that before() saw did not happen
//   void dma(const Cpu&, bool in, uint16_t address, uint8_t byte)
//                                             on a board, a DMA cycle is about to move the
//                                             byte; its store, for DMA in, follows
//   void interrupt_taken()                    the console machine's 1805 took its counter's
//                                             interrupt after the instruction, a cycle more
//
// and says with kSeesEachState whether its hooks look at N and I, which a run
// that does not otherwise sets only as it ends.
//
// PlainRun is the policy of the monitor's own s and g, and of a board's plain runs.
//
// The instruction set is chosen at compile time too, by the bus it runs on: the
// console machine's (ConsoleBus), whose ports, EF4 and console service are the
// user's, or a board's (BoardBus), with the datasheet's RET, DIS, MARK, OUT, INP
// and IDLE, a memory map, devices timed in machine cycles, DMA and interrupts.
// Either made Extended<> runs the 1804/1805/1806's set (extended_set.hpp).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "cpu/board_bus.hpp"
#include "cpu/bus_operations.hpp"
#include "cpu/cpu.hpp"
#include "cpu/executor.hpp"
#include "cpu/extended_set.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// N and I hold the opcode once it has been executed; one that was cancelled
// leaves them as they were.
[[gnu::always_inline]] inline void latch(MachineState& s, uint8_t opcode)
{
    s.N = opcode & 0xF;
    s.I = opcode >> 4;
}

// Dispatches on the whole opcode: one jump per instruction, with the rows of the
// datasheet's table as case ranges. The opcodes that reach the console or stop a
// run are marked unlikely, which keeps their calls and spills out of the way of
// the register and memory instructions that a run spends its time in. N and I
// are left to latch(), after.
template <class Bus, class Policy>
[[gnu::always_inline]] inline StepResult perform_instruction(Cpu& s, Memory& m, Bus& bus, uint8_t opcode,
                                                             Policy& policy)
{
    ++s.pc;
    const unsigned n = opcode & 0xF;
    constexpr bool kBoard = Bus::kBoard;

    switch (opcode) {
    // 0x: IDLE, LDN
    case 0x00:                                                  // IDLE
        if constexpr (kBoard) {
            bus.idle = true;
            bus.attend();
        }
        break;
    case 0x01 ... 0x0F: s.D = bus.read(m, s.r(n)); break;       // LDN
    // 1x, 2x: INC, DEC
    case 0x10 ... 0x1F: increment(s, n); break;                 // INC
    case 0x20 ... 0x2F: decrement(s, n); break;                 // DEC
    // 3x: short branches
    case 0x30: short_branch(s, m, bus, true); break;            // BR
    case 0x31: short_branch(s, m, bus, s.Q == 1); break;        // BQ
    case 0x32: short_branch(s, m, bus, s.D == 0); break;        // BZ
    case 0x33: short_branch(s, m, bus, s.DF == 1); break;       // BDF
    case 0x34: return flag_branch<1>(s, m, bus, 1);             // B1
    case 0x35: return flag_branch<2>(s, m, bus, 1);             // B2
    case 0x36: return flag_branch<3>(s, m, bus, 1);             // B3
    [[unlikely]] case 0x37: return flag_branch<4>(s, m, bus, 1);             // B4
    case 0x38: ++s.pc; break;                                   // SKP
    case 0x39: short_branch(s, m, bus, s.Q == 0); break;        // BNQ
    case 0x3A: short_branch(s, m, bus, s.D != 0); break;        // BNZ
    case 0x3B: short_branch(s, m, bus, s.DF == 0); break;       // BNF
    case 0x3C: return flag_branch<1>(s, m, bus, 0);             // BN1
    case 0x3D: return flag_branch<2>(s, m, bus, 0);             // BN2
    case 0x3E: return flag_branch<3>(s, m, bus, 0);             // BN3
    [[unlikely]] case 0x3F: return flag_branch<4>(s, m, bus, 0);             // BN4
    // 4x, 5x: LDA, STR
    case 0x40 ... 0x4F: s.D = bus.read(m, s.r(n)); increment(s, n); break;  // LDA
    case 0x50 ... 0x5F: store(bus, policy, m, s.r(n), s.D); break;  // STR
    // 6x: IRX, OUT, console service, INP
    case 0x60: increment(s, s.X); break;                        // IRX
    [[unlikely]] case 0x61 ... 0x67:                                         // OUT
        if constexpr (kBoard) {
            bus.output_port(n, operand(s, m, bus));
        } else {
            s.D = operand(s, m, bus);
            bus.io->output_port(n, s.D);
        }
        increment(s, s.X);
        break;
    [[unlikely]] case 0x68:                                                  // console service
        if constexpr (Bus::kExtended)
            return perform_extended(s, m, bus, policy);
        else if constexpr (kBoard)
            return board_input(s, m, bus, policy, 0);  // undefined on a plain 1802: port 0, no device
        else
            return console_service(s, *bus.io, m[s.pc]);
    [[unlikely]] case 0x69 ... 0x6F:                                         // INP
        if constexpr (kBoard)
            return board_input(s, m, bus, policy, n & 7);
        else
            return input(s, m, bus, policy, n & 7);
    // 7x: control and arithmetic with carry
    [[unlikely]] case 0x70:                                                  // RET
        if constexpr (kBoard) {
            return_from_interrupt(s, m, bus, 1);
            break;
        } else {
            return StepResult::Stop;  // stops a run, changes nothing
        }
    [[unlikely]] case 0x71:                                                  // DIS
        return_from_interrupt(s, m, bus, 0);
        if constexpr (kBoard)
            break;
        else
            return StepResult::Stop;
    case 0x72: s.D = operand(s, m, bus); increment(s, s.X); break;  // LDXA
    case 0x73: store(bus, policy, m, s.r(s.X), s.D); decrement(s, s.X); break;  // STXD
    case 0x74: add(s, operand(s, m, bus), s.DF); break;         // ADC
    case 0x75: subtract(s, operand(s, m, bus), s.D, 1 - s.DF); break;  // SDB
    case 0x76: {                                                // SHRC
        const uint8_t carry_out = s.D & 1;
        s.D = static_cast<uint8_t>(s.D >> 1 | s.DF << 7);
        s.DF = carry_out;
        break;
    }
    case 0x77: subtract(s, s.D, operand(s, m, bus), 1 - s.DF); break;  // SMB
    case 0x78: store(bus, policy, m, s.r(s.X), s.T); break;     // SAV
    [[unlikely]] case 0x79:                                                  // MARK
        s.T = static_cast<uint8_t>(s.X << 4 | s.P);
        store(bus, policy, m, s.r(2), s.T);
        s.X = s.P;
        decrement(s, 2);
        if constexpr (kBoard)
            break;
        else
            return StepResult::Stop;
    [[unlikely]] case 0x7A: set_q(s, bus, 0); break;                         // REQ
    [[unlikely]] case 0x7B: set_q(s, bus, 1); break;                         // SEQ
    case 0x7C: add(s, immediate(s, m, bus), s.DF); break;       // ADCI
    case 0x7D: subtract(s, immediate(s, m, bus), s.D, 1 - s.DF); break;  // SDBI
    case 0x7E: {                                                // SHLC
        const uint8_t carry_out = s.D >> 7;
        s.D = static_cast<uint8_t>(s.D << 1 | s.DF);
        s.DF = carry_out;
        break;
    }
    case 0x7F: subtract(s, s.D, immediate(s, m, bus), 1 - s.DF); break;  // SMBI
    // 8x-Bx: register bytes to and from D
    case 0x80 ... 0x8F: s.D = low_byte(s.r(n)); break;          // GLO
    case 0x90 ... 0x9F: s.D = high_byte(s.r(n)); break;         // GHI
    case 0xA0 ... 0xAF: s.set_r(n, with_low_byte(s.r(n), s.D)); break;   // PLO
    case 0xB0 ... 0xBF: s.set_r(n, with_high_byte(s.r(n), s.D)); break;  // PHI
    // Cx: long branches and long skips
    case 0xC0: long_branch(s, m, bus, true); break;             // LBR
    case 0xC1: long_branch(s, m, bus, s.Q == 1); break;         // LBQ
    case 0xC2: long_branch(s, m, bus, s.D == 0); break;         // LBZ
    case 0xC3: long_branch(s, m, bus, s.DF == 1); break;        // LBDF
    case 0xC4: third_cycle(bus); break;                         // NOP
    case 0xC5: long_skip(s, bus, s.Q == 0); break;              // LSNQ
    case 0xC6: long_skip(s, bus, s.D != 0); break;              // LSNZ
    case 0xC7: long_skip(s, bus, s.DF == 0); break;             // LSNF
    case 0xC8: long_skip(s, bus, true); break;                  // NLBR
    case 0xC9: long_branch(s, m, bus, s.Q == 0); break;         // LBNQ
    case 0xCA: long_branch(s, m, bus, s.D != 0); break;         // LBNZ
    case 0xCB: long_branch(s, m, bus, s.DF == 0); break;        // LBNF
    case 0xCC: long_skip(s, bus, s.IE == 1); break;             // LSIE
    case 0xCD: long_skip(s, bus, s.Q == 1); break;              // LSQ
    case 0xCE: long_skip(s, bus, s.D == 0); break;              // LSZ
    case 0xCF: long_skip(s, bus, s.DF == 1); break;             // LSDF
    // Dx, Ex: SEP, SEX
    case 0xD0 ... 0xDF: s.set_p(n); break;                      // SEP
    case 0xE0 ... 0xEF: s.X = static_cast<uint8_t>(n); break;   // SEX
    // Fx: logic and arithmetic on M(R(X)), and immediate
    case 0xF0: s.D = operand(s, m, bus); break;                 // LDX
    case 0xF1: s.D |= operand(s, m, bus); break;                // OR
    case 0xF2: s.D &= operand(s, m, bus); break;                // AND
    case 0xF3: s.D ^= operand(s, m, bus); break;                // XOR
    case 0xF4: add(s, operand(s, m, bus), 0); break;            // ADD
    case 0xF5: subtract(s, operand(s, m, bus), s.D, 0); break;  // SD
    case 0xF6: s.DF = s.D & 1; s.D >>= 1; break;                // SHR
    case 0xF7: subtract(s, s.D, operand(s, m, bus), 0); break;  // SM
    case 0xF8: s.D = immediate(s, m, bus); break;               // LDI
    case 0xF9: s.D |= immediate(s, m, bus); break;              // ORI
    case 0xFA: s.D &= immediate(s, m, bus); break;              // ANI
    case 0xFB: s.D ^= immediate(s, m, bus); break;              // XRI
    case 0xFC: add(s, immediate(s, m, bus), 0); break;          // ADI
    case 0xFD: subtract(s, immediate(s, m, bus), s.D, 0); break;  // SDI
    case 0xFE: s.DF = s.D >> 7; s.D = static_cast<uint8_t>(s.D << 1); break;  // SHL
    case 0xFF: subtract(s, s.D, immediate(s, m, bus), 0); break;  // SMI
    }
    return StepResult::Continue;
}

// An instruction on the 1804/1805/1806. The counter counts its machine cycles
// as it ends, save those of STPC and of the instructions that start the counter.
// The console machine then takes a counter interrupt at once, where a board's
// look between instructions would.
template <class Bus, class Policy>
[[gnu::always_inline]] inline StepResult perform_on_extended_set(Cpu& s, Memory& m, Bus& bus, uint8_t opcode,
                                                                 Policy& policy)
{
    const uint8_t second = opcode == kExtendedPrefix ? bus.peek(m, static_cast<uint16_t>(s.pc + 1)) : 0;
    const StepResult result = perform_instruction(s, m, bus, opcode, policy);
    if (result == StepResult::Cancel)
        return result;
    if (!sets_counter_mode(opcode, second))
        counter_runs(s, bus, instruction_info(opcode, second, true).cycles);
    if constexpr (!Bus::kBoard) {
        if (interrupt_taken<Bus>(s, false)) {
            enter_interrupt(s);
            counter_runs(s, bus, 1);
            policy.interrupt_taken();
        }
    }
    return result;
}

// Every instruction, on the instruction set of its bus.
template <class Bus, class Policy>
[[gnu::always_inline]] inline StepResult perform(Cpu& s, Memory& m, Bus& bus, uint8_t opcode, Policy& policy)
{
    if constexpr (Bus::kExtended)
        return perform_on_extended_set(s, m, bus, opcode, policy);
    else
        return perform_instruction(s, m, bus, opcode, policy);
}

// The policy of plain runs: stores land where the bus says, and nothing else is
// watched.
struct PlainRun {
    static constexpr bool kSeesEachState = false;

    template <class Bus>
    static constexpr bool before(const Cpu&, uint8_t, uint64_t, const Bus&)
    {
        return false;
    }
    static void store(Memory& m, uint16_t address, uint8_t value, bool lands)
    {
        if (lands)
            m[address] = value;
    }
    static constexpr bool after(const Cpu&, uint64_t) { return false; }
    static constexpr void cancel() {}
    static constexpr void dma(const Cpu&, bool, uint16_t, uint8_t) {}
    static constexpr void interrupt_taken() {}
};

// Every instruction takes two machine cycles, fetch and execute, and some a
// third (third_cycle).
constexpr uint64_t kMachineCycles = 2;

// How the look between two instructions on a board ended.
enum class BoardWait : uint8_t {
    Continue,
    Pause,   // the run's pause_at has come
    Asleep,  // in an IDLE, with nothing to come that could wake it, or a single step
};

// One DMA cycle: a byte between the device and M(R0), then R0 + 1.
template <class Bus, class Policy>
void dma_cycle(Cpu& cpu, Memory& m, Bus& bus, Policy& policy, bool in)
{
    const uint16_t address = cpu.r(0);
    const uint8_t byte = in ? bus.devices->dma_in(bus.cycles) : bus.read(m, address);
    policy.dma(cpu, in, address, byte);
    if (in)
        store(bus, policy, m, address, byte, /*guarded=*/false);
    else
        bus.devices->dma_out(byte, bus.cycles);
    cpu.set_r(0, static_cast<uint16_t>(address + 1));
    ++bus.cycles;
    counter_runs(cpu, bus, 1);
    bus.idle = false;
}

template <class Bus>
void take_interrupt(Cpu& cpu, Bus& bus)
{
    enter_interrupt(cpu);
    ++bus.cycles;
    counter_runs(cpu, bus, 1);
    bus.idle = false;
}

// Between two instructions on a board, in the datasheet's order: the devices
// whose time has come act, DMA cycles run while a device requests them (DMA in
// first), then the interrupt is taken if its line is active and IE is 1 (on the
// extended set, the counter's request too, each under its enable). Only then
// may a run pause. In an IDLE the processor waits: the clock skips ahead to the
// next event, the counter's underflow or the pause, unless waits is false (a
// single step) or nothing can come to wake it. A run that ends in an IDLE leaves
// the program counter on it, with bus.idle set.
template <class Bus, class Policy>
[[gnu::noinline]] BoardWait between_instructions(Cpu& cpu, Memory& m, Bus& bus, Policy& policy, bool waits)
{
    BoardDevices& devices = *bus.devices;
    BoardWait wait = BoardWait::Continue;
    for (;;) {
        devices.run_due(bus.cycles);
        const BoardLines lines = devices.lines();
        if (lines.dma_in || lines.dma_out) {
            dma_cycle(cpu, m, bus, policy, lines.dma_in);
        } else if (interrupt_taken<Bus>(cpu, lines.interrupt)) {
            take_interrupt(cpu, bus);
        } else if (bus.cycles >= bus.pause_at) {
            wait = BoardWait::Pause;
            break;
        } else if (!bus.idle) {
            break;
        } else {
            // The clock goes on to the next event, and on the extended set no
            // further than the counter's next underflow, which only wakes the
            // processor where its interrupt is let in.
            const uint64_t event = devices.next_event();
            uint64_t underflow = kNever;
            if constexpr (Bus::kExtended) {
                if (const uint64_t to_underflow = cycles_to_underflow(cpu.counter); to_underflow != kNever)
                    underflow = bus.cycles + to_underflow;
            }
            const bool counter_wakes = underflow != kNever && cpu.IE && cpu.counter.CIE;
            if (!waits || (event == kNever && !counter_wakes)) {
                wait = BoardWait::Asleep;
                break;
            }
            const uint64_t waited_from = bus.cycles;
            bus.cycles = std::max(bus.cycles, std::min({event, underflow, bus.pause_at}));
            counter_runs(cpu, bus, bus.cycles - waited_from);
        }
    }
    if (bus.idle)
        --cpu.pc;
    bus.attention_at = std::min(devices.next_event(), bus.pause_at);
    return wait;
}

// One instruction, whatever it is: the policy sees it, but cannot stop it. On a
// board the processor does not wait in an IDLE for a single step.
template <class Bus, class Policy>
StepResult step_on(MachineState& state, Memory& memory, Bus& bus, Policy& policy)
{
    Cpu cpu(state);
    if constexpr (Bus::kBoard) {
        bus.idle = false;
        bus.pause_at = kNever;
    }
    const uint8_t opcode = bus.read(memory, cpu.pc);
    policy.before(cpu, opcode, 0, bus);
    const StepResult result = perform(cpu, memory, bus, opcode, policy);
    if (result == StepResult::Cancel) {
        policy.cancel();
        return result;
    }
    latch(cpu, opcode);
    if constexpr (Bus::kBoard) {
        bus.cycles += kMachineCycles;
        between_instructions(cpu, memory, bus, policy, /*waits=*/false);
    }
    policy.after(cpu, 1);
    state = cpu.machine();
    return result;
}

template <class Policy>
StepResult step_with(MachineState& state, Memory& memory, HostIo& io, Policy& policy,
                     const ProtectedWindow& window, bool extended)
{
    ConsoleBus bus{&io, window};
    return on_instruction_set(bus, extended, [&](auto& on) { return step_on(state, memory, on, policy); });
}

// Where a stretch of a board's run stopped.
enum class StretchEnd : uint8_t {
    Limit,      // the run's limit of instructions is reached
    Look,       // an instruction has run and the devices' time has come
    Done,       // the policy stopped the run
};

// Instructions on a board until the devices' time comes. The stretch works on
// copies that nothing outside it can see and calls out only for what the
// instructions themselves do, so that the compiler can keep the processor in
// machine registers; the look at the devices happens outside it.
template <class Bus, class Policy>
[[gnu::noinline]] StretchEnd run_stretch(MachineState& state, Memory& memory, Bus& caller_bus, Policy& caller_policy,
                                         uint64_t limit, uint64_t& executed, uint8_t& last_opcode)
{
    Cpu cpu(state);
    Bus bus = caller_bus;
    Policy policy = caller_policy;
    // One count, down to the limit, instead of a count and the limit: a machine
    // register fewer for the loop to keep.
    uint64_t left = limit - executed;
    uint8_t last = last_opcode;
    StretchEnd end = StretchEnd::Limit;
    while (left != 0) {
        const uint8_t opcode = bus.read(memory, cpu.pc);
        if (policy.before(cpu, opcode, limit - left, bus)) [[unlikely]] {
            end = StretchEnd::Done;
            break;
        }
        perform(cpu, memory, bus, opcode, policy);  // a board's instructions neither stop a run nor cancel
        --left;
        last = opcode;
        if constexpr (Policy::kSeesEachState)
            latch(cpu, opcode);
        bus.cycles += kMachineCycles;
        if (bus.cycles >= bus.attention_at) [[unlikely]] {
            end = StretchEnd::Look;
            break;
        }
        if (policy.after(cpu, limit - left)) [[unlikely]] {
            end = StretchEnd::Done;
            break;
        }
    }
    state = cpu.machine();
    caller_bus = bus;
    caller_policy = policy;
    executed = limit - left;
    last_opcode = last;
    return end;
}

// A board's run: stretches of instructions, and between them the look at the
// devices, after which the policy sees the instruction that ended the stretch.
// It ends when the policy stops it, when limit instructions have run, at the
// bus's pause_at, marked stopped, or in an IDLE that nothing can wake. N and I
// are latched as on the console machine (run_on below).
template <class Bus, class Policy>
    requires Bus::kBoard
RunResult run_on(MachineState& state, Memory& memory, Bus& bus, Policy& policy, uint64_t limit = kNoLimit)
{
    RunResult result;
    BoardWait wait = BoardWait::Continue;
    uint8_t last_opcode = 0;
    bool policy_stopped = false;
    // The look, and the policy's view of the instruction before it, on the
    // processor as the stretch left it.
    const auto look = [&](bool resumes_idle) {
        Cpu cpu(state);
        if (resumes_idle)
            ++cpu.pc;
        wait = between_instructions(cpu, memory, bus, policy, /*waits=*/true);
        if (!resumes_idle)
            policy_stopped = policy.after(cpu, result.executed);
        state = cpu.machine();
    };
    bus.attention_at = 0;  // the devices may have changed since the last run
    if (bus.idle && bus.peek(memory, state.R[state.P]) == 0x00)  // still waiting in the IDLE
        look(/*resumes_idle=*/true);
    bus.idle = wait != BoardWait::Continue;
    while (wait == BoardWait::Continue && !policy_stopped) {
        if (run_stretch(state, memory, bus, policy, limit, result.executed, last_opcode) != StretchEnd::Look)
            break;
        look(/*resumes_idle=*/false);
    }
    result.stopped = wait == BoardWait::Pause && !policy_stopped;
    if (result.executed > 0)
        latch(state, last_opcode);
    return result;
}

// Instructions on the console machine until one returns stop, the policy stops
// the run, or limit instructions have run. A run also ends in front of an IDLE
// (00), which is left unexecuted, and when the user interrupts. An instruction
// that is cancelled is not counted, and ends the run, stopped. N and I are
// latched from the last executed opcode as the run ends, or after each
// instruction for a policy that sees them.
template <class Bus, class Policy>
    requires(!Bus::kBoard)
RunResult run_on(MachineState& state, Memory& memory, Bus& caller_bus, Policy& caller_policy,
                 uint64_t limit = kNoLimit)
{
    Policy policy = caller_policy;  // locals, which the compiler can keep in machine registers
    Bus bus = caller_bus;
    Cpu cpu(state);
    RunResult result;
    uint8_t last_opcode = 0;
    for (;;) {
        const uint64_t stretch_end = std::min(limit, result.executed + kInterruptPollInterval);
        while (result.executed != stretch_end) {
            const uint8_t opcode = bus.read(memory, cpu.pc);
            if (opcode == 0x00)
                goto done;
            if (policy.before(cpu, opcode, result.executed, bus)) [[unlikely]]
                goto done;
            const StepResult step = perform(cpu, memory, bus, opcode, policy);
            if (step != StepResult::Continue) [[unlikely]] {
                result.stopped = true;
                if (step == StepResult::Cancel) {
                    policy.cancel();
                } else {
                    last_opcode = opcode;
                    latch(cpu, opcode);
                    policy.after(cpu, ++result.executed);
                }
                goto done;
            }
            ++result.executed;
            last_opcode = opcode;
            if constexpr (Policy::kSeesEachState)
                latch(cpu, opcode);
            if (policy.after(cpu, result.executed)) [[unlikely]]
                goto done;
        }
        if (result.executed == limit || bus.poll())
            break;
    }
    result.stopped = result.executed != limit;  // the user interrupted it
done:
    if (result.executed > 0)
        latch(cpu, last_opcode);
    state = cpu.machine();
    caller_policy = policy;
    return result;
}

// The action, given the bus as the instruction set wants it: the bus itself for
// the 1802's, or an Extended copy for the 1804/1805/1806's, whose changes are
// copied back. The choice is made once a run, so each set has a loop of its own.
template <class Bus, class Action>
decltype(auto) on_instruction_set(Bus& bus, bool extended, Action&& action)
{
    if (!extended)
        return action(bus);
    Extended<Bus> wide{bus};
    struct CopyBack {
        Bus& bus;
        Extended<Bus>& wide;
        ~CopyBack() { bus = wide; }
    } copy_back{bus, wide};
    return action(wide);
}

template <class Policy>
RunResult run_with(MachineState& state, Memory& memory, HostIo& io, Policy& policy, const ProtectedWindow& window,
                   uint64_t limit, bool extended)
{
    ConsoleBus bus{&io, window};
    return on_instruction_set(bus, extended, [&](auto& on) { return run_on(state, memory, on, policy, limit); });
}

}  // namespace cosmac
