#pragma once

namespace ferrymark {

// A repeating one-second tick on the UI thread. No tick comes after invalidate().
class IHeartbeat {
  public:
    virtual ~IHeartbeat() = default;
    virtual void invalidate() = 0;
};

}  // namespace ferrymark
