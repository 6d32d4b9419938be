#include "SmallDisk.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ferrymark::test {

SmallDisk::SmallDisk(const std::string& at, const char* options) : at_(at) {
    if (::geteuid() != 0) {
        why_ = "needs root to mount a small tmpfs";
    } else if (::mount("tmpfs", at.c_str(), "tmpfs", 0, options) != 0) {
        why_ = std::string("can not mount a tmpfs here: ") + std::strerror(errno);
    }
}

SmallDisk::~SmallDisk() {
    if (why_.empty()) {
        ::umount2(at_.c_str(), MNT_DETACH);
    }
}

}  // namespace ferrymark::test
