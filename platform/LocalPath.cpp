#include "platform/LocalPath.h"

#include <sys/stat.h>

namespace ferrymark {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> LocalPath::fromFileUri(std::string_view uri) {
    constexpr std::string_view scheme = "file:";
    if (!startsWithNoCase(uri, scheme)) {
        return std::nullopt;
    }
    std::string_view rest = uri.substr(scheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view host = rest.substr(0, slash);
        // Our own machine under any other name is not worth the guess: a remote host's
        // file names mean nothing here.
        if (!host.empty() && !(host.size() == 9 && startsWithNoCase(host, "localhost"))) {
            return std::nullopt;
        }
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    // A fragment or query makes it something other than a plain file name; a real '#'
    // or '?' in a name arrives escaped.
    if (rest.find_first_of("#?") != std::string_view::npos) {
        return std::nullopt;
    }
    // A raw NUL would cut the path short where the file system is handed it: another file.
    if (rest.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }

    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path.push_back(rest[i]);
            continue;
        }
        if (i + 2 >= rest.size()) {
            return std::nullopt;
        }
        const int high = hexValue(rest[i + 1]);
        const int low = hexValue(rest[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        path.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return path;
}

std::string LocalPath::displayName(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/')) {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return "/";
    }
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool LocalPath::isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace ferrymark
