// Runs on a board: the terminal is the board's serial terminal while its
// program runs, until Control-] brings back the monitor's prompt.
#pragma once

#include <cstdint>

#include "board/board.hpp"
#include "cpu/board_bus.hpp"
#include "monitor/batch.hpp"
#include "monitor/command_line.hpp"
#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace cosmac {

constexpr uint8_t kMonitorKey = 0x1D;  // Control-]: back to the monitor
constexpr uint8_t kBreakKey = 0x1C;    // Control-\: a BREAK on the serial line

struct Session;

struct BoardMachine {
    BoardMachine(const BoardOptions& options, Console& console);

    BoardOptions options;
    Board board;
    BoardBus bus;

    uint64_t cycles_in(double seconds) const
    {
        return static_cast<uint64_t>(seconds * static_cast<double>(options.model.clock_hz) / 8);
    }
};

// Loads the program files into the board's memory and resets it; false when a
// file could not be loaded.
bool boot_board(Session& session, const MonitorOptions& options);

// g and s on a board. g runs from where the program stands, or from the address.
Next board_go(Session& session, const CommandLine& command);
Next board_step(Session& session, const CommandLine& command);

// The front panel: p shows it; p XX sets the switches, p + holds IN down, p -
// lets it go, p ! presses it for 100 ms of the board's time.
Next panel_command(Session& session, const CommandLine& command);
extern const Command kBoardCommands[1];

// cosmac --board NAME --run: standard input's keys go onto the serial line, and
// the run ends once they have and the line has been quiet.
int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch);

}  // namespace cosmac
