// A flush that fails on a real disk: the desktop hears of a failure, and the list names
// each copy the disk may not hold.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>
#include <QPlainTextEdit>

#include "FakeDisk.h"
#include "FakeNotifier.h"
#include "TestTree.h"
#include "TransferRun.h"
#include "app/TransferNotices.h"
#include "engine/ConflictPolicy.h"
#include "engine/Prompt.h"
#include "engine/PromptAnswer.h"
#include "ui/TransferOutcome.h"
#include "ui/TransferReportWindow.h"

namespace ferrymark {
namespace {

using namespace std::chrono_literals;

TEST(FlushFailureNoticeTest, FailedFlushIsAFailureWithTheCopiesListed) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::FakeDisk disk(test::FakeDisk::Fault::Error);
    if (disk.skipped()) {
        GTEST_SKIP() << disk.problem();
    }
    ASSERT_TRUE(disk.problem().empty()) << disk.problem();
    const std::string target = disk.mountPoint() + "/Backup";
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    ::sync();
    test::TestTree tree;
    const std::string a = tree.write("a.jpg", test::TestTree::randomBytes(100 * 1024, 5));
    const std::string b = tree.write("b.jpg", test::TestTree::randomBytes(100 * 1024, 6));

    disk.fail();
    test::TransferRun run;
    // Another program's sync (a loaded machine's) may meet the fault before the job's own
    // flush: a write or create then fails mid-job, and that item is left out and listed.
    run.host.setPromptHandler([](const Prompt& prompt) {
        const bool leaveOut =
            prompt.kind == PromptKind::DiskError || prompt.kind == PromptKind::Destination;
        return PromptAnswer{leaveOut ? Policy::Skip : Policy::Stop, false};
    });
    run.run({a, b}, target);
    disk.heal();
    const TransferOutcome outcome = TransferOutcome::of(*run.job, false, 1h);

    testing::FakeNotifier notifier;
    TransferNotices notices(notifier);
    notices.jobEnded(outcome);
    ASSERT_EQ(notifier.posted.size(), 1u);
    EXPECT_EQ(notifier.posted[0].summary, "Not everything was copied to “Backup”");
    EXPECT_EQ(notifier.posted[0].body, "0 items transferred, 2 not transferred.");
    EXPECT_TRUE(notifier.posted[0].persistent);

    notifier.invoke(notifier.posted[0].id, TransferNotices::kDetailsAction);
    ASSERT_EQ(notices.windows().size(), 1);
    const QString list = notices.windows()[0]->list()->toPlainText();
    if (run.host.prompts().empty()) {
        EXPECT_TRUE(
            list.contains("The disk reported an error while saving it, so this copy may be "
                          "damaged (2)"))
            << list.toStdString();
        EXPECT_TRUE(list.contains(QString::fromStdString("    " + a + " — Input/output error")))
            << list.toStdString();
        EXPECT_TRUE(list.contains(QString::fromStdString("    " + b + " — Input/output error")))
            << list.toStdString();
    } else {
        EXPECT_TRUE(list.contains(QString::fromStdString("    " + a + " — ")))
            << list.toStdString();
        EXPECT_TRUE(list.contains(QString::fromStdString("    " + b + " — ")))
            << list.toStdString();
    }
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace ferrymark
