#pragma once

#include <string>
#include <system_error>

namespace ferrymark {

enum class Presence { Absent, Present, Unknown };

// Whether anything stands at a destination path. A symbolic link counts as present whether or
// not it leads anywhere, so a destination is never written through a link. A path through a
// non-folder is absent; any other failure (a refused search permission) is Unknown.
Presence destinationPresence(const std::string& path, std::error_code* error = nullptr);

}  // namespace ferrymark
