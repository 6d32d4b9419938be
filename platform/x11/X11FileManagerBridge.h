#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileManagers.h"
#include "platform/IFileManagerBridge.h"

namespace ferrymark {

// The file-manager bridge on X11: the window manager's _NET_ACTIVE_WINDOW says which
// window is in front, WM_CLASS whose it is, its title (or Nautilus over D-Bus) where it
// is, and a _NET_ACTIVE_WINDOW request brings it back.
class X11FileManagerBridge final : public IFileManagerBridge, public QAbstractNativeEventFilter {
  public:
    // Called between tries while Nautilus is still loading a folder.
    using Wait = std::function<void()>;

    // A bridge on Qt's own X connection and the session bus; null when Qt is not on X11.
    static std::unique_ptr<X11FileManagerBridge> create();

    // Watches the root window's _NET_ACTIVE_WINDOW through the application's native
    // event filter, so a QCoreApplication should exist. The default wait is 100 ms.
    X11FileManagerBridge(xcb_connection_t* connection, xcb_window_t root, QDBusConnection bus,
                         Wait wait = {});
    ~X11FileManagerBridge() override;
    X11FileManagerBridge(const X11FileManagerBridge&) = delete;
    X11FileManagerBridge& operator=(const X11FileManagerBridge&) = delete;

    bool isFileManagerFrontmost() override;
    InsertionLocation insertionLocation() override;
    bool activateFileManager() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct Atoms {
        xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
        xcb_atom_t netClientList = XCB_ATOM_NONE;
        xcb_atom_t netWmName = XCB_ATOM_NONE;
        xcb_atom_t netWmWindowType = XCB_ATOM_NONE;
        xcb_atom_t netWmWindowTypeDock = XCB_ATOM_NONE;
        xcb_atom_t netWmWindowTypeDesktop = XCB_ATOM_NONE;
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t gtkUniqueBusName = XCB_ATOM_NONE;
        xcb_atom_t gtkWindowObjectPath = XCB_ATOM_NONE;
    };
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        std::string bytes;
    };
    struct FileManagerWindow {
        xcb_window_t window = XCB_WINDOW_NONE;
        FileManagers::Kind kind = FileManagers::Kind::Nautilus;
    };

    void noteActiveWindow();
    std::optional<FileManagerWindow> frontmostFileManager();
    std::optional<FileManagerWindow> fileManagerOf(xcb_window_t window,
                                                   const std::vector<std::uint32_t>& clients);
    bool leavesFocusWithLastApp(xcb_window_t window);
    InsertionLocation nautilusLocation(xcb_window_t window);
    std::optional<std::vector<std::string>> nautilusTabs(xcb_window_t window, std::string& whyNot);

    std::optional<Property> property(xcb_window_t window, xcb_atom_t name);
    std::vector<std::uint32_t> ids(xcb_window_t window, xcb_atom_t name);
    xcb_window_t activeWindow();
    std::string title(xcb_window_t window);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    QDBusConnection bus_;
    Wait wait_;
    Atoms atoms_;
    // The file-manager window seen in front last, and whether no other application's
    // window has been in front since.
    std::optional<FileManagerWindow> lastFileManager_;
    bool fileManagerWasLastApp_ = false;
    // Window managers hand the focus over through nothing in front: since when nothing has
    // been, and what was in front before.
    bool nothingInFront_ = false;
    std::chrono::steady_clock::time_point nothingSince_;
    bool fileManagerBeforeNothing_ = false;
};

}  // namespace ferrymark
