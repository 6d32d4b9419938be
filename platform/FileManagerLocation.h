#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileManagers.h"
#include "platform/InsertionLocation.h"

namespace ferrymark {

// Works out a file-manager window's folder from what the window tells: its title, and
// for Nautilus the locations of its tabs. Every location found is an existing folder.
class FileManagerLocation {
  public:
    // The folder in a window's title: Thunar "<path> - Thunar", Nemo "<name> - <path>",
    // Dolphin "<path> — Dolphin", each only with its full-path title option on. The
    // others show no path.
    static InsertionLocation fromTitle(FileManagers::Kind kind, std::string_view title);

    // The folder of a Nautilus window from its tabs' URIs (tab-creation order): the one
    // tab, or the tab whose display name is the window title. A tie stays unresolved.
    static InsertionLocation fromNautilusTabs(std::string_view title,
                                              const std::vector<std::string>& tabUris,
                                              std::string_view home);

    // Nautilus's title while a folder loads: its location is not settled yet.
    static bool isLoadingTitle(std::string_view title);

    // The name Nautilus shows for a folder: "Home" for home, "/" for the root.
    static std::string nautilusDisplayName(std::string_view path, std::string_view home);
};

}  // namespace ferrymark
