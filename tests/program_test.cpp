// The programs as a user runs them, beyond the transcripts: the examples assembled
// by cosmac-asm to their golden listings and images, then run in the monitor,
// loaded at start-up and with L, against their expected transcripts; options;
// image files on disk; the benchmark scripts' exact counts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

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

const std::string kUsage =
    "usage: cosmac [--debug [-x COMMANDS]] [--cpu CHIP] [--clock MHZ] [--protect START-END|none] [FILE...]\n"
    "       cosmac --dap\n"
    "       cosmac --run [--cpu CHIP] [--start ADDRESS] [--limit N] [--regs] [--protect START-END|none] FILE...\n"
    "       cosmac --board NAME [--run|--debug [-x COMMANDS]] [--cpu CHIP] [--ram START-END]... [--rom START-END]...\n"
    "              [--clock MHZ] [--serial efN[,rx-invert][,tx-invert]|none] [--baud N] [--quiet SECONDS]\n"
    "              [--key-wait SECONDS] [--speed N|max] [--7bit] [--lf-as-cr]\n"
    "              [--disk IMAGE[,sectors=N][,ro][,new]] [FILE...]\n";
const std::string kAssemblerUsage =
    "usage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin] [--syntax cosmac|rca|a18|asm02|sb]\n"
    "                  [--cpu 1802|1804|1805|1806] [-I DIR]... [-D NAME[=VALUE]]... [--build N] [-W]\n";

const std::string kBoardOnly =
    "cosmac: --ram, --rom, --serial, --baud, --quiet, --key-wait, --speed, --7bit, --lf-as-cr and --disk go with "
    "--board\n";
const std::string kDiskWords = "cosmac: --disk needs IMAGE, then sectors=N (1 to 268435455), ro or new if wanted\n";

TEST(Programs, OptionsAndUsage)
{
    TempDir dir;
    const struct {
        bool assembler;
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {false, {"--version"}, 0, "cosmac " COSMAC_VERSION "\nMIT licence\n", ""},
        {false, {"-y"}, 2, "", "cosmac: unknown option -y\n" + kUsage},
        {false, {"-x", "cmds"}, 2, "", "cosmac: -x goes with --debug\n" + kUsage},
        {false, {"--dap", "-d"}, 2, "", "cosmac: --dap takes no other options: launch requests say the rest\n" + kUsage},
        {false, {"-d", "-x", "missing.cmds"}, 1, "", "cosmac: -x missing.cmds: No such file or directory\n"},
        {false, {"--protect", "9000-4000"}, 2, "",
         "cosmac: --protect 9000-4000 ends before it starts; give the lower address first\n" + kUsage},
        {false, {"--protect", "9000"}, 2, "",
         "cosmac: --protect needs START-END, two hexadecimal addresses, or none\n" + kUsage},
        {false, {"--clock", "0", "-d"}, 2, "",
         "cosmac: --clock needs a frequency in MHz from 0.001 to 1000, such as 1.76\n" + kUsage},
        {false, {"--clock", "0.0009", "-d"}, 2, "",  // 900 Hz: under a kilohertz
         "cosmac: --clock needs a frequency in MHz from 0.001 to 1000, such as 1.76\n" + kUsage},
        {false, {"--board", "elf", "--clock", "1000.001", "x"}, 2, "",  // over a gigahertz
         "cosmac: --clock needs a frequency in MHz from 0.001 to 1000, such as 1.76\n" + kUsage},
        {false, {"--clock", "0.001", "-d", "missing"}, 1, "", "cosmac: missing.elf: No such file or directory\n"},
        {false, {"--clock", "2"}, 2, "", "cosmac: --clock goes with --debug or --board\n" + kUsage},
        {false, {"--baud", "300", "x"}, 2, "", kBoardOnly + kUsage},
        {false, {"--7bit", "x"}, 2, "", kBoardOnly + kUsage},
        {false, {"--disk", "d.ide", "x"}, 2, "", kBoardOnly + kUsage},
        {false, {"--board", "mcard", "--disk", "d.ide", "x"}, 2, "",
         "cosmac: --disk needs a board with an IDE interface: elf2k, picoelf\n" + kUsage},
        {false, {"--board", "elf2k", "--disk", "d.ide,rw", "x"}, 2, "", kDiskWords + kUsage},
        {false, {"--board", "elf2k", "--disk", "d.ide,sectors=0", "x"}, 2, "", kDiskWords + kUsage},
        {false, {"--board", "elf2k", "--disk", "d.ide,sectors=268435456", "x"}, 2, "", kDiskWords + kUsage},
        {false, {"--board", "elf2k", "--disk", ",ro", "x"}, 2, "", kDiskWords + kUsage},
        {false, {"--board", "picoelf", "--disk", "missing.ide,sectors=268435455,ro", "x.hex"}, 1, "",
         "cosmac: missing.ide: No such file or directory\n"},
        {false, {"--board", "picoelf", "--disk", "missing.ide,sectors=1", "x.hex"}, 1, "",
         "cosmac: missing.ide: No such file or directory\n"},
        {false, {"--board", "picoelf", "--run", "--disk", "missing.ide", "x.hex"}, 2, "",
         "cosmac: missing.ide: No such file or directory\n"},
        {false, {"--board", "picoelf", "--disk", "made.ide,new", "x.hex"}, 1, "",
         "cosmac: made.ide: the disk has no sectors; give its size with sectors=N\n"},
        {false, {"--board", "kim1", "--run", "x"}, 2, "", "cosmac: --board needs one of mcard, elf2k, picoelf, elf\n" + kUsage},
        {false, {"--board", "elf", "--speed", "fast"}, 2, "",
         "cosmac: --speed needs a number, such as 1 or 0.5, or max\n" + kUsage},
        {false, {"--board", "elf", "--run", "--ram", "8000-7fff", "x"}, 2, "",
         "cosmac: --ram 8000-7fff ends before it starts; give the lower address first\n" + kUsage},
        {false, {"--board", "elf", "--run", "--rom", "8000", "x"}, 2, "",
         "cosmac: --rom needs START-END, two hexadecimal addresses\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--serial", "ef5", "x"}, 2, "",
         "cosmac: --serial needs efN (1-4), then rx-invert or tx-invert if wanted, or none\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--serial", "ef4,rx-inverted", "x"}, 2, "",
         "cosmac: --serial needs efN (1-4), then rx-invert or tx-invert if wanted, or none\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--serial", "ef4", "missing.hex"}, 2, "",
         "cosmac: missing.hex: No such file or directory\n"},
        {false, {"--board", "mcard", "--run", "--serial", "ef1", "--baud", "1000000", "--clock", "1000", "--quiet",
                 "0.001", "--key-wait", "1000000", "missing.hex"},
         2, "", "cosmac: missing.hex: No such file or directory\n"},  // each at its limit
        {false, {"--board", "mcard", "--run", "--baud", "1000001", "x"}, 2, "",
         "cosmac: --baud needs a speed in bits a second, such as 1200\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--baud", "0", "x"}, 2, "",
         "cosmac: --baud needs a speed in bits a second, such as 1200\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--quiet", "-1", "x"}, 2, "",
         "cosmac: --quiet needs a number of seconds from 0.001 to 1000000, such as 1 or 0.5\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--quiet", "0.0009", "x"}, 2, "",
         "cosmac: --quiet needs a number of seconds from 0.001 to 1000000, such as 1 or 0.5\n" + kUsage},
        {false, {"--board", "mcard", "--run", "--key-wait", "1000001", "x"}, 2, "",
         "cosmac: --key-wait needs a number of seconds from 0.001 to 1000000, such as 1 or 0.5\n" + kUsage},
        {false, {"--run", "--limit", "5", "--limit", "6", "x"}, 2, "",
         "cosmac: --limit: At Most 1 required but received 2\n" + kUsage},
        {false, {"--run"}, 2, "", "cosmac: --run needs a program file\n" + kUsage},
        {false, {"--run", "-d", "x"}, 2, "", "cosmac: --run and --debug do not go together\n" + kUsage},
        {false, {"--regs", "x"}, 2, "", "cosmac: --start, --limit and --regs go with --run\n" + kUsage},
        {false, {"--run", "--limit", "1a", "x"}, 2, "",
         "cosmac: --limit needs a number of instructions, 1 or more\n" + kUsage},
        {false, {"--run", "--limit", "0", "x"}, 2, "",
         "cosmac: --limit needs a number of instructions, 1 or more\n" + kUsage},
        {false, {"--run", "--limit", "-1", "x"}, 2, "",
         "cosmac: --limit needs a number of instructions, 1 or more\n" + kUsage},
        {false, {"--run", "--limit", "+5", "x"}, 2, "",
         "cosmac: --limit needs a number of instructions, 1 or more\n" + kUsage},
        {false, {"--run", "--start", "10000", "x"}, 2, "",
         "cosmac: --start needs a hexadecimal address from 0 to ffff\n" + kUsage},
        {false, {"--start"}, 2, "", "cosmac: --start: 1 required ADDRESS missing\n" + kUsage},
        {false, {"missing"}, 1, "", "cosmac: missing.elf: No such file or directory\n"},
        {false, {"--protect", "4000-4000", "missing"}, 1, "", "cosmac: missing.elf: No such file or directory\n"},
        {false, {"--board", "elf", "missing"}, 1, "", "cosmac: missing.elf: No such file or directory\n"},
        {false, {"missing/"}, 1, "", "cosmac: missing/.elf: No such file or directory\n"},
        {false, {"--board", "elf", "--run", "missing.hex"}, 2, "", "cosmac: missing.hex: No such file or directory\n"},
        {false, {"--run", "missing.hex"}, 2, "", "cosmac: missing.hex: No such file or directory\n"},
        {true, {}, 2, "", kAssemblerUsage},
        {true, {"--version"}, 0, "cosmac-asm " COSMAC_VERSION "\nMIT licence\n", ""},
        {true, {"x.asm", "y.asm"}, 2, "", "cosmac-asm: unexpected y.asm\n" + kAssemblerUsage},
        {true, {"x.asm", "--format", "srec"}, 2, "", "cosmac-asm: unknown format srec\n" + kAssemblerUsage},
        {true, {"x.asm", "--syntax", "z80"}, 2, "", "cosmac-asm: unknown syntax z80\n" + kAssemblerUsage},
        {true, {"x.asm", "--cpu", "1803"}, 2, "", "cosmac-asm: unknown cpu 1803\n" + kAssemblerUsage},
        {true, {"x.asm", "--build", "65536"}, 2, "",
         "cosmac-asm: --build: Value 65536 not in range 0 to 65535\n" + kAssemblerUsage},
        {true, {"missing.asm"}, 1, "", "cosmac-asm: missing.asm: No such file or directory\n"},
        {true, {"."}, 1, "", "cosmac-asm: .: Is a directory\n"},
        {true, {std::string(COSMAC_NOTATIONS) + "/a18.asm", "--syntax", "a18", "-o", "nodir/out.elf"}, 1, "",
         "cosmac-asm: nodir/out.elf: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const std::string& binary = c.assembler ? kAssemblerBinary : kCosmacBinary;
        const Transcript result = run_piped("", dir.path(), c.arguments, binary);
        EXPECT_EQ(result.exit_status, c.status) << c.arguments[0];
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    for (const char* help : {"--help", "-h"}) {
        const std::string cosmac_help = run_piped("", dir.path(), {help}).out;
        EXPECT_TRUE(cosmac_help.starts_with(kUsage + "\n")) << help;
        EXPECT_NE(cosmac_help.find("\n  -h,--help             this text\n"), std::string::npos);
        const std::string assembler_help = run_piped("", dir.path(), {help}, kAssemblerBinary).out;
        EXPECT_TRUE(assembler_help.starts_with(kAssemblerUsage + "\n")) << help;
        for (const char* option : {"-o OUTPUT", "-l LISTING", "--format", "--syntax", "--cpu MODEL", "-1805", "--version", ".sym"})
            EXPECT_NE(assembler_help.find(option), std::string::npos) << option;
    }
}

// Golden cases of the assembler: cosmac-asm assembles each NAME.asm in the cases
// directory, with the arguments in NAME.args (one a line, if any), and lists it
// on standard output; that must equal NAME.out, and its errors NAME.err (empty if
// absent). The edges of each notation live here as source text, a case a line.
TEST(Programs, AssemblerCases)
{
    const fs::path cases = COSMAC_ASSEMBLER_CASES;
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(cases)) {
        if (entry.path().extension() != ".asm")
            continue;
        const std::string name = entry.path().stem().string();
        const auto golden = [&](const char* extension) {
            const fs::path path = cases / (name + extension);
            return fs::exists(path) ? read_file(path) : "";
        };
        std::vector<std::string> arguments = {name + ".asm", "-l", "-", "-o", (dir.path() / "out.elf").string()};
        std::istringstream extra(golden(".args"));
        for (std::string argument; std::getline(extra, argument);)
            arguments.push_back(argument);
        const Transcript result = run_piped("", cases, arguments, kAssemblerBinary);
        EXPECT_EQ(result.out, golden(".out")) << name;
        EXPECT_EQ(result.err, golden(".err")) << name;
    }
}

// The example of each other assembler's notation assembles to the bytes that
// assembler gives it.
TEST(Programs, NotationExamples)
{
    TempDir dir;
    for (const char* syntax : {"a18", "asm02", "rca", "sb"}) {
        const fs::path example = fs::path(COSMAC_NOTATIONS) / syntax;
        const std::vector<std::string> arguments = {example.string() + ".asm", "--syntax", syntax, "--format", "hex",
                                                    "-o", "out.hex"};
        const Transcript result = run_piped("", dir.path(), arguments, kAssemblerBinary);
        EXPECT_EQ(result.out + result.err, "") << syntax;
        EXPECT_EQ(read_file(dir.path() / "out.hex"), read_file(example.string() + ".hex")) << syntax;
    }
}

// The same program written in each notation, in the style of real sources
// (an include file, the call and return routines, defines and local labels),
// assembles to the same bytes.
TEST(Programs, OwnSourcesInEachNotation)
{
    TempDir dir;
    const fs::path own = fs::path(COSMAC_NOTATIONS) / "own";
    for (const char* syntax : {"cosmac", "a18", "asm02", "rca", "sb"}) {
        const std::vector<std::string> arguments = {(own / syntax).string() + ".asm", "--syntax", syntax, "--format",
                                                    "hex", "-o", "out.hex"};
        const Transcript result = run_piped("", dir.path(), arguments, kAssemblerBinary);
        EXPECT_EQ(result.out + result.err, "") << syntax;
        EXPECT_EQ(read_file(dir.path() / "out.hex"), read_file(own / "strlen.hex")) << syntax;
    }
}

// Sources in the style of real builds: SB lists with and without blanks, A18
// register names included twice through -I, an Elf/OS header stamped under a
// fixed SOURCE_DATE_EPOCH with --build and -D, an Elf/OS utility with an
// included .op, the stamp's variables and Asm/02's byte rules, and an A18
// serial routine with $ in its names. Each assembles to the bytes worked out
// by hand in its .hex file.
TEST(Programs, RealBuilds)
{
    TempDir dir;
    const fs::path sources = fs::path(COSMAC_NOTATIONS) / "real-sources";
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string err;
    } cases[] = {
        {"sb-lists", {"--syntax", "sb"}, ""},
        {"a18-registers", {"--syntax", "a18", "-I", (sources / "include").string()}, ""},
        {"elfos-header",
         {"--syntax", "asm02", "--build", "258", "-D", "BEEP"},
         (sources / "elfos-header.asm").string() + ":18: warning: 2023 does not fit in a byte; stored e7\n"},
        {"elfos-count",
         {"--syntax", "asm02", "--build", "7", "-I", (sources / "include").string()},
         (sources / "elfos-count.asm").string() + ":33: warning: 8250 does not fit in a byte; stored 3a\n"},
        {"a18-serial", {"--syntax", "a18"}, ""},
    };
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const auto arguments_of = [&](const auto& c) {
        std::vector<std::string> arguments = {(sources / c.name).string() + ".asm", "--format", "hex", "-o", "out.hex"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        return arguments;
    };
    for (const auto& c : cases) {
        const Transcript result = run_piped("", dir.path(), arguments_of(c), kAssemblerBinary);
        EXPECT_EQ(result.out + result.err, c.err) << c.name;
        EXPECT_EQ(read_file(dir.path() / "out.hex"), read_file(sources / (std::string(c.name) + ".hex"))) << c.name;
    }
    const Transcript bad_name =
        run_piped("", dir.path(), {(sources / "sb-lists.asm").string(), "--syntax", "sb", "-D", "2X=1", "-o", "out.elf"}, kAssemblerBinary);
    EXPECT_EQ(bad_name.exit_status, 1);
    EXPECT_EQ(bad_name.err, "cosmac-asm: -D 2X=1: bad name\n");
    setenv("SOURCE_DATE_EPOCH", "0", 1);  // the first second is a time too: 1970
    const Transcript first = run_piped("", dir.path(), arguments_of(cases[2]), kAssemblerBinary);
    EXPECT_EQ(first.exit_status, 0);
    EXPECT_NE(read_file(dir.path() / "out.hex").find("C10107B2"), std::string::npos);  // EEVER: 1 January 1970
    for (const std::string epoch : {"yesterday", "-1"}) {
        setenv("SOURCE_DATE_EPOCH", epoch.c_str(), 1);
        const Transcript bad = run_piped("", dir.path(), {(sources / "elfos-header.asm").string()}, kAssemblerBinary);
        EXPECT_EQ(bad.exit_status, 2);
        EXPECT_EQ(bad.err, "cosmac-asm: SOURCE_DATE_EPOCH is not a number of seconds: " + epoch + "\n");
    }
    unsetenv("SOURCE_DATE_EPOCH");
}

// A BIOS-sized Asm/02 source of our own, with both its includes, #if, .op and
// the build stamp, checked by two routes: bytes worked out by hand from the
// source, and its own listing read back against the image.
TEST(Programs, BiosSizedSource)
{
    TempDir dir;
    const fs::path bios = fs::path(COSMAC_NOTATIONS) / "bios";
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // 14 November 2023, 22:13:20 UTC
    const std::vector<std::string> arguments = {(bios / "bios.asm").string(), "--syntax", "asm02", "--build", "12",
                                                "-I", (bios / "include").string(), "--format", "hex",
                                                "-o", "bios.hex", "-l", "bios.lst"};
    const Transcript result = run_piped("", dir.path(), arguments, kAssemblerBinary);
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");

    const auto hex_at = [](const std::string& text, std::size_t at, std::size_t length) {
        return std::stoi(text.substr(at, length), nullptr, 16);
    };
    std::map<int, int> image;  // address to byte, from the data records
    std::istringstream hex(read_file(dir.path() / "bios.hex"));
    for (std::string record; std::getline(hex, record);)
        if (record.size() >= 11 && hex_at(record, 7, 2) == 0)
            for (int i = 0; i < hex_at(record, 1, 2); ++i)
                image[hex_at(record, 3, 4) + i] = hex_at(record, 9 + 2 * i, 2);
    const auto bytes_at = [&](int address, std::size_t count) {
        std::vector<int> bytes;
        for (int a = address; a < address + static_cast<int>(count); ++a)
            bytes.push_back(image.contains(a) ? image.at(a) : -1);
        return bytes;
    };

    // Counted by hand from the source, from its ORGs at f000, ff00 and fff7.
    const struct {
        int address;
        std::vector<int> bytes;
        const char* how;
    } by_hand[] = {
        {0xF000, {0xF8, 0xF0, 0xB3, 0xF8, 0x07, 0xA3, 0xD3}, "MOV pc,Start is F8 hi B3 F8 lo A3; SEP; Start = f007"},
        {0xF00E, {0xF8, 0xF0, 0xB4, 0xF8, 0x21, 0xA4}, "after MOV sp (6) and SEX at f00d: MOV scall,scrt_call"},
        {0xF01A, {0x7B}, "after MOV sret at f014: #if TX_IDLE_Q (1) takes SEQ, not REQ"},
        {0xF01E, {0x30, 0x3F}, "after CALL BaudTime: BR SignOn, past SEP, 16 bytes of call, SEP, 13 of return"},
        {0xF020, {0xD3, 0xAE, 0x96, 0x73, 0x86, 0x73}, "SEP R3, then scrt_call: PLO RE, GHI R6, STXD, GLO R6, STXD"},
        {0xF02F, {0x30, 0x20}, "scrt_call's last two bytes: BR scrt_call-1"},
        {0xF03D, {0x30, 0x31}, "scrt_return (f032) ends 11 bytes on with BR scrt_return-1"},
        {0xFF00, {0xC0, 0xF0, 0x00}, "the first vector, f_boot: LBR ColdBoot"},
        {0xFF54, {0xC0, 0xFF, 0x57}, "the 29th and last vector, f_version: LBR b_version, just past the table"},
        {0xFF57, {0xF8, 0xFF, 0xBF, 0xF8, 0xF7, 0xAF, 0xD5}, "b_version: MOV rf,VerBlock (fff7); RTN"},
        {0xFF6C, {'B', 'I', 'O', 'S', 13, 10, 0}, "Notice at ff5e: 'A cosmac test BIOS' (18) then 13 run in, 10, 0"},
        {0xFF73, {0x8C, 0x3A, 0x7A, 0x9C, 0x3A, 0x7A}, "BRNZ rc,mc_byte: 8$1 3A T2 9$1 3A T2; mc_byte after its RTN"},
        {0xFF7D, {0x2C, 0x8C, 0x3A, 0x7A, 0x9C, 0x3A, 0x7A, 0xD5}, "after LDA, STR, INC: DBNZ (2$1, then BRNZ's); RTN"},
        {0xFFF7, {1, 2, 7, 11, 14, 0x07, 0xE7, 0, 12}, "VER_* 1.2.7, [month] [day], dw [year] 2023, dw [build] 12"},
    };
    for (const auto& row : by_hand)
        EXPECT_EQ(bytes_at(row.address, row.bytes.size()), row.bytes) << row.how;
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.rbegin()->first, 0xFFFF);  // [build]'s low byte ends the ROM

    // Every address and byte of the listing is the image's, every byte of the
    // image is listed, and every source line is shown once; a line holding only
    // an address and bytes goes on from the line above.
    const std::regex address_and_bytes("^([0-9a-f]{4})  ([0-9a-f]{2}(?: [0-9a-f]{2})*)");
    std::istringstream listing(read_file(dir.path() / "bios.lst"));
    std::size_t listed_bytes = 0;
    std::size_t shown_lines = 0;
    for (std::string line; std::getline(listing, line);) {
        std::smatch found;
        const bool has_bytes = std::regex_search(line, found, address_and_bytes);
        if (!has_bytes || static_cast<std::size_t>(found.length(0)) < line.size())
            ++shown_lines;
        if (!has_bytes)
            continue;
        int address = hex_at(found.str(1), 0, 4);
        std::istringstream bytes(found.str(2));
        for (std::string byte; bytes >> byte; ++address, ++listed_bytes)
            EXPECT_EQ(bytes_at(address, 1), std::vector<int>{hex_at(byte, 0, 2)}) << line;
    }
    EXPECT_EQ(listed_bytes, image.size());
    std::size_t source_lines = 0;
    for (const fs::path& file : {bios / "bios.asm", bios / "include" / "bios.inc", bios / "include" / "ops.inc"})
        source_lines += std::ranges::count(read_file(file), '\n');
    EXPECT_EQ(shown_lines, source_lines);
    EXPECT_GE(shown_lines, 1000u);
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
    fs::remove(dir.path() / "two.sym");
    const Transcript piped = run_piped("", dir.path(), {"two.asm", "--format", "hex", "-o", "-"}, kAssemblerBinary);
    EXPECT_EQ(piped.out, ":02010000F841C4\n:0101040007F3\n:00000001FF\n");
    EXPECT_EQ(run_piped("", dir.path(), {"two.asm", "-o", "-"}, kAssemblerBinary).out,
              std::string("\xBE\xDE\x01\x00\x00\x01\x05\x00\xF8\x41\x00\x00\x07", 13));
    EXPECT_FALSE(fs::exists(dir.path() / "-"));
    EXPECT_FALSE(fs::exists(dir.path() / "-.sym"));

    // 0000 to ffff is one byte more than an image holds; Intel HEX takes it.
    std::ofstream(dir.path() / "all.asm") << "DB 1\nORG ffff\nDB 2\n";
    EXPECT_EQ(run_piped("", dir.path(), {"all.asm"}, kAssemblerBinary).err,
              "all.asm: the program fills all 64 KB; an image holds at most ffff bytes\n");
    EXPECT_EQ(run_piped("", dir.path(), {"all.asm", "--format", "hex", "-o", "-"}, kAssemblerBinary).exit_status, 0);

    // What the notation's own assembler does silently is said only with -W, in
    // line order among the warnings.
    std::ofstream(dir.path() / "wrap.asm") << "; cosmac-asm: syntax=asm02\n dw $ffff*$ffff\nx dw 1\n";
    EXPECT_EQ(run_piped("", dir.path(), {"wrap.asm", "-o", "-"}, kAssemblerBinary).err,
              "wrap.asm:3: warning: label 'x' without its colon\n");
    EXPECT_EQ(run_piped("", dir.path(), {"wrap.asm", "-o", "-", "-W"}, kAssemblerBinary).err,
              "wrap.asm:2: warning: arithmetic wrapped to 16 bits\nwrap.asm:3: warning: label 'x' without its colon\n");
}

// In debugger mode the end of a run starts a line of its own only when the
// program left one open: after a program's own new line, none is added.
TEST(Programs, RunEndAfterAProgramsNewLine)
{
    TempDir dir;
    // LDI 0D (or 41); PUTC; IDLE
    EXPECT_NE(run_piped("m 0 f8\nm 0d\nm 68\nm 01\nm 00\ng 0\nq\n", dir.path(), {"--debug"})
                  .out.find("------\n2 instructions executed\n"),
              std::string::npos);
    EXPECT_NE(run_piped("m 0 f8\nm 41\nm 68\nm 01\nm 00\ng 0\nq\n", dir.path(), {"--debug"})
                  .out.find("------A\n2 instructions executed\n"),
              std::string::npos);

    // The same when the program's new line is the first byte after the console
    // handed on a full buffer: 54 dumps of 1,200 bytes and 682 prompts after the
    // first make 65,536 bytes.
    std::string input;
    for (int i = 0; i < 54; ++i)
        input += "d 0\n";
    input += "m 0 f8\nm 0d\nm 68\nm 01\nm 00\n";
    for (int i = 0; i < 677; ++i)
        input += "m 100 0\n";
    const std::string out = run_piped(input + "g 0\nq\n", dir.path(), {"--debug"}).out;
    EXPECT_NE(out.find("-\n2 instructions executed\n"), std::string::npos);
    EXPECT_EQ(out.find("-\n\n2 instructions executed\n"), std::string::npos);
}

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The names in a directory, sorted.
std::vector<std::string> names_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

constexpr fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kReadWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

// Each kind of program file, loaded at start-up; a bad one is reported with its
// name and line and ends cosmac before the monitor starts.
TEST(ProgramFiles, LoadByKind)
{
    const std::string huge_line(100000, 'A');
    const struct {
        const char* file;
        std::string bytes;
        const char* argument;
        const char* dump;   // d 8000 or d fff0 shows this line
        const char* error;  // or cosmac says this, and exits with 1
    } cases[] = {
        {"prog.elf", "\xBE\xDE\x01\x00\x00\x80\x02\x00\xAA\xBB"s, "prog", "8000: aa bb 00", ""},
        {"prog.hex", ":028000002A3B19\r\n", "prog.hex", "8000: 2a 3b 00", ""},  // CR LF, no end record
        {"prog.ihx", ":028001000a0b68\n:00000001ff\n", "prog.ihx", "8000: 00 0a 0b 00", ""},
        {"prog.txt", "\n:018000000778\n:00000001FF\n", "prog.txt", "8000: 07 00", ""},  // HEX by its content
        {"up.HEX", "x\n", "up.HEX", "", "up.HEX:1: a record starts with ':'"},  // HEX by its name, in any case
        {"seg.hex", ":020000020800F4\n:0100020055A8\n", "seg.hex", "8000: 00 00 55 00", ""},  // base 8000
        {"lin.hex", ":020000040000FA\n:018000006619\n", "lin.hex", "8000: 66 00", ""},
        {"rom.bin", "\x12\x34", "rom.bin@8001", "8000: 00 12 34 00", ""},
        {"top.bin", "\x56\x78", "top.bin@fffe", "fff0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 56 78", ""},
        {"bad.hex", ":0180000007F9\n", "bad.hex", "", "bad.hex:1: checksum is 78, the record says f9"},
        {"odd.hex", "\n:018000000\n", "odd.hex", "", "odd.hex:2: the record has an odd number of digits"},
        {"g.hex", ":01800000 7F9\n", "g.hex", "", "g.hex:1: ' ' is not a hexadecimal digit"},  // printable from 20
        {"del.hex", ":0180000007F\x7f\n", "del.hex", "", "del.hex:1: byte 7f is not a hexadecimal digit"},  // to 7e
        {"end.hex", ":02FFFF001122CD\n", "end.hex", "", "end.hex:1: the record runs past ffff"},
        {"base.hex", ":020000041000EA\n:0100000011EE\n", "base.hex", "", "base.hex:2: the record runs past ffff"},
        {"type.hex", ":00000006FA\n", "type.hex", "", "type.hex:1: unknown record type 06"},
        {"count.hex", ":0280000007F9\n", "count.hex", "", "count.hex:1: the record holds 1 data bytes, its count says 2"},
        {"empty.hex", "", "empty.hex", "", "empty.hex: the file holds no records"},
        {"huge.hex", ":" + huge_line, "huge.hex", "", "huge.hex:1: the line is longer than any record (521 characters)"},
        {"text.txt", "hello", "text.txt", "", "text.txt: neither an image nor Intel HEX; give a raw binary as text.txt@ADDRESS"},
        {"two.elf", "\xBE\xDE", "two.elf", "", "two.elf: not an image: its header is not BE DE 01 00"},
        {"short.elf", "\xBE\xDE\x01\x00\x00\x80\x03\x00\xAA"s, "short.elf", "",
         "short.elf: the image holds 1 bytes, its header says 3"},
        {"big.bin", "\x01\x02\x03", "big.bin@fffe", "", "big.bin: 3 bytes do not fit between fffe and ffff"},
        {"addr.bin", "\x01", "addr.bin@12345", "", "addr.bin: '12345' is not an address from 0 to ffff"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        write(dir.path() / c.file, c.bytes);
        const Transcript result = run_piped("d 8000\nd fff0\nq\n", dir.path(), {c.argument});
        if (*c.error) {
            EXPECT_EQ(result.exit_status, 1) << c.file;
            EXPECT_EQ(result.out, "") << c.file;
            EXPECT_EQ(result.err, "cosmac: " + std::string(c.error) + "\n");
        } else {
            EXPECT_EQ(result.err, "") << c.file;
            EXPECT_NE(result.out.find(c.dump), std::string::npos) << c.file << result.out;
        }
    }
    TempDir dir;
    fs::create_directory(dir.path() / "dir.hex");
    EXPECT_EQ(run_piped("", dir.path(), {"dir.hex"}).err, "cosmac: dir.hex: Is a directory\n");
}

// A batch run's output, exit status and, with --regs, its end.
TEST(ProgramFiles, BatchRuns)
{
    const struct {
        const char* program;  // bytes at 0100
        std::vector<std::string> options;
        const char* input;
        int status;
        const char* out;
    } cases[] = {
        {"\xF8\x41\x68\x01", {}, "", 0, "A"},                       // LDI 'A', PUTC, IDLE
        {"\x7B\x70", {}, "", 1, "Q1\n"},                              // SEQ, RET
        {"\xE1\x6A\x64", {"--start", "100"}, "7f\n", 0, "INP 2 ?7f\n"},  // SEX 1, INP 2, OUT 4
        {"\x68\x02\x30\x00", {}, "ab\x03", 1, "AB"},                    // GETC until Control-C
        {"\x30\x00", {"--limit", "5"}, "", 3, ""},                     // BR to itself
        // R1 = 0001, STR R1, LDN R1, PUTC: without a window every store lands
        {"\xF8\x01\xA1\xF8\x5A\x51\x01\x68\x01", {"--protect", "none"}, "", 0, "Z"},
        {"\xF8\x41\x68\x01\x30\x04", {"--limit", "2", "--regs"}, "", 3,
         "A2 instructions executed\n\n R0 = 0104, R4 = 0000, R8 = 0000, RC = 0000\n"},
    };
    TempDir dir;
    const Transcript hi = run_piped("", dir.path(), {"--run", (kExamples / "hi.hex").string()});  // as README runs it
    EXPECT_EQ(hi.out + std::to_string(hi.exit_status), "HI0");
    write(dir.path() / "none.hex", ":00000001FF\n");  // nothing loaded: the run starts at 0000
    EXPECT_TRUE(run_piped("", dir.path(), {"--run", "--regs", "none.hex"}).out.ends_with("\n0000 IDLE\n"));
    for (const auto& c : cases) {
        write(dir.path() / "prog.bin", c.program);
        std::vector<std::string> arguments = {"--run"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back("prog.bin@100");
        const Transcript result = run_piped(c.input, dir.path(), arguments);
        EXPECT_EQ(result.exit_status, c.status) << &c - cases;
        EXPECT_TRUE(result.out.starts_with(c.out)) << &c - cases << ": " << result.out;
        EXPECT_EQ(result.err, "");
    }
}

// S replaces an existing file only once the new one is whole, keeps its mode and
// the symbolic links that lead to it, and leaves nothing behind when it fails.
TEST(ProgramFiles, SafeSaves)
{
    TempDir dir;
    const fs::path old = dir.path() / "old.elf";
    write(old, "old bytes");
    fs::permissions(old, kReadWrite);
    fs::create_directory(dir.path() / "links");
    fs::create_symlink("/dev/null", dir.path() / "links" / "null.elf");  // a device is written as it is
    EXPECT_EQ(run_piped("S links/null 0 10\nq\n", dir.path()).err, "");
    fs::create_symlink("../old.elf", dir.path() / "links" / "link.elf");  // relative to the link's own directory
    fs::create_symlink("links/link.elf", dir.path() / "again.elf");
    fs::create_symlink("loop.elf", dir.path() / "loop.elf");
    Transcript result = run_piped("m 0 aa\nS again 0 1\nS loop 0 1\nq\n", dir.path());
    EXPECT_EQ(result.err, "Open: Too many levels of symbolic links\n");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "links" / "link.elf"));
    EXPECT_EQ(read_file(old), "\xBE\xDE\x01\x00\x00\x00\x01\x00\xAA"s);
    EXPECT_EQ(fs::status(old).permissions() & fs::perms::all, kReadWrite);

    // A file size limit stands in for a full disk.
    write(old, "old bytes");
    result = run_piped("S old 0 1000\nq\n", dir.path(), {"-c", "trap '' XFSZ; ulimit -f 1; exec " + kCosmacBinary},
                       "/bin/sh");
    EXPECT_EQ(result.err, "write: File too large\n");
    EXPECT_EQ(read_file(old), "old bytes");

    // A directory the user may not write to.
    fs::create_directory(dir.path() / "locked");
    write(dir.path() / "locked" / "old.elf", "old bytes");
    fs::permissions(dir.path() / "locked" / "old.elf", fs::perms::all);
    fs::permissions(dir.path() / "locked", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                               fs::perms::group_read | fs::perms::others_read);
    result = run_piped("S old 0 10\nq\n", dir.path() / "locked", {"-c", as_ordinary_user(kCosmacBinary)}, "/bin/sh");
    EXPECT_EQ(result.err, "Open: Permission denied\n");
    EXPECT_EQ(read_file(dir.path() / "locked" / "old.elf"), "old bytes");
    // From there, a save into a directory that may be written takes its temporary file there.
    fs::create_directory(dir.path() / "open");
    fs::permissions(dir.path() / "open", fs::perms::all);
    fs::permissions(dir.path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    result = run_piped("S ../open/new 0 1\nS ../open/new 0 2\nq\n", dir.path() / "locked",
                       {"-c", as_ordinary_user(kCosmacBinary)}, "/bin/sh");  // made, then replaced
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(fs::file_size(dir.path() / "open" / "new"), 10u);  // the name has a dot, so no .elf

    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"again.elf", "links", "locked", "loop.elf", "old.elf", "open"}));  // no temporary file
}

// S refuses a file the user may not write, as the system refuses to open it, and
// leaves it as it was. A file with other hard links is written where it stands,
// so that every name sees the new bytes; it is kept whole when the disk is full.
TEST(ProgramFiles, SavesKeepReadOnlyFilesAndHardLinks)
{
    TempDir dir;
    const auto save_as_user = [&](const std::string& commands) {
        return run_piped(commands + "q\n", dir.path(), {"-c", as_ordinary_user(kCosmacBinary)}, "/bin/sh");
    };
    ASSERT_TRUE(give_to_ordinary_user(dir.path()));  // so that a temporary file could be made beside any of them
    const fs::path mine = dir.path() / "mine.elf";
    write(mine, "old bytes");
    ASSERT_TRUE(give_to_ordinary_user(mine));
    fs::permissions(mine, kReadOnly);
    fs::create_symlink("mine.elf", dir.path() / "to-mine.elf");
    Transcript result = save_as_user("m 0 aa\nS mine 0 1\nS to-mine 0 1\nS mine 0 0\n");
    EXPECT_EQ(result.err, "Open: Permission denied\nOpen: Permission denied\nOpen: Permission denied\n");
    EXPECT_EQ(read_file(mine), "old bytes");
    EXPECT_EQ(fs::status(mine).permissions(), kReadOnly);

    const fs::path linked = dir.path() / "linked.elf";
    const fs::path other_name = dir.path() / "other-name.elf";
    write(linked, "old bytes");
    ASSERT_TRUE(give_to_ordinary_user(linked));
    fs::permissions(linked, kReadWrite);
    fs::create_hard_link(linked, other_name);
    fs::create_symlink("linked.elf", dir.path() / "to-linked.elf");
    const std::string wrapped = "\xBE\xDE\x01\x00\xFF\xFF\x03\x00\xBB\xAA\xCC"s;  // from ffff: longer than before
    const std::string one_byte = "\xBE\xDE\x01\x00\x00\x00\x01\x00\xAA"s;           // shorter: the rest is cut
    result = save_as_user("m 0 aa\nm 1 cc\nm ffff bb\nS to-linked ffff 3\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_file(other_name), wrapped);
    result = save_as_user("m 0 aa\nS linked 0 1\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_file(other_name), one_byte);
    EXPECT_TRUE(fs::equivalent(linked, other_name));
    EXPECT_EQ(fs::hard_link_count(linked), 2u);
    EXPECT_EQ(fs::status(linked).permissions(), kReadWrite);

    // A file size limit stands in for a full disk; an empty save keeps its header.
    result = run_piped("S linked 0 1000\nq\n", dir.path(),
                       {"-c", "trap '' XFSZ; ulimit -f 1; " + as_ordinary_user(kCosmacBinary)}, "/bin/sh");
    EXPECT_EQ(result.err, "write: File too large\n");
    EXPECT_EQ(read_file(other_name), one_byte);
    result = save_as_user("S linked 0 0\n");
    EXPECT_EQ(result.err, "write: Success\n");
    EXPECT_EQ(read_file(other_name), "\xBE\xDE\x01\x00\x00\x00\x00\x00"s);
    fs::permissions(linked, kReadOnly);
    result = save_as_user("S other-name 0 1\n");
    EXPECT_EQ(result.err, "Open: Permission denied\n");
    EXPECT_EQ(read_file(linked), "\xBE\xDE\x01\x00\x00\x00\x00\x00"s);

    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"linked.elf", "mine.elf", "other-name.elf", "to-linked.elf", "to-mine.elf"}));
}

// cosmac-asm saves its image as S does: over a read-only file it fails and leaves
// the file as it was, and a file with other hard links is written where it stands.
TEST(Programs, AssemblerKeepsReadOnlyOutputsAndHardLinks)
{
    TempDir dir;
    ASSERT_TRUE(give_to_ordinary_user(dir.path()));
    write(dir.path() / "seven.asm", "DB 7\n");
    for (const char* name : {"mine.elf", "linked.elf"}) {
        write(dir.path() / name, "old bytes");
        ASSERT_TRUE(give_to_ordinary_user(dir.path() / name));
    }
    fs::permissions(dir.path() / "mine.elf", kReadOnly);
    fs::create_hard_link(dir.path() / "linked.elf", dir.path() / "other-name.elf");
    const auto assemble_as_user = [&](const std::string& output) {
        return run_piped("", dir.path(), {"-c", as_ordinary_user(kAssemblerBinary) + " seven.asm -o " + output},
                         "/bin/sh");
    };
    Transcript result = assemble_as_user("mine.elf");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "cosmac-asm: mine.elf: Permission denied\n");
    EXPECT_EQ(read_file(dir.path() / "mine.elf"), "old bytes");
    EXPECT_FALSE(fs::exists(dir.path() / "mine.sym"));
    result = assemble_as_user("linked.elf");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_file(dir.path() / "other-name.elf"), "\xBE\xDE\x01\x00\x00\x00\x01\x00\x07"s);
    EXPECT_TRUE(fs::equivalent(dir.path() / "linked.elf", dir.path() / "other-name.elf"));
}

// cosmac-asm writes no output over a file it reads, nor over another output, and
// writes nothing then. A file that is there is the same file under any name (a
// path through other directories, a hard or a symbolic link); an output still to
// be made is the same as another by its name.
TEST(Programs, AssemblerWritesNoOutputOverAnother)
{
    // The files, in a directory of a known name for a path through its parent.
    const auto make_files = [](const fs::path& temporary) {
        const fs::path dir = temporary / "work";
        fs::create_directory(dir);
        write(dir / "h.asm", "DB 7\n");
        write(dir / "h.sym", "DB 7\n");
        write(dir / "src.elf", "DB 7\n");
        write(dir / "main.asm", "        INCL \"inc.asm\"\n");
        write(dir / "inc.asm", "        DB 7\n");
        write(dir / "old.elf", "old bytes");
        fs::create_hard_link(dir / "h.asm", dir / "hard.asm");
        fs::create_hard_link(dir / "old.elf", dir / "old.lst");
        fs::create_symlink("h.asm", dir / "soft.asm");
        fs::create_symlink("new.elf", dir / "dangling.elf");
        fs::create_directory(dir / "sub");
        return dir;
    };
    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"h.asm", "-o", "h.asm"}, "-o h.asm is the source file; choose another output"},
        {{"h.asm", "-o", "./h.asm"}, "-o ./h.asm is the source file; choose another output"},
        {{"h.asm", "-o", "../work/h.asm"}, "-o ../work/h.asm is the source file; choose another output"},
        {{"h.asm", "-o", "hard.asm"}, "-o hard.asm is the source file; choose another output"},
        {{"soft.asm", "--format", "bin", "-o", "h.asm"}, "-o h.asm is the source file; choose another output"},
        {{"src.elf"}, "the output src.elf is the source file; choose another output"},
        {{"h.asm", "-l", "h.asm"}, "-l h.asm is the source file; choose another listing"},
        {{"h.asm", "-o", "out.elf", "-l", "soft.asm"}, "-l soft.asm is the source file; choose another listing"},
        {{"h.sym", "-o", "h.elf"}, "the symbol file h.sym is the source file; choose another output"},
        {{"main.asm", "--syntax", "a18", "-o", "inc.asm"},
         "-o inc.asm is the included file inc.asm; choose another output"},
        {{"main.asm", "--syntax", "a18", "-o", "x.elf", "-l", "sub/../inc.asm"},
         "-l sub/../inc.asm is the included file inc.asm; choose another listing"},
        {{"h.asm", "-o", "prog.sym"}, "-o prog.sym is the symbol file; choose another output"},
        {{"h.asm", "-o", "prog.lines"}, "-o prog.lines is the line file; choose another output"},
        {{"h.asm", "--format", "hex", "-o", "sub/prog", "-l", "sub/prog.sym"},
         "-l sub/prog.sym is the symbol file; choose another listing"},
        {{"h.asm", "-o", "x", "-l", "x"}, "-l x is the output file; choose another listing"},
        {{"h.asm", "-o", "x.elf", "-l", "sub/../x.elf"}, "-l sub/../x.elf is the output file; choose another listing"},
        {{"h.asm", "-o", "dangling.elf", "-l", "new.elf"}, "-l new.elf is the output file; choose another listing"},
        {{"h.asm", "-o", "old.elf", "-l", "old.lst"}, "-l old.lst is the output file; choose another listing"},
    };
    for (const auto& c : cases) {
        TempDir temporary;
        const fs::path dir = make_files(temporary.path());
        const std::vector<std::string> before = names_in(dir);
        const Transcript result = run_piped("", dir, c.arguments, kAssemblerBinary);
        EXPECT_EQ(result.exit_status, 2) << c.err;
        EXPECT_EQ(result.out + result.err, "cosmac-asm: " + c.err + "\n");
        EXPECT_EQ(names_in(dir), before) << c.err;
        EXPECT_TRUE(fs::is_empty(dir / "sub")) << c.err;
        EXPECT_EQ(read_file(dir / "h.asm"), "DB 7\n") << c.err;
        EXPECT_EQ(read_file(dir / "inc.asm"), "        DB 7\n") << c.err;
        EXPECT_EQ(read_file(dir / "old.elf"), "old bytes") << c.err;
    }

    // The same names in other places are other files.
    TempDir temporary;
    const fs::path dir = make_files(temporary.path());
    Transcript result =
        run_piped("", dir, {"main.asm", "--syntax", "a18", "-o", "sub/inc.asm", "-l", "sub/h.asm"}, kAssemblerBinary);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(names_in(dir / "sub"), (std::vector<std::string>{"h.asm", "inc.asm", "inc.lines", "inc.sym"}));
    EXPECT_EQ(read_file(dir / "sub" / "inc.lines"), "0000 1 ../inc.asm:1\n");  // from the line file's directory
    EXPECT_EQ(read_file(dir / "sub" / "inc.asm"), "\xBE\xDE\x01\x00\x00\x00\x01\x00\x07"s);

    // A device, a FIFO and standard output get no symbol file, and may take two outputs.
    fs::create_symlink("/dev/null", dir / "null.elf");
    result = run_piped("", dir, {"h.asm", "-o", "null.elf", "-l", "null.elf"}, kAssemblerBinary);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_FALSE(fs::exists(dir / "null.sym"));
    const fs::path fifo = dir / "out.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    result = run_piped("", dir, {"h.asm", "--format", "hex", "-o", "out.fifo"}, kAssemblerBinary);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    char hex[64] = {};
    EXPECT_EQ(::read(reader, hex, sizeof hex), 26);
    ::close(reader);
    EXPECT_STREQ(hex, ":0100000007F8\n:00000001FF\n");
    EXPECT_FALSE(fs::exists(dir / "out.sym"));
    result = run_piped("", dir, {"h.asm", "-o", "-", "-l", "-"}, kAssemblerBinary);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("\xBE\xDE\x01\x00\x00\x00\x01\x00\x07"s));
    EXPECT_FALSE(fs::exists(dir / "-.sym"));

    // Outputs in a directory that may not be searched are told apart by their names.
    ASSERT_TRUE(give_to_ordinary_user(temporary.path()));
    fs::create_directory(dir / "closed");
    fs::permissions(dir / "closed", fs::perms::none);
    result = run_piped("", dir, {"-c", as_ordinary_user(kAssemblerBinary) + " h.asm -o closed/x.elf -l closed/x.lst"},
                       "/bin/sh");
    fs::permissions(dir / "closed", fs::perms::owner_all);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "cosmac-asm: closed/x.elf: Permission denied\n");
}

// The front panel at the monitor's prompt: the switches set, IN held, and a
// program that copies the switches to the LEDs until IN is down. Through a pipe,
// a Control-] ends the keys that a run takes.
TEST(Boards, FrontPanelThroughPipes)
{
    TempDir dir;
    const Transcript session = run_piped(
        "\x1dm 0 e2\nm 6c\nm 64\nm 22\nm 3f\nm 01\nm 00\nr 2 100\np 5a\np +\ng 0\n\x1dp\np -\np !\np\np 123\nq\n",
        dir.path(), {"--board", "elf"});
    EXPECT_EQ(session.exit_status, 0);
    const std::string panel = "LEDs 01011010 (5a), Q 0, switches 01011010 (5a), IN ";
    EXPECT_NE(session.out.find("-LEDs 00000000 (00), Q 0, switches 01011010 (5a), IN up\n"
                               "-LEDs 00000000 (00), Q 0, switches 01011010 (5a), IN down\n"
                               "-IDLE: nothing can wake the processor\n\n6 instructions executed\n"),
              std::string::npos)
        << session.out;
    EXPECT_NE(session.out.find("0006 IDLE\n-" + panel + "down\n-" + panel + "up\n-" + panel + "down\n-" + panel +
                               "down\n-usage: p [switches|+|-|!]\n-"),
              std::string::npos)
        << session.out;
}

// What board owners met, each through pipes as a script meets it. Programs are
// raw binaries; the board monitor is assembled where a case needs it.
TEST(Boards, WhatOwnersMetThroughPipes)
{
    // mcard at 8000: SEQ, a delay, REQ (a start bit), a delay with Q at space
    // through the stop bit's sample, IDLE: one character, 00, without its stop bit.
    const std::string no_stop_bit = "\x7b\xf8\x10\xbf\x2f\x9f\x3a\x04\x7a\xf8\x10\xbf\x2f\x9f\x3a\x0c\x00"s;
    const std::string framing_note = "note: 1 framing error on the serial line; check --serial's polarity and --baud\n";
    const struct {
        const char* topic;
        std::string program;  // prog.bin
        std::vector<std::string> arguments;
        std::string input;
        int status;
        std::vector<std::string> out;  // each in the output, in order
        std::string err;
    } cases[] = {
        {"a store where the board has no memory is refused, and a program reads ff there",
         "\xf8\x20\xb1\x01\x00",  // LDI 20; PHI R1; LDN R1; IDLE
         {"--board", "elf", "--ram", "0-fff", "--debug", "prog.bin@0"}, "m 2000 5a\ne 0fff 1 2 3\ng 0\n\x1d" "d 2000\n", 0,
         {"-note: 2000 has no memory on this board\n-note: 1000-1001 have no memory on this board\n-",
          " D = ff, DF = 0,", "-2000: ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:ff:  |................|\n"},
         ""},
        {"jump-on-reset: u and t show what the processor fetches through the mirror", "\xc0\x80\x10",
         {"--board", "elf2k", "--debug", "prog.bin@8000"}, "u 0\nt 1\n", 0,
         {"\n0000 LBR 8010\n-0000 LBR 8010\n0003 IDLE\n", "-0000 LBR 8010\n1 instructions executed\n3 machine cycles"},
         ""},
        {"without a serial line each run is quiet its own time after it starts",
         "\x1a\x30\x00",  // INC RA; BR 00: 2237 cycles are 0.01 s, and a run ends at the boundary after
         {"--board", "elf", "--quiet", "0.01", "prog.bin@0"}, "\x1dg\n\x1dq\n", 0,
         {"\n1119 instructions executed\n", "-1119 instructions executed\n"}, ""},
        {"keys the program never reads end a run once they have waited", "\x30\x00",  // BR 8000
         {"--board", "mcard", "--run", "--key-wait", "0.01", "prog.bin@8000"}, "hello", 3, {}, "note: 5 keys were never read\n"},
        {"keys read ahead that the program has not taken go back to the monitor", "\x30\x00",
         {"--board", "mcard", "--debug", "prog.bin@8000"}, "b 8000\ng\nr\n", 0,
         {"Breakpoint at 8000\n\n1 instructions executed\n", "8000 BR 00\n-\n R0 = 8000, R4 = 0000"}, ""},
        {"a character without its stop bit ends a run with a hint", no_stop_bit, {"--board", "mcard", "--run", "prog.bin@8000"},
         "", 0, {"\0"s}, framing_note},
        {"... at the monitor too", no_stop_bit, {"--board", "mcard", "prog.bin@8000"}, "", 0,
         {"\0\nIDLE: nothing can wake the processor\n\n"s, " instructions executed\n" + framing_note + "\n R0 = 8010"}, ""},
        {"a board without a serial line says once that it ignores keys", "\x00"s,
         {"--board", "elf", "prog.bin@0"}, "hello\x1dg\nmore\x1dq\n", 0,
         {"1 instructions executed\nnote: this board has no serial line; --serial efN adds one\n\n",
          "-IDLE: nothing can wake the processor\n\n0 instructions executed\n\n"},
         ""},
        {"R resets the board and keeps memory and D; nothing before it can be stepped back to",
         "\x7b\xf8\x42\x30\x00",  // SEQ; LDI 42; BR 8000
         {"--board", "mcard", "--debug", "prog.bin@8000"}, "s\ns\nR\nk\nh\n", 0,
         {" Q = 1,", " D = 42, DF = 0, B = 00, P = 0, X = 0\n Q = 0, N = 0, I = 0\n T = 00, IE = 1,",
          "\n8000 SEQ\n-At the oldest instruction in the history\n",
          " R\t\t\t\tReset the board, as Control-^ does while it runs\n"},
         ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        write(dir.path() / "prog.bin", c.program);
        const Transcript result = run_piped(c.input, dir.path(), c.arguments);
        EXPECT_EQ(result.exit_status, c.status) << c.topic;
        EXPECT_EQ(result.err, c.err) << c.topic;
        std::size_t from = 0;
        for (const std::string& part : c.out) {
            const std::size_t found = result.out.find(part, from);
            EXPECT_NE(found, std::string::npos) << c.topic << ": " << part << "\n" << result.out;
            from = found == std::string::npos ? from : found + part.size();
        }
        if (c.out.empty()) {
            EXPECT_EQ(result.out, "") << c.topic;
        }
    }
}

// The serial terminal's conveniences: a 7-bit terminal, and Enter from scripts.
TEST(Boards, SevenBitsAndLineFeedsAsEnter)
{
    TempDir dir;
    const Transcript assembled = assemble_board_monitor(dir.path());
    ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
    const std::string high_digits = "\r\xb8\xb0\xb0\xb3";  // 8003 with bit 7 set, which the monitor echoes
    EXPECT_TRUE(run_piped(high_digits, dir.path(), {"--board", "mcard", "--run", "fw.hex"})
                    .out.starts_with("OK\r\n*\xb8\xb0\xb0\xb3"));
    EXPECT_TRUE(run_piped(high_digits, dir.path(), {"--board", "mcard", "--run", "--7bit", "fw.hex"})
                    .out.starts_with("OK\r\n*8003"));
    // The monitor times its first key, which must be CR: a line feed starts with a longer space.
    EXPECT_EQ(run_piped("\n8003", dir.path(), {"--board", "mcard", "--run", "--lf-as-cr", "fw.hex"}).out,
              "OK\r\n*8003 F8\r\n*");
    EXPECT_FALSE(run_piped("\n8003", dir.path(), {"--board", "mcard", "--run", "fw.hex"}).out.starts_with("OK"));
}

// A disk boot as the Pico/Elf's and Elf 2000's BIOS does it, by a ROM and a
// boot sector of the examples: the ROM resets the drive, sets 8-bit transfers,
// reads LBA 0, checks it and enters it; the boot sector writes itself to LBA 2,
// reads that back and compares. The disk holds only its first sector, whose
// filesystem fields say it has 64. An Elf/OS disk made by cosmac-disk boots the
// same with the boot code in its sector 0, and is sound afterwards.
TEST(Boards, BootFromAnIdeDisk)
{
    const std::string examples = COSMAC_EXAMPLES;
    const std::string hello = "cosmac boot ROM\r\nBooted from LBA 0\r\n";
    const struct {
        const char* board;
        const char* tx_invert;
        const char* bit_delay;  // 1200 baud at the board's clock
    } boards[] = {{"elf2k", "1", "27"}, {"picoelf", "0", "65"}};
    for (const auto& board : boards) {
        TempDir dir;
        ASSERT_EQ(run_piped("", dir.path(),
                            {examples + "/ide_boot_rom.asm", "--syntax", "a18", "-D", std::string("TXINV=") + board.tx_invert,
                             "-D", std::string("BITDELAY=") + board.bit_delay, "--format", "hex", "-o", "rom.hex"},
                            kAssemblerBinary)
                      .exit_status,
                  0);
        ASSERT_EQ(run_piped("", dir.path(),
                            {examples + "/ide_boot_sector.asm", "--syntax", "a18", "--format", "bin", "-o", "boot.bin"},
                            kAssemblerBinary)
                      .exit_status,
                  0);
        std::string sector = read_file(dir.path() / "boot.bin");
        ASSERT_LE(sector.size(), 256u);
        unsigned check = 0;  // the BIOS's: (total + byte) * 2 over 0100-0140
        for (int i = 0; i <= 0x40; ++i)
            check = (check + static_cast<uint8_t>(sector[i])) * 2 % 256;
        EXPECT_EQ(check, 0x60u);
        sector.resize(512, '\0');
        sector.replace(0x100, 5, "\x00\x00\x00\x40\x01"s);  // 64 sectors, filesystem type I
        write(dir.path() / "disk.ide", sector);

        const std::vector<std::string> run = {"--board", board.board, "--run", "--disk", "disk.ide", "rom.hex"};
        Transcript result = run_piped("", dir.path(), run);
        EXPECT_EQ(result.exit_status, 0) << board.board;
        EXPECT_EQ(result.out, hello + "LBA 2 written and read back the same\r\n") << board.board;
        EXPECT_EQ(read_file(dir.path() / "disk.ide"), sector + std::string(512, '\0') + sector) << board.board;
        // The monitor's view of the drive: LBA 0 and 2 read, LBA 2 written, the read last.
        result = run_piped("g\n\x1d" "D\n", dir.path(), {"--board", board.board, "--debug", "--disk", "disk.ide", "rom.hex"});
        EXPECT_NE(result.out.find("-Disk disk.ide: 64 sectors (0.03 MB), last command 20, status 50, error 00; 2 sectors "
                                  "read, 1 written\n-"),
                  std::string::npos)
            << result.out;

        write(dir.path() / "disk.ide", sector);  // read-only: the write fails, the file stays as it was
        result = run_piped("", dir.path(), {"--board", board.board, "--run", "--disk", "disk.ide,ro", "rom.hex"});
        EXPECT_EQ(result.out, hello + "?DISK ERROR\r\n") << board.board;
        EXPECT_EQ(read_file(dir.path() / "disk.ide"), sector) << board.board;

        sector[0x3F] = 'x';  // the BIOS's check fails
        write(dir.path() / "disk.ide", sector);
        EXPECT_EQ(run_piped("", dir.path(), run).out, "cosmac boot ROM\r\n?BOOT ERROR\r\n") << board.board;

        fs::remove(dir.path() / "disk.ide");
        ASSERT_EQ(run_piped("", dir.path(), {"new", "disk.ide", "1"}, kDiskBinary).exit_status, 0);
        std::string elfos = read_file(dir.path() / "disk.ide");
        elfos.replace(0, 0x100, read_file(dir.path() / "boot.bin") + std::string(0x100, '\0'), 0, 0x100);
        uint8_t checksum = 0xFF;  // sector 0's: each byte added, the sum rotated left
        for (int i = 0; i < 0x1FF; ++i) {
            checksum = static_cast<uint8_t>(checksum + static_cast<uint8_t>(elfos[i]));
            checksum = static_cast<uint8_t>(checksum << 1 | checksum >> 7);
        }
        elfos[0x1FF] = static_cast<char>(checksum);
        write(dir.path() / "disk.ide", elfos);
        EXPECT_EQ(run_piped("", dir.path(), run).out, hello + "LBA 2 written and read back the same\r\n") << board.board;
        const Transcript sound = run_piped("", dir.path(), {"check", "disk.ide"}, kDiskBinary);
        EXPECT_EQ(sound.exit_status, 0) << sound.out;
        EXPECT_EQ(sound.out, "");
    }
}

// Output beyond what the console holds before handing it on comes out whole.
TEST(Programs, LongOutputComesOutWhole)
{
    TempDir dir;
    const std::string once = run_piped("d 0\nq\n", dir.path()).out;
    ASSERT_TRUE(once.starts_with(std::string(kBanner) + "-"));
    const std::string dump = once.substr(kBanner.size() + 1, once.size() - kBanner.size() - 2);
    std::string input, expected = std::string(kBanner);
    for (int i = 0; i < 100; ++i) {  // about 90 KB
        input += "d 0\n";
        expected += "-" + dump;
    }
    EXPECT_EQ(run_piped(input + "q\n", dir.path()).out, expected + "-");
}

// A monitor of the kind board owners run, built for each serial convention:
// it times the first Enter, then reads four hex digits at each * and prints the
// byte there. Through pipes the run ends once the line has been quiet a second.
TEST(Boards, FirmwareRunsThroughPipes)
{
    const struct {
        const char* topic;
        BoardMonitorBuild build;
        std::vector<std::string> arguments;
        const char* keys;
        int status;
        const char* out;
    } cases[] = {
        {"mcard: flag 0 and Q 1 at mark", {"3", "0", "0", "8000H"}, {"--board", "mcard", "fw.hex"}, "\r8003",
         0, "OK\r\n*8003 F8\r\n*"},
        {"mcard at 300 baud", {"3", "0", "0", "8000H"}, {"--board", "mcard", "--baud", "300", "fw.hex"}, "\r8000",
         0, "OK\r\n*8000 C0\r\n*"},
        {"mcard with Q 0 at mark", {"3", "0", "1", "8000H"},
         {"--board", "mcard", "--serial", "ef3,tx-invert", "fw.hex"}, "\r8000", 0, "OK\r\n*8000 C0\r\n*"},
        {"elf2k: flag 1 and Q 0 at mark, jump-on-reset, an image from 0000 moved to 8000", {"3", "1", "1", "0"},
         {"--board", "elf2k", "fw.hex@8000"}, "\r80007FFF", 0, "OK\r\n*8000 C0\r\n*7FFF 00\r\n*"},
        {"picoelf: EF2 at 4 MHz", {"2", "0", "0", "8000H"}, {"--board", "picoelf", "fw.hex"}, "\r8003", 0,
         "OK\r\n*8003 F8\r\n*"},
        {"a key the program never takes keeps the run going to the limit", {"3", "0", "0", "8000H"},
         {"--board", "picoelf", "--limit", "100000", "fw.hex"}, "\r", 3, ""},
        {"a run with nothing to send ends when quiet", {"3", "0", "0", "8000H"},
         {"--board", "mcard", "--quiet", "0.5", "fw.hex"}, "", 0, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Transcript assembled = assemble_board_monitor(dir.path(), c.build);
        ASSERT_EQ(assembled.exit_status, 0) << assembled.err;
        std::vector<std::string> arguments = {"--run"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Transcript first = run_piped(c.keys, dir.path(), arguments);
        EXPECT_EQ(first.exit_status, c.status) << c.topic;
        EXPECT_EQ(first.out, c.out) << c.topic;
        EXPECT_EQ(first.err, "") << c.topic;
        EXPECT_EQ(run_piped(c.keys, dir.path(), arguments).out, first.out) << c.topic << ": the same every time";
    }
}

// Image files as the S command leaves them on disk.
TEST(ImageFile, SaveWritesHeaderAndBytes)
{
    TempDir dir;
    std::string input = "m 100 0\n";
    for (int i = 1; i < 0x20; ++i)
        input += "m " + std::to_string(i) + "\n";  // decimal digits read as hex: 01 .. 09, 10 .. 31
    input += "S prog 100 20\nSprog.bin 105 2\nm 0 aa\nS old 0 10\nS old 0 1\nq\n";
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
