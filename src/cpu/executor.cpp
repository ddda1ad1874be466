#include "cpu/executor.hpp"

#include "cpu/execution.hpp"

namespace cosmac {

StepResult execute_instruction(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window,
                               bool extended)
{
    PlainRun plain;
    return step_with(state, memory, io, plain, window, extended);
}

RunResult run(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window, uint64_t limit,
              bool extended)
{
    PlainRun plain;
    return run_with(state, memory, io, plain, window, limit, extended);
}

}  // namespace cosmac
