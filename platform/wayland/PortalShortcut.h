#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace ferrymark {

// One entry of the GlobalShortcuts portal's shortcut lists, (sa{sv}) on the bus: an id
// and its properties (description, preferred_trigger, trigger_description).
struct PortalShortcut {
    QString id;
    QVariantMap properties;

    // Makes the type and its list known to Qt's D-Bus marshalling; safe to call again.
    static void registerTypes();
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

}  // namespace ferrymark

Q_DECLARE_METATYPE(ferrymark::PortalShortcut)
