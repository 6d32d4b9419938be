#include "engine/PathPresence.h"

#include <sys/stat.h>

#include <cerrno>

namespace ferrymark {

Presence destinationPresence(const std::string& path, std::error_code* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        return Presence::Present;
    }
    int e = errno;
    if (e == ENOENT || e == ENOTDIR) {
        return Presence::Absent;
    }
    if (error) {
        *error = std::error_code(e, std::generic_category());
    }
    return Presence::Unknown;
}

}  // namespace ferrymark
