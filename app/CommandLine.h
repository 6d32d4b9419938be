#pragma once

#include <QString>
#include <QStringList>

namespace ferrymark {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Action { Run, Paste, Move, Help, Version, Error };

    Action action = Action::Run;
    QString folder;  // Paste and Move: a path made absolute, or a URI as given; may be empty
    QString text;    // Help, Version and Error: what to print

    // arguments as QCoreApplication::arguments() gives them, program name first; a
    // QCoreApplication must exist. Relative folders are taken from workingDirectory.
    static CommandLine parse(const QStringList& arguments, const QString& workingDirectory);
};

}  // namespace ferrymark
