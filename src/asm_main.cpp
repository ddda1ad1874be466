// cosmac-asm: assembles 1802 source into an image the monitor's L command loads,
// Intel HEX or raw binary, a symbol file beside it, and optionally a listing.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "asm/assembler.hpp"
#include "image/image_file.hpp"
#include "image/intel_hex.hpp"
#include "image/posix_file.hpp"
#include "image/symbol_file.hpp"

namespace {

constexpr const char* kUsage =
    "usage: cosmac-asm SOURCE [-o OUTPUT] [-l LISTING] [--format elf|hex|bin] [--syntax cosmac|rca|a18|asm02|sb]\n";

struct Options {
    std::string source;
    std::string output;
    std::string listing;
    std::string format = "elf";
    std::string syntax = "cosmac";
};

// Parsed options, or an exit status when there is nothing more to do.
std::optional<int> parse_options(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takes_value =
            argument == "-o" || argument == "-l" || argument == "--format" || argument == "--syntax";
        if (takes_value && i + 1 >= argc) {
            std::fprintf(stderr, "cosmac-asm: %s needs a value\n%s", argument.c_str(), kUsage);
            return 2;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("cosmac-asm %s\nMIT licence\n", COSMAC_VERSION);
            return 0;
        }
        if (argument == "-o")
            options.output = argv[++i];
        else if (argument == "-l")
            options.listing = argv[++i];
        else if (argument == "--format")
            options.format = argv[++i];
        else if (argument == "--syntax")
            options.syntax = argv[++i];
        else if (argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "cosmac-asm: unknown option %s\n%s", argument.c_str(), kUsage);
            return 2;
        } else if (options.source.empty())
            options.source = argument;
        else {
            std::fprintf(stderr, "cosmac-asm: more than one source file\n%s", kUsage);
            return 2;
        }
    }
    if (options.source.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.format != "elf" && options.format != "hex" && options.format != "bin") {
        std::fprintf(stderr, "cosmac-asm: unknown format %s\n%s", options.format.c_str(), kUsage);
        return 2;
    }
    if (!cosmac::known_syntax(options.syntax)) {
        std::fprintf(stderr, "cosmac-asm: unknown syntax %s\n%s", options.syntax.c_str(), kUsage);
        return 2;
    }
    if (options.output.empty())
        options.output = cosmac::with_extension(options.source, "." + options.format);
    return std::nullopt;
}

// Writes the whole text, or reports why not on standard error.
bool write_output(const std::string& path, std::string_view text)
{
    const int error = cosmac::write_file(path, text);
    if (error != 0)
        std::fprintf(stderr, "cosmac-asm: %s: %s\n", path.c_str(), std::strerror(error));
    return error == 0;
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
    assembly_options.source_name = options.source;
    assembly_options.read_include = [](const std::string& path, std::string& error) -> std::optional<std::string> {
        cosmac::FileContents file = cosmac::read_file(path);
        if (file.error_number != 0) {
            error = std::strerror(file.error_number);
            return std::nullopt;
        }
        return std::move(file.bytes);
    };
    const cosmac::Assembly assembly = cosmac::assemble(source.bytes, assembly_options);
    for (const auto& warning : assembly.warnings) {
        const std::string& file = warning.file.empty() ? options.source : warning.file;
        std::fprintf(stderr, "%s:%d: warning: %s\n", file.c_str(), warning.line, warning.message.c_str());
    }
    for (const auto& error : assembly.errors) {
        const std::string& file = error.file.empty() ? options.source : error.file;
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

    bool ok = true;
    if (options.format == "elf") {
        const auto result = cosmac::save_image(options.output, assembly.memory, assembly.lowest(),
                                               static_cast<uint16_t>(length));
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
    // The debugger reads the symbols of a program from beside its image.
    const std::string symbols = cosmac::symbol_file_name(options.output);
    if (ok && symbols != options.output)
        ok = write_output(symbols, cosmac::symbol_file_text(assembly.symbols));
    return ok ? 0 : 1;
}
