// Mnemonic, length and machine cycles of every opcode: the one table behind the
// disassembler and the assembler. Lengths are as laid out in memory: a long skip
// is one byte although it skips two when taken, and 68 is one byte on the 1802
// although the console service reads the function byte after it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace cosmac {

struct OpInfo {
    std::string_view mnemonic;
    uint8_t length;
    uint8_t cycles;  // machine cycles, fetch included
};

extern const std::array<OpInfo, 256> kOpcodeTable;

// The 1804/1805/1806's instructions, 68 and a second byte, by that byte. Lengths
// and cycles count the 68 and both fetches. A second byte the chip leaves unused
// reads "INVALID" and is two bytes long.
extern const std::array<OpInfo, 256> kExtendedOpcodeTable;

inline constexpr uint8_t kExtendedPrefix = 0x68;

// The console machine's console service on the extended set: 68 D1 writes D,
// 68 D2 reads a key.
inline constexpr uint8_t kConsoleWrite = 0xD1;
inline constexpr uint8_t kConsoleKey = 0xD2;

// A second byte that the chip leaves unused, and that on the console machine
// is no console service either.
inline bool unused_second_byte(uint8_t second, bool board)
{
    return kExtendedOpcodeTable[second].mnemonic == "INVALID" &&
           (board || (second != kConsoleWrite && second != kConsoleKey));
}

// The processors that --cpu chooses. The 1804, 1805 and 1806 run the same
// instruction set; only their on-chip memory differs, which no board here uses.
enum class CpuModel : uint8_t { Cdp1802, Cdp1804, Cdp1805, Cdp1806 };

constexpr bool has_extended_set(CpuModel model) { return model != CpuModel::Cdp1802; }

// The model of a name as --cpu and the assemblers' CPU directives write it:
// 1802, 1804, 1805 or 1806.
constexpr std::optional<CpuModel> cpu_model_named(std::string_view name)
{
    constexpr std::pair<std::string_view, CpuModel> kModels[] = {
        {"1802", CpuModel::Cdp1802}, {"1804", CpuModel::Cdp1804}, {"1805", CpuModel::Cdp1805}, {"1806", CpuModel::Cdp1806}};
    for (const auto& [model_name, model] : kModels) {
        if (model_name == name)
            return model;
    }
    return std::nullopt;
}

// The instruction at opcode (and second, for 68 on the extended set).
inline const OpInfo& instruction_info(uint8_t opcode, uint8_t second, bool extended)
{
    return extended && opcode == kExtendedPrefix ? kExtendedOpcodeTable[second] : kOpcodeTable[opcode];
}

}  // namespace cosmac
