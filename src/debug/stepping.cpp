#include "debug/stepping.hpp"

#include "cpu/disassembler.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac {

StepPlan plan_step_over(const MachineState& state, const Memory& seen, const Debugger& debugger,
                        const SourceLines& lines)
{
    const uint8_t p = state.P;
    const uint16_t pc = state.R[p];
    const Disassembly instruction = disassemble(seen, pc, debugger.extended());
    if (const auto line = lines.at(pc); line && line->address == pc && line->size > instruction.length)
        return {RunGoal::StepLine, 0, LineRange{line->address, line->size}};
    const uint8_t opcode = seen[pc];
    if (debugger.extended() && opcode == kExtendedPrefix && seen[static_cast<uint16_t>(pc + 1)] >> 4 == kScalRow)
        return {RunGoal::StepOver};
    const bool sep_away = opcode >> 4 == 0xD && (opcode & 0xF) != p;
    if (sep_away && opcode == kReturn)
        return {RunGoal::StepOut};
    const bool plain_return = opcode != kCall && debugger.calling_p() == (opcode & 0xF);
    return sep_away && !plain_return ? StepPlan{RunGoal::StepOver} : StepPlan{RunGoal::Count, 1};
}

std::optional<StepPlan> plan_step_into(const MachineState& state, const Memory& seen)
{
    const uint8_t p = state.P;
    const uint8_t opcode = seen[state.R[p]];
    if ((opcode == kCall || opcode == kReturn) && (opcode & 0xF) != p)
        return StepPlan{RunGoal::StepIn};
    return std::nullopt;
}

}  // namespace cosmac
