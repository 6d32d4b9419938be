#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace ferrymark {

// The progress of the running transfers on Ferrymark's icon in docks and task managers,
// through the launcher entry API they read: the com.canonical.Unity.LauncherEntry
// signal "Update", and its Query for those that start later. Where nothing listens,
// the signals go nowhere. UI thread only.
class LauncherEntry : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.Unity.LauncherEntry")
  public:
    static inline const QString kInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");
    static inline const QString kAppUri =
        QStringLiteral("application://org.ferrymark.Ferrymark.desktop");
    static inline const QString kPath = QStringLiteral("/org/ferrymark/Ferrymark/LauncherEntry");

    explicit LauncherEntry(QDBusConnection bus, QObject* parent = nullptr);
    ~LauncherEntry() override;

    // The progress from 0 to 1; null hides it.
    void show(std::optional<double> progress);

  public slots:
    // The present state, for a dock that asks.
    Q_SCRIPTABLE QString Query(QVariantMap& properties);

  private:
    QVariantMap properties() const;

    QDBusConnection bus_;
    bool registered_ = false;
    std::optional<double> progress_;
    bool told_ = false;
};

}  // namespace ferrymark
