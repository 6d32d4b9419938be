#pragma once

#include <optional>
#include <string_view>

namespace ferrymark {

// The file managers whose windows the paste commands work with.
class FileManagers {
  public:
    enum class Kind { Nautilus, Nemo, Caja, Thunar, PcmanfmQt, Dolphin };

    // The file manager owning a window, by the second string of its WM_CLASS, matched
    // without regard to letter case.
    static std::optional<Kind> fromWindowClass(std::string_view windowClass);

    // The file manager owning a Wayland window, by its app id (or, for an XWayland
    // window, its WM_CLASS class), matched without regard to letter case.
    static std::optional<Kind> fromAppId(std::string_view appId);

    // The name used in log lines.
    static std::string_view name(Kind kind);
};

}  // namespace ferrymark
