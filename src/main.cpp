#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/machine_options.hpp"
#include "cli/options.hpp"
#include "dap/adapter.hpp"
#include "image/posix_file.hpp"
#include "image/program_file.hpp"
#include "monitor/batch.hpp"
#include "monitor/board_run.hpp"
#include "monitor/console.hpp"
#include "monitor/monitor.hpp"
#include "text/text.hpp"

namespace {

constexpr const char* kUsage =
    "usage: cosmac [--debug [-x COMMANDS]] [--cpu CHIP] [--clock MHZ] [--protect START-END|none] [FILE...]\n"
    "       cosmac --dap\n"
    "       cosmac --run [--cpu CHIP] [--start ADDRESS] [--limit N] [--regs] [--protect START-END|none] FILE...\n"
    "       cosmac --board NAME [--run|--debug [-x COMMANDS]] [--cpu CHIP] [--ram START-END]... [--rom START-END]...\n"
    "              [--clock MHZ] [--serial efN[,rx-invert][,tx-invert]|none] [--baud N] [--quiet SECONDS]\n"
    "              [--key-wait SECONDS] [--speed N|max] [--7bit] [--lf-as-cr]\n"
    "              [--disk IMAGE[,sectors=N][,ro][,new]] [FILE...]\n";

constexpr const char* kDescription =
    "Loads each FILE, then starts the 1802 monitor; type h at its prompt for the commands.\n"
    "A FILE is an image (a name without a dot gets .elf), Intel HEX (.hex, .ihx) or a raw\n"
    "binary given with its address, as rom.bin@8000; rom.hex@8000 moves a HEX file by 8000.";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "cosmac: %s\n%s", message.c_str(), kUsage);
    return cosmac::kUsageError;
}

}  // namespace

int main(int argc, char** argv)
{
    cosmac::MonitorOptions options;
    cosmac::BatchOptions batch;
    std::string clock, window, start, limit, cpu;
    cosmac::BoardArguments board_arguments;

    CLI::App app(kDescription, "cosmac");
    app.formatter(std::make_shared<cosmac::HelpFormatter>());
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", "cosmac " COSMAC_VERSION "\nMIT licence", "the version and licence");
    app.add_flag("-d,--debug", options.debugger,
                 "debugger mode: breakpoints, watchpoints, step over\n"
                 "and out, trace, history and stepping back, cycle\n"
                 "counts, and the symbols cosmac-asm writes beside a\n"
                 "program");
    const auto* dap_option = app.add_flag("--dap")->description(
        "serve the Debug Adapter Protocol on standard input\n"
        "and output, for an editor's debugger");
    std::string command_file;
    const auto* commands_option =
        app.add_option("-x", command_file,
                       "debugger mode: run the commands in the file, then\n"
                       "go on at the prompt")
            ->type_name("COMMANDS");
    const auto* clock_option =
        app.add_option("--clock", clock,
                       "debugger mode's clock for cycle times (1.76), or\n"
                       "the board's clock")
            ->type_name("MHZ");
    const auto* cpu_option =
        app.add_option("--cpu", cpu,
                       "the processor: 1802, or 1804, 1805 or 1806 with their\n"
                       "extended instructions and counter/timer (1802)")
            ->type_name("CHIP");
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
    const std::vector<const CLI::Option*> board_options = cosmac::add_board_options(app, board_arguments);
    app.add_option("FILE", options.files)->group("");

    if (const auto status = cosmac::parse_command_line(app, argc, argv, kUsage, usage_error))
        return *status;

    const bool batch_run = run_option->count() > 0;
    if (*dap_option) {
        if (argc != 2)
            return usage_error("--dap takes no other options: launch requests say the rest");
        return cosmac::dap::serve(STDIN_FILENO, STDOUT_FILENO);
    }
    const bool on_board = board_options.front()->count() > 0;
    if (*clock_option && !options.debugger && !on_board)
        return usage_error("--clock goes with --debug or --board");
    if (batch_run && options.debugger)
        return usage_error("--run and --debug do not go together");
    if (*commands_option && !options.debugger)
        return usage_error("-x goes with --debug");
    if (*commands_option) {
        const cosmac::FileContents commands = cosmac::read_file(command_file);
        if (commands.error_number != 0) {
            std::fprintf(stderr, "cosmac: -x %s: %s\n", command_file.c_str(), std::strerror(commands.error_number));
            return 1;
        }
        for (const std::string_view line : cosmac::text_lines(commands.bytes))
            options.commands.emplace_back(line);
    }
    if (*cpu_option) {
        const auto model = cosmac::cpu_model_named(cpu);
        if (!model)
            return usage_error(cosmac::kCpuProblem);
        options.cpu = *model;
    }
    std::optional<double> mhz;
    if (*clock_option) {
        mhz = cosmac::clock_mhz(clock);
        if (!mhz)
            return usage_error(cosmac::kClockProblem);
        options.clock_mhz = *mhz;
    }
    if (!window.empty()) {
        if (const auto problem = cosmac::read_window(window, options.window))
            return usage_error(*problem);
    }
    if (*start_option) {
        batch.start = cosmac::parse_address(start);
        if (!batch.start)
            return usage_error("--start needs a hexadecimal address from 0 to ffff");
    }
    if (*limit_option) {
        batch.limit = cosmac::count(limit);
        if (!batch.limit)
            return usage_error("--limit needs a number of instructions, 1 or more");
    }
    if ((*start_option || *limit_option || *regs_option) && !batch_run)
        return usage_error("--start, --limit and --regs go with --run");
    if (batch_run && options.files.empty())
        return usage_error("--run needs a program file");
    if (std::any_of(board_options.begin(), board_options.end(), [](const CLI::Option* option) { return option->count() > 0; })) {
        if (!on_board)
            return usage_error("--ram, --rom, --serial, --baud, --quiet, --key-wait, --speed, --7bit, --lf-as-cr "
                               "and --disk go with --board");
        if (const auto problem = cosmac::read_board(board_arguments, mhz, options.board))
            return usage_error(*problem);
        if (batch_run) {
            cosmac::StandardConsole console;
            return cosmac::run_board_batch(console, options, batch);
        }
    }
    cosmac::StandardConsole console;
    return batch_run ? cosmac::run_batch(console, options, batch) : cosmac::run_monitor(console, options);
}
