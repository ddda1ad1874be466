// A whole monitor session from arbitrary standard-input bytes, against a scripted
// console. Runaway runs end through the same path as Control-C, used as an
// instruction budget. S and L lines are turned into h so that no input names a
// file on this machine; the image loader has its own target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "monitor/monitor.hpp"
#include "scripted_console.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t line = 0; line < input.size();) {
        if (input[line] == 'S' || input[line] == 'L')
            input[line] = 'h';
        const std::size_t newline = input.find('\n', line);
        if (newline == std::string::npos)
            break;
        line = newline + 1;
    }
    cosmac::testing::ScriptedConsole console(std::move(input));
    console.polls_per_run = 4;
    if (cosmac::run_monitor(console) != 0)
        std::abort();
    return 0;
}
