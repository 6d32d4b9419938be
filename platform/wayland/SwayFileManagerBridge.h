#pragma once

#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/FileManagers.h"
#include "platform/IFileManagerBridge.h"
#include "platform/wayland/SwayTree.h"

namespace ferrymark {

// The file-manager bridge on sway: its layout tree says which window has the focus,
// the window's app id whose it is and its title where it is; a focus command brings it
// back.
class SwayFileManagerBridge final : public IFileManagerBridge {
  public:
    // Runs swaymsg with these arguments: its output, or nothing when it fails.
    using Run = std::function<std::optional<QByteArray>(const QStringList& arguments)>;

    static constexpr int kTimeoutMs = 3000;

    // socket: sway's IPC socket; empty leaves swaymsg to find it (SWAYSOCK). ownPid: our
    // own windows in front leave the file manager seen last in front.
    static std::unique_ptr<SwayFileManagerBridge> create(const QString& socket,
                                                         std::int64_t ownPid);
    SwayFileManagerBridge(Run run, std::int64_t ownPid);

    bool isFileManagerFrontmost() override;
    InsertionLocation insertionLocation() override;
    bool activateFileManager() override;

  private:
    struct FileManagerWindow {
        SwayWindow window;
        FileManagers::Kind kind;
    };
    std::optional<FileManagerWindow> frontmostFileManager();

    Run run_;
    std::int64_t ownPid_;
    std::optional<FileManagerWindow> last_;
};

}  // namespace ferrymark
