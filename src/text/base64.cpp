#include "text/base64.hpp"

namespace cosmac {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string base64_encode(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t left = bytes.size() - at;
        const uint32_t group = bytes[at] << 16 | (left > 1 ? bytes[at + 1] << 8 : 0) | (left > 2 ? bytes[at + 2] : 0);
        for (std::size_t n = 0; n < 4; ++n)
            text += n <= left ? kAlphabet[group >> (18 - 6 * n) & 0x3F] : '=';
    }
    return text;
}

std::optional<std::vector<uint8_t>> base64_decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        const std::size_t padding = last && text[at + 3] == '=' ? 1 + (text[at + 2] == '=') : 0;
        uint32_t group = 0;
        for (std::size_t n = 0; n < 4; ++n) {
            const int value = n >= 4 - padding ? 0 : sextet(text[at + n]);
            if (value < 0)
                return std::nullopt;
            group = group << 6 | static_cast<uint32_t>(value);
        }
        for (std::size_t n = 0; n < 3 - padding; ++n)
            bytes.push_back(static_cast<uint8_t>(group >> (16 - 8 * n)));
    }
    return bytes;
}

}  // namespace cosmac
