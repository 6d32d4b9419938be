#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>

#include "app/GlobalEventHandler.h"
#include "platform/wayland/PortalKeyGrabber.h"

// Against the real desktop portal with its KDE backend, inside a KWin session
// (tests/run-wayland.sh kwin): the portal binds the key in kglobalaccel, and a press
// through kglobalaccel comes back as the portal's Activated.

namespace ferrymark {
namespace {

class Receiver : public QObject {
    Q_OBJECT
  public:
    int pastes = 0;
  public slots:
    void doPaste(QObject*) { ++pastes; }
};

template <typename F>
bool waitUntil(F done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"),
                                                          path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
}

TEST(PortalKdeTest, PortalBindsThroughKGlobalAccelAndActivates) {
    std::vector<std::string> log;
    auto grabber =
        PortalKeyGrabber::create(QDBusConnection::sessionBus(), QStringLiteral("ferrymark"),
                                 [&](const std::string& line) { log.push_back(line); });
    if (!grabber) {
        GTEST_SKIP() << "no desktop portal with GlobalShortcuts on this bus";
    }
    GlobalEventHandler::resetForTesting(std::move(grabber));
    Receiver receiver;
    GlobalEventHandler::registerKeyEquivalent(
        QStringLiteral("v"), Qt::MetaModifier | Qt::AltModifier, &receiver, "doPaste");
    ASSERT_TRUE(waitUntil([&] { return !log.empty(); }, 60000)) << "the portal never answered";

    for (const std::string& line : log) {
        std::printf("%s\n", line.c_str());
    }
    ASSERT_NE(log.front().find("ALT+LOGO+v is bound"), std::string::npos) << log.front();

    // The backend keeps our shortcut in a kglobalaccel component of its own naming.
    const QDBusMessage components =
        call(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
             QStringLiteral("allComponents"));
    ASSERT_EQ(components.type(), QDBusMessage::ReplyMessage);
    QString component;
    for (const QDBusObjectPath& path :
         qdbus_cast<QList<QDBusObjectPath>>(components.arguments().value(0))) {
        const QDBusMessage names =
            call(path.path(), QStringLiteral("org.kde.kglobalaccel.Component"),
                 QStringLiteral("shortcutNames"));
        if (names.arguments().value(0).toStringList().contains(QStringLiteral("hotkey-1"))) {
            component = path.path();
        }
    }
    ASSERT_FALSE(component.isEmpty()) << "no kglobalaccel component holds the shortcut";
    std::printf("kglobalaccel component: %s\n", qPrintable(component));
    call(component, QStringLiteral("org.kde.kglobalaccel.Component"),
         QStringLiteral("invokeShortcut"), {QStringLiteral("hotkey-1")});
    EXPECT_TRUE(waitUntil([&] { return receiver.pastes == 1; }, 10000));
    GlobalEventHandler::resetForTesting(nullptr);
}

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "PortalKdeTest.moc"
