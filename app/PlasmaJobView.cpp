#include "app/PlasmaJobView.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

#include "app/DesktopId.h"
#include "engine/CopyHandler.h"

namespace ferrymark {
namespace {

const QString kServerV1 = QStringLiteral("org.kde.JobViewServer");
const QString kServerV2 = QStringLiteral("org.kde.JobViewServerV2");
const QString kViewV2 = QStringLiteral("org.kde.JobViewV2");
const QString kViewV3 = QStringLiteral("org.kde.JobViewV3");
// KJob's code for a job the user stopped.
constexpr uint kKilledJobError = 1;
// Requests are answered by the shell at once; a busy one must not keep views waiting.
constexpr int kCallTimeoutMs = 10000;

QDBusMessage serverCall(const QString& service, const QString& interface, const QString& method) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, PlasmaJobView::kServerPath, interface, method);
    // A shell that is not running is not started for a progress bar.
    message.setAutoStartService(false);
    return message;
}

}  // namespace

QString PlasmaJobView::serviceOn(const QDBusConnection& bus) {
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return {};
    }
    for (const QString& name : {kService, kLegacyService}) {
        const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(name);
        if (owned.isValid() && owned.value()) {
            return name;
        }
    }
    return {};
}

PlasmaJobView::PlasmaJobView(QDBusConnection bus, const QString& service,
                             std::shared_ptr<CopyHandler> job, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), service_(service), job_(std::move(job)) {
    last_ = state();
    // Which views the service makes: Plasma 5.27 and 6 offer both kinds, older ones V2.
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(serverCall(service_, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                  QStringLiteral("Introspect")),
                       kCallTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PlasmaJobView::onIntrospected);
}

void PlasmaJobView::onIntrospected(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<QString> reply = *watcher;
    const QString xml = reply.isError() ? QString() : reply.value();
    QDBusMessage request;
    if (xml.contains(QStringLiteral("\"%1\"").arg(kServerV2))) {
        api_ = Api::V3Views;
        QVariantMap hints = last_;
        // The delay before showing is ours to choose: none, the job has run a second.
        hints.insert(QStringLiteral("immediate"), true);
        // Ferrymark tells how the job ended itself; the list need not keep it.
        hints.insert(QStringLiteral("transient"), true);
        request = serverCall(service_, kServerV2, QStringLiteral("requestView"));
        request << DesktopId::kId << kCapabilities << hints;
    } else if (xml.contains(QStringLiteral("\"%1\"").arg(kServerV1))) {
        api_ = Api::V2Views;
        request = serverCall(service_, kServerV1, QStringLiteral("requestView"));
        request << QStringLiteral("Ferrymark") << QStringLiteral("ferrymark") << kCapabilities;
    } else {
        api_ = Api::None;
        if (ended_) {
            close();
        }
        return;
    }
    auto* view = new QDBusPendingCallWatcher(bus_.asyncCall(request, kCallTimeoutMs), this);
    connect(view, &QDBusPendingCallWatcher::finished, this, &PlasmaJobView::onView);
}

void PlasmaJobView::onView(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError() || reply.value().path().isEmpty()) {
        api_ = Api::None;
    } else {
        viewPath_ = reply.value().path();
        const QString interface = api_ == Api::V3Views ? kViewV3 : kViewV2;
        bus_.connect(service_, viewPath_, interface, QStringLiteral("cancelRequested"), this,
                     SLOT(onCancelRequested()));
        bus_.connect(service_, viewPath_, interface, QStringLiteral("suspendRequested"), this,
                     SLOT(onSuspendRequested()));
        bus_.connect(service_, viewPath_, interface, QStringLiteral("resumeRequested"), this,
                     SLOT(onResumeRequested()));
        // Older shells take nothing from the hints: the whole state goes once more.
        send(last_);
    }
    if (ended_) {
        close();
    }
}

QVariantMap PlasmaJobView::state() {
    QVariantMap s;
    const std::int64_t processed = job_->dataProcessed();
    const bool counting = processed < 0;
    const std::int64_t done = std::max<std::int64_t>(processed, 0);
    const std::int64_t total = std::max<std::int64_t>(job_->totalData(), 0);
    const std::int64_t items = std::max<std::int64_t>(job_->totalItems(), 0);
    const QString target = QString::fromStdString(job_->targetPath());
    const std::vector<std::string> sources = job_->srcList();

    s.insert(QStringLiteral("title"), job_->moving() ? tr("Moving") : tr("Copying"));
    QString info;
    if (counting) {
        info = tr("Counting");
    } else if (job_->checking()) {
        info = tr("Checking the copies");
    } else if (job_->finishing()) {
        info = tr("Writing to the disk");
    }
    s.insert(QStringLiteral("infoMessage"), info);
    QString from;
    if (sources.size() == 1) {
        from = QString::fromStdString(sources.front());
    } else if (sources.size() > 1) {
        from = tr("%1 and %n more", nullptr, static_cast<int>(sources.size() - 1))
                   .arg(QString::fromStdString(sources.front()));
    }
    s.insert(QStringLiteral("descriptionLabel1"), tr("Source"));
    s.insert(QStringLiteral("descriptionValue1"), from);
    s.insert(QStringLiteral("descriptionLabel2"), tr("Destination"));
    s.insert(QStringLiteral("descriptionValue2"), target);
    s.insert(QStringLiteral("destUrl"), QUrl::fromLocalFile(target).toString());
    s.insert(QStringLiteral("totalBytes"), static_cast<qulonglong>(total));
    s.insert(QStringLiteral("processedBytes"), static_cast<qulonglong>(done));
    s.insert(QStringLiteral("totalFiles"), static_cast<qulonglong>(items));
    s.insert(QStringLiteral("processedFiles"),
             static_cast<qulonglong>(
                 counting ? 0 : std::max<std::int64_t>(items - job_->remainingItems(), 0)));
    if (!counting && total > 0) {
        s.insert(QStringLiteral("percent"),
                 static_cast<uint>(std::min<std::int64_t>(100, done * 100 / total)));
        rate_.sample(TransferRate::Clock::now(), done);
        if (const auto speed = rate_.bytesPerSecond(); speed && *speed >= 0) {
            s.insert(QStringLiteral("speed"), static_cast<qulonglong>(*speed));
        }
    }
    s.insert(QStringLiteral("suspended"), job_->paused());
    return s;
}

void PlasmaJobView::update() {
    if (ended_ || !job_) {
        return;
    }
    last_ = state();
    send(last_);
}

void PlasmaJobView::send(const QVariantMap& state) {
    if (viewPath_.isEmpty()) {
        return;
    }
    QVariantMap changes;
    for (auto it = state.begin(); it != state.end(); ++it) {
        if (!sent_.contains(it.key()) || sent_.value(it.key()) != it.value()) {
            changes.insert(it.key(), it.value());
        }
    }
    if (changes.isEmpty()) {
        return;
    }
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        sent_.insert(it.key(), it.value());
    }
    if (api_ == Api::V3Views) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service_, viewPath_, kViewV3, QStringLiteral("update"));
        message << changes;
        bus_.send(message);
        return;
    }
    const auto changed = [&](const char* key) { return changes.contains(QLatin1String(key)); };
    if (changed("title") || changed("infoMessage")) {
        const QString info = sent_.value(QStringLiteral("infoMessage")).toString();
        sendV2(QStringLiteral("setInfoMessage"),
               {info.isEmpty() ? sent_.value(QStringLiteral("title")).toString() : info});
    }
    for (const uint field : {0u, 1u}) {
        const QString label = QStringLiteral("descriptionLabel%1").arg(field + 1);
        const QString value = QStringLiteral("descriptionValue%1").arg(field + 1);
        if (changes.contains(label) || changes.contains(value)) {
            sendV2(QStringLiteral("setDescriptionField"),
                   {field, sent_.value(label).toString(), sent_.value(value).toString()});
        }
    }
    for (const auto& [key, unit] : {std::pair{"totalBytes", "bytes"}, {"totalFiles", "files"}}) {
        if (changed(key)) {
            sendV2(QStringLiteral("setTotalAmount"),
                   {changes.value(QLatin1String(key)).toULongLong(), QLatin1String(unit)});
        }
    }
    for (const auto& [key, unit] :
         {std::pair{"processedBytes", "bytes"}, {"processedFiles", "files"}}) {
        if (changed(key)) {
            sendV2(QStringLiteral("setProcessedAmount"),
                   {changes.value(QLatin1String(key)).toULongLong(), QLatin1String(unit)});
        }
    }
    if (changed("percent")) {
        sendV2(QStringLiteral("setPercent"), {changes.value(QStringLiteral("percent")).toUInt()});
    }
    if (changed("speed")) {
        sendV2(QStringLiteral("setSpeed"), {changes.value(QStringLiteral("speed")).toULongLong()});
    }
    if (changed("suspended")) {
        sendV2(QStringLiteral("setSuspended"),
               {changes.value(QStringLiteral("suspended")).toBool()});
    }
    if (changed("destUrl")) {
        sendV2(QStringLiteral("setDestUrl"),
               {QVariant::fromValue(QDBusVariant(changes.value(QStringLiteral("destUrl"))))});
    }
}

void PlasmaJobView::sendV2(const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service_, viewPath_, kViewV2, method);
    message.setArguments(arguments);
    bus_.send(message);
}

void PlasmaJobView::terminate() {
    if (ended_) {
        return;
    }
    last_ = state();
    stopped_ = job_->cancelled();
    ended_ = true;
    // The job goes with its worker, not with this view.
    job_.reset();
    if (api_ == Api::None || !viewPath_.isEmpty()) {
        close();
    }
}

void PlasmaJobView::close() {
    if (!viewPath_.isEmpty()) {
        send(last_);
        QDBusMessage message = QDBusMessage::createMethodCall(
            service_, viewPath_, api_ == Api::V3Views ? kViewV3 : kViewV2,
            QStringLiteral("terminate"));
        if (api_ == Api::V3Views) {
            message << (stopped_ ? kKilledJobError : 0u) << QString() << QVariantMap();
        } else {
            message << (stopped_ ? tr("Stopped") : QString());
        }
        bus_.send(message);
        viewPath_.clear();
    }
    deleteLater();
}

void PlasmaJobView::onCancelRequested() {
    if (job_) {
        job_->cancelTask();
    }
}

void PlasmaJobView::onSuspendRequested() {
    if (job_ && !job_->paused()) {
        job_->togglePause();
        update();
    }
}

void PlasmaJobView::onResumeRequested() {
    if (job_ && job_->paused()) {
        job_->togglePause();
        update();
    }
}

}  // namespace ferrymark
