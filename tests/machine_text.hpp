// Machine states and memory written as text, for tables of instruction cases:
// "D=41 DF=1 R3=1234 M(0200)=80" and "F8 03 FF 01".
#pragma once

#include <sstream>
#include <string>

#include "cpu/machine_state.hpp"

namespace cosmac::testing {

inline void apply(const std::string& assignments, MachineState& s, Memory& m)
{
    std::istringstream items(assignments);
    for (std::string item; items >> item;) {
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const auto value = static_cast<uint16_t>(std::stoul(item.substr(equals + 1), nullptr, 16));
        if (name.starts_with("M("))
            m[std::stoul(name.substr(2), nullptr, 16)] = static_cast<uint8_t>(value);
        else if (name.size() == 2 && name[0] == 'R')
            s.R[std::stoul(name.substr(1), nullptr, 16)] = value;
        else if (const StateField* field = state_field(name))
            s.*field->member = static_cast<uint8_t>(value);
        else if (name == "MODE")  // the counter's, by its number: 1 timer, 2 and 3 events, 4 and 5 pulses
            s.counter.mode = static_cast<CounterMode>(value);
        else if (name == "PRE")
            s.counter.prescaler = static_cast<uint8_t>(value);
        else if (name == "SEEN")
            s.counter.ef_seen = static_cast<uint8_t>(value);
        else if (const CounterField* counter = counter_field(name))
            s.counter.*counter->member = static_cast<uint8_t>(value);
    }
}

inline void load_bytes(Memory& m, uint16_t address, const std::string& hex_bytes)
{
    std::istringstream bytes(hex_bytes);
    for (std::string byte; bytes >> byte;)
        m[address++] = static_cast<uint8_t>(std::stoul(byte, nullptr, 16));
}

}  // namespace cosmac::testing
