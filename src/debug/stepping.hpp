// What the step commands do from where the program stands, the same in every
// front end: n steps over a call or a source line, step goes into one.
#pragma once

#include <cstdint>

#include "cpu/machine_state.hpp"
#include "debug/debugger.hpp"
#include "debug/source_lines.hpp"

namespace cosmac {

struct StepPlan {
    RunGoal goal;
    uint64_t count = 0;  // Count's
    LineRange line = {};  // StepLine's
};

// n over a standard call (or the extended set's SCAL) runs until the call comes back; on a return it runs out
// to the caller, as o does; a plain SEP to another register is a call, unless it
// goes back to the P that called the running code, which is a return and one
// step. At the start of a source line that is more than one instruction (a
// macro, an .op), it runs over the whole line. Anything else is one step.
StepPlan plan_step_over(const MachineState& state, const Memory& seen, const Debugger& debugger,
                        const SourceLines& lines);

// step on a standard call or return runs through the call or return routine
// until P is the caller's again; empty where it is one instruction, as s.
std::optional<StepPlan> plan_step_into(const MachineState& state, const Memory& seen);

}  // namespace cosmac
