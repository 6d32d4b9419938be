#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

#include "platform/freedesktop/ColourScheme.h"

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace ferrymark {

// Follows the desktop's colour scheme: the settings portal's
// org.freedesktop.appearance color-scheme, and on KDE, where the portal has no answer,
// the window colour of kdeglobals. Reports every change through changed().
class DesktopColourScheme : public QObject {
    Q_OBJECT
  public:
    // kdeGlobals is read only when kdeDesktop holds.
    DesktopColourScheme(const QDBusConnection& bus, QString kdeGlobals, bool kdeDesktop,
                        QObject* parent = nullptr);
    // The session bus, the user's kdeglobals, and KDE when XDG_CURRENT_DESKTOP says so.
    static std::unique_ptr<DesktopColourScheme> forSession();

    // Asks the portal and starts listening; the first answer comes through changed().
    void start();
    ColourScheme scheme() const { return scheme_; }

    // The portal's number: 1 dark, 2 light, anything else no preference.
    static ColourScheme fromPortalValue(const QVariant& value);
    // Dark or light by the lightness of [Colors:Window] BackgroundNormal; none when the
    // file or the key is missing.
    static std::optional<ColourScheme> fromKdeGlobals(const QString& path);

  signals:
    void changed(ferrymark::ColourScheme scheme);

  private slots:
    void onSettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value);

  private:
    void read(const QString& method);
    void onReadFinished(QDBusPendingCallWatcher* call, const QString& method);
    void readKdeGlobals();
    void decide();

    QDBusConnection bus_;
    QString kdeGlobals_;
    bool kdeDesktop_;
    QFileSystemWatcher watcher_;
    std::optional<ColourScheme> portal_;
    std::optional<ColourScheme> kde_;
    ColourScheme scheme_ = ColourScheme::NoPreference;
    bool portalAsked_ = false;
    bool decided_ = false;
};

}  // namespace ferrymark
