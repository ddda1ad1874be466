// The options that set up the machine, read the same way from cosmac's command
// line and from a debug adapter's launch request: a board and what changes of
// it, the clock, the protected window, and the numbers they take.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_options.hpp"
#include "cpu/machine_state.hpp"

namespace cosmac {

// The board and what the command line changes of it, as typed.
struct BoardArguments {
    std::string board, serial, baud, quiet, key_wait, speed, disk;
    std::vector<std::string> ram, rom;
    bool seven_bit = false, lf_as_cr = false;
};

// --board and the options that go with it, in the order the help lists them;
// the first is --board.
std::vector<const CLI::Option*> add_board_options(CLI::App& app, BoardArguments& arguments);

// An address range START-END, or why the text is none: "6000-5000" names its end first.
std::optional<std::string> read_range(std::string_view text, const std::string& option, uint16_t& first,
                                      uint16_t& last, std::string_view alternative = "");
// --protect START-END or none.
std::optional<std::string> read_window(std::string_view text, ProtectedWindow& window);
// A clock in MHz, from 1 kHz to 1 GHz: a slower one would round to no cycles at
// all in the board's timing.
std::optional<double> clock_mhz(const std::string& text);
inline constexpr const char* kClockProblem = "--clock needs a frequency in MHz from 0.001 to 1000, such as 1.76";
inline constexpr const char* kCpuProblem = "--cpu needs 1802, 1804, 1805 or 1806";
// A decimal count, 1 or more.
std::optional<uint64_t> count(const std::string& text);
// The board named, with the changes; empty, or why they cannot be made.
std::optional<std::string> read_board(const BoardArguments& arguments, std::optional<double> mhz,
                                      std::optional<BoardOptions>& options);

}  // namespace cosmac
