#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string_view>

#include "StandInKde.h"
#include "StandInShortcutsPortal.h"
#include "app/DesktopId.h"
#include "app/GlobalEventHandler.h"
#include "app/SessionPlatform.h"
#include "platform/wayland/KGlobalAccelKeyGrabber.h"
#include "platform/wayland/KWinFileManagerBridge.h"
#include "platform/wayland/PortalKeyGrabber.h"

namespace ferrymark {
namespace {

using testing::StandInKde;
using testing::StandInShortcutsPortal;

// The bus must be a private one: the stand-ins take the desktop's names on it.
class KdeWaylandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !kde_.registered()) {
            GTEST_SKIP() << "no private session bus to put the stand-in services on";
        }
    }
    StandInKde kde_;
};

class PortalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !portal_.registered()) {
            GTEST_SKIP() << "no private session bus to put the stand-in portal on";
        }
    }
    StandInShortcutsPortal portal_;
};

class Receiver : public QObject {
    Q_OBJECT
  public:
    int pastes = 0;
    int moves = 0;
  public slots:
    void doPaste(QObject*) { ++pastes; }
    void doMove(QObject*) { ++moves; }
};

bool loggedLine(const std::vector<std::string>& log, std::string_view start) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
}

// Runs the event loop until done() or the time has passed.
template <typename F>
bool waitUntil(F done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

TEST_F(KdeWaylandTest, ActiveWindowFromKWinScripts) {
    QTemporaryDir folder;
    const QString path = folder.path();
    const QString dash = QString::fromUtf8(" \xE2\x80\x94 Dolphin");
    struct Case {
        const char* what;
        StandInKde::Window active;
        bool frontmost;
        QString location;  // empty: none
    };
    const int ownPid = 4242;
    const Case cases[] = {
        {"Dolphin with its full-path title",
         {"org.kde.dolphin", path + dash, "{d1}", 7},
         true,
         path},
        {"Dolphin with the folder name only",
         {"org.kde.dolphin", "dest" + dash, "{d1}", 7},
         true,
         {}},
        {"a terminal", {"org.kde.konsole", "~ : bash", "{k1}", 8}, false, {}},
        {"nothing active", {"", "", "", 0}, false, {}},
        {"Thunar as a Wayland client", {"thunar", path + " - Thunar", "{t1}", 9}, true, path},
        {"our own window keeps Thunar", {"ferrymark", "Copying", "{f1}", ownPid}, true, path},
    };
    KWinFileManagerBridge bridge(QDBusConnection::sessionBus(), ownPid);
    for (const Case& c : cases) {
        kde_.setActiveWindow(c.active);
        EXPECT_EQ(bridge.isFileManagerFrontmost(), c.frontmost) << c.what;
        const InsertionLocation location = bridge.insertionLocation();
        EXPECT_EQ(QString::fromStdString(location.path.value_or("")), c.location)
            << c.what << ": " << location.whyNot;
    }
    EXPECT_TRUE(bridge.activateFileManager());
    EXPECT_EQ(kde_.activated(), QStringList{QStringLiteral("{t1}")});
    EXPECT_EQ(kde_.loadedScripts(), 0) << "every script is unloaded after its run";
}

TEST_F(KdeWaylandTest, HotKeysThroughKGlobalAccel) {
    auto grabber = KGlobalAccelKeyGrabber::create(QDBusConnection::sessionBus());
    ASSERT_NE(grabber, nullptr);
    GlobalEventHandler::resetForTesting(std::move(grabber));
    Receiver receiver;
    const int ctrlAltV = (Qt::CTRL | Qt::ALT | Qt::Key_V).toCombined();
    const int metaM = (Qt::META | Qt::Key_M).toCombined();
    kde_.takeKey((Qt::CTRL | Qt::ALT | Qt::Key_8).toCombined());

    struct Case {
        const char* key;
        Qt::KeyboardModifiers mask;
        const char* action;
        bool grabbed;
    };
    const Case cases[] = {
        {"V", Qt::ControlModifier | Qt::AltModifier, "doPaste", true},
        {"m", Qt::MetaModifier, "doMove", true},
        {"8", Qt::ControlModifier | Qt::AltModifier, "doMove", false},  // held by another
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobalEventHandler::registerKeyEquivalent(QString::fromLatin1(c.key), c.mask,
                                                            &receiver, c.action),
                  c.grabbed)
            << c.key;
    }
    const auto shortcuts = kde_.shortcuts();
    ASSERT_EQ(shortcuts.size(), 2);
    EXPECT_EQ(shortcuts.values(), (QList<int>{ctrlAltV, metaM}));

    kde_.press(shortcuts.key(ctrlAltV));
    EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 1; }));
    kde_.press(shortcuts.key(metaM));
    EXPECT_TRUE(waitUntil([&] { return receiver.moves == 1; }));
    kde_.press(QStringLiteral("someone-else"));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(receiver.pastes + receiver.moves, 2);

    GlobalEventHandler::unregisterKeyEquivalent(QStringLiteral("v"),
                                                Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(kde_.shortcuts().size(), 1);
    GlobalEventHandler::resetForTesting(nullptr);
    EXPECT_TRUE(kde_.shortcuts().isEmpty());
}

TEST_F(PortalTest, GlobalShortcutsBoundOncePerSessionAndActivated) {
    using Bound = std::map<QString, QString>;
    const Bound both{{QStringLiteral("doPaste"), QStringLiteral("CTRL+ALT+v")},
                     {QStringLiteral("doMove"), QStringLiteral("LOGO+comma")}};
    struct Case {
        const char* what;
        StandInShortcutsPortal::Behaviour behaviour;
        Bound bound;
        const char* offLine;  // a log line that must be there; null: none says "is off"
    };
    const Case cases[] = {
        {"registered app id, then session and binding", {true, false, {}}, both, nullptr},
        {"Plasma 5.27 binds what the session named", {true, true, {}}, both, nullptr},
        {"a key the desktop declines is off",
         {true, false, {QStringLiteral("doMove")}},
         {{QStringLiteral("doPaste"), QStringLiteral("CTRL+ALT+v")}},
         "Hot key LOGO+comma is off: the desktop portal did not bind it"},
        {"GNOME 48.0 answers a confirmed binding with a stray code; its list counts",
         {true, false, {}, true, 2},
         both,
         nullptr},
    };
    for (const Case& c : cases) {
        portal_.reset(c.behaviour);
        std::vector<std::string> log;
        // The shared connection has talked to the portal first, as Qt's theme and the
        // colour scheme do: the app id goes on a connection of the grabber's own.
        auto grabber =
            PortalKeyGrabber::create(QDBusConnection::sessionBus(), DesktopId::kId,
                                     [&](const std::string& line) { log.push_back(line); });
        ASSERT_NE(grabber, nullptr) << c.what;
        GlobalEventHandler::resetForTesting(std::move(grabber));
        Receiver receiver;
        GlobalEventHandler::registerKeyEquivalent(QStringLiteral("v"),
                                                  Qt::ControlModifier | Qt::AltModifier, &receiver,
                                                  "doPaste", QStringLiteral("Paste Here"));
        GlobalEventHandler::registerKeyEquivalent(QStringLiteral(","), Qt::MetaModifier, &receiver,
                                                  "doMove");
        // Both grabs go into one session with one binding; each key's outcome is logged.
        const auto keyLines = [&] {
            return std::count_if(log.begin(), log.end(), [](const std::string& line) {
                return line.starts_with("Hot key ");
            });
        };
        ASSERT_TRUE(waitUntil([&] { return keyLines() == 2; })) << c.what;
        EXPECT_EQ(portal_.sessions(), 1) << c.what;
        EXPECT_EQ(portal_.binds(), 1) << c.what;
        EXPECT_EQ(portal_.appId(), DesktopId::kId) << c.what;
        EXPECT_EQ(portal_.bound(), c.bound) << c.what;
        // Known by the action's name; described by the text given, else by that name.
        EXPECT_EQ(portal_.descriptions(),
                  (Bound{{QStringLiteral("doPaste"), QStringLiteral("Paste Here")},
                         {QStringLiteral("doMove"), QStringLiteral("doMove")}}))
            << c.what;
        if (c.offLine) {
            EXPECT_NE(std::find(log.begin(), log.end(), c.offLine), log.end()) << c.what;
        } else {
            EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& line) {
                return line.find(" off") != std::string::npos;
            })) << c.what;
        }

        portal_.activate(QStringLiteral("doPaste"));
        EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 1; })) << c.what;
        portal_.activate(QStringLiteral("doMove"));  // fires only where it was bound
        const bool wanted = c.bound.size() == 2;
        EXPECT_EQ(waitUntil([&] { return receiver.moves == 1; }, wanted ? 10000 : 500), wanted)
            << c.what;

        // A changed key: the new grab comes before the old one goes, as the preferences
        // do it; the portal gets one shortcut of that name, in a new session.
        GlobalEventHandler::registerKeyEquivalent(QStringLiteral("p"),
                                                  Qt::ControlModifier | Qt::AltModifier, &receiver,
                                                  "doPaste", QStringLiteral("Paste Here"));
        GlobalEventHandler::unregisterKeyEquivalent(QStringLiteral("v"),
                                                    Qt::ControlModifier | Qt::AltModifier);
        ASSERT_TRUE(waitUntil([&] { return portal_.binds() == 2; })) << c.what;
        EXPECT_EQ(portal_.closedSessions(), 1) << c.what;
        EXPECT_EQ(portal_.bound().at(QStringLiteral("doPaste")), QStringLiteral("CTRL+ALT+p"))
            << c.what;
        portal_.activate(QStringLiteral("doPaste"));
        EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 2; })) << c.what;

        GlobalEventHandler::unregisterKeyEquivalent(QStringLiteral("p"),
                                                    Qt::ControlModifier | Qt::AltModifier);
        ASSERT_TRUE(waitUntil([&] { return portal_.binds() == 3; })) << c.what;
        EXPECT_FALSE(portal_.bound().contains(QStringLiteral("doPaste"))) << c.what;
        GlobalEventHandler::resetForTesting(nullptr);
    }

    // Without the app id registered, a 1.21 portal makes no session, and we say so.
    portal_.reset({true, false, {}});
    std::vector<std::string> log;
    PortalKeyGrabber grabber(QDBusConnection::sessionBus(), QString(),
                             [&](const std::string& line) { log.push_back(line); });
    grabber.grab(Qt::Key_V, IKeyGrabber::kControl, HotKeyId{1, 1}, {QStringLiteral("doPaste"), {}});
    const std::string noSession = "Hot keys are off: the desktop portal made no shortcut session";
    EXPECT_TRUE(
        waitUntil([&] { return std::find(log.begin(), log.end(), noSession) != log.end(); }));
}

// How the keys work and what the user is told, by the session and by whether the portal on
// the bus offers GlobalShortcuts (GNOME 48) or not (GNOME 43).
TEST_F(PortalTest, KeysAndNoticeFollowWhatThePortalOffers) {
    struct Case {
        const char* what;
        DesktopSession::Environment environment;
        bool globalShortcuts;
        bool portalKeys;
        QStringList told;     // in the notice; empty: no notice
        QStringList notTold;  // never in it
    };
    const QString menuEntry = QStringLiteral("\"Paste Here with Ferrymark\"");
    const QStringList customShortcut{QStringLiteral("custom shortcut")};
    // sessionType, currentDesktop, waylandDisplay, display, swaySocket, qtPlatform
    const DesktopSession::Environment gnome{"wayland", "GNOME", "wayland-0", ":0", "", ""};
    const DesktopSession::Environment hyprland{"wayland", "Hyprland", "wayland-1", "", "", ""};
    const Case cases[] = {
        {"GNOME 43: keys bound in Settings",
         gnome,
         false,
         false,
         {menuEntry, QStringLiteral("Settings, Keyboard"), QStringLiteral("cannot take global")},
         {QStringLiteral("portal")}},
        {"GNOME 48: keys through the portal, confirmed once; still no folder told",
         gnome,
         true,
         true,
         {menuEntry, QStringLiteral("desktop portal"), QStringLiteral("asks you once"),
          QStringLiteral("tells no program which folder")},
         customShortcut + QStringList{QStringLiteral("cannot take global")}},
        {"another compositor with the portal", hyprland, true, true, {}, {}},
        {"another compositor without it",
         hyprland,
         false,
         false,
         {QStringLiteral("keyboard settings"), QStringLiteral("ferrymark --move")},
         {}},
    };
    std::set<QString> keys;
    for (const Case& c : cases) {
        portal_.reset({true, false, {}, c.globalShortcuts});
        const SessionPlatform p =
            SessionPlatform::choose(c.environment, QDBusConnection::sessionBus(), 1);
        EXPECT_EQ(p.hotKeys, c.portalKeys) << c.what;
        EXPECT_EQ(p.keyGrabber != nullptr, c.portalKeys) << c.what;
        EXPECT_EQ(p.notice.isEmpty(), c.told.isEmpty()) << c.what;
        for (const QString& text : c.told) {
            EXPECT_TRUE(p.notice.contains(text)) << c.what << ": " << text.toStdString();
        }
        for (const QString& text : c.notTold) {
            EXPECT_FALSE(p.notice.contains(text, Qt::CaseInsensitive))
                << c.what << ": " << text.toStdString();
        }
        if (!p.notice.isEmpty()) {
            // Each notice is told once under a name of its own: a GNOME upgraded to the
            // portal tells its news to a user who read the old notice.
            EXPECT_TRUE(keys.insert(p.noticeKey).second) << c.what;
        }
    }
}

// Against the real desktop portal with its KDE backend, inside a KWin session
// (tests/run-wayland.sh kwin): the portal binds the key in kglobalaccel, and a press
// through kglobalaccel comes back as the portal's Activated.
QDBusMessage callKGlobalAccel(const QString& path, const QString& interface, const QString& method,
                              const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"),
                                                          path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
}

TEST(PortalKdeTest, PortalBindsThroughKGlobalAccelAndActivates) {
    std::vector<std::string> log;
    auto grabber = PortalKeyGrabber::create(QDBusConnection::sessionBus(), DesktopId::kId,
                                            [&](const std::string& line) { log.push_back(line); });
    if (!grabber) {
        GTEST_SKIP() << "no desktop portal with GlobalShortcuts on this bus";
    }
    GlobalEventHandler::resetForTesting(std::move(grabber));
    Receiver receiver;
    GlobalEventHandler::registerKeyEquivalent(
        QStringLiteral("v"), Qt::MetaModifier | Qt::AltModifier, &receiver, "doPaste");
    ASSERT_TRUE(waitUntil([&] { return loggedLine(log, "Hot key"); }, 60000))
        << "the portal never answered";

    for (const std::string& line : log) {
        std::printf("%s\n", line.c_str());
    }
    ASSERT_TRUE(loggedLine(log, "Hot key ALT+LOGO+v is bound"));

    // The backend keeps our shortcut in a kglobalaccel component of its own naming.
    const QDBusMessage components =
        callKGlobalAccel(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
                         QStringLiteral("allComponents"));
    ASSERT_EQ(components.type(), QDBusMessage::ReplyMessage);
    QString component;
    for (const QDBusObjectPath& path :
         qdbus_cast<QList<QDBusObjectPath>>(components.arguments().value(0))) {
        const QDBusMessage names =
            callKGlobalAccel(path.path(), QStringLiteral("org.kde.kglobalaccel.Component"),
                             QStringLiteral("shortcutNames"));
        if (names.arguments().value(0).toStringList().contains(QStringLiteral("doPaste"))) {
            component = path.path();
        }
    }
    ASSERT_FALSE(component.isEmpty()) << "no kglobalaccel component holds the shortcut";
    std::printf("kglobalaccel component: %s\n", qPrintable(component));
    callKGlobalAccel(component, QStringLiteral("org.kde.kglobalaccel.Component"),
                     QStringLiteral("invokeShortcut"), {QStringLiteral("doPaste")});
    EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 1; }, 10000));
    GlobalEventHandler::resetForTesting(nullptr);
}

// A keyboard on GNOME Shell's seat, through Mutter's remote-desktop interface: keys pressed
// there reach the shell and its windows as a user's do.
class RemoteKeyboard {
  public:
    static constexpr uint kEscape = 0xff1b, kAlt = 0xffe9, kSuper = 0xffeb;

    RemoteKeyboard() {
        const QDBusMessage made = call(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), kService,
                                       QStringLiteral("CreateSession"));
        session_ = qdbus_cast<QDBusObjectPath>(made.arguments().value(0)).path();
        started_ =
            !session_.isEmpty() &&
            call(session_, kSession, QStringLiteral("Start")).type() == QDBusMessage::ReplyMessage;
    }
    ~RemoteKeyboard() {
        if (!session_.isEmpty()) {
            call(session_, kSession, QStringLiteral("Stop"));
        }
    }
    bool started() const { return started_; }

    // Presses the keys in order and lets go of them in reverse, as fingers do.
    void press(std::initializer_list<uint> keysyms) {
        for (const uint keysym : keysyms) {
            send(keysym, true);
        }
        for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it) {
            send(*it, false);
        }
    }

  private:
    static inline const QString kService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    static inline const QString kSession = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

    static QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                             const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
    }
    void send(uint keysym, bool pressed) {
        call(session_, kSession, QStringLiteral("NotifyKeyboardKeysym"), {keysym, pressed});
    }

    QString session_;
    bool started_ = false;
};

bool overviewShown() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({QStringLiteral("org.gnome.Shell"), QStringLiteral("OverviewActive")});
    const QDBusReply<QDBusVariant> shown = QDBusConnection::sessionBus().call(get);
    return shown.isValid() && shown.value().variant().toBool();
}

// Against GNOME 48's own portal backend inside a headless GNOME Shell (tests/run-wayland.sh
// gnome, tests/app/portal_gnome.sh): GNOME Settings shows its dialog of the keys asked
// for, the user adds them with its Add button (Alt+A), and a bound key pressed on the
// shell's keyboard comes back as the portal's Activated.
TEST(PortalGnomeTest, UserAddsTheKeysInGnomesDialogAndTheShellActivatesThem) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell"))) {
        GTEST_SKIP() << "no GNOME Shell on this bus";
    }
    // As in the program, the shared connection has read the portal's settings before.
    QDBusMessage read = QDBusMessage::createMethodCall(
        PortalKeyGrabber::kService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("ReadOne"));
    read.setArguments(
        {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")});
    ASSERT_EQ(bus.call(read, QDBus::Block, 30000).type(), QDBusMessage::ReplyMessage);

    std::vector<std::string> log;
    auto grabber = PortalKeyGrabber::create(bus, DesktopId::kId,
                                            [&](const std::string& line) { log.push_back(line); });
    ASSERT_NE(grabber, nullptr) << "GNOME's portal offers no GlobalShortcuts";
    RemoteKeyboard keyboard;
    ASSERT_TRUE(keyboard.started()) << "no remote-desktop session on the shell's seat";
    // GNOME starts in its overview; the user leaves it for the desktop.
    EXPECT_TRUE(waitUntil(
        [&] {
            keyboard.press({RemoteKeyboard::kEscape});
            return !overviewShown();
        },
        15000));

    GlobalEventHandler::resetForTesting(std::move(grabber));
    Receiver receiver;
    GlobalEventHandler::registerKeyEquivalent(QStringLiteral("v"),
                                              Qt::MetaModifier | Qt::AltModifier, &receiver,
                                              "doPaste", QStringLiteral("Paste Here"));
    GlobalEventHandler::registerKeyEquivalent(QStringLiteral("m"),
                                              Qt::MetaModifier | Qt::AltModifier, &receiver,
                                              "doMove", QStringLiteral("Move Here"));
    // GNOME Settings takes a few seconds to show its dialog: the user's answer is pressed
    // until the portal answers.
    const auto answer = [&](std::initializer_list<uint> keys) {
        const auto answered = [&] { return loggedLine(log, "Hot key"); };
        QDeadlineTimer deadline(90000);
        while (!answered() && !deadline.hasExpired()) {
            keyboard.press(keys);
            waitUntil(answered, 2000);
        }
        waitUntil([] { return false; }, 200);  // the rest of the answer's lines
        for (const std::string& line : log) {
            std::printf("%s\n", line.c_str());
        }
        return answered();
    };
    // Cancelled (Escape): nothing is bound, and the log says so.
    ASSERT_TRUE(answer({RemoteKeyboard::kEscape})) << "the portal never answered the binding";
    EXPECT_TRUE(loggedLine(log, "Hot keys are off: the shortcuts were not bound"));
    EXPECT_FALSE(loggedLine(log, "Hot key ALT"));

    // A key changed later, as the preferences do, binds anew: GNOME asks again, and the
    // user adds them (Add is Alt+A).
    log.clear();
    GlobalEventHandler::unregisterKeyEquivalent(QStringLiteral("m"),
                                                Qt::MetaModifier | Qt::AltModifier);
    GlobalEventHandler::registerKeyEquivalent(QStringLiteral("m"),
                                              Qt::MetaModifier | Qt::AltModifier, &receiver,
                                              "doMove", QStringLiteral("Move Here"));
    ASSERT_TRUE(answer({RemoteKeyboard::kAlt, 'a'})) << "the portal never answered the binding";
    for (const char* key : {"Hot key ALT+LOGO+v is bound", "Hot key ALT+LOGO+m is bound"}) {
        EXPECT_TRUE(loggedLine(log, key)) << key;
    }

    keyboard.press({RemoteKeyboard::kSuper, RemoteKeyboard::kAlt, 'v'});
    EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 1; }, 10000));
    keyboard.press({RemoteKeyboard::kSuper, RemoteKeyboard::kAlt, 'm'});
    EXPECT_TRUE(waitUntil([&] { return receiver.moves == 1; }, 10000));
    keyboard.press({RemoteKeyboard::kSuper, RemoteKeyboard::kAlt, 'x'});  // not ours
    waitUntil([] { return false; }, 500);
    EXPECT_EQ(receiver.pastes + receiver.moves, 2);
    GlobalEventHandler::resetForTesting(nullptr);
}

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "WaylandBusTest.moc"
