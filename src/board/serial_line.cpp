#include "board/serial_line.hpp"

#include <algorithm>
#include <utility>

#include "cpu/board_bus.hpp"

namespace cosmac {

SerialLine::SerialLine(const SerialSettings& settings, Sink received)
    : settings_(settings), received_(std::move(received))
{
}

std::vector<std::optional<uint8_t>> SerialLine::take_unsent_keys()
{
    std::vector<std::optional<uint8_t>> keys;
    for (const int key : keys_)
        keys.push_back(key == kBreak ? std::nullopt : std::optional<uint8_t>(static_cast<uint8_t>(key)));
    keys_.clear();
    return keys;
}

Wiring SerialLine::wiring() const
{
    return {.output_ports = 0, .input_ports = 0, .ef_lines = static_cast<uint8_t>(1u << (settings_.ef_line - 1)), .q = true};
}

void SerialLine::reset(uint64_t cycle, bool q)
{
    const uint64_t t = at(cycle);
    if (rx_busy_ && t < rx_end_ && rx_key_ != kBreak)
        keys_.push_front(rx_key_);  // a key cut short goes again
    rx_busy_ = false;
    reset_at_ = rx_end_ = q_changed_at_ = last_activity_ = t;
    last_tested_ = cycle;
    tx_mark_ = q_is_mark(q);
    tx_busy_ = false;
}

bool SerialLine::ef(unsigned, uint64_t cycle)
{
    last_tested_ = cycle;
    const uint64_t t = at(cycle);
    if (rx_busy_ && t >= rx_end_) {
        rx_busy_ = false;
        last_activity_ = std::max(last_activity_, rx_end_);
    }
    const uint64_t resting_since = std::max(rx_end_, q_changed_at_);
    const uint64_t since_reset = t - reset_at_;
    if (!rx_busy_ && !keys_.empty() && t - resting_since >= 2 * character() &&
        since_reset * 5 >= settings_.clock_hz * settings_.baud) {  // 100 ms
        rx_key_ = keys_.front();
        keys_.pop_front();
        rx_start_ = t;
        rx_end_ = t + (rx_key_ == kBreak ? 2 : 1) * character();
        rx_busy_ = true;
    }
    bool space = false;
    if (rx_busy_) {
        const uint64_t bit_number = (t - rx_start_) / bit();
        if (rx_key_ == kBreak || bit_number == 0)
            space = true;
        else if (bit_number <= 8)
            space = !((rx_key_ >> (bit_number - 1)) & 1);
    }
    return space != settings_.rx_invert;
}

void SerialLine::q_changed(bool q, uint64_t cycle)
{
    const uint64_t t = at(cycle);
    decode_until(t, false);
    const bool mark = q_is_mark(q);
    if (mark == tx_mark_)
        return;
    q_changed_at_ = t;
    tx_mark_ = mark;
    if (!mark && !tx_busy_) {  // the start bit's edge
        tx_busy_ = true;
        tx_start_ = t;
        tx_samples_ = 0;
        tx_byte_ = 0;
    }
}

void SerialLine::advance(uint64_t cycle) { decode_until(at(cycle), true); }

// Samples 1.5 bit times after the start bit's edge, then every bit time: 8 data
// bits and the stop bit. A sample sees Q as it is once every change made up to
// its time has been made.
void SerialLine::decode_until(uint64_t time, bool inclusive)
{
    while (tx_busy_) {
        const uint64_t sample_at = next_sample();
        if (inclusive ? sample_at > time : sample_at >= time)
            return;
        if (tx_samples_ < 8) {
            tx_byte_ = static_cast<uint8_t>(tx_byte_ | tx_mark_ << tx_samples_);
            ++tx_samples_;
            continue;
        }
        framing_errors_ += !tx_mark_;
        tx_busy_ = false;
        last_activity_ = std::max(last_activity_, sample_at);
        if (received_)
            received_(tx_byte_);
    }
}

uint64_t SerialLine::quiet_from(uint64_t cycles) const
{
    if (!keys_.empty())
        return kNever;
    uint64_t last = std::max(last_activity_, rx_end_);  // a key on the line ends at rx_end_
    if (tx_busy_) {
        const uint64_t stop_sample = tx_start_ + 3 * settings_.clock_hz + 8 * bit();
        last = std::max(last, stop_sample);
    }
    const uint64_t unit = 16 * uint64_t{settings_.baud};
    return (last + unit - 1) / unit + cycles;
}

std::unique_ptr<Device> make_serial_line(const DeviceRow& row, uint64_t clock_hz)
{
    return std::make_unique<SerialLine>(SerialSettings{row.ef_line, row.ef_inverted, row.q_inverted, row.baud, clock_hz});
}

}  // namespace cosmac
