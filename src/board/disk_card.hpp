// The disk interfaces of the Pico/Elf and the Elf 2000. An OUT to the select
// port latches a select byte, and the data port after it reaches what the byte
// selects. On the Pico/Elf that is the IDE drive's register select & 0F. On the
// Elf 2000's Disk/UART/RTC card, select & 90 = 00 is the IDE register, 10 the
// UART and anything else the clock chip; neither of those is fitted, so they
// read ff and ignore writes, which the firmware's probes take for no chip.
// Without a drive on its cable the interface reads ff too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "board/device.hpp"
#include "board/ide_drive.hpp"

namespace cosmac {

class DiskCard final : public Device {
public:
    enum class Decode : uint8_t { IdeOnly, DiskUartClock };

    DiskCard(unsigned select_port, Decode decode);

    Wiring wiring() const override;
    void output(unsigned port, uint8_t value, uint64_t cycle) override;
    uint8_t input(unsigned port, uint64_t cycle) override;
    void reset(uint64_t cycle, bool q) override;

    void attach(std::unique_ptr<IdeDrive> drive) { drive_ = std::move(drive); }
    IdeDrive* drive() const { return drive_.get(); }

private:
    // The drive's register that the select byte reaches, if it reaches the drive.
    std::optional<unsigned> drive_register() const;

    unsigned select_port_;
    Decode decode_;
    uint8_t select_ = 0;
    std::unique_ptr<IdeDrive> drive_;
};

std::unique_ptr<Device> make_pico_disk(const DeviceRow& row, uint64_t clock_hz);
std::unique_ptr<Device> make_elf2k_disk_card(const DeviceRow& row, uint64_t clock_hz);

}  // namespace cosmac
