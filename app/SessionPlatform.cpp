#include "app/SessionPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/ClipboardReader.h"
#include "app/DesktopId.h"
#include "platform/NoWindowBridge.h"
#include "platform/wayland/KGlobalAccelKeyGrabber.h"
#include "platform/wayland/KWinFileManagerBridge.h"
#include "platform/wayland/PortalKeyGrabber.h"
#include "platform/wayland/SwayFileManagerBridge.h"
#include "platform/wayland/WlPasteClipboard.h"
#include "ui/SystemLog.h"

namespace ferrymark {

namespace {

using Kind = DesktopSession::Kind;

std::string qtPlatformLine(const DesktopSession::Environment& e) {
    const std::string platform = DesktopSession::qtPlatform(DesktopSession::detect(e), e);
    return "Qt platform: " + (platform.empty() ? std::string("Qt's own choice") : platform);
}

// sway's socket as its children know it, else the one sway made for this user.
QString swaySocket(const DesktopSession::Environment& e) {
    if (!e.swaySocket.empty()) {
        return QString::fromStdString(e.swaySocket);
    }
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    const QStringList sockets = runtime.entryList(
        {QStringLiteral("sway-ipc.%1.*.sock").arg(QFileInfo(runtime.path()).ownerId())},
        QDir::System, QDir::Time);
    return sockets.isEmpty() ? QString() : runtime.filePath(sockets.first());
}

}  // namespace

bool SessionPlatform::prepareQt(const DesktopSession::Environment& environment) {
    if (!environment.qtPlatform.empty()) {
        return false;
    }
    const std::string platform =
        DesktopSession::qtPlatform(DesktopSession::detect(environment), environment);
    if (platform.empty()) {
        return false;
    }
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    return true;
}

SessionPlatform SessionPlatform::choose(const DesktopSession::Environment& environment,
                                        QDBusConnection bus, std::int64_t ownPid) {
    SessionPlatform p;
    p.kind = DesktopSession::detect(environment);
    p.logLines.push_back("Desktop session: " + std::string(DesktopSession::name(p.kind)));
    p.logLines.push_back(qtPlatformLine(environment));
    switch (p.kind) {
        case Kind::X11:
        case Kind::None:
            p.logLines.push_back("Clipboard: Qt's, window in front and hot keys: X11");
            return p;
        case Kind::GnomeWayland:
            p.bridge = std::make_unique<NoWindowBridge>(
                "GNOME on Wayland tells no program which window is in front; use \"Paste "
                "Here with Ferrymark\" in the file manager's own menu");
            p.logLines.push_back(
                "Clipboard: Qt's, as an XWayland client; window in front: not told on GNOME");
            break;
        case Kind::KdeWayland:
        case Kind::Sway:
        case Kind::OtherWayland:
            if (WlPasteClipboard::available()) {
                p.readClipboard = [] {
                    return ClipboardReader::decode(WlPasteClipboard().targets());
                };
                p.logLines.push_back("Clipboard: wl-paste (the data-control protocol)");
            } else {
                p.logLines.push_back(
                    "Clipboard: Qt's, which reads nothing without a focused window here; "
                    "install wl-clipboard");
            }
            if (p.kind == Kind::KdeWayland) {
                p.bridge = KWinFileManagerBridge::create(bus, ownPid);
                p.logLines.push_back(p.bridge ? "Window in front: KWin scripting over D-Bus"
                                              : "Window in front: KWin is not on the session bus");
                p.keyGrabber = KGlobalAccelKeyGrabber::create(bus);
            }
            if (p.kind == Kind::Sway) {
                const QString socket = swaySocket(environment);
                p.bridge = SwayFileManagerBridge::create(socket, ownPid);
                p.logLines.push_back("Window in front: sway's tree through swaymsg" +
                                     (socket.isEmpty() ? std::string(", but no sway socket")
                                                       : " at " + socket.toStdString()));
            } else if (!p.bridge) {
                p.bridge = std::make_unique<NoWindowBridge>(
                    "this Wayland desktop tells no program which window is in front; use "
                    "\"Paste Here with Ferrymark\" in the file manager's own menu");
                p.logLines.push_back("Window in front: not told on this desktop");
            }
            break;
    }
    if (p.keyGrabber) {
        p.logLines.push_back("Hot keys: kglobalaccel");
        return p;
    }
    // The portal knows us by our desktop entry's name.
    p.keyGrabber = PortalKeyGrabber::create(bus, DesktopId::kId, &SystemLog::write);
    const bool portalKeys = p.keyGrabber != nullptr;
    p.noticeKey = noticeName(p.kind, portalKeys);
    p.notice = shortcutNotice(p.kind, portalKeys);
    if (portalKeys) {
        p.logLines.push_back("Hot keys: the desktop portal's GlobalShortcuts");
        return p;
    }
    p.hotKeys = false;
    p.logLines.push_back(
        "Hot keys: none of our own; bind \"ferrymark --paste\" and \"ferrymark --move\" in "
        "the desktop's shortcut settings");
    return p;
}

QString SessionPlatform::noticeName(DesktopSession::Kind kind, bool portalKeys) {
    const QString name = QString::fromUtf8(DesktopSession::name(kind).data());
    return portalKeys ? name + QStringLiteral(", keys through the portal") : name;
}

QString SessionPlatform::shortcutNotice(DesktopSession::Kind kind, bool portalKeys) {
    if (portalKeys) {
        if (kind != Kind::GnomeWayland) {
            return {};  // the keys work as anywhere
        }
        return QCoreApplication::translate(
            "SessionPlatform",
            "Ferrymark's keys come through the desktop portal here: GNOME asks you once to add "
            "them, and you can change them later under Settings, Apps, Ferrymark. GNOME still "
            "tells no program which folder is open, so a key can not paste into the window in "
            "front: choose \"Paste Here with Ferrymark\" in the file manager's menu to give the "
            "folder. GNOME shows Ferrymark's tray menu only with the AppIndicator extension "
            "(package gnome-shell-extension-appindicator).");
    }
    QString where;
    switch (kind) {
        case Kind::Sway:
            where = QCoreApplication::translate("SessionPlatform",
                                                "In sway's configuration, for example:\n"
                                                "bindsym Mod4+Mod1+v exec ferrymark --paste\n"
                                                "bindsym Mod4+Mod1+m exec ferrymark --move");
            break;
        case Kind::GnomeWayland:
            where = QCoreApplication::translate(
                "SessionPlatform",
                "GNOME tells no program which folder is open: choose \"Paste Here with "
                "Ferrymark\" in the file manager's menu, or add a custom shortcut under "
                "Settings, Keyboard that runs \"ferrymark --paste\" with a folder. GNOME "
                "shows Ferrymark's tray menu only with the AppIndicator extension "
                "(package gnome-shell-extension-appindicator).");
            break;
        default:
            where = QCoreApplication::translate(
                "SessionPlatform",
                "Add them in the desktop's keyboard settings as custom shortcuts that run "
                "\"ferrymark --paste\" and \"ferrymark --move\".");
            break;
    }
    return QCoreApplication::translate(
               "SessionPlatform",
               "On this Wayland desktop Ferrymark cannot take global keys for itself. %1")
        .arg(where);
}

}  // namespace ferrymark
