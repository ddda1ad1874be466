// What only a terminal shows: prompts before input is read, raw key reads,
// Control-C, and the terminal's settings left as they were.
#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

// The program switches the terminal to raw mode only while it waits for a key.
bool wait_for_raw_mode(const PtySession& session, const termios& cooked)
{
    for (int i = 0; i < 500; ++i) {
        if (!same_settings(session.settings(), cooked))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Enters bytes at 0000 with m commands and waits for each prompt.
void enter_program(PtySession& session, std::initializer_list<const char*> bytes)
{
    bool first = true;
    for (const char* byte : bytes) {
        session.type(std::string(first ? "m 0 " : "m ") + byte + "\n");
        ASSERT_TRUE(session.expect("\r\n-"));
        first = false;
    }
}

// A fresh cosmac on a terminal, at its first prompt, and the terminal's settings then.
class TerminalSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.expect("\r\nCOSMAC 1802 Simulator\r\n\r\n-"));
        cooked = session.settings();
    }

    TempDir dir;
    PtySession session{dir.path()};
    termios cooked{};
};

TEST_F(TerminalSession, KeysAreReadRawAndSettingsRestoredAfterEach)
{
    enter_program(session, {"68", "02", "fb", "0d", "3a", "00", "70"});  // loop: GETC; XRI 0D; BNZ loop; RET

    session.type("g 0\n");
    ASSERT_TRUE(wait_for_raw_mode(session, cooked));
    session.type("q");  // no Enter: the program takes the key at once
    ASSERT_TRUE(session.expect("Q"));
    ASSERT_TRUE(wait_for_raw_mode(session, cooked));
    session.type("\x03");
    ASSERT_TRUE(session.expect("Break\r\n\r\n4 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 03, DF = 0, B = 00, P = 0, X = 0\r\n"));
    ASSERT_TRUE(session.expect("0000 INVALID\r\n-"));
    EXPECT_EQ(session.screen().find("qQ"), std::string::npos) << "the terminal echoed the key";
    EXPECT_TRUE(same_settings(session.settings(), cooked));

    session.type("g\n");
    ASSERT_TRUE(wait_for_raw_mode(session, cooked));
    session.type("\r");  // Enter arrives as CR: the loop ends at the RET
    ASSERT_TRUE(session.expect("Break\r\n\r\n4 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 00, DF = 0, B = 00, P = 0, X = 0\r\n"));
    ASSERT_TRUE(session.expect("0007 IDLE\r\n-"));
    EXPECT_TRUE(same_settings(session.settings(), cooked));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

TEST(Terminal, SettingsAreRestoredWhenTheProgramIsKilledDuringAKeyRead)
{
    for (const int signal_number : {SIGTERM, SIGHUP}) {
        TempDir dir;
        PtySession session(dir.path());
        ASSERT_TRUE(session.expect("-"));
        const termios cooked = session.settings();
        enter_program(session, {"68", "02"});
        session.type("g 0\n");
        ASSERT_TRUE(session.expect("g 0\r\n"));
        ASSERT_TRUE(wait_for_raw_mode(session, cooked));
        session.signal(signal_number);
        EXPECT_EQ(session.wait(), 128 + signal_number);
        EXPECT_TRUE(same_settings(session.settings(), cooked)) << "signal " << signal_number;
    }
}

TEST_F(TerminalSession, RunningProgramsOutputShowsAtOnceAndControlCInterruptsIt)
{
    enter_program(session, {"7b", "f8", "41", "68", "01", "30", "05"});  // SEQ, LDI 'A', PUTC, then BR to itself
    session.type("g 0\n");
    ASSERT_TRUE(session.expect("Q1\r\nA"));
    session.type("\x03");
    ASSERT_TRUE(session.expect("Break\r\n\r\n"));
    ASSERT_TRUE(session.expect(" instructions executed\r\n"));
    ASSERT_TRUE(session.expect("0005 BR 05\r\n-"));
    session.type("r\n");
    ASSERT_TRUE(session.expect(" R0 = 0005, R4 = 0000, R8 = 0000, RC = 0000\r\n"));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

TEST_F(TerminalSession, ControlCAtAReplyCountsAsNoNumber)
{
    enter_program(session, {"e1", "6a", "30", "01"});  // SEX 1; loop: INP 2; BR loop
    session.type("r 1 80\ng 0\n");
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("7\n");
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("12\x03");
    ASSERT_TRUE(session.expect("Break\r\n\r\n4 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 00, DF = 0, B = 00, P = 0, X = 1\r\n"));
    ASSERT_TRUE(session.expect("0002 BR 01\r\n-"));

    session.type("s 1\n");  // a single step shows its display as usual
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("5\x03");
    ASSERT_TRUE(session.expect(" D = 00, DF = 0, B = 00, P = 0, X = 1\r\n"));
    ASSERT_TRUE(session.expect("0002 BR 01\r\n-"));
    session.type("d 80\n");
    ASSERT_TRUE(session.expect("0080: 00 00"));
    session.type("\x03");  // at the prompt, Control-C ends the monitor
    EXPECT_EQ(session.wait(), 128 + SIGINT);
}

TEST(Terminal, ControlCStopsTheDebuggersRuns)
{
    TempDir dir;
    PtySession session(dir.path(), false, {"--debug"});
    ASSERT_TRUE(session.expect("-"));
    session.type("e 0 f8 41 68 01 30 02\n");  // LDI 'A', then PUTC forever
    ASSERT_TRUE(session.expect("-"));
    const std::pair<const char*, const char*> runs[] = {{"o", "AAAA"}, {"t 7fffffff", "A0002 INVALID\r\n0004 BR 02"}};
    for (const auto& [command, shown] : runs) {
        session.type(std::string(command) + "\n");
        ASSERT_TRUE(session.expect(shown)) << command;
        session.type("\x03");
        ASSERT_TRUE(session.expect("Break\r\n\r\n")) << command;
        ASSERT_TRUE(session.expect(" machine cycles, ")) << command;
        ASSERT_TRUE(session.expect("\r\n-")) << command;
    }
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

// The same session through pipes and on a terminal writes the same bytes; only
// when they appear differs.
TEST(Terminal, OutputIsTheSameAsThroughAPipe)
{
    const char* program[] = {"f8", "48", "68", "01", "f8", "69", "68", "01", "f8", "0d", "68", "01",  // H i CR
                             "7b", "e1", "61", "68", "02", "68", "02", "7a", "70"};  // SEQ, OUT, two keys, REQ, RET
    std::vector<std::string> lines;
    for (const char* byte : program)
        lines.push_back(std::string(lines.empty() ? "m 0 " : "m ") + byte);
    lines.insert(lines.end(), {"g 0", "u 0", "d 0", "r", "s 13", "q"});

    std::string input;
    for (const auto& line : lines) {
        input += line + "\n";
        if (line == "g 0")
            input += "xy";
    }
    TempDir piped_dir;
    const Transcript piped = run_piped(input, piped_dir.path());

    TempDir dir;
    PtySession session(dir.path(), /*transparent=*/true);
    ASSERT_TRUE(session.expect("-"));
    const termios cooked = session.settings();
    for (const auto& line : lines) {
        session.type(line + "\n");
        if (line == "g 0") {
            ASSERT_TRUE(wait_for_raw_mode(session, cooked));
            session.type("x");
            ASSERT_TRUE(wait_for_raw_mode(session, cooked));
            session.type("y");
        }
        if (line != "q") {
            ASSERT_TRUE(session.expect("-")) << line;
        }
    }
    EXPECT_EQ(session.wait(), 0);
    EXPECT_EQ(session.screen(), piped.out);
    EXPECT_NE(piped.out.find("Hi\nQ1\nf8\nXYQ0\nBreak\n"), std::string::npos) << piped.out;
}

}  // namespace
}  // namespace cosmac::testing
