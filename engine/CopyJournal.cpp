#include "engine/CopyJournal.h"

#include <sys/stat.h>

#include "engine/FolderHandle.h"

namespace ferrymark {
namespace {

enum Tag : char { kSourceFolder = 'S', kCopyFolder = 'T', kFile = 'F', kFolder = 'D' };

std::string parentOf(const std::string& path, std::string& name) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        name = path;
        return ".";
    }
    name = path.substr(slash + 1);
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CopyJournal::~CopyJournal() {
    if (file_) {
        std::fclose(file_);
    }
}

bool CopyJournal::ready() {
    if (!file_ && !failed_) {
        // Unlinked from the start (O_TMPFILE where the file system has it): private to the
        // job, and gone with it.
        file_ = std::tmpfile();
        failed_ = file_ == nullptr;
    }
    return file_ != nullptr;
}

void CopyJournal::put(const void* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
    }
}

void CopyJournal::putString(const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    put(&size, sizeof size);
    put(text.data(), text.size());
}

void CopyJournal::putId(const Id& id) {
    put(&id, sizeof id);
}

void CopyJournal::noteSourceFolder(const std::string& path) {
    if (path == sourceFolder_) {
        return;
    }
    sourceFolder_ = path;
    struct stat st {};
    const Id id = ::stat(path.c_str(), &st) == 0 ? Id{st.st_dev, st.st_ino} : Id{};
    put("S", 1);
    putString(path);
    putId(id);
}

void CopyJournal::noteFile(std::uint32_t source, const std::string& path, const struct stat& status,
                           const FolderHandle& folder, const std::string& copyName,
                           std::uint64_t copyInode, const std::string& copyHandle) {
    if (!ready()) {
        return;
    }
    std::string name;
    noteSourceFolder(parentOf(path, name));
    if (folder.path() != copyFolder_) {
        copyFolder_ = folder.path();
        struct stat st {};
        const Id id = ::fstat(folder.fd(), &st) == 0 ? Id{st.st_dev, st.st_ino} : Id{};
        put("T", 1);
        putString(copyFolder_);
        putId(id);
    }
    if (status.st_nlink > 1) {
        linked_.try_emplace({status.st_dev, status.st_ino},
                            Copy{folder.path(), copyName, copyInode, copyHandle});
    }
    put("F", 1);
    put(&source, sizeof source);
    putString(name);
    putId({status.st_dev, status.st_ino});
    put(&status.st_ctim, sizeof status.st_ctim);
    putString(copyName);
    put(&copyInode, sizeof copyInode);
    putString(copyHandle);
}

void CopyJournal::noteFolder(std::uint32_t source, const std::string& path,
                             const struct stat& status) {
    if (!ready()) {
        return;
    }
    std::string name;
    noteSourceFolder(parentOf(path, name));
    put("D", 1);
    put(&source, sizeof source);
    putString(name);
    putId({status.st_dev, status.st_ino});
    put(&status.st_ctim, sizeof status.st_ctim);
}

void CopyJournal::noteRenamed(const std::string& from, const std::string& to) {
    renames_.emplace_back(from, to);
}

std::string CopyJournal::renamed(const std::string& path) const {
    std::string out = path;
    for (const auto& [from, to] : renames_) {
        if (out.compare(0, from.size(), from) == 0 &&
            (out.size() == from.size() || out[from.size()] == '/')) {
            out = to + out.substr(from.size());
        }
    }
    return out;
}

std::string CopyJournal::earlierCopy(const struct stat& status) const {
    const auto found = linked_.find({status.st_dev, status.st_ino});
    return found == linked_.end() ? std::string()
                                  : renamed(found->second.folder) + "/" + found->second.name;
}

bool CopyJournal::isEarlierCopy(const struct stat& status, std::uint64_t copyInode,
                                const std::string& copyHandle) const {
    const auto found = linked_.find({status.st_dev, status.st_ino});
    return found != linked_.end() && found->second.inode == copyInode &&
           found->second.handle == copyHandle;
}

bool CopyJournal::rewind() {
    if (!file_ || failed_ || std::fflush(file_) != 0) {
        return file_ == nullptr && !failed_;  // nothing was copied
    }
    std::rewind(file_);
    readSourceFolder_.clear();
    readCopyFolder_.clear();
    return true;
}

bool CopyJournal::get(void* data, std::size_t size) {
    return std::fread(data, 1, size, file_) == size;
}

bool CopyJournal::getString(std::string& text) {
    std::uint32_t size = 0;
    if (!get(&size, sizeof size)) {
        return false;
    }
    text.resize(size);
    return get(text.data(), size);
}

bool CopyJournal::getId(Id& id) {
    return get(&id, sizeof id);
}

bool CopyJournal::next(Entry& entry) {
    if (!file_) {
        return false;
    }
    for (char tag = 0; get(&tag, 1);) {
        switch (tag) {
            case kSourceFolder:
                if (!getString(readSourceFolder_) || !getId(readSourceFolderId_)) {
                    return false;
                }
                continue;
            case kCopyFolder:
                if (!getString(readCopyFolder_) || !getId(readCopyFolderId_)) {
                    return false;
                }
                readCopyFolder_ = renamed(readCopyFolder_);
                continue;
            case kFile:
            case kFolder:
                entry.folder = tag == kFolder;
                entry.sourceFolder = readSourceFolder_;
                entry.sourceFolderId = readSourceFolderId_;
                if (!get(&entry.source, sizeof entry.source) || !getString(entry.name) ||
                    !getId(entry.id) || !get(&entry.changed, sizeof entry.changed)) {
                    return false;
                }
                if (entry.folder) {
                    entry.copyFolder.clear();
                    entry.copyName.clear();
                    return true;
                }
                entry.copyFolder = readCopyFolder_;
                entry.copyFolderId = readCopyFolderId_;
                return getString(entry.copyName) && get(&entry.copyInode, sizeof entry.copyInode) &&
                       getString(entry.copyHandle);
            default:
                return false;
        }
    }
    return false;
}

}  // namespace ferrymark
