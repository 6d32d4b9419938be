#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace ferrymark {

// The current speed of a transfer: bytes per second over the last few heartbeat ticks,
// so that it follows a change of pace within seconds without jumping at every tick.
class TransferRate {
  public:
    using Clock = std::chrono::steady_clock;

    explicit TransferRate(std::size_t window = 5) : window_(window < 2 ? 2 : window) {}

    // One tick's byte count. A count below the last one (a new job's counters) starts over.
    void sample(Clock::time_point at, std::int64_t bytes);
    // Null until two samples at different times are in the window.
    std::optional<double> bytesPerSecond() const;
    void reset() { samples_.clear(); }

  private:
    std::size_t window_;
    std::deque<std::pair<Clock::time_point, std::int64_t>> samples_;
};

}  // namespace ferrymark
