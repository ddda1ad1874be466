#include "monitor/board_run.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "cpu/execution.hpp"
#include "image/program_file.hpp"
#include "monitor/arguments.hpp"
#include "monitor/image_commands.hpp"
#include "monitor/line_editor.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// How often a run on a terminal stops to read keys and keep pace with the clock.
constexpr double kSliceSeconds = 0.01;
constexpr uint64_t kSlicesATitle = 10;  // the title changes at most 10 times a second

const char* const kIdleReason = "IDLE: nothing can wake the processor";

// A key for the serial line; false for Control-], which is the monitor's.
bool to_line(SerialLine* serial, uint8_t key)
{
    if (key == kMonitorKey)
        return false;
    if (serial && key == kBreakKey)
        serial->queue_break();
    else if (serial)
        serial->queue_key(key);
    return true;
}

// Keys through a pipe: those up to Control-] or the end of input go onto the
// line in turn; the run ends once they have and the line is quiet.
void read_keys_ahead(Console& console, SerialLine* serial)
{
    while (const auto key = console.read_key()) {
        if (!to_line(serial, *key))
            return;
    }
}

// Keys typed while the program runs; true for Control-].
bool take_live_keys(Console& console, SerialLine* serial)
{
    while (const auto key = console.poll_key()) {
        if (!to_line(serial, *key))
            return true;
    }
    return false;
}

// "01011010 (5a)", as a row of lamps or switches reads
std::string as_bits(uint8_t byte)
{
    std::string bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += (byte >> bit & 1) ? '1' : '0';
    return bits + " (" + hex_text(byte, 2) + ")";
}

std::string leds_and_q(const Board& board, uint8_t q)
{
    return "LEDs " + as_bits(board.leds) + ", Q " + std::to_string(q);
}

// While a board runs on a terminal, the terminal's title shows its LEDs and Q,
// out of the way of what the firmware shows; a dumb terminal has no title.
void show_in_title(Session& session, std::string& shown)
{
    const std::string panel = leds_and_q(session.board->board, session.state.Q);
    if (panel == shown)
        return;
    shown = panel;
    session.console.write_error("\x1b]0;cosmac " + std::string(session.board->options.model.name) + ": " + panel + "\x07");
}

struct BoardRunEnd {
    RunResult result;
    const char* reason = nullptr;
};

// Runs in slices of the board's time: between them, live keys are read and, at
// a finite speed, the run waits for the wall clock to catch up.
BoardRunEnd run_board(Session& session)
{
    BoardMachine& machine = *session.board;
    Console& console = session.console;
    SerialLine* serial = machine.board.serial();
    const bool live = console.live();
    if (live) {
        machine.board.set_quiet(0);
        console.hold_raw(true);
    } else {
        read_keys_ahead(console, serial);
        machine.board.set_quiet(machine.cycles_in(machine.options.quiet_seconds));
    }
    const uint64_t slice = std::max<uint64_t>(machine.cycles_in(kSliceSeconds), 1);
    const auto started = std::chrono::steady_clock::now();
    const uint64_t started_at = machine.bus.cycles;
    BoardRunEnd end;
    const bool titled = live && !terminal_is_dumb();
    std::string title;
    for (uint64_t slices = 0;; ++slices) {
        machine.board.pause_at(machine.bus.cycles + slice);
        BoardRun policy{&machine.board.writable()};
        end.result.executed += run_on(session.state, session.memory, machine.bus, policy).executed;
        if (machine.bus.idle) {
            end.reason = kIdleReason;
            break;
        }
        if (!live) {
            if (machine.board.quiet(machine.bus.cycles))
                break;
            continue;
        }
        if (take_live_keys(console, serial)) {
            end.result.stopped = true;
            break;
        }
        console.flush();
        if (titled && slices % kSlicesATitle == 0)
            show_in_title(session, title);
        if (machine.options.speed > 0) {
            const double seconds = static_cast<double>(machine.bus.cycles - started_at) * 8 /
                                   static_cast<double>(machine.options.model.clock_hz) / machine.options.speed;
            std::this_thread::sleep_until(started + std::chrono::duration<double>(seconds));
        }
    }
    if (live)
        console.hold_raw(false);
    if (serial)
        serial->advance(machine.bus.cycles);
    return end;
}

}  // namespace

BoardMachine::BoardMachine(const BoardOptions& board_options, Console& console)
    : options(board_options),
      board(options.model, [&console](uint8_t byte) { console.write_char(static_cast<char>(byte)); }, 0),
      bus{&board}
{
}

bool boot_board(Session& session, const MonitorOptions& options)
{
    BoardMachine& machine = *session.board;
    machine.board.clear_unmapped(session.memory);
    const StartUpLoad load = load_program_files(session, options.files);
    if (!load.ok)
        return false;
    if (const auto outside = machine.board.clear_unmapped(session.memory)) {
        session.console.write_error("cosmac: warning: the board has no memory at " + hex_text(*outside, 4) +
                                    ", where a file loaded bytes; it reads ff there\n");
    }
    machine.board.reset(session.state, machine.bus);
    return true;
}

Next board_go(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    const BoardRunEnd end = run_board(session);
    show_run_end(session, end.result, end.reason ? end.reason : "", {});
    return Next::Prompt;
}

Next board_step(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    BoardMachine& machine = *session.board;
    BoardRun policy{&machine.board.writable()};
    step_on(session.state, session.memory, machine.bus, policy);
    if (SerialLine* serial = machine.board.serial())
        serial->advance(machine.bus.cycles);
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

Next panel_command(Session& session, const CommandLine& command)
{
    BoardMachine& machine = *session.board;
    Board& board = machine.board;
    const std::vector<std::string_view> words = argument_words(as_c_string(command.text));
    const std::string_view word = words.size() == 1 ? words[0] : words.empty() ? "" : "?";
    if (word == "+") {
        board.in_button = true;
    } else if (word == "-") {
        board.in_button = false;
    } else if (word == "!") {
        board.press_in(machine.bus.cycles);
    } else if (!word.empty()) {
        const auto switches = word.size() <= 2 ? parse_address(word) : std::nullopt;
        if (!switches) {
            session.console.write("usage: p [switches|+|-|!]\n");
            return Next::Prompt;
        }
        board.switches = static_cast<uint8_t>(*switches);
    }
    session.console.write(leds_and_q(board, session.state.Q) + ", switches " + as_bits(board.switches) + ", IN " +
                          (board.in_down(machine.bus.cycles) ? "down" : "up") + "\n");
    return Next::Prompt;
}

const Command kBoardCommands[1] = {
    {'p', panel_command, " p [switches|+|-|!]\t\tFront panel; + holds IN, - lets it go, ! presses it\n"},
};

int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch)
{
    const auto session = make_session(console, options);
    BoardMachine& machine = *session->board;
    if (!boot_board(*session, options))
        return kUsageError;
    if (batch.start)
        session->state.R[session->state.P] = *batch.start;
    read_keys_ahead(console, machine.board.serial());
    machine.board.set_quiet(machine.cycles_in(options.board->quiet_seconds));

    console.begin_run();
    BoardRun policy{&machine.board.writable(), batch.limit.value_or(0)};
    const RunResult result = run_on(session->state, session->memory, machine.bus, policy);
    if (SerialLine* serial = machine.board.serial())
        serial->advance(machine.bus.cycles);
    console.end_run();

    if (batch.show_registers) {
        show_count(*session, result.executed);
        show_state(*session);
    }
    return result.stopped || machine.bus.idle ? kReachedIdle : kLimitReached;
}

}  // namespace cosmac
