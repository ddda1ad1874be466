#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board.hpp"
#include "board/ide_drive.hpp"
#include "cpu/machine_state.hpp"
#include "monitor/console.hpp"

namespace cosmac {

// Board mode: another machine, with its serial terminal on the console.
struct BoardOptions {
    BoardDescription board;
    double quiet_seconds = 1;  // a run through pipes ends after this much simulated time with nothing sent or received
    double key_wait_seconds = 10;  // ... or once keys have waited this long for a program that tests no line
    std::optional<double> speed = 1.0;  // times the board's clock on a terminal; empty: as fast as it goes
    bool seven_bit = false;  // bit 7 of what the program sends is cleared, as a terminal's 7-bit mode does
    bool lf_as_cr = false;   // a line feed from standard input goes to the board as a carriage return
    std::optional<DiskOptions> disk{};  // the IDE drive on a board's disk interface
};

struct MonitorOptions {
    bool debugger = false;    // debugger mode: more commands, and more lines from some
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
