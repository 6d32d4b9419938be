#pragma once

#include <string>
#include <string_view>

namespace ferrymark {

// What kind of desktop session the program runs in, from the variables the session sets.
class DesktopSession {
  public:
    enum class Kind {
        X11,           // an X11 session, or an X display alone
        GnomeWayland,  // GNOME Shell: no data-control, no window in front to ask
        KdeWayland,    // Plasma: data-control, KWin scripting, kglobalaccel
        Sway,          // sway: data-control, its IPC tree
        OtherWayland,  // another Wayland compositor: data-control perhaps, no window
        None,          // no display at all
    };

    struct Environment {
        std::string sessionType;     // XDG_SESSION_TYPE
        std::string currentDesktop;  // XDG_CURRENT_DESKTOP, colon-separated
        std::string waylandDisplay;  // WAYLAND_DISPLAY
        std::string display;         // DISPLAY
        std::string swaySocket;      // SWAYSOCK
        std::string qtPlatform;      // QT_QPA_PLATFORM as the user set it
    };

    static Environment fromProcess();
    static Kind detect(const Environment& environment);
    static std::string_view name(Kind kind);

    // The Qt platform to start with, or empty to leave Qt to choose. On GNOME's Wayland
    // session we run as an XWayland client: Mutter hands the clipboard to X11 clients
    // without asking for a focused window. A platform the user chose is kept.
    static std::string qtPlatform(Kind kind, const Environment& environment);
};

}  // namespace ferrymark
