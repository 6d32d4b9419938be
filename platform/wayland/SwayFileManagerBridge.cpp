#include "platform/wayland/SwayFileManagerBridge.h"

#include "platform/CommandOutput.h"
#include "platform/FileManagerLocation.h"

namespace ferrymark {

std::unique_ptr<SwayFileManagerBridge> SwayFileManagerBridge::create(const QString& socket,
                                                                     std::int64_t ownPid) {
    QStringList prefix;
    if (!socket.isEmpty()) {
        prefix << QStringLiteral("-s") << socket;
    }
    return std::make_unique<SwayFileManagerBridge>(
        [prefix](const QStringList& arguments) {
            return CommandOutput::run(QStringLiteral("swaymsg"), prefix + arguments, kTimeoutMs);
        },
        ownPid);
}

SwayFileManagerBridge::SwayFileManagerBridge(Run run, std::int64_t ownPid)
    : run_(std::move(run)), ownPid_(ownPid) {}

std::optional<SwayFileManagerBridge::FileManagerWindow>
SwayFileManagerBridge::frontmostFileManager() {
    const auto tree =
        run_({QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!tree) {
        return std::nullopt;
    }
    const auto focused = SwayTree::focusedWindow(*tree);
    if (focused && ownPid_ != 0 && focused->pid == ownPid_) {
        // One of our windows (a prompt, a progress window): the file manager seen last,
        // with its title as it is now, if it is still there.
        if (!last_) {
            return std::nullopt;
        }
        if (auto window = SwayTree::window(*tree, last_->window.conId)) {
            last_->window = std::move(*window);
            return last_;
        }
        last_.reset();
        return std::nullopt;
    }
    if (!focused) {
        return std::nullopt;
    }
    const auto kind =
        FileManagers::fromAppId(focused->appId.empty() ? focused->windowClass : focused->appId);
    if (!kind) {
        return std::nullopt;
    }
    last_ = FileManagerWindow{*focused, *kind};
    return last_;
}

bool SwayFileManagerBridge::isFileManagerFrontmost() {
    return frontmostFileManager().has_value();
}

InsertionLocation SwayFileManagerBridge::insertionLocation() {
    const auto front = frontmostFileManager();
    if (!front) {
        return InsertionLocation::none("no file-manager window has the focus in sway");
    }
    return FileManagerLocation::fromTitle(front->kind, front->window.title);
}

bool SwayFileManagerBridge::activateFileManager() {
    if (!last_) {
        return false;
    }
    // swaymsg fails when no window matches any more.
    return run_({QStringLiteral("[con_id=%1]").arg(last_->window.conId), QStringLiteral("focus")})
        .has_value();
}

}  // namespace ferrymark
