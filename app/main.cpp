#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "FerrymarkVersion.h"

#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/CommandLine.h"
#include "app/DesktopId.h"
#include "app/GlobalEventHandler.h"
#include "app/InstanceClient.h"
#include "app/InstanceService.h"
#include "app/SchemePalette.h"
#include "app/SessionPlatform.h"
#include "app/SignalRelay.h"
#include "app/UserLanguage.h"
#include "engine/InFlightRecord.h"
#include "platform/freedesktop/DesktopColourScheme.h"
#include "platform/wayland/DesktopSession.h"
#include "platform/x11/X11FileManagerBridge.h"
#include "ui/QtJobHost.h"
#include "ui/SystemLog.h"

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

const char* const kNoDisplay =
    "Ferrymark needs a graphical desktop session, and none was found (no DISPLAY); start it "
    "from a terminal or the applications menu inside your desktop session.\n";

// Options are handled without a display: they print, or hand a command to the running
// instance. Returns the exit status, or -1 to go on and start the tray application.
int runCommandLine(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ferrymark"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FERRYMARK_VERSION));
    // The bytes as given, and the working folder as the system has it: a folder's name
    // need not be valid UTF-8, and decoding would lose it.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(QByteArray(argv[i]));
    }
    std::error_code error;
    const auto line = ferrymark::CommandLine::parse(
        arguments, QByteArray::fromStdString(std::filesystem::current_path(error).native()));
    using Action = ferrymark::CommandLine::Action;
    switch (line.action) {
        case Action::Run:
            return -1;
        case Action::Help:
        case Action::Version:
            std::fputs(line.text.toLocal8Bit().constData(), stdout);
            return 0;
        case Action::Error:
            std::fprintf(stderr, "ferrymark: %s\n", line.text.toLocal8Bit().constData());
            return 2;
        case Action::Paste:
        case Action::Move:
            break;
    }
    const auto outcome = ferrymark::InstanceClient::send(
        QDBusConnection::sessionBus(), line.action == Action::Move, line.folder,
        hasDisplay() ? QCoreApplication::applicationFilePath() : QString());
    if (!outcome.delivered) {
        std::fprintf(stderr, "ferrymark: %s\n", outcome.error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        if (const int status = runCommandLine(argc, argv); status >= 0) {
            return status;
        }
    }
    if (!hasDisplay()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    const auto session = ferrymark::DesktopSession::fromProcess();
    const bool platformSet = ferrymark::SessionPlatform::prepareQt(session);
    QApplication app(argc, argv);
    if (platformSet) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    QApplication::setApplicationName(QStringLiteral("Ferrymark"));
    QApplication::setApplicationVersion(QStringLiteral(FERRYMARK_VERSION));
    QApplication::setWindowIcon(ferrymark::AppIcon::statusImage());
    QGuiApplication::setDesktopFileName(ferrymark::DesktopId::kId);
    app.setQuitOnLastWindowClosed(false);
    const ferrymark::UserLanguage language(QStringLiteral(":/i18n"));

    ferrymark::InFlightRecord::cleanUpLeftovers();

    // Dark or light as the desktop is, switching live.
    ferrymark::SchemePalette schemePalette;
    const auto colourScheme = ferrymark::DesktopColourScheme::forSession();
    QObject::connect(
        colourScheme.get(), &ferrymark::DesktopColourScheme::changed, &app,
        [&schemePalette](ferrymark::ColourScheme scheme) { schemePalette.apply(scheme); });
    colourScheme->start();

    // One Ferrymark per session: a second start leaves the first alone.
    ferrymark::InstanceService service(QDBusConnection::sessionBus());
    switch (service.claim()) {
        case ferrymark::InstanceService::Claim::HeldByAnother:
            std::fputs("Ferrymark is already running in this session.\n", stderr);
            return 0;
        case ferrymark::InstanceService::Claim::NoBus:
            std::fputs(
                "Ferrymark: no session bus; --paste and --move cannot reach this "
                "instance.\n",
                stderr);
            break;
        case ferrymark::InstanceService::Claim::Owned:
            break;
    }

    ferrymark::SessionPlatform platform = ferrymark::SessionPlatform::choose(
        session, QDBusConnection::sessionBus(), QCoreApplication::applicationPid());
    for (const std::string& line : platform.logLines) {
        ferrymark::SystemLog::write(line);
    }
    std::unique_ptr<ferrymark::IFileManagerBridge> bridge = std::move(platform.bridge);
    if (!bridge) {
        bridge = ferrymark::X11FileManagerBridge::create();
    }
    ferrymark::QtJobHost host;
    ferrymark::AppEnvironment env;
    env.host = &host;
    env.bridge = bridge.get();
    env.readClipboard = platform.readClipboard;
    env.registerHotKeys = platform.hotKeys;
    if (platform.keyGrabber) {
        ferrymark::GlobalEventHandler::useGrabber(std::move(platform.keyGrabber));
    }
    env.sessionNoticeKey = platform.noticeKey;
    env.sessionNotice = platform.notice;
    env.confirm = [](const QString& question) {
        return QMessageBox::question(nullptr, QStringLiteral("Ferrymark"), question) ==
               QMessageBox::Yes;
    };
    if (bridge) {
        host.setDeactivateHook([b = bridge.get()] { b->activateFileManager(); });
    }
    ferrymark::AppDelegate delegate(env);
    QObject::connect(&delegate, &ferrymark::AppDelegate::terminateRequested, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&service, &ferrymark::InstanceService::commandRequested, &delegate,
                     &ferrymark::AppDelegate::runCommand);

    ferrymark::SignalRelay signalRelay;
    QObject::connect(&signalRelay, &ferrymark::SignalRelay::terminationRequested, &delegate,
                     [&delegate] { delegate.terminateFromSignal(); });
    // The session ending asks too; with transfers running the user may cancel it.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &delegate,
        [&delegate](QSessionManager& manager) {
            if (manager.allowsInteraction() && !delegate.applicationShouldTerminate()) {
                manager.cancel();
            }
            manager.release();
        });

    delegate.applicationDidFinishLaunching();
    if (delegate.terminated()) {
        return 0;
    }
    return app.exec();
}
