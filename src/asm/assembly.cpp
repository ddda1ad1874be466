// What an assembly yields beside its bytes: the range it covers and its listing.

#include "asm/assembler.hpp"
#include "asm/text.hpp"

namespace cosmac {

std::string listing_text(const Assembly& assembly)
{
    constexpr std::size_t kBytesPerLine = 4;
    std::string text;
    for (const ListingLine& line : assembly.listing) {
        std::size_t shown = 0;
        do {
            std::string bytes;
            for (std::size_t i = shown; i < line.bytes.size() && i < shown + kBytesPerLine; ++i)
                bytes += hex_text(line.bytes[i], 2) + " ";
            text += line.has_address
                        ? formatted("%04x  %-13s", static_cast<unsigned>(line.address + shown), bytes.c_str())
                        : formatted("%6s%-13s", "", "");
            if (shown == 0)
                text += line.source;
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            text += '\n';
            shown += kBytesPerLine;
        } while (shown < line.bytes.size());
    }
    return text;
}

uint16_t Assembly::lowest() const
{
    for (unsigned a = 0; a < kMemorySize; ++a) {
        if (assembled.test(a))
            return static_cast<uint16_t>(a);
    }
    return 0;
}

uint16_t Assembly::highest() const
{
    for (unsigned a = kMemorySize; a-- > 0;) {
        if (assembled.test(a))
            return static_cast<uint16_t>(a);
    }
    return 0;
}

}  // namespace cosmac
