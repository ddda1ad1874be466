#include "asm/preprocessor.hpp"

#include <algorithm>

#include "asm/text.hpp"

namespace cosmac::assembler {

PreprocessedLine Preprocessor::line(std::string_view line)
{
    PreprocessedLine result;
    const std::string_view text = trim(line);
    // Older sources write "include file" in column 1, without the #.
    const bool bare_include =
        line.size() > 8 && upper(line.substr(0, 7)) == "INCLUDE" && (line[7] == ' ' || line[7] == '\t');
    if (text.starts_with('#') || bare_include) {
        result.skipped = true;
        directive(bare_include ? text : text.substr(1), result);
    } else if (!active()) {
        result.skipped = true;
    } else {
        result.text = substitute(line);
    }
    return result;
}

bool Preprocessor::active() const
{
    return std::all_of(conditions_.begin(), conditions_.end(), [](const Condition& c) { return c.taking; });
}

// Each whole word that a #define names, in the order of the definitions.
std::string Preprocessor::substitute(std::string_view line) const
{
    std::string text(line);
    for (const auto& [name, value] : defines_) {
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
            const bool starts = at == 0 || !is_word_char(text[at - 1]);
            const bool ends = !is_word_char(text[at + name.size()]);  // at the end, the string's NUL
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

void Preprocessor::define(std::string name, std::string value)
{
    std::erase_if(defines_, [&](const auto& d) { return d.first == name; });
    defines_.emplace_back(std::move(name), std::move(value));
}

const std::string* Preprocessor::defined(std::string_view name) const
{
    for (const auto& [defined_name, value] : defines_) {
        if (upper(defined_name) == upper(name))
            return &value;
    }
    return nullptr;
}

void Preprocessor::directive(std::string_view text, PreprocessedLine& result)
{
    const std::size_t end = word_length(text);
    const std::string keyword = upper(text.substr(0, end));
    // A comment may follow any preprocessor line: "#if SPI_GROUP ; restore group".
    std::string_view rest = trim(text.substr(end));
    const std::size_t comment = find_unquoted(rest, [&](std::size_t i) { return rest[i] == ';'; });
    rest = trim(rest.substr(0, comment));
    const std::string_view name = rest.substr(0, word_length(rest));
    const bool reading = active();
    if (keyword == "IFDEF" || keyword == "IFNDEF") {
        const bool taking = reading && (defined(name) != nullptr) == (keyword == "IFDEF");
        conditions_.push_back({taking, reading && !taking});
    } else if (keyword == "IF") {
        const Evaluated v = reading ? evaluate_(substitute(rest)) : Evaluated{0, {}};
        result.error = v.error;
        const bool holds = v.value && *v.value != 0;  // false for one in error, which is reported
        conditions_.push_back({reading && holds, reading && !holds});
    } else if (keyword == "ELSE" || keyword == "ENDIF") {
        if (conditions_.empty())
            result.error = std::string("#").append(text.substr(0, end)).append(" without #if");
        else if (keyword == "ELSE")
            conditions_.back().taking = std::exchange(conditions_.back().else_taking, false);
        else
            conditions_.pop_back();
    } else if (!reading) {
        return;
    } else if (keyword == "DEFINE" && name.empty()) {
        result.error = "#define needs a name";
    } else if (keyword == "DEFINE") {
        const std::string_view value = trim(rest.substr(name.size()));
        define(std::string(name), value.empty() ? "1" : std::string(value));
    } else if (keyword == "UNDEF") {
        std::erase_if(defines_, [&](const auto& d) { return d.first == name; });
    } else if (keyword == "ERROR") {
        result.error = "#error " + std::string(rest);
    } else if (keyword == "INCLUDE") {
        result.include = std::string(rest);
    } else {
        result.error = "unknown preprocessor line #" + std::string(text.substr(0, end));
    }
}

}  // namespace cosmac::assembler
