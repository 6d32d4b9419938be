// A Move removes only what it copied; a copy keeps what the source's items are: links
// between names, extended attributes, and pipes left unopened.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "TestTree.h"
#include "TransferRun.h"

namespace ferrymark {
namespace {

using test::TestTree;
using test::TransferRun;
namespace fs = std::filesystem;

ino_t inode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Items put into a source folder after it was copied, while the Move runs, are kept with
// their folders: whether a folder with files of its own or a lone file.
TEST(MoveIdentity, ItemsMovedIntoACopiedFolderMeanwhileAreKept) {
    TestTree tree;
    tree.write("src/X/copied.txt", "copied");
    tree.write("src/X/sub/also.txt", "also");
    tree.write("src/c", "new c");
    tree.write("dst/c", "old c");
    for (const char* name : {"one", "two", "three"}) {
        tree.write(std::string("old/folder/") + name, name);
    }
    tree.write("old/lone", "lone");
    TransferRun run;
    // The conflict prompt comes after X was copied and before anything is removed.
    run.host.setPromptHandler([&](const Prompt&) {
        fs::rename(tree.path("old/folder"), tree.path("src/X/folder"));
        fs::rename(tree.path("old/lone"), tree.path("src/X/sub/lone"));
        return PromptAnswer{Policy::Replace, false};
    });
    run.run({tree.path("src/X"), tree.path("src/c")}, tree.path("dst"), true);
    EXPECT_EQ(tree.listing("src"),
              (std::vector<std::string>{"X/", "X/folder/", "X/folder/one", "X/folder/three",
                                        "X/folder/two", "X/sub/", "X/sub/lone"}));
    EXPECT_EQ(tree.read("src/X/folder/two"), "two");
    EXPECT_EQ(tree.read("dst/X/copied.txt"), "copied");
    EXPECT_TRUE(run.job->report().empty());
}

// With links followed, a Move takes the links themselves away, also those that point at a
// file the same Move removes: whichever of the two the walk meets first.
TEST(MoveIdentity, LinksToFilesOfTheSameMoveGoWithIt) {
    TestTree tree;
    tree.write("src/t/file", "content");
    for (const char* name : {"a-link", "z-link"}) {
        ASSERT_EQ(::symlink("file", tree.path(std::string("src/t/") + name).c_str()), 0);
    }
    tree.mkdir("dst");
    TransferRun run;
    run.run({tree.path("src/t")}, tree.path("dst"), true);
    EXPECT_TRUE(run.job->report().empty());
    EXPECT_FALSE(tree.exists("src/t"));
    EXPECT_EQ(tree.read("dst/t/a-link"), "content");
    EXPECT_EQ(tree.read("dst/t/z-link"), "content");
}

// Names of one file within a transfer stay names of one file, where the target allows it;
// a Move of such a tree removes all of them and reports nothing.
TEST(MoveIdentity, HardLinksStayLinksAndAMoveTakesThemAll) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        TestTree tree;
        tree.write("src/t/a", "shared");
        tree.mkdir("src/t/sub");
        ASSERT_EQ(::link(tree.path("src/t/a").c_str(), tree.path("src/t/sub/b").c_str()), 0);
        ASSERT_EQ(::link(tree.path("src/t/a").c_str(), tree.path("src/t/c").c_str()), 0);
        tree.write("src/t/single", "single");
        tree.mkdir("dst");
        TransferRun run;
        run.run({tree.path("src/t")}, tree.path("dst"), move);
        EXPECT_TRUE(run.job->report().empty());
        EXPECT_EQ(inode(tree.path("dst/t/a")), inode(tree.path("dst/t/sub/b")));
        EXPECT_EQ(inode(tree.path("dst/t/a")), inode(tree.path("dst/t/c")));
        EXPECT_NE(inode(tree.path("dst/t/a")), inode(tree.path("src/t/a")));
        EXPECT_EQ(tree.read("dst/t/sub/b"), "shared");
        EXPECT_EQ(tree.exists("src/t"), !move);
    }
}

// A pipe among the sources is passed over without being opened: a program writing to it
// keeps waiting for its real reader instead of losing its message.
TEST(MoveIdentity, APipeIsNeverOpened) {
    TestTree tree;
    tree.write("src/file", "file");
    ASSERT_EQ(::mkfifo(tree.path("src/pipe").c_str(), 0644), 0);
    tree.symlink("src/link-to-pipe", tree.path("src/pipe"));
    tree.mkdir("dst");
    std::atomic<bool> writerOpened{false};
    std::thread writer([&] {
        const int fd = ::open(tree.path("src/pipe").c_str(), O_WRONLY | O_CLOEXEC);
        writerOpened = true;
        if (fd >= 0) {
            ::close(fd);
        }
    });
    for (const std::vector<std::string>& sources :
         {std::vector<std::string>{tree.path("src")},
          std::vector<std::string>{tree.path("src/pipe"), tree.path("src/link-to-pipe")}}) {
        fs::remove_all(tree.path("dst"));
        tree.mkdir("dst");
        TransferRun run;
        run.run(sources, tree.path("dst"));
        EXPECT_EQ(run.job->report().count(NotTransferredReason::SpecialFile), 2);
    }
    EXPECT_FALSE(writerOpened) << "the pipe was opened for reading";
    // Let the writer go.
    const int reader = ::open(tree.path("src/pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    ::close(reader);
}

std::string attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t size = ::lgetxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? std::string() : std::string(value, static_cast<std::size_t>(size));
}

// A file capability: version 2, effective, CAP_NET_RAW permitted.
const unsigned char kCapability[20] = {0x01, 0, 0, 0x02, 0, 0x20, 0, 0, 0, 0,
                                       0,    0, 0, 0,    0, 0,    0, 0, 0, 0};

// The user's attributes of files and folders travel with them, and so do file capabilities
// for a privileged job.
TEST(MoveIdentity, ExtendedAttributesAreKept) {
    TestTree tree;
    const std::string file = tree.write("src/d/tool", "binary");
    const std::string folder = tree.path("src/d");
    ASSERT_EQ(::setxattr(file.c_str(), "user.origin", "https://example.org", 19, 0), 0);
    ASSERT_EQ(::setxattr(folder.c_str(), "user.tag", "red", 3, 0), 0);
    const bool privileged = ::geteuid() == 0 && ::setxattr(file.c_str(), "security.capability",
                                                           kCapability, sizeof kCapability, 0) == 0;
    tree.mkdir("dst");
    TransferRun run;
    run.run({folder}, tree.path("dst"), true);
    EXPECT_EQ(attribute(tree.path("dst/d/tool"), "user.origin"), "https://example.org");
    EXPECT_EQ(attribute(tree.path("dst/d"), "user.tag"), "red");
    if (privileged) {
        EXPECT_EQ(attribute(tree.path("dst/d/tool"), "security.capability"),
                  std::string(reinterpret_cast<const char*>(kCapability), sizeof kCapability));
    }
    EXPECT_FALSE(tree.exists("src/d"));
}

// Where the target's file system holds no such attributes, the log says what was lost.
TEST(MoveIdentity, AttributesATargetCanNotHoldAreNamed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a file system without extended attributes";
    }
    TestTree tree;
    const std::string file = tree.write("src/tagged", "tagged");
    ASSERT_EQ(::setxattr(file.c_str(), "user.tag", "red", 3, 0), 0);
    const std::string target = tree.mkdir("ram");
    if (::mount("ramfs", target.c_str(), "ramfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "ramfs can not be mounted";
    }
    TransferRun run;
    run.run({file}, target);
    const bool copied = tree.read("ram/tagged") == "tagged";
    ::umount(target.c_str());
    EXPECT_TRUE(copied);
    EXPECT_TRUE(run.logged("user.tag not kept"));
}

}  // namespace
}  // namespace ferrymark
