#include "app/TransferNotices.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QPlainTextEdit>

#include "FakeNotifier.h"
#include "OutcomeSamples.h"
#include "ui/TransferReportWindow.h"

namespace ferrymark {
namespace {

using testing::FakeNotifier;
using testing::OutcomeSamples;
using namespace std::chrono_literals;

class TransferNoticesTest : public ::testing::Test {
  protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    FakeNotifier notifier;
    TransferNotices notices{notifier};
};

TEST_F(TransferNoticesTest, WhatTheUserIsToldWhenAJobEnds) {
    const QStringList showList = {"default", "Show the list", "details", "Show the list"};
    enum Server { None, Present, PostFails, NoActions };
    struct Case {
        const char* name;
        TransferOutcome outcome;
        Server server;
        // Empty: nothing posted.
        QString summary;
        QString body;
        QStringList actions;
        bool window;
    };
    const Case cases[] = {
        {"clean, quick",
         OutcomeSamples::clean(TransferNotices::kLongJob - 1ms),
         Present,
         {},
         {},
         {},
         false},
        {"clean, long",
         OutcomeSamples::clean(TransferNotices::kLongJob),
         Present,
         "Copied 3 items to “Photos”",
         "",
         {},
         false},
        {"clean, long, no server", OutcomeSamples::clean(1h), None, {}, {}, {}, false},
        {"clean, long, post fails",
         OutcomeSamples::clean(1h),
         PostFails,
         "Copied 3 items to “Photos”",
         "",
         {},
         false},
        {"left out", OutcomeSamples::leftOut(), Present, "Not everything was copied to “Photos”",
         "1,234 items transferred, 42 not transferred.", showList, false},
        {"left out, no server", OutcomeSamples::leftOut(), None, {}, {}, {}, true},
        {"left out, post fails", OutcomeSamples::leftOut(), PostFails,
         "Not everything was copied to “Photos”", "1,234 items transferred, 42 not transferred.",
         showList, true},
        {"left out, server without actions", OutcomeSamples::leftOut(), NoActions,
         "Not everything was copied to “Photos”", "1,234 items transferred, 42 not transferred.",
         showList, true},
        {"stopped", OutcomeSamples::stopped(), Present, "Transfer to “Photos” stopped",
         "3 items transferred before the stop.", showList, false},
        {"stopped, no server", OutcomeSamples::stopped(), None, {}, {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNotifier fake;
        fake.present = c.server != None;
        fake.failPosts = c.server == PostFails;
        fake.actions = c.server != NoActions;
        TransferNotices told(fake);
        told.jobEnded(c.outcome);

        ASSERT_EQ(fake.posted.size(), c.summary.isEmpty() ? 0u : 1u);
        if (!c.summary.isEmpty()) {
            EXPECT_EQ(fake.posted[0].summary, c.summary);
            EXPECT_EQ(fake.posted[0].body, c.body);
            EXPECT_EQ(fake.posted[0].actions, c.actions);
            // Left-out items stay on screen until the user has seen them.
            EXPECT_EQ(fake.posted[0].persistent, c.outcome.incomplete());
        }
        ASSERT_EQ(told.windows().size(), c.window ? 1 : 0);
        if (c.window) {
            EXPECT_TRUE(told.windows()[0]->isVisible());
            EXPECT_EQ(told.windows()[0]->windowTitle(),
                      c.outcome.stopped ? "Transfer to “Photos” stopped"
                                        : "Not everything was copied to “Photos”");
        }
    }
}

TEST_F(TransferNoticesTest, OnlyTheListActionOfALiveNotificationOpensTheList) {
    notices.jobEnded(OutcomeSamples::leftOut());
    ASSERT_EQ(notifier.posted.size(), 1u);
    const quint32 id = notifier.posted[0].id;

    struct Step {
        const char* name;
        quint32 id;
        QString key;
        bool dismissFirst;
        int windows;  // open after the step
    };
    const Step steps[] = {
        {"another message's action", id + 1, "details", false, 0},
        {"a key we did not offer", id, "snooze", false, 0},
        {"the list action", id, "details", false, 1},
        {"a click on the message itself", id, "default", false, 2},
        {"after the message was closed", id, "details", true, 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.dismissFirst) {
            notifier.dismiss(id);
        }
        notifier.invoke(s.id, s.key);
        EXPECT_EQ(notices.windows().size(), s.windows);
    }
    EXPECT_TRUE(notices.windows().back()->list()->toPlainText().contains("/home/u/src/secret"));

    // A list the user closes goes away for good.
    notices.windows().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(notices.windows().size(), 1);
}

// A server that never says its notifications went must not make us keep every list.
TEST_F(TransferNoticesTest, OnlyTheNewestListsAreKeptForTheirNotifications) {
    for (std::size_t i = 0; i < TransferNotices::kKeptLists + 1; ++i) {
        notices.jobEnded(OutcomeSamples::leftOut());
    }
    notifier.invoke(notifier.posted.front().id, "details");
    EXPECT_TRUE(notices.windows().isEmpty());
    notifier.invoke(notifier.posted[1].id, "details");
    EXPECT_EQ(notices.windows().size(), 1);
}

// A target on a removable disk: the notification says the data is there and offers Eject,
// only when the disk took all of it.
TEST_F(TransferNoticesTest, RemovableDiskHoldingTheDataIsOfferedForEjecting) {
    DriveFacts stick;
    stick.key = stick.drive = QStringLiteral("/org/freedesktop/UDisks2/drives/Acme_Stick");
    stick.name = QStringLiteral("PHOTOS");
    stick.removable = true;
    TransferOutcome flushFailed = OutcomeSamples::clean(1h);
    flushFailed.notTransferred = 1;
    flushFailed.counts[static_cast<std::size_t>(NotTransferredReason::DiskError)] = 1;
    const QString written =
        "Everything is written to “PHOTOS”. Choose Eject, then it can be unplugged.";
    const QStringList eject = {"eject", "Eject"};
    const QStringList showList = {"default", "Show the list", "details", "Show the list"};
    struct Case {
        const char* name;
        TransferOutcome outcome;
        bool actions;
        // Empty: nothing posted.
        QString body;
        QStringList offered;
    };
    const Case cases[] = {
        // Even a quick job: the user is waiting to pull the stick.
        {"clean, quick", OutcomeSamples::clean(1ms), true, written, eject},
        {"clean, server without actions",
         OutcomeSamples::clean(1ms),
         false,
         "Everything is written to “PHOTOS”.",
         {}},
        {"left out", OutcomeSamples::leftOut(), true,
         "1,234 items transferred, 42 not transferred.\n" + written, showList + eject},
        // The disk failed to take the data: nothing is called safe.
        {"flush failed", flushFailed, true, "3 items transferred, 1 not transferred.", showList},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNotifier fake;
        fake.actions = c.actions;
        TransferNotices told(fake);
        std::vector<DriveFacts> ejected;
        QObject::connect(&told, &TransferNotices::ejectRequested,
                         [&](const DriveFacts& disk) { ejected.push_back(disk); });
        told.jobEnded(c.outcome, stick);
        ASSERT_EQ(fake.posted.size(), 1u);
        EXPECT_EQ(fake.posted[0].body, c.body);
        EXPECT_EQ(fake.posted[0].actions, c.offered);
        fake.invoke(fake.posted[0].id, TransferNotices::kEjectAction);
        ASSERT_EQ(ejected.size(), c.offered.contains("eject") ? 1u : 0u);
        if (!ejected.empty()) {
            EXPECT_EQ(ejected[0].key, stick.key);
            // Gone with its notification.
            fake.dismiss(fake.posted[0].id);
            fake.invoke(fake.posted[0].id, TransferNotices::kEjectAction);
            EXPECT_EQ(ejected.size(), 1u);
        }
    }
}

}  // namespace
}  // namespace ferrymark
