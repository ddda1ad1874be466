// Batch runs: cosmac --run loads the program files and runs the program once, as
// g would, with nothing of the monitor around it, for scripts and tests.
#pragma once

#include <cstdint>
#include <optional>

#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace cosmac {

struct BatchOptions {
    std::optional<uint16_t> start;  // by default the lowest address loaded from the first file
    std::optional<uint64_t> limit;  // instructions at most
    bool show_registers = false;    // the count line, registers and next instruction at the end
};

// The exit statuses of a batch run.
enum BatchStatus : int {
    kReachedIdle = 0,
    kStopped = 1,     // RET, DIS, MARK, or Control-C
    kUsageError = 2,  // also a file that could not be loaded
    kLimitReached = 3,
};

int run_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch);

}  // namespace cosmac
