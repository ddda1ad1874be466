// Memory image files: an 8-byte little-endian header (magic BE DE, version 01 00,
// location, length) followed by the bytes. Byte i of the data is memory at
// (location + i) mod 65536, so a range may run past FFFF and still round-trips.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/machine_state.hpp"
#include "image/placement.hpp"

namespace cosmac {

struct ImageResult {
    enum class Kind { Ok, SystemError, InvalidFile };
    Kind kind = Kind::Ok;
    std::string_view context;  // what failed, for a SystemError: "Open", "write", ...
    int error_number = 0;      // 0 when nothing failed but the data ran short
};

constexpr std::size_t kImageHeaderSize = 8;

struct ImageHeader {
    uint16_t location;
    uint16_t length;
};

// The header at the start of the bytes, or empty when they do not start an image.
std::optional<ImageHeader> image_header(std::span<const uint8_t> bytes);

// An image's body as memory takes it: from its location on, running past FFFF on
// to 0000, as S saves a range that wraps.
std::vector<Chunk> image_chunks(uint16_t location, std::span<const uint8_t> body);

// A name without any "." gets ".elf".
std::string image_file_name(std::string_view name);

ImageResult save_image(const std::string& path, const Memory& memory, uint16_t location, uint16_t length);

// The image, header and bytes, to an open file such as standard output.
ImageResult write_image(int fd, const Memory& memory, uint16_t location, uint16_t length);

// Reads straight into memory, not subject to the protected window; on a short
// body the bytes read stay in memory.
ImageResult load_image(const std::string& path, Memory& memory);

}  // namespace cosmac
