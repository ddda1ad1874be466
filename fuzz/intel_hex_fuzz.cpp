// The Intel HEX reader. Any text either loads, with every byte below 10000, or is
// an error that loads nothing; and the HEX written for any set of bytes loads back
// as exactly those bytes. Each record's count and checksum are put right before
// the text is read, so that the fuzzer spends its time on addresses, lengths and
// record types rather than on checksums it seldom gets right.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "image/intel_hex.hpp"
#include "text/text.hpp"

namespace {

void put_byte(std::string& text, std::size_t at, unsigned value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text[at] = kDigits[value >> 4 & 0xF];
    text[at + 1] = kDigits[value & 0xF];
}

// A line of an even number of hex digits after its colon gets the count that its
// length implies and the checksum that its bytes need.
void repair_record(std::string& text, std::size_t colon, std::size_t end)
{
    const std::size_t digits = end - colon - 1;
    if (digits < 10 || digits % 2 != 0 || digits / 2 - 5 > 255)
        return;
    for (std::size_t i = colon + 1; i < end; ++i) {
        if (cosmac::hex_digit_value(text[i]) < 0)
            return;
    }
    put_byte(text, colon + 1, static_cast<unsigned>(digits / 2 - 5));
    unsigned sum = 0;
    for (std::size_t i = colon + 1; i + 2 < end; i += 2)
        sum += static_cast<unsigned>(cosmac::hex_digit_value(text[i]) << 4 | cosmac::hex_digit_value(text[i + 1]));
    put_byte(text, end - 2, (0x100 - sum % 0x100) % 0x100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace cosmac;
    std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::size_t line_end = end > start && text[end - 1] == '\r' ? end - 1 : end;
        if (text[start] == ':')
            repair_record(text, start, line_end);
        start = end + 1;
    }
    const ProgramBytes read = read_intel_hex(text, "fuzz.hex");
    if (!read.error.empty() && !read.chunks.empty())
        std::abort();
    static const auto placed = std::make_unique<Memory>();
    if (!place_all(*placed, read.chunks))
        std::abort();

    // The input again, as (address high, address low, value) triples to write.
    static const auto memory = std::make_unique<Memory>();
    static const auto loaded = std::make_unique<Memory>();
    std::bitset<0x10000> present;
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        const auto address = static_cast<uint16_t>(data[i] << 8 | data[i + 1]);
        (*memory)[address] = data[i + 2];
        present[address] = true;
    }
    const ProgramBytes back = read_intel_hex(intel_hex_text(*memory, present), "written.hex");
    if (!back.error.empty())
        std::abort();
    std::bitset<0x10000> seen;
    for (const Chunk& chunk : back.chunks) {
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(chunk.address + i);
            if (seen[address])
                std::abort();
            seen[address] = true;
            (*loaded)[address] = chunk.bytes[i];
        }
    }
    if (seen != present)
        std::abort();
    for (unsigned address = 0; address < 0x10000; ++address) {
        if (present[address] && (*loaded)[address] != (*memory)[address])
            std::abort();
    }
    return 0;
}
