#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board_options.hpp"
#include "cpu/machine_state.hpp"
#include "cpu/opcode_table.hpp"
#include "monitor/console.hpp"

namespace cosmac {

struct MonitorOptions {
    bool debugger = false;    // debugger mode: more commands, and more lines from some
    CpuModel cpu = CpuModel::Cdp1802;
    double clock_mhz = 1.76;  // for the debugger's cycle times
    ProtectedWindow window;
    std::vector<std::string> files;  // program files to load first
    std::vector<std::string> commands;  // debugger mode's first command lines, before the user's
    std::optional<BoardOptions> board;
};

struct Session;

// The session of the one simulated machine, as the options set it up.
std::unique_ptr<Session> make_session(Console& console, const MonitorOptions& options);

// Loads the files, then the banner, prompt, read, run until q or the end of
// input. Returns the exit status: 0, or 1 when a file could not be loaded.
int run_monitor(Console& console, const MonitorOptions& options = {});

}  // namespace cosmac
