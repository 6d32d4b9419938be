// uniqueTargetPath on arbitrary names in a scratch folder: the item itself and some of its
// " copy" variants are present. The result must stay in the folder, be free, never be the
// item itself, and be the first free variant by the naming rule; names the file system
// cannot hold must raise an error rather than come back shortened or altered.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/UniqueTargetPath.h"
#include "fuzz/FuzzRequire.h"

using ferrymark::fuzz::escaped;
using ferrymark::fuzz::require;

namespace {

const std::string& scratch() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fm-fuzz-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr, "no scratch folder");
        std::atexit([] { ::rmdir(scratch().c_str()); });
        return pattern;
    }();
    return folder;
}

// The naming rule, written out again from its description: stem and extension split at
// the last dot ("." and ".." whole), the base cut at the last " copy" of the stem. Counter
// 1 is the bare " copy"; numbers start at 2.
std::string candidate(const std::string& name, std::uint64_t counter) {
    std::string stem = name;
    std::string extension;
    if (name != "." && name != "..") {
        const auto dot = name.rfind('.');
        if (dot != std::string::npos) {
            stem = name.substr(0, dot);
            extension = name.substr(dot);
        }
    }
    const auto cut = stem.rfind(" copy");
    const std::string base = cut == std::string::npos ? stem : stem.substr(0, cut);
    return base + (counter < 2 ? " copy" : " copy " + std::to_string(counter)) + extension;
}

bool present(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A file, or a dangling link: both take the name.
bool occupy(const std::string& path, bool asLink, std::vector<std::string>& made) {
    if (path.size() >= PATH_MAX) {
        return false;
    }
    const bool ok = asLink ? ::symlink("nowhere", path.c_str()) == 0 : [&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        return fd >= 0 && ::close(fd) == 0;
    }();
    if (ok) {
        made.push_back(path);
    }
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: which variants are present; the rest is the name, up to a little past
    // what a file system holds.
    const std::uint8_t plan = data[0];
    std::string name(reinterpret_cast<const char*>(data + 1), std::min<std::size_t>(size - 1, 300));
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        } else if (c == '\0') {
            c = '0';
        }
    }
    const std::string& folder = scratch();
    const std::string item = folder + "/" + name;

    std::vector<std::string> made;
    if (name.size() <= NAME_MAX && name != "." && name != "..") {
        require(occupy(item, false, made), "the item itself could not be made", escaped(name));
    }
    // Candidates 1 (" copy") to `taken` are present, and with bit 3 one more beyond a gap.
    const unsigned taken = plan & 7;
    std::vector<std::uint64_t> occupied;
    for (std::uint64_t n = 1; n <= taken; ++n) {
        occupied.push_back(n);
    }
    if (plan & 8) {
        occupied.push_back(taken + 2);
    }
    for (std::uint64_t n : occupied) {
        const std::string variant = candidate(name, n);
        if (variant.size() <= NAME_MAX) {
            occupy(folder + "/" + variant, (plan & 16) && n == 1, made);
        }
    }

    // The expected answer, walking the candidates as the rule says.
    std::string expected;
    bool expectError = false;
    for (std::uint64_t n = 1;; ++n) {
        const std::string variant = candidate(name, n);
        if (variant.size() > NAME_MAX) {
            expectError = true;
            break;
        }
        if (!present(folder + "/" + variant)) {
            expected = folder + "/" + variant;
            break;
        }
    }

    std::string result;
    bool raised = false;
    try {
        result = ferrymark::uniqueTargetPath(item);
    } catch (const boost::filesystem::filesystem_error& e) {
        raised = true;
        require(e.code().value() == ENAMETOOLONG, "an unexpected error", e.what());
    }
    require(raised == expectError,
            raised ? "an error for a name that fits" : "no error for a name that cannot exist",
            escaped(name) + " -> " + escaped(result));
    if (!raised) {
        const boost::filesystem::path got(result);
        require(got.parent_path().string() == folder, "the result left the folder",
                escaped(result));
        require(result != item, "the result is the item itself", escaped(result));
        require(!present(result), "the result is taken", escaped(result));
        require(result == expected, "not the first free variant",
                escaped(name) + ": got " + escaped(result) + ", want " + escaped(expected));
    }

    for (const auto& path : made) {
        ::unlink(path.c_str());
    }
    return 0;
}
