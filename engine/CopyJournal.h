#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ferrymark {

class FolderHandle;

// What a job copied, item by item, streamed to an unlinked temporary file rather than kept
// in memory: a Move removes only these sources, as they were when read, and a job checks
// that each copy is still where it put it before it says it is done.
class CopyJournal {
  public:
    struct Id {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool operator==(const Id&) const = default;
    };
    struct Entry {
        bool folder = false;
        std::uint32_t source = 0;  // the index of the job's source it belongs to
        std::string sourceFolder;  // the folder that holds it, as the job reached it
        Id sourceFolderId;
        std::string name;
        Id id;
        timespec changed{};  // its status change time when it was read
        // Files only: the folder the copy went into (as it is named now) and the copy.
        std::string copyFolder;
        Id copyFolderId;
        std::string copyName;
        std::uint64_t copyInode = 0;
        std::string copyHandle;  // the file system's handle of the copy, where it gives one
    };

    CopyJournal() = default;
    ~CopyJournal();
    CopyJournal(const CopyJournal&) = delete;
    CopyJournal& operator=(const CopyJournal&) = delete;

    // False when nothing could be written: the job can then vouch for none of its copies.
    bool usable() const { return !failed_; }

    // A file whose copy is complete under copyName in folder.
    void noteFile(std::uint32_t source, const std::string& path, const struct stat& status,
                  const FolderHandle& folder, const std::string& copyName, std::uint64_t copyInode,
                  const std::string& copyHandle);
    // A source folder all of whose listing was placed; noted after what it holds.
    void noteFolder(std::uint32_t source, const std::string& path, const struct stat& status);
    // A folder made under the name from took the name to (both paths).
    void noteRenamed(const std::string& from, const std::string& to);

    // The path of this job's copy of another name of the file with status (one with more
    // than one name), as it is named now; empty when there is none.
    std::string earlierCopy(const struct stat& status) const;
    bool isEarlierCopy(const struct stat& status, std::uint64_t copyInode,
                       const std::string& copyHandle) const;

    // Reads from the first entry again.
    bool rewind();
    bool next(Entry& entry);

  private:
    bool ready();
    void put(const void* data, std::size_t size);
    void putString(const std::string& text);
    void putId(const Id& id);
    bool get(void* data, std::size_t size);
    bool getString(std::string& text);
    bool getId(Id& id);
    void noteSourceFolder(const std::string& path);
    std::string renamed(const std::string& path) const;

    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string sourceFolder_;
    std::string copyFolder_;
    // Renamed folders, one per folder Replace: few.
    std::vector<std::pair<std::string, std::string>> renames_;
    // Copies of files with several names, by the source's device and inode: only those.
    struct Copy {
        std::string folder;
        std::string name;
        std::uint64_t inode = 0;
        std::string handle;
    };
    std::map<std::pair<std::uint64_t, std::uint64_t>, Copy> linked_;
    // While reading.
    std::string readSourceFolder_;
    Id readSourceFolderId_;
    std::string readCopyFolder_;
    Id readCopyFolderId_;
};

}  // namespace ferrymark
