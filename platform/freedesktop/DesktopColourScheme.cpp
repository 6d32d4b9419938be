#include "platform/freedesktop/DesktopColourScheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace ferrymark {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNameSpace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
// A portal that hangs must not keep the windows waiting for their colours.
constexpr int kCallTimeoutMs = 3000;

// Read wraps the value in one more variant than ReadOne does.
QVariant unwrap(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

}  // namespace

DesktopColourScheme::DesktopColourScheme(const QDBusConnection& bus, QString kdeGlobals,
                                         bool kdeDesktop, QObject* parent)
    : QObject(parent), bus_(bus), kdeGlobals_(std::move(kdeGlobals)), kdeDesktop_(kdeDesktop) {
    // SettingChanged carries one; its slot is found only once the type is known.
    qRegisterMetaType<QDBusVariant>();
}

std::unique_ptr<DesktopColourScheme> DesktopColourScheme::forSession() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const bool kde = qEnvironmentVariable("XDG_CURRENT_DESKTOP")
                         .split(QLatin1Char(':'))
                         .contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
    return std::make_unique<DesktopColourScheme>(
        QDBusConnection::sessionBus(), QDir(config).filePath(QStringLiteral("kdeglobals")), kde);
}

void DesktopColourScheme::start() {
    if (kdeDesktop_) {
        // KDE replaces the file on each change; watching its folder sees the new one.
        watcher_.addPath(QFileInfo(kdeGlobals_).absolutePath());
        connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
                &DesktopColourScheme::readKdeGlobals);
        connect(&watcher_, &QFileSystemWatcher::fileChanged, this,
                &DesktopColourScheme::readKdeGlobals);
        readKdeGlobals();
    }
    if (!bus_.isConnected()) {
        portalAsked_ = true;
        decide();
        return;
    }
    bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    read(QStringLiteral("ReadOne"));
}

ColourScheme DesktopColourScheme::fromPortalValue(const QVariant& value) {
    bool ok = false;
    const uint number = unwrap(value).toUInt(&ok);
    if (!ok) {
        return ColourScheme::NoPreference;
    }
    switch (number) {
        case 1:
            return ColourScheme::Dark;
        case 2:
            return ColourScheme::Light;
        default:
            return ColourScheme::NoPreference;
    }
}

std::optional<ColourScheme> DesktopColourScheme::fromKdeGlobals(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    bool inWindowColours = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inWindowColours = line == QStringLiteral("[Colors:Window]");
            continue;
        }
        if (!inWindowColours || !line.startsWith(QStringLiteral("BackgroundNormal"))) {
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != QStringLiteral("BackgroundNormal")) {
            continue;
        }
        const QStringList rgb = line.mid(equals + 1).split(QLatin1Char(','));
        if (rgb.size() < 3) {
            return std::nullopt;
        }
        bool ok[3] = {};
        const double r = rgb[0].trimmed().toInt(&ok[0]);
        const double g = rgb[1].trimmed().toInt(&ok[1]);
        const double b = rgb[2].trimmed().toInt(&ok[2]);
        if (!ok[0] || !ok[1] || !ok[2]) {
            return std::nullopt;
        }
        const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
        return luma < 128 ? ColourScheme::Dark : ColourScheme::Light;
    }
    return std::nullopt;
}

void DesktopColourScheme::read(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kNameSpace << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this, method](QDBusPendingCallWatcher* finished) { onReadFinished(finished, method); });
}

void DesktopColourScheme::onReadFinished(QDBusPendingCallWatcher* call, const QString& method) {
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    if (reply.isError()) {
        // Portals before ReadOne have only Read.
        if (method == QStringLiteral("ReadOne")) {
            read(QStringLiteral("Read"));
            return;
        }
        portal_.reset();
    } else {
        portal_ = fromPortalValue(reply.argumentAt(0));
    }
    portalAsked_ = true;
    decide();
}

void DesktopColourScheme::onSettingChanged(const QString& nameSpace, const QString& key,
                                           const QDBusVariant& value) {
    if (nameSpace != kNameSpace || key != kKey) {
        return;
    }
    portal_ = fromPortalValue(value.variant());
    portalAsked_ = true;
    decide();
}

void DesktopColourScheme::readKdeGlobals() {
    if (QFileInfo::exists(kdeGlobals_) && !watcher_.files().contains(kdeGlobals_)) {
        watcher_.addPath(kdeGlobals_);
    }
    kde_ = fromKdeGlobals(kdeGlobals_);
    decide();
}

void DesktopColourScheme::decide() {
    // Nothing is reported before the portal has had its say, so a light start is not
    // followed by a dark flash.
    if (!portalAsked_) {
        return;
    }
    ColourScheme next = ColourScheme::NoPreference;
    if (portal_ && *portal_ != ColourScheme::NoPreference) {
        next = *portal_;
    } else if (kde_) {
        next = *kde_;
    }
    if (decided_ && next == scheme_) {
        return;
    }
    decided_ = true;
    scheme_ = next;
    emit changed(next);
}

}  // namespace ferrymark
