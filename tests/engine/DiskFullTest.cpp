#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "TestTree.h"
#include "engine/CopyHandler.h"
#include "engine/FileCopy.h"
#include "engine/ItemPlacement.h"
#include "tools/HeadlessHost.h"

namespace ferrymark {
namespace {

// A real full disk: a 2 MiB tmpfs with 256 KiB free. The source lies on it too (chunks
// copied inside the kernel) or on another file system (reads and writes).
class DiskFullTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to mount a small tmpfs";
        }
        mountPoint = tree.mkdir("small");
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=2m") != 0) {
            GTEST_SKIP() << "can not mount a tmpfs here: " << std::strerror(errno);
        }
        mounted = true;
        const bool sourceOnTheSameDisk = GetParam();
        data = test::TestTree::randomBytes(600 * 1024, 7);
        source = tree.write(sourceOnTheSameDisk ? "small/source.bin" : "source.bin", data);
        const std::size_t taken = (2048 - 256) * 1024 - (sourceOnTheSameDisk ? data.size() : 0);
        tree.write("small/filler", std::string(taken, 'f'));
    }
    void TearDown() override {
        if (mounted) {
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        }
    }

    test::TestTree tree;
    HeadlessHost host;
    std::string mountPoint;
    bool mounted = false;
    std::string data;
    std::string source;
};

TEST_P(DiskFullTest, ContinueAfterFreeingSpaceRetriesTheSameWrite) {
    int asked = 0;
    host.setPromptHandler([&](const Prompt& prompt) {
        EXPECT_EQ(prompt.kind, PromptKind::DiskFull);
        // Still full on the first Continue: the prompt must come back.
        if (++asked == 2) {
            ::unlink(tree.path("small/filler").c_str());
        }
        return PromptAnswer{0, false};
    });
    auto job = CopyHandler::initWithFiles({source}, host);
    job->setRemainingItems(1);
    EXPECT_TRUE(copyFileData(source, mountPoint + "/copy.bin", *job));
    EXPECT_GE(asked, 2);
    EXPECT_EQ(tree.read("small/copy.bin"), data);
    EXPECT_EQ(job->dataProcessed(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(job->remainingItems(), 0);
}

TEST_P(DiskFullTest, StopRemovesThePartialFile) {
    host.addAnswer(PromptKind::DiskFull, PromptAnswer{kAnswerStop, false});
    auto job = CopyHandler::initWithFiles({source}, host);
    job->setRemainingItems(1);
    EXPECT_FALSE(copyFileData(source, mountPoint + "/copy.bin", *job));
    EXPECT_TRUE(job->cancelled());
    EXPECT_FALSE(tree.exists("small/copy.bin"));
    EXPECT_EQ(job->remainingItems(), 1);
    EXPECT_FALSE(job->sourceFullyTransferred(0));
}

// A Replace whose copy meets a full disk and is stopped keeps the old file whole, and leaves
// no partial one.
TEST_P(DiskFullTest, StoppedReplaceKeepsTheOldFile) {
    tree.write("small/copy.bin", "old version");
    host.addAnswer(PromptKind::DiskFull, PromptAnswer{kAnswerStop, false});
    auto job = CopyHandler::initWithFiles({source}, host);
    job->setFileNoPrompt(Policy::Replace);
    DeferredConflictList conflicts;
    EXPECT_FALSE(placeFile(source, mountPoint + "/copy.bin", conflicts, *job));
    EXPECT_EQ(tree.read("small/copy.bin"), "old version");
    for (const std::string& name : tree.listing("small")) {
        EXPECT_TRUE(name == "copy.bin" || name == "filler" || name == "source.bin") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(SourceDisk, DiskFullTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "SameDisk" : "OtherDisk"; });

}  // namespace
}  // namespace ferrymark
