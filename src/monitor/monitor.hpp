#pragma once

#include <span>
#include <string>

#include "cpu/machine_state.hpp"
#include "monitor/console.hpp"

namespace cosmac {

struct MonitorOptions {
    bool debugger = false;    // debugger mode: more commands, and more lines from some
    double clock_mhz = 1.76;  // for the debugger's cycle times
    ProtectedWindow window;
};

// The banner, then each of the images loaded as L loads it, then prompt, read,
// run until q or the end of input. Returns the exit status.
int run_monitor(Console& console, std::span<const std::string> images = {}, const MonitorOptions& options = {});

}  // namespace cosmac
