#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CopiedFiles.h"
#include "platform/IFileManagerBridge.h"
#include "platform/IKeyGrabber.h"
#include "platform/wayland/DesktopSession.h"

namespace ferrymark {

// The desktop pieces that suit this session, chosen once at start-up: where the copied
// files are read, which window is in front, and how the hot keys reach us.
struct SessionPlatform {
    DesktopSession::Kind kind = DesktopSession::Kind::None;
    std::unique_ptr<IFileManagerBridge> bridge;  // null: the X11 bridge, when Qt is on X11
    std::function<CopiedFiles()> readClipboard;  // empty: Qt's clipboard
    bool hotKeys = true;                         // false: nothing grabs keys for us here
    std::unique_ptr<IKeyGrabber> keyGrabber;     // null: X11's, when hot keys are on
    // Told to the user once per kind of session: how the keys work here. Empty: nothing.
    QString noticeKey;
    QString notice;
    // Which way each piece works, for the log.
    std::vector<std::string> logLines;

    // Before the QApplication exists: the Qt platform the session needs, through
    // QT_QPA_PLATFORM. True when set here; it should go once the QApplication exists, so
    // that programs we start (a document viewer) choose their own.
    static bool prepareQt(const DesktopSession::Environment& environment);

    // With the QApplication running.
    static SessionPlatform choose(const DesktopSession::Environment& environment,
                                  QDBusConnection bus, std::int64_t ownPid);

    // The notice for a kind of session, by whether the desktop portal binds our keys
    // (GlobalShortcuts on the bus), with the name under which it is told once: a desktop
    // that gains the portal has news for a user told the old notice. Empty: nothing to tell.
    static QString shortcutNotice(DesktopSession::Kind kind, bool portalKeys);
    static QString noticeName(DesktopSession::Kind kind, bool portalKeys);
};

}  // namespace ferrymark
