// Every item is accounted for: a file a job did not copy exactly is in its report, with
// the reason, whatever passed it over.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <set>

#include "SmallDisk.h"
#include "TestTree.h"
#include "TransferRun.h"
#include "UnprivilegedChild.h"

namespace ferrymark {
namespace {

using Names = std::vector<std::string>;
using Reason = NotTransferredReason;

using test::SmallDisk;

struct Scenario {
    const char* label;
    const char* disk;  // tmpfs options for dst, or null for a plain folder
    // Makes the sources below src and what stands in dst; returns the sources.
    std::function<Names(test::TestTree&)> setUp;
    std::function<PromptAnswer(test::TestTree&, const Prompt&)> answer;
    std::function<void(test::TestTree&, const std::string&)> onLog;
    std::set<Reason> reasons;  // any of these for each expected item
    Names expected;            // relative to the tree
};

Names files(test::TestTree& tree, const std::string& prefix, int count, std::size_t size) {
    Names out;
    for (int i = 0; i < count; ++i) {
        out.push_back(
            tree.write(prefix + std::to_string(100 + i), std::string(size, 'a' + i % 26)));
    }
    return out;
}

// Each file below the sources is in the target whole, or in the report (itself or a folder
// above it).
void expectAccountedFor(test::TestTree& tree, const CopyHandler& job) {
    std::set<std::string> listed;
    for (const auto& item : job.report().entries()) {
        listed.insert(item.path);
    }
    for (const auto& name : tree.listing("src")) {
        if (name.ends_with("/")) {
            continue;
        }
        const std::string copy = "dst/" + name;
        const bool whole = tree.exists(copy) && tree.read(copy) == tree.read("src/" + name);
        bool inReport = false;
        for (std::string at = tree.path("src/" + name); at.size() > tree.root().size();
             at.resize(at.rfind('/'))) {
            inReport = inReport || listed.count(at) > 0;
        }
        EXPECT_TRUE(whole || inReport) << name << " is neither copied whole nor listed";
    }
}

TEST(TransferListTest, WhatWasPassedOverIsListedWithItsReason) {
    const Scenario scenarios[] = {
        {"skipped at conflicts with apply to all",
         nullptr,
         [](test::TestTree& t) {
             files(t, "dst/f", 41, 3);
             return files(t, "src/f", 41, 5);
         },
         [](test::TestTree&, const Prompt&) {
             return PromptAnswer{Policy::Skip, true};
         },
         {},
         {Reason::SkippedAtConflict},
         {}},
        {"a source that vanished after it was counted",
         nullptr,
         [](test::TestTree& t) {
             t.mkdir("src");
             ::mkfifo(t.path("src/a-pipe").c_str(), 0644);
             return Names{t.path("src/a-pipe"), t.write("src/b", "b")};
         },
         {},
         [](test::TestTree& t, const std::string& line) {
             if (line.find("a-pipe") != std::string::npos) {
                 ::unlink(t.path("src/b").c_str());
             }
         },
         {Reason::Vanished, Reason::SpecialFile},
         {"src/b"}},
        {"a disk out of inodes",
         "size=4m,nr_inodes=16",
         [](test::TestTree& t) {
             files(t, "src/many/f", 20, 10);
             return Names{t.path("src/many")};
         },
         [](test::TestTree&, const Prompt&) {
             return PromptAnswer{kAnswerStop, false};
         },
         {},
         {Reason::OutOfSpace, Reason::Stopped},
         {}},
        {"a full disk",
         "size=1m",
         [](test::TestTree& t) { return files(t, "src/big", 3, 400 * 1024); },
         [](test::TestTree&, const Prompt&) {
             return PromptAnswer{kAnswerStop, false};
         },
         {},
         {Reason::OutOfSpace, Reason::Stopped},
         {}},
        {"a source that changes each time it is copied",
         "size=1m",
         [](test::TestTree& t) {
             t.write("dst/filler", std::string(900 * 1024, 'f'));
             return Names{t.write("src/grows", std::string(300 * 1024, 'g'))};
         },
         [](test::TestTree& t, const Prompt&) {
             // While the disk is full mid-copy, the source changes and room is made.
             ::unlink(t.path("dst/filler").c_str());
             t.write("src/grows", std::string(301 * 1024, 'h'));
             return PromptAnswer{0, false};
         },
         [](test::TestTree& t, const std::string& line) {
             // Each copy again meets a full disk, and so a change, once more.
             if (line.find("copying it again") != std::string::npos) {
                 t.write("dst/filler", std::string(900 * 1024, 'f'));
             }
         },
         {Reason::ChangedWhileCopied},
         {"src/grows"}},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.label);
        test::TestTree tree;
        const std::string dst = tree.mkdir("dst");
        std::unique_ptr<SmallDisk> disk;
        if (s.disk) {
            disk = std::make_unique<SmallDisk>(dst, s.disk);
            if (!disk->unavailable().empty()) {
                GTEST_SKIP() << disk->unavailable();
            }
        }
        const Names sources = s.setUp(tree);
        test::TransferRun transfer;
        if (s.answer) {
            transfer.host.setPromptHandler([&](const Prompt& p) { return s.answer(tree, p); });
        }
        if (s.onLog) {
            transfer.host.setLogObserver([&](const std::string& line) { s.onLog(tree, line); });
        }
        transfer.run(sources, dst);
        const auto& report = transfer.job->report();
        ASSERT_FALSE(report.empty());
        for (const auto& item : report.entries()) {
            EXPECT_TRUE(s.reasons.count(item.reason))
                << item.path << ": " << TransferReport::reasonText(item.reason);
        }
        for (const auto& path : s.expected) {
            bool found = false;
            for (const auto& item : report.entries()) {
                found = found || item.path == tree.path(path);
            }
            EXPECT_TRUE(found) << path << " is not listed";
        }
        if (!transfer.job->cancelled()) {
            expectAccountedFor(tree, *transfer.job);
        }
    }
}

// Two files pasted into a folder the user may not write to: both are listed, and nothing
// is left behind.
TEST(TransferListTest, RefusedPermissionIsListedForEachItem) {
    const std::string why = test::UnprivilegedChild::unavailableReason();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    test::TestTree tree;
    const auto a = tree.write("src/a", "a");
    const auto b = tree.write("src/b", "b");
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(tree.path("src").c_str(), 0755), 0);
    const std::string dst = tree.mkdir("dst", 0755);  // root's: not writable for the child
    const int listed = test::UnprivilegedChild::run([&] {
        test::TransferRun transfer(HeadlessHost::Threading::Inline);
        transfer.host.setPromptHandler([](const Prompt&) { return PromptAnswer{0, false}; });
        transfer.prepare({a, b});
        transfer.job->copyFilesTo(dst);
        int count = 0;
        for (const auto& item : transfer.job->report().entries()) {
            count += item.reason == Reason::PermissionDenied && (item.path == a || item.path == b);
        }
        return count;
    });
    EXPECT_EQ(listed, 2);
    EXPECT_TRUE(tree.listing("dst").empty());
}

}  // namespace
}  // namespace ferrymark
