// The C-like preprocessor of Asm/02 sources: #define'd names are replaced in
// every line they stand in (also in strings and comments), #if and its kind leave
// out what they exclude, #include asks for a file in its place, #error and
// #undef. It reads one line at a time and knows nothing of statements: what an
// #if evaluates, and what an #include brings, are the caller's.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "asm/notation.hpp"

namespace cosmac::assembler {

struct PreprocessedLine {
    bool skipped = false;  // a preprocessor line, or one in a region that #if leaves out
    std::string text;      // the line after substitution, where it is not skipped
    std::string include;   // the file an #include names, as written
    std::string error;
};

class Preprocessor {
public:
    using Evaluate = std::function<Evaluated(std::string_view expression)>;

    explicit Preprocessor(Evaluate evaluate) : evaluate_(std::move(evaluate)) {}

    PreprocessedLine line(std::string_view line);

    // As #define NAME VALUE would.
    void define(std::string name, std::string value);

private:
    void directive(std::string_view text, PreprocessedLine& result);
    bool active() const;
    std::string substitute(std::string_view line) const;
    const std::string* defined(std::string_view name) const;

    struct Condition {
        bool taking;       // this branch is read
        bool else_taking;  // the #else branch would be
    };

    Evaluate evaluate_;
    std::vector<Condition> conditions_;
    std::vector<std::pair<std::string, std::string>> defines_;  // in the order of their definitions
};

}  // namespace cosmac::assembler
