// Memory as the monitor's commands and the debugger see and change it. On a
// board that is through its bus: reads see what the processor would fetch, the
// jump-on-reset mirror included, and end nothing; stores reach RAM and ROM (m
// patches firmware, as owners do) but not addresses with no memory. On the
// console machine memory is as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cpu/machine_state.hpp"

namespace cosmac {

struct Session;

// The whole memory as the processor would read it now.
const Memory& seen_memory(const Session& session);

// The stores of one command (m, e, L): each where the machine has memory, and
// one note for the addresses that have none.
class CommandStores {
public:
    explicit CommandStores(Session& session) : session_(session) {}
    CommandStores(const CommandStores&) = delete;
    CommandStores& operator=(const CommandStores&) = delete;

    void store(uint16_t address, uint8_t value);
    // Every byte of what a load made of a copy of memory that differs from memory.
    void store_changes(const Memory& loaded);
    // "note: 2000-2003 have no memory on this board\n" when stores were refused.
    std::string note() const;

private:
    Session& session_;
    std::vector<std::pair<uint16_t, uint16_t>> refused_;
};

}  // namespace cosmac
