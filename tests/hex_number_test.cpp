#include "monitor/hex_number.hpp"

#include <gtest/gtest.h>

namespace cosmac {
namespace {

struct HexCase {
    const char* text;
    std::optional<uint32_t> value;
    std::size_t end;  // where parsing stops, when a number was found
};

TEST(HexNumber, FollowsScanfHexConversion)
{
    const HexCase cases[] = {
        {"12", 0x12, 2},       {"ABcd", 0xabcd, 4},          {" \t\n 7f", 0x7f, 6},    {"+5", 5, 2},
        {"-1", 0xffffffff, 2}, {"-0x10 7", 0xfffffff0, 5},   {"0x1F", 0x1f, 4},        {"0X1f", 0x1f, 4},
        {"0x", 0, 2},  // the prefix alone reads as zero
        {"0xz", 0, 2},         {"0xx1", 0, 2},               {"00x5", 0, 2},           {"12345678", 0x12345678, 8},
        {"123456789a", 0x3456789a, 10},  // further digits shift earlier ones out
        {"ead", 0xead, 3},          // 'dead': the command letter is d, the number ead
        {"ump", std::nullopt, 0},   // 'dump': u is no digit
        {"ave", 0xa, 1},            // 'save': s with the argument a
        {"", std::nullopt, 0},      {"   ", std::nullopt, 0}, {"-", std::nullopt, 0},  {"+-5", std::nullopt, 0},
        {"- 5", std::nullopt, 0},   {"x5", std::nullopt, 0},  {"g5", std::nullopt, 0},
    };
    for (const HexCase& c : cases) {
        std::size_t position = 0;
        const auto value = parse_hex(c.text, position);
        EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        if (c.value) {
            EXPECT_EQ(position, c.end) << '"' << c.text << '"';
        }
    }
}

}  // namespace
}  // namespace cosmac
