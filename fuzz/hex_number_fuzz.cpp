// The hexadecimal number parser against the C library's own "%x" conversion,
// which it follows. The library's value saturates beyond 16 digits where ours
// keeps shifting, so values are compared only up to 15 significant digits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "monitor/hex_number.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The model reads C strings: both sides see the text up to the first NUL.
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    std::size_t position = 0;
    const auto value = cosmac::parse_hex(text, position);

    unsigned model_value = 0;
    int consumed = 0;
    const bool model_found = std::sscanf(text.c_str(), "%x%n", &model_value, &consumed) == 1;

    if (value.has_value() != model_found)
        std::abort();
    if (!model_found)
        return 0;
    if (position != static_cast<std::size_t>(consumed))
        std::abort();

    std::size_t digits = 0;
    for (std::size_t i = 0; i < position; ++i)
        digits += std::strchr("0123456789abcdefABCDEF", text[i]) != nullptr;
    if (digits <= 15 && *value != model_value)
        std::abort();
    return 0;
}
