#include "monitor/image_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "monitor/hex_number.hpp"

namespace cosmac {
namespace {

constexpr uint8_t kMagic[2] = {0xBE, 0xDE};
constexpr uint8_t kVersion[2] = {0x01, 0x00};
constexpr std::size_t kHeaderSize = 8;

ImageResult system_error(std::string_view context, int error_number)
{
    return {ImageResult::Kind::SystemError, context, error_number};
}

// Opened without blocking, so that a FIFO without a partner fails or reads as
// empty instead of hanging the monitor; reads and writes then block as usual.
int open_file(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The error of the call that failed, or 0 when every byte was written.
int write_fully(int fd, const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

struct ReadCount {
    std::size_t bytes = 0;
    int error_number = 0;  // 0 when the file simply ended
};

ReadCount read_fully(int fd, uint8_t* data, std::size_t size)
{
    ReadCount count;
    while (count.bytes < size) {
        const ssize_t n = ::read(fd, data + count.bytes, size - count.bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            count.error_number = errno;
        if (n <= 0)
            break;
        count.bytes += static_cast<std::size_t>(n);
    }
    return count;
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
    if (const int error = write_fully(fd, header, sizeof header))
        return system_error("write", error);
    // An empty save is reported as a failed write, with no system error behind it;
    // users and stored files rely on that.
    if (length == 0)
        return system_error("write", 0);
    const Runs runs = split_at_end_of_memory(location, length);
    if (const int error = write_fully(fd, &memory[location], runs.first_size))
        return system_error("write", error);
    if (const int error = write_fully(fd, &memory[0], runs.second_size))
        return system_error("write", error);
    return {};
}

ImageResult read_image(int fd, Memory& memory)
{
    uint8_t header[kHeaderSize];
    const ReadCount header_read = read_fully(fd, header, sizeof header);
    if (header_read.bytes < sizeof header)
        return system_error("Error reading file header", header_read.error_number);
    if (std::memcmp(header, kMagic, 2) != 0 || std::memcmp(header + 2, kVersion, 2) != 0)
        return {ImageResult::Kind::InvalidFile, {}, 0};

    const auto location = static_cast<uint16_t>(header[4] | header[5] << 8);
    const auto length = static_cast<uint16_t>(header[6] | header[7] << 8);
    if (length == 0)
        return system_error("Error reading file", 0);
    const Runs runs = split_at_end_of_memory(location, length);
    ReadCount body = read_fully(fd, &memory[location], runs.first_size);
    if (body.bytes == runs.first_size) {
        if (runs.second_size == 0)
            return {};
        body = read_fully(fd, &memory[0], runs.second_size);
        if (body.bytes == runs.second_size)
            return {};
    }
    return system_error("Error reading file", body.error_number);
}

void report(Console& console, const ImageResult& result)
{
    switch (result.kind) {
    case ImageResult::Kind::Ok:
        break;
    case ImageResult::Kind::InvalidFile:
        console.write("Invalid file\n");
        break;
    case ImageResult::Kind::SystemError:
        console.write_error(std::string(result.context) + ": " + std::strerror(result.error_number) + "\n");
        break;
    }
}

// The command line as scanf sees it: text ends at a NUL byte.
std::string_view as_c_string(std::string_view line) { return line.substr(0, line.find('\0')); }

// "%c %s": the letter, then a file name of non-blank characters.
std::optional<std::string_view> file_name_argument(std::string_view line, std::size_t& position)
{
    if (line.empty())
        return std::nullopt;
    position = 1;
    while (position < line.size() && is_blank(line[position]))
        ++position;
    const std::size_t start = position;
    while (position < line.size() && !is_blank(line[position]))
        ++position;
    if (position == start)
        return std::nullopt;
    return line.substr(start, position - start);
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

void save_command(Console& console, const Memory& memory, std::string_view line)
{
    line = as_c_string(line);
    std::size_t position = 0;
    const auto name = file_name_argument(line, position);
    const auto location = name ? parse_hex(line, position) : std::nullopt;
    const auto length = location ? parse_hex(line, position) : std::nullopt;
    if (!length) {
        console.write("Usage: S [filename] [location] [length]\n");
        return;
    }
    report(console, save_image(image_file_name(*name), memory, static_cast<uint16_t>(*location),
                               static_cast<uint16_t>(*length)));
}

void load_command(Console& console, Memory& memory, std::string_view line)
{
    line = as_c_string(line);
    std::size_t position = 0;
    const auto name = file_name_argument(line, position);
    if (!name) {
        console.write("Usage: L [filename]\n");
        return;
    }
    load_file(console, memory, *name);
}

void load_file(Console& console, Memory& memory, std::string_view name)
{
    report(console, load_image(image_file_name(name), memory));
}

}  // namespace cosmac
