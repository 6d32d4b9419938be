#include "engine/TurnsFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ferrymark {
namespace {

bool nobodyElseWrites(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

// Opens (making it where missing) the folder name below parent, without following a link.
int openBelow(int parent, const char* name) {
    int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name, 0700) == 0 || errno == EEXIST) {
            fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
    }
    return fd;
}

}  // namespace

int TurnsFolder::open(std::string& reason) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') {
        reason = "XDG_RUNTIME_DIR is not set to a folder";
        return -1;
    }
    int fd = ::open(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::string(runtime) + ": " + std::strerror(errno);
        return -1;
    }
    std::string at = runtime;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !nobodyElseWrites(st)) {
        ::close(fd);
        reason = at + " is not a folder of this user that only this user may write to";
        return -1;
    }
    for (const char* name : {"ferrymark", "turns"}) {
        at += std::string("/") + name;
        const int next = openBelow(fd, name);
        const int error = errno;
        ::close(fd);
        fd = next;
        if (fd < 0) {
            reason = at + ": " + std::strerror(error);
            return -1;
        }
        if (::fstat(fd, &st) != 0 || !nobodyElseWrites(st)) {
            ::close(fd);
            reason = at + " is not a folder of this user alone";
            return -1;
        }
    }
    return fd;
}

std::string TurnsFolder::takeUnavailableNotice(const std::string& reason) {
    static std::atomic<bool> told{false};
    if (told.exchange(true)) {
        return {};
    }
    return "Transfers to the same disk do not take turns: " + reason;
}

}  // namespace ferrymark
