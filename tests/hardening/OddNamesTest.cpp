// Names that break naive code, as sources and as targets, through fm-transfer: each item
// is copied exactly, or refused with a log line or message naming it; none comes out
// under a changed name, and a Move never removes what it did not copy.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FdTree.h"
#include "ToolRun.h"

namespace ferrymark::test {
namespace {

using Kind = FdTree::Entry::Kind;

const std::string kTool = FERRYMARK_FM_TRANSFER;

// An item below the source folder; its path separates names with '/'.
struct Item {
    std::string path;
    std::string content;
    bool folder = false;
};

struct NameCase {
    const char* label;
    std::vector<Item> sources;   // the top-level items are the sources
    std::string target;          // the target folder's name
    std::vector<Item> existing;  // already in the target
    bool relativeAfterDashes = false;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.label;
}

std::string bytes(std::size_t count, char c) {
    return std::string(count, c);
}

const std::string k255a = bytes(251, 'a') + ".txt";
const std::string k255b = bytes(255, 'b');
const std::string k255c = "c" + bytes(250, 'c') + ".bin";

std::vector<NameCase> copiedExactlyCases() {
    return {
        {"newline",
         {{"a\nb", "1"},
          {"\n", "2"},
          {"dir\nsub", "", true},
          {"dir\nsub/x\ny", "3"},
          {"dir\nsub/\n", "4"}},
         "dst",
         {},
         false},
        {"newline_in_target",
         {{"plain.txt", "1"}, {"f", "", true}, {"f/inner", "2"}},
         "t\narget\n",
         {},
         false},
        {"name_of_255_bytes",
         {{k255a, "1"}, {k255b, "", true}, {k255b + "/" + k255c, "2"}},
         "dst",
         {},
         false},
        {"target_of_255_bytes", {{"plain.txt", "1"}, {k255a, "2"}}, k255b, {}, false},
        {"invalid_utf8",
         {{"bad\xff\xfe", "1"},
          {"\xc3\x28"
           "dir",
           "", true},
          {"\xc3\x28"
           "dir/\xed\xa0\x80surrogate",
           "2"},
          {"over\xc0\xaflong", "3"}},
         "dst",
         {},
         false},
        {"invalid_utf8_target", {{"plain", "1"}}, "\xff\xfe\xfd", {}, false},
        {"leading_dash",
         {{"-rf", "1"},
          {"--move", "2"},
          {"-h", "3"},
          {"-", "4"},
          {"--", "5"},
          {"-d", "", true},
          {"-d/-x", "6"}},
         "-t",
         {},
         true},
        {"case_only",
         {{"Readme.txt", "mixed"},
          {"README.TXT", "upper"},
          {"dir", "", true},
          {"dir/a", "lower"},
          {"dir/A", "upper"}},
         "dst",
         {{"readme.txt", "old"}, {"DIR", "", true}},
         false},
        // NFC and NFD spellings of the same text are different names to the file system.
        {"unicode_normalisation",
         {{"caf\xc3\xa9", "nfc"},
          {"cafe\xcc\x81", "nfd"},
          {"\xc3\x85ngstr\xc3\xb6m", "", true},
          {"\xc3\x85ngstr\xc3\xb6m/x", "1"}},
         "dst",
         {{"A\xcc\x8angstro\xcc\x88m", "", true}, {"\xe2\x84\xab", "angstrom sign"}},
         false},
    };
}

class OddNames : public ::testing::Test {
  protected:
    void SetUp() override { root_ = FdTree::makeScratch(); }
    void TearDown() override { FdTree::removeAll(root_); }

    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // Paths here are short; only the deep cases need the descriptor calls.
    void make(const std::string& folder, const std::vector<Item>& items) const {
        ::mkdir(path(folder).c_str(), 0755);
        for (const auto& item : items) {
            const std::string p = path(folder + "/" + item.path);
            if (item.folder) {
                ASSERT_EQ(::mkdir(p.c_str(), 0755), 0) << FdTree::escaped(p);
                continue;
            }
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0) << FdTree::escaped(p);
            ASSERT_EQ(::write(fd, item.content.data(), item.content.size()),
                      static_cast<ssize_t>(item.content.size()));
            ::close(fd);
        }
    }

    // A chain of folders below folder until its path is `length` bytes long; returns the
    // chain's relative path and leaves its descriptor in fd.
    std::string chain(const std::string& folder, std::size_t length, int& fd) const {
        std::string relative = folder;
        fd = ::open(path(folder).c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; path(relative).size() < length; ++level) {
            const std::size_t left = length - path(relative).size() - 1;
            // Never leave one byte over: no name fits in it after its separator.
            const std::size_t size = left == 201 ? 199 : std::min<std::size_t>(left, 200);
            const std::string name = std::to_string(level % 10) + bytes(size - 1, 'L');
            const int next = FdTree::makeFolderAt(fd, name);
            ::close(fd);
            fd = next;
            relative += "/" + name;
        }
        return relative;
    }

    std::string root_;
};

bool anyLogLineNames(const ToolRun& run, const std::string& part) {
    for (const auto& line : run.logLines()) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class CopiedExactly : public OddNames,
                      public ::testing::WithParamInterface<std::tuple<NameCase, bool>> {};

TEST_P(CopiedExactly, ThroughFmTransfer) {
    const auto& [c, move] = GetParam();
    make("src", c.sources);
    make(c.target, c.existing);
    const FdTree::Snapshot source = FdTree::snapshot(path("src"));
    FdTree::Snapshot want = FdTree::snapshot(path(c.target));
    std::size_t files = 0;
    for (const auto& [relative, entry] : source) {
        want[relative] = entry;
        files += entry.kind == Kind::File;
    }

    std::vector<std::string> args;
    if (move) {
        args.push_back("--move");
    }
    int srcFd = -1;
    if (c.relativeAfterDashes) {
        args.push_back("--");
        srcFd = ::open(path("src").c_str(), O_RDONLY | O_DIRECTORY);
    }
    for (const auto& item : c.sources) {
        if (item.path.find('/') == std::string::npos) {
            args.push_back(c.relativeAfterDashes ? item.path : path("src/" + item.path));
        }
    }
    args.push_back(c.relativeAfterDashes ? "../" + c.target : path(c.target));
    const ToolRun run = ToolRun::run(kTool, args, srcFd);
    if (srcFd >= 0) {
        ::close(srcFd);
    }

    ASSERT_EQ(run.exitCode, 0) << run.summary();
    EXPECT_FALSE(run.printed("prompt: ")) << run.summary();
    EXPECT_TRUE(run.printed("totalItems: " + std::to_string(files) + "\n")) << run.summary();
    EXPECT_TRUE(run.printed("remainingItems: 0\n")) << run.summary();
    EXPECT_EQ(FdTree::differences(want, FdTree::snapshot(path(c.target))),
              std::vector<std::string>{})
        << run.summary();
    EXPECT_EQ(FdTree::snapshot(path("src")).size(), move ? 0u : source.size()) << run.summary();
}

INSTANTIATE_TEST_SUITE_P(OddNames, CopiedExactly,
                         ::testing::Combine(::testing::ValuesIn(copiedExactlyCases()),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) +
                                    (std::get<1>(info.param) ? "_move" : "_copy");
                         });

// " copy" makes a 255-byte name too long for the file system: no new name is made up and
// nothing is written under a shortened one.
TEST_F(OddNames, Name255IntoItsOwnFolderIsRefusedByName) {
    for (const bool move : {false, true}) {
        make("src", {{k255a, "data"}});
        const FdTree::Snapshot before = FdTree::snapshot(path("src"));
        std::vector<std::string> args{path("src/" + k255a), path("src")};
        if (move) {
            args.insert(args.begin(), "--move");
        }
        const ToolRun run = ToolRun::run(kTool, args);
        EXPECT_EQ(run.exitCode, 3) << run.summary();
        EXPECT_TRUE(anyLogLineNames(run, "Can not find a free name for " + path("src/" + k255a)))
            << run.summary();
        EXPECT_EQ(FdTree::differences(before, FdTree::snapshot(path("src"))),
                  std::vector<std::string>{})
            << (move ? "move" : "copy");
        FdTree::removeAll(path("src"));
    }
}

TEST_F(OddNames, Name255KeepBothIsRefusedByName) {
    for (const bool move : {false, true}) {
        make("src", {{k255a, "new"}});
        make("dst", {{k255a, "old"}});
        const FdTree::Snapshot source = FdTree::snapshot(path("src"));
        const FdTree::Snapshot target = FdTree::snapshot(path("dst"));
        std::vector<std::string> args{"--answer", "file-conflict=1", path("src/" + k255a),
                                      path("dst")};
        if (move) {
            args.insert(args.begin(), "--move");
        }
        const ToolRun run = ToolRun::run(kTool, args);
        EXPECT_EQ(run.exitCode, 3) << run.summary();
        EXPECT_TRUE(run.printed("prompt: file-conflict: ")) << run.summary();
        EXPECT_TRUE(anyLogLineNames(run, "Can not find a free name for " + path("dst/" + k255a)))
            << run.summary();
        EXPECT_EQ(FdTree::differences(target, FdTree::snapshot(path("dst"))),
                  std::vector<std::string>{});
        EXPECT_EQ(FdTree::differences(source, FdTree::snapshot(path("src"))),
                  std::vector<std::string>{})
            << (move ? "a move removed a source it did not copy" : "copy");
        FdTree::removeAll(path("src"));
        FdTree::removeAll(path("dst"));
    }
}

// A source tree that reaches past PATH_MAX: the part whose paths fit is copied exactly,
// the first item past the limit on each branch is named in a log line, and a Move keeps
// the whole source.
TEST_F(OddNames, DeepSourceCopiesWhatFitsAndNamesTheRest) {
    for (const bool move : {false, true}) {
        make("src", {{"deep", "", true}});
        make("dst", {});
        int fd = ::open(path("src/deep").c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(fd, 0);
        // Folders of 100-byte names, a small file in each, down to about 4400 bytes.
        std::size_t length = path("src/deep").size();
        for (int level = 0; length < 4400; ++level) {
            FdTree::writeAt(fd, "f", "level " + std::to_string(level));
            const std::string name = std::to_string(level % 10) + bytes(99, 'd');
            const int next = FdTree::makeFolderAt(fd, name);
            ::close(fd);
            fd = next;
            length += 1 + name.size();
        }
        FdTree::writeAt(fd, "f", "bottom");
        ::close(fd);

        const FdTree::Snapshot source = FdTree::snapshot(path("src"));
        // "dst" and "src" are as long: a destination path fits exactly when its source does.
        FdTree::Snapshot want;
        std::vector<std::string> refused;
        for (const auto& [relative, entry] : source) {
            const std::string full = path("src/" + relative);
            if (full.size() < PATH_MAX) {
                want[relative] = entry;
            } else if (full.rfind('/') < PATH_MAX) {
                refused.push_back(full);  // its folder fits: the first item past the limit
            }
        }
        ASSERT_FALSE(refused.empty());
        ASSERT_LT(want.size(), source.size());

        std::vector<std::string> args{path("src/deep"), path("dst")};
        if (move) {
            args.insert(args.begin(), "--move");
        }
        const ToolRun run = ToolRun::run(kTool, args);
        EXPECT_EQ(run.exitCode, 3) << run.summary();
        EXPECT_EQ(FdTree::differences(want, FdTree::snapshot(path("dst"))),
                  std::vector<std::string>{});
        for (const auto& item : refused) {
            EXPECT_TRUE(anyLogLineNames(run, item)) << "not named: " << FdTree::escaped(item);
        }
        EXPECT_EQ(FdTree::differences(source, FdTree::snapshot(path("src"))),
                  std::vector<std::string>{})
            << (move ? "a move removed a source it did not copy" : "copy");
        FdTree::removeAll(path("src"));
        FdTree::removeAll(path("dst"));
    }
}

// A target so deep that some destinations pass PATH_MAX: items are made relative to their
// folder's handle, so all of it is copied, and a Move removes the source.
TEST_F(OddNames, DeepTargetCopiesAllThroughFolderHandles) {
    make("src", {{"s", "", true},
                 {"s/short", "fits"},
                 {"s/" + bytes(100, 'f'), "too deep"},
                 {"s/" + bytes(100, 'g'), "", true},
                 {"s/" + bytes(100, 'g') + "/inner", "too deep"}});
    make("t", {});
    int fd = -1;
    const std::string target = chain("t", 4040, fd);
    ::close(fd);
    ASSERT_EQ(path(target).size(), 4040u);
    const FdTree::Snapshot source = FdTree::snapshot(path("src"));

    const ToolRun run = ToolRun::run(kTool, {"--move", path("src/s"), path(target)});
    EXPECT_EQ(run.exitCode, 0) << run.summary();
    EXPECT_FALSE(run.printed("prompt: ")) << run.summary();

    FdTree::Snapshot want;
    for (const auto& [name, entry] : source) {
        if (name.rfind("s", 0) == 0) {
            want[name] = entry;
        }
    }
    EXPECT_EQ(
        FdTree::differences(want, FdTree::below(FdTree::snapshot(path("t")), target.substr(2))),
        std::vector<std::string>{});
    EXPECT_FALSE(FdTree::snapshot(path("src")).count("s")) << "the moved source stayed";
}

// A target reached from a working folder deeper than PATH_MAX has no usable path: the
// refusal must say why rather than call the folder no folder.
TEST_F(OddNames, TargetBeyondPathMaxIsRefusedWithTheReason) {
    make("src", {{"file", "data"}});
    make("t", {});
    int fd = -1;
    chain("t", 4300, fd);
    const ToolRun run = ToolRun::run(kTool, {path("src/file"), "."}, fd);
    ::close(fd);
    EXPECT_EQ(run.exitCode, 2) << run.summary();
    EXPECT_EQ(run.signal, 0) << run.summary();
    EXPECT_TRUE(run.printed("File name too long")) << run.summary();
    EXPECT_EQ(FdTree::snapshot(path("src")).size(), 1u);
}

}  // namespace
}  // namespace ferrymark::test
