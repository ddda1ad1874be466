#include "image/disk_sectors.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

off_t offset_of(uint32_t sector) { return static_cast<off_t>(sector) * static_cast<off_t>(kSectorSize); }

}  // namespace

int FileSectors::read(uint32_t sector, Sector& bytes)
{
    const ReadCount count = read_all_at(fd_, bytes.data(), bytes.size(), offset_of(sector));
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(count.bytes), bytes.end(), 0);
    return count.error_number;
}

int FileSectors::write(const std::vector<SectorWrite>& writes)
{
    for (const SectorWrite& write : writes) {
        const int reserved = ::posix_fallocate(fd_, offset_of(write.sector), kSectorSize);
        // Some file systems cannot reserve space; they still take the bytes.
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
            return reserved;
    }
    for (const SectorWrite& write : writes) {
        if (const int error = write_all_at(fd_, write.bytes->data(), kSectorSize, offset_of(write.sector)))
            return error;
    }
    return ::fsync(fd_) != 0 && errno != EINVAL ? errno : 0;
}

int MemorySectors::read(uint32_t sector, Sector& bytes)
{
    const auto found = sectors_.find(sector);
    if (found == sectors_.end())
        bytes.fill(0);
    else
        bytes = found->second;
    return 0;
}

int MemorySectors::write(const std::vector<SectorWrite>& writes)
{
    for (const SectorWrite& write : writes)
        sectors_[write.sector] = *write.bytes;
    return 0;
}

}  // namespace cosmac
