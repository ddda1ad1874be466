#include "asm/source_files.hpp"

#include "asm/text.hpp"

namespace cosmac::assembler {
namespace {

constexpr int kIncludeDepth = 16;

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

OpenedInclude not_opened(std::string reason)
{
    OpenedInclude failed;
    failed.error = std::move(reason);
    return failed;
}

}  // namespace

SourceFiles::SourceFiles(const Notation& notation, const AssemblyOptions& options)
    : notation_(notation), options_(options), paths_{options.source_name}
{
}

int SourceFiles::depth(int file) const
{
    int depth = 0;
    for (; file != 0; file = parents_[static_cast<std::size_t>(file) - 1])
        ++depth;
    return depth;
}

bool SourceFiles::includes_itself(int including, const std::string& path) const
{
    for (int file = including;; file = parents_[static_cast<std::size_t>(file) - 1]) {
        if (this->path(file) == path)
            return true;
        if (file == 0)
            return false;
    }
}

OpenedInclude SourceFiles::open(int including, std::string_view written_name)
{
    std::string name(trim(written_name));
    if (name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0])
        name = name.substr(1, name.size() - 2);
    if (notation_.sb_layout && name.find('.') == std::string::npos)
        name += ".asm";
    std::vector<std::string> candidates{name.starts_with('/') ? name : directory_of(path(including)) + name};
    if (!name.starts_with('/')) {
        for (const std::string& directory : options_.include_directories)
            candidates.push_back(directory.empty() || directory.ends_with('/') ? directory + name : directory + "/" + name);
    }
    if (depth(including) >= kIncludeDepth)
        return not_opened("includes nest deeper than " + std::to_string(kIncludeDepth));
    std::string first_reason = "includes are not available here";
    for (const std::string& candidate : candidates) {
        std::string reason = first_reason;
        const auto text = options_.read_include ? options_.read_include(candidate, reason) : std::nullopt;
        if (text && includes_itself(including, candidate))
            return not_opened("include cycle: " + candidate + " includes itself");
        if (text) {
            texts_.push_back(*text);
            paths_.push_back(candidate);
            parents_.push_back(including);
            return {static_cast<int>(paths_.size() - 1), texts_.back(), {}};
        }
        if (&candidate == &candidates.front())
            first_reason = reason;
    }
    return not_opened(candidates.front() + ": " + first_reason);
}

}  // namespace cosmac::assembler
