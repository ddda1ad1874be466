// cosmac-disk as a user runs it, through pipes: new images of both types, files
// in and out and removed again, a directory that grows, a full disk, changes
// that fail leaving the image byte for byte as it was, a read-only image, boot
// loaders copied from a bootable image, check's reports, and the usage errors.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDiskUsage =
    "usage: cosmac-disk ls IMAGE [PATH]\n"
    "       cosmac-disk get IMAGE PATH [HOSTFILE|-]\n"
    "       cosmac-disk put IMAGE HOSTFILE|- PATH [-x] [-f]\n"
    "       cosmac-disk rm IMAGE PATH\n"
    "       cosmac-disk mkdir IMAGE PATH\n"
    "       cosmac-disk check IMAGE\n"
    "       cosmac-disk new IMAGE SIZE_MB [--type 1|2] [--boot-from OTHER_IMAGE]\n";

constexpr const char* kLeapDayEpoch = "1709210096";  // 2024-02-29 12:34:56 UTC

Transcript disk(const fs::path& dir, const std::vector<std::string>& arguments, std::string_view input = "")
{
    return run_piped(input, dir, arguments, kDiskBinary);
}

// The run succeeded and said nothing.
void expect_quiet(const Transcript& run, const std::string& what)
{
    EXPECT_EQ(run.exit_status, 0) << what << ": " << run.err;
    EXPECT_EQ(run.out + run.err, "") << what;
}

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Bytes that differ from lump to lump and sector to sector.
std::string pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 509);
    return bytes;
}

// Writes bytes over a file's own at offset, in place.
void poke(const fs::path& path, std::size_t offset, const std::string& bytes)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class DiskProgram : public ::testing::Test {
protected:
    void SetUp() override { setenv("SOURCE_DATE_EPOCH", kLeapDayEpoch, 1); }
    void TearDown() override { unsetenv("SOURCE_DATE_EPOCH"); }
    TempDir dir;
};

// new, put, ls, get, rm, check on both types: files of 0, 1, 4096 and 4097
// bytes and of several lumps, and a directory of 130 entries, more than a lump.
TEST_F(DiskProgram, RoundTripsOnBothTypes)
{
    const struct {
        const char* name;
        std::size_t size;
        bool executable;
    } files[] = {{"empty", 0, false},        {"one", 1, true},        {"lump", 4096, false},
                 {"lump-and-1", 4097, true}, {"several", 12388, false}, {"nineteen-character~", 40000, true}};
    const std::string listing = "-----          0 2024-02-29 12:34:56 empty\n"
                                "-x---          1 2024-02-29 12:34:56 one\n"
                                "-----       4096 2024-02-29 12:34:56 lump\n"
                                "-x---       4097 2024-02-29 12:34:56 lump-and-1\n"
                                "-----      12388 2024-02-29 12:34:56 several\n"
                                "-x---      40000 2024-02-29 12:34:56 nineteen-character~\n";
    for (const std::string type : {"1", "2"}) {
        SCOPED_TRACE("type " + type);
        fs::remove(dir.path() / "disk.img");
        expect_quiet(disk(dir.path(), {"new", "disk.img", "2", "--type", type}), "new");
        EXPECT_EQ(fs::file_size(dir.path() / "disk.img"), 3906u * 512);  // 2,000,000 / 512 sectors
        for (const auto& file : files) {
            write(dir.path() / "host", pattern(file.size));
            std::vector<std::string> put = {"put", "disk.img", "host", std::string("/bin/") + file.name};
            if (file.executable)
                put.push_back("-x");
            expect_quiet(disk(dir.path(), put), file.name);
        }
        const Transcript ls = disk(dir.path(), {"ls", "disk.img", "/bin"});
        EXPECT_EQ(ls.out, listing);
        EXPECT_EQ(ls.err, "");
        EXPECT_EQ(disk(dir.path(), {"ls", "disk.img"}).out,
                  "d-p--       4095 2024-02-29 12:34:56 bin\nd-p--       4095 2024-02-29 12:34:56 os\n");
        EXPECT_EQ(disk(dir.path(), {"ls", "disk.img", "bin/one"}).out, "-x---          1 2024-02-29 12:34:56 one\n");
        for (const auto& file : files) {
            expect_quiet(disk(dir.path(), {"get", "disk.img", std::string("bin/") + file.name}), file.name);
            EXPECT_EQ(read_file(dir.path() / file.name), pattern(file.size)) << file.name;
            EXPECT_EQ(disk(dir.path(), {"get", "disk.img", std::string("/bin/") + file.name, "-"}).out,
                      pattern(file.size))
                << file.name;
        }
        // 129 entries: /os's first lump holds 128.
        for (int i = 0; i < 129; ++i)
            expect_quiet(disk(dir.path(), {"put", "disk.img", "-", "/os/f" + std::to_string(i)}, std::string(i, 'f')),
                         "put f" + std::to_string(i));
        const Transcript os = disk(dir.path(), {"ls", "disk.img", "os"});
        EXPECT_EQ(std::count(os.out.begin(), os.out.end(), '\n'), 129);
        EXPECT_TRUE(os.out.ends_with("       128 2024-02-29 12:34:56 f128\n"));
        EXPECT_EQ(disk(dir.path(), {"get", "disk.img", "/os/f128", "-"}).out, std::string(128, 'f'));
        EXPECT_EQ(disk(dir.path(), {"ls", "disk.img", "/"}).out,
                  "d-p--       4095 2024-02-29 12:34:56 bin\nd-p--       8191 2024-02-29 12:34:56 os\n");
        expect_quiet(disk(dir.path(), {"check", "disk.img"}), "check");
        for (const auto& file : files)
            expect_quiet(disk(dir.path(), {"rm", "disk.img", std::string("/bin/") + file.name}), file.name);
        for (const char* name : {"/os/f0", "/os/f128"})
            expect_quiet(disk(dir.path(), {"rm", "disk.img", name}), name);
        const std::string left = disk(dir.path(), {"ls", "disk.img", "os"}).out;
        EXPECT_EQ(std::count(left.begin(), left.end(), '\n'), 127);
        EXPECT_EQ(disk(dir.path(), {"ls", "disk.img", "/os/f128"}).err,
                  "cosmac-disk: disk.img: /os/f128: no such file or directory\n");
        expect_quiet(disk(dir.path(), {"ls", "disk.img", "/bin"}), "ls of an empty directory");
        expect_quiet(disk(dir.path(), {"mkdir", "disk.img", "/bin/sub"}), "mkdir");
        EXPECT_EQ(disk(dir.path(), {"ls", "disk.img", "/bin"}).out, "d----       4095 2024-02-29 12:34:56 sub\n");
        expect_quiet(disk(dir.path(), {"rm", "disk.img", "/bin/sub"}), "rm of an empty directory");
        expect_quiet(disk(dir.path(), {"check", "disk.img"}), "check after rm");
    }
}

// A full disk, and every other change that fails, leave the image byte for byte
// as it was: a 1 MB type I disk has 244 lumps, 6 of them taken when it is new.
TEST_F(DiskProgram, ChangesThatFailLeaveTheImageAsItWas)
{
    expect_quiet(disk(dir.path(), {"new", "small.img", "1"}), "new");
    write(dir.path() / "too-big", std::string(236 * 4096, 'x'));
    write(dir.path() / "largest", std::string(235 * 4096 + 4095, 'x'));
    write(dir.path() / "small", "s");
    expect_quiet(disk(dir.path(), {"put", "small.img", "small", "/bin/there"}), "put");
    expect_quiet(disk(dir.path(), {"mkdir", "small.img", "/os/full"}), "mkdir");
    expect_quiet(disk(dir.path(), {"put", "small.img", "small", "/os/full/inside"}), "put");
    const std::string before = read_file(dir.path() / "small.img");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"put", "small.img", "too-big", "/bin/big"},
         "not enough room for /bin/big: it needs 237 lumps of 4096 bytes, the disk has 235 free"},
        {{"put", "small.img", "small", "/bin/abcdefghijklmnopqrst"},
         "abcdefghijklmnopqrst: a name holds at most 19 characters"},
        {{"put", "small.img", "small", "/nowhere/x"}, "/nowhere: no such directory"},
        {{"put", "small.img", "small", "/bin/there/x"}, "/bin/there is not a directory"},
        {{"put", "small.img", "small", "/bin/there"}, "/bin/there is there already"},
        {{"put", "small.img", "small", "/os/full", "-f"}, "/os/full is a directory"},
        {{"mkdir", "small.img", "/os/full"}, "/os/full is there already"},
        {{"rm", "small.img", "/os/full"}, "/os/full is a directory that is not empty"},
        {{"rm", "small.img", "/bin/gone"}, "/bin/gone: no such file or directory"},
        {{"rm", "small.img", "/"}, "/ is the master directory"},
    };
    for (const auto& c : cases) {
        const Transcript run = disk(dir.path(), c.arguments);
        EXPECT_EQ(run.exit_status, 1) << c.message;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "cosmac-disk: small.img: " + c.message + "\n");
        EXPECT_EQ(read_file(dir.path() / "small.img"), before) << c.message;
    }
    // With /bin/there gone, 236 lumps are free: the largest file takes them all.
    expect_quiet(disk(dir.path(), {"rm", "small.img", "/bin/there"}), "rm");
    expect_quiet(disk(dir.path(), {"put", "small.img", "largest", "/bin/largest", "-x"}), "the largest file");
    expect_quiet(disk(dir.path(), {"check", "small.img"}), "check of a full disk");
    const std::string full = read_file(dir.path() / "small.img");
    for (const std::string name : {"/bin/empty", "/bin/largest"}) {  // a replaced file's lumps are freed last
        const Transcript run = disk(dir.path(), {"put", "small.img", "-", name, "-f"});
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "cosmac-disk: small.img: not enough room for " + name +
                               ": it needs 1 lump of 4096 bytes, the disk has 0 free\n");
        EXPECT_EQ(read_file(dir.path() / "small.img"), full) << name;
    }
    expect_quiet(disk(dir.path(), {"rm", "small.img", "/os/full/inside"}), "rm");
    expect_quiet(disk(dir.path(), {"put", "small.img", "small", "/bin/largest", "-f"}), "replaced");
    EXPECT_EQ(disk(dir.path(), {"ls", "small.img", "/bin"}).out, "-----          1 2024-02-29 12:34:56 largest\n");
    EXPECT_EQ(disk(dir.path(), {"get", "small.img", "/bin/largest", "-"}).out, "s");
    expect_quiet(disk(dir.path(), {"check", "small.img"}), "check after replacing");
}

// An image the user may not write is refused with the system's message and left
// as it was; it can still be read.
TEST_F(DiskProgram, ReadOnlyImage)
{
    expect_quiet(disk(dir.path(), {"new", "ro.img", "1"}), "new");
    write(dir.path() / "small", "s");
    ASSERT_TRUE(give_to_ordinary_user(dir.path()));
    ASSERT_TRUE(give_to_ordinary_user(dir.path() / "ro.img"));
    fs::permissions(dir.path() / "ro.img", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = read_file(dir.path() / "ro.img");
    for (const std::string command : {"put ro.img small /bin/x", "rm ro.img /bin", "mkdir ro.img /y"}) {
        const Transcript run = run_piped("", dir.path(), {"-c", as_ordinary_user(kDiskBinary) + " " + command}, "/bin/sh");
        EXPECT_EQ(run.exit_status, 1) << command;
        EXPECT_EQ(run.err, "cosmac-disk: ro.img: Permission denied\n") << command;
    }
    EXPECT_EQ(read_file(dir.path() / "ro.img"), before);
    const Transcript ls = run_piped("", dir.path(), {"-c", as_ordinary_user(kDiskBinary) + " ls ro.img"}, "/bin/sh");
    EXPECT_EQ(ls.exit_status, 0);
    EXPECT_EQ(ls.out.substr(0, 6), "d-p-- ");
}

// A bootable image: its boot code passes the BIOS's boot check, worked out by
// hand: 01 at 03e and 02 at 03f make (2 + 2) × 2 = 08, and (08 + 28) × 2 = 60.
void make_bootable(const fs::path& dir, const std::string& image, const std::string& type)
{
    expect_quiet(disk(dir, {"new", image, "1", "--type", type}), "new " + image);
    poke(dir / image, 0x3E, "\x01\x02\x28");
    poke(dir / image, 0xFF, "\x99");
    poke(dir / image, 0x200, "second stage");
    poke(dir / image, 0x5FF, "!");
    expect_quiet(disk(dir, {"put", image, "-", "/os/kernel"}, pattern(5000)), "kernel");
}

TEST_F(DiskProgram, NewCopiesTheBootLoaderAndKernel)
{
    make_bootable(dir.path(), "boot.img", "1");
    make_bootable(dir.path(), "boot2.img", "2");
    expect_quiet(disk(dir.path(), {"new", "plain.img", "1"}), "new");
    setenv("SOURCE_DATE_EPOCH", "0", 1);  // the new image's own entries are dated otherwise
    expect_quiet(disk(dir.path(), {"new", "copy.img", "2", "--boot-from", "boot.img"}), "new --boot-from");
    expect_quiet(disk(dir.path(), {"new", "copy2.img", "2", "--boot-from", "boot2.img"}), "new --boot-from, type II");
    const std::string copy = read_file(dir.path() / "copy.img");
    EXPECT_EQ(copy.substr(0x3E, 3), "\x01\x02\x28");
    EXPECT_EQ(copy.substr(0xFF, 6), std::string("\x99\x00\x00\x0F\x42\x01", 6));  // 2 MB: 3906 sectors, type I
    EXPECT_EQ(copy.substr(0x200, 12), "second stage");
    EXPECT_EQ(copy.substr(0x5FF, 1), "!");
    EXPECT_EQ(read_file(dir.path() / "copy2.img").substr(0x104, 1), "\x02");  // the boot image's type
    EXPECT_EQ(disk(dir.path(), {"get", "copy.img", "/os/kernel", "-"}).out, pattern(5000));
    EXPECT_EQ(disk(dir.path(), {"ls", "copy.img", "/os"}).out, "-----       5000 2024-02-29 12:34:56 kernel\n");
    EXPECT_EQ(disk(dir.path(), {"ls", "copy.img"}).out,
              "d-p--       4095 1972-01-01 00:00:00 bin\nd-p--       4095 1972-01-01 00:00:00 os\n");
    expect_quiet(disk(dir.path(), {"check", "copy.img"}), "check");
    expect_quiet(disk(dir.path(), {"check", "copy2.img"}), "check, type II");

    const Transcript mixed = disk(dir.path(), {"new", "mixed.img", "1", "--type", "2", "--boot-from", "boot.img"});
    EXPECT_EQ(mixed.exit_status, 2);
    EXPECT_EQ(mixed.err, "cosmac-disk: --type 2, but the loader of boot.img is for type 1 filesystems\n" + kDiskUsage);
    const Transcript plain = disk(dir.path(), {"new", "unbootable.img", "1", "--boot-from", "plain.img"});
    EXPECT_EQ(plain.exit_status, 1);
    EXPECT_EQ(plain.err, "cosmac-disk: plain.img: its boot code fails the BIOS's boot check: bytes 000-040 make 00, "
                         "not 60\n");
    const std::string before = read_file(dir.path() / "plain.img");
    const Transcript over = disk(dir.path(), {"new", "plain.img", "2"});
    EXPECT_EQ(over.exit_status, 1);
    EXPECT_EQ(over.err, "cosmac-disk: plain.img: File exists\n");
    EXPECT_EQ(read_file(dir.path() / "plain.img"), before);
    EXPECT_FALSE(fs::exists(dir.path() / "mixed.img"));
    EXPECT_FALSE(fs::exists(dir.path() / "unbootable.img"));
}

// check lists every problem on standard output and ends with status 1; ls shows
// the files it can and names those it cannot size.
TEST_F(DiskProgram, CheckAndListDamage)
{
    expect_quiet(disk(dir.path(), {"new", "bad.img", "1"}), "new");
    expect_quiet(disk(dir.path(), {"put", "bad.img", "-", "/bin/a"}, std::string(4097, 'a')), "put");
    expect_quiet(disk(dir.path(), {"put", "bad.img", "-", "/bin/b"}, "b"), "put");
    // The table at sector 17: /bin/a's first lump, 6, marked free, which leaves lump 7 in no file; sector 0's checksum.
    poke(dir.path() / "bad.img", 17 * 512 + 12, std::string(2, '\0'));
    poke(dir.path() / "bad.img", 0x1FF, "\x12");
    const Transcript check = disk(dir.path(), {"check", "bad.img"});
    EXPECT_EQ(check.exit_status, 1);
    EXPECT_EQ(check.out, "sector 0: its checksum (1ff) is 12, its bytes make 11\n"
                         "/bin/a: lump 0006 of its chain is marked free\n"
                         "lump 0007 is marked in use, but no file or directory holds it\n");
    EXPECT_EQ(check.err, "");
    const Transcript ls = disk(dir.path(), {"ls", "bad.img", "/bin"});
    EXPECT_EQ(ls.exit_status, 1);
    EXPECT_EQ(ls.out, "-----          ? 2024-02-29 12:34:56 a\n-----          1 2024-02-29 12:34:56 b\n");
    EXPECT_EQ(ls.err, "cosmac-disk: bad.img: /bin/a: lump 0006 of its chain is marked free\n");
    const Transcript get = disk(dir.path(), {"get", "bad.img", "/bin/a"});
    EXPECT_EQ(get.exit_status, 1);
    EXPECT_EQ(get.err, "cosmac-disk: bad.img: /bin/a: lump 0006 of its chain is marked free\n");
    EXPECT_FALSE(fs::exists(dir.path() / "a"));  // no host file for a file that cannot be read

    // /bin/b's entry, at 20 in /bin (sector 32): a bell in its name (at 0c), and eof 1000 (at 04).
    poke(dir.path() / "bad.img", 32 * 512 + 0x20 + 0x0C, "b\x07");
    poke(dir.path() / "bad.img", 32 * 512 + 0x20 + 0x04, std::string("\x10\x00", 2));
    const Transcript named = disk(dir.path(), {"ls", "bad.img", "/bin"});
    EXPECT_EQ(named.out, "-----          ? 2024-02-29 12:34:56 a\n-----          ? 2024-02-29 12:34:56 b?\n");
    EXPECT_EQ(named.err, "cosmac-disk: bad.img: /bin/a: lump 0006 of its chain is marked free\n"
                         "cosmac-disk: bad.img: /bin/b?: its eof field, 1000, lies past the end of a lump\n");
    EXPECT_EQ(disk(dir.path(), {"check", "bad.img"}).out,
              "sector 0: its checksum (1ff) is 12, its bytes make 11\n"
              "/bin/a: lump 0006 of its chain is marked free\n"
              "/bin: the entry at 0020 has byte 07 in its name\n"
              "/bin: the entry at 0020: its eof field, 1000, lies past the end of a lump\n"
              "lump 0007 is marked in use, but no file or directory holds it\n");

    write(dir.path() / "text.img", "not a disk");
    const Transcript text = disk(dir.path(), {"check", "text.img"});
    EXPECT_EQ(text.exit_status, 1);
    EXPECT_EQ(text.out, "sector 0 holds no Elf/OS filesystem: its type (byte 104) is 00, not 01 or 02\n");
    EXPECT_EQ(disk(dir.path(), {"ls", "text.img"}).err,
              "cosmac-disk: text.img: sector 0 holds no Elf/OS filesystem: its type (byte 104) is 00, not 01 or 02\n");
}

TEST_F(DiskProgram, UsageAndSystemErrors)
{
    expect_quiet(disk(dir.path(), {"new", "disk.img", "1"}), "new");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{}, 2, "", kDiskUsage},
        {{"--version"}, 0, "cosmac-disk " COSMAC_VERSION "\nMIT licence\n", ""},
        {{"frob", "disk.img"}, 2, "", "cosmac-disk: unknown command frob\n" + kDiskUsage},
        {{"--type", "2"}, 2, "", "cosmac-disk: the command comes first: ls, get, put, rm, mkdir, check or new\n" + kDiskUsage},
        {{"ls"}, 2, "", "cosmac-disk: IMAGE is required\n" + kDiskUsage},
        {{"ls", "disk.img", "/", "more"}, 2, "", "cosmac-disk: unexpected more\n" + kDiskUsage},
        {{"put", "disk.img", "x"}, 2, "", "cosmac-disk: PATH is required\n" + kDiskUsage},
        {{"put", "disk.img", "x", "/bin/x", "-y"}, 2, "", "cosmac-disk: unknown option -y\n" + kDiskUsage},
        {{"new", "n.img", "0"}, 2, "", "cosmac-disk: SIZE_MB for a type I disk is a whole number from 1 to 268\n" + kDiskUsage},
        {{"new", "n.img", "269"}, 2, "", "cosmac-disk: SIZE_MB for a type I disk is a whole number from 1 to 268\n" + kDiskUsage},
        {{"new", "n.img", "8MB"}, 2, "", "cosmac-disk: SIZE_MB for a type I disk is a whole number from 1 to 268\n" + kDiskUsage},
        {{"new", "n.img", "137439", "--type", "2"}, 2, "",
         "cosmac-disk: SIZE_MB for a type II disk is a whole number from 1 to 137438\n" + kDiskUsage},
        {{"new", "n.img", "1", "--type", "3"}, 2, "", "cosmac-disk: --type needs 1 or 2\n" + kDiskUsage},
        {{"new", "n.img", "1", "--boot-from", "missing.img"}, 1, "", "cosmac-disk: missing.img: No such file or directory\n"},
        {{"ls", "missing.img"}, 1, "", "cosmac-disk: missing.img: No such file or directory\n"},
        {{"check", "."}, 1, "", "cosmac-disk: .: Is a directory\n"},
        {{"put", "disk.img", "missing", "/bin/x"}, 1, "", "cosmac-disk: missing: No such file or directory\n"},
        {{"get", "disk.img", "/os", "out"}, 1, "", "cosmac-disk: disk.img: /os is a directory\n"},
        {{"get", "disk.img", "/bin/x", "disk.img"}, 2, "", "cosmac-disk: disk.img is the image; choose another host file\n" + kDiskUsage},
        {{"get", "disk.img", "/bin/disk.img"}, 2, "", "cosmac-disk: disk.img is the image; choose another host file\n" + kDiskUsage},
    };
    for (const auto& c : cases) {
        const Transcript run = disk(dir.path(), c.arguments);
        const std::string what = c.arguments.empty() ? "no arguments" : c.arguments[0];
        EXPECT_EQ(run.exit_status, c.status) << what;
        EXPECT_EQ(run.out, c.out) << what;
        EXPECT_EQ(run.err, c.err) << what;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "n.img"));
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
    expect_quiet(disk(dir.path(), {"new", "largest.img", "268"}), "the largest type I disk");
    EXPECT_EQ(fs::file_size(dir.path() / "largest.img"), 523437u * 512);  // 268,000,000 / 512 sectors
    expect_quiet(disk(dir.path(), {"check", "largest.img"}), "check of the largest type I disk");
    for (const char* help : {"--help", "-h"}) {
        const std::string text = disk(dir.path(), {help}).out;
        EXPECT_TRUE(text.starts_with(kDiskUsage + "\n")) << help;
        for (const char* command : {"ls", "get", "put", "rm", "mkdir", "check", "new"})
            EXPECT_NE(text.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    }
    for (const std::string epoch : {"yesterday", "-1"}) {
        setenv("SOURCE_DATE_EPOCH", epoch.c_str(), 1);
        const Transcript run = disk(dir.path(), {"mkdir", "disk.img", "/new"});
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_EQ(run.err, "cosmac-disk: SOURCE_DATE_EPOCH is not a number of seconds: " + epoch + "\n");
    }
    EXPECT_EQ(disk(dir.path(), {"ls", "disk.img", "/new"}).exit_status, 1);
}

}  // namespace
}  // namespace cosmac::testing
