// Elf/OS disk images, filesystem types I and II. Sector 0 holds the boot code,
// the filesystem's fields and a checksum; the lump allocation table starts at
// sector 17, an entry a lump (2 bytes in type I, 4 in type II), each the next
// lump of a chain, or free, end of chain or reserved; directories are chains of
// 32-byte entries, and the master directory is found through sector 0. A lump
// is 8 sectors, 4096 bytes; lump L starts at sector L × 8. Numbers on the disk
// are big-endian.
//
// Paths are Elf/OS paths, /bin/dir or bin/dir (the same: every path starts at
// the master directory), and names match as stored, case and all. Every
// operation reads what it needs and changes nothing unless all of it can be
// done: the changed sectors are worked out first, then written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/disk_sectors.hpp"

namespace cosmac::elfos {

constexpr uint32_t kSectorsPerLump = 8;
constexpr std::size_t kLumpSize = kSectorsPerLump * kSectorSize;
constexpr std::size_t kEntrySize = 32;
constexpr std::size_t kMaxNameLength = 19;

// The size of the disk as sector 0 declares it (bytes 100-103), whatever the
// length of the file that holds the image.
uint32_t declared_sectors(const Sector& boot);
// The filesystem type sector 0 names (byte 104): 1 or 2 on an Elf/OS disk.
uint8_t filesystem_type(const Sector& boot);

// Sector 0's checksum, kept at 1ff: from ff, each byte before it is added and
// the sum rotated left by one bit.
uint8_t boot_sector_checksum(const Sector& boot);

// What the BIOS works out from bytes 000-040 before it runs the boot code, which
// it runs only when this is kBootCheckResult: from 0, each byte is added and the
// sum shifted left, its top bit lost.
uint8_t boot_check_sum(const Sector& boot);
constexpr uint8_t kBootCheckResult = 0x60;

// An entry's flags.
constexpr uint8_t kDirectoryFlag = 0x01;
constexpr uint8_t kExecutableFlag = 0x02;
constexpr uint8_t kWriteProtectedFlag = 0x04;
constexpr uint8_t kHiddenFlag = 0x08;
constexpr uint8_t kArchiveFlag = 0x10;

struct DateTime {
    int year = 1972;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const DateTime&) const = default;
};

// An entry's date and time as it holds them: the date's bits 15-9 are the year
// counted from 1972, 8-5 the month, 4-0 the day; the time's bits 15-11 are the
// hour, 10-5 the minute, 4-0 the second halved.
struct Stamp {
    uint16_t date = 0;
    uint16_t time = 0;
    bool operator==(const Stamp&) const = default;
};

// The fields as stored, whatever they hold.
DateTime decode_stamp(Stamp stamp);
// Odd seconds round down; a moment before 1972 or after 2099 is stamped with
// the first or last one the fields hold.
Stamp encode_stamp(const DateTime& moment);

struct Entry {
    uint32_t start_lump = 0;  // 0: a free slot
    uint16_t eof = 0;         // the bytes used in the last lump of the chain
    uint8_t flags = 0;
    Stamp stamp;
    uint8_t aux_flags = 0;
    std::string name;  // up to its NUL, or all 20 bytes when it has none
    bool operator==(const Entry&) const = default;
};

// Type I uses only the low 16 bits of the start lump, and writes the others 0.
Entry decode_entry(std::span<const uint8_t, kEntrySize> bytes, uint8_t type);
void encode_entry(const Entry& entry, std::span<uint8_t, kEntrySize> bytes);

// An entry as ls shows it.
struct Listed {
    Entry entry;
    uint64_t size = 0;     // eof + 4096 × (lumps in its chain − 1)
    std::string problem;   // "PATH: why", when its chain or size is damaged; size is then 0
};

// The entries of the directory at path, in the order stored, or the one entry of
// a file, each handed to each. The error, or empty.
std::string list(SectorStore& image, std::string_view path, const std::function<void(const Listed&)>& each);

// The bytes of the file at path, handed to sink a lump's worth at a time (the
// last lump's even when it holds none), once its whole chain is known to be
// sound; sink returns false to stop. The error, or empty.
std::string read_file(SectorStore& image, std::string_view path,
                      const std::function<bool(std::string_view)>& sink);

struct NewFile {
    uint8_t flags = 0;
    Stamp stamp;
    bool replace = false;  // over a file of that name, which is refused otherwise
};

// A new file of the bytes at path, in a directory that exists; a full directory
// grows by a lump. Replacing takes new lumps for the new file and frees the old
// file's only after, so it needs room for both. The error, or empty.
std::string add_file(SectorStore& image, std::string_view path, std::string_view bytes, const NewFile& file);

// A file, or a directory that holds no entries. The error, or empty.
std::string remove(SectorStore& image, std::string_view path);

// An empty directory of one lump. The error, or empty.
std::string make_directory(SectorStore& image, std::string_view path, Stamp stamp);

// Every problem found in the image, a line each, worded "PATH: why" where a file
// or directory has it: sector 0's fields, checksum and boot code, each chain,
// lumps in two chains or in none, each entry's name and size, and the table's
// reserved entries. No problems: the image is sound.
struct CheckReport {
    std::vector<std::string> problems;
    std::string error;  // the image could not be read
};

CheckReport check(SectorStore& image);

// What makes an image bootable, taken from one that is: the boot code (sector
// 0's bytes before its fields), the second-stage loader (sectors 1 and 2) and
// /os/kernel, whose entry keeps its flags and date.
struct Bootstrap {
    uint8_t type = 1;  // the filesystem the loader was made for
    Sector boot{};
    std::array<Sector, 2> loader{};
    std::string kernel;
    Entry kernel_entry;
};

struct BootstrapRead {
    Bootstrap bootstrap;
    std::string error;
};

BootstrapRead read_bootstrap(SectorStore& image);

// The disk FsGen makes of a size in megabytes: 1,000,000 bytes each, in
// sectors, lumps of 8 sectors, at most 65535 lumps for type I and 2^28 sectors
// for type II.
uint32_t sectors_in_megabytes(uint32_t megabytes);
uint32_t largest_disk_megabytes(uint8_t type);

struct NewDisk {
    uint8_t type = 1;
    uint32_t megabytes = 1;          // 1 to largest_disk_megabytes(type)
    Stamp stamp;                     // of the entries made
    const Bootstrap* boot = nullptr;  // none: a boot code area of zeros, and no kernel
};

// Lays out an empty filesystem on an image that reads as zeros, as FsGen does:
// the table after sector 17 and its lumps reserved, the master directory in the
// first lump after them with /bin and /os in the two that follow. Only the
// sectors that are not zero are written. The error, or empty.
std::string format(SectorStore& image, const NewDisk& disk);

}  // namespace cosmac::elfos
