// Progress on a slow real disk (10 MB/s): what the job shows as done against what the
// device has received (/sys/block/<dev>/stat), and how fast a pause and a stop take effect.
// Bounds are generous: the exact numbers are printed, and measured by
// bench/slow_disk_progress.py.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeDisk.h"
#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

extern char** environ;

namespace ferrymark::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kSourceSize = 96 * kMiB;
// What the job may show beyond what the device has: about a second of this disk. The pacer
// keeps it to two windows or two batches (a few MiB); without it the whole copy sits in the
// cache (tens of MiB here).
constexpr std::int64_t kLeadBound = 10 * kMiB;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Bytes the block device under path has received since it was set up.
class DeviceCounter {
  public:
    explicit DeviceCounter(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            stat_ = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                    std::to_string(minor(st.st_dev)) + "/stat";
        }
        base_ = written();
    }
    bool valid() const { return !stat_.empty() && std::ifstream(stat_).good(); }
    std::int64_t sinceStart() const { return written() - base_; }

  private:
    std::int64_t written() const {
        std::ifstream in(stat_);
        std::int64_t fields[7] = {};
        for (auto& field : fields) {
            in >> field;
        }
        return fields[6] * 512;  // sectors written
    }
    std::string stat_;
    std::int64_t base_ = 0;
};

class SlowDiskProgressTest : public ::testing::Test {
  protected:
    // A disk of rate bits per second, and a source of size bytes to copy to it: one file,
    // or a folder of that many files.
    void startDisk(const std::string& rate, std::int64_t size, int files = 1) {
        sourceSize_ = size;
        FakeDisk::Options options;
        options.size = "160M";
        options.rate = rate;
        disk_ = std::make_unique<FakeDisk>(options);
        if (disk_->skipped()) {
            GTEST_SKIP() << disk_->problem();
        }
        ASSERT_TRUE(disk_->problem().empty()) << disk_->problem();
        char dir[] = "/tmp/slow-disk-source-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        sourceDir_ = dir;
        source_ = sourceDir_ + (files == 1 ? "/source.bin" : "/many");
        if (files > 1) {
            ASSERT_EQ(::mkdir(source_.c_str(), 0755), 0);
        }
        std::ifstream random("/dev/urandom", std::ios::binary);
        std::vector<char> block(size / files);
        for (int i = 0; i < files; ++i) {
            std::ofstream out(files == 1 ? source_ : source_ + "/f" + std::to_string(i),
                              std::ios::binary);
            random.read(block.data(), static_cast<std::streamsize>(block.size()));
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        target_ = disk_->mountPoint() + "/target";
        ASSERT_EQ(::mkdir(target_.c_str(), 0755), 0);
        ::sync();
    }
    void TearDown() override {
        if (!sourceDir_.empty()) {
            std::filesystem::remove_all(sourceDir_);
        }
        disk_.reset();
    }

    std::unique_ptr<FakeDisk> disk_;
    std::int64_t sourceSize_ = 0;
    std::string sourceDir_;
    std::string source_;
    std::string target_;
};

// fm-transfer --progress, its lines read as they come.
class ProgressRun {
  public:
    struct Line {
        double at;
        std::int64_t done;
        std::int64_t total;
        std::int64_t device;
    };

    ProgressRun(const std::vector<std::string>& args, const DeviceCounter& device)
        : device_(device) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> all{FERRYMARK_FM_TRANSFER, "--progress"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        start_ = Clock::now();
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        stream_ = ::fdopen(pipeFds[0], "r");
    }
    ~ProgressRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (stream_) {
            std::fclose(stream_);
        }
    }

    bool started() const { return pid_ > 0 && stream_; }
    // The next progress line, with the device's count when it came; false at the end.
    bool next(Line& line) {
        char text[512];
        while (std::fgets(text, sizeof text, stream_)) {
            long long done = 0;
            long long total = 0;
            long long items = 0;
            long long itemsTotal = 0;
            if (std::sscanf(text, "progress %lld %lld %lld %lld", &done, &total, &items,
                            &itemsTotal) == 4) {
                line = {seconds(Clock::now() - start_), done, total, device_.sinceStart()};
                return true;
            }
            other_ += text;
        }
        return false;
    }
    void stop() { ::kill(pid_, SIGTERM); }
    int wait() {
        while (std::fgetc(stream_) != EOF) {
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        end_ = Clock::now();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    double elapsed() const { return seconds(end_ - start_); }
    const std::string& otherOutput() const { return other_; }

  private:
    const DeviceCounter& device_;
    pid_t pid_ = -1;
    std::FILE* stream_ = nullptr;
    Clock::time_point start_;
    Clock::time_point end_;
    std::string other_;
};

#define START_SLOW_DISK(rate, ...)          \
    startDisk(rate, __VA_ARGS__);           \
    if (IsSkipped() || HasFatalFailure()) { \
        return;                             \
    }

// Every progress line against the device's count; prints the largest lead.
void expectShownBytesFollow(const std::string& disk, const std::string& source,
                            const std::string& target, std::int64_t size) {
    DeviceCounter device(disk);
    ASSERT_TRUE(device.valid()) << "no block device statistics for " << disk;
    ProgressRun run({source, target}, device);
    ASSERT_TRUE(run.started());
    std::vector<ProgressRun::Line> lines;
    for (ProgressRun::Line line; run.next(line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(run.wait(), 0) << run.otherOutput();
    // The first second goes to the disk's burst; the check needs several lines after it.
    ASSERT_GE(lines.size(), 4u) << "too few progress lines to compare";

    std::int64_t lead = 0;
    double firstFull = -1;
    for (const auto& line : lines) {
        EXPECT_EQ(line.total, size);
        // Shown as done while the device has not received it.
        EXPECT_LE(line.done - line.device, kLeadBound)
            << "at " << line.at << " s: " << line.done << " shown, " << line.device
            << " on the device";
        lead = std::max(lead, line.done - line.device);
        if (firstFull < 0 && line.done == line.total) {
            firstFull = line.at;
        }
    }
    EXPECT_EQ(lines.back().done, size);
    std::cout << "largest lead over the device " << lead / double(kMiB) << " MiB; 100% shown at "
              << firstFull << " s of " << run.elapsed() << " s\n";
}

TEST_F(SlowDiskProgressTest, ShownBytesFollowTheDevice) {
    START_SLOW_DISK("80M", kSourceSize)
    expectShownBytesFollow(disk_->mountPoint(), source_, target_, kSourceSize);
    struct stat copied {};
    ASSERT_EQ(::stat((target_ + "/source.bin").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_size, kSourceSize);
}

// Small files are flushed in batches rather than in windows of each file.
TEST_F(SlowDiskProgressTest, ShownBytesFollowTheDeviceForSmallFiles) {
    START_SLOW_DISK("80M", kSourceSize, 1536)
    expectShownBytesFollow(disk_->mountPoint(), source_, target_, kSourceSize);
    const auto copied = std::distance(std::filesystem::directory_iterator(target_ + "/many"),
                                      std::filesystem::directory_iterator());
    EXPECT_EQ(copied, 1536);
}

TEST_F(SlowDiskProgressTest, StopDoesNotWaitForTheCache) {
    START_SLOW_DISK("80M", kSourceSize)
    DeviceCounter device(disk_->mountPoint());
    ASSERT_TRUE(device.valid());
    ProgressRun run({source_, target_}, device);
    ASSERT_TRUE(run.started());
    std::int64_t atStop = -1;
    Clock::time_point stoppedAt;
    for (ProgressRun::Line line; run.next(line);) {
        // Stopped while the device is a third of the way: the job itself may show more.
        if (atStop < 0 && line.device >= sourceSize_ / 3) {
            stoppedAt = Clock::now();
            atStop = device.sinceStart();
            run.stop();
        }
    }
    ASSERT_GE(atStop, 0) << "the copy ended before it could be stopped";
    EXPECT_EQ(run.wait(), 1) << run.otherOutput();
    const double latency = seconds(Clock::now() - stoppedAt);
    // What the device still had to take before the job could end.
    EXPECT_LE(device.sinceStart() - atStop, kLeadBound);
    struct stat there {};
    EXPECT_NE(::stat((target_ + "/source.bin").c_str(), &there), 0);
    std::cout << "stopped in " << latency << " s; the device took "
              << (device.sinceStart() - atStop) / double(kMiB) << " MiB after the stop\n";
}

// A pause is not held up by the wait for the disk: on a disk of 0.5 MB/s, waiting for one
// window of writeback takes seconds, and the worker spends nearly all its time there. The
// median of five pauses is checked: a single one may meet a journal commit (a sync of
// another program) that holds up the write of a chunk itself.
TEST_F(SlowDiskProgressTest, PauseIsNotHeldUpByTheDisk) {
    START_SLOW_DISK("4M", 12 * kMiB)
    HeadlessHost host;
    auto job = CopyHandler::initWithFiles({source_}, host);
    ASSERT_TRUE(job);
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        job->copyFilesTo(target_);
        ended = true;
    });
    std::vector<double> pauses;
    for (int round = 1; round <= 5 && !ended; ++round) {
        while (job->dataProcessed() < 3 * kMiB * round / 2 && !ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto asked = Clock::now();
        host.runOnUiThread([&] { job->togglePause(); });
        pauses.push_back(seconds(Clock::now() - asked));
        const std::int64_t shown = job->dataProcessed();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(job->dataProcessed(), shown) << "data was copied during a pause";
        host.runOnUiThread([&] { job->togglePause(); });
    }
    const auto asked = Clock::now();
    host.runOnUiThread([&] { job->cancelTask(); });
    const double stopRequest = seconds(Clock::now() - asked);
    worker.join();
    std::cout << "pause requests took";
    for (const double pause : pauses) {
        std::cout << " " << pause;
    }
    std::cout << " s; stop request " << stopRequest << " s, to the job's end "
              << seconds(Clock::now() - asked) << " s\n";
    ASSERT_EQ(pauses.size(), 5u) << "the copy ended before the pauses";
    ASSERT_TRUE(job->cancelled());
    std::sort(pauses.begin(), pauses.end());
    // A request waits for one 4 KiB chunk; a wait for the disk would take seconds.
    EXPECT_LE(pauses[2], 1.0);
    EXPECT_LE(stopRequest, 2.0);
}

}  // namespace
}  // namespace ferrymark::test
