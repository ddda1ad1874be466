#include "debug/symbols.hpp"

#include <algorithm>
#include <cstdio>

#include "text/text.hpp"

namespace cosmac {

void SymbolTable::add(const std::vector<SymbolEntry>& symbols)
{
    for (const SymbolEntry& symbol : symbols) {
        if (by_name_.emplace(symbol.name, symbol).second && symbol.kind == SymbolKind::Label)
            names_.emplace(symbol.address, symbol.name);
    }
}

std::vector<SymbolEntry> SymbolTable::entries() const
{
    std::vector<SymbolEntry> entries;
    for (const auto& [name, symbol] : by_name_)
        entries.push_back(symbol);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<uint16_t> SymbolTable::find(std::string_view name) const
{
    if (const auto it = by_name_.find(name); it != by_name_.end())
        return it->second.address;
    std::optional<uint16_t> found;
    int matches = 0;
    for (const auto& [candidate, symbol] : by_name_) {
        if (equal_ignoring_case(candidate, name)) {
            found = symbol.address;
            ++matches;
        }
    }
    return matches == 1 ? found : std::nullopt;
}

std::string SymbolTable::label_lines(uint16_t address) const
{
    std::string lines;
    for (auto [it, end] = names_.equal_range(address); it != end; ++it)
        lines += it->second + ":\n";
    return lines;
}

std::string_view SymbolTable::name_at(uint16_t address) const
{
    const auto it = names_.find(address);
    return it == names_.end() ? std::string_view() : std::string_view(it->second);
}

std::string SymbolTable::describe(uint16_t address) const
{
    auto it = names_.upper_bound(address);
    if (it == names_.begin())
        return {};
    const uint16_t nearest = std::prev(it)->first;
    const unsigned offset = address - nearest;
    if (offset > 0xFF)
        return {};
    const std::string& name = names_.find(nearest)->second;  // the first name given there
    if (offset == 0)
        return " " + name;
    return " (" + name + "+" + hex_text(offset, 1) + ")";
}

}  // namespace cosmac
