#pragma once

#include <functional>

namespace ferrymark::testing {

// Runs the UI thread's events until a condition holds.
class X11Wait {
  public:
    // False only when done() never held within a generous guard, so that a broken test
    // fails instead of hanging; no test depends on how long anything takes.
    static bool until(const std::function<bool()>& done);
};

}  // namespace ferrymark::testing
