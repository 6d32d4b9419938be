#include "platform/FileManagers.h"

#include <array>
#include <utility>

namespace ferrymark {

namespace {

struct Entry {
    std::string_view windowClass;
    FileManagers::Kind kind;
    std::string_view name;
    // The app id of its native Wayland windows where it is not the window class.
    std::string_view appId = {};
};

// The one list of file managers we recognise.
constexpr std::array kFileManagers = {
    Entry{"org.gnome.Nautilus", FileManagers::Kind::Nautilus, "Nautilus"},
    Entry{"Nemo", FileManagers::Kind::Nemo, "Nemo"},
    Entry{"Caja", FileManagers::Kind::Caja, "Caja"},
    Entry{"Thunar", FileManagers::Kind::Thunar, "Thunar", "org.xfce.Thunar"},
    Entry{"pcmanfm-qt", FileManagers::Kind::PcmanfmQt, "PCManFM-Qt"},
    Entry{"dolphin", FileManagers::Kind::Dolphin, "Dolphin", "org.kde.dolphin"},
};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<FileManagers::Kind> FileManagers::fromWindowClass(std::string_view windowClass) {
    for (const Entry& entry : kFileManagers) {
        if (equalNoCase(entry.windowClass, windowClass)) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

std::optional<FileManagers::Kind> FileManagers::fromAppId(std::string_view appId) {
    for (const Entry& entry : kFileManagers) {
        if (!entry.appId.empty() && equalNoCase(entry.appId, appId)) {
            return entry.kind;
        }
    }
    return fromWindowClass(appId);
}

std::string_view FileManagers::name(Kind kind) {
    for (const Entry& entry : kFileManagers) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return "file manager";
}

}  // namespace ferrymark
