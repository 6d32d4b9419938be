#pragma once

#include <string>

namespace ferrymark {

// Folders told apart by what they are (device and inode), not by how a path spells them.
class FolderIdentity {
  public:
    // Whether folder is item itself or lies anywhere below it. The folders above folder are
    // walked through "..", so a folder reached through a link into item, or through a bind
    // mount of it, counts as inside. False when either can not be examined.
    static bool liesWithin(const std::string& folder, const std::string& item);
};

}  // namespace ferrymark
