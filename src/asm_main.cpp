// cosmac-asm: assembles 1802 source into an image the monitor's L command loads,
// Intel HEX or raw binary, a symbol file beside it, and optionally a listing.
#include <CLI/CLI.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "asm/assembler.hpp"
#include "cli/options.hpp"
#include "cli/stamp_time.hpp"
#include "cpu/opcode_table.hpp"
#include "image/image_file.hpp"
#include "image/intel_hex.hpp"
#include "image/line_file.hpp"
#include "image/posix_file.hpp"
#include "image/symbol_file.hpp"

namespace {

constexpr const char* kUsage =
    "usage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin] [--syntax cosmac|rca|a18|asm02|sb]\n"
    "                  [--cpu 1802|1804|1805|1806] [-I DIR]... [-D NAME[=VALUE]]... [--build N] [-W]\n";

constexpr const char* kDescription =
    "Assembles 1802 source into an image that cosmac's L command loads (elf), Intel HEX\n"
    "or a raw binary, and writes the program's symbols beside it as OUTPUT with .sym in\n"
    "the place of its extension, where cosmac's debugger mode finds them.";

struct Options {
    std::string source;
    std::string output;
    bool output_given = false;  // -o, rather than the source's name
    std::string listing;
    std::string format = "elf";
    std::string syntax = "cosmac";
    std::string cpu_name = "1802";  // as --cpu gives it
    cosmac::CpuModel cpu{};
    std::vector<std::string> include_directories;
    std::vector<std::string> definitions;
    unsigned build = 0;
    bool notices = false;  // -W
};

// Where - names standard output.
constexpr std::string_view kStandardOutput = "-";

// The command line with Asm/02's -1805 as the --cpu 1805 it means: CLI11 takes
// one character after a single dash. After -- every word is a file's name.
std::vector<std::string> with_cpu_switch(int argc, char** argv)
{
    std::vector<std::string> words(argv, argv + argc);
    const auto end = std::find(words.begin(), words.end(), "--");
    std::replace(words.begin(), end, std::string("-1805"), std::string("--cpu=1805"));
    return words;
}

// Parsed options, or an exit status when there is nothing more to do.
std::optional<int> parse_options(int argc, char** argv, Options& options)
{
    CLI::App app(kDescription, "cosmac-asm");
    app.formatter(std::make_shared<cosmac::HelpFormatter>());
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", "cosmac-asm " COSMAC_VERSION "\nMIT licence", "the version and licence");
    app.add_option("-o", options.output,
                   "the output file (SOURCE with the format's extension);\n"
                   "- writes it to standard output, with no symbol file;\n"
                   "a device or a FIFO gets none either")
        ->type_name("OUTPUT");
    app.add_option("-l", options.listing, "a listing of addresses, bytes and source lines;\n- for standard output")
        ->type_name("LISTING");
    app.add_option("--format", options.format,
                   "elf: an image for cosmac (the default), hex: Intel\n"
                   "HEX, bin: the bytes from the lowest address to the\nhighest")
        ->type_name("FORMAT");
    app.add_option("--syntax", options.syntax,
                   "the notation of the source: cosmac (the default), or\n"
                   "that of RCA's assembler, A18, Asm/02 or SB-Assembler\n"
                   "3; a first line \"; cosmac-asm: syntax=NAME\" chooses too")
        ->type_name("NAME");
    app.add_option("--cpu", options.cpu_name,
                   "1802 (the default), or 1804, 1805 or 1806, whose\n"
                   "instructions after 68 are then assembled; -1805 is\n"
                   "--cpu 1805, as Asm/02 writes it")
        ->type_name("MODEL");
    app.add_option("-I", options.include_directories,
                   "where includes are searched after the including\nfile's own directory, in the order given")
        ->type_name("DIR")
        ->allow_extra_args(false);
    app.add_option("-D", options.definitions,
                   "defines NAME (as 1 without a value): for #ifdef and\n#if in asm02, an equate in the other notations")
        ->type_name("NAME[=VALUE]")
        ->allow_extra_args(false);
    app.add_option("--build", options.build,
                   "the build number that asm02's EVER and EEVER stamp\n(0); their date is SOURCE_DATE_EPOCH's where that\nis set, otherwise the clock's")
        ->check(CLI::Range(0, 0xFFFF))
        ->option_text("N");
    app.add_flag("-W", options.notices,
                 "also warn where arithmetic wrapped to the notation's\nwidth or an immediate was cut to its low byte, which\nthe notation's own assembler does silently");
    app.add_option("SOURCE", options.source)->group("");
    const auto failure = [](const std::string& message) {
        std::fprintf(stderr, "cosmac-asm: %s\n%s", message.c_str(), kUsage);
        return 2;
    };
    std::vector<std::string> words = with_cpu_switch(argc, argv);
    std::vector<char*> word_pointers;
    for (std::string& word : words)
        word_pointers.push_back(word.data());
    if (const auto status = cosmac::parse_command_line(app, argc, word_pointers.data(), kUsage, failure))
        return status;
    if (options.source.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.format != "elf" && options.format != "hex" && options.format != "bin")
        return failure("unknown format " + options.format);
    if (!cosmac::known_syntax(options.syntax))
        return failure("unknown syntax " + options.syntax);
    const auto cpu = cosmac::cpu_model_named(options.cpu_name);
    if (!cpu)
        return failure("unknown cpu " + options.cpu_name);
    options.cpu = *cpu;
    options.output_given = !options.output.empty();
    if (!options.output_given)
        options.output = cosmac::with_extension(options.source, "." + options.format);
    return std::nullopt;
}

// The date of the build and its number; empty when SOURCE_DATE_EPOCH holds no
// number of seconds.
std::optional<cosmac::BuildStamp> build_stamp(unsigned build)
{
    const std::optional<std::tm> time = cosmac::stamp_time();
    if (!time)
        return std::nullopt;
    return cosmac::BuildStamp{time->tm_year + 1900, time->tm_mon + 1, time->tm_mday, time->tm_hour,
                              time->tm_min,         time->tm_sec,     build};
}

// Writes the whole text, or reports why not on standard error.
bool write_output(const std::string& path, std::string_view text)
{
    const int error = path == kStandardOutput ? cosmac::write_all(STDOUT_FILENO, text.data(), text.size())
                                              : cosmac::write_file(path, text);
    if (error != 0)
        std::fprintf(stderr, "cosmac-asm: %s: %s\n", path.c_str(), std::strerror(error));
    return error == 0;
}

// A file that exists and is no regular file: a device, a FIFO, a directory.
bool special_file(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

// A file that cosmac-asm reads or writes, as its messages name it.
struct NamedFile {
    std::string path;
    std::string role;    // as an output that would overwrite it names it: "the source file"
    std::string named;   // an output as the user gave it, "-o h.asm"; empty for an input
    std::string choice;  // what the user is to choose again when that output collides: "output"
};

// Why an output would be written over a file read or an output before it, or
// empty when none would. A device or FIFO may well take two outputs.
std::string overwritten_file(const std::vector<NamedFile>& files)
{
    for (auto output = files.begin(); output != files.end(); ++output) {
        if (output->named.empty() || special_file(output->path))
            continue;
        for (auto earlier = files.begin(); earlier != output; ++earlier) {
            if (cosmac::same_file(output->path, earlier->path))
                return output->named + " is " + earlier->role + "; choose another " + output->choice;
        }
    }
    return {};
}

// The line table with its sources' paths taken from the output's directory, as
// the debugger reads them from beside the output.
cosmac::LineTable from_output(cosmac::LineTable table, const std::string& output)
{
    const std::filesystem::path directory = std::filesystem::absolute(output).lexically_normal().parent_path();
    for (std::string& file : table.files)
        file = std::filesystem::absolute(file).lexically_normal().lexically_relative(directory);
    return table;
}

// The files read, then those to be written: the symbol file before the output,
// whose name it takes, and the listing last.
std::vector<NamedFile> files_read_and_written(const Options& options, const std::vector<std::string>& included,
                                              bool writes_symbols)
{
    std::vector<NamedFile> files = {{options.source, "the source file", {}, {}}};
    for (const std::string& path : included)
        files.push_back({path, "the included file " + path, {}, {}});
    if (writes_symbols) {
        const std::string symbols = cosmac::symbol_file_name(options.output);
        files.push_back({symbols, "the symbol file", "the symbol file " + symbols, "output"});
        const std::string lines = cosmac::line_file_name(options.output);
        files.push_back({lines, "the line file", "the line file " + lines, "output"});
    }
    if (options.output != kStandardOutput)
        files.push_back({options.output, "the output file",
                         (options.output_given ? "-o " : "the output ") + options.output, "output"});
    if (!options.listing.empty() && options.listing != kStandardOutput)
        files.push_back({options.listing, "the listing", "-l " + options.listing, "listing"});
    return files;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const auto status = parse_options(argc, argv, options))
        return *status;

    const cosmac::FileContents source = cosmac::read_file(options.source);
    if (source.error_number != 0) {
        std::fprintf(stderr, "cosmac-asm: %s: %s\n", options.source.c_str(), std::strerror(source.error_number));
        return 1;
    }

    cosmac::AssemblyOptions assembly_options;
    assembly_options.syntax = options.syntax;
    assembly_options.cpu = options.cpu;
    assembly_options.source_name = options.source;
    assembly_options.include_directories = options.include_directories;
    assembly_options.predefined = options.definitions;
    const auto stamp = build_stamp(options.build);
    if (!stamp) {
        std::fprintf(stderr, "cosmac-asm: %s\n", cosmac::stamp_time_error().c_str());
        return 2;
    }
    assembly_options.build_stamp = *stamp;
    std::vector<std::string> included;
    assembly_options.read_include = [&included](const std::string& path, std::string& error) -> std::optional<std::string> {
        cosmac::FileContents file = cosmac::read_file(path);
        if (file.error_number != 0) {
            error = std::strerror(file.error_number);
            return std::nullopt;
        }
        included.push_back(path);
        return std::move(file.bytes);
    };
    const cosmac::Assembly assembly = cosmac::assemble(source.bytes, assembly_options);
    std::vector<cosmac::AssemblyError> warnings = assembly.warnings;
    if (options.notices) {
        warnings.insert(warnings.end(), assembly.notices.begin(), assembly.notices.end());
        std::stable_sort(warnings.begin(), warnings.end(), [](const auto& a, const auto& b) { return a.line < b.line; });
    }
    for (const auto& warning : warnings) {
        const std::string& file = warning.file.empty() ? options.source : warning.file;
        std::fprintf(stderr, "%s:%d: warning: %s\n", file.c_str(), warning.line, warning.message.c_str());
    }
    for (const auto& error : assembly.errors) {
        const std::string& file = error.file.empty() ? options.source : error.file;
        if (error.line == 0)  // of the command line, such as a -D
            std::fprintf(stderr, "cosmac-asm: %s\n", error.message.c_str());
        else
            std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), error.line, error.message.c_str());
    }
    if (!assembly.errors.empty())
        return 1;
    if (assembly.empty()) {
        std::fprintf(stderr, "%s: nothing to assemble\n", options.source.c_str());
        return 1;
    }
    const unsigned length = assembly.highest() - assembly.lowest() + 1u;
    if (options.format == "elf" && length > 0xFFFF) {
        std::fprintf(stderr, "%s: the program fills all 64 KB; an image holds at most ffff bytes\n",
                     options.source.c_str());
        return 1;
    }

    // The debugger reads the symbols of a program from beside its image, which
    // a device, a FIFO or standard output does not keep.
    const bool writes_symbols = options.output != kStandardOutput && !special_file(options.output);
    if (const std::string overwritten =
            overwritten_file(files_read_and_written(options, included, writes_symbols));
        !overwritten.empty()) {
        std::fprintf(stderr, "cosmac-asm: %s\n", overwritten.c_str());
        return 2;
    }

    bool ok = true;
    if (options.format == "elf") {
        const auto image_length = static_cast<uint16_t>(length);
        const auto result =
            options.output == kStandardOutput
                ? cosmac::write_image(STDOUT_FILENO, assembly.memory, assembly.lowest(), image_length)
                : cosmac::save_image(options.output, assembly.memory, assembly.lowest(), image_length);
        if (result.kind != cosmac::ImageResult::Kind::Ok) {
            std::fprintf(stderr, "cosmac-asm: %s: %s\n", options.output.c_str(), std::strerror(result.error_number));
            ok = false;
        }
    } else if (options.format == "hex") {
        ok = write_output(options.output, cosmac::intel_hex_text(assembly.memory, assembly.assembled));
    } else {
        ok = write_output(options.output,
                          std::string_view(reinterpret_cast<const char*>(&assembly.memory[assembly.lowest()]), length));
    }
    if (ok && !options.listing.empty())
        ok = write_output(options.listing, cosmac::listing_text(assembly));
    if (ok && writes_symbols)
        ok = write_output(cosmac::symbol_file_name(options.output), cosmac::symbol_file_text(assembly.symbols));
    if (ok && writes_symbols)
        ok = write_output(cosmac::line_file_name(options.output), cosmac::line_file_text(from_output(assembly.lines, options.output)));
    return ok ? 0 : 1;
}
