#include "monitor/board_run.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "board/disk_card.hpp"
#include "cpu/execution.hpp"
#include "image/program_file.hpp"
#include "monitor/arguments.hpp"
#include "monitor/debug_text.hpp"
#include "monitor/image_commands.hpp"
#include "monitor/run_control.hpp"
#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// How often a run stops to read keys, keep pace with the clock and look for a
// quiet line: every 10 ms of the board's time.
constexpr double kSliceSeconds = 0.01;
constexpr uint64_t kSlicesATitle = 10;  // the title changes at most 10 times a second

const char* const kIdleReason = "IDLE: nothing can wake the processor";

std::string count_of(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "01011010 (5a)", as a row of lamps or switches reads
std::string as_bits(uint8_t byte)
{
    std::string bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += (byte >> bit & 1) ? '1' : '0';
    return bits + " (" + hex_text(byte, 2) + ")";
}

std::string leds_and_q(const FrontPanel& panel, uint8_t q)
{
    return "LEDs " + as_bits(panel.leds) + ", Q " + std::to_string(q);
}

// An IDLE that no event or line can end.
bool asleep(const BoardMachine& machine)
{
    return machine.bus.idle && machine.board.next_event() == kNever;
}

// What a board run did, for what is said when it ends.
struct RunEnding {
    bool user_stopped = false;    // Control-], or Control-C through pipes
    bool was_reset = false;       // by Control-^
    std::size_t unread_keys = 0;  // keys that the program never read, which ended the run
    bool keys_ignored = false;    // keys typed to a board without a serial line
};

// A board's run in slices of its time. On a terminal, keys typed as it runs go
// onto the serial line and, at a finite speed, each slice waits for the wall
// clock to catch up; through pipes, a run that takes keys reads them ahead up to
// Control-], and the run ends once the line has been quiet, or once keys have
// waited for the program to read them too long. Keys read ahead that had not
// started on the line when the run ended go back to the monitor's input.
class BoardPacer {
public:
    BoardPacer(Session& session, bool takes_keys, bool raw_output)
        : session_(session),
          machine_(*session.board),
          serial_(machine_.serial),
          live_(session.console.live()),
          slice_(std::max<uint64_t>(machine_.cycles_in(kSliceSeconds), 1)),
          quiet_cycles_(machine_.cycles_in(machine_.options.quiet_seconds)),
          key_wait_cycles_(machine_.cycles_in(machine_.options.key_wait_seconds)),
          started_(std::chrono::steady_clock::now()),
          started_at_(machine_.bus.cycles)
    {
        if (live_) {
            session.console.hold_raw(raw_output);
        } else {
            session.console.begin_run();
            if (takes_keys)
                read_keys_ahead();
        }
        set_pause();
    }

    ~BoardPacer()
    {
        if (serial_)
            serial_->advance(machine_.bus.cycles);
        if (live_) {
            session_.console.release_raw();
            return;
        }
        session_.console.end_run();
        give_back_unsent_keys();
    }

    BoardPacer(const BoardPacer&) = delete;
    BoardPacer& operator=(const BoardPacer&) = delete;

    // True ends the run: Control-] typed, or through pipes the line quiet, keys
    // unread too long, or Control-C.
    bool between_slices()
    {
        if (serial_)
            serial_->advance(machine_.bus.cycles);
        if (!live_)
            return piped_slice_ends();
        if (take_live_keys())
            return true;
        session_.console.flush();
        if (slices_++ % kSlicesATitle == 0)  // the first slice shows it at once
            show_panel_in_title();
        if (const std::optional<double> speed = machine_.options.speed) {
            std::this_thread::sleep_until(started_ + wall_time(machine_.options, machine_.bus.cycles - started_at_, *speed));
        }
        set_pause();
        return false;
    }

    const RunEnding& ending() const { return ending_; }

private:
    // Through pipes the run pauses at the end of each slice, and at the cycle
    // the line would have been quiet for the quiet time, so that it ends there.
    void set_pause()
    {
        uint64_t pause = machine_.bus.cycles + slice_;
        if (!live_)
            pause = std::min(pause, quiet_from());
        machine_.bus.pause_at = pause;
    }

    // Without a serial line a board is quiet once the quiet time has passed.
    uint64_t quiet_from() const { return serial_ ? serial_->quiet_from(quiet_cycles_) : started_at_ + quiet_cycles_; }

    bool piped_slice_ends()
    {
        const uint64_t now = machine_.bus.cycles;
        if (session_.console.interrupt_requested()) {
            ending_.user_stopped = true;
            return true;
        }
        if (serial_ && serial_->keys_waiting() > 0 &&
            now >= std::max(serial_->last_tested(), started_at_) + key_wait_cycles_) {
            ending_.unread_keys = serial_->take_unsent_keys().size();
            return true;
        }
        if (now >= quiet_from())
            return true;
        set_pause();
        return false;
    }

    // A key for the board; false for Control-], which is the monitor's.
    bool to_board(uint8_t key)
    {
        if (key == kMonitorKey)
            return false;
        if (!serial_) {
            ending_.keys_ignored = true;
        } else if (key == kBreakKey) {
            serial_->queue_break();
        } else {
            serial_->queue_key(key == '\n' && machine_.options.lf_as_cr ? '\r' : key);
        }
        return true;
    }

    // Keys through a pipe: those up to Control-] or the end of input, in turn.
    void read_keys_ahead()
    {
        while (const auto key = session_.console.read_key()) {
            if (!to_board(*key)) {
                monitor_key_read_ = true;
                return;
            }
            keys_read_ += static_cast<char>(*key);
        }
    }

    // Keys typed while the program runs; true for Control-].
    bool take_live_keys()
    {
        while (const auto key = session_.console.poll_key()) {
            if (*key == kResetKey) {
                machine_.board.reset(session_.state, machine_.bus);
                ending_.was_reset = true;
            } else if (!to_board(*key)) {
                ending_.user_stopped = true;
                return true;
            }
        }
        return false;
    }

    void give_back_unsent_keys()
    {
        if (!serial_ || keys_read_.empty())
            return;
        const std::size_t unsent = serial_->take_unsent_keys().size();
        if (unsent == 0)
            return;
        std::string keys = keys_read_.substr(keys_read_.size() - unsent);
        if (monitor_key_read_)
            keys += static_cast<char>(kMonitorKey);
        session_.console.give_back(keys);
    }

    // While a board runs on a terminal, the terminal's title shows its LEDs and
    // Q, out of the way of what the firmware shows.
    void show_panel_in_title()
    {
        if (!machine_.panel)
            return;
        const std::string panel = leds_and_q(*machine_.panel, session_.state.Q);
        if (panel == title_)
            return;
        title_ = panel;
        session_.console.show_title("cosmac " + std::string(machine_.options.board.name) + ": " + panel);
    }

    Session& session_;
    BoardMachine& machine_;
    SerialLine* serial_;
    const bool live_;
    const uint64_t slice_;
    const uint64_t quiet_cycles_;
    const uint64_t key_wait_cycles_;
    const std::chrono::steady_clock::time_point started_;
    const uint64_t started_at_;
    uint64_t slices_ = 0;
    std::string title_;
    std::string keys_read_;  // through pipes, as they came, for those that go back
    bool monitor_key_read_ = false;
    RunEnding ending_;
};

unsigned framing_errors(const BoardMachine& machine) { return machine.serial ? machine.serial->framing_errors() : 0; }

// A plain run on the board: until an IDLE that nothing can wake, the limit, or
// the pacer ends it.
RunResult plain_board_run(Session& session, BoardPacer& pacer, uint64_t limit = kNoLimit)
{
    BoardMachine& machine = *session.board;
    RunResult result;
    for (;;) {
        PlainRun policy;
        const RunResult slice = on_instruction_set(machine.bus, session.extended, [&](auto& bus) {
            return run_on(session.state, session.memory, bus, policy,
                          limit == kNoLimit ? limit : limit - result.executed);
        });
        result.executed += slice.executed;
        if (!slice.stopped || pacer.between_slices())
            return result;
    }
}

// The notes that end a board run: what went wrong on the serial line, and keys
// that went nowhere. In debugger mode framing errors are noted in its own words.
std::string run_notes(Session& session, const RunEnding& ending, unsigned framing_errors)
{
    BoardMachine& machine = *session.board;
    std::string notes;
    if (framing_errors > 0) {
        notes += "note: " + count_of(framing_errors, "framing error", "framing errors") + " on the serial line" +
                 (session.debugger ? ": a character sent without its stop bit\n"
                                   : "; check --serial's polarity and --baud\n");
    }
    if (ending.unread_keys > 0)
        notes += "note: " + count_of(ending.unread_keys, "key was", "keys were") + " never read\n";
    if (ending.keys_ignored && !machine.told_no_serial_line) {
        machine.told_no_serial_line = true;
        notes += "note: this board has no serial line; --serial efN adds one\n";
    }
    return notes;
}

}  // namespace

BoardMachine::BoardMachine(const BoardOptions& board_options, Console& console)
    : options(board_options),
      board(options.board),
      bus{&board, &board.map()},
      serial(board.device<SerialLine>()),
      panel(board.device<FrontPanel>())
{
    if (serial) {
        const uint8_t mask = options.seven_bit ? 0x7F : 0xFF;
        serial->set_receiver([&console, mask](uint8_t byte) { console.write_char(static_cast<char>(byte & mask)); });
    }
}

bool boot_board(Session& session, const MonitorOptions& options)
{
    BoardMachine& machine = *session.board;
    if (const auto& disk = options.board->disk) {
        IdeDrive::Opened opened = IdeDrive::open(*disk);
        if (!opened.drive) {
            session.console.write_error("cosmac: " + opened.error + "\n");
            return false;
        }
        machine.board.device<DiskCard>()->attach(std::move(opened.drive));
    }
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

Next board_run(Session& session, RunGoal goal, uint64_t count, TraceSink* trace, LineRange line)
{
    BoardMachine& machine = *session.board;
    const unsigned framing_errors_before = framing_errors(machine);
    DebugOutcome outcome;
    RunEnding ending;
    {
        BoardPacer pacer(session, goal != RunGoal::Count, /*raw_output=*/trace == nullptr);
        if (session.debugger) {
            const BoardLink link{machine.bus, [&pacer] { return pacer.between_slices(); }};
            outcome = session.debugger->run(session.state, session.memory, link, goal, count, trace, line);
        } else {
            outcome.result = plain_board_run(session, pacer);
        }
        ending = pacer.ending();
    }
    if (ending.was_reset && session.debugger)
        session.debugger->forget_history();  // a reset is not undone
    outcome.result.stopped = ending.user_stopped;
    std::string reason = asleep(machine) ? kIdleReason : "";
    std::string after_count;
    if (session.debugger) {
        if (outcome.stop != StopKind::None)
            reason = stop_reason(outcome, session.symbols, ignored_store(session, outcome));
        after_count = cycles_line(outcome.cycles, session.clock_mhz);
    }
    after_count += run_notes(session, ending, framing_errors(machine) - framing_errors_before);
    show_run_end(session, outcome.result, reason, after_count);
    return Next::Prompt;
}

std::string_view ignored_store(const Session& session, const DebugOutcome& outcome)
{
    if (!session.board)
        return {};
    return session.board->board.storage(outcome.record.store_address) == Storage::Rom ? "ROM" : "no memory";
}

Next board_step(Session& session, const CommandLine& command)
{
    set_program_counter(session, command);
    BoardMachine& machine = *session.board;
    if (session.debugger) {
        session.debugger->step(session.state, session.memory, machine.bus);
    } else {
        PlainRun policy;
        on_instruction_set(machine.bus, session.extended,
                           [&](auto& bus) { return step_on(session.state, session.memory, bus, policy); });
    }
    if (machine.serial)
        machine.serial->advance(machine.bus.cycles);
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

Next panel_command(Session& session, const CommandLine& command)
{
    BoardMachine& machine = *session.board;
    if (!machine.panel) {
        session.console.write("This board has no front panel\n");
        return Next::Prompt;
    }
    FrontPanel& panel = *machine.panel;
    const std::vector<std::string_view> words = argument_words(as_c_string(command.text));
    const std::string_view word = words.size() == 1 ? words[0] : words.empty() ? "" : "?";
    if (word == "+") {
        panel.in_button = true;
    } else if (word == "-") {
        panel.in_button = false;
    } else if (word == "!") {
        panel.press_in(machine.bus.cycles);
    } else if (!word.empty()) {
        const auto switches = word.size() <= 2 ? parse_address(word) : std::nullopt;
        if (!switches) {
            session.console.write("usage: p [switches|+|-|!]\n");
            return Next::Prompt;
        }
        panel.switches = static_cast<uint8_t>(*switches);
    }
    session.console.write(leds_and_q(panel, session.state.Q) + ", switches " + as_bits(panel.switches) + ", IN " +
                          (panel.in_down(machine.bus.cycles) ? "down" : "up") + "\n");
    std::string held = machine.board.interrupt_held() ? ", INT 1" : "";
    for (unsigned line = 1; line <= 4; ++line) {
        if (const auto level = machine.board.held_ef(line))
            held += ", EF" + std::to_string(line) + " " + (*level ? "1" : "0");
    }
    if (!held.empty())
        session.console.write("Held by x: " + held.substr(2) + "\n");
    return Next::Prompt;
}

Next reset_command(Session& session, const CommandLine& command)
{
    if (!argument_words(as_c_string(command.text)).empty()) {
        session.console.write("usage: R\n");
        return Next::Prompt;
    }
    BoardMachine& machine = *session.board;
    machine.board.reset(session.state, machine.bus);
    if (session.debugger)
        session.debugger->forget_history();
    show_state(session);
    session.current_location = session.state.R[session.state.P];
    return Next::Prompt;
}

// "Disk disk.ide: 16384 sectors (8.4 MB), last command 20, status 50, error 00;
// 12 sectors read, 1 written"
Next disk_command(Session& session, const CommandLine& command)
{
    if (!argument_words(as_c_string(command.text)).empty()) {
        session.console.write("usage: D\n");
        return Next::Prompt;
    }
    const auto* card = session.board->board.device<DiskCard>();
    const IdeDrive* drive = card ? card->drive() : nullptr;
    if (!drive) {
        session.console.write(card ? "No disk; --disk IMAGE attaches one\n" : "This board has no disk interface\n");
        return Next::Prompt;
    }
    const auto command_text = drive->last_command() ? hex_text(*drive->last_command(), 2) : std::string("none");
    session.console.write(formatted("Disk %s: %u sectors (%.2f MB)%s, last command %s, status %02x, error %02x; ",
                                    drive->path().c_str(), drive->capacity(), drive->capacity() * 512.0 / 1e6,
                                    drive->read_only() ? ", read-only" : "", command_text.c_str(), drive->status(),
                                    drive->error()) +
                          count_of(drive->sectors_read(), "sector", "sectors") + " read, " +
                          std::to_string(drive->sectors_written()) + " written\n");
    return Next::Prompt;
}

const Command kBoardCommands[3] = {
    {'p', panel_command, " p [switches|+|-|!]\t\tFront panel; + holds IN, - lets it go, ! presses it\n"},
    {'R', reset_command, " R\t\t\t\tReset the board, as Control-^ does while it runs\n"},
    {'D', disk_command, " D\t\t\t\tThe disk: its size, last command, status and sectors moved\n"},
};

int run_board_batch(Console& console, const MonitorOptions& options, const BatchOptions& batch)
{
    const auto session = make_session(console, options);
    BoardMachine& machine = *session->board;
    if (!boot_board(*session, options))
        return kUsageError;
    if (batch.start)
        session->state.R[session->state.P] = *batch.start;
    const unsigned framing_errors_before = framing_errors(machine);
    RunResult result;
    RunEnding ending;
    {
        BoardPacer pacer(*session, /*takes_keys=*/true, /*raw_output=*/true);
        result = plain_board_run(*session, pacer, batch.limit.value_or(kNoLimit));
        ending = pacer.ending();
    }
    console.flush();
    const std::string notes = run_notes(*session, ending, framing_errors(machine) - framing_errors_before);
    if (!notes.empty())
        console.write_error(notes);
    if (batch.show_registers) {
        show_count(*session, result.executed);
        show_state(*session);
    }
    if (ending.user_stopped)
        return kStopped;
    return result.executed == batch.limit || ending.unread_keys > 0 ? kLimitReached : kReachedIdle;
}

}  // namespace cosmac
