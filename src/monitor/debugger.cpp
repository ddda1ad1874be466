#include "monitor/debugger.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "cpu/disassembler.hpp"
#include "cpu/execution.hpp"
#include "monitor/hex_number.hpp"

namespace cosmac {

constexpr uint8_t kCall = 0xD4;    // SEP R4: the standard call, its target address inline after it
constexpr uint8_t kReturn = 0xD5;  // SEP R5: the standard return

namespace {

std::string breakpoint_reason(uint16_t address)
{
    char text[32];
    std::snprintf(text, sizeof text, "Breakpoint at %04x", address);
    return text;
}

std::string watchpoint_reason(const HistoryRecord& record)
{
    char text[96];
    if (record.dropped())
        std::snprintf(text, sizeof text, "Watchpoint: %04x written by %04x, dropped by the protected window",
                      record.store_address, record.pc);
    else
        std::snprintf(text, sizeof text, "Watchpoint: %04x written by %04x, %02x -> %02x", record.store_address,
                      record.pc, record.old_byte, record.new_byte);
    return text;
}

}  // namespace

// Why a debugger's run stopped, beyond what a plain run knows.
enum class StopKind : uint8_t { None, Goal, Breakpoint, Watchpoint };

// The run policy of debugger mode. Before each instruction it checks the
// breakpoints (one load, whatever their number) and the goal of n and o, and
// records the instruction in the history; every store is recorded and checked
// against the watched ranges; after each instruction it prints the trace. The
// goal and the trace are template arguments, so that g checks only what g needs.
//
// The run loop keeps a copy of it as a local, so that it must stay a plain value
// that nothing else points to: the compiler then holds its fields in machine
// registers, where stores into memory cannot reach them.
template <RunGoal kGoal, bool kTrace>
struct DebugRun {
    Debugger* debugger;
    const Memory* memory;
    ProtectedWindow window;
    const bool* at_breakpoint;
    const bool* watched;
    HistoryRecord* ring;
    uint32_t next;    // the ring's next slot
    uint64_t limit;   // instructions to execute, for Count
    uint8_t home_p;   // the P that n and o step at
    uint16_t target;  // where n comes back to: after the Call's address, or after the SEP

    int depth = 0;           // standard calls entered and not yet returned, at home_p
    bool returning = false;  // o has seen the return; it stops when P is home_p again
    StopKind stop = StopKind::None;
    uint16_t stop_address = 0;       // of the breakpoint
    uint64_t long_instructions = 0;  // long branches and skips take a third machine cycle

    [[gnu::always_inline]] bool before(const Cpu& cpu, uint8_t opcode, uint64_t executed)
    {
        if (at_breakpoint[cpu.pc] && executed != 0) [[unlikely]] {  // g continues from a breakpoint
            stop = StopKind::Breakpoint;
            stop_address = cpu.pc;
            return true;
        }
        if constexpr (kGoal == RunGoal::StepOver || kGoal == RunGoal::StepOut) {
            if (executed != 0 && reached_goal(cpu))
                return true;
            if (cpu.P == home_p)
                follow_calls(cpu, opcode);
        }
        long_instructions += opcode >> 4 == 0xC;
        HistoryRecord& record = ring[next];
        record.pc = cpu.pc;
        record.r_n = cpu.registers[opcode & 0xF];
        record.r_x = cpu.registers[cpu.X];
        record.r_2 = cpu.registers[2];
        record.opcode = opcode;
        record.p_x = static_cast<uint8_t>(cpu.P << 4 | cpu.X);
        record.i_n = static_cast<uint8_t>(cpu.I << 4 | cpu.N);
        record.D = cpu.D;
        record.bits = cpu.DF;
        if (changes_rare_fields(opcode)) [[unlikely]] {
            record.T = cpu.T;
            record.EF4 = cpu.EF4;
            record.bits |= static_cast<uint8_t>(HistoryRecord::kRare | cpu.IE << 1 | cpu.Q << 2);
        }
        next = (next + 1) % History::kCapacity;
        return false;
    }

    [[gnu::always_inline]] void store(Memory& m, uint16_t address, uint8_t value, bool guarded)
    {
        HistoryRecord& record = ring[(next + History::kCapacity - 1) % History::kCapacity];
        const bool dropped = guarded && window.contains(address);
        record.bits |= HistoryRecord::kHasStore | (dropped ? HistoryRecord::kDropped : 0);
        record.store_address = address;
        record.old_byte = m[address];
        record.new_byte = value;
        if (!dropped)
            m[address] = value;
        if (watched[address]) [[unlikely]]
            stop = StopKind::Watchpoint;
    }

    [[gnu::always_inline]] bool after(const Cpu& cpu, uint64_t executed)
    {
        if constexpr (kTrace)
            print_trace(cpu.machine());
        if constexpr (kGoal == RunGoal::Count)
            return stop != StopKind::None || executed == limit;
        return stop != StopKind::None;
    }

private:
    bool reached_goal(const Cpu& cpu)
    {
        if (kGoal == RunGoal::StepOver ? cpu.pc == target && cpu.P == home_p && depth <= 0
                                       : returning && cpu.P == home_p)
            stop = StopKind::Goal;
        return stop == StopKind::Goal;
    }

    // The standard call and return change depth; o also ends at a return from
    // depth 0, or after a plain SEP that hands the program counter back to a caller.
    void follow_calls(const Cpu& cpu, uint8_t opcode)
    {
        if (opcode == kCall) {
            ++depth;
        } else if (opcode == kReturn) {
            returning = returning || depth == 0;
            --depth;
        } else if (opcode >> 4 == 0xD && (opcode & 0xF) != cpu.P && depth == 0 && kGoal == RunGoal::StepOut) {
            stop = StopKind::Goal;
        }
    }

    void print_trace(const MachineState& after_state) const
    {
        HistoryStep step{&ring[(next + History::kCapacity - 1) % History::kCapacity], after_state, after_state};
        restore_registers(step.before, *step.record);
        debugger->console_.write(debugger->trace_line(*memory, step));
    }
};

bool Debugger::toggle_breakpoint(uint16_t address)
{
    const bool set = breakpoints_.insert(address).second;
    if (!set)
        breakpoints_.erase(address);
    at_breakpoint_[address] = set;
    return set;
}

bool Debugger::toggle_watchpoint(uint16_t first, uint32_t length)
{
    const bool set = watchpoints_.insert({first, length}).second;
    if (!set)
        watchpoints_.erase({first, length});
    rebuild_watched();
    return set;
}

void Debugger::rebuild_watched()
{
    watched_.fill(false);
    for (const auto& [first, length] : watchpoints_) {
        for (uint32_t i = 0; i < length; ++i)
            watched_[static_cast<uint16_t>(first + i)] = true;
    }
}

template <RunGoal kGoal, bool kTrace>
DebugOutcome Debugger::run_toward(MachineState& state, Memory& memory, HostIo& io, uint64_t count)
{
    const uint16_t pc = state.R[state.P];
    DebugRun<kGoal, kTrace> policy{this,
                                   &memory,
                                   window_,
                                   at_breakpoint_.data(),
                                   watched_.data(),
                                   history_.ring(),
                                   history_.next_slot(),
                                   count,
                                   state.P,
                                   static_cast<uint16_t>(pc + (memory[pc] == kCall ? 3 : 1))};
    DebugOutcome outcome;
    outcome.result = run_with(state, memory, io, policy);
    history_.recorded(outcome.result.executed, state);
    outcome.cycles = 2 * outcome.result.executed + policy.long_instructions;
    if (policy.stop == StopKind::Breakpoint)
        outcome.reason = breakpoint_reason(policy.stop_address);
    else if (policy.stop == StopKind::Watchpoint)
        outcome.reason = watchpoint_reason(history_.newest());
    return outcome;
}

DebugOutcome Debugger::run(MachineState& state, Memory& memory, HostIo& io, RunGoal goal, uint64_t count, bool trace)
{
    switch (goal) {
    case RunGoal::Go:
        return run_toward<RunGoal::Go, false>(state, memory, io, count);
    case RunGoal::StepOver:
        return run_toward<RunGoal::StepOver, false>(state, memory, io, count);
    case RunGoal::StepOut:
        return run_toward<RunGoal::StepOut, false>(state, memory, io, count);
    case RunGoal::Count:
        break;
    }
    return trace ? run_toward<RunGoal::Count, true>(state, memory, io, count)
                 : run_toward<RunGoal::Count, false>(state, memory, io, count);
}

void Debugger::step(MachineState& state, Memory& memory, HostIo& io)
{
    DebugRun<RunGoal::Count, false> policy{this,           &memory, window_, at_breakpoint_.data(), watched_.data(),
                                           history_.ring(), history_.next_slot(), 1, state.P, 0};
    step_with(state, memory, io, policy);
    history_.recorded(1, state);
}

std::size_t Debugger::step_back(MachineState& state, Memory& memory, std::size_t count)
{
    std::size_t undone = 0;
    for (; undone < count && history_.size() > 0; ++undone)
        history_.undo(state, memory);
    return undone;
}

std::string Debugger::run_back(MachineState& state, Memory& memory)
{
    for (std::size_t undone = 0; history_.size() > 0; ++undone) {
        const HistoryRecord record = history_.newest();
        history_.undo(state, memory);
        if (at_breakpoint_[record.pc])
            return breakpoint_reason(record.pc);
        if (record.has_store() && watched_[record.store_address])
            return watchpoint_reason(record);
        if (undone % kInterruptPollInterval == kInterruptPollInterval - 1 && console_.interrupt_requested())
            return "Break";
    }
    return {};
}

std::string Debugger::trace_line(const Memory& memory, const HistoryStep& step) const
{
    const MachineState& before = step.before;
    const MachineState& after = step.after;
    const HistoryRecord& record = *step.record;
    const uint16_t address = record.pc;
    std::string line = disassemble(memory, address).line;
    line.pop_back();  // the newline

    std::string changes;
    char text[32];
    const auto show = [&](const char* format, unsigned value) {
        std::snprintf(text, sizeof text, format, value);
        changes += text;
    };
    const struct {
        const char* format;
        uint8_t MachineState::*field;
    } fields[] = {
        {" D=%02x", &MachineState::D},     {" DF=%x", &MachineState::DF},     {" P=%x", &MachineState::P},
        {" X=%x", &MachineState::X},       {" T=%02x", &MachineState::T},     {" IE=%x", &MachineState::IE},
        {" Q=%x", &MachineState::Q},       {" EF1=%02x", &MachineState::EF1}, {" EF2=%02x", &MachineState::EF2},
        {" EF3=%02x", &MachineState::EF3}, {" EF4=%02x", &MachineState::EF4},
    };
    for (const auto& [format, field] : fields) {
        if (before.*field != after.*field)
            show(format, after.*field);
    }
    for (unsigned n = 0; n < 16; ++n) {
        if (n != before.P && before.R[n] != after.R[n]) {  // R(P) moves on every instruction
            std::snprintf(text, sizeof text, " R%X=%04x", n, after.R[n]);
            changes += text;
        }
    }
    if (record.has_store()) {
        std::snprintf(text, sizeof text, " M(%04x)=%02x%s", record.store_address, record.new_byte,
                      record.dropped() ? " dropped" : "");
        changes += text;
    }
    if (!changes.empty()) {
        constexpr std::size_t kChangesColumn = 20;
        line.resize(std::max(line.size() + 1, kChangesColumn), ' ');
        line += changes.substr(1);
    }
    return label_lines(address) + line + "\n";
}

std::string Debugger::cycles_line(uint64_t cycles) const
{
    char text[96];
    std::snprintf(text, sizeof text, "%" PRIu64 " machine cycles, %.3f ms at %g MHz\n", cycles,
                  static_cast<double>(cycles) * 8 / (clock_mhz_ * 1000), clock_mhz_);
    return text;
}

void Debugger::add_symbols(const std::vector<SymbolEntry>& symbols)
{
    for (const SymbolEntry& symbol : symbols) {
        if (symbols_.emplace(symbol.name, symbol.address).second)  // the first definition of a name holds
            labels_.emplace(symbol.address, symbol.name);
    }
}

std::string Debugger::label_lines(uint16_t address) const
{
    std::string lines;
    for (auto [it, end] = labels_.equal_range(address); it != end; ++it)
        lines += it->second + ":\n";
    return lines;
}

std::optional<uint16_t> Debugger::address_of(std::string_view word) const
{
    std::size_t position = 0;
    if (const auto number = parse_hex(word, position); number && position == word.size())
        return static_cast<uint16_t>(*number);
    if (const auto it = symbols_.find(word); it != symbols_.end())
        return it->second;
    return std::nullopt;
}

}  // namespace cosmac
