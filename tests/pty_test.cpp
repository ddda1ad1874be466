// What only a terminal shows: prompts before input is read, raw key reads,
// Control-C, and the terminal's settings left as they were.
#include <gtest/gtest.h>

#include <csignal>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

TEST(Terminal, PromptIsVisibleBeforeInputIsRead)
{
    TempDir dir;
    PtySession session(dir.path());
    ASSERT_TRUE(session.expect("\r\nCOSMAC 1802 Simulator\r\n\r\n-"));
    session.type("r 3 1234\n");
    ASSERT_TRUE(session.expect("-"));
    session.type("r\n");
    ASSERT_TRUE(session.expect(" R3 = 1234, R7 = 0000, RB = 0000, RF = 0000\r\n"));
    ASSERT_TRUE(session.expect("Q = 0, N = 0, I = 0\r\n\r\n-"));
    session.type("q\n");
    EXPECT_EQ(session.wait(), 0);
}

}  // namespace
}  // namespace cosmac::testing
