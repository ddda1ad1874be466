// cosmac --dap through pipes: a session of requests in tests/dap, worked out by
// hand, answered message for message (seq left out), with bytes that are no
// protocol among them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dap/messages.hpp"
#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

std::string with_examples(std::string text)
{
    for (std::size_t at; (at = text.find("$EXAMPLES")) != std::string::npos;)
        text.replace(at, 9, COSMAC_EXAMPLES);
    return text;
}

// The messages cosmac sent, each without its seq, as one line of JSON.
std::vector<std::string> messages_in(const std::string& output)
{
    std::size_t at = 0;
    dap::MessageReader reader([&](char* data, std::size_t size) {
        const std::size_t n = std::min(size, output.size() - at);
        output.copy(data, n, at);
        at += n;
        return n;
    });
    std::vector<std::string> messages;
    for (dap::Incoming incoming; (incoming = reader.next()).kind != dap::Incoming::Kind::End;) {
        EXPECT_EQ(incoming.kind, dap::Incoming::Kind::Message) << incoming.error;
        incoming.body.erase("seq");
        messages.push_back(incoming.body.dump());
    }
    return messages;
}

class DapSession : public ::testing::TestWithParam<const char*> {};

// printdec: breakpoints by line, steps and step back; features: the other
// breakpoints, memory, disassembly, setVariable, restart, goto and pause; input:
// keys and INP's bytes typed after > in the debug console; board: the launch's
// board and options, the serial terminal, and stepping back on a board; empty:
// a program of no bytes starts at 0000, as the machine does at power-on;
// cpu1805: the 1805 on a board, its counter among the registers, its
// instructions disassembled, n over SCAL and an unused opcode; then on the
// console machine, its key read at 68 D2.
TEST_P(DapSession, AnsweredMessageForMessage)
{
    TempDir dir;
    const fs::path sessions = fs::path(COSMAC_TRANSCRIPTS).parent_path() / "dap";
    ASSERT_EQ(run_piped("", dir.path(), {COSMAC_EXAMPLES "/printdec.asm", "-o", "printdec.elf"}, kAssemblerBinary).exit_status, 0);
    ASSERT_EQ(run_piped("", dir.path(), {COSMAC_EXAMPLES "/timer1805.asm", "-o", "timer1805.elf"}, kAssemblerBinary).exit_status, 0);
    ASSERT_EQ(assemble_board_monitor(dir.path()).exit_status, 0);
    std::ofstream(dir.path() / "empty.hex") << ":00000001FF\n";  // a program of no bytes
    std::ofstream(dir.path() / "key1805.hex") << ":0300000068D200C3\n:00000001FF\n";  // 68 D2, IDLE
    std::string input = "Content-Length: 3\r\n\r\n[1]GET / HTTP/1.0\r\n\r\n";  // answered by nothing
    for (const std::string& request : lines_of(with_examples(read_file(sessions / (std::string(GetParam()) + ".requests"))))) {
        input += dap::framed(dap::Json::parse(request));
        input += "Content-Length: 9\r\n\r\n{\"seq\":0}";  // no request: no answer
    }
    const Transcript session = run_piped(input, dir.path(), {"--dap"});
    EXPECT_EQ(session.exit_status, 0);
    EXPECT_EQ(session.err, "");
    EXPECT_EQ(messages_in(session.out), lines_of(with_examples(read_file(sessions / (std::string(GetParam()) + ".messages")))));
}

// An editor that disconnects keeps its end of the adapter's input open: the
// adapter ends all the same, with its answers sent.
TEST(Dap, EndsAtADisconnectWithItsInputStillOpen)
{
    int to_adapter[2], from_adapter[2];
    ASSERT_EQ(pipe2(to_adapter, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(from_adapter, O_CLOEXEC), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_adapter[0], STDIN_FILENO);
        dup2(from_adapter[1], STDOUT_FILENO);
        execl(kCosmacBinary.c_str(), kCosmacBinary.c_str(), "--dap", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(to_adapter[0]);
    close(from_adapter[1]);
    const std::string requests = dap::framed({{"seq", 1}, {"type", "request"}, {"command", "initialize"}}) +
                                 dap::framed({{"seq", 2}, {"type", "request"}, {"command", "disconnect"}});
    ASSERT_EQ(write(to_adapter[1], requests.data(), requests.size()), static_cast<ssize_t>(requests.size()));
    std::string answers;
    char buffer[4096];
    for (pollfd ready{from_adapter[0], POLLIN, 0}; poll(&ready, 1, 10000) == 1;) {
        const ssize_t n = read(from_adapter[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        answers.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    bool ended = false;
    for (int tries = 0; tries < 500 && !ended; ++tries) {  // it may still be on its way out
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            usleep(10000);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(to_adapter[1]);
    close(from_adapter[0]);
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(messages_in(answers).size(), 3u);  // initialize's and disconnect's answers, and terminated
}

INSTANTIATE_TEST_SUITE_P(Dap, DapSession, ::testing::Values("printdec", "features", "input", "board", "empty", "cpu1805"));

}  // namespace
}  // namespace cosmac::testing
