#include "cli/machine_options.hpp"

#include <cmath>
#include <cstdlib>
#include <tuple>

#include "image/program_file.hpp"

namespace cosmac {
namespace {

// --serial efN[,rx-invert][,tx-invert] or none, over the board's own line, or
// a line added to a board that has none.
std::optional<std::string> read_serial(const std::string& text, BoardDescription& board)
{
    auto& rows = board.devices;
    DeviceRow* line = board.device("serial line");
    if (text == "none") {
        if (line)
            rows.erase(rows.begin() + (line - rows.data()));
        return std::nullopt;
    }
    DeviceRow settings = line ? *line : serial_line_row(3);
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

// A time in seconds, from a millisecond to about eleven days.
std::optional<double> seconds(const std::string& text) { return number_within(text, 0.001, 1e6); }

// --disk IMAGE[,sectors=N][,ro][,new]
std::optional<std::string> read_disk(const std::string& text, DiskOptions& disk)
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

}  // namespace

std::optional<std::string> read_range(std::string_view text, const std::string& option, uint16_t& first,
                                      uint16_t& last, std::string_view alternative)
{
    const std::size_t dash = text.find('-');
    const auto start = parse_address(text.substr(0, dash));
    const auto end = dash == std::string_view::npos ? std::nullopt : parse_address(text.substr(dash + 1));
    if (!start || !end)
        return option + " needs START-END, two hexadecimal addresses" + std::string(alternative);
    if (*start > *end)
        return option + " " + std::string(text) + " ends before it starts; give the lower address first";
    first = *start;
    last = *end;
    return std::nullopt;
}

std::optional<std::string> read_window(std::string_view text, ProtectedWindow& window)
{
    if (text == "none") {
        window = kNoProtectedWindow;
        return std::nullopt;
    }
    return read_range(text, "--protect", window.first, window.last, ", or none");
}

std::optional<double> clock_mhz(const std::string& text) { return number_within(text, 0.001, 1000); }

std::optional<uint64_t> count(const std::string& text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || text[0] == '-' || text[0] == '+' || value == 0)
        return std::nullopt;
    return value;
}

std::optional<std::string> read_board(const BoardArguments& arguments, std::optional<double> mhz,
                                      std::optional<BoardOptions>& options)
{
    auto model = board_named(arguments.board);
    if (!model)
        return "--board needs one of " + board_names();
    if (!arguments.ram.empty() || !arguments.rom.empty()) {
        model->ram.clear();
        model->rom.clear();
    }
    for (const auto& [texts, option, ranges] : {std::tuple{&arguments.ram, "--ram", &model->ram},
                                                 std::tuple{&arguments.rom, "--rom", &model->rom}}) {
        for (const std::string& text : *texts) {
            AddressRange range{};
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
    if (DeviceRow* line = model->device("serial line"); line && !arguments.baud.empty()) {
        const auto rate = count(arguments.baud);
        if (!rate || *rate > 1000000)
            return "--baud needs a speed in bits a second, such as 1200";
        line->baud = static_cast<uint32_t>(*rate);
    }
    options = BoardOptions{*model};
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
            return "--disk needs a board with an IDE interface: " + board_names("disk");
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

std::vector<const CLI::Option*> add_board_options(CLI::App& app, BoardArguments& arguments)
{
    const CLI::Option* board_option =
        app.add_option("--board", arguments.board,
                       "simulate a board instead: mcard, elf2k, picoelf\n"
                       "or elf, with its serial terminal on the console")
            ->type_name("NAME");
    const CLI::Option* ram_option =
        app.add_option("--ram", arguments.ram, "a board's RAM; with --rom, the board's map is\nreplaced")
            ->type_name("START-END")
            ->allow_extra_args(false);
    const CLI::Option* rom_option = app.add_option("--rom", arguments.rom, "a board's ROM")->type_name("START-END")->allow_extra_args(false);
    const CLI::Option* serial_option =
        app.add_option("--serial", arguments.serial, "a board's serial line: efN[,rx-invert][,tx-invert]\nor none")
            ->type_name("LINE");
    const CLI::Option* baud_option = app.add_option("--baud", arguments.baud, "the serial line's speed (1200)")->type_name("N");
    const CLI::Option* quiet_option =
        app.add_option("--quiet", arguments.quiet,
                       "a board's --run ends once nothing has been sent\n"
                       "or received for this long, simulated (1)")
            ->type_name("SECONDS");
    const CLI::Option* key_wait_option =
        app.add_option("--key-wait", arguments.key_wait,
                       "a board's run through pipes also ends once keys\n"
                       "have waited this long, simulated, for a program\n"
                       "that does not test its receive line (10)")
            ->type_name("SECONDS");
    const CLI::Option* speed_option =
        app.add_option("--speed", arguments.speed,
                       "a board on a terminal runs at N times its clock\n"
                       "(1), or as fast as it can with max")
            ->type_name("N");
    const CLI::Option* disk_option =
        app.add_option("--disk", arguments.disk,
                       "the IDE drive of a board's disk interface: an\n"
                       "image of 512-byte sectors; sectors=N sets its\n"
                       "size, ro refuses writes, new makes a missing file")
            ->type_name("IMAGE[,sectors=N][,ro][,new]");
    const CLI::Option* seven_bit_option = app.add_flag("--7bit", arguments.seven_bit,
                                                "clear bit 7 of what a board sends, as a\n"
                                                "terminal's 7-bit mode does");
    const CLI::Option* lf_as_cr_option = app.add_flag("--lf-as-cr", arguments.lf_as_cr,
                                               "send a line feed from standard input to a board\n"
                                               "as a carriage return, as Enter does");
    return {board_option, ram_option, rom_option, serial_option, baud_option, quiet_option, key_wait_option, speed_option, disk_option, seven_bit_option, lf_as_cr_option};
}

}  // namespace cosmac
