#pragma once

#include <string>

namespace ferrymark {

// The kernel's own handle of a file (its file system's inode and generation), kept as
// bytes. Inode numbers are given again to new files as soon as the old ones are removed;
// a handle is not, so a file put in place of a copy is not taken for it. Empty where the
// file system gives no handles.
class FileHandleId {
  public:
    static std::string ofDescriptor(int fd);
    // The item named, not what a link there points to.
    static std::string ofName(int folderFd, const std::string& name);
};

}  // namespace ferrymark
