#include "board/serial_line.hpp"

#include <algorithm>
#include <utility>

namespace cosmac {

SerialLine::SerialLine(const SerialSettings& settings, Sink received)
    : settings_(settings), received_(std::move(received))
{
}

void SerialLine::reset(uint64_t cycle, bool q)
{
    const uint64_t t = at(cycle);
    if (rx_busy_ && t < rx_end_ && rx_key_ != kBreak)
        keys_.push_front(rx_key_);  // a key cut short goes again
    rx_busy_ = false;
    reset_at_ = rx_end_ = q_changed_at_ = tx_mark_since_ = last_activity_ = t;
    tx_mark_ = q_is_mark(q);
    tx_listening_ = tx_busy_ = false;
}

bool SerialLine::ef(uint64_t cycle)
{
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
    if (mark) {
        tx_mark_since_ = t;
        return;
    }
    tx_listening_ = tx_listening_ || t - tx_mark_since_ >= character();
    if (tx_listening_ && !tx_busy_) {
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
        const uint64_t sample_at = tx_start_ + 3 * settings_.clock_hz + tx_samples_ * bit();
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
        received_(tx_byte_);
    }
}

bool SerialLine::quiet(uint64_t cycle, uint64_t cycles) const
{
    // A character being received ends at rx_end_, so the line is not quiet before it.
    return keys_.empty() && !tx_busy_ && at(cycle) >= std::max(last_activity_, rx_end_) + at(cycles);
}

}  // namespace cosmac
