#pragma once

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
    static std::string copy(int sourceFd, int destinationFd);
    // The value of the attribute name, empty when the file has none. False when it can not
    // be read.
    static bool read(int fd, const char* name, std::vector<char>& value);
};

}  // namespace ferrymark
