// Runs the real cosmac binary: through pipes with a given standard input, or on a
// pseudo-terminal driven key by key.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cosmac::testing {

inline const std::string kCosmacBinary = COSMAC_BINARY;
inline const std::string kAssemblerBinary = COSMAC_ASSEMBLER_BINARY;
inline const std::string kDiskBinary = COSMAC_DISK_BINARY;

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct Transcript {
    std::string out;
    std::string err;
    int exit_status = -1;  // the exit code, or 128 + the signal that ended it
};

// Runs a program of this project (cosmac by default) in dir with the input on
// standard input, its output and errors to pipes.
Transcript run_piped(std::string_view input, const std::filesystem::path& dir,
                     const std::vector<std::string>& arguments = {}, const std::string& binary = kCosmacBinary);

std::string read_file(const std::filesystem::path& path);

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// A shell command that runs binary as an ordinary user: root may write anywhere,
// so as root it runs as nobody.
std::string as_ordinary_user(const std::string& binary);

// Makes path nobody's, as a file of the user that as_ordinary_user runs as; false
// when that fails.
bool give_to_ordinary_user(const std::filesystem::path& path);

// The board monitor of the examples, assembled to fw.hex in dir for a serial
// convention: EF (1-4), RXINV and TXINV (0 or 1) and ORIGIN, as it takes them.
struct BoardMonitorBuild {
    std::string ef = "3", rx_invert = "0", tx_invert = "0", origin = "8000H";
};
Transcript assemble_board_monitor(const std::filesystem::path& dir, const BoardMonitorBuild& build = {});

struct PtyOptions {
    // The terminal neither echoes typed lines nor turns "\n" into "\r\n", so the
    // screen holds exactly the bytes the program wrote.
    bool transparent = false;
    std::vector<std::string> arguments;
    std::string term = "xterm";  // "dumb": no line editing
    bool no_state_home = false;  // XDG_STATE_HOME unset, HOME the directory
    std::string error_file{};    // standard error to this file in the directory, not the terminal
};

// cosmac on a pseudo-terminal, as a user at a keyboard sees it.
class PtySession {
public:
    // cosmac runs in dir, which also holds its history (XDG_STATE_HOME).
    explicit PtySession(const std::filesystem::path& dir, const PtyOptions& options = {});
    ~PtySession();
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    void type(std::string_view keys);
    // Waits until the screen output since the last expect ends with text (or
    // contains it); false on timeout or when the program has ended first.
    bool expect(std::string_view text, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Everything shown so far.
    const std::string& screen() const { return screen_; }
    termios settings() const;
    // The terminal's settings before the program started.
    const termios& initial_settings() const { return initial_; }
    // Whether the program reads a key: raw mode, where Control-C is no signal.
    bool reading_key() const { return (settings().c_lflag & ISIG) == 0; }
    // Whether the line editor reads: it takes key by key, and Control-C is a signal.
    bool editing() const { return (settings().c_lflag & (ICANON | ISIG)) == ISIG; }
    // Whether the program has read every byte typed that the terminal passes on.
    bool input_taken() const;
    // Whether the program holds the terminal open for reading without blocking,
    // apart from the standard input it shares with the shell.
    bool reads_terminal_without_blocking() const;
    void signal(int signal_number);
    // Waits for the program to end; exit code, or 128 + signal.
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    bool read_some(std::chrono::milliseconds timeout);

    int master_ = -1;
    pid_t pid_ = -1;
    termios initial_{};
    std::string screen_;
    std::size_t seen_ = 0;
    bool exited_ = false;
};

bool same_settings(const termios& a, const termios& b);

}  // namespace cosmac::testing
