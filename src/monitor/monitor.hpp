#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "monitor/console.hpp"

namespace cosmac {

// A parsed command line: "%c %x %x". count is how many of letter, arg1 and arg2
// the line supplied; what a line does not supply keeps its previous value.
struct CommandLine {
    char letter = 'h';  // an empty first line shows the help text
    uint32_t arg1 = 0;
    uint32_t arg2 = 0;
    int count = 1;
};

// An empty line repeats the previous letter without arguments.
void parse_command_line(std::string_view line, CommandLine& command);

// The banner, then each of the images loaded as L loads it, then prompt, read,
// run until q or the end of input. Returns the exit status.
int run_monitor(Console& console, std::span<const std::string> images = {});

}  // namespace cosmac
