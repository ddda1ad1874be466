// Runs cosmac and the yardstick loop side by side on the benchmark scripts, A B A B,
// with standard output to a pipe, and reports instructions per second and their
// ratio (median of the runs). cosmac runs each script a second time in debugger
// mode, with the history recording, 8 breakpoints and a watchpoint armed that the
// script never hits, and that speed is reported against the plain one. Also
// reports cosmac's start-up time to the end of a "q" session and its peak
// resident memory. It runs each script a third time on a board, cosmac --board elf
// --serial ef3 --speed max, with the console service's 68 01 turned into SEQ, REQ
// (two instructions, which the serial line's decoder watches), and reports that
// speed against the plain one too; the board's count includes those extra
// instructions.
//
//   compare COSMAC YARDSTICK SCRIPT_DIR [RUNS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    unsigned long long instructions = 0;
    long max_rss_kb = 0;
};

// Runs program with the options and the file as standard input; standard output
// goes to a pipe that is drained here, standard error to /dev/null.
Run run(const std::string& program, const std::string& input_path, std::vector<const char*> options = {})
{
    int out[2];
    if (pipe(out) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(input_path.c_str(), O_RDONLY);
        const int null = open("/dev/null", O_WRONLY);
        dup2(in, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(out[0]);
        options.insert(options.begin(), program.c_str());
        options.push_back(nullptr);
        execv(program.c_str(), const_cast<char* const*>(options.data()));
        _exit(127);
    }
    close(out[1]);
    std::string tail;
    char buffer[1 << 16];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        tail.append(buffer, static_cast<std::size_t>(n));
        if (tail.size() > 4096)
            tail.erase(0, tail.size() - 4096);
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.max_rss_kb = usage.ru_maxrss;
    const std::size_t line = tail.rfind(" instructions executed");
    if (line != std::string::npos) {
        std::size_t begin = line;
        while (begin > 0 && tail[begin - 1] >= '0' && tail[begin - 1] <= '9')
            --begin;
        result.instructions = std::strtoull(tail.c_str() + begin, nullptr, 10);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed on %s\n", program.c_str(), input_path.c_str());
        std::exit(1);
    }
    return result;
}

std::string temporary_script(const std::string& text)
{
    std::string path = "/tmp/cosmac-script-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("script");
        std::exit(1);
    }
    close(fd);
    return path;
}

std::string read_script(const std::string& path)
{
    std::ifstream script(path);
    return std::string(std::istreambuf_iterator<char>(script), {});
}

// The script with breakpoints and a watchpoint armed first, none of which it hits.
std::string armed_script(const std::string& path)
{
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "b " + std::to_string(8000 + i) + "\n";
    text += "w f000 10\n";
    return temporary_script(text + read_script(path));
}

// The script for a board: the console service's character out becomes SEQ, REQ,
// a Control-] first ends the run the board starts with, and one after g ends the
// keys that its run reads ahead.
std::string board_script(const std::string& path)
{
    std::string text = read_script(path);
    for (std::size_t at; (at = text.find("m 68\nm 01\n")) != std::string::npos;)
        text.replace(at, 10, "m 7B\nm 7A\n");
    for (std::size_t at = 0; (at = text.find("\ng 0\n", at)) != std::string::npos; at += 6)
        text.insert(at + 6, 1, '\x1d');
    return temporary_script("\x1d" + text);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s COSMAC YARDSTICK SCRIPT_DIR [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string cosmac = argv[1], yardstick = argv[2], scripts = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

    std::printf("%-6s %12s %14s %14s %7s %9s %12s %9s %12s %9s\n", "script", "instructions", "cosmac Mi/s",
                "yardstick Mi/s", "ratio", "RSS KB", "--debug Mi/s", "of plain", "--board Mi/s", "of plain");
    for (const char* name : {"count", "copy", "print"}) {
        const std::string path = scripts + "/" + name + ".txt";
        const std::string armed = armed_script(path);
        const std::string on_board = board_script(path);
        std::vector<double> cosmac_rates, yardstick_rates, debug_rates, board_rates;
        unsigned long long instructions = 0;
        long rss = 0;
        for (int i = 0; i < runs; ++i) {
            const Run a = run(cosmac, path);
            const Run b = run(yardstick, path);
            const Run d = run(cosmac, armed, {"--debug"});
            // A quiet time longer than any script runs, so that the run ends at the program's IDLE.
            const Run e = run(cosmac, on_board, {"--board", "elf", "--serial", "ef3", "--speed", "max", "--quiet", "1000000"});
            if (a.instructions != b.instructions || a.instructions != d.instructions || a.instructions == 0) {
                std::fprintf(stderr, "%s: cosmac counted %llu, the yardstick %llu, cosmac --debug %llu\n", name,
                             a.instructions, b.instructions, d.instructions);
                return 1;
            }
            instructions = a.instructions;
            rss = std::max(rss, a.max_rss_kb);
            cosmac_rates.push_back(a.instructions / a.seconds / 1e6);
            yardstick_rates.push_back(b.instructions / b.seconds / 1e6);
            debug_rates.push_back(d.instructions / d.seconds / 1e6);
            board_rates.push_back(e.instructions / e.seconds / 1e6);
        }
        unlink(armed.c_str());
        unlink(on_board.c_str());
        const double a = median(cosmac_rates), b = median(yardstick_rates), d = median(debug_rates),
                     e = median(board_rates);
        std::printf("%-6s %12llu %14.1f %14.1f %6.2fx %9ld %12.1f %8.2fx %12.1f %8.2fx\n", name, instructions, a, b,
                    a / b, rss, d, d / a, e, e / a);
    }

    char quit_path[] = "/tmp/cosmac-quit-XXXXXX";
    const int fd = mkstemp(quit_path);
    if (fd < 0 || write(fd, "q\n", 2) != 2)
        return 1;
    close(fd);
    std::vector<double> startups;
    long rss = 0;
    for (int i = 0; i < std::max(runs, 11); ++i) {
        const Run q = run(cosmac, quit_path);
        startups.push_back(q.seconds * 1e3);
        rss = std::max(rss, q.max_rss_kb);
    }
    unlink(quit_path);
    std::printf("start-up to exit of a \"q\" session: %.2f ms (median), peak RSS %ld KB\n", median(startups), rss);
    return 0;
}
