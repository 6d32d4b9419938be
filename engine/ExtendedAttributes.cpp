#include "engine/ExtendedAttributes.h"

#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ferrymark {
namespace {

constexpr const char* kCapability = "security.capability";

}  // namespace

bool ExtendedAttributes::names(int fd, std::vector<char>& names) {
    names.resize(1024);
    for (;;) {
        const ssize_t size = ::flistxattr(fd, names.data(), names.size());
        if (size >= 0) {
            names.resize(static_cast<std::size_t>(size));
            return true;
        }
        if (errno == ENOTSUP) {
            names.clear();
            return true;
        }
        const ssize_t needed = errno == ERANGE ? ::flistxattr(fd, nullptr, 0) : -1;
        if (needed < 0) {
            return false;
        }
        names.resize(static_cast<std::size_t>(needed) + 256);
    }
}

bool ExtendedAttributes::named(const std::vector<char>& names, const char* name) {
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        if (std::strcmp(names.data() + at, name) == 0) {
            return true;
        }
    }
    return false;
}

bool ExtendedAttributes::namesShowAccessLists(int fd, dev_t device) {
    // Local file systems that keep access lists as attributes and name them; a network
    // file system may answer for a list it does not name. Asked once per file system in a
    // row, not per file.
    thread_local dev_t lastDevice = 0;
    thread_local bool lastAnswer = false;
    if (device != lastDevice || device == 0) {
        struct statfs fs {};
        const bool known = ::fstatfs(fd, &fs) == 0;
        switch (known ? static_cast<unsigned long>(fs.f_type) : 0UL) {
            case EXT4_SUPER_MAGIC:
            case XFS_SUPER_MAGIC:
            case BTRFS_SUPER_MAGIC:
            case TMPFS_MAGIC:
            case F2FS_SUPER_MAGIC:
                lastAnswer = true;
                break;
            default:
                lastAnswer = false;
        }
        lastDevice = known ? device : 0;
    }
    return lastAnswer;
}

bool ExtendedAttributes::read(int fd, const char* name, std::vector<char>& value) {
    value.resize(256);
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name, value.data(), value.size());
        if (size >= 0) {
            value.resize(static_cast<std::size_t>(size));
            return true;
        }
        if (errno == ENODATA || errno == ENOTSUP) {
            value.clear();
            return true;
        }
        const ssize_t needed = errno == ERANGE ? ::fgetxattr(fd, name, nullptr, 0) : -1;
        if (needed < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(needed) + 64);
    }
}

std::string ExtendedAttributes::copy(int sourceFd, int destinationFd,
                                     const std::vector<char>* given) {
    std::vector<char> own;
    if (given == nullptr && !ExtendedAttributes::names(sourceFd, own)) {
        return std::string("extended attributes not read: ") + std::strerror(errno);
    }
    const std::vector<char>& names = given != nullptr ? *given : own;
    std::string problems;
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        const bool user = std::strncmp(name, "user.", 5) == 0;
        const bool capability = std::strcmp(name, kCapability) == 0;
        if (!user && !capability) {
            continue;
        }
        if (!read(sourceFd, name, value)) {
            problems += (problems.empty() ? "" : "; ") + std::string(name) +
                        " not read: " + std::strerror(errno);
            continue;
        }
        if (::fsetxattr(destinationFd, name, value.data(), value.size(), 0) == 0) {
            continue;
        }
        if (capability && errno == EPERM) {
            continue;  // only a privileged process may give a file capabilities
        }
        problems += (problems.empty() ? "" : "; ") + std::string(name) +
                    " not kept: " + std::strerror(errno);
    }
    return problems;
}

}  // namespace ferrymark
