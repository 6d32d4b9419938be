#include "StandInShortcutsPortal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include "platform/wayland/PortalShortcut.h"

namespace ferrymark::testing {

namespace {
const QString kConnectionName = QStringLiteral("ferrymark-standin-portal");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QString escapedSender(const QDBusMessage& message) {
    return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

std::map<QString, QString> triggers(const QVariant& list) {
    std::map<QString, QString> byId;
    for (const PortalShortcut& s : qdbus_cast<QList<PortalShortcut>>(list)) {
        byId[s.id] = s.properties.value(QStringLiteral("preferred_trigger")).toString();
    }
    return byId;
}
}  // namespace

class StandInShortcutsPortal::Service : public QDBusVirtualObject {
  public:
    explicit Service(std::shared_ptr<State> state) : state_(std::move(state)) {
        PortalShortcut::registerTypes();
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        std::lock_guard lock(state_->mutex);
        // As the portal does: an app id is taken only before any other call of a connection.
        const bool calledBefore = !state_->calledSenders.insert(message.service()).second;
        if (member == QLatin1String("Register") && calledBefore) {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.portal.Error.Failed"),
                QStringLiteral("Connection already associated with an application ID")));
        } else if (member == QLatin1String("Get") && args.value(0).toString() == kShortcuts) {
            connection.send(
                state_->behaviour.globalShortcuts
                    ? message.createReply(QVariant::fromValue(QDBusVariant(1u)))
                    : message.createErrorReply(QDBusError::UnknownInterface, kShortcuts));
        } else if (member == QLatin1String("Register") && args.size() == 2) {
            state_->appId = args[0].toString();
            state_->registeredSenders.insert(message.service());
            connection.send(message.createReply());
        } else if (member == QLatin1String("CreateSession") && args.size() == 1) {
            const QVariantMap options = qdbus_cast<QVariantMap>(args[0]);
            const QString token = options.value(QStringLiteral("handle_token")).toString();
            const QString session =
                kPath + QStringLiteral("/session/") + escapedSender(message) + QLatin1Char('/') +
                options.value(QStringLiteral("session_handle_token")).toString();
            const bool allowed = !state_->behaviour.requireRegistration ||
                                 (state_->registeredSenders.contains(message.service()) &&
                                  state_->appId.contains(QLatin1Char('.')));
            if (allowed) {
                ++state_->sessions;
                state_->newestSession = session;
                state_->offered[session] = triggers(options.value(QStringLiteral("shortcuts")));
            }
            answer(message, connection, token, allowed ? 0 : 2,
                   {{QStringLiteral("session_handle"), session}});
        } else if (member == QLatin1String("BindShortcuts") && args.size() == 4) {
            const QString session = qdbus_cast<QDBusObjectPath>(args[0]).path();
            const QString token =
                qdbus_cast<QVariantMap>(args[3]).value(QStringLiteral("handle_token")).toString();
            // A session binds once.
            const bool allowed =
                state_->offered.contains(session) && state_->boundSessions.insert(session).second;
            std::map<QString, QString> asked = state_->behaviour.bindFromCreateSession
                                                   ? state_->offered[session]
                                                   : triggers(args[1]);
            QList<PortalShortcut> bound;
            state_->bound.clear();
            state_->descriptions.clear();
            for (const auto& given : qdbus_cast<QList<PortalShortcut>>(args[1])) {
                state_->descriptions[given.id] =
                    given.properties.value(QStringLiteral("description")).toString();
            }
            for (const auto& [id, trigger] : asked) {
                if (!state_->behaviour.declined.contains(id)) {
                    state_->bound[id] = trigger;
                    bound.append({id, {{QStringLiteral("trigger_description"), trigger}}});
                }
            }
            ++state_->binds;
            answer(message, connection, token, allowed ? state_->behaviour.bindCode : 2,
                   {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
        } else if (member == QLatin1String("Close") &&
                   message.path().startsWith(kPath + QStringLiteral("/session/"))) {
            ++state_->closed;
            state_->offered.erase(message.path());
            connection.send(message.createReply());
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        }
        return true;
    }

  private:
    // The request's handle, then its Response signal.
    static void answer(const QDBusMessage& message, const QDBusConnection& connection,
                       const QString& token, uint code, const QVariantMap& results) {
        const QString request =
            kPath + QStringLiteral("/request/") + escapedSender(message) + QLatin1Char('/') + token;
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response.setArguments({code, results});
        connection.send(response);
    }

    std::shared_ptr<State> state_;
};

StandInShortcutsPortal::StandInShortcutsPortal()
    : state_(std::make_shared<State>()),
      bus_(std::make_unique<StandInBus>(
          kConnectionName, kPath, std::make_unique<Service>(state_),
          QStringList{QStringLiteral("org.freedesktop.portal.Desktop")},
          QDBusConnection::SubPath)) {}

StandInShortcutsPortal::~StandInShortcutsPortal() = default;

void StandInShortcutsPortal::reset(Behaviour behaviour) {
    std::lock_guard lock(state_->mutex);
    state_->behaviour = std::move(behaviour);
    state_->registeredSenders.clear();
    state_->calledSenders.clear();
    state_->descriptions.clear();
    state_->appId.clear();
    state_->offered.clear();
    state_->boundSessions.clear();
    state_->bound.clear();
    state_->newestSession.clear();
    state_->binds = state_->sessions = state_->closed = 0;
}

QString StandInShortcutsPortal::appId() const {
    std::lock_guard lock(state_->mutex);
    return state_->appId;
}

std::map<QString, QString> StandInShortcutsPortal::bound() const {
    std::lock_guard lock(state_->mutex);
    return state_->bound;
}

std::map<QString, QString> StandInShortcutsPortal::descriptions() const {
    std::lock_guard lock(state_->mutex);
    return state_->descriptions;
}

int StandInShortcutsPortal::binds() const {
    std::lock_guard lock(state_->mutex);
    return state_->binds;
}

int StandInShortcutsPortal::sessions() const {
    std::lock_guard lock(state_->mutex);
    return state_->sessions;
}

int StandInShortcutsPortal::closedSessions() const {
    std::lock_guard lock(state_->mutex);
    return state_->closed;
}

void StandInShortcutsPortal::activate(const QString& id) {
    QString session;
    {
        std::lock_guard lock(state_->mutex);
        session = state_->newestSession;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, kShortcuts, QStringLiteral("Activated"));
    signal.setArguments(
        {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(0), QVariantMap{}});
    bus_->connection().send(signal);
}

}  // namespace ferrymark::testing
