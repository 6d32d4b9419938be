#include "platform/wayland/DesktopSession.h"

#include <QString>
#include <QStringList>
#include <cstdlib>

namespace ferrymark {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Whether the colon-separated desktop list names desktop.
bool names(const std::string& desktops, const char* desktop) {
    return QString::fromStdString(desktops)
        .split(QLatin1Char(':'))
        .contains(QLatin1String(desktop), Qt::CaseInsensitive);
}

}  // namespace

DesktopSession::Environment DesktopSession::fromProcess() {
    return {variable("XDG_SESSION_TYPE"), variable("XDG_CURRENT_DESKTOP"),
            variable("WAYLAND_DISPLAY"),  variable("DISPLAY"),
            variable("SWAYSOCK"),         variable("QT_QPA_PLATFORM")};
}

DesktopSession::Kind DesktopSession::detect(const Environment& e) {
    // An X11 session keeps X11 even where a nested compositor left WAYLAND_DISPLAY behind.
    const bool x11Session = e.sessionType == "x11" && !e.display.empty();
    if (e.waylandDisplay.empty() || x11Session) {
        return e.display.empty() ? Kind::None : Kind::X11;
    }
    const std::string& desktops = e.currentDesktop;
    if (names(desktops, "GNOME")) {
        return Kind::GnomeWayland;
    }
    if (names(desktops, "KDE")) {
        return Kind::KdeWayland;
    }
    // sway 1.7 sets no desktop name, but tells its children its socket.
    if (names(desktops, "sway") || !e.swaySocket.empty()) {
        return Kind::Sway;
    }
    return Kind::OtherWayland;
}

std::string_view DesktopSession::name(Kind kind) {
    switch (kind) {
        case Kind::X11:
            return "X11";
        case Kind::GnomeWayland:
            return "GNOME on Wayland";
        case Kind::KdeWayland:
            return "KDE Plasma on Wayland";
        case Kind::Sway:
            return "sway";
        case Kind::OtherWayland:
            return "Wayland";
        case Kind::None:
            break;
    }
    return "no display";
}

std::string DesktopSession::qtPlatform(Kind kind, const Environment& e) {
    if (!e.qtPlatform.empty()) {
        return e.qtPlatform;
    }
    if (kind == Kind::GnomeWayland && !e.display.empty()) {
        return "xcb";
    }
    return {};
}

}  // namespace ferrymark
