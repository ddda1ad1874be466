// Debugger mode: breakpoints, watchpoints on stores, stepping over and out of
// calls, tracing, a history of executed instructions that can be stepped back
// through, machine cycles and symbols. The plain monitor never creates one, so
// none of this costs a plain run anything.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cpu/executor.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"
#include "image/symbol_file.hpp"
#include "monitor/console.hpp"
#include "monitor/history.hpp"

namespace cosmac {

enum class RunGoal {
    Go,        // g
    StepOver,  // n over a call
    StepOut,   // o
    Count,     // t, or n on an instruction that calls nothing
};

template <RunGoal kGoal, bool kTrace>
struct DebugRun;

struct DebugOutcome {
    RunResult result;
    std::string reason;  // "Breakpoint at 0100", a watchpoint's message, or empty
    uint64_t cycles = 0;
};

class Debugger {
public:
    Debugger(Console& console, double clock_mhz, const ProtectedWindow& window)
        : console_(console), clock_mhz_(clock_mhz), window_(window)
    {
    }

    // Each returns true when the point is now set, false when it was cleared.
    bool toggle_breakpoint(uint16_t address);
    bool toggle_watchpoint(uint16_t first, uint32_t length);  // length 1 to 10000; the range wraps past ffff
    const std::set<uint16_t>& breakpoints() const { return breakpoints_; }
    const std::set<std::pair<uint16_t, uint32_t>>& watchpoints() const { return watchpoints_; }

    // Runs toward the goal; count is the number of instructions for Count, and
    // trace prints a line for each instruction as it executes.
    DebugOutcome run(MachineState& state, Memory& memory, HostIo& io, RunGoal goal, uint64_t count = 0,
                     bool trace = false);
    // One instruction, whatever it is, as s executes it, recorded in the history.
    void step(MachineState& state, Memory& memory, HostIo& io);

    // Undoes up to count instructions of the history; returns how many it undid.
    std::size_t step_back(MachineState& state, Memory& memory, std::size_t count);
    // Undoes instructions until one at a breakpoint or one that stored into a
    // watched range has been undone, or the user interrupts ("Break"). Returns
    // the reason, or empty when the history ran out first.
    std::string run_back(MachineState& state, Memory& memory);

    // The newest count instructions of the history, oldest first.
    std::vector<HistoryStep> recent(std::size_t count, const MachineState& current) const
    {
        return history_.recent(count, current);
    }

    // Lines of the trace: labels, then the instruction as u shows it and what it changed.
    std::string trace_line(const Memory& memory, const HistoryStep& step) const;
    std::string cycles_line(uint64_t cycles) const;

    void add_symbols(const std::vector<SymbolEntry>& symbols);
    // "name:" for each label at the address.
    std::string label_lines(uint16_t address) const;
    // A word that reads as a hexadecimal number is that number; any other a symbol.
    std::optional<uint16_t> address_of(std::string_view word) const;

private:
    template <RunGoal kGoal, bool kTrace>
    friend struct DebugRun;

    template <RunGoal kGoal, bool kTrace>
    DebugOutcome run_toward(MachineState& state, Memory& memory, HostIo& io, uint64_t count);
    void rebuild_watched();

    Console& console_;
    double clock_mhz_;
    ProtectedWindow window_;
    std::set<uint16_t> breakpoints_;
    std::set<std::pair<uint16_t, uint32_t>> watchpoints_;
    std::array<bool, 0x10000> at_breakpoint_{};
    std::array<bool, 0x10000> watched_{};
    History history_;
    std::map<std::string, uint16_t, std::less<>> symbols_;
    std::multimap<uint16_t, std::string> labels_;
};

}  // namespace cosmac
