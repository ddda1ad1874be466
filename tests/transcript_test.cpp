// Golden transcripts of the real binary through pipes. For each NAME.in in the
// transcripts directory, cosmac runs in a fresh directory (prepared by NAME.setup,
// a shell script that finds cosmac-asm in $COSMAC_ASM and the examples in
// $EXAMPLES, if there is one) with the arguments in NAME.args (one a line, if any)
// and NAME.in as standard input, or with what the shell script NAME.gen prints, for
// inputs too large to keep; standard output must equal NAME.out byte for byte,
// standard error NAME.err (empty if absent) and the exit status NAME.status (0 if
// absent).
//
// Every transcript of the plain monitor runs again in debugger mode, which adds
// lines but changes none: the output must be the same once the debugger's help
// lines, cycle lines, note lines and the register display's line of flags are
// taken out, and the end of a run that debugger mode starts on a line of its own
// is joined back to the program's output before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

#include "harness.hpp"

namespace cosmac::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kTranscripts = COSMAC_TRANSCRIPTS;

std::vector<std::string> transcript_names()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kTranscripts)) {
        if (entry.path().extension() == ".in" || entry.path().extension() == ".gen")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string expected(const std::string& name, const char* extension, std::string otherwise = "")
{
    const fs::path path = kTranscripts / (name + extension);
    return fs::exists(path) ? read_file(path) : otherwise;
}

// The end of a run (Break, or the count line) after a program's output, where
// debugger mode ends the output's line first.
std::string count_lines_joined(const std::string& output)
{
    static const std::regex after_output("([^\n])\n((?:[0-9]+ instructions executed|Break)\n)");
    return std::regex_replace(output, after_output, "$1$2");
}

// The session's output without the lines that debugger mode adds to the plain
// monitor's: its help lines, found by comparing the two help texts, cycle lines,
// notes and the flags line of the register display.
std::string without_debugger_lines(const std::string& output)
{
    static const std::vector<std::string> help_lines = [] {
        TempDir dir;
        const std::vector<std::string> plain = lines_of(run_piped("h\n", dir.path()).out);
        std::vector<std::string> added;
        for (const std::string& line : lines_of(run_piped("h\n", dir.path(), {"--debug"}).out)) {
            if (std::find(plain.begin(), plain.end(), line) == plain.end())
                added.push_back(line);
        }
        return added;
    }();
    static const std::regex added("[0-9]+ machine cycles, [0-9.]+ ms at [0-9.]+ MHz\n|note: [^\n]*\n|"
                                  " T = [0-9a-f]{2}, IE = [01], EF1 = [0-9a-f]{2}, EF2 = [0-9a-f]{2}, "
                                  "EF3 = [0-9a-f]{2}, EF4 = [0-9a-f]{2}\n");
    std::string result = count_lines_joined(std::regex_replace(output, added, ""));
    for (const std::string& line : help_lines) {
        for (std::size_t at; (at = result.find(line + "\n")) != std::string::npos;)
            result.erase(at, line.size() + 1);
    }
    return result;
}

class TranscriptTest : public ::testing::TestWithParam<std::string> {
protected:
    // Runs the transcript with extra arguments before its own.
    Transcript run(const std::vector<std::string>& extra_arguments = {})
    {
        const std::string& name = GetParam();
        const fs::path setup = kTranscripts / (name + ".setup");
        if (fs::exists(setup)) {
            const std::string command = "cd '" + dir.path().string() + "' && COSMAC_ASM='" + kAssemblerBinary +
                                        "' EXAMPLES='" + COSMAC_EXAMPLES + "' sh '" + setup.string() + "'";
            EXPECT_EQ(std::system(command.c_str()), 0) << "setup of " << name;
        }
        std::vector<std::string> arguments = extra_arguments;
        for (const std::string& argument : lines_of(expected(name, ".args")))
            arguments.push_back(argument);
        return run_piped(input(name), dir.path(), arguments);
    }

    std::string input(const std::string& name)
    {
        if (!fs::exists(kTranscripts / (name + ".gen")))
            return read_file(kTranscripts / (name + ".in"));
        const std::string command = "sh '" + (kTranscripts / (name + ".gen")).string() + "' > '" +
                                    (dir.path() / "generated-input").string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << "input of " << name;
        std::string generated = read_file(dir.path() / "generated-input");
        fs::remove(dir.path() / "generated-input");
        return generated;
    }

    TempDir dir;
};

TEST_P(TranscriptTest, MatchesGoldenOutput)
{
    const std::string& name = GetParam();
    const Transcript result = run();
    EXPECT_EQ(result.out, expected(name, ".out"));
    EXPECT_EQ(result.err, expected(name, ".err"));
    EXPECT_EQ(result.exit_status, std::stoi(expected(name, ".status", "0")));
}

INSTANTIATE_TEST_SUITE_P(Transcripts, TranscriptTest, ::testing::ValuesIn(transcript_names()),
                         [](const auto& info) { return info.param; });

// The transcripts of the plain monitor: those without arguments, less the one that
// types the debugger's letters as commands, which show the help text there.
std::vector<std::string> plain_transcript_names()
{
    std::vector<std::string> names;
    for (const std::string& name : transcript_names()) {
        if (!fs::exists(kTranscripts / (name + ".args")) && name != "other_letters_show_help")
            names.push_back(name);
    }
    return names;
}

class DebuggerModeTest : public TranscriptTest {};

TEST_P(DebuggerModeTest, SameButForAddedLines)
{
    const std::string& name = GetParam();
    const Transcript result = run({"--debug"});
    EXPECT_EQ(without_debugger_lines(result.out), count_lines_joined(expected(name, ".out")));
    EXPECT_EQ(result.err, expected(name, ".err"));
    EXPECT_EQ(result.exit_status, std::stoi(expected(name, ".status", "0")));
}

INSTANTIATE_TEST_SUITE_P(Transcripts, DebuggerModeTest, ::testing::ValuesIn(plain_transcript_names()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace cosmac::testing
