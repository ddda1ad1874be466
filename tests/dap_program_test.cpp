// cosmac --dap through pipes: a session of requests in tests/dap, worked out by
// hand, answered message for message (seq left out), with bytes that are no
// protocol among them.
#include <gtest/gtest.h>

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
// board and options, the serial terminal, and stepping back on a board.
TEST_P(DapSession, AnsweredMessageForMessage)
{
    TempDir dir;
    const fs::path sessions = fs::path(COSMAC_TRANSCRIPTS).parent_path() / "dap";
    ASSERT_EQ(run_piped("", dir.path(), {COSMAC_EXAMPLES "/printdec.asm", "-o", "printdec.elf"}, kAssemblerBinary).exit_status, 0);
    ASSERT_EQ(assemble_board_monitor(dir.path()).exit_status, 0);
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

INSTANTIATE_TEST_SUITE_P(Dap, DapSession, ::testing::Values("printdec", "features", "input", "board"));

}  // namespace
}  // namespace cosmac::testing
