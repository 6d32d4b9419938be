#include "ui/TransferRate.h"

namespace ferrymark {

void TransferRate::sample(Clock::time_point at, std::int64_t bytes) {
    if (!samples_.empty() && (bytes < samples_.back().second || at < samples_.back().first)) {
        samples_.clear();
    }
    samples_.emplace_back(at, bytes);
    while (samples_.size() > window_) {
        samples_.pop_front();
    }
}

std::optional<double> TransferRate::bytesPerSecond() const {
    if (samples_.size() < 2) {
        return std::nullopt;
    }
    const auto& [firstAt, firstBytes] = samples_.front();
    const auto& [lastAt, lastBytes] = samples_.back();
    const std::chrono::duration<double> span = lastAt - firstAt;
    if (span.count() <= 0.0) {
        return std::nullopt;
    }
    return static_cast<double>(lastBytes - firstBytes) / span.count();
}

}  // namespace ferrymark
