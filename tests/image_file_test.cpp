// Image files as the S command leaves them on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.hpp"

using namespace std::string_literals;

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

TEST(ImageFile, SaveWritesHeaderAndBytes)
{
    TempDir dir;
    std::string input = "m 100 0\n";
    for (int i = 1; i < 0x20; ++i)
        input += "m " + std::to_string(i) + "\n";  // decimal digits read as hex: 01 .. 09, 10 .. 31
    input += "S prog 100 20\nS prog.bin 105 2\nq\n";
    const Transcript result = run_piped(input, dir.path());
    EXPECT_EQ(result.err, "");

    std::string want = "\xBE\xDE\x01\x00\x00\x01\x20\x00"s;
    want += '\0';
    for (int i = 1; i < 0x20; ++i)
        want += static_cast<char>(std::stoi(std::to_string(i), nullptr, 16));
    EXPECT_EQ(read_file(dir.path() / "prog.elf"), want);
    EXPECT_EQ(read_file(dir.path() / "prog.bin"), "\xBE\xDE\x01\x00\x05\x01\x02\x00\x05\x06"s);
    EXPECT_FALSE(fs::exists(dir.path() / "prog.bin.elf"));
}

TEST(ImageFile, SaveReplacesAnExistingFileWhole)
{
    TempDir dir;
    run_piped("m 0 aa\nS prog 0 10\nS prog 0 1\nq\n", dir.path());
    EXPECT_EQ(read_file(dir.path() / "prog.elf"), "\xBE\xDE\x01\x00\x00\x00\x01\x00\xAA"s);
}

}  // namespace
}  // namespace cosmac::testing
