// Whole reads and writes on POSIX file descriptors. A signal may cut a call short
// (EINTR) or a pipe may take only part of the bytes; these carry on until the job
// is done or the system reports an error, which they return as a value.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace cosmac {

// Opened without blocking, so that a FIFO without a partner fails or reads as
// empty instead of hanging the caller; reads and writes then block as usual.
// The descriptor, or -1 with errno set.
int open_file(const std::string& path, int flags);

// 0 when every byte was written, otherwise the error of the call that failed.
int write_all(int fd, const void* data, std::size_t size);

struct ReadCount {
    std::size_t bytes = 0;
    int error_number = 0;  // 0 when the file simply ended
};

ReadCount read_all(int fd, void* data, std::size_t size);

// The same at a position in the file, which the calls leave where it was.
ReadCount read_all_at(int fd, void* data, std::size_t size, off_t offset);
int write_all_at(int fd, const void* data, std::size_t size, off_t offset);

// The whole file; error_number is 0 when it was read to its end, EFBIG when it
// holds more than max_size bytes.
struct FileContents {
    std::string bytes;
    int error_number = 0;
};
FileContents read_file(const std::string& path, std::size_t max_size = std::size_t(1) << 30);

// Hands each line of a text file, LF or CR LF ended, with its 1-based number to
// take, and says "path: reason" when the file cannot be read. No such file is no
// error: it has no lines.
std::optional<std::string> read_lines(const std::string& path,
                                      const std::function<void(std::string_view line, int number)>& take);

// The path with its extension, if the file name has one, replaced by extension
// (".sym"); a name without one gets it appended.
std::string with_extension(std::string_view path, std::string_view extension);

// The file that path leads to once its symbolic links are followed, however many
// links on; a loop of links is left for the open that follows to report.
std::string link_target(const std::string& path);

// Whether two names lead to one file: the same device and inode where the file is
// there; where it is still to be made, the same absolute path once links and
// dot-dots are resolved. A name whose file is there and one whose file is not
// never lead to the same file.
bool same_file(const std::string& a, const std::string& b);

// Creates or truncates the file and writes the bytes; 0 or the error of the call
// that failed, a failed close included (a full disk may only show there).
int write_file(const std::string& path, std::string_view bytes);

}  // namespace cosmac
