// The source and the files it includes: where an include's name leads, and the
// text of each file for as long as its statements point into it.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "asm/assembler.hpp"
#include "asm/notation.hpp"

namespace cosmac::assembler {

struct OpenedInclude {
    int file{};               // its number, when there is no error
    std::string_view text;    // the file's text, which lives as long as the SourceFiles
    std::string error;        // "path: reason", a cycle, or too deep a nesting
};

class SourceFiles {
public:
    SourceFiles(const Notation& notation, const AssemblyOptions& options);

    // File 0 is the source; each include gets the next number.
    const std::string& path(int file) const { return paths_[static_cast<std::size_t>(file)]; }

    // The file that an include in the including file names, as written (quotes
    // allowed): next to the including file, then in each include directory in
    // order; a name from / is taken as it is.
    OpenedInclude open(int including, std::string_view written_name);

private:
    int depth(int file) const;
    bool includes_itself(int including, const std::string& path) const;

    const Notation& notation_;
    const AssemblyOptions& options_;
    std::vector<std::string> paths_;
    std::vector<int> parents_;      // the file that included file i + 1
    std::deque<std::string> texts_;
};

}  // namespace cosmac::assembler
