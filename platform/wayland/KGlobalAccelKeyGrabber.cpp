#include "platform/wayland/KGlobalAccelKeyGrabber.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariant>

#include "platform/wayland/CharacterKeys.h"

namespace ferrymark {

namespace {

const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
// setShortcut's flags: take our keys as given rather than what the service stored.
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;

}  // namespace

std::unique_ptr<KGlobalAccelKeyGrabber> KGlobalAccelKeyGrabber::create(QDBusConnection bus) {
    if (!bus.isConnected()) {
        return nullptr;
    }
    QDBusConnectionInterface* daemon = bus.interface();
    const bool running = daemon->isServiceRegistered(kService).value();
    if (!running && !daemon->activatableServiceNames().value().contains(kService)) {
        return nullptr;
    }
    return std::make_unique<KGlobalAccelKeyGrabber>(bus);
}

KGlobalAccelKeyGrabber::KGlobalAccelKeyGrabber(QDBusConnection bus) : bus_(std::move(bus)) {}

std::vector<std::pair<std::uint32_t, QString>> KGlobalAccelKeyGrabber::keyCharacters() {
    return CharacterKeys::table();  // the layout is the compositor's business
}

int KGlobalAccelKeyGrabber::qtKey(std::uint32_t keyCode, std::uint32_t modifiers) {
    int key = static_cast<int>(keyCode);
    if (modifiers & kShift) {
        key |= Qt::ShiftModifier;
    }
    if (modifiers & kControl) {
        key |= Qt::ControlModifier;
    }
    if (modifiers & kAlt) {
        key |= Qt::AltModifier;
    }
    if (modifiers & kMeta) {
        key |= Qt::MetaModifier;
    }
    return key;
}

QStringList KGlobalAccelKeyGrabber::actionId(const QString& shortcut) const {
    // Component and shortcut names, then the names shown in the desktop's settings.
    return {kComponent, shortcut, QStringLiteral("Ferrymark"),
            QStringLiteral("Ferrymark ") + shortcut};
}

IKeyGrabber::Grab KGlobalAccelKeyGrabber::grab(std::uint32_t keyCode, std::uint32_t modifiers,
                                               HotKeyId id, const Purpose&) {
    const QString shortcut = QStringLiteral("hotkey-%1").arg(id.sequence);
    const QStringList action = actionId(shortcut);
    auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        message.setArguments(arguments);
        return bus_.call(message, QDBus::Block, 5000);
    };
    if (call(QStringLiteral("doRegister"), {action}).type() == QDBusMessage::ErrorMessage) {
        return {};
    }
    const int key = qtKey(keyCode, modifiers);
    const QDBusMessage answer =
        call(QStringLiteral("setShortcut"),
             {action, QVariant::fromValue(QList<int>{key}), kSetPresent | kNoAutoloading});
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        return {};
    }
    // The service answers with the keys it gave us: none when another program has ours.
    const auto given = qdbus_cast<QList<int>>(answer.arguments().constFirst());
    if (!given.contains(key)) {
        call(QStringLiteral("unregister"), {kComponent, shortcut});
        return {kNoGrab, GrabStatus::HeldByAnotherProgram};
    }
    listen();
    const GrabRef ref = nextRef_++;
    grabs_.emplace(ref, std::make_pair(shortcut, id));
    return {ref, GrabStatus::Grabbed};
}

void KGlobalAccelKeyGrabber::ungrab(GrabRef ref) {
    const auto it = grabs_.find(ref);
    if (it == grabs_.end()) {
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("unregister"));
    message.setArguments({kComponent, it->second.first});
    bus_.call(message, QDBus::Block, 5000);
    grabs_.erase(it);
}

void KGlobalAccelKeyGrabber::setHandlers(EventHandler onKey, LayoutHandler) {
    // The service follows layout changes itself.
    onKey_ = std::move(onKey);
}

void KGlobalAccelKeyGrabber::listen() {
    if (listening_) {
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("getComponent"));
    message.setArguments({kComponent});
    const QDBusReply<QDBusObjectPath> path = bus_.call(message, QDBus::Block, 5000);
    if (!path.isValid()) {
        return;
    }
    listening_ = bus_.connect(kService, path.value().path(), kComponentInterface,
                              QStringLiteral("globalShortcutPressed"), this,
                              SLOT(shortcutPressed(QString, QString, qlonglong))) &&
                 bus_.connect(kService, path.value().path(), kComponentInterface,
                              QStringLiteral("globalShortcutReleased"), this,
                              SLOT(shortcutReleased(QString, QString, qlonglong)));
}

void KGlobalAccelKeyGrabber::shortcutPressed(const QString& component, const QString& shortcut,
                                             qlonglong) {
    deliver(EventKind::Pressed, component, shortcut);
}

void KGlobalAccelKeyGrabber::shortcutReleased(const QString& component, const QString& shortcut,
                                              qlonglong) {
    deliver(EventKind::Released, component, shortcut);
}

void KGlobalAccelKeyGrabber::deliver(EventKind kind, const QString& component,
                                     const QString& shortcut) {
    if (component != kComponent || !onKey_) {
        return;
    }
    for (const auto& [ref, grab] : grabs_) {
        if (grab.first == shortcut) {
            onKey_(kind, grab.second);
            return;
        }
    }
}

}  // namespace ferrymark
