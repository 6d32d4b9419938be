#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "FakeBridge.h"
#include "FakeJobHost.h"
#include "FakeNotifier.h"
#include "StandInTrayWatcher.h"
#include "app/AppDelegate.h"

namespace ferrymark {
namespace {

// One entry of a com.canonical.dbusmenu layout.
struct MenuEntry {
    int id = 0;
    QVariantMap properties;
    std::vector<MenuEntry> children;

    QString label() const { return properties.value(QStringLiteral("label")).toString(); }
    bool separator() const {
        return properties.value(QStringLiteral("type")).toString() == QLatin1String("separator");
    }
    bool enabled() const { return properties.value(QStringLiteral("enabled"), true).toBool(); }
};

MenuEntry readEntry(const QDBusArgument& argument) {
    MenuEntry entry;
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        entry.children.push_back(readEntry(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return entry;
}

// What a panel would draw for the layout, as a Qt menu.
void fill(QMenu& menu, const MenuEntry& entry) {
    for (const MenuEntry& child : entry.children) {
        if (!child.properties.value(QStringLiteral("visible"), true).toBool()) {
            continue;
        }
        if (child.separator()) {
            menu.addSeparator();
            continue;
        }
        QString label = child.label();
        label.replace(QLatin1Char('_'), QLatin1Char('&'));
        if (!child.children.empty() || child.properties.value(QStringLiteral("children-display")) ==
                                           QLatin1String("submenu")) {
            fill(*menu.addMenu(label), child);
            continue;
        }
        menu.addAction(label)->setEnabled(child.enabled());
    }
}

template <typename F>
bool waitUntil(F done) {
    QDeadlineTimer deadline(15000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

TEST(TrayWaylandTest, TrayMenuThroughStatusNotifierItem) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        GTEST_SKIP() << "no private session bus for the stand-in watcher";
    }
    testing::StandInTrayWatcher watcher;
    ASSERT_TRUE(watcher.registered());
    QTemporaryDir folder;
    const QString settings = folder.filePath(QStringLiteral("settings.ini"));
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\n"
            "fileManagerEntriesOffered=true\n");
    }
    testing::FakeJobHost host;
    testing::FakeBridge bridge;
    testing::FakeNotifier notifier;
    std::vector<QString> opened;
    AppEnvironment env;
    env.host = &host;
    env.bridge = &bridge;
    env.settingsPath = settings;
    env.autostartFolder = folder.filePath(QStringLiteral("autostart"));
    env.aboutDocument = QStringLiteral("/about.pdf");
    env.openDocument = [&](const QString& path) {
        opened.push_back(path);
        return true;
    };
    env.registerHotKeys = false;
    env.notifier = &notifier;
    AppDelegate delegate(env);
    delegate.applicationDidFinishLaunching();

    ASSERT_TRUE(waitUntil([&] { return !watcher.items().isEmpty(); }))
        << "the tray icon registered no StatusNotifierItem with the watcher";
    const QString item = watcher.items().constFirst();
    const QString service = item.section(QLatin1Char('/'), 0, 0);
    const QString itemPath = QLatin1Char('/') + item.section(QLatin1Char('/'), 1);
    QDBusConnection bus = QDBusConnection::sessionBus();

    QDBusMessage get = QDBusMessage::createMethodCall(
        service, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get.setArguments({QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")});
    const QDBusMessage menuReply = bus.call(get, QDBus::BlockWithGui, 10000);
    ASSERT_EQ(menuReply.type(), QDBusMessage::ReplyMessage)
        << menuReply.errorMessage().toStdString();
    const QString menuPath = menuReply.arguments()
                                 .constFirst()
                                 .value<QDBusVariant>()
                                 .variant()
                                 .value<QDBusObjectPath>()
                                 .path();
    ASSERT_FALSE(menuPath.isEmpty());

    QDBusMessage layout = QDBusMessage::createMethodCall(
        service, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    layout.setArguments({0, -1, QStringList{}});
    const QDBusMessage layoutReply = bus.call(layout, QDBus::BlockWithGui, 10000);
    ASSERT_EQ(layoutReply.type(), QDBusMessage::ReplyMessage)
        << layoutReply.errorMessage().toStdString();
    const MenuEntry root = readEntry(layoutReply.arguments().at(1).value<QDBusArgument>());

    // The entries a panel shows, in order, with the separators.
    QStringList shown;
    int aboutId = -1;
    for (const MenuEntry& entry : root.children) {
        shown << (entry.separator() ? QStringLiteral("-") : entry.label().remove(QLatin1Char('_')));
        if (entry.label().remove(QLatin1Char('_')) == QLatin1String("About Ferrymark")) {
            aboutId = entry.id;
        }
    }
    const QStringList expected{QStringLiteral("Paste Here"),
                               QStringLiteral("Move Here"),
                               QStringLiteral("-"),
                               QStringLiteral("Transfers"),
                               QStringLiteral("-"),
                               QStringLiteral("Add to File Managers"),
                               QStringLiteral("Remove from File Managers"),
                               QStringLiteral("-"),
                               QString::fromUtf8("Preferences…"),
                               QStringLiteral("About Ferrymark"),
                               QStringLiteral("Quit Ferrymark")};
    EXPECT_EQ(shown, expected);

    // A click in the panel's menu reaches the entry's action.
    QDBusMessage click = QDBusMessage::createMethodCall(
        service, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    click.setArguments(
        {aboutId, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    bus.call(click, QDBus::BlockWithGui, 10000);
    EXPECT_TRUE(waitUntil([&] { return !opened.empty(); })) << "About was not opened";

    QMenu drawn;
    fill(drawn, root);
    drawn.adjustSize();
    const QString out =
        qEnvironmentVariable("FERRYMARK_E2E_OUT", QStringLiteral(FERRYMARK_E2E_OUT_DEFAULT));
    QDir().mkpath(out);
    const QString shot = QDir(out).filePath(QStringLiteral("tray-menu-statusnotifieritem.png"));
    EXPECT_TRUE(drawn.grab().save(shot)) << shot.toStdString();
    std::printf("Screenshot: %s\n", qPrintable(shot));
}

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
