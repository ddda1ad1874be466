#include "image/program_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "image/image_file.hpp"
#include "image/intel_hex.hpp"
#include "image/posix_file.hpp"
#include "text/text.hpp"

namespace cosmac {
namespace {

// An Intel HEX file of all 64 KB is under 200 KB; anything far larger is no program.
constexpr std::size_t kLargestProgramFile = 4 << 20;

bool has_hex_extension(std::string_view path)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    return equal_ignoring_case(extension, ".hex") || equal_ignoring_case(extension, ".ihx");
}

// Intel HEX records start with a colon; the first one may follow blank lines.
bool looks_like_intel_hex(std::string_view bytes)
{
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == ':';
}

bool looks_like_image(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xBE && static_cast<uint8_t>(bytes[1]) == 0xDE;
}

ProgramBytes image_bytes(std::string_view bytes, const std::string& name)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto header = image_header({data, bytes.size()});
    if (!header)
        return {{}, name + ": not an image: its header is not BE DE 01 00"};
    if (header->length == 0)
        return {{}, name + ": the image holds no bytes"};
    if (bytes.size() - kImageHeaderSize < header->length)
        return {{}, name + ": the image holds " + std::to_string(bytes.size() - kImageHeaderSize) +
                        " bytes, its header says " + std::to_string(header->length)};
    return {image_chunks(header->location, {data + kImageHeaderSize, header->length}), {}};
}

ProgramBytes binary_bytes(std::string_view bytes, std::string_view address_text, const std::string& name)
{
    const auto parsed = parse_address(address_text);
    if (!parsed)
        return {{}, name + ": '" + std::string(address_text) + "' is not an address from 0 to ffff"};
    const unsigned long address = *parsed;
    if (bytes.empty())
        return {{}, name + ": the file is empty"};
    if (!fits_in_memory(address, bytes.size())) {
        return {{}, name + ": " + std::to_string(bytes.size()) + " bytes do not fit between " + hex_text(address, 4) +
                        " and ffff"};
    }
    return {{{address, {bytes.begin(), bytes.end()}}}, {}};
}

// Intel HEX written from 0000 for a ROM that sits elsewhere, as rom.hex@8000:
// every record moves by the address.
ProgramBytes moved_intel_hex(std::string_view bytes, std::string_view address_text, const std::string& name)
{
    const auto offset = parse_address(address_text);
    if (!offset)
        return {{}, name + ": '" + std::string(address_text) + "' is not an address from 0 to ffff"};
    ProgramBytes program = read_intel_hex(bytes, name);
    for (Chunk& chunk : program.chunks)
        chunk.address += *offset;
    return program;
}

}  // namespace

std::optional<uint16_t> parse_address(std::string_view text)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
        return std::nullopt;
    return static_cast<uint16_t>(std::stoul(std::string(text), nullptr, 16));
}

LoadedProgram load_program(std::string_view argument, Memory& memory)
{
    LoadedProgram loaded;
    const std::size_t at = argument.rfind('@');
    const bool moved = at != std::string_view::npos;
    loaded.path = moved ? std::string(argument.substr(0, at)) : image_file_name(argument);
    const FileContents file = read_file(loaded.path, kLargestProgramFile);
    if (file.error_number != 0) {
        const bool too_large = file.error_number == EFBIG;
        loaded.error =
            loaded.path + ": " + (too_large ? "the file is too large for a program" : std::strerror(file.error_number));
        return loaded;
    }
    const std::string_view bytes = file.bytes;
    const bool hex = has_hex_extension(loaded.path) || looks_like_intel_hex(bytes);
    const bool image = !moved && looks_like_image(bytes);
    ProgramBytes program;
    if (moved && hex)
        program = moved_intel_hex(bytes, argument.substr(at + 1), loaded.path);
    else if (moved)
        program = binary_bytes(bytes, argument.substr(at + 1), loaded.path);
    else if (image)
        program = image_bytes(bytes, loaded.path);
    else if (hex)
        program = read_intel_hex(bytes, loaded.path);
    else if (bytes.empty())
        program.error = loaded.path + ": the file is empty";
    else
        program.error = loaded.path + ": neither an image nor Intel HEX; give a raw binary as " + loaded.path +
                        "@ADDRESS";
    if (!program.error.empty()) {
        loaded.error = program.error;
        return loaded;
    }
    if (!place_all(memory, program.chunks)) {
        loaded.error = loaded.path + ": the file places bytes past ffff";
        return loaded;
    }
    for (const Chunk& chunk : program.chunks)
        loaded.lowest = std::min<uint16_t>(loaded.lowest.value_or(0xFFFF), static_cast<uint16_t>(chunk.address));
    if (image)  // an image that runs past ffff on to 0000 still starts where it was saved from
        loaded.lowest = static_cast<uint16_t>(program.chunks.front().address);
    return loaded;
}

}  // namespace cosmac
