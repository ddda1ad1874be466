#include "debug/history.hpp"

#include <algorithm>

namespace cosmac {

void restore_registers(MachineState& state, const HistoryRecord& record, const WideRecord* wide)
{
    if (wide) {
        state = wide->before;
        return;
    }
    state.P = record.P();
    state.X = record.X();
    state.N = record.i_n & 0xF;
    state.I = record.i_n >> 4;
    state.D = record.D;
    state.DF = (record.bits & HistoryRecord::kDF) != 0;
    if (record.bits & HistoryRecord::kRare) {
        state.T = record.T;
        state.EF4 = record.EF4;
        state.IE = (record.bits & HistoryRecord::kIE) != 0;
        state.Q = (record.bits & HistoryRecord::kQ) != 0;
    }
    if (record.bits & HistoryRecord::kLines) {
        state.EF1 = record.ef_1_2_3 & 1;
        state.EF2 = record.ef_1_2_3 >> 1 & 1;
        state.EF3 = record.ef_1_2_3 >> 2 & 1;
    }
    // All were read before the instruction ran, so where two indices name the
    // same register they hold the same value, and R(P) comes last.
    state.R[2] = record.r_2;
    state.R[record.X()] = record.r_x;
    state.R[record.opcode & 0xF] = record.r_n;
    state.R[record.P()] = record.pc;
}

void History::recorded(uint64_t count, const MachineState& state)
{
    if (count == 0)
        return;
    next_ = (next_ + count) % kCapacity;
    size_ = static_cast<std::size_t>(std::min<uint64_t>(size_ + count, kCapacity));
    end_run(state);
}

void History::end_run(const MachineState& state)
{
    records_[index(0)].bits |= HistoryRecord::kHasAfter;
    after_[index(0)] = state;
}

bool History::undo_instruction(MachineState& state, Memory& memory)
{
    while (size_ > 0) {
        const bool instruction = newest().is_instruction();
        undo(state, memory);
        if (instruction)
            return true;
    }
    return false;
}

void History::undo(MachineState& state, Memory& memory)
{
    const HistoryRecord& record = records_[index(0)];
    const WideRecord* wide = wide_.empty() ? nullptr : &wide_[index(0)];
    restore_registers(state, record, wide);
    for (unsigned store = wide ? wide->more : 0; store-- > 0;) {  // the later stores first
        if (wide->more_stores[store].lands)
            memory[wide->more_stores[store].address] = wide->more_stores[store].old_byte;
    }
    if (record.has_store() && !record.dropped())
        memory[record.store_address] = record.old_byte;
    next_ = (next_ - 1) % kCapacity;
    --size_;
    if (size_ > 0)  // the history now ends where the undone instruction began
        end_run(state);
}

std::vector<HistoryStep> History::recent(std::size_t count, const MachineState& current) const
{
    std::vector<HistoryStep> steps(std::min(count, size_));
    MachineState after = current;
    for (std::size_t age = 0; age < steps.size(); ++age) {
        const HistoryRecord& record = records_[index(age)];
        if (record.has_after())
            after = after_[index(age)];
        HistoryStep& step = steps[steps.size() - 1 - age];
        step.record = &record;
        step.wide = wide_.empty() ? nullptr : &wide_[index(age)];
        step.after = after;
        step.before = after;
        restore_registers(step.before, record, step.wide);
        after = step.before;
    }
    return steps;
}

// A SEP back to the P that called the running one is a return; any other SEP
// to another register is a call. Replaying the SEPs oldest first keeps the
// chain of callers. The chain is bounded: past 16 unreturned SEPs the code is
// more likely coroutines than calls, and the oldest callers are let go.
std::optional<uint8_t> History::calling_p() const
{
    constexpr std::size_t kDeepest = 16;
    std::vector<uint8_t> callers;
    for (std::size_t age = size_; age-- > 0;) {
        const HistoryRecord& record = records_[index(age)];
        const uint8_t target = record.opcode & 0xF;
        if (!record.is_instruction() || record.opcode >> 4 != 0xD || target == record.P())
            continue;
        if (!callers.empty() && callers.back() == target) {
            callers.pop_back();
            continue;
        }
        if (callers.size() == kDeepest)
            callers.erase(callers.begin());
        callers.push_back(record.P());
    }
    return callers.empty() ? std::nullopt : std::optional<uint8_t>(callers.back());
}

}  // namespace cosmac
