// The check of an image: sector 0; then the directories from the master
// directory down, each entry's name and size, and its chain claimed for it; then
// the allocation table's entries that no chain reached.
#include <algorithm>
#include <deque>
#include <set>

#include "image/elfos_disk.hpp"
#include "image/elfos_volume.hpp"
#include "text/text.hpp"

namespace cosmac::elfos {
namespace {

void check_boot_sector(Volume& volume, std::vector<std::string>& problems)
{
    const Sector& boot = volume.sectors.read(0);
    const uint8_t checksum = boot_sector_checksum(boot);
    if (boot[kChecksum] != checksum)
        problems.push_back("sector 0: its checksum (1ff) is " + hex_text(boot[kChecksum], 2) + ", its bytes make " +
                           hex_text(checksum, 2));
    // Boot code of zeros is no boot code: the disk holds files only.
    const bool has_boot_code = std::any_of(boot.begin(), boot.begin() + kBootCodeEnd, [](uint8_t b) { return b != 0; });
    if (has_boot_code && !boot_check_problem(boot).empty())
        problems.push_back("sector 0: " + boot_check_problem(boot));
    const uint32_t master_lump = volume.layout.master_lump;
    const uint32_t master_sector = big_endian(&boot[kMasterSector32], 4);
    if (master_sector != master_lump * kSectorsPerLump)
        problems.push_back("sector 0: the master directory's sector (110) is " + hex_text(master_sector, 8) +
                           ", but its entry (12c) starts at lump " + lump_text(master_lump) + ", sector " +
                           hex_text(master_lump * kSectorsPerLump, 8));
    const uint32_t short_copy = big_endian(&boot[kMasterSector16], 2);
    if (short_copy != (master_sector & 0xFFFF))
        problems.push_back("sector 0: the master directory's sector (105) is " + hex_text(short_copy, 4) + ", not " +
                           hex_text(master_sector & 0xFFFF, 4) + " as at 110");
    if ((boot[kMasterEntry + 6] & kDirectoryFlag) == 0)
        problems.push_back("sector 0: the master directory's entry (12c) is not marked a directory");
}

// Why a stored name is no name, or empty.
std::string name_problem(const std::string& name)
{
    if (name.empty())
        return "has no name";
    if (name.size() > kMaxNameLength)
        return "has a name of 20 characters with no NUL to end it";
    const auto bad = std::find_if_not(name.begin(), name.end(), [](char c) { return name_character(c); });
    if (bad != name.end())
        return "has byte " + hex_text(static_cast<unsigned char>(*bad), 2) + " in its name";
    return "";
}

// Reads the directories from the master directory down, each once: a directory
// that two entries lead to is claimed by the first.
void check_tree(Volume& volume, LumpOwners& owners, std::vector<std::string>& problems)
{
    std::deque<Directory> directories;
    const Chain master = owners.claim(volume, "/", volume.layout.master_lump);
    if (!master.error.empty())
        problems.push_back("/: " + master.error);
    directories.push_back({"/", master.lumps});
    for (; !directories.empty(); directories.pop_front()) {
        const Directory& directory = directories.front();
        std::set<std::string> names;
        any_slot(volume, directory, [&](const SlotPlace& place, auto bytes) {
            const Entry entry = decode_entry(bytes, volume.layout.type);
            if (entry.start_lump == 0)
                return false;
            std::string path = joined(directory.path, entry.name);
            if (const std::string problem = name_problem(entry.name); !problem.empty()) {
                path = directory.path + ": the entry at " + hex_text(place.offset, 4);
                problems.push_back(path + " " + problem);
            } else if (!names.insert(entry.name).second) {
                problems.push_back(directory.path + ": two entries are named " + entry.name);
            }
            if (const std::string problem = eof_problem(entry); !problem.empty())
                problems.push_back(path + ": " + problem);
            Chain chain = owners.claim(volume, path, entry.start_lump);
            if (!chain.error.empty())
                problems.push_back(path + ": " + chain.error);
            if (entry.flags & kDirectoryFlag)
                directories.push_back({path, std::move(chain.lumps)});
            return false;
        });
    }
}

void report_lost(uint32_t first, uint32_t last, std::vector<std::string>& problems)
{
    if (first == last)
        problems.push_back("lump " + lump_text(first) + " is marked in use, but no file or directory holds it");
    else
        problems.push_back("lumps " + lump_text(first) + "-" + lump_text(last) +
                           " are marked in use, but no file or directory holds them");
}

void check_table(Volume& volume, const LumpOwners& owners, std::vector<std::string>& problems)
{
    const Layout& layout = volume.layout;
    for (uint32_t lump = 0; lump < layout.table_lumps(); ++lump) {
        const uint32_t value = table_entry(volume, lump);
        if (value != layout.reserved())
            problems.push_back("lump " + lump_text(lump) + " holds sector 0, the loader or the allocation table, but is marked " +
                               layout.entry_text(value) + ", not " + layout.entry_text(layout.reserved()));
    }
    uint32_t lost_from = 0;  // the first lump of a run that no chain reached, or 0: none
    for (uint32_t lump = layout.table_lumps(); lump <= layout.lumps; ++lump) {
        const uint32_t value = lump < layout.lumps ? table_entry(volume, lump) : kFree;
        const bool lost = !(value == kFree || value == layout.reserved() || owners.held(lump));
        if (lost && lost_from == 0)
            lost_from = lump;
        if (!lost && lost_from != 0) {
            report_lost(lost_from, lump - 1, problems);
            lost_from = 0;
        }
    }
    for (uint32_t lump = layout.lumps; lump < layout.table_sectors() * layout.entries_per_sector(); ++lump) {
        const uint32_t value = table_entry(volume, lump);
        if (value != layout.reserved()) {
            problems.push_back("the allocation table's entry for lump " + lump_text(lump) +
                               ", past the disk's last lump, is " + layout.entry_text(value) + ", not " +
                               layout.entry_text(layout.reserved()));
            break;
        }
    }
}

}  // namespace

CheckReport check(SectorStore& image)
{
    CheckReport report;
    Sectors sectors(image);
    Opened opened = open_volume(sectors);
    if (opened.volume) {
        check_boot_sector(*opened.volume, report.problems);
        LumpOwners owners(opened.volume->layout);
        check_tree(*opened.volume, owners, report.problems);
        check_table(*opened.volume, owners, report.problems);
    } else {
        report.problems.push_back(opened.error);
    }
    report.error = sectors.finish("");
    if (!report.error.empty())
        report.problems.clear();
    return report;
}

}  // namespace cosmac::elfos
