#include "ui/CutCopyWController.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <thread>

#include "FakeJobHost.h"
#include "ModalScript.h"
#include "UiWait.h"
#include "engine/CopyHandler.h"
#include "engine/DiskIdentity.h"
#include "engine/DiskTurns.h"
#include "engine/ICopyHandler.h"
#include "engine/Prompt.h"
#include "engine/TurnsFolder.h"
#include "ui/AlertWindowController.h"
#include "ui/PromptPresenter.h"
#include "ui/QtJobHost.h"

namespace ferrymark {
namespace {

using testing::FakeJobHost;
using testing::ModalScript;
using testing::UiWait;

QString items(qlonglong n) {
    return QLocale::system().toString(n);
}

// A job as the driver leaves it after starting the heartbeat, with its window controller.
class ProgressWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        job = CopyHandler::initWithFiles({"/src/a", "/src/b"}, host);
        ASSERT_NE(job, nullptr);
        ASSERT_NE(host.view, nullptr);
        job->setCurrentTarget("Photos");
        job->setUiBeatCount(-1);
        job->setDataProcessed(-1);
    }

    // Counting has ended: the driver's state right after the counting pass.
    void countingDone(std::int64_t items, std::int64_t bytes) {
        job->setTotalItems(items);
        job->setRemainingItems(items);
        job->setTotalData(bytes);
        job->setDataProcessed(0);
    }

    CutCopyWController& view() { return *host.view; }
    QString headline() { return view().lbProcessDesc()->text(); }
    QString dataText() { return view().lbDataProgressDesc()->text(); }
    QString timeText() { return view().lbTimeProgressDesc()->text(); }
    QProgressBar& bar() { return *view().pbTotalProcess(); }
    bool barIndeterminate() { return bar().minimum() == 0 && bar().maximum() == 0; }
    double greyStrength() {
        auto* effect = qobject_cast<QGraphicsColorizeEffect*>(bar().graphicsEffect());
        return effect ? effect->strength() : -1.0;
    }

    FakeJobHost host;
    std::unique_ptr<CopyHandler> job;
};

TEST_F(ProgressWindow, NoWindowBeforeTheFirstTick) {
    EXPECT_FALSE(view().isWindowLoaded());
    EXPECT_EQ(view().lbProcessDesc(), nullptr);
}

TEST_F(ProgressWindow, LayoutHeadlineIsATemplateWithOnePlaceholder) {
    const QString layoutText = view().window()->findChild<QLabel*>("lbProcessDesc")->text();
    EXPECT_EQ(layoutText.count(QLatin1String("%@")), 1) << layoutText.toStdString();
    EXPECT_TRUE(barIndeterminate());
}

TEST_F(ProgressWindow, FirstTickWhileCountingShowsTheWindow) {
    job->setTotalItems(1234);
    job->setTotalData(1536);
    job->updateUI();

    EXPECT_EQ(job->uiBeatCount(), 0);
    ASSERT_TRUE(view().isWindowLoaded());
    EXPECT_TRUE(view().window()->isVisible());
    EXPECT_TRUE(host.activations > 0 ||
                QGuiApplication::applicationState() == Qt::ApplicationActive);
    EXPECT_EQ(headline(), QStringLiteral("Preparing to copy to \"Photos\""));
    EXPECT_EQ(dataText(), items(1234) + QStringLiteral(" Items (1.5 KB)"));
    EXPECT_TRUE(barIndeterminate());
}

TEST_F(ProgressWindow, FirstTickAfterCountingTurnsTheBarDeterminate) {
    job->updateUI();
    const QString layoutTime = timeText();
    countingDone(3, 1048576);
    job->updateUI();

    EXPECT_EQ(job->uiBeatCount(), 1);
    EXPECT_EQ(headline(), QStringLiteral("Copying %1 Items to \"Photos\"").arg(items(3)));
    EXPECT_EQ(dataText(), QStringLiteral("0.0 KB of 1.0 MB"));
    EXPECT_EQ(timeText(), layoutTime);
    EXPECT_FALSE(barIndeterminate());
    EXPECT_EQ(bar().value(), 0);
    EXPECT_EQ(greyStrength(), 0.0);
}

TEST_F(ProgressWindow, RemainingTimeFromTheSecondUnpausedTick) {
    job->updateUI();
    countingDone(10, 1000000);
    job->updateUI();
    const QString beforeEstimate = timeText();
    job->setDataProcessed(100000);
    job->updateUI();

    EXPECT_EQ(job->uiBeatCount(), 2);
    EXPECT_NE(timeText(), beforeEstimate);
    // 900,000 / 100,000 x 2 = 18 seconds.
    EXPECT_EQ(timeText(), QStringLiteral("About 18 seconds remain"));
}

// Reading the copies back is a phase of its own: its headline, bytes checked of bytes to
// check, a bar of its own and a time left from its own pace.
TEST_F(ProgressWindow, CheckingPhaseShowsBytesCheckedAndTimeLeft) {
    job->updateUI();
    countingDone(2, 4 << 20);
    job->setDataProcessed(4 << 20);
    job->updateUI();
    job->setFinishing(true);
    job->setChecking(true);
    job->addBytesToCheck(4 << 20);
    job->updateUI();  // the phase's first beat: nothing checked yet
    EXPECT_EQ(headline(), QStringLiteral("Checking the copies…"));
    EXPECT_EQ(timeText(), QString());
    EXPECT_EQ(bar().value(), 0);
    job->addBytesChecked(1 << 20);
    job->updateUI();
    job->updateUI();
    EXPECT_EQ(dataText(), QStringLiteral("1.0 MB of 4.0 MB checked"));
    // 3 MiB left at 1 MiB in two beats: six seconds.
    EXPECT_EQ(timeText(), QStringLiteral("About 6 seconds remain"));
    EXPECT_EQ(bar().value(), bar().maximum() / 4);
    job->setChecking(false);
    job->setFinishing(false);
}

struct TransferCase {
    const char* name;
    std::int64_t totalItems;
    std::int64_t remainingItems;
    std::int64_t totalData;
    std::int64_t dataProcessed;
    std::int64_t beatsBefore;
    bool paused;
    std::int64_t beatsAfter;
    const char* data;
    const char* time;
    int barValue;
};

void PrintTo(const TransferCase& c, std::ostream* os) {
    *os << c.name;
}

class TransferTick : public ProgressWindow, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTick, ShowsTheCounters) {
    const TransferCase& c = GetParam();
    job->updateUI();
    countingDone(c.totalItems, c.totalData);
    job->updateUI();
    job->setRemainingItems(c.remainingItems);
    job->setDataProcessed(c.dataProcessed);
    job->setUiBeatCount(c.beatsBefore);
    job->setPaused(c.paused);
    job->updateUI();

    EXPECT_EQ(job->uiBeatCount(), c.beatsAfter);
    EXPECT_EQ(headline(),
              QStringLiteral("Copying %1 Items to \"Photos\"").arg(items(c.remainingItems)));
    EXPECT_EQ(dataText(), QString::fromUtf8(c.data));
    EXPECT_EQ(timeText(), QString::fromUtf8(c.time));
    EXPECT_EQ(bar().value(), c.barValue);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, TransferTick,
    ::testing::Values(
        // 750,000 / 250,000 x 5.
        TransferCase{"Estimate", 4, 3, 1000000, 250000, 4, false, 5, "244.1 KB of 976.6 KB",
                     "About 15 seconds remain", 2500},
        // The beat count stands still; the estimate uses it as it is.
        TransferCase{"Paused", 4, 3, 1000000, 250000, 5, true, 5, "244.1 KB of 976.6 KB",
                     "About 15 seconds remain", 2500},
        // More bytes than counted: a negative estimate and a full bar.
        TransferCase{"MoreThanCounted", 4, 0, 1000000, 1500000, 2, false, 3, "1.4 MB of 976.6 KB",
                     "About 5 seconds remain", CutCopyWController::kBarMaximum},
        TransferCase{"OneItemStillReadsItems", 1, 1, 4096, 1024, 1, false, 2, "1.0 KB of 4.0 KB",
                     "About 6 seconds remain", 2500},
        // Nothing but empty files: the items tell the progress.
        TransferCase{"NoDataCounted", 4, 1, 0, 0, 3, false, 4, "0.0 KB of 0.0 KB",
                     "Estimating time\u2026", 7500},
        TransferCase{"Done", 2, 0, 8192, 8192, 9, false, 10, "8.0 KB of 8.0 KB",
                     "About 5 seconds remain", CutCopyWController::kBarMaximum}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProgressWindow, DetailsShowTheFileBeingCopiedAndTheSpeed) {
    job->updateUI();
    EXPECT_EQ(view().window()->windowTitle(),
              QStringLiteral("Copying to \u201cPhotos\u201d \u2014 Ferrymark"));
    countingDone(3, 3000000);
    job->setCurrentItem("/src/a/holiday 2024.jpg");
    job->updateUI();
    EXPECT_EQ(view().lbCurrentItem()->text(), QStringLiteral("holiday 2024.jpg"));
    EXPECT_EQ(view().lbCurrentItem()->toolTip(), QStringLiteral("/src/a/holiday 2024.jpg"));
    // One tick gives no speed yet.
    EXPECT_EQ(view().lbSpeed()->text(), QString());

    job->setCurrentItem("/src/b");
    job->setDataProcessed(1000000);
    job->updateUI();
    EXPECT_EQ(view().lbCurrentItem()->text(), QStringLiteral("b"));
    const QString speed = view().lbSpeed()->text();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9.]+ [KMGT]?B/s$")).match(speed).hasMatch())
        << speed.toStdString();
}

TEST_F(ProgressWindow, PauseGreysTheBarAndResumeRestoresIt) {
    job->updateUI();
    countingDone(3, 3000);
    job->updateUI();

    job->setPaused(true);
    view().setPausedLook(1);
    EXPECT_EQ(greyStrength(), 1.0);
    EXPECT_EQ(view().btPauseResume()->text(), QStringLiteral("Resume"));
    job->updateUI();
    EXPECT_EQ(job->uiBeatCount(), 1);

    job->setPaused(false);
    view().setPausedLook(0);
    EXPECT_EQ(greyStrength(), 0.0);
    EXPECT_EQ(view().btPauseResume()->text(), QStringLiteral("Pause"));
    job->updateUI();
    EXPECT_EQ(job->uiBeatCount(), 2);
}

TEST_F(ProgressWindow, PausedBeforeTheBarTurnsDeterminateShowsGreyFromThen) {
    job->updateUI();
    job->setPaused(true);
    view().setPausedLook(1);
    EXPECT_EQ(greyStrength(), -1.0) << "no paused look on an indeterminate bar";

    countingDone(3, 3000);
    job->updateUI();
    EXPECT_FALSE(barIndeterminate());
    EXPECT_EQ(greyStrength(), 1.0);
    EXPECT_EQ(job->uiBeatCount(), 0);
}

TEST_F(ProgressWindow, CancelledBeforeTheFirstTickNeverShowsAWindow) {
    job->setCancelled(true);
    job->updateUI();
    countingDone(3, 3000);
    job->updateUI();
    job->updateUI();

    EXPECT_FALSE(view().isWindowLoaded());
    EXPECT_EQ(host.activations, 0);
}

TEST_F(ProgressWindow, WindowShownEarlyKeepsTheLayoutTextsUntilTheFirstTick) {
    job->bringToFront();
    ASSERT_TRUE(view().isWindowLoaded());
    EXPECT_TRUE(view().window()->isVisible());
    EXPECT_TRUE(headline().contains(QLatin1String("%@")));
    EXPECT_EQ(job->uiBeatCount(), -1);

    job->updateUI();
    EXPECT_EQ(headline(), QStringLiteral("Preparing to copy to \"Photos\""));
}

TEST_F(ProgressWindow, TickDuringAPromptDoesNothing) {
    job->updateUI();
    countingDone(3, 3000);
    job->updateUI();
    job->setDataProcessed(1000);
    const QString dataBefore = dataText();

    std::int64_t beatsDuringPrompt = -2;
    ModalScript::onNextPrompt([&](AlertWindowController& dialog) {
        job->updateUI();
        job->updateUI();
        beatsDuringPrompt = job->uiBeatCount();
        ModalScript::clickStop(dialog);
    });
    PromptPresenter::ask(Prompt{});

    EXPECT_EQ(beatsDuringPrompt, 1);
    EXPECT_EQ(dataText(), dataBefore);
    job->updateUI();
    EXPECT_EQ(job->uiBeatCount(), 2);
}

TurnHolder stickCopy() {
    TurnHolder holder;
    holder.target = "/media/stick/Photos";
    holder.firstSource = "/home/me/a.jpg";
    holder.sources = 2;
    holder.program = "fm-transfer";
    holder.pid = 77;
    return holder;
}

// Waiting for another transfer's disk is, like counting, no transfer time: the window says
// what it waits for, offers to start now, and its beat count stays until the turn comes.
TEST_F(ProgressWindow, AWaitingJobSaysWhatItWaitsForAndOffersStartNow) {
    countingDone(3, 1048576);
    job->setTurnHolder(stickCopy());
    job->setWaitingForTurn(true);
    job->updateUI();
    job->updateUI();

    ASSERT_TRUE(view().window()->isVisible());
    EXPECT_TRUE(view().lbWaitingFor()->isVisible());
    EXPECT_EQ(view().lbWaitingFor()->text(),
              QStringLiteral("Waiting until the copy of “a.jpg” and more to “/media/stick/Photos” "
                             "has ended: it uses the same disk."));
    EXPECT_TRUE(view().btStartNow()->isVisible());
    EXPECT_EQ(headline(), QStringLiteral("Waiting to copy to \"Photos\""));
    EXPECT_EQ(dataText(), items(3) + QStringLiteral(" Items (1.0 MB)"));
    EXPECT_EQ(job->uiBeatCount(), 0);
    EXPECT_TRUE(barIndeterminate());

    job->setWaitingForTurn(false);
    job->updateUI();
    EXPECT_FALSE(view().lbWaitingFor()->isVisible());
    EXPECT_FALSE(view().btStartNow()->isVisible());
    EXPECT_EQ(job->uiBeatCount(), 1);
    EXPECT_EQ(headline(), QStringLiteral("Copying %1 Items to \"Photos\"").arg(items(3)));
}

TEST_F(ProgressWindow, NoStartNowForAJobThatDoesNotWait) {
    countingDone(1, 10);
    job->updateUI();
    EXPECT_FALSE(view().btStartNow()->isVisible());
    EXPECT_FALSE(view().lbWaitingFor()->isVisible());
}

// The whole way: a real transfer waits for a disk whose turn the test holds, its window
// comes up saying so, and its Start now button sends it on while the turn is still held.
TEST(StartNow, TheWindowsButtonStartsAWaitingTransfer) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const std::string root = scratch.path().toStdString();
    const std::string runtime = root + "/run";
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ASSERT_EQ(::mkdir((root + "/target").c_str(), 0755), 0);
    std::ofstream(root + "/a.txt") << "alpha";

    DiskTurns other;
    std::string reason;
    const int folder = TurnsFolder::open(reason);
    ASSERT_GE(folder, 0) << reason;
    ASSERT_EQ(other.take(folder, DiskIdentity().disksOf({root + "/target"}), stickCopy(), {}),
              DiskTurns::Outcome::Taken);

    QtJobHost host;
    std::shared_ptr<CopyHandler> job = CopyHandler::initWithFiles({root + "/a.txt"}, host);
    ASSERT_NE(job, nullptr);
    job->setTakesTurns(true);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        job->copyFilesTo(root + "/target");
        done = true;
    });
    auto* view = dynamic_cast<CutCopyWController*>(job->wController());
    ASSERT_NE(view, nullptr);
    const bool offered = UiWait::until(
        [&] { return view->btStartNow() != nullptr && view->btStartNow()->isVisible(); });
    if (offered) {
        EXPECT_TRUE(view->lbWaitingFor()->text().contains(QStringLiteral("/media/stick/Photos")));
        view->btStartNow()->click();
    } else {
        ADD_FAILURE() << "the window never offered to start now";
        job->cancelTask();
    }
    EXPECT_TRUE(UiWait::until([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(root + "/target/a.txt")));
}

class RecordingHandler final : public ICopyHandler {
  public:
    void togglePause() override { ++pauses; }
    void cancelTask() override { ++cancels; }
    void startNow() override { ++startsNow; }
    int pauses = 0;
    int cancels = 0;
    int startsNow = 0;
};

TEST(ProgressButtons, ReachTheJobThroughItsInterface) {
    RecordingHandler handler;
    CutCopyWController controller(&handler);
    controller.window();
    controller.btPauseResume()->click();
    controller.btStopProcess()->click();
    controller.btPauseResume()->click();
    controller.btStartNow()->click();

    EXPECT_EQ(handler.pauses, 2);
    EXPECT_EQ(handler.cancels, 1);
    EXPECT_EQ(handler.startsNow, 1);
}

}  // namespace
}  // namespace ferrymark
