// Stop at a conflict ends the transfer; a folder is never copied into itself, however the
// target is spelled.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestTree.h"
#include "TransferRun.h"
#include "engine/FolderIdentity.h"

namespace ferrymark {
namespace {

using Names = std::vector<std::string>;

Names reported(const CopyHandler& job, NotTransferredReason reason) {
    Names out;
    for (const auto& item : job.report().entries()) {
        if (item.reason == reason) {
            out.push_back(item.path);
        }
    }
    return out;
}

TEST(StopAtConflictTest, StopEndsTheTransferAndAMoveRemovesNothing) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        test::TestTree tree;
        const auto a = tree.write("src/a", "new a");
        const auto d = tree.write("src/d/inner", "new inner");
        const auto c = tree.write("src/c", "new c");
        tree.write("dst/a", "old a");
        tree.write("dst/d/inner", "old inner");
        test::TransferRun transfer;
        transfer.host.setPromptHandler([](const Prompt&) { return PromptAnswer{Policy::Stop}; });
        transfer.run({a, tree.path("src/d"), c}, tree.path("dst"), move);

        const auto& job = *transfer.job;
        EXPECT_TRUE(job.cancelled());
        EXPECT_EQ(transfer.host.prompts().size(), 1u) << "the second conflict was asked about";
        EXPECT_EQ(tree.read("dst/a"), "old a");
        EXPECT_EQ(tree.read("dst/d/inner"), "old inner");
        EXPECT_EQ(tree.read("dst/c"), "new c");  // placed before the conflicts were asked
        for (const char* source : {"src/a", "src/d/inner", "src/c"}) {
            EXPECT_TRUE(tree.exists(source)) << source << " was removed";
        }
        EXPECT_EQ(reported(job, NotTransferredReason::Stopped), (Names{a, tree.path("src/d")}));
    }
}

TEST(StopAtConflictTest, AStopBeforeTheConflictsAreAskedListsThemAll) {
    test::TestTree tree;
    const auto a = tree.write("src/a", "new");
    tree.write("dst/a", "old");
    // A pipe is passed over with a log line: the user stops the job right then.
    ASSERT_EQ(::mkfifo(tree.path("src/p").c_str(), 0644), 0);
    test::TransferRun transfer;
    transfer.host.setLogObserver([&](const std::string& line) {
        if (line.find("src/p") != std::string::npos) {
            transfer.job->cancelTask();
        }
    });
    transfer.run({a, tree.path("src/p")}, tree.path("dst"));
    EXPECT_TRUE(transfer.job->cancelled());
    EXPECT_TRUE(transfer.host.prompts().empty());
    EXPECT_EQ(reported(*transfer.job, NotTransferredReason::Stopped), Names{a});
}

TEST(IntoItselfTest, ATargetLiesInTheSourceByWhatItIsNotHowItIsSpelled) {
    test::TestTree tree;
    tree.mkdir("src/sub/deeper");
    tree.mkdir("srcx");
    tree.write("src/file", "f");
    tree.symlink("link", tree.path("src"));
    tree.symlink("src/sub/up", tree.path("src"));
    struct Case {
        const char* target;
        const char* source;
        bool inside;
    };
    const Case cases[] = {
        {"src", "src", true},
        {"src/sub/deeper", "src", true},
        {"link/sub", "src", true},        // through a link outside the source
        {"src/sub/up/sub", "src", true},  // through a link inside it
        {"src/sub", "link", true},        // the source is the link
        {"srcx", "src", false},           // a sibling sharing the name's start
        {"src", "src/sub", false},        // the target holds the source: allowed
        {"src/sub", "src/file", false},   // a file holds nothing
        {"missing", "src", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderIdentity::liesWithin(tree.path(c.target), tree.path(c.source)), c.inside)
            << c.source << " holding " << c.target;
    }
}

TEST(IntoItselfTest, TheEngineNeverEntersTheFolderItIsFilling) {
    test::TestTree tree;
    tree.write("src/a", "a");
    tree.mkdir("src/sub");
    tree.symlink("link", tree.path("src"));
    test::TransferRun transfer;
    // The front ends refuse this; the engine must end all the same, with one level copied.
    transfer.run({tree.path("src")}, tree.path("link/sub"));
    EXPECT_EQ(tree.read("src/sub/src/a"), "a");
    EXPECT_TRUE(tree.exists("src/sub/src/sub"));
    EXPECT_FALSE(tree.exists("src/sub/src/sub/src")) << "copied into the copy it was making";
}

}  // namespace
}  // namespace ferrymark
