#include "ui/QtJobHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "ModalScript.h"
#include "UiWait.h"
#include "engine/CopyHandler.h"
#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/SystemLog.h"

namespace ferrymark {
namespace {

using testing::ModalScript;
using testing::UiWait;

// Runs body on a worker thread while the test's thread serves the event loop.
void onWorker(const std::function<void()>& body) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool finished = UiWait::until([&] { return done.load(); });
    if (!finished) {
        ADD_FAILURE() << "the worker never finished";
        worker.detach();
        return;
    }
    worker.join();
}

TEST(QtJobHost, RunsWorkOnTheUiThreadAndWaitsForIt) {
    QtJobHost host;
    QThread* ranOn = nullptr;
    int result = 0;
    int seenAfterReturn = -1;
    onWorker([&] {
        host.runOnUiThread([&] {
            ranOn = QThread::currentThread();
            result = 42;
        });
        seenAfterReturn = result;
    });
    EXPECT_EQ(ranOn, qApp->thread());
    EXPECT_EQ(seenAfterReturn, 42);
}

TEST(QtJobHost, RunsInlineWhenAlreadyOnTheUiThread) {
    QtJobHost host;
    bool ran = false;
    host.runOnUiThread([&] { host.runOnUiThread([&] { ran = true; }); });
    EXPECT_TRUE(ran);
}

TEST(QtJobHost, HandsAnExceptionBackToTheWorker) {
    QtJobHost host;
    std::string caught;
    onWorker([&] {
        try {
            host.runOnUiThread([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    EXPECT_EQ(caught, "boom");
}

// Two jobs asking at once: the second prompt comes up over the first and neither waits
// for the other's worker.
TEST(QtJobHost, TwoWorkersPromptsDoNotBlockEachOther) {
    QtJobHost host;
    std::atomic<int> answered{0};
    PromptAnswer first, second;
    ModalScript::onNextPrompt([&](AlertWindowController& outer) {
        ModalScript::onNextPrompt(
            [](AlertWindowController& inner) { ModalScript::clickStop(inner); });
        std::thread other([&] {
            second = host.showPrompt(PromptTexts::diskFull());
            ++answered;
        });
        UiWait::until([&] { return answered.load() == 1; });
        other.join();
        ModalScript::clickContinue(outer);
    });
    onWorker([&] {
        first = host.showPrompt(PromptTexts::folderConflict("/a/b"));
        ++answered;
    });
    EXPECT_EQ(answered.load(), 2);
    EXPECT_EQ(second.code, 2);
    EXPECT_EQ(first.code, 5);
}

TEST(QtJobHost, HeartbeatTicksOnTheUiThread) {
    QtJobHost host;
    int ticks = 0;
    bool allOnUiThread = true;
    std::unique_ptr<IHeartbeat> beat;
    onWorker([&] {
        beat = host.startHeartbeat([&] {
            ++ticks;
            allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
        });
    });
    ASSERT_NE(beat, nullptr);
    EXPECT_TRUE(UiWait::until([&] { return ticks >= 2; }));
    EXPECT_TRUE(allOnUiThread);
}

// Ordering, not timing: a second heartbeat started after the first was invalidated ticks
// twice, and the first, with the same interval, has had every chance to tick meanwhile.
TEST(QtJobHost, NoTickAfterInvalidate) {
    QtJobHost host;
    int firstTicks = 0;
    int secondTicks = 0;
    auto first = host.startHeartbeat([&] { ++firstTicks; });
    ASSERT_TRUE(UiWait::until([&] { return firstTicks >= 1; }));
    first->invalidate();
    const int atInvalidate = firstTicks;
    auto second = host.startHeartbeat([&] { ++secondTicks; });
    ASSERT_TRUE(UiWait::until([&] { return secondTicks >= 2; }));
    EXPECT_EQ(firstTicks, atInvalidate);
}

TEST(QtJobHost, HeartbeatReleasedOnAWorkerStopsTicking) {
    QtJobHost host;
    std::atomic<int> firstTicks{0};
    int secondTicks = 0;
    auto first = host.startHeartbeat([&] { ++firstTicks; });
    ASSERT_TRUE(UiWait::until([&] { return firstTicks >= 1; }));
    onWorker([&] { first.reset(); });
    const int atRelease = firstTicks;
    auto second = host.startHeartbeat([&] { ++secondTicks; });
    ASSERT_TRUE(UiWait::until([&] { return secondTicks >= 2; }));
    EXPECT_EQ(firstTicks, atRelease);
}

TEST(QtJobHost, ActivationHooksRunOnTheUiThread) {
    QtJobHost host;
    QThread* activatedOn = nullptr;
    QThread* deactivatedOn = nullptr;
    host.setActivateHook([&] { activatedOn = QThread::currentThread(); });
    host.setDeactivateHook([&] { deactivatedOn = QThread::currentThread(); });
    bool frontWhileActive = false;
    onWorker([&] {
        host.activateApplication();
        frontWhileActive = host.frontRequested();
        host.deactivateApplication();
    });
    EXPECT_EQ(activatedOn, qApp->thread());
    EXPECT_EQ(deactivatedOn, qApp->thread());
    EXPECT_TRUE(frontWhileActive);
    EXPECT_FALSE(host.frontRequested());
}

// A whole transfer through the Qt host: the conflict is asked about in the dialog and the
// answer is carried out.
TEST(QtJobHost, RealTransferAsksAboutAConflict) {
    QTemporaryDir source;
    QTemporaryDir target;
    ASSERT_TRUE(source.isValid() && target.isValid());
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(source.filePath("a.txt"), "new");
    write(target.filePath("a.txt"), "old");

    QtJobHost host;
    std::vector<std::string> lines;
    SystemLog::setSinkForTesting([&](const std::string& line) { lines.push_back(line); });
    auto job = CopyHandler::initWithFiles({source.filePath("a.txt").toStdString()}, host);
    ASSERT_NE(job, nullptr);

    QString asked;
    ModalScript::onNextPrompt([&](AlertWindowController& d) {
        asked = d.alertMessage()->text();
        d.popupOptions()->setCurrentIndex(d.popupOptions()->findData(3));
        ModalScript::clickContinue(d);
    });
    onWorker([&] { job->copyFilesTo(target.path().toStdString()); });
    SystemLog::setSinkForTesting({});

    EXPECT_TRUE(asked.startsWith(QStringLiteral("An item named “a.txt” already exists")));
    QFile result(target.filePath("a.txt"));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), QByteArray("new"));
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files).size(), 1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "End copy to \"" + target.path().toStdString() + "\"");
    onWorker([&] { job.reset(); });
}

}  // namespace
}  // namespace ferrymark
