#include "app/LauncherEntry.h"

#include <QDBusMessage>
#include <algorithm>
#include <cmath>

namespace ferrymark {
namespace {

// Smaller steps are not seen on an icon, and would only wake the docks.
constexpr double kStep = 0.005;

}  // namespace

LauncherEntry::LauncherEntry(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (bus_.isConnected()) {
        registered_ = bus_.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
    }
}

LauncherEntry::~LauncherEntry() {
    if (registered_) {
        bus_.unregisterObject(kPath);
    }
}

QVariantMap LauncherEntry::properties() const {
    QVariantMap p;
    p.insert(QStringLiteral("progress"), progress_.value_or(0.0));
    p.insert(QStringLiteral("progress-visible"), progress_.has_value());
    return p;
}

void LauncherEntry::show(std::optional<double> progress) {
    if (progress) {
        progress = std::clamp(*progress, 0.0, 1.0);
    }
    const bool same = progress.has_value() == progress_.has_value() &&
                      (!progress || std::abs(*progress - *progress_) < kStep);
    if (told_ && same) {
        return;
    }
    progress_ = progress;
    told_ = true;
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage update = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("Update"));
    update << kAppUri << properties();
    bus_.send(update);
}

QString LauncherEntry::Query(QVariantMap& properties) {
    properties = this->properties();
    return kAppUri;
}

}  // namespace ferrymark
