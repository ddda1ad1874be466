// Debugger mode's engine: breakpoints, watchpoints on stores, stepping over and
// out of calls, a history of executed instructions that can be stepped back
// through, and machine cycles. It prints nothing: a run returns how it ended, and
// traced instructions go to a sink the caller supplies, so that the wording stays
// with the commands. The plain monitor never creates one, so none of this costs a
// plain run anything.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cpu/board_bus.hpp"
#include "cpu/executor.hpp"
#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"
#include "debug/break_condition.hpp"
#include "debug/history.hpp"

namespace cosmac {

// The standard call technique: SEP R4 with the target address inline after it,
// and SEP R5 to come back.
constexpr uint8_t kCall = 0xD4;
constexpr uint8_t kReturn = 0xD5;
// The extended set's call and return in one instruction each, SCAL RN,addr
// (68 8N) and SRET RN (68 9N), by the row of their second byte.
constexpr unsigned kScalRow = 0x8;
constexpr unsigned kSretRow = 0x9;

enum class RunGoal {
    Go,        // g
    StepOver,  // n over a call
    StepOut,   // o, and n on a return
    StepIn,    // step on a standard call or return: to where P is the caller's again
    StepLine,  // n at the start of a source line of several instructions, over its calls
    Count,     // t, or n on an instruction that calls nothing
};

// The addresses of a source line's code, which StepLine runs until it leaves.
struct LineRange {
    uint16_t first = 0;
    uint16_t size = 0;
};

// Why a debugger's run stopped, beyond what a plain run knows.
enum class StopKind : uint8_t {
    None,         // as a plain run ends: an IDLE, a stopping instruction, the count, or the user
    Goal,         // n and o reached where they were going
    Breakpoint,   // at address
    Watchpoint,   // record's instruction stored into a watched range
    Interrupted,  // the user stopped a run back
    OldestReached,  // a run back went through the whole history
    Unused,       // in front of a 68 xx that the extended set leaves unused, at address
};

struct DebugOutcome {
    RunResult result;
    StopKind stop = StopKind::None;
    uint16_t address = 0;     // of the breakpoint
    HistoryRecord record{};   // of the watched store
    uint64_t cycles{};
};

// A breakpoint: where, how many times it was reached with its condition holding,
// and when that stops a run.
struct Breakpoint {
    uint16_t address;
    std::optional<BreakCondition> condition = {};
    uint64_t after = 1;  // the hit that first stops a run; every later one does too
    bool once = false;   // cleared when it stops a run
    uint64_t hits = 0;
    std::string log = {};  // a log point's message: a hit hands it to the log sink and does not stop
};

// When a store into a watched range stops a run: the condition, checked after
// the storing instruction, and the hit from which it does.
struct WatchRule {
    std::optional<BreakCondition> condition = {};
    uint64_t after = 1;
    uint64_t hits = 0;
};

// Where log points' hits go, with the machine as it stands at the breakpoint.
using LogSink = std::function<void(const Breakpoint&, const MachineState&, const Memory&)>;

// A board that a debugger's run is on: its bus, and what happens between two
// slices of its time (keys read, the clock kept pace with, the next pause set);
// true from between_slices ends the run.
struct BoardLink {
    BoardBus& bus;
    std::function<bool()> between_slices;
};

// Where a traced run hands each instruction once it has executed.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void traced(const HistoryStep& step) = 0;
};

template <RunGoal kGoal, bool kTrace, bool kBoard>
struct DebugRun;

class Debugger {
public:
    // extended: the 1804/1805/1806's instruction set, whose history keeps wide records.
    explicit Debugger(const ProtectedWindow& window, bool extended = false)
        : window_(window), history_(extended), extended_(extended)
    {
    }

    bool extended() const { return extended_; }

    // Each returns true when the point is now set, false when it was cleared.
    bool toggle_breakpoint(uint16_t address);
    // Sets the breakpoint, in the place of one at its address.
    void set_breakpoint(const Breakpoint& breakpoint);
    // False when there was none.
    bool clear_breakpoint(uint16_t address);
    // A range that holds first is cleared, whatever its length; otherwise the
    // range first..first+length-1 (length 1 to 10000, wrapping past ffff) is set.
    // The range changed comes back in range.
    bool toggle_watchpoint(uint16_t first, uint32_t length, std::pair<uint16_t, uint32_t>& range);
    // The rule of the watched range that starts at first; without one, every
    // store stops a run.
    void set_watch_rule(uint16_t first, const WatchRule& rule) { watch_rules_[first] = rule; }
    void clear_breakpoints();
    void clear_watchpoints();
    const std::map<uint16_t, Breakpoint>& breakpoints() const { return breakpoints_; }
    const std::set<std::pair<uint16_t, uint32_t>>& watchpoints() const { return watchpoints_; }
    void set_log_sink(LogSink sink) { log_sink_ = std::move(sink); }

    // Runs toward the goal; count is the number of instructions for Count, and a
    // trace sink sees each instruction as it executes.
    DebugOutcome run(MachineState& state, Memory& memory, HostIo& io, RunGoal goal, uint64_t count = 0,
                     TraceSink* trace = nullptr, LineRange line = {});
    // The same on a board. Its cycles are the board's own, and stores reach its RAM only.
    DebugOutcome run(MachineState& state, Memory& memory, const BoardLink& board, RunGoal goal, uint64_t count = 0,
                     TraceSink* trace = nullptr, LineRange line = {});
    // One instruction, whatever it is, as s executes it, recorded in the history
    // unless it was cancelled.
    StepResult step(MachineState& state, Memory& memory, HostIo& io);
    void step(MachineState& state, Memory& memory, BoardBus& bus);

    // Undoes up to count instructions of the history, with the DMA cycles that
    // followed them; returns how many it undid. On a board, time and the devices
    // go on: a byte sent stays sent.
    std::size_t step_back(MachineState& state, Memory& memory, std::size_t count);
    // Undoes instructions and DMA cycles until an instruction at a breakpoint, or
    // one that stored into a watched range, has been undone, the user interrupts,
    // or the history runs out. Conditions are checked as running forward does;
    // hits are not counted, and log points stop nothing.
    DebugOutcome run_back(MachineState& state, Memory& memory, HostIo& io);

    // The P that called the running code by a plain SEP, which a SEP back to
    // returns to.
    std::optional<uint8_t> calling_p() const { return history_.calling_p(); }

    // Nothing before now can be stepped back to.
    void forget_history() { history_.forget(); }

    // The newest count records of the history, oldest first.
    std::vector<HistoryStep> recent(std::size_t count, const MachineState& current) const
    {
        return history_.recent(count, current);
    }

private:
    template <RunGoal kGoal, bool kTrace, bool kBoard>
    friend struct DebugRun;

    template <class Bus>
    DebugOutcome run_on_bus(MachineState& state, Memory& memory, Bus& bus, const BoardLink* board, RunGoal goal,
                            uint64_t count, TraceSink* trace, LineRange line);
    template <RunGoal kGoal, bool kTrace, class Bus>
    DebugOutcome run_toward(MachineState& state, Memory& memory, Bus& bus, const BoardLink* board, uint64_t count,
                            TraceSink* trace, LineRange line = {});
    template <RunGoal kGoal, bool kTrace, class Bus>
    DebugRun<kGoal, kTrace, Bus::kBoard> policy_for(const MachineState& state, const Memory& memory, const Bus& bus,
                                                    TraceSink* trace, LineRange line = {});
    template <class Bus>
    StepResult step_on_bus(MachineState& state, Memory& memory, Bus& bus);
    // The record of the watched store at the address, which on the extended set
    // may be an instruction's second or third.
    HistoryRecord store_record(uint32_t slot, uint16_t address);
    // The newest record's first store into a watched range whose condition
    // holds on the state after it; empty where there is none.
    std::optional<uint16_t> watched_store_of_newest(const MachineState& after, const Memory& memory);
    void rebuild_watched();
    // A run reached a breakpoint: whether it stops there, counting the hit.
    bool breakpoint_stops(uint16_t address, const MachineState& state, const Memory& memory);
    // The rule of the watched range that holds the address; null where it has none.
    WatchRule* rule_for(uint16_t address);
    // An instruction stored into a watched range: whether that stops the run,
    // counting the hit.
    bool watchpoint_stops(uint16_t address, const MachineState& state, const Memory& memory);

    ProtectedWindow window_;
    std::map<uint16_t, Breakpoint> breakpoints_;
    std::set<std::pair<uint16_t, uint32_t>> watchpoints_;
    std::map<uint16_t, WatchRule> watch_rules_;  // by the first address of their range
    std::array<bool, kMemorySize> at_breakpoint_{};
    std::array<bool, kMemorySize> watched_{};
    History history_;
    LogSink log_sink_;
    bool extended_;
};

}  // namespace cosmac
