// An IDE drive, the master on its cable, as an 8-bit ATA task file over a disk
// image: a file of 512-byte sectors, LBA n at byte n × 512. The image is the
// user's data: each sector is written to the file as it completes, and a
// read-only drive refuses writes with the drive's error and never touches it.
// Images may be sparse: sectors past the end of the file read as zeros, and a
// write there extends it. Every command completes at once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "image/disk_sectors.hpp"

namespace cosmac {

// --disk IMAGE[,sectors=N][,ro][,new]
struct DiskOptions {
    std::string path{};
    std::optional<uint32_t> sectors{};  // the capacity; by default the file's or its boot sector's
    bool read_only = false;
    bool create = false;  // make the file when it is missing
};

class IdeDrive {
public:
    // The drive on its image, or the message why it cannot be opened.
    struct Opened;
    static Opened open(const DiskOptions& options);

    ~IdeDrive();
    IdeDrive(const IdeDrive&) = delete;
    IdeDrive& operator=(const IdeDrive&) = delete;

    // The task file's registers: 0-7 the command block, 8-F the control block.
    uint8_t read(unsigned reg);
    void write(unsigned reg, uint8_t value);
    // The reset line of the cable, or a soft reset: the registers as a drive
    // leaves them after its diagnostics, and any command abandoned.
    void reset();

    // What the monitor shows of it.
    const std::string& path() const { return path_; }
    uint32_t capacity() const { return capacity_; }
    bool read_only() const { return read_only_; }
    uint8_t status() const { return status_; }
    uint8_t error() const { return error_; }
    std::optional<uint8_t> last_command() const { return last_command_; }
    uint64_t sectors_read() const { return sectors_read_; }
    uint64_t sectors_written() const { return sectors_written_; }

private:
    IdeDrive(int fd, std::string path, uint32_t capacity, bool read_only);

    enum class Transfer : uint8_t { None, ToHost, FromHost };

    bool slave_selected() const { return device_ & 0x10; }
    void execute(uint8_t command);
    void fail(uint8_t error);
    void finish();
    void start_sector();
    void next_sector();
    void identify();

    int fd_;
    std::string path_;
    uint32_t capacity_;
    bool read_only_;

    // The task file.
    uint8_t error_ = 0x01;
    uint8_t features_ = 0;
    uint8_t count_ = 0x01;
    std::array<uint8_t, 3> lba_{0x01, 0x00, 0x00};  // bits 0-7, 8-15, 16-23
    uint8_t device_ = 0;
    uint8_t status_ = 0;
    uint8_t control_ = 0;

    // The command in progress.
    Transfer transfer_ = Transfer::None;
    uint32_t sector_ = 0;        // the LBA of the sector in the buffer
    unsigned sectors_left_ = 0;  // after it
    Sector buffer_{};
    unsigned position_ = 0;

    std::optional<uint8_t> last_command_;
    uint64_t sectors_read_ = 0;
    uint64_t sectors_written_ = 0;
};

struct IdeDrive::Opened {
    std::unique_ptr<IdeDrive> drive;
    std::string error;  // "disk.ide: No such file or directory"
};

}  // namespace cosmac
