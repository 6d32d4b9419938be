#include "engine/ItemPlacement.h"

#include <gtest/gtest.h>

#include "TestTree.h"
#include "UnprivilegedChild.h"
#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

namespace ferrymark {
namespace {

struct PolicyCase {
    ConflictPolicy policy;
    std::vector<std::string> expected;  // the target folder's listing afterwards
    std::size_t deferred;
    bool transferred;
};

class PlacementTest : public ::testing::Test {
  protected:
    std::unique_ptr<CopyHandler> makeJob(const std::string& source) {
        auto job = CopyHandler::initWithFiles({source}, host);
        job->setTotalItems(3);
        job->setRemainingItems(3);
        job->setDataProcessed(0);
        return job;
    }
    test::TestTree tree;
    HeadlessHost host{HeadlessHost::Threading::Inline};
    DeferredConflictList conflicts;
};

class FilePolicyTest : public PlacementTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(FilePolicyTest, SettlesAFileConflict) {
    const PolicyCase& c = GetParam();
    const auto src = tree.write("src/f.txt", "new");
    tree.write("dst/f.txt", "old");
    auto job = makeJob(src);
    job->setFileNoPrompt(c.policy);
    EXPECT_TRUE(placeFile(src, tree.path("dst/f.txt"), conflicts, *job));
    EXPECT_EQ(tree.listing("dst"), c.expected);
    EXPECT_EQ(conflicts.size(), c.deferred);
    EXPECT_EQ(job->sourceFullyTransferred(0), c.transferred);
    if (c.policy == Policy::Replace) {
        EXPECT_EQ(tree.read("dst/f.txt"), "new");
    } else {
        EXPECT_EQ(tree.read("dst/f.txt"), "old");
    }
    EXPECT_TRUE(host.prompts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Policies, FilePolicyTest,
    ::testing::Values(PolicyCase{Policy::Ask, {"f.txt"}, 1, true},
                      PolicyCase{Policy::CopyWithNewName, {"f copy.txt", "f.txt"}, 0, true},
                      PolicyCase{Policy::Stop, {"f.txt"}, 0, false},
                      PolicyCase{Policy::Replace, {"f.txt"}, 0, true},
                      PolicyCase{Policy::Skip, {"f.txt"}, 0, false},
                      PolicyCase{Policy::Merge, {"f.txt"}, 0, false},
                      PolicyCase{9, {"f.txt"}, 0, false}));

class FolderPolicyTest : public PlacementTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(FolderPolicyTest, SettlesAFolderConflict) {
    const PolicyCase& c = GetParam();
    tree.write("src/d/same.txt", std::string(5000, 'a'));
    tree.write("src/d/sub/new.txt", std::string(3000, 'b'));
    tree.write("src/d/.hidden", std::string(2000, 'c'));
    tree.write("dst/d/same.txt", "old");
    tree.write("dst/d/old.txt", "old");
    tree.mkdir("dst/d/sub");
    auto job = makeJob(tree.path("src/d"));
    job->setDirNoPrompt(c.policy);
    EXPECT_TRUE(placeDirectory(tree.path("src/d"), tree.path("dst/d"), conflicts, *job));
    EXPECT_EQ(tree.listing("dst"), c.expected);
    EXPECT_EQ(conflicts.size(), c.deferred);
    EXPECT_EQ(job->sourceFullyTransferred(0), c.transferred);
    if (c.policy == Policy::Skip) {
        EXPECT_EQ(job->remainingItems(), 0);
        EXPECT_EQ(job->dataProcessed(), 10000);
    }
}

const std::vector<std::string> kUntouched = {"d/", "d/old.txt", "d/same.txt", "d/sub/"};

INSTANTIATE_TEST_SUITE_P(
    Policies, FolderPolicyTest,
    ::testing::Values(
        PolicyCase{Policy::Ask, kUntouched, 1, true},
        PolicyCase{Policy::CopyWithNewName,
                   {"d copy/", "d copy/.hidden", "d copy/same.txt", "d copy/sub/",
                    "d copy/sub/new.txt", "d/", "d/old.txt", "d/same.txt", "d/sub/"},
                   0,
                   true},
        PolicyCase{Policy::Stop, kUntouched, 0, false},
        PolicyCase{
            Policy::Replace, {"d/", "d/.hidden", "d/same.txt", "d/sub/", "d/sub/new.txt"}, 0, true},
        PolicyCase{Policy::Skip, kUntouched, 0, false},
        // The nested folder merges too; the file conflict inside waits for its prompt.
        PolicyCase{Policy::Merge,
                   {"d/", "d/.hidden", "d/old.txt", "d/same.txt", "d/sub/", "d/sub/new.txt"},
                   1,
                   true},
        PolicyCase{6, kUntouched, 0, false}));

TEST_F(PlacementTest, AbsentDestinationIsCopiedWhateverThePolicy) {
    tree.write("src/d/a", "a");
    tree.mkdir("src/empty");
    tree.mkdir("dst");
    const auto file = tree.write("src/f", "f");
    auto job = makeJob(file);
    job->setFileNoPrompt(Policy::Stop);
    job->setDirNoPrompt(Policy::Stop);
    EXPECT_TRUE(placeFile(file, tree.path("dst/f"), conflicts, *job));
    EXPECT_TRUE(placeDirectory(tree.path("src/d"), tree.path("dst/d"), conflicts, *job));
    EXPECT_TRUE(placeDirectory(tree.path("src/empty"), tree.path("dst/empty"), conflicts, *job));
    EXPECT_EQ(tree.listing("dst"), (std::vector<std::string>{"d/", "d/a", "empty/", "f"}));
}

TEST_F(PlacementTest, FileReplacesAFolderOfTheSameName) {
    const auto src = tree.write("src/x", "file");
    tree.write("dst/x/inner/deep.txt", "old");
    auto job = makeJob(src);
    job->setFileNoPrompt(Policy::Replace);
    EXPECT_TRUE(placeFile(src, tree.path("dst/x"), conflicts, *job));
    EXPECT_EQ(tree.read("dst/x"), "file");
}

TEST_F(PlacementTest, DanglingLinkAtTheDestinationIsAConflict) {
    const auto src = tree.write("src/f", "data");
    tree.symlink("dst/f", tree.path("outside/f"));
    auto job = makeJob(src);
    EXPECT_TRUE(placeFile(src, tree.path("dst/f"), conflicts, *job));
    EXPECT_EQ(conflicts.size(), 1u);
    EXPECT_FALSE(tree.exists("outside/f"));
}

TEST_F(PlacementTest, ExistingTreeDestinationIsLoggedAndNotCopied) {
    tree.write("src/d/a", "a");
    tree.mkdir("dst/d");
    auto job = makeJob(tree.path("src/d"));
    EXPECT_TRUE(copyTree(tree.path("src/d"), tree.path("dst/d"), *job));
    EXPECT_EQ(host.logLines(), std::vector<std::string>{"Error occured while creating directory " +
                                                        tree.path("src/d")});
    EXPECT_FALSE(tree.exists("dst/d/a"));
    EXPECT_FALSE(job->sourceFullyTransferred(0));
}

TEST_F(PlacementTest, LinkBackIntoItsOwnTreeIsNotFollowed) {
    tree.write("src/d/a", "a");
    tree.symlink("src/d/loop", tree.path("src/d"));
    tree.mkdir("dst");
    auto job = makeJob(tree.path("src/d"));
    EXPECT_TRUE(copyTree(tree.path("src/d"), tree.path("dst/d"), *job));
    EXPECT_EQ(tree.listing("dst"), (std::vector<std::string>{"d/", "d/a"}));
    EXPECT_FALSE(job->sourceFullyTransferred(0));
}

TEST_F(PlacementTest, ReplaceOfAFolderInAReadOnlyFolderAsksAndKeepsIt) {
    if (auto why = test::UnprivilegedChild::unavailableReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    tree.write("src/d/a", "new");
    tree.write("dst/d/a", "old");
    ::chmod(tree.path("dst").c_str(), 0555);
    ::chmod(tree.path("dst/d").c_str(), 0555);
    for (const std::int32_t answer : {0, kAnswerStop}) {
        const int result = test::UnprivilegedChild::run([&] {
            HeadlessHost child{HeadlessHost::Threading::Inline};
            child.addAnswer(PromptKind::ReplaceFolder, PromptAnswer{answer, false});
            auto job = CopyHandler::initWithFiles({tree.path("src/d")}, child);
            job->setDirNoPrompt(Policy::Replace);
            DeferredConflictList list;
            const bool goOn = placeDirectory(tree.path("src/d"), tree.path("dst/d"), list, *job);
            const auto prompts = child.prompts();
            const bool named =
                prompts.size() == 1 && prompts[0].message ==
                                           "You do not have the permission to replace existing "
                                           "directory “d”, the directory cannot be copied.";
            return (goOn ? 1 : 0) | (named ? 2 : 0) | (job->sourceFullyTransferred(0) ? 4 : 0);
        });
        EXPECT_EQ(result, answer == kAnswerStop ? 2 : (1 | 2)) << "answer " << answer;
        EXPECT_EQ(tree.read("dst/d/a"), "old");
    }
}

}  // namespace
}  // namespace ferrymark
