#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include "StandInKde.h"
#include "app/GlobalEventHandler.h"
#include "platform/wayland/KGlobalAccelKeyGrabber.h"
#include "platform/wayland/KWinFileManagerBridge.h"

namespace ferrymark {
namespace {

using testing::StandInKde;

// The bus must be a private one: the stand-in takes Plasma's names on it.
class KdeWaylandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !kde_.registered()) {
            GTEST_SKIP() << "no private session bus to put the stand-in services on";
        }
    }
    StandInKde kde_;
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

// Runs the event loop until done() or 10 s have passed.
template <typename F>
bool waitUntil(F done) {
    QDeadlineTimer deadline(10000);
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

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "KdeWaylandTest.moc"
