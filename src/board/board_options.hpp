// A board as the command line sets it up: its description, edited, and how a
// run on it meets the user.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "board/board.hpp"
#include "board/ide_drive.hpp"

namespace cosmac {

struct BoardOptions {
    BoardDescription board;
    double quiet_seconds = 1;  // a run through pipes ends after this much simulated time with nothing sent or received
    double key_wait_seconds = 10;  // ... or once keys have waited this long for a program that tests no line
    std::optional<double> speed = 1.0;  // times the board's clock on a terminal; empty: as fast as it goes
    bool seven_bit = false;  // bit 7 of what the program sends is cleared, as a terminal's 7-bit mode does
    bool lf_as_cr = false;   // a line feed from standard input goes to the board as a carriage return
    std::optional<DiskOptions> disk{};  // the IDE drive on a board's disk interface
};

// Machine cycles in this many seconds of the board's clock.
inline uint64_t cycles_in(const BoardOptions& options, double seconds)
{
    return static_cast<uint64_t>(seconds * static_cast<double>(options.board.clock_hz) / kClocksPerMachineCycle);
}

// The time on the wall that this many machine cycles take at the board's --speed.
inline std::chrono::duration<double> wall_time(const BoardOptions& options, uint64_t cycles, double speed)
{
    return std::chrono::duration<double>(static_cast<double>(cycles) * kClocksPerMachineCycle /
                                         static_cast<double>(options.board.clock_hz) / speed);
}

}  // namespace cosmac
