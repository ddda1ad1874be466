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

// The run policy of debugger mode. Before each instruction it checks the
// breakpoints (one load, whatever their number) and the goal of n and o, and
// records the instruction in the history; every store is recorded and checked
// against the watched ranges; after each instruction it prints the trace.
struct DebugRun {
    DebugRun(Debugger& d, const MachineState& start, const Memory& m, RunGoal g, uint64_t instructions, bool t)
        : debugger(d), memory(m), goal(g), limit(instructions), trace(t), home_p(start.P)
    {
        const uint16_t pc = start.R[start.P];
        target = static_cast<uint16_t>(pc + (m[pc] == kCall ? 3 : 1));
    }

    Debugger& debugger;
    const Memory& memory;
    RunGoal goal;
    uint64_t limit;  // instructions to execute, 0 for no limit
    bool trace;

    uint8_t home_p;          // the P that n and o step at
    uint16_t target;         // where n comes back to: after the Call's address, or after the SEP
    int depth = 0;          // standard calls entered and not yet returned, at home_p
    bool returning = false;  // o has seen the return; it stops when P is home_p again
    bool leaving = false;    // o has seen a SEP away from home_p: it stops after it
    bool first = true;
    uint64_t executed = 0;
    uint64_t cycles = 0;
    std::string reason;

    bool before(const Cpu& cpu, uint8_t opcode)
    {
        if (!first && stops_before(cpu))
            return true;
        first = false;
        if (cpu.P == home_p && goal != RunGoal::Go)
            follow_calls(cpu, opcode);
        cycles += opcode >> 4 == 0xC ? 3 : 2;  // long branches and skips take a third machine cycle
        debugger.history_.push().before = cpu.machine();
        return false;
    }

    void store(Memory& m, uint16_t address, uint8_t value, bool guarded)
    {
        HistoryRecord& record = debugger.history_.newest();
        record.has_store = true;
        record.dropped = guarded && ProtectedWindow::contains(address);
        record.store_address = address;
        record.old_byte = m[address];
        record.new_byte = value;
        if (!record.dropped)
            m[address] = value;
        if (debugger.watched_[address]) [[unlikely]] {
            char text[96];
            const uint16_t writer = record.before.R[record.before.P];
            if (record.dropped)
                std::snprintf(text, sizeof text, "Watchpoint: %04x written by %04x, dropped by the protected window",
                              address, writer);
            else
                std::snprintf(text, sizeof text, "Watchpoint: %04x written by %04x, %02x -> %02x", address, writer,
                              record.old_byte, value);
            reason = text;
        }
    }

    bool after(const Cpu& cpu)
    {
        if (trace)
            debugger.console_.write(debugger.trace_line(memory, debugger.history_.newest(), cpu.machine()));
        return !reason.empty() || leaving || ++executed == limit;
    }

private:
    bool stops_before(const Cpu& cpu)
    {
        if (debugger.at_breakpoint_[cpu.pc]) [[unlikely]] {
            char text[32];
            std::snprintf(text, sizeof text, "Breakpoint at %04x", cpu.pc);
            reason = text;
            return true;
        }
        if (goal == RunGoal::StepOver)
            return cpu.pc == target && cpu.P == home_p && depth <= 0;
        return goal == RunGoal::StepOut && returning && cpu.P == home_p;
    }

    // The standard call and return change depth; o also ends at a return from
    // depth 0, or at a plain SEP that hands the program counter back to a caller.
    void follow_calls(const Cpu& cpu, uint8_t opcode)
    {
        if (opcode == kCall) {
            ++depth;
        } else if (opcode == kReturn) {
            if (depth == 0 && goal == RunGoal::StepOut)
                returning = true;
            --depth;
        } else if (opcode >> 4 == 0xD && (opcode & 0xF) != cpu.P && depth == 0 && goal == RunGoal::StepOut) {
            leaving = true;
        }
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

DebugOutcome Debugger::run(MachineState& state, Memory& memory, HostIo& io, RunGoal goal, uint64_t count, bool trace)
{
    DebugRun policy(*this, state, memory, goal, count, trace);
    DebugOutcome outcome;
    outcome.result = run_with(state, memory, io, policy);
    if (outcome.result.executed > 0) {
        history_.newest().after = state;
        history_.newest().has_after = true;
    }
    outcome.reason = std::move(policy.reason);
    outcome.cycles = policy.cycles;
    return outcome;
}

void Debugger::step(MachineState& state, Memory& memory, HostIo& io)
{
    DebugRun policy(*this, state, memory, RunGoal::Count, 1, false);
    step_with(state, memory, io, policy);
    history_.newest().after = state;
    history_.newest().has_after = true;
}

void Debugger::undo_newest(MachineState& state, Memory& memory)
{
    const HistoryRecord& record = history_.newest();
    state = record.before;
    if (record.has_store && !record.dropped)
        memory[record.store_address] = record.old_byte;
    history_.pop();
    if (history_.size() > 0) {  // it now ends where the undone instruction began
        history_.newest().after = state;
        history_.newest().has_after = true;
    }
}

std::size_t Debugger::step_back(MachineState& state, Memory& memory, std::size_t count)
{
    std::size_t undone = 0;
    for (; undone < count && history_.size() > 0; ++undone)
        undo_newest(state, memory);
    return undone;
}

std::string Debugger::run_back(MachineState& state, Memory& memory)
{
    for (std::size_t undone = 0; history_.size() > 0; ++undone) {
        const HistoryRecord record = history_.newest();
        undo_newest(state, memory);
        const uint16_t address = record.before.R[record.before.P];
        char text[96];
        if (at_breakpoint_[address]) {
            std::snprintf(text, sizeof text, "Breakpoint at %04x", address);
            return text;
        }
        if (record.has_store && watched_[record.store_address]) {
            std::snprintf(text, sizeof text, "Watchpoint: %04x written by %04x", record.store_address, address);
            return text;
        }
        if (undone % kInterruptPollInterval == kInterruptPollInterval - 1 && console_.interrupt_requested())
            return "Break";
    }
    return {};
}

std::string Debugger::trace_line(const Memory& memory, const HistoryRecord& record, const MachineState& after) const
{
    const MachineState& before = record.before;
    const uint16_t address = before.R[before.P];
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
    if (record.has_store) {
        std::snprintf(text, sizeof text, " M(%04x)=%02x%s", record.store_address, record.new_byte,
                      record.dropped ? " dropped" : "");
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
