#include "image/image_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

constexpr uint8_t kMagic[2] = {0xBE, 0xDE};
constexpr uint8_t kVersion[2] = {0x01, 0x00};
constexpr std::size_t kHeaderSize = 8;

ImageResult system_error(std::string_view context, int error_number)
{
    return {ImageResult::Kind::SystemError, context, error_number};
}

// The range [location, location + length) of memory as at most two runs of bytes.
struct Runs {
    std::size_t first_size;
    std::size_t second_size;
};

Runs split_at_end_of_memory(uint16_t location, uint16_t length)
{
    const std::size_t to_end = 0x10000 - location;
    return length <= to_end ? Runs{length, 0} : Runs{to_end, length - to_end};
}

ImageResult write_image(int fd, const Memory& memory, uint16_t location, uint16_t length)
{
    const uint8_t header[kHeaderSize] = {kMagic[0],
                                         kMagic[1],
                                         kVersion[0],
                                         kVersion[1],
                                         static_cast<uint8_t>(location),
                                         static_cast<uint8_t>(location >> 8),
                                         static_cast<uint8_t>(length),
                                         static_cast<uint8_t>(length >> 8)};
    if (const int error = write_all(fd, header, sizeof header))
        return system_error("write", error);
    // An empty save is reported as a failed write, with no system error behind it;
    // users and stored files rely on that.
    if (length == 0)
        return system_error("write", 0);
    const Runs runs = split_at_end_of_memory(location, length);
    if (const int error = write_all(fd, &memory[location], runs.first_size))
        return system_error("write", error);
    if (const int error = write_all(fd, &memory[0], runs.second_size))
        return system_error("write", error);
    return {};
}

ImageResult read_image(int fd, Memory& memory)
{
    uint8_t header[kHeaderSize];
    const ReadCount header_read = read_all(fd, header, sizeof header);
    if (header_read.bytes < sizeof header)
        return system_error("Error reading file header", header_read.error_number);
    if (std::memcmp(header, kMagic, 2) != 0 || std::memcmp(header + 2, kVersion, 2) != 0)
        return {ImageResult::Kind::InvalidFile, {}, 0};

    const auto location = static_cast<uint16_t>(header[4] | header[5] << 8);
    const auto length = static_cast<uint16_t>(header[6] | header[7] << 8);
    if (length == 0)
        return system_error("Error reading file", 0);
    const Runs runs = split_at_end_of_memory(location, length);
    ReadCount body = read_all(fd, &memory[location], runs.first_size);
    if (body.bytes == runs.first_size) {
        if (runs.second_size == 0)
            return {};
        body = read_all(fd, &memory[0], runs.second_size);
        if (body.bytes == runs.second_size)
            return {};
    }
    return system_error("Error reading file", body.error_number);
}

}  // namespace

std::string image_file_name(std::string_view name)
{
    std::string path(name);
    if (path.find('.') == std::string::npos)
        path += ".elf";
    return path;
}

ImageResult save_image(const std::string& path, const Memory& memory, uint16_t location, uint16_t length)
{
    const int fd = open_file(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return system_error("Open", errno);
    ImageResult result = write_image(fd, memory, location, length);
    // A full disk may only show when the data reaches it at close; a save is
    // reported once, by its first failure.
    if (::close(fd) != 0 && result.kind == ImageResult::Kind::Ok)
        result = system_error("write", errno);
    return result;
}

ImageResult load_image(const std::string& path, Memory& memory)
{
    const int fd = open_file(path, O_RDONLY);
    if (fd < 0)
        return system_error("Open", errno);
    const ImageResult result = read_image(fd, memory);
    ::close(fd);
    return result;
}

}  // namespace cosmac
