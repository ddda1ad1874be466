#include "monitor/command_line.hpp"
#include "monitor/monitor.hpp"

#include <gtest/gtest.h>

#include "scripted_console.hpp"

namespace cosmac::testing {
namespace {

TEST(CommandLine, ParsesLetterAndUpToTwoNumbers)
{
    const struct {
        const char* line;
        char letter;
        int count;
        uint32_t arg1, arg2;
    } cases[] = {
        {"r", 'r', 1, 0, 0},         {"m 200 12", 'm', 3, 0x200, 0x12}, {"d100", 'd', 2, 0x100, 0},
        {"dead", 'd', 2, 0xead, 0},  {"dump", 'd', 1, 0, 0},            {"save", 's', 2, 0xa, 0},
        {"m 100 zz", 'm', 2, 0x100, 0}, {"d zz 5", 'd', 1, 0, 0},       {" d 5", ' ', 3, 0xd, 5},
        {"r f -1", 'r', 3, 0xf, 0xffffffff}, {"m 0x 5", 'm', 3, 0, 5},  {"g\t1\t\t2 3", 'g', 3, 1, 2},
    };
    for (const auto& c : cases) {
        CommandLine command;
        parse_command_line(c.line, command);
        EXPECT_EQ(command.letter, c.letter) << c.line;
        EXPECT_EQ(command.count, c.count) << c.line;
        if (c.count >= 2) {
            EXPECT_EQ(command.arg1, c.arg1) << c.line;
        }
        if (c.count == 3) {
            EXPECT_EQ(command.arg2, c.arg2) << c.line;
        }
    }
}

TEST(CommandLine, EmptyLineRepeatsTheLetterWithoutArguments)
{
    CommandLine command;
    parse_command_line("", command);
    EXPECT_EQ(command.letter, 'h');  // before any command: help
    parse_command_line("d 100 5", command);
    parse_command_line("", command);
    EXPECT_EQ(command.letter, 'd');
    EXPECT_EQ(command.count, 1);
}

TEST(Monitor, InterruptEndsARunawayRunAndTheSessionGoesOn)
{
    ScriptedConsole console("m 0 30\nm 0\ng 0\nq\n");  // BR to itself
    console.polls_per_run = 2;
    EXPECT_EQ(run_monitor(console), 0);
    EXPECT_NE(console.out.find("Break\n\n8192 instructions executed\n"), std::string::npos) << console.out;
    EXPECT_TRUE(console.out.ends_with("0000 BR 00\n-"));
}

}  // namespace
}  // namespace cosmac::testing
