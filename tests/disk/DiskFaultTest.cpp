// fm-transfer onto disks that fail or lie: what it lists, what a Move keeps, how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FakeDisk.h"
#include "TestTree.h"
#include "ToolRun.h"

using ferrymark::test::FakeDisk;
using ferrymark::test::TestTree;
using ferrymark::test::ToolRun;

namespace {

const std::string kSaveError =
    "the disk reported an error while saving it, so this copy may be damaged";
const std::string kDiffers = "the copy differs from the original";

ToolRun transfer(std::vector<std::string> args) {
    return ToolRun::run(FERRYMARK_FM_TRANSFER, args);
}

// A target folder on the disk, with the file system's own records read in and written out,
// so that the job itself is the first to need the device.
std::string prepareTarget(const FakeDisk& disk) {
    const std::string target = disk.mountPoint() + "/target";
    ::mkdir(target.c_str(), 0755);
    const std::string warm = target + "/warm-up";
    const int fd = ::open(warm.c_str(), O_WRONLY | O_CREAT, 0644);
    ::write(fd, "x", 1);
    ::fsync(fd);
    ::close(fd);
    ::unlink(warm.c_str());
    ::sync();
    return target;
}

struct FlushCase {
    const char* name;
    bool move;
};

void PrintTo(const FlushCase& c, std::ostream* out) {
    *out << c.name;
}

class FlushFailureTest : public ::testing::TestWithParam<FlushCase> {};

TEST_P(FlushFailureTest, EveryUnconfirmedCopyIsListedAndTheJobFails) {
    FakeDisk disk(FakeDisk::Fault::Error);
    START_DISK(disk);
    const std::string target = prepareTarget(disk);
    TestTree tree;
    const std::string a = tree.write("a", TestTree::randomBytes(300 * 1024, 1));
    const std::string b = tree.write("d/b", TestTree::randomBytes(70 * 1024, 2));

    disk.fail();
    std::vector<std::string> args{a, tree.path("d"), target};
    if (GetParam().move) {
        args.insert(args.begin(), "--move");
    }
    const ToolRun run = transfer(args);
    disk.heal();

    EXPECT_EQ(run.exitCode, 3) << run.summary();
    if (run.err.find("Read-only file system") == std::string::npos) {
        EXPECT_NE(run.err.find(a + ": " + kSaveError + ": Input/output error"), std::string::npos)
            << run.summary();
        EXPECT_NE(run.err.find(b + ": " + kSaveError), std::string::npos) << run.summary();
    } else {
        // Another program's sync (a loaded machine's) met the fault before the job's own
        // flush, and the file system turned read-only mid-job: what was not yet written is
        // listed for that, a folder for what it holds.
        EXPECT_NE(run.err.find(a + ": "), std::string::npos) << run.summary();
        EXPECT_TRUE(run.err.find(b + ": ") != std::string::npos ||
                    run.err.find(tree.path("d") + ": ") != std::string::npos)
            << run.summary();
    }
    EXPECT_EQ(run.err.find("stopped"), std::string::npos) << run.summary();
    // A Move keeps every original whose copy the disk may not hold.
    EXPECT_TRUE(tree.exists("a"));
    EXPECT_TRUE(tree.exists("d/b"));
}

INSTANTIATE_TEST_SUITE_P(CopyAndMove, FlushFailureTest,
                         ::testing::Values(FlushCase{"Copy", false}, FlushCase{"Move", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LieCase {
    const char* name;
    std::vector<std::string> options;
    bool sourceOnTheDisk;  // copied inside the kernel: the original is read again
    int exitCode;
    bool originalKept;
};

void PrintTo(const LieCase& c, std::ostream* out) {
    *out << c.name;
}

class LyingDiskTest : public ::testing::TestWithParam<LieCase> {};

TEST_P(LyingDiskTest, ReadBackCatchesTheCopyThatDiffers) {
    const LieCase& c = GetParam();
    FakeDisk disk(FakeDisk::Fault::Lie);
    START_DISK(disk);
    const std::string target = prepareTarget(disk);
    TestTree tree;
    const std::string content = TestTree::randomBytes(200 * 1024, 3);
    std::string source = tree.write("photo", content);
    if (c.sourceOnTheDisk) {
        source = disk.mountPoint() + "/photo";
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
        ::fsync(fd);
        ::close(fd);
    }

    disk.lie();
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {source, target});
    const ToolRun run = transfer(args);
    disk.truth();

    EXPECT_EQ(run.exitCode, c.exitCode) << run.summary();
    EXPECT_EQ(run.err.find(source + ": " + kDiffers) != std::string::npos, c.exitCode == 3)
        << run.summary();
    EXPECT_EQ(::access(source.c_str(), F_OK) == 0, c.originalKept) << run.summary();
}

INSTANTIATE_TEST_SUITE_P(
    Verification, LyingDiskTest,
    ::testing::Values(
        // Moves read back by default: the only good copy stays.
        LieCase{"MoveByDefault", {"--move"}, false, 3, true},
        LieCase{"MoveCopiedInTheKernel", {"--move"}, true, 3, true},
        LieCase{"CopyWithVerify", {"--verify"}, false, 3, true},
        // Without the check the lie goes through, as it does with any other tool.
        LieCase{"MoveWithoutVerify", {"--move", "--no-verify"}, false, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SoundDiskTest, VerifiedMoveRemovesTheOriginals) {
    FakeDisk disk;
    START_DISK(disk);
    const std::string target = prepareTarget(disk);
    TestTree tree;
    const std::string content = TestTree::randomBytes(3 * 1024 * 1024 + 17, 4);
    tree.write("d/big", content);
    tree.write("d/small", "small");
    tree.write("d/empty", "");

    const ToolRun run = transfer({"--move", tree.path("d"), target});

    EXPECT_EQ(run.exitCode, 0) << run.summary();
    EXPECT_TRUE(run.printed("Read back 3 copies from the disk")) << run.summary();
    EXPECT_FALSE(tree.exists("d"));
    EXPECT_EQ(run.err, "");
}

}  // namespace
