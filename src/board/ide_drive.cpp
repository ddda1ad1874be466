#include "board/ide_drive.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "image/disk_sectors.hpp"
#include "image/elfos_disk.hpp"
#include "image/posix_file.hpp"

namespace cosmac {
namespace {

constexpr uint32_t kLargestCapacity = 0x0FFFFFFF;  // what 28 bits of LBA reach

// Status bits.
constexpr uint8_t kReady = 0x40 | 0x10;  // DRDY and DSC: idle and able
constexpr uint8_t kDataRequest = 0x08;
constexpr uint8_t kError = 0x01;

// Error bits.
constexpr uint8_t kIdNotFound = 0x10;
constexpr uint8_t kAborted = 0x04;

// Registers of the control block, which the select byte reaches as 8-F.
constexpr unsigned kAlternateStatus = 0x0E;  // read; device control when written
constexpr uint8_t kSoftReset = 0x04;

enum Command : uint8_t {
    kReadSectors = 0x20,
    kReadSectorsNoRetry = 0x21,
    kWriteSectors = 0x30,
    kWriteSectorsNoRetry = 0x31,
    kIdentify = 0xEC,
    kSetFeatures = 0xEF,
};

// SET FEATURES: 8-bit transfers on and off.
constexpr uint8_t kEightBitOn = 0x01;
constexpr uint8_t kEightBitOff = 0x81;

std::string failed(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// The sectors an Elf/OS boot sector says the disk has, where it names type I or II.
uint32_t declared_sectors(const Sector& boot)
{
    const uint8_t type = elfos::filesystem_type(boot);
    return type == 1 || type == 2 ? elfos::declared_sectors(boot) : 0;
}

off_t at(uint32_t sector) { return static_cast<off_t>(sector) * static_cast<off_t>(kSectorSize); }

}  // namespace

IdeDrive::Opened IdeDrive::open(const DiskOptions& options)
{
    int flags = options.read_only ? O_RDONLY : O_RDWR;
    if (options.create)
        flags |= O_CREAT;
    const bool existed = ::access(options.path.c_str(), F_OK) == 0;
    const int fd = open_file(options.path, flags);
    if (fd < 0)
        return {nullptr, failed(options.path, errno)};
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) {
        const int error = errno;
        ::close(fd);
        return {nullptr, failed(options.path, error)};
    }
    uint32_t capacity = 0;
    if (options.sectors) {
        capacity = *options.sectors;
    } else {
        // The larger of the file and what an Elf/OS boot sector says of the disk,
        // since the generator writes only the sectors it uses.
        Sector boot{};
        read_all_at(fd, boot.data(), boot.size(), 0);
        const uint64_t in_file = (static_cast<uint64_t>(size) + kSectorSize - 1) / kSectorSize;
        capacity = static_cast<uint32_t>(
            std::min<uint64_t>(std::max<uint64_t>(in_file, declared_sectors(boot)), kLargestCapacity));
    }
    if (capacity == 0) {
        ::close(fd);
        if (!existed)
            ::unlink(options.path.c_str());  // made for nothing
        return {nullptr, options.path + ": the disk has no sectors; give its size with sectors=N"};
    }
    return {std::unique_ptr<IdeDrive>(new IdeDrive(fd, options.path, capacity, options.read_only)), {}};
}

IdeDrive::IdeDrive(int fd, std::string path, uint32_t capacity, bool read_only)
    : fd_(fd), path_(std::move(path)), capacity_(capacity), read_only_(read_only)
{
    reset();
}

IdeDrive::~IdeDrive() { ::close(fd_); }

// After a reset the registers hold the ATA signature of a disk, and the error
// register says the drive passed its diagnostics.
void IdeDrive::reset()
{
    error_ = 0x01;
    count_ = 0x01;
    lba_ = {0x01, 0x00, 0x00};
    device_ = 0;
    status_ = kReady;
    transfer_ = Transfer::None;
}

uint8_t IdeDrive::read(unsigned reg)
{
    const bool status = reg == 7 || reg == kAlternateStatus;
    if (status)
        return slave_selected() ? 0x00 : status_;  // no slave on the cable
    switch (reg) {
    case 0: {
        if (transfer_ != Transfer::ToHost)
            return 0xFF;
        const uint8_t byte = buffer_[position_++];
        if (position_ == kSectorSize)
            next_sector();
        return byte;
    }
    case 1:
        return error_;
    case 2:
        return count_;
    case 3:
    case 4:
    case 5:
        return lba_[reg - 3];
    case 6:
        return device_;
    default:
        return 0xFF;
    }
}

void IdeDrive::write(unsigned reg, uint8_t value)
{
    switch (reg) {
    case 0:
        if (transfer_ != Transfer::FromHost)
            return;
        buffer_[position_++] = value;
        if (position_ < kSectorSize)
            return;
        if (write_all_at(fd_, buffer_.data(), kSectorSize, at(sector_)) != 0) {
            fail(kAborted);  // all a drive can say of a sector it could not write
            return;
        }
        ++sectors_written_;
        next_sector();
        return;
    case 1:
        features_ = value;
        return;
    case 2:
        count_ = value;
        return;
    case 3:
    case 4:
    case 5:
        lba_[reg - 3] = value;
        return;
    case 6:
        device_ = value;
        return;
    case 7:
        if (!slave_selected())
            execute(value);
        return;
    case kAlternateStatus:
        if ((control_ & kSoftReset) && !(value & kSoftReset))  // the end of the reset pulse
            reset();
        control_ = value;
        return;
    default:
        return;
    }
}

// A command starts when it is written, from the task file as it stands then:
// LBA28 from registers 3-5 and the low four bits of 6, a count of 0 meaning 256.
void IdeDrive::execute(uint8_t command)
{
    last_command_ = command;
    transfer_ = Transfer::None;
    sector_ = static_cast<uint32_t>((device_ & 0x0F) << 24 | lba_[2] << 16 | lba_[1] << 8 | lba_[0]);
    sectors_left_ = (count_ == 0 ? 256u : count_) - 1;
    switch (command) {
    case kReadSectors:
    case kReadSectorsNoRetry:
        transfer_ = Transfer::ToHost;
        start_sector();
        return;
    case kWriteSectors:
    case kWriteSectorsNoRetry:
        if (read_only_) {
            fail(kAborted);
        } else {
            transfer_ = Transfer::FromHost;
            start_sector();
        }
        return;
    case kIdentify:
        identify();
        return;
    case kSetFeatures:
        if (features_ == kEightBitOn || features_ == kEightBitOff)
            finish();
        else
            fail(kAborted);
        return;
    default:
        fail(kAborted);
        return;
    }
}

// The transfer of sector_: for a read, the sector into the buffer, which past
// the end of the file reads as zeros. A sector at or beyond the capacity is not
// found.
void IdeDrive::start_sector()
{
    if (sector_ >= capacity_) {
        fail(kIdNotFound);
        return;
    }
    position_ = 0;
    status_ = kReady | kDataRequest;
    if (transfer_ != Transfer::ToHost)
        return;
    buffer_.fill(0);
    if (read_all_at(fd_, buffer_.data(), kSectorSize, at(sector_)).error_number != 0) {
        fail(kAborted);
        return;
    }
    ++sectors_read_;
}

// After the 512th byte of a sector: the command's next sector, or its end.
void IdeDrive::next_sector()
{
    if (sectors_left_ == 0) {
        finish();
        return;
    }
    --sectors_left_;
    ++sector_;
    start_sector();
}

void IdeDrive::fail(uint8_t error)
{
    error_ = error;
    status_ = kReady | kError;
    transfer_ = Transfer::None;
}

void IdeDrive::finish()
{
    error_ = 0;
    status_ = kReady;
    transfer_ = Transfer::None;
}

// IDENTIFY DEVICE: 256 words, each low byte first; strings space-padded with the
// two characters of each word swapped, as ATA has them.
void IdeDrive::identify()
{
    std::array<uint16_t, 256> words{};
    const uint32_t cylinders = std::min<uint32_t>(capacity_ / (16 * 63), 16383);
    words[0] = 0x0040;  // a fixed disk
    words[1] = static_cast<uint16_t>(cylinders);
    words[3] = 16;  // heads
    words[6] = 63;  // sectors a track
    const char model[] = "cosmac IDE disk";
    for (unsigned i = 0; i < 40; ++i) {
        const char c = i < sizeof model - 1 ? model[i] : ' ';
        words[27 + i / 2] = static_cast<uint16_t>(words[27 + i / 2] | static_cast<uint8_t>(c) << (i % 2 ? 0 : 8));
    }
    words[49] = 1 << 9;  // LBA
    words[60] = static_cast<uint16_t>(capacity_);
    words[61] = static_cast<uint16_t>(capacity_ >> 16);
    for (unsigned i = 0; i < words.size(); ++i) {
        buffer_[2 * i] = static_cast<uint8_t>(words[i]);
        buffer_[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    position_ = 0;
    sectors_left_ = 0;
    transfer_ = Transfer::ToHost;
    status_ = kReady | kDataRequest;
}

}  // namespace cosmac
