// Jobs on real disks, driven from inside: prompts the disk's errors bring, the checking
// phase's pause and stop, a target renamed while the job writes into it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "FakeDisk.h"
#include "TestTree.h"
#include "TransferRun.h"
#include "engine/ConflictPolicy.h"

using namespace ferrymark;
using namespace std::chrono_literals;
using test::FakeDisk;
using test::TestTree;

namespace {

std::string makeTarget(const FakeDisk& disk) {
    const std::string target = disk.mountPoint() + "/target";
    ::mkdir(target.c_str(), 0755);
    ::sync();
    return target;
}

std::vector<NotTransferredItem> listed(const CopyHandler& job) {
    return job.report().entries();
}

struct DiskErrorCase {
    const char* name;
    std::vector<ConflictPolicy> answers;
    bool stopped;
};

void PrintTo(const DiskErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class DiskErrorPromptTest : public ::testing::TestWithParam<DiskErrorCase> {};

// The file system gives up as the job begins: creating the copy fails with EIO, which is
// not a full disk and is not asked about as one.
TEST_P(DiskErrorPromptTest, NamesTheErrorAndOffersRetrySkipStop) {
    const DiskErrorCase& c = GetParam();
    FakeDisk disk;
    START_DISK(disk);
    const std::string target = makeTarget(disk);
    TestTree tree;
    const std::string source = tree.write("report.txt", "quarterly");

    test::TransferRun run;
    for (const ConflictPolicy answer : c.answers) {
        run.host.addAnswer(PromptKind::DiskError, PromptAnswer{answer, false});
    }
    run.host.setLogObserver([&](const std::string& line) {
        if (line.starts_with("Begin copy")) {
            disk.shutdown();
        }
    });
    run.run({source}, target, true);

    const auto prompts = run.host.prompts();
    ASSERT_EQ(prompts.size(), c.answers.size());
    for (const Prompt& prompt : prompts) {
        EXPECT_EQ(prompt.kind, PromptKind::DiskError);
        EXPECT_EQ(prompt.options, PromptOptions::RetryOrSkip);
        EXPECT_EQ(prompt.message,
                  "The disk reported an error while saving “report.txt”: Input/output error. "
                  "Choose Retry to try again or Skip to leave it out, and click continue.");
    }
    EXPECT_EQ(run.job->cancelled(), c.stopped);
    const auto items = listed(*run.job);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front().path, source);
    EXPECT_EQ(items.front().reason,
              c.stopped ? NotTransferredReason::Stopped : NotTransferredReason::WriteError);
    EXPECT_TRUE(tree.exists("report.txt"));  // the Move keeps it
}

INSTANTIATE_TEST_SUITE_P(Answers, DiskErrorPromptTest,
                         ::testing::Values(DiskErrorCase{"Skip", {Policy::Skip}, false},
                                           DiskErrorCase{"RetryThenSkip", {0, Policy::Skip}, false},
                                           DiskErrorCase{"Stop", {Policy::Stop}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The user renames the target while a slow source is copied into it: the copy still
// reaches the device, and the job succeeds.
TEST(RenamedTargetTest, CopiesAreFlushedWhereverTheFolderWent) {
    FakeDisk::Options slow;
    slow.rate = "16M";  // 2 MB/s
    FakeDisk sourceDisk(slow);
    START_DISK(sourceDisk);
    FakeDisk disk;
    START_DISK(disk);
    const std::string target = makeTarget(disk);
    const std::string content = TestTree::randomBytes(3 << 20, 21);
    const std::string source = sourceDisk.mountPoint() + "/video";
    {
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
        ::fsync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }

    test::TransferRun run;
    run.prepare({source});
    std::thread worker([&] { run.job->copyFilesTo(target); });
    while (run.job->dataProcessed() <= 0) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(::rename(target.c_str(), (target + "-renamed").c_str()), 0);
    worker.join();

    EXPECT_TRUE(run.job->report().empty());
    EXPECT_FALSE(run.job->cancelled());
    EXPECT_TRUE(disk.deviceHolds(content.substr(0, 1000)));
    EXPECT_TRUE(disk.deviceHolds(content.substr(content.size() - 1000)));
}

enum class AtCheck { PauseThenResume, Stop };

void PrintTo(AtCheck c, std::ostream* out) {
    *out << (c == AtCheck::Stop ? "Stop" : "PauseThenResume");
}

class CheckingPhaseTest : public ::testing::TestWithParam<AtCheck> {};

TEST_P(CheckingPhaseTest, PauseHoldsAndStopRemovesNoOriginal) {
    FakeDisk::Options slow;
    slow.rate = "16M";  // 2 MB/s: the check takes long enough to be met
    FakeDisk disk(slow);
    START_DISK(disk);
    const std::string target = makeTarget(disk);
    TestTree tree;
    // More than the rate filter's burst of two seconds, which a read-back can use up at once.
    tree.write("album/one", TestTree::randomBytes(6 << 20, 31));
    tree.write("album/two", TestTree::randomBytes(6 << 20, 32));

    test::TransferRun run;
    CopyHandler& job = run.prepare({tree.path("album")});
    job.setVerify(true);
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        job.moveFilesTo(target);
        ended = true;
    });
    while (!ended && (!job.checking() || job.bytesChecked() == 0)) {
        std::this_thread::sleep_for(5ms);
    }
    if (ended) {
        worker.join();
        FAIL() << "the job ended before its check could be met";
    }
    if (GetParam() == AtCheck::Stop) {
        run.host.post([&] { job.cancelTask(); });
    } else {
        run.host.post([&] { job.togglePause(); });
        while (!job.paused()) {
            std::this_thread::sleep_for(5ms);
        }
        const auto checked = job.bytesChecked();
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(job.bytesChecked(), checked);
        EXPECT_TRUE(job.checking());
        run.host.post([&] { job.togglePause(); });
    }
    worker.join();

    if (GetParam() == AtCheck::Stop) {
        EXPECT_TRUE(job.cancelled());
        EXPECT_LT(job.bytesChecked(), job.bytesToCheck());
        EXPECT_TRUE(tree.exists("album/one"));
        EXPECT_TRUE(tree.exists("album/two"));
    } else {
        EXPECT_FALSE(job.cancelled());
        EXPECT_EQ(job.bytesChecked(), job.bytesToCheck());
        EXPECT_TRUE(job.report().empty());
        EXPECT_FALSE(tree.exists("album"));
    }
}

INSTANTIATE_TEST_SUITE_P(Requests, CheckingPhaseTest,
                         ::testing::Values(AtCheck::PauseThenResume, AtCheck::Stop),
                         [](const auto& info) {
                             return std::string(info.param == AtCheck::Stop ? "Stop"
                                                                            : "PauseThenResume");
                         });

}  // namespace
