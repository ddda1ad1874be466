#include "image/elfos_disk.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include "image/elfos_volume.hpp"
#include "text/text.hpp"

namespace cosmac::elfos {
namespace {

constexpr uint8_t kSystemDirectoryFlags = kDirectoryFlag | kWriteProtectedFlag;  // FsGen's /bin and /os

// The lumps FsGen reserves: up to the sector D, (17 + table sectors + 8) rounded
// down to a multiple of 8; the master directory takes the first lump after them.
uint32_t first_data_lump(const Layout& layout)
{
    return (kTableStart + layout.table_sectors() + kSectorsPerLump) / kSectorsPerLump;
}

Listed listed(Volume& volume, LumpOwners& owners, const std::string& path, const Entry& entry)
{
    Listed line{entry, 0, ""};
    Chain chain = owners.claim(volume, path, entry.start_lump);
    if (chain.error.empty())
        chain.error = eof_problem(entry);
    if (chain.error.empty())
        line.size = size_of(entry, chain.lumps.size());
    else
        line.problem = path + ": " + chain.error;
    return line;
}

// The entry at path, which must be there.
Lookup look_up_existing(Volume& volume, std::string_view path)
{
    Lookup lookup = look_up(volume, path);
    if (lookup.error.empty() && !lookup.found)
        lookup.error = lookup.path + ": no such file or directory";
    return lookup;
}

// The lumps of the file a lookup found, when its chain and size are sound, or why not.
Chain file_chain(Volume& volume, const Lookup& lookup)
{
    if (!lookup.error.empty())
        return {{}, lookup.error};
    if (lookup.entry.flags & kDirectoryFlag)
        return {{}, lookup.path + " is a directory"};
    Chain chain = follow_chain(volume, lookup.entry.start_lump);
    if (chain.error.empty())
        chain.error = eof_problem(lookup.entry);
    if (!chain.error.empty())
        chain.error = lookup.path + ": " + chain.error;
    return chain;
}

// Hands the file's bytes to sink a lump at a time; whether sink took them all.
bool read_lumps(Volume& volume, const Chain& chain, const Entry& entry,
                const std::function<bool(std::string_view)>& sink)
{
    std::array<uint8_t, kLumpSize> lump_bytes;
    for (std::size_t index = 0; index < chain.lumps.size(); ++index) {
        const std::size_t size = index + 1 < chain.lumps.size() ? kLumpSize : entry.eof;
        for (uint32_t i = 0; i * kSectorSize < size; ++i) {
            Sector sector;
            volume.sectors.read_once(chain.lumps[index] * kSectorsPerLump + i, sector);
            std::copy(sector.begin(), sector.end(), lump_bytes.begin() + i * kSectorSize);
        }
        if (!sink(std::string_view(reinterpret_cast<const char*>(lump_bytes.data()), size)))
            return false;
    }
    return true;
}

std::string new_name_problem(std::string_view name)
{
    if (name.size() > kMaxNameLength)
        return std::string(name) + ": a name holds at most 19 characters";
    for (const char c : name) {
        if (!name_character(static_cast<unsigned char>(c)))
            return std::string(name) + ": a name takes printable ASCII characters but no space or /";
    }
    return "";
}

// Up to wanted free lumps, lowest first. Lump fefe is never taken: a chain could
// not point to it, fefe being the end of chain.
std::vector<uint32_t> free_lumps(Volume& volume, std::size_t wanted)
{
    std::vector<uint32_t> lumps;
    for (uint32_t lump = volume.layout.table_lumps(); lump < volume.layout.lumps && lumps.size() < wanted; ++lump) {
        if (lump != kEndOfChain && table_entry(volume, lump) == kFree)
            lumps.push_back(lump);
    }
    return lumps;
}

void link_chain(Volume& volume, const std::vector<uint32_t>& lumps)
{
    for (std::size_t i = 0; i < lumps.size(); ++i)
        set_table_entry(volume, lumps[i], i + 1 < lumps.size() ? lumps[i + 1] : kEndOfChain);
}

void write_entry(Volume& volume, const SlotPlace& place, const Entry& entry)
{
    encode_entry(entry, entry_bytes(volume.sectors.change(place.sector), place.byte));
}

// A lump to be a directory's: all its entries free.
void clear_lump(Volume& volume, uint32_t lump)
{
    for (uint32_t i = 0; i < kSectorsPerLump; ++i)
        volume.sectors.replace(lump * kSectorsPerLump + i);
}

// Writes a new entry's contents into its new lumps.
using FillLumps = std::function<void(Volume&, const std::vector<uint32_t>&)>;

// Puts entry where the lookup leads, on a chain of lump_count new lumps that fill
// writes, replacing a file there if allowed. The sectors change in an order that
// an interrupted write leaves no entry on lumps not yet its own: the contents,
// then the table, then the directory, then the freeing of the old file's lumps.
std::string add_entry(Volume& volume, const Lookup& lookup, Entry entry, std::size_t lump_count, bool replace,
                      const FillLumps& fill)
{
    if (!lookup.error.empty())
        return lookup.error;
    if (lookup.name.empty())
        return "/ is the master directory";
    if (const std::string problem = new_name_problem(lookup.name); !problem.empty())
        return problem;
    Chain old;
    if (lookup.found) {
        if (!replace)
            return lookup.path + " is there already";
        old = file_chain(volume, lookup);  // never a directory, nor a file it would not be safe to free
        if (!old.error.empty())
            return old.error;
    }
    std::optional<SlotPlace> place = lookup.place;
    if (!place) {
        any_slot(volume, lookup.parent, [&](const SlotPlace& slot, auto bytes) {
            if (decode_entry(bytes, volume.layout.type).start_lump != 0)
                return false;
            place = slot;
            return true;
        });
    }
    const bool grows = !place;  // a full directory grows by a lump
    const std::size_t wanted = lump_count + (grows ? 1 : 0);
    const std::vector<uint32_t> lumps = free_lumps(volume, wanted);
    if (lumps.size() < wanted)
        return formatted("not enough room for %s: it needs %zu %s of 4096 bytes, the disk has %zu free",
                         lookup.path.c_str(), wanted, wanted == 1 ? "lump" : "lumps", lumps.size());
    const std::vector<uint32_t> chain(lumps.begin(), lumps.begin() + static_cast<std::ptrdiff_t>(lump_count));
    fill(volume, chain);
    if (grows)
        clear_lump(volume, lumps.back());
    link_chain(volume, chain);
    if (grows) {
        set_table_entry(volume, lookup.parent.lumps.back(), lumps.back());
        set_table_entry(volume, lumps.back(), kEndOfChain);
        place = SlotPlace{lumps.back() * kSectorsPerLump, 0, lookup.parent.lumps.size() * kLumpSize};
    }
    entry.start_lump = chain.front();
    entry.name = lookup.name;
    write_entry(volume, *place, entry);
    volume.sectors.write_first();  // the old lumps may share a table sector with the new
    for (const uint32_t lump : old.lumps)
        set_table_entry(volume, lump, kFree);
    return "";
}

std::string add_file_to(Volume& volume, std::string_view path, std::string_view bytes, const NewFile& file)
{
    Entry entry;
    entry.eof = static_cast<uint16_t>(bytes.size() % kLumpSize);
    entry.flags = file.flags;
    entry.stamp = file.stamp;
    return add_entry(volume, look_up(volume, path), entry, bytes.size() / kLumpSize + 1, file.replace,
                     [bytes](Volume& into, const std::vector<uint32_t>& lumps) {
                         for (std::size_t offset = 0; offset < bytes.size(); offset += kSectorSize) {
                             const std::size_t index = offset / kSectorSize;
                             Sector& sector = into.sectors.replace(lumps[index / kSectorsPerLump] * kSectorsPerLump +
                                                                   index % kSectorsPerLump);
                             const std::string_view piece = bytes.substr(offset, kSectorSize);
                             std::memcpy(sector.data(), piece.data(), piece.size());
                         }
                     });
}

std::string make_directory_in(Volume& volume, std::string_view path, uint8_t flags, Stamp stamp)
{
    Entry entry;
    entry.eof = kDirectoryEof;
    entry.flags = flags;
    entry.stamp = stamp;
    return add_entry(volume, look_up(volume, path), entry, 1, false,
                     [](Volume& into, const std::vector<uint32_t>& lumps) { clear_lump(into, lumps.front()); });
}

// Runs an operation on the image's filesystem: the operation's error, or the
// outcome of writing its changes; or why the image holds no filesystem.
template <class Operation>
std::string on_volume(SectorStore& image, Operation operation)
{
    Sectors sectors(image);
    Opened opened = open_volume(sectors);
    return sectors.finish(opened.volume ? operation(*opened.volume) : opened.error);
}

}  // namespace

uint32_t declared_sectors(const Sector& boot) { return big_endian(&boot[kSectorsField], 4); }

uint8_t filesystem_type(const Sector& boot) { return boot[kTypeField]; }

uint8_t boot_sector_checksum(const Sector& boot)
{
    uint8_t sum = 0xFF;
    for (std::size_t i = 0; i < kChecksum; ++i) {
        sum = static_cast<uint8_t>(sum + boot[i]);
        sum = static_cast<uint8_t>(sum << 1 | sum >> 7);
    }
    return sum;
}

uint8_t boot_check_sum(const Sector& boot)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < kBootCheckEnd; ++i)
        sum = static_cast<uint8_t>((sum + boot[i]) << 1);
    return sum;
}

DateTime decode_stamp(Stamp stamp)
{
    return {1972 + (stamp.date >> 9), stamp.date >> 5 & 0x0F, stamp.date & 0x1F,
            stamp.time >> 11,         stamp.time >> 5 & 0x3F, (stamp.time & 0x1F) * 2};
}

Stamp encode_stamp(const DateTime& moment)
{
    if (moment.year < 1972)
        return encode_stamp({1972, 1, 1, 0, 0, 0});
    if (moment.year > 1972 + 127)
        return encode_stamp({1972 + 127, 12, 31, 23, 59, 59});
    return {static_cast<uint16_t>((moment.year - 1972) << 9 | moment.month << 5 | moment.day),
            static_cast<uint16_t>(moment.hour << 11 | moment.minute << 5 | moment.second / 2)};
}

Entry decode_entry(std::span<const uint8_t, kEntrySize> bytes, uint8_t type)
{
    Entry entry;
    entry.start_lump = type == 1 ? big_endian(&bytes[2], 2) : big_endian(&bytes[0], 4);
    entry.eof = static_cast<uint16_t>(big_endian(&bytes[4], 2));
    entry.flags = bytes[6];
    entry.stamp = {static_cast<uint16_t>(big_endian(&bytes[7], 2)), static_cast<uint16_t>(big_endian(&bytes[9], 2))};
    entry.aux_flags = bytes[11];
    const auto name = bytes.subspan(12);
    entry.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    return entry;
}

void encode_entry(const Entry& entry, std::span<uint8_t, kEntrySize> bytes)
{
    std::fill(bytes.begin(), bytes.end(), 0);
    put_big_endian(&bytes[0], 4, entry.start_lump);
    put_big_endian(&bytes[4], 2, entry.eof);
    bytes[6] = entry.flags;
    put_big_endian(&bytes[7], 2, entry.stamp.date);
    put_big_endian(&bytes[9], 2, entry.stamp.time);
    bytes[11] = entry.aux_flags;
    std::copy_n(entry.name.begin(), std::min(entry.name.size(), kEntrySize - 12), bytes.begin() + 12);
}

std::string list(SectorStore& image, std::string_view path, const std::function<void(const Listed&)>& each)
{
    return on_volume(image, [&](Volume& volume) -> std::string {
        const Lookup lookup = look_up_existing(volume, path);
        if (!lookup.error.empty())
            return lookup.error;
        LumpOwners owners(volume.layout);
        if ((lookup.entry.flags & kDirectoryFlag) == 0) {
            each(listed(volume, owners, lookup.path, lookup.entry));
            return "";
        }
        const Chain chain = owners.claim(volume, lookup.path, lookup.entry.start_lump);
        if (!chain.error.empty())
            return lookup.path + ": " + chain.error;
        any_slot(volume, {lookup.path, chain.lumps}, [&](const SlotPlace&, auto bytes) {
            const Entry entry = decode_entry(bytes, volume.layout.type);
            if (entry.start_lump != 0)
                each(listed(volume, owners, joined(lookup.path, entry.name), entry));
            return false;
        });
        return "";
    });
}

std::string read_file(SectorStore& image, std::string_view path, const std::function<bool(std::string_view)>& sink)
{
    return on_volume(image, [&](Volume& volume) {
        const Lookup lookup = look_up_existing(volume, path);
        const Chain chain = file_chain(volume, lookup);
        if (chain.error.empty())
            read_lumps(volume, chain, lookup.entry, sink);
        return chain.error;
    });
}

std::string add_file(SectorStore& image, std::string_view path, std::string_view bytes, const NewFile& file)
{
    return on_volume(image, [&](Volume& volume) { return add_file_to(volume, path, bytes, file); });
}

std::string make_directory(SectorStore& image, std::string_view path, Stamp stamp)
{
    return on_volume(image,
                     [&](Volume& volume) { return make_directory_in(volume, path, kDirectoryFlag, stamp); });
}

std::string remove(SectorStore& image, std::string_view path)
{
    return on_volume(image, [&](Volume& volume) -> std::string {
        const Lookup lookup = look_up_existing(volume, path);
        if (!lookup.error.empty())
            return lookup.error;
        if (lookup.name.empty())
            return "/ is the master directory";
        const Chain chain = follow_chain(volume, lookup.entry.start_lump);
        if (!chain.error.empty())
            return lookup.path + ": " + chain.error;
        if ((lookup.entry.flags & kDirectoryFlag) &&
            any_slot(volume, {lookup.path, chain.lumps}, [&](const SlotPlace&, auto bytes) {
                return decode_entry(bytes, volume.layout.type).start_lump != 0;
            }))
            return lookup.path + " is a directory that is not empty";
        // The entry goes first: an interrupted write leaves lumps that no file
        // holds, not an entry on free lumps.
        write_entry(volume, *lookup.place, Entry{});
        for (const uint32_t lump : chain.lumps)
            set_table_entry(volume, lump, kFree);
        return "";
    });
}

BootstrapRead read_bootstrap(SectorStore& image)
{
    BootstrapRead read;
    read.error = on_volume(image, [&](Volume& volume) {
        Bootstrap& bootstrap = read.bootstrap;
        bootstrap.type = volume.layout.type;
        bootstrap.boot = volume.sectors.read(0);
        bootstrap.loader = {volume.sectors.read(1), volume.sectors.read(2)};
        if (const std::string problem = boot_check_problem(bootstrap.boot); !problem.empty())
            return problem;
        const Lookup lookup = look_up_existing(volume, "/os/kernel");
        const Chain chain = file_chain(volume, lookup);
        if (chain.error.empty()) {
            read_lumps(volume, chain, lookup.entry, [&](std::string_view bytes) {
                bootstrap.kernel += bytes;
                return true;
            });
            bootstrap.kernel_entry = lookup.entry;
        }
        return chain.error;
    });
    return read;
}

uint32_t sectors_in_megabytes(uint32_t megabytes)
{
    return static_cast<uint32_t>(uint64_t{megabytes} * 1000000 / kSectorSize);
}

uint32_t largest_disk_megabytes(uint8_t type)
{
    const uint64_t bytes = type == 1 ? uint64_t{kMaxTypeILumps} * kLumpSize : uint64_t{kMaxTypeIISectors} * kSectorSize;
    return static_cast<uint32_t>(bytes / 1000000);
}

std::string format(SectorStore& image, const NewDisk& disk)
{
    if (disk.type != 1 && disk.type != 2)
        return formatted("no filesystem type %u; there are types 1 and 2", disk.type);
    if (disk.megabytes < 1 || disk.megabytes > largest_disk_megabytes(disk.type))
        return formatted("a type %s disk holds 1 to %u MB", disk.type == 1 ? "I" : "II",
                         largest_disk_megabytes(disk.type));
    Sectors sectors(image);
    Layout layout;
    layout.type = disk.type;
    layout.sectors = sectors_in_megabytes(disk.megabytes);
    layout.lumps = layout.sectors / kSectorsPerLump;
    layout.master_lump = first_data_lump(layout);
    Volume volume{sectors, layout};

    Sector& boot = sectors.change(0);
    if (disk.boot) {
        std::copy_n(disk.boot->boot.begin(), kBootCodeEnd, boot.begin());
        sectors.change(1) = disk.boot->loader[0];
        sectors.change(2) = disk.boot->loader[1];
    }
    put_big_endian(&boot[kSectorsField], 4, layout.sectors);
    boot[kTypeField] = layout.type;
    const uint32_t master_sector = layout.master_lump * kSectorsPerLump;
    put_big_endian(&boot[kMasterSector16], 2, master_sector);
    boot[kFsGen107] = 0x02;
    boot[kFsGen10A] = kSectorsPerLump;
    put_big_endian(&boot[kLumpsField], layout.table_entry_size(), layout.lumps);
    put_big_endian(&boot[kMasterSector32], 4, master_sector);
    Entry master;
    master.start_lump = layout.master_lump;
    master.eof = kDirectoryEof;
    master.flags = kSystemDirectoryFlags;
    encode_entry(master, entry_bytes(boot, kMasterEntry));
    // FsGen writes the name "MD" one byte early, over the aux flags.
    boot[kMasterEntry + 11] = 'M';
    boot[kMasterEntry + 12] = 'D';
    boot[kChecksum] = boot_sector_checksum(boot);

    for (uint32_t lump = 0; lump < layout.master_lump; ++lump)
        set_table_entry(volume, lump, layout.reserved());
    for (uint32_t lump = layout.lumps; lump < layout.table_sectors() * layout.entries_per_sector(); ++lump)
        set_table_entry(volume, lump, layout.reserved());
    set_table_entry(volume, layout.master_lump, kEndOfChain);
    std::string error;
    for (const char* name : {"bin", "os"}) {
        if (error.empty())
            error = make_directory_in(volume, name, kSystemDirectoryFlags, disk.stamp);
    }
    if (disk.boot && error.empty()) {
        NewFile kernel;
        kernel.flags = disk.boot->kernel_entry.flags;
        kernel.stamp = disk.boot->kernel_entry.stamp;
        error = add_file_to(volume, "/os/kernel", disk.boot->kernel, kernel);
    }
    return sectors.finish(error);
}

}  // namespace cosmac::elfos
