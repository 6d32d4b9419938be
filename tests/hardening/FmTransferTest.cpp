// fm-transfer as a user meets it: what its exit status and error stream say about a
// transfer, the names it gives its sources, and how it stops.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FerrymarkVersion.h"
#include "ToolRun.h"

extern char** environ;

namespace ferrymark::test {
namespace {

const std::string kTool = FERRYMARK_FM_TRANSFER;

class Scratch {
  public:
    Scratch() {
        std::string pattern = "/tmp/fm-transfer-test-XXXXXX";
        root_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() { std::system(("rm -rf '" + root_ + "'").c_str()); }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }
    void write(const std::string& relative, const std::string& content) const {
        const std::string folder = path(relative.substr(0, relative.rfind('/') + 1));
        if (!exists(folder.substr(root_.size() + 1))) {
            mkdir(folder.substr(root_.size() + 1));
        }
        std::ofstream(path(relative), std::ios::binary) << content;
    }
    void mkdir(const std::string& relative) const {
        std::system(("mkdir -p '" + path(relative) + "'").c_str());
    }
    bool exists(const std::string& relative) const {
        struct stat st {};
        return ::lstat(path(relative).c_str(), &st) == 0;
    }

  private:
    std::string root_;
};

struct Case {
    const char* label;
    std::function<void(const Scratch&)> setUp;
    // Arguments; "@x" stands for the scratch path of x.
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> inErrors;  // "@x" as above
    std::vector<std::string> notInErrors;
    std::vector<std::string> existAfter;  // relative to the scratch folder
    std::vector<std::string> goneAfter;
};

std::string expand(const std::string& text, const Scratch& s) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '@') {
            std::size_t end = text.find_first_of(" :", i);
            end = end == std::string::npos ? text.size() : end;
            out += s.path(text.substr(i + 1, end - i - 1));
            i = end - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(FmTransferTest, ExitStatusAndErrorStreamTellWhatWasLeftOut) {
    const Case cases[] = {
        {"everything copied",
         [](const Scratch& s) {
             s.write("src/a", "a");
             s.mkdir("dst");
         },
         {"@src/a", "@dst"},
         0,
         {},
         {"not transferred", "stopped"},
         {"dst/a"},
         {}},
        {"stop at a conflict",
         [](const Scratch& s) {
             s.write("src/a", "new");
             s.write("src/b", "new");
             s.write("dst/a", "old");
         },
         {"--move", "--answer", "file-conflict=2", "@src/a", "@src/b", "@dst"},
         1,
         {"fm-transfer: stopped", "@src/a: not transferred: the transfer was stopped"},
         {},
         {"src/a", "src/b", "dst/b"},
         {}},
        {"skipped with apply to all: each item is listed",
         [](const Scratch& s) {
             for (const char* name : {"a", "b", "c"}) {
                 s.write(std::string("src/") + name, "new");
                 s.write(std::string("dst/") + name, "old");
             }
         },
         {"--answer", "file-conflict=4,dontask", "@src/a", "@src/b", "@src/c", "@dst"},
         3,
         {"fm-transfer: 3 not transferred:", "@src/a: skipped at a name conflict",
          "@src/c: skipped at a name conflict"},
         {"stopped"},
         {},
         {}},
        {"a source given with a trailing slash names the folder, not the target",
         [](const Scratch& s) {
             s.write("src/a", "a");
             s.write("dst/src/old", "o");
             s.write("dst/keep", "k");
         },
         {"--answer", "folder-conflict=3", "@src/", "@dst"},
         0,
         {},
         {"not transferred"},
         {"dst/keep", "dst/src/a"},
         {"dst/src/old", "dst/a"}},
        {"and with a trailing dot",
         [](const Scratch& s) {
             s.write("src/a", "a");
             s.write("dst/keep", "k");
         },
         {"@src/.", "@dst"},
         0,
         {},
         {},
         {"dst/keep", "dst/src/a"},
         {"dst/a"}},
        {"a target reached through a link into the source is refused",
         [](const Scratch& s) {
             s.mkdir("src/sub");
             [[maybe_unused]] int r = ::symlink(s.path("src").c_str(), s.path("link").c_str());
         },
         {"@src", "@link/sub"},
         2,
         {"into itself"},
         {},
         {},
         {"src/sub/src"}},
        {"an unknown option is a usage error",
         [](const Scratch&) {},
         {"--frobnicate", "a", "b"},
         2,
         {"usage:"},
         {},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Scratch s;
        c.setUp(s);
        std::vector<std::string> args;
        for (const auto& a : c.args) {
            args.push_back(expand(a, s));
        }
        const ToolRun run = ToolRun::run(kTool, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.summary();
        for (const auto& part : c.inErrors) {
            EXPECT_NE(run.err.find(expand(part, s)), std::string::npos) << expand(part, s) << "\n"
                                                                        << run.summary();
        }
        for (const auto& part : c.notInErrors) {
            EXPECT_EQ(run.err.find(part), std::string::npos) << part << "\n" << run.summary();
        }
        for (const auto& item : c.existAfter) {
            EXPECT_TRUE(s.exists(item)) << item << " is missing\n" << run.summary();
        }
        for (const auto& item : c.goneAfter) {
            EXPECT_FALSE(s.exists(item)) << item << " is there\n" << run.summary();
        }
    }
}

void setModified(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Each conflict prompt is followed by the facts of its two items, one line a side.
TEST(FmTransferTest, ConflictPromptsPrintBothItems) {
    Scratch s;
    s.write("src/a", "0123456789");
    s.write("dst/a", "old");
    s.write("src/same", "same");
    s.write("dst/same", "same");
    s.write("src/dir/x", "12345");
    s.write("dst/dir/y", "1");
    s.write("dst/dir/z", "1");
    setModified(s.path("dst/a"), 1714644000);  // newer than the one pasted
    setModified(s.path("src/a"), 1714557600);
    setModified(s.path("src/same"), 1714557600);
    setModified(s.path("dst/same"), 1714557600);
    setModified(s.path("src/dir"), 1714557600);
    setModified(s.path("dst/dir"), 1714557600);
    setenv("TZ", "UTC", 1);
    const ToolRun run =
        ToolRun::run(kTool, {"--answer", "file-conflict=4", "--answer", "file-conflict=4",
                             "--answer", "folder-conflict=4", s.path("src/a"), s.path("src/same"),
                             s.path("src/dir"), s.path("dst")});
    unsetenv("TZ");
    EXPECT_EQ(run.exitCode, 3) << run.summary();
    const std::string a =
        "prompt: file-conflict: An item named “a” already exists in this location. Do you "
        "want to replace it with the one you’re moving?\n"
        "existing: file, 3 bytes, modified 2024-05-02T10:00:00+0000, newer\n"
        "incoming: file, 10 bytes, modified 2024-05-01T10:00:00+0000, larger\n"
        "answer: 4\n";
    EXPECT_NE(run.out.find(a), std::string::npos) << run.summary();
    const std::string same =
        "existing: file, 4 bytes, modified 2024-05-01T10:00:00+0000, looks identical\n"
        "incoming: file, 4 bytes, modified 2024-05-01T10:00:00+0000, looks identical\n";
    EXPECT_NE(run.out.find(same), std::string::npos) << run.summary();
    const std::string dir =
        "existing: folder, 2 items, 2 bytes, modified 2024-05-01T10:00:00+0000\n"
        "incoming: folder, 1 item, 5 bytes, modified 2024-05-01T10:00:00+0000, larger\n";
    EXPECT_NE(run.out.find(dir), std::string::npos) << run.summary();
}

TEST(FmTransferTest, HelpAndVersionAnswerAsUsersExpect) {
    const ToolRun version = ToolRun::run(kTool, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("fm-transfer ") + FERRYMARK_VERSION + "\n");
    const ToolRun help = ToolRun::run(kTool, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* part : {"usage: fm-transfer", "Exit status", "and N more", "SIGTERM",
                             "--progress", "--no-wait"}) {
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
}

// Even a transfer shorter than a second ends with one progress line of its final counts.
TEST(FmTransferTest, ProgressEndsWithTheFinalCounts) {
    Scratch s;
    s.write("src/a", std::string(5000, 'a'));
    s.write("src/b", "b");
    s.mkdir("dest");
    const ToolRun run = ToolRun::run(kTool, {"--progress", s.path("src"), s.path("dest")});
    ASSERT_EQ(run.exitCode, 0) << run.summary();
    EXPECT_EQ(run.err, "progress 5001 5001 2 2\n");
}

// SIGTERM while files are copied: the job stops, exit status 1, and every file in the
// target is whole (the one being written was removed).
TEST(FmTransferTest, SigtermStopsTheJobAndLeavesNoPartialFile) {
    Scratch s;
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 300; ++i) {
        s.write("src/f" + std::to_string(i), chunk);
    }
    s.mkdir("dst");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string src = s.path("src");
    const std::string dst = s.path("dst");
    char* argv[] = {const_cast<char*>(kTool.c_str()), const_cast<char*>(src.c_str()),
                    const_cast<char*>(dst.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, kTool.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The first log line comes once the signal mask is set and the job has begun.
    std::string seen;
    char buffer[256];
    while (seen.find("Begin copy") == std::string::npos) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0) << seen;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    ::kill(pid, SIGTERM);
    while (::read(out[0], buffer, sizeof buffer) > 0) {
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 0) {
        GTEST_SKIP() << "the copy ended before the signal came";
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
    int whole = 0;
    for (int i = 0; i < 300; ++i) {
        struct stat st {};
        if (::stat(s.path("dst/f" + std::to_string(i)).c_str(), &st) == 0) {
            EXPECT_EQ(st.st_size, static_cast<off_t>(chunk.size())) << "f" << i << " is partial";
            ++whole;
        }
    }
    EXPECT_LT(whole, 300);
}

}  // namespace
}  // namespace ferrymark::test
