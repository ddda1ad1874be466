#pragma once

#include <cstdint>
#include <memory>

#include "cpu/machine_state.hpp"
#include "monitor/board_run.hpp"
#include "monitor/console.hpp"
#include "monitor/console_io.hpp"
#include "monitor/debugger.hpp"
#include "monitor/symbols.hpp"

namespace cosmac {

// The one simulated machine and the monitor's working address, for the life of a
// monitor session. Nothing ever resets them.
struct Session {
    explicit Session(Console& c) : console(c), io(c) {}

    Console& console;
    ConsoleIo io;
    MachineState state;
    Memory memory{};
    uint16_t current_location = 0;  // shared by m, d, u and s
    ProtectedWindow window;  // the console machine's; a board has its map
    std::unique_ptr<Debugger> debugger;  // only in debugger mode
    SymbolTable symbols;                 // loaded in debugger mode only
    double clock_mhz = 0;                // what machine cycles are shown at
    std::unique_ptr<BoardMachine> board;  // only in board mode
};

}  // namespace cosmac
