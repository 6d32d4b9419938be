#include "engine/FolderListing.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace ferrymark {

FolderListing::FolderListing(const std::string& path) : dir_(::opendir(path.c_str())) {
    if (!dir_) {
        error_ = std::error_code(errno, std::generic_category());
    }
}

FolderListing::~FolderListing() {
    if (dir_) {
        ::closedir(dir_);
    }
}

bool FolderListing::next(Entry& entry) {
    if (!dir_) {
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* d = ::readdir(dir_);
        if (!d) {
            if (errno != 0) {
                error_ = std::error_code(errno, std::generic_category());
            }
            return false;
        }
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
            continue;
        }
        entry.name = n;
        switch (d->d_type) {
            case DT_DIR:
                entry.kind = Kind::Folder;
                break;
            case DT_REG:
                entry.kind = Kind::File;
                break;
            case DT_LNK:
                entry.kind = Kind::Link;
                break;
            case DT_UNKNOWN:
                entry.kind = Kind::Unknown;
                break;
            default:
                entry.kind = Kind::Other;
                break;
        }
        return true;
    }
}

bool FolderListing::status(struct stat& st) const {
    return dir_ && ::fstat(::dirfd(dir_), &st) == 0;
}

long long FolderListing::regularFileSize(const std::string& name, std::error_code& error) const {
    struct stat st {};
    if (::fstatat(::dirfd(dir_), name.c_str(), &st, 0) != 0) {
        error = std::error_code(errno, std::generic_category());
        return -1;
    }
    return S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace ferrymark
