// UIHandler::sourcePathLiesInTargetPath against a reference built from path components:
// the target lies in the source when the source is a literal prefix of it and the
// source's components are the first components of the target, or when the target's
// resolved path has the source's resolved path as its first components (paths that
// exist, such as "/" and "..").
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/UIHandler.h"
#include "fuzz/FuzzRequire.h"

using ferrymark::UIHandler;
using ferrymark::fuzz::escaped;
using ferrymark::fuzz::require;

namespace {

// "/" leads as a component of its own; runs of separators split, empty runs drop out.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> out;
    if (path.starts_with('/')) {
        out.push_back("/");
    }
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') {
            ++i;
        }
        std::size_t j = i;
        while (j < path.size() && path[j] != '/') {
            ++j;
        }
        if (j > i) {
            out.push_back(path.substr(i, j - i));
        }
        i = j;
    }
    return out;
}

bool componentsLead(std::string_view lead, std::string_view path) {
    const auto s = components(lead);
    const auto t = components(path);
    if (s.empty() || t.size() < s.size()) {
        return false;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != t[i]) {
            return false;
        }
    }
    return true;
}

// Folders that exist, by their paths with every link and "." or ".." resolved.
char* resolvedFolder(const std::string& path) {
    struct stat st {};
    if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
        return nullptr;
    }
    return ::realpath(path.c_str(), nullptr);
}

bool resolvedInside(const std::string& source, const std::string& target) {
    char* s = resolvedFolder(source);
    char* t = resolvedFolder(target);
    const bool inside = s && t && componentsLead(s, t);
    std::free(s);
    std::free(t);
    return inside;
}

bool reference(std::string_view source, std::string_view target) {
    return resolvedInside(std::string(source), std::string(target)) ||
           (target.starts_with(source) && componentsLead(source, target));
}

void check(const std::string& source, const std::string& target) {
    const bool got = UIHandler::sourcePathLiesInTargetPath(source, target);
    require(got == reference(source, target), "differs from the component reference",
            "source " + escaped(source) + ", target " + escaped(target) + ": got " +
                (got ? "true" : "false"));
}

// Paths made of few letters meet each other's prefixes far more often than raw bytes.
std::string narrowed(std::string_view bytes) {
    static const char letters[] = "/ab.B";
    std::string out;
    for (unsigned char c : bytes) {
        out += letters[c % 5];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Source and target split at the first NUL, else in the middle.
    const auto nul = input.find('\0');
    const std::size_t cut = nul == std::string_view::npos ? size / 2 : nul;
    const std::string_view first = input.substr(0, cut);
    const std::string_view second = input.substr(std::min(size, cut + (nul != input.npos)));

    for (const bool narrow : {false, true}) {
        const std::string source = narrow ? narrowed(first) : std::string(first);
        const std::string other = narrow ? narrowed(second) : std::string(second);
        check(source, other);
        check(other, source);
        // Targets that extend the source, the cases the command cares about.
        check(source, source);
        check(source, source + other);
        check(source, source + "/" + other);

        const bool named = !components(source).empty();
        require(UIHandler::sourcePathLiesInTargetPath(source, source) == named,
                "a path does not lie in itself", escaped(source));
        if (named && !other.empty()) {
            require(UIHandler::sourcePathLiesInTargetPath(source, source + "/" + other),
                    "a path below the source is not in it",
                    escaped(source) + " / " + escaped(other));
        }
        if (named && !source.ends_with('/') && !other.empty() && other[0] != '/' &&
            !resolvedInside(source, source + other)) {
            require(!UIHandler::sourcePathLiesInTargetPath(source, source + other),
                    "a sibling sharing the name's start counts as inside",
                    escaped(source) + " + " + escaped(other));
        }
    }
    return 0;
}
