#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "cpu/machine_state.hpp"
#include "monitor/board_run.hpp"
#include "monitor/console.hpp"
#include "monitor/console_io.hpp"
#include "debug/debugger.hpp"
#include "debug/source_lines.hpp"
#include "debug/symbols.hpp"

namespace cosmac {

// Where the last source listing ended, so that l again goes on from there while
// the program has not moved.
struct SourceListing {
    uint32_t file;
    uint32_t next_line;
    uint16_t pc;
};

// The one simulated machine and the monitor's working address, for the life of a
// monitor session. Nothing ever resets them.
struct Session {
    explicit Session(Console& c) : console(c), io(c) {}

    Console& console;
    ConsoleIo io;
    MachineState state;
    Memory memory{};
    bool extended = false;  // an 1804/1805/1806: 68 is the prefix of its extended set
    uint16_t current_location = 0;  // shared by m, d, u and s
    ProtectedWindow window;  // the console machine's; a board has its map
    std::unique_ptr<Debugger> debugger;  // only in debugger mode
    SymbolTable symbols;                 // loaded in debugger mode only
    SourceLines source_lines;            // likewise
    std::optional<SourceListing> last_listing;
    bool registers_on_one_line = false;  // debugger mode's setting for stops and steps
    double clock_mhz = 0;                // what machine cycles are shown at
    std::unique_ptr<BoardMachine> board;  // only in board mode
};

}  // namespace cosmac
