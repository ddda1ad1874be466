#include "asm/notation.hpp"

#include <cctype>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

std::optional<Evaluated> cosmac_number(std::string_view word)
{
    if (word.size() > 1 && word.back() == '.') {
        int64_t value = 0;
        for (char c : word.substr(0, word.size() - 1)) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return Evaluated{{}, "bad decimal number '" + std::string(word) + "'"};
            value = value * 10 + (c - '0');
            if (value > 0xFFFFFFFF)
                return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
        }
        return Evaluated{value, {}};
    }
    std::string_view digits = word;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    if (!all_hex_digits(digits))
        return std::nullopt;
    if (digits.size() > 8)
        return Evaluated{{}, "number '" + std::string(word) + "' is too large"};
    int64_t value = 0;
    for (char c : digits)
        value = value << 4 | (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    return Evaluated{value, {}};
}

}  // namespace

const Notation kCosmacNotation{';', cosmac_number};

}  // namespace cosmac::assembler
