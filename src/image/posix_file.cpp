#include "image/posix_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "text/text.hpp"

namespace cosmac {

namespace {

struct FileIdentity {
    dev_t device;
    ino_t inode;
    std::filesystem::path path;  // of a file still to be made
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identity(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0)
        return {status.st_dev, status.st_ino, {}};
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(link_target(path), error);
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return {0, 0, error ? absolute.lexically_normal() : resolved};
}

// Repeats a call that writes some of the bytes left (given where they start,
// how many are left and how many are done) until all are written.
template <class WriteCall>
int write_repeatedly(const void* data, std::size_t size, WriteCall write_some)
{
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write_some(bytes + done, size - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The same for reads, which also stop where the file ends.
template <class ReadCall>
ReadCount read_repeatedly(void* data, std::size_t size, ReadCall read_some)
{
    auto* bytes = static_cast<char*>(data);
    ReadCount count;
    while (count.bytes < size) {
        const ssize_t n = read_some(bytes + count.bytes, size - count.bytes, count.bytes);
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

}  // namespace

int open_file(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int write_all(int fd, const void* data, std::size_t size)
{
    return write_repeatedly(data, size, [fd](const char* bytes, std::size_t left, std::size_t) {
        return ::write(fd, bytes, left);
    });
}

int write_all_at(int fd, const void* data, std::size_t size, off_t offset)
{
    return write_repeatedly(data, size, [fd, offset](const char* bytes, std::size_t left, std::size_t done) {
        return ::pwrite(fd, bytes, left, offset + static_cast<off_t>(done));
    });
}

ReadCount read_all(int fd, void* data, std::size_t size)
{
    return read_repeatedly(data, size, [fd](char* bytes, std::size_t left, std::size_t) {
        return ::read(fd, bytes, left);
    });
}

ReadCount read_all_at(int fd, void* data, std::size_t size, off_t offset)
{
    return read_repeatedly(data, size, [fd, offset](char* bytes, std::size_t left, std::size_t done) {
        return ::pread(fd, bytes, left, offset + static_cast<off_t>(done));
    });
}

FileContents read_file(const std::string& path, std::size_t max_size)
{
    FileContents file;
    const int fd = open_file(path, O_RDONLY);
    if (fd < 0) {
        file.error_number = errno;
        return file;
    }
    char buffer[1 << 16];
    for (;;) {
        const ReadCount count = read_all(fd, buffer, sizeof buffer);
        file.bytes.append(buffer, count.bytes);
        file.error_number = count.error_number;
        if (file.bytes.size() > max_size)
            file.error_number = EFBIG;
        if (file.error_number != 0 || count.bytes < sizeof buffer)
            break;
    }
    ::close(fd);
    return file;
}

std::optional<std::string> read_lines(const std::string& path,
                                      const std::function<void(std::string_view line, int number)>& take)
{
    const FileContents contents = read_file(path);
    if (contents.error_number == ENOENT)
        return std::nullopt;
    if (contents.error_number != 0)
        return path + ": " + std::strerror(contents.error_number);
    int number = 0;
    for (const std::string_view line : text_lines(contents.bytes))
        take(line, ++number);
    return std::nullopt;
}

std::string with_extension(std::string_view path, std::string_view extension)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool has_extension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    return std::string(path.substr(0, has_extension ? dot : std::string_view::npos)) + std::string(extension);
}

std::string link_target(const std::string& path)
{
    std::filesystem::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(target, error))
            break;
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error)
            break;
        target = target.parent_path() / next;  // an absolute link replaces the whole path
    }
    return target;
}

bool same_file(const std::string& a, const std::string& b) { return identity(a) == identity(b); }

int write_file(const std::string& path, std::string_view bytes)
{
    const int fd = open_file(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return errno;
    const int error = write_all(fd, bytes.data(), bytes.size());
    if (::close(fd) != 0 && error == 0)
        return errno;
    return error;
}

}  // namespace cosmac
