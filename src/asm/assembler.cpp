#include "asm/assembler.hpp"

#include <algorithm>
#include <cctype>
#include <deque>
#include <limits>
#include <set>
#include <tuple>
#include <utility>

#include "asm/encoder.hpp"
#include "asm/expression.hpp"
#include "asm/line_reader.hpp"
#include "asm/notation.hpp"
#include "asm/preprocessor.hpp"
#include "asm/source_files.hpp"
#include "asm/statement.hpp"
#include "asm/text.hpp"

namespace cosmac {
namespace {

using namespace assembler;

// The file of a symbol that -D defines: no file's index.
constexpr int kPredefined = std::numeric_limits<int>::min();

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

// A message as it is shown: control bytes as \xNN, and a quoted stretch of
// source cut after 120 characters, so that a binary file or a line of 100 KB
// given as source cannot flood the terminal.
std::string shown(std::string_view message)
{
    constexpr std::size_t kLongestQuote = 120;
    std::string out;
    bool quoting = false;
    std::size_t quoted = 0;
    for (const char c : message) {
        if (c == '\'') {
            quoting = !quoting;
            quoted = 0;
        } else if (quoting && ++quoted > kLongestQuote) {
            if (quoted == kLongestQuote + 1)
                out += "\u2026";
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7F ? "\\x" + hex_text(byte, 2) : std::string(1, c);
    }
    return out;
}

// After this many errors the rest are not worth reading.
constexpr std::size_t kMostErrors = 100;

class Assembler {
public:
    Assembler(Assembly& out, const Notation& notation, const AssemblyOptions& options)
        : out_(out),
          notation_(notation),
          options_(options),
          sources_(notation, options),
          reader_(notation),
          preprocessor_([this](std::string_view expression) { return evaluate(expression, symbols_, 0, notation_); }),
          extended_set_(has_extended_set(options.cpu))
    {
        for (const std::string_view line : notation.predefined_ops) {
            std::string unused;
            user_ops_.push_back(*parse_user_op(line, unused));
            user_ops_.back().predefined = true;
        }
    }

    void run(std::string_view source)
    {
        for (const std::string& definition : options_.predefined)
            predefine(definition);
        if (notation_.stamp_variables)
            define_stamp_variables();
        add_lines(source, 0, statements_.end());
        for (std::size_t i = 0; i < statements_.size(); ++i)
            first_pass(i);
        if (!conditions_.empty())
            error(statements_.back(), "IF without ENDI");
        for (const Statement& s : statements_)
            second_pass(s);
        // In the order of the statements, includes in their place.
        std::stable_sort(errors_.begin(), errors_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [order, error] : errors_) {
            if (out_.errors.size() == kMostErrors) {
                out_.errors.push_back({0, "too many errors; stopping", {}});
                break;
            }
            out_.errors.push_back(std::move(error));
        }
        for (const auto& [name, symbol] : symbols_) {
            if (!name.starts_with('['))  // the build stamp's variables are no program's names
                out_.symbols.push_back({static_cast<uint16_t>(symbol.value), name,
                                        symbol.label ? SymbolKind::Label : SymbolKind::Value});
        }
    }

private:
    // -D NAME=VALUE: a #define, or an equate defined before every line.
    void predefine(std::string_view definition)
    {
        const std::size_t equals = definition.find('=');
        const std::string name(definition.substr(0, equals));
        const std::string text(equals == std::string_view::npos ? "1" : definition.substr(equals + 1));
        if (notation_.c_preprocessor) {
            preprocessor_.define(name, text);
            return;
        }
        const Evaluated v = evaluate(text, symbols_, 0, notation_);
        if (!v.value || name.empty() || !is_name_start(name[0]))
            errors_.push_back({0, {0, shown("-D " + std::string(definition) + ": " + (v.value ? "bad name" : v.error)), {}}});
        else
            symbols_.try_emplace(symbol_name(name), Symbol{*v.value, 0, false, kPredefined});
    }

    // Asm/02's [month] [day] [year] [hour] [minute] [second] [build], from the
    // stamp that VER, EVER and EEVER write.
    void define_stamp_variables()
    {
        const BuildStamp& stamp = options_.build_stamp;
        const std::pair<const char*, int64_t> variables[] = {
            {"[month]", stamp.month},   {"[day]", stamp.day},       {"[year]", stamp.year},   {"[hour]", stamp.hour},
            {"[minute]", stamp.minute}, {"[second]", stamp.second}, {"[build]", stamp.build},
        };
        for (const auto& [name, value] : variables)
            symbols_.try_emplace(symbol_name(name), Symbol{value, 0, false, kPredefined});
    }

    // A file's statements in their place. With a preprocessor, its #include
    // brings its file in at once, since its #defines hold for the lines after it.
    void add_lines(std::string_view source, int file, std::vector<Statement>::iterator at)
    {
        if (notation_.c_preprocessor) {
            preprocess(source, file);
            return;
        }
        std::vector<Statement> lines;
        int line_number = 0;
        for (const std::string_view line : text_lines(source))
            reader_.read(line, ++line_number, file, lines);
        statements_.insert(at, lines.begin(), lines.end());
    }

    void preprocess(std::string_view source, int file)
    {
        int line_number = 0;
        for (const std::string_view line : text_lines(source)) {
            ++line_number;
            PreprocessedLine preprocessed = preprocessor_.line(line);
            Statement s;
            if (!preprocessed.skipped)
                s = parse_statement(line_texts_.emplace_back(std::move(preprocessed.text)), line_number, notation_);
            s.source = line;
            s.line = line_number;
            s.file = file;
            s.skipped = preprocessed.skipped;
            statements_.push_back(s);
            if (!preprocessed.error.empty())
                error(statements_.back(), preprocessed.error);
            if (!preprocessed.include.empty())
                include(statements_.size() - 1, preprocessed.include);
        }
    }

    // For a statement of statements_; error_at names the place of a copy.
    void error(const Statement& s, std::string message)
    {
        error_at(static_cast<std::size_t>(&s - statements_.data()), s, std::move(message));
    }

    void error_at(std::size_t order, const Statement& s, std::string message)
    {
        errors_.push_back({order, {s.line, shown(message), file_name(s.file)}});
    }

    void warn(const Statement& s, std::string message)
    {
        out_.warnings.push_back({s.line, shown(message), file_name(s.file)});
    }

    // Once a line, although both passes value an EQU.
    void notice(const Statement& s, std::string message)
    {
        AssemblyError notice{s.line, shown(message), file_name(s.file)};
        if (noticed_.insert({notice.file, notice.line, notice.message}).second)
            out_.notices.push_back(std::move(notice));
    }

    std::string file_name(int file) const { return file == 0 ? std::string() : sources_.path(file); }

    std::optional<int64_t> value(const Statement& s, std::string_view text)
    {
        const Evaluated v = evaluate(text, symbols_, s.address, notation_, s.scope);
        if (!v.value)
            error(s, v.error);
        if (v.wrapped)
            notice(s, wrapped_notice(notation_));
        return v.value;
    }

    std::string symbol_name(std::string_view label) const
    {
        const std::string name = label.starts_with('.') ? scope_ + std::string(label) : std::string(label);
        return notation_.symbols_ignore_case ? upper(name) : name;
    }

    enum class Defined { Label, Equate, Variable };

    // A name is defined once; a SET variable may be set again, and an equate may
    // be repeated with the same value, as register-name include files are.
    void define(const Statement& s, int64_t symbol_value, Defined how)
    {
        const bool variable = how == Defined::Variable;
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
        if (!is_name_start(name[0]) && !(notation_.sb_layout && name[0] == '.')) {
            error(s, "bad label '" + name + "'");
            return;
        }
        const auto [it, inserted] = symbols_.try_emplace(name, Symbol{symbol_value, s.line, variable, s.file, how == Defined::Label});
        if (inserted || (variable && it->second.variable)) {
            it->second.value = symbol_value;
            return;
        }
        if (s.directive == Directive::Equ && !it->second.variable && it->second.value == symbol_value)
            return;
        const Symbol& first = it->second;
        std::string where = first.file == kPredefined ? "by -D" : "on line " + std::to_string(first.line);
        if (first.file != s.file && first.file != kPredefined)
            where.append(" of ").append(sources_.path(first.file));
        error(s, "duplicate label '" + name + "' (first defined " + where + ")");
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
            const auto v = enclosing ? value(s, s.operands) : std::nullopt;
            const bool holds = v && *v != 0;  // false for one in error, which is reported
            conditions_.push_back({enclosing && holds, enclosing && !holds});
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
        s.suppressed = suppressing_;
        s.extended_set = extended_set_;
        if (conditional(s) || !(s.active = active(s.file)))
            return;
        const uint16_t before = s.address;
        switch (s.directive) {
        case Directive::Equ:
        case Directive::Set:
            if (s.label.empty())
                error(s, upper(s.operation) + " needs a name");
            else if (const auto v = value(s, s.operands))
                define(s, *v, s.directive == Directive::Set ? Defined::Variable : Defined::Equate);
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
                s.count = static_cast<uint32_t>(std::clamp<int64_t>(value(s, operands[0]).value_or(kValueInError), 0, kMemorySize));
            else
                move_location(s);
            break;
        case Directive::Suppress:
            suppressing_ = true;
            break;
        case Directive::NewOrigin:
            new_origin(s);
            break;
        case Directive::UserError:
            error(s, "error: " + std::string(s.operands));
            break;
        case Directive::Fill:
            if (const auto operands = split_operands(s.operands); operands.size() == 2)
                s.count = static_cast<uint32_t>(std::clamp<int64_t>(value(s, operands[1]).value_or(kValueInError), 0, kMemorySize));
            else
                error(s, "FILL takes a value and a count");
            break;
        case Directive::End:
            if (notation_.end_only_in_source && s.file != 0)
                error(s, "END inside an included file");
            ended_files_.insert(s.file);  // an included file's end returns to its includer
            break;
        case Directive::Cpu:
            if (const auto model = cpu_model_named(s.operands))
                extended_set_ = has_extended_set(*model);
            else
                error(s, upper(s.operation) + " takes 1802, 1804, 1805 or 1806");
            break;
        case Directive::Cpu1805:
            extended_set_ = true;
            break;
        case Directive::CpuFamily:
            if (const auto v = value(s, s.operands); v && *v != 1802)
                error(s, "only the 1802 family is supported (.CR 1802)");
            break;
        default:
            break;
        case Directive::Include:
            include(index, s.operands);
            return;
        }
        if (!s.label.empty())
            define(s, s.directive == Directive::Org && !notation_.org_label_before ? address_ : before, Defined::Label);
        if (s.operation.empty() || !makes_bytes(s.directive))
            return;
        const auto encoded = encode(request(s), symbols_, notation_);
        if (!encoded) {
            const bool in_column_one = s.operation.data() == s.source.data() && s.label.empty();
            error(s, "unknown mnemonic '" + std::string(s.operation) + "'" + operation_hint(notation_, s.operation) +
                         (in_column_one ? column_one_hint(notation_) : std::string()));
            return;
        }
        s.is_code = true;
        s.size = static_cast<unsigned>(encoded->bytes.size());
        s.user_op = encoded->user_op;
        if (address_ + s.size > kMemorySize)
            error(s, "code runs past ffff");
        address_ += s.size;
    }

    EncodeRequest request(const Statement& s) const
    {
        return {s.operation, s.directive, s.operands, s.address, s.count,           user_ops_,
                s.data_list, s.scope,     s.user_op,  &options_.build_stamp, s.extended_set};
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
            error(s, upper(s.operation) + " " + hex_text(target, 4) + " is outside memory");
        else
            address_ = static_cast<unsigned>(target);
        if (s.directive == Directive::Org)
            s.address = static_cast<uint16_t>(address_);
    }

    // .NO addr[,fill]: up to an address ahead, filling the gap where a value is given.
    void new_origin(Statement& s)
    {
        const auto operands = split_operands(s.operands);
        if (operands.empty() || operands.size() > 2) {
            error(s, upper(s.operation) + " takes an address and at most a fill value");
            return;
        }
        const auto target = value(s, operands[0]);
        if (!target)
            return;
        if (*target < address_ || *target > kMemorySize) {
            error(s, upper(s.operation) + " " + hex_text(*target, 4) + (*target < address_ ? " is behind " : " is past ffff from ") +
                         hex_text(address_, 4));
        } else if (operands.size() == 2) {
            s.count = static_cast<uint32_t>(*target - address_);
        } else {
            address_ = static_cast<unsigned>(*target);
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

    // The first .op of a name hides the notation's own of that name.
    void define_user_op(const Statement& s)
    {
        std::string problem;
        auto op = parse_user_op(s.operands, problem);
        if (!op) {
            error(s, problem);
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
        const OpenedInclude opened = sources_.open(statements_[index].file, written_name);
        if (!opened.error.empty())
            error_at(index, statements_[index], opened.error);
        else
            add_lines(opened.text, opened.file, statements_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
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
            for (std::string& message : encoded.notices)
                notice(s, std::move(message));
            if (encoded.bytes.size() != s.size)
                error(s, "this statement makes " + std::to_string(encoded.bytes.size()) +
                             " bytes, but the first pass laid out " + std::to_string(s.size));
            if (!s.suppressed) {
                place(s, encoded.bytes);
                add_line_entry(s, encoded.bytes.size());
                listing.bytes = std::move(encoded.bytes);
            }
        }
        if (!s.continues_line || listing.has_address)  // a listing line of its own only for an address to show
            out_.listing.push_back(std::move(listing));
    }

    // Statements of one line (RCA's, split by ;) make one entry.
    void add_line_entry(const Statement& s, std::size_t size)
    {
        if (size == 0)
            return;
        LineTable& table = out_.lines;
        const auto file = static_cast<uint32_t>(s.file);
        while (table.files.size() <= file)
            table.files.push_back(table.files.empty() ? options_.source_name : sources_.path(static_cast<int>(table.files.size())));
        const auto line = static_cast<uint32_t>(s.line);
        if (!table.entries.empty()) {
            LineTable::Entry& last = table.entries.back();
            if (last.file == file && last.line == line && static_cast<uint16_t>(last.address + last.size) == s.address) {
                last.size = static_cast<uint16_t>(last.size + size);
                return;
            }
        }
        table.entries.push_back({s.address, static_cast<uint16_t>(size), file, line});
    }

    void place(const Statement& s, const std::vector<uint8_t>& bytes)
    {
        bool overlap_reported = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto address = static_cast<uint16_t>(s.address + i);
            if (out_.assembled[address] && !overlap_reported) {
                error(s, "address " + hex_text(address, 4) + " is assembled twice (ORG overlap)");
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
    SourceFiles sources_;
    std::vector<std::pair<std::size_t, AssemblyError>> errors_;  // with the index of their statement
    std::vector<Condition> conditions_;
    std::vector<UserOp> user_ops_;
    LineReader reader_;
    Preprocessor preprocessor_;
    std::set<std::tuple<std::string, int, std::string>> noticed_;
    std::deque<std::string> line_texts_;  // lines after #define substitution, which statements point into
    Symbols symbols_;
    unsigned address_ = 0;
    std::set<int> ended_files_;
    std::string scope_;  // SB: the last global label
    bool suppressing_ = false;
    bool extended_set_;  // the 1804/1805/1806's instructions assemble from here on
};

}  // namespace

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
