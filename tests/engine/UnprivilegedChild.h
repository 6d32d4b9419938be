#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace ferrymark::test {

// Runs work in a forked child that has given up root, so that permissions apply to it
// (root ignores them). The child's result is work's return value, 0 to 255.
class UnprivilegedChild {
  public:
    // Empty when the test can run; else why it cannot (not root).
    static std::string unavailableReason();
    static int run(const std::function<int()>& work);
    // The same, as a user who also belongs to groups.
    static int run(const std::function<int()>& work, const std::vector<gid_t>& groups);
    // The user and group the child runs as.
    static constexpr uid_t kUser = 65534;
    static constexpr gid_t kGroup = 65534;
};

}  // namespace ferrymark::test
