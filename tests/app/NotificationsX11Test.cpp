// End to end under Xvfb with a real notification server (dunst) on the test's own session
// bus: a paste through the application's command path is stopped part-way, the server shows
// the notification, its action is invoked through the server, and the list window opens.
// Run through tests/run-x11.sh; screenshots go to $FERRYMARK_E2E_OUT.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "FakeBridge.h"
#include "StandInNotificationServer.h"
#include "TestTree.h"
#include "UiWait.h"
#include "app/AppDelegate.h"
#include "app/DesktopNotifications.h"
#include "app/TransferNotices.h"
#include "app/WindowMenu.h"
#include "engine/CopyHandler.h"
#include "ui/CutCopyWController.h"
#include "ui/QtJobHost.h"
#include "ui/TransferReportWindow.h"

namespace ferrymark {
namespace {

using testing::UiWait;

QString outDir() {
    const QString dir = qEnvironmentVariableIsEmpty("FERRYMARK_E2E_OUT")
                            ? QStringLiteral(FERRYMARK_E2E_OUT_DEFAULT)
                            : qEnvironmentVariable("FERRYMARK_E2E_OUT");
    QDir().mkpath(dir);
    return dir;
}

// Lets the event loop run for a while: the server draws in its own time.
void settle(int ms) {
    QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10'000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class NotificationsX11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY") ||
            qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
            QGuiApplication::platformName() != QStringLiteral("xcb")) {
            GTEST_SKIP() << "needs an X display and a private session bus: run through "
                            "tests/run-x11.sh";
        }
        for (const char* tool : {"dunst", "dunstctl", "dbus-monitor"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed; run scripts/install-deps.sh";
            }
        }
        // run-x11.sh gives each run a bus of its own; a server on it is someone else's.
        if (DesktopNotifications().serverPresent()) {
            GTEST_SKIP() << "a notification server already runs on this bus";
        }
    }
    void TearDown() override {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            server_.waitForFinished(5000);
        }
    }

    bool startServer() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The packaged defaults, not a user's own settings.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
        server_.setProcessEnvironment(env);
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(QStringLiteral("dunst"), {});
        DesktopNotifications probe;
        return UiWait::until([&] { return probe.serverPresent(); });
    }

    QTemporaryDir config_;
    QProcess server_;
};

// With nothing owning the name, nothing is posted, and a server that is installed but not
// running is not started behind the user's back (it may have no display to show on).
TEST_F(NotificationsX11Test, WithoutAServerNothingIsPostedOrStarted) {
    DesktopNotifications notifications;
    EXPECT_FALSE(notifications.serverPresent());
    EXPECT_EQ(notifications.post(QStringLiteral("summary"), QStringLiteral("body")), 0u);
    EXPECT_FALSE(notifications.serverPresent());
}

TEST_F(NotificationsX11Test, AStoppedPasteIsNotifiedAndItsActionOpensTheList) {
    ASSERT_TRUE(startServer());
    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("interface='org.freedesktop.Notifications',member='Notify'")});
    ASSERT_TRUE(monitor.waitForStarted());

    test::TestTree tree;
    QtJobHost host;
    testing::FakeBridge bridge;
    bridge.target = tree.mkdir("target");
    const std::string source = tree.path("big.bin");
    QFile big(QString::fromStdString(source));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    // Real data, not a hole a copy may skip: the copy must last until it is paused.
    const QByteArray chunk(1 << 20, 'f');
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(big.write(chunk), chunk.size());
    }
    big.close();

    AppEnvironment env;
    env.host = &host;
    env.bridge = &bridge;
    env.readClipboard = [&] { return CopiedFiles{{source}}; };
    env.settingsPath = QString::fromStdString(tree.path("settings.ini"));
    env.autostartFolder = QString::fromStdString(tree.path("autostart"));
    env.aboutDocument = QStringLiteral("/about.pdf");
    env.openDocument = [](const QString&) { return true; };
    env.registerHotKeys = false;
    env.showTrayIcon = false;
    AppDelegate delegate(env);
    delegate.clickLicenseAgree();
    QCoreApplication::processEvents();

    // Stopped part-way with the progress window's own button.
    delegate.doPaste(nullptr);
    WindowMenu* menu = delegate.findChild<WindowMenu*>();
    ASSERT_TRUE(UiWait::until(
        [&] { return !menu->jobs().empty() && menu->jobs().front()->dataProcessed() > 0; }));
    std::shared_ptr<CopyHandler> job = menu->jobs().front();
    job->togglePause();  // so that it is still running when its window comes up
    auto* progress = dynamic_cast<CutCopyWController*>(job->wController());
    job.reset();  // the job and its window go when the transfer ends
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(UiWait::until(
        [&] { return progress->isWindowLoaded() && progress->window()->isVisible(); }));
    progress->btStopProcess()->click();
    ASSERT_TRUE(UiWait::until([&] { return delegate.transfers().running() == 0; }));

    // The server has it up, and what it was sent is what we meant to say.
    ASSERT_TRUE(UiWait::until([] {
        return run(QStringLiteral("dunstctl"),
                   {QStringLiteral("count"), QStringLiteral("displayed")}) == "1";
    }));
    QString sent;
    ASSERT_TRUE(UiWait::until([&] {
        sent += QString::fromUtf8(monitor.readAllStandardOutput());
        return sent.contains(QStringLiteral("Show the list"));
    }));
    for (const char* part :
         {"string \"Ferrymark\"", "string \"ferrymark\"", "string \"Transfer to “target” stopped\"",
          "string \"0 items transferred", "string \"default\"", "string \"details\"",
          "string \"desktop-entry\""}) {
        EXPECT_TRUE(sent.contains(QString::fromUtf8(part))) << part << " in\n"
                                                            << sent.toStdString();
    }
    monitor.terminate();
    monitor.waitForFinished(5000);
    settle(500);
    QGuiApplication::primaryScreen()->grabWindow(0).save(outDir() + "/notification-stopped.png");

    // The user picks it in the server; the list comes up.
    EXPECT_TRUE(delegate.notices().windows().isEmpty());
    run(QStringLiteral("dunstctl"), {QStringLiteral("action"), QStringLiteral("0")});
    ASSERT_TRUE(UiWait::until([&] { return !delegate.notices().windows().isEmpty(); }));
    TransferReportWindow* window = delegate.notices().windows().front();
    ASSERT_TRUE(UiWait::until([&] { return window->isVisible() && window->isActiveWindow(); }));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Transfer to “target” stopped"));
    // The one file was cut short: none transferred, whatever else the list holds.
    EXPECT_TRUE(window->summary()->text().startsWith(QStringLiteral("0 items transferred")));
    EXPECT_FALSE(window->list()->toPlainText().isEmpty());
    window->grab().save(outDir() + "/notification-list-window.png");
    QGuiApplication::primaryScreen()->grabWindow(0).save(outDir() + "/notification-list.png");
    // The partial copy went with the stop; the source stays.
    EXPECT_FALSE(tree.exists("target/big.bin"));
    EXPECT_TRUE(tree.exists("big.bin"));
}

// What goes over the bus, against a stand-in server: the arguments of a message, paths
// kept whole for a server that reads markup, and only our own messages' signals heard.
TEST(DesktopNotificationsTest, MessagesAndSignalsOnTheBus) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        GTEST_SKIP() << "needs a private session bus: run through tests/run-x11.sh";
    }
    const QString body = QStringLiteral("/src/a <b> & c");
    struct Case {
        const char* name;
        QStringList capabilities;
        QString bodySent;
        bool actions;
    };
    const Case cases[] = {
        {"plain text server", {"body", "actions"}, body, true},
        {"markup server", {"body", "body-markup", "actions"}, "/src/a &lt;b&gt; &amp; c", true},
        {"server without actions", {"body"}, body, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::StandInNotificationServer server(c.capabilities);
        ASSERT_TRUE(server.registered()) << "another notification server owns the name";
        DesktopNotifications notifications;
        ASSERT_TRUE(notifications.serverPresent());
        EXPECT_EQ(notifications.supportsActions(), c.actions);
        const QStringList actions = {"default", "Show", "details", "Show"};
        const quint32 ours = notifications.post("Summary", body, actions, true);
        const quint32 quiet = notifications.post("Done", QString());
        ASSERT_NE(ours, 0u);
        ASSERT_EQ(server.received().size(), 2u);
        const auto sent = server.received()[0];
        EXPECT_EQ(sent.appName, "Ferrymark");
        EXPECT_EQ(sent.icon, "ferrymark");
        EXPECT_EQ(sent.summary, "Summary");
        EXPECT_EQ(sent.body, c.bodySent);
        EXPECT_EQ(sent.actions, actions);
        EXPECT_EQ(sent.hints.value("desktop-entry").toString(), "org.ferrymark.Ferrymark");
        EXPECT_EQ(sent.timeout, 0);  // stays up until the user has seen it
        EXPECT_EQ(server.received()[1].timeout, -1);

        std::vector<std::pair<quint32, QString>> heard;
        std::vector<quint32> closed;
        QObject::connect(&notifications, &INotifier::actionInvoked,
                         [&](quint32 id, const QString& key) { heard.emplace_back(id, key); });
        QObject::connect(&notifications, &INotifier::closed,
                         [&](quint32 id) { closed.push_back(id); });
        server.sendActionInvoked(ours + 100, "default");  // another program's message
        server.sendClosed(ours + 100);
        server.sendActionInvoked(ours, "details");
        server.sendClosed(quiet);
        ASSERT_TRUE(UiWait::until([&] { return !heard.empty() && !closed.empty(); }));
        settle(200);  // anything else that was coming
        EXPECT_EQ(heard, (std::vector<std::pair<quint32, QString>>{{ours, "details"}}));
        EXPECT_EQ(closed, (std::vector<quint32>{quiet}));
    }
}

}  // namespace
}  // namespace ferrymark
