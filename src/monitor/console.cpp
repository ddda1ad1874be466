#include "monitor/console.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

constexpr std::size_t kReadChunk = 1 << 16;

volatile std::sig_atomic_t g_interrupted = 0;

// The terminal on standard input opened again, not blocking, for reads; standard
// input itself when that fails. Its own open description keeps the flag from the
// shell, which shares standard input's.
int own_terminal_reader()
{
    char name[256];
    if (ttyname_r(STDIN_FILENO, name, sizeof name) != 0)
        return STDIN_FILENO;
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return fd < 0 ? STDIN_FILENO : fd;
}

// The terminal's own settings while cosmac has changed them (raw for a key read,
// or the line editor's), so that a signal that ends the program meanwhile can
// put them back.
termios g_cooked_settings;
volatile std::sig_atomic_t g_settings_changed = 0;

// SIGINT too, where it is not caught (in runs, and at the prompt of debugger and
// board mode): a board's live run holds the terminal raw, where Control-C is a
// key, but a SIGINT sent by another process still ends cosmac.
constexpr int kFatalSignals[] = {SIGINT, SIGHUP, SIGTERM, SIGQUIT, SIGPIPE};

void on_interrupt(int) { g_interrupted = 1; }

void restore_terminal_and_die(int signal_number)
{
    if (g_settings_changed)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_cooked_settings);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void set_interrupt_handler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);  // no SA_RESTART: an interrupt must end a wait for input
}

// Until the next let_interrupts_end_program, SIGINT (Control-C on a terminal)
// asks to stop what the program does or awaits instead of ending it.
void catch_interrupts()
{
    g_interrupted = 0;
    set_interrupt_handler(on_interrupt);
}

void let_interrupts_end_program()
{
    set_interrupt_handler(restore_terminal_and_die);
    g_interrupted = 0;
}

// The terminal's settings saved for the life of a change to them, and put back
// at its end. Changes nest, as when a key is read while a board's run holds the
// terminal raw: only the outermost saves and restores, so an inner one can
// neither save raw settings as the ones to restore nor end the raw mode early.
class TerminalChange {
public:
    TerminalChange() : outermost_(!g_settings_changed && tcgetattr(STDIN_FILENO, &g_cooked_settings) == 0)
    {
        if (outermost_)
            g_settings_changed = 1;
    }
    ~TerminalChange()
    {
        if (!outermost_)
            return;
        tcsetattr(STDIN_FILENO, TCSANOW, &g_cooked_settings);
        g_settings_changed = 0;
    }
    TerminalChange(const TerminalChange&) = delete;
    TerminalChange& operator=(const TerminalChange&) = delete;

    bool outermost() const { return outermost_; }

private:
    const bool outermost_;
};

// No echo, no line editing, and Control-C arriving as the byte 03 instead of a
// signal; Enter arrives as CR, as on a serial terminal. A board's terminal also
// shows what the firmware sends as it is, without "\n" becoming "\r\n". Inside
// another change the terminal stays as that one set it.
class RawMode {
public:
    explicit RawMode(bool raw_output = false)
    {
        if (!change_.outermost())
            return;
        termios raw = g_cooked_settings;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
        if (raw_output)
            raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }

private:
    TerminalChange change_;
};

}  // namespace

StandardConsole::StandardConsole()
    : Console(/*unbuffered=*/isatty(STDOUT_FILENO) != 0),
      input_is_terminal_(isatty(STDIN_FILENO) != 0),
      input_fd_(input_is_terminal_ ? own_terminal_reader() : STDIN_FILENO),
      titled_(isatty(STDERR_FILENO) != 0 && !terminal_is_dumb())
{
    if (!input_is_terminal_)
        return;
    for (int signal_number : kFatalSignals)
        std::signal(signal_number, restore_terminal_and_die);
    if (isatty(STDOUT_FILENO))
        editor_ = LineEditor::open([this](char& byte) {
            const auto next = next_input_byte();
            if (next)
                byte = static_cast<char>(*next);
            return next ? 1 : g_interrupted ? -1 : 0;
        });
}

StandardConsole::~StandardConsole()
{
    flush();
    if (input_fd_ != STDIN_FILENO)
        ::close(input_fd_);
}

// When standard output or error is gone there is nowhere left to show the text.
void StandardConsole::deliver(std::string_view text) { write_all(STDOUT_FILENO, text.data(), text.size()); }

void StandardConsole::write_error(std::string_view text)
{
    flush();
    write_all(STDERR_FILENO, text.data(), text.size());
}

void StandardConsole::begin_run() { catch_interrupts(); }

void StandardConsole::end_run() { let_interrupts_end_program(); }

bool StandardConsole::interrupt_requested() { return g_interrupted != 0; }

StandardConsole::Fill StandardConsole::fill_input()
{
    if (input_ended_)
        return Fill::End;
    flush();
    input_.erase(0, input_position_);
    input_position_ = 0;

    for (;;) {
        // Wait with SIGINT blocked until ppoll atomically unblocks it, so that an
        // interrupt arriving just before the wait cannot be missed.
        sigset_t interrupt, unblocked;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        sigprocmask(SIG_BLOCK, &interrupt, &unblocked);
        if (g_interrupted) {
            sigprocmask(SIG_SETMASK, &unblocked, nullptr);
            return Fill::Interrupted;
        }
        pollfd input{input_fd_, POLLIN, 0};
        const int ready = ppoll(&input, 1, nullptr, &unblocked);
        const int poll_error = errno;
        sigprocmask(SIG_SETMASK, &unblocked, nullptr);
        if (ready == -1 && poll_error == EINTR)
            continue;

        char chunk[kReadChunk];
        const ssize_t n = ::read(input_fd_, chunk, sizeof chunk);
        if (n > 0) {
            input_.append(chunk, static_cast<std::size_t>(n));
            return Fill::Data;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        input_ended_ = true;
        return Fill::End;
    }
}

// A command line cancelled by Control-C is dropped whole, also what was read of
// it before, as the terminal drops what it holds; the prompt comes again.
bool StandardConsole::read_line(std::string_view prompt, std::string& line, bool command)
{
    if (!command || !cancel_command_lines_ || !input_is_terminal_)
        return read_typed_line(prompt, line, command);
    for (;;) {
        catch_interrupts();
        const bool read = read_typed_line(prompt, line, command);
        const bool interrupted = g_interrupted != 0;
        let_interrupts_end_program();
        if (!interrupted)
            return read;
        input_.clear();
        input_position_ = 0;
        write("\n");
    }
}

bool StandardConsole::read_typed_line(std::string_view prompt, std::string& line, bool command)
{
    if (editor_)
        return read_edited_line(prompt, line, command);
    write(prompt);
    return read_buffered_line(line);
}

// The editor changes the terminal's settings while it reads; a signal that ends
// the program then puts them back.
bool StandardConsole::read_edited_line(std::string_view prompt, std::string& line, bool command)
{
    flush();
    const TerminalChange editing;
    return editor_->read_line(prompt, line, command);
}

bool StandardConsole::read_buffered_line(std::string& line)
{
    std::size_t scanned = input_position_;
    for (;;) {
        const std::size_t newline = input_.find('\n', scanned);
        if (newline != std::string::npos) {
            line.assign(input_, input_position_, newline - input_position_);
            input_position_ = newline + 1;
            return true;
        }
        scanned = input_.size() - input_position_;  // offset survives the compaction in fill_input
        const Fill fill = fill_input();
        scanned += input_position_;
        if (fill == Fill::Data)
            continue;
        if (fill == Fill::End && input_position_ < input_.size()) {
            line.assign(input_, input_position_);  // a last line without its newline
            input_position_ = input_.size();
            return true;
        }
        return false;
    }
}

std::optional<uint8_t> StandardConsole::next_input_byte()
{
    if (input_position_ == input_.size() && fill_input() != Fill::Data)
        return std::nullopt;
    return static_cast<uint8_t>(input_[input_position_++]);
}

namespace {

// Raw for a board's whole run: its firmware reads every key as it comes.
std::optional<RawMode>& held_raw_mode()
{
    static std::optional<RawMode> held;
    return held;
}

}  // namespace

// Holding it again while held keeps the terminal as the first hold set it; one
// release ends it.
void StandardConsole::hold_raw(bool raw_output)
{
    if (!held_raw_mode())
        held_raw_mode().emplace(raw_output);
}

void StandardConsole::release_raw() { held_raw_mode().reset(); }

std::optional<uint8_t> StandardConsole::poll_key()
{
    if (input_position_ < input_.size())
        return static_cast<uint8_t>(input_[input_position_++]);
    pollfd input{input_fd_, POLLIN, 0};
    if (input_ended_ || ::poll(&input, 1, 0) <= 0)
        return std::nullopt;
    char key = 0;
    const ssize_t n = ::read(input_fd_, &key, 1);
    input_ended_ = n == 0;
    return n == 1 ? std::optional<uint8_t>(static_cast<uint8_t>(key)) : std::nullopt;
}

void StandardConsole::give_back(std::string_view input) { input_.insert(input_position_, input); }

void StandardConsole::show_title(std::string_view title)
{
    if (titled_)
        write_error("\x1b]0;" + std::string(title) + "\x07");
}

std::optional<uint8_t> StandardConsole::read_key()
{
    if (input_is_terminal_ && input_position_ == input_.size()) {
        RawMode raw;
        return next_input_byte();
    }
    return next_input_byte();
}

}  // namespace cosmac
