#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ferrymark {

// The extended attributes a copy keeps: the user's own (user.*: tags, origin addresses,
// checksums) and, where this process may set them, file capabilities. Access lists are
// FileMetadata's.
class ExtendedAttributes {
  public:
    // Copies them from one open file to another. Empty, or what was not kept and why. Set
    // last: writing or changing the owner of a file clears its capabilities.
    // names, where given, are the source's as names() read them.
    static std::string copy(int sourceFd, int destinationFd,
                            const std::vector<char>* names = nullptr);
    // The names of a file's attributes, NUL-separated; false when they can not be read.
    static bool names(int fd, std::vector<char>& names);
    // Whether a file's names are known to include its access lists where it has them, so
    // that a list not named need not be asked for. device is the file's.
    static bool namesShowAccessLists(int fd, dev_t device);
    static bool named(const std::vector<char>& names, const char* name);
    // The value of the attribute name, empty when the file has none. False when it can not
    // be read.
    static bool read(int fd, const char* name, std::vector<char>& value);
};

}  // namespace ferrymark
