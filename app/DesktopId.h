#pragma once

#include <QString>

namespace ferrymark {

// The application's id: the name of its desktop entry, by which the portals, notification
// servers, AppStream and software centres know it.
struct DesktopId {
    static inline const QString kId = QStringLiteral("org.ferrymark.Ferrymark");
    // The id before it was reverse-DNS; users' autostart folders may still hold an entry
    // of that name.
    static inline const QString kLegacyId = QStringLiteral("ferrymark");
};

}  // namespace ferrymark
