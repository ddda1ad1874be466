// What the operations on Elf/OS images and their check share: sector 0's
// fields, the sectors an operation reads and changes, the allocation table, the
// chains of lumps, directories' slots and the lookup of paths.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/elfos_disk.hpp"

namespace cosmac::elfos {

constexpr uint32_t kTableStart = 17;  // the allocation table's first sector
constexpr uint32_t kFree = 0;
constexpr uint32_t kEndOfChain = 0xFEFE;
constexpr uint32_t kMaxTypeILumps = 0xFFFF;
constexpr uint32_t kMaxTypeIISectors = 1u << 28;
constexpr uint16_t kDirectoryEof = 0x0FFF;  // what every directory's entry holds

// Sector 0's fields.
constexpr std::size_t kBootCodeEnd = 0x100;     // the boot code may use everything before the fields
constexpr std::size_t kBootCheckEnd = 0x41;     // the BIOS's boot check reads 000-040
constexpr std::size_t kSectorsField = 0x100;    // 4 bytes
constexpr std::size_t kTypeField = 0x104;
constexpr std::size_t kMasterSector16 = 0x105;  // a 16-bit copy of kMasterSector32
constexpr std::size_t kFsGen107 = 0x107;        // FsGen writes 02 here
constexpr std::size_t kFsGen10A = 0x10A;        // and 08 here, sectors per lump perhaps
constexpr std::size_t kLumpsField = 0x10B;      // 2 bytes in type I, 4 in type II
constexpr std::size_t kMasterSector32 = 0x110;
constexpr std::size_t kMasterEntry = 0x12C;     // the master directory's entry
constexpr std::size_t kChecksum = 0x1FF;

uint32_t big_endian(const uint8_t* bytes, std::size_t count);
void put_big_endian(uint8_t* bytes, std::size_t count, uint32_t value);

inline std::span<const uint8_t, kEntrySize> entry_bytes(const Sector& sector, std::size_t offset)
{
    return std::span<const uint8_t, kEntrySize>(sector.data() + offset, kEntrySize);
}

inline std::span<uint8_t, kEntrySize> entry_bytes(Sector& sector, std::size_t offset)
{
    return std::span<uint8_t, kEntrySize>(sector.data() + offset, kEntrySize);
}

std::string lump_text(uint32_t lump);

// A name's characters: printable, but neither a space nor the separator of paths.
bool name_character(unsigned char c);

// What sector 0 says of the filesystem, once it is known to make sense: every
// lump and table sector it leads to lies on the disk.
struct Layout {
    uint8_t type = 1;
    uint32_t sectors = 0;
    uint32_t lumps = 0;
    uint32_t master_lump = 0;

    uint32_t table_entry_size() const { return type == 1 ? 2 : 4; }
    uint32_t entries_per_sector() const { return static_cast<uint32_t>(kSectorSize) / table_entry_size(); }
    uint32_t table_sectors() const { return lumps / entries_per_sector() + 1; }
    // The lumps that hold sector 0, the loader and the table: never a file's.
    uint32_t table_lumps() const { return (kTableStart + table_sectors() + kSectorsPerLump - 1) / kSectorsPerLump; }
    uint32_t reserved() const { return type == 1 ? 0xFFFF : 0xFFFFFFFF; }
    // A table entry's value in hexadecimal, as wide as the entry.
    std::string entry_text(uint32_t value) const;
};

struct LayoutRead {
    Layout layout;
    std::string error;
};

LayoutRead read_layout(const Sector& boot);

// Why the BIOS would not run the boot code, or empty.
std::string boot_check_problem(const Sector& boot);

// An image's sectors as one operation sees them: each read once, and the changes
// kept until the whole operation is worked out, then written in the order they
// were first made. A failed read reads as zeros; its error is kept, and outranks
// whatever the operation made of the zeros.
class Sectors {
public:
    explicit Sectors(SectorStore& store) : store_(store) {}

    const Sector& read(uint32_t sector) { return cached(sector).bytes; }
    Sector& change(uint32_t sector);
    // A sector whose old bytes do not matter: zeros, not read.
    Sector& replace(uint32_t sector);
    // A sector read once, as a file's data is, and not kept.
    void read_once(uint32_t sector, Sector& bytes) { note(store_.read(sector, bytes)); }
    // The changes made so far are to be written before any made after, even to
    // the same sectors, which are then written twice.
    void write_first();

    // The outcome of an operation that ended with error (or none): a failed read
    // first, otherwise the error, otherwise the outcome of writing the changes.
    std::string finish(const std::string& error);

private:
    struct Cached {
        Sector bytes{};
        bool changed = false;
    };

    Cached& cached(uint32_t sector);
    void mark_changed(uint32_t sector, Cached& cached_sector);
    void note(int error);

    SectorStore& store_;
    std::map<uint32_t, Cached> cache_;
    std::vector<uint32_t> order_;                      // changed since write_first()
    std::vector<std::pair<uint32_t, Sector>> earlier_;  // as they were then
    std::string read_error_;
};

struct Volume {
    Sectors& sectors;
    Layout layout;
};

struct Opened {
    std::optional<Volume> volume;
    std::string error;
};

Opened open_volume(Sectors& sectors);

uint32_t table_entry(Volume& volume, uint32_t lump);
void set_table_entry(Volume& volume, uint32_t lump, uint32_t value);

// Where a lump that a chain leads to lies, when no file may have it; empty when
// it may.
std::string off_limits(const Layout& layout, uint32_t lump);

struct Chain {
    std::vector<uint32_t> lumps;  // as far as it is sound
    std::string error;            // where it breaks, or empty
};

// The chain from start to its end. Where meets, if given, says why a lump
// reached may not be taken (it is another's), the chain stops before it.
Chain follow_chain(Volume& volume, uint32_t start, const std::function<std::string(uint32_t)>& meets = {});

// Which file or directory holds each lump, as far as an operation has followed
// chains. A chain stops where it meets one claimed before, so that following
// every entry's chain costs no more than the lumps they reach, however damaged
// the image.
class LumpOwners {
public:
    explicit LumpOwners(const Layout& layout) : owner_(layout.lumps, kNone) {}
    // The chain from start, claimed for path as far as no other holds it.
    Chain claim(Volume& volume, const std::string& path, uint32_t start);
    bool held(uint32_t lump) const { return owner_[lump] != kNone; }

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    std::vector<uint32_t> owner_;
    std::vector<std::string> paths_;
};

// Why the entry's size cannot be, or empty.
std::string eof_problem(const Entry& entry);
uint64_t size_of(const Entry& entry, std::size_t lumps);

// "/" for the master directory.
std::string joined(const std::string& directory, std::string_view name);

// Where an entry's 32 bytes lie.
struct SlotPlace {
    uint32_t sector;
    uint32_t byte;    // in the sector
    uint64_t offset;  // in the directory
};

struct Directory {
    std::string path;  // "/" for the master directory
    std::vector<uint32_t> lumps;
};

// Hands each slot of the directory, in order, with its bytes, to visit until it
// returns true; whether one did.
template <class Visit>
bool any_slot(Volume& volume, const Directory& directory, Visit visit)
{
    constexpr uint32_t kSlotsPerSector = kSectorSize / kEntrySize;
    for (std::size_t index = 0; index < directory.lumps.size(); ++index) {
        for (uint32_t i = 0; i < kSectorsPerLump; ++i) {
            const uint32_t sector = directory.lumps[index] * kSectorsPerLump + i;
            for (uint32_t slot = 0; slot < kSlotsPerSector; ++slot) {
                const SlotPlace place{sector, slot * static_cast<uint32_t>(kEntrySize),
                                      index * kLumpSize + (i * kSlotsPerSector + slot) * kEntrySize};
                if (visit(place, entry_bytes(volume.sectors.read(sector), place.byte)))
                    return true;
            }
        }
    }
    return false;
}

// The master directory's entry in sector 0, a directory whatever its flags say.
Entry master_entry(Volume& volume);

// A path looked up: the directory that holds (or would hold) its last name, and
// that name's entry where there is one. The master directory is "/", its entry
// the one in sector 0.
struct Lookup {
    Directory parent;
    std::string path = "/";  // as messages name it: "/bin/dir"
    std::string name;  // empty for the master directory
    bool found = false;
    std::optional<SlotPlace> place;  // none for the master directory
    Entry entry;
    std::string error;  // a directory on the way that is missing or damaged
};

Lookup look_up(Volume& volume, std::string_view path);

}  // namespace cosmac::elfos
