// What cosmac and cosmac-asm share in reading their command lines with CLI11.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
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

// Parses the command line: empty to go on, or the exit status once the help
// text (after the usage lines), the version, or an error (through failure) has
// been written.
template <class Failure>
std::optional<int> parse_command_line(CLI::App& app, int argc, char** argv, const char* usage, Failure failure)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s\n%s", usage, app.help().c_str());
        return 0;
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        return failure(option_error(error));
    }
    return std::nullopt;
}

}  // namespace cosmac
