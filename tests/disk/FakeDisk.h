#pragma once

#include <string>

// In a test: skips it with the reason where the disk can not be made, fails it where making
// it went wrong.
#define START_DISK(disk)                  \
    if ((disk).skipped()) {               \
        GTEST_SKIP() << (disk).problem(); \
    }                                     \
    ASSERT_TRUE((disk).problem().empty()) << (disk).problem()

namespace ferrymark::test {

// A real ext4 file system on a block device that the test can make slow, failing or lying
// (tests/disk/fake-disk.sh). The servers behind it live until the object goes.
class FakeDisk {
  public:
    enum class Fault { None, Error, Lie };
    struct Options {
        std::string size = "64M";
        std::string rate;  // bits per second ("80M" is 10 MB/s); empty: as fast as it goes
        Fault fault = Fault::None;
        // Journal commits put off, so that nothing reaches the disk before the job flushes.
        std::string mountOptions = "commit=300";
    };

    explicit FakeDisk(const Options& options);
    FakeDisk() : FakeDisk(Options{}) {}
    explicit FakeDisk(Fault fault) : FakeDisk(withFault(fault)) {}
    ~FakeDisk();
    FakeDisk(const FakeDisk&) = delete;
    FakeDisk& operator=(const FakeDisk&) = delete;

    // Empty when the disk is mounted; else why not (for GTEST_SKIP when skipped()).
    const std::string& problem() const { return problem_; }
    bool skipped() const { return skipped_; }
    const std::string& mountPoint() const { return mountPoint_; }
    // Whether the device itself (read past every cache) holds bytes somewhere.
    bool deviceHolds(const std::string& bytes) const;

    void fail() { command("fail"); }  // every request fails with EIO
    void heal() { command("heal"); }
    void lie() { command("lie"); }  // blocks written from now on read back other bytes
    void truth() { command("truth"); }
    void shutdown() { command("shutdown"); }  // ext4 gives up, every call fails
    void pull() { command("pull"); }          // the server ends
    void freeze() { command("freeze"); }      // requests wait until thaw
    void thaw() { command("thaw"); }

  private:
    static Options withFault(Fault fault) {
        Options options;
        options.fault = fault;
        return options;
    }
    void command(const std::string& name);

    std::string state_;
    std::string mountPoint_;
    std::string problem_;
    bool skipped_ = false;
};

}  // namespace ferrymark::test
