// Transfers where the desktop shows progress: Plasma's list of file transfers (a stand-in
// of its job view service, checked against Plasma's own interfaces) and the launcher
// entry of docks, on a private session bus; and nothing at all where neither is there.
#include "app/DesktopProgress.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <memory>
#include <thread>

#include "JobViewInterfaces.h"
#include "PrivateBus.h"
#include "StandInJobViewServer.h"
#include "UiWait.h"
#include "app/PlasmaJobView.h"
#include "engine/CopyHandler.h"
#include "ui/QtJobHost.h"

namespace ferrymark {
namespace {

using testing::JobViewInterfaces;
using testing::PrivateBus;
using testing::StandInJobViewServer;
using testing::UiWait;

TEST(JobViewInterfacesTest, TheStandInDeclaresWhatPlasmaOffers) {
    QString library;
    const auto installed = JobViewInterfaces::installed(&library);
    if (installed.isEmpty()) {
        GTEST_SKIP() << "Plasma's notification library (libnotificationmanager1) is not "
                        "installed; run scripts/install-deps.sh";
    }
    const auto declared = JobViewInterfaces::declared();
    int compared = 0;
    for (auto it = declared.begin(); it != declared.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        if (!installed.contains(it.key())) {
            // Plasma 6 may drop the older kind; Ferrymark then takes the newer one.
            std::cout << it.key().toStdString() << " is not in " << library.toStdString() << "\n";
            continue;
        }
        ++compared;
        EXPECT_EQ(JobViewInterfaces::signatures(it.value(), it.key()),
                  JobViewInterfaces::signatures(installed.value(it.key()), it.key()));
    }
    // The newer kind is what Plasma 5.27 and 6 use.
    EXPECT_TRUE(installed.contains("org.kde.JobViewServerV2")) << library.toStdString();
    EXPECT_TRUE(installed.contains("org.kde.JobViewV3")) << library.toStdString();
    EXPECT_GE(compared, 2);
}

// Listens to docks' signal as a dock does: from anyone.
class LauncherListener : public QObject {
    Q_OBJECT
  public:
    explicit LauncherListener(QDBusConnection bus) {
        bus.connect(QString(), QString(), LauncherEntry::kInterface, QStringLiteral("Update"), this,
                    SLOT(onUpdate(QString, QVariantMap)));
    }
    QList<std::pair<QString, QVariantMap>> updates;

  public slots:
    void onUpdate(const QString& uri, const QVariantMap& properties) {
        updates.append({uri, properties});
    }
};

class DesktopProgressTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<PrivateBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override {
        if (!bus_->error().isEmpty()) {
            GTEST_SKIP() << "no private bus: " << bus_->error().toStdString()
                         << "; run scripts/install-deps.sh";
        }
        ASSERT_TRUE(dir.isValid());
        client = QDBusConnection::connectToBus(bus_->address(), QStringLiteral("progress-client"));
        ASSERT_TRUE(client.isConnected());
        source = dir.filePath(QStringLiteral("big.bin"));
        target = dir.filePath(QStringLiteral("Backup"));
        ASSERT_TRUE(QDir().mkdir(target));
        QFile big(source);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        // Real data, not holes, so that the copy takes a while.
        const QByteArray block(1 << 20, 'x');
        for (int i = 0; i < kBigMiB; ++i) {
            ASSERT_EQ(big.write(block), block.size());
        }
    }
    void TearDown() override {
        if (job && worker.joinable()) {
            job->cancelTask();
            if (job->paused()) {
                job->togglePause();
            }
            UiWait::until([&] { return done.load(); });
            worker.join();
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("progress-client"));
    }

    // A copy of the big file running on a worker, listed with progress.
    void start(DesktopProgress& progress) {
        job = CopyHandler::initWithFiles({source.toStdString()}, host);
        ASSERT_TRUE(job);
        job->setTargetPath(target.toStdString());
        job->setCurrentTarget("Backup");
        progress.add(job);
        worker = std::thread([this] {
            job->copyFilesTo(target.toStdString());
            done = true;
        });
        ASSERT_TRUE(UiWait::until([&] { return job->dataProcessed() > 0; }));
    }
    // The job goes on, then stops again, as a view's buttons made it.
    bool resumedThenPaused(StandInJobViewServer& server, const QString& view) {
        const std::int64_t before = job->dataProcessed();
        server.press(view, QStringLiteral("resumeRequested"));
        if (!UiWait::until([&] { return !job->paused() && job->dataProcessed() > before; })) {
            return false;
        }
        server.press(view, QStringLiteral("suspendRequested"));
        return UiWait::until([&] { return job->paused(); });
    }
    void stopFromTheView(StandInJobViewServer& server, const QString& view,
                         DesktopProgress& progress) {
        server.press(view, QStringLiteral("cancelRequested"));
        ASSERT_TRUE(UiWait::until([&] { return done.load(); }));
        worker.join();
        EXPECT_TRUE(job->cancelled());
        progress.remove(job.get());
        EXPECT_EQ(progress.viewOf(job.get()), nullptr);
    }

    static constexpr int kBigMiB = 128;
    static inline std::unique_ptr<PrivateBus> bus_;
    QTemporaryDir dir;
    QDBusConnection client{QString()};
    QString source;
    QString target;
    QtJobHost host;
    std::shared_ptr<CopyHandler> job;
    std::thread worker;
    std::atomic<bool> done{false};
};

TEST_F(DesktopProgressTest, PlasmaListsTheTransferAndItsButtonsActOnIt) {
    StandInJobViewServer server(bus_->address(), true);
    ASSERT_TRUE(server.registered());
    DesktopProgress progress(client, {});
    start(progress);
    job->togglePause();
    ASSERT_TRUE(UiWait::until([&] { return !server.views.isEmpty(); }));
    const QString view = server.views.front();

    const auto requests = server.callsOf(QStringLiteral("requestView"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].interface, "org.kde.JobViewServerV2");
    EXPECT_EQ(requests[0].arguments.value(0).toString(), "org.ferrymark.Ferrymark");
    EXPECT_EQ(requests[0].arguments.value(1).toInt(), PlasmaJobView::kCapabilities);
    EXPECT_TRUE(requests[0].arguments.value(2).toMap().value("immediate").toBool());
    EXPECT_TRUE(requests[0].arguments.value(2).toMap().value("transient").toBool());

    // Paused by the window's button: the view follows at the next beat.
    ASSERT_TRUE(UiWait::until([&] { return server.updated().value("suspended").toBool(); }));
    const QVariantMap state = server.updated();
    EXPECT_EQ(state.value("title").toString(), "Copying");
    EXPECT_EQ(state.value("descriptionLabel1").toString(), "Source");
    EXPECT_EQ(state.value("descriptionValue1").toString(), source);
    EXPECT_EQ(state.value("descriptionLabel2").toString(), "Destination");
    EXPECT_EQ(state.value("descriptionValue2").toString(), target);
    EXPECT_EQ(state.value("destUrl").toString(), QUrl::fromLocalFile(target).toString());
    EXPECT_EQ(state.value("totalBytes").toULongLong(), qulonglong(kBigMiB) << 20);
    EXPECT_EQ(state.value("totalFiles").toULongLong(), 1u);
    EXPECT_GT(state.value("processedBytes").toULongLong(), 0u);
    EXPECT_LE(state.value("percent").toUInt(), 100u);
    EXPECT_EQ(progress.viewOf(job.get())->viewPath(), view);

    EXPECT_TRUE(resumedThenPaused(server, view));
    stopFromTheView(server, view, progress);
    ASSERT_TRUE(UiWait::until([&] { return !server.callsOf("terminate").empty(); }));
    const auto ends = server.callsOf(QStringLiteral("terminate"));
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].path, view);
    EXPECT_EQ(ends[0].arguments.value(0).toUInt(), 1u) << "stopped by the user";
    EXPECT_TRUE(server.wrongSignatures.isEmpty())
        << server.wrongSignatures.join(", ").toStdString();
}

TEST_F(DesktopProgressTest, AnOlderServiceGetsTheOlderCalls) {
    StandInJobViewServer server(bus_->address(), false);
    ASSERT_TRUE(server.registered());
    DesktopProgress progress(client, {});
    start(progress);
    job->togglePause();
    // Paused by the window's button: the view follows at the next beat.
    ASSERT_TRUE(UiWait::until([&] {
        const auto calls = server.callsOf(QStringLiteral("setSuspended"));
        return !calls.empty() && calls.back().arguments == QVariantList{true};
    }));
    const QString view = server.views.value(0);

    const auto requests = server.callsOf(QStringLiteral("requestView"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].interface, "org.kde.JobViewServer");
    EXPECT_EQ(requests[0].arguments,
              (QVariantList{"Ferrymark", "ferrymark", PlasmaJobView::kCapabilities}));
    const auto argumentsOf = [&](const char* member) {
        QList<QVariantList> out;
        for (const auto& call : server.callsOf(QLatin1String(member))) {
            out << call.arguments;
        }
        return out;
    };
    EXPECT_EQ(argumentsOf("setInfoMessage").value(0), QVariantList{"Copying"});
    EXPECT_TRUE(argumentsOf("setDescriptionField").contains(QVariantList{0u, "Source", source}));
    EXPECT_TRUE(
        argumentsOf("setDescriptionField").contains(QVariantList{1u, "Destination", target}));
    EXPECT_TRUE(argumentsOf("setTotalAmount")
                    .contains(QVariantList{qulonglong(kBigMiB) << 20, QStringLiteral("bytes")}));
    EXPECT_TRUE(
        argumentsOf("setTotalAmount").contains(QVariantList{1ull, QStringLiteral("files")}));
    EXPECT_FALSE(argumentsOf("setProcessedAmount").isEmpty());

    EXPECT_TRUE(resumedThenPaused(server, view));
    stopFromTheView(server, view, progress);
    ASSERT_TRUE(UiWait::until([&] { return !server.callsOf("terminate").empty(); }));
    EXPECT_EQ(argumentsOf("terminate"), QList<QVariantList>{QVariantList{"Stopped"}});
    EXPECT_TRUE(server.wrongSignatures.isEmpty())
        << server.wrongSignatures.join(", ").toStdString();
}

TEST_F(DesktopProgressTest, DocksSeeTheOverallProgressUntilTheLastTransferEnds) {
    LauncherListener dock(client);
    DesktopProgress progress(client, {});
    start(progress);
    ASSERT_TRUE(UiWait::until([&] {
        return !dock.updates.isEmpty() &&
               dock.updates.back().second.value("progress").toDouble() > 0.0;
    }));
    for (const auto& [uri, properties] : dock.updates) {
        EXPECT_EQ(uri, "application://org.ferrymark.Ferrymark.desktop");
        EXPECT_TRUE(properties.value("progress-visible").toBool());
        EXPECT_LE(properties.value("progress").toDouble(), 1.0);
    }
    // A dock that starts now asks.
    const QDBusMessage reply = client.call(
        QDBusMessage::createMethodCall(client.baseService(), LauncherEntry::kPath,
                                       LauncherEntry::kInterface, QStringLiteral("Query")));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.arguments().value(0).toString(), LauncherEntry::kAppUri);

    job->cancelTask();
    ASSERT_TRUE(UiWait::until([&] { return done.load(); }));
    worker.join();
    progress.remove(job.get());
    ASSERT_TRUE(UiWait::until(
        [&] { return !dock.updates.back().second.value("progress-visible").toBool(); }));
}

TEST_F(DesktopProgressTest, WithoutEitherServiceNothingChanges) {
    std::vector<std::string> log;
    DesktopProgress progress(QDBusConnection(QString()),
                             [&](const std::string& line) { log.push_back(line); });
    start(progress);
    job->togglePause();
    // Looked for once the job has run as long as its window takes to come up.
    ASSERT_TRUE(UiWait::until([&] { return !log.empty(); }));
    EXPECT_EQ(progress.viewOf(job.get()), nullptr);
    std::shared_ptr<CopyHandler> second = CopyHandler::initWithFiles({source.toStdString()}, host);
    second->setTargetPath(target.toStdString());
    progress.add(second);
    QElapsedTimer waited;
    waited.start();
    UiWait::until([&] { return waited.elapsed() > 3 * DesktopProgress::kViewDelay.count(); });
    EXPECT_EQ(progress.viewOf(second.get()), nullptr);
    progress.remove(second.get());
    EXPECT_EQ(log.size(), 1u) << "told more than once";
}

}  // namespace
}  // namespace ferrymark

#include "DesktopProgressTest.moc"
