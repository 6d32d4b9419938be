#pragma once

#include <functional>
#include <string>

namespace ferrymark::test {

// Runs work in a forked child that has given up root, so that permissions apply to it
// (root ignores them). The child's result is work's return value, 0 to 255.
class UnprivilegedChild {
  public:
    // Empty when the test can run; else why it cannot (not root).
    static std::string unavailableReason();
    static int run(const std::function<int()>& work);
};

}  // namespace ferrymark::test
