#include "engine/ExtendedAttributes.h"

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ferrymark {
namespace {

constexpr const char* kCapability = "security.capability";

// The names of the attributes, NUL-separated; false when they can not be read.
bool listNames(int fd, std::vector<char>& names) {
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

}  // namespace

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

std::string ExtendedAttributes::copy(int sourceFd, int destinationFd) {
    std::vector<char> names;
    if (!listNames(sourceFd, names)) {
        return std::string("extended attributes not read: ") + std::strerror(errno);
    }
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
