#pragma once

#include <QString>

namespace ferrymark {

// The desktop entry that starts Ferrymark with the user's session (XDG Autostart).
class AutostartEntry {
  public:
    // The user's autostart folder: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    static QString defaultFolder();
    // Writes folder/ferrymark.desktop starting program. False when it can not be written.
    static bool add(const QString& folder, const QString& program);
    // Removes folder/ferrymark.desktop. False when it is still there afterwards.
    static bool remove(const QString& folder);
    static bool exists(const QString& folder);
};

}  // namespace ferrymark
