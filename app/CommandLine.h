#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace ferrymark {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Action { Run, Paste, Move, Help, Version, Error };

    Action action = Action::Run;
    // Paste and Move: a path made absolute, or a URI as given; may be empty. The bytes
    // as given: a folder's name need not be valid UTF-8.
    QByteArray folder;
    QString text;  // Help, Version and Error: what to print

    // arguments as main() gets them, program name first; a QCoreApplication must exist.
    // Relative folders are taken from workingDirectory.
    static CommandLine parse(const QList<QByteArray>& arguments,
                             const QByteArray& workingDirectory);
};

}  // namespace ferrymark
