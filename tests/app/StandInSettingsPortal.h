#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QString>

namespace ferrymark::testing {

// The settings portal's color-scheme, as a stand-in on a bus: answers ReadOne (or, as an
// older portal, only Read) and sends SettingChanged.
class StandInSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public:
    StandInSettingsPortal(const QString& address, uint colourScheme, bool hasReadOne);
    ~StandInSettingsPortal() override;
    bool registered() const { return registered_; }
    // Sets the value and tells the listeners.
    void change(uint colourScheme);

  public slots:
    QDBusVariant ReadOne(const QString& nameSpace, const QString& key);
    QDBusVariant Read(const QString& nameSpace, const QString& key);

  signals:
    void SettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value);

  private:
    bool known(const QString& nameSpace, const QString& key);

    QDBusConnection bus_;
    uint colourScheme_;
    bool hasReadOne_;
    bool registered_ = false;
};

}  // namespace ferrymark::testing
