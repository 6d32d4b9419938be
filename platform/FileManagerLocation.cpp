#include "platform/FileManagerLocation.h"

#include <algorithm>

#include "platform/LocalPath.h"

namespace ferrymark {

namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/')) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

InsertionLocation existingFolder(FileManagers::Kind kind, std::string path) {
    if (!LocalPath::isDirectory(path)) {
        return InsertionLocation::none(std::string(FileManagers::name(kind)) + " shows " +
                                       quoted(path) + ", which is not an existing folder");
    }
    return InsertionLocation::at(std::move(path));
}

InsertionLocation noPathInTitle(FileManagers::Kind kind, std::string_view title) {
    std::string how = "turn on the full path in its window title";
    if (kind == FileManagers::Kind::Thunar) {
        // Thunar 4.18's preferences offer full paths in tab titles only, which leaves the
        // window title as it is; the window-title setting exists in xfconf alone (4.20
        // replaced it with a title style), and windows that are already open keep their
        // title.
        how =
            "Thunar's preferences cannot turn it on: run \"xfconf-query -c thunar -p "
            "/misc-full-path-in-window-title -n -t bool -s true\" (Thunar 4.18) or "
            "\"xfconf-query -c thunar -p /misc-window-title-style -n -t string -s "
            "THUNAR_WINDOW_TITLE_STYLE_FULL_PATH_WITH_THUNAR_SUFFIX\" (Thunar 4.20) and open "
            "a new window";
    }
    return InsertionLocation::none(std::string(FileManagers::name(kind)) + "'s window title " +
                                   quoted(title) + " holds no folder path; " + how);
}

InsertionLocation fromTabUri(const std::string& uri) {
    auto path = LocalPath::fromFileUri(uri);
    if (!path) {
        return InsertionLocation::none("Nautilus shows " + quoted(uri) +
                                       ", which is not a local folder");
    }
    return existingFolder(FileManagers::Kind::Nautilus, std::move(*path));
}

}  // namespace

InsertionLocation FileManagerLocation::fromTitle(FileManagers::Kind kind, std::string_view title) {
    using Kind = FileManagers::Kind;
    switch (kind) {
        case Kind::Thunar: {
            constexpr std::string_view suffix = " - Thunar";
            if (!title.ends_with(suffix) || !title.starts_with('/')) {
                return noPathInTitle(kind, title);
            }
            title.remove_suffix(suffix.size());
            return existingFolder(kind, std::string(title));
        }
        case Kind::Dolphin: {
            constexpr std::string_view suffix = " \xE2\x80\x94 Dolphin";
            if (!title.ends_with(suffix) || !title.starts_with('/')) {
                return noPathInTitle(kind, title);
            }
            title.remove_suffix(suffix.size());
            return existingFolder(kind, std::string(title));
        }
        case Kind::Nemo: {
            // A folder name holds no '/', so the first " - /" starts the path.
            const auto separator = title.find(" - /");
            if (separator == std::string_view::npos) {
                return noPathInTitle(kind, title);
            }
            return existingFolder(kind, std::string(title.substr(separator + 3)));
        }
        case Kind::Caja:
        case Kind::PcmanfmQt:
            return InsertionLocation::none(std::string(FileManagers::name(kind)) +
                                           "'s window title shows the folder name only, not "
                                           "where the folder is");
        case Kind::Nautilus:
            break;
    }
    return InsertionLocation::none("Nautilus's window title does not tell its folder");
}

InsertionLocation FileManagerLocation::fromNautilusTabs(std::string_view title,
                                                        const std::vector<std::string>& tabUris,
                                                        std::string_view home) {
    if (tabUris.empty()) {
        return InsertionLocation::none("Nautilus lists no location for its window");
    }
    if (tabUris.size() == 1) {
        return fromTabUri(tabUris.front());
    }
    std::vector<std::string> matches;
    bool anyNotLocal = false;
    for (const std::string& uri : tabUris) {
        const auto path = LocalPath::fromFileUri(uri);
        if (!path) {
            anyNotLocal = true;
            continue;
        }
        // The same folder open in two tabs is no tie.
        if (nautilusDisplayName(*path, home) == title &&
            std::find(matches.begin(), matches.end(), uri) == matches.end()) {
            matches.push_back(uri);
        }
    }
    if (matches.size() == 1) {
        return fromTabUri(matches.front());
    }
    if (matches.size() > 1) {
        return InsertionLocation::none("Several Nautilus tabs match the window title " +
                                       quoted(title) + "; the one in front is unknown");
    }
    if (anyNotLocal) {
        return InsertionLocation::none("The Nautilus tab in front (" + quoted(title) +
                                       ") is not a local folder");
    }
    return InsertionLocation::none("No Nautilus tab matches the window title " + quoted(title));
}

bool FileManagerLocation::isLoadingTitle(std::string_view title) {
    return title == "Loading\xE2\x80\xA6";
}

std::string FileManagerLocation::nautilusDisplayName(std::string_view path, std::string_view home) {
    if (!home.empty() && withoutTrailingSlashes(path) == withoutTrailingSlashes(home)) {
        return "Home";
    }
    return LocalPath::displayName(path);
}

}  // namespace ferrymark
