#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace {

constexpr const char* kUsage = "usage: cosmac [--help] [--version] [IMAGE...]\n";

constexpr const char* kHelp =
    "Loads each IMAGE (a name without a dot gets .elf) as the L command would, then\n"
    "starts the 1802 monitor. Type h at its prompt for the commands.\n";

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> images;
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
        } else if (!options_done && argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "cosmac: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            images.emplace_back(argument);
        }
    }
    cosmac::StandardConsole console;
    return cosmac::run_monitor(console, images);
}
