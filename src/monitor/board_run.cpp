#include "monitor/board_run.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "cpu/execution.hpp"
#include "image/program_file.hpp"
#include "monitor/arguments.hpp"
#include "monitor/debug_text.hpp"
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

// A board's run in slices of its time. On a terminal, keys typed as it runs go
// onto the serial line and, at a finite speed, each slice waits for the wall
// clock to catch up; through pipes, a run that takes keys reads them ahead up
// to Control-], and the run ends once the line has been quiet.
class BoardPacer {
public:
    BoardPacer(Session& session, bool takes_keys, bool raw_output)
        : session_(session),
          machine_(*session.board),
          serial_(machine_.board.serial()),
          live_(session.console.live()),
          titled_(!terminal_is_dumb()),
          slice_(std::max<uint64_t>(machine_.cycles_in(kSliceSeconds), 1)),
          started_(std::chrono::steady_clock::now()),
          started_at_(machine_.bus.cycles)
    {
        if (live_) {  // the board was made without a quiet time: live runs never end on one
            session.console.hold_raw(raw_output);
        } else {
            if (takes_keys)
                read_keys_ahead(session.console, serial_);
            machine_.board.set_quiet(machine_.cycles_in(machine_.options.quiet_seconds));
        }
        machine_.board.pause_at(machine_.bus.cycles + slice_);
    }

    ~BoardPacer()
    {
        if (live_)
            session_.console.release_raw();
        if (serial_)
            serial_->advance(machine_.bus.cycles);
    }

    BoardPacer(const BoardPacer&) = delete;
    BoardPacer& operator=(const BoardPacer&) = delete;

    // True ends the run: Control-] typed, or the line quiet through pipes.
    bool between_slices()
    {
        machine_.board.pause_at(machine_.bus.cycles + slice_);
        if (!live_)
            return machine_.board.quiet(machine_.bus.cycles);
        if (take_live_keys(session_.console, serial_)) {
            user_stopped_ = true;
            return true;
        }
        session_.console.flush();
        if (titled_ && slices_++ % kSlicesATitle == 0)  // the first slice shows it at once
            show_in_title(session_, title_);
        if (const std::optional<double> speed = machine_.options.speed) {
            const double seconds = static_cast<double>(machine_.bus.cycles - started_at_) * kClocksPerMachineCycle /
                                   static_cast<double>(machine_.options.model.clock_hz) / *speed;
            std::this_thread::sleep_until(started_ + std::chrono::duration<double>(seconds));
        }
        return false;
    }

    bool user_stopped() const { return user_stopped_; }

private:
    Session& session_;
    BoardMachine& machine_;
    SerialLine* serial_;
    const bool live_;
    const bool titled_;  // the terminal has a title, where a live run shows the panel
    const uint64_t slice_;
    const std::chrono::steady_clock::time_point started_;
    const uint64_t started_at_;
    uint64_t slices_ = 0;
    std::string title_;
    bool user_stopped_ = false;
};

unsigned framing_errors(BoardMachine& machine)
{
    const SerialLine* serial = machine.board.serial();
    return serial ? serial->framing_errors() : 0;
}

// A plain run on the board: until an IDLE that nothing can wake, or the pacer ends it.
RunResult plain_board_run(Session& session, BoardPacer& pacer)
{
    BoardMachine& machine = *session.board;
    RunResult result;
    for (;;) {
        BoardRun policy{&machine.board.writable()};
        const RunResult slice = run_on(session.state, session.memory, machine.bus, policy);
        result.executed += slice.executed;
        if (!slice.stopped || pacer.between_slices())
            return result;
    }
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

Next board_run(Session& session, RunGoal goal, uint64_t count, TraceSink* trace)
{
    BoardMachine& machine = *session.board;
    const unsigned framing_errors_before = framing_errors(machine);
    DebugOutcome outcome;
    bool user_stopped = false;
    {
        BoardPacer pacer(session, goal != RunGoal::Count, /*raw_output=*/trace == nullptr);
        if (session.debugger) {
            const BoardLink link{machine.bus, machine.board.writable(), [&pacer] { return pacer.between_slices(); }};
            outcome = session.debugger->run(session.state, session.memory, link, goal, count, trace);
        } else {
            outcome.result = plain_board_run(session, pacer);
        }
        user_stopped = pacer.user_stopped();
    }
    outcome.result.stopped = user_stopped;
    std::string reason = machine.bus.idle ? kIdleReason : "";
    std::string after_count;
    if (session.debugger) {
        if (outcome.stop != StopKind::None)
            reason = stop_reason(outcome, session.symbols, ignored_store(session, outcome));
        after_count = cycles_line(outcome.cycles, session.clock_mhz);
        if (const unsigned errors = framing_errors(machine) - framing_errors_before)
            after_count += "note: " + std::to_string(errors) + " framing error" + (errors == 1 ? "" : "s") +
                           " on the serial line: a character sent without its stop bit\n";
    }
    show_run_end(session, outcome.result, reason, after_count);
    return Next::Prompt;
}

std::string_view ignored_store(const Session& session, const DebugOutcome& outcome)
{
    if (!session.board)
        return {};
    return session.board->board.in_rom(outcome.record.store_address) ? "ROM" : "no memory";
}

Next board_step(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    BoardMachine& machine = *session.board;
    if (session.debugger) {
        session.debugger->step(session.state, session.memory, machine.bus, machine.board.writable());
    } else {
        BoardRun policy{&machine.board.writable()};
        step_on(session.state, session.memory, machine.bus, policy);
    }
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
    std::string held = machine.bus.interrupt_line ? ", INT 1" : "";
    for (unsigned line = 1; line <= 4; ++line) {
        if (const auto level = board.held_ef(line))
            held += ", EF" + std::to_string(line) + " " + (*level ? "1" : "0");
    }
    if (!held.empty())
        session.console.write("Held by x: " + held.substr(2) + "\n");
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
