#pragma once

#include <sys/stat.h>

#include <string>

namespace ferrymark {

// What a copy keeps of its source besides the data: the permission bits (set-user-id and
// set-group-id dropped), the POSIX access list (and a folder's default list), the times and
// the extended attributes ExtendedAttributes keeps.
// Works on open descriptors, so a name swapped meanwhile is never touched.
class FileMetadata {
  public:
    // Each returns an empty string, or what could not be carried over and why. The source's
    // status is the one read when the copy began.
    static std::string copyToFile(int sourceFd, const struct stat& source, int destinationFd);
    static std::string copyToFolder(int sourceFd, const struct stat& source, int destinationFd);

    // The bits a copy gets: the nine permission bits and the sticky bit.
    static mode_t keptBits(mode_t mode) { return mode & 01777; }
    // The bits to use where the access list can not be written: the group bits narrowed to
    // what the list granted the owning group, so that losing the list never widens access.
    static mode_t bitsWithoutList(mode_t mode, const char* list, std::size_t size);

  private:
    static std::string copy(int sourceFd, const struct stat& source, int destinationFd,
                            bool folder);
};

}  // namespace ferrymark
