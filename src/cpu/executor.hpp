#pragma once

#include <cstdint>

#include "cpu/host_io.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// Fetches, decodes and executes the one instruction at R(P), of the extended
// set of the 1804/1805/1806 where extended is true.
StepResult execute_instruction(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window = {},
                               bool extended = false);

struct RunResult {
    uint64_t executed = 0;  // every instruction executed, including one that stopped the run
    bool stopped = false;   // an instruction, the user or a board's pause ended the run, not an IDLE or a limit
};

constexpr uint64_t kNoLimit = UINT64_MAX;

// Executes instructions until the one at R(P) is IDLE (00), which is left
// unexecuted, or an instruction returns stop or is cancelled, the io asks to
// interrupt, or limit instructions have run.
RunResult run(MachineState& state, Memory& memory, HostIo& io, const ProtectedWindow& window = {},
              uint64_t limit = kNoLimit, bool extended = false);

}  // namespace cosmac
