#include "asm/expression.hpp"

#include <cctype>
#include <optional>
#include <string>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

// Parentheses and prefix operators deeper than this are refused rather than
// followed down the stack.
constexpr int kDeepestNesting = 256;

// Precedence climbing over the notation's operator table: operands, prefix
// operators, infix operators binding by precedence (left to right within one), and
// postfix selectors.
class Expression {
public:
    Expression(std::string_view text, const Symbols& symbols, uint16_t here, const Notation& notation,
               std::string_view scope)
        : text_(text), symbols_(symbols), here_(here), notation_(notation), scope_(scope)
    {
    }

    Evaluated evaluate()
    {
        const std::optional<int64_t> value = climb(kWholeOperand);
        skip_blanks();
        if (value && position_ != text_.size())
            fail("unexpected '" + std::string(text_.substr(position_)) + "' in expression");
        if (!error_.empty())
            return {std::nullopt, error_};
        return {value, {}, wrapped_};
    }

private:
    std::optional<int64_t> climb(int min_precedence)
    {
        if (++depth_ > kDeepestNesting)
            return fail("expression nested more than " + std::to_string(kDeepestNesting) + " levels deep");
        const auto value = climb_nested(min_precedence);
        --depth_;
        return value;
    }

    std::optional<int64_t> climb_nested(int min_precedence)
    {
        skip_blanks();
        std::optional<int64_t> left;
        if (const Operator* prefix = match(Fix::Prefix)) {
            const auto operand = prefix->parenthesized ? operand_in_parentheses() : climb(prefix->precedence);
            if (!operand)
                return std::nullopt;
            left = apply(*prefix, *operand, {});  // a prefix operator has no right operand
        } else {
            left = operand();
        }
        if (!left)
            return std::nullopt;
        return climb_from(*left, min_precedence);
    }

    std::optional<int64_t> climb_from(int64_t left, int min_precedence)
    {
        for (;;) {
            skip_blanks();
            const std::size_t start = position_;
            const Operator* op = match(Fix::Infix);
            if (op == nullptr)
                op = match(Fix::Postfix);
            if (op == nullptr || op->precedence < min_precedence) {
                position_ = start;
                return left;
            }
            const auto right = op->fix == Fix::Postfix ? std::optional<int64_t>(0) : climb(op->precedence + 1);
            const auto result = right ? apply(*op, left, *right) : std::nullopt;
            if (!result)
                return std::nullopt;
            left = *result;
        }
    }

    // A result that the notation's width holds neither as an unsigned nor as a
    // signed number wraps into it.
    std::optional<int64_t> apply(const Operator& op, int64_t left, int64_t right)
    {
        const auto result = op.apply(left, right);
        if (!result)
            return fail("division by zero");
        const int64_t span = int64_t{1} << notation_.value_bits;
        if (*result >= -span / 2 && *result < span)
            return *result;
        wrapped_ = true;
        return static_cast<int64_t>(uint64_t(*result) & (span - 1));
    }

    std::optional<int64_t> operand_in_parentheses()
    {
        skip_blanks();
        return peek() == '(' ? operand() : fail("expected '('");
    }

    // The operator of that kind at the position, the longest that matches; a word
    // operator matches whole words in any case.
    const Operator* match(Fix fix)
    {
        const Operator* best = nullptr;
        for (const Operator& op : notation_.operators) {
            if (op.fix != fix)
                continue;
            const std::string_view here = text_.substr(position_, op.spelling.size());  // shorter at the end
            const bool word = is_word_char(op.spelling.back());
            if (word ? upper(here) != op.spelling : here != op.spelling)
                continue;
            const std::size_t after = position_ + op.spelling.size();
            if (word && after < text_.size() && is_word_char(text_[after]))
                continue;
            const std::size_t next = text_.find_first_not_of(" \t", after);
            if (op.parenthesized && (next == std::string_view::npos || text_[next] != '('))
                continue;
            if (best == nullptr || op.spelling.size() > best->spelling.size())
                best = &op;
        }
        if (best != nullptr)
            position_ += best->spelling.size();
        return best;
    }

    std::optional<int64_t> operand()
    {
        skip_blanks();
        const char c = peek();
        if (c == '(') {
            ++position_;
            const auto value = climb(kWholeOperand);
            return value ? closed_by(')', *value) : std::nullopt;
        }
        if (notation_.rca_free_form && std::isalpha(static_cast<unsigned char>(c)) && peek(1) == '\'')
            return rca_constant();
        if (notation_.sb_layout && (c == '\'' || c == '"'))
            return sb_character(c);
        if (c == '\'' || (c == '"' && notation_.strings_are_values))
            return quoted(c);
        if (c == '[' && notation_.stamp_variables)
            return stamp_variable();
        // '\0', the end of the text, is none of a notation's characters.
        const bool number_prefix = notation_.number_prefixes.find(c) != std::string_view::npos;
        if (notation_.location_counters.find(c) != std::string_view::npos &&
            !(number_prefix && is_hex_digit(peek(1)))) {
            ++position_;
            return here_;
        }
        const std::size_t start = position_;
        if (number_prefix)
            ++position_;
        while (position_ < text_.size() && notation_.is_name_char(text_[position_]))
            ++position_;
        if (position_ == start)
            return fail(c ? "expected a value at '" + std::string(text_.substr(position_)) + "'" : "missing operand");
        return word_value(text_.substr(start, position_ - start));
    }

    // [build] and the like, which the assembler defines from the build stamp.
    std::optional<int64_t> stamp_variable()
    {
        const std::size_t close = text_.find(']', position_);
        const std::string_view word = text_.substr(position_, close == std::string_view::npos ? close : close + 1 - position_);
        position_ += word.size();
        const auto variable = symbols_.find(upper(word));
        if (close == std::string_view::npos || variable == symbols_.end())
            return fail("unknown variable " + std::string(word));
        return variable->second.value;
    }

    // A character; in notations that allow it, a string of up to two, its
    // characters' codes with the first as the high byte.
    std::optional<int64_t> quoted(char quote)
    {
        ++position_;
        if (!notation_.strings_are_values) {
            if (position_ >= text_.size())
                return fail("unterminated character");
            const auto value = quoted_char(text_, position_);
            if (!value)
                return fail("unknown escape in character");
            return closed_by(quote, *value);
        }
        int64_t value = 0;
        while (position_ < text_.size() && text_[position_] != quote) {
            const auto c = quoted_char(text_, position_);
            if (!c)
                return fail("unknown escape in string");
            value = (value << 8 | *c) & 0xFFFF;
        }
        return closed_by(quote, value);
    }

    // 'A or 'A' is the character, "A or "A" the character with bit 7 set.
    std::optional<int64_t> sb_character(char quote)
    {
        ++position_;
        if (position_ >= text_.size())
            return fail("unterminated character");
        const auto c = static_cast<uint8_t>(text_[position_++]);
        if (peek() == quote)
            ++position_;
        return quote == '"' ? c | 0x80 : c;
    }

    // X'1F', D'17', B'0101', T'AB' (two quotes inside stand for one).
    std::optional<int64_t> rca_constant()
    {
        const char kind = text_[position_];
        position_ += 2;
        std::string body;
        for (;; ++position_) {
            if (position_ >= text_.size())
                return fail("unterminated " + std::string(1, kind) + "'...' constant");
            if (text_[position_] == '\'' && peek(1) == '\'') {
                body += '\'';
                ++position_;
            } else if (text_[position_] == '\'') {
                ++position_;
                break;
            } else {
                body += text_[position_];
            }
        }
        const auto constant = quoted_constant(kind, body);
        if (!constant)
            return fail("unknown constant " + std::string(1, kind) + "'" + body + "'");
        return constant->value ? constant->value : fail(constant->error);
    }

    std::optional<int64_t> word_value(std::string_view word)
    {
        if (const auto number = notation_.number(word)) {
            if (!number->value)
                return fail(number->error);
            return number->value;
        }
        if (!is_name_start(word[0]) && !(notation_.sb_layout && word[0] == '.'))
            return fail("bad number '" + std::string(word) + "'" + number_hint(notation_, word));
        std::string name = word[0] == '.' ? scope_ + std::string(word) : std::string(word);  // local to a global label
        const auto symbol = symbols_.find(notation_.symbols_ignore_case ? upper(name) : name);
        if (symbol != symbols_.end())
            return symbol->second.value;
        if (const auto r = notation_.register_name(word))  // a name the source has not taken
            return *r;
        return fail("undefined label '" + std::string(word) + "'" + number_hint(notation_, word));
    }

    char peek(std::size_t ahead = 0) const
    {
        return position_ + ahead < text_.size() ? text_[position_ + ahead] : '\0';
    }
    void skip_blanks()
    {
        while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
            ++position_;
    }
    // The value, once the character that closes it follows.
    std::optional<int64_t> closed_by(char c, int64_t value)
    {
        skip_blanks();
        if (peek() != c)
            return fail(std::string("expected '") + c + "'");
        ++position_;
        return value;
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
    std::string scope_;
    std::size_t position_ = 0;
    int depth_ = 0;
    std::string error_;
    bool wrapped_ = false;
};

}  // namespace

Evaluated evaluate(std::string_view text, const Symbols& symbols, uint16_t here, const Notation& notation,
                   std::string_view scope)
{
    return Expression(text, symbols, here, notation, scope).evaluate();
}

}  // namespace cosmac::assembler
