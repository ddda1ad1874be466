#include "text/text.hpp"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

namespace cosmac {

std::string hex_text(uint64_t value, int width)
{
    char text[24];
    std::snprintf(text, sizeof text, "%0*" PRIx64, width, value);
    return text;
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace cosmac
