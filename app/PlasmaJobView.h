#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>

#include "ui/TransferRate.h"

class QDBusPendingCallWatcher;

namespace ferrymark {

class CopyHandler;

// One transfer in Plasma's list of file transfers, through the job view service of its
// notifications: org.kde.JobViewServerV2 with org.kde.JobViewV3 views where the service
// offers it, else org.kde.JobViewServer with org.kde.JobViewV2 views. The view's Pause,
// Resume and Stop act on the job. UI thread only.
class PlasmaJobView : public QObject {
    Q_OBJECT
  public:
    // The names the service goes by, in the order they are tried.
    static inline const QString kService = QStringLiteral("org.kde.JobViewServer");
    static inline const QString kLegacyService = QStringLiteral("org.kde.kuiserver");
    static inline const QString kServerPath = QStringLiteral("/JobViewServer");
    // requestView's capabilities: the job can be stopped, and paused.
    static constexpr int kCapabilities = 0x1 | 0x2;

    // The name of the job view service on bus, or empty where there is none.
    static QString serviceOn(const QDBusConnection& bus);

    // Asks service for a view of job at once.
    PlasmaJobView(QDBusConnection bus, const QString& service, std::shared_ptr<CopyHandler> job,
                  QObject* parent = nullptr);

    // A heartbeat: sends what changed since the last one.
    void update();
    // The job has ended: the view is closed and this object goes. The job is let go here.
    void terminate();

    // The view's object path once the service has made it; empty before, or without one.
    QString viewPath() const { return viewPath_; }

  private slots:
    void onCancelRequested();
    void onSuspendRequested();
    void onResumeRequested();

  private:
    enum class Api { Unknown, V2Views, V3Views, None };

    void onIntrospected(QDBusPendingCallWatcher* watcher);
    void onView(QDBusPendingCallWatcher* watcher);
    // The job's state in the V3 view's words.
    QVariantMap state();
    void send(const QVariantMap& changes);
    void sendV2(const QString& method, const QVariantList& arguments);
    void close();

    QDBusConnection bus_;
    QString service_;
    std::shared_ptr<CopyHandler> job_;
    Api api_ = Api::Unknown;
    QString viewPath_;
    QVariantMap sent_;
    QVariantMap last_;
    TransferRate rate_;
    bool stopped_ = false;
    bool ended_ = false;
};

}  // namespace ferrymark
