#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

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
    "usage: cosmac [--debug [-x COMMANDS]] [--clock MHZ] [--protect START-END|none] [FILE...]\n"
    "       cosmac --dap\n"
    "       cosmac --run [--start ADDRESS] [--limit N] [--regs] [--protect START-END|none] FILE...\n"
    "       cosmac --board NAME [--run|--debug [-x COMMANDS]] [--ram START-END]... [--rom START-END]...\n"
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

// An address range START-END, or why the text is none: "6000-5000" names its end first.
std::optional<std::string> read_range(std::string_view text, const std::string& option, uint16_t& first,
                                      uint16_t& last, std::string_view alternative = "")
{
    const std::size_t dash = text.find('-');
    const auto start = cosmac::parse_address(text.substr(0, dash));
    const auto end = dash == std::string_view::npos ? std::nullopt : cosmac::parse_address(text.substr(dash + 1));
    if (!start || !end)
        return option + " needs START-END, two hexadecimal addresses" + std::string(alternative);
    if (*start > *end)
        return option + " " + std::string(text) + " ends before it starts; give the lower address first";
    first = *start;
    last = *end;
    return std::nullopt;
}

std::optional<std::string> read_window(std::string_view text, cosmac::ProtectedWindow& window)
{
    if (text == "none") {
        window = cosmac::kNoProtectedWindow;
        return std::nullopt;
    }
    return read_range(text, "--protect", window.first, window.last, ", or none");
}

// --serial efN[,rx-invert][,tx-invert] or none, over the board's own line, or
// a line added to a board that has none.
std::optional<std::string> read_serial(const std::string& text, cosmac::BoardDescription& board)
{
    auto& rows = board.devices;
    cosmac::DeviceRow* line = board.device("serial line");
    if (text == "none") {
        if (line)
            rows.erase(rows.begin() + (line - rows.data()));
        return std::nullopt;
    }
    cosmac::DeviceRow settings = line ? *line : cosmac::serial_line_row(3);
    settings.ef_inverted = settings.q_inverted = false;
    std::string_view rest = text;
    bool first = true;
    while (!rest.empty() || first) {
        const std::size_t comma = rest.find(',');
        const std::string_view word = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (first && word.size() == 3 && word.starts_with("ef") && word[2] >= '1' && word[2] <= '4')
            settings.ef_line = static_cast<unsigned>(word[2] - '0');
        else if (!first && word == "rx-invert")
            settings.ef_inverted = true;
        else if (!first && word == "tx-invert")
            settings.q_inverted = true;
        else
            return "--serial needs efN (1-4), then rx-invert or tx-invert if wanted, or none";
        first = false;
    }
    if (line)
        *line = settings;
    else
        rows.push_back(settings);
    return std::nullopt;
}

// A decimal number from low to high, both included.
std::optional<double> number_within(const std::string& text, double low, double high)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value >= low && value <= high))
        return std::nullopt;
    return value;
}

// A clock in MHz, from 1 kHz to 1 GHz: a slower one would round to no cycles at
// all in the board's timing.
std::optional<double> clock_mhz(const std::string& text) { return number_within(text, 0.001, 1000); }

// A time in seconds, from a millisecond to about eleven days.
std::optional<double> seconds(const std::string& text) { return number_within(text, 0.001, 1e6); }

std::optional<uint64_t> count(const std::string& text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || text[0] == '-' || text[0] == '+' || value == 0)
        return std::nullopt;
    return value;
}

// --disk IMAGE[,sectors=N][,ro][,new]
std::optional<std::string> read_disk(const std::string& text, cosmac::DiskOptions& disk)
{
    const std::size_t comma = text.find(',');
    disk.path = text.substr(0, comma);
    std::string_view rest = comma == std::string::npos ? std::string_view{} : std::string_view(text).substr(comma + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find(',');
        const std::string word(rest.substr(0, next));
        rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next + 1);
        const uint64_t sectors = word.starts_with("sectors=") ? count(word.substr(8)).value_or(0) : 0;
        if (word == "ro")
            disk.read_only = true;
        else if (word == "new")
            disk.create = true;
        else if (sectors > 0 && sectors <= 0x0FFFFFFF)
            disk.sectors = static_cast<uint32_t>(sectors);
        else
            return "--disk needs IMAGE, then sectors=N (1 to 268435455), ro or new if wanted";
    }
    if (disk.path.empty())
        return "--disk needs IMAGE, then sectors=N (1 to 268435455), ro or new if wanted";
    return std::nullopt;
}

// The board and what the command line changes of it.
struct BoardArguments {
    std::string board, serial, baud, quiet, key_wait, speed, disk;
    std::vector<std::string> ram, rom;
    bool seven_bit = false, lf_as_cr = false;
};

std::optional<std::string> read_board(const BoardArguments& arguments, std::optional<double> mhz,
                                      std::optional<cosmac::BoardOptions>& options)
{
    auto model = cosmac::board_named(arguments.board);
    if (!model)
        return "--board needs one of " + cosmac::board_names();
    if (!arguments.ram.empty() || !arguments.rom.empty()) {
        model->ram.clear();
        model->rom.clear();
    }
    for (const auto& [texts, option, ranges] : {std::tuple{&arguments.ram, "--ram", &model->ram},
                                                 std::tuple{&arguments.rom, "--rom", &model->rom}}) {
        for (const std::string& text : *texts) {
            cosmac::AddressRange range{};
            if (const auto problem = read_range(text, option, range.first, range.last))
                return problem;
            ranges->push_back(range);
        }
    }
    if (mhz)
        model->clock_hz = static_cast<uint64_t>(std::llround(*mhz * 1e6));
    if (!arguments.serial.empty()) {
        if (const auto problem = read_serial(arguments.serial, *model))
            return problem;
    }
    if (cosmac::DeviceRow* line = model->device("serial line"); line && !arguments.baud.empty()) {
        const auto rate = count(arguments.baud);
        if (!rate || *rate > 1000000)
            return "--baud needs a speed in bits a second, such as 1200";
        line->baud = static_cast<uint32_t>(*rate);
    }
    options = cosmac::BoardOptions{*model};
    for (const auto& [text, option, value] : {std::tuple{&arguments.quiet, "--quiet", &options->quiet_seconds},
                                              std::tuple{&arguments.key_wait, "--key-wait", &options->key_wait_seconds}}) {
        if (text->empty())
            continue;
        const auto read = seconds(*text);
        if (!read)
            return std::string(option) + " needs a number of seconds from 0.001 to 1000000, such as 1 or 0.5";
        *value = *read;
    }
    options->seven_bit = arguments.seven_bit;
    options->lf_as_cr = arguments.lf_as_cr;
    if (!arguments.disk.empty()) {
        if (!model->device("disk"))
            return "--disk needs a board with an IDE interface: " + cosmac::board_names("disk");
        if (const auto problem = read_disk(arguments.disk, options->disk.emplace()))
            return problem;
    }
    if (arguments.speed == "max") {
        options->speed = std::nullopt;
    } else if (!arguments.speed.empty()) {
        options->speed = number_within(arguments.speed, 0.001, 1e6);
        if (!options->speed)
            return "--speed needs a number, such as 1 or 0.5, or max";
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    cosmac::MonitorOptions options;
    cosmac::BatchOptions batch;
    std::string clock, window, start, limit;
    BoardArguments board_arguments;

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
    const auto* board_option =
        app.add_option("--board", board_arguments.board,
                       "simulate a board instead: mcard, elf2k, picoelf\n"
                       "or elf, with its serial terminal on the console")
            ->type_name("NAME");
    const auto* ram_option =
        app.add_option("--ram", board_arguments.ram, "a board's RAM; with --rom, the board's map is\nreplaced")
            ->type_name("START-END")
            ->allow_extra_args(false);
    const auto* rom_option = app.add_option("--rom", board_arguments.rom, "a board's ROM")->type_name("START-END")->allow_extra_args(false);
    const auto* serial_option =
        app.add_option("--serial", board_arguments.serial, "a board's serial line: efN[,rx-invert][,tx-invert]\nor none")
            ->type_name("LINE");
    const auto* baud_option = app.add_option("--baud", board_arguments.baud, "the serial line's speed (1200)")->type_name("N");
    const auto* quiet_option =
        app.add_option("--quiet", board_arguments.quiet,
                       "a board's --run ends once nothing has been sent\n"
                       "or received for this long, simulated (1)")
            ->type_name("SECONDS");
    const auto* key_wait_option =
        app.add_option("--key-wait", board_arguments.key_wait,
                       "a board's run through pipes also ends once keys\n"
                       "have waited this long, simulated, for a program\n"
                       "that does not test its receive line (10)")
            ->type_name("SECONDS");
    const auto* speed_option =
        app.add_option("--speed", board_arguments.speed,
                       "a board on a terminal runs at N times its clock\n"
                       "(1), or as fast as it can with max")
            ->type_name("N");
    const auto* disk_option =
        app.add_option("--disk", board_arguments.disk,
                       "the IDE drive of a board's disk interface: an\n"
                       "image of 512-byte sectors; sectors=N sets its\n"
                       "size, ro refuses writes, new makes a missing file")
            ->type_name("IMAGE[,sectors=N][,ro][,new]");
    const auto* seven_bit_option = app.add_flag("--7bit", board_arguments.seven_bit,
                                                "clear bit 7 of what a board sends, as a\n"
                                                "terminal's 7-bit mode does");
    const auto* lf_as_cr_option = app.add_flag("--lf-as-cr", board_arguments.lf_as_cr,
                                               "send a line feed from standard input to a board\n"
                                               "as a carriage return, as Enter does");
    app.add_option("FILE", options.files)->group("");

    if (const auto status = cosmac::parse_command_line(app, argc, argv, kUsage, usage_error))
        return *status;

    const bool batch_run = run_option->count() > 0;
    if (*dap_option) {
        if (argc != 2)
            return usage_error("--dap takes no other options: launch requests say the rest");
        return cosmac::dap::serve(STDIN_FILENO, STDOUT_FILENO);
    }
    if (*clock_option && !options.debugger && !*board_option)
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
    std::optional<double> mhz;
    if (*clock_option) {
        mhz = clock_mhz(clock);
        if (!mhz)
            return usage_error("--clock needs a frequency in MHz from 0.001 to 1000, such as 1.76");
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
    if (*board_option || *ram_option || *rom_option || *serial_option || *baud_option || *quiet_option ||
        *key_wait_option || *speed_option || *seven_bit_option || *lf_as_cr_option || *disk_option) {
        if (!*board_option)
            return usage_error("--ram, --rom, --serial, --baud, --quiet, --key-wait, --speed, --7bit, --lf-as-cr "
                               "and --disk go with --board");
        if (const auto problem = read_board(board_arguments, mhz, options.board))
            return usage_error(*problem);
        if (batch_run) {
            cosmac::StandardConsole console;
            return cosmac::run_board_batch(console, options, batch);
        }
    }
    cosmac::StandardConsole console;
    return batch_run ? cosmac::run_batch(console, options, batch) : cosmac::run_monitor(console, options);
}
