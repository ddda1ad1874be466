#include "image/elfos_volume.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "text/text.hpp"

namespace cosmac::elfos {

uint32_t big_endian(const uint8_t* bytes, std::size_t count)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

void put_big_endian(uint8_t* bytes, std::size_t count, uint32_t value)
{
    for (std::size_t i = count; i-- > 0; value >>= 8)
        bytes[i] = static_cast<uint8_t>(value);
}

std::string lump_text(uint32_t lump) { return hex_text(lump, 4); }

bool name_character(unsigned char c) { return c > ' ' && c < 0x7F && c != '/'; }

std::string Layout::entry_text(uint32_t value) const
{
    return hex_text(value, static_cast<int>(table_entry_size() * 2));
}

LayoutRead read_layout(const Sector& boot)
{
    LayoutRead read;
    Layout& layout = read.layout;
    layout.type = boot[kTypeField];
    if (layout.type != 1 && layout.type != 2) {
        read.error = "sector 0 holds no Elf/OS filesystem: its type (byte 104) is " + hex_text(layout.type, 2) +
                     ", not 01 or 02";
        return read;
    }
    layout.sectors = declared_sectors(boot);
    layout.lumps = big_endian(&boot[kLumpsField], layout.table_entry_size());
    layout.master_lump = decode_entry(entry_bytes(boot, kMasterEntry), layout.type).start_lump;
    if (layout.type == 2 && layout.sectors > kMaxTypeIISectors)
        read.error = formatted("sector 0 declares %u sectors, more than a type II disk holds (%u)", layout.sectors,
                               kMaxTypeIISectors);
    else if (layout.lumps > layout.sectors / kSectorsPerLump)
        read.error = formatted("sector 0 declares %u lumps, more than its %u sectors hold", layout.lumps,
                               layout.sectors);
    else if (layout.lumps <= layout.table_lumps())
        read.error = formatted("sector 0 declares %u lumps, too few for the allocation table and a directory",
                               layout.lumps);
    else if (const std::string where = off_limits(layout, layout.master_lump); !where.empty())
        read.error = "the master directory's first lump (12c), " + lump_text(layout.master_lump) + ", lies " + where;
    return read;
}

std::string boot_check_problem(const Sector& boot)
{
    const uint8_t sum = boot_check_sum(boot);
    if (sum == kBootCheckResult)
        return "";
    return "its boot code fails the BIOS's boot check: bytes 000-040 make " + hex_text(sum, 2) + ", not " +
           hex_text(kBootCheckResult, 2);
}

Sector& Sectors::change(uint32_t sector)
{
    Cached& cached_sector = cached(sector);
    mark_changed(sector, cached_sector);
    return cached_sector.bytes;
}

Sector& Sectors::replace(uint32_t sector)
{
    Cached& cached_sector = cache_[sector];
    cached_sector.bytes.fill(0);
    mark_changed(sector, cached_sector);
    return cached_sector.bytes;
}

void Sectors::write_first()
{
    for (const uint32_t sector : order_) {
        earlier_.emplace_back(sector, cache_[sector].bytes);
        cache_[sector].changed = false;
    }
    order_.clear();
}

std::string Sectors::finish(const std::string& error)
{
    if (!read_error_.empty())
        return read_error_;
    if (!error.empty())
        return error;
    std::vector<SectorWrite> writes;
    for (const auto& [sector, bytes] : earlier_)
        writes.push_back({sector, &bytes});
    for (const uint32_t sector : order_)
        writes.push_back({sector, &cache_[sector].bytes});
    const int write_error = writes.empty() ? 0 : store_.write(writes);
    return write_error == 0 ? "" : std::strerror(write_error);
}

Sectors::Cached& Sectors::cached(uint32_t sector)
{
    const auto [at, inserted] = cache_.try_emplace(sector);
    if (inserted)
        note(store_.read(sector, at->second.bytes));
    return at->second;
}

void Sectors::mark_changed(uint32_t sector, Cached& cached_sector)
{
    if (!cached_sector.changed)
        order_.push_back(sector);
    cached_sector.changed = true;
}

void Sectors::note(int error)
{
    if (error != 0 && read_error_.empty())
        read_error_ = std::strerror(error);
}

Opened open_volume(Sectors& sectors)
{
    const LayoutRead read = read_layout(sectors.read(0));
    if (!read.error.empty())
        return {std::nullopt, read.error};
    return {Volume{sectors, read.layout}, ""};
}

uint32_t table_entry(Volume& volume, uint32_t lump)
{
    const Layout& layout = volume.layout;
    const Sector& sector = volume.sectors.read(kTableStart + lump / layout.entries_per_sector());
    return big_endian(&sector[lump % layout.entries_per_sector() * layout.table_entry_size()],
                      layout.table_entry_size());
}

void set_table_entry(Volume& volume, uint32_t lump, uint32_t value)
{
    const Layout& layout = volume.layout;
    Sector& sector = volume.sectors.change(kTableStart + lump / layout.entries_per_sector());
    put_big_endian(&sector[lump % layout.entries_per_sector() * layout.table_entry_size()],
                   layout.table_entry_size(), value);
}

std::string off_limits(const Layout& layout, uint32_t lump)
{
    if (lump >= layout.lumps)
        return "past the disk's last lump, " + lump_text(layout.lumps - 1);
    if (lump < layout.table_lumps())
        return "in the allocation table";
    return "";
}

Chain follow_chain(Volume& volume, uint32_t start, const std::function<std::string(uint32_t)>& meets)
{
    const Layout& layout = volume.layout;
    Chain chain;
    if (const std::string where = off_limits(layout, start); !where.empty()) {
        chain.error = "its first lump, " + lump_text(start) + ", lies " + where;
        return chain;
    }
    std::unordered_set<uint32_t> seen;
    for (uint32_t lump = start;;) {
        if (meets) {
            chain.error = meets(lump);
            if (!chain.error.empty())
                return chain;
        }
        chain.lumps.push_back(lump);
        seen.insert(lump);
        const uint32_t next = table_entry(volume, lump);
        if (next == kEndOfChain)
            return chain;
        const auto broken = [&](const std::string& why) {
            chain.error = "lump " + lump_text(lump) + " of its chain " + why;
            return chain;
        };
        if (next == kFree)
            return broken("is marked free");
        if (next == layout.reserved())
            return broken("is marked reserved (" + layout.entry_text(next) + ")");
        if (const std::string where = off_limits(layout, next); !where.empty())
            return broken("points to " + lump_text(next) + ", " + where);
        if (seen.contains(next)) {
            chain.error = "its chain comes back to lump " + lump_text(next);
            return chain;
        }
        lump = next;
    }
}

std::string eof_problem(const Entry& entry)
{
    if (entry.eof < kLumpSize)
        return "";
    return "its eof field, " + hex_text(entry.eof, 4) + ", lies past the end of a lump";
}

uint64_t size_of(const Entry& entry, std::size_t lumps) { return entry.eof + kLumpSize * (lumps - 1); }

Chain LumpOwners::claim(Volume& volume, const std::string& path, uint32_t start)
{
    const auto owner = static_cast<uint32_t>(paths_.size());
    paths_.push_back(path);
    Chain chain = follow_chain(volume, start, [this](uint32_t lump) -> std::string {
        if (owner_[lump] == kNone)
            return "";
        return "its chain meets that of " + paths_[owner_[lump]] + " at lump " + lump_text(lump);
    });
    for (const uint32_t lump : chain.lumps)
        owner_[lump] = owner;
    return chain;
}

std::string joined(const std::string& directory, std::string_view name)
{
    return (directory == "/" ? directory : directory + "/") + std::string(name);
}

Entry master_entry(Volume& volume)
{
    Entry entry = decode_entry(entry_bytes(volume.sectors.read(0), kMasterEntry), volume.layout.type);
    entry.flags |= kDirectoryFlag;
    return entry;
}

namespace {

std::vector<std::string_view> path_names(std::string_view path)
{
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start)
            names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return names;
}

}  // namespace

Lookup look_up(Volume& volume, std::string_view path)
{
    Lookup lookup;
    const std::vector<std::string_view> names = path_names(path);
    lookup.entry = master_entry(volume);
    lookup.found = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if ((lookup.entry.flags & kDirectoryFlag) == 0) {
            lookup.error = lookup.path + " is not a directory";
            return lookup;
        }
        Chain chain = follow_chain(volume, lookup.entry.start_lump);
        if (!chain.error.empty()) {
            lookup.error = lookup.path + ": " + chain.error;
            return lookup;
        }
        lookup.parent = {lookup.path, std::move(chain.lumps)};
        lookup.name = std::string(names[i]);
        lookup.path = joined(lookup.path, names[i]);
        lookup.place.reset();
        lookup.found = any_slot(volume, lookup.parent, [&](const SlotPlace& place, auto bytes) {
            const Entry entry = decode_entry(bytes, volume.layout.type);
            if (entry.start_lump == 0 || entry.name != lookup.name)
                return false;
            lookup.place = place;
            lookup.entry = entry;
            return true;
        });
        if (!lookup.found) {
            if (i + 1 < names.size())
                lookup.error = lookup.path + ": no such directory";
            return lookup;
        }
    }
    return lookup;
}

}  // namespace cosmac::elfos
