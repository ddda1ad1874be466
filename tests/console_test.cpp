// The standard console's raw mode on a pseudo-terminal, driven step by step from
// a child process whose standard streams are the terminal.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "monitor/console.hpp"

namespace cosmac::testing {
namespace {

// A child process whose standard streams are a new pseudo-terminal runs body on
// a StandardConsole there (no line editor), then exits with 0.
pid_t start_on_terminal(int& master, const std::function<void(StandardConsole&)>& body)
{
    int terminal = -1;
    if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        if (login_tty(terminal) != 0)
            _exit(126);
        setenv("TERM", "dumb", 1);
        StandardConsole console;
        body(console);
        _exit(0);
    }
    close(terminal);
    return pid;
}

// Each step runs in the child; after it the parent sees the terminal's settings.
void run_steps(const std::vector<std::function<void(StandardConsole&)>>& steps,
               const std::function<void(std::size_t step, int master)>& after_step)
{
    int done[2];  // child to parent: a step has run
    int go[2];    // parent to child: run the next one
    ASSERT_EQ(pipe(done), 0);
    ASSERT_EQ(pipe(go), 0);
    int master = -1;
    const pid_t pid = start_on_terminal(master, [&](StandardConsole& console) {
        char next = 0;
        for (const auto& step : steps) {
            step(console);
            if (write(done[1], "+", 1) != 1 || read(go[0], &next, 1) != 1)
                _exit(1);
        }
    });
    ASSERT_GE(pid, 0);
    for (std::size_t step = 0; step < steps.size(); ++step) {
        char byte = 0;
        ASSERT_EQ(read(done[0], &byte, 1), 1) << "the child ended before step " << step;
        after_step(step, master);
        ASSERT_EQ(write(go[1], "+", 1), 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const int fd : {master, done[0], done[1], go[0], go[1]})
        close(fd);
}

termios settings_of(int master)
{
    termios settings{};
    tcgetattr(master, &settings);
    return settings;
}

// Raw mode nests: a key read, or a second hold, while a board's run holds the
// terminal raw leaves it as the hold set it (output raw too), and the release
// alone gives back the settings from before.
TEST(StandardConsole, RawModeNestsInsideAHold)
{
    termios cooked{};
    const std::vector<std::function<void(StandardConsole&)>> steps = {
        [](StandardConsole&) {},
        [](StandardConsole& console) { console.hold_raw(/*raw_output=*/true); },
        [](StandardConsole& console) {
            if (console.read_key() != 'k')
                _exit(2);
        },
        [](StandardConsole& console) { console.hold_raw(/*raw_output=*/false); },
        [](StandardConsole& console) { console.release_raw(); },
    };
    run_steps(steps, [&](std::size_t step, int master) {
        const termios now = settings_of(master);
        const bool raw = (now.c_lflag & (ICANON | ECHO | ISIG)) == 0;
        const bool raw_output = (now.c_oflag & OPOST) == 0;
        switch (step) {
        case 0:
            cooked = now;
            EXPECT_FALSE(raw);
            break;
        case 1:
            EXPECT_TRUE(raw && raw_output);
            ASSERT_EQ(write(master, "k", 1), 1);  // for the key read
            break;
        case 2:
        case 3:
            EXPECT_TRUE(raw && raw_output) << "step " << step;
            break;
        default:
            EXPECT_EQ(std::memcmp(&now, &cooked, sizeof now), 0) << "the settings from before come back";
            break;
        }
    });
}

// Until the monitor says otherwise, Control-C at a command line ends the program
// as in the plain monitor: it does not cancel the line.
TEST(StandardConsole, ControlCAtACommandLineEndsTheProgramUnlessTheMonitorSaysOtherwise)
{
    int master = -1;
    const pid_t pid = start_on_terminal(master, [](StandardConsole& console) {
        std::string line;
        console.read_line("-", line, /*command=*/true);
    });
    ASSERT_GE(pid, 0);
    char shown = 0;
    while (shown != '-')
        ASSERT_EQ(read(master, &shown, 1), 1);  // the prompt: the line is being read
    ASSERT_EQ(write(master, "\x03\x04", 2), 2);  // Control-D ends the read if Control-C did not end the program
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    close(master);
}

}  // namespace
}  // namespace cosmac::testing
