// What cosmac and cosmac-asm share in reading their command lines with CLI11.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace cosmac {

// The help screen as CLI11 builds it from the options. Each program prints its
// own usage lines first, so CLI11's is left out.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() { column_width(24); }

    std::string make_usage(const CLI::App*, std::string) const override { return ""; }
};

// The message for a command line CLI11 refused: a word it did not expect that
// looks like an option is an unknown option.
inline std::string option_error(const CLI::ParseError& error)
{
    const std::string message = error.what();
    const std::size_t colon = message.find("not expected: ");
    if (colon == std::string::npos)
        return message;
    const std::string words = message.substr(colon + 14);
    return (words.starts_with("-") ? "unknown option " : "unexpected ") + words;
}

}  // namespace cosmac
