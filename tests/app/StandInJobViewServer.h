#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace ferrymark::testing {

// Plasma's job view service as its notifications offer it, on a bus of the test's own:
// org.kde.JobViewServer at /JobViewServer, making org.kde.JobViewV2 views, and, unless
// told to be the older kind, org.kde.JobViewServerV2 making org.kde.JobViewV3 views. It
// records every call, checks each call's signature against the interfaces it declares
// (the same XML as Plasma's own, which a test compares), and can send a view's
// cancelRequested, suspendRequested and resumeRequested as Plasma's buttons do.
class StandInJobViewServer final : public QDBusVirtualObject {
    Q_OBJECT
  public:
    struct Call {
        QString path;
        QString interface;
        QString member;
        QVariantList arguments;
    };

    StandInJobViewServer(const QString& address, bool offersV3);
    ~StandInJobViewServer() override;

    bool registered() const { return registered_; }
    // The interface declarations, by name, as this service introspects.
    static QMap<QString, QString> interfaces();

    std::vector<Call> calls;
    // Calls whose argument types are not the declared ones.
    QStringList wrongSignatures;
    QStringList views;  // object paths handed out, oldest first

    std::vector<Call> callsOf(const QString& member) const;
    // The V3 state: every update's properties, the later over the earlier.
    QVariantMap updated() const;
    void press(const QString& view, const QString& signal);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  private:
    QDBusConnection bus_;
    bool offersV3_;
    bool registered_ = false;
};

}  // namespace ferrymark::testing
