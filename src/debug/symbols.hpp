// The symbols of the programs loaded in debugger mode: names for addresses in
// what the debugger shows, and addresses for names in what the user types.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/symbol_file.hpp"

namespace cosmac {

class SymbolTable {
public:
    // The first definition of a name holds. Every name can be typed; only labels
    // name addresses in what is shown.
    void add(const std::vector<SymbolEntry>& symbols);

    // Every name, by address then name, with its kind.
    std::vector<SymbolEntry> entries() const;

    // The name as written; failing that, the one name that matches when case is
    // ignored (A18 sources ignore case), but not one of several.
    std::optional<uint16_t> find(std::string_view name) const;

    // "name:" for each label at the address.
    std::string label_lines(uint16_t address) const;
    // The first name at exactly the address, or empty.
    std::string_view name_at(uint16_t address) const;
    // How the address reads with its symbols: " name" at one, " (name+5)" within
    // the 256 bytes after the nearest one below, otherwise nothing.
    std::string describe(uint16_t address) const;

private:
    std::map<std::string, SymbolEntry, std::less<>> by_name_;
    std::multimap<uint16_t, std::string> names_;  // in the order the file gave them
};

}  // namespace cosmac
