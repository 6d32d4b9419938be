#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferrymark {

// Local paths as raw byte strings: from file URIs, display names, folder checks.
class LocalPath {
  public:
    // The local path of a file URI, percent-decoded to raw bytes. Only file URIs with an
    // empty host or "localhost" are local; anything else (other hosts and schemes,
    // malformed escapes, an escaped NUL, a fragment) gives nothing.
    static std::optional<std::string> fromFileUri(std::string_view uri);

    // The name a folder is shown under: its last path component; the root is "/".
    static std::string displayName(std::string_view path);

    // True when path names a folder, following symbolic links.
    static bool isDirectory(const std::string& path);
};

}  // namespace ferrymark
