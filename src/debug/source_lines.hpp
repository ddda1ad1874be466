// The source lines of the programs loaded in debugger mode, from the line files
// cosmac-asm writes beside them: which line an address came from, where a
// line's code starts, and the lines' text, read from the sources when shown.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/source_line.hpp"

namespace cosmac {

struct SourcePlace {
    uint32_t file;  // an index into SourceLines' files
    uint32_t line;
    uint16_t address;  // where the line's code starts
    uint16_t size;
};

// A place typed as FILE:LINE, or why it is none.
struct PlaceReading {
    std::optional<SourcePlace> place;
    std::string error;
    std::string note;  // where a line without code moved to the next line that has some
};

class SourceLines {
public:
    // A later program's lines replace an earlier's at the same addresses.
    void add(const LineTable& table);
    bool empty() const { return starts_.empty(); }

    // The line whose code holds the address.
    std::optional<SourcePlace> at(uint16_t address) const;

    // FILE:LINE, FILE being a file's path (relative or absolute), or its end
    // after a /. A line that made no code is taken as the next one in that file
    // that did.
    PlaceReading find(std::string_view file_and_line) const;
    static bool looks_like_place(std::string_view word);
    // The line number after the last colon: 1 or more, and one that fits.
    static std::optional<uint32_t> line_of(std::string_view place);

    // The file's path, from where cosmac runs.
    const std::string& file(uint32_t index) const { return files_[index]; }

    // "name:line" with the file's name without its directories.
    std::string name(const SourcePlace& place) const;
    // The line's text; empty when the file cannot be read.
    std::string text(uint32_t file, uint32_t line) const;
    uint32_t line_count(uint32_t file) const;

private:
    const std::vector<std::string>& lines_of(uint32_t file) const;

    std::vector<std::string> files_;
    std::map<uint16_t, SourcePlace> starts_;  // by the first address of each line's code
    mutable std::map<uint32_t, std::vector<std::string>> texts_;  // read when first shown
};

}  // namespace cosmac
