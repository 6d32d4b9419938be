#include "platform/x11/X11FileManagerBridge.h"

#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "StandInClient.h"
#include "StandInNautilus.h"
#include "X11Wait.h"

namespace ferrymark {
namespace {

namespace fs = std::filesystem;
using testing::StandInClient;
using testing::StandInNautilus;
using testing::X11Wait;

const std::string kWindowPath1 = "/org/gnome/Nautilus/window/1";
const std::string kWindowPath2 = "/org/gnome/Nautilus/window/2";

// Records the active window each time Qt hands us a _NET_ACTIVE_WINDOW change, so a test
// knows the bridge has been shown that change too.
class ActiveWindowWatch : public QAbstractNativeEventFilter {
  public:
    ActiveWindowWatch(StandInClient& client, xcb_atom_t activeAtom)
        : client_(client), activeAtom_(activeAtom) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ActiveWindowWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type == "xcb_generic_event_t" && (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom == activeAtom_) {
            seen = client_.activeWindow();
        }
        return false;
    }

    xcb_window_t seen = XCB_WINDOW_NONE;

  private:
    StandInClient& client_;
    xcb_atom_t activeAtom_;
};

xcb_connection_t* qtConnection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t internAtom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            qtConnection(),
            xcb_intern_atom(qtConnection(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t rootWindow() {
    return xcb_setup_roots_iterator(xcb_get_setup(qtConnection())).data->root;
}

class X11FileManagerBridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(client_.connected());
        std::string pattern = (fs::temp_directory_path() / "fm-bridge-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        for (const char* dir : {"src", "p/docs", "q/docs"}) {
            fs::create_directories(root_ / dir);
        }
        // Root property changes reach Qt's connection, whichever bridge exists.
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(qtConnection(), rootWindow(), XCB_CW_EVENT_MASK, &mask);
        xcb_flush(qtConnection());
        watch_ = std::make_unique<ActiveWindowWatch>(client_, internAtom("_NET_ACTIVE_WINDOW"));
    }

    void TearDown() override {
        for (const xcb_window_t window : windows_) {
            client_.destroy(window);
        }
        fs::remove_all(root_);
    }

    std::unique_ptr<X11FileManagerBridge> makeBridge(X11FileManagerBridge::Wait wait = {}) {
        return std::make_unique<X11FileManagerBridge>(
            qtConnection(), rootWindow(), QDBusConnection::sessionBus(), std::move(wait));
    }

    // A managed window of another application.
    xcb_window_t window(const std::string& windowClass, const std::string& title,
                        xcb_window_t transientFor = XCB_WINDOW_NONE) {
        const xcb_window_t id = client_.createWindow(windowClass, title, transientFor);
        windows_.push_back(id);
        const bool managed = X11Wait::until([&] {
            const auto clients = client_.clientList();
            return std::find(clients.begin(), clients.end(), id) != clients.end();
        });
        EXPECT_TRUE(managed) << "the window manager never listed window " << id;
        return id;
    }

    // Activates a window and returns once our event filters have been told.
    bool activate(xcb_window_t id) {
        client_.requestActivation(id);
        return waitSeenActive(id);
    }

    bool waitSeenActive(xcb_window_t id) {
        return X11Wait::until([&] { return watch_->seen == id; });
    }

    std::string path(const char* relative) const { return (root_ / relative).string(); }
    std::string uri(const char* relative) const { return "file://" + path(relative); }

    xcb_window_t nautilusWindow(const StandInNautilus& service, const std::string& objectPath,
                                const std::string& title) {
        const xcb_window_t id = window("org.gnome.Nautilus", title);
        client_.setUtf8Property(id, "_GTK_UNIQUE_BUS_NAME", service.busName().toStdString());
        client_.setUtf8Property(id, "_GTK_WINDOW_OBJECT_PATH", objectPath);
        return id;
    }

    StandInClient client_;
    fs::path root_;
    std::vector<xcb_window_t> windows_;
    std::unique_ptr<ActiveWindowWatch> watch_;
};

TEST_F(X11FileManagerBridgeTest, ThunarInFrontGivesTheFolderInItsTitle) {
    auto bridge = X11FileManagerBridge::create();
    ASSERT_NE(bridge, nullptr);
    const xcb_window_t thunar = window("Thunar", path("src") + " - Thunar");
    ASSERT_TRUE(activate(thunar));

    EXPECT_TRUE(bridge->isFileManagerFrontmost());
    const InsertionLocation location = bridge->insertionLocation();
    EXPECT_EQ(location.path, path("src")) << location.whyNot;
}

TEST_F(X11FileManagerBridgeTest, AnotherApplicationInFrontIsNoFileManager) {
    auto bridge = makeBridge();
    const xcb_window_t thunar = window("Thunar", path("src") + " - Thunar");
    const xcb_window_t editor = window("Gedit", "notes.txt");
    ASSERT_TRUE(activate(thunar));
    ASSERT_TRUE(activate(editor));

    EXPECT_FALSE(bridge->isFileManagerFrontmost());
    const InsertionLocation location = bridge->insertionLocation();
    EXPECT_FALSE(location.path);
    EXPECT_FALSE(location.whyNot.empty());
}

TEST_F(X11FileManagerBridgeTest, DialogStandsForItsFileManagerWindow) {
    auto bridge = makeBridge();
    const xcb_window_t dolphin = window("dolphin", path("src") + " \xE2\x80\x94 Dolphin");
    const xcb_window_t dialog = window("Dialog", "Rename", dolphin);
    ASSERT_TRUE(activate(dialog));

    EXPECT_TRUE(bridge->isFileManagerFrontmost());
    EXPECT_EQ(bridge->insertionLocation().path, path("src"));
}

TEST_F(X11FileManagerBridgeTest, OurOwnWindowLeavesTheFileManagerInFront) {
    auto bridge = makeBridge();
    const xcb_window_t nemo = window("Nemo", "src - " + path("src"));
    const xcb_window_t editor = window("Gedit", "notes.txt");
    QWindow own;
    own.resize(200, 100);
    own.show();
    ASSERT_TRUE(X11Wait::until([&] { return own.isExposed(); }));

    ASSERT_TRUE(activate(nemo));
    // The bridge learns the order from the property's events; on a loaded machine they may
    // come only after the next change, which would skip the file manager altogether.
    ASSERT_TRUE(X11Wait::until([&] { return bridge->isFileManagerFrontmost(); }));
    ASSERT_TRUE(activate(own.winId()));
    EXPECT_TRUE(bridge->isFileManagerFrontmost());
    EXPECT_EQ(bridge->insertionLocation().path, path("src"));

    // Once another application was in front, ours coming back does not bring the file
    // manager back.
    ASSERT_TRUE(activate(editor));
    ASSERT_TRUE(X11Wait::until([&] { return !bridge->isFileManagerFrontmost(); }));
    ASSERT_TRUE(activate(own.winId()));
    EXPECT_FALSE(bridge->isFileManagerFrontmost());
}

// Window managers hand the focus over through nothing in front: our window coming in front
// from the file manager that way still serves it, but not after the desktop was clicked.
TEST_F(X11FileManagerBridgeTest, AHandOverThroughNothingIsNotTheDesktopClicked) {
    const xcb_window_t none = XCB_WINDOW_NONE;
    for (const int nothingFor : {0, 900}) {
        SCOPED_TRACE(nothingFor);
        auto bridge = makeBridge();
        const xcb_window_t nemo = window("Nemo", "src - " + path("src"));
        QWindow own;
        own.resize(200, 100);
        own.show();
        ASSERT_TRUE(X11Wait::until([&] { return own.isExposed(); }));
        // The window manager gives a new window the focus when it gets to it: that must
        // not come after the nothing set below.
        ASSERT_TRUE(activate(own.winId()));
        ASSERT_TRUE(activate(nemo));
        ASSERT_TRUE(X11Wait::until([&] { return bridge->isFileManagerFrontmost(); }));

        xcb_change_property(qtConnection(), XCB_PROP_MODE_REPLACE, rootWindow(),
                            internAtom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &none);
        xcb_flush(qtConnection());
        ASSERT_TRUE(waitSeenActive(XCB_WINDOW_NONE));
        EXPECT_FALSE(bridge->isFileManagerFrontmost());
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nothingFor);
        X11Wait::until([&] { return std::chrono::steady_clock::now() > until; });
        ASSERT_TRUE(activate(own.winId()));
        EXPECT_EQ(bridge->isFileManagerFrontmost(), nothingFor == 0);
    }
}

// The desktop clicked leaves nothing in front (or the desktop's own window, which Caja and
// Nemo draw under their own class): the paste is refused rather than sent to the
// file-manager window seen last, which is often the source folder.
TEST_F(X11FileManagerBridgeTest, NothingOrTheDesktopInFrontIsNoFileManager) {
    auto bridge = makeBridge();
    const xcb_window_t thunar = window("Thunar", path("src") + " - Thunar");
    const xcb_window_t desktop = window("Caja", "x-caja-desktop");
    const xcb_atom_t type = internAtom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktopType = internAtom("_NET_WM_WINDOW_TYPE_DESKTOP");
    xcb_change_property(qtConnection(), XCB_PROP_MODE_REPLACE, desktop, type, XCB_ATOM_ATOM, 32, 1,
                        &desktopType);
    xcb_flush(qtConnection());
    // The window manager restacks a window that turns into the desktop, and may hand it
    // the focus while doing so: let it settle before the test moves the focus.
    const auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    X11Wait::until([&] { return std::chrono::steady_clock::now() > settled; });

    ASSERT_TRUE(activate(thunar));
    ASSERT_TRUE(bridge->isFileManagerFrontmost());
    ASSERT_TRUE(activate(desktop));
    EXPECT_FALSE(bridge->isFileManagerFrontmost());
    EXPECT_FALSE(bridge->insertionLocation().path);

    ASSERT_TRUE(activate(thunar));
    ASSERT_TRUE(bridge->isFileManagerFrontmost());
    const xcb_window_t none = XCB_WINDOW_NONE;
    xcb_change_property(qtConnection(), XCB_PROP_MODE_REPLACE, rootWindow(),
                        internAtom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &none);
    xcb_flush(qtConnection());
    ASSERT_TRUE(waitSeenActive(XCB_WINDOW_NONE));
    EXPECT_FALSE(bridge->isFileManagerFrontmost());
    EXPECT_FALSE(bridge->insertionLocation().path);
}

TEST_F(X11FileManagerBridgeTest, ActivationGivesTheFocusBackToTheFileManager) {
    auto bridge = makeBridge();
    const xcb_window_t thunar = window("Thunar", path("src") + " - Thunar");
    const xcb_window_t editor = window("Gedit", "notes.txt");
    ASSERT_TRUE(activate(thunar));
    ASSERT_TRUE(activate(editor));

    ASSERT_TRUE(bridge->activateFileManager());
    EXPECT_TRUE(waitSeenActive(thunar)) << "the file-manager window never became active";
    EXPECT_EQ(client_.activeWindow(), thunar);
}

TEST_F(X11FileManagerBridgeTest, NoActivationWithoutAFileManagerWindow) {
    const xcb_window_t editor = window("Gedit", "notes.txt");
    ASSERT_TRUE(activate(editor));
    auto bridge = makeBridge();
    EXPECT_FALSE(bridge->activateFileManager());

    const xcb_window_t thunar = window("Thunar", path("src") + " - Thunar");
    ASSERT_TRUE(activate(thunar));
    client_.destroy(thunar);
    windows_.erase(std::find(windows_.begin(), windows_.end(), thunar));
    ASSERT_TRUE(X11Wait::until([&] {
        const auto clients = client_.clientList();
        return std::find(clients.begin(), clients.end(), thunar) == clients.end();
    }));
    EXPECT_FALSE(bridge->activateFileManager());
    EXPECT_FALSE(bridge->isFileManagerFrontmost());
}

TEST_F(X11FileManagerBridgeTest, NautilusTabInFrontOverDBus) {
    StandInNautilus service;
    ASSERT_TRUE(service.registered());
    service.setLocations({
        {QString::fromStdString(kWindowPath1),
         {QString::fromStdString(uri("src")), QString::fromStdString(uri("p/docs"))}},
        {QString::fromStdString(kWindowPath2), {QString::fromStdString(uri("q/docs"))}},
    });
    auto bridge = makeBridge();
    const xcb_window_t nautilus = nautilusWindow(service, kWindowPath1, "docs");
    ASSERT_TRUE(activate(nautilus));

    EXPECT_TRUE(bridge->isFileManagerFrontmost());
    const InsertionLocation location = bridge->insertionLocation();
    EXPECT_EQ(location.path, path("p/docs")) << location.whyNot;
    EXPECT_GE(service.calls(), 1);
}

TEST_F(X11FileManagerBridgeTest, NautilusLoadingIsAskedAgain) {
    StandInNautilus service;
    ASSERT_TRUE(service.registered());
    service.setLocations(
        {{QString::fromStdString(kWindowPath1),
          {QString::fromStdString(uri("p/docs")), QString::fromStdString(uri("src"))}}});
    xcb_window_t nautilus = XCB_WINDOW_NONE;
    int waits = 0;
    auto bridge = makeBridge([&] {
        ++waits;
        client_.setTitle(nautilus, "src");
    });
    nautilus = nautilusWindow(service, kWindowPath1, "Loading\xE2\x80\xA6");
    ASSERT_TRUE(activate(nautilus));

    const InsertionLocation location = bridge->insertionLocation();
    EXPECT_EQ(location.path, path("src")) << location.whyNot;
    EXPECT_EQ(waits, 1);
}

TEST_F(X11FileManagerBridgeTest, NautilusStillLoadingGivesUp) {
    StandInNautilus service;
    ASSERT_TRUE(service.registered());
    int waits = 0;
    auto bridge = makeBridge([&] { ++waits; });
    const xcb_window_t nautilus = nautilusWindow(service, kWindowPath1, "Loading\xE2\x80\xA6");
    ASSERT_TRUE(activate(nautilus));

    const InsertionLocation location = bridge->insertionLocation();
    EXPECT_FALSE(location.path);
    EXPECT_FALSE(location.whyNot.empty());
    EXPECT_GT(waits, 0);
    EXPECT_EQ(service.calls(), 0);
}

TEST_F(X11FileManagerBridgeTest, NautilusWithoutAnAnswerSaysWhy) {
    StandInNautilus service;
    ASSERT_TRUE(service.registered());
    service.setLocations(
        {{QString::fromStdString(kWindowPath2), {QString::fromStdString(uri("src"))}}});
    auto bridge = makeBridge();

    struct Case {
        const char* what;
        std::string busName;
        std::string objectPath;
    };
    const Case cases[] = {
        {"window not listed", service.busName().toStdString(), kWindowPath1},
        {"nobody at the bus name", ":1.999999", kWindowPath2},
        {"no bus name", "", kWindowPath2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const xcb_window_t id = window("org.gnome.Nautilus", "src");
        if (!c.busName.empty()) {
            client_.setUtf8Property(id, "_GTK_UNIQUE_BUS_NAME", c.busName);
        }
        client_.setUtf8Property(id, "_GTK_WINDOW_OBJECT_PATH", c.objectPath);
        ASSERT_TRUE(activate(id));
        const InsertionLocation location = bridge->insertionLocation();
        EXPECT_FALSE(location.path);
        EXPECT_FALSE(location.whyNot.empty());
    }
}

}  // namespace
}  // namespace ferrymark
