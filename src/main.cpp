#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cli/options.hpp"
#include "image/program_file.hpp"
#include "monitor/batch.hpp"
#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

namespace {

constexpr const char* kUsage =
    "usage: cosmac [--debug] [--clock MHZ] [--protect START-END|none] [FILE...]\n"
    "       cosmac --run [--start ADDRESS] [--limit N] [--regs] [--protect START-END|none] FILE...\n";

constexpr const char* kDescription =
    "Loads each FILE, then starts the 1802 monitor; type h at its prompt for the commands.\n"
    "A FILE is an image (a name without a dot gets .elf), Intel HEX (.hex, .ihx) or a raw\n"
    "binary given with its address, as rom.bin@8000.";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "cosmac: %s\n%s", message.c_str(), kUsage);
    return cosmac::kUsageError;
}

// The protected window, or why the text is none: "6000-5000" names its end first.
std::optional<std::string> read_window(std::string_view text, cosmac::ProtectedWindow& window)
{
    if (text == "none") {
        window = cosmac::kNoProtectedWindow;
        return std::nullopt;
    }
    const std::size_t dash = text.find('-');
    const auto first = cosmac::parse_address(text.substr(0, dash));
    const auto last = dash == std::string_view::npos ? std::nullopt : cosmac::parse_address(text.substr(dash + 1));
    if (!first || !last)
        return "--protect needs START-END, two hexadecimal addresses, or none";
    if (*first > *last)
        return "--protect " + std::string(text) + " ends before it starts; give the lower address first";
    window = {*first, *last};
    return std::nullopt;
}

// A clock in MHz: a positive number of reasonable size.
std::optional<double> clock_mhz(const std::string& text)
{
    char* end = nullptr;
    const double mhz = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(mhz > 0 && mhz <= 1e6))
        return std::nullopt;
    return mhz;
}

std::optional<uint64_t> count(const std::string& text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || text[0] == '-' || text[0] == '+' || value == 0)
        return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    cosmac::MonitorOptions options;
    cosmac::BatchOptions batch;
    std::string clock, window, start, limit;

    CLI::App app(kDescription, "cosmac");
    app.formatter(std::make_shared<cosmac::HelpFormatter>());
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", "cosmac " COSMAC_VERSION "\nMIT licence", "the version and licence");
    app.add_flag("-d,--debug", options.debugger,
                 "debugger mode: breakpoints, watchpoints, step over\n"
                 "and out, trace, history and stepping back, cycle\n"
                 "counts, and the symbols cosmac-asm writes beside a\n"
                 "program");
    const auto* clock_option =
        app.add_option("--clock", clock, "debugger mode's clock for cycle times (1.76)")->type_name("MHZ");
    app.add_option("--protect", window,
                   "the range that programs cannot store to\n"
                   "(4000-9000); none for no such range")
        ->type_name("START-END");
    const auto* run_option = app.add_flag("--run")->description(
        "run the program once, without the monitor; exit\n"
        "with 0 at IDLE, 1 when an instruction or Control-C\n"
        "stops it, 2 on a usage or load error, 3 at the limit");
    const auto* start_option =
        app.add_option("--start", start, "where --run starts (the lowest address of the\nfirst FILE)")
            ->type_name("ADDRESS");
    const auto* limit_option = app.add_option("--limit", limit, "run at most N instructions (decimal)")->type_name("N");
    const auto* regs_option =
        app.add_flag("--regs", batch.show_registers, "end a --run with the count line and the registers");
    app.add_option("FILE", options.files)->group("");

    if (const auto status = cosmac::parse_command_line(app, argc, argv, kUsage, usage_error))
        return *status;

    const bool batch_run = run_option->count() > 0;
    if (*clock_option && !options.debugger)
        return usage_error("--clock goes with --debug");
    if (batch_run && options.debugger)
        return usage_error("--run and --debug do not go together");
    if (*clock_option) {
        const auto mhz = clock_mhz(clock);
        if (!mhz)
            return usage_error("--clock needs a frequency in MHz, such as 1.76");
        options.clock_mhz = *mhz;
    }
    if (!window.empty()) {
        if (const auto problem = read_window(window, options.window))
            return usage_error(*problem);
    }
    if (*start_option) {
        batch.start = cosmac::parse_address(start);
        if (!batch.start)
            return usage_error("--start needs a hexadecimal address from 0 to ffff");
    }
    if (*limit_option) {
        batch.limit = count(limit);
        if (!batch.limit)
            return usage_error("--limit needs a number of instructions, 1 or more");
    }
    if ((*start_option || *limit_option || *regs_option) && !batch_run)
        return usage_error("--start, --limit and --regs go with --run");
    if (batch_run && options.files.empty())
        return usage_error("--run needs a program file");
    cosmac::StandardConsole console;
    return batch_run ? cosmac::run_batch(console, options, batch) : cosmac::run_monitor(console, options);
}
