#include "image/intel_hex.hpp"

#include <optional>

#include "text/text.hpp"

namespace cosmac {
namespace {

// The longest record: a colon and 1 + 2 + 1 + 255 + 1 bytes as hex digits.
constexpr std::size_t kLongestRecord = 1 + 2 * 260;

// A character as a message shows it: 'g', or byte 07 when it does not print.
std::string quoted(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F ? formatted("'%c'", byte) : formatted("byte %02x", byte);
}

// One line's record as bytes: count, address, type, data, checksum; or why not.
std::string decode_record(std::string_view line, std::vector<uint8_t>& bytes)
{
    if (line.size() > kLongestRecord)
        return "the line is longer than any record (" + std::to_string(kLongestRecord) + " characters)";
    if (line.empty() || line[0] != ':')
        return "a record starts with ':'";
    line.remove_prefix(1);
    for (const char c : line) {
        if (!is_hex_digit(c))
            return quoted(c) + " is not a hexadecimal digit";
    }
    if (line.size() % 2 != 0)
        return "the record has an odd number of digits";
    for (std::size_t i = 0; i < line.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(hex_digit_value(line[i]) << 4 | hex_digit_value(line[i + 1])));
    if (bytes.size() < 5)
        return "the record is too short";
    if (bytes.size() != 5u + bytes[0])
        return "the record holds " + std::to_string(bytes.size() - 5) + " data bytes, its count says " +
               std::to_string(bytes[0]);
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum += bytes[i];
    const unsigned checksum = (0x100 - sum % 0x100) % 0x100;
    if (checksum != bytes.back())
        return "checksum is " + hex_text(checksum & 0xFF, 2) + ", the record says " + hex_text(bytes.back(), 2);
    return {};
}

}  // namespace

ProgramBytes read_intel_hex(std::string_view text, const std::string& name)
{
    ProgramBytes result;
    const auto fail = [&](int line, const std::string& message) {
        result.chunks.clear();
        result.error = name;
        if (line > 0)
            result.error.append(":").append(std::to_string(line));
        result.error.append(": ").append(message);
        return result;
    };
    uint64_t base = 0;
    int line_number = 0;
    bool any_record = false;
    for (const std::string_view line : text_lines(text)) {
        ++line_number;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        std::vector<uint8_t> bytes;
        if (const std::string problem = decode_record(line, bytes); !problem.empty())
            return fail(line_number, problem);
        any_record = true;
        const uint8_t count = bytes[0];
        const uint64_t address = base + static_cast<uint64_t>(bytes[1] << 8 | bytes[2]);
        switch (bytes[3]) {
        case 0x00:
            if (!fits_in_memory(address, count))
                return fail(line_number, "the record runs past ffff");
            if (count > 0)
                result.chunks.push_back({address, {bytes.begin() + 4, bytes.end() - 1}});
            break;
        case 0x01:
            return result;
        case 0x02:
        case 0x04:
            if (count != 2)
                return fail(line_number, "an address record holds 2 data bytes");
            base = static_cast<uint64_t>(bytes[4] << 8 | bytes[5]) << (bytes[3] == 0x02 ? 4 : 16);
            break;
        case 0x03:
        case 0x05:
            break;
        default:
            return fail(line_number, "unknown record type " + hex_text(bytes[3], 2));
        }
    }
    if (!any_record)
        return fail(0, "the file holds no records");
    return result;
}

std::string intel_hex_text(const Memory& memory, const std::bitset<kMemorySize>& present)
{
    std::string text;
    unsigned address = 0;  // read with test(), which checks it as [] does not
    while (address < kMemorySize) {
        if (!present.test(address)) {
            ++address;
            continue;
        }
        unsigned count = 0;
        while (count < 16 && address + count < kMemorySize && present.test(address + count))
            ++count;
        unsigned checksum = count + (address >> 8) + (address & 0xFF);
        text += formatted(":%02X%04X00", count, address);
        for (unsigned i = 0; i < count; ++i) {
            const uint8_t byte = memory[address + i];
            checksum += byte;
            text += formatted("%02X", byte);
        }
        text += formatted("%02X\n", (0x100 - (checksum & 0xFF)) & 0xFF);
        address += count;
    }
    return text + ":00000001FF\n";
}

}  // namespace cosmac
