// The benchmark scripts run to their exact instruction counts: a fast loop that
// miscounts is wrong.
#include <gtest/gtest.h>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

TEST(BenchmarkScripts, RunToTheirExactInstructionCounts)
{
    const struct {
        const char* script;
        const char* count_line;
    } cases[] = {
        {"count.txt", "-100926980 instructions executed\n"},
        {"copy.txt", "-117624864 instructions executed\n"},
        {"print.txt", "5251122 instructions executed\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Transcript result = run_piped(read_file(std::string(COSMAC_BENCH_SCRIPTS) + "/" + c.script), dir.path());
        EXPECT_NE(result.out.find(c.count_line), std::string::npos) << c.script;
        EXPECT_EQ(result.exit_status, 0);
    }
}

TEST(BenchmarkScripts, PrintWritesEveryCharacter)
{
    TempDir dir;
    const Transcript result = run_piped(read_file(std::string(COSMAC_BENCH_SCRIPTS) + "/print.txt"), dir.path());
    EXPECT_NE(result.out.find("-" + std::string(1048576, 'A') + "5251122 instructions executed\n"), std::string::npos);
}

}  // namespace
}  // namespace cosmac::testing
