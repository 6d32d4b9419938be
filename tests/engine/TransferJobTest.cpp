#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "TestTree.h"
#include "TransferRun.h"
#include "UnprivilegedChild.h"

namespace ferrymark {
namespace {

using Names = std::vector<std::string>;

class TransferJobTest : public ::testing::Test {
  protected:
    test::TestTree tree;
    test::TransferRun transfer;
};

TEST_F(TransferJobTest, SingleFileIsCountedAndCopied) {
    const auto src = tree.write("src/one.bin", std::string(5000, 'x'));
    tree.mkdir("dst");
    transfer.run({src}, tree.path("dst"));
    const auto& job = *transfer.job;
    EXPECT_EQ(job.totalItems(), 1);
    EXPECT_EQ(job.totalData(), 5000);
    EXPECT_EQ(job.remainingItems(), 0);
    EXPECT_EQ(job.dataProcessed(), 5000);
    EXPECT_EQ(job.currentTarget(), "dst");
    EXPECT_EQ(tree.read("dst/one.bin"), std::string(5000, 'x'));
    EXPECT_EQ(transfer.host.logLines(), (Names{"Begin copy to \"" + tree.path("dst") + "\"",
                                               "End copy to \"" + tree.path("dst") + "\""}));
}

// The count enters the linked folders that the copy enters, so the totals are what the
// job copies: the bar ends at its end, and no item is left over or missing.
TEST_F(TransferJobTest, CountsEveryFileAtEveryDepthAndTheLinkedFoldersTheCopyEnters) {
    tree.write("src/a", "12345");
    tree.write("src/.dot", "12");
    tree.write("src/sub/deeper/b", "123");
    tree.mkdir("src/emptyonly/e1/e2");
    tree.write("outside/c", "1234567");
    tree.symlink("src/linkfile", tree.path("outside/c"));
    tree.symlink("src/linkdir", tree.path("outside"));
    tree.symlink("src/sub/inside", "deeper");
    tree.symlink("src/sub/deeper/back", "../..");  // refused by the copy: not counted
    tree.symlink("src/broken", tree.path("nowhere"));
    tree.mkdir("dst");
    transfer.run({tree.path("src")}, tree.path("dst"));
    // a, .dot, b, linkfile, linkdir/c, sub/inside/b
    EXPECT_EQ(transfer.job->totalItems(), 6);
    EXPECT_EQ(transfer.job->totalData(), 5 + 2 + 3 + 7 + 7 + 3);
    EXPECT_EQ(transfer.job->remainingItems(), 0);
    EXPECT_EQ(transfer.job->dataProcessed(), transfer.job->totalData());
    EXPECT_EQ(tree.read("dst/src/linkfile"), "1234567");
    EXPECT_EQ(tree.read("dst/src/linkdir/c"), "1234567");
    EXPECT_EQ(tree.read("dst/src/sub/inside/b"), "123");
    EXPECT_FALSE(transfer.job->sourceFullyTransferred(0));  // the broken link, the way back
}

TEST_F(TransferJobTest, ConflictsAreAskedAfterEverythingElseInListOrder) {
    const auto a = tree.write("src/a", "new a");
    const auto b = tree.write("src/b", "new b");
    const auto c = tree.write("src/c", "new c");
    tree.write("dst/a", "old a");
    tree.write("dst/c", "old c");
    bool bPlacedFirst = false;
    transfer.host.setPromptHandler([&](const Prompt&) {
        bPlacedFirst = tree.exists("dst/b");
        return PromptAnswer{Policy::Replace, false};
    });
    transfer.run({a, b, c}, tree.path("dst"));
    EXPECT_TRUE(bPlacedFirst);
    EXPECT_EQ(transfer.promptMessages(),
              (Names{"An item named “a” already exists in this location. Do you want to replace "
                     "it with the one you’re moving?",
                     "An item named “c” already exists in this location. Do you want to replace "
                     "it with the one you’re moving?"}));
    EXPECT_EQ(tree.read("dst/a"), "new a");
    EXPECT_EQ(tree.read("dst/c"), "new c");
    EXPECT_EQ(transfer.host.activations(), 1);
}

TEST_F(TransferJobTest, OneTimeMergeAsksNestedFileConflictsLaterInThePass) {
    tree.write("src/d1/x", "new");
    tree.write("src/d1/sub/y", "new");
    tree.write("src/d2/z", "new");
    tree.write("dst/d1/x", "old");
    tree.write("dst/d1/sub/y", "old");
    tree.write("dst/d2/z", "old");
    std::vector<PromptKind> kinds;
    std::vector<ConflictPolicy> folderPolicyWhenAsked;
    transfer.host.setPromptHandler([&](const Prompt& p) {
        kinds.push_back(p.kind);
        folderPolicyWhenAsked.push_back(transfer.job->dirNoPrompt());
        if (p.kind == PromptKind::FolderConflict) {
            EXPECT_EQ(p.options, PromptOptions::ShownWithMerge);
            return PromptAnswer{
                p.message.find("d1") != std::string::npos ? Policy::Merge : Policy::Skip, false};
        }
        return PromptAnswer{Policy::CopyWithNewName, false};
    });
    transfer.run({tree.path("src/d1"), tree.path("src/d2")}, tree.path("dst"));
    // d1 and d2 were both waiting; the files inside d1 come after them.
    EXPECT_EQ(kinds,
              (std::vector<PromptKind>{PromptKind::FolderConflict, PromptKind::FolderConflict,
                                       PromptKind::FileConflict, PromptKind::FileConflict}));
    EXPECT_EQ(folderPolicyWhenAsked[1], Policy::Ask);  // the one-time merge did not stay
    EXPECT_EQ(tree.listing("dst"), (Names{"d1/", "d1/sub/", "d1/sub/y", "d1/sub/y copy", "d1/x",
                                          "d1/x copy", "d2/", "d2/z"}));
    EXPECT_EQ(tree.read("dst/d2/z"), "old");
}

TEST_F(TransferJobTest, DontAskSettlesLaterConflictsOfItsKindInThisJobOnly) {
    for (const char* name : {"f1", "f2", "f3"}) {
        tree.write(std::string("src/") + name, "new");
        tree.write(std::string("dst/") + name, "old");
    }
    tree.write("src/d/a", "new");
    tree.write("dst/d/a", "old");
    const Names sources{tree.path("src/f1"), tree.path("src/d"), tree.path("src/f2"),
                        tree.path("src/f3")};
    transfer.host.setPromptHandler([](const Prompt& p) {
        return p.kind == PromptKind::FileConflict ? PromptAnswer{Policy::Replace, true}
                                                  : PromptAnswer{Policy::Skip, false};
    });
    transfer.run(sources, tree.path("dst"));
    ASSERT_EQ(transfer.host.prompts().size(), 2u);
    EXPECT_EQ(transfer.host.prompts()[0].kind, PromptKind::FileConflict);
    EXPECT_EQ(transfer.host.prompts()[1].kind, PromptKind::FolderConflict);
    EXPECT_EQ(tree.read("dst/f3"), "new");
    EXPECT_EQ(tree.read("dst/d/a"), "old");
    EXPECT_FALSE(transfer.job->cancelled());

    test::TransferRun second;
    second.run(sources, tree.path("dst"));
    EXPECT_EQ(second.host.prompts()[0].kind, PromptKind::FileConflict);
}

TEST_F(TransferJobTest, SkippedFolderIsAccountedAsDone) {
    tree.write("src/d/a", std::string(1000, 'a'));
    tree.write("src/d/b", std::string(4000, 'b'));
    tree.write("src/d/s/c", std::string(5000, 'c'));
    tree.mkdir("dst/d");
    transfer.host.addAnswer(PromptKind::FolderConflict, PromptAnswer{Policy::Skip, false});
    transfer.run({tree.path("src/d")}, tree.path("dst"));
    EXPECT_EQ(transfer.job->remainingItems(), 0);
    EXPECT_EQ(transfer.job->dataProcessed(), 10000);
    EXPECT_EQ(tree.listing("dst"), Names{"d/"});
}

TEST_F(TransferJobTest, PasteIntoTheSourcesOwnFolderMakesACopy) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move);
        test::TestTree t;
        const auto src = t.write("here/report.txt", "r");
        test::TransferRun run;
        run.run({src}, t.path("here"), move);
        EXPECT_EQ(t.read("here/report copy.txt"), "r");
        EXPECT_EQ(t.exists("here/report.txt"), !move);
        EXPECT_TRUE(run.host.prompts().empty());
    }
}

TEST_F(TransferJobTest, LinkGivenAsSourceIsCopiedAsWhatItPointsTo) {
    tree.write("real/f", "data");
    tree.write("real/d/inner", "in");
    const auto lf = tree.symlink("src/lf", tree.path("real/f"));
    const auto ld = tree.symlink("src/ld", tree.path("real/d"));
    tree.mkdir("dst");
    transfer.run({lf, ld}, tree.path("dst"), true);
    EXPECT_EQ(tree.listing("dst"), (Names{"ld/", "ld/inner", "lf"}));
    // The move takes the links away, not what they point to.
    EXPECT_FALSE(tree.exists("src/lf"));
    EXPECT_FALSE(tree.exists("src/ld"));
    EXPECT_EQ(tree.read("real/f"), "data");
    EXPECT_EQ(tree.read("real/d/inner"), "in");
}

TEST_F(TransferJobTest, CancelBeforeCountingPlacesNothing) {
    const auto src = tree.write("src/a", "a");
    tree.mkdir("dst");
    transfer.prepare({src});
    transfer.job->cancelTask();
    transfer.run(tree.path("dst"), true);
    EXPECT_EQ(tree.listing("dst"), Names{});
    EXPECT_TRUE(tree.exists("src/a"));
    EXPECT_EQ(transfer.host.logLines().size(), 2u);
}

TEST_F(TransferJobTest, CancelDuringAMoveKeepsSourcesAndLeavesNoPartialFile) {
    const std::string big = test::TestTree::randomBytes(16 << 20, 5);
    const auto first = tree.write("src/first", "small");
    const auto second = tree.write("src/second", big);
    tree.mkdir("dst");
    CopyHandler& job = transfer.prepare({first, second});
    std::thread stopper([&] {
        while (job.dataProcessed() < 1 << 20) {
            std::this_thread::yield();
        }
        transfer.host.post([&] { job.cancelTask(); });
    });
    transfer.run(tree.path("dst"), true);
    stopper.join();
    EXPECT_TRUE(job.cancelled());
    EXPECT_EQ(tree.listing("dst"), Names{"first"});  // done before the stop, and kept
    EXPECT_EQ(tree.read("src/second"), big);
    EXPECT_TRUE(tree.exists("src/first"));
}

TEST_F(TransferJobTest, MoveKeepsEverySourceNotFullyCopied) {
    tree.write("src/complete/a", "a");
    tree.write("src/withpipe/a", "a");
    ::mkfifo(tree.path("src/withpipe/pipe").c_str(), 0644);
    tree.write("src/conflict", "new");
    tree.write("dst/conflict", "old");
    tree.write("src/withloop/a", "a");
    tree.symlink("src/withloop/loop", tree.path("src/withloop"));
    transfer.host.addAnswer(PromptKind::FileConflict, PromptAnswer{Policy::Skip, false});
    transfer.run({tree.path("src/complete"), tree.path("src/withpipe"), tree.path("src/conflict"),
                  tree.path("src/gone"), tree.path("src/withloop")},
                 tree.path("dst"), true);
    EXPECT_FALSE(tree.exists("src/complete"));
    EXPECT_TRUE(tree.exists("src/withpipe/a"));
    EXPECT_TRUE(tree.exists("src/conflict"));
    EXPECT_TRUE(tree.exists("src/withloop/a"));
    EXPECT_EQ(tree.read("dst/conflict"), "old");
    EXPECT_TRUE(transfer.logged("Kept " + tree.path("src/withpipe")));
    EXPECT_TRUE(transfer.logged(tree.path("src/gone")));
}

TEST_F(TransferJobTest, TargetReachedThroughALinkIsNotReplacedWithItself) {
    const auto src = tree.write("real/f", "precious");
    const auto alias = tree.symlink("alias", tree.path("real"));
    transfer.run({src}, alias, true);
    EXPECT_EQ(tree.read("real/f copy"), "precious");
    EXPECT_FALSE(tree.exists("real/f"));
}

TEST_F(TransferJobTest, UnexaminableDestinationIsPassedOverAndTheJobGoesOn) {
    if (auto why = test::UnprivilegedChild::unavailableReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const auto a = tree.write("src/a", "a");
    const auto b = tree.write("src/b", "b");
    tree.mkdir("dst", 0777);
    tree.mkdir("dst/closed", 0666);  // listable by name, but not searchable
    const int result = test::UnprivilegedChild::run([&] {
        test::TransferRun run(HeadlessHost::Threading::Inline);
        run.prepare({a, b});
        run.job->copyFilesTo(tree.path("dst/closed"));
        return run.logged("Can not examine") ? 1 : 0;
    });
    EXPECT_EQ(result, 1);
}

TEST_F(TransferJobTest, PauseAfterTheLastChunkHoldsTheEndUntilResumed) {
    const auto src = tree.write("src/a", "new");
    tree.write("dst/a", "old");
    CopyHandler& job = transfer.prepare({src});
    // The conflict prompt comes after the last chunk; pausing there holds the job at its end.
    transfer.host.setPromptHandler([&](const Prompt&) {
        job.togglePause();
        return PromptAnswer{Policy::Skip, false};
    });
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        job.copyFilesTo(tree.path("dst"));
        ended = true;
    });
    while (transfer.host.prompts().empty()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(ended.load());
    transfer.host.post([&] { job.togglePause(); });
    worker.join();
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(job.paused());
}

}  // namespace
}  // namespace ferrymark
