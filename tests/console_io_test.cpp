// The console side of the machine's I/O: what the user sees and how replies read.
#include "monitor/console_io.hpp"

#include <gtest/gtest.h>

#include "scripted_console.hpp"

namespace cosmac::testing {
namespace {

TEST(ConsoleIo, RepliesAreReadAsHexadecimalLowByte)
{
    const struct {
        const char* reply;
        std::optional<uint8_t> value;
    } cases[] = {
        {"1ff", 0xFF}, {"  41 zz", 0x41}, {"-1", 0xFF}, {"0x7", 0x07}, {"", std::nullopt}, {"zz", std::nullopt},
        {"\r", std::nullopt},
    };
    for (const auto& c : cases) {
        ScriptedConsole console(std::string(c.reply) + "\n" + c.reply + "\n");
        ConsoleIo io(console);
        const Reply input = io.input_port(5);
        EXPECT_EQ(input.value, c.value) << c.reply;
        EXPECT_FALSE(input.stop);
        const Reply ef4 = io.query_ef4();
        EXPECT_EQ(ef4.value, c.value) << c.reply;
        EXPECT_EQ(console.out, "INP 5 ?EF4 ?");
    }
}

TEST(ConsoleIo, EndOfInputEndsTheRun)
{
    ScriptedConsole console("");
    ConsoleIo io(console);
    const Reply input = io.input_port(1);
    EXPECT_EQ(input.value, std::nullopt);
    EXPECT_TRUE(input.stop);
    EXPECT_TRUE(io.query_ef4().stop);
    EXPECT_EQ(io.console_read_key(), std::nullopt);
    EXPECT_EQ(console.out, "INP 1 ?EF4 ?");
}

}  // namespace
}  // namespace cosmac::testing
