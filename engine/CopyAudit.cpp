#include "engine/CopyAudit.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "engine/CopyHandler.h"
#include "engine/CopyJournal.h"
#include "engine/FileHandleId.h"
#include "engine/FolderHandle.h"
#include "engine/TransferDriver.h"

namespace ferrymark {
namespace {

using Id = CopyJournal::Id;

bool before(const timespec& t, const timespec& limit) {
    return t.tv_sec < limit.tv_sec || (t.tv_sec == limit.tv_sec && t.tv_nsec < limit.tv_nsec);
}

bool same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The folders of path from at on, opened one at a time below folder; links followed or not.
FolderHandle walk(FolderHandle folder, const std::string& path, std::size_t at, bool follow) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
    while (folder.valid() && at < path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(at, end - at);
        at = end + 1;
        if (!part.empty()) {
            FolderHandle next{::openat(folder.fd(), part.c_str(), flags),
                              folder.path() + "/" + part};
            folder = std::move(next);
        }
    }
    return folder;
}

// The folder at path, also where the path is longer than the system takes in one call.
FolderHandle openAnyLength(const std::string& path) {
    FolderHandle folder = FolderHandle::open(path);
    if (folder.valid() || errno != ENAMETOOLONG) {
        return folder;
    }
    folder = walk(FolderHandle::open(path[0] == '/' ? "/" : "."), path, 0, true);
    return FolderHandle{folder.valid() ? ::dup(folder.fd()) : -1, path};
}

// The folder at path, never through a link below the source item: a copy made through a
// link inside a source took what it points to, and a Move takes away only the link.
FolderHandle openBelow(const std::string& path, const std::string& item) {
    if (path.compare(0, item.size(), item) != 0 ||
        (path.size() > item.size() && path[item.size()] != '/')) {
        return openAnyLength(path);
    }
    const std::string top = parentOf(item);
    std::size_t at = item.find('/') == std::string::npos ? 0 : top.size() + 1;
    if (top == "/") {
        at = 1;
    }
    return walk(openAnyLength(top), path, at, false);
}

// The folder at path while it is the one recorded; entries in a row share it.
class FolderCache {
  public:
    explicit FolderCache(const FolderHandle* target = nullptr) : target_(target) {}

    const FolderHandle& open(const std::string& path, const Id& id, const std::string& item = {}) {
        if (path != path_ || !opened_) {
            path_ = path;
            folder_ = item.empty() ? openAnyLength(path) : openBelow(path, item);
            error_ = folder_.valid() ? 0 : errno;
            opened_ = true;
            struct stat st {};
            matches_ = folder_.valid() && ::fstat(folder_.fd(), &st) == 0 &&
                       Id{st.st_dev, st.st_ino} == id;
            if (!matches_ && insideTarget(path)) {
                // The target was renamed or moved: its copies went along.
                folder_ = walk(FolderHandle{::dup(target_->fd()), target_->path()}, path,
                               target_->path().size() + 1, false);
                matches_ = folder_.valid() && ::fstat(folder_.fd(), &st) == 0 &&
                           Id{st.st_dev, st.st_ino} == id;
                error_ = folder_.valid() ? 0 : errno;
            }
        }
        return folder_;
    }
    bool matches() const { return matches_; }
    // Why it could not be opened; 0 when it was.
    int error() const { return error_; }

  private:
    bool insideTarget(const std::string& path) const {
        if (target_ == nullptr || !target_->valid()) {
            return false;
        }
        const std::string& top = target_->path();
        return path.compare(0, top.size(), top) == 0 &&
               (path.size() == top.size() || path[top.size()] == '/');
    }

    const FolderHandle* target_ = nullptr;
    std::string path_;
    FolderHandle folder_;
    bool opened_ = false;
    bool matches_ = false;
    int error_ = 0;
};

std::string join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool isTheCopy(const FolderHandle& folder, const CopyJournal::Entry& copy) {
    // The handle where the file system gives one: a file put in place of a removed copy may
    // well be given the copy's inode number.
    if (!copy.copyHandle.empty()) {
        return FileHandleId::ofName(folder.fd(), copy.copyName) == copy.copyHandle;
    }
    struct stat st {};
    return ::fstatat(folder.fd(), copy.copyName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           st.st_ino == copy.copyInode;
}

}  // namespace

void CopyAudit::confirmCopies() {
    if (!journal_.rewind()) {
        job_.log("Can not read back the list of copies made");
        return;
    }
    FolderCache folders(target_);
    // The copies of one folder are checked together, a bounded number at a time.
    constexpr std::size_t kRunLimit = 4096;
    std::vector<CopyJournal::Entry> run;
    auto confirm = [&] {
        const FolderHandle& folder = folders.open(run.front().copyFolder, run.front().copyFolderId);
        confirmRun(folder, folders.matches(), run);
        run.clear();
    };
    CopyJournal::Entry entry;
    while (journal_.next(entry)) {
        if (entry.folder) {
            continue;
        }
        if (!run.empty() &&
            (entry.copyFolder != run.front().copyFolder || run.size() == kRunLimit)) {
            confirm();
        }
        run.push_back(std::move(entry));
    }
    if (!run.empty()) {
        confirm();
    }
}

void CopyAudit::confirmRun(const FolderHandle& folder, bool matches,
                           const std::vector<CopyJournal::Entry>& run) {
    for (const CopyJournal::Entry& copy : run) {
        if (matches && isTheCopy(folder, copy)) {
            continue;
        }
        const std::string source = join(copy.sourceFolder, copy.name);
        job_.log("The copy of " + source + " is gone from " + join(copy.copyFolder, copy.copyName) +
                 " before the job ended");
        job_.setCurrentSource(copy.source);
        job_.markNotTransferred(source, NotTransferredReason::Other,
                                "its copy was removed or replaced before the job ended");
    }
}

void CopyAudit::removeSources(const timespec& start) {
    start_ = start;
    const auto sources = job_.srcList();
    std::vector<char> whole(sources.size(), 0);
    items_.clear();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        items_.push_back(TransferDriver::itemPath(sources[i]));
        whole[i] = job_.sourceFullyTransferred(i);
        if (!whole[i]) {
            const std::string source = TransferDriver::itemPath(sources[i]);
            job_.log("Kept " + source + ": not all of it was copied");
            job_.report().add(source, NotTransferredReason::KeptByMove, "not all of it was copied");
        }
    }
    // The list of copies can not be read back: nothing more is removed.
    auto keepAll = [&] {
        job_.log("Kept every source: the list of copies made can not be read back");
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (whole[i]) {
                job_.report().add(TransferDriver::itemPath(sources[i]),
                                  NotTransferredReason::KeptByMove, "no record of its copy");
            }
        }
    };
    if (!journal_.rewind()) {
        keepAll();
        return;
    }
    auto keep = [this](const std::string& path, const char* why) {
        job_.log("Kept " + path + ": " + why);
        job_.report().add(path, NotTransferredReason::KeptByMove, why);
    };
    const auto& items = items_;
    CopyJournal::Entry entry;
    // Links the copy was made through go first, while what they point to is still there to
    // be recognised: a link to a file of the same Move would otherwise be left dangling and
    // kept as "not the item copied".
    {
        FolderCache folders;
        while (journal_.next(entry)) {
            if (entry.source >= whole.size() || !whole[entry.source]) {
                continue;
            }
            const FolderHandle& folder =
                folders.open(entry.sourceFolder, entry.sourceFolderId, items[entry.source]);
            struct stat st {};
            if (folders.matches() &&
                ::fstatat(folder.fd(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode) && Id{st.st_dev, st.st_ino} != entry.id) {
                removedLink(folder, entry, st);
            }
        }
        if (!journal_.rewind()) {
            keepAll();
            return;
        }
    }
    // Names of one file that this job removed: the others' status changed with it. Only
    // files with more than one name are here.
    std::map<std::pair<std::uint64_t, std::uint64_t>, timespec> unlinked;
    FolderCache folders;
    bool folderLeft = false;
    while (journal_.next(entry)) {
        if (entry.source >= whole.size() || !whole[entry.source]) {
            continue;
        }
        if (entry.folder) {
            folderLeft = true;
            continue;
        }
        const std::string path = join(entry.sourceFolder, entry.name);
        const FolderHandle& folder =
            folders.open(entry.sourceFolder, entry.sourceFolderId, items[entry.source]);
        if (!folders.matches()) {
            // A folder moved away takes the item along, and it stays there; one reached
            // through a link is not this Move's to empty.
            if (folders.error() != ENOENT && folders.error() != ELOOP &&
                folders.error() != ENOTDIR) {
                keep(path, folder.valid() ? "not the item copied" : std::strerror(folders.error()));
            }
            continue;
        }
        struct stat st {};
        if (::fstatat(folder.fd(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone already
        }
        if (Id{st.st_dev, st.st_ino} != entry.id) {
            if (!removedLink(folder, entry, st)) {
                keep(path, "not the item copied");
            }
            continue;
        }
        const auto known = unlinked.find({st.st_dev, st.st_ino});
        const bool unchanged = known != unlinked.end()
                                   ? same(st.st_ctim, known->second)
                                   : same(st.st_ctim, entry.changed) && before(st.st_ctim, start);
        if (!unchanged) {
            keep(path, "changed after the move began");
            continue;
        }
        // Another name of the same file changes status when this one goes: note how.
        const int other = st.st_nlink > 1 ? ::openat(folder.fd(), entry.name.c_str(),
                                                     O_PATH | O_NOFOLLOW | O_CLOEXEC)
                                          : -1;
        if (::unlinkat(folder.fd(), entry.name.c_str(), 0) != 0 && errno != ENOENT) {
            const int error = errno;
            job_.log("Can not remove " + path + ": " + std::strerror(error));
            job_.report().add(path, NotTransferredReason::KeptByMove, std::strerror(error));
        } else if (other >= 0 && ::fstat(other, &st) == 0) {
            unlinked[{st.st_dev, st.st_ino}] = st.st_ctim;
        }
        if (other >= 0) {
            ::close(other);
        }
    }
    // A folder goes once empty. One whose contents were placed after it (a merge with
    // conflicts settled later) empties on a later pass.
    if (folderLeft) {
        std::size_t left = 0;
        while (removeFolders(whole, false, left) && left > 0) {
        }
        if (left > 0) {
            removeFolders(whole, true, left);  // says what stays, and why
        }
    }
}

bool CopyAudit::removedLink(const FolderHandle& folder, const CopyJournal::Entry& entry,
                            const struct stat& status) {
    // A link the copy was made through: it goes itself, what it points to stays.
    struct stat target {};
    if (!S_ISLNK(status.st_mode) || ::fstatat(folder.fd(), entry.name.c_str(), &target, 0) != 0 ||
        Id{target.st_dev, target.st_ino} != entry.id) {
        return false;
    }
    const std::string path = join(folder.path(), entry.name);
    if (!before(status.st_ctim, start_)) {
        job_.log("Kept " + path + ": it changed after the move began");
        job_.report().add(path, NotTransferredReason::KeptByMove, "changed after the move began");
    } else if (::unlinkat(folder.fd(), entry.name.c_str(), 0) != 0 && errno != ENOENT) {
        job_.log("Can not remove " + path + ": " + std::strerror(errno));
        job_.report().add(path, NotTransferredReason::KeptByMove, std::strerror(errno));
    }
    return true;
}

void CopyAudit::logLeftIn(const FolderHandle& folder, const std::string& name,
                          const std::string& path) {
    job_.log("Kept " + path + ": it holds items that were not moved");
    const FolderHandle kept = FolderHandle::openIn(folder, name);
    DIR* dir = kept.valid() ? ::fdopendir(::dup(kept.fd())) : nullptr;
    if (!dir) {
        return;
    }
    while (const dirent* item = ::readdir(dir)) {
        const std::string itemName = item->d_name;
        if (itemName != "." && itemName != ".." && item->d_type != DT_DIR) {
            job_.log("Kept " + path + "/" + itemName + ": it was not copied, or it changed");
        }
    }
    ::closedir(dir);
}

bool CopyAudit::removeFolders(const std::vector<char>& whole, bool last, std::size_t& left) {
    bool removedAny = false;
    left = 0;
    if (!journal_.rewind()) {
        return false;
    }
    FolderCache folders;
    CopyJournal::Entry entry;
    while (journal_.next(entry)) {
        if (!entry.folder || entry.source >= whole.size() || !whole[entry.source]) {
            continue;
        }
        const std::string path = join(entry.sourceFolder, entry.name);
        const FolderHandle& folder =
            folders.open(entry.sourceFolder, entry.sourceFolderId, items_[entry.source]);
        struct stat st {};
        if (!folders.matches() ||
            ::fstatat(folder.fd(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (Id{st.st_dev, st.st_ino} != entry.id) {
            if (removedLink(folder, entry, st)) {
                continue;
            }
            if (last) {
                job_.log("Kept " + path + ": it is not the folder that was copied");
                job_.report().add(path, NotTransferredReason::KeptByMove, "not the item copied");
            }
            continue;
        }
        if (::unlinkat(folder.fd(), entry.name.c_str(), AT_REMOVEDIR) == 0) {
            removedAny = true;
            continue;
        }
        const int error = errno;
        ++left;
        if (last && error == ENOTEMPTY) {
            // What it still holds was not copied, or changed: it stays with it.
            logLeftIn(folder, entry.name, path);
        } else if (last) {
            job_.log("Kept " + path + ": " + std::strerror(error));
            job_.report().add(path, NotTransferredReason::KeptByMove, std::strerror(error));
        }
    }
    return removedAny;
}

}  // namespace ferrymark
