// Disk images as sectors of 512 bytes, sector n at byte n × 512 of the file.
// Images are often sparse, or shorter than the disk they hold: a sector past the
// end of the file reads as zeros.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace cosmac {

constexpr std::size_t kSectorSize = 512;
using Sector = std::array<uint8_t, kSectorSize>;

struct SectorWrite {
    uint32_t sector;
    const Sector* bytes;
};

// Where an image's sectors are kept: a file on the host, or memory.
class SectorStore {
public:
    virtual ~SectorStore() = default;
    // 0, or the error of the read that failed.
    virtual int read(uint32_t sector, Sector& bytes) = 0;
    // Writes the sectors in the order given, once the space for all of them is
    // taken, so that a full host disk shows before any sector has changed; 0, or
    // the error of the call that failed.
    virtual int write(const std::vector<SectorWrite>& writes) = 0;
};

// An image file open on fd (not closed here), written through sector by sector
// in place and flushed to the disk after each batch.
class FileSectors : public SectorStore {
public:
    explicit FileSectors(int fd) : fd_(fd) {}
    int read(uint32_t sector, Sector& bytes) override;
    int write(const std::vector<SectorWrite>& writes) override;

private:
    int fd_;
};

// The sectors an image holds, in memory; those never written read as zeros.
class MemorySectors : public SectorStore {
public:
    int read(uint32_t sector, Sector& bytes) override;
    int write(const std::vector<SectorWrite>& writes) override;
    const std::map<uint32_t, Sector>& sectors() const { return sectors_; }

private:
    std::map<uint32_t, Sector> sectors_;
};

}  // namespace cosmac
