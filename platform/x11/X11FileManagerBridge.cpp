#include "platform/x11/X11FileManagerBridge.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QStringList>
#include <QWindow>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/FileManagerLocation.h"

namespace ferrymark {

namespace {

constexpr int kLoadingTries = 10;
constexpr int kDBusTimeoutMs = 2000;
// Bounds a WM_TRANSIENT_FOR chain; a cycle would otherwise never end.
constexpr int kMaxTransientDepth = 8;
// _NET_ACTIVE_WINDOW source indication of a pager: the window manager obeys it.
constexpr std::uint32_t kSourcePager = 2;
constexpr xcb_window_t kNoWindow = XCB_WINDOW_NONE;

const QString kFileManagerInterface = QStringLiteral("org.freedesktop.FileManager1");

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_window_t rootOf(xcb_connection_t* connection) {
    int screenNumber = 0;
    char* host = nullptr;
    int displayNumber = 0;
    if (xcb_parse_display(nullptr, &host, &displayNumber, &screenNumber) != 0) {
        std::free(host);
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 1; ++i) {
        xcb_screen_next(&it);
    }
    return it.data != nullptr ? it.data->root : kNoWindow;
}

std::string withoutTrailingNuls(std::string text) {
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::unique_ptr<X11FileManagerBridge> X11FileManagerBridge::create() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    const xcb_window_t root = rootOf(x11->connection());
    if (root == XCB_WINDOW_NONE) {
        return nullptr;
    }
    return std::make_unique<X11FileManagerBridge>(x11->connection(), root,
                                                  QDBusConnection::sessionBus());
}

X11FileManagerBridge::X11FileManagerBridge(xcb_connection_t* connection, xcb_window_t root,
                                           QDBusConnection bus, Wait wait)
    : connection_(connection), root_(root), bus_(std::move(bus)), wait_(std::move(wait)) {
    if (!wait_) {
        wait_ = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    }

    const std::array<std::pair<xcb_atom_t*, std::string_view>, 9> names = {{
        {&atoms_.netActiveWindow, "_NET_ACTIVE_WINDOW"},
        {&atoms_.netClientList, "_NET_CLIENT_LIST"},
        {&atoms_.netWmName, "_NET_WM_NAME"},
        {&atoms_.netWmWindowType, "_NET_WM_WINDOW_TYPE"},
        {&atoms_.netWmWindowTypeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
        {&atoms_.netWmWindowTypeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
        {&atoms_.utf8String, "UTF8_STRING"},
        {&atoms_.gtkUniqueBusName, "_GTK_UNIQUE_BUS_NAME"},
        {&atoms_.gtkWindowObjectPath, "_GTK_WINDOW_OBJECT_PATH"},
    }};
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        cookies[i] =
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(names[i].second.size()),
                            names[i].second.data());
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, cookies[i], nullptr), &std::free);
        if (reply) {
            *names[i].first = reply->atom;
        }
    }

    // Add PropertyChange to whatever this connection already selects on the root window.
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root_),
                                        nullptr),
        &std::free);
    if (attributes) {
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
    }
    if (auto* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(this);
    }
    noteActiveWindow();
}

X11FileManagerBridge::~X11FileManagerBridge() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
    }
}

bool X11FileManagerBridge::isFileManagerFrontmost() {
    return frontmostFileManager().has_value();
}

InsertionLocation X11FileManagerBridge::insertionLocation() {
    const auto fileManager = frontmostFileManager();
    if (!fileManager) {
        return InsertionLocation::none("No file-manager window is in front");
    }
    if (fileManager->kind == FileManagers::Kind::Nautilus) {
        return nautilusLocation(fileManager->window);
    }
    return FileManagerLocation::fromTitle(fileManager->kind, title(fileManager->window));
}

bool X11FileManagerBridge::activateFileManager() {
    if (!lastFileManager_) {
        return false;
    }
    const auto clients = ids(root_, atoms_.netClientList);
    if (std::find(clients.begin(), clients.end(), lastFileManager_->window) == clients.end()) {
        lastFileManager_.reset();
        fileManagerWasLastApp_ = false;
        return false;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = lastFileManager_->window;
    event.type = atoms_.netActiveWindow;
    event.data.data32[0] = kSourcePager;
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = activeWindow();
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
    return true;
}

bool X11FileManagerBridge::nativeEventFilter(const QByteArray& eventType, void* message,
                                             qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == root_ && notify->atom == atoms_.netActiveWindow) {
            noteActiveWindow();
        }
    }
    return false;
}

void X11FileManagerBridge::noteActiveWindow() {
    // Longer than a window manager's hand-over, shorter than a user's click on the desktop
    // and then on the tray.
    constexpr auto kHandOver = std::chrono::milliseconds(500);
    const xcb_window_t active = activeWindow();
    const auto now = std::chrono::steady_clock::now();
    // Nothing in front (the desktop clicked, the last window closed) is no file manager:
    // a paste then would land in whatever window was seen last, often the source folder.
    if (active == XCB_WINDOW_NONE || active == root_) {
        if (!nothingInFront_) {
            nothingInFront_ = true;
            nothingSince_ = now;
            fileManagerBeforeNothing_ = fileManagerWasLastApp_;
        }
        fileManagerWasLastApp_ = false;
        return;
    }
    const bool handOver = nothingInFront_ && now - nothingSince_ < kHandOver;
    nothingInFront_ = false;
    if (leavesFocusWithLastApp(active)) {
        // Our window taking the focus from the file manager, through nothing in front.
        if (handOver) {
            fileManagerWasLastApp_ = fileManagerBeforeNothing_;
        }
        return;
    }
    const auto fileManager = fileManagerOf(active, ids(root_, atoms_.netClientList));
    fileManagerWasLastApp_ = fileManager.has_value();
    if (fileManager) {
        lastFileManager_ = fileManager;
    }
}

std::optional<X11FileManagerBridge::FileManagerWindow>
X11FileManagerBridge::frontmostFileManager() {
    // The property events may not have been handled yet: look now.
    noteActiveWindow();
    if (!fileManagerWasLastApp_ || !lastFileManager_) {
        return std::nullopt;
    }
    const auto clients = ids(root_, atoms_.netClientList);
    if (std::find(clients.begin(), clients.end(), lastFileManager_->window) == clients.end()) {
        return std::nullopt;
    }
    return lastFileManager_;
}

std::optional<X11FileManagerBridge::FileManagerWindow> X11FileManagerBridge::fileManagerOf(
    xcb_window_t window, const std::vector<std::uint32_t>& clients) {
    // A file manager's dialog stands for the window it belongs to.
    for (int depth = 0; depth < kMaxTransientDepth; ++depth) {
        const auto owners = ids(window, XCB_ATOM_WM_TRANSIENT_FOR);
        if (owners.empty() || owners.front() == XCB_WINDOW_NONE || owners.front() == root_ ||
            owners.front() == window) {
            break;
        }
        window = owners.front();
    }
    if (window == XCB_WINDOW_NONE ||
        std::find(clients.begin(), clients.end(), window) == clients.end()) {
        return std::nullopt;
    }
    // Caja and Nemo draw the desktop in a window of their own class: it has no folder.
    const auto types = ids(window, atoms_.netWmWindowType);
    if (std::find(types.begin(), types.end(), atoms_.netWmWindowTypeDesktop) != types.end()) {
        return std::nullopt;
    }
    const auto wmClass = property(window, XCB_ATOM_WM_CLASS);
    if (!wmClass) {
        return std::nullopt;
    }
    // WM_CLASS is the instance name and the class name, each ending in a NUL.
    const std::string& bytes = wmClass->bytes;
    const auto end = bytes.find('\0');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    const auto kind = FileManagers::fromWindowClass(withoutTrailingNuls(bytes.substr(end + 1)));
    if (!kind) {
        return std::nullopt;
    }
    return FileManagerWindow{window, *kind};
}

bool X11FileManagerBridge::leavesFocusWithLastApp(xcb_window_t window) {
    // Our tray menu and progress windows come in front of the file manager they serve.
    for (const QWindow* own : QGuiApplication::allWindows()) {
        if (own->handle() != nullptr && own->winId() == window) {
            return true;
        }
    }
    // Some panels take the focus while their tray menu is open.
    const auto types = ids(window, atoms_.netWmWindowType);
    return std::find(types.begin(), types.end(), atoms_.netWmWindowTypeDock) != types.end();
}

InsertionLocation X11FileManagerBridge::nautilusLocation(xcb_window_t window) {
    const QByteArray home = QFile::encodeName(QDir::homePath());
    for (int attempt = 1;; ++attempt) {
        const std::string windowTitle = title(window);
        if (FileManagerLocation::isLoadingTitle(windowTitle)) {
            if (attempt == kLoadingTries) {
                return InsertionLocation::none("Nautilus is still loading its folder");
            }
            wait_();
            continue;
        }
        std::string whyNot;
        const auto tabs = nautilusTabs(window, whyNot);
        if (!tabs) {
            return InsertionLocation::none(whyNot);
        }
        return FileManagerLocation::fromNautilusTabs(windowTitle, *tabs, home.toStdString());
    }
}

std::optional<std::vector<std::string>> X11FileManagerBridge::nautilusTabs(xcb_window_t window,
                                                                           std::string& whyNot) {
    const auto busName = property(window, atoms_.gtkUniqueBusName);
    const auto objectPath = property(window, atoms_.gtkWindowObjectPath);
    if (!busName || !objectPath) {
        whyNot = "Nautilus's window has no _GTK_UNIQUE_BUS_NAME or _GTK_WINDOW_OBJECT_PATH";
        return std::nullopt;
    }
    if (!bus_.isConnected()) {
        whyNot = "No session bus to ask Nautilus for its location";
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(withoutTrailingNuls(busName->bytes)),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << kFileManagerInterface << QStringLiteral("OpenWindowsWithLocations");
    // The window's own unique name is asked, never a well-known one that could start a
    // file manager; keep it that way should the name be anything else.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kDBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        whyNot = "Nautilus did not tell its windows' locations: " +
                 (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
        return std::nullopt;
    }
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    if (value.userType() != qMetaTypeId<QDBusArgument>() ||
        value.value<QDBusArgument>().currentSignature() != QStringLiteral("a{sas}")) {
        whyNot = "Nautilus answered OpenWindowsWithLocations with an unexpected type";
        return std::nullopt;
    }
    QMap<QString, QStringList> locations;
    value.value<QDBusArgument>() >> locations;
    const QString key = QString::fromStdString(withoutTrailingNuls(objectPath->bytes));
    const auto it = locations.constFind(key);
    if (it == locations.constEnd()) {
        whyNot = "Nautilus lists no locations for its window " + key.toStdString();
        return std::nullopt;
    }
    std::vector<std::string> uris;
    for (const QString& uri : *it) {
        uris.push_back(uri.toStdString());
    }
    return uris;
}

std::optional<X11FileManagerBridge::Property> X11FileManagerBridge::property(xcb_window_t window,
                                                                             xcb_atom_t name) {
    if (window == XCB_WINDOW_NONE || name == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    // Up to 1 MiB, far beyond any title or window list.
    const auto cookie =
        xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 18);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, &error),
                                          &std::free);
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    return Property{reply->type, std::string(data, static_cast<std::size_t>(std::max(length, 0)))};
}

std::vector<std::uint32_t> X11FileManagerBridge::ids(xcb_window_t window, xcb_atom_t name) {
    std::vector<std::uint32_t> result;
    const auto value = property(window, name);
    if (!value) {
        return result;
    }
    result.resize(value->bytes.size() / sizeof(std::uint32_t));
    std::copy_n(value->bytes.data(), result.size() * sizeof(std::uint32_t),
                reinterpret_cast<char*>(result.data()));
    return result;
}

xcb_window_t X11FileManagerBridge::activeWindow() {
    const auto active = ids(root_, atoms_.netActiveWindow);
    return active.empty() ? kNoWindow : active.front();
}

std::string X11FileManagerBridge::title(xcb_window_t window) {
    if (const auto name = property(window, atoms_.netWmName)) {
        return withoutTrailingNuls(name->bytes);
    }
    const auto name = property(window, XCB_ATOM_WM_NAME);
    if (!name) {
        return {};
    }
    if (name->type == atoms_.utf8String) {
        return withoutTrailingNuls(name->bytes);
    }
    // STRING is Latin-1.
    return QString::fromLatin1(withoutTrailingNuls(name->bytes)).toStdString();
}

}  // namespace ferrymark
