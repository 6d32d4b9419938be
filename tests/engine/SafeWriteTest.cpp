// What a job must never lose: the old item of a Replace, a source that changes during a
// Move, a file half written when the process dies, a name two jobs race for.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "TestTree.h"
#include "TransferRun.h"
#include "engine/FileCopy.h"
#include "engine/InFlightRecord.h"

namespace ferrymark {
namespace {

using test::TestTree;
using test::TransferRun;

bool hasTemporary(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        const auto slash = name.rfind('/');
        if (InFlightRecord::isTemporaryName(
                name.substr(slash == std::string::npos ? 0 : slash + 1))) {
            return true;
        }
    }
    return false;
}

// A Replace that can not complete leaves the old item as it was.
struct ReplaceCase {
    const char* what;
    std::function<void(TestTree&)> setUp;
    std::string source;    // relative to the tree
    std::string target;    // folder to paste into
    std::string keptPath;  // must still hold keptContent afterwards
    std::string keptContent;
    bool asked;  // a ReplaceFolder prompt says why
};

class ReplaceKeepsTheOld : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceKeepsTheOld, NothingIsRemovedBeforeItsReplacementIsComplete) {
    const ReplaceCase& c = GetParam();
    TestTree tree;
    c.setUp(tree);
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        TransferRun run;
        run.host.addAnswer(PromptKind::ReplaceFolder, PromptAnswer{0, false});
        auto& job = run.prepare({tree.path(c.source)});
        job.setFileNoPrompt(Policy::Replace);
        job.setDirNoPrompt(Policy::Replace);
        run.run(tree.path(c.target), move);
        ASSERT_TRUE(tree.exists(c.keptPath));
        EXPECT_EQ(tree.read(c.keptPath), c.keptContent);
        EXPECT_EQ(!run.host.prompts().empty(), c.asked);
        EXPECT_FALSE(hasTemporary(tree.listing("")));
        EXPECT_FALSE(job.report().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceKeepsTheOld,
    ::testing::Values(ReplaceCase{"SourceGone",
                                  [](TestTree& t) { t.write("dst/note", "old note"); }, "src/note",
                                  "dst", "dst/note", "old note", false},
                      ReplaceCase{"FolderWithAVanishedFile",
                                  [](TestTree& t) {
                                      t.write("dst/photos/a.jpg", "old a");
                                      t.write("src/photos/a.jpg", "new a");
                                      t.symlink("src/photos/b.jpg", t.path("nowhere"));
                                  },
                                  "src/photos", "dst", "dst/photos/a.jpg", "old a", false},
                      ReplaceCase{"FolderHoldsTheSourceFolder",
                                  [](TestTree& t) { t.write("proj/proj/main.c", "code"); },
                                  "proj/proj", "", "proj/proj/main.c", "code", true},
                      ReplaceCase{"FolderHoldsTheSourceFile",
                                  [](TestTree& t) { t.write("proj/proj", "text"); }, "proj/proj",
                                  "", "proj/proj", "text", true}),
    [](const auto& info) { return std::string(info.param.what); });

// Another job or program takes the name while this copy is written: neither file is
// mixed with the other, and Keep Both never gives two jobs one name.
TEST(NameRace, TwoJobsNeverMixOneFile) {
    TestTree tree;
    const std::string a = TestTree::randomBytes(64 * 1024, 1);
    const std::string b = TestTree::randomBytes(64 * 1024, 2);
    tree.write("a/same", a);
    tree.write("b/same", b);
    for (const auto policy : {Policy::Skip, Policy::CopyWithNewName}) {
        for (int round = 0; round < 200; ++round) {
            tree.mkdir("dst");
            TransferRun first;
            TransferRun second;
            for (TransferRun* run : {&first, &second}) {
                run->host.addAnswer(PromptKind::FileConflict, PromptAnswer{policy, false});
            }
            first.prepare({tree.path("a/same")});
            second.prepare({tree.path("b/same")});
            std::thread one([&] { first.run(tree.path("dst")); });
            std::thread two([&] { second.run(tree.path("dst")); });
            one.join();
            two.join();
            const auto names = tree.listing("dst");
            ASSERT_EQ(names.size(), policy == Policy::Skip ? 1u : 2u) << "round " << round;
            for (const auto& name : names) {
                const std::string content = tree.read("dst/" + name);
                ASSERT_TRUE(content == a || content == b) << name << " is mixed, round " << round;
            }
            if (policy == Policy::CopyWithNewName) {
                EXPECT_NE(tree.read("dst/" + names[0]), tree.read("dst/" + names[1]));
            }
            std::filesystem::remove_all(tree.path("dst"));
        }
    }
}

// A Move removes only what it copied as it was: a file appended to, or saved into a source
// folder, after the job began stays with its folders.
TEST(MoveWhileChanged, ChangedAndAddedItemsAreKept) {
    TestTree tree;
    tree.write("src/tree/same.txt", "same");
    tree.write("src/tree/grows.txt", "line 1\n");
    tree.write("src/tree/sub/also.txt", "also");
    tree.write("src/c", "new c");
    tree.write("dst/c", "old c");
    TransferRun run;
    // The conflict prompt comes after the tree was copied and before anything is removed.
    run.host.setPromptHandler([&](const Prompt&) {
        std::ofstream(tree.path("src/tree/grows.txt"), std::ios::app) << "line 2\n";
        tree.write("src/tree/sub/saved.txt", "saved meanwhile");
        return PromptAnswer{Policy::Replace, false};
    });
    run.run({tree.path("src/tree"), tree.path("src/c")}, tree.path("dst"), true);
    EXPECT_EQ(tree.listing("src"), (std::vector<std::string>{"tree/", "tree/grows.txt", "tree/sub/",
                                                             "tree/sub/saved.txt"}));
    EXPECT_EQ(tree.read("src/tree/grows.txt"), "line 1\nline 2\n");
    EXPECT_EQ(tree.read("dst/tree/same.txt"), "same");
    EXPECT_EQ(tree.read("dst/c"), "new c");
    EXPECT_TRUE(run.logged("Kept " + tree.path("src/tree/grows.txt")));
    EXPECT_TRUE(run.logged("Kept " + tree.path("src/tree/sub/saved.txt")));
}

// A Move whose source's folder is swapped for a link after the copy removes nothing
// through the link.
TEST(MoveWhileChanged, SourceFolderSwappedForALinkIsNotFollowed) {
    TestTree tree;
    tree.write("src/dir/item/file", "data");
    tree.write("outside/item/file", "not yours");
    tree.write("src/c", "new c");
    tree.write("dst/c", "old c");
    TransferRun run;
    run.host.setPromptHandler([&](const Prompt&) {
        std::filesystem::rename(tree.path("src/dir"), tree.path("src/moved-away"));
        tree.symlink("src/dir", tree.path("outside"));
        return PromptAnswer{Policy::Replace, false};
    });
    run.run({tree.path("src/dir/item"), tree.path("src/c")}, tree.path("dst"), true);
    EXPECT_EQ(tree.read("outside/item/file"), "not yours");
    EXPECT_EQ(tree.read("dst/item/file"), "data");
}

// Killed in the middle of a large file: only a hidden temporary file is left, and the next
// job removes it.
TEST(Crash, KilledMidFileLeavesOnlyATemporaryThatTheNextRunRemoves) {
    TestTree tree;
    const std::string state = tree.mkdir("state");
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    tree.write("big", TestTree::randomBytes(4 * 1024 * 1024, 5));
    tree.mkdir("dst");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HeadlessHost host{HeadlessHost::Threading::Inline};
        auto job = CopyHandler::initWithFiles({tree.path("big")}, host);
        for (;;) {  // until killed
            copyFileData(tree.path("big"), tree.path("dst/big"), *job);
            ::unlink(tree.path("dst/big").c_str());
        }
    }
    bool sawTemporary = false;
    for (int i = 0; i < 200000 && !sawTemporary; ++i) {
        sawTemporary = hasTemporary(tree.listing("dst"));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(sawTemporary) << "no temporary file was seen";
    if (tree.exists("dst/big")) {
        EXPECT_EQ(tree.read("dst/big"), tree.read("big")) << "a partial file under its name";
    }
    InFlightRecord::cleanUpLeftovers();
    EXPECT_FALSE(hasTemporary(tree.listing("dst")));
    EXPECT_TRUE(tree.listing("state/ferrymark").empty());
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace ferrymark
