// Board mode's batch run: cosmac --board NAME --run boots the board with the
// program files loaded, puts standard input's keys on its serial line, writes
// what the firmware sends to standard output, and ends when the line is quiet.
#pragma once

#include <cstdint>

#include "board/board.hpp"
#include "monitor/batch.hpp"
#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace cosmac {

struct BoardBatchOptions {
    BoardSpec spec;
    double quiet_seconds = 1;  // of simulated time with nothing sent or received
};

int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch,
                    const BoardBatchOptions& board_options);

}  // namespace cosmac
