#pragma once

#include <QString>

namespace ferrymark {

// The desktop entry that starts Ferrymark with the user's session (XDG Autostart), named
// after the application's id.
class AutostartEntry {
  public:
    // The user's autostart folder: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    static QString defaultFolder();
    // Writes the entry into folder, starting program. False when it can not be written.
    static bool add(const QString& folder, const QString& program);
    // Removes the entry, also one under the earlier name. False when one is still there.
    static bool remove(const QString& folder);
    static bool exists(const QString& folder);
    // Gives an entry under the earlier name the current name, as the user left it (also
    // switched off), once; where both are there, the earlier one goes. Never two entries.
    // False when the earlier one is still there afterwards.
    static bool migrate(const QString& folder);
};

}  // namespace ferrymark
