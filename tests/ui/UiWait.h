#pragma once

#include <functional>

namespace ferrymark::testing {

// Drives the UI thread's event loop for the tests.
class UiWait {
  public:
    // Processes events until done() holds. Returns false only if it never does within a
    // generous guard, so a broken test fails instead of hanging the suite.
    static bool until(const std::function<bool()>& done);
};

}  // namespace ferrymark::testing
