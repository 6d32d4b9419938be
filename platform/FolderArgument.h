#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/InsertionLocation.h"

namespace ferrymark {

// The folder handed to a command by a file manager's menu entry or the command line: a
// file URI, an absolute path, or a remote URI (smb://, sftp://, mtp://...) that the desktop
// may mount under a local path.
class FolderArgument {
  public:
    // The local path of a remote URI, or nothing when the desktop offers none.
    using LocalPathOf = std::function<std::optional<std::string>(const std::string& uri)>;

    // An existing local folder, or why the argument is none.
    static InsertionLocation resolve(std::string_view argument, const LocalPathOf& localPathOf);

    // The local path GIO gives a URI ("gio info"; GVfs mounts remote places under
    // /run/user/UID/gvfs), or nothing: gio missing, not mounted, no FUSE path.
    static std::optional<std::string> gioLocalPath(const std::string& uri);
    // The "local path: " line of "gio info" output.
    static std::optional<std::string> localPathFromGioInfo(std::string_view output);
};

}  // namespace ferrymark
