#include "monitor/machine_memory.hpp"

#include "monitor/session.hpp"
#include "text/text.hpp"

namespace cosmac {

const Memory& seen_memory(const Session& session)
{
    if (!session.board || !session.board->bus.jump_on_reset)
        return session.memory;  // without the mirror the processor reads memory as it is
    Memory& view = session.board->view;
    for (std::size_t a = 0; a < view.size(); ++a)
        view[a] = session.board->bus.peek(session.memory, static_cast<uint16_t>(a));
    return view;
}

void CommandStores::store(uint16_t address, uint8_t value)
{
    if (session_.board && session_.board->board.storage(address) == Storage::None) {
        if (!refused_.empty() && refused_.back().second + 1 == address)
            refused_.back().second = address;
        else
            refused_.emplace_back(address, address);
        return;
    }
    session_.memory[address] = value;
}

void CommandStores::store_changes(const Memory& loaded)
{
    for (std::size_t a = 0; a < loaded.size(); ++a) {
        if (loaded[a] != session_.memory[a])
            store(static_cast<uint16_t>(a), loaded[a]);
    }
}

std::string CommandStores::note() const
{
    if (refused_.empty())
        return {};
    std::string ranges;
    for (const auto& [first, last] : refused_) {
        if (!ranges.empty())
            ranges.append(", ");
        ranges.append(hex_text(first, 4));
        if (last != first)
            ranges.append("-").append(hex_text(last, 4));
    }
    const bool one_address = refused_.size() == 1 && refused_[0].first == refused_[0].second;
    return "note: " + ranges + (one_address ? " has" : " have") + " no memory on this board\n";
}

}  // namespace cosmac
