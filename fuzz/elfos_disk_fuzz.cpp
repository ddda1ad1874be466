// Elf/OS images of arbitrary bytes: ls of every directory, get of every file,
// and the check. None may read a sector past the disk that sector 0 declares,
// crash or loop. On an image that the check finds sound, a file put in reads
// back the same, and putting it, then removing it, leaves the image sound.
//
// The input is a run of sectors, each a 2-byte number, a 2-byte length (at
// most 512) and that many bytes; sectors not given are zeros, as past the end
// of a sparse image. So a seed of a few hundred bytes holds an image whose
// table and directories lie kilobytes apart.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "image/disk_sectors.hpp"
#include "image/elfos_disk.hpp"

namespace {

namespace elfos = cosmac::elfos;

// Disks past this size take longer to check, through the same code.
constexpr uint32_t kLargestDisk = 1u << 15;
constexpr int kMostDirectories = 64;
constexpr int kMostFiles = 512;

// The image, stopping the run at any access past the disk.
class BoundedSectors : public cosmac::SectorStore {
public:
    BoundedSectors(cosmac::MemorySectors& sectors, uint32_t size) : sectors_(sectors), size_(size) {}

    int read(uint32_t sector, cosmac::Sector& bytes) override
    {
        if (sector != 0 && sector >= size_)
            std::abort();
        return sectors_.read(sector, bytes);
    }

    int write(const std::vector<cosmac::SectorWrite>& writes) override
    {
        for (const cosmac::SectorWrite& write : writes) {
            if (write.sector >= size_)
                std::abort();
        }
        return sectors_.write(writes);
    }

private:
    cosmac::MemorySectors& sectors_;
    uint32_t size_;
};

cosmac::MemorySectors image_of(const uint8_t* data, std::size_t size)
{
    cosmac::MemorySectors image;
    for (std::size_t at = 0; at + 4 <= size;) {
        const uint32_t sector = data[at] << 8 | data[at + 1];
        const std::size_t given = data[at + 2] << 8 | data[at + 3];
        const std::size_t length = std::min({given, cosmac::kSectorSize, size - at - 4});
        cosmac::Sector bytes{};
        std::copy_n(data + at + 4, length, bytes.begin());
        image.write({{sector, &bytes}});
        at += 4 + length;
    }
    return image;
}

// Lists every directory and reads every file it can reach by its path: a file
// listed with a size reads as that many bytes. A directory whose chain meets
// another's, one that leads back up say, is not read again.
void read_everything(cosmac::SectorStore& image)
{
    std::deque<std::string> directories = {"/"};
    int files = 0;
    for (int listed = 0; !directories.empty() && listed < kMostDirectories; ++listed, directories.pop_front()) {
        const std::string directory = directories.front();
        std::set<std::string> names;
        elfos::list(image, directory, [&](const elfos::Listed& entry) {
            const std::string& name = entry.entry.name;
            // A path leads to the first entry of a name, and to none with a / in it.
            if (name.empty() || name.find('/') != std::string::npos || !names.insert(name).second)
                return;
            const std::string path = (directory == "/" ? "" : directory) + "/" + name;
            if (entry.entry.flags & elfos::kDirectoryFlag) {
                if (entry.problem.empty())
                    directories.push_back(path);
                return;
            }
            if (++files > kMostFiles)
                return;
            uint64_t size = 0;
            const std::string error = elfos::read_file(image, path, [&](std::string_view bytes) {
                size += bytes.size();
                return true;
            });
            if (entry.problem.empty() && (!error.empty() || size != entry.size))
                std::abort();
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    cosmac::MemorySectors memory = image_of(data, size);
    cosmac::Sector boot;
    memory.read(0, boot);
    const uint32_t sectors = elfos::declared_sectors(boot);
    if (sectors > kLargestDisk)
        return 0;
    BoundedSectors image(memory, sectors);
    read_everything(image);
    const elfos::CheckReport report = elfos::check(image);
    if (!report.error.empty() || !report.problems.empty())
        return 0;

    const std::string bytes(size % 9000, 'z');
    elfos::NewFile file;
    file.flags = elfos::kExecutableFlag;
    const std::string path = "/fuzz-" + std::to_string(size);
    if (!elfos::add_file(image, path, bytes, file).empty())
        return 0;  // a full disk, a full directory on a full disk, a name taken
    std::string read;
    const std::string error = elfos::read_file(image, path, [&](std::string_view piece) {
        read += piece;
        return true;
    });
    if (!error.empty() || read != bytes || !elfos::check(image).problems.empty())
        std::abort();
    if (!elfos::remove(image, path).empty() || !elfos::check(image).problems.empty())
        std::abort();
    return 0;
}
