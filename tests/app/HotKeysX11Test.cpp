// Global hot keys on a real X server: keys typed by xdotool while a window of another
// client has the focus. Run through tests/run-x11.sh; exit code 77 means skipped.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QtCore/qtestsupport_core.h>
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QKeySequence>
#include <QSettings>
#include <QTemporaryDir>

#include "app/AppDelegate.h"
#include "app/GlobalEventHandler.h"
#include "app/NamedException.h"
#include "platform/x11/X11KeyGrabber.h"
#include "ui/QtJobHost.h"
#include "ui/SystemLog.h"

namespace ferrymark {
namespace {

constexpr int kPatienceMs = 5000;
const auto kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

bool xdotool(const QStringList& args) {
    return QProcess::execute("xdotool", args) == 0;
}

bool setKeyboardLayout(const QStringList& args) {
    return QProcess::execute("setxkbmap", args) == 0;
}

// A window of another X client, which holds the input focus while keys are typed.
class OtherClient {
  public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_) != 0) {
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        root_ = screen->root;
        window_ = xcb_generate_id(connection_);
        const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK,
                          &events);
        xcb_map_window(connection_, window_);
        xcb_flush(connection_);
    }
    ~OtherClient() { xcb_disconnect(connection_); }

    bool takeFocus() {
        if (xcb_connection_has_error(connection_) != 0) {
            return false;
        }
        const bool viewable = QTest::qWaitFor(
            [this] {
                auto* a = xcb_get_window_attributes_reply(
                    connection_, xcb_get_window_attributes(connection_, window_), nullptr);
                const bool done = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
                std::free(a);
                return done;
            },
            kPatienceMs);
        if (!viewable) {
            return false;
        }
        // The window manager may still be starting: ask again until it obliges.
        for (int attempt = 0; attempt < 10; ++attempt) {
            xdotool({"windowactivate", QString::number(window_)});
            if (QTest::qWaitFor([this] { return hasFocus(); }, kPatienceMs / 10)) {
                return true;
            }
        }
        return false;
    }

    bool hasFocus() {
        auto* r = xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr);
        const bool focused = r != nullptr && r->focus == window_;
        std::free(r);
        return focused;
    }

    // Presses of key with Control and Alt held that reached this client since the last call.
    int takeCtrlAltPresses(xcb_keycode_t key) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
            if ((e->response_type & 0x7f) == XCB_KEY_PRESS) {
                const auto* press = reinterpret_cast<xcb_key_press_event_t*>(e);
                const std::uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
                if ((press->state & ctrlAlt) == ctrlAlt) {
                    ++ctrlAltPresses_[press->detail];
                }
            }
            std::free(e);
        }
        return std::exchange(ctrlAltPresses_[key], 0);
    }

    // The core modifier state, locks included.
    std::uint16_t modifierState() {
        auto* r =
            xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
        const std::uint16_t mask = r != nullptr ? r->mask & 0xff : 0;
        std::free(r);
        return mask;
    }

    xcb_keycode_t keyCodeOf(xcb_keysym_t keysym) {
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto* r = xcb_get_keyboard_mapping_reply(
            connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, count), nullptr);
        xcb_keycode_t found = 0;
        if (r != nullptr) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
            for (int k = 0; k < count && found == 0; ++k) {
                if (syms[k * r->keysyms_per_keycode] == keysym) {
                    found = static_cast<xcb_keycode_t>(setup->min_keycode + k);
                }
            }
        }
        std::free(r);
        return found;
    }

    bool grabKey(xcb_keycode_t key, std::uint16_t modifiers) {
        auto* error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 0, root_, modifiers, key,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    void ungrabKey(xcb_keycode_t key, std::uint16_t modifiers) {
        xcb_ungrab_key(connection_, key, root_, modifiers);
        xcb_flush(connection_);
    }

  private:
    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    std::map<xcb_keycode_t, int> ctrlAltPresses_;
};

class Receiver : public QObject {
    Q_OBJECT
  public:
    std::vector<std::string> calls;
    std::vector<QObject*> senders;
    int sentinels = 0;

  public slots:
    void doPaste(QObject* sender) { record("doPaste", sender); }
    void doMove(QObject* sender) { record("doMove", sender); }
    void sentinel(QObject*) { ++sentinels; }
    void declines(QObject*) {
        throw NamedException(GlobalEventHandler::kUnhandledExceptionName, "not now");
    }
    void fails(QObject*) { throw std::runtime_error("broken"); }

  private:
    void record(const char* call, QObject* sender) {
        calls.emplace_back(call);
        senders.push_back(sender);
    }
};

class HotKeysX11Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { other = new OtherClient; }
    static void TearDownTestSuite() {
        delete other;
        other = nullptr;
    }

    void SetUp() override {
        SystemLog::setSinkForTesting([this](const std::string& line) { log.push_back(line); });
        auto grabber = X11KeyGrabber::create();
        ASSERT_NE(grabber, nullptr) << "no X11 key grabber on an X11 display";
        GlobalEventHandler::resetForTesting(std::move(grabber));
        GlobalEventHandler::registerKeyEquivalent("s", kCtrlAlt, &receiver, "sentinel");
        ASSERT_TRUE(other->hasFocus() || other->takeFocus())
            << "the other client's window did not get the focus";
        other->takeCtrlAltPresses(other->keyCodeOf('p'));
        other->takeCtrlAltPresses(other->keyCodeOf('v'));
    }
    void TearDown() override { SystemLog::setSinkForTesting({}); }

    bool waitForCalls(std::size_t count) {
        return QTest::qWaitFor([&] { return receiver.calls.size() >= count; }, kPatienceMs);
    }

    // Key events come in order: once a later hot key has run, every earlier key has been
    // dealt with.
    bool settle() {
        const int before = receiver.sentinels;
        return xdotool({"key", "ctrl+alt+s"}) &&
               QTest::qWaitFor([&] { return receiver.sentinels > before; }, kPatienceMs);
    }

    bool logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    static OtherClient* other;
    Receiver receiver;
    std::vector<std::string> log;
};

OtherClient* HotKeysX11Test::other = nullptr;

TEST_F(HotKeysX11Test, FiresWhileAnotherClientHasTheFocus) {
    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doPaste");
    ASSERT_TRUE(other->hasFocus());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(receiver.senders, std::vector<QObject*>{nullptr});
    ASSERT_TRUE(settle());
    EXPECT_EQ(receiver.calls.size(), 1u);
    EXPECT_EQ(other->takeCtrlAltPresses(other->keyCodeOf('p')), 0)
        << "a grabbed key reached the focused window";
}

TEST_F(HotKeysX11Test, MaskModifiersBecomeTheirX11Masks) {
    const struct {
        Qt::KeyboardModifiers mask;
        const char* keys;
    } cases[] = {
        {Qt::ControlModifier | Qt::AltModifier, "ctrl+alt+p"},
        {Qt::ControlModifier | Qt::ShiftModifier, "ctrl+shift+p"},
        {Qt::MetaModifier | Qt::ShiftModifier, "super+shift+p"},
        {Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier,
         "ctrl+alt+p"},
    };
    std::size_t calls = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        GlobalEventHandler::registerKeyEquivalent("p", c.mask, &receiver, "doPaste");
        ASSERT_TRUE(xdotool({"key", c.keys}));
        ASSERT_TRUE(waitForCalls(++calls));
        GlobalEventHandler::unregisterKeyEquivalent("p", c.mask);
    }
}

TEST_F(HotKeysX11Test, FiresWithNumLockAndCapsLockOn) {
    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doPaste");
    const std::vector<std::vector<QString>> cases = {
        {"Num_Lock"}, {"Caps_Lock"}, {"Num_Lock", "Caps_Lock"}};
    std::size_t calls = 0;
    for (const auto& locks : cases) {
        SCOPED_TRACE(locks.size() == 2 ? "both" : locks[0].toStdString());
        const std::uint16_t before = other->modifierState();
        for (const QString& lock : locks) {
            ASSERT_TRUE(xdotool({"key", lock}));
        }
        const std::uint16_t locked = other->modifierState() & ~before;
        for (const QString& lock : locks) {
            if (lock == "Caps_Lock") {
                ASSERT_TRUE(locked & XCB_MOD_MASK_LOCK) << "Caps Lock did not lock";
            } else {
                ASSERT_TRUE(locked & ~XCB_MOD_MASK_LOCK) << "Num Lock did not lock";
            }
        }
        ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
        EXPECT_TRUE(waitForCalls(++calls));
        for (const QString& lock : locks) {
            ASSERT_TRUE(xdotool({"key", lock}));
        }
        ASSERT_EQ(other->modifierState(), before);
    }
}

TEST_F(HotKeysX11Test, UpperCaseKeyEquivalentAddsNoShift) {
    GlobalEventHandler::registerKeyEquivalent("V", kCtrlAlt, &receiver, "doPaste");
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+shift+v"}));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(receiver.calls.empty());
    EXPECT_EQ(other->takeCtrlAltPresses(other->keyCodeOf('v')), 1)
        << "Ctrl+Alt+Shift+V should reach the window";

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+v"}));
    EXPECT_TRUE(waitForCalls(1));
}

TEST_F(HotKeysX11Test, FirstRegistrationOfACombinationWins) {
    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("P", kCtrlAlt, &receiver, "doMove");
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    ASSERT_TRUE(waitForCalls(1));
    ASSERT_TRUE(settle());
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"doPaste"});
}

TEST_F(HotKeysX11Test, UnregisteringTwiceOrWhatWasNeverRegisteredChangesNothing) {
    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doPaste");
    GlobalEventHandler::unregisterKeyEquivalent("q", kCtrlAlt);
    GlobalEventHandler::unregisterKeyEquivalent("p", Qt::AltModifier);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    ASSERT_TRUE(waitForCalls(1));

    GlobalEventHandler::unregisterKeyEquivalent("P", kCtrlAlt);
    GlobalEventHandler::unregisterKeyEquivalent("p", kCtrlAlt);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(receiver.calls.size(), 1u);
    EXPECT_EQ(other->takeCtrlAltPresses(other->keyCodeOf('p')), 1)
        << "the released key should reach the window";

    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doMove");
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    ASSERT_TRUE(waitForCalls(2));
    EXPECT_EQ(receiver.calls.back(), "doMove");
}

TEST_F(HotKeysX11Test, ReleaseRunsNothingEvenWithTheModifiersReleasedFirst) {
    GlobalEventHandler::registerKeyEquivalent("p", kCtrlAlt, &receiver, "doPaste");
    ASSERT_TRUE(xdotool({"keydown", "ctrl+alt+p"}));
    ASSERT_TRUE(waitForCalls(1));
    ASSERT_TRUE(xdotool({"keyup", "ctrl+alt"}));
    ASSERT_TRUE(xdotool({"keyup", "p"}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(receiver.calls.size(), 1u);

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+p"}));
    EXPECT_TRUE(waitForCalls(2));
}

TEST_F(HotKeysX11Test, CombinationHeldByAnotherProgramIsLoggedAndDoesNothing) {
    const xcb_keycode_t h = other->keyCodeOf('h');
    ASSERT_NE(h, 0);
    const std::uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    ASSERT_TRUE(other->grabKey(h, ctrlAlt));
    GlobalEventHandler::registerKeyEquivalent("h", kCtrlAlt, &receiver, "doPaste");
    EXPECT_TRUE(logged("Hot key Ctrl+Alt+h is off: another program holds it"));

    // None of the lock-key variants is kept either: with Caps Lock on, the key goes
    // to the focused window.
    other->takeCtrlAltPresses(h);
    ASSERT_TRUE(xdotool({"key", "Caps_Lock"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+h"}));
    ASSERT_TRUE(xdotool({"key", "Caps_Lock"}));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(receiver.calls.empty());
    EXPECT_EQ(other->takeCtrlAltPresses(h), 1);
    other->ungrabKey(h, ctrlAlt);
}

// The preferences move a hot key's grab: the new key is held, the old one let go; a key
// that another program holds is refused and the old key stays held and stored.
TEST_F(HotKeysX11Test, PreferencesMoveTheGrabOrKeepTheOldKey) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings stored(settings, QSettings::IniFormat);
        stored.setValue("licenseAgreed", true);
        stored.setValue("helpGuideLaunched", true);
        stored.setValue("startItem", true);
    }
    QtJobHost host;
    AppEnvironment env;
    env.host = &host;
    env.settingsPath = settings;
    env.autostartFolder = dir.filePath(QStringLiteral("autostart"));
    env.showTrayIcon = false;
    AppDelegate delegate(env);
    delegate.applicationDidFinishLaunching();
    QCoreApplication::processEvents();

    const std::uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    const std::uint16_t superAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;
    const xcb_keycode_t v = other->keyCodeOf('v');
    const xcb_keycode_t j = other->keyCodeOf('j');
    const xcb_keycode_t k = other->keyCodeOf('k');
    ASSERT_TRUE(v != 0 && j != 0 && k != 0);
    ASSERT_FALSE(other->grabKey(v, superAlt)) << "the menu's Paste key was not grabbed";

    EXPECT_EQ(delegate.changeHotKey("doPaste", QKeySequence(QStringLiteral("Ctrl+Alt+J"))),
              QString());
    EXPECT_FALSE(other->grabKey(j, ctrlAlt)) << "the new key is not held";
    EXPECT_TRUE(other->grabKey(v, superAlt)) << "the old key is still held";
    other->ungrabKey(v, superAlt);

    ASSERT_TRUE(other->grabKey(k, ctrlAlt));
    const QString refusal =
        delegate.changeHotKey("doPaste", QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    EXPECT_TRUE(refusal.contains(QStringLiteral("another program holds it")))
        << refusal.toStdString();
    other->ungrabKey(k, ctrlAlt);
    EXPECT_FALSE(other->grabKey(j, ctrlAlt)) << "the refusal let the old key go";
    EXPECT_TRUE(other->grabKey(k, ctrlAlt)) << "the refused key was kept grabbed";
    other->ungrabKey(k, ctrlAlt);
    EXPECT_EQ(QSettings(settings, QSettings::IniFormat).value("hotKeys/doPaste").toString(),
              QStringLiteral("Ctrl+Alt+J"));
    delegate.applicationWillTerminate();
}

TEST_F(HotKeysX11Test, ExceptionsAreLoggedAndTheHotKeysKeepWorking) {
    GlobalEventHandler::registerKeyEquivalent("x", kCtrlAlt, &receiver, "declines");
    GlobalEventHandler::registerKeyEquivalent("c", kCtrlAlt, &receiver, "fails");
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+x", "ctrl+alt+c", "ctrl+alt+x"}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Exception occured while handling event - GlobalEvent Unhandled "
                       "Exception: not now",
                       "Exception occured while handling event - broken",
                       "Exception occured while handling event - GlobalEvent Unhandled "
                       "Exception: not now"}));
}

TEST_F(HotKeysX11Test, CharacterThatNoKeyTypesGetsNoKeyCode) {
    GlobalEventHandler::registerKeyEquivalent(QString::fromUtf8("é"), kCtrlAlt, &receiver,
                                              "doPaste");
    EXPECT_TRUE(logged("Hot key Ctrl+Alt+é is off: no key of the keyboard layout types it"));
}

class HotKeysLayoutX11Test : public HotKeysX11Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("setxkbmap").isEmpty()) {
            GTEST_SKIP() << "setxkbmap is not installed (Debian: x11-xkb-utils)";
        }
        HotKeysX11Test::SetUp();
    }
    void TearDown() override {
        if (changed_) {
            setKeyboardLayout({"us"});
        }
        HotKeysX11Test::TearDown();
    }
    bool switchTo(const QStringList& args) {
        changed_ = true;
        return setKeyboardLayout(args);
    }
    // The re-grab follows the keymap change asynchronously: type until the hot key runs.
    bool typeUntilCalled(const QString& keys, std::size_t count) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!xdotool({"key", keys})) {
                return false;
            }
            if (QTest::qWaitFor([&] { return receiver.calls.size() >= count; }, 500)) {
                return true;
            }
        }
        return false;
    }

  private:
    bool changed_ = false;
};

TEST_F(HotKeysLayoutX11Test, LayoutChangeGrabsTheNewKeyCodes) {
    ASSERT_TRUE(setKeyboardLayout({"us"}));
    GlobalEventHandler::registerKeyEquivalent("y", kCtrlAlt, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("`", kCtrlAlt, &receiver, "doMove");
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+y"}));
    ASSERT_TRUE(waitForCalls(1));

    // German swaps Y and Z.
    ASSERT_TRUE(switchTo({"de"}));
    ASSERT_TRUE(typeUntilCalled("ctrl+alt+y", 2));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+z"}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(receiver.calls.size(), 2u) << "the old key of y still runs it";

    // On US international ` is a dead key: no key types it.
    log.clear();
    ASSERT_TRUE(switchTo({"us", "-variant", "intl"}));
    ASSERT_TRUE(typeUntilCalled("ctrl+alt+y", 3));
    EXPECT_TRUE(logged("Hot key Ctrl+Alt+` is off: no key of the keyboard layout types it"));

    ASSERT_TRUE(switchTo({"us"}));
    ASSERT_TRUE(typeUntilCalled("ctrl+alt+grave", 4));
    EXPECT_EQ(receiver.calls.back(), "doMove");
}

}  // namespace
}  // namespace ferrymark

#include "HotKeysX11Test.moc"
