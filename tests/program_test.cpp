// The programs as a user runs them, beyond the transcripts: the examples assembled
// by cosmac-asm to their golden listings and images, then run in the monitor,
// loaded at start-up and with L, against their expected transcripts; options;
// image files on disk; the benchmark scripts' exact counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const fs::path kExamples = COSMAC_EXAMPLES;
constexpr std::string_view kBanner = "\nCOSMAC 1802 Simulator\n\n";

class ExampleTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleTest, AssemblesAndRuns)
{
    const std::string name = GetParam();
    TempDir dir;
    const std::string source = (kExamples / (name + ".asm")).string();
    const Transcript assembled =
        run_piped("", dir.path(), {source, "-o", name + ".elf", "-l", name + ".lst"}, kAssemblerBinary);
    ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
    EXPECT_EQ(assembled.out + assembled.err, "");
    EXPECT_EQ(read_file(dir.path() / (name + ".lst")), read_file(kExamples / (name + ".lst")));
    EXPECT_EQ(read_file(dir.path() / (name + ".elf")), read_file(kExamples / (name + ".elf")));
    EXPECT_EQ(read_file(dir.path() / (name + ".sym")), read_file(kExamples / (name + ".sym")));

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

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTest, ::testing::Values("hello", "echo", "multiply", "ports", "scrt"),
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
        {false, {"-x"}, 2, "",
         "cosmac: unknown option -x\nusage: cosmac [--help] [--version] [--debug] [--clock MHZ] [IMAGE...]\n"},
        {true, {}, 2, "", "usage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin]\n"},
        {true, {"--version"}, 0, "cosmac-asm " COSMAC_VERSION "\n", ""},
        {true, {"x.asm", "--format", "srec"}, 2, "",
         "cosmac-asm: unknown format srec\nusage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin]\n"},
        {true, {"missing.asm"}, 1, "", "cosmac-asm: missing.asm: No such file or directory\n"},
        {true, {"."}, 1, "", "cosmac-asm: .: Is a directory\n"},
    };
    for (const auto& c : cases) {
        const std::string& binary = c.assembler ? kAssemblerBinary : kCosmacBinary;
        const Transcript result = run_piped("", dir.path(), c.arguments, binary);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    const Transcript help = run_piped("", dir.path(), {"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: cosmac [--help] [--version] [--debug] [--clock MHZ] [IMAGE...]\n"));
}

TEST(Programs, AssemblerFormatsAndErrors)
{
    TempDir dir;
    std::ofstream(dir.path() / "bad.asm") << "  NOP\n  LBR nowhere\n  FOO\n";
    const Transcript bad = run_piped("", dir.path(), {"bad.asm"}, kAssemblerBinary);
    EXPECT_EQ(bad.exit_status, 1);
    EXPECT_EQ(bad.out + bad.err, "bad.asm:2: undefined label 'nowhere'\nbad.asm:3: unknown mnemonic 'FOO'\n");
    EXPECT_FALSE(fs::exists(dir.path() / "bad.elf"));  // no output after an error

    std::ofstream(dir.path() / "two.asm") << "ORG 100\nLDI 41\nORG 104\nDB 7\n";
    ASSERT_EQ(run_piped("", dir.path(), {"two.asm"}, kAssemblerBinary).exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "two.elf"), std::string("\xBE\xDE\x01\x00\x00\x01\x05\x00\xF8\x41\x00\x00\x07", 13));
    ASSERT_EQ(run_piped("", dir.path(), {"two.asm", "--format", "bin"}, kAssemblerBinary).exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "two.bin"), std::string("\xF8\x41\x00\x00\x07", 5));
    ASSERT_EQ(run_piped("", dir.path(), {"two.asm", "--format", "hex", "-o", "out.hex"}, kAssemblerBinary).exit_status,
              0);
    EXPECT_EQ(read_file(dir.path() / "out.hex"), ":02010000F841C4\n:0101040007F3\n:00000001FF\n");
}

// Image files as the S command leaves them on disk.
TEST(ImageFile, SaveWritesHeaderAndBytes)
{
    TempDir dir;
    std::string input = "m 100 0\n";
    for (int i = 1; i < 0x20; ++i)
        input += "m " + std::to_string(i) + "\n";  // decimal digits read as hex: 01 .. 09, 10 .. 31
    input += "S prog 100 20\nS prog.bin 105 2\nm 0 aa\nS old 0 10\nS old 0 1\nq\n";
    const Transcript result = run_piped(input, dir.path());
    EXPECT_EQ(result.err, "");

    std::string want = "\xBE\xDE\x01\x00\x00\x01\x20\x00"s;
    want += '\0';
    for (int i = 1; i < 0x20; ++i)
        want += static_cast<char>(std::stoi(std::to_string(i), nullptr, 16));
    EXPECT_EQ(read_file(dir.path() / "prog.elf"), want);
    EXPECT_EQ(read_file(dir.path() / "prog.bin"), "\xBE\xDE\x01\x00\x05\x01\x02\x00\x05\x06"s);
    EXPECT_FALSE(fs::exists(dir.path() / "prog.bin.elf"));
    EXPECT_EQ(read_file(dir.path() / "old.elf"), "\xBE\xDE\x01\x00\x00\x00\x01\x00\xAA"s);  // replaced whole
}

// A fast run loop that miscounts is wrong.
TEST(BenchmarkScripts, RunToTheirExactInstructionCounts)
{
    const struct {
        const char* script;
        std::string output;
    } cases[] = {
        {"count.txt", "-100926980 instructions executed\n"},
        {"copy.txt", "-117624864 instructions executed\n"},
        {"print.txt", "-" + std::string(1048576, 'A') + "5251122 instructions executed\n"},  // every character
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Transcript result = run_piped(read_file(std::string(COSMAC_BENCH_SCRIPTS) + "/" + c.script), dir.path());
        EXPECT_NE(result.out.find(c.output), std::string::npos) << c.script;
        EXPECT_EQ(result.exit_status, 0);
    }
}

}  // namespace
}  // namespace cosmac::testing
