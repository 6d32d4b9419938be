#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace ferrymark {

// Runs a helper program of the desktop (gio, wl-paste, swaymsg) and waits for it, so that a
// command reads what the compositor tells at that moment.
class CommandOutput {
  public:
    // The program's standard output; nothing when it cannot start, exits with a status
    // other than 0 or runs longer than timeoutMs (it is killed then).
    static std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                         int timeoutMs);
};

}  // namespace ferrymark
