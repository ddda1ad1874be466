#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "image/program_file.hpp"
#include "monitor/batch.hpp"
#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace {

constexpr const char* kUsage =
    "usage: cosmac [--debug] [--clock MHZ] [--protect START-END|none] [FILE...]\n"
    "       cosmac --run [--start ADDRESS] [--limit N] [--regs] [--protect START-END|none] FILE...\n";

constexpr const char* kHelp =
    "Loads each FILE, then starts the 1802 monitor; type h at its prompt for the commands.\n"
    "A FILE is an image (a name without a dot gets .elf), Intel HEX (.hex, .ihx) or a raw\n"
    "binary given with its address, as rom.bin@8000.\n"
    "\n"
    "  -d, --debug          debugger mode: breakpoints, watchpoints, step over and out,\n"
    "                       trace, history and stepping back, cycle counts, and the\n"
    "                       symbols that cosmac-asm writes beside a program\n"
    "  --clock MHZ          the clock for the debugger's cycle times (default 1.76)\n"
    "  --protect START-END  the range whose bytes programs cannot store to (default\n"
    "                       4000-9000); none for no such range\n"
    "  --run                run the program once, without the monitor, and exit with 0\n"
    "                       when it reaches IDLE, 1 when an instruction or Control-C\n"
    "                       stops it, 2 on a usage or load error, 3 at the limit\n"
    "  --start ADDRESS      where --run starts (default: the lowest address of the first FILE)\n"
    "  --limit N            run at most N instructions (decimal)\n"
    "  --regs               end a --run with the count line and the registers\n"
    "  -h, --help           this text\n"
    "  --version            the version and licence\n";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "cosmac: %s\n%s", message.c_str(), kUsage);
    return cosmac::kUsageError;
}

std::optional<cosmac::ProtectedWindow> protected_window(std::string_view text)
{
    if (text == "none")
        return cosmac::kNoProtectedWindow;
    const std::size_t dash = text.find('-');
    const auto first = cosmac::parse_address(text.substr(0, dash));
    const auto last = dash == std::string_view::npos ? std::nullopt : cosmac::parse_address(text.substr(dash + 1));
    if (!first || !last || *first > *last)
        return std::nullopt;
    return cosmac::ProtectedWindow{*first, *last};
}

// A clock in MHz: a positive number of reasonable size.
std::optional<double> clock_mhz(const char* text)
{
    char* end = nullptr;
    const double mhz = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(mhz > 0 && mhz <= 1e6))
        return std::nullopt;
    return mhz;
}

std::optional<uint64_t> count(const char* text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-' || text[0] == '+' || value == 0)
        return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    cosmac::MonitorOptions options;
    cosmac::BatchOptions batch;
    bool batch_run = false;
    bool batch_options = false;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool takes_value = !options_done && (argument == "--clock" || argument == "--protect" ||
                                                    argument == "--start" || argument == "--limit");
        if (takes_value && i + 1 >= argc)
            return usage_error(std::string(argument) + " needs a value");
        const char* value = takes_value ? argv[++i] : nullptr;
        if (options_done || argument.size() < 2 || argument[0] != '-') {
            options.files.emplace_back(argument);
        } else if (argument == "--") {
            options_done = true;
        } else if (argument == "--help" || argument == "-h") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (argument == "--version") {
            std::printf("cosmac %s\nMIT licence\n", COSMAC_VERSION);
            return 0;
        } else if (argument == "--debug" || argument == "-d") {
            options.debugger = true;
        } else if (argument == "--clock") {
            const auto mhz = clock_mhz(value);
            if (!mhz)
                return usage_error("--clock needs a frequency in MHz, such as 1.76");
            options.clock_mhz = *mhz;
        } else if (argument == "--protect") {
            const auto window = protected_window(value);
            if (!window)
                return usage_error("--protect needs START-END, two hexadecimal addresses, or none");
            options.window = *window;
        } else if (argument == "--run") {
            batch_run = true;
        } else if (argument == "--start") {
            batch.start = cosmac::parse_address(value);
            if (!batch.start)
                return usage_error("--start needs a hexadecimal address from 0 to ffff");
            batch_options = true;
        } else if (argument == "--limit") {
            batch.limit = count(value);
            if (!batch.limit)
                return usage_error("--limit needs a number of instructions, 1 or more");
            batch_options = true;
        } else if (argument == "--regs") {
            batch.show_registers = true;
            batch_options = true;
        } else {
            return usage_error("unknown option " + std::string(argument));
        }
    }
    if (batch_options && !batch_run)
        return usage_error("--start, --limit and --regs go with --run");
    if (batch_run && options.debugger)
        return usage_error("--run and --debug do not go together");
    if (batch_run && options.files.empty())
        return usage_error("--run needs a program file");
    cosmac::StandardConsole console;
    return batch_run ? cosmac::run_batch(console, options, batch) : cosmac::run_monitor(console, options);
}
