// Runs on a board: the terminal is the board's serial terminal while its
// program runs, until Control-] brings back the monitor's prompt.
#pragma once

#include <cstdint>
#include <string_view>

#include "board/board.hpp"
#include "board/front_panel.hpp"
#include "board/serial_line.hpp"
#include "cpu/board_bus.hpp"
#include "monitor/batch.hpp"
#include "monitor/command_line.hpp"
#include "monitor/console.hpp"
#include "debug/debugger.hpp"
#include "monitor/monitor.hpp"

namespace cosmac {

constexpr uint8_t kMonitorKey = 0x1D;  // Control-]: back to the monitor
constexpr uint8_t kBreakKey = 0x1C;    // Control-\: a BREAK on the serial line
constexpr uint8_t kResetKey = 0x1E;    // Control-^: the board's reset

struct Session;

// The board of a session, as its options built it.
struct BoardMachine {
    BoardMachine(const BoardOptions& options, Console& console);

    BoardOptions options;
    Board board;
    BoardBus bus;
    SerialLine* serial;  // null on a board without one
    FrontPanel* panel;
    Memory view;         // memory as the processor reads it while the jump-on-reset mirror is on
    bool told_no_serial_line = false;

    uint64_t cycles_in(double seconds) const { return cosmac::cycles_in(options, seconds); }
};

// Loads the program files into the board's memory and resets it; false when a
// file could not be loaded.
bool boot_board(Session& session, const MonitorOptions& options);

// A run on the board from where the program stands, and its end shown as g
// shows it. In debugger mode it goes toward the goal through the debugger;
// otherwise the goal is Go. Runs that go until something happens (g, n over a
// call, o) read keys ahead through pipes; counted ones (t, n) take none.
Next board_run(Session& session, RunGoal goal, uint64_t count = 0, TraceSink* trace = nullptr, LineRange line = {});
// Why a board ignores a store at the address of the outcome's record: "ROM" or
// "no memory"; empty off a board. The stop's text uses it only for a dropped store.
std::string_view ignored_store(const Session& session, const DebugOutcome& outcome);
// s on a board.
Next board_step(Session& session, const CommandLine& command);

// The front panel: p shows it; p XX sets the switches, p + holds IN down, p -
// lets it go, p ! presses it for 100 ms of the board's time.
Next panel_command(Session& session, const CommandLine& command);
// R: the board's reset, as its reset switch does it; memory keeps its contents.
Next reset_command(Session& session, const CommandLine& command);
// D: the disk drive, as the monitor sees it.
Next disk_command(Session& session, const CommandLine& command);
extern const Command kBoardCommands[3];

// cosmac --board NAME --run: standard input's keys go onto the serial line, and
// the run ends once they have and the line has been quiet.
int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch);

}  // namespace cosmac
