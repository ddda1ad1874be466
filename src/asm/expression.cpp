#include "asm/expression.hpp"

#include <cctype>
#include <optional>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

class Expression {
public:
    Expression(std::string_view text, const Symbols& symbols, uint16_t here, const Notation& notation)
        : text_(text), symbols_(symbols), here_(here), notation_(notation)
    {
    }

    Evaluated evaluate()
    {
        const auto value = sum();
        skip_blanks();
        if (value && position_ != text_.size())
            fail("unexpected '" + std::string(text_.substr(position_)) + "' in expression");
        if (!error_.empty())
            return {std::nullopt, error_};
        return {value, {}};
    }

private:
    std::optional<int64_t> sum()
    {
        skip_blanks();
        bool negative = false;
        if (peek() == '-' || peek() == '+')
            negative = text_[position_++] == '-';
        auto value = term();
        if (!value)
            return std::nullopt;
        int64_t total = negative ? -*value : *value;
        for (;;) {
            skip_blanks();
            const char op = peek();
            if (op != '+' && op != '-')
                return total;
            ++position_;
            const auto next = term();
            if (!next)
                return std::nullopt;
            total = op == '+' ? total + *next : total - *next;
        }
    }

    std::optional<int64_t> term()
    {
        skip_blanks();
        const char c = peek();
        if (c == '$') {
            ++position_;
            return here_;
        }
        if (c == '(') {
            ++position_;
            const auto value = sum();
            if (!value || !expect(')'))
                return std::nullopt;
            return value;
        }
        if (c == '\'') {
            ++position_;
            if (position_ >= text_.size())
                return fail("unterminated character");
            const auto value = quoted_char(text_, position_);
            if (!value)
                return fail("unknown escape in character");
            if (!expect('\''))
                return std::nullopt;
            return *value;
        }
        if (!is_identifier_char(c))
            return fail(c ? "expected a value at '" + std::string(text_.substr(position_)) + "'"
                          : "missing operand");
        const std::size_t start = position_;
        while (position_ < text_.size() && is_identifier_char(text_[position_]))
            ++position_;
        const std::string_view word = text_.substr(start, position_ - start);
        return word_value(word);
    }

    std::optional<int64_t> word_value(std::string_view word)
    {
        const std::string folded = upper(word);
        if (folded == "LOW" || folded == "HIGH") {
            skip_blanks();
            if (peek() == '(') {
                const auto value = term();
                if (!value)
                    return std::nullopt;
                return folded == "LOW" ? *value & 0xFF : *value >> 8 & 0xFF;
            }
        }
        if (const auto number = notation_.number(word)) {
            if (!number->value)
                return fail(number->error);
            return number->value;
        }
        if (!is_identifier_start(word[0]))
            return fail("bad number '" + std::string(word) + "'");
        const auto symbol = symbols_.find(word);
        if (symbol == symbols_.end())
            return fail("undefined label '" + std::string(word) + "'");
        return symbol->second.value;
    }

    char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
    void skip_blanks()
    {
        while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
            ++position_;
    }
    bool expect(char c)
    {
        skip_blanks();
        if (peek() != c) {
            fail(std::string("expected '") + c + "'");
            return false;
        }
        ++position_;
        return true;
    }
    std::nullopt_t fail(std::string message)
    {
        if (error_.empty())
            error_ = std::move(message);
        return std::nullopt;
    }

    std::string_view text_;
    const Symbols& symbols_;
    uint16_t here_;
    const Notation& notation_;
    std::size_t position_ = 0;
    std::string error_;
};

}  // namespace

Evaluated evaluate(std::string_view text, const Symbols& symbols, uint16_t here, const Notation& notation)
{
    return Expression(text, symbols, here, notation).evaluate();
}

}  // namespace cosmac::assembler
