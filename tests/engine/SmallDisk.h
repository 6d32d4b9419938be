#pragma once

#include <string>

namespace ferrymark::test {

// A small tmpfs of its own at a folder, for a full disk or one out of inodes; unmounted
// when it goes.
class SmallDisk {
  public:
    SmallDisk(const std::string& at, const char* options);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    // Empty when it is mounted; else why not (for GTEST_SKIP).
    const std::string& unavailable() const { return why_; }

  private:
    std::string at_;
    std::string why_;
};

}  // namespace ferrymark::test
