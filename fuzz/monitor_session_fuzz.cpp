// A whole monitor session from arbitrary standard-input bytes, against a scripted
// console; in debugger mode when the first byte is odd. Runaway runs end through
// the same path as Control-C, used as an instruction budget. Every S and L byte is turned into h so that no input names a
// file on this machine (not only at line starts: key reads take bytes from the
// middle of a line, and what follows them is read as a command); the image loader
// has its own target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "monitor/monitor.hpp"
#include "scripted_console.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    for (char& c : input) {
        if (c == 'S' || c == 'L')
            c = 'h';
    }
    cosmac::MonitorOptions options;
    options.debugger = size > 0 && (data[0] & 1) != 0;
    cosmac::testing::ScriptedConsole console(std::move(input));
    console.polls_per_run = 4;
    if (cosmac::run_monitor(console, options) != 0)
        std::abort();
    return 0;
}
