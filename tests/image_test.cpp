// The door into memory and the readers that hand it their bytes: a byte that
// would land past ffff is refused, however its address was reached.
#include "image/placement.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "image/image_file.hpp"
#include "image/intel_hex.hpp"
#include "image/line_file.hpp"
#include "image/posix_file.hpp"
#include "image/symbol_file.hpp"

namespace cosmac::testing {
namespace {

TEST(Placement, TakesBytesUpToFfffAndRefusesAnyPast)
{
    const struct {
        uint64_t address;
        std::size_t count;
        bool fits;
    } cases[] = {
        {0xFFFF, 1, true},     {0xFFFF, 2, false},        {0x0000, 0x10000, true}, {0x0001, 0x10000, false},
        {0x10000, 0, true},    {0x10000, 1, false},       {0xFFFFFFFF, 1, false},  {0xFFFF0000FFFF, 16, false},
        {0xFFF0, 16, true},    {0xFFF1, 16, false},
    };
    const auto memory = std::make_unique<Memory>();
    for (const auto& c : cases) {
        memory->fill(0);
        const std::vector<uint8_t> bytes(c.count, 0x41);
        EXPECT_EQ(place(*memory, c.address, bytes), c.fits) << std::hex << c.address << " " << c.count;
        const auto written = std::count(memory->begin(), memory->end(), 0x41);
        EXPECT_EQ(written, c.fits ? static_cast<long>(c.count) : 0) << std::hex << c.address;
    }
}

TEST(Placement, AllChunksOrNone)
{
    const auto memory = std::make_unique<Memory>();
    EXPECT_FALSE(place_all(*memory, {{0x0000, {1, 2}}, {0xFFFF, {3, 4}}}));
    EXPECT_EQ((*memory)[0], 0);
    EXPECT_TRUE(place_all(*memory, {{0x0000, {1, 2}}, {0xFFFF, {3}}}));
    EXPECT_EQ((*memory)[1], 2);
    EXPECT_EQ((*memory)[0xFFFF], 3);
}

// Each record with its checksum, so that only the address decides.
std::string record(const std::string& digits)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        sum += std::stoul(digits.substr(i, 2), nullptr, 16);
    char checksum[4];
    std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - sum % 0x100) % 0x100);
    return ":" + digits + checksum + "\n";
}

// Records that reach past ffff are errors whatever their base; records at the
// edges of their own form (the longest, the shortest, a checksum of 00) load.
TEST(IntelHex, RecordsAtTheirEdges)
{
    const std::string sixteen = "41414141414141414141414141414141";
    std::string longest = "FFFF0100";  // 255 bytes up to ffff: the longest line a record makes
    for (int i = 0; i < 254; ++i)
        longest += "41";
    const struct {
        std::string text;
        std::string error;  // empty: it loads
    } cases[] = {
        {record("01FFFF0042"), ""},
        {record("02FFFF004243"), "t.hex:1: the record runs past ffff"},
        {record("02000004FFFF") + record("10FFFF00" + sixteen), "t.hex:2: the record runs past ffff"},
        {record("02000004FFFF") + record("0100000042"), "t.hex:2: the record runs past ffff"},
        {record("020000040001") + record("0100000042"), "t.hex:2: the record runs past ffff"},
        {record("020000040000") + record("01FFFF0042"), ""},
        {record("02000002F000") + record("01FFFF0042"), "t.hex:2: the record runs past ffff"},
        {record("02000002FFFF") + record("0100000042"), "t.hex:2: the record runs past ffff"},
        {record("020000020FFF") + record("01000F0042"), ""},
        {record("020000020FFF") + record("0100100042"), "t.hex:2: the record runs past ffff"},
        {record("02000002FFFF") + record("10FFFF00" + sixteen), "t.hex:2: the record runs past ffff"},
        {record(longest + "42"), ""},
        {record("02FFFE00BF42"), ""},  // its digits sum to 300: checksum 00
        {":00000001\n", "t.hex:1: the record is too short"},
    };
    for (const auto& c : cases) {
        const ProgramBytes read = read_intel_hex(c.text, "t.hex");
        EXPECT_EQ(read.error, c.error) << c.text;
        const auto memory = std::make_unique<Memory>();
        EXPECT_TRUE(place_all(*memory, read.chunks)) << c.text;
        EXPECT_EQ((*memory)[0xFFFF], c.error.empty() ? 0x42 : 0) << c.text;
    }
}

TEST(ImageFile, BodyRunsOnFromFfffToZero)
{
    const std::vector<uint8_t> body = {1, 2, 3};
    const auto memory = std::make_unique<Memory>();
    EXPECT_TRUE(place_all(*memory, image_chunks(0xFFFE, body)));
    EXPECT_EQ((*memory)[0xFFFE], 1);
    EXPECT_EQ((*memory)[0xFFFF], 2);
    EXPECT_EQ((*memory)[0x0000], 3);
    EXPECT_EQ(image_chunks(0xFFFD, body).size(), 1u);
}

// A save that runs past ffff goes on from 0000, and holds exactly its length.
TEST(ImageFile, SaveRunsOnFromFfffToZero)
{
    const auto memory = std::make_unique<Memory>();
    (*memory)[0xFFFE] = 1;
    (*memory)[0xFFFF] = 2;
    (*memory)[0x0000] = 3;
    (*memory)[0x0001] = 4;
    (*memory)[0x0002] = 5;
    const std::string path = ::testing::TempDir() + "cosmac-wrapped-save";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write_image(fd, *memory, 0xFFFE, 4).kind, ImageResult::Kind::Ok);
    ::close(fd);
    const std::string bytes = read_file(path).bytes;
    std::remove(path.c_str());
    EXPECT_EQ(bytes.substr(kImageHeaderSize), std::string("\1\2\3\4"));
}

// A file of exactly the largest size a reader takes is read; one byte more is too
// large. A file longer than one read is read to its end.
TEST(PosixFile, ReadsUpToTheLargestSize)
{
    const std::string path = ::testing::TempDir() + "cosmac-ten-bytes";
    std::ofstream(path) << "0123456789";
    EXPECT_EQ(read_file(path, 10).error_number, 0);
    EXPECT_EQ(read_file(path, 10).bytes, "0123456789");
    EXPECT_EQ(read_file(path, 9).error_number, EFBIG);
    const std::string long_text(100000, 'x');
    std::ofstream(path) << long_text;
    EXPECT_EQ(read_file(path, long_text.size()).bytes, long_text);
    std::remove(path.c_str());
}

// A write cut short, here by the limit on a file's size, goes on where it
// stopped, and so meets the limit again.
TEST(PosixFile, WriteAtGoesOnWhereAShortWriteStopped)
{
    const std::string path = ::testing::TempDir() + "cosmac-limited";
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string bytes(512, 'a');
        _exit(write_all_at(fd, bytes.data(), bytes.size(), 700));
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string written = read_file(path).bytes;
    std::remove(path.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(written, std::string(700, '\0') + std::string(300, 'a'));
}

// Every name the assembler writes reads back with its kind, CR LF line ends
// included; a line without a kind, as older files have, is a label's; a line
// that is none of these is named with its line number and skipped.
TEST(SymbolFile, ReadsBackWhatTheAssemblerWrites)
{
    const std::string text = symbol_file_text(
        {{0x0300, "START.LOOP"}, {0x0010, "f_hexout!"}, {0xFFFF, "_end"}, {0x0003, "COUNT", SymbolKind::Value}});
    EXPECT_EQ(text, "0003 COUNT value\n0010 f_hexout! label\n0300 START.LOOP label\nffff _end label\n");
    const std::string path = ::testing::TempDir() + "symbols.sym";
    std::ofstream(path, std::ios::binary) << "0010 f_hexout!\r\n0300\tSTART.LOOP\r\n\r\n12345 long\n030g bad\n0300 9lives\n"
                                             "ffff q\n0400  \n0003 COUNT\tvalue \n0004 four label\n0005 five constant\n";
    const SymbolFile file = read_symbol_file(path);
    std::remove(path.c_str());
    const std::vector<SymbolEntry> read{{0x0010, "f_hexout!"},
                                        {0x0300, "START.LOOP"},
                                        {0xFFFF, "q"},  // q: the shortest line
                                        {0x0003, "COUNT", SymbolKind::Value},
                                        {0x0004, "four"}};
    EXPECT_EQ(file.symbols, read);
    ASSERT_EQ(file.problems.size(), 5u);
    EXPECT_EQ(file.problems[0], path + ":4: not an \"xxxx name [label|value]\" line");
    EXPECT_EQ(file.problems[3], path + ":8: not an \"xxxx name [label|value]\" line");  // blanks and no name
    EXPECT_EQ(file.problems[4], path + ":11: not an \"xxxx name [label|value]\" line");
}

// A line file lists its entries by address; read back, its paths are taken
// from the file's own directory, an absolute one as it is; bad lines are named.
TEST(LineFile, ReadsBackFromItsDirectory)
{
    const LineTable table{{"../src/main.asm", "/usr/share/lib.inc"}, {{0x0100, 3, 0, 12}, {0x0010, 0x1f, 1, 7}}};
    const std::string text = line_file_text(table);
    EXPECT_EQ(text, "0010 1f /usr/share/lib.inc:7\n0100 3 ../src/main.asm:12\n");
    const std::string directory = ::testing::TempDir() + "build";
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/prog.lines";
    std::ofstream(path, std::ios::binary) << text << "0200 0 a.asm:1\n0200 2 a.asm:0\n0200 2 a.asm\n02000 2 a.asm:3\n0200 2 :5\n0200 2x a.asm:6\n"
                                          << "0200 2 my file.asm:4\r\n";
    const LineFile file = read_line_file(path);
    std::filesystem::remove_all(directory);
    const std::string source = std::filesystem::path(::testing::TempDir() + "src/main.asm").lexically_normal();
    EXPECT_EQ(file.table.files, (std::vector<std::string>{"/usr/share/lib.inc", source, directory + "/my file.asm"}));
    EXPECT_EQ(file.table.entries, (std::vector<LineTable::Entry>{{0x0010, 0x1f, 0, 7}, {0x0100, 3, 1, 12}, {0x0200, 2, 2, 4}}));
    ASSERT_EQ(file.problems.size(), 6u);
    EXPECT_EQ(file.problems[0], path + ":3: not an \"xxxx n path:line\" line");  // no bytes
    EXPECT_EQ(file.problems[4], path + ":7: not an \"xxxx n path:line\" line");  // no path
}

}  // namespace
}  // namespace cosmac::testing
