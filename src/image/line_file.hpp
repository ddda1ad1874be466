// Line files: the line table of a program, beside it as its symbol file is, with
// .lines in the place of its extension. Each line is "xxxx n path:line": the
// first address, the number of bytes (hex) and the source line they came from.
// A path is taken from the line file's own directory, so that a program and
// its sources can move together.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cpu/source_line.hpp"

namespace cosmac {

// The table's files must already be written as they are to be read: relative
// to the directory the line file goes to, or absolute.
std::string line_file_text(const LineTable& table);

// No such file is no error: it reads as an empty table and no problems. The
// files of the table read are paths from where cosmac runs.
struct LineFile {
    LineTable table;
    std::vector<std::string> problems;  // "file:line: message" for each line skipped, or why it could not be read
};

LineFile read_line_file(const std::string& path);

std::string line_file_name(std::string_view program_file);

}  // namespace cosmac
