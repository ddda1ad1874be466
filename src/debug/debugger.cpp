#include "debug/debugger.hpp"

#include <vector>

#include "cpu/execution.hpp"

namespace cosmac {

// The run policy of debugger mode. Before each instruction it checks the
// breakpoints (one load, whatever their number) and the goal of n and o, and
// records the instruction in the history; every store is recorded and checked
// against the watched ranges; after each instruction it prints the trace. The
// goal and the trace are template arguments, so that g checks only what g needs.
//
// On a board every record holds T, IE, Q and the EF flags, which an interrupt or
// a branch on a board's line may change, and each DMA cycle has a record too.
// On the extended set each record has its wide one as well.
//
// The run loop keeps a copy of it as a local, so that it must stay a plain value
// that nothing else points to: the compiler then holds its fields in machine
// registers, where stores into memory cannot reach them.
template <RunGoal kGoal, bool kTrace, bool kBoard>
struct DebugRun {
    static constexpr bool kSeesEachState = true;
    static constexpr uint8_t kNoCaller = 0xFF;

    TraceSink* trace;
    Debugger* debugger;
    const Memory* memory;
    const bool* at_breakpoint;
    const bool* watched;
    HistoryRecord* ring;
    WideRecord* wide;     // the extended set's, at the same slots; null on the 1802
    uint32_t next;        // the ring's next slot
    uint8_t home_p;       // the P that n and o step at
    uint16_t after_call;  // where a standard call's return comes back to, after its inline address
    uint16_t after_sep;   // where a plain subroutine's SEP back to home_p comes back to
    uint8_t calling_p;    // the P that called home_p's code by a plain SEP, or kNoCaller
    LineRange line;       // StepLine's
    uint64_t earlier = 0;  // instructions executed in the run's earlier slices of a board's time

    uint64_t records = 0;    // written into the ring
    uint64_t traced = 0;     // of them, shown by the trace
    int depth = 0;           // standard calls entered and not yet returned, at home_p
    bool returning = kGoal == RunGoal::StepIn;  // o has seen the return; it stops when P is home_p again
    StopKind stop = StopKind::None;
    uint16_t stop_address{};         // of the breakpoint, set where it stops
    uint32_t watched_slot{};         // of the record whose store stopped the run
    uint16_t watched_address{};      // and the address of that store
    uint64_t extra_cycles = 0;       // past two an instruction: long branches and skips, the extended set

    template <class Bus>
    [[gnu::always_inline]] bool before(const Cpu& cpu, uint8_t opcode, uint64_t executed, const Bus& bus)
    {
        const bool first = executed + earlier == 0;
        if (at_breakpoint[cpu.pc] && !first && debugger->breakpoint_stops(cpu.pc, cpu.machine(), *memory))
            [[unlikely]] {  // g continues from a breakpoint
            stop = StopKind::Breakpoint;
            stop_address = cpu.pc;
            return true;
        }
        const uint8_t second = bus.peek(*memory, static_cast<uint16_t>(cpu.pc + 1));
        // An opcode the chip leaves unused stops a run in front of it, as a
        // breakpoint does; as the run's first instruction it passes, so that g goes on.
        if constexpr (Bus::kExtended) {
            if (opcode == kExtendedPrefix && !first && unused_second_byte(second, Bus::kBoard)) [[unlikely]] {
                stop = StopKind::Unused;
                stop_address = cpu.pc;
                return true;
            }
        }
        if constexpr (kGoal != RunGoal::Go && kGoal != RunGoal::Count) {
            if (!first && reached_goal(cpu))
                return true;
            if (cpu.P == home_p)
                follow_calls(cpu, opcode, Bus::kExtended && opcode == kExtendedPrefix ? second >> 4 : 0);
        }
        if constexpr (Bus::kExtended)
            extra_cycles += instruction_info(opcode, second, true).cycles - kMachineCycles;
        else
            extra_cycles += opcode >> 4 == 0xC;
        HistoryRecord& record = add_record<Bus::kExtended>(cpu, opcode, RecordKind::Instruction);
        record.operands[0] = second;
        record.operands[1] = bus.peek(*memory, static_cast<uint16_t>(cpu.pc + 2));
        if constexpr (Bus::kExtended)  // the 1802's longest instructions have two operand bytes
            record.operands[2] = bus.peek(*memory, static_cast<uint16_t>(cpu.pc + 3));
        return false;
    }

    [[gnu::always_inline]] void store(Memory& m, uint16_t address, uint8_t value, bool lands)
    {
        const uint32_t slot = (next - 1) % History::kCapacity;
        HistoryRecord& record = ring[slot];
        if (record.has_store()) [[unlikely]] {  // the extended set's second and third
            WideRecord& more = wide[slot];
            more.more_stores[more.more++] = {address, m[address], value, lands};
        } else {
            record.bits |= HistoryRecord::kHasStore | (lands ? 0 : HistoryRecord::kDropped);
            record.store_address = address;
            record.old_byte = m[address];
            record.new_byte = value;
        }
        if (lands)
            m[address] = value;
        if (watched[address] && stop != StopKind::Watchpoint) [[unlikely]] {
            stop = StopKind::Watchpoint;
            watched_slot = slot;
            watched_address = address;
        }
    }

    // The console machine took the counter's interrupt after the instruction:
    // one machine cycle more.
    void interrupt_taken() { ++extra_cycles; }

    [[gnu::always_inline]] bool after(const Cpu& cpu, uint64_t)
    {
        if constexpr (kTrace)
            print_trace(cpu.machine());
        return stop != StopKind::None;
    }

    void cancel()
    {
        next = (next - 1) % History::kCapacity;
        --records;
    }

    // A DMA cycle: a record whose N is 0, so that stepping back restores R0. Its
    // store, for DMA in, follows.
    void dma(const Cpu& cpu, bool in, uint16_t address, uint8_t byte)
    {
        HistoryRecord& record = wide ? add_record<true>(cpu, 0x00, in ? RecordKind::DmaIn : RecordKind::DmaOut)
                                     : add_record<false>(cpu, 0x00, in ? RecordKind::DmaIn : RecordKind::DmaOut);
        record.store_address = address;
        record.new_byte = byte;
    }

private:
    template <bool kWide>
    HistoryRecord& add_record(const Cpu& cpu, uint8_t opcode, RecordKind kind)
    {
        HistoryRecord& record = ring[next];
        record.kind = kind;
        record.pc = cpu.pc;
        record.r_n = cpu.registers[opcode & 0xF];
        record.r_x = cpu.registers[cpu.X];
        record.r_2 = cpu.registers[2];
        record.opcode = opcode;
        record.p_x = static_cast<uint8_t>(cpu.P << 4 | cpu.X);
        record.i_n = static_cast<uint8_t>(cpu.I << 4 | cpu.N);
        record.D = cpu.D;
        record.bits = cpu.DF;
        if (kBoard || changes_rare_fields(opcode)) [[unlikely]] {
            record.T = cpu.T;
            record.EF4 = cpu.EF4;
            record.bits |= static_cast<uint8_t>(HistoryRecord::kRare | cpu.IE << 1 | cpu.Q << 2);
        }
        if constexpr (kBoard) {
            record.ef_1_2_3 = static_cast<uint8_t>(cpu.EF1 | cpu.EF2 << 1 | cpu.EF3 << 2);
            record.bits |= HistoryRecord::kLines;
        }
        if constexpr (kWide) {
            wide[next].before = cpu.machine();
            wide[next].more = 0;
        }
        next = (next + 1) % History::kCapacity;
        ++records;
        return record;
    }

    // n is back when P is home_p again right after the call: after a standard
    // call's inline address once its return has come, or right after the SEP
    // when a plain subroutine hands the program counter back. Off a line, it is
    // done at home_p outside the line's code, with its calls returned.
    bool reached_goal(const Cpu& cpu)
    {
        bool reached;
        if constexpr (kGoal == RunGoal::StepOver)
            reached = cpu.P == home_p && ((cpu.pc == after_call && depth <= 0) || cpu.pc == after_sep);
        else if constexpr (kGoal == RunGoal::StepLine)
            reached = cpu.P == home_p && depth <= 0 && static_cast<uint16_t>(cpu.pc - line.first) >= line.size;
        else
            reached = returning && cpu.P == home_p;
        if (reached)
            stop = StopKind::Goal;
        return reached;
    }

    // The standard call and return change depth, as the extended set's SCAL and
    // SRET (extended_row 8 and 9) do; o also ends at a return from depth 0, or
    // after the plain SEP back to the P that called home_p's code. Other plain
    // SEPs are calls that come back to home_p; where no caller is known, the
    // first plain SEP away ends o.
    void follow_calls(const Cpu& cpu, uint8_t opcode, unsigned extended_row)
    {
        const uint8_t target = opcode & 0xF;
        if (opcode == kCall || extended_row == kScalRow) {
            ++depth;
        } else if (opcode == kReturn || extended_row == kSretRow) {
            returning = returning || depth == 0;
            --depth;
        } else if (opcode >> 4 == 0xD && target != cpu.P && depth == 0 && kGoal == RunGoal::StepOut &&
                   (calling_p == kNoCaller || target == calling_p)) {
            stop = StopKind::Goal;
        }
    }

    // The records written since the last trace, each with the states around it,
    // rebuilt back from the state after the newest.
    void print_trace(const MachineState& after_state)
    {
        std::vector<HistoryStep> steps(records - traced);
        MachineState after = after_state;
        for (std::size_t age = 0; age < steps.size(); ++age) {
            HistoryStep& step = steps[steps.size() - 1 - age];
            const uint32_t slot = (next - 1 - age) % History::kCapacity;
            step.record = &ring[slot];
            step.wide = wide ? &wide[slot] : nullptr;
            step.after = after;
            step.before = after;
            restore_registers(step.before, *step.record, step.wide);
            after = step.before;
        }
        for (const HistoryStep& step : steps)
            trace->traced(step);
        traced = records;
    }
};

bool Debugger::toggle_breakpoint(uint16_t address)
{
    if (clear_breakpoint(address))
        return false;
    set_breakpoint({address});
    return true;
}

void Debugger::set_breakpoint(const Breakpoint& breakpoint)
{
    breakpoints_.insert_or_assign(breakpoint.address, breakpoint);
    at_breakpoint_[breakpoint.address] = true;
}

bool Debugger::clear_breakpoint(uint16_t address)
{
    at_breakpoint_[address] = false;
    return breakpoints_.erase(address) > 0;
}

bool Debugger::breakpoint_stops(uint16_t address, const MachineState& state, const Memory& memory)
{
    Breakpoint& breakpoint = breakpoints_.at(address);
    if (breakpoint.condition && !holds(*breakpoint.condition, state, memory))
        return false;
    if (++breakpoint.hits < breakpoint.after)
        return false;
    if (!breakpoint.log.empty() && log_sink_) {
        log_sink_(breakpoint, state, memory);
        return false;
    }
    if (breakpoint.once)
        clear_breakpoint(address);
    return true;
}

WatchRule* Debugger::rule_for(uint16_t address)
{
    for (const auto& [first, length] : watchpoints_) {
        const auto rule = watch_rules_.find(first);
        if (static_cast<uint16_t>(address - first) < length && rule != watch_rules_.end())
            return &rule->second;
    }
    return nullptr;
}

bool Debugger::watchpoint_stops(uint16_t address, const MachineState& state, const Memory& memory)
{
    WatchRule* rule = rule_for(address);
    return !rule || ((!rule->condition || holds(*rule->condition, state, memory)) && ++rule->hits >= rule->after);
}

bool Debugger::toggle_watchpoint(uint16_t first, uint32_t length, std::pair<uint16_t, uint32_t>& range)
{
    for (const auto& watched : watchpoints_) {
        if (static_cast<uint16_t>(first - watched.first) < watched.second) {
            range = watched;
            watch_rules_.erase(watched.first);
            watchpoints_.erase(watched);
            rebuild_watched();
            return false;
        }
    }
    range = {first, length};
    watchpoints_.insert(range);
    rebuild_watched();
    return true;
}

void Debugger::clear_breakpoints()
{
    breakpoints_.clear();
    at_breakpoint_.fill(false);
}

void Debugger::clear_watchpoints()
{
    watchpoints_.clear();
    watch_rules_.clear();
    rebuild_watched();
}

void Debugger::rebuild_watched()
{
    watched_.fill(false);
    for (const auto& [first, length] : watchpoints_) {
        for (uint32_t i = 0; i < length; ++i)
            watched_[static_cast<uint16_t>(first + i)] = true;
    }
}

// n over a standard call comes back after its inline address, and over SCAL
// after its four bytes, where it also comes back at its own P; over a plain SEP,
// right after it.
template <RunGoal kGoal, bool kTrace, class Bus>
DebugRun<kGoal, kTrace, Bus::kBoard> Debugger::policy_for(const MachineState& state, const Memory& memory,
                                                          const Bus& bus, TraceSink* trace, LineRange line)
{
    const uint16_t pc = state.R[state.P];
    const uint8_t opcode = bus.peek(memory, pc);
    const bool scal = Bus::kExtended && opcode == kExtendedPrefix &&
                      bus.peek(memory, static_cast<uint16_t>(pc + 1)) >> 4 == kScalRow;
    const auto after_call = static_cast<uint16_t>(pc + (opcode == kCall ? 3 : scal ? 4 : 1));
    return {trace,
            this,
            &memory,
            at_breakpoint_.data(),
            watched_.data(),
            history_.ring(),
            history_.wide_ring(),
            history_.next_slot(),
            state.P,
            after_call,
            scal ? after_call : static_cast<uint16_t>(pc + 1),
            kGoal == RunGoal::StepOut
                ? history_.calling_p().value_or(DebugRun<kGoal, kTrace, Bus::kBoard>::kNoCaller)
                : DebugRun<kGoal, kTrace, Bus::kBoard>::kNoCaller,
            line};
}

// On a board the run goes on in slices of the board's time until the policy
// stops it, the count has run, an IDLE that nothing can wake ends it, or
// between_slices does.
template <RunGoal kGoal, bool kTrace, class Bus>
DebugOutcome Debugger::run_toward(MachineState& state, Memory& memory, Bus& bus, const BoardLink* board,
                                  uint64_t count, TraceSink* trace, LineRange line)
{
    auto policy = policy_for<kGoal, kTrace>(state, memory, bus, trace, line);
    const uint64_t limit = kGoal == RunGoal::Count ? count : kNoLimit;
    DebugOutcome outcome;
    uint64_t started_at = 0;
    if constexpr (Bus::kBoard)
        started_at = bus.cycles;
    // A store into a watched range ends the run at once; its rule, checked
    // here after the instruction, may let the run go on, so that a run that
    // meets no watched store pays nothing for rules.
    for (;;) {
        const RunResult part = run_on(state, memory, bus, policy, limit == kNoLimit ? limit : limit - policy.earlier);
        policy.earlier += part.executed;
        if constexpr (Bus::kBoard) {
            if (part.stopped) {
                board->bus = bus;  // the board's side sees the clock as the run left it
                const bool ends = board->between_slices();
                static_cast<BoardBus&>(bus) = board->bus;
                if (!ends)
                    continue;  // on with the board's next slice of time
            }
        } else {
            outcome.result.stopped = part.stopped;
        }
        if (policy.stop != StopKind::Watchpoint || watchpoint_stops(policy.watched_address, state, memory))
            break;
        policy.stop = StopKind::None;
    }
    outcome.result.executed = policy.earlier;
    if constexpr (Bus::kBoard)
        outcome.cycles = bus.cycles - started_at;
    else
        outcome.cycles = kMachineCycles * outcome.result.executed + policy.extra_cycles;
    history_.recorded(policy.records, state);
    outcome.stop = policy.stop;
    outcome.address = policy.stop_address;
    if (policy.stop == StopKind::Watchpoint)
        outcome.record = store_record(policy.watched_slot, policy.watched_address);
    return outcome;
}

template <class Bus>
DebugOutcome Debugger::run_on_bus(MachineState& state, Memory& memory, Bus& bus, const BoardLink* board,
                                  RunGoal goal, uint64_t count, TraceSink* trace, LineRange line)
{
    switch (goal) {
    case RunGoal::Count:
        break;
    case RunGoal::Go:
        return run_toward<RunGoal::Go, false>(state, memory, bus, board, count, nullptr);
    case RunGoal::StepOver:
        return run_toward<RunGoal::StepOver, false>(state, memory, bus, board, count, nullptr);
    case RunGoal::StepOut:
        return run_toward<RunGoal::StepOut, false>(state, memory, bus, board, count, nullptr);
    case RunGoal::StepIn:
        return run_toward<RunGoal::StepIn, false>(state, memory, bus, board, count, nullptr);
    case RunGoal::StepLine:
        return run_toward<RunGoal::StepLine, false>(state, memory, bus, board, count, nullptr, line);
    }
    return trace ? run_toward<RunGoal::Count, true>(state, memory, bus, board, count, trace)
                 : run_toward<RunGoal::Count, false>(state, memory, bus, board, count, nullptr);
}

HistoryRecord Debugger::store_record(uint32_t slot, uint16_t address)
{
    HistoryRecord record = history_.ring()[slot];
    const WideRecord* wide = history_.wide_ring();
    for (unsigned store = 0; wide && store < wide[slot].more && record.store_address != address; ++store) {
        const WideRecord::Store& more = wide[slot].more_stores[store];
        if (more.address == address) {
            record.store_address = more.address;
            record.old_byte = more.old_byte;
            record.new_byte = more.new_byte;
            record.bits = static_cast<uint8_t>((record.bits & ~HistoryRecord::kDropped) |
                                               (more.lands ? 0 : HistoryRecord::kDropped));
        }
    }
    return record;
}

DebugOutcome Debugger::run(MachineState& state, Memory& memory, HostIo& io, RunGoal goal, uint64_t count,
                           TraceSink* trace, LineRange line)
{
    ConsoleBus bus{&io, window_};
    return on_instruction_set(bus, extended_, [&](auto& on) {
        return run_on_bus(state, memory, on, nullptr, goal, count, trace, line);
    });
}

DebugOutcome Debugger::run(MachineState& state, Memory& memory, const BoardLink& board, RunGoal goal,
                           uint64_t count, TraceSink* trace, LineRange line)
{
    return on_instruction_set(board.bus, extended_, [&](auto& on) {
        return run_on_bus(state, memory, on, &board, goal, count, trace, line);
    });
}

template <class Bus>
StepResult Debugger::step_on_bus(MachineState& state, Memory& memory, Bus& bus)
{
    auto policy = policy_for<RunGoal::Count, false>(state, memory, bus, nullptr);
    const StepResult result = step_on(state, memory, bus, policy);
    history_.recorded(policy.records, state);
    return result;
}

StepResult Debugger::step(MachineState& state, Memory& memory, HostIo& io)
{
    ConsoleBus bus{&io, window_};
    return on_instruction_set(bus, extended_, [&](auto& on) { return step_on_bus(state, memory, on); });
}

void Debugger::step(MachineState& state, Memory& memory, BoardBus& bus)
{
    on_instruction_set(bus, extended_, [&](auto& on) { return step_on_bus(state, memory, on); });
}

std::size_t Debugger::step_back(MachineState& state, Memory& memory, std::size_t count)
{
    std::size_t undone = 0;
    while (undone < count && history_.undo_instruction(state, memory))
        ++undone;
    return undone;
}

std::optional<uint16_t> Debugger::watched_store_of_newest(const MachineState& after, const Memory& memory)
{
    const HistoryRecord& record = history_.newest();
    if (!record.has_store())
        return std::nullopt;
    const auto stops = [&](uint16_t address) {
        const WatchRule* rule = rule_for(address);
        return watched_[address] && (!rule || !rule->condition || holds(*rule->condition, after, memory));
    };
    if (stops(record.store_address))
        return record.store_address;
    if (const WideRecord* wide = history_.wide_ring()) {
        const WideRecord& more = wide[history_.newest_slot()];
        for (unsigned store = 0; store < more.more; ++store) {
            if (stops(more.more_stores[store].address))
                return more.more_stores[store].address;
        }
    }
    return std::nullopt;
}

DebugOutcome Debugger::run_back(MachineState& state, Memory& memory, HostIo& io)
{
    DebugOutcome outcome;
    for (std::size_t undone = 0; history_.size() > 0; ++undone) {
        const HistoryRecord record = history_.newest();
        const uint32_t slot = history_.newest_slot();
        const std::optional<uint16_t> watched_store = watched_store_of_newest(state, memory);
        history_.undo(state, memory);
        const auto breakpoint = record.is_instruction() ? breakpoints_.find(record.pc) : breakpoints_.end();
        if (breakpoint != breakpoints_.end() && breakpoint->second.log.empty() &&
            (!breakpoint->second.condition || holds(*breakpoint->second.condition, state, memory))) {
            outcome.stop = StopKind::Breakpoint;
            outcome.address = record.pc;
            return outcome;
        }
        if (watched_store) {
            outcome.stop = StopKind::Watchpoint;
            outcome.record = store_record(slot, *watched_store);
            return outcome;
        }
        if (undone % kInterruptPollInterval == kInterruptPollInterval - 1 && io.interrupt_requested()) {
            outcome.stop = StopKind::Interrupted;
            return outcome;
        }
    }
    outcome.stop = StopKind::OldestReached;
    return outcome;
}

}  // namespace cosmac
