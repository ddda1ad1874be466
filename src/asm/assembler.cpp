#include "asm/assembler.hpp"

#include <algorithm>
#include <cctype>
#include <deque>
#include <set>
#include <utility>

#include "asm/encoder.hpp"
#include "asm/expression.hpp"
#include "asm/notation.hpp"
#include "asm/text.hpp"

namespace cosmac {
namespace {

using namespace assembler;

constexpr int kIncludeDepth = 16;

// One source line: "[label:] operation operands", or "name EQU value".
struct Statement {
    int file = 0;  // index into the assembler's file names; 0 is the source itself
    int line = 0;
    std::string_view source;
    std::string_view label;
    std::string_view operation;  // mnemonic or directive, as written
    std::string_view operands;
    std::string_view data_list;  // RCA: the bytes after ", " that follow an instruction
    std::string scope;           // SB: the global label that .NAME labels here belong to
    Directive directive = Directive::None;
    uint16_t address = 0;
    unsigned size = 0;
    uint32_t count = 0;     // FILL's count, taken in the first pass
    std::optional<std::string> user_op;  // the .op form the first pass chose, by its operand letters
    bool is_code = false;   // an instruction or data directive, which the second pass encodes
    bool active = true;     // not in a false IF branch nor after END
    bool skipped = false;   // a preprocessor line, or one in a false #if region
    bool colon_missing = false;  // a column-1 label written without its colon
};

std::size_t label_length(std::string_view text, const Notation& notation)
{
    std::size_t end = 0;
    while (end < text.size() && (notation.is_name_char(text[end]) || (end == 0 && text[end] == '_')))
        ++end;
    return end;
}

// SB's operand is one word: it ends at the first blank outside quotes, and the
// rest of the line is comment. Delimited text (.AS) may hold blanks.
std::size_t sb_operand_length(std::string_view operand, Directive directive)
{
    std::size_t i = 0;
    if (directive == Directive::Text7) {
        if (i < operand.size() && operand[i] == '-')
            ++i;
        while (i < operand.size() && operand[i] != ' ' && operand[i] != '\t') {
            const char delimiter = operand[i];
            if (delimiter == '#') {
                while (i < operand.size() && operand[i] != ',' && operand[i] != ' ' && operand[i] != '\t')
                    ++i;
            } else {
                for (++i; i < operand.size() && operand[i] != delimiter; ++i)
                    i += operand[i] == '\\';
                ++i;
            }
            if (i < operand.size() && operand[i] == ',')
                ++i;
        }
        return std::min(i, operand.size());
    }
    return find_unquoted(operand, [&](std::size_t at) { return operand[at] == ' ' || operand[at] == '\t'; });
}

// One RCA statement: "LABEL: body", "NAME=value", ",data list", or a mnemonic
// (letters and digits, blanks after it optional), its operand and ",data list".
Statement parse_rca_statement(std::string_view text)
{
    Statement s;
    text = trim(text);
    const auto word_end = [](std::string_view t) {
        std::size_t end = 0;
        while (end < t.size() && std::isalnum(static_cast<unsigned char>(t[end])))
            ++end;
        return end;
    };
    std::size_t end = word_end(text);
    if (end > 0 && end < text.size() && text[end] == ':') {
        s.label = text.substr(0, end);
        text = trim(text.substr(end + 1));
        end = word_end(text);
    }
    const std::string_view after = trim(text.substr(end));
    if (text.starts_with(',')) {
        s.operation = text.substr(0, 1);
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

// "; cosmac-asm: syntax=NAME" on the first line chooses the notation.
std::string_view declared_syntax(std::string_view source)
{
    const std::string_view first = source.substr(0, source.find('\n'));
    const std::size_t at = first.find("cosmac-asm:");
    if (at == std::string_view::npos)
        return {};
    const std::size_t syntax = first.find("syntax=", at);
    if (syntax == std::string_view::npos)
        return {};
    const std::string_view rest = first.substr(syntax + 7);
    return rest.substr(0, word_length(rest));
}

class Assembler {
public:
    Assembler(Assembly& out, const Notation& notation, const AssemblyOptions& options)
        : out_(out), notation_(notation), options_(options)
    {
        files_.push_back(options.source_name);
        for (const std::string_view line : notation.predefined_ops) {
            user_ops_.push_back(*user_op(line));
            user_ops_.back().predefined = true;
        }
    }

    void run(std::string_view source)
    {
        add_lines(source, 0, statements_.end());
        for (std::size_t i = 0; i < statements_.size(); ++i)
            first_pass(i);
        if (!conditions_.empty())
            error(statements_.back(), "IF without ENDI");
        address_ = 0;
        for (const Statement& s : statements_)
            second_pass(s);
        // In the order of the statements, includes in their place.
        std::stable_sort(errors_.begin(), errors_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [order, error] : errors_)
            out_.errors.push_back(std::move(error));
        for (const auto& [name, symbol] : symbols_)
            out_.symbols.push_back({static_cast<uint16_t>(symbol.value), name});
    }

private:
    void add_lines(std::string_view source, int file, std::vector<Statement>::iterator at)
    {
        if (notation_.c_preprocessor) {
            preprocess(source, file);
            return;
        }
        std::vector<Statement> lines;
        int line_number = 0;
        for (const std::string_view line : source_lines(source)) {
            ++line_number;
            if (notation_.rca_free_form) {
                add_rca_statements(line, line_number, file, lines);
                continue;
            }
            const bool comment_line = notation_.sb_layout && (in_comment_block_ || (!line.empty() && std::string_view(";*#@").find(line[0]) != std::string_view::npos));
            Statement s = comment_line ? Statement{} : parse_statement(line, line_number, notation_);
            if (notation_.sb_layout && upper(s.operation) == ".CO")
                in_comment_block_ = true;
            if (notation_.sb_layout && upper(trim(line)).starts_with(".EC"))
                in_comment_block_ = false;
            s.source = line;
            s.line = line_number;
            s.file = file;
            s.skipped = comment_line || (notation_.sb_layout && upper(s.operation) == ".CO");
            lines.push_back(s);
        }
        statements_.insert(at, lines.begin(), lines.end());
    }

    // For a statement of statements_; error_at names the place of a copy.
    void error(const Statement& s, std::string message)
    {
        error_at(static_cast<std::size_t>(&s - statements_.data()), s, std::move(message));
    }

    void error_at(std::size_t order, const Statement& s, std::string message)
    {
        errors_.push_back({order, {s.line, std::move(message), s.file == 0 ? std::string() : files_[s.file]}});
    }

    void warn(const Statement& s, std::string message)
    {
        out_.warnings.push_back({s.line, std::move(message), s.file == 0 ? std::string() : files_[s.file]});
    }

    std::optional<int64_t> value(const Statement& s, std::string_view text)
    {
        const Evaluated v = evaluate(text, symbols_, s.address, notation_, s.scope);
        if (!v.value)
            error(s, v.error);
        return v.value;
    }

    std::string symbol_name(std::string_view label) const
    {
        const std::string name = label.starts_with('.') ? scope_ + std::string(label) : std::string(label);
        return notation_.symbols_ignore_case ? upper(name) : name;
    }

    void define(const Statement& s, int64_t symbol_value, bool variable = false)
    {
        const std::string name = symbol_name(s.label);
        if (const auto number = notation_.number(name); number && number->value) {
            error(s, "label '" + name + "' reads as a hexadecimal number; choose another name");
            return;
        }
        if (!notation_.registers_are_expressions && name.size() == 2 && (name[0] == 'R' || name[0] == 'r') &&
            is_hex_digit(name[1])) {
            error(s, "label '" + name + "' reads as a register");
            return;
        }
        if (!is_identifier_start(name[0]) && !(notation_.sb_layout && name[0] == '.')) {
            error(s, "bad label '" + name + "'");
            return;
        }
        const auto [it, inserted] = symbols_.try_emplace(name, Symbol{symbol_value, s.line, variable});
        if (inserted || (variable && it->second.variable)) {
            it->second.value = symbol_value;
            return;
        }
        error(s, "duplicate label '" + name + "' (first defined on line " + std::to_string(it->second.line) + ")");
    }

    bool active(int file) const
    {
        const auto taking = [](const Condition& c) { return c.taking; };
        return !ended_files_.contains(file) && std::all_of(conditions_.begin(), conditions_.end(), taking);
    }

    // IF, ELSE and ENDI, which the first pass follows even where it assembles nothing.
    bool conditional(Statement& s)
    {
        switch (s.directive) {
        case Directive::If: {
            const bool enclosing = active(s.file);
            const auto v = enclosing ? value(s, s.operands) : std::optional<int64_t>(0);
            conditions_.push_back({enclosing && v.value_or(0) != 0, enclosing && !v.value_or(0)});
            return true;
        }
        case Directive::Else:
            if (conditions_.empty())
                error(s, "ELSE without IF");
            else
                conditions_.back().taking = std::exchange(conditions_.back().else_taking, false);
            return true;
        case Directive::EndIf:
            if (conditions_.empty())
                error(s, "ENDI without IF");
            else
                conditions_.pop_back();
            return true;
        default:
            return false;
        }
    }

    // Addresses, sizes and the symbols they define. A name used before its
    // definition reads as 0 here, which changes no statement's size.
    void first_pass(std::size_t index)
    {
        Statement& s = statements_[index];
        s.address = static_cast<uint16_t>(address_);
        if (s.skipped) {
            s.active = false;
            return;
        }
        if (notation_.sb_layout && !s.label.empty() && s.label[0] != '.')
            scope_ = std::string(s.label);
        s.scope = scope_;
        if (conditional(s) || !(s.active = active(s.file)))
            return;
        const uint16_t before = s.address;
        switch (s.directive) {
        case Directive::Equ:
        case Directive::Set:
            if (s.label.empty())
                error(s, upper(s.operation) + " needs a name");
            else if (const auto v = value(s, s.operands))
                define(s, *v, s.directive == Directive::Set);
            return;
        case Directive::Org:
        case Directive::Reserve:
        case Directive::Page:
        case Directive::Align:
            move_location(s);
            break;
        case Directive::UserOp:
            define_user_op(s);
            break;
        case Directive::Block:
            if (const auto operands = split_operands(s.operands); operands.size() == 2)
                s.count = static_cast<uint32_t>(std::clamp<int64_t>(value(s, operands[0]).value_or(0), 0, 0x10000));
            else
                move_location(s);
            break;
        case Directive::UserError:
            error(s, "error: " + std::string(s.operands));
            break;
        case Directive::Fill:
            if (const auto operands = split_operands(s.operands); operands.size() == 2)
                s.count = static_cast<uint32_t>(std::clamp<int64_t>(value(s, operands[1]).value_or(0), 0, 0x10000));
            else
                error(s, "FILL takes a value and a count");
            break;
        case Directive::End:
            if (notation_.end_only_in_source && s.file != 0)
                error(s, "END inside an included file");
            ended_files_.insert(s.file);  // an included file's end returns to its includer
            break;
        case Directive::Include:
            include(index, s.operands);
            return;
        case Directive::Cpu:
            if (const auto v = value(s, s.operands); v && *v != 1802)
                error(s, "only the 1802 is supported (CPU 1802)");
            break;
        default:
            break;
        }
        if (!s.label.empty())
            define(s, s.directive == Directive::Org && !notation_.org_label_before ? address_ : before);
        if (s.operation.empty() || !makes_bytes(s.directive))
            return;
        const auto encoded = encode(request(s), symbols_, notation_);
        if (!encoded) {
            error(s, "unknown mnemonic '" + std::string(s.operation) + "'" + operation_hint(notation_, s.operation) +
                         column_one_hint(s));
            return;
        }
        s.is_code = true;
        s.size = static_cast<unsigned>(encoded->bytes.size());
        s.user_op = encoded->user_op;
        if (address_ + s.size > 0x10000)
            error(s, "code runs past ffff");
        address_ += s.size;
    }

    static bool makes_bytes(Directive directive)
    {
        switch (directive) {
        case Directive::None:
        case Directive::Bytes:
        case Directive::Words:
        case Directive::Text:
        case Directive::Fill:
        case Directive::Load:
        case Directive::Call:
        case Directive::Return:
        case Directive::DataList:
        case Directive::Text7:
        case Directive::HexString:
        case Directive::Addresses:
        case Directive::Reversed:
        case Directive::Longs:
        case Directive::Block:  // with a fill value; without one it makes no bytes
            return true;
        default:
            return false;
        }
    }

    // A word in column 1 that is no instruction is a label in the notations that
    // take labels there without a colon, as most other 1802 assemblers do.
    std::string column_one_hint(const Statement& s) const
    {
        if (notation_.column_one_labels || s.operation.data() != s.source.data() || !s.label.empty())
            return {};
        std::vector<std::string_view> names;
        for (const Notation* notation : notations()) {
            if (notation->column_one_labels)
                names.push_back(notation->name);
        }
        std::string hint = "; try --syntax " + std::string(names[0]);
        for (std::size_t i = 1; i < names.size(); ++i)
            hint += (i == 1 ? " (or " : ", ") + std::string(names[i]);
        return hint + (names.size() > 1 ? ")" : "") + ", where a word in column 1 is a label";
    }

    EncodeRequest request(const Statement& s) const
    {
        return {s.operation, s.directive, s.operands, s.address, s.count, user_ops_, s.data_list, s.scope, s.user_op};
    }

    // ORG, BLK (DS) and PAGE move the location counter without writing bytes.
    void move_location(Statement& s)
    {
        if (s.directive == Directive::Page) {
            address_ = (address_ + 0xFF) & ~0xFFu;
            return;
        }
        if (s.directive == Directive::Align) {
            align(s);
            return;
        }
        const auto v = value(s, s.operands);
        if (!v)
            return;
        const int64_t target = s.directive == Directive::Org ? *v : address_ + *v;  // BLK, DS, .BS n: relative
        if (target < 0 || target > 0xFFFF)
            error(s, upper(s.operation) + " " + hex(target) + " is outside memory");
        else
            address_ = static_cast<unsigned>(target);
        if (s.directive == Directive::Org)
            s.address = static_cast<uint16_t>(address_);
    }

    // An RCA line: statements separated by ; before any .. comment; the listing
    // shows the line with the first of them.
    void add_rca_statements(std::string_view line, int line_number, int file, std::vector<Statement>& lines)
    {
        std::string_view text = line.substr(0, find_unquoted(line, [&](std::size_t i) { return line.substr(i).starts_with(".."); }));
        bool first = true;
        while (true) {
            const std::size_t semicolon = find_unquoted(text, [&](std::size_t i) { return text[i] == ';'; });
            Statement s = parse_rca_statement(text.substr(0, semicolon));
            s.source = first ? line : std::string_view();
            s.line = line_number;
            s.file = file;
            if (first || !s.operation.empty() || !s.label.empty())
                lines.push_back(s);
            first = false;
            if (semicolon == text.size())
                break;
            text.remove_prefix(semicolon + 1);
        }
    }

    // The lines of a source for a notation with a C-like preprocessor, appended:
    // #include puts a file's lines in its place, #define'd names are replaced in
    // every line they stand in (also in strings and comments), #if and its kind
    // leave out what they exclude.
    void preprocess(std::string_view source, int file)
    {
        int line_number = 0;
        for (const std::string_view line : source_lines(source)) {
            ++line_number;
            const std::string_view text = trim(line);
            // Older sources write "include file" in column 1, without the #.
            const bool bare_include =
                line.size() > 8 && upper(line.substr(0, 7)) == "INCLUDE" && (line[7] == ' ' || line[7] == '\t');
            const bool directive = text.starts_with('#') || bare_include;
            const bool skipped = directive || !preprocessor_active();
            Statement s;
            if (skipped) {
                s.source = line;
            } else {
                const std::string& substituted = line_texts_.emplace_back(substitute(line));
                s = parse_statement(substituted, line_number, notation_);
                s.source = line;
            }
            s.line = line_number;
            s.file = file;
            s.skipped = skipped;
            statements_.push_back(s);
            if (directive)
                preprocessor_line(bare_include ? text : text.substr(1), statements_.size() - 1);
        }
    }

    bool preprocessor_active() const
    {
        return std::all_of(pp_conditions_.begin(), pp_conditions_.end(), [](const Condition& c) { return c.taking; });
    }

    // Each whole word that a #define names, in the order of the definitions.
    std::string substitute(std::string_view line) const
    {
        std::string text(line);
        for (const auto& [name, value] : defines_) {
            for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
                const bool starts = at == 0 || !is_word_char(text[at - 1]);
                const bool ends = at + name.size() >= text.size() || !is_word_char(text[at + name.size()]);
                if (starts && ends) {
                    text.replace(at, name.size(), value);
                    at += value.size();
                } else {
                    at += name.size();
                }
            }
        }
        return text;
    }

    const std::string* defined(std::string_view name) const
    {
        for (const auto& [defined_name, value] : defines_) {
            if (upper(defined_name) == upper(name))
                return &value;
        }
        return nullptr;
    }

    void preprocessor_line(std::string_view text, std::size_t index)
    {
        const std::size_t end = word_length(text);
        const std::string keyword = upper(text.substr(0, end));
        const std::string_view rest = trim(text.substr(end));
        const std::string_view name = rest.substr(0, word_length(rest));
        const bool active = preprocessor_active();
        if (keyword == "IFDEF" || keyword == "IFNDEF") {
            const bool taking = active && (defined(name) != nullptr) == (keyword == "IFDEF");
            pp_conditions_.push_back({taking, active && !taking});
        } else if (keyword == "IF") {
            const Evaluated v = active ? evaluate(substitute(rest), symbols_, 0, notation_) : Evaluated{0, {}};
            if (!v.value)
                error(statements_[index], v.error);
            pp_conditions_.push_back({active && v.value.value_or(0) != 0, active && v.value.value_or(0) == 0});
        } else if (keyword == "ELSE" || keyword == "ENDIF") {
            if (pp_conditions_.empty())
                error(statements_[index], "#" + std::string(text.substr(0, end)) + " without #if");
            else if (keyword == "ELSE")
                pp_conditions_.back().taking = std::exchange(pp_conditions_.back().else_taking, false);
            else
                pp_conditions_.pop_back();
        } else if (!active) {
            return;
        } else if (keyword == "DEFINE" && name.empty()) {
            error(statements_[index], "#define needs a name");
        } else if (keyword == "DEFINE") {
            // A trailing comment is no part of the value, whatever Asm/02 did.
            std::string_view value = trim(rest.substr(name.size()));
            value = trim(value.substr(0, find_unquoted(value, [&](std::size_t i) { return value[i] == ';'; })));
            std::erase_if(defines_, [&](const auto& d) { return d.first == name; });
            defines_.emplace_back(std::string(name), value.empty() ? "1" : std::string(value));
        } else if (keyword == "UNDEF") {
            std::erase_if(defines_, [&](const auto& d) { return d.first == name; });
        } else if (keyword == "ERROR") {
            error(statements_[index], "#error " + std::string(rest));
        } else if (keyword == "INCLUDE") {
            include(index, rest);
        } else {
            error(statements_[index], "unknown preprocessor line #" + std::string(text.substr(0, end)));
        }
    }

    // .align word, dword, qword, para, page or a power of two.
    void align(const Statement& s)
    {
        static constexpr std::pair<std::string_view, unsigned> kNamed[] = {
            {"WORD", 2}, {"DWORD", 4}, {"QWORD", 8}, {"PARA", 16}, {"PAGE", 256}};
        unsigned size = 0;
        for (const auto& [name, bytes] : kNamed) {
            if (upper(s.operands) == name)
                size = bytes;
        }
        if (size == 0)
            size = static_cast<unsigned>(value(s, s.operands).value_or(1));
        if (size == 0 || (size & (size - 1)) != 0)
            error(s, ".align needs a power of two");
        else
            address_ = (address_ + size - 1) & ~(size - 1);
    }

    // The operands of .op: "NAME","ARGS","BYTES".
    static std::optional<UserOp> user_op(std::string_view operands)
    {
        std::vector<std::string> fields;
        for (std::string_view field : split_operands(operands)) {
            if (field.size() < 2 || field.front() != '"' || field.back() != '"')
                return std::nullopt;
            fields.emplace_back(field.substr(1, field.size() - 2));
        }
        if (fields.size() != 3)
            return std::nullopt;
        UserOp op{upper(fields[0]), upper(fields[1]), {}};
        std::string_view bytes = fields[2];
        while (!(bytes = trim(bytes)).empty()) {
            const std::size_t end = std::min(bytes.find(' '), bytes.size());
            op.tokens.emplace_back(upper(bytes.substr(0, end)));
            bytes.remove_prefix(end);
        }
        return op;
    }

    // The first .op of a name hides the notation's own of that name.
    void define_user_op(const Statement& s)
    {
        auto op = user_op(s.operands);
        if (!op) {
            error(s, ".op takes three quoted fields: name, operand letters, bytes");
            return;
        }
        const auto own = [&](const UserOp& o) { return o.name == op->name && !o.predefined; };
        if (std::none_of(user_ops_.begin(), user_ops_.end(), own))
            std::erase_if(user_ops_, [&](const UserOp& o) { return o.name == op->name; });
        user_ops_.push_back(std::move(*op));
    }

    // The file's lines take the place right after the statement that includes it.
    void include(std::size_t index, std::string_view written_name)
    {
        const Statement s = statements_[index];
        std::string name(trim(written_name));
        if (name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0])
            name = name.substr(1, name.size() - 2);
        if (notation_.sb_layout && name.find('.') == std::string::npos)
            name += ".asm";
        const std::string& including = files_[s.file];
        const std::size_t slash = including.rfind('/');
        const std::string path =
            name.starts_with('/') || slash == std::string::npos ? name : including.substr(0, slash + 1) + name;
        int depth = 0;
        for (int file = s.file; file != 0; file = parents_[file - 1])
            ++depth;
        for (int file = s.file;; file = parents_[file - 1]) {
            if (files_[file] == path) {
                error_at(index, s, "include cycle: " + path + " includes itself");
                return;
            }
            if (file == 0)
                break;
        }
        if (depth >= kIncludeDepth) {
            error_at(index, s, "includes nest deeper than " + std::to_string(kIncludeDepth));
            return;
        }
        std::string reason = "includes are not available here";
        const auto text = options_.read_include ? options_.read_include(path, reason) : std::nullopt;
        if (!text) {
            error_at(index, s, path + ": " + reason);
            return;
        }
        texts_.push_back(*text);
        files_.push_back(path);
        parents_.push_back(s.file);
        add_lines(texts_.back(), static_cast<int>(files_.size() - 1), statements_.begin() + index + 1);
    }

    void second_pass(const Statement& s)
    {
        ListingLine listing;
        listing.source = std::string(s.source);
        listing.address = s.address;
        listing.has_address = s.active && (s.size > 0 || s.directive == Directive::Org);
        if (s.active && s.directive == Directive::Set && !s.label.empty()) {
            if (const auto v = value(s, s.operands))
                symbols_[symbol_name(s.label)].value = *v;  // later lines see the value set here
        }
        if (s.active && s.colon_missing && notation_.labels_want_colons)
            warn(s, "label '" + std::string(s.label) + "' without its colon");
        if (s.active && s.is_code) {
            Encoded encoded = *encode(request(s), symbols_, notation_);
            for (std::string& message : encoded.errors)
                error(s, std::move(message));
            for (std::string& message : encoded.warnings)
                warn(s, std::move(message));
            if (encoded.bytes.size() != s.size)
                error(s, "this statement makes " + std::to_string(encoded.bytes.size()) +
                             " bytes, but the first pass laid out " + std::to_string(s.size));
            place(s, encoded.bytes);
            listing.bytes = std::move(encoded.bytes);
        }
        out_.listing.push_back(std::move(listing));
    }

    void place(const Statement& s, const std::vector<uint8_t>& bytes)
    {
        bool overlap_reported = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(s.address + i);
            if (out_.assembled[address] && !overlap_reported) {
                error(s, "address " + hex(address) + " is assembled twice (ORG overlap)");
                overlap_reported = true;
            }
            out_.assembled[address] = true;
            out_.memory[address] = bytes[i];
        }
    }

    struct Condition {
        bool taking;       // this branch assembles
        bool else_taking;  // the ELSE branch would
    };

    Assembly& out_;
    const Notation& notation_;
    const AssemblyOptions& options_;
    std::vector<Statement> statements_;
    std::vector<std::string> files_;   // 0: the source; then each included file
    std::vector<int> parents_;         // the file that included files_[i + 1]
    std::deque<std::string> texts_;    // the included files' text, which statements point into
    std::vector<std::pair<std::size_t, AssemblyError>> errors_;  // with the index of their statement
    std::vector<Condition> conditions_;
    std::vector<UserOp> user_ops_;
    std::vector<Condition> pp_conditions_;                      // #if and its kind
    std::vector<std::pair<std::string, std::string>> defines_;  // in the order of their definitions
    std::deque<std::string> line_texts_;                        // lines after #define substitution
    Symbols symbols_;
    unsigned address_ = 0;
    std::set<int> ended_files_;
    bool in_comment_block_ = false;  // SB: between .CO and .EC
    std::string scope_;              // SB: the last global label
};

}  // namespace

uint16_t Assembly::lowest() const
{
    for (unsigned a = 0; a < 0x10000; ++a) {
        if (assembled[a])
            return static_cast<uint16_t>(a);
    }
    return 0;
}

uint16_t Assembly::highest() const
{
    for (unsigned a = 0x10000; a-- > 0;) {
        if (assembled[a])
            return static_cast<uint16_t>(a);
    }
    return 0;
}

bool known_syntax(std::string_view name) { return notation_named(name) != nullptr; }

Assembly assemble(std::string_view source, const AssemblyOptions& options)
{
    Assembly assembly;
    const std::string_view declared = declared_syntax(source);
    const Notation* notation = notation_named(declared.empty() ? options.syntax : declared);
    if (notation == nullptr) {
        assembly.errors.push_back({1, "unknown syntax '" + std::string(declared) + "'", {}});
        return assembly;
    }
    Assembler(assembly, *notation, options).run(source);
    return assembly;
}

}  // namespace cosmac
