#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTranslator>
#include <cstdio>

#include "FerrymarkVersion.h"

#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/SignalRelay.h"
#include "app/X11FileManagerBridge.h"
#include "ui/QtJobHost.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "Ferrymark needs a graphical desktop session, and none was found (no "
                     "DISPLAY); start it from a terminal or the applications menu inside your "
                     "desktop session.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrymark"));
    QApplication::setApplicationVersion(QStringLiteral(FERRYMARK_VERSION));
    QApplication::setWindowIcon(ferrymark::AppIcon::statusImage());
    QGuiApplication::setDesktopFileName(QStringLiteral("ferrymark"));
    app.setQuitOnLastWindowClosed(false);
    // The user's language: Qt's own texts and ours; English where there is none.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTexts);
    }
    QTranslator ownTexts;
    if (ownTexts.load(QLocale(), QStringLiteral("ferrymark"), QStringLiteral("_"),
                      QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(&ownTexts);
    }

    ferrymark::QtJobHost host;
    std::unique_ptr<ferrymark::X11FileManagerBridge> bridge =
        ferrymark::X11FileManagerBridge::create();
    ferrymark::AppEnvironment env;
    env.host = &host;
    env.bridge = bridge.get();
    if (bridge) {
        host.setDeactivateHook([b = bridge.get()] { b->activateFileManager(); });
    }
    ferrymark::AppDelegate delegate(env);
    QObject::connect(&delegate, &ferrymark::AppDelegate::terminateRequested, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

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
