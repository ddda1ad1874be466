#include "asm/line_reader.hpp"

#include <algorithm>
#include <cctype>

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

std::size_t label_length(std::string_view text, const Notation& notation)
{
    std::size_t end = 0;
    while (end < text.size() && notation.is_name_char(text[end]))
        ++end;
    return end;
}

// SB's operand is one word: it ends at the first blank outside quotes that does
// not follow a comma (".db 0, 2, 4" is one operand), and the rest of the line is
// comment. Delimited text (.AS) may hold blanks.
std::size_t sb_operand_length(std::string_view operand, Directive directive)
{
    const auto skip_blanks_after_comma = [&](std::size_t& i) {
        if (i < operand.size() && operand[i] == ',') {
            for (++i; i < operand.size() && is_space_or_tab(operand[i]);)
                ++i;
        }
    };
    std::size_t i = 0;
    if (directive == Directive::Text7) {
        if (i < operand.size() && operand[i] == '-')
            ++i;
        while (i < operand.size() && !is_space_or_tab(operand[i])) {
            const char delimiter = operand[i];
            if (delimiter == '#') {
                while (i < operand.size() && operand[i] != ',' && !is_space_or_tab(operand[i]))
                    ++i;
            } else {
                for (++i; i < operand.size() && operand[i] != delimiter; ++i)
                    i += operand[i] == '\\';
                ++i;
            }
            skip_blanks_after_comma(i);
        }
        return std::min(i, operand.size());
    }
    return find_unquoted(operand, [&](std::size_t at) {
        if (!is_space_or_tab(operand[at]))
            return false;
        std::size_t before = at;  // the operand starts with no blank, so this stops after its first character
        while (is_space_or_tab(operand[before - 1]))
            --before;
        return operand[before - 1] != ',';
    });
}

// One RCA statement: "LABEL: body", "NAME=value", ",data list", or a mnemonic
// (letters and digits, blanks after it optional), its operand and ",data list".
Statement parse_rca_statement(std::string_view text)
{
    Statement s;
    text = trim(text);
    const auto word_end = [](std::string_view t) {
        const auto is_alnum = [](unsigned char c) { return std::isalnum(c) != 0; };
        return static_cast<std::size_t>(std::find_if_not(t.begin(), t.end(), is_alnum) - t.begin());
    };
    std::size_t end = word_end(text);
    if (end > 0 && end < text.size() && text[end] == ':') {
        s.label = text.substr(0, end);
        text = trim(text.substr(end + 1));
        end = word_end(text);
    }
    const std::string_view after = trim(text.substr(end));
    if (text.starts_with(',')) {
        s.operation = ",";
        s.directive = Directive::DataList;
        s.data_list = text.substr(1);
    } else if (end > 0 && after.starts_with('=')) {
        s.label = text.substr(0, end);
        s.operation = "=";
        s.directive = Directive::Equ;
        s.operands = trim(after.substr(1));
    } else {
        s.operation = text.substr(0, end);
        s.directive = directive_named(kRcaNotation, s.operation);
        const std::size_t comma = find_unquoted(after, [&](std::size_t i) { return after[i] == ','; });
        if (s.directive == Directive::DataList) {
            s.data_list = after;
        } else {
            s.operands = trim(after.substr(0, comma));
            s.data_list = comma < after.size() ? after.substr(comma + 1) : std::string_view();
        }
        if (s.operation.empty() && !text.empty())
            s.operation = text;  // not a word at all: reported as an unknown mnemonic
    }
    return s;
}

}  // namespace

Statement parse_statement(std::string_view source, int line, const Notation& notation)
{
    Statement s;
    s.line = line;
    s.source = source;
    std::string_view text =
        source.substr(0, find_unquoted(source, [&](std::size_t i) { return source.substr(i).starts_with(notation.comment); }));

    if (notation.column_one_labels) {
        // A label starts in column 1; its colon is optional.
        if (!text.empty() && !std::isspace(static_cast<unsigned char>(text[0]))) {
            const std::size_t end = label_length(text, notation);
            s.label = text.substr(0, end);
            text.remove_prefix(end);
            if (!text.empty() && text[0] == ':')
                text.remove_prefix(1);
            else
                s.colon_missing = !s.label.empty();
        }
        text = trim(text);
        const std::size_t end = notation.sb_layout && text.starts_with('=') ? 1 : word_length(text);
        s.operation = text.substr(0, end);
        s.operands = trim(text.substr(end));
        if (notation.sb_layout)
            s.operands = s.operands.substr(0, sb_operand_length(s.operands, directive_named(notation, s.operation)));
    } else {
        text = trim(text);
        std::size_t end = word_length(text);
        if (end > 0 && end < text.size() && text[end] == ':') {
            s.label = text.substr(0, end);
            text = trim(text.substr(end + 1));
            end = word_length(text);
        }
        s.operation = text.substr(0, end);
        s.operands = trim(text.substr(end));
        // "name EQU value" names its symbol without a colon.
        if (s.label.empty() && !s.operation.empty()) {
            const std::size_t next = word_length(s.operands);
            if (directive_named(notation, s.operands.substr(0, next)) == Directive::Equ &&
                (next == s.operands.size() || std::isspace(static_cast<unsigned char>(s.operands[next])))) {
                s.label = s.operation;
                s.operation = s.operands.substr(0, next);
                s.operands = trim(s.operands.substr(next));
            }
        }
    }
    s.directive = directive_named(notation, s.operation);
    if (!text.empty() && s.operation.empty())
        s.operation = text;  // not a word at all: reported as an unknown mnemonic
    return s;
}

void LineReader::read(std::string_view line, int line_number, int file, std::vector<Statement>& out)
{
    if (notation_.rca_free_form) {
        read_rca(line, line_number, file, out);
    } else if (notation_.sb_layout) {
        read_sb(line, line_number, file, out);
    } else {
        Statement s = parse_statement(line, line_number, notation_);
        s.file = file;
        out.push_back(s);
    }
}

// An RCA line: statements separated by ; before any .. comment; the listing
// shows the line with the first of them.
void LineReader::read_rca(std::string_view line, int line_number, int file, std::vector<Statement>& out) const
{
    std::string_view text =
        line.substr(0, find_unquoted(line, [&](std::size_t i) { return line.substr(i).starts_with(".."); }));
    for (bool first = true;; first = false) {
        const std::size_t semicolon = find_unquoted(text, [&](std::size_t i) { return text[i] == ';'; });
        Statement s = parse_rca_statement(text.substr(0, semicolon));
        s.source = first ? line : std::string_view();
        s.continues_line = !first;
        s.line = line_number;
        s.file = file;
        if (first || !s.operation.empty() || !s.label.empty())
            out.push_back(s);
        if (semicolon == text.size())
            break;
        text.remove_prefix(semicolon + 1);
    }
}

// Comment lines start with ; * # or @, and .CO to .EC is a comment block.
void LineReader::read_sb(std::string_view line, int line_number, int file, std::vector<Statement>& out)
{
    const bool comment_line =
        in_comment_block_ || (!line.empty() && std::string_view(";*#@").find(line[0]) != std::string_view::npos);
    Statement s = comment_line ? Statement{} : parse_statement(line, line_number, notation_);
    const bool opens_block = upper(s.operation) == ".CO";
    if (opens_block)
        in_comment_block_ = true;
    if (upper(trim(line)).starts_with(".EC"))
        in_comment_block_ = false;
    s.source = line;
    s.line = line_number;
    s.file = file;
    s.skipped = comment_line || opens_block;
    out.push_back(s);
}

}  // namespace cosmac::assembler
