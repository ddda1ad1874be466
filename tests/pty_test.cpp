// What only a terminal shows: prompts before input is read, raw key reads,
// Control-C, and the terminal's settings left as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

// Waits until the terminal is in a mode: keys typed before then are taken by
// the terminal's own line discipline.
bool wait_for(const PtySession& session, bool (PtySession::*mode)() const)
{
    for (int i = 0; i < 500; ++i) {
        if ((session.*mode)())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The program switches the terminal to raw mode only while it waits for a key.
bool wait_for_key_read(const PtySession& session) { return wait_for(session, &PtySession::reading_key); }

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

// A fresh cosmac on a terminal that edits lines, at its first prompt.
class TerminalSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.expect("\r\nCOSMAC 1802 Simulator\r\n\r\n-")); }

    TempDir dir;
    PtySession session{dir.path()};
    const termios& cooked = session.initial_settings();
};

TEST_F(TerminalSession, KeysAreReadRawAndSettingsRestoredAfterEach)
{
    enter_program(session, {"68", "02", "fb", "0d", "3a", "00", "70"});  // loop: GETC; XRI 0D; BNZ loop; RET

    session.type("g 0\n");
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("q");  // no Enter: the program takes the key at once
    ASSERT_TRUE(session.expect("Q"));
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("\x03");
    ASSERT_TRUE(session.expect("Break\r\n\r\n4 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 03, DF = 0, B = 00, P = 0, X = 0\r\n"));
    ASSERT_TRUE(session.expect("0000 INVALID\r\n-"));
    EXPECT_EQ(session.screen().find("qQ"), std::string::npos) << "the terminal echoed the key";
    EXPECT_FALSE(session.reading_key());

    session.type("g\n");
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("\r");  // Enter arrives as CR: the loop ends at the RET
    ASSERT_TRUE(session.expect("Break\r\n\r\n4 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 00, DF = 0, B = 00, P = 0, X = 0\r\n"));
    ASSERT_TRUE(session.expect("0007 IDLE\r\n-"));
    EXPECT_FALSE(session.reading_key());
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
    EXPECT_TRUE(same_settings(session.settings(), cooked));  // the line editor's settings too are undone
}

TEST(Terminal, SettingsAreRestoredWhenTheProgramIsKilledDuringAKeyRead)
{
    for (const int signal_number : {SIGTERM, SIGHUP}) {
        TempDir dir;
        PtySession session(dir.path());
        ASSERT_TRUE(session.expect("-"));
        const termios& cooked = session.initial_settings();
        enter_program(session, {"68", "02"});
        session.type("g 0\n");
        ASSERT_TRUE(session.expect("g 0\r\n"));
        ASSERT_TRUE(wait_for_key_read(session));
        session.signal(signal_number);
        EXPECT_EQ(session.wait(), 128 + signal_number);
        EXPECT_TRUE(same_settings(session.settings(), cooked)) << "signal " << signal_number;
    }
    // Killed at the prompt, before any key read, it leaves the settings alone.
    TempDir dir;
    PtySession prompt(dir.path(), {.transparent = false, .arguments = {}, .term = "dumb"});
    ASSERT_TRUE(prompt.expect("-"));
    prompt.signal(SIGTERM);
    EXPECT_EQ(prompt.wait(), 128 + SIGTERM);
    EXPECT_TRUE(same_settings(prompt.settings(), prompt.initial_settings()));
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

// Control-C at a reply stops the run on the instruction, which changes nothing
// and is not counted: neither D, N, I nor the byte at M(R(X)) takes a value
// that was not typed.
TEST_F(TerminalSession, ControlCAtAReplyStopsBeforeTheInstruction)
{
    enter_program(session, {"e1", "6a", "30", "01"});  // SEX 1; loop: INP 2; BR loop
    session.type("r 1 80\ng 0\n");
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("7\n");
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("12\x03");
    ASSERT_TRUE(session.expect("\r\nBreak\r\n\r\n3 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 07, DF = 0, B = 00, P = 0, X = 1\r\n Q = 0, N = 0, I = 3\r\n"));  // BR's
    ASSERT_TRUE(session.expect("0001 INP 2\r\n-"));

    session.type("s 1\n");  // a single step shows its display as usual
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("5\x03");
    ASSERT_TRUE(session.expect(" D = 07, DF = 0, B = 00, P = 0, X = 1\r\n"));
    ASSERT_TRUE(session.expect("0001 INP 2\r\n-"));
    session.type("d 80\n");
    ASSERT_TRUE(session.expect("0080: 07 00"));

    session.type("m 10 37\nm 10\ng 10\n");  // loop: B4 loop
    ASSERT_TRUE(session.expect("EF4 ?"));
    session.type("1\n");
    ASSERT_TRUE(session.expect("EF4 ?"));
    session.type("\x03");
    ASSERT_TRUE(session.expect("\r\nBreak\r\n\r\n1 instructions executed\r\n"));
    ASSERT_TRUE(session.expect("0010 B4 10\r\n-"));
    session.type("\x03");  // at the prompt, Control-C ends the monitor
    EXPECT_EQ(session.wait(), 128 + SIGINT);
    EXPECT_TRUE(same_settings(session.settings(), cooked));  // the line editor's settings are undone
}

// In debugger and board mode Control-C at the monitor's prompt cancels the line
// being typed, with the line editor and without: nothing runs, and the prompt
// comes again on a new line. Control-D still leaves.
TEST(Terminal, ControlCAtThePromptCancelsTheLineInDebuggerAndBoardMode)
{
    struct Mode {
        std::vector<std::string> arguments;
        std::string term;
    };
    const Mode modes[] = {{{"--debug"}, "xterm"}, {{"--debug"}, "dumb"}, {{"--board", "elf"}, "xterm"},
                          {{"--board", "elf"}, "dumb"}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.arguments[0] + " TERM=" + mode.term);
        TempDir dir;
        PtySession session(dir.path(), {.transparent = false, .arguments = mode.arguments, .term = mode.term});
        const bool edits = mode.term != "dumb";
        const auto at_prompt = [&] {
            return session.expect("\r\n-") && (!edits || wait_for(session, &PtySession::editing));
        };
        ASSERT_TRUE(at_prompt());
        session.type("r 3 12");
        ASSERT_TRUE(session.expect("r 3 12"));  // echoed: the typed text has reached the terminal or the editor
        session.type("\x03");
        ASSERT_TRUE(session.expect("\r\n-"));
        EXPECT_TRUE(session.screen().ends_with(edits ? "r 3 12\r\n-" : "r 3 12^C\r\n-"))  // ^C is the terminal's echo
            << session.screen();
        ASSERT_TRUE(!edits || wait_for(session, &PtySession::editing));
        // Control-C empties the terminal's input, also keys the monitor has seen
        // waiting and not yet read: typed at once, they are a race it must win,
        // and can only with reads that never block.
        EXPECT_TRUE(session.reads_terminal_without_blocking());
        for (int burst = 0; burst < 50; ++burst) {
            session.type("r 3 12");
            session.type("\x03");
            ASSERT_TRUE(session.expect("\r\n-")) << "burst " << burst << ": " << session.screen();
            ASSERT_TRUE(!edits || wait_for(session, &PtySession::editing));
        }
        session.type("r\n");
        ASSERT_TRUE(session.expect(" R3 = 0000, "));
        ASSERT_TRUE(at_prompt());
        if (!edits) {
            session.type("r 3 1\x04");  // Control-D hands the unfinished line to cosmac
            ASSERT_TRUE(session.expect("r 3 1"));  // echoed: the terminal holds it
            ASSERT_TRUE(wait_for(session, &PtySession::input_taken));
            session.type("\x03");
            ASSERT_TRUE(session.expect("^C\r\n-"));
            EXPECT_TRUE(session.screen().ends_with("r 3 1^C\r\n-")) << session.screen();
            session.type("r\n");
            ASSERT_TRUE(session.expect(" R3 = 0000, "));
            ASSERT_TRUE(at_prompt());
        }
        session.type("\x04");
        EXPECT_EQ(session.wait(), 0);
        EXPECT_TRUE(same_settings(session.settings(), session.initial_settings()));
    }
}

// Without the line editor too, Control-C at the plain monitor's prompt ends it.
TEST(Terminal, ControlCAtThePlainPromptEndsTheMonitor)
{
    TempDir dir;
    PtySession session(dir.path(), {.transparent = false, .arguments = {}, .term = "dumb"});
    ASSERT_TRUE(session.expect("\r\n-"));
    session.type("r 3 12");
    ASSERT_TRUE(session.expect("r 3 12"));
    session.type("\x03");
    EXPECT_EQ(session.wait(), 128 + SIGINT);
    EXPECT_TRUE(same_settings(session.settings(), session.initial_settings()));
}

// A board's live run holds the terminal raw; a signal from another process that
// ends cosmac then puts the terminal's settings back, and cosmac dies of it.
TEST(Terminal, SettingsAreRestoredWhenTheProgramIsKilledDuringABoardsRun)
{
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        SCOPED_TRACE(signal_number);
        TempDir dir;
        std::ofstream(dir.path() / "loop.bin", std::ios::binary) << std::string("\x30\x00", 2);  // BR 00
        PtySession session(dir.path(),
                           {.transparent = false, .arguments = {"--board", "elf", "loop.bin@0"}, .term = "dumb"});
        ASSERT_TRUE(wait_for_key_read(session));
        session.signal(signal_number);
        EXPECT_EQ(session.wait(), 128 + signal_number);
        const termios after = session.settings();
        EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
        EXPECT_TRUE(same_settings(after, session.initial_settings()));
    }
}

// Control-D at a reply ends the input as the end of a piped file does: the run
// stops with the INP undone and uncounted, and the monitor ends rather than
// wait for more from a user who is done.
TEST(Terminal, ControlDAtAReplyEndsTheInput)
{
    TempDir dir;
    PtySession session(dir.path(), {.transparent = false, .arguments = {}, .term = "dumb"});
    ASSERT_TRUE(session.expect("-"));
    session.type("m 0 6a\ng 0\n");  // INP 2
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("\x04");
    ASSERT_TRUE(session.expect("Break\r\n\r\n0 instructions executed\r\n"));
    ASSERT_TRUE(session.expect(" D = 00, DF = 0, B = 00, P = 0, X = 0\r\n Q = 0, N = 0, I = 0\r\n"));
    ASSERT_TRUE(session.expect("0000 INP 2\r\n-"));
    EXPECT_EQ(session.wait(), 0);
}

TEST(Terminal, ControlCStopsTheDebuggersRuns)
{
    TempDir dir;
    PtySession session(dir.path(), {.transparent = false, .arguments = {"--debug"}, .term = "xterm"});
    ASSERT_TRUE(session.expect("-"));
    session.type("e 0 f8 41 68 01 30 02\n");  // LDI 'A', then PUTC forever
    ASSERT_TRUE(session.expect("-"));
    const std::pair<const char*, const char*> runs[] = {{"o", "AAAA"}, {"t 7fffffff", "A\r\n0002 PUTC 41 'A'\r\n0004 BR 02"}};
    for (const auto& [command, shown] : runs) {
        session.type(std::string(command) + "\n");
        ASSERT_TRUE(session.expect(shown)) << command;
        session.type("\x03");
        ASSERT_TRUE(session.expect("Break\r\n\r\n")) << command;
        ASSERT_TRUE(session.expect(" machine cycles, ")) << command;
        ASSERT_TRUE(session.expect("\r\n-")) << command;
    }
    // Between runs Control-C at the prompt cancels the line; at a reply it still
    // stops the run as in the plain monitor.
    ASSERT_TRUE(wait_for(session, &PtySession::editing));
    session.type("g 0");
    ASSERT_TRUE(session.expect("g 0"));
    session.type("\x03");
    ASSERT_TRUE(session.expect("\r\n-"));
    ASSERT_TRUE(wait_for(session, &PtySession::editing));
    session.type("e 10 6a\n");  // INP 2
    ASSERT_TRUE(session.expect("\r\n-"));
    session.type("g 10\n");
    ASSERT_TRUE(session.expect("INP 2 ?"));
    session.type("\x03");
    ASSERT_TRUE(session.expect("\r\nBreak\r\n\r\n0 instructions executed\r\n"));
    ASSERT_TRUE(session.expect("0010 INP 2\r\n-"));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

// On a terminal the monitor's prompt edits lines and remembers them, also across
// sessions, in a history file only the user can read, of at most 1,000 lines.
TEST(Terminal, LinesAreEditedAndRemembered)
{
    TempDir dir;
    const fs::path history = dir.path() / "cosmac" / "history";
    // Types a line at the editor's prompt, and waits for the next one.
    const auto enter = [](PtySession& session, const std::string& keys) {
        ASSERT_TRUE(wait_for(session, &PtySession::editing));
        session.type(keys);
        ASSERT_TRUE(session.expect("\r\n-")) << keys;
    };
    const auto only_the_user_reads = [&] {
        return (fs::status(history).permissions() & fs::perms::all) == (fs::perms::owner_read | fs::perms::owner_write);
    };
    {
        PtySession session(dir.path());
        ASSERT_TRUE(session.expect("-"));
        EXPECT_TRUE(only_the_user_reads());  // from the first prompt, before a line is saved
        enter(session, "r 3 12\x1b[D\x1b[Dab\n");  // Left, Left: "r 3 ab12"
        enter(session, "r\n");
        EXPECT_NE(session.screen().find(" R3 = ab12, "), std::string::npos);
        enter(session, "\x1b[A\x1b[A\x05\x7f\x7f" "cd\n");  // Up, Up, Control-E, two Backspaces: "r 3 abcd"
        enter(session, "r\n");
        enter(session, "r\n");  // a line again at once is remembered once
        EXPECT_NE(session.screen().find(" R3 = abcd, "), std::string::npos);
        enter(session, "d 100\n");
        enter(session, "\n");  // an empty line repeats the command: the next 256 bytes
        EXPECT_NE(session.screen().find("\r\n02f0: 00 00"), std::string::npos);
        session.type("q\n");
        EXPECT_EQ(session.wait(), 0);
    }
    EXPECT_TRUE(only_the_user_reads());
    {
        PtySession session(dir.path());
        ASSERT_TRUE(session.expect("-"));
        enter(session, "r 3 0\n");
        enter(session, "\x1b[A\x1b[A\x1b[A\x1b[A\x1b[A\n");  // back past q, d 100 and r to "r 3 abcd"
        enter(session, "r\n");
        EXPECT_NE(session.screen().rfind(" R3 = abcd, "), std::string::npos);
        session.type("q\n");
        EXPECT_EQ(session.wait(), 0);
    }
    std::string lines;
    for (int i = 0; i < 1500; ++i)
        lines += "r 1 " + std::to_string(i) + "\n";
    std::ofstream(history) << "_HiStOrY_V2_\n" << lines;
    PtySession session(dir.path());
    ASSERT_TRUE(session.expect("-"));
    ASSERT_TRUE(wait_for(session, &PtySession::editing));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
    const std::string kept = read_file(history);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 1 + 1000);
    PtyOptions home_only;
    home_only.no_state_home = true;
    PtySession without_state_home(dir.path(), home_only);
    ASSERT_TRUE(wait_for(without_state_home, &PtySession::editing));
    without_state_home.type("q\n");
    EXPECT_EQ(without_state_home.wait(), 0);
    EXPECT_TRUE(fs::exists(dir.path() / ".local" / "state" / "cosmac" / "history"));
    EXPECT_EQ(fs::status(dir.path() / ".local" / "state").permissions() & fs::perms::all, fs::perms::owner_all);
}

// Each save writes the history whole into a new file that then takes the old
// one's place, so that a signal cannot leave it half written: a hard link to the
// old file keeps the old lines. A symbolic link is saved through, a history
// removed meanwhile is made again, and a save that fails leaves nothing behind.
TEST(Terminal, TheHistoryIsReplacedWhole)
{
    TempDir dir;
    const fs::path history = dir.path() / "cosmac" / "history";
    PtySession session(dir.path());
    const auto enter = [&](const std::string& keys) {
        ASSERT_TRUE(wait_for(session, &PtySession::editing));
        session.type(keys);
        ASSERT_TRUE(session.expect("\r\n-")) << keys;
        ASSERT_TRUE(wait_for(session, &PtySession::editing));  // the line is saved before it runs
    };
    ASSERT_TRUE(session.expect("-"));
    enter("r\n");
    EXPECT_EQ(read_file(history), "_HiStOrY_V2_\nr\n");
    const fs::path before = dir.path() / "before";
    fs::create_hard_link(history, before);

    enter("u\n");
    EXPECT_EQ(read_file(before), "_HiStOrY_V2_\nr\n");
    EXPECT_EQ(read_file(history), "_HiStOrY_V2_\nr\nu\n");
    EXPECT_FALSE(fs::equivalent(history, before));
    EXPECT_EQ(fs::status(history).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(history.parent_path()), fs::directory_iterator()), 1)
        << "a temporary file is left";

    const fs::path kept = dir.path() / "kept";
    fs::rename(history, kept);
    fs::create_symlink(kept, history);
    enter("d\n");
    EXPECT_TRUE(fs::is_symlink(history));
    EXPECT_EQ(read_file(kept), "_HiStOrY_V2_\nr\nu\nd\n");
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    fs::remove(history);
    enter("h\n");
    EXPECT_EQ(read_file(history), "_HiStOrY_V2_\nr\nu\nd\nh\n");

    fs::remove(history);
    fs::create_directory(history);  // nothing can take its place
    enter("r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(history.parent_path()), fs::directory_iterator()), 1)
        << "a temporary file is left";
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

// README's first session, typed on a terminal, shows what README says it shows.
TEST(Terminal, ReadmeFirstSession)
{
    const std::string readme = read_file(COSMAC_README);
    const std::string start = "<!-- first session -->\n```\n";
    const std::size_t begin = readme.find(start);
    ASSERT_NE(begin, std::string::npos);
    const std::size_t end = readme.find("```\n", begin + start.size());
    const std::string shown = readme.substr(begin + start.size(), end - begin - start.size());

    TempDir dir;
    PtySession session(dir.path(), {.transparent = false, .arguments = {}, .term = "dumb"});  // as typed, echoed
    ASSERT_TRUE(session.expect("-"));
    for (std::size_t line = shown.find("\n-"); line != std::string::npos; line = shown.find("\n-", line + 1)) {
        const std::size_t newline = shown.find('\n', line + 2);
        if (newline == std::string::npos)
            break;
        const std::string typed = shown.substr(line + 2, newline - line - 2);
        session.type(typed + "\n");
        if (typed == "q")
            break;
        ASSERT_TRUE(session.expect("\r\n-")) << typed;
    }
    EXPECT_EQ(session.wait(), 0);
    std::string screen = session.screen();
    for (std::size_t at; (at = screen.find("\r\n")) != std::string::npos;)
        screen.erase(at, 1);
    EXPECT_EQ(screen, shown);
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
    PtySession session(dir.path(), {.transparent = true, .arguments = {}, .term = ""});  // no editing: it echoes
    ASSERT_TRUE(session.expect("-"));
    for (const auto& line : lines) {
        session.type(line + "\n");
        if (line == "g 0") {
            ASSERT_TRUE(wait_for_key_read(session));
            session.type("x");
            ASSERT_TRUE(wait_for_key_read(session));
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

// A board's firmware on its serial terminal, in real time: every key goes to the
// firmware (Control-C too), and Control-] brings back the monitor's prompt.
TEST(Terminal, ABoardsSerialTerminal)
{
    TempDir dir;
    const Transcript assembled = assemble_board_monitor(dir.path());
    ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
    PtySession session(dir.path(), {.transparent = false, .arguments = {"--board", "mcard", "fw.hex"}, .term = "dumb"});
    ASSERT_TRUE(session.expect("sends a BREAK, Control-^ resets the board (R at the prompt).\r\n\r\n"));
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("\r");  // the firmware times it to find the baud
    ASSERT_TRUE(session.expect("OK\r\n*"));  // as sent: the terminal adds no "\r"
    session.type("80\x03");
    ASSERT_TRUE(session.expect("80\x03"));
    session.type("\x1d");
    ASSERT_TRUE(session.expect("\r\nBreak\r\n\r\n"));
    ASSERT_TRUE(session.expect("\r\n-"));
    EXPECT_FALSE(session.reading_key());
    session.type("g\n");
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("0");  // the fourth digit: the firmware goes on where it was
    ASSERT_TRUE(session.expect("0 "));
    session.type("\x1d");
    ASSERT_TRUE(session.expect("\r\n-"));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
    EXPECT_TRUE(same_settings(session.settings(), session.initial_settings()));
    EXPECT_EQ(session.screen().find("\x1b]0;"), std::string::npos);  // a dumb terminal has no title

    // In debugger mode the board waits at reset, at the firmware's source line;
    // a trace keeps its lines whole on the raw terminal, and the firmware's own
    // output stays as it is sent. Unthrottled, it runs as a throttled board does.
    PtySession debugging(dir.path(), {.transparent = false,
                                      .arguments = {"--board", "mcard", "--debug", "--speed", "max", "fw.hex"},
                                      .term = "dumb"});
    ASSERT_TRUE(debugging.expect("8000 LBR 8003 init\r\n  board_monitor.asm:22   LBR init + SHIFT\r\n-"));
    debugging.type("t 2\n");
    ASSERT_TRUE(debugging.expect("8003 LDI 80         D=80\r\n2 instructions executed\r\n5 machine cycles"));
    ASSERT_TRUE(debugging.expect("8005 PHI R3\r\n  board_monitor.asm:24   PHI R3\r\n-"));
    debugging.type("g\n");
    ASSERT_TRUE(wait_for_key_read(debugging));
    debugging.type("\r");
    ASSERT_TRUE(debugging.expect("OK\r\n*"));
    debugging.type("\x1d");
    ASSERT_TRUE(debugging.expect("machine cycles"));
    ASSERT_TRUE(debugging.expect("\r\n-"));
    debugging.type("q\n");
    EXPECT_EQ(debugging.wait(), 0);

    // A terminal with a title shows the front panel there, but not when standard
    // error, where the title goes, is a file.
    PtySession titled(dir.path(), {.transparent = false, .arguments = {"--board", "mcard", "fw.hex"}, .term = "xterm"});
    ASSERT_TRUE(titled.expect("\x1b]0;cosmac mcard: LEDs 00000000 (00), Q 1\x07"));
    titled.type("\x1dq\n");
    EXPECT_EQ(titled.wait(), 0);
    PtySession logged(dir.path(), {.transparent = false,
                                   .arguments = {"--board", "mcard", "fw.hex"},
                                   .term = "xterm",
                                   .error_file = "errors"});
    ASSERT_TRUE(wait_for_key_read(logged));
    logged.type("\x1dq\n");
    EXPECT_EQ(logged.wait(), 0);
    EXPECT_EQ(read_file(dir.path() / "errors"), "");
    EXPECT_EQ(logged.screen().find("\x1b]0;"), std::string::npos);
}

// Control-^ resets the board as its reset switch does: the firmware starts
// again, here timing a new Enter, and memory keeps its contents.
TEST(Terminal, ControlCaretResetsTheBoard)
{
    TempDir dir;
    const Transcript assembled = assemble_board_monitor(dir.path());
    ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
    PtySession session(dir.path(), {.transparent = false, .arguments = {"--board", "mcard", "fw.hex"}, .term = "dumb"});
    ASSERT_TRUE(wait_for_key_read(session));
    session.type("\r");
    ASSERT_TRUE(session.expect("OK\r\n*"));
    session.type("\x1e");
    session.type("\r");
    ASSERT_TRUE(session.expect("OK\r\n*"));
    session.type("\x1dq\n");
    EXPECT_EQ(session.wait(), 0);

    // In debugger mode nothing before the reset can be stepped back to.
    PtySession debugging(dir.path(), {.transparent = false,
                                      .arguments = {"--board", "mcard", "--debug", "--speed", "max", "fw.hex"},
                                      .term = "dumb"});
    ASSERT_TRUE(debugging.expect("\r\n-"));
    debugging.type("g\n");
    ASSERT_TRUE(wait_for_key_read(debugging));
    debugging.type("\x1e\x1d");
    ASSERT_TRUE(debugging.expect("machine cycles"));
    ASSERT_TRUE(debugging.expect("\r\n-"));
    debugging.type("k\n");
    ASSERT_TRUE(debugging.expect("At the oldest instruction in the history\r\n"));
    debugging.type("q\n");
    EXPECT_EQ(debugging.wait(), 0);
}

}  // namespace
}  // namespace cosmac::testing
