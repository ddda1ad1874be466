// The example programs: assembled by cosmac-asm to their golden listings and
// images, then run in the monitor, loaded at start-up and with L, against their
// expected transcripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = COSMAC_EXAMPLES;
constexpr std::string_view kBanner = "\nCOSMAC 1802 Simulator\n\n";

class ExampleTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleTest, AssemblesAndRuns)
{
    const std::string name = GetParam();
    TempDir dir;
    const Transcript assembled = run_program(
        assembler_binary(), {(kExamples / (name + ".asm")).string(), "-o", name + ".elf", "-l", name + ".lst"}, "",
        dir.path());
    ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
    EXPECT_EQ(assembled.out + assembled.err, "");
    EXPECT_EQ(read_file(dir.path() / (name + ".lst")), read_file(kExamples / (name + ".lst")));
    EXPECT_EQ(read_file(dir.path() / (name + ".elf")), read_file(kExamples / (name + ".elf")));

    const std::string session = read_file(kExamples / (name + ".in"));
    const std::string expected = read_file(kExamples / (name + ".out"));
    const Transcript at_start = run_piped(session, dir.path(), {name});
    EXPECT_EQ(at_start.out, expected);
    EXPECT_EQ(at_start.err, "");

    // With L the transcript has one more prompt, the one L was typed at.
    ASSERT_EQ(expected.substr(0, kBanner.size()), kBanner);
    const Transcript with_load = run_piped("L " + name + "\n" + session, dir.path());
    EXPECT_EQ(with_load.out, std::string(kBanner) + "-" + expected.substr(kBanner.size()));
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTest, ::testing::Values("hello", "echo", "multiply", "ports"),
                         [](const auto& info) { return info.param; });

TEST(Programs, OptionsAndUsage)
{
    TempDir dir;
    const struct {
        bool assembler;
        std::vector<std::string> arguments;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {false, {"--version"}, 0, "cosmac " COSMAC_VERSION "\n", ""},
        {false, {"-x"}, 2, "", "cosmac: unknown option -x\nusage: cosmac [--help] [--version] [IMAGE...]\n"},
        {true, {}, 2, "", "usage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin]\n"},
        {true, {"--version"}, 0, "cosmac-asm " COSMAC_VERSION "\n", ""},
        {true, {"x.asm", "--format", "srec"}, 2, "",
         "cosmac-asm: unknown format srec\nusage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin]\n"},
        {true, {"missing.asm"}, 1, "", "cosmac-asm: missing.asm: No such file or directory\n"},
        {true, {"."}, 1, "", "cosmac-asm: .: Is a directory\n"},
    };
    for (const auto& c : cases) {
        const Transcript result =
            run_program(c.assembler ? assembler_binary() : cosmac_binary(), c.arguments, "", dir.path());
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    const Transcript help = run_piped("", dir.path(), {"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: cosmac [--help] [--version] [IMAGE...]\n"));
}

TEST(Programs, AssemblerErrorsWriteNoOutput)
{
    TempDir dir;
    std::ofstream(dir.path() / "bad.asm") << "  NOP\n  LBR nowhere\n  FOO\n";
    const Transcript result = run_program(assembler_binary(), {"bad.asm"}, "", dir.path());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "bad.asm:2: undefined label 'nowhere'\nbad.asm:3: unknown mnemonic 'FOO'\n");
    EXPECT_FALSE(fs::exists(dir.path() / "bad.elf"));
}

TEST(Programs, AssemblerFormats)
{
    TempDir dir;
    std::ofstream(dir.path() / "two.asm") << "ORG 100\nLDI 41\nORG 104\nDB 7\n";
    ASSERT_EQ(run_program(assembler_binary(), {"two.asm"}, "", dir.path()).exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "two.elf"), std::string("\xBE\xDE\x01\x00\x00\x01\x05\x00\xF8\x41\x00\x00\x07", 13));
    ASSERT_EQ(run_program(assembler_binary(), {"two.asm", "--format", "bin"}, "", dir.path()).exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "two.bin"), std::string("\xF8\x41\x00\x00\x07", 5));
    ASSERT_EQ(run_program(assembler_binary(), {"two.asm", "--format", "hex", "-o", "out.hex"}, "", dir.path()).exit_status,
              0);
    EXPECT_EQ(read_file(dir.path() / "out.hex"), ":02010000F841C4\n:0101040007F3\n:00000001FF\n");
}

}  // namespace
}  // namespace cosmac::testing
