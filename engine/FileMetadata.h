#pragma once

#include <sys/stat.h>

#include <string>

namespace ferrymark {

// What a copy keeps of its source besides the data: owner and group where the process may
// set them, the permission bits (set-user-id and set-group-id only with the owner and group),
// the POSIX access list (and a folder's default list), the times and the extended
// attributes ExtendedAttributes keeps.
// Works on open descriptors, so a name swapped meanwhile is never touched.
class FileMetadata {
  public:
    // Each returns an empty string, or what could not be carried over and why. The source's
    // status is the one read when the copy began. copyStatus, where given, gets the copy's
    // own status as read before its owner was set (its identity, for the job's end checks).
    static std::string copyToFile(int sourceFd, const struct stat& source, int destinationFd,
                                  struct stat* copyStatus = nullptr);
    static std::string copyToFolder(int sourceFd, const struct stat& source, int destinationFd);

    // A link's owner and times, for the link name inside folderFd made anew.
    static std::string copyToLink(int folderFd, const std::string& name, const struct stat& source);

    // Owner and group as far as the process may set them: both as root, else the group
    // when the user belongs to it. True when both are now the source's. Only root notes a
    // failure in problems: any other user never expects to keep another's ownership.
    static bool keepOwner(int destinationFd, const struct stat& source, std::string& problems,
                          struct stat* copyStatus = nullptr);
    static bool keepLinkOwner(int folderFd, const std::string& name, const struct stat& source,
                              std::string& problems);

    // The bits a copy gets: the nine permission bits and the sticky bit, and set-user-id and
    // set-group-id when owner and group were kept (elsewhere they would grant another's rights).
    static mode_t keptBits(mode_t mode, bool ownerKept) {
        return mode & (ownerKept ? 07777 : 01777);
    }
    // The bits to use where the access list can not be written: the group bits narrowed to
    // what the list granted the owning group, so that losing the list never widens access.
    static mode_t bitsWithoutList(mode_t mode, const char* list, std::size_t size);

  private:
    static std::string copy(int sourceFd, const struct stat& source, int destinationFd, bool folder,
                            struct stat* copyStatus = nullptr);
};

}  // namespace ferrymark
