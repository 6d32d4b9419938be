// Copies of trees as real trees are: links kept or followed, owners, files that change while
// they are read.
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "SmallDisk.h"
#include "TestTree.h"
#include "TransferRun.h"
#include "UnprivilegedChild.h"

namespace ferrymark {
namespace {

using Reason = NotTransferredReason;

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string linkText(const std::string& path) {
    char text[4096];
    const ssize_t size = ::readlink(path.c_str(), text, sizeof text);
    return size < 0 ? std::string() : std::string(text, static_cast<std::size_t>(size));
}

void setLinkTime(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::vector<NotTransferredItem> entriesFor(const CopyHandler& job, Reason reason) {
    std::vector<NotTransferredItem> out;
    for (const auto& item : job.report().entries()) {
        if (item.reason == reason) {
            out.push_back(item);
        }
    }
    return out;
}

// A link whose target does not exist is named as such, with its target, wherever it is met.
TEST(FaithfulCopyTest, ADanglingLinkIsListedWithItsTarget) {
    struct Case {
        const char* label;
        bool insideAFolder;
    };
    for (const Case c : {Case{"inside a folder", true}, Case{"given as a source", false}}) {
        SCOPED_TRACE(c.label);
        test::TestTree tree;
        const std::string link = tree.symlink("src/gone", "../no/such/target");
        tree.write("src/kept", "data");
        tree.mkdir("dst");
        test::TransferRun run;
        run.run({c.insideAFolder ? tree.path("src") : link}, tree.path("dst"));
        const auto dangling = entriesFor(*run.job, Reason::DanglingLink);
        ASSERT_EQ(dangling.size(), 1u);
        EXPECT_EQ(dangling[0].path, link);
        EXPECT_EQ(dangling[0].detail, "../no/such/target");
        EXPECT_EQ(run.job->report().total(), 1);
        EXPECT_STREQ(TransferReport::reasonText(Reason::DanglingLink),
                     "link whose target does not exist");
        EXPECT_EQ(run.job->remainingItems(), 0);
    }
}

// A file written in place while it is copied, its modification time put back (as tag
// editors and databases do): the copy is never parts of two versions.
TEST(FaithfulCopyTest, AFileRewrittenInPlaceIsCopiedAgain) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "Move" : "Copy");
        test::TestTree tree;
        const std::string dst = tree.mkdir("dst");
        test::SmallDisk disk(dst, "size=1m");
        if (!disk.unavailable().empty()) {
            GTEST_SKIP() << disk.unavailable();
        }
        const std::string oldBytes(300 * 1024, 'o');
        const std::string newBytes(300 * 1024, 'n');
        const std::string src = tree.write("src/song", oldBytes);
        const struct stat original = statOf(src);
        tree.write("dst/filler", std::string(900 * 1024, 'f'));
        test::TransferRun run;
        int prompts = 0;
        run.host.setPromptHandler([&](const Prompt& prompt) {
            EXPECT_EQ(prompt.kind, PromptKind::DiskFull);
            if (prompts++ == 0) {
                // Mid-copy: the file is written over in place, its time put back, and room
                // is made.
                const int fd = ::open(src.c_str(), O_WRONLY);
                EXPECT_EQ(::pwrite(fd, newBytes.data(), newBytes.size(), 0),
                          static_cast<ssize_t>(newBytes.size()));
                const struct timespec times[2] = {original.st_atim, original.st_mtim};
                EXPECT_EQ(::futimens(fd, times), 0);
                ::close(fd);
                ::unlink(tree.path("dst/filler").c_str());
            }
            return PromptAnswer{0, false};
        });
        run.run({src}, dst, move);
        EXPECT_EQ(prompts, 1);
        ASSERT_TRUE(tree.exists("dst/song"));
        EXPECT_TRUE(tree.read("dst/song") == newBytes) << "the copy holds parts of two versions";
        EXPECT_EQ(run.job->dataProcessed(), run.job->totalData());
        EXPECT_EQ(run.job->remainingItems(), 0);
        if (!move) {
            EXPECT_TRUE(run.job->report().empty());
        } else if (tree.exists("src/song")) {
            // A Move keeps a source that changed after it began, and says so.
            EXPECT_EQ(entriesFor(*run.job, Reason::KeptByMove).size(), 1u);
        }
    }
}

// Kept as links: made anew with the same target text and their own times, one item of no
// data each; a Move takes them away once their copies are made.
TEST(FaithfulCopyTest, KeptLinksAreMadeAnewAsLinks) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "Move" : "Copy");
        test::TestTree tree;
        tree.write("src/file", "12345");
        tree.write("src/sub/inner", "123");
        tree.write("outside/big", std::string(10000, 'b'));
        struct Link {
            const char* name;
            std::string target;
        };
        const std::vector<Link> links = {
            {"src/relative", "file"},
            {"src/absolute", tree.path("outside/big")},
            {"src/dangling", "nowhere/at/all"},
            {"src/to-folder-inside", "sub"},
            {"src/to-folder-outside", tree.path("outside")},
            {"src/sub/back", ".."},
        };
        for (const auto& link : links) {
            setLinkTime(tree.symlink(link.name, link.target), 1'000'000'000);
        }
        tree.mkdir("dst");
        test::TransferRun run;
        run.prepare({tree.path("src")}).setKeepLinks(true);
        run.run(tree.path("dst"), move);
        for (const auto& link : links) {
            SCOPED_TRACE(link.name);
            const std::string copy = tree.path(std::string("dst/") + link.name);
            const struct stat st = statOf(copy);
            EXPECT_TRUE(S_ISLNK(st.st_mode));
            EXPECT_EQ(linkText(copy), link.target);
            EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
        }
        EXPECT_TRUE(run.job->report().empty());
        EXPECT_EQ(run.job->totalItems(), 2 + static_cast<std::int64_t>(links.size()));
        EXPECT_EQ(run.job->totalData(), 5 + 3);
        EXPECT_EQ(run.job->remainingItems(), 0);
        EXPECT_EQ(run.job->dataProcessed(), 5 + 3);
        EXPECT_EQ(tree.exists("src"), !move);
        EXPECT_EQ(tree.read("outside/big").size(), 10000u);
    }
}

// A link given as a source is kept as a link too, and a Move removes the link alone.
TEST(FaithfulCopyTest, ALinkGivenAsASourceIsKeptAsALink) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "Move" : "Copy");
        test::TestTree tree;
        tree.write("data/set", "numbers");
        const std::string link = tree.symlink("project/data", tree.path("data"));
        tree.mkdir("dst");
        test::TransferRun run;
        run.prepare({link}).setKeepLinks(true);
        run.run(tree.path("dst"), move);
        EXPECT_TRUE(S_ISLNK(statOf(tree.path("dst/data")).st_mode));
        EXPECT_EQ(linkText(tree.path("dst/data")), tree.path("data"));
        EXPECT_EQ(tree.exists("project/data"), !move);
        EXPECT_EQ(tree.read("data/set"), "numbers");
        EXPECT_EQ(run.job->totalItems(), 1);
        EXPECT_EQ(run.job->remainingItems(), 0);
    }
}

// At a link's name the conflicts are those of a file: asked about as one, and answered the
// same way, whatever stands there.
TEST(FaithfulCopyTest, AConflictAtALinksNameIsAFileConflict) {
    struct Case {
        const char* label;
        bool folderThere;
        ConflictPolicy answer;
        const char* copyName;
    };
    for (const Case c : {Case{"replace a file", false, Policy::Replace, "link"},
                         Case{"replace a folder", true, Policy::Replace, "link"},
                         Case{"keep both", false, Policy::CopyWithNewName, "link copy"}}) {
        SCOPED_TRACE(c.label);
        test::TestTree tree;
        const std::string link = tree.symlink("src/link", "target-text");
        if (c.folderThere) {
            tree.write("dst/link/old", "old");
        } else {
            tree.write("dst/link", "old");
        }
        test::TransferRun run;
        run.host.addAnswer(PromptKind::FileConflict, PromptAnswer{c.answer, false});
        run.prepare({link}).setKeepLinks(true);
        run.run(tree.path("dst"));
        ASSERT_EQ(run.host.prompts().size(), 1u);
        EXPECT_EQ(run.host.prompts()[0].kind, PromptKind::FileConflict);
        EXPECT_EQ(linkText(tree.path(std::string("dst/") + c.copyName)), "target-text");
        EXPECT_TRUE(run.job->report().empty());
    }
}

// As root, owner and group stay for files, folders and links, and with them the set-id
// bits; a Move keeps them as well.
TEST(FaithfulCopyTest, RootKeepsOwnerGroupAndSetIdBits) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give items to another owner";
    }
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "Move" : "Copy");
        test::TestTree tree;
        const std::string tool = tree.write("src/tool", "binary", 0755);
        const std::string folder = tree.mkdir("src/shared", 02775);
        const std::string inner = tree.write("src/shared/conf", "x", 0640);
        const std::string link = tree.symlink("src/link", "tool");
        ASSERT_EQ(::chown(tool.c_str(), 1234, 5678), 0);
        ASSERT_EQ(::chmod(tool.c_str(), 06755), 0);
        ASSERT_EQ(::chown(folder.c_str(), 1235, 5679), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
        ASSERT_EQ(::chown(inner.c_str(), 0, 5680), 0);
        ASSERT_EQ(::lchown(link.c_str(), 1236, 5681), 0);
        tree.mkdir("dst");
        for (const bool keepLinks : {false, true}) {
            SCOPED_TRACE(keepLinks ? "links kept" : "links followed");
            const std::string to = tree.mkdir(keepLinks ? "dst/kept" : "dst/followed");
            test::TransferRun run;
            run.prepare({tree.path("src")}).setKeepLinks(keepLinks);
            run.run(to, move && keepLinks);
            struct Expected {
                const char* name;
                uid_t uid;
                gid_t gid;
                mode_t mode;
            };
            for (const Expected e :
                 {Expected{"tool", 1234, 5678, 06755}, Expected{"shared", 1235, 5679, 02775},
                  Expected{"shared/conf", 0, 5680, 0640}}) {
                SCOPED_TRACE(e.name);
                const struct stat st = statOf(to + "/src/" + e.name);
                EXPECT_EQ(st.st_uid, e.uid);
                EXPECT_EQ(st.st_gid, e.gid);
                EXPECT_EQ(st.st_mode & 07777, e.mode);
            }
            const struct stat linked = statOf(to + "/src/link");
            if (keepLinks) {
                EXPECT_TRUE(S_ISLNK(linked.st_mode));
                EXPECT_EQ(linked.st_uid, 1236u);
                EXPECT_EQ(linked.st_gid, 5681u);
            } else {
                EXPECT_EQ(linked.st_uid, 1234u);  // what it points to, with its owner
                EXPECT_EQ(linked.st_mode & 07777, 06755u);
            }
            EXPECT_TRUE(run.job->report().empty());
        }
    }
}

// A user keeps a group it belongs to; the set-id bits go wherever owner or group could not
// be kept, so that no copy grants another's rights.
TEST(FaithfulCopyTest, AUserKeepsItsOwnGroupsAndSetIdBitsOnlyWithThem) {
    const std::string why = test::UnprivilegedChild::unavailableReason();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    constexpr gid_t kMember = 4321;
    constexpr gid_t kStranger = 4322;
    constexpr uid_t kUser = test::UnprivilegedChild::kUser;
    struct Case {
        const char* name;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        gid_t expectedGid;
        mode_t expectedMode;
    };
    const Case cases[] = {
        {"member-group", kUser, kMember, 02755, kMember, 02755},
        {"own-set-user-id", kUser, kMember, 04755, kMember, 04755},
        {"stranger-group", kUser, kStranger, 06755, test::UnprivilegedChild::kGroup, 0755},
        {"root-owned", 0, kMember, 04755, test::UnprivilegedChild::kGroup, 0755},
    };
    test::TestTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    std::vector<std::string> sources;
    for (const Case& c : cases) {
        const std::string path = tree.write(std::string("src/") + c.name, "data");
        ASSERT_EQ(::chown(path.c_str(), c.uid, c.gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        sources.push_back(path);
    }
    const std::string dst = tree.mkdir("dst");
    ASSERT_EQ(::chown(dst.c_str(), kUser, test::UnprivilegedChild::kGroup), 0);
    const int status = test::UnprivilegedChild::run(
        [&] {
            test::TransferRun run(HeadlessHost::Threading::Inline);
            run.run(sources, dst);
            return run.job->report().empty() ? 0 : 1;
        },
        {kMember});
    EXPECT_EQ(status, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const struct stat st = statOf(dst + "/" + c.name);
        EXPECT_EQ(st.st_uid, kUser);
        EXPECT_EQ(st.st_gid, c.expectedGid);
        EXPECT_EQ(st.st_mode & 07777, c.expectedMode);
    }
}

// Writes text to a file of /proc; false when it can not.
bool writeProc(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool done =
        fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return done;
}

// Root that can not give a copy its owner (a file system without owners; here a user
// namespace in which the owner has no number) says so, as it says an access list it could
// not keep; the data is copied all the same.
TEST(FaithfulCopyTest, AnOwnerRootCanNotKeepIsSaid) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root expects to keep another's ownership";
    }
    test::TestTree tree;
    const std::string src = tree.write("src/conf", "setting");
    ASSERT_EQ(::chown(src.c_str(), 1234, 5678), 0);
    const std::string dst = tree.mkdir("dst");
    const pid_t child = ::fork();
    if (child == 0) {
        // Root of a namespace that knows only itself: any other owner is refused.
        if (::unshare(CLONE_NEWUSER) != 0 || !writeProc("/proc/self/setgroups", "deny") ||
            !writeProc("/proc/self/uid_map", "0 0 1") ||
            !writeProc("/proc/self/gid_map", "0 0 1")) {
            ::_exit(77);
        }
        test::TransferRun run(HeadlessHost::Threading::Inline);
        run.run({src}, dst);
        const bool said = run.logged("without all its attributes: owner not kept");
        ::_exit(said && tree.read("dst/conf") == "setting" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "can not make a user namespace here";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace ferrymark
