// Transfers taking turns on real disks, between separate fm-transfer processes: a run that
// holds a small tmpfs's turn while its source, on a disk whose server is frozen, can not be
// read; a second run to the same tmpfs waits for it, a third to another tmpfs does not. And
// the two partitions of one loop device are one disk.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeDisk.h"
#include "SmallDisk.h"
#include "TestTree.h"
#include "ToolRun.h"
#include "engine/DiskIdentity.h"
#include "engine/DiskTurns.h"
#include "engine/TurnsFolder.h"

extern char** environ;

namespace ferrymark::test {
namespace {

const std::string kTool = FERRYMARK_FM_TRANSFER;

// fm-transfer in the background, its error stream read line by line as it comes.
class Background {
  public:
    explicit Background(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), kTool);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, kTool.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        reader_ = std::thread([this, fd = fds[0]] {
            std::string partial;
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                partial.append(buffer, static_cast<std::size_t>(n));
                std::lock_guard guard(lock_);
                for (auto end = partial.find('\n'); end != std::string::npos;
                     end = partial.find('\n')) {
                    lines_.push_back(partial.substr(0, end));
                    partial.erase(0, end + 1);
                }
                changed_.notify_all();
            }
            ::close(fd);
            std::lock_guard guard(lock_);
            closed_ = true;
            changed_.notify_all();
        });
    }
    ~Background() {
        if (pid_ > 0 && exitCode_ == -2) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (reader_.joinable()) {
            reader_.join();
        }
    }

    pid_t pid() const { return pid_; }
    // Waits (with a guard against hanging) for a line holding part; false when the stream
    // ended first.
    bool waitForLine(const std::string& part) {
        std::unique_lock guard(lock_);
        changed_.wait_for(guard, std::chrono::seconds(120),
                          [&] { return closed_ || hasLine(part); });
        return hasLine(part);
    }
    bool running() {
        int status = 0;
        if (exitCode_ == -2 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return exitCode_ == -2;
    }
    int wait() {
        int status = 0;
        if (exitCode_ == -2 && ::waitpid(pid_, &status, 0) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return exitCode_;
    }
    std::string errors() {
        std::lock_guard guard(lock_);
        std::string all;
        for (const auto& line : lines_) {
            all += line + "\n";
        }
        return all;
    }

  private:
    bool hasLine(const std::string& part) const {
        for (const auto& line : lines_) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    pid_t pid_ = -1;
    int exitCode_ = -2;
    std::thread reader_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool closed_ = false;
};

class TurnsDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string runtime = tree.mkdir("runtime", 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        tree.write("fast/small.txt", "small");
    }
    TestTree tree;
};

// The first run holds the tmpfs while its source can not be read: the second, to the same
// tmpfs, says it waits for the first and copies nothing until the first has ended; a third,
// to another tmpfs, runs to its end meanwhile.
TEST_F(TurnsDiskTest, RunsToOneTmpfsTakeTurnsAndToAnotherDoNot) {
    FakeDisk slow;
    START_DISK(slow);
    tree.mkdir("one");
    tree.mkdir("two");
    SmallDisk one(tree.path("one"), "size=16m");
    SmallDisk two(tree.path("two"), "size=16m");
    if (!one.unavailable().empty()) {
        GTEST_SKIP() << one.unavailable();
    }
    ASSERT_TRUE(two.unavailable().empty()) << two.unavailable();

    // Off the cache, so that reading it needs the frozen server.
    const std::string source = slow.mountPoint() + "/source.bin";
    {
        const std::string data = TestTree::randomBytes(1 << 20, 7);
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
        ASSERT_EQ(::fsync(fd), 0);
        ASSERT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
        ::close(fd);
    }
    slow.freeze();

    Background first({"--progress", source, tree.path("one")});
    // Its first line comes once counting has ended, when it takes its turn and then waits
    // on the frozen disk.
    ASSERT_TRUE(first.waitForLine("progress ")) << first.errors();

    Background second({"--progress", tree.path("fast/small.txt"), tree.path("one")});
    ASSERT_TRUE(second.waitForLine(
        "fm-transfer: waiting for its turn on the disk, after the "
        "copy of “source.bin” to “" +
        tree.path("one") + "” (fm-transfer, process " + std::to_string(first.pid()) + ")"))
        << second.errors();

    const ToolRun third = ToolRun::run(kTool, {tree.path("fast/small.txt"), tree.path("two")});
    EXPECT_EQ(third.exitCode, 0) << third.summary();
    EXPECT_FALSE(third.printed("waiting for its turn"));
    EXPECT_EQ(tree.read("two/small.txt"), "small");

    // Nothing of the second's is there while the first can not go on.
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(second.running());
    EXPECT_FALSE(tree.exists("one/small.txt"));

    slow.thaw();
    EXPECT_EQ(first.wait(), 0) << first.errors();
    EXPECT_EQ(second.wait(), 0) << second.errors();
    EXPECT_EQ(tree.read("one/small.txt"), "small");
    EXPECT_EQ(tree.read("one/source.bin").size(), 1u << 20);
}

TEST_F(TurnsDiskTest, NoWaitGoesAlongside) {
    DiskTurns other;
    std::string reason;
    const int folder = TurnsFolder::open(reason);
    ASSERT_GE(folder, 0) << reason;
    TurnHolder holder;
    holder.target = "/elsewhere";
    ASSERT_EQ(other.take(folder, DiskIdentity().disksOf({tree.path("fast")}), holder, {}),
              DiskTurns::Outcome::Taken);
    tree.mkdir("to");
    const ToolRun run =
        ToolRun::run(kTool, {"--no-wait", tree.path("fast/small.txt"), tree.path("to")});
    EXPECT_EQ(run.exitCode, 0) << run.summary();
    EXPECT_EQ(tree.read("to/small.txt"), "small");
}

// A loop device with two partitions, each with ext4 mounted; gone with the object.
class PartitionedLoop {
  public:
    explicit PartitionedLoop(TestTree& tree) : tree_(tree) {
        if (::geteuid() != 0) {
            why_ = "needs root for loop devices and mounts";
            return;
        }
        if (::access("/dev/loop-control", F_OK) != 0) {
            why_ = "no loop devices (/dev/loop-control is missing)";
            return;
        }
        for (const char* tool :
             {"/usr/sbin/sfdisk", "/usr/sbin/losetup", "/usr/bin/partx", "/usr/sbin/mkfs.ext4"}) {
            if (::access(tool, X_OK) != 0) {
                why_ = std::string(tool) + " is not installed";
                return;
            }
        }
        const std::string image = tree.write("disk.img", "");
        if (::truncate(image.c_str(), 64 << 20) != 0 ||
            ToolRun::run("/bin/sh", {"-c",
                                     "printf 'label: dos\\n,24M\\n,24M\\n' | "
                                     "/usr/sbin/sfdisk -q '" +
                                         image + "'"})
                    .exitCode != 0) {
            why_ = "sfdisk could not write two partitions";
            return;
        }
        const ToolRun attach = ToolRun::run("/usr/sbin/losetup", {"-P", "-f", "--show", image});
        if (attach.exitCode != 0) {
            why_ = "no free loop device: " + attach.err;
            return;
        }
        device_ = attach.out.substr(0, attach.out.find('\n'));
        // Without udev the kernel's own scan may not show them; partx asks for them.
        if (::access((device_ + "p2").c_str(), F_OK) != 0) {
            ToolRun::run("/usr/bin/partx", {"-a", device_});
        }
        for (int i = 1; i <= 2; ++i) {
            const std::string partition = device_ + "p" + std::to_string(i);
            const std::string at = tree.mkdir("part" + std::to_string(i));
            if (::access(partition.c_str(), F_OK) != 0) {
                why_ = "the loop device shows no partitions";
                return;
            }
            if (ToolRun::run("/usr/sbin/mkfs.ext4", {"-q", "-F", partition}).exitCode != 0 ||
                ::mount(partition.c_str(), at.c_str(), "ext4", 0, nullptr) != 0) {
                problem_ = "can not make and mount ext4 on " + partition;
                return;
            }
            mounted_.push_back(at);
        }
    }
    ~PartitionedLoop() {
        for (const auto& at : mounted_) {
            ::umount2(at.c_str(), MNT_DETACH);
        }
        if (!device_.empty()) {
            ToolRun::run("/usr/sbin/losetup", {"-d", device_});
        }
    }
    const std::string& skipped() const { return why_; }
    const std::string& problem() const { return problem_; }
    const std::string& device() const { return device_; }
    std::string partition(int i) const { return tree_.path("part" + std::to_string(i)); }

  private:
    TestTree& tree_;
    std::string why_;
    std::string problem_;
    std::string device_;
    std::vector<std::string> mounted_;
};

TEST_F(TurnsDiskTest, TwoPartitionsOfOneDiskAreOneDisk) {
    PartitionedLoop loop(tree);
    if (!loop.skipped().empty()) {
        GTEST_SKIP() << loop.skipped();
    }
    ASSERT_TRUE(loop.problem().empty()) << loop.problem();
    const std::string disk = "disk-" + loop.device().substr(loop.device().rfind('/') + 1);
    DiskIdentity identity;
    EXPECT_EQ(identity.disksOf({loop.partition(1)}), std::vector<std::string>{disk});
    EXPECT_EQ(identity.disksOf({loop.partition(2)}), std::vector<std::string>{disk});

    // A transfer on the first partition holds up one to the second.
    DiskTurns other;
    std::string reason;
    const int folder = TurnsFolder::open(reason);
    ASSERT_GE(folder, 0) << reason;
    TurnHolder holder;
    holder.target = loop.partition(1);
    holder.firstSource = "/x/big.iso";
    holder.sources = 1;
    ASSERT_EQ(other.take(folder, identity.disksOf({loop.partition(1)}), holder, {}),
              DiskTurns::Outcome::Taken);
    Background waiting({tree.path("fast/small.txt"), loop.partition(2)});
    ASSERT_TRUE(waiting.waitForLine("after the copy of “big.iso” to “" + loop.partition(1)))
        << waiting.errors();
    other.release();
    EXPECT_EQ(waiting.wait(), 0) << waiting.errors();
    EXPECT_EQ(tree.read("part2/small.txt"), "small");
}

}  // namespace
}  // namespace ferrymark::test
