#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <system_error>

namespace ferrymark {

// One folder's entries in the order the file system gives them, with the kind the listing
// itself reports: walking a large tree then costs no status query per plain file or folder.
class FolderListing {
  public:
    enum class Kind { Folder, File, Link, Other, Unknown };
    struct Entry {
        std::string name;
        Kind kind = Kind::Unknown;
    };

    explicit FolderListing(const std::string& path);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Why the folder could not be opened or read to its end; empty while all is well.
    const std::error_code& error() const { return error_; }
    // The next entry, "." and ".." left out; false at the end or on an error.
    bool next(Entry& entry);
    // The size of a regular file among the entries, links followed; -1 when it is none.
    long long regularFileSize(const std::string& name, std::error_code& error) const;
    // The folder's own status; false when it could not be read.
    bool status(struct stat& st) const;

  private:
    DIR* dir_ = nullptr;
    std::error_code error_;
};

}  // namespace ferrymark
