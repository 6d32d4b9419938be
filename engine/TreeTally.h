#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ferrymark {

class CopyHandler;

// Walks the regular files below a folder as the copy meets them: links to files are
// followed, and linked folders entered, unless they lead back into the folders above them
// (the copy refuses those). When the job keeps links, each link is an item of no data.
// Serves the counting pass and the accounting of a skipped folder.
class TreeTally {
  public:
    using OnFile = std::function<void(std::int64_t size)>;
    // Calls onFile for every regular file (and kept link); ends early once the job is cancelled
    // when stopOnCancel. Folders that can not be listed are logged and passed over.
    static void walk(const std::string& root, CopyHandler& job, const OnFile& onFile,
                     bool stopOnCancel);
};

}  // namespace ferrymark
