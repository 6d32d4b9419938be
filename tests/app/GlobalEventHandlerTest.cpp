// Hot-key tables and dispatch, on a scripted key grabber.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QObject>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/GlobalEventHandler.h"
#include "app/NamedException.h"
#include "platform/IKeyGrabber.h"
#include "ui/SystemLog.h"

namespace ferrymark {
namespace {

using Kind = IKeyGrabber::EventKind;

class FakeKeyGrabber : public IKeyGrabber {
  public:
    struct Request {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        HotKeyId id;
        QString name;  // the purpose's
        QString description;
    };

    std::vector<std::pair<std::uint32_t, QString>> keys;
    int layoutReads = 0;
    std::map<std::uint32_t, GrabStatus> refusedKeys;
    std::vector<Request> requests;  // every grab asked for
    std::map<GrabRef, Request> inForce;
    std::vector<GrabRef> ungrabbed;
    EventHandler onKey;
    LayoutHandler onLayoutChange;

    std::vector<std::pair<std::uint32_t, QString>> keyCharacters() override {
        ++layoutReads;
        return keys;
    }
    Grab grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
              const Purpose& purpose) override {
        requests.push_back({keyCode, modifiers, id, purpose.name, purpose.description});
        if (const auto refused = refusedKeys.find(keyCode); refused != refusedKeys.end()) {
            return {kNoGrab, refused->second};
        }
        const GrabRef ref = nextRef_++;
        inForce.emplace(ref, requests.back());
        return {ref, GrabStatus::Grabbed};
    }
    void ungrab(GrabRef ref) override {
        ungrabbed.push_back(ref);
        inForce.erase(ref);
    }
    void setHandlers(EventHandler key, LayoutHandler layout) override {
        onKey = std::move(key);
        onLayoutChange = std::move(layout);
    }

    // What the desktop does with a key combination: nothing unless it is grabbed.
    std::optional<bool> send(Kind kind, std::uint32_t keyCode, std::uint32_t modifiers) {
        for (const auto& [ref, r] : inForce) {
            if (r.keyCode == keyCode && r.modifiers == modifiers) {
                return onKey(kind, r.id);
            }
        }
        return std::nullopt;
    }
    std::optional<bool> press(std::uint32_t keyCode, std::uint32_t modifiers) {
        return send(Kind::Pressed, keyCode, modifiers);
    }

  private:
    GrabRef nextRef_ = 1;
};

class Receiver : public QObject {
    Q_OBJECT
  public:
    std::vector<std::string> calls;
    std::vector<QObject*> senders;

  public slots:
    void doPaste(QObject* sender) { record("doPaste", sender); }
    void doMove(QObject* sender) { record("doMove", sender); }
    void declines(QObject*) {
        throw NamedException(GlobalEventHandler::kUnhandledExceptionName, "not now");
    }
    void failsNamed(QObject*) { throw NamedException("Other", "broken"); }
    void failsStd(QObject*) { throw std::runtime_error("boom"); }
    void failsOther(QObject*) { throw 42; }
    void unregistersItself(QObject* sender) {
        GlobalEventHandler::unregisterKeyEquivalent("p", Qt::ControlModifier);
        record("unregistersItself", sender);
    }

  private:
    void record(const char* call, QObject* sender) {
        calls.emplace_back(call);
        senders.push_back(sender);
    }
};

constexpr std::uint32_t kP = 33, kW = 25, kV = 55, kM = 58;

class GlobalEventHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SystemLog::setSinkForTesting([this](const std::string& line) { log.push_back(line); });
        freshGrabber();
    }
    void TearDown() override {
        GlobalEventHandler::resetForTesting(nullptr);
        SystemLog::setSinkForTesting({});
    }
    void freshGrabber() {
        auto fake = std::make_unique<FakeKeyGrabber>();
        fake->keys = {{24, "q"}, {kW, "w"}, {kP, "p"}, {kV, "v"}, {kM, "m"}};
        grabber = fake.get();
        GlobalEventHandler::resetForTesting(std::move(fake));
        log.clear();
    }

    FakeKeyGrabber* grabber = nullptr;
    std::vector<std::string> log;
    Receiver receiver;
};

TEST_F(GlobalEventHandlerTest, MaskKeepsControlShiftAltMetaAndDropsEveryOtherBit) {
    using G = IKeyGrabber;
    const struct {
        Qt::KeyboardModifiers mask;
        std::uint32_t grabbed;
    } cases[] = {
        {Qt::NoModifier, 0},
        {Qt::ControlModifier, G::kControl},
        {Qt::ShiftModifier, G::kShift},
        {Qt::AltModifier, G::kAlt},
        {Qt::MetaModifier, G::kMeta},
        {Qt::KeypadModifier | Qt::GroupSwitchModifier, 0},
        {Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier,
         G::kControl | G::kAlt},
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier |
             Qt::KeypadModifier,
         G::kControl | G::kShift | G::kAlt | G::kMeta},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << c.mask.toInt());
        freshGrabber();
        GlobalEventHandler::registerKeyEquivalent("p", c.mask, &receiver, "doPaste");
        ASSERT_EQ(grabber->requests.size(), 1u);
        EXPECT_EQ(grabber->requests[0].keyCode, kP);
        EXPECT_EQ(grabber->requests[0].modifiers, c.grabbed);
    }
}

TEST_F(GlobalEventHandlerTest, UpperCaseKeyEquivalentAddsNoShift) {
    GlobalEventHandler::registerKeyEquivalent("V", Qt::ControlModifier, &receiver, "doPaste");
    ASSERT_EQ(grabber->requests.size(), 1u);
    EXPECT_EQ(grabber->requests[0].keyCode, kV);
    EXPECT_EQ(grabber->requests[0].modifiers, IKeyGrabber::kControl);

    GlobalEventHandler::unregisterKeyEquivalent("V", Qt::ControlModifier);
    EXPECT_TRUE(grabber->inForce.empty());
}

TEST_F(GlobalEventHandlerTest, LowestKeyCodeTypingACharacterKeepsIt) {
    grabber->keys = {{40, "a"}, {30, "a"}, {20, ""}, {50, "b"}, {35, "a"}};
    GlobalEventHandler::registerKeyEquivalent("a", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("b", Qt::ControlModifier, &receiver, "doMove");
    ASSERT_EQ(grabber->requests.size(), 2u);
    EXPECT_EQ(grabber->requests[0].keyCode, 30u);
    EXPECT_EQ(grabber->requests[1].keyCode, 50u);
}

TEST_F(GlobalEventHandlerTest, LayoutIsReadOnceAndAgainOnlyAfterAFailedRead) {
    grabber->keys.clear();
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    EXPECT_TRUE(grabber->requests.empty());

    grabber->keys = {{kW, "w"}, {24, "q"}};
    GlobalEventHandler::registerKeyEquivalent("w", Qt::ControlModifier, &receiver, "doMove");
    GlobalEventHandler::registerKeyEquivalent("q", Qt::ControlModifier, &receiver, "doMove");
    EXPECT_EQ(grabber->layoutReads, 2);
    ASSERT_EQ(grabber->requests.size(), 2u);
    EXPECT_EQ(grabber->requests[0].keyCode, kW);
}

TEST_F(GlobalEventHandlerTest, CharacterThatNoKeyTypesIsRecordedButNotGrabbed) {
    GlobalEventHandler::registerKeyEquivalent("é", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("É", Qt::ControlModifier, &receiver, "doMove");
    GlobalEventHandler::registerKeyEquivalent("ß", Qt::ControlModifier, &receiver, "doMove");
    EXPECT_TRUE(grabber->requests.empty());
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Hot key Ctrl+é is off: no key of the keyboard layout types it",
                       "Hot key Ctrl+ß is off: no key of the keyboard layout types it"}));
}

TEST_F(GlobalEventHandlerTest, FirstRegistrationOfACombinationWins) {
    Receiver second;
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("P", Qt::ControlModifier | Qt::KeypadModifier,
                                              &second, "doMove");
    EXPECT_EQ(grabber->requests.size(), 1u);

    EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), true);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"doPaste"});
    EXPECT_EQ(receiver.senders, std::vector<QObject*>{nullptr});
    EXPECT_TRUE(second.calls.empty());
}

TEST_F(GlobalEventHandlerTest, EveryRegistrationTakesASequenceNumber) {
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doMove");
    GlobalEventHandler::registerKeyEquivalent("w", Qt::ControlModifier, &receiver, "doMove");
    ASSERT_EQ(grabber->requests.size(), 2u);
    EXPECT_EQ(grabber->requests[0].id, (HotKeyId{0x66637079, 1}));
    EXPECT_EQ(grabber->requests[1].id, (HotKeyId{0x66637079, 3}));
}

TEST_F(GlobalEventHandlerTest, RefusedGrabIsLoggedAndTheCombinationStaysTaken) {
    const struct {
        IKeyGrabber::GrabStatus status;
        const char* line;
    } cases[] = {
        {IKeyGrabber::GrabStatus::HeldByAnotherProgram,
         "Hot key Ctrl+Alt+p is off: another program holds it"},
        {IKeyGrabber::GrabStatus::Refused, "Hot key Ctrl+Alt+p is off: the display refused it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        freshGrabber();
        grabber->refusedKeys[kP] = c.status;
        const auto mask = Qt::ControlModifier | Qt::AltModifier;
        GlobalEventHandler::registerKeyEquivalent("p", mask, &receiver, "doPaste");
        GlobalEventHandler::registerKeyEquivalent("p", mask, &receiver, "doMove");
        EXPECT_EQ(grabber->requests.size(), 1u);
        EXPECT_EQ(log, std::vector<std::string>{c.line});

        // Nothing was grabbed, so there is nothing to let go; a new registration tries again.
        GlobalEventHandler::unregisterKeyEquivalent("p", mask);
        EXPECT_TRUE(grabber->ungrabbed.empty());
        grabber->refusedKeys.clear();
        GlobalEventHandler::registerKeyEquivalent("p", mask, &receiver, "doPaste");
        EXPECT_EQ(grabber->inForce.size(), 1u);
    }
}

TEST_F(GlobalEventHandlerTest, UnregisteringTwiceOrWhatWasNeverRegisteredChangesNothing) {
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("w", Qt::ControlModifier, &receiver, "doMove");
    const HotKeyId pasteId = grabber->requests[0].id;

    GlobalEventHandler::unregisterKeyEquivalent("q", Qt::ControlModifier);
    GlobalEventHandler::unregisterKeyEquivalent("p", Qt::AltModifier);
    GlobalEventHandler::unregisterKeyEquivalent("é", Qt::ControlModifier);
    EXPECT_TRUE(grabber->ungrabbed.empty());

    GlobalEventHandler::unregisterKeyEquivalent("P", Qt::ControlModifier);
    GlobalEventHandler::unregisterKeyEquivalent("p", Qt::ControlModifier);
    EXPECT_EQ(grabber->ungrabbed.size(), 1u);
    EXPECT_FALSE(GlobalEventHandler::handleEvent(Kind::Pressed, pasteId));
    EXPECT_EQ(grabber->press(kW, IKeyGrabber::kControl), true);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"doMove"});
}

TEST_F(GlobalEventHandlerTest, ReleaseAndUnknownIdsAreNotHandledAndRunNothing) {
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    const HotKeyId id = grabber->requests[0].id;

    EXPECT_TRUE(GlobalEventHandler::handleEvent(Kind::Pressed, id));
    EXPECT_FALSE(GlobalEventHandler::handleEvent(Kind::Released, id));
    EXPECT_FALSE(GlobalEventHandler::handleEvent(Kind::Pressed, HotKeyId{id.signature, 99}));
    EXPECT_FALSE(GlobalEventHandler::handleEvent(Kind::Pressed, HotKeyId{0, id.sequence}));
    EXPECT_EQ(receiver.calls.size(), 1u);
}

TEST_F(GlobalEventHandlerTest, ExceptionsAreLoggedAndOnlyTheNamedOneLeavesTheEventUnhandled) {
    const struct {
        const char* action;
        bool handled;
        std::string logged;  // after the prefix, and the end of it when it names a class
    } cases[] = {
        {"declines", false, "GlobalEvent Unhandled Exception: not now"},
        {"failsNamed", true, "Other: broken"},
        {"failsStd", true, "boom"},
        {"failsOther", true, "unknown exception"},
        {"noSuchSlot", true, "Receiver has no slot noSuchSlot"},
    };
    const std::string prefix = "Exception occured while handling event - ";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        freshGrabber();
        GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, c.action);
        EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), c.handled);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_TRUE(log[0].starts_with(prefix)) << log[0];
        EXPECT_TRUE(log[0].ends_with(c.logged)) << log[0];
    }
}

TEST_F(GlobalEventHandlerTest, TargetThatHasGoneRunsNothing) {
    auto target = std::make_unique<Receiver>();
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, target.get(), "doPaste");
    target.reset();
    EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), true);
    EXPECT_TRUE(log.empty());
}

TEST_F(GlobalEventHandlerTest, ActionMayUnregisterItsOwnHotKey) {
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver,
                                              "unregistersItself");
    EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), true);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"unregistersItself"});
    EXPECT_TRUE(grabber->inForce.empty());
}

TEST_F(GlobalEventHandlerTest, LayoutChangeGrabsEveryHotKeyAgainWithTheNewKeyCodes) {
    Receiver second;
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste",
                                              "Paste Here");
    GlobalEventHandler::registerKeyEquivalent("m", Qt::ControlModifier, &second, "doMove");
    ASSERT_TRUE(grabber->onLayoutChange);

    // p moves to another key; no key types m any more.
    grabber->keys = {{46, "p"}, {kP, "x"}};
    grabber->onLayoutChange();
    EXPECT_EQ(grabber->ungrabbed.size(), 2u);
    ASSERT_EQ(grabber->inForce.size(), 1u);
    EXPECT_EQ(grabber->inForce.begin()->second.keyCode, 46u);
    // Grabbed again for the same purpose: desktops know the key by its action's name, and
    // show the description given, else that name.
    for (const auto& r : grabber->requests) {
        const bool paste = r.id == grabber->requests.front().id;
        EXPECT_EQ(r.name, paste ? "doPaste" : "doMove");
        EXPECT_EQ(r.description, paste ? "Paste Here" : "doMove");
    }
    EXPECT_EQ(log, std::vector<std::string>{
                       "Hot key Ctrl+m is off: no key of the keyboard layout types it"});
    EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), std::nullopt);
    EXPECT_EQ(grabber->press(46, IKeyGrabber::kControl), true);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"doPaste"});

    // Back again: m has its key once more, and unregistering finds p under its new key.
    grabber->keys = {{kP, "p"}, {kM, "m"}};
    grabber->onLayoutChange();
    EXPECT_EQ(grabber->press(kM, IKeyGrabber::kControl), true);
    EXPECT_EQ(second.calls, std::vector<std::string>{"doMove"});
    GlobalEventHandler::unregisterKeyEquivalent("p", Qt::ControlModifier);
    GlobalEventHandler::unregisterKeyEquivalent("m", Qt::ControlModifier);
    EXPECT_TRUE(grabber->inForce.empty());
}

TEST_F(GlobalEventHandlerTest, HotKeysWithoutAKeyOnALayoutSurviveASwitchThereAndBack) {
    Receiver second;
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("m", Qt::ControlModifier, &second, "doMove");

    const auto latin = grabber->keys;
    grabber->keys = {{kP, "з"}, {kM, "ь"}};
    grabber->onLayoutChange();
    EXPECT_TRUE(grabber->inForce.empty());
    grabber->keys = latin;
    grabber->onLayoutChange();

    EXPECT_EQ(grabber->press(kP, IKeyGrabber::kControl), true);
    EXPECT_EQ(grabber->press(kM, IKeyGrabber::kControl), true);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"doPaste"});
    EXPECT_EQ(second.calls, std::vector<std::string>{"doMove"});
}

// The test runs on Qt's offscreen platform: there is no X11 display to grab keys on.
TEST_F(GlobalEventHandlerTest, WithoutX11RegistrationDoesNothingAndSaysSoOnce) {
    GlobalEventHandler::resetForTesting(nullptr);
    GlobalEventHandler::registerKeyEquivalent("p", Qt::ControlModifier, &receiver, "doPaste");
    GlobalEventHandler::registerKeyEquivalent("m", Qt::ControlModifier, &receiver, "doMove");
    GlobalEventHandler::unregisterKeyEquivalent("p", Qt::ControlModifier);
    EXPECT_EQ(log, std::vector<std::string>{"Global hot keys are off: they need an X11 display"});
}

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "GlobalEventHandlerTest.moc"
