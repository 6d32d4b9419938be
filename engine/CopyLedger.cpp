#include "engine/CopyLedger.h"

#include <fcntl.h>
#include <unistd.h>

#include "engine/FolderHandle.h"

namespace ferrymark {

CopyLedger::~CopyLedger() {
    clearPending();
    for (const FileSystem& fileSystem : fileSystems_) {
        ::close(fileSystem.fd);
    }
}

void CopyLedger::noteFolder(const FolderHandle& folder) {
    if (!folder.valid()) {
        return;
    }
    const dev_t device = folder.device();
    for (const FileSystem& fileSystem : fileSystems_) {
        if (fileSystem.device == device) {
            return;
        }
    }
    // A handle of its own: the folder's may close long before the flush. Errors of the file
    // system are reported to it from the moment the folder was opened.
    const int fd = ::fcntl(folder.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) {
        fileSystems_.push_back({device, fd, 0, {}});
    }
}

void CopyLedger::noteCopy(Copy copy) {
    const bool kept = copy.fd >= 0;
    if (!kept && pending_.size() >= kListed) {
        for (FileSystem& fileSystem : fileSystems_) {
            if (fileSystem.device == copy.device) {
                ++fileSystem.unlisted;
                // Sources are placed one after another: a repeat is always the last one.
                if (fileSystem.unlistedSources.empty() ||
                    fileSystem.unlistedSources.back() != copy.sourceIndex) {
                    fileSystem.unlistedSources.push_back(copy.sourceIndex);
                }
            }
        }
        return;
    }
    pendingBytes_ += copy.size;
    pending_.push_back(std::move(copy));
}

bool CopyLedger::batchFull() const {
    return !pending_.empty() && pending_.back().fd >= 0 &&
           (pending_.size() >= kBatchFiles || pendingBytes_ >= kBatchBytes);
}

void CopyLedger::clearPending() {
    for (const Copy& copy : pending_) {
        if (copy.fd >= 0) {
            ::close(copy.fd);
        }
    }
    pending_.clear();
    pendingBytes_ = 0;
    for (FileSystem& fileSystem : fileSystems_) {
        fileSystem.unlisted = 0;
        fileSystem.unlistedSources.clear();
    }
}

}  // namespace ferrymark
