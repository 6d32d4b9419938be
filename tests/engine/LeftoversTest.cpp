// The clean-up of a dead job's temporary items: it removes only what a gone job left, and
// nothing another process or another user can steer it to.
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "TestTree.h"
#include "TransferRun.h"
#include "UnprivilegedChild.h"
#include "engine/FileCopy.h"
#include "engine/InFlightRecord.h"

namespace ferrymark {
namespace {

using test::TestTree;
using test::TransferRun;
namespace fs = std::filesystem;

// The temporary names directly in folder.
std::vector<std::string> temporaries(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (InFlightRecord::isTemporaryName(entry.path().filename().string())) {
            out.push_back(entry.path().filename().string());
        }
    }
    return out;
}

class StateHome {
  public:
    explicit StateHome(const std::string& folder) { ::setenv("XDG_STATE_HOME", folder.c_str(), 1); }
    ~StateHome() { ::unsetenv("XDG_STATE_HOME"); }
};

// A job killed while it writes a file into folder: its record and a temporary file stay.
// The temporary's name, empty when none was seen.
std::string killedMidFile(TestTree& tree, const std::string& folder, pid_t& pid) {
    const std::string big =
        tree.write("big-" + std::to_string(::getpid()), TestTree::randomBytes(8 * 1024 * 1024, 3));
    pid = ::fork();
    if (pid == 0) {
        HeadlessHost host{HeadlessHost::Threading::Inline};
        auto job = CopyHandler::initWithFiles({big}, host);
        for (;;) {
            copyFileData(big, folder + "/copy", *job);
            ::unlink((folder + "/copy").c_str());
        }
    }
    std::vector<std::string> seen;
    for (int i = 0; i < 200000 && seen.empty(); ++i) {
        seen = temporaries(folder);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    seen = temporaries(folder);
    return seen.empty() ? std::string() : seen.front();
}

// A dead job's record leads the clean-up to its own leftovers only.
struct LeftoverCase {
    const char* what;
    const char* folder;  // where the dead job wrote
    // Changes the scene after the job died; returns the path that must survive, if any.
    std::function<std::string(TestTree&, const std::string& temporary, pid_t pid)> change;
    bool leftoverRemoved;  // whether the dead job's own temporary goes
};

class DeadJobLeftovers : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(DeadJobLeftovers, OnlyTheNamesTheRecordGivesGo) {
    const LeftoverCase& c = GetParam();
    TestTree tree;
    StateHome home(tree.mkdir("state"));
    const std::string folder = tree.mkdir(c.folder);
    pid_t pid = 0;
    const std::string temporary = killedMidFile(tree, folder, pid);
    ASSERT_FALSE(temporary.empty()) << "no temporary file was seen";
    const std::string kept = c.change(tree, temporary, pid);
    InFlightRecord::cleanUpLeftovers();
    EXPECT_EQ(tree.exists(std::string(c.folder) + "/" + temporary), !c.leftoverRemoved);
    if (!kept.empty()) {
        EXPECT_TRUE(tree.exists(kept)) << kept << " was removed";
    }
    EXPECT_TRUE(tree.listing("state/ferrymark").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeadJobLeftovers,
    ::testing::Values(
        LeftoverCase{"PlainLeftover", "dst",
                     [](TestTree&, const std::string&, pid_t) { return std::string(); }, true},
        // A user's own file that only looks like a leftover of that process.
        LeftoverCase{"UserFileNamedLikeALeftover", "dst",
                     [](TestTree& t, const std::string&, pid_t pid) {
                         const std::string name =
                             "dst/.ferrymark-" + std::to_string(pid) + ".notes.part";
                         t.write(name, "mine");
                         return name;
                     },
                     true},
        // The recorded folder is now a link to another folder with an item of that name.
        LeftoverCase{"RecordedFolderSwappedForALink", "dst",
                     [](TestTree& t, const std::string& temporary, pid_t) {
                         fs::rename(t.path("dst"), t.path("dst-moved"));
                         t.write("elsewhere/" + temporary, "not a leftover");
                         t.symlink("dst", t.path("elsewhere"));
                         return "elsewhere/" + temporary;
                     },
                     false},
        LeftoverCase{"FolderNameWithANewline", "dst\nsecond line",
                     [](TestTree&, const std::string&, pid_t) { return std::string(); }, true}),
    [](const auto& info) { return std::string(info.param.what); });

// A second Ferrymark process that can not see the first one's pid (another pid
// namespace: a container or sandbox sharing the home folder) leaves its work alone.
TEST(LeftoversCleanUp, AJobInAnotherPidNamespaceKeepsItsTemporaryItems) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a pid namespace of its own";
    }
    TestTree tree;
    StateHome home(tree.mkdir("state"));
    for (int i = 0; i < 200; ++i) {
        tree.write("src/tree/f" + std::to_string(i), TestTree::randomBytes(32 * 1024, i));
    }
    tree.write("dst/tree/old", "replaced");
    tree.write("other/small", "small");
    TransferRun run;
    auto& job = run.prepare({tree.path("src/tree")});
    job.setDirNoPrompt(Policy::Replace);
    std::thread worker([&] { job.moveFilesTo(tree.path("dst")); });
    // Paused while its temporary folder is being filled.
    bool paused = false;
    for (int i = 0; i < 2000000 && !paused; ++i) {
        if (!temporaries(tree.path("dst")).empty()) {
            job.togglePause();
            paused = true;
        }
    }
    ASSERT_TRUE(paused) << "the replacing copy was never seen";
    const auto before = temporaries(tree.path("dst"));
    const std::string command = "unshare --pid --fork --mount-proc " FERRYMARK_FM_TRANSFER " '" +
                                tree.path("other/small") + "' '" + tree.mkdir("elsewhere") +
                                "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    const auto after = temporaries(tree.path("dst"));
    job.togglePause();
    worker.join();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !tree.exists("elsewhere/small")) {
        GTEST_SKIP() << "unshare --pid --fork --mount-proc did not run: " << command;
    }
    EXPECT_EQ(after, before) << "the other process removed the running job's temporary items";
    EXPECT_TRUE(job.report().empty());
    EXPECT_EQ(tree.listing("dst/tree").size(), 200u);
    EXPECT_FALSE(tree.exists("src/tree"));
}

// A job's copy that is removed before the job ends is not reported as transferred, and a
// Move keeps its original.
TEST(LeftoversCleanUp, ACopyRemovedBeforeTheEndKeepsItsSource) {
    TestTree tree;
    tree.write("src/a", "only copy of a");
    tree.write("src/c", "new c");
    tree.write("dst/c", "old c");
    TransferRun run;
    run.host.setPromptHandler([&](const Prompt&) {
        fs::remove(tree.path("dst/a"));  // as a clean-up gone wrong would
        return PromptAnswer{Policy::Replace, false};
    });
    run.run({tree.path("src/a"), tree.path("src/c")}, tree.path("dst"), true);
    EXPECT_EQ(tree.read("src/a"), "only copy of a");
    ASSERT_EQ(run.job->report().total(), 2);  // not copied, and kept by the Move
    EXPECT_EQ(run.job->report().entries()[0].path, tree.path("src/a"));
    EXPECT_FALSE(tree.exists("src/c"));
}

// Puts another file with text under the name rel, given the old file's inode number where
// the file system hands a freed number out again (ext4 and xfs do, at once); true when it
// was.
bool replaceKeepingInodeNumber(TestTree& tree, const std::string& rel, const std::string& text) {
    const std::string path = tree.path(rel);
    struct stat old {};
    if (::lstat(path.c_str(), &old) != 0) {
        return false;
    }
    fs::remove(path);
    std::vector<std::string> spares;
    bool reused = false;
    for (int i = 0; i < 64 && !reused; ++i) {
        spares.push_back(path + ".spare" + std::to_string(i));
        std::ofstream(spares.back()) << text;
        struct stat st {};
        reused = ::lstat(spares.back().c_str(), &st) == 0 && st.st_ino == old.st_ino;
    }
    if (reused) {
        fs::rename(spares.back(), path);
        spares.pop_back();
    } else {
        std::ofstream(path) << text;
    }
    for (const std::string& spare : spares) {
        fs::remove(spare);
    }
    return reused;
}

// A copy removed, or replaced by another file under its name, keeps its source, in a
// folder of a few copies and of many; the replacement has the copy's inode number where
// the file system gives one out again.
TEST(LeftoversCleanUp, CopiesGoneFromAFolderKeepTheirSources) {
    bool numberGivenAgain = true;
    for (const int files : {3, 40}) {
        SCOPED_TRACE(files);
        TestTree tree;
        for (int i = 0; i < files; ++i) {
            tree.write("src/f" + std::to_string(i), "only copy " + std::to_string(i));
        }
        tree.write("src/c", "new c");
        tree.write("dst/c", "old c");
        TransferRun run;
        run.host.setPromptHandler([&](const Prompt&) {
            fs::remove(tree.path("dst/f1"));
            numberGivenAgain =
                replaceKeepingInodeNumber(tree, "dst/f2", "only copy 2") && numberGivenAgain;
            return PromptAnswer{Policy::Replace, false};
        });
        std::vector<std::string> sources;
        for (int i = 0; i < files; ++i) {
            sources.push_back(tree.path("src/f" + std::to_string(i)));
        }
        sources.push_back(tree.path("src/c"));
        run.run(sources, tree.path("dst"), true);
        EXPECT_EQ(tree.read("src/f1"), "only copy 1");
        EXPECT_EQ(tree.read("src/f2"), "only copy 2");
        EXPECT_FALSE(tree.exists("src/f0"));
        EXPECT_FALSE(tree.exists("src/c"));
        EXPECT_EQ(run.job->report().total(), 4);  // two not copied, and kept by the Move
    }
    if (!numberGivenAgain) {
        GTEST_SKIP() << "the file system of " << fs::temp_directory_path()
                     << " never gave a removed file's inode number to a new one, so a "
                        "replacement under the same number was not tried";
    }
}

// Bits a child reports about the missing-home attacks.
enum AttackResult : int {
    kLinkFollowed = 1,
    kForgedRecordObeyed = 2,
    kHung = 4,
    kWroteIntoSharedFolder = 8,
    kSetUpFailed = 64,
};

int attackWithoutHome() {
    // A private /tmp and home, so that the real ones are never touched.
    struct passwd* root = ::getpwuid(0);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0 || !root ||
        ::mount("tmpfs", root->pw_dir, "tmpfs", 0, "mode=0700") != 0) {
        return kSetUpFailed;
    }
    ::unsetenv("HOME");
    ::unsetenv("XDG_STATE_HOME");
    std::ofstream("/tmp/root-only") << "secret";
    ::chmod("/tmp/root-only", 0600);
    ::mkdir("/tmp/root-folder", 0700);
    std::ofstream("/tmp/root-folder/.ferrymark-1.x.part") << "root's own";
    ::mkdir("/tmp/dst", 0755);
    std::ofstream("/tmp/src") << "data";
    // The other user prepares the folder a job without a home once used.
    const pid_t self = ::getpid();
    std::string start;
    {
        std::ifstream stat("/proc/self/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        for (int i = 3; i <= 22 && (fields >> start); ++i) {
        }
    }
    const int planted = test::UnprivilegedChild::run([&] {
        const std::string state = "/tmp/.local/state/ferrymark";
        for (const char* folder : {"/tmp/.local", "/tmp/.local/state", state.c_str()}) {
            if (::mkdir(folder, 0777) != 0) {
                return 1;
            }
            ::chmod(folder, 0777);
        }
        // The name of this process's next record, a link to a root-only file.
        if (::symlink("/tmp/root-only",
                      (state + "/" + std::to_string(self) + "-" + start + "-0.inflight").c_str()) !=
            0) {
            return 2;
        }
        std::ofstream(state + "/1-0-0.inflight") << "/tmp/root-folder\n";
        return ::mkfifo((state + "/2-0-0.inflight").c_str(), 0666) == 0 ? 0 : 3;
    });
    if (planted != 0) {
        return kSetUpFailed;
    }
    int result = 0;
    std::thread hang([&] {
        TransferRun run;
        run.run(std::vector<std::string>{"/tmp/src"}, "/tmp/dst");
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists("/tmp/dst/src") && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!fs::exists("/tmp/dst/src")) {
        return kHung;  // the thread is stuck in an open: end the whole process
    }
    hang.join();
    std::ifstream secret("/tmp/root-only");
    std::string text;
    std::getline(secret, text);
    if (text != "secret") {
        result |= kLinkFollowed;
    }
    if (!fs::exists("/tmp/root-folder/.ferrymark-1.x.part")) {
        result |= kForgedRecordObeyed;
    }
    for (const auto& entry : fs::directory_iterator("/tmp/.local/state/ferrymark")) {
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) == 0 && st.st_uid == 0) {
            result |= kWroteIntoSharedFolder;
        }
    }
    return result;
}

// Root without HOME or XDG_STATE_HOME (a service, cron, `env -i`): another local user who
// made the records' folder first can not make root's job write or remove where they choose,
// nor hang it.
TEST(LeftoversCleanUp, RecordsWithoutAHomeCanNotBeSteeredByAnotherUser) {
    if (const std::string reason = test::UnprivilegedChild::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(attackWithoutHome());
    }
    int status = 0;
    for (int i = 0; i < 600 && ::waitpid(child, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (::waitpid(child, &status, WNOHANG) == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "the job hung";
    }
    ASSERT_TRUE(WIFEXITED(status));
    const int result = WEXITSTATUS(status);
    if (result == kSetUpFailed) {
        GTEST_SKIP() << "a private mount namespace with its own /tmp could not be made";
    }
    EXPECT_FALSE(result & kHung) << "a pipe planted as a record hung the job";
    EXPECT_FALSE(result & kLinkFollowed) << "the job wrote its record through a planted link";
    EXPECT_FALSE(result & kForgedRecordObeyed) << "a forged record made the job remove a file";
    EXPECT_FALSE(result & kWroteIntoSharedFolder) << "a record went into another user's folder";
}

// With no home at all, a job keeps no record, cleans up nothing, and says so once.
TEST(LeftoversCleanUp, WithoutAnyHomeNoRecordIsKeptAndTheLogSaysSoOnce) {
    if (const std::string reason = test::UnprivilegedChild::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    TestTree tree;
    tree.write("src/a", "a");
    tree.mkdir("dst1", 0777);
    tree.mkdir("dst2", 0777);
    ::chmod(tree.root().c_str(), 0755);
    const int result = test::UnprivilegedChild::run([&] {
        // nobody's home in the password database does not exist.
        ::unsetenv("HOME");
        ::unsetenv("XDG_STATE_HOME");
        int notices = 0;
        for (const char* target : {"dst1", "dst2"}) {
            TransferRun run;
            run.run({tree.path("src/a")}, tree.path(target));
            for (const auto& line : run.host.logLines()) {
                notices += line.find("No record of unfinished copies") != std::string::npos;
            }
            if (!tree.exists(std::string(target) + "/a")) {
                return 10;
            }
        }
        return notices;
    });
    ASSERT_NE(result, 254) << "could not drop privileges";
    EXPECT_EQ(result, 1) << "notices logged over two jobs";
    EXPECT_FALSE(tree.exists("dst1/.local") || tree.exists("dst2/.local"));
}

int shell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) {
            out += buffer;
        }
        ::pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

// The record of what is in flight is on the disk before the first temporary item is made:
// an image of the state folder's disk taken at that moment, as a power cut leaves it (only
// what was written to the device, the journal replayed when it is mounted), holds it. The
// file system commits on its own only every ten minutes, so nothing else puts it there.
TEST(LeftoversCleanUp, TheRecordOfAJobIsOnTheDiskBeforeItsFirstTemporary) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for loop devices and mounts";
    }
    TestTree tree;
    const std::string image = tree.path("state.img");
    const std::string cut = tree.path("cut.img");
    const std::string state = tree.mkdir("state");
    const std::string after = tree.mkdir("after");
    if (shell("truncate -s 64M " + image + " && mkfs.ext4 -q -F " + image) != 0) {
        GTEST_SKIP() << "mkfs.ext4 is not available";
    }
    const std::string device = shellOutput("losetup -f --show " + image + " 2>/dev/null");
    if (device.empty() || shell("mount -o commit=600 " + device + " " + state) != 0) {
        if (!device.empty()) {
            shell("losetup -d " + device);
        }
        GTEST_SKIP() << "no loop device could be attached and mounted";
    }
    std::string found;
    {
        StateHome home(state);
        tree.write("big", TestTree::randomBytes(16 * 1024 * 1024, 9));
        const std::string dst = tree.mkdir("dst");
        TransferRun run;
        auto& job = run.prepare({tree.path("big")});
        std::thread worker([&] { job.copyFilesTo(dst); });
        bool paused = false;
        for (int i = 0; i < 2000000 && !paused; ++i) {
            if (!temporaries(dst).empty()) {
                job.togglePause();
                paused = true;
            }
        }
        // The power cut: the device as it is now.
        const bool copied = shell("cp --sparse=always " + image + " " + cut) == 0;
        if (paused) {
            job.togglePause();
        }
        worker.join();
        shell("umount " + state);
        shell("losetup -d " + device);
        ASSERT_TRUE(paused) << "no temporary file was seen";
        ASSERT_TRUE(copied);
        const std::string second = shellOutput("losetup -f --show " + cut + " 2>/dev/null");
        ASSERT_FALSE(second.empty());
        if (shell("mount " + second + " " + after) == 0) {
            found = shellOutput("cat " + after + "/ferrymark/*.inflight 2>/dev/null");
            shell("umount " + after);
        }
        shell("losetup -d " + second);
        EXPECT_NE(found.find(dst), std::string::npos)
            << "the record after the cut: \"" << found << "\"";
    }
}

}  // namespace
}  // namespace ferrymark
