#include "cpu/executor.hpp"

#include "cpu/execution.hpp"

namespace cosmac {

StepResult execute_instruction(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window)
{
    PlainRun plain;
    return step_with(state, memory, io, plain, window);
}

RunResult run(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window, uint64_t limit)
{
    PlainRun plain;
    return run_with(state, memory, io, plain, window, limit);
}

}  // namespace cosmac
