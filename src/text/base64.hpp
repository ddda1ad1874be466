// Base64 (RFC 4648, with padding), as the Debug Adapter Protocol carries memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cosmac {

std::string base64_encode(const std::vector<uint8_t>& bytes);

// Empty for text that is not base64: a character outside its alphabet, a length
// that is not a multiple of four, or padding anywhere but at the end.
std::optional<std::vector<uint8_t>> base64_decode(std::string_view text);

}  // namespace cosmac
