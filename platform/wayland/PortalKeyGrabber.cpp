#include "platform/wayland/PortalKeyGrabber.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMetaObject>
#include <QStringList>
#include <algorithm>
#include <string>

#include "platform/wayland/CharacterKeys.h"

namespace ferrymark {

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// The XDG key names of the characters whose name is not the character itself.
QString keyName(const QString& character) {
    static const std::map<QString, QString> names = {
        {QStringLiteral(","), QStringLiteral("comma")},
        {QStringLiteral("."), QStringLiteral("period")},
        {QStringLiteral("/"), QStringLiteral("slash")},
        {QStringLiteral(";"), QStringLiteral("semicolon")},
        {QStringLiteral("'"), QStringLiteral("apostrophe")},
        {QStringLiteral("["), QStringLiteral("bracketleft")},
        {QStringLiteral("]"), QStringLiteral("bracketright")},
        {QStringLiteral("-"), QStringLiteral("minus")},
        {QStringLiteral("="), QStringLiteral("equal")},
        {QStringLiteral("`"), QStringLiteral("grave")},
        {QStringLiteral("\\"), QStringLiteral("backslash")},
    };
    const auto it = names.find(character);
    return it == names.end() ? character : it->second;
}

}  // namespace

std::unique_ptr<PortalKeyGrabber> PortalKeyGrabber::create(QDBusConnection bus, QString appId,
                                                           Log log) {
    if (!bus.isConnected()) {
        return nullptr;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kInterface, QStringLiteral("version")});
    const QDBusReply<QDBusVariant> version = bus.call(get, QDBus::Block, 5000);
    if (!version.isValid()) {
        return nullptr;
    }
    static int connections = 0;
    const QString name = QStringLiteral("ferrymark-portal-shortcuts-%1").arg(++connections);
    QDBusConnection own = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!own.isConnected()) {
        log(("Hot keys are off: no connection of our own to the desktop portal: " +
             own.lastError().message())
                .toStdString());
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    auto grabber =
        std::make_unique<PortalKeyGrabber>(std::move(own), std::move(appId), std::move(log));
    grabber->ownConnection_ = name;
    return grabber;
}

PortalKeyGrabber::PortalKeyGrabber(QDBusConnection bus, QString appId, Log log)
    : bus_(std::move(bus)), appId_(std::move(appId)), log_(std::move(log)) {
    PortalShortcut::registerTypes();
    // QtDBus finds a slot's parameter types by name: the object path's must be known.
    qRegisterMetaType<QDBusObjectPath>();
    if (!bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)))) {
        log_("Hot keys are off: the desktop portal's Activated signal cannot be received");
    }
}

PortalKeyGrabber::~PortalKeyGrabber() {
    closeSession();
    if (!ownConnection_.isEmpty()) {
        QDBusConnection::disconnectFromBus(ownConnection_);
    }
}

std::vector<std::pair<std::uint32_t, QString>> PortalKeyGrabber::keyCharacters() {
    return CharacterKeys::table();
}

QString PortalKeyGrabber::trigger(std::uint32_t keyCode, std::uint32_t modifiers) {
    QStringList parts;
    if (modifiers & kControl) {
        parts << QStringLiteral("CTRL");
    }
    if (modifiers & kAlt) {
        parts << QStringLiteral("ALT");
    }
    if (modifiers & kShift) {
        parts << QStringLiteral("SHIFT");
    }
    if (modifiers & kMeta) {
        parts << QStringLiteral("LOGO");
    }
    parts << keyName(CharacterKeys::character(keyCode));
    return parts.join(QLatin1Char('+'));
}

IKeyGrabber::Grab PortalKeyGrabber::grab(std::uint32_t keyCode, std::uint32_t modifiers,
                                         HotKeyId id, const Purpose& purpose) {
    if (CharacterKeys::character(keyCode).isEmpty() || purpose.name.isEmpty()) {
        return {};
    }
    const GrabRef ref = nextRef_++;
    grabs_.emplace(
        ref, Entry{purpose.name, purpose.description.isEmpty() ? purpose.name : purpose.description,
                   trigger(keyCode, modifiers), id});
    if (!bindQueued_) {
        bindQueued_ = true;
        QMetaObject::invokeMethod(this, &PortalKeyGrabber::bind, Qt::QueuedConnection);
    }
    // Asked for; whether the desktop binds it is known later, and logged.
    return {ref, GrabStatus::Grabbed};
}

void PortalKeyGrabber::ungrab(GrabRef ref) {
    if (grabs_.erase(ref) > 0 && !bindQueued_) {
        bindQueued_ = true;
        QMetaObject::invokeMethod(this, &PortalKeyGrabber::bind, Qt::QueuedConnection);
    }
}

void PortalKeyGrabber::setHandlers(EventHandler onKey, LayoutHandler) {
    onKey_ = std::move(onKey);
}

QList<PortalShortcut> PortalKeyGrabber::shortcuts() const {
    // A purpose grabbed anew before its old grab goes (a changed key) is one shortcut: the
    // newer key's.
    std::map<QString, const Entry*> byId;
    for (const auto& [ref, entry] : grabs_) {
        byId[entry.id] = &entry;
    }
    QList<PortalShortcut> list;
    for (const auto& [id, entry] : byId) {
        list.append({id,
                     {{QStringLiteral("description"), entry->description},
                      {QStringLiteral("preferred_trigger"), entry->trigger}}});
    }
    return list;
}

QString PortalKeyGrabber::requestPath(const QString& token) const {
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool PortalKeyGrabber::request(const QString& method, const QVariantList& arguments,
                               const QString& token, Pending kind) {
    // Listen before asking: the answer may come before the call returns.
    const QString path = requestPath(token);
    bus_.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(response(uint, QVariantMap)));
    pending_[path] = kind;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    const QDBusReply<QDBusObjectPath> handle = bus_.call(call, QDBus::Block, 5000);
    if (!handle.isValid()) {
        bus_.disconnect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                        SLOT(response(uint, QVariantMap)));
        pending_.erase(path);
        log_("Hot keys are off: the desktop portal's " + method.toStdString() +
             " failed: " + handle.error().message().toStdString());
        return false;
    }
    return true;
}

void PortalKeyGrabber::closeSession() {
    if (session_.isEmpty()) {
        return;
    }
    bus_.call(QDBusMessage::createMethodCall(kService, session_,
                                             QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::Block, 5000);
    session_.clear();
}

void PortalKeyGrabber::bind() {
    bindQueued_ = false;
    closeSession();  // a session binds once; new grabs need a new one
    for (auto& [ref, entry] : grabs_) {
        entry.bound = false;
    }
    if (grabs_.empty()) {
        return;
    }
    if (!registered_) {
        // Portals from 1.19 learn a host program's app id here; older ones lack the call
        // and take it from how we were started. GNOME binds nothing without a valid one.
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.freedesktop.host.portal.Registry"),
            QStringLiteral("Register"));
        call.setArguments({appId_, QVariantMap{}});
        const QDBusMessage reply = bus_.call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            log_("The desktop portal did not take our app id " + appId_.toStdString() + ": " +
                 reply.errorMessage().toStdString());
        }
        registered_ = true;
    }
    const QString token = QStringLiteral("ferrymark%1").arg(++tokens_);
    // Plasma 5.27's portal binds only the shortcuts given with the session.
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), token},
                              {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts())}};
    request(QStringLiteral("CreateSession"), {options}, token, Pending::CreateSession);
}

void PortalKeyGrabber::response(uint code, const QVariantMap& results) {
    const QString path = message().path();
    const auto it = pending_.find(path);
    if (it == pending_.end()) {
        return;
    }
    const Pending kind = it->second;
    pending_.erase(it);
    bus_.disconnect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(response(uint, QVariantMap)));
    if (kind == Pending::BindShortcuts && results.contains(QStringLiteral("shortcuts"))) {
        // The list is what is bound. GNOME's backend 48.0 answers a binding the user
        // confirmed with a stray code (a value it never sets), and lists the shortcuts.
        if (code != 0) {
            log_("The desktop portal answered code " + std::to_string(code) +
                 " to the binding, with the shortcuts it bound");
        }
        shortcutsBound(results);
        return;
    }
    if (code != 0) {
        log_(kind == Pending::CreateSession
                 ? "Hot keys are off: the desktop portal made no shortcut session"
                 : "Hot keys are off: the shortcuts were not bound (declined or failed)");
        return;
    }
    if (kind == Pending::BindShortcuts) {
        shortcutsBound(results);
        return;
    }
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    session_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                    : handle.toString();
    const QString token = QStringLiteral("ferrymark%1").arg(++tokens_);
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts()),
             QString(), QVariantMap{{QStringLiteral("handle_token"), token}}},
            token, Pending::BindShortcuts);
}

void PortalKeyGrabber::shortcutsBound(const QVariantMap& results) {
    const auto bound =
        qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")));
    for (auto& [ref, entry] : grabs_) {
        const auto match = std::find_if(bound.begin(), bound.end(),
                                        [&](const PortalShortcut& s) { return s.id == entry.id; });
        if (match == bound.end()) {
            log_("Hot key " + entry.trigger.toStdString() +
                 " is off: the desktop portal did not bind it");
        } else {
            entry.bound = true;
            log_("Hot key " + entry.trigger.toStdString() + " is bound by the desktop portal to " +
                 match->properties.value(QStringLiteral("trigger_description"))
                     .toString()
                     .toStdString());
        }
    }
}

void PortalKeyGrabber::activated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                 const QVariantMap&) {
    if (session.path() != session_ || !onKey_) {
        return;
    }
    // The newest grab of a purpose is the one in force.
    for (auto it = grabs_.rbegin(); it != grabs_.rend(); ++it) {
        if (it->second.id == id && it->second.bound) {
            onKey_(EventKind::Pressed, it->second.hotKey);
            return;
        }
    }
}

}  // namespace ferrymark
