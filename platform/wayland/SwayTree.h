#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>

namespace ferrymark {

// A window as sway's layout tree describes it.
struct SwayWindow {
    std::int64_t conId = 0;
    std::string appId;        // native Wayland windows
    std::string windowClass;  // XWayland windows: WM_CLASS's class
    std::string title;
    std::int64_t pid = 0;
};

// Reads sway's layout tree (swaymsg -t get_tree).
class SwayTree {
  public:
    // The focused window, or nothing when the focus is on no window (an empty workspace)
    // or the text is not a tree.
    static std::optional<SwayWindow> focusedWindow(const QByteArray& json);

    // The window with this container id, wherever it is in the tree.
    static std::optional<SwayWindow> window(const QByteArray& json, std::int64_t conId);
};

}  // namespace ferrymark
