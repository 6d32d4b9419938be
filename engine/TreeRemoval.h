#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace ferrymark {

// Removes name inside the folder open as parentFd, and everything below it, walking by
// folder handles: a link is removed itself, never followed. With changedSince, an entry
// whose status changed at or after that moment is kept (and so are the folders above it),
// and reported through kept. Returns true when name is gone.
bool removeTreeAt(int parentFd, const std::string& name, const std::string& path,
                  const timespec* changedSince = nullptr,
                  const std::function<void(const std::string& path, int error)>& kept = {});

// Whether the item at path, and all below it when it is a folder, could be removed by this
// process: each folder that holds an entry to remove is writable and searchable.
bool removable(const std::string& path);

}  // namespace ferrymark
