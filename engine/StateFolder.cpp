#include "engine/StateFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ferrymark {
namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        return home;
    }
    // A service, cron or `env -i` has no HOME: the account's own home, never a shared
    // folder such as /tmp.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

// A folder below the base on the way to the state folder: made for this user alone, and
// only entered when nobody else can change it.
bool trusted(const struct stat& st) {
    return S_ISDIR(st.st_mode) && (st.st_uid == ::geteuid() || st.st_uid == 0) &&
           (st.st_mode & 022) == 0;
}

}  // namespace

std::string StateFolder::path() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        return std::string(state) + "/ferrymark";
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/state/ferrymark";
}

int StateFolder::open(bool create, std::string& reason) {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    std::vector<std::string> below;
    if (state && state[0] == '/') {
        base = state;
    } else {
        base = homeFolder();
        below = {".local", "state"};
    }
    if (base.empty()) {
        reason = "no home folder is known for this user";
        return -1;
    }
    below.push_back("ferrymark");
    // The base (the home, or XDG_STATE_HOME) may itself be reached through a link; nothing
    // below it is.
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = base + ": " + std::strerror(errno);
        return -1;
    }
    std::string at = base;
    for (std::size_t i = 0; i < below.size(); ++i) {
        const bool last = i + 1 == below.size();
        at += "/" + below[i];
        int next = ::openat(fd, below[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(fd, below[i].c_str(), 0700) == 0 || errno == EEXIST) {
                next =
                    ::openat(fd, below[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            }
        }
        const int error = errno;
        ::close(fd);
        fd = next;
        if (fd < 0 && error == ENOENT && !create) {
            return -1;  // nothing kept yet
        }
        if (fd < 0) {
            reason = at + ": " + std::strerror(error);
            return -1;
        }
        struct stat st {};
        if (last && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
            (st.st_mode & 077) != 0) {
            ::fchmod(fd, 0700);  // made wider by hand, or by an older version
        }
        if (::fstat(fd, &st) != 0 || !trusted(st) ||
            (last && (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0))) {
            ::close(fd);
            reason = at + " is not a folder of this user's alone";
            return -1;
        }
    }
    return fd;
}

}  // namespace ferrymark
