#include "image/image_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "image/posix_file.hpp"

namespace cosmac {
namespace {

constexpr uint8_t kMagic[] = {0xBE, 0xDE};
constexpr uint8_t kVersion[2] = {0x01, 0x00};

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
    const std::size_t first_size = std::min<std::size_t>(length, kMemorySize - location);
    return Runs{first_size, length - first_size};
}


// Closes fd; a full disk may only show there. A save is reported once, by its
// first failure.
ImageResult closed(int fd, ImageResult result)
{
    if (::close(fd) != 0 && result.kind == ImageResult::Kind::Ok)
        return system_error("write", errno);
    return result;
}

// An empty save keeps its header, as it always has.
bool keeps_file(const ImageResult& result, uint16_t length)
{
    return result.kind == ImageResult::Kind::Ok || (length == 0 && result.error_number == 0);
}

// Writes the image over the start of the regular file open on fd, cuts the file
// to the image's size and flushes it to the disk; closes fd. The space is taken
// first, so that a full disk is found before any old byte is written over.
// Whether the file is to be kept.
bool write_and_close(int fd, const Memory& memory, uint16_t location, uint16_t length, ImageResult& result)
{
    const off_t size = static_cast<off_t>(kImageHeaderSize + length);
    const int reserved = ::posix_fallocate(fd, 0, size);
    // Some file systems cannot reserve space; they still take the bytes.
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
        result = system_error("write", reserved);
    else
        result = write_image(fd, memory, location, length);
    if (keeps_file(result, length) && ::ftruncate(fd, size) != 0)
        result = system_error("write", errno);
    if (keeps_file(result, length) && ::fsync(fd) != 0 && errno != EINVAL)
        result = system_error("write", errno);
    result = closed(fd, result);
    return keeps_file(result, length);
}

// A new file is removed again when the save fails.
ImageResult save_new_file(const std::string& path, const Memory& memory, uint16_t location, uint16_t length)
{
    const int fd = open_file(path, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0)
        return system_error("Open", errno);
    ImageResult result;
    if (!write_and_close(fd, memory, location, length, result))
        ::unlink(path.c_str());
    return result;
}

// An existing file is replaced whole, or not at all: the image goes to a new file
// beside it, which takes the old file's place only once every byte is on the disk.
ImageResult replace_file(const std::string& path, const struct stat& old, const Memory& memory, uint16_t location,
                         uint16_t length)
{
    const std::size_t slash = path.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".cosmac-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return system_error("Open", errno);
    (void)::fchown(fd, old.st_uid, old.st_gid);  // where the user may; the mode matters more
    ImageResult result;
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        result = system_error("Open", errno);
        ::close(fd);
    } else if (write_and_close(fd, memory, location, length, result)) {
        if (::rename(temporary.c_str(), path.c_str()) == 0)
            return result;
        result = system_error("write", errno);
    }
    ::unlink(temporary.c_str());
    return result;
}

// An existing file, open for writing on fd. A file with other hard links is
// written where it stands, so that every link sees the new bytes; devices, FIFOs
// and other special files take the bytes as they come.
ImageResult save_existing_file(int fd, const std::string& path, const Memory& memory, uint16_t location,
                               uint16_t length)
{
    struct stat existing {};
    if (::fstat(fd, &existing) != 0)
        return closed(fd, system_error("Open", errno));
    if (!S_ISREG(existing.st_mode))
        return closed(fd, write_image(fd, memory, location, length));
    if (existing.st_nlink > 1) {
        ImageResult result;
        write_and_close(fd, memory, location, length, result);
        return result;
    }
    ::close(fd);
    return replace_file(path, existing, memory, location, length);
}

ImageResult read_image(int fd, Memory& memory)
{
    uint8_t header[kImageHeaderSize];
    const ReadCount header_read = read_all(fd, header, sizeof header);
    if (header_read.bytes < sizeof header)
        return system_error("Error reading file header", header_read.error_number);
    const auto parsed = image_header(header);
    if (!parsed)
        return {ImageResult::Kind::InvalidFile, {}, 0};
    const auto [location, length] = *parsed;
    if (length == 0)
        return system_error("Error reading file", 0);
    std::vector<uint8_t> body(length);
    const ReadCount body_read = read_all(fd, body.data(), length);
    body.resize(body_read.bytes);  // a short body still loads the bytes it has
    place_all(memory, image_chunks(location, body));
    if (body_read.bytes < length)
        return system_error("Error reading file", body_read.error_number);
    return {};
}

}  // namespace

ImageResult write_image(int fd, const Memory& memory, uint16_t location, uint16_t length)
{
    // The whole image is made before its first byte is written, so that a file
    // written in place is never left with part of it for want of the rest.
    std::vector<uint8_t> image = {kMagic[0],
                                  kMagic[1],
                                  kVersion[0],
                                  kVersion[1],
                                  static_cast<uint8_t>(location),
                                  static_cast<uint8_t>(location >> 8),
                                  static_cast<uint8_t>(length),
                                  static_cast<uint8_t>(length >> 8)};
    const Runs runs = split_at_end_of_memory(location, length);
    const auto start = memory.begin() + location;
    image.insert(image.end(), start, start + static_cast<std::ptrdiff_t>(runs.first_size));
    image.insert(image.end(), memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(runs.second_size));
    if (const int error = write_all(fd, image.data(), image.size()))
        return system_error("write", error);
    // An empty save is reported as a failed write, with no system error behind it;
    // users and stored files rely on that.
    if (length == 0)
        return system_error("write", 0);
    return {};
}

std::optional<ImageHeader> image_header(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kImageHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        std::memcmp(bytes.data() + 2, kVersion, 2) != 0)
        return std::nullopt;
    return ImageHeader{static_cast<uint16_t>(bytes[4] | bytes[5] << 8), static_cast<uint16_t>(bytes[6] | bytes[7] << 8)};
}

std::vector<Chunk> image_chunks(uint16_t location, std::span<const uint8_t> body)
{
    const std::size_t to_end = kMemorySize - location;
    std::vector<Chunk> chunks{{location, {body.begin(), body.begin() + std::min(body.size(), to_end)}}};
    if (body.size() > to_end)
        chunks.push_back({0, {body.begin() + to_end, body.end()}});
    return chunks;
}

std::string image_file_name(std::string_view name)
{
    std::string path(name);
    if (path.find('.') == std::string::npos)
        path += ".elf";
    return path;
}

ImageResult save_image(const std::string& path, const Memory& memory, uint16_t location, uint16_t length)
{
    const std::string target = link_target(path);  // a symbolic link is saved through
    // Opened first, so that a file the user may not write (made read-only, say) is
    // refused as the system refuses it, before anything is made or replaced. A loop
    // of links and a directory fail here too.
    const int fd = open_file(target, O_WRONLY);
    if (fd < 0)
        return errno == ENOENT ? save_new_file(target, memory, location, length) : system_error("Open", errno);
    return save_existing_file(fd, target, memory, location, length);
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
