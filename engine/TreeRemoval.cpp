#include "engine/TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/FolderHandle.h"

namespace ferrymark {
namespace {

bool atOrAfter(const timespec& t, const timespec& since) {
    return t.tv_sec > since.tv_sec || (t.tv_sec == since.tv_sec && t.tv_nsec >= since.tv_nsec);
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool folderRemovable(int parentFd, const char* name) {
    // Searchable and writable: every entry can be removed from it.
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            break;
        }
        if (S_ISDIR(st.st_mode) && !folderRemovable(::dirfd(dir), entry->d_name)) {
            ok = false;
            break;
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

bool removeTreeAt(int parentFd, const std::string& name, const std::string& path,
                  const timespec* changedSince,
                  const std::function<void(const std::string&, int)>& kept) {
    auto keep = [&](const std::string& what, int error) {
        if (kept) {
            kept(what, error);
        }
        return false;
    };
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? true : keep(path, errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        // Saved, appended to or made while the job ran: not the copy's original.
        if (changedSince && atOrAfter(st.st_ctim, *changedSince)) {
            return keep(path, 0);
        }
        if (::unlinkat(parentFd, name.c_str(), 0) != 0 && errno != ENOENT) {
            return keep(path, errno);
        }
        return true;
    }
    FolderHandle folder{
        ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), path};
    if (!folder.valid()) {
        return keep(path, errno);
    }
    DIR* dir = ::fdopendir(::dup(folder.fd()));
    if (!dir) {
        return keep(path, errno);
    }
    bool all = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        all = removeTreeAt(folder.fd(), entry->d_name, path + "/" + entry->d_name, changedSince,
                           kept) &&
              all;
    }
    ::closedir(dir);
    if (!all) {
        return false;
    }
    if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
        // ENOTEMPTY: something was put in it meanwhile; it stays with what it holds.
        return errno == ENOTEMPTY ? false : keep(path, errno);
    }
    return true;
}

bool removable(const std::string& path) {
    std::string parent = path;
    while (parent.size() > 1 && parent.back() == '/') {
        parent.pop_back();
    }
    const auto slash = parent.rfind('/');
    const std::string name = slash == std::string::npos ? parent : parent.substr(slash + 1);
    parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : parent.substr(0, slash));
    FolderHandle folder = FolderHandle::open(parent);
    if (!folder.valid() || ::faccessat(folder.fd(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return false;
    }
    struct stat st {};
    if (::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    // A sticky parent lets only an item's owner (or the parent's) remove it.
    struct stat parentStatus {};
    if (::fstat(folder.fd(), &parentStatus) == 0 && (parentStatus.st_mode & S_ISVTX) &&
        ::geteuid() != 0 && st.st_uid != ::geteuid() && parentStatus.st_uid != ::geteuid()) {
        return false;
    }
    return !S_ISDIR(st.st_mode) || folderRemovable(folder.fd(), name.c_str());
}

}  // namespace ferrymark
