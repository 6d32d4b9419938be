#include <gtest/gtest.h>

#include <QFile>
#include <map>

#include "app/ClipboardReader.h"
#include "app/SessionPlatform.h"
#include "platform/wayland/DesktopSession.h"
#include "platform/wayland/SwayFileManagerBridge.h"
#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WlPasteClipboard.h"

namespace ferrymark {
namespace {

using Kind = DesktopSession::Kind;

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(FERRYMARK_SWAY_FIXTURES "/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

TEST(DesktopSessionTest, KindAndQtPlatformFromTheSessionVariables) {
    struct Case {
        const char* what;
        DesktopSession::Environment environment;
        Kind kind;
        std::string qtPlatform;
    };
    // sessionType, currentDesktop, waylandDisplay, display, swaySocket, qtPlatform
    const Case cases[] = {
        {"X11 session", {"x11", "XFCE", "", ":0", "", ""}, Kind::X11, ""},
        {"X display alone", {"", "", "", ":1", "", ""}, Kind::X11, ""},
        {"nothing", {"", "", "", "", "", ""}, Kind::None, ""},
        {"X11 session with a nested compositor's variable",
         {"x11", "KDE", "wayland-1", ":0", "", ""},
         Kind::X11,
         ""},
        {"GNOME Wayland runs under XWayland",
         {"wayland", "GNOME", "wayland-0", ":0", "", ""},
         Kind::GnomeWayland,
         "xcb"},
        {"Ubuntu's GNOME list",
         {"wayland", "ubuntu:GNOME", "wayland-0", ":0", "", ""},
         Kind::GnomeWayland,
         "xcb"},
        {"GNOME without XWayland stays native",
         {"wayland", "GNOME", "wayland-0", "", "", ""},
         Kind::GnomeWayland,
         ""},
        {"the user's own Qt platform wins",
         {"wayland", "GNOME", "wayland-0", ":0", "", "wayland"},
         Kind::GnomeWayland,
         "wayland"},
        {"Plasma", {"wayland", "KDE", "wayland-0", ":1", "", ""}, Kind::KdeWayland, ""},
        {"sway named", {"wayland", "sway", "wayland-1", "", "", ""}, Kind::Sway, ""},
        {"sway from a tty, told by its socket",
         {"tty", "", "wayland-1", "", "/run/user/1000/sway-ipc.sock", ""},
         Kind::Sway,
         ""},
        {"another compositor",
         {"wayland", "Hyprland", "wayland-1", "", "", ""},
         Kind::OtherWayland,
         ""},
    };
    for (const Case& c : cases) {
        const Kind kind = DesktopSession::detect(c.environment);
        EXPECT_EQ(kind, c.kind) << c.what;
        EXPECT_EQ(DesktopSession::qtPlatform(kind, c.environment), c.qtPlatform) << c.what;
    }
}

TEST(SessionPlatformTest, WaylandSessionsGrabNoX11KeysAndTellTheUserOnce) {
    const DesktopSession::Environment sway{"wayland", "", "wayland-1", "", "/nonexistent", ""};
    const SessionPlatform p = SessionPlatform::choose(sway, QDBusConnection::sessionBus(), 1);
    EXPECT_EQ(p.kind, Kind::Sway);
    EXPECT_FALSE(p.hotKeys);
    ASSERT_NE(p.bridge, nullptr);
    EXPECT_TRUE(p.notice.contains(QLatin1String("bindsym")));
    EXPECT_TRUE(p.notice.contains(QLatin1String("ferrymark --paste")));

    const DesktopSession::Environment x11{"x11", "", "", ":0", "", ""};
    const SessionPlatform q = SessionPlatform::choose(x11, QDBusConnection::sessionBus(), 1);
    EXPECT_TRUE(q.hotKeys);
    EXPECT_EQ(q.bridge, nullptr);  // the X11 bridge is made on Qt's connection
    EXPECT_TRUE(q.notice.isEmpty());
}

TEST(SwayTreeTest, FocusedWindowOfCapturedTrees) {
    struct Case {
        const char* file;
        bool found;
        std::int64_t conId;
        std::string appId, windowClass, title;
    };
    const Case cases[] = {
        {"thunar-focused.json", true, 5, "thunar", "", "/tmp - Thunar"},
        {"xwayland-floating.json", true, 9, "", "dolphin", "/srv/share \xE2\x80\x94 Dolphin"},
        {"split-focused.json", true, 12, "ferrymark", "", "Ferrymark"},
        {"workspace-focused.json", false, 0, "", "", ""},
    };
    for (const Case& c : cases) {
        const auto window = SwayTree::focusedWindow(fixture(c.file));
        ASSERT_EQ(window.has_value(), c.found) << c.file;
        if (window) {
            EXPECT_EQ(window->conId, c.conId) << c.file;
            EXPECT_EQ(window->appId, c.appId) << c.file;
            EXPECT_EQ(window->windowClass, c.windowClass) << c.file;
            EXPECT_EQ(window->title, c.title) << c.file;
        }
    }
    EXPECT_FALSE(SwayTree::focusedWindow("not json").has_value());
    // A split container is no window; the window inside it is.
    EXPECT_FALSE(SwayTree::window(fixture("split-focused.json"), 7).has_value());
    EXPECT_EQ(SwayTree::window(fixture("split-focused.json"), 11)->appId, "org.gnome.Nautilus");
}

// swaymsg as the bridge sees it: a tree to answer, and the commands it was given.
struct StandInSway {
    QByteArray tree;
    bool running = true;
    std::vector<QStringList> commands;

    SwayFileManagerBridge::Run run() {
        return [this](const QStringList& arguments) -> std::optional<QByteArray> {
            commands.push_back(arguments);
            if (!running) {
                return std::nullopt;
            }
            if (arguments.contains(QLatin1String("get_tree"))) {
                return tree;
            }
            return QByteArray("[ { \"success\": true } ]");
        };
    }
};

TEST(SwayFileManagerBridgeTest, WindowInFrontAndItsFolder) {
    StandInSway sway;
    SwayFileManagerBridge bridge(sway.run(), 4242);

    // Nothing seen yet: an empty workspace, and then our own window, hold no file manager.
    sway.tree = fixture("workspace-focused.json");
    EXPECT_FALSE(bridge.isFileManagerFrontmost());
    EXPECT_FALSE(bridge.activateFileManager());
    sway.tree = fixture("split-focused.json");
    EXPECT_FALSE(bridge.isFileManagerFrontmost());

    sway.tree = fixture("thunar-focused.json");
    EXPECT_TRUE(bridge.isFileManagerFrontmost());
    const InsertionLocation location = bridge.insertionLocation();
    ASSERT_TRUE(location.path.has_value()) << location.whyNot;
    EXPECT_EQ(*location.path, "/tmp");

    // Our progress window in front keeps the Thunar window seen last, when it is still there.
    QByteArray ours = fixture("split-focused.json");
    ours.replace("\"id\": 11,", "\"id\": 5,");
    sway.tree = ours;
    EXPECT_TRUE(bridge.isFileManagerFrontmost());
    sway.tree = fixture("split-focused.json");
    EXPECT_FALSE(bridge.isFileManagerFrontmost());

    sway.tree = fixture("xwayland-floating.json");
    EXPECT_TRUE(bridge.isFileManagerFrontmost());               // XWayland Dolphin, by its class
    EXPECT_FALSE(bridge.insertionLocation().path.has_value());  // /srv/share is not here
    sway.commands.clear();
    EXPECT_TRUE(bridge.activateFileManager());
    ASSERT_EQ(sway.commands.size(), 1u);
    EXPECT_EQ(sway.commands[0],
              (QStringList{QStringLiteral("[con_id=9]"), QStringLiteral("focus")}));

    sway.running = false;
    EXPECT_FALSE(bridge.isFileManagerFrontmost());
    EXPECT_FALSE(bridge.insertionLocation().path.has_value());
}

TEST(WlPasteClipboardTest, ListsOnceAndReadsOnlyOfferedTypes) {
    struct Case {
        const char* what;
        std::optional<QByteArray> listing;  // nothing: wl-paste fails (empty clipboard)
        std::map<QString, QByteArray> data;
        std::vector<std::string> paths;
        bool cut;
        int reads;  // wl-paste runs for data
    };
    const Case cases[] = {
        {"file manager's own list first",
         QByteArray("text/uri-list\nx-special/gnome-copied-files\ntext/plain\n"),
         {{QStringLiteral("x-special/gnome-copied-files"), "cut\nfile:///tmp/a%20b"},
          {QStringLiteral("text/uri-list"), "file:///tmp/other\r\n"}},
         {"/tmp/a b"},
         true,
         1},
        {"uri list with a KDE cut mark",
         QByteArray("text/uri-list\napplication/x-kde-cutselection\n"),
         {{QStringLiteral("text/uri-list"), "file:///tmp/x\r\nfile:///tmp/y\r\n"},
          {QStringLiteral("application/x-kde-cutselection"), "1"}},
         {"/tmp/x", "/tmp/y"},
         true,
         2},
        {"plain text only is no file list",
         QByteArray("text/plain\n"),
         {{QStringLiteral("text/plain"), "/tmp/x"}},
         {},
         false,
         0},
        {"empty clipboard", std::nullopt, {}, {}, false, 0},
    };
    for (const Case& c : cases) {
        int listings = 0;
        int reads = 0;
        WlPasteClipboard clipboard([&](const QStringList& a) -> std::optional<QByteArray> {
            if (a == QStringList{QStringLiteral("--list-types")}) {
                ++listings;
                return c.listing;
            }
            EXPECT_EQ(a.mid(0, 2),
                      (QStringList{QStringLiteral("--no-newline"), QStringLiteral("--type")}))
                << c.what;
            ++reads;
            const auto it = c.data.find(a.value(2));
            return it == c.data.end() ? std::nullopt : std::optional<QByteArray>(it->second);
        });
        const CopiedFiles files = ClipboardReader::decode(clipboard.targets());
        EXPECT_EQ(files.paths, c.paths) << c.what;
        EXPECT_EQ(files.cut, c.cut) << c.what;
        EXPECT_EQ(listings, 1) << c.what;
        EXPECT_EQ(reads, c.reads) << c.what;
    }
}

}  // namespace
}  // namespace ferrymark
