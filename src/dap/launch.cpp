// What a launch sets up: the console machine or a board, built from the
// launch's options as cosmac's command line builds it, with the program, its
// symbols and its source lines loaded.
#include <algorithm>

#include "board/disk_card.hpp"
#include "cli/machine_options.hpp"
#include "cli/options.hpp"
#include "cpu/opcode_table.hpp"
#include "dap/adapter.hpp"
#include "image/line_file.hpp"
#include "image/program_file.hpp"
#include "image/symbol_file.hpp"
#include "text/text.hpp"

namespace cosmac::dap {
namespace {

// The machine the launch's board and options ask for, or why there is none.
struct LaunchOptions {
    ProtectedWindow window;
    bool extended = false;  // --cpu 1804, 1805 or 1806
    std::optional<BoardOptions> board;
    std::string error;
};

// options is an array of cosmac's own options: the board's, --clock for its
// clock, --protect for the console machine's window, and --cpu for either.
LaunchOptions read_launch_options(const Json& arguments)
{
    LaunchOptions read;
    std::vector<std::string> words;
    for (const Json& word : arguments.value("options", Json::array()))
        words.push_back(word.get<std::string>());
    CLI::App app;
    std::string clock, window, cpu;
    const CLI::Option* clock_option = app.add_option("--clock", clock);
    const CLI::Option* cpu_option = app.add_option("--cpu", cpu);
    const CLI::Option* window_option = app.add_option("--protect", window);
    BoardArguments board_arguments;
    const std::vector<const CLI::Option*> board_options = add_board_options(app, board_arguments);
    std::reverse(words.begin(), words.end());  // as CLI11 takes a vector
    try {
        app.parse(words);
    } catch (const CLI::ParseError& error) {
        read.error = option_error(error);
        return read;
    }
    if (cpu_option->count() > 0) {
        const auto model = cpu_model_named(cpu);
        if (!model) {
            read.error = kCpuProblem;
            return read;
        }
        read.extended = has_extended_set(*model);
    }
    if (arguments.contains("board"))
        board_arguments.board = arguments["board"].get<std::string>();
    const bool board_changed = std::any_of(board_options.begin() + 1, board_options.end(),
                                           [](const CLI::Option* option) { return option->count() > 0; });
    if (board_arguments.board.empty()) {
        if (board_changed || clock_option->count() > 0)
            read.error = "--clock and the board's options go with a board";
        else if (const auto problem = read_window(window, read.window); problem && window_option->count() > 0)
            read.error = *problem;
        return read;
    }
    if (window_option->count() > 0) {
        read.error = "--protect goes with the console machine";
        return read;
    }
    std::optional<double> mhz;
    if (clock_option->count() > 0 && !(mhz = clock_mhz(clock))) {
        read.error = kClockProblem;
        return read;
    }
    if (const auto problem = read_board(board_arguments, mhz, read.board))
        read.error = *problem;
    return read;
}

}  // namespace

std::string Adapter::load(const Json& arguments)
{
    if (!arguments.contains("program") || !arguments["program"].is_string())
        return "launch needs a program";
    const LaunchOptions options = read_launch_options(arguments);
    if (!options.error.empty())
        return options.error;
    std::unique_ptr<AdapterBoard> board;
    if (options.board) {
        board = std::make_unique<AdapterBoard>(*options.board);
        if (const auto& disk = options.board->disk) {
            IdeDrive::Opened opened = IdeDrive::open(*disk);
            if (!opened.drive)
                return opened.error;
            board->board.device<DiskCard>()->attach(std::move(opened.drive));
        }
        if (board->serial) {
            const uint8_t mask = options.board->seven_bit ? 0x7F : 0xFF;
            board->serial->set_receiver([this, mask](uint8_t byte) { io_.board_sent(byte & mask); });
        }
    }
    // Built apart, so that a restart that fails leaves the session as it was.
    MachineState state;
    auto memory = std::make_unique<Memory>();
    if (board)
        board->board.clear_unmapped(*memory);
    const LoadedProgram loaded = load_program(arguments["program"].get<std::string>(), *memory);
    if (!loaded.error.empty())
        return loaded.error;
    const SymbolFile symbols = read_symbol_file(symbol_file_name(loaded.path));
    const LineFile lines = read_line_file(line_file_name(loaded.path));
    std::vector<std::string> problems = symbols.problems;
    problems.insert(problems.end(), lines.problems.begin(), lines.problems.end());
    if (board) {
        if (const auto outside = board->board.clear_unmapped(*memory))
            problems.push_back("warning: the board has no memory at " + hex_text(*outside, 4) +
                               ", where the program loaded bytes; it reads ff there");
        board->board.reset(state, board->bus);
    } else {
        state.R[state.P] = loaded.lowest.value_or(0);
        if (options.extended)
            reset_counter(state.counter);
    }
    for (const std::string& problem : problems)
        event("output", {{"category", "stderr"}, {"output", problem + "\n"}});
    state_ = state;
    memory_ = std::move(memory);
    board_ = std::move(board);
    symbols_ = SymbolTable{};
    symbols_.add(symbols.symbols);
    lines_ = SourceLines{};
    lines_.add(lines.table);
    debugger_ = std::make_unique<Debugger>(options.window, options.extended);
    debugger_->set_log_sink([this](const Breakpoint& breakpoint, const MachineState& state, const Memory&) {
        flush_output();
        event("output", {{"category", "console"}, {"output", with_values(breakpoint.log, state) + "\n"}});
    });
    return {};
}

}  // namespace cosmac::dap
