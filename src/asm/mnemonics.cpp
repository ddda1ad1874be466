#include "asm/mnemonics.hpp"

#include <cctype>
#include <map>
#include <string>

#include "asm/text.hpp"
#include "cpu/opcode_table.hpp"

namespace cosmac::assembler {
namespace {

OperandKind operand_kind(unsigned op, uint8_t length)
{
    if (length == 3)
        return OperandKind::Word;
    if (length == 2)
        return op >> 4 == 3 ? OperandKind::ShortBranch : OperandKind::Byte;
    return OperandKind::None;
}

class Mnemonics {
public:
    Mnemonics()
    {
        for (unsigned op = 0; op < 256; ++op) {
            const OpInfo& info = kOpcodeTable[op];
            const std::size_t space = info.mnemonic.find(' ');
            if (space == std::string_view::npos) {
                add_fixed(info.mnemonic, {static_cast<uint8_t>(op), operand_kind(op, info.length)});
                continue;
            }
            const std::string name = upper(info.mnemonic.substr(0, space));
            auto [family, inserted] = families_.try_emplace(name);
            if (inserted)
                family->second.port = name == "OUT" || name == "INP";
            const char digit = info.mnemonic.back();
            family->second.opcodes[static_cast<std::size_t>(hex_digit_value(digit))] = static_cast<uint8_t>(op);
        }
        // The published names where the table prints others: SDB for SDC, and SEP R4
        // and SEP R5, which the table lists as Call and Ret.
        add_fixed("SDB", {0x75, OperandKind::None});
        families_["SEP"].opcodes[4] = 0xD4;
        families_["SEP"].opcodes[5] = 0xD5;
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

std::optional<std::array<uint8_t, 2>> find_console_helper(std::string_view name)
{
    const std::string folded = upper(name);
    if (folded == "PUTC")
        return std::array<uint8_t, 2>{0x68, 0x01};
    if (folded == "GETC")
        return std::array<uint8_t, 2>{0x68, 0x02};
    return std::nullopt;
}

}  // namespace cosmac::assembler
