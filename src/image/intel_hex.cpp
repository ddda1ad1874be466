#include "image/intel_hex.hpp"

#include <cstdio>

namespace cosmac {

std::string intel_hex_text(const Memory& memory, const std::bitset<0x10000>& present)
{
    std::string text;
    unsigned address = 0;
    while (address < 0x10000) {
        if (!present[address]) {
            ++address;
            continue;
        }
        unsigned count = 0;
        while (count < 16 && address + count < 0x10000 && present[address + count])
            ++count;
        unsigned checksum = count + (address >> 8) + (address & 0xFF);
        char record[64];
        std::snprintf(record, sizeof record, ":%02X%04X00", count, address);
        text += record;
        for (unsigned i = 0; i < count; ++i) {
            const uint8_t byte = memory[address + i];
            checksum += byte;
            std::snprintf(record, sizeof record, "%02X", byte);
            text += record;
        }
        std::snprintf(record, sizeof record, "%02X\n", (0x100 - (checksum & 0xFF)) & 0xFF);
        text += record;
        address += count;
    }
    return text + ":00000001FF\n";
}

}  // namespace cosmac
