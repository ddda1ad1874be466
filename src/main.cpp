#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace {

constexpr const char* kUsage = "usage: cosmac [--help] [--version] [--debug] [--clock MHZ] [IMAGE...]\n";

constexpr const char* kHelp =
    "Loads each IMAGE (a name without a dot gets .elf) as the L command would, then\n"
    "starts the 1802 monitor. Type h at its prompt for the commands.\n"
    "\n"
    "  -d, --debug    debugger mode: breakpoints, watchpoints, step over and out, trace,\n"
    "                 history and stepping back, cycle counts, and the symbols that\n"
    "                 cosmac-asm writes beside an image\n"
    "  --clock MHZ    the clock for the debugger's cycle times (default 1.76)\n";

// A clock in MHz: a positive number of reasonable size.
bool parse_clock(const char* text, double& mhz)
{
    char* end = nullptr;
    mhz = std::strtod(text, &end);
    return end != text && *end == '\0' && mhz > 0 && mhz <= 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> images;
    cosmac::MonitorOptions options;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!options_done && argument == "--") {
            options_done = true;
        } else if (!options_done && argument == "--help") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else if (!options_done && argument == "--version") {
            std::printf("cosmac %s\n", COSMAC_VERSION);
            return 0;
        } else if (!options_done && (argument == "--debug" || argument == "-d")) {
            options.debugger = true;
        } else if (!options_done && argument == "--clock") {
            if (i + 1 >= argc || !parse_clock(argv[i + 1], options.clock_mhz)) {
                std::fprintf(stderr, "cosmac: --clock needs a frequency in MHz, such as 1.76\n%s", kUsage);
                return 2;
            }
            ++i;
        } else if (!options_done && argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "cosmac: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            images.emplace_back(argument);
        }
    }
    cosmac::StandardConsole console;
    return cosmac::run_monitor(console, images, options);
}
