// A whole monitor session from arbitrary standard-input bytes, against a scripted
// console; in debugger mode when the first byte is odd. Runaway runs end through
// the same path as Control-C, used as an instruction budget. Every S and L byte is
// turned into h so that no input names a file on this machine (not only at line
// starts: key reads take bytes from the middle of a line, and what follows them is
// read as a command); the image loader has its own target.
//
// Debugger-mode sessions start with a small program whose symbols the harness
// writes once, so that symbol words and symbol+offset forms in the input (see
// monitor_session.dict) reach the code that resolves them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "monitor/monitor.hpp"
#include "scripted_console.hpp"

namespace {

std::string program_with_symbols;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char directory[] = "/tmp/cosmac-fuzz-XXXXXX";
    if (mkdtemp(directory) == nullptr)
        std::abort();
    program_with_symbols = std::string(directory) + "/program.hex";
    // start: LDI 41; Call print; IDLE ... print: at 0100, a Ret; buffer at 0200
    std::ofstream(program_with_symbols) << ":07000000F841D401000000EB\n"
                                          ":01010000D529\n"
                                          ":00000001FF\n";
    std::ofstream(std::string(directory) + "/program.sym") << "0000 start\n0004 loop\n0100 print\n0200 buffer\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    for (char& c : input) {
        if (c == 'S' || c == 'L')
            c = 'h';
    }
    cosmac::MonitorOptions options;
    options.debugger = size > 0 && (data[0] & 1) != 0;
    if (options.debugger)
        options.files = {program_with_symbols};
    cosmac::testing::ScriptedConsole console(std::move(input));
    console.polls_per_run = 4;
    if (cosmac::run_monitor(console, options) != 0)
        std::abort();
    return 0;
}
