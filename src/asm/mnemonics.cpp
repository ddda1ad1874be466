#include "asm/mnemonics.hpp"

#include <cctype>
#include <map>
#include <string>

#include "asm/text.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac::assembler {
namespace {

// By the bytes that follow the opcode: one is a short branch's in row 3 (BR,
// and on the extended set BCI and BXI) and an immediate elsewhere; two are an
// address.
OperandKind operand_kind(unsigned op, unsigned operand_bytes)
{
    if (operand_bytes == 2)
        return OperandKind::Word;
    if (operand_bytes == 1)
        return op >> 4 == 3 ? OperandKind::ShortBranch : OperandKind::Byte;
    return OperandKind::None;
}

class Mnemonics {
public:
    Mnemonics()
    {
        add_table(kOpcodeTable, false);
        add_table(kExtendedOpcodeTable, true);
        // The published names where the table prints others: SDB for SDC, and SEP R4
        // and SEP R5, which the table lists as Call and Ret.
        add_fixed("SDB", {0x75, OperandKind::None});
        families_["SEP"].opcodes[4] = 0xD4;
        families_["SEP"].opcodes[5] = 0xD5;
        // RLDI loads its word into the register; DBNZ and SCAL branch to theirs.
        families_["RLDI"].operand = OperandKind::ImmediateWord;
    }

    const Fixed* fixed(std::string_view name) const
    {
        if (const auto it = exact_.find(std::string(name)); it != exact_.end())
            return &it->second;
        const auto it = folded_.find(upper(name));
        return it == folded_.end() ? nullptr : &it->second;
    }

    const Family* family(std::string_view name) const
    {
        const auto it = families_.find(upper(name));
        return it == families_.end() ? nullptr : &it->second;
    }

private:
    // The extended table's lengths count the 68 before the opcode. Its unused
    // second bytes name no instruction; the 1802's 68 keeps its INVALID.
    void add_table(const std::array<OpInfo, 256>& table, bool extended)
    {
        for (unsigned op = 0; op < 256; ++op) {
            const OpInfo& info = table[op];
            if (extended && info.mnemonic == "INVALID")
                continue;
            const OperandKind operand = operand_kind(op, info.length - (extended ? 2u : 1u));
            const std::size_t space = info.mnemonic.find(' ');
            if (space == std::string_view::npos) {
                add_fixed(info.mnemonic, {static_cast<uint8_t>(op), operand, extended});
                continue;
            }
            const std::string name = upper(info.mnemonic.substr(0, space));
            auto [family, inserted] = families_.try_emplace(name);
            if (inserted)
                family->second = {{}, name == "OUT" || name == "INP", operand, extended};
            const char digit = info.mnemonic.back();
            family->second.opcodes[static_cast<std::size_t>(hex_digit_value(digit))] = static_cast<uint8_t>(op);
        }
    }

    void add_fixed(std::string_view name, Fixed fixed)
    {
        exact_.emplace(std::string(name), fixed);
        const std::string folded = upper(name);
        if (folded == name)
            folded_[folded] = fixed;
        else
            folded_.try_emplace(folded, fixed);
    }

    std::map<std::string, Fixed> exact_;
    std::map<std::string, Fixed> folded_;
    std::map<std::string, Family> families_;
};

const Mnemonics& mnemonics()
{
    static const Mnemonics table;
    return table;
}

}  // namespace

const Fixed* find_fixed(std::string_view name) { return mnemonics().fixed(name); }
const Family* find_family(std::string_view name) { return mnemonics().family(name); }

// On the extended set 68 01 and 68 02 are DTC and SPM2, so the console machine
// answers there at 68 D1 and 68 D2, which the 1805 leaves unused.
std::optional<std::array<uint8_t, 2>> find_console_helper(std::string_view name, bool extended_set)
{
    const std::string folded = upper(name);
    const uint8_t page = extended_set ? 0xD0 : 0x00;
    if (folded == "PUTC")
        return std::array<uint8_t, 2>{kExtendedPrefix, static_cast<uint8_t>(page | 0x01)};
    if (folded == "GETC")
        return std::array<uint8_t, 2>{kExtendedPrefix, static_cast<uint8_t>(page | 0x02)};
    return std::nullopt;
}

}  // namespace cosmac::assembler
