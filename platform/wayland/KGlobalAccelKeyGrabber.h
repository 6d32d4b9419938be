#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

#include "platform/IKeyGrabber.h"

namespace ferrymark {

// Global keys through Plasma's kglobalaccel service on the session bus: each grab is a
// shortcut of our component, and the component's pressed signal is the key event. The
// service speaks in Qt's keys, not key codes (see CharacterKeys).
class KGlobalAccelKeyGrabber final : public QObject, public IKeyGrabber {
    Q_OBJECT
  public:
    static inline const QString kService = QStringLiteral("org.kde.kglobalaccel");
    static inline const QString kComponent = QStringLiteral("ferrymark");

    // A grabber when the service is on the bus (or can be started there), else null.
    static std::unique_ptr<KGlobalAccelKeyGrabber> create(QDBusConnection bus);
    explicit KGlobalAccelKeyGrabber(QDBusConnection bus);

    std::vector<std::pair<std::uint32_t, QString>> keyCharacters() override;
    Grab grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
              const Purpose& purpose) override;
    void ungrab(GrabRef ref) override;
    void setHandlers(EventHandler onKey, LayoutHandler onLayoutChange) override;

    // Qt's key combination for a grab's key and modifier bits.
    static int qtKey(std::uint32_t keyCode, std::uint32_t modifiers);

  private slots:
    void shortcutPressed(const QString& component, const QString& shortcut, qlonglong timestamp);
    void shortcutReleased(const QString& component, const QString& shortcut, qlonglong timestamp);

  private:
    QStringList actionId(const QString& shortcut) const;
    void listen();
    void deliver(EventKind kind, const QString& component, const QString& shortcut);

    QDBusConnection bus_;
    EventHandler onKey_;
    bool listening_ = false;
    GrabRef nextRef_ = 1;
    std::map<GrabRef, std::pair<QString, HotKeyId>> grabs_;  // shortcut name and its id
};

}  // namespace ferrymark
