#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>

#include "TestTree.h"
#include "app/TransferThreads.h"
#include "app/UIHandler.h"
#include "engine/CopyHandler.h"
#include "platform/IFileManagerBridge.h"
#include "tools/HeadlessHost.h"

namespace ferrymark {
namespace {

TEST(IntoItselfTest, TargetIsTheSourceOrBelowIt) {
    struct Case {
        const char* source;
        const char* target;
        bool inside;
    };
    const Case cases[] = {
        {"/a/b", "/a/b", true},     {"/a/b", "/a/b/c/d", true},   {"/a/b", "/a/bc", false},
        {"/a/b", "/a/bc/d", false}, {"/a/B", "/a/b/c", false},    {"/a/b", "/a", false},
        {"/a/b", "/x/a/b", false},  {"/", "/anything", true},     {"/a/b/", "/a/b/c", true},
        {"/a/b", "/a/b/", true},    {"/a/ü", "/a/ü/x", true},     {"/a/b c", "/a/b", false},
        {"/a//b", "/a//b/c", true}, {"/a/b.d", "/a/b.d/e", true}, {"", "/a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UIHandler::sourcePathLiesInTargetPath(c.source, c.target), c.inside)
            << c.source << " in " << c.target;
    }
}

TEST(IntoItselfTest, ATargetReachedThroughALinkIntoTheSourceIsInside) {
    test::TestTree tree;
    tree.mkdir("src/sub");
    tree.symlink("link", tree.path("src"));
    struct Case {
        std::string source;
        std::string target;
        bool inside;
    };
    const Case cases[] = {
        {tree.path("src"), tree.path("link/sub"), true},
        {tree.path("link"), tree.path("src/sub"), true},
        {tree.path("src/sub"), tree.path("link"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UIHandler::sourcePathLiesInTargetPath(c.source, c.target), c.inside)
            << c.source << " in " << c.target;
    }
}

class FakeBridge final : public IFileManagerBridge {
  public:
    bool isFileManagerFrontmost() override { return frontmost; }
    InsertionLocation insertionLocation() override { return location; }
    bool activateFileManager() override {
        ++activations;
        return true;
    }
    bool frontmost = true;
    InsertionLocation location = InsertionLocation::none("unset");
    int activations = 0;
};

class PasteCommandTest : public ::testing::Test {
  protected:
    PasteCommandTest()
        : context{bridge,
                  host,
                  threads,
                  [this] { return copied; },
                  [this](const Prompt& p) {
                      prompts.push_back(p);
                      return answers.empty() ? PromptAnswer{} : next();
                  },
                  [] { return true; },
                  [this](const std::shared_ptr<CopyHandler>& job) { note("add", job); },
                  [this](const std::shared_ptr<CopyHandler>& job) { note("remove", job); },
                  [this](TransferOutcome outcome) {
                      std::lock_guard guard(lock);
                      events.push_back("ended");
                      outcomes.push_back(std::move(outcome));
                  }} {
        bridge.location = InsertionLocation::at(tree.mkdir("target"));
        context.refuse = [this](PasteRefusal why, const std::string&) { refusals.push_back(why); };
    }

    PromptAnswer next() {
        auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void note(const char* what, const std::shared_ptr<CopyHandler>& job) {
        std::lock_guard guard(lock);
        events.push_back(std::string(what) + " " + job->currentTarget() + " " +
                         std::to_string(job->srcList().size()));
    }
    bool paste(bool move = false) {
        const bool started = UIHandler::performPaste(move, context);
        threads.waitFor(std::chrono::seconds(60));
        return started;
    }

    test::TestTree tree;
    FakeBridge bridge;
    HeadlessHost host;
    TransferThreads threads;
    CopiedFiles copied;
    std::vector<Prompt> prompts;
    std::vector<PromptAnswer> answers;
    std::mutex lock;
    std::vector<std::string> events;
    std::vector<TransferOutcome> outcomes;
    std::vector<PasteRefusal> refusals;
    PasteContext context;
};

TEST_F(PasteCommandTest, NothingHappensWithoutAFileManagerOrFiles) {
    copied.paths = {tree.write("src/a", "a")};
    bridge.frontmost = false;
    EXPECT_FALSE(paste());
    bridge.frontmost = true;
    bridge.location = InsertionLocation::none("Caja does not tell its folder");
    EXPECT_FALSE(paste());
    bridge.location = InsertionLocation::at(tree.path("target"));
    copied.paths.clear();
    EXPECT_FALSE(paste());
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(host.logLines(),
              (std::vector<std::string>{"Paste: no file manager window is in front",
                                        "Paste: Caja does not tell its folder",
                                        "Paste: no copied files on the clipboard"}));
    // Each reason reaches the user, not only the log.
    EXPECT_EQ(refusals,
              (std::vector<PasteRefusal>{PasteRefusal::NoFileManagerInFront,
                                         PasteRefusal::NoLocation, PasteRefusal::NoCopiedFiles}));
}

// A folder handed to the command (a file manager's entry, the command line) is used
// without asking the window in front, with the same clipboard and into-itself rules.
TEST_F(PasteCommandTest, AGivenFolderSkipsTheWindowInFront) {
    copied.paths = {tree.write("src/a", "a"), tree.path("src")};
    answers = {PromptAnswer{0, false}};  // Continue: src is left out
    bridge.frontmost = false;
    tree.mkdir("src/inner");
    const bool started =
        UIHandler::performPasteInto(false, InsertionLocation::at(tree.path("src/inner")), context);
    threads.waitFor(std::chrono::seconds(60));
    EXPECT_TRUE(started);
    EXPECT_EQ(tree.read("src/inner/a"), "a");
    ASSERT_EQ(prompts.size(), 1u);  // src itself would go into its own subfolder
    EXPECT_EQ(bridge.activations, 0) << "no file-manager window was asked for the folder";

    EXPECT_FALSE(UIHandler::performPasteInto(true, InsertionLocation::none("gone"), context));
    copied.paths.clear();
    EXPECT_FALSE(
        UIHandler::performPasteInto(true, InsertionLocation::at(tree.path("target")), context));
    EXPECT_EQ(refusals,
              (std::vector<PasteRefusal>{PasteRefusal::NotAFolder, PasteRefusal::NoCopiedFiles}));
}

TEST_F(PasteCommandTest, CopiesIntoTheFileManagersFolderAndListsTheJobMeanwhile) {
    copied.paths = {tree.write("src/a", "a"), tree.write("src/d/b", "b")};
    copied.paths[1] = tree.path("src/d");
    EXPECT_TRUE(paste());
    EXPECT_EQ(tree.read("target/a"), "a");
    EXPECT_EQ(tree.read("target/d/b"), "b");
    EXPECT_EQ(events, (std::vector<std::string>{"add target 2", "remove target 2", "ended"}));
    EXPECT_GE(bridge.activations, 1);  // the focus goes back to the file manager
    EXPECT_TRUE(tree.exists("src/a"));
}

TEST_F(PasteCommandTest, MoveRemovesTheSources) {
    copied.paths = {tree.write("src/a", "a")};
    EXPECT_TRUE(paste(true));
    EXPECT_EQ(tree.read("target/a"), "a");
    EXPECT_FALSE(tree.exists("src/a"));
}

// A link inside a copied folder is kept as a link only when the user chose so.
TEST_F(PasteCommandTest, LinksInsideFoldersFollowThePreference) {
    struct Case {
        const char* label;
        std::function<bool()> keepLinks;
        bool kept;
    };
    for (const Case& c : {Case{"no preference", {}, false},
                          Case{"copy what they point to", [] { return false; }, false},
                          Case{"keep them as links", [] { return true; }, true}}) {
        SCOPED_TRACE(c.label);
        tree.write("src/file", "data");
        ::symlink("file", tree.path("src/link").c_str());
        copied.paths = {tree.path("src")};
        context.keepLinks = c.keepLinks;
        EXPECT_TRUE(paste());
        struct stat st {};
        ASSERT_EQ(::lstat(tree.path("target/src/link").c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), c.kept);
        EXPECT_EQ(tree.read("target/src/link"), "data");
        std::filesystem::remove_all(tree.path("target/src"));
        std::filesystem::remove_all(tree.path("src"));
    }
}

TEST_F(PasteCommandTest, ItemsThatHoldTheTargetAreLeftOutOrStopThePaste) {
    struct Case {
        std::vector<PromptAnswer> answers;
        bool started;
        std::size_t prompts;
    };
    // Sources: a file, the target's parent folder, another file, the target itself.
    for (const Case& c : {Case{{PromptAnswer{0, false}, PromptAnswer{0, false}}, true, 2},
                          Case{{PromptAnswer{0, true}}, true, 1},
                          Case{{PromptAnswer{kAnswerStop, false}}, false, 1}}) {
        test::TestTree t;
        const auto target = t.mkdir("outer/target");
        bridge.location = InsertionLocation::at(target);
        copied.paths = {t.write("one", "1"), t.path("outer"), t.write("two", "2"), target};
        answers = c.answers;
        prompts.clear();
        EXPECT_EQ(paste(), c.started);
        EXPECT_EQ(prompts.size(), c.prompts);
        EXPECT_EQ(prompts[0].message,
                  "You can’t paste “outer” at this location because you can’t paste an item into "
                  "itself.");
        EXPECT_TRUE(prompts[0].showDontAsk);
        EXPECT_EQ(t.exists("outer/target/one"), c.started);
        EXPECT_EQ(t.exists("outer/target/two"), c.started);
    }
}

TEST_F(PasteCommandTest, EverythingLeftOutStartsNothing) {
    copied.paths = {tree.path("target")};
    EXPECT_FALSE(paste());
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_TRUE(events.empty());
}

// How the job went is copied out on its worker, once it has ended and left the menu.
TEST_F(PasteCommandTest, TheEndedJobIsHandedOnAsACopy) {
    struct Case {
        const char* name;
        bool move;
        PromptAnswer conflict;
    };
    for (const Case& c : {Case{"copy, conflict skipped", false, {Policy::Skip, false}},
                          Case{"move, conflict skipped", true, {Policy::Skip, false}}}) {
        SCOPED_TRACE(c.name);
        test::TestTree t;
        t.write("target/same", "old");
        bridge.location = InsertionLocation::at(t.path("target"));
        copied.paths = {t.write("src/same", "new"), t.write("src/other", "o")};
        answers.clear();
        events.clear();
        outcomes.clear();
        host.addAnswer(PromptKind::FileConflict, c.conflict);
        ASSERT_TRUE(paste(c.move));
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(events.back(), "ended");
        const TransferOutcome& o = outcomes[0];
        EXPECT_EQ(o.targetName, "target");
        EXPECT_EQ(o.move, c.move);
        EXPECT_FALSE(o.stopped);
        EXPECT_EQ(o.transferred, 1);  // "other"; the skipped file is not counted
        EXPECT_EQ(t.read("target/same"), "old");
    }
}

}  // namespace
}  // namespace ferrymark
