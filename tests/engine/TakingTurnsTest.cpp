// Jobs taking turns on a disk, through the real locks in a runtime folder of the test's own:
// the test holds a disk's turn as another transfer would, and watches a job wait for it, go
// when it ends, start now, stop, or pause while it waits.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <thread>

#include "SmallDisk.h"
#include "TestTree.h"
#include "TransferRun.h"
#include "engine/DiskIdentity.h"
#include "engine/DiskTurns.h"
#include "engine/TurnsFolder.h"

namespace ferrymark::test {
namespace {

// Waits for a state the test brings about; a guard, not a measure: a broken job fails the
// test instead of hanging it.
bool eventually(const std::function<bool()>& done) {
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > guard) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TurnHolder otherTransfer() {
    TurnHolder holder;
    holder.move = true;
    holder.target = "/media/stick/Photos";
    holder.firstSource = "/home/me/a.jpg";
    holder.sources = 3;
    holder.program = "ferrymark";
    holder.pid = 4242;
    return holder;
}

class TakingTurnsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runtime_ = tree.mkdir("runtime", 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        tree.write("src/a.txt", "alpha");
        tree.write("src/sub/b.txt", "beta");
        target = tree.mkdir("target");
    }
    void TearDown() override {
        if (worker.joinable()) {
            run.job->cancelTask();
            worker.join();
        }
    }

    // Holds the turn of every disk under paths, as another transfer would.
    void hold(DiskTurns& turns, const std::vector<std::string>& paths) {
        std::string reason;
        const int folder = TurnsFolder::open(reason);
        ASSERT_GE(folder, 0) << reason;
        ASSERT_EQ(turns.take(folder, DiskIdentity().disksOf(paths), otherTransfer(), {}),
                  DiskTurns::Outcome::Taken);
    }
    // Starts the job on its worker, taking turns.
    void start(const std::vector<std::string>& sources, const std::string& to, bool move = false) {
        run.prepare(sources).setTakesTurns(true);
        worker = std::thread([this, to, move] { run.run(to, move); });
    }
    void finish() { worker.join(); }
    bool waiting() {
        return eventually([&] { return run.job->waitingForTurn(); });
    }

    TestTree tree;
    std::string runtime_;
    std::string target;
    TransferRun run;
    std::thread worker;
};

TEST_F(TakingTurnsTest, WaitsForTheHolderSaysForWhatAndGoesWhenItEnds) {
    DiskTurns other;
    hold(other, {target});
    start({tree.path("src")}, target);
    ASSERT_TRUE(waiting());
    EXPECT_EQ(run.job->turnHolder(), otherTransfer());
    EXPECT_EQ(run.job->totalItems(), 2) << "counted before it waits";
    EXPECT_FALSE(tree.exists("target/src"));

    other.release();
    finish();
    EXPECT_FALSE(run.job->waitingForTurn());
    EXPECT_EQ(tree.read("target/src/sub/b.txt"), "beta");
    EXPECT_TRUE(
        run.logged("Waiting for its turn on the disk, after the move of “a.jpg” and 2 "
                   "more items to “/media/stick/Photos” (ferrymark, process 4242)"));
    EXPECT_TRUE(run.logged("Its turn on the disk has come"));
}

TEST_F(TakingTurnsTest, StartNowGoesWhileTheHolderStillRuns) {
    DiskTurns other;
    hold(other, {target});
    start({tree.path("src")}, target);
    ASSERT_TRUE(waiting());
    run.job->startNow();
    finish();
    EXPECT_EQ(tree.read("target/src/a.txt"), "alpha");
    EXPECT_TRUE(run.logged("Started without waiting for its turn on the disk"));

    // Going ahead took nothing from the holder: the next job still waits for it.
    TransferRun next;
    next.prepare({tree.path("src/a.txt")}).setTakesTurns(true);
    std::thread nextWorker([&] { next.run(tree.mkdir("target2")); });
    EXPECT_TRUE(eventually([&] { return next.job->waitingForTurn(); }));
    next.job->cancelTask();
    nextWorker.join();
}

// A stopped Move that never had its turn: nothing copied, nothing removed.
TEST_F(TakingTurnsTest, StopWhileWaitingEndsTheJobCleanly) {
    DiskTurns other;
    hold(other, {target});
    start({tree.path("src")}, target, true);
    ASSERT_TRUE(waiting());
    run.job->cancelTask();
    finish();
    EXPECT_TRUE(run.job->cancelled());
    EXPECT_EQ(tree.listing("target"), std::vector<std::string>{});
    EXPECT_EQ(tree.read("src/sub/b.txt"), "beta");
    EXPECT_EQ(run.job->dataProcessed(), 0);
    EXPECT_TRUE(run.logged("End copy to"));
}

// The wait holds no pause gate: a pause and a resume while it waits answer at once.
TEST_F(TakingTurnsTest, PauseWhileWaitingDoesNotWaitForTheTurn) {
    DiskTurns other;
    hold(other, {target});
    start({tree.path("src")}, target);
    ASSERT_TRUE(waiting());
    auto pause = std::async(std::launch::async, [&] { run.job->togglePause(); });
    ASSERT_EQ(pause.wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << "the pause waited for the gate";
    EXPECT_TRUE(run.job->paused());
    EXPECT_TRUE(run.job->waitingForTurn());
    run.job->togglePause();
    other.release();
    finish();
    EXPECT_EQ(tree.read("target/src/a.txt"), "alpha");
}

TEST_F(TakingTurnsTest, WithoutTurnsNothingWaits) {
    DiskTurns other;
    hold(other, {target});
    run.prepare({tree.path("src")});  // takesTurns is off unless the front end turns it on
    run.run(target);
    EXPECT_EQ(tree.read("target/src/a.txt"), "alpha");
}

// A runtime folder that is not the user's alone: no turns rather than locks another user
// could hold.
TEST_F(TakingTurnsTest, AnUnsafeRuntimeFolderMeansNoTurns) {
    DiskTurns other;
    hold(other, {target});
    ::chmod(runtime_.c_str(), 0777);
    run.prepare({tree.path("src")}).setTakesTurns(true);
    run.run(target);
    EXPECT_EQ(tree.read("target/src/a.txt"), "alpha");
}

// The holder's process dies without letting go: the kernel lets go for it.
TEST_F(TakingTurnsTest, AHolderThatDiesLeavesNoStaleTurn) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        DiskTurns turns;
        std::string reason;
        const int folder = TurnsFolder::open(reason);
        if (folder < 0 || turns.take(folder, DiskIdentity().disksOf({target}), otherTransfer(),
                                     {}) != DiskTurns::Outcome::Taken) {
            ::_exit(1);
        }
        [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the holder did not take its turn";
    start({tree.path("src")}, target);
    ASSERT_TRUE(waiting());
    EXPECT_EQ(run.job->turnHolder().pid, 4242);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    finish();
    EXPECT_EQ(tree.read("target/src/a.txt"), "alpha");
}

// The disks of the sources count as the target's do; a disk nobody holds does not wait.
class TakingTurnsAcrossDisks : public TakingTurnsTest {
  protected:
    void SetUp() override {
        TakingTurnsTest::SetUp();
        tree.mkdir("disk1");
        tree.mkdir("disk2");
        disk1_ = std::make_unique<SmallDisk>(tree.path("disk1"), "size=4m");
        disk2_ = std::make_unique<SmallDisk>(tree.path("disk2"), "size=4m");
        if (!disk1_->unavailable().empty() || !disk2_->unavailable().empty()) {
            GTEST_SKIP() << disk1_->unavailable() << disk2_->unavailable();
        }
        tree.write("disk1/a.txt", "alpha");
    }
    void TearDown() override {
        TakingTurnsTest::TearDown();
        disk2_.reset();
        disk1_.reset();
    }
    std::unique_ptr<SmallDisk> disk1_;
    std::unique_ptr<SmallDisk> disk2_;
};

TEST_F(TakingTurnsAcrossDisks, TheSourcesDiskCounts) {
    DiskTurns other;
    hold(other, {tree.path("disk1")});
    start({tree.path("disk1/a.txt")}, tree.path("disk2"));
    ASSERT_TRUE(waiting());
    other.release();
    finish();
    EXPECT_EQ(tree.read("disk2/a.txt"), "alpha");
}

TEST_F(TakingTurnsAcrossDisks, AJobOnOtherDisksGoesAtOnce) {
    DiskTurns other;
    hold(other, {target});
    run.prepare({tree.path("disk1/a.txt")}).setTakesTurns(true);
    run.run(tree.path("disk2"));
    EXPECT_EQ(tree.read("disk2/a.txt"), "alpha");
    EXPECT_FALSE(run.logged("Waiting for its turn"));
}

struct FolderCase {
    const char* name;
    // Makes the runtime folder (or not) below root; returns what XDG_RUNTIME_DIR says.
    std::function<std::string(TestTree&)> setUp;
    bool usable;
    bool needsRoot = false;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class TurnsFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(TurnsFolderTest, OnlyAFolderOfTheUserAlone) {
    const FolderCase& c = GetParam();
    if (c.needsRoot && ::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TestTree tree;
    const std::string runtime = c.setUp(tree);
    if (runtime.empty()) {
        ::unsetenv("XDG_RUNTIME_DIR");
    } else {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    std::string reason;
    const int fd = TurnsFolder::open(reason);
    EXPECT_EQ(fd >= 0, c.usable) << reason;
    if (fd >= 0) {
        ::close(fd);
        EXPECT_EQ(tree.mode("run/ferrymark/turns") & 0777, 0700u);
    } else {
        EXPECT_FALSE(reason.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, TurnsFolderTest,
    ::testing::Values(
        FolderCase{"Private", [](TestTree& t) { return t.mkdir("run", 0700); }, true},
        FolderCase{"Unset", [](TestTree&) { return std::string(); }, false},
        FolderCase{"Relative", [](TestTree&) { return std::string("run"); }, false},
        FolderCase{"WorldWritable", [](TestTree& t) { return t.mkdir("run", 0777); }, false},
        FolderCase{"GroupWritable", [](TestTree& t) { return t.mkdir("run", 0770); }, false},
        FolderCase{"SomeoneElses",
                   [](TestTree& t) {
                       const std::string run = t.mkdir("run", 0700);
                       [[maybe_unused]] const int r = ::chown(run.c_str(), 65534, 65534);
                       return run;
                   },
                   false, true},
        FolderCase{"OurFolderIsALink",
                   [](TestTree& t) {
                       t.mkdir("elsewhere", 0700);
                       const std::string run = t.mkdir("run", 0700);
                       t.symlink("run/ferrymark", t.path("elsewhere"));
                       return run;
                   },
                   false},
        FolderCase{"OurFolderIsSomeoneElses",
                   [](TestTree& t) {
                       const std::string run = t.mkdir("run", 0700);
                       const std::string own = t.mkdir("run/ferrymark", 0700);
                       [[maybe_unused]] const int r = ::chown(own.c_str(), 65534, 65534);
                       return run;
                   },
                   false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TurnHolderText, SurvivesNewlinesAndBackslashesInPaths) {
    TurnHolder holder = otherTransfer();
    holder.target = "/media/a\nb\\n";
    holder.firstSource = "x\\\ny";
    EXPECT_EQ(TurnHolder::parse(holder.text()), holder);
    EXPECT_FALSE(TurnHolder::parse("garbage").known());
}

}  // namespace
}  // namespace ferrymark::test
