// Elf/OS disk images in memory: the layout a new filesystem gets, byte for byte
// as worked out by hand from FsGen's; entries, dates and chains as stored; files
// in and out; changes that fail leaving the image as it was; and what check
// finds in each kind of damage.
#include "image/elfos_disk.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace cosmac::testing {
namespace {

using namespace elfos;
using Bytes = std::vector<uint8_t>;

constexpr Stamp kLeapDay{0x685D, 0x645C};  // 2024-02-29 12:34:56, as FsGen's entries carry it

MemorySectors new_image(uint8_t type, uint32_t megabytes, const Bootstrap* boot = nullptr)
{
    MemorySectors image;
    NewDisk disk;
    disk.type = type;
    disk.megabytes = megabytes;
    disk.stamp = kLeapDay;
    disk.boot = boot;
    EXPECT_EQ(format(image, disk), "");
    return image;
}

Bytes bytes_at(MemorySectors& image, uint32_t sector, std::size_t offset, std::size_t count)
{
    Sector bytes;
    image.read(sector, bytes);
    return Bytes(bytes.begin() + static_cast<long>(offset), bytes.begin() + static_cast<long>(offset + count));
}

// Writes bytes into a sector; a change to sector 0 gets its checksum set again,
// unless it is the checksum that changes.
void poke(MemorySectors& image, uint32_t sector, std::size_t offset, const Bytes& bytes)
{
    Sector contents;
    image.read(sector, contents);
    std::copy(bytes.begin(), bytes.end(), contents.begin() + static_cast<long>(offset));
    if (sector == 0 && offset != 0x1FF)
        contents[0x1FF] = boot_sector_checksum(contents);
    image.write({{sector, &contents}});
}

std::string file_in(MemorySectors& image, const std::string& path)
{
    std::string bytes;
    const std::string error = read_file(image, path, [&](std::string_view piece) {
        bytes += piece;
        return true;
    });
    return error.empty() ? bytes : "error: " + error;
}

std::vector<Listed> listing(MemorySectors& image, const std::string& path)
{
    std::vector<Listed> entries;
    EXPECT_EQ(list(image, path, [&](const Listed& listed) { entries.push_back(listed); }), "") << path;
    return entries;
}

NewFile plain_file(bool replace = false)
{
    NewFile file;
    file.stamp = kLeapDay;
    file.replace = replace;
    return file;
}

// Sector 0 with bytes at offsets, the others 0.
Sector sector_with(const std::vector<std::pair<std::size_t, uint8_t>>& bytes)
{
    Sector sector{};
    for (const auto& [offset, value] : bytes)
        sector[offset] = value;
    return sector;
}

// Worked out by hand: the checksum adds each byte to the sum, then rotates the
// sum left.
TEST(ElfosDisk, BootSectorChecksum)
{
    const struct {
        std::vector<std::pair<std::size_t, uint8_t>> bytes;
        uint8_t checksum;
    } cases[] = {
        {{}, 0xFF},               // ff + 0 = ff, rotated ff, at every byte
        {{{0x000, 0x01}}, 0x00},  // ff + 01 = 00, and 00 stays 00
        {{{0x1FE, 0x02}}, 0x02},  // ff + 02 = 01, rotated 02
        {{{0x1FD, 0x02}}, 0x04},  // 01 rotated 02 at 1fd, rotated again 04 at 1fe
        {{{0x1FE, 0x80}}, 0xFE},  // ff + 80 = 7f, rotated fe
        {{{0x1FD, 0x80}}, 0xFD},  // fe at 1fd, rotated fd at 1fe: the top bit comes round
        {{{0x1FF, 0x55}}, 0xFF},  // the checksum's own byte is not summed
    };
    for (const auto& c : cases)
        EXPECT_EQ(boot_sector_checksum(sector_with(c.bytes)), c.checksum) << c.bytes.size();
}

// Worked out by hand: the boot check adds each byte of 000-040, then doubles the sum.
TEST(ElfosDisk, BootCheck)
{
    const struct {
        std::vector<std::pair<std::size_t, uint8_t>> bytes;
        uint8_t sum;
    } cases[] = {
        {{}, 0x00},
        {{{0x000, 0x01}}, 0x00},                                 // 02 doubled 64 times more is 0
        {{{0x040, 0x30}}, 0x60},                                 // the fix-up byte alone: (0 + 30) × 2
        {{{0x03E, 0x01}, {0x03F, 0x02}, {0x040, 0x28}}, 0x60},  // 02, (02 + 02) × 2 = 08, (08 + 28) × 2
        {{{0x03E, 0x01}, {0x03F, 0x02}, {0x040, 0x29}}, 0x62},
        {{{0x03F, 0x90}, {0x040, 0x10}}, 0x60},                  // (0 + 90) × 2 = 120, losing its top bit: 20
        {{{0x041, 0x99}}, 0x00},                                 // past the boot check's bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(boot_check_sum(sector_with(c.bytes)), c.sum) << c.bytes.size();
}

TEST(ElfosDisk, DatesAndTimesAsStored)
{
    EXPECT_EQ(decode_stamp(kLeapDay), (DateTime{2024, 2, 29, 12, 34, 56}));
    const struct {
        DateTime moment;
        Stamp stamp;
    } cases[] = {
        {{2024, 2, 29, 12, 34, 56}, {0x685D, 0x645C}},  // year 52: 0110100 0010 11101; 01100 100010 11100
        {{2024, 2, 29, 12, 34, 57}, {0x685D, 0x645C}},  // an odd second rounds down
        {{1972, 1, 1, 0, 0, 0}, {0x0021, 0x0000}},
        {{1970, 6, 15, 10, 0, 0}, {0x0021, 0x0000}},     // before 1972: its first moment
        {{2099, 6, 1, 0, 0, 1}, {0xFEC1, 0x0000}},       // the last year the field holds: 127 << 9 | 6 << 5 | 1
        {{2099, 12, 31, 23, 59, 59}, {0xFF9F, 0xBF7D}},  // 127 << 9 | 12 << 5 | 31; 23 << 11 | 59 << 5 | 29
        {{2100, 1, 1, 0, 0, 0}, {0xFF9F, 0xBF7D}},       // after 2099: its last
    };
    for (const auto& c : cases)
        EXPECT_EQ(encode_stamp(c.moment), c.stamp) << c.moment.year;
    EXPECT_EQ(decode_stamp({0x0000, 0xFFFF}), (DateTime{1972, 0, 0, 31, 63, 62}));  // as stored, whatever it holds
}

TEST(ElfosDisk, EntriesAsStored)
{
    const Bytes bytes = {0x12, 0x34, 0x56, 0x78, 0x0A, 0xBC, 0x03, 0x68, 0x5D, 0x64, 0x5C, 0x7E,
                         'k',  'e',  'r',  'n',  'e',  'l',  0,    'x',  'x',  'x',  'x',  'x',
                         'x',  'x',  'x',  'x',  'x',  'x',  'x',  'x'};
    const auto span = std::span<const uint8_t, kEntrySize>(bytes.data(), kEntrySize);
    const Entry two = decode_entry(span, 2);
    EXPECT_EQ(two.start_lump, 0x12345678u);
    EXPECT_EQ(two.eof, 0x0ABC);
    EXPECT_EQ(two.flags, kDirectoryFlag | kExecutableFlag);
    EXPECT_EQ(two.stamp, kLeapDay);
    EXPECT_EQ(two.aux_flags, 0x7E);
    EXPECT_EQ(two.name, "kernel");
    EXPECT_EQ(decode_entry(span, 1).start_lump, 0x5678u);  // type I: the low 16 bits

    Bytes twenty = bytes;
    std::fill(twenty.begin() + 12, twenty.end(), 'n');
    EXPECT_EQ(decode_entry(std::span<const uint8_t, kEntrySize>(twenty.data(), kEntrySize), 2).name,
              std::string(20, 'n'));

    Entry entry;
    entry.start_lump = 0x0102;
    entry.eof = 0x0FFF;
    entry.flags = 0x05;
    entry.stamp = kLeapDay;
    entry.name = "bin";
    Bytes encoded(kEntrySize, 0xEE);
    encode_entry(entry, std::span<uint8_t, kEntrySize>(encoded.data(), kEntrySize));
    EXPECT_EQ(encoded, (Bytes{0x00, 0x00, 0x01, 0x02, 0x0F, 0xFF, 0x05, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'b', 'i', 'n', 0,
                              0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,   0,   0,   0}));
}

// An 8 MB type I image: 15,625 sectors (3d09), 1,953 lumps (07a1), a table of
// 1953 / 256 + 1 = 8 sectors from 17, so D = (17 + 8 + 8) rounded down to a
// multiple of 8 = 32 and the master directory at lump 4. Type II: entries of 4
// bytes, 1953 / 128 + 1 = 16 table sectors, D = 41 rounded down = 40, lump 5.
TEST(ElfosDisk, NewLayoutByteForByte)
{
    MemorySectors one = new_image(1, 8);
    MemorySectors two = new_image(2, 8);
    const struct {
        MemorySectors* image;
        uint32_t sector;
        std::size_t offset;
        Bytes bytes;
    } cases[] = {
        {&one, 0, 0x000, Bytes(0x100, 0)},                 // no boot code
        {&one, 0, 0x100, {0x00, 0x00, 0x3D, 0x09}},        // sectors
        {&one, 0, 0x104, {0x01, 0x00, 0x20, 0x02, 0x00, 0x00, 0x08}},  // type, MD sector (16 bits), 02, 08
        {&one, 0, 0x10B, {0x07, 0xA1, 0x00, 0x00, 0x00}},  // lumps, 2 bytes
        {&one, 0, 0x110, {0x00, 0x00, 0x00, 0x20}},        // MD sector
        {&one, 0, 0x12C, {0x00, 0x00, 0x00, 0x04, 0x0F, 0xFF, 0x05, 0x00, 0x00, 0x00, 0x00, 'M', 'D', 0x00}},
        {&one, 0, 0x1FF, {0x35}},                          // the checksum
        {&one, 17, 0x000, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0x00, 0x00}},
        {&one, 24, 0x13E, {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF}},  // lumps 079f and 07a0 free, 07a1 past the disk
        {&one, 24, 0x1FE, {0xFF, 0xFF}},
        // MD at sector 32: bin at lump 5, os at 6, directories with FsGen's flags 05
        {&one, 32, 0x000, {0x00, 0x00, 0x00, 0x05, 0x0F, 0xFF, 0x05, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'b', 'i', 'n', 0x00}},
        {&one, 32, 0x020, {0x00, 0x00, 0x00, 0x06, 0x0F, 0xFF, 0x05, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'o', 's', 0x00}},
        {&one, 32, 0x040, Bytes(0x1C0, 0)},
        {&one, 40, 0x000, Bytes(0x200, 0)},  // bin, empty
        {&two, 0, 0x100, {0x00, 0x00, 0x3D, 0x09, 0x02, 0x00, 0x28, 0x02, 0x00, 0x00, 0x08}},
        {&two, 0, 0x10B, {0x00, 0x00, 0x07, 0xA1, 0x00}},  // lumps, 4 bytes
        {&two, 0, 0x110, {0x00, 0x00, 0x00, 0x28}},
        {&two, 0, 0x12C, {0x00, 0x00, 0x00, 0x05, 0x0F, 0xFF, 0x05, 0x00, 0x00, 0x00, 0x00, 'M', 'D', 0x00}},
        {&two, 0, 0x1FF, {0xB7}},
        {&two, 17, 0x000, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                           0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFE, 0xFE, 0x00, 0x00, 0xFE, 0xFE, 0x00, 0x00, 0xFE, 0xFE,
                           0x00, 0x00, 0x00, 0x00}},
        {&two, 32, 0x080, {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},  // lump 07a0 free, 07a1 past the disk
        {&two, 40, 0x000, {0x00, 0x00, 0x00, 0x06, 0x0F, 0xFF, 0x05, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'b', 'i', 'n', 0x00}},
        {&two, 40, 0x020, {0x00, 0x00, 0x00, 0x07, 0x0F, 0xFF, 0x05, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'o', 's', 0x00}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bytes_at(*c.image, c.sector, c.offset, c.bytes.size()), c.bytes)
            << (c.image == &one ? "type I" : "type II") << " sector " << c.sector << " at " << std::hex << c.offset;
    EXPECT_EQ(declared_sectors(one.sectors().at(0)), 15625u);
    // Table sectors that stay zero are not written: written are sector 0, the
    // table's first and last, the master directory's first, and the lumps of
    // /bin and /os, cleared as every new directory's is.
    EXPECT_EQ(one.sectors().size(), 1u + 2u + 1u + 16u);
    for (MemorySectors* image : {&one, &two})
        EXPECT_TRUE(check(*image).problems.empty());
}

TEST(ElfosDisk, DiskSizes)
{
    EXPECT_EQ(sectors_in_megabytes(8), 15625u);
    EXPECT_EQ(sectors_in_megabytes(1), 1953u);
    EXPECT_EQ(largest_disk_megabytes(1), 268u);     // 65535 lumps of 4096 bytes: 268,431,360 bytes
    EXPECT_EQ(largest_disk_megabytes(2), 137438u);  // 2^28 sectors of 512 bytes: 137,438,953,472 bytes
    MemorySectors image;
    for (const auto& [type, megabytes, error] : {std::tuple{1, 0u, "a type I disk holds 1 to 268 MB"},
                                                 {1, 269u, "a type I disk holds 1 to 268 MB"},
                                                 {2, 137439u, "a type II disk holds 1 to 137438 MB"},
                                                 {3, 1u, "no filesystem type 3; there are types 1 and 2"}}) {
        NewDisk disk;
        disk.type = static_cast<uint8_t>(type);
        disk.megabytes = megabytes;
        EXPECT_EQ(format(image, disk), error);
    }
    EXPECT_TRUE(image.sectors().empty());
    // The largest type I disk has lump fefe, which no file takes: a chain cannot point to it.
    MemorySectors largest = new_image(1, 268);
    EXPECT_EQ(bytes_at(largest, 0, 0x10B, 2), (Bytes{0xFF, 0x95}));  // 523,437 sectors / 8 = 65429 lumps
    EXPECT_TRUE(check(largest).problems.empty());
}

// A 1 MB type I image: 1953 sectors, 244 lumps, a table of one sector, D = 24,
// the master directory at lump 3, /bin at 4, /os at 5; files from lump 6.
TEST(ElfosDisk, FilesTakeSizeOver4096PlusOneLumps)
{
    const struct {
        std::size_t size;
        Bytes table;  // the table's entries for lumps 6 to 9
        Bytes entry;  // the file's entry, as far as its name
    } cases[] = {
        {0, {0xFE, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x06, 0x00, 0x00}},
        {1, {0xFE, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x06, 0x00, 0x01}},
        {4095, {0xFE, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x06, 0x0F, 0xFF}},
        {4096, {0x00, 0x07, 0xFE, 0xFE, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x06, 0x00, 0x00}},
        {4097, {0x00, 0x07, 0xFE, 0xFE, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x06, 0x00, 0x01}},
        {3 * 4096 + 100, {0x00, 0x07, 0x00, 0x08, 0x00, 0x09, 0xFE, 0xFE}, {0x00, 0x00, 0x00, 0x06, 0x00, 0x64}},
    };
    for (const auto& c : cases) {
        MemorySectors image = new_image(1, 1);
        std::string bytes(c.size, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7 + i / 251);
        NewFile file = plain_file();
        file.flags = kExecutableFlag;
        ASSERT_EQ(add_file(image, "/bin/prog", bytes, file), "") << c.size;
        EXPECT_EQ(bytes_at(image, 17, 12, 8), c.table) << c.size;
        Bytes entry = c.entry;
        entry.insert(entry.end(), {0x02, 0x68, 0x5D, 0x64, 0x5C, 0x00, 'p', 'r', 'o', 'g', 0x00});
        EXPECT_EQ(bytes_at(image, 32, 0, entry.size()), entry) << c.size;
        EXPECT_EQ(file_in(image, "bin/prog"), bytes) << c.size;
        const std::vector<Listed> listed = listing(image, "/bin");
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].size, c.size);
        EXPECT_TRUE(check(image).problems.empty()) << c.size;
        ASSERT_EQ(remove(image, "/bin/prog"), "");
        EXPECT_EQ(bytes_at(image, 17, 12, 8), Bytes(8, 0)) << c.size;
        EXPECT_EQ(bytes_at(image, 32, 0, 32), Bytes(32, 0)) << c.size;
        EXPECT_TRUE(check(image).problems.empty()) << c.size;
    }
}

// 128 entries fill a directory's lump; the 129th takes a new lump, chained to
// the directory's, whose entries all start free.
TEST(ElfosDisk, DirectoryGrowsByALump)
{
    for (const uint8_t type : {1, 2}) {
        MemorySectors image = new_image(type, 1);
        for (int i = 0; i < 129; ++i)
            ASSERT_EQ(add_file(image, "/os/f" + std::to_string(i), std::string(i, 'x'), plain_file()), "") << i;
        // /os is lump 5, files 0-127 took lumps 6-133 (0085), file 128 134 (0086), the directory 135 (0087).
        const Bytes chained = type == 1 ? Bytes{0x00, 0x87} : Bytes{0x00, 0x00, 0x00, 0x87};
        const std::size_t entry_size = type == 1 ? 2 : 4;
        EXPECT_EQ(bytes_at(image, 17, 5 * entry_size, entry_size), chained);
        EXPECT_EQ(bytes_at(image, 135 * 8, 0, 4), (Bytes{0x00, 0x00, 0x00, 0x86}));
        EXPECT_EQ(bytes_at(image, 135 * 8, 32, 32), Bytes(32, 0));
        const std::vector<Listed> listed = listing(image, "/os");
        ASSERT_EQ(listed.size(), 129u);
        EXPECT_EQ(listed[128].entry.name, "f128");
        EXPECT_EQ(file_in(image, "/os/f128"), std::string(128, 'x'));
        EXPECT_EQ(listing(image, "/")[1].size, 4095u + 4096u);  // eof 0fff, two lumps
        EXPECT_TRUE(check(image).problems.empty());
    }
}

// Changes that fail leave the image as it was, byte for byte.
TEST(ElfosDisk, FailedChangesChangeNothing)
{
    MemorySectors image = new_image(1, 1);
    ASSERT_EQ(add_file(image, "/bin/a", "a", plain_file()), "");
    ASSERT_EQ(make_directory(image, "/bin/d", kLeapDay), "");
    ASSERT_EQ(add_file(image, "/bin/d/inner", "i", plain_file()), "");
    // 244 lumps less the 9 taken: 235 free, 962,560 bytes less 4096 for the file's empty last lump.
    const std::string too_big(235 * 4096, 'x');
    const std::string fits(234 * 4096 + 4095, 'x');
    const MemorySectors before = image;
    const struct {
        std::function<std::string()> change;
        std::string error;
    } cases[] = {
        {[&] { return add_file(image, "/bin/big", too_big, plain_file()); },
         "not enough room for /bin/big: it needs 236 lumps of 4096 bytes, the disk has 235 free"},
        {[&] { return add_file(image, "/bin/a", "b", NewFile{}); }, "/bin/a is there already"},
        {[&] { return add_file(image, "/bin/d", "b", plain_file(true)); }, "/bin/d is a directory"},
        {[&] { return add_file(image, "/bin/a/x", "b", plain_file()); }, "/bin/a is not a directory"},
        {[&] { return add_file(image, "/nope/x", "b", plain_file()); }, "/nope: no such directory"},
        {[&] { return add_file(image, "/bin/abcdefghijklmnopqrst", "b", plain_file()); },
         "abcdefghijklmnopqrst: a name holds at most 19 characters"},
        {[&] { return add_file(image, "/bin/a b", "b", plain_file()); },
         "a b: a name takes printable ASCII characters but no space or /"},
        {[&] { return add_file(image, "/bin/a\x7f", "b", plain_file()); },
         "a\x7f: a name takes printable ASCII characters but no space or /"},
        {[&] { return add_file(image, "/", "b", plain_file()); }, "/ is the master directory"},
        {[&] { return make_directory(image, "/bin/d", kLeapDay); }, "/bin/d is there already"},
        {[&] { return make_directory(image, "/bin/x/y", kLeapDay); }, "/bin/x: no such directory"},
        {[&] { return remove(image, "/bin/d"); }, "/bin/d is a directory that is not empty"},
        {[&] { return remove(image, "/bin/nothing"); }, "/bin/nothing: no such file or directory"},
        {[&] { return remove(image, "/"); }, "/ is the master directory"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.change(), c.error);
        EXPECT_EQ(image.sectors(), before.sectors()) << c.error;
    }
    // The largest file that fits, the name of 19 characters, and replacing.
    EXPECT_EQ(add_file(image, "/bin/abcdefghijklmnopqrs", fits, plain_file()), "");
    EXPECT_TRUE(check(image).problems.empty());
    EXPECT_EQ(add_file(image, "/bin/a", "b", plain_file(true)),
              "not enough room for /bin/a: it needs 1 lump of 4096 bytes, the disk has 0 free");
    ASSERT_EQ(remove(image, "/bin/abcdefghijklmnopqrs"), "");
    EXPECT_EQ(add_file(image, "/bin/a", "new", plain_file(true)), "");
    EXPECT_EQ(file_in(image, "/bin/a"), "new");
    EXPECT_EQ(listing(image, "/bin").size(), 2u);
    EXPECT_TRUE(check(image).problems.empty());
}

// An image that notes the sectors written, in order.
class RecordingSectors : public MemorySectors {
public:
    int write(const std::vector<SectorWrite>& writes) override
    {
        for (const SectorWrite& write : writes)
            written.push_back(write.sector);
        return MemorySectors::write(writes);
    }
    std::vector<uint32_t> written;
};

// A cut in the writing leaves at worst lumps that no file holds: a new file's
// data goes first, then the table, then its entry; a file's entry goes before
// its lumps are freed, also when it is replaced and the table sector that takes
// its new lumps frees its old ones. On a 1 MB image the table is sector 17, /bin
// sector 32 and lump 6 sectors 48-55.
TEST(ElfosDisk, WritesLeaveNoEntryOnLumpsNotYetItsOwn)
{
    RecordingSectors image;
    NewDisk disk;
    ASSERT_EQ(format(image, disk), "");
    const struct {
        std::function<std::string()> change;
        std::vector<uint32_t> written;
    } cases[] = {
        {[&] { return add_file(image, "/bin/a", "ten bytes!", plain_file()); }, {48, 17, 32}},
        {[&] { return add_file(image, "/bin/a", "yy", plain_file(true)); }, {56, 17, 32, 17}},
        {[&] { return remove(image, "/bin/a"); }, {32, 17}},
        {[&] { return make_directory(image, "/bin/d", kLeapDay); }, {48, 49, 50, 51, 52, 53, 54, 55, 17, 32}},
    };
    for (const auto& c : cases) {
        image.written.clear();
        ASSERT_EQ(c.change(), "");
        EXPECT_EQ(image.written, c.written);
        EXPECT_TRUE(check(image).problems.empty());
    }
}

// A file the BIOS boots: its boot code passes the boot check, worked out by hand:
// 01 at 03e and 02 at 03f make (2 + 2) × 2 = 08, and 08 + 28 doubled is 60.
MemorySectors bootable_image(uint8_t type)
{
    MemorySectors image = new_image(type, 1);
    poke(image, 0, 0x3E, {0x01, 0x02, 0x28});
    poke(image, 0, 0x80, {0xC0});
    poke(image, 0, 0xFF, {0x99});
    poke(image, 1, 0, {0x11, 0x22});
    poke(image, 2, 0x1FF, {0x33});
    NewFile kernel;
    kernel.flags = kWriteProtectedFlag;
    kernel.stamp = {0x1234, 0x5678};
    EXPECT_EQ(add_file(image, "/os/kernel", std::string(5000, 'k'), kernel), "");
    return image;
}

TEST(ElfosDisk, NewImageBootsLikeTheOneItCopies)
{
    for (const uint8_t type : {1, 2}) {
        MemorySectors other = bootable_image(type);
        const BootstrapRead boot = read_bootstrap(other);
        ASSERT_EQ(boot.error, "");
        EXPECT_EQ(boot.bootstrap.type, type);
        MemorySectors image = new_image(type, 2, &boot.bootstrap);
        EXPECT_EQ(bytes_at(image, 0, 0x3E, 3), (Bytes{0x01, 0x02, 0x28}));
        EXPECT_EQ(bytes_at(image, 0, 0x80, 1), Bytes{0xC0});
        EXPECT_EQ(bytes_at(image, 0, 0xFF, 2), (Bytes{0x99, 0x00}));  // 0ff copied, the sector count its own
        EXPECT_EQ(bytes_at(image, 0, 0x100, 4), (Bytes{0x00, 0x00, 0x0F, 0x42}));  // 2 MB: 3906 sectors
        EXPECT_EQ(bytes_at(image, 1, 0, 2), (Bytes{0x11, 0x22}));
        EXPECT_EQ(bytes_at(image, 2, 0x1FF, 1), Bytes{0x33});
        EXPECT_EQ(file_in(image, "/os/kernel"), std::string(5000, 'k'));
        const std::vector<Listed> os = listing(image, "/os");
        ASSERT_EQ(os.size(), 1u);
        EXPECT_EQ(os[0].entry.flags, kWriteProtectedFlag);
        EXPECT_EQ(os[0].entry.stamp, (Stamp{0x1234, 0x5678}));
        EXPECT_EQ(os[0].entry.start_lump, 6u);  // right after /os, as FsGen puts it
        EXPECT_TRUE(check(image).problems.empty());
    }
    MemorySectors unbootable = bootable_image(1);
    poke(unbootable, 0, 0x40, {0x29});
    EXPECT_EQ(read_bootstrap(unbootable).error, "its boot code fails the BIOS's boot check: bytes 000-040 make 62, not 60");
    MemorySectors no_kernel = bootable_image(1);
    ASSERT_EQ(remove(no_kernel, "/os/kernel"), "");
    EXPECT_EQ(read_bootstrap(no_kernel).error, "/os/kernel: no such file or directory");
    ASSERT_EQ(remove(no_kernel, "/os"), "");
    EXPECT_EQ(read_bootstrap(no_kernel).error, "/os: no such directory");
}

// The image check uses: 1 MB type I, /bin/a of 4097 bytes at lumps 6 and 7, /bin/b
// of 1 byte at lump 8. /bin's entries are at sector 32, the table at 17.
MemorySectors checked_image(uint8_t type)
{
    MemorySectors image = new_image(type, 1);
    EXPECT_EQ(add_file(image, "/bin/a", std::string(4097, 'a'), plain_file()), "");
    EXPECT_EQ(add_file(image, "/bin/b", "b", plain_file()), "");
    return image;
}

// A type I table entry.
void set_lump(MemorySectors& image, uint32_t lump, uint16_t value)
{
    poke(image, 17 + lump / 256, lump % 256 * 2, {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

TEST(ElfosDisk, CheckFindsEachKindOfDamage)
{
    const std::string lost7 = "lump 0007 is marked in use, but no file or directory holds it";
    const std::string lost8 = "lump 0008 is marked in use, but no file or directory holds it";
    const struct {
        const char* damage;
        std::function<void(MemorySectors&)> change;
        std::vector<std::string> problems;
    } cases[] = {
        {"nothing", [](MemorySectors&) {}, {}},
        {"checksum", [](MemorySectors& image) { poke(image, 0, 0x1FF, {0x12}); },
         {"sector 0: its checksum (1ff) is 12, its bytes make 11"}},
        {"boot code", [](MemorySectors& image) { poke(image, 0, 0x3F, {0x01}); },  // 01 doubled, doubled: 04
         {"sector 0: its boot code fails the BIOS's boot check: bytes 000-040 make 04, not 60"}},
        {"master sector", [](MemorySectors& image) { poke(image, 0, 0x110, {0x00, 0x00, 0x00, 0x19}); },
         {"sector 0: the master directory's sector (110) is 00000019, but its entry (12c) starts at lump 0003, sector "
          "00000018",
          "sector 0: the master directory's sector (105) is 0018, not 0019 as at 110"}},
        {"master sector's copy", [](MemorySectors& image) { poke(image, 0, 0x105, {0x00, 0x19}); },
         {"sector 0: the master directory's sector (105) is 0019, not 0018 as at 110"}},
        {"master flags", [](MemorySectors& image) { poke(image, 0, 0x132, {0x04}); },
         {"sector 0: the master directory's entry (12c) is not marked a directory"}},
        {"free lump in a chain", [](MemorySectors& image) { set_lump(image, 6, 0x0000); },
         {"/bin/a: lump 0006 of its chain is marked free", lost7}},
        {"reserved lump in a chain", [](MemorySectors& image) { set_lump(image, 6, 0xFFFF); },
         {"/bin/a: lump 0006 of its chain is marked reserved (ffff)", lost7}},
        {"chain past the disk", [](MemorySectors& image) { set_lump(image, 6, 0x00F4); },
         {"/bin/a: lump 0006 of its chain points to 00f4, past the disk's last lump, 00f3", lost7}},
        {"chain into the table", [](MemorySectors& image) { set_lump(image, 6, 0x0002); },
         {"/bin/a: lump 0006 of its chain points to 0002, in the allocation table", lost7}},
        {"loop", [](MemorySectors& image) { set_lump(image, 7, 0x0006); },
         {"/bin/a: its chain comes back to lump 0006"}},
        {"lump used twice", [](MemorySectors& image) { poke(image, 32, 0x22, {0x00, 0x07}); },
         {"/bin/b: its chain meets that of /bin/a at lump 0007", lost8}},
        {"first lump past the disk", [](MemorySectors& image) { poke(image, 32, 0x22, {0x01, 0x00}); },
         {"/bin/b: its first lump, 0100, lies past the disk's last lump, 00f3", lost8}},
        {"directory that leads back", [](MemorySectors& image) { poke(image, 32, 0x22, {0x00, 0x03, 0x00, 0x00, 0x01}); },
         {"/bin/b: its chain meets that of / at lump 0003", lost8}},
        {"size past the chain", [](MemorySectors& image) { poke(image, 32, 0x24, {0x10, 0x00}); },
         {"/bin/b: its eof field, 1000, lies past the end of a lump"}},
        {"no name", [](MemorySectors& image) { poke(image, 32, 0x2C, {0x00}); }, {"/bin: the entry at 0020 has no name"}},
        {"name with no end", [](MemorySectors& image) { poke(image, 32, 0x2C, Bytes(20, 'n')); },
         {"/bin: the entry at 0020 has a name of 20 characters with no NUL to end it"}},
        {"name with a space", [](MemorySectors& image) { poke(image, 32, 0x2C, {'b', ' ', 'c', 0}); },
         {"/bin: the entry at 0020 has byte 20 in its name"}},
        {"two names alike", [](MemorySectors& image) { poke(image, 32, 0x2C, {'a'}); }, {"/bin: two entries are named a"}},
        {"table not reserved", [](MemorySectors& image) { set_lump(image, 1, 0x0000); },
         {"lump 0001 holds sector 0, the loader or the allocation table, but is marked 0000, not ffff"}},
        {"past the disk not reserved", [](MemorySectors& image) {  // the first is reported
             set_lump(image, 244, 0x0000);
             set_lump(image, 250, 0x0007);
         },
         {"the allocation table's entry for lump 00f4, past the disk's last lump, is 0000, not ffff"}},
        {"lost lumps", [](MemorySectors& image) {
             set_lump(image, 20, 0x0015);
             set_lump(image, 21, 0xFEFE);
             set_lump(image, 22, 0x0099);
             set_lump(image, 30, 0xFEFE);
         },
         {"lumps 0014-0016 are marked in use, but no file or directory holds them",
          "lump 001e is marked in use, but no file or directory holds it"}},
        {"no filesystem", [](MemorySectors& image) { poke(image, 0, 0x104, {0x00}); },
         {"sector 0 holds no Elf/OS filesystem: its type (byte 104) is 00, not 01 or 02"}},
        {"more lumps than sectors", [](MemorySectors& image) { poke(image, 0, 0x10B, {0x00, 0xF5}); },
         {"sector 0 declares 245 lumps, more than its 1953 sectors hold"}},
        {"too few lumps", [](MemorySectors& image) { poke(image, 0, 0x10B, {0x00, 0x03}); },
         {"sector 0 declares 3 lumps, too few for the allocation table and a directory"}},
        {"master directory in the table", [](MemorySectors& image) { poke(image, 0, 0x12F, {0x02}); },
         {"the master directory's first lump (12c), 0002, lies in the allocation table"}},
        {"master directory past the disk", [](MemorySectors& image) { poke(image, 0, 0x12E, {0x00, 0xF4}); },
         {"the master directory's first lump (12c), 00f4, lies past the disk's last lump, 00f3"}},
    };
    for (const auto& c : cases) {
        MemorySectors image = checked_image(1);
        c.change(image);
        const CheckReport report = check(image);
        EXPECT_EQ(report.error, "");
        EXPECT_EQ(report.problems, c.problems) << c.damage;
    }
}

// A full disk whose table marks the entry past its last lump free, as check
// reports, still gives no file a lump past the disk. A 1 MB disk has 244 lumps,
// 238 of them free when it is new.
TEST(ElfosDisk, NoLumpPastTheDisk)
{
    MemorySectors image = new_image(1, 1);
    ASSERT_EQ(add_file(image, "/bin/all", std::string(237 * 4096 + 4095, 'x'), plain_file()), "");
    set_lump(image, 244, 0x0000);
    const MemorySectors before = image;
    EXPECT_EQ(add_file(image, "/bin/more", "m", plain_file()),
              "not enough room for /bin/more: it needs 1 lump of 4096 bytes, the disk has 0 free");
    EXPECT_EQ(image.sectors(), before.sectors());
}

// On an 8 MB type I disk the table's last sector, 24, is the first of lump 3,
// so lumps 0-3 are the table's: none may be free or in a chain.
TEST(ElfosDisk, CheckWhereTheTableEndsAtALumpsStart)
{
    MemorySectors image = new_image(1, 8);
    ASSERT_EQ(add_file(image, "/bin/a", std::string(5000, 'a'), plain_file()), "");  // lumps 7 and 8
    set_lump(image, 3, 0x0000);
    set_lump(image, 7, 0x0003);
    EXPECT_EQ(check(image).problems,
              (std::vector<std::string>{
                  "/bin/a: lump 0007 of its chain points to 0003, in the allocation table",
                  "lump 0003 holds sector 0, the loader or the allocation table, but is marked 0000, not ffff",
                  "lump 0008 is marked in use, but no file or directory holds it"}));
}

// Type II's entries are 4 bytes; its markers are written that wide.
TEST(ElfosDisk, CheckTypeIIEntries)
{
    MemorySectors image = checked_image(2);
    poke(image, 17, 6 * 4, {0xFF, 0xFF, 0xFF, 0xFF});
    poke(image, 17, 1 * 4, {0x00, 0x00, 0x00, 0x00});
    poke(image, 18, 244 % 128 * 4, {0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(check(image).problems,
              (std::vector<std::string>{
                  "/bin/a: lump 0006 of its chain is marked reserved (ffffffff)",
                  "lump 0001 holds sector 0, the loader or the allocation table, but is marked 00000000, not ffffffff",
                  "lump 0007 is marked in use, but no file or directory holds it",
                  "the allocation table's entry for lump 00f4, past the disk's last lump, is 00000001, not ffffffff"}));
    MemorySectors huge = checked_image(2);
    poke(huge, 0, 0x100, {0x10, 0x00, 0x00, 0x00});  // 2^28 sectors: the most a type II disk has
    EXPECT_TRUE(check(huge).problems.empty());
    poke(huge, 0, 0x100, {0x10, 0x00, 0x00, 0x01});
    EXPECT_EQ(check(huge).problems,
              std::vector<std::string>{"sector 0 declares 268435457 sectors, more than a type II disk holds (268435456)"});
}

// ls and get on a damaged image say what is wrong, with the file's path.
TEST(ElfosDisk, DamageShowsInListingsAndReads)
{
    MemorySectors image = checked_image(1);
    set_lump(image, 7, 0x0006);
    poke(image, 32, 0x22, {0x00, 0x06});  // /bin/b starts on /bin/a's chain too
    const std::vector<Listed> listed = listing(image, "/bin");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].problem, "/bin/a: its chain comes back to lump 0006");
    EXPECT_EQ(listed[1].problem, "/bin/b: its chain meets that of /bin/a at lump 0006");
    EXPECT_EQ(file_in(image, "/bin/a"), "error: /bin/a: its chain comes back to lump 0006");
    EXPECT_EQ(file_in(image, "/bin"), "error: /bin is a directory");
    EXPECT_EQ(file_in(image, "/bin/c"), "error: /bin/c: no such file or directory");
    EXPECT_EQ(remove(image, "/bin/a"), "/bin/a: its chain comes back to lump 0006");
    MemorySectors past = checked_image(1);
    poke(past, 32, 0x24, {0x10, 0x00});
    EXPECT_EQ(file_in(past, "/bin/b"), "error: /bin/b: its eof field, 1000, lies past the end of a lump");
    EXPECT_EQ(listing(past, "/bin/b")[0].problem, "/bin/b: its eof field, 1000, lies past the end of a lump");
    std::string nothing;
    EXPECT_EQ(list(image, "/bin/c", [&](const Listed&) { nothing = "listed"; }), "/bin/c: no such file or directory");
    EXPECT_EQ(nothing, "");
    poke(image, 0, 0x104, {0x07});
    EXPECT_EQ(list(image, "/", [](const Listed&) {}),
              "sector 0 holds no Elf/OS filesystem: its type (byte 104) is 07, not 01 or 02");
}

// An image file shorter than its disk reads as zeros past its end; sectors are
// written in place, and the rest of the file stays as it was.
TEST(ElfosDisk, FileSectorsReadPastTheEndAsZeros)
{
    const std::string path = ::testing::TempDir() + "cosmac-short-image";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, std::string(700, 'x').data(), 700), 700);
    FileSectors sectors(fd);
    Sector bytes;
    bytes.fill(0xEE);
    EXPECT_EQ(sectors.read(1, bytes), 0);
    EXPECT_EQ(bytes[187], 'x');  // byte 699
    EXPECT_EQ(bytes[188], 0);
    EXPECT_EQ(sectors.read(5, bytes), 0);
    EXPECT_EQ(bytes, Sector{});
    Sector written;
    written.fill('w');
    EXPECT_EQ(sectors.write({{3, &written}}), 0);
    ::close(fd);
    const std::string file = [&] {
        std::string contents(2048, '\0');
        std::FILE* in = std::fopen(path.c_str(), "rb");
        contents.resize(std::fread(contents.data(), 1, contents.size(), in));
        std::fclose(in);
        return contents;
    }();
    std::remove(path.c_str());
    EXPECT_EQ(file, std::string(700, 'x') + std::string(836, '\0') + std::string(512, 'w'));
}

}  // namespace
}  // namespace cosmac::testing
