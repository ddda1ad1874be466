// cosmac-disk: lists the files of Elf/OS disk images, copies files in and out,
// removes them, makes directories, checks the filesystem and makes new images.
#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "cli/options.hpp"
#include "cli/stamp_time.hpp"
#include "image/disk_sectors.hpp"
#include "image/elfos_disk.hpp"
#include "image/posix_file.hpp"
#include "text/text.hpp"

namespace {

namespace elfos = cosmac::elfos;

constexpr const char* kUsage =
    "usage: cosmac-disk ls IMAGE [PATH]\n"
    "       cosmac-disk get IMAGE PATH [HOSTFILE|-]\n"
    "       cosmac-disk put IMAGE HOSTFILE|- PATH [-x] [-f]\n"
    "       cosmac-disk rm IMAGE PATH\n"
    "       cosmac-disk mkdir IMAGE PATH\n"
    "       cosmac-disk check IMAGE\n"
    "       cosmac-disk new IMAGE SIZE_MB [--type 1|2] [--boot-from OTHER_IMAGE]\n";

constexpr const char* kDescription =
    "Lists the files of an Elf/OS disk image (filesystem type I or II), copies files\n"
    "out of it and into it, removes them, makes directories, checks the filesystem,\n"
    "and makes new images. PATH is an Elf/OS path such as /bin/dir; names match as\n"
    "stored, case and all. An image is changed all at once or not at all.";

constexpr std::string_view kStandardStream = "-";

struct Options;
using Command = int (*)(const Options&);

struct Options {
    Command run = nullptr;
    std::string image;
    std::string path;
    std::string host_file;
    bool executable = false;
    bool replace = false;
    std::string megabytes;
    std::string type;  // empty: the boot image's, or else 1
    std::string boot_from;
};

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "cosmac-disk: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// A message about a file: "cosmac-disk: FILE: message", bytes that are no
// printable ASCII (from a damaged name, say) shown as ?.
int failed(const std::string& file, const std::string& message)
{
    std::string text = "cosmac-disk: " + file + ": " + message;
    std::replace_if(text.begin(), text.end(), [](char c) { return c < ' ' || c > '~'; }, '?');
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
}

// An image file, closed when done with.
class ImageFile {
public:
    ImageFile(const std::string& path, int flags) : fd_(cosmac::open_file(path, flags)), error_(errno) {}
    ~ImageFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const char* error() const { return std::strerror(error_); }

private:
    int fd_;
    int error_;
};

// Runs a command on the image, open with flags; the exit status.
int on_image(const Options& options, int flags, const std::function<int(cosmac::SectorStore&)>& run)
{
    const ImageFile image(options.image, flags);
    if (!image.is_open())
        return failed(options.image, image.error());
    cosmac::FileSectors sectors(image.fd());
    return run(sectors);
}

// The exit status of a command that ended with error, or none.
int outcome(const Options& options, const std::string& error)
{
    return error.empty() ? 0 : failed(options.image, error);
}

// The stamp for new entries, or empty once the reason is reported.
std::optional<elfos::Stamp> entry_stamp()
{
    const std::optional<std::tm> time = cosmac::stamp_time();
    if (!time) {
        std::fprintf(stderr, "cosmac-disk: %s\n", cosmac::stamp_time_error().c_str());
        return std::nullopt;
    }
    return elfos::encode_stamp(
        {time->tm_year + 1900, time->tm_mon + 1, time->tm_mday, time->tm_hour, time->tm_min, time->tm_sec});
}

// flags, size, date, time and name: "-x---       1234 2024-02-29 12:34:56 dir"
std::string listing_line(const elfos::Listed& listed)
{
    const elfos::Entry& entry = listed.entry;
    constexpr std::pair<uint8_t, char> kFlagLetters[] = {{elfos::kDirectoryFlag, 'd'},
                                                         {elfos::kExecutableFlag, 'x'},
                                                         {elfos::kWriteProtectedFlag, 'p'},
                                                         {elfos::kHiddenFlag, 'h'},
                                                         {elfos::kArchiveFlag, 'a'}};
    std::string flags;
    for (const auto& [flag, letter] : kFlagLetters)
        flags += (entry.flags & flag) ? letter : '-';
    const std::string size = listed.problem.empty() ? std::to_string(listed.size) : "?";
    const elfos::DateTime moment = elfos::decode_stamp(entry.stamp);
    std::string name = entry.name;
    std::replace_if(name.begin(), name.end(), [](char c) { return c < ' ' || c > '~'; }, '?');
    return cosmac::formatted("%s %10s %04d-%02d-%02d %02d:%02d:%02d %s\n", flags.c_str(), size.c_str(), moment.year,
                             moment.month, moment.day, moment.hour, moment.minute, moment.second, name.c_str());
}

int list_command(const Options& options)
{
    return on_image(options, O_RDONLY, [&](cosmac::SectorStore& image) {
        bool damaged = false;
        const std::string error = elfos::list(image, options.path, [&](const elfos::Listed& listed) {
            std::fputs(listing_line(listed).c_str(), stdout);
            if (!listed.problem.empty()) {
                failed(options.image, listed.problem);
                damaged = true;
            }
        });
        return error.empty() && damaged ? 1 : outcome(options, error);
    });
}

// The last name of an Elf/OS path: "kernel" of /os/kernel.
std::string last_name(std::string path)
{
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

int get_command(const Options& options)
{
    const std::string host = options.host_file.empty() ? last_name(options.path) : options.host_file;
    const bool to_file = host != kStandardStream;
    if (to_file && cosmac::same_file(host, options.image))
        return usage_error(host + " is the image; choose another host file");
    return on_image(options, O_RDONLY, [&](cosmac::SectorStore& image) {
        // The host file is made only once the file's chain is known to be sound.
        int out = to_file ? -1 : STDOUT_FILENO;
        int write_error = 0;
        const std::string error = elfos::read_file(image, options.path, [&](std::string_view bytes) {
            if (out < 0)
                out = cosmac::open_file(host, O_WRONLY | O_CREAT | O_TRUNC);
            write_error = out < 0 ? errno : cosmac::write_all(out, bytes.data(), bytes.size());
            return write_error == 0;
        });
        if (to_file && out >= 0 && ::close(out) != 0 && write_error == 0)
            write_error = errno;
        if (!error.empty())
            return failed(options.image, error);
        return write_error == 0 ? 0 : failed(host, std::strerror(write_error));
    });
}

int put_command(const Options& options)
{
    const std::optional<elfos::Stamp> stamp = entry_stamp();
    if (!stamp)
        return 2;
    const bool from_input = options.host_file == kStandardStream;
    const cosmac::FileContents contents = cosmac::read_file(from_input ? "/dev/stdin" : options.host_file);
    if (contents.error_number != 0)
        return failed(options.host_file, std::strerror(contents.error_number));
    elfos::NewFile file;
    file.flags = options.executable ? elfos::kExecutableFlag : 0;
    file.stamp = *stamp;
    file.replace = options.replace;
    return on_image(options, O_RDWR, [&](cosmac::SectorStore& image) {
        return outcome(options, elfos::add_file(image, options.path, contents.bytes, file));
    });
}

int remove_command(const Options& options)
{
    return on_image(options, O_RDWR, [&](cosmac::SectorStore& image) {
        return outcome(options, elfos::remove(image, options.path));
    });
}

int make_directory_command(const Options& options)
{
    const std::optional<elfos::Stamp> stamp = entry_stamp();
    if (!stamp)
        return 2;
    return on_image(options, O_RDWR, [&](cosmac::SectorStore& image) {
        return outcome(options, elfos::make_directory(image, options.path, *stamp));
    });
}

int check_command(const Options& options)
{
    return on_image(options, O_RDONLY, [&](cosmac::SectorStore& image) {
        const elfos::CheckReport report = elfos::check(image);
        if (!report.error.empty())
            return failed(options.image, report.error);
        for (const std::string& problem : report.problems)
            std::printf("%s\n", problem.c_str());
        return report.problems.empty() ? 0 : 1;
    });
}

int new_command(const Options& options)
{
    const std::optional<elfos::Stamp> stamp = entry_stamp();
    if (!stamp)
        return 2;
    elfos::NewDisk disk;
    disk.type = options.type == "2" ? 2 : 1;
    disk.stamp = *stamp;
    elfos::BootstrapRead boot;
    if (!options.boot_from.empty()) {
        const ImageFile other(options.boot_from, O_RDONLY);
        if (!other.is_open())
            return failed(options.boot_from, other.error());
        cosmac::FileSectors sectors(other.fd());
        boot = elfos::read_bootstrap(sectors);
        if (!boot.error.empty())
            return failed(options.boot_from, boot.error);
        if (!options.type.empty() && disk.type != boot.bootstrap.type)
            return usage_error(cosmac::formatted("--type %u, but the loader of %s is for type %u filesystems",
                                                 disk.type, options.boot_from.c_str(), boot.bootstrap.type));
        disk.type = boot.bootstrap.type;
        disk.boot = &boot.bootstrap;
    }
    const uint32_t largest = elfos::largest_disk_megabytes(disk.type);
    const bool digits = !options.megabytes.empty() && options.megabytes.size() <= 6 &&
                        options.megabytes.find_first_not_of("0123456789") == std::string::npos;
    disk.megabytes = digits ? static_cast<uint32_t>(std::stoul(options.megabytes)) : 0;
    if (disk.megabytes < 1 || disk.megabytes > largest)
        return usage_error(cosmac::formatted("SIZE_MB for a type %s disk is a whole number from 1 to %u",
                                             disk.type == 1 ? "I" : "II", largest));
    const ImageFile image(options.image, O_RDWR | O_CREAT | O_EXCL);
    if (!image.is_open())
        return failed(options.image, image.error());
    const off_t size = static_cast<off_t>(elfos::sectors_in_megabytes(disk.megabytes)) * cosmac::kSectorSize;
    cosmac::FileSectors sectors(image.fd());
    const std::string error =
        ::ftruncate(image.fd(), size) != 0 ? std::strerror(errno) : elfos::format(sectors, disk);
    if (error.empty())
        return 0;
    ::unlink(options.image.c_str());
    return failed(options.image, error);
}

// Parsed options, or an exit status when there is nothing more to do.
std::optional<int> parse_options(int argc, char** argv, Options& options)
{
    CLI::App app(kDescription, "cosmac-disk");
    app.formatter(std::make_shared<cosmac::HelpFormatter>());
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", "cosmac-disk " COSMAC_VERSION "\nMIT licence", "the version and licence");
    app.require_subcommand(1);
    const auto command = [&](const char* name, Command run, const char* description) {
        CLI::App* subcommand = app.add_subcommand(name, description);
        subcommand->add_option("IMAGE", options.image)->required();
        subcommand->callback([&options, run] { options.run = run; });
        return subcommand;
    };
    command("ls", list_command, "lists a directory, or one file: flags, size, date, time\nand name")
        ->add_option("PATH", options.path);
    CLI::App* get =
        command("get", get_command, "copies a file out to HOSTFILE (PATH's last name) or to -,\nstandard output");
    get->add_option("PATH", options.path)->required();
    get->add_option("HOSTFILE", options.host_file);
    CLI::App* put = command("put", put_command, "copies HOSTFILE, or - for standard input, in as PATH");
    put->add_option("HOSTFILE", options.host_file)->required();
    put->add_option("PATH", options.path)->required();
    put->add_flag("-x", options.executable, "marks the file executable (flag 02)");
    put->add_flag("-f", options.replace, "replaces a file of that name");
    command("rm", remove_command, "removes a file, or a directory that holds nothing")
        ->add_option("PATH", options.path)
        ->required();
    command("mkdir", make_directory_command, "makes a directory")->add_option("PATH", options.path)->required();
    command("check", check_command, "reports each problem of the filesystem on a line;\nexit status 1 if there is any");
    CLI::App* make = command("new", new_command, "makes an image with an empty filesystem (IMAGE must be new)");
    make->add_option("SIZE_MB", options.megabytes)->required();
    make->add_option("--type", options.type, "filesystem type I (the default) or II")->type_name("1|2");
    make->add_option("--boot-from", options.boot_from,
                     "copies the boot loader and /os/kernel from\nOTHER_IMAGE, a bootable image")
        ->option_text("OTHER_IMAGE");
    if (argc == 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const auto failure = [argv](const std::string& message) {
        if (message != "A subcommand is required")
            return usage_error(message);
        if (argv[1][0] != '-')
            return usage_error(std::string("unknown command ") + argv[1]);
        return usage_error("the command comes first: ls, get, put, rm, mkdir, check or new");
    };
    if (const auto status = cosmac::parse_command_line(app, argc, argv, kUsage, failure))
        return status;
    if (!options.type.empty() && options.type != "1" && options.type != "2")
        return usage_error("--type needs 1 or 2");
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const auto status = parse_options(argc, argv, options))
        return *status;
    return options.run(options);
}
