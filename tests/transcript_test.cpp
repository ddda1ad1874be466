// Golden transcripts of the real binary through pipes. For each NAME.in in the
// transcripts directory, cosmac runs in a fresh directory (prepared by NAME.setup,
// a shell script, if there is one) with NAME.in as standard input, or with what the
// shell script NAME.gen prints, for inputs too large to keep; standard output must
// equal NAME.out byte for byte, standard error NAME.err (empty if absent) and the
// exit status NAME.status (0 if absent).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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

class TranscriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(TranscriptTest, MatchesGoldenOutput)
{
    const std::string& name = GetParam();
    TempDir dir;
    const fs::path setup = kTranscripts / (name + ".setup");
    if (fs::exists(setup)) {
        const std::string command = "cd '" + dir.path().string() + "' && sh '" + setup.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << "setup of " << name;
    }
    std::string input;
    if (fs::exists(kTranscripts / (name + ".gen"))) {
        const std::string command = "sh '" + (kTranscripts / (name + ".gen")).string() + "' > '" +
                                    (dir.path() / "generated-input").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << "input of " << name;
        input = read_file(dir.path() / "generated-input");
        fs::remove(dir.path() / "generated-input");
    } else {
        input = read_file(kTranscripts / (name + ".in"));
    }
    const Transcript result = run_piped(input, dir.path());
    EXPECT_EQ(result.out, expected(name, ".out"));
    EXPECT_EQ(result.err, expected(name, ".err"));
    EXPECT_EQ(result.exit_status, std::stoi(expected(name, ".status", "0")));
}

INSTANTIATE_TEST_SUITE_P(Transcripts, TranscriptTest, ::testing::ValuesIn(transcript_names()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace cosmac::testing
