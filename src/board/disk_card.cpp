#include "board/disk_card.hpp"

namespace cosmac {

DiskCard::DiskCard(unsigned select_port, Decode decode) : select_port_(select_port), decode_(decode) {}

Wiring DiskCard::wiring() const
{
    return {.output_ports = static_cast<uint8_t>(3u << select_port_),
            .input_ports = static_cast<uint8_t>(1u << (select_port_ + 1)),
            .ef_lines = 0,
            .q = false};
}

std::optional<unsigned> DiskCard::drive_register() const
{
    if (!drive_ || (decode_ == Decode::DiskUartClock && (select_ & 0x90) != 0))
        return std::nullopt;
    return select_ & 0x0F;
}

void DiskCard::output(unsigned port, uint8_t value, uint64_t)
{
    if (port == select_port_)
        select_ = value;
    else if (const auto reg = drive_register())
        drive_->write(*reg, value);
}

uint8_t DiskCard::input(unsigned, uint64_t)
{
    const auto reg = drive_register();
    return reg ? drive_->read(*reg) : 0xFF;
}

void DiskCard::reset(uint64_t, bool)
{
    select_ = 0;
    if (drive_)
        drive_->reset();
}

std::unique_ptr<Device> make_pico_disk(const DeviceRow& row, uint64_t)
{
    return std::make_unique<DiskCard>(row.port, DiskCard::Decode::IdeOnly);
}

std::unique_ptr<Device> make_elf2k_disk_card(const DeviceRow& row, uint64_t)
{
    return std::make_unique<DiskCard>(row.port, DiskCard::Decode::DiskUartClock);
}

}  // namespace cosmac
