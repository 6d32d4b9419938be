#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "engine/IHeartbeat.h"

class QTimer;

namespace ferrymark {

// A job's one-second tick: a repeating QTimer living in the thread that made the heartbeat
// (the UI thread). Safe to invalidate and destroy from any thread.
class QtHeartbeat final : public IHeartbeat {
  public:
    explicit QtHeartbeat(std::function<void()> tick);
    ~QtHeartbeat() override;
    QtHeartbeat(const QtHeartbeat&) = delete;
    QtHeartbeat& operator=(const QtHeartbeat&) = delete;

    // No tick starts after this returns.
    void invalidate() override;
    bool isValid() const { return valid_->load(); }

  private:
    std::shared_ptr<std::atomic<bool>> valid_;
    QTimer* timer_;
};

}  // namespace ferrymark
