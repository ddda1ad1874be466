#include "harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace cosmac::testing {
namespace {

// COSMAC_TEST_WRAPPER, if set, is a command line that runs the binary, for
// instance "valgrind -q --error-exitcode=99".
[[noreturn]] void exec_program(const std::filesystem::path& dir, const std::string& binary,
                               const std::vector<std::string>& arguments = {})
{
    if (chdir(dir.c_str()) != 0)
        _exit(126);
    std::vector<std::string> words;
    if (const char* wrapper = std::getenv("COSMAC_TEST_WRAPPER")) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;)
            words.push_back(word);
    }
    words.push_back(binary);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int decode_status(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "cosmac-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string as_ordinary_user(const std::string& binary)
{
    return (geteuid() == 0 ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups " : "exec ") + binary;
}

bool give_to_ordinary_user(const std::filesystem::path& path)
{
    return geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0;
}

Transcript assemble_board_monitor(const std::filesystem::path& dir, const BoardMonitorBuild& build)
{
    return run_piped("", dir,
                     {COSMAC_BOARD_FIRMWARE, "--syntax", "a18", "--format", "hex", "-o", "fw.hex", "-D", "EF=" + build.ef,
                      "-D", "RXINV=" + build.rx_invert, "-D", "TXINV=" + build.tx_invert, "-D", "ORIGIN=" + build.origin},
                     kAssemblerBinary);
}

// Standard input is an unnamed file holding the whole input, so that the program
// can read at its own pace; standard output and error are pipes.
Transcript run_piped(std::string_view input, const std::filesystem::path& dir, const std::vector<std::string>& arguments,
                      const std::string& binary)
{
    const int in = memfd_create("cosmac-test-input", MFD_CLOEXEC);
    int out[2], err[2];
    if (in < 0 || pwrite(in, input.data(), input.size(), 0) != static_cast<ssize_t>(input.size()) ||
        pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot set up the program's standard streams");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        exec_program(dir, binary, arguments);
    }
    close(in);
    close(out[1]);
    close(err[1]);
    Transcript transcript;
    for (bool out_open = true, err_open = true; out_open || err_open;) {
        pollfd fds[2] = {{out_open ? out[0] : -1, POLLIN, 0}, {err_open ? err[0] : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0)
                continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? transcript.out : transcript.err).append(buffer, static_cast<std::size_t>(n));
            else
                (i == 0 ? out_open : err_open) = false;
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    transcript.exit_status = decode_status(status);
    return transcript;
}

PtySession::PtySession(const std::filesystem::path& dir, const PtyOptions& options)
{
    int terminal = -1;
    if (openpty(&master_, &terminal, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    tcgetattr(terminal, &initial_);
    if (options.transparent) {
        initial_.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        initial_.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(terminal, TCSANOW, &initial_);
    }
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        close(master_);
        if (login_tty(terminal) != 0)
            _exit(126);
        const rlimit no_core{0, 0};  // a test that sends SIGQUIT wants the status, not a core file
        setrlimit(RLIMIT_CORE, &no_core);
        if (!options.error_file.empty()) {
            const int error = open((dir / options.error_file).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (error < 0 || dup2(error, STDERR_FILENO) < 0)
                _exit(126);
        }
        setenv("TERM", options.term.c_str(), 1);
        if (options.no_state_home) {
            unsetenv("XDG_STATE_HOME");
            setenv("HOME", dir.c_str(), 1);
        } else {
            setenv("XDG_STATE_HOME", dir.c_str(), 1);
        }
        exec_program(dir, kCosmacBinary, options.arguments);
    }
    close(terminal);
}

PtySession::~PtySession()
{
    if (!exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(master_);
}

void PtySession::type(std::string_view keys)
{
    while (!keys.empty()) {
        const ssize_t n = write(master_, keys.data(), keys.size());
        if (n <= 0)
            return;
        keys.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool PtySession::read_some(std::chrono::milliseconds timeout)
{
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return false;  // EIO: the program has ended and closed the terminal
    screen_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool PtySession::expect(std::string_view text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t found = screen_.find(text, seen_);
        if (found != std::string::npos) {
            seen_ = found + text.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !read_some(left))
            return false;
    }
}

termios PtySession::settings() const
{
    termios t{};
    tcgetattr(master_, &t);
    return t;
}

bool PtySession::input_taken() const
{
    const int terminal = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int unread = -1;
    ioctl(terminal, FIONREAD, &unread);
    close(terminal);
    return unread == 0;
}

bool PtySession::reads_terminal_without_blocking() const
{
    const std::filesystem::path terminal = ptsname(master_);
    const std::filesystem::path process = "/proc/" + std::to_string(pid_);
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(process / "fd", error)) {
        if (fd.path().filename() == "0" || std::filesystem::read_symlink(fd.path(), error) != terminal)
            continue;
        std::ifstream info(process / "fdinfo" / fd.path().filename());
        std::string field;
        unsigned flags = 0;
        while (info >> field)
            if (field == "flags:" && info >> std::oct >> flags)
                break;
        if ((flags & O_ACCMODE) == O_RDONLY && (flags & O_NONBLOCK) != 0)
            return true;
    }
    return false;
}

void PtySession::signal(int signal_number) { kill(pid_, signal_number); }


int PtySession::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        read_some(std::chrono::milliseconds(10));  // keep the terminal drained
    }
    exited_ = true;
    while (read_some(std::chrono::milliseconds(0))) {
    }
    return decode_status(status);
}

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

}  // namespace cosmac::testing
