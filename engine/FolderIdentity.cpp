#include "engine/FolderIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ferrymark {
namespace {

bool same(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool FolderIdentity::liesWithin(const std::string& folder, const std::string& item) {
    // A name with a NUL byte would reach the system cut short, naming another folder.
    if (item.find('\0') != std::string::npos || folder.find('\0') != std::string::npos) {
        return false;
    }
    struct stat wanted {};
    if (item.empty() || ::stat(item.c_str(), &wanted) != 0 || !S_ISDIR(wanted.st_mode)) {
        return false;
    }
    int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool found = false;
    struct stat here {};
    // Deeper than any path the kernel resolves: a bound on a walk that should end at "/".
    for (int depth = 0; depth < 4096 && ::fstat(fd, &here) == 0; ++depth) {
        if (same(here, wanted)) {
            found = true;
            break;
        }
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat above {};
        if (parent < 0 || ::fstat(parent, &above) != 0 || same(above, here)) {
            if (parent >= 0) {
                ::close(parent);
            }
            break;  // the root, or a folder above that can not be reached
        }
        ::close(fd);
        fd = parent;
    }
    ::close(fd);
    return found;
}

}  // namespace ferrymark
